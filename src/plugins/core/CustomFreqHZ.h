#pragma once

#include <QList>
#include <QMetaType>
#include <QtGlobal>

// The custom frequency list (System reply 11): a count and that many frequencies in hertz.
struct CustomFreqHZ
{
    quint8 Count = 0;
    QList<uint> Freqs;
};

Q_DECLARE_METATYPE(CustomFreqHZ)
