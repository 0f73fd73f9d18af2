#include "AsyncFileWorker.h"

#include "BlockQueue.h"
#include "UploadProof.h"

#include <QDebug>
#include <QFileDevice>

#include <limits>

namespace {
// How long an idle side waits before it looks at the flags again; pushes, pops and the flag
// setters wake it earlier.
constexpr int kIdleWaitMs = 20;
// How far a download reads ahead of the card, short of the queue's bound: the card takes one
// block at a time, and a short lead keeps refilling the same few blocks while they are still
// mapped and in the cache, where reading ahead to the bound would touch new memory for every block.
constexpr qint64 kReadAheadBytes = 16 * 1024 * 1024;
} // namespace

AsyncFileWorker::AsyncFileWorker(int mode, BlockQueue* queue, QFileDevice* file, qint64 blockBytes)
    : QThread(nullptr)
    , m_mode(mode)
    , m_queue(queue)
    , m_file(file)
    , m_blockBytes(blockBytes)
{}

AsyncFileWorker::~AsyncFileWorker()
{
    requestStop();
    wait();
}

void AsyncFileWorker::requestFinish()
{
    m_finishRequested.store(true);
    if (m_queue)
        m_queue->wake();
}

void AsyncFileWorker::requestStop()
{
    m_running.store(false);
    if (m_queue)
        m_queue->wake();
}

void AsyncFileWorker::fail(const QString& why)
{
    m_error = why;
    m_failed.store(true);
    m_running.store(false);
}

void AsyncFileWorker::run()
{
    // running starts out set and is not set again here, so a stop requested before the thread
    // got going is not lost.
    if (!m_queue || !m_file || m_blockBytes <= 0 || m_blockBytes > std::numeric_limits<int>::max()) {
        qWarning() << "file worker without queue, file or a usable block size" << m_blockBytes;
        fail();
        return;
    }
    if (m_mode == kUpload)
        upload();
    else if (m_mode == kDownload)
        download();
    else {
        qWarning() << "file worker with unknown mode" << m_mode;
        fail();
    }
}

void AsyncFileWorker::upload()
{
    for (;;) {
        DataBlock block = m_queue->tryPop();
        if (!block.isNull()) {
            // Here, beside the write, so that the channel's thread stays with the socket.
            const quint64 fingerprint = UploadProof::fingerprint(block.data, block.length);
            // A short write is taken up again, so that one that cannot go on fails with the
            // system's reason (a full disk, a size limit) rather than none.
            qint64 written = 0;
            while (written < block.length) {
                const qint64 n = m_file->write(block.data + written, block.length - written);
                if (n <= 0)
                    break;
                written += n;
            }
            const bool whole = written == block.length;
            // Back to the channel, which fills it with a later block.
            m_queue->recycle(block);
            // A short write or a failed flush loses data just as surely as -1 does.
            if (!whole || !m_file->flush()) {
                qWarning() << "data file write failed:" << m_file->errorString();
                fail(m_file->errorString());
                return;
            }
            m_fingerprints.append(fingerprint);
            ++m_blocksWritten;
        } else {
            if (!m_file->flush()) {
                fail(m_file->errorString());
                return;
            }
            if (m_finishRequested.load()) {
                m_running.store(false);
                return;
            }
            m_queue->waitForBlock(kIdleWaitMs);
        }
        if (!m_running.load())
            return;
    }
}

void AsyncFileWorker::download()
{
    const int blockBytes = int(m_blockBytes);
    const int ahead = int(qMax<qint64>(2, kReadAheadBytes / m_blockBytes));
    for (;;) {
        DataBlock block = m_queue->takeSpare(blockBytes);
        const qint64 got = m_file->read(block.data, blockBytes);
        if (got < 0) {
            qWarning() << "data file read failed:" << m_file->errorString();
            block.release();
            fail(m_file->errorString());
            return;
        }
        if (got == 0) {
            // The end of the file on a block boundary: nothing more to send.
            block.release();
            m_running.store(false);
            return;
        }
        // Only what the file holds goes to the card: a block cut short by the end of the file
        // says so by its length, and the channel never sends it as a whole one.
        block.length = int(got);
        bool taken = false;
        while (m_running.load()) {
            if (m_queue->count() < ahead && m_queue->tryPush(block)) {
                taken = true;
                break;
            }
            m_queue->waitForRoom(kIdleWaitMs, ahead);
        }
        if (!taken)
            block.release();
        if (m_file->atEnd()) {
            m_running.store(false);
            return;
        }
        if (!m_running.load())
            return;
    }
}
