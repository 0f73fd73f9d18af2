#pragma once

#include "keloui_global.h"

#include <QByteArray>
#include <QHostAddress>
#include <QThread>

#include <atomic>

class QUdpSocket;

// The extension panel's socket thread. The object lives in its own thread (moved there at
// construction), so its slots run beside the socket they touch; the GUI reaches it only
// through queued (open and close: blocking queued) signals.
class KELOUI_EXPORT UdpNetworkThread : public QThread
{
    Q_OBJECT
public:
    explicit UdpNetworkThread(QObject* parent = nullptr);
    ~UdpNetworkThread() override;

    bool isBound() const { return m_bound.load(); }
    // The local port bound by the last open (0 while not bound); for display and tests.
    quint16 localPort() const { return m_localPort.load(); }

signals:
    void recv(QByteArray data);

public slots:
    void open(ushort localport, QString targetip, ushort targetport);
    void close();
    void send(QByteArray data);

protected:
    void run() override;

private slots:
    void handleUdp();

private:
    QUdpSocket* m_socket = nullptr;
    QHostAddress m_targetAddress;
    quint16 m_targetPort = 0;
    std::atomic<bool> m_bound{false};
    std::atomic<quint16> m_localPort{0};
};
