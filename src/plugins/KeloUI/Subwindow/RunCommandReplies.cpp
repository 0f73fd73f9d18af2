#include "RunCommandReplies.h"
#include "MessageDialog.h"
#include <FileLogger.h>
#include <ProtocolManager.h>

#include <QStringList>

#include <utility>

namespace {
constexpr int kError = int(MessageDialog::MessageType::Error);
constexpr int kInformation = int(MessageDialog::MessageType::Information);
} // namespace

RunCommandReplies::RunCommandReplies(QObject* page, Texts texts, std::function<void()> startEnded,
                                     std::function<void()> stopEnded)
    : m_page(page)
    , m_texts(std::move(texts))
    , m_startEnded(std::move(startEnded))
    , m_stopEnded(std::move(stopEnded))
{
    QObject::connect(ProtocolManager::instance(), &ProtocolManager::DeviceStateUnanswered, page,
                     [this] { checkFailed(); });
}

ReplyOwner RunCommandReplies::owner()
{
    return ReplyOwner(m_page, [this](const ReplyNotice& n) { tell(n); });
}

quint8 RunCommandReplies::pending() const
{
    const ProtocolManager* protocol = ProtocolManager::instance();
    if (protocol->isAwaiting(Msg_Type::Collect, Msg_Cmd(m_texts.startCode - 1)))
        return m_texts.startCode;
    return protocol->isAwaiting(Msg_Type::Collect, Msg_Cmd(m_texts.stopCode - 1)) ? m_texts.stopCode
                                                                                  : quint8(ControlNone);
}

void RunCommandReplies::tell(const ReplyNotice& n)
{
    const quint8 code = quint8(n.cmd + 1);
    switch (n.outcome) {
    case ReplyOutcome::TimedOut:
        timedOut(code);
        break;
    case ReplyOutcome::Late:
        late(code, n.reply);
        break;
    case ReplyOutcome::Unsure:
        // The state report the protocol asks for then says what runs; the person is told that,
        // once per command in doubt.
        if (!m_verifying.contains(code))
            m_verifying << code;
        break;
    case ReplyOutcome::Malformed:
        malformed(code);
        break;
    case ReplyOutcome::Settled:
        settled(code);
        break;
    default:
        break;
    }
}

QString RunCommandReplies::stateName(SystemState state) const
{
    for (const auto& named : m_texts.stateNames)
        if (named.first == state)
            return named.second;
    return m_texts.otherState;
}

void RunCommandReplies::stateReported(SystemState state)
{
    m_reported = state;
    if (m_verifying.isEmpty() && m_malformed.isEmpty())
        return;
    const bool running = m_texts.running.contains(state);
    const QString shown = stateName(state);
    // Only the report that settles a command's kind says what became of it: one asked before the
    // command was sent does not.
    for (quint8 code : std::exchange(m_malformed, QList<quint8>())) {
        const bool start = code == m_texts.startCode;
        MessageDialog::ShowMessage(title(code), tr("设备应答不完整，已查询设备状态：%1").arg(shown),
                                   start == running ? kInformation : kError);
    }
    const QList<quint8> verifying = std::exchange(m_verifying, QList<quint8>());
    for (quint8 code : verifying) {
        if (ProtocolManager::instance()->isInDoubt(Msg_Type::Collect, Msg_Cmd(code - 1))) {
            m_verifying << code;
            continue;
        }
        // Done when the state is what the command asked for.
        const bool done = (code == m_texts.startCode) == running;
        MessageDialog::ShowMessage(title(code), tr("设备的应答无法确定属于哪一次操作，已查询设备状态：%1").arg(shown),
                                   done ? kInformation : kError);
    }
}

void RunCommandReplies::checkFailed()
{
    QList<quint8> unknown = std::exchange(m_malformed, QList<quint8>());
    for (quint8 code : std::exchange(m_verifying, QList<quint8>()))
        if (!unknown.contains(code))
            unknown << code;
    if (unknown.isEmpty())
        return;
    QStringList lines;
    for (quint8 code : qAsConst(unknown)) {
        lines << title(code);
        // Unconfirmed, as after a time-out: the next press goes out, and its answer is checked.
        if (code == m_texts.startCode)
            m_startEnded();
        else
            m_stopEnded();
    }
    MessageDialog::ShowMessage(tr("核对设备状态失败"),
                               tr("未能获取设备状态，以下请求的结果未知：\n%1").arg(lines.join(QLatin1Char('\n'))),
                               int(MessageDialog::MessageType::Warning));
}

void RunCommandReplies::malformed(quint8 code)
{
    // An answer too short to read ends the command unconfirmed: the state report asked for after
    // it says what runs, and the person is told both.
    if (code == m_texts.startCode)
        m_startEnded();
    else
        m_stopEnded();
    if (!m_malformed.contains(code))
        m_malformed << code;
}

void RunCommandReplies::timedOut(quint8 code)
{
    // The wait is over: a late reply acts on nothing, the instrument's state reports decide.
    if (code == m_texts.startCode) {
        m_startEnded();
        MessageDialog::ShowMessage(m_texts.startFailed, tr("设备响应超时"), kError);
    } else {
        m_stopEnded();
        MessageDialog::ShowMessage(m_texts.stopFailed, tr("设备响应超时"), kError);
    }
}

void RunCommandReplies::late(quint8 code, const QByteArray& reply)
{
    // The person was told the command had no answer: a late success corrects that, once; a late
    // refusal only confirms it. Neither answers a command sent since; the state report asked for
    // after it sets the page.
    const bool start = code == m_texts.startCode;
    if (reply.isEmpty() || reply.at(0) == 0) {
        FileLogger::LogMessage(FileLogger::Warning, start ? m_texts.lateStartRefused : m_texts.lateStopRefused);
        return;
    }
    MessageDialog::ShowMessage(title(code), start ? m_texts.lateStarted : m_texts.lateStopped, kInformation);
}

void RunCommandReplies::settled(quint8 code)
{
    // Told it failed for want of an answer, the command is settled by the state report now in:
    // where that shows it took effect, the person is told so, once; where it shows what was
    // said, nothing more is.
    const bool start = code == m_texts.startCode;
    if (start != m_texts.running.contains(m_reported))
        return;
    MessageDialog::ShowMessage(title(code), start ? m_texts.lateStarted : m_texts.lateStopped, kInformation);
}
