#pragma once

#include "BlockRequestCutter.h"
#include "DataBlock.h"
#include "UploadProof.h"
#include "core_global.h"

#include "LogText.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

class AsyncFileWorker;
class BlockQueue;
class QFile;
class QTcpServer;
class QTcpSocket;
class QTimer;
class RecordEx;

// The data channel of one collection card during a record transfer: a TCP server on the PC that
// the card connects to, on a thread of its own, with a file worker for the card's data file.
//
// Upload (mode 5): the PC asks for block n with a 24-byte frame addressed to a terminal and the
// card answers with exactly one raw block of "SingleTransSize" MiB. Request for block 7, source 0,
// sequence 0 (CRC-32/MPEG-2 of the 20 bytes before it, little-endian):
//
//   CC AA BB FF 01 00 03 00 00 00 04 02 04 00 00 00 | 07 00 00 00 | crc
//
// Answers carry no block number, so the stream is the only record of which answer is which. A
// block is therefore never asked for twice on one connection: a card that is only slow may still
// be sending its first answer and then answer the repeat as well. When a block is late (no byte
// for a whole time-out once the card is connected) the channel drops what it holds of that block,
// closes the card's connection, so that whatever is still on its way dies with it, and ends
// incomplete; the resume asks for that block on a new connection.
//
// Which blocks of a run stand is UploadProof's: every block is compared with every block before
// it of this card's upload, on this connection, among the bytes that came unasked or on the disk,
// and the unasked blocks must be balanced by the repeats found. The file worker fingerprints each
// block whole as it writes it, and the fingerprints of the blocks that stay are kept beside the
// data file ("/%1_%2.wdf", its form in LocalRecordStore.h); one that is not this data file's is
// made again from the data file at the end of a run whose verdict compares with the disk, so
// that the end of a run reads back nothing but the few blocks a fingerprint match names. However a run ends (its last block, the person's
// stop, a late block, a failed file), the channel asks for nothing more, still takes the answer
// owed to its last request, and follows the card's stream until the card has been quiet for a
// time-out and a quarter, counted from its last byte, or closes; what comes after counts as
// unasked. A card still sending two time-outs after the wait began ends with no block of the
// run proved. Every channel waits on its own, so the cards of an upload wait together, and each
// tells its coordinator when its wait after the last block begins (SendEndWait). However an
// upload ends, the data file is cut back to the counters, so a resume writes on from exactly the
// block they name; a resume whose counters name more than the file holds goes on from the
// file's last whole block. A run that rolls back to where the run before it rolled back, for the
// same reason, cannot be proved by pressing again: the channel says so once (cannotProve()).
//
// The card connects once the instrument has accepted its start, which the instrument may take up
// to the reply wait of the control link to answer: the first wait of a channel, for its card to
// connect, is that reply wait plus a time-out. A card ended for any reason but completion logs one
// line naming it, why, and the block a resume goes on from.
//
// Download (mode 6): the card sends a 24-byte request of that form with the block number at byte
// 16, the PC answers with the raw block. A block counts only once this PC sent it and the card
// then asked past it: for the next block, or for block count after the last, which ends the
// channel. Neither the bytes that left the socket (the kernel's send buffer takes a whole block at
// once) nor the way the card closes proves that the card took a block: a card that drops off or
// closes, in order or not, without asking past the block it holds leaves the counters at the
// block before. A request above every block sent in this run or counted before says nothing of
// the blocks between; the counters hold no gap, so the channel fails there (and, when the card
// began there, sets the card back to a fresh start, the only way to put card and PC in step
// again).
//
// Progress lives in the record's "Card<i>" section (UploadNum/DownloadNum next block,
// UploadSize/DownloadSize bytes moved), so a stopped transfer resumes at the next whole block.
// Progress reaches 100 only once the card's last block is proved. Every access to the shared
// record goes through recordLock().
class CORE_EXPORT TcpTransportThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 3000;
    static constexpr int kMaxStrikes = 3;

    enum Status : int {
        Created = 0,
        Listening = 1,
        Connected = 2,
        Flowing = 3,
        Disconnected = 4,
        Complete = 5,
        ListenFailed = -1,
        FileFailed = -2,
        Incomplete = -4,
    };

    TcpTransportThread(uchar channelId, uchar mode, QString address, ushort port, RecordEx* record,
                       QObject* parent = nullptr);
    ~TcpTransportThread() override;

    ushort GetPort();
    int GetStatus() const { return m_status.load(); }
    uint GetHostAddress() const { return m_hostAddress; }
    quint64 cardBytes() const { return m_cardBytes; }
    quint32 blockCount() const { return m_blockCount; }
    // Ended incomplete for a reason of its own, not only because it was told to stop.
    bool endedInFault() const { return m_fault.load(); }
    // Ended complete; a card that closes afterwards still reports its disconnect last.
    bool endedComplete() const { return m_complete.load(); }
    // Download: the data file holds less than the card's share of the record; set before the
    // channel's first report.
    bool dataFileShort() const { return m_dataShort.load(); }
    // Why the card ended short of complete; read once the channel has reported its end.
    LogText endReason() const { return m_endReason; }
    // Upload: this run rolled back to where the run before it did, for the same reason; why, for
    // the person (empty otherwise). Read once the channel has ended.
    LogText cannotProve() const { return m_cannotProve; }
    // Where the fingerprints of a data file's blocks are kept.
    static QString fingerprintFilePath(const QString& dataFile);
    // The device folder of the local record store (the instrument's identifier text); set by the
    // coordinator before the thread starts.
    void setDeviceFolder(const QString& name) { m_deviceFolder = name; }
    // The folder of the data file in place of the record's own (a new upload beside a complete
    // local copy); set by the coordinator before the thread starts.
    void setRecordFolder(const QString& path) { m_recordFolder = path; }
    // How long the link waits for the instrument to answer the start of this transfer; the card
    // connects after that. Set by the coordinator before the thread starts.
    void setStartReplyWait(int ms) { m_startWaitMs = ms + m_timeoutMs; }

    // The one lock around the record description shared by the channels and their coordinator.
    static QMutex* recordLock();

    // Test seam: the time-out of every channel made afterwards.
    static void setTimeoutForTest(int ms);

