#include "ValueText.h"

#include <QCoreApplication>

QString ValueText::ipNote(int boards)
{
    // One rule, whether the count is known or not.
    if (boards < 0)
        return QCoreApplication::translate("ValueText",
                                           "注：设置IP前，请先确保所设IP开始（板卡数 + 1）个IP地址未被占用，"
                                           "否则设备无法启动");
    return QCoreApplication::translate("ValueText",
                                       "注：设置IP前，请先确保所设IP开始 %1 个IP地址未被占用，否则设备无法启动")
        .arg(boards + 1);
}
