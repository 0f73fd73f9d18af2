#include "Crc32Mpeg2.h"

namespace {
struct Tables
{
    // t[0][b] is the CRC step of one byte b at the top of the register; t[k][b] is that of b
    // followed by k zero bytes.
    quint32 t[8][256];

    Tables()
    {
        for (quint32 b = 0; b < 256; ++b) {
            quint32 crc = b << 24;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x80000000u) ? (crc << 1) ^ Crc32Mpeg2::kPolynomial : crc << 1;
            t[0][b] = crc;
        }
        for (int k = 1; k < 8; ++k)
            for (int b = 0; b < 256; ++b)
                t[k][b] = (t[k - 1][b] << 8) ^ t[0][t[k - 1][b] >> 24];
    }
};

const Tables& tables()
{
    static const Tables instance;
    return instance;
}
} // namespace

quint32 Crc32Mpeg2::update(quint32 crc, const uchar* data, size_t length)
{
    const auto& t = tables().t;
    const uchar* p = data;
    while (length >= 8) {
        const quint32 hi = crc ^ (quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]);
        crc = t[7][hi >> 24] ^ t[6][(hi >> 16) & 0xFF] ^ t[5][(hi >> 8) & 0xFF] ^ t[4][hi & 0xFF] ^ t[3][p[4]]
            ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        length -= 8;
    }
    while (length--) {
        crc = (crc << 8) ^ t[0][(crc >> 24) ^ *p++];
    }
    return crc;
}
