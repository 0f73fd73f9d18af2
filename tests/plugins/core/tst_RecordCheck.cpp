#include <RecordCheck.h>

#include <QtTest>

#include <ctime>

Q_DECLARE_METATYPE(QList<RecordCheck::Doubt>)

namespace {
// 2024-01-01 12:00:00 UTC, then one a minute.
constexpr quint32 kA = 1704110400;
constexpr quint32 kB = kA + 60;
constexpr quint32 kC = kA + 120;

RecordEx described(quint32 name, const QString& remark)
{
    RecordEx r;
    r.SetRecordValue(RecordKey::Name, name);
    r.SetRecordValue(RecordKey::Remark, remark);
    r.BuildIndex();
    return r;
}

using Change = RecordCheck::Change;
} // namespace

class tst_RecordCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void eachChangeIsToldByWhatTheListShows_data()
    {
        QTest::addColumn<QList<RecordCheck::Doubt>>("doubts");
        QTest::addColumn<QList<RecordEx>>("records");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<bool>>("done");
        const QList<RecordEx> bc{described(kB, "b"), described(kC, "c")};
        const QList<RecordEx> ac{described(kA, "a"), described(kC, "c")};
        QTest::newRow("two deletes: the one listed is still there, the other gone")
            << QList<RecordCheck::Doubt>{{Change::Delete, kA, {}}, {Change::Delete, kB, {}}} << ac
            << QStringList{"20240101120000 仍在设备上", "20240101120100 已删除"} << QList<bool>{false, true};
        QTest::newRow("a delete of a record the list never held")
            << QList<RecordCheck::Doubt>{{Change::Delete, kC + 60, {}}} << bc << QStringList{"20240101120300 已删除"}
            << QList<bool>{true};
        QTest::newRow("remarks: one holds the text sent, one the old text")
            << QList<RecordCheck::Doubt>{{Change::Remark, kA, "新备注"}, {Change::Remark, kC, "新备注"}}
            << QList<RecordEx>{described(kA, "新备注"), described(kC, "c")}
            << QStringList{"20240101120000 备注已修改", "20240101120200 备注未修改"} << QList<bool>{true, false};
        QTest::newRow("a remark sent empty, and the record holds none")
            << QList<RecordCheck::Doubt>{{Change::Remark, kB, {}}} << QList<RecordEx>{described(kB, {})}
            << QStringList{"20240101120100 备注已修改"} << QList<bool>{true};
        QTest::newRow("a remark whose record is gone")
            << QList<RecordCheck::Doubt>{{Change::Remark, kA, "x"}} << bc << QStringList{"20240101120000 不在设备上"}
            << QList<bool>{false};
        QTest::newRow("clear all, and the list is empty")
            << QList<RecordCheck::Doubt>{{Change::ClearAll, 0, {}}} << QList<RecordEx>{}
            << QStringList{"所有记录已清空"} << QList<bool>{true};
        QTest::newRow("clear all, and records remain") << QList<RecordCheck::Doubt>{{Change::ClearAll, 0, {}}} << bc
                                                       << QStringList{"设备上仍有 2 条记录"} << QList<bool>{false};
    }
    void eachChangeIsToldByWhatTheListShows()
    {
        QFETCH(QList<RecordCheck::Doubt>, doubts);
        QFETCH(QList<RecordEx>, records);
        QFETCH(QStringList, texts);
        QFETCH(QList<bool>, done);
        const QList<RecordCheck::Finding> findings = RecordCheck::judge(doubts, records);
        QStringList told;
        QList<bool> made;
        for (const RecordCheck::Finding& f : findings) {
            told << f.text;
            made << f.done;
        }
        QCOMPARE(told, texts);
        QCOMPARE(made, done);
        // The log names the record by its number and its name, the person by its name.
        for (int i = 0; i < findings.size(); ++i) {
            const quint32 name = doubts.at(i).name;
            QCOMPARE(findings.at(i).line.toString(),
                     name == 0 ? texts.at(i)
                               : QString(texts.at(i)).replace(RecordCheck::nameText(name), RecordCheck::logName(name)));
        }
    }
};

QTEST_GUILESS_MAIN(tst_RecordCheck)
#include "tst_RecordCheck.moc"
