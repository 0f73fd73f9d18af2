#include "FrequencyDataTransportManager.h"

#include "DevConfigCodec.h"
#include "FrequencyDataThread.h"
#include "ProtocolManager.h"
#include "RunStatus.h"

#include <QDebug>
#include <QMutexLocker>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {
// A power value; one whose four bytes do not all lie in the datagram takes the missing ones as 0.
quint32 valueAt(const QByteArray& d, int at)
{
    quint32 v = 0;
    for (int b = 0; b < 4; ++b)
        if (at + b < d.size())
            v |= quint32(quint8(d.at(at + b))) << (8 * b);
    return v;
}
} // namespace

FrequencyDataTransportManager::FrequencyDataTransportManager(ProtocolManager* protocol, QObject* parent)
    : QObject(parent)
    , m_protocol(protocol)
{
    qRegisterMetaType<QVector<QPointF>>("QVector<QPointF>");
    m_thread = new FrequencyDataThread;
    ProtocolManager* pm = this->protocol();
    connect(pm, &ProtocolManager::FrequencyControlResult, this,
            &FrequencyDataTransportManager::slot_FrequencyControlResult);
    connect(pm, &ProtocolManager::FrequencyControlUpdate, this,
            &FrequencyDataTransportManager::slot_FrequencyControlUpdate);
    connect(m_thread, &FrequencyDataThread::sendUdpData, this, &FrequencyDataTransportManager::slot_UdpData,
            Qt::DirectConnection);
    connect(pm, &ProtocolManager::GetDeviceSettingsFinished, this,
            &FrequencyDataTransportManager::slot_UpdateFrequencyGainOffset, Qt::QueuedConnection);
    slot_UpdateFrequencyGainOffset();
}

FrequencyDataTransportManager::~FrequencyDataTransportManager()
{
    // The singleton lives for the process; a test's manager must not leave its receiver running.
    m_thread->Stop();
    delete m_thread;
}

FrequencyDataTransportManager* FrequencyDataTransportManager::Instance()
{
    static FrequencyDataTransportManager* instance = new FrequencyDataTransportManager;
    return instance;
}

ProtocolManager* FrequencyDataTransportManager::protocol() const
{
    return m_protocol ? m_protocol : ProtocolManager::instance();
}

uint FrequencyDataTransportManager::centreFrequency() const
{
    QMutexLocker lock(&m_mutex);
    return m_centre;
}

uint FrequencyDataTransportManager::bandId() const
{
    QMutexLocker lock(&m_mutex);
    return m_bandId;
}

uint FrequencyDataTransportManager::maxTouchedValue() const
{
    QMutexLocker lock(&m_mutex);
    return m_maxTouchedValue;
}

double FrequencyDataTransportManager::gainOffset(uint freqId) const
{
    QMutexLocker lock(&m_mutex);
    return m_gainOffsets.value(freqId, 0.0);
}

double FrequencyDataTransportManager::playbackOffset(uint freqId) const
{
    QMutexLocker lock(&m_mutex);
    return m_playbackOffsets.value(freqId, 0.0);
}

QVector<QPointF> FrequencyDataTransportManager::lastCurve() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastCurve;
}

void FrequencyDataTransportManager::chooseBand(uint freqId)
{
    const auto& bands = protocol()->freqBands;
    QMutexLocker lock(&m_mutex);
    m_maxTouchedValue = 0;
    m_bandId = freqId;
    if (freqId == 0)
        m_centre = 0;
    else if (bands.contains(freqId))
        m_centre = bands.value(freqId).freq / 1000000;
}

void FrequencyDataTransportManager::SwitchTransportStatus(bool enable, uint freqId)
{
    {
        QMutexLocker lock(&m_mutex);
        m_playbackMode = RunStatus::CurrentStatus() == SystemState::Playback;
    }
    chooseBand(freqId);
    protocol()->SetFrequencyData(enable, freqId);
}

void FrequencyDataTransportManager::slot_FrequencyControlResult(ushort udpPort)
{
    qDebug() << "UDP" << udpPort;
    if (udpPort != 0)
        m_thread->Start(udpPort);
}

void FrequencyDataTransportManager::slot_FrequencyControlUpdate(bool enable, uint freqId, ushort udpPort)
{
    Q_UNUSED(enable)
    Q_UNUSED(udpPort)
    chooseBand(freqId);
    if (m_thread->isRunning())
        emit UpdateFrequencyId(freqId);
}

