#include "LastWords.h"

#include "DeviceReportDecoder.h"
#include "MsgHeader.h"
#include "RecordCheck.h"
#include "SystemState.h"

#include <QtEndian>

namespace {
quint32 firstWord(const QByteArray& bytes)
{
    return bytes.size() >= 4 ? qFromLittleEndian<quint32>(bytes.constData()) : 0;
}

QList<quint32> namesOf(const QList<RecordEx>& records)
{
    QList<quint32> names;
    for (const RecordEx& r : records)
        names << r.RecordValue(RecordKey::Name, 0).toUInt();
    return names;
}

bool isRunning(SystemState state, bool playback)
{
    return playback ? state == SystemState::Playback
                    : state == SystemState::Collecting || state == SystemState::Forwarding;
}

LogText runKind(bool playback)
{
    return playback ? LogText("LastWords", QT_TRANSLATE_NOOP("LastWords", "回放"))
                    : LogText("LastWords", QT_TRANSLATE_NOOP("LastWords", "采集/转发"));
}
} // namespace

QString LastWords::title()
{
    return tr("设备现况与此前告知不符");
}

void LastWords::keep(Word word, const ReplyNotice& notice, const ReplyOwner& owner, quint64 from)
{
    word.from = from;
    word.owner = owner;
    word.notice = notice;
    m_words.append(word);
}

void LastWords::told(const ReplyNotice& notice, const ReplyOwner& owner, quint64 from)
{
    if (!owner.isSet())
        return;
    if (Msg_Type(notice.type) == Msg_Type::RecordedManager)
        toldOfRecord(notice, owner, from);
    else if (Msg_Type(notice.type) == Msg_Type::Collect)
        toldOfRun(notice, owner, from);
}

void LastWords::toldOfRecord(const ReplyNotice& notice, const ReplyOwner& owner, quint64 from)
{
    // What the person read: the answer's result, or the finding of the list that checked it.
    bool done = false;
    switch (notice.outcome) {
    case ReplyOutcome::InTime:
    case ReplyOutcome::Late:
        if (notice.result() < 0)
            return;
        // Clearing answers 1 for done; a record change 0, and 2 for a record not found.
        done = Msg_Cmd(notice.cmd) == Msg_Cmd::DeleteAllRecord ? notice.result() != 0 : notice.result() != 1;
        if (Msg_Cmd(notice.cmd) == Msg_Cmd::ChangeRecordNote && notice.result() != 1)
            return;
        break;
    case ReplyOutcome::Settled:
        done = notice.finding.done;
        break;
    default:
        return;
    }
    Word word;
    word.name = firstWord(notice.request);
    switch (Msg_Cmd(notice.cmd)) {
    case Msg_Cmd::DeleteRecordInfo:
        word.said = done ? Said::Gone : Said::Kept;
        break;
    case Msg_Cmd::ChangeRecordNote:
        if (done)
            return;
        word.said = Said::RemarkKept;
        word.remark = QString::fromUtf8(notice.request.mid(4));
        break;
    case Msg_Cmd::DeleteAllRecord:
        word.said = done ? Said::Cleared : Said::NotCleared;
        word.name = 0;
        // Cleared: the records there before; not: the records the last list still showed.
        word.names = done ? m_beforeClear : m_listed;
        if (word.names.isEmpty())
            return;
        break;
    default:
        return;
    }
    keep(word, notice, owner, from);
}

void LastWords::toldOfRun(const ReplyNotice& notice, const ReplyOwner& owner, quint64 from)
{
    const Msg_Cmd cmd = Msg_Cmd(notice.cmd);
    const bool start = cmd == Msg_Cmd::StartRecord || cmd == Msg_Cmd::StartPlayback;
    const bool playback = cmd == Msg_Cmd::StartPlayback || cmd == Msg_Cmd::StopPlayback;
    if (!start && cmd != Msg_Cmd::StopRecord && cmd != Msg_Cmd::StopPlayback)
        return;
    // What the person read: the answer's result, or what the state report of its check showed.
    bool done = false;
    switch (notice.outcome) {
    case ReplyOutcome::InTime:
    case ReplyOutcome::Late:
        if (notice.result() < 0)
            return;
        done = notice.result() != 0;
        break;
    case ReplyOutcome::Settled: {
        SyncDeviceState state;
        if (!DeviceReportDecoder::decodeSyncDeviceState(reinterpret_cast<const uchar*>(notice.reply.constData()),
                                                        uint(notice.reply.size()), &state))
            return;
        done = isRunning(SystemState(state.State), playback) == start;
        break;
    }
    default:
        return;
    }
    Word word;
    word.playback = playback;
    if (start) {
        word.name = firstWord(notice.request);
        if (done) {
            m_run = Run{true, playback, word.name};
            return;
        }
        word.said = Said::NotStarted;
    } else {
        // A stop names no run: it is the one last seen running, if known.
        if (!done || !m_run.known || m_run.playback != playback)
            return;
        word.said = Said::Stopped;
        word.name = m_run.name;
    }
    keep(word, notice, owner, from);
}

