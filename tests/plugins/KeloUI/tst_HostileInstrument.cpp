#include <AsanQuarantine.h>
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
#include <UnaskedReplies.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <cstdio>
#include <memory>

#include <unistd.h>

using LinkTest::waitCount;

namespace {
// Resident memory of this process (host and simulator both live in it), in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

QByteArray configBytes()
{
    ConfigSetting::instance()->sync();
    QFile file(ConfigSetting::instance()->configPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// What the PC holds of the instrument: capabilities, values, bands, bit widths and records.
QString deviceAndRecords()
{
    QString out;
    for (const auto& f : DeviceCapabilities::featureFlags())
        out += f.key + (f.enabled ? "=1 " : "=0 ");
    for (const auto& v : DeviceCapabilities::deviceValues())
        out += v.key + '=' + v.value.toString() + ' ';
    ProtocolManager* pm = ProtocolManager::instance();
    for (auto it = pm->freqBands.cbegin(); it != pm->freqBands.cend(); ++it)
        out += QStringLiteral("band%1=%2 ").arg(it.key()).arg(it->name);
    for (const QString& name : pm->bitNames)
        out += name + ' ';
    for (const RecordEx& r : RecordAssist::instance()->Records)
        out += r.RecordValue(RecordKey::Name).toString() + ' ';
    return out;
}

int soakSeconds()
{
    const int fromEnvironment = qEnvironmentVariableIntValue("KELO_SOAK_SECONDS");
    return fromEnvironment > 0 ? fromEnvironment : 20;
}
} // namespace

// The host against an instrument that, while it answers every heartbeat right, floods the link
// with random and mutated frames of every type. About 20 s here; KELO_SOAK_SECONDS for longer.
class tst_HostileInstrument : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    UiTest::RealDialogs m_real; // what the junk reports stays on screen, unanswered
    std::unique_ptr<MainWindow> m_window;

    QString text(const char* label) const
    {
        auto* l = m_window->findChild<QLabel*>(QLatin1String(label));
        return l ? l->text() : QStringLiteral("<missing>");
    }

    bool ensureWindow()
    {
        if (m_window)
            return true;
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        m_sim->handler<RecordHandler>(2)->seed(2);
        if (!m_sim->listen(QHostAddress::LocalHost, 0))
            return false;
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkPort, m_sim->port());
        return startWindow();
    }

    // A main window that has walked its start-up sequence against the simulator.
    bool startWindow()
    {
        QSignalSpy state(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceState);
        m_window = std::make_unique<MainWindow>();
        return waitCount(state, 1);
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        UiTest::stageThemes(*m_app);
        FileLogger::instance();
        ProtocolManager::instance()->setHeartbeatInterval(TestTime::ms(250));
        ProtocolManager::instance()->link()->setReconnectInterval(TestTime::ms(100));
    }

    void cleanupTestCase()
    {
        m_window.reset();
        ProtocolManager::instance()->DisConnectTcp();
        m_sim.reset();
        DialogSeam::setResponder(nullptr);
    }

