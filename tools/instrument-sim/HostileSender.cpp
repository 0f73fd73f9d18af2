#include "HostileSender.h"

#include "SimFrame.h"

namespace {
constexpr int kHeader = 16;
constexpr int kCrc = 4;
constexpr int kMaxRemembered = 64;
// The PC empties its buffer for a stated length above 16 MiB; these lie well beyond it.
constexpr quint32 kHuge = 0x40000000u;
const QByteArray kMagic("\xCC\xAA\xBB\xFF", 4);
} // namespace

HostileSender::HostileSender(quint32 seed)
    : m_random(seed)
{}

void HostileSender::remember(const QByteArray& frame)
{
    if (frame.size() < kHeader + kCrc || frame.size() > kMaxStated)
        return;
    if (m_replies.size() >= kMaxRemembered)
        m_replies.removeAt(int(m_random.bounded(m_replies.size())));
    m_replies << frame;
}

QByteArray HostileSender::randomBytes(int count)
{
    QByteArray out(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        out[i] = char(m_random.bounded(256));
    return out;
}

void HostileSender::scrubMagic(QByteArray& bytes, int from)
{
    for (int at = bytes.indexOf(kMagic, from); at >= 0; at = bytes.indexOf(kMagic, at + 1))
        bytes[at + 3] = char(0xFE);
}

void HostileSender::setStatedLength(QByteArray& frame, quint32 length)
{
    for (int i = 0; i < 4; ++i)
        frame[12 + i] = char((length >> (8 * i)) & 0xFF);
}

void HostileSender::setCrc(QByteArray& frame)
{
    const quint32 crc = SimFrame::crc(frame.left(frame.size() - kCrc));
    for (int i = 0; i < 4; ++i)
        frame[frame.size() - kCrc + i] = char((crc >> (8 * i)) & 0xFF);
}

QByteArray HostileSender::randomFrame()
{
    SimFrame f;
    f.type = quint8(m_random.bounded(8)); // every type, and two no parser knows
    f.cmd = quint8(m_random.bounded(100) < 80 ? m_random.bounded(20) : m_random.bounded(256));
    f.sequence = quint16(m_random.bounded(65536));
    f.source = quint8(m_random.bounded(256));
    const int size = m_random.bounded(100) < 70 ? int(m_random.bounded(64)) : int(m_random.bounded(2048));
    f.payload = randomBytes(size);
    return f.encode();
}

QByteArray HostileSender::baseFrame()
{
    if (!m_replies.isEmpty() && m_random.bounded(100) < 60)
        return m_replies.at(int(m_random.bounded(m_replies.size())));
    return randomFrame();
}

QByteArray HostileSender::item(bool last)
{
    QByteArray frame = baseFrame();
    const int payload = frame.size() - kHeader - kCrc;
    switch (m_random.bounded(10)) {
    case 0: // a frame as it was, or a random one, whole and with a good CRC
        break;
    case 1: { // flipped payload bytes, CRC made to match
        for (int k = int(m_random.bounded(1, 9)); k > 0 && payload > 0; --k)
            frame[kHeader + int(m_random.bounded(payload))] = char(m_random.bounded(256));
        setCrc(frame);
        break;
    }
    case 2: { // a lying count: a field of the payload set to a large value
        if (payload > 0) {
            const int at = kHeader + int(m_random.bounded(payload));
            const int width = qMin(int(1u << m_random.bounded(3)), kHeader + payload - at);
            for (int i = 0; i < width; ++i)
                frame[at + i] = char(m_random.bounded(2) ? 0xFF : 0x7F);
        }
        setCrc(frame);
        break;
    }
    case 3: { // payload cut short, length and CRC telling the truth about what is left
        const int keep = payload > 0 ? int(m_random.bounded(payload)) : 0;
        frame.remove(kHeader + keep, payload - keep);
        setStatedLength(frame, quint32(keep));
        setCrc(frame);
        break;
    }
    case 4: // a bad CRC
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
        break;
    case 5: // states more than it carries: the PC takes what follows as its rest
        setStatedLength(frame, quint32(qMin(payload + int(m_random.bounded(1, 4096)), kMaxStated - kHeader - kCrc)));
        break;
    case 6: // states less than it carries: the rest is garbage where a frame should start
        setStatedLength(frame, quint32(payload > 0 ? m_random.bounded(payload) : 0));
        break;
    case 7: // a length no receiver accepts
        setStatedLength(frame, kHuge + m_random.bounded(0x10000000u));
        break;
    case 8: // a frame cut short; inside its header only as the burst's last item, since the
        // header's rest would otherwise come from the next item and could state anything
        if (last)
            frame.truncate(int(m_random.bounded(4, frame.size())));
        else if (frame.size() > kHeader + 1)
            frame.truncate(int(m_random.bounded(kHeader, frame.size())));
        break;
    default: // garbage between frames
        frame = randomBytes(int(m_random.bounded(1, 300)));
        scrubMagic(frame, 0);
        return frame;
    }
    scrubMagic(frame, 1);
    return frame;
}

QByteArray HostileSender::burst(int items)
{
    QByteArray out;
    for (int i = 0; i < items; ++i)
        out += item(i + 1 == items);
    m_items += items;
    // Completes or drops whatever the PC holds: 0xFF never starts a frame, and as the rest of a
    // header it states a length beyond any the PC accepts.
    out += QByteArray(kMaxStated + kHeader + kCrc, char(0xFF));
    return out;
}
