#include "UpDownLoadAssist.h"

#include "ConfigSetting.h"
#include "FileLogger.h"
#include "LocalRecordStore.h"
#include "ProtocolManager.h"
#include "Record.h"
#include "RunStatus.h"
#include "StartAttribution.h"
#include "TcpTransportThread.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {
constexpr uchar kIdle = 1;
constexpr uchar kUpload = 5;
constexpr uchar kDownload = 6;
} // namespace

UpDownLoadAssist* UpDownLoadAssist::instance()
{
    static UpDownLoadAssist* assist = new UpDownLoadAssist(ProtocolManager::instance());
    return assist;
}

UpDownLoadAssist::UpDownLoadAssist(ProtocolManager* protocol, QObject* parent)
    : QObject(parent)
    , m_protocol(protocol)
{
    qRegisterMetaType<QVector<int>>();
    m_heartbeatTimer.setInterval(kHeartbeatIntervalMs);
    m_heartbeatTimeoutTimer.setInterval(2000);
    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &UpDownLoadAssist::slot_Heartbeat_timer);
    connect(&m_heartbeatTimeoutTimer, &QTimer::timeout, this, &UpDownLoadAssist::slot_Heartbeat_timeout_timer);
    connect(&m_progressTimer, &QTimer::timeout, this, &UpDownLoadAssist::slot_Transport_progress_timer);

    // Each card's start answer comes to its own request's owner (sendStartCommands).
    connect(this, &UpDownLoadAssist::UpdateSystemStatus, RunStatus::instance(), &RunStatus::slot_GlobalStatus);
    connect(m_protocol, &ProtocolManager::AckUploadingOrDownloading, this,
            &UpDownLoadAssist::slot_device_Transport_Heartbeat);
    // The instrument's stop results answer only this PC's own stop requests, which StopTransport
    // sends once the transfer has already ended here; acting on them could only end the next
    // transfer, when the result of the last one's stop comes while the next one starts.

    m_useOldDownloadName = ConfigSetting::instance()->GetInit(ConfigKey::DebugOldDownloadName).toBool();
}

UpDownLoadAssist::~UpDownLoadAssist()
{
    StopTransport(false);
    if (m_method == kIdle)
        return;
    // Going away, it cannot follow the channels' ends: it waits for them here.
    for (TcpTransportThread* channel : qAsConst(m_channels)) {
        channel->wait();
        m_ended.insert(channel);
    }
    StopTransport(true);
}

void UpDownLoadAssist::setHeartbeatTimingForTest(int intervalMs, int timeoutMs)
{
    m_heartbeatTimer.setInterval(intervalMs);
    m_heartbeatTimeoutMs = timeoutMs;
}

RecordEx UpDownLoadAssist::currentRecord() const
{
    QMutexLocker lock(TcpTransportThread::recordLock());
    return m_record;
}

int UpDownLoadAssist::boards() const
{
    QMutexLocker lock(TcpTransportThread::recordLock());
    return m_record.LocalValue(RecordKey::NumOfBoards, 0).toInt();
}

bool UpDownLoadAssist::StartUploadCmdFromUI(RecordEx record, QString address, ushort port, const ReplyOwner& owner,
                                            bool besideLocalCopy)
{
    if (m_method == kIdle && !m_starting)
        m_startOwner = owner;
    return startTransport(record, address, port, kUpload, besideLocalCopy);
}

bool UpDownLoadAssist::StartDownloadCmdFromUI(RecordEx record, QString address, ushort port, const ReplyOwner& owner)
{
    if (m_method == kIdle && !m_starting)
        m_startOwner = owner;
    return startTransport(record, address, port, kDownload);
}

