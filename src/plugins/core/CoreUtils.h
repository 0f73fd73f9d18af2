#pragma once

#include "core_global.h"

#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>

namespace Kelo {
namespace Core {

class CoreUtilsPrivate;

// Coordinate, address and small helper functions offered to other plug-ins.
//
// Coordinate triples are ordered L, B, H: longitude and latitude in degrees, height in metres,
// on the WGS-84 ellipsoid; earth-centred earth-fixed (ECEF) coordinates are in metres.
// Example: x, y, z = (6378137, 0, 0) is L = 0, B = 0, H = 0.
class CORE_EXPORT CoreUtils : public QObject
{
    Q_OBJECT
public:
    static constexpr double kSemiMajorAxis = 6378137.0;
    static constexpr double kEccentricitySquared = 0.006694379990146339;
    static constexpr double kOneMinusE2 = 0.9933056200098537;
    static constexpr double kPi = 3.141592653589793;
    // The latitude iteration normally ends within a handful of passes; the bound only stops
    // input that can never settle (NaN, infinities).
    static constexpr int kMaxLatitudePasses = 64;

    CoreUtils();
    ~CoreUtils() override;

    static void xyz2Lbh(double* xyz, double* lbh);
    static void xyz2Lbh(double x, double y, double z, double& L, double& B, double& H);
    static void lbh2Xyz(double* lbh, double* xyz);
    static void lbh2Xyz(double L, double B, double H, double& x, double& y, double& z);

    // Height above the EGM2008 geoid, through the geoid library below the application
    // directory; 0.0 when that library or its entry is not there, or it gives no undulation.
    static double switchHeight(double L, double B, double H);
    static QString geoidLibraryPath();

    static bool RegualIpv4Address(const QString& text);
    static bool RegualNetPort(const qint64& port);
    static QString Ipv4Cast(const uint& address);
    // An address as a person reads it: an IPv4 peer of a dual-stack socket ("::ffff:10.0.0.5")
    // in its dotted form.
    static QString addressText(const QHostAddress& address);

    // date = (year << 16) + (month << 8) + day; time = (hour << 16) + (minute << 8) + second.
    static void dateTime2Int(const QDateTime& when, int* date, int* time);

    // Waits while the calling thread's events (timers, signals, socket data) keep running.
    static void Sleep(int milliseconds);

private:
    std::unique_ptr<CoreUtilsPrivate> d;
};

} // namespace Core
} // namespace Kelo
