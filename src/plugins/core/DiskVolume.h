#pragma once

#include <QList>
#include <QMetaType>
#include <QtGlobal>

// Disk capacity of one board, in megabytes: 8 bytes, the same in memory and on the wire.
struct DiskVolume
{
    quint32 Total = 0;
    quint32 Free = 0;
};
static_assert(sizeof(DiskVolume) == 8, "DiskVolume is the 8-byte wire record");

Q_DECLARE_METATYPE(DiskVolume)
Q_DECLARE_METATYPE(QList<DiskVolume>)
