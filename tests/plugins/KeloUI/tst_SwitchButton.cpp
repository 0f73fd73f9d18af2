#include <SwitchButton.h>

#include <QImage>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {
QImage painted(QWidget* w)
{
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(), QWidget::RenderFlags());
    return img;
}

// Whether any pixel of the area is close to the colour (text is antialiased).
bool hasNear(const QImage& img, const QRect& area, const QColor& c)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (qAbs(p.red() - c.red()) < 12 && qAbs(p.green() - c.green()) < 12 && qAbs(p.blue() - c.blue()) < 12
                && p.alpha() > 200)
                return true;
        }
    return false;
}

const QColor kOff(111, 122, 126);
const QColor kOn(21, 156, 119);
const QColor kWhite(255, 255, 255);

// A switch laid out at the size it would get in a form.
struct Shown
{
    SwitchButton button;
    explicit Shown(QSize size = QSize(70, 30))
    {
        button.resize(size);
        button.show();
    }
};
} // namespace

class tst_SwitchButton : public QObject
{
    Q_OBJECT

private slots:
    void freshSwitchIsAGreyCapsuleWithItsKnobLeftAndTheOffText()
    {
        Shown s;
        SwitchButton& b = s.button;
        QVERIFY(!b.getChecked());
        QCOMPARE(b.sizeHint(), QSize(70, 30));
        const QImage img = painted(&b);
        // Knob of 26 pixels at (2, 2).
        QCOMPARE(img.pixelColor(15, 15), kWhite);
        QCOMPARE(img.pixelColor(3, 15), kWhite);
        QCOMPARE(img.pixelColor(26, 15), kWhite);
        QCOMPARE(img.pixelColor(15, 1), kOff);
        // Capsule: grey at the round right end, nothing at the corners.
        QCOMPARE(img.pixelColor(67, 15), kOff);
        QCOMPARE(img.pixelColor(69, 0).alpha(), 0);
        QCOMPARE(img.pixelColor(0, 29).alpha(), 0);
        // "关闭" is drawn in the part right of x = 21, beside the knob.
        QVERIFY(hasNear(img, QRect(30, 5, 35, 20), QColor(250, 250, 250)));
    }

    void clickTurnsItOnAndMovesTheKnobRight()
    {
        Shown s;
        SwitchButton& b = s.button;
        QList<QPair<bool, int>> emitted;
        connect(&b, &SwitchButton::checkedChanged, this, [&](bool on) { emitted << qMakePair(on, b.getStartX()); });
        QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(10, 10));
        // Announced before the knob moved.
        QCOMPARE(emitted, (QList<QPair<bool, int>>{{true, 0}}));
        QVERIFY(b.getChecked());
        QCOMPARE(b.getStartX(), 40);
        const QImage img = painted(&b);
        QCOMPARE(img.pixelColor(55, 15), kWhite);
        QCOMPARE(img.pixelColor(43, 15), kWhite);
        QCOMPARE(img.pixelColor(3, 15), kOn);
        // "开启" now on the left, none of it right of the knob's left edge.
        QVERIFY(hasNear(img, QRect(4, 5, 34, 20), kWhite));

