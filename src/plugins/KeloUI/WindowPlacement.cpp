#include "WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {
WindowPlacement* g_placement = nullptr;
// The frame last seen around a window, reserved for the windows not yet shown.
QMargins g_seenFrame;
bool g_haveSeenFrame = false;

QMargins knownFrame(const QWidget* window)
{
    // Before the window manager has mapped a window, what Qt reports as its frame is a guess.
    if (!window->testAttribute(Qt::WA_Mapped))
        return QMargins();
    // The native window's margins: the widget keeps the first ones it was told until it moves.
    const QMargins m = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    // While the window manager builds the frame, Qt may read it from a frame window not yet sized
    // or placed; a frame worth the name has its title bar at the top.
    if (m.left() < 0 || m.right() < 0 || m.bottom() < 0 || m.top() <= qMax(m.bottom(), qMax(m.left(), m.right())))
        return QMargins();
    return m;
}
} // namespace

void WindowPlacement::install(QWidget* anchor)
{
    if (!g_placement) {
        g_placement = new WindowPlacement;
        g_placement->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(g_placement);
    }
    g_placement->m_anchor = anchor;
}

bool WindowPlacement::hasSystemFrame(const QWidget* window)
{
    if (window->windowFlags() & (Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint))
        return false;
    const Qt::WindowType type = window->windowType();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Tool;
}

// Windows that open and stay where a person works with them; menus, pop-ups and tool tips
// place themselves beside what opened them.
bool WindowPlacement::placed(const QWidget* window)
{
    const Qt::WindowType type = window->windowType();
    return window->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool)
        && !window->testAttribute(Qt::WA_DontShowOnScreen) && !(g_placement && window == g_placement->m_anchor);
}

QMargins WindowPlacement::frameOf(const QWidget* window)
{
    if (!hasSystemFrame(window))
        return QMargins();
    const QMargins known = knownFrame(window);
    if (!known.isNull())
        return known;
    if (g_haveSeenFrame)
        return g_seenFrame;
    // A title bar and thin borders, as most window managers draw them, scaled with the screen.
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const double scale = screen ? screen->logicalDotsPerInch() / 96.0 : 1.0;
    const int border = int(std::lround(8 * scale));
    return QMargins(border, int(std::lround(32 * scale)), border, border);
}

QRect WindowPlacement::room(const QWidget* window, const QScreen* screen)
{
    return screen->availableGeometry().marginsRemoved(frameOf(window));
}

QScreen* WindowPlacement::screenFor(const QWidget* window)
{
    QWidget* anchor = g_placement ? g_placement->m_anchor.data() : nullptr;
    if (anchor && anchor != window)
        return screenAt(anchor->frameGeometry().center(), anchor->screen());
    return QGuiApplication::primaryScreen();
}

QScreen* WindowPlacement::screenAt(const QPoint& point, QScreen* otherwise)
{
    if (QScreen* s = QGuiApplication::screenAt(point))
        return s;
    return otherwise ? otherwise : QGuiApplication::primaryScreen();
}

QRect WindowPlacement::place(const QSize& wanted, const QPoint& position, bool keepPosition, const QRect& centreIn,
                             const QRect& area, const QMargins& frame)
{
    const QRect room = area.marginsRemoved(frame);
    const QSize size = wanted.boundedTo(room.size());
    QPoint p = keepPosition
                 ? position
                 : centreIn.topLeft()
                       + QPoint((centreIn.width() - size.width()) / 2, (centreIn.height() - size.height()) / 2);
    p.setX(qBound(room.left(), p.x(), room.left() + room.width() - size.width()));
    p.setY(qBound(room.top(), p.y(), room.top() + room.height() - size.height()));
    return QRect(p, size);
}

QRect WindowPlacement::beside(const QRect& keepClear, const QSize& wanted, const QRect& area, const QMargins& frame)
{
    const QRect room = area.marginsRemoved(frame);
    const int left = qMax(room.left(), keepClear.right() + 1 + frame.left());
    const int top = qBound(room.top(), keepClear.top() + frame.top(), room.bottom());
    const int width = qMin(wanted.width(), room.right() + 1 - left);
    if (width < area.width() / 4)
        return QRect();
    return QRect(left, top, width, qMin(wanted.height(), room.bottom() + 1 - top));
}

void WindowPlacement::fit(QWidget* window)
{
    QScreen* screen = screenFor(window);
    if (!screen)
        return;
    const QMargins frame = frameOf(window);
    const QRect g = window->geometry();
    const bool keep = window->testAttribute(Qt::WA_Moved);
    // A window the person put whole on another screen stays there.
    if (keep) {
        const auto screens = QGuiApplication::screens();
        for (const QScreen* s : screens)
            if (s->availableGeometry().contains(g.marginsAdded(frame)))
                return;
    }
    const QRect area = screen->availableGeometry();
    QWidget* anchor = g_placement ? g_placement->m_anchor.data() : nullptr;
    const bool overAnchor = anchor && anchor != window && anchor->isVisible() && screenFor(window) == screen;
    const QRect centreIn = overAnchor ? anchor->geometry() : area.marginsRemoved(frame);
    const QRect target = place(g.size(), g.topLeft(), keep, centreIn, area, frame);
    if (target != g)
        window->setGeometry(target);
}

void WindowPlacement::frameLearned(QWidget* window)
{
    const QMargins frame = knownFrame(window);
    if (frame.isNull())
        return;
    for (int i = 0; i < m_awaitingFrame.size(); ++i) {
        if (m_awaitingFrame.at(i).first != window)
            continue;
        const QMargins reserved = m_awaitingFrame.takeAt(i).second;
        g_seenFrame = frame;
        g_haveSeenFrame = true;
        // The geometry reported while the window manager frames a window is not yet final:
        // place it again from the event loop, and only where the reserve fell short.
        if (frame.left() > reserved.left() || frame.top() > reserved.top() || frame.right() > reserved.right()
            || frame.bottom() > reserved.bottom())
            QTimer::singleShot(0, window, [window] { fit(window); });
        return;
    }
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        // A window's native side is shown after the widget has handled its own show, so the
        // place chosen here is the one it opens at: Qt's dialogs size and place themselves in
        // their show handling, and the window manager sees only the final geometry.
        if (watched->isWindowType()) {
            m_awaitingFrame.erase(std::remove_if(m_awaitingFrame.begin(), m_awaitingFrame.end(),
                                                 [](const auto& a) { return a.first.isNull(); }),
                                  m_awaitingFrame.end());
            const auto windows = QApplication::topLevelWidgets();
            for (QWidget* w : windows) {
                if (w->windowHandle() != watched)
                    continue;
                if (placed(w)) {
                    m_awaitingFrame.erase(std::remove_if(m_awaitingFrame.begin(), m_awaitingFrame.end(),
                                                         [w](const auto& a) { return a.first == w; }),
                                          m_awaitingFrame.end());
                    const QMargins reserved = frameOf(w);
                    fit(w);
                    if (hasSystemFrame(w) && knownFrame(w).isNull())
                        m_awaitingFrame << qMakePair(QPointer<QWidget>(w), reserved);
                }
                break;
            }
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Paint:
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
            auto* w = static_cast<QWidget*>(watched);
            if (!w->isVisible() || !w->testAttribute(Qt::WA_Mapped) || !placed(w))
                break;
            if (!m_awaitingFrame.isEmpty())
                frameLearned(w);
            // Grown with its content, a window stays whole on the screen.
            if (event->type() == QEvent::Resize && !event->spontaneous())
                fit(w);
        }
        break;
    default:
        break;
    }
    return false;
}
