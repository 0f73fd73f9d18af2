#pragma once

#include "core_global.h"

#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>

class BlockQueue;
class QFileDevice;

// The file side of one transfer channel, on a thread of its own so that socket and disk never
// wait on each other. The channel positions the data file before the worker starts; from there
// the worker works sequentially:
//
//   upload (mode 5):   blocks popped from the queue are written and flushed one by one, each
//                      fingerprinted whole while it is in memory; when asked to finish it
//                      first writes every block still queued.
//   download (mode 6): the file is read ahead block by block into the queue, up to 16 MiB (at
//                      least two blocks) ahead of the channel and never past the queue's
//                      bound; a block holds exactly the bytes the file holds (the one that
//                      reaches the end of the file may be shorter than the block size), and
//                      the worker ends after it.
//
// A failed write, flush or read sets hasFailed() and ends the worker, and errorString() keeps the
// system's reason; the channel then reports the card as incomplete.
class CORE_EXPORT AsyncFileWorker : public QThread
{
    Q_OBJECT
public:
    static constexpr int kUpload = 5;
    static constexpr int kDownload = 6;

    // blockBytes is "SingleTransSize" x 1048576 of the record being moved.
    AsyncFileWorker(int mode, BlockQueue* queue, QFileDevice* file, qint64 blockBytes);
    ~AsyncFileWorker() override;

    void requestFinish();
    // The worker's own running flag: cleared when it ends or is told to stop.
    bool isRunning() const { return m_running.load(); }
    bool hasFailed() const { return m_failed.load(); }
    // Why the file failed, as the system put it ("No space left on device"); set before
    // hasFailed() turns true.
    QString errorString() const { return m_failed.load() ? m_error : QString(); }
    // Upload: blocks written and flushed whole, so a failed run knows where its file ends.
    quint64 blocksWritten() const { return m_blocksWritten.load(); }
    // Upload: the fingerprint (UploadProof::fingerprint) of every block written, in order; read
    // once the worker has ended.
    const QVector<quint64>& fingerprints() const { return m_fingerprints; }
    void requestStop();

protected:
    void run() override;

private:
    void upload();
    void download();
    void fail(const QString& why = QString());

    const int m_mode;
    BlockQueue* const m_queue;
    QFileDevice* const m_file;
    const qint64 m_blockBytes;
    std::atomic<bool> m_finishRequested{false};
    std::atomic<bool> m_running{true};
    std::atomic<bool> m_failed{false};
    std::atomic<quint64> m_blocksWritten{0};
    QString m_error;
    QVector<quint64> m_fingerprints;
};
