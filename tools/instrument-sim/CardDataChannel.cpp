#include "CardDataChannel.h"

#include "SimBytes.h"
#include "SimFrame.h"

#include <QDebug>
#include <QFile>
#include <QTimer>

#include <atomic>
#include <cstring>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {
constexpr int kRequestSize = 24;
constexpr quint32 kMagic = 0xFFBBAACCu;

quint64 mix(quint64 x)
{
    // splitmix64: cheap, and every byte depends on record, card and position.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::atomic<CardDataChannel::BlockSource> s_blockSource{nullptr};
} // namespace

void CardDataChannel::setBlockSource(BlockSource source)
{
    s_blockSource.store(source);
}

CardDataChannel::CardDataChannel(Mode mode, quint32 name, int card, quint32 blockMiB, quint32 firstBlock,
                                 quint32 blocks, const Faults& faults, QObject* parent)
    : QObject(parent)
    , m_mode(mode)
    , m_name(name)
    , m_card(card)
    , m_blockBytes(qint64(blockMiB) * 1024 * 1024)
    , m_blocks(blocks)
    , m_faults(faults)
    , m_next(firstBlock)
{}

void CardDataChannel::pattern(quint32 name, int card, quint64 offset, char* out, qint64 length)
{
    const quint64 seed = (quint64(name) << 32) ^ (quint64(quint8(card)) << 24);
    qint64 i = 0;
    while (i < length) {
        const quint64 pos = offset + quint64(i);
        const quint64 word = mix(seed ^ mix(pos >> 3));
        const int from = int(pos & 7);
        const int take = int(qMin<qint64>(8 - from, length - i));
        for (int b = 0; b < take; ++b)
            out[i + b] = char((word >> (8 * (from + b))) & 0xFF);
        i += take;
    }
}

QByteArray CardDataChannel::block(quint32 name, int card, quint32 n, quint32 blockMiB)
{
    if (const BlockSource source = s_blockSource.load())
        return source(name, card, n, blockMiB);
    const qint64 bytes = qint64(blockMiB) * 1024 * 1024;
    QByteArray out(int(bytes), Qt::Uninitialized);
    pattern(name, card, quint64(n) * quint64(bytes), out.data(), bytes);
    return out;
}

QByteArray CardDataChannel::blockOf(quint32 name, int card, quint32 n, quint32 blockMiB, const Faults& faults)
{
    const bool constant = faults.constantFrom >= 0 && n >= quint32(faults.constantFrom);
    if (faults.equalAt >= 0 && faults.equalTo >= 0 && n == quint32(faults.equalAt))
        n = quint32(faults.equalTo);
    return block(name, card, constant ? quint32(faults.constantFrom) : n, blockMiB);
}

QByteArray CardDataChannel::dataOf(quint32 n) const
{
    return blockOf(m_name, m_card, n, quint32(m_blockBytes >> 20), m_faults);
}

void CardDataChannel::connectTo(const QHostAddress& address, quint16 port)
{
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &CardDataChannel::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &CardDataChannel::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_socket && m_socket->state() == QAbstractSocket::UnconnectedState)
            finish();
    });
    if (m_mode == Mode::Download) {
        connect(m_socket, &QTcpSocket::connected, this, [this] {
            if (m_faults.resetAfterHalfCloseMs > 0)
                m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 * 1024 * 1024);
            if (m_faults.skipFirstBlock && m_next == 0)
                m_next = 1;
            if (m_faults.cutInsideBlock > 0) {
                // Small buffers on this side, so that the PC still holds most of the block that
                // is cut when the connection drops.
                m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024);
                m_socket->setReadBufferSize(64 * 1024);
            }
            if (m_faults.cutAfterBlocks == 0 && m_faults.cutInsideBlock <= 0) {
                m_socket->abort();
                finish();
                return;
            }
            if (m_faults.cutAfterBlocks == 0) {
                m_cutting = true;
                m_socket->setReadBufferSize(m_faults.cutInsideBlock);
            }
            if (m_faults.silentAfterBlocks == 0)
                m_silent = true;
            else
                requestNext(m_next);
        });
    }
    m_socket->connectToHost(address, port);
}

qint64 CardDataChannel::unsentBytes() const
{
    if (!m_socket)
        return 0;
    int unacknowledged = 0;
    const int fd = int(m_socket->socketDescriptor());
    if (fd < 0 || ::ioctl(fd, SIOCOUTQ, &unacknowledged) != 0)
        unacknowledged = 0;
    return m_socket->bytesToWrite() + unacknowledged;
}

