#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

class QUdpSocket;

// Answers NTP client requests on UDP so that the instrument can take its clock from the PC.
//
// Packets are the 48-byte NTP format, big-endian; a timestamp is 32-bit seconds since
// 1900-01-01 00:00 UTC followed by a 32-bit binary fraction. A reply is built over the
// request: for the request
//   1B 00 00 00 | 00 00 00 00 | 00 00 00 00 | 00 00 00 00 | ... | T1 (8 bytes at 40)
// the reply reads
//   1C 02 04 E9 | 00 r5 r6 r7 | 00 r9 rA rB | refid as sent | T3 | T1 | T2 | T3
// with T2 the time the request was read and T3 the time the reply was sent (at 16 and 40).
// Only 48-byte client requests (mode 3) are answered; everything else is dropped unanswered.
class CORE_EXPORT ntpserver : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 123;
    static constexpr int kPacketSize = 48;
    // Seconds from 1900-01-01 to 1970-01-01.
    static constexpr qint64 kEpochOffsetSeconds = Q_INT64_C(2208988800);

    explicit ntpserver(QObject* parent = nullptr);
    // Port 0 binds a free port; the system itself always uses kDefaultPort.
    ntpserver(quint16 port, QObject* parent);

    bool isBound() const;
    quint16 localPort() const;

    // Milliseconds since 1900-01-01 00:00 UTC.
    static qint64 currentNtpMilliseconds();
    static quint32 byteToUInt32(const QByteArray& bytes);
    static qint64 byte64ToMillionSecond(const QByteArray& bytes);
    static QByteArray millisecondsToTimestamp(qint64 milliseconds);
    // Whether a received datagram is a request this server answers (48 bytes, mode 3).
    static bool isClientRequest(const QByteArray& datagram);
    // The reply to an answered request: received at receiveTime, sent at transmitTime (both in
    // milliseconds since 1900); empty for a datagram of another size.
    static QByteArray buildReply(QByteArray request, qint64 receiveTime, qint64 transmitTime);

public slots:
    void on_ReadyRead_NTP();

public:
    void sendreplyinfo(QByteArray request, qint64 receiveTime, QHostAddress address, int port);

private:
    QUdpSocket* m_socket;
};
