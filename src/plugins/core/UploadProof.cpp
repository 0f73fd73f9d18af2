#include "UploadProof.h"

#include <QHash>

#include <cstring>

namespace {
quint64 mixIn(quint64 h, const char* data, int length)
{
    // Eight bytes at a time; a block's samples are a few KiB, so this costs next to nothing.
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        quint64 word;
        memcpy(&word, data + i, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 31;
    }
    for (; i < length; ++i)
        h = (h ^ quint8(data[i])) * 0x100000001B3ull;
    return h;
}
} // namespace

UploadProof::UploadProof(quint64 firstBlock, quint64 blockCount, qint64 blockBytes, int timeoutMs)
    : m_first(firstBlock)
    , m_count(blockCount)
    , m_blockBytes(blockBytes)
    , m_timeoutMs(timeoutMs)
{}

UploadProof::Fingerprint UploadProof::fingerprint(const char* head, const char* tail, int sampleBytes)
{
    return mixIn(mixIn(0xCBF29CE484222325ull, head, sampleBytes), tail, sampleBytes);
}

UploadProof::Fingerprint UploadProof::fingerprint(const char* block, qint64 length)
{
    const int sample = int(qMin<qint64>(kSampleBytes, length));
    return fingerprint(block, block + length - sample, sample);
}

void UploadProof::blockTaken(Fingerprint fingerprint)
{
    m_taken.append(fingerprint);
}

void UploadProof::unasked(qint64 bytes)
{
    if (bytes > 0)
        m_unasked += bytes;
}

bool UploadProof::waitsForQuiet() const
{
    return m_end == End::Running && (m_unasked > 0 || (allTaken() && m_resolved && m_repeat >= 0));
}

bool UploadProof::quietFor(qint64 ms)
{
    if (!waitsForQuiet() || ms < quietMs(m_timeoutMs))
        return false;
    m_end = End::Quiet;
    return true;
}

void UploadProof::end(End how)
{
    if (m_end == End::Running)
        m_end = how;
}

void UploadProof::keepAtMost(quint64 blocks)
{
    m_limit = qMin(m_limit, blocks);
}

UploadProof::Fingerprint UploadProof::fingerprintOf(quint64 block) const
{
    return block < m_first ? m_disk.value(int(block)) : m_taken.value(int(block - m_first));
}

void UploadProof::resolve(const DiskFingerprint& onDisk, const SameBlocks& same)
{
    if (m_resolved)
        return;
    m_resolved = true;
    if (m_taken.isEmpty())
        return;
    QHash<Fingerprint, QVector<quint64>> seen;
    m_disk.reserve(int(m_first));
    for (quint64 b = 0; b < m_first; ++b) {
        m_disk.append(onDisk(b));
        seen[m_disk.last()].append(b);
    }
    for (int i = 0; i < m_taken.size() && m_repeat < 0; ++i) {
        const quint64 block = m_first + quint64(i);
        QVector<quint64>& alike = seen[m_taken.at(i)];
        // Newest first: a surplus is most often the block just before. Blocks before the repeat
        // all differ, so at most one of them can equal this one.
        for (int k = alike.size() - 1; k >= 0; --k) {
            if (same(alike.at(k), block)) {
                m_repeat = qint64(block);
                m_repeatOf = qint64(alike.at(k));
                break;
            }
        }
        alike.append(block);
    }
    if (m_repeat < 0)
        return;
    m_stretchEnd = m_repeat - 1;
    if (m_repeatOf != m_repeat - 1)
        return;
    const qint64 last = qint64(m_first + taken()) - 1;
    m_stretchEnd = m_repeat;
    while (m_stretchEnd < last && fingerprintOf(quint64(m_stretchEnd + 1)) == fingerprintOf(quint64(m_stretchEnd))
           && same(quint64(m_stretchEnd), quint64(m_stretchEnd + 1)))
        ++m_stretchEnd;
}

void UploadProof::resolveUnreadable()
{
    if (m_resolved)
        return;
    m_resolved = true;
    if (m_taken.isEmpty())
        return;
    m_repeat = qint64(m_first);
    m_stretchEnd = m_repeat - 1;
}

quint64 UploadProof::kept() const
{
    const quint64 took = qMin(taken(), m_limit);
    // Nothing of the run is vouched for before its blocks have been compared.
    if (took == 0 || fragment() || !m_resolved)
        return 0;
    if (m_repeat < 0)
        return took;
    const qint64 surplus = m_unasked / m_blockBytes;
    const bool settled = m_end == End::Quiet || (m_end == End::Closed && m_stretchEnd == qint64(m_count) - 1);
    if (allTaken() && took == taken() && surplus == 0 && settled)
        return took;
    // Each surplus block inside the stretch moved its end one block further than the card's.
    const qint64 shift = qMax<qint64>(1, surplus);
    const qint64 upTo = m_stretchEnd >= m_repeat ? qMax(m_repeat, m_stretchEnd + 1 - shift) : m_repeat;
    return qMin(took, quint64(upTo) - m_first);
}

bool UploadProof::complete() const
{
    return m_first + kept() >= m_count && !fragment();
}

LogText UploadProof::shortfall() const
{
    if (fragment())
        return LogText(QT_TRANSLATE_NOOP("FileLogger",
                                         "收到未请求的数据 %1 字节，不是整块，本次上传的 %2 个数据块无法确认"))
            .arg(m_unasked)
            .arg(taken());
    const quint64 took = qMin(taken(), m_limit);
    const quint64 k = kept();
    if (k >= took)
        return LogText();
    if (m_repeatOf < 0)
        return LogText(QT_TRANSLATE_NOOP("FileLogger", "数据文件无法读回，本次上传的 %1 个数据块无法确认")).arg(took);
    return LogText(QT_TRANSLATE_NOOP("FileLogger", "数据块 %1 与数据块 %2 相同，数据块 %3 起未经确认"))
        .arg(m_repeat)
        .arg(m_repeatOf)
        .arg(m_first + k);
}
