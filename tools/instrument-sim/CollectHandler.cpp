#include "CollectHandler.h"

#include "InstrumentSim.h"
#include "RecordHandler.h"
#include "SimBytes.h"

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
            p.state = forwardOnly ? Forwarding : Collecting;
            p.progress = 0;
            p.progressTimes = 0;
            m_progress.start();
        }
        m_sim.reply(request, StartRecord, QByteArray(1, ok && p.state != Idle ? '\x01' : '\0'));
        break;
    }
    case StartPlayback: {
        m_playbackName = get(in, 0, 4);
        auto* records = m_sim.handler<RecordHandler>(2);
        const bool known = records && records->find(m_playbackName);
        const bool started = ok && known && p.state == Idle;
        if (started) {
            p.state = Playback;
            p.progress = 0;
            p.progressTimes = 0;
            m_progress.start();
        }
        m_sim.reply(request, StartPlayback, QByteArray(1, started ? '\x01' : '\0'));
        break;
    }
    case StopRecord:
    case StopPlayback: {
        if (ok) {
            p.state = Idle;
            m_progress.stop();
        }
        QByteArray out(1, ok ? '\x01' : '\0');
        m_sim.reply(request, request.cmd, out);
        break;
    }
    default:
        break;
    }
}

void CollectHandler::tick()
{
    DeviceProfile& p = m_sim.profile();
    if (p.state == Idle) {
        m_progress.stop();
        return;
    }
    ++p.progressTimes;
    if (p.progress < 100)
        ++p.progress;
    if (p.state == Playback && p.progress >= 100 && m_faults.endPlaybackOnOwn) {
        p.state = Idle;
        m_progress.stop();
        QByteArray out(1, '\x01');
        put(out, p.progress, 4);
        m_sim.sendReport(3, StopPlayback, out);
    }
}

void CollectHandler::errorStop(quint32 reason)
{
    m_sim.profile().state = Idle;
    m_progress.stop();
    QByteArray out;
    put(out, reason, 4);
    m_sim.sendReport(3, ErrorStop, out);
}
