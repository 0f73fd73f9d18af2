#include <CoreUtils.h>
#include <TestAppDir.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <limits>

using Kelo::Core::CoreUtils;

namespace {
constexpr double kA = 6378137.0;
constexpr double kE2 = 0.006694379990146339;
constexpr double kDegToRad = 3.141592653589793 / 180.0;

struct Lbh
{
    double L, B, H;
};

// Points spread over the globe and over heights from below sea level to orbit, the same on
// every run.
QVector<Lbh> samplePoints(int count)
{
    QRandomGenerator rng(20240506u);
    QVector<Lbh> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double L = rng.generateDouble() * 360.0 - 180.0;
        const double B = rng.generateDouble() * 180.0 - 90.0;
        const double H = rng.generateDouble() * 40000000.0 / (1 + (i % 7) * 1000) - 500.0;
        points.append({L, B, H});
    }
    return points;
}

// Distance in metres between two geodetic points of nearly the same place.
double geodeticGap(const Lbh& p, const Lbh& q)
{
    double dL = std::fabs(p.L - q.L);
    if (dL > 180.0)
        dL = 360.0 - dL;
    const double r = kA + std::max(p.H, 0.0);
    const double north = std::fabs(p.B - q.B) * kDegToRad * r;
    const double east = dL * kDegToRad * r * std::cos(p.B * kDegToRad);
    return std::sqrt(north * north + east * east + (p.H - q.H) * (p.H - q.H));
}

