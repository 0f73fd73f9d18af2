#pragma once

#include "keloui_global.h"

#include <FileLogger.h>
#include <MsgHeader.h>
#include <RecordParam.h>
#include <ReplyOwner.h>
#include <SyncDeviceState.h>
#include <SystemState.h>

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <memory>

class RunCommandReplies;

namespace Ui {
class CollectSet;
}
class QCheckBox;
class QComboBox;
class QGridLayout;

// The collection page: channel rows with their bands, the bit width, forwarding and record
// options, trigger, remark, start and stop of a collection or forwarding run, and the controls
// that act on a forwarding unit at once (output channels, attenuation, forwarding delay). It
// never sets the run state itself: it sends through ProtocolManager and follows RunStatus, and
// it mirrors a run that the instrument reports as already going. A start or stop waits in
// ProtocolManager's reply table: its own result, its expiry or a link drop ends the wait.
class KELOUI_EXPORT CollectSet : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kStopEnableDelayMs = 5000;
    static constexpr int kProgressPollMs = 500;
    // Marks an attenuation value that came from the instrument, so it is not sent back.
    static constexpr int kReportMarker = 4145;

    explicit CollectSet(QWidget* parent = nullptr);
    ~CollectSet() override;

    // The transponder-scene manager saves and restores bands, bit width and attenuation here.
    // Each output pointer may be null.
    void getSceneConfig(QVector<quint32>* bands, int* bitWidth, int* attenuation);
    void applySceneConfig(const QVector<quint32>& bands, int bitWidth, int attenuation);

    // What the page holds, for the windows around it and for tests.
    // The start or stop of this page that waits in ProtocolManager's reply table, or none.
    quint8 pendingControlCode() const;
    const RecordParam& recordParam() const { return m_param; }
    quint32 startTime() const { return m_startTime; }
    quint32 stopTime() const { return m_stopTime; }
    bool isForwarding() const { return m_forwarding; }
    bool isForwardOnly() const { return m_forwardOnly; }
    QVector<int> channelAttenuations() const { return m_channelAttenuations; }

    // Test seam: a shorter wait than the instrument needs.
    void setStopEnableDelayForTest(int ms);

signals:
    void PrintSystemLog(FileLogger::LogType logtype, QString msg);

public slots:
    void slot_SyncDeviceState(SyncDeviceState state_info);
    void slot_ChangeState(SystemState state);
    void slot_GetDeviceSettingsFinished();
    void slot_ComboBox_FrequencyChange(int text);
    void slot_SetTimingTime(uint datetime, uchar currentMode);
    void slot_UpdateProgress(uint progress, uint times);
    void slot_ControlResult(uchar type, bool success);
    void slot_UpdateBandwidth(uint value);
    void on_lineEdit_forward_textChanged(const QString& text);

private slots:
    void on_ptn_StartCollect_clicked();
    void on_ptn_StopCollect_clicked();
    void on_pbn_StartTime_clicked();
    void on_pbn_StopTime_clicked();
    void on_radiobtn_TimingMode_clicked(bool checked);
    void on_radiobtn_NormalMode_clicked(bool checked);
    void on_checkBox_output_1_clicked();
    void on_checkBox_output_2_clicked();
    void on_checkBox_AllChannel_stateChanged(int state);
    void on_spb_AttenPower_valueChanged(int value);
    void on_hSlider_AttenPower_valueChanged(int value);
    void on_spb_AttenChannel_valueChanged(int channel);
    void recordNameTimerEvent();
    void on_pushButton_test_start_clicked();
    void on_pushButton_test_stop_clicked();
    void on_pushButton_test_start_2_clicked();
    void on_pushButton_test_stop_2_clicked();
    void on_cbx_bitwidth_currentIndexChanged(int index);

private:
    void setupPage();
    void setupDebugGroup();
    void applyIdleLayout();
    // 开始 and 停止 held off, with the reason, while their kind is open.
    void holdOpen();
    void applyBusyLayout();
    void unlockStop();
    void applyDisabledLayout();
    void onLinkState(bool up);
    void onProgressPoll();
    void onStopEnable();
    // This page as the owner of its starts and stops (ReplyOwner.h), told by their control code.
    ReplyOwner replyOwner();
    void onAttenuationChanged(uchar channel, uint power);
    void onTranspondDelay(int delay);
    void onLoopTest();
    void onRandomAttenuation();
    void showReceiverOutput();
    void chooseTime(quint8 mode);

    // Channel rows (rebuilt from the instrument's configuration).
    void removeChannelControls();
    void buildRecordForwardWidget();
    void buildChannelRow(int channel);
    // Labels row `row` "频段<number>：" and remembers the number for messages about it.
    void numberRow(int row, int number);
    int rowNumber(int row) const;
    void fillBandList(QComboBox* list, int channel, int bitWidth);
    void showCentreFrequency(int row);
    void updateSampleInfo();
    bool isSingleWidth(int bitWidth) const;
    int currentBitWidth() const;
    void markInner(QComboBox* list, bool on);
    // Gives every list without a current item one of its items again.
    void restoreSelections();
    // Shows a text in a band or bit-width list that none of its items carries.
    static void showUnlisted(QComboBox* list, const QString& text);
    static bool selectByData(QComboBox* list, const QVariant& data, int role);

    bool buildRecordParam();
    static QString timeButtonText(quint32 seconds);

    bool m_forwarding = false;
    bool m_forwardOnly = false;
    std::unique_ptr<RunCommandReplies> m_replies;
    QTimer* m_recordNameClock = nullptr;
    QTimer* m_progressPoll = nullptr;
    QTimer* m_stopEnableTimer = nullptr;
    bool m_stopUnlocked = false; // 停止 has been unlocked for the run shown
    quint32 m_runName = 0;       // the record name of the run the last state report showed
    QDateTime m_recordNameTime;
    Ui::CollectSet* ui = nullptr;
    QGridLayout* m_channelLayout = nullptr;
    QList<QCheckBox*> m_recordForwardBoxes; // "采集", then "转发"
    QWidget* m_recordForwardWidget = nullptr;
    QList<QWidget*> m_rowWidgets;
    QList<QComboBox*> m_bandLists;
    RecordParam m_param;
    quint32 m_startTime = 0;
    quint32 m_stopTime = 0;
    QVector<int> m_channelAttenuations;
    QTimer m_loopTestTimer;
    QTimer m_randomAttenuationTimer;
    QString m_showMode;
    uint m_transportMode = 0;
};
