#include <UiTestSupport.h>

#include <ConfigSetting.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <MainWindow.h>
#include <MessageDialog.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <RecordHandler.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <functional>
#include <memory>

using LinkTest::waitCount;

using UiTest::Code;
using UiTest::countOf;
using UiTest::firstRequests;
using UiTest::kDevConfig;
using UiTest::kDeviceCheck;
using UiTest::kDeviceInfo;
using UiTest::kDeviceState;
using UiTest::kHeartBeat;
using UiTest::kHeartBeatEx;
constexpr int kHeartbeatMs = 250;
using UiTest::kRecordList;

class tst_MainWindowSequence : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<MainWindow> m_window;
    // The status text as each state report left it: a heartbeat reply that comes before the
    // test looks may already have written its own text.
    QStringList m_statusAtState;

    QString text(const char* label) const
    {
        auto* l = m_window->findChild<QLabel*>(QLatin1String(label));
        return l ? l->text() : QStringLiteral("<missing>");
    }

    // A window against a fresh simulator, which `prepare` may set up before the window connects;
    // for a transponder returns once the instrument's state has been reported.
    // Whether the window closed. It ends the application's loop when it closes, so it is closed
    // inside one.
    bool closeInsideLoop()
    {
        bool wasClosed = false;
        QTimer::singleShot(0, this, [&] {
            wasClosed = m_window->close();
            if (!wasClosed)
                QCoreApplication::exit(1);
        });
        const int code = QCoreApplication::exec();
        return wasClosed && code == 0;
    }

    bool start(const QString& deviceType, const std::function<void(InstrumentSim&)>& prepare = {})
    {
        ConfigSetting::instance()->deviceType = deviceType;
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        if (!m_sim->listen(QHostAddress::LocalHost, 0))
            return false;
        if (prepare)
            prepare(*m_sim);
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkPort, m_sim->port());
        QSignalSpy state(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState);
        m_window = std::make_unique<MainWindow>();
        m_statusAtState.clear();
        connect(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState, m_window.get(),
                [this] { m_statusAtState << text("label_SystemStatus"); });
        if (deviceType != QLatin1String("TRANS"))
            return true;
        return waitCount(state, 1);
    }

    // As start, and then waits until the settings page has read its six device values back (it
    // does once the configuration is known) and the link is quiet, so that no request of the
    // start-up is still on its way.
    bool startQuiet(const QString& deviceType)
    {
        ProtocolManager* pm = ProtocolManager::instance();
        QSignalSpy delay(pm, &ProtocolManager::UpdateTranspondDelay), doppler(pm, &ProtocolManager::UpdateDopplerValue),
            bandwidth(pm, &ProtocolManager::UpdateBandwidth), gain(pm, &ProtocolManager::UpdateMGCValue),
            gainMode(pm, &ProtocolManager::UpdateMGCStatus), feed(pm, &ProtocolManager::UpdateFeedSwitchStatus);
        if (!start(deviceType))
            return false;
        for (QSignalSpy* read : {&delay, &doppler, &bandwidth, &gain, &gainMode, &feed})
            if (!waitCount(*read, 1))
                return false;
        return UiTest::waitQuiet(*m_sim, 3);
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        UiTest::stageThemes(*m_app);
        FileLogger::instance();
        // Short, so that drops come within a test's patience; not so short that a reply held up on
        // a busy machine counts as a miss, whose state query the checks would then see.
        ProtocolManager::instance()->setHeartbeatInterval(TestTime::ms(kHeartbeatMs));
        ProtocolManager::instance()->link()->setReconnectInterval(TestTime::ms(100));
    }
    void cleanup()
    {
        RecordAssist::instance()->setStepTimeout(TestTime::ms(RecordAssist::kStepTimeoutMs));
        ProtocolManager::instance()->setHeartbeatInterval(TestTime::ms(kHeartbeatMs));
        m_window.reset();
        ProtocolManager::instance()->DisConnectTcp();
        m_sim.reset();
        LinkTest::resetRunState();
        ConfigSetting::instance()->deviceType = QStringLiteral("Kelo");
    }

    void transponderSkipsTheRecordList()
    {
        QVERIFY(start(QStringLiteral("TRANS")));
        // Device information, configuration items (System command 12), then the state.
        QCOMPARE(firstRequests(*m_sim), (QList<Code>{kDeviceInfo, kDevConfig, kDeviceState}));
        // The first accepted heartbeat reply only arms the sequence.
        int heartbeats = 0;
        for (const auto& r : m_sim->requests()) {
            if (Code(r.type, r.cmd) == kDeviceInfo)
                break;
            heartbeats += Code(r.type, r.cmd) == kHeartBeat;
        }
        QVERIFY(heartbeats >= 2);
        QCOMPARE(text("label_SN"), QStringLiteral("KELO-SIM01"));
        QCOMPARE(m_statusAtState.value(0), QStringLiteral("同步设备状态成功"));
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
        QCOMPARE(text("label_DurationTime"), QStringLiteral("00:00:00"));
    }

    void defaultTypeFetchesTheRecordList()
    {
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QVERIFY(start(QStringLiteral("Kelo")));
        QSignalSpy heartbeat(ProtocolManager::instance(), &ProtocolManager::HeartBeatMsg);
        QSignalSpy state(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState);
        QVERIFY(waitCount(state, 1));
        QVERIFY(ready.count() >= 1);
        // Device information, configuration items, the record list, then the state.
        QCOMPARE(firstRequests(*m_sim), (QList<Code>{kDeviceInfo, kDevConfig, kRecordList, kDeviceState}));
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
        // A late second ready changes nothing.
        const int queries = countOf(*m_sim, kDeviceState);
        QSignalSpy missed(ProtocolManager::instance(), &ProtocolManager::HeartBeatTimeout);
        QSignalSpy link(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        m_window->OnRecordListReady();
        QVERIFY(waitCount(heartbeat, heartbeat.count() + 2));
        // A busy machine can miss heartbeats and reconnect, which rightly asks for the state again.
        if (missed.isEmpty() && link.isEmpty())
            QCOMPARE(countOf(*m_sim, kDeviceState), queries);
    }

    void missedHeartbeatsRepeatOnlyTheStateQuery()
    {
        QVERIFY(startQuiet(QStringLiteral("TRANS")));
        QSignalSpy missed(ProtocolManager::instance(), &ProtocolManager::HeartBeatTimeout);
        QSignalSpy state(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState);
        m_sim->faults().skipHeartbeats = 2;
        QVERIFY(waitCount(missed, 1));
        m_sim->clearRequests();
        QVERIFY(waitCount(state, 1));
        QCOMPARE(firstRequests(*m_sim), (QList<Code>{kDeviceState}));
        QCOMPARE(m_statusAtState.last(), QStringLiteral("同步设备状态成功"));
    }

    void droppedLinkFetchesTheConfigurationAgain_data()
    {
        QTest::addColumn<int>("held"); // the run state when the link drops; the instrument returns idle
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<bool>("stopWaits"); // a stop the instrument has not confirmed when the link drops
        QTest::newRow("idle before and after") << int(SystemState::Idle) << QStringList() << false;
        QTest::newRow("collection ended while down")
            << int(SystemState::Collecting) << QStringList{"连接断开期间采集已结束"} << false;
        QTest::newRow("the drop names the stop it left unconfirmed")
            << int(SystemState::Collecting)
            << QStringList{"连接断开，以下操作未得到设备确认:\n停止采集/转发", "连接断开期间采集已结束"} << true;
        // This PC's own transfer, over already: its end was told when it ended here.
        QTest::newRow("an upload ended while down is not told again")
            << int(SystemState::Uploading) << QStringList() << false;
    }
    void droppedLinkFetchesTheConfigurationAgain()
    {
        QFETCH(int, held);
        QFETCH(QStringList, told);
        QFETCH(bool, stopWaits);
        ProtocolManager* pm = ProtocolManager::instance();
        QSignalSpy first(pm, &ProtocolManager::UpdateDeviceState);
        QVERIFY(startQuiet(QStringLiteral("Kelo")));
        QVERIFY(waitCount(first, 1));
        QVERIFY(pm->IsSerialPortEnable());
        QVERIFY(countOf(*m_sim, kHeartBeatEx) > 0);
        QTRY_COMPARE(text("label_statusBar"), QStringLiteral("时钟源：内部时钟"));
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        RunStatus::instance()->slot_GlobalStatus(SystemState(held));
        if (stopWaits)
            pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StopRecord);
        QSignalSpy net(pm, &ProtocolManager::NetSuccess);
        QSignalSpy missed(pm, &ProtocolManager::HeartBeatTimeout);
        // Turned away while down: a quick reconnection would rewrite what the test reads.
        m_sim->setRefusing(true);
        m_sim->faults().skipHeartbeats = -1;
        QVERIFY(waitCount(net, 1));
        QCOMPARE(net.at(0).at(0).toBool(), false);
        QCOMPARE(missed.count(), 3);
        QVERIFY(!pm->IsSerialPortEnable());
        // Down: the run state is unknown, in the colour of a fault, and the clock stopped.
        QCOMPARE(text("label_global_status"), QStringLiteral("未连接"));
        for (const char* name : {"label_global_status", "label_SystemStatus"})
            QCOMPARE(m_window->findChild<QLabel*>(name)->palette().color(QPalette::WindowText), QColor(230, 20, 20));
        QVERIFY(!m_window->findChild<QLabel*>("label_DurationTime")->isEnabled());
        // The instrument answers again, now on its external clock.
        QSignalSpy state(pm, &ProtocolManager::UpdateDeviceState);
        m_sim->profile().externalClock = true;
        m_sim->clearRequests();
        m_sim->faults().skipHeartbeats = 0;
        m_sim->setRefusing(false);
        QVERIFY(waitCount(state, 1));
        // The configuration items before the state; device information and the record list
        // from before the drop stand.
        // Told once of a run that ended meanwhile, and the record list asked for again: by the
        // window as it tells, or, for this PC's transfer, by the record manager as it sees the
        // transfer end.
        QCOMPARE(dialogs.texts(), told);
        QCOMPARE(LinkTest::logMessages(log, FileLogger::Warning).filter("连接断开期间"), told.filter("连接断开期间"));
        if (SystemState(held) == SystemState::Idle)
            QCOMPARE(firstRequests(*m_sim), (QList<Code>{kDevConfig, kDeviceState}));
        else
            QTRY_COMPARE(firstRequests(*m_sim), (QList<Code>{kDevConfig, kDeviceState, kRecordList}));
        QTRY_COMPARE(text("label_statusBar"), QStringLiteral("时钟源：外部时钟"));
        QVERIFY(countOf(*m_sim, kHeartBeatEx) > 0);
        QVERIFY(pm->IsSerialPortEnable());
        QVERIFY(pm->GetBandwidth() != 0);
        QCOMPARE(m_statusAtState.last(), QStringLiteral("同步设备状态成功"));
    }

    // A state report the instrument sends on its own while the window walks its sequence.
    void stateReportDuringStartUpLeavesTheSequenceGoing_data()
    {
        QTest::addColumn<int>("before");
        QTest::newRow("before the first heartbeat reply") << 1;
        QTest::newRow("before the device information") << 4;
        QTest::newRow("before the configuration items") << 12;
    }
    void stateReportDuringStartUpLeavesTheSequenceGoing()
    {
        QFETCH(int, before);
        QSignalSpy state(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState);
        QVERIFY(start(QStringLiteral("Kelo"),
                      [&](InstrumentSim& sim) { sim.faults().stateReportBefore = quint8(before); }));
        // The report, then the answer to the sequence's own query.
        QVERIFY(waitCount(state, 2));
        QCOMPARE(m_sim->faults().stateReportBefore, quint8(0));
        QCOMPARE(firstRequests(*m_sim), (QList<Code>{kDeviceInfo, kDevConfig, kRecordList, kDeviceState}));
        QCOMPARE(text("label_SN"), QStringLiteral("KELO-SIM01"));
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
    }

    void missDuringTheRecordListAsksForItAgain()
    {
        // A lost list request fails the search after two of these, and the user is told so.
        RecordAssist::instance()->setStepTimeout(TestTime::ms(300));
        UiTest::DialogRecorder dialogs;
        QSignalSpy state(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState);
        QSignalSpy missed(ProtocolManager::instance(), &ProtocolManager::HeartBeatTimeout);
        QVERIFY(start(QStringLiteral("Kelo"), [this](InstrumentSim& sim) {
            sim.handler<RecordHandler>()->faults().silentList = true;
            // The heartbeat after the list request goes unanswered.
            connect(&sim, &InstrumentSim::requestReceived, this, [&sim](const InstrumentSim::Request& r) {
                if (Code(r.type, r.cmd) == kRecordList && countOf(sim, kRecordList) == 1)
                    sim.faults().skipHeartbeats = 1;
            });
        }));
        QVERIFY(waitCount(missed, 1));
        QVERIFY(state.isEmpty());
        m_sim->handler<RecordHandler>()->faults().silentList = false;
        QVERIFY(waitCount(state, 1));
        // The list asked for again, and the state only after it.
        int lists = 0;
        for (const auto& r : m_sim->requests()) {
            lists += Code(r.type, r.cmd) == kRecordList;
            if (Code(r.type, r.cmd) == kDeviceState)
                break;
        }
        QVERIFY2(lists >= 2, qPrintable(QString::number(lists)));
        QCOMPARE(firstRequests(*m_sim), (QList<Code>{kDeviceInfo, kDevConfig, kRecordList, kDeviceState}));
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
    }

    void linkLossWithoutMissesStartsAgain()
    {
        QVERIFY(startQuiet(QStringLiteral("TRANS")));
        QSignalSpy net(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        QSignalSpy state(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState);
        // Turned away until the test has looked: a quick reconnection would rewrite what it reads.
        m_sim->setRefusing(true);
        m_sim->closeConnection();
        QVERIFY(waitCount(net, 1));
        QCOMPARE(net.at(0).at(0).toBool(), false);
        // The same words as a start without an instrument.
        QCOMPARE(text("label_SystemStatus"), QStringLiteral("设备未连接"));
        // Above the pages, why they are off and that the link is retried.
        auto* notice = m_window->findChild<QLabel*>("label_offline");
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), QStringLiteral("设备未连接：需要设备的功能已停用，正在自动重连（每 3 秒一次）"));
        // The transponder's collection page is gated; its hidden playback page stays disabled,
        // and the device information page with the connect button stays usable.
        QStackedWidget* pages = m_window->pageStack();
        QVERIFY(!pages->widget(0)->isEnabled());
        QVERIFY(pages->widget(3)->isEnabled());
        m_sim->clearRequests();
        m_sim->setRefusing(false);
        QVERIFY(waitCount(net, 2));
        QCOMPARE(net.at(1).at(0).toBool(), true);
        QVERIFY(pages->widget(0)->isEnabled());
        QVERIFY(!pages->widget(1)->isEnabled());
        QVERIFY(waitCount(state, 1));
        QCOMPARE(firstRequests(*m_sim), (QList<Code>{kDeviceInfo, kDevConfig, kDeviceState}));
        QVERIFY(notice->isHidden());
        // Closed by hand, nothing retries: the line says where to connect again.
        ProtocolManager::instance()->DisConnectTcp();
        QVERIFY(waitCount(net, 3));
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(),
                 QStringLiteral("设备未连接：需要设备的功能已停用。连接已手动断开，请在“系统设置”中按“连接”"));
    }

    void stateReportAndElapsedTime()
    {
        // The product's heartbeat: a reply late on a busy machine would be a miss, and the state
        // query after it would set the clock the test reads.
        ProtocolManager::instance()->setHeartbeatInterval(TestTime::ms(1000));
        QVERIFY(startQuiet(QStringLiteral("TRANS")));
        SyncDeviceState report;
        report.State = 4;
        report.Value = 100;
        m_window->slot_SyncDeviceState(report);
        QCOMPARE(text("label_DurationTime"), QStringLiteral("00:01:40"));
        QCOMPARE(text("label_global_status"), QStringLiteral("转发中"));
        QTRY_COMPARE_WITH_TIMEOUT(text("label_DurationTime"), QStringLiteral("00:01:41"), TestTime::ms(5000));
        // A state change restarts the count from zero.
        m_window->slot_statechange(SystemState::Forwarding);
        QTRY_COMPARE_WITH_TIMEOUT(text("label_DurationTime"), QStringLiteral("00:00:01"), TestTime::ms(5000));
        // Idle stops it.
        m_window->slot_statechange(SystemState::Idle);
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
        const QString stopped = text("label_DurationTime");
        QSignalSpy heartbeat(ProtocolManager::instance(), &ProtocolManager::HeartBeatMsg);
        QVERIFY(waitCount(heartbeat, 2)); // over a second of heartbeats
        // The clock does not run on; a late state report of the idle instrument may set it back.
        QVERIFY2(text("label_DurationTime") <= stopped, qPrintable(text("label_DurationTime")));
        // States 0 and 7 keep the run-state text.
        report.State = 7;
        report.Value = 3725;
        m_window->slot_SyncDeviceState(report);
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
        QCOMPARE(text("label_DurationTime"), QStringLiteral("01:02:05"));
        // Progress replies of the pages give collection and playback time.
        emit ProtocolManager::instance()->ProgressUpdate(360000, 0);
        QCOMPARE(text("label_DurationTime"), QStringLiteral("100:00:00"));
        // Once the clock follows a run's progress, a report of that run (some instruments send
        // one every second) leaves it; a report of another state sets it.
        for (const SystemState run : {SystemState::Collecting, SystemState::Playback}) {
            m_window->slot_statechange(run);
            emit ProtocolManager::instance()->ProgressUpdate(7, 1);
            report.State = quint8(run);
            report.Value = 0;
            m_window->slot_SyncDeviceState(report);
            QCOMPARE(text("label_DurationTime"), QStringLiteral("00:00:07"));
        }
        m_window->slot_statechange(SystemState::Idle);
        report.State = 1;
        m_window->slot_SyncDeviceState(report);
        QCOMPARE(text("label_DurationTime"), QStringLiteral("00:00:00"));
    }

    void clockSourceFromExtendedHeartbeat()
    {
        QVERIFY(start(QStringLiteral("TRANS")));
        QMemorySetting none;
        m_window->slot_HeartBeatMsgEx(none);
        const QString before = text("label_statusBar");
        QCOMPARE(before == QStringLiteral("时钟源：外部时钟"), false);
        auto* clock = m_window->findChild<QLabel*>("label_statusBar");
        auto* serial = m_window->findChild<QLabel*>("label_SN");
        QCoreApplication::processEvents();
        const QRect place = clock->geometry();
        const QRect serialPlace = serial->geometry();
        QMemorySetting ext;
        ext.setSectionValue("Time", "Source", "true");
        m_window->slot_HeartBeatMsgEx(ext);
        QCOMPARE(text("label_statusBar"), QStringLiteral("时钟源：外部时钟"));
        // Its room was kept: nothing in the status bar moves when the first report comes.
        m_window->layout()->activate();
        QCoreApplication::processEvents();
        QCOMPARE(clock->geometry(), place);
        QCOMPARE(serial->geometry(), serialPlace);
        QMemorySetting internal;
        internal.setSectionValue("Time", "Source", "false");
        m_window->slot_HeartBeatMsgEx(internal);
        QCOMPARE(text("label_statusBar"), QStringLiteral("时钟源：内部时钟"));
    }

    void refusedHeartbeatRegistrationIsNoSuccess()
    {
        QVERIFY(start(QStringLiteral("TRANS")));
        HeartMsg refused;
        refused.Accepted = 0;
        m_window->slot_HeartBeatMsg(refused);
        QCOMPARE(text("label_SystemStatus"), QStringLiteral("设备未接受心跳注册"));
    }

    void transponderErrorRunsASelfCheck()
    {
        QVERIFY(start(QStringLiteral("TRANS")));
        m_sim->clearRequests();
        // The settings page shows the round in one message, faults only.
        UiTest::DialogRecorder dialogs;
        QSignalSpy received(m_sim.get(), &InstrumentSim::requestReceived);
        m_window->slot_statechange(SystemState::Error);
        QCOMPARE(text("label_global_status"), QString());
        QVERIFY(waitCount(received, 3));
        QCOMPARE(countOf(*m_sim, kDeviceCheck), 1);
        // The program's own check: a card that is well is not reported, a fault is.
        QTRY_COMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("[采集卡 2]"));
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QCOMPARE(dialogs.requests.size(), 1);
    }

    void skinMenuAppliesTheChosenTheme()
    {
        QVERIFY(start(QStringLiteral("TRANS")));
        auto* button = m_window->findChild<QToolButton*>("tbn_stylesheet");
        QVERIFY(button);
        QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
        QStringList texts;
        for (QAction* a : button->actions())
            texts << a->text();
        QCOMPARE(texts, (QStringList{"蓝色", "深蓝", "黑色", "黑色扁平", "深黑", "PS黑色", "银色", "白色扁平"}));
        const QString silvery = m_window->styleSheet();
        button->actions().at(2)->trigger();
        QVERIFY(m_window->styleSheet() != silvery);
        const QString black = m_window->styleSheet();
        button->actions().at(6)->trigger();
        QCOMPARE(m_window->styleSheet(), silvery);
        button->actions().at(2)->trigger();
        QCOMPARE(m_window->styleSheet(), black);
    }

    void fiveClicksInARowOpenTheCalibrationWindow()
    {
        QVERIFY(start(QStringLiteral("TRANS")));
        auto* calib = m_window->findChild<QAbstractButton*>("pbn_ParaCalib");
        auto* nav = m_window->findChild<QAbstractButton*>("pbn_systemSet");
        QVERIFY(calib && nav);
        for (int i = 0; i < 4; ++i)
            calib->click();
        nav->click();
        calib->click();
        QVERIFY(!m_window->calibrationWindow()->isVisible());
        // The count began again at the navigation click: the fifth click since then opens it.
        for (int i = 0; i < 3; ++i)
            calib->click();
        QVERIFY(!m_window->calibrationWindow()->isVisible());
        calib->click();
        QVERIFY(m_window->calibrationWindow()->isVisible());
        m_window->calibrationWindow()->hide();
    }

    void closeSendsTheFittingStop_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("stopType");
        QTest::addColumn<int>("stopCmd");
        QTest::addColumn<bool>("asked");
        QTest::newRow("idle exits without asking") << 1 << 2 << true << 0 << 0 << false;
        QTest::newRow("error exits without asking") << 0 << 2 << true << 0 << 0 << false;
        QTest::newRow("collecting, stop and exit")
            << 2 << 0 << true << int(Msg_Type::Collect) << int(Msg_Cmd::StopRecord) << true;
        QTest::newRow("forwarding, stop and exit")
            << 4 << 0 << true << int(Msg_Type::Collect) << int(Msg_Cmd::StopRecord) << true;
        QTest::newRow("playing back, stop and exit")
            << 3 << 0 << true << int(Msg_Type::Collect) << int(Msg_Cmd::StopPlayback) << true;
        QTest::newRow("collecting, exit without stop") << 2 << 1 << true << 0 << 0 << true;
        QTest::newRow("collecting, cancel keeps the window") << 2 << 2 << false << 0 << 0 << true;
        QTest::newRow("playing back, escape keeps the window") << 3 << -1 << false << 0 << 0 << true;
        QTest::newRow("regenerating, stop sends nothing") << 7 << 0 << true << 0 << 0 << true;
    }
    void closeSendsTheFittingStop()
    {
        QFETCH(int, state);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(int, stopType);
        QFETCH(int, stopCmd);
        QFETCH(bool, asked);
        QVERIFY(start(QStringLiteral("TRANS")));
        m_window->show();
        m_window->slot_statechange(SystemState(state));
        UiTest::DialogRecorder dialogs(answer);
        const QList<DialogSeam::Request>& questions = dialogs.requests;
        m_sim->clearRequests();
        QSignalSpy received(m_sim.get(), &InstrumentSim::requestReceived);
        QCOMPARE(closeInsideLoop(), closed);
        QCOMPARE(m_window->isVisible(), !closed);
        QCOMPARE(questions.size(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(questions.at(0).title, QStringLiteral("退出"));
            QCOMPARE(questions.at(0).text, QStringLiteral("设备处于非空闲状态，是否停止后退出?"));
            QCOMPARE(questions.at(0).type, 4);
            QCOMPARE(questions.at(0).buttons,
                     (QStringList{QStringLiteral("停止并退出"), QStringLiteral("不停止退出"), QStringLiteral("取消")}));
            // Return and Escape answer 取消: stopping a run takes a deliberate click.
            QCOMPARE(questions.at(0).escapeIndex, 2);
        }
        // Let a few heartbeats through so a stop frame, if any, has arrived.
        QVERIFY(waitCount(received, 3));
        QList<Code> controls;
        for (const auto& r : m_sim->requests())
            if (r.type == quint8(Msg_Type::Collect))
                controls << Code(r.type, r.cmd);
        if (stopType) {
            QCOMPARE(controls, (QList<Code>{{stopType, stopCmd}}));
        } else {
            QVERIFY(controls.isEmpty());
        }
    }

    void quitQuestionGoesWithTheRunItAsksAbout_data()
    {
        QTest::addColumn<int>("ended");  // the state the run ends in while the question is open
        QTest::addColumn<int>("answer"); // to what is asked then
        QTest::addColumn<bool>("closed");
        QTest::newRow("upload ended, quit") << int(SystemState::Idle) << 0 << true;
        QTest::newRow("upload ended, stay") << int(SystemState::Idle) << 1 << false;
        QTest::newRow("ended in error, Escape stays") << int(SystemState::Error) << -1 << false;
    }
    void quitQuestionGoesWithTheRunItAsksAbout()
    {
        QFETCH(int, ended);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QVERIFY(start(QStringLiteral("TRANS")));
        m_window->show();
        RunStatus::instance()->slot_GlobalStatus(SystemState::Uploading);
        UiTest::DialogRecorder dialogs;
        dialogs.respond = [&](const DialogSeam::Request& r) -> DialogSeam::Answer {
            if (r.text == QStringLiteral("设备处于非空闲状态，是否停止后退出?")) {
                // The upload ends while the person reads the question; 停止并退出 would then
                // stop nothing, and the question is withdrawn.
                RunStatus::instance()->slot_GlobalStatus(SystemState(ended));
                return 0;
            }
            return answer;
        };
        m_sim->clearRequests();
        QCOMPARE(closeInsideLoop(), closed);
        QCOMPARE(dialogs.texts(), (QStringList{QStringLiteral("设备处于非空闲状态，是否停止后退出?"),
                                               QStringLiteral("设备已空闲（运行在询问期间已结束），是否退出?")}));
        QCOMPARE(dialogs.requests.at(1).buttons, (QStringList{QStringLiteral("退出"), QStringLiteral("取消")}));
        QCOMPARE(dialogs.requests.at(1).escapeIndex, 1);
        // Nothing ran to be stopped.
        for (const auto& r : m_sim->requests())
            QVERIFY(r.type != quint8(Msg_Type::UploadDownload) && r.type != quint8(Msg_Type::Collect));
    }
};

QTEST_MAIN(tst_MainWindowSequence)
#include "tst_MainWindowSequence.moc"
