#include <ExtendHandler.h>
#include <FileLogger.h>
#include <FrequencyDataThread.h>
#include <FrequencyDataTransportManager.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <SpectrumSender.h>
#include <TcpConnect.h>
#include <TestAppDir.h>

#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <cmath>
#include <functional>
#include <memory>

Q_DECLARE_METATYPE(QVector<QPointF>)

using LinkTest::waitFor;

namespace {
constexpr double kDf = 0.029296875;
constexpr double kFullScale = 9.030873362283398;

double levelOf(quint32 x)
{
    return 10.0 * (std::log10(double(x)) - kFullScale);
}

// Header and halves written out field by field: upper half (centre and above) first.
QByteArray datagram(qint32 correction, const QVector<quint32>& lower, const QVector<quint32>& upper, int extra = 0)
{
    QByteArray d;
    auto put = [&d](quint32 v) {
        for (int b = 0; b < 4; ++b)
            d.append(char((v >> (8 * b)) & 0xFF));
    };
    put(quint32(correction));
    for (quint32 v : upper)
        put(v);
    for (quint32 v : lower)
        put(v);
    d.append(QByteArray(extra, '\x01'));
    return d;
}

QVector<quint32> ones(int n = 1024)
{
    return QVector<quint32>(n, 1);
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

// Curves collected in the test's thread; they arrive queued from the receiver thread.
class Curves : public QObject
{
    Q_OBJECT
public:
    QList<QVector<QPointF>> curves;
    void onCurve(const QVector<QPointF>& points, uint, double, double)
    {
        curves << points;
        emit changed();
    }
signals:
    void changed();
};
} // namespace

class tst_SpectrumStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_app = LinkTest::appWithLog(); }
    void init()
    {
        LinkTest::resetRunState();
        QVERIFY(LinkTest::startSim(m_sim, m_pm));
        FreqBand l1;
        l1.name = QStringLiteral("GPS L1");
        l1.freq = 1575420000;
        FreqBand b3;
        b3.name = QStringLiteral("BDS B3");
        b3.freq = 1268520000;
        m_pm->freqBands.insert(1, l1);
        m_pm->freqBands.insert(3, b3);
        m_fm = std::make_unique<FrequencyDataTransportManager>(m_pm.get());
        m_fm->receiverThread()->setBindAddressForTest(QHostAddress::LocalHost);
    }
    void cleanup()
    {
        m_fm.reset();
        m_pm.reset();
        m_sim.reset();
    }

    void workedDatagram()
    {
        m_fm->slot_FrequencyControlUpdate(true, 1, 0);
        QCOMPARE(m_fm->centreFrequency(), 1575u);
        QueuedSignalSpy spy(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyArray);
        m_fm->slot_UdpData(datagram(0, ones(), ones()));
        QCOMPARE(spy.count(), 1);
        const auto points = spy.at(0).at(0).value<QVector<QPointF>>();
        QCOMPARE(points.size(), 2048);
        for (int i = 0; i < points.size(); ++i) {
            QCOMPARE(points.at(i).x(), 1545.0 + i * kDf);
            QCOMPARE(points.at(i).y(), 10 * (0 - kFullScale));
        }
        QCOMPARE(points.at(1024).x(), 1575.0);
        QCOMPARE(spy.at(0).at(1).toUInt(), uint(-90));
        QCOMPARE(spy.at(0).at(2).toDouble(), 1545.0);
        QCOMPARE(spy.at(0).at(3).toDouble(), 10 * (0 - kFullScale));
        QCOMPARE(m_fm->lastCurve(), points);
    }

    void halvesPlacedAndPeakFound()
    {
        m_fm->slot_FrequencyControlUpdate(true, 3, 0);
        QCOMPARE(m_fm->centreFrequency(), 1268u);
        QVector<quint32> lower = ones(), upper = ones();
        lower[0] = 10;     // 1238 MHz
        upper[0] = 1000;   // the centre bin
        upper[1023] = 100; // top bin
        QueuedSignalSpy spy(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyArray);
        // A level correction of 3 takes 3 dB off every non-zero bin.
        m_fm->slot_UdpData(datagram(3, lower, upper));
        const auto points = spy.at(0).at(0).value<QVector<QPointF>>();
        QCOMPARE(points.at(0), QPointF(1238.0, levelOf(10) - 3));
        QCOMPARE(points.at(1024), QPointF(1268.0, levelOf(1000) - 3));
        QCOMPARE(points.at(2047), QPointF(1268.0 + 1023 * kDf, levelOf(100) - 3));
        QCOMPARE(points.at(1), QPointF(1238.0 + kDf, levelOf(1) - 3));
        QCOMPARE(spy.at(0).at(2).toDouble(), 1268.0);
        QCOMPARE(spy.at(0).at(3).toDouble(), levelOf(1000) - 3);
        QCOMPARE(spy.at(0).at(1).toUInt(), uint(qint32(levelOf(1000) - 3)));
    }

    void maxTouchedKeepsHighestUntilSwitch()
    {
        m_fm->slot_FrequencyControlUpdate(true, 1, 0);
        QueuedSignalSpy spy(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyArray);
        QVector<quint32> loud = ones();
        loud[7] = 32767u * 32767u; // full scale: 0 dB
        m_fm->slot_UdpData(datagram(0, ones(), ones()));
        m_fm->slot_UdpData(datagram(0, loud, ones()));
        // Unsigned comparison: the pattern of -90 stays above 0 once it is there.
        QCOMPARE(spy.at(1).at(1).toUInt(), uint(-90));
        m_fm->slot_FrequencyControlUpdate(true, 1, 0);
        QCOMPARE(m_fm->maxTouchedValue(), 0u);
        m_fm->slot_UdpData(datagram(0, loud, ones()));
        QCOMPARE(spy.at(2).at(1).toUInt(), 0u);
        m_fm->slot_UdpData(datagram(0, ones(), ones()));
        QCOMPARE(spy.at(3).at(1).toUInt(), uint(-90));
    }

    void touchedValueOfExtremeLevels_data()
    {
        QTest::addColumn<double>("level");
        QTest::addColumn<uint>("touched");
        QTest::newRow("ordinary level truncated toward zero") << -90.7 << uint(-90);
        QTest::newRow("far above 32 bits, from a lying level correction") << 1.42854e+302 << 0x7FFFFFFFu;
        QTest::newRow("just above 32 bits") << 2147483654.0 << 0x7FFFFFFFu;
        QTest::newRow("below 32 bits") << -3e9 << 0x80000000u;
        QTest::newRow("offset of inf in the configuration") << -qInf() << 0x80000000u;
        QTest::newRow("infinite level") << qInf() << 0x7FFFFFFFu;
        QTest::newRow("not a number") << qQNaN() << 0u;
    }
    void touchedValueOfExtremeLevels()
    {
        QFETCH(double, level);
        QFETCH(uint, touched);
        QCOMPARE(FrequencyDataTransportManager::touchedValue(level), touched);
    }

    void sizes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("points");
        QTest::newRow("8191 dropped") << 8191 << 0;
        QTest::newRow("short 100 dropped") << 100 << 0;
        QTest::newRow("8192 read") << 8192 << 2048;
        QTest::newRow("8196 read") << 8196 << 2048;
        QTest::newRow("8197: odd byte ignored") << 8197 << 2048;
        QTest::newRow("8199: last value incomplete") << 8199 << 2050;
        QTest::newRow("8204: one more value each half") << 8204 << 2050;
    }
    void sizes()
    {
        QFETCH(int, size);
        QFETCH(int, points);
        m_fm->slot_FrequencyControlUpdate(true, 1, 0);
        QueuedSignalSpy spy(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyArray);
        QByteArray d(size, '\0');
        for (int i = 4; i < size; ++i)
            d[i] = char(0x11);
        m_fm->slot_UdpData(d);
        QCOMPARE(spy.count(), points ? 1 : 0);
        if (points)
            QCOMPARE(spy.at(0).at(0).value<QVector<QPointF>>().size(), points);
    }

    void gapsFilled()
    {
        m_fm->slot_FrequencyControlUpdate(true, 1, 0);
        QVector<quint32> lower(1024), upper(1024);
        for (int i = 0; i < 1024; ++i) {
            lower[i] = quint32(10 + i);
            upper[i] = quint32(5000 + i);
        }
        lower[0] = 0;    // first point: copies the second
        upper[1023] = 0; // last point: copies the last but one
        lower[100] = 0;  // isolated
        upper[200] = 0;  // two adjacent
        upper[201] = 0;
        QueuedSignalSpy spy(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyArray);
        m_fm->slot_UdpData(datagram(0, lower, upper));
        const auto p = spy.at(0).at(0).value<QVector<QPointF>>();
        QCOMPARE(p.at(0).y(), levelOf(11));
        QCOMPARE(p.at(2047).y(), levelOf(5000 + 1022));
        QCOMPARE(p.at(100).y(), (levelOf(10 + 99) + levelOf(10 + 101)) / 2);
        const double first = (levelOf(5000 + 199) + -110.0) / 2;
        QCOMPARE(p.at(1024 + 200).y(), first);
        QCOMPARE(p.at(1024 + 201).y(), (first + levelOf(5000 + 202)) / 2);
        // Gaps never count as the peak, and x stays on the axis.
        QCOMPARE(p.at(1024 + 200).x(), 1575.0 + 200 * kDf);
        QCOMPARE(spy.at(0).at(3).toDouble(), levelOf(5000 + 1022));
    }

    void offsetsReadFromDeviceConfiguration()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        auto& store = m_sim->profile().devConfig.values;
        store[QStringLiteral("Freq1/GainOffset")] = QStringLiteral("1.5");
        store[QStringLiteral("Freq1/PlaybackOffset")] = QStringLiteral("-4");
        store[QStringLiteral("Freq3/GainOffset")] = QStringLiteral("not a number");
        store[QStringLiteral("Freq3/PlaybackOffset")] = QStringLiteral(" 2.25 ");
        // A manager made now reads the offsets once, 100 ms on; its read timer goes when the read
        // went out, and the answer fills them.
        m_fm = std::make_unique<FrequencyDataTransportManager>(m_pm.get());
        auto* reader = m_fm->findChild<QTimer*>();
        QVERIFY(reader);
        QSignalSpy readSent(reader, &QObject::destroyed);
        QVERIFY(readSent.wait(10000));
        QTRY_COMPARE(m_fm->gainOffset(1), 1.5);
        QCOMPARE(m_fm->playbackOffset(1), -4.0);
        QCOMPARE(m_fm->gainOffset(3), 0.0);
        QCOMPARE(m_fm->playbackOffset(3), 2.25);

        QueuedSignalSpy spy(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyArray);
        m_fm->SwitchTransportStatus(true, 1);
        m_fm->slot_UdpData(datagram(0, ones(), ones()));
        QCOMPARE(spy.at(0).at(3).toDouble(), levelOf(1) - 1.5);

        // While playing back, the playback offset applies instead.
        RunStatus::instance()->slot_GlobalStatus(SystemState::Playback);
        m_fm->SwitchTransportStatus(true, 1);
        m_fm->slot_UdpData(datagram(0, ones(), ones()));
        QCOMPARE(spy.at(1).at(3).toDouble(), levelOf(1) + 4.0);
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
    }

    void streamFromInstrument()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        auto* extend = m_sim->handler<ExtendHandler>();
        QVERIFY(extend);
        extend->spectrumPort = freeUdpPort();
        SpectrumSender& sender = m_sim->spectrum();
        sender.setRate(500);
        sender.setCounting(true);
        sender.setLimit(60);

        Curves curves;
        connect(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyArray, &curves, &Curves::onCurve);
        QSignalSpy ids(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyId);
        m_fm->SwitchTransportStatus(true, 1);
        QVERIFY(waitFor(&curves, SIGNAL(changed()), [&] { return curves.curves.size() >= 20; }));
        QVERIFY(m_fm->receiverThread()->isRunning());
        QCOMPARE(m_fm->receiverThread()->localPort(), extend->spectrumPort);
        QCOMPARE(int(extend->spectrumBand), 1);

        // Every curve is whole and uniform, and they follow one another without a gap.
        auto sequenceOf = [](const QVector<QPointF>& c) {
            return qRound64(std::pow(10.0, c.at(0).y() / 10.0 + kFullScale)) - 1;
        };
        qint64 previous = -1;
        for (const auto& c : curves.curves) {
            QCOMPARE(c.size(), 2048);
            QCOMPARE(c.first().x(), 1545.0);
            QCOMPARE(c.last().y(), c.first().y());
            const qint64 seq = sequenceOf(c);
            if (previous >= 0)
                QCOMPARE(seq, previous + 1);
            previous = seq;
        }

        // Another band announced while running is passed on; port 0 and the same port leave
        // the receiver where it is.
        m_fm->slot_FrequencyControlUpdate(true, 3, extend->spectrumPort);
        QCOMPARE(ids.count(), 1);
        QCOMPARE(ids.at(0).at(0).toUInt(), 3u);
        QCOMPARE(m_fm->centreFrequency(), 1268u);
        m_fm->slot_FrequencyControlResult(0);
        m_fm->slot_FrequencyControlResult(extend->spectrumPort);
        QVERIFY(m_fm->receiverThread()->isRunning());
        QCOMPARE(m_fm->receiverThread()->localPort(), extend->spectrumPort);
    }

    void announcementWhileIdleEmitsNothing()
    {
        QSignalSpy ids(m_fm.get(), &FrequencyDataTransportManager::UpdateFrequencyId);
        m_fm->slot_FrequencyControlUpdate(true, 3, 7000);
        QCOMPARE(ids.count(), 0);
        QCOMPARE(m_fm->bandId(), 3u);
        QCOMPARE(m_fm->centreFrequency(), 1268u);
        // An unknown band keeps the centre; band 0 clears it.
        m_fm->slot_FrequencyControlUpdate(true, 9, 7000);
        QCOMPARE(m_fm->centreFrequency(), 1268u);
        m_fm->slot_FrequencyControlUpdate(false, 0, 0);
        QCOMPARE(m_fm->centreFrequency(), 0u);
        QVERIFY(!m_fm->receiverThread()->isRunning());
    }

private:
    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<ProtocolManager> m_pm;
    std::unique_ptr<FrequencyDataTransportManager> m_fm;
};

QTEST_GUILESS_MAIN(tst_SpectrumStream)
#include "tst_SpectrumStream.moc"
