#include "ProtocolManager.h"

#include "ConfigSetting.h"
#include "Crc32Mpeg2.h"
#include "DevConfigCodec.h"
#include "DeviceReportDecoder.h"
#include "FrameBuffer.h"
#include "PluginManager.h"
#include "PluginSpec.h"
#include "QAESEncryption.h"
#include "RunStatus.h"
#include "TcpConnect.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <cstring>
#include <limits>

std::atomic<quint8> ProtocolManager::SourceMod{0};

namespace {
// The one receive buffer of the process: frames of the control link are cut from its front.
FrameBuffer& receiveBuffer()
{
    static FrameBuffer buffer;
    return buffer;
}
} // namespace

namespace {
// The command a log line names: a write of the store is command 12 on the wire, whatever the
// table calls it.
int wireCmd(quint8 type, quint8 cmd)
{
    return Msg_Type(type) == Msg_Type::System && cmd == quint8(ProtocolManager::DevConfigWrite)
             ? int(Msg_Cmd::DevConfig)
             : int(cmd);
}
} // namespace

ProtocolManager::ProtocolManager(QObject* parent)
    : QObject(parent)
{
    m_channelOverride = quint8(ConfigSetting::instance()->GetInit(ConfigKey::DebugEnableChannel).toInt());

    m_link = new TcpConnect;
    connect(m_link, &TcpConnect::RecvData, this, &ProtocolManager::slot_tcp_dataRecv);
    connect(m_link, &TcpConnect::ConnectionChange, this, &ProtocolManager::slot_tcp_connectionChange);
    connect(m_link, &TcpConnect::ConnectFailed, this, &ProtocolManager::ConnectFailed);

    m_heartbeatTimer = new QTimer(this);
    m_heartbeatTimer->setInterval(kHeartbeatIntervalMs);
    connect(m_heartbeatTimer, &QTimer::timeout, this, &ProtocolManager::slot_heartbeat_timer);
    m_heartbeatTimeoutTimer = new QTimer(this);
    m_heartbeatTimeoutTimer->setInterval(kHeartbeatIntervalMs);
    connect(m_heartbeatTimeoutTimer, &QTimer::timeout, this, &ProtocolManager::slot_heartbeat_timeout_timer);
    // Reads asked while a get of the store is open try again every 100 ms until it has left.
    m_valueReadTimer = new QTimer(this);
    m_valueReadTimer->setInterval(100);
    connect(m_valueReadTimer, &QTimer::timeout, this, &ProtocolManager::sendValueReads);

    DeviceReportDecoder::registerMetaTypes();
    connect(&m_open, &OpenRequests::timedOut, this, &ProtocolManager::replyExpired, Qt::DirectConnection);
    connect(&m_open, &OpenRequests::unanswered, this, &ProtocolManager::replyUnknown, Qt::DirectConnection);
    connect(&m_open, &OpenRequests::checkNeeded, this, &ProtocolManager::askCheck, Qt::DirectConnection);
    connect(
        &m_open, &OpenRequests::checkLost, this,
        [this](OpenRequests::Check, const QList<OpenRequests::Request>& lost) {
            for (const OpenRequests::Request& r : lost)
                notifyCheckLost(r);
        },
        Qt::DirectConnection);
    // What answers each check: a state report that decodes; a record list whose count matches
    // its length. The list's descriptions are the record-list service's to fetch (recordListIn,
    // recordListFailed).
    m_open.setVerifier(OpenRequests::Check::RunState, [](const QByteArray& report) {
        SyncDeviceState state;
        return DeviceReportDecoder::decodeSyncDeviceState(reinterpret_cast<const uchar*>(report.constData()),
                                                          uint(report.size()), &state);
    });
    m_open.setVerifier(OpenRequests::Check::RecordList, [](const QByteArray& list) {
        const quint32 count = list.size() < 4 ? 0 : qFromLittleEndian<quint32>(list.constData());
        // Compared in 64 bits: a lying count must not wrap into a match.
        return list.size() >= 4 && quint64(list.size()) - 4 == quint64(count) * 8;
    });
    connect(this, &ProtocolManager::StateChange, RunStatus::instance(), &RunStatus::slot_GlobalStatus);
    connect(this, &ProtocolManager::UpdateDeviceState, RunStatus::instance(), &RunStatus::slot_SyncDeviceState);

    QStringList names;
    const auto plugins = Ns::Lib::ExtensionSystem::PluginManager::plugins();
    for (const auto* plugin : plugins)
        names << plugin->name();
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

QByteArray ProtocolManager::MsgHead(Target_Dev target, uchar card, ushort sequence, Msg_Type type, Msg_Cmd cmd,
                                    uint length)
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

QByteArray ProtocolManager::MsgHeadToTerminal(uchar card, ushort sequence, Msg_Type type, Msg_Cmd cmd, uint length)
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
        FileLogger::LogMessage(FileLogger::Debug, QT_TRANSLATE_NOOP("FileLogger", "指令发送成功"));
    else
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "指令发送失败，设备未连接"));
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

bool ProtocolManager::SendCmd(Msg_Type type, Msg_Cmd cmd, Target_Dev target, const ReplyOwner& owner)
{
    // The System reports asked for this way (device information, disks, progress) act whoever
    // asked; every other reply is asked for now. A state query waits all the same: its report is
    // the check of the starts and stops sent before it.
    if (type == Msg_Type::System && cmd != Msg_Cmd::DeviceState)
        return SendFrame(MakeFrame(type, cmd, QByteArray(), 0, target));
    return sendOpen(type, cmd, MakeFrame(type, cmd, QByteArray(), 0, target), QByteArray(), owner);
}

OpenRequests::Rule ProtocolManager::ruleOf(quint8 type, quint8 cmd) const
{
    using Check = OpenRequests::Check;
    const auto rule = [](int wait, Check check, bool several = false, Check answers = Check::None) {
        return OpenRequests::Rule{wait, check, answers, several};
    };
    const Msg_Cmd command = Msg_Cmd(cmd);
    switch (Msg_Type(type)) {
    case Msg_Type::Collect:
        // What runs after a start or stop is the run state's to say.
        if (cmd >= quint8(Msg_Cmd::StartRecord) && cmd <= quint8(Msg_Cmd::StopPlayback))
            return rule(m_replyWaitMs, Check::RunState);
        break;
    case Msg_Type::RecordedManager:
        switch (command) {
        case Msg_Cmd::DeleteRecordInfo:
        case Msg_Cmd::ChangeRecordNote:
            return rule(m_replyWaitMs, Check::RecordList);
        case Msg_Cmd::DeleteAllRecord:
            // Clearing disks takes the instrument longer than any other answer.
            return rule(m_clearWaitMs, Check::RecordList);
        case Msg_Cmd::RecordList:
            // As long as the record-list search keeps asking: two of its periods.
            return rule(m_listWaitMs, Check::None, false, Check::RecordList);
        case Msg_Cmd::FindRecordInfo:
        case Msg_Cmd::FindRecordExInfo:
            return rule(kRecordReplyWaitMs, Check::None, true);
        default:
            break;
        }
        break;
    case Msg_Type::System:
        if (cmd == quint8(DevConfigWrite))
            return rule(m_configWaitMs, Check::Quiet);
        switch (command) {
        case Msg_Cmd::SetIP:
        case Msg_Cmd::SetCustomFreq:
        case Msg_Cmd::AutoSetTime:
        case Msg_Cmd::SetTime:
            return rule(m_replyWaitMs, Check::Quiet);
        case Msg_Cmd::DeviceState:
            // It waits the instrument's usual time however short a test makes the others'.
            return rule(m_stateWaitMs, Check::Quiet, false, Check::RunState);
        case Msg_Cmd::DeviceCheck:
            // One self-check result per card.
            return rule(m_replyWaitMs, Check::None, true);
        case Msg_Cmd::DevConfig:
            // Neither a get's answer nor a set's names its request: a late one is its own only
            // while it is open.
            return rule(m_configWaitMs, Check::Quiet);
        default:
            break;
        }
        break;
    case Msg_Type::UploadDownload:
        switch (command) {
        case Msg_Cmd::StartUpload:
        case Msg_Cmd::StartDownload:
        case Msg_Cmd::StartDownloadRecordEx:
            // One per card; a card connects only once the instrument took its start.
            return rule(m_replyWaitMs, Check::CardConnection, true);
        case Msg_Cmd::StopUpload:
        case Msg_Cmd::StopDownload:
            return rule(m_replyWaitMs, Check::Quiet, true);
        default:
            // The transfer heartbeat: a question asked every second.
            return rule(m_replyWaitMs, Check::None, true);
        }
    case Msg_Type::Extend:
        switch (command) {
        case Msg_Cmd::RecordBandwidth:
            return rule(kRecordReplyWaitMs, Check::None, true);
        case Msg_Cmd::FrequencyData:
        case Msg_Cmd::PowerAmplifier:
            return rule(m_replyWaitMs, Check::Quiet);
        default:
            break;
        }
        break;
    default:
        break;
    }
    return rule(m_replyWaitMs, Check::None);
}

int ProtocolManager::replyWaitMs(Msg_Type type, Msg_Cmd cmd) const
{
    return ruleOf(quint8(type), quint8(cmd)).waitMs;
}

bool ProtocolManager::isAwaiting(Msg_Type type, Msg_Cmd cmd) const
{
    return m_open.isWaiting(quint8(type), quint8(cmd));
}

bool ProtocolManager::isOpen(Msg_Type type, Msg_Cmd cmd) const
{
    return m_open.isOpen(quint8(type), quint8(cmd));
}

QString ProtocolManager::openReason(Msg_Type type, Msg_Cmd cmd) const
{
    return m_open.reason(quint8(type), quint8(cmd));
}

void ProtocolManager::settle(quint64 seq)
{
    OpenRequests::Request r;
    if (m_open.settleOne(seq, &r))
        notify(ReplyOutcome::Settled, r);
}

bool ProtocolManager::sendOpen(Msg_Type type, Msg_Cmd cmd, const QByteArray& frame, const QByteArray& payload,
                               const ReplyOwner& owner)
{
    const OpenRequests::Rule rule = ruleOf(quint8(type), quint8(cmd));
    // One open at a time: its answer could not be told from the next one's.
    if (!rule.several && m_open.isOpen(quint8(type), quint8(cmd))) {
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "同类请求尚未结束，未发送[类型:%1][指令:%2]"), int(type),
                               wireCmd(quint8(type), quint8(cmd)));
        return false;
    }
    if (!SendFrame(frame))
        return false;
    m_lastWords.sent(quint8(type), quint8(cmd), payload);
    m_open.open(quint8(type), quint8(cmd), payload, owner);
    return true;
}

bool ProtocolManager::sendAwaited(Msg_Type type, Msg_Cmd cmd, const QByteArray& payload, uchar card,
                                  const ReplyOwner& owner)
{
    return sendOpen(type, cmd, MakeFrame(type, cmd, payload, card), payload, owner);
}

