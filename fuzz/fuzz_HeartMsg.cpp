#include <DeviceReportDecoder.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const HeartMsg m = DeviceReportDecoder::decodeHeartMsg(data, uint(size));
    uint8_t expect[4] = {};
    std::memcpy(expect, data, size < 4 ? size : 4);
    if (std::memcmp(&m, expect, 4) != 0)
        std::abort();
    return 0;
}
