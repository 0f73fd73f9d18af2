#pragma once

#include "DeviceProfile.h"
#include "HostileSender.h"
#include "SimFrame.h"
#include "UnaskedReplies.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <map>
#include <memory>

class Db9Sender;
class MessageHandler;
class QTcpSocket;
class ReceiverRelayPeer;
class ReceiverStream;
class SpectrumSender;
class SystemHandler;

// A simulated instrument on the control port. It logs every request it receives, answers it
// through the handler of its message type from the device profile, and has one switch per
// fault a real link shows. It runs in the thread that creates it. A further message type gets a
// MessageHandler of its own, registered in the constructor.
//
// A preset chooses the whole instrument: Default is the one `scripts/run` shows a user (values
// in Hz, a believable band table and records, runs at the pace of the clock, a live receiver);
// Test keeps the fixed, odd values and the fast steps that many tests pin. The values of both
// live in SimPresets.
class InstrumentSim : public QObject
{
    Q_OBJECT
public:
    enum class Preset { Default, Test };

    struct Request
    {
        quint8 type = 0;
        quint8 cmd = 0;
        quint8 card = 0;
        quint8 source = 0;
        quint8 target = 0;
        quint16 sequence = 0;
        QByteArray payload;
        bool crcGood = true;
    };

    struct Faults
    {
        int skipHeartbeats = 0;      // withhold the next k heartbeat replies; negative: all of them
        bool silent = false;         // take requests, answer nothing
        bool splitBytes = false;     // write every reply one byte at a time
        int coalesce = 0;            // hold replies until this many are queued, then write them at once
        bool badCrc = false;         // replies carry a wrong CRC
        int lyingLength = 0;         // replies state this many payload bytes more than they carry
        bool shortByOne = false;     // replies other than heartbeats lose their last payload byte
        int closeAfterRequests = -1; // drop the connection once this many more requests came
        // Once: an unasked state report (System 9) goes out just before the reply to the next
        // System request of this command, as an instrument whose state changes then sends one.
        // 0: none.
        quint8 stateReportBefore = 0;
        // Hostile: after each heartbeat reply, this many pieces of junk (random and mutated frames
        // of every type with lying counts and lengths, cut frames, bad CRCs, garbage between
        // them; see HostileSender), then filler that leaves the PC's receive buffer empty, so the
        // heartbeat replies themselves still arrive right. 0: off.
        int hostile = 0;
        // Hostile too: after each heartbeat reply (and its junk), this many well-formed replies
        // nobody asked for, of every kind the PC parses in turn (see UnaskedReplies). 0: off.
        int unasked = 0;
        // Replies of a kind (message type << 8 | command) go out this many ms late, each on its
        // own, as an instrument that is slow to confirm what it was asked to do. A reply that
        // comes due after the link dropped is not sent.
        QHash<quint16, int> lateMs;
        // Requests of a kind are acted on, and answered, this many ms after they came, as an
        // instrument busy with something else: a check asked meanwhile finds them not yet done.
        // One that comes due after the link dropped is dropped.
        QHash<quint16, int> slowMs;
        // Each reply of a kind is held until the next request of that kind arrives, then sent
        // right after it, as the late answer that meets the next request: the first k of them.
        QHash<quint16, int> holdUntilNext;
        // Requests of a kind lost on their way: the next k of them are logged but neither acted
        // on nor answered.
        QHash<quint16, int> loseRequests;
        // Each of the next k replies of a kind goes out twice, as an instrument that repeats an
        // answer.
        QHash<quint16, int> repeatReplies;
        // The next k replies of a kind go out without their payload, which no parser takes.
        QHash<quint16, int> malformedReplies;
        // The next k replies of a kind are never sent, though their requests were acted on: an
        // answer lost on its way back.
        QHash<quint16, int> unsentReplies;
        // Before one of the four counted switches above acts on a kind, this many of the kind's
        // requests (lose) or replies (the others) pass untouched: what the PC asks as the link
        // comes up is answered, a later request of the kind (a check's) is not. Keyed by
        // `passKey`.
        QHash<quint32, int> passFirst;
    };
    enum class Counted : quint8 { Lose, Repeat, Malformed, Unsent };
    static quint32 passKey(Counted counted, quint16 kind) { return quint32(counted) << 16 | kind; }
    // Sets a per-kind switch from text "lose|repeat|malformed|unanswered:TYPE:CMD[:COUNT[:AFTER]]"
    // (count 1 when left out; AFTER of the kind pass first), "late:TYPE:CMD:MS" (every reply of
    // the kind that many ms late) or "slow:TYPE:CMD:MS" (every request of the kind acted on and
    // answered that many ms after it came); false for any other text.
    bool setKindFault(const QString& text);

