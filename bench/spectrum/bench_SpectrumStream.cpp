// Sends counting spectrum datagrams from the simulated instrument over loopback at a set rate
// (default 10 000 a second for 10 s) twice: once into a bare UDP receive loop, once into the
// spectrum receiver thread and its curve decoder. Reports, for each, how many arrived, how many
// were lost or doubled, how many curves did not match their datagram, and the rate achieved.
#include <AppPaths.h>
#include <FrequencyDataThread.h>
#include <FrequencyDataTransportManager.h>
#include <ProtocolManager.h>
#include <SpectrumSender.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr double kFullScale = 9.030873362283398;

struct Tally
{
    std::vector<quint8> seen;
    qint64 received = 0;
    qint64 doubled = 0;
    qint64 misparsed = 0;
    qint64 firstNs = -1;
    qint64 lastNs = 0;

    explicit Tally(qint64 n)
        : seen(size_t(n), 0)
    {}
    void mark(qint64 seq, bool good, qint64 ns)
    {
        ++received;
        if (firstNs < 0)
            firstNs = ns;
        lastNs = ns;
        if (!good || seq < 0 || seq >= qint64(seen.size())) {
            ++misparsed;
            return;
        }
        if (seen[size_t(seq)]++)
            ++doubled;
    }
    qint64 lost() const
    {
        qint64 n = 0;
        for (quint8 s : seen)
            n += s == 0;
        return n;
    }
};

// Runs the simulated instrument's sender in a thread of its own until it has sent `count`.
void send(quint16 port, int rate, qint64 count)
{
    QThread thread;
    SpectrumSender* sender = nullptr;
    QEventLoop done;
    QObject context; // the sender thread's stand-in for the calls below
    context.moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(
        &context,
        [&] {
            sender = new SpectrumSender;
            sender->setRate(rate);
            sender->setCounting(true);
            sender->setLimit(count);
            QObject::connect(sender, &SpectrumSender::finished, &done, &QEventLoop::quit, Qt::QueuedConnection);
            sender->start(QHostAddress(QHostAddress::LocalHost), port);
        },
        Qt::BlockingQueuedConnection);
    done.exec();
    QMetaObject::invokeMethod(
        &context, [&] { delete sender; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

// Lets the last datagrams in flight arrive before the tally is read.
void settle(const std::atomic<qint64>& received)
{
    qint64 before = -1;
    while (before != received.load()) {
        before = received.load();
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void report(const char* name, const Tally& t, qint64 sent, double sendSeconds)
{
    const double span = t.firstNs >= 0 ? double(t.lastNs - t.firstNs) / 1e9 : 0.0;
    std::printf("%-22s sent %lld in %.2f s, received %lld, lost %lld, doubled %lld, misparsed %lld, %.0f/s\n", name,
                static_cast<long long>(sent), sendSeconds, static_cast<long long>(t.received),
                static_cast<long long>(t.lost()), static_cast<long long>(t.doubled),
                static_cast<long long>(t.misparsed), span > 0 ? double(t.received - 1) / span : 0.0);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rate = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const qint64 count = qint64(rate) * seconds;
    QTemporaryDir dir;
    AppPaths::setApplicationDir(dir.path() + QStringLiteral("/bin"));

    bool failed = false;

    // Bare loop: read and check the first value of each datagram, nothing else.
    {
        Tally tally(count);
        std::atomic<qint64> received{0};
        std::atomic<bool> stop{false};
        std::atomic<quint16> port{0};
        QElapsedTimer clock;
        clock.start();
        QThread* loop = QThread::create([&] {
            QUdpSocket socket;
            socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
            socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
            port = socket.localPort();
            QByteArray buffer(65536, Qt::Uninitialized);
            while (!stop.load()) {
                if (!socket.waitForReadyRead(100))
                    continue;
                while (socket.hasPendingDatagrams()) {
                    const qint64 n = socket.readDatagram(buffer.data(), buffer.size());
                    quint32 v = 0;
                    if (n >= 8)
                        std::memcpy(&v, buffer.constData() + 4, 4);
                    tally.mark(qint64(v) - 1, n == SpectrumSender::kDatagramSize, clock.nsecsElapsed());
                    ++received;
                }
            }
        });
        loop->start();
        while (port.load() == 0)
            QThread::yieldCurrentThread();
        QElapsedTimer sendClock;
        sendClock.start();
        send(port.load(), rate, count);
        const double sendSeconds = sendClock.nsecsElapsed() / 1e9;
        settle(received);
        stop = true;
        loop->wait();
        delete loop;
        report("bare UDP loop", tally, count, sendSeconds);
    }

    // The spectrum receiver: every curve must be whole, uniform and carry its datagram's number.
    {
        ProtocolManager protocol;
        FrequencyDataTransportManager manager(&protocol);
        Tally tally(count);
        std::atomic<qint64> received{0};
        QElapsedTimer clock;
        clock.start();
        QObject::connect(
            &manager, &FrequencyDataTransportManager::UpdateFrequencyArray, &manager,
            [&](const QVector<QPointF>& points, uint, double, double) {
                bool good = points.size() == 2048;
                const double level = good ? points.first().y() : 0.0;
                for (const QPointF& p : points)
                    good = good && p.y() == level;
                const qint64 seq = qRound64(std::pow(10.0, level / 10.0 + kFullScale)) - 1;
                tally.mark(seq, good, clock.nsecsElapsed());
                ++received;
            },
            Qt::DirectConnection);
        QUdpSocket probe;
        probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
        const quint16 port = probe.localPort();
        probe.close();
        manager.receiverThread()->setBindAddressForTest(QHostAddress::LocalHost);
        manager.slot_FrequencyControlResult(port);
        if (!manager.receiverThread()->isRunning()) {
            std::printf("spectrum receiver did not bind port %u\n", port);
            return 1;
        }
        QElapsedTimer sendClock;
        sendClock.start();
        send(port, rate, count);
        const double sendSeconds = sendClock.nsecsElapsed() / 1e9;
        settle(received);
        manager.receiverThread()->Stop();
        report("spectrum receiver", tally, count, sendSeconds);
        failed = tally.lost() != 0 || tally.misparsed != 0 || tally.doubled != 0;
    }
    return failed ? 1 : 0;
}
