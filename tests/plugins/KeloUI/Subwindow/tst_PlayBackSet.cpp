#include <UiTestSupport.h>

#include <CollectHandler.h>
#include <ConfigSetting.h>
#include <DeviceCapabilities.h>
#include <PlayBackSet.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <RecordHandler.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <TestTime.h>
#include <TimeSeletor.h>
#include <TumblerDateTime.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <ctime>
#include <memory>

using LinkTest::payloads;
using UiTest::child;

namespace {
QStringList logTexts(const QList<QList<QVariant>>& log)
{
    QStringList out;
    for (const auto& args : log) {
        const QString line = args.at(1).toString();
        out << line.mid(line.indexOf(QLatin1Char(']'), line.indexOf(QLatin1Char(']')) + 1) + 1).trimmed();
    }
    return out;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// A record description as the record service holds it.
RecordEx makeRecord(quint32 name, quint32 duration, QList<int> bands, quint32 size = 8, bool available = true)
{
    RecordEx r;
    r.SetRecordValue("Name", name);
    r.SetRecordValue("StartTime", name + 5);
    r.SetRecordValue("Duration", duration);
    r.SetRecordValue("Size", size);
    r.SetRecordValue("Available", available ? 1 : 0);
    r.SetRecordValue("Bit", 8);
    r.SetRecordValue("Remark", QStringLiteral("备注 %1").arg(name));
    r.SetRecordValue("FreqNum", bands.size());
    for (int i = 0; i < bands.size(); ++i)
        r.setSectionValue(QStringLiteral("Freq%1").arg(i + 1), "Num", bands.at(i));
    return r;
}

// LostThenAgain: no reply, and the state asked for after it comes slowly, so a second start
// answered at once meets the first start still unsettled. CheckLost: the same, but both state
// queries go unanswered.
enum Fault { NoFault, NoSelection, Refused, Silent, LinkDown, LostThenAgain, CheckLost, LateStart };
} // namespace

Q_DECLARE_METATYPE(Fault)

class tst_PlayBackSet : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<PlayBackSet> m_page;
    RecordHandler* m_records = nullptr;
    CollectHandler* m_collect = nullptr;
    // Each test names its records afresh: the record service keeps descriptions whose change
    // stamp it has seen, and the simulator starts every catalogue at stamp 1.
    quint32 m_base = 1800000000;

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    QTableView* table() { return child<QTableView>(*m_page, "tableView_freq"); }
    QAbstractItemModel* model() { return table()->model(); }
    QToolButton* startButton() { return child<QToolButton>(*m_page, "tbn_startplayback"); }
    QToolButton* stopButton() { return child<QToolButton>(*m_page, "tbn_stopplayback"); }
    QGroupBox* playbackGroup() { return child<QGroupBox>(*m_page, "groupBox_playback"); }
    QString text(const char* label) { return child<QLabel>(*m_page, label)->text(); }

    void makePage(const QString& mode = QStringLiteral("Kelo"))
    {
        ConfigSetting::instance()->configMode = mode;
        m_page = std::make_unique<PlayBackSet>();
        m_page->show();
    }
    bool search()
    {
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        RecordAssist::instance()->SeachRecord();
        return UiTest::waitCount(ready, 1);
    }
    // The instrument's state report sets the layout, as after a connection.
    bool askState()
    {
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device);
        return UiTest::waitCount(state, 1);
    }
    // Page on a catalogue of n records, idle, nothing selected.
    bool idlePage(int n = 4, const QString& mode = QStringLiteral("Kelo"))
    {
        m_records->seed(n, m_base);
        makePage(mode);
        return search() && askState() && startButton()->isEnabled();
    }
    quint32 nameAt(int i) const { return m_base + 60 * quint32(i); }
    void selectRecord(quint32 name)
    {
        for (int row = 0; row < model()->rowCount(); ++row)
            if (model()->index(row, 0).data(Qt::UserRole).toUInt() == name)
                table()->selectRow(row);
    }
    // A confirmed playback of the selected record.
    bool startPlaying()
    {
        QSignalSpy state(RunStatus::instance(), &RunStatus::GlobalChangeState);
        startButton()->click();
        return UiTest::waitCount(state, 1) && RunStatus::CurrentStatus() == SystemState::Playback;
    }
    // The instrument refuses or stays silent, or the link drops and stays down.
    bool injectFault(Fault fault)
    {
        m_collect->faults().refuse = fault == Refused;
        m_collect->faults().silent = fault == Silent || fault == LostThenAgain || fault == CheckLost;
        // Only the time-out row waits less than the instrument's time: a slow refusal on a busy
        // machine would otherwise come after a time-out of its own.
        if (fault == Silent || fault == LostThenAgain || fault == CheckLost || fault == LateStart)
            pm()->setReplyWaitForTest(TestTime::ms(300));
        const quint16 stateKind = quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DeviceState));
        if (fault == LostThenAgain || fault == LateStart)
            m_sim->faults().lateMs[stateKind] = TestTime::ms(2000);
        // The instrument starts at once; its answer comes long after the state report.
        if (fault == LateStart)
            m_sim->faults().lateMs[quint16(quint8(Msg_Type::Collect) << 8 | quint8(Msg_Cmd::StartPlayback))] =
                TestTime::ms(8000);
        if (fault == CheckLost)
            m_sim->faults().unsentReplies[stateKind] = 2;
        pm()->setStateWaitForTest(TestTime::ms(fault == CheckLost ? 1000 : ProtocolManager::kReplyWaitMs));
        return fault != LinkDown || UiTest::dropLink(*m_sim);
    }

