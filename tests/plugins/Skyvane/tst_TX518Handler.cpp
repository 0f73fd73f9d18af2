#include <ReceiverSentences.h>

#include <TX518Handler.h>

#include <QSignalSpy>
#include <QtTest>

using Ns::Skyvane::TX518Handler;
using T = TX518Handler;

namespace {

const QByteArray kGgaBody = "GGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,";

struct Sats
{
    int prn;
    int cn0;
};

// Every EGSVA emission: the system and, per system, signal -> (prn, cn0) list.
struct Recorder
{
    QList<int> systems;
    QList<QVector<QMap<int, QList<Sats>>>> maps;
    QList<int> ggaSystems;
    QList<QList<T::GSV>> gsv;

    explicit Recorder(T& parser)
    {
        QObject::connect(&parser, &T::egsvDataChanged, [this](T::SatelliteSystemID s, const T::SatelliteMap* info) {
            systems << int(s);
            QVector<QMap<int, QList<Sats>>> copy(4);
            for (int i = 0; i < 4; ++i)
                for (auto it = info[i].cbegin(); it != info[i].cend(); ++it)
                    for (const T::SatelliteData& d : it.value())
                        copy[i][it.key()].append(Sats{d.prn, d.cn0});
            maps << copy;
        });
        QObject::connect(&parser, &T::ggaDataChanged,
                         [this](T::SatelliteSystemID s, const T::GGA&) { ggaSystems << int(s); });
        QObject::connect(&parser, &T::gsvDataChanged,
                         [this](T::SatelliteSystemID, const QList<T::GSV>& l) { gsv << l; });
    }
};

QString describe(const QMap<int, QList<Sats>>& m)
{
    QStringList parts;
    for (auto it = m.cbegin(); it != m.cend(); ++it) {
        QStringList sats;
        for (const Sats& s : it.value())
            sats << QStringLiteral("%1:%2").arg(s.prn).arg(s.cn0);
        parts << QStringLiteral("%1=[%2]").arg(it.key()).arg(sats.join(' '));
    }
    return parts.join(' ');
}

struct Clocked
{
    qint64 t = 1'700'000'000'000;
    T parser;
    Clocked()
    {
        parser.setClock([this] { return t; });
    }
    void tick() { QMetaObject::invokeMethod(&parser, "timeoutEvent", Qt::DirectConnection); }
};

} // namespace

class tst_TX518Handler : public QObject
{
    Q_OBJECT

private slots:
    void talkers_data()
    {
        QTest::addColumn<QByteArray>("talker");
        QTest::addColumn<int>("system");
        QTest::newRow("GP is GPS") << QByteArray("GP") << 1;
        QTest::newRow("BD is BDS") << QByteArray("BD") << 0;
        QTest::newRow("GL is GLONASS") << QByteArray("GL") << 2;
        QTest::newRow("GN is no system") << QByteArray("GN") << 255;
    }
    void talkers()
    {
        QFETCH(QByteArray, talker);
        QFETCH(int, system);
        T parser;
        Recorder rec(parser);
        parser.ParseData(Sentence::nmea(talker + kGgaBody));
        QCOMPARE(rec.ggaSystems, QList<int>{system});
    }

