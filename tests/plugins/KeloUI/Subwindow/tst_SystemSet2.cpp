#include <UiTestSupport.h>

#include <AppPaths.h>
#include <BootScreen.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <SystemHandler.h>
#include <SystemSet2.h>
#include <TcpConnect.h>

#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(DeviceProfile::Board)

// Receives the URLs the page hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class tst_SystemSet2 : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    ConfigSetting* c = nullptr;

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    template <typename T>
    static T* child(QWidget& page, const char* name)
    {
        T* w = page.findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no %s on the page", name);
        return w;
    }
    void useSim(const QString& ip = QStringLiteral("127.0.0.1"))
    {
        c->SetInit("Network", "IP", ip);
        c->SetInit("Network", "Port", QString::number(m_sim->port()));
    }
    // A page whose first connection went through: the button reads "断开".
    std::unique_ptr<SystemSet2> connectedPage()
    {
        useSim();
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        auto page = std::make_unique<SystemSet2>();
        if (!UiTest::waitCount(link, 1) || !link.last().at(0).toBool())
            return nullptr;
        return page;
    }
    // True when no request of the type and command reached the simulator within two heartbeat
    // round-trips, long enough for a request sent before them to have arrived.
    bool nothingSent(quint8 type, quint8 cmd)
    {
        QSignalSpy beat(pm(), &ProtocolManager::HeartBeatMsg);
        UiTest::waitCount(beat, 2);
        return !UiTest::waitRequest(*m_sim, type, cmd, nullptr, 0);
    }
    static DeviceProfile::Board board(quint32 totalMb, quint32 freeMb, quint32 selfCheck = 0)
    {
        DeviceProfile::Board b;
        b.diskTotalMb = totalMb;
        b.diskFreeMb = freeMb;
        b.selfCheckError = selfCheck;
        return b;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        c = ConfigSetting::instance();
        pm()->setHeartbeatInterval(100);
        pm()->link()->setReconnectInterval(100);
    }
    void init()
    {
        m_sim = std::make_unique<InstrumentSim>();
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        c->deviceType = "Kelo";
    }
    void cleanup()
    {
        if (pm()->isConnected()) {
            QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
            pm()->DisConnectTcp();
            UiTest::waitCount(link, 1);
        } else {
            pm()->DisConnectTcp();
        }
        m_sim.reset();
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
    }

    void firstConnectionAtConstructionThenButtonTogglesTheLink()
    {
        useSim();
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        SystemSet2 page;
        auto* button = child<QPushButton>(page, "pbn_connect");
        // Pressed by the constructor: disabled until the link reports.
        QVERIFY(!button->isEnabled());
        QCOMPARE(c->GetInit("Network", "IP").toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(c->GetInit("Network", "Port").toString(), QString::number(m_sim->port()));
        QVERIFY(UiTest::waitCount(link, 1));
        QCOMPARE(link.last().at(0).toBool(), true);
        QCOMPARE(button->text(), QStringLiteral("断开"));
        QVERIFY(button->isEnabled());
        QVERIFY(child<QTabWidget>(page, "tabWidget_function")->isEnabled());
        QCOMPARE(m_sim->connectionCount(), 1);

        QSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!button->isEnabled());
        QVERIFY(UiTest::waitCount(link, 2));
        QCOMPARE(link.last().at(0).toBool(), false);
        QCOMPARE(button->text(), QStringLiteral("连接"));
        QVERIFY(button->isEnabled());
        QVERIFY(!child<QTabWidget>(page, "tabWidget_function")->isEnabled());
        bool logged = false;
        for (const auto& args : log)
            logged |= args.at(1).toString().endsWith(QStringLiteral("]手动断开连接"));
        QVERIFY(logged);

        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(UiTest::waitCount(link, 3));
        QCOMPARE(link.last().at(0).toBool(), true);
        QCOMPARE(m_sim->connectionCount(), 2);
    }

    void leadingZerosOfTheAddressAreDecimal()
    {
        // Octal reading would take 127.000.000.010 for 127.0.0.8.
        InstrumentSim other;
        QVERIFY(other.listen(QHostAddress("127.0.0.10"), 0));
        c->SetInit("Network", "IP", "127.000.000.010");
        c->SetInit("Network", "Port", other.port());
        QSignalSpy connected(&other, &InstrumentSim::clientConnected);
        SystemSet2 page;
        QVERIFY(UiTest::waitCount(connected, 1));
        QCOMPARE(c->GetInit("Network", "IP").toString(), QStringLiteral("127.0.0.10"));
        QTRY_COMPARE(child<QLineEdit>(page, "lineEdit_IP")->text(), QStringLiteral("127.0.0.10"));
    }

    void bootScreenAddressChangeReconnects()
    {
        auto page = connectedPage();
        QVERIFY(page);
        InstrumentSim second;
        QVERIFY(second.listen(QHostAddress("127.0.0.2"), 0));
        c->SetInit("Network", "IP", "127.0.0.2");
        c->SetInit("Network", "Port", second.port());
        QSignalSpy connected(&second, &InstrumentSim::clientConnected);
        emit BootScreen::instance()->ChangeConnectIP();
        QVERIFY(UiTest::waitCount(connected, 1));
        QTRY_COMPARE(child<QLineEdit>(*page, "lineEdit_IP")->text(), QStringLiteral("127.0.0.2"));
        QTRY_COMPARE(child<QPushButton>(*page, "pbn_connect")->text(), QStringLiteral("断开"));
    }

    void badAddressOrPortIsRefused_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::newRow("port 0") << "127.0.0.1" << "0";
        QTest::newRow("empty port") << "127.0.0.1" << "";
        QTest::newRow("port no number") << "127.0.0.1" << "50a0";
        QTest::newRow("port above 65535") << "127.0.0.1" << "65536";
        QTest::newRow("address part above 255") << "127.0.0.256" << "5000";
        QTest::newRow("host name") << "instrument.local" << "5000";
        QTest::newRow("empty address") << "" << "5000";
    }
    void badAddressOrPortIsRefused()
    {
        QFETCH(QString, ip);
        QFETCH(QString, port);
        c->SetInit("Network", "IP", ip);
        c->SetInit("Network", "Port", port);
        UiTest::DialogRecorder dialogs;
        QSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        SystemSet2 page;
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("错误"));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("请输入正确的IP地址或端口号！"));
        QCOMPARE(dialogs.requests.at(0).type, 1);
        auto* button = child<QPushButton>(page, "pbn_connect");
        QVERIFY(button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("连接"));
        QCOMPARE(c->GetInit("Network", "IP").toString(), ip);
        QCOMPARE(c->GetInit("Network", "Port").toString(), port);
        for (const auto& args : log)
            QVERIFY2(!args.at(1).toString().contains(QStringLiteral("开始连接网络")), qPrintable(args.at(1).toString()));
    }

    void networkSettingsReachTheInstrumentByteExact()
    {
        auto page = connectedPage();
        QVERIFY(page);
        QString shownTitle;
        SystemSet2::setInformationBox([&](QWidget*, const QString& title, const QString& text) {
            shownTitle = title + QLatin1Char('|') + text;
        });
        child<QLineEdit>(*page, "txt_IP")->setText("010.001.001.001");
        child<QLineEdit>(*page, "txt_NetMask")->setText("255.255.255.000");
        child<QLineEdit>(*page, "txt_Gateway")->setText("10.1.1.254");
        QSignalSpy result(pm(), &ProtocolManager::SetIPSuccess);
        QTest::mouseClick(child<QPushButton>(*page, "ptn_SetDeviceIP"), Qt::LeftButton);
        InstrumentSim::Request r;
        QVERIFY(UiTest::waitRequest(*m_sim, 1, 6, &r));
        // 10.1.1.1, 255.255.255.0 and 10.1.1.254, each u32 least significant byte first.
        QCOMPARE(r.payload.toHex(' '), QByteArray("01 01 01 0a 00 ff ff ff fe 01 01 0a"));
        QCOMPARE(c->GetInit("NewNetwork", "IP").toString(), QStringLiteral("010.001.001.001"));
        QCOMPARE(c->GetInit("NewNetwork", "NetMask").toString(), QStringLiteral("255.255.255.000"));
        QCOMPARE(c->GetInit("NewNetwork", "Gateway").toString(), QStringLiteral("10.1.1.254"));

        QVERIFY(UiTest::waitCount(result, 1));
        QCOMPARE(shownTitle, QStringLiteral("提示|修改设备IP成功，重启设备后生效"));
        QCOMPARE(c->GetInit("Network", "IP").toString(), QStringLiteral("10.1.1.1"));
        QCOMPARE(child<QLineEdit>(*page, "lineEdit_IP")->text(), QStringLiteral("10.1.1.1"));
        // The running link keeps its address.
        QVERIFY(pm()->isConnected());
        QCOMPARE(m_sim->connectionCount(), 1);
        SystemSet2::setInformationBox(nullptr);
    }

    void badNetworkFieldIsMarkedAndNothingSent_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("bad");
        QTest::newRow("address part 256") << QStringList{"256.1.1.1", "255.255.255.0", "10.1.1.254"} << 0;
        QTest::newRow("three parts") << QStringList{"10.1.1", "255.255.255.0", "10.1.1.254"} << 0;
        QTest::newRow("four digits") << QStringList{"10.1.1.0001", "255.255.255.0", "10.1.1.254"} << 0;
        QTest::newRow("mask with blank") << QStringList{"10.1.1.1", " 255.255.255.0", "10.1.1.254"} << 1;
        QTest::newRow("gateway empty") << QStringList{"10.1.1.1", "255.255.255.0", ""} << 2;
        QTest::newRow("gateway with letters") << QStringList{"10.1.1.1", "255.255.255.0", "10.1.1.a"} << 2;
    }
    void badNetworkFieldIsMarkedAndNothingSent()
    {
        QFETCH(QStringList, fields);
        QFETCH(int, bad);
        auto page = connectedPage();
        QVERIFY(page);
        c->SetInit("NewNetwork", "IP", QVariant());
        const QStringList names{"txt_IP", "txt_NetMask", "txt_Gateway"};
        for (int i = 0; i < 3; ++i) {
            auto* edit = child<QLineEdit>(*page, qPrintable(names.at(i)));
            edit->setText(fields.at(i));
            edit->setStyleSheet("untouched");
        }
        QTest::mouseClick(child<QPushButton>(*page, "ptn_SetDeviceIP"), Qt::LeftButton);
        for (int i = 0; i < 3; ++i) {
            auto* edit = child<QLineEdit>(*page, qPrintable(names.at(i)));
            if (i < bad)
                QCOMPARE(edit->styleSheet(), QStringLiteral("border-color:#B2B6B9;"));
            else if (i == bad) {
                QCOMPARE(edit->styleSheet(), QStringLiteral("border-color:#F50000;"));
                QCOMPARE(edit->toolTip(), QStringLiteral("IP不合法"));
            } else
                QCOMPARE(edit->styleSheet(), QStringLiteral("untouched"));
        }
        QVERIFY(!c->GetInit("NewNetwork", "IP").isValid());
        // A request that did go out would come back before this heartbeat round-trip ends.
        QSignalSpy beat(pm(), &ProtocolManager::HeartBeatMsg);
        QVERIFY(UiTest::waitCount(beat, 2));
        QVERIFY(!UiTest::waitRequest(*m_sim, 1, 6, nullptr, 0));
    }

    void clearAllAsksThenDeletesAndShowsCapacityPerBoard_data()
    {
        QTest::addColumn<QList<DeviceProfile::Board>>("boards");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("free");
        QTest::newRow("two boards, whole gigabytes")
            << QList<DeviceProfile::Board>{board(2097152, 1048576), board(1024, 0)} << "2048GB / 1GB"
            << "1024GB / 0GB";
        QTest::newRow("below a gigabyte rounds down")
            << QList<DeviceProfile::Board>{board(2047, 1023)} << "1GB" << "0GB";
        QTest::newRow("three boards")
            << QList<DeviceProfile::Board>{board(4096, 1024), board(8192, 2048), board(0, 0)}
            << "4GB / 8GB / 0GB" << "1GB / 2GB / 0GB";
    }
    void clearAllAsksThenDeletesAndShowsCapacityPerBoard()
    {
        QFETCH(QList<DeviceProfile::Board>, boards);
        QFETCH(QString, total);
        QFETCH(QString, free);
        auto page = connectedPage();
        QVERIFY(page);
        auto* totalLabel = child<QLabel>(*page, "label_TotalMemory");
        auto* freeLabel = child<QLabel>(*page, "label_SurplusMemory");
        QCOMPARE(totalLabel->text(), QStringLiteral("未连接设备"));
        QCOMPARE(freeLabel->text(), QStringLiteral("未连接设备"));
        m_sim->profile().boards = boards;
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        QSignalSpy volume(pm(), &ProtocolManager::ReceivedDiskVolume);
        QTest::mouseClick(child<QPushButton>(*page, "ptn_clear"), Qt::LeftButton);
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).kind, MessageDialog::Request::Ask);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("警告"));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("是否确认清空所有数据!"));
        QCOMPARE(dialogs.requests.at(0).type, 2);
        QCOMPARE(dialogs.requests.at(0).buttons, (QStringList{"确认", "取消"}));
        QVERIFY(UiTest::waitCount(volume, 1));
        // Delete-all first, then the capacity, both without payload and to the instrument.
        QList<InstrumentSim::Request> asked;
        for (const auto& r : m_sim->requests())
            if (r.type != 1 || r.cmd != 1)
                asked << r;
        QCOMPARE(asked.size(), 2);
        QCOMPARE(int(asked.at(0).type), 2);
        QCOMPARE(int(asked.at(0).cmd), 2);
        QCOMPARE(int(asked.at(1).type), 1);
        QCOMPARE(int(asked.at(1).cmd), 5);
        for (const auto& r : asked) {
            QCOMPARE(int(r.target), 2);
            QVERIFY(r.payload.isEmpty());
        }
        QCOMPARE(totalLabel->text(), total);
        QCOMPARE(freeLabel->text(), free);
    }

    void clearAllCancelledSendsNothing()
    {
        auto page = connectedPage();
        QVERIFY(page);
        UiTest::DialogRecorder dialogs;
        dialogs.answer = 1;
        m_sim->clearRequests();
        QTest::mouseClick(child<QPushButton>(*page, "ptn_clear"), Qt::LeftButton);
        QCOMPARE(dialogs.requests.size(), 1);
        QVERIFY(nothingSent(2, 2));
        QVERIFY(!UiTest::waitRequest(*m_sim, 1, 5, nullptr, 0));
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QStringLiteral("未连接设备"));
    }

    void deviceInformationShowsTotalAndSurplus()
    {
        auto page = connectedPage();
        QVERIFY(page);
        m_sim->profile().values[0] = 2047;
        m_sim->profile().values[1] = 1025 * 1024;
        QSignalSpy info(pm(), &ProtocolManager::UpdateDeviceInfo);
        pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device);
        QVERIFY(UiTest::waitCount(info, 1));
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QStringLiteral("1GB"));
        QCOMPARE(child<QLabel>(*page, "label_SurplusMemory")->text(), QStringLiteral("1025GB"));
        page->slot_update_availab_capacity(3 * 1024 + 1023);
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QStringLiteral("1GB"));
        QCOMPARE(child<QLabel>(*page, "label_SurplusMemory")->text(), QStringLiteral("3GB"));
        // The Core passes on no empty report; a list without boards empties both all the same.
        page->slot_core_ReceivedDiskVolume({});
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QString());
        QCOMPARE(child<QLabel>(*page, "label_SurplusMemory")->text(), QString());
    }

    void selfCheckShowsOneMessagePerBoard_data()
    {
        QTest::addColumn<QString>("deviceType");
        QTest::addColumn<QList<quint32>>("faults");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("types");
        QTest::newRow("board 0 sound, board 1 all three faults")
            << "Kelo" << QList<quint32>{0, 0x7}
            << QStringList{"[板卡 0]设备自检正常", "[板卡 1]\n射频模块故障\n硬盘故障\n无校准文件"}
            << QList<int>{3, 1};
        QTest::newRow("unknown bit shows the header alone")
            << "Kelo" << QList<quint32>{0x8} << QStringList{"[板卡 0]"} << QList<int>{1};
        QTest::newRow("disk and calibration, other bits ignored")
            << "Kelo" << QList<quint32>{0x80000006} << QStringList{"[板卡 0]\n硬盘故障\n无校准文件"} << QList<int>{1};
        QTest::newRow("transponder disk fault alone is silent")
            << "TRANS" << QList<quint32>{0x2} << QStringList{} << QList<int>{};
        QTest::newRow("transponder disk and RF faults shown")
            << "TRANS" << QList<quint32>{0x3} << QStringList{"[板卡 0]\n射频模块故障\n硬盘故障"} << QList<int>{1};
        QTest::newRow("disk fault alone shown on a recorder")
            << "Kelo" << QList<quint32>{0x2} << QStringList{"[板卡 0]\n硬盘故障"} << QList<int>{1};
    }
    void selfCheckShowsOneMessagePerBoard()
    {
        QFETCH(QString, deviceType);
        QFETCH(QList<quint32>, faults);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, types);
        c->deviceType = deviceType;
        auto page = connectedPage();
        QVERIFY(page);
        QList<DeviceProfile::Board> boards;
        for (quint32 f : faults)
            boards << board(1024, 1024, f);
        m_sim->profile().boards = boards;
        RunStatus::instance()->slot_GlobalStatus(SystemState::Error);
        UiTest::DialogRecorder dialogs;
        QSignalSpy results(pm(), &ProtocolManager::DeviceCheckResult);
        QTest::mouseClick(child<QPushButton>(*page, "pushButton_stateCheck"), Qt::LeftButton);
        InstrumentSim::Request r;
        QVERIFY(UiTest::waitRequest(*m_sim, 1, 15, &r));
        QVERIFY(r.payload.isEmpty());
        QVERIFY(UiTest::waitCount(results, faults.size()));
        // The page takes the results queued.
        QCoreApplication::processEvents();
        QTRY_COMPARE(dialogs.requests.size(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(dialogs.requests.at(i).kind, MessageDialog::Request::Show);
            QCOMPARE(dialogs.requests.at(i).title, QStringLiteral("自检结果"));
            QCOMPARE(dialogs.requests.at(i).text, texts.at(i));
            QCOMPARE(dialogs.requests.at(i).type, types.at(i));
        }
        const bool silencedDisk = deviceType == QLatin1String("TRANS") && faults == QList<quint32>{0x2};
        QCOMPARE(RunStatus::CurrentStatus(), silencedDisk ? SystemState::Idle : SystemState::Error);
    }

    // The page's own NTP server on port 123 answers Debian's ntpdate. Port 123 is shared by every
    // process of the machine, so the check runs this test program again inside a private network
    // namespace, where the loopback is its own.
    void pageServesNtpToARealClient()
    {
        if (qEnvironmentVariableIsSet("KELO_NTP_NAMESPACE")) {
            c->SetInit("Network", "Port", "0");
            UiTest::DialogRecorder dialogs;
            SystemSet2 page;
            QProcess client;
            QSignalSpy finished(&client, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
            client.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
                                                     QStringLiteral("PATH=$PATH:/usr/sbin:/sbin ntpdate -q 127.0.0.1")});
            QVERIFY(UiTest::waitCount(finished, 1, 30000));
            const QString out = QString::fromLocal8Bit(client.readAllStandardOutput());
            QVERIFY2(client.exitCode() == 0, qPrintable(out + client.readAllStandardError()));
            // "2026-12-08 22:40:01.123456 (+0000) +0.000123 +/- 0.000250 127.0.0.1 s2 no-leap"
            const QStringList words = out.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QVERIFY2(words.size() > 3 && qAbs(words.at(3).toDouble()) < 0.1, qPrintable(out));
            QVERIFY2(out.contains(QLatin1String(" s2 ")), qPrintable(out));
            return;
        }
        if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rn"), QStringLiteral("true")}) != 0)
            QSKIP("no user network namespaces here: port 123 cannot be given to the test");
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KELO_NTP_NAMESPACE"), QStringLiteral("1"));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral("unshare"),
                  {QStringLiteral("-rn"), QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                   QStringLiteral("PATH=$PATH:/usr/sbin:/sbin; export PATH; ip link set lo up && exec \"$0\" \"$@\""),
                   QCoreApplication::applicationFilePath(), QStringLiteral("pageServesNtpToARealClient")});
        QVERIFY(run.waitForFinished(60000));
        const QByteArray out = run.readAllStandardOutput() + run.readAllStandardError();
        QVERIFY2(run.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("PASS   : tst_SystemSet2::pageServesNtpToARealClient()"), out.constData());
    }

    void runStateGatesTheSettingButtons()
    {
        c->SetInit("Network", "Port", "0");
        UiTest::DialogRecorder dialogs;
        SystemSet2 page;
        auto* setIp = child<QPushButton>(page, "ptn_SetDeviceIP");
        auto* path = child<QPushButton>(page, "pbn_ChangePath");
        auto* clear = child<QPushButton>(page, "ptn_clear");
        for (SystemState s : {SystemState::Collecting, SystemState::Playback, SystemState::Forwarding,
                              SystemState::Uploading, SystemState::Downloading, SystemState::Regenerating}) {
            RunStatus::instance()->slot_GlobalStatus(s);
            QVERIFY(!setIp->isEnabled());
            QVERIFY(!path->isEnabled());
            QVERIFY(!clear->isEnabled());
            RunStatus::instance()->slot_GlobalStatus(quint8(s) % 2 ? SystemState::Idle : SystemState::Error);
            QVERIFY(setIp->isEnabled());
            QVERIFY(path->isEnabled());
            QVERIFY(clear->isEnabled());
        }
    }

    void transponderHidesDiskAndDataPath()
    {
        c->SetInit("Network", "Port", "0");
        UiTest::DialogRecorder dialogs;
        for (const QString type : {"TRANS", "Kelo"}) {
            c->deviceType = type;
            SystemSet2 page;
            page.show();
            const bool trans = type == QLatin1String("TRANS");
            for (const char* name : {"groupBox_disk", "groupBox_savepath"}) {
                auto* g = child<QGroupBox>(page, name);
                QCOMPARE(g->isVisible(), !trans);
                QCOMPARE(g->isEnabled(), !trans);
            }
        }
    }

    void dataPathChoice()
    {
        c->SetInit("Network", "Port", "0");
        UiTest::DialogRecorder dialogs;
        QTemporaryDir chosenDir;
        QString answer = chosenDir.path();
        QString caption, start;
        SystemSet2::setDirectoryChooser([&](QWidget*, const QString& cap, const QString& from) {
            caption = cap;
            start = from;
            return answer;
        });
        SystemSet2 page;
        QSignalSpy log(&page, &SystemSet2::PrintSystemLog);
        auto* shown = child<QLineEdit>(page, "txt_CurrentPath");
        QTest::mouseClick(child<QPushButton>(page, "pbn_ChangePath"), Qt::LeftButton);
        QCOMPARE(caption, QStringLiteral("请选择数据保存位置"));
        QCOMPARE(start, AppPaths::applicationDir());
        QCOMPARE(shown->text(), chosenDir.path());
        QCOMPARE(c->GetInit("DataSave", "path").toString(), chosenDir.path());
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.at(0).at(1).toString(), QStringLiteral("修改文件保存路径成功，Path:") + chosenDir.path());

        // Cancelled with a stored folder that exists: kept, nothing logged.
        answer.clear();
        QTest::mouseClick(child<QPushButton>(page, "pbn_ChangePath"), Qt::LeftButton);
        QCOMPARE(shown->text(), chosenDir.path());
        QCOMPARE(log.size(), 1);

        // Cancelled with a stored folder that is gone: back to the application directory.
        c->SetInit("DataSave", "path", chosenDir.path() + "/gone");
        QTest::mouseClick(child<QPushButton>(page, "pbn_ChangePath"), Qt::LeftButton);
        QCOMPARE(shown->text(), AppPaths::applicationDir());
        QCOMPARE(c->GetInit("DataSave", "path").toString(), AppPaths::applicationDir());
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(1).at(1).toString(), QStringLiteral("文件保存路径修改为默认路径，Path:") + AppPaths::applicationDir());
        SystemSet2::setDirectoryChooser(nullptr);
    }

    void openPathHandsALocalFileUrlToTheDesktop()
    {
        c->SetInit("Network", "Port", "0");
        c->SetInit("DataSave", "path", "/tmp/kelo data/#1");
        UiTest::DialogRecorder dialogs;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        SystemSet2 page;
        QTest::mouseClick(child<QPushButton>(page, "pbn_OpenPath"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(catcher.urls.at(0).isLocalFile());
        QCOMPARE(catcher.urls.at(0).toLocalFile(), QStringLiteral("/tmp/kelo data/#1"));
    }
};

QTEST_MAIN(tst_SystemSet2)
#include "tst_SystemSet2.moc"
