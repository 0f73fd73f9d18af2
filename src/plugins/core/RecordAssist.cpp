#include "RecordAssist.h"

#include "FileLogger.h"
#include "ProtocolManager.h"
#include "RecordThread.h"

#include <QDebug>

#include <algorithm>
#include <utility>

RecordAssist* RecordAssist::instance()
{
    static RecordAssist* assist = new RecordAssist(ProtocolManager::instance());
    return assist;
}

RecordAssist::RecordAssist(ProtocolManager* protocol, QObject* parent)
    : QObject(parent)
    , m_protocol(protocol)
{
    qRegisterMetaType<GetRecordListMsg>();
    qRegisterMetaType<RecordEx>();
    m_timer.setInterval(kStepTimeoutMs);
    connect(&m_timer, &QTimer::timeout, this, &RecordAssist::onTimeout);
    connect(m_protocol, &ProtocolManager::RecordListMsg, this, &RecordAssist::slot_RecordList);
    connect(m_protocol, &ProtocolManager::QueryRecordInfo, this, &RecordAssist::slot_QueryRecordInfo);
    connect(m_protocol, &ProtocolManager::DeleteAllRecordSuccess, this, &RecordAssist::slot_DeleteAllRecordResult);
    connect(m_protocol, &ProtocolManager::UpdateRecordBandwidth, this, &RecordAssist::slot_UpdateRecordBandwidth);
    // Records changed by someone else: only the instrument's own list tells how.
    connect(m_protocol, &ProtocolManager::RecordsChangedUnasked, this, &RecordAssist::changedUnasked);
    connect(m_protocol, &ProtocolManager::RecordCheckNeeded, this, &RecordAssist::checkRequested);
    connect(m_protocol, &ProtocolManager::NetSuccess, this, &RecordAssist::onLinkState);
}

RecordAssist::~RecordAssist()
{
    stopWorker();
}

void RecordAssist::stopWorker()
{
    m_searching = false;
    waitForWorkers();
}

void RecordAssist::waitForWorkers()
{
    for (const QPointer<RecordThread>& worker : qAsConst(m_workers))
        if (worker)
            worker->wait();
    m_workers.clear();
}

void RecordAssist::setStepTimeout(int milliseconds)
{
    m_stepMs = milliseconds;
    m_timer.setInterval(milliseconds);
    m_protocol->setListWaitForTest(2 * milliseconds);
}

QString RecordAssist::GetRecordTimeString(uint seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void RecordAssist::SeachRecord()
{
    if (!m_protocol->isConnected()) {
        emit GetRecordError(0);
        m_ready = false;
        return;
    }
    if (m_searching) {
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "等待上次记录查询中"));
        return;
    }
    // The worker of an ended search polls the shared flags for up to a millisecond more; raised
    // again under it, it would go on to its next record and hold the new worker's wait open.
    waitForWorkers();
    m_bandwidthSettled = true;
    m_searching = true;
    m_ready = false;
    m_timeouts = 0;
    m_worker = nullptr;
    m_currentName = 0;
    m_querying = false;
    m_current = -1;
    askList();
}

void RecordAssist::askList()
{
    m_timer.start();
    // One list request is open at a time: the one asked before this search ends first (in its
    // wait, which the search's patience covers), then this one goes out.
    m_askWhenFree = m_protocol->isOpen(Msg_Type::RecordedManager, Msg_Cmd::RecordList);
    if (m_askWhenFree)
        return;
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "已发送记录查询指令"));
    m_protocol->SendCmd(Msg_Type::RecordedManager, Msg_Cmd::RecordList, Target_Dev::Device,
                        ReplyOwner(this, [this](const ReplyNotice& n) {
                            if (std::exchange(m_askWhenFree, false) && m_searching && !m_worker) {
                                askList();
                            } else if (n.outcome == ReplyOutcome::Malformed && m_searching && !m_worker) {
                                // A list that cannot be read ends its search now, not at its
                                // time-out; a check it was is asked again by the protocol.
                                endSearch();
                                emit GetRecordError(2);
                            }
                        }));
}

void RecordAssist::checkRequested()
{
    // A list asked now is the check; one open already answers for what was sent before it, and
    // the protocol asks again for what was sent after.
    if (m_protocol->isOpen(Msg_Type::RecordedManager, Msg_Cmd::RecordList))
        return;
    if (m_searching)
        m_checkAfter = true;
    else
        SeachRecord();
}

void RecordAssist::changedUnasked()
{
    // The list of a search under way may have been asked before the change: one more follows.
    if (m_searching)
        m_checkAfter = true;
    else
        SeachRecord();
}

void RecordAssist::searchAgainIfChecked()
{
    if (!std::exchange(m_checkAfter, false) || m_searchScheduled)
        return;
    m_searchScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_searchScheduled = false;
        SeachRecord();
    });
}

void RecordAssist::recordsGone(const QList<quint32>& names)
{
    for (quint32 name : names)
        m_gone.add(name);
}

void RecordAssist::forgetDescription(quint32 name)
{
    m_stamps.remove(name);
}

