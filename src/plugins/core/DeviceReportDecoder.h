#pragma once

#include "core_global.h"

#include "CustomFreqHZ.h"
#include "DeviceInfo.h"
#include "DiskVolume.h"
#include "HeartMsg.h"
#include "LogText.h"
#include "SyncDeviceState.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Decoders of the System replies that carry device reports. They take the frame's payload
// (the bytes after the 16-byte header, without the CRC) and never read past its end. All
// multi-byte fields are little-endian. A decoder that can refuse returns false, leaves its
// output untouched and, when asked, says why in *error, so that the caller logs it and drops
// the report. They do no I/O of their own.
//
// Heartbeat reply (System 1), 4 bytes, copied over zeros (a shorter payload leaves the rest 0):
//   01 05 00 64  -> accepted 1, source id 5, not charging, power 100
//
// Device information (System 4), 41 + 20 N bytes:
//   0 u8 channels | 1 i8 major | 2 i8 minor | 3 i16 build | 5 i32 revision | 9 u8 boards N |
//   10 N x 20-byte DeviceBoardInfo | 10+20N u32 total | 14+20N u32 surplus | 18+20N u32 third |
//   22+20N 18 bytes identifier | 40+20N u8 automatic time (non-zero: true)
// The identifier loses its trailing 0x00 and 0x20 bytes; inner spaces stay. With N = 0:
//   04 01 02 03 00 04 00 00 00 00 | 00 10 00 00 | 00 08 00 00 | 00 00 00 00 |
//   "KL01" + 14 spaces | 01
//   -> 4 channels, version 1.2.3.4, no boards, 4096 / 2048 MB, id "KL01", automatic time on
//
// Disk volumes (System 5): whole 8-byte entries (u32 total MB, u32 free MB); a remainder is
// dropped, fewer than 8 bytes give an empty list.
//
// Device state (System 8 and 9): 0 u8 state | 1 u32 value | 5 block by state:
//   2, 4: u32 name | u8 serial | i8 bits | u8 trigger | u32 timed stop | u32 timed start |
//         u8 channels M | M x 4-byte RecordChannel | UTF-8 note to the end (up to a zero byte)
//   3:    u32 name | u32 loops | u32 start position | u32 duration | u8 trigger
//   7:    four u32
//   other states carry no block.
//   05 3C 00 00 00  -> uploading, value 60, every block zero
//
// Custom frequencies (System 11): u8 N, then N u32 frequencies in hertz.
//   02 | 40 42 0F 00 | 80 84 1E 00  -> 1 MHz and 2 MHz
//
// Text list (System 17), a little-endian QDataStream QStringList: u32 count, then per text a
// u32 byte length (0xFFFFFFFF: a null text) and that many bytes of UTF-16LE.
//   01 00 00 00 | 04 00 00 00 | 41 00 31 00  -> ("A1")
class CORE_EXPORT DeviceReportDecoder
{
public:
    static constexpr uint kDeviceInfoFixedSize = 41;
    static constexpr uint kStateHeaderSize = 5;

    static HeartMsg decodeHeartMsg(const uchar* data, uint length);
    // The heartbeat record of the extended heartbeat, built from the "Battery" values of its
    // text (invalid variants, for a missing section or key, read as 0).
    static HeartMsg extendedHeartMsg(quint8 sourceId, const QVariant& charging, const QVariant& power);

    static bool decodeDeviceInfo(const uchar* data, uint length, DeviceInfo* out, LogText* error = nullptr);
    static QList<DiskVolume> decodeDiskVolumes(const uchar* data, uint length);
    static bool decodeSyncDeviceState(const uchar* data, uint length, SyncDeviceState* out, LogText* error = nullptr);
    static bool decodeCustomFreq(const uchar* data, uint length, CustomFreqHZ* out, LogText* error = nullptr);
    static bool decodeStringList(const uchar* data, uint length, QStringList* out, LogText* error = nullptr);

    // Makes the report types usable in queued connections and signal spies.
    static void registerMetaTypes();
};
