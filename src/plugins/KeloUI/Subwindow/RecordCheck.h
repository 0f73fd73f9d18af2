#pragma once

#include "keloui_global.h"

#include <LogText.h>
#include <RecordEx.h>

#include <QCoreApplication>
#include <QList>
#include <QString>

// What the instrument's record list, fetched after a change whose answer could not be told as
// its own, shows of each change in doubt: one finding per change, in the order given. The list
// must be fresh, descriptions included: a remark is read from the record's description.
class KELOUI_EXPORT RecordCheck
{
    Q_DECLARE_TR_FUNCTIONS(RecordCheck)
public:
    enum class Change { Delete, Remark, ClearAll };
    struct Doubt
    {
        Change change = Change::Delete;
        quint32 name = 0; // the record asked about; none for clearing all
        QString remark;   // the remark text sent
        bool operator==(const Doubt& o) const { return change == o.change && name == o.name && remark == o.remark; }
    };
    struct Finding
    {
        bool done = false; // the list shows the change made
        QString text;      // for the person, naming the record as the table does
        LogText line;      // the same for the log, whose file keeps it as written
    };

    static Finding judge(const Doubt& doubt, const QList<RecordEx>& records);
    static QList<Finding> judge(const QList<Doubt>& doubts, const QList<RecordEx>& records);
};
