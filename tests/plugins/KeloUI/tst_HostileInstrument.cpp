#include <AsanQuarantine.h>
#include <UiTestSupport.h>

#include <ConfigSetting.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <MainWindow.h>
#include <MessageDialog.h>
#include <ProtocolManager.h>
#include <TcpConnect.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include <cstdio>
#include <memory>

#include <unistd.h>

using LinkTest::waitCount;

namespace {
using Code = QPair<int, int>; // message type, command

// Resident memory of this process (host and simulator both live in it), in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

QList<Code> firstRequests(const InstrumentSim& sim)
{
    const QList<Code> sequence{{1, 4}, {1, 12}, {2, 1}, {1, 8}};
    QList<Code> out;
    for (const auto& r : sim.requests()) {
        const Code c(r.type, r.cmd);
        if (sequence.contains(c) && !out.contains(c))
            out << c;
    }
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
    std::unique_ptr<MainWindow> m_window;

    QString text(const char* label) const
    {
        auto* l = m_window->findChild<QLabel*>(QLatin1String(label));
        return l ? l->text() : QStringLiteral("<missing>");
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
        // Whatever a hostile report would ask the user is answered at once.
        DialogSeam::setResponder([](const DialogSeam::Request&) { return DialogSeam::Answer(0); });
        ProtocolManager::instance()->setHeartbeatInterval(250);
        ProtocolManager::instance()->link()->setReconnectInterval(100);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        ProtocolManager::instance()->DisConnectTcp();
        m_sim.reset();
        DialogSeam::setResponder(nullptr);
    }

    void hostSurvivesAndStartsAgain()
    {
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        ConfigSetting::instance()->SetInit("Network", "Port", m_sim->port());
        QVERIFY(startWindow());

        ProtocolManager* pm = ProtocolManager::instance();
        QSignalSpy accepted(pm, &ProtocolManager::HeartBeatMsg);
        QSignalSpy link(pm, &ProtocolManager::NetSuccess);
        m_sim->faults().hostile = 40;
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
            QVERIFY2(waitCount(accepted, before + 1, 10000),
                     qPrintable(QStringLiteral("no heartbeat reply accepted for 10 s at %1 ms").arg(soak.elapsed())));
            longestGapMs = qMax(longestGapMs, int(gap.elapsed()));
            if (warm < 0 && soak.elapsed() > seconds * 250)
                warm = residentBytes();
            peak = qMax(peak, residentBytes());
        }
        m_sim->faults().hostile = 0;
        // The logger swallows Qt's messages, so the figures go straight to the test's output.
        std::fprintf(stderr,
                     "soak: %d s, %d pieces of junk, %d heartbeat replies accepted, longest gap %d ms, "
                     "%d link changes, resident %lld -> %lld KiB\n",
                     seconds, m_sim->hostileItemsSent(), int(accepted.count()), longestGapMs, int(link.count()),
                     warm / 1024, peak / 1024);
        QVERIFY(m_sim->hostileItemsSent() > seconds * 40);
        // Memory stays flat once warm: nothing the junk brings is kept.
        QVERIFY(warm > 0);
        QVERIFY2(peak - warm < 48 * 1024 * 1024,
                 qPrintable(QStringLiteral("grew by %1 KiB").arg((peak - warm) / 1024)));

        // Afterwards the host walks its start-up sequence again, in order, and shows what the
        // instrument reports.
        m_window.reset();
        pm->DisConnectTcp();
        m_sim->clearRequests();
        QVERIFY(startWindow());
        QCOMPARE(firstRequests(*m_sim), (QList<Code>{{1, 4}, {1, 12}, {2, 1}, {1, 8}}));
        QCOMPARE(text("label_SN"), QStringLiteral("KELO-SIM01"));
        QCOMPARE(text("label_global_status"), QStringLiteral("空闲中"));
    }
};

QTEST_MAIN(tst_HostileInstrument)
#include "tst_HostileInstrument.moc"
