#include <Tumbler.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>

namespace {
// Mouse and wheel events go straight to the widget: the drum reads only positions and deltas.
void mouse(QWidget* w, QEvent::Type type, int x, int y)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(x, y), w->mapToGlobal(QPoint(x, y)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void wheel(QWidget* w, QPoint angle)
{
    QWheelEvent e(QPointF(10, 10), QPointF(w->mapToGlobal(QPoint(10, 10))), QPoint(), angle, Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// What the widget paints by itself, on a transparent sheet.
QImage painted(QWidget* w)
{
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(), QWidget::RenderFlags());
    return img;
}

bool rowsAreOnly(const QImage& img, int fromY, int toY, QRgb colour)
{
    for (int y = fromY; y <= toY; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != colour)
                return false;
    return true;
}

QStringList entries(int n)
{
    QStringList l;
    for (int i = 1; i <= n; ++i)
        l << QString::number(i);
    return l;
}
} // namespace

class tst_Tumbler : public QObject
{
    Q_OBJECT

private slots:
    void freshTumblerShowsTheFirstEntryWithOnlyItsSuccessorBelow()
    {
        Tumbler t;
        t.resize(50, 150);
        QCOMPARE(t.getListValue(), entries(12));
        QCOMPARE(t.getCurrentIndex(), 0);
        QCOMPARE(t.getCurrentValue(), QStringLiteral("1"));
        QCOMPARE(t.sizeHint(), QSize(50, 150));

        const QImage img = painted(&t);
        const QRgb bg = QColor(40, 40, 40).rgb();
        // The whole widget is filled, the corners included.
        QCOMPARE(img.pixel(0, 0), bg);
        QCOMPARE(img.pixel(49, 149), bg);
        // Guide lines at a third and two thirds of the height, from x = 10 to x = 40.
        for (int y : {50, 100}) {
            QVERIFY2(img.pixel(12, y) != bg && img.pixel(38, y) != bg, qPrintable(QString::number(y)));
            QCOMPARE(img.pixel(5, y), bg);
            QCOMPARE(img.pixel(45, y), bg);
            QCOMPARE(img.pixel(25, y + 4), bg);
        }
        // Nothing above the first entry; its successor is drawn below the lower line.
        QVERIFY(rowsAreOnly(img, 0, 47, bg));
        QVERIFY(!rowsAreOnly(img, 103, 149, bg));
        QVERIFY(!rowsAreOnly(img, 53, 97, bg));
    }

    void aMiddleEntryHasNeighboursOnBothSides()
    {
        Tumbler t;
        t.resize(50, 150);
        t.setCurrentIndex(5);
        const QImage img = painted(&t);
        const QRgb bg = QColor(40, 40, 40).rgb();
        QVERIFY(!rowsAreOnly(img, 0, 47, bg));
        QVERIFY(!rowsAreOnly(img, 103, 149, bg));
    }

    void horizontalTumblerDrawsItsGuideLinesUpright()
    {
        Tumbler t;
        t.setHorizontal(true);
        t.resize(150, 50);
        const QImage img = painted(&t);
        const QRgb bg = QColor(40, 40, 40).rgb();
        QVERIFY(img.pixel(50, 12) != bg);
        QVERIFY(img.pixel(100, 38) != bg);
        QCOMPARE(img.pixel(50, 5), bg);
        QCOMPARE(img.pixel(54, 25), bg);
    }

    void aListOfOneEntryDrawsNothingAndCannotBeDragged()
    {
        Tumbler t;
        t.resize(50, 150);
        t.setListValue({"only"});
        const QImage img = painted(&t);
        QVERIFY(rowsAreOnly(img, 0, 149, qRgba(0, 0, 0, 0)));

        QSignalSpy index(&t, &Tumbler::currentIndexChanged);
        mouse(&t, QEvent::MouseButtonPress, 25, 75);
        mouse(&t, QEvent::MouseMove, 25, 40);
        QCOMPARE(index.count(), 0);
        QCOMPARE(t.getDragOffset(), 0);
        // The wheel still announces the one entry.
        wheel(&t, QPoint(0, -120));
        QCOMPARE(index.count(), 1);
        QCOMPARE(index.at(0).at(0).toInt(), 0);
    }

    void refusedChangesKeepTheEntryAndStaySilent_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("empty list") << "list";
        QTest::newRow("index -1") << "index-1";
        QTest::newRow("index past the end") << "indexCount";
        QTest::newRow("value not in the list") << "value13";
        QTest::newRow("value differs in case") << "valueCase";
    }

    void refusedChangesKeepTheEntryAndStaySilent()
    {
        QFETCH(QString, action);
        Tumbler t;
        t.setListValue({"a", "b", "c"});
        t.setCurrentIndex(1);
        QSignalSpy index(&t, &Tumbler::currentIndexChanged);
        QSignalSpy value(&t, &Tumbler::currentValueChanged);
        if (action == "list")
            t.setListValue({});
        else if (action == "index-1")
            t.setCurrentIndex(-1);
        else if (action == "indexCount")
            t.setCurrentIndex(3);
        else if (action == "value13")
            t.setCurrentValue("13");
        else
            t.setCurrentValue("B");
        QCOMPARE(t.getListValue(), (QStringList{"a", "b", "c"}));
        QCOMPARE(t.getCurrentIndex(), 1);
        QCOMPARE(t.getCurrentValue(), QStringLiteral("b"));
        QCOMPARE(index.count(), 0);
        QCOMPARE(value.count(), 0);
    }

    void acceptedChangesEmitIndexThenValue()
    {
        Tumbler t;
        QStringList order;
        connect(&t, &Tumbler::currentIndexChanged, this, [&](int i) { order << QStringLiteral("i%1").arg(i); });
        connect(&t, &Tumbler::currentValueChanged, this, [&](const QString& v) { order << QStringLiteral("v") + v; });

        t.setListValue({"x", "y", "z"});
        // The list selects its first entry twice over: by index and by value.
        QCOMPARE(order, (QStringList{"i0", "vx", "i0", "vx"}));
        order.clear();
        t.setCurrentValue("z");
        QCOMPARE(order, (QStringList{"i2", "vz"}));
        order.clear();
        // The same index again is announced again.
        t.setCurrentIndex(2);
        QCOMPARE(order, (QStringList{"i2", "vz"}));
        QCOMPARE(t.property("currentValue").toString(), QStringLiteral("z"));
        QVERIFY(t.setProperty("currentIndex", 1));
        QCOMPARE(t.getCurrentValue(), QStringLiteral("y"));
    }

    void wheelTurnsByWholeStepsAndStopsAtTheEnds_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("emissions");
        QTest::newRow("away from the user goes back") << 5 << QPoint(0, 120) << 4 << 1;
        QTest::newRow("towards the user goes on") << 5 << QPoint(0, -120) << 6 << 1;
        QTest::newRow("three notches back past the start") << 1 << QPoint(0, 360) << 0 << 1;
        QTest::newRow("back at the first entry stays") << 0 << QPoint(0, 120) << 0 << 1;
        QTest::newRow("on at the last entry stays") << 11 << QPoint(0, -120) << 11 << 1;
        QTest::newRow("two notches on past the end") << 10 << QPoint(0, -240) << 11 << 1;
        QTest::newRow("less than a notch") << 5 << QPoint(0, 60) << 5 << 1;
        QTest::newRow("sideways scroll is ignored") << 5 << QPoint(120, 0) << 5 << 0;
    }

