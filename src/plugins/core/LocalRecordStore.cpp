#include "LocalRecordStore.h"

#include "AppPaths.h"
#include "ConfigSetting.h"
#include "Crc32Mpeg2.h"
#include "FileLogger.h"
#include "ProtocolManager.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
const QString kRecordData = QStringLiteral("RecordData");

bool isUnsafe(QChar c)
{
    const ushort u = c.unicode();
    if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
        return true;
    switch (u) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return false;
    }
}

// Reads the little-endian fields of an old record information file one after the other. Once a
// field does not fit in what remains, it and every later field read as 0 (lists as empty).
class FieldReader
{
public:
    explicit FieldReader(const QByteArray& data)
        : m_data(data)
    {}

    quint32 u32() { return take(4) ? qFromLittleEndian<quint32>(at()) : 0; }
    qint32 i32() { return take(4) ? qFromLittleEndian<qint32>(at()) : 0; }
    qint64 i64() { return take(8) ? qFromLittleEndian<qint64>(at()) : 0; }
    quint8 u8() { return take(1) ? quint8(m_data.at(int(m_last))) : 0; }

    QByteArray bytes(quint64 n) { return take(n) ? m_data.mid(int(m_last), int(n)) : QByteArray(); }

    // A count followed by that many entries of entrySize bytes, checked against what remains.
    quint64 countOf(quint64 entrySize)
    {
        const quint64 n = u32();
        if (m_failed || n > remaining() / entrySize) {
            m_failed = true;
            return 0;
        }
        return n;
    }

    std::vector<qint64> i64List()
    {
        const quint64 n = countOf(8);
        std::vector<qint64> list;
        list.reserve(size_t(n));
        for (quint64 i = 0; i < n; ++i)
            list.push_back(i64());
        return list;
    }

private:
    quint64 remaining() const { return quint64(m_data.size()) - m_pos; }

    bool take(quint64 n)
    {
        if (m_failed || n > remaining()) {
            m_failed = true;
            return false;
        }
        m_last = m_pos;
        m_pos += n;
        return true;
    }

    const uchar* at() const { return reinterpret_cast<const uchar*>(m_data.constData()) + m_last; }

    const QByteArray& m_data;
    quint64 m_pos = 0;
    quint64 m_last = 0;
    bool m_failed = false;
};

// The decoded old layout before it goes into a RecordEx.
struct OldRecordInfo
{
    quint32 startTime = 0;
    quint32 duration = 0;
    quint32 size = 0;
    bool available = false;
    int bit = 0;
    std::vector<qint32> bands;
    QString remark;
    quint32 recordId = 0;
    quint32 blockSize = 0;
    qint64 totalUploaded = 0;
    qint64 totalDownloaded = 0;
    std::vector<qint64> uploadedBytes;
    std::vector<qint64> downloadedBytes;
    std::vector<qint64> uploadedBlocks;
    std::vector<qint64> downloadedBlocks;
    quint32 cards = 0;
};

OldRecordInfo decodeOld(const QByteArray& content)
{
    OldRecordInfo info;
    FieldReader in(content);
    in.u32(); // name as first stored; the format test compares it with the id
    info.startTime = in.u32();
    info.duration = in.u32();
    info.size = in.u32();
    info.available = in.u8() != 0;
    info.bit = in.u8();
    const quint64 bands = in.countOf(4);
    for (quint64 j = 0; j < bands; ++j)
        info.bands.push_back(in.i32());
    const quint64 remarkLength = in.countOf(1);
    QByteArray remark = in.bytes(remarkLength);
    const int nul = remark.indexOf('\0');
    if (nul >= 0)
        remark.truncate(nul);
    info.remark = QString::fromUtf8(remark);
    info.recordId = in.u32();
    info.blockSize = in.u32();
    info.totalUploaded = in.i64();
    info.totalDownloaded = in.i64();
    info.uploadedBytes = in.i64List();
    info.downloadedBytes = in.i64List();
    info.uploadedBlocks = in.i64List();
    info.downloadedBlocks = in.i64List();
    info.cards = in.u32();
    return info;
}

