// Throughput of UM98X_960Handler::ParseData on a large mixed stream fed in random blocks.
//   bench_ParseThroughput [megabytes=64]
#include <UM98X_960Handler.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QByteArray nmea(const QByteArray& body)
{
    unsigned char x = 0;
    for (char c : body)
        x ^= static_cast<unsigned char>(c);
    return "$" + body + "*" + QByteArray::number(x, 16).rightJustified(2, '0') + "\r\n";
}

QByteArray gpsLog(int prn)
{
    QByteArray body = "GPSEPHA,0,C,F,2068,346038,0,1,2,3;" + QByteArray::number(prn)
                    + ",345600.0,0,105,105,2068,2068,352800.0,26560370.93310654,0.00000000420624378,"
                      "1.2345678901,0.0123456789,0.9876543210,0.0000012,0.0000034,212.5,-45.25,"
                      "0.00000011,-0.00000022,0.9712345678,0.0000000001,1.0123456789,"
                      "-0.0000000081,105,352800.0,-0.0000000107,352800.0,0.000123456,"
                      "-0.0000000000011,0.0,0,0.0000145,2.0";
    unsigned char* p = reinterpret_cast<unsigned char*>(body.data());
    const quint32 crc = Ns::Skyvane::UM98X_960Handler::crc_update(p, body.size());
    return "#" + body + "*" + QByteArray::number(crc, 16).rightJustified(8, '0') + "\r\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const int megabytes = argc > 1 ? qMax(1, atoi(argv[1])) : 64;

    QByteArray epoch;
    int sentences = 0;
    epoch += nmea("GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,");
    epoch += nmea("GNRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A");
    sentences += 2;
    for (int n = 1; n <= 3; ++n, ++sentences)
        epoch += nmea("GPGSV,3," + QByteArray::number(n) + ",10,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1");
    for (int n = 1; n <= 2; ++n, ++sentences)
        epoch += nmea("GBGSV,2," + QByteArray::number(n) + ",06,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1");
    epoch += gpsLog(5);
    ++sentences;
    epoch += "garbage,$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";

    const int repeats = int((qint64(megabytes) << 20) / epoch.size());
    QByteArray stream;
    stream.reserve(repeats * epoch.size());
    for (int i = 0; i < repeats; ++i)
        stream += epoch;

    // The GPS log writes no file, but keep any file the parser might write out of the way.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Ns::Skyvane::UM98X_960Handler parser;
    qint64 records = 0;
    QObject::connect(&parser, &Ns::Skyvane::UM98X_960Handler::ggaDataChanged, [&] { ++records; });
    QObject::connect(&parser, &Ns::Skyvane::UM98X_960Handler::rmcDataChanged, [&] { ++records; });
    QObject::connect(&parser, &Ns::Skyvane::UM98X_960Handler::ephDataGPSChanged, [&] { ++records; });

    QRandomGenerator random(1);
    QElapsedTimer timer;
    timer.start();
    for (int at = 0; at < stream.size();) {
        const int n = 1 + int(random.bounded(4096));
        parser.ParseData(QByteArray::fromRawData(stream.constData() + at, qMin(n, stream.size() - at)));
        at += n;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double mb = stream.size() / 1048576.0;
    std::printf("%.1f MiB in %.3f s: %.1f MiB/s, %.0f sentences/s (%lld records)\n", mb, seconds, mb / seconds,
                double(repeats) * sentences / seconds, records);
    return records == qint64(repeats) * 3 ? 0 : 1;
}
