#pragma once

#include "SimFrame.h"

class InstrumentSim;

// Answers the requests of one message type. The simulator owns one per type it knows.
class MessageHandler
{
public:
    explicit MessageHandler(InstrumentSim& sim)
        : m_sim(sim)
    {}
    virtual ~MessageHandler() = default;

    virtual quint8 type() const = 0;
    virtual void handle(const SimFrame& request) = 0;

protected:
    InstrumentSim& m_sim;
};
