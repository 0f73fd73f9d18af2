#include "UpdateTransport.h"

#include "ConfigSetting.h"
#include "FileLogger.h"
#include "ProtocolManager.h"
#include "ZipReader.h"

#include <QDebug>
#include <QFile>
#include <QStringList>
#include <QThread>

#include <list>

UpdateTransport::UpdateTransport(QObject* parent)
    : QObject(parent)
{}

UpdateTransport::~UpdateTransport()
{
    if (thread) {
        thread->wait();
        delete thread;
    }
    delete file;
}

UpdateTransport* UpdateTransport::instance()
{
    static UpdateTransport* const self = new UpdateTransport;
    return self;
}

QString UpdateTransport::pathOfKind(int kind)
{
    switch (kind) {
    case 1:
        return QStringLiteral("/opt/update/SrvUpdate.zip");
    case 2:
        return QStringLiteral("/opt/update/KeloUpdate.zip");
    case 3:
        return QStringLiteral("/opt/update/ZynqUpdate.zip");
    default:
        return QString();
    }
}

int UpdateTransport::boardCount()
{
    return ProtocolManager::instance()->deviceInfo().Boards.size();
}

QString UpdateTransport::boardAddress(const QString& base, int offset)
{
    const QStringList parts = base.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() != 4)
        return QString();
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok || values[i] < 0 || values[i] > 255)
            return QString();
    }
    const int last = values[3] + offset;
    if (last > 255)
        return QString();
    return QStringLiteral("%1.%2.%3.%4").arg(values[0]).arg(values[1]).arg(values[2]).arg(last);
}

bool UpdateTransport::SetUpdateFile(QString path)
{
    if (m_busy.load())
        return false; // the running upload reads the held package
    if (file) {
        file->close();
        file->deleteLater();
        file = nullptr;
    }
    fileType = 0;
    haveShell = false;

    ZipReader reader(path.toLocal8Bit().toStdString());
    std::list<ZipEntry> entries;
    if (!reader.ListEntries(entries)) {
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "升级包读取失败：%1"),
                               QString::fromStdString(reader.ErrorText()));
        return false;
    }
    for (const ZipEntry& e : entries) {
        if (e.isDirectory)
            continue;
        if (fileType == 0) {
            if (e.name == "control") {
                fileType = 1;
                continue;
            }
            if (e.name == "frontpanel") {
                fileType = 2;
                continue;
            }
            if (e.name == "zynq") {
                fileType = 3;
                continue;
            }
        }
        if (!haveShell && e.name.size() >= 3 && e.name.compare(e.name.size() - 3, 3, ".sh") == 0)
            haveShell = true;
    }
    if (fileType == 0)
        return false;
    file = new QFile(path);
    return true;
}

bool UpdateTransport::UploadUpdateFile()
{
    if (!file || m_busy.load())
        return false;
    const QString path = pathOfKind(fileType);
    if (path.isEmpty())
        return false;
    if (!file->isOpen() && !file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "升级包无法打开：%1"),
                               file->fileName());
        return false;
    }
    remotePath = path;

    // What the worker needs of the GUI thread's objects is read here, on their own thread.
    Job job;
    job.address = ProtocolManager::instance()->instrumentAddress();
    job.configMode = ConfigSetting::instance()->configMode;
    job.boards = fileType == 3 ? boardCount() : 0;

    m_busy.store(true);
    // The thread runs the body and ends with it: no event loop follows.
    QThread* t = QThread::create([this, job] { uploadBody(job); });
    thread = t;
    connect(t, &QThread::finished, this, [this, t] {
        t->wait();
        t->deleteLater();
        if (thread == t)
            thread = nullptr;
    });
    t->start(QThread::InheritPriority);
    return true;
}

void UpdateTransport::uploadBody(const Job& job)
{
    qDebug() << "启动！！！！！！！！！";
    ftp.SetUser("root");
    bool result = false;
    if (fileType == 1 || fileType == 2) {
        result = uploadTo(job.address, ConfigSetting::isCpci(job.configMode) ? "mint-oaf" : "wyke");
    } else if (fileType == 3) {
        if (ConfigSetting::isCpci(job.configMode)) {
            result = uploadTo(job.address, "mint-oaf");
        } else {
            result = true;
            for (int i = 0; i < job.boards; ++i) {
                const QString address = boardAddress(job.address, i + 1);
                const bool ok = !address.isEmpty() && uploadTo(address, "mint-oaf");
                result = result && ok; // a failed board doesn't stop the others
            }
        }
    }
    m_busy.store(false);
    emit ftpTransportResult(result);
}

bool UpdateTransport::uploadTo(const QString& address, const char* password)
{
    ftp.SetPassword(password);
    if (!ftp.SetServerIp(address.toLatin1().constData()))
        return false;
    ftp.SetServerPort(m_ftpPort);
    if (!ftp.Connect())
        return false;
    const std::string remote = remotePath.toUtf8().toStdString();
    ftp.Dele(remote); // the previous package may not be there
    // Every board gets the whole package from its first byte.
    m_readFailed = !file->seek(0);
    m_packageSize = file->size();
    m_go.store(true);
    bool ok = !m_readFailed
           && ftp.Stor(
               remote, [this](int64_t sent, char** b, uint32_t* n) { UploadFileBuffer(sent, b, n); }, &m_go);
    ftp.Close();
    m_chunk.reset();
    return ok && !m_readFailed;
}

void UpdateTransport::UploadFileBuffer(qint64 sent, char** buffer, quint32* length)
{
    if (*buffer) {
        // The previous chunk is ours; it is reused for the next one.
        *buffer = nullptr;
        *length = 0;
    }
    if (!file || !file->isOpen())
        return;
    emit ftpTransportProgress(sent, m_packageSize);
    const qint64 remaining = m_packageSize - sent;
    if (remaining <= 0)
        return;
    if (!m_chunk)
        m_chunk.reset(new char[kChunkSize]);
    const qint64 n = file->read(m_chunk.get(), qMin<qint64>(kChunkSize, remaining));
    if (n <= 0) {
        // A read error, or a file that shrank under us: stop rather than store a short package.
        m_readFailed = true;
        m_go.store(false);
        return;
    }
    *buffer = m_chunk.get();
    *length = static_cast<quint32>(n);
}

void UpdateTransport::transportResult(bool ret)
{
    if (!ret)
        return;
    if (fileType == 1 || fileType == 2) {
        remotePath = pathOfKind(fileType);
        ProtocolManager::instance()->DeviceUpdate(0, remotePath);
    } else if (fileType == 3) {
        remotePath = pathOfKind(fileType);
        const int boards = boardCount();
        for (int i = 0; i < boards; ++i)
            ProtocolManager::instance()->DeviceUpdate(i + 1, remotePath);
    }
}
