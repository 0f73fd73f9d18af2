#pragma once

#include <QByteArray>
#include <QString>

#include <zlib.h>

// Framing helpers written from the sentence formats, independent of the parser's own code.
namespace SkyvaneTest {

// "$" body "*" XOR-in-hex CR LF.
inline QByteArray nmea(const QByteArray& body)
{
    unsigned char x = 0;
    for (char c : body)
        x ^= static_cast<unsigned char>(c);
    return "$" + body + "*" + QByteArray::number(x, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

// The receiver's log CRC (reflected 0xEDB88320, initial 0, no final inversion) from zlib,
// whose crc32 adds an inversion on both ends.
inline quint32 logCrc(const QByteArray& body)
{
    const uLong z = crc32(0xFFFFFFFFul, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
    return quint32(~z);
}

// "#" body "*" CRC-in-hex CR LF.
inline QByteArray log(const QByteArray& body)
{
    return "#" + body + "*" + QByteArray::number(logCrc(body), 16).rightJustified(8, '0') + "\r\n";
}

} // namespace SkyvaneTest
