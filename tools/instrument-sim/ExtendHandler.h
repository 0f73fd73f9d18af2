#pragma once

#include "MessageHandler.h"

#include <QByteArray>

// Message type 6, told apart by payload length as the instrument does: receiver relay, output
// channel, record bandwidth (answered from the record catalogue), output frequency and pulses,
// spectrum band and switch, amplifier attenuation.
class ExtendHandler : public MessageHandler
{
public:
    using MessageHandler::MessageHandler;

    quint8 type() const override { return 6; }
    void handle(const SimFrame& request) override;

    int silentBandwidth = 0; // withhold the next k record-bandwidth replies; negative: all
    bool relayOn = false;
    quint32 relayAddress = 0;
    quint16 relayPort = 0;
    QByteArray lastOutputSetting; // command 3, whichever of its forms came last
    bool spectrumOn = false;
    quint32 spectrumBand = 0;
    quint16 spectrumPort = 7000;
    quint32 amplifier = 0;
};
