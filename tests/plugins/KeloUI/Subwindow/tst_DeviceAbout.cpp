#include <UiTestSupport.h>

#include <ConfigSetting.h>
#include <DeviceAbout.h>
#include <FtpTestServer.h>
#include <ProtocolManager.h>
#include <SimpleDropEvent.h>
#include <SystemLog.h>
#include <SystemSet2.h>
#include <TcpConnect.h>
#include <TestTime.h>
#include <UpdateTransport.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

using UiTest::child;

namespace {
// A stored ZIP package made by Python's zipfile, with `blob` bytes of filler.
bool makePackage(const QString& path, const QStringList& entries, int blob = 0)
{
    const QString py = QStringLiteral("import sys, random, zipfile\n"
                                      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:\n"
                                      "    for n in sys.argv[3:]:\n"
                                      "        z.writestr(n, ('payload of ' + n).encode())\n"
                                      "    if int(sys.argv[2]):\n"
                                      "        z.writestr('blob.bin', random.Random(1).randbytes(int(sys.argv[2])))\n");
    QProcess p;
    p.start(TestAppDir::python(), QStringList{"-c", py, path, QString::number(blob)} + entries);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

DeviceBoardInfo board(qint8 sMaj, qint8 sMin, qint16 sBuild, qint32 sRev, qint32 hw, qint8 fMaj, qint8 fMin,
                      qint16 fBuild, qint32 fRev)
{
    DeviceBoardInfo b;
    b.SoftMajor = sMaj;
    b.SoftMinor = sMin;
    b.SoftBuild = sBuild;
    b.SoftRevision = sRev;
    b.HardwareVersion = hw;
    b.FpgaMajor = fMaj;
    b.FpgaMinor = fMin;
    b.FpgaBuild = fBuild;
    b.FpgaRevision = fRev;
    return b;
}
} // namespace

class tst_DeviceAbout : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    ConfigSetting* c = nullptr;

    // The page builds its update group disabled and hidden; the tests below reach it as a
    // user would once it is made available.
    static void openUpdateGroup(DeviceAbout& page)
    {
        auto* group = child<QGroupBox>(page, "groupBox_update");
        group->setEnabled(true);
        group->show();
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        c = ConfigSetting::instance();
        ProtocolManager::instance()->setHeartbeatInterval(TestTime::ms(100));
        ProtocolManager::instance()->link()->setReconnectInterval(TestTime::ms(100));
        // Nobody listens here unless a test starts the simulator.
        c->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
        c->SetInit(ConfigKey::NetworkPort, "1");
    }
    void cleanup() { ProtocolManager::instance()->DisConnectTcp(); }

    void versionTexts_data()
    {
        QTest::addColumn<bool>("full");
        QTest::addColumn<QString>("software");
        QTest::addColumn<QString>("cards");
        QTest::newRow("short") << false << "VA.1.2.03"
                               << "[采集卡 1]\r\n硬件版本:V1.2\r\n软件版本:VA.2.0.07\r\nFPGA:VA.a.1b.0c\r\n\r\n"
                                  "[采集卡 2]\r\n硬件版本:Vffff.10\r\n软件版本:VA.255.9.123\r\nFPGA:VA.0.0.100\r\n\r\n";
        QTest::newRow("full")
            << true << "VA.1.2.03.4000000000"
            << "[采集卡 1]\r\n硬件版本:V1.2\r\n软件版本:VA.2.0.07.9\r\nFPGA:VA.a.1b.0c.ff\r\n\r\n"
               "[采集卡 2]\r\n硬件版本:Vffff.10\r\n软件版本:VA.255.9.123.0\r\nFPGA:VA.0.0.100.10\r\n\r\n";
    }
    void versionTexts()
    {
        QFETCH(bool, full);
        QFETCH(QString, software);
        QFETCH(QString, cards);
        DeviceInfo info;
        info.SoftMajor = 1;
        info.SoftMinor = 2;
        info.SoftBuild = 3;
        info.SoftRevision = qint32(4000000000u);
        info.Boards << board(2, 0, 7, 9, 0x00020001, 10, 27, 12, 255)
                    << board(qint8(255), 9, 123, 0, 0x0010FFFF, 0, 0, 256, 16);
        info.BoardNum = 2;
        QCOMPARE(DeviceAbout::softwareVersionText(info, full), software);
        QCOMPARE(DeviceAbout::cardVersionText(info, full), cards);
        QCOMPARE(DeviceAbout::cardVersionText(DeviceInfo(), full), QString());
        QCOMPARE(DeviceAbout::pcVersionText("20250811", full), QString(full ? "VB.1.2.11.20250811" : "VB.1.2.11"));
    }

