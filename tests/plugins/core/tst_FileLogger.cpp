#include <FileLogger.h>
#include <TestAppDir.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// English for a few log texts, as the interface's translation file gives them.
class EnglishLog : public QTranslator
{
public:
    QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override
    {
        static const QHash<QString, QString> english{
            {"重连设备成功", "Reconnected"},
            {"心跳超时,超时计数 %1", "Heartbeat timed out, count %1"},
            {"记录%1的采集卡数量%2无效", "%2 collection cards in record %1 is not valid"},
            {"启动%1成功", "%1 started"},
            {"采集", "recording"},
            {"[写入日志失败]%1", "[Log write failed] %1"},
            {"新运行日志", "New run log"},
        };
        return QLatin1String(context) == QLatin1String("FileLogger") ? english.value(QString::fromUtf8(source))
                                                                     : QString();
    }
};

// Bytes of one file line for a text of `textBytes` UTF-8 bytes at level Info:
// "[" + 23 time characters + "]" + "[INFO]" + text + "\r\n".
constexpr qint64 kInfoLineOverhead = 1 + 23 + 1 + 6 + 2;
} // namespace

class tst_FileLogger : public QObject
{
    Q_OBJECT

private slots:
    void emptyDirectoryStartsAtZero()
    {
        TestAppDir app;
        // The file is in Chinese whatever the interface's language.
        EnglishLog translator;
        QCoreApplication::installTranslator(&translator);
        FileLogger logger;
        QCoreApplication::removeTranslator(&translator);
        const QString path = app.logDir() + "/0.log";
        QCOMPARE(QDir(app.logDir()).absoluteFilePath("0.log"), logger.currentFilePath());
        logger.Log(FileLogger::Info, QStringLiteral("Core 插件加载成功"));
        const QByteArray content = readAll(path);
        QVERIFY2(content.startsWith("=====================\n  ["), content.constData());
        QVERIFY(content.contains(QStringLiteral("]新运行日志\n=====================\n\n\n").toUtf8()));
        const QRegularExpression line(QStringLiteral(
            "\\n\\[\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]\\[INFO\\]Core 插件加载成功\\r\\n$"));
        QVERIFY2(line.match(QString::fromUtf8(content)).hasMatch(), content.constData());
    }

    void continuesInHighestNumber()
    {
        TestAppDir app;
        QDir().mkpath(app.logDir());
        writeFile(app.logDir() + "/3.log", "three\n");
        writeFile(app.logDir() + "/7.log", "seven\n");
        writeFile(app.logDir() + "/notes.log", "notes\n");
        FileLogger logger;
        logger.Log(FileLogger::Warning, "w");
        QCOMPARE(logger.currentNumber(), 7u);
        const QByteArray content = readAll(app.logDir() + "/7.log");
        QVERIFY(content.startsWith("seven\n\n\n\n=====================\n"));
        QVERIFY(content.endsWith("[WARNING]w\r\n"));
        QCOMPARE(readAll(app.logDir() + "/notes.log"), QByteArray("notes\n"));
        QCOMPARE(readAll(app.logDir() + "/3.log"), QByteArray("three\n"));
    }

    void prunesDownToFifty()
    {
        TestAppDir app;
        QDir().mkpath(app.logDir());
        for (int i = 1; i <= 53; ++i)
            writeFile(app.logDir() + QStringLiteral("/%1.log").arg(i), "x");
        FileLogger logger;
        logger.Log(FileLogger::Info, "after pruning");
        QDir dir(app.logDir());
        for (int i = 1; i <= 3; ++i)
            QVERIFY(!dir.exists(QStringLiteral("%1.log").arg(i)));
        for (int i = 4; i <= 53; ++i)
            QVERIFY(dir.exists(QStringLiteral("%1.log").arg(i)));
        QCOMPARE(logger.currentNumber(), 53u);
        const QString banner = QString::fromUtf8(readAll(app.logDir() + "/53.log"));
        const QString note =
            dir.absoluteFilePath("1.log") + dir.absoluteFilePath("2.log") + dir.absoluteFilePath("3.log") + "\n";
        QVERIFY2(banner.contains(note), qPrintable(banner));
    }

    void fullFileAtStartMovesOn()
    {
        TestAppDir app;
        QDir().mkpath(app.logDir());
        writeFile(app.logDir() + "/5.log", QByteArray(FileLogger::kMaxFileSize, 'a'));
        FileLogger logger;
        logger.Log(FileLogger::Info, "next");
        QCOMPARE(logger.currentNumber(), 6u);
        const QByteArray old = readAll(app.logDir() + "/5.log");
        const QByteArray notice = QStringLiteral("当前日志文件大小已达上限(4MB),日志切换为 ").toUtf8()
                                + QDir(app.logDir()).absoluteFilePath("6.log").toUtf8() + "\n";
        QVERIFY(old.endsWith(notice));
        QVERIFY(readAll(app.logDir() + "/6.log").startsWith("=====================\n"));
    }

