#include "ProtocolManager.h"

#include "ConfigSetting.h"
#include "Crc32Mpeg2.h"
#include "FrameBuffer.h"
#include "PluginManager.h"
#include "PluginSpec.h"
#include "TcpConnect.h"

#include <QDebug>
#include <QTimer>

std::atomic<quint8> ProtocolManager::SourceMod{0};

namespace {
// The one receive buffer of the process: frames of the control link are cut from its front.
FrameBuffer& receiveBuffer()
{
    static FrameBuffer buffer;
    return buffer;
}
} // namespace

ProtocolManager::ProtocolManager(QObject* parent)
    : QObject(parent)
{
    m_channelOverride = quint8(ConfigSetting::instance()->GetInit(QStringLiteral("Debug"), QStringLiteral("EnableChannel")).toInt());

    m_link = new TcpConnect;
    connect(m_link, &TcpConnect::RecvData, this, &ProtocolManager::slot_tcp_dataRecv);
    connect(m_link, &TcpConnect::ConnectionChange, this, &ProtocolManager::slot_tcp_connectionChange);

    m_heartbeatTimer = new QTimer(this);
    m_heartbeatTimer->setInterval(kHeartbeatIntervalMs);
    connect(m_heartbeatTimer, &QTimer::timeout, this, &ProtocolManager::slot_heartbeat_timer);
    m_heartbeatTimeoutTimer = new QTimer(this);
    m_heartbeatTimeoutTimer->setInterval(kHeartbeatIntervalMs);
    connect(m_heartbeatTimeoutTimer, &QTimer::timeout, this, &ProtocolManager::slot_heartbeat_timeout_timer);

    QStringList names;
    const auto plugins = Ns::Lib::ExtensionSystem::PluginManager::plugins();
    for (const auto* spec : plugins)
        names << spec->name();
    m_qmlUi = findsQmlUi(names);
}

ProtocolManager::~ProtocolManager()
{
    // The link thread must not outlive the object its signals are queued to.
    delete m_link;
}

ProtocolManager* ProtocolManager::instance()
{
    static ProtocolManager* manager = new ProtocolManager;
    return manager;
}

bool ProtocolManager::findsQmlUi(const QStringList& pluginNames)
{
    for (const QString& name : pluginNames) {
        if (name == QLatin1String("KeloUI"))
            return false;
        if (name == QLatin1String("KeloUI_Qml"))
            return true;
    }
    return false;
}

void ProtocolManager::setHeartbeatInterval(int milliseconds)
{
    m_heartbeatTimer->setInterval(milliseconds);
    m_heartbeatTimeoutTimer->setInterval(milliseconds);
}

// ---- frames ---------------------------------------------------------------------------------

