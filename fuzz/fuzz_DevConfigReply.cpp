#include <DevConfigCodec.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DevConfigCodec::Reply reply;
    if (!DevConfigCodec::decodeReply(data, uint(size), &reply))
        return 0;
    // Every accepted text took at least its 4-byte length from the payload.
    if (size_t(reply.values.size()) * 4 > size)
        std::abort();
    if (!reply.isGet() && size < 5)
        std::abort();
    return 0;
}
