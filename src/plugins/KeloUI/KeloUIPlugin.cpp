#include "KeloUIPlugin.h"

#include <ConfigSetting.h>

namespace Ns {
namespace KeloUI {

bool KeloUIPlugin::initialize(const QStringList& arguments, QString* errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)
    // The main window is the first user of the configuration; until it exists, open it here.
    ConfigSetting::instance();
    return true;
}

void KeloUIPlugin::extensionsInitialized()
{
}

} // namespace KeloUI
} // namespace Ns
