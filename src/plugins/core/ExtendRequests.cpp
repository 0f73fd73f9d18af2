#include "ExtendRequests.h"

#include "ReplyWords.h"
#include "SystemState.h"

#include <QDebug>

namespace {
// A request keeps in the table what it sent: a delete, the record it names.
quint32 recordOf(const OpenRequests::Request& r)
{
    return quint32(ExtendProtocol::readBE(r.sent, 0, 4));
}
} // namespace

ExtendRequests::ExtendRequests(QObject* parent)
    : QObject(parent)
    , m_open([this](quint8, quint8 code) { return ruleOf(code, m_waitMs); })
{
    qRegisterMetaType<ExtendRequests::Word>();
    qRegisterMetaType<COST>("COST");
    // A state report answers its check only when it names a state the instrument has; a list
    // only when it carries every name it announces. Anything else is a lost check, asked again.
    m_open.setVerifier(OpenRequests::Check::RunState, [](const QByteArray& a) {
        return a.size() >= ExtendProtocol::replySize(COST_GetStatus)
            && !stateWord(ExtendProtocol::deviceMode(a)).isEmpty();
    });
    m_open.setVerifier(OpenRequests::Check::RecordList, [](const QByteArray& a) {
        if (a.size() < ExtendProtocol::replySize(COST_GetRecords))
            return false;
        const qint64 count = qint32(ExtendProtocol::readBE(a, 0, 4));
        return count >= 0 && a.size() == 4 + 4 * count;
    });
    connect(&m_open, &OpenRequests::timedOut, this,
            [this](const OpenRequests::Request& r) { tell(ReplyOutcome::TimedOut, r); });
    connect(&m_open, &OpenRequests::unanswered, this,
            [this](const OpenRequests::Request& r) { tell(ReplyOutcome::Unknown, r); });
    connect(&m_open, &OpenRequests::checkLost, this,
            [this](OpenRequests::Check, const QList<OpenRequests::Request>& lost) {
                for (const OpenRequests::Request& r : lost)
                    tell(ReplyOutcome::CheckLost, r);
            });
    connect(&m_open, &OpenRequests::checkNeeded, this, &ExtendRequests::askCheck);
}

// The state names what became of a start or stop, the list what became of a delete or a format;
// a setting has nothing that names it and settles by quiet. A power value is sent on every move
// of its slider and the next one replaces it: several may be open. The rest ask what is, and the
// next such request asks again.
OpenRequests::Rule ExtendRequests::ruleOf(quint8 code, int waitMs)
{
    OpenRequests::Rule r;
    r.waitMs = waitMs;
    switch (code) {
    case COST_Playback:
    case COST_Record:
        r.check = OpenRequests::Check::RunState;
        break;
    case COST_DeleteRecord:
    case COST_Format:
        r.check = OpenRequests::Check::RecordList;
        break;
    case COST_SetIp:
    case COST_SetPulse:
        r.check = OpenRequests::Check::Quiet;
        break;
    case COST_GetStatus:
        r.answers = OpenRequests::Check::RunState;
        break;
    case COST_GetRecords:
        r.answers = OpenRequests::Check::RecordList;
        break;
    case COST_SetPower:
        r.several = true;
        break;
    default:
        break;
    }
    return r;
}

QString ExtendRequests::stateWord(int mode)
{
    switch (SystemState(mode)) {
    case SystemState::Idle:
        return tr("空闲中");
    case SystemState::Collecting:
        return tr("采集中");
    case SystemState::Playback:
        return tr("回放中");
    case SystemState::Forwarding:
        return tr("转发中");
    default:
        return QString();
    }
}

void ExtendRequests::say(Word::Kind kind, const QString& title, const QString& text)
{
    emit told(Word{kind, title, text});
}

quint64 ExtendRequests::send(COST code, const QByteArray& payload, Sender sender)
{
    const QString why = m_open.reason(kType, code);
    quint64 request = 0;
    if (!m_open.open(kType, code, payload, ReplyOwner(), &request)) {
        if (sender == Sender::Press)
            say(Word::Warning, tr("命令未发送"), ReplyWords::refusedWhileOpen(why));
        return 0;
    }
    m_pendingCode = code;
    emit frameOut(ExtendProtocol::makeFrame(code, payload));
    emit openChanged();
    return request;
}

void ExtendRequests::refreshRecords()
{
    // A list already asked for is answered anew if it is stale.
    send(COST_GetRecords, QByteArray(), Sender::Link);
    send(COST_GetVolume, QByteArray(), Sender::Link);
}

OpenRequests::Taken ExtendRequests::take(COST code, const OpenRequests::Match& match)
{
    const OpenRequests::Taken t = m_open.take(kType, code, match);
    emit openChanged();
    return t;
}

