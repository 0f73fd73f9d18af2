#include <RunStatus.h>
#include <TestTime.h>

#include <QTimer>
#include <QtTest>
#include <QueuedSignalSpy.h>

namespace {
constexpr int kRevertMs = 40;

// Runs the event loop until a timer well behind any revert timer started before it has fired;
// timers of one thread fire in the order they fall due, so every earlier revert has run.
void drainReverts()
{
    QTimer marker;
    marker.setSingleShot(true);
    QSignalSpy fired(&marker, &QTimer::timeout);
    marker.start(TestTime::ms(kRevertMs) * 5);
    QVERIFY(fired.wait(TestTime::ms(5000)));
}

QList<int> states(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out << int(args.at(0).value<SystemState>());
    return out;
}
} // namespace

class tst_RunStatus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        RunStatus::instance()->setRevertDelayForTest(TestTime::ms(kRevertMs));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QCOMPARE(RunStatus::instance()->LastStatus(), SystemState::Idle);
    }

    void init()
    {
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        drainReverts();
    }

    void realChangeAnnouncedOnce()
    {
        RunStatus* rs = RunStatus::instance();
        QSignalSpy spy(rs, &RunStatus::GlobalChangeState);
        rs->slot_GlobalStatus(SystemState::Collecting);
        QCOMPARE(states(spy), QList<int>{2});
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
        QCOMPARE(rs->LastStatus(), SystemState::Idle);

        rs->slot_GlobalStatus(SystemState::Collecting);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(rs->LastStatus(), SystemState::Idle);

        rs->slot_GlobalStatus(SystemState::Error);
        QCOMPARE(states(spy), (QList<int>{2, 0}));
        QCOMPARE(rs->LastStatus(), SystemState::Collecting);
    }

    void deviceReport_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("reported");
        QTest::addColumn<QList<int>>("announced");
        QTest::newRow("same state emits nothing") << 3 << 3 << QList<int>{};
        QTest::newRow("new state announced") << 1 << 4 << QList<int>{4};
        QTest::newRow("unlisted state passes through") << 1 << 9 << QList<int>{9};
    }
    void deviceReport()
    {
        QFETCH(int, before);
        QFETCH(int, reported);
        QFETCH(QList<int>, announced);
        RunStatus* rs = RunStatus::instance();
        rs->slot_GlobalStatus(SystemState(before));
        QSignalSpy spy(rs, &RunStatus::GlobalChangeState);
        SyncDeviceState report;
        report.State = quint8(reported);
        report.Value = 77;
        rs->slot_SyncDeviceState(report);
        QCOMPARE(states(spy), announced);
        QCOMPARE(int(RunStatus::CurrentStatus()), reported);
    }

    void temporaryStateReverts()
    {
        RunStatus* rs = RunStatus::instance();
        const SystemState last = rs->LastStatus();
        QSignalSpy spy(rs, &RunStatus::GlobalChangeState);
        rs->slot_RunStateChange(SystemState::Uploading);
        QCOMPARE(spy.size(), 0);
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QVERIFY(spy.wait(5000));
        QCOMPARE(states(spy), QList<int>{1});
        drainReverts();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(rs->LastStatus(), last); // a revert is no change
    }

    void temporaryStateWithoutRevert_data()
    {
        QTest::addColumn<QList<int>>("temporary");
        QTest::addColumn<int>("realChange");
        QTest::addColumn<QList<int>>("announced");
        QTest::newRow("temporary equals current") << QList<int>{1} << -1 << QList<int>{};
        QTest::newRow("second call replaces the first") << QList<int>{5, 1} << -1 << QList<int>{};
        QTest::newRow("real change catches up") << QList<int>{6} << 6 << QList<int>{6};
        QTest::newRow("two temporaries, two reverts") << QList<int>{5, 6} << -1 << QList<int>{1, 1};
    }
    void temporaryStateWithoutRevert()
    {
        QFETCH(QList<int>, temporary);
        QFETCH(int, realChange);
        QFETCH(QList<int>, announced);
        RunStatus* rs = RunStatus::instance();
        QSignalSpy spy(rs, &RunStatus::GlobalChangeState);
        for (int s : temporary)
            rs->slot_RunStateChange(SystemState(s));
        if (realChange >= 0)
            rs->slot_GlobalStatus(SystemState(realChange));
        drainReverts();
        QCOMPARE(states(spy), announced);
    }

    void resetAlwaysAnnounces()
    {
        RunStatus* rs = RunStatus::instance();
        QSignalSpy spy(rs, &RunStatus::GlobalChangeState);
        rs->ResetSystemState();
        QCOMPARE(states(spy), QList<int>{1});

        rs->slot_GlobalStatus(SystemState::Playback);
        rs->ResetSystemState();
        QCOMPARE(states(spy), (QList<int>{1, 3, 1}));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QCOMPARE(rs->LastStatus(), SystemState::Idle); // a reset is not a change of the last state
    }

    void queuedAcrossThreads()
    {
        // Pages in other threads listen through queued connections; the types must travel.
        RunStatus* rs = RunStatus::instance();
        QObject receiver;
        QList<int> seen;
        QThread thread;
        receiver.moveToThread(&thread);
        connect(
            rs, &RunStatus::GlobalChangeState, &receiver, [&seen](SystemState s) { seen << int(s); },
            Qt::QueuedConnection);
        QueuedSignalSpy done(&thread, &QThread::finished);
        thread.start();
        rs->slot_GlobalStatus(SystemState::Downloading);
        QMetaObject::invokeMethod(
            &receiver, [&thread] { thread.quit(); }, Qt::QueuedConnection);
        QVERIFY(done.wait(5000));
        QCOMPARE(seen, QList<int>{6});
    }
};

QTEST_GUILESS_MAIN(tst_RunStatus)
#include "tst_RunStatus.moc"
