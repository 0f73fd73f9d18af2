#include <CollectHandler.h>
#include <Db9Sender.h>
#include <InstrumentSim.h>
#include <ReceiverStream.h>
#include <RecordHandler.h>
#include <SimBytes.h>
#include <SkyModel.h>
#include <UM98X_960Handler.h>

#include <QDateTime>
#include <QtTest>

#include <set>

using Ns::Skyvane::UM98X_960Handler;

namespace {
// 2026-12-09 04:00:00 UTC.
constexpr qint64 kNow = 1796788800000;

QStringList list(const DevConfigStore& store, const char* key)
{
    return store.values.value(QLatin1String(key)).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

SimFrame frame(quint8 type, quint8 cmd, const QByteArray& payload)
{
    SimFrame f;
    f.type = type;
    f.cmd = cmd;
    f.payload = payload;
    return f;
}
} // namespace

// The instrument `scripts/run` shows a user: its configuration, catalogue and runs make sense to
// the pages, and its receiver and DB9 port speak what the PC's parsers read.
class tst_DefaultInstrument : public QObject
{
    Q_OBJECT

private slots:
    void ratesAreHertzInListsOfEqualLength()
    {
        InstrumentSim sim;
        const DevConfigStore& store = sim.profile().devConfig;
        const QStringList widths = list(store, "Bandwidth/BandwidthList");
        const QStringList rates = list(store, "SampleRate/SampleRateList");
        QCOMPARE(rates.size(), widths.size());
        QVERIFY(widths.contains(store.values.value("Bandwidth/Bandwidth")));
        QCOMPARE(rates.at(widths.indexOf(store.values.value("Bandwidth/Bandwidth"))),
                 store.values.value("SampleRate/SampleRate"));
        for (const QString& hz : widths + rates)
            QVERIFY2(hz.toUInt() >= 1000000u, qPrintable(hz)); // Hz, not MHz
    }

    // The collection page offers channel i the bands of the table that list the channel and the
    // width, selects item i of its list, and refuses a start with one band on two used rows.
    void everyChannelStartsOnABandOfItsOwn_data()
    {
        QTest::addColumn<int>("bitWidth");
        for (int w : {2, 4, 8, 16})
            QTest::newRow(qPrintable(QStringLiteral("%1 bit").arg(w))) << w;
    }
    void everyChannelStartsOnABandOfItsOwn()
    {
        QFETCH(int, bitWidth);
        InstrumentSim sim;
        const DevConfigStore& store = sim.profile().devConfig;
        const int bands = store.values.value("Config/FreqNum").toInt();
        QStringList widths;
        bool single = false;
        for (int i = 0; i < store.values.value("Config/BitNum").toInt(); ++i) {
            widths << store.values.value(QStringLiteral("Bit%1/Bit").arg(i));
            if (widths.last().toInt() == bitWidth)
                single = store.values.value(QStringLiteral("Bit%1/Single").arg(i)) == QLatin1String("true");
        }
        QVERIFY(widths.contains(QString::number(bitWidth)));
        std::set<int> chosen;
        const int channels = sim.profile().channels;
        for (int channel = 1; channel <= channels; channel += single ? 2 : 1) {
            QList<int> offered;
            for (int n = 1; n <= bands; ++n) {
                const QString p = QStringLiteral("Freq%1/").arg(n);
                if (store.values.value(p + "Channel").split(',').contains(QString::number(channel))
                    && store.values.value(p + "Bit").split(',').contains(QString::number(bitWidth)))
                    offered << n;
            }
            QVERIFY2(offered.size() > channel - 1, qPrintable(QStringLiteral("channel %1").arg(channel)));
            QVERIFY(chosen.insert(offered.at(channel - 1)).second);
        }
    }

    void recordsHoldKnownBandsAndWholeBlocks()
    {
        InstrumentSim sim;
        const auto& records = sim.handler<RecordHandler>()->records();
        QVERIFY(records.size() >= 3);
        const int bands = sim.profile().devConfig.values.value("Config/FreqNum").toInt();
        const quint32 unit = 2 * quint32(sim.profile().boards.size());
        for (const RecordHandler::SimRecord& r : records) {
            for (int b : r.bands)
                QVERIFY(b >= 1 && b <= bands);
            QVERIFY(r.bandwidth >= 1000000u);
            QVERIFY(r.size > 0 && r.size % unit == 0);
            // Duration x bands x rate x bits, in MiB.
            const double mib = double(r.duration) * r.bands.size() * r.sampleRate * r.bit / 8 / 1048576.0;
            QVERIFY(r.size >= mib && r.size < mib + unit + 1);
        }
    }

