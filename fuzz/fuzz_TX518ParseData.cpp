// libFuzzer target: arbitrary bytes through the TX518 parser, cut into blocks by the input;
// EGSVA bodies get a valid checksum half of the time so the satellite lists are reached.
#include <TX518Handler.h>

#include "FuzzQuiet.h"

#include <QMetaObject>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietQtMessages();
    if (size < 1)
        return 0;
    Ns::Skyvane::TX518Handler parser;
    qint64 t = 0;
    parser.setClock([&t] { return t; });
    QByteArray input(reinterpret_cast<const char*>(data + 1), int(size - 1));
    if (data[0] & 0x80) {
        QByteArray body = "EGSVA," + input;
        unsigned char x = 0;
        for (char c : body)
            x ^= static_cast<unsigned char>(c);
        input = '$' + body + '*' + QByteArray::number(x, 16) + "\r\n";
    }
    const int block = 1 + data[0] % 64;
    for (int at = 0; at < input.size(); at += block) {
        parser.ParseData(input.mid(at, block));
        t += 700;
        QMetaObject::invokeMethod(&parser, "timeoutEvent", Qt::DirectConnection);
    }
    parser.GSVHandler(input);
    return 0;
}
