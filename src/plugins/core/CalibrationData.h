#pragma once

#include <QtGlobal>

// one calibration setting (7 bytes), passed to the instrument as it lies; the Core does not read inside it.
struct CalibrationData
{
    quint8 Data[7] = {};
};
static_assert(sizeof(CalibrationData) == 7, "CalibrationData is a 7-byte block");
