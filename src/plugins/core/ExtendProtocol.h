#pragma once

#include "core_global.h"

#include <SystemState.h>

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QtGlobal>

// Command codes of the extension protocol (one byte on the wire). Requests and their replies
// share a code; 193 is the instrument's report that a command failed.
enum COST : quint8 {
    COST_GetStatus = 0,
    COST_Playback = 17,
    COST_Record = 18,
    COST_GetVolume = 19,
    COST_GetRecords = 20,
    COST_DeleteRecord = 21,
    COST_DeviceCheck = 22,
    COST_SetPower = 23,
    COST_SetIp = 24,
    COST_Format = 25,
    COST_GetPulse = 33,
    COST_GetLeapSecond = 34,
    COST_SetPulse = 35,
    COST_GetEphComposite = 49,
    COST_GetEphCivil = 65,
    COST_GetEphMilitary = 66,
    COST_CmdError = 193,
};
Q_DECLARE_METATYPE(COST)

// The extension protocol's frame, the same in both directions, carried in UDP datagrams:
//   10 02 | code | payload (n bytes, fields big-endian) | checksum (2 bytes, low byte first)
// The checksum is the folded, uncomplemented sum of 16-bit little-endian words over everything
// before it (sync bytes and code included), an odd last byte counting as a word of its own.
// Worked example, code 24 with address 192.168.1.10, mask 255.255.255.0, gateway 192.168.1.1:
//   10 02 18 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 85 84
// (the words sum to 0x38482, which folds to 0x8485).
class CORE_EXPORT ExtendProtocol
{
public:
    static quint16 checkSum16(const char* data, int length);
    static QByteArray makeFrame(quint8 code, const QByteArray& payload);

    // Payload builders of the requests that carry one.
    static QByteArray playbackPayload(quint8 kind, quint8 action, quint32 name);
    static QByteArray recordPayload(quint8 action, quint32 name);
    static QByteArray namePayload(quint32 name);
    static QByteArray setIpPayload(quint32 ip, quint32 mask, quint32 gateway);
    static QByteArray getPulsePayload(quint8 wait, quint8 count);
    static QByteArray setPulsePayload(quint64 width, quint16 count);

    // Big-endian field readers of reply payloads; a field that does not fit reads as 0.
    static quint64 readBE(const QByteArray& data, int at, int bytes);
    static double readDouble(const QByteArray& data, int at);

    static void appendBE(QByteArray& out, quint64 value, int bytes);

    // The fixed part of a reply's payload by its code; a shorter payload is not decoded.
    static int replySize(quint8 code);

    // Bytes of codes 17 and 18, the same in requests and replies: what runs (17 only), and
    // whether it starts or stops (a reply's result; any other result is unknown).
    enum RunKind : quint8 { RunPlayback = 0xAA, RunForwarding = 0x11 };
    enum RunAction : quint8 { RunStart = 0xFF, RunStop = 0x00 };

    // Replies decoded from their payloads, offsets counted from the first payload byte. Each
    // decoder expects replySize(code) bytes; a field past the end of a shorter payload reads as 0.
    //    0: the device mode i8, the instrument's run state (SystemState 1 to 4), kept as sent
    //   17: kind (RunKind), result (RunAction: started or stopped), name u32
    struct RunReply
    {
        quint8 kind = 0;
        quint8 result = 0;
        quint32 name = 0;
    };
    //   18: result (RunAction: started or stopped), name u32
    struct RecordReply
    {
        quint8 result = 0;
        quint32 name = 0;
    };
    //   19: free and total space in MB, u32 each
    struct Capacity
    {
        quint32 freeMegabytes = 0;
        quint32 totalMegabytes = 0;
    };
    //   20: count i32 as announced, then the names u32 (only those the payload carries)
    struct RecordList
    {
        qint32 count = 0;
        QList<quint32> names;
    };
    //   33: leap flag, BDS week u16, BDS second u32, then two moments of 3 + 3 bytes and a u32
    //       time of day each, at 7 and 17
    struct UtcMoment
    {
        quint8 year = 0, month = 0, day = 0;
        quint8 hour = 0, minute = 0, second = 0;
        quint32 timeOfDay = 0;
    };
    struct Timing
    {
        quint8 leapFlag = 0;
        quint16 week = 0;
        quint32 secondOfWeek = 0;
        UtcMoment first;
        UtcMoment second;
    };
    //   34: current and next leap seconds i16, date 3 bytes, time of day u32
    struct LeapSecond
    {
        qint16 current = 0;
        qint16 next = 0;
        quint8 year = 0, month = 0, day = 0;
        quint32 timeOfDay = 0;
    };
    //   35: width u64, count u16
    struct PulseSetting
    {
        quint64 width = 0;
        quint16 count = 0;
    };
    //   65 (B3I, 210-byte records), 66 (B3A, 233-byte records): the count of the whole set, then
    //       the whole records of this reply; a record's satellite is the low byte of its u16 at 2
    struct EphemerisRecord
    {
        qint8 satellite = 0;
        QByteArray bytes;
    };
    struct EphemerisSet
    {
        quint8 count = 0;
        QList<EphemerisRecord> records;
    };

    static qint8 deviceMode(const QByteArray& payload);                       // 0
    static RunReply playbackReply(const QByteArray& payload);                 // 17
    static RecordReply recordReply(const QByteArray& payload);                // 18
    static Capacity capacity(const QByteArray& payload);                      // 19
    static RecordList recordList(const QByteArray& payload);                  // 20
    static quint32 deletedName(const QByteArray& payload);                    // 21
    static quint32 faultWord(const QByteArray& payload);                      // 22
    static Timing timing(const QByteArray& payload);                          // 33
    static LeapSecond leapSecond(const QByteArray& payload);                  // 34
    static PulseSetting pulseSetting(const QByteArray& payload);              // 35
    static EphemerisSet ephemerisSet(quint8 code, const QByteArray& payload); // 65, 66

    // Sizes of the composite block (49) and of one record of each ephemeris set (65, 66).
    static constexpr int kCompositeSize = 117;
    static constexpr int kB3ISize = 210;
    static constexpr int kB3ASize = 233;
};
