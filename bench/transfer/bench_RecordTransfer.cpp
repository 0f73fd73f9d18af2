// Moves one record from the simulated instrument to the PC (upload) and back (download) over
// loopback, with 1 and with 4 cards, and sets each rate beside a reference measured in the same
// run: an in-process pump per card that asks the same simulated card for the same blocks and
// writes them to (or reads them from) a file in the same folder, doing nothing else. The cards
// send blocks made beforehand, so that neither side's rate is set by the card. Every figure is
// the median of several runs. Also prints, per transfer, the peak resident set since its start
// beside the bound of the block queues, and the longest stall of the GUI thread's event loop.
#include "BenchWait.h"

#include <AppPaths.h>
#include <BlockQueue.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LocalRecordStore.h>
#include <MsgHeader.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <TcpTransportThread.h>
#include <TransferHandler.h>
#include <UpDownLoadAssist.h>
#include <UploadProof.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {
constexpr quint32 kName = 1710000000;
constexpr int kBlockMiB = 2;
constexpr qint64 kBlockBytes = qint64(kBlockMiB) << 20;
// Every block of a card differs from every other (the PC compares each with all before it): block
// n is a window of one pattern made beforehand, kStep bytes further on for each block, repeating
// after kWindows blocks.
constexpr quint32 kWindows = 4096;
constexpr qint64 kStep = 64;
constexpr int kMaxCards = 4;

QByteArray s_patterns[kMaxCards];
// Blocks that share their first and last 4 KiB (a quiet band, a zero head).
std::atomic<bool> s_alikeEdges{false};
constexpr qint64 kEdgeBytes = 4 * 1024;

// The simulated instrument and its cards run in a thread of their own, so that neither their
// work nor their stalls count against the GUI thread of the PC side.
QObject* s_simContext = nullptr;

void onSimThread(const std::function<void()>& work)
{
    QMetaObject::invokeMethod(s_simContext, work, Qt::BlockingQueuedConnection);
}

QByteArray precomputedBlock(quint32, int card, quint32 n, quint32)
{
    // A view, not a copy: the card pays nothing for it.
    const QByteArray& pattern = s_patterns[qBound(0, card, kMaxCards - 1)];
    QByteArray view = QByteArray::fromRawData(pattern.constData() + qint64(n % kWindows) * kStep, int(kBlockBytes));
    if (!s_alikeEdges.load())
        return view;
    QByteArray alike(view.constData(), view.size());
    memset(alike.data(), 0, size_t(kEdgeBytes));
    memset(alike.data() + kBlockBytes - kEdgeBytes, 0, size_t(kEdgeBytes));
    return alike;
}

void precompute()
{
    const qint64 bytes = kBlockBytes + qint64(kWindows) * kStep;
    for (int card = 0; card < kMaxCards; ++card) {
        QByteArray b(int(bytes), Qt::Uninitialized);
        CardDataChannel::pattern(kName, card, 0, b.data(), bytes);
        s_patterns[card] = b;
    }
    CardDataChannel::setBlockSource(&precomputedBlock);
}

// Peak resident set of this process since the last reset (Linux: clear_refs 5 resets VmHWM).
void resetPeakRss()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

long peakRssMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
    }
    return -1;
}

QString recordFolder(ProtocolManager& pm)
{
    return LocalRecordStore::recordFolderPath(LocalRecordStore::deviceFolderName(pm.deviceInfo()), kName);
}

QString pumpFile(const QString& folder, int card)
{
    return folder + QStringLiteral("/pump_%1.bin").arg(card);
}

