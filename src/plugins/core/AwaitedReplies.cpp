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
    qRegisterMetaType<AwaitedReplies::Request>();
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

AwaitedReplies::Request AwaitedReplies::requestOf(quint16 kind, const Entry& e)
{
    return Request{quint8(kind >> 8), quint8(kind & 0xFF), e.sent, e.expired, e.seq, e.owner};
}

quint64 AwaitedReplies::expect(quint8 type, quint8 cmd, const QByteArray& sent, int waitMs, bool keepLate,
                               const ReplyOwner& owner)
{
    const quint16 kind = kindOf(type, cmd);
    QList<Entry>& list = m_waiting[kind];
    Entry pushedOut;
    const bool full = list.size() >= kMaxPerKind;
    if (full)
        pushedOut = list.takeFirst();
    const quint64 seq = m_nextSeq++;
    list.append(Entry{m_clock.elapsed() + waitMs, sent, false, keepLate, seq, owner});
    arm();
    if (full && !pushedOut.expired)
        emit expired(requestOf(kind, pushedOut));
    return seq;
}

AwaitedReplies::Taken AwaitedReplies::take(quint8 type, quint8 cmd, const Match& match)
{
    const quint16 kind = kindOf(type, cmd);
    Taken taken;
    const bool doubt = m_doubt.contains(kind);
    auto it = m_waiting.find(kind);
    if (it == m_waiting.end()) {
        // In doubt, an answer with nothing waiting is one the check covers.
        taken.answer = doubt ? Answer::Unsure : Answer::None;
        return taken;
    }
    // One whose time ran out is told as unanswered before anything is told as its late answer.
    const qint64 now = m_clock.elapsed();
    for (const Entry& e : qAsConst(*it)) {
        if (!e.expired && e.until <= now) {
            expireDue();
            break;
        }
    }
    it = m_waiting.find(kind);
    QList<int> candidates;
    bool anyExpired = false;
    if (it != m_waiting.end()) {
        for (int i = 0; i < it->size(); ++i) {
            if (match && !match(it->at(i).sent))
                continue;
            candidates.append(i);
            anyExpired = anyExpired || it->at(i).expired;
        }
    }
    if (!doubt && candidates.isEmpty())
        return taken;
    if (!doubt && (candidates.size() == 1 || !anyExpired)) {
        const Entry e = it->takeAt(candidates.first());
        if (it->isEmpty())
            m_waiting.erase(it);
        arm();
        taken.answer = e.expired ? Answer::Late : Answer::InTime;
        taken.request = requestOf(kind, e);
        return taken;
    }
    // Any of the candidates may own it, or none: each leaves in doubt, and a check must come after
    // all of them.
    taken.answer = Answer::Unsure;
    for (int n = candidates.size() - 1; n >= 0; --n)
        taken.inDoubt.prepend(requestOf(kind, it->takeAt(candidates.at(n))));
    if (it != m_waiting.end() && it->isEmpty())
        m_waiting.erase(it);
    if (!taken.inDoubt.isEmpty())
        m_doubt.insert(kind, qMax(m_doubt.value(kind), taken.inDoubt.last().seq + 1));
    arm();
    return taken;
}

QList<AwaitedReplies::Request> AwaitedReplies::settle(quint8 type, quint8 cmd, quint64 checkSeq)
{
    const quint16 kind = kindOf(type, cmd);
    const auto doubt = m_doubt.constFind(kind);
    if (doubt != m_doubt.constEnd() && checkSeq >= doubt.value())
        m_doubt.erase(doubt);
    QList<Request> settled;
    const auto it = m_waiting.find(kind);
    if (it == m_waiting.end())
        return settled;
    for (int i = 0; i < it->size();) {
        const Entry& e = it->at(i);
        if (e.expired && e.seq < checkSeq)
            settled.append(requestOf(kind, it->takeAt(i)));
        else
            ++i;
    }
    if (it->isEmpty())
        m_waiting.erase(it);
    return settled;
}

bool AwaitedReplies::inDoubt(quint8 type, quint8 cmd) const
{
    return m_doubt.contains(kindOf(type, cmd));
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
            forgotten.append(requestOf(it.key(), e));
    }
    m_waiting.clear();
    m_doubt.clear();
    m_timer.stop();
    return forgotten;
}

void AwaitedReplies::expireDue()
{
    const qint64 now = m_clock.elapsed();
    QList<Request> due;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        QList<Entry>& list = it.value();
        for (int i = 0; i < list.size();) {
            Entry& e = list[i];
            if (e.expired || e.until > now) {
                ++i;
                continue;
            }
            due.append(requestOf(it.key(), e));
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
    for (const Request& r : qAsConst(due))
        emit expired(r);
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
