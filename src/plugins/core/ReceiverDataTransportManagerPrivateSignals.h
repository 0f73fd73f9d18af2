#pragma once

#include <QByteArray>
#include <QObject>

class ReceiverDataTransportManager;

// The relay's agent inside its worker thread: while the relay runs it lives there and carries
// out the socket work that other threads ask for by queued signal, so that the server and the
// receiver client are only ever touched by the thread they belong to.
class ReceiverDataTransportManagerPrivateSignals : public QObject
{
    Q_OBJECT
public:
    explicit ReceiverDataTransportManagerPrivateSignals(ReceiverDataTransportManager* manager);

public slots:
    void CloseTcp();
    void SendTcpData(QByteArray data);
    // Runs in the ending worker thread: brings this object home so a later start can move it again.
    void ThreadFinished();

private:
    ReceiverDataTransportManager* m_manager;
};