// The PC side of one card reduced to its work: upload asks for each block with the same 24-byte
// request, reads it into one buffer by offset and writes it to the file; download reads each
// block asked for from the file and sends it.
class Pump : public QThread
{
public:
    Pump(bool upload, QString path, quint32 blocks)
        : m_upload(upload)
        , m_path(std::move(path))
        , m_blocks(blocks)
    {}
    QSemaphore ready;
    quint16 port = 0;
    bool ok = false;

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port = server.serverPort();
        ready.release();
        if (!server.waitForNewConnection(30000))
            return;
        QTcpSocket* s = server.nextPendingConnection();
        QFile file(m_path);
        if (!file.open(m_upload ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::ReadOnly))
            return;
        QByteArray buf(int(kBlockBytes), Qt::Uninitialized);
        ok = m_upload ? upload(*s, file, buf) : download(*s, file, buf);
        s->disconnectFromHost();
        if (s->state() != QAbstractSocket::UnconnectedState)
            s->waitForDisconnected(5000);
    }

private:
    bool upload(QTcpSocket& s, QFile& file, QByteArray& buf)
    {
        for (quint32 n = 0; n < m_blocks; ++n) {
            QByteArray frame =
                ProtocolManager::MsgHeadToTerminal(0, quint16(n), Msg_Type::UploadDownload, Msg_Cmd(2), 4);
            frame.append(ProtocolManager::U32toByte(n));
            frame.append(ProtocolManager::U32toByte(
                ProtocolManager::crc32Mpeg2(reinterpret_cast<const uchar*>(frame.constData()), uint(frame.size()))));
            s.write(frame);
            qint64 got = 0;
            while (got < kBlockBytes) {
                if (!s.bytesAvailable() && !s.waitForReadyRead(30000))
                    return false;
                const qint64 r = s.read(buf.data() + got, kBlockBytes - got);
                if (r < 0)
                    return false;
                got += r;
            }
            if (file.write(buf.constData(), kBlockBytes) != kBlockBytes)
                return false;
        }
        return file.flush();
    }

    bool download(QTcpSocket& s, QFile& file, QByteArray& buf)
    {
        for (;;) {
            while (s.bytesAvailable() < 24) {
                if (!s.waitForReadyRead(30000))
                    return false;
            }
            char request[24];
            s.read(request, 24);
            const auto* p = reinterpret_cast<const uchar*>(request + 16);
            const quint32 n = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
            if (n >= m_blocks)
                return true;
            if (!file.seek(qint64(n) * kBlockBytes) || file.read(buf.data(), kBlockBytes) != kBlockBytes)
                return false;
            s.write(buf.constData(), kBlockBytes);
            while (s.bytesToWrite() > 0) {
                if (!s.waitForBytesWritten(30000))
                    return false;
            }
        }
    }

    const bool m_upload;
    const QString m_path;
    const quint32 m_blocks;
};

struct Result
{
    double rate = 0.0;
    // Upload: from the last block counted to the end of the transfer (the proof of the cards'
    // last blocks); the rate leaves it out.
    qint64 endWaitMs = 0;
    qint64 longestStallMs = 0;
    long peakRss = 0;
    bool complete = false;
};

// A 10 ms tick in the GUI thread: the longest gap between ticks is how long it was held up.
class StallMeter
{
public:
    StallMeter()
    {
        m_ticker.setInterval(10);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { m_longest = qMax(m_longest, m_tick.restart() - 10); });
        m_tick.start();
        m_ticker.start();
    }
    qint64 longest() const { return qMax<qint64>(0, m_longest); }

private:
    QElapsedTimer m_tick;
    QTimer m_ticker;
    qint64 m_longest = 0;
};

void writeCardFiles(const QString& folder, int cards, quint32 blocksPerCard, bool pumpNames)
{
    QDir().mkpath(folder);
    for (int card = 0; card < cards; ++card) {
        QFile out(pumpNames ? pumpFile(folder, card) : LocalRecordStore::dataFilePath(folder, kName, card));
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (quint32 n = 0; n < blocksPerCard; ++n)
            out.write(CardDataChannel::block(kName, card, n, kBlockMiB));
    }
}

