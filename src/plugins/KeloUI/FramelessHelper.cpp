#include "FramelessHelper.h"

#include <QMouseEvent>
#include <QWidget>

FramelessHelper::FramelessHelper(QWidget* window, Variant variant)
    : m_window(window)
    , m_variant(variant)
{}

FramelessHelper::Region FramelessHelper::regionAt(int x, int y, int w, int h)
{
    auto within = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    if (within(x, w - kBand, w + kBand) && within(y, h - kBand, h + kBand))
        return BottomRight;
    if (within(x, -kBand, kBand) && within(y, 0, h))
        return Left;
    if (within(y, -kBand, kBand) && within(x, 0, w))
        return Top;
    if (within(x, w - kBand, w + kBand) && within(y, 0, h))
        return Right;
    if (within(y, h - kBand, h + kBand) && within(x, -kBand, w))
        return Bottom;
    return None;
}

void FramelessHelper::press(QMouseEvent* event)
{
    const QPoint local = event->localPos().toPoint();
    m_last = event->screenPos().toPoint();
    m_region = regionAt(local.x(), local.y(), m_window->width(), m_window->height());
    switch (m_region) {
    case BottomRight:
        m_window->setCursor(m_variant == ToolWindow ? Qt::SizeFDiagCursor : Qt::SizeAllCursor);
        break;
    case Right:
        m_window->setCursor(Qt::SizeHorCursor);
        break;
    case Bottom:
        m_window->setCursor(Qt::SizeVerCursor);
        break;
    case Left:
        if (m_variant == MainWindowFrame)
            m_window->setCursor(Qt::SizeHorCursor);
        break;
    case Top:
        if (m_variant == MainWindowFrame)
            m_window->setCursor(Qt::SizeVerCursor);
        break;
    default:
        m_window->setCursor(Qt::ArrowCursor);
        break;
    }
    if (m_variant == MainWindowFrame && m_region == Top)
        return;
    if (m_topBar) {
        // Plain and main windows count the bar's far edges in, one pixel beyond QRect::contains.
        const QSize reach = m_variant == ToolWindow ? QSize(0, 0) : QSize(1, 1);
        if (QRect(QPoint(0, 0), m_topBar->size() + reach).contains(local))
            m_dragging = true;
    }
}

void FramelessHelper::move(QMouseEvent* event)
{
    const QPoint global = event->screenPos().toPoint();
    const int dx = global.x() - m_last.x();
    const int dy = global.y() - m_last.y();
    const int w = m_window->width();
    const int h = m_window->height();
    if (m_region == None && m_dragging)
        m_window->move(m_window->x() + dx, m_window->y() + dy);
    switch (m_region) {
    case Right:
        m_window->resize(w + dx, h);
        break;
    case BottomRight:
        m_window->resize(w + dx, h + dy);
        break;
    case Bottom:
        m_window->resize(w, h + dy);
        break;
    case Left:
        if (m_variant == MainWindowFrame) {
            m_window->resize(w - dx, h);
            m_window->move(m_window->x() + dx, m_window->y());
        }
        break;
    case Top:
        if (m_variant == MainWindowFrame) {
            m_window->resize(w, h - dy);
            m_window->move(m_window->x(), m_window->y() + dy);
        }
        break;
    default:
        break;
    }
    m_last = global;
}

void FramelessHelper::release(QMouseEvent* event)
{
    m_dragging = false;
    m_last = event->screenPos().toPoint();
    m_window->setCursor(Qt::ArrowCursor);
    if (m_variant == MainWindowFrame) {
        m_region = None;
        if (m_onRelease)
            m_onRelease();
    }
}
