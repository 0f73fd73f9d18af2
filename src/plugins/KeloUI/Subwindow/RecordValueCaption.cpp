#include "RecordValueCaption.h"

#include "ProtocolManager.h"

#include <QLabel>

void RecordValueCaption::apply(const ProtocolManager* protocol, QLabel* caption, QLabel* values)
{
    QString text;
    if (protocol->IsBandwidthEnable())
        text = tr("记录带宽:");
    if (protocol->IsSampleRateEnable()) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += tr("采 样 率:");
    }
    caption->setVisible(!text.isEmpty());
    values->setVisible(!text.isEmpty());
    if (!text.isEmpty())
        caption->setText(text);
}

QString RecordValueCaption::noValues(const ProtocolManager* protocol)
{
    const int lines = int(protocol->IsBandwidthEnable()) + int(protocol->IsSampleRateEnable());
    return lines > 1 ? QStringLiteral("--\n--") : QStringLiteral("--");
}