void CardDataChannel::close()
{
    if (m_socket)
        m_socket->abort();
    finish();
}

void CardDataChannel::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    emit ended(m_card);
}

void CardDataChannel::keepReceived(quint32 n, const char* data)
{
    if (m_receivedFile.isEmpty())
        return;
    QFile out(m_receivedFile);
    if (!out.open(QIODevice::ReadWrite) || !out.seek(qint64(n) * m_blockBytes)
        || out.write(data, m_blockBytes) != m_blockBytes)
        qWarning() << "simulated card cannot keep block" << n << "in" << m_receivedFile;
}

void CardDataChannel::requestNext(quint32 n)
{
    if (m_firstRequested == 0xFFFFFFFFu)
        m_firstRequested = n;
    SimFrame f;
    f.target = 3;
    f.type = 4;
    f.cmd = 2;
    f.sequence = m_sequence++;
    SimBytes::put(f.payload, n, 4);
    m_socket->write(f.encode());
}

void CardDataChannel::halfCloseWhenHeld()
{
    if (!m_socket || m_finished)
        return;
    const int fd = int(m_socket->socketDescriptor());
    int held = 0;
    if (::ioctl(fd, FIONREAD, &held) != 0 || m_socket->bytesAvailable() + held < m_blockBytes) {
        QTimer::singleShot(5, this, &CardDataChannel::halfCloseWhenHeld);
        return;
    }
    ::shutdown(fd, SHUT_WR);
    QTimer::singleShot(m_faults.resetAfterHalfCloseMs, this, [this] {
        if (m_socket)
            m_socket->abort();
        finish();
    });
}

void CardDataChannel::answerAfter(const QByteArray& data, int delayMs)
{
    if (!m_clock.isValid())
        m_clock.start();
    m_outbox << Answer{data, delayMs, m_clock.elapsed()};
    if (!m_answering) {
        m_answering = true;
        sendNextAnswer();
    }
}

void CardDataChannel::answer(const QByteArray& data, quint32 n)
{
    const int delay =
        m_faults.slowBlock >= 0 && quint32(m_faults.slowBlock) == n ? m_faults.slowAnswerMs : m_faults.answerDelayMs;
    if (m_faults.splitAnswerMs > 0 && data.size() > 1) {
        // Each half an answer of its own in the outbox, so that order holds.
        answerAfter(data.left(data.size() / 2), delay);
        answerAfter(data.mid(data.size() / 2), m_faults.splitAnswerMs);
        return;
    }
    if (delay <= 0 && m_outbox.isEmpty()) {
        m_socket->write(data);
        closeIfDone();
        return;
    }
    if (!m_clock.isValid())
        m_clock.start();
    m_outbox << Answer{data, delay, m_clock.elapsed()};
    if (!m_answering) {
        m_answering = true;
        sendNextAnswer();
    }
}

void CardDataChannel::sendNextAnswer()
{
    if (m_outbox.isEmpty() || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        m_outbox.clear();
        m_answering = false;
        return;
    }
    // Each answer its delay after its request or after the answer before, whichever came later.
    const Answer& next = m_outbox.first();
    const qint64 due = qMax(next.askedAt, m_lastAnswerAt) + next.delayMs;
    if (due > m_clock.elapsed()) {
        // Precise: a coarse timer, Qt's choice from 2 s on, may answer 5 % later than told.
        QTimer::singleShot(int(due - m_clock.elapsed()), Qt::PreciseTimer, this, &CardDataChannel::sendNextAnswer);
        return;
    }
    m_socket->write(m_outbox.takeFirst().data);
    m_lastAnswerAt = m_clock.elapsed();
    if (m_outbox.isEmpty()) {
        m_answering = false;
        closeIfDone();
    } else {
        sendNextAnswer();
    }
}

void CardDataChannel::trickle()
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(QByteArray(1, '\x5A'));
    QTimer::singleShot(m_faults.trickleMs, this, &CardDataChannel::trickle);
}

void CardDataChannel::closeIfDone()
{
    // An orderly close: what is written still goes out first.
    if (m_closeWhenSent && m_outbox.isEmpty() && m_socket)
        m_socket->disconnectFromHost();
}

