#include "CollectHandler.h"

#include "InstrumentSim.h"
#include "RecordHandler.h"
#include "SimBytes.h"
#include "SystemHandler.h"

using SimBytes::get;
using SimBytes::put;

namespace {
enum Cmd : quint8 {
    StartRecord = 1,
    StopRecord = 2,
    StartPlayback = 3,
    StopPlayback = 4,
    Attenuation = 5,
    ErrorStop = 7,
};

enum State : quint8 { Idle = 1, Collecting = 2, Playback = 3, Forwarding = 4 };
} // namespace

CollectHandler::CollectHandler(InstrumentSim& sim)
    : MessageHandler(sim)
{
    m_progress.setInterval(100);
    QObject::connect(&m_progress, &QTimer::timeout, &m_sim, [this] { tick(); });
    // The error-report switch is looked at only while a PC is connected.
    m_errorPoll.setInterval(5);
    QObject::connect(&m_errorPoll, &QTimer::timeout, &m_sim, [this] { pollErrorReports(); });
    QObject::connect(&m_sim, &InstrumentSim::clientConnected, &m_sim, [this] {
        m_sinceErrorReport.start();
        m_lastErrorReportMs = 0;
        m_errorPoll.start();
    });
    QObject::connect(&m_sim, &InstrumentSim::clientDisconnected, &m_sim, [this] { m_errorPoll.stop(); });
    QObject::connect(&m_stateReports, &QTimer::timeout, &m_sim, [this] {
        if (m_sim.profile().state != Idle)
            m_sim.sendReport(1, 9, m_sim.system().deviceStatePayload());
    });
}

void CollectHandler::pollErrorReports()
{
    const int every = m_faults.errorReportEveryMs;
    const qint64 now = m_sinceErrorReport.elapsed();
    if (every <= 0) {
        m_lastErrorReportMs = now;
        return;
    }
    // One every `every` ms on average, also where that is shorter than the poll: those due since the
    // last poll go out together, a few at most, so that a PC that fell behind is not flooded at once.
    const int most = 8;
    int due = int(qMin<qint64>(most, (now - m_lastErrorReportMs) / every));
    m_lastErrorReportMs = due == most ? now : m_lastErrorReportMs + qint64(due) * every;
    while (due-- > 0)
        errorStop(1 + m_errorReports++ % 4);
}

void CollectHandler::handle(const SimFrame& request)
{
    DeviceProfile& p = m_sim.profile();
    const QByteArray& in = request.payload;
    if (request.cmd == Attenuation) {
        m_attChannel = quint8(get(in, 0, 1));
        m_attenuation = get(in, 1, 4);
        QByteArray out;
        put(out, m_attChannel, 1);
        put(out, m_attenuation, 4);
        m_sim.reply(request, Attenuation, out);
        return;
    }
    if (request.cmd < StartRecord || request.cmd > StopPlayback || m_faults.silent)
        return;
    const bool ok = !m_faults.refuse;
    switch (request.cmd) {
    case StartRecord: {
        m_lastStart = in;
        // Channel entries start at offset 16; the run only forwards when none of them records.
        const int count = int(get(in, 15, 1));
        bool forwardOnly = count > 0;
        for (int i = 0; i < count; ++i) {
            if (get(in, 16 + 4 * i + 3, 1) != 0 || get(in, 16 + 4 * i + 2, 1) == 0)
                forwardOnly = false;
        }
        if (ok && p.state == Idle) {
            // The state report carries the start's fields in the same order.
            p.runParameters = in;
            startRun(forwardOnly ? Forwarding : Collecting);
        }
        m_sim.reply(request, StartRecord, QByteArray(1, ok && p.state != Idle ? '\x01' : '\0'));
        break;
    }
    case StartPlayback: {
        m_playbackName = get(in, 0, 4);
        auto* records = m_sim.handler<RecordHandler>(2);
        const RecordHandler::SimRecord* record = records ? records->find(m_playbackName) : nullptr;
        const bool started = ok && record && p.state == Idle;
        if (started) {
            m_loops = get(in, 4, 4);
            const quint32 asked = get(in, 12, 4);
            m_loopSeconds = qMax<quint32>(1, asked != 0 ? asked : record->duration);
            // Name, loops, start, duration and trigger: the state report's playback block.
            p.runParameters = in.left(17);
            startRun(Playback);
        }
        m_sim.reply(request, StartPlayback, QByteArray(1, started ? '\x01' : '\0'));
        break;
    }
    case StopRecord:
    case StopPlayback: {
        if (ok)
            endRun();
        QByteArray out(1, ok ? '\x01' : '\0');
        m_sim.reply(request, request.cmd, out);
        break;
    }
    default:
        break;
    }
}

