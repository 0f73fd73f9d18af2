#pragma once

#include "keloui_global.h"

#include <DeviceInfo.h>
#include <RecordEx.h>
#include <ReplyOwner.h>

#include <FramelessHelper.h>

#include <QItemSelection>
#include <QList>
#include <QWidget>

class QStandardItemModel;
class QItemSelectionModel;

namespace Ui {
class BackupList;
}

// The records kept on the PC for the connected instrument: one row per record folder of the
// local record store whose information file reads, with how far it went up and down. From here
// the user refreshes, opens the folder, deletes a record, switches to record import and sends a
// complete record back to the instrument.
//
// One window for the whole program (instance()); every showing refreshes the list.
class KELOUI_EXPORT BackupList : public QWidget
{
    Q_OBJECT
public:
    // Columns before the band columns, and after them ("备注", "上传进度", "下载进度").
    static constexpr int kFixedColumns = 7;

    static BackupList* instance();
    // Public so that tests can make their own; the program uses instance().
    explicit BackupList(QWidget* parent = nullptr);
    ~BackupList() override;

    // The records of the last refresh, in load order, and the id of the selected one (0: none).
    const QList<RecordEx>& records() const { return m_records; }
    quint32 selectedId() const { return m_selectedId; }
    QStandardItemModel* model() const { return m_model; }
    // The device folder the last refresh read from, empty when it found none.
    QString deviceFolder() const { return m_deviceFolder; }
    // Who is told what became of the download start requests this list sends (ReplyOwner.h).
    void setDownloadOwner(const ReplyOwner& owner) { m_downloadOwner = owner; }

    // Rebuilds the header with n band columns; 0 takes the channel count of the instrument.
    void initTableHeader(int n);
    bool refreshRecords(QList<RecordEx>& records);
    void searchBackupRecords();

    // The text of one cell as the list shows it; band columns look the id up in the band table.
    static QString bitText(const RecordEx& record, const QString& configMode);
    static QString progressText(quint64 transferred, quint64 sizeMiB);
    static bool isComplete(const RecordEx& record);
    // The band cells of a record for n band columns.
    static QStringList bandTexts(const RecordEx& record, int n);

signals:
    void StartingDownload();
    void closed();

public slots:
    void slot_getDeviceInfo(DeviceInfo device_info);
    void slot_SelectionData(const QItemSelection& selected, const QItemSelection& deselected);
    void on_pbt_ok_clicked();
    void on_tbn_refresh_clicked();
    void on_tbn_deleteRecord_clicked();
    void on_toolButton_clicked();
    void on_pushButton_clicked();
    void on_pushButton_import_clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void initModel();
    // Tall enough for the table to show `rows` records at once; the placement keeps it on the screen.
    void fitRows(int rows);
    void appendRow(const RecordEx& record, int bands);
    // <device folder>/RecordData as the list reads it, or empty before a refresh found one.
    QString recordDataPath() const;
    bool passesChannelCheck(const RecordEx& record);
    // True unless the instrument's list, fetched since the link came up, lacks the record.
    bool mayBeOnInstrument(uint name) const;
    // 下载 needs the instrument; the reason beside it says so while the link is down.
    void showLinkState();

    // The last device information received, for the whole program: the refresh takes the
    // device folder's name from it.
    static DeviceInfo s_deviceInfo;

    Ui::BackupList* ui;
    QStandardItemModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    QList<RecordEx> m_records;
    quint32 m_selectedId = 0;
    QString m_deviceFolder;
    ReplyOwner m_downloadOwner;
    QString m_deviceName;
    FramelessHelper m_frame;
};
