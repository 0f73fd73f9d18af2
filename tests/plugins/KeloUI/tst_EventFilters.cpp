#include <RadioEventFilter.h>
#include <SimpleDropEvent.h>
#include <SimpleMouseEvent.h>

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

class tst_EventFilters : public QObject
{
    Q_OBJECT

private slots:
    void radioButtonKeepsTheStateCodeGivesIt_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::newRow("checked") << true;
        QTest::newRow("unchecked") << false;
    }

    void radioButtonKeepsTheStateCodeGivesIt()
    {
        QFETCH(bool, checked);
        QWidget window;
        auto* radio = new QRadioButton(QStringLiteral("GPS L1"), &window);
        radio->setAutoExclusive(false);
        radio->setChecked(checked);
        RadioEventFilter filter;
        radio->installEventFilter(&filter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy toggled(radio, &QAbstractButton::toggled);

        QTest::mouseClick(radio, Qt::LeftButton);
        QTest::mouseDClick(radio, Qt::LeftButton);
        radio->setFocus();
        QTest::keyClick(radio, Qt::Key_Space);
        QTest::keyClick(radio, Qt::Key_Down);
        QCOMPARE(radio->isChecked(), checked);
        QVERIFY(!radio->isDown());
        QCOMPARE(toggled.count(), 0);

        // Code still sets it.
        radio->setChecked(!checked);
        QCOMPARE(radio->isChecked(), !checked);
        QCOMPARE(toggled.count(), 1);
    }

    void radioFilterSwallowsExactlyTheInputEvents_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("swallowed");
        QTest::newRow("mouse press") << int(QEvent::MouseButtonPress) << true;
        QTest::newRow("mouse release") << int(QEvent::MouseButtonRelease) << true;
        QTest::newRow("key press") << int(QEvent::KeyPress) << true;
        QTest::newRow("key release") << int(QEvent::KeyRelease) << true;
        QTest::newRow("enter") << int(QEvent::Enter) << true;
        QTest::newRow("leave") << int(QEvent::Leave) << true;
        QTest::newRow("double click") << int(QEvent::MouseButtonDblClick) << true;
        QTest::newRow("mouse move") << int(QEvent::MouseMove) << false;
        QTest::newRow("focus in") << int(QEvent::FocusIn) << false;
        QTest::newRow("paint") << int(QEvent::Paint) << false;
        QTest::newRow("show") << int(QEvent::Show) << false;
    }

    void radioFilterSwallowsExactlyTheInputEvents()
    {
        QFETCH(int, type);
        QFETCH(bool, swallowed);
        // Values the instrument panels' forms were built against.
        QCOMPARE(int(QEvent::MouseButtonPress), 2);
        QCOMPARE(int(QEvent::Leave), 11);
        struct Probe : RadioEventFilter
        {
            using RadioEventFilter::eventFilter;
        } filter;
        QObject watched;
        QEvent event(static_cast<QEvent::Type>(type));
        QCOMPARE(filter.eventFilter(&watched, &event), swallowed);
    }

    void dropTargetAcceptsEveryDragAndHandsOverThePaths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("two windows paths and a final line break") << "file:///C:/data/a.dat\nfile:///C:/data/b.dat\n"
                                                                  << QStringList{"C:/data/a.dat", "C:/data/b.dat"};
        QTest::newRow("text without urls") << "one\ntwo" << QStringList{"one", "two"};
        QTest::newRow("empty lines dropped") << "\n\nfile:///D:/x.zip\n\n" << QStringList{"D:/x.zip"};
    }

    void dropTargetAcceptsEveryDragAndHandsOverThePaths()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, paths);
        QLineEdit target;
        QObject owner;
        QList<QStringList> got;
        QObject* gotOwner = nullptr;
        auto* filter = new SimpleDropEvent(&target, &owner, [&](QObject* o, const QStringList& p) {
            gotOwner = o;
            got << p;
        });
        target.installEventFilter(filter);

        QMimeData mime;
        mime.setText(text);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QVERIFY(QApplication::sendEvent(&target, &enter));
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);

        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.at(0), paths);
        QCOMPARE(gotOwner, &owner);
        // The line edit itself never took the text.
        QVERIFY(target.text().isEmpty());
    }

    void dropWithoutHandlerIsStillTaken()
    {
        QLineEdit target;
        auto* filter = new SimpleDropEvent(&target, nullptr, {});
        target.installEventFilter(filter);
        QMimeData mime;
        mime.setText(QStringLiteral("file:///C:/a.dat"));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop);
        QVERIFY(target.text().isEmpty());
        // Other events reach the widget.
        target.show();
        QTest::keyClicks(&target, "ok");
        QCOMPARE(target.text(), QStringLiteral("ok"));
    }

    void mouseFilterWithoutHandlerLeavesTheWidgetAsItWas()
    {
        QRadioButton radio(QStringLiteral("BDS B1"));
        radio.setAutoExclusive(false);
        SimpleMouseEvent filter(&radio, {});
        radio.installEventFilter(&filter);
        radio.show();
        QVERIFY(QTest::qWaitForWindowExposed(&radio));
        QTest::mouseClick(&radio, Qt::LeftButton, {}, QPoint(5, radio.height() / 2));
        QVERIFY(radio.isChecked());
    }

    void mouseFilterHandsACopyWithPositionsAndButtons()
    {
        QWidget watched;
        QObject owner;
        QList<QMouseEvent> seen;
        SimpleMouseEvent filter(&owner, [&](QObject* o, const QMouseEvent& e) {
            QCOMPARE(o, &owner);
            seen << e;
        });
        watched.installEventFilter(&filter);
        QMouseEvent move(QEvent::MouseMove, QPointF(3.5, 4), QPointF(103.5, 204), Qt::NoButton, Qt::LeftButton,
                         Qt::ShiftModifier);
        QApplication::sendEvent(&watched, &move);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).type(), QEvent::MouseMove);
        QCOMPARE(seen.at(0).localPos(), QPointF(3.5, 4));
        QCOMPARE(seen.at(0).screenPos(), QPointF(103.5, 204));
        QCOMPARE(seen.at(0).buttons(), Qt::MouseButtons(Qt::LeftButton));
        QCOMPARE(seen.at(0).modifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier));
        QWheelEvent wheel(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&watched, &wheel);
        QCOMPARE(seen.size(), 1);
    }
};

QTEST_MAIN(tst_EventFilters)
#include "tst_EventFilters.moc"