    void rotationAtBoundary_data()
    {
        QTest::addColumn<qint64>("shortBy");
        QTest::addColumn<bool>("rotates");
        QTest::newRow("reaches 4194304 exactly") << qint64(0) << true;
        QTest::newRow("stops at 4194303") << qint64(1) << false;
    }
    void rotationAtBoundary()
    {
        QFETCH(qint64, shortBy);
        QFETCH(bool, rotates);
        TestAppDir app;
        QDir().mkpath(app.logDir());
        writeFile(app.logDir() + "/0.log", QByteArray(FileLogger::kMaxFileSize - 4000, 'a'));
        FileLogger logger;
        logger.Log(FileLogger::Info, "flush the banner");
        const qint64 size = QFileInfo(app.logDir() + "/0.log").size();
        const qint64 textBytes = FileLogger::kMaxFileSize - size - kInfoLineOverhead - shortBy;
        QVERIFY(textBytes > 0);
        QSignalSpy spy(&logger, &FileLogger::MessageLogged);
        logger.Log(FileLogger::Info, QString(int(textBytes), QLatin1Char('b')));
        QCOMPARE(logger.currentNumber(), rotates ? 1u : 0u);
        QCOMPARE(spy.count(), rotates ? 2 : 1);
        QCOMPARE(QFileInfo::exists(app.logDir() + "/1.log"), rotates);
        if (rotates) {
            QCOMPARE(spy.at(1).at(0).value<FileLogger::LogType>(), FileLogger::Error);
            QVERIFY(readAll(app.logDir() + "/0.log").endsWith("1.log\n"));
            logger.Log(FileLogger::Info, "in the new file");
            QVERIFY(readAll(app.logDir() + "/1.log").endsWith("[INFO]in the new file\r\n"));
        } else {
            QCOMPARE(QFileInfo(app.logDir() + "/0.log").size(), FileLogger::kMaxFileSize - 1);
        }
    }

