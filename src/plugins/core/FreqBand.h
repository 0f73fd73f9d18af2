#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

// One frequency band of the instrument, as read from its device-configuration store.
struct FreqBand
{
    QString name;     // display name
    quint32 freq = 0; // centre frequency in hertz
    // Bits 4 to 7: channels 1 to 4 offered for the band; bits 0 to 3: bit widths 2, 4, 8, 16.
    // A nibble the instrument does not list has all four bits set.
    quint8 mask = 0xFF;
    bool custom = false; // a user-defined band
};

Q_DECLARE_METATYPE(FreqBand)
