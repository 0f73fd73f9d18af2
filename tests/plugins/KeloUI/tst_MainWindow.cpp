#include <UiTestSupport.h>

#include <BootScreen.h>
#include <CollectSet.h>
#include <ConfigSetting.h>
#include <InstrumentSim.h>
#include <MainWindow.h>
#include <MaskWidget.h>
#include <MessageDialog.h>
#include <ParamConfig.h>
#include <PlaceholderPage.h>
#include <PlayBackSet.h>
#include <ProtocolManager.h>
#include <QAbstractButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QTimer>
#include <ReceiverCNR.h>
#include <ReceiverDataTransportManager.h>
#include <ReceiverEphemeris.h>
#include <ReceiverStar.h>
#include <RecordAssist.h>
#include <RecordManager.h>
#include <RunStatus.h>
#include <TestTime.h>

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {
const QStringList kNavButtons{"pbn_collectSet", "pbn_playbackSet", "pbn_recordmanager", "pbn_cn0",
                              "pbn_eph",        "pbn_starSpace",   "pbn_systemSet",     "pbn_extend"};
} // namespace

// A class of its own, as the pages' custom widgets are: left alone by the scaling.
class LabelSubclass : public QLabel
{
    Q_OBJECT
};

class tst_MainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;

    static void configure(const QString& mode, const QString& type, const QVariant& receiver)
    {
        ConfigSetting* c = ConfigSetting::instance();
        c->configMode = mode;
        c->deviceType = type;
        c->SetInit(ConfigKey::Receiver, receiver);
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        UiTest::stageThemes(*m_app);
        // Nobody listens here, so the windows below stay without a link until a test starts a peer.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkPort, probe.serverPort());
    }

    void variantRules_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("receiver");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("mainLabel");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("extendText");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QStringList>("hiddenPages");

        // The task bar says what the window's own title bar says.
        const QString kelo = "采集回放仪控制软件";
        const QString trans = "转发器控制软件";
        QTest::newRow("CPCI keeps every button and adds the DB9 panel")
            << "CPCI"
            << "Kelo" << QVariant() << kelo << "采集回放仪控制软件" << QStringList{} << "CollectSet"
            << "DB9数据"
            << "CPCIDB9" << QStringList{};
        QTest::newRow("518 hides ephemeris, adds the interface panel")
            << "518"
            << "Kelo" << QVariant() << kelo << "采集回放仪控制软件" << QStringList{"pbn_eph"} << "CollectSet"
            << "扩展协议"
            << "Extend518" << QStringList{};
        QTest::newRow("SCENE adds the scene manager")
            << "SCENE"
            << "Kelo" << QVariant() << kelo << "采集回放仪控制软件" << QStringList{"pbn_eph"} << "CollectSet"
            << "场景管理"
            << "SceneManagerForm" << QStringList{};
        QTest::newRow("LEO hides ephemeris and extension") << "LEO"
                                                           << "Kelo" << QVariant() << kelo << "采集回放仪控制软件"
                                                           << QStringList{"pbn_eph", "pbn_extend"} << "CollectSet"
                                                           << "扩展"
                                                           << "" << QStringList{};
        QTest::newRow("FBS behaves as LEO") << "FBS"
                                            << "Kelo" << QVariant() << kelo << "采集回放仪控制软件"
                                            << QStringList{"pbn_eph", "pbn_extend"} << "CollectSet"
                                            << "扩展"
                                            << "" << QStringList{};
        QTest::newRow("empty mode behaves as LEO") << ""
                                                   << "Kelo" << QVariant() << kelo << "采集回放仪控制软件"
                                                   << QStringList{"pbn_eph", "pbn_extend"} << "CollectSet"
                                                   << "扩展"
                                                   << "" << QStringList{};
        QTest::newRow("PLAYBACK opens on playback without collection")
            << "PLAYBACK"
            << "Kelo" << QVariant() << kelo << "采集回放仪控制软件"
            << QStringList{"pbn_collectSet", "pbn_eph", "pbn_extend"} << "PlayBackSet"
            << "扩展"
            << "" << QStringList{"CollectSet"};
        QTest::newRow("receiver false hides the receiver views")
            << "CPCI"
            << "Kelo" << QVariant("false") << kelo << "采集回放仪控制软件" << QStringList{"pbn_cn0", "pbn_starSpace"}
            << "CollectSet"
            << "DB9数据"
            << "CPCIDB9" << QStringList{};
        QTest::newRow("receiver FALSE in capitals hides them too")
            << "CPCI"
            << "Kelo" << QVariant("FALSE") << kelo << "采集回放仪控制软件" << QStringList{"pbn_cn0", "pbn_starSpace"}
            << "CollectSet"
            << "DB9数据"
            << "CPCIDB9" << QStringList{};
        QTest::newRow("transponder without receiver key")
            << "LEO"
            << "TRANS" << QVariant() << trans << trans
            << QStringList{"pbn_eph", "pbn_extend", "pbn_recordmanager", "pbn_playbackSet", "pbn_cn0", "pbn_starSpace"}
            << "CollectSet"
            << "扩展"
            << "" << QStringList{"PlayBackSet", "RecordManager"};
        QTest::newRow("transponder with receiver TRUE keeps the views")
            << "LEO"
            << "TRANS" << QVariant("TRUE") << trans << trans
            << QStringList{"pbn_eph", "pbn_extend", "pbn_recordmanager", "pbn_playbackSet"} << "CollectSet"
            << "扩展"
            << "" << QStringList{"PlayBackSet", "RecordManager"};
        QTest::newRow("PLAYBACK transponder hides all three record pages")
            << "PLAYBACK"
            << "TRANS" << QVariant() << trans << trans
            << QStringList{"pbn_collectSet",  "pbn_eph", "pbn_extend",   "pbn_recordmanager",
                           "pbn_playbackSet", "pbn_cn0", "pbn_starSpace"}
            << "PlayBackSet"
            << "扩展"
            << "" << QStringList{"CollectSet", "PlayBackSet", "RecordManager"};
    }

    void variantRules()
    {
        QFETCH(QString, mode);
        QFETCH(QString, type);
        QFETCH(QVariant, receiver);
        QFETCH(QString, title);
        QFETCH(QString, mainLabel);
        QFETCH(QStringList, hidden);
        QFETCH(QString, current);
        QFETCH(QString, extendText);
        QFETCH(QString, panel);
        QFETCH(QStringList, hiddenPages);
        configure(mode, type, receiver);
        MainWindow w;
        QCOMPARE(w.windowTitle(), title);
        QCOMPARE(w.findChild<QLabel*>("label_main")->text(), mainLabel);
        for (const QString& name : kNavButtons) {
            auto* b = w.findChild<QToolButton*>(name);
            QVERIFY2(b, qPrintable(name));
            const bool shouldHide = hidden.contains(name);
            QVERIFY2(b->isHidden() == shouldHide, qPrintable(name));
            QVERIFY2(b->isEnabled() == !shouldHide, qPrintable(name));
        }
        QCOMPARE(w.pageStack()->currentWidget()->objectName(), current);
        QCOMPARE(w.findChild<QToolButton*>("pbn_extend")->text(), extendText);
        QCOMPARE(w.extendPanel() ? w.extendPanel()->objectName() : QString(), panel);
        if (w.extendPanel()) {
            QVERIFY(!w.extendPanel()->parent());
            // The button names the panel as its own title does.
            QCOMPARE(w.extendPanel()->windowTitle(), extendText);
        }
        for (int i = 0; i < w.pageStack()->count(); ++i) {
            QWidget* page = w.pageStack()->widget(i);
            const bool shouldHide = hiddenPages.contains(page->objectName());
            // Started without an instrument: the pages that need one are off as well.
            const bool needsTheInstrument =
                page->objectName() == QLatin1String("CollectSet") || page->objectName() == QLatin1String("PlayBackSet");
            QVERIFY2(page->isEnabled() == (!shouldHide && !needsTheInstrument), qPrintable(page->objectName()));
        }
        const bool transponder = type == "TRANS";
        QCOMPARE(w.findChild<QToolButton*>("pbn_collectSet")->text(),
                 transponder ? QString("转发设置") : QString("采集设置"));
        QCOMPARE(w.pageStack()->widget(0)->windowTitle(), transponder ? QString("转发设置") : QString("采集设置"));
        delete w.extendPanel();
    }

    void formAndPagesInTheirOrder()
    {
        configure("LEO", "Kelo", QVariant());
        MainWindow w;
        QVERIFY(!w.isVisible());
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(w.hasMouseTracking());
        QVERIFY(w.findChild<QToolButton*>("tbn_stylesheet")->isHidden());
        QVERIFY(w.styleSheet().contains("#navbar_widget"));
        QStringList order;
        for (int i = 0; i < w.pageStack()->count(); ++i)
            order << w.pageStack()->widget(i)->objectName();
        QCOMPARE(order, (QStringList{"CollectSet", "PlayBackSet", "RecordManager", "DeviceAbout"}));
        QVERIFY(qobject_cast<PlayBackSet*>(w.pageStack()->widget(1)));
        QVERIFY(qobject_cast<RecordManager*>(w.pageStack()->widget(2)));
        QVERIFY(qobject_cast<CollectSet*>(w.pageStack()->widget(0)));
        // The calibration window is a window of its own, hidden until asked for.
        QVERIFY(qobject_cast<ParamConfig*>(w.calibrationWindow()));
        QVERIFY(w.calibrationWindow() && !w.calibrationWindow()->parent());
        QVERIFY(!w.calibrationWindow()->isVisible());
        // No instrument yet: from the first frame the look of a dropped link, not "idle".
        QCOMPARE(w.findChild<QLabel*>("label_global_status")->text(), QStringLiteral("未连接"));
        QCOMPARE(w.findChild<QLabel*>("label_SystemStatus")->text(), QStringLiteral("设备未连接"));
        for (const char* fault : {"label_global_status", "label_SystemStatus"})
            QVERIFY2(w.findChild<QLabel*>(fault)->styleSheet().contains("230, 20, 20"), fault);
        QVERIFY(!w.pageStack()->widget(0)->isEnabled());
        QVERIFY(!w.pageStack()->widget(1)->isEnabled());
        auto* notice = w.findChild<QLabel*>("label_offline");
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), QStringLiteral("设备未连接：需要设备的功能已停用，正在自动重连（每 3 秒一次）"));
        // Room for the clock source from the start: its first report moves nothing beside it.
        auto* clock = w.findChild<QLabel*>("label_statusBar");
        QVERIFY(clock->minimumWidth() >= clock->fontMetrics().horizontalAdvance("时钟源：外部时钟"));
        QCOMPARE(w.findChild<QLabel*>("label_DurationTime")->text(), QStringLiteral("00:00:00"));
        QCOMPARE(w.findChild<QLabel*>("label_SN")->text(), QStringLiteral("未连接设备"));
        QCOMPARE(MaskWidget::instance()->mainWidget(), &w);
        QCOMPARE(MaskWidget::instance()->dialogNames(),
                 (QStringList{"BackupList", "TimeSeletor", "MessageDialog", "RecordImport"}));
        QVERIFY(BootScreen::instance()->isVisible());
        BootScreen::instance()->close();

        QFile log(m_app->logDir() + "/0.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains("[INFO]主界面启动成功\r\n"));
        delete w.calibrationWindow();
    }

    void navigationSelectsPageAndStyle()
    {
        configure("CPCI", "Kelo", QVariant());
        MainWindow w;
        auto* collect = w.findChild<QToolButton*>("pbn_collectSet");
        auto* playback = w.findChild<QToolButton*>("pbn_playbackSet");
        auto* cn0 = w.findChild<QToolButton*>("pbn_cn0");
        QCOMPARE(collect->styleSheet(), MainWindow::selectedStyle());
        QCOMPARE(playback->styleSheet(), MainWindow::normalStyle());

        playback->click();
        QCOMPARE(w.pageStack()->currentWidget()->objectName(), QStringLiteral("PlayBackSet"));
        QCOMPARE(playback->styleSheet(), MainWindow::selectedStyle());
        QCOMPARE(collect->styleSheet(), MainWindow::normalStyle());

        w.findChild<QToolButton*>("pbn_systemSet")->click();
        QCOMPARE(w.pageStack()->currentWidget()->objectName(), QStringLiteral("DeviceAbout"));

        // A receiver button has no page: the page stays, the button still looks selected.
        cn0->click();
        QCOMPARE(w.pageStack()->currentWidget()->objectName(), QStringLiteral("DeviceAbout"));
        QCOMPARE(cn0->styleSheet(), MainWindow::selectedStyle());
        QCOMPARE(w.findChild<QToolButton*>("pbn_systemSet")->styleSheet(), MainWindow::normalStyle());
        // Back in front, the main window marks the page it shows, not the window gone behind.
        w.show();
        QApplication::setActiveWindow(&w);
        QTRY_COMPARE(w.findChild<QToolButton*>("pbn_systemSet")->styleSheet(), MainWindow::selectedStyle());

        w.OnNavBarCurrentitemChanged(7, "记录管理");
        QCOMPARE(w.pageStack()->currentWidget()->objectName(), QStringLiteral("RecordManager"));
        w.OnNavBarCurrentitemChanged(0, "没有这一页");
        QCOMPARE(w.pageStack()->currentWidget()->objectName(), QStringLiteral("RecordManager"));
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    // The page on screen stays marked in the navigation column, in every theme, after its 刷新
    // has fetched the list again and after the link drops. The mark must stand out by itself:
    // the selection gradient can hardly be seen, and the mouse has left the button for 刷新.
    void selectedPageStaysMarkedAfterRefresh()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        configure("CPCI", "Kelo", QVariant());
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ProtocolManager* pm = ProtocolManager::instance();
        QSignalSpy state(pm, &ProtocolManager::UpdateDeviceState);
        pm->ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
        QVERIFY(UiTest::waitCount(state, 1, TestTime::ms(20000)));
        auto* records = w.findChild<QToolButton*>("pbn_recordmanager");
        auto* other = w.findChild<QToolButton*>("pbn_playbackSet");
        QTest::mouseClick(records, Qt::LeftButton);
        auto* refresh = w.pageStack()->currentWidget()->findChild<QPushButton*>("ptn_Refresh");
        QVERIFY(refresh);
        // The left edge, where the themes draw the mark, set against an unselected button's.
        auto marked = [&] {
            QCoreApplication::processEvents();
            const QImage on = records->grab().toImage();
            const QImage off = other->grab().toImage();
            const QColor a = on.pixelColor(2, on.height() / 2);
            const QColor b = off.pixelColor(2, off.height() / 2);
            return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) > 60;
        };
        const QList<QAction*> skins = w.findChild<QToolButton*>("tbn_stylesheet")->actions();
        QCOMPARE(skins.size(), 8);
        for (QAction* skin : skins) {
            skin->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(refresh->isEnabled(), TestTime::ms(15000));
            QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
            QTest::mouseClick(refresh, Qt::LeftButton);
            QVERIFY(ready.wait(TestTime::ms(15000)));
            QVERIFY2(marked(), qPrintable(skin->text()));
        }
        QSignalSpy link(pm, &ProtocolManager::NetSuccess);
        sim.setRefusing(true);
        sim.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(!refresh->isEnabled(), TestTime::ms(15000));
        QVERIFY(marked());
        pm->DisConnectTcp();
        UiTest::waitCount(link, 1);
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    void restoredGeometry_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<bool>("havePos");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("stored geometry as is")
            << QSize(1037, 706) << QPoint(20, 30) << true << QRect(0, 0, 1920, 1080) << 1.0 << QRect(20, 30, 1037, 706);
        QTest::newRow("position beyond the right edge") << QSize(1037, 706) << QPoint(5000, 100) << true
                                                        << QRect(0, 0, 1920, 1080) << 1.0 << QRect(883, 100, 1037, 706);
        QTest::newRow("position below the bottom") << QSize(1037, 706) << QPoint(10, 2000) << true
                                                   << QRect(0, 0, 1920, 1080) << 1.0 << QRect(10, 374, 1037, 706);
        QTest::newRow("negative position")
            << QSize(1037, 706) << QPoint(-50, -5) << true << QRect(0, 0, 1920, 1080) << 1.0 << QRect(0, 0, 1037, 706);
        QTest::newRow("144 dpi scales by 1.5")
            << QSize(1037, 706) << QPoint(0, 0) << true << QRect(0, 0, 1920, 1080) << 1.5 << QRect(0, 0, 1556, 1059);
        QTest::newRow("144 dpi capped to a small screen")
            << QSize(1037, 706) << QPoint(100, 20) << true << QRect(0, 0, 1280, 1024) << 1.5 << QRect(0, 0, 1280, 1024);
        QTest::newRow("saved on 1920x1080, restored on 1366x768 with a top panel")
            << QSize(1200, 700) << QPoint(600, 300) << true << QRect(0, 27, 1366, 741) << 1.0
            << QRect(166, 68, 1200, 700);
        QTest::newRow("larger than the available area takes it")
            << QSize(1500, 900) << QPoint(400, 150) << true << QRect(0, 27, 1366, 741) << 1.0
            << QRect(0, 27, 1366, 741);
        QTest::newRow("position on a second screen's area is kept on it")
            << QSize(1037, 706) << QPoint(2000, 50) << true << QRect(1920, 0, 1366, 768) << 1.0
            << QRect(2000, 50, 1037, 706);
        QTest::newRow("first start centres the designer size")
            << QSize() << QPoint() << false << QRect(0, 0, 1920, 1080) << 1.0 << QRect(441, 187, 1037, 706);
    }

    void restoredGeometry()
    {
        QFETCH(QSize, stored);
        QFETCH(QPoint, pos);
        QFETCH(bool, havePos);
        QFETCH(QRect, screen);
        QFETCH(double, scale);
        QFETCH(QRect, expected);
        QCOMPARE(MainWindow::RestoredGeometry(stored, pos, havePos, screen, scale), expected);
    }

    void messageOpenDoesNotHoldAStateChange()
    {
        UiTest::RealDialogs real;
        configure("LEO", "Kelo", QVariant());
        // A page that reports on the state change ahead of the window's own handler, while an
        // earlier message is still open: the change reaches the status bar all the same.
        const auto reporter = connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this,
                                      [] { MessageDialog::ShowMessage("上传结果", "上传完成!", 3); });
        MainWindow w;
        // The change is the instrument's, on a link that is up: offline the PC's own changes
        // say nothing of it.
        w.slot_NetworkConnectState(true);
        auto* status = w.findChild<QLabel*>("label_global_status");
        MessageDialog::ShowMessage("提示", "记录已删除", 3);
        QString meanwhile;
        QTimer::singleShot(300, [&] {
            meanwhile = status->text();
            for (QWidget* d : UiTest::visibleWindows("MessageDialog"))
                d->findChild<QDialogButtonBox*>("buttonBox")->buttons().first()->click();
        });
        RunStatus::instance()->slot_GlobalStatus(SystemState::Uploading);
        QCOMPARE(status->text(), QStringLiteral("上传中"));
        QTRY_VERIFY(!meanwhile.isEmpty());
        QCOMPARE(meanwhile, QStringLiteral("上传中"));
        disconnect(reporter);
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                for (QWidget* d : UiTest::visibleWindows("MessageDialog"))
                    d->findChild<QDialogButtonBox*>("buttonBox")->buttons().first()->click();
                return UiTest::visibleWindows("MessageDialog").isEmpty() && MessageDialog::waitingCount() == 0;
            }(),
            TestTime::ms(10000));
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        delete w.calibrationWindow();
    }

    // A window left behind the main window comes back in front, with the focus, when its entry
    // is pressed again (on X11 too, where openbox keeps windows that merely raise themselves back).
    void entryBringsItsWindowBack_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("clicksToOpen");
        QTest::addColumn<QString>("mode");
        QTest::newRow("监测数据") << "pbn_cn0" << 1 << "CPCI";
        QTest::newRow("星历数据") << "pbn_eph" << 1 << "CPCI";
        QTest::newRow("星空图") << "pbn_starSpace" << 1 << "CPCI";
        QTest::newRow("DB9数据") << "pbn_extend" << 1 << "CPCI";
        QTest::newRow("接口协议") << "pbn_extend" << 1 << "518";
        QTest::newRow("场景管理") << "pbn_extend" << 1 << "SCENE";
        QTest::newRow("calibration, once its five clicks opened it") << "pbn_ParaCalib" << 5 << "LEO";
    }
    void entryBringsItsWindowBack()
    {
        QFETCH(QString, mode);
        QFETCH(QString, entry);
        QFETCH(int, clicksToOpen);
        configure(mode, "Kelo", QVariant());
        ReceiverDataTransportManager::Instance()->setListenForTest(QHostAddress::LocalHost, 0);
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* button = w.findChild<QToolButton*>(entry);
        for (int i = 0; i < clicksToOpen; ++i)
            QTest::mouseClick(button, Qt::LeftButton);
        const QMap<QString, QWidget*> windows{{"pbn_cn0", ReceiverCNR::Instance()},
                                              {"pbn_eph", ReceiverEphemeris::Instance()},
                                              {"pbn_starSpace", ReceiverStar::Instance()},
                                              {"pbn_extend", w.extendPanel()},
                                              {"pbn_ParaCalib", w.calibrationWindow()}};
        QWidget* opened = windows.value(entry);
        QTRY_COMPARE(QApplication::activeWindow(), opened);
        w.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &w);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(QApplication::activeWindow(), opened);
        opened->hide();
        ReceiverDataTransportManager::Instance()->StopReceiverDataTrans();
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    // Run on a real display of a given size (see CMakeLists.txt): the window opens within the
    // available screen on a first start and after a geometry stored on a larger screen, keeps
    // its size across the pages, and every page can be reached. On a screen 1366 px wide the
    // settings tabs show whole beside the status log, in either language, with every tab the
    // page has before it knows the instrument (seven) and with the standard instrument's five.
    void fitsTheScreen_data()
    {
        QTest::addColumn<QVariant>("size");
        QTest::addColumn<QVariant>("position");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("english");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<int>("tabs");
        QTest::newRow("first start") << QVariant() << QVariant() << "CPCI" << false << false << 7;
        QTest::newRow("stored on a 1920x1080 screen")
            << QVariant(QSize(1500, 900)) << QVariant(QPoint(400, 150)) << "518" << false << false << 7;
        QTest::newRow("stored far off the screen")
            << QVariant(QSize(1037, 706)) << QVariant(QPoint(1800, 1000)) << "SCENE" << false << false << 7;
        QTest::newRow("English, every tab") << QVariant() << QVariant() << "CPCI" << true << false << 7;
        QTest::newRow("the standard instrument's five tabs")
            << QVariant() << QVariant() << "SCENE" << false << true << 5;
        QTest::newRow("English, the standard instrument's five tabs")
            << QVariant() << QVariant() << "SCENE" << true << true << 5;
    }

    void fitsTheScreen()
    {
        QFETCH(QVariant, size);
        QFETCH(QVariant, position);
        QFETCH(QString, variant);
        QFETCH(bool, english);
        QFETCH(bool, linked);
        QFETCH(int, tabs);
        const QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();
        if (available.width() < 1024 || available.height() < 740)
            QSKIP("needs a screen of at least 1024x768; the xvfb entries of this test provide one");
        ConfigSetting* c = ConfigSetting::instance();
        c->SetInit(ConfigKey::WindowSize, size);
        c->SetInit(ConfigKey::WindowPosition, position);
        configure(variant, "Kelo", QVariant());
        const QString translation = m_app->binDir() + "/translations/english_keloui.qm";
        auto restore = qScopeGuard([&] {
            c->SetInit(ConfigKey::WindowPosition, QVariant());
            c->SetInit(ConfigKey::WindowSize, QVariant());
            c->isEnglish = false;
            QFile::remove(translation);
        });
        if (english) {
            QDir().mkpath(m_app->binDir() + "/translations");
            QVERIFY(QFile::copy(QStringLiteral(KELO_BIN_DIR "/translations/english_keloui.qm"), translation));
            c->isEnglish = true;
        }
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        MainWindow w;
        // Also when a check fails: a panel left behind would hold the next row's ports.
        auto windows = qScopeGuard([&] {
            delete w.extendPanel();
            delete w.calibrationWindow();
        });
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ProtocolManager* pm = ProtocolManager::instance();
        auto unlink = qScopeGuard([&] {
            QSignalSpy down(pm, &ProtocolManager::NetSuccess);
            if (pm->isConnected()) {
                pm->DisConnectTcp();
                UiTest::waitCount(down, 1);
            }
        });
        if (linked) {
            QSignalSpy state(pm, &ProtocolManager::UpdateDeviceState);
            pm->ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
            QVERIFY(UiTest::waitCount(state, 1, TestTime::ms(20000)));
        }
        auto within = [&](QWidget* window = nullptr) { return UiTest::offScreen(window ? window : &w); };
        QTRY_COMPARE(within(), QString());
        const QSize opened = w.size();
        for (const char* name : {"pbn_playbackSet", "pbn_recordmanager", "pbn_collectSet", "pbn_systemSet"}) {
            QTest::mouseClick(w.findChild<QToolButton*>(name), Qt::LeftButton);
            QCoreApplication::processEvents();
            QCOMPARE(w.size(), opened);
            QCOMPARE(within(), QString());
            // The page is laid out whole: what the window cannot show, it scrolls to.
            QWidget* page = w.pageStack()->currentWidget();
            QVERIFY2(w.pageStack()->width() >= page->minimumSizeHint().width(), name);
            QVERIFY2(w.pageStack()->height() >= page->minimumSizeHint().height(), name);
        }
        // In a window 1366 px wide or more, the device information page's status log shows an
        // ordinary log line on one row, and beside it every settings tab shows whole: the bar
        // neither scrolls nor cuts a title, and the page around it does not scroll.
        auto* log = w.pageStack()->findChild<QTextBrowser*>("textBrowser");
        QVERIFY(log);
        const QString line = QStringLiteral("[2026/12/09 07:42:04.850][INFO]获取设备配置项信息成功");
        const int room = log->viewport()->width() - 2 * int(log->document()->documentMargin());
        auto* function = w.pageStack()->findChild<QTabWidget*>("tabWidget_function");
        QVERIFY(function);
        QCOMPARE(function->count(), tabs);
        if (w.width() >= 1366) {
            QVERIFY2(QFontMetrics(log->font()).horizontalAdvance(line) <= room, qPrintable(QString::number(room)));
            QTabBar* bar = function->tabBar();
            for (QToolButton* arrow : bar->findChildren<QToolButton*>())
                QVERIFY2(!arrow->isVisible(), "the tab bar scrolls");
            QVERIFY2(bar->width() >= bar->sizeHint().width(),
                     qPrintable(QStringLiteral("%1 of %2 px").arg(bar->width()).arg(bar->sizeHint().width())));
            const QRect shown = w.pageArea()->viewport()->rect();
            // Nor does the page scroll down: the link's state, shown while it is down, takes no
            // height of its own.
            QVERIFY2(!w.pageArea()->verticalScrollBar()->isVisible(), "the settings page scrolls");
            for (int i = 0; i < bar->count(); ++i) {
                const QRect tab(bar->mapTo(w.pageArea()->viewport(), bar->tabRect(i).topLeft()),
                                bar->tabRect(i).size());
                QVERIFY2(bar->rect().contains(bar->tabRect(i)) && shown.contains(tab), qPrintable(bar->tabText(i)));
            }
        }
        // The variant's own window opens whole; what it cannot show, it scrolls to.
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_extend"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(w.extendPanel()));
        QTRY_COMPARE(within(w.extendPanel()), QString());
    }

    void scaleWidgetScalesFixedSizesOfPlainClasses()
    {
        QWidget root;
        auto* label = new QLabel(&root);
        label->setMinimumSize(10, 0);
        label->setMaximumSize(100, 16777215);
        auto* button = new QPushButton(&root);
        button->setMinimumSize(21, 31);
        auto* plain = new QWidget(&root);
        plain->setMaximumSize(16777215, 16777214);
        auto* edit = new QLineEdit(&root);
        edit->setMinimumSize(40, 20);
        auto* sub = new LabelSubclass;
        sub->setParent(&root);
        sub->setMinimumSize(40, 20);
        auto* gridBox = new QGroupBox(&root);
        auto* grid = new QGridLayout(gridBox);
        grid->setContentsMargins(9, 9, 9, 9);
        auto* vboxBox = new QGroupBox(&root);
        auto* vbox = new QVBoxLayout(vboxBox);
        vbox->setContentsMargins(3, 5, 7, 9);
        auto* bare = new QGroupBox(&root);
        bare->setMinimumSize(50, 50);

        MainWindow::ScaleWidget(&root, 1.5);
        QCOMPARE(label->minimumSize(), QSize(15, 0));
        QCOMPARE(label->maximumSize(), QSize(150, 16777215));
        QCOMPARE(button->minimumSize(), QSize(31, 46));
        QCOMPARE(plain->maximumSize(), QSize(16777215, 16777215));
        QCOMPARE(edit->minimumSize(), QSize(40, 20));
        QCOMPARE(sub->minimumSize(), QSize(40, 20));
        QCOMPARE(grid->contentsMargins(), QMargins(9, 14, 9, 9));
        QCOMPARE(vbox->contentsMargins(), QMargins(5, 8, 11, 14));
        QCOMPARE(bare->minimumSize(), QSize(50, 50));
    }

    void scalesWithTheScreen()
    {
        configure("LEO", "Kelo", QVariant());
        MainWindow w;
        const double factor = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 96.0;
        QCOMPARE(w.scaleFactor(), factor);
        QCOMPARE(w.findChild<QWidget*>("widget_top")->maximumHeight(), int(40 * factor));
        QCOMPARE(w.findChild<QWidget*>("widget_bottom")->maximumHeight(), int(30 * factor));
        QCOMPARE(w.findChild<QWidget*>("navbar_widget")->minimumWidth(), int(90 * factor));
        QCOMPARE(w.findChild<QToolButton*>("pbn_systemSet")->minimumWidth(), int(90 * factor));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(w.width() <= screen.width() && w.height() <= screen.height());
        delete w.calibrationWindow();
    }

    void releaseStoresTheGeometryInDesignUnits()
    {
        configure("LEO", "Kelo", QVariant());
        MainWindow w;
        w.setMinimumSize(0, 0);
        w.move(12, 34);
        w.resize(int(std::lround(600 * w.scaleFactor())), int(std::lround(400 * w.scaleFactor())));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(300, 200), QPointF(312, 234), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(300, 200), QPointF(312, 234), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &press);
        QCoreApplication::sendEvent(&w, &release);
        ConfigSetting* c = ConfigSetting::instance();
        QCOMPARE(c->GetInit(ConfigKey::WindowPosition).toPoint(), w.pos());
        QCOMPARE(c->GetInit(ConfigKey::WindowSize).toSize(), QSize(600, 400));
        c->SetInit(ConfigKey::WindowPosition, QVariant());
        c->SetInit(ConfigKey::WindowSize, QVariant());
        delete w.calibrationWindow();
    }

    void linkUpShowsTheWindowAndTheBootScreenReconnects()
    {
        QTcpServer first;
        QVERIFY(first.listen(QHostAddress("127.0.0.1"), 0));
        ConfigSetting* c = ConfigSetting::instance();
        c->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
        c->SetInit(ConfigKey::NetworkPort, first.serverPort());
        configure("LEO", "Kelo", QVariant());
        QSignalSpy link(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        MainWindow w;
        QVERIFY(BootScreen::instance()->isVisible());
        QVERIFY(!w.isVisible());
        QVERIFY(link.wait(TestTime::ms(15000)));
        QCOMPARE(link.last().at(0).toBool(), true);
        QTRY_VERIFY(w.isVisible());
        QVERIFY(!BootScreen::instance()->isVisible());

        // A new address typed on the boot screen makes the link go there.
        QTcpServer second;
        QVERIFY(second.listen(QHostAddress("127.0.0.2"), first.serverPort())
                || second.listen(QHostAddress("127.0.0.2"), 0));
        c->SetInit(ConfigKey::NetworkPort, second.serverPort());
        BootScreen* boot = BootScreen::instance();
        boot->findChild<QLineEdit*>("lineEdit_IP")->setText("127.000.000.002");
        QSignalSpy accepted(&second, &QTcpServer::newConnection);
        QTest::mouseClick(boot->findChild<QPushButton*>("pbn_ChangeIP"), Qt::LeftButton);
        QVERIFY(accepted.wait(TestTime::ms(15000)));
        QCOMPARE(c->GetInit(ConfigKey::NetworkIp).toString(), QStringLiteral("127.0.0.2"));
        ProtocolManager::instance()->DisConnectTcp();
        delete w.calibrationWindow();
    }

    // Installs translators for the whole application; keep it last.
    void englishLanguageLoadsTheTranslations()
    {
        const QString from = QStringLiteral(KELO_BIN_DIR "/translations/english_keloui.qm");
        QVERIFY2(QFile::exists(from), qPrintable(from));
        QDir().mkpath(m_app->binDir() + "/translations");
        QVERIFY(QFile::copy(from, m_app->binDir() + "/translations/english_keloui.qm"));
        configure("LEO", "Kelo", QVariant());
        ConfigSetting::instance()->isEnglish = true;
        {
            MainWindow w;
            QCOMPARE(w.installedTranslations(), 1);
            QCOMPARE(w.windowTitle(), QStringLiteral("Record and Playback Control"));
            QCOMPARE(w.findChild<QLabel*>("label_3")->text(), QStringLiteral("State:"));
            QCOMPARE(w.findChild<QToolButton*>("pbn_playbackSet")->text(), QStringLiteral("Playback"));
            delete w.calibrationWindow();
        }
        // No file, no change.
        QVERIFY(QFile::remove(m_app->binDir() + "/translations/english_keloui.qm"));
        MainWindow w;
        QCOMPARE(w.installedTranslations(), 0);
        QCOMPARE(w.findChild<QLabel*>("label_3")->text(), QStringLiteral("当前状态："));
        ConfigSetting::instance()->isEnglish = false;
        delete w.calibrationWindow();
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_MainWindow.moc"
