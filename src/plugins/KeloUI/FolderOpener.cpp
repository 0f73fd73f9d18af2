#include "FolderOpener.h"

#include "StandardMessageBox.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

bool FolderOpener::open(QWidget* parent, const QString& path)
{
    QString problem;
    if (path.isEmpty())
        problem = tr("没有设置文件夹。");
    else if (!QDir(path).exists())
        problem = tr("文件夹不存在：\n%1").arg(QDir::toNativeSeparators(path));
    // A local-file URL: "file:///" glued to a Unix path would name a host-less "//tmp".
    else if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    else
        problem = tr("没有可以打开文件夹的程序。文件夹位于：\n%1").arg(QDir::toNativeSeparators(path));
    StandardMessageBox::tell(parent, QMessageBox::Warning, tr("无法打开文件夹"), problem);
    return false;
}
