#pragma once

#include "MessageHandler.h"

#include <QByteArray>
#include <QTimer>

// Message type 3: collection, forwarding and playback as a running state of the instrument.
// The state and its progress live in the device profile, where the System handler reports them
// (state query, progress query). A playback advances one percent per tick and, when
// `endPlaybackOnOwn` is set, ends by itself at 100 with a stop report carrying its progress.
class CollectHandler : public MessageHandler
{
public:
    struct Faults
    {
        bool refuse = false;          // start and stop replies carry 0 (failure)
        bool silent = false;          // start and stop requests stay unanswered
        bool endPlaybackOnOwn = false;
    };

    explicit CollectHandler(InstrumentSim& sim);

    quint8 type() const override { return 3; }
    void handle(const SimFrame& request) override;

    // The instrument stops by itself (1 disk full, 2 loop storage, 3 no RF, other) and says why.
    void errorStop(quint32 reason);

    Faults& faults() { return m_faults; }
    QTimer& progressTimer() { return m_progress; }
    QByteArray lastStart() const { return m_lastStart; }
    quint32 playbackName() const { return m_playbackName; }
    quint8 attenuationChannel() const { return m_attChannel; }
    quint32 attenuation() const { return m_attenuation; }

private:
    void tick();

    Faults m_faults;
    QTimer m_progress;
    QByteArray m_lastStart;
    quint32 m_playbackName = 0;
    quint8 m_attChannel = 0;
    quint32 m_attenuation = 0;
};
