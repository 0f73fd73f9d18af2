#include "ConfigSetting.h"

#include "AppPaths.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTextCodec>

namespace {
ConfigSetting* g_instance = nullptr;

QString compiledDate()
{
    static const QString date = ConfigSetting::buildDateFrom(QStringLiteral(__DATE__));
    return date;
}
} // namespace

ConfigSetting::ConfigSetting(QObject* parent)
    : QSettings(parent)
{
    InitConfig();
}

ConfigSetting::~ConfigSetting() = default;

ConfigSetting* ConfigSetting::instance()
{
    // First called in the GUI thread during start-up, before any worker thread exists.
    if (!g_instance)
        g_instance = new ConfigSetting;
    return g_instance;
}

QString ConfigSetting::settingsKey(const QString& group, const QString& key)
{
    return QStringLiteral("/%1/%2").arg(group, key);
}

QString ConfigSetting::configPath() const
{
    QMutexLocker lock(&m_mutex);
    return m_configPath;
}

QString ConfigSetting::buildDateFrom(QString compilerDate)
{
    // The compiler writes "Mmm dd yyyy" with a blank in place of the leading zero of a one-digit day.
    compilerDate.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    return QLocale(QLocale::English)
        .toDate(compilerDate, QStringLiteral("MMM dd yyyy"))
        .toString(QStringLiteral("yyyyMMdd"));
}

QString ConfigSetting::getBuildTime()
{
    return compiledDate();
}

QString ConfigSetting::buildVersion()
{
    return QStringLiteral("VB.%1.%2.%3.%4").arg(1).arg(2).arg(11, 2, 10, QLatin1Char('0')).arg(compiledDate());
}

void ConfigSetting::InitConfig()
{
    QMutexLocker lock(&m_mutex);
    initLocked();
}

void ConfigSetting::initLocked()
{
    m_configPath = AppPaths::applicationDir() + QStringLiteral("/../config/KeloConfig.ini");
    m_settings = std::make_unique<QSettings>(m_configPath, QSettings::IniFormat);
    m_settings->setIniCodec(QTextCodec::codecForName("UTF-8"));
    if (!QFile::exists(m_configPath)) {
        m_settings->setValue(settingsKey(ConfigKey::NetworkIp), QStringLiteral("127.0.0.1"));
        m_settings->setValue(settingsKey(ConfigKey::NetworkPort), QStringLiteral("5000"));
        m_settings->sync();
    }
    // The variant keys stand in the file from the first start, empty meaning the default, so
    // that choosing a variant is an edit of a value rather than a group to find and add.
    if (!m_settings->contains(settingsKey(ConfigKey::ConfigMode)))
        m_settings->setValue(settingsKey(ConfigKey::ConfigMode), QString());
    if (!m_settings->contains(settingsKey(ConfigKey::DeviceType)))
        m_settings->setValue(settingsKey(ConfigKey::DeviceType), QStringLiteral("Kelo"));
    m_settings->setValue(settingsKey(ConfigKey::BuildVersion), buildVersion());
    m_settings->sync();

    configMode = m_settings->value(settingsKey(ConfigKey::ConfigMode), QString()).toString();
    deviceType = m_settings->value(settingsKey(ConfigKey::DeviceType), QStringLiteral("Kelo")).toString();
    isEnglish = m_settings->value(settingsKey(ConfigKey::Language), QStringLiteral("chinese")).toString().toLower()
             == QLatin1String("english");
}

QVariant ConfigSetting::GetInit(QString group, QString key)
{
    QMutexLocker lock(&m_mutex);
    return m_settings->value(settingsKey(group, key));
}

void ConfigSetting::SetInit(QString group, QString key, QVariant value)
{
    QMutexLocker lock(&m_mutex);
    // A file deleted while we run is re-created with its defaults; the value is stored as well,
    // so the user's change is not silently dropped.
    if (!QFile::exists(m_configPath))
        initLocked();
    m_settings->setValue(settingsKey(group, key), value);
    m_settings->sync();
}
