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
{
}

void ReceiverDataTransportManagerPrivateSignals::CloseTcp()
{
    QMutexLocker lock(&m_manager->m_mutex);
    if (m_manager->m_client && m_manager->m_client->thread() == QThread::currentThread())
        m_manager->m_client->close();
    if (m_manager->m_server && m_manager->m_server->thread() == QThread::currentThread())
        m_manager->m_server->close();
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
