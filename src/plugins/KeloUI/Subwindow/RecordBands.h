#pragma once

#include "keloui_global.h"

#include <FreqBand.h>
#include <RecordEx.h>

#include <QCoreApplication>
#include <QMap>
#include <QString>

// The names of a record's bands. A record keeps the name each band had when it reached the PC
// (key "FreqName" of its "Freq<n>" section), so the PC's own copies name their bands whether or
// not an instrument is connected; the instrument's band table is asked only for what the record
// does not hold.
class KELOUI_EXPORT RecordBands
{
    Q_DECLARE_TR_FUNCTIONS(RecordBands)

public:
    // Writes into the record the table's name of each of its bands the record does not name yet.
    static void name(RecordEx& record, const QMap<uint, FreqBand>& table);
    // The text of band n (from 1): the record's own name, else the table's. A band neither knows
    // is "unsupported" only by a table the instrument gave; without one it is its number.
    static QString text(const RecordEx& record, int n, const QMap<uint, FreqBand>& table);
};
