#include "TcpTransportThread.h"

#include "AsyncFileWorker.h"
#include "BlockQueue.h"
#include "FileLogger.h"
#include "LocalRecordStore.h"
#include "MsgHeader.h"
#include "NetSocket.h"
#include "ProtocolManager.h"
#include "RecordEx.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <cstring>
#include <limits>

namespace {
constexpr quint64 kMiB = 1024 * 1024;
// UploadDownload command 2: the PC asks a card for one block.
constexpr Msg_Cmd kRequestBlockCmd = Msg_Cmd(2);
// How long the channel waits on the queue before it looks at the worker's flags again.
constexpr int kQueueWaitMs = 20;

std::atomic<int> s_timeoutMs{TcpTransportThread::kTimeoutMs};
} // namespace

QString TcpTransportThread::fingerprintFilePath(const QString& dataFile)
{
    QString path = dataFile;
    if (path.endsWith(QLatin1String(".wdd")))
        path.chop(4);
    return path + QStringLiteral(".wdf");
}

QMutex* TcpTransportThread::recordLock()
{
    static QMutex lock;
    return &lock;
}

void TcpTransportThread::setTimeoutForTest(int ms)
{
    s_timeoutMs.store(ms > 0 ? ms : kTimeoutMs);
}

TcpTransportThread::TcpTransportThread(uchar channelId, uchar mode, QString address, ushort port, RecordEx* record,
                                       QObject* parent)
    : QThread(parent)
    , m_record(record)
    , m_channelId(channelId)
    , m_mode(mode)
    , m_address(address)
    , m_hostAddress(ProtocolManager::ipString2Int(address))
    , m_port(port)
    , m_timeoutMs(s_timeoutMs.load())
{
    quint64 sizeMiB = 0;
    quint32 blockMiB = 0;
    if (m_record) {
        QMutexLocker lock(recordLock());
        sizeMiB = m_record->RecordValue(RecordKey::Size, 0).toULongLong();
        blockMiB = m_record->LocalValue(RecordKey::SingleTransSize, 0).toUInt();
        m_cards = m_record->LocalValue(RecordKey::NumOfBoards, 0).toInt();
    }
    // A damaged description (no cards, no block size) gives a channel with nothing to move
    // rather than a division by zero.
    if (m_cards > 0) {
        m_cardBytes = sizeMiB * kMiB / quint64(m_cards);
        if (blockMiB > 0)
            m_blockCount = quint32((quint32(sizeMiB) / blockMiB) / quint32(m_cards));
    }
    m_blockBytes = qint64(blockMiB) * qint64(kMiB);
    // The instrument may answer the start as late as the control link waits for that answer; the
    // card connects after that. The coordinator gives the link's own wait (setStartReplyWait).
    m_startWaitMs = ProtocolManager::kReplyWaitMs + m_timeoutMs;
    moveToThread(this);
}

TcpTransportThread::~TcpTransportThread()
{
    // The socket belongs to the channel thread: a running channel is stopped there.
    if (isRunning())
        QMetaObject::invokeMethod(this, "slot_StopTransport", Qt::QueuedConnection);
    wait();
    StopChannel();
    releaseObjects();
}

ushort TcpTransportThread::GetPort()
{
    qDebug() << "端口端口" << m_port.load();
    return m_port.load();
}

quint64 TcpTransportThread::cardValue(const QString& key) const
{
    QMutexLocker lock(recordLock());
    return m_record ? m_record->getSectionValue(RecordKey::cardSection(m_channelId), key, 0).toULongLong() : 0;
}

void TcpTransportThread::setCardValue(const QString& key, quint64 value)
{
    QMutexLocker lock(recordLock());
    if (m_record)
        m_record->setSectionValue(RecordKey::cardSection(m_channelId), key, value);
}

void TcpTransportThread::reportStatus(int status)
{
    const int last = m_status.exchange(status);
    emit SendStatus(m_channelId, status, last);
}

void TcpTransportThread::reportProgress(quint64 moved)
{
    m_elapsedMs = double(QDateTime::currentMSecsSinceEpoch() - m_startTimeMs);
    const quint64 runBytes = moved > m_startPosition ? moved - m_startPosition : 0;
    // The first block of a run can land within the same millisecond it started.
    const double speed = m_elapsedMs > 0.0 ? double(runBytes >> 20) * 1000.0 / m_elapsedMs : 0.0;
    // 100 is the proof of the card's last block, which only a complete end reports.
    const int progress = m_cardBytes > 0 ? int(qMin<quint64>(99, moved * 100 / m_cardBytes)) : 0;
    emit SendThreadProgress(m_channelId, progress, speed);
}