void CardDataChannel::onReadyRead()
{
    if (m_cutting) {
        if (m_faults.resetAfterHalfCloseMs > 0)
            return; // the block stays unread
        // The socket takes no more than the cut from the connection and nothing is read out of
        // it, so the rest of the block stays unread and the close resets the connection.
        if (m_in.size() + m_socket->bytesAvailable() >= m_faults.cutInsideBlock) {
            m_socket->abort();
            finish();
        }
        return;
    }
    m_in.append(m_socket->readAll());
    if (m_mode == Mode::Upload) {
        int at = 0;
        while (m_in.size() - at >= kRequestSize && m_socket) {
            onUploadRequest(m_in.mid(at, kRequestSize));
            at += kRequestSize;
        }
        m_in.remove(0, at);
        return;
    }
    while (m_socket && !m_finished) {
        if (m_in.size() < m_blockBytes)
            break;
        const quint32 n = m_askedTwice ? m_next - 1 : m_next;
        const QByteArray expected = dataOf(n);
        // Compared whole first: counting byte by byte made the card, not the PC, set the pace.
        if (memcmp(m_in.constData(), expected.constData(), size_t(m_blockBytes)) != 0) {
            for (qint64 i = 0; i < m_blockBytes; ++i) {
                if (m_in.at(int(i)) != expected.at(int(i)))
                    ++m_badBytes;
            }
        }
        keepReceived(n, m_in.constData());
        m_in.remove(0, int(m_blockBytes));
        if (m_askedTwice) {
            m_askedTwice = false;
        } else {
            ++m_moved;
            ++m_next;
            if (m_faults.answerTwice >= 0 && quint32(m_faults.answerTwice) == n) {
                m_askedTwice = true;
                requestNext(n);
                continue;
            }
        }
        if (m_faults.cutAfterBlocks >= 0 && m_moved == quint32(m_faults.cutAfterBlocks) && !m_cutting) {
            if (m_faults.cutInsideBlock <= 0) {
                m_socket->abort();
                finish();
                return;
            }
            m_cutting = true;
            m_socket->setReadBufferSize(qMax(1, m_faults.cutInsideBlock - m_in.size()));
        }
        if (m_faults.silentAfterBlocks >= 0 && m_moved == quint32(m_faults.silentAfterBlocks)) {
            m_silent = true;
            return;
        }
        if (m_faults.closeAfterLast && m_next >= m_blocks) {
            m_socket->disconnectFromHost();
            return;
        }
        if (m_faults.resetAfterHalfCloseMs > 0 && m_next + 1 == m_blocks) {
            // Qt reads no more than one byte of the last block; the rest stays with the stack.
            m_cutting = true;
            m_socket->setReadBufferSize(1);
            requestNext(m_next);
            halfCloseWhenHeld();
            return;
        }
        // Asking for the block count tells the PC that the last block arrived.
        requestNext(m_next);
    }
}

