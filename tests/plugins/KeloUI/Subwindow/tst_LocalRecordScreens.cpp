#include "LocalRecordFiles.h"

#include <UiTestSupport.h>

#include <BackupList.h>
#include <ConfigSetting.h>
#include <ImportIntroForm.h>
#include <ProtocolManager.h>
#include <RecordImport.h>
#include <TcpConnect.h>
#include <TestTime.h>
#include <UiFonts.h>
#include <UploadChoose.h>
#include <WindowPlacement.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <utility>

using LocalRecordFiles::kMiB;

// Pictures of the local record windows, written to <build>/test-output. Under a real display
// (xvfb-run with QT_QPA_PLATFORM=xcb) the whole screen is captured.
class tst_LocalRecordScreens : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    UiTest::Screenshots m_shots;
    std::unique_ptr<InstrumentSim> m_sim;

private slots:
    void cleanup() { m_shots.verifyNothingClipped(); }

    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        m_shots.setUp(*m_app);
        WindowPlacement::install(nullptr);
        UiTest::stageThemes(*m_app);
        UiFonts::installSubstitutes();
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_app->root() + QStringLiteral("/data"));
        BackupList::instance();
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        ProtocolManager* pm = ProtocolManager::instance();
        pm->link()->setReconnectInterval(TestTime::ms(100));
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo | UiTest::Settings));
    }
    void cleanupTestCase()
    {
        UiTest::disconnect();
        m_sim.reset();
    }

    void backupListWithRecords()
    {
        const QString store = m_app->root() + QStringLiteral("/data/KELO-SIM01/RecordData");
        LocalRecordFiles::StoredRecord s;
        s.name = 1700000000;
        s.startTime = 1700000000;
        s.duration = 125;
        s.sizeMiB = 8;
        s.bands = {1, 2, 3, 9};
        s.remark = QStringLiteral("屋顶天线 北斗与GPS");
        s.cardBytes = {4 * kMiB, 4 * kMiB};
        s.downloaded = kMiB;
        QVERIFY(LocalRecordFiles::write(store, s));
        s.name = 1700003600;
        s.startTime = 1700003600;
        s.bands = {2};
        s.remark = QStringLiteral("未传完");
        s.cardBytes = {4 * kMiB, kMiB};
        s.downloaded = 0;
        QVERIFY(LocalRecordFiles::write(store, s));
        BackupList* list = BackupList::instance();
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list));
        QCOMPARE(list->model()->rowCount(), 2);
        list->findChild<QTableView*>(QStringLiteral("tabel_local"))->selectRow(0);
        QTest::qWait(200);
        QVERIFY(UiTest::hasManyColours(m_shots.capture(list, "backup-list")));
        // The delete question opens whole over the list as well.
        DialogSeam::setResponder(nullptr);
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box && box != list && QTest::qWaitForWindowExposed(box));
            QVERIFY(UiTest::hasManyColours(m_shots.capture(box, "backup-list-delete-question")));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QVERIFY(QMetaObject::invokeMethod(list, "on_tbn_deleteRecord_clicked"));
        UiTest::StrayDialogs::reinstall();
        QCOMPARE(list->model()->rowCount(), 2);
        list->hide();
    }

    void recordImportWithTwoFiles()
    {
        const QString src = m_app->root() + QStringLiteral("/src");
        QDir().mkpath(src);
        QStringList files;
        for (const char* name : {"/field_card1.dat", "/field_card2.dat"}) {
            QFile f(src + QLatin1String(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(100 * kMiB + 512));
            files << f.fileName();
        }
        RecordImport* w = RecordImport::Instance();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->HandleFileList(files);
        QCOMPARE(w->findChild<QTableWidget*>(QStringLiteral("tableWidget"))->rowCount(), 2);
        QTest::qWait(200);
        QVERIFY(UiTest::hasManyColours(m_shots.capture(w, "record-import")));
        w->hide();
    }

    void uploadChannelChoice()
    {
        UploadChoose w;
        for (const char* name : {"GPS_L1", "BDS_B1I", "BDS_B3I"})
            w.model()->appendRow(new QStandardItem(QString::fromUtf8(name)));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "upload-choose")));
    }

    void importNoteForm()
    {
        ImportIntroForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "import-note")));
    }

    // A file below 1 MB shows its size with its unit, not "0".
    void recordImportWithASmallFile()
    {
        const QString src = m_app->root() + QStringLiteral("/small");
        QDir().mkpath(src);
        QFile f(src + QStringLiteral("/short.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(500000));
        RecordImport* w = RecordImport::Instance();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->findChild<QPushButton*>(QStringLiteral("pushButton_clean"))->click();
        w->HandleFileList({f.fileName()});
        QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("lineEdit_file_size"))->text(), QStringLiteral("488.281 KB"));
        QTest::qWait(200);
        QVERIFY(UiTest::hasManyColours(m_shots.capture(w, "record-import-small-file")));
        w->findChild<QPushButton*>(QStringLiteral("pushButton_clean"))->click();
        w->hide();
    }

    // Last: without an instrument the PC's copies still name their bands.
    void backupListWithoutAnInstrument()
    {
        UiTest::disconnect();
        ProtocolManager::instance()->freqBands.clear();
        const QString store = m_app->root() + QStringLiteral("/data/KELO-SIM01/RecordData");
        LocalRecordFiles::StoredRecord s;
        s.name = 1700007200;
        s.startTime = 1700007200;
        s.duration = 65;
        s.sizeMiB = 8;
        s.bands = {1, 2, 3, 4};
        s.bandNames = QStringList{"GPS L1", "BDS B1I", "GLONASS G1", "Galileo E5b"};
        s.remark = QStringLiteral("带频段名的副本");
        s.cardBytes = {4 * kMiB, 4 * kMiB};
        QVERIFY(LocalRecordFiles::write(store, s));
        BackupList* list = BackupList::instance();
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list));
        list->on_tbn_refresh_clicked();
        QTest::qWait(200);
        QVERIFY(UiTest::hasManyColours(m_shots.capture(list, "backup-list-offline")));
        list->hide();
    }
};

QTEST_MAIN(tst_LocalRecordScreens)
#include "tst_LocalRecordScreens.moc"
