#include "CalibrationCard.h"

#include "SimBytes.h"
#include "SimFrame.h"

#include <QNetworkDatagram>

using SimBytes::get;
using SimBytes::put;

CalibrationCard::CalibrationCard(QObject* parent)
    : QObject(parent)
{
    for (int k = 0; k <= 61; ++k)
        put(table, k == 0 ? 12345u : quint32(qint32(100 * k - 3000)), 4);
    connect(&m_socket, &QUdpSocket::readyRead, this, &CalibrationCard::onReadyRead);
}

bool CalibrationCard::listen(const QHostAddress& address, quint16 port)
{
    return m_socket.bind(address, port);
}

QByteArray CalibrationCard::replyFrame(quint8 type, quint8 cmd, const QByteArray& data)
{
    QByteArray f;
    put(f, 0xFFBBAACCu, 4);
    f.append(char(1));
    f.append(char(0));
    f.append(char(1)); // to the PC
    f.append(char(0));
    put(f, 0, 2);
    f.append(char(type));
    f.append(char(cmd));
    put(f, quint32(data.size()), 4);
    f.append(char(1)); // status
    f += data;
    put(f, SimFrame::crc(f), 4);
    return f;
}

void CalibrationCard::sendToPc(const QByteArray& bytes)
{
    m_socket.writeDatagram(bytes, m_pc, m_pcPort);
}

void CalibrationCard::onReadyRead()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram in = m_socket.receiveDatagram();
        Datagram d;
        d.bytes = in.data();
        if (d.bytes.size() >= 20) {
            d.target = quint8(d.bytes.at(6));
            d.card = quint8(d.bytes.at(7));
            d.sequence = quint16(get(d.bytes, 8, 2));
            d.type = quint8(d.bytes.at(10));
            d.cmd = quint8(d.bytes.at(11));
            d.length = get(d.bytes, 12, 4);
            d.payload = d.bytes.mid(16, d.bytes.size() - 20);
            d.crcGood = get(d.bytes, d.bytes.size() - 4, 4) == SimFrame::crc(d.bytes.left(d.bytes.size() - 4));
        }
        m_pc = in.senderAddress();
        m_pcPort = quint16(in.senderPort());
        m_received << d;
        if (!silent && d.type == 5 && d.cmd == 10)
            sendToPc(replyFrame(5, 10, parameters));
        else if (!silent && d.type == 5 && d.cmd == 16)
            sendToPc(replyFrame(5, 16, table.left(248)));
        emit datagramReceived();
    }
}
