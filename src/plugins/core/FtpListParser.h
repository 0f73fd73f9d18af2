#pragma once

#include "FtpListEntry.h"
#include "core_global.h"

#include <cstddef>
#include <ctime>
#include <list>

// Reads the text of a LIST reply in either of the two forms servers use. The form is taken
// from the first line that tells: '-', 'd' or 'l' is the Unix form, a digit the DOS form; a
// leading "total" line is skipped. Fields are separated by runs of spaces.
//
//   Unix: drwxr-xr-x 2 root root 4096 Jan 5 10:22 my dir   -> directory "my dir", 5 Jan, 10:22
//         -rw-r--r-- 1 ftp ftp 17 Mar 3 2021 a.zip      -> file "a.zip", 17 bytes, 3 Mar 2021
//   DOS:  01-05-24  10:22PM  <DIR>  update                 -> directory "update", 5 Jan 2024, 22:22
//         01-05-24  09:01AM  1234  a.zip
//
// A time of day without a year dates the entry in the current year; a two-digit DOS year yy is
// 1900+yy unless that lies more than 98 years back, then 2000+yy.
class CORE_EXPORT FtpListParser
{
public:
    enum Format { Unknown = -1, Dos = 0, Unix = 1 };

    // Appends one entry per listed name. False when a line fits neither form; the entries
    // read before it stay. `now` supplies the current year.
    static bool parse(const char* text, size_t length, std::list<FtpListEntry>& entries, int& format,
                      const std::tm& now);

private:
    static bool parseUnix(const char* line, size_t length, FtpListEntry& entry, const std::tm& now);
    static bool parseDos(const char* line, size_t length, FtpListEntry& entry, const std::tm& now);
};
