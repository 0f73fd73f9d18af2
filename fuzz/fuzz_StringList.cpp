#include <DeviceReportDecoder.h>

#include <QDataStream>

#include <cstring>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringList list;
    if (!DeviceReportDecoder::decodeStringList(data, uint(size), &list))
        return 0;
    // What we accept must be exactly what a little-endian QDataStream writes.
    QByteArray again;
    QDataStream out(&again, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << list;
    if (again.size() > int(size) || std::memcmp(again.constData(), data, size_t(again.size())) != 0)
        std::abort();
    return 0;
}
