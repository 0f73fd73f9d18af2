#include <ConfigSetting.h>
#include <FileLogger.h>
#include <FtpTestServer.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>
#include <UpdateTransport.h>

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// Brings the upload's result, emitted on the upload thread, into the test's thread.
using LinkTest::waitCount;

namespace {
bool makeBoardPackage(const QString& path)
{
    const QString py = QStringLiteral("import random, sys, zipfile\n"
                                      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                      "    z.writestr('zynq', random.Random(7).randbytes(400000))\n"
                                      "    z.writestr('flash.sh', b'#!/bin/sh\\n')\n");
    QProcess p;
    p.start(TestAppDir::python(), {QStringLiteral("-c"), py, path});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

bool sameBytes(const QString& a, const QString& b)
{
    QProcess p;
    p.start(QStringLiteral("cmp"), {QStringLiteral("-s"), a, b});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

FtpTestServer::Options boardServer(const QString& host, quint16 port)
{
    FtpTestServer::Options o;
    o.host = host;
    o.port = port;
    o.password = QStringLiteral("mint-oaf");
    return o;
}
} // namespace

class tst_FirmwareBoards : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = LinkTest::appWithLog();
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        QSignalSpy net(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        ProtocolManager::instance()->ConnectTcp("127.0.0.1", m_sim->port());
        QVERIFY(waitCount(net, 1));
        QCOMPARE(net.at(0).at(0).toBool(), true);
        m_package = m_app->root() + "/zynq.zip";
        QVERIFY(makeBoardPackage(m_package));
    }

    void init() { ConfigSetting::instance()->configMode.clear(); }

    void boardByBoard_data()
    {
        QTest::addColumn<int>("boards");
        QTest::addColumn<bool>("secondServerUp");
        QTest::addColumn<bool>("expected");
        QTest::newRow("two boards, both answer") << 2 << true << true;
        QTest::newRow("two boards, the second is missing") << 2 << false << false;
        QTest::newRow("no boards, nothing to upload") << 0 << true << true;
    }

    void boardByBoard()
    {
        QFETCH(int, boards);
        QFETCH(bool, secondServerUp);
        QFETCH(bool, expected);
        setBoardCount(boards);

        // Board 1 answers at 127.0.0.2, board 2 at 127.0.0.3, one port for both.
        const QString tag = QString(QTest::currentDataTag()).replace(' ', '-').remove(',');
        FtpTestServer first(m_app->root() + "/b1-" + tag, boardServer("127.0.0.2", 0));
        QVERIFY(first.isRunning());
        std::unique_ptr<FtpTestServer> second;
        if (secondServerUp) {
            second =
                std::make_unique<FtpTestServer>(m_app->root() + "/b2-" + tag, boardServer("127.0.0.3", first.port()));
            QVERIFY(second->isRunning());
        }

        UpdateTransport update;
        update.setFtpPort(first.port());
        QVERIFY(update.SetUpdateFile(m_package));
        QCOMPARE(update.getFileType(), 3);
        QVERIFY(update.getHaveShell());
        QueuedSignalSpy result(&update, &UpdateTransport::ftpTransportResult);
        QVERIFY(update.UploadUpdateFile());
        QVERIFY(result.wait(60000));
        QCOMPARE(result.count(), 1);
        QCOMPARE(result.at(0).at(0).toBool(), expected);

        const QString remote = "/opt/update/ZynqUpdate.zip";
        QCOMPARE(sameBytes(m_package, first.root() + remote), boards > 0);
        if (second)
            QCOMPARE(sameBytes(m_package, second->root() + remote), boards > 1);
    }

    void updateCommandsPerBoard_data()
    {
        QTest::addColumn<QString>("configMode");
        QTest::newRow("separate boards") << "";
        QTest::newRow("CPCI still commands every board") << "CPCI";
    }

    void updateCommandsPerBoard()
    {
        QFETCH(QString, configMode);
        ConfigSetting::instance()->configMode = configMode;
        setBoardCount(2);
        UpdateTransport update;
        QVERIFY(update.SetUpdateFile(m_package));
        m_sim->clearRequests();
        QSignalSpy requests(m_sim.get(), &InstrumentSim::requestReceived);
        update.transportResult(false);
        update.transportResult(true);
        QList<InstrumentSim::Request> updates;
        QElapsedTimer clock;
        clock.start();
        while (updates.size() < 2 && clock.elapsed() < 20000) {
            requests.wait(1000);
            updates.clear();
            for (const auto& r : m_sim->requests())
                if (r.type == quint8(Msg_Type::System) && r.cmd == quint8(Msg_Cmd::DeviceUpdate))
                    updates << r;
        }
        QCOMPARE(updates.size(), 2);
        QCOMPARE(int(updates[0].card), 1);
        QCOMPARE(int(updates[1].card), 2);
        QCOMPARE(updates[0].payload, QByteArray("/opt/update/ZynqUpdate.zip"));
        QCOMPARE(updates[1].payload, QByteArray("/opt/update/ZynqUpdate.zip"));
    }

    void cleanupTestCase()
    {
        ProtocolManager::instance()->DisConnectTcp();
        m_sim.reset();
        m_app.reset();
    }

private:
    // The instrument reports `count` boards; the board count comes from its device information.
    void setBoardCount(int count)
    {
        QList<DeviceProfile::Board> boards;
        for (int i = 0; i < count; ++i)
            boards << DeviceProfile::Board{};
        m_sim->profile().boards = boards;
        QSignalSpy info(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceInfo);
        QVERIFY(ProtocolManager::instance()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(waitCount(info, 1));
        QCOMPARE(ProtocolManager::instance()->deviceInfo().Boards.size(), count);
    }

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    QString m_package;
};

QTEST_GUILESS_MAIN(tst_FirmwareBoards)
#include "tst_FirmwareBoards.moc"
