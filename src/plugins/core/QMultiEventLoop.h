#pragma once

#include "core_global.h"

#include <QEventLoop>
#include <QMutex>
#include <QObject>
#include <QTimer>

// A local event loop that runs until a number of events, counted down from any thread, has
// come in. The caller's thread keeps serving its events meanwhile.
//
// Counts that arrive before the loop runs are not lost: arm(n) first, then start whatever
// counts down, then wait(). waitFor(n) is arm and wait in one, for counts that cannot come
// before it.
class CORE_EXPORT QMultiEventLoop : public QObject
{
    Q_OBJECT
public:
    explicit QMultiEventLoop(QObject* parent = nullptr);
    ~QMultiEventLoop() override;

    void arm(int count);
    // True when every count came in; false when timeoutMs (if not negative) ran out first.
    bool wait(int timeoutMs = -1);
    bool waitFor(int count, int timeoutMs = -1);

    // Safe from any thread; counts beyond the armed number are ignored.
    void countDown();
    bool isWaiting() const;
    int pending() const;
    int total() const;

private:
    QEventLoop m_loop;
    QTimer m_timer;
    mutable QMutex m_lock;
    int m_total = 0;
    int m_pending = 0;
    bool m_timedOut = false;
};