QByteArray ProtocolManager::U32toByte(uint value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

QByteArray ProtocolManager::U16toByte(ushort value)
{
    QByteArray bytes(2, Qt::Uninitialized);
    bytes[0] = char(value & 0xFF);
    bytes[1] = char(value >> 8);
    return bytes;
}

QByteArray ProtocolManager::MsgHead(Target_Dev target, uchar card, ushort sequence, Msg_Type type,
                                    Msg_Cmd cmd, uint length)
{
    QByteArray head;
    head.reserve(MsgHeader::kSize);
    head.append(U32toByte(MsgHeader::kMagic));
    head.append(char(MsgHeader::kVersion));
    head.append(char(SourceMod.load()));
    head.append(char(target));
    head.append(char(card));
    head.append(U16toByte(sequence));
    head.append(char(type));
    head.append(char(cmd));
    head.append(U32toByte(length));
    return head;
}

QByteArray ProtocolManager::MsgHeadToTerminal(uchar card, ushort sequence, Msg_Type type, Msg_Cmd cmd,
                                              uint length)
{
    return MsgHead(Target_Dev::Terminal, card, sequence, type, cmd, length);
}

uint ProtocolManager::crc32Mpeg2(const uchar* data, uint length)
{
    return Crc32Mpeg2::compute(data, length);
}

bool ProtocolManager::CrcCheck(const uchar* data, uint length, uint crc)
{
    return Crc32Mpeg2::compute(data, length) == crc;
}

void ProtocolManager::SendCmdOK(bool ok)
{
    if (ok)
        FileLogger::LogMessage(FileLogger::Debug, QStringLiteral("指令发送成功"));
    else
        FileLogger::LogMessage(FileLogger::Error, QStringLiteral("指令发送失败，设备未连接"));
}

QByteArray ProtocolManager::MakeFrame(Msg_Type type, Msg_Cmd cmd, const QByteArray& payload, uchar card,
                                      Target_Dev target)
{
    const ushort sequence = m_sequence++;
    QByteArray frame = MsgHead(target, card, sequence, type, cmd, uint(payload.size()));
    frame.reserve(MsgHeader::kSize + payload.size() + MsgHeader::kCrcSize);
    frame.append(payload);
    frame.append(U32toByte(crc32Mpeg2(reinterpret_cast<const uchar*>(frame.constData()), uint(frame.size()))));
    return frame;
}

bool ProtocolManager::SendFrame(const QByteArray& frame)
{
    // The hand-off blocks until the link thread has run it, so it needs that thread alive.
    if (!m_connected || !m_link->isRunning())
        return false;
    return emit m_link->SendData(frame);
}

bool ProtocolManager::SendCmd(Msg_Type type, Msg_Cmd cmd, Target_Dev target)
{
    return SendFrame(MakeFrame(type, cmd, QByteArray(), 0, target));
}

// ---- receiving ------------------------------------------------------------------------------

void ProtocolManager::slot_tcp_dataRecv(const QByteArray& data)
{
    FrameBuffer& buffer = receiveBuffer();
    buffer.append(data);
    if (buffer.pending() == 0) {
        qDebug() << "数据缓存区为空";
        return;
    }
    ParseMsg(buffer);
}

void ProtocolManager::ParseMsg(FrameBuffer& buffer)
{
    QByteArray frame;
    for (;;) {
        switch (buffer.takeFrame(frame)) {
        case FrameBuffer::Next::Frame:
            ParseMsg(reinterpret_cast<const MsgHeader*>(frame.constData()));
            break;
        case FrameBuffer::Next::NeedMore:
        case FrameBuffer::Next::BadMagic:
            return;
        case FrameBuffer::Next::Oversized:
            FileLogger::LogMessage(FileLogger::Error,
                                   QStringLiteral("接收数据长度超出上限，已清空接收缓存"));
            return;
        }
    }
}

void ProtocolManager::ParseMsg(const MsgHeader* frame)
{
    const auto* payload = reinterpret_cast<const uchar*>(frame) + MsgHeader::kSize;
    const uint length = frame->length;
    switch (Msg_Type(frame->type)) {
    case Msg_Type::System:
        ParseSystemCmd(frame->cmd, payload, length);
        break;
    default:
        // Types without a parser are consumed and ignored.
        break;
    }
}

void ProtocolManager::DataChecker(QByteArray data)
{
    FrameBuffer::scanValidFrames(data, [this](const uchar* frame, quint32) {
        ParseMsg(reinterpret_cast<const MsgHeader*>(frame));
    });
}

// ---- connection and heartbeat ---------------------------------------------------------------

void ProtocolManager::ConnectTcp(QString host, quint16 port)
{
    FileLogger::LogMessage(FileLogger::Info,
                           QStringLiteral("开始连接网络") + QStringLiteral(" %1:%2").arg(host).arg(port));
    m_link->Connect(host, port);
}

bool ProtocolManager::DisConnectTcp()
{
    const bool stopped = m_link->Disconnect();
    m_connected = false;
    m_extendedHeartbeat = false;
    return stopped;
}

QString ProtocolManager::GetLocalIpAddress()
{
    if (!m_connected) {
        FileLogger::LogMessage(FileLogger::Warning, QStringLiteral("设备未连接，获取本地IP失败"));
        return QString();
    }
    return ipInt2String(m_localAddress.toIPv4Address());
}

void ProtocolManager::HeartBeatCmd()
{
    const QByteArray frame = m_extendedHeartbeat
                                 ? MakeFrame(Msg_Type::System, Msg_Cmd::HeartBeatEx)
                                 : MakeFrame(Msg_Type::System, Msg_Cmd::HeartBeat, QByteArray(1, '\x01'));
    SendFrame(frame);
}

void ProtocolManager::slot_tcp_connectionChange(bool connected)
{
    m_missedHeartbeats = 0;
    ControlCode = 1;
    m_connected = connected;
    // Half a frame from the connection before must not become the front of the next one.
    receiveBuffer().clear();

    if (connected) {
        m_localAddress = m_link->GetLocalAddress();
        HeartBeatCmd();
        m_heartbeatTimer->start();
        FileLogger::LogMessage(FileLogger::Info, QStringLiteral("设备网络连接成功"));
    } else {
        m_extendedHeartbeat = false;
        resetDeviceCapabilities();
        m_localAddress = QHostAddress();
        m_heartbeatTimeoutTimer->stop();
        m_heartbeatTimer->stop();
        FileLogger::LogMessage(FileLogger::Warning, QStringLiteral("设备网络连接断开，等待重连"));
    }
    emit NetSuccess(connected);
}

void ProtocolManager::resetDeviceCapabilities()
{
}

void ProtocolManager::slot_heartbeat_timer()
{
    if (!m_connected)
        return;
    HeartBeatCmd();
    if (!m_heartbeatTimeoutTimer->isActive())
        m_heartbeatTimeoutTimer->start();
}

void ProtocolManager::slot_heartbeat_timeout_timer()
{
    m_heartbeatTimeoutTimer->stop();
    ++m_missedHeartbeats;
    emit HeartBeatTimeout(m_missedHeartbeats);
    if (m_missedHeartbeats < kHeartbeatMissLimit) {
        FileLogger::LogMessage(FileLogger::Warning, QStringLiteral("心跳超时,超时计数 %1").arg(m_missedHeartbeats));
        return;
    }
    FileLogger::LogMessage(FileLogger::Warning, QStringLiteral("心跳超时断开,超时计数 %1").arg(m_missedHeartbeats));
    m_heartbeatTimer->stop();
    m_link->Disconnect();
    m_link->Reconnect();
}

void ProtocolManager::heartbeatAnswered()
{
    m_missedHeartbeats = 0;
    m_heartbeatTimeoutTimer->stop();
}

// ---- System commands ------------------------------------------------------------------------

uint ProtocolManager::ipString2Int(QString text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return 0;
    uint result = 0;
    for (const QString& part : parts)
        result = (result << 8) | uint(part.toInt());
    return result;
}

QString ProtocolManager::ipInt2String(uint address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg((address >> 24) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

void ProtocolManager::ParseSystemCmd(uchar cmd, const uchar* payload, uint length)
{
    switch (Msg_Cmd(cmd)) {
    case Msg_Cmd::HeartBeat:
        heartbeatAnswered();
        if (length >= 2 && payload[0] != 0 && !m_qmlUi)
            SourceMod.store(payload[1]);
        break;
    case Msg_Cmd::HeartBeatEx:
        heartbeatAnswered();
        break;
    default:
        break;
    }
}
