#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// One line of a directory listing. A directory has size -1. Of the time only minutes, hours,
// day of month, month (0 to 11) and years since 1900 are filled; the rest is 0.
struct FtpListEntry
{
    std::string name;
    int64_t size = 0;
    std::tm time{};
};
