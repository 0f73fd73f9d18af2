#include "StartAttribution.h"

namespace {
bool isRefusal(int answer)
{
    return answer == 1 || answer == 2;
}
} // namespace

QVector<int> StartAttribution::byConnection(QVector<int> answers, const QVector<bool>& connected)
{
    const int n = answers.size();
    const auto seen = [&connected](int card) { return card < connected.size() && connected.at(card); };
    for (int card = 0; card + 1 < n; ++card) {
        if (!seen(card) || !isRefusal(answers.at(card)))
            continue;
        // Its own answer is the one that was lost; the last card's credit goes with the shift.
        for (int later = n - 1; later > card; --later)
            answers[later] = answers.at(later - 1);
        answers[card] = 0;
    }
    for (int card = 0; card < n; ++card) {
        if (seen(card) && !isRefusal(answers.at(card)))
            answers[card] = 0;
    }
    return answers;
}
