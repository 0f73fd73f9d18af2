#pragma once

#include <QMetaType>
#include <QtGlobal>

// The heartbeat reply, byte for byte as the instrument sends it.
struct HeartMsg
{
    quint8 Accepted = 0; // non-zero: the instrument has registered this PC's heartbeat
    quint8 SourceId = 0; // the source byte the instrument assigns to this PC
    quint8 Charging = 0; // battery charging flag (0 or 1)
    quint8 Power = 0;    // battery power level
};
static_assert(sizeof(HeartMsg) == 4, "HeartMsg is the 4-byte wire record");

Q_DECLARE_METATYPE(HeartMsg)
