#include "TcpConnect.h"

#include <QDebug>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QTimer>

TcpConnect::TcpConnect()
{
    moveToThread(this);
    connect(this, &TcpConnect::SendData, this, &TcpConnect::slot_SendData, Qt::BlockingQueuedConnection);
    connect(this, &TcpConnect::signal_disconnect_and_exit, this, &TcpConnect::slot_disconnect_and_exit,
            Qt::QueuedConnection);
}

TcpConnect::~TcpConnect()
{
    Disconnect();
    disconnect(this, nullptr, this, nullptr);
}

void TcpConnect::Connect(QString host, quint16 port)
{
    qDebug() << "void TcpConnect::Connect(QString, quint16)" << host << port;
    if (m_up.load()) {
        qDebug() << "已存在TCP实例";
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_host = host;
        m_port = port;
    }
    m_keepConnected.store(true);
    start(QThread::InheritPriority);
}

void TcpConnect::Reconnect()
{
    if (m_up.load()) {
        qDebug() << "已存在TCP实例";
        return;
    }
    m_keepConnected.store(true);
    start(QThread::InheritPriority);
}

bool TcpConnect::Disconnect()
{
    if (!isRunning())
        return false;
    emit signal_disconnect_and_exit();
    wait();
    return true;
}

QHostAddress TcpConnect::GetLocalAddress()
{
    QMutexLocker lock(&m_mutex);
    if (isRunning() && m_up.load() && !m_localAddress.isNull())
        return m_localAddress;
    return QHostAddress(QHostAddress::LocalHost);
}

void TcpConnect::run()
{
    qDebug() << "virtual void TcpConnect::run()" << QThread::currentThreadId();
    m_timer = new QTimer;
    connect(m_timer, &QTimer::timeout, this, &TcpConnect::slot_connection_timer_timeout, Qt::DirectConnection);

    m_socket = new QTcpSocket;
    connect(m_socket, &QTcpSocket::connected, this, &TcpConnect::slot_tcp_connected, Qt::DirectConnection);
    connect(m_socket, &QTcpSocket::disconnected, this, &TcpConnect::slot_tcp_disconnected, Qt::DirectConnection);
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpConnect::slot_tcp_readready, Qt::DirectConnection);
    connect(m_socket, &QTcpSocket::stateChanged, this, &TcpConnect::slot_tcp_stateChanged, Qt::DirectConnection);
    startConnecting();

    qDebug() << "virtual void TcpConnect::run()"
             << "connectToHost"
             << "return";
    m_timer->start(m_reconnectInterval.load());
    exec();
}

void TcpConnect::startConnecting()
{
    QString host;
    quint16 port;
    {
        QMutexLocker lock(&m_mutex);
        host = m_host;
        port = m_port;
    }
    m_socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void TcpConnect::slot_connection_timer_timeout()
{
    if (!m_keepConnected.load() || !m_socket)
        return;
    switch (m_socket->state()) {
    case QAbstractSocket::UnconnectedState:
        startConnecting();
        break;
    case QAbstractSocket::ConnectingState:
        // An attempt that has not come through within one period is started afresh.
        m_socket->abort();
        startConnecting();
        break;
    default:
        break;
    }
}

void TcpConnect::slot_tcp_connected()
{
    {
        QMutexLocker lock(&m_mutex);
        m_localAddress = m_socket->localAddress();
    }
    if (!m_up.exchange(true))
        emit ConnectionChange(true);
}

void TcpConnect::slot_tcp_disconnected()
{
    {
        QMutexLocker lock(&m_mutex);
        m_localAddress = QHostAddress();
    }
    if (m_up.exchange(false))
        emit ConnectionChange(false);
}

void TcpConnect::slot_tcp_stateChanged(QAbstractSocket::SocketState state)
{
    // A link that was up falls to unconnected before it reports its disconnection, so m_up
    // still holds then: only an attempt that never connected counts as failed.
    if (state == QAbstractSocket::UnconnectedState && m_keepConnected.load() && !m_up.load())
        emit ConnectFailed();
}

void TcpConnect::slot_tcp_readready()
{
    // Drain: bytes that arrive while we read are taken in the same pass.
    while (m_socket && m_socket->bytesAvailable() > 0) {
        const QByteArray chunk = m_socket->readAll();
        if (chunk.isEmpty())
            break;
        emit RecvData(chunk);
    }
}

bool TcpConnect::slot_SendData(const QByteArray& frame)
{
    if (!isRunning() || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    return m_socket->write(frame) > 0;
}

void TcpConnect::slot_disconnect_and_exit()
{
    qDebug() << "void TcpConnect::slot_disconnect_and_exit()"
             << "Network quite";
    m_keepConnected.store(false);
    if (m_timer) {
        m_timer->stop();
        m_timer->disconnect();
        m_timer->deleteLater();
        m_timer = nullptr;
    }
    if (m_socket) {
        m_socket->disconnectFromHost();
        // Unwritten bytes would keep the socket closing after the loop has gone; cut it now so
        // the fall of the link is still reported.
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->abort();
        m_socket->disconnect();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    slot_tcp_disconnected();
    quit();
}
