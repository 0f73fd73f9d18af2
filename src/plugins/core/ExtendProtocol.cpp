#include "ExtendProtocol.h"

#include <QtEndian>

#include <cstring>

quint16 ExtendProtocol::checkSum16(const char* data, int length)
{
    if (!data || length <= 0)
        return 0;
    const auto* bytes = reinterpret_cast<const quint8*>(data);
    quint32 sum = 0;
    int i = 0;
    for (; i + 1 < length; i += 2) {
        sum += quint32(bytes[i]) | (quint32(bytes[i + 1]) << 8);
        // Fold as we go so that a long buffer cannot overflow the 32-bit sum; the folded
        // result is the same as folding once at the end.
        if (sum > 0xFFFF0000u)
            sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (i < length)
        sum += bytes[i];
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(sum);
}

QByteArray ExtendProtocol::makeFrame(quint8 code, const QByteArray& payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + 5);
    frame.append(char(0x10));
    frame.append(char(0x02));
    frame.append(char(code));
    frame.append(payload);
    const quint16 sum = checkSum16(frame.constData(), frame.size());
    frame.append(char(sum & 0xFF));
    frame.append(char(sum >> 8));
    return frame;
}

void ExtendProtocol::appendBE(QByteArray& out, quint64 value, int bytes)
{
    if (bytes <= 0 || bytes > 8)
        return;
    uchar be[8];
    qToBigEndian(value, be);
    out.append(reinterpret_cast<const char*>(be) + 8 - bytes, bytes);
}

QByteArray ExtendProtocol::playbackPayload(quint8 kind, quint8 action, quint32 name)
{
    QByteArray p;
    p.append(char(kind));
    p.append(char(action));
    appendBE(p, name, 4);
    return p;
}

QByteArray ExtendProtocol::recordPayload(quint8 action, quint32 name)
{
    QByteArray p;
    p.append(char(action));
    appendBE(p, name, 4);
    return p;
}

QByteArray ExtendProtocol::namePayload(quint32 name)
{
    QByteArray p;
    appendBE(p, name, 4);
    return p;
}

QByteArray ExtendProtocol::setIpPayload(quint32 ip, quint32 mask, quint32 gateway)
{
    QByteArray p;
    appendBE(p, ip, 4);
    appendBE(p, mask, 4);
    appendBE(p, gateway, 4);
    return p;
}

QByteArray ExtendProtocol::getPulsePayload(quint8 wait, quint8 count)
{
    QByteArray p;
    p.append(char(wait));
    p.append(char(count));
    return p;
}

QByteArray ExtendProtocol::setPulsePayload(quint64 width, quint16 count)
{
    QByteArray p;
    appendBE(p, width, 8);
    appendBE(p, count, 2);
    return p;
}

quint64 ExtendProtocol::readBE(const QByteArray& data, int at, int bytes)
{
    if (at < 0 || bytes <= 0 || bytes > 8 || data.size() - at < bytes)
        return 0;
    // Right-aligned in eight big-endian bytes, any width from 1 to 8 reads as one quint64.
    uchar be[8] = {};
    std::memcpy(be + 8 - bytes, data.constData() + at, size_t(bytes));
    return qFromBigEndian<quint64>(be);
}

double ExtendProtocol::readDouble(const QByteArray& data, int at)
{
    if (at < 0 || data.size() - at < 8)
        return 0;
    return qFromBigEndian<double>(data.constData() + at);
}

int ExtendProtocol::replySize(quint8 code)
{
    switch (code) {
    case COST_GetStatus:
    case COST_CmdError:
        return 1;
    case COST_Playback:
        return 6;
    case COST_Record:
        return 5;
    case COST_GetVolume:
        return 8;
    case COST_GetRecords:
    case COST_DeleteRecord:
    case COST_DeviceCheck:
        return 4;
    case COST_GetPulse:
        return 27;
    case COST_GetLeapSecond:
        return 11;
    case COST_SetPulse:
        return 10;
    case COST_GetEphComposite:
        return kCompositeSize;
    case COST_GetEphCivil:
    case COST_GetEphMilitary:
        return 1;
    default:
        return 0;
    }
}

