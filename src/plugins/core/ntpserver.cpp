#include "ntpserver.h"

#include <QDateTime>
#include <QDebug>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

ntpserver::ntpserver(QObject* parent)
    : ntpserver(kDefaultPort, parent)
{}

ntpserver::ntpserver(quint16 port, QObject* parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
{
    if (m_socket->bind(QHostAddress::AnyIPv4, port))
        qDebug().noquote() << QStringLiteral("NTP服务端绑定成功");
    else
        qDebug().noquote() << QStringLiteral("NTP服务端绑定端口失败");
    connect(m_socket, &QUdpSocket::readyRead, this, &ntpserver::on_ReadyRead_NTP);
}

bool ntpserver::isBound() const
{
    return m_socket->state() == QAbstractSocket::BoundState;
}

quint16 ntpserver::localPort() const
{
    return m_socket->localPort();
}

// NTP time is UTC whatever zone the PC is set to, so the instrument gets the true time.
qint64 ntpserver::currentNtpMilliseconds()
{
    return QDateTime::currentMSecsSinceEpoch() + kEpochOffsetSeconds * 1000;
}

quint32 ntpserver::byteToUInt32(const QByteArray& bytes)
{
    if (bytes.size() != 4)
        return 0;
    return qFromBigEndian<quint32>(bytes.constData());
}

qint64 ntpserver::byte64ToMillionSecond(const QByteArray& bytes)
{
    const quint64 seconds = byteToUInt32(bytes.left(4));
    const quint64 fraction = byteToUInt32(bytes.mid(4, 4));
    return qint64(seconds * 1000 + ((fraction * 1000) >> 32));
}

QByteArray ntpserver::millisecondsToTimestamp(qint64 milliseconds)
{
    // Seconds wrap at 2^32 as NTP eras do.
    const quint32 seconds = quint32(quint64(milliseconds / 1000) & 0xFFFFFFFFu);
    const quint32 fraction = quint32((quint64(milliseconds % 1000) << 32) / 1000);
    QByteArray out(8, Qt::Uninitialized);
    qToBigEndian(seconds, out.data());
    qToBigEndian(fraction, out.data() + 4);
    return out;
}

void ntpserver::on_ReadyRead_NTP()
{
    while (m_socket->hasPendingDatagrams()) {
        const qint64 receiveTime = currentNtpMilliseconds();
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        const QByteArray data = datagram.data();
        if (data.size() != kPacketSize) {
            qDebug().noquote() << QStringLiteral("包大小不对");
            continue;
        }
        if (!isClientRequest(data))
            continue;
        if (datagram.senderPort() <= 0 || datagram.senderAddress().isNull())
            continue;
        sendreplyinfo(data, receiveTime, datagram.senderAddress(), datagram.senderPort());
    }
}

bool ntpserver::isClientRequest(const QByteArray& datagram)
{
    // Only client requests get an answer: replying to server, broadcast, control or
    // private-mode packets would let forged senders bounce traffic off this PC.
    return datagram.size() == kPacketSize && (quint8(datagram[0]) & 0x07) == 3;
}

QByteArray ntpserver::buildReply(QByteArray request, qint64 receiveTime, qint64 transmitTime)
{
    if (request.size() != kPacketSize)
        return QByteArray();
    QByteArray& reply = request;
    reply[0] = char(0x1C); // leap 0, version 3, mode 4 (server)
    reply[1] = char(2);    // stratum
    reply[2] = char(4);    // poll
    reply[3] = char(0xE9); // precision -23
    reply[4] = 0;
    reply[8] = 0;
    reply.replace(24, 8, request.mid(40, 8));
    reply.replace(32, 8, millisecondsToTimestamp(receiveTime));
    reply.replace(40, 8, millisecondsToTimestamp(transmitTime));
    reply.replace(16, 8, reply.mid(40, 8));
    return reply;
}

void ntpserver::sendreplyinfo(QByteArray request, qint64 receiveTime, QHostAddress address, int port)
{
    const QByteArray reply = buildReply(request, receiveTime, currentNtpMilliseconds());
    if (!reply.isEmpty())
        m_socket->writeDatagram(reply, address, quint16(port));
}
