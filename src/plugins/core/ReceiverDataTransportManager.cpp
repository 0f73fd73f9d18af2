#include "ReceiverDataTransportManager.h"

#include "CoreUtils.h"
#include "FileLogger.h"
#include "ProtocolManager.h"
#include "ReceiverDataTrans.h"
#include "ReceiverDataTransportManagerPrivateSignals.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaObject>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {
const char* const kPeerAddress = "relayPeerAddress";
const char* const kPeerPort = "relayPeerPort";
} // namespace

ReceiverDataTransportManager::ReceiverDataTransportManager(ProtocolManager* protocol, QObject* parent)
    : QObject(parent)
    , m_private(new ReceiverDataTransportManagerPrivateSignals(this))
    , m_protocol(protocol)
    , m_interfaceSource(&ReceiverDataTransportManager::systemInterfaces)
{
    connect(this, &ReceiverDataTransportManager::signal_TcpSend, m_private,
            &ReceiverDataTransportManagerPrivateSignals::SendTcpData, Qt::QueuedConnection);
    connect(this, &ReceiverDataTransportManager::signal_TcpClose, m_private,
            &ReceiverDataTransportManagerPrivateSignals::CloseTcp, Qt::QueuedConnection);
}

ReceiverDataTransportManager::~ReceiverDataTransportManager()
{
    // The singleton is never destroyed; a test's manager must not leave its thread running.
    teardown();
    delete m_private;
}

ReceiverDataTransportManager* ReceiverDataTransportManager::Instance()
{
    static ReceiverDataTransportManager* pInstance = new ReceiverDataTransportManager;
    return pInstance;
}

ProtocolManager* ReceiverDataTransportManager::protocol() const
{
    return m_protocol ? m_protocol : ProtocolManager::instance();
}

void ReceiverDataTransportManager::setListenForTest(const QHostAddress& address, quint16 port)
{
    m_listenAddress = address;
    m_listenPort = port;
}

bool ReceiverDataTransportManager::hasClient() const
{
    QMutexLocker lock(&m_mutex);
    return m_client != nullptr;
}

// ---- address ------------------------------------------------------------------------------

QList<NetworkInterfaceEntry> ReceiverDataTransportManager::systemInterfaces()
{
    QList<NetworkInterfaceEntry> out;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        NetworkInterfaceEntry e;
        e.type = iface.type();
        e.humanReadableName = iface.humanReadableName();
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            e.addresses << entry.ip();
        out << e;
    }
    return out;
}

QString ReceiverDataTransportManager::choosePcAddress(const QString& linkAddress,
                                                      const QList<NetworkInterfaceEntry>& interfaces)
{
    // Over a loopback control link the instrument could not reach the PC at 127.0.0.x; a real
    // interface address is the better guess. Virtual adapters rarely lead to the instrument.
    if (!linkAddress.startsWith(QLatin1String("127.0.0.")))
        return linkAddress;
    QString chosen = linkAddress;
    for (const NetworkInterfaceEntry& iface : interfaces) {
        if (iface.type != QNetworkInterface::Ethernet && iface.type != QNetworkInterface::Wifi)
            continue;
        if (iface.humanReadableName.contains(QLatin1String("virtual"), Qt::CaseInsensitive)
            || iface.humanReadableName.contains(QLatin1String("VMware"), Qt::CaseInsensitive))
            continue;
        for (const QHostAddress& address : iface.addresses) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                chosen = address.toString();
        }
    }
    return chosen;
}

QString ReceiverDataTransportManager::pcAddress() const
{
    return choosePcAddress(protocol()->GetLocalIpAddress(),
                           m_interfaceSource ? m_interfaceSource() : QList<NetworkInterfaceEntry>());
}

void ReceiverDataTransportManager::announce(quint16 port)
{
    ReceiverDataTrans relay;
    relay.On = 1;
    relay.Address = ProtocolManager::ipString2Int(pcAddress());
    relay.Port = port;
    protocol()->ReceiverDataTransCmd(relay);
}

// ---- start, restart, stop -----------------------------------------------------------------

