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
//   card later each, as far as the last card. The refusal stays where it is when it was credited
//   to the last card.
//
// An instrument that answers out of card order has a refusal credited to a card that did not
// connect named by that order: nothing on the wire tells it apart.
//
// Answers as the transfer coordinator keeps them: 0 accepted, 1 failed, 2 record not found, and
// its negative codes (no answer, not connected), which move like any other.
class CORE_EXPORT StartAttribution
{
public:
    static QVector<int> byConnection(QVector<int> credited, const QVector<bool>& connected);
};
