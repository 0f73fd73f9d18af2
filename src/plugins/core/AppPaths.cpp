#include "AppPaths.h"

#include <QCoreApplication>
#include <QMutex>

namespace {
QMutex g_mutex;
QString g_override;
} // namespace

QString AppPaths::applicationDir()
{
    {
        QMutexLocker lock(&g_mutex);
        if (!g_override.isEmpty())
            return g_override;
    }
    return QCoreApplication::applicationDirPath();
}

void AppPaths::setApplicationDir(const QString& path)
{
    QMutexLocker lock(&g_mutex);
    g_override = path;
}
