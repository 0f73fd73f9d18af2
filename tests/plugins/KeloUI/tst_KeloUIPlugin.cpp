#include <UiTestSupport.h>

#include <KeloUIPlugin.h>
#include <MainWindow.h>
#include <PluginManager.h>
#include <PluginSpec.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QtTest>

using Ns::KeloUI::KeloUIPlugin;
using Ns::Lib::ExtensionSystem::IPlugin;
using Ns::Lib::ExtensionSystem::PluginManager;

namespace {
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;
void collect(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (type == QtWarningMsg)
        g_warnings << msg;
    else if (g_previous)
        g_previous(type, ctx, msg);
}

QStringList warningsOf(KeloUIPlugin& plugin)
{
    g_warnings.clear();
    g_previous = qInstallMessageHandler(collect);
    plugin.extensionsInitialized();
    qInstallMessageHandler(g_previous);
    return g_warnings;
}

QList<MainWindow*> mainWindows()
{
    QList<MainWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* m = qobject_cast<MainWindow*>(w))
            found << m;
    }
    return found;
}
} // namespace

class tst_KeloUIPlugin : public QObject
{
    Q_OBJECT

private slots:
    void metadataNamesThePluginAndItsDependency()
    {
        QPluginLoader loader(QStringLiteral(KELO_BIN_DIR "/plugins/libKeloUI.so"));
        const QJsonObject all = loader.metaData();
        QCOMPARE(all.value("IID").toString(), QStringLiteral("org.hollowmere.Kelo.plugins"));
        QCOMPARE(all.value("className").toString(), QStringLiteral("KeloUIPlugin"));
        const QJsonObject meta = all.value("MetaData").toObject();
        QCOMPARE(meta.value("Name").toString(), QStringLiteral("KeloUI"));
        QCOMPARE(meta.value("Version").toString(), QStringLiteral("1.0.0"));
        QCOMPARE(meta.value("CompatVersion").toString(), QStringLiteral("1.0.0"));
        QCOMPARE(meta.value("Required").toBool(false), true);
        QCOMPARE(meta.value("Category").toString(), QStringLiteral("Kelo"));
        QCOMPARE(meta.value("Description").toString(), QStringLiteral("The KeloUI plugin for the Kelo."));
        for (const char* key : {"Vendor", "Copyright", "Url"}) {
            QVERIFY2(meta.value(key).isString(), key);
            QVERIFY2(meta.value(key).toString().isEmpty(), key);
        }
        QCOMPARE(meta.value("License").toArray().size(), 0);
        const QJsonArray deps = meta.value("Dependencies").toArray();
        QCOMPARE(deps.size(), 1);
        QCOMPARE(deps.at(0).toObject().value("Name").toString(), QStringLiteral("Core"));
        QCOMPARE(deps.at(0).toObject().value("Version").toString(), QStringLiteral("1.0.0"));
    }

    void initializeHandsAHiddenMainWindowToTheHost()
    {
        TestAppDir app;
        UiTest::stageThemes(app);
        KeloUIPlugin plugin;
        QVERIFY(mainWindows().isEmpty());
        QString error;
        QVERIFY(plugin.initialize({}, &error));
        const auto windows = mainWindows();
        QCOMPARE(windows.size(), 1);
        QPointer<MainWindow> window = windows.first();
        QVERIFY(!window->isVisible());
        QCOMPARE(plugin.aboutToShutdown(), IPlugin::SynchronousShutdown);
        QVERIFY(window);
        plugin.releaseAutoReleasedObjects();
        QVERIFY(window.isNull());
    }

    void cleanPluginsWriteNoWarning()
    {
        TestAppDir app;
        UiTest::stageThemes(app);
        PluginManager manager;
        PluginManager::setPluginPaths({QStringLiteral(KELO_BIN_DIR "/plugins")});
        PluginManager::loadPlugins();
        QVERIFY(!PluginManager::hasError());
        QCOMPARE(PluginManager::plugins().size(), 3);
        KeloUIPlugin plugin;
        QCOMPARE(warningsOf(plugin), QStringList());
        PluginManager::shutdown();
        QVERIFY(mainWindows().isEmpty());
    }

    void everyPluginInErrorIsOneWarning()
    {
        TestAppDir app;
        const QString dir = app.root() + "/plugins";
        QDir().mkpath(dir);
        // Without Core, the UI cannot even be loaded and Skyvane misses its dependency.
        QVERIFY(QFile::copy(KELO_BIN_DIR "/plugins/libSkyvane.so", dir + "/libSkyvane.so"));
        QFile bogus(dir + "/libBroken.so");
        QVERIFY(bogus.open(QIODevice::WriteOnly));
        bogus.write("not a library");
        bogus.close();
        PluginManager manager;
        PluginManager::setPluginPaths({dir});
        PluginManager::loadPlugins();
        QVERIFY(PluginManager::hasError());
        QStringList errors;
        for (auto* plugin : PluginManager::plugins()) {
            if (plugin->hasError())
                errors << plugin->errorString();
        }
        KeloUIPlugin plugin;
        const QStringList warnings = warningsOf(plugin);
        QVERIFY2(!errors.isEmpty(), "expected plug-ins in error");
        QCOMPARE(warnings, errors);
        PluginManager::shutdown();
    }
};

QTEST_MAIN(tst_KeloUIPlugin)
#include "tst_KeloUIPlugin.moc"
