#include <OpenRequests.h>

#include "TestTime.h"

#include <QtTest>

namespace {
using Check = OpenRequests::Check;

// The kinds of the table, by letter: q a question, a settled by quiet, r and t checked by the run
// state, s the state query (its check question), d checked by the record list, l the list (its
// check question), c a question whose answers name what they answer (several open). Upper case:
// the same kind with a wait short enough to run out.
OpenRequests::Rule ruleOf(quint8 type, quint8 cmd)
{
    const int wait = cmd == 2 ? TestTime::ms(200) : 60000;
    switch (type) {
    case 'a':
        return {wait, Check::Quiet, Check::None, false};
    case 'r':
    case 't':
        return {wait, Check::RunState, Check::None, false};
    case 's':
        return {wait, Check::Quiet, Check::RunState, false};
    case 'd':
        return {wait, Check::RecordList, Check::None, false};
    case 'l':
        return {wait, Check::None, Check::RecordList, false};
    case 'c':
        return {wait, Check::None, Check::None, true};
    default:
        return {wait, Check::None, Check::None, false};
    }
}
} // namespace

// Each row is a script of steps on one table, then what they gave. Steps:
//   k:x   a request of kind k sends "x" ("#x" when it was refused: one of its kind is open)
//   -k    an answer of kind k: what it was taken as ("x", "late:x"; "-" a stray), and for a
//         check's question (s, l) the requests its answer settled ("$x")
//   -k!   the same, the answer unreadable (no payload): a check's question settles nothing
//   -k=y  an answer of kind k naming "y..."         ~  wait for the next thing the table tells
//   -*    an answer naming no kind: the oldest in its time, of any kind ("-" none)
//   ~:x   wait until the table has told x
//   ?k:n  the oldest of kind k in its time ("-" none), "n" noted in what it sent
//   !     the link drops ("!x" for each open request)
// and what the table tells by itself: "~x" x ran out of its wait, "?" the run state is to be
// asked, "u:x" x ended unknown after its quiet wait, "lost:x" x's check got no answer.
// Every row ends with a request answered at once and taken as its own.
class tst_OpenRequests : public QObject
{
    Q_OBJECT

private slots:
    void everyKindEndsInStep_data()
    {
        QTest::addColumn<QString>("script");
        // In time.
        QTest::newRow("question in time") << "q:x -q q:y -q | x y";
        QTest::newRow("quiet kind in time") << "a:x -a a:y -a | x y";
        QTest::newRow("checked kind in time") << "r:x -r r:y -r | x y";
        QTest::newRow("several named in time, by name") << "c:x1 c:y1 -c=y -c=x c:z -c | y1 x1 z";
        // One open at a time: a second of the kind is refused while the first is open.
        QTest::newRow("a second of a kind waits for the first") << "a:x a:y -a a:z -a | #y x z";
        QTest::newRow("kinds apart") << "a:x r:y -r -a a:z -a | y x z";
        // Late: past its wait, still its own.
        QTest::newRow("question late is nobody's") << "Q:x ~ -q Q:y -Q | ~x - y";
        QTest::newRow("quiet kind late is its own") << "A:x ~ A:y -a A:z -A | ~x #y late:x z";
        QTest::newRow("checked kind: an answer during its check is nobody's, the check settles it")
            << "R:x ~ R:y -r s:q -s R:z -R | ~x ? #y - $x z";
        QTest::newRow("record change: a success during its list's check is nobody's, the list settles it")
            << "D:x ~ l:q -d -l D:y -D | ~x ? - $x y";
        // Lost: no answer at all.
        QTest::newRow("quiet kind lost ends unknown, then in step") << "A:x ~ ~ A:y -A | ~x u:x y";
        QTest::newRow("checked kind lost is settled by its check") << "R:x ~ s:q -s R:y -R | ~x ? $x y";
        QTest::newRow("a check asked before the request settles nothing") << "s:q R:x ~ -s s:p -s R:y -R | ~x ? $x y";
        // Stray and repeated: an answer with nothing open is nobody's.
        QTest::newRow("stray answer of each kind") << "-q -a -r -c a:x -a | - - - - x";
        QTest::newRow("repeated answer") << "a:x -a -a r:y -r -r r:z -r | x - y - z";
        QTest::newRow("repeated after a check settled") << "R:x ~ s:q -s -r R:y -R | ~x ? $x - y";
        // Malformed: too short to name anything, taken as the oldest open of its kind.
        QTest::newRow("malformed answer of a named kind takes the oldest") << "c:x1 c:y1 -c -c=y c:z -c | x1 y1 z";
        QTest::newRow("an answer naming no kind takes the oldest in its time")
            << "A:x ~ r:y q:z -* -* -* -a a:w -a | ~x y z - late:x w";
        // Check lost: the run state is not told; what it was to settle is unknown, and asked again.
        QTest::newRow("check lost: told once, asked again, then settled")
            << "R:x ~ S:q ~ ~ S:p ~ ~ s:o -s R:y -R | ~x ? ~q u:q lost:x ? ~p u:p ? $x y";
        // One sent after the lost question is not told lost: the next question is its check.
        QTest::newRow("check lost: told only to what it was asked for")
            << "R:x ~ S:q T:y ~:lost:x s:o -s R:z -R | ~x ? ~q ~y u:q lost:x ? $x $y z";
        QTest::newRow("check lost, then its answer: nobody's, the check asked again settles it")
            << "R:x ~ S:q ~ ~ -r s:o -s R:y -R | ~x ? ~q u:q lost:x ? - $x y";
        // Link drop: every open request ends, whatever its stage.
        QTest::newRow("link drop ends all") << "A:x ~ r:y c:z ! a:w -a r:v -r | ~x !x !y !z w v";
        QTest::newRow("link drop during a check") << "R:x ~ s:q ! R:y -R | ~x ? !x !q y";
        // Several of a kind whose answers name them.
        QTest::newRow("several: oldest first, kinds apart") << "c:x c:y q:z -q -c -c -c c:w -c | z x y - w";
        QTest::newRow("several: taken by what it sent") << "c:x1 c:y1 c:y2 -c=y -c=x -c c:z -c | y1 x1 y2 z";
        QTest::newRow("several: no match leaves all open") << "c:x -c=z -c c:w -c | - x w";
        QTest::newRow("found is left open, with its note") << "c:x ?c:n -c -c c:w -c | x xn - w";
        QTest::newRow("found is the one in its time") << "C:x ~ c:y ?c:n -c c:w -c | ~x y yn w";
        QTest::newRow("an answer naming its request is its own beside an expired one")
            << "C:x1 ~ c:y1 -c=y -c c:z1 -c | ~x1 y1 - z1";
        QTest::newRow("malformed names nothing: the oldest, then by name") << "c:x1 c:y1 -c c:z1 -c=z -c=y | x1 z1 y1";
        // Past its wait: told once, then late.
        QTest::newRow("expiry told once, then taken late") << "A:x ~ -a -a a:y -a | ~x late:x - y";
        QTest::newRow("the second of a kind is refused, the late answer is the first's")
            << "A:x A:y ~ -a -a a:z -a | #y ~x late:x - z";
        QTest::newRow("an answer after the expired one is nobody's") << "A:x ~ A:y -a -a a:z -a | ~x #y late:x - z";
        QTest::newRow("a question left at its wait has no late answer") << "Q:x ~ -q q:y -q | ~x - y";
        QTest::newRow("a taken request never runs out") << "A:x -a A:y ~ -a a:z -a | x ~y late:y z";
        QTest::newRow("a run of sends of a kind opens one: the table stays bounded")
            << "A:x A:y A:z ~ -a a:w -a | #y #z ~x late:x w";
        // Link drop.
        QTest::newRow("link drop forgets, and tells no expiry of what it forgot")
            << "A:x ! A:y ~ -a a:z -a | !x ~y late:y z";
        QTest::newRow("link drop ends the expired and the waiting alike") << "A:x ~ r:y ! a:z -a | ~x !x !y z";
        QTest::newRow("link drop ends a check") << "R:x ~ ! R:y -R | ~x ? !x y";
        // Each way an answer goes astray costs one check at most; then in step.
        QTest::newRow("lost answer: a second refused until the check settles it")
            << "R:x ~ R:y s:q -s R:z -R | ~x ? #y $x z";
        QTest::newRow("lost answer checked after its expiry: the next is its own") << "R:x ~ s:q -s r:y -r | ~x ? $x y";
        QTest::newRow("stray answer after a check: nobody's") << "R:x ~ s:q -s -r r:y -r | ~x ? $x - y";
        QTest::newRow("repeated answers: nobody's") << "r:x -r -r -r r:y -r | x - - y";
        QTest::newRow("an answer before the check's report is nobody's: the report settles it")
            << "R:x ~ s:q -r -s R:y -R | ~x ? - $x y";
        QTest::newRow("a check settles the expired only") << "R:x ~ q:y s:q -s -q R:z -R | ~x ? $x y z";
        QTest::newRow("a check names what it settles, oldest first, and only once")
            << "R:x ~ T:y ~ s:q -s -s R:z -R | ~x ? ~y ? $x $y - z";
        QTest::newRow("a check is of its kinds alone") << "R:x ~ a:y -a | ~x ? y";
        // The kinds the rows above leave out.
        QTest::newRow("state query late: its own, it settles what it was to") << "R:x ~ S:q ~ -s R:y -R | ~x ? ~q $x y";
        QTest::newRow("stray state report is nobody's") << "-s r:x -r | - x";
        QTest::newRow("repeated question, named and state answers")
            << "q:x -q -q c:y -c -c s:z -s -s q:w -q | x - y - - w";
        QTest::newRow("link drop ends a question too") << "q:x R:y ~ ! q:z -q | ~y ? !x !y z";
        // A check's answer that cannot be read settles nothing: the check is lost, told once, and
        // asked again after a wait.
        QTest::newRow("state answer unreadable: lost, asked again, then settled")
            << "R:x ~ s:q -s! ~ s:o -s R:y -R | ~x ? lost:x ? $x y";
        QTest::newRow("state answer unreadable twice: told lost once")
            << "R:x ~ s:q -s! ~ s:p -s! ~ s:o -s R:y -R | ~x ? lost:x ? ? $x y";
        QTest::newRow("list unreadable: lost, asked again, then settled")
            << "D:x ~ l:q -l! ~ l:o -l D:y -D | ~x ? lost:x ? $x y";
        QTest::newRow("list in time settles the record change, a state answer does not")
            << "D:x R:y ~ s:q -s l:o -l D:z -D | ~x ~y ? ? $y $x z";
        // A drop forgets the checks asked: the next request's check is asked.
        QTest::newRow("link drop forgets the check asked") << "R:x ~ s:q ! R:y ~ s:o -s R:z -R | ~x ? !x !q ~y ? $y z";
    }
    void everyKindEndsInStep()
    {
        QFETCH(QString, script);
        OpenRequests table(ruleOf);
        for (Check check : {Check::RunState, Check::RecordList})
            table.setVerifier(check, [](const QByteArray& answer) { return !answer.isEmpty(); });
        QStringList out;
        int told = 0;
        const auto tellAs = [&](const QString& text) {
            out << text;
            ++told;
        };
        connect(&table, &OpenRequests::timedOut, this,
                [&](const OpenRequests::Request& r) { tellAs(QStringLiteral("~") + QString(r.sent)); });
        connect(&table, &OpenRequests::unanswered, this,
                [&](const OpenRequests::Request& r) { tellAs(QStringLiteral("u:") + QString(r.sent)); });
        connect(&table, &OpenRequests::checkNeeded, this, [&](Check) { tellAs(QStringLiteral("?")); });
        connect(&table, &OpenRequests::checkLost, this, [&](Check, const QList<OpenRequests::Request>& lost) {
            for (const OpenRequests::Request& r : lost)
                tellAs(QStringLiteral("lost:") + QString(r.sent));
        });
        int seen = 0;
        for (const QString& step : script.section(" | ", 0, 0).split(' ')) {
            if (step.startsWith("~:")) {
                QTRY_VERIFY_WITH_TIMEOUT(out.contains(step.mid(2)), TestTime::ms(10000));
                seen = told;
                continue;
            }
            if (step == "~") {
                QTRY_VERIFY_WITH_TIMEOUT(told > seen, TestTime::ms(10000));
                seen = told;
                continue;
            }
            if (step.startsWith('?')) {
                const quint8 kind = quint8(step.at(1).toLower().toLatin1());
                QByteArray* found = table.find(kind, 2);
                if (!found)
                    found = table.find(kind, 1);
                out << (found ? QString(*found) : QStringLiteral("-"));
                if (found)
                    found->append(step.section(':', 1).toLatin1());
                continue;
            }
            if (step == "!") {
                for (const OpenRequests::Request& r : table.clear())
                    out << QStringLiteral("!") + QString(r.sent);
                continue;
            }
            if (step == "-*") {
                const OpenRequests::Taken t = table.takeOldest();
                out << (t.answer == OpenRequests::Answer::None ? QStringLiteral("-") : QString(t.request.sent));
                seen = told;
                continue;
            }
            const bool answer = step.startsWith('-');
            const QChar letter = step.at(answer ? 1 : 0);
            const quint8 type = quint8(letter.toLower().toLatin1()), cmd = letter.isUpper() ? 2 : 1;
            if (answer) {
                const QByteArray named = step.section('=', 1).toLatin1();
                // An answer is of its kind, whatever wait its request had.
                OpenRequests::Taken t =
                    table.take(type, 2, named.isEmpty() ? OpenRequests::Match() : OpenRequests::startsWith(named));
                if (t.answer == OpenRequests::Answer::None)
                    t = table.take(type, 1, named.isEmpty() ? OpenRequests::Match() : OpenRequests::startsWith(named));
                const bool unreadable = step.endsWith('!');
                out << (t.answer == OpenRequests::Answer::None   ? QStringLiteral("-")
                        : t.answer == OpenRequests::Answer::Late ? QStringLiteral("late:") + QString(t.request.sent)
                                                                 : QString(t.request.sent));
                if ((type == 's' || type == 'l') && t.answer != OpenRequests::Answer::None) {
                    out.removeLast();
                    const Check check = type == 's' ? Check::RunState : Check::RecordList;
                    for (const OpenRequests::Request& r :
                         table.answered(check, t.request.seq, unreadable ? QByteArray() : QByteArray("ok")))
                        out << QStringLiteral("$") + QString(r.sent);
                }
                seen = told;
                continue;
            }
            if (type == 's' || type == 'l')
                table.asking(type == 's' ? Check::RunState : Check::RecordList);
            const QByteArray sent = step.section(':', 1).toLatin1();
            // Of a kind open under the other wait, it is refused all the same.
            const bool refused =
                (table.isOpen(type, cmd == 1 ? 2 : 1) && !ruleOf(type, cmd).several) || !table.open(type, cmd, sent);
            if (refused)
                out << QStringLiteral("#") + QString(sent);
            seen = told;
        }
        QCOMPARE(out.join(' '), script.section(" | ", 1));
    }
};

QTEST_GUILESS_MAIN(tst_OpenRequests)
#include "tst_OpenRequests.moc"
