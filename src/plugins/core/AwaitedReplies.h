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

// The requests of this PC whose replies confirm something it asked the instrument to do, by the
// message type and command of the reply. Each kind keeps its requests in the order they were
// sent until each has had its one reply; the owner forgets them all when the link they went out
// on drops. A reply nobody asked for, or a repeated one, finds nothing here.
//
// A reply takes the oldest request of its kind still unanswered, or, where it names what it
// answers (an address, a record), the oldest that asked for that. A request whose time runs out
// is announced once by `expired`. One that asked the instrument to do something keeps its place
// then: while it alone of its kind waits, the next reply of its kind is its late answer.
//
// A one-byte answer names nothing: when it comes while an expired request and a newer one of its
// kind both could own it, it is unsure. It is nobody's; every request that could own it leaves
// the table, in doubt, and the kind is in doubt: each further answer of it is unsure too, taking
// the requests waiting then. A check (a question whose answer names things, asked after the
// requests in doubt were sent) settles the kind: `settle` with the check's own place in the
// order ends the doubt and lets go of the expired requests sent before the check, whose answers,
// the instrument answering in order, would have come before the check's. So a lost, stray,
// repeated or malformed answer costs one check, and the kind is back in step.
class CORE_EXPORT AwaitedReplies : public QObject
{
    Q_OBJECT
public:
    // Tells whether a waiting request, by the bytes it sent (and any notes added), is the one.
    using Match = std::function<bool(const QByteArray& sent)>;

    struct Request
    {
        quint8 type = 0;
        quint8 cmd = 0;
        QByteArray sent;
        bool expired = false; // its expiry was announced already
        quint64 seq = 0;      // its place in the order of sending
        ReplyOwner owner;
    };

    explicit AwaitedReplies(QObject* parent = nullptr);

    // One more request of this kind waits, for `waitMs`, with the payload it carried. One that
    // keeps its place after its expiry (`keepLate`) may take a later reply of its kind as its late
    // answer; any other leaves at its expiry, as a question whose answer is only worth having in
    // time (a list, a description, a heartbeat) or that several replies answer (one per card).
    // Returns its place in the order of sending.
    quint64 expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs, bool keepLate = false,
                   const ReplyOwner& owner = ReplyOwner());

    enum class Answer { None, InTime, Late, Unsure };
    struct Taken
    {
        Answer answer = Answer::None;
        Request request;        // InTime and Late: the request answered
        QList<Request> inDoubt; // Unsure: the requests that left in doubt (none while in doubt already)
    };
    // Takes the request of this kind (matching, where a match is given) that a reply answers:
    // InTime while it waits, Late once its expiry was announced, Unsure when the reply could be
    // any of several (or the kind is in doubt), None when nothing could own it.
    Taken take(quint8 type, quint8 cmd, const Match& match = Match());
    // The oldest matching request of this kind that still waits, left waiting (several replies
    // answer one request, one per card); null when there is none. The caller may note in its
    // bytes what has been answered.
    QByteArray* find(quint8 type, quint8 cmd, const Match& match = Match());
    // A request of this kind waits and its time has not run out.
    bool isWaiting(quint8 type, quint8 cmd) const;
    // An unsure answer of this kind still waits for its check.
    bool inDoubt(quint8 type, quint8 cmd) const;
    // The check sent as request `checkSeq` is in: the kind's expired requests sent before it
    // leave, and its doubt ends if every request in doubt was sent before the check. Returns the
    // requests that left, oldest first: their owners, told they timed out, learn the outcome
    // from the check.
    QList<Request> settle(quint8 type, quint8 cmd, quint64 checkSeq);

    // Forgets every request and every doubt without announcing any: the link they went out on is
    // gone. Returns the requests that had no reply, oldest first within a kind, so the owner can
    // say which went unconfirmed.
    QList<Request> clear();

    // A match on the first bytes of what a request sent.
    static Match startsWith(const QByteArray& prefix);

    // More than this many of one kind without replies are old ones the instrument never answered.
    static constexpr int kMaxPerKind = 64;

signals:
    // The request got no reply in its time.
    void expired(const AwaitedReplies::Request& request);

private:
    struct Entry
    {
        qint64 until = 0;
        QByteArray sent;
        bool expired = false;
        bool keepLate = true;
        quint64 seq = 0;
        ReplyOwner owner;
    };
    static Request requestOf(quint16 kind, const Entry& e);
    void expireDue();
    void arm();

    QHash<quint16, QList<Entry>> m_waiting;
    // Kinds in doubt, each with the place in the order of sending a check must come after.
    QHash<quint16, quint64> m_doubt;
    quint64 m_nextSeq = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

Q_DECLARE_METATYPE(AwaitedReplies::Request)
