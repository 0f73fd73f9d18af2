#include "BlockQueue.h"

#include <QMutexLocker>

BlockQueue::BlockQueue(int capacity)
    : m_capacity(qMax(1, capacity))
{}

BlockQueue::~BlockQueue()
{
    clear();
}

int BlockQueue::capacityFor(int singleTransSizeMiB, int numOfBoards)
{
    if (singleTransSizeMiB < 1)
        return 1;
    return qMax(1, (1024 / singleTransSizeMiB) / qMax(1, numOfBoards));
}

bool BlockQueue::tryPush(DataBlock block)
{
    if (m_stopped.load() || m_count.loadAcquire() >= m_capacity)
        return false;
    QMutexLocker lock(&m_lock);
    if (m_stopped.load())
        return false;
    m_blocks.append(block);
    m_count.ref();
    m_changed.wakeAll();
    return true;
}

DataBlock BlockQueue::tryPop()
{
    if (m_stopped.load() || m_count.loadAcquire() == 0)
        return DataBlock();
    QMutexLocker lock(&m_lock);
    if (m_blocks.isEmpty())
        return DataBlock();
    const DataBlock block = m_blocks.takeFirst();
    m_count.deref();
    m_changed.wakeAll();
    return block;
}

void BlockQueue::clear()
{
    // Stopped first, so a producer or consumer arriving now finds the queue closed.
    m_stopped.store(true);
    QMutexLocker lock(&m_lock);
    for (DataBlock& block : m_blocks)
        block.release();
    m_blocks.clear();
    for (DataBlock& block : m_spares)
        block.release();
    m_spares.clear();
    m_count.storeRelease(0);
    m_changed.wakeAll();
}

DataBlock BlockQueue::takeSpare(int length)
{
    {
        QMutexLocker lock(&m_lock);
        while (!m_spares.isEmpty()) {
            DataBlock block = m_spares.takeLast();
            if (block.length == length)
                return block;
            block.release();
        }
    }
    return DataBlock::allocateUninitialized(length);
}

void BlockQueue::recycle(DataBlock block)
{
    if (block.isNull())
        return;
    {
        QMutexLocker lock(&m_lock);
        if (!m_stopped.load() && m_blocks.size() + m_spares.size() < m_capacity) {
            m_spares.append(block);
            return;
        }
    }
    block.release();
}

bool BlockQueue::waitForBlock(int ms)
{
    QMutexLocker lock(&m_lock);
    if (m_blocks.isEmpty() && !m_stopped.load())
        m_changed.wait(&m_lock, ulong(qMax(0, ms)));
    return !m_blocks.isEmpty();
}

bool BlockQueue::waitForRoom(int ms, int limit)
{
    const int bound = limit > 0 ? qMin(limit, m_capacity) : m_capacity;
    QMutexLocker lock(&m_lock);
    if (m_blocks.size() >= bound && !m_stopped.load())
        m_changed.wait(&m_lock, ulong(qMax(0, ms)));
    return m_blocks.size() < bound;
}

void BlockQueue::wake()
{
    QMutexLocker lock(&m_lock);
    m_changed.wakeAll();
}
