#pragma once

#include "keloui_global.h"

#include <QString>

// The forms ask for "Source Han Sans SC" (also by its Chinese name) and "微软雅黑"; on this
// platform an installed CJK family stands in for them.
class KELOUI_EXPORT UiFonts
{
public:
    static void installSubstitutes();
    // The installed family used in their place, empty when none is installed.
    static QString substitute();
};
