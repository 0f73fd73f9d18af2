#include <TestTime.h>
#include <UiTestSupport.h>
#include <UrlCatcher.h>

#include <AppPaths.h>
#include <BootScreen.h>
#include <ConfigSetting.h>
#include <FileLogger.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <RecordHandler.h>
#include <RunStatus.h>
#include <SystemHandler.h>
#include <SystemSet2.h>
#include <TcpConnect.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using UiTest::child;

Q_DECLARE_METATYPE(DeviceProfile::Board)
Q_DECLARE_METATYPE(QList<QList<quint32>>)

class tst_SystemSet2 : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    ConfigSetting* c = nullptr;

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    void useSim(const QString& ip = QStringLiteral("127.0.0.1"))
    {
        c->SetInit(ConfigKey::NetworkIp, ip);
        c->SetInit(ConfigKey::NetworkPort, QString::number(m_sim->port()));
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
    // True when no request of the type and command reached the simulator by the time the link
    // is quiet.
    bool nothingSent(Msg_Type type, Msg_Cmd cmd)
    {
        UiTest::waitQuiet(*m_sim);
        return !UiTest::waitRequest(*m_sim, type, cmd, nullptr, 0);
    }
    // A connected page after the device configuration has been fetched from the simulator,
    // whose store the caller has prepared. The page is not shown, so its tab buttons have no
    // area for a mouse click: the tests press them with click().
    std::unique_ptr<SystemSet2> loadedPage(const QString& variant)
    {
        c->configMode = variant;
        auto page = connectedPage();
        if (!page)
            return nullptr;
        QSignalSpy info(pm(), &ProtocolManager::UpdateDeviceInfo);
        pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device);
        if (!UiTest::waitCount(info, 1))
            return nullptr;
        if (!reload())
            return nullptr;
        return page;
    }
    // The values that a refresh of the loaded page reads back, one Update signal each.
    static int expectedRefreshes()
    {
        return int(pm()->IsBandwidthEnable()) + int(pm()->IsDopplerEnable()) + int(pm()->IsTranspondEnable())
             + 2 * int(pm()->IsGainControlEnable()) + int(pm()->IsFeedSwtichControlEnable());
    }
    // Counts the Update signals of the device values. A test waits for the reads of a refresh to
    // end, so that none of them is still retrying when the next step (or test) begins.
    struct RefreshCounter
    {
        QObject context;
        int count = 0;
        RefreshCounter()
        {
            ProtocolManager* p = pm();
            const auto bump = [this] { ++count; };
            QObject::connect(p, &ProtocolManager::UpdateTranspondDelay, &context, bump);
            QObject::connect(p, &ProtocolManager::UpdateDopplerValue, &context, bump);
            QObject::connect(p, &ProtocolManager::UpdateBandwidth, &context, bump);
            QObject::connect(p, &ProtocolManager::UpdateMGCValue, &context, bump);
            QObject::connect(p, &ProtocolManager::UpdateMGCStatus, &context, bump);
            QObject::connect(p, &ProtocolManager::UpdateFeedSwitchStatus, &context, bump);
        }
        bool waitFor(int n)
        {
            return QTest::qWaitFor([&] { return count >= n; }, 15000);
        }
    };
    // Fetches the device configuration again and waits for the page's refresh that follows.
    bool reload()
    {
        QSignalSpy done(pm(), &ProtocolManager::GetDeviceSettingsFinished);
        RefreshCounter refreshed;
        pm()->GetDeviceConfigSettingData();
        return UiTest::waitCount(done, 1) && refreshed.waitFor(expectedRefreshes());
    }
    QMap<QString, QString>& store() { return m_sim->profile().devConfig.values; }
    // The keys the PC asked the store for (gets) or wrote (sets) since the requests were cleared.
    QStringList configKeys(qint8 wantedOp) const
    {
        QStringList all;
        for (const auto& r : m_sim->requests()) {
            if (r.type != 1 || r.cmd != 12)
                continue;
            QDataStream in(r.payload);
            in.setByteOrder(QDataStream::LittleEndian);
            qint8 op = -1;
            QString group;
            QStringList keys;
            in >> op >> group >> keys;
            if (op == wantedOp)
                all << keys;
        }
        return all;
    }
    static QStringList tabNames(QTabWidget* tabs)
    {
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i)
            names << tabs->widget(i)->objectName();
        return names;
    }
    // Built-in bands 1 .. builtin, then the custom ones, in the simulator's store.
    void seedBands(int builtin, const QList<QPair<QString, quint32>>& custom)
    {
        m_sim->profile().devConfig.load(DevConfigStore::Profile::FullFeatured);
        QMap<QString, QString>& v = store();
        v.remove("Freq3/FreqName");
        int n = 0;
        const auto add = [&](const QString& name, quint32 hz, bool isCustom) {
            ++n;
            const QString p = QStringLiteral("Freq%1/").arg(n);
            v[p + "FreqName"] = name;
            v[p + "Freq"] = QString::number(hz);
            v[p + "Channel"] = "1";
            v[p + "Bit"] = "2";
            v[p + "Custom"] = isCustom ? "true" : "false";
        };
        for (int i = 1; i <= builtin; ++i)
            add(QStringLiteral("B%1").arg(i), 1500000000u + quint32(i), false);
        for (const auto& band : custom)
            add(band.first, band.second, true);
        v["Config/FreqNum"] = QString::number(n);
    }
    static QStringList rows(SystemSet2& page)
    {
        auto* model = qobject_cast<QStandardItemModel*>(child<QListView>(page, "listView_cst")->model());
        QStringList texts;
        for (int i = 0; model && i < model->rowCount(); ++i) {
            const QStandardItem* item = model->item(i);
            texts << item->text();
            if (item->data(528).toString() + "(" + QString::number(item->data(529).toUInt()) + ")" != item->text())
                texts << "row data differs from its text";
        }
        return texts;
    }
    static void add(SystemSet2& page, const QString& name, const QString& freq)
    {
        child<QLineEdit>(page, "lineEdit_cst_name")->setText(name);
        child<QLineEdit>(page, "lineEdit_cst_freq")->setText(freq);
        child<QPushButton>(page, "pushButton_cst_add")->click();
    }
    static RecordEx recordWithBands(const QList<quint32>& bands)
    {
        RecordEx r;
        r.setSectionValue("Record", "FreqNum", bands.size());
        for (int i = 0; i < bands.size(); ++i)
            r.setSectionValue(QStringLiteral("Freq%1").arg(i + 1), "Num", bands.at(i));
        return r;
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
        pm()->setHeartbeatInterval(TestTime::ms(100));
        pm()->link()->setReconnectInterval(TestTime::ms(100));
    }
    void init()
    {
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        c->deviceType = "Kelo";
        c->configMode = "518";
    }
    void cleanup()
    {
        UiTest::disconnect();
        m_sim.reset();
        LinkTest::resetRunState();
        pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        pm()->setClearWaitForTest(TestTime::ms(ProtocolManager::kClearWaitMs));
    }

    void firstConnectionAtConstructionThenButtonTogglesTheLink()
    {
        useSim();
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        SystemSet2 page;
        QCOMPARE(child<QTabWidget>(page, "tabWidget_function")->currentIndex(), 0);
        auto* button = child<QPushButton>(page, "pbn_connect");
        // Pressed by the constructor: disabled until the link reports.
        QVERIFY(!button->isEnabled());
        QCOMPARE(c->GetInit(ConfigKey::NetworkIp).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(c->GetInit(ConfigKey::NetworkPort).toString(), QString::number(m_sim->port()));
        QVERIFY(UiTest::waitCount(link, 1));
        QCOMPARE(link.last().at(0).toBool(), true);
        QCOMPARE(button->text(), QStringLiteral("断开"));
        QVERIFY(button->isEnabled());
        QVERIFY(child<QTabWidget>(page, "tabWidget_function")->isEnabled());
        QCOMPARE(m_sim->connectionCount(), 1);

        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
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
        InstrumentSim other(InstrumentSim::Preset::Test);
        QVERIFY(other.listen(QHostAddress("127.0.0.10"), 0));
        c->SetInit(ConfigKey::NetworkIp, "127.000.000.010");
        c->SetInit(ConfigKey::NetworkPort, other.port());
        QSignalSpy connected(&other, &InstrumentSim::clientConnected);
        SystemSet2 page;
        QVERIFY(UiTest::waitCount(connected, 1));
        QCOMPARE(c->GetInit(ConfigKey::NetworkIp).toString(), QStringLiteral("127.0.0.10"));
        QTRY_COMPARE(child<QLineEdit>(page, "lineEdit_IP")->text(), QStringLiteral("127.0.0.10"));
    }

    void bootScreenAddressChangeReconnects()
    {
        auto page = connectedPage();
        QVERIFY(page);
        InstrumentSim second(InstrumentSim::Preset::Test);
        QVERIFY(second.listen(QHostAddress("127.0.0.2"), 0));
        c->SetInit(ConfigKey::NetworkIp, "127.0.0.2");
        c->SetInit(ConfigKey::NetworkPort, second.port());
        QSignalSpy connected(&second, &InstrumentSim::clientConnected);
        emit BootScreen::instance()->ChangeConnectIP();
        QVERIFY(UiTest::waitCount(connected, 1));
        QTRY_COMPARE(child<QLineEdit>(*page, "lineEdit_IP")->text(), QStringLiteral("127.0.0.2"));
        QTRY_COMPARE(child<QPushButton>(*page, "pbn_connect")->text(), QStringLiteral("断开"));
    }

    void bootScreenReconnectRefusesABadPort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("port above 65535, not cut to 16 bits") << "70000";
        QTest::newRow("port no number") << "50a0";
    }
    void bootScreenReconnectRefusesABadPort()
    {
        QFETCH(QString, port);
        auto page = connectedPage();
        QVERIFY(page);
        c->SetInit(ConfigKey::NetworkPort, port);
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        emit BootScreen::instance()->ChangeConnectIP();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("错误"));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("请输入正确的IP地址或端口号！"));
        // The running link is left as it was.
        QVERIFY(!link.wait(300));
        QVERIFY(pm()->isConnected());
        QCOMPARE(m_sim->connectionCount(), 1);
        for (const auto& args : log)
            QVERIFY2(!args.at(1).toString().contains(QStringLiteral("开始连接网络")),
                     qPrintable(args.at(1).toString()));
    }

    void failedAddressLeavesTheButtonToCorrectIt()
    {
        auto page = connectedPage();
        QVERIFY(page);
        auto* button = child<QPushButton>(*page, "pbn_connect");
        auto* portEdit = child<QLineEdit>(*page, "lineEdit_Port");
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        m_sim->setRefusing(true);
        m_sim->closeConnection();
        QVERIFY(UiTest::waitCount(link, 1));
        QCOMPARE(button->text(), QStringLiteral("连接"));
        // A port nothing listens on: the link thread retries it for ever.
        quint16 deadPort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            deadPort = probe.serverPort();
        }
        portEdit->setText(QString::number(deadPort));
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy failed(pm(), &ProtocolManager::ConnectFailed);
        button->click();
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), TestTime::ms(10000));
        QCOMPARE(button->text(), QStringLiteral("连接"));
        // Each failed attempt is counted beside the button, which says that it goes on trying;
        // the log has one line for the run of failures.
        QVERIFY(UiTest::waitCount(failed, 2));
        const QString target = QStringLiteral("127.0.0.1:%1").arg(deadPort);
        auto* state = child<QLabel>(*page, "label_linkState");
        QVERIFY(!state->isHidden());
        QTRY_VERIFY(state->text().startsWith(
            QStringLiteral("连接 %1 失败（%2 次），每 3 秒自动重试。").arg(target).arg(failed.size())));
        int lines = 0;
        for (const auto& args : log)
            lines += args.at(1).toString().endsWith(QStringLiteral("连接设备 %1 失败，每 3 秒自动重试").arg(target));
        QCOMPARE(lines, 1);
        // Corrected, it connects.
        m_sim->setRefusing(false);
        portEdit->setText(QString::number(m_sim->port()));
        button->click();
        QVERIFY(UiTest::waitCount(link, 2));
        QCOMPARE(link.last().at(0).toBool(), true);
        QCOMPARE(button->text(), QStringLiteral("断开"));
        QCOMPARE(c->GetInit(ConfigKey::NetworkPort).toString(), QString::number(m_sim->port()));
    }

    void badAddressOrPortIsRefused_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::newRow("port 0") << "127.0.0.1"
                                << "0";
        QTest::newRow("empty port") << "127.0.0.1"
                                    << "";
        QTest::newRow("port no number") << "127.0.0.1"
                                        << "50a0";
        QTest::newRow("port above 65535") << "127.0.0.1"
                                          << "65536";
        QTest::newRow("address part above 255") << "127.0.0.256"
                                                << "5000";
        QTest::newRow("host name") << "instrument.local"
                                   << "5000";
        QTest::newRow("empty address") << ""
                                       << "5000";
    }
    void badAddressOrPortIsRefused()
    {
        QFETCH(QString, ip);
        QFETCH(QString, port);
        c->SetInit(ConfigKey::NetworkIp, ip);
        c->SetInit(ConfigKey::NetworkPort, port);
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        SystemSet2 page;
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("错误"));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("请输入正确的IP地址或端口号！"));
        QCOMPARE(dialogs.requests.at(0).type, 1);
        auto* button = child<QPushButton>(page, "pbn_connect");
        QVERIFY(button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("连接"));
        QCOMPARE(c->GetInit(ConfigKey::NetworkIp).toString(), ip);
        QCOMPARE(c->GetInit(ConfigKey::NetworkPort).toString(), port);
        for (const auto& args : log)
            QVERIFY2(!args.at(1).toString().contains(QStringLiteral("开始连接网络")),
                     qPrintable(args.at(1).toString()));
    }

    void networkSettingsReachTheInstrumentByteExact()
    {
        auto page = connectedPage();
        QVERIFY(page);
        QString shownTitle;
        UiTest::DialogRecorder dialogs;
        dialogs.respond = [&](const DialogSeam::Request& r) {
            if (r.kind == DialogSeam::Request::Show)
                shownTitle = r.title + QLatin1Char('|') + r.text;
            return 0;
        };
        child<QLineEdit>(*page, "txt_IP")->setText("010.001.001.001");
        child<QLineEdit>(*page, "txt_NetMask")->setText("255.255.255.000");
        child<QLineEdit>(*page, "txt_Gateway")->setText("10.1.1.254");
        QSignalSpy result(pm(), &ProtocolManager::SetIPSuccess);
        QTest::mouseClick(child<QPushButton>(*page, "ptn_SetDeviceIP"), Qt::LeftButton);
        InstrumentSim::Request r;
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::System, Msg_Cmd::SetIP, &r));
        // 10.1.1.1, 255.255.255.0 and 10.1.1.254, each u32 least significant byte first.
        QCOMPARE(r.payload.toHex(' '), QByteArray("01 01 01 0a 00 ff ff ff fe 01 01 0a"));
        QCOMPARE(c->GetInit(ConfigKey::NewNetworkIp).toString(), QStringLiteral("010.001.001.001"));
        QCOMPARE(c->GetInit(ConfigKey::NewNetworkNetMask).toString(), QStringLiteral("255.255.255.000"));
        QCOMPARE(c->GetInit(ConfigKey::NewNetworkGateway).toString(), QStringLiteral("10.1.1.254"));

        QVERIFY(UiTest::waitCount(result, 1));
        QCOMPARE(shownTitle, QStringLiteral("提示|修改设备IP成功，重启设备后生效"));
        QCOMPARE(c->GetInit(ConfigKey::NetworkIp).toString(), QStringLiteral("10.1.1.1"));
        QCOMPARE(child<QLineEdit>(*page, "lineEdit_IP")->text(), QStringLiteral("10.1.1.1"));
        // The running link keeps its address.
        QVERIFY(pm()->isConnected());
        QCOMPARE(m_sim->connectionCount(), 1);

        // A change that cannot be sent says so, whichever way it was pressed.
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        pm()->DisConnectTcp();
        QVERIFY(UiTest::waitCount(link, 1));
        page->on_ptn_SetDeviceIP_clicked();
        QCOMPARE(shownTitle, QStringLiteral("修改设备IP失败|网络发送失败，设备地址的配置未更改"));
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
        c->SetInit(ConfigKey::NewNetworkIp, QVariant());
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
        QVERIFY(!c->GetInit(ConfigKey::NewNetworkIp).isValid());
        QVERIFY(nothingSent(Msg_Type::System, Msg_Cmd::SetIP));
    }

    void clearAllAsksThenDeletesAndShowsCapacityPerBoard_data()
    {
        QTest::addColumn<QList<DeviceProfile::Board>>("boards");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("free");
        QTest::addColumn<int>("clearMs"); // 0: nothing held; else 4 GiB of records, cleared in that time
        QTest::addColumn<bool>("late");   // the clearing outlasts its wait
        // Written as every size in the program.
        QTest::newRow("two boards, a TB and a GB")
            << QList<DeviceProfile::Board>{board(2097152, 1048576), board(1024, 0)} << "硬盘1：2.000 TB\n硬盘2：1024 MB"
            << "硬盘1：1.000 TB\n硬盘2：0 MB" << 0 << false;
        QTest::newRow("below two gigabytes") << QList<DeviceProfile::Board>{board(2047, 1023)} << "1.999 GB"
                                             << "1023 MB" << 0 << false;
        QTest::newRow("three boards") << QList<DeviceProfile::Board>{board(4096, 1024), board(8192, 2048), board(0, 0)}
                                      << "硬盘1：4.000 GB\n硬盘2：8.000 GB\n硬盘3：0 MB"
                                      << "硬盘1：1024 MB\n硬盘2：2.000 GB\n硬盘3：0 MB" << 0 << false;
        QTest::newRow("figures asked once the clearing is over")
            << QList<DeviceProfile::Board>{board(2097152, 1048576), board(1024, 0)} << "硬盘1：2.000 TB\n硬盘2：1024 MB"
            << "硬盘1：1.002 TB\n硬盘2：1024 MB" << 300 << false;
        QTest::newRow("a clearing slower than any other answer is waited for")
            << QList<DeviceProfile::Board>{board(2097152, 1048576)} << "2.000 TB"
            << "1.004 TB" << 600 << false;
        // Its check's list comes while the disks are still being cleared: records remain, it says;
        // the clearing's answer comes after, the list asked then is empty, and the person is told
        // once that the records are gone after all. The figures are asked again each time.
        QTest::newRow("a clearing done after its check said records remain: corrected, figures asked again")
            << QList<DeviceProfile::Board>{board(2097152, 1048576)} << "2.000 TB"
            << "1.004 TB" << 600 << true;
    }
    void clearAllAsksThenDeletesAndShowsCapacityPerBoard()
    {
        QFETCH(QList<DeviceProfile::Board>, boards);
        QFETCH(QString, total);
        QFETCH(QString, free);
        QFETCH(int, clearMs);
        QFETCH(bool, late);
        auto page = connectedPage();
        QVERIFY(page);
        pm()->setReplyWaitForTest(TestTime::ms(200)); // an answer, but not a clearing, comes within this
        if (late)
            pm()->setClearWaitForTest(TestTime::ms(200));
        m_sim->handler<RecordHandler>(2)->seed(1);
        m_sim->handler<RecordHandler>(2)->records()[0].size = clearMs ? 4096 : 0;
        m_sim->handler<RecordHandler>(2)->faults().deleteAllMs = TestTime::ms(clearMs);
        // The record-list service, which fetches a check's list.
        RecordAssist::instance();
        auto* totalLabel = child<QLabel>(*page, "label_TotalMemory");
        auto* freeLabel = child<QLabel>(*page, "label_SurplusMemory");
        QCOMPARE(totalLabel->text(), QStringLiteral("未连接设备"));
        QCOMPARE(freeLabel->text(), QStringLiteral("未连接设备"));
        m_sim->profile().boards = boards;
        // The question counts the records of the instrument's last list.
        QSignalSpy listed(pm(), &ProtocolManager::RecordListMsg);
        pm()->SendCmd(Msg_Type::RecordedManager, Msg_Cmd::RecordList, Target_Dev::Device);
        QVERIFY(UiTest::waitCount(listed, 1));
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        QSignalSpy volume(pm(), &ProtocolManager::ReceivedDiskVolume);
        auto* clear = child<QPushButton>(*page, "ptn_clear");
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).kind, DialogSeam::Request::Ask);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("清空所有记录"));
        QCOMPARE(dialogs.requests.at(0).text,
                 QStringLiteral("是否确认清空设备上的所有记录？\n设备上现有 1 条记录，将全部删除，无法恢复。\n"
                                "电脑上的本地记录副本不受影响。"));
        QCOMPARE(dialogs.requests.at(0).type, 2);
        QCOMPARE(dialogs.requests.at(0).buttons, (QStringList{"是", "否"}));
        QVERIFY(dialogs.requests.at(0).destructive);
        // While the clearing waits its button is off with the reason; a press that comes another
        // way asks nothing, sends nothing and says why.
        QVERIFY(!clear->isEnabled());
        QCOMPARE(clear->toolTip(), QStringLiteral("等待设备应答…"));
        page->on_ptn_clear_clicked();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), 2, TestTime::ms(5000));
        QCOMPARE(dialogs.requests.takeLast().text, QStringLiteral("上一次请求尚未结束（等待设备应答…），本次未发送"));
        QVERIFY(UiTest::waitCount(volume, late ? 3 : 1));
        // Delete-all first, then the capacity (after the time-out, its check and the correction
        // as well when it came late), both without payload and to the instrument. The record
        // lists a check asks for aside.
        QList<InstrumentSim::Request> asked;
        for (const auto& r : m_sim->requests())
            if ((r.type != 1 || r.cmd != 1) && (r.type != 2 || r.cmd == 2))
                asked << r;
        QCOMPARE(asked.size(), late ? 4 : 2);
        QCOMPARE(int(asked.at(0).type), 2);
        QCOMPARE(int(asked.at(0).cmd), 2);
        QCOMPARE(int(asked.last().type), 1);
        QCOMPARE(int(asked.last().cmd), 5);
        for (const auto& r : asked) {
            QCOMPARE(int(r.target), 2);
            QVERIFY(r.payload.isEmpty());
        }
        QCOMPARE(totalLabel->text(), total);
        QCOMPARE(freeLabel->text(), free);
        QStringList told;
        for (int i = 1; i < dialogs.requests.size(); ++i)
            told << dialogs.requests.at(i).title + '|' + dialogs.requests.at(i).text;
        const QStringList expected =
            late ? QStringList{"清空所有记录|设备未及时应答，正在核对…",
                               "清空所有记录|设备未及时应答，已重新获取记录列表：\n设备上仍有 1 条记录",
                               "设备现况与此前告知不符|设备上此前的 1 条记录已全部清除（此前告知仍在设备上）"}
                 : QStringList{"清空所有记录|数据清空成功"};
        QCOMPARE(told, expected);
        QVERIFY(clear->isEnabled());
        QVERIFY(clear->toolTip().isEmpty());
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
        QVERIFY(nothingSent(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord));
        QVERIFY(!UiTest::waitRequest(*m_sim, Msg_Type::System, Msg_Cmd::DiskVolume, nullptr, 0));
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
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QStringLiteral("1.999 GB"));
        QCOMPARE(child<QLabel>(*page, "label_SurplusMemory")->text(), QStringLiteral("1.001 TB"));
        page->slot_update_availab_capacity(3 * 1024 + 1023);
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QStringLiteral("1.999 GB"));
        QCOMPARE(child<QLabel>(*page, "label_SurplusMemory")->text(), QStringLiteral("3.999 GB"));
        // The Core passes on no empty report; a list without boards empties both all the same.
        page->slot_core_ReceivedDiskVolume({});
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QString());
        QCOMPARE(child<QLabel>(*page, "label_SurplusMemory")->text(), QString());
    }

    void selfCheckShowsOneMessageForEveryBoard_data()
    {
        QTest::addColumn<QString>("deviceType");
        QTest::addColumn<QList<quint32>>("faults");
        QTest::addColumn<int>("silent"); // the first cards whose answers never come
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("types");
        QTest::newRow("board 0 sound, board 1 all three faults")
            << "Kelo" << QList<quint32>{0, 0x7} << 0
            << QStringList{"[采集卡 1]设备自检正常\n[采集卡 2]\n射频模块故障\n硬盘故障\n无校准文件"} << QList<int>{1};
        QTest::newRow("unknown bit shows the header alone")
            << "Kelo" << QList<quint32>{0x8} << 0 << QStringList{"[采集卡 1]"} << QList<int>{1};
        QTest::newRow("disk and calibration, other bits ignored")
            << "Kelo" << QList<quint32>{0x80000006} << 0 << QStringList{"[采集卡 1]\n硬盘故障\n无校准文件"}
            << QList<int>{1};
        // The person asked: the card is named, as sound.
        QTest::newRow("transponder disk fault alone is no fault")
            << "TRANS" << QList<quint32>{0x2} << 0 << QStringList{"[采集卡 1]设备自检正常"} << QList<int>{3};
        QTest::newRow("transponder disk and RF faults shown")
            << "TRANS" << QList<quint32>{0x3} << 0 << QStringList{"[采集卡 1]\n射频模块故障\n硬盘故障"}
            << QList<int>{1};
        QTest::newRow("disk fault alone shown on a recorder")
            << "Kelo" << QList<quint32>{0x2} << 0 << QStringList{"[采集卡 1]\n硬盘故障"} << QList<int>{1};
        QTest::newRow("four boards in one message")
            << "Kelo" << QList<quint32>{0, 0, 0x1, 0} << 0
            << QStringList{"[采集卡 1]设备自检正常\n[采集卡 2]设备自检正常\n[采集卡 3]\n射频模块故障\n[采集卡 "
                           "4]设备自检正常"}
            << QList<int>{1};
        QTest::newRow("a board that never answers is named")
            << "Kelo" << QList<quint32>{0, 0} << 1 << QStringList{"[采集卡 2]设备自检正常\n[采集卡 1]未应答"}
            << QList<int>{2};
    }
    void selfCheckShowsOneMessageForEveryBoard()
    {
        QFETCH(QString, deviceType);
        QFETCH(QList<quint32>, faults);
        QFETCH(int, silent);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, types);
        c->deviceType = deviceType;
        QList<DeviceProfile::Board> boards;
        for (quint32 f : faults)
            boards << board(1024, 1024, f);
        m_sim->profile().boards = boards;
        auto page = connectedPage();
        QVERIFY(page);
        // The round waits for as many boards as the instrument reported.
        QSignalSpy info(pm(), &ProtocolManager::UpdateDeviceInfo);
        pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device);
        QVERIFY(UiTest::waitCount(info, 1));
        QCOMPARE(int(pm()->deviceInfo().BoardNum), faults.size());
        RunStatus::instance()->slot_GlobalStatus(SystemState::Error);
        m_sim->faults().unsentReplies[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DeviceCheck))] = silent;
        pm()->setReplyWaitForTest(TestTime::ms(silent > 0 ? 400 : ProtocolManager::kReplyWaitMs));
        UiTest::DialogRecorder dialogs;
        QSignalSpy results(pm(), &ProtocolManager::DeviceCheckResult);
        QTest::mouseClick(child<QPushButton>(*page, "pushButton_stateCheck"), Qt::LeftButton);
        InstrumentSim::Request r;
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::System, Msg_Cmd::DeviceCheck, &r));
        QVERIFY(r.payload.isEmpty());
        QVERIFY(UiTest::waitCount(results, faults.size() - silent));
        // One message for the round, as soon as every board answered, or once its wait is over.
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), texts.size(), TestTime::ms(5000));
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(dialogs.requests.at(i).kind, DialogSeam::Request::Show);
            QCOMPARE(dialogs.requests.at(i).title, QStringLiteral("自检结果"));
            QCOMPARE(dialogs.requests.at(i).text, texts.at(i));
            QCOMPARE(dialogs.requests.at(i).type, types.at(i));
        }
        // The end of its wait tells it no second time.
        QTRY_VERIFY_WITH_TIMEOUT(!pm()->isOpen(Msg_Type::System, Msg_Cmd::DeviceCheck), TestTime::ms(15000));
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.requests.size(), texts.size());
        pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        const bool silencedDisk = deviceType == QLatin1String("TRANS") && faults == QList<quint32>{0x2};
        QCOMPARE(RunStatus::CurrentStatus(), silencedDisk ? SystemState::Idle : SystemState::Error);
    }

    // Pressed twice (once when answered late), each reply acts for its own request: what the
    // person is shown, and what the PC holds afterwards (the configured address, or the records).
    void eachReplyActsForItsOwnRequest_data()
    {
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("held");
        const auto row = [](const QString& name, const QString& press, const QString& refused, const QStringList& shown,
                            const QString& held) {
            QTest::newRow(qPrintable(name)) << press << refused << shown << held;
        };
        // A bare result cannot say which request it answers: a second press waits for the first.
        const QString a = "127.9.8.7", b = "127.9.8.99", ok = "提示|修改设备IP成功，重启设备后生效";
        for (const QString form : {"ip", "ip bare"}) {
            const QString how = form == "ip" ? ", address echoed" : ", bare result";
            row("set IP ok, a second press waits" + how, form, b, {ok}, a);
            row("set IP refused, a second press waits" + how, form, a, {}, "127.0.0.1");
            row("set IP ok, then refused in turn" + how, form + " in turn", b, {ok}, a);
        }
        QStringList rounds;
        for (int i = 0; i < 2; ++i)
            rounds << QStringLiteral("自检结果|[采集卡 1]\n射频模块故障\n[采集卡 2]\n射频模块故障\n"
                                     "[采集卡 3]\n射频模块故障\n[采集卡 4]\n射频模块故障");
        row("self-check twice", "check", "", rounds, "127.0.0.1");
        row("record information for another record first", "records", "", {}, "1704110400 1704110460");
        // The late answer is told as its own request's: the address the instrument took. Its time-out
        // is no failure yet: it stays open for one more wait.
        const auto took = [](const QString& address) {
            return "提示|设备在超时后接受了地址 " + address + "，重启设备后生效";
        };
        const auto refusedLate = [](const QString& address) {
            return "修改设备IP失败|设备在超时后拒绝了地址 " + address + "，设备地址的配置未更改";
        };
        row("set IP answered after its wait", "ip late", "", {took(a)}, a);
        // An instrument that is only slow: every answer in order, each past its wait. The next
        // change goes out once the one before is answered, and each answer is its own.
        row("slow instrument: the first taken, the second refused", "ip bare slow in turn", b,
            {took(a), refusedLate(b)}, a);
        row("slow instrument: the first refused, the second taken", "ip bare slow in turn", a,
            {refusedLate(a), took(b)}, b);
        // No answer in the quiet wait either: unknown, named, and the configuration keeps its
        // address; only then does the second go out. The held bare answer then comes just ahead
        // of the second's own and is taken for it (nothing in it says otherwise); both were taken.
        row("set IP: an answer held past the quiet wait ends unknown", "ip bare held in turn", "",
            {"修改设备IP|" + a + "：设备未应答，设备地址的配置未更改", ok}, b);
        row("self-check answered after its wait", "check late", "", {"设备自检失败|设备响应超时"}, "127.0.0.1");
        // The program's own check (transponder in error) is not the person's to be told about.
        row("automatic self-check answered after its wait", "auto check late", "", {}, "127.0.0.1");
    }
    void eachReplyActsForItsOwnRequest()
    {
        QFETCH(QString, press);
        QFETCH(QString, refused);
        QFETCH(QStringList, shown);
        QFETCH(QString, held);
        auto page = connectedPage();
        QVERIFY(page);
        const bool slow = press.contains("slow");
        const bool late = press.endsWith("late") || slow;
        const bool holds = press.contains("held");
        // Late answers come halfway through the quiet wait that follows the reply wait.
        m_sim->system().faults() = {ProtocolManager::ipString2Int(refused), !press.startsWith("ip bare"), 0,
                                    late ? TestTime::ms(600) : 0};
        m_sim->profile().boards = {board(1, 1, 1), board(1, 1, 1), board(1, 1, 1), board(1, 1, 1)};
        if (press == "check") {
            // A round is whole once as many boards answered as the instrument reported.
            QSignalSpy info(pm(), &ProtocolManager::UpdateDeviceInfo);
            pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device);
            QVERIFY(UiTest::waitCount(info, 1));
        }
        m_sim->handler<RecordHandler>(2)->seed(2);
        m_sim->handler<RecordHandler>(2)->faults().otherRecordFirst = true;
        if (holds)
            m_sim->faults().holdUntilNext[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::SetIP))] = 1;
        pm()->setReplyWaitForTest(TestTime::ms(late ? 400 : holds ? 300 : ProtocolManager::kReplyWaitMs));
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        child<QLineEdit>(*page, "txt_NetMask")->setText("255.0.0.0");
        child<QLineEdit>(*page, "txt_Gateway")->setText("127.0.0.1");
        auto* setIp = child<QPushButton>(*page, "ptn_SetDeviceIP");
        for (int i = 0; i < (late && !slow ? 1 : 2) && press != "records"; ++i) {
            child<QLineEdit>(*page, "txt_IP")->setText(i == 0 ? "127.9.8.7" : "127.9.8.99");
            if (i == 1 && press.endsWith("in turn"))
                QTRY_VERIFY_WITH_TIMEOUT(setIp->isEnabled(), TestTime::ms(10000));
            if (press == "auto check late")
                pm()->DeviceCheck(true);
            else
                child<QPushButton>(*page, press.startsWith("ip") ? "ptn_SetDeviceIP" : "pushButton_stateCheck")
                    ->click();
        }
        QStringList records;
        if (press == "records") {
            // A stalled refresh would sit out its step, far beyond the test's patience.
            QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
            RecordAssist::instance()->Records.clear();
            RecordAssist::instance()->setStepTimeout(TestTime::ms(60000));
            RecordAssist::instance()->SeachRecord();
            QVERIFY(UiTest::waitCount(ready, 1));
            for (const RecordEx& r : RecordAssist::instance()->Records)
                records << r.RecordValue(RecordKey::Name).toString();
        }
        // Late self-check results reach the PC and are dropped; the person was told once, before.
        // A late network result is told as its own request's; one held past its request's end is
        // taken for the next, whose own answer is then a stray.
        QTRY_COMPARE_WITH_TIMEOUT(
            LinkTest::logMessages(log, FileLogger::Warning).filter("收到未请求的设备应答，已丢弃[类型:1]").size(),
            press.endsWith("check late") ? 4
            : holds                      ? 1
                                         : 0,
            TestTime::ms(30000));
        QTRY_COMPARE_WITH_TIMEOUT(
            LinkTest::logMessages(log, FileLogger::Warning).filter("设备在超时后应答[类型:1][指令:6]").size(),
            press == "ip late" ? 1
            : slow             ? 2
                               : 0,
            TestTime::ms(30000));
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QCoreApplication::processEvents();
        pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        QStringList seen;
        for (const auto& r : dialogs.requests)
            seen << r.title + '|' + r.text;
        QCOMPARE(seen, shown);
        QCOMPARE(records.isEmpty() ? c->GetInit(ConfigKey::NetworkIp).toString() : records.join(' '), held);
    }

    // The page's own NTP server on port 123 answers Debian's ntpdate. Port 123 is shared by every
    // process of the machine, so the check runs this test program again inside a private network
    // namespace, where the loopback is its own.
    void pageServesNtpToARealClient()
    {
        if (qEnvironmentVariableIsSet("KELO_NTP_NAMESPACE")) {
            c->SetInit(ConfigKey::NetworkPort, "0");
            UiTest::DialogRecorder dialogs;
            SystemSet2 page;
            QProcess client;
            QSignalSpy finished(&client, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
            client.start(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), QStringLiteral("PATH=$PATH:/usr/sbin:/sbin ntpdate -q 127.0.0.1")});
            QVERIFY(UiTest::waitCount(finished, 1, TestTime::ms(30000)));
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

    void delayDisplayFollowsTheTransportMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ns to us") << 0 << "1500"
                                  << "( 1.50 μs )";
        QTest::newRow("ns to ms") << 0 << "2500000"
                                  << "( 2.50 ms )";
        QTest::newRow("below a microsecond") << 0 << "999"
                                             << "( 999.00 ns )";
        QTest::newRow("exactly a microsecond") << 0 << "1000"
                                               << "( 1.00 μs )";
        QTest::newRow("no number") << 0 << "12a"
                                   << "( 0.00 ns )";
        QTest::newRow("steps of 100/6 ns, to us") << 1 << "60"
                                                  << "( 1.00 μs )";
        QTest::newRow("steps of 100/6 ns") << 1 << "6"
                                           << "( 100.00 ns )";
        QTest::newRow("steps, fractional") << 1 << "1"
                                           << "( 16.67 ns )";
        QTest::newRow("unknown mode") << 2 << "1500"
                                      << "( 0.00 ns )";
    }
    void delayDisplayFollowsTheTransportMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        c->SetInit(ConfigKey::NetworkPort, "0");
        c->SetInit(ConfigKey::TransportMode, mode);
        UiTest::DialogRecorder dialogs;
        SystemSet2 page;
        c->SetInit(ConfigKey::TransportMode, 0);
        QCOMPARE(page.transportMode(), quint32(mode));
        child<QLineEdit>(page, "lineEdit_transpondDelay")->setText(text);
        QCOMPARE(child<QLabel>(page, "label_transpondDelay")->text(), shown);
    }

    void delayFieldTakesOnlyItsRangeExceptOnATransponder()
    {
        c->SetInit(ConfigKey::NetworkPort, "0");
        UiTest::DialogRecorder dialogs;
        for (const QString type : {"Kelo", "TRANS"}) {
            c->deviceType = type;
            SystemSet2 page;
            // The field's range is under test, not the link that keeps the tab off meanwhile.
            child<QTabWidget>(page, "tabWidget_function")->setEnabled(true);
            auto* edit = child<QLineEdit>(page, "lineEdit_transpondDelay");
            edit->clear();
            QTest::keyClicks(edit, "1200001");
            QCOMPARE(edit->text(),
                     type == QLatin1String("TRANS") ? QStringLiteral("1200001") : QStringLiteral("120000"));
        }
    }

    void tabsFollowCapabilitiesAndVariant_data()
    {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<bool>("selfCheck");
        QTest::addColumn<bool>("doppler");
        using P = DevConfigStore::Profile;
        QTest::newRow("everything, CPCI: output frequency, no transponder, no self-check")
            << int(P::FullFeatured) << "CPCI"
            << QStringList{"tab_bandwidth", "tab_gainpower", "tab_feedswitch", "tab_useroutputfrequency",
                           "tab_customfrequency"}
            << false << true;
        QTest::newRow("everything, 518: pulse tab")
            << int(P::FullFeatured) << "518" << QStringList{"tab_transpond",  "tab_bandwidth", "tab_gainpower",
                                                            "tab_feedswitch", "tab_pulse",     "tab_customfrequency"}
            << true << true;
        QTest::newRow("everything, LEO: no transponder")
            << int(P::FullFeatured) << "LEO"
            << QStringList{"tab_bandwidth", "tab_gainpower", "tab_feedswitch", "tab_customfrequency"} << true << true;
        QTest::newRow("transponder only")
            << int(P::Transponder) << "SCENE" << QStringList{"tab_transpond"} << true << true;
        QTest::newRow("gain control only, 518")
            << int(P::NoRateControl) << "518" << QStringList{"tab_gainpower", "tab_pulse"} << true << false;
        QTest::newRow("variant is case-sensitive")
            << int(P::FullFeatured) << "cpci"
            << QStringList{"tab_transpond", "tab_bandwidth", "tab_gainpower", "tab_feedswitch", "tab_customfrequency"}
            << true << true;
    }
    void tabsFollowCapabilitiesAndVariant()
    {
        QFETCH(int, profile);
        QFETCH(QString, variant);
        QFETCH(QStringList, tabs);
        QFETCH(bool, selfCheck);
        QFETCH(bool, doppler);
        m_sim->profile().devConfig.load(DevConfigStore::Profile(profile));
        auto page = loadedPage(variant);
        QVERIFY(page);
        QVERIFY(page->settingsLoaded());
        auto* tabWidget = child<QTabWidget>(*page, "tabWidget_function");
        QCOMPARE(tabNames(tabWidget), tabs);
        QCOMPARE(!child<QPushButton>(*page, "pushButton_stateCheck")->isHidden(), selfCheck);
        QCOMPARE(!child<QWidget>(*page, "widget_doppler")->isHidden(), doppler);
        QCOMPARE(child<QWidget>(*page, "widget_doppler")->isEnabled(), doppler);
        // The read button of the pulse tab has no work: hidden wherever the tab shows.
        if (tabs.contains("tab_pulse"))
            QVERIFY(child<QPushButton>(*page, "pushButton_pulse_get")->isHidden());
        auto* output = child<QComboBox>(*page, "comboBox_output_freq");
        const QString tip = child<QLabel>(*page, "label_ip_tip")->text();
        if (variant == QLatin1String("CPCI")) {
            QCOMPARE(output->count(), 4);
            const QStringList texts{"L1", "B1I", "B1C", "B3A/B3I"};
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(output->itemText(i), texts.at(i));
                QCOMPARE(output->itemData(i).toInt(), i + 1);
            }
            QCOMPARE(tip, QStringLiteral("注：设置IP前，请先确保所设IP的地址未被占用，否则设备无法启动"));
        } else {
            QCOMPARE(output->count(), 0);
            // The simulator reports two boards: the instrument takes three addresses.
            QCOMPARE(tip, QStringLiteral("注：设置IP前，请先确保所设IP开始 3 个IP地址未被占用，否则设备无法启动"));
        }
    }

    void regatingRestoresTabsAtTheEndAndDopplerStaysHidden()
    {
        auto page = loadedPage("SCENE");
        QVERIFY(page);
        auto* tabWidget = child<QTabWidget>(*page, "tabWidget_function");
        QCOMPARE(tabNames(tabWidget), (QStringList{"tab_transpond", "tab_bandwidth", "tab_gainpower", "tab_feedswitch",
                                                   "tab_customfrequency"}));
        QCOMPARE(tabWidget->tabText(0), QStringLiteral("转发时延"));
        m_sim->profile().devConfig.load(DevConfigStore::Profile::NoRateControl);
        QVERIFY(reload());
        QCOMPARE(tabNames(tabWidget), QStringList{"tab_gainpower"});
        QVERIFY(child<QWidget>(*page, "widget_doppler")->isHidden());
        m_sim->profile().devConfig.load(DevConfigStore::Profile::FullFeatured);
        QVERIFY(reload());
        QCOMPARE(tabNames(tabWidget), (QStringList{"tab_gainpower", "tab_bandwidth", "tab_transpond", "tab_feedswitch",
                                                   "tab_customfrequency"}));
        QCOMPARE(tabWidget->tabText(1), QStringLiteral("带宽设置"));
        QCOMPARE(tabWidget->tabText(2), QStringLiteral("转发时延"));
        QVERIFY(child<QWidget>(*page, "widget_doppler")->isHidden());
    }

    void bandwidthListAndBoundSampleRate()
    {
        store()["Bandwidth/BandwidthList"] = "62500000,125000000,20000000,30720000";
        store()["Bandwidth/Bandwidth"] = "125000000";
        store()["SampleRate/SampleRateList"] = "75000000,150000000";
        auto page = loadedPage("518");
        QVERIFY(page);
        auto* combo = child<QComboBox>(*page, "comboBox_bandwidth");
        auto* rate = child<QLabel>(*page, "label_bindSampleRate");
        // Each bandwidth in its shortest exact form, the item text and the current text alike.
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->itemText(0), QStringLiteral("62.5 MHz"));
        QCOMPARE(combo->itemText(1), QStringLiteral("125 MHz"));
        QCOMPARE(combo->itemText(2), QStringLiteral("20 MHz"));
        QCOMPARE(combo->itemText(3), QStringLiteral("30.72 MHz"));
        QCOMPARE(combo->itemData(0).toUInt(), 62500000u);
        QCOMPARE(combo->currentIndex(), 1);
        QVERIFY(!child<QWidget>(*page, "widget_bindSampleRate")->isHidden());
        QCOMPARE(rate->text(), QStringLiteral("150 MSPS"));
        combo->setCurrentIndex(0);
        QCOMPARE(rate->text(), QStringLiteral("75 MSPS"));
        // No rate for the third bandwidth: the label keeps what it showed.
        combo->setCurrentIndex(2);
        QCOMPARE(rate->text(), QStringLiteral("75 MSPS"));

        // The set writes the item's Hz value, says so; the instrument's answer selects it.
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        child<QPushButton>(*page, "pushButton_bandwidth")->click();
        QTRY_COMPARE(dialogs.texts(), QStringList{"带宽已设置为 20 MHz"});
        QCOMPARE(store().value("Bandwidth/Bandwidth"), QStringLiteral("20000000"));
        QCOMPARE(configKeys(1), QStringList{"Bandwidth/Bandwidth"});
        QCOMPARE(combo->currentText(), QStringLiteral("20 MHz"));

        // A value read back selects its item by value, and a set writes that value back.
        store()["Bandwidth/Bandwidth"] = "62500000";
        QSignalSpy update(pm(), &ProtocolManager::UpdateBandwidth);
        RefreshCounter refreshed;
        page->show();
        QVERIFY(refreshed.waitFor(expectedRefreshes()));
        QCOMPARE(update.size(), 1);
        QCOMPARE(update.last().at(0).toUInt(), 62500000u);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(combo->currentText(), QStringLiteral("62.5 MHz"));
        m_sim->clearRequests();
        child<QPushButton>(*page, "pushButton_bandwidth")->click();
        QTRY_COMPARE(configKeys(1), QStringList{"Bandwidth/Bandwidth"});
        QTRY_COMPARE(dialogs.texts().size(), 2);
        QCOMPARE(store().value("Bandwidth/Bandwidth"), QStringLiteral("62500000"));

        // A bandwidth outside the list selects nothing, and the set then writes nothing.
        store()["Bandwidth/Bandwidth"] = "50000000";
        page->hide();
        RefreshCounter again;
        page->show();
        QVERIFY(again.waitFor(expectedRefreshes()));
        QCOMPARE(combo->currentIndex(), -1);
        m_sim->clearRequests();
        child<QPushButton>(*page, "pushButton_bandwidth")->click();
        QCOMPARE(configKeys(1), QStringList{});
        QCOMPARE(store().value("Bandwidth/Bandwidth"), QStringLiteral("50000000"));
    }

    void unboundSampleRateHidesItsDisplay()
    {
        store()["SampleRate/BindBandwidth"] = "false";
        store()["Bandwidth/BandwidthList"] = "20000000,40000000";
        store()["SampleRate/SampleRateList"] = "50000000,100000000";
        auto page = loadedPage("518");
        QVERIFY(page);
        QVERIFY(child<QWidget>(*page, "widget_bindSampleRate")->isHidden());
        auto* rate = child<QLabel>(*page, "label_bindSampleRate");
        const QString before = rate->text();
        child<QComboBox>(*page, "comboBox_bandwidth")->setCurrentIndex(1);
        QCOMPARE(rate->text(), before);
    }

    void showingTheLoadedPageRefreshesWhatTheInstrumentOffers_data()
    {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QStringList>("keys");
        using P = DevConfigStore::Profile;
        QTest::newRow("everything") << int(P::FullFeatured) << QStringList{"Bandwidth/Bandwidth",
                                                                           "Transponder/Doppler",
                                                                           "Transponder/TranspondDelay",
                                                                           "MGC/MGC",
                                                                           "MGC/MGCMode",
                                                                           "FBPS/FBPS"};
        QTest::newRow("no bandwidth, no transponder") << int(P::NoRateControl) << QStringList{"MGC/MGC", "MGC/MGCMode"};
        QTest::newRow("transponder") << int(P::Transponder)
                                     << QStringList{"Transponder/Doppler", "Transponder/TranspondDelay"};
    }
    void showingTheLoadedPageRefreshesWhatTheInstrumentOffers()
    {
        QFETCH(int, profile);
        QFETCH(QStringList, keys);
        m_sim->profile().devConfig.load(DevConfigStore::Profile(profile));
        auto page = loadedPage("518");
        QVERIFY(page);
        m_sim->clearRequests();
        RefreshCounter refreshed;
        page->show();
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::System, Msg_Cmd::DiskVolume));
        // The Core retries a read while another one waits, so a key may be asked more than once.
        const auto asked = [this] {
            QStringList distinct = configKeys(0);
            distinct.removeDuplicates();
            distinct.sort();
            return distinct;
        };
        keys.sort();
        QVERIFY(refreshed.waitFor(keys.size()));
        QCOMPARE(asked(), keys);
        QVERIFY(UiTest::waitQuiet(*m_sim, 3));
        QCOMPARE(asked(), keys);

        // The loss of the link clears the loaded flag, so a later show asks for nothing.
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        pm()->DisConnectTcp();
        QVERIFY(UiTest::waitCount(link, 1));
        QVERIFY(!page->settingsLoaded());
    }

    void valuesReadBackAreShown()
    {
        auto page = loadedPage("518");
        QVERIFY(page);
        store()["Transponder/TranspondDelay"] = "777";
        // A Doppler shift is signed: the 32 bits of -296 are shown as -296.
        store()["Transponder/Doppler"] = "4294967000";
        store()["MGC/MGC"] = "33";
        store()["MGC/MGCMode"] = "true";
        store()["FBPS/FBPS"] = "true";
        QSignalSpy delay(pm(), &ProtocolManager::UpdateTranspondDelay);
        QSignalSpy doppler(pm(), &ProtocolManager::UpdateDopplerValue);
        UiTest::DialogRecorder dialogs;
        child<QPushButton>(*page, "pushButton_readtrans")->click();
        child<QPushButton>(*page, "pushButton_readdoppler")->click();
        QVERIFY(UiTest::waitCount(delay, 1));
        QVERIFY(UiTest::waitCount(doppler, 1));
        // A read that was asked for says what came back.
        QCOMPARE(dialogs.texts(), (QStringList{"转发时延：777", "多普勒参数：-296"}));
        QCOMPARE(child<QLineEdit>(*page, "lineEdit_transpondDelay")->text(), QStringLiteral("777"));
        QCOMPARE(child<QLineEdit>(*page, "lineEdit_transpondDoppler")->text(), QStringLiteral("-296"));
        QCOMPARE(child<QLabel>(*page, "label_transpondDelay")->text(), QStringLiteral("( 777.00 ns )"));
        // An instrument that stores the signed form is read alike.
        store()["Transponder/Doppler"] = "-297";
        child<QPushButton>(*page, "pushButton_readdoppler")->click();
        QVERIFY(UiTest::waitCount(doppler, 2));
        QCOMPARE(child<QLineEdit>(*page, "lineEdit_transpondDoppler")->text(), QStringLiteral("-297"));
        RefreshCounter refreshed;
        page->show();
        QVERIFY(refreshed.waitFor(expectedRefreshes()));
        QCOMPARE(child<QSpinBox>(*page, "spb_mgc")->value(), 33);
        QVERIFY(child<QRadioButton>(*page, "radioButton_mgc")->isChecked());
        QVERIFY(!child<QRadioButton>(*page, "radioButton_agc")->isChecked());
        QVERIFY(child<QCheckBox>(*page, "checkBox_feedswitch")->isChecked());
    }

    void settingsAreWrittenToTheDeviceConfiguration_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("delay") << "settrans"
                               << "120000"
                               << "Transponder/TranspondDelay"
                               << "120000";
        // A second press while the first write is open: its button is held with the reason, and
        // the press sends nothing.
        QTest::newRow("delay pressed again while it waits") << "settrans twice"
                                                            << "120000"
                                                            << "Transponder/TranspondDelay"
                                                            << "120000";
        QTest::newRow("delay no number") << "settrans"
                                         << ""
                                         << "Transponder/TranspondDelay"
                                         << "0";
        QTest::newRow("doppler") << "setdoppler"
                                 << "1200"
                                 << "Transponder/Doppler"
                                 << "1200";
        QTest::newRow("negative doppler keeps its 32 bits") << "setdoppler"
                                                            << "-296"
                                                            << "Transponder/Doppler"
                                                            << "4294967000";
        QTest::newRow("doppler in unsigned form") << "setdoppler"
                                                  << "4294967000"
                                                  << "Transponder/Doppler"
                                                  << "4294967000";
        QTest::newRow("doppler no number") << "setdoppler"
                                           << "-5x"
                                           << "Transponder/Doppler"
                                           << "0";
        QTest::newRow("manual gain on") << "mgc"
                                        << ""
                                        << "MGC/MGCMode"
                                        << "true";
        QTest::newRow("automatic gain") << "agc"
                                        << ""
                                        << "MGC/MGCMode"
                                        << "false";
        QTest::newRow("gain value") << "mgcvalue"
                                    << "70"
                                    << "MGC/MGC"
                                    << "70";
        // The power is the manual mode's: under AGC 设置 is off and says why, nothing is written.
        QTest::newRow("gain value under AGC") << "mgcvalue agc"
                                              << "70"
                                              << "MGC/MGC"
                                              << "";
        QTest::newRow("feed on") << "feed"
                                 << ""
                                 << "FBPS/FBPS"
                                 << "true";
    }
    void settingsAreWrittenToTheDeviceConfiguration()
    {
        QFETCH(QString, action);
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        store()["MGC/MGCMode"] = "false";
        auto page = loadedPage("518");
        QVERIFY(page);
        store()[key] = "untouched";
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        QString heldTip;
        if (action.startsWith("settrans")) {
            child<QLineEdit>(*page, "lineEdit_transpondDelay")->setText(text);
            auto* set = child<QPushButton>(*page, "pushButton_settrans");
            if (action == "settrans twice") {
                m_sim->faults().lateMs[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DevConfig))] =
                    TestTime::ms(400);
                QTimer::singleShot(TestTime::ms(100), set, [set, &heldTip] {
                    heldTip = set->toolTip();
                    set->click();
                });
            }
            set->click();
        } else if (action == "setdoppler") {
            child<QLineEdit>(*page, "lineEdit_transpondDoppler")->setText(text);
            child<QPushButton>(*page, "pushButton_setdoppler")->click();
        } else if (action == "mgc") {
            child<QRadioButton>(*page, "radioButton_mgc")->click();
        } else if (action == "agc") {
            child<QRadioButton>(*page, "radioButton_mgc")->setChecked(true);
            child<QRadioButton>(*page, "radioButton_agc")->click();
        } else if (action == "mgcvalue") {
            child<QRadioButton>(*page, "radioButton_mgc")->setChecked(true);
            child<QSpinBox>(*page, "spb_mgc")->setValue(text.toInt());
            child<QPushButton>(*page, "pushButton_mgc")->click();
        } else if (action == "mgcvalue agc") {
            QVERIFY(child<QRadioButton>(*page, "radioButton_agc")->isChecked());
            auto* set = child<QPushButton>(*page, "pushButton_mgc");
            QVERIFY(!set->isEnabled() && !child<QSpinBox>(*page, "spb_mgc")->isEnabled());
            QCOMPARE(set->toolTip(), QStringLiteral("AGC 模式下功率由设备自动控制"));
            set->click();
            QVERIFY(nothingSent(Msg_Type::System, Msg_Cmd::DevConfig));
            QCOMPARE(store().value(key), QStringLiteral("untouched"));
            QVERIFY(dialogs.texts().isEmpty());
            return;
        } else if (action == "feed") {
            child<QCheckBox>(*page, "checkBox_feedswitch")->click();
        }
        // Each write says, once its answer came, what came of it.
        QTRY_COMPARE(dialogs.texts().size(), 1);
        QCOMPARE(configKeys(1), QStringList{key});
        QCOMPARE(store().value(key), value);
        // Every write says what came of it, in the value as shown.
        const QMap<QString, QString> confirmed{
            {"settrans", "转发时延已设置为 " + value},
            {"settrans twice", "转发时延已设置为 " + value},
            {"setdoppler", "多普勒参数已设置为 " + QString::number(qint32(value.toUInt()))},
            {"mgc", "增益模式已设置为 MGC"},
            {"agc", "增益模式已设置为 AGC"},
            {"mgcvalue", "MGC 功率已设置为 " + value},
            {"feed", "馈电开关已设置为 打开"}};
        QCOMPARE(dialogs.texts(), QStringList{confirmed.value(action)});
        if (action == "settrans twice")
            QCOMPARE(heldTip, QStringLiteral("等待设备应答…"));
    }

    // An instrument that answers the device configuration past the PC's wait: the answer is told
    // as its own request's, once, and never as a later request's.
    void aLateAnswerIsToldAsItsOwn_data()
    {
        QTest::addColumn<bool>("write");
        // The second press comes another way than the held button, after the first's wait ran out.
        QTest::newRow("a set, pressed again with another value") << true;
        QTest::newRow("a read") << false;
    }
    void aLateAnswerIsToldAsItsOwn()
    {
        QFETCH(bool, write);
        auto page = loadedPage("518");
        QVERIFY(page);
        const int wait = TestTime::ms(write ? 400 : ProtocolManager::kConfigWaitMs);
        pm()->setConfigWaitForTest(wait);
        m_sim->faults().lateMs[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DevConfig))] = wait * 3 / 2;
        store()["Transponder/TranspondDelay"] = "777";
        UiTest::DialogRecorder dialogs;
        auto* field = child<QLineEdit>(*page, "lineEdit_transpondDelay");
        if (write) {
            field->setText("111");
            child<QPushButton>(*page, "pushButton_settrans")->click();
            QTRY_VERIFY(!pm()->isAwaiting(Msg_Type::System, ProtocolManager::DevConfigWrite));
            field->setText("222");
            m_sim->profile().devConfig.faults.refuseSets = true;
            page->on_pushButton_settrans_clicked();
            QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts().size(), 2, 4 * wait);
            QCOMPARE(dialogs.texts(), (QStringList{"上一项设置仍在等待设备确认，本次设置未发送",
                                                   "设备在超时后确认：转发时延已设置为 111"}));
            QCOMPARE(store().value("Transponder/TranspondDelay"), QStringLiteral("111"));
        } else {
            child<QPushButton>(*page, "pushButton_readtrans")->click();
            QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts().size(), 1, 4 * wait);
            QCOMPARE(dialogs.texts(), QStringList{"转发时延：777"});
            QCOMPARE(field->text(), QStringLiteral("777"));
        }
        QVERIFY(UiTest::waitQuiet(*m_sim, 3));
        QCOMPARE(dialogs.texts().size(), write ? 2 : 1);
    }

    void gainWriteGoesOutByteExact()
    {
        auto page = loadedPage("518");
        QVERIFY(page);
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        child<QRadioButton>(*page, "radioButton_mgc")->setChecked(true);
        child<QSpinBox>(*page, "spb_mgc")->setValue(5);
        child<QPushButton>(*page, "pushButton_mgc")->click();
        InstrumentSim::Request r;
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::System, Msg_Cmd::DevConfig, &r));
        // i8 1 (set); the group, the key list and the value list as little-endian Qt streams:
        // a text is its u32 byte count and UTF-16LE, a list its u32 entry count.
        QByteArray expected = QByteArray::fromHex("01"
                                                  "12000000");
        for (char ch : QByteArray("devConfig"))
            expected += QByteArray(1, ch) + '\0';
        expected += QByteArray::fromHex("01000000"
                                        "0e000000");
        for (char ch : QByteArray("MGC/MGC"))
            expected += QByteArray(1, ch) + '\0';
        expected += QByteArray::fromHex("01000000"
                                        "02000000"
                                        "3500");
        QCOMPARE(r.payload.toHex(' '), expected.toHex(' '));
        QTRY_COMPARE(dialogs.requests.size(), 1);
    }

    void outputFrequencyAndTimingPulses_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("output B3A/B3I") << "CPCI"
                                        << "output"
                                        << ""
                                        << "" << 3 << QByteArray::fromHex("04");
        QTest::newRow("pulse at the limit") << "518"
                                            << "pulse"
                                            << "1000"
                                            << "7" << 3
                                            << QByteArray::fromHex("e8030000"
                                                                   "07000000");
        QTest::newRow("pulse texts no number") << "518"
                                               << "pulse"
                                               << "x"
                                               << "" << 3
                                               << QByteArray::fromHex("00000000"
                                                                      "00000000");
        QTest::newRow("pulse request") << "518"
                                       << "request"
                                       << ""
                                       << "" << 4 << QByteArray();
    }
    void outputFrequencyAndTimingPulses()
    {
        QFETCH(QString, variant);
        QFETCH(QString, action);
        QFETCH(QString, width);
        QFETCH(QString, count);
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        auto page = loadedPage(variant);
        QVERIFY(page);
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        if (action == "output") {
            child<QComboBox>(*page, "comboBox_output_freq")->setCurrentIndex(3);
            child<QPushButton>(*page, "pushButton_setOutput")->click();
        } else if (action == "pulse") {
            child<QLineEdit>(*page, "lineEdit_pulse_width")->setText(width);
            child<QLineEdit>(*page, "lineEdit_pulse_count")->setText(count);
            child<QPushButton>(*page, "pushButton_pulse_set")->click();
        } else {
            child<QPushButton>(*page, "pushButton_pulse_request")->click();
        }
        InstrumentSim::Request r;
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Extend, Msg_Cmd(cmd), &r));
        QCOMPARE(r.payload.toHex(' '), payload.toHex(' '));
        // The instrument answers none of these: the press says it went out.
        QCOMPARE(dialogs.requests.size(), 1);
        QVERIFY2(dialogs.requests.at(0).text.contains(QStringLiteral("已发送")),
                 qPrintable(dialogs.requests.at(0).text));
    }

    void pulseWaitAboveASecondIsRefused()
    {
        auto page = loadedPage("518");
        QVERIFY(page);
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        child<QLineEdit>(*page, "lineEdit_pulse_width")->setText("1001");
        child<QLineEdit>(*page, "lineEdit_pulse_count")->setText("1");
        child<QPushButton>(*page, "pushButton_pulse_set")->click();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("对时脉冲设置失败"));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("秒脉冲等待时间范围需在 [0,1000] 内"));
        QCOMPARE(dialogs.requests.at(0).type, 2);
        QVERIFY(nothingSent(Msg_Type::Extend, Msg_Cmd::OutputSetting));
    }

    void customBandsAreListedFromTheBandTable()
    {
        seedBands(2, {{"C1", 300000000}, {"C2", 400000000}});
        auto page = loadedPage("518");
        QVERIFY(page);
        QCOMPARE(rows(*page), (QStringList{"C1(300000000)", "C2(400000000)"}));
        QCOMPARE(child<QLabel>(*page, "label_cst_count")->text(), QStringLiteral("2 / 10"));
    }

    void addingABandChecksInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("freq");
        QTest::addColumn<QString>("info");
        QTest::addColumn<bool>("added");
        const QString range = QStringLiteral("频段范围为 200MHz ~ 4.2GHz");
        const QString exists = QStringLiteral("已存在同名/同中心频率的频段，添加失败");
        QTest::newRow("lowest frequency") << "N"
                                          << "200000000"
                                          << "保存修改后生效" << true;
        QTest::newRow("highest frequency") << "N"
                                           << "4200000000"
                                           << "保存修改后生效" << true;
        QTest::newRow("name trimmed") << "  N 1  "
                                      << "1000000000"
                                      << "保存修改后生效" << true;
        QTest::newRow("below range") << "N"
                                     << "199999999" << range << false;
        QTest::newRow("above range") << "N"
                                     << "4200000001" << range << false;
        QTest::newRow("beyond 32 bits") << "N"
                                        << "4294967296" << range << false;
        QTest::newRow("empty frequency") << "N"
                                         << "" << range << false;
        QTest::newRow("frequency no number") << "N"
                                             << "1.5e9" << range << false;
        QTest::newRow("blank name") << "   "
                                    << "1000000000"
                                    << "请检查输入的频段名称与中心频率是否有效" << false;
        QTest::newRow("percent before the frequency") << "a%b"
                                                      << ""
                                                      << "名称不能包含* # & ^ % 字符" << false;
        QTest::newRow("star") << "*"
                              << "1000000000"
                              << "名称不能包含* # & ^ % 字符" << false;
        QTest::newRow("hash, ampersand, caret") << "x#&^"
                                                << "1000000000"
                                                << "名称不能包含* # & ^ % 字符" << false;
        QTest::newRow("same frequency, other name") << "Other"
                                                    << "300000000" << exists << false;
        QTest::newRow("same name, other frequency") << "C1"
                                                    << "500000000" << exists << false;
        QTest::newRow("same name after trimming") << " C1 "
                                                  << "500000000" << exists << false;
        QTest::newRow("name differs in case") << "c1"
                                              << "500000000"
                                              << "保存修改后生效" << true;
    }
    void addingABandChecksInOrder()
    {
        QFETCH(QString, name);
        QFETCH(QString, freq);
        QFETCH(QString, info);
        QFETCH(bool, added);
        seedBands(1, {{"C1", 300000000}});
        auto page = loadedPage("518");
        QVERIFY(page);
        add(*page, name, freq);
        QCOMPARE(child<QLabel>(*page, "label_cst_info")->text(), info);
        const QStringList now = rows(*page);
        QCOMPARE(now.size(), added ? 2 : 1);
        if (added)
            QCOMPARE(now.last(), QStringLiteral("%1(%2)").arg(name.trimmed(), freq));
        QCOMPARE(child<QLabel>(*page, "label_cst_count")->text(), QStringLiteral("%1 / 10").arg(now.size()));
        // The fields keep what was typed.
        QCOMPARE(child<QLineEdit>(*page, "lineEdit_cst_name")->text(), name);
    }

    void theEleventhBandIsRefused()
    {
        seedBands(3, {});
        auto page = loadedPage("518");
        QVERIFY(page);
        for (int i = 0; i < 10; ++i)
            add(*page, QStringLiteral("C%1").arg(i), QString::number(300000000 + i));
        QCOMPARE(rows(*page).size(), 10);
        QCOMPARE(child<QLabel>(*page, "label_cst_count")->text(), QStringLiteral("10 / 10"));
        add(*page, "New", "900000000");
        QCOMPARE(child<QLabel>(*page, "label_cst_info")->text(), QStringLiteral("最大自定义频段数量为 10 个"));
        QCOMPARE(rows(*page).size(), 10);
    }

    void deletingTheLastBandSparesRecordedBands_data()
    {
        QTest::addColumn<QList<QList<quint32>>>("records");
        QTest::addColumn<bool>("deleted");
        // The saved custom bands are 3 (C1, 300 MHz) and 4 (C2, 400 MHz).
        QTest::newRow("no records") << QList<QList<quint32>>{} << true;
        QTest::newRow("records on other bands") << QList<QList<quint32>>{{1, 2}, {3}} << true;
        QTest::newRow("a record on the band") << QList<QList<quint32>>{{1}, {2, 1, 4}} << false;
        QTest::newRow("a record naming the frequency") << QList<QList<quint32>>{{400000000}} << false;
    }
    void deletingTheLastBandSparesRecordedBands()
    {
        QFETCH(QList<QList<quint32>>, records);
        QFETCH(bool, deleted);
        seedBands(2, {{"C1", 300000000}, {"C2", 400000000}});
        auto page = loadedPage("518");
        QVERIFY(page);
        QList<RecordEx> list;
        for (const auto& bands : records)
            list << recordWithBands(bands);
        RecordAssist::instance()->Records = list;
        child<QPushButton>(*page, "pushButton_cst_del")->click();
        RecordAssist::instance()->Records.clear();
        QCOMPARE(child<QLabel>(*page, "label_cst_info")->text(),
                 deleted ? QStringLiteral("保存修改后生效") : QStringLiteral("存在该频段采集的记录，请先删除记录"));
        QCOMPARE(rows(*page), deleted ? QStringList{"C1(300000000)"} : (QStringList{"C1(300000000)", "C2(400000000)"}));
        QCOMPARE(child<QLabel>(*page, "label_cst_count")->text(),
                 deleted ? QStringLiteral("1 / 10") : QStringLiteral("2 / 10"));
    }

    void deletingFromAnEmptyListDoesNothingAndRestoreBringsTheTableBack()
    {
        seedBands(2, {{"C1", 300000000}});
        auto page = loadedPage("518");
        QVERIFY(page);
        auto* del = child<QPushButton>(*page, "pushButton_cst_del");
        del->click();
        QVERIFY(rows(*page).isEmpty());
        child<QLabel>(*page, "label_cst_info")->setText("stale");
        del->click();
        QCOMPARE(child<QLabel>(*page, "label_cst_info")->text(), QString());
        add(*page, "X", "600000000");
        add(*page, "Y", "700000000");
        QCOMPARE(rows(*page).size(), 2);
        child<QPushButton>(*page, "pushButton_cst_cancel")->click();
        QCOMPARE(rows(*page), QStringList{"C1(300000000)"});
        QCOMPARE(child<QLabel>(*page, "label_cst_count")->text(), QStringLiteral("1 / 10"));
    }

    void savingWritesTheBandsAfterTheBuiltInOnes()
    {
        seedBands(5, {{"Old", 300000000}, {"Gone", 350000000}, {"Also", 360000000}});
        auto page = loadedPage("518");
        QVERIFY(page);
        child<QPushButton>(*page, "pushButton_cst_del")->click();
        child<QPushButton>(*page, "pushButton_cst_del")->click();
        add(*page, QStringLiteral("北斗 B2b"), "1207140000");
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        child<QPushButton>(*page, "pushButton_cst_save")->click();
        QTRY_COMPARE(dialogs.requests.size(), 1);
        QCOMPARE(configKeys(1), (QStringList{"Config/FreqNum", "Freq6/FreqName", "Freq6/Freq", "Freq6/Custom",
                                             "Freq7/FreqName", "Freq7/Freq", "Freq7/Custom"}));
        QCOMPARE(store().value("Config/FreqNum"), QStringLiteral("7"));
        QCOMPARE(store().value("Freq6/FreqName"), QStringLiteral("Old"));
        QCOMPARE(store().value("Freq6/Freq"), QStringLiteral("300000000"));
        QCOMPARE(store().value("Freq6/Custom"), QStringLiteral("true"));
        QCOMPARE(store().value("Freq7/FreqName"), QStringLiteral("北斗 B2b"));
        QCOMPARE(store().value("Freq7/Freq"), QStringLiteral("1207140000"));
        QCOMPARE(store().value("Freq7/Custom"), QStringLiteral("true"));
        // An entry above the new count stays in the instrument's store.
        QCOMPARE(store().value("Freq8/FreqName"), QStringLiteral("Also"));
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("保存成功"));
        QCOMPARE(dialogs.requests.at(0).text,
                 QStringLiteral("自定义频段保存修改成功，设备和控制软件都重启后生效。\n"
                                "本软件不能重启设备：请给设备断电后重新上电，再重新启动本软件。"));
        QCOMPARE(dialogs.requests.at(0).type, 3);
        QCOMPARE(child<QLabel>(*page, "label_cst_info")->text(), QStringLiteral("已有保存的修改，待重启设备和软件!"));
        QVERIFY(!child<QWidget>(*page, "tab_customfrequency")->isEnabled());
        bool logged = false;
        for (const auto& args : log)
            logged |= args.at(1).toString().endsWith(
                QStringLiteral("[INFO]自定义频段保存修改成功 Freq6: 300000000\nFreq7: 1207140000\n"));
        QVERIFY(logged);
        // The Core's band table waits for the next fetch.
        QCOMPARE(pm()->freqBands.size(), 8);
    }

    void aRefusedSaveKeepsTheEditsAndEnablesTheTabAgain()
    {
        seedBands(1, {});
        auto page = loadedPage("518");
        QVERIFY(page);
        add(*page, "X", "600000000");
        m_sim->profile().devConfig.faults.refuseSets = true;
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        child<QPushButton>(*page, "pushButton_cst_save")->click();
        QTRY_COMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).title, QStringLiteral("保存失败"));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("自定义频段保存修改失败，请重试"));
        QCOMPARE(dialogs.requests.at(0).type, 1);
        QVERIFY(child<QWidget>(*page, "tab_customfrequency")->isEnabled());
        QCOMPARE(rows(*page), QStringList{"X(600000000)"});
        QCOMPARE(store().value("Config/FreqNum"), QStringLiteral("1"));
        bool logged = false;
        for (const auto& args : log)
            logged |=
                args.at(1).toString().endsWith(QStringLiteral("[ERROR]自定义频段保存修改失败 Freq2: 600000000\n"));
        QVERIFY(logged);
    }

    void runStateGatesTheSettingButtons()
    {
        UiTest::DialogRecorder dialogs;
        auto connected = connectedPage();
        QVERIFY(connected);
        SystemSet2& page = *connected;
        auto* setIp = child<QPushButton>(page, "ptn_SetDeviceIP");
        auto* path = child<QPushButton>(page, "pbn_ChangePath");
        auto* clear = child<QPushButton>(page, "ptn_clear");
        auto* bands = child<QPushButton>(page, "pushButton_cst_save");
        for (SystemState s : {SystemState::Collecting, SystemState::Playback, SystemState::Forwarding,
                              SystemState::Uploading, SystemState::Downloading, SystemState::Regenerating}) {
            RunStatus::instance()->slot_GlobalStatus(s);
            QVERIFY(!setIp->isEnabled());
            QVERIFY(!path->isEnabled());
            QVERIFY(!clear->isEnabled());
            QVERIFY(!bands->isEnabled());
            RunStatus::instance()->slot_GlobalStatus(quint8(s) % 2 ? SystemState::Idle : SystemState::Error);
            QVERIFY(setIp->isEnabled());
            QVERIFY(path->isEnabled());
            QVERIFY(clear->isEnabled());
            QVERIFY(bands->isEnabled());
        }
    }

    void offlineTheInstrumentsButtonsAreOffWithTheReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("neverReached");
        const QList<QPair<const char*, const char*>> controls{{"设备自检", "pushButton_stateCheck"},
                                                              {"设备网络修改 设置", "ptn_SetDeviceIP"},
                                                              {"清空所有记录", "ptn_clear"},
                                                              {"参数选项卡", "tabWidget_function"}};
        for (const auto& c : controls) {
            QTest::addRow("%s, link dropped", c.first) << c.second << false;
            // Not yet connected is the same as lost: off, with the link's line beside it.
            QTest::addRow("%s, never reached", c.first) << c.second << true;
        }
    }
    void offlineTheInstrumentsButtonsAreOffWithTheReason()
    {
        QFETCH(QString, name);
        QFETCH(bool, neverReached);
        if (neverReached) {
            QTcpServer gone;
            QVERIFY(gone.listen(QHostAddress::LocalHost, 0));
            const quint16 port = gone.serverPort();
            gone.close();
            c->SetInit(ConfigKey::NetworkIp, QStringLiteral("127.0.0.1"));
            c->SetInit(ConfigKey::NetworkPort, QString::number(port));
            SystemSet2 page;
            QSignalSpy failed(pm(), &ProtocolManager::ConnectFailed);
            auto* control = child<QWidget>(page, name.toLatin1().constData());
            auto* state = child<QLabel>(page, "label_linkState");
            // From the first frame, before any attempt has failed.
            QVERIFY(!control->isEnabled());
            QVERIFY(!state->isHidden());
            QCOMPARE(state->text(), QStringLiteral("正在连接 127.0.0.1:%1 …").arg(port));
            QCOMPARE(child<QLabel>(page, "label_TotalMemory")->text(), QStringLiteral("未连接设备"));
            QVERIFY(UiTest::waitCount(failed, 1));
            QVERIFY(!control->isEnabled());
            QVERIFY(state->text().startsWith(QStringLiteral("连接 127.0.0.1:%1 失败").arg(port)));
            return;
        }
        auto page = connectedPage();
        QVERIFY(page);
        auto* button = child<QWidget>(*page, name.toLatin1().constData());
        auto* state = child<QLabel>(*page, "label_linkState");
        auto* connectButton = child<QPushButton>(*page, "pbn_connect");
        QVERIFY(button->isEnabled());
        QVERIFY(state->isHidden());
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        connectButton->click();
        QVERIFY(UiTest::waitCount(link, 1));
        QCOMPARE(link.last().at(0).toBool(), false);
        QVERIFY(!button->isEnabled());
        QVERIFY(!state->isHidden());
        // Closed by hand, nothing retries: the line says how to connect again and what waits.
        QCOMPARE(state->text(), QStringLiteral("已断开连接，按“连接”重新连接。"));
        QCOMPARE(child<QLabel>(*page, "label_TotalMemory")->text(), QStringLiteral("未连接设备"));
        // A run state that allows the button does not bring it back without the link.
        RunStatus::instance()->slot_GlobalStatus(SystemState::Collecting);
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        QVERIFY(!button->isEnabled());
        connectButton->click();
        QVERIFY(UiTest::waitCount(link, 2));
        QCOMPARE(link.last().at(0).toBool(), true);
        QVERIFY(button->isEnabled());
        QVERIFY(state->isHidden());
    }

    void transponderHidesDiskAndDataPath()
    {
        c->SetInit(ConfigKey::NetworkPort, "0");
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
        c->SetInit(ConfigKey::NetworkPort, "0");
        UiTest::DialogRecorder dialogs;
        QTemporaryDir chosenDir;
        QString answer = chosenDir.path();
        QString caption, start;
        dialogs.respond = [&](const DialogSeam::Request& r) -> DialogSeam::Answer {
            if (r.kind != DialogSeam::Request::Directory)
                return 0;
            caption = r.title;
            start = r.directory;
            return answer;
        };
        SystemSet2 page;
        // The page's lines about the data path, as the log file gets them.
        QSignalSpy logged(FileLogger::instance(), &FileLogger::LineLogged);
        const auto log = [&logged] {
            QStringList lines;
            for (const QList<QVariant>& args : qAsConst(logged)) {
                const QString line = args.at(1).value<LogText>().toString();
                if (line.contains(QStringLiteral("保存路径")))
                    lines << line;
            }
            return lines;
        };
        auto* shown = child<QLineEdit>(page, "txt_CurrentPath");
        QTest::mouseClick(child<QPushButton>(page, "pbn_ChangePath"), Qt::LeftButton);
        QCOMPARE(caption, QStringLiteral("请选择数据保存位置"));
        QCOMPARE(start, AppPaths::applicationDir());
        QCOMPARE(shown->text(), chosenDir.path());
        QCOMPARE(c->GetInit(ConfigKey::DataSavePath).toString(), chosenDir.path());
        QCOMPARE(log().size(), 1);
        QVERIFY(log().at(0).endsWith(QStringLiteral("修改文件保存路径成功，Path:") + chosenDir.path()));

        // Cancelled with a stored folder that exists: kept, nothing logged.
        answer.clear();
        QTest::mouseClick(child<QPushButton>(page, "pbn_ChangePath"), Qt::LeftButton);
        QCOMPARE(shown->text(), chosenDir.path());
        QCOMPARE(log().size(), 1);

        // Cancelled with a stored folder that is gone: back to the application directory.
        c->SetInit(ConfigKey::DataSavePath, chosenDir.path() + "/gone");
        QTest::mouseClick(child<QPushButton>(page, "pbn_ChangePath"), Qt::LeftButton);
        QCOMPARE(shown->text(), AppPaths::applicationDir());
        QCOMPARE(c->GetInit(ConfigKey::DataSavePath).toString(), AppPaths::applicationDir());
        QCOMPARE(log().size(), 2);
        QVERIFY(log().at(1).endsWith(QStringLiteral("文件保存路径修改为默认路径，Path:") + AppPaths::applicationDir()));
    }

    void openPathHandsALocalFileUrlToTheDesktop()
    {
        c->SetInit(ConfigKey::NetworkPort, "0");
        QTemporaryDir base;
        const QString folder = base.path() + "/kelo data/#1";
        QVERIFY(QDir().mkpath(folder));
        c->SetInit(ConfigKey::DataSavePath, folder);
        UiTest::DialogRecorder dialogs;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        SystemSet2 page;
        QTest::mouseClick(child<QPushButton>(page, "pbn_OpenPath"), Qt::LeftButton);
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(catcher.urls.at(0).isLocalFile());
        QCOMPARE(catcher.urls.at(0).toLocalFile(), folder);
        // No program takes the folder: the page says so, and where the folder is.
        QDesktopServices::setUrlHandler("file", &catcher, "noSuchSlot");
        QTest::mouseClick(child<QPushButton>(page, "pbn_OpenPath"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(dialogs.texts().value(dialogs.texts().size() - 1),
                 "没有可以打开文件夹的程序。文件夹位于：\n" + folder);
    }
};

QTEST_MAIN(tst_SystemSet2)
#include "tst_SystemSet2.moc"
