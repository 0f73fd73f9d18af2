#include <UiTestSupport.h>

#include <CollectHandler.h>
#include <CollectSet.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <ReceiverCNR.h>
#include <RunStatus.h>
#include <SystemHandler.h>
#include <TcpConnect.h>
#include <TestTime.h>
#include <TimeSeletor.h>
#include <TumblerDateTime.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>

#include <memory>

using UiTest::child;

namespace {
void put32(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// Bands 1 to 3 and the custom band 5 go on every channel in 2, 4 and 8 bit; band 4 only on the
// first channel and only in 4 bit. 8 bit takes two channels per band.
void loadBench(DevConfigStore& store, bool transpond)
{
    auto& v = store.values;
    v.clear();
    for (const char* key :
         {"Config/CustomFreqEnable", "Extension/SerialPortRecord", "Transponder/TranspondEnable",
          "Transponder/DopplerEnable", "Bandwidth/BandwidthEnable", "SampleRate/SampleRateEnable", "MGC/MGCEnable",
          "FBPS/FBPSEnable", "Spectrum/SpectrumEnable", "LowPowMode/LPMEnable", "Config/ProtocolEx"})
        v[QString::fromLatin1(key)] = "false";
    v["Config/CustomFreqEnable"] = "true";
    if (transpond) {
        v["Transponder/TranspondEnable"] = "true";
        v["Transponder/TranspondDelay"] = "250";
    }
    v["Config/FreqNum"] = "5";
    v["Config/BitNum"] = "3";
    auto band = [&](int n, const QString& name, const QString& freq, const QString& ch, const QString& bits,
                    const QString& custom) {
        const QString p = QStringLiteral("Freq%1/").arg(n);
        v[p + "FreqName"] = name;
        v[p + "Freq"] = freq;
        v[p + "Channel"] = ch;
        v[p + "Bit"] = bits;
        v[p + "Custom"] = custom;
    };
    band(1, "GPS L1", "1575420000", "1,2,3,4", "2,4,8", "false");
    band(2, "BDS B1I", "1561098000", "1,2,3,4", "2,4,8", "false");
    band(3, "GLO G1", "1602000000", "1,2,3,4", "2,4,8", "false");
    band(4, "GPS L5", "1176450000", "1", "4", "false");
    band(5, QStringLiteral("自定义1"), "1268520000", "1,2,3,4", "2,4,8", "true");
    auto bit = [&](int n, const QString& width, const QString& name, const QString& single) {
        const QString p = QStringLiteral("Bit%1/").arg(n);
        v[p + "Bit"] = width;
        v[p + "BitName"] = name;
        v[p + "Single"] = single;
    };
    bit(0, "2", "2bit", "false");
    bit(1, "4", "4bit", "false");
    bit(2, "8", "8bit", "true");
}
} // namespace

class tst_CollectSet : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    ConfigSetting* c = nullptr;

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    static QComboBox* band(CollectSet& page, int row)
    {
        return child<QComboBox>(page, QStringLiteral("cbx_band%1").arg(row + 1));
    }
    static QWidget* row(CollectSet& page, int r)
    {
        return child<QWidget>(page, QStringLiteral("widget_channel%1").arg(r + 1));
    }
    static QToolButton* startButton(CollectSet& p) { return child<QToolButton>(p, "ptn_StartCollect"); }
    static QToolButton* stopButton(CollectSet& p) { return child<QToolButton>(p, "ptn_StopCollect"); }
    CollectHandler* collect() { return m_sim->handler<CollectHandler>(); }

