#pragma once

#include "keloui_global.h"

#include <QByteArray>
#include <QString>

// The 86-byte frame of the instrument's DB9 output port, sent over UDP. Fields are
// little-endian except the time of day; byte 85 is the 8-bit sum of bytes 2 to 84.
//   55 AA 52 B2 | 04 00 02 01 | 03 00 | 84 03 | ...                 version 1.2.4, valid, week 900
//   ... 43: 19 0C 03 | 05 74 C0 5C ...                              2025-12-3 01:01:01.500000
// (the time of day counts steps of 40 us: 91 537 500 x 40 = 3 661 500 000 us).
class KELOUI_EXPORT Db9Frame
{
public:
    static constexpr int kSize = 86;

    static quint8 sumOf(const QByteArray& frame);
    static bool satelliteBit(const QByteArray& frame, int satellite); // 1 to 64
    static quint64 le(const QByteArray& frame, int at, int bytes);

    static QString version(const QByteArray& frame);
    static QString dateTime(const QByteArray& frame);
    static QString band(quint8 code);                        // empty for an unknown band
    static QString degrees(const QByteArray& frame, int at); // x 1e-7, 7 decimals
    static QString altitude(const QByteArray& frame);        // x 1e-4, 4 decimals
    static QString pdop(const QByteArray& frame);            // x 0.01, 6 significant digits
};
