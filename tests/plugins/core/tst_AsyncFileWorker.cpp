#include <AsyncFileWorker.h>
#include <BlockQueue.h>
#include <LocalRecordStore.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <cerrno>
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
        QTest::addColumn<QString>("device");
        // The system's reason, as the person is to read it.
        QTest::addColumn<QString>("reason");
        QTest::newRow("file not open for writing") << false << QString() << QString();
        QTest::newRow("file size limit reached") << true << QString() << QString::fromLocal8Bit(strerror(EFBIG));
        QTest::newRow("disk full") << false << QStringLiteral("/dev/full") << QString::fromLocal8Bit(strerror(ENOSPC));
    }

    void writeErrorSetsFailed()
    {
        QFETCH(bool, fullDisk);
        QFETCH(QString, device);
        QFETCH(QString, reason);
        if (!device.isEmpty() && !QFileInfo(device).isWritable())
            QSKIP("no /dev/full here");
        QTemporaryDir dir;
        const QString path = device.isEmpty() ? dir.filePath("r_0.wdd") : device;
        if (device.isEmpty())
            writeAll(path, QByteArray());
        QFile file(path);
        QVERIFY(fullDisk || !device.isEmpty() ? LocalRecordStore::openDataFile(file, false)
                                              : file.open(QIODevice::ReadOnly));
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
        QVERIFY(!worker.errorString().isEmpty());
        if (!reason.isEmpty())
            QVERIFY2(worker.errorString().contains(reason), qPrintable(worker.errorString()));
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

    void downloadSendsOnlyWhatTheFileHolds()
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
        // Two whole blocks, and the half the file holds of the third: nothing past its end.
        for (int length : {kBlock, kBlock, kBlock / 2}) {
            DataBlock b = queue.tryPop();
            QCOMPARE(b.length, length);
            got += QByteArray(b.data, b.length);
            b.release();
        }
        QCOMPARE(got, content);

        // A file that ends on a block boundary queues no empty block after its last.
        writeAll(path, content.left(2 * kBlock));
        QFile whole(path);
        QVERIFY(LocalRecordStore::openDataFile(whole, false));
        AsyncFileWorker again(AsyncFileWorker::kDownload, &queue, &whole, kBlock);
        again.start();
        QVERIFY(finishes(again));
        QCOMPARE(queue.count(), 2);
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
