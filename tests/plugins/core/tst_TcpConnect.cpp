#include <LinkTest.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using LinkTest::waitCount;

namespace {
// Reads from the peer side until `size` bytes came or the wait runs out.
QByteArray readPeer(QTcpSocket* peer, int size)
{
    QByteArray got;
    while (got.size() < size) {
        if (peer->bytesAvailable() == 0 && !peer->waitForReadyRead(5000))
            break;
        got += peer->readAll();
    }
    return got;
}

QList<bool> edges(const QList<QList<QVariant>>& spy)
{
    QList<bool> out;
    for (const auto& args : spy)
        out << args.at(0).toBool();
    return out;
}
} // namespace

class tst_TcpConnect : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_server = std::make_unique<QTcpServer>();
        QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
        m_link = std::make_unique<TcpConnect>();
    }
    void cleanup()
    {
        m_link.reset();
        m_server.reset();
    }

    void dataBothWaysAndOneDownEdgeWhenPeerCloses()
    {
        QueuedSignalSpy change(m_link.get(), &TcpConnect::ConnectionChange);
        QueuedSignalSpy recv(m_link.get(), &TcpConnect::RecvData);
        m_link->Connect(QStringLiteral("127.0.0.1"), m_server->serverPort());
        QVERIFY(m_server->waitForNewConnection(5000));
        QTcpSocket* peer = m_server->nextPendingConnection();
        QVERIFY(change.wait(5000));
        QCOMPARE(edges(change), QList<bool>{true});
        QCOMPARE(m_link->GetLocalAddress(), QHostAddress(QHostAddress::LocalHost));

        QVERIFY(emit m_link->SendData(QByteArray("\xCC\xAA\xBB\xFF", 4)));
        QCOMPARE(readPeer(peer, 4), QByteArray("\xCC\xAA\xBB\xFF", 4));

        peer->write("reply");
        peer->flush();
        QByteArray got;
        while (got.size() < 5 && recv.wait(5000)) {
            got.clear();
            for (const auto& args : recv)
                got += args.at(0).toByteArray();
        }
        QCOMPARE(got, QByteArray("reply"));

        peer->close();
        QVERIFY(change.wait(5000));
        QCOMPARE(edges(change), (QList<bool>{true, false}));
        QVERIFY(!emit m_link->SendData(QByteArray("x")));
        // No second fall is reported for the one connection that went.
        QVERIFY(!change.wait(300));
        QCOMPARE(change.count(), 2);
    }

    void comesBackOncePeerListensAgain()
    {
        m_link->setReconnectInterval(TestTime::ms(100));
        const quint16 port = m_server->serverPort();
        QueuedSignalSpy change(m_link.get(), &TcpConnect::ConnectionChange);
        QueuedSignalSpy failed(m_link.get(), &TcpConnect::ConnectFailed);
        // Both in the order the link thread emitted them: on a busy machine the first retry's
        // failure may be delivered with the fall.
        QStringList order;
        QObject listener; // goes before `order`, and its connections with it
        connect(m_link.get(), &TcpConnect::ConnectionChange, &listener,
                [&order](bool up) { order << (up ? "up" : "down"); });
        connect(m_link.get(), &TcpConnect::ConnectFailed, &listener, [&order] { order << "failed"; });
        m_link->Connect(QStringLiteral("127.0.0.1"), port);
        QVERIFY(m_server->waitForNewConnection(5000));
        QTcpSocket* peer = m_server->nextPendingConnection();
        QVERIFY(change.wait(5000));

        m_server->close();
        peer->close();
        QVERIFY(change.wait(5000));
        QCOMPARE(edges(change), (QList<bool>{true, false}));
        // The fall of a link that was up is no failed attempt. The listener hears of the fall a
        // little after the spy: the link thread may still be queuing it.
        QTRY_COMPARE(order.mid(0, 2), (QStringList{"up", "down"}));

        // Refused attempts change no edge; each is reported as failed.
        QVERIFY(!change.wait(350));
        QVERIFY(waitCount(failed, 2));
        QVERIFY(m_server->listen(QHostAddress::LocalHost, port));
        QVERIFY(m_server->waitForNewConnection(5000));
        QVERIFY(change.wait(5000));
        QCOMPARE(edges(change), (QList<bool>{true, false, true}));
    }

    void retriesAtTheDefaultPeriod()
    {
        const quint16 port = m_server->serverPort();
        m_server->close();
        QueuedSignalSpy change(m_link.get(), &TcpConnect::ConnectionChange);
        m_link->Connect(QStringLiteral("127.0.0.1"), port);
        QVERIFY(!change.wait(200));
        QVERIFY(m_server->listen(QHostAddress::LocalHost, port));
        QVERIFY(change.wait(TcpConnect::kReconnectIntervalMs + 2000));
        QCOMPARE(edges(change), QList<bool>{true});
    }

    void connectWhileConnectedChangesNothing()
    {
        QueuedSignalSpy change(m_link.get(), &TcpConnect::ConnectionChange);
        m_link->Connect(QStringLiteral("127.0.0.1"), m_server->serverPort());
        QVERIFY(change.wait(5000));
        QTest::ignoreMessage(QtDebugMsg, "已存在TCP实例");
        m_link->Connect(QStringLiteral("127.0.0.2"), 1);
        QTest::ignoreMessage(QtDebugMsg, "已存在TCP实例");
        m_link->Reconnect();
        QTRY_VERIFY(m_server->hasPendingConnections());
        m_server->nextPendingConnection();
        QVERIFY(!m_server->waitForNewConnection(300));
        QVERIFY(!change.wait(100));
        QCOMPARE(change.count(), 1);
    }

    void disconnectStopsThreadAndReportsFall()
    {
        QueuedSignalSpy change(m_link.get(), &TcpConnect::ConnectionChange);
        QVERIFY(!m_link->Disconnect());
        QCOMPARE(change.count(), 0);

        m_link->Connect(QStringLiteral("127.0.0.1"), m_server->serverPort());
        QVERIFY(change.wait(5000));
        QueuedSignalSpy failed(m_link.get(), &TcpConnect::ConnectFailed);
        QVERIFY(m_link->Disconnect());
        QVERIFY(m_link->isFinished());
        QVERIFY(waitCount(change, 2));
        QCOMPARE(edges(change), (QList<bool>{true, false}));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(m_link->GetLocalAddress(), QHostAddress(QHostAddress::LocalHost));
    }

    void sendWithoutConnectionFails()
    {
        const quint16 port = m_server->serverPort();
        m_server->close();
        m_link->Connect(QStringLiteral("127.0.0.1"), port);
        QVERIFY(m_link->isRunning());
        QVERIFY(!emit m_link->SendData(QByteArray("x")));
        QCOMPARE(m_link->GetLocalAddress(), QHostAddress(QHostAddress::LocalHost));
    }

private:
    std::unique_ptr<QTcpServer> m_server;
    std::unique_ptr<TcpConnect> m_link;
};

QTEST_GUILESS_MAIN(tst_TcpConnect)
#include "tst_TcpConnect.moc"
