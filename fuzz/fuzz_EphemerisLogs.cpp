// libFuzzer target: log bodies framed with a valid CRC, so the field storing is reached.
#include <UM98X_960Handler.h>

#include "FuzzQuiet.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

namespace {
const char* const kNames[] = {"GPSEPHA", "BDSEPHA", "BD3EPHA", "GLOEPHA", "GALEPHA", "SATSINFOA"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietQtMessages();
    if (size < 2)
        return 0;
    using Ns::Skyvane::UM98X_960Handler;
    UM98X_960Handler parser;
    parser.setDumpFilesEnabled(false);
    parser.setcustomcmd(QStringLiteral("SATSINFOA"), 35,
                        [&parser](const QByteArray& b) { return parser.SATSINFOAHandler(b); });
    QByteArray body =
        QByteArray(kNames[data[0] % 6]) + ',' + QByteArray(reinterpret_cast<const char*>(data + 2), int(size - 2));
    QByteArray log = '#' + body;
    if (data[1] & 1) {
        const quint32 crc = UM98X_960Handler::crc_update(reinterpret_cast<unsigned char*>(body.data()), body.size());
        log += '*' + QByteArray::number(crc, 16) + "\r\n";
    }
    const int cut = log.size() > 1 ? 1 + int(data[1]) % (log.size() - 1) : 1;
    parser.ParseData(log.left(cut));
    parser.ParseData(log.mid(cut));
    return 0;
}
