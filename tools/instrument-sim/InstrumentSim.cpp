#include "InstrumentSim.h"

#include "CollectHandler.h"
#include "ConfigHandler.h"
#include "Db9Sender.h"
#include "ExtendHandler.h"
#include "ReceiverRelayPeer.h"
#include "ReceiverStream.h"
#include "RecordHandler.h"
#include "SimPresets.h"
#include "SpectrumSender.h"
#include "SystemHandler.h"
#include "TransferHandler.h"

#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

InstrumentSim::InstrumentSim(Preset preset, QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<InstrumentSim::Request>();
    m_relay = new ReceiverRelayPeer(this);
    m_spectrum = new SpectrumSender(this);
    m_receiver = new ReceiverStream(*m_relay, this);
    m_db9 = new Db9Sender(this);
    auto system = std::make_unique<SystemHandler>(*this);
    m_system = system.get();
    m_handlers[system->type()] = std::move(system);
    std::unique_ptr<MessageHandler> more[] = {
        std::make_unique<RecordHandler>(*this), std::make_unique<CollectHandler>(*this),
        std::make_unique<TransferHandler>(*this), std::make_unique<ConfigHandler>(*this),
        std::make_unique<ExtendHandler>(*this)};
    for (auto& h : more)
        m_handlers[h->type()] = std::move(h);
    SimPresets::apply(*this, preset);
    connect(&m_server, &QTcpServer::newConnection, this, &InstrumentSim::onNewConnection);
}

InstrumentSim::~InstrumentSim()
{
    // The sockets die with the server below; their last signals must not reach a half-gone object.
    const auto sockets = m_server.findChildren<QTcpSocket*>();
    for (QTcpSocket* s : sockets)
        s->disconnect(this);
}

bool InstrumentSim::listen(const QHostAddress& address, quint16 port)
{
    if (!m_server.listen(address, port))
        return false;
    m_address = address;
    m_port = m_server.serverPort();
    return true;
}

void InstrumentSim::setRefusing(bool refusing)
{
    if (refusing)
        m_server.close();
    else if (!m_server.isListening())
        m_server.listen(m_address, m_port);
}

void InstrumentSim::closeConnection()
{
    if (m_socket)
        m_socket->abort();
}

QHostAddress InstrumentSim::peerAddress() const
{
    return hasConnection() ? m_socket->peerAddress() : QHostAddress();
}

bool InstrumentSim::hasConnection() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void InstrumentSim::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // One PC at a time: a new connection replaces the one before.
        if (m_socket)
            m_socket->abort();
        m_socket = socket;
        m_reader = SimFrameReader();
        m_held.clear();
        m_heldCount = 0;
        m_heldUntilNext.clear();
        ++m_connections;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &InstrumentSim::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            socket->deleteLater();
            if (socket == m_socket)
                emit clientDisconnected();
        });
        emit clientConnected();
    }
}

void InstrumentSim::onReadyRead()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket || socket != m_socket)
        return;
    m_reader.append(socket->readAll());
    SimFrame frame;
    while (m_socket == socket && m_reader.next(frame))
        dispatch(frame);
}

void InstrumentSim::dispatch(const SimFrame& frame)
{
    Request r;
    r.type = frame.type;
    r.cmd = frame.cmd;
    r.card = frame.card;
    r.source = frame.source;
    r.target = frame.target;
    r.sequence = frame.sequence;
    r.payload = frame.payload;
    r.crcGood = frame.crcGood;
    m_requests << r;
    emit requestReceived(r);

    if (m_faults.closeAfterRequests >= 0 && m_faults.closeAfterRequests-- == 0) {
        closeConnection();
        return;
    }
    if (!frame.crcGood)
        return; // an instrument ignores a corrupt request
    if (takeOne(Counted::Lose, quint16(frame.type << 8 | frame.cmd)))
        return;
    const int slow = m_faults.slowMs.value(quint16(frame.type << 8 | frame.cmd));
    if (slow > 0) {
        const int connection = m_connections;
        QTimer::singleShot(slow, this, [this, frame, connection] {
            if (connection == m_connections && m_socket)
                act(frame);
        });
        return;
    }
    act(frame);
}

void InstrumentSim::act(const SimFrame& frame)
{
    // The answers held back for this kind come now, ahead of the answer to this request.
    for (const SimFrame& held : m_heldUntilNext.take(quint16(frame.type << 8 | frame.cmd)))
        write(held);
    auto it = m_handlers.find(frame.type);
    if (it != m_handlers.end())
        it->second->handle(frame);
}

void InstrumentSim::reply(const SimFrame& request, quint8 cmd, const QByteArray& payload)
{
    SimFrame f;
    f.card = request.card;
    f.sequence = request.sequence;
    f.type = request.type;
    f.cmd = cmd;
    f.payload = payload;
    const quint16 kind = quint16(request.type << 8 | cmd);
    int& hold = m_faults.holdUntilNext[kind];
    if (hold > 0) {
        --hold;
        m_heldUntilNext[kind] << f;
        return;
    }
    if (takeOne(Counted::Unsent, kind))
        return;
    if (takeOne(Counted::Malformed, kind))
        f.payload.clear();
    const int copies = takeOne(Counted::Repeat, kind) ? 2 : 1;
    const int late = m_faults.lateMs.value(kind);
    if (late <= 0) {
        for (int i = 0; i < copies; ++i)
            write(f);
        return;
    }
    const int connection = m_connections;
    QTimer::singleShot(late, this, [this, f, connection, copies] {
        for (int i = 0; i < copies && connection == m_connections && m_socket; ++i)
            write(f);
    });
}

