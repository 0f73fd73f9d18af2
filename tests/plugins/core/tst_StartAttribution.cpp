#include <StartAttribution.h>
#include <UpDownLoadAssist.h>

#include <QtTest>

namespace {
constexpr int kNone = UpDownLoadAssist::kStartUnanswered;
constexpr int kNotConnected = UpDownLoadAssist::kStartNotConnected;
} // namespace

// Each row: what each card was credited, in the order the requests went out, whether each card
// connected, what each card did and how many refusals no card accounts for.
class tst_StartAttribution : public QObject
{
    Q_OBJECT

private slots:
    void answersFollowTheCardsThatConnected_data()
    {
        QTest::addColumn<QVector<int>>("credited");
        QTest::addColumn<QVector<bool>>("connected");
        QTest::addColumn<QVector<int>>("cards");
        QTest::addColumn<int>("unaccounted");
        QTest::newRow("in order, card 2 refuses")
            << QVector<int>{0, 2, 0} << QVector<bool>{true, false, true} << QVector<int>{0, 2, 0} << 0;
        QTest::newRow("in order, stopped before any card connected")
            << QVector<int>{0, 2, 0} << QVector<bool>{false, false, false} << QVector<int>{0, 2, 0} << 0;
        QTest::newRow("card 1's answer lost, card 2 refuses")
            << QVector<int>{2, 0, kNone} << QVector<bool>{true, false, true} << QVector<int>{0, 2, 0} << 0;
        QTest::newRow("card 1's answer lost, card 3 refuses")
            << QVector<int>{0, 1, kNone} << QVector<bool>{true, true, false} << QVector<int>{0, 0, 1} << 0;
        QTest::newRow("two answers lost before card 3's refusal")
            << QVector<int>{2, 0, kNone, kNone} << QVector<bool>{true, true, false, true} << QVector<int>{0, 0, 2, 0}
            << 0;
        QTest::newRow("card 2 accepted, stopped before it connected")
            << QVector<int>{0, 0, 1} << QVector<bool>{true, false, false} << QVector<int>{0, 0, 1} << 0;
        QTest::newRow("a late card found connected")
            << QVector<int>{0, kNone, kNotConnected} << QVector<bool>{true, true, false}
            << QVector<int>{0, 0, kNotConnected} << 0;
        // No card after it to take it: a stray refusal, every card accepted.
        QTest::newRow("refusal credited to the last card, which connected")
            << QVector<int>{0, 2} << QVector<bool>{true, true} << QVector<int>{0, 0} << 1;
        QTest::newRow("a refusal carried past the last card")
            << QVector<int>{1, 0, 2} << QVector<bool>{true, false, true} << QVector<int>{0, 1, 0} << 1;
        QTest::newRow("connections not known") << QVector<int>{1, 1} << QVector<bool>{} << QVector<int>{1, 1} << 0;
    }
    void answersFollowTheCardsThatConnected()
    {
        QFETCH(QVector<int>, credited);
        QFETCH(QVector<bool>, connected);
        QFETCH(QVector<int>, cards);
        QFETCH(int, unaccounted);
        const StartAttribution::Cards found = StartAttribution::byConnection(credited, connected);
        QCOMPARE(found.answers, cards);
        QCOMPARE(found.unaccounted, unaccounted);
    }
};

QTEST_MAIN(tst_StartAttribution)
#include "tst_StartAttribution.moc"
