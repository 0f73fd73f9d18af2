#include "CalibrationReply.h"

#include <ProtocolManager.h>

namespace {
constexpr int kHeaderSize = 16;
constexpr int kReplyData = 17;
constexpr int kParamReplyBytes = 10;
constexpr int kTableReplyBytes = 4 + 4 * CalibrationReply::kSteps;
constexpr quint8 kConfigType = 5;
constexpr quint8 kQueryParameters = 10;
constexpr quint8 kQuery9009 = 16;

quint32 u32At(const QByteArray& d, int at)
{
    quint32 v = 0;
    for (int b = 0; b < 4; ++b)
        if (at + b >= 0 && at + b < d.size())
            v |= quint32(quint8(d.at(at + b))) << (8 * b);
    return v;
}
} // namespace

bool CalibrationReply::isRequestFrame(const QByteArray& datagram)
{
    if (datagram.size() < kHeaderSize + 4 || qint64(u32At(datagram, 12)) + kHeaderSize + 4 != datagram.size())
        return false;
    const int covered = datagram.size() - 4;
    return ProtocolManager::crc32Mpeg2(reinterpret_cast<const uchar*>(datagram.constData()), uint(covered))
        == u32At(datagram, covered);
}

CalibrationReply CalibrationReply::decode(const QByteArray& datagram)
{
    CalibrationReply r;
    if (datagram.size() < kHeaderSize || quint8(datagram.at(10)) != kConfigType || isRequestFrame(datagram))
        return r;
    const quint8 cmd = quint8(datagram.at(11));
    const quint32 length = u32At(datagram, 12);
    const qint64 available = qint64(datagram.size()) - kReplyData;
    if (cmd == kQueryParameters) {
        // The reply data must lie whole in the datagram; a short one is dropped without effect.
        if (available < 0 || qint64(length) > available)
            return r;
        QByteArray data = datagram.mid(kReplyData, int(qMin<quint32>(length, kParamReplyBytes)));
        data.append(QByteArray(kParamReplyBytes - data.size(), '\0'));
        r.kind = Parameters;
        r.attenuation = qint32(u32At(data, 0));
        r.rxClk = quint8(data.at(4)) >> 4;
        r.rxDelay = quint8(data.at(4)) & 0x0F;
        r.txClk = quint8(data.at(5)) >> 4;
        r.txDelay = quint8(data.at(5)) & 0x0F;
        r.phase = quint8(data.at(6));
        r.gain = quint8(data.at(7));
        r.qOff = quint8(data.at(8));
        r.iOff = quint8(data.at(9));
        return r;
    }
    if (cmd == kQuery9009) {
        if (available < kTableReplyBytes)
            return r;
        r.kind = AdTable;
        r.baseOffset = u32At(datagram, kReplyData);
        for (int k = 0; k < kSteps; ++k)
            r.table[size_t(k)] = qint32(u32At(datagram, kReplyData + 4 + 4 * k));
    }
    return r;
}
