#include <UiTestSupport.h>

#include "Subwindow/ReceiverTestSupport.h"

#include <ConfigSetting.h>
#include <MainWindow.h>
#include <ProtocolManager.h>
#include <ReceiverCNR.h>
#include <ReceiverDataTransportManager.h>
#include <ReceiverEphemeris.h>
#include <ReceiverRelayPeer.h>
#include <ReceiverStar.h>
#include <SkyvaneManager.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QDir>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

#include <memory>

// The main window's receiver buttons against the simulated instrument: each opens its window
// after restarting the receiver relay; the relay stops when the last window closes or the link
// drops.
class tst_MainWindowReceiver : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;

    QList<InstrumentSim::Request> relayFrames() const
    {
        QList<InstrumentSim::Request> out;
        for (const auto& r : m_sim->requests())
            if (r.type == 6 && r.cmd == 1)
                out << r;
        return out;
    }
    bool waitRelayFrames(int count)
    {
        QElapsedTimer clock;
        clock.start();
        while (relayFrames().size() < count && clock.elapsed() < 15000) {
            QSignalSpy spy(m_sim.get(), &InstrumentSim::requestReceived);
            spy.wait(200);
        }
        return relayFrames().size() == count;
    }
    static bool relayOn(const InstrumentSim::Request& r) { return !r.payload.isEmpty() && r.payload.at(0) == 1; }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        QDir::setCurrent(m_app->root());
        UiTest::stageThemes(*m_app);
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        ConfigSetting* c = ConfigSetting::instance();
        c->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
        c->SetInit(ConfigKey::NetworkPort, m_sim->port());
        c->configMode = QStringLiteral("CPCI");
        c->deviceType = QStringLiteral("Kelo");
        ReceiverDataTransportManager* relay = ReceiverDataTransportManager::Instance();
        relay->setInterfaceSource([] { return QList<NetworkInterfaceEntry>(); });
        relay->setListenForTest(QHostAddress::LocalHost, 0);
        ProtocolManager::instance()->setHeartbeatInterval(TestTime::ms(100));
        ProtocolManager::instance()->link()->setReconnectInterval(TestTime::ms(100));
    }

    void buttonsOpenWindowsAndTheLastCloseStopsTheRelay()
    {
        MainWindow w;
        QVERIFY(w.receiverManager());
        QTRY_VERIFY_WITH_TIMEOUT(ProtocolManager::instance()->isConnected(), TestTime::ms(15000));
        ReceiverDataTransportManager* relay = ReceiverDataTransportManager::Instance();
        QueuedSignalSpy status(relay, &ReceiverDataTransportManager::transport_status_change);
        m_sim->clearRequests();
        m_sim->relay().setStream(
            ReceiverTest::nmea("GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,"));
        QLabel* latitude = ReceiverCNR::Instance()->valueLabel(3);

        QTest::mouseClick(w.findChild<QToolButton*>("pbn_cn0"), Qt::LeftButton);
        QVERIFY(ReceiverCNR::Instance()->isVisible());
        QVERIFY(waitRelayFrames(1));
        QVERIFY(relayOn(relayFrames().at(0)));
        QVERIFY(UiTest::waitCount(status, 1));
        QVERIFY(relay->hasClient());

        // With the instrument connected a further button announces nothing again.
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_starSpace"), Qt::LeftButton);
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_eph"), Qt::LeftButton);
        QVERIFY(ReceiverStar::Instance()->isVisible());
        QVERIFY(ReceiverEphemeris::Instance()->isVisible());

        // Closing two of three keeps the relay.
        QVERIFY(ReceiverCNR::Instance()->close());
        QVERIFY(ReceiverEphemeris::Instance()->close());
        QCoreApplication::sendPostedEvents();
        QVERIFY(relay->isListening());

        // Closing the last one stops it and tells the instrument.
        QVERIFY(ReceiverStar::Instance()->close());
        QTRY_VERIFY_WITH_TIMEOUT(!relay->isListening(), TestTime::ms(10000));
        QVERIFY(waitRelayFrames(2));
        QCOMPARE(relayFrames().at(1).payload, QByteArray(8, '\0'));

        // Opening one again starts a new relay the instrument connects to.
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_starSpace"), Qt::LeftButton);
        QVERIFY(waitRelayFrames(3));
        QVERIFY(relayOn(relayFrames().at(2)));
        QVERIFY(relay->isListening());
        QTRY_COMPARE_WITH_TIMEOUT(latitude->text(), QStringLiteral("53.36133667, N"), TestTime::ms(15000));

        // Link loss stops the relay as well.
        QSignalSpy link(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        m_sim->setRefusing(true);
        m_sim->closeConnection();
        QVERIFY(UiTest::waitCount(link, 1));
        QCOMPARE(link.at(0).at(0).toBool(), false);
        QTRY_VERIFY_WITH_TIMEOUT(!relay->isListening(), TestTime::ms(10000));
        // What the stopped relay delivered is not shown as current.
        QTRY_COMPARE_WITH_TIMEOUT(latitude->text(), QStringLiteral("--"), TestTime::ms(10000));

        // The link returns with a receiver window open: the relay starts again by itself.
        m_sim->setRefusing(false);
        QVERIFY(waitRelayFrames(4));
        QVERIFY(relayOn(relayFrames().at(3)));
        QTRY_COMPARE_WITH_TIMEOUT(latitude->text(), QStringLiteral("53.36133667, N"), TestTime::ms(15000));

        ReceiverStar::Instance()->hide();
        ProtocolManager::instance()->DisConnectTcp();
        delete w.calibrationWindow();
    }
};

QTEST_MAIN(tst_MainWindowReceiver)
#include "tst_MainWindowReceiver.moc"
