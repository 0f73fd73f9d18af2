#pragma once

#include "ReceiverHandlerBase.h"
#include "SentenceLoop.h"
#include "SentenceScanner.h"

#include <QList>
#include <QMap>
#include <QVector>

namespace Ns {
namespace Skyvane {

// Parser of the UM98X/960 receivers: NMEA GGA, RMC and GSV, and the ephemeris logs
// GPSEPHA, BDSEPHA, BD3EPHA, GLOEPHA and GALEPHA (plus SATSINFOA when registered).
//
// NMEA example (fields after the name are numbered from 1; '*' then the XOR checksum):
//   $GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n
// Log example (nine header fields, ';', data fields from 0, '*' then the CRC-32 in hex):
//   #GPSEPHA,97,COM1,FINE,2068,346038000,-18,3,250,65535;5,345600.0*43f1b305\r\n
//   (a real log carries all 33 data fields; this one stops after the time of week)
// A record is committed only after its checksum matched; GSV sentences gather per system
// and signal into sets that are released when another system speaks or 200 ms after the
// last completion, and forgotten after 3000 ms without sentences.
class SKYVANE_EXPORT UM98X_960Handler : public ReceiverHandlerBase
{
    Q_OBJECT
public:
    enum SatelliteSystemSymbol : int {
        GP = 0,
        GPS = 0,
        GB = 1,
        BDS = 1,
        GL = 2,
        GLONASS = 2,
        GA = 3,
        Galileo = 3,
        GQ = 4,
        QZSS = 4,
        GN = 5,
        GNSS = 5
    };
    Q_ENUM(SatelliteSystemSymbol)

    enum class GPSSignalID {
        All_Signals = 0,
        L1_CA = 1,
        L1_P_Y = 2,
        L1_M = 3,
        L2_P_Y = 4,
        L2C_M = 5,
        L2C_L = 6,
        L5_I = 7,
        L5_Q = 8
    };
    Q_ENUM(GPSSignalID)
    enum class GLONASSSignalID { All_Signals = 0, G1_CA = 1, G1_P = 2, G2_CA = 3, G2_P = 4 };
    Q_ENUM(GLONASSSignalID)
    enum class GalileoSignalID {
        All_Signals = 0,
        E5a = 1,
        E5b = 2,
        E5_ab = 3,
        E6_A = 4,
        E6_BC = 5,
        L1_A = 6,
        L1_BC = 7
    };
    Q_ENUM(GalileoSignalID)
    enum class BDSSignalID {
        All_Signals = 0,
        B1I = 1,
        B1Q = 2,
        B1C = 3,
        B1A = 4,
        B2_a = 5,
        B2_b = 6,
        B2_ab = 7,
        B3I = 8,
        B3Q = 9,
        B3A = 10,
        B2I = 11,
        B2Q = 12
    };
    Q_ENUM(BDSSignalID)
    enum class QZSSSignalID {
        All_Signals = 0,
        L1_CA = 1,
        L1C_D = 2,
        L1C_P = 3,
        LIS = 4,
        L2C_M = 5,
        L2C_L = 6,
        L5_I = 7,
        L5_Q = 8,
        L6D = 9,
        L6E = 10
    };
    Q_ENUM(QZSSSignalID)
    enum class IRNSSSignalID { All_Signals = 0, L5_SPS = 1, S_SPS = 2, L5_RS = 3, S_RS = 4, L1_SPS = 5 };
    Q_ENUM(IRNSSSignalID)
    enum class GNSSSystemID { GP = 1, GL = 2, GA = 3, GB = 4, GQ = 5, GI = 6 };
    Q_ENUM(GNSSSystemID)
    enum class GnssSystem { GPS = 0, GLONASS = 1, SBAS = 2, GAL = 3, BDS = 4, QZSS = 5, IRNSS = 6 };
    Q_ENUM(GnssSystem)
    enum class GPSFrequency { L1_CA = 0, L2P_Y = 9, L1C_P = 3, L1C_D = 11, L5_D = 6, L5_P = 14, L2C_L = 17 };
    Q_ENUM(GPSFrequency)
    enum class BDSFrequency {
        B1I = 0,
        B1Q = 4,
        B1C_P = 8,
        B1C_D = 23,
        B2Q = 5,
        B2I = 17,
        B2a_P = 12,
        B2a_D = 28,
        B3Q = 6,
        B3I = 21,
        B2b_I = 13
    };
    Q_ENUM(BDSFrequency)
    enum class GLONASSFrequency { L1_CA = 0, L2_CA = 5, G3I = 6, G3Q = 7 };
    Q_ENUM(GLONASSFrequency)
    enum class GALFrequency { E1B = 1, E1C = 2, E5A_P = 12, E5B_P = 17, E6B = 18, E6C = 22 };
    Q_ENUM(GALFrequency)
    enum class QZSSFrequency {
        L1_CA = 0,
        L5_D = 6,
        L5_P = 14,
        L2C_L = 17,
        L61_D = 18,
        L61_P = 22,
        L62_D1 = 24,
        L62_D2 = 25
    };
    Q_ENUM(QZSSFrequency)
    enum class IRNSSFrequency { L5_D = 6, L5_P = 14 };
    Q_ENUM(IRNSSFrequency)
    enum class SBASFrequency { L1_CA = 0, L5_I = 6 };
    Q_ENUM(SBASFrequency)

#pragma pack(push, 1)
    struct GGA
    {
        float utcTime = 0;           // hhmmss.ss
        double latitude = 0;         // ddmm.mmmm
        char latitudeDirection = 0;  // 'N' or 'S'
        double longitude = 0;        // dddmm.mmmm
        char longitudeDirection = 0; // 'E' or 'W'
        quint8 fixQuality = 0;
        quint8 satellitesUsed = 0;
        float hdop = 0;
        float altitude = 0; // above mean sea level
        char altitudeUnit = 0;
        float geoidSeparation = 0;
        char separationUnit = 0;
        float differentialAge = 0; // seconds
        qint16 differentialStation = 0;
    };

