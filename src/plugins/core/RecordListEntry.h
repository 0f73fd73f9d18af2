#pragma once

#include <QMetaType>
#include <QtGlobal>

// One record of the instrument's record list: its name and the stamp that changes whenever the
// instrument changes the record (0 = unknown, always queried again).
struct RecordListEntry
{
    quint32 Name = 0;
    quint32 ChangeStamp = 0;
};

Q_DECLARE_METATYPE(RecordListEntry)
