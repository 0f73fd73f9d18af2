#pragma once

#include "keloui_global.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class BootScreen;
}
class FramelessHelper;

// The small window shown from start-up until the control link first comes up. It lets the
// user change the instrument's address, and a hidden press count lets one go on without a link.
class KELOUI_EXPORT BootScreen : public QMainWindow
{
    Q_OBJECT
public:
    // After this many presses of the settings button, the next one skips waiting.
    static constexpr int kSkipPresses = 10;

    static BootScreen* instance();
    ~BootScreen() override;

    // Four dot-separated decimal parts of 0 to 255, leading zeros allowed within three digits.
    static bool isValidAddress(const QString& text);
    // A valid address with its leading zeros dropped ("010.001.000.009" → "10.1.0.9").
    static QString normalisedAddress(const QString& text);

signals:
    void ChangeConnectIP();
    void SkipWaitingConnect();

public slots:
    void NetworkChange(bool isSuccess);

private slots:
    void on_pbn_setIP_clicked();
    void on_pbn_close_clicked();
    void on_pbn_ChangeIP_clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    explicit BootScreen(QWidget* parent = nullptr);
    void fitAddressField();
    void onConnectFailed();

    Ui::BootScreen* ui;
    std::unique_ptr<FramelessHelper> m_frame;
    int m_failedAttempts = 0;
};
