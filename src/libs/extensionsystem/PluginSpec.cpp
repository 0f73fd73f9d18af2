#include "PluginSpec.h"

#include "IPlugin.h"

#include <QJsonArray>
#include <QPluginLoader>
#include <QRegularExpression>

namespace Ns {
namespace Lib {
namespace ExtensionSystem {

namespace {
const QRegularExpression kVersionPattern(QStringLiteral("^([0-9]+)(?:\\.([0-9]+))?(?:\\.([0-9]+))?(?:_([0-9]+))?$"));
}

PluginSpec::~PluginSpec()
{
    kill();
    delete m_loader;
}

bool PluginSpec::isValidVersion(const QString& version)
{
    return kVersionPattern.match(version).hasMatch();
}

int PluginSpec::versionCompare(const QString& a, const QString& b)
{
    const QRegularExpressionMatch ma = kVersionPattern.match(a);
    const QRegularExpressionMatch mb = kVersionPattern.match(b);
    if (!ma.hasMatch() || !mb.hasMatch())
        return ma.hasMatch() ? 1 : (mb.hasMatch() ? -1 : 0);
    for (int i = 1; i <= 4; ++i) {
        const int x = ma.captured(i).toInt();
        const int y = mb.captured(i).toInt();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool PluginSpec::provides(const QString& pluginName, const QString& version) const
{
    if (pluginName != m_name)
        return false;
    return versionCompare(m_version, version) >= 0 && versionCompare(m_compatVersion, version) <= 0;
}

void PluginSpec::setError(const QString& text)
{
    m_hasError = true;
    if (!m_errorString.isEmpty())
        m_errorString += QLatin1Char('\n');
    m_errorString += text;
}

// Reads the embedded metadata. Returns false only when the library is not one of our plug-ins
// (another interface identifier, or no metadata at all); broken metadata gives a ps in error.
bool PluginSpec::readMetaData(const QString& filePath)
{
    m_filePath = filePath;
    m_loader = new QPluginLoader(filePath);
    const QJsonObject all = m_loader->metaData();
    if (all.value(QStringLiteral("IID")).toString() != QLatin1String(KELO_PLUGIN_IID))
        return false;

    m_className = all.value(QStringLiteral("className")).toString();
    const QJsonValue metaValue = all.value(QStringLiteral("MetaData"));
    if (!metaValue.isObject()) {
        m_name = m_className;
        setError(QStringLiteral("Plugin meta data not found in %1").arg(filePath));
        return true;
    }
    const QJsonObject meta = metaValue.toObject();

    auto readString = [&](const char* key, QString* out, bool required) {
        const QJsonValue v = meta.value(QLatin1String(key));
        if (v.isUndefined() && !required)
            return true;
        if (!v.isString()) {
            setError(QStringLiteral("%1: \"%2\" is missing or not a string").arg(filePath, QLatin1String(key)));
            return false;
        }
        *out = v.toString();
        return true;
    };

    bool ok = readString("Name", &m_name, true);
    if (m_name.isEmpty()) {
        m_name = m_className;
        if (ok)
            setError(QStringLiteral("%1: \"Name\" is empty").arg(filePath));
        ok = false;
    }
    if (readString("Version", &m_version, true) && !isValidVersion(m_version)) {
        setError(QStringLiteral("%1: invalid \"Version\" \"%2\"").arg(filePath, m_version));
        ok = false;
    }
    m_compatVersion = m_version;
    if (readString("CompatVersion", &m_compatVersion, false) && !isValidVersion(m_compatVersion)) {
        setError(QStringLiteral("%1: invalid \"CompatVersion\" \"%2\"").arg(filePath, m_compatVersion));
        ok = false;
    }
    readString("Category", &m_category, false);
    readString("Description", &m_description, false);
    readString("Vendor", &m_vendor, false);
    m_required = meta.value(QStringLiteral("Required")).toBool(false);

    const QJsonValue args = meta.value(QStringLiteral("Arguments"));
    if (args.isArray()) {
        for (const QJsonValue& a : args.toArray())
            m_arguments << a.toString();
    }

    const QJsonValue deps = meta.value(QStringLiteral("Dependencies"));
    if (!deps.isUndefined() && !deps.isArray()) {
        setError(QStringLiteral("%1: \"Dependencies\" is not a list").arg(filePath));
        ok = false;
    } else {
        for (const QJsonValue& d : deps.toArray()) {
            const QJsonObject o = d.toObject();
            PluginDependency dep{o.value(QStringLiteral("Name")).toString(),
                                 o.value(QStringLiteral("Version")).toString()};
            if (dep.name.isEmpty() || !isValidVersion(dep.version)) {
                setError(QStringLiteral("%1: malformed dependency entry").arg(filePath));
                ok = false;
                continue;
            }
            m_dependencies.append(dep);
        }
    }
    if (ok)
        m_state = Read;
    return true;
}

bool PluginSpec::loadLibrary()
{
    if (m_hasError)
        return false;
    if (!m_loader->load()) {
        setError(QStringLiteral("Cannot load %1: %2").arg(m_filePath, m_loader->errorString()));
        return false;
    }
    m_plugin = qobject_cast<IPlugin*>(m_loader->instance());
    if (!m_plugin) {
        setError(QStringLiteral("Plugin %1 is not derived from IPlugin").arg(m_name));
        m_loader->unload();
        return false;
    }
    m_plugin->m_spec = this;
    m_state = Loaded;
    return true;
}

bool PluginSpec::initializePlugin(const QStringList& arguments)
{
    if (m_hasError || !m_plugin)
        return false;
    QString err;
    if (!m_plugin->initialize(arguments, &err)) {
        setError(QStringLiteral("Plugin %1 failed to initialize: %2").arg(m_name, err));
        return false;
    }
    m_state = Initialized;
    return true;
}

void PluginSpec::initializeExtensions()
{
    if (m_hasError || m_state != Initialized)
        return;
    m_plugin->extensionsInitialized();
    m_state = Running;
}

bool PluginSpec::delayedInitialize()
{
    if (m_hasError || m_state != Running)
        return false;
    return m_plugin->delayedInitialize();
}

int PluginSpec::stop()
{
    if (!m_plugin || m_state < Initialized || m_state == Stopped)
        return IPlugin::SynchronousShutdown;
    m_state = Stopped;
    return m_plugin->aboutToShutdown();
}

void PluginSpec::kill()
{
    if (!m_plugin)
        return;
    m_plugin->releaseAutoReleasedObjects();
    // The instance belongs to the loader's root-object storage; deleting it is how Qt plug-ins
    // are torn down. The library itself stays mapped: other libraries may link against it.
    delete m_plugin;
    m_plugin = nullptr;
    m_state = Deleted;
}

} // namespace ExtensionSystem
} // namespace Lib
} // namespace Ns
