#pragma once

#include <QMetaType>
#include <QtGlobal>

// One channel entry of a collection: 4 bytes, the same in memory and on the wire.
struct RecordChannel
{
    quint8 BandId = 0;   // frequency-band identifier from the instrument's band table
    quint8 Reserved = 0; // always 0
    quint8 Forward = 0;  // 1 = forward this channel
    quint8 Record = 0;   // 1 = record this channel
};
static_assert(sizeof(RecordChannel) == 4, "RecordChannel is the 4-byte wire record");

Q_DECLARE_METATYPE(RecordChannel)
