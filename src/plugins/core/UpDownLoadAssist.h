#pragma once

#include "LogText.h"
#include "QMultiEventLoop.h"
#include "RecordEx.h"
#include "ReplyOwner.h"
#include "SystemState.h"
#include "core_global.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <vector>

class ProtocolManager;
class TcpTransportThread;

// Moves one whole record at a time between the instrument's collection cards and the PC: an
// upload (instrument to PC, run state 5) or a download (PC to instrument, run state 6). It starts
// one TcpTransportThread per card, tells the instrument card by card where to connect and from
// which block to go on, keeps a transfer heartbeat on the control link (UploadDownload command
// 7 or 8 one second after each acknowledgement, three unanswered in a row stop the transfer),
// sums the cards' progress every 500 ms and, at the end, saves the counters in the record
// information file so that the next transfer of the record resumes where each card stopped.
class CORE_EXPORT UpDownLoadAssist : public QObject
{
    Q_OBJECT
public:
    static constexpr int kHeartbeatIntervalMs = 1000;
    static constexpr int kHeartbeatTimeoutMs = 3000;
    static constexpr int kHeartbeatMissLimit = 3;
    static constexpr int kProgressIntervalMs = 500;
    // Channels report their first status at once; a bound keeps a broken one from hanging the page.
    static constexpr int kChannelStartWaitMs = 10000;

    static UpDownLoadAssist* instance();
    // Public so that tests can run one against their own protocol manager.
    explicit UpDownLoadAssist(ProtocolManager* protocol, QObject* parent = nullptr);
    ~UpDownLoadAssist() override;

    // Why the last start was refused before anything was asked of the instrument.
    // DataShort: a download whose local data files hold less than the record gives each card.
    enum class StartRefusal { None, Busy, NoCards, ChannelsFailed, DataShort };
    // False, with a log line, when a transfer runs already, the record has no card or the
    // channels could not be set up; lastStartRefusal() says which. `owner` is told what became
    // of each card's start request (ReplyOwner.h).
    // besideLocalCopy: the record's local copy is complete and stays as it is; the upload goes
    // into the store's staging folder (LocalRecordStore::prepareStaging has made it) and takes
    // the copy's place only when every card ended complete.
    bool StartUploadCmdFromUI(RecordEx record, QString address, ushort port, const ReplyOwner& owner = ReplyOwner(),
                              bool besideLocalCopy = false);
    bool StartDownloadCmdFromUI(RecordEx record, QString address, ushort port, const ReplyOwner& owner = ReplyOwner());
    void StopUploadCmdFromUI();
    void StopDownloadCmdFromUI();
    // Stops the transfer; the state goes idle once every channel has ended (at once when they
    // have), so a stop never waits for a channel.
    void StopTransport(bool channelsEnded);
    uchar GetLastMethod() const { return m_method; }
    // What the last upload beside a complete local copy did to that copy.
    enum class LocalCopy { Untouched, Replaced, Kept };
    LocalCopy lastLocalCopy() const { return m_localCopy; }
    StartRefusal lastStartRefusal() const { return m_lastRefusal; }
    // The upload runs, and every card still running waits for its stream's end (told by
    // Transport_EndWait).
    bool inEndWait() const;
    // Why the transfer that last reported a failure failed: the first card in fault and its
    // reason, as the log says it; empty when nothing was found beyond the failure itself.
    LogText failureReason() const { return m_failureReason; }

    // What a card answered to its start: 0 accepted, 1 failed, 2 record not found (uploads only),
    // or no answer (the link dropped while it waited).
    static constexpr int kStartUnanswered = -1;
    static constexpr int kStartAwaited = -2;
    // Its answer did not come in time or could not be told from another request's, and its card
    // did not connect.
    static constexpr int kStartNotConnected = -3;
    // It accepted its start, and its card never connected: its channel gave up waiting for it.
    static constexpr int kStartNeverConnected = -4;

    // Under the record lock: the coordinator's copy of the running (or last) transfer's record.
    RecordEx currentRecord() const;

