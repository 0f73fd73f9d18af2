#include "DeviceReportDecoder.h"

#include "SystemState.h"

#include <QtEndian>

#include <cstring>

namespace {

quint32 u32At(const uchar* data, uint offset)
{
    return qFromLittleEndian<quint32>(data + offset);
}

qint32 i32At(const uchar* data, uint offset)
{
    return qFromLittleEndian<qint32>(data + offset);
}

qint16 i16At(const uchar* data, uint offset)
{
    return qFromLittleEndian<qint16>(data + offset);
}

bool refuse(LogText* error, const LogText& why)
{
    if (error)
        *error = why;
    return false;
}

DeviceBoardInfo boardAt(const uchar* p)
{
    DeviceBoardInfo b;
    b.SoftMajor = static_cast<qint8>(p[0]);
    b.SoftMinor = static_cast<qint8>(p[1]);
    b.SoftBuild = i16At(p, 2);
    b.SoftRevision = i32At(p, 4);
    b.HardwareVersion = i32At(p, 8);
    b.FpgaMajor = static_cast<qint8>(p[12]);
    b.FpgaMinor = static_cast<qint8>(p[13]);
    b.FpgaBuild = i16At(p, 14);
    b.FpgaRevision = i32At(p, 16);
    return b;
}

} // namespace

HeartMsg DeviceReportDecoder::decodeHeartMsg(const uchar* data, uint length)
{
    uchar bytes[sizeof(HeartMsg)] = {};
    if (data)
        std::memcpy(bytes, data, qMin<uint>(length, sizeof(bytes)));
    HeartMsg msg;
    msg.Accepted = bytes[0];
    msg.SourceId = bytes[1];
    msg.Charging = bytes[2];
    msg.Power = bytes[3];
    return msg;
}

HeartMsg DeviceReportDecoder::extendedHeartMsg(quint8 sourceId, const QVariant& charging, const QVariant& power)
{
    HeartMsg msg;
    msg.Accepted = 1;
    msg.SourceId = sourceId;
    msg.Charging = charging.isValid() && charging.toBool() ? 1 : 0;
    msg.Power = power.isValid() ? static_cast<quint8>(power.toUInt() & 0xFF) : 0;
    return msg;
}

bool DeviceReportDecoder::decodeDeviceInfo(const uchar* data, uint length, DeviceInfo* out, LogText* error)
{
    if (!data || length < 10)
        return refuse(error, LogText(QT_TRANSLATE_NOOP("FileLogger", "设备信息长度错误[长度:%1]，已丢弃")).arg(length));
    const uint boards = data[9];
    const uint needed = kDeviceInfoFixedSize + 20 * boards;
    if (length < needed)
        return refuse(error,
                      LogText(QT_TRANSLATE_NOOP("FileLogger", "设备信息长度错误[板卡数:%1][长度:%2][需要:%3]，已丢弃"))
                          .arg(boards)
                          .arg(length)
                          .arg(needed));

    DeviceInfo info;
    info.ChannelNum = data[0];
    info.SoftMajor = static_cast<qint8>(data[1]);
    info.SoftMinor = static_cast<qint8>(data[2]);
    info.SoftBuild = i16At(data, 3);
    info.SoftRevision = i32At(data, 5);
    info.BoardNum = static_cast<quint8>(boards);
    info.Boards.reserve(int(boards));
    for (uint i = 0; i < boards; ++i)
        info.Boards.append(boardAt(data + 10 + 20 * i));
    const uint tail = 10 + 20 * boards;
    info.TotalCapacity = u32At(data, tail);
    info.SurplusCapacity = u32At(data, tail + 4);
    info.Reserved = u32At(data, tail + 8);
    std::memcpy(info.DeviceId, data + tail + 12, 18);
    info.DeviceId[18] = 0;
    for (int i = 17; i >= 0 && (info.DeviceId[i] == 0 || info.DeviceId[i] == ' '); --i)
        info.DeviceId[i] = 0;
    info.AutoSetTime = data[tail + 30] != 0;
    *out = info;
    return true;
}

QList<DiskVolume> DeviceReportDecoder::decodeDiskVolumes(const uchar* data, uint length)
{
    QList<DiskVolume> list;
    if (!data)
        return list;
    const uint count = length / sizeof(DiskVolume);
    list.reserve(int(count));
    for (uint i = 0; i < count; ++i) {
        DiskVolume v;
        v.Total = u32At(data, 8 * i);
        v.Free = u32At(data, 8 * i + 4);
        list.append(v);
    }
    return list;
}

