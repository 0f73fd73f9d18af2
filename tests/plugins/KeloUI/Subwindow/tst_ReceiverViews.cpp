#include <UiTestSupport.h>

#include "ReceiverTestSupport.h"

#include <ConfigSetting.h>
#include <ReceiverCNR.h>
#include <ReceiverStar.h>
#include <ReceiverStream.h>
#include <SkyModel.h>
#include <SkyvaneManager.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QDir>
#include <QJsonDocument>
#include <QQuickItem>
#include <QQuickWidget>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace ReceiverTest;
using UM98X = Ns::Skyvane::UM98X_960Handler;

namespace {
QJsonArray json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).array();
}

QStringList names(const QList<QQuickItem*>& items, const char* property)
{
    QStringList out;
    for (QQuickItem* i : items)
        out << i->property(property).toString();
    return out;
}

QList<int> ints(const QList<QQuickItem*>& items, const char* property)
{
    QList<int> out;
    for (QQuickItem* i : items)
        out << i->property(property).toInt();
    return out;
}

// The centre of an item in the coordinates of its view.
QPoint centre(QQuickItem* item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

// Clicks an item at a fraction of its width. Two clicks on one spot in quick succession would
// make a double click, which a mouse area does not count as a click.
void click(QQuickWidget* view, QQuickItem* item, qreal fraction)
{
    // A frame first: positioners place their items when the view polishes, and on a busy machine
    // that may not have happened yet, so the click would land where the item was.
    view->grabFramebuffer();
    const QPoint p = item->mapToScene(QPointF(item->width() * fraction, item->height() / 2)).toPoint();
    // Into the view's scene window: QtTest spaces clicks on a window beyond the double-click time.
    QTest::mouseClick(view->quickWindow(), Qt::LeftButton, {}, p);
}
} // namespace

