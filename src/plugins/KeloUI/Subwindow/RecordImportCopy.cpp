#include "RecordImportCopy.h"

#include <FileLogger.h>
#include <LocalRecordStore.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {
const QString kRecordData = QStringLiteral("RecordData");
constexpr qint64 kMiB = 1024 * 1024;
} // namespace

RecordImportCopy::RecordImportCopy(QObject* parent)
    : QThread(parent)
{}

RecordImportCopy::~RecordImportCopy()
{
    requestInterruption();
    wait();
}

void RecordImportCopy::run()
{
    const bool ok = copyJob();
    emit CopyResult(ok);
}

QString RecordImportCopy::findRecordData() const
{
    QDir dir(m_base);
    if (!dir.exists())
        return QString();
    if (!m_device.isEmpty()) {
        // The identifier comes from the instrument: it names one folder below the base, no more.
        const QString device = LocalRecordStore::safePathComponent(m_device);
        if (!dir.exists(device))
            dir.mkdir(device);
        if (!dir.cd(device))
            return QString();
        if (!dir.exists(kRecordData))
            dir.mkdir(kRecordData);
        return dir.cd(kRecordData) ? dir.path() : QString();
    }
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::Readable | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& f : folders) {
        const QString candidate = dir.filePath(f + QLatin1Char('/') + kRecordData);
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return QString();
}

bool RecordImportCopy::copyJob()
{
    emit ProcessUpdate(0);
    m_recordFolder.clear();
    m_kept.clear();
    const QString recordData = findRecordData();
    if (recordData.isEmpty()) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：未找到本地记录目录"));
        return false;
    }
    const QDir store(recordData);

    quint32 name = m_record.RecordValue(RecordKey::Name, 0).toUInt();
    while (name != 0 && store.exists(QString::number(name)))
        ++name;
    if (name == 0) // ran past the last number
        return false;
    m_record.SetRecordValue(RecordKey::Name, name);

    // Built out of sight of the list (the name is not a number) and removed again on failure.
    QTemporaryDir work(store.filePath(QStringLiteral(".import-%1-XXXXXX").arg(name)));
    if (!work.isValid()) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：无法创建目录 %1"),
                               recordData);
        return false;
    }

    QSaveFile info(work.filePath(QStringLiteral("%1.wdi").arg(name)));
    const QByteArray text = m_record.toByteArray();
    if (!info.open(QIODevice::WriteOnly) || info.write(text) != text.size() || !info.commit()) {
        FileLogger::LogMessage(FileLogger::Error,
                               QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：无法写入记录信息文件"));
        return false;
    }

    const int count = m_files.size();
    if (count == 0)
        return false;
    const qint64 perCard = (m_record.RecordValue(RecordKey::Size, 0).toLongLong() / count) * kMiB;
    // A record without data would be listed as complete while holding none of the samples.
    if (perCard <= 0) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：记录大小为 0"));
        return false;
    }
    QByteArray buffer(int(kBufferBytes), Qt::Uninitialized);
    for (int k = 0; k < count; ++k) {
        const QString target = work.filePath(QStringLiteral("%1_%2.wdd").arg(name).arg(k));
        if (!copyFile(m_files.at(k), target, perCard, k, count, buffer))
            return false;
        emit ProcessUpdate(int(100LL * (k + 1) / count));
    }

    const QString final = store.filePath(QString::number(name));
    // The work folder is private (700) while it is built; the record is as readable as the
    // folders the uploads make.
    QFile::setPermissions(work.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                           | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                           | QFileDevice::ExeOther);
    if (!QDir().rename(work.path(), final)) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：无法创建记录目录 %1"),
                               final);
        return false;
    }
    work.setAutoRemove(false);
    m_recordFolder = final;

    if (m_deleteSources) {
        for (const QString& source : qAsConst(m_files)) {
            // A source cut at the card's share still holds bytes the record does not: it stays.
            if (QFileInfo(source).size() > perCard) {
                m_kept << source;
                FileLogger::LogMessage(FileLogger::Warning,
                                       QT_TRANSLATE_NOOP("FileLogger", "原始文件超出记录大小，未删除：%1"), source);
                continue;
            }
            if (!QFile::remove(source))
                FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "删除原始文件失败：%1"),
                                       source);
        }
    }
    emit ProcessUpdate(100);
    return true;
}

bool RecordImportCopy::copyFile(const QString& source, const QString& target, qint64 perCard, int k, int count,
                                QByteArray& buffer)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：无法打开文件 %1"),
                               source);
        return false;
    }
    const qint64 n = qMin(perCard, in.size());
    qint64 copied = 0;
    while (copied < n) {
        if (isInterruptionRequested())
            return false;
        const qint64 chunk = qMin(kBufferBytes, n - copied);
        const qint64 got = in.read(buffer.data(), chunk);
        // A file that ends early (it shrank since it was chosen) is no more complete than one
        // that cannot be read.
        if (got <= 0 || out.write(buffer.constData(), got) != got) {
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：读写文件出错 %1"),
                                   source);
            return false;
        }
        copied += got;
        emit ProcessUpdate(int(((copied * 100) / n + 100LL * k) / count));
    }
    if (copied < perCard) {
        buffer.fill('\0');
        while (copied < perCard) {
            if (isInterruptionRequested())
                return false;
            const qint64 chunk = qMin(kBufferBytes, perCard - copied);
            if (out.write(buffer.constData(), chunk) != chunk) {
                FileLogger::LogMessage(FileLogger::Error,
                                       QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：写入文件出错 %1"), target);
                return false;
            }
            copied += chunk;
        }
    }
    if (!out.flush() || out.error() != QFileDevice::NoError) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "导入记录失败：写入文件出错 %1"),
                               target);
        return false;
    }
    out.close();
    return out.error() == QFileDevice::NoError;
}
