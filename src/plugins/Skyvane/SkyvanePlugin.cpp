#include "SkyvanePlugin.h"

#include <PluginManager.h>
#include <PluginSpec.h>

#include <QDebug>

#include <cstdio>

namespace Ns {
namespace Skyvane {

using Ns::Lib::ExtensionSystem::PluginManager;
using Ns::Lib::ExtensionSystem::PluginSpec;

bool SkyvanePlugin::initialize(const QStringList& arguments, QString* errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)
    // This plug-in does not use Core, so it reports through the debug stream, not the log file.
    qDebug().noquote() << QStringLiteral("Skyvane 加载");
    return true;
}

void SkyvanePlugin::extensionsInitialized()
{
    checkPluginsError();
}

Ns::Lib::ExtensionSystem::IPlugin::ShutdownFlag SkyvanePlugin::aboutToShutdown()
{
    std::fputs("Skyvane plugin shutdown!\n", stdout);
    std::fflush(stdout);
    return SynchronousShutdown;
}

void SkyvanePlugin::checkPluginsError()
{
    if (!PluginManager::hasError())
        return;
    const auto loaded = PluginManager::plugins();
    for (PluginSpec* plugin : loaded) {
        if (plugin && plugin->hasError())
            qWarning().noquote() << plugin->errorString();
    }
}

} // namespace Skyvane
} // namespace Ns
