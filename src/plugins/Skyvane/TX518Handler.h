#pragma once

#include "ReceiverHandlerBase.h"
#include "SentenceLoop.h"
#include "SentenceScanner.h"

#include <QList>
#include <QMap>

namespace Ns {
namespace Skyvane {

// Parser of the TX518 receiver: NMEA GGA and RMC, and EGSVA, which carries every satellite
// of one system with the carrier-to-noise ratio of each of its signals:
//   $EGSVA,0,12,7,45,120,2,1,452,4,398,9,30,200,1,1,401*7B\r\n
//   system 0 (BDS), a count that is not kept, then per satellite: number 7, elevation 45,
//   azimuth 120, 2 pairs (signal 1, 45.2 dB-Hz) (signal 4, 39.8 dB-Hz); satellite 9 ...
// A system whose EGSVA sentences stop for 3000 ms is forgotten at the next tick of a 1000 ms
// timer, whatever the other systems do.
class SKYVANE_EXPORT TX518Handler : public ReceiverHandlerBase
{
    Q_OBJECT
public:
    enum class SatelliteSystemID : quint8 { BDS = 0, BD = 0, GPS = 1, GP = 1, GLO = 2, GL = 2, GAL = 3, GA = 3 };
    Q_ENUM(SatelliteSystemID)

#pragma pack(push, 1)
    struct GGA
    {
        float utcTime = 0;
        double latitude = 0;
        char latitudeDirection = 0;
        double longitude = 0;
        char longitudeDirection = 0;
        quint8 fixQuality = 0;
        quint8 satellitesUsed = 0;
        float hdop = 0;
        float altitude = 0;
        char altitudeUnit = 0;
        float geoidSeparation = 0;
        char separationUnit = 0;
        float differentialAge = 0;
        qint16 differentialStation = 0;
    };

    struct RMC
    {
        float utcTime = 0;
        char status = 0;
        double latitude = 0;
        char latitudeDirection = 0;
        double longitude = 0;
        char longitudeDirection = 0;
        float speed = 0;
        float course = 0;
        qint32 date = 0;
        float magneticVariation = 0;
        char variationDirection = 0;
        char mode = 0;
        char navigationStatus = 0;
    };

    struct GsvSatellite
    {
        quint8 prn = 0;
        quint8 elevation = 0;
        quint16 azimuth = 0;
        qint16 cn0 = 0; // 0.1 dB-Hz
    };

    struct GSV
    {
        quint8 sentences = 0;
        quint8 number = 0;
        quint8 inView = 0;
        GsvSatellite satellites[4];
    };

    // One satellite as seen on one signal.
    struct SatelliteData
    {
        quint8 prn = 0;
        quint8 elevation = 0;
        quint16 azimuth = 0;
        quint16 cn0 = 0; // 0.1 dB-Hz
    };
#pragma pack(pop)

    using SatelliteMap = QMap<unsigned char, QList<SatelliteData>>;

    explicit TX518Handler(QObject* parent = nullptr);
    ~TX518Handler() override;

    void ParseData(const QByteArray& data) override;

    int GGAHandler(const QByteArray& buffer);
    int RMCHandler(const QByteArray& buffer);
    int EGSVAHandler(const QByteArray& buffer);
    // Not in the command table; for callers that register GSV themselves.
    int GSVHandler(const QByteArray& buffer);

public slots:
    void DataReceived(QByteArray data);

signals:
    void ggaDataChanged(SatelliteSystemID gnssType, const GGA& info);
    void rmcDataChanged(SatelliteSystemID gnssType, const RMC& info);
    void gsvDataChanged(SatelliteSystemID gnssType, const QList<GSV>& info);
    // info points at the parser's four satellite maps (index = system); read it during the call.
    void egsvDataChanged(SatelliteSystemID gnssType, const SatelliteMap* info);
    void startGSVTimer();
    void stopGSVTimer();

private slots:
    void timeoutEvent();

private:
    static int talker(const QByteArray& buffer);
    // Scans one NMEA sentence into r; true when its checksum matched and its fields may be read.
    static bool acceptSentence(const QByteArray& buffer, const char* pattern, SentenceScanner::Result& r);

    GGA m_gga;
    RMC m_rmc;
    QList<GSV> m_gsv;
    qint64 m_updateTimes[4] = {0, 0, 0, 0};
    SatelliteMap m_satellites[4];
};

} // namespace Skyvane
} // namespace Ns

Q_DECLARE_METATYPE(Ns::Skyvane::TX518Handler::GGA)
Q_DECLARE_METATYPE(Ns::Skyvane::TX518Handler::RMC)
Q_DECLARE_METATYPE(Ns::Skyvane::TX518Handler::GSV)
