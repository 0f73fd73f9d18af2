#pragma once

#include "keloui_global.h"

#include <QWidget>

class QQuickWidget;

// The sky-plot window: a frame around the QML sky plot of the receiver's satellites. One window
// per process, hidden on close.
class KELOUI_EXPORT ReceiverStar : public QWidget
{
    Q_OBJECT
public:
    static ReceiverStar* Instance();
    // Public so that tests can build their own window; the system uses Instance().
    explicit ReceiverStar(QWidget* parent = nullptr);

    // The sky plot; its QML is loaded when the window is first shown.
    QQuickWidget* skyView() const { return m_view; }

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QQuickWidget* m_view = nullptr;
};
