#include <RecordText.h>
#include <SelfCheckReport.h>
#include <SizeText.h>
#include <ValueText.h>

#include <QtTest>

// The forms in which every page writes a kind of value, and the questions built from them.
class tst_ValueForms : public QObject
{
    Q_OBJECT
private slots:
    void sizes_data()
    {
        QTest::addColumn<quint64>("value");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("text");
        const int byte = int(SizeText::Unit::Byte);
        const int mb = int(SizeText::Unit::MB);
        QTest::newRow("a record under a GB") << quint64(896) << mb << "896 MB";
        QTest::newRow("a record over a GB") << quint64(1792) << mb << "1.750 GB";
        QTest::newRow("1024 MB stays MB") << quint64(1024) << mb << "1024 MB";
        QTest::newRow("1025 MB is a GB") << quint64(1025) << mb << "1.001 GB";
        QTest::newRow("a disk of 1863 GB") << quint64(1907729) << mb << "1.819 TB";
        QTest::newRow("a TB exactly") << quint64(1024 * 1024) << mb << "1.000 TB";
        QTest::newRow("no larger unit than TB") << quint64(0x80000000u) << mb << "2048.000 TB";
        QTest::newRow("nothing") << quint64(0) << mb << "0 MB";
        QTest::newRow("a file of 488 KB") << quint64(500000) << byte << "488.281 KB";
        QTest::newRow("bytes stay whole") << quint64(500) << byte << "500 Byte";
        QTest::newRow("8 MiB uploaded") << quint64(8 * 1024 * 1024) << byte << "8.000 MB";
    }
    void sizes()
    {
        QFETCH(quint64, value);
        QFETCH(int, unit);
        QFETCH(QString, text);
        QCOMPARE(SizeText::amount(value, SizeText::Unit(unit)), text);
    }

    void ipNote_data()
    {
        QTest::addColumn<int>("boards");
        QTest::addColumn<QString>("text");
        // One rule with and without the instrument: its own address and one per board.
        QTest::newRow("no instrument yet")
            << -1 << "注：设置IP前，请先确保所设IP开始（板卡数 + 1）个IP地址未被占用，否则设备无法启动";
        QTest::newRow("two boards") << 2 << "注：设置IP前，请先确保所设IP开始 3 个IP地址未被占用，否则设备无法启动";
        QTest::newRow("no boards") << 0 << "注：设置IP前，请先确保所设IP开始 1 个IP地址未被占用，否则设备无法启动";
    }
    void ipNote()
    {
        QFETCH(int, boards);
        QFETCH(QString, text);
        QCOMPARE(ValueText::ipNote(boards), text);
    }

    void clearAllQuestion_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        const QString tail = QStringLiteral("，将全部删除，无法恢复。\n电脑上的本地记录副本不受影响。");
        QTest::newRow("list known") << 5 << "是否确认清空设备上的所有记录？\n设备上现有 5 条记录" + tail;
        QTest::newRow("list empty") << 0 << "是否确认清空设备上的所有记录？\n设备上现有 0 条记录" + tail;
        QTest::newRow("list not fetched")
            << -1 << "是否确认清空设备上的所有记录？\n设备上的记录条数未知（记录列表尚未获取）" + tail;
    }
    void clearAllQuestion()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(RecordText::clearAllQuestion(count), text);
    }

    // One self-check round told in one message: every card's result, and the cards that never
    // answered, by number where the numbers the others gave say how the instrument counts.
    void selfCheckReport_data()
    {
        QTest::addColumn<int>("cards");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QList<int>>("answered");
        QTest::addColumn<QList<quint32>>("errors");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("verdict");
        const int sound = int(SelfCheckReport::Verdict::Sound), fault = int(SelfCheckReport::Verdict::Fault),
                  missing = int(SelfCheckReport::Verdict::Missing);
        QTest::newRow("every card sound") << 2 << "" << QList<int>{2, 1} << QList<quint32>{0, 0}
                                          << "[采集卡 1]设备自检正常\n[采集卡 2]设备自检正常" << sound;
        QTest::newRow("a fault beside a sound card")
            << 2 << "" << QList<int>{1, 2} << QList<quint32>{0, 7}
            << "[采集卡 1]设备自检正常\n[采集卡 2]\n射频模块故障\n硬盘故障\n无校准文件" << fault;
        QTest::newRow("counted from 1, the middle card silent")
            << 3 << "" << QList<int>{1, 3} << QList<quint32>{0, 0}
            << "[采集卡 1]设备自检正常\n[采集卡 3]设备自检正常\n[采集卡 2]未应答" << missing;
        QTest::newRow("counted from 0") << 2 << "" << QList<int>{0} << QList<quint32>{0}
                                        << "[采集卡 0]设备自检正常\n[采集卡 1]未应答" << missing;
        QTest::newRow("a number outside the count") << 2 << "" << QList<int>{5} << QList<quint32>{0}
                                                    << "[采集卡 5]设备自检正常\n另有 1 张采集卡未应答" << missing;
        QTest::newRow("a fault outweighs a silent card")
            << 2 << "" << QList<int>{1} << QList<quint32>{2} << "[采集卡 1]\n硬盘故障\n[采集卡 2]未应答" << fault;
        QTest::newRow("card count not known")
            << 0 << "" << QList<int>{1} << QList<quint32>{1} << "[采集卡 1]\n射频模块故障" << fault;
        QTest::newRow("a repeated answer counts once") << 2 << "" << QList<int>{1, 1} << QList<quint32>{0, 1}
                                                       << "[采集卡 1]设备自检正常\n[采集卡 2]未应答" << missing;
        QTest::newRow("transponder: a disk fault alone is no fault")
            << 1 << "TRANS" << QList<int>{1} << QList<quint32>{2} << "[采集卡 1]设备自检正常" << sound;
        QTest::newRow("the program's own check names faults only")
            << 3 << "auto" << QList<int>{1, 2} << QList<quint32>{0, 1} << "[采集卡 2]\n射频模块故障" << fault;
        QTest::newRow("the program's own check, nothing at fault")
            << 2 << "auto" << QList<int>{1} << QList<quint32>{0} << "" << missing;
    }
    void selfCheckReport()
    {
        QFETCH(int, cards);
        QFETCH(QString, kind);
        QFETCH(QList<int>, answered);
        QFETCH(QList<quint32>, errors);
        QFETCH(QString, text);
        QFETCH(int, verdict);
        SelfCheckReport report(cards, kind == "TRANS", kind == "auto");
        for (int i = 0; i < answered.size(); ++i)
            report.add(answered.at(i), errors.at(i));
        QCOMPARE(report.text(), text);
        QCOMPARE(int(report.verdict()), verdict);
        // The program's own check says nothing unless a card is at fault.
        QCOMPARE(report.tells(), kind != "auto" || verdict == int(SelfCheckReport::Verdict::Fault));
    }

    void resumeQuestionSaysWhatNoDoes()
    {
        QCOMPARE(
            RecordText::resumeQuestion("20240101120000", 3 * 1024 * 1024, 1536ull * 1024 * 1024),
            QStringLiteral("记录 20240101120000 存在上传记录（已上传 3.000 MB，共 1.500 GB），是否继续上传进度上传？\n"
                           "是：从已上传处继续，已上传的数据保留。\n"
                           "否：删除已上传的 3.000 MB，从 0% 重新上传。"));
    }
};

QTEST_MAIN(tst_ValueForms)
#include "tst_ValueForms.moc"
