// The download block requests of a transfer channel, fed in chunks (byte 0 picks the chunk
// size): every request is cut whole and in order, whatever the split.
#include <BlockRequestCutter.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t step = size_t(data[0] % 64) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    BlockRequestCutter cutter;
    size_t taken = 0;
    for (size_t at = 0; at < length; at += step) {
        const size_t n = step < length - at ? step : length - at;
        cutter.append(QByteArray(bytes + at, int(n)));
        quint32 block = 0;
        while (cutter.next(block)) {
            const uint8_t* p = data + 1 + taken * BlockRequestCutter::kRequestSize + 16;
            if (block != (quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24))
                std::abort();
            ++taken;
        }
        if (cutter.pending() < 0 || cutter.pending() >= BlockRequestCutter::kRequestSize)
            std::abort();
    }
    if (taken != length / BlockRequestCutter::kRequestSize)
        std::abort();
    return 0;
}