    void egsva_data()
    {
        QTest::addColumn<QByteArray>("sentence");
        QTest::addColumn<QString>("bds"); // the BDS map after the sentence, or "-" for no emission
        QTest::newRow("two satellites, shared signal in sentence order")
            << Sentence::nmea("EGSVA,0,1234567890,7,45,120,2,1,452,4,398,9,30,200,1,1,401")
            << "1=[7:452 9:401] 4=[7:398]";
        QTest::newRow("second field never kept")
            << Sentence::nmea("EGSVA,0,ff.9-x,7,45,120,2,1,452,4,398,9,30,200,1,1,401") << "1=[7:452 9:401] 4=[7:398]";
        QTest::newRow("pair count zero goes on with next satellite")
            << Sentence::nmea("EGSVA,0,1234567890,7,45,120,0,9,30,200,1,1,401,,") << "1=[9:401]";
        QTest::newRow("sentence ending inside pairs keeps the whole pairs")
            << Sentence::nmea("EGSVA,0,1234567890,7,45,120,3,1,452,4,398") << "1=[7:452] 4=[7:398]";
        QTest::newRow("system above three stores nothing")
            << Sentence::nmea("EGSVA,4,1234567890,7,45,120,1,1,452") << "-";
        QTest::newRow("no system field stores nothing")
            << QByteArray("$EGSVA*42\r\n" + Sentence::nmea("GP" + kGgaBody)) << "-";
        QByteArray wrong = Sentence::nmea("EGSVA,0,1234567890,7,45,120,1,1,452");
        wrong[wrong.size() - 3] = wrong.at(wrong.size() - 3) == '0' ? '1' : '0';
        QTest::newRow("wrong checksum stores nothing") << wrong << "-";
        QTest::newRow("no checksum stores nothing")
            << QByteArray("$EGSVA,0,1234567890,7,45,120,1,1,452,1,1,1,1\r\n") << "-";
    }
    void egsva()
    {
        QFETCH(QByteArray, sentence);
        QFETCH(QString, bds);
        T parser;
        Recorder rec(parser);
        parser.ParseData(sentence);
        if (bds == "-") {
            QVERIFY(rec.systems.isEmpty());
            return;
        }
        QCOMPARE(rec.systems, QList<int>{0});
        QCOMPARE(describe(rec.maps.first()[0]), bds);
    }

    void laterSentenceReplacesOnlyItsSystem()
    {
        T parser;
        Recorder rec(parser);
        parser.ParseData(Sentence::nmea("EGSVA,0,1234567890,7,45,120,2,1,452,4,398"));
        parser.ParseData(Sentence::nmea("EGSVA,1,1234567890,5,10,20,1,1,300"));
        parser.ParseData(Sentence::nmea("EGSVA,0,1234567890,8,45,120,1,4,411"));
        QCOMPARE(rec.systems, (QList<int>{0, 1, 0}));
        QCOMPARE(describe(rec.maps.last()[0]), QStringLiteral("4=[8:411]"));
        QCOMPARE(describe(rec.maps.last()[1]), QStringLiteral("1=[5:300]"));
    }

    void hashInsteadOfDollarFailsHeader()
    {
        T parser;
        Recorder rec(parser);
        QTest::ignoreMessage(QtDebugMsg, "$EGSVA 头错误");
        parser.ParseData("#EGSVA,0,1234567890,7,45,120,1,1,452*00\r\n"
                         + Sentence::nmea("EGSVA,0,1234567890,7,45,120,1,1,452"));
        QCOMPARE(rec.systems, QList<int>{0});
    }

