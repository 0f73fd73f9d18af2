#include "DevConfigCodec.h"

#include "DeviceReportDecoder.h"

#include <QDataStream>
#include <QtEndian>

#include <limits>

namespace {
QDataStream& littleEndian(QDataStream& s)
{
    s.setByteOrder(QDataStream::LittleEndian);
    return s;
}

// The first element decides whether the list counts at all, as the instrument sends "0" or
// nothing for "not restricted".
bool listsSomething(const QStringList& parts)
{
    return !parts.isEmpty() && parts.first().trimmed().toInt() > 0;
}
QString bandKey(int n, const char* field)
{
    return QStringLiteral("Freq%1/%2").arg(n).arg(QLatin1String(field));
}
} // namespace

QString DevConfigCodec::group()
{
    return QStringLiteral("devConfig");
}

QString DevConfigCodec::freqNumKey()
{
    return QStringLiteral("Config/FreqNum");
}

QString DevConfigCodec::bitNumKey()
{
    return QStringLiteral("Config/BitNum");
}

QStringList DevConfigCodec::bandKeys(int n, bool custom)
{
    QStringList keys{bandKey(n, "FreqName"), bandKey(n, "Freq"), bandKey(n, "Channel"), bandKey(n, "Bit")};
    if (custom)
        keys << bandKey(n, "Custom");
    return keys;
}

QStringList DevConfigCodec::bitKeys(int n)
{
    const QString bit = QStringLiteral("Bit%1/").arg(n);
    return {bit + QStringLiteral("Bit"), bit + QStringLiteral("BitName"), bit + QStringLiteral("Single")};
}

QStringList DevConfigCodec::offsetKeys(int n)
{
    return {bandKey(n, "GainOffset"), bandKey(n, "PlaybackOffset")};
}

QStringList DevConfigCodec::customBandKeys(int n)
{
    return {bandKey(n, "FreqName"), bandKey(n, "Freq"), bandKey(n, "Custom")};
}

QStringList DevConfigCodec::customBandValues(const QString& name, uint hertz)
{
    return {name, QString::number(hertz), QStringLiteral("true")};
}

QByteArray DevConfigCodec::getRequest(const QString& group, const QStringList& keys)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    littleEndian(s) << qint8(0) << group << keys;
    return out;
}

QByteArray DevConfigCodec::setRequest(const QString& group, const QStringList& keys, const QStringList& values)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    littleEndian(s) << qint8(1) << group << keys << values;
    return out;
}

bool DevConfigCodec::decodeReply(const uchar* data, uint length, Reply* reply, LogText* error)
{
    if (!data || length < 1) {
        if (error)
            *error = LogText(QT_TRANSLATE_NOOP("FileLogger", "设备配置应答为空，已丢弃"));
        return false;
    }
    reply->op = static_cast<qint8>(data[0]);
    if (reply->isGet()) {
        QStringList values;
        if (length > 5 && !DeviceReportDecoder::decodeStringList(data + 1, length - 1, &values, error))
            return false;
        reply->values = values;
        return true;
    }
    if (length < 5) {
        if (error)
            *error = LogText(QT_TRANSLATE_NOOP("FileLogger", "设备配置设置应答长度错误[长度:%1]，已丢弃")).arg(length);
        return false;
    }
    reply->result = qFromLittleEndian<qint32>(data + 1);
    return true;
}

int DevConfigCodec::keyCount(const QByteArray& getRequest)
{
    QDataStream s(getRequest);
    littleEndian(s);
    qint8 op = -1;
    QString group;
    quint32 count = 0;
    s >> op >> group >> count;
    if (s.status() != QDataStream::Ok || op != 0 || count > quint32(std::numeric_limits<int>::max()))
        return -1;
    return int(count);
}

QStringList DevConfigCodec::valuesIn(const QByteArray& reply)
{
    Reply r;
    if (!decodeReply(reinterpret_cast<const uchar*>(reply.constData()), uint(reply.size()), &r) || !r.isGet())
        return {};
    return r.values;
}

bool DevConfigCodec::storedIn(const QByteArray& reply)
{
    Reply r;
    return decodeReply(reinterpret_cast<const uchar*>(reply.constData()), uint(reply.size()), &r) && !r.isGet()
        && r.result != 0;
}

bool DevConfigCodec::readBool(const QString& text)
{
    return text.trimmed().toLower() == QLatin1String("true");
}

int DevConfigCodec::readInt(const QString& text)
{
    return text.trimmed().toInt();
}

uint DevConfigCodec::readUInt(const QString& text)
{
    return text.trimmed().toUInt();
}

QStringList DevConfigCodec::readList(const QString& text)
{
    return text.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

quint8 DevConfigCodec::bandMask(const QString& channels, const QString& widths)
{
    uint mask = 0xFF;
    const QStringList ch = channels.split(QLatin1Char(','));
    if (listsSomething(ch)) {
        mask &= 0x0F;
        for (const QString& part : ch) {
            const uint n = part.trimmed().toUInt();
            if (n >= 1 && n <= 4)
                mask |= 1u << (n + 3);
        }
    }
    const QStringList w = widths.split(QLatin1Char(','));
    if (listsSomething(w)) {
        mask &= 0xF0;
        for (const QString& part : w) {
            const uint width = part.trimmed().toUInt();
            if (width != 1)
                mask |= (width / 2) & 0xFF;
        }
    }
    return quint8(mask);
}