// Runs Debian's GeographicLib CartConvert on one line per point and returns its output lines.
QStringList runCartConvert(const QStringList& args, const QStringList& lines)
{
    QProcess p;
    p.start(QStringLiteral("CartConvert"), args);
    if (!p.waitForStarted(10000))
        return {};
    p.write(lines.join(QLatin1Char('\n')).toLatin1() + "\n");
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromLatin1(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

class tst_CoreUtils : public QObject
{
    Q_OBJECT

private slots:
    void ecefToGeodetic_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("z");
        QTest::addColumn<double>("L");
        QTest::addColumn<double>("B");
        QTest::addColumn<double>("H");
        const double b = kA * std::sqrt(1.0 - kE2);
        QTest::newRow("equator on prime meridian") << kA << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("equator at 90 east") << 0.0 << kA << 0.0 << 90.0 << 0.0 << 0.0;
        QTest::newRow("equator at 180") << -kA << 0.0 << 0.0 << 180.0 << 0.0 << 0.0;
        QTest::newRow("north pole on ellipsoid") << 0.0 << 0.0 << b << 0.0 << 90.0 << 0.0;
        QTest::newRow("south pole 1000 m up") << 0.0 << 0.0 << -(b + 1000.0) << 0.0 << -90.0 << 1000.0;
        QTest::newRow("centre of the earth") << 0.0 << 0.0 << 0.0 << 0.0 << 0.0 << -kA;
    }

    void ecefToGeodetic()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, z);
        QFETCH(double, L);
        QFETCH(double, B);
        QFETCH(double, H);
        double xyz[3] = {x, y, z};
        double lbh[3] = {-1, -1, -1};
        CoreUtils::xyz2Lbh(xyz, lbh);
        QVERIFY2(std::fabs(lbh[0] - L) < 1e-12, qPrintable(QString::number(lbh[0], 'g', 17)));
        QVERIFY2(std::fabs(lbh[1] - B) < 1e-12, qPrintable(QString::number(lbh[1], 'g', 17)));
        QVERIFY2(std::fabs(lbh[2] - H) < 1e-6, qPrintable(QString::number(lbh[2], 'g', 17)));
        // The array form only reads its input.
        QCOMPARE(xyz[0], x);
        QCOMPARE(xyz[2], z);
    }

    void geodeticToEcefKnownPoint()
    {
        double x = 0, y = 0, z = 0;
        CoreUtils::lbh2Xyz(0.0, 0.0, 0.0, x, y, z);
        QCOMPARE(x, kA);
        QVERIFY(std::fabs(y) < 1e-9 && std::fabs(z) < 1e-9);
        // At 45 N the normal cuts the axis at N e^2 below the centre: z = (N (1 - e^2) + H) sin B.
        CoreUtils::lbh2Xyz(90.0, 45.0, 100.0, x, y, z);
        const double n = kA / std::sqrt(1.0 - kE2 * 0.5);
        QVERIFY(std::fabs(x) < 1e-6);
        QVERIFY(std::fabs(y - (n + 100.0) * std::sqrt(0.5)) < 1e-6);
        QVERIFY(std::fabs(z - (n * (1.0 - kE2) + 100.0) * std::sqrt(0.5)) < 1e-6);
    }

    void thousandPointsRoundTrip()
    {
        double worst = 0;
        for (const Lbh& p : samplePoints(1000)) {
            double xyz[3];
            double lbh[3] = {p.L, p.B, p.H};
            CoreUtils::lbh2Xyz(lbh, xyz);
            Lbh back{};
            CoreUtils::xyz2Lbh(xyz[0], xyz[1], xyz[2], back.L, back.B, back.H);
            worst = std::max(worst, geodeticGap(p, back));
        }
        QVERIFY2(worst < 0.001, qPrintable(QStringLiteral("worst round trip %1 m").arg(worst)));
    }

    void agreesWithGeographicLib()
    {
        const QVector<Lbh> points = samplePoints(1000);
        QStringList geodetic;
        for (const Lbh& p : points)
            geodetic << QStringLiteral("%1 %2 %3").arg(p.B, 0, 'f', 12).arg(p.L, 0, 'f', 12).arg(p.H, 0, 'f', 6);
        const QStringList ecef = runCartConvert({QStringLiteral("-p"), QStringLiteral("6")}, geodetic);
        if (ecef.isEmpty())
            QSKIP("CartConvert (geographiclib-tools) is not installed; scripts/deps installs it");
        QCOMPARE(ecef.size(), points.size());

        QStringList ecefIn;
        double worstForward = 0, worstReverse = 0;
        QVector<Lbh> ours;
        for (int i = 0; i < points.size(); ++i) {
            const QStringList f = ecef[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QCOMPARE(f.size(), 3);
            double x, y, z;
            CoreUtils::lbh2Xyz(points[i].L, points[i].B, points[i].H, x, y, z);
            const double dx = x - f[0].toDouble(), dy = y - f[1].toDouble(), dz = z - f[2].toDouble();
            worstForward = std::max(worstForward, std::sqrt(dx * dx + dy * dy + dz * dz));
            ecefIn << ecef[i];
            Lbh mine{};
            CoreUtils::xyz2Lbh(f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), mine.L, mine.B, mine.H);
            ours << mine;
        }
        const QStringList reverse =
            runCartConvert({QStringLiteral("-r"), QStringLiteral("-p"), QStringLiteral("9")}, ecefIn);
        QCOMPARE(reverse.size(), points.size());
        for (int i = 0; i < points.size(); ++i) {
            const QStringList f = reverse[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QCOMPARE(f.size(), 3);
            const Lbh theirs{f[1].toDouble(), f[0].toDouble(), f[2].toDouble()};
            worstReverse = std::max(worstReverse, geodeticGap(theirs, ours[i]));
        }
        QVERIFY2(worstForward < 0.001, qPrintable(QStringLiteral("geodetic to ECEF off by %1 m").arg(worstForward)));
        QVERIFY2(worstReverse < 0.001, qPrintable(QStringLiteral("ECEF to geodetic off by %1 m").arg(worstReverse)));
    }

    void unsettledInputEnds_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("z");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("NaN x") << nan << 0.0 << 0.0;
        QTest::newRow("NaN z") << kA << 0.0 << nan;
        QTest::newRow("infinite z") << kA << 0.0 << inf;
        QTest::newRow("infinite x and z") << inf << 0.0 << -inf;
    }

    void unsettledInputEnds()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, z);
        double L = 0, B = 0, H = 0;
        // Reaching the next line at all is the point: the latitude iteration must stop.
        CoreUtils::xyz2Lbh(x, y, z, L, B, H);
        QVERIFY(!std::isfinite(B) || !std::isfinite(H) || std::isnan(L));
    }

    void switchHeightWithoutLibrary()
    {
        TestAppDir app;
        QVERIFY(!QFile::exists(CoreUtils::geoidLibraryPath()));
        QCOMPARE(CoreUtils::switchHeight(116.0, 40.0, 55.5), 0.0);
    }

    void ipv4Text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("private address") << "192.168.0.1" << true;
        QTest::newRow("255 last") << "10.0.0.255" << true;
        QTest::newRow("max") << "255.255.255.255" << true;
        QTest::newRow("single digits") << "1.0.0.1" << true;
        QTest::newRow("first is 0") << "0.1.2.3" << false;
        QTest::newRow("last is 0") << "192.168.1.0" << false;
        QTest::newRow("leading zero") << "192.168.01.1" << false;
        QTest::newRow("256") << "256.1.1.1" << false;
        QTest::newRow("trailing blank") << "192.168.1.1 " << false;
        QTest::newRow("leading blank") << " 192.168.1.1" << false;
        QTest::newRow("three numbers") << "192.168.1" << false;
        QTest::newRow("five numbers") << "1.2.3.4.5" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("letters") << "a.b.c.d" << false;
        QTest::newRow("full-width digits") << QString::fromUtf8("１.2.3.4") << false;
    }

    void ipv4Text()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(CoreUtils::RegualIpv4Address(text), valid);
    }

    void ports_data()
    {
        QTest::addColumn<qint64>("port");
        QTest::addColumn<bool>("valid");
        QTest::newRow("0") << qint64(0) << false;
        QTest::newRow("1") << qint64(1) << true;
        QTest::newRow("65535") << qint64(65535) << true;
        QTest::newRow("65536") << qint64(65536) << false;
        QTest::newRow("negative") << qint64(-1) << false;
        QTest::newRow("wraps to 1 in 16 bits") << qint64(65537) << false;
    }

    void ports()
    {
        QFETCH(qint64, port);
        QFETCH(bool, valid);
        QCOMPARE(CoreUtils::RegualNetPort(port), valid);
    }

    void ipv4Cast_data()
    {
        QTest::addColumn<uint>("address");
        QTest::addColumn<QString>("text");
        QTest::newRow("most significant first")
            << uint((192u << 24) + (168u << 16) + (1u << 8) + 10u) << "192.168.1.10";
        QTest::newRow("zero") << 0u << "0.0.0.0";
        QTest::newRow("all ones") << 0xFFFFFFFFu << "255.255.255.255";
        QTest::newRow("loopback") << 0x7F000001u << "127.0.0.1";
    }

    void ipv4Cast()
    {
        QFETCH(uint, address);
        QFETCH(QString, text);
        QCOMPARE(CoreUtils::Ipv4Cast(address), text);
    }

    void addressText_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("text");
        QTest::newRow("IPv4 peer of a dual-stack socket") << "::ffff:127.0.0.1"
                                                          << "127.0.0.1";
        QTest::newRow("plain IPv4") << "192.168.1.10"
                                    << "192.168.1.10";
        QTest::newRow("IPv6 stays as it is") << "fe80::1"
                                             << "fe80::1";
    }

    void addressText()
    {
        QFETCH(QString, address);
        QFETCH(QString, text);
        QCOMPARE(CoreUtils::addressText(QHostAddress(address)), text);
    }

    void dateTimePacking_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<int>("date");
        QTest::addColumn<int>("time");
        QTest::newRow("afternoon") << QDateTime(QDate(2024, 5, 6), QTime(13, 7, 9)) << (2024 << 16) + (5 << 8) + 6
                                   << (13 << 16) + (7 << 8) + 9;
        QTest::newRow("year end") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << (1999 << 16) + (12 << 8) + 31
                                  << (23 << 16) + (59 << 8) + 59;
        QTest::newRow("midnight") << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)) << (2000 << 16) + (1 << 8) + 1 << 0;
    }

    void dateTimePacking()
    {
        QFETCH(QDateTime, when);
        QFETCH(int, date);
        QFETCH(int, time);
        int d = -1, t = -1;
        CoreUtils::dateTime2Int(when, &d, &t);
        QCOMPARE(d, date);
        QCOMPARE(t, time);
    }

    void sleepKeepsEventsRunning()
    {
        bool fired = false;
        QTimer::singleShot(0, this, [&fired] { fired = true; });
        QElapsedTimer clock;
        clock.start();
        CoreUtils::Sleep(30);
        QVERIFY(fired);
        QVERIFY(clock.elapsed() >= 25); // coarse timers may fire up to 5 % early
    }

    void instanceHoldsNothing()
    {
        CoreUtils utils;
        QVERIFY(utils.parent() == nullptr);
        QCOMPARE(CoreUtils::staticMetaObject.className(), "Kelo::Core::CoreUtils");
    }
};

QTEST_GUILESS_MAIN(tst_CoreUtils)
#include "tst_CoreUtils.moc"
