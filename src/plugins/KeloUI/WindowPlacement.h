#pragma once

#include "keloui_global.h"

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QRect>

class QScreen;
class QWidget;

// Opens every window of the application whole within the available area of the main window's
// screen, its frame and title bar included: a window larger than that area is made smaller (its
// content scrolls where it has to) and one that would stand over an edge is moved in. Qt's own
// dialogs and message boxes are placed the same way as the application's windows.
//
// Under X11 the window manager's frame is not known before a window is first shown, so until
// one has been seen a plausible frame is reserved; once the real frame shows, a window it pushes
// over an edge is moved in once more.
class KELOUI_EXPORT WindowPlacement : public QObject
{
public:
    // Places every window shown from now on; `anchor` (the main window) places itself, and the
    // others open on its screen. Without an anchor they open on the primary screen.
    static void install(QWidget* anchor);

    // The frame the window manager draws around `window`: the real one once known, else the
    // one seen around another window, else a reserve. Frameless windows have none.
    static QMargins frameOf(const QWidget* window);
    // Where the client area of `window` may lie on `screen`: the available area less the frame.
    static QRect room(const QWidget* window, const QScreen* screen);
    // The screen `window` opens on.
    static QScreen* screenFor(const QWidget* window);
    // The screen under `point`, else `otherwise`, else the primary screen.
    static QScreen* screenAt(const QPoint& point, QScreen* otherwise = nullptr);

    // The client geometry for a window of size `wanted` with `frame` around it, kept whole on
    // `area` (a screen's available area): no larger than the area less the frame, at `position`
    // when kept, else centred in `centreIn`, and moved in where it stands over an edge.
    static QRect place(const QSize& wanted, const QPoint& position, bool keepPosition, const QRect& centreIn,
                       const QRect& area, const QMargins& frame = QMargins());

    // The client geometry for a window of size `wanted` that must leave `keepClear` (the main
    // window's navigation) uncovered: on its right, level with its top, narrower or lower where
    // `area` ends. Invalid when less than a quarter of the area's width is left beside it.
    static QRect beside(const QRect& keepClear, const QSize& wanted, const QRect& area,
                        const QMargins& frame = QMargins());

    // Places `window` now, before it is shown or while it is.
    static void fit(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowPlacement() = default;
    static bool placed(const QWidget* window);
    static bool hasSystemFrame(const QWidget* window);
    void frameLearned(QWidget* window);

    QPointer<QWidget> m_anchor;
    // Windows shown before their frame was known, with the frame reserved for them: placed again
    // when the real one is larger.
    QList<QPair<QPointer<QWidget>, QMargins>> m_awaitingFrame;
};
