#include <ReceiverSentences.h>

#include <SentenceLoop.h>
#include <UM98X_960Handler.h>

#include <QSignalSpy>
#include <QtTest>

using Ns::Skyvane::SentenceLoop;
using Ns::Skyvane::UM98X_960Handler;

namespace {

// A real sentence (pynmea2's documentation example, checksum accepted by pynmea2).
const QByteArray kGga = "$GPGGA,184353.07,1929.045,S,02410.506,E,1,04,2.6,100.00,M,-33.9,M,,0000*6D\r\n";

// A loop whose handlers log the name and the start of what they were handed, and consume
// up to the first line feed (or wait without one).
struct Probe
{
    SentenceLoop loop;
    QStringList calls;
    std::atomic<bool> parsing{true};

    SentenceLoop::Handler recorder(const QString& tag)
    {
        return [this, tag](const QByteArray& buffer) {
            calls << tag + QLatin1Char(':') + QString::fromLatin1(buffer.left(buffer.indexOf(',')));
            const int lf = buffer.indexOf('\n');
            return lf < 0 ? 0 : lf;
        };
    }
    Probe()
    {
        loop.setCommand("**GGA", 35, recorder("gga"));
        loop.setCommand("**RMC", 35, recorder("rmc"));
        loop.setCommand("GPSEPHA", 35, recorder("gps"));
    }
    void feed(const QByteArray& data) { loop.feed(data, parsing); }
};

} // namespace

class tst_SentenceLoop : public QObject
{
    Q_OBJECT

private slots:
    void cutting_data()
    {
        QTest::addColumn<QByteArrayList>("blocks");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("left");

        const QByteArray longRmc = "$GPRMC,220516,A,5133.82,N,00042.24,W,173.8,231.8,130694,004.2,W*70\r\n";
        QTest::newRow("six bytes wait") << QByteArrayList{"$GPGGA"} << QStringList{} << 6;
        QTest::newRow("no comma waits") << QByteArrayList{"$GPGGA12345678"} << QStringList{} << 14;
        QTest::newRow("stray bytes before sentence") << QByteArrayList{"xy" + kGga} << QStringList{"gga:$GPGGA"} << 0;
        QTest::newRow("no start character drops through comma") << QByteArrayList{"abc,defgh"} << QStringList{} << 5;
        QTest::newRow("unknown name dropped comma by comma")
            << QByteArrayList{"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n" + kGga} << QStringList{"gga:$GPGGA"} << 0;
        QTest::newRow("split below minimum handled once")
            << QByteArrayList{kGga.left(20), kGga.mid(20)} << QStringList{"gga:$GPGGA"} << 0;
        QTest::newRow("three blocks below minimum handled once")
            << QByteArrayList{kGga.left(3), kGga.mid(3, 3), kGga.mid(6, 20), kGga.mid(26)} << QStringList{"gga:$GPGGA"}
            << 0;
        QTest::newRow("two sentences in one block in order")
            << QByteArrayList{longRmc + kGga} << QStringList{"rmc:$GPRMC", "gga:$GPGGA"} << 0;
        QTest::newRow("six-character name matches no five-character key")
            << QByteArrayList{"$GPGGAX,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6*00\r\n" + kGga} << QStringList{"gga:$GPGGA"}
            << 0;
        QTest::newRow("seven-character log name matches its own key")
            << QByteArrayList{"#GPSEPHA,1,2,3,4,5,6,7,8,9;1,2,3,4,5,6*0\r\n"} << QStringList{"gps:#GPSEPHA"} << 0;
        QTest::newRow("talker wildcard takes any talker")
            << QByteArrayList{"$XYGGA,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6*00\r\n"} << QStringList{"gga:$XYGGA"} << 0;
        QTest::newRow("fragment with line end before comma keeps next sentence")
            << QByteArrayList{"$GP\r\n" + kGga} << QStringList{"gga:$GPGGA"} << 0;
        QTest::newRow("lone carriage return keeps the next dollar")
            << QByteArrayList{"$GP\r" + kGga} << QStringList{"gga:$GPGGA"} << 0;
        QTest::newRow("bare hash line keeps the next sentence")
            << QByteArrayList{"#\r\n" + kGga} << QStringList{"gga:$GPGGA"} << 0;
        QTest::newRow("bare hash line ended by a line feed alone keeps the next sentence")
            << QByteArrayList{"#\n" + kGga} << QStringList{"gga:$GPGGA"} << 0;
        QTest::newRow("line feed right after the dollar keeps the next sentence")
            << QByteArrayList{"$\n" + kGga} << QStringList{"gga:$GPGGA"} << 0;
    }
    void cutting()
    {
        QFETCH(QByteArrayList, blocks);
        QFETCH(QStringList, calls);
        QFETCH(int, left);
        Probe probe;
        for (const QByteArray& b : blocks)
            probe.feed(b);
        QCOMPARE(probe.calls, calls);
        QCOMPARE(probe.loop.bufferedBytes(), left);
    }

