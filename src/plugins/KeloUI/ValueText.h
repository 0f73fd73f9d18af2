#pragma once

#include "keloui_global.h"

#include <QString>

// Texts of values that every page writes alike.
class KELOUI_EXPORT ValueText
{
public:
    // The one mark of a value that is not there (no band on a channel, nothing received yet,
    // not asked yet). A reason, such as the link being down, is said in words instead.
    static QString none() { return QStringLiteral("--"); }
    // The note under the instrument's address: the instrument takes its own address and one per
    // board after it. `boards` is the board count of the instrument, -1 while none was reported.
    static QString ipNote(int boards);
};