    void collectionAddsItsRecordWhenItEndsAndDeleteFreesIt()
    {
        InstrumentSim sim;
        auto* collect = sim.handler<CollectHandler>();
        const quint32 freeBefore = sim.profile().values[1];
        const quint32 name = 1796788800;
        QByteArray start;
        SimBytes::put(start, name, 4);
        start += QByteArray::fromHex("00"
                                     "04"
                                     "00"
                                     "00000000"
                                     "00000000"
                                     "03");
        start += QByteArray::fromHex("01000001"
                                     "02000101"
                                     "03000100"); // record, both, forward only
        start += QByteArray("屋顶");
        collect->handle(frame(3, 1, start));
        QCOMPARE(int(sim.profile().state), 2);
        QTRY_VERIFY_WITH_TIMEOUT(sim.profile().progress >= 2, 20000);
        QVERIFY(sim.profile().progress <= 60); // seconds, not ticks
        collect->handle(frame(3, 2, QByteArray(1, '\x01')));
        QCOMPARE(int(sim.profile().state), 1);
        const RecordHandler::SimRecord* r = sim.handler<RecordHandler>()->find(name);
        QVERIFY(r);
        QCOMPARE(r->bands, (QList<int>{1, 2}));
        QCOMPARE(int(r->bit), 4);
        QCOMPARE(r->remark, QStringLiteral("屋顶"));
        QVERIFY(r->duration >= 2);
        QCOMPARE(r->bandwidth, 40000000u);
        QCOMPARE(r->size, RecordHandler::sizeMiB(*r, sim.profile().boards.size()));
        QCOMPARE(sim.profile().values[1], freeBefore - r->size);
        QByteArray which;
        SimBytes::put(which, name, 4);
        sim.handler<RecordHandler>()->handle(frame(2, 4, which));
        QCOMPARE(sim.profile().values[1], freeBefore);
    }

    void playbackCountsLoopsAndEndsAfterTheLast()
    {
        InstrumentSim sim;
        auto* collect = sim.handler<CollectHandler>();
        const quint32 name = sim.handler<RecordHandler>()->records().first().name;
        QByteArray start;
        for (quint32 v : {name, 2u, 0u, 1u}) // two loops of one second
            SimBytes::put(start, v, 4);
        start += QByteArray(9, '\0');
        collect->handle(frame(3, 3, start));
        QCOMPARE(int(sim.profile().state), 3);
        QCOMPARE(sim.profile().progressTimes, 1u);
        QTRY_COMPARE_WITH_TIMEOUT(int(sim.profile().state), 1, 20000);
        QCOMPARE(sim.profile().progressTimes, 2u);
    }

