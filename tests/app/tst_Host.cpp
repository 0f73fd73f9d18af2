#include <TestAppDir.h>

#include <QFile>
#include <QProcess>
#include <QtTest>

class tst_Host : public QObject
{
    Q_OBJECT

private slots:
    void loadsThePluginsAndLogs()
    {
        TestAppDir app;
        const QString host = app.stageHost();
        QProcess p;
        p.start(host, {QStringLiteral("--list-plugins")});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(p.exitCode() == 0, qPrintable(QString::fromUtf8(p.readAllStandardError())));
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("Core 1.0.0 ok"));
        QVERIFY(lines.contains(QStringLiteral("KeloUI 1.0.0 ok")));
        QVERIFY(lines.contains(QStringLiteral("Skyvane 1.0.0 ok")));

        QFile log(app.logDir() + "/0.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY(text.startsWith(QStringLiteral("=====================\n")));
        QVERIFY2(text.contains(QStringLiteral("[INFO]Core 插件加载成功\r\n")), qPrintable(text));

        QSettings ini(app.configFile(), QSettings::IniFormat);
        QCOMPARE(ini.value("Network/IP").toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(ini.value("Network/Port").toString(), QStringLiteral("5000"));
    }

    void missingPluginFolderFails()
    {
        TestAppDir app;
        const QString host = app.stageHost();
        QProcess p;
        p.start(host, {QStringLiteral("--plugin-path"), app.root() + "/nowhere"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("plug-in folder not found")));
    }

    void pluginWithoutItsDependencyIsSkipped()
    {
        TestAppDir app;
        const QString host = app.stageHost();
        QVERIFY(QFile::remove(app.binDir() + "/plugins/libCore.so"));
        // The UI plug-in links against Core, so it cannot even be loaded; the host still starts.
        QVERIFY(QFile::remove(app.binDir() + "/plugins/libKeloUI.so"));
        QProcess p;
        p.start(host, {QStringLiteral("--list-plugins")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(QStringLiteral("Skyvane 1.0.0 error")));
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("Core(1.0.0)")));
    }
};

QTEST_GUILESS_MAIN(tst_Host)
#include "tst_Host.moc"
