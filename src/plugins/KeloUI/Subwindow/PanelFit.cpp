#include "PanelFit.h"

#include <WindowPlacement.h>

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

PanelFit::PanelFit(QWidget* window, QLayout* windowLayout, QScrollArea* area, QLayout* contentLayout)
    : QObject(window)
    , m_window(window)
    , m_area(area)
    , m_content(area->widget())
{
    contentLayout->setContentsMargins(windowLayout->contentsMargins());
    windowLayout->setContentsMargins(0, 0, 0, 0);
    window->installEventFilter(this);
    m_content->installEventFilter(this);
}

QSize PanelFit::leastSize() const
{
    if (!m_area || !m_area->widget())
        return QSize();
    QSize content = m_area->widget()->minimumSizeHint();
    if (QScreen* s = WindowPlacement::screenFor(m_window)) {
        const QSize room = WindowPlacement::room(m_window, s).size();
        // Scrolling down, it keeps room beside the content for the scroll bar.
        if (content.height() > room.height())
            content.rwidth() += m_area->verticalScrollBar()->sizeHint().width();
        // Where the content scrolls anyway, the window need not fill the screen: demanding the
        // whole room would make it grow over the windows around it at its next relayout (a tab
        // chosen), once the window manager's real frame turned out thinner than the one reserved.
        if (content.width() > room.width())
            content.setWidth(room.width() / 2);
        if (content.height() > room.height())
            content.setHeight(room.height() / 2);
    }
    return content;
}

bool PanelFit::eventFilter(QObject* watched, QEvent* event)
{
    const bool shown = event->type() == QEvent::Show && watched == m_window;
    const bool relaid = event->type() == QEvent::LayoutRequest && watched == m_content && m_window->isVisible();
    if (shown || relaid)
        m_window->setMinimumSize(m_window->minimumSizeHint());
    return QObject::eventFilter(watched, event);
}
