#include <ConfigSetting.h>
#include <FileLogger.h>
#include <FtpTestServer.h>
#include <TestAppDir.h>
#include <UpdateTransport.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <memory>

// Brings the upload's signals, emitted on worker threads, into the test's thread.
namespace {
// Packs the entries with Python's zipfile ("name/" is a folder entry); `blob` bytes of
// incompressible filler make the package span many chunks; with `exactSize` set an archive
// comment pads the package to exactly that many bytes.
bool makePackage(const QString& path, const QStringList& entries, int blob = 0, int exactSize = 0)
{
    const QString py = QStringLiteral("import io, os, random, sys, zipfile\n"
                                      "out, blob, exact = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])\n"
                                      "def build(comment):\n"
                                      "    buf = io.BytesIO()\n"
                                      "    with zipfile.ZipFile(buf, 'w', zipfile.ZIP_STORED) as z:\n"
                                      "        for n in sys.argv[4:]:\n"
                                      "            if n.endswith('/'):\n"
                                      "                z.writestr(zipfile.ZipInfo(n), b'')\n"
                                      "            else:\n"
                                      "                z.writestr(n, ('payload of ' + n + '\\n').encode())\n"
                                      "        if blob:\n"
                                      "            z.writestr('blob.bin', random.Random(1).randbytes(blob))\n"
                                      "        z.comment = comment\n"
                                      "    return buf.getvalue()\n"
                                      "data = build(b'')\n"
                                      "if exact:\n"
                                      "    data = build(b'x' * (exact - len(data)))\n"
                                      "open(out, 'wb').write(data)\n");
    QProcess p;
    p.start(TestAppDir::python(),
            QStringList{"-c", py, path, QString::number(blob), QString::number(exactSize)} + entries);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

// cmp(1) decides whether the server's copy is the package, byte for byte.
bool sameBytes(const QString& a, const QString& b)
{
    QProcess p;
    p.start(QStringLiteral("cmp"), {QStringLiteral("-s"), a, b});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

class tst_UpdateTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        FileLogger::instance();
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
    }

    void init() { ConfigSetting::instance()->configMode.clear(); }

    void classification_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("shell");
        QTest::newRow("control") << QStringList{"control"} << true << 1 << false;
        QTest::newRow("frontpanel") << QStringList{"frontpanel"} << true << 2 << false;
        QTest::newRow("zynq") << QStringList{"zynq"} << true << 3 << false;
        QTest::newRow("first kind in file order wins") << QStringList{"zynq", "control"} << true << 3 << false;
        QTest::newRow("control before zynq") << QStringList{"control", "zynq"} << true << 1 << false;
        QTest::newRow("case matters") << QStringList{"Control"} << false << 0 << false;
        QTest::newRow("a folder named zynq selects nothing") << QStringList{"zynq/"} << false << 0 << false;
        QTest::newRow("only whole names count") << QStringList{"control/run", "xfrontpanel"} << false << 0 << false;
        QTest::newRow("script before the kind") << QStringList{"scripts/update.sh", "control"} << true << 1 << true;
        QTest::newRow("script after the kind") << QStringList{"frontpanel", "post.sh"} << true << 2 << true;
        QTest::newRow("short name is no script") << QStringList{"ab", "zynq"} << true << 3 << false;
        QTest::newRow("upper-case suffix is no script") << QStringList{"run.SH", "zynq"} << true << 3 << false;
        QTest::newRow("bare .sh counts") << QStringList{".sh", "zynq"} << true << 3 << true;
        QTest::newRow("script without a kind") << QStringList{"update.sh"} << false << 0 << true;
    }

