#include <UiTestSupport.h>

#include <BackupList.h>
#include <CardDataChannel.h>
#include <ConfigSetting.h>
#include <DeviceCapabilities.h>
#include <LocalRecordStore.h>
#include <MessageDialog.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <RecordHandler.h>
#include <RecordManager.h>
#include <RecordText.h>
#include <RunStatus.h>
#include <StandardMessageBox.h>
#include <TcpConnect.h>
#include <TcpTransportThread.h>
#include <TestTime.h>
#include <TransferHandler.h>
#include <UpDownLoadAssist.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <ctime>
#include <memory>

using UiTest::child;

namespace {
// The simulator's first record: 2024-01-01 12:00:00 UTC, then one a minute.
constexpr quint32 kFirst = 1704110400;
constexpr qint64 kMiB = 1024 * 1024;
constexpr quint32 kBlocks = 3; // per card; two cards of 2 MiB blocks make 12 MiB
constexpr int kYes = QDialogButtonBox::Yes;
constexpr int kNo = QDialogButtonBox::No;
constexpr int kDestroy = 0; // the yes of a question whose yes destroys records

ProtocolManager* pm()
{
    return ProtocolManager::instance();
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
} // namespace

class tst_RecordManager : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<UiTest::DialogRecorder> m_dialogs;
    std::unique_ptr<QTemporaryDir> m_data;
    RecordHandler* m_records = nullptr;
    TransferHandler* m_transfer = nullptr;
    quint32 m_stamp = 0;

    static QString cell(RecordManager& page, int row, int column)
    {
        return page.tableModel()->index(row, column).data().toString();
    }
    static QString status(RecordManager& page) { return child<QLabel>(page, "lab_status")->text(); }
    static QPushButton* button(RecordManager& page, const char* name) { return child<QPushButton>(page, name); }
    static bool barEnabled(RecordManager& page) { return child<QWidget>(page, "widget_control")->isEnabled(); }

    // A page whose table holds the simulator's records.
    std::unique_ptr<RecordManager> filledPage()
    {
        auto page = std::make_unique<RecordManager>();
        if (!refresh(*page))
            return nullptr;
        return page;
    }
    bool refresh(RecordManager& page)
    {
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QTest::mouseClick(button(page, "ptn_Refresh"), Qt::LeftButton);
        return UiTest::waitCount(ready, 1);
    }
    static void selectRow(RecordManager& page, int row) { child<QTableView>(page, "tabel_Device")->selectRow(row); }
    // The reply wait of the rows that place an answer against it: one sent at once comes well
    // within it on a loaded machine. What such a row waits for comes within a few of it.
    static int shortReplyWait() { return TestTime::ms(ProtocolManager::kReplyWaitMs) / 5; }
    static int fewReplyWaits() { return 4 * shortReplyWait(); }
    QList<InstrumentSim::Request> requestsOf(Msg_Type type, Msg_Cmd cmd) const
    {
        return LinkTest::requestsOf(*m_sim, type, cmd);
    }
    bool waitRequests(Msg_Type type, Msg_Cmd cmd, int count)
    {
        return LinkTest::waitRequests(*m_sim, type, cmd, count);
    }
    QStringList dialogTexts() const
    {
        QStringList out;
        // MessageDialog's, not the window system's boxes.
        for (const auto& r : m_dialogs->requests)
            if (r.kind != DialogSeam::Request::Box && !r.isFileDialog())
                out << r.title + QLatin1Char('|') + r.text;
        return out;
    }
    QString folder(quint32 name) const
    {
        return LocalRecordStore::recordFolderPath(QStringLiteral("KELO-SIM01"), name);
    }
    QString dataFile(quint32 name, int card) const
    {
        return folder(name) + QStringLiteral("/%1_%2.wdd").arg(name).arg(card);
    }
    QMemorySetting storedInformation(quint32 name) const
    {
        QFile file(folder(name) + QStringLiteral("/%1.wdi").arg(name));
        if (!file.open(QIODevice::ReadOnly))
            return QMemorySetting();
        return QMemorySetting(file.readAll());
    }
    static QByteArray cardData(quint32 name, int card, quint32 blocks)
    {
        QByteArray out;
        for (quint32 n = 0; n < blocks; ++n)
            out += CardDataChannel::block(name, card, n, 2);
        return out;
    }
    bool filesExact(quint32 name) const
    {
        for (int card = 0; card < 2; ++card) {
            QFile f(dataFile(name, card));
            if (!f.open(QIODevice::ReadOnly) || f.readAll() != cardData(name, card, kBlocks))
                return false;
        }
        return true;
    }
    // Presses upload and waits until the transfer has ended and the list was refreshed.
    bool uploadToTheEnd(RecordManager& page)
    {
        QSignalSpy states(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QTest::mouseClick(button(page, "ptn_Upload"), Qt::LeftButton);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000
               && !(states.size() >= 2 && states.last().at(0).value<SystemState>() == SystemState::Idle))
            states.wait(1000);
        return states.size() >= 2 && UiTest::waitCount(ready, 1);
    }
    // Writes the record information of an earlier upload of the first record and its data files.
    void storeEarlierUpload(int cards, qint64 totalBytes, const QList<quint32>& blocksPerCard)
    {
        RecordEx r;
        r.SetRecordValue("Name", kFirst);
        r.SetRecordValue("Size", 12);
        r.setSectionValue("LocalData", "NumOfBoards", cards);
        r.setSectionValue("LocalData", "SingleTransSize", 2);
        r.setSectionValue("LocalData", "TotalUploadedSize", totalBytes);
        r.setSectionValue("LocalData", "TotalDownoadedSize", 0);
        for (int k = 0; k < cards; ++k) {
            const quint32 blocks = blocksPerCard.value(k);
            r.setSectionValue(QStringLiteral("Card%1").arg(k), "UploadSize", qint64(blocks) * 2 * kMiB);
            r.setSectionValue(QStringLiteral("Card%1").arg(k), "UploadNum", blocks);
            r.setSectionValue(QStringLiteral("Card%1").arg(k), "DownloadSize", 0);
            r.setSectionValue(QStringLiteral("Card%1").arg(k), "DownloadNum", 0);
        }
        r.BuildIndex();
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile(QStringLiteral("KELO-SIM01"), r));
        for (int k = 0; k < cards; ++k) {
            QFile f(dataFile(kFirst, k));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(cardData(kFirst, k, blocksPerCard.value(k)));
        }
    }

