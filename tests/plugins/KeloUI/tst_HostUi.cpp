#include <TestAppDir.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>

// The real host with the three plug-ins: the user interface starts, makes the first connection
// to the configured instrument and keeps running until it is told to stop.
class tst_HostUi : public QObject
{
    Q_OBJECT

private slots:
    void hostStartsTheInterfaceAndConnects_data()
    {
        QTest::addColumn<bool>("console");
        QTest::newRow("console open") << true;
        QTest::newRow("console closed") << false;
    }

    void hostStartsTheInterfaceAndConnects()
    {
        QFETCH(bool, console);
        TestAppDir app;
        const QString host = app.stageHost();
        // No themes here: the windows then say so on the debug output, after the console step.

        QTcpServer instrument;
        QVERIFY(instrument.listen(QHostAddress("127.0.0.1"), 0));
        {
            QSettings ini(app.configFile(), QSettings::IniFormat);
            ini.setValue("Network/IP", "127.0.0.1");
            ini.setValue("Network/Port", QString::number(instrument.serverPort()));
            ini.setValue("Debug/EnableConsole", console);
        }

        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        QByteArray stderrBytes;
        connect(&p, &QProcess::readyReadStandardError, this, [&] { stderrBytes += p.readAllStandardError(); });
        p.start(host, QStringList());
        QVERIFY(p.waitForStarted(30000));
        QSignalSpy accepted(&instrument, &QTcpServer::newConnection);
        QVERIFY2(accepted.wait(30000), stderrBytes.constData());
        QTcpSocket* link = instrument.nextPendingConnection();
        QVERIFY(link);
        // The protocol sends its first heartbeat as soon as the link is up.
        while (link->bytesAvailable() < 20) {
            QSignalSpy more(link, &QTcpSocket::readyRead);
            QVERIFY(more.wait(10000));
        }

        QCOMPARE(p.state(), QProcess::Running);
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);

        // Debug lines of the window's start-up reach standard error only while the console is open.
        stderrBytes += p.readAllStandardError();
        const QString err = QString::fromUtf8(stderrBytes);
        QVERIFY2(err.contains("未找到qss文件") == console, qPrintable(err));

        QFile log(app.logDir() + "/0.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY2(text.contains("[INFO]主界面启动成功\r\n"), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(tst_HostUi)
#include "tst_HostUi.moc"
