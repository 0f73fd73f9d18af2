#include "PluginManager.h"

#include "IPlugin.h"
#include "PluginSpec.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QLibrary>
#include <QTimer>

namespace Ns {
namespace Lib {
namespace ExtensionSystem {

PluginManager* PluginManager::m_instance = nullptr;

namespace {
// How long an asynchronous shut-down may take before the host goes on without it.
constexpr int kAsyncShutdownLimitMs = 5000;
} // namespace

PluginManager::PluginManager()
{
    m_instance = this;
}

PluginManager::~PluginManager()
{
    shutdown();
    qDeleteAll(m_pluginSpecs);
    if (m_instance == this)
        m_instance = nullptr;
}

PluginManager* PluginManager::instance()
{
    return m_instance;
}

void PluginManager::setPluginPaths(const QStringList& paths)
{
    m_instance->m_pluginPaths = paths;
}

QStringList PluginManager::pluginPaths()
{
    return m_instance->m_pluginPaths;
}

void PluginManager::setPluginArguments(const QStringList& arguments)
{
    m_instance->m_arguments = arguments;
}

QVector<PluginSpec*> PluginManager::plugins()
{
    return m_instance ? m_instance->m_loadOrder : QVector<PluginSpec*>();
}

PluginSpec* PluginManager::pluginByName(const QString& name)
{
    for (PluginSpec* ps : plugins()) {
        if (ps->name() == name)
            return ps;
    }
    return nullptr;
}

bool PluginManager::hasError()
{
    for (PluginSpec* ps : plugins()) {
        if (ps->hasError())
            return true;
    }
    return false;
}

void PluginManager::readPlugins()
{
    QStringList files;
    for (const QString& path : m_pluginPaths) {
        QDir dir(path);
        const QStringList entries = dir.entryList(QDir::Files, QDir::Name);
        for (const QString& entry : entries) {
            const QString file = dir.absoluteFilePath(entry);
            if (QLibrary::isLibrary(file))
                files << file;
        }
    }
    for (const QString& file : files) {
        auto* ps = new PluginSpec;
        if (!ps->readMetaData(file)) {
            delete ps; // not one of ours
            continue;
        }
        for (PluginSpec* other : m_pluginSpecs) {
            if (!ps->hasError() && other->name() == ps->name()) {
                ps->setError(
                    QStringLiteral("Plugin %1 is found twice: %2 and %3").arg(ps->name(), other->filePath(), file));
            }
        }
        m_pluginSpecs.append(ps);
    }
}

void PluginManager::resolveDependencies()
{
    for (PluginSpec* ps : m_pluginSpecs) {
        if (ps->hasError())
            continue;
        ps->m_resolvedDependencies.clear();
        for (const PluginDependency& dep : ps->dependencies()) {
            PluginSpec* found = nullptr;
            for (PluginSpec* other : m_pluginSpecs) {
                if (other->provides(dep.name, dep.version)) {
                    found = other;
                    break;
                }
            }
            if (!found) {
                ps->setError(QStringLiteral("Could not resolve dependency '%1(%2)' of plugin %3")
                                 .arg(dep.name, dep.version, ps->name()));
                continue;
            }
            ps->m_resolvedDependencies.append(found);
        }
        if (!ps->hasError())
            ps->m_state = PluginSpec::Resolved;
    }
}

// Depth-first: a plug-in enters the queue after all it depends on. `circle` is the current path.
bool PluginManager::enqueue(PluginSpec* ps, QVector<PluginSpec*>& queue, QVector<PluginSpec*>& circle)
{
    if (queue.contains(ps))
        return true;
    if (circle.contains(ps)) {
        QStringList names;
        for (PluginSpec* s : circle)
            names << s->name();
        names << ps->name();
        ps->setError(QStringLiteral("Circular dependency detected: %1").arg(names.join(QStringLiteral(" -> "))));
        return false;
    }
    circle.append(ps);
    bool ok = true;
    for (PluginSpec* dep : ps->m_resolvedDependencies) {
        if (!enqueue(dep, queue, circle) || dep->hasError()) {
            if (!ps->hasError()) {
                ps->setError(
                    QStringLiteral("Cannot load plugin %1 because dependency %2 failed").arg(ps->name(), dep->name()));
            }
            ok = false;
        }
    }
    circle.removeLast();
    queue.append(ps);
    return ok;
}

QVector<PluginSpec*> PluginManager::loadQueue()
{
    QVector<PluginSpec*> queue;
    for (PluginSpec* ps : m_pluginSpecs) {
        QVector<PluginSpec*> circle;
        enqueue(ps, queue, circle);
    }
    return queue;
}

void PluginManager::loadPlugins()
{
    PluginManager* d = m_instance;
    d->readPlugins();
    d->resolveDependencies();
    d->m_loadOrder = d->loadQueue();

    auto dependencyFailed = [](PluginSpec* ps) {
        for (PluginSpec* dep : ps->m_resolvedDependencies) {
            if (dep->hasError()) {
                ps->setError(
                    QStringLiteral("Cannot load plugin %1 because dependency %2 failed").arg(ps->name(), dep->name()));
                return true;
            }
        }
        return false;
    };

    for (PluginSpec* ps : d->m_loadOrder) {
        if (!ps->hasError() && !dependencyFailed(ps))
            ps->loadLibrary();
    }
    for (PluginSpec* ps : d->m_loadOrder) {
        if (!ps->hasError() && !dependencyFailed(ps))
            ps->initializePlugin(d->m_arguments);
    }
    for (int i = d->m_loadOrder.size() - 1; i >= 0; --i)
        d->m_loadOrder.at(i)->initializeExtensions();
    // Deferred initialisation runs from the event loop, once the host has started it.
    QTimer::singleShot(0, d, [d] {
        for (int i = d->m_loadOrder.size() - 1; i >= 0; --i)
            d->m_loadOrder.at(i)->delayedInitialize();
    });
    emit d->pluginsChanged();
}

void PluginManager::shutdown()
{
    PluginManager* d = m_instance;
    if (!d || d->m_shutDown)
        return;
    d->m_shutDown = true;

    int pending = 0;
    QEventLoop loop;
    for (int i = d->m_loadOrder.size() - 1; i >= 0; --i) {
        PluginSpec* ps = d->m_loadOrder.at(i);
        IPlugin* plugin = ps->plugin();
        if (plugin && ps->stop() == IPlugin::AsynchronousShutdown) {
            ++pending;
            connect(plugin, &IPlugin::asynchronousShutdownFinished, &loop, [&pending, &loop] {
                if (--pending == 0)
                    loop.quit();
            });
        }
    }
    if (pending > 0) {
        QTimer::singleShot(kAsyncShutdownLimitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    for (int i = d->m_loadOrder.size() - 1; i >= 0; --i)
        d->m_loadOrder.at(i)->kill();
}

} // namespace ExtensionSystem
} // namespace Lib
} // namespace Ns
