#include "ReceiverTestSupport.h"

#include <TestTime.h>
#include <UiTestSupport.h>

#include <ConfigSetting.h>
#include <ReceiverCNR.h>
#include <ReceiverEphemeris.h>
#include <ReceiverStar.h>
#include <SkyvaneManager.h>
#include <TestAppDir.h>
#include <UiFonts.h>
#include <WindowPlacement.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <utility>

using namespace ReceiverTest;

// Pictures of the receiver window and the sky plot with a live-like sky, written to
// <build>/test-output. Under a real display (xvfb-run, QT_QPA_PLATFORM=xcb) the window's area of
// the screen is captured.
class tst_ReceiverScreenshots : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    UiTest::Screenshots m_shots;
    std::unique_ptr<SkyvaneManager> m_manager;

    // The view renders on its own timer; a picture taken right after a change would show the
    // frame before it. Waits for the frame that shows the change (or a generous limit: the
    // picture is then merely old).
    static void settle(QWidget* w, QQuickWidget* view)
    {
        QSignalSpy rendered(view->quickWindow(), &QQuickWindow::afterRendering);
        view->update();
        rendered.wait(5000);
        w->repaint();
        QCoreApplication::processEvents();
    }
    // A sky of nine BeiDou satellites on three bands and four GPS satellites, with a fix.
    static QByteArray sky()
    {
        return nmea("GBGSV,3,1,09,06,62,034,45,07,45,120,41,09,10,300,35,11,25,200,38,1")
             + nmea("GBGSV,3,2,09,12,70,290,44,14,33,064,40,19,55,160,42,21,15,350,31,1")
             + nmea("GBGSV,3,3,09,24,05,250,27,1") + nmea("GBGSV,1,1,03,06,62,034,40,07,45,120,37,19,55,160,39,3")
             + nmea("GBGSV,2,1,05,06,62,034,43,07,45,120,36,12,70,290,41,14,33,064,33,8")
             + nmea("GBGSV,2,2,05,19,55,160,40,8")
             + nmea("GPGSV,1,1,04,02,40,080,43,05,20,140,36,13,75,330,46,15,12,020,30,1")
             + nmea("GNGGA,080503.25,3150.7821,N,11711.9307,E,1,13,0.8,52.8,M,-3.1,M,,")
             + nmea("GNRMC,080503.25,A,3150.7821,N,11711.9307,E,0.4,231.5,050324,5.5,W,A,S");
    }

