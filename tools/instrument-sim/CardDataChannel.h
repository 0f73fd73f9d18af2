#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

// The instrument's side of one card's data channel: the card connects to the PC's channel
// server and then, in an upload, answers each 24-byte block request
//
//   CC AA BB FF 01 src 03 00 seq(2) 04 02 04 00 00 00 | block u32 | CRC-32/MPEG-2 u32
//
// with exactly the raw block, or in a download asks for block n with a frame of that form and
// checks every byte of the PC's answer against the card's data; after the last block it asks for
// the block count, which tells the PC it is done (or, with closeAfterLast, closes). The card's
// data is a fixed function of record, card and offset (pattern()), so a test can write the same
// bytes for comparison.
class CardDataChannel : public QObject
{
    Q_OBJECT
public:
    struct Faults
    {
        int cutAfterBlocks = -1;    // drop the connection after this many blocks moved
        int cutPartialBytes = 0;    // upload: send this much of the next block before the cut
        int silentAfterBlocks = -1; // stay connected but send nothing after this many blocks
        int answerTwice = -1;       // upload: answer this block twice; download: ask for it twice
        int cutInsideBlock = 0;     // download: with cutAfterBlocks, read this much of the next
                                    // block, no more, and drop the connection (which resets it)
        int lostRequest = -1;       // upload: the first request for this block never arrives; the
                                    // repeat is answered in full
        int abandonAnswer = -1;     // upload: send latePartialBytes of this block, then give up that
                                    // answer and answer the repeat in full
        int lateAnswer = -1;        // upload: hold the answer to this block until it is asked again,
                                    // then finish the first answer and send the second
        int lateIgnoreRepeat = -1;  // upload: hold the answer to this block until it is asked again,
                                    // then finish the first answer and ignore the repeat
        int latePartialBytes = 0;   // upload: how much of the first answer goes out at once, for
                                    // abandonAnswer, lateAnswer and lateIgnoreRepeat
        int repeatUnasked = -1;     // upload: send this block again, unasked, once the next block
                                    // is asked for and ahead of its answer (the last block: right
                                    // after its answer, as a next answer would come)
        int answerDelayMs = 0;      // upload: a slow card, one answer at a time, each this long
                                    // after its request or the answer before (an unasked one
                                    // too), whichever came later
        int slowBlock = -1;         // upload: every request for this block, a repeat too, is
        int slowAnswerMs = 0;       // answered that way but after slowAnswerMs, in order
        int staleBefore = -1;       // upload: before its answer to the request for this block,
        int staleBlock = -1;        // the card sends this (older) block again, unasked
        // Upload: to the first request of a connection, for a block above 0, the card sends the
        // block before it first and then the one asked for (a resume answered from one too early).
        bool firstAnswerBlockBefore = false;
        int strayBefore = -1;   // upload: before its answer to the request for this block (the
        int strayBytes = 0;     // block count: after the last answer), this many stray bytes
        int strayRestMs = 0;    // upload: with strayBefore, the rest of a block of stray bytes this long
                                // after the answer (fragments that add up to a block)
        int foreignBefore = -1; // upload: before its answer to the request for this block (the block
                                // count: after the last answer), a block of another record, unasked
        int aheadOf = -1;       // upload: to the request for this block the card sends the next block
                                // first, then this one (a block sent ahead)
        int splitAnswerMs = 0;  // upload: every write of an answer (stray bytes too) goes out in two
                                // halves, the second this long after the first
        // Upload: to the request for this block the card first sends an empty block (all zeros; or,
        // with aheadForeign, a block of another record), then the block asked for, and stays one
        // answer ahead; with aheadLastTwice it sends its last block twice (0: before any block).
        int aheadFrom = -1;
        bool aheadForeign = false;
        bool aheadLastTwice = false;
        // Upload: after its last answer the card sends one byte this often for as long as the
        // connection stays (0: off).
        int trickleMs = 0;
        // Blocks from this one on all carry its bytes, both ways; 0 is a record of constant samples.
        int constantFrom = -1;
        // Block equalAt carries the bytes of block equalTo, both ways (a quiet spell).
        int equalAt = -1;
        int equalTo = -1;

