#pragma once

#include "core_global.h"

#include <QVector>

// Which card each answer to one transfer start belongs to. The start goes out as one request per
// card, card 1 first, and each answer is one byte that names no card: the answers are credited
// to the requests in the order they went out. What a card did is known for certain only when it
// connected to its channel, which it does once the instrument took its start.
//
// - A card that connected accepted, whatever it was credited.
// - A refusal credited to a card that connected is not that card's: an answer before it was lost
//   (an instrument answering in card order), so it and the answers credited after it belong one
//   card later each, as far as the last card. A refusal that this carries past the last card, or
//   that stays on a last card that connected, is no card's: a stray or repeated answer. It is
//   counted apart and never shown as a card's.
//
// An instrument that answers out of card order has a refusal credited to a card that did not
// connect named by that order: nothing on the wire tells it apart.
//
// Answers as the transfer coordinator keeps them: 0 accepted, 1 failed, 2 record not found, and
// its negative codes (no answer, not connected), which move like any other.
class CORE_EXPORT StartAttribution
{
public:
    struct Cards
    {
        QVector<int> answers; // card 1 first
        int unaccounted = 0;  // refusals that no card accounts for
    };
    static Cards byConnection(QVector<int> credited, const QVector<bool>& connected);
    static bool isRefusal(int answer) { return answer == 1 || answer == 2; }
};