qint64 at(const std::vector<qint64>& list, size_t i)
{
    return i < list.size() ? list[i] : 0;
}

// cd into name below dir, creating it first when asked; false when it is not there afterwards.
bool enter(QDir& dir, const QString& name, bool create)
{
    if (name.isEmpty())
        return false;
    if (create && !dir.exists(name))
        dir.mkdir(name);
    return dir.cd(name);
}
} // namespace

QString LocalRecordStore::safePathComponent(const QString& name)
{
    QString out = name;
    for (QChar& c : out) {
        if (isUnsafe(c))
            c = QLatin1Char('_');
    }
    if (out == QLatin1String("."))
        return QStringLiteral("_");
    if (out == QLatin1String(".."))
        return QStringLiteral("__");
    return out;
}

QString LocalRecordStore::deviceFolderName(const QByteArray& identifier)
{
    const int nul = identifier.indexOf('\0');
    return QString::fromLatin1(identifier.constData(), nul < 0 ? identifier.size() : nul);
}

QString LocalRecordStore::deviceFolderName(const DeviceInfo& info)
{
    return deviceFolderName(QByteArray(info.DeviceId, int(sizeof info.DeviceId)));
}

QString LocalRecordStore::currentDeviceFolder()
{
    return deviceFolderName(ProtocolManager::instance()->deviceInfo());
}

QString LocalRecordStore::baseFolder()
{
    const QString path = ConfigSetting::instance()->GetInit(ConfigKey::DataSavePath).toString();
    return path.isEmpty() ? AppPaths::applicationDir() : path;
}

QString LocalRecordStore::recordFolderPath(const QString& deviceId, quint32 id)
{
    QString path = baseFolder();
    const QString device = safePathComponent(deviceId);
    if (!device.isEmpty())
        path += QLatin1Char('/') + device;
    return path + QLatin1Char('/') + kRecordData + QLatin1Char('/') + QString::number(id);
}

QString LocalRecordStore::dataFilePath(const QString& recordFolder, quint32 id, int card)
{
    const QString perCard = QStringLiteral("%1/%2_%3.wdd").arg(recordFolder).arg(id).arg(card);
    if (card == 0 && !QFileInfo::exists(perCard)) {
        const QString single = QStringLiteral("%1/%2.wdd").arg(recordFolder).arg(id);
        if (QFileInfo::exists(single))
            return single;
    }
    return perCard;
}

bool LocalRecordStore::openDataFile(QFile& file, bool create)
{
    if (file.exists())
        return file.open(QIODevice::ReadWrite);
    if (!create)
        return false;
    return file.open(QIODevice::ReadWrite | QIODevice::NewOnly);
}

bool LocalRecordStore::IsOldFormatRecordInfoFile(quint32 id, const QByteArray& content)
{
    const auto* p = reinterpret_cast<const uchar*>(content.constData());
    const quint64 size = quint64(content.size());
    if (size > 3 && qFromLittleEndian<quint32>(p) == id)
        return true;
    if (content.contains("[Record]"))
        return false;
    if (size <= 70)
        return false;
    // Neither the first name nor a text header: the record id field decides, found by the same
    // layout the reader decodes, so a file taken as old here is one the reader reads consistently.
    const quint64 n = qFromLittleEndian<quint32>(p + 18);
    const quint64 lengthAt = 22 + 4 * n;
    if (lengthAt + 4 > size)
        return false;
    const quint64 l = qFromLittleEndian<quint32>(p + lengthAt);
    const quint64 idAt = lengthAt + 4 + l;
    if (idAt + 4 > size)
        return false;
    return qFromLittleEndian<quint32>(p + idAt) == id;
}

