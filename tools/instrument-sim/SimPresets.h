#pragma once

#include "InstrumentSim.h"

// The values of the simulator's presets, in one place: what the instrument reports about itself,
// its configuration store, its record catalogue and how its runs, receiver and spectrum behave.
class SimPresets
{
public:
    static void apply(InstrumentSim& sim, InstrumentSim::Preset preset);

    // The instrument a user meets.
    static void applyDefault(InstrumentSim& sim);
    // The fixed values and fast steps the tests were written against.
    static void applyTest(InstrumentSim& sim);
};
