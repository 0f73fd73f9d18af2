#pragma once

#include "core_global.h"

#include "LogText.h"

#include <QString>
#include <QVector>

#include <functional>

// Whether the blocks one run of a card's upload took are the blocks the PC asked for. Answers
// carry no block number, so the stream of the connection is the only record of which answer is
// which; what can go on the wire beside the answers is a surplus of whole blocks (one sent again,
// a stale older one, one sent ahead and then again, one of another record, an empty one) or
// stray bytes. The stream is the blocks taken, one per request, then what came when nothing was
// asked, cut into blocks on the stream's own block boundaries. The rule:
//
// - Nothing of a run counts before its stream has ended: the card has been quiet for a time-out
//   and a quarter (quietMs) from its last byte (it times its answers by its own clock, and an
//   answer it sends within the time-out must still be seen when both sides run late), or it has
//   closed (the connection keeps order, so whatever it sent came before the close). However the
//   run ends (its last block, the person's stop, a late block, a failed file), the channel asks
//   for nothing more, takes the answer still owed to its last request, and reads on to that end;
//   a run whose end cannot be read (the card still sends after the bound of the wait) keeps none
//   of its blocks.
// - An ended stream of exactly the answers asked for has no surplus: every block stands, equal
//   blocks or not.
// - Unasked bytes that do not end on a block boundary, or more than kMaxUnaskedBlocks blocks of
//   them, may have shifted every block since the run began: the run is void.
// - Otherwise every unasked whole block must be balanced by a repeat: a block whose bytes equal
//   those of an earlier block of the card, in this run, among the unasked blocks or on the disk
//   before the resume point. Each repeat explains one surplus block (a stretch of n equal blocks
//   holds n - 1 repeats, so it explains at most the n - 1 blocks it may have shifted); a run with
//   any unasked block that no repeat explains is void, since its surplus may be anywhere.
// - A balanced run goes back to its first repeat. A repeat of the block just before it (a block
//   answered twice) goes back to the repeat; inside a stretch of equal blocks a shift writes the
//   same bytes, so only to the stretch's last block (one block further back per surplus block).
//   A repeat of an earlier block of this run that is not its neighbour may be the later copy of a
//   block sent ahead: the run goes back to the earlier copy. A repeat of a block on the disk goes
//   back to the repeat. An answer still owed when the stream ended may hide a surplus the same
//   way: such a run goes back to its first repeat too.
// - A disk block whose fingerprint is unknown may be what any block repeats: a run that is not
//   exact is void over it.
//
// A block is fingerprinted whole, while it is in memory (fingerprint()); fingerprints of the
// blocks on the disk are those kept when they were written (or rebuilt from the data file). Only
// blocks of equal fingerprints are compared whole, by the SameBlocks the channel gives, to
// confirm a repeat; a stretch of equal blocks is followed by its fingerprints. Block numbers are
// the card's, counted from 0. Socket-free and file-free, so a table can test it.
class CORE_EXPORT UploadProof
{
public:
    using Fingerprint = quint64;
    // Whether two blocks are equal byte for byte; a block that cannot be read counts as equal.
    using SameBlocks = std::function<bool(quint64 a, quint64 b)>;

    // Stands for a block on the disk whose fingerprint was not kept: it is compared with nothing.
    static constexpr Fingerprint kUnknown = 0;
    // More unasked bytes than this many blocks end the wait for quiet at once, and void the run.
    static constexpr int kMaxUnaskedBlocks = 16;

    // How the stream ended (Quiet, Closed), or why the run asks for nothing more (Stopped,
    // TimedOut, Failed; Overdue: the wait for the stream's end ran past its bound).
    enum class End { Running, Quiet, Closed, Stopped, TimedOut, Failed, Overdue };

    UploadProof() = default;
    // A run that begins at block firstBlock of blockCount, with the channel's time-out, over the
    // kept fingerprints of the blocks on the disk before it (fewer: the rest are unknown).
    UploadProof(quint64 firstBlock, quint64 blockCount, qint64 blockBytes, int timeoutMs,
                QVector<Fingerprint> disk = {});

    // The fingerprints of the blocks on the disk before the run (fewer: the rest are unknown), in
    // place of those given at the start; before resolve().
    void setDisk(QVector<Fingerprint> disk);

    // Of a whole block, at memory speed; never kUnknown.
    static Fingerprint fingerprint(const char* block, qint64 length);

