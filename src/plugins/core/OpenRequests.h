#pragma once

#include "core_global.h"

#include "ReplyOwner.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <functional>

// The requests of this PC that wait for the instrument's answer, by kind (message type and
// command), and the one rule that ties every answer to its request. The instrument's one-byte
// answers name no request, so a kind has at most one request open at a time: a second one is
// not sent while the first waits in its time, or has run out of it and is not settled yet. Every
// answer of a kind then belongs to the one request open, in time or late; an answer with nothing
// open is a stray and belongs to nobody.
//
// What a kind does once its wait has run out is its rule (`Rule`, given per kind by the owner of
// the table):
//   None        a question (a description, a heartbeat round): it leaves at once, and the next
//               one of its kind asks again.
//   Quiet       nothing can be asked that names the outcome: it stays open for one more wait of
//               its own. An answer in that time is its own, late; none, and it ends unknown.
//   RunState, RecordList, CardConnection
//               it is checked at once: `checkNeeded` asks the question whose answer names the
//               outcome, and the check's answer (`answered`) settles it once the check's
//               verifier reads it. An answer of its kind that comes meanwhile is not taken as
//               its own (it may be a repeat, or a stray): the check decides. Only a card's
//               start, whose check asks nothing, still takes its late answer. A
//               check that fails (no answer, or one its verifier cannot read: no payload, a
//               wrong count, a short list) keeps it open: its owner learns it is unknown
//               (`checkLost`, once), and the check is asked again after one more wait, until
//               an answer comes or the link drops.
// A kind whose answers name their request (a record, a card) may have several open (`several`);
// a reply then takes the oldest that matches.
class CORE_EXPORT OpenRequests : public QObject
{
    Q_OBJECT
public:
    enum class Check : quint8 { None, Quiet, RunState, RecordList, CardConnection };
    struct Rule
    {
        int waitMs = 5000;
        Check check = Check::None;   // what settles one whose wait ran out
        Check answers = Check::None; // the check this kind's answer is (a state query: RunState)
        bool several = false;        // its answers name what they answer: several may be open
    };
    using Rules = std::function<Rule(quint8 type, quint8 cmd)>;
    using Match = std::function<bool(const QByteArray& sent)>;
    // Whether an answer answers a check's question: false for one that cannot be read.
    using Verifier = std::function<bool(const QByteArray& answer)>;

    enum class Stage : quint8 { Waiting, Quiet, Checking, Left };
    struct Request
    {
        quint8 type = 0;
        quint8 cmd = 0;
        QByteArray sent;
        quint64 seq = 0; // its place in the order of sending
        Stage stage = Stage::Waiting;
        Check check = Check::None;
        ReplyOwner owner;
        Check asks = Check::None; // the check it is the question of (sent right after `asking`)
    };

    explicit OpenRequests(Rules rules, QObject* parent = nullptr);

    Rule ruleOf(quint8 type, quint8 cmd) const { return m_rules(type, cmd); }
    // A request of this kind is open: in its time, or past it and not settled.
    bool isOpen(quint8 type, quint8 cmd) const;
    // A request of this kind waits and its time has not run out.
    bool isWaiting(quint8 type, quint8 cmd) const;
    // A request of this kind waits for its check's answer.
    bool isChecking(quint8 type, quint8 cmd) const;
    // Why a control that sends this kind is held ("等待设备应答…", "正在核对…"); empty while
    // nothing of it is open, or when several of it may be.
    QString reason(quint8 type, quint8 cmd) const;

    // A request of this kind goes out with this payload: false, and nothing opened, while one of
    // its kind is open (unless the kind has several). `seq`, where given, gets its place.
    bool open(quint8 type, quint8 cmd, const QByteArray& sent, const ReplyOwner& owner = ReplyOwner(),
              quint64* seq = nullptr);
    // Where the next request opened will stand in the order of sending.
    quint64 nextSeq() const { return m_nextSeq; }

