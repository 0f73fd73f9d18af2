#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUdpSocket>

// The acquisition card's side of the calibration datagrams (UDP, normally port 6000). It keeps
// every datagram it receives and answers the two queries to the sender's address and port:
//
//   request:  16-byte header (CC AA BB FF, version, source, target, card, u16 sequence, type 5,
//             command, u32 N), N payload bytes, CRC-32/MPEG-2 (u32 LE)
//   reply:    the same header with length N = data bytes, one status byte, the data, the CRC
//     command 10: i32 attenuation, u8 RxClk<<4|RxDelay, u8 TxClk<<4|TxDelay, u8 Phase, Gain,
//                 QOff, IOff (10 bytes)
//     command 16: u32 base offset, 61 x i32 AD compensation (248 bytes)
class CalibrationCard : public QObject
{
    Q_OBJECT
public:
    struct Datagram
    {
        QByteArray bytes;
        quint8 target = 0;
        quint8 card = 0;
        quint16 sequence = 0;
        quint8 type = 0;
        quint8 cmd = 0;
        quint32 length = 0;
        QByteArray payload;
        bool crcGood = false;
    };

    explicit CalibrationCard(QObject* parent = nullptr);
    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_socket.localPort(); }

    const QList<Datagram>& received() const { return m_received; }
    void clear() { m_received.clear(); }

    // A reply frame of the command with this data, as the card writes it.
    static QByteArray replyFrame(quint8 type, quint8 cmd, const QByteArray& data);
    // Sends raw bytes to the PC that sent the last datagram.
    void sendToPc(const QByteArray& bytes);

    QByteArray parameters = QByteArray::fromHex("e8030000"
                                                "3a"
                                                "5c"
                                                "10"
                                                "20"
                                                "80"
                                                "40"); // reply data of 10
    QByteArray table;                                  // reply data of 16
    bool silent = false;

signals:
    void datagramReceived();

private:
    void onReadyRead();

    QUdpSocket m_socket;
    QList<Datagram> m_received;
    QHostAddress m_pc;
    quint16 m_pcPort = 0;
};
