#pragma once

#include "SentenceLoop.h"
#include "skyvane_global.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>

namespace Ns {
namespace Skyvane {

// Common base of the receiver parsers: the receiver manager feeds relayed bytes through
// ParseData and switches parsing on and off without knowing which parser it holds. It also
// holds what every parser needs: the command table and its lock, the clock of the timing
// rules and the timer those rules run on.
class SKYVANE_EXPORT ReceiverHandlerBase : public QObject
{
    Q_OBJECT
public:
    using Handler = SentenceLoop::Handler;
    using Clock = std::function<qint64()>;

    explicit ReceiverHandlerBase(QObject* parent = nullptr);
    ~ReceiverHandlerBase() override;

    void StartParse();
    // Parsing stops at the next pass of a running loop; the next ParseData call then drops
    // the bytes it holds.
    void StopParse();
    bool isParsing() const { return m_parse.load(); }

    virtual void ParseData(const QByteArray& data) = 0;

    // Adds, replaces or removes a command-table entry (an empty handler removes).
    void setcustomcmd(const QString& key, int minLength, const Handler& handler);
    // Test seam: the clock of the timing rules, milliseconds since the epoch (empty restores
    // the system clock).
    void setClock(const Clock& clock);

protected:
    qint64 now() const { return m_clock(); }
    // Creates the timer: its ticks go to onTick, the parser's start and stop signals run it.
    template<class Parser>
    void createTimer(int intervalMs, void (Parser::*onTick)(), void (Parser::*start)(), void (Parser::*stop)())
    {
        Parser* self = static_cast<Parser*>(this);
        m_timer = new QTimer;
        connect(m_timer, &QTimer::timeout, self, onTick);
        connect(self, start, m_timer, QOverload<>::of(&QTimer::start));
        connect(self, stop, m_timer, &QTimer::stop);
        m_timer->setInterval(intervalMs);
    }
    // Stops and deletes the timer; the parsers call it first in their destructors, so no
    // tick reaches a parser whose members are going away.
    void releaseTimer();

    // Written from the GUI thread, read by the loop in the relay thread.
    std::atomic<bool> m_parse{false};
    // Guards the table, the buffer and the parsed state: the loop runs in the relay thread.
    QMutex m_lock;
    SentenceLoop m_loop;
    Clock m_clock;
    // Made by createTimer, released by releaseTimer.
    QTimer* m_timer = nullptr;
    // The timer is asked for from the relay thread; this tracks the request under the lock
    // instead of reading the timer's state across threads.
    bool m_timerRequested = false;
};

} // namespace Skyvane
} // namespace Ns