bool UpDownLoadAssist::startTransport(const RecordEx& record, const QString& address, ushort port, uchar mode,
                                      bool besideLocalCopy)
{
    const bool upload = mode == kUpload;
    // One transfer at a time: a second start would take over the running one's record and channels.
    m_lastRefusal = StartRefusal::None;
    if (m_method != kIdle || m_starting) {
        m_lastRefusal = StartRefusal::Busy;
        FileLogger::LogMessage(
            FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "正在传输记录，拒绝新的%1请求"),
            LogText(upload ? QT_TRANSLATE_NOOP("FileLogger", "上传") : QT_TRANSLATE_NOOP("FileLogger", "下载")));
        return false;
    }
    RecordEx copy = record;
    copy.BuildIndex();
    const int n = copy.LocalValue(RecordKey::NumOfBoards, 0).toInt();
    if (n <= 0 || n > LocalRecordStore::kMaxCards) {
        m_lastRefusal = StartRefusal::NoCards;
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "记录%1的采集卡数量%2无效，无法传输"),
                               RecordCheck::logName(copy.RecordValue(RecordKey::Name).toUInt()), n);
        return false;
    }
    const QString device = LocalRecordStore::deviceFolderName(m_protocol->deviceInfo());
    if (upload) {
        // A replacement cut short is settled before anything is written, and a card that could not
        // be proved before is still known as such when its last run kept no byte.
        LocalRecordStore::settleLeftoverReplacement(device, copy.RecordValue(RecordKey::Name).toUInt());
        LocalRecordStore::restoreRollBackMarks(device, copy);
    }
    {
        QMutexLocker lock(TcpTransportThread::recordLock());
        m_record = copy;
    }
    m_method = mode;
    m_staged = upload && besideLocalCopy;
    m_localCopy = m_staged ? LocalCopy::Kept : LocalCopy::Untouched;
    const quint32 name = copy.RecordValue(RecordKey::Name).toUInt();
    m_ended.clear();
    m_checks.clear();
    m_notStarted.clear();
    // A report still to come of an earlier start goes by the connections of its own cards.
    for (StartAnswers& earlier : m_startAnswers)
        if (earlier.seen.isEmpty())
            earlier.seen = connectedCards();
    m_connected = std::vector<std::atomic<bool>>(size_t(n));
    m_startRefused.store(false);
    m_announced = false;
    m_failureReported.store(false);
    m_failureReason = LogText();
    {
        QMutexLocker lock(&m_progressLock);
        m_speeds = QVector<double>(n, 0.0);
        m_progresses = QVector<int>(n, 0);
        m_endWaits = QVector<bool>(n, false);
    }
    m_endWaitTold = false;
    m_stopSent = false;
    const Msg_Cmd startCmd = upload                      ? Msg_Cmd::StartUpload
                           : m_protocol->UseProtocolEx() ? Msg_Cmd::StartDownloadRecordEx
                                                         : Msg_Cmd::StartDownload;
    for (int i = 0; i < n; ++i) {
        auto* channel = new TcpTransportThread(uchar(i), mode, address, port, &m_record);
        channel->setDeviceFolder(device);
        if (m_staged)
            channel->setRecordFolder(LocalRecordStore::stagingFolderPath(device, name));
        channel->setStartReplyWait(m_protocol->replyWaitMs(Msg_Type::UploadDownload, startCmd));
        connect(channel, &TcpTransportThread::SendStatus, this, &UpDownLoadAssist::slot_thread_statusChanged,
                Qt::DirectConnection);
        connect(channel, &TcpTransportThread::SendThreadProgress, this, &UpDownLoadAssist::slot_thread_progress,
                Qt::DirectConnection);
        connect(
            channel, &TcpTransportThread::SendEndWait, this,
            [this](uchar card) {
                QMutexLocker lock(&m_progressLock);
                if (card < m_endWaits.size())
                    m_endWaits[card] = true;
            },
            Qt::DirectConnection);
        connect(channel, &QThread::finished, this, &UpDownLoadAssist::slot_thread_finished, Qt::QueuedConnection);
        connect(this, &UpDownLoadAssist::singal_StopTransport, channel, &TcpTransportThread::slot_StopTransport,
                Qt::QueuedConnection);
        m_channels.append(channel);
    }
    // Armed before the threads start, so a first report that comes at once is counted.
    m_waitLoop.arm(n);
    for (TcpTransportThread* channel : qAsConst(m_channels))
        channel->start(QThread::InheritPriority);

    qDebug() << (upload ? "等待上传线程就绪" : "等待下载线程就绪");
    // Channels that fail end at once, and their ends arrive inside this wait: they must not
    // close a transfer that has not begun.
    m_starting = true;
    m_abortStart = false;
    const bool ready = m_waitLoop.wait(kChannelStartWaitMs);
    m_starting = false;
    qDebug() << (upload ? "等待完毕上传线程就绪" : "等待完毕下载线程就绪");

    bool failed = !ready || m_abortStart;
    bool dataShort = false;
    for (TcpTransportThread* channel : qAsConst(m_channels)) {
        failed = failed || channel->GetStatus() < 0;
        dataShort = dataShort || channel->dataFileShort();
    }
    if (failed) {
        m_lastRefusal = dataShort ? StartRefusal::DataShort : StartRefusal::ChannelsFailed;
        abortStart();
        return false;
    }
    qDebug() << "发送传输连接指令";
    sendStartCommands();
    m_progressTimer.start();
    return true;
}

void UpDownLoadAssist::abortStart()
{
    qDebug() << "传输初始化失败";
    FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "传输初始化失败"));
    // Nothing was asked of the instrument and no byte moved: the channels go without a stop
    // command, without reports and without touching the record information file.
    for (TcpTransportThread* channel : qAsConst(m_channels)) {
        disconnect(channel, nullptr, this, nullptr);
        disconnect(this, nullptr, channel, nullptr);
        if (channel->isRunning())
            QMetaObject::invokeMethod(channel, "slot_StopTransport", Qt::QueuedConnection);
        channel->wait();
        delete channel;
    }
    m_channels.clear();
    m_ended.clear();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    {
        QMutexLocker lock(&m_progressLock);
        m_speeds.clear();
        m_progresses.clear();
    }
    if (m_method == kUpload)
        settleLocalCopy(false, 0, nullptr);
    m_method = kIdle;
}