bool ReceiverDataTransportManager::StartReceiverDataTrans()
{
    qDebug() << "StartReceiverDataTrans" << QThread::currentThread();
    // A second pair beside a running one would leak a thread and a listening port.
    if (m_thread)
        teardown();

    m_listening = false;
    m_port = 0;
    m_thread = new QThread;
    m_server = new QTcpServer;
    m_server->moveToThread(m_thread);
    m_private->moveToThread(m_thread);

    connect(m_thread, &QThread::finished, m_private, &ReceiverDataTransportManagerPrivateSignals::ThreadFinished,
            Qt::DirectConnection);
    connect(m_thread, &QThread::started, this, &ReceiverDataTransportManager::run, Qt::DirectConnection);
    connect(m_thread, &QThread::finished, this, [] {
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "接收机透传线程关闭"));
        qDebug() << "虽然但是 线程结束了";
    });

    m_thread->start();
    m_startLoop.exec();

    if (!m_thread || !m_listening.load() || !m_thread->isRunning()) {
        // A failed listen ends the thread at once; nothing of this start is kept.
        teardown();
        return false;
    }
    const quint16 port = m_port.load();
    qDebug() << "服务器监听端口" << port;
    FileLogger::LogMessage(FileLogger::Info,
                           QT_TRANSLATE_NOOP("FileLogger", "发送接收机连接指令,接收机透传监听端口:%1"), port);
    announce(port);
    return true;
}

void ReceiverDataTransportManager::run()
{
    qDebug() << "run" << QThread::currentThread();
    QTcpServer* server = m_server;
    if (!server->listen(m_listenAddress, m_listenPort)) {
        QMetaObject::invokeMethod(&m_startLoop, "quit", Qt::QueuedConnection);
        QThread::currentThread()->quit();
        return;
    }
    // Direct, so it runs in this thread; the server is passed along because sender() is not set
    // for a slot that runs outside its object's thread.
    connect(
        server, &QTcpServer::newConnection, this, [this, server] { slot_Tcp_Client_Connected(server); },
        Qt::DirectConnection);
    m_port = server->serverPort();
    m_listening = true;
    // Queued: the start-up loop may not be running yet, and it belongs to the manager's thread.
    QMetaObject::invokeMethod(&m_startLoop, "quit", Qt::QueuedConnection);
}

void ReceiverDataTransportManager::RestartReceiverDataTrans()
{
    if (!m_server || !m_listening.load()) {
        StartReceiverDataTrans();
        return;
    }
    if (hasClient())
        return;
    const quint16 port = m_port.load();
    qDebug() << "重发接收机连接指令";
    qDebug() << "服务器监听端口" << port;
    FileLogger::LogMessage(FileLogger::Info,
                           QT_TRANSLATE_NOOP("FileLogger", "重发接收机连接指令,接收机透传监听端口:%1"), port);
    announce(port);
}

void ReceiverDataTransportManager::teardown()
{
    const bool inWorker = m_thread && QThread::currentThread() == m_thread;
    if (m_thread && !inWorker && !m_listening.load()) {
        // A start whose listen failed ends its thread on its own and holds nothing to close; a
        // blocking call into that ending thread would never be answered.
        m_thread->quit();
        m_thread->wait();
    }
    const bool workerRunning = m_thread && !inWorker && m_thread->isRunning();
    if (workerRunning) {
        // Closed before the thread is told to quit, so the instrument sees the close at once
        // rather than when the objects are deleted.
        QMetaObject::invokeMethod(m_private, "CloseTcp", Qt::BlockingQueuedConnection);
    } else {
        emit signal_TcpClose();
    }
    QPointer<QTcpSocket> client;
    QPointer<QTcpServer> server;
    {
        // The agent reads both under the lock, from a request that may still be queued to it.
        QMutexLocker lock(&m_mutex);
        client = m_client;
        m_client = nullptr;
        server = m_server;
        m_server = nullptr;
    }
    // Both live in the worker thread; their deletion runs there as it ends, each closed by then.
    if (client) {
        client->disconnect(this);
        client->deleteLater();
    }
    if (server) {
        server->disconnect(this);
        server->deleteLater();
    }
    if (m_thread) {
        m_thread->quit();
        if (inWorker) {
            // It cannot wait for itself: it is freed in its owner's thread once it has ended.
            connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        } else {
            m_thread->wait();
            // A thread that had ended before (a failed listen ends it at once) ran no deletion
            // asked of it: what it left is freed here, where nothing else can touch it any more.
            delete client.data();
            delete server.data();
            delete m_thread;
        }
        m_thread = nullptr;
    }
    // Requests still queued to the agent would follow it into the next worker thread and close
    // the next server there; they belong to this run.
    QCoreApplication::removePostedEvents(m_private, QEvent::MetaCall);
    m_listening = false;
    m_port = 0;
}

