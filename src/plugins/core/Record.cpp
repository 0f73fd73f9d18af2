#include "Record.h"

#include <QtEndian>

#include <cstring>

namespace {
void putU32(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// Reads little-endian fields; once a read would pass the end every later read gives 0, as a
// data stream does after it ran dry.
class Reader
{
public:
    Reader(const char* data, int size)
        : m_data(reinterpret_cast<const uchar*>(data))
        , m_size(size < 0 ? 0 : size)
    {}
    int remaining() const { return m_failed ? 0 : m_size - m_pos; }
    quint32 u32()
    {
        if (remaining() < 4) {
            m_failed = true;
            return 0;
        }
        const uchar* p = m_data + m_pos;
        m_pos += 4;
        return qFromLittleEndian<quint32>(p);
    }
    quint8 u8()
    {
        if (remaining() < 1) {
            m_failed = true;
            return 0;
        }
        return m_data[m_pos++];
    }
    const char* take(int n)
    {
        const char* p = reinterpret_cast<const char*>(m_data + m_pos);
        m_pos += n;
        return p;
    }
    void fail() { m_failed = true; }

private:
    const uchar* m_data;
    int m_size;
    int m_pos = 0;
    bool m_failed = false;
};
} // namespace

QByteArray Record::Serialize()
{
    const QByteArray remark = Remark.toUtf8();
    RemarkLength = remark.size();
    QByteArray out;
    out.reserve(27 + 4 * Bands.size() + remark.size());
    putU32(out, Name);
    putU32(out, StartTime);
    putU32(out, Duration);
    putU32(out, Size);
    out.append(char(Available ? 1 : 0));
    out.append(char(Type));
    out.append(char(Bit));
    putU32(out, quint32(Bands.size()));
    for (int band : qAsConst(Bands))
        putU32(out, quint32(band));
    putU32(out, quint32(RemarkLength));
    if (RemarkLength != 0)
        out.append(remark);
    return out;
}

void Record::Deserialize(const char* data, int size)
{
    Reader in(data, size);
    Name = in.u32();
    StartTime = in.u32();
    Duration = in.u32();
    Size = in.u32();
    Available = in.u8() != 0;
    Type = qint8(in.u8());
    Bit = qint8(in.u8());

    Bands.clear();
    const quint32 count = in.u32();
    // The count comes from the peer: nothing is reserved or read for bands the bytes cannot hold.
    if (quint64(count) * 4 > quint64(in.remaining())) {
        in.fail();
    } else {
        Bands.reserve(int(count));
        for (quint32 i = 0; i < count; ++i)
            Bands.append(int(in.u32()));
    }

    RemarkLength = qint32(in.u32());
    if (RemarkLength == 0)
        return;
    const int available = in.remaining();
    const int n = RemarkLength < 0 ? 0 : qMin(RemarkLength, available);
    const char* bytes = in.take(n);
    const void* zero = std::memchr(bytes, 0, size_t(n));
    const int textLength = zero ? int(static_cast<const char*>(zero) - bytes) : n;
    Remark = QString::fromUtf8(bytes, textLength);
}