Result pump(ProtocolManager& pm, bool upload, int cards, int sizeMiB)
{
    const quint32 blocks = quint32(sizeMiB / kBlockMiB / cards);
    const QString folder = recordFolder(pm);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    if (!upload)
        writeCardFiles(folder, cards, blocks, true);
    std::vector<std::unique_ptr<Pump>> pumps;
    std::vector<std::unique_ptr<CardDataChannel>> channels;
    std::atomic<int> ended{0};
    resetPeakRss();
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    for (int card = 0; card < cards; ++card) {
        pumps.push_back(std::make_unique<Pump>(upload, pumpFile(folder, card), blocks));
        pumps.back()->start();
        pumps.back()->ready.acquire();
        const quint16 port = pumps.back()->port;
        onSimThread([&] {
            channels.push_back(std::make_unique<CardDataChannel>(
                upload ? CardDataChannel::Mode::Upload : CardDataChannel::Mode::Download, kName, card, kBlockMiB, 0,
                blocks, CardDataChannel::Faults{}));
            QObject::connect(channels.back().get(), &CardDataChannel::ended, [&ended](int) { ++ended; });
            channels.back()->connectTo(QHostAddress::LocalHost, port);
        });
    }
    waitUntil([&] { return std::all_of(pumps.begin(), pumps.end(), [](auto& p) { return p->isFinished(); }); }, 600000);
    const qint64 ms = clock.elapsed();
    Result result;
    result.complete = true;
    for (int card = 0; card < cards; ++card) {
        pumps[size_t(card)]->wait();
        result.complete = result.complete && pumps[size_t(card)]->ok;
        if (!upload) {
            onSimThread([&] {
                result.complete = result.complete && channels[size_t(card)]->blocksMoved() == blocks
                               && channels[size_t(card)]->badBytes() == 0;
            });
        }
    }
    result.rate = double(sizeMiB) * 1000.0 / qMax<qint64>(1, ms);
    result.longestStallMs = stalls.longest();
    result.peakRss = peakRssMiB();
    waitUntil([&] { return ended.load() == cards; }, 5000);
    onSimThread([&] { channels.clear(); });
    QDir(folder).removeRecursively();
    return result;
}

Result transfer(InstrumentSim& sim, ProtocolManager& pm, UpDownLoadAssist& assist, bool upload, int cards, int sizeMiB)
{
    auto* handler = sim.handler<TransferHandler>(4);
    const quint32 blocks = quint32(sizeMiB / kBlockMiB / cards);
    onSimThread([&] { handler->blocksPerCard = blocks; });
    const QString folder = recordFolder(pm);
    QDir(folder).removeRecursively();
    if (!upload)
        writeCardFiles(folder, cards, blocks, false);
    RecordEx r;
    r.SetRecordValue(QStringLiteral("Name"), kName);
    r.SetRecordValue(QStringLiteral("Size"), sizeMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("SingleTransSize"), kBlockMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("NumOfBoards"), cards);
    r.BuildIndex();

    resetPeakRss();
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    Result result;
    const bool started = upload ? assist.StartUploadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0)
                                : assist.StartDownloadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0);
    if (!started)
        return result;
    qint64 ms = 0;
    const auto allIn = [&] {
        const RecordEx now = assist.currentRecord();
        for (int card = 0; card < cards; ++card) {
            if (now.getSectionValue(QStringLiteral("Card%1").arg(card), QStringLiteral("UploadNum"), 0).toUInt()
                < blocks)
                return false;
        }
        return true;
    };
    waitUntil(
        [&] {
            if (upload && ms == 0 && allIn())
                ms = clock.elapsed();
            return assist.GetLastMethod() == 1;
        },
        600000);
    const qint64 total = clock.elapsed();
    if (!upload || ms == 0)
        ms = total;
    result.endWaitMs = total - ms;
    const RecordEx done = assist.currentRecord();
    result.complete = true;
    for (int card = 0; card < cards; ++card) {
        const QString key = upload ? QStringLiteral("UploadSize") : QStringLiteral("DownloadSize");
        result.complete = result.complete
                       && done.getSectionValue(QStringLiteral("Card%1").arg(card), key, 0).toLongLong()
                              == qint64(blocks) * kBlockBytes;
        if (!upload) {
            onSimThread([&] {
                const CardDataChannel* c = handler->channel(card + 1);
                result.complete = result.complete && c && c->badBytes() == 0 && c->blocksMoved() == blocks;
            });
        }
    }
    result.rate = double(sizeMiB) * 1000.0 / qMax<qint64>(1, ms);
    result.longestStallMs = stalls.longest();
    result.peakRss = peakRssMiB();
    QDir(folder).removeRecursively();
    return result;
}

