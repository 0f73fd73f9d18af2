#include "RecordText.h"

#include <RecordCheck.h>
#include <SizeText.h>

#include <QCoreApplication>

QString RecordText::name(quint32 seconds)
{
    return RecordCheck::nameText(seconds);
}

QString RecordText::iqBitWidth(qint64 bit)
{
    return QString::number(2 * bit) + QStringLiteral("(I&Q) Bit");
}

QString RecordText::bitWidth(qint64 bit, bool leo)
{
    return leo ? iqBitWidth(bit) : QString::number(bit) + QStringLiteral(" Bit");
}

QString RecordText::resumeQuestion(const QString& name, quint64 done, quint64 size)
{
    const QString doneText = SizeText::amount(done, SizeText::Unit::Byte);
    return QCoreApplication::translate("RecordText",
                                       "记录 %1 存在上传记录（已上传 %2，共 %3），是否继续上传进度上传？\n"
                                       "是：从已上传处继续，已上传的数据保留。\n"
                                       "否：删除已上传的 %2，从 0% 重新上传。")
        .arg(name, doneText, SizeText::amount(size, SizeText::Unit::Byte));
}

QString RecordText::clearAllQuestion(int count)
{
    const QString held = count < 0
                           ? QCoreApplication::translate("RecordText", "设备上的记录条数未知（记录列表尚未获取）")
                           : QCoreApplication::translate("RecordText", "设备上现有 %1 条记录").arg(count);
    return QCoreApplication::translate("RecordText", "是否确认清空设备上的所有记录？\n"
                                                     "%1，将全部删除，无法恢复。\n"
                                                     "电脑上的本地记录副本不受影响。")
        .arg(held);
}
