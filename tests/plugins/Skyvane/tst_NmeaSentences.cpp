#include <ReceiverSentences.h>

#include <TestAppDir.h>
#include <UM98X_960Handler.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <cstring>

using Ns::Skyvane::UM98X_960Handler;
using H = UM98X_960Handler;

namespace {

const char kGoNmea[] = "/usr/share/gocode/src/github.com/adrianmo/go-nmea";

template<typename T> QByteArray bytesOf(const T& record)
{
    return QByteArray(reinterpret_cast<const char*>(&record), int(sizeof record));
}

// Everything a parser emits, in order, as comparable text.
struct Recorder
{
    QStringList events;
    QList<H::GGA> ggas;
    QList<H::RMC> rmcs;
    QList<int> ggaSystems;
    QList<QVector<H::GsvSet>> gsvSets;
    QList<int> gsvSystems;

    explicit Recorder(H& parser)
    {
        QObject::connect(&parser, &H::ggaDataChanged, [this](H::SatelliteSystemSymbol s, const H::GGA& g) {
            ggas << g;
            ggaSystems << int(s);
            events << QStringLiteral("GGA %1 %2").arg(int(s)).arg(QString::fromLatin1(bytesOf(g).toHex()));
        });
        QObject::connect(&parser, &H::rmcDataChanged, [this](H::SatelliteSystemSymbol s, const H::RMC& m) {
            rmcs << m;
            events << QStringLiteral("RMC %1 %2").arg(int(s)).arg(QString::fromLatin1(bytesOf(m).toHex()));
        });
        QObject::connect(&parser, &H::gsvDataChanged, [this](H::SatelliteSystemSymbol s, const H::GsvSet* sets) {
            QVector<H::GsvSet> copy(sets, sets + 4);
            gsvSets << copy;
            gsvSystems << int(s);
            QString text = QStringLiteral("GSV %1").arg(int(s));
            for (int i = 0; i < 4; ++i) {
                for (auto it = sets[i].cbegin(); it != sets[i].cend(); ++it) {
                    text += QStringLiteral(" %1/%2:").arg(i).arg(it.key());
                    for (const H::GSV& g : it.value())
                        text += QString::fromLatin1(bytesOf(g).toHex());
                }
            }
            events << text;
        });
    }
};

struct Clocked
{
    qint64 t = 1'700'000'000'000;
    H parser;
    Clocked()
    {
        parser.setClock([this] { return t; });
    }
};

void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type != QtDebugMsg)
        fprintf(stderr, "%s\n", qPrintable(msg));
}

struct Expectation
{
    QByteArray sentence;
    QString talker;
    QString type;
    bool valid = false;
    QJsonArray fields;
    QJsonArray first;
};

QList<Expectation> oracle()
{
    QStringList inputs;
    for (const char* name : {"gga_test.go", "rmc_test.go", "gsv_test.go"})
        inputs << QString::fromLatin1(kGoNmea) + QLatin1Char('/') + QLatin1String(name);
    inputs << QStringLiteral("/usr/share/doc/python3-nmea2/README.md");
    QProcess p;
    p.start(TestAppDir::python(),
            QStringList{QStringLiteral(KELO_SOURCE_DIR "/tests/plugins/Skyvane/nmea_oracle.py")} + inputs);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    QList<Expectation> out;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        Expectation e;
        e.sentence = o.value("sentence").toString().toLatin1();
        e.talker = o.value("talker").toString();
        e.type = o.value("type").toString();
        e.valid = o.value("valid").toBool();
        e.fields = o.value("fields").toArray();
        e.first = o.value("first").toArray();
        out << e;
    }
    return out;
}

int expectedSystem(const QString& talker)
{
    static const QStringList talkers{"GP", "GB", "GL", "GA", "GQ", "GN"};
    return talkers.indexOf(talker);
}

qint64 trunc64(double v)
{
    return qint64(std::trunc(v));
}

// Field i (from 0) as the oracle read it; false when pynmea2 gives no number for it.
bool numberAt(const Expectation& e, int i, double* v)
{
    if (i >= e.fields.size())
        return false;
    const QJsonValue f = e.fields.at(i);
    if (f.isString()) { // empty field
        *v = 0.0;
        return true;
    }
    if (!f.isDouble())
        return false;
    *v = f.toDouble();
    return true;
}

char charAt(const Expectation& e, int i)
{
    const QString s = i < e.first.size() ? e.first.at(i).toString() : QString();
    return s.isEmpty() ? '\0' : s.at(0).toLatin1();
}

} // namespace

