#include "AnswerTime.h"

#include <QtGlobal>

#include <cmath>

void AnswerTime::requestSent()
{
    m_clock.start();
    m_waiting = true;
}

void AnswerTime::bytesArrived()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    addSample(double(m_clock.nsecsElapsed()) / 1e6);
}

void AnswerTime::addSample(double ms)
{
    if (m_samples++ == 0) {
        m_srtt = ms;
        m_rttvar = ms / 2.0;
        return;
    }
    m_rttvar = 0.75 * m_rttvar + 0.25 * std::fabs(m_srtt - ms);
    m_srtt = 0.875 * m_srtt + 0.125 * ms;
}

int AnswerTime::marginMs(int ceilingMs) const
{
    if (m_samples == 0)
        return ceilingMs;
    const double margin = m_srtt + qMax(kFloorMs, 4.0 * m_rttvar);
    return int(qMin(std::ceil(margin), double(ceilingMs)));
}
