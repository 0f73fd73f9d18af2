#pragma once

#include "ZFtpUser.h"
#include "core_global.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QFile;
class QThread;

// Uploads a firmware update package (a ZIP file, sent unchanged) by FTP to the instrument, or
// a collection-board package to each board in turn. The package's kind comes from the names
// inside it, read from its ZIP headers only:
//
//   entry "control"    -> 1, control unit -> "/opt/update/SrvUpdate.zip",  one update command, board 0
//   entry "frontpanel" -> 2, front panel  -> "/opt/update/KeloUpdate.zip", one update command, board 0
//   entry "zynq"       -> 3, boards       -> "/opt/update/ZynqUpdate.zip", one command per board 1..N
//
// Board i (1..N) answers i addresses above the instrument's, except in the
// "CPCI" configuration mode, where the instrument's own address takes the package for all.
// The upload runs on a thread of its own; progress comes from the FTP client's data thread.
// An upload succeeds only when the server confirmed it and every byte of the package went out.
class CORE_EXPORT UpdateTransport : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 kChunkSize = 65535;

    // Public so that tests can use fresh objects; the system uses instance().
    explicit UpdateTransport(QObject* parent = nullptr);
    ~UpdateTransport() override;

    static UpdateTransport* instance();

    // Reads and classifies the package; true for kinds 1 to 3. Refused while an upload runs.
    bool SetUpdateFile(QString path);
    int getFileType() const { return fileType; }
    bool getHaveShell() const { return haveShell; }
    // Starts the upload of the accepted package; false without one, or while one runs.
    bool UploadUpdateFile();
    // The chunk supplier of the store: frees the previous chunk, hands out the next one.
    void UploadFileBuffer(qint64 sent, char** buffer, quint32* length);

    bool isUploading() const { return m_busy.load(); }
    // Test seam: the instrument's FTP port is 21.
    void setFtpPort(quint16 port) { m_ftpPort = port; }
    // "a.b.c.d" with d raised by offset; empty when the text is no such address or d passes 255.
    static QString boardAddress(const QString& base, int offset);

signals:
    void ftpTransportProgress(qint64 bytesSent, qint64 bytesTotal);
    void ftpTransportResult(bool success);

public slots:
    // Sends the device-update command or commands of the current kind when ret is true.
    void transportResult(bool ret);

private:
    struct Job
    {
        QString address;
        QString configMode;
        int boards = 0;
    };

    static QString pathOfKind(int kind);
    static int boardCount();
    void uploadBody(const Job& job);
    bool uploadTo(const QString& address, const char* password);

    int fileType = 0;
    bool haveShell = false;
    ZFtpUser ftp;
    QString remotePath;
    QFile* file = nullptr;
    QThread* thread = nullptr;

    quint16 m_ftpPort = 21;
    std::atomic<bool> m_busy{false};
    std::unique_ptr<char[]> m_chunk;
    qint64 m_packageSize = 0;
    bool m_readFailed = false;
    ZFtpUser::AbortFlag m_go{true};
};
