#include "ConfigWords.h"

ConfigWords::Told ConfigWords::write(const ReplyNotice& n, bool stored, const QString& what, const QString& value)
{
    switch (n.outcome) {
    case ReplyOutcome::InTime:
        if (stored)
            return {tr("设置成功"), tr("%1已设置为 %2").arg(what, value), Told::Information};
        return {tr("%1设置失败").arg(what), tr("设备拒绝了%1的设置").arg(what), Told::Error};
    case ReplyOutcome::Late:
        // Its own answer, after its wait: never an earlier write's nor a later one's.
        if (stored)
            return {tr("设置成功"), tr("设备在超时后确认：%1已设置为 %2").arg(what, value), Told::Information};
        return {tr("%1设置失败").arg(what), tr("设备在超时后拒绝了%1的设置").arg(what), Told::Error};
    case ReplyOutcome::Unknown:
        return {tr("%1设置结果未知").arg(what), tr("设备未应答，无法确定%1是否已设置为 %2").arg(what, value),
                Told::Warning};
    case ReplyOutcome::Malformed:
        return {tr("%1设置结果未知").arg(what), tr("设备应答不完整，无法确定%1是否已设置为 %2").arg(what, value),
                Told::Warning};
    default:
        return {};
    }
}

ConfigWords::Told ConfigWords::writeRefused(const QString& what)
{
    return {tr("%1未发送").arg(what), tr("上一项设置仍在等待设备确认，本次设置未发送"), Told::Warning};
}

ConfigWords::Told ConfigWords::writeNotSent(const QString& what)
{
    return {tr("%1未发送").arg(what), tr("网络发送失败"), Told::Error};
}

ConfigWords::Told ConfigWords::read(const ReplyNotice& n, const QString& what, const QString& shown)
{
    switch (n.outcome) {
    case ReplyOutcome::InTime:
    case ReplyOutcome::Late:
        return {tr("读取完成"), tr("%1：%2").arg(what, shown), Told::Information};
    case ReplyOutcome::Unknown:
    case ReplyOutcome::Malformed:
        return {tr("%1读取失败").arg(what), tr("设备未应答，显示的仍是之前的%1").arg(what), Told::Warning};
    default:
        return {};
    }
}

ConfigWords::Told ConfigWords::readRefused(const QString& what)
{
    return {tr("%1未读取").arg(what), tr("上一次读取仍在等待设备应答"), Told::Warning};
}

ConfigWords::Told ConfigWords::networkChange(const ReplyNotice& n, const QString& address)
{
    // Nothing the instrument can be asked says which address it took.
    switch (n.outcome) {
    case ReplyOutcome::Unknown:
        return {tr("修改设备IP"), tr("%1：设备未应答，设备地址的配置未更改").arg(address), Told::Warning};
    case ReplyOutcome::Malformed:
        return {tr("修改设备IP"),
                tr("设备应答不完整，无法确定设备是否接受了地址 %1。设备地址的配置未更改").arg(address), Told::Warning};
    default:
        return {};
    }
}