private slots:
    void initTestCase()
    {
        // Record names are shown in local time; the expected texts below are UTC.
        qputenv("TZ", "UTC");
        tzset();
        m_app = std::make_unique<TestAppDir>();
        pm()->link()->setReconnectInterval(TestTime::ms(100));
    }
    void init()
    {
        m_base += 100000;
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        m_sim->profile().channels = 2;
        m_records = m_sim->handler<RecordHandler>();
        m_collect = m_sim->handler<CollectHandler>();
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo));
        pm()->freqBands.clear();
        pm()->freqBands.insert(1, FreqBand{QStringLiteral("B1I"), 1561098000, 0xFF, false});
        pm()->freqBands.insert(2, FreqBand{QStringLiteral("B3I"), 1268520000, 0xFF, false});
        pm()->freqBands.insert(4, FreqBand{QStringLiteral("自定义1"), 1575420000, 0xFF, true});
        LinkTest::resetRunState();
    }
    void cleanup()
    {
        pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        m_page.reset();
        UiTest::disconnect();
        m_sim.reset();
        LinkTest::resetRunState();
        RecordAssist::instance()->Records.clear();
    }

    void constructionWaitsForTheFirstState()
    {
        makePage();
        QCOMPARE(m_page->windowTitle(), QStringLiteral("回放设置"));
        QVERIFY(!table()->isEnabled());
        QVERIFY(!playbackGroup()->isEnabled());
        QVERIFY(!startButton()->isEnabled() && !stopButton()->isEnabled());
        QVERIFY(child<QGroupBox>(*m_page, "groupBox_Interval")->isHidden());
        QVERIFY(child<QCheckBox>(*m_page, "checkBox_AllChannel")->isChecked());
        QVERIFY(child<QCheckBox>(*m_page, "checkBox_AllChannel")->isHidden());
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlNone));
        QCOMPARE(model()->columnCount(), 7); // 4 fixed, 2 bands, remark
        QCOMPARE(model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("频段1"));
        QCOMPARE(model()->headerData(6, Qt::Horizontal).toString(), QStringLiteral("备注"));
        QVERIFY(child<QLabel>(*m_page, "label_ext")->isHidden());
        QVERIFY(!child<QLabel>(*m_page, "label_SyncTips")->pixmap(Qt::ReturnByValue).isNull());
        QVERIFY(askState());
        QVERIFY(table()->isEnabled() && playbackGroup()->isEnabled());
        QVERIFY(startButton()->isEnabled() && !stopButton()->isEnabled());
    }

    void variantsChooseTheControls_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("timed");
        QTest::addColumn<bool>("outputs");
        QTest::addColumn<bool>("trigger");
        QTest::newRow("timed start only on FBS units") << "FBS" << true << false << true;
        QTest::newRow("CPCI has outputs and no trigger") << "CPCI" << false << true << false;
        QTest::newRow("LEO") << "LEO" << false << false << true;
        QTest::newRow("plain unit") << "Kelo" << false << false << true;
    }
    void variantsChooseTheControls()
    {
        QFETCH(QString, mode);
        QFETCH(bool, timed);
        QFETCH(bool, outputs);
        QFETCH(bool, trigger);
        makePage(mode);
        QVERIFY(askState());
        QCOMPARE(child<QToolButton>(*m_page, "tbn_timeplayback")->isVisible(), timed);
        QCOMPARE(child<QGroupBox>(*m_page, "groupBox_channelOutput")->isVisible(), outputs);
        QCOMPARE(child<QGroupBox>(*m_page, "groupBox_channelOutput")->isEnabled(), outputs);
        QCOMPARE(child<QGroupBox>(*m_page, "groupBox_triggleMode")->isVisible(), trigger);
    }

    void startSendsTheSelectedRecord_data()
    {
        QTest::addColumn<bool>("endless");
        QTest::addColumn<int>("loops");
        QTest::addColumn<bool>("external");
        QTest::addColumn<QByteArray>("loopBytes");
        QTest::newRow("three loops, internal trigger") << false << 3 << false << QByteArray::fromHex("03000000");
        QTest::newRow("endless loop sends 0") << true << 5 << false << QByteArray::fromHex("00000000");
        QTest::newRow("external trigger") << false << 1 << true << QByteArray::fromHex("01000000");
    }
    void startSendsTheSelectedRecord()
    {
        QFETCH(bool, endless);
        QFETCH(int, loops);
        QFETCH(bool, external);
        QFETCH(QByteArray, loopBytes);
        QVERIFY(idlePage());
        selectRecord(nameAt(2));
        QCOMPARE(m_page->selectedRecord(), nameAt(2));
        child<QSpinBox>(*m_page, "spb_loopTimes")->setValue(loops);
        if (endless)
            child<QCheckBox>(*m_page, "rdb_nolimit")->click();
        QCOMPARE(child<QSpinBox>(*m_page, "spb_loopTimes")->isEnabled(), !endless);
        if (external)
            child<QRadioButton>(*m_page, "radiobtn_SyncOutside")->click();
        child<QSpinBox>(*m_page, "spb_AttenPower")->setValue(12);
        m_sim->clearRequests();

        QVERIFY(startPlaying());
        const QList<QByteArray> starts = payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback);
        QCOMPARE(starts.size(), 1);
        // name, loops, start position 0, the record's whole duration (30 + 2 s), trigger,
        // start time 0 (at once), 0.
        const QByteArray expected = le32(nameAt(2)) + loopBytes
                                  + QByteArray::fromHex("00000000"
                                                        "20000000")
                                  + QByteArray(1, external ? '\x01' : '\x00')
                                  + QByteArray::fromHex("00000000"
                                                        "00000000");
        QCOMPARE(starts.first().toHex(), expected.toHex());
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlNone));
        QVERIFY(!m_page->isWaitingForReply());
        // The confirmed start takes the shown attenuation, for all channels, once.
        QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower),
                 (QList<QByteArray>{QByteArray::fromHex("ff0c000000")}));
        // Playing: only the stop and the attenuation are open.
        QVERIFY(!table()->isEnabled());
        QVERIFY(playbackGroup()->isEnabled());
        QVERIFY(!child<QGroupBox>(*m_page, "groupBox_times")->isEnabled());
        QVERIFY(!child<QGroupBox>(*m_page, "groupBox_triggleMode")->isEnabled());
        QVERIFY(child<QGroupBox>(*m_page, "groupBox_channelAttenuation")->isEnabled());
        QVERIFY(!startButton()->isEnabled() && stopButton()->isEnabled());
        QVERIFY(m_page->isPolling());
    }

    void startFailures_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("pending");
        QTest::newRow("no record selected") << NoSelection << "错误"
                                            << "请选择一条记录进行回放" << int(ControlNone);
        QTest::newRow("refused by the instrument") << Refused << "启动回放失败"
                                                   << "设备上报失败" << int(ControlNone);
        // The wait ends with the check: a late reply acts on nothing.
        QTest::newRow("no reply, then a late refusal") << Silent << "启动回放"
                                                       << "设备未及时应答，正在核对…" << int(ControlNone);
        QTest::newRow("not sent") << LinkDown << "启动失败"
                                  << "网络发送失败" << int(ControlNone);
        // One answer for two starts may be either's: the state report that settles them is told.
        QTest::newRow("no reply, then a start pressed before the check: not sent, told why")
            << LostThenAgain << "启动回放"
            << "设备未及时应答，正在核对…" << int(ControlNone);
        QTest::newRow("no reply, its check unanswered: told unknown, asked again")
            << CheckLost << "启动回放"
            << "设备未及时应答，正在核对…" << int(ControlNone);
        // The state report asked at the expiry settles the start before its late answer comes.
        QTest::newRow("no reply before the state report, which shows it playing: told started")
            << LateStart << "启动回放"
            << "设备未及时应答，正在核对…" << int(ControlNone);
    }
    void startFailures()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(int, pending);
        QVERIFY(idlePage());
        if (fault != NoSelection)
            selectRecord(nameAt(1));
        QVERIFY(injectFault(fault));
        if (fault == LinkDown)
            m_page->slot_ChangeState(SystemState::Idle); // as if a state came while the link was down
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        QSignalSpy results(pm(), &ProtocolManager::ControlResult);
        m_page->on_tbn_startplayback_clicked();
        if (fault == Refused)
            QVERIFY(UiTest::waitCount(results, 1));
        // A quick check may tell its finding right after the time-out.
        QTRY_VERIFY_WITH_TIMEOUT(dialogs.requests.size() >= 1, TestTime::ms(10000));
        QCOMPARE(dialogs.requests.first().title, title);
        QCOMPARE(dialogs.requests.first().text, message);
        // A time-out is not a failure: it is being checked.
        const bool timedOut = fault == Silent || fault == LostThenAgain || fault == CheckLost || fault == LateStart;
        QCOMPARE(dialogs.requests.first().type,
                 int(timedOut ? MessageDialog::MessageType::Warning : MessageDialog::MessageType::Error));
        QCOMPARE(int(m_page->pendingControlCode()), pending);
        QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback).size(),
                 fault == NoSelection || fault == LinkDown ? 0 : 1);
        // The idle layout again; the table too unless nothing was selected (left as it was). A
        // start that ran out of its wait is checked: the start is held, with the reason, until
        // the check's report (a quick one, with no fault on it).
        const bool checked = fault == LostThenAgain || fault == CheckLost || fault == LateStart;
        if (fault == Silent)
            QTRY_VERIFY_WITH_TIMEOUT(startButton()->isEnabled(), TestTime::ms(10000));
        QCOMPARE(startButton()->isEnabled(), !checked);
        QCOMPARE(startButton()->toolTip(), checked ? QStringLiteral("正在核对…") : QString());
        QCOMPARE(startButton()->text(), QStringLiteral("开始回放"));
        QVERIFY(playbackGroup()->isEnabled());
        QVERIFY(table()->isEnabled());
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);

        if (fault == Silent) {
            // A reply that comes after the time-out changes nothing; the instrument, asked, is idle.
            LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback, QByteArray(1, '\0'));
            QVERIFY(askState());
            QCOMPARE(results.size(), 0);
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
            QVERIFY(!stopButton()->isEnabled() && startButton()->isEnabled());
            // The check told what it found, once.
            QCOMPARE(dialogs.texts().mid(1), QStringList{"设备未及时应答，核对结果：空闲中"});
        }
        if (fault == LateStart) {
            QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
            QVERIFY(UiTest::waitCount(state, 1));
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Playback);
            QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), 2, TestTime::ms(5000));
            QCOMPARE(dialogs.requests.at(1).text, QStringLiteral("设备在响应超时后已开始回放"));
            QCOMPARE(dialogs.requests.at(1).type, int(MessageDialog::MessageType::Information));
            QCOMPARE(results.size(), 0);
        }
        if (fault == LostThenAgain || fault == CheckLost) {
            m_collect->faults().silent = false;
            // Pressed another way while the lost start is checked: nothing goes out, and the
            // person is told why.
            m_page->on_tbn_startplayback_clicked();
            QCOMPARE(dialogs.requests.size(), 2);
            QCOMPARE(dialogs.requests.at(1).text, QStringLiteral("上一次请求尚未结束（正在核对…），本次未发送"));
            QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback).size(), 1);
            if (fault == CheckLost) {
                QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), 3, TestTime::ms(15000));
                QCOMPARE(dialogs.requests.at(2).title, QStringLiteral("核对设备状态失败"));
                QCOMPARE(dialogs.requests.at(2).text,
                         QStringLiteral("未能获取设备状态，以下请求的结果未知：\n启动回放"));
                QCOMPARE(startButton()->toolTip(), QStringLiteral("正在核对…"));
            }
            // The check, asked until a report comes, settles it: the next start is its own.
            QTRY_VERIFY_WITH_TIMEOUT(startButton()->isEnabled(), TestTime::ms(15000));
            const int told = dialogs.requests.size();
            m_page->on_tbn_startplayback_clicked();
            QVERIFY(UiTest::waitCount(results, 1));
            QTRY_COMPARE_WITH_TIMEOUT(RunStatus::CurrentStatus(), SystemState::Playback, TestTime::ms(10000));
            QCOMPARE(dialogs.requests.size(), told);
        }
    }

    void startInAnotherStateSendsNothing_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("logged");
        QTest::newRow("collecting") << 2 << false;
        QTest::newRow("already playing") << 3 << true;
        QTest::newRow("uploading") << 5 << false;
    }
    void startInAnotherStateSendsNothing()
    {
        QFETCH(int, state);
        QFETCH(bool, logged);
        QVERIFY(idlePage());
        selectRecord(nameAt(0));
        RunStatus::instance()->slot_GlobalStatus(SystemState(state));
        m_page->slot_ChangeState(SystemState::Idle); // the table open, to see it closed below
        m_sim->clearRequests();
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_page->on_tbn_startplayback_clicked();
        QVERIFY(dialogs.requests.isEmpty());
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlNone));
        QVERIFY(!table()->isEnabled());
        QCOMPARE(logTexts(log).contains(QStringLiteral("设备已在回放状态中")), logged);
        QVERIFY(!m_page->isWaitingForReply());
        // A round trip, after which a start frame would have arrived.
        QVERIFY(askState());
        QVERIFY(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback).isEmpty());
    }

    void stopEndsThePlayback()
    {
        QVERIFY(idlePage());
        selectRecord(nameAt(1));
        QVERIFY(startPlaying());
        m_sim->clearRequests();
        QSignalSpy state(RunStatus::instance(), &RunStatus::GlobalChangeState);
        stopButton()->click();
        // Waiting for the reply: the table is open again, the group closed.
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlStopPlayback));
        QVERIFY(table()->isEnabled());
        QVERIFY(!playbackGroup()->isEnabled());
        QVERIFY(UiTest::waitCount(state, 1));
        QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StopPlayback), (QList<QByteArray>{QByteArray()}));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlNone));
        QVERIFY(startButton()->isEnabled() && !stopButton()->isEnabled());
        QCOMPARE(startButton()->text(), QStringLiteral("开始回放"));
        QVERIFY(!m_page->isPolling());

        // Not playing: the stop only opens the table.
        table()->setEnabled(false);
        m_sim->clearRequests();
        m_page->on_tbn_stopplayback_clicked();
        QVERIFY(table()->isEnabled());
        QVERIFY(askState());
        QVERIFY(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StopPlayback).isEmpty());
    }

    void stopFailures_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("pending");
        QTest::newRow("refused by the instrument") << Refused << "设备上报失败" << int(ControlNone);
        QTest::newRow("no reply") << Silent << "设备未及时应答，正在核对…" << int(ControlNone);
        QTest::newRow("not sent") << LinkDown << "停止回放失败，请重试" << int(ControlNone);
    }
    void stopFailures()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, message);
        QFETCH(int, pending);
        QVERIFY(idlePage());
        selectRecord(nameAt(1));
        QVERIFY(startPlaying());
        QVERIFY(injectFault(fault));
        if (fault == LinkDown)
            QVERIFY(!m_page->isPolling());
        UiTest::DialogRecorder dialogs;
        QSignalSpy results(pm(), &ProtocolManager::ControlResult);
        m_page->on_tbn_stopplayback_clicked();
        if (fault == Refused)
            QVERIFY(UiTest::waitCount(results, 1));
        // A quick check may tell its finding right after the time-out.
        QTRY_VERIFY_WITH_TIMEOUT(dialogs.requests.size() >= 1, TestTime::ms(10000));
        QCOMPARE(dialogs.requests.first().title,
                 fault == Silent ? QStringLiteral("停止回放") : QStringLiteral("停止回放失败"));
        QCOMPARE(dialogs.requests.first().text, message);
        QCOMPARE(int(m_page->pendingControlCode()), pending);
        if (fault != Refused) {
            // The playing layout again (a refused stop is followed by the service's own state);
            // a stop that timed out holds its button until the state its check asks for is in.
            QVERIFY(playbackGroup()->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(stopButton()->isEnabled() && !startButton()->isEnabled(), TestTime::ms(5000));
        }
    }

    // A collection result answers the collection page's wait, not this one: the start still
    // waits, and its own expiry tells the person.
    void replyOfAnotherCommandLeavesTheWait()
    {
        QVERIFY(idlePage());
        selectRecord(nameAt(0));
        m_collect->faults().silent = true;
        pm()->setReplyWaitForTest(TestTime::ms(1000));
        startButton()->click();
        QVERIFY(m_page->isWaitingForReply());
        UiTest::DialogRecorder dialogs;
        m_page->slot_ControlResult(ControlStartRecord, true); // a collection reply
        QVERIFY(m_page->isWaitingForReply());
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlStartPlayback));
        QVERIFY(!playbackGroup()->isEnabled());
        QCOMPARE(startButton()->text(), QStringLiteral("准备中..."));
        QVERIFY(dialogs.requests.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts().value(0), QStringLiteral("设备未及时应答，正在核对…"),
                                  TestTime::ms(10000));
        QVERIFY(!m_page->isWaitingForReply());
    }

    void progressShowsPercentAndLoop_data()
    {
        QTest::addColumn<uint>("position");
        QTest::addColumn<uint>("loop");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("button");
        QTest::newRow("quarter, second loop") << 50u << 2u << 25 << "第2次回放";
        QTest::newRow("stop reply leaves the text") << 50u << 4294967295u << 25 << "准备中...";
        QTest::newRow("loop 0 leaves the text") << 199u << 0u << 99 << "准备中...";
        QTest::newRow("last counted loop") << 1u << 4294967294u << 0 << "第4294967294次回放";
        QTest::newRow("past the end stays full") << 260u << 1u << 100 << "第1次回放";
    }
    void progressShowsPercentAndLoop()
    {
        QFETCH(uint, position);
        QFETCH(uint, loop);
        QFETCH(int, percent);
        QFETCH(QString, button);
        m_records->seed(1, m_base);
        m_records->records()[0].duration = 200;
        makePage();
        QVERIFY(search() && askState());
        selectRecord(nameAt(0));
        QCOMPARE(m_page->playbackTotal(), 200u);
        m_collect->progressTimer().setInterval(60 * 60 * 1000); // the instrument's own count stays still
        QVERIFY(startPlaying());
        m_page->slot_UpdateProgress(position, loop);
        QCOMPARE(child<QProgressBar>(*m_page, "progressBar")->value(), percent);
        QCOMPARE(startButton()->text(), button);

        // Not playing: ignored.
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        m_page->slot_UpdateProgress(100, 7);
        QCOMPARE(child<QProgressBar>(*m_page, "progressBar")->value(), percent);
    }

    void progressIsPolledWhilePlaying()
    {
        m_records->seed(1, m_base);
        m_records->records()[0].duration = 100; // the simulator counts one percent a tick
        makePage();
        QVERIFY(search() && askState());
        selectRecord(nameAt(0));
        QVERIFY(startPlaying());
        QSignalSpy progress(pm(), &ProtocolManager::ProgressUpdate);
        QVERIFY(UiTest::waitCount(progress, 2));
        QVERIFY(payloads(*m_sim, Msg_Type::System, Msg_Cmd::Progress).size() >= 2);
        QVERIFY(child<QProgressBar>(*m_page, "progressBar")->value() > 0);
        QVERIFY(startButton()->text().startsWith(QStringLiteral("第")));

        // A lost link stops the poll and closes the page.
        QVERIFY(UiTest::dropLink(*m_sim));
        QVERIFY(!m_page->isPolling());
        QVERIFY(!table()->isEnabled() && !playbackGroup()->isEnabled());
    }

    void stateReportRestoresAPlayback_data()
    {
        QTest::addColumn<bool>("known");
        QTest::addColumn<quint32>("loops");
        QTest::addColumn<quint8>("trigger");
        QTest::addColumn<quint32>("duration");
        QTest::newRow("known record, three loops, external") << true << 3u << quint8(1) << 90u;
        QTest::newRow("known record, endless, no duration") << true << 0u << quint8(0) << 0u;
        QTest::newRow("record not on the list") << false << 0u << quint8(1) << 40u;
    }
    void stateReportRestoresAPlayback()
    {
        QFETCH(bool, known);
        QFETCH(quint32, loops);
        QFETCH(quint8, trigger);
        QFETCH(quint32, duration);
        QVERIFY(idlePage());
        const QString detailsBefore = text("label_recordname");
        const quint32 name = known ? nameAt(3) : nameAt(3) + 7;
        // State 3, seconds, then record name, loops, start position 10, duration, trigger, 0, 0.
        const QByteArray report = QByteArray(1, '\x03') + le32(77) + le32(name) + le32(loops) + le32(10)
                                + le32(duration) + QByteArray(1, char(trigger)) + le32(0) + le32(0);
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::DeviceStateReport, report);
        QVERIFY(UiTest::waitCount(state, 1));
        QVERIFY(stopButton()->isEnabled() && !startButton()->isEnabled());
        QVERIFY(m_page->isPolling());
        // The record's own 33 s when the report gives no duration and the record is known.
        QCOMPARE(m_page->playbackTotal(), duration == 0 && known ? 33u : duration);
        QCOMPARE(child<QRadioButton>(*m_page, "radiobtn_SyncOutside")->isChecked(), trigger == 1);
        QCOMPARE(child<QRadioButton>(*m_page, "radiobtn_SyncInside")->isChecked(), trigger != 1);
        QCOMPARE(child<QCheckBox>(*m_page, "rdb_nolimit")->isChecked(), loops == 0);
        QCOMPARE(child<QSpinBox>(*m_page, "spb_loopTimes")->value(), loops == 0 ? 1 : int(loops));
        // Its own flag: the loop group is closed while playing.
        QCOMPARE(child<QSpinBox>(*m_page, "spb_loopTimes")->isEnabledTo(child<QGroupBox>(*m_page, "groupBox_times")),
                 loops != 0);
        QCOMPARE(m_page->selectedRecord(), 0u);
        if (known) {
            QCOMPARE(text("label_recordname"), QDateTime::fromSecsSinceEpoch(name, Qt::UTC).toString("yyyyMMddhhmmss"));
            // The collection time shown is the record's name, not its start time.
            QCOMPARE(text("label_collectTime"),
                     QDateTime::fromSecsSinceEpoch(name, Qt::UTC).toString("yyyy-MM-dd hh:mm:ss"));
            QCOMPARE(text("lab_startTime"), QStringLiteral("00:00:10"));
            QCOMPARE(text("label_durationTime"), QStringLiteral("00:00:33"));
            QCOMPARE(text("lab_stopTime"), RecordAssist::GetRecordTimeString(10 + m_page->playbackTotal()));
        } else {
            QCOMPARE(text("label_recordname"), detailsBefore);
        }

        // Once the restored playback has ended, a start plays the whole selected record, not
        // the part that was reported.
        selectRecord(nameAt(2));
        QVERIFY(askState()); // the simulator itself is idle
        m_sim->clearRequests();
        QVERIFY(startPlaying());
        QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback).value(0).mid(8, 8).toHex(),
                 QByteArray("00000000"
                            "20000000"));
    }

    void tableShowsPlayableRecords_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("bits");
        QTest::newRow("LEO doubles the bit width") << "LEO"
                                                   << "16(I&Q) Bit";
        QTest::newRow("other units") << "Kelo"
                                     << "8 Bit";
    }
    void tableShowsPlayableRecords()
    {
        QFETCH(QString, mode);
        QFETCH(QString, bits);
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, true);
        DeviceCapabilities::setEnabled(DevConfigFeature::SampleRate, true);
        makePage(mode);
        QCOMPARE(model()->columnCount(), 9);
        QCOMPARE(model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("带宽"));
        QCOMPARE(model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("采样率"));
        QCOMPARE(text("label_ext"), QStringLiteral("记录带宽:\n采 样 率:"));

        auto& list = RecordAssist::instance()->Records;
        list.clear();
        list << makeRecord(1700000000, 3725, {4, 9})      // custom band, then one the unit lacks
             << makeRecord(1700000100, 10, {1}, 0)        // empty: not playable
             << makeRecord(1700000200, 10, {1}, 8, false) // not available
             << makeRecord(1700000300, 20, {2});
        list[0].SetRecordValue("Bandwidth", 2046000);
        list[0].SetRecordValue("SampleRate", 62500000);
        m_page->slot_RecordListReady();
        QCOMPARE(model()->rowCount(), 2);
        QCOMPARE(m_page->playableCount(), 2);
        const QStringList row0{"20231114221320", "2023-11-14 22:13:25", "01:02:05", bits,
                               "2.046 MHz",      "62.5 MSPS",           "*自定义1", "不支持的频段:9",
                               "备注 1700000000"};
        for (int c = 0; c < row0.size(); ++c)
            QCOMPARE(model()->index(0, c).data().toString(), row0.at(c));
        QCOMPARE(model()->index(0, 0).data(Qt::UserRole).toUInt(), 1700000000u);
        QCOMPARE(model()->index(1, 7).data().toString(), QStringLiteral("--"));
        QCOMPARE(model()->index(1, 6).data().toString(), QStringLiteral("B3I"));

        m_page->slot_SyncDeviceState(SyncDeviceState{1, 0, {}, {}, {}});
        // As short as the page stands in the main window on a laptop screen.
        m_page->resize(m_page->width(), m_page->minimumSizeHint().height());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QPoint start = startButton()->mapTo(m_page.get(), QPoint());
        table()->selectRow(0);
        // The details fill in without moving the controls a person aims at.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(startButton()->mapTo(m_page.get(), QPoint()), start);
        QCOMPARE(m_page->selectedRecord(), 1700000000u);
        QCOMPARE(text("label_recordname"), QStringLiteral("20231114221320"));
        QCOMPARE(text("label_collectTime"), QStringLiteral("2023-11-14 22:13:25"));
        QCOMPARE(text("label_durationTime"), QStringLiteral("01:02:05"));
        QCOMPARE(text("lab_playbackTime"), QStringLiteral("3725S"));
        QCOMPARE(text("lab_stopTime"), QStringLiteral("01:02:05"));
        QCOMPARE(text("label_bitwide"), bits);
        QCOMPARE(text("label_ext_data"), QStringLiteral("2.046 MHz\n62.5 MSPS"));
        QCOMPARE(text("txt_freqPoint"), QStringLiteral("[1] *自定义1\n[2] 不支持的频段:9"));
        QCOMPARE(m_page->playbackTotal(), 3725u);

        // The settings read again (after a reconnection): the rows keep their records and the
        // choice, rather than blank rows whose record has no name.
        emit ProtocolManager::instance()->GetDeviceSettingsFinished();
        QCOMPARE(model()->rowCount(), 2);
        for (int c = 0; c < row0.size(); ++c)
            QCOMPARE(model()->index(0, c).data().toString(), row0.at(c));
        QCOMPARE(model()->index(1, 0).data(Qt::UserRole).toUInt(), 1700000300u);
        QCOMPARE(m_page->selectedRecord(), 1700000000u);

        // Clearing the selection empties the details, one mark for every value, and leaves the
        // playback length.
        table()->clearSelection();
        QCOMPARE(m_page->selectedRecord(), 0u);
        for (const char* value :
             {"txt_freqPoint", "label_bitwide", "label_recordname", "label_collectTime", "label_durationTime"})
            QCOMPARE(text(value), QStringLiteral("--"));
        QCOMPARE(text("label_ext_data"), QStringLiteral("--\n--")); // one beside each caption line
        QCOMPARE(m_page->playbackTotal(), 3725u);
    }

    void wholeRecordIsPlayed()
    {
        m_records->seed(2, m_base);
        m_records->records()[1].duration = 3725;
        makePage();
        QVERIFY(search() && askState());
        selectRecord(nameAt(0));
        selectRecord(nameAt(1));
        m_sim->clearRequests();
        QVERIFY(startPlaying());
        const QList<QByteArray> starts = payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback);
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts.first().mid(8, 8).toHex(), QByteArray("00000000"
                                                              "8d0e0000")); // from 0, 3725 s
    }

    void selectionIsKeptAcrossRefills()
    {
        QVERIFY(idlePage(5));
        selectRecord(nameAt(3));
        QCOMPARE(m_page->selectedRecord(), nameAt(3));
        // An earlier record becomes unplayable: the selected one moves up a row and stays.
        m_records->records()[1].available = false;
        ++m_records->records()[1].stamp;
        QVERIFY(search());
        QCOMPARE(model()->rowCount(), 4);
        QCOMPARE(m_page->selectedRecord(), nameAt(3));
        QCOMPARE(m_page->currentRecord().RecordValue("Name").toUInt(), nameAt(3));
        const QModelIndexList rows = table()->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().row(), 2);
        QCOMPARE(text("label_recordname"),
                 QDateTime::fromSecsSinceEpoch(nameAt(3), Qt::UTC).toString("yyyyMMddhhmmss"));

        // The selected record is gone: nothing is selected and the current record is reset.
        m_records->records().removeAt(3);
        QVERIFY(search());
        QCOMPARE(model()->rowCount(), 3);
        QVERIFY(table()->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(m_page->selectedRecord(), 0u);
        QCOMPARE(m_page->currentRecord().RecordValue("Name").toUInt(), 0u);
        QCOMPARE(text("label_recordname"), QStringLiteral("--"));
        UiTest::DialogRecorder dialogs;
        m_page->on_tbn_startplayback_clicked();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.first().text, QStringLiteral("请选择一条记录进行回放"));
    }

    void refillWhilePlayingOpensStartWhichOnlyLogs()
    {
        QVERIFY(idlePage());
        selectRecord(nameAt(2));
        QVERIFY(startPlaying());
        QVERIFY(search());
        QVERIFY(startButton()->isEnabled() && !stopButton()->isEnabled());
        QCOMPARE(m_page->selectedRecord(), nameAt(2));
        m_sim->clearRequests();
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        startButton()->click();
        QVERIFY(logTexts(log).contains(QStringLiteral("设备已在回放状态中")));
        QVERIFY(!table()->isEnabled());
        QVERIFY(askState());
        QVERIFY(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback).isEmpty());
    }

    void deleteAllShowsWhatIsLeft_data()
    {
        QTest::addColumn<char>("flag");
        QTest::addColumn<int>("rows"); // a refused clearing leaves every record on the instrument
        QTest::newRow("deleted") << '\x01' << 0;
        QTest::newRow("reported as failed") << '\x00' << 3;
    }
    void deleteAllShowsWhatIsLeft()
    {
        QFETCH(char, flag);
        QFETCH(int, rows);
        QVERIFY(idlePage(3));
        QCOMPARE(model()->rowCount(), 3);
        QSignalSpy deleted(pm(), &ProtocolManager::DeleteAllRecordSuccess);
        pm()->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord);
        LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord, QByteArray(1, flag));
        QVERIFY(UiTest::waitCount(deleted, 1));
        QCOMPARE(model()->rowCount(), rows);
        QCOMPARE(model()->columnCount(), 7);
    }

    void attenuationIsSentOnceAndReportsAreNotEchoed()
    {
        QVERIFY(idlePage(1));
        auto* spin = child<QSpinBox>(*m_page, "spb_AttenPower");
        auto* slider = child<QSlider>(*m_page, "hSlider_AttenPower");
        QCOMPARE(spin->maximum(), 60);
        QCOMPARE(slider->maximum(), 60);
        QSignalSpy reports(pm(), &ProtocolManager::AttenuationPowerChanged);
        spin->setValue(29);
        QVERIFY(UiTest::waitCount(reports, 1)); // the instrument's echo of 29
        m_sim->clearRequests();

        spin->stepUp();
        QCOMPARE(slider->value(), 30);
        QVERIFY(UiTest::waitCount(reports, 2));
        QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower),
                 (QList<QByteArray>{QByteArray::fromHex("ff1e000000")}));

        // A report sets both controls and sends nothing back.
        m_sim->clearRequests();
        LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower, QByteArray::fromHex("ff19000000"));
        QVERIFY(UiTest::waitCount(reports, 3));
        QCOMPARE(spin->value(), 25);
        QCOMPARE(slider->value(), 25);
        QVERIFY(!PlayBackSet::isMarked(spin) && !PlayBackSet::isMarked(slider));
        // A report of the value already shown changes nothing, and the user's next change
        // still goes out.
        LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower, QByteArray::fromHex("ff19000000"));
        QVERIFY(UiTest::waitCount(reports, 4));
        QVERIFY(askState());
        QVERIFY(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower).isEmpty());
        spin->setValue(26);
        QVERIFY(UiTest::waitCount(reports, 5));
        QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower),
                 (QList<QByteArray>{QByteArray::fromHex("ff1a000000")}));
        // Values past the range are shown at its end.
        m_sim->clearRequests();
        LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower, QByteArray::fromHex("ff4b000000"));
        QVERIFY(UiTest::waitCount(reports, 6));
        QCOMPARE(spin->value(), 60);
        QVERIFY(askState());
        QVERIFY(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower).isEmpty());

        // The slider goes through the spin box: one command per value.
        slider->setValue(58);
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower));
        QCOMPARE(spin->value(), 58);
        QCOMPARE(payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower),
                 (QList<QByteArray>{QByteArray::fromHex("ff3a000000")}));
    }

    void outputChannelsGoOutAtOnceAndBeforeAStart()
    {
        QVERIFY(idlePage(2, QStringLiteral("CPCI")));
        auto* second = child<QCheckBox>(*m_page, "checkBox_output_2");
        QVERIFY(child<QGroupBox>(*m_page, "groupBox_channelOutput")->isEnabled());
        m_sim->clearRequests();
        second->click();
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Extend, Msg_Cmd::RecordBandwidth));
        QCOMPARE(payloads(*m_sim, Msg_Type::Extend, Msg_Cmd::RecordBandwidth),
                 (QList<QByteArray>{QByteArray::fromHex("0200")}));

        selectRecord(nameAt(0));
        m_sim->clearRequests();
        QVERIFY(startPlaying());
        QList<quint8> order;
        for (const auto& r : m_sim->requests())
            if (r.type == quint8(Msg_Type::Extend)
                || (r.type == quint8(Msg_Type::Collect) && r.cmd == quint8(Msg_Cmd::StartPlayback)))
                order << r.type;
        QCOMPARE(order, (QList<quint8>{6, 6, 3}));
        QCOMPARE(payloads(*m_sim, Msg_Type::Extend, Msg_Cmd::RecordBandwidth),
                 (QList<QByteArray>{QByteArray::fromHex("0101"), QByteArray::fromHex("0200")}));

        // Also while playing.
        m_sim->clearRequests();
        QVERIFY(second->isEnabled());
        second->click();
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Extend, Msg_Cmd::RecordBandwidth));
        QCOMPARE(payloads(*m_sim, Msg_Type::Extend, Msg_Cmd::RecordBandwidth),
                 (QList<QByteArray>{QByteArray::fromHex("0201")}));
    }

    void timedStartUsesTheSelector()
    {
        QVERIFY(idlePage(2, QStringLiteral("FBS")));
        auto* timed = child<QToolButton>(*m_page, "tbn_timeplayback");
        TimeSeletor* selector = TimeSeletor::instance();
        // Nothing selected: refused before the selector opens.
        UiTest::DialogRecorder dialogs;
        timed->click();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.first().text, QStringLiteral("请选择一条记录进行回放"));
        QVERIFY(!selector->isVisible());

        // Closed without a choice: nothing is sent, the table stays closed.
        selectRecord(nameAt(1));
        m_sim->clearRequests();
        timed->click();
        QVERIFY(selector->isVisible());
        QCOMPARE(selector->currentMode, quint8(0));
        QVERIFY(!table()->isEnabled());
        selector->findChild<QAbstractButton*>("tbn_close")->click();
        QVERIFY(!selector->isVisible());
        QVERIFY(!table()->isEnabled());

        // Opened again and confirmed: one start, carrying the chosen time.
        timed->click();
        const uint chosen = selector->dateTimeTumbler()->getDateTime().toTime_t();
        QSignalSpy state(RunStatus::instance(), &RunStatus::GlobalChangeState);
        selector->findChild<QAbstractButton*>("pbn_SetTime")->click();
        QVERIFY(!selector->isVisible());
        QVERIFY(UiTest::waitCount(state, 1));
        const QList<QByteArray> starts = payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback);
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts.first().mid(0, 4), le32(nameAt(1)));
        QCOMPARE(starts.first().mid(17, 4), le32(chosen));
    }

    void timedStartCarriesTheChosenTime()
    {
        QVERIFY(idlePage(2, QStringLiteral("FBS")));
        // Not idle, or nothing selected: the chosen time is dropped.
        m_sim->clearRequests();
        m_page->slot_time_playback_confrim(2000000000u, 0);
        selectRecord(nameAt(1));
        RunStatus::instance()->slot_GlobalStatus(SystemState::Collecting);
        m_page->slot_time_playback_confrim(2000000000u, 0);
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlNone));

        QSignalSpy state(RunStatus::instance(), &RunStatus::GlobalChangeState);
        m_page->slot_time_playback_confrim(2000000000u, 0);
        QCOMPARE(startButton()->text(), QStringLiteral("等待中..."));
        QCOMPARE(m_page->pendingControlCode(), quint8(ControlStartPlayback));
        QVERIFY(UiTest::waitCount(state, 1));
        const QList<QByteArray> starts = payloads(*m_sim, Msg_Type::Collect, Msg_Cmd::StartPlayback);
        QCOMPARE(starts.size(), 1);
        // 2000000000 = 0x77359400 as the sixth value.
        QCOMPARE(starts.first().mid(16).toHex(), QByteArray("00"
                                                            "00943577"
                                                            "00000000"));
    }
};

QTEST_MAIN(tst_PlayBackSet)
#include "tst_PlayBackSet.moc"
