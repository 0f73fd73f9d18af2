#include "GoneRecords.h"

bool GoneRecords::predates(const QList<quint32>& listed)
{
    bool stale = false;
    for (quint32 name : listed)
        stale = stale || m_gone.contains(name);
    m_gone.clear();
    return stale;
}
