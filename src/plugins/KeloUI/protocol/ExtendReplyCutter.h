#pragma once

#include "keloui_global.h"

#include "ExtendProtocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPair>

// Cuts the extension protocol's replies out of the received datagrams. The length of a reply
// is fixed by its code (see lengthOf); the checksum is not verified. A reply may be split
// over datagrams and several may share one. Bytes before a sync pair 10 02 are dropped, a
// code without a length rule drops the five bytes from its sync pair, and data without any
// sync pair is dropped whole (a sync pair split across two datagrams is lost with it).
//   10 02 00 01 13 02            state report, payload 01
//   10 02 14 00 00 00 01 | 5F 80 00 00 | cs cs   record list, count 1, one name
// The record lists (20) and the ephemeris sets (65, 66) announce their own size. The instrument
// sends each reply as one datagram, so a record list announcing more than the largest UDP
// payload (kMaxFrame, 16 374 names) cannot be real: its sync pair is dropped and the search goes
// on behind it. A frame start whose rest has not come within kStallMs is dropped the same way
// when the next datagram arrives, so one garbled count (10 02 14 00 01 00 00 ...) delays the
// replies behind it by at most that long instead of for ever. Sooner still, a datagram that
// cannot be the rest of the waiting frame (it would not end it at its own end or at a sync
// pair) but holds a whole reply of its own ends the waiting frame: the frame is dropped and
// that reply read at once, so a false but plausible count (10 02 14 00 00 03 E8 ...) swallows
// nothing behind it.
class KELOUI_EXPORT ExtendReplyCutter
{
public:
    struct Reply
    {
        quint8 code = 0;
        QByteArray payload;
    };

    static constexpr qint64 kMaxFrame = 65507;
    static constexpr qint64 kStallMs = 1000;
    static constexpr int kB3IRecord = ExtendProtocol::kB3ISize;
    static constexpr int kB3ARecord = ExtendProtocol::kB3ASize;

    // Length of the frame starting at `frame` (n buffered bytes, n > 4, from the sync pair):
    // > 0 the frame length, 0 wait for more, -1 no length rule (skip five bytes),
    // -2 impossible announced length (skip the sync pair).
    static qint64 lengthOf(const char* frame, qint64 n);

    ExtendReplyCutter();

    // Appends one datagram and returns the replies completed by it, in order.
    QList<Reply> append(const QByteArray& datagram);
    // The same at a given time in milliseconds (a monotonic clock), for tests and fuzzing.
    QList<Reply> append(const QByteArray& datagram, qint64 nowMs);

    // Bytes held back waiting for the rest of a reply.
    int pending() const { return m_buffer.size() - m_offset; }
    void clear();

private:
    // Where a whole reply starts in a datagram that cannot continue the waiting frame, or -1.
    int freshFrameIn(const QByteArray& datagram) const;

    QByteArray m_buffer;
    int m_offset = 0;
    QElapsedTimer m_clock;
    bool m_waiting = false; // the buffer starts with an incomplete frame
    qint64 m_waitSince = 0; // since when that frame has been waiting
};
