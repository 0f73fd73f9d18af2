#pragma once

#include "keloui_global.h"

#include <QString>

// Sizes as every page shows them: the number, a space, the unit ("1016 MB", "1.168 GB").
//   amount(896, MB)            -> "896 MB"
//   amount(1792, MB)           -> "1.750 GB"
//   amount(500000, Byte)       -> "488.281 KB"
//   of(1863, GB, 0)            -> "1863 GB"
//   scaled(1536, MB, TB, 3)    -> "1.500 GB"
//   scaled(500, Byte, GB, 2)   -> "500.00 Byte"
class KELOUI_EXPORT SizeText
{
public:
    enum class Unit { Byte, KB, MB, GB, TB };

    // The one form of a size that a person reads: a whole count up to 1024 of its unit as it
    // stands, a larger one in the largest unit (up to TB) that keeps it at least 1, with three
    // decimals. 1024 MB stays "1024 MB"; 1025 MB is "1.001 GB", 1048576 MB "1.000 TB".
    static QString amount(quint64 value, Unit unit);
    // `value` in `unit`, with `decimals` decimals.
    static QString of(double value, Unit unit, int decimals);
    // `value` in `unit`, stepped to the next unit by 1024 while it is at least 1024 and the
    // unit is below `largest`.
    static QString scaled(double value, Unit unit, Unit largest, int decimals);
};