    // Test seam: the transfer heartbeat's period and time-out.
    void setHeartbeatTimingForTest(int intervalMs, int timeoutMs);

signals:
    void Transport_UpdateProgress(int progress, double speed);
    void UpdateSystemStatus(SystemState status);
    void singal_StopTransport();
    void Transport_Result(int result);
    // Once per start (`method` 5 upload, 6 download), card 1 first: at a card's refusal, which
    // stopped the cards that accepted, with the cards not heard from yet as kStartAwaited; or,
    // once every card has answered or run out of time, when a card whose answer was late or in
    // doubt did not connect. Never for a start older than the last one.
    void StartRefused(uchar method, QVector<int> answers);
    // Every card of the upload still running has its last block in and waits for its card's
    // stream to end, which proves that block (a time-out and a quarter of quiet, or a close).
    void Transport_EndWait();
    // The upload is over, and these cards (counted from 0) rolled back where their run before did,
    // for the same reason each: pressing again will not move them on.
    void UploadCannotBeProved(QVector<int> cards, QVector<LogText> reasons);

public slots:
    void slot_Heartbeat_timer();
    void slot_Heartbeat_timeout_timer();
    void slot_Transport_progress_timer();
    void slot_device_Transport_Heartbeat();
    void slot_thread_statusChanged(uchar channelid, int status, int lastStatus);
    void slot_thread_progress(uchar channelid, int progress, double speed);
    void slot_thread_finished();

private:
    bool startTransport(const RecordEx& record, const QString& address, ushort port, uchar mode,
                        bool besideLocalCopy = false);
    // The end of an upload on the local store: a staged one replaces the copy or is dropped, and
    // a record that holds nothing is not left behind. False with `why` when replacing failed.
    bool settleLocalCopy(bool complete, quint64 total, LogText* why);
    void abortStart();
    void sendStartCommands();
    void sendHeartbeat();
    void reportFailure(const LogText& reason = LogText());
    int boards() const;
    // Card `card`'s reason for ending short, for the page's one notice.
    LogText cardFault(int card) const;
    // A card's answer byte as an upload start's: 0 accepted, 1 failed, 2 record not found.
    static int answerOf(uchar method, int result);
    // What became of card `card`'s request of start `start`, told to the page's owner too.
    void onCardStart(quint64 start, int card, const ReplyOwner& page, const ReplyNotice& notice);
    void takeStartAnswer(quint64 start, int card, int answer);
    // A start request's answer did not come in time, or could not be tied to one request:
    // whether the card connects says what the instrument did with it.
    void checkByConnection(quint64 start, int card, const ReplyNotice& notice);
    void endCheck(int card);
    // Its card never connected: no byte of it moved, and its start's report tells it.
    bool notStarted(int card) const;
    // At the end of a transfer: the cards that accepted and whose channels gave up waiting.
    void tellUnconnected(uchar method, const QVector<int>& unconnected);
    QVector<bool> connectedCards() const;
    // A card of these answers refused, by what the cards that connected so far account for.
    bool refusedByACard(const QVector<int>& answers) const;
    // The log lines of the cards that refused, but for those already logged as `told`.
    void logRefusals(uchar method, const QVector<int>& cards, const QVector<int>& told);

    ProtocolManager* const m_protocol;
    QTimer m_heartbeatTimer;
    QTimer m_heartbeatTimeoutTimer;
    QTimer m_progressTimer;
    int m_heartbeatTimeoutMs = kHeartbeatTimeoutMs;
    quint8 m_heartbeatMisses = 0;
    uchar m_method = 1;
    RecordEx m_record;
    mutable QMutex m_progressLock;
    QVector<double> m_speeds;
    QVector<int> m_progresses;
    QVector<bool> m_endWaits;
    bool m_endWaitTold = false;
    // The stop commands went out; the stop ends once every channel has.
    bool m_stopSent = false;
    // Reports of refused starts whose stop was still under way.
    QList<QPair<uchar, QVector<int>>> m_refusedAtIdle;
    QList<TcpTransportThread*> m_channels;
    QSet<TcpTransportThread*> m_ended;
    QMultiEventLoop m_waitLoop;
    bool m_useOldDownloadName = false;
    ReplyOwner m_startOwner; // of the start requests of the transfer being started
    StartRefusal m_lastRefusal = StartRefusal::None;
    LogText m_failureReason;
    bool m_staged = false;
    LocalCopy m_localCopy = LocalCopy::Untouched;
    // Each start's card answers so far, card 1 first, how many are still to come, and its kind.
    struct StartAnswers
    {
        QVector<int> answers;
        int pending = 0;
        uchar method = 1;
        QVector<bool> seen;   // which of its cards connected, once a later start took their place
        bool stopped = false; // by a card's refusal
        QVector<int> told;    // each card as the refusal's message told it
    };
    QHash<quint64, StartAnswers> m_startAnswers;
    quint64 m_startNumber = 0;
    bool m_announced = false; // the current transfer's run state was announced
    // The cards of the current start being checked, with their request's place in the order of
    // sending and its command; and which cards have connected (set from the channels' threads).
    struct Check
    {
        quint64 start = 0;
        quint64 seq = 0;
        quint8 cmd = 0;
    };
    QHash<int, Check> m_checks;
    QSet<int> m_notStarted;
    std::vector<std::atomic<bool>> m_connected;
    bool m_starting = false;
    bool m_abortStart = false;
    // The page hears of a failed transfer once: by the refusal of its start, or by one -1.
    std::atomic<bool> m_startRefused{false};
    std::atomic<bool> m_failureReported{false};
};