void FrequencyDataTransportManager::slot_UdpData(const QByteArray& udpData)
{
    if (udpData.size() < kMinDatagram)
        return;

    double offset = 0.0;
    double centre = 0.0;
    {
        QMutexLocker lock(&m_mutex);
        offset = m_playbackMode ? m_playbackOffsets.value(m_bandId, 0.0) : m_gainOffsets.value(m_bandId, 0.0);
        centre = m_centre;
    }

    double peakFreq = 0.0;
    double peakLevel = 0.0;
    const QVector<QPointF> points = curveOf(udpData, centre, offset, &peakFreq, &peakLevel);

    uint touched = 0;
    {
        QMutexLocker lock(&m_mutex);
        m_lastCurve = points;
        const uint truncated = touchedValue(peakLevel);
        if (truncated > m_maxTouchedValue)
            m_maxTouchedValue = truncated;
        touched = m_maxTouchedValue;
    }
    emit UpdateFrequencyArray(points, touched, peakFreq, peakLevel);
}

uint FrequencyDataTransportManager::touchedValue(double peakLevel)
{
    // A lying level correction or an offset of "inf" in the configuration puts the level outside
    // what 32 bits hold, where truncating is undefined: such a level is held at the nearer end.
    if (std::isnan(peakLevel))
        return 0;
    const double held =
        qBound(double(std::numeric_limits<qint32>::min()), peakLevel, double(std::numeric_limits<qint32>::max()));
    return uint(qint32(held));
}

QVector<QPointF> FrequencyDataTransportManager::curveOf(const QByteArray& udpData, double centre, double offset,
                                                        double* peakFreq, double* peakLevel)
{
    const qint32 correction = qint32(valueAt(udpData, 0));
    const int half = (udpData.size() - 4) / 2;
    const int count = ((half - 1) / 4) + 1;

    auto level = [&](quint32 x) {
        return x == 0 ? kGap : 10.0 * (std::log10(double(x)) - kFullScaleLog) - offset - correction;
    };

    QVector<QPointF> points(2 * count);
    double bestLevel = -300.0;
    double bestFreq = 0.0;
    for (int k = 0; k < count; ++k) {
        const QPointF lower(centre - (1024 - k) * kBinMHz, level(valueAt(udpData, 4 + half + 4 * k)));
        const QPointF upper(centre + k * kBinMHz, level(valueAt(udpData, 4 + 4 * k)));
        if (lower.y() > bestLevel + 1e-9) {
            bestLevel = lower.y();
            bestFreq = lower.x();
        }
        if (upper.y() > bestLevel + 1e-9) {
            bestLevel = upper.y();
            bestFreq = upper.x();
        }
        points[k] = lower;
        points[count + k] = upper;
    }

    // Gaps (powers of 0) take their neighbours' levels; the peak stays as found.
    const int n = points.size();
    if (n >= 2) {
        if (points[0].y() == kGap)
            points[0].setY(points[1].y());
        if (points[n - 1].y() == kGap)
            points[n - 1].setY(points[n - 2].y());
    }
    for (int i = 1; i < n - 1; ++i)
        if (points[i].y() == kGap)
            points[i].setY((points[i - 1].y() + points[i + 1].y()) / 2.0);
    if (peakFreq)
        *peakFreq = bestFreq;
    if (peakLevel)
        *peakLevel = bestLevel;
    return points;
}

void FrequencyDataTransportManager::slot_UpdateFrequencyGainOffset()
{
    const QMap<uint, FreqBand> bands = protocol()->freqBands;
    if (bands.isEmpty())
        return;
    const QList<uint> ids = bands.keys();
    // Parented so that a manager that goes takes a pending read with it. It tries every 100 ms
    // until its get goes out: one get of the store is open at a time.
    auto* timer = new QTimer(this);
    timer->setInterval(100);
    connect(timer, &QTimer::timeout, this, [this, timer, ids] {
        if (!protocol()->isConnected() || readOffsets(ids)) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

bool FrequencyDataTransportManager::readOffsets(const QList<uint>& ids)
{
    QStringList keys;
    for (uint id : ids)
        keys << DevConfigCodec::offsetKeys(int(id));
    return protocol()->GetDevConfig(DevConfigCodec::group(), keys, ReplyOwner(this, [this, ids](const ReplyNotice& n) {
                                        if (n.outcome != ReplyOutcome::InTime && n.outcome != ReplyOutcome::Late)
                                            return;
                                        const QStringList values = ProtocolManager::configValues(n);
                                        if (values.size() != 2 * ids.size())
                                            return;
                                        QMutexLocker lock(&m_mutex);
                                        m_gainOffsets.clear();
                                        m_playbackOffsets.clear();
                                        for (int i = 0; i < ids.size(); ++i) {
                                            m_gainOffsets.insert(ids.at(i), values.at(2 * i).trimmed().toDouble());
                                            m_playbackOffsets.insert(ids.at(i),
                                                                     values.at(2 * i + 1).trimmed().toDouble());
                                        }
                                    }));
}
