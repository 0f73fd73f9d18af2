#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <ReceiverDataTransportManager.h>
#include <ReceiverRelayPeer.h>
#include <TcpConnect.h>
#include <TestAppDir.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QThread>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <memory>

using LinkTest::waitCount;
using LinkTest::waitFor;

namespace {
// The consumer, in the test's thread: the relay's signals reach it queued, in emission order.
class Consumer : public QObject
{
    Q_OBJECT
public:
    QByteArray data;
    QList<bool> statuses;
    QList<QThread*> dataThreads;

    void onData(const QByteArray& d)
    {
        data += d;
        emit changed();
    }
    void onStatus(bool connected)
    {
        statuses << connected;
        emit changed();
    }

signals:
    void changed();
};

bool waitFor(Consumer& c, const std::function<bool()>& done)
{
    QSignalSpy spy(&c, &Consumer::changed);
    return LinkTest::waitFor(spy, done);
}

// Receiver sentences, numbered so that a lost, doubled or reordered piece shows.
QByteArray sentences(int count, const QByteArray& tag)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "$GNGGA," + tag + "," + QByteArray::number(i) + ",3150.7821,N,11711.9307,E,1,24,0.6,52.8,M,,M,,*47\r\n";
    return out;
}
} // namespace

class tst_ReceiverRelay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_app = LinkTest::appWithLog(); }
    void init()
    {
        QVERIFY(LinkTest::startSim(m_sim, m_pm));
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));

        m_relay = std::make_unique<ReceiverDataTransportManager>(m_pm.get());
        // No interface of this machine may be announced: over the loopback link the choice stays 127.0.0.1.
        m_relay->setInterfaceSource([] { return QList<NetworkInterfaceEntry>(); });
        m_relay->setListenForTest(QHostAddress::LocalHost, 0);
        m_consumer = std::make_unique<Consumer>();
        connect(m_relay.get(), &ReceiverDataTransportManager::ReceiverDataTransport, m_consumer.get(),
                &Consumer::onData);
        connect(m_relay.get(), &ReceiverDataTransportManager::transport_status_change, m_consumer.get(),
                &Consumer::onStatus);
    }
    void cleanup()
    {
        m_relay.reset();
        m_consumer.reset();
        m_pm.reset();
        m_sim.reset();
    }

    void streamArrivesWholeAndInOrder_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("one write") << 0;
        QTest::newRow("small pieces") << 37;
        QTest::newRow("pieces across sentences") << 4093;
    }
    void streamArrivesWholeAndInOrder()
    {
        QFETCH(int, chunk);
        const QByteArray stream = sentences(3000, "A");
        m_sim->relay().setStream(stream, chunk);
        QVERIFY(m_relay->StartReceiverDataTrans());
        QVERIFY(m_relay->isListening());

        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->data.size() >= stream.size(); }));
        QCOMPARE(m_consumer->data.size(), stream.size());
        QVERIFY(m_consumer->data == stream);
        QCOMPARE(m_consumer->statuses, QList<bool>{true});

        // The announcement: relay on, 127.0.0.1 as the dotted form reads it, the server's port.
        const auto& a = m_sim->relay().announcements();
        QCOMPARE(a.size(), 1);
        QVERIFY(a.at(0).on);
        QCOMPARE(a.at(0).address, quint32(0x7F000001));
        QCOMPARE(a.at(0).port, m_relay->serverPort());
        const auto relayFrames = relayRequests();
        QCOMPARE(relayFrames.size(), 1);
        const quint16 port = m_relay->serverPort();
        QByteArray expected = QByteArray::fromHex("0100"
                                                  "0100007F");
        expected += char(port & 0xFF);
        expected += char(port >> 8);
        QCOMPARE(relayFrames.at(0).payload, expected);
    }

    void consumerConnectedDirectlyRunsInWorker()
    {
        QMutex lock;
        QThread* seen = nullptr;
        {
            // The context ends the connection before the locals it uses go away.
            QObject context;
            connect(
                m_relay.get(), &ReceiverDataTransportManager::ReceiverDataTransport, &context,
                [&](const QByteArray&) {
                    {
                        QMutexLocker l(&lock);
                        seen = QThread::currentThread();
                    }
                    QMetaObject::invokeMethod(m_consumer.get(), "changed", Qt::QueuedConnection);
                },
                Qt::DirectConnection);
            m_sim->relay().setStream(sentences(10, "D"));
            QVERIFY(m_relay->StartReceiverDataTrans());
            const bool got = waitFor(*m_consumer, [&] {
                QMutexLocker l(&lock);
                return seen != nullptr;
            });
            m_relay->StopReceiverDataTrans();
            QVERIFY(got);
        }
        QVERIFY(seen != QThread::currentThread());
    }

    void textBackArrives()
    {
        QVERIFY(m_relay->StartReceiverDataTrans());
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses == QList<bool>{true}; }));

        m_relay->SendDataToReceiver(QStringLiteral("log gpgsv ontime 1\r\n"));
        // From another thread as well: the write is carried out in the worker all the same.
        std::unique_ptr<QThread> other(
            QThread::create([this] { m_relay->SendDataToReceiver(QStringLiteral("unlogall\r\n")); }));
        other->start();
        QVERIFY(other->wait(10000));

        const QByteArray expected = "log gpgsv ontime 1\r\nunlogall\r\n";
        ReceiverRelayPeer* peer = &m_sim->relay();
        QVERIFY(waitFor(peer, SIGNAL(dataReceived(QByteArray)),
                        [&] { return peer->received().size() >= expected.size(); }));
        QCOMPARE(peer->received(), expected);
    }

    void secondClientHandsOver()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_sim->relay().setStream(sentences(200, "first"));
        QVERIFY(m_relay->StartReceiverDataTrans());
        const QByteArray first = sentences(200, "first");
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->data.size() >= first.size(); }));
        QCOMPARE(m_consumer->data, first);

        ReceiverRelayPeer* peer = &m_sim->relay();
        QSignalSpy peerGone(peer, &ReceiverRelayPeer::disconnected);
        const QByteArray second = sentences(200, "second");
        peer->setStream(second);
        peer->reconnect();

        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->data.size() >= first.size() + second.size(); }));
        QCOMPARE(m_consumer->data, first + second);
        // The consumer sees the old client go before the new one is announced.
        QCOMPARE(m_consumer->statuses, (QList<bool>{true, false, true}));
        QVERIFY(waitCount(peerGone, 1));
        QVERIFY(waitFor(peer, SIGNAL(disconnected()), [&] { return peer->openConnections() == 1; }));
        QVERIFY(m_relay->hasClient());
        QVERIFY(LinkTest::logTexts(log, FileLogger::Info)
                    .filter(QStringLiteral("新接收机客户端已连接，将断开先前接收机客户端，IP：127.0.0.1"))
                    .size()
                == 1);

        // Text now goes to the newest connection only, and once.
        m_relay->SendDataToReceiver(QStringLiteral("freset\r\n"));
        QVERIFY(waitFor(peer, SIGNAL(dataReceived(QByteArray)), [&] { return !peer->received().isEmpty(); }));
        QCOMPARE(peer->received(), QByteArray("freset\r\n"));
    }

    void instrumentClosingIsSeenAndDataKept()
    {
        const QByteArray stream = sentences(500, "C");
        m_sim->relay().setStream(stream);
        QVERIFY(m_relay->StartReceiverDataTrans());
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses.size() == 1; }));
        // The instrument switches its relay off from its own side.
        ReceiverRelayPeer::Announcement off;
        m_sim->relay().command(off);
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses.size() == 2; }));
        QCOMPARE(m_consumer->statuses, (QList<bool>{true, false}));
        QCOMPARE(m_consumer->data, stream);
        QVERIFY(!m_relay->hasClient());
    }

    void stopClosesClientAndSendsOff()
    {
        QVERIFY(m_relay->StartReceiverDataTrans());
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses.size() == 1; }));
        ReceiverRelayPeer* peer = &m_sim->relay();
        QSignalSpy peerGone(peer, &ReceiverRelayPeer::disconnected);
        m_relay->StopReceiverDataTrans();
        QVERIFY(!m_relay->isListening());
        QVERIFY(!m_relay->hasClient());
        QVERIFY(waitCount(peerGone, 1));
        QVERIFY(waitFor(m_sim.get(), SIGNAL(requestReceived(InstrumentSim::Request)),
                        [&] { return relayRequests().size() == 2; }));
        QCOMPARE(relayRequests().at(1).payload, QByteArray(8, '\0'));

        // Text with no client is dropped without a trace; a new start works again.
        m_relay->SendDataToReceiver(QStringLiteral("ignored\r\n"));
        m_sim->relay().setStream("$again\r\n");
        QVERIFY(m_relay->StartReceiverDataTrans());
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->data.endsWith("$again\r\n"); }));
        m_relay->StopReceiverDataTrans();
        QVERIFY(!peer->received().contains("ignored"));
    }

    void stopWithoutStartStillSendsOff()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_relay->StopReceiverDataTrans();
        QVERIFY(LinkTest::logTexts(log, FileLogger::Info).filter(QStringLiteral("发送接收机断开指令")).size() == 1);
        QVERIFY(waitFor(m_sim.get(), SIGNAL(requestReceived(InstrumentSim::Request)),
                        [&] { return relayRequests().size() == 1; }));
        QCOMPARE(relayRequests().at(0).payload, QByteArray(8, '\0'));
    }

    void failedListenSendsNothingAndRestartRecovers_data()
    {
        // What follows the failed start. Under leak detection every row also shows that the
        // failed start's thread and server were freed.
        QTest::addColumn<QString>("then");
        QTest::newRow("restart") << "restart";
        QTest::newRow("stop") << "stop";
        QTest::newRow("manager destroyed") << "destroyed";
    }
    void failedListenSendsNothingAndRestartRecovers()
    {
        QFETCH(QString, then);
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, 0));
        m_relay->setListenForTest(QHostAddress::LocalHost, squatter.serverPort());
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QVERIFY(!m_relay->StartReceiverDataTrans());
        QVERIFY(!m_relay->isListening());
        QVERIFY(waitFor(FileLogger::instance(), SIGNAL(MessageLogged(FileLogger::LogType, QString)), [&] {
            return LinkTest::logTexts(log, FileLogger::Info).filter(QStringLiteral("接收机透传线程关闭")).size() == 1;
        }));

        if (then == QLatin1String("destroyed")) {
            m_relay.reset();
            return;
        }
        if (then == QLatin1String("stop")) {
            m_relay->StopReceiverDataTrans();
            QVERIFY(waitFor(m_sim.get(), SIGNAL(requestReceived(InstrumentSim::Request)),
                            [&] { return relayRequests().size() >= 1; }));
            QCOMPARE(relayRequests().size(), 1);
            QCOMPARE(relayRequests().at(0).payload, QByteArray(8, '\0'));
            return;
        }

        m_relay->setListenForTest(QHostAddress::LocalHost, 0);
        m_sim->relay().setStream("$after\r\n");
        m_relay->RestartReceiverDataTrans();
        QVERIFY(m_relay->isListening());
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->data == "$after\r\n"; }));
        // The failed start announced nothing: the only relay frame is the one of the restart.
        QVERIFY(waitFor(m_sim.get(), SIGNAL(requestReceived(InstrumentSim::Request)),
                        [&] { return relayRequests().size() >= 1; }));
        QCOMPARE(relayRequests().size(), 1);
        QCOMPARE(m_sim->relay().announcements().at(0).port, m_relay->serverPort());
    }

    void restartAnnouncesOnlyWithoutClient()
    {
        ReceiverRelayPeer* peer = &m_sim->relay();
        QVERIFY(m_relay->StartReceiverDataTrans());
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses.size() == 1; }));
        // With a client, nothing; the stop's frame then arrives as the second relay frame.
        m_relay->RestartReceiverDataTrans();
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses.size() == 1; }));

        peer->command(ReceiverRelayPeer::Announcement());
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses.size() == 2; }));
        const quint16 port = m_relay->serverPort();
        // Without a client, the same port is announced again and the instrument connects back.
        m_relay->RestartReceiverDataTrans();
        QVERIFY(waitFor(*m_consumer, [&] { return m_consumer->statuses.size() == 3; }));
        QCOMPARE(m_consumer->statuses, (QList<bool>{true, false, true}));
        const auto announced = relayRequests();
        QCOMPARE(announced.size(), 2);
        QCOMPARE(m_relay->serverPort(), port);
        QCOMPARE(announced.at(0).payload, announced.at(1).payload);
    }

private:
    // The receiver relay's switch requests.
    QList<InstrumentSim::Request> relayRequests() const
    {
        return LinkTest::requestsOf(*m_sim, Msg_Type::Extend, Msg_Cmd::ReceiverDataTrans);
    }

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<ProtocolManager> m_pm;
    std::unique_ptr<ReceiverDataTransportManager> m_relay;
    std::unique_ptr<Consumer> m_consumer;
};

QTEST_GUILESS_MAIN(tst_ReceiverRelay)
#include "tst_ReceiverRelay.moc"
