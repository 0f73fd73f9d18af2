#include <HostileSender.h>
#include <InstrumentSim.h>
#include <RecordHandler.h>
#include <SimFrame.h>
#include <TestTime.h>

#include <QRandomGenerator>

#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

namespace {
const QByteArray kHeartbeatRequest = QByteArray::fromHex("CCAABBFF010002000000010101000000"
                                                         "01"
                                                         "8A5C29E1");

QByteArray readFrames(QTcpSocket& s, int count)
{
    QByteArray got;
    int frames = 0;
    // The simulator may live in this thread, so wait in the event loop, not on the socket.
    QSignalSpy ready(&s, &QIODevice::readyRead);
    while (frames < count) {
        if (s.bytesAvailable() == 0 && !ready.wait(5000))
            break;
        got += s.readAll();
        frames = 0;
        int at = 0;
        while (got.size() - at >= 16) {
            const auto* p = reinterpret_cast<const uchar*>(got.constData()) + at + 12;
            const int total = int(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24) + 20;
            if (got.size() - at < total)
                break;
            at += total;
            ++frames;
        }
    }
    return got;
}

// The PC's receive rules, written out here: a front that is not the magic empties the buffer, a
// stated length above 16 MiB empties it, a frame is taken once all its bytes are in.
struct PcReceiver
{
    QByteArray buffer;
    QList<QByteArray> frames;

    void feed(const QByteArray& chunk)
    {
        buffer += chunk;
        for (;;) {
            if (buffer.size() < 4)
                return;
            if (!buffer.startsWith(QByteArray::fromHex("CCAABBFF"))) {
                buffer.clear();
                return;
            }
            if (buffer.size() < 16)
                return;
            const auto* p = reinterpret_cast<const uchar*>(buffer.constData()) + 12;
            const quint32 length = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
            if (length > 16u * 1024 * 1024) {
                buffer.clear();
                return;
            }
            if (quint64(buffer.size()) < quint64(length) + 20)
                return;
            frames << buffer.left(int(length) + 20);
            buffer.remove(0, int(length) + 20);
        }
    }
};
} // namespace

class tst_InstrumentSim : public QObject
{
    Q_OBJECT

private slots:
    void encodesHeartbeatRequestBytes()
    {
        SimFrame f;
        f.type = 1;
        f.cmd = 1;
        f.payload = QByteArray(1, '\x01');
        QCOMPARE(f.encode(), kHeartbeatRequest);
        QCOMPARE(SimFrame::crc("123456789"), 0x0376E6E7u);
    }

    void readerSkipsNoiseAndChecksCrc()
    {
        SimFrameReader reader;
        QByteArray bad = kHeartbeatRequest;
        bad[20] = 0;
        reader.append(QByteArray("zz") + kHeartbeatRequest + bad.left(9));
        SimFrame f;
        QVERIFY(reader.next(f));
        QCOMPARE(reader.skippedBytes(), 2);
        QCOMPARE(int(f.type), 1);
        QCOMPARE(int(f.cmd), 1);
        QCOMPARE(f.payload, QByteArray(1, '\x01'));
        QVERIFY(f.crcGood);
        QVERIFY(!reader.next(f));
        reader.append(bad.mid(9));
        QVERIFY(reader.next(f));
        QVERIFY(!f.crcGood);
    }

