#pragma once

#include "keloui_global.h"

#include <DeviceInfo.h>
#include <DiskVolume.h>
#include <FileLogger.h>
#include <SystemState.h>

#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class ntpserver;

// The system settings page: the control connection to the instrument (its constructor makes
// the system's first connection), the instrument's own network settings and the PC's data
// path, the instrument's disks (capacity per board, clearing every record), its self-check and
// the PC's NTP server, which the instrument takes its clock from. The RF group stands as a
// notice until it is built.
class KELOUI_EXPORT SystemSet2 : public QWidget
{
    Q_OBJECT
public:
    explicit SystemSet2(QWidget* parent = nullptr);

    // Four dot-separated decimal parts of 0 to 255 (leading zeros allowed), nothing else.
    static bool IsValidIP(const QString& text);
    QString SelectSavePath();

    quint32 transportMode() const { return m_transportMode; }
    bool settingsLoaded() const { return m_settingsLoaded; }
    // Test seam: the directory dialog; returns the chosen directory, empty when cancelled.
    using DirectoryChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;
    static void setDirectoryChooser(DirectoryChooser chooser);
    // Test seam: the information box after a network change; it is shown modally otherwise.
    using InformationBox = std::function<void(QWidget* parent, const QString& title, const QString& text)>;
    static void setInformationBox(InformationBox box);

signals:
    void PrintSystemLog(FileLogger::LogType type, QString msg);

public slots:
    void on_pbn_connect_clicked();
    void slot_ChangeConnectIP();
    void on_ptn_SetDeviceIP_clicked();
    void slot_SetIPSuccess(bool ok);
    void on_pbn_ChangePath_clicked();
    void on_pbn_OpenPath_clicked();

    void slot_update_device_info(DeviceInfo info);
    void slot_core_ReceivedDiskVolume(QList<DiskVolume> diskVolume);
    void slot_update_availab_capacity(uint32_t surplusCapacity);
    void on_ptn_clear_clicked();
    void on_pushButton_stateCheck_clicked();
    void slot_core_device_check(uchar card, uint error);

private:
    void setupForm();
    QGroupBox* buildNetworkGroup();
    QGroupBox* buildSetIpGroup();
    QGroupBox* buildSavePathGroup();
    QGroupBox* buildDiskGroup();
    QTabWidget* buildFunctionTabs();
    void StartNtpServer();
    void onLinkState(bool up);
    void onRunState(SystemState state);

    QGroupBox* groupBox_network = nullptr;
    QLineEdit* lineEdit_IP = nullptr;
    QLineEdit* lineEdit_Port = nullptr;
    QPushButton* pbn_connect = nullptr;
    QPushButton* pushButton_stateCheck = nullptr;
    QGroupBox* groupBox_SetIP = nullptr;
    QLineEdit* txt_IP = nullptr;
    QLineEdit* txt_NetMask = nullptr;
    QLineEdit* txt_Gateway = nullptr;
    QPushButton* ptn_SetDeviceIP = nullptr;
    QLabel* label_ip_tip = nullptr;
    QGroupBox* groupBox_savepath = nullptr;
    QLineEdit* txt_CurrentPath = nullptr;
    QPushButton* pbn_ChangePath = nullptr;
    QPushButton* pbn_OpenPath = nullptr;
    QGroupBox* groupBox_disk = nullptr;
    QPushButton* ptn_clear = nullptr;
    QLabel* label_TotalMemory = nullptr;
    QLabel* label_SurplusMemory = nullptr;
    QTabWidget* tabWidget_function = nullptr;

    ntpserver* m_ntp = nullptr;
    quint32 m_transportMode = 0;
    bool m_settingsLoaded = false;
};
