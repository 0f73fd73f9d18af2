#pragma once

#include "keloui_global.h"

#include <QByteArray>
#include <QList>

// Cuts DB9 output frames (Db9Frame) out of the datagram stream: a frame starts at 55 AA 52 B2
// and may span datagrams. With at least one frame's worth buffered, bytes without a 55 AA pair
// are dropped whole; a pair not followed by 52 B2 is stepped over; a frame with a wrong sum is
// dropped and counted.
class KELOUI_EXPORT Db9FrameCutter
{
public:
    struct BadSum
    {
        quint8 computed;
        quint8 carried;
    };

    // Appends one datagram; returns the frames with a good sum, in order.
    QList<QByteArray> append(const QByteArray& datagram, QList<BadSum>* bad = nullptr);
    int pending() const { return m_buffer.size() - m_offset; }

private:
    QByteArray m_buffer;
    int m_offset = 0;
};
