#include "ReceiverStar.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QQuickWidget>

ReceiverStar* ReceiverStar::Instance()
{
    static ReceiverStar* window = new ReceiverStar;
    return window;
}

ReceiverStar::ReceiverStar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ReceiverStar"));
    resize(493, 447);
    setWindowTitle(tr("星空图"));
    resize(800, 600);

    auto* layout = new QHBoxLayout(this);
    m_view = new QQuickWidget(this);
    m_view->setObjectName(QStringLiteral("skyView"));
    m_view->setResizeMode(QQuickWidget::SizeRootObjectToView);
    layout->addWidget(m_view);
    m_view->show();
}

void ReceiverStar::showEvent(QShowEvent* event)
{
    // Compiled when first needed, not while the main window starts.
    if (m_view->source().isEmpty())
        m_view->setSource(QUrl(QStringLiteral("qrc:/qml/StarrySpace.qml")));
    QWidget::showEvent(event);
}

void ReceiverStar::closeEvent(QCloseEvent* event)
{
    emit closed();
    QWidget::closeEvent(event);
}
