#include <DeviceReportDecoder.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DeviceInfo info;
    if (!DeviceReportDecoder::decodeDeviceInfo(data, uint(size), &info))
        return 0;
    if (size < 41u + 20u * data[9] || info.Boards.size() != info.BoardNum)
        std::abort();
    // Only the tail is trimmed: after the last kept byte everything is zero, and that byte is
    // neither a space nor a zero.
    int last = 17;
    while (last >= 0 && info.DeviceId[last] == 0)
        --last;
    if (info.DeviceId[18] != 0 || (last >= 0 && info.DeviceId[last] == ' '))
        std::abort();
    return 0;
}
