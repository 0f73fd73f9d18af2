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
    // Never before its time: a request announced as unanswered must not be answered in time after.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AwaitedReplies::expireDue);
}

AwaitedReplies::Match AwaitedReplies::startsWith(const QByteArray& prefix)
{
    return [prefix](const QByteArray& sent) { return sent.startsWith(prefix); };
}

void AwaitedReplies::expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs, bool keepLate)
{
    QList<Entry>& list = m_waiting[kindOf(type, cmd)];
    Entry pushedOut;
    const bool full = list.size() >= kMaxPerKind;
    if (full)
        pushedOut = list.takeFirst();
    list.append(Entry{m_clock.elapsed() + waitMs, sent, false, keepLate});
    arm();
    if (full && !pushedOut.expired)
        emit expired(type, cmd, pushedOut.sent);
}

AwaitedReplies::Answer AwaitedReplies::take(quint8 type, quint8 cmd, QByteArray* sent, const Match& match)
{
    const quint16 kind = kindOf(type, cmd);
    auto it = m_waiting.find(kind);
    if (it == m_waiting.end())
        return Answer::None;
    // One whose time ran out is told as unanswered before anything is told as its late answer.
    const qint64 now = m_clock.elapsed();
    for (const Entry& e : qAsConst(*it)) {
        if (!e.expired && e.until <= now) {
            expireDue();
            it = m_waiting.find(kind);
            if (it == m_waiting.end())
                return Answer::None;
            break;
        }
    }
    for (int i = 0; i < it->size(); ++i) {
        if (match && !match(it->at(i).sent))
            continue;
        const Entry taken = it->takeAt(i);
        if (it->isEmpty())
            m_waiting.erase(it);
        arm();
        if (sent)
            *sent = taken.sent;
        return taken.expired ? Answer::Late : Answer::InTime;
    }
    return Answer::None;
}

QByteArray* AwaitedReplies::find(quint8 type, quint8 cmd, const Match& match)
{
    const auto it = m_waiting.find(kindOf(type, cmd));
    if (it == m_waiting.end())
        return nullptr;
    const qint64 now = m_clock.elapsed();
    for (Entry& e : *it) {
        if (!e.expired && e.until > now && (!match || match(e.sent)))
            return &e.sent;
    }
    return nullptr;
}

bool AwaitedReplies::isWaiting(quint8 type, quint8 cmd) const
{
    const auto it = m_waiting.constFind(kindOf(type, cmd));
    if (it == m_waiting.constEnd())
        return false;
    const qint64 now = m_clock.elapsed();
    for (const Entry& e : *it) {
        if (!e.expired && e.until > now)
            return true;
    }
    return false;
}

QList<AwaitedReplies::Request> AwaitedReplies::clear()
{
    QList<Request> forgotten;
    for (auto it = m_waiting.cbegin(); it != m_waiting.cend(); ++it) {
        for (const Entry& e : it.value())
            forgotten.append(Request{quint8(it.key() >> 8), quint8(it.key() & 0xFF), e.sent, e.expired});
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
            Entry& e = list[i];
            if (e.expired || e.until > now) {
                ++i;
                continue;
            }
            due.append({it.key(), e.sent});
            if (e.keepLate) {
                e.expired = true;
                ++i;
            } else {
                list.removeAt(i);
            }
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
            if (!e.expired)
                next = qMin(next, e.until);
    if (next == std::numeric_limits<qint64>::max()) {
        m_timer.stop();
        return;
    }
    m_timer.start(int(qBound<qint64>(0, next - m_clock.elapsed(), std::numeric_limits<int>::max())));
}
