#include <FramelessHelper.h>

#include <QMouseEvent>
#include <QtTest>

namespace {
// A window at (100, 100) of 400 × 300 with a 40 pixel high top bar.
struct Window
{
    QWidget window;
    QWidget* bar;
    Window()
    {
        window.setGeometry(100, 100, 400, 300);
        bar = new QWidget(&window);
        bar->setGeometry(0, 0, 400, 40);
    }
};

QMouseEvent at(QEvent::Type type, const QPoint& local, const QPoint& global)
{
    return QMouseEvent(type, QPointF(local), QPointF(local), QPointF(global), Qt::LeftButton,
                       type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
}

void press(FramelessHelper& h, const QPoint& local, const QPoint& global)
{
    QMouseEvent e = at(QEvent::MouseButtonPress, local, global);
    h.press(&e);
}
void moveTo(FramelessHelper& h, const QPoint& global)
{
    QMouseEvent e = at(QEvent::MouseMove, QPoint(), global);
    h.move(&e);
}
void release(FramelessHelper& h, const QPoint& global)
{
    QMouseEvent e = at(QEvent::MouseButtonRelease, QPoint(), global);
    h.release(&e);
}
} // namespace

class tst_FramelessHelper : public QObject
{
    Q_OBJECT

private slots:
    void regionOfAPress_data()
    {
        QTest::addColumn<QPoint>("local");
        QTest::addColumn<int>("region");
        QTest::addColumn<int>("cursor");
        QTest::newRow("3 px from right and bottom is the corner") << QPoint(397, 297) << 5 << int(Qt::SizeAllCursor);
        QTest::newRow("corner band reaches 6 px outside") << QPoint(406, 306) << 5 << int(Qt::SizeAllCursor);
        QTest::newRow("left edge keeps the cursor") << QPoint(6, 150) << 3 << int(Qt::ArrowCursor);
        QTest::newRow("top-left corner counts as left") << QPoint(0, 0) << 3 << int(Qt::ArrowCursor);
        QTest::newRow("top edge inside the bar") << QPoint(200, 4) << 1 << int(Qt::ArrowCursor);
        QTest::newRow("right edge") << QPoint(394, 150) << 4 << int(Qt::SizeHorCursor);
        QTest::newRow("bottom edge") << QPoint(200, 295) << 2 << int(Qt::SizeVerCursor);
        QTest::newRow("7 px from the right is nothing") << QPoint(393, 150) << 0 << int(Qt::ArrowCursor);
        QTest::newRow("middle") << QPoint(200, 150) << 0 << int(Qt::ArrowCursor);
    }

    void regionOfAPress()
    {
        QFETCH(QPoint, local);
        QFETCH(int, region);
        QFETCH(int, cursor);
        Window w;
        // The plain variant leaves the cursor alone on the left and top edges; start it elsewhere.
        w.window.setCursor(Qt::ArrowCursor);
        FramelessHelper h(&w.window);
        h.setDragArea(w.bar);
        press(h, local, local + QPoint(100, 100));
        QCOMPARE(int(h.region()), region);
        QCOMPARE(int(w.window.cursor().shape()), cursor);
    }

    void cornerPressGrowsTheWindowByTheMove()
    {
        Window w;
        FramelessHelper h(&w.window);
        h.setDragArea(w.bar);
        press(h, QPoint(397, 297), QPoint(497, 397));
        moveTo(h, QPoint(507, 417));
        QCOMPARE(w.window.size(), QSize(410, 320));
        QCOMPARE(w.window.pos(), QPoint(100, 100));
        QCOMPARE(h.lastPosition(), QPoint(507, 417));
    }

    void topBandInsideTheBarNeitherMovesNorResizes()
    {
        Window w;
        FramelessHelper h(&w.window);
        h.setDragArea(w.bar);
        press(h, QPoint(200, 3), QPoint(300, 103));
        QVERIFY(h.dragging());
        moveTo(h, QPoint(330, 150));
        QCOMPARE(w.window.geometry(), QRect(100, 100, 400, 300));
    }

    void leftEdgeDoesNothingOnAPlainWindow()
    {
        Window w;
        w.window.setCursor(Qt::IBeamCursor);
        FramelessHelper h(&w.window);
        h.setDragArea(w.bar);
        press(h, QPoint(2, 150), QPoint(102, 250));
        QCOMPARE(w.window.cursor().shape(), Qt::IBeamCursor);
        moveTo(h, QPoint(80, 250));
        QCOMPARE(w.window.geometry(), QRect(100, 100, 400, 300));
    }

    void pressInTheBarDragsUntilRelease()
    {
        Window w;
        FramelessHelper h(&w.window);
        h.setDragArea(w.bar);
        press(h, QPoint(200, 20), QPoint(300, 120));
        moveTo(h, QPoint(330, 140));
        QCOMPARE(w.window.pos(), QPoint(130, 120));
        QCOMPARE(w.window.size(), QSize(400, 300));
        release(h, QPoint(330, 140));
        QVERIFY(!h.dragging());
        moveTo(h, QPoint(400, 200));
        QCOMPARE(w.window.pos(), QPoint(130, 120));
    }

    void pressOutsideTheBarOnlySetsTheArrow()
    {
        Window w;
        w.window.setCursor(Qt::IBeamCursor);
        FramelessHelper h(&w.window);
        h.setDragArea(w.bar);
        press(h, QPoint(200, 150), QPoint(300, 250));
        QCOMPARE(w.window.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!h.dragging());
        moveTo(h, QPoint(350, 300));
        QCOMPARE(w.window.geometry(), QRect(100, 100, 400, 300));
    }

    void resizeIsBoundedByTheMinimumSize()
    {
        Window w;
        w.window.setMinimumSize(380, 280);
        FramelessHelper h(&w.window);
        press(h, QPoint(398, 150), QPoint(498, 250));
        moveTo(h, QPoint(400, 250));
        QCOMPARE(w.window.size(), QSize(380, 300));
    }

    void mainWindowResizesFromLeftAndTopAndForgetsTheEdge()
    {
        Window w;
        int stored = 0;
        FramelessHelper h(&w.window, FramelessHelper::MainWindowFrame);
        h.setDragArea(w.bar);
        h.setReleaseHandler([&stored] { ++stored; });

        press(h, QPoint(3, 150), QPoint(103, 250));
        QCOMPARE(w.window.cursor().shape(), Qt::SizeHorCursor);
        moveTo(h, QPoint(113, 250));
        QCOMPARE(w.window.geometry(), QRect(110, 100, 390, 300));
        release(h, QPoint(113, 250));
        QCOMPARE(int(h.region()), 0);
        QCOMPARE(stored, 1);
        // With tracking on, hovering after the release must change nothing.
        moveTo(h, QPoint(150, 260));
        QCOMPARE(w.window.geometry(), QRect(110, 100, 390, 300));

        press(h, QPoint(200, 2), QPoint(310, 102));
        QCOMPARE(w.window.cursor().shape(), Qt::SizeVerCursor);
        QVERIFY(!h.dragging());
        moveTo(h, QPoint(310, 122));
        QCOMPARE(w.window.geometry(), QRect(110, 120, 390, 280));
        release(h, QPoint(310, 122));
        QCOMPARE(stored, 2);
    }
};

QTEST_MAIN(tst_FramelessHelper)
#include "tst_FramelessHelper.moc"
