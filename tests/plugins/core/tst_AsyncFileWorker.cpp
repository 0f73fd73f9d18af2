#include <AsyncFileWorker.h>
#include <BlockQueue.h>
#include <LocalRecordStore.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {
const int kBlock = 4096;

DataBlock filled(char c, int length = kBlock)
{
    DataBlock b = DataBlock::allocate(length);
    std::memset(b.data, c, size_t(length));
    return b;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), qint64(data.size()));
}

bool finishes(AsyncFileWorker& worker)
{
    return worker.wait(20000);
}
} // namespace

class tst_AsyncFileWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }

    void uploadWritesInOrder()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("r_0.wdd"));
        QVERIFY(LocalRecordStore::openDataFile(file, true));
        BlockQueue queue(2);
        AsyncFileWorker worker(AsyncFileWorker::kUpload, &queue, &file, kBlock);
        worker.start();
        QByteArray expected;
        for (int i = 0; i < 50; ++i) {
            DataBlock b = filled(char('a' + i % 26));
            while (!queue.tryPush(b))
                queue.waitForRoom(50);
            expected += QByteArray(kBlock, char('a' + i % 26));
        }
        worker.requestFinish();
        QVERIFY(finishes(worker));
        QVERIFY(!worker.hasFailed());
        QVERIFY(!worker.isRunning());
        file.close();
        QCOMPARE(readAll(file.fileName()), expected);
    }

    void finishDrainsTheQueue()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("r_0.wdd"));
        QVERIFY(LocalRecordStore::openDataFile(file, true));
        BlockQueue queue(8);
        for (char c : {'x', 'y', 'z'})
            QVERIFY(queue.tryPush(filled(c)));
        AsyncFileWorker worker(AsyncFileWorker::kUpload, &queue, &file, kBlock);
        worker.requestFinish(); // before it even started: everything queued still goes to disk
        worker.start();
        QVERIFY(finishes(worker));
        QVERIFY(queue.isEmpty());
        QCOMPARE(file.size(), qint64(3 * kBlock));
        file.close();
        QCOMPARE(readAll(file.fileName()), QByteArray(kBlock, 'x') + QByteArray(kBlock, 'y') + QByteArray(kBlock, 'z'));
    }

    void resumedWriteLandsAtItsBlock()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("r_0.wdd");
        writeAll(path, QByteArray(4 * kBlock, 'A'));
        QFile file(path);
        QVERIFY(LocalRecordStore::openDataFile(file, false));
        QVERIFY(file.seek(1 * kBlock)); // resume at block 1 of a longer file
        BlockQueue queue(4);
        QVERIFY(queue.tryPush(filled('B')));
        AsyncFileWorker worker(AsyncFileWorker::kUpload, &queue, &file, kBlock);
        worker.requestFinish();
        worker.start();
        QVERIFY(finishes(worker));
        file.close();
        QCOMPARE(readAll(path), QByteArray(kBlock, 'A') + QByteArray(kBlock, 'B') + QByteArray(2 * kBlock, 'A'));
    }

    void writeErrorSetsFailed_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("file not open for writing") << false;
        QTest::newRow("file size limit reached") << true;
    }

    void writeErrorSetsFailed()
    {
        QFETCH(bool, fullDisk);
        QTemporaryDir dir;
        const QString path = dir.filePath("r_0.wdd");
        writeAll(path, QByteArray());
        QFile file(path);
        QVERIFY(fullDisk ? LocalRecordStore::openDataFile(file, false) : file.open(QIODevice::ReadOnly));
        BlockQueue queue(8);
        for (int i = 0; i < 4; ++i)
            QVERIFY(queue.tryPush(filled('q', 64 * 1024)));

        struct rlimit old
        {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        if (fullDisk) {
            struct rlimit small = old;
            small.rlim_cur = 100 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        AsyncFileWorker worker(AsyncFileWorker::kUpload, &queue, &file, 64 * 1024);
        worker.start();
        const bool ended = finishes(worker);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);

        QVERIFY(ended); // ended by itself, without requestFinish
        QVERIFY(worker.hasFailed());
        QVERIFY(!worker.isRunning());
    }

    void stopEndsAnIdleUpload()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("r_0.wdd"));
        QVERIFY(LocalRecordStore::openDataFile(file, true));
        BlockQueue queue(2);
        AsyncFileWorker worker(AsyncFileWorker::kUpload, &queue, &file, kBlock);
        QueuedSignalSpy started(&worker, &QThread::started);
        worker.start();
        QVERIFY(started.count() == 1 || started.wait(20000));
        worker.requestStop();
        QVERIFY(finishes(worker));
        QVERIFY(!worker.hasFailed());

        // A stop that comes before the thread runs is kept.
        AsyncFileWorker early(AsyncFileWorker::kUpload, &queue, &file, kBlock);
        early.requestStop();
        early.start();
        QVERIFY(finishes(early));
        QVERIFY(!early.isRunning());
    }

    void downloadReadsFullBlocks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("r_0.wdd");
        QByteArray content;
        for (int i = 0; i < 5 * kBlock / 2; ++i)
            content += char(i % 251);
        writeAll(path, content);
        QFile file(path);
        QVERIFY(LocalRecordStore::openDataFile(file, false));
        BlockQueue queue(8);
        // Blocks the channel has sent come back to be read into again: no byte of theirs may
        // reach the card past the end of the file.
        for (int i = 0; i < 3; ++i)
            queue.recycle(filled('x'));
        AsyncFileWorker worker(AsyncFileWorker::kDownload, &queue, &file, kBlock);
        worker.start();
        QVERIFY(finishes(worker)); // ends at the end of the file by itself
        QVERIFY(!worker.hasFailed());
        QCOMPARE(queue.count(), 3);
        QByteArray got;
        for (int i = 0; i < 3; ++i) {
            DataBlock b = queue.tryPop();
            QCOMPARE(b.length, kBlock);
            got += QByteArray(b.data, b.length);
            b.release();
        }
        QCOMPARE(got.left(content.size()), content);
        QCOMPARE(got.mid(content.size()), QByteArray(kBlock / 2, '\0'));
    }

    void downloadFromAPosition()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("r_0.wdd");
        writeAll(path, QByteArray(kBlock, '0') + QByteArray(kBlock, '1') + QByteArray(kBlock, '2'));
        QFile file(path);
        QVERIFY(LocalRecordStore::openDataFile(file, false));
        QVERIFY(file.seek(kBlock));
        BlockQueue queue(8);
        AsyncFileWorker worker(AsyncFileWorker::kDownload, &queue, &file, kBlock);
        worker.start();
        QVERIFY(finishes(worker));
        QCOMPARE(queue.count(), 2);
        DataBlock b = queue.tryPop();
        QCOMPARE(QByteArray(b.data, b.length), QByteArray(kBlock, '1'));
        b.release();
    }

    void downloadStopsWhileTheQueueIsFull()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("r_0.wdd");
        writeAll(path, QByteArray(10 * kBlock, 'd'));
        QFile file(path);
        QVERIFY(LocalRecordStore::openDataFile(file, false));
        BlockQueue queue(1);
        AsyncFileWorker worker(AsyncFileWorker::kDownload, &queue, &file, kBlock);
        worker.start();
        // The first block fills the queue; the worker then holds the second one.
        while (queue.count() < 1)
            queue.waitForBlock(50);
        DataBlock first = queue.tryPop();
        QCOMPARE(first.length, kBlock);
        first.release();
        while (queue.count() < 1)
            queue.waitForBlock(50);
        worker.requestStop();
        QVERIFY(finishes(worker)); // the block it could not queue is freed, not leaked
        QVERIFY(!worker.hasFailed());
        QCOMPARE(queue.count(), 1);
    }

    void readErrorSetsFailed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("r_0.wdd");
        writeAll(path, QByteArray(kBlock, 'r'));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append));
        BlockQueue queue(4);
        AsyncFileWorker worker(AsyncFileWorker::kDownload, &queue, &file, kBlock);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("read"));
        worker.start();
        QVERIFY(finishes(worker));
        QVERIFY(worker.hasFailed());
        QVERIFY(queue.isEmpty());
    }

    void unusableSetUpFails_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<qint64>("blockBytes");
        QTest::newRow("zero block size") << int(AsyncFileWorker::kUpload) << qint64(0);
        QTest::newRow("block size beyond one allocation") << int(AsyncFileWorker::kDownload) << (qint64(4) << 30);
        QTest::newRow("unknown mode") << 7 << qint64(kBlock);
    }

    void unusableSetUpFails()
    {
        QFETCH(int, mode);
        QFETCH(qint64, blockBytes);
        QTemporaryDir dir;
        QFile file(dir.filePath("r_0.wdd"));
        QVERIFY(LocalRecordStore::openDataFile(file, true));
        BlockQueue queue(4);
        AsyncFileWorker worker(mode, &queue, &file, blockBytes);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*"));
        worker.start();
        QVERIFY(finishes(worker));
        QVERIFY(worker.hasFailed());
    }
};

QTEST_GUILESS_MAIN(tst_AsyncFileWorker)
#include "tst_AsyncFileWorker.moc"
