#include "OutputPowerAtten.h"

#include "StyleSheetLoader.h"

#include <ProtocolManager.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

OutputPowerAtten* OutputPowerAtten::Instance()
{
    static OutputPowerAtten* const window = new OutputPowerAtten(nullptr);
    return window;
}

OutputPowerAtten::OutputPowerAtten(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("OutputPowerAtten"));
    setWindowTitle(tr("输出功率衰减控制"));
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    // The window is translucent; the panel behind the controls paints the background.
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("widget_background"));
    panel->setAutoFillBackground(true);
    window->addWidget(panel);
    auto* outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 0, 0, 0);
    widget_top = new QWidget(panel);
    widget_top->setObjectName(QStringLiteral("widget_top"));
    widget_top->setFixedHeight(32);
    auto* top = new QHBoxLayout(widget_top);
    top->addWidget(new QLabel(tr("输出功率衰减"), widget_top));
    top->addStretch();
    pushButton = new QPushButton(QStringLiteral("-"), widget_top);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton_2 = new QPushButton(QStringLiteral("╳"), widget_top);
    pushButton_2->setObjectName(QStringLiteral("pushButton_2"));
    top->addWidget(pushButton);
    top->addWidget(pushButton_2);
    outer->addWidget(widget_top);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(12, 8, 12, 12);
    grid->addWidget(new QLabel(tr("衰减通道："), panel), 0, 0);
    spb_AttenChannel = new QSpinBox(panel);
    spb_AttenChannel->setObjectName(QStringLiteral("spb_AttenChannel"));
    grid->addWidget(spb_AttenChannel, 0, 1);
    checkBox_AllChannel = new QCheckBox(tr("所有通道"), panel);
    checkBox_AllChannel->setObjectName(QStringLiteral("checkBox_AllChannel"));
    grid->addWidget(checkBox_AllChannel, 0, 2);
    grid->addWidget(new QLabel(tr("衰减功率："), panel), 1, 0);
    spb_AttenPower = new QSpinBox(panel);
    spb_AttenPower->setObjectName(QStringLiteral("spb_AttenPower"));
    spb_AttenPower->setRange(0, 60);
    grid->addWidget(spb_AttenPower, 1, 1);
    hSlider_AttenPower = new QSlider(Qt::Horizontal, panel);
    hSlider_AttenPower->setObjectName(QStringLiteral("hSlider_AttenPower"));
    hSlider_AttenPower->setRange(0, 60);
    grid->addWidget(hSlider_AttenPower, 2, 0, 1, 3);
    outer->addLayout(grid);
    outer->addStretch();
    QMetaObject::connectSlotsByName(this);

    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    checkBox_AllChannel->setChecked(true);
    spb_AttenChannel->setEnabled(false);
}

OutputPowerAtten::~OutputPowerAtten() = default;

void OutputPowerAtten::on_spb_AttenPower_valueChanged(int value)
{
    hSlider_AttenPower->setValue(value);
    const uchar channel = checkBox_AllChannel->isChecked() ? 255 : uchar(spb_AttenChannel->value());
    ProtocolManager::instance()->SetAttenuationPower(channel, uint(value));
}

void OutputPowerAtten::on_hSlider_AttenPower_valueChanged(int value)
{
    spb_AttenPower->setValue(value);
}

void OutputPowerAtten::on_checkBox_AllChannel_clicked(bool checked)
{
    spb_AttenChannel->setEnabled(!checked);
}

void OutputPowerAtten::on_pushButton_clicked()
{
    showMinimized();
}

void OutputPowerAtten::on_pushButton_2_clicked()
{
    close();
}

void OutputPowerAtten::mousePressEvent(QMouseEvent* event)
{
    m_lastX = event->globalPos().x();
    m_lastY = event->globalPos().y();
    m_windowAtPress = pos();
    const int x = event->pos().x();
    const int y = event->pos().y();
    const int w = width();
    const int h = height();
    if (x >= w - 6 && x <= w + 6 && y >= h - 6 && y <= h + 6) {
        m_edge = 5;
        setCursor(Qt::SizeFDiagCursor);
    } else if (x >= -6 && x <= 6 && y >= 0 && y <= h) {
        m_edge = 3;
    } else if (y >= -6 && y <= 6 && x >= 0 && x <= w) {
        m_edge = 1;
    } else if (x >= w - 6 && x <= w + 6 && y >= 0 && y <= h) {
        m_edge = 4;
        setCursor(Qt::SizeHorCursor);
    } else if (y >= h - 6 && y <= h + 6 && x >= -6 && x <= w) {
        m_edge = 2;
        setCursor(Qt::SizeVerCursor);
    } else {
        m_edge = 0;
        setCursor(Qt::ArrowCursor);
    }
    if (QRect(QPoint(0, 0), widget_top->size()).contains(event->pos()))
        m_dragging = true;
    QWidget::mousePressEvent(event);
}

void OutputPowerAtten::mouseMoveEvent(QMouseEvent* event)
{
    const int dx = event->globalPos().x() - m_lastX;
    const int dy = event->globalPos().y() - m_lastY;
    switch (m_edge) {
    case 0:
        if (m_dragging)
            move(pos() + QPoint(dx, dy));
        break;
    case 4:
        resize(width() + dx, height());
        break;
    case 2:
        resize(width(), height() + dy);
        break;
    case 5:
        resize(width() + dx, height() + dy);
        break;
    default:
        break; // the top and left edges do not resize
    }
    m_lastX = event->globalPos().x();
    m_lastY = event->globalPos().y();
    QWidget::mouseMoveEvent(event);
}

void OutputPowerAtten::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    m_lastX = event->globalPos().x();
    m_lastY = event->globalPos().y();
    setCursor(Qt::ArrowCursor);
    QWidget::mouseReleaseEvent(event);
}
