#include <HeldControls.h>

#include <QPushButton>
#include <QtTest>

// A control is held off while its kind is open and let go when it closes; one the page's layout
// left off stays the layout's, whatever becomes of the request.
class tst_HeldControls : public QObject
{
    Q_OBJECT

private slots:
    void onlyWhatTheLayoutLeftOnIsHeld_data()
    {
        QTest::addColumn<bool>("layoutOn");
        QTest::addColumn<bool>("openAtRelease");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("tip");
        QTest::newRow("left on, closed: let go") << true << false << true << QString();
        QTest::newRow("left on, still open: held, showing why") << true << true << false << "正在核对…";
        QTest::newRow("left off, closed: still off") << false << false << false << QString();
        QTest::newRow("left off, still open: still off") << false << true << false << QString();
    }
    void onlyWhatTheLayoutLeftOnIsHeld()
    {
        QFETCH(bool, layoutOn);
        QFETCH(bool, openAtRelease);
        QFETCH(bool, enabled);
        QFETCH(QString, tip);
        bool open = true;
        HeldControls held([&open](int) { return open ? QStringLiteral("正在核对…") : QString(); });
        QPushButton button;
        button.setEnabled(layoutOn);
        held.hold(&button, 1);
        QVERIFY(!button.isEnabled());
        open = openAtRelease;
        held.release();
        QCOMPARE(button.isEnabled(), enabled);
        QCOMPARE(button.toolTip(), tip);
        held.releaseAll();
        QCOMPARE(button.isEnabled(), layoutOn);
    }
};

QTEST_MAIN(tst_HeldControls)
#include "tst_HeldControls.moc"
