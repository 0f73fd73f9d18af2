#pragma once

#include "ConfigKey.h"
#include "core_global.h"

#include <QMutex>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <utility>

// The PC-side configuration in "/../config/KeloConfig.ini" below the application directory,
// UTF-8. Values are addressed by group and key ("/%1/%2"); an empty group lands in [General].
// The keys in use are named in ConfigKey; callers pass those rather than spelling them.
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
    QVariant GetInit(const ConfigKey& key) { return GetInit(key.group, key.key); }
    void SetInit(const ConfigKey& key, QVariant value) { SetInit(key.group, key.key, std::move(value)); }
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

    // The variants the program acts on, compared case-sensitively as the file holds them. The
    // static forms judge a string copied for another thread or handed in by a caller.
    static bool isTransponder(const QString& type) { return type == QLatin1String("TRANS"); }
    static bool isCpci(const QString& mode) { return mode == QLatin1String("CPCI"); }
    static bool is518(const QString& mode) { return mode == QLatin1String("518"); }
    static bool isScene(const QString& mode) { return mode == QLatin1String("SCENE"); }
    static bool isLeo(const QString& mode) { return mode == QLatin1String("LEO"); }
    static bool isPlaybackOnly(const QString& mode) { return mode == QLatin1String("PLAYBACK"); }
    static bool isFbs(const QString& mode) { return mode == QLatin1String("FBS"); }
    static bool isCheat(const QString& mode) { return mode == QLatin1String("CHEAT"); }
    // "TRANS": a forwarding-only unit.
    bool isTransponder() const { return isTransponder(deviceType); }
    bool isCpci() const { return isCpci(configMode); }
    bool is518() const { return is518(configMode); }
    bool isScene() const { return isScene(configMode); }
    bool isLeo() const { return isLeo(configMode); }
    bool isPlaybackOnly() const { return isPlaybackOnly(configMode); }
    bool isFbs() const { return isFbs(configMode); }
    bool isCheat() const { return isCheat(configMode); }

private:
    void initLocked();
    static QString settingsKey(const QString& group, const QString& key);
    static QString settingsKey(const ConfigKey& key) { return settingsKey(key.group, key.key); }

    QString m_configPath;
    std::unique_ptr<QSettings> m_settings;
    mutable QMutex m_mutex;
};