void LocalRecordStore::ParseOldFormatRecordInfoFile(const QByteArray& content, RecordEx& record)
{
    const OldRecordInfo info = decodeOld(content);

    record.beginSection(RecordKey::LocalSection);
    record.setValue(RecordKey::SingleTransSize, info.blockSize);
    record.setValue(RecordKey::TotalUploadedSize, quint64(info.totalUploaded));
    record.setValue(RecordKey::TotalDownloadedSize, quint64(info.totalDownloaded));
    record.setValue(RecordKey::NumOfBoards, info.cards);
    record.endSection();

    for (size_t i = 0; i < info.uploadedBytes.size(); ++i) {
        record.setSectionValue(RecordKey::cardSection(int(i)), RecordKey::UploadSize, quint64(info.uploadedBytes[i]));
        record.setSectionValue(RecordKey::cardSection(int(i)), RecordKey::UploadNum,
                               quint64(at(info.uploadedBlocks, i)));
    }
    for (size_t i = 0; i < info.downloadedBytes.size(); ++i) {
        record.setSectionValue(RecordKey::cardSection(int(i)), RecordKey::DownloadSize,
                               quint64(info.downloadedBytes[i]));
        record.setSectionValue(RecordKey::cardSection(int(i)), RecordKey::DownloadNum,
                               quint64(at(info.downloadedBlocks, i)));
    }

    record.beginSection(RecordKey::RecordSection);
    record.setValue(RecordKey::Name, info.recordId);
    record.setValue(RecordKey::StartTime, info.startTime);
    record.setValue(RecordKey::Duration, info.duration);
    record.setValue(RecordKey::Size, info.size);
    record.setValue(RecordKey::Available, info.available);
    record.setValue(RecordKey::Type, 0);
    record.setValue(RecordKey::Bit, info.bit);
    // The bands actually present: a count that overruns the file brings no band sections.
    record.setValue(RecordKey::FreqNum, int(info.bands.size()));
    record.setValue(RecordKey::Remark, info.remark);
    record.endSection();

    for (size_t j = 0; j < info.bands.size(); ++j)
        record.setSectionValue(RecordKey::freqSection(j + 1), RecordKey::Num, quint32(info.bands[j]));
    record.BuildIndex();
}

bool LocalRecordStore::ParseRecordInformationFromFile(const QString& deviceId, quint32 id, RecordEx& record)
{
    QDir dir(baseFolder());
    if (!dir.exists() || !enter(dir, safePathComponent(deviceId), false) || !enter(dir, kRecordData, true)
        || !enter(dir, QString::number(id), false))
        return false;

    QFile file(dir.filePath(QStringLiteral("%1.wdi").arg(id)));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    file.close();

    if (IsOldFormatRecordInfoFile(id, content)) {
        ParseOldFormatRecordInfoFile(content, record);
        const QString ini = dir.filePath(QStringLiteral("%1.ini").arg(id));
        if (QFileInfo::exists(ini)) {
            QSettings side(ini, QSettings::IniFormat);
            record.SetRecordValue(RecordKey::Bandwidth, side.value(QStringLiteral("Extend/Bandwidth"), 0).toUInt());
        }
    } else {
        RecordEx parsed;
        parsed.parseBufferContent(content);
        parsed.renameSectionKey(RecordKey::RecordSection, QStringLiteral("SerialPort"), RecordKey::Type);
        parsed.BuildIndex();
        if (parsed.RecordValue(RecordKey::Name).toUInt() == id)
            record = parsed;
    }
    record.BuildIndex();

    if (record.RecordValue(RecordKey::Name).toUInt() == 0)
        return false;
    if (record.LocalValue(RecordKey::SingleTransSize, 0).toInt() != kBlockMiB)
        return false;

    const int cards = record.LocalValue(RecordKey::NumOfBoards, 0).toInt();
    if (cards > kMaxCards) {
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "记录%1的采集卡数量%2无效"),
                               RecordCheck::logName(id), cards);
        return false;
    }
    quint64 uploaded = 0;
    quint64 downloaded = 0;
    for (int i = 0; i < cards; ++i) {
        const QString section = RecordKey::cardSection(i);
        const QFileInfo data(dataFilePath(dir.path(), id, i));
        // Counters from a damaged file must not point before the start or past the data on disk:
        // a resumed transfer seeks to them.
        qint64 up = 0;
        qint64 down = 0;
        if (data.exists()) {
            const qint64 stored = record.getSectionValue(section, RecordKey::UploadSize, 0).toLongLong();
            up = qBound<qint64>(0, stored, data.size());
            down = qMax<qint64>(0, record.getSectionValue(section, RecordKey::DownloadSize, 0).toLongLong());
        }
        record.setSectionValue(section, RecordKey::UploadSize, up);
        record.setSectionValue(section, RecordKey::DownloadSize, down);
        record.setSectionValue(section, RecordKey::UploadNum, quint64(up) / quint64(kBlockBytes));
        record.setSectionValue(section, RecordKey::DownloadNum, quint64(down) / quint64(kBlockBytes));
        uploaded += quint64(up);
        downloaded += quint64(down);
    }
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalUploadedSize, uploaded);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalDownloadedSize, downloaded);

    qDebug().noquote() << record.toString();
    return true;
}

