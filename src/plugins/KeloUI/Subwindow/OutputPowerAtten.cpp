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
    m_frame.setDragArea(ui->widget_top);
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
    m_frame.press(event);
    QWidget::mousePressEvent(event);
}

void OutputPowerAtten::mouseMoveEvent(QMouseEvent* event)
{
    m_frame.move(event);
    QWidget::mouseMoveEvent(event);
}

void OutputPowerAtten::mouseReleaseEvent(QMouseEvent* event)
{
    m_frame.release(event);
    QWidget::mouseReleaseEvent(event);
}
