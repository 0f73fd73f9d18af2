#pragma once

#include "keloui_global.h"

#include <QString>

class QWidget;

// Themes are Qt style-sheet files in "/../config/qss/" below the application directory; each
// top-level window applies one to itself, replacing whatever sheet it had.
class KELOUI_EXPORT StyleSheetLoader
{
public:
    static QString themeDir();
    static QString themePath(const QString& fileName);
    // Applies the theme to `window`. A missing or unreadable file leaves the window's current
    // sheet in force and says so on the debug output only. Returns whether a sheet was applied.
    static bool apply(QWidget* window, const QString& fileName);
};
