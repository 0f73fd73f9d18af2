#include <UiTestSupport.h>

#include "ReceiverTestSupport.h"

#include <ConfigSetting.h>
#include <FileLogger.h>
#include <ReceiverCNR.h>
#include <SkyvaneManager.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickWidget>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <memory>

using UiTest::child;

using namespace ReceiverTest;

class tst_ReceiverCNR : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;

    static QString rowLabel(ReceiverCNR& w, int row)
    {
        auto* form = qobject_cast<QFormLayout*>(child<QWidget>(w, "baseWidget")->layout());
        auto* label = form ? qobject_cast<QLabel*>(form->labelForField(w.valueLabel(row))) : nullptr;
        return label ? label->text() : QString();
    }
    static QStringList sent(const QSignalSpy& spy)
    {
        QStringList out;
        for (const auto& args : spy)
            out << args.at(0).toString();
        return out;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        QDir::setCurrent(m_app->root());
    }

    void variantLabelsAndRestarts_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("row5");
        QTest::addColumn<QString>("row6");
        QTest::addColumn<QString>("warmText");
        QTest::addColumn<QString>("warmCommand");
        QTest::addColumn<bool>("cold");
        QTest::newRow("CPCI: heights above sea and ellipsoid, warm and cold start") << "CPCI"
                                                                                    << "海拔高度(m)"
                                                                                    << "椭球相对高度(m)"
                                                                                    << "热启动"
                                                                                    << "RESET\r\n"
                                                                                    << true;
        QTest::newRow("LEO: CGS2000 heights, one reset") << "LEO"
                                                         << "高度(m)"
                                                         << "高程异常(CGS2000)(m)"
                                                         << "复位"
                                                         << "KVRN RESET\r\n"
                                                         << false;
        QTest::newRow("518 as LEO") << "518"
                                    << "高度(m)"
                                    << "高程异常(CGS2000)(m)"
                                    << "复位"
                                    << "KVRN RESET\r\n"
                                    << false;
    }
    void variantLabelsAndRestarts()
    {
        QFETCH(QString, variant);
        QFETCH(QString, row5);
        QFETCH(QString, row6);
        QFETCH(QString, warmText);
        QFETCH(QString, warmCommand);
        QFETCH(bool, cold);
        ConfigSetting::instance()->configMode = variant;
        ReceiverCNR w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("监测数据"));
        const QString row2 = variant == QLatin1String("CPCI") || variant.isEmpty() ? "GPS状态" : "BDS状态";
        const QStringList labels{"UTC日期",     "UTC时间",     row2,         "纬度(°)",
                                 "经度(°)",     row5,          row6,         "参与解算卫星数",
                                 "HDOP",        "差分龄期(s)", "差分基站ID", "地面速率(m/s)",
                                 "地面航向(°)", "磁偏角(°)",   "定位模式",   "定位状态"};
        for (int row = 0; row < 16; ++row) {
            QCOMPARE(rowLabel(w, row), labels.at(row));
            QCOMPARE(w.valueLabel(row)->text(), QStringLiteral("--"));
            QCOMPARE(w.valueLabel(row)->styleSheet(), QStringLiteral("background-color:grey;color:white;"));
        }
        auto* warm = child<QPushButton>(w, "pbn_warmStart");
        auto* coldButton = child<QPushButton>(w, "pbn_coldStart");
        QCOMPARE(warm->text(), warmText);
        QCOMPARE(coldButton->isVisible(), cold);

        QSignalSpy commands(&w, &ReceiverCNR::cmdSend);
        w.StatusChange(true);
        QTest::mouseClick(warm, Qt::LeftButton);
        QCOMPARE(child<QLabel>(w, "label_commandStatus")->text(),
                 "已发送：" + QString(warmCommand).replace("\r\n", "\\r\\n"));
        if (cold)
            QTest::mouseClick(coldButton, Qt::LeftButton);
        const QStringList expected = cold ? QStringList{warmCommand, "RESET ALL\r\n"} : QStringList{warmCommand};
        QCOMPARE(sent(commands), expected);
    }

    void typedCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("append");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("receiver");
        QTest::addColumn<QString>("said");
        QTest::newRow("line end appended") << "log gpgsv ontime 1" << true << QStringList{"log gpgsv ontime 1\r\n"}
                                           << true << "已发送：log gpgsv ontime 1\\r\\n";
        QTest::newRow("check box cleared sends it unchanged")
            << "unlogall" << false << QStringList{"unlogall"} << true << "已发送：unlogall";
        QTest::newRow("empty line sends nothing") << "" << true << QStringList{} << true << "未发送：指令为空";
        QTest::newRow("Chinese text kept")
            << "中文 指令" << true << QStringList{"中文 指令\r\n"} << true << "已发送：中文 指令\\r\\n";
        QTest::newRow("no receiver on the relay sends nothing")
            << "unlogall" << true << QStringList{} << false << "未发送：接收机未连接";
    }
    void typedCommands()
    {
        QFETCH(QString, text);
        QFETCH(bool, append);
        QFETCH(QStringList, expected);
        QFETCH(bool, receiver);
        QFETCH(QString, said);
        ReceiverCNR w;
        w.show();
        w.StatusChange(receiver);
        auto* check = child<QCheckBox>(w, "checkBox_newline");
        QCOMPARE(check->text(), QStringLiteral("末尾添加\\r\\n"));
        QVERIFY(check->isChecked());
        check->setChecked(append);
        child<QLineEdit>(w, "lineEdit_command")->setText(text);
        QSignalSpy commands(&w, &ReceiverCNR::cmdSend);
        QTest::mouseClick(child<QPushButton>(w, "pbn_send"), Qt::LeftButton);
        QCOMPARE(sent(commands), expected);
        QCOMPARE(child<QLabel>(w, "label_commandStatus")->text(), said);
        QCOMPARE(child<QLineEdit>(w, "lineEdit_command")->text(), text);
    }

    void outputSwitchFollowsTheRelay()
    {
        ReceiverCNR w;
        w.show();
        auto* button = child<QPushButton>(w, "pbn_output");
        QSignalSpy asks(&w, &ReceiverCNR::SetReceiverOutputStatus);
        QCOMPARE(button->text(), QStringLiteral("打开输出"));
        QTest::mouseClick(button, Qt::LeftButton); // before any report: switch on
        // No link in this program: the window says why nothing comes yet.
        QCOMPARE(child<QLabel>(w, "label_commandStatus")->text(),
                 QStringLiteral("设备未连接：输出在连接恢复后自动打开"));
        w.StatusChange(true);
        QCOMPARE(button->text(), QStringLiteral("关闭输出"));
        QTest::mouseClick(button, Qt::LeftButton);
        w.StatusChange(false);
        QCOMPARE(button->text(), QStringLiteral("打开输出"));
        QCOMPARE(asks.size(), 2);
        QCOMPARE(asks.at(0).at(0).toBool(), true);
        QCOMPARE(asks.at(1).at(0).toBool(), false);
    }

    void rowsShowTheManagersTexts()
    {
        ReceiverCNR w;
        QMap<int, QString> rows;
        QMutex lock;
        w.UpdateInfo(); // no source yet: nothing happens
        w.setInfoSource(&rows, &lock);
        rows.insert(2, QStringLiteral("差分定位"));
        rows.insert(9, QStringLiteral("1.5"));
        rows.insert(10, QString());
        w.UpdateInfo();
        QCOMPARE(w.valueLabel(2)->text(), QStringLiteral("差分定位"));
        QCOMPARE(w.valueLabel(2)->styleSheet(), QStringLiteral("background-color:white;color:black;"));
        QCOMPARE(w.valueLabel(9)->text(), QStringLiteral("1.5"));
        QCOMPARE(w.valueLabel(10)->text(), QStringLiteral("--"));
        QCOMPARE(w.valueLabel(10)->styleSheet(), QStringLiteral("background-color:grey;color:white;"));
        QCOMPARE(w.valueLabel(0)->text(), QStringLiteral("--"));

        // A lock held elsewhere skips the refresh instead of waiting for it.
        rows.insert(9, QString());
        QSemaphore locked, release;
        std::unique_ptr<QThread> holder(QThread::create([&] {
            lock.lock();
            locked.release();
            release.acquire();
            lock.unlock();
        }));
        holder->start();
        QVERIFY(locked.tryAcquire(1, 10000));
        w.UpdateInfo();
        QCOMPARE(w.valueLabel(9)->text(), QStringLiteral("1.5"));
        release.release();
        QVERIFY(holder->wait(10000));
        w.UpdateInfo();
        QCOMPARE(w.valueLabel(9)->text(), QStringLiteral("--"));

        w.clearInfoSource(&rows);
        rows.insert(2, QStringLiteral("x"));
        w.UpdateInfo();
        QCOMPARE(w.valueLabel(2)->text(), QStringLiteral("差分定位"));
    }

    // The receiver's status texts reach the rows in its own words and are shown in the
    // interface's language; numbers are shown as they are.
    void statusRowsInTheInterfacesLanguage_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("fix quality of the UM98X")
            << true << 2 << SkyvaneManager::um98xFixQualityText(1) << "Single point";
        QTest::newRow("fix quality of the TX518")
            << true << 2 << SkyvaneManager::tx518FixQualityText(1) << "Single point";
        QTest::newRow("positioning mode") << true << 14 << SkyvaneManager::um98xModeText('A') << "Autonomous";
        QTest::newRow("navigation status") << true << 15 << SkyvaneManager::tx518NavigationStatusText('S') << "Safe";
        QTest::newRow("a number stays") << true << 7 << "12"
                                        << "12";
        QTest::newRow("Chinese interface") << false << 15 << SkyvaneManager::um98xNavigationStatusText('S') << "安全";
    }
    void statusRowsInTheInterfacesLanguage()
    {
        QFETCH(bool, english);
        QFETCH(int, row);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        std::unique_ptr<UiTest::EnglishTranslations> translations;
        if (english)
            translations = std::make_unique<UiTest::EnglishTranslations>();
        ReceiverCNR w;
        QMap<int, QString> rows{{row, value}};
        QMutex lock;
        w.setInfoSource(&rows, &lock);
        w.UpdateInfo();
        QCOMPARE(w.valueLabel(row)->text(), shown);
        w.clearInfoSource(&rows);
    }

    void hexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("pairs") << "0aFF10" << QByteArray::fromHex("0aff10");
        QTest::newRow("space ends a single digit") << "a 1b" << QByteArray::fromHex("0a1b");
        QTest::newRow("digit left at the end dropped") << "12345" << QByteArray::fromHex("1234");
        QTest::newRow("other characters count as 0") << "zz1g" << QByteArray::fromHex("0010");
        QTest::newRow("spaces only") << "   " << QByteArray();
    }
    void hexText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ReceiverCNR::HexStringToBytes(text), bytes);
    }

    // The window the system uses, bound by the manager: commands reach the simulated receiver
    // byte for byte, its data fill the rows, and the output switch stops and restarts the relay.
    void boundWindowAgainstTheSimulator()
    {
        Bench bench;
        QVERIFY(bench.start());
        ConfigSetting::instance()->configMode = QStringLiteral("CPCI");
        SkyvaneManager manager;
        ReceiverCNR* w = ReceiverCNR::Instance();
        w->show();
        bench.sim.relay().setStream(nmea("GPGGA,092750.000,5321.6802,N,00630.3372,W,2,8,1.03,61.7,M,55.2,M,1.5,23"));
        QTest::mouseClick(child<QPushButton>(*w, "pbn_output"), Qt::LeftButton);
        QVERIFY(waitFor(&manager, SIGNAL(UpdateInfo()), [&] { return w->valueLabel(10)->text() == "0023"; }));
        QVERIFY(waitFor(ReceiverDataTransportManager::Instance(), SIGNAL(transport_status_change(bool)),
                        [&] { return w->outputOn(); }));
        QCOMPARE(child<QPushButton>(*w, "pbn_output")->text(), QStringLiteral("关闭输出"));
        QCOMPARE(w->valueLabel(3)->text(), QStringLiteral("53.36133667, N"));
        QQuickItem* chart = w->chartView()->rootObject();
        QVERIFY(chart);
        QVERIFY(chart->property("current").toBool());

        int mark = bench.receivedSoFar();
        child<QCheckBox>(*w, "checkBox_newline")->setChecked(true);
        child<QLineEdit>(*w, "lineEdit_command")->setText(QStringLiteral("log gpgsv ontime 1"));
        QTest::mouseClick(child<QPushButton>(*w, "pbn_send"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(*w, "pbn_warmStart"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(*w, "pbn_coldStart"), Qt::LeftButton);
        QVERIFY(bench.receiverGot(mark, "log gpgsv ontime 1\r\nRESET\r\nRESET ALL\r\n"));

        // A quality-1 fix greys the differential rows.
        bench.sim.relay().send(nmea("GPGGA,092751.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,"));
        QVERIFY(waitFor(&manager, SIGNAL(UpdateInfo()), [&] { return w->valueLabel(10)->text() == "--"; }));
        QCOMPARE(w->valueLabel(9)->text(), QStringLiteral("--"));
        QCOMPARE(w->valueLabel(9)->styleSheet(), QStringLiteral("background-color:grey;color:white;"));
        // The receiver goes quiet: its last values stay but no longer look live.
        QTRY_COMPARE_WITH_TIMEOUT(w->valueLabel(3)->styleSheet(), QStringLiteral("background-color:grey;color:white;"),
                                  TestTime::ms(10000));
        QCOMPARE(w->valueLabel(3)->text(), QStringLiteral("53.36133667, N"));
        // The bars go grey with the rows.
        QVERIFY(!chart->property("current").toBool());

        // Output off: the relay goes down and the button offers to switch on again.
        QTest::mouseClick(child<QPushButton>(*w, "pbn_output"), Qt::LeftButton);
        QVERIFY(waitFor(ReceiverDataTransportManager::Instance(), SIGNAL(transport_status_change(bool)),
                        [&] { return !w->outputOn(); }));
        QCOMPARE(child<QPushButton>(*w, "pbn_output")->text(), QStringLiteral("打开输出"));
        QVERIFY(!ReceiverDataTransportManager::Instance()->isListening());
        QVERIFY(!manager.parser()->isParsing());
        QVERIFY(!chart->property("current").toBool());

        // Closing hides the window and tells the main window.
        QSignalSpy closed(w, &ReceiverCNR::closed);
        QVERIFY(w->close());
        QCOMPARE(closed.size(), 1);
        QVERIFY(w->isHidden());
        ProtocolManager::instance()->DisConnectTcp();
    }
};

QTEST_MAIN(tst_ReceiverCNR)
#include "tst_ReceiverCNR.moc"
