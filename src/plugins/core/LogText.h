#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVector>

#include <type_traits>

// The text of one log line kept apart from its arguments, so that the log file gets the line as
// written (Chinese) while the status panel shows it in the interface's language: the panel
// translates the text first and fills in the arguments after.
//
//   FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "心跳超时,超时计数 %1"), 2);
//     file:  "心跳超时,超时计数 2"
//     panel: "Heartbeat timed out, missed count 2" (English interface)
//
// A translatable text is marked QT_TRANSLATE_NOOP("FileLogger", ...) where it is written, which
// puts it into the translation file (tst_TranslationsComplete fails while it has no English). An argument is a value shown as it is, or a LogText of its
// own that is translated with the line. The k-th argument fills the k-th lowest placeholder
// number of the text (as a chain of QString::arg does), wherever a translation moved it; an
// argument's own "%1" is never filled again.
class CORE_EXPORT LogText
{
public:
    LogText() = default;
    // A text marked QT_TRANSLATE_NOOP("FileLogger", ...); UTF-8.
    explicit LogText(const char* source);
    // A text of another translation context, for a line that a window also shows: the context
    // named as its QT_TRANSLATE_NOOP or QT_TR_NOOP names it.
    LogText(const char* context, const char* source);
    // A text that is the same in every language: a device's message, a path, a number.
    static LogText verbatim(const QString& text);

    LogText& arg(const LogText& a);
    LogText& arg(const QString& a);
    // Numbers and characters, with QString::arg's own formatting arguments.
    template<typename T, typename... Format,
             std::enable_if_t<!std::is_convertible<T, QString>::value && !std::is_same<T, LogText>::value, int> = 0>
    LogText& arg(const T& a, Format... format)
    {
        return arg(QStringLiteral("%1").arg(a, format...));
    }

    // The line as written: what the log file keeps.
    QString toString() const { return render(false); }
    // The line in the interface's language (the translators installed now): what the panel shows.
    QString translated() const { return render(true); }

    bool isEmpty() const { return m_text.isEmpty() && m_args.isEmpty(); }
    bool operator==(const LogText& other) const;
    bool operator!=(const LogText& other) const { return !(*this == other); }

    static constexpr const char* kContext = "FileLogger";

private:
    QString render(bool translate) const;

    QByteArray m_context;
    QString m_text;
    bool m_translatable = false;
    QVector<LogText> m_args;
};

Q_DECLARE_METATYPE(LogText)
