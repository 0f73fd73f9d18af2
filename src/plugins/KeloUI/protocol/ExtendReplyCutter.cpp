#include "ExtendReplyCutter.h"

#include <QtEndian>

qint64 ExtendReplyCutter::lengthOf(const char* frame, qint64 n)
{
    const quint8 code = quint8(frame[2]);
    switch (code) {
    case 0:
    case 193:
        return 6;
    case 17:
        return 11;
    case 18:
        return 10;
    case 19:
        return 13;
    case 20: {
        if (n < 9)
            return 0;
        const qint64 length = 9 + 4 * qint64(qFromBigEndian<quint32>(frame + 3));
        return length > kMaxFrame ? -2 : length;
    }
    case 21:
    case 22:
        return 9;
    case 24:
        return 17;
    case 25:
        return 5;
    case 33:
        return 32;
    case 34:
        return 16;
    case 35:
        return 15;
    case 49:
        return 122;
    case 65:
    case 66: {
        if (n < 6)
            return 0;
        const qint64 record = code == 65 ? kB3IRecord : kB3ARecord;
        const quint8 c = quint8(frame[3]);
        if (c > 64)
            return 6;
        if (c <= 6)
            return 6 + record * c;
        // A large set comes in several replies; each ends after the last whole record buffered.
        return 6 + record * ((n - 6) / record);
    }
    default:
        return -1;
    }
}

ExtendReplyCutter::ExtendReplyCutter()
{
    m_clock.start();
}

void ExtendReplyCutter::clear()
{
    m_buffer.clear();
    m_offset = 0;
    m_waiting = false;
}

int ExtendReplyCutter::freshFrameIn(const QByteArray& datagram) const
{
    const qint64 length = lengthOf(m_buffer.constData(), m_buffer.size());
    if (length <= 0)
        return -1; // the waiting frame's size is not known yet: anything may be its rest
    const qint64 missing = length - m_buffer.size();
    const char* d = datagram.constData();
    const qint64 size = datagram.size();
    // As its rest, the datagram would end the frame on a boundary: at its own end or where
    // the next sync pair starts.
    if (size == missing || (size > missing && d[missing] == 0x10))
        return -1;
    for (qint64 i = 0; i + 4 < size; ++i) {
        if (d[i] != 0x10 || d[i + 1] != 0x02)
            continue;
        const qint64 n = size - i;
        const qint64 own = lengthOf(d + i, n);
        if (own > 0 && own <= n)
            return int(i);
    }
    return -1;
}

QList<ExtendReplyCutter::Reply> ExtendReplyCutter::append(const QByteArray& datagram)
{
    return append(datagram, m_clock.elapsed());
}

QList<ExtendReplyCutter::Reply> ExtendReplyCutter::append(const QByteArray& datagram, qint64 nowMs)
{
    QList<Reply> out;
    // Compact before growing: the consumed front is dropped once per datagram, not per reply.
    if (m_offset > 0) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    // The waiting frame is at the front. A datagram that cannot be its rest but brings a whole
    // reply of its own shows that the frame was false (a garbled count): read the new reply now.
    const int fresh = m_waiting ? freshFrameIn(datagram) : -1;
    if (fresh >= 0) {
        clear();
        m_buffer.append(datagram.constData() + fresh, datagram.size() - fresh);
    } else {
        // Had it been real, its rest would have come by now.
        if (m_waiting && nowMs - m_waitSince >= kStallMs && m_buffer.size() >= 2)
            m_offset = 2;
        m_buffer.append(datagram);
    }

    while (m_offset < m_buffer.size()) {
        const char* data = m_buffer.constData();
        const int size = m_buffer.size();
        int sync = -1;
        for (int i = m_offset; i + 1 < size; ++i) {
            if (data[i] == 0x10 && data[i + 1] == 0x02) {
                sync = i;
                break;
            }
        }
        if (sync < 0) {
            clear();
            break;
        }
        m_offset = sync;
        const qint64 n = size - m_offset;
        if (n <= 4)
            break;
        const qint64 length = lengthOf(data + m_offset, n);
        if (length == 0)
            break;
        if (length == -1) {
            m_offset += int(qMin<qint64>(5, n));
            continue;
        }
        if (length == -2) {
            m_offset += 2;
            continue;
        }
        if (n < length)
            break;
        Reply r;
        r.code = quint8(data[m_offset + 2]);
        r.payload = QByteArray(data + m_offset + 3, int(length - 5));
        out.append(r);
        m_offset += int(length);
    }
    if (m_offset >= m_buffer.size()) {
        clear();
        return out;
    }
    // A frame start that stays at the front keeps the time it began to wait; any other start
    // (the front moved, or nothing waited before) begins its wait now.
    if (!m_waiting || m_offset > 0)
        m_waitSince = nowMs;
    m_waiting = true;
    return out;
}
