#include <AwaitedReplies.h>
#include <TestTime.h>

#include <QtTest>

// Each row is a script of steps on one table, then what they gave: a take or find what the request
// sent ("late:" before it when its expiry was announced; "?" and the requests that left in doubt
// when the answer was unsure), or "-"; an expiry "~" with kind and bytes. The steps:
//   a:x     a request of kind a sent "x" (waits a minute)    a:x/20  the same, waiting 20 ticks
//   a:x/20- the same, leaving at its expiry
//   a#65    65 requests of kind a, sent "0" to "64"          -a      an answer of kind a
//   -a=y    an answer of kind a naming "y..."                ?a:n    find the oldest, note "n" in it
//   $a      the request last answered was a check of kind a: it settles a (gives "$" and the
//           expired requests it let go of, when any)
//   ~       wait for the next announced expiry               !       the link drops (gives "!a:x" each)
// Kinds a, b and c are apart; c stands for a question whose answer names things. A malformed
// answer is one too short to name what it answers: it is taken as one naming nothing.
// A tick is 10 ms at the test time scale: the steps after a request run within a fraction of its
// wait on a loaded machine, and the order of expiries holds under any scale.
class tst_AwaitedReplies : public QObject
{
    Q_OBJECT

private slots:
    void stepsGiveWhatTheyShould_data()
    {
        QTest::addColumn<QString>("script"); // the steps, then "|" and what they gave
        QTest::newRow("oldest first, kinds apart") << "a:x a:y b:z -b -a -a -a | z x y -";
        QTest::newRow("taken by what it sent") << "a:x1 a:y1 a:y2 -a=y -a=x -a | y1 x1 y2";
        QTest::newRow("no match leaves all waiting") << "a:x -a=z -a | - x";
        QTest::newRow("found is left waiting, with its note") << "a:x ?a:n -a -a | x xn -";
        QTest::newRow("expiry announced once, then taken late") << "a:x/20 ~ -a -a | ~a:x late:x -";
        QTest::newRow("only the late one expires, so an answer is unsure") << "a:x/20 a:y ~ -a -a | ~a:x ?x,y ?";
        QTest::newRow("an answer while an expired and a newer one wait is neither's")
            << "a:x/20 ~ a:y -a -a | ~a:x ?x,y ?";
        QTest::newRow("one left at expiry has no late answer") << "a:x/20- ~ -a | ~a:x -";
        QTest::newRow("found is the one in time") << "a:x/20 ~ a:y ?a | ~a:x y";
        QTest::newRow("a taken request never expires") << "a:x/20 -a a:y/40 ~ | x ~a:y";
        QTest::newRow("cap pushes out the oldest, announced") << "a#65 -a | ~a:0 1";
        QTest::newRow("link drop names what it forgets, announces none")
            << "a:x/20 ! a:y/40 ~ -a -a | !a:x ~a:y late:y -";
        QTest::newRow("link drop tells the expired apart") << "a:x/20 ~ a:y ! | ~a:x !a:late:x !a:y";
        // Each way an answer goes astray costs one check; the next request answered at once is its own.
        QTest::newRow("lost answer: one check, then in step") << "a:x/20 ~ a:y -a c:q -c $a a:z -a | ~a:x ?x,y q z";
        QTest::newRow("lost answer checked after its expiry: the next is its own")
            << "a:x/20 ~ c:q -c $a a:y -a | ~a:x q $x y";
        QTest::newRow("stray answer: one check, then in step")
            << "a:x/20 ~ a:y -a -a c:q -c $a a:z -a | ~a:x ?x,y ? q z";
        QTest::newRow("repeated answer: one check, then in step")
            << "a:x/20 ~ a:y -a -a -a c:q -c $a a:z -a a:w -a | ~a:x ?x,y ? ? q z w";
        QTest::newRow("malformed answer names nothing: one check, then in step")
            << "a:x1/20 ~ a:y1 -a c:q -c $a a:z1 -a | ~a:x1 ?x1,y1 q z1";
        QTest::newRow("an answer that names its request is its own beside an expired one")
            << "a:x1/20 ~ a:y1 -a=y -a | ~a:x1 y1 late:x1";
        QTest::newRow("a check asked before the last request in doubt leaves the doubt")
            << "a:x/20 ~ a:y -a c:q a:w -a -c $a -a c:r -c $a a:z -a | ~a:x ?x,y ?w q ? r z";
        QTest::newRow("a check lets go of the expired only") << "a:x/20 ~ a:y c:q -c $a -a | ~a:x q $x y";
        QTest::newRow("a check names what it settles, oldest first, and only once")
            << "a:x/20 ~ a:y/20 ~ c:q -c $a $a -a | ~a:x ~a:y q $x,y -";
        QTest::newRow("the doubt is of its kind alone") << "a:x/20 ~ a:y -a b:z -b | ~a:x ?x,y z";
        QTest::newRow("link drop ends the doubt") << "a:x/20 ~ a:y -a ! a:z -a | ~a:x ?x,y z";
    }
    void stepsGiveWhatTheyShould()
    {
        QFETCH(QString, script);
        AwaitedReplies table;
        QSignalSpy expired(&table, &AwaitedReplies::expired);
        QStringList out;
        int announced = 0;
        quint64 lastTaken = 0;
        const auto kindLetter = [](quint8 type) { return QChar(type == 1 ? 'a' : type == 2 ? 'b' : 'c'); };
        for (const QString& step : script.section(" | ", 0, 0).split(' ')) {
            const QChar letter =
                QStringLiteral("-?$").contains(step.at(0)) && step.size() > 1 ? step.at(1) : step.at(0);
            const quint8 type = letter == 'a' ? 1 : letter == 'b' ? 2 : 3, cmd = type == 1 ? 6 : type == 2 ? 3 : 1;
            const QByteArray prefix = step.section('=', 1).toLatin1(), note = step.section(':', 1).toLatin1();
            const auto match = prefix.isEmpty() ? AwaitedReplies::Match() : AwaitedReplies::startsWith(prefix);
            if (step == "~") {
                QVERIFY(expired.size() > announced || expired.wait(TestTime::ms(5000)));
            } else if (step == "!") {
                for (const AwaitedReplies::Request& r : table.clear())
                    out << QStringLiteral("!%1:%2%3")
                               .arg(kindLetter(r.type))
                               .arg(r.expired ? "late:" : "")
                               .arg(QString(r.sent));
            } else if (step.startsWith('$')) {
                QStringList settled;
                for (const AwaitedReplies::Request& r : table.settle(type, cmd, lastTaken))
                    settled << QString(r.sent);
                if (!settled.isEmpty())
                    out << QStringLiteral("$") + settled.join(',');
            } else if (step.startsWith('?')) {
                QByteArray* found = table.find(type, cmd, match);
                out << (found ? QString(*found) : "-");
                if (found)
                    found->append(note);
            } else if (step.startsWith('-')) {
                const AwaitedReplies::Taken t = table.take(type, cmd, match);
                QStringList doubted;
                for (const AwaitedReplies::Request& r : t.inDoubt)
                    doubted << QString(r.sent);
                if (t.answer == AwaitedReplies::Answer::InTime || t.answer == AwaitedReplies::Answer::Late)
                    lastTaken = t.request.seq;
                out << (t.answer == AwaitedReplies::Answer::None     ? QStringLiteral("-")
                        : t.answer == AwaitedReplies::Answer::Unsure ? QStringLiteral("?") + doubted.join(',')
                        : t.answer == AwaitedReplies::Answer::Late   ? QStringLiteral("late:") + QString(t.request.sent)
                                                                     : QString(t.request.sent));
            } else {
                const int n = step.at(1) == '#' ? step.mid(2).toInt() : 1,
                          wait = step.section('/', 1).remove('-').toInt();
                for (int i = 0; i < n; ++i)
                    table.expect(type, cmd, n > 1 ? QByteArray::number(i) : note.split('/').at(0),
                                 wait > 0 ? wait * TestTime::ms(10) : 60000, !step.endsWith('-'));
            }
            for (; announced < expired.size(); ++announced) {
                const auto r = expired.at(announced).at(0).value<AwaitedReplies::Request>();
                out << QStringLiteral("~%1:%2").arg(kindLetter(r.type)).arg(QString(r.sent));
            }
        }
        QCOMPARE(out.join(' '), script.section(" | ", 1));
    }
};

QTEST_GUILESS_MAIN(tst_AwaitedReplies)
#include "tst_AwaitedReplies.moc"
