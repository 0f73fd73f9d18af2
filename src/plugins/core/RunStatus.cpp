#include "RunStatus.h"

#include "DeviceReportDecoder.h"

#include <QDebug>
#include <QTimer>

std::atomic<quint8> RunStatus::s_current{static_cast<quint8>(SystemState::Idle)};

RunStatus::RunStatus()
    : m_last(CurrentStatus())
{
    DeviceReportDecoder::registerMetaTypes();
}

RunStatus* RunStatus::instance()
{
    static RunStatus* status = new RunStatus;
    return status;
}

SystemState RunStatus::CurrentStatus()
{
    return static_cast<SystemState>(s_current.load(std::memory_order_relaxed));
}

SystemState RunStatus::LastStatus() const
{
    return m_last;
}

void RunStatus::ResetSystemState()
{
    s_current.store(static_cast<quint8>(SystemState::Idle), std::memory_order_relaxed);
    qDebug().noquote() << QStringLiteral("重置全局状态：") << int(SystemState::Idle);
    emit GlobalChangeState(SystemState::Idle);
}

void RunStatus::setRevertDelayForTest(int ms)
{
    m_revertDelayMs = ms;
}

void RunStatus::slot_GlobalStatus(SystemState state)
{
    const SystemState old = CurrentStatus();
    if (state == old) {
        qDebug().noquote() << QStringLiteral("当前全局状态(无需更改)：") << int(state);
        return;
    }
    m_last = old;
    s_current.store(static_cast<quint8>(state), std::memory_order_relaxed);
    qDebug().noquote() << QStringLiteral("当前全局状态(更改)：") << int(state) << QStringLiteral("旧状态：")
                       << int(old);
    emit GlobalChangeState(state);
}

void RunStatus::slot_RunStateChange(SystemState state)
{
    m_temporary = state;
    // Each call gets its own timer; a later call changes what an earlier timer compares.
    QTimer::singleShot(m_revertDelayMs, this, [this] {
        const SystemState current = CurrentStatus();
        if (m_temporary == current)
            return;
        qDebug().noquote() << QStringLiteral("当前全局状态(回退)：") << int(current);
        emit GlobalChangeState(current);
    });
}

void RunStatus::slot_SyncDeviceState(SyncDeviceState state_info)
{
    qDebug().noquote() << QStringLiteral("当前全局状态(同步)：") << int(state_info.State) << QStringLiteral("旧状态：")
                       << int(CurrentStatus());
    slot_GlobalStatus(static_cast<SystemState>(state_info.State));
}
