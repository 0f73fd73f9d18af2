#pragma once

#include "keloui_global.h"

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QWidget>

// A dimming veil over the main window while one of the system's own dialogs is open. It watches
// every object of the application: a top-level window whose object name is listed brings the
// veil up between the main window and itself when shown, and takes it down when hidden.
//
// Given a main window, the veil is a child of it that paints its colour translucently over the
// window's contents: it dims with or without a compositing window manager, and no window manager
// can stack it apart from the window it covers. Without one it is a tool window of its own.
class KELOUI_EXPORT MaskWidget : public QWidget
{
    Q_OBJECT
public:
    static MaskWidget* instance();

    QWidget* mainWidget() const { return m_mainWidget; }
    QStringList dialogNames() const { return m_dialogNames; }

public slots:
    void setMainWidget(QWidget* mainWidget);
    void setDialogNames(const QStringList& dialogNames);
    void setBgColor(const QColor& bgColor);
    void setOpacity(double opacity);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit MaskWidget(QWidget* parent = nullptr);
    void raiseAll(QWidget* dialog);
    void coverMainWidget();
    void rememberWindowInUse(QWidget* dialog);
    static QWidget* ownerOf(QWidget* window);

    QPointer<QWidget> m_mainWidget;
    // The window in use when a listed dialog came up: the main window rises under the veil over
    // it, so it comes back in front when the dialog goes.
    QPointer<QWidget> m_cameFrom;
    QPointer<QWidget> m_lastActive; // the last window in use other than the listed dialogs
    QStringList m_dialogNames;
    double m_opacity = 0.6;
    // Kept apart from the palette, which the main window's style sheet rules over in its children.
    QColor m_colour;
};