    // Each kind of reply the PC parses, sent once while nobody asked for it and the PC is idle.
    // "kept" ones act whoever asked; "dropped" ones are logged and change nothing (a collection or
    // playback result only makes the PC ask the instrument's state); "refetched" ones (the records
    // changed) make the PC ask for the record list again.
    void unaskedReplyActsOnlyAsItShould_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("messages");
        const QStringList kept{"heartbeat reply",    "extended heartbeat reply",
                               "time request",       "device information",
                               "disk volume",        "progress",
                               "device state",       "state report",
                               "custom bands",       "terminal error",
                               "attenuation result", "error stop"};
        const QStringList refetched{"delete-all result", "delete result", "note change result"};
        InstrumentSim sim(InstrumentSim::Preset::Test);
        const auto replies = UnaskedReplies::all(sim);
        for (int i = 0; i < replies.size(); ++i) {
            const QString name = replies.at(i).name;
            const int state = 1;
            QTest::newRow(qPrintable(name)) << i
                                            << QString(kept.contains(name)        ? "kept"
                                                       : refetched.contains(name) ? "refetched"
                                                                                  : "dropped")
                                            << state << (name == "error stop" ? 1 : 0);
        }
    }
    void unaskedReplyActsOnlyAsItShould()
    {
        QFETCH(int, index);
        QFETCH(QString, outcome);
        QFETCH(int, state);
        QFETCH(int, messages);
        QVERIFY(ensureWindow());
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        QVERIFY(UiTest::waitQuiet(*m_sim));
        const QByteArray config = configBytes();
        const QString held = deviceAndRecords();
        UiTest::DialogRecorder dialogs;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy beat(ProtocolManager::instance(), &ProtocolManager::HeartBeatMsg);
        m_sim->clearRequests();
        const UnaskedReplies::Reply reply = UnaskedReplies::all(*m_sim).at(index);
        m_sim->sendReport(reply.type, reply.cmd, reply.payload);
        // Replies are handled in order: the heartbeat replies after it find it handled.
        QVERIFY(UiTest::waitCount(beat, 2));
        if (outcome == "refetched")
            QVERIFY(UiTest::waitQuiet(*m_sim));

        QCOMPARE(configBytes(), config);
        QCOMPARE(deviceAndRecords(), held);
        QCOMPARE(int(RunStatus::CurrentStatus()), state);
        // Nothing modal; a kept report may queue a message.
        QCOMPARE(dialogs.requests.size(), messages);
        QCOMPARE(dialogs.of(DialogSeam::Request::Show).size(), messages);
        const QString kind = QStringLiteral("[类型:%1][指令:%2]").arg(reply.type).arg(reply.cmd);
        QString seen = "kept";
        for (const auto& args : log) {
            const QString line = args.at(1).toString();
            if (line.contains(QStringLiteral("收到未请求的设备应答")) && line.contains(kind))
                seen = "dropped";
            else if (line.contains(QStringLiteral("收到未请求的记录变更")) && line.contains(kind))
                seen = "refetched";
        }
        QCOMPARE(seen, outcome);
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::RecordList).isEmpty(),
                 outcome != "refetched");
    }

    // Left open as a user away from the desk would leave them: no one answers the dialogs.
    void hostSurvivesAndStartsAgain()
    {
        QVERIFY(ensureWindow());

        ProtocolManager* pm = ProtocolManager::instance();
        QSignalSpy accepted(pm, &ProtocolManager::HeartBeatMsg);
        QSignalSpy link(pm, &ProtocolManager::NetSuccess);
        const QByteArray config = configBytes();
        m_sim->faults().hostile = 40;
        m_sim->faults().unasked = 10;
        const int seconds = soakSeconds();
        QElapsedTimer soak;
        soak.start();
        qint64 warm = -1;
        qint64 peak = 0;
        int longestGapMs = 0;
        while (soak.elapsed() < seconds * 1000) {
            // The host keeps its heartbeat: accepted replies keep coming, a reconnection included.
            QElapsedTimer gap;
            gap.start();
            const int before = accepted.count();
            QVERIFY2(waitCount(accepted, before + 1, TestTime::ms(10000)),
                     qPrintable(QStringLiteral("no heartbeat reply accepted for 10 s at %1 ms").arg(soak.elapsed())));
            longestGapMs = qMax(longestGapMs, int(gap.elapsed()));
            if (warm < 0 && soak.elapsed() > seconds * 500)
                warm = residentBytes();
            peak = qMax(peak, residentBytes());
        }
        m_sim->faults().hostile = 0;
        m_sim->faults().unasked = 0;
        // Two heartbeat replies more, and whatever came before them has been handled too.
        QVERIFY(waitCount(accepted, accepted.count() + 2));
        // The logger swallows Qt's messages, so the figures go straight to the test's output.
        std::fprintf(stderr,
                     "soak: %d s, %d pieces of junk, %d unasked replies, %d heartbeat replies accepted, "
                     "longest gap %d ms, %d link changes, %d messages waiting, resident at half time %lld -> "
                     "peak %lld KiB\n",
                     seconds, m_sim->hostileItemsSent(), m_sim->unaskedSent(), int(accepted.count()), longestGapMs,
                     int(link.count()), MessageDialog::waitingCount(), warm / 1024, peak / 1024);
        QVERIFY(m_sim->hostileItemsSent() > seconds * 40);
        QVERIFY(m_sim->unaskedSent() > seconds * 10);
        QCOMPARE(configBytes(), config);
        // Memory stays flat over the second half: nothing the junk or the replies bring is kept.
        QVERIFY(warm > 0);
        QVERIFY2(peak - warm < 48 * 1024 * 1024,
                 qPrintable(QStringLiteral("grew by %1 KiB").arg((peak - warm) / 1024)));

        // Afterwards the host walks its start-up sequence again, in order, and shows what the
        // instrument reports.
        QSignalSpy gone(m_sim.get(), &InstrumentSim::clientDisconnected);
        m_window.reset();
        pm->DisConnectTcp();
        // What the old link still carried reaches the instrument before it sees the close.
        QVERIFY(waitCount(gone, 1));
        m_sim->clearRequests();
        QVERIFY(startWindow());
        QCOMPARE(UiTest::firstRequests(*m_sim), (QList<UiTest::Code>{UiTest::kDeviceInfo, UiTest::kDevConfig,
                                                                     UiTest::kRecordList, UiTest::kDeviceState}));
        QCOMPARE(text("label_SN"), QStringLiteral("KELO-SIM01"));
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
    }
};

QTEST_MAIN(tst_HostileInstrument)
#include "tst_HostileInstrument.moc"
