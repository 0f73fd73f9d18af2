#include <UiTestSupport.h>

#include "ReceiverTestSupport.h"

#include <ConfigSetting.h>
#include <FileLogger.h>
#include <ReceiverCNR.h>
#include <ReceiverEphemeris.h>
#include <SkyvaneManager.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace ReceiverTest;
using UM98X = Ns::Skyvane::UM98X_960Handler;
using TX518 = Ns::Skyvane::TX518Handler;

namespace {
QJsonArray json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).array();
}

// Takes the manager's signals in the GUI thread, as the views do (queued from the relay's
// worker thread).
class Views : public QObject
{
    Q_OBJECT
public:
    struct List
    {
        int system;
        QJsonArray satellites;
    };
    QList<List> lists;
    int infoUpdates = 0;
    QList<int> ephUpdates;

    explicit Views(SkyvaneManager* m)
    {
        connect(m, &SkyvaneManager::UpdateStarInfo, this, [this](int s, QJsonArray a) {
            lists << List{s, a};
            emit changed();
        });
        connect(m, &SkyvaneManager::UpdateInfo, this, [this] {
            ++infoUpdates;
            emit changed();
        });
        connect(m, &SkyvaneManager::UpdateEphMap, this, [this](int s) {
            ephUpdates << s;
            emit changed();
        });
    }
    bool waitFor(const std::function<bool()>& done) { return ReceiverTest::waitFor(this, SIGNAL(changed()), done); }
    // The last list of a system, or an invalid marker when there was none.
    QJsonArray last(int system, bool* found = nullptr) const
    {
        for (int i = lists.size() - 1; i >= 0; --i) {
            if (lists[i].system == system) {
                if (found)
                    *found = true;
                return lists[i].satellites;
            }
        }
        if (found)
            *found = false;
        return {};
    }

signals:
    void changed();
};

UM98X::GSV gsv(int sentences, int number, int inView, int signal, QList<QList<int>> sats)
{
    UM98X::GSV g;
    g.sentences = quint8(sentences);
    g.number = quint8(number);
    g.inView = quint8(inView);
    g.signalId = quint8(signal);
    for (int i = 0; i < sats.size() && i < 4; ++i) {
        g.satellites[i].prn = quint8(sats[i][0]);
        g.satellites[i].elevation = quint8(sats[i][1]);
        g.satellites[i].azimuth = quint16(sats[i][2]);
        g.satellites[i].cn0 = quint8(sats[i][3]);
    }
    return g;
}
} // namespace

