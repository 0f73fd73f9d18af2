#pragma once

#include "core_global.h"

#include "LogText.h"
#include "RecordEx.h"
#include "ReplyOwner.h"
#include "SyncDeviceState.h"

#include <QCoreApplication>
#include <QList>

// What the person was last told of each change they asked of the instrument, kept until the link
// drops, and what a later record list or state report shows against it. The words kept:
//
//   a record deleted (or not found)        contradicted by a list that still holds it
//   a record still there (delete refused)  by a list without it
//   a remark not changed                   by a list whose description holds the remark sent
//   every record cleared                   by a list holding a record listed before the clearing
//   records still there after clearing     by a list holding none of them
//   a run not started                      by a report of that run (its kind and record) running
//   a run stopped                          by a report of that run still running
//
// A contradicted word is told once, by name, to the owner that told it, and forgotten; the page
// follows the list or report itself. A new request about the same record, or a new start or stop
// of the same kind of run, replaces the word. Only a list or report asked after the word was told
// is read against it: one asked before may show the instrument before the change.
class CORE_EXPORT LastWords
{
    Q_DECLARE_TR_FUNCTIONS(LastWords)
public:
    struct Correction
    {
        ReplyOwner owner;
        ReplyNotice notice; // Corrected; the request's kind and bytes, `finding` says what is shown
    };

    // The owner of a request told the person `notice`; lists and reports asked at `from` or later
    // show what the instrument did after it. Outcomes that leave nothing known keep nothing.
    void told(const ReplyNotice& notice, const ReplyOwner& owner, quint64 from);
    // A request of this kind went out with this payload: earlier words of what it changes go.
    void sent(quint8 type, quint8 cmd, const QByteArray& payload);
    // A whole record list, descriptions included, asked at `askedAt`.
    QList<Correction> listed(const QList<RecordEx>& records, quint64 askedAt);
    // A state report; `askedAt` is the place of its query, or of the next request for one the
    // instrument sent by itself.
    QList<Correction> reported(const SyncDeviceState& state, quint64 askedAt);
    // The link dropped: what was said on it is no longer kept.
    void clear();
    int size() const { return m_words.size(); }

    // The title under which the pages show a correction.
    static QString title();

private:
    enum class Said : quint8 { Gone, Kept, RemarkKept, Cleared, NotCleared, NotStarted, Stopped };
    struct Word
    {
        Said said = Said::Gone;
        quint32 name = 0;      // the record; for a run, the record it makes or plays
        QString remark;        // the remark sent
        QList<quint32> names;  // clearing: the records it was about
        bool playback = false; // a run: playback, else collection or forwarding
        quint64 from = 0;
        ReplyOwner owner;
        ReplyNotice notice; // the request it was said of
    };
    struct Run
    {
        bool known = false;
        bool playback = false;
        quint32 name = 0;
    };

    void keep(Word word, const ReplyNotice& notice, const ReplyOwner& owner, quint64 from);
    void toldOfRecord(const ReplyNotice& notice, const ReplyOwner& owner, quint64 from);
    void toldOfRun(const ReplyNotice& notice, const ReplyOwner& owner, quint64 from);
    static Correction correction(const Word& word, bool done, const LogText& line);
    static Run runIn(const SyncDeviceState& state);

    QList<Word> m_words;
    QList<quint32> m_listed;      // the names of the last whole list
    QList<quint32> m_beforeClear; // the names listed when a clearing went out
    Run m_run;                    // the run last reported or confirmed started
};
