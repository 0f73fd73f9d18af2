#include "FtpReplyParser.h"

void FtpReplyParser::append(const char* data, size_t length)
{
    compact();
    m_buffer.append(data, length);
}

void FtpReplyParser::clear()
{
    m_buffer.clear();
    m_offset = 0;
    m_multiLineCode = -1;
}

void FtpReplyParser::compact()
{
    if (m_offset == 0)
        return;
    if (m_offset >= m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    } else if (m_offset > m_buffer.size() / 2) {
        m_buffer.erase(0, m_offset);
        m_offset = 0;
    }
}

int FtpReplyParser::take(int& code, std::string& text)
{
    for (;;) {
        const size_t end = m_buffer.find('\n', m_offset);
        if (end == std::string::npos)
            return pending() > kMaxPending ? -1 : 0;
        size_t lineEnd = end;
        if (lineEnd > m_offset && m_buffer[lineEnd - 1] == '\r')
            --lineEnd;
        const size_t begin = m_offset;
        m_offset = end + 1;

        size_t i = begin;
        int value = 0;
        while (i < lineEnd && i - begin < 9 && m_buffer[i] >= '0' && m_buffer[i] <= '9')
            value = value * 10 + (m_buffer[i++] - '0');
        const size_t digits = i - begin;
        if (digits == 0 || i >= lineEnd)
            continue;
        if (m_buffer[i] == ' ' && value > 0 && (m_multiLineCode < 0 || value == m_multiLineCode)) {
            m_multiLineCode = -1;
            code = value;
            text.assign(m_buffer, i + 1, lineEnd - i - 1);
            compact();
            return 1;
        }
        if (m_buffer[i] == '-' && m_multiLineCode < 0)
            m_multiLineCode = value;
    }
}
