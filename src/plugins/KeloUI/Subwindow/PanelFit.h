#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

class QLayout;
class QScrollArea;
class QWidget;

// Keeps a window whose content sits in a scroll area as large as that content, as a window with
// a layout of its own would be, but never larger than the screen: there the content scrolls.
// The window's minimumSizeHint() answers with leastSize(); the least size is applied once the
// window is shown and whenever its content's layout changes (asked before it is shown, the
// content's hints are not yet settled).
class PanelFit : public QObject
{
public:
    // The content keeps the margins the window's layout gave it, and the scroll area lies flush
    // with the window's edges.
    PanelFit(QWidget* window, QLayout* windowLayout, QScrollArea* area, QLayout* contentLayout);

    QSize leastSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    // Children of the window, gone before this helper while the window is destroyed.
    QPointer<QScrollArea> m_area;
    QWidget* m_content;
};
