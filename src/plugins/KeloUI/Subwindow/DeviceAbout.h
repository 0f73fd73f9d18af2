#pragma once

#include "keloui_global.h"

#include <DeviceInfo.h>

#include <QDate>
#include <QDateTime>
#include <QWidget>

class QMouseEvent;
class SystemLog;
class SystemSet2;

namespace Ui {
class DeviceAbout;
}

// The device information page: what the instrument and this software are, the firmware update
// group, and the holder of the system settings page and the status log.
class KELOUI_EXPORT DeviceAbout : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceAbout(QWidget* parent = nullptr);
    ~DeviceAbout() override;

    SystemSet2* GetSystemSet2() const { return m_systemSet; }
    SystemLog* systemLog() const { return m_log; }
    // The build date as "yyyyMMdd", and with the build time.
    static QString GetBuildVersion();
    static QDateTime GetBuildDateTime();
    // The compiler's date text ("Aug  1 2025") as a date.
    static QDate parseBuildDate(const char* compilerDate);

    // The version texts, short or with their fourth part.
    static QString softwareVersionText(const DeviceInfo& info, bool full);
    static QString pcVersionText(const QString& buildDate, bool full);
    static QString cardVersionText(const DeviceInfo& info, bool full);
    QString cardVersions() const { return m_cardVersions; }
    bool fullVersion() const { return m_fullVersion; }

    void CheckUpdateFile(QString path);
    void ShowUpdatePackageInfo();
    void QueryServerPluginVersion(const QMouseEvent& event);

public slots:
    void slot_update_device_info(DeviceInfo device_info);
    void on_pushButton_showHardVer_clicked();
    void on_pushButton_update_browser_file_clicked();
    void on_pushButton_update_clicked();
    void UpdateTransportResult(bool ret);
    void UpdateTransportProgress(qint64 bytesSent, qint64 bytesTotal);

private:
    void warnInvalidPackage();

    Ui::DeviceAbout* ui;
    SystemLog* m_log = nullptr;
    SystemSet2* m_systemSet = nullptr;
    QString m_cardVersions;
    bool m_fullVersion = false;
};
