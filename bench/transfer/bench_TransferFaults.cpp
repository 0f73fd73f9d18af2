// Random fault campaign of record transfers against the simulated instrument over loopback: each
// run moves one record of 2 to 4 cards and 2 or 3 blocks per card, up or down, with a fault drawn
// for every card (cuts on and inside blocks, a few bytes short of the end included, an orderly
// close after the last block, an orderly close then a reset, a first request past block 0, silence,
// lost, late, given-up and repeated requests and answers, blocks sent again unasked, a card
// that answers every request for one block only after the time-out, in order, a card that
// sends one block again and answers its last request 0.5 to 2.5 s late or at 0.95 to 1.0 of the
// time-out, a resume whose first answer is the block before it, a stale older block sent again,
// stray bytes before equal blocks, constant samples closing after the last block, a block of
// another record, a block sent ahead, stray bytes with every answer in two pieces, fragments that
// add up to a block, and a close after the last block over equal blocks); for a download a local
// data file cut short, before the start (which must be refused) or just after.
// Every run must end byte-exact, or with a failure reported and every card's counters at or
// before the first byte the other side lacks: the PC's data file for an upload, the bytes the
// card checked for a download. Prints one line per run and a summary; exits 1 on any violation.
//
//   build/bench/transfer/bench_TransferFaults [runs] [seed]
#include "BenchWait.h"

#include <AppPaths.h>
#include <CardDataChannel.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <TcpTransportThread.h>
#include <TransferHandler.h>
#include <UpDownLoadAssist.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {
constexpr quint32 kName = 1720000000;
constexpr qint64 kBlockBytes = LocalRecordStore::kBlockBytes;
// The product's: a surplus block counts as caught when it comes within the time-out, and the
// late last answers drawn come up to 2.5 s after the request.
constexpr int kTimeoutMs = TcpTransportThread::kTimeoutMs;

// An offset inside a block: its edges, a fixed one near its end and anywhere between.
int insideOffset(QRandomGenerator& rng)
{
    switch (rng.bounded(5)) {
    case 0:
        return 1;
    case 1:
        return int(kBlockBytes) - 1 - int(rng.bounded(8));
    case 2:
        return 2095548;
    default:
        return 1 + int(rng.bounded(quint32(kBlockBytes - 1)));
    }
}

QString describe(const CardDataChannel::Faults& f)
{
    QStringList parts;
    if (f.cutAfterBlocks >= 0)
        parts << QStringLiteral("cut@%1+%2").arg(f.cutAfterBlocks).arg(qMax(f.cutInsideBlock, f.cutPartialBytes));
    if (f.closeAfterLast)
        parts << QStringLiteral("close-after-last");
    if (f.silentAfterBlocks >= 0)
        parts << QStringLiteral("silent@%1").arg(f.silentAfterBlocks);
    if (f.answerTwice >= 0)
        parts << QStringLiteral("twice@%1").arg(f.answerTwice);
    if (f.lostRequest >= 0)
        parts << QStringLiteral("lost@%1").arg(f.lostRequest);
    if (f.abandonAnswer >= 0)
        parts << QStringLiteral("abandon@%1+%2").arg(f.abandonAnswer).arg(f.latePartialBytes);
    if (f.lateAnswer >= 0)
        parts << QStringLiteral("late@%1+%2").arg(f.lateAnswer).arg(f.latePartialBytes);
    if (f.lateIgnoreRepeat >= 0)
        parts << QStringLiteral("late-ignore@%1+%2").arg(f.lateIgnoreRepeat).arg(f.latePartialBytes);
    if (f.repeatUnasked >= 0)
        parts << QStringLiteral("unasked@%1").arg(f.repeatUnasked);
    if (f.resetAfterHalfCloseMs > 0)
        parts << QStringLiteral("half-close-reset@%1ms").arg(f.resetAfterHalfCloseMs);
    if (f.skipFirstBlock)
        parts << QStringLiteral("skip-0");
    if (f.slowBlock >= 0)
        parts << QStringLiteral("slow@%1+%2ms").arg(f.slowBlock).arg(f.slowAnswerMs);
    if (f.staleBefore >= 0)
        parts << QStringLiteral("stale@%1:%2").arg(f.staleBefore).arg(f.staleBlock);
    if (f.firstAnswerBlockBefore)
        parts << QStringLiteral("resume-first-answer-before");
    if (f.strayBefore >= 0)
        parts << QStringLiteral("stray@%1+%2").arg(f.strayBefore).arg(f.strayBytes);
    if (f.constantFrom >= 0)
        parts << QStringLiteral("constant-from-%1").arg(f.constantFrom);
    if (f.foreignBefore >= 0)
        parts << QStringLiteral("foreign@%1").arg(f.foreignBefore);
    if (f.aheadOf >= 0)
        parts << QStringLiteral("ahead@%1").arg(f.aheadOf);
    if (f.splitAnswerMs > 0)
        parts << QStringLiteral("split+%1ms").arg(f.splitAnswerMs);
    if (f.strayRestMs > 0)
        parts << QStringLiteral("stray-rest+%1ms").arg(f.strayRestMs);
    if (f.equalAt >= 0)
        parts << QStringLiteral("equal@%1=%2").arg(f.equalAt).arg(f.equalTo);
    if (f.aheadFrom >= 0)
        parts << QStringLiteral("one-ahead@%1%2%3")
                     .arg(f.aheadFrom)
                     .arg(f.aheadForeign ? QStringLiteral(":foreign") : QStringLiteral(":empty"))
                     .arg(f.aheadLastTwice ? QStringLiteral(",last-twice") : QString());
    if (f.trickleMs > 0)
        parts << QStringLiteral("trickle/%1ms").arg(f.trickleMs);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QLatin1Char(','));
}

