#include <AppPaths.h>
#include <CoreUtils.h>
#include <TestAppDir.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <cmath>

using Kelo::Core::CoreUtils;

namespace {
constexpr double kDegToRad = 3.141592653589793 / 180.0;

QString stagedLibrary()
{
    return QStringLiteral(KELO_BIN_DIR "/Kelo_AppData/Kelo_ThirdPart/Geoidh_EGM2008_DLL.dll");
}

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

    // The bundled model is coarse: it holds the broad shape of the geoid, not its detail.
    void bundledModel_data()
    {
        QTest::addColumn<double>("L");
        QTest::addColumn<double>("B");
        QTest::addColumn<double>("undulation");
        QTest::newRow("grid node 0 0") << 0.0 << 0.0 << 17.0;
        QTest::newRow("grid node Indian Ocean") << 90.0 << 0.0 << -65.0;
        QTest::newRow("north pole") << 45.0 << 90.0 << 14.0;
        QTest::newRow("south pole") << -100.0 << -90.0 << -30.0;
        QTest::newRow("halfway between 0 and 30 east") << 15.0 << 0.0 << 8.5;
        QTest::newRow("west longitude wraps") << -30.0 << 30.0 << 55.0;
        QTest::newRow("across the date line") << 195.0 << 0.0 << 12.5;
    }

    void bundledModel()
    {
        QFETCH(double, L);
        QFETCH(double, B);
        QFETCH(double, undulation);
        TestAppDir app;
        QVERIFY(install(stagedLibrary()));
        const double h = CoreUtils::switchHeight(L, B, 100.0);
        QVERIFY2(std::fabs(h - (100.0 - undulation)) < 1e-9, qPrintable(QString::number(h, 'g', 17)));
    }
};

QTEST_GUILESS_MAIN(tst_GeoidLibrary)
#include "tst_GeoidLibrary.moc"
