#include "FrequencyDataThread.h"

#include <QDebug>
#include <QUdpSocket>

namespace {
// At 10 000 datagrams a second the default buffer holds a few milliseconds; a larger one rides
// out a busy consumer. The system may grant less.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;
} // namespace

FrequencyDataThread::FrequencyDataThread()
    : m_socket(new QUdpSocket)
{
    qDebug() << "FrequencyDataThread::FrequencyDataThread()" << QThread::currentThread();
    connect(m_socket, &QUdpSocket::readyRead, this, &FrequencyDataThread::readPendingDatagrams, Qt::DirectConnection);
}

FrequencyDataThread::~FrequencyDataThread()
{
    Stop();
    delete m_socket;
}

quint16 FrequencyDataThread::localPort() const
{
    return isRunning() ? m_socket->localPort() : 0;
}

void FrequencyDataThread::Start(ushort port)
{
    if (isRunning() && m_socket->localPort() == port)
        return;
    Stop();
    if (!m_socket->bind(m_bindAddress, port))
        return;
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    m_socket->moveToThread(this);
    start();
}

void FrequencyDataThread::Stop()
{
    if (isRunning()) {
        requestInterruption();
        quit();
        wait();
    }
    // run() hands the socket back as it ends; a socket never moved is already here.
    if (m_socket->thread() == QThread::currentThread())
        m_socket->close();
}

void FrequencyDataThread::run()
{
    qDebug() << "virtual void FrequencyDataThread::run()" << QThread::currentThread();
    exec();
    // Pushed back while this thread still owns it: an object cannot be pulled out of a thread.
    m_socket->moveToThread(thread());
}

void FrequencyDataThread::readPendingDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        if (isInterruptionRequested())
            return;
        const qint64 size = m_socket->pendingDatagramSize();
        QByteArray data(int(qMax<qint64>(size, 0)), Qt::Uninitialized);
        const qint64 got = m_socket->readDatagram(data.data(), data.size());
        if (got < 0)
            continue;
        data.truncate(int(got));
        emit sendUdpData(data);
    }
}
