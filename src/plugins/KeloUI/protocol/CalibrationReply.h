#pragma once

#include "keloui_global.h"

#include <QByteArray>

#include <array>

// A reply datagram of the acquisition card to the calibration window, decoded. The card's
// datagram is a control-link frame: byte 10 the type (5, Config), byte 11 the command, u32 LE at
// 12 the stated length N, byte 16 unused, reply data from 17; the CRC is not checked.
//
//   command 10 (parameters), data from 17: i32 attenuation compensation, u8 RxClk<<4|RxDelay,
//     u8 TxClk<<4|TxDelay, u8 Phase, u8 Gain, u8 QOff, u8 IOff; taken only when the N bytes lie
//     in the datagram, fields past N read as 0. E.g. attenuation 1000, Rx 3/4, Tx 5/6:
//     CC AA BB FF 01 00 03 00 00 00 05 0A 0A 00 00 00 00 | E8 03 00 00 34 56 07 08 09 0A | CRC
//   command 16 (AD9009 table), data from 17: u32 base offset, 61 x i32 AD compensation for
//     attenuation steps 0 to 60; taken only when those 248 bytes lie in the datagram, whatever N
//     says.
// Anything else is no reply, and so is a request frame (16-byte header, N payload bytes and the
// CRC of both, 20 + N bytes in all, the CRC sound): a reply carries a status byte before its
// data, so a datagram laid out as a request is the window's own query or a copy of one.
class KELOUI_EXPORT CalibrationReply
{
public:
    static constexpr int kSteps = 61;
    enum Kind { None, Parameters, AdTable };

    static CalibrationReply decode(const QByteArray& datagram);
    static bool isRequestFrame(const QByteArray& datagram);

    Kind kind = None;
    // Parameters
    qint32 attenuation = 0;
    quint8 rxClk = 0, rxDelay = 0, txClk = 0, txDelay = 0;
    quint8 phase = 0, gain = 0, qOff = 0, iOff = 0;
    // AdTable
    quint32 baseOffset = 0;
    std::array<qint32, kSteps> table{};
};