        // Any button toggles back.
        QTest::mouseClick(&b, Qt::RightButton, {}, QPoint(60, 10));
        QCOMPARE(emitted.size(), 2);
        QCOMPARE(emitted.at(1).first, false);
        QCOMPARE(b.getStartX(), 0);
    }

    void knobEndsByStyle_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("end");
        QTest::addColumn<QPoint>("knobInside");
        QTest::newRow("rounded rectangle: half the width")
            << int(SwitchButton::ButtonStyle_Rect) << QSize(70, 30) << 35 << QPoint(50, 15);
        QTest::newRow("rounded rectangle, odd width")
            << int(SwitchButton::ButtonStyle_Rect) << QSize(71, 30) << 36 << QPoint(50, 15);
        QTest::newRow("circle inside") << int(SwitchButton::ButtonStyle_CircleIn) << QSize(100, 40) << 60
                                       << QPoint(80, 20);
        QTest::newRow("circle outside") << int(SwitchButton::ButtonStyle_CircleOut) << QSize(70, 30) << 40
                                        << QPoint(55, 15);
    }

    void knobEndsByStyle()
    {
        QFETCH(int, style);
        QFETCH(QSize, size);
        QFETCH(int, end);
        QFETCH(QPoint, knobInside);
        Shown s(size);
        SwitchButton& b = s.button;
        b.setButtonStyle(SwitchButton::ButtonStyle(style));
        b.change();
        QCOMPARE(b.getEndX(), end);
        QCOMPARE(b.getStartX(), end);
        const QImage img = painted(&b);
        // The knob's colour (white, or the white centre of the outside circle) where it now is.
        QCOMPARE(img.pixelColor(knobInside), kWhite);
        // A resize keeps the knob at the on end for the new size.
        b.resize(size.width() * 2, size.height());
        QCoreApplication::sendPostedEvents(&b, QEvent::Resize);
        QVERIFY(b.getStartX() > end);
    }

    void animationSlidesByASeventhOfTheWidthPerTick()
    {
        Shown s;
        SwitchButton& b = s.button;
        b.setAnimation(true);
        b.change();
        QVERIFY(b.isAnimating());
        QCOMPARE(b.getStartX(), 0);
        QList<int> positions;
        for (int i = 0; i < 5; ++i) {
            b.updateValue();
            positions << b.getStartX();
        }
        QCOMPARE(positions, (QList<int>{10, 20, 30, 40, 40}));
        QVERIFY(!b.isAnimating());

        // With the real 30 ms clock it gets back to 0 and stops.
        b.change();
        QVERIFY(b.isAnimating());
        QTRY_VERIFY_WITH_TIMEOUT(!b.isAnimating(), 10000);
        QCOMPARE(b.getStartX(), 0);
    }

    void toggleDuringAnimationTurnsTheKnobWhereItIs()
    {
        Shown s(QSize(77, 30));
        SwitchButton& b = s.button;
        b.setAnimation(true);
        b.change();
        b.updateValue();
        b.updateValue();
        QCOMPARE(b.getStartX(), 22);
        b.change();
        QCOMPARE(b.getStartX(), 22);
        QCOMPARE(b.getEndX(), 0);
        b.updateValue();
        QCOMPARE(b.getStartX(), 11);
        b.updateValue();
        b.updateValue();
        QCOMPARE(b.getStartX(), 0);
        QVERIFY(!b.isAnimating());
    }

    void setCheckedTogglesOnlyOnAChange()
    {
        Shown s(QSize(100, 30));
        SwitchButton& b = s.button;
        QSignalSpy changed(&b, &SwitchButton::checkedChanged);
        b.setChecked(false);
        QCOMPARE(changed.count(), 0);
        // Laid out at 100 pixels: the step is known and the toggle is immediate.
        b.setChecked(true);
        QCOMPARE(changed.count(), 1);
        QVERIFY(b.getChecked());
        b.setChecked(true);
        QCOMPARE(changed.count(), 1);
        QVERIFY(b.setProperty("checked", false));
        QCOMPARE(changed.count(), 2);
    }

    void setCheckedBeforeLayoutWaitsAndTogglesOnce()
    {
        SwitchButton b;
        QSignalSpy changed(&b, &SwitchButton::checkedChanged);
        b.setChecked(true);
        b.setChecked(true);
        QCOMPARE(changed.count(), 0);
        QVERIFY(changed.wait(10000));
        QVERIFY(b.getChecked());
        // The second call must not switch it off again: a later timer fires after both.
        QTimer after;
        after.setSingleShot(true);
        QSignalSpy done(&after, &QTimer::timeout);
        after.start(50);
        QVERIFY(done.wait(10000));
        QCOMPARE(changed.count(), 1);
        QVERIFY(b.getChecked());
    }

    void narrowSwitchDefersToo()
    {
        // Below 50 pixels a resize leaves the step at 0.
        Shown s(QSize(40, 20));
        SwitchButton& b = s.button;
        QSignalSpy changed(&b, &SwitchButton::checkedChanged);
        b.setChecked(true);
        QCOMPARE(changed.count(), 0);
        QVERIFY(changed.wait(10000));
        QCOMPARE(b.getStartX(), 20);
    }

    void outsideCircleDrawsNeitherTextNorRing()
    {
        Shown s;
        SwitchButton& b = s.button;
        b.setButtonStyle(SwitchButton::ButtonStyle_CircleOut);
        b.setShowText(false);
        const QImage plain = painted(&b);
        b.setShowText(true);
        QCOMPARE(painted(&b), plain);
        b.setShowText(false);
        b.setShowCircle(true);
        QCOMPARE(painted(&b), plain);
    }

    void ringOnTheFreeSideWithoutText()
    {
        Shown s;
        SwitchButton& b = s.button;
        b.setShowText(false);
        const QImage none = painted(&b);
        QVERIFY(!hasNear(none, QRect(30, 0, 40, 30), QColor(250, 250, 250)));
        b.setShowCircle(true);
        // Off: a ring of 15 pixels from x = 70 - 22 = 48, y = 7.
        const QImage off = painted(&b);
        QVERIFY(hasNear(off, QRect(47, 13, 3, 4), QColor(250, 250, 250)));
        QCOMPARE(off.pixelColor(55, 14), kOff);
        b.change();
        // On: the ring from x = 7 on the left, beside the knob.
        const QImage on = painted(&b);
        QVERIFY(hasNear(on, QRect(6, 13, 3, 4), kWhite));
        QCOMPARE(on.pixelColor(14, 14), kOn);
    }

    void disabledSwitchFadesItsTrackNotItsKnob()
    {
        Shown s;
        SwitchButton& b = s.button;
        b.setEnabled(false);
        const QImage img = painted(&b);
        QVERIFY(qAbs(img.pixelColor(67, 15).alpha() - 60) <= 1);
        QCOMPARE(img.pixelColor(15, 15), kWhite);
    }

    void propertiesWorkThroughTheMetaObject()
    {
        SwitchButton b;
        QVERIFY(b.setProperty("buttonStyle", "ButtonStyle_Rect"));
        QCOMPARE(b.getButtonStyle(), SwitchButton::ButtonStyle_Rect);
        QCOMPARE(b.property("textOff").toString(), QStringLiteral("关闭"));
        QCOMPARE(b.property("textOn").toString(), QStringLiteral("开启"));
        QCOMPARE(b.property("bgColorOn").value<QColor>(), kOn);
        QCOMPARE(b.property("space").toInt(), 2);
        QCOMPARE(b.property("rectRadius").toInt(), 5);
    }
};

QTEST_MAIN(tst_SwitchButton)
#include "tst_SwitchButton.moc"
