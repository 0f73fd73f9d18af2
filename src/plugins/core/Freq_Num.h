#pragma once

#include <QtGlobal>

// the band selection of a frequency-parameter query (4 bytes), passed to the instrument as it lies; the Core does not read inside it.
struct Freq_Num
{
    quint8 Data[4] = {};
};
static_assert(sizeof(Freq_Num) == 4, "Freq_Num is a 4-byte block");
