#include <AppPaths.h>
#include <CoreUtils.h>
#include <TestAppDir.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using Kelo::Core::CoreUtils;

namespace {
constexpr double kDegToRad = 3.141592653589793 / 180.0;

QString stagedLibrary()
{
    return QStringLiteral(KELO_BIN_DIR "/Kelo_AppData/Kelo_ThirdPart/Geoidh_EGM2008_DLL.dll");
}

QByteArray readInstalledGrid()
{
    QFile f(QStringLiteral("/usr/share/proj/egm96_15.gtx"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// Points the geoid library at other PROJ data folders while it lives.
class ProjData
{
public:
    explicit ProjData(const QString& folders)
        : m_had(qEnvironmentVariableIsSet("PROJ_DATA"))
        , m_old(qgetenv("PROJ_DATA"))
    {
        qputenv("PROJ_DATA", folders.toLocal8Bit());
    }
    ~ProjData()
    {
        if (m_had)
            qputenv("PROJ_DATA", m_old);
        else
            qunsetenv("PROJ_DATA");
    }

private:
    bool m_had;
    QByteArray m_old;
};

bool install(const QString& from)
{
    const QString to = CoreUtils::geoidLibraryPath();
    QDir().mkpath(QFileInfo(to).path());
    return QFile::copy(from, to);
}
} // namespace

class tst_GeoidLibrary : public QObject
{
    Q_OBJECT

private slots:
    void libraryIsStagedWhereCoreLooks()
    {
        AppPaths::setApplicationDir(QStringLiteral(KELO_BIN_DIR));
        QCOMPARE(QFileInfo(CoreUtils::geoidLibraryPath()).canonicalFilePath(),
                 QFileInfo(stagedLibrary()).canonicalFilePath());
        AppPaths::setApplicationDir(QString());
        QVERIFY(QFileInfo::exists(stagedLibrary()));
    }

    void argumentsAreLatitudeThenLongitudeInRadians()
    {
        TestAppDir app;
        QVERIFY(install(QStringLiteral(GEOID_PROBE_DIR "/entry.dll")));
        const double L = 116.4, B = 39.9, H = 52.25;
        const double expected = H - (1000.0 * B * kDegToRad + L * kDegToRad);
        QVERIFY(std::fabs(CoreUtils::switchHeight(L, B, H) - expected) < 1e-9);
        // A second call goes through the library the loader already holds.
        QVERIFY(std::fabs(CoreUtils::switchHeight(-10.0, 5.0, 0.0) - (-(5000.0 - 10.0) * kDegToRad)) < 1e-9);
    }

    void libraryWithoutEntryGivesZero()
    {
        TestAppDir app;
        QVERIFY(install(QStringLiteral(GEOID_PROBE_DIR "/noentry.dll")));
        QCOMPARE(CoreUtils::switchHeight(116.4, 39.9, 52.25), 0.0);
    }

    void unloadableFileGivesZero()
    {
        TestAppDir app;
        const QString path = CoreUtils::geoidLibraryPath();
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a library");
        f.close();
        QCOMPARE(CoreUtils::switchHeight(116.4, 39.9, 52.25), 0.0);
    }

    // Undulations of the bundled library against PROJ applying the same grid, recorded with
    //   echo "L B 0" | cct -d 4 +proj=vgridshift +grids=egm96_15.gtx +multiplier=1
    // (PROJ 9.1.1, Debian proj-data 9.1.1); the last six are the points of NGA's EGM96 test set.
    void bundledModel_data()
    {
        QTest::addColumn<double>("L");
        QTest::addColumn<double>("B");
        QTest::addColumn<double>("undulation");
        QTest::newRow("north pole") << 0.0 << 90.0 << 13.6062;
        QTest::newRow("north pole at another longitude") << -123.4 << 90.0 << 13.6062;
        QTest::newRow("south pole") << 0.0 << -90.0 << -29.5338;
        QTest::newRow("south pole at another longitude") << 77.7 << -90.0 << -29.5338;
        QTest::newRow("date line from the east") << 180.0 << 0.0 << 21.1533;
        QTest::newRow("date line from the west") << -180.0 << 0.0 << 21.1533;
        QTest::newRow("just west of the date line") << 179.9 << 10.0 << 12.7772;
        QTest::newRow("just east of the date line") << -179.9 << 10.0 << 12.5985;
        QTest::newRow("between the last column and the first") << 179.875 << -33.3 << 41.7749;
        QTest::newRow("longitude past 180 wraps") << 195.0 << 0.0 << 15.1433;
        QTest::newRow("west longitude") << -30.0 << 30.0 << 30.1943;
        QTest::newRow("Indian Ocean low") << 78.75 << 4.75 << -106.9911;
        QTest::newRow("Indian Ocean near 5N 78E") << 78.0 << 5.0 << -104.6826;
        QTest::newRow("New Guinea high") << 147.25 << -8.25 << 85.3909;
        QTest::newRow("New Guinea near 5S 145E") << 145.0 << -5.0 << 70.4026;
        QTest::newRow("0 0") << 0.0 << 0.0 << 17.1616;
        QTest::newRow("Beijing") << 116.4 << 39.9 << -9.9199;
        QTest::newRow("test point 38.628155 N 269.779155 E") << 269.779155 << 38.628155 << -31.6090;
        QTest::newRow("test point 14.621217 S 305.021114 E") << 305.021114 << -14.621217 << -2.9658;
        QTest::newRow("test point 46.874319 N 102.448729 E") << 102.448729 << 46.874319 << -43.6166;
        QTest::newRow("test point 23.617446 S 133.874712 E") << 133.874712 << -23.617446 << 15.9269;
        QTest::newRow("test point 38.625473 N 359.9995 E") << 359.9995 << 38.625473 << 50.0360;
        QTest::newRow("test point 0.466744 S 0.0023 E") << 0.0023 << -0.466744 << 17.3361;
    }

    void bundledModel()
    {
        QFETCH(double, L);
        QFETCH(double, B);
        QFETCH(double, undulation);
        TestAppDir app;
        QVERIFY(install(stagedLibrary()));
        const double h = CoreUtils::switchHeight(L, B, 100.0);
        QVERIFY2(std::fabs(h - (100.0 - undulation)) < 0.001, qPrintable(QString::number(h, 'g', 17)));
    }

    // A sweep of the globe off the grid's nodes, PROJ's cct answering for the same points.
    void agreesWithProjOverTheGlobe()
    {
        const QString cct = QStandardPaths::findExecutable(QStringLiteral("cct"));
        QVERIFY2(!cct.isEmpty(), "cct from proj-bin is needed (scripts/deps installs it)");
        QVector<QPair<double, double>> points;
        for (double B = -90.0; B <= 90.0; B += 0.93)
            for (double L = -180.0; L < 180.0; L += 1.17)
                points.append({L, B});
        for (double L = -180.0; L <= 180.0; L += 0.0625)
            points.append({L, 0.1});
        QByteArray input;
        for (const auto& p : points)
            input += QByteArray::number(p.first, 'f', 6) + ' ' + QByteArray::number(p.second, 'f', 6) + " 0\n";

        QProcess proj;
        proj.start(cct, {QStringLiteral("-d"), QStringLiteral("6"), QStringLiteral("+proj=vgridshift"),
                         QStringLiteral("+grids=egm96_15.gtx"), QStringLiteral("+multiplier=1")});
        QVERIFY(proj.waitForStarted(60000));
        proj.write(input);
        proj.closeWriteChannel();
        QVERIFY(proj.waitForFinished(300000));
        QCOMPARE(proj.exitCode(), 0);
        const QList<QByteArray> lines = proj.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), points.size());

        TestAppDir app;
        QVERIFY(install(stagedLibrary()));
        double worst = 0.0;
        for (int i = 0; i < points.size(); ++i) {
            const QList<QByteArray> fields = lines[i].simplified().split(' ');
            QVERIFY2(fields.size() >= 3, lines[i].constData());
            const double reference = fields[2].toDouble();
            const double ours = -CoreUtils::switchHeight(points[i].first, points[i].second, 0.0);
            const double off = std::fabs(ours - reference);
            QVERIFY2(off < 0.001, qPrintable(QStringLiteral("L %1 B %2: %3, PROJ %4")
                                                 .arg(points[i].first)
                                                 .arg(points[i].second)
                                                 .arg(ours, 0, 'f', 6)
                                                 .arg(reference, 0, 'f', 6)));
            worst = std::max(worst, off);
        }
        qInfo("%d points, largest difference from PROJ %.6f m", int(points.size()), worst);
    }

    // Without a whole, readable global grid the library has no model: no height correction.
    void unusableGridGivesZero_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("no grid file") << "missing";
        QTest::newRow("empty grid file") << "empty";
        QTest::newRow("header only") << "header";
        QTest::newRow("grid cut short by one byte") << "short";
        QTest::newRow("grid longer than its header says") << "long";
        QTest::newRow("a folder where the grid should be") << "folder";
        QTest::newRow("grid that stops short of the south pole") << "regional";
        QTest::newRow("grid whose columns do not go round the globe") << "columns";
        QTest::newRow("negative row count") << "rows";
    }

