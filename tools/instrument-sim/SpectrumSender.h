#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

class QTimer;
class QUdpSocket;

// The instrument's spectrum stream: UDP datagrams to the PC at a set rate while the stream is
// on. A datagram is a signed 32-bit level correction and 2048 unsigned 32-bit power values,
// little-endian, the bins at and above the centre first (8196 bytes):
//   00 00 00 00 | 01 00 00 00 ... (2048 times)   level correction 0, every bin at power 1
// In counting mode every power value of datagram n (from 0) is n + 1, so a receiver can tell
// which datagram a curve came from. Like the relay, it only sends to loopback addresses.
class SpectrumSender : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBins = 2048;
    static constexpr int kDatagramSize = 4 + 4 * kBins;

    explicit SpectrumSender(QObject* parent = nullptr);
    ~SpectrumSender() override;

    // Datagrams a second; read at the next start.
    void setRate(int perSecond) { m_rate = perSecond; }
    int rate() const { return m_rate; }
    // Fixed datagram bytes (counting mode off), or counting datagrams of the standard size.
    void setDatagram(const QByteArray& bytes);
    void setCounting(bool on) { m_counting = on; }
    // Datagrams shaped like the receiver front end's spectrum: a noise floor, a 40 MHz pass band
    // some 15 dB above it with fresh noise in every datagram (counting mode off).
    void setShaped(bool on) { m_shaped = on; }
    // Ends the stream on its own after this many datagrams; 0 for no limit.
    void setLimit(qint64 count) { m_limit = count; }

    // To the PC's address (loopback in its place when it is not one) and the port the
    // instrument named in its answer to the switch.
    void start(const QHostAddress& pc, quint16 port);
    void stop();
    bool isRunning() const;
    qint64 sent() const { return m_sent; }

    static QByteArray countingDatagram(quint32 sequence);
    static QByteArray shapedDatagram(quint32 sequence);

signals:
    void finished();

private:
    void tick();

    QUdpSocket* m_socket = nullptr;
    QTimer* m_timer = nullptr;
    QElapsedTimer m_clock;
    QHostAddress m_target;
    quint16 m_port = 0;
    int m_rate = 10;
    bool m_counting = false;
    bool m_shaped = false;
    QByteArray m_datagram;
    qint64 m_limit = 0;
    qint64 m_sent = 0;
};
