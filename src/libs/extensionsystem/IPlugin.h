#pragma once

#include "extensionsystem_global.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

namespace Ns {
namespace Lib {
namespace ExtensionSystem {

class PluginSpec;

// Base of every plug-in object the host loads. The host calls initialize() in dependency
// order, extensionsInitialized() in reverse order, and aboutToShutdown() before it deletes the
// objects handed to addAutoReleasedObject().
class EXTENSIONSYSTEM_EXPORT IPlugin : public QObject
{
    Q_OBJECT
public:
    enum ShutdownFlag { SynchronousShutdown, AsynchronousShutdown };

    IPlugin();
    ~IPlugin() override;

    virtual bool initialize(const QStringList& arguments, QString* errorString) = 0;
    virtual void extensionsInitialized() = 0;
    virtual bool delayedInitialize() { return false; }
    virtual ShutdownFlag aboutToShutdown() { return SynchronousShutdown; }
    // Commands passed to an already running instance; not used by this host.
    virtual QObject* remoteCommand(const QStringList& /*options*/, const QString& /*workingDirectory*/,
                                   const QStringList& /*arguments*/)
    {
        return nullptr;
    }

    PluginSpec* pluginSpec() const { return m_spec; }

    // The host deletes these objects at shut-down, newest first.
    void addAutoReleasedObject(QObject* object);
    // Called by the host after aboutToShutdown().
    void releaseAutoReleasedObjects();

signals:
    // Emitted by a plug-in that answered AsynchronousShutdown once it has finished.
    void asynchronousShutdownFinished();

private:
    friend class PluginSpec;
    PluginSpec* m_spec = nullptr;
    QList<QPointer<QObject>> m_autoReleased;
};

} // namespace ExtensionSystem
} // namespace Lib
} // namespace Ns

Q_DECLARE_INTERFACE(Ns::Lib::ExtensionSystem::IPlugin, KELO_PLUGIN_IID)
