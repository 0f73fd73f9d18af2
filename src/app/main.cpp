// The plug-in host: loads every plug-in of its plug-in folder and runs the event loop.

#include <PluginManager.h>
#include <PluginSpec.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using Ns::Lib::ExtensionSystem::PluginManager;
using Ns::Lib::ExtensionSystem::PluginSpec;

namespace {
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM quit the event loop, so the plug-ins still shut down in order.
void installQuitOnSignals(QCoreApplication* app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] { QCoreApplication::quit(); });
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelo"));
    QApplication::setQuitOnLastWindowClosed(true);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kelo plug-in host"));
    parser.addHelpOption();
    QCommandLineOption pluginPath(QStringLiteral("plugin-path"),
                                  QStringLiteral("Load plug-ins from <dir> instead of the folder beside the host."),
                                  QStringLiteral("dir"));
    QCommandLineOption listOnly(QStringLiteral("list-plugins"),
                                QStringLiteral("Load the plug-ins, print their state and quit."));
    parser.addOption(pluginPath);
    parser.addOption(listOnly);
    parser.process(app);

    QTextStream err(stderr);
    const QString dir = parser.isSet(pluginPath)
                          ? QFileInfo(parser.value(pluginPath)).absoluteFilePath()
                          : QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("plugins"));
    if (!QFileInfo(dir).isDir()) {
        err << "kelo-host: plug-in folder not found: " << dir << '\n';
        return 1;
    }

    PluginManager manager;
    PluginManager::setPluginPaths({dir});
    PluginManager::setPluginArguments(parser.positionalArguments());
    PluginManager::loadPlugins();

    const auto loaded = PluginManager::plugins();
    for (PluginSpec* plugin : loaded) {
        if (plugin->hasError())
            err << "kelo-host: plug-in " << plugin->name() << ": " << plugin->errorString() << '\n';
    }
    err.flush();

    if (parser.isSet(listOnly)) {
        QTextStream out(stdout);
        for (PluginSpec* plugin : loaded)
            out << plugin->name() << ' ' << plugin->version() << ' ' << (plugin->hasError() ? "error" : "ok") << '\n';
        // The list comes first: plug-ins may print their own lines while shutting down.
        out.flush();
        PluginManager::shutdown();
        return 0;
    }

    // Plug-ins shut down while the event loop's objects still exist.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { PluginManager::shutdown(); });
    installQuitOnSignals(&app);
    const int rc = app.exec();
    PluginManager::shutdown();
    return rc;
}