    enum class Answer { None, InTime, Late };
    struct Taken
    {
        Answer answer = Answer::None;
        Request request; // InTime and Late: the request answered; it is no longer open
    };
    // The open request of this kind (matching, where a match is given) that an answer belongs to:
    // InTime while it waits, Late after its wait; None when nothing of its kind is open, or when
    // the one open waits for its check's answer (isChecking).
    Taken take(quint8 type, quint8 cmd, const Match& match = Match());
    // An answer that names no kind (a command error, the instrument answering in order): the
    // oldest request still in its time, of whatever kind.
    Taken takeOldest();
    // The oldest matching request of this kind in its time, left open (several answers answer
    // it, one per card); null when there is none. The caller may note in its bytes what came.
    QByteArray* find(quint8 type, quint8 cmd, const Match& match = Match());

    // The check's verifier, registered by the owner of the table; a check without one reads any
    // answer.
    void setVerifier(Check check, Verifier verifier);
    bool reads(Check check, const QByteArray& answer) const;

    // The check is asked now (its question goes out as the next request, or is asked elsewhere):
    // it settles what was open before it.
    void asking(Check check);
    // The answer to the check's question asked at `askedAt` came. Read by the check's verifier,
    // it settles (`checked`) and the requests it settled are returned; unread, it is a lost
    // check (`checkFailed`) and nothing is settled.
    QList<Request> answered(Check check, quint64 askedAt, const QByteArray& answer);
    // The answer of the check asked at `askedAt` (the place of its question) is in: every request
    // checked by it and sent before it leaves, settled, oldest first. Any checked request sent
    // after it is checked again.
    QList<Request> checked(Check check, quint64 askedAt);
    // The check asked at `askedAt` got no answer: the requests it was to settle stay open and are
    // told, the first time only, that they are unknown (`checkLost`); the check is asked again
    // after one more wait.
    void checkFailed(Check check, quint64 askedAt);
    // A request taken for an answer that says nothing readable is open again, checked at once by
    // its kind's check as if its wait had run out (its kind must have one).
    void recheck(const Request& request);
    // The owner of this request checked it by itself (a card's connection): it leaves, settled.
    bool settleOne(quint64 seq, Request* settled = nullptr);

    // Forgets every request: the link they went out on is gone. Returns them, oldest first.
    QList<Request> clear();

    static Match startsWith(const QByteArray& prefix);

signals:
    // The request's wait ran out: `stage` says what it does now (Left: a question, gone).
    void timedOut(const OpenRequests::Request& request);
    // A request settled by quiet ended without an answer: unknown, and no longer open.
    void unanswered(const OpenRequests::Request& request);
    // Ask the check's question now, and say so with `asking`.
    void checkNeeded(OpenRequests::Check check);
    // A check's question got no answer (its own request ended unanswered): these stay open and are
    // told, the first time, that they are unknown.
    void checkLost(OpenRequests::Check check, const QList<OpenRequests::Request>& requests);

private:
    struct Entry
    {
        Request request;
        qint64 until = 0; // the end of its wait; in quiet, where the quiet wait began
        bool toldLost = false;
    };
    static quint16 kindOf(quint8 type, quint8 cmd) { return quint16(quint16(type) << 8 | cmd); }
    // Past its wait, its check asks a question whose answer settles it: nothing else does.
    static bool decidedByCheck(const Request& r);
    qint64 deadline(const Entry& e) const;
    Taken takeFirst(const std::function<bool(const Request&)>& which);
    void expireDue();
    void arm();
    void needCheck(Check check);
    void askAgainLater(Check check);
    // The requests of this check sent before `askedAt` not yet told they are unknown; `any`: some
    // still wait for the check.
    QList<Request> markLost(Check check, quint64 askedAt, bool* any);

    Rules m_rules;
    QList<Entry> m_open;         // oldest first
    QHash<int, quint64> m_asked; // checks asked and not yet answered, with their place
    QHash<int, Verifier> m_verifiers;
    quint64 m_nextSeq = 1;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

Q_DECLARE_METATYPE(OpenRequests::Request)
Q_DECLARE_METATYPE(OpenRequests::Check)
