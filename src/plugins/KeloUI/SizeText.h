#pragma once

#include "keloui_global.h"

#include <QString>

// Sizes as every page shows them: the number, a space, the unit ("1016 MB", "1.168 GB").
//   of(1863, GB, 0)            -> "1863 GB"
//   scaled(1536, MB, TB, 3)    -> "1.500 GB"
//   scaled(500, Byte, GB, 2)   -> "500.00 Byte"
class KELOUI_EXPORT SizeText
{
public:
    enum class Unit { Byte, KB, MB, GB, TB };

    // `value` in `unit`, with `decimals` decimals.
    static QString of(double value, Unit unit, int decimals);
    // `value` in `unit`, stepped to the next unit by 1024 while it is at least 1024 and the
    // unit is below `largest`.
    static QString scaled(double value, Unit unit, Unit largest, int decimals);
};