private slots:
    void cleanup() { m_shots.verifyNothingClipped(); }

    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        m_shots.setUp(*m_app);
        WindowPlacement::install(nullptr);
        // The receiver windows are shot alone, without the screen around them.
        m_shots.windowOnly = true;
        QDir::setCurrent(m_app->root());
        UiFonts::installSubstitutes();
        QApplication::setFont(QFont(QStringLiteral("Source Han Sans SC")));
        ConfigSetting::instance()->configMode = QStringLiteral("FBS");
        m_manager = std::make_unique<SkyvaneManager>();
    }
    void cleanupTestCase()
    {
        ReceiverCNR::Instance()->hide();
        ReceiverStar::Instance()->hide();
        m_manager.reset();
    }

    void receiverWindowWithBarsAndRows()
    {
        ReceiverCNR* w = ReceiverCNR::Instance();
        w->resize(1400, 820);
        w->move(10, 10);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // The console says why its command went nowhere.
        QTest::mouseClick(w->findChild<QPushButton*>("pbn_warmStart"), Qt::LeftButton);
        m_manager->dataReceived(sky());
        QQuickItem* root = w->chartView()->rootObject();
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(root, "satelliteGroup")).size(), 13, TestTime::ms(10000));
        // In the interface's language: "Autonomous" in the English pictures.
        QTRY_COMPARE_WITH_TIMEOUT(w->valueLabel(14)->text(),
                                  SkyvaneManager::shownText(SkyvaneManager::kModeRow, QStringLiteral("自主模式")),
                                  TestTime::ms(10000));
        settle(w, w->chartView());
        const QImage img = m_shots.capture(w, QStringLiteral("receiver-window"));
        QVERIFY(UiTest::colourCount(img) > 8);
        // Silent (its output closed, say): rows and bars grey together, the last values readable.
        QTRY_VERIFY_WITH_TIMEOUT(!root->property("current").toBool(), TestTime::ms(15000));
        settle(w, w->chartView());
        m_shots.capture(w, QStringLiteral("receiver-window-not-current"));
        w->hide();
    }

    void skyPlotWithDetails()
    {
        ReceiverStar* w = ReceiverStar::Instance();
        w->move(10, 10);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        m_manager->dataReceived(sky());
        QQuickItem* root = w->skyView()->rootObject();
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(root, "starMarker")).size(), 13, TestTime::ms(10000));
        // Two markers with their details open.
        QMetaObject::invokeMethod(root, "toggleDetail", Q_ARG(QVariant, QStringLiteral("0:7")));
        QMetaObject::invokeMethod(root, "toggleDetail", Q_ARG(QVariant, QStringLiteral("1:13")));
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(root, "starDetail")).size(), 2, TestTime::ms(10000));
        settle(w, w->skyView());
        const QImage img = m_shots.capture(w, QStringLiteral("sky-plot"));
        QVERIFY(UiTest::colourCount(img) > 8);
        w->hide();
    }

    // Every satellite's details at once, with satellites crowded together and on the horizon.
    void skyPlotWithEveryDetailInACrowd()
    {
        ReceiverStar* w = ReceiverStar::Instance();
        w->move(10, 10);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        m_manager->dataReceived(nmea("GBGSV,3,1,10,06,62,034,45,07,60,040,41,09,64,030,35,11,58,038,38,1")
                                + nmea("GBGSV,3,2,10,12,00,090,44,14,00,000,40,19,02,135,42,21,00,270,31,1")
                                + nmea("GBGSV,3,3,10,24,05,250,27,26,61,036,33,1")
                                + nmea("GPGSV,1,1,04,02,61,036,43,05,00,180,36,13,01,092,46,15,63,042,30,1"));
        QQuickItem* root = w->skyView()->rootObject();
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(root, "starMarker")).size(), 14, TestTime::ms(10000));
        QMetaObject::invokeMethod(root, "setAllDetails", Q_ARG(QVariant, true));
        root->setProperty("globalShowDetail", true);
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(root, "starDetail")).size(), 14, TestTime::ms(10000));
        settle(w, w->skyView());
        const QImage img = m_shots.capture(w, QStringLiteral("sky-plot-crowded-details"));
        QVERIFY(UiTest::colourCount(img) > 8);
        w->hide();
    }

    void ephemerisWindowWithARecord()
    {
        ReceiverEphemeris* w = ReceiverEphemeris::Instance();
        w->move(10, 10);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        m_manager->dataReceived(gpsEphemeris(17));
        auto* gps = w->findChild<QComboBox*>(QStringLiteral("comboBox_gps"));
        QVERIFY(gps);
        QTRY_COMPARE_WITH_TIMEOUT(gps->count(), 1, TestTime::ms(10000));
        w->StatusChange(true);
        QTest::mouseClick(w->findChild<QPushButton*>("pushButton_bds_clear"), Qt::LeftButton);
        QCoreApplication::processEvents();
        // The five BDS columns lie whole across the window, and the GPS tab chosen, the window
        // keeps its size rather than grow over the main window.
        QTRY_VERIFY_WITH_TIMEOUT(
            !w->findChild<QScrollArea*>(QStringLiteral("PanelArea"))->horizontalScrollBar()->isVisible(),
            TestTime::ms(10000));
        QVERIFY(UiTest::colourCount(m_shots.capture(w, QStringLiteral("ephemeris-window"))) > 8);
        // Where the screen has the room (1920x1080), every field shows without scrolling.
        if (w->screen()->availableGeometry().height() >= 1000)
            QVERIFY(!w->findChild<QScrollArea*>(QStringLiteral("PanelArea"))->verticalScrollBar()->isVisible());
        const QSize before = w->size();
        w->findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(w->size(), before);
        w->hide();
    }
};

QTEST_MAIN(tst_ReceiverScreenshots)
#include "tst_ReceiverScreenshots.moc"
