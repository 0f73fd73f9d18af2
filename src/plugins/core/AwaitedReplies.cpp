#include "AwaitedReplies.h"

namespace {
quint16 kindOf(quint8 type, quint8 cmd)
{
    return quint16(quint16(type) << 8 | cmd);
}
} // namespace

AwaitedReplies::AwaitedReplies()
{
    m_clock.start();
}

QList<AwaitedReplies::Entry>* AwaitedReplies::live(quint8 type, quint8 cmd)
{
    const auto it = m_waiting.find(kindOf(type, cmd));
    if (it == m_waiting.end())
        return nullptr;
    const qint64 now = m_clock.elapsed();
    QList<Entry>& list = it.value();
    while (!list.isEmpty() && list.first().until <= now)
        list.removeFirst();
    if (list.isEmpty()) {
        m_waiting.erase(it);
        return nullptr;
    }
    return &list;
}

void AwaitedReplies::expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs)
{
    live(type, cmd); // drops those whose time ran out
    QList<Entry>& list = m_waiting[kindOf(type, cmd)];
    if (list.size() >= kMaxPerKind)
        list.removeFirst();
    list.append(Entry{m_clock.elapsed() + waitMs, sent});
}

bool AwaitedReplies::take(quint8 type, quint8 cmd, QByteArray* sent)
{
    QList<Entry>* list = live(type, cmd);
    if (!list)
        return false;
    const Entry first = list->takeFirst();
    if (list->isEmpty())
        m_waiting.remove(kindOf(type, cmd));
    if (sent)
        *sent = first.sent;
    return true;
}

QByteArray* AwaitedReplies::find(quint8 type, quint8 cmd)
{
    QList<Entry>* list = live(type, cmd);
    return list ? &list->first().sent : nullptr;
}

bool AwaitedReplies::isWaiting(quint8 type, quint8 cmd)
{
    return live(type, cmd) != nullptr;
}

void AwaitedReplies::clear()
{
    m_waiting.clear();
}