void TcpTransportThread::run()
{
    qDebug() << "运行" << QThread::currentThreadId();
    m_server = new QTcpServer;
    connect(m_server, &QTcpServer::newConnection, this, &TcpTransportThread::slot_Tcp_Client_Connected);
    if (!m_server->listen(QHostAddress(m_hostAddress), m_port.load())) {
        qWarning() << "transfer channel" << m_channelId + 1 << "cannot listen:" << m_server->errorString();
        // The reason first: a stopped channel takes none.
        setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "无法监听（%1）")).arg(m_server->errorString()));
        m_stopped.store(true);
        logEnd(true);
        reportStatus(ListenFailed);
        releaseObjects();
        return;
    }
    m_port.store(m_server->serverPort());
    if (!OpenDataFile()) {
        if (m_dataShort.load())
            setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "数据文件只有 %1 字节，应有 %2 字节，无法下载"))
                             .arg(m_shortFileBytes)
                             .arg(m_cardBytes));
        else
            setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "无法打开数据文件")));
        m_stopped.store(true);
        logEnd(true);
        reportStatus(FileFailed);
        releaseObjects();
        return;
    }
    const bool upload = m_mode == AsyncFileWorker::kUpload;
    quint64 next = cardValue(upload ? RecordKey::UploadNum : RecordKey::DownloadNum);
    const quint64 size = cardValue(upload ? RecordKey::UploadSize : RecordKey::DownloadSize);
    const quint64 block = quint64(m_blockBytes);
    if (upload) {
        // Counters never name more than the file holds, in whole blocks: a crash mid-write leaves
        // both inside a block, and a resume past the end of the file would leave a hole in it.
        const quint64 whole = qMin(qMin(next, size / block), quint64(m_dataFile->size()) / block);
        if (whole != next || size != whole * block) {
            FileLogger::LogMessage(
                FileLogger::Warning,
                QT_TRANSLATE_NOOP("FileLogger", "传输通道 %1 记录的进度（数据块 %2，%3 字节）超出数据文件的整块（%4 "
                                                "字节），从数据块 %5 续传"),
                m_channelId + 1, next, size, m_dataFile->size(), whole);
            next = whole;
        }
    }
    if (size != next * block) {
        setCardValue(upload ? RecordKey::UploadNum : RecordKey::DownloadNum, next);
        setCardValue(upload ? RecordKey::UploadSize : RecordKey::DownloadSize, next * block);
    }
    m_dataFile->seek(qint64(next * block));
    m_startPosition = quint64(m_dataFile->pos());
    if (upload) {
        m_proof = UploadProof(next, m_blockCount, m_blockBytes, m_timeoutMs);
        readKeptFingerprints(next);
    }

    m_strikes = 0;
    m_timeoutTimer = new QTimer;
    m_timeoutTimer->setInterval(m_timeoutMs);
    m_timeoutTimer->setSingleShot(true);
    // A coarse timer may fire 5 % early, and the quiet wait must never be shorter than the time-out.
    m_timeoutTimer->setTimerType(Qt::PreciseTimer);
    connect(m_timeoutTimer, &QTimer::timeout, this, &TcpTransportThread::slot_TransportTimer_Timeout);

    qDebug() << "服务器初始化成功" << m_channelId << m_address << m_port.load();
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "传输通道%1启动成功,等待采集卡连接......"),
                           m_channelId + 1);
    reportStatus(Listening);
    m_timeoutTimer->start(m_startWaitMs);
    exec();
    releaseObjects();
}

void TcpTransportThread::releaseObjects()
{
    // Runs in the channel thread after its loop, or in the owner's once the thread has ended.
    delete m_timeoutTimer;
    m_timeoutTimer = nullptr;
    delete m_card;
    m_card = nullptr;
    delete m_server;
    m_server = nullptr;
}

bool TcpTransportThread::OpenDataFile()
{
    const quint32 id = [this] {
        QMutexLocker lock(recordLock());
        return m_record ? m_record->RecordValue(RecordKey::Name, 0).toUInt() : 0u;
    }();
    const QString folder =
        m_recordFolder.isEmpty() ? LocalRecordStore::recordFolderPath(m_deviceFolder, id) : m_recordFolder;
    const bool upload = m_mode == AsyncFileWorker::kUpload;
    if (!QDir(folder).exists()) {
        // An upload makes its record folder; a download needs the data that should be there.
        if (!upload || !QDir().mkpath(folder)) {
            qWarning() << "record folder missing:" << folder;
            return false;
        }
    }
    if (m_blockBytes <= 0 || m_blockBytes > std::numeric_limits<int>::max())
        return false;
    m_dataFile = new QFile(LocalRecordStore::dataFilePath(folder, id, m_channelId));
    if (!LocalRecordStore::openDataFile(*m_dataFile, upload)) {
        qWarning() << "data file" << m_dataFile->fileName() << m_dataFile->errorString();
        delete m_dataFile;
        m_dataFile = nullptr;
        return false;
    }
    // A download sends only what the local copy holds: a file shorter than the card's share of
    // the record (a crash or a full disk while it was written) is refused before anything moves.
    if (!upload && quint64(m_dataFile->size()) < m_cardBytes) {
        m_shortFileBytes = m_dataFile->size();
        m_dataShort.store(true);
        delete m_dataFile;
        m_dataFile = nullptr;
        return false;
    }
    return true;
}

