#pragma once

#include "core_global.h"

#include "NetworkInterfaceEntry.h"

#include <QByteArray>
#include <QEventLoop>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class ProtocolManager;
class QTcpServer;
class QTcpSocket;
class QThread;
class ReceiverDataTransportManagerPrivateSignals;

// Relays the byte stream of the instrument's GNSS receiver. The PC does not dial the instrument
// for it: a start opens a TCP server in a worker thread on a port the system chooses and tells
// the instrument the PC's IPv4 address and that port (relay command, Extend/1); the instrument
// connects back and streams. One receiver client is current at a time, and the newest wins.
//
// ReceiverDataTransport and transport_status_change are emitted in the worker thread, so a
// consumer connected directly runs there; on a hand-over the consumer sees false for the old
// client before true for the new one. SendDataToReceiver may be called from any thread; the
// socket work it asks for always runs in the worker thread.
class CORE_EXPORT ReceiverDataTransportManager : public QObject
{
    Q_OBJECT
public:
    using InterfaceSource = std::function<QList<NetworkInterfaceEntry>()>;

    // Public so that tests can run a manager against their own protocol manager; the system
    // uses Instance(), which sends through ProtocolManager::instance().
    explicit ReceiverDataTransportManager(ProtocolManager* protocol = nullptr, QObject* parent = nullptr);
    ~ReceiverDataTransportManager() override;

    static ReceiverDataTransportManager* Instance();

    bool StartReceiverDataTrans();
    void RestartReceiverDataTrans();
    void StopReceiverDataTrans();

    // The address to announce: the control link's local address, unless that is a loopback one
    // and an Ethernet or Wi-Fi interface not named virtual or VMware has an IPv4 address; then
    // the last such address.
    static QString choosePcAddress(const QString& linkAddress, const QList<NetworkInterfaceEntry>& interfaces);
    static QList<NetworkInterfaceEntry> systemInterfaces();

    // Test seams: the interface list the address is chosen from, and where the server listens
    // (QHostAddress::Any on a port the system picks unless a test says otherwise).
    void setInterfaceSource(InterfaceSource source) { m_interfaceSource = std::move(source); }
    void setListenForTest(const QHostAddress& address, quint16 port);

    bool isListening() const { return m_listening.load(); }
    quint16 serverPort() const { return m_port.load(); }
    bool hasClient() const;

public slots:
    void SendDataToReceiver(QString text);

signals:
    void ReceiverDataTransport(const QByteArray& data);
    void signal_TcpClose();
    void signal_TcpSend(QByteArray text);
    void transport_status_change(bool connected);

private:
    friend class ReceiverDataTransportManagerPrivateSignals;

    void run();
    void slot_Tcp_Client_Connected(QTcpServer* server);
    void slot_Tcp_Client_DataReady(QTcpSocket* socket);
    void slot_Tcp_Client_Disconnected(QTcpSocket* socket);
    // Log, forget, close and release a client that went away; emits transport_status_change(false).
    void clientGone(QTcpSocket* socket);
    // Stops client, server and thread without telling the instrument.
    void teardown();
    QString pcAddress() const;
    void announce(quint16 port);
    ProtocolManager* protocol() const;

    ReceiverDataTransportManagerPrivateSignals* m_private = nullptr;
    QThread* m_thread = nullptr;
    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr; // written by the manager's thread and the worker: m_mutex
    QEventLoop m_startLoop;

    mutable QMutex m_mutex;
    std::atomic<bool> m_listening{false};
    std::atomic<quint16> m_port{0};
    ProtocolManager* m_protocol = nullptr;
    InterfaceSource m_interfaceSource;
    QHostAddress m_listenAddress{QHostAddress::Any};
    quint16 m_listenPort = 0;
};
