#include "UnaskedReplies.h"

#include "InstrumentSim.h"
#include "RecordHandler.h"
#include "SimBytes.h"
#include "SystemHandler.h"

#include <QDataStream>
#include <QStringList>

using SimBytes::put;

namespace {
QByteArray u32(quint32 v)
{
    QByteArray out;
    put(out, v, 4);
    return out;
}

QByteArray byte(quint8 b)
{
    return QByteArray(1, char(b));
}

// A little-endian Qt stream, as the device-configuration store answers.
template<typename... Items> QByteArray stream(const Items&... items)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    (s << ... << items);
    return out;
}
} // namespace

QList<UnaskedReplies::Reply> UnaskedReplies::all(InstrumentSim& sim)
{
    SystemHandler& system = sim.system();
    auto* records = sim.handler<RecordHandler>(2);
    QByteArray list = u32(records ? quint32(records->records().size()) : 0);
    RecordHandler::SimRecord first;
    if (records) {
        for (const auto& r : records->records()) {
            put(list, r.name, 4);
            put(list, r.stamp, 4);
        }
        if (!records->records().isEmpty())
            first = records->records().first();
    }
    QByteArray spectrum = byte(1) + u32(1);
    put(spectrum, 47001, 2);
    QByteArray amplifier = byte(0) + QByteArray("\x10\x00\x00", 3);
    put(amplifier, 1, 2);
    return {
        {QStringLiteral("heartbeat reply"), 1, 1, system.heartbeatPayload()},
        {QStringLiteral("extended heartbeat reply"), 1, 0x81, QByteArray("[Battery]\nCharging=false\nPower=80\n\n")},
        {QStringLiteral("time request"), 1, 2, u32(0)},
        {QStringLiteral("time result"), 1, 2, byte(1) + u32(1704110400)},
        {QStringLiteral("automatic time result"), 1, 3, byte(1)},
        {QStringLiteral("device information"), 1, 4, system.deviceInfoPayload()},
        {QStringLiteral("disk volume"), 1, 5, system.diskVolumePayload()},
        {QStringLiteral("address change result"), 1, 6, byte(1)},
        {QStringLiteral("progress"), 1, 7, u32(0) + u32(0)},
        {QStringLiteral("device state"), 1, 8, system.deviceStatePayload()},
        {QStringLiteral("state report"), 1, 9, system.deviceStatePayload()},
        {QStringLiteral("custom band result"), 1, 10, byte(0)},
        {QStringLiteral("custom bands"), 1, 11, system.customFreqPayload()},
        {QStringLiteral("configuration values"), 1, 12, stream(qint8(0), QStringList{QStringLiteral("3")})},
        {QStringLiteral("configuration set result"), 1, 12, stream(qint8(1), qint32(1))},
        {QStringLiteral("terminal error"), 1, 13, QByteArray("[card 1] reply timed out")},
        {QStringLiteral("state reset result"), 1, 14, byte(1)},
        {QStringLiteral("self-check result"), 1, 15, byte(0) + u32(0)},
        {QStringLiteral("plug-in versions"), 1, 17, system.pluginVersionPayload()},
        {QStringLiteral("record list"), 2, 1, list},
        {QStringLiteral("delete-all result"), 2, 2, byte(1)},
        {QStringLiteral("record information"), 2, 3, byte(0) + RecordHandler::streamForm(first)},
        {QStringLiteral("delete result"), 2, 4, byte(0)},
        {QStringLiteral("note change result"), 2, 5, byte(0)},
        {QStringLiteral("extended record information"), 2, 0x13, byte(0) + RecordHandler::textForm(first)},
        {QStringLiteral("collection start result"), 3, 1, byte(1)},
        {QStringLiteral("collection stop result"), 3, 2, byte(1)},
        {QStringLiteral("playback start result"), 3, 3, byte(1)},
        {QStringLiteral("playback stop result"), 3, 4, byte(1)},
        {QStringLiteral("attenuation result"), 3, 5, byte(0xFF) + u32(7)},
        {QStringLiteral("error stop"), 3, 7, u32(1)},
        {QStringLiteral("upload start result"), 4, 1, byte(0)},
        {QStringLiteral("upload stop result"), 4, 3, byte(1)},
        {QStringLiteral("download start result"), 4, 4, byte(1)},
        {QStringLiteral("extended download start result"), 4, 0x14, byte(1)},
        {QStringLiteral("download stop result"), 4, 6, byte(1)},
        {QStringLiteral("upload heartbeat answer"), 4, 7, byte(1)},
        {QStringLiteral("download heartbeat answer"), 4, 8, byte(1)},
        {QStringLiteral("calibration values"), 5, 10, u32(1) + u32(2) + u32(3)},
        {QStringLiteral("record bandwidth"), 6, 2, u32(40000000)},
        {QStringLiteral("spectrum band"), 6, 4, spectrum},
        {QStringLiteral("spectrum switch result"), 6, 5, QByteArray("\x99\xB7", 2)},
        {QStringLiteral("amplifier status"), 6, 6, amplifier},
        {QStringLiteral("amplifier result"), 6, 6, byte(1)},
    };
}

UnaskedReplies::Reply UnaskedReplies::next(InstrumentSim& sim)
{
    const QList<Reply> replies = all(sim);
    return replies.at(m_sent++ % replies.size());
}
