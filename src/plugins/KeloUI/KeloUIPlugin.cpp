#include "KeloUIPlugin.h"

#include "MainWindow.h"

#include <PluginManager.h>
#include <PluginSpec.h>

#include <QDebug>

namespace Ns {
namespace KeloUI {

using Ns::Lib::ExtensionSystem::PluginManager;
using Ns::Lib::ExtensionSystem::PluginSpec;

bool KeloUIPlugin::initialize(const QStringList& arguments, QString* errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)
    qDebug().noquote() << QStringLiteral("KeloUI 加载");
    // Stays hidden until the boot screen reports that the link is up.
    auto* window = new MainWindow;
    addAutoReleasedObject(window);
    return true;
}

void KeloUIPlugin::extensionsInitialized()
{
    checkPluginsError();
}

Ns::Lib::ExtensionSystem::IPlugin::ShutdownFlag KeloUIPlugin::aboutToShutdown()
{
    return SynchronousShutdown;
}

void KeloUIPlugin::checkPluginsError()
{
    PluginManager::instance();
    if (!PluginManager::hasError())
        return;
    const auto loaded = PluginManager::plugins();
    for (PluginSpec* plugin : loaded) {
        if (plugin->hasError())
            qWarning().noquote() << plugin->errorString();
    }
}

} // namespace KeloUI
} // namespace Ns
