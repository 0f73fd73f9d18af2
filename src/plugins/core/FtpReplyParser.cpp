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

std::string FtpReplyParser::quotedPath(const std::string& text)
{
    const size_t first = text.find('"');
    if (first == std::string::npos)
        return std::string();
    std::string path;
    for (size_t i = first + 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            path += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '"') {
            path += '"';
            ++i;
            continue;
        }
        return path;
    }
    return std::string();
}

bool FtpReplyParser::passiveNumbers(const std::string& text, unsigned char numbers[6])
{
    const size_t open = text.find('(');
    if (open == std::string::npos)
        return false;
    int values[6] = {0, 0, 0, 0, 0, 0};
    int index = 0;
    bool digits = false;
    for (size_t i = open + 1; i < text.size() && text[i] != ')'; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (index < 6) {
                values[index] = values[index] * 10 + (c - '0');
                if (values[index] > 255)
                    return false;
            }
            digits = true;
        } else if (c == ',') {
            ++index;
        }
    }
    if (!digits || index < 5)
        return false;
    for (int k = 0; k < 6; ++k)
        numbers[k] = static_cast<unsigned char>(values[k]);
    return true;
}
