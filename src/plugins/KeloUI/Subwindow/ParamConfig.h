#pragma once

#include "keloui_global.h"

#include <FramelessHelper.h>

#include <ConfigParam.h>
#include <DeviceInfo.h>

#include <QPoint>
#include <QWidget>

#include <array>

class QHostAddress;
class QSlider;
class QSpinBox;
class QTimer;
class QUdpSocket;

namespace Ui {
class ParamConfig;
}

// The hidden signal-quality calibration window. Behind an access code it offers the calibration
// page (attenuation compensation, clocks and delays, phase, gain and I/Q offsets of the
// acquisition card, each change sent at once) or, for the "LEO" variant, the AD9009 page (base
// offset and per-step AD compensation, sent on request). It talks to the card directly over UDP,
// beside the control link:
//
//   one datagram per command to port 6000 of the typed card address, replies read on local
//   port 6000; a frame is the control link's 16-byte header (target 3, card byte 0, the
//   window's own sequence counter, type 5 Config, the command, payload length N), N payload
//   bytes (little-endian) and the CRC-32/MPEG-2 of both (u32 LE). E.g. the query (command 10)
//   of channel 1, band 2, bit code 4, step 0 with sequence 0 and source id 0:
//     CC AA BB FF 01 00 03 00 00 00 05 0A 07 00 00 00 | 00 02 00 00 00 04 00 | CRC
//   Replies (parameters, or the AD9009 table) are decoded by CalibrationReply. The window's
//   socket listens on every address, so a card address that is the PC's own (the simulator on
//   loopback, a typo) sends the window its own frames: a datagram from the window's own address
//   and port, or laid out as a request, is never taken for the card's. The card does not confirm
//   a save, so the window says the table was sent, not that it was saved.
class KELOUI_EXPORT ParamConfig : public QWidget
{
    Q_OBJECT
public:
    static constexpr quint16 kCardPort = 6000;
    static constexpr int kSteps = 61; // attenuation steps 0 to 60
    // How long a query waits for the card before the window says that none answered.
    static constexpr int kQueryWaitMs = 3000;
    static const QString kAccessCode;

    explicit ParamConfig(QWidget* parent = nullptr);
    ~ParamConfig() override;

    // Test seam: the local port to bind and the card port to send to (both 6000 otherwise).
    static void setPortsForTest(quint16 localPort, quint16 cardPort);
    // The sequence number the next frame carries; shared by both pages, 0 at start.
    static quint16 calibrationSequence();
    static void setCalibrationSequenceForTest(quint16 value);
    static bool queryPending();
    // Test seam: the process-wide state as at start (sequence 0, no query pending, no device).
    static void resetSharedStateForTest();

    const std::array<qint32, kSteps>& attenuationTable() const { return AttenuationTable; }
    quint32 baseOffset() const { return BaseOffset; }
    bool isBound() const;
    quint16 localPort() const;

    void SendCalibrationCmd(QString ip, int type, int cmd, QByteArray payload);
    void AnalysisCmd(QByteArray datagram);

public slots:
    void slot_GetDeviceInfo(DeviceInfo info);
    void slot_GetDeviceSettingsFinished();
    void slot_GetFreqPointConfigParam(ConfigParam param);
    void slot_Udp_Socket_readyRead();

    void on_pbt_search_clicked();
    void on_hSlider_AttenuationAdjust_valueChanged(int value);
    void on_spinBox_AttenuationAdjust_valueChanged(int value);
    void on_spinBox_AttenuationNum_valueChanged(int value);
    void on_hSlider_RxClk_valueChanged(int value);
    void on_spinBox_RxClk_valueChanged(int value);
    void on_hSlider_RxDelay_valueChanged(int value);
    void on_spinBox_RxDelay_valueChanged(int value);
    void on_hSlider_TxClk_valueChanged(int value);
    void on_spinBox_TxClk_valueChanged(int value);
    void on_hSlider_TxDelay_valueChanged(int value);
    void on_spinBox_TxDelay_valueChanged(int value);
    void on_hSlider_Phase_valueChanged(int value);
    void on_spinBox_Phase_valueChanged(int value);
    void on_hSlider_Gain_valueChanged(int value);
    void on_spinBox_Gain_valueChanged(int value);
    void on_hSlider_IOff_valueChanged(int value);
    void on_spinBox_IOff_valueChanged(int value);
    void on_hSlider_QOff_valueChanged(int value);
    void on_spinBox_QOff_valueChanged(int value);
    void on_pbn_close_clicked();
    void on_pbn_SavePara_clicked();
    void on_pbn_DL_clicked();
    void on_horizontalSlider_9009_attenuation_valueChanged(int value);
    void on_horizontalSlider_9009_AD_valueChanged(int value);
    void on_lineEdit_9009_AD_textChanged(const QString& text);
    void on_pbn_9009_query_clicked();
    void on_pbn_9009_set_clicked();
    void on_pbn_9009_set_2_clicked();
    void on_horizontalSlider_9009_val_valueChanged(int value);
    void on_lineEdit_9009_offset_textChanged(const QString& text);
    void on_cbx_bitwide_9009_currentIndexChanged(int index);
    void on_cbx_freq_9009_currentIndexChanged(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Pair
    {
        QSlider* slider = nullptr;
        QSpinBox* spin = nullptr;
    };

    void InitUI();
    void InitUdpSocket();
    QString GetDeviceIP();
    void LoadStyleSheet(const QString& name);
    void UpdateAttenuationTable();
    // Channel, band, bit width and attenuation step: the first 7 bytes of commands 1 to 11.
    QByteArray selectionPrefix() const;
    QByteArray selectionPrefix9009() const;
    void sendSliderCommand(int cmd, QByteArray value, const QString& status);
    void spinToSlider(QSpinBox* spin, QSlider* slider, int value);
    void query9009();
    void queryUnanswered();
    void onLinkState(bool up);
    bool fromOwnSocket(const QHostAddress& sender, quint16 port) const;

    Ui::ParamConfig* ui;
    Pair attenuation, rxClk, rxDelay, txClk, txDelay, phase, gain, iOff, qOff;

    QUdpSocket* m_socket = nullptr;
    QString m_deviceIp; // the instrument address the card-address fields were filled with
    std::array<qint32, kSteps> AttenuationTable{};
    quint32 BaseOffset = 0;
    QList<QWidget*> m_blockList;
    FramelessHelper m_frame{this, FramelessHelper::ToolWindow};
    QTimer* m_queryTimer = nullptr;
};
