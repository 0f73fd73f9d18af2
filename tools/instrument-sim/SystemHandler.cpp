#include "SystemHandler.h"

#include "InstrumentSim.h"

#include <QTimer>

namespace {
void put(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

quint32 get32(const QByteArray& in, int at)
{
    if (in.size() < at + 4)
        return 0;
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | quint8(in.at(at + i));
    return v;
}

void putVersion(QByteArray& out, const DeviceProfile::Version& v)
{
    put(out, quint8(v.major), 1);
    put(out, quint8(v.minor), 1);
    put(out, quint16(v.build), 2);
    put(out, quint32(v.revision), 4);
}

enum Cmd : quint8 {
    HeartBeat = 1,
    SetTime = 2,
    AutoSetTime = 3,
    DeviceInfo = 4,
    DiskVolume = 5,
    SetIP = 6,
    Progress = 7,
    DeviceState = 8,
    DeviceStateReport = 9,
    SetCustomFreq = 10,
    DevConfig = 12,
    DeviceCheck = 15,
    DeviceUpdate = 16,
    PluginVersion = 17,
    HeartBeatEx = 0x81,
};
} // namespace

void SystemHandler::handle(const SimFrame& request)
{
    DeviceProfile& p = m_sim.profile();
    InstrumentSim::Faults& faults = m_sim.faults();
    if (faults.stateReportBefore != 0 && request.cmd == faults.stateReportBefore) {
        faults.stateReportBefore = 0;
        m_sim.sendReport(1, DeviceStateReport, deviceStatePayload());
    }
    switch (request.cmd) {
    case HeartBeat:
    case HeartBeatEx:
        if (faults.skipHeartbeats != 0) {
            if (faults.skipHeartbeats > 0)
                --faults.skipHeartbeats;
            return;
        }
        if (request.cmd == HeartBeat) {
            m_sim.reply(request, HeartBeat, heartbeatPayload());
        } else {
            const QString text = QStringLiteral("[Battery]\nCharging=%1\nPower=%2\n\n[Time]\nSource=%3\n\n")
                                     .arg(p.charging ? QStringLiteral("true") : QStringLiteral("false"))
                                     .arg(p.power)
                                     .arg(p.externalClock ? QStringLiteral("true") : QStringLiteral("false"));
            m_sim.reply(request, HeartBeatEx, text.toUtf8());
        }
        return;
    case SetTime:
        p.clock = get32(request.payload, 0);
        m_sim.reply(request, SetTime, QByteArray(1, '\x01') + request.payload.left(4));
        return;
    case AutoSetTime:
        p.autoTime = !request.payload.isEmpty() && request.payload.at(0) != 0;
        m_sim.reply(request, AutoSetTime, QByteArray(1, '\x01'));
        return;
    case DeviceInfo:
        m_sim.reply(request, DeviceInfo, deviceInfoPayload());
        return;
    case DiskVolume:
        m_sim.reply(request, DiskVolume, diskVolumePayload());
        return;
    case SetIP: {
        const bool ok = request.payload.size() == 12 && get32(request.payload, 0) != m_faults.refuseAddress;
        if (ok) {
            p.address = get32(request.payload, 0);
            p.netmask = get32(request.payload, 4);
            p.gateway = get32(request.payload, 8);
        }
        const QByteArray result =
            QByteArray(1, ok ? '\x01' : '\x00') + (m_faults.echoAddress ? request.payload.left(4) : QByteArray());
        if (m_faults.reverseSetIP > 0) {
            m_heldSetIP.prepend({request, result});
            if (m_heldSetIP.size() < m_faults.reverseSetIP)
                return;
            for (const auto& held : qAsConst(m_heldSetIP))
                replyLate(held.first, SetIP, held.second);
            m_heldSetIP.clear();
            return;
        }
        replyLate(request, SetIP, result);
        return;
    }
    case Progress: {
        QByteArray out;
        put(out, p.progress, 4);
        put(out, p.progressTimes, 4);
        m_sim.reply(request, Progress, out);
        return;
    }
    case DeviceState:
        m_sim.reply(request, DeviceState, deviceStatePayload());
        return;
    case SetCustomFreq:
        if (request.payload.size() == 5) {
            const int band = quint8(request.payload.at(0));
            while (p.customFreqs.size() <= band)
                p.customFreqs << 0;
            p.customFreqs[band] = get32(request.payload, 1);
        }
        m_sim.reply(request, SetCustomFreq, QByteArray(1, request.payload.size() == 5 ? '\x01' : '\x00'));
        return;
    case DevConfig:
        p.devConfig.handle(m_sim, request);
        return;
    case DeviceCheck:
        // Cards are numbered from 1 here as in the transfer commands.
        for (int i = 0; i < p.boards.size(); ++i) {
            QByteArray out(1, char(i + 1));
            put(out, p.boards.at(i).selfCheckError, 4);
            replyLate(request, DeviceCheck, out);
        }
        return;
    case DeviceUpdate:
        p.lastUpdateText = request.payload;
        return; // the instrument answers an update notice with nothing
    case PluginVersion:
        m_sim.reply(request, PluginVersion, pluginVersionPayload());
        return;
    default:
        return;
    }
}

void SystemHandler::replyLate(const SimFrame& request, quint8 cmd, const QByteArray& payload)
{
    if (m_faults.lateMs <= 0) {
        m_sim.reply(request, cmd, payload);
        return;
    }
    InstrumentSim* sim = &m_sim;
    QTimer::singleShot(m_faults.lateMs, sim, [sim, request, cmd, payload] { sim->reply(request, cmd, payload); });
}

QByteArray SystemHandler::heartbeatPayload() const
{
    const DeviceProfile& p = m_sim.profile();
    QByteArray out;
    out.append(char(p.heartbeatAccepted ? 1 : 0));
    out.append(char(p.sourceId));
    out.append(char(p.charging));
    out.append(char(p.power));
    return out;
}

QByteArray SystemHandler::deviceInfoPayload() const
{
    const DeviceProfile& p = m_sim.profile();
    QByteArray out;
    put(out, p.channels, 1);
    putVersion(out, p.software);
    put(out, quint8(p.boards.size()), 1);
    for (const auto& b : p.boards) {
        putVersion(out, b.software);
        put(out, quint32(b.hardware), 4);
        putVersion(out, b.fpga);
    }
    for (quint32 v : p.values)
        put(out, v, 4);
    QByteArray id = p.identifier.left(18);
    id += QByteArray(18 - id.size(), ' ');
    out += id;
    out.append(char(p.autoTime ? 1 : 0));
    return out;
}

QByteArray SystemHandler::diskVolumePayload() const
{
    QByteArray out;
    for (const auto& b : m_sim.profile().boards) {
        put(out, b.diskTotalMb, 4);
        put(out, b.diskFreeMb, 4);
    }
    return out;
}

QByteArray SystemHandler::deviceStatePayload() const
{
    const DeviceProfile& p = m_sim.profile();
    QByteArray out;
    put(out, p.state, 1);
    put(out, p.stateValue, 4);
    const bool running = p.state == 2 || p.state == 3 || p.state == 4;
    if (running && !p.runParameters.isEmpty()) {
        out += p.runParameters;
        return out;
    }
    switch (p.state) {
    case 2:
    case 4:
        put(out, 1700000000u, 4); // record name
        out.append(QByteArray::fromHex("000C00"));
        put(out, 0, 4);
        put(out, 0, 4);
        out.append(char(1));
        out.append(QByteArray::fromHex("01000101"));
        out.append("sim");
        break;
    case 3:
        for (quint32 v : {1700000000u, 1u, 0u, 60u})
            put(out, v, 4);
        out.append(char(0));
        break;
    case 7:
        for (quint32 v : {1u, 2u, 3u, 4u})
            put(out, v, 4);
        break;
    default:
        break;
    }
    return out;
}

QByteArray SystemHandler::customFreqPayload() const
{
    const DeviceProfile& p = m_sim.profile();
    QByteArray out(1, char(p.customFreqs.size()));
    for (quint32 f : p.customFreqs)
        put(out, f, 4);
    return out;
}

QByteArray SystemHandler::pluginVersionPayload() const
{
    // A little-endian Qt stream list: u32 count, then per text its UTF-16LE byte length and bytes.
    const QStringList& list = m_sim.profile().pluginVersions;
    QByteArray out;
    put(out, quint32(list.size()), 4);
    for (const QString& text : list) {
        put(out, quint32(text.size() * 2), 4);
        for (QChar c : text)
            put(out, c.unicode(), 2);
    }
    return out;
}