Result median(std::vector<Result> runs)
{
    std::vector<qint64> waits;
    for (const Result& r : runs)
        waits.push_back(r.endWaitMs);
    std::sort(waits.begin(), waits.end());
    std::sort(runs.begin(), runs.end(), [](const Result& a, const Result& b) { return a.rate < b.rate; });
    Result m = runs[runs.size() / 2];
    m.endWaitMs = waits[waits.size() / 2];
    for (const Result& r : runs) {
        m.complete = m.complete && r.complete;
        m.longestStallMs = qMax(m.longestStallMs, r.longestStallMs);
        m.peakRss = qMax(m.peakRss, r.peakRss);
    }
    return m;
}

QString rates(const std::vector<Result>& runs)
{
    QStringList out;
    for (const Result& r : runs)
        out << QString::number(r.rate, 'f', 0);
    return out.join(QLatin1Char(' '));
}
// The end of a 512-block card whose blocks share their first and last 4 KiB, next to one whose
// blocks differ there: the proof's cost must not depend on the data.
void endOfAlikeBlocks(InstrumentSim& sim, ProtocolManager& pm, UpDownLoadAssist& assist, int repeats)
{
    constexpr int kMiB = 512 * kBlockMiB;
    qint64 waits[2] = {0, 0};
    bool complete = true;
    for (const bool alike : {false, true}) {
        s_alikeEdges.store(alike);
        std::vector<Result> runs;
        for (int i = 0; i < repeats; ++i)
            runs.push_back(transfer(sim, pm, assist, true, 1, kMiB));
        const Result r = median(runs);
        waits[alike ? 1 : 0] = r.endWaitMs;
        complete = complete && r.complete;
    }
    s_alikeEdges.store(false);
    printf("end of 512 blocks   different edges %lld ms, alike first and last 4 KiB %lld ms, ratio %.2f  %s\n",
           static_cast<long long>(waits[0]), static_cast<long long>(waits[1]),
           double(waits[1]) / double(qMax<qint64>(1, waits[0])), complete ? "complete" : "INCOMPLETE");
    fflush(stdout);
}

