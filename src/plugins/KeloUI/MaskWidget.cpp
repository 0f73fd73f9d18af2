#include "MaskWidget.h"

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
    if (watched == this || !watched->isWidgetType() || !m_dialogNames.contains(watched->objectName()))
        return QWidget::eventFilter(watched, event);
    auto* dialog = static_cast<QWidget*>(watched);
    // Only the windows themselves count; a child that happens to carry a listed name does not.
    if (!dialog->isWindow())
        return QWidget::eventFilter(watched, event);
    if (type == QEvent::Show) {
        if (m_mainWidget)
            m_mainWidget->raise();
        show();
        raise();
        dialog->raise();
    } else if (type == QEvent::Hide) {
        hide();
    } else if (isVisible()) {
        raiseAll(dialog);
    }
    return QWidget::eventFilter(watched, event);
}
