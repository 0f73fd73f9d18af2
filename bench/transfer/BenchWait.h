#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// Serves events until `done` holds or `timeoutMs` passed. processEvents with a time limit returns
// at once when nothing is pending, and the loop would spin a core the transfer needs; it waits for
// events instead, and this timer is one.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QTimer wake;
    wake.start(20);
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
