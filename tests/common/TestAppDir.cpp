#include "TestAppDir.h"

#include <AppPaths.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

TestAppDir::TestAppDir()
{
    QDir().mkpath(binDir());
    AppPaths::setApplicationDir(binDir());
}

TestAppDir::~TestAppDir()
{
    AppPaths::setApplicationDir(QString());
}

QString TestAppDir::stageHost() const
{
    const QString from = QStringLiteral(KELO_BIN_DIR);
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        const QString dst = binDir() + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(dst).path());
        QFile::remove(dst);
        QFile::copy(src, dst);
        QFile(dst).setPermissions(QFile(src).permissions());
    }
    return binDir() + QStringLiteral("/kelo-host");
}

QString TestAppDir::python()
{
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                 : QStringLiteral("python3");
}
