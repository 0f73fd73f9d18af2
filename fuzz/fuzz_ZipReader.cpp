// The firmware package reader over arbitrary bytes held in memory: every entry it lists must lie
// inside the archive.
#include <ZipReader.h>

#include <cstdint>
#include <cstdlib>
#include <list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ZipReader reader(data, size);
    std::list<ZipEntry> entries;
    const bool ok = reader.ListEntries(entries);
    if (!ok && reader.ErrorText().empty())
        std::abort();
    for (const ZipEntry& e : entries) {
        if (e.compressedSize > size || e.name.size() > size)
            std::abort();
        if (e.isDirectory && (e.compressedSize != 0 || e.name.empty() || e.name.back() != '/'))
            std::abort();
    }
    return 0;
}
