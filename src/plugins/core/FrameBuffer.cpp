#include "FrameBuffer.h"

#include "Crc32Mpeg2.h"
#include "MsgHeader.h"

#include <QtEndian>

void FrameBuffer::append(const QByteArray& chunk)
{
    compact();
    m_data.append(chunk);
}

void FrameBuffer::clear()
{
    m_data.clear();
    m_offset = 0;
}

void FrameBuffer::compact()
{
    if (m_offset == 0)
        return;
    if (m_offset >= m_data.size())
        m_data.clear();
    else
        m_data.remove(0, m_offset);
    m_offset = 0;
}

FrameBuffer::Next FrameBuffer::takeFrame(QByteArray& frame)
{
    const int available = pending();
    if (available < 4) {
        compact();
        return Next::NeedMore;
    }
    const char* front = m_data.constData() + m_offset;
    if (qFromLittleEndian<quint32>(front) != MsgHeader::kMagic) {
        clear();
        return Next::BadMagic;
    }
    if (available < MsgHeader::kSize) {
        compact();
        return Next::NeedMore;
    }
    const quint32 length = qFromLittleEndian<quint32>(front + 12);
    if (length > kMaxPayload) {
        clear();
        return Next::Oversized;
    }
    // length is bounded above, so the total fits an int.
    const int total = int(length) + MsgHeader::kSize + MsgHeader::kCrcSize;
    if (available < total) {
        compact();
        return Next::NeedMore;
    }
    frame = QByteArray(front, total);
    m_offset += total;
    if (m_offset == m_data.size())
        clear();
    return Next::Frame;
}

int FrameBuffer::scanValidFrames(const QByteArray& data, const std::function<void(const uchar*, quint32)>& sink)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint64 size = quint64(data.size());
    int found = 0;
    quint64 i = 0;
    while (i + 4 <= size) { // i may jump past the end by a stated length
        if (qFromLittleEndian<quint32>(data.constData() + i) != MsgHeader::kMagic) {
            ++i;
            continue;
        }
        if (size - i < MsgHeader::kSize)
            break; // a header cut short; its length field is not there to skip by
        const quint64 length = qFromLittleEndian<quint32>(data.constData() + i + 12);
        const quint64 total = length + MsgHeader::kSize + MsgHeader::kCrcSize;
        if (total <= size - i) {
            const quint32 crc = Crc32Mpeg2::compute(bytes + i, size_t(length + MsgHeader::kSize));
            const quint32 stated = qFromLittleEndian<quint32>(data.constData() + i + MsgHeader::kSize + length);
            if (crc == stated) {
                sink(bytes + i, quint32(total));
                ++found;
            }
        }
        i += total;
    }
    return found;
}
