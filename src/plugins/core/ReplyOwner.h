#pragma once

#include "RecordCheck.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>

// What becomes of a request that waits for its answer, told to whoever sent it.
//
// Every request that waits in ProtocolManager's table of open requests (OpenRequests.h) may
// carry its owner from the moment it is sent: a context object and a function. The owner is told
// in the thread of the protocol (the GUI thread), after the frame that decided it has been parsed
// and the table is whole again, and never once its context object is gone. A kind has one request
// open at a time, so every answer of it is that request's own:
//
//   InTime     its answer came while it waited; `reply` is that answer's payload.
//   TimedOut   no answer in its wait. A question (a list, a description) is done then, and so is
//              a self-check round, whose `request` lists after its first byte the cards that
//              answered (all of them, it may be). Any other
//              stays open: a kind with a check is checked at once (the run state, the record
//              list, the card's connection), one without waits one more wait in quiet.
//   Late       after TimedOut, its own answer came while it was still open.
//   Malformed  an answer too short for its fields came for it (in time or late): it failed. A
//              record change is then checked by the record list as after TimedOut.
//   Settled    after TimedOut (or Malformed), the check's answer came first: what it shows (the
//              run state, the record list) is in place when the owner is told, and says what
//              became of it. A record change carries what the list shows of it in `finding`.
//   CheckLost  after TimedOut, the check's answer did not come: the outcome is unknown for now.
//              It stays open, the check is asked again, and Settled or Late still follows. A
//              record change carries in `finding` the change named, its outcome unknown.
//   Unknown    after TimedOut, a kind settled by quiet had no answer in its quiet wait either:
//              what the instrument did is unknown, and the PC keeps what it had.
//   Cut        the link dropped while it was open: it will never be answered.
//
// Every outcome but TimedOut, CheckLost and a record change's Malformed is the last one. After
// it, one more may come while the link holds:
//   Corrected  a later record list or state report shows the instrument otherwise than the
//              person was told (LastWords.h); `finding` says what it shows, by name.
enum class ReplyOutcome { InTime, Late, TimedOut, Malformed, Settled, CheckLost, Unknown, Cut, Corrected };

struct ReplyNotice
{
    ReplyOutcome outcome = ReplyOutcome::InTime;
    quint8 type = 0;
    quint8 cmd = 0;
    QByteArray request;           // what the request sent (with any notes the table added)
    QByteArray reply;             // the answer's payload, for InTime, Late and Malformed; the check's for Settled
    quint64 seq = 0;              // the request's place in the order of sending
    RecordCheck::Finding finding; // a record change's, for Settled and CheckLost; what is shown, for Corrected
    bool unreadable = false;      // Settled: checked for an answer too short to read, not for a time-out

    // The first byte of the answer, or -1 when it carried none.
    int result() const { return reply.isEmpty() ? -1 : int(quint8(reply.at(0))); }
};

class ReplyOwner
{
public:
    using Tell = std::function<void(const ReplyNotice&)>;

    ReplyOwner() = default;
    ReplyOwner(QObject* context, Tell tell)
        : m_context(context)
        , m_tell(std::move(tell))
    {}

    bool isSet() const { return bool(m_tell); }
    // Set and its context still there: it can be told, and can make the check it is asked for.
    bool isAlive() const { return m_tell && !m_context.isNull(); }
    void tell(const ReplyNotice& notice) const
    {
        if (isAlive())
            m_tell(notice);
    }

private:
    QPointer<QObject> m_context;
    Tell m_tell;
};