    struct RMC
    {
        float utcTime = 0;
        char status = 0; // 'A' valid, 'V' void
        double latitude = 0;
        char latitudeDirection = 0;
        double longitude = 0;
        char longitudeDirection = 0;
        float speed = 0;  // knots
        float course = 0; // degrees
        qint32 date = 0;  // ddmmyy
        float magneticVariation = 0;
        char variationDirection = 0;
        char mode = 0;
        char navigationStatus = 0;
    };

    struct SatelliteData
    {
        quint8 prn = 0;
        quint8 elevation = 0; // degrees
        quint16 azimuth = 0;  // degrees
        quint8 cn0 = 0;       // dB-Hz
    };

    struct GSV
    {
        quint8 sentences = 0; // in the set
        quint8 number = 0;    // of this sentence, from 1
        quint8 inView = 0;
        SatelliteData satellites[4];
        quint8 signalId = 0;
    };

    // The first 19 bytes of every ephemeris record: the log's nine header fields.
    struct LogHeader
    {
        quint8 reserved[2] = {0, 0};
        quint8 field1 = 0;
        char field2 = 0;
        char field3 = 0;
        quint16 field4 = 0;
        qint32 field5 = 0;
        qint32 field6 = 0;
        quint8 field7 = 0;
        quint8 field8 = 0;
        quint16 field9 = 0;
    };

    struct GPSEPH
    {
        LogHeader header;
        qint32 prn = 0;
        double tow = 0; // time of subframe 1, s
        qint32 health = 0;
        qint32 iode1 = 0;
        qint32 iode2 = 0;
        qint32 week = 0;
        qint32 zWeek = 0; // week of Toe
        double toe = 0;
        double a = 0; // semi-major axis, m
        double deltaN = 0;
        double m0 = 0;
        double e = 0;
        double omega = 0;
        double cuc = 0, cus = 0, crc = 0, crs = 0, cic = 0, cis = 0;
        double i0 = 0;
        double iDot = 0;
        double omega0 = 0;
        double omegaDot = 0;
        qint32 iodc = 0;
        double toc = 0;
        double tgd = 0;
        double af0 = 0, af1 = 0, af2 = 0;
        qint32 as = 0; // anti-spoofing
        double n = 0;  // corrected mean motion
        double ura = 0;
    };