bool LocalRecordStore::WriteRecordInfoToFile(const QString& deviceId, const RecordEx& record)
{
    const quint32 id = record.RecordValue(RecordKey::Name).toUInt();
    QDir dir(baseFolder());
    const QString device = safePathComponent(deviceId);
    bool ok = dir.exists();
    // An empty identifier names no device folder: the record goes below the base folder itself.
    if (ok && !device.isEmpty())
        ok = enter(dir, device, true);
    ok = ok && enter(dir, kRecordData, true) && enter(dir, QString::number(id), true);

    if (!ok) {
        qWarning() << "record folder for" << id << "cannot be made below" << dir.path();
        // The folder that could not be made.
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "更新记录信息文件失败（%1）"),
                               dir.path());
        return false;
    }
    return WriteRecordInfoToFolder(dir.path(), record);
}

bool LocalRecordStore::WriteRecordInfoToFolder(const QString& folder, const RecordEx& record)
{
    const quint32 id = record.RecordValue(RecordKey::Name).toUInt();
    QSaveFile file(QDir(folder).filePath(QStringLiteral("%1.wdi").arg(id)));
    const QByteArray bytes = record.toByteArray();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning() << "record information file" << file.fileName() << file.errorString();
        // The system's reason: a full disk says so.
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "更新记录信息文件失败（%1）"),
                               file.errorString());
        return false;
    }
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "更新记录信息文件成功"));
    return true;
}

QString LocalRecordStore::stagingFolderPath(const QString& deviceId, quint32 id)
{
    const QString records = recordFolderPath(deviceId, id).section(QLatin1Char('/'), 0, -2);
    return records + QStringLiteral("/.upload-%1").arg(id);
}

bool LocalRecordStore::prepareStaging(const QString& deviceId, const RecordEx& record)
{
    settleLeftoverReplacement(deviceId, record.RecordValue(RecordKey::Name).toUInt());
    const QString folder = stagingFolderPath(deviceId, record.RecordValue(RecordKey::Name).toUInt());
    // What an earlier attempt left there is not this upload's.
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder)) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "更新记录信息文件失败（%1）"),
                               folder);
        return false;
    }
    return WriteRecordInfoToFolder(folder, record);
}

namespace {
QString replacedFolderPath(const QString& deviceId, quint32 id)
{
    return LocalRecordStore::recordFolderPath(deviceId, id).section(QLatin1Char('/'), 0, -2)
         + QStringLiteral("/.replaced-%1").arg(id);
}
constexpr char kFingerprintMagic[4] = {'K', 'W', 'D', 'F'};
constexpr int kFingerprintHead = 20;
} // namespace

