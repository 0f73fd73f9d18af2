#pragma once

#include "MessageHandler.h"

#include <QByteArray>

// Message type 5: Config/10 answers the calibration parameters.
class ConfigHandler : public MessageHandler
{
public:
    using MessageHandler::MessageHandler;

    quint8 type() const override { return 5; }
    void handle(const SimFrame& request) override;

    // Attenuation, then RxClk, RxDelay, TxClk, TxDelay, Phase, Gain, IOff, QOff.
    QByteArray parameters = QByteArray::fromHex("05000000"
                                                "01020304"
                                                "0A0B0C0D");
};
