#pragma once

#include "keloui_global.h"

#include "FindRecordMsg.h"

#include <FileLogger.h>
#include <MsgHeader.h>
#include <RecordEx.h>
#include <ReplyOwner.h>
#include <SyncDeviceState.h>
#include <SystemState.h>

#include <QItemSelection>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <memory>

class RunCommandReplies;

class QItemSelectionModel;
class SliderRange;
class QStandardItemModel;

namespace Ui {
class PlayBackSet;
}

// The playback page: the instrument's playable records in a table with the details of the
// selected one, loop count, trigger, output channels and attenuation, and the start (at once or
// at a chosen time) and stop of a playback. Each start or stop waits up to 5000 ms for its reply;
// while the instrument plays, the page asks for the progress every 500 ms. The page follows the
// global run state and never sets it. Lives in the GUI thread.
class KELOUI_EXPORT PlayBackSet : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kProgressPollMs = 500;
    // Set on a control's user data slot 0 before a reported value is written into it, so that
    // its change handler does not send the value back.
    static constexpr int kReportMark = 4145;
    static constexpr const char* kReportMarkProperty = "reportMark";

    explicit PlayBackSet(QWidget* parent = nullptr);
    ~PlayBackSet() override;

    // Read by tests and by the main window; the page changes them itself.
    // The start or stop of this page that waits in ProtocolManager's reply table, or none.
    quint8 pendingControlCode() const;
    quint32 selectedRecord() const { return SelectedRecord; }
    quint32 playbackTotal() const { return PlaybackTotal; }
    const RecordEx& currentRecord() const { return CurrentRecord; }
    int playableCount() const { return PlayableRecords.size(); }
    bool isPolling() const { return ProgressPoll->isActive(); }
    // A start or stop waits in ProtocolManager's reply table until its own result, its expiry
    // or a link drop.
    bool isWaitingForReply() const { return pendingControlCode() != ControlNone; }
    static bool isMarked(const QObject* control);

signals:
    void StartPlayBackInfo(FindRecordMsg m_recordinfo);
    void ChangeState(SystemState state);
    void PrintSystemLog(FileLogger::LogType logtype, QString text);

public slots:
    void slot_ChangeState(SystemState state);
    void slot_RecordListReady();
    void slot_selectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void slot_UpdateProgress(uint position, uint loopTimes);
    void slot_SyncDeviceState(SyncDeviceState state_info);
    void slot_ControlResult(uchar type, bool success);
    void on_rdb_nolimit_clicked(bool checked);
    void on_tbn_startplayback_clicked();
    void on_tbn_stopplayback_clicked();
    void on_checkBox_AllChannel_clicked(bool checked);
    void on_hSlider_AttenPower_valueChanged(int value);
    void on_spb_AttenPower_valueChanged(int value);
    void on_checkBox_output_1_clicked();
    void on_checkBox_output_2_clicked();
    void on_tbn_timeplayback_clicked();
    void slot_time_playback_confrim(uint dateTime, uchar currentMode);

private:
    void InitUI();
    void InitTableHeader();
    // One row per playable record, in the table's columns.
    void fillRows();
    void InitIntervalSlider();
    void SetIdleUi();
    // The start and stop buttons held off, with the reason, while their kind is open.
    void holdOpen();
    void SetPlayingUi();
    void SetWaitingUi();

    // Steps shared by the two starts.
    void takeStartParameters();
    bool sendStart(const QString& buttonText, uint startTime);
    // This page as the owner of its starts and stops (ReplyOwner.h), told by their control code.
    ReplyOwner replyOwner();
    void onProgressPoll();
    void onLinkState(bool up);
    void onAttenuationReport(uchar channel, uint power);
    void onDeleteAllRecords();
    void onIntervalChanged(int left, int right);
    // The part of the selected record that a start plays.
    int intervalLeft() const;
    int intervalRight() const;
    void setInterval(uint start, uint end, uint total);

    void clearDetails();
    void showRecordDetails(const RecordEx& record, quint32 collectTime);
    const RecordEx* playableRecord(quint32 name) const;
    int rowOfRecord(quint32 name) const;

    // Texts of a record's cells and details.
    static QString recordTimeText(quint32 seconds, const QString& format);
    static QString bitText(const RecordEx& record);
    static QString bandwidthText(const RecordEx& record);
    static QString sampleRateText(const RecordEx& record);
    static QString bandCellText(const RecordEx& record, int channel);
    static QString bandLines(const RecordEx& record);
    static QString capabilityText(const RecordEx& record);
    static bool takeMark(QObject* control);
    static void mark(QObject* control);
    static void clearMark(QObject* control);

    Ui::PlayBackSet* ui;
    quint32 SelectedRecord = 0;
    quint32 PreviousSelection = 0;
    quint32 StartRecord = 0;
    quint32 StartLoopTimes = 0;
    quint32 StartPosition = 0;
    quint32 StartDuration = 0;
    bool ExternalTrigger = false;
    QTimer* ProgressPoll = nullptr;
    QStandardItemModel* RecordModel = nullptr;
    QItemSelectionModel* SelectionModel = nullptr;
    // Copies, not pointers: the record service replaces and rewrites its list while a search
    // runs, and the page reads these between searches.
    QList<RecordEx> PlayableRecords;
    RecordEx CurrentRecord;
    quint32 PlaybackTotal = 0;
    std::unique_ptr<RunCommandReplies> m_replies;
    SliderRange* IntervalSlider = nullptr;
};