    // What the channel feeds: a request sent, a block taken (its fingerprint follows with
    // resolve(); a block taken with no request owed answers one as well), unasked bytes, and each
    // unasked whole block, on a block boundary, as its bytes complete it.
    void blockAsked() { ++m_asked; }
    void blockTaken()
    {
        if (m_asked == m_taken)
            ++m_asked;
        ++m_taken;
    }
    void unasked(qint64 bytes);
    void unaskedBlock(Fingerprint fingerprint);
    // How long the card must be quiet after its last byte.
    static int quietMs(int timeoutMs) { return timeoutMs + timeoutMs / 4; }
    // How long after the run's last block (or its stop) the card may still send before its end
    // is given up as unreadable.
    static int endWaitBoundMs(int timeoutMs) { return 2 * timeoutMs; }
    // The card has been quiet this long since its last byte; true when that ends the wait.
    bool quietFor(qint64 ms);
    // Quiet and Closed end the stream; any other end asks for nothing more (the first one holds).
    void end(End how);
    // The file holds only this many blocks of the run (its worker failed).
    void keepAtMost(quint64 blocks);
    // Finds the repeat over the fingerprints of the blocks taken, in order, once the stream has
    // ended; later calls do nothing.
    void resolve(const QVector<Fingerprint>& taken, const SameBlocks& same);
    // The file could not be read back: no block of the run can be told from a repeat.
    void resolveUnreadable();

    // What it answers.
    quint64 firstBlock() const { return m_first; }
    quint64 taken() const { return m_taken; }
    bool allTaken() const { return m_first + taken() >= m_count; }
    bool resolved() const { return m_resolved; }
    quint64 asked() const { return m_asked; }
    // A request sent whose answer has not been taken.
    bool answerOwed() const { return m_asked > m_taken; }
    qint64 unaskedBytes() const { return m_unasked; }
    bool tooMuchUnasked() const { return m_unasked > qint64(kMaxUnaskedBlocks) * m_blockBytes; }
    End ended() const { return m_end; }
    End cutBy() const { return m_cut; }
    bool streamEnded() const { return m_end == End::Quiet || m_end == End::Closed; }
    // The channel asks for nothing more and waits for the stream to end: after unasked bytes,
    // after the last block of a run that took any, or once the run was cut short.
    bool waitsForQuiet() const;
    // The balance: unasked whole blocks, and how many of them the repeats found explain (counted
    // once resolved, up to the number of unasked blocks).
    int unaskedBlocks() const { return m_unaskedBlocks.size(); }
    int explained() const { return m_explained; }
    int unexplained() const { return qMax(0, unaskedBlocks() - m_explained); }
    // The repeat (-1: none, or not resolved) and the earlier block it equals.
    qint64 repeatAt() const { return m_repeat; }
    qint64 repeatOf() const { return m_repeatOf; }
    // Blocks of this run that stay in the file and the counters.
    quint64 kept() const;
    bool complete() const;
    // The fingerprints of the blocks from `from` up to the last that stays (kUnknown where none
    // was kept), for the next run's disk.
    QVector<Fingerprint> fingerprints(quint64 from) const;
    // Why blocks of the run do not stay, for the card's log line; empty when every one stays.
    LogText shortfall() const;

    // The stream has ended with every request answered once, nothing beside the answers and
    // every block in the file: every block stands, whatever the disk holds.
    bool exactStream() const { return streamEnded() && exact(); }

private:
    // Every request answered once, nothing beside the answers, every block in the file.
    bool exact() const;
    // Unasked bytes that are not whole blocks on the stream's boundaries, or too many.
    bool fragment() const;

    quint64 m_first = 0;
    quint64 m_count = 0;
    qint64 m_blockBytes = 0;
    int m_timeoutMs = 0;
    quint64 m_taken = 0;
    quint64 m_asked = 0;
    // The disk's fingerprints, then (once resolved) the run's, then the unasked blocks'.
    QVector<Fingerprint> m_fingerprints;
    QVector<Fingerprint> m_unaskedBlocks;
    qint64 m_unasked = 0;
    quint64 m_limit = ~quint64(0);
    End m_end = End::Running;
    End m_cut = End::Running;
    bool m_overdue = false;
    bool m_unknown = false;
    int m_explained = 0;
    bool m_resolved = false;
    bool m_unreadable = false;
    qint64 m_repeat = -1;
    qint64 m_repeatOf = -1;
    // The last block of the stretch of equal blocks the repeat begins (repeat - 1: none).
    qint64 m_stretchEnd = -1;
};
