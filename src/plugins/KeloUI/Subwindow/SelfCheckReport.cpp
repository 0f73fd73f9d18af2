#include "SelfCheckReport.h"

#include <QStringList>

SelfCheckReport::SelfCheckReport(int cards, bool transponder, bool automatic)
    : m_cards(cards > 0 ? cards : 0)
    , m_transponder(transponder)
    , m_automatic(automatic)
{}

bool SelfCheckReport::add(int card, quint32 error)
{
    if (m_results.contains(card))
        return false;
    m_results.insert(card, error);
    return true;
}

bool SelfCheckReport::isFault(quint32 error) const
{
    return error != 0 && !(m_transponder && error == 0x2);
}

QList<int> SelfCheckReport::missing() const
{
    if (unanswered() == 0)
        return {};
    // The instrument counts its cards from 1 (as the transfer commands do) unless a card
    // answered as 0; a number outside either range leaves the count alone to say it.
    const int first = m_results.contains(0) ? 0 : 1;
    QList<int> cards;
    for (int card = first; card < first + m_cards; ++card) {
        if (!m_results.contains(card))
            cards << card;
    }
    return cards.size() == unanswered() ? cards : QList<int>();
}

SelfCheckReport::Verdict SelfCheckReport::verdict() const
{
    for (quint32 error : m_results) {
        if (isFault(error))
            return Verdict::Fault;
    }
    return unanswered() > 0 || m_results.isEmpty() ? Verdict::Missing : Verdict::Sound;
}

bool SelfCheckReport::tells() const
{
    return !m_automatic || verdict() == Verdict::Fault;
}

QString SelfCheckReport::text() const
{
    const char* faults[] = {QT_TRANSLATE_NOOP("SelfCheckReport", "射频模块故障"),
                            QT_TRANSLATE_NOOP("SelfCheckReport", "硬盘故障"),
                            QT_TRANSLATE_NOOP("SelfCheckReport", "无校准文件")};
    QStringList lines;
    for (auto it = m_results.cbegin(); it != m_results.cend(); ++it) {
        if (!isFault(it.value())) {
            // The program's own check names the cards at fault only.
            if (!m_automatic)
                lines << tr("[采集卡 %1]设备自检正常").arg(it.key());
            continue;
        }
        QString text = tr("[采集卡 %1]").arg(it.key());
        for (int bit = 0; bit < 3; ++bit) {
            if (it.value() & (1u << bit))
                text += QLatin1Char('\n') + tr(faults[bit]);
        }
        lines << text;
    }
    if (!m_automatic) {
        const QList<int> quiet = missing();
        for (int card : quiet)
            lines << tr("[采集卡 %1]未应答").arg(card);
        if (quiet.isEmpty() && unanswered() > 0)
            lines << tr("另有 %1 张采集卡未应答").arg(unanswered());
    }
    return lines.join(QLatin1Char('\n'));
}
