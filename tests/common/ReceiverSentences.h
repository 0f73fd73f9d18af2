#pragma once

#include <QByteArray>

// The framings of the receiver's output, written from the sentence formats and independent of
// the parser's own code (header only).
namespace Sentence {

// "$" body "*" XOR of the body in two upper-case hex digits, CR LF: the NMEA framing.
inline QByteArray nmea(const QByteArray& body)
{
    unsigned char x = 0;
    for (char c : body)
        x ^= static_cast<unsigned char>(c);
    return "$" + body + "*" + QByteArray::number(x, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

// The receiver logs' CRC-32: reflected polynomial 0xEDB88320, initial value 0, no final inversion.
inline quint32 logCrc(const QByteArray& body)
{
    quint32 crc = 0;
    for (char ch : body) {
        crc ^= static_cast<unsigned char>(ch);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

// "#" body "*" CRC in eight lower-case hex digits, CR LF: the log framing.
inline QByteArray log(const QByteArray& body)
{
    return "#" + body + "*" + QByteArray::number(logCrc(body), 16).rightJustified(8, '0') + "\r\n";
}

} // namespace Sentence
