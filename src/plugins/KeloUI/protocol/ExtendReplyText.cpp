#include "ExtendReplyText.h"

#include <SizeText.h>
#include <ValueText.h>

#include <QDateTime>

#include <cmath>

namespace {
enum class Type { U8, I8, U16, I16, U32, I32, F64 };
enum class Format { Dec, UDec, Hex, Fixed };

struct Field
{
    int offset;
    Type type;
    const char* label; // UTF-8 line with %1, translated as it is shown
    Format format;
    int decimals; // for Fixed
    double scale; // 0: shown as read
};

int widthOf(Type t)
{
    switch (t) {
    case Type::U8:
    case Type::I8:
        return 1;
    case Type::U16:
    case Type::I16:
        return 2;
    case Type::U32:
    case Type::I32:
        return 4;
    case Type::F64:
        return 8;
    }
    return 0;
}

QString fieldText(const QByteArray& data, const Field& f)
{
    const quint64 raw = ExtendProtocol::readBE(data, f.offset, widthOf(f.type));
    double value = 0;
    qint64 integer = 0;
    switch (f.type) {
    case Type::U8:
    case Type::U16:
    case Type::U32:
        integer = qint64(raw);
        value = double(raw);
        break;
    case Type::I8:
        integer = qint8(quint8(raw));
        value = double(integer);
        break;
    case Type::I16:
        integer = qint16(quint16(raw));
        value = double(integer);
        break;
    case Type::I32:
        integer = qint32(quint32(raw));
        value = double(integer);
        break;
    case Type::F64:
        value = ExtendProtocol::readDouble(data, f.offset);
        break;
    }
    if (f.scale != 0)
        value = value * f.scale;
    QString text;
    switch (f.format) {
    case Format::Dec:
        text = QString::number(integer);
        break;
    case Format::UDec:
        text = QString::number(quint64(integer));
        break;
    case Format::Hex:
        text = QString::number(quint64(integer), 16);
        break;
    case Format::Fixed:
        text = QString::number(value, 'f', f.decimals);
        break;
    }
    return ExtendReplyText::tr(f.label).arg(text);
}

template<size_t N> QString blockText(const QByteArray& data, int size, const Field (&fields)[N])
{
    if (data.size() < size)
        return QString();
    QString text;
    for (const Field& f : fields)
        text += fieldText(data, f);
    return text;
}

const double k2m30 = std::ldexp(1.0, -30);
const double k2m27 = std::ldexp(1.0, -27);
const double k2m24 = std::ldexp(1.0, -24);
const double k2m3 = std::ldexp(1.0, -3);
const double k2m50 = std::ldexp(1.0, -50);

const Field kComposite[] = {
    {0, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "星历数据标识0xCC(BDs) = 0x%1\n"), Format::Hex, 0, 0},
    {1, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "预装星历数目 = %1\n"), Format::Dec, 0, 0},
    {2, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC时间年 = %1\n"), Format::Dec, 0, 0},
    {6, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC时间月 = %1\n"), Format::Dec, 0, 0},
    {10, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC时间日 = %1\n"), Format::Dec, 0, 0},
    {14, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC时间时 = %1\n"), Format::Dec, 0, 0},
    {18, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC时间分 = %1\n"), Format::Dec, 0, 0},
    {22, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC时间秒 = %1\n"), Format::Fixed, 10, 0},
    {30, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "时间有效（1为有效，0为无效） = %1\n"), Format::Dec, 0, 0},
    {34, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "纬度 = %1 rad\n"), Format::Fixed, 10, 0},
    {42, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "经度 = %1 rad\n"), Format::Fixed, 10, 0},
    {50, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "高度 = %1\n"), Format::Fixed, 10, 0},
    {58, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "BD卫星数量 = %1\n"), Format::Dec, 0, 0},
    {59, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "位置有效（1为有效，0为无效） = %1\n"), Format::Dec, 0, 0},
    {63, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a0 = %1\n"), Format::Fixed, 4, k2m30},
    {64, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a1 = %1\n"), Format::Fixed, 4, k2m27},
    {65, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a2 = %1\n"), Format::Fixed, 4, k2m24},
    {66, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a3 = %1\n"), Format::Fixed, 4, k2m24},
    {67, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数b0 = %1\n"), Format::Fixed, 4, 2048.0},
    {68, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数b1 = %1\n"), Format::Fixed, 4, 16384.0},
    {69, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数b2 = %1\n"), Format::Fixed, 4, 65536.0},
    {70, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数b3 = %1\n"), Format::Fixed, 4, 65536.0},
    {71, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "BD2电离层有效（1为有效，0为无效） = %1\n"), Format::Dec, 0,
     0},
    {75, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a1 = %1\n"), Format::Fixed, 8, k2m3},
    {77, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a2 = %1\n"), Format::Fixed, 8, k2m3},
    {78, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a3 = %1\n"), Format::Fixed, 8, k2m3},
    {79, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a4 = %1\n"), Format::Fixed, 8, k2m3},
    {80, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a5 = %1\n"), Format::Fixed, 8, -k2m3},
    {81, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a6 = %1\n"), Format::Fixed, 8, k2m3},
    {82, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a7 = %1\n"), Format::Fixed, 8, k2m3},
    {83, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a8 = %1\n"), Format::Fixed, 8, k2m3},
    {84, Type::I8, QT_TRANSLATE_NOOP("ExtendReplyText", "电离层参数a9 = %1\n"), Format::Fixed, 8, k2m3},
    {85, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "预留字节 = %1\n"), Format::Dec, 0, 0},
    {89, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "BD3电离层有效（1为有效，0为无效） = %1\n"), Format::Dec, 0,
     0},
    {93, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数A0 = %1\n"), Format::Fixed, 16, k2m30},
    {97, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数A1 = %1\n"), Format::Fixed, 24, k2m50},
    {101, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数t_ot = %1\n"), Format::Fixed, 4, 4096.0},
    {103, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数WN = %1\n"), Format::Dec, 0, 0},
    {105, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数WN_lsf = %1\n"), Format::Dec, 0, 0},
    {107, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数DN = %1\n"), Format::Dec, 0, 0},
    {109, Type::I16, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数delta_tls = %1\n"), Format::Dec, 0, 0},
    {111, Type::I16, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数delta_tlsf = %1\n"), Format::Dec, 0, 0},
    {113, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "UTC参数有效（1为有效，0为无效） = %1\n"), Format::Dec, 0, 0},
};

const Field kB3I[] = {
    {0, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "星历数据标识0xC4(BDs) = 0x%1\n"), Format::Hex, 0, 0},
    {1, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "预装星历序号(本次发送的是第几个星历) = %1\n"), Format::Dec, 0,
     0},
    {2, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "卫星号 = %1\n"), Format::Dec, 0, 0},
    {4, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "周数 = %1\n"), Format::Dec, 0, 0},
    {6, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "本颗卫星信噪比，单位dB = %1\n"), Format::Dec, 0, 0},
    {8, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "GPS星历第2子帧iode，BD星历无意义 = %1\n"), Format::Dec, 0, 0},
    {9, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "GPS星历第3子帧iode，BD星历无意义 = %1\n"), Format::Dec, 0, 0},
    {10, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "平均近点角 = %1\n"), Format::Fixed, 10, 0},
    {18, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "对平均运动的校正值 = %1\n"), Format::Fixed, 10, 0},
    {26, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "保留，暂无定义 = %1\n"), Format::Fixed, 10, 0},
    {34, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "e偏心率 = %1\n"), Format::Fixed, 10, 0},
    {42, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "长半轴的平方根 = %1\n"), Format::Fixed, 10, 0},
    {50, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "升交点经度 = %1\n"), Format::Fixed, 10, 0},
    {58, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角 = %1\n"), Format::Fixed, 10, 0},
    {66, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "近地点幅角 = %1\n"), Format::Fixed, 10, 0},
    {74, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "升交点经度的变化率 = %1\n"), Format::Fixed, 10, 0},
    {82, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角的变化率 = %1\n"), Format::Fixed, 10, 0},
    {90, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "纬度幅角的余弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {98, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "纬度幅角的正弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {106, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道半径的余弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {114, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道半径的正弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {122, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角的余弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {130, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角的正弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {138, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "Tgd, GPS组延迟参数, BD无意义 = %1\n"), Format::Fixed, 10, 0},
    {146, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "钟差 = %1\n"), Format::Fixed, 10, 0},
    {154, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "钟速 = %1\n"), Format::Fixed, 10, 0},
    {162, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "钟漂 = %1\n"), Format::Fixed, 10, 0},
    {170, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "时钟数据龄期 = %1\n"), Format::UDec, 0, 0},
    {174, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "卫星健康信息 = %1\n"), Format::Dec, 0, 0},
    {178, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "星钟参考时间 = %1\n"), Format::UDec, 0, 0},
    {182, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "星历参考时间 = %1\n"), Format::UDec, 0, 0},
    {186, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "BD星历数据有效龄期，GPS无意义 = %1\n"), Format::UDec, 0, 0},
    {190, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "BD组延迟参数，GPS无意义 = %1\n"), Format::Fixed, 10, 0},
    {198, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "BD组延迟参数，GPS无意义 = %1\n"), Format::Fixed, 10, 0},
    {206, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "0为无效；1为有效 = %1\n"), Format::Dec, 0, 0},
};

