#include <FileLogger.h>
#include <LocalRecordStore.h>
#include <RecordEx.h>
#include <TcpTransportThread.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <memory>

namespace {
constexpr quint32 kName = 1600000000;
constexpr qint64 kBlock = 2 * 1024 * 1024;

RecordEx record(int sizeMiB, int blockMiB, int cards)
{
    RecordEx r;
    r.SetRecordValue(QStringLiteral("Name"), kName);
    r.SetRecordValue(QStringLiteral("Size"), sizeMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("SingleTransSize"), blockMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("NumOfBoards"), cards);
    r.BuildIndex();
    return r;
}

bool waitFor(QueuedSignalSpy& spy, int status, int timeout = TestTime::ms(10000))
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        for (const auto& args : spy) {
            if (args.at(1).toInt() == status)
                return true;
        }
        if (clock.elapsed() >= timeout)
            return false;
        spy.wait(int(timeout - clock.elapsed()));
    }
}

// A 24-byte block request as a card sends it: header, block number at byte 16, CRC not checked.
QByteArray request(quint32 n)
{
    QByteArray f(24, '\0');
    qToLittleEndian<quint32>(n, reinterpret_cast<uchar*>(f.data()) + 16);
    return f;
}

QByteArray readBytes(QTcpSocket& s, qint64 n)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < n && clock.elapsed() < TestTime::ms(10000)) {
        if (!s.bytesAvailable())
            s.waitForReadyRead(1000);
        out.append(s.read(n - out.size()));
    }
    return out;
}
} // namespace

