#pragma once

#include "keloui_global.h"

#include <QMap>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMutex;
class QPushButton;
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

    // The receiver manager's info rows and the lock that guards them.
    void setInfoSource(QMap<int, QString>* rows, QMutex* lock);
    // Forgets the source when it is still `rows`.
    void clearInfoSource(const QMap<int, QString>* rows);

    void setInfoText(int panel, int row, const QString& text, const QString& style);
    QLabel* valueLabel(int row) const;
    // The bar chart; its QML is loaded when the window is first shown.
    QQuickWidget* chartView() const { return m_chart; }
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

private:
    void onSend();
    void onWarmStart();
    void markNotCurrent();

    QMap<int, QString>* m_infoRows = nullptr;
    QMutex* m_infoLock = nullptr;
    QWidget* m_baseWidget = nullptr;
    QPushButton* m_outputButton = nullptr;
    bool m_outputOn = false;
    QQuickWidget* m_chart = nullptr;
    QTimer* m_staleTimer = nullptr;
    QLabel* m_values[kRows] = {};
    QCheckBox* m_appendNewline = nullptr;
    QLineEdit* m_command = nullptr;
    bool m_shortReset = false;
};
