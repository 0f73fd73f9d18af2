#include "LocalRecordFiles.h"

#include <UiTestSupport.h>

#include <AppPaths.h>
#include <BackupList.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <RecordImport.h>
#include <RecordImportCopy.h>
#include <SimpleDropEvent.h>
#include <StandardMessageBox.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include <ctime>
#include <memory>

using UiTest::child;

using LocalRecordFiles::kMiB;

class tst_RecordImport : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    QString m_base;
    QString m_src;
    QMap<uchar, QString> m_bitNames;
    QVector<uchar> m_singleBits;
    QMap<uint, FreqBand> m_bands;

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    // The instrument reports this many channels and collection cards.
    bool device(int channels, int cards)
    {
        m_sim->profile().channels = quint8(channels);
        QList<DeviceProfile::Board> boards;
        for (int i = 0; i < cards; ++i)
            boards << DeviceProfile().boards.first();
        m_sim->profile().boards = boards;
        QSignalSpy info(pm(), &ProtocolManager::UpdateDeviceInfo);
        return pm()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device) && UiTest::waitCount(info, 1)
            && pm()->deviceInfo().BoardNum == cards;
    }
    // A sample file of `bytes` bytes; content only for small ones, sparse otherwise.
    QString file(const QString& name, qint64 bytes, bool content = false)
    {
        const QString path = m_src + QLatin1Char('/') + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        if (content) {
            QByteArray b(int(bytes), Qt::Uninitialized);
            for (int i = 0; i < b.size(); ++i)
                b[i] = char((i * 37 + name.size()) & 0xFF);
            f.write(b);
        } else {
            f.resize(bytes);
        }
        return path;
    }
    static QStringList headers(QTableWidget* t)
    {
        QStringList out;
        for (int c = 0; c < t->columnCount(); ++c)
            out << t->horizontalHeaderItem(c)->text();
        return out;
    }
    static QComboBox* cell(RecordImport& w, int row, int column)
    {
        return qobject_cast<QComboBox*>(child<QTableWidget>(w, "tableWidget")->cellWidget(row, column));
    }
    static QString slotState(RecordImport& w, int row, int slot)
    {
        QComboBox* c = cell(w, row, RecordImport::FirstBandColumn + slot);
        return (c->isEnabled() ? QStringLiteral("on:") : QStringLiteral("off:")) + c->currentText();
    }
    static void selectBit(RecordImport& w, int code)
    {
        auto* bits = child<QComboBox>(w, "comboBox_bitwide");
        bits->setCurrentIndex(bits->findData(code));
    }
    static void setName(RecordImport& w, const QString& name)
    {
        child<QRadioButton>(w, "radioButton_manual")->setChecked(true);
        child<QLineEdit>(w, "lineEdit_record_name")->setText(name);
    }
    QString recordData() const { return m_base + QStringLiteral("/KELO-SIM01/RecordData"); }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        m_app = std::make_unique<TestAppDir>();
        UiTest::stageThemes(*m_app);
        m_base = m_app->root() + QStringLiteral("/data");
        m_src = m_app->root() + QStringLiteral("/src");
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_base);
        // The backup list listens for the device information from the start, as in the program.
        BackupList::instance();
        pm()->setHeartbeatInterval(TestTime::ms(100));
        pm()->link()->setReconnectInterval(TestTime::ms(100));
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::Settings));
        // From the instrument's configuration: bit widths 2 (single), 4 and 8, three bands.
        QCOMPARE(pm()->bitNames.keys(), (QList<uchar>{2, 4, 8}));
        QCOMPARE(pm()->singleBits, (QVector<uchar>{2}));
        QCOMPARE(pm()->freqBands.size(), 3);
        QVERIFY(pm()->IsBandwidthEnable());
        m_bitNames = pm()->bitNames;
        m_singleBits = pm()->singleBits;
        m_bands = pm()->freqBands;
    }
    void init()
    {
        QDir(m_base).removeRecursively();
        QDir(m_src).removeRecursively();
        QVERIFY(QDir().mkpath(m_base));
        QVERIFY(QDir().mkpath(m_src));
        pm()->bitNames = m_bitNames;
        pm()->singleBits = m_singleBits;
        pm()->freqBands = m_bands;
        ConfigSetting::instance()->configMode = QString();
        ConfigSetting::instance()->SetInit(ConfigKey::DebugSingleChannel, false);
        RecordImport::setFreeSpaceForTest(nullptr);
        QVERIFY(device(4, 2));
    }
    void cleanup() { BackupList::instance()->hide(); }
    void cleanupTestCase()
    {
        UiTest::disconnect();
        m_sim.reset();
    }

    void formAtStart()
    {
        RecordImport w;
        QCOMPARE(w.objectName(), QStringLiteral("RecordImport"));
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(w.testAttribute(Qt::WA_TranslucentBackground));
        QCOMPARE(w.windowModality(), Qt::ApplicationModal);
        QVERIFY(child<QRadioButton>(w, "radioButton_auto")->isChecked());
        QVERIFY(w.nameTimerRunning());
        auto* name = child<QLineEdit>(w, "lineEdit_record_name");
        QVERIFY(!name->isEnabled());
        QVERIFY(qAbs(qint64(name->text().toUInt()) - QDateTime::currentSecsSinceEpoch()) <= 2);
        QVERIFY(!child<QLineEdit>(w, "lineEdit_start_time")->isEnabled());
        QVERIFY(!child<QLineEdit>(w, "lineEdit_file_size")->isEnabled());
        QVERIFY(child<QWidget>(w, "widget_single")->isHidden());
        QCOMPARE(child<QProgressBar>(w, "progressBar")->value(), 0);
        auto* bits = child<QComboBox>(w, "comboBox_bitwide");
        QCOMPARE(bits->count(), 3);
        QCOMPARE(bits->itemText(0), QStringLiteral("2bit"));
        QCOMPARE(bits->itemData(2).toInt(), 8);
        QCOMPARE(child<QLineEdit>(w, "lineEdit_bandwidth")->text(), QStringLiteral("40"));
        QVERIFY(!child<QLineEdit>(w, "lineEdit_bandwidth")->isHidden());
        auto* table = child<QTableWidget>(w, "tableWidget");
        QCOMPARE(headers(table), (QStringList{"文件路径", "文件大小", "采集卡", "信号频段1", "信号频段2"}));
        QCOMPARE(table->dragDropMode(), QAbstractItemView::DropOnly);

        // The instrument reports again: the header follows, the bands per file take the remainder.
        QVERIFY(device(5, 2));
        w.slot_GetDeviceSettingsFinished();
        QCOMPARE(headers(table),
                 (QStringList{"文件路径", "文件大小", "采集卡", "信号频段1", "信号频段2", "信号频段3"}));
        QCOMPARE(w.bandsPerCard(), 2);
        QCOMPARE(w.bandsPerFile(), 3);
        QVERIFY(device(2, 2));
        w.slot_GetDeviceSettingsFinished();
        QCOMPARE(headers(table), (QStringList{"文件路径", "文件大小", "采集卡", "信号频段"}));
    }

    void sizeText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        // Written as every size in the program.
        QTest::newRow("500 bytes") << 500ll << "500 Byte";
        QTest::newRow("just below a KB") << 1023ll << "1023 Byte";
        QTest::newRow("one and a half KB") << 1536ll << "1.500 KB";
        QTest::newRow("a 488 KB file") << 500000ll << "488.281 KB";
        QTest::newRow("3 GiB") << 3 * 1024 * kMiB << "3.000 GB";
        QTest::newRow("TB is the last unit") << 5 * 1024 * 1024 * kMiB << "5.000 TB";
    }
    void sizeText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(RecordImport::sizeText(bytes), text);
    }

    void addingFilesChecksEachOne_data()
    {
        QTest::addColumn<int>("cards");
        QTest::addColumn<QList<qint64>>("sizes"); // -1: a path that does not exist; -2: the first path again
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("missing file") << 2 << QList<qint64>{-1} << 0 << QStringList{"选择文件失败，请检查文件是否存在"};
        QTest::newRow("same path twice") << 2 << QList<qint64>{kMiB, -2} << 1 << QStringList{"文件已存在"};
        QTest::newRow("whole MiB differ") << 2 << QList<qint64>{2 * kMiB, 3 * kMiB} << 1
                                          << QStringList{"新添加记录文件数据大小与已添加记录文件数据大小不匹配"};
        QTest::newRow("bytes differ within one MiB")
            << 2 << QList<qint64>{2 * kMiB + 1, 3 * kMiB - 1} << 2 << QStringList{};
        QTest::newRow("more files than cards")
            << 1 << QList<qint64>{kMiB, kMiB} << 1 << QStringList{"数据文件数量超出设备采集卡数量，清空后重试"};
    }
    void addingFilesChecksEachOne()
    {
        QFETCH(int, cards);
        QFETCH(QList<qint64>, sizes);
        QFETCH(int, rows);
        QFETCH(QStringList, shown);
        QVERIFY(device(4, cards));
        RecordImport w;
        QStringList paths;
        for (int i = 0; i < sizes.size(); ++i) {
            if (sizes[i] == -1)
                paths << m_src + QStringLiteral("/none.dat");
            else if (sizes[i] == -2)
                paths << paths.first();
            else
                paths << file(QStringLiteral("%1.dat").arg(i), sizes[i]);
        }
        UiTest::DialogRecorder boxes(-1);
        w.HandleFileList(paths);
        QCOMPARE(boxes.texts(), shown);
        for (const auto& r : boxes.requests) {
            QCOMPARE(r.title, QStringLiteral("添加数据文件失败"));
            QCOMPARE(r.icon, QMessageBox::Critical);
            QCOMPARE(r.buttons, QStringList{"Ok"});
        }
        auto* table = child<QTableWidget>(w, "tableWidget");
        QCOMPARE(table->rowCount(), rows);
        if (rows > 0) {
            QCOMPARE(table->item(0, 0)->text(), paths.first());
            QVERIFY(!(table->item(0, 0)->flags() & Qt::ItemIsEditable));
            QCOMPARE(table->item(0, 1)->data(Qt::UserRole).toUInt(), uint(sizes.first() / kMiB));
        }
    }

    void cardsAndBandSlotsFollowTheRows()
    {
        QVERIFY(device(5, 2)); // two bands per card, three on the first card's file
        RecordImport w;
        selectBit(w, 8);
        w.HandleFileList({file("a.dat", kMiB), file("b.dat", kMiB)});
        QCOMPARE(cell(w, 0, RecordImport::CardColumn)->currentText(), QStringLiteral("1"));
        QCOMPARE(cell(w, 1, RecordImport::CardColumn)->currentData().toInt(), 1);
        QCOMPARE(cell(w, 0, 3)->count(), 3);
        QCOMPARE(cell(w, 0, 3)->itemText(0), QStringLiteral("BDS B1I"));
        QCOMPARE(cell(w, 0, 3)->itemData(1).toUInt(), 2u);
        QCOMPARE((QStringList{slotState(w, 0, 0), slotState(w, 0, 1), slotState(w, 0, 2)}),
                 (QStringList{"on:BDS B1I", "on:BDS B1I", "on:BDS B1I"}));
        QCOMPARE(slotState(w, 1, 2), QStringLiteral("off:NONE"));
        QCOMPARE(cell(w, 1, 5)->itemData(cell(w, 1, 5)->count() - 1).toInt(), -1);

        // The files change cards: the third slot goes with card 0.
        cell(w, 0, 2)->setCurrentIndex(1);
        cell(w, 1, 2)->setCurrentIndex(0);
        QCOMPARE(slotState(w, 0, 2), QStringLiteral("off:NONE"));
        QCOMPARE(slotState(w, 1, 2), QStringLiteral("on:BDS B1I"));
        QCOMPARE(cell(w, 1, 5)->count(), 3);

        // A single bit width leaves one band per file, and going back restores the slots.
        cell(w, 1, 4)->setCurrentIndex(2);
        selectBit(w, 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(slotState(w, row, 1), QStringLiteral("off:NONE"));
            QCOMPARE(slotState(w, row, 2), QStringLiteral("off:NONE"));
        }
        selectBit(w, 8);
        QCOMPARE(slotState(w, 1, 1), QStringLiteral("on:BDS B1I"));
        QCOMPARE(slotState(w, 0, 2), QStringLiteral("off:NONE"));
        QCOMPARE(slotState(w, 1, 2), QStringLiteral("on:BDS B1I"));
        // A card added while a single width is chosen starts with its extra slots off.
        QVERIFY(device(4, 2));
        w.slot_GetDeviceSettingsFinished();
        selectBit(w, 2);
        w.HandleFileList({file("c.dat", kMiB)});
        QCOMPARE((QStringList{slotState(w, 0, 0), slotState(w, 0, 1)}), (QStringList{"on:BDS B1I", "off:NONE"}));
    }

    void singleChannelBoxKeepsOneBandPerFile()
    {
        ConfigSetting::instance()->SetInit(ConfigKey::DebugSingleChannel, true);
        RecordImport w;
        QVERIFY(!child<QWidget>(w, "widget_single")->isHidden());
        selectBit(w, 8);
        w.HandleFileList({file("a.dat", kMiB)});
        auto* box = child<QCheckBox>(w, "checkBox_singlechannel");
        cell(w, 0, 4)->setCurrentIndex(2);
        box->setChecked(true);
        QCOMPARE(slotState(w, 0, 1), QStringLiteral("off:NONE"));
        QCOMPARE(slotState(w, 0, 0), QStringLiteral("on:BDS B1I"));
        box->setChecked(false);
        QCOMPARE(slotState(w, 0, 1), QStringLiteral("on:BDS B1I"));
        // Its variant selects the first band even where a slot was on already.
        cell(w, 0, 4)->setCurrentIndex(2);
        w.on_checkBox_singlechannel_toggled(false);
        QCOMPARE(slotState(w, 0, 1), QStringLiteral("on:BDS B1I"));
        cell(w, 0, 4)->setCurrentIndex(2);
        w.on_comboBox_bitwide_currentIndexChanged(2);
        QCOMPARE(slotState(w, 0, 1), QStringLiteral("on:自定义1"));
    }

    void recordFieldsFromTheFiles_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("bit");
        QTest::addColumn<int>("cards");
        QTest::addColumn<qint64>("mibPerFile");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("duration");
        // LEO: ((300 x 2 x 4) / 4) / 1 = 600 MiB/s per card.
        QTest::newRow("LEO") << "LEO" << 2 << 1 << 1200ll << "1.172 GB"
                             << "2";
        // ((60 x 8 x 4) / 4) / 2 = 240; (9600 / 2) / 240 = 20.
        QTest::newRow("default rate") << "" << 8 << 2 << 4800ll << "9.375 GB"
                                      << "20";
        // FBS above 15 bits: ((150 x 16 x 4) / 4) / 1 = 2400.
        QTest::newRow("FBS wide") << "FBS" << 16 << 1 << 7200ll << "7.031 GB"
                                  << "3";
        // FBS at 8 bits: ((300 x 8 x 4) / 4) / 1 = 2400 as well.
        QTest::newRow("FBS narrow") << "FBS" << 8 << 1 << 4800ll << "4.688 GB"
                                    << "2";
        QTest::newRow("no bit width gives no duration") << "" << 0 << 1 << 100ll << "100.012 MB"
                                                        << "";
        // 12345 bytes: a size below 1 MB is not shown as 0.
        QTest::newRow("file below 1 MB") << "" << 8 << 1 << 0ll << "12.056 KB"
                                         << "0";
    }
    void recordFieldsFromTheFiles()
    {
        QFETCH(QString, mode);
        QFETCH(int, bit);
        QFETCH(int, cards);
        QFETCH(qint64, mibPerFile);
        QFETCH(QString, size);
        QFETCH(QString, duration);
        ConfigSetting::instance()->configMode = mode;
        pm()->bitNames.clear();
        if (bit != 0)
            pm()->bitNames.insert(uchar(bit), QStringLiteral("%1bit").arg(bit));
        QVERIFY(device(4, cards));
        RecordImport w;
        QStringList files;
        for (int i = 0; i < cards; ++i)
            files << file(QStringLiteral("%1.dat").arg(i), mibPerFile * kMiB + 12345);
        w.HandleFileList(files);
        QCOMPARE(child<QLineEdit>(w, "lineEdit_file_size")->text(), size);
        QCOMPARE(child<QLineEdit>(w, "lineEdit_duration_time")->text(), duration);
        QCOMPARE(child<QLineEdit>(w, "lineEdit_bandwidth")->text(), QStringLiteral("40"));
        // Typed over, then restored from the files.
        child<QLineEdit>(w, "lineEdit_duration_time")->setText(QStringLiteral("999"));
        QTest::mouseClick(child<QPushButton>(w, "pushButton_2"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(w, "lineEdit_duration_time")->text(), duration);
        // An empty list empties the fields; the stored size goes to 0 with the table.
        QTest::mouseClick(child<QPushButton>(w, "pushButton_clean"), Qt::LeftButton);
        QCOMPARE(child<QTableWidget>(w, "tableWidget")->rowCount(), 0);
        QCOMPARE(w.recordDescription().RecordValue("Size").toInt(), 0);
        w.HandleFileList({});
        QCOMPARE(child<QLineEdit>(w, "lineEdit_file_size")->text(), QString());
        QCOMPARE(child<QLineEdit>(w, "lineEdit_duration_time")->text(), QString());
    }

    void manualNameShowsItsTime()
    {
        RecordImport w;
        setName(w, QStringLiteral("1700000000"));
        QVERIFY(!w.nameTimerRunning());
        QVERIFY(child<QLineEdit>(w, "lineEdit_record_name")->isEnabled());
        QCOMPARE(child<QLineEdit>(w, "lineEdit_start_time")->text(), QStringLiteral("20231114221320"));
        child<QLineEdit>(w, "lineEdit_record_name")->setText(QStringLiteral("abc"));
        QCOMPARE(child<QLineEdit>(w, "lineEdit_start_time")->text(), QStringLiteral("19700101000000"));
        child<QRadioButton>(w, "radioButton_auto")->setChecked(true);
        QVERIFY(w.nameTimerRunning());
        QVERIFY(!child<QLineEdit>(w, "lineEdit_record_name")->isEnabled());
        QVERIFY(child<QLineEdit>(w, "lineEdit_record_name")->text().toUInt() >= 1700000000u);
    }

    void validationInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("files");
        QTest::addColumn<qint64>("bytesPerFile");
        QTest::addColumn<qint64>("freeMiB"); // -1: the volume tells nothing
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("size"); // -1: validation fails

        const QString badName = QStringLiteral("记录编号仅能为纯数字，且不能为 0");
        const QString odd =
            QStringLiteral("每块采集卡的数据大小不能为奇数（MB），需要处理成偶数，截断末尾还是末尾补零？");
        QTest::newRow("letters in the name")
            << "12ab" << 2 << 100 * kMiB << 100000ll << QList<int>{} << QStringList{badName} << -1;
        QTest::newRow("name 0") << "0" << 2 << 100 * kMiB << 100000ll << QList<int>{} << QStringList{badName} << -1;
        QTest::newRow("name beyond 32 bits")
            << "4294967296" << 2 << 100 * kMiB << 100000ll << QList<int>{} << QStringList{badName} << -1;
        QTest::newRow("fewer files than cards") << "1700000000" << 1 << 100 * kMiB << 100000ll << QList<int>{}
                                                << QStringList{"数据文件数量需等于采集卡数量（ 1 / 2 ）"} << -1;
        QTest::newRow("free space equal to the size")
            << "1700000000" << 2 << 100 * kMiB << 200ll << QList<int>{} << QStringList{"硬盘剩余空间不足"} << -1;
        QTest::newRow("free space unknown")
            << "1700000000" << 2 << 100 * kMiB << -1ll << QList<int>{} << QStringList{"硬盘剩余空间不足"} << -1;
        QTest::newRow("even share") << "1700000000" << 2 << 100 * kMiB << 201ll << QList<int>{} << QStringList{} << 200;
        QTest::newRow("odd share cut") << "1700000000" << 2 << 101 * kMiB << 100000ll << QList<int>{0}
                                       << QStringList{odd} << 200;
        QTest::newRow("odd share padded")
            << "1700000000" << 2 << 101 * kMiB << 100000ll << QList<int>{1} << QStringList{odd} << 204;
        QTest::newRow("files under 1 MiB") << "1700000000" << 2 << kMiB / 2 << 100000ll << QList<int>{}
                                           << QStringList{"数据文件小于 1 MB，无法导入"} << -1;
        QTest::newRow("odd share of 1 MiB cut to nothing")
            << "1700000000" << 2 << kMiB + 100 << 100000ll << QList<int>{0}
            << QStringList{odd, "截断末尾后数据文件为空，请选择末尾补零"} << -1;
        QTest::newRow("odd share cancelled")
            << "1700000000" << 2 << 101 * kMiB << 100000ll << QList<int>{2} << QStringList{odd} << -1;
    }
    void validationInOrder()
    {
        QFETCH(QString, name);
        QFETCH(int, files);
        QFETCH(qint64, bytesPerFile);
        QFETCH(qint64, freeMiB);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, shown);
        QFETCH(int, size);
        RecordImport::setFreeSpaceForTest([freeMiB](const QString&) { return freeMiB < 0 ? -1 : freeMiB * kMiB; });
        RecordImport w;
        selectBit(w, 8);
        QStringList paths;
        for (int i = 0; i < files; ++i)
            paths << file(QStringLiteral("%1.dat").arg(i), bytesPerFile);
        w.HandleFileList(paths);
        child<QLineEdit>(w, "lineEdit_record_name")->setText(name); // still in automatic mode
        QVERIFY(w.nameTimerRunning());
        UiTest::DialogRecorder boxes(-1);
        boxes.answers = answers;
        QCOMPARE(w.CheckRecordParam(), size >= 0);
        // The mode stays the person's, refused or not: the automatic name stands still while
        // the import goes on and runs on after a refusal, never typed over.
        QVERIFY(child<QRadioButton>(w, "radioButton_auto")->isChecked());
        QVERIFY(!child<QLineEdit>(w, "lineEdit_record_name")->isEnabled());
        QCOMPARE(w.nameTimerRunning(), size < 0);
        QCOMPARE(boxes.texts(), shown);
        // A failed import is not titled as a file that could not be added.
        for (const auto& r : boxes.requests)
            QVERIFY2(r.title == QStringLiteral("导入失败") || r.title == QStringLiteral("保存失败"),
                     qPrintable(r.title));
        if (!answers.isEmpty()) {
            QCOMPARE(boxes.requests[0].title, QStringLiteral("保存失败"));
            QCOMPARE(boxes.requests[0].buttons, (QStringList{"截断末尾", "末尾补零", "取消"}));
            QCOMPARE(boxes.requests[0].defaultIndex, 0);
            QCOMPARE(boxes.requests[0].escapeIndex, -1);
        }
        if (size >= 0) {
            const RecordEx& r = w.recordDescription();
            QCOMPARE(r.RecordValue("Size").toInt(), size);
            QCOMPARE(r.RecordValue("Name").toUInt(), 1700000000u);
            QCOMPARE(r.RecordValue("StartTime").toUInt(), 1700000000u);
            QCOMPARE(r.RecordValue("Bit").toInt(), 8);
            QCOMPARE(r.RecordValue("Available").toString(), QStringLiteral("true"));
        }
    }

    void bandsGoCardByCard_data()
    {
        QTest::addColumn<int>("firstRowCard");
        QTest::addColumn<int>("secondRowCard");
        QTest::addColumn<QList<int>>("bands"); // -1: refused
        // Row 0 picks bands 1, 2; row 1 picks bands 3, 1.
        QTest::newRow("rows in card order") << 0 << 1 << QList<int>{1, 2, 3, 1};
        QTest::newRow("rows in reverse order") << 1 << 0 << QList<int>{3, 1, 1, 2};
        QTest::newRow("both rows on one card") << 0 << 0 << QList<int>{-1};
    }
    void bandsGoCardByCard()
    {
        QFETCH(int, firstRowCard);
        QFETCH(int, secondRowCard);
        QFETCH(QList<int>, bands);
        RecordImport::setFreeSpaceForTest([](const QString&) { return 1024 * 1024 * kMiB; });
        RecordImport w;
        selectBit(w, 8);
        w.HandleFileList({file("a.dat", 2 * kMiB), file("b.dat", 2 * kMiB)});
        setName(w, QStringLiteral("1700000000"));
        cell(w, 0, 2)->setCurrentIndex(firstRowCard);
        cell(w, 1, 2)->setCurrentIndex(secondRowCard);
        cell(w, 0, 3)->setCurrentIndex(0);
        cell(w, 0, 4)->setCurrentIndex(1);
        cell(w, 1, 3)->setCurrentIndex(2);
        cell(w, 1, 4)->setCurrentIndex(0);
        UiTest::DialogRecorder boxes(-1);
        if (bands == QList<int>{-1}) {
            QVERIFY(!w.CheckRecordParam());
            QCOMPARE(boxes.texts(), QStringList{"每个文件必须对应不同的采集卡"});
            return;
        }
        QVERIFY(w.CheckRecordParam());
        QVERIFY(boxes.requests.isEmpty());
        const RecordEx& r = w.recordDescription();
        QCOMPARE(r.RecordValue("FreqNum").toInt(), 4);
        QList<int> got;
        for (int i = 1; i <= 4; ++i)
            got << r.getSectionValue(QStringLiteral("Freq%1").arg(i), "Num").toInt();
        QCOMPARE(got, bands);
    }

    void singleWidthTakesOneBandPerCard()
    {
        RecordImport::setFreeSpaceForTest([](const QString&) { return 1024 * 1024 * kMiB; });
        RecordImport w;
        selectBit(w, 2);
        w.HandleFileList({file("a.dat", 2 * kMiB), file("b.dat", 2 * kMiB)});
        setName(w, QStringLiteral("1700000000"));
        cell(w, 1, 3)->setCurrentIndex(1);
        QVERIFY(w.CheckRecordParam());
        const RecordEx& r = w.recordDescription();
        QCOMPARE(r.RecordValue("FreqNum").toInt(), 2);
        QCOMPARE(r.getSectionValue("Freq1", "Num").toInt(), 1);
        QCOMPARE(r.getSectionValue("Freq2", "Num").toInt(), 2);
    }

    void importBecomesACompleteLocalRecord()
    {
        RecordImport::setFreeSpaceForTest([](const QString&) { return 1024 * 1024 * kMiB; });
        RecordImport w;
        w.show();
        selectBit(w, 8);
        const QString a = file("a.dat", 4 * kMiB + 100, true);
        const QString b = file("b.dat", 4 * kMiB, true);
        const QByteArray aBytes = LocalRecordFiles::readAll(a);
        const QByteArray bBytes = LocalRecordFiles::readAll(b);
        // The file on card 1 first, as the user may list them.
        w.HandleFileList({b, a});
        cell(w, 0, 2)->setCurrentIndex(1);
        cell(w, 1, 2)->setCurrentIndex(0);
        setName(w, QStringLiteral("1700000000"));
        child<QPlainTextEdit>(w, "plainTextEdit_note")->setPlainText(QStringLiteral("外场\n第二段"));
        QueuedSignalSpy result(&w.copyJob(), &RecordImportCopy::CopyResult);
        UiTest::DialogRecorder boxes(-1);
        boxes.answers << 0 << 0; // delete the originals; then the success box
        QTest::mouseClick(child<QPushButton>(w, "pushButton_add"), Qt::LeftButton);
        QCOMPARE(boxes.texts(), QStringList{"导入记录将复制数据至本地存储目录，是否在导入后删除原始文件？"});
        QCOMPARE(boxes.requests[0].title, QStringLiteral("导入确认"));
        QCOMPARE(boxes.requests[0].buttons, (QStringList{"Yes", "No", "Cancel"}));
        QCOMPARE(boxes.requests[0].defaultIndex, 0);
        QVERIFY(!child<QWidget>(w, "BackgroundWidget")->isEnabled());
        // A stray Escape leaves the copy in view.
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QVERIFY(UiTest::waitCount(result, 1));
        QVERIFY(result.first().at(0).toBool());
        QTRY_COMPARE(boxes.requests.size(), 2);
        QCOMPARE(boxes.requests[1].title, QStringLiteral("添加成功！"));
        // The last 100 bytes of a.dat are not in the record: it is kept, and the user told so.
        QCOMPARE(boxes.requests[1].text,
                 QStringLiteral("导入记录文件成功\n以下原始文件超出记录大小，未全部导入，已保留：\n") + a);
        QVERIFY(!w.isVisible());
        QVERIFY(child<QWidget>(w, "BackgroundWidget")->isEnabled());
        QCOMPARE(child<QTableWidget>(w, "tableWidget")->rowCount(), 0);
        QCOMPARE(child<QProgressBar>(w, "progressBar")->value(), 0);
        QCOMPARE(LocalRecordFiles::readAll(a), aBytes);
        QVERIFY(!QFile::exists(b));

        const QString folder = recordData() + QStringLiteral("/1700000000");
        QCOMPARE(LocalRecordFiles::tree(folder),
                 (QStringList{"1700000000.wdi", "1700000000_0.wdd", "1700000000_1.wdd"}));
        QCOMPARE(LocalRecordFiles::readAll(folder + QStringLiteral("/1700000000_0.wdd")), aBytes.left(int(4 * kMiB)));
        QCOMPARE(LocalRecordFiles::readAll(folder + QStringLiteral("/1700000000_1.wdd")), bBytes);
        const QMemorySetting info(LocalRecordFiles::readAll(folder + QStringLiteral("/1700000000.wdi")));
        QCOMPARE(info.getSectionValue("Record", "Size").toInt(), 8);
        QCOMPARE(info.getSectionValue("Record", "Remark").toString(), QStringLiteral("外场\n第二段"));
        QCOMPARE(info.getSectionValue("Record", "Bandwidth").toString(), QStringLiteral("40"));
        QCOMPARE(info.getSectionValue("Record", "FreqNum").toInt(), 4);
        QCOMPARE(info.getSectionValue("LocalData", "NumOfBoards").toInt(), 2);
        QCOMPARE(info.getSectionValue("LocalData", "SingleTransSize").toInt(), 2);
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), 8 * kMiB);
        QCOMPARE(info.getSectionValue("LocalData", "TotalDownoadedSize").toLongLong(), 0ll);
        for (const char* card : {"Card0", "Card1"}) {
            QCOMPARE(info.allKeys(card), (QStringList{"UploadSize", "UploadNumWr", "DownloadSize", "DownloadNum"}));
            QCOMPARE(info.getSectionValue(card, "UploadSize").toLongLong(), 4 * kMiB);
        }

        // The backup list is shown again, and lists the record as complete.
        BackupList* list = BackupList::instance();
        QVERIFY(list->isVisible());
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->data(list->model()->index(0, 0)).toUInt(), 1700000000u);
        QCOMPARE(list->model()->data(list->model()->index(0, 6)).toString(), QStringLiteral("可用"));
    }

    void cancelledOrFailedImportLeavesTheStore()
    {
        RecordImport::setFreeSpaceForTest([](const QString&) { return 1024 * 1024 * kMiB; });
        LocalRecordFiles::StoredRecord kept;
        kept.name = 1700000000;
        kept.cardBytes = {kMiB};
        QVERIFY(LocalRecordFiles::write(recordData(), kept));
        const QStringList store = LocalRecordFiles::tree(m_base);
        RecordImport w;
        selectBit(w, 8);
        const QString a = file("a.dat", 2 * kMiB);
        const QString b = file("b.dat", 2 * kMiB);
        w.HandleFileList({a, b});
        setName(w, QStringLiteral("1700000000"));

        UiTest::DialogRecorder boxes(-1);
        boxes.answers << 2; // cancel at the question
        w.on_pushButton_add_clicked();
        QCOMPARE(boxes.requests.size(), 1);
        QVERIFY(child<QWidget>(w, "BackgroundWidget")->isEnabled());
        QVERIFY(!w.copyJob().isRunning());
        QCOMPARE(LocalRecordFiles::tree(m_base), store);

        // The second file goes before the copy reaches it.
        QVERIFY(QFile::remove(b));
        QueuedSignalSpy result(&w.copyJob(), &RecordImportCopy::CopyResult);
        boxes.answers << 0 << 0;
        w.on_pushButton_add_clicked();
        QVERIFY(UiTest::waitCount(result, 1));
        QVERIFY(!result.first().at(0).toBool());
        QTRY_COMPARE(boxes.requests.size(), 3);
        QCOMPARE(boxes.requests[2].title, QStringLiteral("添加失败！"));
        QCOMPARE(boxes.requests[2].text, QStringLiteral("导入记录文件失败"));
        QCOMPARE(boxes.requests[2].icon, QMessageBox::Critical);
        QVERIFY(child<QWidget>(w, "BackgroundWidget")->isEnabled());
        QCOMPARE(child<QTableWidget>(w, "tableWidget")->rowCount(), 2);
        QCOMPARE(LocalRecordFiles::tree(m_base), store);
        QVERIFY(QFile::exists(a));
    }

    void filesComeByDropAndByTheFileDialog()
    {
        RecordImport w;
        const QString a = file("a.dat", kMiB);
        const QString b = file("b.dat", kMiB);
        auto* table = child<QTableWidget>(w, "tableWidget");
        QMimeData mime;
        mime.setText(QStringLiteral("file://") + a + QStringLiteral("\n"));
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // The application routes a drop only to the target of a running drag, so the test hands
        // it to the table's filter as the routing would.
        QObject* filter = nullptr;
        for (QObject* o : table->children())
            if (dynamic_cast<SimpleDropEvent*>(o))
                filter = o;
        QVERIFY(filter);
        QVERIFY(filter->eventFilter(table->viewport(), &drop));
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), a);

        {
            UiTest::DialogRecorder dialogs;
            dialogs.paths = QStringList{b};
            QTest::mouseClick(child<QPushButton>(w, "pushButton"), Qt::LeftButton);
            QCOMPARE(dialogs.requests.value(0).title, QStringLiteral("请选择数据文件"));
            // Where the last file was found, not the program's folder.
            QCOMPARE(dialogs.requests.value(0).directory, QFileInfo(a).absolutePath());
        }
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(child<QLineEdit>(w, "lineEdit_file_size")->text(), QStringLiteral("2.000 MB"));
    }

    void closingShowsTheBackupList_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("close button") << false;
        QTest::newRow("Escape") << true;
    }
    void closingShowsTheBackupList()
    {
        QFETCH(bool, escape);
        RecordImport w;
        w.show();
        w.HandleFileList({file("a.dat", kMiB)});
        if (escape) {
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(child<QTableWidget>(w, "tableWidget"), Qt::Key_Escape);
        } else {
            QTest::mouseClick(child<QToolButton>(w, "toolButton"), Qt::LeftButton);
        }
        QVERIFY(!w.isVisible());
        QVERIFY(BackupList::instance()->isVisible());
        QCOMPARE(child<QTableWidget>(w, "tableWidget")->rowCount(), 0);
        BackupList::instance()->hide();
        w.show();
        QTest::mouseClick(child<QPushButton>(w, "pushButton_cancel"), Qt::LeftButton);
        QVERIFY(BackupList::instance()->isVisible());
    }
};

QTEST_MAIN(tst_RecordImport)
#include "tst_RecordImport.moc"
