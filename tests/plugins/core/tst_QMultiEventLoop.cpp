#include <QMultiEventLoop.h>

#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <vector>

class tst_QMultiEventLoop : public QObject
{
    Q_OBJECT

private slots:
    void countsFromThreads()
    {
        QMultiEventLoop loop;
        loop.arm(3);
        std::vector<std::unique_ptr<QThread>> threads;
        for (int i = 0; i < 3; ++i) {
            threads.emplace_back(QThread::create([&loop] { loop.countDown(); }));
            threads.back()->start();
        }
        QVERIFY(loop.wait(10000));
        QCOMPARE(loop.pending(), 0);
        QCOMPARE(loop.total(), 3);
        QVERIFY(!loop.isWaiting());
        for (auto& t : threads)
            QVERIFY(t->wait(10000));
    }

    void waitsWhileEventsAreServed()
    {
        QMultiEventLoop loop;
        bool sawWaiting = false;
        int served = 0;
        // Events of this thread keep being handled during the wait, and count down too.
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            sawWaiting = sawWaiting || loop.isWaiting();
            ++served;
            loop.countDown();
        });
        tick.start(1);
        QVERIFY(loop.waitFor(5, 10000));
        tick.stop();
        QVERIFY(sawWaiting);
        // The quit is queued, so a busy machine may let the timer tick again before the wait
        // returns; the promise is only that the wait lasted until the fifth count-down.
        QVERIFY(served >= 5);
        QCOMPARE(loop.pending(), 0);
        QVERIFY(!loop.isWaiting());
    }

    void countsBeforeTheWaitAreKept()
    {
        QMultiEventLoop loop;
        loop.arm(2);
        QThread* t = QThread::create([&loop] {
            loop.countDown();
            loop.countDown();
        });
        t->start();
        QVERIFY(t->wait(10000));
        delete t;
        QCOMPARE(loop.pending(), 0);
        QVERIFY(loop.wait(10000));
    }

    void timeOut()
    {
        QMultiEventLoop loop;
        QVERIFY(!loop.waitFor(1, 20));
        QCOMPARE(loop.pending(), 1);
    }

    void extraCountsAreIgnored()
    {
        QMultiEventLoop loop;
        loop.arm(1);
        loop.countDown();
        loop.countDown();
        QCOMPARE(loop.pending(), 0);
        QVERIFY(loop.wait(10000));
        // The quit left by the first wait does not end the next one early.
        loop.arm(1);
        QTimer::singleShot(10, &loop, [&loop] { loop.countDown(); });
        QVERIFY(loop.wait(10000));
        QCOMPARE(loop.pending(), 0);
        QVERIFY(loop.waitFor(0, 10000));
    }
};

QTEST_GUILESS_MAIN(tst_QMultiEventLoop)
#include "tst_QMultiEventLoop.moc"