    void malformedResultDropsThroughFirstComma()
    {
        Probe probe;
        QStringList seen;
        probe.loop.setCommand("**GGA", 35, [&](const QByteArray& b) {
            seen << QString::fromLatin1(b.left(12));
            return -1;
        });
        probe.feed(kGga);
        // Only the sentence's own start; the rest has no '$' and goes comma by comma.
        QCOMPARE(seen, QStringList{"$GPGGA,18435"});
        QCOMPARE(probe.loop.bufferedBytes(), 9); // "0000*6D\r\n" waits for a comma
    }

    void stopEmptiesBufferOnNextCall()
    {
        Probe probe;
        probe.feed(kGga.left(10));
        probe.parsing = false;
        probe.feed(kGga);
        QCOMPARE(probe.calls, QStringList{});
        QCOMPARE(probe.loop.bufferedBytes(), 0);
        probe.parsing = true;
        probe.feed(kGga);
        QCOMPARE(probe.calls, QStringList{"gga:$GPGGA"});
    }

    void restartDropsWaitingHandler()
    {
        // The waiting GGA handler must not be handed the first sentence after a restart.
        UM98X_960Handler parser;
        QSignalSpy rmc(&parser, &UM98X_960Handler::rmcDataChanged);
        QSignalSpy gga(&parser, &UM98X_960Handler::ggaDataChanged);
        parser.ParseData(kGga.left(20));
        parser.StopParse();
        parser.ParseData(QByteArray());
        parser.StartParse();
        parser.ParseData("$GPRMC,220516,A,5133.82,N,00042.24,W,173.8,231.8,130694,004.2,W*70\r\n");
        QCOMPARE(rmc.count(), 1);
        QCOMPARE(gga.count(), 0);
    }

    void stopThenStartWithoutCallKeepsBytes()
    {
        UM98X_960Handler parser;
        QSignalSpy gga(&parser, &UM98X_960Handler::ggaDataChanged);
        parser.ParseData(kGga.left(40));
        parser.StopParse();
        parser.StartParse();
        parser.ParseData(kGga.mid(40));
        QCOMPARE(gga.count(), 1);
    }

    void commaLessNoiseIsBounded()
    {
        Probe probe;
        const QByteArray noise(64 * 1024, 'x');
        for (int i = 0; i < 8; ++i) {
            probe.feed(noise);
            QVERIFY(probe.loop.bufferedBytes() <= SentenceLoop::kMaxNameless);
        }
        probe.feed(noise + kGga.left(4));
        probe.feed(kGga.mid(4));
        QCOMPARE(probe.calls, QStringList{"gga:$GPGGA"});
    }

    void endlessSentenceDoesNotStallParser()
    {
        UM98X_960Handler parser;
        QSignalSpy gga(&parser, &UM98X_960Handler::ggaDataChanged);
        parser.ParseData("$GPGGA,1," + QByteArray(3000, '7'));
        for (int i = 0; i < 4; ++i)
            parser.ParseData(QByteArray(3000, '7'));
        parser.ParseData(kGga);
        QCOMPARE(gga.count(), 1);
    }

    void zeroByteDoesNotStall()
    {
        UM98X_960Handler parser;
        QSignalSpy gga(&parser, &UM98X_960Handler::ggaDataChanged);
        QByteArray broken = kGga;
        broken[20] = '\0';
        parser.ParseData(broken + kGga);
        QCOMPARE(gga.count(), 1);
    }

    void setCommandEntries()
    {
        Probe probe;
        int replaced = 0;
        probe.loop.setCommand("  **GGA ", 40, [&](const QByteArray& b) {
            ++replaced;
            return b.indexOf('\n');
        });
        QCOMPARE(probe.loop.commands().value("**GGA").minLength, 40);
        probe.feed(kGga);
        QCOMPARE(replaced, 1);
        QVERIFY(probe.calls.isEmpty());

        probe.loop.setCommand(" **RMC", 35, SentenceLoop::Handler());
        QVERIFY(!probe.loop.commands().contains("**RMC"));
        probe.loop.setCommand("NOSUCH", 35, SentenceLoop::Handler());
        QVERIFY(!probe.loop.commands().contains("NOSUCH"));
        probe.loop.setCommand(" EXTRA", 10, probe.recorder("x"));
        QVERIFY(probe.loop.commands().contains(" EXTRA"));
    }
};

QTEST_GUILESS_MAIN(tst_SentenceLoop)
#include "tst_SentenceLoop.moc"
