#pragma once

#include "keloui_global.h"

#include <TX518Handler.h>
#include <UM98X_960Handler.h>

#include <QByteArray>
#include <QJsonArray>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Ns {
namespace Skyvane {
class ReceiverHandlerBase;
}
} // namespace Ns

// Binds the receiver parser of the configured variant to the receiver relay and keeps what the
// receiver views show: the text rows of the receiver window, one satellite list per display
// system for the two QML views, and the GPS and BDS-3 ephemeris maps of the ephemeris window.
//
// The parser and the record slots run in the relay's worker thread (direct connections, the
// parser's lock held); the GSV/EGSV slots also run in the GUI thread when the parser's timer
// reports. Results are stored under the info lock and the ephemeris locks and announced by
// signals whose automatic connections reach the views queued.
//
// A satellite list entry, as UpdateStarInfo carries it (default variant, BDS, PRN 7 seen on
// B1I with 41 dB-Hz and on B3I with 38 dB-Hz):
//   {"prn": 7, "cnr": [41, 0, 0, 38, 0, 0], "elv": 45, "azi": 120}
// The manager is also the QML singleton "GnssManager" of the module "Cpp.SkyvaneManager" 1.0.
class KELOUI_EXPORT SkyvaneManager : public QObject
{
    Q_OBJECT
public:
    using UM98X = Ns::Skyvane::UM98X_960Handler;
    using TX518 = Ns::Skyvane::TX518Handler;
    using GPSEPH = UM98X::GPSEPH;
    using BD3EPH = UM98X::BD3EPH;

    struct SystemEntry
    {
        int index = 0;
        QString name;
        QString color;
    };
    struct BandEntry
    {
        int column = 0;
        QString name;
        QString color;
    };

    explicit SkyvaneManager(QObject* parent = nullptr);
    ~SkyvaneManager() override;

    Q_INVOKABLE QJsonArray getStarSystemData() const { return m_systemData; }
    Q_INVOKABLE QJsonArray getStarFrequencyData() const { return m_bandData; }

    Ns::Skyvane::ReceiverHandlerBase* parser() const { return m_parser; }
    // Copies taken under the locks, for callers outside the views.
    QMap<int, QString> infoRows();
    QMap<unsigned char, GPSEPH> gpsEphemerides();
    QMap<unsigned char, BD3EPH> bd3Ephemerides();

    // The texts of the tables of the two parsers (empty for a value outside them).
    // The info rows that hold a receiver status text rather than a number.
    static constexpr int kFixQualityRow = 2;
    static constexpr int kModeRow = 14;
    static constexpr int kNavigationStatusRow = 15;
    // An info row's text as the receiver window shows it: a status text in the interface's
    // language, anything else as it is.
    static QString shownText(int row, const QString& text);

    static QString um98xFixQualityText(int quality);
    static QString tx518FixQualityText(int quality);
    static QString um98xModeText(char mode);
    static QString tx518ModeText(char mode);
    static QString um98xNavigationStatusText(char status);
    static QString tx518NavigationStatusText(char status);
    // ddmm.mmmm (dddmm.mmmm) as decimal degrees.
    static double nmeaDegrees(double value);
    // Rows 0 and 1 from an RMC's hhmmss.ss time and ddmmyy date: "yyyy/MM/dd", "hh:mm:ss.ss".
    static QStringList utcDateTimeTexts(double utcTime, int date);
    // The commands that ask the UM98X receiver for fresh ephemeris logs of a system (0 GPS,
    // 1 BDS), none for another value.
    static QStringList ephemerisRequest(int sysid);

signals:
    void UpdateInfo();
    void UpdateEphMap(int sysid);
    void UpdateStarInfo(int sysindex, QJsonArray obj);

public slots:
    void dataReceived(const QByteArray& data);
    void dataTransportControl(bool on);
    void clearnAndResend(int sysid);
    // A relay without its receiver delivers nothing: the rows it filled are no longer current.
    void relayStatusChanged(bool connected);

    void um98x_ggaDataChanged(UM98X::SatelliteSystemSymbol gnssType, const UM98X::GGA& info);
    void um98x_rmcDataChanged(UM98X::SatelliteSystemSymbol gnssType, const UM98X::RMC& info);
    void um98x_gsvDataChanged(UM98X::SatelliteSystemSymbol gnssType, const UM98X::GsvSet* info);
    void um98x_ephDataGPSChanged(const QMap<unsigned char, GPSEPH>& eph);
    void um98x_ephDataBD3Changed(const QMap<unsigned char, BD3EPH>& eph);
    void um98x_ephDataBDSChanged(const QMap<unsigned char, UM98X::BDSEPH>& eph);
    void um98x_ephDataGLOChanged(const QMap<unsigned char, UM98X::GLOEPH>& eph);
    void um98x_ephDataGALChanged(const QMap<unsigned char, UM98X::GALEPH>& eph);

    void tx518_ggaDataChanged(TX518::SatelliteSystemID gnssType, const TX518::GGA& info);
    void tx518_rmcDataChanged(TX518::SatelliteSystemID gnssType, const TX518::RMC& info);
    void tx518_egsvDataChanged(TX518::SatelliteSystemID gnssType, const TX518::SatelliteMap* info);

private:
    struct Satellite
    {
        int prn = 0;
        int elevation = 0;
        int azimuth = 0;
        int cnr = 0;
    };
    struct Gga
    {
        int quality = 0;
        double latitude = 0;
        char latitudeDirection = 0;
        double longitude = 0;
        char longitudeDirection = 0;
        double altitude = 0;
        double separation = 0;
        int satellitesUsed = 0;
        double hdop = 0;
        double differentialAge = 0;
        int differentialStation = 0;
    };
    struct Rmc
    {
        double utcTime = 0;
        int date = 0;
        double latitude = 0;
        char latitudeDirection = 0;
        double longitude = 0;
        char longitudeDirection = 0;
        double speed = 0;
        double course = 0;
        double variation = 0;
        char variationDirection = 0;
        char mode = 0;
        char navigationStatus = 0;
    };

    void initializeQmlData();
    void applyGga(const Gga& g, const QString& qualityText);
    void applyRmc(const Rmc& r, int speedDecimals, const QString& modeText, const QString& statusText);
    // One display system's list from the satellites of each of its signals.
    void publishSystem(int code, const QMap<unsigned char, QList<Satellite>>& bySignal);

    Ns::Skyvane::ReceiverHandlerBase* m_parser = nullptr;
    QMap<int, QString> m_infoRows;
    QMap<unsigned char, BD3EPH> m_bd3Eph;
    QMap<unsigned char, GPSEPH> m_gpsEph;
    QMap<int, BandEntry> m_bandTables[4];
    QMap<int, BandEntry>* m_bandTableOfSystem[4] = {nullptr, nullptr, nullptr, nullptr};
    QMap<int, SystemEntry> m_systemTable;
    QMutex m_ephLocks[4];
    QMutex m_infoLock;
    QJsonArray m_bandData;
    QJsonArray m_systemData;
    bool m_tx518 = false;
};
