// Directory listings in either form: every entry read must have a name and a date in range.
#include <FtpListParser.h>

#include <cstdint>
#include <cstdlib>
#include <list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::tm now{};
    now.tm_year = 126;
    now.tm_mon = 11;
    now.tm_mday = 9;
    std::list<FtpListEntry> entries;
    int format = -1;
    FtpListParser::parse(reinterpret_cast<const char*>(data), size, entries, format, now);
    for (const FtpListEntry& e : entries) {
        if (e.name.empty() || e.name.size() > size || e.linkName().empty())
            std::abort();
        if (e.time.tm_mon < 0 || e.time.tm_mon > 11 || e.time.tm_mday < 1 || e.time.tm_mday > 31 || e.time.tm_hour < 0
            || e.time.tm_hour > 23 || e.time.tm_min < 0 || e.time.tm_min > 59)
            std::abort();
        if (e.size < -1)
            std::abort();
    }
    return 0;
}
