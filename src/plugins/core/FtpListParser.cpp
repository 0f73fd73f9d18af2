#include "FtpListParser.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {
struct Field
{
    size_t begin;
    size_t end;
};

// Splits at runs of spaces; `limit` fields at most, the last one runs to the line end.
std::vector<Field> splitFields(const char* s, size_t n, size_t limit)
{
    std::vector<Field> fields;
    size_t i = 0;
    while (i < n && fields.size() < limit) {
        while (i < n && s[i] == ' ')
            ++i;
        if (i >= n)
            break;
        const size_t b = i;
        if (fields.size() + 1 == limit) {
            fields.push_back({b, n});
            break;
        }
        while (i < n && s[i] != ' ')
            ++i;
        fields.push_back({b, i});
    }
    return fields;
}

bool toNumber(const char* s, size_t b, size_t e, int64_t& out)
{
    if (b >= e || e - b > 18)
        return false;
    int64_t v = 0;
    for (size_t i = b; i < e; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
        v = v * 10 + (s[i] - '0');
    }
    out = v;
    return true;
}

// Reads digits from s[i] on into out; false when there are none.
bool readDigits(const char* s, size_t& i, size_t e, int& out)
{
    const size_t b = i;
    int v = 0;
    while (i < e && i - b < 6 && std::isdigit(static_cast<unsigned char>(s[i])))
        v = v * 10 + (s[i++] - '0');
    out = v;
    return i > b;
}

int monthFromName(const char* s, size_t b, size_t e)
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    if (e - b != 3)
        return -1;
    char lower[4] = {0};
    for (int k = 0; k < 3; ++k)
        lower[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[b + k])));
    for (int m = 0; m < 12; ++m)
        if (std::strcmp(lower, names[m]) == 0)
            return m;
    return -1;
}
} // namespace

bool FtpListParser::parseUnix(const char* s, size_t n, FtpListEntry& entry, const std::tm& now)
{
    const std::vector<Field> f = splitFields(s, n, 9);
    if (f.size() < 9)
        return false;
    const bool directory = s[f[0].begin] == 'd' || s[f[0].begin] == 'D';
    const bool link = s[f[0].begin] == 'l' || s[f[0].begin] == 'L';
    int64_t size = 0;
    if (!toNumber(s, f[4].begin, f[4].end, size))
        return false;
    int64_t month = 0;
    int monthIndex;
    if (toNumber(s, f[5].begin, f[5].end, month)) {
        if (month < 1 || month > 12)
            return false;
        monthIndex = static_cast<int>(month) - 1;
    } else {
        monthIndex = monthFromName(s, f[5].begin, f[5].end);
        if (monthIndex < 0)
            return false;
    }
    int64_t day = 0;
    if (!toNumber(s, f[6].begin, f[6].end, day) || day < 1 || day > 31)
        return false;
    size_t i = f[7].begin;
    int first = 0;
    if (!readDigits(s, i, f[7].end, first))
        return false;
    if (i < f[7].end && s[i] == ':') {
        ++i;
        int minute = 0;
        if (!readDigits(s, i, f[7].end, minute) || i != f[7].end || first > 23 || minute > 59)
            return false;
        entry.time.tm_hour = first;
        entry.time.tm_min = minute;
        entry.time.tm_year = now.tm_year;
    } else {
        if (i != f[7].end)
            return false;
        entry.time.tm_year = first >= 1900 ? first - 1900 : first;
    }
    entry.time.tm_mon = monthIndex;
    entry.time.tm_mday = static_cast<int>(day);
    entry.size = directory ? -1 : size;
    entry.link = link;
    entry.name.assign(s + f[8].begin, f[8].end - f[8].begin);
    return true;
}

bool FtpListParser::parseDos(const char* s, size_t n, FtpListEntry& entry, const std::tm& now)
{
    const std::vector<Field> f = splitFields(s, n, 4);
    if (f.size() < 4)
        return false;
    // MM-DD-YY
    size_t i = f[0].begin;
    int month = 0, day = 0, year = 0;
    if (!readDigits(s, i, f[0].end, month) || i >= f[0].end || s[i++] != '-' || !readDigits(s, i, f[0].end, day)
        || i >= f[0].end || s[i++] != '-' || !readDigits(s, i, f[0].end, year) || i != f[0].end)
        return false;
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    if (year < 100) {
        const int currentYear = now.tm_year + 1900;
        year = (currentYear - (1900 + year) > 98) ? 2000 + year : 1900 + year;
    }
    // hh:mm followed by AM or PM
    i = f[1].begin;
    int hour = 0, minute = 0;
    if (!readDigits(s, i, f[1].end, hour) || i >= f[1].end || s[i++] != ':' || !readDigits(s, i, f[1].end, minute)
        || hour > 23 || minute > 59)
        return false;
    if (i < f[1].end) {
        const char c = s[i];
        const bool pm = c == 'P' || c == 'p';
        if (!pm && c != 'A' && c != 'a')
            return false;
        // 12:xxAM is just past midnight, 12:xxPM just past noon.
        if (hour >= 1 && hour <= 12)
            hour = hour % 12 + (pm ? 12 : 0);
    }
    int64_t size = -1;
    if (s[f[2].begin] != '<' && !toNumber(s, f[2].begin, f[2].end, size))
        return false;
    entry.time.tm_year = year - 1900;
    entry.time.tm_mon = month - 1;
    entry.time.tm_mday = day;
    entry.time.tm_hour = hour;
    entry.time.tm_min = minute;
    entry.size = size;
    entry.name.assign(s + f[3].begin, f[3].end - f[3].begin);
    return true;
}

bool FtpListParser::parse(const char* text, size_t length, std::list<FtpListEntry>& entries, int& format,
                          const std::tm& now)
{
    size_t pos = 0;
    while (pos < length) {
        const void* nl = std::memchr(text + pos, '\n', length - pos);
        const size_t lineEnd = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text) : length;
        const char* line = text + pos;
        size_t n = lineEnd - pos;
        pos = lineEnd + 1;
        const void* cr = std::memchr(line, '\r', n);
        if (cr)
            n = static_cast<size_t>(static_cast<const char*>(cr) - line);
        if (n == 0)
            continue;
        if (format == Unknown) {
            const char c = line[0];
            if (c == '-' || c == 'd' || c == 'l')
                format = Unix;
            else if (std::isdigit(static_cast<unsigned char>(c)))
                format = Dos;
            else if (n >= 5 && std::memcmp(line, "total", 5) == 0)
                continue;
            else
                return false;
        } else if (format == Unix && n >= 5 && std::memcmp(line, "total", 5) == 0) {
            continue;
        }
        FtpListEntry entry;
        const bool ok = format == Unix ? parseUnix(line, n, entry, now) : parseDos(line, n, entry, now);
        if (!ok || entry.name.empty())
            return false;
        entries.push_back(std::move(entry));
    }
    return true;
}
