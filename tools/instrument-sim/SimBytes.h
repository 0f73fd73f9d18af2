#pragma once

#include <QByteArray>
#include <QtGlobal>

// Little-endian field helpers of the simulator's handlers; reads past the end give 0.
namespace SimBytes {
inline void put(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

inline quint32 get(const QByteArray& in, int at, int bytes)
{
    if (at < 0 || in.size() < at + bytes)
        return 0;
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(in.at(at + i));
    return v;
}
} // namespace SimBytes
