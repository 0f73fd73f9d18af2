#include <AsanQuarantine.h>
#include <UiTestSupport.h>

#include <CollectHandler.h>
#include <ConfigSetting.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <MainWindow.h>
#include <MessageDialog.h>
#include <ProtocolManager.h>
#include <SystemLog.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {
// Resident memory of this process in KiB, from the kernel's own count.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Runs the event loop, as an unattended PC does, until `count` reports have come. Counted in
// reports, not in time: a starved or instrumented process that handles fewer in a given time
// would otherwise be measured while the status panel is still filling up.
bool runUntil(const QSignalSpy& reports, int count)
{
    QElapsedTimer clock;
    clock.start();
    // At the simulator's pace (one every 2 ms) that many come in count * 2 ms; three times that,
    // within the program's time-out.
    const qint64 limit = TestTime::ms(count * 6);
    while (reports.count() < count && clock.elapsed() < limit)
        QTest::qWait(200);
    return reports.count() >= count;
}
} // namespace

// An instrument that keeps reporting errors to a PC where nobody answers the messages.
class tst_ChattyInstrument : public QObject
{
    Q_OBJECT

private slots:
    void unansweredErrorReportsLeaveMemoryFlat()
    {
        // The error messages pile up as a user would see them.
        UiTest::RealDialogs real;
        if (residentKiB() < 0)
            QSKIP("no /proc/self/status here");
        TestAppDir app;
        UiTest::stageThemes(app);
        FileLogger::instance();
        InstrumentSim sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkPort, sim.port());
        auto* collect = sim.handler<CollectHandler>();
        QVERIFY(collect);
        // Faster than anyone could read: every 2 ms.
        collect->faults().errorReportEveryMs = 2;

        ProtocolManager* pm = ProtocolManager::instance();
        QSignalSpy reports(pm, &ProtocolManager::ErrorStopMsg);
        MainWindow window;
        QVERIFY(UiTest::waitCount(reports, 100, TestTime::ms(30000)));

        // Warm up past the status panel's line limit, then hold the next 10000 reports to a
        // generous bound.
        QVERIFY(runUntil(reports, SystemLog::kMaxLines + 2500));
        const qint64 before = residentKiB();
        const int reportsBefore = reports.count();
        // The reports keep coming and are handled, not held up behind an open message.
        QVERIFY(runUntil(reports, reportsBefore + 10000));
        const qint64 after = residentKiB();
        qInfo() << "resident KiB" << before << "->" << after << "reports" << reportsBefore << "->" << reports.count();

        QVERIFY(pm->isConnected());
        QCOMPARE(UiTest::visibleWindows(QStringLiteral("MessageDialog")).size(), 1);
        QVERIFY(MessageDialog::waitingCount() <= MessageDialog::kMaxWaiting);
        QVERIFY2(after - before < 24 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(after - before)));

        collect->faults().errorReportEveryMs = 0;
        QSignalSpy down(pm, &ProtocolManager::NetSuccess);
        pm->DisConnectTcp();
        UiTest::waitCount(down, 1);
        for (QWidget* w : UiTest::visibleWindows(QStringLiteral("MessageDialog")))
            w->hide();
        delete window.extendPanel();
        delete window.calibrationWindow();
    }
};

QTEST_MAIN(tst_ChattyInstrument)
#include "tst_ChattyInstrument.moc"
