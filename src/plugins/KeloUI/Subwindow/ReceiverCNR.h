#pragma once

#include "keloui_global.h"

#include <QMap>
#include <QString>
#include <QWidget>

namespace Ui {
class ReceiverCNR;
}
class QLabel;
class QMutex;
class QQuickWidget;
class QTimer;

// The receiver's monitoring window: the carrier-to-noise bar chart on the left, the position and
// status rows of the receiver manager on the right, and below them a console for text commands,
// restarts and the switch of the receiver data output. One window per process, hidden on close.
class KELOUI_EXPORT ReceiverCNR : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRows = 16;

    static ReceiverCNR* Instance();
    // Public so that tests can build a window of another variant; the system uses Instance().
    explicit ReceiverCNR(QWidget* parent = nullptr);
    ~ReceiverCNR() override;

    // The receiver manager's info rows and the lock that guards them; the window only reads them.
    void setInfoSource(const QMap<int, QString>* rows, QMutex* lock);
    // Forgets the source when it is still `rows`.
    void clearInfoSource(const QMap<int, QString>* rows);

    void setInfoText(int panel, int row, const QString& text, const QString& style);
    QLabel* valueLabel(int row) const;
    // The bar chart; its QML is loaded when the window is first shown.
    QQuickWidget* chartView() const;
    bool outputOn() const { return m_outputOn; }

    // Text of hexadecimal digit pairs as bytes: a space ends a pending single digit, a digit
    // left alone at the end is dropped, any other character counts as 0.
    static QByteArray HexStringToBytes(const QString& text);

signals:
    void cmdSend(QString string);
    void SetReceiverOutputStatus(bool on);
    void closed();

public slots:
    void UpdateInfo();
    void StatusChange(bool connected);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_pbn_send_clicked();
    void on_lineEdit_command_returnPressed();
    void on_pbn_warmStart_clicked();
    void on_pbn_coldStart_clicked();
    void on_pbn_output_clicked();

private:
    void markNotCurrent();
    // Greys the chart's bars while the rows are grey.
    void showChartCurrent(bool current);
    // Hands a command to the relay when a receiver is on it, and says what was sent or why not.
    void sendCommand(const QString& command);
    void showCommandStatus(const QString& text);

    Ui::ReceiverCNR* ui;
    const QMap<int, QString>* m_infoRows = nullptr; // read only, never detached
    QMutex* m_infoLock = nullptr;
    bool m_outputOn = false;
    QTimer* m_staleTimer = nullptr;
    bool m_chartCurrent = true; // false once the rows went grey
    QLabel* m_values[kRows] = {};
    bool m_shortReset = false;
};
