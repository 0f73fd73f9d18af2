// Spectrum datagrams into curves. Bytes 0..1 stretch the datagram to at least the 8192 bytes a
// curve is made of (by repeating the rest), bytes 2..9 and 10..17 give the band centre and the
// level offset, as doubles (offsets are read from the instrument's configuration text, so they
// may be anything a number can be).
#include <FrequencyDataTransportManager.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 19)
        return 0;
    const int extra = int(data[0] | data[1] << 8) % 8192;
    double centre = 0.0;
    double offset = 0.0;
    std::memcpy(&centre, data + 2, 8);
    std::memcpy(&offset, data + 10, 8);
    const char* body = reinterpret_cast<const char*>(data + 18);
    const int bodySize = int(size - 18);
    const int total = qMax(bodySize, FrequencyDataTransportManager::kMinDatagram + extra);
    QByteArray datagram(total, Qt::Uninitialized);
    for (int i = 0; i < total; ++i)
        datagram[i] = body[i % bodySize];

    double peakFreq = 0.0;
    double peakLevel = 0.0;
    const QVector<QPointF> curve =
        FrequencyDataTransportManager::curveOf(datagram, centre, offset, &peakFreq, &peakLevel);
    const int half = (total - 4) / 2;
    if (curve.size() != 2 * (((half - 1) / 4) + 1))
        std::abort();
    (void)FrequencyDataTransportManager::touchedValue(peakLevel);
    return 0;
}
