#pragma once

#include "keloui_global.h"

#include <QObject>

#include <functional>

class QMouseEvent;

// Reports the watched widget's mouse presses, releases, double clicks and moves to a handler;
// the widget still receives every event.
class KELOUI_EXPORT SimpleMouseEvent : public QObject
{
public:
    using Handler = std::function<void(QObject* owner, const QMouseEvent& event)>;

    SimpleMouseEvent(QObject* owner, Handler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_owner;
    Handler m_handler;
};
