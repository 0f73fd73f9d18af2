#include "ExtendProtocol.h"

#include <cstring>

quint16 ExtendProtocol::checkSum16(const char* data, int length)
{
    if (!data || length <= 0)
        return 0;
    const auto* bytes = reinterpret_cast<const quint8*>(data);
    quint32 sum = 0;
    int i = 0;
    for (; i + 1 < length; i += 2) {
        sum += quint32(bytes[i]) | (quint32(bytes[i + 1]) << 8);
        // Fold as we go so that a long buffer cannot overflow the 32-bit sum; the folded
        // result is the same as folding once at the end.
        if (sum > 0xFFFF0000u)
            sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (i < length)
        sum += bytes[i];
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(sum);
}

QByteArray ExtendProtocol::makeFrame(quint8 code, const QByteArray& payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + 5);
    frame.append(char(0x10));
    frame.append(char(0x02));
    frame.append(char(code));
    frame.append(payload);
    const quint16 sum = checkSum16(frame.constData(), frame.size());
    frame.append(char(sum & 0xFF));
    frame.append(char(sum >> 8));
    return frame;
}

void ExtendProtocol::appendBE(QByteArray& out, quint64 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray ExtendProtocol::playbackPayload(quint8 kind, quint8 action, quint32 name)
{
    QByteArray p;
    p.append(char(kind));
    p.append(char(action));
    appendBE(p, name, 4);
    return p;
}

QByteArray ExtendProtocol::recordPayload(quint8 action, quint32 name)
{
    QByteArray p;
    p.append(char(action));
    appendBE(p, name, 4);
    return p;
}

QByteArray ExtendProtocol::namePayload(quint32 name)
{
    QByteArray p;
    appendBE(p, name, 4);
    return p;
}

QByteArray ExtendProtocol::setIpPayload(quint32 ip, quint32 mask, quint32 gateway)
{
    QByteArray p;
    appendBE(p, ip, 4);
    appendBE(p, mask, 4);
    appendBE(p, gateway, 4);
    return p;
}

QByteArray ExtendProtocol::getPulsePayload(quint8 wait, quint8 count)
{
    QByteArray p;
    p.append(char(wait));
    p.append(char(count));
    return p;
}

QByteArray ExtendProtocol::setPulsePayload(quint64 width, quint16 count)
{
    QByteArray p;
    appendBE(p, width, 8);
    appendBE(p, count, 2);
    return p;
}

quint64 ExtendProtocol::readBE(const QByteArray& data, int at, int bytes)
{
    if (at < 0 || bytes <= 0 || bytes > 8 || data.size() - at < bytes)
        return 0;
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(data.at(at + i));
    return v;
}

double ExtendProtocol::readDouble(const QByteArray& data, int at)
{
    const quint64 bits = readBE(data, at, 8);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
