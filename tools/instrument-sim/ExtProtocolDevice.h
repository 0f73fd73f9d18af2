#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>

#include <functional>
#include <map>

class QUdpSocket;

// The instrument's side of the extension protocol on UDP (variant "518"). It takes the PC's
// frames (10 02 | code | payload | checksum, the checksum a folded sum of little-endian words)
// on its own port, keeps a small device state, and answers each code through a handler of its
// own to the address and port the request came from. It only talks to loopback peers.
//   request 10 02 00 10 02  ->  reply 10 02 00 01 11 02   (state: idle)
class ExtProtocolDevice : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        quint8 code = 0;
        QByteArray payload;
        QByteArray raw; // the whole datagram as it came
        bool checksumGood = true;
    };

    struct Faults
    {
        bool silent = false;       // take requests, answer nothing
        QList<quint8> silentCodes; // replies of these codes are not sent
        bool badChecksum = false;  // replies carry a wrong checksum
        bool split = false;        // every reply goes out as two datagrams, cut in its middle
        QByteArray garbage;        // bytes sent in front of every reply, in the same datagram
        bool coalesce = false;     // two replies to one request (the second a state report) in one datagram
        // Requests of these codes fail: the command error (193, its payload the request's code)
        // goes out instead of the reply, and the request does nothing.
        QList<quint8> errorCodes;
        // The next n replies of a code are held back, each sent just before the following reply
        // of its code: an answer that comes late, while the next request of its kind waits.
        QMap<quint8, int> holdUntilNext;
    };

    explicit ExtProtocolDevice(QObject* parent = nullptr);
    ~ExtProtocolDevice() override;

    bool listen(const QHostAddress& address, quint16 port = 0);
    quint16 port() const;

    Faults& faults() { return m_faults; }
    const QList<Request>& requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    // Sends raw bytes as one datagram to the last peer (for replies a test writes itself).
    void sendRaw(const QByteArray& datagram);
    static QByteArray frame(quint8 code, const QByteArray& payload);
    static quint16 checksum(const QByteArray& bytes);

    // Device state the handlers answer from.
    qint8 mode = 1; // 1 idle, 2 collecting, 3 playing back, 4 forwarding
    QList<quint32> records;
    quint32 freeMB = 1536;
    quint32 totalMB = 3 * 1024 * 1024;
    quint32 faultWord = 0;
    quint8 power = 0;
    quint32 ip = 0, mask = 0, gateway = 0;
    QByteArray timing;     // 27 bytes answering code 33
    QByteArray leap;       // 11 bytes answering code 34
    QByteArray composite;  // 117 bytes answering code 49
    QList<QByteArray> b3i; // 210-byte records answering code 65
    QList<QByteArray> b3a; // 233-byte records answering code 66
    quint64 pulseWidth = 0;
    quint16 pulseCount = 0;

signals:
    void requestReceived(const ExtProtocolDevice::Request& request);

private:
    void onReadyRead();
    void handle(const Request& r);
    void reply(quint8 code, const QByteArray& payload);
    void write(const QByteArray& bytes);
    void sendEphemeris(quint8 code, const QList<QByteArray>& set);

    QUdpSocket* m_socket = nullptr;
    QHostAddress m_peer;
    quint16 m_peerPort = 0;
    Faults m_faults;
    QList<Request> m_requests;
    QByteArray m_out;
    QMap<quint8, QList<QByteArray>> m_held;
    std::map<quint8, std::function<void(const Request&)>> m_handlers;
};

Q_DECLARE_METATYPE(ExtProtocolDevice::Request)
