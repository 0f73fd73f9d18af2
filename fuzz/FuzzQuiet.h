#pragma once

#include <QtGlobal>

// Parsers report every malformed sentence through qDebug; at fuzzing rates that output
// would swamp the run, so targets drop all Qt messages (installed once per process).
inline void quietQtMessages()
{
    static const bool once = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return true;
    }();
    Q_UNUSED(once)
}
