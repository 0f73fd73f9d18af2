// Reads arbitrary bytes as the binary record description; whatever comes out must write and
// read back to the same record.
#include <Record.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Record r;
    r.Deserialize(reinterpret_cast<const char*>(data), int(size));
    if (quint64(r.Bands.size()) * 4 > size)
        abort();
    Record again;
    again.Deserialize(r.Serialize());
    if (again.Name != r.Name || again.Bands != r.Bands || again.Remark != r.Remark)
        abort();
    return 0;
}
