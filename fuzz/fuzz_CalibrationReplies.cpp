// The acquisition card's replies to the calibration window.
#include "FuzzQuiet.h"

#include <CalibrationReply.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietQtMessages();
    const QByteArray datagram(reinterpret_cast<const char*>(data), int(size));
    const CalibrationReply r = CalibrationReply::decode(datagram);
    if (r.kind != CalibrationReply::None && (size < 17 || data[10] != 5))
        std::abort();
    if (r.kind == CalibrationReply::Parameters && (r.rxClk > 15 || r.rxDelay > 15 || r.txClk > 15 || r.txDelay > 15))
        std::abort();
    if (r.kind == CalibrationReply::AdTable && size < 17 + 248)
        std::abort();
    return 0;
}
