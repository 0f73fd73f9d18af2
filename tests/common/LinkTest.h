#pragma once

// Helpers shared by the tests that run the control link against a peer on loopback: the
// simulated instrument or a FramePeer.

#include <FileLogger.h>
#include <InstrumentSim.h>
#include <MsgHeader.h>
#include <QueuedSignalSpy.h>
#include <TestAppDir.h>

#include <QList>
#include <QSignalSpy>
#include <QStringList>

#include <functional>
#include <memory>

class FramePeer;
class ProtocolManager;

namespace LinkTest {

// A private application folder for the test, with the logger started in it so that its lines
// land there and tests can listen to them.
std::unique_ptr<TestAppDir> appWithLog();

// Generous, for a loaded machine: a wait that succeeds returns as soon as it may. 30 s at the
// test time scale.
int waitMs();

// Waits until the spy has seen `count` emissions.
bool waitCount(QSignalSpy& spy, int count, int timeout = waitMs());
bool waitCount(QueuedSignalSpy& spy, int count, int timeout = waitMs());

// Waits until `done` holds, looking again at each emission of the spy's signal.
bool waitFor(QSignalSpy& spy, const std::function<bool()>& done, int timeout = waitMs());
bool waitFor(QueuedSignalSpy& spy, const std::function<bool()>& done, int timeout = waitMs());
// The same for a signal given in SIGNAL() form.
bool waitFor(QObject* sender, const char* signal, const std::function<bool()>& done, int timeout = waitMs());
// Waits until `done` holds, running the events and looking again every few ms. It fails at its
// time-out, where QTRY_VERIFY_WITH_TIMEOUT waits twice as long again before it fails.
bool waitUntil(const std::function<bool()>& done, int timeout = waitMs());

// A simulated instrument of the fixed test preset listening on 127.0.0.1, and a link of the
// test's own to it, not yet opened, with 100 ms heartbeats and reconnects so that drops and
// reconnects happen within a test's patience.
bool startSim(std::unique_ptr<InstrumentSim>& sim, std::unique_ptr<ProtocolManager>& pm);

// Opens the link to 127.0.0.1:port and waits until it is up.
bool connectLink(ProtocolManager& pm, quint16 port);
inline bool connectLink(ProtocolManager& pm, const InstrumentSim& sim)
{
    return connectLink(pm, sim.port());
}
// A new FramePeer listening on 127.0.0.1, with the link opened to it and accepted.
bool connectLink(ProtocolManager& pm, std::unique_ptr<FramePeer>& peer);

// The requests of the type and command the simulator received, in order.
QList<InstrumentSim::Request> requestsOf(const InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd);

// Their payloads.
QList<QByteArray> payloads(const InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd);

// Waits for the simulator to receive a request of the type and command; returns it.
bool waitRequest(InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd, InstrumentSim::Request* out = nullptr,
                 int timeout = waitMs());
// Waits until the simulator has received `count` requests of the type and command.
bool waitRequests(InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd, int count, int timeout = waitMs());

// Has the simulator send a frame of its own, as an instrument reports unasked.
void sendReport(InstrumentSim& sim, Msg_Type type, Msg_Cmd cmd, const QByteArray& payload, quint8 card = 0);

// The texts logged at one level, from a spy on FileLogger::MessageLogged.
QStringList logTexts(const QList<QList<QVariant>>& log, FileLogger::LogType type);
// The same without the time and level in brackets that start each line.
QStringList logMessages(const QList<QList<QVariant>>& log, FileLogger::LogType type);

// Puts the process-wide run state back as at start: the instrument idle, no capabilities
// known. Tests that drive the link change both.
void resetRunState();

} // namespace LinkTest