void CardDataChannel::onUploadRequest(const QByteArray& frame)
{
    const quint32 crc = SimBytes::get(frame, 20, 4);
    if (SimBytes::get(frame, 0, 4) != kMagic || quint8(frame.at(6)) != 3 || quint8(frame.at(10)) != 4
        || quint8(frame.at(11)) != 2 || SimBytes::get(frame, 12, 4) != 4 || SimFrame::crc(frame.left(20)) != crc) {
        ++m_badRequests;
        return;
    }
    const quint32 n = SimBytes::get(frame, 16, 4);
    if (m_firstRequested == 0xFFFFFFFFu)
        m_firstRequested = n;
    m_requests << n;
    if (m_silent || n >= m_blocks) {
        if (n >= m_blocks)
            ++m_badRequests;
        return;
    }
    if (m_faults.repeatUnasked >= 0 && quint32(m_faults.repeatUnasked) + 1 == n && !m_repeatDone) {
        m_repeatDone = true;
        answer(dataOf(n - 1), n - 1);
    }
    if (m_faults.staleBefore >= 0 && quint32(m_faults.staleBefore) == n && m_faults.staleBlock >= 0)
        answer(dataOf(quint32(m_faults.staleBlock)), quint32(m_faults.staleBlock));
    if (m_faults.firstAnswerBlockBefore && m_requests.size() == 1 && n > 0)
        answer(dataOf(n - 1), n - 1);
    if (m_faults.strayBefore >= 0 && quint32(m_faults.strayBefore) == n)
        answer(QByteArray(m_faults.strayBytes, '\x5A'), 0xFFFFFFFFu);
    if (m_faults.foreignBefore >= 0 && quint32(m_faults.foreignBefore) == n)
        answer(block(m_name ^ 0x5A5A5A5Au, m_card, n, quint32(m_blockBytes >> 20)), 0xFFFFFFFFu);
    if (m_faults.aheadOf >= 0 && quint32(m_faults.aheadOf) == n && n + 1 < m_blocks && !m_aheadDone) {
        m_aheadDone = true;
        answer(dataOf(n + 1), n + 1);
    }
    // One answer ahead from here on: an extra block first, then the one asked for.
    if (m_faults.aheadFrom >= 0 && quint32(m_faults.aheadFrom) == n && !m_extraDone) {
        m_extraDone = true;
        answer(m_faults.aheadForeign ? block(m_name ^ 0x5A5A5A5Au, m_card, n, quint32(m_blockBytes >> 20))
                                     : QByteArray(int(m_blockBytes), '\0'),
               n);
    }
    const QByteArray data = dataOf(n);
    // The last block again: it follows the answer as the answer to a next request would.
    const bool repeatLast =
        m_faults.repeatUnasked >= 0 && quint32(m_faults.repeatUnasked) == n && n + 1 == m_blocks && !m_repeatDone;
    m_repeatDone = m_repeatDone || repeatLast;
    if (m_faults.cutAfterBlocks >= 0 && m_moved == quint32(m_faults.cutAfterBlocks)) {
        if (m_faults.cutPartialBytes > 0) {
            m_socket->write(data.left(m_faults.cutPartialBytes));
            m_socket->flush();
        }
        m_socket->disconnectFromHost();
        return;
    }
    if (m_faults.silentAfterBlocks >= 0 && m_moved == quint32(m_faults.silentAfterBlocks)) {
        m_silent = true;
        return;
    }
    if (m_faults.lostRequest >= 0 && quint32(m_faults.lostRequest) == n && !m_lostDone) {
        m_lostDone = true;
        return;
    }
    const int partial = qBound(0, m_faults.latePartialBytes, data.size());
    // The late-answer faults send only the first bytes of block n until it is asked for again.
    const auto holds = [&](int block) { return block >= 0 && quint32(block) == n && !m_lateDone; };
    const bool abandon = holds(m_faults.abandonAnswer);
    const bool ignoreRepeat = holds(m_faults.lateIgnoreRepeat);
    if (abandon || ignoreRepeat || holds(m_faults.lateAnswer)) {
        if (!m_holdingLate) {
            m_holdingLate = true;
            if (partial > 0)
                m_socket->write(data.left(partial));
            return;
        }
        m_holdingLate = false;
        m_lateDone = true;
        // Asked again: an abandoned first answer is simply followed by this one whole; otherwise
        // the first answer is finished first, and with ignoreRepeat the repeat gets nothing.
        if (!abandon) {
            m_socket->write(data.mid(partial));
            if (ignoreRepeat) {
                ++m_moved;
                m_next = n + 1;
                return;
            }
        }
    }
    answer(data, n);
    ++m_moved;
    m_next = n + 1;
    if (m_faults.strayBefore >= 0 && quint32(m_faults.strayBefore) == n && m_faults.strayRestMs > 0)
        answerAfter(QByteArray(int(m_blockBytes) - m_faults.strayBytes, '\x5A'), m_faults.strayRestMs);
    if ((m_faults.answerTwice >= 0 && quint32(m_faults.answerTwice) == n) || repeatLast)
        answer(data, n);
    const bool last = n + 1 == m_blocks;
    if (last && m_faults.aheadFrom >= 0 && m_faults.aheadLastTwice)
        answer(data, n);
    if (last && m_faults.trickleMs > 0)
        QTimer::singleShot(m_faults.trickleMs, this, &CardDataChannel::trickle);
    if (last && m_faults.strayBefore >= 0 && quint32(m_faults.strayBefore) == m_blocks)
        answer(QByteArray(m_faults.strayBytes, '\x5A'), 0xFFFFFFFFu);
    if (last && m_faults.foreignBefore >= 0 && quint32(m_faults.foreignBefore) == m_blocks)
        answer(block(m_name ^ 0x5A5A5A5Au, m_card, n + 1, quint32(m_blockBytes >> 20)), 0xFFFFFFFFu);
    if (last && m_faults.closeAfterLast) {
        m_closeWhenSent = true;
        if (!m_answering)
            closeIfDone();
    }
}
