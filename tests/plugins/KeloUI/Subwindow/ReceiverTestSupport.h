#pragma once

// Helpers shared by the receiver-view tests (header only; not a test of its own).

#include <InstrumentSim.h>
#include <ProtocolManager.h>
#include <QueuedSignalSpy.h>
#include <ReceiverDataTransportManager.h>
#include <ReceiverRelayPeer.h>
#include <ReceiverSentences.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QByteArray>
#include <QDebug>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QQuickItem>
#include <QSignalSpy>

#include <functional>

namespace ReceiverTest {

using Sentence::nmea;

// "#" name "," nine header fields ";" data fields "*" CRC in hex, CR LF.
inline QByteArray log(const QByteArray& name, const QByteArrayList& fields)
{
    return Sentence::log(name + ",97,COM1,FINE,2068,346038000,-18,3,250,65535;" + fields.join(','));
}

// A GPSEPHA log of 33 data fields: PRN, then ones, with Toe (field 7) and A (field 8) given.
inline QByteArray gpsEphemeris(int prn, const QByteArray& toe = "388800.0", const QByteArray& a = "26559750.5")
{
    QByteArrayList f;
    for (int i = 0; i < 33; ++i)
        f << "1";
    f[0] = QByteArray::number(prn);
    f[7] = toe;
    f[8] = a;
    return log("GPSEPHA", f);
}

// Waits until `done` holds, spinning the event loop on `signal` of `sender`.
inline bool waitFor(QObject* sender, const char* signal, const std::function<bool()>& done,
                    int timeout = TestTime::ms(15000))
{
    // The parsers' signals, SkyvaneManager's among them, go out on the relay thread.
    QueuedSignalSpy spy(sender, signal);
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeout)
        spy.wait(int(qMax<qint64>(1, qMin<qint64>(200, timeout - clock.elapsed()))));
    return done();
}

// Every item below `item` (itself included) with the object name.
inline QList<QQuickItem*> itemsNamed(QQuickItem* item, const QString& name)
{
    QList<QQuickItem*> out;
    if (!item)
        return out;
    if (item->objectName() == name)
        out << item;
    const auto children = item->childItems();
    for (QQuickItem* c : children)
        out += itemsNamed(c, name);
    return out;
}

// Items that are visible on screen: the item and all its ancestors visible.
inline QList<QQuickItem*> shown(const QList<QQuickItem*>& items)
{
    QList<QQuickItem*> out;
    for (QQuickItem* i : items)
        if (i->isVisible())
            out << i;
    return out;
}

// The control link and the receiver relay against a simulated instrument on loopback.
struct Bench
{
    InstrumentSim sim{InstrumentSim::Preset::Test};

    bool start()
    {
        if (!sim.listen(QHostAddress::LocalHost, 0))
            return false;
        ProtocolManager* pm = ProtocolManager::instance();
        pm->setHeartbeatInterval(TestTime::ms(100));
        pm->link()->setReconnectInterval(TestTime::ms(100));
        QSignalSpy net(pm, &ProtocolManager::NetSuccess);
        pm->ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
        if (!waitFor(pm, SIGNAL(NetSuccess(bool)), [pm] { return pm->isConnected(); }))
            return false;
        ReceiverDataTransportManager* relay = ReceiverDataTransportManager::Instance();
        // Over the loopback link the announced address stays 127.0.0.1.
        relay->setInterfaceSource([] { return QList<NetworkInterfaceEntry>(); });
        relay->setListenForTest(QHostAddress::LocalHost, 0);
        return true;
    }
    int receivedSoFar() { return sim.relay().received().size(); }
    // Waits for the simulated receiver to have got `bytes` after the first `from` bytes; true
    // when exactly those arrived.
    bool receiverGot(int from, const QByteArray& bytes)
    {
        ReceiverRelayPeer* peer = &sim.relay();
        waitFor(peer, SIGNAL(dataReceived(QByteArray)), [&] { return peer->received().size() >= from + bytes.size(); });
        if (peer->received().mid(from) != bytes)
            qWarning() << "the receiver got" << peer->received().mid(from);
        return peer->received().mid(from) == bytes;
    }
};

} // namespace ReceiverTest