class tst_SkyvaneManager : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<Bench> m_bench;
    std::unique_ptr<SkyvaneManager> m_manager;

    SkyvaneManager* makeManager(const QString& variant)
    {
        m_manager.reset();
        ConfigSetting::instance()->configMode = variant;
        m_manager = std::make_unique<SkyvaneManager>();
        return m_manager.get();
    }
    // Streams `bytes` from the simulated receiver through the relay into the manager.
    void stream(const QByteArray& bytes)
    {
        m_bench->sim.relay().setStream(bytes);
        m_manager->dataTransportControl(true);
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        // The BeiDou dump files are written to the current directory.
        QDir::setCurrent(m_app->root());
        FileLogger::instance();
        m_bench = std::make_unique<Bench>();
        QVERIFY(m_bench->start());
    }
    void cleanup()
    {
        ReceiverDataTransportManager::Instance()->StopReceiverDataTrans();
        m_manager.reset();
        m_bench->sim.relay().setStream(QByteArray());
    }
    void cleanupTestCase()
    {
        ProtocolManager::instance()->DisConnectTcp();
        m_bench.reset();
    }

    void displayTables_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("tx518");
        QTest::addColumn<QJsonArray>("systems");
        QTest::addColumn<QJsonArray>("bands");
        const char* twoSystems = R"([{"name":"BDS","color":"red","visible":true,"enable":true},
                                     {"name":"GPS","color":"purple","visible":true,"enable":true}])";
        const char* bdsOnly = R"([{"name":"BDS","color":"red","visible":true,"enable":true}])";
        // A system with one signal shows in that signal's colour.
        const char* b3iOnly = R"([{"name":"BDS","color":"lightblue","visible":true,"enable":true}])";
        QTest::newRow("default: six BDS columns in signal order, GPS L1C/A")
            << "FBS" << false << json(twoSystems)
            << json(R"([[{"name":"B1I","color":"red","visible":true,"enable":true},
                         {"name":"B1C","color":"orange","visible":true,"enable":true},
                         {"name":"B1A","color":"pink","visible":true,"enable":true},
                         {"name":"B3I","color":"lightblue","visible":true,"enable":true},
                         {"name":"B3Q","color":"blue","visible":true,"enable":true},
                         {"name":"B3A","color":"green","visible":true,"enable":true}],
                        [{"name":"L1C/A","color":"purple","visible":true,"enable":true}]])");
        QTest::newRow("CPCI: three combined BDS bands")
            << "CPCI" << false << json(twoSystems)
            << json(R"([[{"name":"B1I/B1A","color":"red","visible":true,"enable":true},
                         {"name":"B1C","color":"orange","visible":true,"enable":true},
                         {"name":"B3I/B3A/B3Q","color":"lightblue","visible":true,"enable":true}],
                        [{"name":"L1C/A","color":"purple","visible":true,"enable":true}]])");
        QTest::newRow("518: BDS B3I only")
            << "518" << true << json(b3iOnly)
            << json(R"([[{"name":"B3I","color":"lightblue","visible":true,"enable":true}]])");
        QTest::newRow("LEO: B3I, B1C, B2a")
            << "LEO" << true << json(bdsOnly)
            << json(R"([[{"name":"B3I","color":"lightblue","visible":true,"enable":true},
                         {"name":"B1C","color":"orange","visible":true,"enable":true},
                         {"name":"B2a","color":"teal","visible":true,"enable":true}]])");
    }
    void displayTables()
    {
        QFETCH(QString, variant);
        QFETCH(bool, tx518);
        QFETCH(QJsonArray, systems);
        QFETCH(QJsonArray, bands);
        SkyvaneManager* m = makeManager(variant);
        QCOMPARE(m->getStarSystemData(), systems);
        QCOMPARE(m->getStarFrequencyData(), bands);
        QCOMPARE(qobject_cast<TX518*>(m->parser()) != nullptr, tx518);
        QCOMPARE(qobject_cast<UM98X*>(m->parser()) != nullptr, !tx518);
    }

    // GGA and RMC travel the whole road: simulated receiver, relay, parser, display rows.
    void relayedSentencesFillTheRows()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("CPCI"));
        Views views(m);
        // A real GGA with its own checksum, then an NMEA 4.1 RMC of 5 March 2024 at 10 knots.
        stream("$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n"
               + nmea("GNRMC,080503.25,A,3150.7821,N,11711.9307,E,10.0,231.5,050324,5.5,W,D,S"));
        QVERIFY(views.waitFor([&] { return m->infoRows().size() == 16; }));
        const QMap<int, QString> rows = m->infoRows();
        QCOMPARE(rows.value(0), QStringLiteral("2024/03/05"));
        QCOMPARE(rows.value(1), QStringLiteral("08:05:03.25"));
        QCOMPARE(rows.value(2), QStringLiteral("单点定位"));
        // RMC came last: its position holds. 31°50.7821' and 117°11.9307'.
        QCOMPARE(rows.value(3), QStringLiteral("31.84636833, N"));
        QCOMPARE(rows.value(4), QStringLiteral("117.19884500, E"));
        QCOMPARE(rows.value(5), QStringLiteral("61.7000"));
        QCOMPARE(rows.value(6), QStringLiteral("55.2000"));
        QCOMPARE(rows.value(7), QStringLiteral("8"));
        QCOMPARE(rows.value(8), QStringLiteral("1.0"));
        QCOMPARE(rows.value(9), QString());
        QCOMPARE(rows.value(10), QString());
        QCOMPARE(rows.value(11), QStringLiteral("5.1"));
        QCOMPARE(rows.value(12), QStringLiteral("231.5"));
        QCOMPARE(rows.value(13), QStringLiteral("5.5, W"));
        QCOMPARE(rows.value(14), QStringLiteral("差分模式"));
        QCOMPARE(rows.value(15), QStringLiteral("安全"));
    }

    void utcDateAndTime_data()
    {
        QTest::addColumn<float>("time"); // as the parser's record keeps it
        QTest::addColumn<int>("date");
        QTest::addColumn<QString>("dateText");
        QTest::addColumn<QString>("timeText");
        QTest::newRow("plain time") << 80503.25f << 50324 << "2024/03/05"
                                    << "08:05:03.25";
        // 135651.997 is kept as 135652: the rounded second is still a valid time.
        QTest::newRow("rounded within the minute") << 135651.997f << 50324 << "2024/03/05"
                                                   << "13:56:52.00";
        QTest::newRow("rounded second carried into the hour") << 135959.997f << 50324 << "2024/03/05"
                                                              << "14:00:00.00";
        QTest::newRow("rounded second carried into the next year") << 235959.995f << 311224 << "2025/01/01"
                                                                   << "00:00:00.00";
        QTest::newRow("carried into a leap day") << 235959.995f << 280224 << "2024/02/29"
                                                 << "00:00:00.00";
        QTest::newRow("hundredths rounded into the minute") << 1059.996f << 50324 << "2024/03/05"
                                                            << "00:11:00.00";
    }
    void utcDateAndTime()
    {
        QFETCH(float, time);
        QFETCH(int, date);
        QFETCH(QString, dateText);
        QFETCH(QString, timeText);
        const QStringList texts = SkyvaneManager::utcDateTimeTexts(time, date);
        QCOMPARE(texts.value(0), dateText);
        QCOMPARE(texts.value(1), timeText);
    }

    void ggaPositionAndDifferentialRows()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("CPCI"));
        Views views(m);
        stream(nmea("GPGGA,092750.000,5321.6802,N,00630.3372,W,2,8,1.03,61.7,M,55.2,M,1.5,23"));
        QVERIFY(views.waitFor([&] { return m->infoRows().value(10) == QLatin1String("0023"); }));
        QCOMPARE(m->infoRows().value(2), QStringLiteral("差分定位"));
        QCOMPARE(m->infoRows().value(3), QStringLiteral("53.36133667, N"));
        QCOMPARE(m->infoRows().value(4), QStringLiteral("6.50562000, W"));
        QCOMPARE(m->infoRows().value(9), QStringLiteral("1.5"));

        m_bench->sim.relay().send(nmea("GPGGA,092751.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,"));
        QVERIFY(views.waitFor([&] { return m->infoRows().value(10).isEmpty(); }));
        QCOMPARE(m->infoRows().value(9), QString());
        QCOMPARE(m->infoRows().value(2), QStringLiteral("单点定位"));
    }

    void tx518TextsAndSpeed()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("LEO"));
        Views views(m);
        stream(nmea("GNGGA,080503.25,3150.7821,N,11711.9307,E,4,24,0.6,52.8,M,-3.1,M,,")
               + nmea("GNRMC,080503.25,A,3150.7821,N,11711.9307,E,10.0,231.5,050324,5.5,W,E,C"));
        QVERIFY(views.waitFor([&] { return m->infoRows().size() == 16; }));
        QCOMPARE(m->infoRows().value(2), QStringLiteral("固定解"));
        QCOMPARE(m->infoRows().value(6), QStringLiteral("-3.1000"));
        QCOMPARE(m->infoRows().value(11), QStringLiteral("5.144"));
        QCOMPARE(m->infoRows().value(14), QStringLiteral("估算模式"));
        QCOMPARE(m->infoRows().value(15), QStringLiteral("警告"));
    }

    void textTables_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("um98x");
        QTest::addColumn<QString>("tx518");
        QTest::newRow("quality 0") << "quality" << 0 << "定位无效/不可用"
                                   << "定位无效/不可用";
        // Both receivers name a fix of one kind alike.
        QTest::newRow("quality 1") << "quality" << 1 << "单点定位"
                                   << "单点定位";
        QTest::newRow("quality 2") << "quality" << 2 << "差分定位"
                                   << "差分定位";
        QTest::newRow("quality 3") << "quality" << 3 << "GPS PPS模式"
                                   << "PPS模式";
        QTest::newRow("quality 8") << "quality" << 8 << "模拟器模式"
                                   << "PPP模式";
        QTest::newRow("quality 9 is none") << "quality" << 9 << ""
                                           << "";
        QTest::newRow("mode F") << "mode" << int('F') << "RTK Float"
                                << "";
        QTest::newRow("mode N") << "mode" << int('N') << "无定位"
                                << "数据无效";
        QTest::newRow("mode P") << "mode" << int('P') << "高精度模式"
                                << "PPP模式";
        QTest::newRow("mode absent") << "mode" << 0 << ""
                                     << "";
        QTest::newRow("status U") << "status" << int('U') << "危险"
                                  << "不安全";
        QTest::newRow("status V") << "status" << int('V') << ""
                                  << "航行状态无效";
    }
    void textTables()
    {
        QFETCH(QString, kind);
        QFETCH(int, value);
        QFETCH(QString, um98x);
        QFETCH(QString, tx518);
        if (kind == QLatin1String("quality")) {
            QCOMPARE(SkyvaneManager::um98xFixQualityText(value), um98x);
            QCOMPARE(SkyvaneManager::tx518FixQualityText(value), tx518);
        } else if (kind == QLatin1String("mode")) {
            QCOMPARE(SkyvaneManager::um98xModeText(char(value)), um98x);
            QCOMPARE(SkyvaneManager::tx518ModeText(char(value)), tx518);
        } else {
            QCOMPARE(SkyvaneManager::um98xNavigationStatusText(char(value)), um98x);
            QCOMPARE(SkyvaneManager::tx518NavigationStatusText(char(value)), tx518);
        }
    }

    // GSV sentences of one BDS set on two signals, through the relay; the parser releases the
    // set on its 200 ms timer.
    void relayedGsvBecomesOneListPerSystem()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("FBS"));
        Views views(m);
        // B1I (signal 1): PRNs 7 and 9; B3I (signal 8): PRN 7 again; B1Q (2) is not displayed.
        stream(nmea("GBGSV,1,1,02,07,45,120,41,09,10,300,35,1") + nmea("GBGSV,1,1,01,07,45,120,38,8")
               + nmea("GBGSV,1,1,01,11,60,010,30,2"));
        QVERIFY(views.waitFor([&] { return !views.last(0).isEmpty(); }));
        QCOMPARE(views.last(0), json(R"([{"prn":7,"cnr":[41,0,0,38,0,0],"elv":45,"azi":120},
                                         {"prn":9,"cnr":[35,0,0,0,0,0],"elv":10,"azi":300}])"));
        for (const auto& l : views.lists)
            QCOMPARE(l.system, 0);
    }

    void tx518SatelliteListsThroughTheRelay()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("LEO"));
        Views views(m);
        // BDS: PRN 7 on B3I (1) 45.2 dB-Hz and B1C (4) 39.8; PRN 9 on B2a (5) 40.1 and on
        // signal 2, which this variant does not show. GPS (1) is not displayed at all.
        // The GGA behind them marks the end: its rows are announced after any list before it.
        stream(nmea("EGSVA,0,12,7,45,120,2,1,452,4,398,9,30,200,2,5,401,2,300") + nmea("EGSVA,1,3,3,20,100,1,1,420")
               + nmea("GNGGA,080503.25,3150.7821,N,11711.9307,E,1,24,0.6,52.8,M,-3.1,M,,"));
        QVERIFY(views.waitFor([&] { return views.infoUpdates > 0; }));
        QCOMPARE(views.lists.size(), 1);
        QCOMPARE(views.last(0), json(R"([{"prn":7,"cnr":[45,39,0],"elv":45,"azi":120},
                                         {"prn":9,"cnr":[0,0,40],"elv":30,"azi":200}])"));
    }

    void gsvSetsToLists_data()
    {
        QTest::addColumn<int>("gnssType");
        QTest::addColumn<QList<int>>("systems");
        QTest::addColumn<QJsonArray>("gps");
        QTest::addColumn<QJsonArray>("bds");

        QTest::newRow("all systems with only GPS data empties BDS after GPS")
            << 5 << QList<int>{1, 0} << json(R"([{"prn":3,"cnr":[40],"elv":20,"azi":100}])") << QJsonArray();
        QTest::newRow("one system only") << 0 << QList<int>{1} << json(R"([{"prn":3,"cnr":[40],"elv":20,"azi":100}])")
                                         << QJsonArray();
        QTest::newRow("sentence 3 of 9 in view carries one, of 8 none")
            << 1 << QList<int>{0} << QJsonArray() << json(R"([{"prn":33,"cnr":[0,0,0,25,0,0],"elv":5,"azi":5}])");
        QTest::newRow("GLONASS is never shown") << 2 << QList<int>() << QJsonArray() << QJsonArray();
    }
    void gsvSetsToLists()
    {
        QFETCH(int, gnssType);
        QFETCH(QList<int>, systems);
        QFETCH(QJsonArray, gps);
        QFETCH(QJsonArray, bds);
        SkyvaneManager* m = makeManager(QStringLiteral("FBS"));
        QSignalSpy spy(m, &SkyvaneManager::UpdateStarInfo);

        UM98X::GsvSet sets[4];
        sets[0][1] << gsv(1, 1, 1, 1, {{3, 20, 100, 40}});
        if (QByteArray(QTest::currentDataTag()).startsWith("sentence 3")) {
            sets[0].clear();
            // B3I: sentence 3 of a set of 9 carries satellite 9 only (PRN 33) ...
            sets[1][8] << gsv(3, 3, 9, 8, {{33, 5, 5, 25}, {34, 6, 6, 26}});
            // ... and of a set of 8 nothing (B3A).
            sets[1][10] << gsv(3, 3, 8, 10, {{35, 7, 7, 27}});
        }
        sets[2][1] << gsv(1, 1, 1, 1, {{70, 1, 1, 30}});
        m->um98x_gsvDataChanged(UM98X::SatelliteSystemSymbol(gnssType), sets);

        QCOMPARE(spy.size(), systems.size());
        for (int i = 0; i < systems.size(); ++i) {
            const int s = spy.at(i).at(0).toInt();
            QCOMPARE(s, systems.at(i));
            QCOMPARE(spy.at(i).at(1).toJsonArray(), s == 1 ? gps : bds);
        }
    }

    void ephemerisMapsAreKeptAndAnnounced()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("CPCI"));
        Views views(m);
        stream(gpsEphemeris(12) + gpsEphemeris(5));
        QVERIFY(views.waitFor([&] { return m->gpsEphemerides().size() == 2; }));
        QVERIFY(views.waitFor([&] { return views.ephUpdates.size() == 2; }));
        QCOMPARE(views.ephUpdates, (QList<int>{0, 0}));
        QCOMPARE(m->gpsEphemerides().keys(), (QList<unsigned char>{5, 12}));
        const double toe = m->gpsEphemerides().value(12).toe; // a packed field: read by value
        QCOMPARE(toe, 388800.0);
        QVERIFY(m->bd3Ephemerides().isEmpty());
    }

    void clearAndResendAsksBd3BeforeBdsThenClears()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("CPCI"));
        Views views(m);
        stream(gpsEphemeris(3));
        QVERIFY(views.waitFor([&] { return m->gpsEphemerides().size() == 1; }));

        int mark = m_bench->receivedSoFar();
        m->clearnAndResend(1);
        QVERIFY(m_bench->receiverGot(mark, "BD3EPHA ONCHANGED\r\nBDSEPHA ONCHANGED\r\n"));
        mark = m_bench->receivedSoFar();
        m->clearnAndResend(0);
        QVERIFY(m_bench->receiverGot(mark, "GPSEPHA ONCHANGED\r\n"));
        // The manager keeps its map until the parser reports again; the parser starts afresh.
        QCOMPARE(m->gpsEphemerides().size(), 1);
        m_bench->sim.relay().send(gpsEphemeris(8));
        QVERIFY(views.waitFor([&] { return m->gpsEphemerides().keys() == QList<unsigned char>{8}; }));

        mark = m_bench->receivedSoFar();
        m->clearnAndResend(7);
        m->clearnAndResend(0);
        QVERIFY(m_bench->receiverGot(mark, "GPSEPHA ONCHANGED\r\n"));
    }

    // The output switch: off stops parsing and the relay; on resumes both.
    void outputSwitchStopsAndResumes()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("CPCI"));
        Views views(m);
        stream(nmea("GPGGA,000001.00,0100.0000,N,00100.0000,E,1,5,1.0,1.0,M,1.0,M,,"));
        QVERIFY(views.waitFor([&] { return m->infoRows().value(7) == QLatin1String("5"); }));

        m->dataTransportControl(false);
        QVERIFY(!m->parser()->isParsing());
        QVERIFY(!ReceiverDataTransportManager::Instance()->isListening());

        m_bench->sim.relay().setStream(nmea("GPGGA,000002.00,0100.0000,N,00100.0000,E,1,6,1.0,1.0,M,1.0,M,,"));
        m->dataTransportControl(true);
        QVERIFY(m->parser()->isParsing());
        QVERIFY(views.waitFor([&] { return m->infoRows().value(7) == QLatin1String("6"); }));
    }

    // Bytes that reach the manager from another thread end in lists the GUI thread receives.
    void listsFromTheWorkerReachTheGuiThread()
    {
        SkyvaneManager* m = makeManager(QStringLiteral("LEO"));
        QThread* seen = nullptr;
        QObject context;
        connect(m, &SkyvaneManager::UpdateStarInfo, &context,
                [&](int, QJsonArray) { seen = QThread::currentThread(); });
        std::unique_ptr<QThread> worker(
            QThread::create([m] { m->dataReceived(nmea("EGSVA,0,2,7,45,120,1,1,452,9,30,200,1,1,401")); }));
        worker->start();
        QVERIFY(worker->wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(seen != nullptr, TestTime::ms(10000));
        QCOMPARE(seen, QThread::currentThread());
    }
};

QTEST_MAIN(tst_SkyvaneManager)
#include "tst_SkyvaneManager.moc"
