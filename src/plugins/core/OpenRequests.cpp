#include "OpenRequests.h"

#include <limits>

OpenRequests::OpenRequests(Rules rules, QObject* parent)
    : QObject(parent)
    , m_rules(std::move(rules))
{
    qRegisterMetaType<OpenRequests::Request>();
    qRegisterMetaType<OpenRequests::Check>();
    m_clock.start();
    m_timer.setSingleShot(true);
    // Never before its time: a request told it ran out must not be answered in time after.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &OpenRequests::expireDue);
}

OpenRequests::Match OpenRequests::startsWith(const QByteArray& prefix)
{
    return [prefix](const QByteArray& sent) { return sent.startsWith(prefix); };
}

bool OpenRequests::isOpen(quint8 type, quint8 cmd) const
{
    for (const Entry& e : m_open)
        if (e.request.type == type && e.request.cmd == cmd)
            return true;
    return false;
}

bool OpenRequests::isWaiting(quint8 type, quint8 cmd) const
{
    const qint64 now = m_clock.elapsed();
    for (const Entry& e : m_open)
        if (e.request.type == type && e.request.cmd == cmd && e.request.stage == Stage::Waiting && e.until > now)
            return true;
    return false;
}

bool OpenRequests::isChecking(quint8 type, quint8 cmd) const
{
    for (const Entry& e : m_open)
        if (e.request.type == type && e.request.cmd == cmd && e.request.stage == Stage::Checking)
            return true;
    return false;
}

QString OpenRequests::reason(quint8 type, quint8 cmd) const
{
    if (m_rules(type, cmd).several)
        return QString();
    if (isChecking(type, cmd))
        return tr("正在核对…");
    return isOpen(type, cmd) ? tr("等待设备应答…") : QString();
}

bool OpenRequests::open(quint8 type, quint8 cmd, const QByteArray& sent, const ReplyOwner& owner, quint64* seq)
{
    const Rule rule = m_rules(type, cmd);
    if (!rule.several && isOpen(type, cmd))
        return false;
    Entry e;
    e.request = Request{type, cmd, sent, m_nextSeq++, Stage::Waiting, Check::None, owner};
    e.until = m_clock.elapsed() + rule.waitMs;
    const auto asked = m_asked.constFind(int(rule.answers));
    if (rule.answers != Check::None && asked != m_asked.constEnd() && asked.value() == e.request.seq)
        e.request.asks = rule.answers;
    m_open.append(e);
    if (seq)
        *seq = e.request.seq;
    arm();
    return true;
}

OpenRequests::Taken OpenRequests::take(quint8 type, quint8 cmd, const Match& match)
{
    // Once its check's question is out, the check's answer decides: an answer of its kind then
    // may be a repeat or a stray as well as its own, and the check would contradict it.
    return takeFirst([&](const Request& r) {
        return r.type == type && r.cmd == cmd && (!match || match(r.sent)) && !decidedByCheck(r);
    });
}

bool OpenRequests::decidedByCheck(const Request& r)
{
    return r.stage == Stage::Checking && (r.check == Check::RunState || r.check == Check::RecordList);
}

OpenRequests::Taken OpenRequests::takeOldest()
{
    return takeFirst([](const Request& r) { return r.stage == Stage::Waiting; });
}

OpenRequests::Taken OpenRequests::takeFirst(const std::function<bool(const Request&)>& which)
{
    // One whose time ran out is told so before anything is told as its late answer.
    const qint64 now = m_clock.elapsed();
    for (const Entry& e : qAsConst(m_open)) {
        if ((e.request.stage == Stage::Waiting || e.request.stage == Stage::Quiet) && deadline(e) <= now) {
            expireDue();
            break;
        }
    }
    Taken taken;
    for (int i = 0; i < m_open.size(); ++i) {
        const Request& r = m_open.at(i).request;
        if (!which(r))
            continue;
        taken.answer = r.stage == Stage::Waiting ? Answer::InTime : Answer::Late;
        taken.request = m_open.takeAt(i).request;
        arm();
        break;
    }
    return taken;
}

QByteArray* OpenRequests::find(quint8 type, quint8 cmd, const Match& match)
{
    const qint64 now = m_clock.elapsed();
    for (Entry& e : m_open) {
        Request& r = e.request;
        if (r.type == type && r.cmd == cmd && r.stage == Stage::Waiting && e.until > now && (!match || match(r.sent)))
            return &r.sent;
    }
    return nullptr;
}

void OpenRequests::setVerifier(Check check, Verifier verifier)
{
    m_verifiers.insert(int(check), std::move(verifier));
}

bool OpenRequests::reads(Check check, const QByteArray& answer) const
{
    const auto v = m_verifiers.constFind(int(check));
    return v == m_verifiers.constEnd() || !v.value() || v.value()(answer);
}

QList<OpenRequests::Request> OpenRequests::answered(Check check, quint64 askedAt, const QByteArray& answer)
{
    if (reads(check, answer))
        return checked(check, askedAt);
    // An answer that says nothing readable settles nothing: the check is lost, and asked again.
    checkFailed(check, askedAt);
    return {};
}

void OpenRequests::asking(Check check)
{
    m_asked.insert(int(check), m_nextSeq);
}

QList<OpenRequests::Request> OpenRequests::checked(Check check, quint64 askedAt)
{
    const auto asked = m_asked.constFind(int(check));
    if (asked != m_asked.constEnd() && asked.value() <= askedAt)
        m_asked.erase(asked);
    QList<Request> settled;
    bool more = false;
    for (int i = 0; i < m_open.size();) {
        const Request& r = m_open.at(i).request;
        if (r.stage != Stage::Checking || r.check != check) {
            ++i;
        } else if (r.seq < askedAt) {
            settled.append(m_open.takeAt(i).request);
        } else {
            more = true;
            ++i;
        }
    }
    // Sent after the question, they are not answered by it.
    if (more)
        needCheck(check);
    return settled;
}

