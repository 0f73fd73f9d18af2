#pragma once

#include "SentenceScanner.h"

#include <QtEndian>

#include <cfloat>
#include <cmath>
#include <cstring>

namespace Ns {
namespace Skyvane {

// Field-by-field conversion of sentence text into the packed receiver records. Every input
// has a defined result: integer fields take the low bits of the saturated integer part,
// floating-point fields saturate to infinity, character fields take the first character.
class NmeaRecordFill
{
public:
    using Result = SentenceScanner::Result;

    static double value(const QByteArray& buffer, const Result& r, int field)
    {
        if (field < 1 || field > r.fields.size())
            return 0.0;
        const SentenceScanner::Field& f = r.fields[field - 1];
        return SentenceScanner::number(buffer.constData() + f.begin, f.length);
    }
    static char character(const QByteArray& buffer, const Result& r, int field)
    {
        if (field < 1 || field > r.fields.size())
            return '\0';
        const SentenceScanner::Field& f = r.fields[field - 1];
        return SentenceScanner::character(buffer.constData() + f.begin, f.length);
    }
    static float toFloat(double v)
    {
        if (std::isnan(v))
            return std::numeric_limits<float>::quiet_NaN();
        if (v > double(FLT_MAX))
            return std::numeric_limits<float>::infinity();
        if (v < -double(FLT_MAX))
            return -std::numeric_limits<float>::infinity();
        return static_cast<float>(v);
    }
    template<typename T> static T toInteger(double v)
    {
        // Low bits of the two's complement value, the same on every compiler.
        const quint64 bits = static_cast<quint64>(SentenceScanner::integerPart(v));
        using U = std::make_unsigned_t<T>;
        const U low = static_cast<U>(bits);
        T out;
        std::memcpy(&out, &low, sizeof out);
        return out;
    }

    // Sentence fields 1 to 14 into a GGA record; fields the sentence lacks keep their values.
    template<typename Gga> static void gga(Gga& g, const QByteArray& b, const Result& r)
    {
        const int count = r.fields.size();
        for (int k = 1; k <= count && k <= 14; ++k) {
            const double v = value(b, r, k);
            const char c = character(b, r, k);
            switch (k) {
            case 1:
                g.utcTime = toFloat(v);
                break;
            case 2:
                g.latitude = v;
                break;
            case 3:
                g.latitudeDirection = c;
                break;
            case 4:
                g.longitude = v;
                break;
            case 5:
                g.longitudeDirection = c;
                break;
            case 6:
                g.fixQuality = toInteger<quint8>(v);
                break;
            case 7:
                g.satellitesUsed = toInteger<quint8>(v);
                break;
            case 8:
                g.hdop = toFloat(v);
                break;
            case 9:
                g.altitude = toFloat(v);
                break;
            case 10:
                g.altitudeUnit = c;
                break;
            case 11:
                g.geoidSeparation = toFloat(v);
                break;
            case 12:
                g.separationUnit = c;
                break;
            case 13:
                g.differentialAge = toFloat(v);
                break;
            case 14:
                g.differentialStation = toInteger<qint16>(v);
                break;
            }
        }
    }

    // Sentence fields 1 to 13 into an RMC record.
    template<typename Rmc> static void rmc(Rmc& m, const QByteArray& b, const Result& r)
    {
        const int count = r.fields.size();
        for (int k = 1; k <= count && k <= 13; ++k) {
            const double v = value(b, r, k);
            const char c = character(b, r, k);
            switch (k) {
            case 1:
                m.utcTime = toFloat(v);
                break;
            case 2:
                m.status = c;
                break;
            case 3:
                m.latitude = v;
                break;
            case 4:
                m.latitudeDirection = c;
                break;
            case 5:
                m.longitude = v;
                break;
            case 6:
                m.longitudeDirection = c;
                break;
            case 7:
                m.speed = toFloat(v);
                break;
            case 8:
                m.course = toFloat(v);
                break;
            case 9:
                m.date = toInteger<qint32>(v);
                break;
            case 10:
                m.magneticVariation = toFloat(v);
                break;
            case 11:
                m.variationDirection = c;
                break;
            case 12:
                m.mode = c;
                break;
            case 13:
                m.navigationStatus = c;
                break;
            }
        }
    }
};

} // namespace Skyvane
} // namespace Ns
