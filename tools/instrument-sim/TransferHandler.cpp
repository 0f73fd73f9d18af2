#include "TransferHandler.h"

#include "InstrumentSim.h"
#include "SimBytes.h"

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
} // namespace

TransferHandler::TransferHandler(InstrumentSim& sim)
    : MessageHandler(sim)
{
    m_clock.start();
}

void TransferHandler::handle(const SimFrame& request)
{
    const QByteArray& in = request.payload;
    const bool busy = m_sim.profile().state != 1;
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
        if (silentStarts)
            break;
        const quint8 result = busy ? 1 : uploadResult;
        m_sim.reply(request, StartUpload, QByteArray(1, char(result)));
        if (result == 0)
            openChannel(s, CardDataChannel::Mode::Upload);
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
        m_starts << s;
        if (silentStarts)
            break;
        const bool accepted = !busy && downloadAccepted;
        m_sim.reply(request, request.cmd, QByteArray(1, accepted ? '\x01' : '\0'));
        if (accepted)
            openChannel(s, CardDataChannel::Mode::Download);
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
    if (!openDataChannels || !address.isLoopback() || start.card == 0)
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
    auto channel = std::make_unique<CardDataChannel>(mode, start.name, card, start.blockSize, first, blocksPerCard,
                                                     cardFaults.value(start.card));
    channel->connectTo(address, start.port);
    m_channels[start.card] = std::move(channel);
}
