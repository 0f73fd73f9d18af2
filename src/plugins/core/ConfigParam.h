#pragma once

#include <QMetaType>
#include <QtGlobal>

// The calibration parameters (Config/10 reply): 12 bytes little-endian, carried as three words.
//   word 0: attenuation adjust
//   word 1: bytes RxClk, RxDelay, TxClk, TxDelay (least significant first)
//   word 2: bytes Phase, Gain, IOff, QOff
// e.g. 05 00 00 00 01 02 03 04 0A 0B 0C 0D: attenuation 5, RxClk 1 .. TxDelay 4, Phase 10 .. QOff 13.
struct ConfigParam
{
    quint32 AttenuationAdjust = 0;
    quint32 ClockDelay = 0;
    quint32 PhaseGainOffset = 0;

    quint8 RxClk() const { return quint8(ClockDelay); }
    quint8 RxDelay() const { return quint8(ClockDelay >> 8); }
    quint8 TxClk() const { return quint8(ClockDelay >> 16); }
    quint8 TxDelay() const { return quint8(ClockDelay >> 24); }
    quint8 Phase() const { return quint8(PhaseGainOffset); }
    quint8 Gain() const { return quint8(PhaseGainOffset >> 8); }
    quint8 IOff() const { return quint8(PhaseGainOffset >> 16); }
    quint8 QOff() const { return quint8(PhaseGainOffset >> 24); }
};

Q_DECLARE_METATYPE(ConfigParam)
