#include "ReceiverHandlerBase.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QTimer>

namespace Ns {
namespace Skyvane {

namespace {
qint64 systemClock()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

ReceiverHandlerBase::ReceiverHandlerBase(QObject* parent)
    : QObject(parent)
    , m_clock(systemClock)
{}

ReceiverHandlerBase::~ReceiverHandlerBase()
{
    // Parsers release their timer themselves; this only catches one that did not.
    delete m_timer;
}

void ReceiverHandlerBase::StartParse()
{
    m_parse.store(true);
}

void ReceiverHandlerBase::StopParse()
{
    m_parse.store(false);
}

void ReceiverHandlerBase::setcustomcmd(const QString& key, int minLength, const Handler& handler)
{
    QMutexLocker locker(&m_lock);
    m_loop.setCommand(key, minLength, handler);
}

void ReceiverHandlerBase::setClock(const Clock& clock)
{
    QMutexLocker locker(&m_lock);
    m_clock = clock ? clock : Clock(systemClock);
}

void ReceiverHandlerBase::releaseTimer()
{
    if (!m_timer)
        return;
    m_timer->stop();
    disconnect(this, nullptr, m_timer, nullptr);
    disconnect(m_timer, nullptr, this, nullptr);
    delete m_timer;
    m_timer = nullptr;
    disconnect(this, nullptr, this, nullptr);
}

} // namespace Skyvane
} // namespace Ns
