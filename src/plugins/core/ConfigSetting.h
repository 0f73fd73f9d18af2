#pragma once

#include "core_global.h"

#include <QMutex>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

// The PC-side configuration in "/../config/KeloConfig.ini" below the application directory,
// UTF-8. Values are addressed by group and key ("/%1/%2"); an empty group lands in [General].
//
//   [General]
//   BuildVersion=VB.1.2.11.20261208
//   [Network]
//   IP=127.0.0.1
//   Port=5000
class CORE_EXPORT ConfigSetting : public QSettings
{
    Q_OBJECT
public:
    // Public so that tests can open a fresh object on a new directory; the system uses instance().
    explicit ConfigSetting(QObject* parent = nullptr);
    ~ConfigSetting() override;

    static ConfigSetting* instance();

    QVariant GetInit(QString group, QString key);
    void SetInit(QString group, QString key, QVariant value);
    void InitConfig();
    QString getBuildTime();

    static QString buildVersion();
    // "Mmm dd yyyy" as the compiler's __DATE__ gives it, to "yyyyMMdd".
    static QString buildDateFrom(QString compilerDate);
    QString configPath() const;

    // Read by the user interface; set only by the initialisation.
    QString configMode;
    QString deviceType;
    bool isEnglish = false;

private:
    void initLocked();
    static QString settingsKey(const QString& group, const QString& key);

    QString m_configPath;
    std::unique_ptr<QSettings> m_settings;
    mutable QMutex m_mutex;
};
