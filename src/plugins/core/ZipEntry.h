#pragma once

#include <cstdint>
#include <string>

// One local file header of a ZIP archive. The name is the stored bytes up to the first NUL,
// without code-page conversion.
struct ZipEntry
{
    std::string name;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    bool isDirectory = false; // both sizes 0 and the name ends with '/'
};
