#include <RecordText.h>
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
