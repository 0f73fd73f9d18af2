#include "UploadProof.h"

#include <QHash>

#include <cstring>

namespace {
constexpr quint64 kP1 = 0x9E3779B185EBCA87ull;
constexpr quint64 kP2 = 0xC2B2AE3D27D4EB4Full;
constexpr quint64 kP3 = 0x165667B19E3779F9ull;

inline quint64 rotl(quint64 x, int r)
{
    return (x << r) | (x >> (64 - r));
}

inline quint64 mixWord(quint64 acc, quint64 word)
{
    return rotl(acc + word * kP2, 31) * kP1;
}

inline quint64 wordAt(const char* p)
{
    quint64 w;
    memcpy(&w, p, 8);
    return w;
}
} // namespace

UploadProof::UploadProof(quint64 firstBlock, quint64 blockCount, qint64 blockBytes, int timeoutMs,
                         QVector<Fingerprint> disk)
    : m_first(firstBlock)
    , m_count(blockCount)
    , m_blockBytes(blockBytes)
    , m_timeoutMs(timeoutMs)
    , m_fingerprints(std::move(disk))
{
    m_fingerprints.resize(int(m_first));
}

void UploadProof::setDisk(QVector<Fingerprint> disk)
{
    if (m_resolved)
        return;
    m_fingerprints = std::move(disk);
    m_fingerprints.resize(int(m_first));
}

UploadProof::Fingerprint UploadProof::fingerprint(const char* block, qint64 length)
{
    // Four independent lanes, so that the multiplies overlap and a block hashes at memory speed;
    // every byte moves every lane's bits, and the end mixes the lanes and the length.
    quint64 v1 = kP1 + kP2, v2 = kP2, v3 = 0, v4 = quint64(0) - kP1;
    qint64 i = 0;
    for (; i + 32 <= length; i += 32) {
        v1 = mixWord(v1, wordAt(block + i));
        v2 = mixWord(v2, wordAt(block + i + 8));
        v3 = mixWord(v3, wordAt(block + i + 16));
        v4 = mixWord(v4, wordAt(block + i + 24));
    }
    quint64 h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
    for (const quint64 v : {v1, v2, v3, v4})
        h = (h ^ mixWord(0, v)) * kP1 + kP3;
    h += quint64(length);
    for (; i + 8 <= length; i += 8)
        h = rotl(h ^ mixWord(0, wordAt(block + i)), 27) * kP1 + kP3;
    for (; i < length; ++i)
        h = rotl(h ^ (quint8(block[i]) * kP3), 11) * kP1;
    h ^= h >> 33;
    h *= kP2;
    h ^= h >> 29;
    h *= kP3;
    h ^= h >> 32;
    return h == kUnknown ? 1 : h;
}

void UploadProof::unasked(qint64 bytes)
{
    if (bytes > 0)
        m_unasked += bytes;
}

void UploadProof::unaskedBlock(Fingerprint fingerprint)
{
    m_unaskedBlocks.append(fingerprint);
}

bool UploadProof::waitsForQuiet() const
{
    if (streamEnded() || m_overdue || tooMuchUnasked())
        return false;
    return m_unasked > 0 || m_cut != End::Running || (allTaken() && m_taken > 0);
}

bool UploadProof::quietFor(qint64 ms)
{
    if (!waitsForQuiet() || ms < quietMs(m_timeoutMs))
        return false;
    end(End::Quiet);
    return true;
}

void UploadProof::end(End how)
{
    if (how == End::Running)
        return;
    if (how == End::Quiet || how == End::Closed) {
        if (m_end == End::Running && !m_overdue)
            m_end = how;
        return;
    }
    if (how == End::Overdue && !streamEnded())
        m_overdue = true;
    if (m_cut == End::Running)
        m_cut = how;
}

bool UploadProof::exact() const
{
    return m_asked == m_taken && m_unaskedBlocks.isEmpty() && m_unasked == 0 && m_limit >= m_taken;
}

void UploadProof::keepAtMost(quint64 blocks)
{
    m_limit = qMin(m_limit, blocks);
}

bool UploadProof::fragment() const
{
    return m_blockBytes > 0 && (tooMuchUnasked() || m_unasked != qint64(m_unaskedBlocks.size()) * m_blockBytes);
}