void ProtocolManager::notify(ReplyOutcome outcome, const OpenRequests::Request& request, const QByteArray& reply,
                             const RecordCheck::Finding& finding, bool unreadable)
{
    if (!request.owner.isSet())
        return;
    const ReplyNotice notice{
        outcome,     request.type, request.cmd, request.sent, QByteArray(reply.constData(), reply.size()),
        request.seq, finding,      unreadable};
    // Kept until the link drops: a later list or report that shows otherwise is told (corrected).
    m_lastWords.told(notice, request.owner, m_open.nextSeq());
    m_notices.append(Notice{request.owner, notice});
    if (m_parsing == 0)
        flushNotices();
}

void ProtocolManager::tellCorrections(const QList<LastWords::Correction>& corrections)
{
    for (const LastWords::Correction& c : corrections) {
        // The log file keeps it in Chinese, whatever the interface shows.
        FileLogger::LogMessage(
            FileLogger::Warning,
            LogText(QT_TRANSLATE_NOOP("FileLogger", "与此前告知不符：%1")).arg(c.notice.finding.line));
        m_notices.append(Notice{c.owner, c.notice});
    }
    if (m_parsing == 0)
        flushNotices();
}

void ProtocolManager::notifyCheckLost(const OpenRequests::Request& request)
{
    if (Msg_Type(request.type) != Msg_Type::RecordedManager) {
        notify(ReplyOutcome::CheckLost, request);
        return;
    }
    const RecordCheck::Finding unknown = RecordCheck::unknown(RecordCheck::ofRequest(request.cmd, request.sent));
    // The log file keeps it in Chinese, whatever the interface shows.
    FileLogger::LogMessage(FileLogger::Error,
                           LogText(QT_TRANSLATE_NOOP("FileLogger", "记录核对失败：%1")).arg(unknown.line));
    notify(ReplyOutcome::CheckLost, request, QByteArray(), unknown);
}

QList<quint32> ProtocolManager::recordListIn(const QList<RecordEx>& records)
{
    const quint64 at = std::exchange(m_listAnsweredAt, 0);
    if (at == 0)
        return {};
    // What was said before this list was asked is read against it; what its check settles now is
    // said after it.
    tellCorrections(m_lastWords.listed(records, at));
    QList<quint32> gone;
    for (const OpenRequests::Request& r : m_open.checked(OpenRequests::Check::RecordList, at)) {
        const RecordCheck::Doubt doubt = RecordCheck::ofRequest(r.cmd, r.sent);
        const RecordCheck::Finding finding = RecordCheck::judge(doubt, records);
        FileLogger::LogMessage(FileLogger::Info,
                               LogText(QT_TRANSLATE_NOOP("FileLogger", "记录核对：%1")).arg(finding.line));
        if (finding.done && doubt.change == RecordCheck::Change::Delete)
            gone << doubt.name;
        notify(ReplyOutcome::Settled, r, QByteArray(), finding, m_unreadable.remove(r.seq));
    }
    return gone;
}

void ProtocolManager::recordListFailed()
{
    const quint64 at = std::exchange(m_listAnsweredAt, 0);
    if (at == 0)
        return;
    m_open.checkFailed(OpenRequests::Check::RecordList, at);
}

void ProtocolManager::flushNotices()
{
    // An owner may send the next request, or wait in a local loop that parses further frames.
    const QList<Notice> notices = std::exchange(m_notices, QList<Notice>());
    for (const Notice& n : notices)
        n.owner.tell(n.notice);
}

OpenRequests::Taken ProtocolManager::answer(Msg_Type type, uchar cmd, const OpenRequests::Match& match, bool malformed,
                                            bool logUnasked)
{
    // A reply too short for its fields names nothing it could be matched by.
    const OpenRequests::Taken t = m_open.take(quint8(type), cmd, malformed ? OpenRequests::Match() : match);
    const int result = m_replyBytes.isEmpty() ? -1 : int(quint8(m_replyBytes.at(0)));
    switch (t.answer) {
    case OpenRequests::Answer::None:
        if (m_open.isChecking(quint8(type), cmd))
            FileLogger::LogMessage(
                FileLogger::Warning,
                QT_TRANSLATE_NOOP("FileLogger", "设备在核对期间应答，以核对结果为准[类型:%1][指令:%2][结果:%3]"),
                int(type), wireCmd(quint8(type), cmd), result);
        else if (logUnasked)
            dropUnasked(type, cmd);
        break;
    case OpenRequests::Answer::InTime:
    case OpenRequests::Answer::Late:
        if (malformed) {
            // It came for this request and says nothing readable: the request failed.
            FileLogger::LogMessage(
                FileLogger::Error,
                QT_TRANSLATE_NOOP("FileLogger", "设备应答不完整，请求失败[类型:%1][指令:%2][长度:%3]"), int(type),
                wireCmd(quint8(type), cmd), m_replyBytes.size());
            notify(ReplyOutcome::Malformed, t.request, m_replyBytes);
        } else if (t.answer == OpenRequests::Answer::Late) {
            FileLogger::LogMessage(FileLogger::Warning,
                                   QT_TRANSLATE_NOOP("FileLogger", "设备在超时后应答[类型:%1][指令:%2][结果:%3]"),
                                   int(type), wireCmd(quint8(type), cmd), result);
            notify(ReplyOutcome::Late, t.request, m_replyBytes);
        } else {
            notify(ReplyOutcome::InTime, t.request, m_replyBytes);
        }
        break;
    }
    return t;
}

bool ProtocolManager::asked(Msg_Type type, uchar cmd, QByteArray* sent, const OpenRequests::Match& match,
                            bool malformed)
{
    const OpenRequests::Taken t = answer(type, cmd, match, malformed);
    if (sent)
        *sent = t.request.sent;
    return t.answer == OpenRequests::Answer::InTime && !malformed;
}

bool ProtocolManager::waiting(Msg_Type type, uchar cmd)
{
    if (m_open.isOpen(quint8(type), cmd))
        return true;
    dropUnasked(type, cmd);
    return false;
}

void ProtocolManager::replyExpired(const OpenRequests::Request& request)
{
    const quint8 type = request.type, cmd = request.cmd;
    const QByteArray& sent = request.sent;
    // A state query is the check of others: it says nothing of itself, and its quiet end does.
    if (Msg_Type(type) == Msg_Type::System && Msg_Cmd(cmd) == Msg_Cmd::DeviceState)
        return;
    const bool check = Msg_Type(type) == Msg_Type::System && Msg_Cmd(cmd) == Msg_Cmd::DeviceCheck;
    // A self-check round notes after its first byte (who asked) the cards that answered: it is
    // answered when every card did, or, with the card count unknown, when any did.
    const int answered = sent.size() - 1;
    if (!check || answered == 0 || (m_deviceInfo.BoardNum != 0 && answered < m_deviceInfo.BoardNum))
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "设备未在时限内应答[类型:%1][指令:%2]"), int(type),
                               wireCmd(type, cmd));
    // A self-check round ends here, answered or not: its owner tells every card's result at once
    // (the program's own check, its faults only).
    notify(ReplyOutcome::TimedOut, request);
}

void ProtocolManager::replyUnknown(const OpenRequests::Request& request)
{
    if (Msg_Type(request.type) == Msg_Type::System && Msg_Cmd(request.cmd) == Msg_Cmd::DeviceState) {
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "设备状态查询未得到应答，正在重新查询"));
        return;
    }
    FileLogger::LogMessage(FileLogger::Warning,
                           QT_TRANSLATE_NOOP("FileLogger", "设备在等待后仍未应答，结果未知[类型:%1][指令:%2]"),
                           int(request.type), wireCmd(request.type, request.cmd));
    notify(ReplyOutcome::Unknown, request);
}

void ProtocolManager::askCheck(OpenRequests::Check check)
{
    switch (check) {
    case OpenRequests::Check::RunState:
        askState();
        break;
    case OpenRequests::Check::RecordList:
        // The record-list service fetches the list with its descriptions, and says when it is in.
        emit RecordCheckNeeded();
        break;
    default:
        // A card's connection is looked at by the transfer that sent its start.
        break;
    }
}

bool ProtocolManager::automaticCheck(const QByteArray& round)
{
    return !round.isEmpty() && round.at(0) != 0;
}

bool ProtocolManager::controlAwaited() const
{
    for (quint8 cmd = 1; cmd <= 4; ++cmd) {
        if (m_open.isWaiting(quint8(Msg_Type::Collect), cmd))
            return true;
    }
    return false;
}

void ProtocolManager::askState()
{
    // One asked already answers for whatever was sent before it; the rest is asked again after.
    if (m_open.isOpen(quint8(Msg_Type::System), quint8(Msg_Cmd::DeviceState)))
        return;
    m_open.asking(OpenRequests::Check::RunState);
    SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device);
}

void ProtocolManager::dropUnasked(Msg_Type type, uchar cmd)
{
    FileLogger::LogMessage(FileLogger::Warning,
                           QT_TRANSLATE_NOOP("FileLogger", "收到未请求的设备应答，已丢弃[类型:%1][指令:%2]"), int(type),
                           cmd);
}

// ---- receiving ------------------------------------------------------------------------------

void ProtocolManager::slot_tcp_dataRecv(const QByteArray& data)
{
    // Bytes the link thread received before the PC closed the link reach this thread after the
    // close, ahead of the link's fall: they answer nothing the PC still waits for. What came
    // before a drop is read: nobody closed that link here.
    if (m_closedHere)
        return;
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
                                   QT_TRANSLATE_NOOP("FileLogger", "接收数据长度超出上限，已清空接收缓存"));
            return;
        }
    }
}

void ProtocolManager::ParseMsg(const MsgHeader* frame)
{
    const auto* payload = reinterpret_cast<const uchar*>(frame) + MsgHeader::kSize;
    const uint length = frame->length;
    // What a late answer carried goes with its report; the frame outlives the parse.
    m_replyBytes = QByteArray::fromRawData(reinterpret_cast<const char*>(payload), int(length));
    ++m_parsing;
    switch (Msg_Type(frame->type)) {
    case Msg_Type::System:
        ParseSystemCmd(frame->cmd, payload, length);
        break;
    case Msg_Type::RecordedManager:
        ParseRecordedManagerCmd(frame->cmd, payload, length);
        break;
    case Msg_Type::Collect:
        ParseCollectCmd(frame->cmd, payload, length);
        break;
    case Msg_Type::UploadDownload:
        ParseUploadDownloadCmd(frame->cmd, payload, length);
        break;
    case Msg_Type::Config:
        ParseConfigCmd(frame->cmd, payload, length);
        break;
    case Msg_Type::Extend:
        ParseExtendCmd(frame->cmd, payload, length);
        break;
    default:
        // Types without a parser are consumed and ignored.
        break;
    }
    m_replyBytes.clear();
    if (--m_parsing == 0)
        flushNotices();
}

