#pragma once

#include "MessageHandler.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

// Message type 3: collection, forwarding and playback as a running state of the instrument.
// The state and its progress live in the device profile, where the System handler reports them
// (state query, progress query) together with the parameters of the run.
//
// In step mode a run advances one percent per tick up to 100; a playback with `endPlaybackOnOwn`
// ends by itself at 100 with a stop report carrying its progress. In real-time mode a collection
// counts the seconds since its start, and a playback its position within the loop (seconds) and
// the loop number from 1; a playback with a loop count ends by itself after its last loop.
class CollectHandler : public MessageHandler
{
public:
    struct Faults
    {
        bool refuse = false;           // start and stop replies carry 0 (failure)
        bool silent = false;           // start and stop requests stay unanswered
        bool endPlaybackOnOwn = false; // a playback ends by itself with a stop report
        // Keep reporting that the instrument stopped on its own (reasons 1 to 4 in turn), one
        // report per this many ms while a PC is connected, whatever the PC answers; 0: never.
        int errorReportEveryMs = 0;
        // While a run goes, an unasked state report (System 9) this often, as an instrument that
        // tells its state on its own every second; set before the start. 0: never.
        int stateReportEveryMs = 0;
    };

    // How the instrument runs (not faults): the default profile turns both on.
    struct Model
    {
        bool realTime = false;     // progress in seconds at the pace of the clock (else one step per tick)
        bool recordOnStop = false; // a collection that ends adds its record to the catalogue
    };

    explicit CollectHandler(InstrumentSim& sim);

    quint8 type() const override { return 3; }
    void handle(const SimFrame& request) override;

    // The instrument stops by itself (1 disk full, 2 loop storage, 3 no RF, other) and says why.
    void errorStop(quint32 reason);

    Faults& faults() { return m_faults; }
    Model& model() { return m_model; }
    QTimer& progressTimer() { return m_progress; }
    QByteArray lastStart() const { return m_lastStart; }
    quint32 playbackName() const { return m_playbackName; }
    quint8 attenuationChannel() const { return m_attChannel; }
    quint32 attenuation() const { return m_attenuation; }

private:
    void tick();
    void startRun(quint8 state);
    void endRun();
    void endPlaybackOnOwn();
    void addCollectedRecord();
    void pollErrorReports();

    Faults m_faults;
    Model m_model;
    QTimer m_progress;
    QElapsedTimer m_runClock;
    quint32 m_loops = 0;       // playback: loops asked for, 0 without limit
    quint32 m_loopSeconds = 0; // playback: length of one loop
    QTimer m_errorPoll;
    QTimer m_stateReports;
    QElapsedTimer m_sinceErrorReport;
    qint64 m_lastErrorReportMs = 0; // on m_sinceErrorReport's clock
    quint32 m_errorReports = 0;
    QByteArray m_lastStart;
    quint32 m_playbackName = 0;
    quint8 m_attChannel = 0;
    quint32 m_attenuation = 0;
};
