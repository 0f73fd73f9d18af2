#include <AwaitedReplies.h>

#include <QtTest>

// Each row is a script of steps on one table, then what they gave: a take or find what the request
// sent ("late:" before it when its expiry was announced), or "-"; an expiry "~" with kind and
// bytes. The steps:
//   a:x     a request of kind a sent "x" (waits a minute)    a:x/20  the same, waiting 20 ms
//   a:x/20- the same, leaving at its expiry
//   a#65    65 requests of kind a, sent "0" to "64"          -a      take the oldest of kind a
//   -a=y    take the oldest of kind a that sent "y..."       ?a:n    find the oldest, note "n" in it
//   ~       wait for the next announced expiry               !       the link drops (gives "!a:x" each)
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
        QTest::newRow("only the late one expires") << "a:x/20 a:y ~ -a -a | ~a:x late:x y";
        QTest::newRow("a late answer is the expired one's, not the newer's") << "a:x/20 ~ a:y -a -a | ~a:x late:x y";
        QTest::newRow("one left at expiry has no late answer") << "a:x/20- ~ -a | ~a:x -";
        QTest::newRow("found is the one in time") << "a:x/20 ~ a:y ?a | ~a:x y";
        QTest::newRow("a taken request never expires") << "a:x/20 -a a:y/40 ~ | x ~a:y";
        QTest::newRow("cap pushes out the oldest, announced") << "a#65 -a | ~a:0 1";
        QTest::newRow("link drop names what it forgets, announces none")
            << "a:x/20 ! a:y/40 ~ -a -a | !a:x ~a:y late:y -";
        QTest::newRow("link drop tells the expired apart") << "a:x/20 ~ a:y ! | ~a:x !a:late:x !a:y";
    }
    void stepsGiveWhatTheyShould()
    {
        QFETCH(QString, script);
        AwaitedReplies table;
        QSignalSpy expired(&table, &AwaitedReplies::expired);
        QStringList out;
        int announced = 0;
        for (const QString& step : script.section(" | ", 0, 0).split(' ')) {
            const quint8 type = step.contains('b') ? 2 : 1, cmd = type == 1 ? 6 : 3; // kinds a and b
            const QByteArray prefix = step.section('=', 1).toLatin1(), note = step.section(':', 1).toLatin1();
            const auto match = prefix.isEmpty() ? AwaitedReplies::Match() : AwaitedReplies::startsWith(prefix);
            QByteArray sent;
            if (step == "~") {
                QVERIFY(expired.size() > announced || expired.wait(5000));
            } else if (step == "!") {
                for (const AwaitedReplies::Request& r : table.clear())
                    out << QStringLiteral("!%1:%2%3")
                               .arg(r.type == 1 ? 'a' : 'b')
                               .arg(r.expired ? "late:" : "")
                               .arg(QString(r.sent));
            } else if (step.startsWith('?')) {
                QByteArray* found = table.find(type, cmd, match);
                out << (found ? QString(*found) : "-");
                if (found)
                    found->append(note);
            } else if (step.startsWith('-')) {
                const AwaitedReplies::Answer a = table.take(type, cmd, &sent, match);
                out << (a == AwaitedReplies::Answer::None   ? QStringLiteral("-")
                        : a == AwaitedReplies::Answer::Late ? QStringLiteral("late:") + QString(sent)
                                                            : QString(sent));
            } else {
                const int n = step.at(1) == '#' ? step.mid(2).toInt() : 1,
                          wait = step.section('/', 1).remove('-').toInt();
                for (int i = 0; i < n; ++i)
                    table.expect(type, cmd, n > 1 ? QByteArray::number(i) : note.split('/').at(0),
                                 wait > 0 ? wait : 60000, !step.endsWith('-'));
            }
            for (; announced < expired.size(); ++announced)
                out << QStringLiteral("~%1:%2")
                           .arg(expired.at(announced).at(0).toUInt() == 1 ? 'a' : 'b')
                           .arg(QString(expired.at(announced).at(2).toByteArray()));
        }
        QCOMPARE(out.join(' '), script.section(" | ", 1));
    }
};

QTEST_GUILESS_MAIN(tst_AwaitedReplies)
#include "tst_AwaitedReplies.moc"
