#include <DeviceCapabilities.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <TcpConnect.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <functional>
#include <memory>

using LinkTest::waitCount;

namespace {
bool anyEndsWith(const QStringList& lines, const QString& text)
{
    for (const QString& l : lines)
        if (l.endsWith(text))
            return true;
    return false;
}

// Runs the event loop for about `ms`, by waiting on a timer's own signal.
void settle(int ms)
{
    QTimer t;
    t.setSingleShot(true);
    QSignalSpy fired(&t, &QTimer::timeout);
    t.start(ms);
    QVERIFY(fired.wait(ms + 5000));
}

const QString kGroup = QStringLiteral("devConfig");

// What one request of the store was told, in order; the last notice carries its answer.
struct Told
{
    QList<ReplyOutcome> outcomes;
    ReplyNotice last;
    bool ended() const { return !outcomes.isEmpty() && outcomes.last() != ReplyOutcome::TimedOut; }
    bool answered() const
    {
        return ended() && (outcomes.last() == ReplyOutcome::InTime || outcomes.last() == ReplyOutcome::Late);
    }
};
} // namespace

class tst_DeviceConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = LinkTest::appWithLog();
        qRegisterMetaType<FileLogger::LogType>();
    }
    void init()
    {
        DeviceCapabilities::clear();
        QVERIFY(LinkTest::startSim(m_sim, m_pm));
    }
    void cleanup()
    {
        m_pm.reset();
        m_sim.reset();
    }

    void profiles_data()
    {
        QTest::addColumn<int>("profile");
        QTest::newRow("standard, as scripts/run shows it") << int(DevConfigStore::Profile::Standard);
        QTest::newRow("full-featured") << int(DevConfigStore::Profile::FullFeatured);
        QTest::newRow("transponder") << int(DevConfigStore::Profile::Transponder);
        QTest::newRow("no rate control") << int(DevConfigStore::Profile::NoRateControl);
    }
    void profiles()
    {
        QFETCH(int, profile);
        store().load(DevConfigStore::Profile(profile));
        QVERIFY(!m_pm->IsTranspondEnable());
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy finished(m_pm.get(), &ProtocolManager::GetDeviceSettingsFinished);
        m_pm->GetDeviceConfigSettingData();
        QVERIFY(waitCount(finished, 1));

        switch (DevConfigStore::Profile(profile)) {
        case DevConfigStore::Profile::Standard: {
            QVERIFY(m_pm->IsBandwidthEnable() && m_pm->IsSampleRateEnable() && m_pm->IsSampleRateBindBandwidth());
            // Hz, and entry k of the rates belongs to entry k of the bandwidths.
            QCOMPARE(m_pm->GetBandwidth(), 40000000u);
            QCOMPARE(m_pm->GetBandwidthList(), (QStringList{"20000000", "40000000", "62500000", "125000000"}));
            QCOMPARE(m_pm->GetSampleRateList(), (QStringList{"31250000", "62500000", "125000000", "250000000"}));
            QCOMPARE(m_pm->GetSampleRate(), 62500000u);
            QCOMPARE(m_pm->freqBands.size(), 8);
            for (auto it = m_pm->freqBands.cbegin(); it != m_pm->freqBands.cend(); ++it)
                QCOMPARE(int(it->mask), 0xFF); // every channel, every width
            QCOMPARE(m_pm->freqBands[1].freq, 1575420000u);
            QVERIFY(m_pm->freqBands[8].custom && !m_pm->freqBands[7].custom);
            QCOMPARE(m_pm->bitNames, (QMap<uchar, QString>{{2, "2bit"}, {4, "4bit"}, {8, "8bit"}, {16, "16bit"}}));
            QCOMPARE(m_pm->singleBits, QVector<uchar>{16});
            break;
        }
        case DevConfigStore::Profile::FullFeatured: {
            for (bool on : {m_pm->IsCustomFrequencyEnable(), m_pm->IsSerialPortEnable(), m_pm->IsTranspondEnable(),
                            m_pm->IsDopplerEnable(), m_pm->IsBandwidthEnable(), m_pm->IsSampleRateEnable(),
                            m_pm->IsGainControlEnable(), m_pm->IsFeedSwtichControlEnable(), m_pm->IsFrequencyEnable(),
                            m_pm->IsLowPowerEnable(), m_pm->UseProtocolEx()})
                QVERIFY(on);
            QCOMPARE(m_pm->GetTranspondDelay(), 1500);
            QCOMPARE(m_pm->GetDopplerValue(), 4294967000u);
            QCOMPARE(m_pm->GetBandwidth(), 40u);
            QCOMPARE(m_pm->GetBandwidthList(), (QStringList{"10", "20", "40"}));
            QCOMPARE(m_pm->GetSampleRate(), 62500000u);
            QCOMPARE(m_pm->GetSampleRateList(), (QStringList{"31250000", "62500000"}));
            QVERIFY(m_pm->IsSampleRateBindBandwidth());
            QVERIFY(m_pm->GetMGCStatus());
            QCOMPARE(m_pm->GetMGCValue(), -12);
            QVERIFY(!m_pm->GetFeedSwitchStatus());
            QVERIFY(!m_pm->GetLowPowerStatus());
            QCOMPARE(m_pm->freqBands.size(), 3);
            QCOMPARE(m_pm->freqBands[1].name, QStringLiteral("BDS B1I"));
            QCOMPARE(m_pm->freqBands[1].freq, 1561098000u);
            QCOMPARE(int(m_pm->freqBands[1].mask), 0x37);
            QVERIFY(!m_pm->freqBands[1].custom);
            QCOMPARE(int(m_pm->freqBands[2].mask), 0xF8);
            QVERIFY(m_pm->freqBands[2].custom);
            QCOMPARE(m_pm->freqBands[3].name, QStringLiteral("自定义1"));
            QCOMPARE(int(m_pm->freqBands[3].mask), 0xF0);
            QVERIFY(m_pm->freqBands[3].custom);
            QCOMPARE(m_pm->bitNames, (QMap<uchar, QString>{{2, "2bit"}, {4, "4bit"}, {8, "8bit"}}));
            QCOMPARE(m_pm->singleBits, QVector<uchar>{2});
            break;
        }
        case DevConfigStore::Profile::Transponder:
            QVERIFY(m_pm->IsTranspondEnable());
            QVERIFY(m_pm->IsDopplerEnable());
            QVERIFY(!m_pm->IsBandwidthEnable());
            QVERIFY(!m_pm->IsCustomFrequencyEnable());
            QVERIFY(!m_pm->UseProtocolEx());
            QCOMPARE(m_pm->GetTranspondDelay(), 250);
            QCOMPARE(m_pm->GetDopplerValue(), 1200u);
            QCOMPARE(m_pm->GetBandwidth(), 0u);
            QCOMPARE(m_pm->freqBands.size(), 2);
            QCOMPARE(int(m_pm->freqBands[1].mask), 0x12);
            QCOMPARE(int(m_pm->freqBands[2].mask), 0x69);
            QCOMPARE(m_pm->bitNames, (QMap<uchar, QString>{{4, "4bit"}}));
            QCOMPARE(m_pm->singleBits, QVector<uchar>{4});
            break;
        case DevConfigStore::Profile::NoRateControl:
            QVERIFY(!m_pm->IsBandwidthEnable());
            QVERIFY(!m_pm->IsSampleRateEnable());
            QVERIFY(m_pm->IsGainControlEnable());
            QVERIFY(m_pm->IsFrequencyEnable());
            // Held by the instrument but not offered, so never read.
            QCOMPARE(m_pm->GetSampleRate(), 0u);
            QVERIFY(m_pm->GetSampleRateList().isEmpty());
            QVERIFY(!m_pm->GetMGCStatus());
            QCOMPARE(m_pm->GetMGCValue(), 3);
            QCOMPARE(int(m_pm->freqBands[1].mask), 0xF3);
            QCOMPARE(int(m_pm->freqBands[2].mask), 0x04);
            // The later name of a repeated width wins; either entry may mark it single.
            QCOMPARE(m_pm->bitNames, (QMap<uchar, QString>{{2, "2bit-b"}}));
            QCOMPARE(m_pm->singleBits, QVector<uchar>{2});
            break;
        }

        // Heartbeats after the fetch: extended exactly when the instrument says so.
        // One heartbeat sent before the switch may still reach the instrument after the fetch
        // (a busy machine); once one of the right kind has arrived, every later one is of it.
        QSignalSpy requests(m_sim.get(), &InstrumentSim::requestReceived);
        m_sim->clearRequests();
        const quint8 heartbeat = m_pm->UseProtocolEx() ? 0x81 : 0x01;
        int rightKind = 0;
        QElapsedTimer clock;
        clock.start();
        while (rightKind < 2 && clock.elapsed() < 10000) {
            requests.wait(200);
            rightKind = 0;
            int wrongKind = 0;
            for (const auto& r : m_sim->requests()) {
                if (r.type != 1 || (r.cmd != 1 && r.cmd != 0x81))
                    continue;
                if (r.cmd == heartbeat)
                    ++rightKind;
                else
                    QVERIFY2(rightKind == 0 && ++wrongKind == 1, "a heartbeat of the wrong kind after the switch");
            }
        }
        // A busy machine may deliver more than two within one wait.
        QVERIFY2(rightKind >= 2, qPrintable(QString::number(rightKind)));
        QCOMPARE(finished.size(), 1);
    }

    void oneFinishedPerConnection()
    {
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        QSignalSpy finished(m_pm.get(), &ProtocolManager::GetDeviceSettingsFinished);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        connect(m_pm.get(), &ProtocolManager::NetSuccess, this, [this](bool up) {
            if (up)
                m_pm->GetDeviceConfigSettingData();
        });
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QVERIFY(waitCount(finished, 1));
        QVERIFY(m_pm->UseProtocolEx());

        // A second fetch while the first waits: it fails at once, the first one still ends.
        m_pm->GetDeviceConfigSettingData();
        m_pm->GetDeviceConfigSettingData();
        QVERIFY(waitCount(finished, 2));
        QVERIFY(anyEndsWith(LinkTest::logTexts(log, FileLogger::Error), QStringLiteral("获取设备配置项信息错误:0")));

        m_sim->closeConnection();
        QVERIFY(waitCount(net, 3));
        QVERIFY(waitCount(finished, 3));
        settle(300);
        QCOMPARE(finished.size(), 3);
        QCOMPARE(store().gets, 9);
    }

    void flagsClearedOnLinkLoss()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy finished(m_pm.get(), &ProtocolManager::GetDeviceSettingsFinished);
        m_pm->GetDeviceConfigSettingData();
        QVERIFY(waitCount(finished, 1));
        QVERIFY(m_pm->IsBandwidthEnable());
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        m_sim->setRefusing(true);
        m_sim->closeConnection();
        QVERIFY(waitCount(net, 1));
        QVERIFY(!m_pm->IsBandwidthEnable());
        QVERIFY(!m_pm->UseProtocolEx());
        QCOMPARE(m_pm->GetBandwidth(), 0u);
        QVERIFY(m_pm->GetBandwidthList().isEmpty());
        QCOMPARE(m_pm->GetTranspondDelay(), 0);
        // The tables stay until the next fetch.
        QCOMPARE(m_pm->freqBands.size(), 3);
        // Nothing goes out on a link that is down.
        QVERIFY(!m_pm->SetBandwidth(20));
        QVERIFY(!m_pm->GetDevConfig(kGroup, {"Bandwidth/Bandwidth"}));
    }

    void getWithoutWait_data()
    {
        QTest::addColumn<bool>("oneUnanswered");
        QTest::newRow("answered") << false;
        // A read whose answer never came leaves at its expiry: the next read's answer is its own.
        QTest::newRow("after a read left at its expiry") << true;
    }
    void getWithoutWait()
    {
        QFETCH(bool, oneUnanswered);
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy list(m_pm.get(), &ProtocolManager::ReceivedConfigValueList);
        if (oneUnanswered) {
            store().faults.silentGets = true;
            m_pm->setConfigWaitForTest(TestTime::ms(200));
            QVERIFY(m_pm->GetDevConfig(kGroup, {"Bandwidth/Bandwidth"}));
            QTRY_VERIFY_WITH_TIMEOUT(!m_pm->isOpen(Msg_Type::System, Msg_Cmd::DevConfig), TestTime::ms(5000));
            store().faults.silentGets = false;
            m_pm->setConfigWaitForTest(ProtocolManager::kConfigWaitMs);
        }
        QVERIFY(m_pm->GetDevConfig(kGroup, {"Bandwidth/Bandwidth", "MGC/MGC"}));
        QVERIFY(waitCount(list, 1));
        QCOMPARE(list.at(0).at(0).toStringList(), (QStringList{"40", "-12"}));
        // An empty list is a 5-byte reply, which tells nobody anything.
        QVERIFY(m_pm->GetDevConfig(kGroup, {}));
        QTRY_VERIFY(!m_pm->isOpen(Msg_Type::System, Msg_Cmd::DevConfig));
        QStringList values{"x"};
        QVERIFY(get({}, &values));
        QVERIFY(values.isEmpty());
        QCOMPARE(list.size(), 1);
    }

    void setReplyDoesNotEndWaitingGet()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        m_pm->setConfigWaitForTest(TestTime::ms(3000));
        store().faults.holdGets = true;
        auto get = std::make_shared<Told>();
        QVERIFY(m_pm->GetDevConfig(kGroup, {"Bandwidth/Bandwidth", "FBPS/FBPS"}, owner(get)));
        QVERIFY(stored(
            [this](const ReplyOwner& o) { return m_pm->SetDevConfig(kGroup, {"Bandwidth/Bandwidth"}, {"20"}, o); }));
        QVERIFY(get->outcomes.isEmpty()); // still waiting
        store().faults.holdGets = false;
        store().releaseHeldGets(*m_sim);
        QVERIFY(LinkTest::waitUntil([&] { return get->ended(); }));
        // The get was answered before the set was stored, with its own values.
        QCOMPARE(get->outcomes, QList<ReplyOutcome>{ReplyOutcome::InTime});
        QCOMPARE(ProtocolManager::configValues(get->last), (QStringList{"40", "false"}));
        QCOMPARE(store().values["Bandwidth/Bandwidth"], QStringLiteral("20"));
    }

    void getReplyDoesNotEndWaitingSet()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        m_pm->setConfigWaitForTest(TestTime::ms(600));
        store().faults.silentSets = true;
        auto set = std::make_shared<Told>();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_pm->SetDevConfig(kGroup, {"MGC/MGC"}, {"5"}, owner(set)));
        QStringList got;
        QVERIFY(get({"MGC/MGC"}, &got));
        QCOMPARE(got, QStringList{"-12"});
        QVERIFY(LinkTest::waitUntil([&] { return set->ended(); }));
        // It ran its own wait and its quiet one, not the get's reply.
        QCOMPARE(set->outcomes, (QList<ReplyOutcome>{ReplyOutcome::TimedOut, ReplyOutcome::Unknown}));
        QVERIFY(clock.elapsed() >= TestTime::ms(1100));
    }

    void secondWaitOfOneKindRefused()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        store().faults.holdGets = true;
        auto first = std::make_shared<Told>();
        auto second = std::make_shared<Told>();
        QVERIFY(m_pm->GetDevConfig(kGroup, {"MGC/MGC"}, owner(first)));
        QVERIFY(!m_pm->GetDevConfig(kGroup, {"MGC/MGC"}, owner(second)));
        QCOMPARE(m_pm->openReason(Msg_Type::System, Msg_Cmd::DevConfig), QStringLiteral("等待设备应答…"));
        store().faults.holdGets = false;
        store().releaseHeldGets(*m_sim);
        QVERIFY(LinkTest::waitUntil([&] { return first->answered(); }));
        QCOMPARE(store().gets, 1); // the refused one sent nothing
        QVERIFY(second->outcomes.isEmpty());
    }

    void staleTimerDoesNotEndLaterWait()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        const int wait = TestTime::ms(1000);
        m_pm->setConfigWaitForTest(wait);
        QStringList first;
        QVERIFY(get({"MGC/MGC"}, &first));
        // The second get starts half a wait later and is answered after the first one's
        // time-out would have fallen, but well within its own.
        settle(wait / 2);
        store().faults.holdGets = true;
        QTimer::singleShot(wait * 3 / 4, this, [this] {
            store().faults.holdGets = false;
            store().releaseHeldGets(*m_sim);
        });
        auto second = std::make_shared<Told>();
        QVERIFY(m_pm->GetDevConfig(kGroup, {"Bandwidth/Bandwidth"}, owner(second)));
        QVERIFY(LinkTest::waitUntil([&] { return second->ended(); }));
        QCOMPARE(second->outcomes, QList<ReplyOutcome>{ReplyOutcome::InTime});
        QCOMPARE(ProtocolManager::configValues(second->last), QStringList{"40"});
    }

    void linkDropEndsWaitAtOnce()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        store().faults.silentGets = true;
        store().faults.silentSets = true;
        QElapsedTimer clock;
        clock.start();
        auto get = std::make_shared<Told>();
        auto set = std::make_shared<Told>();
        QVERIFY(m_pm->GetDevConfig(kGroup, {"MGC/MGC"}, owner(get)));
        QVERIFY(m_pm->SetDevConfig(kGroup, {"MGC/MGC"}, {"1"}, owner(set)));
        QTimer::singleShot(50, this, [this] {
            m_sim->setRefusing(true);
            m_sim->closeConnection();
        });
        QVERIFY(LinkTest::waitUntil([&] { return get->ended() && set->ended(); }));
        QCOMPARE(get->outcomes, QList<ReplyOutcome>{ReplyOutcome::Cut});
        QCOMPARE(set->outcomes, QList<ReplyOutcome>{ReplyOutcome::Cut});
        QVERIFY2(clock.elapsed() < ProtocolManager::kConfigWaitMs - 1000, qPrintable(QString::number(clock.elapsed())));
    }

    // An instrument that answers the store past the PC's wait: each answer is its own request's,
    // told late, and the next request of the kind does not go out meanwhile.
    void lateAnswerIsItsOwn_data()
    {
        QTest::addColumn<bool>("write");
        QTest::newRow("get") << false;
        QTest::newRow("set") << true;
    }
    void lateAnswerIsItsOwn()
    {
        QFETCH(bool, write);
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        m_pm->setConfigWaitForTest(TestTime::ms(300));
        m_sim->faults().lateMs[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DevConfig))] = TestTime::ms(400);
        const auto send = [&](const QString& value, const std::shared_ptr<Told>& told) {
            return write ? m_pm->SetDevConfig(kGroup, {"MGC/MGC"}, {value}, owner(told))
                         : m_pm->GetDevConfig(kGroup, {value}, owner(told));
        };
        const Msg_Cmd kind = write ? ProtocolManager::DevConfigWrite : Msg_Cmd::DevConfig;
        auto a = std::make_shared<Told>();
        auto b = std::make_shared<Told>();
        QVERIFY(send(write ? "7" : "Bandwidth/Bandwidth", a));
        QVERIFY(LinkTest::waitUntil([&] { return !a->outcomes.isEmpty(); }));
        QCOMPARE(a->outcomes, QList<ReplyOutcome>{ReplyOutcome::TimedOut});
        // Past its wait, A is still open: B is not sent.
        QVERIFY(!send(write ? "8" : "MGC/MGC", b));
        QVERIFY(LinkTest::waitUntil([&] { return a->ended(); }));
        QCOMPARE(a->outcomes, (QList<ReplyOutcome>{ReplyOutcome::TimedOut, ReplyOutcome::Late}));
        if (write)
            QVERIFY(ProtocolManager::configStored(a->last));
        else
            QCOMPARE(ProtocolManager::configValues(a->last), QStringList{"40"});
        // Once A has its answer, B goes out and is told its own.
        m_pm->setConfigWaitForTest(ProtocolManager::kConfigWaitMs);
        QVERIFY(!m_pm->isOpen(Msg_Type::System, kind));
        QVERIFY(send(write ? "8" : "MGC/MGC", b));
        QVERIFY(LinkTest::waitUntil([&] { return b->ended(); }));
        QCOMPARE(b->outcomes, QList<ReplyOutcome>{ReplyOutcome::InTime});
        if (write)
            QCOMPARE(store().values["MGC/MGC"], QStringLiteral("8"));
        else
            QCOMPARE(ProtocolManager::configValues(b->last), QStringList{"-12"});
    }

    void unansweredFetch()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        m_pm->setConfigWaitForTest(TestTime::ms(200));
        store().faults.silentGets = true;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy finished(m_pm.get(), &ProtocolManager::GetDeviceSettingsFinished);
        m_pm->GetDeviceConfigSettingData();
        QTRY_VERIFY(
            anyEndsWith(LinkTest::logTexts(log, FileLogger::Error), QStringLiteral("获取设备配置项信息错误:0")));
        QCOMPARE(finished.size(), 0);
        QVERIFY(!m_pm->IsBandwidthEnable());
    }

    void badStoreReplies_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("line");
        QTest::newRow("one value short") << 0 << QStringLiteral("获取设备配置项信息错误:0");
        QTest::newRow("lying value count") << 1 << QStringLiteral("获取设备配置项信息错误:0");
        QTest::newRow("band count beyond any table") << 2 << QStringLiteral("获取设备配置项信息错误:0");
        QTest::newRow("negative bit count") << 3 << QStringLiteral("获取设备配置项信息错误:0");
    }
    void badStoreReplies()
    {
        QFETCH(int, fault);
        QFETCH(QString, line);
        switch (fault) {
        case 0:
            store().faults.dropValues = 1;
            break;
        case 1:
            store().faults.lyingCount = true;
            break;
        case 2:
            store().values["Config/FreqNum"] = "100000000";
            break;
        case 3:
            store().values["Config/BitNum"] = "-1";
            break;
        }
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy finished(m_pm.get(), &ProtocolManager::GetDeviceSettingsFinished);
        QElapsedTimer clock;
        clock.start();
        m_pm->GetDeviceConfigSettingData();
        QTRY_VERIFY(anyEndsWith(LinkTest::logTexts(log, FileLogger::Error), line));
        QVERIFY(clock.elapsed() < ProtocolManager::kConfigWaitMs); // refused, not timed out
        settle(200);
        QCOMPARE(finished.size(), 0);
        QVERIFY(m_pm->freqBands.isEmpty());
    }

    void shortOrRefusedSetReply_data()
    {
        QTest::addColumn<bool>("shortReply");
        QTest::newRow("refused") << false;
        QTest::newRow("result word missing") << true;
    }
    void shortOrRefusedSetReply()
    {
        QFETCH(bool, shortReply);
        fetch();
        store().faults.refuseSets = !shortReply;
        store().faults.shortSetReply = shortReply;
        QSignalSpy bw(m_pm.get(), &ProtocolManager::UpdateBandwidth);
        QElapsedTimer clock;
        clock.start();
        auto told = std::make_shared<Told>();
        QVERIFY(m_pm->SetBandwidth(20, owner(told)));
        QVERIFY(LinkTest::waitUntil([&] { return told->ended(); }));
        QCOMPARE(told->outcomes.last(), shortReply ? ReplyOutcome::Malformed : ReplyOutcome::InTime);
        QVERIFY(!ProtocolManager::configStored(told->last));
        QVERIFY(clock.elapsed() < ProtocolManager::kConfigWaitMs);
        QCOMPARE(m_pm->GetBandwidth(), 40u);
        QCOMPARE(bw.size(), 0);
    }

    void setters()
    {
        fetch();
        QSignalSpy bw(m_pm.get(), &ProtocolManager::UpdateBandwidth);
        QSignalSpy doppler(m_pm.get(), &ProtocolManager::UpdateDopplerValue);
        QSignalSpy feed(m_pm.get(), &ProtocolManager::UpdateFeedSwitchStatus);
        QSignalSpy mgc(m_pm.get(), &ProtocolManager::UpdateMGCStatus);
        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetBandwidth(20, o); }));
        QCOMPARE(m_pm->GetBandwidth(), 20u);
        QCOMPARE(bw.size(), 1);
        QCOMPARE(bw.at(0).at(0).toUInt(), 20u);
        QCOMPARE(store().values["Bandwidth/Bandwidth"], QStringLiteral("20"));

        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetDopplerValue(3000000000u, o); }));
        QCOMPARE(m_pm->GetDopplerValue(), 3000000000u);
        QCOMPARE(doppler.at(0).at(0).toInt(), int(3000000000u - 4294967296u));

        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetMGCStatus(false, o); }));
        QCOMPARE(store().values["MGC/MGCMode"], QStringLiteral("false"));
        QCOMPARE(mgc.size(), 1);

        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetFeedSwitchStatus(true, o); }));
        QVERIFY(m_pm->GetFeedSwitchStatus());
        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetSampleRate(31250000, o); }));
        QCOMPARE(m_pm->GetSampleRate(), 31250000u);
        QCOMPARE(feed.size(), 0);
        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetTranspondDelay(-7, o); }));
        QCOMPARE(store().values["Transponder/TranspondDelay"], QStringLiteral("-7"));
        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetMGCValue(9, o); }));
        QCOMPARE(m_pm->GetMGCValue(), 9);
    }

    void lowPowerSwitch()
    {
        fetch();
        const int before = store().gets;
        QVERIFY(stored([this](const ReplyOwner& o) { return m_pm->SetLowPowerStatus(true, o); }));
        QCOMPARE(store().values["LowPowMode/LPMSwitch"], QStringLiteral("true"));
        QTRY_COMPARE(store().gets, before + 1); // the refresh reads it back
        store().faults.refuseSets = true;
        // Refused: the cache keeps the state the instrument confirmed.
        QVERIFY(!stored([this](const ReplyOwner& o) { return m_pm->SetLowPowerStatus(false, o); }));
        QVERIFY(m_pm->GetLowPowerStatus());
    }

    void refresh()
    {
        fetch();
        QSignalSpy bw(m_pm.get(), &ProtocolManager::UpdateBandwidth);
        QSignalSpy feed(m_pm.get(), &ProtocolManager::UpdateFeedSwitchStatus);
        QSignalSpy mgc(m_pm.get(), &ProtocolManager::UpdateMGCValue);
        store().values["Bandwidth/Bandwidth"] = "80";
        store().values["FBPS/FBPS"] = "TRUE";
        store().values["MGC/MGC"] = "4";
        QCOMPARE(m_pm->GetBandwidth(true), 40u);
        QVERIFY(waitCount(bw, 1));
        QCOMPARE(bw.at(0).at(0).toUInt(), 80u);
        QCOMPARE(m_pm->GetBandwidth(), 80u);

        QVERIFY(!m_pm->GetFeedSwitchStatus(true));
        QVERIFY(waitCount(feed, 1));
        QCOMPARE(feed.at(0).at(0).toBool(), true);

        m_pm->GetMGCValue(true);
        m_pm->GetMGCValue(true);
        QVERIFY(waitCount(mgc, 2));
        QCOMPARE(mgc.at(1).at(0).toInt(), 4);
        settle(300);
        QCOMPARE(mgc.size(), 2);
    }

    void refreshRetriesUntilAnswered()
    {
        fetch();
        m_pm->setConfigWaitForTest(TestTime::ms(100));
        store().faults.silentGets = true;
        QSignalSpy delay(m_pm.get(), &ProtocolManager::UpdateTranspondDelay);
        store().values["Transponder/TranspondDelay"] = "77";
        m_pm->GetTranspondDelay(true);
        QTRY_VERIFY(store().gets >= 6); // stage reads plus at least two attempts
        store().faults.silentGets = false;
        QVERIFY(waitCount(delay, 1));
        QCOMPARE(delay.at(0).at(0).toInt(), 77);
    }