CardDataChannel::Faults drawFaults(QRandomGenerator& rng, bool upload, int blocks)
{
    CardDataChannel::Faults f;
    const int block = int(rng.bounded(blocks));
    // Half the cards run clean, the other half draw a fault; cuts are the most frequent.
    switch (rng.bounded(upload ? 28 : 12)) {
    case 0:
    case 1:
        f.cutAfterBlocks = int(rng.bounded(blocks + 1));
        break;
    case 2:
    case 3:
    case 4:
        f.cutAfterBlocks = block;
        if (upload)
            f.cutPartialBytes = insideOffset(rng);
        else
            f.cutInsideBlock = insideOffset(rng);
        break;
    case 5:
        if (upload)
            f.lostRequest = block;
        else
            f.closeAfterLast = true;
        break;
    case 6:
        f.answerTwice = block;
        break;
    case 7:
        if (rng.bounded(3) == 0)
            f.silentAfterBlocks = block;
        break;
    case 8:
        if (upload) {
            f.abandonAnswer = block;
            f.latePartialBytes = insideOffset(rng);
        } else {
            // Before and after a time-out: neither way is the card asking past the end.
            f.resetAfterHalfCloseMs = 200 + int(rng.bounded(2 * kTimeoutMs));
        }
        break;
    case 9:
        if (upload) {
            f.lateAnswer = block;
            f.latePartialBytes = rng.bounded(2) ? 0 : insideOffset(rng);
        } else {
            f.skipFirstBlock = true;
        }
        break;
    case 10:
        if (upload) {
            f.lateIgnoreRepeat = block;
            f.latePartialBytes = insideOffset(rng);
        }
        break;
    case 11:
        if (upload)
            f.repeatUnasked = block;
        break;
    case 12:
        if (upload) {
            // Slower than the time-out by 7 % to 150 %: a repeat on the same connection would
            // be answered as well.
            f.slowBlock = block;
            f.slowAnswerMs = kTimeoutMs * int(107 + rng.bounded(144)) / 100;
        }
        break;
    case 13:
        if (upload) {
            // One answer behind from there on, at a brisk pace, until the last answer, which is
            // the surplus and comes late.
            f.repeatUnasked = int(rng.bounded(quint32(blocks - 1)));
            f.answerDelayMs = 40;
            f.slowBlock = blocks - 1;
            f.slowAnswerMs = 500 + int(rng.bounded(2001));
        }
        break;
    case 14:
        if (upload) {
            // A block older than the one before, sent again ahead of an answer.
            f.staleBefore = blocks > 2 ? 2 + int(rng.bounded(quint32(blocks - 2))) : 1;
            f.staleBlock = int(rng.bounded(quint32(qMax(1, f.staleBefore - 1))));
            f.answerDelayMs = 40;
        }
        break;
    case 15:
        if (upload) {
            // Stray bytes before a block (or after the last), the blocks from there on all alike.
            f.strayBefore = int(rng.bounded(quint32(blocks + 1)));
            f.strayBytes = rng.bounded(2) ? 1000 : insideOffset(rng);
            f.constantFrom = qMin(f.strayBefore, blocks - 1);
        }
        break;
    case 16:
        if (upload) {
            f.constantFrom = 0;
            f.closeAfterLast = true;
        }
        break;
    case 17:
        if (upload) {
            // As case 13, with the last answer just inside the time-out.
            f.repeatUnasked = int(rng.bounded(quint32(blocks - 1)));
            f.answerDelayMs = 40;
            f.slowBlock = blocks - 1;
            f.slowAnswerMs = kTimeoutMs * int(95 + rng.bounded(6)) / 100;
        }
        break;
    case 18:
        if (upload) {
            // The run resumes this card (see main) and its first answer is the block before.
            f.firstAnswerBlockBefore = true;
            f.answerDelayMs = 40;
        }
        break;
    case 19:
        if (upload) {
            // A block of another record before a block, or after the last: a surplus without a repeat.
            f.foreignBefore = int(rng.bounded(quint32(blocks + 1)));
            f.answerDelayMs = rng.bounded(2) ? 0 : 40;
        }
        break;
    case 20:
        if (upload && blocks > 1) {
            // The next block first, then the one asked for.
            f.aheadOf = int(rng.bounded(quint32(blocks - 1)));
            f.answerDelayMs = rng.bounded(2) ? 0 : 40;
        }
        break;
    case 21:
        if (upload) {
            // Stray bytes, and every answer written in two pieces.
            f.strayBefore = int(rng.bounded(quint32(blocks + 1)));
            f.strayBytes = rng.bounded(2) ? 100 : int(kBlockBytes / 2);
            f.splitAnswerMs = 20 + int(rng.bounded(200));
        }
        break;
    case 22:
        if (upload) {
            // Stray bytes with a block, and the rest of a block of them later: fragments that add
            // up to a block.
            f.strayBefore = block;
            f.strayBytes = 1000;
            f.strayRestMs = 100 + int(rng.bounded(1500));
        }
        break;
    case 23:
        if (upload && blocks > 1) {
            // Two equal blocks that do not run to the end, and a close after the last answer.
            f.equalAt = 1;
            f.equalTo = 0;
            f.closeAfterLast = true;
        }
        break;
    case 24:
        if (upload) {
            // An empty block or one of another record before a block (a third of the time before
            // any), then one answer ahead to the end, the last block sent once or twice unasked.
            f.aheadFrom = rng.bounded(3) == 0 ? 0 : int(rng.bounded(quint32(blocks)));
            f.aheadForeign = rng.bounded(2) == 0;
            f.aheadLastTwice = rng.bounded(2) == 0;
            f.answerDelayMs = rng.bounded(2) ? 0 : 40;
        }
        break;
    case 26:
        if (upload) {
            // A byte now and then after the last answer, for as long as the connection stays.
            f.trickleMs = kTimeoutMs / 4 + int(rng.bounded(quint32(kTimeoutMs / 2)));
        }
        break;
    default:
        break;
    }
    return f;
}