void TcpTransportThread::slot_Tcp_Client_Connected()
{
    while (QTcpSocket* socket = m_server ? m_server->nextPendingConnection() : nullptr) {
        qDebug() << "已连接客户端，客户端IP：" << socket->peerAddress().toString() << " ,端口号："
                 << socket->peerPort();
        if (m_card || m_stopped.load()) {
            qDebug() << QStringLiteral("连接错误，传输通道 %1 连接多个采集卡").arg(m_channelId + 1);
            FileLogger::LogMessage(
                FileLogger::Error,
                QT_TRANSLATE_NOOP("FileLogger", "连接错误，传输通道 %1 连接多个采集卡，已阻止新采集卡连接"),
                m_channelId + 1);
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
            continue;
        }
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "传输通道 %1 连接正常"),
                               m_channelId + 1);
        reportStatus(Connected);
        const int blockMiB = int(m_blockBytes / qint64(kMiB));
        m_queue = new BlockQueue(BlockQueue::capacityFor(blockMiB, m_cards));
        m_worker = new AsyncFileWorker(m_mode, m_queue, m_dataFile, m_blockBytes);
        if (m_mode == AsyncFileWorker::kUpload)
            m_receiving = m_queue->takeSpare(int(m_blockBytes));
        m_received = 0;
        m_lastByte.start();
        m_card = socket;
        connect(m_card, &QTcpSocket::readyRead, this, &TcpTransportThread::slot_Tcp_Client_DataReady);
        connect(m_card, &QTcpSocket::disconnected, this, &TcpTransportThread::slot_Tcp_Client_Disconnected);
        if (m_mode == AsyncFileWorker::kUpload) {
            // A write that fails ends the worker; the channel must not wait on a card for a block
            // it can no longer keep.
            connect(m_worker, &QThread::finished, this, [this] {
                if (!m_stopped.load() && m_worker && m_worker->hasFailed())
                    failUpload(LogText(QT_TRANSLATE_NOOP("FileLogger", "写入数据文件失败")));
            });
        } else {
            connect(m_card, &QTcpSocket::bytesWritten, this, &TcpTransportThread::onBytesWritten);
        }
        if (m_mode == AsyncFileWorker::kUpload) {
            m_worker->start(QThread::InheritPriority);
            m_workerStarted = true;
            if (m_proof.allTaken()) {
                lastBlockIn();
                return;
            }
            if (!RequestBlock(uint(cardValue(RecordKey::UploadNum))))
                return;
        }
        armTimer();
    }
}

bool TcpTransportThread::RequestBlock(uint n)
{
    if (n >= m_blockCount)
        return false;
    QByteArray frame =
        ProtocolManager::MsgHeadToTerminal(0, m_requestSequence++, Msg_Type::UploadDownload, kRequestBlockCmd, 4);
    frame.append(ProtocolManager::U32toByte(n));
    frame.append(ProtocolManager::U32toByte(
        ProtocolManager::crc32Mpeg2(reinterpret_cast<const uchar*>(frame.constData()), uint(frame.size()))));
    if (!m_card || m_card->write(frame) != frame.size())
        return false;
    if (m_mode == AsyncFileWorker::kUpload)
        m_proof.blockAsked();
    return true;
}

void TcpTransportThread::lastBlockIn()
{
    readUnasked();
    if (!m_proof.waitsForQuiet()) {
        StopChannel();
        return;
    }
    // Whatever the card sent beside its answers shows before it has been quiet that long.
    emit SendEndWait(m_channelId);
    waitForQuiet();
}

void TcpTransportThread::readKeptFingerprints(quint64 blocks)
{
    // Believed only when it is this data file's, whole and unchanged; read before the run writes
    // a byte, so that it is compared with the file as it was.
    m_diskPrints.clear();
    m_rebuildPrints = false;
    if (blocks == 0 || !m_dataFile)
        return;
    QVector<quint64> entries;
    const quint64 whole = quint64(m_dataFile->size()) / quint64(m_blockBytes);
    if (LocalRecordStore::readFingerprintFile(fingerprintFilePath(m_dataFile->fileName()), recordId(), m_channelId,
                                              m_blockBytes, whole, &entries)) {
        entries.resize(int(blocks));
        if (!entries.contains(UploadProof::kUnknown)) {
            m_diskPrints = entries;
            return;
        }
    }
    // Made again from the data file once the run has ended, in this thread, before the run is
    // judged.
    m_rebuildPrints = true;
}

void TcpTransportThread::rebuildKeptFingerprints(QFile& file)
{
    const quint64 first = m_proof.firstBlock();
    m_diskPrints = QVector<quint64>(int(first), UploadProof::kUnknown);
    QByteArray block(int(m_blockBytes), Qt::Uninitialized);
    quint64 made = 0;
    for (quint64 b = 0; b < first; ++b) {
        // A block that cannot be read stays unknown: the proof never takes it for a new one.
        if (file.seek(qint64(b) * m_blockBytes) && file.read(block.data(), m_blockBytes) == m_blockBytes) {
            m_diskPrints[int(b)] = UploadProof::fingerprint(block.constData(), m_blockBytes);
            ++made;
        }
    }
    FileLogger::LogMessage(
        FileLogger::Info,
        QT_TRANSLATE_NOOP("FileLogger", "传输通道 %1 的指纹文件不可用，已从数据文件重建 %2/%3 个数据块的指纹"),
        m_channelId + 1, made, first);
}

quint32 TcpTransportThread::recordId() const
{
    QMutexLocker lock(recordLock());
    return m_record ? m_record->RecordValue(RecordKey::Name, 0).toUInt() : 0u;
}