    void answersHeartbeatAndLogsRequest()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        sim.profile().sourceId = 5;
        QTcpSocket pc;
        pc.connectToHost(QHostAddress::LocalHost, sim.port());
        QVERIFY(pc.waitForConnected(5000));
        QSignalSpy requests(&sim, &InstrumentSim::requestReceived);
        pc.write(kHeartbeatRequest);
        QVERIFY(requests.wait(5000));
        QCOMPARE(sim.requests().size(), 1);
        QCOMPARE(sim.requests().at(0).payload, QByteArray(1, '\x01'));
        // Accepted, source 5, charging 1, power 80; CRC bytes from crcmod's crc-32-mpeg.
        QCOMPARE(readFrames(pc, 1), QByteArray::fromHex("CCAABBFF010002000000010104000000"
                                                        "01050150"
                                                        "F91C0A82"));
    }

    void withholdsHeartbeatRepliesOnRequest()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        sim.faults().skipHeartbeats = 1;
        QTcpSocket pc;
        pc.connectToHost(QHostAddress::LocalHost, sim.port());
        QVERIFY(pc.waitForConnected(5000));
        QSignalSpy requests(&sim, &InstrumentSim::requestReceived);
        pc.write(kHeartbeatRequest + kHeartbeatRequest);
        while (requests.count() < 2 && requests.wait(5000)) {}
        const QByteArray replies = readFrames(pc, 1);
        QCOMPARE(replies.size(), 24);
        QSignalSpy ready(&pc, &QIODevice::readyRead);
        QVERIFY(!ready.wait(200));
    }

    void sendsOneStateReportBeforeTheNamedReply()
    {
        InstrumentSim sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        sim.faults().stateReportBefore = 1;
        QTcpSocket pc;
        pc.connectToHost(QHostAddress::LocalHost, sim.port());
        QVERIFY(pc.waitForConnected(5000));
        pc.write(kHeartbeatRequest);
        // The idle report (state 1, value 0) unasked, then the heartbeat reply.
        const QByteArray both = readFrames(pc, 2);
        QCOMPARE(both.size(), 25 + 24);
        QCOMPARE(both.mid(8, 8), QByteArray::fromHex("0000010905000000"));
        QCOMPARE(both.mid(16, 5), QByteArray::fromHex("0100000000"));
        QCOMPARE(both.mid(25 + 8, 4), QByteArray::fromHex("00000101"));
        QCOMPARE(int(sim.faults().stateReportBefore), 0);
        pc.write(kHeartbeatRequest);
        QCOMPARE(readFrames(pc, 1).size(), 24);
    }

    // A record-list request lost, its reply repeated or sent empty: the list replies that come
    // before the reply to a heartbeat sent last, by payload size.
    void perKindFaultsActOnTheNextOnes_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QList<int>>("replies");
        const int list = 4 + 8 * 3;
        QTest::newRow("one request lost") << "lose:2:1" << 2 << QList<int>{list};
        QTest::newRow("one reply repeated") << "repeat:2:1" << 2 << QList<int>{list, list, list};
        QTest::newRow("one reply without payload") << "malformed:2:1" << 2 << QList<int>{0, list};
        QTest::newRow("the second reply without payload") << "malformed:2:1:1:1" << 2 << QList<int>{list, 0};
        QTest::newRow("one reply not sent") << "unanswered:2:1" << 2 << QList<int>{list};
        QTest::newRow("a count of 0 changes nothing") << "lose:2:1:0" << 2 << QList<int>{list, list};
        QTest::newRow("replies sent late come after the heartbeat's") << "late:2:1:2000" << 2 << QList<int>{};
        QTest::newRow("requests acted on late are answered after the heartbeat's")
            << "slow:2:1:2000" << 2 << QList<int>{};
    }
    void perKindFaultsActOnTheNextOnes()
    {
        QFETCH(QString, fault);
        QFETCH(int, requests);
        QFETCH(QList<int>, replies);
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        sim.handler<RecordHandler>()->seed(3);
        QVERIFY(!sim.setKindFault(QStringLiteral("drop:2:1")));
        QVERIFY(!sim.setKindFault(QStringLiteral("lose:2")));
        QVERIFY(!sim.setKindFault(QStringLiteral("late:2:1:100:1")));
        QVERIFY(!sim.setKindFault(QStringLiteral("slow:2:1")));
        QVERIFY(sim.setKindFault(fault));
        QTcpSocket pc;
        pc.connectToHost(QHostAddress::LocalHost, sim.port());
        QVERIFY(pc.waitForConnected(5000));
        SimFrame request;
        request.type = 2;
        request.cmd = 1;
        for (int i = 0; i < requests; ++i)
            pc.write(request.encode());
        pc.write(kHeartbeatRequest);
        // Answered in order: once the heartbeat's reply is in, every list reply is.
        SimFrameReader reader;
        QList<int> got;
        QSignalSpy ready(&pc, &QIODevice::readyRead);
        for (bool beat = false; !beat && (pc.bytesAvailable() || ready.wait(5000));) {
            reader.append(pc.readAll());
            SimFrame f;
            while (reader.next(f)) {
                if (f.type == 1)
                    beat = true;
                else if (f.type == 2 && f.cmd == 1)
                    got << f.payload.size();
            }
        }
        QCOMPARE(got, replies);
    }

    void hostileBurstsLeaveThePcReadyForTheNextReply()
    {
        // Whatever the chunks the PC happens to read, after each burst its buffer is empty, so
        // the heartbeat reply that follows is taken whole.
        HostileSender hostile(7);
        hostile.remember(QByteArray::fromHex("CCAABBFF010002000000010104000000"
                                             "01050150"
                                             "F91C0A82"));
        QRandomGenerator chunks(11);
        const QByteArray reply = QByteArray::fromHex("CCAABBFF010002000000010104000000"
                                                     "01050150"
                                                     "F91C0A82");
        PcReceiver pc;
        for (int round = 0; round < 300; ++round) {
            const QByteArray junk = hostile.burst(int(chunks.bounded(1, 40)));
            for (int at = 0; at < junk.size();) {
                const int n = int(chunks.bounded(1, 9000));
                pc.feed(junk.mid(at, n));
                at += n;
            }
            QVERIFY2(pc.buffer.isEmpty(),
                     qPrintable(QStringLiteral("round %1 left %2 bytes").arg(round).arg(pc.buffer.size())));
            pc.frames.clear();
            pc.feed(reply);
            QCOMPARE(pc.frames, QList<QByteArray>{reply});
        }
        QVERIFY(hostile.itemsSent() > 300);
    }

    void hostileModeSendsJunkAfterEachHeartbeatReply()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        sim.profile().sourceId = 5;
        sim.faults().hostile = 25;
        QTcpSocket pc;
        pc.connectToHost(QHostAddress::LocalHost, sim.port());
        QVERIFY(pc.waitForConnected(5000));
        const QByteArray reply = QByteArray::fromHex("CCAABBFF010002000000010104000000"
                                                     "01050150"
                                                     "F91C0A82");
        for (int beat = 1; beat <= 3; ++beat) {
            pc.write(kHeartbeatRequest);
            // The reply first, right as always, then the junk and its filler.
            QByteArray got;
            QSignalSpy ready(&pc, &QIODevice::readyRead);
            while (got.size() < reply.size() + HostileSender::kMaxStated + 20
                   && (pc.bytesAvailable() || ready.wait(5000)))
                got += pc.readAll();
            QVERIFY(got.startsWith(reply));
            QCOMPARE(sim.hostileItemsSent(), 25 * beat);
            while (!got.endsWith(QByteArray(HostileSender::kMaxStated + 20, char(0xFF))) && ready.wait(5000))
                got += pc.readAll();
            QVERIFY(got.size() > reply.size() + HostileSender::kMaxStated + 20);
        }
        sim.faults().hostile = 0;
        pc.write(kHeartbeatRequest);
        QCOMPARE(readFrames(pc, 1), reply);
    }

    void programListensWhereTold()
    {
        QProcess sim;
        sim.start(
            QStringLiteral(KELO_BIN_DIR "/instrument-sim"),
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QStringLiteral("0")});
        sim.setReadChannel(QProcess::StandardError);
        QVERIFY(sim.waitForStarted());
        QByteArray banner;
        while (!banner.contains('\n') && sim.waitForReadyRead(TestTime::ms(5000)))
            banner += sim.readAllStandardError();
        QVERIFY2(banner.startsWith("instrument-sim: listening on 127.0.0.1:"), banner.constData());
        const quint16 port = quint16(banner.mid(banner.lastIndexOf(':') + 1).trimmed().toUInt());
        QVERIFY(port != 0);
        QTcpSocket pc;
        pc.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(pc.waitForConnected(TestTime::ms(5000)));
        pc.write(kHeartbeatRequest);
        QCOMPARE(readFrames(pc, 1).size(), 24);
        sim.kill();
        sim.waitForFinished();
    }

    void programRefusesBadPort()
    {
        QProcess sim;
        sim.start(QStringLiteral(KELO_BIN_DIR "/instrument-sim"), {QStringLiteral("--port"), QStringLiteral("70000")});
        QVERIFY(sim.waitForFinished(TestTime::ms(5000)));
        QCOMPARE(sim.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_InstrumentSim)
#include "tst_InstrumentSim.moc"
