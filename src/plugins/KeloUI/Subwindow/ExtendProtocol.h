#pragma once

#include "keloui_global.h"

#include <QByteArray>
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
class KELOUI_EXPORT ExtendProtocol
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
};
