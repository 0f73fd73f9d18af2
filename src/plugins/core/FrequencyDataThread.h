#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QHostAddress>
#include <QThread>

class QUdpSocket;

// The receiver of the instrument's spectrum datagrams: a UDP socket bound to the port the
// instrument named, read in this thread, each datagram handed on whole by sendUdpData (also
// in this thread). The socket lives here while the thread runs and in the owner's thread
// otherwise.
class CORE_EXPORT FrequencyDataThread : public QThread
{
    Q_OBJECT
public:
    FrequencyDataThread();
    ~FrequencyDataThread() override;

    // Binds `port` and runs; a thread already running on that port is left as it is.
    void Start(ushort port);
    void Stop();
    quint16 localPort() const;

    // Test seam: the address the socket binds (every address unless a test says otherwise).
    void setBindAddressForTest(const QHostAddress& address) { m_bindAddress = address; }

public slots:
    void readPendingDatagrams();

signals:
    void sendUdpData(QByteArray udpData);

protected:
    void run() override;

private:
    QUdpSocket* m_socket;
    QHostAddress m_bindAddress{QHostAddress::Any};
};
