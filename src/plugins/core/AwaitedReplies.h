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
// message type and command of the reply. A reply of such a kind may act only while a request of
// its kind waits: each request waits until a reply took it or its time ran out, and the owner
// forgets them all when the link they went out on drops. A late reply, a repeated one or one
// nobody asked for finds nothing here.
//
// A reply that names what it answers (an address, a record) takes the oldest waiting request
// that asked for it; one that names nothing takes the oldest of its kind. A request whose time
// runs out, or that the cap pushes out, is announced once by `expired`, so that whoever waits
// for it can say that the instrument did not answer.
class CORE_EXPORT AwaitedReplies : public QObject
{
    Q_OBJECT
public:
    // Tells whether a waiting request, by the bytes it sent (and any notes added), is the one.
    using Match = std::function<bool(const QByteArray& sent)>;

    explicit AwaitedReplies(QObject* parent = nullptr);

    // One more request of this kind waits, for `waitMs`, with the payload it carried.
    void expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs);
    // Takes the oldest request of this kind that still waits and matches (any, without a match);
    // false when there is none. `sent` receives its payload.
    bool take(quint8 type, quint8 cmd, QByteArray* sent = nullptr, const Match& match = Match());
    // The oldest matching request of this kind that still waits, left waiting (several replies
    // answer one request, one per card); null when there is none. The caller may note in its
    // bytes what has been answered.
    QByteArray* find(quint8 type, quint8 cmd, const Match& match = Match());
    bool isWaiting(quint8 type, quint8 cmd);

    struct Request
    {
        quint8 type = 0;
        quint8 cmd = 0;
        QByteArray sent;
    };
    // Forgets every request without announcing any: the link they went out on is gone. Returns
    // those that still waited, oldest first within a kind, so the owner can say which went
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
    };
    Entry* live(quint8 type, quint8 cmd, const Match& match, QList<Entry>** list = nullptr, int* at = nullptr);
    void expireDue();
    void arm();

    QHash<quint16, QList<Entry>> m_waiting;
    QElapsedTimer m_clock;
    QTimer m_timer;
};
