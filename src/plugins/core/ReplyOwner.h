#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>

// What becomes of a request that waits for its answer, told to whoever sent it.
//
// Every request that waits in ProtocolManager's reply table may carry its owner from the moment
// it is sent: a context object and a function. The owner is told in the thread of the protocol
// (the GUI thread), after the frame that decided it has been parsed and the table is whole again,
// and never once its context object is gone. It is told each outcome at most once:
//
//   InTime     its answer came while it waited; `reply` is that answer's payload.
//   TimedOut   no answer in its wait. A question (a list, a description) is done then. One that
//              asked the instrument to do something (start, stop, delete, change, set, transfer)
//              keeps its place and may still be told Late, Unsure or Malformed, or be settled
//              settled by a check (below).
//   Late       after TimedOut, the answer came while it alone of its kind waited: its own.
//   Unsure     an answer of its kind came that the wire cannot tie to one request: an expired
//              request and a newer one both waited, or the kind was in doubt already. It is told
//              as neither's, to each request that could own it, and the kind is in doubt: every
//              further answer of it is unsure too, until a check is in. The owner asks the
//              instrument a question whose answer names things (the record list, the run state,
//              whether each card connected), tells the person what it shows, request by request,
//              and calls ProtocolManager::settle with the `seq` of that question's InTime notice.
//              Collection and playback starts and stops are checked by ProtocolManager itself:
//              it asks the run state, and the report settles them; when the query goes
//              unanswered, DeviceStateUnanswered says so and the owners tell the outcome as
//              unknown. A check that fails settles nothing: the kind stays in doubt, its next
//              answer is checked again, and the failed check's own late answer, while it alone
//              of its kind waits, still settles it.
//   Malformed  an answer too short for its fields came for it (in time or late): it failed.
//   Cut        the link dropped while it waited in time: it will never be answered.
//   Settled    after TimedOut, a check came in before any answer of its own: what the check
//              showed (the run state, the record list) is in place when the owner is told, and
//              says what became of it. Its own answer, if it still comes, finds nothing.
//
// Every outcome but TimedOut is the last one. A check settles the requests of a kind sent before
// it: those still waiting after their expiry leave, told Settled (under the instrument's order,
// their answers would have come before the check's), and the doubt ends once the check was asked after every
// request in doubt. The next request answered at once is then told as its own.
enum class ReplyOutcome { InTime, Late, TimedOut, Unsure, Malformed, Cut, Settled };

struct ReplyNotice
{
    ReplyOutcome outcome = ReplyOutcome::InTime;
    quint8 type = 0;
    quint8 cmd = 0;
    QByteArray request; // what the request sent (with any notes the table added)
    QByteArray reply;   // the answer's payload, for InTime, Late, Unsure and Malformed
    quint64 seq = 0;    // the request's place in the order of sending, for ProtocolManager::settle

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
