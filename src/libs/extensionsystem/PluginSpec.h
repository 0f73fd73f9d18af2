#pragma once

#include "extensionsystem_global.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

class QPluginLoader;

namespace Ns {
namespace Lib {
namespace ExtensionSystem {

class IPlugin;

struct EXTENSIONSYSTEM_EXPORT PluginDependency
{
    QString name;
    QString version;
};

// What the host knows of one plug-in library: its metadata, its state and its error.
//
// Metadata is the JSON object embedded with Q_PLUGIN_METADATA, for example
//   {"Name": "KeloUI", "Version": "1.0.0", "CompatVersion": "1.0.0", "Category": "Kelo",
//    "Dependencies": [{"Name": "Core", "Version": "1.0.0"}]}
class EXTENSIONSYSTEM_EXPORT PluginSpec
{
public:
    enum State { Invalid, Read, Resolved, Loaded, Initialized, Running, Stopped, Deleted };

    ~PluginSpec();

    QString name() const { return m_name; }
    QString version() const { return m_version; }
    QString compatVersion() const { return m_compatVersion; }
    QString category() const { return m_category; }
    QString description() const { return m_description; }
    QString vendor() const { return m_vendor; }
    bool isRequired() const { return m_required; }
    QStringList arguments() const { return m_arguments; }
    QVector<PluginDependency> dependencies() const { return m_dependencies; }
    QString filePath() const { return m_filePath; }
    QString className() const { return m_className; }

    State state() const { return m_state; }
    bool hasError() const { return m_hasError; }
    QString errorString() const { return m_errorString; }
    IPlugin* plugin() const { return m_plugin; }

    // True when this plug-in can stand in for a dependency on `version`.
    bool provides(const QString& pluginName, const QString& version) const;

    // -1, 0 or 1 like strcmp, on dotted numeric versions; a malformed version sorts first.
    static int versionCompare(const QString& a, const QString& b);
    static bool isValidVersion(const QString& version);

private:
    friend class PluginManager;
    PluginSpec() = default;

    bool readMetaData(const QString& filePath);
    bool loadLibrary();
    bool initializePlugin(const QStringList& arguments);
    void initializeExtensions();
    bool delayedInitialize();
    int stop();
    void kill();
    void setError(const QString& text);

    QString m_name;
    QString m_version;
    QString m_compatVersion;
    QString m_category;
    QString m_description;
    QString m_vendor;
    QString m_className;
    bool m_required = false;
    QStringList m_arguments;
    QVector<PluginDependency> m_dependencies;
    QVector<PluginSpec*> m_resolvedDependencies;
    QString m_filePath;

    State m_state = Invalid;
    bool m_hasError = false;
    QString m_errorString;
    QPluginLoader* m_loader = nullptr;
    IPlugin* m_plugin = nullptr;
};

} // namespace ExtensionSystem
} // namespace Lib
} // namespace Ns
