#include "UiFonts.h"

#include <QFont>
#include <QFontDatabase>

QString UiFonts::substitute()
{
    const QStringList families = QFontDatabase().families();
    for (const char* candidate : {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei"}) {
        const QString name = QString::fromLatin1(candidate);
        if (families.contains(name))
            return name;
    }
    return QString();
}

void UiFonts::installSubstitutes()
{
    const QString family = substitute();
    if (family.isEmpty())
        return;
    for (const QString& wanted : {QStringLiteral("Source Han Sans SC"), QStringLiteral("思源黑体"),
                                  QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei")}) {
        if (wanted != family)
            QFont::insertSubstitution(wanted, family);
    }
}