    explicit InstrumentSim(Preset preset = Preset::Default, QObject* parent = nullptr);
    ~InstrumentSim() override;

    bool listen(const QHostAddress& address, quint16 port);
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }
    // Refusing stops listening, so connection attempts are turned away; ending it listens again.
    void setRefusing(bool refusing);
    // Drops the connection to the PC, as an instrument that restarts does.
    void closeConnection();
    bool hasConnection() const;
    int connectionCount() const { return m_connections; }

    DeviceProfile& profile() { return m_profile; }
    Faults& faults() { return m_faults; }
    SystemHandler& system() { return *m_system; }
    // The receiver relay the instrument dials back, and its spectrum stream (both driven by the
    // type-6 handler).
    ReceiverRelayPeer& relay() { return *m_relay; }
    SpectrumSender& spectrum() { return *m_spectrum; }
    // The receiver behind the relay (live in the default preset) and the DB9 output port.
    ReceiverStream& receiver() { return *m_receiver; }
    Db9Sender& db9() { return *m_db9; }
    // Pieces of junk sent in hostile mode so far.
    int hostileItemsSent() const { return m_hostile.itemsSent(); }
    // Replies sent in the unasked mode so far.
    int unaskedSent() const { return m_unasked.sent(); }
    // The PC's address on the control link; null while there is none.
    QHostAddress peerAddress() const;
    // The handler of a message type, or null.
    template<typename T> T* handler(quint8 type) const
    {
        auto it = m_handlers.find(type);
        return it == m_handlers.end() ? nullptr : dynamic_cast<T*>(it->second.get());
    }
    // The handler of the given class (each serves one message type), or null.
    template<typename T> T* handler() const
    {
        for (const auto& h : m_handlers)
            if (auto* t = dynamic_cast<T*>(h.second.get()))
                return t;
        return nullptr;
    }

    const QList<Request>& requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    // A reply to `request`: same card byte and sequence number, the given command and payload.
    void reply(const SimFrame& request, quint8 cmd, const QByteArray& payload);
    // A frame the instrument sends on its own.
    void sendReport(quint8 type, quint8 cmd, const QByteArray& payload, quint8 card = 0);
    // Writes whatever coalescing holds back.
    void flush();

signals:
    void requestReceived(const InstrumentSim::Request& request);
    void clientConnected();
    void clientDisconnected();

private:
    void onNewConnection();
    void onReadyRead();
    void dispatch(const SimFrame& frame);
    // Hands a request to the handler of its type (the answers held for its kind first).
    void act(const SimFrame& frame);
    void write(SimFrame frame);
    void writeBytes(const QByteArray& bytes);
    // Uses up one of a kind's count of a counted switch once its passes are used up; false while
    // one passes or none is left.
    bool takeOne(Counted counted, quint16 kind);
    QHash<quint16, int>& countsOf(Counted counted);
    static bool takeOne(QHash<quint16, int>& counts, quint16 kind);

    QTcpServer m_server;
    QHostAddress m_address;
    quint16 m_port = 0;
    QPointer<QTcpSocket> m_socket;
    SimFrameReader m_reader;
    int m_connections = 0;
    DeviceProfile m_profile;
    Faults m_faults;
    QList<Request> m_requests;
    QHash<quint16, QList<SimFrame>> m_heldUntilNext; // replies held by holdUntilNext, by kind
    QByteArray m_held;
    int m_heldCount = 0;
    HostileSender m_hostile;
    UnaskedReplies m_unasked;
    std::map<quint8, std::unique_ptr<MessageHandler>> m_handlers;
    SystemHandler* m_system = nullptr;
    ReceiverRelayPeer* m_relay = nullptr;
    SpectrumSender* m_spectrum = nullptr;
    ReceiverStream* m_receiver = nullptr;
    Db9Sender* m_db9 = nullptr;
};

Q_DECLARE_METATYPE(InstrumentSim::Request)