    struct BDSEPH
    {
        LogHeader header;
        qint32 prn = 0;
        double tow = 0;
        qint32 health = 0;
        qint32 iode1 = 0;
        qint32 iode2 = 0;
        qint32 week = 0;
        qint32 zWeek = 0;
        double toe = 0;
        double a = 0;
        double deltaN = 0;
        double m0 = 0;
        double e = 0;
        double omega = 0;
        double cuc = 0, cus = 0, crc = 0, crs = 0, cic = 0, cis = 0;
        double i0 = 0;
        double iDot = 0;
        double omega0 = 0;
        double omegaDot = 0;
        qint32 iodc = 0;
        double toc = 0;
        double tgd1 = 0;
        double tgd2 = 0;
        double af0 = 0, af1 = 0, af2 = 0;
        qint32 as = 0;
        double n = 0;
        double ura = 0;
    };

    struct BD3EPH
    {
        LogHeader header;
        quint8 prn = 0;
        quint8 health = 0;
        quint8 satType = 0;
        quint8 sismai = 0;
        quint16 iode = 0; // B1C/B2a
        quint16 iodc = 0;
        quint16 week = 0;
        quint16 zWeek = 0;
        double tow = 0;
        double toe = 0;
        double deltaA = 0;
        double aDot = 0;
        double deltaN = 0;
        double deltaNDot = 0;
        double m0 = 0;
        double e = 0;
        double omega = 0;
        double cuc = 0, cus = 0, crc = 0, crs = 0, cic = 0, cis = 0;
        double i0 = 0;
        double iDot = 0;
        double omega0 = 0;
        double omegaDot = 0;
        double toc = 0;
        double tgdB1Cp = 0;
        double tgdB2ap = 0;
        double tgdB2bI = 0;
        double tgdB2bQ = 0;
        double iscB2ad = 0;
        double iscB1Cd = 0;
        double af0 = 0, af1 = 0, af2 = 0;
        qint32 top = 0;
        quint16 sisaiOe = 0;
        quint16 sisaiOcb = 0;
        quint16 sisaiOc1 = 0;
        quint16 sisaiOc2 = 0;
        qint32 frequencyType = 0;
        qint32 extra1 = 0;
        qint32 extra2 = 0;
    };

    // GLONASS and Galileo fields are kept by position (fieldN = data field N).
    struct GLOEPH
    {
        LogHeader header;
        quint16 slot = 0;
        quint16 field1 = 0;
        quint8 field2 = 0;
        quint8 field3 = 0;
        quint16 field4 = 0;
        qint32 field5 = 0;
        qint32 field6 = 0;
        quint16 field7 = 0;
        quint8 field8 = 0;
        quint8 field9 = 0;
        qint32 field10 = 0;
        qint32 field11 = 0;
        double field12to23[12] = {};
        qint32 field24to28[5] = {};
    };

    struct GALEPH
    {
        LogHeader header;
        qint32 prn = 0;
        qint32 field1 = 0;
        qint32 field2 = 0;
        quint8 field3to10[8] = {};
        qint32 field11 = 0;
        qint32 field12 = 0;
        double field13to27[15] = {};
        qint32 field28 = 0;
        double field29to31[3] = {};
        qint32 field32 = 0;
        double field33to37[5] = {};
    };
#pragma pack(pop)

    // One tracked frequency of a satellite in the satellite-information log.
    struct SatelliteFrequency
    {
        GnssSystem system = GnssSystem::GPS;
        int frequency = 0;
        int cn0 = 0;
    };
    struct SatelliteInfo
    {
        int prn = 0;
        int frequencyCount = 0;
        QVector<SatelliteFrequency> frequencies;
    };