    void lineEndFragments_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("talker fragment with CR LF") << QByteArray("$GP\r\n");
        QTest::newRow("lone CR does not eat the next dollar") << QByteArray("$GP\r");
        QTest::newRow("lone LF") << QByteArray("$GPG\n");
    }
    void lineEndFragments()
    {
        QFETCH(QByteArray, prefix);
        T parser;
        Recorder rec(parser);
        parser.ParseData(prefix + Sentence::nmea("GP" + kGgaBody));
        QCOMPARE(rec.ggaSystems, QList<int>{1});
    }

    void silentSystemForgottenAfterThreeSeconds()
    {
        Clocked c;
        Recorder rec(c.parser);
        QSignalSpy stop(&c.parser, &T::stopGSVTimer);
        c.parser.ParseData(Sentence::nmea("EGSVA,0,1234567890,7,45,120,1,1,452"));
        c.t += 1000;
        c.tick();
        c.t += 1000;
        c.tick();
        QCOMPARE(rec.systems.size(), 1);
        QCOMPARE(stop.count(), 0);
        c.t += 1000;
        c.tick();
        QCOMPARE(rec.systems, (QList<int>{0, 0}));
        QVERIFY(rec.maps.last()[0].isEmpty());
        QCOMPARE(stop.count(), 1);
        c.t += 1000;
        c.tick();
        QCOMPARE(rec.systems.size(), 2); // forgotten once only
    }

    void silentSystemForgottenWhileAnotherFlows()
    {
        Clocked c;
        Recorder rec(c.parser);
        QSignalSpy start(&c.parser, &T::startGSVTimer);
        QSignalSpy stop(&c.parser, &T::stopGSVTimer);
        c.parser.ParseData(Sentence::nmea("EGSVA,0,1234567890,7,45,120,1,1,452"));
        // GPS keeps coming every 500 ms; the timer ticks every 1000 ms all the same.
        const qint64 start0 = c.t;
        for (int step = 1; step <= 8; ++step) {
            c.t = start0 + 500 * step;
            c.parser.ParseData(Sentence::nmea("EGSVA,1,1234567890,5,10,20,1,1,300"));
            if (step % 2 == 0)
                c.tick();
        }
        QCOMPARE(start.count(), 1);
        QCOMPARE(stop.count(), 0);
        const int forget = rec.systems.indexOf(0, 1);
        QVERIFY(forget > 0);
        // Forgotten by the tick 3000 ms after its sentence, not later.
        QCOMPARE(rec.systems.mid(forget - 6, 7), (QList<int>{1, 1, 1, 1, 1, 1, 0}));
        QVERIFY(rec.maps.at(forget)[0].isEmpty());
        QCOMPARE(describe(rec.maps.at(forget)[1]), QStringLiteral("1=[5:300]"));
    }

    void gsvNotInTableButHandlerWorks()
    {
        T parser;
        Recorder rec(parser);
        const QByteArray one = Sentence::nmea("GPGSV,2,1,05,01,40,083,46.26,02,17,308,41,12,07,344,39,14,22,228,45");
        const QByteArray two = Sentence::nmea("GPGSV,2,2,05,15,10,100,30.04");
        parser.ParseData(one + two);
        QVERIFY(rec.gsv.isEmpty());
        QVERIFY(parser.GSVHandler(one) > 0);
        QVERIFY(parser.GSVHandler(two) > 0);
        QCOMPARE(rec.gsv.size(), 1);
        const QList<T::GSV> list = rec.gsv.first();
        QCOMPARE(list.size(), 2);
        QCOMPARE(int(list[0].satellites[0].cn0), 463);
        QCOMPARE(int(list[1].satellites[0].cn0), 300);
        QCOMPARE(int(list[1].satellites[1].prn), 0);
    }

    void everySplitGivesSameEvents()
    {
        const QByteArray stream = Sentence::nmea("GP" + kGgaBody) + "$GP\r"
                                + Sentence::nmea("EGSVA,0,1234567890,7,45,120,2,1,452,4,398,9,30,200,1,1,401")
                                + Sentence::nmea("GPGSV,1,1,01,01,40,083,46") + Sentence::nmea("BD" + kGgaBody)
                                + Sentence::nmea("EGSVA,2,1234567890,65,10,20,1,1,300");
        T whole;
        Recorder expected(whole);
        whole.ParseData(stream);
        QCOMPARE(expected.ggaSystems, (QList<int>{1, 0}));
        QCOMPARE(expected.systems, (QList<int>{0, 2}));
        for (int split = 1; split < stream.size(); ++split) {
            T parser;
            Recorder rec(parser);
            parser.ParseData(stream.left(split));
            parser.ParseData(stream.mid(split));
            QVERIFY2(rec.ggaSystems == expected.ggaSystems && rec.systems == expected.systems,
                     qPrintable(QString::number(split)));
            QCOMPARE(describe(rec.maps.first()[0]), describe(expected.maps.first()[0]));
        }
    }
};

QTEST_GUILESS_MAIN(tst_TX518Handler)
#include "tst_TX518Handler.moc"
