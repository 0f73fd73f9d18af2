#include <UiTestSupport.h>

#include <FileLogger.h>
#include <ProtocolManager.h>
#include <SimpleDropEvent.h>
#include <SimpleMouseEvent.h>
#include <SystemLog.h>

#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QThread>
#include <QtTest>

#include <memory>

// The status log panel, and the two event filters the pages install.
class tst_SystemLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;

    static QColor colourOfLine(SystemLog& log, int line)
    {
        const QTextBlock block = log.textBrowser()->document()->findBlockByNumber(line);
        return block.begin().fragment().charFormat().foreground().color();
    }
    static QString line(SystemLog& log, int n) { return log.textBrowser()->document()->findBlockByNumber(n).text(); }

private slots:
    void initTestCase() { m_app = std::make_unique<TestAppDir>(); }

    void linesColouredByLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("debug") << 0 << QColor(Qt::gray);
        QTest::newRow("info") << 1 << QColor(Qt::black);
        QTest::newRow("error") << 2 << QColor(Qt::red);
        QTest::newRow("warning") << 3 << QColor(255, 153, 0);
        QTest::newRow("unknown level") << 9 << QColor(Qt::black);
    }
    void linesColouredByLevel()
    {
        QFETCH(int, level);
        QFETCH(QColor, colour);
        SystemLog log;
        log.slot_PrintSystemInfo(FileLogger::Error, "before");
        log.slot_PrintSystemInfo(FileLogger::LogType(level), "the line");
        QCOMPARE(line(log, 1), QStringLiteral("the line"));
        QCOMPARE(colourOfLine(log, 1), colour);
        QCOMPARE(colourOfLine(log, 0), QColor(Qt::red));
    }

    void lineIsNeverMarkup_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("bold tag") << "<b>录制</b> done";
        QTest::newRow("entity") << "a &amp; b &lt;c&gt;";
        QTest::newRow("table") << "<table><tr><td>x</td></tr></table>";
        QTest::newRow("image") << "<img src=\"file:///etc/passwd\">";
    }
    void lineIsNeverMarkup()
    {
        QFETCH(QString, text);
        SystemLog log;
        log.slot_PrintSystemInfo(FileLogger::Info, text);
        QCOMPARE(log.textBrowser()->toPlainText(), text);
    }

    void resultLinesKeepTheLastColour()
    {
        SystemLog log;
        log.slot_PrintSystemInfo(FileLogger::Warning, "warn");
        log.slot_SetIP(true);
        log.slot_SetIP(false);
        log.slot_SetCustomFreq(0);
        log.slot_SetCustomFreq(1);
        log.slot_SetCustomFreq(2);
        log.slot_SetCustomFreq(3);
        const QStringList expected{"warn",
                                   "设置IP地址、子网掩码、网关成功!!",
                                   "设置IP地址、子网掩码、网关失败!!",
                                   "写入自定义频段成功",
                                   "写入自定义频段失败",
                                   "权限不足，写入自定义频段失败"};
        QCOMPARE(log.textBrowser()->toPlainText(), expected.join('\n'));
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(colourOfLine(log, i), QColor(255, 153, 0));
    }

    // The panel shows the newest line unless the user scrolled up to read, and keeps only the
    // newest lines of a long session.
    void followsTheNewestLineUnlessScrolledUp()
    {
        SystemLog log;
        log.resize(400, 200);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        QScrollBar* bar = log.textBrowser()->verticalScrollBar();
        for (int i = 0; i < 200; ++i)
            log.slot_PrintSystemInfo(
                FileLogger::Info,
                QStringLiteral("[2026/12/09 04:36:24.003][INFO]第 %1 行，一条足够长以致在窄面板中换行的日志").arg(i));
        QTRY_VERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        bar->setValue(bar->maximum() / 2);
        const int reading = bar->value();
        for (int i = 0; i < 50; ++i)
            log.slot_PrintSystemInfo(FileLogger::Info, QStringLiteral("更多 %1").arg(i));
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), reading);
        bar->setValue(bar->maximum());
        log.slot_PrintSystemInfo(FileLogger::Info, QStringLiteral("最新"));
        QTRY_COMPARE(bar->value(), bar->maximum());

        log.hide();
        for (int i = 0; i < SystemLog::kMaxLines + 10; ++i)
            log.slot_PrintSystemInfo(FileLogger::Debug, QString::number(i));
        QTextDocument* doc = log.textBrowser()->document();
        QCOMPARE(doc->blockCount(), SystemLog::kMaxLines);
        QCOMPARE(doc->lastBlock().text(), QString::number(SystemLog::kMaxLines + 9));
    }

    void loggerLinesFromAnyThreadArrive()
    {
        SystemLog log;
        QueuedSignalSpy logged(FileLogger::instance(), &FileLogger::MessageLogged);
        QThread* worker = QThread::create([] { FileLogger::LogMessage(FileLogger::Error, "from a worker"); });
        worker->start();
        QVERIFY(UiTest::waitCount(logged, 1));
        worker->wait();
        delete worker;
        QCoreApplication::processEvents();
        QVERIFY2(log.textBrowser()->toPlainText().endsWith("[ERROR]from a worker"),
                 qPrintable(log.textBrowser()->toPlainText()));
        emit ProtocolManager::instance()->SetIPSuccess(true, "10.1.1.1");
        QVERIFY(log.textBrowser()->toPlainText().endsWith("设置IP地址、子网掩码、网关成功!!"));
        const QTextBrowser* browser = log.textBrowser();
        QCOMPARE(browser->contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(log.windowTitle(), QStringLiteral("系统状态"));
    }

    // The panel shows a logged line in the interface's language; the log file keeps it as
    // written, whatever the language.
    void lineInTheInterfacesLanguage_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<LogText>("line");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("shown");
        const LogText count = LogText(QT_TRANSLATE_NOOP("FileLogger", "获取到记录列表，记录总数:%1")).arg(12);
        QTest::newRow("Chinese interface") << false << count << "获取到记录列表，记录总数:12"
                                           << "获取到记录列表，记录总数:12";
        QTest::newRow("English interface") << true << count << "获取到记录列表，记录总数:12"
                                           << "Record list received, records in total: 12";
        QTest::newRow("link lost") << true << LogText(QT_TRANSLATE_NOOP("FileLogger", "设备网络连接断开，等待重连"))
                                   << "设备网络连接断开，等待重连"
                                   << "Link to the instrument lost, waiting to reconnect";
        QTest::newRow("failure reason within the line")
            << true
            << LogText(QT_TRANSLATE_NOOP("FileLogger", "传输通道 %1 %2"))
                   .arg(2)
                   .arg(LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡断开")))
            << "传输通道 2 采集卡断开"
            << "Transfer channel 2: card disconnected";
    }
    void lineInTheInterfacesLanguage()
    {
        QFETCH(bool, english);
        QFETCH(LogText, line);
        QFETCH(QString, written);
        QFETCH(QString, shown);
        std::unique_ptr<UiTest::EnglishTranslations> translations;
        if (english)
            translations = std::make_unique<UiTest::EnglishTranslations>();
        SystemLog log;
        QueuedSignalSpy logged(FileLogger::instance(), &FileLogger::LineLogged);
        FileLogger::LogMessage(FileLogger::Warning, line);
        QVERIFY(UiTest::waitCount(logged, 1));
        QCoreApplication::processEvents();
        QVERIFY2(log.textBrowser()->toPlainText().endsWith("[WARNING]" + shown),
                 qPrintable(log.textBrowser()->toPlainText()));
        QFile file(FileLogger::instance()->currentFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith(("[WARNING]" + written + "\r\n").toUtf8()));
    }

    void droppedTextBecomesLocalPaths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("windows paths") << "file:///C:/data/a.dat\nfile:///C:/data/b.dat\n"
                                       << QStringList{"C:/data/a.dat", "C:/data/b.dat"};
        QTest::newRow("linux paths, uri-list line ends") << "file:///tmp/a.zip\r\nfile:///home/u/b%20c.zip\r\n"
                                                         << QStringList{"/tmp/a.zip", "/home/u/b c.zip"};
        QTest::newRow("no url") << "plain one\n\nplain two" << QStringList{"plain one", "plain two"};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void droppedTextBecomesLocalPaths()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, paths);
        QCOMPARE(SimpleDropEvent::pathsOf(text), paths);
    }

    void mouseFilterReportsAndPassesOn()
    {
        QWidget watched;
        QList<QPair<int, int>> seen;
        SimpleMouseEvent filter(&watched, [&](QObject* owner, const QMouseEvent& e) {
            QCOMPARE(owner, &watched);
            seen << qMakePair(int(e.type()), int(e.button()));
        });
        watched.installEventFilter(&filter);
        QTest::mouseDClick(&watched, Qt::LeftButton);
        QVERIFY(seen.contains(qMakePair(int(QEvent::MouseButtonDblClick), int(Qt::LeftButton))));
        QTest::mousePress(&watched, Qt::RightButton);
        QVERIFY(seen.contains(qMakePair(int(QEvent::MouseButtonPress), int(Qt::RightButton))));
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
        const int before = seen.size();
        QCoreApplication::sendEvent(&watched, &key);
        QCOMPARE(seen.size(), before);
    }
};

QTEST_MAIN(tst_SystemLog)
#include "tst_SystemLog.moc"
