#pragma once

#include <QList>
#include <QtGlobal>

// The sky above the simulated instrument: a fixed antenna position and the GPS, BeiDou, GLONASS
// and Galileo satellites on circular orbits of their real periods, so elevations, azimuths and
// carrier-to-noise ratios change from minute to minute. It is a picture for the receiver windows,
// not an orbit propagator.
class SkyModel
{
public:
    enum System { Gps = 0, Bds = 1, Glonass = 2, Galileo = 3 };

    struct Satellite
    {
        System system = Gps;
        int prn = 0;          // GLONASS: slot number
        double elevation = 0; // degrees
        double azimuth = 0;   // degrees, 0 to 360
        int cn0 = 0;          // dB-Hz
    };

    // Satellites at or above 5 degrees elevation at a time (milliseconds since the epoch), by
    // system and number.
    QList<Satellite> visible(qint64 msecsSinceEpoch) const;

    // Antenna position: degrees north and east, metres above mean sea level, geoid separation.
    static constexpr double kLatitude = 39.985391;
    static constexpr double kLongitude = 116.309054;
    static constexpr double kAltitude = 52.3;
    static constexpr double kGeoidSeparation = -8.6;
};
