#include "TransferHandler.h"

#include "InstrumentSim.h"
#include "SimBytes.h"

#include <QMap>
#include <QTimer>

using SimBytes::get;

namespace {
enum Cmd : quint8 {
    StartUpload = 1,
    StopUpload = 3,
    StartDownload = 4,
    StopDownload = 6,
    UploadingAck = 7,
    DownloadingAck = 8,
    StartDownloadEx = 0x14,
};

// "Section/Key" to value of the settings text a command 0x14 carries.
QMap<QString, QString> settingsKeys(const QByteArray& in)
{
    QMap<QString, QString> keys;
    QString section;
    for (const QByteArray& raw : in.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            section = line.mid(1, line.size() - 2);
        else if (line.contains(QLatin1Char('=')))
            keys[section + QLatin1Char('/') + line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1);
    }
    return keys;
}

// The record whose bytes a download carries: the one its description names. A download under a
// new id carries the bytes of the record it copies; 0 when the description names none.
quint32 sourceName(quint8 cmd, const QByteArray& in)
{
    if (cmd == StartDownload)
        return in.size() >= 4 ? get(in, 0, 4) : 0;
    return settingsKeys(in).value(QStringLiteral("Record/Name")).toUInt();
}

// The record a download start describes: the binary stream form (command 4) or the settings text
// (command 0x14). Only what the catalogue keeps is read; counts are bounded by the bytes there are.
RecordHandler::SimRecord describedRecord(quint8 cmd, quint32 name, const QByteArray& in)
{
    RecordHandler::SimRecord r;
    r.name = name;
    r.bandwidth = 0;
    if (cmd == StartDownload) {
        r.startTime = get(in, 4, 4);
        r.duration = get(in, 8, 4);
        r.size = get(in, 12, 4);
        r.available = get(in, 16, 1) != 0;
        r.type = qint8(get(in, 17, 1));
        r.bit = qint8(get(in, 18, 1));
        const quint32 n = get(in, 19, 4);
        int at = 23;
        for (quint32 i = 0; i < n && at + 4 <= in.size(); ++i, at += 4)
            r.bands << int(get(in, at, 4));
        const quint32 length = get(in, at, 4);
        if (length <= quint32(in.size() - qMin(in.size(), at + 4)))
            r.remark = QString::fromUtf8(in.mid(at + 4, int(length)));
        return r;
    }
    const QMap<QString, QString> keys = settingsKeys(in);
    r.startTime = keys.value(QStringLiteral("Record/StartTime")).toUInt();
    r.duration = keys.value(QStringLiteral("Record/Duration")).toUInt();
    r.size = keys.value(QStringLiteral("Record/Size")).toUInt();
    r.bit = qint8(keys.value(QStringLiteral("Record/Bit")).toInt());
    r.remark = keys.value(QStringLiteral("Record/Remark"));
    r.bandwidth = keys.value(QStringLiteral("Record/Bandwidth")).toUInt();
    r.sampleRate = keys.value(QStringLiteral("Record/SampleRate")).toUInt();
    const int bands = qBound(0, keys.value(QStringLiteral("Record/FreqNum")).toInt(), 64);
    for (int i = 1; i <= bands; ++i)
        r.bands << keys.value(QStringLiteral("Freq%1/Num").arg(i)).toInt();
    return r;
}
} // namespace

TransferHandler::TransferHandler(InstrumentSim& sim)
    : MessageHandler(sim)
{
    m_clock.start();
}

void TransferHandler::handle(const SimFrame& request)
{
    const QByteArray& in = request.payload;
    const auto answerLater = [this, &request](const Start& s) {
        if (silentStarts)
            return;
        const int delay = cardReplyDelayMs.value(request.card, startReplyDelayMs);
        if (delay <= 0)
            answerStart(request, s);
        else
            QTimer::singleShot(delay, &m_sim, [this, request, s] { answerStart(request, s); });
    };
    switch (request.cmd) {
    case StartUpload: {
        Start s;
        s.cmd = request.cmd;
        s.card = request.card;
        s.name = get(in, 0, 4);
        s.blockSize = get(in, 4, 4);
        s.firstBlock = get(in, 8, 4);
        s.address = get(in, 12, 4);
        s.port = quint16(get(in, 16, 2));
        m_starts << s;
        answerLater(s);
        break;
    }
    case StartDownload:
    case StartDownloadEx: {
        Start s;
        s.cmd = request.cmd;
        s.card = request.card;
        s.name = get(in, 0, 4);
        s.blockSize = get(in, 4, 4);
        s.freshStart = get(in, 8, 1) != 0;
        s.address = get(in, 9, 4);
        s.port = quint16(get(in, 13, 2));
        s.record = in.mid(15);
        s.source = sourceName(request.cmd, s.record);
        m_starts << s;
        answerLater(s);
        break;
    }
    case StopUpload:
    case StopDownload:
        closeChannel(request.card);
        m_sim.reply(request, request.cmd, QByteArray(1, '\x01'));
        break;
    case UploadingAck:
    case DownloadingAck:
        m_ackTimes << m_clock.elapsed();
        if (!silentAcks)
            m_sim.reply(request, request.cmd, QByteArray(1, '\x01'));
        break;
    default:
        break;
    }
}

