#pragma once

#include "DataBlock.h"
#include "core_global.h"

#include <QAtomicInt>
#include <QList>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>

// The bounded queue between a transfer channel and its file worker. Neither side blocks on it:
// tryPush refuses when the queue is full or stopped, tryPop hands out a null block when it is
// empty or stopped. A pushed block belongs to the queue until it is popped; a refused one stays
// with the caller. Once clear() has run the queue takes and gives nothing any more.
//
// The consumer hands the blocks it is done with back with recycle(), and the producer fills them
// again through takeSpare(): a transfer allocates only the blocks it holds at once, not one per
// block, and refills memory that is already mapped. Queued and spare blocks together stay within
// the capacity.
class CORE_EXPORT BlockQueue
{
public:
    explicit BlockQueue(int capacity);
    ~BlockQueue();

    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // (1024 / block size in MiB) / cards, so all cards of a record buffer about 1 GiB; at least
    // one block, whatever a damaged record description says.
    static int capacityFor(int singleTransSizeMiB, int numOfBoards);

    bool tryPush(DataBlock block);
    DataBlock tryPop();
    void clear();

    // A spare block of this length, or a new one when none is kept; its bytes are not cleared.
    DataBlock takeSpare(int length);
    // Keeps the block for takeSpare while there is room for it, frees it otherwise.
    void recycle(DataBlock block);

    bool isEmpty() const { return m_count.loadAcquire() == 0; }
    int count() const { return m_count.loadAcquire(); }
    int capacity() const { return m_capacity; }
    bool isStopped() const { return m_stopped.load(); }

    // Idle waits of the two sides instead of sleeping: each returns after at most ms
    // milliseconds, earlier when the awaited change happens, the queue stops or wake() is called.
    // waitForRoom waits until fewer than limit blocks are queued (the capacity when limit is 0 or
    // beyond it).
    bool waitForBlock(int ms);
    bool waitForRoom(int ms, int limit = 0);
    void wake();

private:
    mutable QMutex m_lock;
    const int m_capacity;
    QAtomicInt m_count;
    std::atomic<bool> m_stopped{false};
    QList<DataBlock> m_blocks;
    QList<DataBlock> m_spares;
    QWaitCondition m_changed;
};
