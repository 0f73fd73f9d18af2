#pragma once

#include "core_global.h"

#include "LogText.h"
#include "RecordEx.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

// What the instrument's record list, fetched after a change whose answer could not be told as
// its own, shows of each change in doubt: one finding per change, in the order given. The list
// must be fresh, descriptions included: a remark is read from the record's description. The
// finding travels to the change's owner in its notice (ReplyOwner.h); the pages only show it.
class CORE_EXPORT RecordCheck
{
    Q_DECLARE_TR_FUNCTIONS(RecordCheck)
public:
    enum class Change { Delete, Remark, ClearAll };
    struct Doubt
    {
        Doubt() = default;
        Doubt(Change c, quint32 n, const QString& r = QString(), const QString& s = QString())
            : change(c)
            , name(n)
            , remark(r)
            , shown(s)
        {}
        Change change = Change::Delete;
        quint32 name = 0; // the record asked about; none for clearing all
        QString remark;   // the remark text sent
        QString shown;    // the record as its page names it; empty: its local time, as the record table
        bool operator==(const Doubt& o) const { return change == o.change && name == o.name && remark == o.remark; }
    };
    struct Finding
    {
        bool known = false; // a list was looked at; false: what became of the change is unknown
        bool done = false;  // the list shows the change made
        QString text;       // for the person, naming the record as the table does
        LogText line;       // the same for the log, whose file keeps it as written
        bool isEmpty() const { return line.isEmpty(); }
    };

    static Finding judge(const Doubt& doubt, const QList<RecordEx>& records);
    static QList<Finding> judge(const QList<Doubt>& doubts, const QList<RecordEx>& records);
    // By the names alone (a list without descriptions): deletes and clearing.
    static Finding judge(const Doubt& doubt, const QList<quint32>& names);
    // No list came: the change named, its outcome unknown.
    static Finding unknown(const Doubt& doubt);
    // What the person is told of a finding: why the list was fetched and what it shows of the
    // change, or that no list came. `unreadable`: checked for an answer too short to read.
    static QString told(const Finding& finding, bool unreadable = false);
    // The records a sequence of deletes left unsent, to follow that text; empty for none.
    static QString unsent(const QStringList& records);
    // The change a record request of the control link asked for (its command, what it sent).
    static Doubt ofRequest(quint8 cmd, const QByteArray& sent);
    // A record's name (epoch seconds) in local time, "yyyyMMddhhmmss", as the record table shows it.
    static QString nameText(quint32 seconds);
    // A record as the log names it: its number and, in brackets, its name ("1704110400
    // (20240101200000)"), so a line can be matched both with the instrument and with the pages.
    static QString logName(quint32 seconds);

private:
    static Finding judged(const Doubt& doubt, bool listed, const RecordEx* record, int count);
};
