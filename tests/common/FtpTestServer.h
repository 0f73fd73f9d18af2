#pragma once

#include "TestAppDir.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include <signal.h>
#include <unistd.h>

// A real FTP server for one test, on a loopback address, serving the folder root(). Stopped
// when the object goes. Two servers are offered, so the client is held to more than one reading
// of the protocol:
// - pyftpdlib, with the user and password of the options, on a port of its own choosing;
// - Debian's vsftpd, logging in a throwaway local user (PAM, as on a real system) chrooted to
//   root(); the user is created for the server and removed with it, so user() and password()
//   are what a test must log in with. It needs real root (user switching and chroot); where that
//   is missing, unavailableReason() says why and the test skips.
struct FtpTestServerOptions
{
    enum class Kind { Pyftpdlib, Vsftpd };
    Kind kind = Kind::Pyftpdlib;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0;
    QString user = QStringLiteral("root"); // pyftpdlib only
    QString password = QStringLiteral("secret");
    bool readOnly = false;
    // pyftpdlib answers a refused login after this many seconds (vsftpd: PAM's own delay).
    double authFailedDelay = 3.0;
};

class FtpTestServer
{
public:
    using Options = FtpTestServerOptions;
    using Kind = Options::Kind;

    static QString kindName(Kind kind)
    {
        return kind == Kind::Vsftpd ? QStringLiteral("vsftpd") : QStringLiteral("pyftpdlib");
    }

    // Why vsftpd cannot run here, or an empty string.
    static QString vsftpdUnavailableReason()
    {
        if (!QFile::exists(QStringLiteral("/usr/sbin/vsftpd")))
            return QStringLiteral("vsftpd is not installed (scripts/deps installs it)");
        if (geteuid() != 0)
            return QStringLiteral("vsftpd needs root to switch to its local test user and chroot");
        QFile map(QStringLiteral("/proc/self/uid_map"));
        if (map.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> fields = map.readLine().simplified().split(' ');
            if (fields.size() != 3 || fields.at(0) != "0" || fields.at(1) != "0" || fields.at(2) != "4294967295")
                return QStringLiteral("this user namespace maps root only, so vsftpd cannot switch to a local user");
        }
        return QString();
    }

    explicit FtpTestServer(const QString& root, const Options& options = Options())
        : m_root(root)
        , m_kind(options.kind)
        , m_user(options.user)
        , m_password(options.password)
    {
        QDir().mkpath(root);
        qRegisterMetaType<QProcess::ExitStatus>();
        if (m_kind == Kind::Vsftpd)
            startVsftpd(options);
        else
            startPyftpdlib(options);
    }

