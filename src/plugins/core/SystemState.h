#pragma once

#include <QMetaType>
#include <QtGlobal>

// The one-byte global run state of the instrument as the PC sees it. The instrument reports
// the same numbers, and values outside the list pass through unchanged.
enum class SystemState : quint8 {
    Error = 0,
    Idle = 1,
    Collecting = 2,
    Playback = 3,
    Forwarding = 4,
    Uploading = 5,
    Downloading = 6,
    Regenerating = 7,
};

Q_DECLARE_METATYPE(SystemState)
