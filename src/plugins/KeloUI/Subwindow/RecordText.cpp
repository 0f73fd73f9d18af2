#include "RecordText.h"

#include <RecordCheck.h>

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
