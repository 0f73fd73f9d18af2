#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPointF>
#include <QVector>

class FrequencyDataThread;
class ProtocolManager;

// The spectrum stream, offered to other plug-ins of the host: a consumer calls Instance() and
// SwitchTransportStatus and connects to UpdateFrequencyArray and UpdateFrequencyId. The
// instrument answers the switch with the UDP port its datagrams go to; each datagram becomes a
// curve of level in dB over frequency in MHz, corrected by the band's offsets from the device
// configuration ("Freq%1/GainOffset", or "Freq%1/PlaybackOffset" while playing back).
//
// The datagram (little-endian; under 8192 bytes it is dropped): a signed 32-bit level correction
// L, then two halves of H = (size - 4) / 2 bytes of unsigned 32-bit powers, the bins at and
// above the centre first, each half lowest bin first. The instrument's 8196 bytes carry 2048
// bins 0.029296875 MHz apart, from centre - 30 MHz. For centre 1575 MHz and L = 0,
//   00 00 00 00 | 01 00 00 00 (x 1024) | 01 00 00 00 (x 1024)
// is 2048 points from 1545 MHz at 10 * (log10(1) - log10(32767^2)) = -90.30873362283398 dB.
//
// UpdateFrequencyArray is emitted in the receiver thread; the curve type is registered so that
// it also reaches other threads queued.
class CORE_EXPORT FrequencyDataTransportManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMinDatagram = 8192;
    static constexpr double kGap = -110.0;
    static constexpr double kFullScaleLog = 9.030873362283398; // log10(32767^2)
    static constexpr double kBinMHz = 60 * 0.00048828125;

    // Public so that tests can run a manager against their own protocol manager; the system
    // uses Instance(), which works with ProtocolManager::instance().
    explicit FrequencyDataTransportManager(ProtocolManager* protocol = nullptr, QObject* parent = nullptr);
    ~FrequencyDataTransportManager() override;

    static FrequencyDataTransportManager* Instance();

    void SwitchTransportStatus(bool enable, uint freqId);

    FrequencyDataThread* receiverThread() const { return m_thread; }
    uint centreFrequency() const;
    uint bandId() const;
    uint maxTouchedValue() const;
    double gainOffset(uint freqId) const;
    double playbackOffset(uint freqId) const;
    QVector<QPointF> lastCurve() const;

    // The curve of one datagram of at least kMinDatagram bytes around `centre` MHz, levels less
    // `offset` dB, with the peak's frequency and level.
    static QVector<QPointF> curveOf(const QByteArray& datagram, double centre, double offset, double* peakFreq,
                                    double* peakLevel);
    // A peak level as maxTouchedValue keeps it: truncated toward zero to 32 bits, read unsigned;
    // a level beyond the 32-bit range counts as its nearer end, NaN as 0.
    static uint touchedValue(double peakLevel);

public slots:
    void slot_FrequencyControlResult(ushort udpPort);
    void slot_FrequencyControlUpdate(bool enable, uint freqId, ushort udpPort);
    void slot_UdpData(const QByteArray& udpData);
    void slot_UpdateFrequencyGainOffset();

signals:
    void UpdateFrequencyArray(const QVector<QPointF>& points, uint maxTouchedValue, double currentMaxValueFreq,
                              double currentMaxValue);
    void UpdateFrequencyId(uint freqId);

private:
    void chooseBand(uint freqId);
    // True when the get of the offsets went out; its answer fills them.
    bool readOffsets(const QList<uint>& ids);
    ProtocolManager* protocol() const;

    QMap<uint, double> m_gainOffsets;
    QMap<uint, double> m_playbackOffsets;
    uint m_centre = 0;
    uint m_bandId = 0;
    uint m_maxTouchedValue = 0;
    bool m_playbackMode = false;
    FrequencyDataThread* m_thread = nullptr;
    QVector<QPointF> m_lastCurve;
    mutable QMutex m_mutex;
    ProtocolManager* m_protocol = nullptr;
};