    // Replies come in order: once the state reply is in, every earlier reply has been handled.
    bool roundTrip()
    {
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device);
        return UiTest::waitCount(state, 1);
    }
    int countRequests(Msg_Type type, Msg_Cmd cmd) const { return LinkTest::requestsOf(*m_sim, type, cmd).size(); }
    QList<QByteArray> payloads(Msg_Type type, Msg_Cmd cmd) const { return LinkTest::payloads(*m_sim, type, cmd); }
    // A state report (System 9) of a collection the page did not start.
    static QByteArray collectingReport(quint8 state, quint8 bitWidth, quint8 external, const QList<QByteArray>& entries,
                                       const QByteArray& note)
    {
        QByteArray out;
        out.append(char(state));
        put32(out, 0);
        put32(out, 1700000000u);
        out.append(char(0)); // serial-port record
        out.append(char(bitWidth));
        out.append(char(external));
        put32(out, 0); // timed stop
        put32(out, 0); // timed start
        out.append(char(entries.size()));
        for (const QByteArray& e : entries)
            out.append(e);
        out.append(note);
        return out;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        c = ConfigSetting::instance();
        pm()->link()->setReconnectInterval(TestTime::ms(100));
    }
    void init()
    {
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        loadBench(m_sim->profile().devConfig, false);
        c->deviceType = "Kelo";
        c->configMode = "LEO";
        c->SetInit(ConfigKey::DebugSameRecord, false);
        c->SetInit(ConfigKey::TransportMode, 0);
    }
    void cleanup()
    {
        pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        UiTest::disconnect();
        m_sim.reset();
        LinkTest::resetRunState();
    }

    void helpMarksAreTheIconOfThePlaybackPage()
    {
        CollectSet page;
        for (const char* name : {"label_SyncTips", "label_ComTips", "label_TimingTips"}) {
            auto* mark = child<QLabel>(page, name);
            QVERIFY2(!mark->pixmap(Qt::ReturnByValue).isNull(), name);
            QVERIFY2(mark->text().isEmpty(), name);
            QVERIFY2(!mark->toolTip().isEmpty(), name);
        }
    }

    void rebuildMakesOneRowPerChannelWithFilteredBands()
    {
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        // Screen readers and test automation see each band list as a list named by its label.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(band(*page, 0));
        QCOMPARE(list->role(), QAccessible::ComboBox);
        const auto labels = list->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels[0].first->text(QAccessible::Name), QStringLiteral("频段1："));
        QCOMPARE(child<QLabel>(*page, "txt_ChannelCnt")->text(), QStringLiteral("通道数:4"));
        QCOMPARE(child<QLabel>(*page, "txt_FreqCnt")->text(), QStringLiteral("频段数:5"));
        QVERIFY(!child<QLabel>(*page, "label_cst_note")->isHidden());
        auto* bits = child<QComboBox>(*page, "cbx_bitwidth");
        QCOMPARE(bits->count(), 3);
        QCOMPARE(bits->currentText(), QStringLiteral("2bit"));
        // 2 bit: band 4 is offered nowhere; each row starts on its own item.
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(band(*page, i)->count(), 4);
            QCOMPARE(row(*page, i)->findChild<QLabel*>("frequencyNumberText")->text(),
                     QStringLiteral("频段%1：").arg(i + 1));
        }
        QCOMPARE(band(*page, 0)->currentText(), QStringLiteral("GPS L1"));
        QCOMPARE(band(*page, 3)->currentText(), QStringLiteral("*自定义1"));
        QCOMPARE(band(*page, 3)->currentData(Qt::UserRole + 2).toBool(), true);
        QCOMPARE(row(*page, 1)->findChild<QLabel*>("frequencyValue")->text(),
                 QStringLiteral("(中心频率: 1561.098 MHz)"));
        // Idle after the state report; no forwarding controls without the capability.
        QVERIFY(startButton(*page)->isEnabled());
        QVERIFY(!stopButton(*page)->isEnabled());
        QVERIFY(!page->findChild<QWidget*>("widget_recordForward"));
        QVERIFY(child<QGroupBox>(*page, "groupBox_channelAttenuation")->isHidden());

        // 4 bit: band 4 joins the first list only; the chosen bands stay.
        UiTest::DialogRecorder dialogs;
        band(*page, 2)->setCurrentIndex(0);
        bits->setCurrentIndex(1);
        QCOMPARE(band(*page, 0)->count(), 5);
        QCOMPARE(band(*page, 0)->findData(4u), 3);
        for (int i = 1; i < 4; ++i)
            QCOMPARE(band(*page, i)->findData(4u), -1);
        QCOMPARE(band(*page, 2)->currentText(), QStringLiteral("GPS L1"));
        QCOMPARE(band(*page, 3)->currentText(), QStringLiteral("*自定义1"));
    }

    void twoChannelWidthHidesEveryOddRow_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QList<int>>("visible");
        QTest::addColumn<QString>("count");
        QTest::newRow("four channels") << 4 << QList<int>{0, 2} << "通道数:2";
        QTest::newRow("three channels") << 3 << QList<int>{0, 2} << "通道数:2";
        QTest::newRow("six channels") << 6 << QList<int>{0, 2, 4} << "通道数:3";
    }
    void twoChannelWidthHidesEveryOddRow()
    {
        QFETCH(int, channels);
        QFETCH(QList<int>, visible);
        QFETCH(QString, count);
        m_sim->profile().channels = quint8(channels);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        for (int i = 0; i < channels; ++i)
            QVERIFY(row(*page, i)->isVisibleTo(page.get()));
        child<QComboBox>(*page, "cbx_bitwidth")->setCurrentIndex(2);
        QCOMPARE(child<QLabel>(*page, "txt_ChannelCnt")->text(), count);
        for (int i = 0; i < channels; ++i)
            QCOMPARE(row(*page, i)->isVisibleTo(page.get()), visible.contains(i));
        // Rows beyond the fourth channel are offered no band.
        if (channels > 4)
            QCOMPARE(row(*page, 4)->findChild<QLabel*>("frequencyValue")->text(), QStringLiteral("--"));
        for (int k = 0; k < visible.size(); ++k)
            QCOMPARE(row(*page, visible[k])->findChild<QLabel*>("frequencyNumberText")->text(),
                     QStringLiteral("频段%1：").arg(k + 1));
    }

    void sameBandOnTwoVisibleChannelsIsWarnedButHiddenRowsAreNot()
    {
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        UiTest::DialogRecorder dialogs;
        band(*page, 1)->setCurrentIndex(0); // row 1 takes row 0's band
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests[0].title, QStringLiteral("无效"));
        QCOMPARE(dialogs.requests[0].text, QStringLiteral("不可多通道选择同一频段"));
        QCOMPARE(dialogs.requests[0].type, 2);
        QCOMPARE(band(*page, 1)->currentIndex(), 0); // the choice stays as the user made it

        band(*page, 1)->setCurrentIndex(1);
        child<QComboBox>(*page, "cbx_bitwidth")->setCurrentIndex(2);
        dialogs.requests.clear();
        band(*page, 2)->setCurrentIndex(1); // row 1 holds this band, but row 1 is hidden
        QCOMPARE(dialogs.requests.size(), 0);
        // The refill kept row 0 on its band without a change: its first change passes unchecked.
        band(*page, 0)->setCurrentIndex(1);
        QCOMPARE(dialogs.requests.size(), 0);
        band(*page, 0)->setCurrentIndex(2);
        band(*page, 0)->setCurrentIndex(1);
        QCOMPARE(dialogs.requests.size(), 1);
    }

    void startSendsTheParametersAndStopEndsTheRun()
    {
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        UiTest::DialogRecorder dialogs;
        child<QTextEdit>(*page, "txt_Note")->setPlainText(QStringLiteral("east roof"));
        child<QRadioButton>(*page, "radiobtn_Outside")->setChecked(true);
        QSignalSpy result(pm(), &ProtocolManager::ControlResult);
        const QString shownName = child<QLineEdit>(*page, "txt_recordName")->text();
        startButton(*page)->click();
        QCOMPARE(startButton(*page)->text(), QStringLiteral("等待中"));
        QCOMPARE(page->pendingControlCode(), quint8(ControlStartRecord));
        QVERIFY(UiTest::waitCount(result, 1));
        QVERIFY(dialogs.requests.isEmpty());

        const QList<QByteArray> starts = payloads(Msg_Type::Collect, Msg_Cmd::StartRecord);
        QCOMPARE(starts.size(), 1);
        QByteArray expected;
        expected.append(QByteArray::fromHex("00"
                                            "02"
                                            "01")); // no serial record, 2 bit, external trigger
        expected.append(QByteArray::fromHex("00000000"
                                            "00000000")); // no timed stop, no timed start
        expected.append(QByteArray::fromHex("04"
                                            "01000001"
                                            "02000001"
                                            "03000001"
                                            "05000001"));
        expected.append(
            QStringLiteral("east roof\n[此注释由系统生成]\n<频段4>自定义频段ID: 5 中心频率: 1268520000\n").toUtf8());
        QCOMPARE(starts[0].mid(4).toHex(), expected.toHex());
        // The record name is the time the page showed.
        const uchar* name = reinterpret_cast<const uchar*>(starts[0].constData());
        const quint32 seconds =
            quint32(name[0]) | quint32(name[1]) << 8 | quint32(name[2]) << 16 | quint32(name[3]) << 24;
        QCOMPARE(QDateTime::fromSecsSinceEpoch(seconds).toString("yyyyMMddhhmmss"), shownName);

        // Collecting: the stop is held back until the run has gone six seconds.
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
        QVERIFY(!stopButton(*page)->isEnabled());
        QVERIFY(!child<QComboBox>(*page, "cbx_bitwidth")->isEnabled());
        QVERIFY(child<QTextEdit>(*page, "txt_Note")->isReadOnly());
        QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(15000));
        QVERIFY(startButton(*page)->property("time").toUInt() >= 6);
        QVERIFY(QRegularExpression("^00:00:\\d\\d$").match(startButton(*page)->text()).hasMatch());
        QVERIFY(countRequests(Msg_Type::System, Msg_Cmd::Progress) >= 1);

        stopButton(*page)->click();
        QCOMPARE(page->pendingControlCode(), quint8(ControlStopRecord));
        QVERIFY(UiTest::waitCount(result, 2));
        QCOMPARE(payloads(Msg_Type::Collect, Msg_Cmd::StopRecord), QList<QByteArray>{QByteArray(1, '\x01')});
        QTRY_COMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QCOMPARE(page->pendingControlCode(), quint8(ControlNone));
        QVERIFY(startButton(*page)->isEnabled());
        QCOMPARE(startButton(*page)->text(), QStringLiteral("开始"));
        QVERIFY(!stopButton(*page)->isEnabled());
        QVERIFY(dialogs.requests.isEmpty());
    }

    void stopIsEnabledByTheTimerWhenProgressLags()
    {
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        QSignalSpy result(pm(), &ProtocolManager::ControlResult);
        page->setStopEnableDelayForTest(TestTime::ms(300));
        startButton(*page)->click();
        QVERIFY(UiTest::waitCount(result, 1));
        collect()->progressTimer().stop(); // the instrument's count stays below six
        QVERIFY(!stopButton(*page)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(10000));
        QVERIFY(m_sim->profile().progress < 6);
        // Back after a link loss, 停止 waits for the state report, as the main window's clock does.
        page->setStopEnableDelayForTest(0); // a timer still going fires before the link is back
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        bool stopAtLinkUp = false;
        connect(pm(), &ProtocolManager::NetSuccess, page.get(), [&](bool up) {
            if (up)
                stopAtLinkUp = stopAtLinkUp || stopButton(*page)->isEnabled();
        });
        m_sim->closeConnection();
        QVERIFY(UiTest::waitCount(link, 2));
        QVERIFY(!stopAtLinkUp);
    }

    void aStateReportOfTheShownRunChangesNothing()
    {
        // The instrument reports its state on its own every so often while it collects.
        collect()->faults().stateReportEveryMs = TestTime::ms(100);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        QSignalSpy result(pm(), &ProtocolManager::ControlResult);
        startButton(*page)->click();
        QVERIFY(UiTest::waitCount(result, 1));
        QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(15000));
        int lockedAtAReport = 0;
        QStringList clock;
        connect(pm(), &ProtocolManager::UpdateDeviceState, page.get(), [&] {
            lockedAtAReport += stopButton(*page)->isEnabled() ? 0 : 1;
            clock << startButton(*page)->text();
        });
        QSignalSpy reports(pm(), &ProtocolManager::UpdateDeviceState);
        QVERIFY(UiTest::waitCount(reports, 5));
        QCOMPARE(lockedAtAReport, 0);
        for (const QString& shown : qAsConst(clock))
            QVERIFY2(shown != QStringLiteral("00:00:00") && shown.contains(QLatin1Char(':')), qPrintable(shown));
        // A stop the instrument refuses gives the stop back at once, the run going on.
        collect()->faults().refuse = true;
        UiTest::DialogRecorder dialogs;
        stopButton(*page)->click();
        QVERIFY(UiTest::waitCount(result, 2));
        QVERIFY(stopButton(*page)->isEnabled());
        QVERIFY(UiTest::waitCount(reports, reports.size() + 2));
        QCOMPARE(lockedAtAReport, 0);
    }

    void anotherRunWithNoIdleReportBetweenLocksStopAgain()
    {
        // Another PC starts a run within one report period of this one's end: the next report
        // shows a run of another name, whose first seconds hold 停止.
        collect()->faults().stateReportEveryMs = TestTime::ms(100);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        page->setStopEnableDelayForTest(TestTime::ms(300));
        QSignalSpy result(pm(), &ProtocolManager::ControlResult);
        startButton(*page)->click();
        QVERIFY(UiTest::waitCount(result, 1));
        QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(15000));
        page->setStopEnableDelayForTest(TestTime::ms(60000));
        QByteArray& run = m_sim->profile().runParameters;
        QVERIFY(run.size() >= 4);
        run[0] = char(run.at(0) + 1);
        m_sim->profile().progress = 0;
        QSignalSpy reports(pm(), &ProtocolManager::UpdateDeviceState);
        QVERIFY(UiTest::waitCount(reports, 2));
        QVERIFY(!stopButton(*page)->isEnabled());
    }

    void startRefusals_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("type");
        QTest::newRow("not idle") << "playback"
                                  << "采集"
                                  << "当前处于其他工作状态，采集不可用!!" << 2;
        QTest::newRow("two channels one band") << "same band"
                                               << "无效"
                                               << "不可多通道选择同一频段" << 2;
        QTest::newRow("timed mode without times") << "timed"
                                                  << "提示"
                                                  << "启动采集失败\n当前定时采集时长低于5S" << 1;
        QTest::newRow("timed mode of four seconds") << "four seconds"
                                                    << "提示"
                                                    << "启动采集失败\n当前定时采集时长低于5S" << 1;
        // The first width takes two channels, so the rebuild leaves every row numbered 1 to 4.
        QTest::newRow("empty list named as the screen labels it") << "two-channel first"
                                                                  << "无效"
                                                                  << "频段3未选择" << 2;
    }
    void startRefusals()
    {
        QFETCH(QString, situation);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(int, type);
        if (situation == "two-channel first")
            m_sim->profile().devConfig.values["Bit0/Single"] = "true";
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        UiTest::DialogRecorder dialogs;
        auto* timing = child<QRadioButton>(*page, "radiobtn_TimingMode");
        if (situation == "two-channel first") {
            band(*page, 2)->setCurrentIndex(-1);
        } else if (situation == "playback") {
            RunStatus::instance()->slot_GlobalStatus(SystemState::Playback);
        } else if (situation == "same band") {
            band(*page, 2)->setCurrentIndex(0);
            dialogs.requests.clear();
        } else if (situation == "timed") {
            timing->click();
        } else {
            timing->click();
            page->slot_SetTimingTime(1800000000u, 0);
            page->slot_SetTimingTime(1800000004u, 1);
        }
        QMetaObject::invokeMethod(page.get(), "on_ptn_StartCollect_clicked");
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests[0].title, title);
        QCOMPARE(dialogs.requests[0].text, text);
        QCOMPARE(dialogs.requests[0].type, type);
        QCOMPARE(page->pendingControlCode(), quint8(ControlNone));
        QTest::qWait(0);
        QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::StartRecord), 0);
    }

    void startAccepted_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QByteArray>("times"); // timed stop, then timed start, as sent
        QTest::newRow("one band twice with the debug switch")
            << "same record" << QByteArray::fromHex("0000000000000000");
        QTest::newRow("timed start only") << "start only" << QByteArray::fromHex("0000000000c2eb0b");
        QTest::newRow("timed stop only") << "stop only" << QByteArray::fromHex("05c2eb0b00000000");
        QTest::newRow("timed five seconds") << "five seconds" << QByteArray::fromHex("05c2eb0b00c2eb0b");
    }
    void startAccepted()
    {
        QFETCH(QString, situation);
        QFETCH(QByteArray, times);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        UiTest::DialogRecorder dialogs;
        if (situation == "same record") {
            c->SetInit(ConfigKey::DebugSameRecord, true);
            band(*page, 2)->setCurrentIndex(0);
            dialogs.requests.clear();
        } else {
            child<QRadioButton>(*page, "radiobtn_TimingMode")->click();
            if (situation != "stop only")
                page->slot_SetTimingTime(200000000u, 0);
            if (situation != "start only")
                page->slot_SetTimingTime(200000005u, 1);
        }
        startButton(*page)->click();
        QVERIFY(dialogs.requests.isEmpty());
        InstrumentSim::Request start;
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Collect, Msg_Cmd::StartRecord, &start));
        QCOMPARE(start.payload.mid(7, 8).toHex(), times.toHex());
        if (situation == "same record")
            QCOMPARE(start.payload.mid(16, 12).toHex(), QByteArray("010000010200000101000001"));
    }

    void timeButtonsShowTheChosenTimes()
    {
        CollectSet page;
        page.slot_ChangeState(SystemState::Idle);
        auto* start = child<QPushButton>(page, "pbn_StartTime");
        auto* stop = child<QPushButton>(page, "pbn_StopTime");
        QCOMPARE(start->text(), QStringLiteral("未设置"));
        page.slot_SetTimingTime(1800000000u, 0);
        QCOMPARE(start->text(), QDateTime::fromSecsSinceEpoch(1800000000).toString("yyyy-MM-dd hh:mm:ss"));
        QCOMPARE(page.startTime(), 1800000000u);
        page.slot_SetTimingTime(1800000600u, 7); // any mode but 0 is the stop time
        QCOMPARE(page.stopTime(), 1800000600u);
        auto* group = child<QGroupBox>(page, "gpb_RecordTimingSet");
        child<QRadioButton>(page, "radiobtn_TimingMode")->click();
        QVERIFY(group->isEnabled());
        child<QRadioButton>(page, "radiobtn_NormalMode")->click();
        QVERIFY(!group->isEnabled());
        QCOMPARE(page.startTime(), 0u);
        QCOMPARE(page.stopTime(), 0u);
        QCOMPARE(stop->text(), QStringLiteral("未设置"));

        // Through the selector: each button sets its own time.
        child<QRadioButton>(page, "radiobtn_TimingMode")->click();
        TimeSeletor* selector = TimeSeletor::instance();
        auto* confirm = selector->findChild<QPushButton*>("pbn_SetTime");
        QVERIFY(confirm);
        const uint at = uint(QDateTime::currentSecsSinceEpoch()) + 600;
        stop->click();
        QVERIFY(selector->isVisible());
        QCOMPARE(selector->currentMode, quint8(1));
        selector->dateTimeTumbler()->setDateTimeT(at + 60);
        confirm->click();
        QVERIFY(!selector->isVisible());
        QCOMPARE(page.stopTime(), at + 60);
        QCOMPARE(page.startTime(), 0u);
        start->click();
        QCOMPARE(selector->currentMode, quint8(0));
        selector->dateTimeTumbler()->setDateTimeT(at);
        confirm->click();
        QCOMPARE(page.startTime(), at);
        QCOMPARE(page.stopTime(), at + 60);
    }

    void forwardingCollectionOfTheCpciVariantShowsTheReceiverOutput()
    {
        c->configMode = "CPCI";
        loadBench(m_sim->profile().devConfig, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        // The sync group gives way to the output channels in this variant.
        QVERIFY(child<QGroupBox>(*page, "gpb_SyncMode")->isHidden());
        QVERIFY(child<QGroupBox>(*page, "groupBox_channelOutput")->isEnabled());
        child<QCheckBox>(*page, "checkBox_forward")->setChecked(true);
        child<QCheckBox>(*page, "checkBox_output_2")->setChecked(false);
        QSignalSpy output(ReceiverCNR::Instance(), &ReceiverCNR::SetReceiverOutputStatus);
        m_sim->clearRequests();
        startButton(*page)->click();
        // Output channels go out before the start.
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Collect, Msg_Cmd::StartRecord));
        QStringList order;
        for (const auto& r : m_sim->requests())
            if (r.type != 1)
                order << QStringLiteral("%1/%2:%3")
                             .arg(r.type)
                             .arg(r.cmd)
                             .arg(QString::fromLatin1(r.payload.left(2).toHex()));
        QCOMPARE(order.mid(0, 2), (QStringList{"6/2:0101", "6/2:0200"}));
        QVERIFY(order.value(2).startsWith("3/1:"));
        QVERIFY(UiTest::waitCount(output, 1));
        QCOMPARE(output.last().at(0).toBool(), true);
        QVERIFY(ReceiverCNR::Instance()->isVisible());
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
        ReceiverCNR::Instance()->hide();
    }

    void failedStartsAndStops_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint8>("pendingAfter");
        QTest::newRow("link down") << "link"
                                   << "启动失败"
                                   << "网络发送失败" << quint8(1);
        QTest::newRow("instrument refuses") << "refuse"
                                            << "启动采集/转发失败"
                                            << "设备上报失败" << quint8(1);
        // The wait is over with the message: a late reply acts on nothing, the state reports do.
        QTest::newRow("no reply, late refusal while the instrument reports idle")
            << "silent"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        QTest::newRow("another page's result does not end the wait") << "other result"
                                                                     << "启动采集/转发"
                                                                     << "设备未及时应答，正在核对…" << quint8(1);
        QTest::newRow("reply after the wait, the instrument runs") << "late start"
                                                                   << "启动采集/转发"
                                                                   << "设备未及时应答，正在核对…" << quint8(1);
        // A lost answer costs one check: after it the next start is its own; before it, the one
        // answer may be either's, and the state report tells what runs.
        QTest::newRow("a lost answer, checked: the next start answered at once is its own")
            << "lost, start again"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        QTest::newRow("a lost answer, then a start pressed before the check: not sent, told why")
            << "lost, start at once"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        // A check whose own answer is lost is told; it is asked again until a report comes.
        QTest::newRow("a lost answer whose check goes unanswered: told unknown, asked again")
            << "lost, start at once, check lost"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        // An error stop in place of the start's result leaves the start unanswered, not the kind.
        QTest::newRow("an error stop for a result, checked: the next start is its own")
            << "error stop, start again"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        // The instrument did start: the state report asked for after the answer says so.
        QTest::newRow("an answer too short to read is named, with the state it left")
            << "malformed"
            << "启动采集/转发"
            << "设备应答不完整，已查询设备状态：采集中" << quint8(1);
        // The state report asked at the expiry comes before the start's late answer: it settles
        // the start, and says whether it took effect after all.
        QTest::newRow("no reply before the state report, which shows it running: told started")
            << "settled running"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        QTest::newRow("no reply before the state report, which shows it idle: nothing more")
            << "settled idle"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        // Told it did not start, then a report shows its run going: told once, by its record.
        QTest::newRow("checked idle, its run reported after: told it runs, the page follows")
            << "settled idle, runs after"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        // The start ran and its answer was lost; stopped by the person once the check told it ran.
        QTest::newRow("a start that ran unanswered, pressed again, then stopped: told started, then nothing")
            << "ran, start at once, stop"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        // A state answer that does not decode answers nothing: the check is lost, told once, and
        // asked again; the report that follows shows the run, and 停止 comes on.
        QTest::newRow("a start that ran unanswered, its check answered unreadably: asked again, told started")
            << "ran, state unreadable"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
        QTest::newRow("the first start's late refusal, ahead of its check, is left to the check")
            << "late refusal, start again"
            << "启动采集/转发"
            << "设备未及时应答，正在核对…" << quint8(1);
    }
    void failedStartsAndStops()
    {
        QFETCH(QString, fault);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(quint8, pendingAfter);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        // The start's reply wait: an answer sent at once comes well within it on a loaded machine.
        // The simulator's delays are placed by it.
        const int wait = TestTime::ms(ProtocolManager::kReplyWaitMs) / 5;
        pm()->setReplyWaitForTest(wait);
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        const quint16 startKind = quint16(quint8(Msg_Type::Collect) << 8 | quint8(Msg_Cmd::StartRecord));
        // The state asked for at the expiry, which settles the start, comes after any late answer
        // to it, as an instrument answering in order sends them.
        const quint16 stateKind = quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DeviceState));
        m_sim->faults().lateMs[stateKind] = 3 * wait;
        const bool checkLost = fault.endsWith("check lost");
        pm()->setStateWaitForTest(checkLost ? 3 * wait : TestTime::ms(ProtocolManager::kReplyWaitMs));
        if (checkLost) {
            // The state queries of the time-out and of the check both go unanswered.
            m_sim->faults().lateMs[stateKind] = 0;
            m_sim->faults().unsentReplies[stateKind] = 2;
        }
        if (fault == "link") {
            // The link handler disables the page; a start that still comes finds no link.
            QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
            pm()->DisConnectTcp();
            QVERIFY(UiTest::waitCount(link, 1));
            QVERIFY(!startButton(*page)->isEnabled());
            QMetaObject::invokeMethod(page.get(), "on_ptn_StartCollect_clicked");
        } else if (fault == "late refusal, start again") {
            // The refusal comes after the wait, before the state report that checks it.
            collect()->faults().refuse = true;
            m_sim->faults().lateMs[startKind] = 2 * wait;
            startButton(*page)->click();
        } else if (fault.startsWith("ran")) {
            page->setStopEnableDelayForTest(TestTime::ms(50));
            QVERIFY(m_sim->setKindFault(QStringLiteral("unanswered:3:%1").arg(int(Msg_Cmd::StartRecord))));
            if (fault.endsWith("state unreadable"))
                m_sim->faults().malformedReplies[stateKind] = 1;
            startButton(*page)->click();
        } else if (fault == "malformed") {
            m_sim->faults().malformedReplies[startKind] = 1;
            startButton(*page)->click();
        } else if (fault == "settled running") {
            // The instrument starts at once; its answer comes long after the state report.
            m_sim->faults().lateMs[startKind] = 8 * wait;
            startButton(*page)->click();
        } else {
            (fault == "refuse" ? collect()->faults().refuse : collect()->faults().silent) = true;
            startButton(*page)->click();
            if (fault.startsWith("error stop"))
                collect()->errorStop(3);
            if (fault == "late start") {
                // It runs from the start on; only its answer is late.
                QVERIFY(LinkTest::waitRequests(*m_sim, Msg_Type::Collect, Msg_Cmd::StartRecord, 1));
                m_sim->profile().runParameters =
                    LinkTest::requestsOf(*m_sim, Msg_Type::Collect, Msg_Cmd::StartRecord).first().payload;
                m_sim->profile().state = 2;
            }
        }
        if (fault == "other result") {
            // A stop-playback result (another page's wait) comes while the start waits.
            pm()->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StopPlayback);
            QSignalSpy result(pm(), &ProtocolManager::ControlResult);
            LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::StopPlayback, QByteArray(1, '\x01'));
            QVERIFY(UiTest::waitCount(result, 1));
            QCOMPARE(page->pendingControlCode(), quint8(ControlStartRecord));
        }
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), 1, TestTime::ms(10000));
        QCOMPARE(dialogs.requests[0].title, title);
        QCOMPARE(dialogs.requests[0].text, text);
        // A time-out is not a failure: it is being checked.
        QCOMPARE(dialogs.requests[0].type, fault == "malformed" ? 3 : fault == "link" || fault == "refuse" ? 1 : 2);
        QCOMPARE(page->pendingControlCode(), pendingAfter);
        if (fault == "malformed") {
            QTRY_COMPARE_WITH_TIMEOUT(RunStatus::CurrentStatus(), SystemState::Collecting, TestTime::ms(10000));
            QCOMPARE(dialogs.requests.size(), 1);
            return;
        }
        // A start that ran out of its wait is checked: 开始 is held, with the reason, until then.
        const bool ended = fault == "link" || fault == "refuse";
        QCOMPARE(startButton(*page)->isEnabled(), ended);
        QCOMPARE(startButton(*page)->toolTip(), ended ? QString() : QStringLiteral("正在核对…"));
        QCOMPARE(startButton(*page)->text(), QStringLiteral("开始"));
        QVERIFY(!stopButton(*page)->isEnabled());
        if (fault == "silent" || fault == "late start") {
            // The reply after the wait is left to its check: the state report says what runs.
            const bool runs = fault == "late start";
            QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
            LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::StartRecord, QByteArray(1, runs ? '\x01' : '\0'));
            QVERIFY(UiTest::waitCount(state, 1));
            QVERIFY(roundTrip());
            QCOMPARE(RunStatus::CurrentStatus(), runs ? SystemState::Collecting : SystemState::Idle);
            QCOMPARE(startButton(*page)->isEnabled(), !runs);
            QCOMPARE(child<QComboBox>(*page, "cbx_bitwidth")->isEnabled(), !runs);
            QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::AttenuationPower), 0);
            // Told once what the check found.
            QCOMPARE(dialogs.texts().mid(1), QStringList{runs ? QStringLiteral("设备在响应超时后已开始采集/转发")
                                                              : QStringLiteral("设备未及时应答，核对结果：空闲中")});
        }
        if (fault.startsWith("settled")) {
            const bool runs = fault == "settled running";
            QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
            QVERIFY(UiTest::waitCount(state, 1));
            QVERIFY(roundTrip());
            QCOMPARE(RunStatus::CurrentStatus(), runs ? SystemState::Collecting : SystemState::Idle);
            // Told once what the check found.
            QCOMPARE(dialogs.requests.size(), 2);
            QCOMPARE(dialogs.requests[1].text, runs ? QStringLiteral("设备在响应超时后已开始采集/转发")
                                                    : QStringLiteral("设备未及时应答，核对结果：空闲中"));
            QCOMPARE(dialogs.requests[1].type, runs ? 3 : 1);
        }
        if (fault == "settled idle, runs after") {
            // The instrument starts the start's run after all; the next report shows it.
            const QByteArray start =
                LinkTest::requestsOf(*m_sim, Msg_Type::Collect, Msg_Cmd::StartRecord).first().payload;
            m_sim->profile().runParameters = start;
            m_sim->profile().state = 2;
            QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
            pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device);
            QVERIFY(UiTest::waitCount(state, 1));
            QVERIFY(roundTrip());
            const QString name = QDateTime::fromSecsSinceEpoch(qFromLittleEndian<quint32>(start.constData()))
                                     .toString(QStringLiteral("yyyyMMddhhmmss"));
            QCOMPARE(dialogs.texts().mid(2),
                     QStringList{QStringLiteral("采集/转发正在进行：记录 %1（此前告知未启动）").arg(name)});
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
            QVERIFY(!startButton(*page)->isEnabled());
        }
        if (fault.startsWith("lost") || fault.startsWith("error stop")) {
            collect()->faults().silent = false;
            QSignalSpy results(pm(), &ProtocolManager::ControlResult);
            if (!fault.endsWith("start again")) {
                // Pressed another way while the lost start is checked: nothing goes out, and the
                // person is told why.
                QMetaObject::invokeMethod(page.get(), "on_ptn_StartCollect_clicked");
                QCOMPARE(dialogs.requests.size(), 2);
                QCOMPARE(dialogs.requests[1].text, QStringLiteral("上一次请求尚未结束（正在核对…），本次未发送"));
                QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::StartRecord), 1);
            }
            if (checkLost) {
                QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), 3, TestTime::ms(15000));
                QCOMPARE(dialogs.requests[2].title, QStringLiteral("核对设备状态失败"));
                QCOMPARE(dialogs.requests[2].text,
                         QStringLiteral("未能获取设备状态，以下请求的结果未知：\n启动采集/转发"));
                QCOMPARE(startButton(*page)->toolTip(), QStringLiteral("正在核对…"));
            }
            // Its check settles it; the next start answered at once is then its own.
            QTRY_VERIFY_WITH_TIMEOUT(startButton(*page)->isEnabled(), TestTime::ms(15000));
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
            const int told = dialogs.requests.size();
            startButton(*page)->click();
            QVERIFY(UiTest::waitCount(results, 1));
            QVERIFY(results.at(0).at(1).toBool());
            QCOMPARE(dialogs.requests.size(), told);
            QTRY_COMPARE_WITH_TIMEOUT(RunStatus::CurrentStatus(), SystemState::Collecting, TestTime::ms(10000));
        }
        if (fault == "ran, state unreadable") {
            QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), 2, TestTime::ms(15000));
            QCOMPARE(dialogs.requests[1].title, QStringLiteral("核对设备状态失败"));
            QCOMPARE(startButton(*page)->toolTip(), QStringLiteral("正在核对…"));
            QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(15000));
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
            QCOMPARE(dialogs.texts().mid(2), QStringList{"设备在响应超时后已开始采集/转发"});
            return;
        }
        if (fault.startsWith("ran")) {
            // Pressed again while it is checked: nothing goes out. The check says it ran; once
            // the person has stopped the run, nothing more is told of either start.
            QMetaObject::invokeMethod(page.get(), "on_ptn_StartCollect_clicked");
            QCOMPARE(dialogs.requests.size(), 2);
            QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::StartRecord), 1);
            QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(15000));
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
            QCOMPARE(dialogs.texts().mid(2), QStringList{"设备在响应超时后已开始采集/转发"});
            stopButton(*page)->click();
            QTRY_COMPARE_WITH_TIMEOUT(RunStatus::CurrentStatus(), SystemState::Idle, TestTime::ms(10000));
            QVERIFY(UiTest::waitQuiet(*m_sim));
            QCOMPARE(dialogs.texts().mid(2), QStringList{"设备在响应超时后已开始采集/转发"});
        }
        if (fault == "late refusal, start again") {
            QTRY_VERIFY_WITH_TIMEOUT(!LinkTest::logMessages(log, FileLogger::Warning)
                                          .filter("设备在核对期间应答，以核对结果为准[类型:3][指令:1]")
                                          .isEmpty(),
                                     TestTime::ms(10000));
            m_sim->faults().lateMs[startKind] = 0;
            collect()->faults().refuse = false;
            QTRY_VERIFY_WITH_TIMEOUT(startButton(*page)->isEnabled(), TestTime::ms(10000));
            QSignalSpy results(pm(), &ProtocolManager::ControlResult);
            startButton(*page)->click();
            QVERIFY(UiTest::waitCount(results, 1));
            QVERIFY(results.at(0).at(1).toBool());
            QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isVisible() || !startButton(*page)->isEnabled(),
                                     TestTime::ms(5000));
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
            // The first start's check is told once; the second start says nothing more.
            QCOMPARE(dialogs.texts().mid(1), QStringList{"设备未及时应答，核对结果：空闲中"});
        }
    }

    void stopRefusedOrUnansweredKeepsTheRun_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("late");  // done at once, answered after the state report
        QTest::addColumn<bool>("again"); // the stop is lost on its way; pressed again during its check
        QTest::newRow("instrument refuses") << false << "设备上报失败" << false << false;
        QTest::newRow("no reply") << true << "设备未及时应答，正在核对…" << false << false;
        QTest::newRow("no reply before the state report, which shows it stopped: told stopped")
            << false << "设备未及时应答，正在核对…" << true << false;
        QTest::newRow("a lost stop pressed again during its check: not sent, told why, still running")
            << false << "设备未及时应答，正在核对…" << false << true;
    }
    void stopRefusedOrUnansweredKeepsTheRun()
    {
        QFETCH(bool, silent);
        QFETCH(QString, text);
        QFETCH(bool, late);
        QFETCH(bool, again);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        pm()->setReplyWaitForTest(TestTime::ms(300));
        page->setStopEnableDelayForTest(TestTime::ms(50));
        UiTest::DialogRecorder dialogs;
        QSignalSpy result(pm(), &ProtocolManager::ControlResult);
        startButton(*page)->click();
        QVERIFY(UiTest::waitCount(result, 1));
        QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(10000));
        if (late) {
            m_sim->faults().lateMs[quint16(quint8(Msg_Type::Collect) << 8 | quint8(Msg_Cmd::StopRecord))] =
                TestTime::ms(8000);
            m_sim->faults().lateMs[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DeviceState))] =
                TestTime::ms(2000);
        } else if (again) {
            QVERIFY(m_sim->setKindFault(QStringLiteral("lose:3:%1").arg(int(Msg_Cmd::StopRecord))));
            m_sim->faults().lateMs[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DeviceState))] =
                TestTime::ms(2000);
        } else {
            (silent ? collect()->faults().silent : collect()->faults().refuse) = true;
        }
        stopButton(*page)->click();
        QVERIFY(!stopButton(*page)->isEnabled());
        // A quick check may tell its finding right after the time-out.
        QTRY_VERIFY_WITH_TIMEOUT(dialogs.requests.size() >= 1, TestTime::ms(10000));
        QCOMPARE(dialogs.requests[0].title,
                 silent || late || again ? QStringLiteral("停止采集/转发") : QStringLiteral("停止采集/转发失败"));
        QCOMPARE(dialogs.requests[0].text, text);
        if (late) {
            QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
            QVERIFY(UiTest::waitCount(state, 1));
            QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
            QTRY_COMPARE_WITH_TIMEOUT(dialogs.requests.size(), 2, TestTime::ms(5000));
            QCOMPARE(dialogs.requests[1].text, QStringLiteral("设备在响应超时后已停止采集/转发"));
            QVERIFY(startButton(*page)->isEnabled());
            return;
        }
        if (again) {
            // The second press sends nothing while the first is checked; the check's report says
            // the run goes on, and the person is told so once.
            QMetaObject::invokeMethod(page.get(), "on_ptn_StopCollect_clicked");
            QCOMPARE(dialogs.requests.size(), 2);
            QCOMPARE(dialogs.requests[1].text, QStringLiteral("上一次请求尚未结束（正在核对…），本次未发送"));
            QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::StopRecord), 1);
            QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
            QVERIFY(UiTest::waitCount(state, 1));
            QVERIFY(roundTrip());
            QCOMPARE(dialogs.texts().mid(2), QStringList{"设备未及时应答，核对结果：采集中"});
        }
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
        QVERIFY(!startButton(*page)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(stopButton(*page)->isEnabled(), TestTime::ms(10000));
    }

    void forwardOnlyUnitStartsForwardingAndMayStopAtOnce()
    {
        c->deviceType = "TRANS";
        loadBench(m_sim->profile().devConfig, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        auto* record = child<QCheckBox>(*page, "checkBox_record");
        auto* forward = child<QCheckBox>(*page, "checkBox_forward");
        QVERIFY(record->isHidden() && !record->isChecked() && !record->isEnabled());
        QVERIFY(forward->isChecked() && !forward->isEnabled());
        QCOMPARE(child<QGroupBox>(*page, "groupBox_recordParm")->title(), QStringLiteral("转发参数"));
        QVERIFY(child<QGroupBox>(*page, "gpb_SyncMode")->isHidden());
        QCOMPARE(child<QLabel>(*page, "label_recordtitle")->text(), QStringLiteral("当前时间："));
        QVERIFY(!child<QGroupBox>(*page, "groupBox_channelAttenuation")->isHidden());

        child<QSpinBox>(*page, "spb_AttenPower")->setValue(12);
        m_sim->clearRequests();
        QSignalSpy result(pm(), &ProtocolManager::ControlResult);
        startButton(*page)->click();
        QVERIFY(UiTest::waitCount(result, 1));
        const QByteArray start = payloads(Msg_Type::Collect, Msg_Cmd::StartRecord).value(0);
        QCOMPARE(start.mid(15, 17).toHex(), QByteArray("0401000100020001000300010005000100"));
        QVERIFY(page->isForwarding() && page->isForwardOnly());
        QTRY_COMPARE(RunStatus::CurrentStatus(), SystemState::Forwarding);
        QCOMPARE(startButton(*page)->text(), QStringLiteral("转发中"));
        QVERIFY(stopButton(*page)->isEnabled());
        // After the start the attenuation goes out for every channel.
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower));
        QCOMPARE(payloads(Msg_Type::Collect, Msg_Cmd::AttenuationPower).last().toHex(), QByteArray("ff0c000000"));
    }

    void stateReportRestoresARunningCollection()
    {
        loadBench(m_sim->profile().devConfig, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        m_sim->clearRequests();
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        const QByteArray report = collectingReport(
            2, 4, 1,
            {QByteArray::fromHex("02000101"), QByteArray::fromHex("09000101"), QByteArray::fromHex("04000101")},
            QByteArray("bench note"));
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::DeviceStateReport, report);
        QVERIFY(UiTest::waitCount(state, 1));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
        QCOMPARE(child<QLineEdit>(*page, "txt_recordName")->text(),
                 QDateTime::fromSecsSinceEpoch(1700000000).toString("yyyyMMddhhmmss"));
        QCOMPARE(child<QTextEdit>(*page, "txt_Note")->toPlainText(), QStringLiteral("bench note"));
        QCOMPARE(child<QComboBox>(*page, "cbx_bitwidth")->currentText(), QStringLiteral("4bit"));
        QCOMPARE(band(*page, 0)->currentText(), QStringLiteral("BDS B1I"));
        QCOMPARE(band(*page, 1)->currentText(), QStringLiteral("未知的频段:9"));
        QCOMPARE(band(*page, 1)->currentIndex(), -1);
        // Band 4 exists, but list 2 does not offer it: its name is shown.
        QCOMPARE(band(*page, 2)->currentText(), QStringLiteral("GPS L5"));
        QCOMPARE(band(*page, 3)->currentText(), QStringLiteral("*自定义1"));
        QVERIFY(child<QCheckBox>(*page, "checkBox_record")->isChecked());
        QVERIFY(child<QCheckBox>(*page, "checkBox_forward")->isChecked());
        QVERIFY(child<QRadioButton>(*page, "radiobtn_Outside")->isChecked());
        QVERIFY(!child<QRadioButton>(*page, "radiobtn_Inside")->isChecked());
        QCOMPARE(child<QPushButton>(*page, "pbn_StartTime")->text(), QStringLiteral("未设置"));
        QVERIFY(!child<QGroupBox>(*page, "gpb_RecordTimingSet")->isEnabled());
        QVERIFY(!startButton(*page)->isEnabled());
        QVERIFY(!child<QWidget>(*page, "freqwidget")->isEnabled());
        // The progress poll runs although this page sent no start.
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::System, Msg_Cmd::Progress));
        QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::StartRecord), 0);
        QTRY_VERIFY_WITH_TIMEOUT(startButton(*page)->text().startsWith("00:00:"), TestTime::ms(10000));

        // A playback report disables the page and runs the record-name clock again.
        m_sim->profile().state = 3;
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::DeviceStateReport,
                             m_sim->system().deviceStatePayload());
        QVERIFY(UiTest::waitCount(state, 2));
        QVERIFY(!startButton(*page)->isEnabled());
        QVERIFY(!stopButton(*page)->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(*page, "txt_recordName")->text(),
                                  QDateTime::currentDateTime().toString("yyyyMMddhhmmss"), TestTime::ms(3000));
    }

    void aReportedRunEndsWithSelectionsAStartSends_data()
    {
        QTest::addColumn<quint8>("bitWidth");
        QTest::addColumn<QByteArray>("bands");
        QTest::newRow("band the list does not hold") << quint8(2) << QByteArray::fromHex("01090305");
        QTest::newRow("bit width the list does not hold") << quint8(6) << QByteArray::fromHex("01020305");
    }
    void aReportedRunEndsWithSelectionsAStartSends()
    {
        QFETCH(quint8, bitWidth);
        QFETCH(QByteArray, bands);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        QList<QByteArray> entries;
        for (char b : bands)
            entries << QByteArray(1, b) + QByteArray::fromHex("000001");
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::DeviceStateReport,
                             collectingReport(2, bitWidth, 0, entries, ""));
        QVERIFY(UiTest::waitCount(state, 1));
        auto* widths = child<QComboBox>(*page, "cbx_bitwidth");
        QVERIFY(widths->currentIndex() < 0 || band(*page, 1)->currentIndex() < 0);

        // The run ends: every list shows one of its items again, and a start sends just those.
        m_sim->profile().state = 1;
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::DeviceStateReport,
                             m_sim->system().deviceStatePayload());
        QVERIFY(UiTest::waitCount(state, 2));
        QTRY_COMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QVERIFY(widths->currentIndex() >= 0);
        QByteArray shown;
        for (int i = 0; i < 4; ++i) {
            QVERIFY(band(*page, i)->currentIndex() >= 0);
            shown.append(char(band(*page, i)->currentData(Qt::UserRole).toUInt()));
        }
        UiTest::DialogRecorder dialogs;
        m_sim->clearRequests();
        startButton(*page)->click();
        QVERIFY(dialogs.requests.isEmpty());
        InstrumentSim::Request start;
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Collect, Msg_Cmd::StartRecord, &start));
        QCOMPARE(int(quint8(start.payload.at(5))), widths->currentData().toInt());
        QCOMPARE(int(quint8(start.payload.at(15))), 4);
        QByteArray sent;
        for (int i = 0; i < 4; ++i)
            sent.append(start.payload.at(16 + 4 * i));
        QCOMPARE(sent.toHex(), shown.toHex());
    }

    void stateReportOfATwoChannelWidthFillsTheUsedRows()
    {
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        LinkTest::sendReport(
            *m_sim, Msg_Type::System, Msg_Cmd::DeviceStateReport,
            collectingReport(2, 8, 0, {QByteArray::fromHex("03000001"), QByteArray::fromHex("01000001")}, ""));
        QVERIFY(UiTest::waitCount(state, 1));
        QCOMPARE(child<QComboBox>(*page, "cbx_bitwidth")->currentText(), QStringLiteral("8bit"));
        QCOMPARE(band(*page, 0)->currentText(), QStringLiteral("GLO G1"));
        QCOMPARE(band(*page, 2)->currentText(), QStringLiteral("GPS L1"));
        QVERIFY(row(*page, 2)->isVisibleTo(page.get()));
        QVERIFY(!row(*page, 1)->isVisibleTo(page.get()));
        QVERIFY(!row(*page, 3)->isVisibleTo(page.get()));
        QVERIFY(child<QRadioButton>(*page, "radiobtn_Inside")->isChecked());
        QVERIFY(!page->isForwarding());
    }

    void linkLossDisablesThePage()
    {
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        QVERIFY(startButton(*page)->isEnabled());
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        m_sim->closeConnection();
        QVERIFY(UiTest::waitCount(link, 1));
        QVERIFY(!startButton(*page)->isEnabled());
        QVERIFY(!child<QComboBox>(*page, "cbx_bitwidth")->isEnabled());
        QVERIFY(!child<QWidget>(*page, "freqwidget")->isEnabled());
        QVERIFY(child<QTextEdit>(*page, "txt_Note")->isReadOnly());
    }

    void startWithoutChannelRowsIsRefused()
    {
        CollectSet page;
        QVERIFY(UiTest::connectTo(*m_sim));
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device);
        QVERIFY(UiTest::waitCount(state, 1));
        UiTest::DialogRecorder dialogs;
        startButton(page)->click();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests[0].title, QStringLiteral("提示"));
        QCOMPARE(dialogs.requests[0].text, QStringLiteral("无可用通道!"));
        QCOMPARE(dialogs.requests[0].type, 3);
    }

    void attenuationGoesToTheChosenChannelAndReportsAreNotSentBack()
    {
        loadBench(m_sim->profile().devConfig, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        auto* all = child<QCheckBox>(*page, "checkBox_AllChannel");
        auto* channel = child<QSpinBox>(*page, "spb_AttenChannel");
        auto* power = child<QSpinBox>(*page, "spb_AttenPower");
        auto* slider = child<QSlider>(*page, "hSlider_AttenPower");
        QCOMPARE(channel->maximum(), 4);
        all->setChecked(false);
        QVERIFY(channel->isEnabled());
        channel->setValue(2);
        m_sim->clearRequests();
        power->setValue(30);
        QCOMPARE(slider->value(), 30);
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower));
        QCOMPARE(payloads(Msg_Type::Collect, Msg_Cmd::AttenuationPower).last().toHex(), QByteArray("011e000000"));
        QCOMPARE(page->channelAttenuations(), (QVector<int>{0, 30, 0, 0}));
        // Back to channel 1: its own stored value is shown (and sent for it).
        channel->setValue(1);
        QCOMPARE(power->value(), 0);
        slider->setValue(7);
        QCOMPARE(power->value(), 7);
        QTRY_COMPARE(payloads(Msg_Type::Collect, Msg_Cmd::AttenuationPower).last().toHex(), QByteArray("0007000000"));

        // Reports: another channel than the one shown stores the value only. The instrument's
        // answers to the sends above come first.
        QVERIFY(roundTrip());
        QSignalSpy reported(pm(), &ProtocolManager::AttenuationPowerChanged);
        const int sentBefore = countRequests(Msg_Type::Collect, Msg_Cmd::AttenuationPower);
        QByteArray r;
        r.append(char(2));
        put32(r, 44);
        LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower, r);
        QVERIFY(UiTest::waitCount(reported, 1));
        QCOMPARE(page->channelAttenuations(), (QVector<int>{7, 30, 44, 0}));
        QCOMPARE(power->value(), 7);
        QVERIFY(!all->isChecked());
        // Every channel: shown, box checked, nothing sent back.
        r[0] = char(255);
        r[1] = char(21);
        LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower, r);
        QVERIFY(UiTest::waitCount(reported, 2));
        QCOMPARE(page->channelAttenuations(), (QVector<int>{21, 21, 21, 21}));
        QCOMPARE(power->value(), 21);
        QVERIFY(all->isChecked());
        // A report of the value already shown must not swallow the user's next change.
        LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower, r);
        QVERIFY(UiTest::waitCount(reported, 3));
        QVERIFY(roundTrip());
        QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::AttenuationPower), sentBefore);
        power->setValue(22);
        QVERIFY(UiTest::waitCount(reported, 4));
        QCOMPARE(payloads(Msg_Type::Collect, Msg_Cmd::AttenuationPower).last().toHex(), QByteArray("ff16000000"));
        // A channel the unit does not have is ignored.
        r[0] = char(4);
        r[1] = char(50);
        LinkTest::sendReport(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower, r);
        QVERIFY(UiTest::waitCount(reported, 5));
        QCOMPARE(page->channelAttenuations(), (QVector<int>{22, 22, 22, 22}));
        QVERIFY(all->isChecked());
    }

    void sampleInfo_data()
    {
        QTest::addColumn<QString>("showMode");
        QTest::addColumn<QStringList>("settings"); // key=value items of the instrument
        QTest::addColumn<int>("bitIndex");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("bandwidth");
        QTest::addColumn<QString>("sampleRate");
        const QStringList bound{"Bandwidth/BandwidthEnable=true",
                                "SampleRate/SampleRateEnable=true",
                                "Bandwidth/BandwidthList=10000000,20000000",
                                "SampleRate/SampleRateList=25000000,50000000",
                                "SampleRate/BindBandwidth=true",
                                "SampleRate/SampleRate=1"};
        QTest::newRow("rate bound to the bandwidth")
            << "" << (bound + QStringList{"Bandwidth/Bandwidth=20000000"}) << 0 << true << "20"
            << "50";
        QTest::newRow("bandwidth not in its list")
            << "" << (bound + QStringList{"Bandwidth/Bandwidth=30000000"}) << 0 << true << "30"
            << "--";
        QTest::newRow("rate of its own") << ""
                                         << QStringList{"SampleRate/SampleRateEnable=true",
                                                        "SampleRate/SampleRate=62500000"}
                                         << 0 << true << "--"
                                         << "62.5";
        QTest::newRow("nothing to show") << "" << QStringList{} << 0 << false << "--"
                                         << "--";
        QTest::newRow("two-channel width at 200 MHz halves it")
            << "9009" << QStringList{"Bandwidth/BandwidthEnable=true", "Bandwidth/Bandwidth=200500000"} << 2 << true
            << "100"
            << "--";
        QTest::newRow("two-channel width at 201 MHz keeps it")
            << "9009" << QStringList{"Bandwidth/BandwidthEnable=true", "Bandwidth/Bandwidth=201000000"} << 2 << true
            << "201"
            << "--";
    }
    void sampleInfo()
    {
        QFETCH(QString, showMode);
        QFETCH(QStringList, settings);
        QFETCH(int, bitIndex);
        QFETCH(bool, shown);
        QFETCH(QString, bandwidth);
        QFETCH(QString, sampleRate);
        c->SetInit(ConfigKey::ShowMode, showMode);
        for (const QString& item : settings)
            m_sim->profile().devConfig.values[item.section('=', 0, 0)] = item.section('=', 1);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        c->SetInit(ConfigKey::ShowMode, QString());
        QVERIFY(page);
        child<QComboBox>(*page, "cbx_bitwidth")->setCurrentIndex(bitIndex);
        QCOMPARE(child<QWidget>(*page, "widget_sampleinfo")->isVisibleTo(page.get()), shown);
        QCOMPARE(child<QLabel>(*page, "label_bandwidth")->text(), bandwidth);
        QCOMPARE(child<QLabel>(*page, "label_SampleRate")->text(), sampleRate);
    }

    void loopRecordingCollectsStopsAndStartsAgain()
    {
        c->SetInit(ConfigKey::DebugLoopRecord, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        c->SetInit(ConfigKey::DebugLoopRecord, false);
        QVERIFY(page);
        QVERIFY(!child<QGroupBox>(*page, "groupBox_debug")->isHidden());
        QVERIFY(!child<QGroupBox>(*page, "groupBox_recordtest")->isHidden());
        QVERIFY(child<QGroupBox>(*page, "groupBox_attenuationtest")->isHidden());
        child<QLineEdit>(*page, "lineEdit_test_time")->setText("8");
        QList<uint> elapsedAtStop;
        connect(m_sim.get(), &InstrumentSim::requestReceived, page.get(), [&](const InstrumentSim::Request& r) {
            if (r.type == 3 && r.cmd == 2)
                elapsedAtStop << startButton(*page)->property("time").toUInt();
        });
        child<QPushButton>(*page, "pushButton_test_start")->click();
        QTRY_VERIFY_WITH_TIMEOUT(countRequests(Msg_Type::Collect, Msg_Cmd::StartRecord) >= 2, TestTime::ms(20000));
        child<QPushButton>(*page, "pushButton_test_stop")->click();
        // Stopped at the set length, not before, then started again once idle.
        QVERIFY(!elapsedAtStop.isEmpty());
        QVERIFY2(elapsedAtStop.first() >= 8, qPrintable(QString::number(elapsedAtStop.first())));
    }

    void randomAttenuationSendsValuesBelowSixtyUntilStopped()
    {
        c->SetInit(ConfigKey::DebugRandomAttenuation, true);
        loadBench(m_sim->profile().devConfig, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        c->SetInit(ConfigKey::DebugRandomAttenuation, false);
        QVERIFY(page);
        QVERIFY(!child<QGroupBox>(*page, "groupBox_attenuationtest")->isHidden());
        QVERIFY(child<QGroupBox>(*page, "groupBox_recordtest")->isHidden());
        child<QLineEdit>(*page, "lineEdit_test_atten_speed")->setText("20");
        m_sim->clearRequests();
        child<QPushButton>(*page, "pushButton_test_start_2")->click();
        // A draw equal to the shown value sends nothing, so wait for a few sends.
        QTRY_VERIFY_WITH_TIMEOUT(countRequests(Msg_Type::Collect, Msg_Cmd::AttenuationPower) >= 3, TestTime::ms(10000));
        child<QPushButton>(*page, "pushButton_test_stop_2")->click();
        for (const QByteArray& p : payloads(Msg_Type::Collect, Msg_Cmd::AttenuationPower)) {
            QCOMPARE(p.size(), 5);
            QCOMPARE(quint8(p[0]), quint8(255));
            QVERIFY(quint8(p[1]) < 60 && p.mid(2) == QByteArray(3, '\0'));
        }
        QVERIFY(roundTrip());
        const int sent = countRequests(Msg_Type::Collect, Msg_Cmd::AttenuationPower);
        // Nothing more in the next round trips, through which a running timer would send.
        for (int i = 0; i < 3; ++i)
            QVERIFY(roundTrip());
        QCOMPARE(countRequests(Msg_Type::Collect, Msg_Cmd::AttenuationPower), sent);
    }

    void transponderDelayGoesOutBeforeTheStart()
    {
        c->deviceType = "TRANS";
        c->configMode = "CHEAT";
        loadBench(m_sim->profile().devConfig, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        auto* delay = child<QLineEdit>(*page, "lineEdit_forward");
        QVERIFY(delay->isVisibleTo(page.get()));
        QCOMPARE(delay->text(), QStringLiteral("250"));
        QCOMPARE(child<QLabel>(*page, "label_forward_value")->text(), QStringLiteral("( 250.00 ns )"));
        delay->setText("1500");
        emit pm()->UpdateTranspondDelay(1200); // the instrument's value replaces the field
        QCOMPARE(delay->text(), QStringLiteral("1200"));
        m_sim->clearRequests();
        QSignalSpy result(pm(), &ProtocolManager::ControlResult);
        startButton(*page)->click();
        QVERIFY(UiTest::waitCount(result, 1));
        QCOMPARE(m_sim->profile().devConfig.values.value("Transponder/TranspondDelay"), QStringLiteral("1200"));
        int setAt = -1, startAt = -1;
        for (int i = 0; i < m_sim->requests().size(); ++i) {
            const auto& r = m_sim->requests()[i];
            if (r.type == 1 && r.cmd == 12 && setAt < 0)
                setAt = i;
            if (r.type == 3 && r.cmd == 1)
                startAt = i;
        }
        QVERIFY(setAt >= 0 && setAt < startAt);
        QTRY_COMPARE(RunStatus::CurrentStatus(), SystemState::Forwarding);
    }

    void forwardingDelayLabel_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("label");
        QTest::newRow("steps of 100/6 ns make a microsecond") << 1 << "60"
                                                              << "( 1.00 μs )";
        QTest::newRow("nanoseconds into milliseconds") << 0 << "2500000"
                                                       << "( 2.50 ms )";
        QTest::newRow("below a microsecond") << 0 << "999"
                                             << "( 999.00 ns )";
        QTest::newRow("exactly a microsecond") << 0 << "1000"
                                               << "( 1.00 μs )";
        QTest::newRow("unknown mode shows nothing") << 2 << "123456"
                                                    << "( 0.00 ns )";
    }
    void forwardingDelayLabel()
    {
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, label);
        c->SetInit(ConfigKey::TransportMode, mode);
        CollectSet page;
        child<QLineEdit>(page, "lineEdit_forward")->setText(text);
        QCOMPARE(child<QLabel>(page, "label_forward_value")->text(), label);
    }

    void sceneValuesRoundTrip()
    {
        loadBench(m_sim->profile().devConfig, true);
        auto page = UiTest::connectedPage<CollectSet>(*m_sim, UiTest::AsMainWindow);
        QVERIFY(page);
        QVector<quint32> bands;
        int width = 0, attenuation = -1;
        page->getSceneConfig(&bands, &width, &attenuation);
        QCOMPARE(bands, (QVector<quint32>{1, 2, 3, 5}));
        QCOMPARE(width, 2);
        QCOMPARE(attenuation, 0);

        // Two-channel width: two used lists, surplus ignored, an unoffered band leaves its list.
        m_sim->clearRequests();
        page->applySceneConfig({5, 4, 2}, 8, 17);
        QCOMPARE(child<QComboBox>(*page, "cbx_bitwidth")->currentText(), QStringLiteral("8bit"));
        QCOMPARE(band(*page, 0)->currentText(), QStringLiteral("*自定义1"));
        QCOMPARE(band(*page, 2)->currentText(), QStringLiteral("GLO G1"));
        QCOMPARE(child<QSpinBox>(*page, "spb_AttenPower")->value(), 17);
        QVERIFY(UiTest::waitRequest(*m_sim, Msg_Type::Collect, Msg_Cmd::AttenuationPower));
        QCOMPARE(payloads(Msg_Type::Collect, Msg_Cmd::AttenuationPower).last().toHex(), QByteArray("ff11000000"));
        page->getSceneConfig(&bands, nullptr, nullptr);
        QCOMPARE(bands, (QVector<quint32>{5, 3}));
        QCOMPARE(page->recordParam().BitWidth, qint8(8));
    }
};

QTEST_MAIN(tst_CollectSet)
#include "tst_CollectSet.moc"
