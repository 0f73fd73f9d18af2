#include <UiTestSupport.h>

#include <BackupList.h>
#include <CardDataChannel.h>
#include <CollectSet.h>
#include <ConfigSetting.h>
#include <DeviceAbout.h>
#include <LocalRecordStore.h>
#include <MainWindow.h>
#include <PlayBackSet.h>
#include <ProtocolManager.h>
#include <ReceiverCNR.h>
#include <ReceiverDataTransportManager.h>
#include <ReceiverEphemeris.h>
#include <ReceiverStar.h>
#include <RecordAssist.h>
#include <RecordHandler.h>
#include <RecordManager.h>
#include <RunStatus.h>
#include <SystemSet2.h>
#include <TcpConnect.h>
#include <TestTime.h>
#include <UiFonts.h>
#include <UpDownLoadAssist.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <memory>

using UiTest::child;

// A user's first session against the simulated instrument as `scripts/run` starts it (the
// default preset): collect, find the new record in the record manager, upload it to the PC, play
// it back, open the receiver windows. Each step is pictured in <build>/test-output/workflow-*.png.
class tst_Workflow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    QString m_out;

    void shot(QWidget* w, const char* name)
    {
        QCoreApplication::processEvents();
        w->grab().save(m_out + QStringLiteral("/workflow-%1.png").arg(QLatin1String(name)));
    }
    static bool waitState(SystemState s, int timeout = TestTime::ms(60000))
    {
        QElapsedTimer clock;
        clock.start();
        while (RunStatus::CurrentStatus() != s && clock.elapsed() < timeout) {
            QSignalSpy spy(RunStatus::instance(), &RunStatus::GlobalChangeState);
            spy.wait(500);
        }
        return RunStatus::CurrentStatus() == s;
    }
    static QString said(const UiTest::DialogRecorder& dialogs)
    {
        QStringList out;
        for (const auto& r : dialogs.requests)
            out << r.title + QLatin1Char('|') + r.text;
        return out.join(QLatin1Char('\n'));
    }
    static int rowOf(QTableView* table, quint32 name)
    {
        const QString text = QDateTime::fromSecsSinceEpoch(name).toString(QStringLiteral("yyyyMMddhhmmss"));
        for (int r = 0; r < table->model()->rowCount(); ++r)
            for (int c = 0; c < table->model()->columnCount(); ++c)
                if (table->model()->index(r, c).data().toString().contains(text)
                    || table->model()->index(r, c).data().toString() == QString::number(name))
                    return r;
        return -1;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        QDir::setCurrent(m_app->root());
        UiTest::stageThemes(*m_app);
        UiFonts::installSubstitutes();
        m_out = QStringLiteral(QT_TESTCASE_BUILDDIR "/test-output");
        QDir().mkpath(m_out);
        m_sim = std::make_unique<InstrumentSim>();
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        ConfigSetting* c = ConfigSetting::instance();
        c->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
        c->SetInit(ConfigKey::NetworkPort, m_sim->port());
        // The folder a user picks under 系统设置 / 数据保存路径 before the first upload.
        QVERIFY(QDir().mkpath(m_app->root() + QStringLiteral("/data")));
        c->SetInit(ConfigKey::DataSavePath, m_app->root() + QStringLiteral("/data"));
        c->configMode = QString();
        c->deviceType = QStringLiteral("Kelo");
        ReceiverDataTransportManager* relay = ReceiverDataTransportManager::Instance();
        relay->setInterfaceSource([] { return QList<NetworkInterfaceEntry>(); });
        relay->setListenForTest(QHostAddress::LocalHost, 0);
        ProtocolManager::instance()->link()->setReconnectInterval(TestTime::ms(100));
        TestTime::scaleTransferClocks(*ProtocolManager::instance(), *UpDownLoadAssist::instance());
    }

    void firstSession()
    {
        UiTest::DialogRecorder dialogs;
        dialogs.answer = QDialogButtonBox::Yes;
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(ProtocolManager::instance()->isConnected(), TestTime::ms(20000));
        w.resize(1366, 768);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        // Collect: every channel row starts on a band of its own.
        auto* collect = w.findChild<CollectSet*>();
        QTRY_VERIFY_WITH_TIMEOUT(collect->findChild<QComboBox*>("cbx_band4"), TestTime::ms(30000));
        auto* start = child<QToolButton>(collect, "ptn_StartCollect");
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), TestTime::ms(30000));
        QSet<QString> bands;
        for (int i = 1; i <= 4; ++i)
            bands << child<QComboBox>(collect, qPrintable(QStringLiteral("cbx_band%1").arg(i)))->currentText();
        QCOMPARE(bands.size(), 4);
        QCOMPARE(child<QLabel>(collect, "label_bandwidth")->text(), QStringLiteral("40"));
        QCOMPARE(child<QLabel>(collect, "label_SampleRate")->text(), QStringLiteral("62.5"));
        shot(&w, "collection");
        const int records = m_sim->handler<RecordHandler>()->records().size();
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(waitState(SystemState::Collecting));
        auto* stop = child<QToolButton>(collect, "ptn_StopCollect");
        QTRY_VERIFY_WITH_TIMEOUT(stop->isEnabled(), TestTime::ms(30000));
        // The elapsed time on the start button follows the instrument's clock.
        QTRY_VERIFY_WITH_TIMEOUT(start->property("time").toUInt() >= 4, TestTime::ms(30000));
        QCOMPARE(start->text(),
                 QStringLiteral("00:00:%1").arg(start->property("time").toUInt(), 2, 10, QLatin1Char('0')));
        shot(&w, "collecting");
        QTest::mouseClick(stop, Qt::LeftButton);
        QVERIFY(waitState(SystemState::Idle));
        QCOMPARE(m_sim->handler<RecordHandler>()->records().size(), records + 1);
        const RecordHandler::SimRecord added = m_sim->handler<RecordHandler>()->records().last();
        QVERIFY(added.duration >= 4);
        QCOMPARE(added.bands.size(), 4);

        // The new record in the record manager.
        QTest::mouseClick(child<QToolButton>(&w, "pbn_recordmanager"), Qt::LeftButton);
        auto* manager = w.findChild<RecordManager*>();
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QTest::mouseClick(child<QAbstractButton>(manager, "ptn_Refresh"), Qt::LeftButton);
        QVERIFY(UiTest::waitCount(ready, 1, TestTime::ms(30000)));
        auto* table = child<QTableView>(manager, "tabel_Device");
        QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), records + 1, TestTime::ms(10000));
        const int row = rowOf(table, added.name);
        QVERIFY(row >= 0);
        table->selectRow(row);
        shot(&w, "record-manager");

        // Upload to the PC: every card's file holds the instrument's data for it.
        QTest::mouseClick(child<QAbstractButton>(manager, "ptn_Upload"), Qt::LeftButton);
        QVERIFY2(waitState(SystemState::Uploading), qPrintable(said(dialogs)));
        shot(&w, "uploading");
        QVERIFY(waitState(SystemState::Idle, TestTime::ms(180000)));
        const QString folder = LocalRecordStore::recordFolderPath(QStringLiteral("KELO-SIM01"), added.name);
        const qint64 cardBytes = qint64(added.size) * 1048576 / m_sim->profile().boards.size();
        for (int card = 0; card < m_sim->profile().boards.size(); ++card) {
            QFile f(folder + QStringLiteral("/%1_%2.wdd").arg(added.name).arg(card));
            QCOMPARE(f.size(), cardBytes);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.read(2 * 1048576), CardDataChannel::block(added.name, card, 0, 2));
        }

        // The local copy in the backup list, once the page has refreshed after the upload.
        auto* local = child<QAbstractButton>(manager, "ptn_download");
        QTRY_VERIFY_WITH_TIMEOUT(local->isEnabled() && local->isVisible(), TestTime::ms(30000));
        QTest::mouseClick(local, Qt::LeftButton);
        BackupList* backups = BackupList::instance();
        QTRY_VERIFY_WITH_TIMEOUT(backups->isVisible(), TestTime::ms(10000));
        auto* copies = backups->findChild<QTableView*>();
        QVERIFY(copies);
        QTRY_VERIFY_WITH_TIMEOUT(rowOf(copies, added.name) >= 0, TestTime::ms(10000));
        shot(backups, "backup-list");
        backups->close();

        // Playback of the new record, two loops: the loop count follows the clock.
        QTest::mouseClick(child<QToolButton>(&w, "pbn_playbackSet"), Qt::LeftButton);
        auto* playback = w.findChild<PlayBackSet*>();
        auto* records2 = child<QTableView>(playback, "tableView_freq");
        QTRY_VERIFY_WITH_TIMEOUT(rowOf(records2, added.name) >= 0, TestTime::ms(10000));
        records2->selectRow(rowOf(records2, added.name));
        auto* unlimited = child<QCheckBox>(playback, "rdb_nolimit");
        if (unlimited->isChecked())
            unlimited->click();
        child<QSpinBox>(playback, "spb_loopTimes")->setValue(2);
        QTest::mouseClick(child<QToolButton>(playback, "tbn_startplayback"), Qt::LeftButton);
        QVERIFY(waitState(SystemState::Playback));
        auto* startPlayback = child<QToolButton>(playback, "tbn_startplayback");
        QTRY_COMPARE_WITH_TIMEOUT(startPlayback->text(), QStringLiteral("第1次回放"), TestTime::ms(15000));
        QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(playback, "progressBar")->value() > 0, TestTime::ms(15000));
        shot(&w, "playback");
        QTest::mouseClick(child<QToolButton>(playback, "tbn_stopplayback"), Qt::LeftButton);
        QVERIFY(waitState(SystemState::Idle));

        // The receiver windows fill from the instrument's receiver.
        QTest::mouseClick(child<QToolButton>(&w, "pbn_cn0"), Qt::LeftButton);
        QTest::mouseClick(child<QToolButton>(&w, "pbn_starSpace"), Qt::LeftButton);
        QTest::mouseClick(child<QToolButton>(&w, "pbn_eph"), Qt::LeftButton);
        ReceiverCNR* cnr = ReceiverCNR::Instance();
        cnr->resize(1400, 820);
        ReceiverStar::Instance()->resize(800, 600);
        ReceiverEphemeris::Instance()->resize(1400, 800);
        QTRY_VERIFY_WITH_TIMEOUT(cnr->valueLabel(0)->text().contains(QLatin1Char('/')), TestTime::ms(30000));
        QTest::qWait(3000); // a few epochs for the bars and the sky plot
        shot(cnr, "receiver");
        shot(ReceiverStar::Instance(), "sky-plot");
        shot(ReceiverEphemeris::Instance(), "ephemeris");
        for (QWidget* win : {static_cast<QWidget*>(cnr), static_cast<QWidget*>(ReceiverStar::Instance()),
                             static_cast<QWidget*>(ReceiverEphemeris::Instance())})
            win->close();

        QTest::mouseClick(child<QToolButton>(&w, "pbn_systemSet"), Qt::LeftButton);
        shot(&w, "device-information");
        auto* tabs = child<QTabWidget>(&w, "tabWidget_function");
        tabs->setCurrentWidget(child<QWidget>(&w, "tab_bandwidth"));
        shot(&w, "bandwidth-settings");
        QTest::mouseClick(child<QToolButton>(&w, "pbn_collectSet"), Qt::LeftButton);
        shot(&w, "main-window");

        ProtocolManager::instance()->DisConnectTcp();
        delete w.calibrationWindow();
    }
};

QTEST_MAIN(tst_Workflow)
#include "tst_Workflow.moc"