class tst_TcpTransportThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        FileLogger::instance();
    }
    void init() { TcpTransportThread::setTimeoutForTest(TestTime::ms(TcpTransportThread::kTimeoutMs)); }

    void sizesOfOneCard_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("cards");
        QTest::addColumn<quint32>("blocks");
        QTest::addColumn<quint64>("bytes");
        QTest::newRow("960 MiB in 16 MiB blocks on 3 cards") << 960 << 16 << 3 << 20u << quint64(335544320);
        QTest::newRow("1000 MiB leaves a remainder") << 1000 << 16 << 3 << 20u << quint64(349525333);
        QTest::newRow("no cards") << 1000 << 16 << 0 << 0u << quint64(0);
        QTest::newRow("no block size") << 1000 << 0 << 2 << 0u << quint64(524288000);
    }
    void sizesOfOneCard()
    {
        QFETCH(int, size);
        QFETCH(int, block);
        QFETCH(int, cards);
        QFETCH(quint32, blocks);
        QFETCH(quint64, bytes);
        RecordEx r = record(size, block, cards);
        TcpTransportThread channel(0, 5, QStringLiteral("127.0.0.1"), 0, &r);
        QCOMPARE(channel.blockCount(), blocks);
        QCOMPARE(channel.cardBytes(), bytes);
    }

    void uploadAlreadyCompleteEndsOnConnect()
    {
        // Counters count only what the file holds.
        const QString folder = LocalRecordStore::recordFolderPath(QStringLiteral("DEV"), kName);
        QVERIFY(QDir().mkpath(folder));
        QFile data(folder + QStringLiteral("/%1_0.wdd").arg(kName));
        QVERIFY(data.open(QIODevice::WriteOnly));
        QCOMPARE(data.write(QByteArray(int(2 * kBlock), 'd')), 2 * kBlock);
        data.close();
        RecordEx r = record(4, 2, 1);
        r.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadNum"), 2);
        r.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadSize"), 2 * kBlock);
        TcpTransportThread channel(0, 5, QStringLiteral("127.0.0.1"), 0, &r);
        channel.setDeviceFolder(QStringLiteral("DEV"));
        QueuedSignalSpy status(&channel, &TcpTransportThread::SendStatus);
        QueuedSignalSpy progress(&channel, &TcpTransportThread::SendThreadProgress);
        channel.start();
        QVERIFY(waitFor(status, TcpTransportThread::Listening));
        QTcpSocket card;
        card.connectToHost(QHostAddress::LocalHost, channel.GetPort());
        QVERIFY(waitFor(status, TcpTransportThread::Complete));
        QVERIFY(channel.wait(10000));
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.at(0).at(1).toInt(), 100);
        QVERIFY(QFile::exists(LocalRecordStore::recordFolderPath(QStringLiteral("DEV"), kName)
                              + QStringLiteral("/%1_0.wdd").arg(kName)));
    }

    void secondCardIsTurnedAway()
    {
        RecordEx r = record(4, 2, 1);
        TcpTransportThread channel(0, 5, QStringLiteral("127.0.0.1"), 0, &r);
        channel.setDeviceFolder(QStringLiteral("DEV2"));
        QueuedSignalSpy status(&channel, &TcpTransportThread::SendStatus);
        channel.start();
        QVERIFY(waitFor(status, TcpTransportThread::Listening));
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, channel.GetPort());
        QVERIFY(readBytes(first, 24).size() == 24);
        QTcpSocket second;
        QSignalSpy gone(&second, &QTcpSocket::disconnected);
        second.connectToHost(QHostAddress::LocalHost, channel.GetPort());
        QVERIFY(gone.wait(10000));
        // The first card still moves its two blocks.
        first.write(QByteArray(int(kBlock), 'x'));
        const QByteArray next = readBytes(first, 24);
        QCOMPARE(qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(next.constData()) + 16), 1u);
        first.write(QByteArray(int(kBlock), 'y'));
        QVERIFY(waitFor(status, TcpTransportThread::Complete));
        QVERIFY(channel.wait(10000));
        QCOMPARE(r.getSectionValue("Card0", "UploadNum").toUInt(), 2u);
    }

    void timeOutsOfASilentCard_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("strikes");
        QTest::newRow("upload stops at the first") << 5 << 1;
        QTest::newRow("download waits for the third") << 6 << 3;
    }
    void timeOutsOfASilentCard()
    {
        QFETCH(int, mode);
        QFETCH(int, strikes);
        TcpTransportThread::setTimeoutForTest(TestTime::ms(100));
        const QString folder = LocalRecordStore::recordFolderPath(QStringLiteral("DEV3"), kName);
        QVERIFY(QDir().mkpath(folder));
        QFile data(folder + QStringLiteral("/%1_0.wdd").arg(kName));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.write(QByteArray(int(2 * kBlock), 'd'));
        data.close();
        RecordEx r = record(4, 2, 1);
        TcpTransportThread channel(0, uchar(mode), QStringLiteral("127.0.0.1"), 0, &r);
        channel.setDeviceFolder(QStringLiteral("DEV3"));
        QueuedSignalSpy status(&channel, &TcpTransportThread::SendStatus);
        const QString log = FileLogger::instance()->currentFilePath();
        const int before = QString::fromUtf8([&] {
                               QFile f(log);
                               f.open(QIODevice::ReadOnly);
                               return f.readAll();
                           }())
                               .count(QStringLiteral("传输初始化失败"));
        channel.start();
        QVERIFY(waitFor(status, TcpTransportThread::Listening));
        QTcpSocket card;
        card.connectToHost(QHostAddress::LocalHost, channel.GetPort());
        QVERIFY(waitFor(status, TcpTransportThread::Incomplete));
        QVERIFY(channel.wait(10000));
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).count(QStringLiteral("传输初始化失败")) - before, strikes);
    }

    void downloadFollowsTheCardsRequests()
    {
        const QString folder = LocalRecordStore::recordFolderPath(QStringLiteral("DEV4"), kName);
        QVERIFY(QDir().mkpath(folder));
        QFile data(folder + QStringLiteral("/%1_0.wdd").arg(kName));
        QVERIFY(data.open(QIODevice::WriteOnly));
        for (int i = 0; i < 10; ++i)
            data.write(QByteArray(int(kBlock), char('a' + i)));
        data.close();
        RecordEx r = record(20, 2, 1);
        // Resumed after seven blocks.
        r.setSectionValue(QStringLiteral("Card0"), QStringLiteral("DownloadNum"), 7);
        r.setSectionValue(QStringLiteral("Card0"), QStringLiteral("DownloadSize"), 7 * kBlock);
        r.BuildIndex();
        TcpTransportThread channel(0, 6, QStringLiteral("127.0.0.1"), 0, &r);
        channel.setDeviceFolder(QStringLiteral("DEV4"));
        QueuedSignalSpy status(&channel, &TcpTransportThread::SendStatus);
        channel.start();
        QVERIFY(waitFor(status, TcpTransportThread::Listening));
        QTcpSocket card;
        card.connectToHost(QHostAddress::LocalHost, channel.GetPort());
        QVERIFY(card.waitForConnected(10000));

        // First request for block 7: the file is read from there on.
        card.write(request(7));
        QCOMPARE(readBytes(card, kBlock), QByteArray(int(kBlock), 'h'));
        // The same request again re-sends the held block; a request split over two writes counts.
        const QByteArray again = request(7);
        card.write(again.left(10));
        card.flush();
        card.write(again.mid(10));
        QCOMPARE(readBytes(card, kBlock), QByteArray(int(kBlock), 'h'));
        // A block neither due nor held is not answered.
        card.write(request(2));
        card.write(request(8));
        QCOMPARE(readBytes(card, kBlock), QByteArray(int(kBlock), 'i'));
        card.write(request(9));
        QCOMPARE(readBytes(card, kBlock), QByteArray(int(kBlock), 'j'));
        QCOMPARE(card.bytesAvailable(), 0);
        card.write(request(10));
        // The three blocks of this run were each asked past: the card is complete.
        QVERIFY(waitFor(status, TcpTransportThread::Complete));
        QVERIFY(channel.wait(10000));
        QCOMPARE(r.getSectionValue("Card0", "DownloadNum").toUInt(), 10u);
        QCOMPARE(r.getSectionValue("Card0", "DownloadSize").toLongLong(), 10 * kBlock);
    }

    void bytesAfterALateBlockNeverReachTheFile()
    {
        // Block 1 repeats itself every 64 KiB, as much as the card sent before the time-out: the
        // rest of the first answer and a whole new one begin alike. Block 1 is not asked for
        // again, the channel ends at block 1, and whatever the card sends late lands nowhere.
        TcpTransportThread::setTimeoutForTest(TestTime::ms(1000));
        constexpr int held = 64 * 1024;
        QByteArray unit(held, Qt::Uninitialized);
        for (int i = 0; i < held; ++i)
            unit[i] = char((i * 7 + i / 251) & 0xFF);
        const QByteArray b0(int(kBlock), 'a');
        const QByteArray b1 = unit.repeated(int(kBlock / held));
        const QByteArray b2(int(kBlock), 'c');

        RecordEx r = record(6, 2, 1);
        TcpTransportThread channel(0, 5, QStringLiteral("127.0.0.1"), 0, &r);
        const QString device = QStringLiteral("DEV5");
        channel.setDeviceFolder(device);
        QueuedSignalSpy status(&channel, &TcpTransportThread::SendStatus);
        channel.start();
        QVERIFY(waitFor(status, TcpTransportThread::Listening));
        QTcpSocket card;
        card.connectToHost(QHostAddress::LocalHost, channel.GetPort());
        QCOMPARE(blockAsked(card), 0u);
        card.write(b0);
        QCOMPARE(blockAsked(card), 1u);
        card.write(b1.left(held));
        QVERIFY(waitFor(status, TcpTransportThread::Incomplete));
        QCOMPARE(blockAsked(card, 100), 0xFFFFFFFFu);
        card.write(b1.mid(held));
        card.write(b1);
        card.write(b2);
        card.waitForBytesWritten(1000);
        QVERIFY(channel.wait(10000));
        QFile file(LocalRecordStore::recordFolderPath(device, kName) + QStringLiteral("/%1_0.wdd").arg(kName));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == b0);
        QCOMPARE(r.getSectionValue("Card0", "UploadNum").toUInt(), 1u);
        QCOMPARE(r.getSectionValue("Card0", "UploadSize").toLongLong(), kBlock);
    }

    void theCardsStreamEndsTheUpload_data()
    {
        // A letter is a block of that content the card sends for each request; after the last,
        // "close" closes in order, "quiet" sends nothing more, "+x" sends block x unasked first.
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("then");
        QTest::addColumn<uint>("counted");
        QTest::newRow("closed after the last block") << "abc"
                                                     << "close" << 3u;
        QTest::newRow("quiet after the last block") << "abc"
                                                    << "quiet" << 3u;
        QTest::newRow("equal blocks, closed after the last") << "abbc"
                                                             << "close" << 4u;
        QTest::newRow("last block again, unasked") << "abc"
                                                   << "+c" << 3u;
        QTest::newRow("a block of another record, unasked") << "abc"
                                                            << "+x" << 0u;
        QTest::newRow("block 0 again, unasked") << "abc"
                                                << "+a" << 0u;
    }
    void theCardsStreamEndsTheUpload()
    {
        QFETCH(QString, card);
        QFETCH(QString, then);
        QFETCH(uint, counted);
        // Long enough that a starved channel thread still reads each block in time; the quiet wait
        // after the last block follows it.
        TcpTransportThread::setTimeoutForTest(TestTime::ms(1000));
        const auto blockOf = [](QChar c) {
            QByteArray b(int(kBlock), c.toLatin1());
            b[int(kBlock) / 2] = 'M'; // alike edges everywhere
            return b;
        };
        RecordEx r = record(card.size() * 2, 2, 1);
        TcpTransportThread channel(0, 5, QStringLiteral("127.0.0.1"), 0, &r);
        const QString device = QStringLiteral("DEV6");
        QDir(LocalRecordStore::recordFolderPath(device, kName)).removeRecursively();
        channel.setDeviceFolder(device);
        QueuedSignalSpy status(&channel, &TcpTransportThread::SendStatus);
        QueuedSignalSpy endWait(&channel, &TcpTransportThread::SendEndWait);
        channel.start();
        QVERIFY(waitFor(status, TcpTransportThread::Listening));
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, channel.GetPort());
        for (int n = 0; n < card.size(); ++n) {
            QCOMPARE(blockAsked(socket), uint(n));
            socket.write(blockOf(card.at(n)));
        }
        if (then.startsWith(QLatin1Char('+')))
            socket.write(blockOf(then.at(1)));
        socket.waitForBytesWritten(5000);
        QTRY_COMPARE_WITH_TIMEOUT(endWait.count(), 1, TestTime::ms(10000));
        if (then == QLatin1String("close"))
            socket.disconnectFromHost();
        QVERIFY(waitFor(status,
                        counted == uint(card.size()) ? TcpTransportThread::Complete : TcpTransportThread::Incomplete));
        QVERIFY(channel.wait(10000));
        QCOMPARE(r.getSectionValue("Card0", "UploadNum").toUInt(), counted);
        // Every block that stays has its fingerprint kept beside the data, as written.
        const QString data = LocalRecordStore::recordFolderPath(device, kName) + QStringLiteral("/%1_0.wdd").arg(kName);
        QVector<quint64> fingerprints;
        if (counted > 0)
            QVERIFY(LocalRecordStore::readFingerprintFile(TcpTransportThread::fingerprintFilePath(data), kName, 0,
                                                          kBlock, counted, &fingerprints));
        for (uint n = 0; n < counted; ++n) {
            const QByteArray b = blockOf(card.at(int(n)));
            QCOMPARE(fingerprints.at(int(n)), UploadProof::fingerprint(b.constData(), b.size()));
        }
        TcpTransportThread::setTimeoutForTest(TestTime::ms(TcpTransportThread::kTimeoutMs));
    }

private:
    static quint32 blockAsked(QTcpSocket& card, int timeout = TestTime::ms(10000))
    {
        QElapsedTimer clock;
        clock.start();
        while (card.bytesAvailable() < 24 && clock.elapsed() < timeout)
            card.waitForReadyRead(int(timeout - clock.elapsed()));
        const QByteArray frame = card.read(24);
        return frame.size() == 24 ? qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(frame.constData()) + 16)
                                  : 0xFFFFFFFFu;
    }

    std::unique_ptr<TestAppDir> m_app;
};

QTEST_GUILESS_MAIN(tst_TcpTransportThread)
#include "tst_TcpTransportThread.moc"