QHash<quint16, int>& InstrumentSim::countsOf(Counted counted)
{
    QHash<quint16, int>* const counts[] = {&m_faults.loseRequests, &m_faults.repeatReplies, &m_faults.malformedReplies,
                                           &m_faults.unsentReplies};
    return *counts[int(counted)];
}

bool InstrumentSim::takeOne(Counted counted, quint16 kind)
{
    QHash<quint16, int>& left = countsOf(counted);
    if (left.value(kind) <= 0)
        return false;
    const auto pass = m_faults.passFirst.find(passKey(counted, kind));
    if (pass != m_faults.passFirst.end() && pass.value() > 0) {
        --pass.value();
        return false;
    }
    return takeOne(left, kind);
}

bool InstrumentSim::takeOne(QHash<quint16, int>& counts, quint16 kind)
{
    const auto it = counts.find(kind);
    if (it == counts.end() || it.value() <= 0)
        return false;
    --it.value();
    return true;
}

bool InstrumentSim::setKindFault(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 3 || parts.size() > 5)
        return false;
    static const QHash<QString, Counted> kCounted = {{QStringLiteral("lose"), Counted::Lose},
                                                     {QStringLiteral("repeat"), Counted::Repeat},
                                                     {QStringLiteral("malformed"), Counted::Malformed},
                                                     {QStringLiteral("unanswered"), Counted::Unsent}};
    const bool late = parts.at(0) == QLatin1String("late") || parts.at(0) == QLatin1String("slow");
    if (late ? parts.size() != 4 : !kCounted.contains(parts.at(0)))
        return false;
    bool typeOk = false;
    bool cmdOk = false;
    bool countOk = true;
    bool passOk = true;
    const uint type = parts.at(1).toUInt(&typeOk, 0);
    const uint cmd = parts.at(2).toUInt(&cmdOk, 0);
    const int count = parts.size() >= 4 ? parts.at(3).toInt(&countOk) : 1; // late: the delay in ms
    const int pass = parts.size() == 5 ? parts.at(4).toInt(&passOk) : 0;
    if (!typeOk || !cmdOk || !countOk || !passOk || type > 0xFF || cmd > 0xFF || count < 0 || pass < 0)
        return false;
    const quint16 kind = quint16(type << 8 | cmd);
    if (late) {
        (parts.at(0) == QLatin1String("slow") ? m_faults.slowMs : m_faults.lateMs)[kind] = count;
        return true;
    }
    const Counted counted = kCounted.value(parts.at(0));
    countsOf(counted)[kind] = count;
    m_faults.passFirst[passKey(counted, kind)] = pass;
    return true;
}

void InstrumentSim::sendReport(quint8 type, quint8 cmd, const QByteArray& payload, quint8 card)
{
    SimFrame f;
    f.card = card;
    f.type = type;
    f.cmd = cmd;
    f.payload = payload;
    write(f);
}

void InstrumentSim::write(SimFrame frame)
{
    if (m_faults.silent)
        return;
    const bool heartbeat = frame.type == 1 && (frame.cmd == 1 || frame.cmd == 0x81);
    if (m_faults.shortByOne && !heartbeat && !frame.payload.isEmpty())
        frame.payload.chop(1);
    frame.crcGood = !m_faults.badCrc;
    QByteArray bytes = frame.encode();
    if (m_faults.lyingLength != 0) {
        const quint32 stated = quint32(frame.payload.size() + m_faults.lyingLength);
        for (int i = 0; i < 4; ++i)
            bytes[12 + i] = char((stated >> (8 * i)) & 0xFF);
    }
    if (m_faults.coalesce > 1) {
        m_held += bytes;
        if (++m_heldCount < m_faults.coalesce)
            return;
        bytes = m_held;
        m_held.clear();
        m_heldCount = 0;
    }
    writeBytes(bytes);
    if (m_faults.hostile > 0) {
        m_hostile.remember(bytes);
        // Right after a heartbeat reply, so the junk has the whole period to be read before the
        // next reply comes.
        if (heartbeat)
            writeBytes(m_hostile.burst(m_faults.hostile));
    }
    // After the junk, whose filler leaves the PC's buffer empty, so these are read whole.
    for (int i = 0; heartbeat && i < m_faults.unasked; ++i) {
        const UnaskedReplies::Reply r = m_unasked.next(*this);
        SimFrame f;
        f.type = r.type;
        f.cmd = r.cmd;
        f.payload = r.payload;
        writeBytes(f.encode());
    }
}

void InstrumentSim::flush()
{
    if (m_held.isEmpty())
        return;
    const QByteArray bytes = m_held;
    m_held.clear();
    m_heldCount = 0;
    writeBytes(bytes);
}

void InstrumentSim::writeBytes(const QByteArray& bytes)
{
    if (!hasConnection())
        return;
    if (!m_faults.splitBytes) {
        m_socket->write(bytes);
        return;
    }
    for (char c : bytes) {
        m_socket->write(&c, 1);
        m_socket->flush();
    }
}
