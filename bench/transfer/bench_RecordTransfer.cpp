// Moves one record of at least 1 GiB from the simulated instrument to the PC over loopback,
// with 1 and with 4 cards, and sets the rate beside two references of the same size measured in
// the same run: a plain socket pump over loopback and a dd write. Prints MiB/s, the ratios, the
// peak resident set and the longest stall of the GUI thread's event loop during each transfer.
#include <AppPaths.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <TransferHandler.h>
#include <UpDownLoadAssist.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace {
constexpr quint32 kName = 1710000000;
constexpr int kBlockMiB = 2;

long peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// Reads and drops everything on a socket in a thread of its own.
class Sink : public QThread
{
public:
    quint16 port = 0;
    qint64 expected = 0;
    qint64 received = 0;

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
        QByteArray buf(4 * 1024 * 1024, Qt::Uninitialized);
        while (received < expected) {
            if (!s->bytesAvailable() && !s->waitForReadyRead(30000))
                break;
            const qint64 n = s->read(buf.data(), buf.size());
            if (n < 0)
                break;
            received += n;
        }
    }

public:
    QSemaphore ready;
};

double socketPump(qint64 bytes)
{
    Sink sink;
    sink.expected = bytes;
    sink.start();
    sink.ready.acquire();
    QTcpSocket out;
    out.connectToHost(QHostAddress::LocalHost, sink.port);
    out.waitForConnected(10000);
    const QByteArray block(kBlockMiB * 1024 * 1024, 'p');
    QElapsedTimer clock;
    clock.start();
    for (qint64 sent = 0; sent < bytes; sent += block.size()) {
        out.write(block);
        while (out.bytesToWrite() > 0)
            out.waitForBytesWritten(30000);
    }
    sink.wait();
    return double(bytes >> 20) * 1000.0 / qMax<qint64>(1, clock.elapsed());
}

double ddWrite(const QString& path, qint64 bytes)
{
    QElapsedTimer clock;
    clock.start();
    QProcess dd;
    dd.start(QStringLiteral("dd"), {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + path,
                                    QStringLiteral("bs=%1M").arg(kBlockMiB),
                                    QStringLiteral("count=%1").arg(bytes / (kBlockMiB * 1024 * 1024))});
    dd.waitForFinished(600000);
    const qint64 ms = clock.elapsed();
    QFile::remove(path);
    return double(bytes >> 20) * 1000.0 / qMax<qint64>(1, ms);
}

struct Result
{
    double rate = 0.0;
    qint64 longestStallMs = 0;
    bool complete = false;
};

Result transfer(InstrumentSim& sim, ProtocolManager& pm, UpDownLoadAssist& assist, int cards, int sizeMiB)
{
    auto* handler = sim.handler<TransferHandler>(4);
    handler->blocksPerCard = quint32(sizeMiB / kBlockMiB / cards);
    QDir(LocalRecordStore::recordFolderPath(LocalRecordStore::deviceFolderName(pm.deviceInfo()), kName))
        .removeRecursively();
    RecordEx r;
    r.SetRecordValue(QStringLiteral("Name"), kName);
    r.SetRecordValue(QStringLiteral("Size"), sizeMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("SingleTransSize"), kBlockMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("NumOfBoards"), cards);
    r.BuildIndex();

    // A 10 ms tick in the GUI thread: the longest gap between ticks is how long it was held up.
    QElapsedTimer tick;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = qMax(longest, tick.restart() - 10);
    });
    QElapsedTimer clock;
    clock.start();
    tick.start();
    ticker.start();
    Result result;
    if (!assist.StartUploadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0))
        return result;
    waitUntil([&] { return assist.GetLastMethod() == 1; }, 600000);
    const qint64 ms = clock.elapsed();
    ticker.stop();
    const RecordEx done = assist.currentRecord();
    result.complete = done.LocalValue(QStringLiteral("TotalUploadedSize")).toLongLong() == qint64(sizeMiB) << 20;
    result.rate = double(sizeMiB) * 1000.0 / qMax<qint64>(1, ms);
    result.longestStallMs = qMax<qint64>(0, longest);
    QDir(LocalRecordStore::recordFolderPath(LocalRecordStore::deviceFolderName(pm.deviceInfo()), kName))
        .removeRecursively();
    return result;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int sizeMiB = argc > 1 ? qMax(64, atoi(argv[1])) : 1024;
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/bin"));
    AppPaths::setApplicationDir(dir.path() + QStringLiteral("/bin"));
    FileLogger::instance();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type >= QtWarningMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });

    InstrumentSim sim(InstrumentSim::Preset::Test);
    sim.listen(QHostAddress::LocalHost, 0);
    ProtocolManager pm;
    pm.ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
    if (!waitUntil([&] { return pm.isConnected(); }, 10000)) {
        fprintf(stderr, "no control link to the simulator\n");
        return 1;
    }
    UpDownLoadAssist assist(&pm);

    const qint64 bytes = qint64(sizeMiB) << 20;
    printf("record of %d MiB in %d MiB blocks over loopback\n", sizeMiB, kBlockMiB);
    const double pump = socketPump(bytes);
    const double dd = ddWrite(dir.path() + QStringLiteral("/dd.bin"), bytes);
    const double slower = qMin(pump, dd);
    printf("%-26s %9.1f MiB/s\n", "socket pump (reference)", pump);
    printf("%-26s %9.1f MiB/s\n", "dd write (reference)", dd);
    for (int cards : {1, 4}) {
        const Result r = transfer(sim, pm, assist, cards, sizeMiB);
        printf("%-26s %9.1f MiB/s  ratio to slower reference %.2f  %s  longest GUI stall %lld ms  peak RSS %ld MiB\n",
               qPrintable(QStringLiteral("upload, %1 card%2").arg(cards).arg(cards > 1 ? "s" : "")), r.rate,
               r.rate / slower, r.complete ? "complete" : "INCOMPLETE", static_cast<long long>(r.longestStallMs),
               peakRssMiB());
    }
    return 0;
}
