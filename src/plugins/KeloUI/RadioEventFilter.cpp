#include "RadioEventFilter.h"

#include <QEvent>

RadioEventFilter::RadioEventFilter(QObject* parent)
    : QObject(parent)
{}

bool RadioEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    // A button takes a double click as a press; with its release swallowed it would stay
    // drawn pressed.
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Enter:
    case QEvent::Leave:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
