#include "StyleSheetLoader.h"

#include <AppPaths.h>

#include <QDebug>
#include <QFile>
#include <QWidget>

QString StyleSheetLoader::themeDir()
{
    return AppPaths::applicationDir() + QStringLiteral("/../config/qss");
}

QString StyleSheetLoader::themePath(const QString& fileName)
{
    return themeDir() + QLatin1Char('/') + fileName;
}

bool StyleSheetLoader::apply(QWidget* window, const QString& fileName)
{
    const QString path = themePath(fileName);
    if (!QFile::exists(path)) {
        qDebug() << "未找到qss文件";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "打开qss文件失败";
        return false;
    }
    QByteArray bytes = file.readAll();
    // A stray zero byte (an editor's padding, a truncated copy) ends the sheet.
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    window->setStyleSheet(QString::fromUtf8(bytes));
    return true;
}
