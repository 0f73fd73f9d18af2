#pragma once

#include "skyvane_global.h"

#include <IPlugin.h>

namespace Ns {
namespace Skyvane {

// Entry object of the receiver-parser plug-in. It holds no state: the parsers are exported
// classes that the user-interface plug-in constructs itself.
class SKYVANE_EXPORT SkyvanePlugin : public Ns::Lib::ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.hollowmere.Kelo.plugins" FILE "Skyvane.json")
    Q_INTERFACES(Ns::Lib::ExtensionSystem::IPlugin)
public:
    bool initialize(const QStringList& arguments, QString* errorString) override;
    void extensionsInitialized() override;
    ShutdownFlag aboutToShutdown() override;

private:
    void checkPluginsError();
};

} // namespace Skyvane
} // namespace Ns
