#pragma once

#include "keloui_global.h"

#include <LogText.h>
#include <RecordEx.h>
#include <ReplyOwner.h>
#include <SyncDeviceState.h>
#include <SystemState.h>

#include <QElapsedTimer>
#include <QItemSelection>
#include <QVector>
#include <QWidget>

#include <functional>

namespace Ui {
class RecordManager;
}
class MessageDialog;
class QItemSelectionModel;
class QShowEvent;
class QStandardItemModel;

// The page that manages the records held on the instrument: the record table with the chosen
// record's description beside it, refresh, delete (one record or a queue of them, strictly one
// command at a time), remark editing, and the start, progress and end of a record's transfer
// between instrument and PC. It sends through ProtocolManager, RecordAssist and
// UpDownLoadAssist and learns every outcome from their signals. The command that waits for its
// answer waits in ProtocolManager's reply table: its reply, its announced expiry or a link drop
// ends the wait, and with it whatever the page still held for it (the rest of a delete queue).
class KELOUI_EXPORT RecordManager : public QWidget
{
    Q_OBJECT
public:
    // The command that waits for its reply: four letters read as a big-endian number.
    enum PendingOperation : quint32 {
        PendingNone = 0,
        PendingDelete = 0x44454C45u,   // 'DELE'
        PendingNote = 0x4E4F5445u,     // 'NOTE'
        PendingUpload = 0x55504C44u,   // 'UPLD'
        PendingDownload = 0x444E4C44u, // 'DNLD'
    };

    explicit RecordManager(QWidget* parent = nullptr);
    ~RecordManager() override;

    // What waits for the instrument's answer, as the reply table and the transfer buttons say.
    quint32 pendingOperation() const;
    const RecordEx& currentRecord() const { return m_current; }
    int lastProgress() const { return m_lastProgress; }
    // The confirmed deletes not sent yet: by name, and as the table showed them.
    QVector<quint32> deleteQueue() const;
    QStringList unsentDeletes() const;
    QStandardItemModel* tableModel() const { return m_model; }

public slots:
    void slot_DeleteAllRecordSuccess(bool result);
    void slot_DeleteRecordSuccess(uchar result);
    void slot_ChangeRecordNoteSuccess(uchar result);
    void slot_RecordListReady();
    void slot_GetRecordError(int code);
    void slot_ChangeState(SystemState state);
    void slot_selectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void slot_Upload_Dwonload_UpdateProgress(int progress, double speed);
    void slot_up_down_load_heartbeat();
    void slot_Started_upload(uchar result);
    void slot_Started_download(bool accepted);
    void slot_SyncDeviceState(SyncDeviceState state_info);

    // The transfer speed as the page shows it, before, during and after a transfer.
    static QString speedText(double megabytesPerSecond);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void on_ptn_Refresh_clicked();
    void on_ptn_Delete_clicked();
    void on_ptn_Upload_clicked();
    void on_ptn_download_clicked();
    void on_ptn_changenote_clicked();
    void on_ptn_selectmode_clicked();

private:
    void InitTable();
    void InitTableHeader();
    // Lays the records out in the table's columns, the one shown before selected again.
    void showRows(const QList<RecordEx>& list);
    void UpdateButtonState();
    void SetUploadButtons();
    void SetDownloadButtons();
    void setBar(bool refresh, bool remove, bool note, bool mode, bool upload, bool download);
    // Without the link only the PC's own copies are within reach: the local record list.
    void setOfflineBar();

    // This page as the owner of the requests it sends (ReplyOwner.h).
    ReplyOwner replyOwner();
    void onRecordChangeMalformed(const ReplyNotice& notice);
    // What the record list showed of a change in doubt, or that it could not be fetched.
    // A later list shows a record otherwise than this page told: said once, by name.
    void showCorrection(const QString& text);
    void showFinding(const ReplyNotice& notice);
    void onReplyTimedOut(uchar type, uchar cmd);
    void onLateReply(uchar type, uchar cmd, const QByteArray& request, const QByteArray& reply);
    void onLinkState(bool up);
    // The wait ended without a result: nothing more goes out for it, and a transfer whose start
    // was not confirmed (still preparing, or `transferStart`) is stopped.
    void endWait(bool transferStart = false);
    // A delete or remark change of this page is under way.
    bool changing() const;
    void onNoteDialogFinished(MessageDialog* dialog, quint32 name, int result);
    void onStartingDownload();
    void onStartAnswered(SystemState method, bool accepted);
    void onStartRefused(uchar method, const QVector<int>& answers);
    void onCannotBeProved(const QVector<int>& cards, const QVector<LogText>& reasons);
    void onBackupListClosed();
    void resetDetailPanel();
    void showRecord(const RecordEx& record);
    bool singleSelection() const;
    // Builds or reads the record's transfer bookkeeping and asks what the user wants; false
    // when the upload should not go on.
    bool prepareUpload(quint32 name, RecordEx& info);
    // For a failed or stopped upload beside a complete local copy: that the copy stands.
    QString keptCopyText() const;
    // What the settling of a replacement cut short chose, told once with the next upload's outcome.
    QString takeLeftoverText();
    // The progress bar and speed label at the start and at the end of a transfer.
    void prepareTransferDisplay();
    void endTransferDisplay();
    // A click on the stop button so soon after the start that it is the second of a double click.
    bool strayClick() const;
    void sendNextDelete();
    // A delete of a sequence was told what became of it: the next goes. False when none is left.
    bool deleteNextAfter(quint8 cmd);
    void warnNothingChosen();
    // A change of this kind is still open: the person is told why nothing was sent.
    bool refusedWhileOpen(uchar cmd, const QString& title);

    Ui::RecordManager* ui;
    // The transfer whose start the buttons show as "准备中..." (a SystemState value), 0 for none.
    quint8 m_preparing = 0;
    // A failure of the current start was shown: the other cards' answers say nothing more.
    bool m_startFailureShown = false;
    // A card's answer to the current start did not come in time: its report says so.
    bool m_startTimedOut = false;
    QWidget* m_backupList = nullptr;
    QStandardItemModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    RecordEx m_current;
    // The list the table shows, kept for laying it out again when the columns change.
    QList<RecordEx> m_shown;
    quint32 m_rememberedName = 0;
    int m_lastProgress = 0;
    // The upload under way goes beside a complete local copy, which it replaces only when whole.
    bool m_replacingCopy = false;
    QElapsedTimer m_startClick;
    quint32 m_replacingName = 0;
    QString m_leftoverText;
    struct QueuedDelete
    {
        quint32 name = 0;
        QString shown; // as the table showed it when the person confirmed
    };
    QVector<QueuedDelete> m_deleteQueue;
    quint32 m_deleting = 0; // the record of the last delete sent
    // The status line holds a delete result that the refresh after it must leave in place.
    bool m_statusHeld = false;
    // The table holds the instrument's list as it was when the link dropped.
    bool m_listFromBeforeDrop = false;
};