bool UpDownLoadAssist::settleLocalCopy(bool complete, quint64 total, LogText* why)
{
    const QString device = LocalRecordStore::deviceFolderName(m_protocol->deviceInfo());
    quint32 name = 0;
    {
        QMutexLocker lock(TcpTransportThread::recordLock());
        name = m_record.RecordValue(RecordKey::Name, 0).toUInt();
    }
    if (!m_staged) {
        // Stopped before any block moved: a record of empty files would only be listed unusable.
        if (total == 0 && LocalRecordStore::removeIfEmpty(device, name)) {
            FileLogger::LogMessage(FileLogger::Info,
                                   QT_TRANSLATE_NOOP("FileLogger", "记录%1未收到任何数据，未保留本地记录"),
                                   RecordCheck::logName(name));
            // The cards' roll-back marks outlive the folder: the next press still knows them.
            QMutexLocker lock(TcpTransportThread::recordLock());
            LocalRecordStore::keepRollBackMarks(device, m_record);
        } else {
            LocalRecordStore::dropRollBackMarks(device, name);
        }
        return true;
    }
    m_staged = false;
    QString failed;
    if (complete && LocalRecordStore::replaceWithStaging(device, name, &failed)) {
        m_localCopy = LocalCopy::Replaced;
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "记录%1重新上传完成，已替换本地副本"),
                               RecordCheck::logName(name));
        return true;
    }
    // The copy was never touched: only the new data goes.
    LocalRecordStore::discardStaging(device, name);
    m_localCopy = LocalCopy::Kept;
    if (complete) {
        const LogText text =
            LogText(QT_TRANSLATE_NOOP("FileLogger", "记录%1重新上传的数据无法替换本地副本（%2），本地副本保持不变"))
                .arg(RecordCheck::logName(name))
                .arg(failed);
        FileLogger::LogMessage(FileLogger::Error, text);
        if (why)
            *why = text;
        return false;
    }
    FileLogger::LogMessage(FileLogger::Info,
                           QT_TRANSLATE_NOOP("FileLogger", "记录%1重新上传未完成，已丢弃新数据，本地副本保持不变"),
                           RecordCheck::logName(name));
    return true;
}

void UpDownLoadAssist::sendStartCommands()
{
    QMutexLocker lock(TcpTransportThread::recordLock());
    const uint block = m_record.LocalValue(RecordKey::SingleTransSize, 0).toUInt();
    const uint name = m_record.RecordValue(RecordKey::Name, 0).toUInt();
    // Each card's start has its own owner, uploads and downloads alike: what became of it is
    // that card's, and the start's report waits for every card.
    const quint64 start = ++m_startNumber;
    m_startAnswers.insert(
        start,
        StartAnswers{QVector<int>(m_channels.size(), kStartAwaited), int(m_channels.size()), m_method, {}, false, {}});
    const ReplyOwner page = m_startOwner;
    const auto owner = [this, start, page](int card) {
        return ReplyOwner(this, [this, start, card, page](const ReplyNotice& n) { onCardStart(start, card, page, n); });
    };
    if (m_method == kUpload) {
        for (int i = 0; i < m_channels.size(); ++i) {
            const uint resume = m_record.getSectionValue(RecordKey::cardSection(i), RecordKey::UploadNum, 0).toUInt();
            m_protocol->StartUploadCmd(i + 1, name, resume, m_channels[i]->GetHostAddress(), m_channels[i]->GetPort(),
                                       block, owner(i));
        }
        return;
    }
    const uint downloadName = m_record.RecordValue(RecordKey::DownloadName, 0).toUInt();
    const uint target = downloadName != 0 ? downloadName : name;
    if (m_protocol->UseProtocolEx()) {
        for (int i = 0; i < m_channels.size(); ++i) {
            const bool fresh =
                m_record.getSectionValue(RecordKey::cardSection(i), RecordKey::DownloadNum, 0).toUInt() == 0;
            m_protocol->StartDownloadRecordExCmd(i + 1, target, block, fresh, m_channels[i]->GetHostAddress(),
                                                 m_channels[i]->GetPort(), RecordEx(m_record), owner(i));
        }
        return;
    }
    if (downloadName != 0 && !m_protocol->IsBandwidthEnable())
        m_record.removeSectionKey(RecordKey::RecordSection, RecordKey::DownloadName);
    Record r;
    r.Name = m_useOldDownloadName ? target : name;
    r.StartTime = m_record.RecordValue(RecordKey::StartTime, 0).toUInt();
    r.Duration = m_record.RecordValue(RecordKey::Duration, 0).toUInt();
    r.Size = m_record.RecordValue(RecordKey::Size, 0).toUInt();
    // The record keeps every value as text, a flag as "true" or "false": read as a number it is 0.
    r.Available = m_record.RecordValue(RecordKey::Available, false).toBool();
    r.Type = qint8(m_record.RecordValue(RecordKey::Type, 0).toInt());
    r.Bit = qint8(m_record.RecordValue(RecordKey::Bit, 0).toInt());
    const int bands = m_record.RecordValue(RecordKey::FreqNum, 0).toInt();
    for (int k = 1; k <= bands; ++k)
        r.Bands.append(m_record.getSectionValue(RecordKey::freqSection(k), RecordKey::Num, 0).toInt());
    r.Remark = m_record.RecordValue(RecordKey::Remark).toString();
    for (int i = 0; i < m_channels.size(); ++i) {
        const bool fresh = m_record.getSectionValue(RecordKey::cardSection(i), RecordKey::DownloadNum, 0).toUInt() == 0;
        m_protocol->StartDownloadCmd(i + 1, target, block, fresh, m_channels[i]->GetHostAddress(),
                                     m_channels[i]->GetPort(), r, owner(i));
    }
}

