#pragma once

#include "core_global.h"

#include <QElapsedTimer>

// How long a card takes from a request to the first byte of its answer, smoothed the way TCP
// sizes its retransmission time-out: the mean of the samples so far (srtt) and their mean
// deviation (rttvar), each new sample weighing 1/8 and 1/4.
class CORE_EXPORT AnswerTime
{
public:
    // Nothing shorter than scheduling on a loaded machine can tell a quiet card from a slow one.
    static constexpr double kFloorMs = 20.0;

    void requestSent();
    void bytesArrived();
    void addSample(double ms);

    bool hasSamples() const { return m_samples > 0; }
    double smoothedMs() const { return m_srtt; }
    double deviationMs() const { return m_rttvar; }
    // srtt + max(floor, 4 rttvar), never past the ceiling; the ceiling without a sample.
    int marginMs(int ceilingMs) const;

private:
    QElapsedTimer m_clock;
    bool m_waiting = false;
    int m_samples = 0;
    double m_srtt = 0.0;
    double m_rttvar = 0.0;
};
