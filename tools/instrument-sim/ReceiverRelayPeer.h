#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>

class QTcpSocket;

// The instrument's end of the receiver relay: told the PC's address and port, it connects back
// and streams the receiver's bytes, and it records every byte the PC sends to the receiver.
// The simulator runs on the PC itself, so it only ever dials a loopback address: an announced
// address outside 127.0.0.0/8 is recorded but 127.0.0.1 is dialled in its place.
class ReceiverRelayPeer : public QObject
{
    Q_OBJECT
public:
    struct Announcement
    {
        bool on = false;
        quint32 address = 0; // as it came: first part of the dotted form most significant
        quint16 port = 0;
    };

    explicit ReceiverRelayPeer(QObject* parent = nullptr);
    ~ReceiverRelayPeer() override;

    // The relay command: on opens a connection to address:port, off closes every connection.
    void command(const Announcement& a);
    // Opens one more connection to the last announced server, as a receiver that restarts does;
    // the older ones stay open until the PC closes them.
    void reconnect();
    // Bytes to stream as soon as a connection is up (each new connection streams them again).
    void setStream(const QByteArray& bytes, int chunkSize = 0);
    // Writes bytes on the newest connection at once.
    void send(const QByteArray& bytes);

    const QList<Announcement>& announcements() const { return m_announcements; }
    QByteArray received() const { return m_received; }
    int connectionCount() const { return m_connections; }
    int openConnections() const;

signals:
    void connected();
    void dataReceived(const QByteArray& data);
    // One of the connections was closed by the PC.
    void disconnected();

private:
    void dial();
    void writeStream(QTcpSocket* socket);

    QList<Announcement> m_announcements;
    QList<QPointer<QTcpSocket>> m_sockets;
    QByteArray m_stream;
    int m_chunkSize = 0;
    QByteArray m_received;
    int m_connections = 0;
};