void UpDownLoadAssist::StopUploadCmdFromUI()
{
    if (m_method == kUpload)
        StopTransport(false);
}

void UpDownLoadAssist::StopDownloadCmdFromUI()
{
    if (m_method == kDownload)
        StopTransport(false);
}

int UpDownLoadAssist::answerOf(uchar method, int result)
{
    if (result < 0)
        return 1;
    // An upload start says 0 accepted, 1 failed, 2 no such record; a download start, not 0 accepted.
    if (method == kDownload)
        return result != 0 ? 0 : 1;
    return result;
}

void UpDownLoadAssist::onCardStart(quint64 start, int card, const ReplyOwner& page, const ReplyNotice& notice)
{
    const auto it = m_startAnswers.constFind(start);
    const uchar method = it != m_startAnswers.constEnd() ? it->method : m_method;
    switch (notice.outcome) {
    case ReplyOutcome::InTime:
        takeStartAnswer(start, card, answerOf(method, notice.result()));
        break;
    case ReplyOutcome::Malformed:
        // An answer that says nothing readable is a failed start.
        takeStartAnswer(start, card, 1);
        break;
    case ReplyOutcome::Cut:
        takeStartAnswer(start, card, kStartUnanswered);
        break;
    case ReplyOutcome::TimedOut:
        // Not yet a failure: the answer may be lost or late, or an earlier card's may be, which
        // gave this card's to the card before. A card connects only once the instrument took its
        // start, so its channel says which.
        checkByConnection(start, card, notice);
        break;
    case ReplyOutcome::Settled:
    case ReplyOutcome::CheckLost:
    case ReplyOutcome::Unknown:
    case ReplyOutcome::Corrected:
        // The card's connection, not the table, tells how its start went.
        break;
    case ReplyOutcome::Late:
        // Its own answer, the table says, while its card is being checked: it ends the check.
        if (m_checks.contains(card) && m_checks.value(card).start == start) {
            m_checks.remove(card);
            takeStartAnswer(start, card, answerOf(method, notice.result()));
        }
        break;
    }
    // The page shows the transfer of the last start: an earlier one's news would stand over it.
    if (start == m_startNumber)
        page.tell(notice);
}

void UpDownLoadAssist::takeStartAnswer(quint64 start, int card, int answer)
{
    auto it = m_startAnswers.find(start);
    if (it == m_startAnswers.end() || card < 0 || card >= it->answers.size() || it->answers[card] != kStartAwaited)
        return;
    it->answers[card] = answer;
    --it->pending;
    const uchar method = it->method;
    const bool upload = method == kUpload;
    // The answers of an earlier start only complete its report: this transfer is not theirs.
    const bool current = start == m_startNumber && m_method == method && !m_startRefused.load() && !m_stopSent;
    const bool refused = StartAttribution::isRefusal(answer) && refusedByACard(it->answers);
    // A refusal that no card accounts for came with a card that connected: that card accepted.
    if (current && (answer == 0 || (StartAttribution::isRefusal(answer) && !refused))) {
        FileLogger::LogMessage(FileLogger::Info, upload ? QT_TRANSLATE_NOOP("FileLogger", "控制端进入上传状态")
                                                        : QT_TRANSLATE_NOOP("FileLogger", "启动下载成功,开始下载"));
        m_protocol->SendCmd(Msg_Type::UploadDownload, upload ? Msg_Cmd::UploadingAck : Msg_Cmd::DownloadingAck,
                            Target_Dev::Device);
        m_heartbeatTimeoutTimer.start(m_heartbeatTimeoutMs);
        m_announced = true;
        emit UpdateSystemStatus(upload ? SystemState::Uploading : SystemState::Downloading);
    } else if (current && refused) {
        // Which card refused is the message's to say, by the cards that connected so far.
        FileLogger::LogMessage(FileLogger::Error, !upload ? QT_TRANSLATE_NOOP("FileLogger", "启动下载失败")
                                                  : answer == 1
                                                      ? QT_TRANSLATE_NOOP("FileLogger", "启动上传失败")
                                                      : QT_TRANSLATE_NOOP("FileLogger", "启动上传失败，未找到记录"));
        // The cards that accepted are told to stop now, not when their channels time out, and
        // the state goes idle only once every channel has ended.
        m_startRefused.store(true);
        it->stopped = true;
        StopTransport(false);
        // Told now, not once the last card's answer is in: the cards not heard from are unknown.
        const auto now = m_startAnswers.find(start);
        if (now != m_startAnswers.end()) {
            now->told = StartAttribution::byConnection(now->answers, connectedCards()).answers;
            logRefusals(method, now->told, {});
            emit StartRefused(method, now->told);
        }
    }
    it = m_startAnswers.find(start);
    if (it == m_startAnswers.end() || it->pending > 0)
        return;
    const StartAnswers done = m_startAnswers.take(start);
    const StartAttribution::Cards cards =
        StartAttribution::byConnection(done.answers, done.seen.isEmpty() ? connectedCards() : done.seen);
    const QVector<int>& all = cards.answers;
    if (cards.unaccounted > 0)
        FileLogger::LogMessage(FileLogger::Warning,
                               upload
                                   ? QT_TRANSLATE_NOOP("FileLogger", "上传启动：%1个失败应答不属于任何采集卡，已忽略")
                                   : QT_TRANSLATE_NOOP("FileLogger", "下载启动：%1个失败应答不属于任何采集卡，已忽略"),
                               cards.unaccounted);
    logRefusals(method, all, done.told);
    // Told once, at the refusal. An earlier start's answers are only logged: shown, they would
    // stand over the transfer that runs now. A transfer stopped by a refusal is told even when the
    // cards that connected since took it.
    const bool latest = start == m_startNumber && done.seen.isEmpty();
    if (!latest || !done.told.isEmpty()
        || !(done.stopped || all.contains(1) || all.contains(2) || all.contains(kStartNotConnected)
             || all.contains(kStartNeverConnected)))
        return;
    // A stop under way ends with its channels: the report follows once it is over.
    if (m_method != kIdle && m_stopSent)
        m_refusedAtIdle.append(qMakePair(method, all));
    else
        emit StartRefused(method, all);
}

