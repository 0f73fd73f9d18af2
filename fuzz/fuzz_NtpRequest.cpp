// NTP request handling without a socket: which datagrams are answered, the reply built over
// them, and the timestamp conversions. Bytes 0..7 of the input give the receive time, 8..15 the
// transmit time, the rest is the datagram.
#include <ntpserver.h>

#include <QtEndian>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 16)
        return 0;
    qint64 receive = 0;
    qint64 transmit = 0;
    std::memcpy(&receive, data, 8);
    std::memcpy(&transmit, data + 8, 8);
    const QByteArray datagram(reinterpret_cast<const char*>(data + 16), int(size - 16));

    if (ntpserver::isClientRequest(datagram)) {
        const QByteArray reply = ntpserver::buildReply(datagram, receive, transmit);
        if (reply.size() != ntpserver::kPacketSize || quint8(reply[0]) != 0x1C || quint8(reply[1]) != 2
            || reply.mid(24, 8) != datagram.mid(40, 8) || reply.mid(16, 8) != reply.mid(40, 8)
            || reply.mid(12, 4) != datagram.mid(12, 4))
            std::abort();
        if (reply.mid(32, 8) != ntpserver::millisecondsToTimestamp(receive))
            std::abort();
    } else if (datagram.size() != ntpserver::kPacketSize
               && !ntpserver::buildReply(datagram, receive, transmit).isEmpty()) {
        std::abort();
    }

    const QByteArray stamp = ntpserver::millisecondsToTimestamp(receive);
    if (stamp.size() != 8)
        std::abort();
    const qint64 back = ntpserver::byte64ToMillionSecond(stamp);
    // Within one NTP era both conversions truncate, so a round trip loses at most a millisecond.
    if (receive >= 0 && receive < Q_INT64_C(4294967296000) && back != receive && back != receive - 1)
        std::abort();
    (void)ntpserver::byte64ToMillionSecond(datagram.left(8));
    (void)ntpserver::byteToUInt32(datagram.left(4));
    return 0;
}
