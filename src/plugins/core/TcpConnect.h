#pragma once

#include "core_global.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QMutex>
#include <QThread>

#include <atomic>

class QTcpSocket;
class QTimer;

// The control link: one TCP connection to the instrument, held in a thread of its own. It moves
// bytes, not frames. While it is told to stay connected it retries every kReconnectIntervalMs,
// reports each rise and fall of the connection once (ConnectionChange), hands every received
// chunk on (RecvData), and writes what SendData hands it, answering whether bytes went out.
// Each attempt that ends without a connection (refused, or still pending when the period ends)
// is reported by ConnectFailed, so a caller waiting on an address that cannot be reached learns
// of it; a deliberate Disconnect reports nothing.
//
// The object lives in its own thread, so its slots run there. SendData is connected with a
// blocking queued connection: it may be emitted only from another thread, and only while the
// thread runs (isRunning()), or the emitter would wait for ever.
class CORE_EXPORT TcpConnect : public QThread
{
    Q_OBJECT
public:
    static constexpr int kReconnectIntervalMs = 3000;

    TcpConnect();
    ~TcpConnect() override;

    void Connect(QString host, quint16 port);
    void Reconnect();
    // Stops the thread and waits for it; false when it was not running.
    bool Disconnect();
    // The PC's address on the link while it is up, 127.0.0.1 otherwise.
    QHostAddress GetLocalAddress();
    bool isLinkUp() const { return m_up.load(); }

    // Test seam: lets a test retry faster than the instrument's period. Read at the next start.
    void setReconnectInterval(int milliseconds) { m_reconnectInterval.store(milliseconds); }

signals:
    bool SendData(const QByteArray& frame);
    void RecvData(const QByteArray& data);
    void ConnectionChange(bool connected);
    void ConnectFailed();
    void signal_disconnect_and_exit();

public slots:
    void slot_disconnect_and_exit();
    void slot_tcp_connected();
    void slot_tcp_disconnected();
    void slot_tcp_readready();
    bool slot_SendData(const QByteArray& frame);
    void slot_connection_timer_timeout();
    void slot_tcp_stateChanged(QAbstractSocket::SocketState state);

protected:
    void run() override;

private:
    void startConnecting();

    mutable QMutex m_mutex; // host, port and local address, shared with the owner's thread
    QString m_host;
    quint16 m_port = 0;
    QHostAddress m_localAddress;

    // Link thread only.
    QTcpSocket* m_socket = nullptr;
    QTimer* m_timer = nullptr;

    std::atomic<bool> m_keepConnected{false};
    std::atomic<bool> m_up{false};
    std::atomic<int> m_reconnectInterval{kReconnectIntervalMs};
};
