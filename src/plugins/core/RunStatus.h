#pragma once

#include "core_global.h"

#include "SyncDeviceState.h"
#include "SystemState.h"

#include <QObject>

#include <atomic>

// The one global run state of the instrument as the PC sees it, and the state before the last
// real change. Every real change is announced once by GlobalChangeState; a temporary state,
// shown by its caller, is taken back by announcing the real state again one second later.
// Lives in the GUI thread; CurrentStatus() may be read from any thread.
class CORE_EXPORT RunStatus : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRevertDelayMs = 1000;

    static RunStatus* instance();

    static SystemState CurrentStatus();
    SystemState LastStatus() const;
    void ResetSystemState();

    // Test seam: how long a temporary state is shown before the real one is announced again.
    void setRevertDelayForTest(int ms);

signals:
    void GlobalChangeState(SystemState state);

public slots:
    void slot_GlobalStatus(SystemState state);
    void slot_RunStateChange(SystemState state);
    void slot_SyncDeviceState(SyncDeviceState state_info);

private:
    RunStatus();

    static std::atomic<quint8> s_current;
    SystemState m_last;
    SystemState m_temporary = SystemState::Idle;
    int m_revertDelayMs = kRevertDelayMs;
};
