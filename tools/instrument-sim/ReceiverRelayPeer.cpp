#include "ReceiverRelayPeer.h"

#include <QTcpSocket>

ReceiverRelayPeer::ReceiverRelayPeer(QObject* parent)
    : QObject(parent)
{}

ReceiverRelayPeer::~ReceiverRelayPeer()
{
    for (const auto& s : qAsConst(m_sockets)) {
        if (s) {
            s->disconnect(this);
            s->abort();
            delete s;
        }
    }
}

void ReceiverRelayPeer::command(const Announcement& a)
{
    m_announcements << a;
    if (!a.on) {
        for (const auto& s : qAsConst(m_sockets))
            if (s)
                s->disconnectFromHost();
        return;
    }
    dial();
}

void ReceiverRelayPeer::reconnect()
{
    if (!m_announcements.isEmpty() && m_announcements.last().on)
        dial();
}

void ReceiverRelayPeer::dial()
{
    const Announcement& a = m_announcements.last();
    QHostAddress target(a.address);
    if ((a.address >> 24) != 127)
        target = QHostAddress(QHostAddress::LocalHost);
    auto* socket = new QTcpSocket(this);
    m_sockets << socket;
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        ++m_connections;
        emit connected();
        writeStream(socket);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        const QByteArray data = socket->readAll();
        m_received += data;
        emit dataReceived(data);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        socket->deleteLater();
        emit disconnected();
    });
    socket->connectToHost(target, a.port);
}

void ReceiverRelayPeer::setStream(const QByteArray& bytes, int chunkSize)
{
    m_stream = bytes;
    m_chunkSize = chunkSize;
}

void ReceiverRelayPeer::writeStream(QTcpSocket* socket)
{
    if (m_stream.isEmpty())
        return;
    if (m_chunkSize <= 0) {
        socket->write(m_stream);
        return;
    }
    // Separate writes with a flush between them, so the PC sees the stream in pieces.
    for (int at = 0; at < m_stream.size(); at += m_chunkSize) {
        socket->write(m_stream.constData() + at, qMin(m_chunkSize, m_stream.size() - at));
        socket->flush();
    }
}

void ReceiverRelayPeer::send(const QByteArray& bytes)
{
    for (int i = m_sockets.size() - 1; i >= 0; --i) {
        QTcpSocket* s = m_sockets.at(i);
        if (s && s->state() == QAbstractSocket::ConnectedState) {
            s->write(bytes);
            return;
        }
    }
}

int ReceiverRelayPeer::openConnections() const
{
    int n = 0;
    for (const auto& s : m_sockets)
        if (s && s->state() == QAbstractSocket::ConnectedState)
            ++n;
    return n;
}
