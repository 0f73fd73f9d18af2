#pragma once

#include "keloui_global.h"

#include <QString>

// Texts of a record's values that several pages show alike.
class KELOUI_EXPORT RecordText
{
public:
    // A record's name (epoch seconds) in local time, "yyyyMMddhhmmss", as the record table shows it.
    static QString name(quint32 seconds);
    // What a detail panel shows for every value while no record is chosen.
    static QString noValue() { return QStringLiteral("--"); }
    // Records of the "LEO" variant hold I and Q: a stored width of 8 shows as "16(I&Q) Bit".
    static QString iqBitWidth(qint64 bit);
    // "8 Bit", or the I&Q form above for the "LEO" variant.
    static QString bitWidth(qint64 bit, bool leo);

    // The question before going on with an unfinished upload of record `name`: `done` of `size`
    // bytes are on the PC. It says what each answer does: 否 throws the partial data away.
    static QString resumeQuestion(const QString& name, quint64 done, quint64 size);
    // The question before clearing the instrument's disks: the instrument's records, not the PC's
    // copies; `count` is how many the instrument listed, or -1 while its list is not known.
    static QString clearAllQuestion(int count);
};
