// Parses arbitrary bytes as settings text in each key-collision mode (byte 0 picks it), then
// prints and re-parses the result: no crash, and a printed store reads back to the same sections.
#include <QMemorySetting.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const auto mode = QMemorySetting::KEY_COLLISION_MODE(data[0] % 4);
    QMemorySetting store(reinterpret_cast<const char*>(data + 1), int(size - 1), mode);
    const QString text = store.toString();
    QMemorySetting again(text, QMemorySetting::COLLISION_REPLACE);
    // Every printed header reads back; sections can only be added (a key holding a bracketed
    // word turns into a header), never lost.
    for (const QString& section : store.allSections()) {
        if (!again.existSection(section))
            abort();
    }
    return 0;
}
