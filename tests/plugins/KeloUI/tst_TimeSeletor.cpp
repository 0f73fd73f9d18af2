#include <TestAppDir.h>
#include <UiTestSupport.h>

#include <MaskWidget.h>
#include <TimeSeletor.h>
#include <Tumbler.h>
#include <TumblerDateTime.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include <time.h>

class tst_TimeSeletor : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    QDateTime m_now;
    // The refusals shown, in place of their boxes.
    std::unique_ptr<UiTest::DialogRecorder> m_warnings;

    TimeSeletor* dialog() { return TimeSeletor::instance(); }
    void click(const char* name) { dialog()->findChild<QAbstractButton*>(name)->click(); }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        UiTest::stageThemes(*m_app);
        m_now = QDateTime(QDate(2026, 12, 9), QTime(12, 0, 7));
        TumblerDateTime::setClock([this] { return m_now; });
    }

    void init()
    {
        m_warnings = std::make_unique<UiTest::DialogRecorder>();
        m_now = QDateTime(QDate(2026, 12, 9), QTime(12, 0, 7));
    }

    void cleanup()
    {
        dialog()->close();
        m_warnings.reset();
    }

    void isOneFramelessApplicationModalWindowNamedForTheMask()
    {
        TimeSeletor* d = dialog();
        QCOMPARE(TimeSeletor::instance(), d);
        QCOMPARE(d->objectName(), QStringLiteral("TimeSeletor"));
        QVERIFY(d->isWindow());
        QVERIFY(d->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(d->windowModality(), Qt::ApplicationModal);
        QVERIFY(d->testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(!d->isVisible());
        QCOMPARE(d->currentMode, quint8(0));
        QVERIFY(d->styleSheet().contains("BackgroundWidget"));
        QVERIFY(d->dateTimeTumbler()->parentWidget() != nullptr);
        QVERIFY(d->isAncestorOf(d->dateTimeTumbler()));

        MaskWidget::instance()->setDialogNames({"BackupList", "TimeSeletor", "MessageDialog", "RecordImport"});
        d->show();
        QVERIFY(MaskWidget::instance()->isVisible());
        d->close();
        QVERIFY(!MaskWidget::instance()->isVisible());
    }

    void opensNinetySecondsAheadOnATenSecondMark_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QTime>("shown");
        QTest::newRow("12:00:07") << QTime(12, 0, 7) << QTime(12, 1, 30);
        QTest::newRow("12:00:00") << QTime(12, 0, 0) << QTime(12, 1, 30);
        QTest::newRow("12:00:01") << QTime(12, 0, 1) << QTime(12, 1, 30);
        QTest::newRow("12:00:10") << QTime(12, 0, 10) << QTime(12, 1, 40);
        QTest::newRow("across midnight") << QTime(23, 58, 59) << QTime(0, 0, 20);
    }

    void opensNinetySecondsAheadOnATenSecondMark()
    {
        QFETCH(QTime, now);
        QFETCH(QTime, shown);
        m_now = QDateTime(QDate(2026, 12, 9), now);
        dialog()->show();
        const QDate day = shown < now ? QDate(2026, 12, 10) : QDate(2026, 12, 9);
        QCOMPARE(dialog()->dateTimeTumbler()->getDateTime(), QDateTime(day, shown));
        // Every showing presets anew.
        dialog()->dateTimeTumbler()->setDateTime(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0)));
        dialog()->close();
        dialog()->show();
        QCOMPARE(dialog()->dateTimeTumbler()->getDateTime(), QDateTime(day, shown));
    }

    void confirmNeedsTenSecondsLead_data()
    {
        QTest::addColumn<int>("ahead");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("9 seconds ahead") << 9 << false;
        QTest::newRow("10 seconds ahead") << 10 << true;
        QTest::newRow("11 seconds ahead") << 11 << true;
        QTest::newRow("now") << 0 << false;
        QTest::newRow("in the past") << -3600 << false;
        QTest::newRow("a day ahead") << 86400 << true;
    }

    void confirmNeedsTenSecondsLead()
    {
        QFETCH(int, ahead);
        QFETCH(bool, accepted);
        QSignalSpy chosen(dialog(), &TimeSeletor::SetDateTime);
        dialog()->currentMode = 1;
        dialog()->show();
        const QDateTime wanted = m_now.addSecs(ahead);
        dialog()->dateTimeTumbler()->setDateTime(wanted);
        click("pbn_SetTime");
        if (accepted) {
            QCOMPARE(chosen.count(), 1);
            QCOMPARE(chosen.at(0).at(0).toUInt(), uint(wanted.toSecsSinceEpoch()));
            QCOMPARE(chosen.at(0).at(1).value<uchar>(), uchar(1));
            QVERIFY(m_warnings->requests.isEmpty());
            QVERIFY(!dialog()->isVisible());
        } else {
            QCOMPARE(chosen.count(), 0);
            QCOMPARE(m_warnings->requests.size(), 1);
            QCOMPARE(m_warnings->requests.at(0).parent, dialog());
            QCOMPARE(m_warnings->requests.at(0).title, QStringLiteral("设置时间失败"));
            QCOMPARE(m_warnings->requests.at(0).text, QStringLiteral("所设时间需大于当前时间10秒以上!<br>请重新设置"));
            QVERIFY(dialog()->isVisible());
        }
        dialog()->currentMode = 0;
    }

    void aLocalTimeSkippedByTheClockChangeIsRefused()
    {
        // Half past two on the last Sunday of March does not exist in Berlin.
        if (QDateTime(QDate(2027, 3, 28), QTime(2, 30)).isValid())
            QSKIP("no daylight-saving time zone data");
        QSignalSpy chosen(dialog(), &TimeSeletor::SetDateTime);
        dialog()->show();
        TumblerDateTime* t = dialog()->dateTimeTumbler();
        const QStringList shown{"2027", "3", "28", "2", "30", "0"};
        for (int i = 0; i < 6; ++i)
            t->tumbler(i)->setCurrentValue(shown.at(i));
        click("pbn_SetTime");
        QCOMPARE(chosen.count(), 0);
        QCOMPARE(m_warnings->requests.size(), 1);
        QVERIFY(dialog()->isVisible());
        // An hour later exists and is taken.
        t->tumbler(3)->setCurrentValue("3");
        click("pbn_SetTime");
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).toUInt(), uint(QDateTime(QDate(2027, 3, 28), QTime(3, 30)).toSecsSinceEpoch()));
    }

    void backToNowThenConfirmIsRefused()
    {
        QSignalSpy chosen(dialog(), &TimeSeletor::SetDateTime);
        dialog()->show();
        click("pbn_clearTime");
        QCOMPARE(dialog()->dateTimeTumbler()->getDateTime(), m_now);
        click("pbn_SetTime");
        QCOMPARE(chosen.count(), 0);
        QCOMPARE(m_warnings->requests.size(), 1);
        QVERIFY(dialog()->isVisible());
    }

    void eachShowingServesOnlyTheReceiverConnectedForIt()
    {
        QObject first;
        QObject second;
        QList<uint> firstGot;
        QList<QPair<uint, uchar>> secondGot;

        // The first page connects, then the user closes with the cross: nothing is sent.
        connect(dialog(), &TimeSeletor::SetDateTime, &first, [&](uint t, uchar) { firstGot << t; });
        dialog()->currentMode = 0;
        dialog()->show();
        click("tbn_close");
        QVERIFY(!dialog()->isVisible());

        // The second page is then the only receiver.
        connect(dialog(), &TimeSeletor::SetDateTime, &second,
                [&](uint t, uchar mode) { secondGot << qMakePair(t, mode); });
        dialog()->currentMode = 1;
        dialog()->show();
        const uint preset = uint(dialog()->dateTimeTumbler()->getDateTime().toSecsSinceEpoch());
        click("pbn_SetTime");
        QVERIFY(firstGot.isEmpty());
        QCOMPARE(secondGot.size(), 1);
        QCOMPARE(secondGot.at(0).first, preset);
        QCOMPARE(secondGot.at(0).second, uchar(1));

        // A confirmed showing drops its receiver too.
        dialog()->show();
        click("pbn_SetTime");
        QCOMPARE(secondGot.size(), 1);
        dialog()->currentMode = 0;
    }

    void refusalWithoutSeamIsAWarningOverTheDialog()
    {
        UiTest::RealDialogs real;
        m_warnings.reset();
        QSignalSpy chosen(dialog(), &TimeSeletor::SetDateTime);
        dialog()->show();
        dialog()->dateTimeTumbler()->setDateTime(m_now);
        QString title;
        QString text;
        QWidget* parent = nullptr;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            // The program's own message dialog, as every other message.
            for (QWidget* w : QApplication::allWidgets()) {
                auto* box = qobject_cast<QDialog*>(w);
                if (box && box->isVisible() && box->objectName() == QLatin1String("MessageDialog")) {
                    title = box->findChild<QLabel*>(QStringLiteral("title"))->text();
                    text = box->findChild<QLabel*>(QStringLiteral("content"))->text();
                    parent = box->parentWidget();
                    box->findChild<QDialogButtonBox*>()->buttons().first()->click();
                    poll.stop();
                    break;
                }
            }
        });
        poll.start(20);
        click("pbn_SetTime");
        QCOMPARE(title, QStringLiteral("设置时间失败"));
        QCOMPARE(text, QStringLiteral("所设时间需大于当前时间10秒以上!<br>请重新设置"));
        QCOMPARE(parent, dialog());
        QCOMPARE(chosen.count(), 0);
        QVERIFY(dialog()->isVisible());
    }
};

// Local time here has daylight-saving changes, so that times the clock skips can be chosen.
int main(int argc, char** argv)
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QApplication app(argc, argv);
    tst_TimeSeletor test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_TimeSeletor.moc"
