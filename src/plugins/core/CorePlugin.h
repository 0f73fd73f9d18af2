#pragma once

#include "core_global.h"

#include <IPlugin.h>

namespace Ns {
namespace Core {

// Entry object of the Core plug-in: starts the log. Every service of Core is a singleton
// created by its first caller, not here.
class CORE_EXPORT CorePlugin : public Ns::Lib::ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.hollowmere.Kelo.plugins" FILE "Core.json")
    Q_INTERFACES(Ns::Lib::ExtensionSystem::IPlugin)
public:
    bool initialize(const QStringList& arguments, QString* errorString) override;
    void extensionsInitialized() override;
};

} // namespace Core
} // namespace Ns
