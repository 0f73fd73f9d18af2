#include <DeviceReportDecoder.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CustomFreqHZ f;
    if (!DeviceReportDecoder::decodeCustomFreq(data, uint(size), &f))
        return 0;
    if (f.Freqs.size() != f.Count || size < 1u + 4u * f.Count)
        std::abort();
    return 0;
}
