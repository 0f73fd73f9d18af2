#include <IPlugin.h>
#include <PluginManager.h>
#include <PluginSpec.h>

#include <QCoreApplication>
#include <QPointer>
#include <QtTest>

#include <memory>

using namespace Ns::Lib::ExtensionSystem;

class tst_PluginManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PluginManager> m_manager;

    void load(const QString& set)
    {
        qApp->setProperty("kelo.events", QStringList());
        m_manager = std::make_unique<PluginManager>();
        PluginManager::setPluginPaths({QStringLiteral(KELO_TEST_PLUGINS "/") + set});
        PluginManager::loadPlugins();
    }
    static QStringList events() { return qApp->property("kelo.events").toStringList(); }
    static QStringList names()
    {
        QStringList out;
        for (PluginSpec* s : PluginManager::plugins())
            out << s->name();
        return out;
    }
    static QStringList eventsOf(const QString& kind)
    {
        QStringList out;
        for (const QString& e : events()) {
            if (e.startsWith(kind + QLatin1Char(':')))
                out << e.mid(kind.size() + 1);
        }
        return out;
    }

private slots:
    void cleanup() { m_manager.reset(); }

    void dependenciesComeFirst()
    {
        load(QStringLiteral("good"));
        QCOMPARE(names(), (QStringList{"Alpha", "Beta", "Gamma"}));
        QVERIFY(!PluginManager::hasError());
        QCOMPARE(eventsOf("init"), (QStringList{"Alpha", "Beta", "Gamma"}));
        QCOMPARE(eventsOf("ext"), (QStringList{"Gamma", "Beta", "Alpha"}));
        for (PluginSpec* s : PluginManager::plugins()) {
            QCOMPARE(s->state(), PluginSpec::Running);
            QCOMPARE(s->version(), QStringLiteral("1.0.0"));
            QCOMPARE(s->category(), QStringLiteral("Test"));
        }
        QCOMPARE(PluginManager::pluginByName("Beta")->dependencies().size(), 1);
    }

    void shutdownReleasesObjectsInReverseOrder()
    {
        load(QStringLiteral("good"));
        QVector<QPointer<QObject>> released;
        for (PluginSpec* s : PluginManager::plugins())
            released << QPointer<QObject>(s->plugin()->property("releasedObject").value<QObject*>());
        for (const auto& p : released)
            QVERIFY(!p.isNull());
        PluginManager::shutdown();
        QCOMPARE(eventsOf("stop"), (QStringList{"Gamma", "Beta", "Alpha"}));
        for (const auto& p : released)
            QVERIFY(p.isNull());
        for (PluginSpec* s : PluginManager::plugins())
            QVERIFY(!s->plugin());
        PluginManager::shutdown(); // a second call is harmless
        QCOMPARE(eventsOf("stop").size(), 3);
    }

    void missingDependencyIsReported()
    {
        load(QStringLiteral("missing"));
        QVERIFY(PluginManager::hasError());
        PluginSpec* alpha = PluginManager::pluginByName("Alpha");
        PluginSpec* delta = PluginManager::pluginByName("Delta");
        PluginSpec* epsilon = PluginManager::pluginByName("Epsilon");
        PluginSpec* zeta = PluginManager::pluginByName("Zeta");
        QVERIFY(alpha && delta && epsilon && zeta);
        QVERIFY(!alpha->hasError());
        QVERIFY(delta->hasError());
        QVERIFY2(delta->errorString().contains("Nowhere"), qPrintable(delta->errorString()));
        QVERIFY(epsilon->hasError());
        QVERIFY2(epsilon->errorString().contains("Delta"), qPrintable(epsilon->errorString()));
        // Alpha is there but too old for a dependency on 2.0.0.
        QVERIFY(zeta->hasError());
        QVERIFY2(zeta->errorString().contains("Alpha(2.0.0)"), qPrintable(zeta->errorString()));
        QCOMPARE(eventsOf("init"), QStringList{"Alpha"});
        QVERIFY(!delta->plugin());
    }

    void brokenMetaDataIsReported()
    {
        load(QStringLiteral("broken"));
        QCOMPARE(eventsOf("init"), QStringList{"Alpha"});
        PluginSpec* noVersion = PluginManager::pluginByName("Broken");
        PluginSpec* badDeps = PluginManager::pluginByName("BadDeps");
        QVERIFY(noVersion && badDeps);
        QVERIFY(noVersion->hasError());
        QVERIFY2(noVersion->errorString().contains("Version"), qPrintable(noVersion->errorString()));
        QVERIFY(badDeps->hasError());
        QVERIFY2(badDeps->errorString().contains("Dependencies"), qPrintable(badDeps->errorString()));
    }

    void failedInitializeStopsDependants()
    {
        load(QStringLiteral("failing"));
        PluginSpec* alpha = PluginManager::pluginByName("Alpha");
        PluginSpec* beta = PluginManager::pluginByName("Beta");
        QVERIFY(alpha->hasError());
        QVERIFY2(alpha->errorString().contains("refused to start"), qPrintable(alpha->errorString()));
        QVERIFY(beta->hasError());
        QCOMPARE(eventsOf("init"), QStringList{"Alpha"});
        QVERIFY(eventsOf("ext").isEmpty());
    }

    void circularDependencyIsReported()
    {
        load(QStringLiteral("cycle"));
        QVERIFY(PluginManager::pluginByName("One")->hasError());
        QVERIFY(PluginManager::pluginByName("Two")->hasError());
        QVERIFY(!PluginManager::pluginByName("Alpha")->hasError());
        QCOMPARE(eventsOf("init"), QStringList{"Alpha"});
    }

    void versionComparison_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("equal") << "1.0.0"
                               << "1.0.0" << 0;
        QTest::newRow("minor is numeric, not text") << "1.10.0"
                                                    << "1.9.0" << 1;
        QTest::newRow("short form") << "1"
                                    << "1.0.0" << 0;
        QTest::newRow("patch lower") << "1.0.0"
                                     << "1.0.1" << -1;
        QTest::newRow("malformed sorts first") << "x"
                                               << "0.0.1" << -1;
    }
    void versionComparison()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(PluginSpec::versionCompare(a, b), expected);
    }
};

QTEST_GUILESS_MAIN(tst_PluginManager)
#include "tst_PluginManager.moc"
