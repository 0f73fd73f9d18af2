#pragma once

#include "CardDataChannel.h"
#include "MessageHandler.h"
#include "RecordHandler.h"

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>

#include <map>
#include <memory>

// Message type 4: per-card upload and download starts and stops, and the transfer heartbeats,
// whose arrival times are kept so a test can see their period. A start is refused (result 1)
// while the instrument is busy with another run; `uploadResult` and `downloadAccepted` set the
// answer otherwise.
//
// An accepted start also opens the card's data channel (CardDataChannel) to the address and port
// it names, loopback addresses only: an upload serves blocks 0 .. blocksPerCard - 1 of the
// card's data, a download asks for them (from 0 on a fresh start, else from the block after the
// last one the card checked) and checks every byte against the record its description names,
// which differs from the start's id when a record goes back under a new id. cardFaults holds each card's faults, by the
// card number of the command (counted from 1).
//
// With blocksFromRecord the blocks follow the record, as on the instrument: its size in MiB over
// the block size over the collection cards. An upload of a record the catalogue lacks is then
// answered 2 (not found), and a download whose every card has moved its last block adds the
// record it described to the catalogue, under the id its start names.
class TransferHandler : public MessageHandler
{
public:
    struct Start
    {
        quint8 cmd = 0;
        quint8 card = 0;
        quint32 name = 0;
        quint32 blockSize = 0;
        quint32 firstBlock = 0;  // upload only
        bool freshStart = false; // download only
        quint32 address = 0;
        quint16 port = 0;
        QByteArray record;  // download only: the description that follows
        quint32 source = 0; // download only: the record the description names, whose bytes come
    };

    explicit TransferHandler(InstrumentSim& sim);

    quint8 type() const override { return 4; }
    void handle(const SimFrame& request) override;

    quint8 uploadResult = 0;             // 0 accepted, 1 failed, 2 record not found
    QMap<int, quint8> cardUploadResults; // by card (from 1): its own answer, in place of uploadResult
    bool downloadAccepted = true;
    QMap<int, bool> cardDownloadAccepted; // by card (from 1): its own answer, in place of downloadAccepted
    bool silentAcks = false;              // transfer heartbeats stay unanswered
    bool silentStarts = false;            // start requests are kept but neither answered nor served
    int startReplyDelayMs = 0;            // each start is answered (and its card connects) this much later
    QMap<int, int> cardReplyDelayMs;      // by card (from 1): its own delay, in place of startReplyDelayMs

    bool openDataChannels = true;
    QSet<int> unconnectedCards; // by card (from 1): accepts its starts and never connects
    quint32 blocksPerCard = 0;
    bool blocksFromRecord = false; // the default preset: blocks, refusals and new records by the catalogue
    QMap<int, CardDataChannel::Faults> cardFaults;
    // When set, every download channel keeps the blocks it receives in "card<N>.bin" here (N
    // counted from 0), at their offsets, so they can be compared with the PC's files.
    QString receivedFolder;

    const QList<Start>& starts() const { return m_starts; }
    // The data channel of the last start for a card (counted from 1), or null.
    const CardDataChannel* channel(int card) const;
    int channelCount() const { return int(m_channels.size()); }
    // Milliseconds since the handler was made, one per transfer heartbeat received.
    const QList<qint64>& ackTimes() const { return m_ackTimes; }

private:
    void answerStart(const SimFrame& request, const Start& start);
    void openChannel(const Start& start, CardDataChannel::Mode mode);
    quint32 blocksOf(quint32 sizeMiB, quint32 blockMiB) const;
    void onChannelEnded();
    void closeChannel(int card);

    QList<Start> m_starts;
    std::map<int, std::unique_ptr<CardDataChannel>> m_channels;
    // Next block each (record, card) would ask for in a download that goes on.
    QMap<QPair<quint32, int>, quint32> m_downloadNext;
    QMap<int, quint32> m_lastName;
    // Per card of the running download: the blocks it carries; and the record it describes.
    QMap<int, quint32> m_downloadBlocks;
    RecordHandler::SimRecord m_downloadRecord;
    QList<qint64> m_ackTimes;
    QElapsedTimer m_clock;
};
