#include "StartAttribution.h"

StartAttribution::Cards StartAttribution::byConnection(QVector<int> answers, const QVector<bool>& connected)
{
    Cards cards;
    const int n = answers.size();
    const auto seen = [&connected](int card) { return card < connected.size() && connected.at(card); };
    for (int card = 0; card + 1 < n; ++card) {
        if (!seen(card) || !isRefusal(answers.at(card)))
            continue;
        // Its own answer is the one that was lost; what the last card was credited goes with the
        // shift, past every card.
        if (isRefusal(answers.at(n - 1)))
            ++cards.unaccounted;
        for (int later = n - 1; later > card; --later)
            answers[later] = answers.at(later - 1);
        answers[card] = 0;
    }
    for (int card = 0; card < n; ++card) {
        if (!seen(card))
            continue;
        if (isRefusal(answers.at(card)))
            ++cards.unaccounted;
        answers[card] = 0;
    }
    cards.answers = answers;
    return cards;
}
