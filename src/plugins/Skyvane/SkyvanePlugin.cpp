#include "SkyvanePlugin.h"

namespace Ns {
namespace Skyvane {

bool SkyvanePlugin::initialize(const QStringList& arguments, QString* errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)
    return true;
}

void SkyvanePlugin::extensionsInitialized()
{
}

} // namespace Skyvane
} // namespace Ns
