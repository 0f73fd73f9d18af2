#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// One line of a directory listing. A directory has size -1. Of the time only minutes, hours,
// day of month, month (0 to 11) and years since 1900 are filled; the rest is 0. A symbolic link
// of the Unix form keeps its arrow and target in the name ("lnk -> target"); linkName() is the
// link's own name.
struct FtpListEntry
{
    std::string name;
    int64_t size = 0;
    std::tm time{};
    bool link = false;

    std::string linkName() const
    {
        if (!link)
            return name;
        const size_t arrow = name.find(" -> ");
        return arrow == std::string::npos ? name : name.substr(0, arrow);
    }
};
