#pragma once

#include "core_global.h"

#include "GetRecordListMsg.h"
#include "GoneRecords.h"
#include "RecordEx.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>

class ProtocolManager;
class RecordThread;

// The PC's copy of the instrument's record list: one RecordEx per record, in the instrument's
// order. A search asks for the list of names with their change stamps, keeps every description
// whose stamp is unchanged and queries the new and changed ones one at a time (with the record
// bandwidth where the instrument reports bandwidths), driven by a RecordThread. Each step waits
// 3000 ms: the first time-out logs a warning and the record is asked for again, the second ends
// the search with GetRecordError(1) and an empty list. A link drop ends it quietly, with an empty
// list: the reconnection searches again. Lives in the GUI thread.
class CORE_EXPORT RecordAssist : public QObject
{
    Q_OBJECT
public:
    static constexpr int kStepTimeoutMs = 3000;

    static RecordAssist* instance();
    // Public so that tests can run one against a manager of their own; the system uses instance().
    explicit RecordAssist(ProtocolManager* protocol, QObject* parent = nullptr);
    ~RecordAssist() override;

    void SeachRecord();
    // Records the instrument confirmed gone, or may have removed. The next list may still hold
    // them (an answer to a list asked before, come late): such a list is not shown, the list is
    // asked for again.
    void recordsGone(const QList<quint32>& names);
    // The next search queries this record's description again, whatever its change stamp says:
    // an instrument need not move the stamp when a remark changes.
    void forgetDescription(quint32 name);
    // "hh:mm:ss" with hours not limited to two digits.
    static QString GetRecordTimeString(uint seconds);

    bool isSearching() const { return m_searching; }
    // Another search follows the one under way (or just ended): the records changed after its
    // list was asked.
    bool searchFollows() const { return m_checkAfter || m_searchScheduled; }
    // The last search ended with the whole list, and the link has not dropped since.
    bool isReady() const { return m_ready; }
    // The worker's flag: the record it is at still waits for its replies.
    bool isWaiting() const { return m_waiting; }
    // Test seam: a step time shorter than the instrument's; a list request waits two steps.
    void setStepTimeout(int milliseconds);

    QList<RecordEx> Records;

signals:
    void RecordListReady();
    // 0 link down, 1 time-out, 2 the instrument reported a failed record query.
    void GetRecordError(int errorCode);

public slots:
    void slot_RecordList(GetRecordListMsg list);
    void slot_QueryRecordInfo(uchar result, RecordEx data);
    void slot_DeleteAllRecordResult(bool ok);
    void slot_UpdateRecordBandwidth(uint name, uint bandwidth);
    void slot_SearchRecord(uint name);

private:
    friend class RecordThread;

    struct Stamp
    {
        quint32 stamp = 0;
        int index = -1;
    };

    void onTimeout();
    void onLinkState(bool up);
    // Ends the search with an empty list; the worker sees the flags and stops.
    void endSearch();
    // `line` is marked QT_TRANSLATE_NOOP("FileLogger", ...).
    void finish(const char* line);
    void clearList();
    bool indexValid() const { return m_current >= 0 && m_current < Records.size(); }
    void stopWorker();
    void askList();
    // A record change is to be checked by a fresh list (ProtocolManager::RecordCheckNeeded).
    void checkRequested();
    // Records changed by an answer no request of this PC waited for.
    void changedUnasked();
    void searchAgainIfChecked();
    // The list holds a record confirmed gone after it may have been asked for.
    bool predatesAGoneRecord(const GetRecordListMsg& list);
    void waitForWorkers();

    ProtocolManager* m_protocol;
    QTimer m_timer;
    QHash<quint32, Stamp> m_stamps;
    QHash<quint32, int> m_pending;
    int m_timeouts = 0;
    bool m_bandwidthSettled = true;
    int m_current = -1;
    quint32 m_currentName = 0; // the record of the query that runs
    bool m_querying = false;   // that query still waits for a reply of ours
    quint32 m_answeredName = 0;
    quint32 m_receivedBandwidth = 0;
    QPointer<RecordThread> m_worker;
    QList<QPointer<RecordThread>> m_workers; // every one still running, waited for on destruction
    std::atomic<bool> m_searching{false};
    std::atomic<bool> m_waiting{false};
    bool m_ready = false;
    int m_stepMs = kStepTimeoutMs;
    // A record change asked for the list as its check while a search ran: one more follows it.
    bool m_checkAfter = false;
    // The search's list goes out once the list request still open (asked before it) has ended.
    bool m_askWhenFree = false;
    bool m_searchScheduled = false;
    GoneRecords m_gone;
};