void UpDownLoadAssist::logRefusals(uchar method, const QVector<int>& cards, const QVector<int>& told)
{
    const bool upload = method == kUpload;
    for (int i = 0; i < cards.size(); ++i) {
        if (i < told.size() && told.at(i) != kStartAwaited)
            continue; // logged when the refusal was told
        const char* text = cards.at(i) == 1 ? (upload ? QT_TRANSLATE_NOOP("FileLogger", "启动上传失败，采集卡%1")
                                                      : QT_TRANSLATE_NOOP("FileLogger", "启动下载失败，采集卡%1"))
                         : cards.at(i) == 2 ? QT_TRANSLATE_NOOP("FileLogger", "启动上传失败，未找到记录，采集卡%1")
                                            : nullptr;
        if (text)
            FileLogger::LogMessage(FileLogger::Error, text, i + 1);
    }
}

bool UpDownLoadAssist::refusedByACard(const QVector<int>& answers) const
{
    // Cards that connected accepted: a refusal that only they could own is nobody's, and the
    // transfer they run goes on.
    const QVector<int> cards = StartAttribution::byConnection(answers, connectedCards()).answers;
    return std::any_of(cards.cbegin(), cards.cend(), StartAttribution::isRefusal);
}

QVector<bool> UpDownLoadAssist::connectedCards() const
{
    QVector<bool> cards;
    for (const std::atomic<bool>& c : m_connected)
        cards << c.load();
    return cards;
}

void UpDownLoadAssist::checkByConnection(quint64 start, int card, const ReplyNotice& notice)
{
    const auto it = m_startAnswers.constFind(start);
    const bool open = start == m_startNumber && m_method != kIdle && it != m_startAnswers.constEnd()
                   && card < it->answers.size() && it->answers.at(card) == kStartAwaited;
    if (!open) {
        // A start already over, or a card already told: nothing is left to look at, and its
        // request leaves the table as it was told.
        m_protocol->settle(notice.seq);
        takeStartAnswer(start, card, kStartUnanswered);
        return;
    }
    m_checks.insert(card, Check{start, notice.seq, notice.cmd});
    // A card connects only once the instrument took its start; its channel stops waiting for it
    // after the reply wait and a time-out.
    if (size_t(card) < m_connected.size() && m_connected[size_t(card)].load())
        endCheck(card);
}

void UpDownLoadAssist::endCheck(int card)
{
    const auto check = m_checks.constFind(card);
    if (check == m_checks.constEnd())
        return;
    const Check c = check.value();
    m_checks.erase(check);
    const bool connected = size_t(card) < m_connected.size() && m_connected[size_t(card)].load();
    const bool upload = Msg_Cmd(c.cmd) == Msg_Cmd::StartUpload;
    const char* text = connected ? (upload ? QT_TRANSLATE_NOOP("FileLogger", "采集卡%1已连接：设备接受了上传启动")
                                           : QT_TRANSLATE_NOOP("FileLogger", "采集卡%1已连接：设备接受了下载启动"))
                                 : (upload ? QT_TRANSLATE_NOOP("FileLogger", "采集卡%1未连接：设备未接受上传启动")
                                           : QT_TRANSLATE_NOOP("FileLogger", "采集卡%1未连接：设备未接受下载启动"));
    FileLogger::LogMessage(connected ? FileLogger::Info : FileLogger::Error, text, card + 1);
    // The connection answers the card's start.
    m_protocol->settle(c.seq);
    if (!connected)
        m_notStarted.insert(card);
    takeStartAnswer(c.start, card, connected ? 0 : kStartNotConnected);
}

