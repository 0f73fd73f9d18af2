#include <FileLogger.h>
#include <TestAppDir.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>
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
        FileLogger logger;
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
    }
};

QTEST_GUILESS_MAIN(tst_FileLogger)
#include "tst_FileLogger.moc"