void TcpTransportThread::resolveProof()
{
    // Needs the blocks in the file and their fingerprints: the worker has ended.
    if (m_proof.resolved() || !m_dataFile)
        return;
    QFile file(m_dataFile->fileName());
    if (!file.open(QIODevice::ReadOnly)) {
        m_proof.resolveUnreadable();
        return;
    }
    // Only a verdict that compares with the disk needs them: a record of 16 000 blocks is not read
    // back for a run that stands whole (its fingerprint file then leaves them unknown).
    if (m_rebuildPrints && m_proof.taken() > 0 && !m_proof.exactStream())
        rebuildKeptFingerprints(file);
    m_proof.setDisk(m_diskPrints);
    // Blocks from here on came unasked and never reached the file.
    const quint64 inFile = m_proof.firstBlock() + m_proof.taken();
    constexpr qint64 kChunk = 256 * 1024;
    QByteArray x(int(kChunk), Qt::Uninitialized);
    QByteArray y(int(kChunk), Qt::Uninitialized);
    const auto piece = [&](quint64 block, qint64 done, qint64 length, QByteArray& into) -> const char* {
        if (block >= inFile) {
            const int k = int(block - inFile);
            return k < m_unaskedBlocks.size() ? m_unaskedBlocks.at(k).constData() + done : nullptr;
        }
        if (!file.seek(qint64(block) * m_blockBytes + done) || file.read(into.data(), length) != length)
            return nullptr;
        return into.constData();
    };
    const auto same = [&](quint64 a, quint64 b) {
        for (qint64 done = 0; done < m_blockBytes; done += kChunk) {
            const qint64 length = qMin(kChunk, m_blockBytes - done);
            const char* pa = piece(a, done, length, x);
            const char* pb = piece(b, done, length, y);
            // Unreadable, the block cannot be told from a repeat.
            if (!pa || !pb)
                return true;
            if (memcmp(pa, pb, size_t(length)) != 0)
                return false;
        }
        return true;
    };
    m_proof.resolve(m_worker ? m_worker->fingerprints() : QVector<quint64>(), same);
}

void TcpTransportThread::keepFingerprints()
{
    // Beside the data, for the next run's comparisons: one for each whole block the file keeps.
    if (!m_dataFile || !m_proof.resolved())
        return;
    const QString path = fingerprintFilePath(m_dataFile->fileName());
    if (!LocalRecordStore::writeFingerprintFile(path, recordId(), m_channelId, m_blockBytes, m_proof.fingerprints(0)))
        qWarning() << "fingerprints of" << m_dataFile->fileName() << "not kept";
}

void TcpTransportThread::noteRollBack()
{
    // A press that ends where the press before it ended, for the same reason, will do so again:
    // the card's data cannot be proved by pressing once more.
    const LogText why = m_proof.shortfall();
    const quint64 took = m_proof.taken();
    const bool rolledBack = !why.isEmpty() && m_proof.kept() < took;
    QString mark;
    if (rolledBack && (m_proof.repeatAt() >= 0 || m_proof.unaskedBytes() > 0))
        mark = QStringLiteral("%1/%2/%3/%4/%5")
                   .arg(m_proof.firstBlock())
                   .arg(m_proof.firstBlock() + m_proof.kept())
                   .arg(m_proof.repeatAt())
                   .arg(m_proof.repeatOf())
                   .arg(m_proof.unaskedBytes());
    QMutexLocker lock(recordLock());
    if (!m_record)
        return;
    const QString section = RecordKey::cardSection(m_channelId);
    if (!mark.isEmpty() && m_record->getSectionValue(section, LocalRecordStore::rollBackKey()).toString() == mark)
        m_cannotProve = why;
    if (mark.isEmpty())
        m_record->removeSectionKey(section, LocalRecordStore::rollBackKey());
    else
        m_record->setSectionValue(section, LocalRecordStore::rollBackKey(), mark);
}

void TcpTransportThread::waitForQuiet()
{
    // Counted from the card's last byte, whatever the timer's own idea of it, and never past the
    // bound counted from the wait's beginning.
    if (!m_endWait.isValid())
        m_endWait.start();
    const int quiet = UploadProof::quietMs(m_timeoutMs);
    qint64 due = quiet - m_lastByte.elapsed();
    const qint64 bound = UploadProof::endWaitBoundMs(m_timeoutMs) - m_endWait.elapsed();
    if (bound > 0)
        due = qMin(due, bound);
    if (m_timeoutTimer)
        m_timeoutTimer->start(int(qBound<qint64>(1, due, quiet)));
}

bool TcpTransportThread::sendingPastBound() const
{
    // A byte came after the bound of the wait: the card is still sending.
    return m_endWait.isValid() && m_endWait.elapsed() - m_lastByte.elapsed() > UploadProof::endWaitBoundMs(m_timeoutMs);
}

void TcpTransportThread::giveUpEnd()
{
    // Still sending: the stream's end cannot be read, and no block of the run is proved.
    setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡在等待结束时仍在发送数据")));
    m_proof.end(UploadProof::End::Overdue);
    StopChannel();
}

void TcpTransportThread::cutRun(UploadProof::End how)
{
    // Nothing more is asked for; the answer owed to the last request is still taken, and what
    // comes after it counts as unasked, until the card is quiet or closes. Without a card there
    // is no stream to follow.
    m_proof.end(how);
    if (m_stopped.load())
        return;
    if (!m_card || m_card->state() != QAbstractSocket::ConnectedState) {
        StopChannel();
        return;
    }
    if (m_card->bytesAvailable() > 0)
        slot_Tcp_Client_DataReady();
    if (!m_stopped.load())
        waitForQuiet();
}