namespace {
quint8 u8(const QByteArray& d, int at)
{
    return quint8(ExtendProtocol::readBE(d, at, 1));
}

quint16 u16(const QByteArray& d, int at)
{
    return quint16(ExtendProtocol::readBE(d, at, 2));
}

quint32 u32(const QByteArray& d, int at)
{
    return quint32(ExtendProtocol::readBE(d, at, 4));
}

ExtendProtocol::UtcMoment utcMoment(const QByteArray& d, int at)
{
    ExtendProtocol::UtcMoment m;
    m.year = u8(d, at);
    m.month = u8(d, at + 1);
    m.day = u8(d, at + 2);
    m.hour = u8(d, at + 3);
    m.minute = u8(d, at + 4);
    m.second = u8(d, at + 5);
    m.timeOfDay = u32(d, at + 6);
    return m;
}
} // namespace

qint8 ExtendProtocol::deviceMode(const QByteArray& payload)
{
    return qint8(u8(payload, 0));
}

ExtendProtocol::RunReply ExtendProtocol::playbackReply(const QByteArray& payload)
{
    RunReply r;
    r.kind = u8(payload, 0);
    r.result = u8(payload, 1);
    r.name = u32(payload, 2);
    return r;
}

ExtendProtocol::RecordReply ExtendProtocol::recordReply(const QByteArray& payload)
{
    RecordReply r;
    r.result = u8(payload, 0);
    r.name = u32(payload, 1);
    return r;
}

ExtendProtocol::Capacity ExtendProtocol::capacity(const QByteArray& payload)
{
    Capacity c;
    c.freeMegabytes = u32(payload, 0);
    c.totalMegabytes = u32(payload, 4);
    return c;
}

ExtendProtocol::RecordList ExtendProtocol::recordList(const QByteArray& payload)
{
    RecordList list;
    list.count = qint32(u32(payload, 0));
    if (list.count < 1)
        return list;
    // Never more names than the reply carries.
    const int names = int(qMin<qint64>(list.count, qMax(0, payload.size() - 4) / 4));
    list.names.reserve(names);
    for (int k = 0; k < names; ++k)
        list.names << u32(payload, 4 + 4 * k);
    return list;
}

quint32 ExtendProtocol::deletedName(const QByteArray& payload)
{
    return u32(payload, 0);
}

quint32 ExtendProtocol::faultWord(const QByteArray& payload)
{
    return u32(payload, 0);
}

ExtendProtocol::Timing ExtendProtocol::timing(const QByteArray& payload)
{
    Timing t;
    t.leapFlag = u8(payload, 0);
    t.week = u16(payload, 1);
    t.secondOfWeek = u32(payload, 3);
    t.first = utcMoment(payload, 7);
    t.second = utcMoment(payload, 17);
    return t;
}

ExtendProtocol::LeapSecond ExtendProtocol::leapSecond(const QByteArray& payload)
{
    LeapSecond l;
    l.current = qint16(u16(payload, 0));
    l.next = qint16(u16(payload, 2));
    l.year = u8(payload, 4);
    l.month = u8(payload, 5);
    l.day = u8(payload, 6);
    l.timeOfDay = u32(payload, 7);
    return l;
}

ExtendProtocol::PulseSetting ExtendProtocol::pulseSetting(const QByteArray& payload)
{
    PulseSetting p;
    p.width = readBE(payload, 0, 8);
    p.count = u16(payload, 8);
    return p;
}

ExtendProtocol::EphemerisSet ExtendProtocol::ephemerisSet(quint8 code, const QByteArray& payload)
{
    EphemerisSet set;
    set.count = u8(payload, 0);
    const int recordSize = code == COST_GetEphCivil ? kB3ISize : kB3ASize;
    const int records = qMax(0, payload.size() - 1) / recordSize;
    for (int k = 0; k < records; ++k) {
        EphemerisRecord r;
        r.bytes = payload.mid(1 + k * recordSize, recordSize);
        r.satellite = qint8(u8(r.bytes, 3));
        set.records << r;
    }
    return set;
}
