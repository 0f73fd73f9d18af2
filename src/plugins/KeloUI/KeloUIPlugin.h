#pragma once

#include "keloui_global.h"

#include <IPlugin.h>

namespace Ns {
namespace KeloUI {

// Entry object of the user-interface plug-in.
class KELOUI_EXPORT KeloUIPlugin : public Ns::Lib::ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.hollowmere.Kelo.plugins" FILE "KeloUI.json")
    Q_INTERFACES(Ns::Lib::ExtensionSystem::IPlugin)
public:
    bool initialize(const QStringList& arguments, QString* errorString) override;
    void extensionsInitialized() override;
};

} // namespace KeloUI
} // namespace Ns
