#include "AwaitedReplies.h"

#include <limits>

namespace {
quint16 kindOf(quint8 type, quint8 cmd)
{
    return quint16(quint16(type) << 8 | cmd);
}
} // namespace

AwaitedReplies::AwaitedReplies(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    // Never before its time: a request announced as unanswered must not be answered after.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AwaitedReplies::expireDue);
}

AwaitedReplies::Match AwaitedReplies::startsWith(const QByteArray& prefix)
{
    return [prefix](const QByteArray& sent) { return sent.startsWith(prefix); };
}

AwaitedReplies::Entry* AwaitedReplies::live(quint8 type, quint8 cmd, const Match& match, QList<Entry>** list, int* at)
{
    const auto it = m_waiting.find(kindOf(type, cmd));
    if (it == m_waiting.end())
        return nullptr;
    // Those whose time ran out stay until the timer announces them, but answer nothing.
    const qint64 now = m_clock.elapsed();
    for (int i = 0; i < it->size(); ++i) {
        Entry& e = (*it)[i];
        if (e.until > now && (!match || match(e.sent))) {
            if (list)
                *list = &it.value();
            if (at)
                *at = i;
            return &e;
        }
    }
    return nullptr;
}

void AwaitedReplies::expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs)
{
    QList<Entry>& list = m_waiting[kindOf(type, cmd)];
    Entry pushedOut;
    const bool full = list.size() >= kMaxPerKind;
    if (full)
        pushedOut = list.takeFirst();
    list.append(Entry{m_clock.elapsed() + waitMs, sent});
    arm();
    if (full)
        emit expired(type, cmd, pushedOut.sent);
}

bool AwaitedReplies::take(quint8 type, quint8 cmd, QByteArray* sent, const Match& match)
{
    QList<Entry>* list = nullptr;
    int at = -1;
    if (!live(type, cmd, match, &list, &at))
        return false;
    const Entry taken = list->takeAt(at);
    if (list->isEmpty())
        m_waiting.remove(kindOf(type, cmd));
    if (sent)
        *sent = taken.sent;
    return true;
}

QByteArray* AwaitedReplies::find(quint8 type, quint8 cmd, const Match& match)
{
    Entry* e = live(type, cmd, match);
    return e ? &e->sent : nullptr;
}

bool AwaitedReplies::isWaiting(quint8 type, quint8 cmd)
{
    return live(type, cmd, Match()) != nullptr;
}

QList<AwaitedReplies::Request> AwaitedReplies::clear()
{
    // Every one still here is unannounced: an expired request leaves when it is announced.
    QList<Request> forgotten;
    for (auto it = m_waiting.cbegin(); it != m_waiting.cend(); ++it) {
        for (const Entry& e : it.value())
            forgotten.append(Request{quint8(it.key() >> 8), quint8(it.key() & 0xFF), e.sent});
    }
    m_waiting.clear();
    m_timer.stop();
    return forgotten;
}

void AwaitedReplies::expireDue()
{
    const qint64 now = m_clock.elapsed();
    QList<QPair<quint16, QByteArray>> due;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        QList<Entry>& list = it.value();
        for (int i = 0; i < list.size();) {
            if (list.at(i).until <= now)
                due.append({it.key(), list.takeAt(i).sent});
            else
                ++i;
        }
        it = list.isEmpty() ? m_waiting.erase(it) : std::next(it);
    }
    arm();
    // Announced once the table is whole again: a listener may send the next request at once.
    for (const auto& d : qAsConst(due))
        emit expired(quint8(d.first >> 8), quint8(d.first & 0xFF), d.second);
}

void AwaitedReplies::arm()
{
    qint64 next = std::numeric_limits<qint64>::max();
    for (const QList<Entry>& list : qAsConst(m_waiting))
        for (const Entry& e : list)
            next = qMin(next, e.until);
    if (next == std::numeric_limits<qint64>::max()) {
        m_timer.stop();
        return;
    }
    m_timer.start(int(qBound<qint64>(0, next - m_clock.elapsed(), std::numeric_limits<int>::max())));
}