    void classification()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, accepted);
        QFETCH(int, kind);
        QFETCH(bool, shell);
        const QString path = m_app->root() + "/pkg.zip";
        QVERIFY(makePackage(path, entries));
        UpdateTransport update;
        QCOMPARE(update.SetUpdateFile(path), accepted);
        QCOMPARE(update.getFileType(), kind);
        QCOMPARE(update.getHaveShell(), shell);
        if (!accepted)
            QVERIFY(!update.UploadUpdateFile());
    }

    void refusedFiles()
    {
        UpdateTransport update;
        const QString good = m_app->root() + "/good.zip";
        QVERIFY(makePackage(good, {"control"}));
        QVERIFY(update.SetUpdateFile(good));
        QCOMPARE(update.getFileType(), 1);

        // A refused file drops the package accepted before it.
        QFile empty(m_app->root() + "/empty.zip");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(!update.SetUpdateFile(empty.fileName()));
        QCOMPARE(update.getFileType(), 0);
        QVERIFY(!update.UploadUpdateFile());

        QFile cut(m_app->root() + "/cut.zip");
        QFile whole(good);
        QVERIFY(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
        cut.write(whole.read(whole.size() - 3));
        cut.close();
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QVERIFY(!update.SetUpdateFile(cut.fileName()));
        QVERIFY(!log.isEmpty()); // the reason is in the log
        QVERIFY(!update.SetUpdateFile(m_app->root() + "/missing.zip"));
        QVERIFY(!update.SetUpdateFile(QString()));
    }

    void boardAddresses_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("expected");
        QTest::newRow("next addresses") << "192.168.1.10" << 2 << "192.168.1.12";
        QTest::newRow("up to 255") << "10.0.0.250" << 5 << "10.0.0.255";
        QTest::newRow("past 255") << "10.0.0.250" << 6 << "";
        QTest::newRow("three parts") << "10.0.0" << 1 << "";
        QTest::newRow("empty part") << "10..0.1" << 1 << "";
        QTest::newRow("not a number") << "10.0.0.x" << 1 << "";
    }

    void boardAddresses()
    {
        QFETCH(QString, base);
        QFETCH(int, offset);
        QFETCH(QString, expected);
        QCOMPARE(UpdateTransport::boardAddress(base, offset), expected);
    }

    void uploadsEachKind_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("configMode");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("remote");
        QTest::newRow("control unit") << "control"
                                      << ""
                                      << "wyke"
                                      << "/opt/update/SrvUpdate.zip";
        QTest::newRow("front panel") << "frontpanel"
                                     << "PLAYBACK"
                                     << "wyke"
                                     << "/opt/update/KeloUpdate.zip";
        QTest::newRow("control unit of a CPCI instrument") << "control"
                                                           << "CPCI"
                                                           << "mint-oaf"
                                                           << "/opt/update/SrvUpdate.zip";
        QTest::newRow("boards of a CPCI instrument") << "zynq"
                                                     << "CPCI"
                                                     << "mint-oaf"
                                                     << "/opt/update/ZynqUpdate.zip";
    }

    void uploadsEachKind()
    {
        QFETCH(QString, entry);
        QFETCH(QString, configMode);
        QFETCH(QString, password);
        QFETCH(QString, remote);
        ConfigSetting::instance()->configMode = configMode;
        FtpTestServer::Options options;
        options.password = password;
        FtpTestServer server(m_app->root() + "/srv-" + QString(QTest::currentDataTag()).replace(' ', '-'), options);
        QVERIFY(server.isRunning());
        // An old package on the instrument is replaced.
        QDir().mkpath(server.root() + "/opt/update");
        QFile old(server.root() + remote);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(500000, 'o'));
        old.close();

        const QString path = m_app->root() + "/" + entry + ".zip";
        QVERIFY(makePackage(path, {entry, "install.sh"}, 300000));
        UpdateTransport update;
        update.setFtpPort(server.port());
        QVERIFY(update.SetUpdateFile(path));
        QVERIFY(update.getHaveShell());
        QueuedSignalSpy result(&update, &UpdateTransport::ftpTransportResult);
        QList<qint64> sent;
        qint64 total = -1;
        connect(
            &update, &UpdateTransport::ftpTransportProgress, this,
            [&](qint64 s, qint64 t) {
                sent << s; // the data thread runs one call at a time
                total = t;
            },
            Qt::DirectConnection);
        QVERIFY(update.UploadUpdateFile());
        QVERIFY(result.wait(60000));
        QCOMPARE(result.at(0).at(0).toBool(), true);
        QVERIFY(sameBytes(path, server.root() + remote));
        const qint64 size = QFileInfo(path).size();
        QCOMPARE(total, size);
        QCOMPARE(sent.first(), qint64(0));
        QCOMPARE(sent.last(), size);
        for (int i = 1; i + 1 < sent.size(); ++i)
            QCOMPARE(sent[i] - sent[i - 1], qint64(65535));
        QVERIFY(!update.isUploading());
    }

    void packageOfExactlyOneChunk()
    {
        FtpTestServer::Options options;
        options.password = "wyke";
        FtpTestServer server(m_app->root() + "/srv-chunk", options);
        QVERIFY(server.isRunning());
        const QString path = m_app->root() + "/chunk.zip";
        QVERIFY(makePackage(path, {"control"}, 1000, 65535));
        QCOMPARE(QFileInfo(path).size(), qint64(65535));
        UpdateTransport update;
        update.setFtpPort(server.port());
        QVERIFY(update.SetUpdateFile(path));
        QueuedSignalSpy result(&update, &UpdateTransport::ftpTransportResult);
        QList<QPair<qint64, qint64>> progress;
        connect(
            &update, &UpdateTransport::ftpTransportProgress, this,
            [&](qint64 s, qint64 t) { progress << qMakePair(s, t); }, Qt::DirectConnection);
        QVERIFY(update.UploadUpdateFile());
        QVERIFY(result.wait(60000));
        QCOMPARE(result.at(0).at(0).toBool(), true);
        QCOMPARE(progress, (QList<QPair<qint64, qint64>>{{0, 65535}, {65535, 65535}}));
        QVERIFY(sameBytes(path, server.root() + "/opt/update/SrvUpdate.zip"));
    }

    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("wrong password") << "password";
        QTest::newRow("read-only server") << "readonly";
        QTest::newRow("no server") << "none";
        QTest::newRow("package shrinks during the upload") << "shrink";
    }

    void failuresAreReported()
    {
        QFETCH(QString, what);
        FtpTestServer::Options options;
        options.password = what == "password" ? "not-wyke" : "wyke";
        options.readOnly = what == "readonly";
        std::unique_ptr<FtpTestServer> server;
        quint16 port = 0;
        if (what != "none") {
            server = std::make_unique<FtpTestServer>(m_app->root() + "/srv-" + what, options);
            QVERIFY(server->isRunning());
            port = server->port();
        } else {
            QTcpServer probe; // a port that was just free
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        const QString path = m_app->root() + "/fail-" + what + ".zip";
        QVERIFY(makePackage(path, {"control"}, 1 << 20));
        UpdateTransport update;
        update.setFtpPort(port);
        QVERIFY(update.SetUpdateFile(path));
        QueuedSignalSpy result(&update, &UpdateTransport::ftpTransportResult);
        if (what == "shrink") {
            // Between the first chunk and the second the file loses most of its bytes.
            connect(
                &update, &UpdateTransport::ftpTransportProgress, this,
                [path](qint64 sent, qint64) {
                    if (sent == 65535)
                        QFile::resize(path, 100000);
                },
                Qt::DirectConnection);
        }
        QVERIFY(update.UploadUpdateFile());
        QVERIFY(result.wait(60000));
        QCOMPARE(result.at(0).at(0).toBool(), false);
    }

    void oneUploadAtATime()
    {
        FtpTestServer::Options options;
        options.password = "wyke";
        FtpTestServer server(m_app->root() + "/srv-busy", options);
        QVERIFY(server.isRunning());
        const QString path = m_app->root() + "/busy.zip";
        QVERIFY(makePackage(path, {"frontpanel"}, 200000));
        UpdateTransport update;
        update.setFtpPort(server.port());
        QVERIFY(update.SetUpdateFile(path));
        QueuedSignalSpy result(&update, &UpdateTransport::ftpTransportResult);
        // The data thread is held at its first chunk while this thread tries to interfere.
        QSemaphore reached, release;
        connect(
            &update, &UpdateTransport::ftpTransportProgress, this,
            [&](qint64 sent, qint64) {
                if (sent == 0) {
                    reached.release();
                    release.acquire();
                }
            },
            Qt::DirectConnection);
        QVERIFY(update.UploadUpdateFile());
        QVERIFY(reached.tryAcquire(1, 30000));
        QVERIFY(update.isUploading());
        QVERIFY(!update.UploadUpdateFile());
        QVERIFY(!update.SetUpdateFile(path));
        QCOMPARE(update.getFileType(), 2); // the held package is untouched
        release.release();
        QVERIFY(result.wait(60000));
        QCOMPARE(result.at(0).at(0).toBool(), true);
        QVERIFY(sameBytes(path, server.root() + "/opt/update/KeloUpdate.zip"));
        // And again, from the first byte.
        QVERIFY(QFile::remove(server.root() + "/opt/update/KeloUpdate.zip"));
        QVERIFY(update.UploadUpdateFile());
        QVERIFY(reached.tryAcquire(1, 30000));
        release.release();
        QVERIFY(result.wait(60000));
        QCOMPARE(result.at(1).at(0).toBool(), true);
        QVERIFY(sameBytes(path, server.root() + "/opt/update/KeloUpdate.zip"));
    }

    void cleanupTestCase() { m_app.reset(); }

private:
    std::unique_ptr<TestAppDir> m_app;
};

QTEST_GUILESS_MAIN(tst_UpdateTransport)
#include "tst_UpdateTransport.moc"
