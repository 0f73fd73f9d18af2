#include <FileLogger.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <TcpConnect.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QSemaphore>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <memory>

using LinkTest::waitCount;

namespace {
// The instrument side, with framing of its own: frames are cut by the u32 length at offset 12.
class Peer : public QObject
{
    Q_OBJECT
public:
    Peer()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                socket = s;
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    pending += s->readAll();
                    while (pending.size() >= 16) {
                        const uchar* p = reinterpret_cast<const uchar*>(pending.constData()) + 12;
                        const int total = int(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24) + 20;
                        if (pending.size() < total)
                            break;
                        const QByteArray f = pending.left(total);
                        pending.remove(0, total);
                        frames << f;
                        emit frame(f);
                    }
                });
                emit connected();
            }
        });
    }
    void answerHeartbeat(uchar source)
    {
        socket->write(QByteArray::fromHex("CCAABBFF010002000000010104000000") + char(1) + char(source)
                      + QByteArray(2, '\0') + QByteArray(4, '\0'));
    }

    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray pending;
    QList<QByteArray> frames;

signals:
    void connected();
    void frame(const QByteArray& f);
};

const QByteArray kHeartbeatSeq0 = QByteArray::fromHex("CCAABBFF010002000000010101000000"
                                                      "01"
                                                      "8A5C29E1");
} // namespace

class tst_ProtocolManagerLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_app = LinkTest::appWithLog(); }
    void init()
    {
        ProtocolManager::SourceMod = 0;
        m_peer = std::make_unique<Peer>();
        QVERIFY(m_peer->server.listen(QHostAddress::LocalHost, 0));
        m_pm = std::make_unique<ProtocolManager>();
        m_pm->setHeartbeatInterval(TestTime::ms(100));
        m_pm->link()->setReconnectInterval(TestTime::ms(100));
    }
    void cleanup()
    {
        m_pm.reset();
        m_peer.reset();
    }

    void heartbeatAtLinkUpThenPeriodic()
    {
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        QSignalSpy frames(m_peer.get(), &Peer::frame);
        // Taking a sequence number inside the slot shows whether the heartbeat was already built.
        QByteArray seqAtNetSuccess;
        connect(m_pm.get(), &ProtocolManager::NetSuccess, this,
                [&] { seqAtNetSuccess = m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo).mid(8, 2); });
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_peer->server.serverPort());
        QVERIFY(waitCount(net, 1));
        QCOMPARE(net.at(0).at(0).toBool(), true);
        QCOMPARE(seqAtNetSuccess, QByteArray::fromHex("0100"));
        QVERIFY(m_pm->isConnected());
        QVERIFY(waitCount(frames, 3));
        QCOMPARE(m_peer->frames.at(0), kHeartbeatSeq0);
        QCOMPARE(m_peer->frames.at(1).mid(8, 4), QByteArray::fromHex("02000101"));
        QCOMPARE(m_peer->frames.at(2).mid(8, 4), QByteArray::fromHex("03000101"));
        QCOMPARE(m_pm->GetLocalIpAddress(), QStringLiteral("127.0.0.1"));
    }

    void sourceIdFromReplyAppearsInLaterFrames()
    {
        QSignalSpy frames(m_peer.get(), &Peer::frame);
        QSignalSpy connected(m_peer.get(), &Peer::connected);
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_peer->server.serverPort());
        QVERIFY(waitCount(frames, 1));
        m_peer->answerHeartbeat(0x2A);
        QTRY_COMPARE(int(ProtocolManager::SourceMod), 0x2A);
        const int seen = frames.count();
        QVERIFY(waitCount(frames, seen + 1));
        QCOMPARE(uchar(m_peer->frames.last().at(5)), uchar(0x2A));
    }

    void threeMissesReopenLink()
    {
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        QSignalSpy missed(m_pm.get(), &ProtocolManager::HeartBeatTimeout);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_peer->server.serverPort());
        QVERIFY(waitCount(net, 3));
        QCOMPARE(net.at(0).at(0).toBool(), true);
        QCOMPARE(net.at(1).at(0).toBool(), false);
        QCOMPARE(net.at(2).at(0).toBool(), true);
        QCOMPARE(missed.count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(missed.at(i).at(0).value<uchar>(), uchar(i + 1));
        const QStringList warnings = LinkTest::logMessages(log, FileLogger::Warning);
        QCOMPARE(
            warnings.mid(0, 4),
            (QStringList{QStringLiteral("心跳超时,超时计数 1"), QStringLiteral("心跳超时,超时计数 2"),
                         QStringLiteral("心跳超时断开,超时计数 3"), QStringLiteral("设备网络连接断开，等待重连")}));
    }

    void replyResetsMissCount()
    {
        QSignalSpy missed(m_pm.get(), &ProtocolManager::HeartBeatTimeout);
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_peer->server.serverPort());
        QVERIFY(waitCount(missed, 2));
        m_peer->answerHeartbeat(0);
        QVERIFY(waitCount(missed, 3));
        QCOMPARE(missed.at(2).at(0).value<uchar>(), uchar(1));
        QCOMPARE(net.count(), 1);
    }

    void sendAfterDisconnectFailsAtOnce()
    {
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        QSignalSpy frames(m_peer.get(), &Peer::frame);
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_peer->server.serverPort());
        QVERIFY(waitCount(frames, 1));
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(m_pm->DisConnectTcp());
        QVERIFY(!m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device));
        QVERIFY(waitCount(net, 2));
        QCOMPARE(net.at(1).at(0).toBool(), false);
        QVERIFY(!m_pm->DisConnectTcp());
        for (const QByteArray& f : qAsConst(m_peer->frames))
            QVERIFY(f.mid(10, 2) != QByteArray::fromHex("0108"));
    }

    void replyOfAClosedLinkIsNotActedOn()
    {
        QSignalSpy frames(m_peer.get(), &Peer::frame);
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_peer->server.serverPort());
        QVERIFY(waitCount(frames, 1));
        // The reply is held in this thread's queue while the link is closed under it.
        QSemaphore received;
        QObject scope;
        connect(
            m_pm->link(), &TcpConnect::RecvData, &scope, [&received] { received.release(); }, Qt::DirectConnection);
        QSignalSpy heartbeat(m_pm.get(), &ProtocolManager::HeartBeatMsg);
        m_peer->answerHeartbeat(0x2A);
        QVERIFY(m_peer->socket->flush());
        QVERIFY(received.tryAcquire(1, 5000));
        QVERIFY(m_pm->DisConnectTcp());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(heartbeat.count(), 0);
        QCOMPARE(int(ProtocolManager::SourceMod), 0);
    }

private:
    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<Peer> m_peer;
    std::unique_ptr<ProtocolManager> m_pm;
};

QTEST_GUILESS_MAIN(tst_ProtocolManagerLink)
#include "tst_ProtocolManagerLink.moc"
