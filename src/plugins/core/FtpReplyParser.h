#pragma once

#include "core_global.h"

#include <cstddef>
#include <string>

// Cuts the control connection's byte stream into FTP reply lines and keeps what follows for
// the next reply. Only a whole line counts: one that reached its "\n" and whose leading digits
// are followed by a space. A multi-line reply ("220-Hello\r\n  text\r\n220 Ready\r\n") yields
// its last line, code 220 and text "Ready"; lines between are skipped whatever they hold.
// A code alone with no space ("226\r\n") counts as no reply line.
class CORE_EXPORT FtpReplyParser
{
public:
    // A peer that sends this much without a line end is not an FTP server.
    static constexpr size_t kMaxPending = 64 * 1024;

    void append(const char* data, size_t length);
    // 1: a reply was taken into code and text; 0: more bytes are needed; -1: over-long line.
    int take(int& code, std::string& text);
    void clear();
    size_t pending() const { return m_buffer.size() - m_offset; }

    // The path of a PWD or MKD reply text, quoted as RFC 959 has it: from the first double quote
    // to the next lone one, a doubled quote standing for one ("/it's" and "/say ""hi""" give
    // /it's and /say "hi"). Empty when there is no closing quote.
    static std::string quotedPath(const std::string& text);
    // The six numbers of a PASV reply text "Entering Passive Mode (h1,h2,h3,h4,p1,p2)": address
    // bytes, then port bytes high first. False without '(' or six numbers, or with one above 255.
    static bool passiveNumbers(const std::string& text, unsigned char numbers[6]);

private:
    void compact();

    std::string m_buffer;
    size_t m_offset = 0;
    int m_multiLineCode = -1; // inside "ddd-" ... "ddd " the code that ends it
};