void ExtendRequests::answer(COST code, const QByteArray& payload)
{
    // A payload shorter than its layout is not read.
    const bool whole = payload.size() >= ExtendProtocol::replySize(code);
    switch (code) {
    case COST_CmdError:
        onCommandError();
        return;
    case COST_DeleteRecord:
        if (whole)
            onDeleteAnswer(payload);
        return;
    case COST_GetRecords:
        onRecordList(payload);
        return;
    case COST_GetStatus:
        onState(payload);
        return;
    default:
        // Shown as it comes, in time or late, as every answer.
        take(code);
        break;
    }
    if (!whole)
        return;
    emit shown(code, payload);
    switch (code) {
    case COST_SetIp:
        say(Word::Information, tr("提示"),
            tr("修改IP成功，设备重启后生效。\n本软件不能重启设备：请给设备断电后重新上电。"));
        break;
    case COST_Format:
        say(Word::Information, tr("提示"), tr("格式化成功"));
        refreshRecords();
        break;
    case COST_SetPulse: {
        const ExtendProtocol::PulseSetting p = ExtendProtocol::pulseSetting(payload);
        say(Word::Information, tr("设置成功"), tr("对时脉冲设置成功\n宽度:%1 个数:%2").arg(p.width).arg(p.count));
        break;
    }
    default:
        break;
    }
}

void ExtendRequests::onState(const QByteArray& payload)
{
    const OpenRequests::Taken t = take(COST_GetStatus);
    if (payload.size() >= ExtendProtocol::replySize(COST_GetStatus)) {
        emit shown(COST_GetStatus, payload);
        // A check's own question is told by what it settles; a report nothing asked for is
        // shown all the same.
        if (t.answer == OpenRequests::Answer::None || t.request.asks == OpenRequests::Check::None)
            say(Word::Information, tr("提示"), tr("通信成功"));
    }
    if (t.answer != OpenRequests::Answer::None)
        settle(OpenRequests::Check::RunState, t.request, payload);
}

void ExtendRequests::onRecordList(const QByteArray& payload)
{
    const OpenRequests::Taken t = take(COST_GetRecords);
    // A list answers what it is asked at any time, late or not.
    const bool asked = t.answer != OpenRequests::Answer::None;
    if (payload.size() < ExtendProtocol::replySize(COST_GetRecords)) {
        if (asked)
            m_open.checkFailed(OpenRequests::Check::RecordList, t.request.seq);
        return;
    }
    const ExtendProtocol::RecordList list = ExtendProtocol::recordList(payload);
    if (m_gone.predates(list.names)) {
        // It still lists a record confirmed gone: asked before that, it is asked anew.
        if (asked) {
            if (t.request.asks != OpenRequests::Check::None)
                m_open.asking(t.request.asks);
            send(COST_GetRecords, QByteArray(), Sender::Link);
        }
        return;
    }
    // A list that lacks names it announces is shown when the person asked for it, never taken
    // as a check's answer.
    if (t.request.asks == OpenRequests::Check::None || m_open.reads(OpenRequests::Check::RecordList, payload)) {
        emit shown(COST_GetRecords, payload);
        if (m_deletedUntold) {
            m_deletedUntold = false;
            say(Word::Information, tr("删除成功"), tr("删除成功，记录数:%1").arg(list.count));
        }
    }
    if (asked)
        settle(OpenRequests::Check::RecordList, t.request, payload);
}

void ExtendRequests::askCheck(OpenRequests::Check check)
{
    const COST code = check == OpenRequests::Check::RunState ? COST_GetStatus : COST_GetRecords;
    // A question of its kind already out answers it: what it settles is settled by its answer,
    // and whatever is left is checked again once it is in.
    if (m_open.isOpen(kType, code))
        return;
    m_open.asking(check);
    send(code, QByteArray(), Sender::Link);
}

void ExtendRequests::settle(OpenRequests::Check check, const OpenRequests::Request& question, const QByteArray& reply)
{
    for (const OpenRequests::Request& r : m_open.answered(check, question.seq, reply))
        tell(ReplyOutcome::Settled, r, reply);
    emit openChanged();
}

RecordCheck::Doubt ExtendRequests::doubtOf(const OpenRequests::Request& r)
{
    // The panel names a record by its number, as its table does.
    if (r.cmd == COST_Format)
        return RecordCheck::Doubt(RecordCheck::Change::ClearAll, 0);
    const quint32 name = recordOf(r);
    return RecordCheck::Doubt(RecordCheck::Change::Delete, name, QString(), QString::number(name));
}

QString ExtendRequests::requestName(const OpenRequests::Request& r) const
{
    switch (r.cmd) {
    case COST_DeleteRecord:
        return RecordCheck::unknown(doubtOf(r)).text;
    case COST_Format:
        return tr("格式化");
    case COST_Record:
        return tr("采集");
    case COST_Playback:
        return tr("转发/回放");
    case COST_SetIp:
        return tr("修改IP");
    case COST_SetPulse:
        return tr("对时脉冲设置");
    default:
        return QString::number(r.cmd);
    }
}

