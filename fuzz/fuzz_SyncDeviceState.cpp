#include <DeviceReportDecoder.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SyncDeviceState st;
    if (!DeviceReportDecoder::decodeSyncDeviceState(data, uint(size), &st))
        return 0;
    if (st.Collect.Channels.size() != st.Collect.ChannelNum)
        std::abort();
    // Bad UTF-8 turns into replacement characters, at most one per byte.
    if (st.Collect.Note.size() > int(size) || st.Collect.Note.contains(QChar(0)))
        std::abort();
    return 0;
}
