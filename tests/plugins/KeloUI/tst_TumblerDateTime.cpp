#include <Tumbler.h>
#include <TumblerDateTime.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
enum Column { Year, Month, Day, Hour, Minute, Second };

// A fixed "now" inside the year window 2026 ... 2056.
const QDateTime kNow(QDate(2026, 3, 10), QTime(12, 0, 7));

QStringList numbers(int from, int to)
{
    QStringList l;
    for (int i = from; i <= to; ++i)
        l << QString::number(i);
    return l;
}
} // namespace

class tst_TumblerDateTime : public QObject
{
    Q_OBJECT

    static void show(TumblerDateTime& w, int year, int month, int day, int h, int m, int s)
    {
        const int values[6] = {year, month, day, h, m, s};
        for (int i = 0; i < 6; ++i)
            w.tumbler(i)->setCurrentValue(QString::number(values[i]));
    }

private slots:
    void initTestCase()
    {
        TumblerDateTime::setClock([] { return kNow; });
    }

    void cleanupTestCase() { TumblerDateTime::setClock({}); }

    void columnsHoldTheirEntriesUnitsAndButtons()
    {
        TumblerDateTime w;
        QCOMPARE(w.tumbler(Year)->getListValue(), numbers(2026, 2056));
        QCOMPARE(w.tumbler(Month)->getListValue(), numbers(1, 12));
        QCOMPARE(w.tumbler(Day)->getListValue(), numbers(1, 31));
        QCOMPARE(w.tumbler(Hour)->getListValue(), numbers(0, 23));
        QCOMPARE(w.tumbler(Minute)->getListValue(), numbers(0, 59));
        QCOMPARE(w.tumbler(Second)->getListValue(), numbers(0, 59));
        const QStringList units{"年", "月", "日", "时", "分", "秒"};
        const QStringList tops{"- 1", "1", "1", "0", "0", "0"};
        const QStringList bottoms{"+ 1", "12", "31", "23", "59", "59"};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(w.tumbler(i)->getLabelFormat(), QStringLiteral("%1 ") + units.at(i));
            QCOMPARE(w.topButton(i)->text(), tops.at(i));
            QCOMPARE(w.bottomButton(i)->text(), bottoms.at(i));
            QCOMPARE(w.tumbler(i)->getCurrentIndex(), 0);
            QCOMPARE(w.tumbler(i)->parentWidget(), &w);
        }
        // Left to right in column order.
        w.resize(600, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int i = 1; i < 6; ++i)
            QVERIFY(w.tumbler(i)->x() > w.tumbler(i - 1)->x());
        QVERIFY(w.topButton(Day)->y() < w.tumbler(Day)->y());
        QVERIFY(w.bottomButton(Day)->y() > w.tumbler(Day)->y());
    }

    void readsTheShownValuesAsLocalTime_data()
    {
        QTest::addColumn<QList<int>>("shown");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("single digits are zero-padded")
            << QList<int>{2026, 1, 5, 0, 0, 7} << QDateTime(QDate(2026, 1, 5), QTime(0, 0, 7));
        QTest::newRow("last second of a year")
            << QList<int>{2030, 12, 31, 23, 59, 59} << QDateTime(QDate(2030, 12, 31), QTime(23, 59, 59));
        QTest::newRow("leap day") << QList<int>{2028, 2, 29, 8, 30, 0}
                                  << QDateTime(QDate(2028, 2, 29), QTime(8, 30, 0));
        QTest::newRow("after 2038") << QList<int>{2056, 7, 1, 12, 0, 0}
                                    << QDateTime(QDate(2056, 7, 1), QTime(12, 0, 0));
    }

    void readsTheShownValuesAsLocalTime()
    {
        QFETCH(QList<int>, shown);
        QFETCH(QDateTime, expected);
        TumblerDateTime w;
        show(w, shown[0], shown[1], shown[2], shown[3], shown[4], shown[5]);
        QCOMPARE(w.getDateTime(), expected);
        QCOMPARE(w.getDateTime().timeSpec(), Qt::LocalTime);
    }

    void dayColumnFollowsMonthAndYear_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("days");
        QTest::newRow("January") << 2027 << 1 << 31;
        QTest::newRow("April") << 2027 << 4 << 30;
        QTest::newRow("June") << 2027 << 6 << 30;
        QTest::newRow("July") << 2027 << 7 << 31;
        QTest::newRow("August") << 2027 << 8 << 31;
        QTest::newRow("September") << 2027 << 9 << 30;
        QTest::newRow("November") << 2027 << 11 << 30;
        QTest::newRow("December") << 2027 << 12 << 31;
        QTest::newRow("February of a common year") << 2027 << 2 << 28;
        QTest::newRow("February of a leap year") << 2028 << 2 << 29;
    }

    void dayColumnFollowsMonthAndYear()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, days);
        TumblerDateTime w;
        w.tumbler(Year)->setCurrentValue(QString::number(year));
        w.tumbler(Month)->setCurrentValue(QString::number(month));
        QCOMPARE(w.tumbler(Day)->getListValue(), numbers(1, days));
        QCOMPARE(w.bottomButton(Day)->text(), QString::number(days));
        // The bottom button picks the last day.
        w.bottomButton(Day)->click();
        QCOMPARE(w.tumbler(Day)->getCurrentValue(), QString::number(days));
    }

    void leapYearRuleKeepsTheCenturyRules_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("february");
        QTest::newRow("divisible by 4") << 2028 << 29;
        QTest::newRow("not divisible by 4") << 2029 << 28;
        QTest::newRow("century") << 2100 << 28;
        QTest::newRow("fourth century") << 2000 << 29;
        QTest::newRow("2400") << 2400 << 29;
        QTest::newRow("1900") << 1900 << 28;
    }

    void leapYearRuleKeepsTheCenturyRules()
    {
        QFETCH(int, year);
        QFETCH(int, february);
        QCOMPARE(TumblerDateTime::daysInMonth(2, year), february);
        QCOMPARE(TumblerDateTime::daysInMonth(2, year), QDate(year, 2, 1).daysInMonth());
    }

    void shorterMonthLowersTheChosenDay()
    {
        TumblerDateTime w;
        w.tumbler(Year)->setCurrentValue("2027");
        w.tumbler(Month)->setCurrentValue("1");
        w.tumbler(Day)->setCurrentValue("31");
        w.tumbler(Month)->setCurrentValue("4");
        QCOMPARE(w.tumbler(Day)->getListValue(), numbers(1, 30));
        QCOMPARE(w.tumbler(Day)->getCurrentValue(), QStringLiteral("30"));
        QCOMPARE(w.bottomButton(Day)->text(), QStringLiteral("30"));

        // February of a common year takes it down to 28; a leap year then keeps 28.
        w.tumbler(Month)->setCurrentValue("2");
        QCOMPARE(w.tumbler(Day)->getCurrentValue(), QStringLiteral("28"));
        w.tumbler(Year)->setCurrentValue("2028");
        QCOMPARE(w.tumbler(Day)->getListValue(), numbers(1, 29));
        QCOMPARE(w.tumbler(Day)->getCurrentValue(), QStringLiteral("28"));
        // A day that fits stays.
        w.tumbler(Day)->setCurrentValue("12");
        w.tumbler(Month)->setCurrentValue("9");
        QCOMPARE(w.tumbler(Day)->getCurrentValue(), QStringLiteral("12"));
    }

    void changingDayOrTimeLeavesTheDayColumnAlone()
    {
        TumblerDateTime w;
        w.tumbler(Month)->setCurrentValue("2");
        QCOMPARE(w.bottomButton(Day)->text(), QStringLiteral("28"));
        QSignalSpy dayIndex(w.tumbler(Day), &Tumbler::currentIndexChanged);
        for (int c : {Hour, Minute, Second})
            w.tumbler(c)->setCurrentValue("7");
        QCOMPARE(dayIndex.count(), 0);
        w.tumbler(Day)->setCurrentValue("20");
        // Only the one change of the day itself, no rebuild after it.
        QCOMPARE(dayIndex.count(), 1);
        QCOMPARE(w.tumbler(Day)->getListValue(), numbers(1, 28));
        QCOMPARE(w.bottomButton(Day)->text(), QStringLiteral("28"));
    }

    void writesAndReadsBackEveryDayOfALeapYear()
    {
        TumblerDateTime w;
        // Forward and backward through 2028: every way into a short month from a long one.
        QDate d(2028, 1, 1);
        for (int i = 0; i < 366; ++i, d = d.addDays(1)) {
            const QDateTime t(d, QTime(i % 24, i % 60, (i * 7) % 60));
            w.setDateTime(t);
            QCOMPARE(w.getDateTime(), t);
        }
        d = QDate(2028, 12, 31);
        for (int i = 0; i < 366; ++i, d = d.addDays(-1)) {
            const QDateTime t(d, QTime(23, 59, 59));
            w.setDateTime(t);
            QCOMPARE(w.getDateTime(), t);
        }
        // Straight from the 31st of a month to the 29th of February.
        w.setDateTime(QDateTime(QDate(2030, 3, 31), QTime(1, 2, 3)));
        w.setDateTime(QDateTime(QDate(2032, 2, 29), QTime(4, 5, 6)));
        QCOMPARE(w.getDateTime(), QDateTime(QDate(2032, 2, 29), QTime(4, 5, 6)));
    }

    void yearOutsideTheWindowKeepsTheShownYear_data()
    {
        QTest::addColumn<QDateTime>("wanted");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("a year before") << QDateTime(QDate(2024, 5, 17), QTime(9, 8, 7))
                                       << QDateTime(QDate(2031, 5, 17), QTime(9, 8, 7));
        QTest::newRow("past the window") << QDateTime(QDate(2057, 11, 30), QTime(22, 0, 1))
                                         << QDateTime(QDate(2031, 11, 30), QTime(22, 0, 1));
        // The shown year has no 29th of February: the day stays what it was after the rebuild.
        QTest::newRow("leap day of a year before")
            << QDateTime(QDate(2024, 2, 29), QTime(0, 0, 0)) << QDateTime(QDate(2031, 2, 28), QTime(0, 0, 0));
    }

    void yearOutsideTheWindowKeepsTheShownYear()
    {
        QFETCH(QDateTime, wanted);
        QFETCH(QDateTime, expected);
        TumblerDateTime w;
        w.setDateTime(QDateTime(QDate(2031, 1, 31), QTime(0, 0, 0)));
        w.setDateTime(wanted);
        QCOMPARE(w.getDateTime(), expected);
        QVERIFY(w.getDateTime().isValid());
    }

    void secondsSinceEpochAreShownAsLocalTime()
    {
        TumblerDateTime w;
        const QDateTime t(QDate(2030, 6, 15), QTime(8, 9, 10));
        w.setDateTimeT(t.toTime_t());
        QCOMPARE(w.getDateTime(), t);
        QCOMPARE(w.getDateTime().toTime_t(), t.toTime_t());

        w.setCurrentDateTime();
        QCOMPARE(w.getDateTime(), kNow);
    }

    void yearButtonsStepOneYearAndStopAtTheEnds()
    {
        TumblerDateTime w;
        w.topButton(Year)->click();
        QCOMPARE(w.tumbler(Year)->getCurrentValue(), QStringLiteral("2026"));
        w.bottomButton(Year)->click();
        QCOMPARE(w.tumbler(Year)->getCurrentValue(), QStringLiteral("2027"));
        w.topButton(Year)->click();
        QCOMPARE(w.tumbler(Year)->getCurrentValue(), QStringLiteral("2026"));
        w.tumbler(Year)->setCurrentValue("2056");
        w.bottomButton(Year)->click();
        QCOMPARE(w.tumbler(Year)->getCurrentValue(), QStringLiteral("2056"));
    }

    void columnButtonsPickTheirColumnsEnds()
    {
        TumblerDateTime w;
        w.tumbler(Month)->setCurrentValue("6");
        for (int c : {Month, Hour, Minute, Second}) {
            w.bottomButton(c)->click();
            QCOMPARE(w.tumbler(c)->getCurrentValue(), w.tumbler(c)->getListValue().last());
            w.topButton(c)->click();
            QCOMPARE(w.tumbler(c)->getCurrentValue(), w.tumbler(c)->getListValue().first());
        }
        // The month is now 1 again: its day column has 31 days.
        w.bottomButton(Day)->click();
        QCOMPARE(w.tumbler(Day)->getCurrentValue(), QStringLiteral("31"));
        w.topButton(Day)->click();
        QCOMPARE(w.tumbler(Day)->getCurrentValue(), QStringLiteral("1"));
    }
};

QTEST_MAIN(tst_TumblerDateTime)
#include "tst_TumblerDateTime.moc"
