#include <MaskWidget.h>

#include <QApplication>
#include <QScreen>
#include <QtTest>

class tst_MaskWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MaskWidget::instance()->setDialogNames({"BackupList", "TimeSeletor", "MessageDialog", "RecordImport"});
    }

    void withoutMainWidgetTheMaskKeepsTheDesktopGeometry()
    {
        MaskWidget* mask = MaskWidget::instance();
        const QRect before = mask->geometry();
        QWidget dialog;
        dialog.setObjectName("TimeSeletor");
        dialog.show();
        QVERIFY(mask->isVisible());
        QCOMPARE(mask->geometry(), before);
        dialog.hide();
        QVERIFY(!mask->isVisible());
    }

    void listedDialogBringsTheMaskOverTheMainWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("masks");
        QTest::newRow("MessageDialog") << "MessageDialog" << true;
        QTest::newRow("BackupList") << "BackupList" << true;
        QTest::newRow("RecordImport") << "RecordImport" << true;
        QTest::newRow("empty name") << "" << false;
        QTest::newRow("unlisted name") << "SystemLog" << false;
        QTest::newRow("case differs") << "messagedialog" << false;
    }

    void listedDialogBringsTheMaskOverTheMainWindow()
    {
        QFETCH(QString, name);
        QFETCH(bool, masks);
        QWidget main;
        main.setStyleSheet(QStringLiteral("background: white"));
        main.setGeometry(50, 60, 500, 400);
        main.show();
        MaskWidget* mask = MaskWidget::instance();
        mask->setMainWidget(&main);
        QWidget inUse; // the window the dialog comes up over
        inUse.setGeometry(600, 60, 200, 150);
        inUse.show();
        inUse.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &inUse);

        QWidget dialog;
        dialog.setObjectName(name);
        dialog.setGeometry(700, 500, 100, 80);
        dialog.show();
        QCOMPARE(mask->isVisible(), masks);
        if (masks)
            QCOMPARE(QRect(mask->mapToGlobal(QPoint()), mask->size()), main.geometry());
        // What the screen shows of the main window: dimmed, neither black nor white, with or
        // without a compositing window manager.
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            QVERIFY(QTest::qWaitForWindowExposed(&main));
            const QPoint middle = main.mapToGlobal(main.rect().center());
            auto shade = [&] {
                return qGray(QGuiApplication::primaryScreen()
                                 ->grabWindow(0, middle.x(), middle.y(), 1, 1)
                                 .toImage()
                                 .pixel(0, 0));
            };
            QTRY_VERIFY2(masks ? shade() > 60 && shade() < 150 : shade() == 255, qPrintable(QString::number(shade())));
        }
        dialog.hide();
        QVERIFY(!mask->isVisible());
        if (masks) // the main window rose under the veil; the window in use comes back over it
            QTRY_COMPARE(QApplication::activeWindow(), &inUse);
        mask->setMainWidget(nullptr);
    }

    void hidingOneOfTwoDialogsHidesTheMask()
    {
        QWidget a, b;
        a.setObjectName("MessageDialog");
        b.setObjectName("BackupList");
        a.show();
        b.show();
        QVERIFY(MaskWidget::instance()->isVisible());
        a.hide();
        QVERIFY(!MaskWidget::instance()->isVisible());
    }

    void activationWhileHiddenDoesNotBringTheMaskUp()
    {
        QWidget dialog;
        dialog.setObjectName("MessageDialog");
        dialog.show();
        dialog.hide();
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&dialog, &activate);
        QVERIFY(!MaskWidget::instance()->isVisible());
    }

    void childWithAListedNameIsNotAWindow()
    {
        QWidget window;
        auto* child = new QWidget(&window);
        child->setObjectName("MessageDialog");
        window.show();
        QVERIFY(!MaskWidget::instance()->isVisible());
        child->hide();
        child->show();
        QVERIFY(!MaskWidget::instance()->isVisible());
    }

    void lookIsASixTenthsBlackToolWindow()
    {
        MaskWidget* mask = MaskWidget::instance();
        QCOMPARE(mask->windowOpacity(), 0.6);
        QVERIFY(mask->windowFlags() & Qt::Tool);
        QVERIFY(mask->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(mask->palette().color(QPalette::Inactive, QPalette::Window), QColor(0, 0, 0));
        mask->setBgColor(QColor(10, 20, 30));
        QCOMPARE(mask->palette().color(QPalette::Disabled, QPalette::Window), QColor(10, 20, 30));
        mask->setBgColor(QColor(0, 0, 0));
        QCOMPARE(MaskWidget::instance(), mask);
    }
};

QTEST_MAIN(tst_MaskWidget)
#include "tst_MaskWidget.moc"
