#pragma once

#include "keloui_global.h"

#include "SelfCheckReport.h"

#include <DeviceCapabilities.h>
#include <DeviceInfo.h>
#include <DiskVolume.h>
#include <FileLogger.h>
#include <ReplyOwner.h>
#include <SystemState.h>

#include <QSet>
#include <QWidget>

#include <functional>

class QShowEvent;
class QStandardItemModel;
class ntpserver;

namespace Ui {
class SystemSet2;
}

// The system settings page: the control connection to the instrument (its constructor makes
// the system's first connection), the instrument's own network settings and the PC's data
// path, the instrument's disks (capacity per board, clearing every record), its self-check and
// the PC's NTP server, which the instrument takes its clock from; and the function tabs of the
// RF and transponder parameters and the custom bands, which exist as the instrument's device
// configuration and the configured variant allow. Values live in the device configuration
// (through ProtocolManager); the page keeps no copy of its own.
class KELOUI_EXPORT SystemSet2 : public QWidget
{
    Q_OBJECT
public:
    explicit SystemSet2(QWidget* parent = nullptr);
    ~SystemSet2() override;

    // Four dot-separated decimal parts of 0 to 255 (leading zeros allowed), nothing else.
    static bool IsValidIP(const QString& text);
    QString SelectSavePath();

    quint32 transportMode() const { return m_transportMode; }
    bool settingsLoaded() const { return m_settingsLoaded; }

signals:
    void PrintSystemLog(FileLogger::LogType type, QString msg);

public slots:
    void on_pbn_connect_clicked();
    void slot_ChangeConnectIP();
    void on_ptn_SetDeviceIP_clicked();
    // `address` is the instrument address the answered request sent.
    void slot_SetIPSuccess(bool ok, const QString& address);
    void on_pbn_ChangePath_clicked();
    void on_pbn_OpenPath_clicked();

    void slot_update_device_info(DeviceInfo info);
    void slot_core_ReceivedDiskVolume(QList<DiskVolume> diskVolume);
    void slot_update_availab_capacity(uint32_t surplusCapacity);
    void on_ptn_clear_clicked();
    void on_pushButton_stateCheck_clicked();
    // A self-check round: the person's (the button), or the program's own (`automatic`), whose
    // faults alone are told. Every card's answer is gathered and told in one message.
    void deviceCheck(bool automatic);
    // A card's answer, as the instrument numbers the card, taken into the round it answers.
    void slot_core_device_check(uchar card, uint error, bool automatic = false);
    // The one message of a round.
    void tellCheck(const SelfCheckReport& report);

    // Removes and restores the function tabs by the capabilities and the variant, then refreshes.
    void UpdateFunctionTabs();
    void on_pushButton_readtrans_clicked();
    void on_pushButton_settrans_clicked();
    void on_pushButton_readdoppler_clicked();
    void on_pushButton_setdoppler_clicked();
    void on_pushButton_bandwidth_clicked();
    void on_radioButton_agc_clicked();
    void on_radioButton_mgc_clicked();
    void on_pushButton_mgc_clicked();
    void on_checkBox_feedswitch_clicked(bool checked);
    void on_pushButton_setOutput_clicked();
    void on_pushButton_pulse_set_clicked();
    void on_pushButton_pulse_request_clicked();
    void on_lineEdit_transpondDelay_textChanged(const QString& text);

    // The custom bands: rebuilt from the Core's band table, edited here, saved as one batch.
    void RefreshCustomFreqList();
    void on_pushButton_cst_add_clicked();
    void on_pushButton_cst_del_clicked();
    void on_pushButton_cst_cancel_clicked();
    void on_pushButton_cst_save_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Writes one device value and says, once it is known, what came of it: not sent (another
    // write is open, or the link is down), stored, refused, or unknown.
    void writeAndTell(const QString& what, const QString& value, const std::function<bool(const ReplyOwner&)>& write);
    // A read the person asked for: the value that comes back is told, and so is its absence.
    void askRead(int which, const QString& what, DevConfigValue code);
    void showTab(QWidget* tab, bool present);
    void selectBandwidth(uint hertz);
    void updateCustomCount();
    void refreshValues();
    void StartNtpServer();
    void onLinkState(bool up);
    void onConnectFailed();
    // Says beside the connect button what the link is doing and why the instrument's settings
    // are off; gates the buttons that need the instrument.
    void showLinkState();
    QString linkTarget() const;
    void showAddressError();
    void onRunState(SystemState state);
    void onClearAllResult(bool cleared);
    void endClearAll(const QString& title, const QString& text, int type);
    // This page as the owner of the requests it sends (ReplyOwner.h).
    ReplyOwner replyOwner();
    // A bare network result that came while two network changes waited: either took effect.
    void onReplyTimedOut(uchar type, uchar cmd);
    void onLateReply(uchar type, uchar cmd, const QByteArray& request, const QByteArray& reply);
    // A network change, or a clearing, waits for its result before the next may go: its button
    // is off meanwhile, the reason as its tool tip.
    void updateHeldButtons();
    // The instrument accepted this address: the next connection goes there.
    void takeAddress(const QString& address);
    // The self-check round sent as `seq` is over: told now unless it was told when whole.
    void endCheck(quint64 seq, bool cut);

    Ui::SystemSet2* ui;
    QStandardItemModel* m_customModel = nullptr;

    ntpserver* m_ntp = nullptr;
    quint32 m_transportMode = 0;
    bool m_settingsLoaded = false;
    int m_listedRecords = -1;
    struct CheckRound
    {
        quint64 seq = 0;
        SelfCheckReport report;
        bool told = false;
    };
    QList<CheckRound> m_checks; // the self-check rounds open, oldest first
    QSet<int> m_readsAsked;     // the reads the person asked for and not yet told
    // Attempts failed since the last connection or press of the connect button.
    int m_failedAttempts = 0;
};
