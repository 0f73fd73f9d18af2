#pragma once

#include "keloui_global.h"

#include <QPoint>
#include <functional>

class QMouseEvent;
class QWidget;

// Drag by the top bar and resize from the edges for a window without a window-system frame.
// The window forwards its three mouse handlers here.
//
// Plain windows resize from the right edge, the bottom edge and the bottom-right corner; the
// main window also from its left and top edges, never drags from the top band, and forgets its
// edge at every release. Tool windows (calibration, output power) resize like plain ones, show
// the diagonal cursor at the corner and drag only from inside the top bar, its far edges
// excluded.
class KELOUI_EXPORT FramelessHelper
{
public:
    enum Region : quint8 { None = 0, Top = 1, Bottom = 2, Left = 3, Right = 4, BottomRight = 5 };
    enum Variant { PlainWindow, MainWindowFrame, ToolWindow };

    static constexpr int kBand = 6;

    FramelessHelper(QWidget* window, Variant variant = PlainWindow);

    void setDragArea(QWidget* topBar) { m_topBar = topBar; }
    // Called after every release of the main-window variant (to store the geometry).
    void setReleaseHandler(std::function<void()> handler) { m_onRelease = std::move(handler); }

    void press(QMouseEvent* event);
    void move(QMouseEvent* event);
    void release(QMouseEvent* event);

    quint8 region() const { return m_region; }
    bool dragging() const { return m_dragging; }
    QPoint lastPosition() const { return m_last; }

    // The edge under a point in window coordinates of a window of size w × h.
    static Region regionAt(int x, int y, int w, int h);

private:
    QWidget* m_window;
    QWidget* m_topBar = nullptr;
    Variant m_variant;
    std::function<void()> m_onRelease;
    QPoint m_last;
    quint8 m_region = None;
    bool m_dragging = false;
};