void OpenRequests::checkFailed(Check check, quint64 askedAt)
{
    bool any = false;
    const QList<Request> lost = markLost(check, askedAt, &any);
    if (any)
        askAgainLater(check);
    if (!lost.isEmpty())
        emit checkLost(check, lost);
}

QList<OpenRequests::Request> OpenRequests::markLost(Check check, quint64 askedAt, bool* any)
{
    const auto asked = m_asked.constFind(int(check));
    if (asked != m_asked.constEnd() && asked.value() <= askedAt)
        m_asked.erase(asked);
    QList<Request> lost;
    *any = false;
    for (Entry& e : m_open) {
        if (e.request.stage != Stage::Checking || e.request.check != check)
            continue;
        *any = true;
        if (e.request.seq < askedAt && !e.toldLost) {
            e.toldLost = true;
            lost.append(e.request);
        }
    }
    return lost;
}

void OpenRequests::askAgainLater(Check check)
{
    int waitMs = 0;
    for (const Entry& e : qAsConst(m_open))
        if (e.request.stage == Stage::Checking && e.request.check == check)
            waitMs = qMax(waitMs, m_rules(e.request.type, e.request.cmd).waitMs);
    QTimer::singleShot(waitMs, this, [this, check] {
        for (const Entry& e : qAsConst(m_open)) {
            if (e.request.stage == Stage::Checking && e.request.check == check) {
                needCheck(check);
                return;
            }
        }
    });
}

void OpenRequests::recheck(const Request& request)
{
    Entry e;
    e.request = request;
    e.request.stage = Stage::Checking;
    e.request.check = m_rules(request.type, request.cmd).check;
    // Oldest first: a check asked after it was sent settles it.
    int at = 0;
    while (at < m_open.size() && m_open.at(at).request.seq < request.seq)
        ++at;
    m_open.insert(at, e);
    needCheck(e.request.check);
}

bool OpenRequests::settleOne(quint64 seq, Request* settled)
{
    for (int i = 0; i < m_open.size(); ++i) {
        if (m_open.at(i).request.seq != seq)
            continue;
        const Request r = m_open.takeAt(i).request;
        if (settled)
            *settled = r;
        arm();
        return true;
    }
    return false;
}

QList<OpenRequests::Request> OpenRequests::clear()
{
    QList<Request> forgotten;
    for (const Entry& e : qAsConst(m_open))
        forgotten.append(e.request);
    m_open.clear();
    m_asked.clear();
    m_timer.stop();
    return forgotten;
}

void OpenRequests::needCheck(Check check)
{
    // One question at a time: one asked already settles what was sent before it, and whatever
    // was sent after is checked again once it is in.
    if (!m_asked.contains(int(check)))
        emit checkNeeded(check);
}

void OpenRequests::expireDue()
{
    const qint64 now = m_clock.elapsed();
    QList<Request> due, silent, checkEnded;
    QList<Check> checks;
    for (int i = 0; i < m_open.size();) {
        Entry& e = m_open[i];
        Request& r = e.request;
        if (r.stage == Stage::Checking || deadline(e) > now) {
            ++i;
            continue;
        }
        const Rule rule = m_rules(r.type, r.cmd);
        if (r.stage == Stage::Quiet) {
            silent.append(m_open.takeAt(i).request);
            continue;
        }
        if (rule.check == Check::None) {
            r.stage = Stage::Left;
            due.append(m_open.takeAt(i).request);
            if (rule.answers != Check::None)
                checkEnded.append(due.last());
            continue;
        }
        if (rule.check == Check::Quiet) {
            r.stage = Stage::Quiet;
            e.until = now;
        } else {
            r.stage = Stage::Checking;
            r.check = rule.check;
            if (!checks.contains(rule.check))
                checks.append(rule.check);
        }
        due.append(r);
        ++i;
    }
    arm();
    // Told once the table is whole again: a listener may send the next request at once.
    for (const Request& r : qAsConst(due))
        emit timedOut(r);
    for (const Request& r : qAsConst(silent)) {
        emit unanswered(r);
        if (m_rules(r.type, r.cmd).answers != Check::None)
            checkEnded.append(r);
    }
    for (const Request& r : qAsConst(checkEnded)) {
        // A check's own question went unanswered: what it was to settle is unknown, and it is
        // asked again now, one wait after its own.
        const Check answers = m_rules(r.type, r.cmd).answers;
        bool any = false;
        const QList<Request> lost = markLost(answers, r.seq, &any);
        if (!lost.isEmpty())
            emit checkLost(answers, lost);
        if (any && !checks.contains(answers))
            checks.append(answers);
    }
    for (Check c : qAsConst(checks))
        needCheck(c);
}

qint64 OpenRequests::deadline(const Entry& e) const
{
    // The quiet wait is read when it is looked at: a wait changed meanwhile applies to it.
    return e.request.stage == Stage::Quiet ? e.until + m_rules(e.request.type, e.request.cmd).waitMs : e.until;
}

void OpenRequests::arm()
{
    qint64 next = std::numeric_limits<qint64>::max();
    for (const Entry& e : qAsConst(m_open))
        if (e.request.stage == Stage::Waiting || e.request.stage == Stage::Quiet)
            next = qMin(next, deadline(e));
    if (next == std::numeric_limits<qint64>::max()) {
        m_timer.stop();
        return;
    }
    m_timer.start(int(qBound<qint64>(0, next - m_clock.elapsed(), std::numeric_limits<int>::max())));
}