void ProtocolManager::DataChecker(QByteArray data)
{
    FrameBuffer::scanValidFrames(
        data, [this](const uchar* frame, quint32) { ParseMsg(reinterpret_cast<const MsgHeader*>(frame)); });
}

// ---- connection and heartbeat ---------------------------------------------------------------

void ProtocolManager::ConnectTcp(QString host, quint16 port)
{
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "开始连接网络 %1:%2"), host, port);
    m_link->Connect(host, port);
    if (host != m_instrumentAddress) {
        m_instrumentAddress = host;
        emit InstrumentAddressChanged(host);
    }
}

QString ProtocolManager::instrumentAddress() const
{
    if (!m_instrumentAddress.isEmpty())
        return m_instrumentAddress;
    return ConfigSetting::instance()->GetInit(ConfigKey::NetworkIp).toString();
}

bool ProtocolManager::DisConnectTcp()
{
    const bool stopped = m_link->Disconnect();
    m_connected = false;
    m_closedHere = true;
    m_extendedHeartbeat = false;
    return stopped;
}

QString ProtocolManager::GetLocalIpAddress()
{
    if (!m_connected) {
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "设备未连接，获取本地IP失败"));
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
    m_connected = connected;
    m_closedHere = false;
    // Half a frame from the connection before must not become the front of the next one.
    receiveBuffer().clear();
    // Nothing asked on the link before is answered on the next one.
    const QList<OpenRequests::Request> cut = m_open.clear();
    m_listAnsweredAt = 0;
    m_unreadable.clear();
    m_lastWords.clear();

    if (connected) {
        m_localAddress = m_link->GetLocalAddress();
        HeartBeatCmd();
        m_heartbeatTimer->start();
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "设备网络连接成功"));
    } else {
        m_extendedHeartbeat = false;
        resetDeviceCapabilities();
        m_localAddress = QHostAddress();
        m_heartbeatTimeoutTimer->stop();
        m_heartbeatTimer->stop();
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "设备网络连接断开，等待重连"));
        for (const OpenRequests::Request& r : cut) {
            // A question past its wait has left already; the program's own check is nobody's.
            if ((Msg_Type(r.type) == Msg_Type::System && Msg_Cmd(r.cmd) == Msg_Cmd::DeviceCheck
                 && automaticCheck(r.sent))
                || (Msg_Type(r.type) == Msg_Type::System && Msg_Cmd(r.cmd) == Msg_Cmd::DeviceState))
                continue;
            FileLogger::LogMessage(FileLogger::Warning,
                                   QT_TRANSLATE_NOOP("FileLogger", "连接断开，请求未得到设备确认[类型:%1][指令:%2]"),
                                   int(r.type), wireCmd(r.type, r.cmd));
            emit ReplyCut(r.type, r.cmd, r.sent);
            notify(ReplyOutcome::Cut, r);
        }
    }
    emit NetSuccess(connected);
}

void ProtocolManager::resetDeviceCapabilities()
{
    DeviceCapabilities::clear();
    dropValueReads();
}

void ProtocolManager::dropValueReads()
{
    // A read asked on this link is not sent on the next one, ahead of that link's own fetch.
    m_valueReadTimer->stop();
    const QList<ValueRead> dropped = std::exchange(m_valueReads, QList<ValueRead>());
    for (const ValueRead& r : dropped) {
        ReplyNotice cut;
        cut.outcome = ReplyOutcome::Cut;
        cut.type = quint8(Msg_Type::System);
        cut.cmd = quint8(Msg_Cmd::DevConfig);
        r.owner.tell(cut);
    }
}

void ProtocolManager::slot_heartbeat_timer()
{
    if (!m_connected)
        return;
    // The time-out still running means the last heartbeat has gone a second without a reply: that
    // is a miss, counted now, before the next heartbeat leaves, so that a quick reply to the next
    // one cannot hide it. A time-out armed only while idle would count a miss every second tick.
    if (m_heartbeatTimeoutTimer->isActive()) {
        slot_heartbeat_timeout_timer();
        if (!m_heartbeatTimer->isActive())
            return; // the third miss closed the link
    }
    HeartBeatCmd();
    m_heartbeatTimeoutTimer->start();
}

void ProtocolManager::slot_heartbeat_timeout_timer()
{
    // Fires by itself only when the heartbeat tick is late; either way one miss per heartbeat.
    m_heartbeatTimeoutTimer->stop();
    ++m_missedHeartbeats;
    emit HeartBeatTimeout(m_missedHeartbeats);
    if (m_missedHeartbeats < kHeartbeatMissLimit) {
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "心跳超时,超时计数 %1"),
                               m_missedHeartbeats);
        return;
    }
    FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "心跳超时断开,超时计数 %1"),
                           m_missedHeartbeats);
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

void ProtocolManager::sendSystem(Msg_Cmd cmd, const QByteArray& payload, uchar card)
{
    SendFrame(MakeFrame(Msg_Type::System, cmd, payload, card));
}

void ProtocolManager::SetTime(uint secondsSinceEpoch)
{
    sendAwaited(Msg_Type::System, Msg_Cmd::SetTime, U32toByte(secondsSinceEpoch));
}

void ProtocolManager::AutoSetTimeCmd(bool on)
{
    m_requestedAutoTime = on;
    sendAwaited(Msg_Type::System, Msg_Cmd::AutoSetTime, QByteArray(1, on ? '\x01' : '\x00'));
}

bool ProtocolManager::SetIPCmd(QString address, QString netmask, QString gateway, const ReplyOwner& owner)
{
    FileLogger::LogMessage(
        FileLogger::Info,
        LogText(QT_TRANSLATE_NOOP("FileLogger", "发送修改IP指令[%1][%2][%3]")).arg(address).arg(netmask).arg(gateway));
    return sendAwaited(Msg_Type::System, Msg_Cmd::SetIP,
                       U32toByte(ipString2Int(address)) + U32toByte(ipString2Int(netmask))
                           + U32toByte(ipString2Int(gateway)),
                       0, owner);
}

void ProtocolManager::SetCustomFreqCmd(ushort band, uint hertz)
{
    sendAwaited(Msg_Type::System, Msg_Cmd::SetCustomFreq, QByteArray(1, char(band & 0xFF)) + U32toByte(hertz));
}

quint64 ProtocolManager::DeviceCheck(bool automatic, const ReplyOwner& owner)
{
    // Every card answers; the waiting request notes who asked, then the cards that answered.
    if (!SendFrame(MakeFrame(Msg_Type::System, Msg_Cmd::DeviceCheck)))
        return 0;
    quint64 seq = 0;
    m_open.open(quint8(Msg_Type::System), quint8(Msg_Cmd::DeviceCheck), QByteArray(1, automatic ? 1 : 0), owner, &seq);
    return seq;
}

void ProtocolManager::DeviceUpdate(int kind, QString text)
{
    sendSystem(Msg_Cmd::DeviceUpdate, text.toLocal8Bit(), uchar(kind & 0xFF));
}

void ProtocolManager::GetServerPluginVersion()
{
    sendAwaited(Msg_Type::System, Msg_Cmd::ServerPluginVersion, QByteArray());
}

bool ProtocolManager::hasLength(Msg_Type type, uchar cmd, uint length, uint needed)
{
    if (length >= needed)
        return true;
    // Read no further; a request it may answer is told so by the caller.
    FileLogger::LogMessage(FileLogger::Error,
                           QT_TRANSLATE_NOOP("FileLogger", "设备应答长度不足[类型:%1][指令:%2][长度:%3/%4]"), int(type),
                           cmd, length, needed);
    return false;
}

void ProtocolManager::ParseSystemCmd(uchar cmd, const uchar* payload, uint length)
{
    switch (Msg_Cmd(cmd)) {
    case Msg_Cmd::HeartBeat: {
        heartbeatAnswered();
        const HeartMsg msg = DeviceReportDecoder::decodeHeartMsg(payload, length);
        if (msg.Accepted != 0 && !m_qmlUi)
            SourceMod.store(msg.SourceId);
        emit HeartBeatMsg(msg);
        break;
    }
    case Msg_Cmd::HeartBeatEx: {
        heartbeatAnswered();
        m_heartbeatStatus.parseBufferContent(reinterpret_cast<const char*>(payload), int(length));
        const HeartMsg msg = DeviceReportDecoder::extendedHeartMsg(
            SourceMod.load(), m_heartbeatStatus.getSectionValue(QStringLiteral("Battery"), QStringLiteral("Charging")),
            m_heartbeatStatus.getSectionValue(QStringLiteral("Battery"), QStringLiteral("Power")));
        emit HeartBeatMsgEx(m_heartbeatStatus);
        emit HeartBeatMsg(msg);
        break;
    }
    case Msg_Cmd::DeviceInfo:
        parseDeviceInfo(payload, length);
        break;
    case Msg_Cmd::DiskVolume:
        parseDiskVolume(payload, length);
        break;
    case Msg_Cmd::DeviceState: {
        // The answer to a state query says what runs after every start and stop sent before
        // that query: their answers, the instrument answering in order, came before it. Late, it
        // is still that query's: one is open at a time.
        // Settled before the report is shown: a page lays itself out by the report with nothing
        // of theirs open any more, and its owners are told once the frame is done with.
        // One that does not decode answers nothing: the check is lost and asked again.
        const OpenRequests::Taken t = m_open.take(quint8(Msg_Type::System), cmd);
        if (t.answer != OpenRequests::Answer::None)
            for (const OpenRequests::Request& r :
                 m_open.answered(OpenRequests::Check::RunState, t.request.seq, m_replyBytes))
                notify(ReplyOutcome::Settled, r, m_replyBytes);
        parseDeviceState(payload, length, t.answer != OpenRequests::Answer::None ? t.request.seq : m_open.nextSeq());
        break;
    }
    case Msg_Cmd::DeviceStateReport:
        // Sent by the instrument on its own: it shows what runs after everything sent so far.
        parseDeviceState(payload, length, m_open.nextSeq());
        break;
    case Msg_Cmd::SearchCustomFreq:
        parseCustomFreq(payload, length);
        break;
    case Msg_Cmd::ServerPluginVersion:
        parsePluginVersions(payload, length);
        break;
    case Msg_Cmd::SetTime:
        parseTimeReply(payload, length);
        break;
    case Msg_Cmd::AutoSetTime: {
        QByteArray sent;
        if (!asked(Msg_Type::System, cmd, &sent, OpenRequests::Match(), !hasLength(Msg_Type::System, cmd, length, 1)))
            return;
        // The value this request sent, whatever was asked or reported since.
        if (payload[0] != 0)
            m_deviceInfo.AutoSetTime = !sent.isEmpty() && sent.at(0) != 0;
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "自动设置时间结果%1"), payload[0]);
        emit SetAutoTimeResult(payload[0] != 0);
        break;
    }
    case Msg_Cmd::SetIP: {
        // A result that names its address (as the request carried it) answers the request for
        // that address; a bare result answers the oldest.
        const OpenRequests::Match match =
            length >= 5 ? OpenRequests::startsWith(QByteArray(reinterpret_cast<const char*>(payload) + 1, 4))
                        : OpenRequests::Match();
        QByteArray sent;
        if (!asked(Msg_Type::System, cmd, &sent, match, !hasLength(Msg_Type::System, cmd, length, 1)))
            return;
        const QString address =
            sent.size() >= 4 ? ipInt2String(qFromLittleEndian<quint32>(sent.constData())) : QString();
        if (payload[0] != 0) {
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "修改设备IP成功，重启设备后生效"));
            emit SetIPSuccess(true, address);
        } else {
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "修改设备IP失败"));
            emit SetIPSuccess(false, address);
        }
        break;
    }
    case Msg_Cmd::Progress:
        if (!hasLength(Msg_Type::System, cmd, length, 8))
            return;
        emit ProgressUpdate(qFromLittleEndian<quint32>(payload), qFromLittleEndian<quint32>(payload + 4));
        break;
    case Msg_Cmd::SetCustomFreq:
        if (!asked(Msg_Type::System, cmd, nullptr, OpenRequests::Match(), !hasLength(Msg_Type::System, cmd, length, 1)))
            return;
        emit SetCustomFreq(payload[0]);
        break;
    case Msg_Cmd::DevConfig:
        parseDevConfigReply(payload, length);
        break;
    case Msg_Cmd::AskTimeout:
        parseAskTimeout(payload, length);
        break;
    case Msg_Cmd::ResetState: {
        // No request of this PC resets the state, so no such result is ever its own.
        if (!asked(Msg_Type::System, cmd, nullptr, OpenRequests::Match(), !hasLength(Msg_Type::System, cmd, length, 1)))
            return;
        const bool ok = payload[0] != 0;
        emit ResetStateResult(ok);
        FileLogger::LogMessage(FileLogger::Warning, ok ? QT_TRANSLATE_NOOP("FileLogger", "状态复位成功！")
                                                       : QT_TRANSLATE_NOOP("FileLogger", "状态复位失败！"));
        break;
    }
    case Msg_Cmd::DeviceCheck: {
        if (!hasLength(Msg_Type::System, cmd, length, 5))
            return;
        // One result per card and round: a card's result belongs to the oldest waiting round it
        // has not answered yet; with none, it is a repeat.
        const char card = char(payload[0]);
        QByteArray* round = m_open.find(quint8(Msg_Type::System), cmd,
                                        [card](const QByteArray& notes) { return !notes.mid(1).contains(card); });
        if (!round) {
            dropUnasked(Msg_Type::System, cmd);
            return;
        }
        if (round->isEmpty())
            round->append(char(0)); // asked without saying who: the person
        round->append(card);
        emit DeviceCheckResult(payload[0], qFromLittleEndian<quint32>(payload + 1), automaticCheck(*round));
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "自检结果[板卡:%1][错误码:%2]"),
                               payload[0], qFromLittleEndian<quint32>(payload + 1));
        break;
    }
    default:
        break;
    }
}