void LastWords::sent(quint8 type, quint8 cmd, const QByteArray& payload)
{
    if (Msg_Type(type) == Msg_Type::RecordedManager) {
        const Msg_Cmd command = Msg_Cmd(cmd);
        if (command == Msg_Cmd::DeleteAllRecord) {
            m_beforeClear = m_listed;
            for (int i = m_words.size() - 1; i >= 0; --i)
                if (m_words.at(i).said != Said::NotStarted && m_words.at(i).said != Said::Stopped)
                    m_words.removeAt(i);
            return;
        }
        if (command != Msg_Cmd::DeleteRecordInfo && command != Msg_Cmd::ChangeRecordNote)
            return;
        const quint32 name = firstWord(payload);
        for (int i = m_words.size() - 1; i >= 0; --i) {
            Word& w = m_words[i];
            const bool clearing = w.said == Said::Cleared || w.said == Said::NotCleared;
            if (clearing)
                w.names.removeAll(name);
            const bool ofRecord = !clearing && w.said != Said::NotStarted && w.said != Said::Stopped;
            if ((ofRecord && w.name == name) || (clearing && w.names.isEmpty()))
                m_words.removeAt(i);
        }
        return;
    }
    if (Msg_Type(type) != Msg_Type::Collect || cmd < quint8(Msg_Cmd::StartRecord)
        || cmd > quint8(Msg_Cmd::StopPlayback))
        return;
    const bool playback = Msg_Cmd(cmd) == Msg_Cmd::StartPlayback || Msg_Cmd(cmd) == Msg_Cmd::StopPlayback;
    for (int i = m_words.size() - 1; i >= 0; --i) {
        const Word& w = m_words.at(i);
        if ((w.said == Said::NotStarted || w.said == Said::Stopped) && w.playback == playback)
            m_words.removeAt(i);
    }
}

LastWords::Correction LastWords::correction(const Word& word, bool done, const LogText& line)
{
    Correction c;
    c.owner = word.owner;
    c.notice = word.notice;
    c.notice.outcome = ReplyOutcome::Corrected;
    c.notice.finding = RecordCheck::Finding{true, done, line.translated(), line};
    return c;
}

QList<LastWords::Correction> LastWords::listed(const QList<RecordEx>& records, quint64 askedAt)
{
    const QList<quint32> names = namesOf(records);
    m_listed = names;
    QList<Correction> corrections;
    for (int i = 0; i < m_words.size();) {
        const Word& w = m_words.at(i);
        if (w.from > askedAt) {
            ++i;
            continue;
        }
        const QString name = RecordCheck::nameText(w.name);
        LogText line;
        bool done = false;
        switch (w.said) {
        case Said::Gone:
            if (names.contains(w.name))
                line = LogText("LastWords", QT_TRANSLATE_NOOP("LastWords", "记录 %1 仍在设备上（此前告知已删除）"))
                           .arg(name);
            break;
        case Said::Kept:
            if (!names.contains(w.name)) {
                done = true;
                line =
                    LogText("LastWords", QT_TRANSLATE_NOOP("LastWords", "记录 %1 已不在设备上（此前告知仍在设备上）"))
                        .arg(name);
            }
            break;
        case Said::RemarkKept: {
            const int at = names.indexOf(w.name);
            if (at >= 0 && records.at(at).RecordValue(RecordKey::Remark).toString() == w.remark) {
                done = true;
                line = LogText("LastWords", QT_TRANSLATE_NOOP("LastWords", "记录 %1 的备注已修改（此前告知未修改）"))
                           .arg(name);
            }
            break;
        }
        case Said::Cleared: {
            QStringList still;
            for (quint32 n : w.names)
                if (names.contains(n))
                    still << RecordCheck::nameText(n);
            if (!still.isEmpty())
                line = LogText("LastWords",
                               QT_TRANSLATE_NOOP("LastWords", "设备上仍有此前的记录（此前告知已清空所有记录）：\n%1"))
                           .arg(still.join(QLatin1Char('\n')));
            break;
        }
        case Said::NotCleared: {
            bool any = false;
            for (quint32 n : w.names)
                any = any || names.contains(n);
            if (!any) {
                done = true;
                line = LogText("LastWords",
                               QT_TRANSLATE_NOOP("LastWords", "设备上此前的 %1 条记录已全部清除（此前告知仍在设备上）"))
                           .arg(w.names.size());
            }
            break;
        }
        default:
            break;
        }
        if (line.isEmpty()) {
            ++i;
            continue;
        }
        corrections << correction(w, done, line);
        m_words.removeAt(i);
    }
    return corrections;
}

LastWords::Run LastWords::runIn(const SyncDeviceState& state)
{
    const SystemState s = SystemState(state.State);
    if (isRunning(s, true))
        return Run{true, true, state.Playback.RecordName};
    if (isRunning(s, false))
        return Run{true, false, state.Collect.RecordName};
    return Run{};
}

QList<LastWords::Correction> LastWords::reported(const SyncDeviceState& state, quint64 askedAt)
{
    const Run run = runIn(state);
    m_run = run;
    QList<Correction> corrections;
    for (int i = 0; i < m_words.size();) {
        const Word& w = m_words.at(i);
        const bool aRun = w.said == Said::NotStarted || w.said == Said::Stopped;
        const bool ofThisRun = run.known && w.playback == run.playback && w.name == run.name;
        if (!aRun || w.from > askedAt || (!ofThisRun && w.said == Said::NotStarted)) {
            ++i;
            continue;
        }
        // A stopped run the instrument no longer runs is as told; a start refused may still come
        // (a timed start), so its word stays.
        if (!ofThisRun) {
            m_words.removeAt(i);
            continue;
        }
        const QString name = RecordCheck::nameText(w.name);
        const LogText line =
            w.said == Said::NotStarted
                ? LogText("LastWords", QT_TRANSLATE_NOOP("LastWords", "%1正在进行：记录 %2（此前告知未启动）"))
                      .arg(runKind(w.playback))
                      .arg(name)
                : LogText("LastWords", QT_TRANSLATE_NOOP("LastWords", "设备仍在%1：记录 %2（此前告知已停止）"))
                      .arg(runKind(w.playback))
                      .arg(name);
        corrections << correction(w, w.said == Said::NotStarted, line);
        m_words.removeAt(i);
    }
    return corrections;
}

void LastWords::clear()
{
    m_words.clear();
    m_listed.clear();
    m_beforeClear.clear();
    m_run = Run{};
}