bool DeviceReportDecoder::decodeSyncDeviceState(const uchar* data, uint length, SyncDeviceState* out, LogText* error)
{
    if (!data || length < kStateHeaderSize)
        return refuse(error, LogText(QT_TRANSLATE_NOOP("FileLogger", "设备状态长度错误[长度:%1]，已丢弃")).arg(length));
    SyncDeviceState st;
    st.State = data[0];
    st.Value = u32At(data, 1);
    const auto tooShort = [&](uint needed) {
        return refuse(error,
                      LogText(QT_TRANSLATE_NOOP("FileLogger", "设备状态长度错误[状态:%1][长度:%2][需要:%3]，已丢弃"))
                          .arg(st.State)
                          .arg(length)
                          .arg(needed));
    };

    switch (static_cast<SystemState>(st.State)) {
    case SystemState::Collecting:
    case SystemState::Forwarding: {
        if (length < 21)
            return tooShort(21);
        RecordParam& p = st.Collect;
        p.RecordName = u32At(data, 5);
        p.SerialPortRecord = data[9];
        p.BitWidth = static_cast<qint8>(data[10]);
        p.ExternalTrigger = data[11];
        p.TimedStop = u32At(data, 12);
        p.TimedStart = u32At(data, 16);
        p.ChannelNum = data[20];
        const uint channels = p.ChannelNum;
        if (channels > (length - 21) / 4)
            return tooShort(21 + 4 * channels);
        p.Channels.reserve(int(channels));
        for (uint i = 0; i < channels; ++i) {
            const uchar* c = data + 21 + 4 * i;
            RecordChannel ch;
            ch.BandId = c[0];
            ch.Reserved = c[1];
            ch.Forward = c[2];
            ch.Record = c[3];
            p.Channels.append(ch);
        }
        const uint noteAt = 21 + 4 * channels;
        const char* note = reinterpret_cast<const char*>(data + noteAt);
        const void* zero = std::memchr(note, 0, length - noteAt);
        const int noteLength = zero ? int(static_cast<const char*>(zero) - note) : int(length - noteAt);
        p.Note = QString::fromUtf8(note, noteLength);
        break;
    }
    case SystemState::Playback:
        if (length < 22)
            return tooShort(22);
        st.Playback.RecordName = u32At(data, 5);
        st.Playback.LoopCount = u32At(data, 9);
        st.Playback.StartPosition = u32At(data, 13);
        st.Playback.Duration = u32At(data, 17);
        st.Playback.TriggerMode = data[21];
        break;
    case SystemState::Regenerating:
        if (length < 21)
            return tooShort(21);
        for (uint i = 0; i < 4; ++i)
            st.Regenerate[i] = u32At(data, 5 + 4 * i);
        break;
    default:
        break;
    }
    *out = st;
    return true;
}

bool DeviceReportDecoder::decodeCustomFreq(const uchar* data, uint length, CustomFreqHZ* out, LogText* error)
{
    if (!data || length < 1)
        return refuse(error,
                      LogText(QT_TRANSLATE_NOOP("FileLogger", "自定义频点长度错误[长度:%1]，已丢弃")).arg(length));
    const uint count = data[0];
    if (count > (length - 1) / 4)
        return refuse(error, LogText(QT_TRANSLATE_NOOP("FileLogger", "自定义频点长度错误[数量:%1][长度:%2]，已丢弃"))
                                 .arg(count)
                                 .arg(length));
    CustomFreqHZ list;
    list.Count = static_cast<quint8>(count);
    list.Freqs.reserve(int(count));
    for (uint i = 0; i < count; ++i)
        list.Freqs.append(u32At(data, 1 + 4 * i));
    *out = list;
    return true;
}

bool DeviceReportDecoder::decodeStringList(const uchar* data, uint length, QStringList* out, LogText* error)
{
    if (!data || length < 4)
        return refuse(error, LogText(QT_TRANSLATE_NOOP("FileLogger", "文本列表长度错误[长度:%1]，已丢弃")).arg(length));
    const quint32 count = u32At(data, 0);
    uint pos = 4;
    // Each text takes at least its 4-byte length, so a count beyond that is a lie.
    if (count > (length - pos) / 4)
        return refuse(error, LogText(QT_TRANSLATE_NOOP("FileLogger", "文本列表数量错误[数量:%1][长度:%2]，已丢弃"))
                                 .arg(count)
                                 .arg(length));
    QStringList list;
    list.reserve(int(count));
    for (quint32 i = 0; i < count; ++i) {
        if (length - pos < 4)
            return refuse(error, LogText(QT_TRANSLATE_NOOP("FileLogger", "文本列表截断[第%1项]，已丢弃")).arg(i + 1));
        const quint32 bytes = u32At(data, pos);
        pos += 4;
        if (bytes == 0xFFFFFFFFu) {
            list.append(QString());
            continue;
        }
        if (bytes % 2 != 0 || bytes > length - pos)
            return refuse(error, LogText(QT_TRANSLATE_NOOP("FileLogger", "文本列表长度错误[第%1项][字节:%2]，已丢弃"))
                                     .arg(i + 1)
                                     .arg(bytes));
        QString text(int(bytes / 2), Qt::Uninitialized);
        for (uint k = 0; k < bytes / 2; ++k)
            text[int(k)] = QChar(qFromLittleEndian<quint16>(data + pos + 2 * k));
        list.append(text);
        pos += bytes;
    }
    *out = list;
    return true;
}

void DeviceReportDecoder::registerMetaTypes()
{
    qRegisterMetaType<SystemState>("SystemState");
    qRegisterMetaType<HeartMsg>("HeartMsg");
    qRegisterMetaType<DeviceBoardInfo>("DeviceBoardInfo");
    qRegisterMetaType<DeviceInfo>("DeviceInfo");
    qRegisterMetaType<DiskVolume>("DiskVolume");
    qRegisterMetaType<QList<DiskVolume>>("QList<DiskVolume>");
    qRegisterMetaType<SyncDeviceState>("SyncDeviceState");
    qRegisterMetaType<CustomFreqHZ>("CustomFreqHZ");
    qRegisterMetaType<RecordChannel>("RecordChannel");
    qRegisterMetaType<RecordParam>("RecordParam");
    qRegisterMetaType<PlaybackParam>("PlaybackParam");
}
