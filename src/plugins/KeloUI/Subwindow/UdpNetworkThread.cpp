#include "UdpNetworkThread.h"

#include <QList>
#include <QUdpSocket>

#include <new>

UdpNetworkThread::UdpNetworkThread(QObject* parent)
    : QThread(parent)
{
    moveToThread(this);
}

UdpNetworkThread::~UdpNetworkThread()
{
    // The socket belongs to the thread: it is closed and freed there when the loop ends.
    if (isRunning()) {
        quit();
        wait();
    }
}

void UdpNetworkThread::run()
{
    m_socket = new QUdpSocket;
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpNetworkThread::handleUdp);
    exec();
    m_socket->close();
    disconnect(m_socket, nullptr, this, nullptr);
    delete m_socket;
    m_socket = nullptr;
    m_bound = false;
    m_localPort = 0;
}

void UdpNetworkThread::open(ushort localport, QString targetip, ushort targetport)
{
    if (!m_socket)
        return;
    m_socket->close();
    const bool bound = m_socket->bind(QHostAddress::AnyIPv4, localport);
    m_bound = bound;
    m_localPort = bound ? m_socket->localPort() : quint16(0);
    m_targetAddress = QHostAddress(targetip);
    m_targetPort = targetport;
}

void UdpNetworkThread::close()
{
    if (!m_socket)
        return;
    m_socket->close();
    m_bound = false;
    m_localPort = 0;
}

void UdpNetworkThread::send(QByteArray data)
{
    if (!m_socket || !m_bound)
        return;
    m_socket->writeDatagram(data, m_targetAddress, m_targetPort);
}

void UdpNetworkThread::handleUdp()
{
    QList<QByteArray> datagrams;
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        QByteArray d;
        try {
            d.resize(int(qMax<qint64>(0, size)));
        } catch (const std::bad_alloc&) {
            break;
        }
        const qint64 got = m_socket->readDatagram(d.data(), d.size());
        if (got < 0)
            break;
        d.resize(int(got));
        datagrams.append(d);
    }
    for (const QByteArray& d : datagrams)
        emit recv(d);
}
