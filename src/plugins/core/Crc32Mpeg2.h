#pragma once

#include "core_global.h"

#include <QtGlobal>

// CRC-32/MPEG-2: polynomial 0x04C11DB7, initial value 0xFFFFFFFF, neither input nor output
// reflected, no final XOR. The CRC of no bytes is 0xFFFFFFFF; of "123456789" it is 0x0376E6E7.
// Record transfers run it over megabytes, so bytes are taken eight at a time (slice-by-8).
class CORE_EXPORT Crc32Mpeg2
{
public:
    static constexpr quint32 kInitial = 0xFFFFFFFFu;
    static constexpr quint32 kPolynomial = 0x04C11DB7u;

    static quint32 compute(const uchar* data, size_t length) { return update(kInitial, data, length); }
    // Continues a CRC over further bytes, so a frame can be checked in pieces.
    static quint32 update(quint32 crc, const uchar* data, size_t length);
};
