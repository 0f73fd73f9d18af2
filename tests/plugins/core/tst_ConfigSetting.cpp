#include <ConfigSetting.h>
#include <TestAppDir.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QtTest>

namespace {
// Reads the INI file with Python's configparser, an INI reader that is not ours.
QJsonObject readWithPython(const QString& path)
{
    const QString script = QStringLiteral("import configparser, json, sys\n"
                                          "c = configparser.RawConfigParser()\n"
                                          "c.optionxform = str\n"
                                          "c.read(sys.argv[1], encoding='utf-8')\n"
                                          "print(json.dumps({s: dict(c.items(s)) for s in c.sections()}))\n");
    QProcess p;
    p.start(TestAppDir::python(), {QStringLiteral("-c"), script, path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}
} // namespace

class tst_ConfigSetting : public QObject
{
    Q_OBJECT

private slots:
    void firstStartWritesDefaults()
    {
        TestAppDir app;
        QVERIFY(!QFile::exists(app.configFile()));
        ConfigSetting config;
        QVERIFY(QFile::exists(app.configFile()));
        const QJsonObject ini = readWithPython(app.configFile());
        QCOMPARE(ini["Network"].toObject()["IP"].toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(ini["Network"].toObject()["Port"].toString(), QStringLiteral("5000"));
        const QString build = ini["General"].toObject()["BuildVersion"].toString();
        QVERIFY2(build.startsWith("VB.1.2.11."), qPrintable(build));
        QCOMPARE(build.mid(10), config.getBuildTime());
        QCOMPARE(config.getBuildTime().size(), 8);
        QCOMPARE(config.deviceType, QStringLiteral("Kelo"));
        QVERIFY(config.configMode.isEmpty());
        // The variant group is there to edit, holding the defaults.
        QVERIFY(ini["ExtendedOptions"].toObject().contains("configMode"));
        QCOMPARE(ini["ExtendedOptions"].toObject()["configMode"].toString(), QString());
        QCOMPARE(ini["ExtendedOptions"].toObject()["deviceType"].toString(), QStringLiteral("Kelo"));
        QVERIFY(!config.isEnglish);
        QCOMPARE(config.GetInit(ConfigKey::NetworkPort).toInt(), 5000);
        QVERIFY(!config.GetInit(ConfigKey::DataSavePath).isValid());
    }

    void existingFileKeepsItsKeys()
    {
        TestAppDir app;
        writeFile(app.configFile(), "[General]\nBuildVersion=old\nLanguage=EnGlIsH\n"
                                    "[Network]\nIP=10.0.0.9\nPort=6001\n"
                                    "[ExtendedOptions]\nconfigMode=CPCI\ndeviceType=TRANS\n");
        ConfigSetting config;
        QVERIFY(config.isEnglish);
        QCOMPARE(config.configMode, QStringLiteral("CPCI"));
        QCOMPARE(config.deviceType, QStringLiteral("TRANS"));
        const QJsonObject ini = readWithPython(app.configFile());
        QCOMPARE(ini["Network"].toObject()["IP"].toString(), QStringLiteral("10.0.0.9"));
        QCOMPARE(ini["Network"].toObject()["Port"].toString(), QStringLiteral("6001"));
        QCOMPARE(ini["General"].toObject()["BuildVersion"].toString(), ConfigSetting::buildVersion());
        QCOMPARE(ini["General"].toObject()["Language"].toString(), QStringLiteral("EnGlIsH"));
        QCOMPARE(ini["ExtendedOptions"].toObject()["configMode"].toString(), QStringLiteral("CPCI"));
        QCOMPARE(ini["ExtendedOptions"].toObject()["deviceType"].toString(), QStringLiteral("TRANS"));
    }

    void buildDateFromCompilerText_data()
    {
        QTest::addColumn<QString>("compiler");
        QTest::addColumn<QString>("date");
        QTest::newRow("one-digit day gets a zero") << "Dec  5 2026"
                                                   << "20261205";
        QTest::newRow("two-digit day") << "Jan 15 2027"
                                       << "20270115";
    }
    void buildDateFromCompilerText()
    {
        QFETCH(QString, compiler);
        QFETCH(QString, date);
        QCOMPARE(ConfigSetting::buildDateFrom(compiler), date);
    }

    void nonAsciiValuesRoundTrip()
    {
        TestAppDir app;
        const QString value = QStringLiteral("北京 天安门/数据");
        {
            ConfigSetting config;
            config.SetInit(ConfigKey::DataSavePath, value);
            config.SetInit(ConfigKey::NewNetworkIp, "192.0.2.1");
        }
        QCOMPARE(readWithPython(app.configFile())["DataSave"].toObject()["path"].toString(), value);
        ConfigSetting reread;
        QCOMPARE(reread.GetInit(ConfigKey::DataSavePath).toString(), value);
        QCOMPARE(reread.GetInit(ConfigKey::NewNetworkIp).toString(), QStringLiteral("192.0.2.1"));
    }

    void deletedFileIsRecreatedAndKeepsTheValue()
    {
        TestAppDir app;
        ConfigSetting config;
        config.SetInit(ConfigKey::NetworkIp, "10.1.1.1");
        QVERIFY(QFile::remove(app.configFile()));
        config.SetInit(ConfigKey::DataSavePath, "/data");
        const QJsonObject ini = readWithPython(app.configFile());
        QCOMPARE(ini["Network"].toObject()["IP"].toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(ini["DataSave"].toObject()["path"].toString(), QStringLiteral("/data"));
        config.SetInit(ConfigKey::NetworkPort, "5001");
        QCOMPARE(readWithPython(app.configFile())["Network"].toObject()["Port"].toString(), QStringLiteral("5001"));
    }

    void concurrentReadsAndWrites()
    {
        TestAppDir app;
        ConfigSetting config;
        QVector<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([&config, t] {
                for (int i = 0; i < 200; ++i) {
                    config.SetInit(QStringLiteral("T%1").arg(t), QStringLiteral("k"), i);
                    config.GetInit(ConfigKey::NetworkIp);
                }
            });
        }
        for (QThread* th : threads)
            th->start();
        for (QThread* th : threads) {
            QVERIFY(th->wait(60000));
            delete th;
        }
        const QJsonObject ini = readWithPython(app.configFile());
        for (int t = 0; t < 4; ++t)
            QCOMPARE(ini[QStringLiteral("T%1").arg(t)].toObject()["k"].toString(), QStringLiteral("199"));
    }
};

QTEST_GUILESS_MAIN(tst_ConfigSetting)
#include "tst_ConfigSetting.moc"