private slots:
    void initTestCase()
    {
        // Record names are shown in local time: pin it so the expected texts can be written out.
        qputenv("TZ", "UTC");
        tzset();
        m_app = std::make_unique<TestAppDir>();
        qRegisterMetaType<SystemState>();
        ConfigSetting::instance();
        pm()->link()->setReconnectInterval(TestTime::ms(100));
    }
    void init()
    {
        // A stop clicked within the double-click interval after a start is taken for the second
        // click of a double click: the tests stop when they mean to, however soon.
        QApplication::setDoubleClickInterval(0);
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        m_records = m_sim->handler<RecordHandler>();
        m_transfer = m_sim->handler<TransferHandler>();
        m_records->seed(3);
        m_records->records()[0].size = 12;
        // New change stamps, so that the list service does not keep an earlier test's descriptions.
        for (RecordHandler::SimRecord& r : m_records->records())
            r.stamp = ++m_stamp;
        m_transfer->blocksPerCard = kBlocks;
        m_data = std::make_unique<QTemporaryDir>();
        ConfigSetting* c = ConfigSetting::instance();
        c->SetInit(ConfigKey::DataSavePath, m_data->path());
        c->configMode = "CPCI";
        c->deviceType = "Kelo";
        m_dialogs = std::make_unique<UiTest::DialogRecorder>();

        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo));
        TestTime::scaleTransferClocks(*pm(), *UpDownLoadAssist::instance());
        LinkTest::resetRunState();
        pm()->freqBands.clear();
        FreqBand l1{QStringLiteral("GPS_L1"), 1575420000, 0xFF, false};
        FreqBand own{QStringLiteral("自定义1"), 1600000000, 0xFF, true};
        pm()->freqBands.insert(1, l1);
        pm()->freqBands.insert(4, own);
    }
    void cleanup()
    {
        pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        TcpTransportThread::setTimeoutForTest(TestTime::ms(TcpTransportThread::kTimeoutMs));
        UpDownLoadAssist::instance()->StopTransport(false);
        // The stop returns at once; the transfer ends with its channels.
        QTRY_COMPARE_WITH_TIMEOUT(int(UpDownLoadAssist::instance()->GetLastMethod()), 1, TestTime::ms(20000));
        // A search still running would swallow the next test's first refresh.
        QTRY_VERIFY_WITH_TIMEOUT(!RecordAssist::instance()->isSearching(), TestTime::ms(10000));
        RecordAssist::instance()->setStepTimeout(TestTime::ms(RecordAssist::kStepTimeoutMs));
        UiTest::disconnect();
        m_dialogs.reset();
        m_sim.reset();
        LinkTest::resetRunState();
    }

    void tableColumnsFollowTheCapabilities_data()
    {
        QTest::addColumn<bool>("bandwidth");
        QTest::addColumn<bool>("sampleRate");
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("listed"); // the settings come again over a listed table
        const QStringList head{"记录名", "开始时间", "采集时长", "文件大小", "位宽"};
        const QStringList tail{"是否可用", "频段1", "频段2", "频段3", "频段4", "备注"};
        QTest::newRow("no capability") << false << false << head + tail << QString() << false;
        QTest::newRow("bandwidth only") << true << false << head + QStringList{"带宽"} + tail << "记录带宽:" << false;
        QTest::newRow("both") << true << true << head + QStringList{"带宽", "采样率"} + tail
                              << "记录带宽:\n采 样 率:" << false;
        QTest::newRow("read again over the list: the rows keep their records")
            << true << false << head + QStringList{"带宽"} + tail << "记录带宽:" << true;
    }
    void tableColumnsFollowTheCapabilities()
    {
        QFETCH(bool, bandwidth);
        QFETCH(bool, sampleRate);
        QFETCH(QStringList, header);
        QFETCH(QString, caption);
        QFETCH(bool, listed);
        auto made = listed ? filledPage() : std::make_unique<RecordManager>();
        QVERIFY(made);
        RecordManager& page = *made;
        QStringList before; // name to bit width, the columns that stay where they were
        for (int c = 0; listed && c < 5; ++c)
            before << cell(page, 1, c);
        if (listed)
            selectRow(page, 1);
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, bandwidth);
        DeviceCapabilities::setEnabled(DevConfigFeature::SampleRate, sampleRate);
        emit pm()->GetDeviceSettingsFinished();
        QStringList shown;
        for (int c = 0; c < page.tableModel()->columnCount(); ++c)
            shown << page.tableModel()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(shown, header);
        if (listed) {
            // Blank rows would stand for records of no name, and a delete would send the name 0.
            QCOMPARE(page.tableModel()->rowCount(), 3);
            QCOMPARE(cell(page, 0, 0), QStringLiteral("20240101120000"));
            QCOMPARE(page.tableModel()->index(1, 0).data(Qt::UserRole).toUInt(), kFirst + 60);
            for (int c = 0; c < 5; ++c)
                QCOMPARE(cell(page, 1, c), before.at(c));
            QCOMPARE(child<QLabel>(page, "label_recordname")->text(), QStringLiteral("20240101120100"));
        }
        QCOMPARE(child<QLabel>(page, "label_ext")->isHidden(), caption.isEmpty());
        QCOMPARE(child<QLabel>(page, "label_ext_data")->isHidden(), caption.isEmpty());
        if (!caption.isEmpty())
            QCOMPARE(child<QLabel>(page, "label_ext")->text(), caption);
        // With no record shown, each caption line has its mark beside it, none a blank.
        if (!listed && !caption.isEmpty())
            QCOMPARE(child<QLabel>(page, "label_ext_data")->text(),
                     QString(caption).replace(QRegularExpression("[^\n]+"), "--"));
    }

    void listAndDetailShowTheRecords()
    {
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, true);
        QList<RecordHandler::SimRecord>& list = m_records->records();
        list[0].bandwidth = 20000000;
        list[1].size = 1024;
        list[1].bands = {7};
        list[1].available = false;
        list[1].bandwidth = 2500000;
        list[2].size = 1025;
        list[2].bands = {1, 4, 1, 4};
        list[2].bit = 4;
        list[2].bandwidth = 0;
        auto page = std::make_unique<RecordManager>();
        QVERIFY(refresh(*page));
        QCOMPARE(status(*page), QStringLiteral("刷新记录列表成功"));
        QCOMPARE(page->tableModel()->rowCount(), 3);
        auto row = [&](int r) {
            QStringList out;
            for (int c = 0; c < page->tableModel()->columnCount(); ++c)
                out << cell(*page, r, c);
            return out;
        };
        QCOMPARE(row(0), (QStringList{"20240101120000", "2024-01-01 12:00:00", "00:00:30", "12 MB", "8 Bit", "20 MHz",
                                      "可用", "GPS_L1", "*自定义1", "--", "--", "record 0"}));
        QCOMPARE(row(1), (QStringList{"20240101120100", "2024-01-01 12:01:00", "00:00:31", "1024 MB", "8 Bit",
                                      "2.5 MHz", "不可用", "不支持的频段:7", "--", "--", "--", "record 1"}));
        QCOMPARE(row(2).mid(3, 8),
                 (QStringList{"1.001 GB", "4 Bit", "0 MHz", "可用", "GPS_L1", "*自定义1", "GPS_L1", "*自定义1"}));
        QCOMPARE(page->tableModel()->index(1, 0).data(Qt::UserRole).toUInt(), kFirst + 60);

        selectRow(*page, 0);
        QCOMPARE(child<QLabel>(*page, "label_recordname")->text(), QStringLiteral("20240101120000"));
        QCOMPARE(child<QLabel>(*page, "label_collectTime")->text(), QStringLiteral("2024-01-01 12:00:00"));
        QCOMPARE(child<QLabel>(*page, "label_durationTime")->text(), QStringLiteral("00:00:30"));
        QCOMPARE(child<QLabel>(*page, "label_fileSize")->text(), QStringLiteral("12 MB"));
        QCOMPARE(child<QLabel>(*page, "label_Bitwide")->text(), QStringLiteral("8 Bit"));
        QCOMPARE(child<QLabel>(*page, "label_ext_data")->text(), QStringLiteral("20 MHz"));
        QCOMPARE(child<QLabel>(*page, "label_freqPoints")->text(),
                 QStringLiteral("[1] GPS_L1\n[2] *自定义1\n[3] --\n[4] --"));
        QCOMPARE(child<QTextEdit>(*page, "text_Remake")->toPlainText(), QStringLiteral("record 0"));
        QCOMPARE(page->currentRecord().RecordValue("Name").toUInt(), kFirst);
        selectRow(*page, 1);
        QCOMPARE(child<QLabel>(*page, "label_freqPoints")->text(),
                 QStringLiteral("[1] 不支持的频段:7\n[2] --\n[3] --\n[4] --"));
        QCOMPARE(child<QLabel>(*page, "label_fileSize")->text(), QStringLiteral("1024 MB"));
        selectRow(*page, 2);
        QCOMPARE(child<QLabel>(*page, "label_fileSize")->text(), QStringLiteral("1.001 GB"));

        // The variant with I and Q samples shows twice the bit width.
        ConfigSetting::instance()->configMode = "LEO";
        QVERIFY(refresh(*page));
        QCOMPARE(cell(*page, 0, 4), QStringLiteral("16(I&Q) Bit"));
        QCOMPARE(child<QLabel>(*page, "label_Bitwide")->text(), QStringLiteral("8(I & Q) Bit"));
    }

    void refreshKeepsTheChosenRecordWhileItExists()
    {
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 1);
        QVERIFY(refresh(*page));
        QCOMPARE(page->currentRecord().RecordValue("Name").toUInt(), kFirst + 60);
        QCOMPARE(child<QTableView>(*page, "tabel_Device")->selectionModel()->selectedRows().value(0).row(), 1);
        QCOMPARE(child<QLabel>(*page, "label_recordname")->text(), QStringLiteral("20240101120100"));

        m_records->records().removeAt(1);
        QVERIFY(refresh(*page));
        QCOMPARE(page->tableModel()->rowCount(), 2);
        QVERIFY(child<QTableView>(*page, "tabel_Device")->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(page->currentRecord().RecordValue("Name").toUInt(), 0u);
        for (const char* value : {"label_recordname", "label_fileSize", "label_Bitwide", "label_collectTime",
                                  "label_durationTime", "label_freqPoints"})
            QCOMPARE(child<QLabel>(*page, value)->text(), QStringLiteral("--"));
    }

    void selectionModeSwitchesTheButtons()
    {
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        QCOMPARE(button(*page, "ptn_selectmode")->text(), QStringLiteral("切换到单选"));
        for (const char* off : {"ptn_changenote", "ptn_Upload", "ptn_download"})
            QVERIFY2(!button(*page, off)->isEnabled(), off);
        QVERIFY(button(*page, "ptn_Delete")->isEnabled());
        QCOMPARE(page->currentRecord().RecordValue("Name").toUInt(), 0u);
        selectRow(*page, 1);
        selectRow(*page, 2);
        QCOMPARE(child<QLabel>(*page, "label_recordname")->text(), QStringLiteral("--"));
        QCOMPARE(page->currentRecord().RecordValue("Name").toUInt(), 0u);

        QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        QCOMPARE(button(*page, "ptn_selectmode")->text(), QStringLiteral("切换到多选"));
        QVERIFY(child<QTableView>(*page, "tabel_Device")->selectionModel()->selectedRows().isEmpty());
        for (const char* on : {"ptn_changenote", "ptn_Upload", "ptn_download", "ptn_Delete"})
            QVERIFY2(button(*page, on)->isEnabled(), on);
    }

    void oneRecordIsDeletedAfterAQuestion_data()
    {
        QTest::addColumn<bool>("staleList");
        QTest::newRow("answered at once") << false;
        // A list asked for before the delete, answered after it: the record is not shown again.
        QTest::newRow("an earlier list request answered after the delete") << true;
    }
    void oneRecordIsDeletedAfterAQuestion()
    {
        QFETCH(bool, staleList);
        auto page = filledPage();
        QVERIFY(page);
        if (staleList) {
            // Its answer comes just ahead of the next list request's, long after the search gave up.
            const quint16 list = quint16(quint8(Msg_Type::RecordedManager) << 8 | quint8(Msg_Cmd::RecordList));
            m_sim->faults().holdUntilNext[list] = 1;
            RecordAssist::instance()->setStepTimeout(TestTime::ms(300));
            QSignalSpy error(RecordAssist::instance(), &RecordAssist::GetRecordError);
            QTest::mouseClick(button(*page, "ptn_Refresh"), Qt::LeftButton);
            QVERIFY(UiTest::waitCount(error, 1));
            m_dialogs->requests.clear();
            RecordAssist::instance()->setStepTimeout(TestTime::ms(RecordAssist::kStepTimeoutMs));
        }
        selectRow(*page, 1);
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        // Named as the list shows it.
        QCOMPARE(dialogTexts(), QStringList{"删除确认|是否确认删除记录 20240101120100？"});
        QVERIFY(m_dialogs->requests.first().destructive);
        m_dialogs->requests.clear();
        QCOMPARE(status(*page), QStringLiteral("已发送删除指令:20240101120100"));
        // 删除 is held from the first moment, showing why; the rest of the bar is the layout's.
        QVERIFY(barEnabled(*page));
        QVERIFY(!button(*page, "ptn_Delete")->isEnabled());
        QCOMPARE(button(*page, "ptn_Delete")->toolTip(), QStringLiteral("等待设备应答…"));
        QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, 1));
        QCOMPARE(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo).first().payload, hex("7c a9 92 65"));
        QVERIFY(UiTest::waitCount(ready, 1));
        QVERIFY(m_dialogs->requests.isEmpty());
        // The refresh keeps the delete result on the status line.
        QCOMPARE(status(*page), QStringLiteral("删除记录成功"));
        QCOMPARE(page->tableModel()->rowCount(), 2);
        QCOMPARE(cell(*page, 1, 0), QStringLiteral("20240101120200"));
        QVERIFY(barEnabled(*page));
        QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::RecordList, staleList ? 4 : 2));
    }

    void deleteWithoutAValidRecordIsRefused_data()
    {
        QTest::addColumn<bool>("multiple");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("shown");
        QTest::newRow("single selection, nothing chosen")
            << false << "删除失败:未选择记录"
            << "未选择记录|单选模式下尚未选择任何记录。\n请点选要删除的记录后重试。";
        QTest::newRow("multiple selection, nothing chosen")
            << true << "删除失败:未选择记录"
            << "未选择记录|多选模式下尚未选择任何记录。\n请点选要删除的记录后重试。";
    }
    void deleteWithoutAValidRecordIsRefused()
    {
        QFETCH(bool, multiple);
        QFETCH(QString, status);
        QFETCH(QString, shown);
        auto page = filledPage();
        QVERIFY(page);
        if (multiple)
            QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        QCOMPARE(this->status(*page), status);
        QCOMPARE(dialogTexts(), QStringList{shown});
        QCOMPARE(m_dialogs->requests.first().type, 2);
        QVERIFY(barEnabled(*page));
        QVERIFY(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo).isEmpty());
    }

    void severalRecordsAreDeletedOneAtATime_data()
    {
        QTest::addColumn<bool>("refetched"); // the list is fetched again while the question is open
        QTest::newRow("replies in order") << false;
        QTest::newRow("list fetched under the question: the confirmed records go") << true;
    }
    void severalRecordsAreDeletedOneAtATime()
    {
        QFETCH(bool, refetched);
        auto page = filledPage();
        QVERIFY(page);
        QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        for (int r : {0, 1})
            selectRow(*page, r);
        m_records->faults().silentDeletes = -1;
        m_dialogs->respond = [&](const DialogSeam::Request&) -> DialogSeam::Answer {
            if (refetched) {
                // The first record goes elsewhere: every row moves up by one.
                m_records->records().removeFirst();
                QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
                RecordAssist::instance()->SeachRecord();
                if (!UiTest::waitCount(ready, 1))
                    return -1;
            }
            return kDestroy;
        };
        QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        QCOMPARE(dialogTexts(), QStringList{"删除确认|是否确认删除选择的 2 条记录？\n20240101120000\n20240101120100"});
        QVERIFY(m_dialogs->requests.first().destructive);
        QCOMPARE(status(*page), QStringLiteral("连续删除中，剩余:2"));
        QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, 1));

        // Each reply lets the next command go; a record already gone is no failure.
        LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, QByteArray(1, '\x02'));
        QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, 2));
        QCOMPARE(status(*page), QStringLiteral("连续删除中，剩余:1"));

        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, QByteArray(1, '\0'));
        QVERIFY(UiTest::waitCount(ready, 1));
        QCOMPARE(status(*page), QStringLiteral("删除记录成功"));
        QSet<QByteArray> names;
        for (const auto& r : requestsOf(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo))
            names << r.payload;
        QCOMPARE(names, (QSet<QByteArray>{hex("40 a9 92 65"), hex("7c a9 92 65")}));
        QCOMPARE(page->tableModel()->rowCount(), 1);
        QCOMPARE(cell(*page, 0, 0), QStringLiteral("20240101120200"));
    }

    // A sequence goes one record at a time. A delete that ran out of its wait is checked by the
    // list and told, and the next goes once it is (done or still there); a refusal or a lost link
    // ends the sequence, and so does a check that gets no list, naming the records not sent. A
    // later delete the person confirms sends only its own record.
    void deleteThatEndsUnconfirmedSendsNoMore_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QStringList>("shown"); // what the person is told, the question aside
        QTest::addColumn<int>("sent");          // deletes the sequence sent
        const QString a = QStringLiteral("20240101120000");
        const QString b = QStringLiteral("20240101120100");
        const QString timedOut = QStringLiteral("删除记录|设备未及时应答，正在核对…");
        const QString rest = QStringLiteral("\n正在核对，其余 1 条记录在核对后删除");
        const QString head = QStringLiteral("删除记录|设备未及时应答，已重新获取记录列表：\n");
        const QStringList both{timedOut + rest, head + a + " 已删除", timedOut, head + b + " 已删除"};
        QTest::newRow("time-out, checked done, the next goes; a late refusal after is nobody's")
            << "silent" << both << 2;
        QTest::newRow("refused in the middle") << "refused" << QStringList() << 1;
        QTest::newRow("a late success after its check is not told again") << "late ok" << both << 2;
        QTest::newRow("a delete whose answer is held is checked by the list at once")
            << "held" << QStringList{timedOut + rest, head + a + " 已删除"} << 2;
        QTest::newRow("a link drop names the confirmed deletes not yet sent") << "drop" << QStringList() << 1;
        QTest::newRow("time-out, the list shows it still there: told, and the next goes")
            << "kept" << QStringList{timedOut + rest, head + a + " 仍在设备上"} << 2;
        QTest::newRow("time-out, the check gets no list: unknown, the rest named unsent")
            << "no list"
            << QStringList{timedOut + rest,
                           "核对记录失败|未能获取记录列表，以下请求的结果未知：\n删除记录 " + a + "\n以下记录未发送：\n"
                               + b,
                           head + a + " 已删除"}
            << 1;
    }
    void deleteThatEndsUnconfirmedSendsNoMore()
    {
        QFETCH(QString, end);
        QFETCH(QStringList, shown);
        QFETCH(int, sent);
        auto page = filledPage();
        QVERIFY(page);
        pm()->setReplyWaitForTest(shortReplyWait());
        QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        for (int r : {0, 1})
            selectRow(*page, r);
        m_dialogs->answer = kDestroy;
        const QString first = page->tableModel()->index(0, 0).data().toString();
        const QString told = QStringLiteral("删除记录|删除记录 %1：设备在超时后确认已删除").arg(first);
        if (end == "held")
            m_sim->faults()
                .holdUntilNext[quint16(quint8(Msg_Type::RecordedManager) << 8 | quint8(Msg_Cmd::DeleteRecordInfo))] = 1;
        else if (end == "kept" || end == "refused")
            QVERIFY(m_sim->setKindFault(QStringLiteral("lose:2:%1").arg(int(Msg_Cmd::DeleteRecordInfo))));
        else
            m_records->faults().silentDeletes = -1;
        if (end == "no list") {
            m_records->faults().silentList = true;
            RecordAssist::instance()->setStepTimeout(shortReplyWait());
        }
        QStringList unsentAtDrop;
        connect(pm(), &ProtocolManager::ReplyCut, page.get(), [&] { unsentAtDrop = page->unsentDeletes(); });
        const auto texts = [this] { return dialogTexts().filter(QRegularExpression("^(?!删除确认\\|)")); };
        QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, 1));
        if (end == "drop") {
            // The delete on the wire goes unconfirmed, and so does the one never sent.
            QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
            m_sim->closeConnection();
            QVERIFY(UiTest::waitCount(link, 1, fewReplyWaits()));
            QCOMPARE(unsentAtDrop, QStringList{page->tableModel()->index(1, 0).data().toString()});
            QVERIFY(page->deleteQueue().isEmpty());
            return;
        }
        if (end == "refused") {
            QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
            LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, QByteArray(1, '\x01'));
            QVERIFY(UiTest::waitCount(ready, 1, fewReplyWaits()));
            QCOMPARE(status(*page), QStringLiteral("删除记录失败，其余 1 条记录未删除"));
        } else {
            if (end == "no list") {
                // Unknown until a list comes; then it is told, and the record never sent stays.
                QVERIFY(UiTest::waitUntil([&] { return texts() == shown.mid(0, 2); }, 2 * fewReplyWaits()));
                QCOMPARE(status(*page), QStringLiteral("核对记录失败"));
                m_records->faults().silentList = false;
            }
            QVERIFY(UiTest::waitUntil([&] { return texts() == shown; }, 3 * fewReplyWaits()));
            QCOMPARE(texts(), shown);
            // The late reply, after its check, is nobody's: the instrument's list is fetched again.
            QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
            if (end == "silent" || end == "late ok")
                LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo,
                                     QByteArray(1, end == "late ok" ? '\0' : '\x01'));
            if (end == "late ok")
                QVERIFY(UiTest::waitCount(ready, 1, fewReplyWaits()));
            else
                QVERIFY(UiTest::waitQuiet(*m_sim));
            QCOMPARE(dialogTexts().count(told), 0);
        }
        QVERIFY(UiTest::waitUntil(
            [&] {
                return barEnabled(*page) && !pm()->isOpen(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo)
                    && !RecordAssist::instance()->isSearching();
            },
            fewReplyWaits()));
        QVERIFY(page->deleteQueue().isEmpty());
        QCOMPARE(page->pendingOperation(), quint32(RecordManager::PendingNone));
        QCOMPARE(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo).size(), sent);
        // Later other records, confirmed: their replies send nothing of the earlier queue. After
        // the check that got no list, both records left go, each in its turn.
        const QList<int> later = end == "no list" ? QList<int>{0, 1} : QList<int>{0};
        pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        m_records->faults().silentDeletes = 0;
        QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        if (later.size() > 1)
            QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        for (int r : later)
            selectRow(*page, r);
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        QVERIFY(UiTest::waitCount(ready, 1, fewReplyWaits()));
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QCOMPARE(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo).size(), sent + later.size());
        if (end == "held") {
            // The list fetched at the time-out said the first was done, before the next went out;
            // the held answer that came ahead of the next one's tells nothing more. The next one's
            // own answer, after it, is nobody's: the list is fetched once more.
            QTRY_VERIFY(!RecordAssist::instance()->isSearching() && !RecordAssist::instance()->searchFollows());
            QCOMPARE(dialogTexts().count(told), 0);
            QCOMPARE(dialogTexts().filter("设备未及时应答，正在核对…").size(), 1);
            QCOMPARE(dialogTexts().filter("20240101120000 已删除").size(), 1);
            QCOMPARE(status(*page), QStringLiteral("删除记录成功"));
        }
    }

    // A change the instrument never got is checked at once by the list, which says what it did;
    // the next change goes out only then, and it and the one after are told by their own answers.
    void changeWithoutItsOwnAnswerCostsOneCheck_data()
    {
        QTest::addColumn<QString>("change"); // delete or remark
        QTest::addColumn<QString>("fault");  // of the second change's answer
        QTest::addColumn<QStringList>("told");
        const QString listed = QStringLiteral("设备未及时应答，已重新获取记录列表：\n");
        QTest::newRow("delete A lost, then B answered at once")
            << "delete"
            << ""
            << QStringList{"删除记录|设备未及时应答，正在核对…", "删除记录|" + listed + "20240101120000 仍在设备上"};
        QTest::newRow("delete A lost, then B's answer repeated")
            << "delete"
            << "repeat"
            << QStringList{"删除记录|设备未及时应答，正在核对…", "删除记录|" + listed + "20240101120000 仍在设备上"};
        QTest::newRow("delete A lost, then B and C confirmed together: each sent, after A's check")
            << "delete"
            << "two"
            << QStringList{"删除记录|设备未及时应答，正在核对…", "删除记录|" + listed + "20240101120000 仍在设备上"};
        // The check's list comes past its search, and a record goes elsewhere after it was asked:
        // a 刷新 then shows the instrument's list, not that one.
        QTest::newRow("delete A lost, its check's list late: a 刷新 after shows the true list")
            << "delete"
            << "slow lists"
            << QStringList{"删除记录|设备未及时应答，正在核对…",
                           "核对记录失败|未能获取记录列表，以下请求的结果未知：\n删除记录 20240101120000",
                           "删除记录|" + listed + "20240101120000 仍在设备上"};
        // A search starts while B's answer is due; its list comes twice, and a record goes elsewhere
        // once it was asked: the second copy is nobody's answer.
        QTest::newRow("delete A done unanswered, a list answered twice around B: the last list asked is shown")
            << "delete"
            << "list repeated"
            << QStringList{"删除记录|设备未及时应答，正在核对…", "删除记录|" + listed + "20240101120000 已删除"};
        // A list request never answered costs no later check a list.
        QTest::newRow("a list lost before, delete A lost, then B answered at once: one list for the check")
            << "delete"
            << "unanswered refresh first"
            << QStringList{"删除记录|设备未及时应答，正在核对…", "删除记录|" + listed + "20240101120000 仍在设备上"};
        QTest::newRow("remark of A lost, then B's answered at once")
            << "remark"
            << ""
            << QStringList{"修改记录备注|设备未及时应答，正在核对…",
                           "修改记录备注|" + listed + "20240101120000 备注未修改"};
        // Told it timed out, then settled by the next list before any answer: told what it shows.
        QTest::newRow("delete A lost, then a list: still there")
            << "delete"
            << "list"
            << QStringList{"删除记录|设备未及时应答，正在核对…", "删除记录|" + listed + "20240101120000 仍在设备上"};
        QTest::newRow("delete A answered after a list: deleted")
            << "delete"
            << "late, list"
            << QStringList{"删除记录|设备未及时应答，正在核对…", "删除记录|" + listed + "20240101120000 已删除"};
        QTest::newRow("remark of A answered after a list: changed")
            << "remark"
            << "late, list"
            << QStringList{"修改记录备注|设备未及时应答，正在核对…",
                           "修改记录备注|" + listed + "20240101120000 备注已修改"};
        // A check's list that cannot be read settles nothing: told unknown once, asked again.
        QTest::newRow("delete A lost, its check's list unreadable: unknown, asked again, still there")
            << "delete"
            << "list malformed"
            << QStringList{"删除记录|设备未及时应答，正在核对…",
                           "核对记录失败|未能获取记录列表，以下请求的结果未知：\n删除记录 20240101120000",
                           "删除记录|" + listed + "20240101120000 仍在设备上"};
        // A description the check's list needs is refused: that list answers nothing, the check
        // is told unknown once and asked again.
        QTest::newRow("delete A lost, a description its check's list needs refused: unknown, asked again")
            << "delete"
            << "list descriptions refused"
            << QStringList{"删除记录|设备未及时应答，正在核对…",
                           "核对记录失败|未能获取记录列表，以下请求的结果未知：\n删除记录 20240101120000",
                           "删除记录|" + listed + "20240101120000 仍在设备上"};
        // The list fetched after it shows the delete done: the person is told so.
        QTest::newRow("delete A answered malformed: failed, by name")
            << "delete"
            << "malformed"
            << QStringList{"删除记录失败|删除记录 20240101120000 失败：设备应答不完整",
                           "删除记录|设备应答不完整，已重新获取记录列表：\n20240101120000 已删除"};
    }
    void changeWithoutItsOwnAnswerCostsOneCheck()
    {
        QFETCH(QString, change);
        QFETCH(QString, fault);
        QFETCH(QStringList, told);
        auto page = filledPage();
        QVERIFY(page);
        pm()->setReplyWaitForTest(shortReplyWait());
        m_dialogs->answer = kDestroy;
        const bool remark = change == "remark";
        const Msg_Cmd cmd = remark ? Msg_Cmd::ChangeRecordNote : Msg_Cmd::DeleteRecordInfo;
        const QString kind = QStringLiteral(":2:%1").arg(int(cmd));
        int sent = 0;
        // What the person is told, beside the questions before each delete.
        const auto shown = [this] { return dialogTexts().filter(QRegularExpression("^(?!删除确认\\|)")); };
        auto changeRow = [&](int row, const QString& note) {
            // The bar is held while a change of the kind is open.
            QVERIFY(UiTest::waitUntil(
                [&] { return barEnabled(*page) && !pm()->isOpen(Msg_Type::RecordedManager, cmd); }, fewReplyWaits()));
            selectRow(*page, row);
            if (remark) {
                QTest::mouseClick(button(*page, "ptn_changenote"), Qt::LeftButton);
                auto* dialog = page->findChild<MessageDialog*>();
                QVERIFY(dialog);
                dialog->findChild<QPlainTextEdit*>()->setPlainText(note);
                dialog->accept();
            } else {
                QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
            }
            QVERIFY(waitRequests(Msg_Type::RecordedManager, cmd, ++sent));
        };
        const auto lists = [this] { return requestsOf(Msg_Type::RecordedManager, Msg_Cmd::RecordList).size(); };
        if (fault == "unanswered refresh first") {
            // A 刷新 whose list the instrument never answers.
            m_records->faults().silentList = true;
            RecordAssist::instance()->setStepTimeout(shortReplyWait());
            QSignalSpy error(RecordAssist::instance(), &RecordAssist::GetRecordError);
            QTest::mouseClick(button(*page, "ptn_Refresh"), Qt::LeftButton);
            QVERIFY(UiTest::waitCount(error, 1, fewReplyWaits()));
            m_records->faults().silentList = false;
            RecordAssist::instance()->setStepTimeout(TestTime::ms(RecordAssist::kStepTimeoutMs));
            m_dialogs->requests.clear();
        }
        const int listsBefore = lists();
        int listsAtCheck = -1;
        m_dialogs->respond = [&](const DialogSeam::Request& r) -> DialogSeam::Answer {
            if (listsAtCheck < 0 && r.text.contains(QStringLiteral("已重新获取记录列表")))
                listsAtCheck = lists() - listsBefore;
            return kDestroy;
        };
        const quint16 list = quint16(quint8(Msg_Type::RecordedManager) << 8 | quint8(Msg_Cmd::RecordList));
        const auto is = [](const InstrumentSim::Request& r, Msg_Cmd c) {
            return r.type == quint8(Msg_Type::RecordedManager) && Msg_Cmd(r.cmd) == c;
        };
        int searchesFailed = 0;
        if (fault == "slow lists") {
            // Every list comes past the check's search, within its reply wait; once a list is asked
            // after the delete of B, C goes elsewhere.
            RecordAssist::instance()->setStepTimeout(shortReplyWait() / 10);
            m_sim->faults().lateMs[list] = shortReplyWait() * 4 / 5;
            connect(
                m_sim.get(), &InstrumentSim::requestReceived, page.get(),
                [this, is, b = false](const InstrumentSim::Request& r) mutable {
                    b |= is(r, Msg_Cmd::DeleteRecordInfo) && r.payload.startsWith(hex("7c a9 92 65"));
                    // Once C went, the catalogue may be empty: last() would read a freed node.
                    QList<RecordHandler::SimRecord>& list = m_records->records();
                    if (b && is(r, Msg_Cmd::RecordList) && !list.isEmpty() && list.last().name == kFirst + 120)
                        list.removeLast();
                },
                Qt::QueuedConnection);
            // Once the check's search gave up, searches wait as long as the instrument's list takes.
            connect(RecordAssist::instance(), &RecordAssist::GetRecordError, page.get(), [&searchesFailed] {
                if (searchesFailed++ == 0)
                    RecordAssist::instance()->setStepTimeout(TestTime::ms(RecordAssist::kStepTimeoutMs));
            });
        }
        if (fault == "list malformed")
            m_sim->faults().malformedReplies[list] = 1;
        if (fault == "list descriptions refused") {
            // C changed on the instrument: the check's list asks its description, refused once.
            m_records->change(kFirst + 120);
            m_records->faults().failQueries = true;
            connect(RecordAssist::instance(), &RecordAssist::GetRecordError, page.get(),
                    [this] { m_records->faults().failQueries = false; });
        }
        const bool late = fault.startsWith("late");
        // Answered late: done at once, its answer long after the list that settles it.
        QVERIFY(m_sim->setKindFault(late ? "late" + kind + QStringLiteral(":%1").arg(TestTime::ms(30000))
                                         : (fault == "malformed"       ? "malformed"
                                            : fault == "list repeated" ? "unanswered"
                                                                       : "lose")
                                               + kind));
        changeRow(0, QStringLiteral("新备注 A"));
        if (fault != "malformed") {
            // Held from the first moment, showing why; the rest of the bar is the layout's.
            QVERIFY(barEnabled(*page));
            const QWidget* held = button(*page, remark ? "ptn_changenote" : "ptn_Delete");
            QVERIFY(!held->isEnabled());
            QVERIFY2(QStringList({"等待设备应答…", "正在核对…"}).contains(held->toolTip()),
                     qPrintable(held->toolTip()));
            QVERIFY(button(*page, "ptn_Refresh")->isEnabled());
        }
        QVERIFY(UiTest::waitUntil([&] { return shown().size() >= 1; }, fewReplyWaits()));
        if (fault.endsWith("list")) {
            QVERIFY(m_sim->setKindFault(late ? "late" + kind + ":0" : "lose" + kind + ":0"));
            QVERIFY(UiTest::waitUntil([&] { return barEnabled(*page); }, fewReplyWaits()));
            QTest::mouseClick(button(*page, "ptn_Refresh"), Qt::LeftButton);
        } else if (fault == "two") {
            QVERIFY(UiTest::waitUntil(
                [&] { return barEnabled(*page) && !pm()->isOpen(Msg_Type::RecordedManager, cmd); }, fewReplyWaits()));
            QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
            for (int r : {1, 2})
                selectRow(*page, r);
            QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
            QVERIFY(waitRequests(Msg_Type::RecordedManager, cmd, sent += 2));
            QVERIFY(UiTest::waitUntil([&] { return page->tableModel()->rowCount() == 1; }, fewReplyWaits()));
            QCOMPARE(status(*page), QStringLiteral("删除记录成功"));
            QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        } else if (fault == "slow lists") {
            QVERIFY(
                UiTest::waitUntil([&] { return barEnabled(*page) && !pm()->isOpen(Msg_Type::RecordedManager, cmd); },
                                  6 * fewReplyWaits()));
            changeRow(1, QStringLiteral("新备注 B"));
            QVERIFY(UiTest::waitUntil([&] { return searchesFailed > 0 && barEnabled(*page); }, 6 * fewReplyWaits()));
            QSignalSpy ended(RecordAssist::instance(), &RecordAssist::RecordListReady);
            QSignalSpy failed(RecordAssist::instance(), &RecordAssist::GetRecordError);
            const int before = lists();
            QTest::mouseClick(button(*page, "ptn_Refresh"), Qt::LeftButton);
            QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::RecordList, before + 1));
            m_sim->faults().lateMs.clear();
            QVERIFY(UiTest::waitUntil([&] { return !ended.isEmpty() || !failed.isEmpty(); }, 6 * fewReplyWaits()));
            QCOMPARE(dialogTexts().filter(QStringLiteral("刷新失败:记录异常")), QStringList());
            QVERIFY(UiTest::waitUntil([&] { return page->tableModel()->rowCount() == 1; }, 6 * fewReplyWaits()));
            QCOMPARE(cell(*page, 0, 0), QStringLiteral("20240101120000"));
        } else if (fault == "list repeated") {
            // The next delete's answer comes a little late; a search starts as it goes out, its list
            // late past that answer and sent twice, and the last record goes elsewhere once it was
            // asked.
            m_sim->faults().lateMs[quint16(quint8(Msg_Type::RecordedManager) << 8 | quint8(cmd))] =
                shortReplyWait() / 5;
            QStringList lastListed; // what the instrument answered to the last list asked
            connect(
                m_sim.get(), &InstrumentSim::requestReceived, page.get(),
                [&, started = false](const InstrumentSim::Request& r) mutable {
                    if (is(r, Msg_Cmd::DeleteRecordInfo) && !std::exchange(started, true)) {
                        m_sim->faults().lateMs[list] = shortReplyWait() * 3 / 5;
                        m_sim->faults().repeatReplies[list] = 1;
                        RecordAssist::instance()->SeachRecord();
                    } else if (is(r, Msg_Cmd::RecordList)) {
                        lastListed.clear();
                        for (const RecordHandler::SimRecord& held : qAsConst(m_records->records()))
                            lastListed << RecordText::name(held.name);
                        if (m_sim->faults().lateMs.remove(list) > 0)
                            m_records->records().removeLast();
                    }
                },
                Qt::QueuedConnection);
            changeRow(1, QStringLiteral("新备注 B"));
            const auto shownNames = [&] {
                QStringList out;
                for (int i = 0; i < page->tableModel()->rowCount(); ++i)
                    out << cell(*page, i, 0);
                return out;
            };
            QVERIFY(UiTest::waitQuiet(*m_sim));
            QVERIFY(UiTest::waitUntil(
                [&] { return !RecordAssist::instance()->isSearching() && !RecordAssist::instance()->searchFollows(); },
                3 * fewReplyWaits()));
            QCOMPARE(shownNames(), lastListed);
            QVERIFY(UiTest::waitUntil([&] { return shown() == told; }, fewReplyWaits()));
            QCOMPARE(shown(), told);
            return; // nothing left to change
        } else if (fault != "malformed" && fault != "list malformed") {
            if (fault == "repeat")
                QVERIFY(m_sim->setKindFault("repeat" + kind));
            changeRow(1, QStringLiteral("新备注 B"));
        }
        // A check fetches one list, whatever lists went unanswered before.
        if (!fault.contains("list")) {
            QVERIFY(UiTest::waitUntil([&] { return listsAtCheck >= 0; }, 3 * fewReplyWaits()));
            QCOMPARE(listsAtCheck, 1);
        }
        QVERIFY(UiTest::waitUntil([&] { return shown() == told; }, fewReplyWaits()));
        QCOMPARE(shown(), told);
        // The bar is on while a change waits (its button held): the list that follows is awaited.
        QVERIFY(UiTest::waitUntil(
            [&] {
                return barEnabled(*page) && !pm()->isOpen(Msg_Type::RecordedManager, cmd)
                    && !RecordAssist::instance()->isSearching() && !RecordAssist::instance()->searchFollows();
            },
            fewReplyWaits()));
        // A lost delete leaves A; a malformed answer came for a delete that was done; C went elsewhere.
        QCOMPARE(page->tableModel()->rowCount(), remark || fault == "list" || fault == "list malformed" ? 3
                                                 : fault == "two" || fault == "slow lists"              ? 1
                                                                                                        : 2);
        QVERIFY(!pm()->isOpen(Msg_Type::RecordedManager, cmd));
        // In step again: the next change is told by its own answer, with no further check. The
        // lists fetched before are in first, a repeated answer's included.
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QVERIFY(UiTest::waitUntil(
            [] { return !RecordAssist::instance()->isSearching() && !RecordAssist::instance()->searchFollows(); },
            fewReplyWaits()));
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        changeRow(page->tableModel()->rowCount() - 1, QStringLiteral("新备注 C"));
        QVERIFY(UiTest::waitCount(ready, 1, fewReplyWaits()));
        QCOMPARE(shown(), told);
        if (remark)
            QCOMPARE(cell(*page, 2, 10), QStringLiteral("新备注 C"));
        else
            QCOMPARE(status(*page), QStringLiteral("删除记录成功"));
    }

    // What the person was told of a change is kept: a later list that shows otherwise is told
    // once, by name, and the table shows that list. An answer of the change's kind that comes
    // while its check is under way is not taken as its own: the check's list decides.
    void aLaterListCorrectsTheLastWord_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("told"); // beside the question before the delete
        const QString checking = QStringLiteral("删除记录|设备未及时应答，正在核对…");
        const QString listed = QStringLiteral("设备未及时应答，已重新获取记录列表：\n");
        const QString otherwise = QStringLiteral("设备现况与此前告知不符|");
        QTest::newRow("a delete checked still there, answered done after: told it is gone")
            << "done after its check"
            << QStringList{checking, "删除记录|" + listed + "20240101120000 仍在设备上",
                           otherwise + "记录 20240101120000 已不在设备上（此前告知仍在设备上）"};
        QTest::newRow("a delete answered done whose refresh still lists it: told it is still there")
            << "done, still listed" << QStringList{otherwise + "记录 20240101120000 仍在设备上（此前告知已删除）"};
        QTest::newRow("a remark checked not changed, answered done after: told it changed")
            << "remark done after its check"
            << QStringList{"修改记录备注|设备未及时应答，正在核对…",
                           "修改记录备注|" + listed + "20240101120000 备注未修改",
                           otherwise + "记录 20240101120000 的备注已修改（此前告知未修改）"};
        QTest::newRow("a success repeated during its check, the list holding the record: still there")
            << "repeat during its check" << QStringList{checking, "删除记录|" + listed + "20240101120000 仍在设备上"};
    }
    void aLaterListCorrectsTheLastWord()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, told);
        auto page = filledPage();
        QVERIFY(page);
        pm()->setReplyWaitForTest(shortReplyWait());
        m_dialogs->answer = kDestroy;
        const bool remark = how.startsWith("remark");
        const Msg_Cmd cmd = remark ? Msg_Cmd::ChangeRecordNote : Msg_Cmd::DeleteRecordInfo;
        const auto shown = [this] { return dialogTexts().filter(QRegularExpression("^(?!删除确认\\|)")); };
        if (how == "done, still listed") {
            // The instrument says deleted and keeps the record.
            const RecordHandler::SimRecord kept = m_records->records().first();
            connect(
                m_sim.get(), &InstrumentSim::requestReceived, page.get(),
                [this, kept](const InstrumentSim::Request& r) {
                    if (r.type == quint8(Msg_Type::RecordedManager) && Msg_Cmd(r.cmd) == Msg_Cmd::DeleteRecordInfo)
                        m_records->add(kept);
                },
                Qt::QueuedConnection);
        } else {
            // The change does not reach the instrument: its check's list shows it not made.
            QVERIFY(m_sim->setKindFault(QStringLiteral("lose:2:%1").arg(int(cmd))));
            if (how == "repeat during its check")
                m_sim->faults().lateMs[quint16(quint8(Msg_Type::RecordedManager) << 8 | quint8(Msg_Cmd::RecordList))] =
                    shortReplyWait() / 2;
        }
        selectRow(*page, 0);
        if (remark) {
            QTest::mouseClick(button(*page, "ptn_changenote"), Qt::LeftButton);
            auto* dialog = page->findChild<MessageDialog*>();
            QVERIFY(dialog);
            dialog->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("新备注 A"));
            dialog->accept();
        } else {
            QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        }
        QVERIFY(waitRequests(Msg_Type::RecordedManager, cmd, 1));
        if (how == "repeat during its check") {
            // The check's list is on its way when a success of the kind comes: a repeat, a stray.
            QVERIFY(
                UiTest::waitUntil([&] { return pm()->isChecking(Msg_Type::RecordedManager, cmd); }, fewReplyWaits()));
            LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, cmd, QByteArray(1, '\0'));
        } else if (how.endsWith("after its check")) {
            QVERIFY(UiTest::waitUntil([&] { return shown().size() == 2; }, 3 * fewReplyWaits()));
            // The instrument makes the change after all, and says so.
            if (remark) {
                RecordHandler::SimRecord* r = m_records->find(kFirst);
                r->remark = QStringLiteral("新备注 A");
                r->stamp = ++m_stamp;
            } else {
                m_records->records().removeFirst();
            }
            LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, cmd, QByteArray(1, '\0'));
        }
        QVERIFY(UiTest::waitUntil([&] { return shown() == told; }, 3 * fewReplyWaits()));
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QVERIFY(UiTest::waitUntil(
            [] { return !RecordAssist::instance()->isSearching() && !RecordAssist::instance()->searchFollows(); },
            fewReplyWaits()));
        // Told once; the table shows the instrument's list.
        QCOMPARE(shown(), told);
        const bool stillListed = how != "done after its check";
        QCOMPARE(page->tableModel()->rowCount(), stillListed ? 3 : 2);
        bool listed = false;
        for (int row = 0; row < page->tableModel()->rowCount(); ++row)
            listed = listed || cell(*page, row, 0) == QStringLiteral("20240101120000");
        QCOMPARE(listed, stillListed);
        if (told.last().startsWith(QStringLiteral("设备现况与此前告知不符")))
            QCOMPARE(status(*page), told.last().section('|', 1));
    }

    void cancelledDeleteSendsNothing_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("several records") << QList<int>{0, 2};
        QTest::newRow("one record") << QList<int>{1};
    }
    void cancelledDeleteSendsNothing()
    {
        QFETCH(QList<int>, rows);
        auto page = filledPage();
        QVERIFY(page);
        QTest::mouseClick(button(*page, "ptn_selectmode"), Qt::LeftButton);
        for (int r : rows)
            selectRow(*page, r);
        m_dialogs->answer = -1;
        QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        QCOMPARE(status(*page), QStringLiteral("取消删除操作"));
        QVERIFY(barEnabled(*page));
        QVERIFY(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo).isEmpty());
    }

    // A change that ran out of its wait is checked at once by a list fetched after it,
    // descriptions included, and the person is told what it shows.
    void checkTellsWhatAFreshListShows_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("line"); // the status line once the check is over
        const QString timedOut = QStringLiteral("删除记录|设备未及时应答，正在核对…");
        const QString head = QStringLiteral("删除记录|设备未及时应答，已重新获取记录列表：\n");
        QTest::newRow("a lost delete that was done")
            << "" << QStringList{timedOut, head + "20240101120000 已删除"} << "20240101120000 已删除";
        QTest::newRow("a search under way is followed by the check's own")
            << "searching" << QStringList{timedOut, head + "20240101120000 已删除"} << "20240101120000 已删除";
        QTest::newRow("a remark changed without a new change stamp")
            << "remark"
            << QStringList{"修改记录备注|设备未及时应答，正在核对…",
                           "修改记录备注|设备未及时应答，已重新获取记录列表：\n20240101120000 备注已修改"}
            << "20240101120000 备注已修改";
        QTest::newRow("no list: the result is unknown")
            << "silent"
            << QStringList{timedOut, "核对记录失败|未能获取记录列表，以下请求的结果未知：\n删除记录 20240101120000"}
            << "核对记录失败";
    }
    void checkTellsWhatAFreshListShows()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, shown);
        QFETCH(QString, line);
        auto page = filledPage();
        QVERIFY(page);
        pm()->setReplyWaitForTest(TestTime::ms(300));
        m_dialogs->answer = kDestroy;
        const bool remark = setup == "remark";
        const Msg_Cmd cmd = remark ? Msg_Cmd::ChangeRecordNote : Msg_Cmd::DeleteRecordInfo;
        // The instrument does the change and its answer is lost.
        QVERIFY(m_sim->setKindFault(QStringLiteral("unanswered:2:%1").arg(int(cmd))));
        if (setup == "silent") {
            m_records->faults().silentList = true;
            RecordAssist::instance()->setStepTimeout(TestTime::ms(300));
        }
        selectRow(*page, 0);
        if (remark) {
            QTest::mouseClick(button(*page, "ptn_changenote"), Qt::LeftButton);
            auto* dialog = page->findChild<MessageDialog*>();
            QVERIFY(dialog);
            dialog->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("新备注"));
            dialog->accept();
        } else {
            QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        }
        QVERIFY(waitRequests(Msg_Type::RecordedManager, cmd, 1));
        if (setup == "searching") {
            // A search under way, its list asked before the time-out, is not the check.
            m_sim->faults().lateMs[quint16(quint8(Msg_Type::RecordedManager) << 8 | quint8(Msg_Cmd::RecordList))] =
                TestTime::ms(200);
            RecordAssist::instance()->SeachRecord();
        }
        const auto texts = [this] { return dialogTexts().filter(QRegularExpression("^(?!删除确认\\|)")); };
        QTRY_COMPARE_WITH_TIMEOUT(texts(), shown, TestTime::ms(20000));
        m_sim->faults().lateMs.clear();
        QCOMPARE(status(*page), line);
        if (setup == "silent") {
            // Until then the delete is held with the reason, and a press that comes another way
            // sends nothing and says why.
            QVERIFY(!button(*page, "ptn_Delete")->isEnabled());
            QCOMPARE(button(*page, "ptn_Delete")->toolTip(), QStringLiteral("正在核对…"));
            QVERIFY(QMetaObject::invokeMethod(page.get(), "on_ptn_Delete_clicked"));
            QCOMPARE(texts().last(), QStringLiteral("删除记录|上一次请求尚未结束（正在核对…），本次未发送"));
            QCOMPARE(requestsOf(Msg_Type::RecordedManager, cmd).size(), 1);
            m_dialogs->requests.removeLast();
            // Asked again until a list comes: then it is settled and told, and the kind is free.
            m_records->faults().silentList = false;
            const QString settled =
                QStringLiteral("删除记录|设备未及时应答，已重新获取记录列表：\n20240101120000 已删除");
            // Rounds that fail meanwhile tell nothing more.
            QTRY_COMPARE_WITH_TIMEOUT(texts(), shown + QStringList{settled}, TestTime::ms(20000));
            QVERIFY(!pm()->isOpen(Msg_Type::RecordedManager, cmd));
        }
        QTRY_VERIFY_WITH_TIMEOUT(barEnabled(*page) && !RecordAssist::instance()->isSearching()
                                     && !RecordAssist::instance()->searchFollows(),
                                 TestTime::ms(10000));
        QCOMPARE(page->tableModel()->rowCount(), remark ? 3 : 2);
    }

    void remarkChangeIsSentAsEdited()
    {
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        QTest::mouseClick(button(*page, "ptn_changenote"), Qt::LeftButton);
        auto* dialog = page->findChild<MessageDialog*>();
        QVERIFY(dialog);
        // In the frame of the program's own dialogs, with their title bar and words.
        QVERIFY(dialog->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(dialog->findChild<QLabel*>("title")->text(), QStringLiteral("修改记录备注"));
        QCOMPARE(dialog->findChild<QLabel*>("content")->text(), QStringLiteral("请编辑备注信息"));
        QStringList words;
        for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons())
            words << b->text();
        QCOMPARE(words, QStringList({"确定", "取消"}));
        auto* editor = dialog->findChild<QPlainTextEdit*>();
        QCOMPARE(editor->toPlainText(), QStringLiteral("record 0"));
        QVERIFY(!barEnabled(*page));
        editor->setPlainText(QStringLiteral("新备注 A"));
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        dialog->accept();
        QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote, 1));
        QCOMPARE(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote).first().payload,
                 hex("40 a9 92 65 e6 96 b0 e5 a4 87 e6 b3 a8 20 41"));
        QVERIFY(UiTest::waitCount(ready, 1));
        // The pending note is over, so the refresh writes its own result.
        QCOMPARE(status(*page), QStringLiteral("刷新记录列表成功"));
        QCOMPARE(cell(*page, 0, 10), QStringLiteral("新备注 A"));
        QCOMPARE(child<QTextEdit>(*page, "text_Remake")->toPlainText(), QStringLiteral("新备注 A"));
        QCOMPARE(page->pendingOperation(), 0u);

        QTest::mouseClick(button(*page, "ptn_changenote"), Qt::LeftButton);
        dialog = page->findChild<MessageDialog*>();
        QVERIFY(dialog);
        dialog->reject();
        QCOMPARE(page->pendingOperation(), 0u);
        QVERIFY(barEnabled(*page));
        QCOMPARE(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote).size(), 1);
    }

    void remarkReplyResults_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("failed") << 1 << "修改备注失败";
        QTest::newRow("no such record") << 2 << "未找到指定记录，请刷新后重试";
    }
    void remarkReplyResults()
    {
        QFETCH(int, result);
        QFETCH(QString, text);
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        m_records->faults().silentNotes = 1;
        // The refresh that follows the reply stays unanswered, so its result does not replace the text.
        m_records->faults().silentList = true;
        RecordAssist::instance()->setStepTimeout(TestTime::ms(300));
        QTest::mouseClick(button(*page, "ptn_changenote"), Qt::LeftButton);
        page->findChild<MessageDialog*>()->accept();
        QVERIFY(waitRequests(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote, 1));
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy error(RecordAssist::instance(), &RecordAssist::GetRecordError);
        LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote, QByteArray(1, char(result)));
        QTRY_COMPARE_WITH_TIMEOUT(status(*page), text, TestTime::ms(10000));
        bool logged = false;
        for (const auto& args : log)
            logged |=
                args.at(0).value<FileLogger::LogType>() == FileLogger::Error && args.at(1).toString().endsWith(text);
        QVERIFY(logged);
        QVERIFY(UiTest::waitCount(error, 1));
    }

    void refreshErrors_data()
    {
        QTest::addColumn<bool>("whileDeleting");
        QTest::newRow("plain refresh") << false;
        QTest::newRow("after a delete") << true;
    }
    void refreshErrors()
    {
        QFETCH(bool, whileDeleting);
        auto page = filledPage();
        QVERIFY(page);
        RecordAssist::instance()->setStepTimeout(TestTime::ms(300));
        m_records->faults().silentList = true;
        QSignalSpy error(RecordAssist::instance(), &RecordAssist::GetRecordError);
        if (whileDeleting) {
            selectRow(*page, 0);
            QTest::mouseClick(button(*page, "ptn_Delete"), Qt::LeftButton);
        } else {
            QTest::mouseClick(button(*page, "ptn_Refresh"), Qt::LeftButton);
        }
        QVERIFY(UiTest::waitCount(error, 1));
        RecordAssist::instance()->setStepTimeout(TestTime::ms(RecordAssist::kStepTimeoutMs));
        QCOMPARE(dialogTexts().mid(whileDeleting ? 1 : 0), QStringList{"刷新记录列表失败|刷新失败:操作超时"});
        QCOMPARE(m_dialogs->requests.last().type, 1);
        QCOMPARE(status(*page), whileDeleting ? QStringLiteral("删除记录成功") : QStringLiteral("刷新失败:操作超时"));
        QVERIFY(barEnabled(*page));
    }

    // The table shows what the instrument holds after a clearing, answered in time or late.
    void deleteAllReplyShowsWhatIsLeft_data()
    {
        QTest::addColumn<char>("result");
        QTest::addColumn<bool>("late");
        QTest::addColumn<int>("rows");
        QTest::newRow("cleared") << '\x01' << false << 0;
        QTest::newRow("refused: the records stay listed") << '\0' << false << 3;
        QTest::newRow("cleared after its wait: the list is fetched") << '\x01' << true << 0;
        QTest::newRow("refused after its wait: the records stay listed") << '\0' << true << 3;
    }
    void deleteAllReplyShowsWhatIsLeft()
    {
        QFETCH(char, result);
        QFETCH(bool, late);
        QFETCH(int, rows);
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        QSignalSpy all(pm(), &ProtocolManager::DeleteAllRecordSuccess);
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        pm()->setClearWaitForTest(TestTime::ms(late ? 200 : ProtocolManager::kClearWaitMs));
        pm()->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord);
        if (late) {
            QTRY_VERIFY_WITH_TIMEOUT(!pm()->isAwaiting(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord),
                                     TestTime::ms(10000));
            if (result != 0)
                m_records->records().clear();
        }
        pm()->setClearWaitForTest(TestTime::ms(ProtocolManager::kClearWaitMs));
        LinkTest::sendReport(*m_sim, Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord, QByteArray(1, result));
        // Past its wait the list is fetched at once, and again where the records changed after it
        // was asked: the table ends as the instrument's list.
        if (late)
            QVERIFY(UiTest::waitCount(ready, 1));
        else
            QVERIFY(UiTest::waitCount(all, 1));
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QTRY_COMPARE(page->tableModel()->rowCount(), rows);
        QCOMPARE(page->currentRecord().RecordValue("Name").toUInt(), rows == 0 ? 0u : kFirst);
        QCOMPARE(ready.isEmpty(), !late);
    }

    void linkLossLeavesTheLocalRecordsUntilAnIdleReport()
    {
        auto page = filledPage();
        QVERIFY(page);
        QSignalSpy link(pm(), &ProtocolManager::NetSuccess);
        m_sim->setRefusing(true);
        m_sim->closeConnection();
        QVERIFY(UiTest::waitCount(link, 1));
        // Offline only the PC's own copies are within reach: the local list opens, 下载 stays off.
        QVERIFY(!button(*page, "ptn_Refresh")->isEnabled() && !button(*page, "ptn_Upload")->isEnabled());
        // The instrument's list stays, said to be the one from before the drop.
        auto* status = child<QLabel>(*page, "lab_status");
        QCOMPARE(child<QTableView>(*page, "tabel_Device")->model()->rowCount(), 3);
        QCOMPARE(status->text(),
                 QStringLiteral("设备未连接：列表为断开前的记录，刷新、删除、修改备注和上传在连接恢复后可用"));
        BackupList* list = BackupList::instance();
        QTest::mouseClick(button(*page, "ptn_download"), Qt::LeftButton);
        QVERIFY(list->isVisible() && !barEnabled(*page));
        QVERIFY(!child<QPushButton>(*list, "pbt_ok")->isEnabled());
        QCOMPARE(child<QLabel>(*list, "lab_downloadReason")->text(), QStringLiteral("设备未连接，无法下载"));
        list->close();
        QVERIFY(button(*page, "ptn_download")->isEnabled() && barEnabled(*page));
        m_sim->setRefusing(false);
        QVERIFY(UiTest::waitCount(link, 2));
        QVERIFY(!barEnabled(*page));
        QCOMPARE(link.last().at(0).toBool(), true);
        QVERIFY(!barEnabled(*page));
        QCOMPARE(status->text(), QStringLiteral("设备已重新连接：列表为断开前的记录，按“刷新”取得设备当前的记录"));
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        QVERIFY(pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device));
        QVERIFY(UiTest::waitCount(state, 1));
        QVERIFY(barEnabled(*page));
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QTest::mouseClick(button(*page, "ptn_Refresh"), Qt::LeftButton);
        QVERIFY(UiTest::waitCount(ready, 1));
        QCOMPARE(status->text(), QStringLiteral("刷新记录列表成功"));
    }

    void aStartWithoutAnInstrumentIsOfflineFromTheFirstVisit()
    {
        UiTest::disconnect();
        RecordManager page;
        // The same as after a drop: what needs the instrument is off, each saying why; the
        // PC's own copies stay within reach.
        for (const char* name : {"ptn_Refresh", "ptn_Delete", "ptn_changenote", "ptn_selectmode", "ptn_Upload"}) {
            QVERIFY2(!button(page, name)->isEnabled(), name);
            QCOMPARE(button(page, name)->toolTip(), QStringLiteral("设备未连接"));
        }
        QVERIFY(button(page, "ptn_download")->isEnabled());
        QCOMPARE(child<QLabel>(page, "lab_status")->text(),
                 QStringLiteral("设备未连接：刷新、删除、修改备注和上传在连接后可用"));
        // Once the instrument is there and idle, the bar is the online one, reasons gone.
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo));
        QSignalSpy state(pm(), &ProtocolManager::UpdateDeviceState);
        QVERIFY(pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device));
        QVERIFY(UiTest::waitCount(state, 1));
        QVERIFY(button(page, "ptn_Refresh")->isEnabled());
        QVERIFY(button(page, "ptn_Refresh")->toolTip().isEmpty());
    }

    void runStateChangesSetTheLayouts_data()
    {
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<QString>("deviceType");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("upload");
        QTest::addColumn<QString>("download");
        QTest::addColumn<bool>("refreshes");
        QTest::newRow("upload then error keeps the upload layout") << QList<int>{5, 0} << "Kelo" << true << "停止上传"
                                                                   << "本地记录管理" << false;
        QTest::newRow("download then collecting keeps the download layout")
            << QList<int>{6, 2} << "Kelo" << true << "上传"
            << "停止下载" << false;
        QTest::newRow("collection that ends refreshes the list") << QList<int>{2, 1} << "Kelo" << true << "上传"
                                                                 << "本地记录管理" << true;
        QTest::newRow("transponder end leaves the bar off") << QList<int>{2, 1} << "TRANS" << false << "上传"
                                                            << "本地记录管理" << false;
    }
    void runStateChangesSetTheLayouts()
    {
        QFETCH(QList<int>, states);
        QFETCH(QString, deviceType);
        QFETCH(bool, enabled);
        QFETCH(QString, upload);
        QFETCH(QString, download);
        QFETCH(bool, refreshes);
        auto page = filledPage();
        QVERIFY(page);
        ConfigSetting::instance()->deviceType = deviceType;
        m_sim->clearRequests();
        for (int s : states)
            RunStatus::instance()->slot_GlobalStatus(SystemState(s));
        if (refreshes) {
            QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
            QVERIFY(UiTest::waitCount(ready, 1));
        } else {
            UiTest::waitQuiet(*m_sim);
            QVERIFY(requestsOf(Msg_Type::RecordedManager, Msg_Cmd::RecordList).isEmpty());
        }
        QCOMPARE(barEnabled(*page), enabled);
        QCOMPARE(button(*page, "ptn_Upload")->text(), upload);
        QCOMPARE(button(*page, "ptn_download")->text(), download);
        if (enabled && !refreshes) {
            QCOMPARE(button(*page, "ptn_Upload")->isEnabled(), upload == QStringLiteral("停止上传"));
            QCOMPARE(button(*page, "ptn_download")->isEnabled(), download == QStringLiteral("停止下载"));
            QVERIFY(!button(*page, "ptn_Refresh")->isEnabled());
        }
    }

    void uploadIsByteExactIntoTheLocalStore()
    {
        auto page = filledPage();
        QVERIFY(page);
        // The speed before, during and after the transfer, in one format; the progress bar and
        // the speed stay where they are whatever the status line and the figures say.
        page->resize(1100, 600);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        auto* speed = child<QLabel>(*page, "label_speed");
        auto* bar = child<QProgressBar>(*page, "progressBar");
        QStringList speeds{speed->text()};
        auto place = [&] { return QRect(bar->geometry().topLeft(), speed->geometry().bottomRight()); };
        QList<QRect> places{place()};
        connect(UpDownLoadAssist::instance(), &UpDownLoadAssist::Transport_UpdateProgress, page.get(), [&] {
            speeds << speed->text();
            places << place();
        });
        // Once every block is in, the line says what the end waits for, heartbeats or not.
        QStringList endWait;
        connect(UpDownLoadAssist::instance(), &UpDownLoadAssist::Transport_EndWait, page.get(),
                [&] { endWait << status(*page); });
        connect(pm(), &ProtocolManager::AckUploadingOrDownloading, page.get(), [&] {
            if (!endWait.isEmpty())
                endWait << status(*page);
        });
        selectRow(*page, 0);
        QVERIFY(uploadToTheEnd(*page));
        QVERIFY(endWait.size() >= 2);
        QCOMPARE(endWait.filter(QStringLiteral("正在确认采集卡发送完毕")), endWait);
        speeds << speed->text();
        QCOMPARE(speeds.filter(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\dM/s$"))), speeds);
        // A fast channel's figures are wider than a slow one's.
        page->slot_Upload_Dwonload_UpdateProgress(100, 1234.56);
        QCoreApplication::processEvents();
        places << place();
        QCOMPARE(places.count(places.first()), places.size());
        QCOMPARE(dialogTexts(), QStringList{"上传结果|上传完成!"});
        QCOMPARE(status(*page), QStringLiteral("上传完成"));
        QCOMPARE(child<QProgressBar>(*page, "progressBar")->value(), 100);
        QCOMPARE(m_transfer->starts().size(), 2);
        for (const auto& s : m_transfer->starts()) {
            QCOMPARE(s.name, kFirst);
            QCOMPARE(s.firstBlock, 0u);
            QCOMPARE(s.blockSize, 2u);
            QCOMPARE(s.address, 0x7F000001u);
        }
        QVERIFY(filesExact(kFirst));
        const QMemorySetting info = storedInformation(kFirst);
        QCOMPARE(info.getSectionValue("LocalData", "NumOfBoards").toInt(), 2);
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), 12 * kMiB);
        for (const char* card : {"Card0", "Card1"}) {
            QCOMPARE(info.getSectionValue(card, "UploadSize").toLongLong(), 6 * kMiB);
            QCOMPARE(info.getSectionValue(card, "UploadNum").toUInt(), kBlocks);
        }
        QVERIFY(!info.existSection("Card2"));
        QCOMPARE(info.getSectionValue("Record", "Remark").toString(), QStringLiteral("record 0"));
        QVERIFY(barEnabled(*page));
        QCOMPARE(button(*page, "ptn_Upload")->text(), QStringLiteral("上传"));
        QCOMPARE(page->currentRecord().RecordValue("Name").toUInt(), kFirst);
    }

    void cutUploadGoesOnOrStartsAgain_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<quint32>("card1First");
        QTest::addColumn<quint32>("card2First");
        // The answers by their place: 是 goes on, 否 starts again.
        QTest::newRow("go on") << 0 << kBlocks << 1u;
        QTest::newRow("start again") << 1 << 0u << 0u;
    }
    void cutUploadGoesOnOrStartsAgain()
    {
        QFETCH(int, answer);
        QFETCH(quint32, card1First);
        QFETCH(quint32, card2First);
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        CardDataChannel::Faults cut;
        cut.cutAfterBlocks = 1;
        cut.cutPartialBytes = int(kMiB / 2);
        m_transfer->cardFaults[2] = cut;
        QVERIFY(uploadToTheEnd(*page));
        // Once, with the reason the card ended for.
        QCOMPARE(dialogTexts(), QStringList{"传输错误|上传数据错误，上传已终止!\n采集卡2：采集卡断开"});
        QCOMPARE(m_dialogs->requests.first().type, 1);
        QCOMPARE(status(*page), QStringLiteral("已退出上传模式"));
        // What is stored names exactly the whole blocks on disk.
        QMemorySetting info = storedInformation(kFirst);
        QCOMPARE(info.getSectionValue("Card1", "UploadSize").toLongLong(), 2 * kMiB);
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), 8 * kMiB);
        QCOMPARE(QFileInfo(dataFile(kFirst, 1)).size(), 2 * kMiB);

        m_transfer->cardFaults.clear();
        m_dialogs->requests.clear();
        m_dialogs->answer = answer;
        QVERIFY(uploadToTheEnd(*page));
        QCOMPARE(dialogTexts(),
                 (QStringList{"上传确认|记录 " + RecordText::name(kFirst)
                                  + " 存在上传记录（已上传 8.000 MB，共 12.000 MB），是否继续上传进度上传？\n"
                                    "是：从已上传处继续，已上传的数据保留。\n"
                                    "否：删除已上传的 8.000 MB，从 0% 重新上传。",
                              "上传结果|上传完成!"}));
        QCOMPARE(m_transfer->starts().size(), 4);
        QCOMPARE(m_transfer->starts().at(2).firstBlock, card1First);
        QCOMPARE(m_transfer->starts().at(3).firstBlock, card2First);
        QVERIFY(filesExact(kFirst));
        QCOMPARE(storedInformation(kFirst).getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), 12 * kMiB);
    }

    void failedUploadShowsOneErrorAndNoCompletion_data()
    {
        QTest::addColumn<QString>("fault");
        // Each card ends incomplete and reports it.
        QTest::newRow("both cards cut") << "cut";
        // 13 MiB over two cards of 2 MiB blocks: each card moves its three blocks, reaches 100 %
        // and still falls half a MiB short.
        QTest::newRow("cards short of the record size at 100 %") << "odd size";
    }
    void failedUploadShowsOneErrorAndNoCompletion()
    {
        QFETCH(QString, fault);
        if (fault == "odd size")
            m_records->records()[0].size = 13;
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        if (fault == "cut") {
            CardDataChannel::Faults cut;
            cut.cutAfterBlocks = 1;
            m_transfer->cardFaults[1] = cut;
            m_transfer->cardFaults[2] = cut;
        }
        QVERIFY(uploadToTheEnd(*page));
        QCOMPARE(dialogTexts().size(), 1);
        QVERIFY2(dialogTexts().first().startsWith("传输错误|上传数据错误，上传已终止!\n采集卡"),
                 qPrintable(dialogTexts().first()));
        QCOMPARE(page->lastProgress(), -1);
        // Nothing moves any more, and the bar says the transfer did not finish.
        QCOMPARE(page->findChild<QLabel*>("label_speed")->text(), RecordManager::speedText(0.0));
        QVERIFY(page->findChild<QProgressBar*>("progressBar")->text().endsWith(QStringLiteral("（未完成）")));
        QCOMPARE(status(*page), QStringLiteral("已退出上传模式"));
    }

    void uploadThatLooksDoneAsksFirst_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("earlier");
        QTest::newRow("earlier upload complete") << 12 << true;
        QTest::newRow("record of size 0") << 0 << false;
    }
    void uploadThatLooksDoneAsksFirst()
    {
        QFETCH(int, size);
        QFETCH(bool, earlier);
        m_records->records()[0].size = quint32(size);
        if (earlier)
            storeEarlierUpload(2, 12 * kMiB, {kBlocks, kBlocks});
        const QMemorySetting before = storedInformation(kFirst);
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        m_dialogs->answer = 1;
        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        // Named as the list shows it, and saying what becomes of the copy there is.
        QCOMPARE(dialogTexts(),
                 QStringList{"上传确认|记录 " + RecordText::name(kFirst)
                             + (earlier ? QStringLiteral(" 已完成上传，是否重新上传?")
                                        : QStringLiteral(" 可能已完成上传，是否重新上传?"))
                             + (earlier ? QStringLiteral("\n重新上传的数据先另存，全部传完后才替换本地现有的完整副本；"
                                                         "未传完或被停止时，现有副本保持不变、仍可使用。")
                                        : QString())});
        // Return and Escape answer no: starting again overwrites the local copy.
        QVERIFY(m_dialogs->requests.first().destructive && m_dialogs->requests.first().escapeIndex == 1);
        QVERIFY(barEnabled(*page));
        QCOMPARE(page->pendingOperation(), 0u);
        UiTest::waitQuiet(*m_sim);
        QVERIFY(requestsOf(Msg_Type::UploadDownload, Msg_Cmd::StartUpload).isEmpty());
        QCOMPARE(storedInformation(kFirst).toByteArray(), before.toByteArray());
        if (earlier)
            QVERIFY(filesExact(kFirst));
    }

    void reuploadOverACompleteCopy_data()
    {
        QTest::addColumn<bool>("cut");
        // What a replacement cut short by the program's end left: the complete copy moved aside
        // with nothing in its place, or the replaced copy beside the complete one.
        QTest::addColumn<QString>("leftover");
        QTest::newRow("link to card 2 cut after a block") << true << QString();
        QTest::newRow("complete") << false << QString();
        QTest::newRow("copy moved aside by a cut replacement; link to card 2 cut") << true << "aside";
        QTest::newRow("copy moved aside by a cut replacement; complete") << false << "aside";
        QTest::newRow("replaced copy left beside the copy; complete") << false << "beside";
    }
    void reuploadOverACompleteCopy()
    {
        QFETCH(bool, cut);
        QFETCH(QString, leftover);
        storeEarlierUpload(2, 12 * kMiB, {kBlocks, kBlocks});
        // A copy of other bytes than the instrument sends, so that what replaced it shows.
        for (int card = 0; card < 2; ++card) {
            QFile data(dataFile(kFirst, card));
            QVERIFY(data.open(QIODevice::ReadWrite) && data.resize(0) && data.resize(6 * kMiB));
        }
        const QMemorySetting before = storedInformation(kFirst);
        const QString aside = QFileInfo(folder(kFirst)).dir().filePath(QStringLiteral(".replaced-%1").arg(kFirst));
        QString told;
        if (leftover == QLatin1String("aside")) {
            QVERIFY(QDir().rename(folder(kFirst), aside));
            told = "\n记录 " + RecordText::name(kFirst) + " 上次替换本地副本时被中断，原来的完整副本已恢复。";
        } else if (leftover == QLatin1String("beside")) {
            QVERIFY(QDir().mkpath(aside + "/old"));
            told = "\n记录 " + RecordText::name(kFirst)
                 + " 上次替换本地副本时被中断，当时替换已完成，留下的旧副本已删除。";
        }
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        if (cut) {
            CardDataChannel::Faults fault;
            fault.cutAfterBlocks = 1;
            m_transfer->cardFaults[2] = fault;
        }
        m_dialogs->answer = kDestroy;
        QVERIFY(uploadToTheEnd(*page));
        const QString name = RecordText::name(kFirst);
        // The complete copy was found and asked about; what became of the leftover is told once.
        QVERIFY(dialogTexts().value(0).startsWith(QStringLiteral("上传确认|")));
        const QStringList shown = dialogTexts().mid(1);
        QVERIFY(!QFileInfo::exists(aside));
        if (!cut) {
            QCOMPARE(shown, QStringList{"上传结果|上传完成!\n已替换本地原有的副本。" + told});
            QVERIFY(filesExact(kFirst));
            return;
        }
        // One notice, which says the copy stands; and it does, as it was.
        QCOMPARE(shown, QStringList{"传输错误|上传数据错误，上传已终止!\n采集卡2：采集卡断开\n记录 " + name
                                    + " 本地原有的完整副本保持不变，仍可使用。" + told});
        QCOMPARE(storedInformation(kFirst).toByteArray(), before.toByteArray());
        for (int card = 0; card < 2; ++card) {
            QFile data(dataFile(kFirst, card));
            QVERIFY(data.open(QIODevice::ReadOnly));
            QCOMPARE(data.readAll(), QByteArray(int(6 * kMiB), '\0'));
        }
    }

    void secondClickOfADoubleClickStopsNothing()
    {
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        CardDataChannel::Faults slow;
        slow.silentAfterBlocks = 1;
        m_transfer->cardFaults[1] = slow;
        QApplication::setDoubleClickInterval(TestTime::ms(60000));
        QSignalSpy states(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        QVERIFY(UiTest::waitCount(states, 1));
        QTRY_VERIFY_WITH_TIMEOUT(button(*page, "ptn_Upload")->isEnabled() && barEnabled(*page), TestTime::ms(15000));
        QCOMPARE(button(*page, "ptn_Upload")->text(), QStringLiteral("停止上传"));
        // The second click lands on the stop button the first one brought: it stops nothing.
        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        // A stop would have ended the transfer here before the click returned.
        QCOMPARE(int(UpDownLoadAssist::instance()->GetLastMethod()), int(SystemState::Uploading));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Uploading);
        QVERIFY(button(*page, "ptn_Upload")->isEnabled());
        QCOMPARE(button(*page, "ptn_Upload")->text(), QStringLiteral("停止上传"));
        // Past the interval the button stops as it says.
        QApplication::setDoubleClickInterval(0);
        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        QVERIFY(waitRequests(Msg_Type::UploadDownload, Msg_Cmd::StopUpload, 2));
        QVERIFY(UiTest::waitCount(states, 2));
    }

    void bookkeepingOfAnotherCardCountIsRebuilt()
    {
        // Four of the twelve megabytes on card 0, but written for three cards.
        storeEarlierUpload(3, 4 * kMiB, {2, 0, 0});
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        QVERIFY(uploadToTheEnd(*page));
        QCOMPARE(dialogTexts(), QStringList{"上传结果|上传完成!"});
        QCOMPARE(m_transfer->starts().at(0).firstBlock, 0u);
        QCOMPARE(m_transfer->starts().at(1).firstBlock, 0u);
        QVERIFY(filesExact(kFirst));
        const QMemorySetting info = storedInformation(kFirst);
        QCOMPARE(info.getSectionValue("LocalData", "NumOfBoards").toInt(), 2);
        QVERIFY(!info.existSection("Card2"));
    }

    void uploadRefusals_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<bool>("asked");
        QTest::newRow("not idle") << "collecting"
                                  << "执行失败|设备状态不为空闲状态" << false;
        QTest::newRow("no data path")
            << "no path"
            << "本地记录存储路径不存在|数据本地储存文件夹不存在!\n请手动前往【系统设置】界面修改【数据保存路径】"
            << false;
        QTest::newRow("data path gone")
            << "gone"
            << "本地记录存储路径不存在|数据本地储存文件夹不存在!\n请手动前往【系统设置】界面修改【数据保存路径】"
            << false;
        QTest::newRow("no record chosen") << "none"
                                          << "无效|当前数据无效!\n请选择一条有效数据后重试。" << false;
        QTest::newRow("no card reported") << "no cards"
                                          << "上传记录失败|未获取到采集卡信息，请刷新设备信息后重试" << false;
        // Told at card 1's refusal, before card 2's answer is read.
        QTest::newRow("both cards refuse: one message, at the first refusal")
            << "refused"
            << "启动上传失败|设备上报失败\n采集卡 1：启动失败\n采集卡 2：尚未应答，结果未知" << true;
        QTest::newRow("card 2 lacks the record: one message naming each card")
            << "partly refused"
            << "启动上传失败|设备上报失败\n采集卡 1：已接受，已通知其停止\n采集卡 2：未找到记录" << true;
        // Unanswered starts are checked by the cards connecting: told once their channels give up.
        const QString unanswered = "上传记录失败|设备响应超时，已按各采集卡是否连接核对\n"
                                   "采集卡 1：未连接，未上传\n采集卡 2：未连接，未上传";
        QTest::newRow("both cards silent: one message") << "silent" << unanswered << true;
        QTest::newRow("a start's late refusal does not fail the next start") << "late refusal" << unanswered << true;
        // Card 1 has moved all its blocks by the time card 2's channel gives up on it.
        QTest::newRow("answers late, card 2 lacks the record: told once card 2 did not connect")
            << "late partly"
            << "上传记录失败|设备响应超时，已按各采集卡是否连接核对\n采集卡 1：已连接\n采集卡 2：未连接，未上传"
            << true;
        // Card 2 accepts in time and never connects; card 1 moves all its blocks meanwhile.
        QTest::newRow("card 2 accepts and never connects: named, not a data error")
            << "unconnected"
            << "上传记录失败|设备已接受启动，但采集卡未连接\n采集卡 1：已连接\n采集卡 2：已接受启动，但未连接，未上传"
            << true;
    }
    void uploadRefusals()
    {
        QFETCH(QString, situation);
        QFETCH(QString, dialog);
        QFETCH(bool, asked);
        auto page = filledPage();
        QVERIFY(page);
        pm()->setReplyWaitForTest(shortReplyWait());
        if (situation != "none")
            selectRow(*page, 0);
        if (situation == "no path")
            ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, QString());
        if (situation == "gone")
            ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_data->path() + "/gone");
        if (situation == "refused")
            m_transfer->uploadResult = 1;
        if (situation == "partly refused")
            m_transfer->cardUploadResults[2] = 2;
        if (situation == "no cards") {
            m_sim->profile().boards.clear();
            QSignalSpy info(pm(), &ProtocolManager::UpdateDeviceInfo);
            QVERIFY(pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
            QVERIFY(UiTest::waitCount(info, 1));
            QCOMPARE(pm()->deviceInfo().Boards.size(), 0);
        }
        if (situation == "silent")
            m_transfer->silentStarts = true;
        if (situation == "unconnected")
            m_transfer->unconnectedCards.insert(2);
        if (situation == "silent" || situation == "late refusal" || situation == "late partly"
            || situation == "unconnected")
            TcpTransportThread::setTimeoutForTest(shortReplyWait() * 5 / 3);
        const quint16 startKind = quint16(quint8(Msg_Type::UploadDownload) << 8 | quint8(Msg_Cmd::StartUpload));
        if (situation == "late partly") {
            // Later than card 2's channel waits for it.
            m_transfer->cardUploadResults[2] = 2;
            m_sim->faults().lateMs[startKind] = 5 * shortReplyWait();
        }
        if (situation == "late refusal") {
            // Both cards' refusals come after the wait and its check by the cards' channels, and
            // before the next start's answers.
            m_transfer->uploadResult = 1;
            m_sim->faults().lateMs[startKind] = 3 * shortReplyWait();
        }
        QSignalSpy answered(pm(), &ProtocolManager::StartUploadRecord);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        // The bookkeeping as the first start request finds it.
        QByteArray atStart;
        connect(m_sim.get(), &InstrumentSim::requestReceived, page.get(), [&](const InstrumentSim::Request& r) {
            if (atStart.isEmpty() && r.type == quint8(Msg_Type::UploadDownload)
                && r.cmd == quint8(Msg_Cmd::StartUpload))
                atStart = storedInformation(kFirst).toByteArray();
        });
        if (situation == "collecting") {
            RunStatus::instance()->slot_GlobalStatus(SystemState::Collecting);
            QVERIFY(QMetaObject::invokeMethod(page.get(), "on_ptn_Upload_clicked"));
        } else {
            QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        }
        QTRY_VERIFY2_WITH_TIMEOUT(dialogTexts().contains(dialog), qPrintable(dialogTexts().join(" / ")),
                                  TestTime::ms(15000));
        QCOMPARE(m_dialogs->requests.first().type, 2);
        // Each card answers its own start, or runs out of time: one message for the start.
        if (situation == "refused" || situation == "partly refused")
            QVERIFY(UiTest::waitCount(answered, 2));
        else if (situation == "silent" || situation == "late refusal")
            QTRY_VERIFY_WITH_TIMEOUT(!pm()->isAwaiting(Msg_Type::UploadDownload, Msg_Cmd::StartUpload),
                                     TestTime::ms(15000));
        QCOMPARE(dialogTexts(), QStringList{dialog});
        // The status line no longer says a check runs. A refusal is told while the cards that
        // accepted are being stopped: the bar follows once they have.
        QVERIFY(!status(*page).contains(QStringLiteral("正在核对")));
        QTRY_VERIFY_WITH_TIMEOUT(barEnabled(*page) && button(*page, "ptn_Upload")->text() == QStringLiteral("上传"),
                                 TestTime::ms(15000));
        QCOMPARE(dialogTexts(), QStringList{dialog});
        QCOMPARE(!requestsOf(Msg_Type::UploadDownload, Msg_Cmd::StartUpload).isEmpty(), asked);
        if (!asked) {
            QVERIFY(!QFile::exists(folder(kFirst) + QStringLiteral("/%1.wdi").arg(kFirst)));
        } else {
            // Asked for only once the bookkeeping was stored.
            const QMemorySetting info(atStart);
            QCOMPARE(info.getSectionValue("LocalData", "NumOfBoards").toInt(), 2);
            QCOMPARE(info.getSectionValue("Card1", "UploadNum").toInt(), 0);
        }
        if (situation == "late refusal") {
            // Both refusals, each of which may be either card's, come before the next start.
            QTRY_COMPARE_WITH_TIMEOUT(LinkTest::logMessages(log, FileLogger::Warning)
                                          .filter(QRegularExpression("等待核实\\[类型:4\\]|已丢弃\\[类型:4\\]"))
                                          .size(),
                                      2, TestTime::ms(15000));
            m_sim->faults().lateMs[startKind] = 0;
            m_transfer->uploadResult = 0;
            pm()->setReplyWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
            QSignalSpy started(pm(), &ProtocolManager::StartUploadRecord);
            QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
            // The second start's own answers, both accepting, start it.
            QVERIFY(UiTest::waitCount(started, 2));
            QCOMPARE(started.at(0).at(0).value<uchar>(), uchar(0));
            QCOMPARE(started.at(1).at(0).value<uchar>(), uchar(0));
            QCOMPARE(dialogTexts().filter("启动上传失败").size(), 0);
            QCOMPARE(dialogTexts().count(dialog), 1);
            UpDownLoadAssist::instance()->StopUploadCmdFromUI();
        }
    }

    void uploadDoneWithinAStartsWaitLeavesNoCheckOnTheLine()
    {
        // Card 1's start answer is lost; card 2's, credited to card 1, starts the upload, and
        // both cards are done long before card 2's start runs out of its wait.
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        pm()->setReplyWaitForTest(fewReplyWaits());
        TcpTransportThread::setTimeoutForTest(shortReplyWait() / 2);
        m_sim->faults().unsentReplies[quint16(quint8(Msg_Type::UploadDownload) << 8 | quint8(Msg_Cmd::StartUpload))] =
            1;
        QVERIFY(uploadToTheEnd(*page));
        QTRY_VERIFY_WITH_TIMEOUT(!pm()->isAwaiting(Msg_Type::UploadDownload, Msg_Cmd::StartUpload),
                                 TestTime::ms(15000));
        QCoreApplication::processEvents();
        QCOMPARE(dialogTexts(), QStringList{"上传结果|上传完成!"});
        QCOMPARE(status(*page), QStringLiteral("上传完成"));
    }

    void uploadOverBeforeItsStartAnswersIsToldComplete()
    {
        // Every card's start answer comes after its wait; the cards are fast, so the upload is
        // over before any answer came: the cards that connected took their starts.
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        pm()->setReplyWaitForTest(fewReplyWaits());
        TcpTransportThread::setTimeoutForTest(shortReplyWait() / 2);
        m_sim->faults().lateMs[quint16(quint8(Msg_Type::UploadDownload) << 8 | quint8(Msg_Cmd::StartUpload))] =
            fewReplyWaits() * 6 / 5;
        QVERIFY(uploadToTheEnd(*page));
        QCOMPARE(dialogTexts(), QStringList{"上传结果|上传完成!"});
        QCOMPARE(status(*page), QStringLiteral("上传完成"));
        QVERIFY(barEnabled(*page));
        QCOMPARE(button(*page, "ptn_Upload")->text(), QStringLiteral("上传"));
        // The answers that come after change nothing.
        QTRY_VERIFY_WITH_TIMEOUT(!pm()->isOpen(Msg_Type::UploadDownload, Msg_Cmd::StartUpload), TestTime::ms(15000));
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QCOMPARE(dialogTexts(), QStringList{"上传结果|上传完成!"});
        QVERIFY(button(*page, "ptn_Upload")->isEnabled());
    }

    void uploadRightAfterARefusedStartGoesOut()
    {
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        // "Not found" used to leave the transfer service waiting for its channels to time out,
        // refusing a new upload meanwhile with a cause that was not the cause.
        m_transfer->uploadResult = 2;
        QSignalSpy refused(UpDownLoadAssist::instance(), &UpDownLoadAssist::StartRefused);
        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        QVERIFY(UiTest::waitCount(refused, 1));
        // The stop it makes returns at once; the page follows the channels' ends.
        QTRY_COMPARE_WITH_TIMEOUT(int(UpDownLoadAssist::instance()->GetLastMethod()), 1, TestTime::ms(20000));
        QTRY_VERIFY_WITH_TIMEOUT(barEnabled(*page), TestTime::ms(20000));
        m_dialogs->requests.clear();
        m_sim->clearRequests();
        m_transfer->uploadResult = 0;
        QSignalSpy state(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        QVERIFY(UiTest::waitCount(state, 1));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Uploading);
        // The state follows the first card's answer; the other card's start may still be on its
        // way to the instrument then.
        QVERIFY(
            UiTest::waitUntil([&] { return requestsOf(Msg_Type::UploadDownload, Msg_Cmd::StartUpload).size() >= 2; }));
        QCOMPARE(requestsOf(Msg_Type::UploadDownload, Msg_Cmd::StartUpload).size(), 2);
        QVERIFY(dialogTexts().filter("传输初始化失败").isEmpty());
        UpDownLoadAssist::instance()->StopUploadCmdFromUI();
    }

    void stopUploadLeavesTheBarOffUntilTheStateChanges_data()
    {
        QTest::addColumn<bool>("quietWait");
        QTest::newRow("stopped with blocks to go") << false;
        // Every block in, one of them like the block before, and the last not yet proved by the
        // cards' silence after it.
        QTest::newRow("stopped in the quiet wait") << true;
    }
    void stopUploadLeavesTheBarOffUntilTheStateChanges()
    {
        QFETCH(bool, quietWait);
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        CardDataChannel::Faults stall;
        stall.silentAfterBlocks = quietWait ? -1 : 1;
        // Block 1 again, read as the last; the answer that shows the shift comes most of a
        // channel time-out late.
        stall.repeatUnasked = quietWait ? int(kBlocks - 2) : -1;
        stall.slowBlock = quietWait ? int(kBlocks - 1) : -1;
        stall.slowAnswerMs = TestTime::ms(TcpTransportThread::kTimeoutMs) * 5 / 6;
        m_transfer->cardFaults[1] = stall;
        m_transfer->cardFaults[2] = stall;
        QSignalSpy states(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        QVERIFY(UiTest::waitCount(states, 1));
        QTRY_COMPARE_WITH_TIMEOUT(button(*page, "ptn_Upload")->text(), QStringLiteral("停止上传"), TestTime::ms(15000));
        QTRY_VERIFY_WITH_TIMEOUT(button(*page, "ptn_Upload")->isEnabled() && barEnabled(*page), TestTime::ms(15000));
        QCOMPARE(status(*page), QStringLiteral("启动上传成功，上传中..."));
        QVERIFY(!button(*page, "ptn_Refresh")->isEnabled());
        const auto counted = [](const char* card) {
            return UpDownLoadAssist::instance()->currentRecord().getSectionValue(card, "UploadNum").toUInt();
        };
        if (quietWait)
            QTRY_VERIFY_WITH_TIMEOUT(counted("Card0") == kBlocks && counted("Card1") == kBlocks, TestTime::ms(20000));
        else
            QTRY_VERIFY_WITH_TIMEOUT(m_transfer->channel(1) && m_transfer->channel(1)->blocksMoved() == 1,
                                     TestTime::ms(15000));

        QTest::mouseClick(button(*page, "ptn_Upload"), Qt::LeftButton);
        QVERIFY(waitRequests(Msg_Type::UploadDownload, Msg_Cmd::StopUpload, 2));
        QVERIFY(UiTest::waitCount(states, 2));
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QVERIFY(UiTest::waitCount(ready, 1));
        // A card's acceptance that comes after the stop leaves the idle layout alone.
        LinkTest::sendReport(*m_sim, Msg_Type::UploadDownload, Msg_Cmd::StartUpload, QByteArray(1, '\0'), 2);
        QVERIFY(UiTest::waitQuiet(*m_sim));
        QCOMPARE(status(*page), QStringLiteral("已退出上传模式"));
        QCOMPARE(button(*page, "ptn_Upload")->text(), QStringLiteral("上传"));
        QVERIFY(button(*page, "ptn_Refresh")->isEnabled());
        QVERIFY(!dialogTexts().contains("上传结果|上传完成!"));
        // What is stored after the stop names exactly the whole blocks in each file.
        const QMemorySetting info = storedInformation(kFirst);
        for (int card = 0; card < 2; ++card) {
            const QString section = QStringLiteral("Card%1").arg(card);
            const qint64 size = info.getSectionValue(section, "UploadSize").toLongLong();
            QCOMPARE(size, QFileInfo(dataFile(kFirst, card)).size());
            QCOMPARE(size % (2 * kMiB), 0);
            QCOMPARE(info.getSectionValue(section, "UploadNum").toLongLong(), size / (2 * kMiB));
        }
    }

    void localRecordListOpensAndSendsTheRecordBack_data()
    {
        // Card 2's data file loses a byte after the list found the copy whole, as the start goes out.
        QTest::addColumn<bool>("cutAtStart");
        QTest::newRow("whole copy") << false;
        QTest::newRow("data file a byte short at the start") << true;
    }
    void localRecordListOpensAndSendsTheRecordBack()
    {
        QFETCH(bool, cutAtStart);
        m_records->records()[0].bands = {1, 4, 1, 4};
        auto page = filledPage();
        QVERIFY(page);
        selectRow(*page, 0);
        QVERIFY(uploadToTheEnd(*page));
        // Gone from the instrument, so the list sends it back under its own name.
        m_records->records().removeAt(0);
        QVERIFY(refresh(*page));
        m_dialogs->requests.clear();
        BackupList* list = BackupList::instance();

        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_data->path() + "/gone");
        QTest::mouseClick(button(*page, "ptn_download"), Qt::LeftButton);
        QCOMPARE(
            dialogTexts(),
            QStringList{
                "本地记录存储路径不存在|数据本地储存文件夹不存在!\n请手动前往【系统设置】界面修改【数据保存路径】"});
        QVERIFY(!list->isVisible());
        QVERIFY(barEnabled(*page));
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_data->path());

        QTest::mouseClick(button(*page, "ptn_download"), Qt::LeftButton);
        QVERIFY(list->isVisible());
        QVERIFY(!barEnabled(*page));
        list->close();
        QVERIFY(barEnabled(*page));

        QTest::mouseClick(button(*page, "ptn_download"), Qt::LeftButton);
        QCOMPARE(list->records().size(), 1);
        list->findChild<QTableView*>("tabel_local")->selectRow(0);
        QCOMPARE(list->selectedId(), kFirst);
        QSignalSpy states(RunStatus::instance(), &RunStatus::GlobalChangeState);
        if (cutAtStart)
            connect(list, &BackupList::StartingDownload, page.get(),
                    [this] { QFile(dataFile(kFirst, 1)).resize(6 * kMiB - 1); });
        list->on_pbt_ok_clicked();
        QVERIFY(!list->isVisible());
        if (cutAtStart) {
            // Nothing went out, and the person is told why.
            QCOMPARE(dialogTexts().mid(1), QStringList{"下载记录失败|本地数据文件不完整，未下载"});
            QVERIFY(barEnabled(*page));
            QVERIFY(states.isEmpty());
            return;
        }
        QCOMPARE(page->pendingOperation(), quint32(RecordManager::PendingDownload));
        // Closed by the start: the bar waits for the instrument's answer.
        QVERIFY(!barEnabled(*page));
        QVERIFY(UiTest::waitCount(states, 2, TestTime::ms(60000)));
        QStringList boxes;
        for (const auto& r : m_dialogs->of(DialogSeam::Request::Box))
            boxes << r.title + QLatin1Char('|') + r.text;
        QCOMPARE(boxes, QStringList{});
        QCOMPARE(dialogTexts().mid(1), QStringList{"下载结果|下载完成!"});
        QCOMPARE(status(*page), QStringLiteral("已退出下载模式"));
        for (int card = 1; card <= 2; ++card) {
            QCOMPARE(m_transfer->channel(card)->badBytes(), 0u);
            QCOMPARE(m_transfer->channel(card)->nextBlock(), kBlocks);
        }
        QSignalSpy ready(RecordAssist::instance(), &RecordAssist::RecordListReady);
        QVERIFY(UiTest::waitCount(ready, 1));
        QVERIFY(barEnabled(*page));
        QCOMPARE(button(*page, "ptn_download")->text(), QStringLiteral("本地记录管理"));
    }

    void downloadEndIsShown_data()
    {
        QTest::addColumn<bool>("refusing"); // card 2 refuses the first download
        QTest::newRow("every card moves its blocks") << false;
        // The other card is stopped at once, idle comes once its channel has ended, and a
        // download right after goes out and runs.
        QTest::newRow("card 2 refuses: one message naming each card, then a download runs") << true;
    }
    void downloadEndIsShown()
    {
        QFETCH(bool, refusing);
        auto page = filledPage();
        QVERIFY(page);
        QDir().mkpath(folder(kFirst));
        for (int card = 0; card < 2; ++card) {
            QFile f(dataFile(kFirst, card));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(cardData(kFirst, card, kBlocks));
        }
        RecordEx r;
        r.SetRecordValue("Name", kFirst);
        r.SetRecordValue("Size", 12);
        r.setSectionValue("LocalData", "NumOfBoards", 2);
        r.setSectionValue("LocalData", "SingleTransSize", 2);
        for (const char* card : {"Card0", "Card1"}) {
            for (const char* key : {"UploadNum", "DownloadNum", "UploadSize", "DownloadSize"})
                r.setSectionValue(card, key, 0);
        }
        r.BuildIndex();
        QSignalSpy states(RunStatus::instance(), &RunStatus::GlobalChangeState);
        if (refusing) {
            m_transfer->cardDownloadAccepted[2] = false;
            QVERIFY(UpDownLoadAssist::instance()->StartDownloadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0));
            QVERIFY(UiTest::waitCount(states, 2, TestTime::ms(60000)));
            QTRY_COMPARE_WITH_TIMEOUT(
                dialogTexts(),
                QStringList{"启动下载失败|设备上报失败\n采集卡 1：已接受，已通知其停止\n采集卡 2：启动失败"},
                TestTime::ms(10000));
            QCOMPARE(status(*page), QStringLiteral("已退出下载模式"));
            QTRY_COMPARE_WITH_TIMEOUT(requestsOf(Msg_Type::UploadDownload, Msg_Cmd::StopDownload).size(), 2,
                                      TestTime::ms(10000));
            m_transfer->cardDownloadAccepted.clear();
            m_dialogs->requests.clear();
            states.clear();
        }
        QVERIFY(UpDownLoadAssist::instance()->StartDownloadCmdFromUI(r, QStringLiteral("127.0.0.1"), 0));
        QVERIFY(UiTest::waitCount(states, 2, TestTime::ms(60000)));
        QCOMPARE(dialogTexts(), QStringList{"下载结果|下载完成!"});
        QCOMPARE(status(*page), QStringLiteral("已退出下载模式"));
        for (int card = 1; card <= 2; ++card)
            QCOMPARE(m_transfer->channel(card)->badBytes(), 0u);
    }
};

QTEST_MAIN(tst_RecordManager)
#include "tst_RecordManager.moc"
