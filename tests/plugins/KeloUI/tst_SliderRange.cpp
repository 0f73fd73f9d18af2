#include <SliderRange.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

namespace {
void mouse(QWidget* w, QEvent::Type type, int x, int y, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButton b = type == QEvent::MouseMove ? Qt::NoButton : button;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(x, y), w->mapToGlobal(QPoint(x, y)), b, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QImage painted(QWidget* w)
{
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(), QWidget::RenderFlags());
    return img;
}

const QRgb kNone = qRgba(0, 0, 0, 0);
const QRgb kUsed = QColor(24, 189, 155).rgb();
const QRgb kFree = QColor(70, 70, 70).rgb();
} // namespace

class tst_SliderRange : public QObject
{
    Q_OBJECT

    static QList<int> values(const SliderRange& s)
    {
        return {s.getMinValue(), s.getMaxValue(), s.getLeftValue(), s.getRightValue()};
    }

private slots:
    void freshSliderDrawsTrackBandAndLineHandles()
    {
        SliderRange s;
        QCOMPARE(values(s), (QList<int>{0, 100, 40, 60}));
        QCOMPARE(s.sizeHint(), QSize(300, 50));
        s.resize(300, 50);
        const QImage img = painted(&s);

        // Track: 10 pixels thick round the middle, grey outside the band.
        QCOMPARE(img.pixel(60, 21), kFree);
        QCOMPARE(img.pixel(60, 28), kFree);
        QCOMPARE(img.pixel(60, 18), kNone);
        QCOMPARE(img.pixel(60, 31), kNone);
        QCOMPARE(img.pixel(250, 25), kFree);
        // Band from 120 to 180.
        QCOMPARE(img.pixel(150, 21), kUsed);
        QCOMPARE(img.pixel(150, 28), kUsed);
        QCOMPARE(img.pixel(150, 18), kNone);
        // Handles: 15-pixel lines at 120 and 180 from y = 15 to y = 35 (with round ends).
        for (int x : {120, 180}) {
            QCOMPARE(img.pixel(x, 15), kUsed);
            QCOMPARE(img.pixel(x + 6, 35), kUsed);
            QCOMPARE(img.pixel(x - 6, 25), kUsed);
            QCOMPARE(img.pixel(x, 3), kNone);
            QCOMPARE(img.pixel(x + 9, 12), kNone);
        }
        QCOMPARE(s.leftHandleRect(), QRect(120, 0, 15, 50));
        QCOMPARE(s.rightHandleRect(), QRect(180, 0, 15, 50));
    }

    void circleHandlesKeepTheirRingInsideTheHeight()
    {
        SliderRange s;
        s.resize(300, 50);
        s.setSliderStyle(SliderRange::SliderStyle_Circle);
        s.setSliderPercent(SliderRange::SliderPercent_0_5);
        const QImage img = painted(&s);
        // Radius 24, not 25: the squares are 48 pixels, centred on the values.
        QCOMPARE(s.leftHandleRect(), QRect(96, 1, 48, 48));
        QCOMPARE(s.rightHandleRect(), QRect(156, 1, 48, 48));
        const QRgb inside = QColor(250, 250, 250).rgb();
        const QRgb ring = QColor(255, 107, 107).rgb();
        QCOMPARE(img.pixel(120, 25), inside);
        QCOMPARE(img.pixel(94, 25), ring);
        QCOMPARE(img.pixel(205, 25), ring);
        QCOMPARE(img.pixel(60, 25), kFree);
        // The band runs from the left value to the right value, between the handles.
        QCOMPARE(img.pixel(150, 25), kUsed);

        // A small radius stays as asked.
        s.setSliderPercent(SliderRange::SliderPercent_0_2);
        painted(&s);
        QCOMPARE(s.leftHandleRect(), QRect(110, 15, 20, 20));
    }

    void valuesAreDrawnOnlyWhenAsked()
    {
        SliderRange s;
        s.resize(300, 50);
        s.setSliderStyle(SliderRange::SliderStyle_Circle);
        s.setSliderPercent(SliderRange::SliderPercent_0_4);
        s.setSliderColor(Qt::white);
        s.setTextColor(Qt::black);
        auto darkInLeftHandle = [&](const QImage& img) {
            const QRect r = s.leftHandleRect().adjusted(8, 8, -8, -8);
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    if (qGray(img.pixel(x, y)) < 100)
                        return true;
            return false;
        };
        QVERIFY(!darkInLeftHandle(painted(&s)));
        s.setShowText(true);
        QVERIFY(darkInLeftHandle(painted(&s)));
    }

