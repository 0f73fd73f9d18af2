#pragma once

#include "ZipEntry.h"
#include "core_global.h"

#include <cstdint>
#include <cstdio>
#include <list>
#include <string>

// Lists the entries of a ZIP archive by walking its records from the start; nothing is
// decompressed and no CRC is checked. Every length read from the archive is checked against
// the bytes that remain, so a truncated or hostile file is refused, never read past its end.
//
// Records (little-endian):
//   local file header  50 4B 03 04, 30 bytes: @6 flags u16, @18 compressed size u32,
//                      @22 uncompressed size u32, @26 name length u16, @28 extra length u16;
//                      then name, extra field, compressed-size bytes of data
//   data descriptor    50 4B 07 08, after the data when flag bit 3 is set: CRC, sizes (16 or 24 bytes)
//   central directory  50 4B 01 02, 46 bytes: @28 name, @30 extra, @32 comment lengths (u16 each)
//   zip64 end record   50 4B 06 06: @4 size of the rest u64
//   zip64 end locator  50 4B 06 07, 20 bytes
//   end of directory   50 4B 05 06, 22 bytes: @20 comment length u16
// A stored file "control" of 5 bytes starts:
//   50 4B 03 04 0A 00 00 00 00 00 <time, date, CRC: 8 bytes> 05 00 00 00 05 00 00 00 07 00 00 00
//   63 6F 6E 74 72 6F 6C  <5 data bytes>
// Sizes of 0xFFFFFFFF are taken from the zip64 extra field (id 0x0001).
class CORE_EXPORT ZipReader
{
public:
    explicit ZipReader(std::string path);
    // Reads an archive already in memory; the bytes must outlive the reader.
    ZipReader(const void* bytes, size_t size);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Appends one entry per local header in file order; false when the file can't be read or
    // holds anything else than the records above (ErrorText() says what).
    bool ListEntries(std::list<ZipEntry>& entries);
    const std::string& ErrorText() const { return m_error; }

private:
    bool listFrom(int64_t size, std::list<ZipEntry>& entries);
    bool fail(const std::string& why, int64_t offset);
    bool readAt(int64_t offset, void* out, size_t length);
    bool readLocalHeader(int64_t& pos, std::list<ZipEntry>& entries);

    FILE* file = nullptr;
    std::string path;
    const unsigned char* m_bytes = nullptr;
    size_t m_byteCount = 0;
    int64_t m_size = 0;
    bool m_lastZip64 = false;
    std::string m_error;
};