    void tagsByLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("tag");
        QTest::newRow("debug") << 0 << "[DEBUG]";
        QTest::newRow("info") << 1 << "[INFO]";
        QTest::newRow("error") << 2 << "[ERROR]";
        QTest::newRow("warning") << 3 << "[WARNING]";
        QTest::newRow("unknown level has no tag") << 9 << "";
    }
    void tagsByLevel()
    {
        QFETCH(int, level);
        QFETCH(QString, tag);
        TestAppDir app;
        FileLogger logger;
        QSignalSpy spy(&logger, &FileLogger::MessageLogged);
        logger.Log(static_cast<FileLogger::LogType>(level), "text");
        QCOMPARE(spy.count(), 1);
        const QString line = spy.at(0).at(1).toString();
        QVERIFY2(line.endsWith("]" + tag + "text"), qPrintable(line));
        QCOMPARE(line.length(), 25 + tag.length() + 4);
        QVERIFY(readAll(app.logDir() + "/0.log").endsWith((line + "\r\n").toUtf8()));
    }

    void linesFromManyThreadsStayWhole()
    {
        TestAppDir app;
        QDir().mkpath(app.logDir());
        // Close enough to the limit that the file rotates once in the middle of the run.
        writeFile(app.logDir() + "/0.log", QByteArray(FileLogger::kMaxFileSize - 100000, 'a'));
        FileLogger logger;
        constexpr int kThreads = 8;
        constexpr int kLines = 1000;
        QVector<QThread*> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads << QThread::create([&logger, t] {
                for (int i = 0; i < kLines; ++i)
                    logger.Log(FileLogger::Debug, QStringLiteral("thread %1 line %2 end").arg(t).arg(i));
            });
        }
        for (QThread* th : threads)
            th->start();
        for (QThread* th : threads) {
            QVERIFY(th->wait(60000));
            delete th;
        }
        QCOMPARE(logger.currentNumber(), 1u);
        QVERIFY(!QFileInfo::exists(app.logDir() + "/2.log"));
        const QString all = QString::fromUtf8(readAll(app.logDir() + "/0.log") + readAll(app.logDir() + "/1.log"));
        const QRegularExpression whole(QStringLiteral("\\]\\[DEBUG\\]thread (\\d) line (\\d+) end\\r\\n"));
        QSet<QString> seen;
        auto it = whole.globalMatch(all);
        while (it.hasNext()) {
            const auto m = it.next();
            seen.insert(m.captured(1) + ":" + m.captured(2));
        }
        QCOMPARE(seen.size(), kThreads * kLines);
        QCOMPARE(all.count(QStringLiteral("[DEBUG]")), kThreads * kLines);
    }

    void receiverMayLogFromTheSignal()
    {
        TestAppDir app;
        FileLogger logger;
        int calls = 0;
        connect(
            &logger, &FileLogger::MessageLogged, &logger,
            [&](FileLogger::LogType, const QString&) {
                if (++calls == 1)
                    logger.Log(FileLogger::Info, "logged from a receiver");
            },
            Qt::DirectConnection);
        logger.Log(FileLogger::Info, "first");
        QCOMPARE(calls, 2);
        QVERIFY(readAll(app.logDir() + "/0.log").endsWith("[INFO]logged from a receiver\r\n"));
    }

    // The file keeps the line as written; the panel's signal carries it apart, to be shown in
    // the interface's language, its arguments filled in after the translation.
    void lineKeepsTextAndArgumentsApart_data()
    {
        QTest::addColumn<LogText>("text");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("english");
        QTest::newRow("no argument") << LogText(QT_TRANSLATE_NOOP("FileLogger", "重连设备成功")) << "重连设备成功"
                                     << "Reconnected";
        QTest::newRow("a number") << LogText(QT_TRANSLATE_NOOP("FileLogger", "心跳超时,超时计数 %1")).arg(3)
                                  << "心跳超时,超时计数 3"
                                  << "Heartbeat timed out, count 3";
        QTest::newRow("translation reorders the arguments")
            << LogText(QT_TRANSLATE_NOOP("FileLogger", "记录%1的采集卡数量%2无效")).arg(1700000000u).arg(9)
            << "记录1700000000的采集卡数量9无效"
            << "9 collection cards in record 1700000000 is not valid";
        QTest::newRow("translated argument") << LogText(QT_TRANSLATE_NOOP("FileLogger", "启动%1成功"))
                                                    .arg(LogText(QT_TRANSLATE_NOOP("FileLogger", "采集")))
                                             << "启动采集成功"
                                             << "recording started";
        QTest::newRow("an argument's placeholder is not filled")
            << LogText(QT_TRANSLATE_NOOP("FileLogger", "记录%1的采集卡数量%2无效")).arg(QStringLiteral("%2")).arg(4)
            << "记录%2的采集卡数量4无效"
            << "4 collection cards in record %2 is not valid";
        QTest::newRow("formatted number")
            << LogText(QT_TRANSLATE_NOOP("FileLogger", "心跳超时,超时计数 %1")).arg(255, 4, 16, QLatin1Char('0'))
            << "心跳超时,超时计数 00ff"
            << "Heartbeat timed out, count 00ff";
        QTest::newRow("text without English")
            << LogText(QT_TRANSLATE_NOOP("FileLogger", "没有译文 %1")).arg(7) << "没有译文 7"
            << "没有译文 7";
        QTest::newRow("device's own text") << LogText::verbatim(QStringLiteral("设备自述 %1")).arg(1) << "设备自述 1"
                                           << "设备自述 1";
    }
    void lineKeepsTextAndArgumentsApart()
    {
        QFETCH(LogText, text);
        QFETCH(QString, written);
        QFETCH(QString, english);
        TestAppDir app;
        FileLogger logger;
        QSignalSpy lines(&logger, &FileLogger::LineLogged);
        QSignalSpy messages(&logger, &FileLogger::MessageLogged);
        EnglishLog translator;
        QCoreApplication::installTranslator(&translator);
        logger.Log(FileLogger::Warning, text);
        QCoreApplication::removeTranslator(&translator);
        QVERIFY(readAll(app.logDir() + "/0.log").endsWith(("[WARNING]" + written + "\r\n").toUtf8()));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.at(0).at(1).toString().endsWith("[WARNING]" + written));
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.at(0).at(0).value<FileLogger::LogType>(), FileLogger::Warning);
        const LogText line = lines.at(0).at(1).value<LogText>();
        QCOMPARE(line.toString(), messages.at(0).at(1).toString());
        QCoreApplication::installTranslator(&translator);
        const QString shown = line.translated();
        QCoreApplication::removeTranslator(&translator);
        QVERIFY2(shown.endsWith("[WARNING]" + english), qPrintable(shown));
        QCOMPARE(shown.left(shown.size() - english.size()),
                 line.toString().left(line.toString().size() - written.size()));
    }

    void noDirectoryOnlySignals()
    {
        TestAppDir app;
        writeFile(app.logDir(), "a file where the log folder should be");
        FileLogger logger;
        QSignalSpy spy(&logger, &FileLogger::MessageLogged);
        logger.Log(FileLogger::Error, "lost");
        QCOMPARE(spy.count(), 1);
        QVERIFY(spy.at(0).at(1).toString().startsWith(QStringLiteral("[写入日志失败][")));
        QCOMPARE(spy.at(0).at(0).value<FileLogger::LogType>(), FileLogger::Error);
        QVERIFY(logger.currentFilePath().isEmpty());
        // The panel's copy too, in the interface's language.
        QSignalSpy lines(&logger, &FileLogger::LineLogged);
        logger.Log(FileLogger::Error, LogText(QT_TRANSLATE_NOOP("FileLogger", "重连设备成功")));
        EnglishLog translator;
        QCoreApplication::installTranslator(&translator);
        const QString shown = lines.at(0).at(1).value<LogText>().translated();
        QCoreApplication::removeTranslator(&translator);
        QVERIFY2(shown.startsWith("[Log write failed] [") && shown.endsWith("[ERROR]Reconnected"), qPrintable(shown));
    }
};

QTEST_GUILESS_MAIN(tst_FileLogger)
#include "tst_FileLogger.moc"
