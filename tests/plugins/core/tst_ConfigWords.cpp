#include <ConfigWords.h>

#include <QtTest>

Q_DECLARE_METATYPE(ReplyOutcome)

// What a write of the device configuration is told as, per outcome: once, when it is known, as
// its own; never at its time-out.
class tst_ConfigWords : public QObject
{
    Q_OBJECT

private slots:
    void writeIsToldOnceAsItsOwn_data()
    {
        QTest::addColumn<ReplyOutcome>("outcome");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("tone");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const int none = ConfigWords::Told::None;
        QTest::newRow("in time, stored") << ReplyOutcome::InTime << true << int(ConfigWords::Told::Information)
                                         << "设置成功"
                                         << "转发时延已设置为 1500";
        QTest::newRow("in time, refused")
            << ReplyOutcome::InTime << false << int(ConfigWords::Told::Error) << "转发时延设置失败"
            << "设备拒绝了转发时延的设置";
        QTest::newRow("its time-out: nothing yet, its answer may still come")
            << ReplyOutcome::TimedOut << false << none << QString() << QString();
        QTest::newRow("late, stored: told as late")
            << ReplyOutcome::Late << true << int(ConfigWords::Told::Information) << "设置成功"
            << "设备在超时后确认：转发时延已设置为 1500";
        QTest::newRow("late, refused: told as late")
            << ReplyOutcome::Late << false << int(ConfigWords::Told::Error) << "转发时延设置失败"
            << "设备在超时后拒绝了转发时延的设置";
        QTest::newRow("no answer in its quiet wait either")
            << ReplyOutcome::Unknown << false << int(ConfigWords::Told::Warning) << "转发时延设置结果未知"
            << "设备未应答，无法确定转发时延是否已设置为 1500";
        QTest::newRow("an answer too short to read")
            << ReplyOutcome::Malformed << false << int(ConfigWords::Told::Warning) << "转发时延设置结果未知"
            << "设备应答不完整，无法确定转发时延是否已设置为 1500";
        QTest::newRow("link dropped: the main window names it")
            << ReplyOutcome::Cut << false << none << QString() << QString();
    }
    void writeIsToldOnceAsItsOwn()
    {
        QFETCH(ReplyOutcome, outcome);
        QFETCH(bool, stored);
        QFETCH(int, tone);
        QFETCH(QString, title);
        QFETCH(QString, text);
        ReplyNotice n;
        n.outcome = outcome;
        const ConfigWords::Told told =
            ConfigWords::write(n, stored, QStringLiteral("转发时延"), QStringLiteral("1500"));
        QCOMPARE(int(told.tone), tone);
        QCOMPARE(told.title, title);
        QCOMPARE(told.text, text);
    }
};

QTEST_MAIN(tst_ConfigWords)
#include "tst_ConfigWords.moc"