void CollectHandler::startRun(quint8 state)
{
    DeviceProfile& p = m_sim.profile();
    p.state = state;
    p.progress = 0;
    p.progressTimes = state == Playback && m_model.realTime ? 1 : 0;
    m_runClock.start();
    m_progress.start();
    if (m_faults.stateReportEveryMs > 0)
        m_stateReports.start(m_faults.stateReportEveryMs);
}

void CollectHandler::endRun()
{
    DeviceProfile& p = m_sim.profile();
    const quint8 was = p.state;
    p.state = Idle;
    m_progress.stop();
    m_stateReports.stop();
    if (was == Collecting && m_model.recordOnStop)
        addCollectedRecord();
    p.runParameters.clear();
}

void CollectHandler::tick()
{
    DeviceProfile& p = m_sim.profile();
    if (p.state == Idle) {
        m_progress.stop();
        return;
    }
    if (m_model.realTime) {
        const quint32 seconds = quint32(m_runClock.elapsed() / 1000);
        if (p.state != Playback) {
            p.progress = seconds;
            return;
        }
        const quint32 loop = seconds / m_loopSeconds;
        if (m_loops != 0 && loop >= m_loops) {
            p.progress = m_loopSeconds;
            p.progressTimes = m_loops;
            if (m_faults.endPlaybackOnOwn)
                endPlaybackOnOwn();
            return;
        }
        p.progress = seconds % m_loopSeconds;
        p.progressTimes = loop + 1;
        return;
    }
    ++p.progressTimes;
    if (p.progress < 100)
        ++p.progress;
    if (p.state == Playback && p.progress >= 100 && m_faults.endPlaybackOnOwn)
        endPlaybackOnOwn();
}

void CollectHandler::endPlaybackOnOwn()
{
    const quint32 progress = m_sim.profile().progress;
    endRun();
    QByteArray out(1, '\x01');
    put(out, progress, 4);
    m_sim.sendReport(3, StopPlayback, out);
}

void CollectHandler::addCollectedRecord()
{
    auto* records = m_sim.handler<RecordHandler>(2);
    const DeviceProfile& p = m_sim.profile();
    const QByteArray& in = p.runParameters;
    if (!records || in.size() < 16)
        return;
    RecordHandler::SimRecord r;
    r.name = get(in, 0, 4);
    r.startTime = r.name;
    r.duration = quint32(qMax<qint64>(1, (m_runClock.elapsed() + 500) / 1000));
    r.bit = qint8(get(in, 5, 1));
    const int count = int(get(in, 15, 1));
    int at = 16;
    for (int i = 0; i < count && at + 4 <= in.size(); ++i, at += 4) {
        if (get(in, at + 3, 1) != 0)
            r.bands << int(get(in, at, 1));
    }
    if (r.bands.isEmpty())
        return; // a run that only forwarded leaves no record
    r.remark = QString::fromUtf8(in.mid(at));
    r.bandwidth = p.devConfig.values.value(QStringLiteral("Bandwidth/Bandwidth")).toUInt();
    r.sampleRate = p.devConfig.values.value(QStringLiteral("SampleRate/SampleRate")).toUInt();
    r.size = RecordHandler::sizeMiB(r, p.boards.size());
    records->add(r);
}

void CollectHandler::errorStop(quint32 reason)
{
    endRun();
    QByteArray out;
    put(out, reason, 4);
    m_sim.sendReport(3, ErrorStop, out);
}
