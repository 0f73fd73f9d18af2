#include <SkyvanePlugin.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QtTest>

class tst_SkyvanePlugin : public QObject
{
    Q_OBJECT

private slots:
    void metadataNamesCoreDependency()
    {
        QPluginLoader loader(QStringLiteral(KELO_BIN_DIR "/plugins/libSkyvane.so"));
        const QJsonObject meta = loader.metaData();
        QCOMPARE(meta.value("IID").toString(), QStringLiteral("org.hollowmere.Kelo.plugins"));
        const QJsonObject data = meta.value("MetaData").toObject();
        QCOMPARE(data.value("Name").toString(), QStringLiteral("Skyvane"));
        QCOMPARE(data.value("Version").toString(), QStringLiteral("1.0.0"));
        QCOMPARE(data.value("CompatVersion").toString(), QStringLiteral("1.0.0"));
        QCOMPARE(data.value("Category").toString(), QStringLiteral("Kelo"));
        const QJsonArray deps = data.value("Dependencies").toArray();
        QCOMPARE(deps.size(), 1);
        QCOMPARE(deps.at(0).toObject().value("Name").toString(), QStringLiteral("Core"));
        QCOMPARE(deps.at(0).toObject().value("Version").toString(), QStringLiteral("1.0.0"));
    }

    void initializeAnnouncesAndShutsDownSynchronously()
    {
        Ns::Skyvane::SkyvanePlugin plugin;
        QTest::ignoreMessage(QtDebugMsg, "Skyvane 加载");
        QString error;
        QVERIFY(plugin.initialize({}, &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(plugin.aboutToShutdown(), Ns::Lib::ExtensionSystem::IPlugin::SynchronousShutdown);
    }
};

QTEST_GUILESS_MAIN(tst_SkyvanePlugin)
#include "tst_SkyvanePlugin.moc"
