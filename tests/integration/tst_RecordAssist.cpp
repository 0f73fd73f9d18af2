#include <DeviceCapabilities.h>
#include <ExtendHandler.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <RecordHandler.h>
#include <TcpConnect.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <ctime>
#include <memory>

using LinkTest::waitCount;

namespace {
// Names of the record queries (information, plain or extended) the instrument received.
QList<quint32> queried(const InstrumentSim& sim)
{
    QList<quint32> names;
    for (const auto& r : sim.requests()) {
        if (r.type == quint8(Msg_Type::RecordedManager)
            && (r.cmd == quint8(Msg_Cmd::FindRecordInfo) || r.cmd == quint8(Msg_Cmd::FindRecordExInfo))
            && r.payload.size() == 4) {
            const auto* p = reinterpret_cast<const uchar*>(r.payload.constData());
            names << (quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
        }
    }
    return names;
}

// A step time-out short enough that the rows which let a query go unanswered end soon, long
// enough that every answer sent at once comes within it on a loaded machine.
const int kShortStepMs = TestTime::ms(RecordAssist::kStepTimeoutMs) / 3;
} // namespace

class tst_RecordAssist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A zone with daylight saving: record names stamped in UTC must not be read in it.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        m_app = LinkTest::appWithLog();
    }
    void init()
    {
        ProtocolManager::SourceMod = 0;
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        m_records = m_sim->handler<RecordHandler>();
        m_pm = std::make_unique<ProtocolManager>();
        m_pm->link()->setReconnectInterval(TestTime::ms(100));
        m_assist = std::make_unique<RecordAssist>(m_pm.get());
        // The instrument's own step, so a slow reply on a busy machine is never retried and
        // the exact query counts hold; the time-out tests shorten it.
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, false);
        DeviceCapabilities::setEnabled(DevConfigFeature::ProtocolEx, false);
    }
    void cleanup()
    {
        m_assist.reset();
        m_pm.reset();
        m_sim.reset();
        DeviceCapabilities::clear();
    }

    void catalogueFetchedThenOnlyChangedRequeried()
    {
        m_records->seed(50);
        QVERIFY(search());
        QCOMPARE(m_assist->Records.size(), 50);
        QCOMPARE(queried(*m_sim).size(), 50);
        for (int i = 0; i < 50; ++i) {
            const auto& r = m_records->records().at(i);
            QCOMPARE(m_assist->Records.at(i).RecordValue("Name").toUInt(), r.name);
            QCOMPARE(m_assist->Records.at(i).RecordValue("Remark").toString(), r.remark);
        }

        const QList<quint32> changed{m_records->records().at(2).name, m_records->records().at(25).name,
                                     m_records->records().at(49).name};
        for (quint32 name : changed)
            m_records->change(name);
        m_sim->clearRequests();
        QVERIFY(search());
        QList<quint32> again = queried(*m_sim);
        std::sort(again.begin(), again.end());
        QCOMPARE(again, changed);
        QCOMPARE(m_assist->Records.size(), 50);
        QCOMPARE(m_assist->Records.at(25).RecordValue("Remark").toString(), m_records->records().at(25).remark);
        QCOMPARE(m_assist->Records.at(24).RecordValue("Remark").toString(), m_records->records().at(24).remark);
    }

    void unchangedListQueriesNothing_data()
    {
        QTest::addColumn<int>("gone");
        QTest::addColumn<QString>("told");
        QTest::newRow("the same list") << 0 << "查询记录结束，无更新记录";
        // An instrument restarted with fewer records: nothing to ask, but the list changed.
        QTest::newRow("two records gone") << 2 << "查询记录结束，更新完毕";
    }
    void unchangedListQueriesNothing()
    {
        QFETCH(int, gone);
        QFETCH(QString, told);
        m_records->seed(4);
        QVERIFY(search());
        QStringList goneNames;
        for (int k = 0; k < gone; ++k)
            goneNames.prepend(RecordCheck::logName(m_records->records().takeLast().name));
        m_sim->clearRequests();
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QVERIFY(search());
        QVERIFY(queried(*m_sim).isEmpty());
        const QStringList lines = LinkTest::logMessages(log, FileLogger::Info);
        QVERIFY2(lines.contains(told), qPrintable(lines.join(QLatin1Char('|'))));
        // The records that went are named, not only counted.
        QCOMPARE(lines.contains(QStringLiteral("%1 条记录已不在设备上：%2").arg(gone).arg(goneNames.join(", "))),
                 gone > 0);
        QCOMPARE(m_assist->Records.size(), 4 - gone);
    }

    void zeroStampAlwaysRequeried()
    {
        m_records->seed(3);
        m_records->records()[1].stamp = 0;
        QVERIFY(search());
        m_sim->clearRequests();
        QVERIFY(search());
        QCOMPARE(queried(*m_sim), QList<quint32>{m_records->records().at(1).name});
    }

    void emptyCatalogue()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QVERIFY(search());
        QVERIFY(m_assist->Records.isEmpty());
        QVERIFY(LinkTest::logMessages(log, FileLogger::Info).contains(QStringLiteral("查询记录结束，无记录")));
    }

    void searchWhileSearchingIsRefused()
    {
        m_records->seed(3);
        QSignalSpy ready(m_assist.get(), &RecordAssist::RecordListReady);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_assist->SeachRecord();
        m_assist->SeachRecord();
        QVERIFY(waitCount(ready, 1));
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::RecordList).size(), 1);
        QVERIFY(LinkTest::logMessages(log, FileLogger::Info).contains(QStringLiteral("等待上次记录查询中")));
    }

    void silentListTimesOutOnceThenFails()
    {
        m_assist->setStepTimeout(kShortStepMs);
        m_records->seed(3);
        m_records->faults().silentList = true;
        QSignalSpy error(m_assist.get(), &RecordAssist::GetRecordError);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_assist->SeachRecord();
        QVERIFY(waitCount(error, 1));
        QCOMPARE(error.at(0).at(0).toInt(), 1);
        QCOMPARE(LinkTest::logMessages(log, FileLogger::Warning).filter(QStringLiteral("获取记录超时")),
                 QStringList{QStringLiteral("获取记录超时，正在重试")});
        QVERIFY(LinkTest::logMessages(log, FileLogger::Error).contains(QStringLiteral("获取记录信息失败（超时）")));
        QVERIFY(!m_assist->isSearching());
        QVERIFY(m_assist->Records.isEmpty());
    }

    void silentRecordQueryIsRetriedOnceThenFails_data()
    {
        QTest::addColumn<quint32>("first");
        QTest::newRow("records from 2024") << 1704110400u;
        // The first query of record 0 is no repeat of an earlier one: its step is timed too.
        QTest::newRow("a record named 0") << 0u;
    }
    void silentRecordQueryIsRetriedOnceThenFails()
    {
        QFETCH(quint32, first);
        m_assist->setStepTimeout(kShortStepMs);
        m_records->seed(3, first);
        m_records->faults().silentQueries = -1;
        QSignalSpy error(m_assist.get(), &RecordAssist::GetRecordError);
        QSignalSpy ready(m_assist.get(), &RecordAssist::RecordListReady);
        m_assist->SeachRecord();
        QVERIFY(waitCount(error, 1));
        QCOMPARE(error.at(0).at(0).toInt(), 1);
        QCOMPARE(ready.count(), 0);
        // The worker resends on its own clock, the failure comes from the search timer: on a
        // busy machine further resends can go out before the timer gives up, all of one record.
        const QList<quint32> names = queried(*m_sim);
        QVERIFY2(names.size() >= 2, qPrintable(QString::number(names.size())));
        QCOMPARE(names.count(names.at(0)), names.size());
        QVERIFY(m_assist->Records.isEmpty());
        // The next search starts from nothing and queries every record.
        m_records->faults().silentQueries = 0;
        m_sim->clearRequests();
        m_assist->setStepTimeout(TestTime::ms(RecordAssist::kStepTimeoutMs));
        QVERIFY(search());
        // A resend of the failed search may still reach the instrument after the requests are
        // cleared; what counts is that every record is asked for.
        QSet<quint32> asked;
        for (quint32 name : queried(*m_sim))
            asked.insert(name);
        QSet<quint32> all;
        for (const auto& r : m_records->records())
            all.insert(r.name);
        QCOMPARE(asked, all);
        QCOMPARE(m_assist->Records.size(), 3);
    }

    void retriedQueryThatIsAnsweredCompletes_data()
    {
        QTest::addColumn<bool>("bandwidths");
        QTest::newRow("without bandwidths") << false;
        // The bandwidth came before the lost information reply and is kept over the repeat.
        QTest::newRow("with the bandwidth answered first") << true;
    }
    void retriedQueryThatIsAnsweredCompletes()
    {
        QFETCH(bool, bandwidths);
        m_assist->setStepTimeout(kShortStepMs);
        m_records->seed(3);
        m_records->faults().silentQueries = 1;
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, bandwidths);
        QVERIFY(search());
        // The silent first query is asked again; on a busy machine a slow answer to another
        // one may be asked again as well.
        const QList<quint32> names = queried(*m_sim);
        QVERIFY2(names.size() >= 4, qPrintable(QString::number(names.size())));
        QCOMPARE(names.at(1), names.at(0));
        QCOMPARE(m_assist->Records.size(), 3);
        QCOMPARE(m_assist->Records.at(0).RecordValue("Name").toUInt(), m_records->records().at(0).name);
        for (int i = 0; bandwidths && i < 3; ++i)
            QCOMPARE(m_assist->Records.at(i).RecordValue("Bandwidth").toUInt(), m_records->records().at(i).bandwidth);
    }

    void failedQueryEmptiesTheList()
    {
        m_records->seed(3);
        m_records->faults().failQueries = true;
        QSignalSpy error(m_assist.get(), &RecordAssist::GetRecordError);
        m_assist->SeachRecord();
        QVERIFY(waitCount(error, 1));
        QCOMPARE(error.at(0).at(0).toInt(), 2);
        QVERIFY(m_assist->Records.isEmpty());
    }

    void duplicateRepliesLandOnTheirOwnEntries_data()
    {
        QTest::addColumn<bool>("bandwidthAgain");
        QTest::newRow("information replies twice") << false;
        // The copy of the first record's bandwidth is read only once the worker has moved on to
        // the second record and before that record is asked for.
        QTest::newRow("bandwidth reply again after the information") << true;
    }
    void duplicateRepliesLandOnTheirOwnEntries()
    {
        QFETCH(bool, bandwidthAgain);
        m_records->seed(10);
        m_records->faults().duplicateQueries = !bandwidthAgain;
        m_records->faults().bandwidthAgain = bandwidthAgain;
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, bandwidthAgain);
        bool held = false;
        // Connected after the service's own slot: runs once the first reply has been taken, while
        // the frames behind it wait in the manager's buffer.
        connect(m_pm.get(), &ProtocolManager::QueryRecordInfo, this, [&] {
            if (!bandwidthAgain || held)
                return;
            held = true;
            QElapsedTimer clock;
            clock.start();
            while (!m_assist->isWaiting() && clock.elapsed() < 10000)
                QThread::yieldCurrentThread();
        });
        const bool found = search();
        disconnect(m_pm.get(), &ProtocolManager::QueryRecordInfo, this, nullptr);
        QVERIFY(found);
        QVERIFY(!bandwidthAgain || held);
        QCOMPARE(queried(*m_sim).size(), 10);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(m_assist->Records.at(i).RecordValue("Name").toUInt(), m_records->records().at(i).name);
            if (bandwidthAgain)
                QCOMPARE(m_assist->Records.at(i).RecordValue("Bandwidth").toUInt(),
                         m_records->records().at(i).bandwidth);
        }
    }

    void lateReplyForAnotherRecordIsIgnored()
    {
        m_assist->setStepTimeout(kShortStepMs);
        m_records->seed(3);
        // The first query goes unanswered once, so its reply to the retry is the only one; a
        // stale reply for record 3 arriving meanwhile must not fill record 1's entry.
        m_records->faults().silentQueries = 1;
        QSignalSpy ready(m_assist.get(), &RecordAssist::RecordListReady);
        QSignalSpy requests(m_sim.get(), &InstrumentSim::requestReceived);
        m_assist->SeachRecord();
        while (queried(*m_sim).isEmpty() && requests.wait(5000)) {}
        QVERIFY(!queried(*m_sim).isEmpty());
        RecordHandler::SimRecord stale = m_records->records().at(2);
        LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo,
                             QByteArray(1, '\0') + RecordHandler::streamForm(stale));
        QVERIFY(waitCount(ready, 1));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(m_assist->Records.at(i).RecordValue("Name").toUInt(), m_records->records().at(i).name);
    }

    void repliesOutsideASearchAreNotTaken()
    {
        m_records->seed(2);
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, true);
        QVERIFY(search());
        QSignalSpy ready(m_assist.get(), &RecordAssist::RecordListReady);
        QSignalSpy error(m_assist.get(), &RecordAssist::GetRecordError);
        QSignalSpy bandwidth(m_pm.get(), &ProtocolManager::UpdateRecordBandwidth);
        QSignalSpy info(m_pm.get(), &ProtocolManager::QueryRecordInfo);
        // A page asks on its own, and a record it asks for is missing.
        m_pm->FindRecordInfoCmd(999);
        QVERIFY(waitCount(info, 1));
        LinkTest::sendReport(*m_sim, Msg_Type::Extend, Msg_Cmd::RecordBandwidth, QByteArray::fromHex("05000000"));
        m_pm->FindRecordInfoCmd(m_records->records().at(0).name);
        QVERIFY(waitCount(info, 2));
        QCOMPARE(bandwidth.count(), 0);
        QCOMPARE(ready.count(), 0);
        QCOMPARE(error.count(), 0);
        QCOMPARE(m_assist->Records.size(), 2);
    }

    void bandwidthsJoinTheEntries()
    {
        m_records->seed(5);
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, true);
        QVERIFY(search());
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::Extend, Msg_Cmd::RecordBandwidth).size(), 5);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(m_assist->Records.at(i).RecordValue("Bandwidth").toUInt(), m_records->records().at(i).bandwidth);
        // Entries with a bandwidth and an unchanged stamp stay.
        m_sim->clearRequests();
        QVERIFY(search());
        QVERIFY(queried(*m_sim).isEmpty());
    }

    void missingBandwidthEndsTheSearch()
    {
        m_assist->setStepTimeout(kShortStepMs);
        m_records->seed(2);
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, true);
        m_sim->handler<ExtendHandler>()->silentBandwidth = -1;
        QSignalSpy error(m_assist.get(), &RecordAssist::GetRecordError);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_assist->SeachRecord();
        QVERIFY(waitCount(error, 1));
        QCOMPARE(error.at(0).at(0).toInt(), 1);
        QVERIFY(m_assist->Records.isEmpty());
    }

    void extendedProtocolQueriesTheTextForm_data()
    {
        QTest::addColumn<quint32>("first");
        QTest::newRow("names from 2024") << 1704110400u;
        // 2024-03-31 02:30 UTC: "20240331-023000" is no time of the day in Berlin.
        QTest::newRow("names in the PC zone's daylight-saving gap") << 1711852200u;
    }
    void extendedProtocolQueriesTheTextForm()
    {
        QFETCH(quint32, first);
        // The row means something only where the zone has the gap.
        QVERIFY(!QDateTime(QDate(2024, 3, 31), QTime(2, 30)).isValid());
        m_records->seed(3, first);
        DeviceCapabilities::setEnabled(DevConfigFeature::ProtocolEx, true);
        QVERIFY(search());
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::FindRecordExInfo).size(), 3);
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo).size(), 0);
        QCOMPARE(m_assist->Records.at(1).RecordValue("Name").toUInt(), m_records->records().at(1).name);
        QCOMPARE(m_assist->Records.at(1).LocalValue("SingleTransSize").toUInt(), 2u);
    }

    void linkDownGivesErrorZero()
    {
        QVERIFY(m_pm->DisConnectTcp());
        QSignalSpy error(m_assist.get(), &RecordAssist::GetRecordError);
        m_assist->SeachRecord();
        QCOMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).toInt(), 0);
    }

    void dropDuringASearchEndsIt()
    {
        m_records->seed(3);
        m_records->faults().silentQueries = -1;
        m_assist->SeachRecord();
        QVERIFY(LinkTest::waitRequest(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo));
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        m_sim->closeConnection();
        QVERIFY(waitCount(net, 2)); // down and up again
        // Still running, it would turn the next search away and fail on its clock.
        QVERIFY(!m_assist->isSearching());
        m_records->faults().silentQueries = 0;
        QVERIFY(search());
        QCOMPARE(m_assist->Records.size(), 3);
    }

    void deleteAllEmptiesTheList()
    {
        m_records->seed(2);
        QVERIFY(search());
        QSignalSpy all(m_pm.get(), &ProtocolManager::DeleteAllRecordSuccess);
        QVERIFY(m_pm->SendCmd(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord, Target_Dev::Device));
        QVERIFY(waitCount(all, 1));
        QVERIFY(m_assist->Records.isEmpty());
    }

    void timeString_data()
    {
        QTest::addColumn<uint>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0u << "00:00:00";
        QTest::newRow("just under an hour") << 3599u << "00:59:59";
        QTest::newRow("over a day") << 90061u << "25:01:01";
        QTest::newRow("three-digit hours") << 360000u << "100:00:00";
    }
    void timeString()
    {
        QFETCH(uint, seconds);
        QFETCH(QString, text);
        QCOMPARE(RecordAssist::GetRecordTimeString(seconds), text);
    }

private:
    bool search()
    {
        QSignalSpy ready(m_assist.get(), &RecordAssist::RecordListReady);
        QSignalSpy error(m_assist.get(), &RecordAssist::GetRecordError);
        m_assist->SeachRecord();
        QElapsedTimer clock;
        clock.start();
        while (ready.isEmpty() && error.isEmpty() && clock.elapsed() < 20000)
            ready.wait(200);
        return ready.count() == 1 && error.isEmpty() && m_assist->isReady();
    }

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<ProtocolManager> m_pm;
    std::unique_ptr<RecordAssist> m_assist;
    RecordHandler* m_records = nullptr;
};

QTEST_GUILESS_MAIN(tst_RecordAssist)
#include "tst_RecordAssist.moc"
