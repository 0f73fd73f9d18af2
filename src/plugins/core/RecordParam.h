#pragma once

#include "RecordChannel.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// The parameters of a collection: what the collection page asks for, and what a device state
// report of a running collection or forwarding run carries back. Fields in wire order.
struct RecordParam
{
    quint32 RecordName = 0;      // the record's name: a time in epoch seconds
    quint8 SerialPortRecord = 0; // 1 = record the serial-port data too
    qint8 BitWidth = 0;          // from the instrument's bit-width table
    quint8 ExternalTrigger = 0;  // 1 = start on the external 1PPS, 0 = internal clock
    quint32 TimedStop = 0;       // timed collection: stop time, epoch seconds
    quint32 TimedStart = 0;      // timed collection: start time, epoch seconds
    quint8 ChannelNum = 0;       // number of channel entries the instrument is to use
    QList<RecordChannel> Channels;
    QString Note;
};

Q_DECLARE_METATYPE(RecordParam)
