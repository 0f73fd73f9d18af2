#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>

// The requests of this PC whose replies confirm something it asked the instrument to do, by the
// message type and command of the reply. A reply of such a kind may act only while a request of
// its kind waits: each request waits until a reply took it or its time ran out, and the owner
// forgets them all when the link they went out on drops. A late reply, a repeated one or one
// nobody asked for finds nothing here.
class CORE_EXPORT AwaitedReplies
{
public:
    AwaitedReplies();

    // One more request of this kind waits, for `waitMs`, with the payload it carried.
    void expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs);
    // Takes the oldest request of this kind that still waits; false when there is none. `sent`
    // receives its payload.
    bool take(quint8 type, quint8 cmd, QByteArray* sent = nullptr);
    // The oldest request of this kind that still waits, left waiting (several replies answer
    // one request, one per card); null when there is none. The caller may note in its bytes
    // what has been answered.
    QByteArray* find(quint8 type, quint8 cmd);
    bool isWaiting(quint8 type, quint8 cmd);
    void clear();

    // More than this many of one kind without replies are old ones the instrument never answered.
    static constexpr int kMaxPerKind = 64;

private:
    struct Entry
    {
        qint64 until = 0;
        QByteArray sent;
    };
    QList<Entry>* live(quint8 type, quint8 cmd);

    QHash<quint16, QList<Entry>> m_waiting;
    QElapsedTimer m_clock;
};
