#include <WindowPlacement.h>

#include <QtTest>

Q_DECLARE_METATYPE(QMargins)

class tst_WindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void place_data()
    {
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QRect>("centreIn");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QRect>("expected");
        const QRect hd(0, 0, 1920, 1080);
        const QRect second(1920, 0, 1366, 768);
        const QMargins none;
        const QMargins frame(8, 32, 8, 8);
        const QSize s(800, 600);
        QTest::newRow("whole on the screen stays")
            << s << QPoint(100, 100) << true << hd << hd << none << QRect(100, 100, 800, 600);
        QTest::newRow("larger than the screen takes it")
            << QSize(2500, 1400) << QPoint(50, 50) << true << hd << hd << none << hd;
        QTest::newRow("off the left") << s << QPoint(-300, 100) << true << hd << hd << none << QRect(0, 100, 800, 600);
        QTest::newRow("off the right") << s << QPoint(1800, 100) << true << hd << hd << none
                                       << QRect(1120, 100, 800, 600);
        QTest::newRow("off the top") << s << QPoint(100, -50) << true << hd << hd << none << QRect(100, 0, 800, 600);
        QTest::newRow("off the bottom") << s << QPoint(100, 900) << true << hd << hd << none
                                        << QRect(100, 480, 800, 600);
        QTest::newRow("on a second screen stays there")
            << s << QPoint(2000, 50) << true << second << second << none << QRect(2000, 50, 800, 600);
        QTest::newRow("from the first screen onto the second")
            << s << QPoint(100, 100) << true << second << second << none << QRect(1920, 100, 800, 600);
        QTest::newRow("known frame: title bar and borders on the screen")
            << s << QPoint(0, 0) << true << hd << hd << frame << QRect(8, 32, 800, 600);
        QTest::newRow("known frame: larger than the screen less its frame")
            << QSize(2500, 1400) << QPoint(0, 0) << true << hd << hd << frame << QRect(8, 32, 1904, 1040);
        QTest::newRow("known frame: off the bottom right")
            << s << QPoint(1500, 900) << true << hd << hd << frame << QRect(1112, 472, 800, 600);
        QTest::newRow("centred in the main window")
            << s << QPoint() << false << QRect(200, 100, 1000, 700) << hd << frame << QRect(300, 150, 800, 600);
        QTest::newRow("centred over an edge, then moved in")
            << s << QPoint() << false << QRect(1500, 800, 400, 300) << hd << none << QRect(1120, 480, 800, 600);
    }
    void place()
    {
        QFETCH(QSize, wanted);
        QFETCH(QPoint, position);
        QFETCH(bool, keep);
        QFETCH(QRect, centreIn);
        QFETCH(QRect, area);
        QFETCH(QMargins, frame);
        QFETCH(QRect, expected);
        QCOMPARE(WindowPlacement::place(wanted, position, keep, centreIn, area, frame), expected);
    }

    void beside_data()
    {
        QTest::addColumn<QRect>("keepClear");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QRect>("expected");
        const QRect hd(0, 0, 1920, 1080);
        const QRect laptop(0, 0, 1366, 768);
        const QMargins none;
        const QMargins frame(8, 32, 8, 8);
        // The receiver window, three quarters of the screen, beside the navigation of a main
        // window centred on it.
        QTest::newRow("HD: beside the navigation, whole")
            << QRect(277, 156, 90, 700) << QSize(1440, 810) << hd << none << QRect(367, 156, 1440, 810);
        QTest::newRow("HD: narrower where the screen ends")
            << QRect(400, 100, 90, 700) << QSize(1440, 810) << hd << none << QRect(490, 100, 1430, 810);
        QTest::newRow("frame: title bar and border beside it")
            << QRect(277, 156, 90, 700) << QSize(1440, 810) << hd << frame << QRect(375, 188, 1440, 810);
        QTest::newRow("laptop: main window filling the screen")
            << QRect(0, 40, 90, 700) << QSize(1024, 576) << laptop << none << QRect(90, 40, 1024, 576);
        QTest::newRow("lower where the screen ends")
            << QRect(0, 400, 90, 300) << QSize(1024, 576) << laptop << none << QRect(90, 400, 1024, 368);
        QTest::newRow("no room beside it: placed as any other")
            << QRect(1500, 0, 90, 700) << QSize(1440, 810) << hd << none << QRect();
    }
    void beside()
    {
        QFETCH(QRect, keepClear);
        QFETCH(QSize, wanted);
        QFETCH(QRect, area);
        QFETCH(QMargins, frame);
        QFETCH(QRect, expected);
        QCOMPARE(WindowPlacement::beside(keepClear, wanted, area, frame), expected);
    }
};

QTEST_APPLESS_MAIN(tst_WindowPlacement)
#include "tst_WindowPlacement.moc"