signals:
    void SendStatus(uchar channelid, int status, int lastStatus);
    void SendThreadProgress(uchar channelid, int progress, double speed);
    // Upload: the card's last block is in, and the channel waits for the card's stream to end.
    void SendEndWait(uchar channelid);

public slots:
    void slot_StopTransport();
    void slot_Tcp_Client_Connected();
    void slot_Tcp_Client_Disconnected();
    void slot_Tcp_Client_DataReady();
    void slot_TransportTimer_Timeout();

protected:
    void run() override;

private:
    bool OpenDataFile();
    // Whether the request for block n went out.
    bool RequestBlock(uint n);
    void lastBlockIn();
    void readKeptFingerprints(quint64 blocks);
    void rebuildKeptFingerprints(QFile& file);
    quint32 recordId() const;
    void resolveProof();
    void keepFingerprints();
    void noteRollBack();
    void waitForQuiet();
    void cutRun(UploadProof::End how);
    bool sendingPastBound() const;
    void giveUpEnd();
    bool owedAnswerComing() const;
    void readUnasked();
    void setEndReason(const LogText& reason);
    void logEnd(bool fault);
    bool WriteBlock();
    bool SendBlock(uint n);
    void StopChannel();
    void uploadData();
    qint64 readCard(char* to, qint64 max);
    void takeBlock();
    void dropLateCard();
    void failUpload(const LogText& why);
    void downloadData(const QByteArray& data);
    void countHeldBlock();
    void dropHeldBlock();
    void sendHeldBlock();
    void onBytesWritten();
    bool failSkipped(quint32 asked, quint32 unsent);
    bool failShortData(quint32 n);
    void keepProvedBlocks();
    void armTimer();
    void reportStatus(int status);
    void reportProgress(quint64 moved);
    void finishWorker();
    void releaseObjects();

    // Record access under recordLock().
    quint64 cardValue(const QString& key) const;
    void setCardValue(const QString& key, quint64 value);

    RecordEx* const m_record;
    quint64 m_cardBytes = 0;
    quint64 m_startPosition = 0;
    quint32 m_blockCount = 0;
    qint64 m_blockBytes = 0;
    const uchar m_channelId;
    const uchar m_mode;
    const QString m_address;
    QString m_deviceFolder;
    QString m_recordFolder;
    uint m_hostAddress = 0;
    std::atomic<ushort> m_port;
    int m_cards = 0;
    std::atomic<int> m_status{Created};
    QTcpServer* m_server = nullptr;
    QTcpSocket* m_card = nullptr;
    ushort m_requestSequence = 0;
    quint8 m_strikes = 0;
    QTimer* m_timeoutTimer = nullptr;
    int m_timeoutMs = kTimeoutMs;
    // Upload: the block being received, read into straight from the socket, and its bytes so far.
    DataBlock m_receiving;
    qint64 m_received = 0;
    // Upload: which blocks of this run stand, and when the card's last byte came.
    UploadProof m_proof;
    QElapsedTimer m_lastByte;
    // Upload: since the channel began to wait for the card's stream to end.
    QElapsedTimer m_endWait;
    // Upload: what came unasked, cut into blocks on the stream's boundaries (the last one filling).
    QVector<QByteArray> m_unaskedBlocks;
    qint64 m_unaskedFill = 0;
    LogText m_cannotProve;
    // Upload: the fingerprints of the blocks before the run, or to be made from the data file.
    QVector<UploadProof::Fingerprint> m_diskPrints;
    bool m_rebuildPrints = false;
    // Why the card ended short of complete, for its one log line.
    LogText m_endReason;
    int m_startWaitMs = 0;
    BlockRequestCutter m_requests;
    qint64 m_startTimeMs = 0;
    double m_elapsedMs = 0.0;
    QFile* m_dataFile = nullptr;
    AsyncFileWorker* m_worker = nullptr;
    BlockQueue* m_queue = nullptr;
    bool m_workerStarted = false;
    DataBlock m_heldBlock;
    quint32 m_heldNumber = 0;
    // Whether every byte of the held block has left the socket's own buffer.
    bool m_heldSent = false;
    QMutex m_stopLock;
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_fault{false};
    std::atomic<bool> m_complete{false};
    std::atomic<bool> m_dataShort{false};
    qint64 m_shortFileBytes = 0;
};