LocalRecordStore::Leftover LocalRecordStore::settleLeftoverReplacement(const QString& deviceId, quint32 id)
{
    const QString old = replacedFolderPath(deviceId, id);
    if (!QFileInfo(old).isDir())
        return Leftover::None;
    const QString target = recordFolderPath(deviceId, id);
    if (!QFileInfo::exists(target)) {
        // Cut after the copy was moved aside and before the new data took its place: the copy,
        // complete when it was moved, goes back.
        if (!QDir().rename(old, target))
            return Leftover::None;
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "记录%1上次替换本地副本时中断，已恢复原来的完整副本"),
                               RecordCheck::logName(id));
        return Leftover::CopyRestored;
    }
    // Cut after the new data took the copy's place: the new data is complete, the old copy goes.
    if (!QDir(old).removeRecursively())
        return Leftover::None;
    FileLogger::LogMessage(
        FileLogger::Warning,
        QT_TRANSLATE_NOOP("FileLogger", "记录%1上次替换本地副本时中断，新数据已完整，已删除留下的旧副本"),
        RecordCheck::logName(id));
    return Leftover::OldCopyRemoved;
}

bool LocalRecordStore::replaceWithStaging(const QString& deviceId, quint32 id, QString* why)
{
    const QString target = recordFolderPath(deviceId, id);
    const QString staged = stagingFolderPath(deviceId, id);
    const QString old = replacedFolderPath(deviceId, id);
    // What a replacement cut short left: the complete copy back in place, or the replaced one gone.
    settleLeftoverReplacement(deviceId, id);
    QDir root;
    const bool hadTarget = QFileInfo::exists(target);
    if (hadTarget && !root.rename(target, old)) {
        if (why)
            *why = target;
        return false;
    }
    if (!root.rename(staged, target)) {
        // The copy goes back where it was: the person is told it is unchanged.
        if (hadTarget)
            root.rename(old, target);
        if (why)
            *why = staged;
        return false;
    }
    if (hadTarget)
        QDir(old).removeRecursively();
    return true;
}

void LocalRecordStore::discardStaging(const QString& deviceId, quint32 id)
{
    QDir(stagingFolderPath(deviceId, id)).removeRecursively();
}

bool LocalRecordStore::removeIfEmpty(const QString& deviceId, quint32 id)
{
    QDir dir(recordFolderPath(deviceId, id));
    if (!dir.exists())
        return false;
    const QString info = QStringLiteral("%1.wdi").arg(id);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        const bool data = e.isFile() && e.suffix() == QLatin1String("wdd") && e.size() == 0;
        // Fingerprints of blocks describe the data beside them: with none, they keep nothing.
        const bool fingerprints = e.isFile() && e.suffix() == QLatin1String("wdf");
        if (!data && !fingerprints && !(e.isFile() && e.fileName() == info))
            return false;
    }
    return dir.removeRecursively();
}

QVector<LocalRecordStore::DataShortfall> LocalRecordStore::dataShortfalls(const QString& deviceId,
                                                                          const RecordEx& record)
{
    QVector<DataShortfall> shortfalls;
    const quint32 id = record.RecordValue(RecordKey::Name, 0).toUInt();
    const int cards = record.LocalValue(RecordKey::NumOfBoards, 0).toInt();
    if (cards <= 0 || cards > kMaxCards)
        return shortfalls;
    const QString folder = recordFolderPath(deviceId, id);
    // The channel's share of the record, by the same division.
    const quint64 needed = record.RecordValue(RecordKey::Size, 0).toULongLong() * quint64(1024 * 1024) / quint64(cards);
    for (int i = 0; i < cards; ++i) {
        const QFileInfo data(dataFilePath(folder, id, i));
        const qint64 held = data.exists() ? data.size() : -1;
        if (held < 0 || quint64(held) < needed)
            shortfalls.append({i, held, qint64(needed)});
    }
    return shortfalls;
}

void LocalRecordStore::resetTransferCounters(RecordEx& record, int cards)
{
    record.removeSection(RecordKey::LocalSection);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::NumOfBoards, cards);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::SingleTransSize, kBlockMiB);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalUploadedSize, 0);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalDownloadedSize, 0);
    for (int k = 0; k < cards; ++k) {
        record.removeSection(RecordKey::cardSection(k));
        for (const QString& key :
             {RecordKey::UploadSize, RecordKey::UploadNum, RecordKey::DownloadSize, RecordKey::DownloadNum})
            record.setSectionValue(RecordKey::cardSection(k), key, 0);
    }
    record.BuildIndex();
}