void UploadProof::resolve(const QVector<Fingerprint>& taken, const SameBlocks& same)
{
    if (m_resolved)
        return;
    m_resolved = true;
    if (m_taken == 0)
        return;
    // The stream as it came: the run's blocks, then the unasked ones, after the disk's.
    for (quint64 i = 0; i < m_taken; ++i)
        m_fingerprints.append(i < quint64(taken.size()) ? taken.at(int(i)) : kUnknown);
    m_fingerprints += m_unaskedBlocks;
    QHash<Fingerprint, QVector<quint64>> seen;
    for (quint64 b = 0; b < m_first; ++b) {
        if (m_fingerprints.at(int(b)) != kUnknown)
            seen[m_fingerprints.at(int(b))].append(b);
        else
            m_unknown = true;
    }
    // The first repeat says where the run goes back to; the repeats after it are counted only as
    // far as the unasked blocks need explaining, so a run of alike blocks is not read back whole.
    const int surplus = m_unaskedBlocks.size();
    for (int p = int(m_first); p < m_fingerprints.size(); ++p) {
        if (m_repeat >= 0 && m_explained >= surplus)
            break;
        if (m_fingerprints.at(p) == kUnknown) {
            m_unknown = m_unknown || quint64(p) < m_first + qMin(m_taken, m_limit);
            continue;
        }
        QVector<quint64>& alike = seen[m_fingerprints.at(p)];
        // Newest first: a surplus is most often the block just before.
        for (int k = alike.size() - 1; k >= 0; --k) {
            if (same(alike.at(k), quint64(p))) {
                if (m_repeat < 0) {
                    m_repeat = p;
                    m_repeatOf = qint64(alike.at(k));
                }
                ++m_explained;
                break;
            }
        }
        alike.append(quint64(p));
    }
    m_explained = qMin(m_explained, surplus);
    m_stretchEnd = m_repeat - 1;
    if (m_repeat < 0 || m_repeatOf != m_repeat - 1)
        return;
    // Followed by fingerprints: a whole-block fingerprint that matches is a repeat but for odds
    // far below those of a disk's own errors, and reading a stretch back would cost its length.
    m_stretchEnd = m_repeat;
    while (m_stretchEnd + 1 < m_fingerprints.size()
           && m_fingerprints.at(int(m_stretchEnd + 1)) == m_fingerprints.at(int(m_stretchEnd)))
        ++m_stretchEnd;
}

void UploadProof::resolveUnreadable()
{
    if (m_resolved)
        return;
    m_resolved = true;
    m_unreadable = m_taken > 0;
}

quint64 UploadProof::kept() const
{
    const quint64 took = qMin(m_taken, m_limit);
    // Nothing of the run is vouched for before its stream has been looked at, to its end.
    if (took == 0 || !m_resolved || m_unreadable || fragment() || !streamEnded())
        return 0;
    if (exact())
        return took;
    // A surplus no repeat explains may be anywhere in the run; so may the repeat of a disk block
    // whose fingerprint is unknown.
    if (unexplained() > 0 || m_unknown)
        return 0;
    if (m_repeat < 0)
        return took;
    qint64 upTo = m_repeat;
    if (m_repeatOf == m_repeat - 1) {
        // Each surplus block inside the stretch moved its end one block further than the card's.
        const qint64 shift = qMax<qint64>(1, m_unaskedBlocks.size());
        if (m_stretchEnd >= m_repeat)
            upTo = qMax(m_repeat, m_stretchEnd + 1 - shift);
    } else if (m_repeatOf >= qint64(m_first)) {
        // The earlier copy may be the block sent ahead.
        upTo = m_repeatOf;
    }
    return qMin(took, quint64(upTo) - m_first);
}

QVector<UploadProof::Fingerprint> UploadProof::fingerprints(quint64 from) const
{
    const quint64 end = m_first + kept();
    QVector<Fingerprint> out = m_fingerprints.mid(int(from), int(end > from ? end - from : 0));
    out.resize(int(end > from ? end - from : 0));
    return out;
}

bool UploadProof::complete() const
{
    return m_first + kept() >= m_count && !fragment();
}

LogText UploadProof::shortfall() const
{
    if (tooMuchUnasked())
        return LogText(QT_TRANSLATE_NOOP("FileLogger",
                                         "收到未请求的数据 %1 字节，超过 %2 块，本次上传的 %3 个数据块无法确认"))
            .arg(m_unasked)
            .arg(kMaxUnaskedBlocks)
            .arg(m_taken);
    if (fragment())
        return LogText(QT_TRANSLATE_NOOP("FileLogger",
                                         "收到未请求的数据 %1 字节，不是整块，本次上传的 %2 个数据块无法确认"))
            .arg(m_unasked)
            .arg(m_taken);
    const quint64 took = qMin(m_taken, m_limit);
    const quint64 k = kept();
    if (k >= took)
        return LogText();
    if (m_unreadable || !m_resolved)
        return LogText(QT_TRANSLATE_NOOP("FileLogger", "数据文件无法读回，本次上传的 %1 个数据块无法确认")).arg(took);
    if (m_overdue)
        return LogText(QT_TRANSLATE_NOOP("FileLogger",
                                         "采集卡在 %1 ms 后仍在发送数据，传输未能结束，本次上传的 %2 个数据块无法确认"))
            .arg(endWaitBoundMs(m_timeoutMs))
            .arg(took);
    if (!streamEnded())
        return LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡未静默 %1 ms 即结束，本次上传的 %2 个数据块无法确认"))
            .arg(quietMs(m_timeoutMs))
            .arg(took);
    if (unexplained() > 0)
        return LogText(QT_TRANSLATE_NOOP("FileLogger",
                                         "收到未请求的整块数据 %1 块，重复的数据块只说明其中 %2 块，其余与此前的数据块"
                                         "都不同，本次上传的 %3 个数据块无法确认"))
            .arg(m_unaskedBlocks.size())
            .arg(m_explained)
            .arg(took);
    if (m_unknown)
        return LogText(QT_TRANSLATE_NOOP("FileLogger", "数据文件中有数据块无法比较，本次上传的 %1 个数据块无法确认"))
            .arg(took);
    return LogText(QT_TRANSLATE_NOOP("FileLogger", "数据块 %1 与数据块 %2 相同，数据块 %3 起未经确认"))
        .arg(m_repeat)
        .arg(m_repeatOf)
        .arg(m_first + k);
}
