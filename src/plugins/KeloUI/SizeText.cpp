#include "SizeText.h"

QString SizeText::of(double value, Unit unit, int decimals)
{
    static const char* const names[] = {"Byte", "KB", "MB", "GB", "TB"};
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QLatin1String(names[int(unit)]);
}

QString SizeText::scaled(double value, Unit unit, Unit largest, int decimals)
{
    while (value >= 1024 && unit < largest) {
        value /= 1024;
        unit = Unit(int(unit) + 1);
    }
    return of(value, unit, decimals);
}

QString SizeText::amount(quint64 value, Unit unit)
{
    if (value <= 1024 || unit == Unit::TB)
        return of(double(value), unit, 0);
    double scaledValue = double(value) / 1024;
    unit = Unit(int(unit) + 1);
    while (scaledValue >= 1024 && unit < Unit::TB) {
        scaledValue /= 1024;
        unit = Unit(int(unit) + 1);
    }
    return of(scaledValue, unit, 3);
}