    using GsvSet = QMap<unsigned char, QList<GSV>>;

    explicit UM98X_960Handler(QObject* parent = nullptr);
    ~UM98X_960Handler() override;

    void ParseData(const QByteArray& data) override;

    void clearnEphData(SatelliteSystemSymbol system);
    static quint32 crc_update(unsigned char* data, int length);

    int GGAHandler(const QByteArray& buffer);
    int RMCHandler(const QByteArray& buffer);
    int GSVHandler(const QByteArray& buffer);
    int GPSEPHHandler(const QByteArray& buffer);
    int BDSEPHHandler(const QByteArray& buffer);
    int BD3EPHHandler(const QByteArray& buffer);
    int GLOEPHHandler(const QByteArray& buffer);
    int GALEPHHandler(const QByteArray& buffer);
    int SATSINFOAHandler(const QByteArray& buffer);

    bool SaveBDSphToFile();
    bool SaveBD3phToFile();

    // Test seam: fuzzing runs the BeiDou handlers without touching the disk.
    void setDumpFilesEnabled(bool enabled);

    // Copies taken under the lock, for callers outside the record signals.
    LogHeader satelliteInfoHeader();
    QVector<SatelliteInfo> satelliteInfo();

public slots:
    void DataReceived(QByteArray data);
    void timeoutEvent();

signals:
    void startGSVTimer();
    void stopGSVTimer();
    void ggaDataChanged(SatelliteSystemSymbol gnssType, const GGA& info);
    void rmcDataChanged(SatelliteSystemSymbol gnssType, const RMC& info);
    // info points at the parser's four sets (GPS, BDS, GLONASS, Galileo); read it during the call.
    void gsvDataChanged(SatelliteSystemSymbol gnssType, const GsvSet* info);
    void ephDataBD3Changed(QMap<unsigned char, BD3EPH> eph);
    void ephDataBDSChanged(QMap<unsigned char, BDSEPH> eph);
    void ephDataGPSChanged(QMap<unsigned char, GPSEPH> eph);
    void ephDataGLOChanged(QMap<unsigned char, GLOEPH> eph);
    void ephDataGALChanged(QMap<unsigned char, GALEPH> eph);

private:
    enum class LogKind { GPS, BDS, BD3, GLO, GAL };

    bool GSVTimeoutClean();
    int logHandler(const QByteArray& buffer, LogKind kind);
    void requestTimer();
    static SatelliteSystemSymbol talker(const QByteArray& buffer);
    void reportHeaderLength(const char* pattern, const SentenceScanner::Result& r) const;
    void reportChecksum(const char* pattern, const QByteArray& buffer, const SentenceScanner::Result& r) const;
    // Scans one NMEA sentence into r; true when its checksum matched and its fields may be read.
    bool acceptSentence(const QByteArray& buffer, const char* pattern, SentenceScanner::Result& r) const;

    GGA m_gga;
    RMC m_rmc;
    GsvSet m_gsv[4];
    QMap<unsigned char, qint64> m_gsvTimes[4];
    LogHeader m_satInfoHeader;
    QVector<SatelliteInfo> m_satInfo;
    QMap<unsigned char, BD3EPH> m_bd3Eph;
    QMap<unsigned char, BDSEPH> m_bdsEph;
    QMap<unsigned char, GPSEPH> m_gpsEph;
    QMap<unsigned char, GLOEPH> m_gloEph;
    QMap<unsigned char, GALEPH> m_galEph;
    int m_pendingGsvSystem = -1;
    bool m_gsvReleased = false;
    qint64 m_lastGsvFlush = 0;
    bool m_dumpFiles = true;
};

} // namespace Skyvane
} // namespace Ns

Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::GGA)
Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::RMC)
Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::GSV)
Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::BD3EPH)
Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::BDSEPH)
Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::GPSEPH)
Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::GLOEPH)
Q_DECLARE_METATYPE(Ns::Skyvane::UM98X_960Handler::GALEPH)