void ProtocolManager::parseTimeReply(const uchar* payload, uint length)
{
    if (length == 4) {
        // The instrument asks for the PC's clock; any other value in a 4-byte payload is not a request.
        if (qFromLittleEndian<quint32>(payload) != 0)
            return;
        qDebug() << "收到时间请求,已发送时间信息";
        QTimer::singleShot(1, this, [this] {
            SetTime(uint(QDateTime::currentSecsSinceEpoch()));
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "收到时间请求,已发送时间信息"));
        });
        return;
    }
    if ((length != 1 && length != 5) || !asked(Msg_Type::System, quint8(Msg_Cmd::SetTime)))
        return;
    const bool ok = payload[0] != 0;
    FileLogger::LogMessage(
        FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "收到时间请求回包，结果%1"),
        LogText(ok ? QT_TRANSLATE_NOOP("FileLogger", "成功") : QT_TRANSLATE_NOOP("FileLogger", "失败")));
    emit TimeRequestResult(ok, length == 5 ? qFromLittleEndian<quint32>(payload + 1) : 0);
}

void ProtocolManager::parseAskTimeout(const uchar* payload, uint length)
{
    const auto* text = reinterpret_cast<const char*>(payload);
    const void* zero = std::memchr(text, 0, length);
    const int size = zero ? int(static_cast<const char*>(zero) - text) : int(length);
    const QString message = QString::fromUtf8(text, size);
    FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "终端应答错误:%1"), message);
    QString shown = message.trimmed();
    const int bracket = shown.lastIndexOf(QLatin1Char(']'));
    if (bracket >= 0)
        shown = shown.mid(bracket);
    m_lastErrorText = QStringLiteral("终端应答错误:\n%1").arg(shown);
    emit RecvAskTimeout(message);
}

void ProtocolManager::parseDeviceInfo(const uchar* payload, uint length)
{
    DeviceInfo info;
    LogText error;
    if (!DeviceReportDecoder::decodeDeviceInfo(payload, length, &info, &error)) {
        FileLogger::LogMessage(FileLogger::Error, error);
        return;
    }
    if (m_channelOverride != 0) {
        m_deviceChannelCount = info.ChannelNum;
        info.ChannelNum = m_channelOverride;
    }
    m_deviceInfo = info;
    m_requestedAutoTime = info.AutoSetTime;
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "获取设备系统信息成功"));
    emit UpdateDeviceInfo(info);
}

void ProtocolManager::parseDiskVolume(const uchar* payload, uint length)
{
    const QList<DiskVolume> volumes = DeviceReportDecoder::decodeDiskVolumes(payload, length);
    if (volumes.isEmpty())
        return;
    m_diskVolumes = volumes;
    emit ReceivedDiskVolume(volumes);
    QString sizes;
    for (const DiskVolume& v : volumes)
        sizes += QStringLiteral("[%1 MB/%2 MB]").arg(v.Free).arg(v.Total);
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "获取硬盘容量信息成功[数量:%1]%2"),
                           volumes.size(), sizes);
}

void ProtocolManager::parseDeviceState(const uchar* payload, uint length, quint64 askedAt)
{
    if (controlAwaited()) {
        // A Collect command awaits its reply, which brings the state itself.
        qDebug() << "收到设备状态信息，但当前控制码不为空闲状态";
        return;
    }
    SyncDeviceState state;
    LogText error;
    if (!DeviceReportDecoder::decodeSyncDeviceState(payload, length, &state, &error)) {
        FileLogger::LogMessage(FileLogger::Error, error);
        return;
    }
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "同步设备状态成功:%1"), state.State);
    // The page lays itself out by the report first; then a word it contradicts is told.
    emit UpdateDeviceState(state);
    tellCorrections(m_lastWords.reported(state, askedAt));
}

void ProtocolManager::parseCustomFreq(const uchar* payload, uint length)
{
    m_customBands.clear();
    CustomFreqHZ freqs;
    LogText error;
    if (!DeviceReportDecoder::decodeCustomFreq(payload, length, &freqs, &error)) {
        FileLogger::LogMessage(FileLogger::Error, error);
        return;
    }
    emit SearchCustomFreq(freqs);
    for (int i = 0; i < freqs.Freqs.size(); ++i)
        m_customBands.insert(i, CustomBand{QStringLiteral("自定义%1").arg(i + 1), freqs.Freqs.at(i)});
}

void ProtocolManager::parsePluginVersions(const uchar* payload, uint length)
{
    if (!asked(Msg_Type::System, quint8(Msg_Cmd::ServerPluginVersion)))
        return;
    QStringList versions;
    LogText error;
    if (!DeviceReportDecoder::decodeStringList(payload, length, &versions, &error)) {
        FileLogger::LogMessage(FileLogger::Error, error);
        return;
    }
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "查询服务端插件版本信息[插件数量:%1]"),
                           versions.size());
    for (const QString& v : qAsConst(versions))
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "插件版本信息[%1]"), v);
}

namespace {
QByteArray blockBytes(const void* data, int size)
{
    return QByteArray(static_cast<const char*>(data), size);
}

// A record request carries the record's name first.
OpenRequests::Match nameMatch(uint name)
{
    return OpenRequests::startsWith(ProtocolManager::U32toByte(name));
}
} // namespace

// ---- RecordedManager commands -----------------------------------------------------------------

void ProtocolManager::FindRecordInfoCmd(uint name)
{
    sendAwaited(Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo, U32toByte(name));
}

void ProtocolManager::FindRecordExInfoCmd(uint name)
{
    sendAwaited(Msg_Type::RecordedManager, Msg_Cmd::FindRecordExInfo, U32toByte(name));
}

bool ProtocolManager::DeleteRecordInfoCmd(uint name, const ReplyOwner& owner)
{
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "发送删除记录指令:%1"),
                           RecordCheck::logName(name));
    return sendAwaited(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, U32toByte(name), 0, owner);
}

bool ProtocolManager::ChangeRecordNoteCmd(uint name, QString note, const ReplyOwner& owner)
{
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "发送修改记录备注指令:%1 修改内容:%2"),
                           RecordCheck::logName(name), note);
    return sendAwaited(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote, U32toByte(name) + note.toUtf8(), 0, owner);
}

void ProtocolManager::GetFreqParameterCmd(uchar first, Freq_Num freq, uchar third)
{
    const QByteArray payload = QByteArray(1, char(first)) + blockBytes(freq.Data, sizeof(freq.Data)) + char(third);
    SendFrame(MakeFrame(Msg_Type::RecordedManager, Msg_Cmd::GetFreqParameter, payload));
}

void ProtocolManager::ParamCalibrationCmd(Msg_Cmd cmd, CalibrationData data)
{
    SendFrame(MakeFrame(Msg_Type::RecordedManager, cmd, blockBytes(data.Data, sizeof(data.Data))));
}

void ProtocolManager::ParamCalibrationCmd(Msg_Cmd cmd, AttenuationData data)
{
    SendFrame(MakeFrame(Msg_Type::RecordedManager, cmd, blockBytes(data.Data, sizeof(data.Data))));
}