void TcpTransportThread::readUnasked()
{
    // Read on, so that what comes later shows as well, and cut into blocks on the stream's
    // boundaries: a whole one is fingerprinted and kept for a whole-block compare.
    if (!m_card)
        return;
    char scratch[64 * 1024];
    qint64 total = 0;
    for (;;) {
        const qint64 got = readCard(scratch, qint64(sizeof scratch));
        if (got <= 0)
            break;
        total += got;
        qint64 at = 0;
        while (at < got) {
            if (m_unaskedBlocks.isEmpty() || m_unaskedFill == m_blockBytes) {
                // More than the proof takes voids the run anyway.
                if (m_unaskedBlocks.size() > UploadProof::kMaxUnaskedBlocks)
                    break;
                m_unaskedBlocks.append(QByteArray(int(m_blockBytes), Qt::Uninitialized));
                m_unaskedFill = 0;
            }
            const qint64 n = qMin(got - at, m_blockBytes - m_unaskedFill);
            memcpy(m_unaskedBlocks.last().data() + m_unaskedFill, scratch + at, size_t(n));
            m_unaskedFill += n;
            at += n;
            if (m_unaskedFill == m_blockBytes)
                m_proof.unaskedBlock(UploadProof::fingerprint(m_unaskedBlocks.last().constData(), m_blockBytes));
        }
        m_proof.unasked(got);
    }
    if (total > 0)
        m_lastByte.restart();
}

void TcpTransportThread::finishWorker()
{
    if (!m_worker)
        return;
    m_worker->requestFinish();
    m_worker->wait();
}

void TcpTransportThread::armTimer()
{
    if (!m_timeoutTimer)
        return;
    m_timeoutTimer->start(m_timeoutMs);
}

void TcpTransportThread::slot_Tcp_Client_DataReady()
{
    if (!m_card || m_stopped.load())
        return;
    if (m_mode == AsyncFileWorker::kUpload && m_proof.waitsForQuiet() && !owedAnswerComing()) {
        // Nothing is asked for: everything that comes is unasked, and moves the end of the wait.
        readUnasked();
        if (m_proof.tooMuchUnasked()) {
            m_proof.end(UploadProof::End::Failed);
            StopChannel();
            return;
        }
        if (sendingPastBound()) {
            giveUpEnd();
            return;
        }
        waitForQuiet();
        return;
    }
    if (m_status.load() != Flowing)
        reportStatus(Flowing);
    if (m_timeoutTimer && !m_proof.waitsForQuiet())
        m_timeoutTimer->stop();
    m_strikes = 0;
    if (m_mode == AsyncFileWorker::kUpload)
        uploadData();
    else
        downloadData(m_card->readAll());
}

void TcpTransportThread::uploadData()
{
    // The bytes go into the block that the file worker writes, each read taking all there is up
    // to the end of the block.
    while (!m_stopped.load() && m_card) {
        const qint64 got = readCard(m_receiving.data + m_received, m_blockBytes - m_received);
        if (got <= 0)
            break;
        m_lastByte.restart();
        m_received += got;
        if (m_received < m_blockBytes)
            continue;
        takeBlock();
        return;
    }
    if (m_stopped.load())
        return;
    if (m_proof.waitsForQuiet())
        waitForQuiet();
    else
        armTimer();
}

qint64 TcpTransportThread::readCard(char* to, qint64 max)
{
    // What the socket has buffered comes first; once that is empty the bytes are taken from the
    // descriptor into the block itself, so most of a block skips the socket's buffer. The end of
    // the stream and errors are left where they are: the socket's own read notification finds
    // them there and reports the disconnect as always.
    if (m_card->bytesAvailable() > 0)
        return m_card->read(to, max);
    return max > 0 ? NetSocket::recvNow(int(m_card->socketDescriptor()), to, size_t(max)) : 0;
}

void TcpTransportThread::takeBlock()
{
    const quint64 number = cardValue(RecordKey::UploadNum);
    const bool queued = WriteBlock();
    m_received = 0;
    m_strikes = 0;
    // Taken off the stream either way: a block the file could not take still answers its request.
    m_proof.blockTaken();
    if (!queued) {
        failUpload(LogText(QT_TRANSLATE_NOOP("FileLogger", "写入数据文件失败")));
        return;
    }
    setCardValue(RecordKey::UploadNum, number + 1);
    // Exactly one answer per request: whatever has come beyond this block answers none.
    readUnasked();
    if (m_proof.allTaken()) {
        lastBlockIn();
        return;
    }
    if (m_proof.waitsForQuiet()) {
        waitForQuiet();
        return;
    }
    if (RequestBlock(uint(number + 1)))
        armTimer();
}

void TcpTransportThread::dropLateCard()
{
    // Asked again on this connection, the block could come twice, or late in part and then whole,
    // with nothing to tell which bytes answer which request: nothing more is asked, the late
    // answer is still taken, and the card goes once its stream has ended.
    setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "数据块 %1 未按时收全，已断开该采集卡"))
                     .arg(cardValue(RecordKey::UploadNum)));
    cutRun(UploadProof::End::TimedOut);
}

void TcpTransportThread::failUpload(const LogText& why)
{
    if (m_stopped.load())
        return;
    if (m_worker && m_worker->hasFailed())
        setEndReason(LogText::verbatim(QStringLiteral("%1: %2")).arg(why).arg(m_worker->errorString()));
    else
        setEndReason(why);
    if (m_proof.waitsForQuiet()) {
        // Already cut: the wait for the stream's end goes on.
        m_proof.end(UploadProof::End::Failed);
        return;
    }
    cutRun(UploadProof::End::Failed);
}

