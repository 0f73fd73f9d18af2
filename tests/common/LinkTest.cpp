#include "LinkTest.h"

#include "TestTime.h"

#include <FramePeer.h>

#include <DeviceCapabilities.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <TcpConnect.h>

#include <QElapsedTimer>
#include <QTest>

namespace LinkTest {

std::unique_ptr<TestAppDir> appWithLog()
{
    auto app = std::make_unique<TestAppDir>();
    FileLogger::instance();
    return app;
}

int waitMs()
{
    return TestTime::ms(30000);
}

namespace {

template<typename Spy> bool waitOn(Spy& spy, const std::function<bool()>& done, int timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeout)
        spy.wait(int(qMax<qint64>(1, timeout - clock.elapsed())));
    return done();
}

} // namespace

bool waitCount(QSignalSpy& spy, int count, int timeout)
{
    return waitOn(
        spy, [&] { return spy.count() >= count; }, timeout);
}

bool waitCount(QueuedSignalSpy& spy, int count, int timeout)
{
    return waitOn(
        spy, [&] { return spy.count() >= count; }, timeout);
}

bool waitFor(QSignalSpy& spy, const std::function<bool()>& done, int timeout)
{
    return waitOn(spy, done, timeout);
}

bool waitFor(QueuedSignalSpy& spy, const std::function<bool()>& done, int timeout)
{
    return waitOn(spy, done, timeout);
}

bool waitFor(QObject* sender, const char* signal, const std::function<bool()>& done, int timeout)
{
    QueuedSignalSpy spy(sender, signal);
    return waitFor(spy, done, timeout);
}

bool waitUntil(const std::function<bool()>& done, int timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeout)
        QTest::qWait(10);
    return done();
}

bool startSim(std::unique_ptr<InstrumentSim>& sim, std::unique_ptr<ProtocolManager>& pm)
{
    ProtocolManager::SourceMod = 0;
    sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
    if (!sim->listen(QHostAddress::LocalHost, 0))
        return false;
    pm = std::make_unique<ProtocolManager>();
    TestTime::scaleLinkClocks(*pm);
    pm->setHeartbeatInterval(TestTime::ms(100));
    pm->link()->setReconnectInterval(TestTime::ms(100));
    return true;
}

bool connectLink(ProtocolManager& pm, quint16 port)
{
    QSignalSpy net(&pm, &ProtocolManager::NetSuccess);
    pm.ConnectTcp(QStringLiteral("127.0.0.1"), port);
    return waitCount(net, 1) && net.at(0).at(0).toBool() && pm.isConnected();
}

bool connectLink(ProtocolManager& pm, std::unique_ptr<FramePeer>& peer)
{
    peer = std::make_unique<FramePeer>();
    if (!peer->listen())
        return false;
    QSignalSpy net(&pm, &ProtocolManager::NetSuccess);
    pm.ConnectTcp(QStringLiteral("127.0.0.1"), peer->port());
    return peer->waitConnected() && waitCount(net, 1) && pm.isConnected();
}

QList<InstrumentSim::Request> requestsOf(const InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd)
{
    QList<InstrumentSim::Request> out;
    for (const auto& r : sim.requests())
        if (r.type == quint8(type) && r.cmd == quint8(cmd))
            out << r;
    return out;
}

QList<QByteArray> payloads(const InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd)
{
    QList<QByteArray> out;
    for (const auto& r : requestsOf(sim, type, cmd))
        out << r.payload;
    return out;
}

bool waitRequest(InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd, InstrumentSim::Request* out, int timeout)
{
    QSignalSpy spy(&sim, &InstrumentSim::requestReceived);
    const bool seen = waitFor(
        spy, [&] { return !requestsOf(sim, type, cmd).isEmpty(); }, timeout);
    if (seen && out)
        *out = requestsOf(sim, type, cmd).first();
    return seen;
}

bool waitRequests(InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd, int count, int timeout)
{
    QSignalSpy spy(&sim, &InstrumentSim::requestReceived);
    return waitFor(
        spy, [&] { return requestsOf(sim, type, cmd).size() >= count; }, timeout);
}

void sendReport(InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd, const QByteArray& payload, quint8 card)
{
    sim.sendReport(quint8(type), quint8(cmd), payload, card);
}

QStringList logTexts(const QList<QList<QVariant>>& log, FileLogger::LogType type)
{
    QStringList out;
    for (const auto& args : log)
        if (args.at(0).value<FileLogger::LogType>() == type)
            out << args.at(1).toString();
    return out;
}

QStringList logMessages(const QList<QList<QVariant>>& log, FileLogger::LogType type)
{
    QStringList out;
    for (const QString& line : logTexts(log, type))
        out << line.mid(line.indexOf(QLatin1Char(']'), line.indexOf(QLatin1Char(']')) + 1) + 1);
    return out;
}

void resetRunState()
{
    RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
    DeviceCapabilities::clear();
}

} // namespace LinkTest
