#include "SimpleMouseEvent.h"

#include <QMouseEvent>

SimpleMouseEvent::SimpleMouseEvent(QObject* owner, Handler handler)
    : QObject(nullptr)
    , m_owner(owner)
    , m_handler(std::move(handler))
{}

bool SimpleMouseEvent::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (m_handler) {
            const QMouseEvent copy(*static_cast<QMouseEvent*>(event));
            m_handler(m_owner, copy);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