void ReceiverDataTransportManager::StopReceiverDataTrans()
{
    teardown();
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "发送接收机断开指令"));
    protocol()->ReceiverDataTransCmd(ReceiverDataTrans());
}

// ---- worker thread ------------------------------------------------------------------------

void ReceiverDataTransportManager::slot_Tcp_Client_Connected(QTcpServer* server)
{
    // Drained: several instruments may have connected before the worker got round to it.
    for (;;) {
        QTcpSocket* socket = server->nextPendingConnection();
        if (!socket) {
            if (!server->hasPendingConnections())
                return;
            FileLogger::LogMessage(FileLogger::Info,
                                   QT_TRANSLATE_NOOP("FileLogger", "新接收机客户端连接,异常的客户端指针"));
            return;
        }
        qDebug() << "接收机数据客户端已连接，客户端IP：" << socket->peerAddress().toString() << " ,端口号："
                 << socket->peerPort();

        QTcpSocket* previous = nullptr;
        {
            QMutexLocker lock(&m_mutex);
            previous = m_client;
            m_client = nullptr;
        }
        if (previous) {
            FileLogger::LogMessage(
                FileLogger::Info,
                QT_TRANSLATE_NOOP("FileLogger", "新接收机客户端已连接，将断开先前接收机客户端，IP：%1 端口：%2"),
                Kelo::Core::CoreUtils::addressText(socket->peerAddress()), socket->peerPort());
            // Handled here rather than by its disconnected signal, which a pending write could
            // delay past the new client's announcement.
            previous->disconnect(this);
            clientGone(previous);
        } else {
            FileLogger::LogMessage(FileLogger::Info,
                                   QT_TRANSLATE_NOOP("FileLogger", "接收机数据客户端已连接，IP：%1 端口：%2"),
                                   Kelo::Core::CoreUtils::addressText(socket->peerAddress()), socket->peerPort());
        }

        {
            QMutexLocker lock(&m_mutex);
            m_client = socket;
        }
        // The peer is forgotten by the socket once it closes; the log line of its end needs it.
        socket->setProperty(kPeerAddress, Kelo::Core::CoreUtils::addressText(socket->peerAddress()));
        socket->setProperty(kPeerPort, socket->peerPort());
        connect(
            socket, &QTcpSocket::readyRead, this, [this, socket] { slot_Tcp_Client_DataReady(socket); },
            Qt::DirectConnection);
        connect(
            socket, &QTcpSocket::disconnected, this, [this, socket] { slot_Tcp_Client_Disconnected(socket); },
            Qt::DirectConnection);
        emit transport_status_change(true);
        qDebug() << "preUseSocket" << socket;
        // Bytes that came with the connection were announced before anyone listened.
        if (socket->bytesAvailable() > 0)
            slot_Tcp_Client_DataReady(socket);
    }
}

void ReceiverDataTransportManager::slot_Tcp_Client_DataReady(QTcpSocket* socket)
{
    const QByteArray data = socket->readAll();
    if (!data.isEmpty())
        emit ReceiverDataTransport(data);
}

void ReceiverDataTransportManager::slot_Tcp_Client_Disconnected(QTcpSocket* socket)
{
    {
        QMutexLocker lock(&m_mutex);
        if (socket == m_client)
            m_client = nullptr;
    }
    socket->disconnect(this);
    clientGone(socket);
}

void ReceiverDataTransportManager::clientGone(QTcpSocket* socket)
{
    // Whatever the receiver sent last is still relayed: a closing socket may hold unread bytes.
    slot_Tcp_Client_DataReady(socket);
    FileLogger::LogMessage(FileLogger::Info,
                           QT_TRANSLATE_NOOP("FileLogger", "接收机数据客户端已断开，客户端IP：%1，端口：%2"),
                           socket->property(kPeerAddress).toString(), socket->property(kPeerPort).toUInt());
    socket->close();
    socket->deleteLater();
    emit transport_status_change(false);
}

void ReceiverDataTransportManager::SendDataToReceiver(QString text)
{
    qDebug() << "SendDataToReceiver" << QThread::currentThread();
    emit signal_TcpSend(text.toLocal8Bit());
}
