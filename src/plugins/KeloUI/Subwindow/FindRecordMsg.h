#pragma once

#include <Record.h>

#include <QMetaType>
#include <QtGlobal>

// The record information the playback page announces: the instrument's result byte followed by
// the record it describes.
struct FindRecordMsg
{
    quint8 result = 0;
    Record record;
};

Q_DECLARE_METATYPE(FindRecordMsg)
