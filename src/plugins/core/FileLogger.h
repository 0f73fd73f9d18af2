#pragma once

#include "core_global.h"

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
    static void LogMessage(FileLogger::LogType type, QString text);

    void Log(FileLogger::LogType type, const QString& text);

    QString currentFilePath() const;
    quint32 currentNumber() const;

public slots:
    void slot_LogMessage(FileLogger::LogType type, QString text);

signals:
    void MessageLogged(FileLogger::LogType type, QString text);

private:
    struct Notice
    {
        LogType type;
        QString text;
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
