#pragma once

#include "keloui_global.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TimeSeletor;
}
class FramelessHelper;
class TumblerDateTime;

// The dialog in which the user picks the start or stop time of a timed collection or playback.
// A page connects SetDateTime, writes its mode byte and shows the dialog; every hide drops all
// receivers, so one connection serves one showing.
class KELOUI_EXPORT TimeSeletor : public QWidget
{
    Q_OBJECT
public:
    // A confirmed time must lie at least this far ahead of now.
    static constexpr uint kMinimumLeadSeconds = 10;
    // The dialog opens this far ahead of now, cut down to a multiple of ten seconds.
    static constexpr qint64 kPresetLeadSeconds = 90;

    static TimeSeletor* instance();
    ~TimeSeletor() override;

    TumblerDateTime* dateTimeTumbler() const { return m_tumbler; }

    // Written by the caller before showing; sent back with the chosen time.
    quint8 currentMode = 0;

signals:
    void SetDateTime(uint DateTime, uchar currentMode);

private slots:
    void on_pbn_SetTime_clicked();
    void on_tbn_close_clicked();
    void on_pbn_clearTime_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    explicit TimeSeletor(QWidget* parent = nullptr);

    Ui::TimeSeletor* ui;
    TumblerDateTime* m_tumbler;
    std::unique_ptr<FramelessHelper> m_frame;
};
