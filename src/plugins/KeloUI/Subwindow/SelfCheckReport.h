#pragma once

#include "keloui_global.h"

#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QString>

// One self-check round as the person reads it: every card's answer gathered, then told in one
// message that names each card's result, and each card that never answered.
class KELOUI_EXPORT SelfCheckReport
{
    Q_DECLARE_TR_FUNCTIONS(SelfCheckReport)
public:
    enum class Verdict { Sound, Fault, Missing };

    // `cards`: the collection cards the instrument reported, 0 while not known. `automatic`: the
    // program's own check, which tells faults only. A transponder has no disk of its own, so a
    // disk fault alone is no fault there.
    explicit SelfCheckReport(int cards = 0, bool transponder = false, bool automatic = false);

    // A card's answer; false when the card answered this round already.
    bool add(int card, quint32 error);
    bool has(int card) const { return m_results.contains(card); }
    int answered() const { return m_results.size(); }
    // Every card the instrument reported has answered.
    bool complete() const { return m_cards > 0 && answered() >= m_cards; }
    bool automatic() const { return m_automatic; }

    // Whether the round has anything to tell: the person's own check always, the program's only
    // a fault.
    bool tells() const;
    QString text() const;
    // The worst of the round: a fault, else a card that never answered, else all sound.
    Verdict verdict() const;

    // The cards that never answered, by their numbers; empty when the count is not known or the
    // numbers the cards answered with do not say how the instrument counts them (then
    // `unanswered` still says how many).
    QList<int> missing() const;
    int unanswered() const { return m_cards > answered() ? m_cards - answered() : 0; }

private:
    bool isFault(quint32 error) const;

    int m_cards = 0;
    bool m_transponder = false;
    bool m_automatic = false;
    QMap<int, quint32> m_results; // by card number
};