bool UpDownLoadAssist::notStarted(int card) const
{
    // Its channel's end is no fault of the data.
    return !(size_t(card) < m_connected.size() && m_connected[size_t(card)].load());
}

void UpDownLoadAssist::tellUnconnected(uchar method, const QVector<int>& unconnected)
{
    if (unconnected.isEmpty())
        return;
    const bool upload = method == kUpload;
    for (int card : unconnected)
        FileLogger::LogMessage(
            FileLogger::Error,
            upload ? QT_TRANSLATE_NOOP("FileLogger", "采集卡%1未连接：设备接受了上传启动，采集卡未连接")
                   : QT_TRANSLATE_NOOP("FileLogger", "采集卡%1未连接：设备接受了下载启动，采集卡未连接"),
            card + 1);
    // A refusal told the start already; a start with answers still to come tells these cards
    // with them.
    if (m_startRefused.load())
        return;
    const auto it = m_startAnswers.find(m_startNumber);
    if (it != m_startAnswers.end()) {
        for (int card : unconnected)
            if (card < it->answers.size() && it->answers.at(card) == 0)
                it->answers[card] = kStartNeverConnected;
        return;
    }
    QVector<int> cards;
    for (int card = 0; card < int(m_connected.size()); ++card)
        cards << (!notStarted(card) ? 0 : unconnected.contains(card) ? kStartNeverConnected : kStartNotConnected);
    m_refusedAtIdle.append(qMakePair(method, cards));
}

void UpDownLoadAssist::slot_device_Transport_Heartbeat()
{
    m_heartbeatMisses = 0;
    m_heartbeatTimeoutTimer.stop();
    if (m_method != kIdle)
        m_heartbeatTimer.start();
}

void UpDownLoadAssist::sendHeartbeat()
{
    const SystemState state = RunStatus::CurrentStatus();
    if (state != SystemState::Uploading && state != SystemState::Downloading)
        return;
    m_protocol->SendCmd(Msg_Type::UploadDownload,
                        state == SystemState::Uploading ? Msg_Cmd::UploadingAck : Msg_Cmd::DownloadingAck,
                        Target_Dev::Device);
    // Armed even when the link refused the frame: a heartbeat that cannot go out is a miss too.
    m_heartbeatTimeoutTimer.start(m_heartbeatTimeoutMs);
}

void UpDownLoadAssist::slot_Heartbeat_timer()
{
    m_heartbeatTimer.stop();
    sendHeartbeat();
}

void UpDownLoadAssist::slot_Heartbeat_timeout_timer()
{
    m_heartbeatTimer.stop();
    m_heartbeatTimeoutTimer.stop();
    ++m_heartbeatMisses;
    if (m_heartbeatMisses < kHeartbeatMissLimit) {
        FileLogger::LogMessage(FileLogger::Debug,
                               QT_TRANSLATE_NOOP("FileLogger", "设备未回应上传下载心跳，超时重试：%1"),
                               m_heartbeatMisses);
        sendHeartbeat();
        return;
    }
    FileLogger::LogMessage(FileLogger::Debug, QT_TRANSLATE_NOOP("FileLogger", "设备未回应上传下载心跳，中断上传下载"));
    qDebug() << "设备未回应上传下载心跳，中断上传下载";
    const SystemState state = RunStatus::CurrentStatus();
    if (state == SystemState::Uploading || state == SystemState::Downloading) {
        // The channels are stopped as by the person, but this stop is a failure.
        reportFailure(LogText(QT_TRANSLATE_NOOP("FileLogger", "设备未回应上传下载心跳")));
        StopTransport(false);
    }
}

void UpDownLoadAssist::reportFailure(const LogText& reason)
{
    if (!m_startRefused.load() && !m_failureReported.exchange(true)) {
        m_failureReason = reason;
        emit Transport_UpdateProgress(-1, 0.0);
    }
}

LogText UpDownLoadAssist::cardFault(int card) const
{
    const TcpTransportThread* channel = m_channels.value(card);
    if (!channel || channel->endReason().isEmpty())
        return LogText();
    return LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡%1：%2")).arg(card + 1).arg(channel->endReason());
}

void UpDownLoadAssist::slot_thread_statusChanged(uchar channelid, int status, int lastStatus)
{
    if (lastStatus == 0) {
        m_waitLoop.countDown();
        return;
    }
    if (status == TcpTransportThread::Connected && channelid < m_connected.size()) {
        m_connected[channelid].store(true);
        QMetaObject::invokeMethod(
            this, [this, channelid] { endCheck(channelid); }, Qt::QueuedConnection);
    }
    // A card stopped on request is incomplete but not in fault: only the stop's own cause (a
    // refused start, the page's wait, lost heartbeats, the person) is the page's to report. The
    // channel list does not change while channels run.
    if (status == TcpTransportThread::Incomplete && channelid < m_channels.size()
        && m_channels.at(channelid)->endedInFault() && m_channels.at(channelid)->cannotProve().isEmpty()) {
        // Told from this object's thread, the page's: sent from the channel's, it would reach the
        // page after a stop under way had made it idle, and take the one report with it. A stop
        // drops this call and reports every card's fault itself before idle.
        QMetaObject::invokeMethod(
            this,
            [this, channelid] {
                if (m_method != kIdle && !notStarted(channelid))
                    reportFailure(cardFault(channelid));
            },
            Qt::QueuedConnection);
    }
}