    void wheelTurnsByWholeStepsAndStopsAtTheEnds()
    {
        QFETCH(int, start);
        QFETCH(QPoint, angle);
        QFETCH(int, expected);
        QFETCH(int, emissions);
        for (bool horizontal : {false, true}) {
            Tumbler t;
            t.setHorizontal(horizontal);
            t.setCurrentIndex(start);
            QSignalSpy value(&t, &Tumbler::currentValueChanged);
            wheel(&t, angle);
            QCOMPARE(t.getCurrentIndex(), expected);
            QCOMPARE(value.count(), emissions);
            if (emissions)
                QCOMPARE(value.at(0).at(0).toString(), QString::number(expected + 1));
        }
    }

    void dragSelectsANeighbourOrStaysDisplaced_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("move");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("offsetAfter");
        // 50 × 150 (or 150 × 50): one step is 50 pixels, the middle text about 20 pixels high.
        QTest::newRow("a few pixels up selects the next") << false << 5 << -5 << 6 << 0;
        QTest::newRow("a few pixels down stays displaced") << false << 5 << 3 << 5 << 3;
        QTest::newRow("a whole step down selects the previous") << false << 5 << 60 << 4 << 0;
        QTest::newRow("a whole step up selects the next") << false << 5 << -60 << 6 << 0;
        QTest::newRow("down at the first entry is ignored") << false << 0 << 30 << 0 << 0;
        QTest::newRow("up at the last entry is ignored") << false << 11 << -30 << 11 << 0;
        QTest::newRow("horizontal: a few pixels left selects the next") << true << 5 << -5 << 6 << 0;
        QTest::newRow("horizontal: a whole step right selects the previous") << true << 5 << 60 << 4 << 0;
    }

    void dragSelectsANeighbourOrStaysDisplaced()
    {
        QFETCH(bool, horizontal);
        QFETCH(int, start);
        QFETCH(int, move);
        QFETCH(int, expected);
        QFETCH(int, offsetAfter);
        Tumbler t;
        t.setHorizontal(horizontal);
        t.resize(horizontal ? QSize(150, 50) : QSize(50, 150));
        t.setCurrentIndex(start);
        painted(&t);

        QSignalSpy value(&t, &Tumbler::currentValueChanged);
        auto at = [&](int p) { return horizontal ? QPoint(p, 25) : QPoint(25, p); };
        mouse(&t, QEvent::MouseButtonPress, at(75).x(), at(75).y());
        mouse(&t, QEvent::MouseMove, at(75 + move).x(), at(75 + move).y());
        painted(&t);
        mouse(&t, QEvent::MouseButtonRelease, at(75 + move).x(), at(75 + move).y());

        QCOMPARE(t.getCurrentIndex(), expected);
        QCOMPARE(t.getCurrentValue(), QString::number(expected + 1));
        QCOMPARE(t.getDragOffset(), offsetAfter);
        // The release always announces where the drum came to rest.
        QVERIFY(!value.isEmpty());
        QCOMPARE(value.last().at(0).toString(), QString::number(expected + 1));
    }

    void aDisplacedDrumIsDrawnShifted()
    {
        Tumbler t;
        t.resize(50, 150);
        t.setCurrentIndex(5);
        const QImage before = painted(&t);
        mouse(&t, QEvent::MouseButtonPress, 25, 75);
        mouse(&t, QEvent::MouseMove, 25, 78);
        painted(&t);
        mouse(&t, QEvent::MouseButtonRelease, 25, 78);
        QCOMPARE(t.getDragOffset(), 3);
        const QImage after = painted(&t);
        QVERIFY(before != after);
        // Shifting the old picture down by three rows gives the middle text again.
        bool sameShifted = true;
        for (int y = 60; y < 90 && sameShifted; ++y)
            for (int x = 0; x < 50; ++x)
                if (before.pixel(x, y) != after.pixel(x, y + 3))
                    sameShifted = false;
        QVERIFY(sameShifted);
    }

    void labelFormatDecoratesTheTextNotTheValue()
    {
        Tumbler t;
        t.setListValue({"2029", "2030"});
        t.setLabelFormat(QStringLiteral("%1 年"));
        t.setCurrentValue("2030");
        QCOMPARE(Tumbler::displayText(t.getLabelFormat(), t.getCurrentValue()), QStringLiteral("2030 年"));
        QCOMPARE(t.getCurrentValue(), QStringLiteral("2030"));
        QCOMPARE(Tumbler::displayText(QStringLiteral("年"), "2030"), QStringLiteral("2030"));
        QCOMPARE(Tumbler::displayText(QString(), "2030"), QStringLiteral("2030"));
    }
};

QTEST_MAIN(tst_Tumbler)
#include "tst_Tumbler.moc"
