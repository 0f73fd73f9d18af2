#pragma once

#include "SimFrame.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class InstrumentSim;

// The instrument's device-configuration store behind System command 12: text values by key,
// all in the group "devConfig", loaded from one of a few instrument profiles.
//
// Requests and replies are little-endian Qt streams:
//   get     i8 0, QString group, QStringList keys   -> i8 0, QStringList values (key order)
//   set     i8 1, QString group, QStringList keys, QStringList values  -> i8 1, i32 result
// A key the store does not hold reads as empty text; a set stores every key it is given.
class DevConfigStore
{
public:
    enum class Profile {
        Standard,     // the instrument a user meets: every capability, values in Hz, a band table
                      // that offers each band on every channel at every bit width
        FullFeatured, // every capability with the odd values tests pin (bandwidth 40 in a list with
                      // an empty part, one sample rate short, bands on few channels)
        Transponder,  // transponder delay and Doppler only
        NoRateControl // no bandwidth or sample-rate control, gain control and spectrum
    };

    struct Faults
    {
        bool silentGets = false;    // take gets, answer nothing
        bool silentSets = false;    // take sets, answer nothing
        bool holdGets = false;      // keep get replies back until releaseHeldGets()
        int dropValues = 0;         // answer gets with this many values fewer
        bool lyingCount = false;    // get replies claim one value more than they carry
        bool refuseSets = false;    // set replies carry result 0
        bool shortSetReply = false; // set replies lose their result word
    };

    DevConfigStore() { load(Profile::Standard); }

    void load(Profile profile);
    void handle(InstrumentSim& sim, const SimFrame& request);
    void releaseHeldGets(InstrumentSim& sim);

    QMap<QString, QString> values;
    Faults faults;
    int gets = 0;
    int sets = 0;

private:
    struct Held
    {
        SimFrame request;
        QByteArray payload;
    };
    QList<Held> m_held;
};
