// libFuzzer target: arbitrary bytes, cut into blocks by the input itself, through ParseData.
#include <UM98X_960Handler.h>

#include "FuzzQuiet.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietQtMessages();
    Ns::Skyvane::UM98X_960Handler parser;
    parser.setDumpFilesEnabled(false);
    qint64 t = 0;
    parser.setClock([&t] { return t; });
    parser.setcustomcmd(QStringLiteral("SATSINFOA"), 35,
                        [&parser](const QByteArray& b) { return parser.SATSINFOAHandler(b); });
    // The first byte chooses the block length, so split sentences are explored too.
    const size_t block = size > 0 ? 1 + data[0] % 64 : 1;
    for (size_t at = size > 0 ? 1 : 0; at < size; at += block) {
        const size_t n = qMin(block, size - at);
        parser.ParseData(QByteArray(reinterpret_cast<const char*>(data + at), int(n)));
        t += 150;
        if (data[at] & 1)
            parser.timeoutEvent();
    }
    return 0;
}
