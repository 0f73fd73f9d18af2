#include "Db9FrameCutter.h"

#include "Db9Frame.h"

QList<QByteArray> Db9FrameCutter::append(const QByteArray& datagram, QList<BadSum>* bad)
{
    QList<QByteArray> frames;
    if (m_offset > 0) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(datagram);
    while (m_buffer.size() - m_offset >= Db9Frame::kSize) {
        const char* data = m_buffer.constData();
        int sync = -1;
        for (int i = m_offset; i + 1 < m_buffer.size(); ++i) {
            if (quint8(data[i]) == 0x55 && quint8(data[i + 1]) == 0xAA) {
                sync = i;
                break;
            }
        }
        if (sync < 0) {
            m_buffer.clear();
            m_offset = 0;
            break;
        }
        m_offset = sync;
        if (m_buffer.size() - m_offset < Db9Frame::kSize)
            break;
        if (quint8(data[m_offset + 2]) != 0x52 || quint8(data[m_offset + 3]) != 0xB2) {
            m_offset += 2;
            continue;
        }
        const QByteArray frame(data + m_offset, Db9Frame::kSize);
        const quint8 sum = Db9Frame::sumOf(frame);
        if (sum == quint8(frame.at(85)))
            frames.append(frame);
        else if (bad)
            bad->append({sum, quint8(frame.at(85))});
        m_offset += Db9Frame::kSize;
    }
    if (m_offset >= m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    }
    return frames;
}