    ~FtpTestServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            // vsftpd runs each session in a child of its own; the group takes them all.
            if (m_kind == Kind::Vsftpd && m_process.processId() > 0)
                ::kill(-pid_t(m_process.processId()), SIGKILL);
            m_process.kill();
            m_process.waitForFinished(10000);
        }
        if (m_userCreated)
            run(QStringLiteral("flock"), {lockFile(), QStringLiteral("userdel"), QStringLiteral("-f"), m_user});
    }

    bool isRunning() const { return m_port != 0 && m_process.state() == QProcess::Running; }
    quint16 port() const { return m_port; }
    QString root() const { return m_root; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    Kind kind() const { return m_kind; }
    QString unavailableReason() const { return m_unavailable; }

    // Files a test puts under root() itself become the login user's, as its uploads are.
    void handOver() const
    {
        if (m_kind == Kind::Vsftpd && m_userCreated)
            run(QStringLiteral("chown"), {QStringLiteral("-R"), m_user + QLatin1Char(':') + m_user, m_root});
    }

private:
    static QString lockFile() { return QDir::tempPath() + QStringLiteral("/kelo-ftp-test-users.lock"); }

    static bool run(const QString& program, const QStringList& args, const QByteArray& input = QByteArray())
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program, args);
        if (!p.waitForStarted(10000))
            return false;
        p.write(input);
        p.closeWriteChannel();
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    void startPyftpdlib(const Options& options)
    {
        QStringList args{QStringLiteral(KELO_SOURCE_DIR "/tests/common/ftpserver.py"),
                         QStringLiteral("--host"),
                         options.host,
                         QStringLiteral("--port"),
                         QString::number(options.port),
                         QStringLiteral("--root"),
                         m_root,
                         QStringLiteral("--user"),
                         options.user,
                         QStringLiteral("--password"),
                         options.password};
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

    void startVsftpd(const Options& options)
    {
        m_unavailable = vsftpdUnavailableReason();
        if (!m_unavailable.isEmpty() || !options.host.startsWith(QLatin1String("127.")))
            return;
        static QAtomicInt counter;
        m_user =
            QStringLiteral("keloftp%1x%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddOrdered(1));
        // A login shell from /etc/shells (PAM's pam_shells asks for one); no home is made.
        if (!run(QStringLiteral("flock"),
                 {lockFile(), QStringLiteral("useradd"), QStringLiteral("-M"), QStringLiteral("-U"),
                  QStringLiteral("-d"), m_root, QStringLiteral("-s"), QStringLiteral("/bin/sh"), m_user})) {
            m_unavailable = QStringLiteral("could not create the local test user");
            return;
        }
        m_userCreated = true;
        if (!run(QStringLiteral("flock"), {lockFile(), QStringLiteral("chpasswd")},
                 (m_user + QLatin1Char(':') + m_password + QLatin1Char('\n')).toUtf8())) {
            m_unavailable = QStringLiteral("could not set the test user's password");
            return;
        }
        handOver();
        // The user enters root() before the chroot: the test's own folders above it must let it pass.
        for (QDir up(m_root); up.cdUp() && up.absolutePath().startsWith(QDir::tempPath() + QLatin1Char('/'));)
            QFile::setPermissions(up.absolutePath(), QFile::permissions(up.absolutePath()) | QFile::ExeOther);

        m_config = std::make_unique<QTemporaryDir>();
        const QString empty = m_config->path() + QStringLiteral("/empty");
        QDir().mkpath(empty);
        quint16 port = options.port;
        if (port == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress(options.host), 0))
                return;
            port = probe.serverPort();
        }
        const QString conf = m_config->path() + QStringLiteral("/vsftpd.conf");
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write(QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=%1\nlisten_port=%2\nbackground=NO\n"
                               "anonymous_enable=NO\nlocal_enable=YES\nwrite_enable=%3\nlocal_umask=022\n"
                               "chroot_local_user=YES\nallow_writeable_chroot=YES\nlocal_root=%4\n"
                               "secure_chroot_dir=%5\npam_service_name=vsftpd\nuserlist_enable=NO\n"
                               "connect_from_port_20=NO\npasv_enable=YES\nport_enable=NO\n"
                               "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                               "xferlog_enable=NO\nsyslog_enable=NO\nvsftpd_log_file=/dev/null\n"
                               "ftpd_banner=kelo test server ready\n")
                    .arg(options.host)
                    .arg(port)
                    .arg(options.readOnly ? QStringLiteral("NO") : QStringLiteral("YES"))
                    .arg(m_root, empty)
                    .toUtf8());
        f.close();
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        // A session leader of its own, so the sessions it forks go with it.
        m_process.start(QStringLiteral("setsid"), {QStringLiteral("/usr/sbin/vsftpd"), conf});
        if (!m_process.waitForStarted(10000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && m_process.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress(options.host), port);
            if (probe.waitForConnected(2000) && probe.waitForReadyRead(5000) && probe.readLine().startsWith("220")) {
                m_port = port;
                return;
            }
            QThread::msleep(50); // the server is still binding; nothing to wait on but time
        }
    }

    QString m_root;
    Kind m_kind;
    QString m_user;
    QString m_password;
    QString m_unavailable;
    bool m_userCreated = false;
    std::unique_ptr<QTemporaryDir> m_config;
    QProcess m_process;
    quint16 m_port = 0;
};
