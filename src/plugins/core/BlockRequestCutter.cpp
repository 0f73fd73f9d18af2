#include "BlockRequestCutter.h"

void BlockRequestCutter::append(const QByteArray& bytes)
{
    // What was taken is dropped once per read, so many requests in one read cost linear time.
    m_buffer.remove(0, m_offset);
    m_offset = 0;
    m_buffer.append(bytes);
}

bool BlockRequestCutter::next(quint32& block)
{
    if (pending() < kRequestSize)
        return false;
    const auto* p = reinterpret_cast<const uchar*>(m_buffer.constData() + m_offset + 16);
    block = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    m_offset += kRequestSize;
    return true;
}