bool RecordAssist::predatesAGoneRecord(const GetRecordListMsg& list)
{
    QList<quint32> names;
    for (const RecordListEntry& entry : list.Records)
        names << entry.Name;
    return m_gone.predates(names);
}

void RecordAssist::clearList()
{
    m_stamps.clear();
    Records.clear();
    m_pending.clear();
    m_current = -1;
}

void RecordAssist::finish(const char* line)
{
    m_timer.stop();
    m_searching = false;
    m_ready = true;
    FileLogger::LogMessage(FileLogger::Info, line);
    emit RecordListReady();
    // The changes this list was the check of are told what it shows, once it is shown.
    recordsGone(m_protocol->recordListIn(Records));
    searchAgainIfChecked();
}

void RecordAssist::slot_RecordList(GetRecordListMsg list)
{
    // Only the search that waits for its list takes one; a late or second list would rebuild
    // the entries under a running worker. A list asked before the search is not its own.
    if (m_askWhenFree)
        return;
    const bool stale = predatesAGoneRecord(list);
    if (!m_searching || m_worker)
        return;
    m_timeouts = 0;
    m_timer.stop();
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "获取到记录列表，记录总数:%1"),
                           list.Records.size());
    if (stale) {
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "记录列表早于已确认的删除，重新获取"));
        askList();
        return;
    }

    if (list.Records.isEmpty()) {
        clearList();
        finish(QT_TRANSLATE_NOOP("FileLogger", "查询记录结束，无记录"));
        return;
    }

    const bool bandwidths = m_protocol->IsBandwidthEnable();
    m_pending.clear();
    QHash<quint32, Stamp> stamps;
    QList<RecordEx> records;
    QList<uint> order;
    for (int i = 0; i < list.Records.size(); ++i) {
        const RecordListEntry& entry = list.Records.at(i);
        const auto old = m_stamps.constFind(entry.Name);
        const bool unchanged = old != m_stamps.constEnd() && old->stamp != 0 && old->stamp == entry.ChangeStamp
                            && old->index >= 0 && old->index < Records.size()
                            && (!bandwidths || Records.at(old->index).RecordValue(RecordKey::Bandwidth).toUInt() != 0);
        if (unchanged) {
            records.append(Records.at(old->index));
        } else {
            if (!m_pending.contains(entry.Name))
                order.append(entry.Name);
            m_pending.insert(entry.Name, i);
            RecordEx empty;
            empty.parseBufferContent(QString());
            empty.BuildIndex();
            records.append(empty);
        }
        stamps.insert(entry.Name, Stamp{entry.ChangeStamp, i});
    }
    QList<quint32> goneNames;
    for (auto it = m_stamps.cbegin(); it != m_stamps.cend(); ++it)
        if (!stamps.contains(it.key()))
            goneNames << it.key();
    std::sort(goneNames.begin(), goneNames.end());
    QStringList gone;
    for (quint32 name : qAsConst(goneNames))
        gone << RecordCheck::logName(name);
    m_stamps = stamps;
    Records = records;

    if (m_pending.isEmpty()) {
        // Nothing to ask again, but records that left the instrument (another PC, a restart)
        // still changed the list.
        if (!gone.isEmpty()) {
            // Named, so the person can tell which of their records went.
            FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "%1 条记录已不在设备上：%2"),
                                   gone.size(), gone.join(QStringLiteral(", ")));
            finish(QT_TRANSLATE_NOOP("FileLogger", "查询记录结束，更新完毕"));
            return;
        }
        finish(QT_TRANSLATE_NOOP("FileLogger", "查询记录结束，无更新记录"));
        return;
    }
    auto* worker = new RecordThread(this, order, m_stepMs);
    m_worker = worker;
    m_workers.append(worker);
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &RecordThread::SearchRecord, this, &RecordAssist::slot_SearchRecord, Qt::QueuedConnection);
    worker->start();
}

void RecordAssist::slot_SearchRecord(uint name)
{
    // A worker of a search that has ended, or one forgotten after a failure, asks for nothing.
    if (!m_searching || (sender() && sender() != m_worker))
        return;
    if (!m_bandwidthSettled)
        return;
    // Only a query still open for this record is asked again; a name compared alone would take
    // the first query of a record named 0 for a repeat.
    const bool retry = m_querying && name == m_currentName;
    m_current = -1;
    const auto it = m_pending.constFind(name);
    if (it == m_pending.constEnd()) {
        m_querying = false;
        m_waiting = false;
        return;
    }
    m_current = it.value();
    m_currentName = name;
    m_querying = true;

    if (m_protocol->UseProtocolEx()) {
        m_protocol->FindRecordExInfoCmd(name);
    } else {
        // A repeat keeps what already came for this record: a bandwidth taken before the lost
        // information reply is not asked for again.
        if (!retry) {
            m_answeredName = 0;
            m_receivedBandwidth = 0;
        }
        if (m_protocol->IsBandwidthEnable() && indexValid()
            && Records.at(m_current).RecordValue(RecordKey::Bandwidth).toUInt() == 0) {
            m_bandwidthSettled = false;
            m_protocol->GetRecordBandwidth(name);
        } else {
            m_bandwidthSettled = true;
        }
        m_protocol->FindRecordInfoCmd(name);
    }
    // A repeat of the same query keeps the step's time-out running, so a silent instrument
    // ends the search after the retry instead of being asked for ever.
    if (!retry) {
        m_timeouts = 0;
        m_timer.start();
    }
}

