#include "LocalRecordFiles.h"

#include <UiTestSupport.h>

#include <AppPaths.h>
#include <BackupList.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <StandardMessageBox.h>

#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <memory>

using LocalRecordFiles::kMiB;
using LocalRecordFiles::StoredRecord;

// The backup list before any instrument has reported itself: no device identifier, channel
// count 0. Nothing in this executable connects.
class tst_BackupListOffline : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    QString m_base;

    static QString state(BackupList& list) { return list.findChild<QLabel*>(QStringLiteral("lab_state"))->text(); }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        m_base = m_app->root() + QStringLiteral("/data");
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_base);
        QCOMPARE(int(ProtocolManager::instance()->deviceInfo().ChannelNum), 0);
    }
    void init()
    {
        QDir(m_base).removeRecursively();
        QVERIFY(QDir().mkpath(m_base));
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_base);
    }

    void noStoreFolderAnywhereFails()
    {
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/AAA/Other")));
        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(state(list), QStringLiteral("刷新失败，请连接设备后重试"));
        QCOMPARE(list.model()->rowCount(), 0);
        QCOMPARE(list.model()->columnCount(), BackupList::kFixedColumns + 3);
        // Nothing is made while no instrument names its folder.
        QCOMPARE(LocalRecordFiles::tree(m_base), (QStringList{"AAA/", "AAA/Other/"}));
    }

    void firstDeviceFolderWithAStoreIsRead()
    {
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/AAA")));
        StoredRecord b;
        b.name = 1700000001;
        b.bands = {1, 2, 3};
        b.cardBytes = {0};
        QVERIFY(LocalRecordFiles::write(m_base + QStringLiteral("/BBB/RecordData"), b));
        StoredRecord b2 = b;
        b2.name = 1700000002;
        b2.bands = {1};
        QVERIFY(LocalRecordFiles::write(m_base + QStringLiteral("/BBB/RecordData"), b2));
        StoredRecord c = b;
        c.name = 1700000003;
        c.bands = {1, 2, 3, 4, 1, 2};
        QVERIFY(LocalRecordFiles::write(m_base + QStringLiteral("/CCC/RecordData"), c));

        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(state(list), QStringLiteral("本地记录查找完毕"));
        QCOMPARE(list.model()->rowCount(), 2);
        QCOMPARE(list.deviceFolder(), m_base + QStringLiteral("/BBB"));
        QCOMPARE(list.findChild<QLabel*>(QStringLiteral("label_BackupPath"))->text(),
                 QDir::toNativeSeparators(m_base + QStringLiteral("/BBB")));
        // Band columns from the record with the most bands.
        QCOMPARE(list.model()->columnCount(), BackupList::kFixedColumns + 3 + 3);
        QCOMPARE(list.model()->headerData(9, Qt::Horizontal).toString(), QStringLiteral("频段3"));
    }

    void theCopiesNameTheirBandsWithoutAnInstrument_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("names kept with the copy") << QStringList{"GPS L1", "BDS B1I", "GLONASS G1", "Galileo E5b"}
                                                  << QStringList{"GPS L1", "BDS B1I", "GLONASS G1", "Galileo E5b"};
        // An older copy holds band numbers only: none of them is said to be unsupported.
        QTest::newRow("older copy without names")
            << QStringList{} << QStringList{"频段编号 1", "频段编号 2", "频段编号 3", "频段编号 4"};
        QTest::newRow("some named") << QStringList{"GPS L1", "", "GLONASS G1"}
                                    << QStringList{"GPS L1", "频段编号 2", "GLONASS G1", "频段编号 4"};
    }
    void theCopiesNameTheirBandsWithoutAnInstrument()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, shown);
        QVERIFY(ProtocolManager::instance()->freqBands.isEmpty());
        StoredRecord s;
        s.name = 1700000006;
        s.startTime = 1700000000;
        s.duration = 65;
        s.sizeMiB = 896;
        s.bands = {1, 2, 3, 4};
        s.bandNames = stored;
        s.cardBytes = {0};
        QVERIFY(LocalRecordFiles::write(m_base + QStringLiteral("/DEV/RecordData"), s));
        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(list.model()->rowCount(), 1);
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells << list.model()->index(0, BackupList::kFixedColumns + c).data().toString();
        QCOMPARE(cells, shown);
        // Times and size from the record's own information, link or none.
        QCOMPARE(list.model()->index(0, 3).data().toString(), QStringLiteral("00:01:05"));
        QCOMPARE(list.model()->index(0, 2).data().toString(),
                 QDateTime::fromSecsSinceEpoch(s.startTime).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    }

    void emptyDataPathReadsBelowTheApplicationDirectory()
    {
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, QString());
        StoredRecord s;
        s.name = 1700000004;
        s.cardBytes = {0};
        QVERIFY(LocalRecordFiles::write(AppPaths::applicationDir() + QStringLiteral("/DEV/RecordData"), s));
        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(list.model()->rowCount(), 1);
        QCOMPARE(list.deviceFolder(), AppPaths::applicationDir() + QStringLiteral("/DEV"));
        QVERIFY(QDir(AppPaths::applicationDir() + QStringLiteral("/DEV")).removeRecursively());
    }

    void withoutChannelsABandedRecordAsksToContinue_data()
    {
        QTest::addColumn<QList<int>>("bands");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("one band") << QList<int>{1}
                                  << QStringList{"当前记录包含通道大于设备通道，若继续下载将丢弃超出设备通道数的频点"};
        QTest::newRow("no band passes to the completeness check")
            << QList<int>{}
            << QStringList{
                   "当前记录本地数据不完整，无法下载!!!\n采集卡 1：数据文件只有 1048576 字节，应有 2097152 字节"};
    }
    void withoutChannelsABandedRecordAsksToContinue()
    {
        QFETCH(QList<int>, bands);
        QFETCH(QStringList, shown);
        StoredRecord s;
        s.name = 1700000005;
        s.sizeMiB = 2;
        s.bands = bands;
        s.cardBytes = {kMiB};
        QVERIFY(LocalRecordFiles::write(m_base + QStringLiteral("/DEV/RecordData"), s));
        BackupList list;
        list.on_tbn_refresh_clicked();
        list.findChild<QTableView*>(QStringLiteral("tabel_local"))->selectRow(0);
        QCOMPARE(list.selectedId(), s.name);
        QStringList seen;
        {
            UiTest::DialogRecorder dialogs;
            dialogs.answer = 1; // "取消" where there is a choice
            list.on_pbt_ok_clicked();
            seen = dialogs.texts();
        }
        QCOMPARE(seen, shown);
    }
};

QTEST_MAIN(tst_BackupListOffline)
#include "tst_BackupListOffline.moc"
