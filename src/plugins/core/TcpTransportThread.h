#pragma once

#include "core_global.h"
#include "DataBlock.h"

#include <QByteArray>
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
// Download (mode 6): the card sends a 24-byte request of that form with the block number at byte
// 16, the PC answers with the raw block. After the last block the card asks for block count,
// which ends the channel.
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
    bool RequestBlock(uint n);
    void WriteBlock(const char* data, int length);
    bool SendBlock(uint n);
    void StopChannel();
    void uploadData(const QByteArray& data);
    void downloadData(const QByteArray& data);
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
    QByteArray m_receiveBuffer;
    // Bytes still due from a late answer that turned up after its block was complete.
    qint64 m_discard = 0;
    // Answers to the block being received beyond the first: one per request sent again.
    quint32 m_extraAnswers = 0;
    QByteArray m_requestBuffer;
    qint64 m_startTimeMs = 0;
    double m_elapsedMs = 0.0;
    QFile* m_dataFile = nullptr;
    AsyncFileWorker* m_worker = nullptr;
    BlockQueue* m_queue = nullptr;
    bool m_workerStarted = false;
    DataBlock m_heldBlock;
    QMutex m_stopLock;
    std::atomic<bool> m_stopped{false};
};