bool TcpTransportThread::owedAnswerComing() const
{
    // The bytes that come next complete the answer to the last request, not a surplus.
    return m_proof.answerOwed() && m_proof.unaskedBytes() == 0;
}

bool TcpTransportThread::WriteBlock()
{
    if (m_startTimeMs == 0)
        m_startTimeMs = QDateTime::currentMSecsSinceEpoch();
    const int length = m_receiving.length;
    bool taken = false;
    while (m_worker && m_worker->isRunning()) {
        if (m_queue->tryPush(m_receiving)) {
            taken = true;
            break;
        }
        m_queue->waitForRoom(kQueueWaitMs);
    }
    if (!taken)
        return false;
    // The queue has the block now; the next one goes into one the worker is done with.
    m_receiving = m_queue->takeSpare(int(m_blockBytes));
    const quint64 size = cardValue(RecordKey::UploadSize) + quint64(length);
    reportProgress(size);
    setCardValue(RecordKey::UploadSize, size);
    return true;
}

void TcpTransportThread::downloadData(const QByteArray& data)
{
    m_requests.append(data);
    quint32 n = 0;
    while (!m_stopped.load() && m_requests.next(n)) {
        if (!SendBlock(n))
            break;
    }
    if (m_stopped.load())
        return;
    // Re-armed after every read, so a dropped request never leaves the channel without time-out.
    armTimer();
}

bool TcpTransportThread::SendBlock(uint n)
{
    if (m_startTimeMs == 0)
        m_startTimeMs = QDateTime::currentMSecsSinceEpoch();
    if (!m_heldBlock.isNull()) {
        if (n == m_heldNumber) {
            // Asked again: the card lacks it. Bytes still in the socket's buffer reach it anyway.
            if (m_heldSent)
                sendHeldBlock();
            else
                qWarning() << "transfer channel" << m_channelId + 1 << "block" << n << "asked for while being sent";
            return true;
        }
        if (quint64(n) > quint64(m_heldNumber) + 1)
            return failSkipped(n, m_heldNumber + 1);
        if (quint64(n) != quint64(m_heldNumber) + 1) {
            qWarning() << "transfer channel" << m_channelId + 1 << "request for block" << n << "while" << m_heldNumber
                       << "is held: ignored";
            return true;
        }
        // Asking for the next block says the card has the held one whole.
        countHeldBlock();
    }
    const quint64 expected = cardValue(RecordKey::DownloadNum);
    // Past the end of a card counted whole is only the card saying it has everything.
    if (n == expected || (expected >= m_blockCount && quint64(n) > expected)) {
        if (expected >= m_blockCount) {
            dropHeldBlock();
            if (m_worker) {
                m_worker->requestStop();
                m_worker->wait();
            }
            StopChannel();
            return false;
        }
    } else if (quint64(n) > expected) {
        // Nothing counted or sent covers the blocks below it.
        return failSkipped(n, quint32(expected));
    } else if (m_workerStarted) {
        qWarning() << "transfer channel" << m_channelId + 1 << "request for block" << n << "while" << expected
                   << "is due: ignored";
        return true;
    } else {
        // The card's first request says it lacks a block counted before: it counts no further.
        m_dataFile->seek(qint64(quint64(n) * quint64(m_blockBytes)));
        m_startPosition = quint64(m_dataFile->pos());
        setCardValue(RecordKey::DownloadNum, n);
        setCardValue(RecordKey::DownloadSize, quint64(n) * quint64(m_blockBytes));
    }
    dropHeldBlock();

    if (!m_workerStarted && m_worker) {
        m_worker->start(QThread::InheritPriority);
        m_workerStarted = true;
    }
    while (m_worker && m_worker->isRunning() && m_queue->isEmpty())
        m_queue->waitForBlock(kQueueWaitMs);
    m_heldBlock = m_queue ? m_queue->tryPop() : DataBlock();
    if (m_heldBlock.isNull() || m_heldBlock.length < m_blockBytes)
        return failShortData(n);
    m_heldNumber = n;
    sendHeldBlock();
    return true;
}

bool TcpTransportThread::failShortData(quint32 n)
{
    // No byte the file does not hold goes out: a block the file holds only in part, or not at
    // all, is not sent, and the card ends at the block before it.
    const qint64 held = m_heldBlock.length;
    dropHeldBlock();
    if (m_worker && m_worker->hasFailed())
        setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "读取数据文件失败（%1），数据块 %2 未发送"))
                         .arg(m_worker->errorString())
                         .arg(n));
    else
        setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "数据文件只有 %1 字节，数据块 %2 不完整，未发送"))
                         .arg(quint64(n) * quint64(m_blockBytes) + quint64(held))
                         .arg(n));
    StopChannel();
    return false;
}

bool TcpTransportThread::failSkipped(quint32 asked, quint32 unsent)
{
    // A request says the card has every block below it, but this PC never sent the blocks from
    // `unsent` on: the counters cannot hold a gap, and blocks sent past it would never count.
    LogText text = LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡请求数据块 %1，但数据块 %2 未曾发送，下载失败"))
                       .arg(asked)
                       .arg(unsent);
    if (!m_workerStarted && cardValue(RecordKey::DownloadNum) > 0) {
        // The card resumes past what this PC can vouch for; only a fresh start puts both in step.
        setCardValue(RecordKey::DownloadNum, 0);
        setCardValue(RecordKey::DownloadSize, 0);
        text = LogText(QT_TRANSLATE_NOOP("FileLogger", "%1，该采集卡下次从头下载")).arg(text);
    }
    setEndReason(text);
    StopChannel();
    return false;
}