// Bytes of the file that equal the card's data from its start, whole blocks only.
qint64 exactPrefix(const QString& path, int card, quint32 blocks, const CardDataChannel::Faults& faults)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 exact = 0;
    for (quint32 n = 0; n < blocks; ++n) {
        if (file.read(kBlockBytes) != CardDataChannel::blockOf(kName, card, n, quint32(kBlockBytes >> 20), faults))
            break;
        exact += kBlockBytes;
    }
    return exact;
}

struct Outcome
{
    bool complete = false;
    bool reported = false;
    QStringList violations;
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 50;
    const quint32 seed =
        argc > 2 ? quint32(strtoul(argv[2], nullptr, 10)) : quint32(QDateTime::currentSecsSinceEpoch());
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/bin"));
    AppPaths::setApplicationDir(dir.path() + QStringLiteral("/bin"));
    FileLogger::instance();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    qRegisterMetaType<SystemState>();
    TcpTransportThread::setTimeoutForTest(kTimeoutMs);

    InstrumentSim sim(InstrumentSim::Preset::Test);
    if (!sim.listen(QHostAddress::LocalHost, 0)) {
        fprintf(stderr, "simulator cannot listen\n");
        return 1;
    }
    auto* handler = sim.handler<TransferHandler>(4);
    ProtocolManager pm;
    pm.ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
    bool gotInfo = false;
    QObject::connect(&pm, &ProtocolManager::UpdateDeviceInfo, [&gotInfo] { gotInfo = true; });
    if (!waitUntil([&] { return pm.isConnected(); }, 10000)
        || !pm.SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device)
        || !waitUntil([&] { return gotInfo; }, 10000)) {
        fprintf(stderr, "no control link to the simulator\n");
        return 1;
    }
    UpDownLoadAssist assist(&pm);
    assist.setHeartbeatTimingForTest(50, 3000);
    const QString device = LocalRecordStore::deviceFolderName(pm.deviceInfo());
    const QString folder = LocalRecordStore::recordFolderPath(device, kName);

    printf("fault campaign: %d runs, seed %u\n", runs, seed);
    QRandomGenerator rng(seed);
    int complete = 0, reported = 0, bad = 0;
    for (int run = 0; run < runs; ++run) {
        const bool upload = rng.bounded(2) == 0;
        const int cards = 2 + int(rng.bounded(3));
        const quint32 blocks = 2 + rng.bounded(2);
        const qint64 cardBytes = qint64(blocks) * kBlockBytes;
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        handler->blocksPerCard = blocks;
        handler->cardFaults.clear();
        QStringList drawn;
        for (int card = 1; card <= cards; ++card) {
            const CardDataChannel::Faults f = drawFaults(rng, upload, int(blocks));
            handler->cardFaults[card] = f;
            drawn << describe(f);
        }
        RecordEx r;
        r.SetRecordValue(RecordKey::Name, kName);
        r.SetRecordValue(RecordKey::Size, int(blocks) * 2 * cards);
        LocalRecordStore::resetTransferCounters(r, cards);
        for (int card = 0; upload && card < cards; ++card) {
            if (!handler->cardFaults.value(card + 1).firstAnswerBlockBefore)
                continue;
            // A resume: the file holds the card's first blocks exactly, and the counters say so.
            const quint32 from = 1 + rng.bounded(blocks - 1);
            QFile out(LocalRecordStore::dataFilePath(folder, kName, card));
            out.open(QIODevice::WriteOnly);
            for (quint32 n = 0; n < from; ++n)
                out.write(CardDataChannel::block(kName, card, n, quint32(kBlockBytes >> 20)));
            r.setSectionValue(RecordKey::cardSection(card), RecordKey::UploadNum, from);
            r.setSectionValue(RecordKey::cardSection(card), RecordKey::UploadSize, qint64(from) * kBlockBytes);
            drawn[card] += QStringLiteral("(from %1)").arg(from);
        }
        // Download: a local data file cut short (a crash or a full disk while it was written),
        // before the start or once the channels have checked it; -1 keeps the file whole.
        QVector<qint64> cutTo(cards, -1);
        QVector<bool> cutAfterStart(cards, false);
        bool shortBefore = false;
        if (!upload) {
            for (int card = 0; card < cards; ++card) {
                QFile out(LocalRecordStore::dataFilePath(folder, kName, card));
                out.open(QIODevice::WriteOnly);
                for (quint32 n = 0; n < blocks; ++n)
                    out.write(CardDataChannel::block(kName, card, n, quint32(kBlockBytes >> 20)));
                if (rng.bounded(8) != 0)
                    continue;
                cutTo[card] = qint64(rng.bounded(blocks)) * kBlockBytes + (rng.bounded(2) ? insideOffset(rng) : 0);
                cutAfterStart[card] = rng.bounded(2) == 0;
                if (!cutAfterStart[card]) {
                    out.resize(cutTo[card]);
                    shortBefore = true;
                }
                const QString cut = QStringLiteral("short-file@%1%2")
                                        .arg(cutTo[card])
                                        .arg(cutAfterStart[card] ? QStringLiteral("(after start)") : QString());
                drawn[card] = drawn[card] == QLatin1String("none") ? cut : drawn[card] + QLatin1Char(',') + cut;
            }
        }

        Outcome o;
        QObject::connect(&assist, &UpDownLoadAssist::Transport_UpdateProgress, &app,
                         [&o](int progress, double) { o.reported = o.reported || progress == -1; });
        const int startsBefore = handler->starts().size();
        QObject::connect(&assist, &UpDownLoadAssist::UploadCannotBeProved, &app, [&o] { o.reported = true; });
        const bool started = upload ? assist.StartUploadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0)
                                    : assist.StartDownloadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0);
        for (int card = 0; started && card < cards; ++card) {
            if (cutAfterStart[card])
                QFile(LocalRecordStore::dataFilePath(folder, kName, card)).resize(cutTo[card]);
        }
        if (shortBefore) {
            // Refused before anything was asked: no card may have had a byte.
            if (started || assist.lastStartRefusal() != UpDownLoadAssist::StartRefusal::DataShort)
                o.violations << QStringLiteral("download of a short local file was not refused");
            if (handler->starts().size() != startsBefore)
                o.violations << QStringLiteral("the instrument was asked to start a refused download");
            bad += o.violations.isEmpty() ? 0 : 1;
            ++reported;
            printf("%3d %-8s %d cards x %u blocks  %-10s  %s%s%s\n", run, "download", cards, blocks, "refused",
                   qPrintable(drawn.join(QLatin1Char(' '))),
                   o.violations.isEmpty() ? "" : "  VIOLATION: ", qPrintable(o.violations.join(QStringLiteral("; "))));
            fflush(stdout);
            continue;
        }
        if (!started || !waitUntil([&] { return assist.GetLastMethod() == 1; }, 120000))
            o.violations << QStringLiteral("transfer did not end");
        waitUntil([] { return false; }, 50); // queued progress reports
        QObject::disconnect(&assist, &UpDownLoadAssist::Transport_UpdateProgress, &app, nullptr);
        QObject::disconnect(&assist, &UpDownLoadAssist::UploadCannotBeProved, &app, nullptr);

        RecordEx stored;
        QFile info(folder + QStringLiteral("/%1.wdi").arg(kName));
        if (info.open(QIODevice::ReadOnly)) {
            stored.parseBufferContent(info.readAll());
            stored.BuildIndex();
        } else if (!upload || QFileInfo::exists(folder)) {
            // An upload that kept nothing leaves no record at all; anything else keeps its file.
            o.violations << QStringLiteral("no record information file");
        }
        const QString key = upload ? RecordKey::UploadSize : RecordKey::DownloadSize;
        const QString num = upload ? RecordKey::UploadNum : RecordKey::DownloadNum;
        bool allWhole = true;
        qint64 total = 0;
        for (int card = 0; card < cards; ++card) {
            const qint64 counted = stored.getSectionValue(RecordKey::cardSection(card), key, 0).toLongLong();
            const quint64 blocksCounted = stored.getSectionValue(RecordKey::cardSection(card), num, 0).toULongLong();
            total += counted;
            qint64 has = 0;
            if (upload) {
                const QString path = LocalRecordStore::dataFilePath(folder, kName, card);
                has = exactPrefix(path, card, blocks, handler->cardFaults.value(card + 1));
                // A resume writes on from the counters: the file must end there.
                if (QFileInfo(path).size() != counted)
                    o.violations << QStringLiteral("card %1 file holds %2 bytes, counts %3")
                                        .arg(card)
                                        .arg(QFileInfo(path).size())
                                        .arg(counted);
            } else {
                const CardDataChannel* c = handler->channel(card + 1);
                // Every run starts afresh: a card that began past block 0 has no prefix at all.
                has = c && c->badBytes() == 0 && c->firstRequested() == 0 ? qint64(c->nextBlock()) * kBlockBytes : 0;
                // A card counts no more than the whole blocks its local file held.
                if (cutTo[card] >= 0)
                    has = qMin(has, cutTo[card] / kBlockBytes * kBlockBytes);
            }
            allWhole = allWhole && has == cardBytes;
            if (counted > has || counted % kBlockBytes != 0)
                o.violations << QStringLiteral("card %1 counts %2 bytes, has %3").arg(card).arg(counted).arg(has);
            if (blocksCounted * quint64(kBlockBytes) != quint64(counted))
                o.violations << QStringLiteral("card %1 counts %2 blocks for %3 bytes")
                                    .arg(card)
                                    .arg(blocksCounted)
                                    .arg(counted);
        }
        const qint64 stTotal =
            stored.LocalValue(upload ? RecordKey::TotalUploadedSize : RecordKey::TotalDownloadedSize, 0).toLongLong();
        if (stTotal != total)
            o.violations << QStringLiteral("total %1 is not the cards' sum %2").arg(stTotal).arg(total);
        o.complete = total == qint64(cards) * cardBytes;
        if (o.complete && !allWhole)
            o.violations << QStringLiteral("complete record information over missing bytes");
        if (!o.complete && !o.reported)
            o.violations << QStringLiteral("incomplete without a reported failure");
        if (o.complete && o.reported)
            o.violations << QStringLiteral("failure reported for a complete transfer");

        complete += o.complete ? 1 : 0;
        reported += o.reported ? 1 : 0;
        bad += o.violations.isEmpty() ? 0 : 1;
        printf("%3d %-8s %d cards x %u blocks  %-10s  %s%s%s\n", run, upload ? "upload" : "download", cards, blocks,
               o.complete ? "complete" : (o.reported ? "failed" : "SILENT"), qPrintable(drawn.join(QLatin1Char(' '))),
               o.violations.isEmpty() ? "" : "  VIOLATION: ", qPrintable(o.violations.join(QStringLiteral("; "))));
        fflush(stdout);
    }
    printf("%d runs: %d complete, %d with a reported failure, %d with a violation\n", runs, complete, reported, bad);
    return bad == 0 ? 0 : 1;
}
