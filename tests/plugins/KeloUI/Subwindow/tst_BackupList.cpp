#include "LocalRecordFiles.h"

#include <TestTime.h>
#include <UiTestSupport.h>
#include <UrlCatcher.h>

#include <BackupList.h>
#include <CardDataChannel.h>
#include <ConfigSetting.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <RecordHandler.h>
#include <RecordImport.h>
#include <RunStatus.h>
#include <StandardMessageBox.h>
#include <TcpConnect.h>
#include <TransferHandler.h>
#include <UpDownLoadAssist.h>

#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <ctime>
#include <memory>

using UiTest::child;

using LocalRecordFiles::kMiB;
using LocalRecordFiles::StoredRecord;

class tst_BackupList : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    QString m_base;
    int m_startsBefore = 0;

    QList<TransferHandler::Start> newStarts() const
    {
        return m_sim->handler<TransferHandler>()->starts().mid(m_startsBefore);
    }

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    QString recordData(const QString& device = QStringLiteral("KELO-SIM01")) const
    {
        return m_base + QLatin1Char('/') + device + QStringLiteral("/RecordData");
    }
    // The instrument reports itself again, with the channel count given.
    bool reportDevice(int channels, const QByteArray& identifier = "KELO-SIM01")
    {
        m_sim->profile().channels = quint8(channels);
        m_sim->profile().identifier = identifier;
        QSignalSpy info(pm(), &ProtocolManager::UpdateDeviceInfo);
        return pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device) && UiTest::waitCount(info, 1);
    }
    static QString cell(const BackupList& list, int row, int column)
    {
        return list.model()->data(list.model()->index(row, column)).toString();
    }
    static int columnOf(const BackupList& list, const QString& header)
    {
        for (int c = 0; c < list.model()->columnCount(); ++c) {
            if (list.model()->headerData(c, Qt::Horizontal).toString() == header)
                return c;
        }
        return -1;
    }
    static QStringList headers(const BackupList& list)
    {
        QStringList out;
        for (int c = 0; c < list.model()->columnCount(); ++c)
            out << list.model()->headerData(c, Qt::Horizontal).toString();
        return out;
    }
    static void selectRow(BackupList& list, int row)
    {
        auto* view = list.findChild<QTableView*>(QStringLiteral("tabel_local"));
        view->selectRow(row);
    }
    // A record whose band count, bit width and completeness are given, listed and selected.
    void listAndSelect(BackupList& list, const StoredRecord& s)
    {
        QVERIFY(LocalRecordFiles::write(recordData(), s));
        list.on_tbn_refresh_clicked();
        const int row = rowOf(list, s.name);
        QVERIFY(row >= 0);
        selectRow(list, row);
        QCOMPARE(list.selectedId(), s.name);
    }
    QString infoFile(quint32 name) const { return recordData() + QStringLiteral("/%1/%1.wdi").arg(name); }
    // The transfer is over and the instrument has answered its stops: the link is kept from row
    // to row, and nothing of one row is left open for the next.
    static bool waitIdle(int timeout = TestTime::ms(30000))
    {
        return QTest::qWaitFor(
            [] {
                return UpDownLoadAssist::instance()->GetLastMethod() == 1
                    && !pm()->isOpen(Msg_Type::UploadDownload, Msg_Cmd::StopDownload)
                    && !pm()->isOpen(Msg_Type::UploadDownload, Msg_Cmd::StopUpload);
            },
            timeout);
    }
    static int rowOf(const BackupList& list, quint32 name)
    {
        for (int r = 0; r < list.model()->rowCount(); ++r) {
            if (list.model()->data(list.model()->index(r, 0)).toUInt() == name)
                return r;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        m_app = std::make_unique<TestAppDir>();
        UiTest::stageThemes(*m_app);
        m_base = m_app->root() + QStringLiteral("/data");
        QVERIFY(QDir().mkpath(m_base));
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_base);
        pm()->setHeartbeatInterval(TestTime::ms(100));
        pm()->link()->setReconnectInterval(TestTime::ms(100));
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        QVERIFY(UiTest::connectTo(*m_sim));
    }
    void init()
    {
        QVERIFY(QDir(m_base).removeRecursively());
        QVERIFY(QDir().mkpath(m_base));
        {
            // The last report reaches the class-wide copy through a window that listens.
            BackupList listening;
            QVERIFY(reportDevice(4));
        }
        QVERIFY(QDir(m_base).removeRecursively());
        QVERIFY(QDir().mkpath(m_base));
        m_startsBefore = m_sim->handler<TransferHandler>()->starts().size();
        pm()->freqBands.clear();
        const char* names[] = {"GPS L1", "BDS B1", "GLO G1", "GAL E1"};
        for (uint id = 1; id <= 4; ++id) {
            FreqBand band;
            band.name = QLatin1String(names[id - 1]);
            pm()->freqBands.insert(id, band);
        }
        ConfigSetting::instance()->configMode = QString();
        ConfigSetting::instance()->SetInit(ConfigKey::DebugSingleChannel, false);
        pm()->singleBits.clear();
        RecordAssist::instance()->Records.clear();
        m_sim->handler<TransferHandler>()->downloadAccepted = true;
        m_sim->handler<TransferHandler>()->blocksPerCard = 2;
        m_sim->handler<TransferHandler>()->blocksFromRecord = false;
    }
    void cleanup()
    {
        QVERIFY(waitIdle());
        LinkTest::resetRunState();
    }
    void cleanupTestCase()
    {
        UiTest::disconnect();
        m_sim.reset();
    }

    void formAndHeaderFollowTheChannelCount()
    {
        BackupList list;
        QCOMPARE(list.objectName(), QStringLiteral("BackupList"));
        // Named as the button that opens it.
        QCOMPARE(list.windowTitle(), QStringLiteral("本地记录管理"));
        QVERIFY(list.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(list.testAttribute(Qt::WA_TranslucentBackground));
        QCOMPARE(list.windowModality(), Qt::ApplicationModal);
        QCOMPARE(child<QLabel>(list, "label_BackupPath")->text(), m_base);
        QCOMPARE(headers(list),
                 (QStringList{"本地文件名", "设备记录名", "开始时间", "采集时长", "大小", "位宽（Bit）", "是否可用",
                              "频段1", "频段2", "频段3", "频段4", "备注", "上传进度", "下载进度"}));
        QVERIFY(reportDevice(2));
        list.on_tbn_refresh_clicked();
        QCOMPARE(list.model()->columnCount(), BackupList::kFixedColumns + 2 + 3);
        // A store of seven records shows whole, without scrolling.
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QTableView* table = list.findChild<QTableView*>();
        QVERIFY(table->viewport()->height() >= 7 * table->verticalHeader()->defaultSectionSize());
    }

    void rowShowsTheRecord_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("bit");
        QTest::addColumn<QList<int>>("bands");
        QTest::addColumn<qint64>("uploaded");
        QTest::addColumn<QString>("bitCell");
        QTest::addColumn<QStringList>("bandCells");
        QTest::addColumn<QString>("available");
        QTest::addColumn<QString>("upCell");
        QTest::addColumn<QStringList>("bandNames"); // as the copy stores them

        QTest::newRow("half uploaded") << "" << 8 << QList<int>{1, 2, 3, 4} << 50 * kMiB << "8"
                                       << QStringList{"GPS L1", "BDS B1", "GLO G1", "GAL E1"} << "不可用"
                                       << "50.00%" << QStringList{};
        QTest::newRow("complete") << "" << 8 << QList<int>{1, 2, 3, 4} << 100 * kMiB << "8"
                                  << QStringList{"GPS L1", "BDS B1", "GLO G1", "GAL E1"} << "可用"
                                  << "100.00%" << QStringList{};
        QTest::newRow("one byte short") << "" << 8 << QList<int>{1} << 100 * kMiB - 1 << "8"
                                        << QStringList{"GPS L1", "--", "--", "--"} << "不可用"
                                        << "100.00%" << QStringList{};
        QTest::newRow("no bands on four channels")
            << "" << 4 << QList<int>{} << 0ll << "4" << QStringList{"--", "--", "--", "--"} << "不可用"
            << "0.00%" << QStringList{};
        QTest::newRow("more bands than channels") << "" << 2 << QList<int>{4, 3, 2, 1, 2} << 0ll << "2"
                                                  << QStringList{"GAL E1", "GLO G1", "BDS B1", "GPS L1"} << "不可用"
                                                  << "0.00%" << QStringList{};
        QTest::newRow("band missing from the table") << "" << 8 << QList<int>{7, 1} << 0ll << "8"
                                                     << QStringList{"不支持的频段:7", "GPS L1", "--", "--"} << "不可用"
                                                     << "0.00%" << QStringList{};
        // The copy's own names stand, beside the table's for a band it does not name.
        QTest::newRow("names kept with the copy")
            << "" << 8 << QList<int>{7, 1} << 0ll << "8" << QStringList{"B3I", "GPS L1", "--", "--"} << "不可用"
            << "0.00%" << QStringList{"B3I"};
        QTest::newRow("LEO counts I and Q") << "LEO" << 8 << QList<int>{1} << 0ll << "16(I&Q) Bit"
                                            << QStringList{"GPS L1", "--", "--", "--"} << "不可用"
                                            << "0.00%" << QStringList{};
    }
    void rowShowsTheRecord()
    {
        QFETCH(QString, mode);
        QFETCH(int, bit);
        QFETCH(QList<int>, bands);
        QFETCH(qint64, uploaded);
        QFETCH(QString, bitCell);
        QFETCH(QStringList, bandCells);
        QFETCH(QString, available);
        QFETCH(QString, upCell);
        QFETCH(QStringList, bandNames);
        ConfigSetting::instance()->configMode = mode;

        StoredRecord s;
        s.name = 1700000000;      // 2023-11-14 22:13:20 UTC
        s.startTime = 1700000005; // five seconds later
        s.duration = 3725;        // 1 h 2 min 5 s
        s.sizeMiB = 100;
        s.bit = bit;
        s.bands = bands;
        s.bandNames = bandNames;
        s.remark = QStringLiteral("屋顶天线");
        s.cardBytes = {uploaded};
        s.downloaded = 25 * kMiB;
        QVERIFY(LocalRecordFiles::write(recordData(), s));

        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(child<QLabel>(list, "lab_state")->text(), QStringLiteral("本地记录查找完毕"));
        QCOMPARE(list.model()->rowCount(), 1);
        QCOMPARE(list.model()->columnCount(), BackupList::kFixedColumns + 4 + 3);
        QCOMPARE(list.model()->data(list.model()->index(0, 0), Qt::EditRole).type(), QVariant::UInt);
        QCOMPARE(cell(list, 0, 0), QStringLiteral("1700000000"));
        QCOMPARE(cell(list, 0, 1), QStringLiteral("20231114221320"));
        QCOMPARE(cell(list, 0, 2), QStringLiteral("2023-11-14 22:13:25"));
        QCOMPARE(cell(list, 0, 3), QStringLiteral("01:02:05"));
        QCOMPARE(cell(list, 0, 4), QStringLiteral("100 MB"));
        QCOMPARE(cell(list, 0, 5), bitCell);
        QCOMPARE(cell(list, 0, 6), available);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(cell(list, 0, 7 + i), bandCells.at(i));
        QCOMPARE(cell(list, 0, 11), QStringLiteral("屋顶天线"));
        QCOMPARE(cell(list, 0, 12), upCell);
        QCOMPARE(cell(list, 0, 13), QStringLiteral("25.00%"));
        QCOMPARE(child<QLabel>(list, "label_BackupPath")->text(),
                 QDir::toNativeSeparators(m_base + QStringLiteral("/KELO-SIM01")));
    }

    void onlyReadableRecordFoldersAreListed()
    {
        StoredRecord good;
        good.name = 1700000100;
        good.sizeMiB = 2;
        good.cardBytes = {2 * kMiB};
        QVERIFY(LocalRecordFiles::write(recordData(), good));
        StoredRecord wrongName = good;
        wrongName.name = 1700000200;
        wrongName.nameInFile = 1700000201;
        QVERIFY(LocalRecordFiles::write(recordData(), wrongName));
        StoredRecord otherBlock = good;
        otherBlock.name = 1700000300;
        otherBlock.blockMiB = 4;
        QVERIFY(LocalRecordFiles::write(recordData(), otherBlock));
        for (const char* junk : {"notes", "+1700000400", "0017", "1700000500"})
            QVERIFY(QDir().mkpath(recordData() + QLatin1Char('/') + QLatin1String(junk)));

        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(list.records().size(), 1);
        QCOMPARE(list.model()->rowCount(), 1);
        QCOMPARE(cell(list, 0, 0), QStringLiteral("1700000100"));
    }

    void emptyStoreSaysSoAndTheFoldersAreMade()
    {
        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(child<QLabel>(list, "lab_state")->text(), QStringLiteral("未找到备份记录"));
        QCOMPARE(list.model()->rowCount(), 0);
        QVERIFY(QFileInfo(recordData()).isDir());
    }

    void identifierWithPathCharactersStaysBelowTheBase()
    {
        BackupList list;
        QVERIFY(reportDevice(4, "../../ESCAPE"));
        list.on_tbn_refresh_clicked();
        QCOMPARE(LocalRecordFiles::tree(m_base), (QStringList{".._.._ESCAPE/", ".._.._ESCAPE/RecordData/"}));
        QVERIFY(!QFileInfo::exists(m_app->root() + QStringLiteral("/../ESCAPE")));
        QVERIFY(!QFileInfo::exists(m_base + QStringLiteral("/../ESCAPE")));
    }

    void sortsNumericallyByNameAndSize()
    {
        for (quint32 name : {9u, 10u, 100u}) {
            StoredRecord s;
            s.name = name;
            s.sizeMiB = name; // 9, 10, 100 MiB
            s.cardBytes = {0};
            QVERIFY(LocalRecordFiles::write(recordData(), s));
        }
        BackupList list;
        list.on_tbn_refresh_clicked();
        for (int column : {0, 4}) {
            list.model()->sort(column, Qt::AscendingOrder);
            // The size reads with its unit and still sorts by its number.
            const QString unit = column == 4 ? QStringLiteral(" MB") : QString();
            QCOMPARE((QStringList{cell(list, 0, column), cell(list, 1, column), cell(list, 2, column)}),
                     (QStringList{"9" + unit, "10" + unit, "100" + unit}));
        }
    }

    void selectionGivesTheIdAndDeselectionZero()
    {
        for (quint32 name : {1700000001u, 1700000002u}) {
            StoredRecord s;
            s.name = name;
            s.cardBytes = {0};
            QVERIFY(LocalRecordFiles::write(recordData(), s));
        }
        BackupList list;
        list.on_tbn_refresh_clicked();
        selectRow(list, rowOf(list, 1700000002));
        QCOMPARE(list.selectedId(), 1700000002u);
        auto* view = child<QTableView>(list, "tabel_local");
        view->clearSelection();
        QVERIFY(view->selectionModel()->currentIndex().isValid());
        QCOMPARE(list.selectedId(), 0u);
    }

    void deleteAsksAndRemovesOnlyThatRecord_data()
    {
        QTest::addColumn<bool>("select");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("removed");
        const QString question =
            QStringLiteral("是否删除本地记录？\n设备记录名：20231114221322\n本地文件名：1700000002");
        QTest::newRow("confirmed") << true << 0 << question << true;
        QTest::newRow("cancelled") << true << 1 << question << false;
        QTest::newRow("box closed") << true << -1 << question << false;
        QTest::newRow("nothing selected says so and asks nothing")
            << false << 0 << "尚未选择任何本地记录。\n请点选要删除的记录后重试。" << false;
    }
    void deleteAsksAndRemovesOnlyThatRecord()
    {
        QFETCH(bool, select);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(bool, removed);
        for (quint32 name : {1700000001u, 1700000002u, 17000000u}) {
            StoredRecord s;
            s.name = name;
            s.sizeMiB = 2;
            s.cardBytes = {2 * kMiB, kMiB};
            QVERIFY(LocalRecordFiles::write(recordData(), s));
        }
        // A side file of the record, and a file of the user's beside the records.
        QVERIFY(QFile(recordData() + QStringLiteral("/1700000002/1700000002.ini")).open(QIODevice::WriteOnly));
        QVERIFY(QFile(recordData() + QStringLiteral("/readme.txt")).open(QIODevice::WriteOnly));
        const QStringList before = LocalRecordFiles::tree(m_base);

        BackupList list;
        list.on_tbn_refresh_clicked();
        QCOMPARE(list.model()->rowCount(), 3);
        if (select)
            selectRow(list, rowOf(list, 1700000002));
        UiTest::DialogRecorder boxes(-1);
        boxes.answers << answer;
        list.on_tbn_deleteRecord_clicked();
        QCOMPARE(boxes.requests.size(), 1);
        QCOMPARE(boxes.requests[0].title, select ? QStringLiteral("删除确认") : QStringLiteral("未选择记录"));
        QCOMPARE(boxes.requests[0].text, question);
        QCOMPARE(boxes.requests[0].buttons, (select ? QStringList{"是", "否"} : QStringList{"OK"}));
        QCOMPARE(boxes.requests[0].destructive, select);

        QStringList expected = before;
        if (removed) {
            expected = before.filter(QRegularExpression(QStringLiteral("^(?!.*RecordData/1700000002/)")));
            QCOMPARE(expected.size(), before.size() - 5);
            QCOMPARE(list.model()->rowCount(), 2);
            QCOMPARE(rowOf(list, 1700000002), -1);
        } else {
            QCOMPARE(list.model()->rowCount(), 3);
        }
        QCOMPARE(LocalRecordFiles::tree(m_base), expected);
    }

    void showRefreshesAndCloseTellsTheRecordManager_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("close button") << false;
        QTest::newRow("Escape") << true;
    }
    void showRefreshesAndCloseTellsTheRecordManager()
    {
        QFETCH(bool, escape);
        BackupList list;
        StoredRecord s;
        s.name = 1700000001;
        s.cardBytes = {0};
        QVERIFY(LocalRecordFiles::write(recordData(), s));
        QSignalSpy closed(&list, &BackupList::closed);
        list.show();
        QCOMPARE(list.model()->rowCount(), 1);
        if (escape) {
            QVERIFY(QTest::qWaitForWindowActive(&list));
            QTest::keyClick(list.findChild<QTableView*>(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(child<QToolButton>(list, "toolButton"), Qt::LeftButton);
        }
        QVERIFY(!list.isVisible());
        QCOMPARE(closed.count(), 1);

        s.name = 1700000002;
        QVERIFY(LocalRecordFiles::write(recordData(), s));
        list.show();
        QCOMPARE(list.model()->rowCount(), 2);
        list.close();
        QCOMPARE(closed.count(), 2);
    }

    void importButtonSwitchesToRecordImport()
    {
        BackupList list;
        list.show();
        QSignalSpy closed(&list, &BackupList::closed);
        QTest::mouseClick(child<QPushButton>(list, "pushButton_import"), Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!list.isVisible());
        QVERIFY(RecordImport::Instance()->isVisible());
        QCOMPARE(RecordImport::Instance()->objectName(), QStringLiteral("RecordImport"));
        RecordImport::Instance()->hide();
    }

    void openFolderHandsTheRecordFolderToTheDesktop()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        BackupList list;
        list.on_tbn_refresh_clicked();
        QTest::mouseClick(child<QPushButton>(list, "pushButton"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(catcher.urls[0].isLocalFile());
        QCOMPARE(catcher.urls[0].toLocalFile(), recordData());
    }

    void downloadChecksChannelsThenCompleteness_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bands");
        QTest::addColumn<bool>("singleBit");
        QTest::addColumn<bool>("singleChannel");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("shown");

        const QString more = QStringLiteral("当前记录包含通道大于设备通道，若继续下载将丢弃超出设备通道数的频点");
        const QString refused = QStringLiteral("选择的记录不满足设备设备通道数，无法下载");
        const QString incomplete = QStringLiteral("当前记录本地数据不完整，无法下载!!!\n"
                                                  "采集卡 2：数据文件只有 1048576 字节，应有 2097152 字节");
        QTest::newRow("C=4 F=4") << 4 << 4 << false << false << QList<int>{} << QStringList{incomplete};
        QTest::newRow("C=4 F=2 single bit") << 4 << 2 << true << false << QList<int>{} << QStringList{incomplete};
        QTest::newRow("C=4 F=2 neither") << 4 << 2 << false << false << QList<int>{} << QStringList{refused};
        QTest::newRow("C=4 F=1 single channel") << 4 << 1 << false << true << QList<int>{} << QStringList{refused};
        QTest::newRow("C=3 F=2 single channel") << 3 << 2 << false << true << QList<int>{} << QStringList{incomplete};
        QTest::newRow("C=3 F=2 single bit") << 3 << 2 << true << false << QList<int>{} << QStringList{incomplete};
        QTest::newRow("C=3 F=2 neither") << 3 << 2 << false << false << QList<int>{} << QStringList{refused};
        QTest::newRow("C=1 F=0 single bit") << 1 << 0 << true << false << QList<int>{} << QStringList{refused};
        QTest::newRow("C=2 F=3 continued")
            << 2 << 3 << false << false << QList<int>{0} << QStringList{more, incomplete};
        QTest::newRow("C=2 F=3 cancelled") << 2 << 3 << false << false << QList<int>{1} << QStringList{more};
        QTest::newRow("C=2 F=3 box closed") << 2 << 3 << false << false << QList<int>{-1} << QStringList{more};
    }
    void downloadChecksChannelsThenCompleteness()
    {
        QFETCH(int, channels);
        QFETCH(int, bands);
        QFETCH(bool, singleBit);
        QFETCH(bool, singleChannel);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, shown);
        QVERIFY(reportDevice(channels));
        ConfigSetting::instance()->SetInit(ConfigKey::DebugSingleChannel, singleChannel);
        if (singleBit)
            pm()->singleBits = {2, 8};

        StoredRecord s;
        s.name = 1700000010;
        s.sizeMiB = 4;
        s.bit = 8;
        for (int i = 0; i < bands; ++i)
            s.bands << 1 + i % 4;
        s.cardBytes = {2 * kMiB, kMiB}; // one MiB short
        BackupList list;
        listAndSelect(list, s);
        const QStringList before = LocalRecordFiles::tree(m_base);
        const QByteArray info = LocalRecordFiles::readAll(infoFile(s.name));
        QSignalSpy starting(&list, &BackupList::StartingDownload);

        UiTest::DialogRecorder boxes(-1);
        boxes.answers = answers;
        list.on_pbt_ok_clicked();
        QCOMPARE(boxes.texts(), shown);
        for (const auto& r : boxes.requests) {
            QCOMPARE(r.parent, &list);
            if (r.text == shown.first() && shown.size() == 2) {
                QCOMPARE(r.icon, QMessageBox::Warning);
                QCOMPARE(r.buttons, (QStringList{"继续下载", "取消"}));
                QCOMPARE(r.defaultIndex, 0);
                QCOMPARE(r.escapeIndex, -1);
            } else {
                QCOMPARE(r.title, QStringLiteral("下载"));
            }
        }
        QCOMPARE(child<QLabel>(list, "lab_state")->text(),
                 shown.last().startsWith(QStringLiteral("当前记录本地数据不完整"))
                     ? QStringLiteral("启动下载失败")
                     : QStringLiteral("本地记录查找完毕"));
        QCOMPARE(starting.count(), 0);
        QCOMPARE(LocalRecordFiles::tree(m_base), before);
        QCOMPARE(LocalRecordFiles::readAll(infoFile(s.name)), info);
        QVERIFY(newStarts().isEmpty());
    }

    void downloadRefusesWithoutAFittingSelection()
    {
        StoredRecord s;
        s.name = 1700000011;
        s.cardBytes = {0};
        QVERIFY(LocalRecordFiles::write(recordData(), s));
        BackupList list;
        list.on_tbn_refresh_clicked();
        UiTest::DialogRecorder boxes(-1);
        list.on_pbt_ok_clicked();
        QCOMPARE(boxes.texts(), QStringList{"未选择需要下载的记录"});
        QCOMPARE(boxes.requests[0].buttons, QStringList{"Ok"});
    }

    void completenessIsByTheByte_data()
    {
        QTest::addColumn<qint64>("card0");
        QTest::addColumn<qint64>("card1");
        QTest::addColumn<bool>("complete");
        // Each card's file against its share of the record, 5 MiB: a download sends no byte a
        // file lacks.
        QTest::addColumn<QString>("told");
        const QString incomplete = QStringLiteral("当前记录本地数据不完整，无法下载!!!");
        QTest::newRow("one byte short") << 5 * kMiB << 5 * kMiB - 1 << false
                                        << incomplete
                                               + QStringLiteral(
                                                   "\n采集卡 2：数据文件只有 5242879 字节，应有 5242880 字节");
        QTest::newRow("exactly the size") << 5 * kMiB << 5 * kMiB << true << QString();
        QTest::newRow("the size in all, a card short of its share")
            << 2 * kMiB << 8 * kMiB << false
            << incomplete + QStringLiteral("\n采集卡 1：数据文件只有 2097152 字节，应有 5242880 字节");
    }
    void completenessIsByTheByte()
    {
        QFETCH(qint64, card0);
        QFETCH(qint64, card1);
        QFETCH(bool, complete);
        QFETCH(QString, told);
        StoredRecord s;
        s.name = 1700000012;
        s.startTime = 1690000000;
        s.sizeMiB = 10;
        s.bands = {1, 2, 3, 4};
        s.cardBytes = {card0, card1};
        BackupList list;
        listAndSelect(list, s);
        // On the instrument already: a complete record comes to the question, cancelled here.
        RecordEx there;
        there.SetRecordValue(QStringLiteral("Name"), s.name);
        RecordAssist::instance()->Records << there;
        const QByteArray info = LocalRecordFiles::readAll(infoFile(s.name));
        UiTest::DialogRecorder boxes(-1);
        boxes.answers << 1;
        list.on_pbt_ok_clicked();
        if (complete) {
            QCOMPARE(boxes.requests.size(), 1);
            // It names the new record's name and keeps the recording's start time; Return cancels.
            // No list was read from an instrument here: it may be there, not it is.
            QVERIFY(boxes.requests[0].text.startsWith(QStringLiteral("设备记录列表尚未获取，设备上可能已有该记录")));
            QVERIFY(boxes.requests[0].text.contains(QStringLiteral("新记录的记录名为当前时间（约 20")));
            QVERIFY(boxes.requests[0].text.contains(QStringLiteral("开始时间仍为原记录的 2023-07-22 04:26:40")));
            QCOMPARE(boxes.requests[0].title, QStringLiteral("下载确认"));
            QCOMPARE(boxes.requests[0].buttons, (QStringList{"作为新记录下载", "取消下载"}));
            QCOMPARE(boxes.requests[0].escapeIndex, 1);
        } else {
            QCOMPARE(boxes.texts(), QStringList{told});
        }
        QCOMPARE(LocalRecordFiles::readAll(infoFile(s.name)), info);
        QVERIFY(newStarts().isEmpty());
    }

    // Through the simulated instrument, which lists what it took whole under the id it was sent.
    void completeRecordGoesToTheInstrumentFromBlockZero_data()
    {
        QTest::addColumn<bool>("onInstrument");
        QTest::addColumn<QString>("listState");
        QTest::addColumn<quint32>("earlierNewName");
        QTest::addColumn<bool>("asNew");
        QTest::newRow("record the instrument lacks") << false << "fetched" << 0u << false;
        QTest::newRow("record on the instrument, as a new record beside it") << true << "fetched" << 0u << true;
        QTest::newRow("list not fetched since the link came up: asked, as new") << false << "unknown" << 0u << true;
        QTest::newRow("list being fetched: asked, as new") << false << "fetching" << 0u << true;
        QTest::newRow("plain download after an earlier as new goes under its own number")
            << false << "fetched" << 1700000099u << false;
    }
    void completeRecordGoesToTheInstrumentFromBlockZero()
    {
        QFETCH(bool, onInstrument);
        QFETCH(QString, listState);
        QFETCH(quint32, earlierNewName);
        QFETCH(bool, asNew);
        constexpr quint32 kName = 1700000020;
        m_sim->handler<TransferHandler>()->blocksFromRecord = true;
        m_sim->handler<RecordHandler>()->seed(int(onInstrument), kName);
        QSignalSpy listed(RecordAssist::instance(), &RecordAssist::RecordListReady);
        RecordAssist::instance()->SeachRecord();
        QVERIFY(UiTest::waitCount(listed, 1));
        if (listState == QLatin1String("unknown")) {
            QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
            m_sim->closeConnection();
            QVERIFY(UiTest::waitCount(link, 2));
        }
        StoredRecord s;
        s.name = kName;
        s.sizeMiB = 8;
        s.bands = {1, 2, 3, 4};
        s.cardBytes = {4 * kMiB, 4 * kMiB};
        s.downloaded = 2 * kMiB; // half of an earlier download
        s.downloadName = earlierNewName;
        QVERIFY(LocalRecordFiles::write(recordData(), s));
        for (int card = 0; card < 2; ++card) {
            QFile data(recordData() + QStringLiteral("/%1/%1_%2.wdd").arg(kName).arg(card));
            QVERIFY(data.open(QIODevice::WriteOnly | QIODevice::Truncate));
            for (quint32 n = 0; n < 2; ++n)
                QCOMPARE(data.write(CardDataChannel::block(kName, card, n, 2)), 2 * kMiB);
        }
        BackupList list;
        list.show();
        const int row = rowOf(list, kName);
        QVERIFY(row >= 0);
        selectRow(list, row);
        QSignalSpy starting(&list, &BackupList::StartingDownload);
        QSignalSpy closed(&list, &BackupList::closed);
        auto* transfer = m_sim->handler<TransferHandler>();
        // The file is written before the start is announced, and both before the instrument hears of it.
        QByteArray atStart;
        connect(&list, &BackupList::StartingDownload, this, [&] {
            QVERIFY(newStarts().isEmpty());
            atStart = LocalRecordFiles::readAll(infoFile(kName));
        });
        UiTest::DialogRecorder boxes(-1);
        boxes.answers << 0;
        if (listState == QLatin1String("fetching"))
            RecordAssist::instance()->SeachRecord();
        list.on_pbt_ok_clicked();
        QCOMPARE(boxes.requests.size(), int(asNew));
        QCOMPARE(starting.count(), 1);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!list.isVisible());
        const QMemorySetting written(atStart);
        QCOMPARE(written.getSectionValue("LocalData", "TotalDownoadedSize").toString(), QStringLiteral("0"));
        QCOMPARE(written.getSectionValue("Record", "Name").toUInt(), kName);
        const quint32 target = asNew ? written.getSectionValue("Record", "DownloadName").toUInt() : kName;
        QCOMPARE(written.existSectionKey("Record", "DownloadName"), asNew);
        for (const char* card : {"Card0", "Card1"}) {
            QCOMPARE(written.getSectionValue(card, "DownloadSize").toString(), QStringLiteral("0"));
            QCOMPARE(written.getSectionValue(card, "DownloadNum").toString(), QStringLiteral("0"));
        }

        QVERIFY(waitIdle());
        QCOMPARE(newStarts().size(), 2);
        for (const auto& start : newStarts()) {
            QCOMPARE(start.name, target);
            QVERIFY(start.freshStart);
        }
        for (int card = 1; card <= 2; ++card) {
            QVERIFY(transfer->channel(card));
            // The PC may be done before the card has read the last answer.
            QTRY_VERIFY_WITH_TIMEOUT(transfer->channel(card)->finished(), TestTime::ms(15000));
            QCOMPARE(transfer->channel(card)->firstRequested(), 0u);
            QCOMPARE(transfer->channel(card)->blocksMoved(), 2u);
            QCOMPARE(transfer->channel(card)->badBytes(), 0ull);
        }
        // One record more; a copy sent as new leaves the record it copies.
        QTRY_COMPARE(m_sim->handler<RecordHandler>()->records().size(), 1 + int(onInstrument));
        QVERIFY(m_sim->handler<RecordHandler>()->find(target));
        QCOMPARE(bool(m_sim->handler<RecordHandler>()->find(kName)), onInstrument || !asNew);
    }

    void recordOnTheInstrumentGoesAsANewRecord()
    {
        constexpr quint32 kName = 1700000030;
        StoredRecord s;
        s.name = kName;
        s.sizeMiB = 4;
        s.bands = {1, 2, 3, 4};
        s.cardBytes = {2 * kMiB, 2 * kMiB};
        BackupList list;
        listAndSelect(list, s);
        RecordEx there;
        there.SetRecordValue(QStringLiteral("Name"), kName);
        RecordAssist::instance()->Records << there;
        // Only the name the instrument is told matters here; the bytes are checked elsewhere.
        const QStringList before = LocalRecordFiles::tree(m_base);

        UiTest::DialogRecorder boxes(-1);
        boxes.answers << 0;
        const uint from = uint(QDateTime::currentSecsSinceEpoch());
        list.on_pbt_ok_clicked();
        const uint to = uint(QDateTime::currentSecsSinceEpoch());
        QCOMPARE(boxes.requests.size(), 1);
        const QMemorySetting written(LocalRecordFiles::readAll(infoFile(kName)));
        const uint downloadName = written.getSectionValue("Record", "DownloadName").toUInt();
        QVERIFY(downloadName >= from && downloadName <= to);
        QCOMPARE(written.getSectionValue("Record", "Name").toUInt(), kName);
        QCOMPARE(LocalRecordFiles::tree(m_base), before); // same folder, same files
        QVERIFY(waitIdle());
        QVERIFY(!newStarts().isEmpty());
        QCOMPARE(newStarts().first().name, downloadName);
    }

    void recordWithoutCardsIsStillWrittenAndHandedOn()
    {
        constexpr quint32 kName = 1700000040;
        StoredRecord s;
        s.name = kName;
        s.sizeMiB = 0;
        s.bands = {1, 2, 3, 4};
        // The instrument's list, fetched, lacks it: no question.
        QSignalSpy listed(RecordAssist::instance(), &RecordAssist::RecordListReady);
        RecordAssist::instance()->SeachRecord();
        QVERIFY(UiTest::waitCount(listed, 1));
        BackupList list;
        listAndSelect(list, s);
        QSignalSpy starting(&list, &BackupList::StartingDownload);
        QFile::remove(infoFile(kName));
        // The refreshed copy is what goes out; the file comes back from it.
        UiTest::DialogRecorder boxes(-1);
        list.on_pbt_ok_clicked();
        QVERIFY(boxes.requests.isEmpty());
        QCOMPARE(starting.count(), 1);
        const QMemorySetting written(LocalRecordFiles::readAll(infoFile(kName)));
        QCOMPARE(written.getSectionValue("Record", "Name").toUInt(), kName);
        QCOMPARE(written.getSectionValue("LocalData", "NumOfBoards").toInt(), 0);
        QVERIFY(!written.existSection("Card0"));
        QVERIFY(!list.isVisible());
        QVERIFY(newStarts().isEmpty());
    }
};

QTEST_MAIN(tst_BackupList)
#include "tst_BackupList.moc"
