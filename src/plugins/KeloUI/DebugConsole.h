#pragma once

#include "keloui_global.h"

#include <QString>

// The optional debug console. On this platform the process's standard error stands for the
// console: while it is open, debug output goes there as UTF-8 lines; while it is closed, debug
// and info lines are dropped, and warnings still reach the previous handler.
class KELOUI_EXPORT DebugConsole
{
public:
    // Installs the message handler once; `enabled` is the configured Debug/EnableConsole.
    static void install(bool enabled);
    static bool isOpen();
    // Formats one line as it is written to the console.
    static QString formatLine(QtMsgType type, const QString& message);
};
