#include "Db9Frame.h"

quint8 Db9Frame::sumOf(const QByteArray& frame)
{
    quint8 sum = 0;
    for (int i = 2; i < 85 && i < frame.size(); ++i)
        sum = quint8(sum + quint8(frame.at(i)));
    return sum;
}

quint64 Db9Frame::le(const QByteArray& frame, int at, int bytes)
{
    if (at < 0 || bytes <= 0 || bytes > 8 || frame.size() - at < bytes)
        return 0;
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(frame.at(at + i));
    return v;
}

bool Db9Frame::satelliteBit(const QByteArray& frame, int satellite)
{
    if (satellite < 1 || satellite > 64 || frame.size() < 28)
        return false;
    // Each little-endian word at 20 + 2j carries satellites 16j + 1 (bit 15) to 16j + 16 (bit 0).
    const int j = (satellite - 1) / 16;
    const int k = (satellite - 1) % 16;
    const quint16 word = quint16(le(frame, 20 + 2 * j, 2));
    return (word >> (15 - k)) & 1;
}

QString Db9Frame::version(const QByteArray& frame)
{
    return QStringLiteral("%1.%2.%3")
        .arg(quint8(frame.at(7)) & 0x0F)
        .arg(quint8(frame.at(6)) & 0x0F)
        .arg(quint8(frame.at(4)));
}

QString Db9Frame::dateTime(const QByteArray& frame)
{
    quint64 day = 0;
    for (int i = 46; i < 50; ++i)
        day = (day << 8) | quint8(frame.at(i));
    const quint64 t = day * 40;
    const quint64 s = t / 1000000;
    return QStringLiteral("%1-%2-%3 %4:%5:%6.%7")
        .arg(quint8(frame.at(43)) + 2000)
        .arg(quint8(frame.at(44)))
        .arg(quint8(frame.at(45)))
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg((s % 3600) / 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'))
        // Six digits: 5000 µs is ".005000", never ".5000", which reads as half a second.
        .arg(t % 1000000, 6, 10, QLatin1Char('0'));
}

QString Db9Frame::band(quint8 code)
{
    switch (code) {
    case 1:
        return QStringLiteral("L1");
    case 2:
        return QStringLiteral("B1I");
    case 3:
        return QStringLiteral("B1C");
    case 4:
        return QStringLiteral("B3A/B3I");
    default:
        return QString();
    }
}

QString Db9Frame::degrees(const QByteArray& frame, int at)
{
    return QString::number(qint32(quint32(le(frame, at, 4))) * 1e-7, 'f', 7);
}

QString Db9Frame::altitude(const QByteArray& frame)
{
    return QString::number(qint32(quint32(le(frame, 39, 4))) * 1e-4, 'f', 4);
}

QString Db9Frame::pdop(const QByteArray& frame)
{
    return QString::number(quint16(le(frame, 83, 2)) * 0.01);
}
