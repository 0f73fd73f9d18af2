#include "OutputPowerAtten.h"
#include "ui_OutputPowerAtten.h"

#include "StyleSheetLoader.h"

#include <ProtocolManager.h>

#include <QMouseEvent>

OutputPowerAtten* OutputPowerAtten::Instance()
{
    static OutputPowerAtten* const window = new OutputPowerAtten(nullptr);
    return window;
}

OutputPowerAtten::OutputPowerAtten(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::OutputPowerAtten)
{
    ui->setupUi(this);
    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));
    // The window is translucent; the panel behind the controls paints the background.
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
}

OutputPowerAtten::~OutputPowerAtten()
{
    delete ui;
}

void OutputPowerAtten::on_spb_AttenPower_valueChanged(int value)
{
    ui->hSlider_AttenPower->setValue(value);
    const uchar channel = ui->checkBox_AllChannel->isChecked() ? 255 : uchar(ui->spb_AttenChannel->value());
    ProtocolManager::instance()->SetAttenuationPower(channel, uint(value));
}

void OutputPowerAtten::on_hSlider_AttenPower_valueChanged(int value)
{
    ui->spb_AttenPower->setValue(value);
}

void OutputPowerAtten::on_checkBox_AllChannel_clicked(bool checked)
{
    ui->spb_AttenChannel->setEnabled(!checked);
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
    if (QRect(QPoint(0, 0), ui->widget_top->size()).contains(event->pos()))
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
