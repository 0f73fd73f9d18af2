#include <BlockQueue.h>

#include <QThread>
#include <QtTest>

#include <cstring>

namespace {
DataBlock numbered(int n)
{
    DataBlock b = DataBlock::allocate(int(sizeof n));
    std::memcpy(b.data, &n, sizeof n);
    return b;
}

int numberOf(const DataBlock& b)
{
    int n = -1;
    std::memcpy(&n, b.data, sizeof n);
    return n;
}
} // namespace

class tst_BlockQueue : public QObject
{
    Q_OBJECT

private slots:
    void capacityFor_data()
    {
        QTest::addColumn<int>("blockMiB");
        QTest::addColumn<int>("cards");
        QTest::addColumn<int>("capacity");
        QTest::newRow("16 MiB over 4 cards") << 16 << 4 << 16;
        QTest::newRow("2 MiB on one card") << 2 << 1 << 512;
        QTest::newRow("2 MiB over 3 cards rounds down") << 2 << 3 << 170;
        QTest::newRow("block over 1 GiB still holds one") << 2048 << 1 << 1;
        QTest::newRow("zero block size") << 0 << 2 << 1;
        QTest::newRow("zero cards") << 2 << 0 << 512;
        QTest::newRow("many cards") << 2 << 1000 << 1;
    }

    void capacityFor()
    {
        QFETCH(int, blockMiB);
        QFETCH(int, cards);
        QFETCH(int, capacity);
        QCOMPARE(BlockQueue::capacityFor(blockMiB, cards), capacity);
    }

    void orderAndBound()
    {
        BlockQueue q(3);
        QVERIFY(q.isEmpty());
        QVERIFY(q.tryPop().isNull());
        for (int i = 0; i < 3; ++i)
            QVERIFY(q.tryPush(numbered(i)));
        QCOMPARE(q.count(), 3);

        DataBlock refused = numbered(99);
        QVERIFY(!q.tryPush(refused));
        QCOMPARE(numberOf(refused), 99); // still the caller's
        refused.release();
        QVERIFY(!q.waitForRoom(0));

        for (int i = 0; i < 3; ++i) {
            DataBlock b = q.tryPop();
            QCOMPARE(numberOf(b), i);
            QCOMPARE(b.length, int(sizeof(int)));
            b.release();
        }
        QVERIFY(q.isEmpty());
        QVERIFY(q.waitForRoom(0));
        QVERIFY(!q.waitForBlock(0));
    }

    void clearStopsTheQueue()
    {
        BlockQueue q(4);
        QVERIFY(q.tryPush(DataBlock::allocate(1024)));
        QVERIFY(q.tryPush(DataBlock::allocate(1024)));
        q.clear(); // frees both blocks (the sanitizer build checks for leaks)
        QVERIFY(q.isStopped());
        QCOMPARE(q.count(), 0);
        DataBlock b = DataBlock::allocate(8);
        QVERIFY(!q.tryPush(b));
        b.release();
        QVERIFY(q.tryPop().isNull());
        QVERIFY(!q.waitForBlock(1000)); // returns at once on a stopped queue
    }

    void blocksHeldAtDestructionAreFreed()
    {
        auto* q = new BlockQueue(2);
        QVERIFY(q->tryPush(DataBlock::allocate(4096)));
        delete q;
    }

    void producerAndConsumerThreads()
    {
        const int total = 20000;
        BlockQueue q(4);
        QThread* producer = QThread::create([&] {
            for (int i = 0; i < total; ++i) {
                DataBlock b = numbered(i);
                while (!q.tryPush(b))
                    q.waitForRoom(50);
            }
        });
        producer->start();
        int expected = 0;
        bool inOrder = true;
        int maxSeen = 0;
        while (expected < total) {
            maxSeen = qMax(maxSeen, q.count());
            DataBlock b = q.tryPop();
            if (b.isNull()) {
                q.waitForBlock(50);
                continue;
            }
            inOrder = inOrder && numberOf(b) == expected;
            ++expected;
            b.release();
        }
        QVERIFY(producer->wait(10000));
        delete producer;
        QVERIFY(inOrder);
        QVERIFY(maxSeen <= 4);
        QVERIFY(q.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_BlockQueue)
#include "tst_BlockQueue.moc"
