#pragma once

#include "keloui_global.h"

#include "ExtendProtocol.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// What the extension panel shows of a reply, worked out apart from the widgets, in the
// interface's language. Every field is read big-endian from the payload; a payload shorter than
// its layout gives an empty text.
//   capacity 1536 MB              -> "1.500 GB"
//   self-check word 5             -> "射频异常;校准异常;"
//   composite block CC 03 ...     -> "星历数据标识0xCC(BDs) = 0xcc\n预装星历数目 = 3\n..."
class KELOUI_EXPORT ExtendReplyText
{
    Q_DECLARE_TR_FUNCTIONS(ExtendReplyText)

public:
    static constexpr int kCompositeSize = ExtendProtocol::kCompositeSize;
    static constexpr int kB3ISize = ExtendProtocol::kB3ISize;
    static constexpr int kB3ASize = ExtendProtocol::kB3ASize;

    // Megabytes as MB, GB or TB (never larger), three decimals.
    static QString capacity(quint32 megabytes);
    // Fault bits 0 to 3 as texts; 0 is "设备正常".
    static QString selfCheck(quint32 word);
    static QString leapFlag(quint8 flag);
    // First number at its own width, the other two filled to two digits.
    static QString triple(quint32 a, quint32 b, quint32 c, QChar separator);
    // A record name (seconds since 1970 UTC) as local time, "yyyyMMddhhmmss".
    static QString recordTime(quint32 name);

    // The labels of the timing and leap-second replies; times of day in f1 after a tenth.
    struct TimingText
    {
        QString leap, week, secondOfWeek;
        QString date, time, timeOfDay;
        QString date2, time2, timeOfDay2;
    };
    static TimingText timing(const ExtendProtocol::Timing& t);
    struct LeapSecondText
    {
        QString current, next, date, timeOfDay;
    };
    static LeapSecondText leapSecond(const ExtendProtocol::LeapSecond& l);

    // One "name = value\n" line per field, in block order.
    static QString composite(const QByteArray& block);
    static QString b3iRecord(const QByteArray& record);
    static QString b3aRecord(const QByteArray& record);
};