void LocalRecordStore::setImportedCounters(RecordEx& record, int cards, quint64 bytes)
{
    record.setSectionValue(RecordKey::LocalSection, RecordKey::NumOfBoards, cards);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::SingleTransSize, kBlockMiB);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalUploadedSize, bytes);
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalDownloadedSize, 0);
    for (int k = 0; k < cards; ++k) {
        const QString section = RecordKey::cardSection(k);
        record.removeSection(section);
        record.setSectionValue(section, RecordKey::UploadSize, bytes / quint64(cards));
        // Imports have always stored this key; a reader takes UploadNum from the data files.
        record.setSectionValue(section, QStringLiteral("UploadNumWr"), 0);
        record.setSectionValue(section, RecordKey::DownloadSize, 0);
        record.setSectionValue(section, RecordKey::DownloadNum, 0);
    }
}

void LocalRecordStore::restartUpload(RecordEx& record, int cards)
{
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalUploadedSize, 0);
    for (int k = 0; k < cards; ++k)
        record.setSectionValue(RecordKey::cardSection(k), RecordKey::UploadSize, 0);
}

void LocalRecordStore::setUploadResumeBlocks(RecordEx& record, int cards)
{
    constexpr quint64 kMiB = 1024 * 1024;
    const quint64 block = record.LocalValue(RecordKey::SingleTransSize, kBlockMiB).toULongLong();
    for (int k = 0; k < cards; ++k) {
        const quint64 received =
            record.getSectionValue(RecordKey::cardSection(k), RecordKey::UploadSize, 0).toULongLong();
        record.setSectionValue(RecordKey::cardSection(k), RecordKey::UploadNum, block ? (received / kMiB) / block : 0);
    }
    record.BuildIndex();
}

void LocalRecordStore::restartDownload(RecordEx& record)
{
    const int boards = record.LocalValue(RecordKey::NumOfBoards, 0).toInt();
    record.setSectionValue(RecordKey::LocalSection, RecordKey::TotalDownloadedSize, 0);
    for (int i = 0; i < boards && i < kMaxCards; ++i) {
        record.setSectionValue(RecordKey::cardSection(i), RecordKey::DownloadSize, 0);
        record.setSectionValue(RecordKey::cardSection(i), RecordKey::DownloadNum, 0);
    }
    record.BuildIndex();
}

void LocalRecordStore::sumTransferCounters(RecordEx& record, bool upload)
{
    const int n = record.LocalValue(RecordKey::NumOfBoards, 0).toInt();
    const QString key = upload ? RecordKey::UploadSize : RecordKey::DownloadSize;
    quint64 total = 0;
    for (int i = 0; i < n; ++i)
        total += record.getSectionValue(RecordKey::cardSection(i), key, 0).toULongLong();
    record.setSectionValue(RecordKey::LocalSection,
                           upload ? RecordKey::TotalUploadedSize : RecordKey::TotalDownloadedSize, total);
}

QByteArray LocalRecordStore::fingerprintFileBytes(quint32 id, int card, qint64 blockBytes,
                                                  const QVector<quint64>& entries)
{
    QByteArray out(kFingerprintHead + entries.size() * 8 + 4, Qt::Uninitialized);
    char* p = out.data();
    memcpy(p, kFingerprintMagic, 4);
    qToLittleEndian<quint32>(id, p + 4);
    qToLittleEndian<quint32>(quint32(card), p + 8);
    qToLittleEndian<quint32>(quint32(blockBytes), p + 12);
    qToLittleEndian<quint32>(quint32(entries.size()), p + 16);
    for (int i = 0; i < entries.size(); ++i)
        qToLittleEndian<quint64>(entries.at(i), p + kFingerprintHead + i * 8);
    const int body = kFingerprintHead + entries.size() * 8;
    qToLittleEndian<quint32>(Crc32Mpeg2::compute(reinterpret_cast<const uchar*>(p), size_t(body)), p + body);
    return out;
}

