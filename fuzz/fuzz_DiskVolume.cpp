#include <DeviceReportDecoder.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<DiskVolume> list = DeviceReportDecoder::decodeDiskVolumes(data, uint(size));
    if (size_t(list.size()) != size / 8)
        std::abort();
    return 0;
}
