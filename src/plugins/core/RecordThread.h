#pragma once

#include "core_global.h"

#include <QList>
#include <QThread>

class RecordAssist;

// The worker of a record-list search: asks for the records one at a time by emitting
// SearchRecord (queued to RecordAssist in the GUI thread) and waits, polling every millisecond,
// until that record is answered or the search ends; a record unanswered for a step time is asked
// for once more each step. The names are a snapshot taken when the worker is made.
class CORE_EXPORT RecordThread : public QThread
{
    Q_OBJECT
public:
    RecordThread(RecordAssist* assist, const QList<uint>& names, int stepMs);

signals:
    void SearchRecord(uint name);

protected:
    void run() override;

private:
    RecordAssist* m_assist;
    QList<uint> m_names;
    int m_stepMs;
};