class tst_NmeaSentences : public QObject
{
    Q_OBJECT

private:
    QList<Expectation> m_expect;
    QtMessageHandler m_previous = nullptr;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<const H::GsvSet*>("const GsvSet*");
        m_previous = qInstallMessageHandler(quietDebug);
        if (QFileInfo::exists(QString::fromLatin1(kGoNmea)))
            m_expect = oracle();
    }
    void cleanupTestCase() { qInstallMessageHandler(m_previous); }

    void realSentencesMatchPynmea2()
    {
        if (m_expect.isEmpty())
            QSKIP("go-nmea test files or pynmea2 missing (scripts/deps installs them)");
        int checkedFields = 0;
        for (const Expectation& e : qAsConst(m_expect)) {
            Clocked c;
            Recorder rec(c.parser);
            c.parser.ParseData(e.sentence + "\r\n");
            const QByteArray what = e.sentence;
            if (e.type == "GSV") {
                c.t += 500;
                c.parser.timeoutEvent();
            }
            if (!e.valid) {
                QVERIFY2(rec.events.isEmpty(), what);
                continue;
            }
            const int system = expectedSystem(e.talker);
            double v = 0;
            if (e.type == "GGA") {
                QCOMPARE(rec.ggas.size(), 1);
                QCOMPARE(rec.ggaSystems.at(0), system);
                const H::GGA& g = rec.ggas.at(0);
                if (numberAt(e, 0, &v)) {
                    QCOMPARE(+g.utcTime, float(v));
                    ++checkedFields;
                }
                if (numberAt(e, 1, &v)) {
                    QCOMPARE(+g.latitude, v);
                    ++checkedFields;
                }
                QCOMPARE(g.latitudeDirection, charAt(e, 2));
                if (numberAt(e, 3, &v)) {
                    QCOMPARE(+g.longitude, v);
                    ++checkedFields;
                }
                QCOMPARE(g.longitudeDirection, charAt(e, 4));
                if (numberAt(e, 5, &v))
                    QCOMPARE(int(g.fixQuality), int(trunc64(v) & 0xFF));
                if (numberAt(e, 6, &v))
                    QCOMPARE(int(g.satellitesUsed), int(trunc64(v) & 0xFF));
                if (numberAt(e, 7, &v))
                    QCOMPARE(+g.hdop, float(v));
                if (numberAt(e, 8, &v))
                    QCOMPARE(+g.altitude, float(v));
                QCOMPARE(g.altitudeUnit, charAt(e, 9));
                if (numberAt(e, 10, &v))
                    QCOMPARE(+g.geoidSeparation, float(v));
                QCOMPARE(g.separationUnit, charAt(e, 11));
                if (numberAt(e, 12, &v))
                    QCOMPARE(+g.differentialAge, float(v));
                if (numberAt(e, 13, &v))
                    QCOMPARE(int(g.differentialStation), int(qint16(trunc64(v))));
            } else if (e.type == "RMC") {
                QCOMPARE(rec.rmcs.size(), 1);
                const H::RMC& m = rec.rmcs.at(0);
                if (numberAt(e, 0, &v)) {
                    QCOMPARE(+m.utcTime, float(v));
                    ++checkedFields;
                }
                QCOMPARE(m.status, charAt(e, 1));
                if (numberAt(e, 2, &v))
                    QCOMPARE(+m.latitude, v);
                QCOMPARE(m.latitudeDirection, charAt(e, 3));
                if (numberAt(e, 4, &v))
                    QCOMPARE(+m.longitude, v);
                QCOMPARE(m.longitudeDirection, charAt(e, 5));
                if (numberAt(e, 6, &v))
                    QCOMPARE(+m.speed, float(v));
                if (numberAt(e, 7, &v))
                    QCOMPARE(+m.course, float(v));
                if (numberAt(e, 8, &v)) {
                    QCOMPARE(m.date, qint32(trunc64(v)));
                    ++checkedFields;
                }
                if (numberAt(e, 9, &v))
                    QCOMPARE(+m.magneticVariation, float(v));
                QCOMPARE(m.variationDirection, charAt(e, 10));
                QCOMPARE(m.mode, charAt(e, 11));
                QCOMPARE(m.navigationStatus, charAt(e, 12));
            } else {
                double sentences, number, inView;
                if (!numberAt(e, 0, &sentences) || !numberAt(e, 1, &number) || !numberAt(e, 2, &inView))
                    continue;
                if (system < 0 || system > 3 || trunc64(inView) == 0) {
                    QVERIFY2(rec.gsvSets.isEmpty() || rec.gsvSets.last()[system < 0 ? 0 : system].isEmpty(), what);
                    continue;
                }
                QVERIFY2(!rec.gsvSets.isEmpty(), what);
                const H::GsvSet& set = rec.gsvSets.last()[system];
                QCOMPARE(set.size(), 1);
                const H::GSV g = set.first().first();
                const int carried = qBound(0, int(trunc64(inView)) - 4 * (int(trunc64(number)) - 1), 4);
                double signal = 0;
                if (!numberAt(e, 3 + 4 * carried, &signal))
                    signal = 0;
                QCOMPARE(int(set.firstKey()), int(trunc64(signal)));
                QCOMPARE(int(g.sentences), int(trunc64(sentences)));
                QCOMPARE(int(g.number), int(trunc64(number)));
                QCOMPARE(int(g.inView), int(trunc64(inView)));
                for (int k = 0; k < carried; ++k) {
                    if (numberAt(e, 3 + 4 * k, &v))
                        QCOMPARE(int(g.satellites[k].prn), int(trunc64(v)));
                    if (numberAt(e, 4 + 4 * k, &v))
                        QCOMPARE(int(g.satellites[k].elevation), int(trunc64(v)));
                    if (numberAt(e, 5 + 4 * k, &v))
                        QCOMPARE(int(g.satellites[k].azimuth), int(trunc64(v)));
                    if (numberAt(e, 6 + 4 * k, &v))
                        QCOMPARE(int(g.satellites[k].cn0), int(trunc64(v)));
                    ++checkedFields;
                }
            }
        }
        QVERIFY(checkedFields > 50);
    }

    void everySplitGivesWholeStreamRecords()
    {
        if (m_expect.isEmpty())
            QSKIP("go-nmea test files or pynmea2 missing (scripts/deps installs them)");
        QByteArray stream;
        for (const Expectation& e : qAsConst(m_expect))
            stream += e.sentence + "\r\n";
        stream += "#GPSEPHA,garbage\r\n\x01\x02$GPGG";

        Clocked whole;
        Recorder expected(whole.parser);
        whole.parser.ParseData(stream);
        QVERIFY2(expected.events.size() >= 18, qPrintable(QString::number(expected.events.size())));

        for (int split = 1; split < stream.size(); ++split) {
            Clocked c;
            Recorder rec(c.parser);
            c.parser.ParseData(stream.left(split));
            c.parser.ParseData(stream.mid(split));
            if (rec.events != expected.events)
                QFAIL(qPrintable(QStringLiteral("split at %1 (%2)")
                                     .arg(split)
                                     .arg(QString::fromLatin1(stream.mid(split - 3, 6).toHex()))));
        }
        QRandomGenerator random(20261208);
        for (int run = 0; run < 300; ++run) {
            Clocked c;
            Recorder rec(c.parser);
            for (int at = 0; at < stream.size();) {
                const int n = 1 + int(random.bounded(run % 2 ? 8 : 200));
                c.parser.ParseData(stream.mid(at, n));
                at += n;
            }
            QCOMPARE(rec.events, expected.events);
        }
    }

    void systemsAndChecksums_data()
    {
        QTest::addColumn<QByteArray>("sentence");
        QTest::addColumn<int>("emitted");
        QTest::addColumn<int>("system");
        const QByteArray body = "GGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,";
        QTest::newRow("GP talker is GPS") << Sentence::nmea("GP" + body) << 1 << 0;
        QTest::newRow("GN talker is all systems") << Sentence::nmea("GN" + body) << 1 << 5;
        QTest::newRow("BD talker is no key") << Sentence::nmea("BD" + body) << 1 << -1;
        QByteArray wrong = Sentence::nmea("GP" + body);
        wrong[wrong.size() - 3] = wrong.at(wrong.size() - 3) == '0' ? '1' : '0';
        QTest::newRow("wrong checksum") << wrong << 0 << 0;
        QTest::newRow("no checksum") << QByteArray("$GP" + body + "\r\n") << 0 << 0;
        QTest::newRow("empty checksum") << QByteArray("$GP" + body + "*\r\n") << 0 << 0;
        QByteArray lf = Sentence::nmea("GP" + body);
        lf.remove(lf.size() - 2, 1);
        QTest::newRow("line feed without carriage return") << lf << 0 << 0;
        QByteArray cr = Sentence::nmea("GP" + body);
        cr[cr.size() - 1] = 'x';
        QTest::newRow("carriage return without line feed") << cr << 0 << 0;
        QTest::newRow("field longer than forty characters")
            << Sentence::nmea("GPGGA,092750.000," + QByteArray(48, '1') + ",N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,")
            << 0 << 0;
    }
    void systemsAndChecksums()
    {
        QFETCH(QByteArray, sentence);
        QFETCH(int, emitted);
        QFETCH(int, system);
        H parser;
        Recorder rec(parser);
        parser.ParseData(sentence);
        // Whatever the sentence, it is consumed and a good one behind it still counts.
        parser.ParseData(Sentence::nmea("GPGGA,1,2,N,3,E,1,1,1,1,M,1,M,,"));
        QCOMPARE(rec.ggas.size(), emitted + 1);
        if (emitted)
            QCOMPARE(rec.ggaSystems.first(), system);
    }

    void badSentenceLeavesRecordUntouched()
    {
        H parser;
        Recorder rec(parser);
        parser.ParseData(Sentence::nmea("GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,"));
        QByteArray bad = Sentence::nmea("GPGGA,111111.000,1111.1111,S,01111.1111,E,2,9,9.99,99.9,M,11.1,M,,");
        bad[bad.size() - 4] = bad.at(bad.size() - 4) == 'F' ? 'E' : 'F';
        parser.ParseData(bad);
        // A short good sentence keeps every field it does not carry from the last good one.
        // (shorter than the GGA minimum, so it is handled when the next bytes arrive)
        parser.ParseData(Sentence::nmea("GPGGA,092751.000") + "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n");
        QCOMPARE(rec.ggas.size(), 2);
        const H::GGA& g = rec.ggas.last();
        QCOMPARE(+g.utcTime, 92751.0f);
        QCOMPARE(+g.latitude, 5321.6802);
        QCOMPARE(g.latitudeDirection, 'N');
        QCOMPARE(int(g.satellitesUsed), 8);
        QCOMPARE(+g.altitude, 61.7f);
    }

    void fieldConversion_data()
    {
        QTest::addColumn<QByteArray>("fields");
        QTest::addColumn<QByteArray>("golden"); // the 44 record bytes, little-endian
        // 3030.1234 as double is 0x40A7AC3F2E48E8A7; 1.5f is 0x3FC00000.
        QTest::newRow("southern latitude, empty altitude") << QByteArray("1.5,3030.1234,S,,W,1,8,1.5,,M,1.5,M,1.5,7")
                                                           << QByteArray::fromHex("0000c03f"
                                                                                  "a7e8482e3faca740"
                                                                                  "53"
                                                                                  "0000000000000000"
                                                                                  "57"
                                                                                  "01"
                                                                                  "08"
                                                                                  "0000c03f"
                                                                                  "00000000"
                                                                                  "4d"
                                                                                  "0000c03f"
                                                                                  "4d"
                                                                                  "0000c03f"
                                                                                  "0700");
        QTest::newRow("out of range integers keep low bits, huge floats saturate")
            << QByteArray("1e50,-0,,,,300,-1,1.5,,,,,,70000")
            << QByteArray::fromHex("0000807f"
                                   "0000000000000080"
                                   "00"
                                   "0000000000000000"
                                   "00"
                                   "2c"
                                   "ff"
                                   "0000c03f"
                                   "00000000"
                                   "00"
                                   "00000000"
                                   "00"
                                   "00000000"
                                   "7011");
    }
    void fieldConversion()
    {
        QFETCH(QByteArray, fields);
        QFETCH(QByteArray, golden);
        H parser;
        Recorder rec(parser);
        parser.ParseData(Sentence::nmea("GPGGA," + fields));
        QCOMPARE(rec.ggas.size(), 1);
        QCOMPARE(bytesOf(rec.ggas.first()).toHex(), golden.toHex());
    }

    void gsvSetOfThreeForTenSatellites()
    {
        Clocked c;
        Recorder rec(c.parser);
        QSignalSpy start(&c.parser, &H::startGSVTimer);
        c.parser.ParseData(Sentence::nmea("GPGSV,3,1,10,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1"));
        c.parser.ParseData(Sentence::nmea("GPGSV,3,2,10,15,10,100,30,17,20,200,31,19,30,300,32,21,40,050,33,1"));
        c.parser.ParseData(Sentence::nmea("GPGSV,3,3,10,24,50,150,34,25,60,250,35,1"));
        QCOMPARE(start.count(), 1);
        c.t += 100;
        c.parser.timeoutEvent();
        QVERIFY(rec.gsvSets.isEmpty()); // not yet 200 ms after completion
        c.t += 101;
        c.parser.timeoutEvent();
        QCOMPARE(rec.gsvSystems, QList<int>{0});
        const QList<H::GSV> list = rec.gsvSets.first()[0].value(1);
        QCOMPARE(list.size(), 3);
        QCOMPARE(int(list[1].satellites[3].prn), 21);
        QCOMPARE(int(list[1].satellites[3].azimuth), 50);
        QCOMPARE(int(list[2].satellites[1].cn0), 35);
        QCOMPARE(bytesOf(list[2].satellites[2]), QByteArray(5, '\0'));
        QCOMPARE(bytesOf(list[2].satellites[3]), QByteArray(5, '\0'));
        QCOMPARE(int(list[2].signalId), 1);
    }

    void otherSystemReleasesSetAtOnce()
    {
        Clocked c;
        Recorder rec(c.parser);
        c.parser.ParseData(Sentence::nmea("GPGSV,1,1,02,01,40,083,46,02,17,308,41,1"));
        QVERIFY(rec.gsvSets.isEmpty());
        c.parser.ParseData(Sentence::nmea("GBGSV,1,1,01,07,40,083,46,1"));
        QCOMPARE(rec.gsvSystems, QList<int>{0});
        QCOMPARE(rec.gsvSets.first()[0].value(1).size(), 1);
        QVERIFY(rec.gsvSets.first()[1].isEmpty()); // emitted before the BDS sentence is stored
    }

    void silentSignalsForgottenAndTimerStops()
    {
        Clocked c;
        Recorder rec(c.parser);
        QSignalSpy stop(&c.parser, &H::stopGSVTimer);
        c.parser.ParseData(Sentence::nmea("GLGSV,1,1,01,65,40,083,46,1"));
        c.t += 250;
        c.parser.timeoutEvent();
        QCOMPARE(rec.gsvSystems, QList<int>{2});
        c.t += 2749; // 2999 ms after the sentence
        c.parser.timeoutEvent();
        QCOMPARE(stop.count(), 0);
        c.t += 1;
        c.parser.timeoutEvent();
        QCOMPARE(stop.count(), 1);
        QCOMPARE(rec.gsvSystems.last(), 5);
        QVERIFY(rec.gsvSets.last()[2].isEmpty());
        // The timer is asked for again by the next sentence.
        QSignalSpy start(&c.parser, &H::startGSVTimer);
        c.parser.ParseData(Sentence::nmea("GLGSV,1,1,01,65,40,083,46,1"));
        QCOMPARE(start.count(), 1);
    }

    void firstSentenceStartsNewList()
    {
        Clocked c;
        Recorder rec(c.parser);
        c.parser.ParseData(Sentence::nmea("GAGSV,2,1,05,01,40,083,46,02,17,308,41,03,07,344,39,04,22,228,45,7"));
        c.parser.ParseData(Sentence::nmea("GAGSV,2,1,05,11,40,083,46,12,17,308,41,13,07,344,39,14,22,228,45,7"));
        c.parser.ParseData(Sentence::nmea("GAGSV,2,2,05,15,40,083,46,7"));
        c.t += 300;
        c.parser.timeoutEvent();
        const QList<H::GSV> list = rec.gsvSets.last()[3].value(7);
        QCOMPARE(list.size(), 2);
        QCOMPARE(int(list[0].satellites[0].prn), 11);
    }

    void timerReleasesSetFedFromRelayThread()
    {
        // The relay thread feeds the bytes; the timer, in this thread, releases the set.
        H parser;
        QSignalSpy sets(&parser, &H::gsvDataChanged);
        QThread relay;
        QObject feeder;
        feeder.moveToThread(&relay);
        relay.start();
        QMetaObject::invokeMethod(
            &feeder, [&parser] { parser.ParseData(Sentence::nmea("GPGSV,1,1,02,01,40,083,46,02,17,308,41,1")); });
        QVERIFY(sets.wait(5000));
        QCOMPARE(sets.first().first().value<H::SatelliteSystemSymbol>(), H::GPS);
        relay.quit();
        QVERIFY(relay.wait(5000));
    }

    void setListIsBounded()
    {
        Clocked c;
        Recorder rec(c.parser);
        for (int i = 0; i < 100; ++i)
            c.parser.ParseData(Sentence::nmea("GPGSV,9,2,255,01,40,083,46,02,17,308,41,03,07,344,39,04,22,228,45,1"));
        c.t += 300;
        c.parser.timeoutEvent();
        QCOMPARE(rec.gsvSets.last()[0].value(1).size(), 64);
    }
};

QTEST_GUILESS_MAIN(tst_NmeaSentences)
#include "tst_NmeaSentences.moc"