// A stop of a resumed upload at block 16 000 of a sparse record: how long the GUI thread is held
// up by the stop, and how long until the page is idle.
void stopOfAResumedUpload(InstrumentSim& sim, ProtocolManager& pm, UpDownLoadAssist& assist)
{
    constexpr quint32 kFrom = 16000;
    constexpr quint32 kBlocks = kFrom + 4096;
    auto* handler = sim.handler<TransferHandler>(4);
    onSimThread([&] {
        handler->blocksPerCard = kBlocks;
        CardDataChannel::Faults slow;
        slow.answerDelayMs = 5;
        handler->cardFaults[1] = slow;
    });
    const QString folder = recordFolder(pm);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    {
        QFile data(LocalRecordStore::dataFilePath(folder, kName, 0));
        data.open(QIODevice::WriteOnly);
        data.resize(qint64(kFrom) * kBlockBytes);
    }
    RecordEx r;
    r.SetRecordValue(QStringLiteral("Name"), kName);
    r.SetRecordValue(QStringLiteral("Size"), int(kBlocks) * kBlockMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("SingleTransSize"), kBlockMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("NumOfBoards"), 1);
    r.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadNum"), kFrom);
    r.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadSize"), qint64(kFrom) * kBlockBytes);
    r.BuildIndex();
    const bool started = assist.StartUploadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0);
    const auto counted = [&] {
        return assist.currentRecord().getSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadNum"), 0).toUInt();
    };
    const bool moving = started && waitUntil([&] { return counted() >= kFrom + 64; }, 60000);
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    assist.StopUploadCmdFromUI();
    const qint64 returned = clock.elapsed();
    waitUntil([&] { return assist.GetLastMethod() == 1; }, 60000);
    const qint64 idle = clock.elapsed();
    printf("stop at block %u    stop returned in %lld ms, idle after %lld ms, GUI stall max %lld ms, resumes at %u  "
           "%s\n",
           kFrom, static_cast<long long>(returned), static_cast<long long>(idle),
           static_cast<long long>(stalls.longest()), counted(), moving ? "" : "(DID NOT MOVE)");
    fflush(stdout);
    onSimThread([&] { handler->cardFaults.clear(); });
    QDir(folder).removeRecursively();
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int sizeMiB = argc > 1 ? qMax(64, atoi(argv[1])) : 1024;
    const int repeats = argc > 2 ? qMax(1, atoi(argv[2])) : 5;
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/bin"));
    AppPaths::setApplicationDir(dir.path() + QStringLiteral("/bin"));
    FileLogger::instance();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type >= QtWarningMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    precompute();

    QThread simThread;
    QObject simContext;
    simContext.moveToThread(&simThread);
    simThread.start();
    s_simContext = &simContext;
    std::unique_ptr<InstrumentSim> simOwner;
    onSimThread([&] {
        simOwner = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        simOwner->listen(QHostAddress::LocalHost, 0);
    });
    InstrumentSim& sim = *simOwner;
    ProtocolManager pm;
    pm.ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
    if (!waitUntil([&] { return pm.isConnected(); }, 10000)) {
        fprintf(stderr, "no control link to the simulator\n");
        return 1;
    }
    UpDownLoadAssist assist(&pm);

    printf("record of %d MiB in %d MiB blocks over loopback, median of %d runs, target folder %s\n", sizeMiB, kBlockMiB,
           repeats, qPrintable(recordFolder(pm)));
    for (bool upload : {true, false}) {
        for (int cards : {1, 4}) {
            std::vector<Result> refRuns, runs;
            // Interleaved, so that a change of load on the machine hits both alike.
            for (int i = 0; i < repeats; ++i) {
                refRuns.push_back(pump(pm, upload, cards, sizeMiB));
                runs.push_back(transfer(sim, pm, assist, upload, cards, sizeMiB));
            }
            const Result ref = median(refRuns);
            const Result r = median(runs);
            const QString what = QStringLiteral("%1, %2 card%3")
                                     .arg(upload ? QStringLiteral("upload") : QStringLiteral("download"))
                                     .arg(cards)
                                     .arg(cards > 1 ? "s" : "");
            const long queueMiB = long(BlockQueue::capacityFor(kBlockMiB, cards)) * kBlockMiB * cards;
            printf("%-18s pump %7.1f MiB/s  Kelo %7.1f MiB/s  ratio %.2f  %s  GUI stall max %lld ms  "
                   "peak RSS %ld MiB (pump %ld, queues bound %ld)\n",
                   qPrintable(what), ref.rate, r.rate, r.rate / ref.rate,
                   r.complete && ref.complete ? "complete" : "INCOMPLETE", static_cast<long long>(r.longestStallMs),
                   r.peakRss, ref.peakRss, queueMiB);
            if (upload)
                printf("%-18s   end wait after the last block %lld ms (median; the proof waits %d ms of quiet)\n", "",
                       static_cast<long long>(r.endWaitMs), UploadProof::quietMs(TcpTransportThread::kTimeoutMs));
            printf("%-18s   runs: pump %s / Kelo %s MiB/s\n", "", qPrintable(rates(refRuns)), qPrintable(rates(runs)));
            fflush(stdout);
        }
    }
    endOfAlikeBlocks(sim, pm, assist, repeats);
    stopOfAResumedUpload(sim, pm, assist);
    onSimThread([&] { simOwner.reset(); });
    simThread.quit();
    simThread.wait();
    return 0;
}