        // Download: after the last block the connection is closed in order instead of asking
        // for the block count. Upload: the card closes in order once its answer to the last
        // block is sent.
        bool closeAfterLast = false;
        // Download: with a 4 MiB receive buffer, the card asks for the last block and leaves it
        // unread; once its stack holds the whole block it shuts its sending side, and this many
        // ms later it closes with the block unread, which resets the connection (0: off).
        int resetAfterHalfCloseMs = 0;
        // Download: a fresh start asks for block 1 first, as if it had block 0.
        bool skipFirstBlock = false;
    };

    enum class Mode { Upload, Download };

    CardDataChannel(Mode mode, quint32 name, int card, quint32 blockMiB, quint32 firstBlock, quint32 blocks,
                    const Faults& faults, QObject* parent = nullptr);

    void connectTo(const QHostAddress& address, quint16 port);
    void close();

    // Download: every block received is also written at its offset into this file.
    void setReceivedFile(const QString& path) { m_receivedFile = path; }

    static void pattern(quint32 name, int card, quint64 offset, char* out, qint64 length);
    static QByteArray block(quint32 name, int card, quint32 n, quint32 blockMiB);
    // Block n as a card with these faults carries it (constantFrom).
    static QByteArray blockOf(quint32 name, int card, quint32 n, quint32 blockMiB, const Faults& faults);

    // Where block() takes its bytes; null (the default) computes them with pattern(). A
    // benchmark sets blocks it made beforehand, so that the card is never what sets the pace; a
    // source must stay a fixed function of its arguments, as a download checks against it.
    using BlockSource = QByteArray (*)(quint32 name, int card, quint32 n, quint32 blockMiB);
    static void setBlockSource(BlockSource source);

    int card() const { return m_card; }
    Mode mode() const { return m_mode; }
    quint32 firstRequested() const { return m_firstRequested; }
    quint32 blocksMoved() const { return m_moved; }
    quint64 badBytes() const { return m_badBytes; }
    quint32 nextBlock() const { return m_next; }
    int badRequests() const { return m_badRequests; }
    bool finished() const { return m_finished; }
    // Bytes written that the PC has not yet received: still in the socket, or sent and not yet
    // acknowledged (on a loaded machine loopback delivery can lag the send). Answers still held
    // back are not counted.
    qint64 unsentBytes() const;
    // Upload: the block number of every valid request, in order of arrival.
    const QList<quint32>& requests() const { return m_requests; }

signals:
    void ended(int card);

private:
    void onReadyRead();
    void onUploadRequest(const QByteArray& frame);
    void requestNext(quint32 n);
    void finish();
    void keepReceived(quint32 n, const char* data);
    void answer(const QByteArray& data, quint32 n);
    void answerAfter(const QByteArray& data, int delayMs);
    void sendNextAnswer();
    void closeIfDone();
    void halfCloseWhenHeld();
    void trickle();
    QByteArray dataOf(quint32 n) const;

    const Mode m_mode;
    const quint32 m_name;
    const int m_card;
    const qint64 m_blockBytes;
    const quint32 m_blocks;
    const Faults m_faults;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_in;
    quint32 m_next = 0;
    quint32 m_firstRequested = 0xFFFFFFFFu;
    quint32 m_moved = 0;
    quint64 m_badBytes = 0;
    int m_badRequests = 0;
    bool m_silent = false;
    bool m_askedTwice = false;
    bool m_holdingLate = false;
    bool m_lateDone = false;
    bool m_lostDone = false;
    bool m_repeatDone = false;
    bool m_aheadDone = false;
    bool m_extraDone = false;
    bool m_cutting = false;
    QList<quint32> m_requests;
    struct Answer
    {
        QByteArray data;
        int delayMs = 0;
        qint64 askedAt = 0;
    };
    QList<Answer> m_outbox;
    bool m_answering = false;
    bool m_closeWhenSent = false;
    QElapsedTimer m_clock;
    qint64 m_lastAnswerAt = 0;
    QString m_receivedFile;
    bool m_finished = false;
    quint16 m_sequence = 0;
};
