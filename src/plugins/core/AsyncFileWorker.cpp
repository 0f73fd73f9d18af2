#include "AsyncFileWorker.h"

#include "BlockQueue.h"

#include <QDebug>
#include <QFileDevice>

#include <cstring>
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

void AsyncFileWorker::fail()
{
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
            const qint64 written = m_file->write(block.data, block.length);
            const bool whole = written == block.length;
            // Back to the channel, which fills it with a later block.
            m_queue->recycle(block);
            // A short write or a failed flush loses data just as surely as -1 does.
            if (!whole || !m_file->flush()) {
                qWarning() << "data file write failed:" << m_file->errorString();
                fail();
                return;
            }
            ++m_blocksWritten;
        } else {
            if (!m_file->flush()) {
                fail();
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
            fail();
            return;
        }
        // A block read past the end of the file ends in zeros.
        if (got < blockBytes)
            memset(block.data + got, 0, size_t(blockBytes - got));
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
