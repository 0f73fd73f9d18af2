#pragma once

#include "keloui_global.h"

#include "ExtendProtocol.h"
#include "ExtendReplyCutter.h"
#include "HeldControls.h"

#include <ExtendRequests.h>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTimer>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QStandardItemModel;
class PanelFit;
class UdpNetworkThread;

namespace Ui {
class Extend518;
}

// The extension-protocol panel of the "518" variant: binds the UDP port, sends the requests
// of the extension protocol through the link's table (ExtendRequests) and shows what the
// replies say and what it is told. Replies are cut in the socket thread; in the GUI thread
// ExtendProtocol decodes them and ExtendReplyText words them.
class KELOUI_EXPORT Extend518 : public QWidget
{
    Q_OBJECT
public:
    // The kinds of message box the panel shows (through StandardMessageBox); a question comes
    // only before records are deleted, and only a deliberate yes answers it (ConfirmDestructive).
    struct Box
    {
        enum Kind { Information, Warning, Critical, Question };
    };
    // Where the raw ephemeris replies are kept: "/../Ephemeris" below the application directory.
    static QString ephemerisDir();

    explicit Extend518(QWidget* parent = nullptr);
    ~Extend518() override;

    static QByteArray MakeFrame(COST code, const QByteArray& payload);
    static quint16 checkSum16(const char* data, int length);

    // Requests of the extension protocol.
    void sendGetStatus();
    void sendPlaybackCmd(unsigned char kind, unsigned char action, unsigned int name);
    void sendRecordCmd(unsigned char action, unsigned int name);
    void sendGetVolume();
    void sendGetRecords();
    bool sendDeleteRecord(unsigned int name);
    void sendDeviceCheck();
    void sendSetPower(unsigned char value);
    void sendSetIp(unsigned int ip, unsigned int mask, unsigned int gateway);
    void sendFormat();
    void sendGetPulse(unsigned char wait, unsigned char count);
    void sendGetLeapSecond();
    void sendSetPulse(unsigned long long width, unsigned short count);
    void sendGetEphComposite();
    void sendGetEphCivil();
    void sendGetEphMilitary();

    void setStateCollecting();
    void setStateIdle();
    void setStatePlayback();
    void setStateForwarding();

    int deviceMode() const { return m_deviceMode; }
    // The code of the request sent last (COST_GetStatus before any).
    COST pendingCode() const { return m_link.pendingCode(); }
    bool isBound() const;
    quint16 boundPort() const;
    QStandardItemModel* recordModel() const { return m_model; }
    // Test seam: the reply time-out (3000 ms in use).
    void setReplyTimeout(int ms) { m_link.setReplyTimeout(ms); }

signals:
    void udp_open(ushort localport, QString targetip, ushort targetport);
    void udp_close();
    void udp_send(QByteArray data);
    void PostCmdResult(COST cmd, QByteArray data);

public:
    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void recv(QByteArray data);
    void HandleCmdResult(COST cmd, QByteArray data);
    void recordNameTimerEvent();

    void on_pushButton_bind_clicked();
    void on_pushButton_devicecheck_clicked();
    void on_pushButton_volume_clicked();
    void on_pushButton_netcheck_clicked();
    void on_pushButton_getrecord_clicked();
    void on_pushButton_playback_clicked();
    void on_pushButton_stoptp_clicked();
    void on_pushButton_transport_clicked();
    void on_lineEdit_recordname_textChanged(const QString& arg1);
    void on_lineEdit_recordtime_textChanged(const QString& arg1);
    void on_pushButton_record_clicked();
    void on_checkBox_stateChanged(int arg1);
    void on_pushButton_delete_clicked();
    void on_pushButton_stoprecord_clicked();
    void on_pushButton_pulse_clicked();
    void on_pushButton_setpulse_clicked();
    void on_pushButton_eph_composite_clicked();
    void on_pushButton_eph_civil_clicked();
    void on_pushButton_eph_military_clicked();
    void on_pushButton_eph_civil_clean_clicked();
    void on_pushButton_eph_military_clean_clicked();
    void on_comboBox_civil_currentIndexChanged(int index);
    void on_comboBox_military_currentIndexChanged(int index);
    void on_pushButton_leapsecond_clicked();
    void on_pushButton_delete_2_clicked();
    void on_pushButton_clicked();
    void on_horizontalSlider_power_valueChanged(int value);
    void on_pushButton_eph_composite_trans_clicked();
    void on_pushButton_eph_civil_trans_clicked();
    void on_plainTextEdit_eph_military_trans_clicked();

private:
    bool inMode(SystemState mode) const { return m_deviceMode == int(mode); }
    void setMode(SystemState mode) { m_deviceMode = int(mode); }
    void bindNow();
    // Holds the controls whose kind is open and lets go of those no longer held.
    void holdControls();
    // A reply the link gives to show.
    void showReply(COST cmd, const QByteArray& data);
    // The instrument confirmed the record gone: it leaves the list at once.
    void forgetRecord(quint32 name);
    int showBox(Box::Kind kind, const QString& title, const QString& text);
    void refusedNotIdle();
    // Writes a field the code fills, marking it so that its change handler leaves it alone.
    // Nothing is written (and no mark left behind) when the text is already there.
    static void writeMarked(QLineEdit* edit, bool& mark, const QString& text);
    void showState(const QByteArray& data);
    void showPlayback(const ExtendProtocol::RunReply& reply);
    void showRecord(const ExtendProtocol::RecordReply& reply);
    void showRecordList(const ExtendProtocol::RecordList& list);
    void showEphemerisSet(COST code, const ExtendProtocol::EphemerisSet& set);
    void saveComposite(const QByteArray& data);
    void saveSet(COST code, const ExtendProtocol::EphemerisSet& set);
    void exportFile(const QString& fileName, const QString& title, const QString& caption,
                    QString (*build)(const QByteArray&));
    void fillSatellites(QComboBox* box, bool& mark, const QMap<qint8, QString>& map);
    void showSatellite(QComboBox* box, bool mark, const QMap<qint8, QString>& map, QPlainTextEdit* view, int index);

    Ui::Extend518* ui = nullptr;
    PanelFit* m_fit = nullptr;
    QStandardItemModel* m_model = nullptr;
    QTimer m_recordNameTimer;
    // The extension link's requests, their checks and their words.
    ExtendRequests m_link;
    HeldControls m_held; // controls held while their kind is open
    UdpNetworkThread* m_thread = nullptr;
    ExtendReplyCutter m_cutter; // socket thread only
    // The instrument's run state as last reported (SystemState values, or whatever a state
    // report held); 0 until the first report.
    int m_deviceMode = 0;
    QMap<qint8, QString> m_civil;
    QMap<qint8, QString> m_military;
    bool m_saveComposite = false;
    bool m_saveCivil = false;
    bool m_saveMilitary = false;
    int m_civilCount = 0;
    int m_militaryCount = 0;
    bool m_nameMark = false;
    bool m_timeMark = false;
    bool m_civilMark = false;
    bool m_militaryMark = false;
};
