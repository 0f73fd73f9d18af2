#include "DebugConsole.h"

#include <QMutex>

#include <cstdio>

namespace {
QtMessageHandler g_previous = nullptr;
bool g_installed = false;
bool g_open = false;
QMutex g_mutex;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_open) {
        const QByteArray line = DebugConsole::formatLine(type, message).toUtf8();
        QMutexLocker lock(&g_mutex);
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        return;
    }
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (g_previous)
        g_previous(type, context, message);
}
} // namespace

QString DebugConsole::formatLine(QtMsgType type, const QString& message)
{
    const char* tag = "";
    switch (type) {
    case QtWarningMsg:
        tag = "Warning: ";
        break;
    case QtCriticalMsg:
        tag = "Critical: ";
        break;
    case QtFatalMsg:
        tag = "Fatal: ";
        break;
    default:
        break;
    }
    return QLatin1String(tag) + message + QLatin1Char('\n');
}

void DebugConsole::install(bool enabled)
{
    g_open = enabled;
    if (g_installed)
        return;
    g_installed = true;
    g_previous = qInstallMessageHandler(handler);
}

bool DebugConsole::isOpen()
{
    return g_open;
}
