#include "TestTime.h"

#include <ProtocolManager.h>
#include <TcpTransportThread.h>
#include <UpDownLoadAssist.h>

#include <QtGlobal>

#include <cmath>

namespace TestTime {

double scale()
{
    static const double value = [] {
        const QByteArray text = qgetenv("KELO_TEST_TIME_SCALE").trimmed();
        if (text.isEmpty())
            return 1.0;
        bool ok = false;
        const double v = text.toDouble(&ok);
        // A scale below 1 would make the usual clocks shorter than the product's.
        if (!ok || !std::isfinite(v) || v < 1.0 || v > 100.0)
            qFatal("KELO_TEST_TIME_SCALE=%s: give a number from 1 to 100", text.constData());
        return v;
    }();
    return value;
}

int ms(int milliseconds)
{
    return int(std::lround(milliseconds * scale()));
}

void scaleLinkClocks(ProtocolManager& pm)
{
    pm.setReplyWaitForTest(ms(ProtocolManager::kReplyWaitMs));
    pm.setStateWaitForTest(ms(ProtocolManager::kReplyWaitMs));
    pm.setHeartbeatInterval(ms(ProtocolManager::kHeartbeatIntervalMs));
}

void scaleTransferClocks(ProtocolManager& pm, UpDownLoadAssist& assist)
{
    scaleLinkClocks(pm);
    TcpTransportThread::setTimeoutForTest(ms(TcpTransportThread::kTimeoutMs));
    assist.setHeartbeatTimingForTest(ms(UpDownLoadAssist::kHeartbeatIntervalMs),
                                     ms(UpDownLoadAssist::kHeartbeatTimeoutMs));
}

} // namespace TestTime