// Both QML views, each in its own window, fed by one receiver manager.
class tst_ReceiverViews : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<SkyvaneManager> m_manager;
    std::unique_ptr<ReceiverCNR> m_cnr;
    std::unique_ptr<ReceiverStar> m_star;

    void build(const QString& variant)
    {
        m_cnr.reset();
        m_star.reset();
        m_manager.reset();
        ConfigSetting::instance()->configMode = variant;
        m_manager = std::make_unique<SkyvaneManager>();
        m_cnr = std::make_unique<ReceiverCNR>();
        m_star = std::make_unique<ReceiverStar>();
        m_cnr->resize(1200, 700);
        m_star->resize(900, 640);
        m_cnr->show();
        m_star->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_cnr.get()));
        QVERIFY(QTest::qWaitForWindowExposed(m_star.get()));
    }
    QQuickItem* chart() const { return m_cnr->chartView()->rootObject(); }
    QQuickItem* sky() const { return m_star->skyView()->rootObject(); }
    QList<QQuickItem*> bars() const { return shown(itemsNamed(chart(), QStringLiteral("cnrBar"))); }
    QList<QQuickItem*> markers() const { return shown(itemsNamed(sky(), QStringLiteral("starMarker"))); }
    void publish(int system, const char* list) { emit m_manager->UpdateStarInfo(system, json(list)); }
    // Whether the first chart's scroll bar shows its handle while nothing moves.
    bool scrollHandleShown() const
    {
        for (QQuickItem* c : itemsNamed(chart(), "baseChartContent").value(0)->childItems()) {
            auto* handle = c->inherits("QQuickScrollBar") ? c->property("contentItem").value<QQuickItem*>() : nullptr;
            if (handle)
                return c->isVisible() && handle->isVisible() && handle->opacity() > 0 && handle->width() > 0;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        QDir::setCurrent(m_app->root());
    }
    void init() { build(QStringLiteral("FBS")); }
    void cleanup()
    {
        m_cnr.reset();
        m_star.reset();
        m_manager.reset();
    }

    void bothViewsLoadWithTheManagersTables()
    {
        QVERIFY(chart());
        QVERIFY(sky());
        QCOMPARE(m_cnr->chartView()->status(), QQuickWidget::Ready);
        QCOMPARE(m_star->skyView()->status(), QQuickWidget::Ready);
        QCOMPARE(names(itemsNamed(chart(), "bandLegend"), "bandName"),
                 (QStringList{"B1I", "B1C", "B1A", "B3I", "B3Q", "B3A", "L1C/A"}));
        QCOMPARE(names(itemsNamed(sky(), "systemLegend"), "systemName"), (QStringList{"BDS", "GPS"}));
        // Nothing is drawn before the first list.
        QVERIFY(itemsNamed(chart(), "satelliteGroup").isEmpty());
        QVERIFY(itemsNamed(sky(), "starMarker").isEmpty());
    }

    // Sentences parsed in another thread reach both views, each with its own QML engine.
    void satellitesFromTheParserReachBothViews()
    {
        SkyvaneManager* m = m_manager.get();
        std::unique_ptr<QThread> worker(QThread::create([m] {
            m->dataReceived(nmea("GBGSV,1,1,02,07,45,120,41,09,10,300,35,1") + nmea("GBGSV,1,1,01,07,45,120,38,8")
                            + nmea("GPGSV,1,1,01,03,90,000,44,1"));
        }));
        worker->start();
        QVERIFY(worker->wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(markers().size(), 3, TestTime::ms(10000));
        QTRY_COMPARE_WITH_TIMEOUT(ints(shown(itemsNamed(chart(), "satelliteGroup")), "prn"), (QList<int>{7, 9, 3}),
                                  TestTime::ms(10000));
        QCOMPARE(ints(markers(), "prn"), (QList<int>{7, 9, 3}));
    }

    void barsFollowTheCarrierToNoise()
    {
        publish(0, R"([{"prn":7,"cnr":[41,0,0,38,0,0],"elv":45,"azi":120},
                       {"prn":9,"cnr":[35,0,0,0,0,0],"elv":10,"azi":300}])");
        publish(1, R"([{"prn":3,"cnr":[44],"elv":90,"azi":0}])");
        QTRY_COMPARE_WITH_TIMEOUT(bars().size(), 4, TestTime::ms(10000));
        // A zero draws no bar: PRN 7 has two, PRN 9 one, GPS PRN 3 one.
        QCOMPARE(ints(bars(), "prn"), (QList<int>{7, 7, 9, 3}));
        QCOMPARE(ints(bars(), "column"), (QList<int>{0, 3, 0, 0}));
        const QList<QQuickItem*> b = bars();
        QVERIFY(b[0]->height() > b[1]->height());
        QVERIFY(b[1]->height() > b[2]->height());
        QCOMPARE(b[0]->property("color").value<QColor>(), QColor("red"));
        QCOMPARE(b[1]->property("color").value<QColor>(), QColor("lightblue"));
        QCOMPARE(b[3]->property("color").value<QColor>(), QColor("purple"));
        // Not current (the receiver silent, its output closed): the bars keep their heights, grey.
        const QColor live = b[0]->property("color").value<QColor>();
        chart()->setProperty("current", false);
        for (QQuickItem* bar : bars())
            QCOMPARE(bar->property("color").value<QColor>(), QColor("#C0C0C0"));
        chart()->setProperty("current", true);
        QCOMPARE(b[0]->property("color").value<QColor>(), live);

        QVERIFY(!scrollHandleShown());
        // More satellites than the chart is wide: the scroll bar tells that there are more.
        QByteArray many = "[";
        for (int prn = 1; prn <= 19; ++prn)
            many += (prn > 1 ? "," : "") + QByteArray(R"({"cnr":[41,40,39,38,37,36],"elv":45,"azi":120,"prn":)")
                  + QByteArray::number(prn) + "}";
        publish(0, (many + "]").constData());
        QTRY_VERIFY_WITH_TIMEOUT(scrollHandleShown(), TestTime::ms(10000));

        // An empty list removes the system's satellites from both views, the other stays.
        publish(0, "[]");
        QTRY_COMPARE_WITH_TIMEOUT(ints(bars(), "prn"), QList<int>{3}, TestTime::ms(10000));
        QCOMPARE(ints(markers(), "prn"), QList<int>{3});
    }

    void legendClickHidesABand()
    {
        publish(0, R"([{"prn":7,"cnr":[41,0,0,38,0,0],"elv":45,"azi":120}])");
        QTRY_COMPARE_WITH_TIMEOUT(bars().size(), 2, TestTime::ms(10000));
        QQuickItem* b1i = itemsNamed(chart(), "bandLegend").first();
        QCOMPARE(b1i->property("bandName").toString(), QStringLiteral("B1I"));
        click(m_cnr->chartView(), b1i, 0.1);
        QTRY_COMPARE_WITH_TIMEOUT(ints(bars(), "column"), QList<int>{3}, TestTime::ms(10000));
        QCOMPARE(itemsNamed(chart(), "bandLegend").first()->property("bandEnable").toBool(), false);
        click(m_cnr->chartView(), itemsNamed(chart(), "bandLegend").first(), 0.9);
        QTRY_COMPARE_WITH_TIMEOUT(ints(bars(), "column"), (QList<int>{0, 3}), TestTime::ms(10000));
    }

    void skyPlotPlacesMarkersAndCounts()
    {
        publish(0, R"([{"prn":7,"cnr":[41,0,0,0,0,0],"elv":0,"azi":90},
                       {"prn":9,"cnr":[35,0,0,0,0,0],"elv":0,"azi":180}])");
        publish(1, R"([{"prn":3,"cnr":[44],"elv":90,"azi":0}])");
        QTRY_COMPARE_WITH_TIMEOUT(markers().size(), 3, TestTime::ms(10000));
        QQuickItem* map = itemsNamed(sky(), "starSpaceMap").first();
        const QPointF middle = map->mapToScene(QPointF(map->width() / 2, map->height() / 2));
        const QList<QQuickItem*> m = markers();
        // North up, azimuth clockwise, the zenith in the middle.
        const QPointF east = QPointF(centre(m[0])) - middle;
        const QPointF south = QPointF(centre(m[1])) - middle;
        const QPointF zenith = QPointF(centre(m[2])) - middle;
        QVERIFY(east.x() > map->width() / 4 && qAbs(east.y()) <= 2);
        QVERIFY(south.y() > map->height() / 4 && qAbs(south.x()) <= 2);
        QVERIFY(zenith.manhattanLength() <= 2);
        QCOMPARE(names(itemsNamed(sky(), "systemCount"), "text"), (QStringList{"BDS: 2", "GPS: 1"}));

        // The legend switches a system off and on.
        click(m_star->skyView(), itemsNamed(sky(), "systemLegend").first(), 0.1);
        QTRY_COMPARE_WITH_TIMEOUT(ints(markers(), "prn"), QList<int>{3}, TestTime::ms(10000));
        click(m_star->skyView(), itemsNamed(sky(), "systemLegend").first(), 0.9);
        QTRY_COMPARE_WITH_TIMEOUT(markers().size(), 3, TestTime::ms(10000));

        // Details: a click on a marker shows its own, the button all of them.
        QVERIFY(shown(itemsNamed(sky(), "starDetail")).isEmpty());
        QTest::mouseClick(m_star->skyView(), Qt::LeftButton, {}, centre(markers()[2]));
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(sky(), "starDetail")).size(), 1, TestTime::ms(10000));
        click(m_star->skyView(), itemsNamed(sky(), "detailButton").first(), 0.2);
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(sky(), "starDetail")).size(), 3, TestTime::ms(10000));
        click(m_star->skyView(), itemsNamed(sky(), "detailButton").first(), 0.8);
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(sky(), "starDetail")).size(), 0, TestTime::ms(10000));
    }

    // Detail mode with satellites crowded together and on the horizon: every box stays inside
    // the plot and clear of the others. With as many satellites as the simulator's receiver
    // reports, no place is clear for every box: the details are listed beside the plot instead.
    void skyPlotDetailsStayInsideAndApart_data()
    {
        QTest::addColumn<QByteArray>("bds");
        QTest::addColumn<QByteArray>("gps");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<int>("count");
        QTest::newRow("twelve, crowded and on the horizon")
            << QByteArray(
                   R"([{"prn":6,"cnr":[45,0,0,0,0,0],"elv":62,"azi":34},{"prn":7,"cnr":[41,0,0,0,0,0],"elv":60,"azi":40},
                       {"prn":9,"cnr":[35,0,0,0,0,0],"elv":64,"azi":30},{"prn":11,"cnr":[38,0,0,0,0,0],"elv":58,"azi":38},
                       {"prn":12,"cnr":[44,0,0,0,0,0],"elv":0,"azi":90},{"prn":14,"cnr":[40,0,0,0,0,0],"elv":0,"azi":0},
                       {"prn":19,"cnr":[42,0,0,0,0,0],"elv":2,"azi":135},{"prn":21,"cnr":[31,0,0,0,0,0],"elv":0,"azi":270}])")
            << QByteArray(R"([{"prn":2,"cnr":[43],"elv":61,"azi":36},{"prn":5,"cnr":[36],"elv":0,"azi":180},
                       {"prn":13,"cnr":[46],"elv":1,"azi":92},{"prn":15,"cnr":[30],"elv":63,"azi":42}])")
            << false << 12;
        QByteArray bds = "[", gps = "[";
        for (int prn = 1; prn <= 34; ++prn) {
            QByteArray& list = prn <= 21 ? bds : gps;
            list += QByteArray(list.size() > 1 ? "," : "") + R"({"cnr":[40,0,0,0,0,0],"prn":)" + QByteArray::number(prn)
                  + R"(,"elv":)" + QByteArray::number(10 + prn * 37 % 75) + R"(,"azi":)"
                  + QByteArray::number(prn * 97 % 360) + "}";
        }
        QTest::newRow("thirty-four, as the simulator sends") << bds + "]" << gps + "]" << true << 34;
        const QByteArray onLabels =
            R"([{"prn":3,"cnr":[40,0,0,0,0,0],"elv":60,"azi":4},{"prn":8,"cnr":[40,0,0,0,0,0],"elv":30,"azi":3}])";
        QTest::newRow("on the elevation labels")
            << onLabels << QByteArray(R"([{"prn":10,"cnr":[40],"elv":0,"azi":2}])") << false << 3;
        QTest::newRow("two on the horizon at an azimuth label")
            << QByteArray(R"([{"prn":26,"cnr":[40,0,0,0,0,0],"elv":1,"azi":178}])")
            << QByteArray(R"([{"prn":29,"cnr":[40],"elv":0,"azi":180}])") << false << 2;
    }
    void skyPlotDetailsStayInsideAndApart()
    {
        QFETCH(QByteArray, bds);
        QFETCH(QByteArray, gps);
        QFETCH(bool, listed);
        QFETCH(int, count);
        publish(0, bds.constData());
        publish(1, gps.constData());
        QTRY_COMPARE_WITH_TIMEOUT(markers().size(), count, TestTime::ms(10000));
        QQuickItem* map = itemsNamed(sky(), "starSpaceMap").first();
        const auto rectOf = [map](QQuickItem* item) {
            return item->mapRectToItem(map, QRectF(0, 0, item->width(), item->height()));
        };
        const auto apart = [](const QRectF& a, const QRectF& b) {
            const QRectF both = a.intersected(b);
            return both.width() < 1 || both.height() < 1;
        };
        // Neighbours in the sky are drawn apart, none hiding another's number or an elevation
        // label (those sit on their rings; the azimuths lie just outside the horizon, and only a
        // marker moved from its place must keep clear of them too).
        const QList<QQuickItem*> placed = markers();
        const QList<QQuickItem*> labels = shown(itemsNamed(sky(), "scaleLabel"));
        QList<QQuickItem*> elevations;
        for (QQuickItem* label : labels)
            if (label->parentItem()->property("r").isValid())
                elevations << label;
        QCOMPARE(elevations.size(), 3);
        for (int i = 0; i < placed.size(); ++i) {
            for (int j = i + 1; j < placed.size(); ++j)
                QVERIFY2(QLineF(centre(placed[i]), centre(placed[j])).length() >= 24,
                         qPrintable(QStringLiteral("markers %1 and %2 overlap").arg(i).arg(j)));
            const QVariantMap place = placed[i]->property("place").toMap();
            const bool moved = place.value("x") != place.value("skyX") || place.value("y") != place.value("skyY");
            for (QQuickItem* label : moved ? labels : elevations)
                QVERIFY2(
                    apart(rectOf(placed[i]), rectOf(label)),
                    qPrintable(QStringLiteral("marker %1 hides %2").arg(i).arg(label->property("text").toString())));
        }
        click(m_star->skyView(), itemsNamed(sky(), "detailButton").first(), 0.5);
        QQuickItem* list = itemsNamed(sky(), "detailList").first();
        QTRY_COMPARE_WITH_TIMEOUT(list->isVisible(), listed, TestTime::ms(10000));
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(sky(), "starDetail")).size(), listed ? 0 : count,
                                  TestTime::ms(10000));
        if (listed)
            QCOMPARE(list->property("count").toInt(), count);
        const QRectF plot(QPointF(0, 0), QSizeF(map->width(), map->height()));
        QList<QRectF> boxes, kept; // kept: what no box may hide, the satellites and the scale labels
        for (QQuickItem* d : shown(itemsNamed(sky(), "starDetail")))
            boxes << rectOf(d);
        for (QQuickItem* k : markers() + shown(itemsNamed(sky(), "scaleLabel")))
            kept << rectOf(k);
        for (int i = 0; i < boxes.size(); ++i) {
            QVERIFY2(plot.contains(boxes[i]), qPrintable(QStringLiteral("box %1 leaves the plot").arg(i)));
            for (const QRectF& k : qAsConst(kept))
                QVERIFY2(apart(boxes[i], k), qPrintable(QStringLiteral("box %1 hides a mark").arg(i)));
            for (int j = i + 1; j < boxes.size(); ++j)
                QVERIFY2(apart(boxes[i], boxes[j]),
                         qPrintable(QStringLiteral("boxes %1 and %2 overlap").arg(i).arg(j)));
        }
        click(m_star->skyView(), itemsNamed(sky(), "detailButton").first(), 0.5);
        QTRY_COMPARE_WITH_TIMEOUT(shown(itemsNamed(sky(), "starDetail")).size(), 0, TestTime::ms(10000));
        QVERIFY(!list->isVisible());
        publish(0, "[]");
        publish(1, "[]");
    }

    void bdsOnlyVariantsShowOnlyBds_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QStringList>("bands");
        QTest::newRow("518") << "518" << QStringList{"B3I"};
        QTest::newRow("LEO") << "LEO" << QStringList{"B3I", "B1C", "B2a"};
    }
    void bdsOnlyVariantsShowOnlyBds()
    {
        QFETCH(QString, variant);
        QFETCH(QStringList, bands);
        build(variant);
        QCOMPARE(names(itemsNamed(chart(), "bandLegend"), "bandName"), bands);
        QCOMPARE(names(itemsNamed(sky(), "systemLegend"), "systemName"), QStringList{"BDS"});
        // One chart panel only.
        QCOMPARE(shown(itemsNamed(chart(), "baseChartRect")).size(), 1);
        m_manager->dataReceived(nmea("EGSVA,0,2,7,45,120,1,1,452,9,30,200,1,1,401"));
        QTRY_COMPARE_WITH_TIMEOUT(ints(markers(), "prn"), (QList<int>{7, 9}), TestTime::ms(10000));
        QTRY_COMPARE_WITH_TIMEOUT(ints(bars(), "prn"), (QList<int>{7, 9}), TestTime::ms(10000));
    }

    // Each variant against the simulated instrument carrying that variant's receiver: both views
    // show the satellites of its sky, on every band the receiver reports.
    void simulatedReceiverFillsTheViews_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("gps");
        QTest::addColumn<QList<int>>("columns");
        QTest::newRow("default: UM98X, BDS B1I B1C B3I and GPS") << "FBS" << true << QList<int>{0, 1, 3};
        QTest::newRow("CPCI: UM98X, the three combined BDS bands and GPS") << "CPCI" << true << QList<int>{0, 1, 2};
        QTest::newRow("518: TX518, BDS B3I") << "518" << false << QList<int>{0};
        QTest::newRow("LEO: TX518, BDS B3I B1C B2a") << "LEO" << false << QList<int>{0, 1, 2};
    }
    void simulatedReceiverFillsTheViews()
    {
        QFETCH(QString, variant);
        QFETCH(bool, gps);
        QFETCH(QList<int>, columns);
        build(variant);
        const qint64 now = 1796788800000;
        QMap<int, QList<int>> inView; // system -> PRNs, ascending
        for (const SkyModel::Satellite& s : SkyModel().visible(now))
            inView[s.system] << s.prn;
        const QByteArray epoch = ReceiverStream::epoch(now, ReceiverStream::receiverOf(variant));
        // Once a second, as the instrument sends; the parsers forget a sky that is 3 s old.
        QTimer feed;
        connect(&feed, &QTimer::timeout, this, [&] { m_manager->dataReceived(epoch); });
        feed.start(1000);
        m_manager->dataReceived(epoch);
        QStringList counts{QStringLiteral("BDS: %1").arg(inView[SkyModel::Bds].size())};
        QList<int> prns = inView[SkyModel::Bds];
        if (gps) {
            counts << QStringLiteral("GPS: %1").arg(inView[SkyModel::Gps].size());
            prns += inView[SkyModel::Gps];
        }
        QTRY_COMPARE_WITH_TIMEOUT(names(itemsNamed(sky(), "systemCount"), "text"), counts, TestTime::ms(10000));
        QCOMPARE(ints(markers(), "prn"), prns);
        // Per chart (BDS, then GPS): every satellite has a bar, on the bands the receiver reports.
        const QList<QQuickItem*> charts = shown(itemsNamed(chart(), "baseChartRect"));
        QCOMPARE(charts.size(), gps ? 2 : 1);
        for (int c = 0; c < charts.size(); ++c) {
            QMap<int, bool> prnSeen, columnSeen;
            QTRY_VERIFY_WITH_TIMEOUT(!shown(itemsNamed(charts[c], "cnrBar")).isEmpty(), TestTime::ms(10000));
            for (QQuickItem* b : shown(itemsNamed(charts[c], "cnrBar"))) {
                prnSeen[b->property("prn").toInt()] = true;
                columnSeen[b->property("column").toInt()] = true;
            }
            QCOMPARE(prnSeen.keys(), inView[c == 0 ? SkyModel::Bds : SkyModel::Gps]);
            QCOMPARE(columnSeen.keys(), c == 0 ? columns : QList<int>{0});
        }
    }
};

QTEST_MAIN(tst_ReceiverViews)
#include "tst_ReceiverViews.moc"
