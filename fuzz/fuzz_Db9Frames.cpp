// DB9 output frames: the datagram cutter and the field texts of every good frame.
#include "FuzzQuiet.h"

#include <Db9Frame.h>
#include <Db9FrameCutter.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietQtMessages();
    const QByteArray all(reinterpret_cast<const char*>(data), int(size));
    Db9FrameCutter cutter;
    int at = 0;
    while (at < all.size()) {
        const int chunk = 1 + quint8(all.at(at));
        const QByteArray datagram = all.mid(at + 1, chunk);
        at += 1 + chunk;
        QList<Db9FrameCutter::BadSum> bad;
        for (const QByteArray& f : cutter.append(datagram, &bad)) {
            if (f.size() != Db9Frame::kSize || Db9Frame::sumOf(f) != quint8(f.at(85)))
                std::abort();
            (void)Db9Frame::version(f);
            (void)Db9Frame::dateTime(f);
            (void)Db9Frame::degrees(f, 31);
            (void)Db9Frame::altitude(f);
            (void)Db9Frame::pdop(f);
            for (int n = 1; n <= 64; ++n)
                (void)Db9Frame::satelliteBit(f, n);
        }
    }
    return 0;
}
