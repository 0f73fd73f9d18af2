#include "RecordCheck.h"
#include "RecordText.h"

namespace {
const RecordEx* findRecord(const QList<RecordEx>& records, quint32 name)
{
    for (const RecordEx& r : records)
        if (r.RecordValue(RecordKey::Name, 0).toUInt() == name)
            return &r;
    return nullptr;
}
} // namespace

RecordCheck::Finding RecordCheck::judge(const Doubt& doubt, const QList<RecordEx>& records)
{
    const QString name = RecordText::name(doubt.name);
    const RecordEx* record = findRecord(records, doubt.name);
    const auto finding = [](bool done, LogText line) { return Finding{done, line.translated(), line}; };
    switch (doubt.change) {
    case Change::Delete:
        if (record)
            return finding(false, LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "%1 仍在设备上")).arg(name));
        return finding(true, LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "%1 已删除")).arg(name));
    case Change::Remark:
        if (!record)
            return finding(false, LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "%1 不在设备上")).arg(name));
        if (record->RecordValue(RecordKey::Remark).toString() == doubt.remark)
            return finding(true, LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "%1 备注已修改")).arg(name));
        return finding(false, LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "%1 备注未修改")).arg(name));
    case Change::ClearAll:
        if (records.isEmpty())
            return finding(true, LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "所有记录已清空")));
        return finding(
            false,
            LogText("RecordCheck", QT_TRANSLATE_NOOP("RecordCheck", "设备上仍有 %1 条记录")).arg(records.size()));
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
