#include "ReceiverDataTransportManagerPrivateSignals.h"

#include "ReceiverDataTransportManager.h"

#include <QDebug>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

ReceiverDataTransportManagerPrivateSignals::ReceiverDataTransportManagerPrivateSignals(
    ReceiverDataTransportManager* manager)
    : QObject(nullptr)
    , m_manager(manager)
{}

void ReceiverDataTransportManagerPrivateSignals::CloseTcp()
{
    QTcpSocket* client = nullptr;
    QTcpServer* server = nullptr;
    {
        QMutexLocker lock(&m_manager->m_mutex);
        client = m_manager->m_client;
        server = m_manager->m_server;
    }
    // Closed outside the lock: closing the client runs its disconnected handler, which takes it.
    if (client && client->thread() == QThread::currentThread())
        client->close();
    if (server && server->thread() == QThread::currentThread())
        server->close();
}

void ReceiverDataTransportManagerPrivateSignals::SendTcpData(QByteArray data)
{
    qDebug() << "SendTcpData" << QThread::currentThread();
    QMutexLocker lock(&m_manager->m_mutex);
    // A client only exists while this object lives in the client's thread; the check keeps a
    // write that was queued across a stop from touching a socket of another thread.
    QTcpSocket* client = m_manager->m_client;
    if (client && client->thread() == QThread::currentThread())
        client->write(data);
}

void ReceiverDataTransportManagerPrivateSignals::ThreadFinished()
{
    moveToThread(m_manager->thread());
}
