#include "IPlugin.h"

namespace Ns {
namespace Lib {
namespace ExtensionSystem {

IPlugin::IPlugin() = default;

IPlugin::~IPlugin()
{
    releaseAutoReleasedObjects();
}

void IPlugin::addAutoReleasedObject(QObject* object)
{
    if (object)
        m_autoReleased.append(object);
}

void IPlugin::releaseAutoReleasedObjects()
{
    // Newest first, so an object may rely on those created before it while it is destroyed.
    while (!m_autoReleased.isEmpty()) {
        QPointer<QObject> object = m_autoReleased.takeLast();
        delete object.data();
    }
}

} // namespace ExtensionSystem
} // namespace Lib
} // namespace Ns
