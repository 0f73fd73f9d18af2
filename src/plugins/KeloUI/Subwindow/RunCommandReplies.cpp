#include "RunCommandReplies.h"
#include "MessageDialog.h"
#include <DeviceReportDecoder.h>
#include <FileLogger.h>
#include <LastWords.h>
#include <ProtocolManager.h>
#include <ReplyWords.h>

#include <QStringList>

#include <utility>

namespace {
constexpr int kError = int(MessageDialog::MessageType::Error);
constexpr int kWarning = int(MessageDialog::MessageType::Warning);
constexpr int kInformation = int(MessageDialog::MessageType::Information);
} // namespace

RunCommandReplies::RunCommandReplies(QObject* page, Texts texts, std::function<void()> startEnded,
                                     std::function<void()> stopEnded)
    : m_page(page)
    , m_texts(std::move(texts))
    , m_startEnded(std::move(startEnded))
    , m_stopEnded(std::move(stopEnded))
    , m_held([this](int code) { return heldBecause(quint8(code)); })
{}

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

QString RunCommandReplies::heldBecause(quint8 code) const
{
    return ProtocolManager::instance()->openReason(Msg_Type::Collect, Msg_Cmd(code - 1));
}

void RunCommandReplies::hold(QWidget* control, quint8 code)
{
    // The layout has just had its word on the control: it is held again only if it left it on.
    m_held.leave(control);
    control->setToolTip(heldBecause(code));
    m_held.hold(control, code);
}

bool RunCommandReplies::refused(quint8 code) const
{
    const QString reason = heldBecause(code);
    if (reason.isEmpty())
        return false;
    MessageDialog::ShowMessage(title(code), ReplyWords::refusedWhileOpen(reason), kWarning);
    return true;
}

void RunCommandReplies::tell(const ReplyNotice& n)
{
    tellOutcome(n);
    // Told, the request may have ended: a control held for it is let go.
    m_held.release();
}

void RunCommandReplies::tellOutcome(const ReplyNotice& n)
{
    const quint8 code = quint8(n.cmd + 1);
    switch (n.outcome) {
    case ReplyOutcome::TimedOut:
        timedOut(code);
        break;
    case ReplyOutcome::Late:
        late(code, n.reply);
        break;
    case ReplyOutcome::Malformed:
        malformed(code);
        break;
    case ReplyOutcome::Settled:
        settled(code, n.reply);
        break;
    case ReplyOutcome::Corrected:
        MessageDialog::ShowMessage(LastWords::title(), n.finding.text, kWarning);
        break;
    case ReplyOutcome::CheckLost:
        MessageDialog::ShowMessage(ReplyWords::stateCheckLostTitle(), ReplyWords::stateCheckLost(title(code)),
                                   int(MessageDialog::MessageType::Warning));
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
    if (m_malformed.isEmpty())
        return;
    const bool running = m_texts.running.contains(state);
    const QString shown = stateName(state);
    for (quint8 code : std::exchange(m_malformed, QList<quint8>())) {
        const bool start = code == m_texts.startCode;
        MessageDialog::ShowMessage(title(code), tr("设备应答不完整，已查询设备状态：%1").arg(shown),
                                   start == running ? kInformation : kError);
    }
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
    // Not yet a failure: the state report asked for now, or its own late answer, tells how it
    // went, once. Until then the page is laid out as before the command, its control held.
    if (code == m_texts.startCode)
        m_startEnded();
    else
        m_stopEnded();
    MessageDialog::ShowMessage(title(code), ReplyWords::timedOut(), kWarning);
}

void RunCommandReplies::late(quint8 code, const QByteArray& reply)
{
    // The person was told the command is being checked: its own answer tells how it went, once.
    // It answers no command sent since; the state report asked for after it sets the page.
    const bool start = code == m_texts.startCode;
    if (reply.isEmpty() || reply.at(0) == 0) {
        FileLogger::LogMessage(FileLogger::Warning, start ? m_texts.lateStartRefused : m_texts.lateStopRefused);
        MessageDialog::ShowMessage(start ? m_texts.startFailed : m_texts.stopFailed, ReplyWords::lateRefused(), kError);
        return;
    }
    MessageDialog::ShowMessage(title(code), start ? m_texts.lateStarted : m_texts.lateStopped, kInformation);
}

void RunCommandReplies::settled(quint8 code, const QByteArray& report)
{
    // Told it is being checked, the command is settled by the state report of its check, which
    // came with the notice: the person is told what that shows of it.
    SyncDeviceState state;
    const SystemState reported = DeviceReportDecoder::decodeSyncDeviceState(
                                     reinterpret_cast<const uchar*>(report.constData()), uint(report.size()), &state)
                                   ? SystemState(state.State)
                                   : m_reported;
    const bool start = code == m_texts.startCode;
    if (start == m_texts.running.contains(reported))
        MessageDialog::ShowMessage(title(code), start ? m_texts.lateStarted : m_texts.lateStopped, kInformation);
    else
        MessageDialog::ShowMessage(start ? m_texts.startFailed : m_texts.stopFailed,
                                   ReplyWords::notDone(stateName(reported)), kError);
}