void TcpTransportThread::countHeldBlock()
{
    setCardValue(RecordKey::DownloadNum, quint64(m_heldNumber) + 1);
    const quint64 size = cardValue(RecordKey::DownloadSize) + quint64(m_heldBlock.length);
    setCardValue(RecordKey::DownloadSize, size);
    reportProgress(size);
}

void TcpTransportThread::dropHeldBlock()
{
    // The worker reads a later block into it.
    if (m_queue)
        m_queue->recycle(m_heldBlock);
    else
        m_heldBlock.release();
    m_heldBlock = DataBlock();
    m_heldSent = false;
}

void TcpTransportThread::sendHeldBlock()
{
    m_heldSent = false;
    if (!m_card)
        return;
    const char* p = m_heldBlock.data;
    qint64 left = m_heldBlock.length;
    const qintptr fd = m_card->socketDescriptor();
    // Straight from the block as far as the connection takes it now, and only with nothing waiting
    // in the socket's buffer, which these bytes would overtake; the rest goes through that buffer.
    // A block is thus not copied whole before it leaves.
    if (fd >= 0 && m_card->bytesToWrite() == 0 && m_card->state() == QAbstractSocket::ConnectedState) {
        while (left > 0) {
            const long sent = NetSocket::sendNow(int(fd), p, size_t(left));
            if (sent <= 0)
                break;
            p += sent;
            left -= sent;
        }
    }
    if (left > 0)
        m_card->write(p, left);
    else
        onBytesWritten(); // all of it has left: the socket has nothing to report for it
}

void TcpTransportThread::onBytesWritten()
{
    if (m_stopped.load() || !m_card || m_heldBlock.isNull())
        return;
    if (m_card->bytesToWrite() == 0)
        m_heldSent = true;
}

void TcpTransportThread::slot_TransportTimer_Timeout()
{
    if (m_stopped.load())
        return;
    // Bytes that came in while this thread was kept from running are not a silence.
    if (m_card && (m_card->bytesAvailable() > 0 || m_card->waitForReadyRead(0))) {
        if (m_card && m_card->bytesAvailable() > 0)
            slot_Tcp_Client_DataReady();
        if (!m_stopped.load() && m_timeoutTimer && !m_timeoutTimer->isActive())
            armTimer();
        return;
    }
    if (m_stopped.load())
        return;
    if (m_mode == AsyncFileWorker::kUpload && m_proof.waitsForQuiet()) {
        if (m_proof.quietFor(m_lastByte.elapsed())) {
            StopChannel();
            return;
        }
        if (sendingPastBound()) {
            giveUpEnd();
            return;
        }
        waitForQuiet();
        return;
    }
    ++m_strikes;
    qDebug() << "传输线程超时" << m_strikes << QThread::currentThreadId();
    FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "传输初始化失败"));
    if (!m_card) {
        // The card had the whole wait for the instrument's answer to its start, and a time-out.
        setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡未连接")));
        StopChannel();
        return;
    }
    if (m_mode == AsyncFileWorker::kUpload) {
        qDebug() << "传输线程断开";
        dropLateCard();
        return;
    }
    if (m_strikes >= kMaxStrikes) {
        setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "断开(超时)")));
        qDebug() << "传输线程断开";
        StopChannel();
        return;
    }
    armTimer();
}