void TransferHandler::answerStart(const SimFrame& request, const Start& start)
{
    const bool busy = m_sim.profile().state != 1;
    if (start.cmd == StartUpload) {
        auto* records = m_sim.handler<RecordHandler>(2);
        const bool unknown = blocksFromRecord && !(records && records->find(start.name));
        const quint8 chosen = cardUploadResults.value(start.card, uploadResult);
        const quint8 result = busy ? 1 : unknown && chosen == 0 ? 2 : chosen;
        m_sim.reply(request, StartUpload, QByteArray(1, char(result)));
        if (result == 0)
            openChannel(start, CardDataChannel::Mode::Upload);
        return;
    }
    const bool accepted = !busy && cardDownloadAccepted.value(start.card, downloadAccepted);
    if (accepted && blocksFromRecord)
        m_downloadRecord = describedRecord(start.cmd, start.name, start.record);
    m_sim.reply(request, start.cmd, QByteArray(1, accepted ? '\x01' : '\0'));
    if (accepted)
        openChannel(start, CardDataChannel::Mode::Download);
}

const CardDataChannel* TransferHandler::channel(int card) const
{
    auto it = m_channels.find(card);
    return it == m_channels.end() ? nullptr : it->second.get();
}

void TransferHandler::closeChannel(int card)
{
    auto it = m_channels.find(card);
    if (it == m_channels.end())
        return;
    CardDataChannel* old = it->second.get();
    if (old->mode() == CardDataChannel::Mode::Download && old->firstRequested() != 0xFFFFFFFFu)
        m_downloadNext[qMakePair(m_lastName.value(card), card)] = old->nextBlock();
    old->close();
}

void TransferHandler::openChannel(const Start& start, CardDataChannel::Mode mode)
{
    const QHostAddress address(start.address);
    if (!openDataChannels || unconnectedCards.contains(start.card) || !address.isLoopback() || start.card == 0)
        return;
    auto it = m_channels.find(start.card);
    if (it != m_channels.end()) {
        closeChannel(start.card);
        // Still inside the old channel's socket signals possibly: delete it from the event loop.
        it->second.release()->deleteLater();
        m_channels.erase(it);
    }
    const int card = start.card - 1;
    quint32 first = start.firstBlock;
    if (mode == CardDataChannel::Mode::Download) {
        const auto key = qMakePair(start.name, int(start.card));
        first = start.freshStart ? 0 : m_downloadNext.value(key, 0);
        m_downloadNext.remove(key);
    }
    m_lastName[start.card] = start.name;
    quint32 blocks = blocksPerCard;
    if (blocksFromRecord) {
        auto* records = m_sim.handler<RecordHandler>(2);
        const RecordHandler::SimRecord* r = records ? records->find(start.name) : nullptr;
        if (mode == CardDataChannel::Mode::Upload)
            blocks = r ? blocksOf(r->size, start.blockSize) : 0;
        else
            blocks = m_downloadBlocks[start.card] = blocksOf(m_downloadRecord.size, start.blockSize);
    }
    // The catalogue takes the download under the id of the start; its bytes are the copied record's.
    const quint32 dataName = mode == CardDataChannel::Mode::Download && start.source != 0 ? start.source : start.name;
    auto channel = std::make_unique<CardDataChannel>(mode, dataName, card, start.blockSize, first, blocks,
                                                     cardFaults.value(start.card));
    if (mode == CardDataChannel::Mode::Download && blocksFromRecord)
        QObject::connect(channel.get(), &CardDataChannel::ended, &m_sim, [this] { onChannelEnded(); });
    if (mode == CardDataChannel::Mode::Download && !receivedFolder.isEmpty())
        channel->setReceivedFile(receivedFolder + QStringLiteral("/card%1.bin").arg(card));
    channel->connectTo(address, start.port);
    m_channels[start.card] = std::move(channel);
}

quint32 TransferHandler::blocksOf(quint32 sizeMiB, quint32 blockMiB) const
{
    const quint32 cards = quint32(qMax(1, m_sim.profile().boards.size()));
    return blockMiB == 0 ? 0 : sizeMiB / blockMiB / cards;
}

void TransferHandler::onChannelEnded()
{
    // The record is the instrument's once every card of the download has checked its last block.
    if (m_downloadBlocks.isEmpty())
        return;
    for (auto it = m_downloadBlocks.cbegin(); it != m_downloadBlocks.cend(); ++it) {
        const CardDataChannel* c = channel(it.key());
        if (!c || c->mode() != CardDataChannel::Mode::Download || c->nextBlock() < it.value() || c->badBytes() != 0)
            return;
    }
    m_downloadBlocks.clear();
    if (auto* records = m_sim.handler<RecordHandler>(2))
        records->add(m_downloadRecord);
}