    void buildDateFromTheCompilerText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("two-digit day") << QByteArray("Aug 11 2025") << QDate(2025, 8, 11);
        QTest::newRow("blank-padded day") << QByteArray("Jan  1 2026") << QDate(2026, 1, 1);
        QTest::newRow("december") << QByteArray("Dec 31 2024") << QDate(2024, 12, 31);
    }
    void buildDateFromTheCompilerText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QDate, date);
        QCOMPARE(DeviceAbout::parseBuildDate(text.constData()), date);
        QCOMPARE(DeviceAbout::GetBuildVersion().size(), 8);
        QVERIFY(DeviceAbout::GetBuildDateTime().isValid());
    }

    void pageHoldsSettingsAndLogAndHidesTheUpdateGroup()
    {
        c->SetInit(ConfigKey::ShowFullVersion, true);
        DeviceAbout page;
        QVERIFY(page.fullVersion());
        QCOMPARE(child<QLabel>(page, "label_Pc_Version")->text(), "VB.1.2.11." + DeviceAbout::GetBuildVersion());
        QCOMPARE(page.GetSystemSet2()->parentWidget(), child<QGroupBox>(page, "groupBox_3"));
        QCOMPARE(page.systemLog()->parentWidget(), child<QGroupBox>(page, "groupBox_4"));
        page.show();
        QVERIFY(!child<QGroupBox>(page, "groupBox_update")->isVisible());
        QVERIFY(!child<QGroupBox>(page, "groupBox_update")->isEnabled());
        for (const char* name : {"label_DeviceSN", "label_Soft_Version", "label_BoardCount"})
            QCOMPARE(child<QLabel>(page, name)->text(), QStringLiteral("--"));
        c->SetInit(ConfigKey::ShowFullVersion, QVariant());
        DeviceAbout shortPage;
        QCOMPARE(child<QLabel>(shortPage, "label_Pc_Version")->text(), QStringLiteral("VB.1.2.11"));
    }

    void deviceInformationFromTheSimulatorIsShown()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        sim.profile().boards[1].hardware = 0x00020001;
        c->SetInit(ConfigKey::NetworkPort, sim.port());
        QSignalSpy link(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        UiTest::DialogRecorder dialogs;
        DeviceAbout page;
        QVERIFY(UiTest::waitCount(link, 1));
        QSignalSpy info(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceInfo);
        ProtocolManager::instance()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device);
        QVERIFY(UiTest::waitCount(info, 1));
        QCOMPARE(child<QLabel>(page, "label_DeviceSN")->text(), QStringLiteral("KELO-SIM01"));
        QCOMPARE(child<QLabel>(page, "label_Soft_Version")->text(), QStringLiteral("VA.1.2.03"));
        QCOMPARE(child<QLabel>(page, "label_BoardCount")->text(), QStringLiteral("4"));
        QTest::mouseClick(child<QPushButton>(page, "pushButton_showHardVer"), Qt::LeftButton);
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("硬件版本信息"));
        QCOMPARE(dialogs.requests.at(0).type, 3);
        QCOMPARE(dialogs.requests.at(0).text,
                 QStringLiteral("[采集卡 1]\r\n硬件版本:V3.0\r\n软件版本:VA.2.0.01\r\nFPGA:VA.5.6.07\r\n\r\n"
                                "[采集卡 2]\r\n硬件版本:V1.2\r\n软件版本:VA.2.0.01\r\nFPGA:VA.5.6.07"));

        // A left double click on the controller caption asks for the plug-in versions.
        QTest::mouseDClick(child<QLabel>(page, "label_controlver"), Qt::RightButton);
        QTest::mouseDClick(child<QLabel>(page, "label_controlver"), Qt::LeftButton);
        QVERIFY(UiTest::waitRequest(sim, Msg_Type::System, Msg_Cmd::ServerPluginVersion));
        int asked = 0;
        for (const auto& r : sim.requests())
            asked += r.type == 1 && r.cmd == 17;
        QCOMPARE(asked, 1);
        // Without the link the double click says why nothing is asked.
        ProtocolManager::instance()->DisConnectTcp();
        QVERIFY(UiTest::waitCount(link, 2));
        QTest::mouseDClick(child<QLabel>(page, "label_controlver"), Qt::LeftButton);
        QCOMPARE(dialogs.requests.size(), 2);
        QCOMPARE(dialogs.requests.at(1).text, QStringLiteral("设备未连接，无法查询插件版本"));
    }

    void choosingAPackage_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("kind");
        QTest::newRow("control with script") << QStringList{"control", "run.sh"} << ".zip"
                                             << "控制卡更新包";
        QTest::newRow("zynq without script") << QStringList{"zynq"} << ".zip"
                                             << "采集卡更新包(无脚本)";
        QTest::newRow("front panel, upper-case suffix") << QStringList{"frontpanel", "control"} << ".ZIP"
                                                        << "前面板更新包(无脚本)";
        QTest::newRow("folder named control does not count") << QStringList{"control/", "zynq", "a.sh"} << ".zip"
                                                             << "采集卡更新包";
    }
    void choosingAPackage()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, suffix);
        QFETCH(QString, kind);
        UiTest::DialogRecorder dialogs;
        DeviceAbout page;
        openUpdateGroup(page);
        const QString path = m_app->root() + "/" + QTest::currentDataTag() + suffix;
        QVERIFY(makePackage(path, entries));
        page.CheckUpdateFile(path);
        QVERIFY(dialogs.requests.isEmpty());
        QCOMPARE(child<QLineEdit>(page, "lineEdit_update_file")->text(), path);
        QCOMPARE(child<QLabel>(page, "label_updatetype")->text(), kind);
        QVERIFY(child<QPushButton>(page, "pushButton_update")->isEnabled());
    }

    void refusedPackages()
    {
        UiTest::DialogRecorder dialogs;
        DeviceAbout page;
        openUpdateGroup(page);
        auto* field = child<QLineEdit>(page, "lineEdit_update_file");
        auto* send = child<QPushButton>(page, "pushButton_update");
        auto* kind = child<QLabel>(page, "label_updatetype");
        const QString good = m_app->root() + "/good.zip";
        QVERIFY(makePackage(good, {"control"}));
        page.CheckUpdateFile(good);
        QCOMPARE(kind->text(), QStringLiteral("控制卡更新包(无脚本)"));

        // A path that is no ZIP file clears the field, keeps the kind and the button.
        QFile text(m_app->root() + "/notes.txt");
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.close();
        for (const QString& bad : {text.fileName(), m_app->root() + "/missing.zip", QString()}) {
            dialogs.requests.clear();
            page.CheckUpdateFile(bad);
            QCOMPARE(dialogs.requests.size(), 1);
            QCOMPARE(dialogs.requests.at(0).type, 2);
            QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("无效的更新包"));
            QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("请选择正确ZIP格式的更新包"));
            QCOMPARE(field->text(), QString());
            QCOMPARE(kind->text(), QStringLiteral("控制卡更新包(无脚本)"));
            QVERIFY(send->isEnabled());
        }
        dialogs.requests.clear();
        send->click();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).type, 1);
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("打开更新ZIP包失败"));

        // A wrong package: a ZIP name over bytes that are no archive, or one without a kind entry.
        QFile junk(m_app->root() + "/junk.zip");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("this is not an archive");
        junk.close();
        const QString noKind = m_app->root() + "/nokind.zip";
        QVERIFY(makePackage(noKind, {"readme.txt"}));
        for (const QString& wrong : {junk.fileName(), noKind}) {
            dialogs.requests.clear();
            page.CheckUpdateFile(wrong);
            QCOMPARE(dialogs.requests.size(), 1);
            QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("请选择正确ZIP格式的更新包"));
            QVERIFY(!send->isEnabled());
        }
        // The service forgot the package accepted before.
        QCOMPARE(UpdateTransport::instance()->getFileType(), 0);
    }

    void droppedFilesUseTheFirstPath()
    {
        UiTest::DialogRecorder dialogs;
        DeviceAbout page;
        openUpdateGroup(page);
        const QString first = m_app->root() + "/drop one.zip";
        QVERIFY(makePackage(first, {"zynq"}));
        auto* field = child<QLineEdit>(page, "lineEdit_update_file");
        QMimeData mime;
        mime.setText(QUrl::fromLocalFile(first).toString() + "\r\n" + QUrl::fromLocalFile("/elsewhere/b.zip").toString()
                     + "\r\n");
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // The application routes a drop only to the target of a running drag, so the test hands
        // it to the page's filter as the routing would.
        QObject* filter = nullptr;
        for (QObject* o : field->children())
            if (dynamic_cast<SimpleDropEvent*>(o))
                filter = o;
        QVERIFY(filter);
        QVERIFY(filter->eventFilter(field, &drop));
        QVERIFY(dialogs.requests.isEmpty());
        QCOMPARE(field->text(), first);
        QCOMPARE(child<QLabel>(page, "label_updatetype")->text(), QStringLiteral("采集卡更新包(无脚本)"));
    }

    void firmwareUploadToAnFtpServer()
    {
        FtpTestServer::Options options;
        options.password = "wyke";
        FtpTestServer server(m_app->root() + "/ftp", options);
        QVERIFY(server.isRunning());
        c->configMode = QString();
        UpdateTransport::instance()->setFtpPort(server.port());
        UiTest::DialogRecorder dialogs;
        DeviceAbout page;
        openUpdateGroup(page);
        const QString path = m_app->root() + "/firmware.zip";
        QVERIFY(makePackage(path, {"control", "install.sh"}, 200000));
        page.CheckUpdateFile(path);
        auto* send = child<QPushButton>(page, "pushButton_update");
        QVERIFY(send->isEnabled());

        QueuedSignalSpy result(UpdateTransport::instance(), &UpdateTransport::ftpTransportResult);
        send->click();
        // One upload at a time.
        QVERIFY(!send->isEnabled());
        QVERIFY(result.wait(60000));
        QCoreApplication::processEvents(); // the page's queued slots
        QCOMPARE(result.at(0).at(0).toBool(), true);
        QCOMPARE(child<QProgressBar>(page, "progressBar")->value(), 100);
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).type, 3);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("上传结果"));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("发送更新包成功，等待设备更新"));
        QFile uploaded(server.root() + "/opt/update/SrvUpdate.zip");
        QVERIFY(uploaded.open(QIODevice::ReadOnly));
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QVERIFY(uploaded.readAll() == original.readAll());
        QVERIFY(send->isEnabled());
    }

    void progressInPercent_data()
    {
        QTest::addColumn<qint64>("sent");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("percent");
        QTest::newRow("nothing yet") << qint64(0) << qint64(3) << 0;
        QTest::newRow("half") << qint64(50000) << qint64(100000) << 50;
        QTest::newRow("two of three") << qint64(2) << qint64(3) << 66;
        QTest::newRow("beyond 2 GiB") << qint64(3) * 1024 * 1024 * 1024 << qint64(4) * 1024 * 1024 * 1024 << 75;
    }
    void progressInPercent()
    {
        QFETCH(qint64, sent);
        QFETCH(qint64, total);
        QFETCH(int, percent);
        DeviceAbout page;
        page.UpdateTransportProgress(sent, total);
        QCOMPARE(child<QProgressBar>(page, "progressBar")->value(), percent);
    }
};

QTEST_MAIN(tst_DeviceAbout)
#include "tst_DeviceAbout.moc"
