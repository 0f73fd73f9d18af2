#pragma once

#include "MessageHandler.h"

#include <QByteArray>

// Message type 1: heartbeat, clock, device information, disks, address, progress, state, custom
// bands, self-check, update notice and plug-in versions.
class SystemHandler : public MessageHandler
{
public:
    using MessageHandler::MessageHandler;

    quint8 type() const override { return 1; }
    void handle(const SimFrame& request) override;

    // Payloads the instrument sends, also on its own (device state report 9 and the like).
    QByteArray heartbeatPayload() const;
    QByteArray deviceInfoPayload() const;
    QByteArray diskVolumePayload() const;
    QByteArray deviceStatePayload() const;
    QByteArray customFreqPayload() const;
    QByteArray pluginVersionPayload() const;
};
