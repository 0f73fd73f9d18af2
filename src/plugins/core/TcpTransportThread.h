#pragma once

#include "AnswerTime.h"
#include "BlockRequestCutter.h"
#include "DataBlock.h"
#include "core_global.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

class AsyncFileWorker;
class BlockQueue;
class QFile;
class QSocketNotifier;
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
// A block that does not arrive within the time-out is asked for again. Answers carry no block
// number, so what follows a repeated request is read by its length once the card has gone quiet
// for a whole time-out (or has sent the most it can): with P bytes of the block held and k repeats
// out, the card sends the rest of its first answer (c bytes, 0 <= c <= B - P) and then m whole
// answers (m <= k; m = 0 only when the first answer was finished, c = B - P). For P > 0 the length
// c + m * B fits one (c, m) only; for P = 0 the readings that fit give the same bytes. A reading
// is taken only when the bytes agree with it (every whole answer starts with the bytes held and
// repeats the others); otherwise the block is asked for again, and the channel fails after the
// third time-out or as soon as more bytes came than any reading allows. The counters never move
// past the last whole block. Any other byte answers no request: beyond a block before the next
// is asked for, or after the last block. It means an answer was read as the wrong block,
// somewhere in this run: the channel fails with the counters back where the run began and the
// file as it is.
//
// The last block therefore counts only once the card has stayed quiet after it (or closed). A
// card that sent a block again unasked is one answer behind, and what gives it away is its answer
// to the last request, which comes as fast as its answers to the requests before. So the wait is
// sized from what this card showed, as TCP sizes its retransmission time-out (AnswerTime): the
// time from each request to the first byte after it, smoothed, plus four times its mean
// deviation, at least a floor for scheduling noise, never more than the time-out. A fixed
// time-out would hold every upload up by seconds for a fault that shows within the card's own
// pace. A stop before the wait is over ends the channel incomplete with the counters back where
// the run began, as nothing then shows the run's blocks are where they were read.
//
// Download (mode 6): the card sends a 24-byte request of that form with the block number at byte
// 16, the PC answers with the raw block. A block counts only once this PC sent it and the card
// then asked past it: for the next block, or for block count after the last, which ends the
// channel. Bytes that left the socket prove nothing (the kernel's send buffer takes a whole block
// at once), so a card that drops off holding a block in part leaves the counters at the block
// before. A request above every block sent in this run or counted before says nothing of the
// blocks between; the counters hold no gap, so the channel fails there (and, when the card began
// there, sets the card back to a fresh start, the only way to put card and PC in step again). A
// card that, after the last block, closes instead of asking past the end has it only if the close
// came in order once its stack had acknowledged every byte, and no reset follows within the
// time-out: a card that closes its sending side and later the connection with the block unread
// resets it, and the channel fails at the block before.
//
// Progress lives in the record's "Card<i>" section (UploadNum/DownloadNum next block,
// UploadSize/DownloadSize bytes moved), so a stopped transfer resumes at the next whole block.
// Every access to the shared record goes through recordLock().
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
    // The device folder of the local record store (the instrument's identifier text); set by the
    // coordinator before the thread starts.
    void setDeviceFolder(const QString& name) { m_deviceFolder = name; }

    // The one lock around the record description shared by the channels and their coordinator.
    static QMutex* recordLock();

    // Test seam: the time-out of every channel made afterwards.
    static void setTimeoutForTest(int ms);

signals:
    void SendStatus(uchar channelid, int status, int lastStatus);
    void SendThreadProgress(uchar channelid, int progress, double speed);

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
    enum class Reading { Wait, Taken, Broken };

    // Whether the channel goes on waiting on the card.
    bool RequestBlock(uint n);
    void finishUpload();
    bool WriteBlock();
    bool SendBlock(uint n);
    void StopChannel();
    void uploadData();
    qint64 readCard(char* to, qint64 max);
    qint64 unreadBytes() const;
    bool noteUnasked();
    void takeBlock(const char* data);
    Reading readRepeats(bool quiet);
    void failUpload(const QString& why);
    void downloadData(const QByteArray& data);
    void countHeldBlock();
    void dropHeldBlock();
    void sendHeldBlock();
    void onBytesWritten();
    bool closeMayHoldLastBlock() const;
    void endClose();
    void notDelivered(const QString& what);
    bool failSkipped(quint32 asked, quint32 unsent);
    void closeCardWatch();
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
    // Every block is in and the card must stay quiet until m_deadline; any byte now answers no
    // request. Settled: the wait ended, or the card closed. Interrupted: stopped before either.
    bool m_settling = false;
    bool m_settled = false;
    bool m_interrupted = false;
    AnswerTime m_answerTime;
    QDeadlineTimer m_deadline;
    // Bytes came that no request asked for: no block of this run counts.
    bool m_unasked = false;
    // Requests sent again for the block being received, and everything received since the first.
    quint32 m_repeats = 0;
    QByteArray m_afterRepeat;
    // Upload counters when this run began, to put them back at the last block on the disk.
    quint64 m_firstBlock = 0;
    quint64 m_firstSize = 0;
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
    // Download: a second handle on the card's connection, so that how it ended can still be read
    // once the socket has closed its own on the card's end of stream.
    int m_cardWatch = -1;
    // Download: the card closed in order after the last block, which counts at m_deadline unless
    // the connection is reset before.
    bool m_closing = false;
    QSocketNotifier* m_resetWatch = nullptr;
    QMutex m_stopLock;
    std::atomic<bool> m_stopped{false};
};