    void unusableGridGivesZero()
    {
        QFETCH(QString, damage);
        QTemporaryDir data;
        QVERIFY(data.isValid());
        const QString grid = data.path() + QStringLiteral("/egm96_15.gtx");
        QByteArray bytes = readInstalledGrid();
        QVERIFY(bytes.size() > 40);
        if (damage == QLatin1String("empty"))
            bytes.clear();
        else if (damage == QLatin1String("header"))
            bytes.truncate(40);
        else if (damage == QLatin1String("short"))
            bytes.chop(1);
        else if (damage == QLatin1String("long"))
            bytes.append(4, '\0');
        else if (damage == QLatin1String("regional"))
            bytes.replace(0, 8, QByteArray::fromHex("c054000000000000")); // south edge -80
        else if (damage == QLatin1String("columns"))
            bytes.replace(24, 8, QByteArray::fromHex("3fd1000000000000")); // 0.265625 degrees
        else if (damage == QLatin1String("rows"))
            bytes.replace(32, 4, QByteArray::fromHex("fffffd2f")); // -721
        if (damage == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(grid));
        else if (damage != QLatin1String("missing"))
            QVERIFY(writeFile(grid, bytes));

        ProjData env(data.path());
        TestAppDir app;
        QVERIFY(install(stagedLibrary()));
        QCOMPARE(CoreUtils::switchHeight(78.0, 5.0, 100.0), 0.0);
        QCOMPARE(CoreUtils::switchHeight(145.0, -5.0, 100.0), 0.0);
    }

    // PROJ_DATA names the folders to look in, as for PROJ's own tools.
    void gridFoundInALaterProjDataFolder()
    {
        QTemporaryDir empty, data;
        QVERIFY(empty.isValid() && data.isValid());
        QVERIFY(writeFile(data.path() + QStringLiteral("/egm96_15.gtx"), readInstalledGrid()));
        ProjData env(empty.path() + QLatin1Char(':') + data.path());
        TestAppDir app;
        QVERIFY(install(stagedLibrary()));
        QVERIFY(std::fabs(CoreUtils::switchHeight(78.0, 5.0, 100.0) - (100.0 + 104.6826)) < 0.001);
    }

    void nonNumberCoordinatesGiveZero()
    {
        TestAppDir app;
        QVERIFY(install(stagedLibrary()));
        QCOMPARE(CoreUtils::switchHeight(std::nan(""), 5.0, 100.0), 0.0);
        QCOMPARE(CoreUtils::switchHeight(78.0, std::numeric_limits<double>::infinity(), 100.0), 0.0);
    }
};

QTEST_GUILESS_MAIN(tst_GeoidLibrary)
#include "tst_GeoidLibrary.moc"
