#pragma once

#include "keloui_global.h"

#include <IPlugin.h>

namespace Ns {
namespace KeloUI {

// Entry object of the user-interface plug-in: it creates the main window and hands it to the
// host, which deletes it at shut-down.
class KELOUI_EXPORT KeloUIPlugin : public Ns::Lib::ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.hollowmere.Kelo.plugins" FILE "KeloUI.json")
    Q_INTERFACES(Ns::Lib::ExtensionSystem::IPlugin)
public:
    bool initialize(const QStringList& arguments, QString* errorString) override;
    void extensionsInitialized() override;
    ShutdownFlag aboutToShutdown() override;

    // Writes the error of every plug-in the host could not load as a warning.
    void checkPluginsError();
};

} // namespace KeloUI
} // namespace Ns
