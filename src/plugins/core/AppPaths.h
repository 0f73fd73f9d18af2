#pragma once

#include "core_global.h"

#include <QString>

// The directory every relative location of the system hangs from ("/../config/", "/../log/",
// the data path when none is set). It is the application's directory unless overridden, which
// tests do so that configuration and log never touch the build tree.
class CORE_EXPORT AppPaths
{
public:
    static QString applicationDir();
    // An empty path restores the application's own directory.
    static void setApplicationDir(const QString& path);
};
