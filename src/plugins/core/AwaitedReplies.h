#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
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
// then: the instrument answers in order, so the next reply of its kind is its late answer, never
// the answer of a newer request.
class CORE_EXPORT AwaitedReplies : public QObject
{
    Q_OBJECT
public:
    // Tells whether a waiting request, by the bytes it sent (and any notes added), is the one.
    using Match = std::function<bool(const QByteArray& sent)>;

    explicit AwaitedReplies(QObject* parent = nullptr);

    // One more request of this kind waits, for `waitMs`, with the payload it carried. One that
    // keeps its place after its expiry (`keepLate`) takes the next reply of its kind as its late
    // answer; any other leaves at its expiry, as a question whose answer is only worth having in
    // time (a list, a description, a heartbeat) or that several replies answer (one per card).
    void expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs, bool keepLate = false);

    enum class Answer { None, InTime, Late };
    // Takes the oldest unanswered request of this kind that matches (any, without a match): InTime
    // while it waits, Late once its expiry was announced, None when there is none. `sent`
    // receives its payload.
    Answer take(quint8 type, quint8 cmd, QByteArray* sent = nullptr, const Match& match = Match());
    // The oldest matching request of this kind that still waits, left waiting (several replies
    // answer one request, one per card); null when there is none. The caller may note in its
    // bytes what has been answered.
    QByteArray* find(quint8 type, quint8 cmd, const Match& match = Match());
    // A request of this kind waits and its time has not run out.
    bool isWaiting(quint8 type, quint8 cmd) const;

    struct Request
    {
        quint8 type = 0;
        quint8 cmd = 0;
        QByteArray sent;
        bool expired = false; // its expiry was announced already
    };
    // Forgets every request without announcing any: the link they went out on is gone. Returns
    // those that had no reply, oldest first within a kind, so the owner can say which went
    // unconfirmed.
    QList<Request> clear();

    // A match on the first bytes of what a request sent.
    static Match startsWith(const QByteArray& prefix);

    // More than this many of one kind without replies are old ones the instrument never answered.
    static constexpr int kMaxPerKind = 64;

signals:
    // The request of this kind with this payload (and notes) got no reply in its time.
    void expired(quint8 type, quint8 cmd, const QByteArray& sent);

private:
    struct Entry
    {
        qint64 until = 0;
        QByteArray sent;
        bool expired = false;
        bool keepLate = true;
    };
    void expireDue();
    void arm();

    QHash<quint16, QList<Entry>> m_waiting;
    QElapsedTimer m_clock;
    QTimer m_timer;
};
