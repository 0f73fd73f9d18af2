#pragma once

#include "core_global.h"

#include "LogText.h"

#include <QString>
#include <QVector>

#include <functional>

// Whether the blocks one run of a card's upload took are the blocks the PC asked for. Answers
// carry no block number, so the stream is the only record of which answer is which; what can go
// on the wire beside the answers is a surplus of whole blocks (one sent again, a stale older one,
// one sent ahead and then again) or stray bytes. The rule:
//
// - A surplus read as an answer leaves a block whose bytes equal those of an earlier block of the
//   card: taken in this run or on the disk before the resume point. The first such block of the
//   run is the repeat, where proof stops.
// - Bytes that came when nothing was asked (beyond a block, after the last) answer no request.
//   If they are not whole blocks, a fragment may have shifted every block since the run began:
//   the run is void. If they are, the run rolls back to the repeat (and keeps every block when
//   there is none: then the surplus never reached the file).
// - A run with a repeat proves its last block only by quiet after the card's last byte with
//   nothing unasked, for a time-out and a quarter (quietMs): the card times its answers by its own
//   clock, from its own last answer, and an answer it sends within the time-out must still be
//   seen when both sides run late; any other end rolls it back to the repeat.
// - A shift inside a stretch of equal blocks writes the same bytes. When the repeat equals the
//   block just before it, the roll-back goes to the last block of that stretch only (a one-block
//   shift puts the stretch's bytes there where the next block belongs), and when the stretch
//   reaches the card's last block and the card then closed with nothing unasked, not at all: so
//   constant samples complete in one run.
//
// A block is fingerprinted by its first and last kSampleBytes; only blocks of equal fingerprints
// are compared whole, by the SameBlocks the channel gives (which reads them back from the file).
// Block numbers are the card's, counted from 0. Socket-free and file-free, so a table can test it.
class CORE_EXPORT UploadProof
{
public:
    using Fingerprint = quint64;
    // The fingerprint of a block on the disk before the run.
    using DiskFingerprint = std::function<Fingerprint(quint64 block)>;
    // Whether two blocks are equal byte for byte; a block that cannot be read counts as equal.
    using SameBlocks = std::function<bool(quint64 a, quint64 b)>;

    static constexpr int kSampleBytes = 4 * 1024;
    // More unasked bytes than this many blocks end the wait for quiet at once.
    static constexpr int kMaxUnaskedBlocks = 16;

    enum class End { Running, Quiet, Closed, Stopped, TimedOut, Failed };

    UploadProof() = default;
    // A run that begins at block firstBlock of blockCount, with the channel's time-out.
    UploadProof(quint64 firstBlock, quint64 blockCount, qint64 blockBytes, int timeoutMs);

    static Fingerprint fingerprint(const char* block, qint64 length);
    // The same from the two samples, as read back from a file.
    static Fingerprint fingerprint(const char* head, const char* tail, int sampleBytes);

    // What the channel feeds.
    void blockTaken(Fingerprint fingerprint);
    void unasked(qint64 bytes);
    // How long the card must be quiet after its last byte.
    static int quietMs(int timeoutMs) { return timeoutMs + timeoutMs / 4; }
    // The card has been quiet this long since its last byte; true when that ends the wait.
    bool quietFor(qint64 ms);
    void end(End how);
    // The file holds only this many blocks of the run (its worker failed).
    void keepAtMost(quint64 blocks);
    // Finds the repeat, once every block taken is in the file; later calls do nothing.
    void resolve(const DiskFingerprint& onDisk, const SameBlocks& same);
    // The file could not be read back: no block of the run can be told from a repeat.
    void resolveUnreadable();

    // What it answers.
    quint64 firstBlock() const { return m_first; }
    quint64 taken() const { return quint64(m_taken.size()); }
    bool allTaken() const { return m_first + taken() >= m_count; }
    bool resolved() const { return m_resolved; }
    qint64 unaskedBytes() const { return m_unasked; }
    bool tooMuchUnasked() const { return m_unasked > qint64(kMaxUnaskedBlocks) * m_blockBytes; }
    End ended() const { return m_end; }
    // The channel asks for nothing more and waits for quiet: after unasked bytes, or after the
    // last block of a run with a repeat.
    bool waitsForQuiet() const;
    // The repeat (-1: none yet, or not resolved) and the earlier block it equals.
    qint64 repeatAt() const { return m_repeat; }
    qint64 repeatOf() const { return m_repeatOf; }
    // Blocks of this run that stay in the file and the counters.
    quint64 kept() const;
    bool complete() const;
    // Why blocks of the run do not stay, for the card's log line; empty when every one stays.
    LogText shortfall() const;

private:
    bool fragment() const { return m_blockBytes > 0 && m_unasked % m_blockBytes != 0; }
    Fingerprint fingerprintOf(quint64 block) const;

    quint64 m_first = 0;
    quint64 m_count = 0;
    qint64 m_blockBytes = 0;
    int m_timeoutMs = 0;
    QVector<Fingerprint> m_taken;
    QVector<Fingerprint> m_disk;
    qint64 m_unasked = 0;
    quint64 m_limit = ~quint64(0);
    End m_end = End::Running;
    bool m_resolved = false;
    qint64 m_repeat = -1;
    qint64 m_repeatOf = -1;
    // The last block of the stretch of equal blocks the repeat begins (repeat - 1: none).
    qint64 m_stretchEnd = -1;
};
