#include "RecordBands.h"

void RecordBands::name(RecordEx& record, const QMap<uint, FreqBand>& table)
{
    const int bands = record.RecordValue(RecordKey::FreqNum, 0).toInt();
    for (int n = 1; n <= bands; ++n) {
        const QString section = RecordKey::freqSection(n);
        if (!record.getSectionValue(section, RecordKey::FreqName).toString().isEmpty())
            continue;
        const auto band = table.constFind(record.getSectionValue(section, RecordKey::Num, 0).toUInt());
        if (band != table.constEnd() && !band->name.isEmpty())
            record.setSectionValue(section, RecordKey::FreqName, band->name);
    }
}

QString RecordBands::text(const RecordEx& record, int n, const QMap<uint, FreqBand>& table)
{
    const QString section = RecordKey::freqSection(n);
    const QString own = record.getSectionValue(section, RecordKey::FreqName).toString();
    if (!own.isEmpty())
        return own;
    const uint id = record.getSectionValue(section, RecordKey::Num, 0).toUInt();
    const auto band = table.constFind(id);
    if (band != table.constEnd())
        return band->name;
    return table.isEmpty() ? tr("频段编号 %1").arg(id) : tr("不支持的频段:%1").arg(id);
}
