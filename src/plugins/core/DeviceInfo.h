#pragma once

#include "DeviceBoardInfo.h"

#include <QList>
#include <QMetaType>
#include <QtGlobal>

// The device information report (System command 4), decoded. Fields follow the report's order;
// the board list makes the record a value type rather than a byte image.
struct DeviceInfo
{
    quint8 ChannelNum = 0; // replaced by the configured channel override when there is one
    qint8 SoftMajor = 0;
    qint8 SoftMinor = 0;
    qint16 SoftBuild = 0;
    qint32 SoftRevision = 0;
    quint8 BoardNum = 0;           // number of collection cards, equals Boards.size()
    QList<DeviceBoardInfo> Boards; // one per card, in report order
    quint32 TotalCapacity = 0;     // the three values the Core passes on unread
    quint32 SurplusCapacity = 0;
    quint32 Reserved = 0;
    char DeviceId[19] = {};   // at most 18 characters, zero-terminated, trailing blanks cut
    bool AutoSetTime = false; // the instrument sets its clock by itself
};

Q_DECLARE_METATYPE(DeviceInfo)
