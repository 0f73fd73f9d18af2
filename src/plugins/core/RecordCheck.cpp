#include "RecordCheck.h"

#include "MsgHeader.h"

#include <QDateTime>
#include <QtEndian>

namespace {
const RecordEx* findRecord(const QList<RecordEx>& records, quint32 name)
{
    for (const RecordEx& r : records)
        if (r.RecordValue(RecordKey::Name, 0).toUInt() == name)
            return &r;
    return nullptr;
}

QString shownName(const RecordCheck::Doubt& doubt)
{
    return doubt.shown.isEmpty() ? RecordCheck::nameText(doubt.name) : doubt.shown;
}
} // namespace

QString RecordCheck::nameText(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds)).toString(QStringLiteral("yyyyMMddhhmmss"));
}

QString RecordCheck::logName(quint32 seconds)
{
    return QStringLiteral("%1 (%2)").arg(seconds).arg(nameText(seconds));
}

RecordCheck::Finding RecordCheck::judge(const Doubt& doubt, const QList<RecordEx>& records)
{
    const RecordEx* record = findRecord(records, doubt.name);
    return judged(doubt, record != nullptr, record, records.size());
}

RecordCheck::Finding RecordCheck::judge(const Doubt& doubt, const QList<quint32>& names)
{
    return judged(doubt, names.contains(doubt.name), nullptr, names.size());
}

RecordCheck::Finding RecordCheck::judged(const Doubt& doubt, bool listed, const RecordEx* record, int count)
{
    // The person reads the record as the page names it; the log by its number and name.
    const auto finding = [&doubt](bool done, const char* source) {
        return Finding{true, done, LogText("RecordCheck", source).arg(shownName(doubt)).translated(),
                       LogText("RecordCheck", source).arg(logName(doubt.name))};
    };
    const auto whole = [](bool done, LogText line) { return Finding{true, done, line.translated(), line}; };
    switch (doubt.change) {
    case Change::Delete:
        if (listed)
            return finding(false, QT_TRANSLATE_NOOP("RecordCheck", "%1 仍在设备上"));
        return finding(true, QT_TRANSLATE_NOOP("RecordCheck", "%1 已删除"));
    case Change::Remark:
        if (!listed)
            return finding(false, QT_TRANSLATE_NOOP("RecordCheck", "%1 不在设备上"));
        if (record && record->RecordValue(RecordKey::Remark).toString() == doubt.remark)
            return finding(true, QT_TRANSLATE_NOOP("RecordCheck", "%1 备注已修改"));
        return finding(false, QT_TRANSLATE_NOOP("RecordCheck", "%1 备注未修改"));
    case Change::ClearAll:
        if (count == 0)
            return whole(true, LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "所有记录已清空")));
        return whole(false,
                     LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "设备上仍有 %1 条记录")).arg(count));
    }
    return {};
}

QList<RecordCheck::Finding> RecordCheck::judge(const QList<Doubt>& doubts, const QList<RecordEx>& records)
{
    QList<Finding> findings;
    for (const Doubt& d : doubts)
        findings << judge(d, records);
    return findings;
}

RecordCheck::Finding RecordCheck::unknown(const Doubt& doubt)
{
    if (doubt.change == Change::ClearAll) {
        const LogText what("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "清空所有记录"));
        return Finding{false, false, what.translated(), what};
    }
    const char* source = doubt.change == Change::Delete ? QT_TRANSLATE_NOOP("RecordCheck", "删除记录 %1")
                                                        : QT_TRANSLATE_NOOP("RecordCheck", "修改记录备注 %1");
    return Finding{false, false, LogText("RecordCheck", source).arg(shownName(doubt)).translated(),
                   LogText("RecordCheck", source).arg(logName(doubt.name))};
}

QString RecordCheck::told(const Finding& finding, bool unreadable)
{
    if (!finding.known)
        return tr("未能获取记录列表，以下请求的结果未知：\n%1").arg(finding.text);
    return (unreadable ? tr("设备应答不完整，已重新获取记录列表：\n%1")
                       : tr("设备未及时应答，已重新获取记录列表：\n%1"))
        .arg(finding.text);
}

QString RecordCheck::unsent(const QStringList& records)
{
    if (records.isEmpty())
        return QString();
    return QStringLiteral("\n") + tr("以下记录未发送：\n%1").arg(records.join(QLatin1Char('\n')));
}

RecordCheck::Doubt RecordCheck::ofRequest(quint8 cmd, const QByteArray& sent)
{
    Doubt d;
    if (Msg_Cmd(cmd) == Msg_Cmd::DeleteAllRecord) {
        d.change = Change::ClearAll;
        return d;
    }
    d.change = Msg_Cmd(cmd) == Msg_Cmd::ChangeRecordNote ? Change::Remark : Change::Delete;
    if (sent.size() >= 4)
        d.name = qFromLittleEndian<quint32>(sent.constData());
    if (d.change == Change::Remark)
        d.remark = QString::fromUtf8(sent.mid(4));
    return d;
}
