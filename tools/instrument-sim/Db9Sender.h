#pragma once

#include "SkyModel.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QUdpSocket;

// The DB9 output port of the "CPCI" instrument, carried over UDP: once a second an 86-byte frame
// with the timing receiver's state, position, time, BeiDou B3 satellites and their
// carrier-to-noise ratios, channel switches and self-check, sent to a loopback port (the PC's
// 54321). Multi-byte fields are little-endian except the time of day (big-endian, 40 us steps);
// byte 85 is the 8-bit sum of bytes 2 to 84:
//   55 AA 52 B2 | 03 00 02 01 | 03 00 | week u16 | seconds of week u64 | B3 bits 4 x u16 | count u16
//   | 01 | lon, lat i32 x 1e7 | alt i32 x 1e4 | yy mm dd | time u32 BE | 5 x 00 | 04 | 12 x (prn, C/N0)
//   | 01 01 | 01 | PDOP x 100 u16 | sum
class Db9Sender : public QObject
{
    Q_OBJECT
public:
    explicit Db9Sender(QObject* parent = nullptr);
    ~Db9Sender() override;

    // Frames to 127.0.0.1 (or another loopback address) and the port; a port of 0 stops them.
    void start(quint16 port, const QHostAddress& to = QHostAddress(QHostAddress::LocalHost));
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    qint64 sent() const { return m_sent; }

    // The frame for a time (milliseconds since the epoch).
    static QByteArray frame(qint64 msecs);

private:
    void tick();

    QUdpSocket* m_socket = nullptr;
    QTimer m_timer;
    QHostAddress m_to;
    quint16 m_port = 0;
    qint64 m_sent = 0;
};
