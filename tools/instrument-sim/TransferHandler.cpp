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
        m_sim.reply(request, StartUpload, QByteArray(1, char(busy ? 1 : uploadResult)));
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
        m_sim.reply(request, request.cmd, QByteArray(1, !busy && downloadAccepted ? '\x01' : '\0'));
        break;
    }
    case StopUpload:
    case StopDownload:
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