namespace {
// "yyyyMMdd-hhmmss" in UTC becomes epoch seconds; any other text stays as it is.
void epochFromStamp(RecordEx& record, const QString& key)
{
    const QString text = record.RecordValue(key).toString();
    if (!text.contains(QLatin1Char('-')))
        return;
    // Date and time are read apart: read whole, the text is taken as the PC's local time, which
    // has no such time inside a daylight-saving gap.
    const int dash = text.indexOf(QLatin1Char('-'));
    const QDate date = QDate::fromString(text.left(dash), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(text.mid(dash + 1), QStringLiteral("hhmmss"));
    if (dash != 8 || !date.isValid() || !time.isValid())
        return;
    record.SetRecordValue(key, qint64(QDateTime(date, time, Qt::UTC).toSecsSinceEpoch()));
}
} // namespace

void ProtocolManager::ParseRecordedManagerCmd(uchar cmd, const uchar* payload, uint length)
{
    // A change of the records that this PC did not ask for edits nothing here: the list is asked
    // for again, and the instrument's answer is what the pages show.
    const auto changeAsked = [this, cmd, length] {
        const bool malformed = !hasLength(Msg_Type::RecordedManager, cmd, length, 1);
        const OpenRequests::Taken t = answer(Msg_Type::RecordedManager, cmd, OpenRequests::Match(), malformed, false);
        // Clearing every record that the instrument confirms only after its wait empties lists
        // whose pages were told nothing in time: those lists are fetched again.
        if (t.answer == OpenRequests::Answer::Late && !malformed && Msg_Cmd(cmd) == Msg_Cmd::DeleteAllRecord
            && m_replyBytes.at(0) != 0)
            emit RecordsChangedUnasked();
        // An unreadable answer of a change says nothing of what the instrument did: the list does.
        if (t.answer != OpenRequests::Answer::None && malformed) {
            m_unreadable.insert(t.request.seq);
            m_open.recheck(t.request);
        }
        if (t.answer != OpenRequests::Answer::None)
            return t.answer == OpenRequests::Answer::InTime && !malformed;
        // The list its check fetches shows what became of it.
        if (m_open.isChecking(quint8(Msg_Type::RecordedManager), cmd))
            return false;
        FileLogger::LogMessage(
            FileLogger::Warning,
            QT_TRANSLATE_NOOP("FileLogger", "收到未请求的记录变更应答，重新获取记录列表[类型:%1][指令:%2]"),
            int(Msg_Type::RecordedManager), cmd);
        emit RecordsChangedUnasked();
        return false;
    };
    switch (Msg_Cmd(cmd)) {
    case Msg_Cmd::RecordList: {
        const quint32 count = length < 4 ? 0 : qFromLittleEndian<quint32>(payload);
        const bool malformed = !m_open.reads(OpenRequests::Check::RecordList, m_replyBytes);
        if (malformed)
            FileLogger::LogMessage(FileLogger::Error,
                                   QT_TRANSLATE_NOOP("FileLogger", "记录列表应答长度与数量不符[长度:%1][数量:%2]"),
                                   length, count);
        const OpenRequests::Taken t = answer(Msg_Type::RecordedManager, cmd, OpenRequests::Match(), malformed);
        // The record changes it was to check are lost for now, and checked again after a wait.
        if (t.answer != OpenRequests::Answer::None && malformed)
            m_open.checkFailed(OpenRequests::Check::RecordList, t.request.seq);
        if (t.answer != OpenRequests::Answer::InTime || malformed)
            return;
        // The list names what is on the instrument after every change sent before it was asked;
        // they are judged once the record-list service has its descriptions too (recordListIn).
        m_listAnsweredAt = t.request.seq;
        GetRecordListMsg list;
        list.Count = count;
        list.Records.reserve(int(count));
        for (quint32 i = 0; i < count; ++i) {
            const uchar* p = payload + 4 + 8 * i;
            list.Records.append(RecordListEntry{qFromLittleEndian<quint32>(p), qFromLittleEndian<quint32>(p + 4)});
        }
        emit RecordListMsg(list);
        break;
    }
    case Msg_Cmd::DeleteAllRecord:
        if (!changeAsked())
            return;
        emit DeleteAllRecordSuccess(payload[0] != 0);
        break;
    case Msg_Cmd::FindRecordInfo: {
        // Nothing is decoded for a reply of a kind nobody waits for.
        if (!waiting(Msg_Type::RecordedManager, cmd))
            return;
        if (!hasLength(Msg_Type::RecordedManager, cmd, length, 1)) {
            asked(Msg_Type::RecordedManager, cmd, nullptr, OpenRequests::Match(), true);
            return;
        }
        const uchar result = payload[0];
        Record record;
        record.Deserialize(reinterpret_cast<const char*>(payload + 1), int(length - 1));
        if (!asked(Msg_Type::RecordedManager, cmd, nullptr,
                   result == 0 ? nameMatch(record.Name) : OpenRequests::Match()))
            return;
        qDebug() << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << "Msg_Cmd::FindRecordInfo";
        RecordEx description;
        if (result == 0) {
            description.SetRecordValue(RecordKey::Name, record.Name);
            description.SetRecordValue(RecordKey::StartTime, record.StartTime);
            description.SetRecordValue(RecordKey::Duration, record.Duration);
            description.SetRecordValue(RecordKey::Size, record.Size);
            description.SetRecordValue(RecordKey::Available, record.Available);
            description.SetRecordValue(RecordKey::Type, int(record.Type));
            description.SetRecordValue(RecordKey::Bit, int(record.Bit));
            description.SetRecordValue(RecordKey::FreqNum, record.Bands.size());
            description.SetRecordValue(RecordKey::Remark, record.Remark);
            for (int i = 0; i < record.Bands.size(); ++i)
                description.setSectionValue(RecordKey::freqSection(i + 1), RecordKey::Num, uint(record.Bands.at(i)));
        }
        emit QueryRecordInfo(result, description);
        break;
    }
    case Msg_Cmd::DeleteRecordInfo:
        if (!changeAsked())
            return;
        emit DeleteRecordSuccess(payload[0]);
        break;
    case Msg_Cmd::ChangeRecordNote:
        if (!changeAsked())
            return;
        emit ChangeRecordNoteSuccess(payload[0]);
        break;
    case Msg_Cmd::FindRecordExInfo: {
        if (!waiting(Msg_Type::RecordedManager, cmd))
            return;
        if (!hasLength(Msg_Type::RecordedManager, cmd, length, 1)) {
            asked(Msg_Type::RecordedManager, cmd, nullptr, OpenRequests::Match(), true);
            return;
        }
        const uchar result = payload[0];
        if (result != 0) {
            if (asked(Msg_Type::RecordedManager, cmd))
                emit QueryRecordInfo(result, RecordEx());
            return;
        }
        RecordEx description;
        description.parseBufferContent(reinterpret_cast<const char*>(payload + 1), int(length - 1));
        description.BuildIndex();
        epochFromStamp(description, RecordKey::Name);
        epochFromStamp(description, RecordKey::StartTime);
        bool named = false;
        const uint name = description.RecordValue(RecordKey::Name).toUInt(&named);
        if (!asked(Msg_Type::RecordedManager, cmd, nullptr, named ? nameMatch(name) : OpenRequests::Match()))
            return;
        emit QueryRecordInfo(0, description);
        break;
    }
    default:
        break;
    }
}

// ---- Collect commands -------------------------------------------------------------------------

bool ProtocolManager::sendControl(Msg_Cmd cmd, const QByteArray& payload, const char* what, const ReplyOwner& owner)
{
    if (sendAwaited(Msg_Type::Collect, cmd, payload, 0, owner)) {
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "%1指令发送"), LogText(what));
        return true;
    }
    FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "%1失败：网络发送失败"), LogText(what));
    return false;
}

bool ProtocolManager::StartRecordCmd(RecordParam param, const ReplyOwner& owner)
{
    QByteArray payload;
    payload.append(U32toByte(param.RecordName));
    payload.append(char(param.SerialPortRecord));
    payload.append(char(param.BitWidth));
    payload.append(char(param.ExternalTrigger));
    payload.append(U32toByte(param.TimedStop));
    payload.append(U32toByte(param.TimedStart));

    quint8 count = param.ChannelNum;
    if (m_channelOverride != 0 && count == m_channelOverride)
        count = m_deviceChannelCount;
    payload.append(char(count));

    // An empty list forwards nothing, so it is no forwarding run.
    m_forwardingMode = !param.Channels.isEmpty();
    for (const RecordChannel& channel : qAsConst(param.Channels)) {
        if (channel.Record != 0 || channel.Forward == 0)
            m_forwardingMode = false;
        payload.append(char(channel.BandId));
        payload.append(char(channel.Reserved));
        payload.append(char(channel.Forward));
        payload.append(char(channel.Record));
    }
    // The instrument reads `count` entries, so missing ones are filled in; without a first entry
    // to copy the flags from, a filler neither forwards nor records.
    const RecordChannel model = param.Channels.isEmpty() ? RecordChannel() : param.Channels.first();
    for (int i = param.Channels.size(); i < int(count); ++i) {
        payload.append(char(0));
        payload.append(char(model.Reserved));
        payload.append(char(model.Forward));
        payload.append(char(model.Record));
    }
    payload.append(param.Note.toUtf8());
    return sendControl(Msg_Cmd::StartRecord, payload, QT_TRANSLATE_NOOP("FileLogger", "启动采集"), owner);
}

bool ProtocolManager::StopRecordCmd(bool stop, const ReplyOwner& owner)
{
    return sendControl(Msg_Cmd::StopRecord, QByteArray(1, stop ? '\x01' : '\x00'),
                       QT_TRANSLATE_NOOP("FileLogger", "停止采集"), owner);
}

bool ProtocolManager::StartPlaybackCmd(uint name, uint loops, uint startPosition, uint duration, bool externalTrigger,
                                       uint startTime, uint reserved, const ReplyOwner& owner)
{
    QByteArray payload;
    payload.append(U32toByte(name));
    payload.append(U32toByte(loops));
    payload.append(U32toByte(startPosition));
    payload.append(U32toByte(duration));
    payload.append(char(externalTrigger ? 1 : 0));
    payload.append(U32toByte(startTime));
    payload.append(U32toByte(reserved));
    qDebug() << "执行回放命令" << startTime << reserved;
    qDebug() << payload.toHex().toUpper();
    return sendControl(Msg_Cmd::StartPlayback, payload, QT_TRANSLATE_NOOP("FileLogger", "启动回放"), owner);
}

bool ProtocolManager::StopPlaybackCmd(const ReplyOwner& owner)
{
    return sendControl(Msg_Cmd::StopPlayback, QByteArray(), QT_TRANSLATE_NOOP("FileLogger", "停止回放"), owner);
}

void ProtocolManager::SetAttenuationPower(uchar channel, uint power)
{
    SendFrame(MakeFrame(Msg_Type::Collect, Msg_Cmd::AttenuationPower, QByteArray(1, char(channel)) + U32toByte(power)));
}

void ProtocolManager::defaultErrorText()
{
    if (m_lastErrorText.isEmpty())
        m_lastErrorText = QStringLiteral("设备回应失败");
}

