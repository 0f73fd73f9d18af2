#include "MaskWidget.h"

#include "WindowPresenter.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QEvent>
#include <QMutex>
#include <QPainter>
#include <QPalette>

namespace {
MaskWidget* g_instance = nullptr;
} // namespace

MaskWidget* MaskWidget::instance()
{
    static QMutex mutex;
    if (!g_instance) {
        QMutexLocker lock(&mutex);
        if (!g_instance) {
            g_instance = new MaskWidget;
            // A widget must go before the application object does; post routines run first
            // thing in its destructor.
            qAddPostRoutine([] {
                delete g_instance;
                g_instance = nullptr;
            });
        }
    }
    return g_instance;
}

MaskWidget::MaskWidget(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MaskWidget"));
    setWindowOpacity(m_opacity);
    setBgColor(QColor(0, 0, 0));
    setGeometry(QApplication::desktop()->geometry());
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    qApp->installEventFilter(this);
}

void MaskWidget::setMainWidget(QWidget* mainWidget)
{
    if (m_mainWidget == mainWidget)
        return;
    if (m_mainWidget)
        disconnect(m_mainWidget, nullptr, this, nullptr);
    m_mainWidget = mainWidget;
    const bool shown = isVisible();
    if (mainWidget) {
        setParent(mainWidget);
        // A window deletes its children before it is gone; the veil outlives every main window.
        connect(
            mainWidget, &QObject::destroyed, this, [this] { setMainWidget(nullptr); }, Qt::DirectConnection);
        coverMainWidget();
    } else {
        setParent(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    }
    setVisible(shown);
}

void MaskWidget::setDialogNames(const QStringList& dialogNames)
{
    if (m_dialogNames != dialogNames)
        m_dialogNames = dialogNames;
}

void MaskWidget::setBgColor(const QColor& bgColor)
{
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(bgColor, Qt::SolidPattern));
    setPalette(pal);
    m_colour = bgColor;
    update();
}

void MaskWidget::setOpacity(double opacity)
{
    m_opacity = opacity;
    setWindowOpacity(opacity);
    update();
}

void MaskWidget::coverMainWidget()
{
    if (m_mainWidget && parentWidget() == m_mainWidget) {
        setGeometry(m_mainWidget->rect());
        raise();
    }
}

void MaskWidget::showEvent(QShowEvent* event)
{
    coverMainWidget();
    QWidget::showEvent(event);
}

void MaskWidget::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QColor colour = m_colour;
    // A window of its own is dimmed by its window opacity, where the window manager composites.
    if (!isWindow())
        colour.setAlphaF(colour.alphaF() * m_opacity);
    QPainter(this).fillRect(rect(), colour);
}

void MaskWidget::raiseAll(QWidget* dialog)
{
    if (m_mainWidget)
        m_mainWidget->raise();
    raise();
    if (dialog)
        dialog->raise();
}

bool MaskWidget::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize && watched == m_mainWidget && isVisible())
        coverMainWidget();
    if (type != QEvent::Show && type != QEvent::Hide && type != QEvent::WindowActivate)
        return QWidget::eventFilter(watched, event);
    if (watched == this || !watched->isWidgetType())
        return QWidget::eventFilter(watched, event);
    auto* window = static_cast<QWidget*>(watched);
    // Only the windows themselves count; a child that happens to carry a listed name does not.
    if (!window->isWindow())
        return QWidget::eventFilter(watched, event);
    if (!m_dialogNames.contains(window->objectName())) {
        if (type == QEvent::WindowActivate)
            m_lastActive = ownerOf(window);
        return QWidget::eventFilter(watched, event);
    }
    if (type == QEvent::Show) {
        rememberWindowInUse(window);
        if (m_mainWidget)
            m_mainWidget->raise();
        show();
        raise();
        window->raise();
    } else if (type == QEvent::Hide) {
        hide();
        if (m_cameFrom && m_cameFrom != m_mainWidget && m_cameFrom->isVisible())
            WindowPresenter::present(m_cameFrom);
    } else if (isVisible()) {
        raiseAll(window);
    }
    return QWidget::eventFilter(watched, event);
}

void MaskWidget::rememberWindowInUse(QWidget* dialog)
{
    // Between two windows none may have the focus, or one that has just closed (a file dialog,
    // the message before) may still hold it: then the window it belonged to counts.
    QWidget* from = QApplication::activeWindow();
    if (from && !from->isVisible())
        from = ownerOf(from);
    if (!from || !from->isVisible())
        from = m_lastActive;
    m_cameFrom = from && from != dialog && from->isVisible() ? from : nullptr;
}

QWidget* MaskWidget::ownerOf(QWidget* window)
{
    // A dialog stands for the window it belongs to, which outlives it.
    while (window->parentWidget())
        window = window->parentWidget()->window();
    return window;
}
