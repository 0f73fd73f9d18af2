#include <FtpTestServer.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// MD5 of the passphrase "739164", from md5sum.
const char* const kKeyHex = "b54fb69718582b956f15696a9ed014f0";

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// What openssl makes of the text: AES-128-ECB under the key, zero-padded to whole blocks by
// hand (openssl pads only the PKCS #7 way), then Base64 on one line.
QByteArray opensslStoredForm(const QByteArray& text)
{
    QByteArray padded = text;
    padded.append(QByteArray((16 - text.size() % 16) % 16, '\0'));
    QProcess p;
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("openssl enc -aes-128-ecb -nopad -K %1 | openssl base64 -A").arg(kKeyHex)});
    if (!p.waitForStarted(10000))
        return "openssl missing";
    p.write(padded);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}

const QString kHost = QStringLiteral("127.0.0.1");
const QString kUser = QStringLiteral("kelo");
const QString kPassword = QStringLiteral("p%41@:/x");

} // namespace

Q_DECLARE_METATYPE(FtpTestServer::Kind)

// The real server of the test row; the test skips where vsftpd cannot run.
#define START_REAL_SERVER(var, root, options)                                                                          \
    FtpTestServer var(root, options);                                                                                  \
    if (!var.unavailableReason().isEmpty())                                                                            \
        QSKIP(qPrintable(var.unavailableReason()));                                                                    \
    QVERIFY(var.isRunning())

namespace {
FtpTestServer::Options options()
{
    QFETCH_GLOBAL(FtpTestServer::Kind, kind);
    FtpTestServer::Options o;
    o.kind = kind;
    o.user = kUser;
    o.password = kPassword;
    o.authFailedDelay = 0; // a refusal then comes at once, well inside the call's time-out
    return o;
}
} // namespace

class tst_FtpIniFile : public QObject
{
    Q_OBJECT

private slots:
    // Every test runs against both real servers; those without a server simply run twice.
    void initTestCase_data()
    {
        QTest::addColumn<FtpTestServer::Kind>("kind");
        QTest::newRow("pyftpdlib") << FtpTestServer::Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << FtpTestServer::Kind::Vsftpd;
    }

    void keyIsTheDigestOfThePassphrase() { QCOMPARE(ProtocolManager::ftpIniKey().toHex(), QByteArray(kKeyHex)); }

