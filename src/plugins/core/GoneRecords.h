#pragma once

#include "core_global.h"

#include <QList>
#include <QSet>

// Records the instrument confirmed gone since the last record list came. The next list that
// still holds one was asked before that (an answer come late): it is not shown, and the list is
// asked for again.
class CORE_EXPORT GoneRecords
{
public:
    void add(quint32 name) { m_gone.insert(name); }
    // Whether this list predates a confirmed removal. Every list seen ends the marks.
    bool predates(const QList<quint32>& listed);
    void clear() { m_gone.clear(); }

private:
    QSet<quint32> m_gone;
};