void UpDownLoadAssist::slot_thread_progress(uchar channelid, int progress, double speed)
{
    QMutexLocker lock(&m_progressLock);
    if (channelid < m_progresses.size()) {
        m_progresses[channelid] = progress;
        m_speeds[channelid] = speed;
    }
}

void UpDownLoadAssist::slot_Transport_progress_timer()
{
    int sum = 0;
    double speed = 0.0;
    int n = 0;
    {
        QMutexLocker lock(&m_progressLock);
        n = m_progresses.size();
        for (int i = 0; i < n; ++i) {
            sum += m_progresses[i];
            speed += m_speeds[i];
        }
    }
    if (n > 0)
        emit Transport_UpdateProgress(int(uint(sum) / uint(n)), speed);
    if (n > 0 && !m_endWaitTold && m_method == kUpload && !m_stopSent) {
        // Told once every card still running waits for its stream's end.
        bool waiting = false;
        bool all = true;
        {
            QMutexLocker lock(&m_progressLock);
            for (int i = 0; i < m_channels.size() && i < m_endWaits.size(); ++i) {
                const int status = m_channels.at(i)->GetStatus();
                const bool ended = status == TcpTransportThread::Complete || status < 0;
                waiting = waiting || (m_endWaits.at(i) && !ended);
                all = all && (m_endWaits.at(i) || ended);
            }
        }
        if (waiting && all) {
            m_endWaitTold = true;
            emit Transport_EndWait();
        }
    }
}

bool UpDownLoadAssist::inEndWait() const
{
    return m_endWaitTold && m_method == kUpload && !m_stopSent;
}

void UpDownLoadAssist::slot_thread_finished()
{
    qDebug() << "线程退出";
    auto* channel = static_cast<TcpTransportThread*>(sender());
    // Ends of channels of an earlier, already closed transfer arrive here queued as well.
    if (m_method == kIdle || !m_channels.contains(channel))
        return;
    m_ended.insert(channel);
    // During the start-up wait the start itself decides what becomes of the channels.
    if (m_starting)
        return;
    // A card being checked whose channel ended without it did not connect. After the last
    // channel the stop ends the checks once idle, so that the start's report finds it so.
    if (m_ended.size() < m_channels.size()) {
        endCheck(int(m_channels.indexOf(channel)));
        return;
    }
    StopTransport(true);
}

