#pragma once

#include "RecordListEntry.h"

#include <QList>
#include <QMetaType>
#include <QtGlobal>

// The record-list reply (RecordedManager/1). Payload: u32 count, then count entries of 8 bytes
// (u32 name, u32 change stamp), little-endian; e.g. two records 5 (stamp 1) and 6 (stamp 9):
//   02 00 00 00  05 00 00 00 01 00 00 00  06 00 00 00 09 00 00 00
struct GetRecordListMsg
{
    quint32 Count = 0;
    QList<RecordListEntry> Records;
};

Q_DECLARE_METATYPE(GetRecordListMsg)
