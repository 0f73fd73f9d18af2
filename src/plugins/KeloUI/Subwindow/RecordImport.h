#pragma once

#include "RecordImportCopy.h"
#include "keloui_global.h"

#include <FramelessHelper.h>
#include <RecordEx.h>

#include <QStringList>
#include <QWidget>

#include <functional>

class QComboBox;

namespace Ui {
class RecordImport;
}

// Turns external raw sample files, one per collection card, into a record of the local record
// store: the user lists the files (drop or file dialog), puts each on a card and each card's
// channels on bands, picks the bit width, checks size, duration and bandwidth, names the record
// (the current time, or typed seconds since the epoch), adds a remark and imports. The window
// checks everything, builds the record description and hands the copy to RecordImportCopy.
//
// One window for the whole program (Instance()); closing it shows the local backup list again.
class KELOUI_EXPORT RecordImport : public QWidget
{
    Q_OBJECT
public:
    // Columns of the file table before the band columns.
    enum Column { PathColumn = 0, SizeColumn = 1, CardColumn = 2, FirstBandColumn = 3 };
    // The size column holds whole MiB (Qt::UserRole) and the file's bytes (this role).
    static constexpr int kBytesRole = Qt::UserRole + 1;

    static RecordImport* Instance();
    // Public so that tests can make their own; the program uses Instance().
    explicit RecordImport(QWidget* parent = nullptr);
    ~RecordImport() override;

    // "%1 %2": the byte count in Byte, KB, MB or GB with two decimals.
    static QString sizeText(qint64 bytes);
    // Seconds a record of `totalMiB` lasts; -1 when the rate comes out 0.
    static qint64 durationSeconds(quint64 totalMiB, int bit, int channels, int cards, const QString& configMode);

    int bandsPerFile() const { return m_bandsPerFile; }
    int bandsPerCard() const { return m_bandsPerCard; }
    const RecordEx& recordDescription() const { return m_record; }
    RecordImportCopy& copyJob() { return m_copy; }
    bool nameTimerRunning() const { return m_nameTimer != 0; }

    bool CheckRecordParam();

    // Test seam: the free space of a folder's volume (bytes, -1 unknown).
    using FreeSpace = std::function<qint64(const QString& path)>;
    static void setFreeSpaceForTest(FreeSpace freeSpace);

public slots:
    void HandleFileList(QStringList files);
    void CopyResult(bool success);
    void ProcessUpdate(int percent);
    void on_comboBox_bitwide_currentIndexChanged(int index);
    void slot_GetDeviceSettingsFinished();
    void on_pushButton_clicked();
    void on_pushButton_clean_clicked();
    void on_radioButton_manual_toggled(bool checked);
    void on_radioButton_auto_toggled(bool checked);
    void on_pushButton_2_clicked();
    void on_toolButton_clicked();
    void on_pushButton_cancel_clicked();
    void on_pushButton_add_clicked();
    void on_checkBox_singlechannel_toggled(bool checked);
    void on_lineEdit_record_name_textChanged(QString text);

protected:
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void StartNameTimer();
    void StopNameTimer();
    // An automatic name stands still from 导入 until the import ends or is refused.
    void pauseAutomaticName();
    void resumeAutomaticName();
    bool checkRecordParam();
    void showNameTick();
    void UpdateRecordInfo();
    void AddDataFile(const QString& path);
    void ClearFileTable();
    void ResetAndClose();
    void LoadStyleSheet(const QString& name);
    void setColumnWidths();
    // Switches the band slots from the second on; `selectFirstAlways` is the single-channel
    // box's variant, which selects the first band of every slot it switches on.
    void evaluateBandSlots(bool selectFirstAlways);
    bool currentBitIsSingle() const;
    int rowCard(int row) const;
    QComboBox* bandCombo(int row, int slot) const;
    static void switchOff(QComboBox* combo);
    static void switchOn(QComboBox* combo, bool selectFirstAlways);
    void fail(const QString& title, const QString& text);

    Ui::RecordImport* ui;
    RecordImportCopy m_copy;
    int m_bandsPerFile = 0;
    int m_bandsPerCard = 0;
    int m_channels = 0;
    int m_cards = 0;
    int m_nameTimer = 0;
    QString m_lastFolder; // where the last data file added was found
    bool m_singleChannel = false;
    RecordEx m_record;
    FramelessHelper m_frame;
};
