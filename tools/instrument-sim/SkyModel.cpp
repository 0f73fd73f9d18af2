#include "SkyModel.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {
struct Orbit
{
    SkyModel::System system;
    int first;
    int last;
    double periodHours;
};

// BeiDou 1 to 5 are geostationary and stay where they are; the rest circle.
const Orbit kOrbits[] = {{SkyModel::Gps, 1, 32, 11.967},
                         {SkyModel::Bds, 6, 16, 23.93},
                         {SkyModel::Bds, 19, 46, 12.87},
                         {SkyModel::Glonass, 1, 24, 11.26},
                         {SkyModel::Galileo, 1, 36, 14.08}};

double phase(int system, int prn)
{
    // A fixed spread of the satellites over their orbits, the same on every run.
    const quint32 h = quint32(system * 131 + prn) * 2654435761u;
    return double(h % 10000u) / 10000.0;
}

int ratio(double elevation, int prn, qint64 second)
{
    // Strong overhead, weak near the horizon, with a small flicker from second to second.
    const int flicker = int((quint32(prn) * 7919u + quint32(second) * 104729u) % 3u) - 1;
    return qBound(20, int(30.0 + 20.0 * qSin(qDegreesToRadians(elevation))) + flicker, 55);
}
} // namespace

QList<SkyModel::Satellite> SkyModel::visible(qint64 msecsSinceEpoch) const
{
    const double hours = double(msecsSinceEpoch) / 3600000.0;
    const qint64 second = msecsSinceEpoch / 1000;
    QList<Satellite> out;
    for (int prn = 1; prn <= 5; ++prn) {
        Satellite s;
        s.system = Bds;
        s.prn = prn;
        s.elevation = 25.0 + 5.0 * prn;
        s.azimuth = 120.0 + 24.0 * prn;
        s.cn0 = ratio(s.elevation, prn, second);
        out << s;
    }
    for (const Orbit& o : kOrbits) {
        for (int prn = o.first; prn <= o.last; ++prn) {
            const double p = phase(o.system, prn);
            const double angle = 2.0 * M_PI * (hours / o.periodHours + p);
            const double elevation = -25.0 + 90.0 * qSin(angle);
            if (elevation < 5.0)
                continue;
            Satellite s;
            s.system = o.system;
            s.prn = prn;
            s.elevation = elevation;
            s.azimuth = std::fmod(360.0 * (p * 7.0 + hours / (2.0 * o.periodHours)), 360.0);
            s.cn0 = ratio(elevation, prn, second);
            out << s;
        }
    }
    std::sort(out.begin(), out.end(), [](const Satellite& a, const Satellite& b) {
        return a.system != b.system ? a.system < b.system : a.prn < b.prn;
    });
    return out;
}
