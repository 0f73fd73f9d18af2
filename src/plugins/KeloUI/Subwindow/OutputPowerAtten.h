#pragma once

#include "keloui_global.h"

#include <FramelessHelper.h>

#include <QWidget>

namespace Ui {
class OutputPowerAtten;
}

// The output power attenuation tool window: one value (0 to 60) for all output channels or for
// one, sent to the instrument at every change (Collect command 5: the channel byte, 255 for all,
// then the value as u32 little-endian). Nothing is read back; closing only hides the window.
class KELOUI_EXPORT OutputPowerAtten : public QWidget
{
    Q_OBJECT
public:
    static OutputPowerAtten* Instance();
    explicit OutputPowerAtten(QWidget* parent = nullptr);
    ~OutputPowerAtten() override;

    quint8 edgeMode() const { return m_frame.region(); }
    bool isDragging() const { return m_frame.dragging(); }

public slots:
    void on_spb_AttenPower_valueChanged(int value);
    void on_checkBox_AllChannel_clicked(bool checked);
    void on_hSlider_AttenPower_valueChanged(int value);
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Ui::OutputPowerAtten* ui;
    FramelessHelper m_frame{this, FramelessHelper::ToolWindow};
};