    void rangeChanges_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("empty range") << 5 << 5 << QList<int>{0, 100, 40, 60};
        QTest::newRow("reversed range") << 10 << 0 << QList<int>{0, 100, 40, 60};
        QTest::newRow("minimum above the left handle") << 70 << 100 << QList<int>{70, 100, 70, 60};
        QTest::newRow("maximum below the right handle") << 0 << 50 << QList<int>{0, 50, 40, 50};
        QTest::newRow("wider range keeps the handles") << -10 << 200 << QList<int>{-10, 200, 40, 60};
    }

    void rangeChanges()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(QList<int>, expected);
        SliderRange s;
        QSignalSpy changed(&s, &SliderRange::valueChanged);
        s.setRange(min, max);
        QCOMPARE(values(s), expected);
        QCOMPARE(changed.count(), 0);
    }

    void rangeEndsAloneMustStayOrdered()
    {
        SliderRange s;
        QSignalSpy changed(&s, &SliderRange::valueChanged);
        s.setMinValue(100);
        s.setMaxValue(0);
        QCOMPARE(values(s), (QList<int>{0, 100, 40, 60}));
        s.setMaxValue(55);
        QCOMPARE(values(s), (QList<int>{0, 55, 40, 55}));
        s.setMinValue(45);
        QCOMPARE(values(s), (QList<int>{45, 55, 45, 55}));
        QCOMPARE(changed.count(), 0);
    }

    void handleValueChanges_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<bool>("emits");
        QTest::newRow("current range") << "range" << 10 << 90 << 10 << 90 << true;
        QTest::newRow("current range unchanged still emits") << "range" << 40 << 60 << 40 << 60 << true;
        QTest::newRow("both handles on one value") << "range" << 50 << 50 << 50 << 50 << true;
        QTest::newRow("whole range") << "range" << 0 << 100 << 0 << 100 << true;
        QTest::newRow("current range reversed") << "range" << 60 << 40 << 40 << 60 << false;
        QTest::newRow("current range below the minimum") << "range" << -1 << 60 << 40 << 60 << false;
        QTest::newRow("current range above the maximum") << "range" << 40 << 101 << 40 << 60 << false;
        QTest::newRow("left value") << "left" << 20 << 0 << 20 << 60 << true;
        QTest::newRow("left value on the right one") << "left" << 60 << 0 << 60 << 60 << true;
        QTest::newRow("left value above the right one") << "left" << 61 << 0 << 40 << 60 << false;
        QTest::newRow("left value below the minimum") << "left" << -5 << 0 << 40 << 60 << false;
        QTest::newRow("right value") << "right" << 75 << 0 << 40 << 75 << true;
        QTest::newRow("right value below the left one") << "right" << 39 << 0 << 40 << 60 << false;
        QTest::newRow("right value above the maximum") << "right" << 101 << 0 << 40 << 60 << false;
    }

    void handleValueChanges()
    {
        QFETCH(QString, call);
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(bool, emits);
        SliderRange s;
        QSignalSpy changed(&s, &SliderRange::valueChanged);
        if (call == "range")
            s.setCurrentRange(a, b);
        else if (call == "left")
            s.setLeftValue(a);
        else
            s.setRightValue(a);
        QCOMPARE(s.getLeftValue(), left);
        QCOMPARE(s.getRightValue(), right);
        QCOMPARE(changed.count(), emits ? 1 : 0);
        if (emits)
            QCOMPARE(changed.at(0), (QList<QVariant>{left, right}));
    }

    void draggingTheLeftHandleStopsAtTheRightOne()
    {
        SliderRange s;
        s.resize(300, 50);
        painted(&s);
        QSignalSpy changed(&s, &SliderRange::valueChanged);
        mouse(&s, QEvent::MouseButtonPress, 125, 25);
        mouse(&s, QEvent::MouseMove, 60, 25);
        QCOMPARE(s.getLeftValue(), 20);
        mouse(&s, QEvent::MouseMove, 178, 25);
        QCOMPARE(s.getLeftValue(), 59);
        // Beyond the right handle and left of the widget: ignored, the last value stays.
        mouse(&s, QEvent::MouseMove, 200, 25);
        mouse(&s, QEvent::MouseMove, -3, 25);
        QCOMPARE(s.getLeftValue(), 59);
        mouse(&s, QEvent::MouseMove, 0, 25);
        QCOMPARE(s.getLeftValue(), 0);
        QCOMPARE(s.getRightValue(), 60);
        mouse(&s, QEvent::MouseButtonRelease, 0, 25);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.at(0), (QList<QVariant>{20, 60}));
        QCOMPARE(changed.at(1), (QList<QVariant>{59, 60}));
        QCOMPARE(changed.at(2), (QList<QVariant>{0, 60}));
        // Released: moves change nothing.
        mouse(&s, QEvent::MouseMove, 90, 25);
        QCOMPARE(s.getLeftValue(), 0);
        QCOMPARE(changed.count(), 3);
    }

    void draggingTheRightHandleStopsAtTheLeftOneAndTheEdge()
    {
        SliderRange s;
        s.resize(300, 50);
        painted(&s);
        QSignalSpy changed(&s, &SliderRange::valueChanged);
        mouse(&s, QEvent::MouseButtonPress, 185, 25);
        mouse(&s, QEvent::MouseMove, 301, 25);
        QCOMPARE(s.getRightValue(), 60);
        mouse(&s, QEvent::MouseMove, 300, 25);
        QCOMPARE(s.getRightValue(), 100);
        mouse(&s, QEvent::MouseMove, 100, 25);
        QCOMPARE(s.getRightValue(), 100);
        mouse(&s, QEvent::MouseMove, 120, 25);
        QCOMPARE(s.getRightValue(), 40);
        QCOMPARE(s.getLeftValue(), 40);
        mouse(&s, QEvent::MouseButtonRelease, 120, 25);
        QCOMPARE(changed.count(), 2);
    }

    void pressesThatGrabNoHandle_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("button");
        QTest::newRow("between the handles") << 160 << int(Qt::LeftButton);
        QTest::newRow("right button on a handle") << 125 << int(Qt::RightButton);
        QTest::newRow("middle button on a handle") << 185 << int(Qt::MiddleButton);
    }

    void pressesThatGrabNoHandle()
    {
        QFETCH(int, x);
        QFETCH(int, button);
        SliderRange s;
        s.resize(300, 50);
        painted(&s);
        QSignalSpy changed(&s, &SliderRange::valueChanged);
        mouse(&s, QEvent::MouseButtonPress, x, 25, Qt::MouseButton(button));
        mouse(&s, QEvent::MouseMove, 150, 25);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(values(s), (QList<int>{0, 100, 40, 60}));
    }

    void overlappingHandlesGiveTheLeftOne()
    {
        SliderRange s;
        s.resize(300, 50);
        s.setCurrentRange(50, 50);
        painted(&s);
        mouse(&s, QEvent::MouseButtonPress, 152, 25);
        mouse(&s, QEvent::MouseMove, 30, 25);
        QCOMPARE(s.getLeftValue(), 10);
        QCOMPARE(s.getRightValue(), 50);
    }

    void playbackSizedRangeMapsPixelsToSeconds()
    {
        // A record of 3600 seconds on a 600-pixel slider: 6 seconds per pixel.
        SliderRange s;
        s.resize(600, 30);
        s.setRange(0, 3600);
        s.setCurrentRange(0, 3600);
        painted(&s);
        QCOMPARE(s.rightHandleRect().x(), 600);
        mouse(&s, QEvent::MouseButtonPress, 2, 15);
        mouse(&s, QEvent::MouseMove, 100, 15);
        mouse(&s, QEvent::MouseButtonRelease, 100, 15);
        QCOMPARE(s.getLeftValue(), 600);
    }

    void enumPropertiesWorkThroughTheMetaObject()
    {
        SliderRange s;
        QVERIFY(s.setProperty("sliderStyle", QVariant::fromValue(SliderRange::SliderStyle_Circle)));
        QCOMPARE(s.getSliderStyle(), SliderRange::SliderStyle_Circle);
        QVERIFY(s.setProperty("sliderBgPercent", "SliderBgPercent_0_5"));
        QCOMPARE(s.getSliderBgPercent(), SliderRange::SliderBgPercent_0_5);
        QVERIFY(s.setProperty("leftValue", 10));
        QCOMPARE(s.getLeftValue(), 10);
        QCOMPARE(s.property("usedColor").value<QColor>(), QColor(24, 189, 155));
        QCOMPARE(s.property("borderWidth").toInt(), 3);
        QCOMPARE(s.property("horizontal").toBool(), true);
    }
};

QTEST_MAIN(tst_SliderRange)
#include "tst_SliderRange.moc"
