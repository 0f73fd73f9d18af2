#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <cstddef>

// The versions of one collection card: 20 bytes, the same layout in memory and on the wire
// (little-endian). Every field sits at its natural alignment, so no packing is needed.
struct DeviceBoardInfo
{
    qint8 SoftMajor = 0;
    qint8 SoftMinor = 0;
    qint16 SoftBuild = 0;
    qint32 SoftRevision = 0;
    qint32 HardwareVersion = 0;
    qint8 FpgaMajor = 0;
    qint8 FpgaMinor = 0;
    qint16 FpgaBuild = 0;
    qint32 FpgaRevision = 0;
};
static_assert(sizeof(DeviceBoardInfo) == 20, "DeviceBoardInfo is the 20-byte wire record");
static_assert(offsetof(DeviceBoardInfo, HardwareVersion) == 8, "no gap before the hardware version");
static_assert(offsetof(DeviceBoardInfo, FpgaMajor) == 12, "no gap before the FPGA version");
static_assert(offsetof(DeviceBoardInfo, FpgaRevision) == 16, "no gap before the FPGA revision");

Q_DECLARE_METATYPE(DeviceBoardInfo)