private:
    DevConfigStore& store() { return m_sim->profile().devConfig; }

    ReplyOwner owner(const std::shared_ptr<Told>& told)
    {
        return ReplyOwner(this, [told](const ReplyNotice& n) {
            told->outcomes << n.outcome;
            told->last = n;
        });
    }
    // A get that ended answered, with its values.
    bool get(const QStringList& keys, QStringList* values)
    {
        auto told = std::make_shared<Told>();
        if (!m_pm->GetDevConfig(kGroup, keys, owner(told)) || !LinkTest::waitUntil([&] { return told->ended(); })
            || !told->answered())
            return false;
        *values = ProtocolManager::configValues(told->last);
        return true;
    }
    // A write that the instrument said it stored.
    bool stored(const std::function<bool(const ReplyOwner&)>& write)
    {
        auto told = std::make_shared<Told>();
        return write(owner(told)) && LinkTest::waitUntil([&] { return told->ended(); }) && told->answered()
            && ProtocolManager::configStored(told->last);
    }

    void fetch()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy finished(m_pm.get(), &ProtocolManager::GetDeviceSettingsFinished);
        m_pm->GetDeviceConfigSettingData();
        QVERIFY(waitCount(finished, 1));
    }

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<ProtocolManager> m_pm;
};

QTEST_MAIN(tst_DeviceConfig)
#include "tst_DeviceConfig.moc"
