#pragma once

#include "PlaybackParam.h"
#include "RecordParam.h"

#include <QMetaType>
#include <QtGlobal>

// The device state report (System reply 8, report 9), decoded. Only the block of the reported
// state is filled; every other block stays zero (no channels, empty note).
struct SyncDeviceState
{
    quint8 State = 0;           // the instrument's SystemState
    quint32 Value = 0;          // seconds count, passed on unread by the Core
    RecordParam Collect;        // states 2 (collecting) and 4 (forwarding)
    PlaybackParam Playback;     // state 3; its last two fields always 0
    quint32 Regenerate[4] = {}; // state 7
};

Q_DECLARE_METATYPE(SyncDeviceState)
