#include "SimFrame.h"

namespace {
void putLe(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

quint32 getLe(const QByteArray& in, int at, int bytes)
{
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | quint8(in.at(at + i));
    return value;
}
} // namespace

quint32 SimFrame::crc(const QByteArray& bytes)
{
    quint32 c = 0xFFFFFFFFu;
    for (char ch : bytes) {
        c ^= quint32(quint8(ch)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : (c << 1);
    }
    return c;
}

QByteArray SimFrame::encode() const
{
    QByteArray out;
    out.append("\xCC\xAA\xBB\xFF", 4);
    out.append(char(version));
    out.append(char(source));
    out.append(char(target));
    out.append(char(card));
    putLe(out, sequence, 2);
    out.append(char(type));
    out.append(char(cmd));
    putLe(out, quint32(payload.size()), 4);
    out.append(payload);
    putLe(out, crcGood ? crc(out) : ~crc(out), 4);
    return out;
}

bool SimFrameReader::next(SimFrame& frame)
{
    for (;;) {
        if (m_data.size() < 4)
            return false;
        if (!m_data.startsWith(QByteArray("\xCC\xAA\xBB\xFF", 4))) {
            m_data.remove(0, 1);
            ++m_skipped;
            continue;
        }
        if (m_data.size() < 16)
            return false;
        const quint32 length = getLe(m_data, 12, 4);
        if (length > kMaxPayload) {
            m_data.remove(0, 1);
            ++m_skipped;
            continue;
        }
        const int total = int(length) + 20;
        if (m_data.size() < total)
            return false;
        frame.version = quint8(m_data.at(4));
        frame.source = quint8(m_data.at(5));
        frame.target = quint8(m_data.at(6));
        frame.card = quint8(m_data.at(7));
        frame.sequence = quint16(getLe(m_data, 8, 2));
        frame.type = quint8(m_data.at(10));
        frame.cmd = quint8(m_data.at(11));
        frame.payload = m_data.mid(16, int(length));
        frame.crcGood = getLe(m_data, 16 + int(length), 4) == SimFrame::crc(m_data.left(16 + int(length)));
        m_data.remove(0, total);
        return true;
    }
}