void TcpTransportThread::slot_Tcp_Client_Disconnected()
{
    qDebug() << "采集卡连接断开";
    // However it closes, a card that did not ask past the block it holds has not shown it has it;
    // one that is one answer behind may close before that answer.
    if (!m_heldBlock.isNull())
        setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡断开，数据块 %1 未确认送达")).arg(m_heldNumber));
    else
        setEndReason(LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡断开")));
    m_proof.end(UploadProof::End::Closed);
    StopChannel();
    reportStatus(Disconnected);
}

void TcpTransportThread::slot_StopTransport()
{
    qDebug() << "收到停止信号" << QThread::currentThreadId();
    m_stopRequested.store(true);
    setEndReason(LogText(m_card ? QT_TRANSLATE_NOOP("FileLogger", "传输被停止")
                                : QT_TRANSLATE_NOOP("FileLogger", "采集卡未连接即被停止")));
    if (m_mode == AsyncFileWorker::kUpload) {
        // The stop returns to the person at once; the card's stream is followed to its end here.
        cutRun(UploadProof::End::Stopped);
        return;
    }
    StopChannel();
}

void TcpTransportThread::setEndReason(const LogText& reason)
{
    // The first cause is the reason; what follows from it is not.
    if (!m_stopped.load() && m_endReason.isEmpty())
        m_endReason = reason;
}

void TcpTransportThread::logEnd(bool fault)
{
    const bool upload = m_mode == AsyncFileWorker::kUpload;
    LogText text = LogText(QT_TRANSLATE_NOOP("FileLogger", "传输通道 %1 %2")).arg(m_channelId + 1).arg(m_endReason);
    const LogText shortfall = upload ? m_proof.shortfall() : LogText();
    if (!shortfall.isEmpty())
        text = LogText(QT_TRANSLATE_NOOP("FileLogger", "%1；%2")).arg(text).arg(shortfall);
    text = LogText(QT_TRANSLATE_NOOP("FileLogger", "%1，续传从数据块 %2 开始"))
               .arg(text)
               .arg(cardValue(upload ? RecordKey::UploadNum : RecordKey::DownloadNum));
    qWarning() << text.toString();
    FileLogger::LogMessage(fault ? FileLogger::Error : FileLogger::Info, text);
}

void TcpTransportThread::StopChannel()
{
    qDebug() << "执行停止函数";
    if (m_stopped.load())
        return;
    QMutexLocker lock(&m_stopLock);
    if (m_stopped.load())
        return;
    m_stopped.store(true);
    const bool upload = m_mode == AsyncFileWorker::kUpload;
    // Last look before the close, after which the card's bytes are no longer seen: whatever is
    // there now, with nothing asked for, answers no request.
    if (upload && (m_proof.allTaken() || m_proof.waitsForQuiet()) && !owedAnswerComing())
        readUnasked();
    if (upload && m_proof.unaskedBytes() > 0 && m_endReason.isEmpty())
        m_endReason = LogText(QT_TRANSLATE_NOOP("FileLogger", "收到未请求的数据 %1 字节")).arg(m_proof.unaskedBytes());

    if (m_timeoutTimer)
        m_timeoutTimer->stop();
    if (m_card) {
        // Our own close is not the card's disconnect: no status 4 for it.
        disconnect(m_card, nullptr, this, nullptr);
        if (m_card->state() == QAbstractSocket::ConnectedState) {
            m_card->flush();
            m_card->disconnectFromHost();
        }
    }
    if (m_server)
        m_server->close();

    bool failed = true;
    if (m_worker) {
        if (m_mode == AsyncFileWorker::kUpload) {
            m_worker->requestFinish();
            m_worker->wait();
        } else {
            m_worker->requestStop();
            // The worker only ever waits on the queue in short steps, so clearing the queue
            // below ends it for good if it is still busy now.
            m_worker->wait(1000);
        }
        failed = m_worker->hasFailed();
    }
    const bool workerFailed = m_worker && failed;
    if (upload) {
        if (workerFailed)
            m_proof.keepAtMost(m_worker->blocksWritten());
        keepProvedBlocks();
        failed = failed || !m_proof.complete();
    }
    const bool unasked = upload && m_proof.unaskedBytes() > 0;
    const quint64 moved = cardValue(upload ? RecordKey::UploadSize : RecordKey::DownloadSize);
    if (moved != m_cardBytes) {
        failed = true;
        if (m_endReason.isEmpty() && moved >= quint64(m_blockCount) * quint64(m_blockBytes))
            m_endReason =
                LogText(QT_TRANSLATE_NOOP("FileLogger",
                                          "数据块已全部传完（%1 块），共 %2 字节，但记录中该采集卡有 %3 字节"))
                    .arg(m_blockCount)
                    .arg(moved)
                    .arg(m_cardBytes);
    }
    if (failed && m_endReason.isEmpty())
        m_endReason =
            workerFailed
                ? LogText(QT_TRANSLATE_NOOP("FileLogger", "读写数据文件失败（%1）")).arg(m_worker->errorString())
                : LogText(QT_TRANSLATE_NOOP("FileLogger", "未传完"));
    // A stop with nothing wrong found leaves the card incomplete, but not in fault.
    const bool fault = failed && (!m_stopRequested.load() || unasked || workerFailed);
    m_fault.store(fault);
    m_complete.store(!failed);
    if (failed)
        logEnd(fault);
    else if (unasked)
        FileLogger::LogMessage(
            FileLogger::Warning,
            QT_TRANSLATE_NOOP("FileLogger", "传输通道 %1 收到未请求的整块数据 %2 字节，未写入数据文件"),
            m_channelId + 1, m_proof.unaskedBytes());

    m_heldBlock.release();
    if (m_queue)
        m_queue->clear();
    if (m_worker) {
        m_worker->requestStop();
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
    }
    delete m_queue;
    m_queue = nullptr;
    if (m_dataFile) {
        m_dataFile->close();
        delete m_dataFile;
        m_dataFile = nullptr;
    }
    m_receiving.release();
    m_received = 0;
    m_unaskedBlocks.clear();
    lock.unlock();

    if (!failed)
        emit SendThreadProgress(m_channelId, 100, 0.0);
    reportStatus(failed ? Incomplete : Complete);
    quit();
}

void TcpTransportThread::keepProvedBlocks()
{
    // The blocks of this run that stand are the proof's; file and counters end there.
    resolveProof();
    const quint64 first = m_proof.firstBlock();
    const quint64 keep = m_proof.kept();
    if (first + keep != cardValue(RecordKey::UploadNum)) {
        setCardValue(RecordKey::UploadNum, first + keep);
        setCardValue(RecordKey::UploadSize, (first + keep) * quint64(m_blockBytes));
    }
    // The file ends where the counters do, so that a resume writes on from exactly there.
    const qint64 end = qint64(m_startPosition + keep * quint64(m_blockBytes));
    if (m_dataFile && m_dataFile->size() > end && !m_dataFile->resize(end))
        qWarning() << "data file" << m_dataFile->fileName() << "cannot be cut back:" << m_dataFile->errorString();
    if (m_proof.taken() > 0) {
        keepFingerprints();
        noteRollBack();
    }
}