bool LocalRecordStore::readFingerprintFile(const QString& path, quint32 id, int card, qint64 blockBytes, quint64 blocks,
                                           QVector<quint64>* entries)
{
    // Read no further than the entries the data file can have: a file of another size is not it.
    const qint64 size = qint64(kFingerprintHead) + qint64(blocks) * 8 + 4;
    QFile file(path);
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() != size || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(size);
    if (bytes.size() != size)
        return false;
    const char* p = bytes.constData();
    const int body = int(size - 4);
    if (memcmp(p, kFingerprintMagic, 4) != 0 || qFromLittleEndian<quint32>(p + 4) != id
        || qFromLittleEndian<quint32>(p + 8) != quint32(card)
        || qFromLittleEndian<quint32>(p + 12) != quint32(blockBytes)
        || qFromLittleEndian<quint32>(p + 16) != quint32(blocks)
        || qFromLittleEndian<quint32>(p + body) != Crc32Mpeg2::compute(reinterpret_cast<const uchar*>(p), size_t(body)))
        return false;
    if (entries) {
        entries->resize(int(blocks));
        for (int i = 0; i < int(blocks); ++i)
            (*entries)[i] = qFromLittleEndian<quint64>(p + kFingerprintHead + i * 8);
    }
    return true;
}

bool LocalRecordStore::writeFingerprintFile(const QString& path, quint32 id, int card, qint64 blockBytes,
                                            const QVector<quint64>& entries)
{
    QSaveFile file(path);
    const QByteArray bytes = fingerprintFileBytes(id, card, blockBytes, entries);
    // A folder or other thing in the way goes first; a file is replaced whole.
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QString LocalRecordStore::rollBackKey()
{
    return QStringLiteral("UploadRollBack");
}

namespace {
QString marksPath(const QString& deviceId, quint32 id)
{
    return LocalRecordStore::recordFolderPath(deviceId, id).section(QLatin1Char('/'), 0, -2)
         + QStringLiteral("/.marks-%1").arg(id);
}
} // namespace

void LocalRecordStore::keepRollBackMarks(const QString& deviceId, const RecordEx& record)
{
    const quint32 id = record.RecordValue(RecordKey::Name, 0).toUInt();
    const int cards = qBound(0, record.LocalValue(RecordKey::NumOfBoards, 0).toInt(), kMaxCards);
    QByteArray lines;
    for (int i = 0; i < cards; ++i) {
        const QString mark = record.getSectionValue(RecordKey::cardSection(i), rollBackKey()).toString();
        if (!mark.isEmpty())
            lines += QStringLiteral("%1=%2\n").arg(i).arg(mark).toUtf8();
    }
    const QString path = marksPath(deviceId, id);
    if (lines.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(lines) != lines.size() || !file.commit())
        qWarning() << "roll-back marks of" << id << "not kept:" << file.errorString();
}

void LocalRecordStore::restoreRollBackMarks(const QString& deviceId, RecordEx& record)
{
    const quint32 id = record.RecordValue(RecordKey::Name, 0).toUInt();
    QFile file(marksPath(deviceId, id));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    for (const QByteArray& line : lines) {
        const int eq = line.indexOf('=');
        bool ok = false;
        const int card = line.left(qMax(0, eq)).toInt(&ok);
        if (eq <= 0 || !ok || card < 0 || card >= kMaxCards)
            continue;
        const QString section = RecordKey::cardSection(card);
        if (record.getSectionValue(section, rollBackKey()).toString().isEmpty())
            record.setSectionValue(section, rollBackKey(), QString::fromUtf8(line.mid(eq + 1)));
    }
    record.BuildIndex();
}

void LocalRecordStore::dropRollBackMarks(const QString& deviceId, quint32 id)
{
    // The record information file holds them again.
    QFile::remove(marksPath(deviceId, id));
}