const Field kB3A[] = {
    {0, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "星历数据标识0xC4(BDs) = 0x%1\n"), Format::Hex, 0, 0},
    {1, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "预装星历序号(本次发送的是第几个星历) = %1\n"), Format::Dec, 0,
     0},
    {2, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "卫星号 = %1\n"), Format::Dec, 0, 0},
    {4, Type::U8, QT_TRANSLATE_NOOP("ExtendReplyText", "1-GEO 2-MEO 4-IGSO = %1\n"), Format::Dec, 0, 0},
    {5, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "参考时刻长半轴相对于参考值的偏差 = %1\n"), Format::Fixed, 10,
     0},
    {13, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "长半轴变化率 = %1\n"), Format::Fixed, 10, 0},
    {21, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "周数 = %1\n"), Format::Dec, 0, 0},
    {23, Type::U16, QT_TRANSLATE_NOOP("ExtendReplyText", "本颗卫星信噪比，单位dB = %1\n"), Format::Dec, 0, 0},
    {25, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "平均近点角 = %1\n"), Format::Fixed, 10, 0},
    {33, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "参考时刻卫星平均角速度与计算值之差 = %1\n"), Format::Fixed,
     10, 0},
    {41, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "参考时刻卫星平均角速度与计算值之差的变化率 = %1\n"),
     Format::Fixed, 10, 0},
    {49, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "保留，暂无定义 = %1\n"), Format::Fixed, 10, 0},
    {57, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "e偏心率 = %1\n"), Format::Fixed, 10, 0},
    {65, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "升交点经度 = %1\n"), Format::Fixed, 10, 0},
    {73, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角 = %1\n"), Format::Fixed, 10, 0},
    {81, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "近地点幅角 = %1\n"), Format::Fixed, 10, 0},
    {89, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "升交点经度的变化率 = %1\n"), Format::Fixed, 10, 0},
    {97, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角的变化率 = %1\n"), Format::Fixed, 10, 0},
    {105, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "纬度幅角的余弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {113, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "纬度幅角的正弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {121, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道半径的余弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {129, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道半径的正弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {137, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角的余弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {145, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "轨道倾角的正弦调和改正项的振幅 = %1\n"), Format::Fixed, 10,
     0},
    {153, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "钟差 = %1\n"), Format::Fixed, 10, 0},
    {161, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "钟速 = %1\n"), Format::Fixed, 10, 0},
    {169, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "钟漂 = %1\n"), Format::Fixed, 10, 0},
    {177, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "时钟数据龄期 = %1\n"), Format::UDec, 0, 0},
    {181, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "卫星健康信息 = %1\n"), Format::Dec, 0, 0},
    {185, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "星钟参考时间 = %1\n"), Format::UDec, 0, 0},
    {189, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "星历参考时间 = %1\n"), Format::UDec, 0, 0},
    {193, Type::U32, QT_TRANSLATE_NOOP("ExtendReplyText", "BD星历数据有效龄期 = %1\n"), Format::UDec, 0, 0},
    {197, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "B1Xp-B3Xp频间修正项 = %1\n"), Format::Fixed, 10, 0},
    {205, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "预留项 = %1\n"), Format::Fixed, 10, 0},
    {213, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "B3XX-B3Xp频内修正项 = %1\n"), Format::Fixed, 10, 0},
    {221, Type::F64, QT_TRANSLATE_NOOP("ExtendReplyText", "B3XXp-B3Xp频内修正项 = %1\n"), Format::Fixed, 10, 0},
    {229, Type::I32, QT_TRANSLATE_NOOP("ExtendReplyText", "星历有效(0为无效；1为有效) = %1\n"), Format::Dec, 0, 0},
};
} // namespace