void ProtocolManager::ParseCollectCmd(uchar cmd, const uchar* payload, uint length)
{
    const Msg_Cmd command = Msg_Cmd(cmd);
    if (command == Msg_Cmd::ErrorStop) {
        if (length < 4)
            return;
        const quint32 reason = qFromLittleEndian<quint32>(payload);
        const char* text = nullptr;
        switch (reason) {
        case 1:
            text = QT_TRANSLATE_NOOP("FileLogger", "硬盘空间不足");
            break;
        case 2:
            text = QT_TRANSLATE_NOOP("FileLogger", "循环存储失败");
            break;
        case 3:
            text = QT_TRANSLATE_NOOP("FileLogger", "无射频数据，启动失败");
            break;
        default:
            text = QT_TRANSLATE_NOOP("FileLogger", "其他错误");
            break;
        }
        const LogText message =
            LogText(QT_TRANSLATE_NOOP("FileLogger", "主动停止错误(%1) %2")).arg(reason).arg(LogText(text));
        FileLogger::LogMessage(FileLogger::Error, message);
        qDebug() << "ErrorStop" << reason << QString::fromUtf8(text);
        emit ErrorStopMsg(message.translated());
        return;
    }
    if (command == Msg_Cmd::AttenuationPower) {
        // A report of the output attenuation, whoever set it: the pages follow it.
        if (length == 5)
            emit AttenuationPowerChanged(payload[0], qFromLittleEndian<quint32>(payload + 1));
        return;
    }
    if (cmd < 1 || cmd > 4)
        return;

    const bool malformed = !hasLength(Msg_Type::Collect, cmd, length, 1);
    const bool ok = !malformed && payload[0] != 0;
    // A playback that ended by itself says so with where it stood.
    const bool endedByItself = command == Msg_Cmd::StopPlayback && ok && length == 5;
    const OpenRequests::Taken t = answer(Msg_Type::Collect, cmd, OpenRequests::Match(), malformed, !endedByItself);
    if (t.answer != OpenRequests::Answer::InTime || malformed) {
        if (endedByItself && t.answer == OpenRequests::Answer::None) {
            emit ProgressUpdate(qFromLittleEndian<quint32>(payload + 1), 0xFFFFFFFFu);
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "停止回放成功"));
            emit StateChange(SystemState::Idle);
            return;
        }
        // Late, its check is out already and the report says what runs. Unreadable, repeated or
        // someone else's, it changes nothing here: the instrument's state is asked.
        if (t.answer != OpenRequests::Answer::Late || malformed)
            askState();
        return;
    }
    SystemState state = SystemState::Idle;
    switch (command) {
    case Msg_Cmd::StartRecord: {
        qDebug() << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << "Msg_Cmd::StartRecord" << payload[0];
        const LogText kind(m_forwardingMode ? QT_TRANSLATE_NOOP("FileLogger", "转发")
                                            : QT_TRANSLATE_NOOP("FileLogger", "采集"));
        if (ok) {
            state = m_forwardingMode ? SystemState::Forwarding : SystemState::Collecting;
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "启动%1成功"), kind);
        } else {
            // A refused start stops nothing: what ran before still runs.
            defaultErrorText();
            state = RunStatus::CurrentStatus();
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "启动%1失败"), kind);
        }
        break;
    }
    case Msg_Cmd::StopRecord:
        if (ok) {
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "停止采集/转发成功"));
        } else {
            defaultErrorText();
            state = RunStatus::CurrentStatus();
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "停止采集/转发失败"));
        }
        break;
    case Msg_Cmd::StartPlayback:
        if (ok) {
            state = SystemState::Playback;
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "启动回放成功"));
        } else {
            defaultErrorText();
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "启动回放失败"));
        }
        break;
    default: // stop playback
        if (ok) {
            qDebug() << Q_FUNC_INFO << "停止回放成功";
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "停止回放成功"));
        } else {
            defaultErrorText();
            state = RunStatus::instance()->LastStatus();
            qDebug() << Q_FUNC_INFO << "停止回放失败";
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "停止回放失败"));
        }
        break;
    }
    emit ControlResult(quint8(cmd + 1), ok);
    emit StateChange(state);
}

// ---- UploadDownload commands ------------------------------------------------------------------

namespace {
QString recordTimeText(uint name)
{
    return QDateTime::fromSecsSinceEpoch(qint64(name)).toString(QStringLiteral("yyyyMMddhhmmss"));
}
} // namespace

void ProtocolManager::StartUploadCmd(int card, uint name, uint firstBlock, uint pcAddress, ushort pcPort,
                                     uint blockSize, const ReplyOwner& owner)
{
    QByteArray payload;
    payload.append(U32toByte(name));
    payload.append(U32toByte(blockSize));
    payload.append(U32toByte(firstBlock));
    payload.append(U32toByte(pcAddress));
    payload.append(U16toByte(pcPort));
    if (!sendAwaited(Msg_Type::UploadDownload, Msg_Cmd::StartUpload, payload, uchar(card), owner))
        return;
    FileLogger::LogMessage(FileLogger::Info,
                           QT_TRANSLATE_NOOP("FileLogger", "记录上传[Card:%1 Port:%2][%3 (%4) , %5 * %6]"), card,
                           pcPort, name, recordTimeText(name), firstBlock, blockSize);
}

void ProtocolManager::StopUpload(int card, const ReplyOwner& owner)
{
    sendAwaited(Msg_Type::UploadDownload, Msg_Cmd::StopUpload, QByteArray(), uchar(card), owner);
}

void ProtocolManager::sendStartDownload(Msg_Cmd cmd, int card, uint name, uint blockSize, bool freshStart,
                                        uint pcAddress, ushort pcPort, const QByteArray& record,
                                        const ReplyOwner& owner)
{
    QByteArray payload;
    payload.reserve(15 + record.size());
    payload.append(U32toByte(name));
    payload.append(U32toByte(blockSize));
    payload.append(char(freshStart ? 1 : 0));
    payload.append(U32toByte(pcAddress));
    payload.append(U16toByte(pcPort));
    payload.append(record);
    sendAwaited(Msg_Type::UploadDownload, cmd, payload, uchar(card), owner);
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "记录下载[Card:%1 Port:%2][%3 (%4) , %5]"),
                           card, pcPort, name, recordTimeText(name), blockSize);
    qDebug() << "StartDownloadCmd" << card << name;
}

void ProtocolManager::StartDownloadCmd(int card, uint name, uint blockSize, bool freshStart, uint pcAddress,
                                       ushort pcPort, Record record, const ReplyOwner& owner)
{
    sendStartDownload(Msg_Cmd::StartDownload, card, name, blockSize, freshStart, pcAddress, pcPort, record.Serialize(),
                      owner);
}

void ProtocolManager::StartDownloadRecordExCmd(int card, uint name, uint blockSize, bool freshStart, uint pcAddress,
                                               ushort pcPort, const RecordEx& record, const ReplyOwner& owner)
{
    sendStartDownload(Msg_Cmd::StartDownloadRecordEx, card, name, blockSize, freshStart, pcAddress, pcPort,
                      record.toByteArray(), owner);
}

void ProtocolManager::StopDownload(int card, const ReplyOwner& owner)
{
    sendAwaited(Msg_Type::UploadDownload, Msg_Cmd::StopDownload, QByteArray(), uchar(card), owner);
}

void ProtocolManager::ParseUploadDownloadCmd(uchar cmd, const uchar* payload, uint length)
{
    const bool malformed = length < 1;
    // Every reply of this type answers a start, stop or heartbeat of a transfer of this PC.
    switch (Msg_Cmd(cmd)) {
    case Msg_Cmd::StartUpload:
    case Msg_Cmd::StopUpload:
    case Msg_Cmd::StartDownload:
    case Msg_Cmd::StartDownloadRecordEx:
    case Msg_Cmd::StopDownload:
    case Msg_Cmd::UploadingAck:
    case Msg_Cmd::DownloadingAck:
        if (!asked(Msg_Type::UploadDownload, cmd, nullptr, OpenRequests::Match(), malformed))
            return;
        break;
    default:
        return;
    }
    const uchar b = payload[0];
    switch (Msg_Cmd(cmd)) {
    case Msg_Cmd::StartUpload:
        qDebug() << "Msg_Cmd::StartUpload" << b;
        emit StartUploadRecord(b);
        break;
    case Msg_Cmd::StopUpload:
        qDebug() << "Msg_Cmd::StopUpload" << b;
        if (b != 0)
            emit StopUploadRecord();
        else
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "停止上传失败"));
        break;
    case Msg_Cmd::StartDownload:
    case Msg_Cmd::StartDownloadRecordEx:
        emit StartDownlaodRecord(b != 0);
        break;
    case Msg_Cmd::StopDownload:
        if (b != 0)
            emit StopDownloadRecord();
        else
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "停止下载失败"));
        break;
    case Msg_Cmd::UploadingAck:
    case Msg_Cmd::DownloadingAck:
        if (b != 0)
            emit AckUploadingOrDownloading();
        else
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "正在上传/下载回包错误"));
        break;
    default:
        break;
    }
}

// ---- Config and Extend commands ---------------------------------------------------------------

void ProtocolManager::ParseConfigCmd(uchar cmd, const uchar* payload, uint length)
{
    // A shorter reply cannot fill the record and is not passed on: it fails its request.
    if (Msg_Cmd(cmd) != Msg_Cmd::QueryConfigParam
        || !asked(Msg_Type::Config, cmd, nullptr, OpenRequests::Match(), !hasLength(Msg_Type::Config, cmd, length, 12)))
        return;
    ConfigParam param;
    param.AttenuationAdjust = qFromLittleEndian<quint32>(payload);
    param.ClockDelay = qFromLittleEndian<quint32>(payload + 4);
    param.PhaseGainOffset = qFromLittleEndian<quint32>(payload + 8);
    emit GetConfigParam(param);
}

void ProtocolManager::ReceiverDataTransCmd(ReceiverDataTrans relay)
{
    QByteArray payload;
    payload.append(char(relay.On));
    payload.append(char(relay.Reserved));
    payload.append(U32toByte(relay.Address));
    payload.append(U16toByte(relay.Port));
    qDebug() << "ReceiverDataTransCmd" << (relay.On != 0 ? "true" : "false") << relay.Port;
    SendFrame(MakeFrame(Msg_Type::Extend, Msg_Cmd::ReceiverDataTrans, payload));
}

void ProtocolManager::SetOutputChannel(uchar channel, bool on)
{
    SendFrame(MakeFrame(Msg_Type::Extend, Msg_Cmd::RecordBandwidth, QByteArray(1, char(channel)) + char(on ? 1 : 0)));
}

void ProtocolManager::GetRecordBandwidth(uint name)
{
    m_recordBandwidthName = name;
    sendAwaited(Msg_Type::Extend, Msg_Cmd::RecordBandwidth, U32toByte(name));
}

void ProtocolManager::SetOutputFrequent(uchar index)
{
    SendFrame(MakeFrame(Msg_Type::Extend, Msg_Cmd::OutputSetting, QByteArray(1, char(index))));
}

void ProtocolManager::SetPulseSetting(uint secondPulseWait, uint second)
{
    SendFrame(MakeFrame(Msg_Type::Extend, Msg_Cmd::OutputSetting, U32toByte(secondPulseWait) + U32toByte(second)));
}

void ProtocolManager::SetRecordBandwidth(uint name, uint bandwidth)
{
    qDebug() << "设置记录带宽" << name << bandwidth;
    SendFrame(MakeFrame(Msg_Type::Extend, Msg_Cmd::OutputSetting, U32toByte(name) + U32toByte(bandwidth)));
}

