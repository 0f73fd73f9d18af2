#include "ReplyWords.h"

QString ReplyWords::timedOut()
{
    return tr("设备未及时应答，正在核对…");
}

QString ReplyWords::refusedWhileOpen(const QString& reason)
{
    return tr("上一次请求尚未结束（%1），本次未发送").arg(reason);
}

QString ReplyWords::notDone(const QString& shown)
{
    return tr("设备未及时应答，核对结果：%1").arg(shown);
}

QString ReplyWords::lateRefused()
{
    return tr("设备在响应超时后报告失败");
}

QString ReplyWords::notSent()
{
    return tr("网络发送失败");
}

QString ReplyWords::stateCheckLostTitle()
{
    return tr("核对设备状态失败");
}

QString ReplyWords::stateCheckLost(const QString& request)
{
    return tr("未能获取设备状态，以下请求的结果未知：\n%1").arg(request);
}
