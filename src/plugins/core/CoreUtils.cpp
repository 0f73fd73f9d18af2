#include "CoreUtils.h"

#include "AppPaths.h"

#include <QEventLoop>
#include <QLibrary>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

#include <cmath>

namespace Kelo {
namespace Core {

class CoreUtilsPrivate
{};

CoreUtils::CoreUtils()
    : QObject(nullptr)
    , d(new CoreUtilsPrivate)
{}

CoreUtils::~CoreUtils() = default;

void CoreUtils::xyz2Lbh(double* xyz, double* lbh)
{
    xyz2Lbh(xyz[0], xyz[1], xyz[2], lbh[0], lbh[1], lbh[2]);
}

void CoreUtils::xyz2Lbh(double x, double y, double z, double& L, double& B, double& H)
{
    const double a = kSemiMajorAxis;
    const double e2 = kEccentricitySquared;
    const double lon = std::atan2(y, x);
    const double p = std::sqrt(x * x + y * y);

    double n = a;
    double lat = 0.0;
    double previous = 0.0;
    for (int pass = 0; pass < kMaxLatitudePasses; ++pass) {
        lat = std::atan2(z + e2 * n * std::sin(previous), p);
        if (std::isnan(lat) || std::fabs(lat - previous) < 1e-10)
            break;
        n = a / std::sqrt(1.0 - e2 * std::sin(lat) * std::sin(lat));
        previous = lat;
    }
    const double zn = z + e2 * n * std::sin(lat);
    H = std::sqrt(p * p + zn * zn) - n;
    L = lon * 180.0 / kPi;
    B = lat * 180.0 / kPi;
}

void CoreUtils::lbh2Xyz(double* lbh, double* xyz)
{
    lbh2Xyz(lbh[0], lbh[1], lbh[2], xyz[0], xyz[1], xyz[2]);
}

void CoreUtils::lbh2Xyz(double L, double B, double H, double& x, double& y, double& z)
{
    const double lon = L * kPi / 180.0;
    const double lat = B * kPi / 180.0;
    const double sinB = std::sin(lat);
    const double n = kSemiMajorAxis / std::sqrt(1.0 - kEccentricitySquared * sinB * sinB);
    x = (n + H) * std::cos(lat) * std::cos(lon);
    y = (n + H) * std::cos(lat) * std::sin(lon);
    z = (n * kOneMinusE2 + H) * sinB;
}

QString CoreUtils::geoidLibraryPath()
{
    return AppPaths::applicationDir() + QStringLiteral("/Kelo_AppData/Kelo_ThirdPart/Geoidh_EGM2008_DLL.dll");
}

double CoreUtils::switchHeight(double L, double B, double H)
{
    using GeoidFunction = double (*)(double*);
    // Deliberately not unloaded: the loader keeps the library for later calls.
    QLibrary library(geoidLibraryPath());
    if (!library.load())
        return 0.0;
    const auto geoid = reinterpret_cast<GeoidFunction>(library.resolve("geoidh_egm2008"));
    if (!geoid)
        return 0.0;
    double latLon[2] = {B * kPi / 180.0, L * kPi / 180.0};
    const double undulation = geoid(latLon);
    // A library that has no model to answer from (its grid is missing or unreadable) says so
    // with a value that is not a number: that is no geoid, as if the library were not there.
    if (!std::isfinite(undulation))
        return 0.0;
    return H - undulation;
}

bool CoreUtils::RegualIpv4Address(const QString& text)
{
    static const QRegularExpression re(
        QRegularExpression::anchoredPattern(QStringLiteral("(1\\d{2}|2[0-4]\\d|25[0-5]|[1-9]\\d|[1-9])\\."
                                                           "((1\\d{2}|2[0-4]\\d|25[0-5]|[1-9]\\d|[0-9])\\.){2}"
                                                           "(1\\d{2}|2[0-4]\\d|25[0-5]|[1-9]\\d|[1-9])")));
    return re.match(text).hasMatch();
}

bool CoreUtils::RegualNetPort(const qint64& port)
{
    return port >= 1 && port <= 65535;
}

QString CoreUtils::addressText(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? Ipv4Cast(v4) : address.toString();
}

QString CoreUtils::Ipv4Cast(const uint& address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg((address >> 24) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

void CoreUtils::dateTime2Int(const QDateTime& when, int* date, int* time)
{
    const QDate d = when.date();
    const QTime t = when.time();
    if (date)
        *date = (d.year() << 16) + ((d.month() << 8) & 0xFFFF) + (d.day() & 0xFF);
    if (time)
        *time = (t.hour() << 16) + ((t.minute() << 8) & 0xFFFF) + (t.second() & 0xFF);
}

void CoreUtils::Sleep(int milliseconds)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    loop.exec();
}

} // namespace Core
} // namespace Kelo
