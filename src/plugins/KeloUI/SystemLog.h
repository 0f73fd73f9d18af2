#pragma once

#include "keloui_global.h"

#include <FileLogger.h>

#include <QWidget>

class QTextBrowser;

// The status log panel: every line the file logger writes, coloured by its level and in the
// interface's language, plus the results of the network-address and custom-band settings. It
// keeps nothing beyond its text.
class KELOUI_EXPORT SystemLog : public QWidget
{
    Q_OBJECT
public:
    // Lines the panel keeps; older ones leave it (not the log files).
    static constexpr int kMaxLines = 10000;

    explicit SystemLog(QWidget* parent = nullptr);

    QTextBrowser* textBrowser() const { return m_text; }
    static QColor colourOf(FileLogger::LogType type);
    void ShowWarning(const QString& text);

public slots:
    void slot_PrintSystemInfo(FileLogger::LogType msgtype, QString msg);
    // A logged line in the interface's language; the log file keeps it as written.
    void slot_PrintLogLine(FileLogger::LogType msgtype, const LogText& line);
    void slot_SetIP(bool isOK);
    void slot_SetCustomFreq(uchar Result);

private:
    // Lines are plain text: a log line holding "<b>" or "&amp;" shows those characters.
    void appendPlain(const QString& line);

    QTextBrowser* m_text;
    bool m_follow = true;
};
