#include "FileLogger.h"

#include "AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QSet>

#include <algorithm>

namespace {
FileLogger* g_instance = nullptr;

const char* tagOf(FileLogger::LogType type)
{
    switch (static_cast<int>(type)) {
    case FileLogger::Debug:
        return "[DEBUG]";
    case FileLogger::Info:
        return "[INFO]";
    case FileLogger::Error:
        return "[ERROR]";
    case FileLogger::Warning:
        return "[WARNING]";
    }
    return "";
}
} // namespace

FileLogger::FileLogger(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<FileLogger::LogType>("FileLogger::LogType");
    qRegisterMetaType<LogText>("LogText");
    QVector<Notice> notices;
    {
        QMutexLocker lock(&m_mutex);
        start(notices);
    }
    emitAll(notices);
}

FileLogger::~FileLogger() = default;

FileLogger* FileLogger::instance()
{
    // First called by the Core plug-in in the GUI thread, before any worker thread exists.
    if (!g_instance)
        g_instance = new FileLogger;
    return g_instance;
}

void FileLogger::LogMessage(FileLogger::LogType type, QString text)
{
    instance()->Log(type, text);
}

void FileLogger::LogMessage(FileLogger::LogType type, const LogText& text)
{
    instance()->Log(type, text);
}

void FileLogger::slot_LogMessage(FileLogger::LogType type, QString text)
{
    Log(type, text);
}

QString FileLogger::timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss.zzz"));
}

QString FileLogger::pathOf(quint32 number) const
{
    return QDir(m_dirPath).absoluteFilePath(QStringLiteral("%1.log").arg(number));
}

QString FileLogger::currentFilePath() const
{
    QMutexLocker lock(&m_mutex);
    return m_file ? m_file->fileName() : QString();
}

quint32 FileLogger::currentNumber() const
{
    QMutexLocker lock(&m_mutex);
    return m_number;
}

void FileLogger::emitAll(const QVector<Notice>& notices)
{
    for (const Notice& n : notices) {
        emit MessageLogged(n.type, n.own ? n.text.translated() : n.text.toString());
        emit LineLogged(n.type, n.text);
    }
}

void FileLogger::start(QVector<Notice>& notices)
{
    m_dirPath = AppPaths::applicationDir() + QStringLiteral("/../log/");
    QDir dir(m_dirPath);
    if (!dir.exists() && !dir.mkpath(QStringLiteral("."))) {
        notices.append({Error, LogText(QT_TR_NOOP("[严重错误]创建日志目录失败"))});
        return;
    }

    QSet<quint32> numbers;
    const QStringList names = dir.entryList({QStringLiteral("*.log")}, QDir::Files);
    for (const QString& name : names) {
        bool ok = false;
        const quint32 n = name.left(name.size() - 4).toUInt(&ok);
        if (ok)
            numbers.insert(n);
    }

    QList<quint32> sorted = numbers.values();
    std::sort(sorted.begin(), sorted.end());
    QString deletionNote;
    while (sorted.size() > kMaxFilesAtStart) {
        const QString path = pathOf(sorted.takeFirst());
        QFile::remove(path);
        notices.append({Warning, LogText(QT_TR_NOOP("[已删除文件旧日志]%1")).arg(path)});
        deletionNote += path;
    }
    m_number = sorted.isEmpty() ? 0 : sorted.last();
    notices.append({Info, LogText(QT_TR_NOOP("当前运行日志保存文件 %1")).arg(pathOf(m_number))});

    for (;;) {
        if (!openCurrent(notices))
            return;
        if (m_file->size() < kMaxFileSize)
            break;
        ++m_number;
        const LogText notice = LogText(QT_TR_NOOP("当前日志文件大小已达上限(4MB),日志切换为 %1")).arg(pathOf(m_number));
        m_file->write(notice.toString().toUtf8() + '\n');
        m_file->close();
        m_file.reset();
        notices.append({Info, notice});
    }

    QByteArray banner;
    if (m_file->size() > 0)
        banner += "\n\n\n";
    banner += "=====================\n";
    banner += QStringLiteral("  [%1]%2\n").arg(timeStamp(), QStringLiteral("新运行日志")).toUtf8();
    if (!deletionNote.isEmpty())
        banner += deletionNote.toUtf8() + '\n';
    banner += "=====================\n\n\n";
    m_file->write(banner);
}

bool FileLogger::openCurrent(QVector<Notice>& notices)
{
    m_file = std::make_unique<QFile>(pathOf(m_number));
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_file.reset();
        notices.append({Error, LogText(QT_TR_NOOP("[严重错误]创建/打开日志文件失败"))});
        return false;
    }
    return true;
}

void FileLogger::Log(FileLogger::LogType type, const QString& text)
{
    Log(type, LogText::verbatim(text));
}

void FileLogger::Log(FileLogger::LogType type, const LogText& text)
{
    const LogText line = LogText::verbatim(QLatin1Char('[') + timeStamp() + QLatin1Char(']')
                                           + QLatin1String(tagOf(type)) + QStringLiteral("%1"))
                             .arg(text);
    QVector<Notice> notices;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_file) {
            notices.append({type, LogText(QT_TR_NOOP("[写入日志失败]%1")).arg(line)});
        } else {
            m_file->write(line.toString().toUtf8() + "\r\n");
            m_file->flush();
            notices.append({type, line, false});
            rotateIfFull(notices);
        }
    }
    // Outside the lock: a directly connected receiver may log in turn.
    emitAll(notices);
}

void FileLogger::rotateIfFull(QVector<Notice>& notices)
{
    if (m_file->size() < kMaxFileSize)
        return;
    const QString name = m_file->fileName();
    const QString dirPart = name.left(name.lastIndexOf(QLatin1Char('/')));
    ++m_number;
    const QString newPath = QDir(dirPart).absoluteFilePath(QStringLiteral("%1.log").arg(m_number));
    auto next = std::make_unique<QFile>(newPath);
    LogText notice;
    if (next->open(QIODevice::WriteOnly | QIODevice::Append)) {
        notice = LogText(QT_TR_NOOP("当前日志文件大小已达上限(4MB),日志切换为 %1")).arg(newPath);
        m_file->write(notice.toString().toUtf8() + '\n');
        m_file->close();
        m_file = std::move(next);
    } else {
        notice = LogText(QT_TR_NOOP("当前日志文件大小已达上限(4MB),但切换日志失败，无法创建打开%1")).arg(newPath);
        m_file->write(notice.toString().toUtf8() + '\n');
        m_file->flush();
    }
    notices.append({Error, notice});
}
