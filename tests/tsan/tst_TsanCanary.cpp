// A race planted for scripts/tsan, built in ThreadSanitizer builds only. A worker thread and the
// test's thread both emit signals and handle events, and the worker writes a plain member that the
// test's thread then reads with nothing between them. ThreadSanitizer must report it: a build that
// does not orders more than Qt does, and hides races of this kind in our code.

#include <QThread>
#include <QtTest>

#include <atomic>

class CanaryWorker : public QObject
{
    Q_OBJECT
public:
    int unguarded = 0;
    // Relaxed, so that waiting for it orders nothing.
    std::atomic<bool> written{false};
    int idles = 0;

signals:
    void answered();
    void idle();

public slots:
    void answer()
    {
        emit answered();
        // After the emission: its delivery to the test's thread does not order this write.
        unguarded = 42;
        written.store(true, std::memory_order_relaxed);
        emit idle();
    }
};

class CanaryAsker : public QObject
{
    Q_OBJECT
signals:
    void asked();
    void poked();
};

class tst_TsanCanary : public QObject
{
    Q_OBJECT
private slots:
    void plainMemberAcrossThreadsIsReported();
};

void tst_TsanCanary::plainMemberAcrossThreadsIsReported()
{
    QThread thread;
    CanaryWorker worker;
    worker.moveToThread(&thread);
    // The worker's own signal is handled on the worker's thread.
    connect(
        &worker, &CanaryWorker::idle, &worker, [&worker] { ++worker.idles; }, Qt::QueuedConnection);

    CanaryAsker asker;
    int answers = 0;
    int pokes = 0;
    connect(&asker, &CanaryAsker::asked, &worker, &CanaryWorker::answer);
    connect(&worker, &CanaryWorker::answered, &asker, [&answers] { ++answers; });
    connect(
        &asker, &CanaryAsker::poked, &asker, [&pokes] { ++pokes; }, Qt::QueuedConnection);
    thread.start();

    emit asker.asked();
    QTRY_COMPARE(answers, 1);
    QTRY_VERIFY(worker.written.load(std::memory_order_relaxed));
    emit asker.poked();
    QTRY_COMPARE(pokes, 1);
    // The planted race: nothing Qt orders lies between the worker's write and this read.
    QCOMPARE(worker.unguarded, 42);

    thread.quit();
    QVERIFY(thread.wait());
    QCOMPARE(worker.idles, 1);
}

QTEST_GUILESS_MAIN(tst_TsanCanary)
#include "tst_TsanCanary.moc"
