#pragma once

#include "MessageHandler.h"

#include <QByteArray>
#include <QList>
#include <QPair>

// Message type 1: heartbeat, clock, device information, disks, address, progress, state, custom
// bands, self-check, update notice and plug-in versions.
class SystemHandler : public MessageHandler
{
public:
    using MessageHandler::MessageHandler;

    // How the instrument answers network changes and self-checks.
    struct Faults
    {
        quint32 refuseAddress = 0; // a network change to this address is refused (result 0)
        bool echoAddress = false;  // network-change results carry the address after the result byte
        // Network-change results are held until this many are, then sent newest first. 0: at once.
        int reverseSetIP = 0;
        int lateMs = 0; // network-change and self-check replies go out this late
    };

    quint8 type() const override { return 1; }
    void handle(const SimFrame& request) override;
    Faults& faults() { return m_faults; }

    // Payloads the instrument sends, also on its own (device state report 9 and the like).
    QByteArray heartbeatPayload() const;
    QByteArray deviceInfoPayload() const;
    QByteArray diskVolumePayload() const;
    QByteArray deviceStatePayload() const;
    QByteArray customFreqPayload() const;
    QByteArray pluginVersionPayload() const;

private:
    void replyLate(const SimFrame& request, quint8 cmd, const QByteArray& payload);

    Faults m_faults;
    QList<QPair<SimFrame, QByteArray>> m_heldSetIP;
};
