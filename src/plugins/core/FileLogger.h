#pragma once

#include "core_global.h"

#include "LogText.h"

#include <QFile>
#include <QMutex>
#include <QObject>
#include <QVector>

#include <memory>

// The system's one log. Lines go to numbered files "<n>.log" in "/../log/" below the
// application directory, each file up to 4 MiB, and are re-emitted as MessageLogged.
//
// A line in the file reads
//   [2024/05/06 13:07:09.042][INFO]Core 插件加载成功\r\n
// (UTF-8); the signal carries it without the "\r\n". Rotation notices end with a bare "\n".
// A line given as a LogText goes into the file as written and out through LineLogged whole, so
// that the status panel can show it in the interface's language.
class CORE_EXPORT FileLogger : public QObject
{
    Q_OBJECT
public:
    enum LogType : int { Debug = 0, Info = 1, Error = 2, Warning = 3 };
    Q_ENUM(LogType)

    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;
    static constexpr int kMaxFilesAtStart = 50;

    // Public so that tests can start a logger on a fresh directory; the system uses instance().
    explicit FileLogger(QObject* parent = nullptr);
    ~FileLogger() override;

    static FileLogger* instance();
    // A text that is the same in every language.
    static void LogMessage(FileLogger::LogType type, QString text);
    static void LogMessage(FileLogger::LogType type, const LogText& text);
    // A text marked QT_TRANSLATE_NOOP("FileLogger", ...) and its arguments, as LogText::arg takes them.
    template<typename... Args> static void LogMessage(FileLogger::LogType type, const char* source, const Args&... args)
    {
        LogText text(source);
        (text.arg(args), ...);
        instance()->Log(type, text);
    }

    void Log(FileLogger::LogType type, const QString& text);
    void Log(FileLogger::LogType type, const LogText& text);

    QString currentFilePath() const;
    quint32 currentNumber() const;

public slots:
    void slot_LogMessage(FileLogger::LogType type, QString text);

signals:
    void MessageLogged(FileLogger::LogType type, QString text);
    // The same line with its text and arguments apart; the status panel shows these.
    void LineLogged(FileLogger::LogType type, LogText line);

private:
    struct Notice
    {
        LogType type;
        LogText text;
        // The logger's own notices reach MessageLogged translated; the callers' lines as written.
        bool own = true;
    };

    void start(QVector<Notice>& notices);
    bool openCurrent(QVector<Notice>& notices);
    void rotateIfFull(QVector<Notice>& notices);
    QString pathOf(quint32 number) const;
    static QString timeStamp();
    void emitAll(const QVector<Notice>& notices);

    mutable QMutex m_mutex;
    QString m_dirPath;
    std::unique_ptr<QFile> m_file;
    quint32 m_number = 0;
};

Q_DECLARE_METATYPE(FileLogger::LogType)