void UpDownLoadAssist::StopTransport(bool channelsEnded)
{
    if (m_method == kIdle)
        return;
    // A stop inside the start-up wait is left to the start, which has sent nothing yet.
    if (m_starting) {
        m_abortStart = true;
        return;
    }
    const bool upload = m_method == kUpload;
    const auto sendStops = [this, upload] {
        for (int i = 0; i < m_channels.size(); ++i) {
            const int status = m_channels[i]->GetStatus();
            if (status >= 1 || status < -2) {
                if (upload)
                    m_protocol->StopUpload(i + 1);
                else
                    m_protocol->StopDownload(i + 1);
            }
        }
    };
    if (!m_stopSent) {
        m_stopSent = true;
        qDebug() << "UpDownLoadAssist"
                 << "停止传输" << QThread::currentThreadId();
        m_heartbeatTimer.stop();
        m_heartbeatTimeoutTimer.stop();
        // A card told to stop may drop what it still had to send, and its stream would then end
        // short of what would show a surplus: an upload's cards are told once their channels have
        // followed their streams to the end.
        if (!upload)
            sendStops();
    }
    if (!channelsEnded) {
        emit singal_StopTransport();
        // The page follows the channels' ends: the last one to end finishes the stop.
        if (m_ended.size() < m_channels.size())
            return;
    }
    if (upload)
        sendStops();
    m_progressTimer.stop();

    if (channelsEnded && !m_protocol->UseProtocolEx() && m_protocol->IsBandwidthEnable()) {
        QMutexLocker lock(TcpTransportThread::recordLock());
        const uint bandwidth = m_record.RecordValue(RecordKey::Bandwidth, 0).toUInt();
        uint target = m_record.RecordValue(RecordKey::DownloadName, 0).toUInt();
        if (target != 0)
            m_record.removeSectionKey(RecordKey::RecordSection, RecordKey::DownloadName);
        else
            target = m_record.RecordValue(RecordKey::Name, 0).toUInt();
        m_protocol->SetRecordBandwidth(target, bandwidth);
    }

    for (TcpTransportThread* channel : qAsConst(m_channels)) {
        disconnect(this, &UpDownLoadAssist::singal_StopTransport, channel, nullptr);
        channel->wait();
    }
    // What the page shows last is what the record information file says: a card counts 100 only
    // when its channel ended complete, and a fault found while stopping is reported before idle,
    // which a report queued from a channel thread would reach only after.
    bool fault = false;
    LogText faultReason;
    bool allComplete = !m_channels.isEmpty();
    for (const TcpTransportThread* channel : qAsConst(m_channels))
        allComplete = allComplete && channel->endedComplete();
    QVector<int> stuck;
    QVector<LogText> stuckWhy;
    QVector<int> unconnected;
    {
        QMutexLocker records(TcpTransportThread::recordLock());
        QMutexLocker lock(&m_progressLock);
        for (int i = 0; i < m_channels.size() && i < m_progresses.size(); ++i) {
            const TcpTransportThread* channel = m_channels[i];
            // A card that cannot be proved is told as such, not as an error of the data.
            if (upload && !channel->cannotProve().isEmpty()) {
                stuck << i;
                stuckWhy << channel->cannotProve();
            } else if (channel->endedInFault() && notStarted(i)) {
                // Accepted, by its answer, and its channel gave up waiting for its card; a card
                // being checked or found not started is its start's report's.
                if (!m_checks.contains(i) && !m_notStarted.contains(i))
                    unconnected << i;
            } else if (!fault && channel->endedInFault()) {
                fault = true;
                faultReason = cardFault(i);
            }
            const quint64 moved = m_record
                                      .getSectionValue(RecordKey::cardSection(i),
                                                       upload ? RecordKey::UploadSize : RecordKey::DownloadSize, 0)
                                      .toULongLong();
            const quint64 bytes = channel->cardBytes();
            m_progresses[i] =
                channel->endedComplete() ? 100 : int(bytes > 0 ? qMin<quint64>(99, moved * 100 / bytes) : 0);
        }
    }
    for (TcpTransportThread* channel : qAsConst(m_channels)) {
        // Deleted here: the channel lives in its own thread, which has ended, so a deferred
        // delete would never run.
        delete channel;
    }
    m_channels.clear();
    m_ended.clear();
    // Ends of these channels still queued must not count for a later transfer.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);

    RecordEx copy;
    {
        QMutexLocker lock(TcpTransportThread::recordLock());
        LocalRecordStore::sumTransferCounters(m_record, upload);
        copy = m_record;
    }
    FileLogger::LogMessage(FileLogger::Info, upload ? QT_TRANSLATE_NOOP("FileLogger", "退出记录上传")
                                                    : QT_TRANSLATE_NOOP("FileLogger", "退出记录下载"));
    const QString device = LocalRecordStore::deviceFolderName(m_protocol->deviceInfo());
    const quint32 name = copy.RecordValue(RecordKey::Name, 0).toUInt();
    const bool written =
        m_staged ? LocalRecordStore::WriteRecordInfoToFolder(LocalRecordStore::stagingFolderPath(device, name), copy)
                 : LocalRecordStore::WriteRecordInfoToFile(device, copy);
    if (!written && !fault) {
        fault = true;
        faultReason = LogText(QT_TRANSLATE_NOOP("FileLogger", "更新记录信息文件失败"));
    }
    if (upload) {
        LogText why;
        if (!settleLocalCopy(allComplete && written, copy.LocalValue(RecordKey::TotalUploadedSize, 0).toULongLong(),
                             &why)
            && !fault) {
            fault = true;
            faultReason = why;
        }
    }
    if (fault)
        reportFailure(faultReason);
    slot_Transport_progress_timer();
    if (!stuck.isEmpty()) {
        for (int i = 0; i < stuck.size(); ++i)
            FileLogger::LogMessage(
                FileLogger::Error,
                QT_TRANSLATE_NOOP("FileLogger", "采集卡%1连续两次上传在同一处回退（%2），其数据无法确认"),
                stuck.at(i) + 1, stuckWhy.at(i));
        emit UploadCannotBeProved(stuck, stuckWhy);
    }
    {
        QMutexLocker lock(&m_progressLock);
        m_speeds.clear();
        m_progresses.clear();
    }

    // A transfer that ended before its start answers came is settled by what its cards did: a
    // card that connected took its start, so the transfer ran, and its end is told as such.
    const QVector<bool> cards = connectedCards();
    if (!m_announced && !m_startRefused.load() && cards.contains(true)) {
        m_announced = true;
        emit UpdateSystemStatus(upload ? SystemState::Uploading : SystemState::Downloading);
    }
    m_method = kIdle;
    tellUnconnected(upload ? kUpload : kDownload, unconnected);
    // Checks still open end by what the channels saw before they ended.
    for (int card : m_checks.keys())
        endCheck(card);
    emit UpdateSystemStatus(SystemState::Idle);
    const QList<QPair<uchar, QVector<int>>> refused = std::exchange(m_refusedAtIdle, {});
    for (const auto& report : refused)
        emit StartRefused(report.first, report.second);
}
