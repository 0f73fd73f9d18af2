#include "SentenceScanner.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace Ns {
namespace Skyvane {

namespace {

struct CrcTable
{
    quint32 entries[256];
    constexpr CrcTable()
        : entries()
    {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            entries[i] = c;
        }
    }
};

constexpr CrcTable kCrcTable;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Plain decimal text ("-12.5", "4.2e-09") that a correctly rounded conversion can take.
bool isPlainDecimal(const char* s, int n)
{
    int i = 0;
    if (i < n && s[i] == '-')
        ++i;
    int digits = 0;
    while (i < n && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        int exponentDigits = 0;
        while (i < n && isDigit(s[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

} // namespace

quint32 SentenceScanner::crc32(const unsigned char* data, int length)
{
    quint32 crc = 0;
    for (int i = 0; i < length; ++i)
        crc = kCrcTable.entries[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return crc;
}

double SentenceScanner::number(const char* text, int length)
{
    if (length <= 0)
        return 0.0;
    if (isPlainDecimal(text, length)) {
        double value = 0.0;
        const auto r = std::from_chars(text, text + length, value, std::chars_format::general);
        if (r.ec == std::errc() && r.ptr == text + length)
            return value;
        if (r.ec == std::errc::result_out_of_range) {
            // Too large becomes infinite, too small zero, keeping the sign.
            const char* e = static_cast<const char*>(std::memchr(text, 'e', size_t(length)));
            if (!e)
                e = static_cast<const char*>(std::memchr(text, 'E', size_t(length)));
            const bool tiny = e && e + 1 < text + length && e[1] == '-';
            const double sign = text[0] == '-' ? -1.0 : 1.0;
            return tiny ? sign * 0.0 : sign * HUGE_VAL;
        }
    }
    bool negative = false;
    bool fraction = false;
    double value = 0.0;
    double scale = 1.0;
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '-') {
            negative = true;
        } else if (c == '.') {
            fraction = true;
        } else {
            const int digit = static_cast<unsigned char>(c) - 48;
            if (fraction) {
                scale *= 10.0;
                value += digit / scale;
            } else {
                value = value * 10.0 + digit;
            }
        }
    }
    return negative ? -value : value;
}

qint64 SentenceScanner::integerPart(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (value <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

SentenceScanner::Result SentenceScanner::scan(const QByteArray& buffer, const char* pattern, Check check,
                                              bool strictHeader)
{
    Result r;
    const char* p = buffer.constData();
    const int n = buffer.size();
    const int limit = qMin(n, kMaxSentence);
    const int patternLength = int(std::strlen(pattern));

    int sep = -1;
    for (int i = 0; i < limit; ++i) {
        const char c = p[i];
        if (c == ',' || c == ';' || c == '*') {
            sep = i;
            break;
        }
        const bool beyond = i >= patternLength;
        if ((beyond && strictHeader) || (!beyond && pattern[i] != '*' && pattern[i] != c)) {
            r.headerMismatch = true;
            r.consumed = -1;
            return r;
        }
    }
    if (sep < 0) {
        r.consumed = n >= kMaxSentence ? -1 : 0;
        return r;
    }
    if (sep != patternLength) {
        r.badHeaderLength = true;
        r.headerLength = sep;
        r.consumed = sep + 1;
        return r;
    }

    int fieldBegin = sep + 1;
    int star = -1;
    bool checksumValid = true;
    quint64 received = 0;
    int lineEnd = -1;
    if (p[sep] == ';')
        r.firstAfterSemicolon = 0;
    if (p[sep] == '*') {
        star = sep;
        r.checksumBegin = sep + 1;
    }

    for (int i = sep + 1; i < limit; ++i) {
        const char c = p[i];
        const bool ends = c == '\r' || c == '\n' || c == '\0';
        if (star < 0) {
            if (c == ',' || c == ';' || c == '*' || ends) {
                r.fields.append(Field{fieldBegin, i - fieldBegin});
                fieldBegin = i + 1;
                if (c == ';' && r.firstAfterSemicolon < 0)
                    r.firstAfterSemicolon = r.fields.size();
                if (c == '*') {
                    star = i;
                    r.checksumBegin = i + 1;
                }
                if (ends) {
                    lineEnd = i;
                    break;
                }
            } else if (i - fieldBegin >= kMaxField) {
                r.overlong = true;
            }
        } else if (ends) {
            lineEnd = i;
            break;
        } else {
            const int v = hexValue(c);
            if (v < 0 || i - r.checksumBegin >= 8)
                checksumValid = false;
            else
                received = (received << 4) | quint64(v);
        }
    }

    if (lineEnd < 0) {
        // Ran out of bytes: wait, unless the sentence is already longer than any real one.
        r.consumed = n >= kMaxSentence ? -1 : 0;
        return r;
    }
    if (p[lineEnd] == '\r') {
        if (lineEnd + 1 >= n) {
            r.consumed = 0; // the line feed may still come
            return r;
        }
        if (p[lineEnd + 1] != '\n') {
            r.consumed = lineEnd;
            return r;
        }
        r.complete = true;
        r.consumed = lineEnd + 1;
    } else {
        // A bare line feed or a zero byte ends the sentence unchecked: consumed, not used.
        r.consumed = lineEnd;
        return r;
    }

    if (star >= 0) {
        r.hasChecksum = true;
        r.checksumLength = lineEnd - r.checksumBegin;
        const auto* bytes = reinterpret_cast<const unsigned char*>(p);
        if (check == Check::Xor) {
            quint8 x = 0;
            for (int i = 1; i < star; ++i)
                x ^= bytes[i];
            r.computed = x;
        } else {
            r.computed = crc32(bytes + 1, star - 1);
        }
        r.received = quint32(received);
        r.checksumOk = checksumValid && r.checksumLength > 0 && received == r.computed;
    }
    return r;
}

} // namespace Skyvane
} // namespace Ns