    void receiverStreamFillsTheParser()
    {
        UM98X_960Handler parser;
        parser.setDumpFilesEnabled(false);
        parser.setClock([] { return kNow; });
        int gga = 0;
        QMap<int, QMap<int, int>> seen; // system -> signal -> satellites
        connect(&parser, &UM98X_960Handler::ggaDataChanged, this,
                [&](UM98X_960Handler::SatelliteSystemSymbol s, const UM98X_960Handler::GGA& g) {
                    QCOMPARE(int(s), int(UM98X_960Handler::GNSS));
                    QCOMPARE(int(g.fixQuality), 1);
                    QCOMPARE(g.latitudeDirection, 'N');
                    QVERIFY(qAbs(g.latitude - 3959.1235) < 0.01);
                    ++gga;
                });
        connect(&parser, &UM98X_960Handler::gsvDataChanged, this,
                [&](UM98X_960Handler::SatelliteSystemSymbol s, const UM98X_960Handler::GsvSet* sets) {
                    if (int(s) < 0 || int(s) > 3)
                        return;
                    for (auto it = sets[s].cbegin(); it != sets[s].cend(); ++it)
                        seen[s][it.key()] = it.value().isEmpty() ? 0 : it.value().first().inView;
                });
        int gps = 0, bds = 0, bd3 = 0, glo = 0, gal = 0;
        connect(&parser, &UM98X_960Handler::ephDataGPSChanged, this,
                [&](const QMap<unsigned char, UM98X_960Handler::GPSEPH>& m) { gps = m.size(); });
        connect(&parser, &UM98X_960Handler::ephDataBDSChanged, this,
                [&](const QMap<unsigned char, UM98X_960Handler::BDSEPH>& m) { bds = m.size(); });
        connect(&parser, &UM98X_960Handler::ephDataBD3Changed, this,
                [&](const QMap<unsigned char, UM98X_960Handler::BD3EPH>& m) { bd3 = m.size(); });
        connect(&parser, &UM98X_960Handler::ephDataGLOChanged, this,
                [&](const QMap<unsigned char, UM98X_960Handler::GLOEPH>& m) { glo = m.size(); });
        connect(&parser, &UM98X_960Handler::ephDataGALChanged, this,
                [&](const QMap<unsigned char, UM98X_960Handler::GALEPH>& m) { gal = m.size(); });

        parser.ParseData(ReceiverStream::epoch(kNow) + ReceiverStream::ephemerides(kNow)
                         + ReceiverStream::epoch(kNow + 1000));
        QCOMPARE(gga, 2);
        QMap<int, int> visible;
        int beidou3 = 0;
        for (const SkyModel::Satellite& s : SkyModel().visible(kNow)) {
            ++visible[s.system];
            beidou3 += s.system == SkyModel::Bds && s.prn >= 19;
        }
        for (int system = 0; system < 4; ++system)
            QVERIFY2(visible[system] >= 4, qPrintable(QStringLiteral("system %1").arg(system)));
        // Every sentence and log passed its checksum: each set and map holds the whole sky.
        QCOMPARE(seen[0], (QMap<int, int>{{1, visible[0]}}));
        QCOMPARE(seen[1], (QMap<int, int>{{1, visible[1]}, {3, beidou3}, {8, visible[1]}}));
        QCOMPARE(seen[2], (QMap<int, int>{{1, visible[2]}}));
        QCOMPARE(seen[3], (QMap<int, int>{{7, visible[3]}}));
        QCOMPARE(gps, visible[0]);
        QCOMPARE(bds, visible[1]);
        QCOMPARE(bd3, beidou3);
        QCOMPARE(glo, visible[2]);
        QCOMPARE(gal, visible[3]);
    }

    void satellitesMove()
    {
        const auto sky = [](qint64 t) {
            QMap<QPair<int, int>, QPair<double, double>> out;
            for (const SkyModel::Satellite& s : SkyModel().visible(t))
                out[qMakePair(int(s.system), s.prn)] = qMakePair(s.elevation, s.azimuth);
            return out;
        };
        const auto now = sky(kNow);
        const auto later = sky(kNow + 10 * 60 * 1000);
        int moved = 0;
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            moved += later.contains(it.key()) && later.value(it.key()) != it.value();
        QVERIFY(moved >= now.size() / 2);
    }

    void db9FrameFollowsTheLayout()
    {
        const QByteArray f = Db9Sender::frame(kNow + 3661500);
        QCOMPARE(f.size(), 86);
        QCOMPARE(f.left(4), QByteArray::fromHex("55AA52B2"));
        quint8 sum = 0;
        for (int i = 2; i <= 84; ++i)
            sum = quint8(sum + quint8(f.at(i)));
        QCOMPARE(quint8(f.at(85)), sum);
        // 05:01:01.500 UTC in 40 us steps, big-endian.
        const quint32 tod = quint32(quint8(f.at(46))) << 24 | quint32(quint8(f.at(47))) << 16
                          | quint32(quint8(f.at(48))) << 8 | quint8(f.at(49));
        QCOMPARE(qint64(tod) * 40, 18061500000LL);
        QCOMPARE(QByteArray::fromRawData(f.constData() + 43, 3), QByteArray::fromHex("1A0C09"));
        // The satellite bits and the count agree with the BeiDou satellites in view.
        int bits = 0;
        for (int i = 20; i < 28; ++i)
            bits += qPopulationCount(quint8(f.at(i)));
        QCOMPARE(int(SimBytes::get(f, 28, 2)), bits);
        int beidou = 0;
        for (const SkyModel::Satellite& s : SkyModel().visible(kNow + 3661500))
            beidou += s.system == SkyModel::Bds;
        QCOMPARE(bits, beidou);
        QCOMPARE(int(f.at(55)), 4);
    }
};

QTEST_GUILESS_MAIN(tst_DefaultInstrument)
#include "tst_DefaultInstrument.moc"
