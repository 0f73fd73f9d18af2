#pragma once

#include "skyvane_global.h"

#include <IPlugin.h>

namespace Ns {
namespace Skyvane {

// Entry object of the receiver-parser plug-in; the parsers are created by their users.
class SKYVANE_EXPORT SkyvanePlugin : public Ns::Lib::ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.hollowmere.Kelo.plugins" FILE "Skyvane.json")
    Q_INTERFACES(Ns::Lib::ExtensionSystem::IPlugin)
public:
    bool initialize(const QStringList& arguments, QString* errorString) override;
    void extensionsInitialized() override;
};

} // namespace Skyvane
} // namespace Ns