QString ExtendReplyText::capacity(quint32 megabytes)
{
    return SizeText::amount(megabytes, SizeText::Unit::MB);
}

QString ExtendReplyText::selfCheck(quint32 word)
{
    if (word == 0)
        return tr("设备正常");
    QString text;
    if (word & 0x1)
        text += tr("射频异常;");
    if (word & 0x2)
        text += tr("硬盘异常;");
    if (word & 0x4)
        text += tr("校准异常;");
    if (word & 0x8)
        text += tr("锁相环异常;");
    return text;
}

QString ExtendReplyText::leapFlag(quint8 flag)
{
    switch (flag) {
    case 0x00:
        return tr("未发生闰秒");
    case 0xF0:
        return tr("正闰秒");
    case 0x0F:
        return tr("负闰秒");
    default:
        return ValueText::none();
    }
}

QString ExtendReplyText::triple(quint32 a, quint32 b, quint32 c, QChar separator)
{
    return QString::number(a) + separator + QStringLiteral("%1").arg(b, 2, 10, QLatin1Char('0')) + separator
         + QStringLiteral("%1").arg(c, 2, 10, QLatin1Char('0'));
}

QString ExtendReplyText::recordTime(quint32 name)
{
    return QDateTime::fromSecsSinceEpoch(qint64(name)).toString(QStringLiteral("yyyyMMddhhmmss"));
}

