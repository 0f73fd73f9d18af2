#pragma once

#include "extensionsystem_global.h"

#include <QObject>
#include <QStringList>
#include <QVector>

namespace Ns {
namespace Lib {
namespace ExtensionSystem {

class PluginSpec;

// Finds the plug-ins of the host in its plug-in folders, resolves their dependencies and drives
// their life: initialize in dependency order, extensionsInitialized in reverse, shut-down last.
class EXTENSIONSYSTEM_EXPORT PluginManager : public QObject
{
    Q_OBJECT
public:
    PluginManager();
    ~PluginManager() override;

    static PluginManager* instance();

    static void setPluginPaths(const QStringList& paths);
    static QStringList pluginPaths();
    static void setPluginArguments(const QStringList& arguments);

    // Reads, resolves, loads and initialises every plug-in found. Plug-ins with an error are
    // kept in the list with hasError() set and are never initialised.
    static void loadPlugins();
    // The plug-ins in load order (dependencies before their dependants).
    static QVector<PluginSpec*> plugins();
    static PluginSpec* pluginByName(const QString& name);
    static bool hasError();
    // Asks every plug-in to shut down (reverse load order), then deletes them and the objects
    // they handed over. Safe to call more than once.
    static void shutdown();

signals:
    void pluginsChanged();

private:
    void readPlugins();
    void resolveDependencies();
    QVector<PluginSpec*> loadQueue();
    bool enqueue(PluginSpec* ps, QVector<PluginSpec*>& queue, QVector<PluginSpec*>& circle);

    static PluginManager* m_instance;
    QStringList m_pluginPaths;
    QStringList m_arguments;
    QVector<PluginSpec*> m_pluginSpecs;
    QVector<PluginSpec*> m_loadOrder;
    bool m_shutDown = false;
};

} // namespace ExtensionSystem
} // namespace Lib
} // namespace Ns
