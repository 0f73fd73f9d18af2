#include <ExtendRequests.h>

#include "TestTime.h"

#include <QSignalSpy>
#include <QtTest>

// The extension link's table of requests, without a socket: a request whose answer is lost is
// checked, and what the check's answers are told as, in order.
class tst_ExtendRequests : public QObject
{
    Q_OBJECT

private slots:
    void lostAnswerIsCheckedUntilACheckReadsIt_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("payload");
        // The answers, in hex, to the check's questions as they go out; "-": none comes.
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("told");
        const QString started = QStringLiteral("设备未及时应答，已查询设备状态：采集中");
        const QString stateLost = QStringLiteral("未能获取设备状态，以下请求的结果未知：\n采集");
        QTest::newRow("start, its check answered") << int(COST_Record) << QByteArray::fromHex("FF00000001")
                                                   << QStringList{"02"} << QStringList{"采集超时", started};
        QTest::newRow("start, the state answer without payload: lost once, asked again")
            << int(COST_Record) << QByteArray::fromHex("FF00000001") << QStringList{"", "", "02"}
            << QStringList{"采集超时", stateLost, started};
        QTest::newRow("start, the state answer naming no state: lost, asked again")
            << int(COST_Record) << QByteArray::fromHex("FF00000001") << QStringList{"09", "02"}
            << QStringList{"采集超时", stateLost, started};
        QTest::newRow("start, its check unanswered twice: told once")
            << int(COST_Record) << QByteArray::fromHex("FF00000001") << QStringList{"-", "-", "02"}
            << QStringList{"采集超时", stateLost, started};
        // A list short of the names it announces would show the record gone.
        QTest::newRow("delete, the list short of its count: lost, asked again")
            << int(COST_DeleteRecord) << QByteArray::fromHex("0000000A")
            << QStringList{"00000003 0000000B", "00000002 0000000A 0000000B"}
            << QStringList{"删除记录超时", "未能获取记录列表，以下请求的结果未知：\n删除记录 10",
                           "设备未及时应答，已重新获取记录列表：\n10 仍在设备上"};
        QTest::newRow("delete, the list without payload: lost, asked again")
            << int(COST_DeleteRecord) << QByteArray::fromHex("0000000A") << QStringList{"", "00000000"}
            << QStringList{"删除记录超时", "未能获取记录列表，以下请求的结果未知：\n删除记录 10",
                           "设备未及时应答，已重新获取记录列表：\n10 已删除"};
    }
    void lostAnswerIsCheckedUntilACheckReadsIt()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, told);
        ExtendRequests link;
        link.setReplyTimeout(TestTime::ms(150));
        const COST question = ExtendRequests::ruleOf(quint8(code), 0).check == OpenRequests::Check::RunState
                                ? COST_GetStatus
                                : COST_GetRecords;
        QList<QByteArray> frames;
        connect(&link, &ExtendRequests::frameOut, [&](const QByteArray& f) { frames << f; });
        QStringList texts;
        connect(&link, &ExtendRequests::told, [&](const ExtendRequests::Word& w) { texts << w.text; });
        const auto questions = [&] {
            int n = 0;
            for (const QByteArray& f : qAsConst(frames))
                n += quint8(f.at(2)) == question ? 1 : 0;
            return n;
        };
        QVERIFY(link.send(COST(code), payload) != 0);
        for (int i = 0; i < answers.size(); ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(questions() > i, TestTime::ms(5000));
            if (answers.at(i) != QLatin1String("-"))
                link.answer(question, QByteArray::fromHex(answers.at(i).toLatin1()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(texts, told, TestTime::ms(5000));
        // Settled: nothing more is asked, and a press of its kind goes out.
        QCOMPARE(link.reason(COST(code)), QString());
        const int asked = questions();
        QTest::qWait(TestTime::ms(400));
        QCOMPARE(questions(), asked);
        QCOMPARE(texts, told);
    }
};

QTEST_MAIN(tst_ExtendRequests)
#include "tst_ExtendRequests.moc"