ExtendReplyText::TimingText ExtendReplyText::timing(const ExtendProtocol::Timing& t)
{
    auto date = [](const ExtendProtocol::UtcMoment& m) { return triple(m.year, m.month, m.day, QLatin1Char('-')); };
    auto time = [](const ExtendProtocol::UtcMoment& m) { return triple(m.hour, m.minute, m.second, QLatin1Char(':')); };
    auto timeOfDay = [](const ExtendProtocol::UtcMoment& m) { return QString::number(m.timeOfDay * 0.1, 'f', 1); };
    TimingText text;
    text.leap = leapFlag(t.leapFlag);
    text.week = QString::number(t.week);
    text.secondOfWeek = QString::number(t.secondOfWeek);
    text.date = date(t.first);
    text.time = time(t.first);
    text.timeOfDay = timeOfDay(t.first);
    text.date2 = date(t.second);
    text.time2 = time(t.second);
    text.timeOfDay2 = timeOfDay(t.second);
    return text;
}

ExtendReplyText::LeapSecondText ExtendReplyText::leapSecond(const ExtendProtocol::LeapSecond& l)
{
    LeapSecondText text;
    text.current = QString::number(l.current);
    text.next = QString::number(l.next);
    text.date = triple(l.year, l.month, l.day, QLatin1Char('-'));
    text.timeOfDay = QString::number(l.timeOfDay);
    return text;
}

QString ExtendReplyText::composite(const QByteArray& block)
{
    return blockText(block, kCompositeSize, kComposite);
}

QString ExtendReplyText::b3iRecord(const QByteArray& record)
{
    return blockText(record, kB3ISize, kB3I);
}

QString ExtendReplyText::b3aRecord(const QByteArray& record)
{
    return blockText(record, kB3ASize, kB3A);
}