void ProtocolManager::SendPulseRequest()
{
    sendAwaited(Msg_Type::Extend, Msg_Cmd::FrequencyControl, QByteArray());
}

void ProtocolManager::GetFrequencyData()
{
    SendPulseRequest();
}

void ProtocolManager::SetInputChannel(uchar first, uchar second)
{
    SendFrame(MakeFrame(Msg_Type::Extend, Msg_Cmd::FrequencyControl, QByteArray(1, char(first)) + char(second)));
}

void ProtocolManager::SetFrequencyData(bool enable, uint freqId)
{
    sendAwaited(Msg_Type::Extend, Msg_Cmd::FrequencyData, QByteArray(1, char(enable ? 1 : 0)) + U32toByte(freqId));
}

void ProtocolManager::SetPowerAmplifierAttenuation(uint attenuation)
{
    sendAwaited(Msg_Type::Extend, Msg_Cmd::PowerAmplifier, U32toByte(attenuation).left(3));
}

void ProtocolManager::ParseExtendCmd(uchar cmd, const uchar* payload, uint length)
{
    // Taken only at their exact lengths, and only while their request waits.
    switch (Msg_Cmd(cmd)) {
    case Msg_Cmd::RecordBandwidth: {
        // The reply carries the bandwidth alone: the record is the one its request named.
        QByteArray sent;
        if (length == 4 && IsBandwidthEnable() && asked(Msg_Type::Extend, cmd, &sent)) {
            if (sent.size() >= 4)
                m_recordBandwidthName = qFromLittleEndian<quint32>(sent.constData());
            m_recordBandwidth = qFromLittleEndian<quint32>(payload);
            emit UpdateRecordBandwidth(m_recordBandwidthName, m_recordBandwidth);
        }
        break;
    }
    case Msg_Cmd::FrequencyControl:
        if (length == 7 && asked(Msg_Type::Extend, cmd))
            emit FrequencyControlUpdate(payload[0] != 0, qFromLittleEndian<quint32>(payload + 1),
                                        qFromLittleEndian<quint16>(payload + 5));
        break;
    case Msg_Cmd::FrequencyData:
        if (length == 2 && asked(Msg_Type::Extend, cmd))
            emit FrequencyControlResult(qFromLittleEndian<quint16>(payload));
        break;
    case Msg_Cmd::PowerAmplifier:
        if ((length != 6 && length != 1) || !asked(Msg_Type::Extend, cmd))
            break;
        if (length == 6)
            emit PowerAmplifierStatusUpdate(payload[0],
                                            quint32(payload[1]) | quint32(payload[2]) << 8 | quint32(payload[3]) << 16,
                                            qFromLittleEndian<quint16>(payload + 4));
        else if (length == 1)
            emit PowerAmplifierSetResult(payload[0] != 0);
        break;
    default:
        break;
    }
}

namespace {
QUrl ftpIniUrl(const QString& host, const QString& user, const QString& password, const QString& path, quint16 port)
{
    // Every part is taken as it is written: a '%' in a password is a '%'.
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host, QUrl::DecodedMode);
    url.setPort(port);
    url.setUserName(user, QUrl::DecodedMode);
    url.setPassword(password, QUrl::DecodedMode);
    url.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path, QUrl::DecodedMode);
    return url;
}

// Issues one request on a manager of its own and waits for it, at most the time-out. The
// handler runs when the reply finishes in time; the result is true for a reply without error.
template<typename Issue, typename Finished> bool runFtpIniRequest(Issue issue, Finished onFinished)
{
    auto* manager = new QNetworkAccessManager;
    auto* timer = new QTimer;
    auto* loop = new QEventLoop;
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, loop, &QEventLoop::quit);
    timer->start(ProtocolManager::kFtpIniTimeoutMs);
    bool finished = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QNetworkReply* reply = issue(manager);
    QObject::connect(reply, &QNetworkReply::finished, loop, [&] {
        finished = true;
        error = reply->error();
        onFinished(reply);
        loop->quit();
    });
    loop->exec();
    // An abandoned request must not call back into this frame while the manager goes.
    QObject::disconnect(reply, nullptr, loop, nullptr);
    delete timer;
    delete loop;
    delete manager;
    return finished && error == QNetworkReply::NoError;
}
} // namespace

QByteArray ProtocolManager::ftpIniKey()
{
    return QCryptographicHash::hash(QStringLiteral("739164").toUtf8(), QCryptographicHash::Md5);
}

bool ProtocolManager::GetFtpIniFile(QString host, QString user, QString password, QString path, QString& content,
                                    bool encrypted, quint16 port)
{
    content.clear();
    const QUrl url = ftpIniUrl(host, user, password, path, port);
    return runFtpIniRequest([&](QNetworkAccessManager* manager) { return manager->get(QNetworkRequest(url)); },
                            [&](QNetworkReply* reply) {
                                if (reply->error() != QNetworkReply::NoError)
                                    return;
                                QByteArray bytes = QByteArray::fromBase64(reply->readAll());
                                if (encrypted)
                                    bytes = QAESEncryption(0, 0, 0).Decode(bytes, ftpIniKey(), QByteArray());
                                const int zero = bytes.indexOf('\0');
                                content.append(QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero)));
                            });
}

bool ProtocolManager::SetFtpIniFile(QString host, QString user, QString password, QString path, QString& content,
                                    bool encrypted, quint16 port)
{
    QByteArray bytes = content.toLocal8Bit();
    if (encrypted)
        bytes = QAESEncryption(0, 0, 0).Encode(bytes, ftpIniKey(), QByteArray()).toBase64();
    const QUrl url = ftpIniUrl(host, user, password, path, port);
    return runFtpIniRequest([&](QNetworkAccessManager* manager) { return manager->put(QNetworkRequest(url), bytes); },
                            [](QNetworkReply*) {});
}

// ---- device-configuration store -------------------------------------------------------------

namespace {
const QString kDevConfigGroup = DevConfigCodec::group();
// Bands are addressed by one byte in the collection commands and bit widths are one byte, so a
// larger count from the instrument is a corrupt reply rather than a bigger table.
constexpr int kMaxConfigEntries = 255;
} // namespace

bool ProtocolManager::sendConfig(Msg_Cmd kind, const QByteArray& payload, const ReplyOwner& owner)
{
    // Built only once it may go: a refused one uses up no sequence number.
    if (m_open.isOpen(quint8(Msg_Type::System), quint8(kind))) {
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "同类请求尚未结束，未发送[类型:%1][指令:%2]"),
                               int(Msg_Type::System), wireCmd(quint8(Msg_Type::System), quint8(kind)));
        return false;
    }
    return sendOpen(Msg_Type::System, kind, MakeFrame(Msg_Type::System, Msg_Cmd::DevConfig, payload), payload, owner);
}

bool ProtocolManager::GetDevConfig(const QString& group, const QStringList& keys, const ReplyOwner& owner)
{
    return sendConfig(Msg_Cmd::DevConfig, DevConfigCodec::getRequest(group, keys), owner);
}

bool ProtocolManager::SetDevConfig(const QString& group, const QStringList& keys, const QStringList& values,
                                   const ReplyOwner& owner)
{
    return sendConfig(DevConfigWrite, DevConfigCodec::setRequest(group, keys, values), owner);
}

QStringList ProtocolManager::configValues(const ReplyNotice& notice)
{
    return DevConfigCodec::valuesIn(notice.reply);
}

bool ProtocolManager::configStored(const ReplyNotice& notice)
{
    return DevConfigCodec::storedIn(notice.reply);
}

void ProtocolManager::parseDevConfigReply(const uchar* payload, uint length)
{
    DevConfigCodec::Reply reply;
    LogText why;
    const bool readable = DevConfigCodec::decodeReply(payload, length, &reply, &why);
    if (!readable)
        FileLogger::LogMessage(FileLogger::Error, why);
    // Without its op it names neither kind.
    if (length < 1)
        return;
    const quint8 kind = quint8(reply.isGet() ? Msg_Cmd::DevConfig : DevConfigWrite);
    // A get is answered by one value per key it asked; anything else answers no get of ours.
    const auto fits = [&reply](const QByteArray& sent) {
        return !reply.isGet() || reply.values.size() == DevConfigCodec::keyCount(sent);
    };
    OpenRequests::Taken t;
    if (readable)
        t = answer(Msg_Type::System, kind, fits, false, false);
    // Unreadable, or not what the open one asked: it fails, as it will get no other answer.
    if (t.answer == OpenRequests::Answer::None)
        t = answer(Msg_Type::System, kind, OpenRequests::Match(), true, false);
    if (t.answer == OpenRequests::Answer::None) {
        dropUnasked(Msg_Type::System, quint8(Msg_Cmd::DevConfig));
        return;
    }
    if (readable && reply.isGet() && fits(t.request.sent) && !t.request.owner.isSet() && length > 5)
        emit ReceivedConfigValueList(reply.values);
}

void ProtocolManager::GetDeviceConfigSettingData()
{
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "获取设备配置项信息"));
    freqBands.clear();
    bitNames.clear();
    singleBits.clear();
    QTimer::singleShot(0, this, &ProtocolManager::readDeviceConfig);
}

void ProtocolManager::fetchFailed(int stage)
{
    FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "获取设备配置项信息错误:%1"), stage);
}

bool ProtocolManager::fetchStage(int stage, const QStringList& keys,
                                 const std::function<void(const QStringList&)>& next)
{
    const bool sent =
        GetDevConfig(kDevConfigGroup, keys, ReplyOwner(this, [this, stage, keys, next](const ReplyNotice& n) {
                         switch (n.outcome) {
                         case ReplyOutcome::TimedOut:
                             return; // its own answer may still come in the quiet wait
                         case ReplyOutcome::InTime:
                         case ReplyOutcome::Late: {
                             const QStringList values = configValues(n);
                             if (values.size() == keys.size()) {
                                 next(values);
                                 return;
                             }
                             qDebug() << keys << values;
                             break;
                         }
                         default:
                             break;
                         }
                         fetchFailed(stage);
                     }));
    if (!sent)
        fetchFailed(stage);
    return sent;
}

void ProtocolManager::readDeviceConfig()
{
    // Stage 1: the table sizes and every capability flag.
    QStringList keys{DevConfigCodec::freqNumKey(), DevConfigCodec::bitNumKey()};
    const auto& features = DeviceCapabilities::featureFlags();
    for (auto it = features.cbegin(); it != features.cend(); ++it)
        keys << it->key;
    fetchStage(0, keys, [this](const QStringList& values) {
        const int freqNum = DevConfigCodec::readInt(values.at(0));
        const int bitNum = DevConfigCodec::readInt(values.at(1));
        const auto& flags = DeviceCapabilities::featureFlags();
        int i = 2;
        for (auto it = flags.cbegin(); it != flags.cend(); ++it, ++i) {
            DeviceCapabilities::setEnabled(DevConfigFeature(it.key()), DevConfigCodec::readBool(values.at(i)));
            qDebug() << it->key << it->enabled;
        }
        if (freqNum < 0 || freqNum > kMaxConfigEntries || bitNum < 0 || bitNum > kMaxConfigEntries) {
            FileLogger::LogMessage(FileLogger::Error,
                                   QT_TRANSLATE_NOOP("FileLogger", "设备配置项数量错误[频点:%1][位宽:%2]"), freqNum,
                                   bitNum);
            fetchFailed(0);
            return;
        }
        readDeviceValuesStage(freqNum, bitNum);
    });
}

