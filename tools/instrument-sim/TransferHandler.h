#pragma once

#include "MessageHandler.h"

#include <QElapsedTimer>
#include <QList>

// Message type 4: per-card upload and download starts and stops, and the transfer heartbeats,
// whose arrival times are kept so a test can see their period. A start is refused (result 1)
// while the instrument is busy with another run; `uploadResult` and `downloadAccepted` set the
// answer otherwise.
class TransferHandler : public MessageHandler
{
public:
    struct Start
    {
        quint8 cmd = 0;
        quint8 card = 0;
        quint32 name = 0;
        quint32 blockSize = 0;
        quint32 firstBlock = 0; // upload only
        bool freshStart = false; // download only
        quint32 address = 0;
        quint16 port = 0;
        QByteArray record;       // download only: the description that follows
    };

    explicit TransferHandler(InstrumentSim& sim);

    quint8 type() const override { return 4; }
    void handle(const SimFrame& request) override;

    quint8 uploadResult = 0;     // 0 accepted, 1 failed, 2 record not found
    bool downloadAccepted = true;
    bool silentAcks = false;     // transfer heartbeats stay unanswered

    const QList<Start>& starts() const { return m_starts; }
    // Milliseconds since the handler was made, one per transfer heartbeat received.
    const QList<qint64>& ackTimes() const { return m_ackTimes; }

private:
    QList<Start> m_starts;
    QList<qint64> m_ackTimes;
    QElapsedTimer m_clock;
};