void RecordAssist::slot_QueryRecordInfo(uchar result, RecordEx data)
{
    // Only the answer to the query that runs is ours; replies to the pages' own queries, and
    // late or repeated replies for another record, are left alone.
    if (!m_searching || !m_waiting || !m_querying)
        return;
    if (result != 0) {
        m_timeouts = 0;
        m_timer.stop();
        qDebug("[记录信息查询失败]%d\n", int(result));
        qDebug() << "记录信息查询异常" << result;
        m_querying = false;
        m_waiting = false;
        m_searching = false;
        m_ready = false;
        m_worker = nullptr;
        clearList();
        m_protocol->recordListFailed();
        emit GetRecordError(2);
        return;
    }
    const quint32 name = data.RecordValue(RecordKey::Name).toUInt();
    if (name != m_currentName || !m_pending.contains(name))
        return;
    m_timeouts = 0;
    m_timer.stop();
    m_pending.remove(name);

    const bool extended = m_protocol->UseProtocolEx();
    if (indexValid()) {
        Records[m_current] = data;
        Records[m_current].BuildIndex();
        if (!extended)
            Records[m_current].SetRecordValue(RecordKey::Bandwidth, m_receivedBandwidth);
    }
    if (extended) {
        m_querying = false;
        m_waiting = false;
    } else {
        m_answeredName = name;
        if (m_bandwidthSettled) {
            m_querying = false;
            m_waiting = false;
        } else {
            // The bandwidth reply has one step left.
            m_timeouts = 1;
            m_timer.start();
        }
    }
    if (!m_waiting && m_pending.isEmpty())
        finish(QT_TRANSLATE_NOOP("FileLogger", "查询记录结束，更新完毕"));
}

void RecordAssist::slot_UpdateRecordBandwidth(uint name, uint bandwidth)
{
    // Outside a search, or for a record other than the one being queried, a bandwidth is not
    // ours; nor is a second reply to a query already answered. The waiting flag alone does not
    // tell: the worker raises it for the next record before that record is asked for.
    if (!m_searching || !m_waiting || !m_querying || m_bandwidthSettled || name != m_currentName)
        return;
    m_receivedBandwidth = bandwidth;
    if (indexValid())
        Records[m_current].SetRecordValue(RecordKey::Bandwidth, bandwidth);
    m_bandwidthSettled = true;
    if (name == m_answeredName) {
        m_timeouts = 0;
        m_timer.stop();
        m_querying = false;
        m_waiting = false;
    } else if (m_waiting) {
        return;
    }
    if (m_pending.isEmpty())
        finish(QT_TRANSLATE_NOOP("FileLogger", "查询记录结束，更新完毕"));
}

void RecordAssist::onTimeout()
{
    ++m_timeouts;
    qDebug() << "Searching record time out" << m_timeouts;
    if (m_timeouts == 1) {
        FileLogger::LogMessage(FileLogger::Warning,
                               m_bandwidthSettled ? QT_TRANSLATE_NOOP("FileLogger", "获取记录超时，正在重试")
                                                  : QT_TRANSLATE_NOOP("FileLogger", "获取记录超时，正在重试(带宽)"));
        return;
    }
    endSearch();
    FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "获取记录信息失败（超时）"));
    emit GetRecordError(1);
}

void RecordAssist::onLinkState(bool up)
{
    if (up)
        return;
    // Nothing asked on the lost link is answered on the next.
    m_checkAfter = false;
    m_askWhenFree = false;
    m_searchScheduled = false;
    m_gone.clear();
    // What the instrument holds may change while the link is down: the list is no longer known
    // to be its list until the next search ends.
    m_ready = false;
    // A drop forgets every request the search waits for, so none of its replies can come. Left
    // running, it would turn away the search the reconnection starts and then fail on its clock.
    if (!m_searching)
        return;
    endSearch();
    FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "连接断开，记录查询中止"));
}

void RecordAssist::endSearch()
{
    m_timer.stop();
    m_worker = nullptr;
    m_searching = false;
    m_querying = false;
    m_waiting = false;
    m_ready = false;
    m_askWhenFree = false;
    clearList();
    m_protocol->recordListFailed();
    searchAgainIfChecked();
}

void RecordAssist::slot_DeleteAllRecordResult(bool ok)
{
    if (ok) {
        QList<quint32> names;
        for (const RecordEx& r : qAsConst(Records))
            names << r.RecordValue(RecordKey::Name).toUInt();
        recordsGone(names);
        m_stamps.clear();
        Records.clear();
    }
}
