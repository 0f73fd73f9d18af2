#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

// The junk a hostile instrument puts on the control link: random and mutated frames of every
// message type, some with lying counts or lengths, cut short, with bad CRCs, and garbage between
// them. Mutations start from the real replies the simulator sent (remember()) and from random
// frames of types 0 to 7.
//
// A burst ends with filler (0xFF bytes) at least as long as the longest frame any item states,
// so whatever the PC's receive buffer held by the Part's framing rules (waiting for a frame's
// rest, or a header cut short) is completed or dropped and the buffer is empty again: the next
// heartbeat reply, written later, is read whole. Stated lengths are therefore kept at or below
// kMaxStated, or made far larger than any receiver accepts; no item carries the frame magic
// anywhere but at its start, so the PC cannot find a frame inside one.
class HostileSender
{
public:
    static constexpr int kMaxStated = 64 * 1024;

    explicit HostileSender(quint32 seed = 1);

    // A real reply the simulator sent, kept (a few dozen at most) as a base for mutations.
    void remember(const QByteArray& frame);
    // `items` pieces of junk and the closing filler.
    QByteArray burst(int items);
    int itemsSent() const { return m_items; }

private:
    QByteArray item(bool last);
    QByteArray randomFrame();
    QByteArray baseFrame();
    QByteArray randomBytes(int count);
    static void setStatedLength(QByteArray& frame, quint32 length);
    static void setCrc(QByteArray& frame);
    static void scrubMagic(QByteArray& bytes, int from);

    QRandomGenerator m_random;
    QList<QByteArray> m_replies;
    int m_items = 0;
};
