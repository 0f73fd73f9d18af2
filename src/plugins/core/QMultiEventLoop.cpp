#include "QMultiEventLoop.h"

#include <QMetaObject>
#include <QMutexLocker>

QMultiEventLoop::QMultiEventLoop(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        {
            QMutexLocker lock(&m_lock);
            m_timedOut = true;
        }
        m_loop.quit();
    });
}

QMultiEventLoop::~QMultiEventLoop() = default;

void QMultiEventLoop::arm(int count)
{
    QMutexLocker lock(&m_lock);
    m_total = qMax(0, count);
    m_pending = m_total;
    m_timedOut = false;
}

bool QMultiEventLoop::wait(int timeoutMs)
{
    if (timeoutMs >= 0)
        m_timer.start(timeoutMs);
    for (;;) {
        {
            QMutexLocker lock(&m_lock);
            if (m_pending == 0 || m_timedOut)
                break;
        }
        // A quit left over from an earlier wait only brings us back here.
        m_loop.exec();
    }
    m_timer.stop();
    QMutexLocker lock(&m_lock);
    return m_pending == 0;
}

bool QMultiEventLoop::waitFor(int count, int timeoutMs)
{
    arm(count);
    return wait(timeoutMs);
}

void QMultiEventLoop::countDown()
{
    {
        QMutexLocker lock(&m_lock);
        if (m_pending == 0)
            return;
        if (--m_pending > 0)
            return;
    }
    // Queued to the loop's thread: the quit lands even when the loop has not started yet, and
    // the timer is stopped in its own thread by wait().
    QMetaObject::invokeMethod(&m_loop, "quit", Qt::QueuedConnection);
}

bool QMultiEventLoop::isWaiting() const
{
    return m_loop.isRunning();
}

int QMultiEventLoop::pending() const
{
    QMutexLocker lock(&m_lock);
    return m_pending;
}

int QMultiEventLoop::total() const
{
    QMutexLocker lock(&m_lock);
    return m_total;
}