void ExtendRequests::tell(ReplyOutcome outcome, const OpenRequests::Request& r, const QByteArray& reply)
{
    emit openChanged();
    const quint64 request = r.seq;
    const bool records = r.cmd == COST_DeleteRecord || r.cmd == COST_Format;
    const bool ofRun = r.cmd == COST_DeleteRecord && request != 0 && request == m_run.request;
    switch (outcome) {
    case ReplyOutcome::TimedOut:
        timedOut(r);
        return;
    case ReplyOutcome::Settled:
        if (records) {
            const RecordCheck::Finding f = RecordCheck::judge(doubtOf(r), ExtendProtocol::recordList(reply).names);
            say(Word::Information, requestName(r), RecordCheck::told(f));
            // Done or still there, it is told: the run goes on.
            deleted(request, f.done ? Deleted::Done : Deleted::Kept);
        } else {
            say(Word::Information, requestName(r),
                tr("设备未及时应答，已查询设备状态：%1").arg(stateWord(ExtendProtocol::deviceMode(reply))));
        }
        return;
    case ReplyOutcome::CheckLost:
        // The run tells it, with the records it leaves unsent.
        if (ofRun)
            deleted(request, Deleted::Unknown);
        else if (records)
            say(Word::Warning, tr("核对记录失败"), RecordCheck::told(RecordCheck::unknown(doubtOf(r))));
        else
            say(Word::Warning, ReplyWords::stateCheckLostTitle(), ReplyWords::stateCheckLost(requestName(r)));
        return;
    case ReplyOutcome::Unknown:
        say(Word::Warning, tr("命令超时"), tr("%1：设备未应答，结果未知").arg(requestName(r)));
        return;
    case ReplyOutcome::Cut:
        if (ofRun)
            deleted(request, Deleted::Cut);
        else if (m_open.ruleOf(r.type, r.cmd).check != OpenRequests::Check::None)
            say(Word::Warning, tr("连接已断开"), tr("%1：连接已断开，结果未知").arg(requestName(r)));
        return;
    default:
        return;
    }
}

void ExtendRequests::timedOut(const OpenRequests::Request& r)
{
    if (r.cmd == COST_DeleteRecord && r.seq == m_run.request) {
        // The run waits for the list asked at once; the rest of it goes once that is in.
        const int left = m_run.names.size() - m_run.deleted - m_run.kept.size() - 1;
        say(Word::Warning, tr("命令超时"),
            tr("删除记录超时") + QStringLiteral("\n")
                + tr("记录 %1 未得到设备应答，正在重新获取记录列表核对").arg(recordOf(r))
                + (left > 0 ? QStringLiteral("\n") + tr("其余 %1 条记录在核对后删除").arg(left) : QString()));
        return;
    }
    // A check's own question is told by what it was to settle.
    if (r.asks != OpenRequests::Check::None)
        return;
    if (r.cmd == COST_GetRecords && m_deletedUntold) {
        // The records are gone even though their count did not come.
        m_deletedUntold = false;
        say(Word::Information, tr("删除成功"), tr("删除成功"));
    }
    QString text;
    switch (r.cmd) {
    case COST_GetStatus:
        text = tr("通信超时，获取状态失败");
        break;
    case COST_Playback:
        text = tr("转发/回放超时");
        break;
    case COST_Record:
        text = tr("采集超时");
        break;
    case COST_GetVolume:
        text = tr("获取硬盘容量超时");
        break;
    case COST_GetRecords:
        text = tr("获取记录超时");
        break;
    case COST_DeleteRecord:
        text = tr("删除记录超时");
        break;
    case COST_DeviceCheck:
        text = tr("自检超时");
        break;
    case COST_GetPulse:
        text = tr("对时脉冲超时");
        break;
    case COST_GetEphComposite:
    case COST_GetEphCivil:
    case COST_GetEphMilitary:
        text = tr("获取星历数据超时");
        break;
    default:
        return;
    }
    say(Word::Warning, tr("命令超时"), text);
}

void ExtendRequests::cut()
{
    for (const OpenRequests::Request& r : m_open.clear())
        tell(ReplyOutcome::Cut, r);
    m_gone.clear();
    emit openChanged();
}

void ExtendRequests::onCommandError()
{
    const OpenRequests::Taken t = m_open.takeOldest();
    emit openChanged();
    if (t.answer != OpenRequests::Answer::None && t.request.cmd == COST_DeleteRecord
        && t.request.seq == m_run.request) {
        deleted(t.request.seq, Deleted::Failed);
        return;
    }
    say(Word::Critical, tr("命令执行失败"), tr("命令执行错误"));
}