    void encryptedRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("cipherBytes");
        QTest::newRow("INI with Chinese") << QStringLiteral("[Network]\nIP=127.0.0.1\n名称=测试\n") << 48;
        QTest::newRow("exactly 16 bytes") << QStringLiteral("0123456789abcdef") << 16;
        QTest::newRow("17 bytes") << QStringLiteral("0123456789abcdefg") << 32;
        QTest::newRow("one byte") << QStringLiteral("x") << 16;
    }

    void encryptedRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(int, cipherBytes);
        QTemporaryDir tmp;
        START_REAL_SERVER(server, tmp.path(), options());
        QVERIFY(QDir().mkpath(tmp.path() + "/conf")); // a server that does not fold ".." itself needs it
        server.handOver();
        QString content = text;
        QVERIFY(ProtocolManager::SetFtpIniFile(kHost, server.user(), kPassword, "/conf/../dev.ini", content, true,
                                               server.port()));
        QCOMPARE(content, text);
        const QByteArray stored = readAll(tmp.path() + "/dev.ini");
        QCOMPARE(QByteArray::fromBase64(stored).size(), cipherBytes);
        QCOMPARE(stored, opensslStoredForm(text.toLocal8Bit()));

        QString back = QStringLiteral("stale");
        QVERIFY(ProtocolManager::GetFtpIniFile(kHost, server.user(), kPassword, "/dev.ini", back, true, server.port()));
        QCOMPARE(back, text);
    }

    void plainStoreAndBase64Fetch()
    {
        QTemporaryDir tmp;
        START_REAL_SERVER(server, tmp.path(), options());
        QString text = QStringLiteral("[A]\nkey=值\n");
        QVERIFY(
            ProtocolManager::SetFtpIniFile(kHost, server.user(), kPassword, "plain.ini", text, false, server.port()));
        QCOMPARE(readAll(tmp.path() + "/plain.ini"), text.toUtf8());

        // A fetch always reads Base64, so the plain file does not come back as it was stored.
        QString back;
        QVERIFY(
            ProtocolManager::GetFtpIniFile(kHost, server.user(), kPassword, "plain.ini", back, false, server.port()));
        QVERIFY(back != text);
        const QByteArray decoded = QByteArray::fromBase64(text.toUtf8());
        QCOMPARE(back,
                 QString::fromUtf8(decoded.left(decoded.indexOf('\0') < 0 ? decoded.size() : decoded.indexOf('\0'))));

        // A Base64 file fetched without encryption is its text, up to the first zero byte.
        writeFile(tmp.path() + "/b64.ini", QByteArray("[B]\nx=1\n\0tail", 14).toBase64());
        QVERIFY(
            ProtocolManager::GetFtpIniFile(kHost, server.user(), kPassword, "/b64.ini", back, false, server.port()));
        QCOMPARE(back, QStringLiteral("[B]\nx=1\n"));
    }

    void emptyFileIsFetched()
    {
        QTemporaryDir tmp;
        START_REAL_SERVER(server, tmp.path(), options());
        writeFile(tmp.path() + "/empty.ini", QByteArray());
        QString back = QStringLiteral("stale");
        QVERIFY(
            ProtocolManager::GetFtpIniFile(kHost, server.user(), kPassword, "/empty.ini", back, false, server.port()));
        QVERIFY(back.isEmpty());
        QVERIFY(
            ProtocolManager::GetFtpIniFile(kHost, server.user(), kPassword, "/empty.ini", back, true, server.port()));
        QVERIFY(back.isEmpty());
    }

    void wrongKeyOrFlagIsNoError()
    {
        QTemporaryDir tmp;
        START_REAL_SERVER(server, tmp.path(), options());
        // Base64 of bytes that are not a whole number of cipher blocks: decodes to nothing.
        writeFile(tmp.path() + "/odd.ini", QByteArray("hello").toBase64());
        QString back = QStringLiteral("stale");
        QVERIFY(ProtocolManager::GetFtpIniFile(kHost, server.user(), kPassword, "/odd.ini", back, true, server.port()));
        QVERIFY(back.isEmpty());
    }

    void failures_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("path");
        QTest::newRow("file missing") << kPassword << "/nothing.ini";
        QTest::newRow("login refused") << "wrong"
                                       << "/there.ini";
        QTest::newRow("password percent-decoded would be refused") << "pA@:/x"
                                                                   << "/there.ini";
    }

    void failures()
    {
        QFETCH(QString, password);
        QFETCH(QString, path);
        QTemporaryDir tmp;
        START_REAL_SERVER(server, tmp.path(), options());
        writeFile(tmp.path() + "/there.ini", QByteArray("eA==")); // "x"
        QString back = QStringLiteral("stale");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!ProtocolManager::GetFtpIniFile(kHost, server.user(), password, path, back, false, server.port()));
        // Ended by the server's answer or at the latest by the call's own time-out (a refused
        // login through PAM takes about as long as that), never left hanging.
        QVERIFY(clock.elapsed() < ProtocolManager::kFtpIniTimeoutMs + 2000);
        QVERIFY(back.isEmpty());
        QString text = QStringLiteral("x");
        QVERIFY(ProtocolManager::SetFtpIniFile(kHost, server.user(), password, "/new.ini", text, false, server.port())
                == (password == kPassword));
    }

    void uploadRefusedByReadOnlyServer()
    {
        QTemporaryDir tmp;
        FtpTestServer::Options o = options();
        o.readOnly = true;
        START_REAL_SERVER(server, tmp.path(), o);
        QString text = QStringLiteral("x");
        QVERIFY(
            !ProtocolManager::SetFtpIniFile(kHost, server.user(), kPassword, "/new.ini", text, true, server.port()));
        QVERIFY(!QFile::exists(tmp.path() + "/new.ini"));
    }

    void nobodyListening()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        QString back = QStringLiteral("stale");
        QVERIFY(!ProtocolManager::GetFtpIniFile(kHost, kUser, kPassword, "/a.ini", back, false, port));
        QVERIFY(back.isEmpty());
    }

    void silentServerTimesOut()
    {
        // Accepts the connection and never greets: the call gives up after its time-out.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        QString back = QStringLiteral("stale");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!ProtocolManager::GetFtpIniFile(kHost, kUser, kPassword, "/a.ini", back, false, silent.serverPort()));
        QVERIFY(clock.elapsed() >= ProtocolManager::kFtpIniTimeoutMs - 200);
        QVERIFY(back.isEmpty());
        QString text = QStringLiteral("x");
        QVERIFY(!ProtocolManager::SetFtpIniFile(kHost, kUser, kPassword, "/a.ini", text, false, silent.serverPort()));
    }
};

QTEST_GUILESS_MAIN(tst_FtpIniFile)
#include "tst_FtpIniFile.moc"
