#pragma once

#include "TestAppDir.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QString>
#include <QStringList>

// A real FTP server (pyftpdlib) for one test, on a loopback address and a port of its own
// choosing, serving the folder root(). Stopped when the object goes.
struct FtpTestServerOptions
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0;
    QString user = QStringLiteral("root");
    QString password = QStringLiteral("secret");
    bool readOnly = false;
    // pyftpdlib answers a refused login after this many seconds.
    double authFailedDelay = 3.0;
};

class FtpTestServer
{
public:
    using Options = FtpTestServerOptions;

    explicit FtpTestServer(const QString& root, const Options& options = Options())
        : m_root(root)
    {
        QDir().mkpath(root);
        qRegisterMetaType<QProcess::ExitStatus>();
        QStringList args{QStringLiteral(KELO_SOURCE_DIR "/tests/common/ftpserver.py"),
                         QStringLiteral("--host"), options.host,
                         QStringLiteral("--port"), QString::number(options.port),
                         QStringLiteral("--root"), root,
                         QStringLiteral("--user"), options.user,
                         QStringLiteral("--password"), options.password};
        if (options.readOnly)
            args << QStringLiteral("--readonly");
        args << QStringLiteral("--auth-failed-delay") << QString::number(options.authFailedDelay);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QSignalSpy output(&m_process, &QProcess::readyReadStandardOutput);
        QSignalSpy finished(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
        m_process.start(TestAppDir::python(), args);
        if (!m_process.waitForStarted(10000))
            return;
        QByteArray line;
        while (!line.contains('\n')) {
            if (!m_process.bytesAvailable() && finished.isEmpty() && !output.wait(20000))
                break;
            if (!finished.isEmpty() && !m_process.bytesAvailable())
                break;
            line += m_process.readAllStandardOutput();
        }
        m_port = static_cast<quint16>(line.trimmed().toUInt());
    }

    ~FtpTestServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    bool isRunning() const { return m_port != 0 && m_process.state() == QProcess::Running; }
    quint16 port() const { return m_port; }
    QString root() const { return m_root; }

private:
    QString m_root;
    QProcess m_process;
    quint16 m_port = 0;
};
