// Extension-protocol replies: the datagram cutter, the reply decoders and texts, and the
// ephemeris exports.
// The first byte of each chunk picks the size of the next datagram, so splits are fuzzed too,
// and whether it comes after the stall time, so stalled frames are dropped too.
#include "FuzzQuiet.h"

#include <ExtendEphemerisExport.h>
#include <ExtendProtocol.h>
#include <ExtendReplyCutter.h>
#include <ExtendReplyText.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietQtMessages();
    const QByteArray all(reinterpret_cast<const char*>(data), int(size));
    ExtendReplyCutter cutter;
    qint64 payloadBytes = 0;
    int at = 0;
    qint64 now = 0;
    while (at < all.size()) {
        const quint8 pick = quint8(all.at(at));
        const int chunk = 1 + pick * 4;
        const QByteArray datagram = all.mid(at + 1, chunk);
        at += 1 + chunk;
        now += pick % 3 == 0 ? ExtendReplyCutter::kStallMs : 1;
        for (const auto& r : cutter.append(datagram, now)) {
            payloadBytes += r.payload.size();
            // Every decoder on every payload, whatever its code and length.
            const QByteArray& p = r.payload;
            (void)ExtendProtocol::playbackReply(p);
            (void)ExtendProtocol::recordReply(p);
            (void)ExtendProtocol::capacity(p);
            (void)ExtendProtocol::recordList(p);
            (void)ExtendReplyText::timing(ExtendProtocol::timing(p));
            (void)ExtendReplyText::leapSecond(ExtendProtocol::leapSecond(p));
            (void)ExtendProtocol::pulseSetting(p);
            (void)ExtendProtocol::ephemerisSet(r.code, p);
            if (r.code == 49)
                (void)ExtendReplyText::composite(r.payload);
            if ((r.code == 65 || r.code == 66) && r.payload.size() > 1) {
                const int record = r.code == 65 ? ExtendProtocol::kB3ISize : ExtendProtocol::kB3ASize;
                const QByteArray first = r.payload.mid(1, record);
                (void)(r.code == 65 ? ExtendReplyText::b3iRecord(first) : ExtendReplyText::b3aRecord(first));
            }
        }
        // Nothing comes out of thin air: payloads never add up to more than was fed in.
        if (payloadBytes > all.size() || cutter.pending() > all.size())
            std::abort();
    }
    (void)ExtendEphemerisExport::compositeText(all);
    (void)ExtendEphemerisExport::b3iText(all);
    (void)ExtendEphemerisExport::b3aText(all);
    return 0;
}