void ExtendRequests::onDeleteAnswer(const QByteArray& payload)
{
    const quint32 named = ExtendProtocol::deletedName(payload);
    // A reply that names a record answers the delete of that record, and only that one. A
    // refusal names nothing: it answers the delete open.
    const OpenRequests::Taken t =
        take(COST_DeleteRecord,
             named != 0 ? OpenRequests::startsWith(ExtendProtocol::namePayload(named)) : OpenRequests::Match());
    if (t.answer == OpenRequests::Answer::None) {
        // Nothing of its kind is open: a repeat or a stray. The list says what the instrument holds.
        qInfo().noquote() << "扩展协议：删除记录的应答无对应请求，已丢弃" << named;
        if (!m_open.isOpen(kType, COST_GetRecords))
            send(COST_GetRecords, QByteArray(), Sender::Link);
        return;
    }
    const bool done = named != 0;
    const quint32 name = recordOf(t.request);
    if (done) {
        m_gone.add(name);
        emit recordGone(name);
    }
    // The person was told this delete went unanswered.
    if (t.answer == OpenRequests::Answer::Late)
        say(Word::Information, tr("删除记录"),
            done ? tr("删除记录 %1：设备在超时后确认已删除").arg(name)
                 : tr("删除记录 %1：设备在超时后报告未删除").arg(name));
    deleted(t.request.seq, done ? Deleted::Done : Deleted::Refused);
}

// ---------------------------------------------------------------- runs of deletes

bool ExtendRequests::deleteRecords(const QList<quint32>& names)
{
    if (m_run.active || names.isEmpty())
        return false;
    m_run = Run();
    m_run.active = true;
    m_run.names = names;
    nextDelete();
    return m_run.request != 0;
}

void ExtendRequests::nextDelete()
{
    m_run.name = m_run.names.at(m_run.deleted + m_run.kept.size());
    if (m_run.name == 0) {
        m_run.outcome = Deleted::Refused;
        endRun();
        return;
    }
    m_run.outcome = Deleted::Waiting;
    m_run.request = send(COST_DeleteRecord, ExtendProtocol::namePayload(m_run.name));
    if (m_run.request == 0) {
        m_run.outcome = Deleted::Held;
        endRun();
    }
}

void ExtendRequests::deleted(quint64 request, Deleted outcome)
{
    if (request == 0 || request != m_run.request || !m_run.active)
        return;
    m_run.request = 0;
    m_run.outcome = outcome;
    if (outcome == Deleted::Done)
        ++m_run.deleted;
    else if (outcome == Deleted::Kept) // its check showed it still there, and told so: the next goes
        m_run.kept << QString::number(m_run.name);
    else {
        endRun();
        return;
    }
    if (m_run.deleted + m_run.kept.size() < m_run.names.size())
        nextDelete();
    else
        endRun();
}

void ExtendRequests::endRun()
{
    m_run.active = false;
    const Deleted outcome = m_run.outcome;
    if (outcome == Deleted::Done || outcome == Deleted::Kept) {
        // The word counts what the refreshed list holds, as the record count beside it will. A
        // record its check showed still there was told so; the run does not end in success.
        m_deletedUntold = m_run.kept.isEmpty();
        refreshRecords();
        if (!m_run.kept.isEmpty())
            say(Word::Warning, tr("删除未完成"), tr("以下记录仍在设备上：\n%1").arg(m_run.kept.join('\n')));
        return;
    }
    QStringList unsent;
    for (int i = m_run.deleted + m_run.kept.size() + 1; i < m_run.names.size(); ++i)
        unsent << QString::number(m_run.names.at(i));
    const QString rest =
        unsent.isEmpty() ? QString() : QStringLiteral("\n") + tr("其余 %1 条记录未删除").arg(unsent.size());
    const quint32 at = m_run.name;
    if (at != 0 && outcome == Deleted::Held) {
        // Told already why it was not sent.
    } else if (at != 0 && outcome == Deleted::Cut) {
        say(Word::Warning, tr("连接已断开"), tr("%1：连接已断开，结果未知").arg(tr("删除记录 %1").arg(at)) + rest);
    } else if (at != 0 && outcome == Deleted::Unknown) {
        // The list is asked again and tells this record once it comes; the rest stay unsent.
        say(Word::Warning, tr("核对记录失败"),
            RecordCheck::told(RecordCheck::unknown({RecordCheck::Change::Delete, at, {}, QString::number(at)}))
                + RecordCheck::unsent(unsent));
    } else if (at != 0 && outcome == Deleted::Failed) {
        say(Word::Critical, tr("命令执行失败"),
            tr("命令执行错误") + QStringLiteral("\n") + tr("记录 %1 未删除").arg(at) + rest);
    } else {
        say(Word::Critical, tr("删除失败"), tr("选择的记录有误，请刷新后重试"));
    }
}
