#pragma once

#include <QtGlobal>

// an attenuation table (246 bytes), passed to the instrument as it lies; the Core does not read inside it.
struct AttenuationData
{
    quint8 Data[246] = {};
};
static_assert(sizeof(AttenuationData) == 246, "AttenuationData is a 246-byte block");
