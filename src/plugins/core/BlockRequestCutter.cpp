#include "BlockRequestCutter.h"

#include <QtEndian>

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
    block = qFromLittleEndian<quint32>(m_buffer.constData() + m_offset + 16);
    m_offset += kRequestSize;
    return true;
}