void ProtocolManager::readDeviceValuesStage(int freqNum, int bitNum)
{
    // Stage 2: the settings of the features that are on.
    const QList<DevConfigValue> fetched = DeviceCapabilities::fetchedValues();
    if (fetched.isEmpty()) {
        readBandsStage(freqNum, bitNum);
        return;
    }
    QStringList keys;
    for (DevConfigValue code : fetched)
        keys << DeviceCapabilities::key(code);
    fetchStage(1, keys, [this, fetched, freqNum, bitNum](const QStringList& values) {
        for (int k = 0; k < fetched.size(); ++k)
            DeviceCapabilities::setValue(fetched.at(k), DeviceCapabilities::fromText(fetched.at(k), values.at(k)));
        readBandsStage(freqNum, bitNum);
    });
}

void ProtocolManager::readBandsStage(int freqNum, int bitNum)
{
    // Stage 3: the bands and the bit widths.
    const bool custom = IsCustomFrequencyEnable();
    QStringList keys;
    for (int n = 1; n <= freqNum; ++n)
        keys << DevConfigCodec::bandKeys(n, custom);
    for (int n = 0; n < bitNum; ++n)
        keys << DevConfigCodec::bitKeys(n);
    fetchStage(2, keys, [this, freqNum, bitNum](const QStringList& values) {
        readDeviceBandsAndBits(values, freqNum, bitNum);
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "获取设备配置项信息成功"));
        if (UseProtocolEx())
            m_extendedHeartbeat = true;
        emit GetDeviceSettingsFinished();
    });
}

bool ProtocolManager::readDeviceBandsAndBits(QStringList values, int freqNum, int bitNum)
{
    const bool custom = IsCustomFrequencyEnable();
    const int perBand = custom ? 5 : 4;
    for (int n = 1; n <= freqNum; ++n) {
        if (values.size() < perBand)
            return false; // the bit widths are not read after a short band list
        FreqBand band;
        band.name = values.at(0);
        band.freq = DevConfigCodec::readUInt(values.at(1));
        band.mask = DevConfigCodec::bandMask(values.at(2), values.at(3));
        if (custom)
            band.custom = DevConfigCodec::readBool(values.at(4));
        freqBands.insert(uint(n), band);
        values.erase(values.begin(), values.begin() + perBand);
    }
    for (int n = 0; n < bitNum && !values.isEmpty() && values.size() % 3 == 0; ++n) {
        const uchar width = uchar(DevConfigCodec::readInt(values.at(0)));
        bitNames.insert(width, values.at(1));
        if (values.at(2) == QLatin1String("true"))
            singleBits.append(width);
        values.erase(values.begin(), values.begin() + 3);
    }
    return true;
}

// ---- cached device values -------------------------------------------------------------------

void ProtocolManager::announceDeviceValue(DevConfigValue code)
{
    const QVariant v = DeviceCapabilities::value(code);
    switch (code) {
    case DevConfigValue::TranspondDelay:
        emit UpdateTranspondDelay(v.toInt());
        break;
    case DevConfigValue::Doppler:
        emit UpdateDopplerValue(int(v.toUInt()));
        break;
    case DevConfigValue::Bandwidth:
        emit UpdateBandwidth(v.toUInt());
        break;
    case DevConfigValue::MGCMode:
        emit UpdateMGCStatus(v.toBool());
        break;
    case DevConfigValue::MGC:
        emit UpdateMGCValue(v.toInt());
        break;
    case DevConfigValue::FeedSwitch:
        emit UpdateFeedSwitchStatus(v.toBool());
        break;
    default:
        break; // sample rate, lists and the low-power switch have no signal
    }
}

void ProtocolManager::readDeviceValue(DevConfigValue code, const ReplyOwner& owner)
{
    m_valueReads.append(ValueRead{code, owner});
    sendValueReads();
}

void ProtocolManager::sendValueReads()
{
    if (m_valueReads.isEmpty()) {
        m_valueReadTimer->stop();
        return;
    }
    if (!m_connected) {
        dropValueReads();
        return;
    }
    if (m_open.isOpen(quint8(Msg_Type::System), quint8(Msg_Cmd::DevConfig))) {
        m_valueReadTimer->start();
        return;
    }
    const QList<ValueRead> reads = std::exchange(m_valueReads, QList<ValueRead>());
    QList<DevConfigValue> codes;
    QStringList keys;
    for (const ValueRead& r : reads) {
        if (!codes.contains(r.code)) {
            codes << r.code;
            keys << DeviceCapabilities::key(r.code);
        }
    }
    if (!GetDevConfig(kDevConfigGroup, keys,
                      ReplyOwner(this, [this, reads, codes](const ReplyNotice& n) { valuesRead(reads, codes, n); }))) {
        m_valueReads = reads + m_valueReads;
        m_valueReadTimer->start();
        return;
    }
    m_valueReadTimer->stop();
}

void ProtocolManager::valuesRead(const QList<ValueRead>& reads, const QList<DevConfigValue>& codes,
                                 const ReplyNotice& notice)
{
    const bool answered = notice.outcome == ReplyOutcome::InTime || notice.outcome == ReplyOutcome::Late;
    if (answered) {
        const QStringList values = configValues(notice);
        for (int i = 0; i < codes.size() && i < values.size(); ++i)
            DeviceCapabilities::setValue(codes.at(i), DeviceCapabilities::fromText(codes.at(i), values.at(i)));
        // Each read asked is answered by its signal, a value asked twice included.
        for (const ValueRead& r : reads)
            if (r.code != DevConfigValue::LowPowerSwitch && r.code != DevConfigValue::SampleRate)
                announceDeviceValue(r.code);
    }
    for (const ValueRead& r : reads) {
        // A read nobody waits on is asked again until the instrument answers or the link drops.
        if (!answered && !r.owner.isSet() && notice.outcome != ReplyOutcome::TimedOut
            && notice.outcome != ReplyOutcome::Cut)
            m_valueReads.append(r);
        r.owner.tell(notice);
    }
    if (notice.outcome != ReplyOutcome::TimedOut && !m_valueReads.isEmpty())
        m_valueReadTimer->start();
}

bool ProtocolManager::writeDeviceValue(DevConfigValue code, const QString& text, const QVariant& value, bool announce,
                                       const ReplyOwner& owner)
{
    const auto written = [this, code, value, announce, owner](const ReplyNotice& n) {
        if ((n.outcome == ReplyOutcome::InTime || n.outcome == ReplyOutcome::Late) && configStored(n)) {
            DeviceCapabilities::setValue(code, value);
            if (announce)
                announceDeviceValue(code);
            if (code == DevConfigValue::LowPowerSwitch)
                readDeviceValue(code);
        }
        owner.tell(n);
    };
    return SetDevConfig(kDevConfigGroup, {DeviceCapabilities::key(code)}, {text}, ReplyOwner(this, written));
}

namespace {
QString boolText(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

int ProtocolManager::GetTranspondDelay(bool refresh)
{
    const int v = DeviceCapabilities::value(DevConfigValue::TranspondDelay).toInt();
    if (refresh)
        readDeviceValue(DevConfigValue::TranspondDelay);
    return v;
}

uint ProtocolManager::GetDopplerValue(bool refresh)
{
    const uint v = DeviceCapabilities::value(DevConfigValue::Doppler).toUInt();
    if (refresh)
        readDeviceValue(DevConfigValue::Doppler);
    return v;
}

uint ProtocolManager::GetBandwidth(bool refresh)
{
    const uint v = DeviceCapabilities::value(DevConfigValue::Bandwidth).toUInt();
    if (refresh)
        readDeviceValue(DevConfigValue::Bandwidth);
    return v;
}

QStringList ProtocolManager::GetBandwidthList()
{
    return DeviceCapabilities::value(DevConfigValue::BandwidthList).toStringList();
}

uint ProtocolManager::GetSampleRate(bool refresh)
{
    const uint v = DeviceCapabilities::value(DevConfigValue::SampleRate).toUInt();
    if (refresh)
        readDeviceValue(DevConfigValue::SampleRate);
    return v;
}

QStringList ProtocolManager::GetSampleRateList()
{
    return DeviceCapabilities::value(DevConfigValue::SampleRateList).toStringList();
}

bool ProtocolManager::IsSampleRateBindBandwidth()
{
    return DeviceCapabilities::value(DevConfigValue::BindBandwidth).toBool();
}

bool ProtocolManager::GetMGCStatus(bool refresh)
{
    const bool v = DeviceCapabilities::value(DevConfigValue::MGCMode).toBool();
    if (refresh)
        readDeviceValue(DevConfigValue::MGCMode);
    return v;
}

int ProtocolManager::GetMGCValue(bool refresh)
{
    const int v = DeviceCapabilities::value(DevConfigValue::MGC).toInt();
    if (refresh)
        readDeviceValue(DevConfigValue::MGC);
    return v;
}

bool ProtocolManager::GetFeedSwitchStatus(bool refresh)
{
    const bool v = DeviceCapabilities::value(DevConfigValue::FeedSwitch).toBool();
    if (refresh)
        readDeviceValue(DevConfigValue::FeedSwitch);
    return v;
}

bool ProtocolManager::GetLowPowerStatus()
{
    return DeviceCapabilities::value(DevConfigValue::LowPowerSwitch).toBool();
}

bool ProtocolManager::SetTranspondDelay(int delay, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::TranspondDelay, QString::number(delay), delay, true, owner);
}

bool ProtocolManager::SetDopplerValue(uint value, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::Doppler, QString::number(value), value, true, owner);
}

bool ProtocolManager::SetBandwidth(uint bandwidth, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::Bandwidth, QString::number(bandwidth), bandwidth, true, owner);
}

bool ProtocolManager::SetSampleRate(uint sampleRate, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::SampleRate, QString::number(sampleRate), sampleRate, false, owner);
}

bool ProtocolManager::SetMGCStatus(bool on, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::MGCMode, boolText(on), on, true, owner);
}

bool ProtocolManager::SetMGCValue(int value, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::MGC, QString::number(value), value, true, owner);
}

bool ProtocolManager::SetFeedSwitchStatus(bool on, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::FeedSwitch, boolText(on), on, false, owner);
}

bool ProtocolManager::SetLowPowerStatus(bool on, const ReplyOwner& owner)
{
    return writeDeviceValue(DevConfigValue::LowPowerSwitch, boolText(on), on, false, owner);
}
