#pragma once

#include <QMetaType>
#include <QtGlobal>

// The parameters of a playback, in wire order (25 bytes on the wire, no padding there).
struct PlaybackParam
{
    quint32 RecordName = 0;    // record to play
    quint32 LoopCount = 0;     // 0 = loop without limit
    quint32 StartPosition = 0; // within the record
    quint32 Duration = 0;      // duration to play
    quint8 TriggerMode = 0;    // 1 = external 1PPS, 0 = internal clock
    quint32 StartTime = 0;     // timed playback start, epoch seconds (0 = at once)
    quint32 Reserved = 0;      // passed as 0
};

Q_DECLARE_METATYPE(PlaybackParam)
