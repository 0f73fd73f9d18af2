#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class InstrumentSim;

// Well-formed replies of every kind the PC parses, each as the instrument would send it, for
// sending when nobody asked: a late answer after the PC gave up, a repeated one, one meant for
// another PC, or a hostile instrument's. The payloads come from the simulator's own state (its
// records, boards and reports), so a reply the PC does take is a true one.
class UnaskedReplies
{
public:
    struct Reply
    {
        QString name;
        quint8 type = 0;
        quint8 cmd = 0;
        QByteArray payload;
    };

    static QList<Reply> all(InstrumentSim& sim);

    // The next reply of the catalogue, round and round.
    Reply next(InstrumentSim& sim);
    int sent() const { return m_sent; }

private:
    int m_sent = 0;
};
