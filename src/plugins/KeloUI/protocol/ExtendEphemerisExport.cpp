#include "ExtendEphemerisExport.h"

#include "ExtendProtocol.h"

#include <cmath>

namespace {
enum class T { U8, I8, U16, I16, U32, I32, F64, Rule };
enum class F { Dec, UDec, HexUpper, Fixed, Exp15, G6, Int, Rule };

struct Line
{
    int offset;
    T type;
    const char* text; // UTF-8, with %1
    F format;
    int decimals;
    double scale;
};

int widthOf(T t)
{
    switch (t) {
    case T::U8:
    case T::I8:
        return 1;
    case T::U16:
    case T::I16:
        return 2;
    case T::U32:
    case T::I32:
        return 4;
    case T::F64:
        return 8;
    case T::Rule:
        return 0;
    }
    return 0;
}

QString lineText(const QByteArray& d, int base, const Line& l)
{
    const QString text = QString::fromUtf8(l.text);
    if (l.format == F::Rule)
        return text.arg(QString(32, QLatin1Char(l.offset == 0 ? '*' : '=')));
    const int at = base + l.offset;
    const quint64 raw = ExtendProtocol::readBE(d, at, widthOf(l.type));
    qint64 integer = 0;
    double value = 0;
    switch (l.type) {
    case T::U8:
    case T::U16:
    case T::U32:
        integer = qint64(raw);
        value = double(raw);
        break;
    case T::I8:
        integer = qint8(quint8(raw));
        value = double(integer);
        break;
    case T::I16:
        integer = qint16(quint16(raw));
        value = double(integer);
        break;
    case T::I32:
        integer = qint32(quint32(raw));
        value = double(integer);
        break;
    case T::F64:
        value = ExtendProtocol::readDouble(d, at);
        break;
    case T::Rule:
        break;
    }
    if (l.scale != 0)
        value *= l.scale;
    QString v;
    switch (l.format) {
    case F::Dec:
        v = QString::number(integer);
        break;
    case F::UDec:
        v = QString::number(quint64(integer));
        break;
    case F::HexUpper:
        v = QString::number(quint64(integer), 16).toUpper();
        break;
    case F::Fixed:
        v = QString::number(value, 'f', l.decimals);
        break;
    case F::Exp15:
        v = QString::number(value, 'e', 15);
        break;
    case F::G6:
        v = QString::number(value);
        break;
    case F::Int:
        // Truncated toward zero; a value outside the 32-bit range (or not a number) has no
        // integer part to show and is written as 0.
        v = QString::number(std::isfinite(value) && value > -2147483649.0 && value < 2147483648.0 ? qint32(value) : 0);
        break;
    case F::Rule:
        break;
    }
    return text.arg(v);
}

template<size_t N> QString linesText(const QByteArray& d, int base, const Line (&lines)[N])
{
    QString out;
    for (const Line& l : lines)
        out += lineText(d, base, l);
    return out;
}

const double k2m30 = std::ldexp(1.0, -30);
const double k2m27 = std::ldexp(1.0, -27);
const double k2m24 = std::ldexp(1.0, -24);
const double k2m3 = std::ldexp(1.0, -3);
const double k2m50 = std::ldexp(1.0, -50);

// Rule lines: offset 0 gives 32 "*", offset 1 gives 32 "=".
const Line kComposite[] = {
    {0, T::Rule, "//%1星历综合数%1\r\n", F::Rule, 0, 0},   {0, T::U8, "0x%1\t\t$星历数据标志\r\n", F::HexUpper, 0, 0},
    {1, T::U8, "%1\t$预装星历数目\r\n", F::Dec, 0, 0},     {2, T::I32, "%1\t$UTC年\r\n", F::Dec, 0, 0},
    {6, T::I32, "%1\t$UTC月\r\n", F::Dec, 0, 0},           {10, T::I32, "%1\t$UTC日\r\n", F::Dec, 0, 0},
    {14, T::I32, "%1\t$UTC时\r\n", F::Dec, 0, 0},          {18, T::I32, "%1\t$UTC分\r\n", F::Dec, 0, 0},
    {22, T::F64, "%1\t$UTC秒\r\n", F::Int, 0, 0},          {30, T::I32, "%1\t$时间有效性\r\n", F::Dec, 0, 0},
    {34, T::F64, "%1\t$纬度 rad\r\n", F::Fixed, 15, 0},    {42, T::F64, "%1\t$经度 rad\r\n", F::Fixed, 15, 0},
    {50, T::F64, "%1\t$高度 m\r\n", F::Fixed, 5, 0},       {58, T::I8, "%1\t$BD卫星数\r\n", F::Dec, 0, 0},
    {59, T::I32, "%1\t$位置有效性\r\n", F::Dec, 0, 0},     {1, T::Rule, "%1BDS B3I电离层参数%1\r\n", F::Rule, 0, 0},
    {63, T::I8, "%1\t$a0\r\n", F::Fixed, 4, k2m30},        {64, T::I8, "%1\t$a1\r\n", F::Fixed, 4, k2m27},
    {65, T::I8, "%1\t$a2\r\n", F::Fixed, 4, k2m24},        {66, T::I8, "%1\t$a3\r\n", F::Fixed, 4, k2m24},
    {67, T::I8, "%1\t$b0\r\n", F::Fixed, 4, 2048.0},       {68, T::I8, "%1\t$b1\r\n", F::Fixed, 4, 16384.0},
    {69, T::I8, "%1\t$b2\r\n", F::Fixed, 4, 65536.0},      {70, T::I8, "%1\t$b3\r\n", F::Fixed, 4, 65536.0},
    {71, T::I32, "%1\t$电离层有效\r\n", F::Dec, 0, 0},     {1, T::Rule, "%1BDS B3A电离层参数%1\r\n", F::Rule, 0, 0},
    {75, T::U16, "%1\t$a1\r\n", F::Fixed, 8, k2m3},        {77, T::I8, "%1\t$a2\r\n", F::Fixed, 8, k2m3},
    {78, T::U8, "%1\t$a3\r\n", F::Fixed, 8, k2m3},         {79, T::U8, "%1\t$a4\r\n", F::Fixed, 8, k2m3},
    {80, T::U8, "%1\t$a5\r\n", F::Fixed, 8, -k2m3},        {81, T::I8, "%1\t$a6\r\n", F::Fixed, 8, k2m3},
    {82, T::I8, "%1\t$a7\r\n", F::Fixed, 8, k2m3},         {83, T::I8, "%1\t$a8\r\n", F::Fixed, 8, k2m3},
    {84, T::I8, "%1\t$a9\r\n", F::Fixed, 8, k2m3},         {85, T::I32, "%1\t$保留字节\r\n", F::Dec, 0, 0},
    {89, T::I32, "%1\t$电离层有效\r\n", F::Dec, 0, 0},     {1, T::Rule, "%1BD UTC电离层参数%1\r\n", F::Rule, 0, 0},
    {93, T::I32, "%1\t$UTC A0\r\n", F::Fixed, 16, k2m30},  {97, T::I32, "%1\t$UTC A1\r\n", F::Fixed, 24, k2m50},
    {101, T::U16, "%1\t$UTC t\r\n", F::Fixed, 16, 4096.0}, {103, T::U16, "%1\t$UTC WN\r\n", F::Dec, 0, 0},
    {105, T::U16, "%1\t$UTC WNlsf\r\n", F::Dec, 0, 0},     {107, T::U16, "%1\t$DN\r\n", F::Dec, 0, 0},
    {109, T::I16, "%1\t$delta_tls\r\n", F::Dec, 0, 0},     {111, T::I16, "%1\t$delta_tlsf\r\n", F::Dec, 0, 0},
    {113, T::I32, "%1\t$电离层有效\r\n", F::Dec, 0, 0},
};

const Line kB3I[] = {
    {1, T::Rule, "//%1单颗卫星星历\r\n", F::Rule, 0, 0},  {0, T::U8, "0x%1\t\t$星历数据标志\r\n", F::HexUpper, 0, 0},
    {1, T::U8, "%1\t\t$星历序号\r\n", F::Dec, 0, 0},      {2, T::U16, "%1\t\t$svid\r\n", F::Dec, 0, 0},
    {4, T::U16, "%1\t\t$week\r\n", F::Dec, 0, 0},         {6, T::U16, "%1\t\t$CNO\r\n", F::Dec, 0, 0},
    {8, T::U8, "%1\t\t$iode2\r\n", F::Dec, 0, 0},         {9, T::U8, "%1\t\t$iode3\r\n", F::Dec, 0, 0},
    {10, T::F64, "%1\t\t$m0\r\n", F::Exp15, 0, 0},        {18, T::F64, "%1\t\t$delta_n\r\n", F::Exp15, 0, 0},
    {26, T::F64, "%1\t\t$ek\r\n", F::Exp15, 0, 0},        {34, T::F64, "%1\t\t$ecc\r\n", F::Exp15, 0, 0},
    {42, T::F64, "%1\t\t$sqrt_a\r\n", F::Exp15, 0, 0},    {50, T::F64, "%1\t\t$omega_0\r\n", F::Exp15, 0, 0},
    {58, T::F64, "%1\t\t$i0\r\n", F::Exp15, 0, 0},        {66, T::F64, "%1\t\t$omega\r\n", F::Exp15, 0, 0},
    {74, T::F64, "%1\t\t$omega_dot\r\n", F::Exp15, 0, 0}, {82, T::F64, "%1\t\t$i_dot\r\n", F::Exp15, 0, 0},
    {90, T::F64, "%1\t\t$cuc\r\n", F::Exp15, 0, 0},       {98, T::F64, "%1\t\t$cus\r\n", F::Exp15, 0, 0},
    {106, T::F64, "%1\t\t$crc\r\n", F::Exp15, 0, 0},      {114, T::F64, "%1\t\t$crs\r\n", F::Exp15, 0, 0},
    {122, T::F64, "%1\t\t$cic\r\n", F::Exp15, 0, 0},      {130, T::F64, "%1\t\t$cis\r\n", F::Exp15, 0, 0},
    {138, T::F64, "%1\t\t$保留\r\n", F::G6, 0, 0},        {146, T::F64, "%1\t\t$af0\r\n", F::Exp15, 0, 0},
    {154, T::F64, "%1\t\t$af1\r\n", F::Exp15, 0, 0},      {162, T::F64, "%1\t\t$af2\r\n", F::Exp15, 0, 0},
    {170, T::U32, "%1\t\t$aodc\r\n", F::UDec, 0, 0},      {174, T::I32, "%1\t\t$health\r\n", F::Dec, 0, 0},
    {178, T::U32, "%1\t\t$toc\r\n", F::UDec, 0, 0},       {182, T::U32, "%1\t\t$toe\r\n", F::UDec, 0, 0},
    {186, T::U32, "%1\t\t$iode\r\n", F::UDec, 0, 0},      {190, T::F64, "%1\t\t$tgd1\r\n", F::Exp15, 0, 0},
    {198, T::F64, "%1\t\t$tgd2\r\n", F::Exp15, 0, 0},     {206, T::I32, "%1\t\t$星历有效\r\n", F::Dec, 0, 0},
};

const Line kB3A[] = {
    {1, T::Rule, "//%1单颗卫星星历\r\n", F::Rule, 0, 0}, {0, T::U8, "0x%1\t\t$星历数据标志\r\n", F::HexUpper, 0, 0},
    {1, T::U8, "%1\t\t$星历序号\r\n", F::Dec, 0, 0},     {2, T::U16, "%1\t$svid\r\n", F::Dec, 0, 0},
    {4, T::U8, "%1\t$SatType\r\n", F::Dec, 0, 0},        {5, T::F64, "%1\t$delta_a\r\n", F::Exp15, 0, 0},
    {13, T::F64, "%1\t$a_dot\r\n", F::Exp15, 0, 0},      {21, T::U16, "%1\t$week\r\n", F::Dec, 0, 0},
    {23, T::U16, "%1\t$CNO\r\n", F::Dec, 0, 0},          {25, T::F64, "%1\t$m0\r\n", F::Exp15, 0, 0},
    {33, T::F64, "%1\t$delta_n\r\n", F::Exp15, 0, 0},    {41, T::F64, "%1\t$delta_n_dot\r\n", F::Exp15, 0, 0},
    {49, T::F64, "%1\t$ek\r\n", F::Exp15, 0, 0},         {57, T::F64, "%1\t$ecc\r\n", F::Exp15, 0, 0},
    {65, T::F64, "%1\t$omega_0\r\n", F::Exp15, 0, 0},    {73, T::F64, "%1\t$i0\r\n", F::Exp15, 0, 0},
    {81, T::F64, "%1\t$omega\r\n", F::Exp15, 0, 0},      {89, T::F64, "%1\t$omega_dot\r\n", F::Exp15, 0, 0},
    {97, T::F64, "%1\t$i_dot\r\n", F::Exp15, 0, 0},      {105, T::F64, "%1\t$cuc\r\n", F::Exp15, 0, 0},
    {113, T::F64, "%1\t$cus\r\n", F::Exp15, 0, 0},       {121, T::F64, "%1\t$crc\r\n", F::Exp15, 0, 0},
    {129, T::F64, "%1\t$crs\r\n", F::Exp15, 0, 0},       {137, T::F64, "%1\t$cic\r\n", F::Exp15, 0, 0},
    {145, T::F64, "%1\t$cis\r\n", F::Exp15, 0, 0},       {153, T::F64, "%1\t$af0\r\n", F::Exp15, 0, 0},
    {161, T::F64, "%1\t$af1\r\n", F::Exp15, 0, 0},       {169, T::F64, "%1\t$af2\r\n", F::Exp15, 0, 0},
    {177, T::U32, "%1\t$aodc\r\n", F::UDec, 0, 0},       {181, T::I32, "%1\t$health\r\n", F::Dec, 0, 0},
    {185, T::U32, "%1\t$toc\r\n", F::UDec, 0, 0},        {189, T::U32, "%1\t$toe\r\n", F::UDec, 0, 0},
    {193, T::U32, "%1\t$iode\r\n", F::UDec, 0, 0},       {197, T::F64, "%1\t$TGDB1Xp\r\n", F::Exp15, 0, 0},
    {205, T::F64, "%1\t$TGDBsp\r\n", F::Exp15, 0, 0},    {213, T::F64, "%1\t$ISCB3XX\r\n", F::Exp15, 0, 0},
    {221, T::F64, "%1\t$ISCB3XXp\r\n", F::Exp15, 0, 0},  {229, T::I32, "%1\t$eph_valid\r\n", F::Dec, 0, 0},
};

qint64 recordOffset(int i, int recordSize)
{
    const int block = 1 + 6 * recordSize;
    return 1 + qint64(block) * (i / 6) + qint64(recordSize) * (i % 6);
}

template<size_t N> QString setText(const QByteArray& file, int recordSize, const Line (&lines)[N])
{
    QString out;
    const int records = ExtendEphemerisExport::recordsIn(file, recordSize);
    for (int i = 0; i < records; ++i)
        out += linesText(file, int(recordOffset(i, recordSize)), lines);
    return out;
}
} // namespace

int ExtendEphemerisExport::recordsIn(const QByteArray& file, int recordSize)
{
    if (file.isEmpty())
        return 0;
    const int c = qint8(quint8(file.at(0)));
    int whole = 0;
    // The count says how many records the set has; only those the file holds whole are read.
    while (whole < c && recordOffset(whole, recordSize) + recordSize <= file.size())
        ++whole;
    return whole;
}

QString ExtendEphemerisExport::compositeText(const QByteArray& file)
{
    if (file.size() < kCompositeSize)
        return QString();
    return linesText(file, 0, kComposite);
}

QString ExtendEphemerisExport::b3iText(const QByteArray& file)
{
    return setText(file, 210, kB3I);
}

QString ExtendEphemerisExport::b3aText(const QByteArray& file)
{
    return setText(file, 233, kB3A);
}
