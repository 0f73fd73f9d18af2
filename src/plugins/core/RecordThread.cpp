#include "RecordThread.h"

#include "RecordAssist.h"

#include <QDateTime>

RecordThread::RecordThread(RecordAssist* assist, const QList<uint>& names, int stepMs)
    : m_assist(assist)
    , m_names(names)
    , m_stepMs(stepMs)
{}

void RecordThread::run()
{
    for (uint name : qAsConst(m_names)) {
        m_assist->m_waiting = true;
        qint64 t0 = QDateTime::currentMSecsSinceEpoch();
        emit SearchRecord(name);
        while (m_assist->m_waiting && m_assist->m_searching) {
            QThread::msleep(1);
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (now - t0 > m_stepMs) {
                t0 = now;
                emit SearchRecord(name);
            }
        }
        if (!m_assist->m_searching)
            break;
    }
}
