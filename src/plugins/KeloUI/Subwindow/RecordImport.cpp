#include "RecordImport.h"

#include "RecordBands.h"
#include "ui_RecordImport.h"

#include "BackupList.h"

#include <DialogSeam.h>
#include <SimpleDropEvent.h>
#include <SizeText.h>
#include <StandardMessageBox.h>
#include <StyleSheetLoader.h>
#include <WindowPresenter.h>

#include <ConfigSetting.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QShortcut>
#include <QStorageInfo>
#include <QTableWidget>
#include <QTimerEvent>

namespace {
constexpr qint64 kMiB = 1024 * 1024;
// Cards whose use the adding step tracks.
constexpr int kTrackedCards = 8;

RecordImport::FreeSpace& freeSpace()
{
    static RecordImport::FreeSpace f;
    return f;
}

qint64 freeBytes(const QString& path)
{
    if (freeSpace())
        return freeSpace()(path);
    const QStorageInfo volume(path);
    return volume.isValid() ? volume.bytesAvailable() : -1;
}

QString nameTime(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyyMMddhhmmss"));
}
} // namespace

RecordImport* RecordImport::Instance()
{
    static RecordImport* window = new RecordImport(nullptr);
    return window;
}

void RecordImport::setFreeSpaceForTest(FreeSpace f)
{
    freeSpace() = std::move(f);
}

RecordImport::RecordImport(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::RecordImport)
    , m_frame(this, FramelessHelper::PlainWindow)
{
    ui->setupUi(this);
    ui->label_9->setPixmap(
        QPixmap(QStringLiteral(":/icon/icon/Lumen.png")).scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_frame.setDragArea(ui->widget_top);
    // A frameless window has no title bar to close it from the keyboard: Escape does what its close button does,
    // though not while a copy runs, when a stray key would leave the import unwatched.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (ui->BackgroundWidget->isEnabled())
            ui->toolButton->click();
    });
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);

    connect(ProtocolManager::instance(), &ProtocolManager::GetDeviceSettingsFinished, this,
            &RecordImport::slot_GetDeviceSettingsFinished);
    slot_GetDeviceSettingsFinished();

    m_singleChannel = ConfigSetting::instance()->GetInit(ConfigKey::DebugSingleChannel).toBool();
    ui->widget_single->setVisible(m_singleChannel);
    ui->widget_single->setEnabled(m_singleChannel);
    ui->lineEdit_start_time->setEnabled(false);
    ui->lineEdit_file_size->setEnabled(false);

    ui->tableWidget->setDragDropMode(QAbstractItemView::DropOnly);
    ui->tableWidget->setAcceptDrops(true);
    auto* drop = new SimpleDropEvent(ui->tableWidget, this, [](QObject* owner, const QStringList& paths) {
        static_cast<RecordImport*>(owner)->HandleFileList(paths);
    });
    // Drops arrive at the viewport of an item view.
    ui->tableWidget->viewport()->installEventFilter(drop);
    ui->tableWidget->installEventFilter(drop);

    LoadStyleSheet(QStringLiteral("silvery.css"));
    StartNameTimer();

    connect(&m_copy, &RecordImportCopy::ProcessUpdate, this, &RecordImport::ProcessUpdate);
    connect(&m_copy, &RecordImportCopy::CopyResult, this, &RecordImport::CopyResult);
}

RecordImport::~RecordImport()
{
    delete ui;
}

void RecordImport::LoadStyleSheet(const QString& name)
{
    StyleSheetLoader::apply(this, name);
}

QString RecordImport::sizeText(qint64 bytes)
{
    return SizeText::amount(quint64(qMax<qint64>(bytes, 0)), SizeText::Unit::Byte);
}

qint64 RecordImport::durationSeconds(quint64 totalMiB, int bit, int channels, int cards, const QString& configMode)
{
    int factor = 60;
    if (ConfigSetting::isLeo(configMode))
        factor = 300;
    else if (ConfigSetting::isFbs(configMode))
        factor = bit > 15 ? 150 : 300;
    if (cards <= 0)
        return -1;
    const quint64 perCard = quint64(((qint64(factor) * bit * channels) / 4)) / quint64(cards);
    if (perCard == 0 || qint64(perCard) < 0)
        return -1;
    return qint64((totalMiB / quint64(cards)) / perCard);
}

void RecordImport::slot_GetDeviceSettingsFinished()
{
    ProtocolManager* pm = ProtocolManager::instance();
    ui->comboBox_bitwide->clear();
    for (auto it = pm->bitNames.cbegin(); it != pm->bitNames.cend(); ++it)
        ui->comboBox_bitwide->addItem(it.value(), int(it.key()));

    const DeviceInfo info = pm->deviceInfo();
    m_channels = info.ChannelNum;
    m_cards = info.BoardNum;
    if (m_channels != 0 && m_cards != 0) {
        m_bandsPerCard = m_channels / m_cards;
        m_bandsPerFile = m_channels / m_cards + m_channels % m_cards;
        ui->tableWidget->setRowCount(0);
        QStringList headers{tr("文件路径"), tr("文件大小"), tr("采集卡")};
        if (m_bandsPerFile == 1) {
            headers << tr("信号频段");
        } else {
            for (int i = 1; i <= m_bandsPerFile; ++i)
                headers << tr("信号频段%1").arg(i);
        }
        ui->tableWidget->setColumnCount(headers.size());
        ui->tableWidget->setHorizontalHeaderLabels(headers);
    }
    ui->lineEdit_bandwidth->setText(QString::number(pm->GetBandwidth(true)));
    const bool bandwidth = pm->IsBandwidthEnable();
    ui->lineEdit_bandwidth->setVisible(bandwidth);
    ui->label_bandwidth->setVisible(bandwidth);
    setColumnWidths();
}

void RecordImport::setColumnWidths()
{
    ui->tableWidget->setColumnWidth(PathColumn, width() / 3);
    if (m_bandsPerFile > 0) {
        for (int i = 0; i < m_bandsPerFile; ++i)
            ui->tableWidget->setColumnWidth(FirstBandColumn + i, width() / 3 / m_bandsPerFile);
    }
}

void RecordImport::fail(const QString& title, const QString& text)
{
    StandardMessageBox::ask(this, QMessageBox::Critical, title, text, {QMessageBox::Ok});
}

bool RecordImport::currentBitIsSingle() const
{
    const int bit = ui->comboBox_bitwide->currentData().toInt();
    return ui->comboBox_bitwide->currentIndex() >= 0 && ProtocolManager::instance()->singleBits.contains(uchar(bit));
}

int RecordImport::rowCard(int row) const
{
    auto* combo = qobject_cast<QComboBox*>(ui->tableWidget->cellWidget(row, CardColumn));
    return combo ? combo->currentData().toInt() : -1;
}

QComboBox* RecordImport::bandCombo(int row, int slot) const
{
    return qobject_cast<QComboBox*>(ui->tableWidget->cellWidget(row, FirstBandColumn + slot));
}

void RecordImport::switchOff(QComboBox* combo)
{
    if (combo->count() == 0 || combo->itemData(combo->count() - 1).toInt() != -1)
        combo->addItem(QStringLiteral("NONE"), -1);
    combo->setCurrentIndex(combo->count() - 1);
    combo->setEnabled(false);
}

void RecordImport::switchOn(QComboBox* combo, bool selectFirstAlways)
{
    if (combo->count() > 0 && combo->itemData(combo->count() - 1).toInt() == -1) {
        combo->removeItem(combo->count() - 1);
        combo->setCurrentIndex(0);
    } else if (selectFirstAlways) {
        combo->setCurrentIndex(0);
    }
    combo->setEnabled(true);
}

void RecordImport::HandleFileList(QStringList files)
{
    for (const QString& f : files)
        AddDataFile(f);
    UpdateRecordInfo();
}

void RecordImport::AddDataFile(const QString& path)
{
    const QString title = tr("添加数据文件失败");
    const QFileInfo info(path);
    if (!info.exists()) {
        fail(title, tr("选择文件失败，请检查文件是否存在"));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(title, tr("打开文件失败，请检查文件是否被占用"));
        return;
    }
    const qint64 bytes = file.size();
    file.close();
    const uint mib = uint(quint64(bytes) / quint64(kMiB));

    bool used[kTrackedCards] = {};
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        if (ui->tableWidget->item(row, PathColumn)->text() == path) {
            fail(title, tr("文件已存在"));
            return;
        }
        if (ui->tableWidget->item(row, SizeColumn)->data(Qt::UserRole).toUInt() != mib) {
            fail(title, tr("新添加记录文件数据大小与已添加记录文件数据大小不匹配"));
            return;
        }
        const int card = rowCard(row);
        if (card >= 0 && card < kTrackedCards)
            used[card] = true;
    }
    if (ui->tableWidget->rowCount() >= m_cards) {
        fail(title, tr("数据文件数量超出设备采集卡数量，清空后重试"));
        return;
    }

    auto* cards = new QComboBox;
    for (int i = 0; i < m_cards; ++i)
        cards->addItem(QString::number(i + 1), i);
    int chosen = 0;
    if (used[0]) {
        for (int i = 1; i <= qMin(m_cards - 1, kTrackedCards - 1); ++i) {
            if (!used[i]) {
                chosen = i;
                break;
            }
        }
    }
    cards->setCurrentIndex(chosen);

    const int row = ui->tableWidget->rowCount();
    ui->tableWidget->insertRow(row);
    auto* pathItem = new QTableWidgetItem(path);
    pathItem->setFlags(Qt::ItemIsSelectable);
    ui->tableWidget->setItem(row, PathColumn, pathItem);
    auto* sizeItem = new QTableWidgetItem(sizeText(bytes));
    sizeItem->setFlags(Qt::ItemIsSelectable);
    sizeItem->setData(Qt::UserRole, mib);
    sizeItem->setData(kBytesRole, bytes);
    ui->tableWidget->setItem(row, SizeColumn, sizeItem);
    ui->tableWidget->setCellWidget(row, CardColumn, cards);
    // The next file dialog opens where this file was found.
    m_lastFolder = info.absolutePath();
    connect(cards, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { on_comboBox_bitwide_currentIndexChanged(ui->comboBox_bitwide->currentIndex()); });

    const bool single = currentBitIsSingle();
    const QMap<uint, FreqBand>& table = ProtocolManager::instance()->freqBands;
    for (int slot = 0; slot < m_bandsPerFile; ++slot) {
        auto* bands = new QComboBox;
        for (auto it = table.cbegin(); it != table.cend(); ++it)
            bands->addItem(it.value().name, it.key());
        bands->setCurrentIndex(0);
        ui->tableWidget->setCellWidget(row, FirstBandColumn + slot, bands);
        if ((slot != 0 && single) || (chosen != 0 && slot >= m_bandsPerCard))
            switchOff(bands);
    }
}

void RecordImport::evaluateBandSlots(bool selectFirstAlways)
{
    if (m_bandsPerFile <= 1)
        return;
    const bool onePerFile = currentBitIsSingle() || ui->checkBox_singlechannel->isChecked();
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        const int card = rowCard(row);
        for (int slot = 1; slot < m_bandsPerFile; ++slot) {
            QComboBox* combo = bandCombo(row, slot);
            if (!combo)
                continue;
            if (onePerFile || (card != 0 && slot + 1 > m_bandsPerCard))
                switchOff(combo);
            else
                switchOn(combo, selectFirstAlways);
        }
    }
}

void RecordImport::on_comboBox_bitwide_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    evaluateBandSlots(false);
    UpdateRecordInfo();
}

void RecordImport::on_checkBox_singlechannel_toggled(bool checked)
{
    Q_UNUSED(checked)
    evaluateBandSlots(true);
    UpdateRecordInfo();
}

void RecordImport::UpdateRecordInfo()
{
    if (ui->tableWidget->rowCount() == 0) {
        ui->lineEdit_duration_time->clear();
        ui->lineEdit_bandwidth->clear();
        ui->lineEdit_file_size->clear();
        return;
    }
    quint64 total = 0;
    qint64 bytes = 0;
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        total += ui->tableWidget->item(row, SizeColumn)->data(Qt::UserRole).toUInt();
        bytes += ui->tableWidget->item(row, SizeColumn)->data(kBytesRole).toLongLong();
    }
    // What the files hold, in the unit that shows it: a file below 1 MB is not 0.
    ui->lineEdit_file_size->setText(sizeText(bytes));
    ui->lineEdit_bandwidth->setText(QString::number(ProtocolManager::instance()->GetBandwidth(true)));
    const int bit = ui->comboBox_bitwide->currentData().toInt();
    const qint64 seconds = durationSeconds(total, bit, m_channels, m_cards, ConfigSetting::instance()->configMode);
    // No rate (no bit width, or too few channels for one): no duration to offer.
    ui->lineEdit_duration_time->setText(seconds < 0 ? QString() : QString::number(seconds));
}

void RecordImport::on_pushButton_2_clicked()
{
    UpdateRecordInfo();
}

void RecordImport::on_pushButton_clicked()
{
    const QString caption = tr("请选择数据文件");
    // The sample files are the person's: the folder of the last one added, else the home folder.
    const QString dir = m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder;
    const QStringList files = DialogSeam::openFileNames(this, caption, dir);
    HandleFileList(files);
}

void RecordImport::on_pushButton_clean_clicked()
{
    ClearFileTable();
}

void RecordImport::ClearFileTable()
{
    ui->tableWidget->setRowCount(0);
    m_record.SetRecordValue(RecordKey::Size, 0);
}

void RecordImport::StartNameTimer()
{
    if (m_nameTimer == 0)
        m_nameTimer = startTimer(1000, Qt::CoarseTimer);
    ui->lineEdit_record_name->setEnabled(false);
    // The name is there from the start rather than after the first second.
    showNameTick();
}

void RecordImport::StopNameTimer()
{
    if (m_nameTimer != 0)
        killTimer(m_nameTimer);
    m_nameTimer = 0;
    ui->lineEdit_record_name->setEnabled(true);
}

void RecordImport::showNameTick()
{
    const QDateTime now = QDateTime::currentDateTime();
    ui->lineEdit_record_name->setText(QString::number(quint32(now.toSecsSinceEpoch())));
    ui->lineEdit_start_time->setText(now.toString(QStringLiteral("yyyyMMddhhmmss")));
}

void RecordImport::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nameTimer && m_nameTimer != 0)
        showNameTick();
    else
        QWidget::timerEvent(event);
}

void RecordImport::on_radioButton_manual_toggled(bool checked)
{
    if (checked)
        StopNameTimer();
}

void RecordImport::on_radioButton_auto_toggled(bool checked)
{
    if (checked)
        StartNameTimer();
}

void RecordImport::on_lineEdit_record_name_textChanged(QString text)
{
    if (m_nameTimer != 0)
        return;
    ui->lineEdit_start_time->setText(nameTime(text.toUInt()));
}

bool RecordImport::CheckRecordParam()
{
    // The name checked stays as shown while the import goes on; a refused one lets an automatic
    // name run on, in the mode the person chose.
    pauseAutomaticName();
    if (checkRecordParam())
        return true;
    resumeAutomaticName();
    return false;
}

void RecordImport::pauseAutomaticName()
{
    if (m_nameTimer != 0)
        killTimer(m_nameTimer);
    m_nameTimer = 0;
}

void RecordImport::resumeAutomaticName()
{
    if (ui->radioButton_auto->isChecked())
        StartNameTimer();
}

bool RecordImport::checkRecordParam()
{
    bool ok = false;
    const uint name = ui->lineEdit_record_name->text().toUInt(&ok, 10);
    if (!ok || name == 0) {
        fail(tr("保存失败"), tr("记录编号仅能为纯数字，且不能为 0"));
        return false;
    }
    const QString path = LocalRecordStore::baseFolder();
    const qint64 free = freeBytes(path);
    const quint64 freeMiB = free < 0 ? 0 : quint64(free) / quint64(kMiB);

    const int rows = ui->tableWidget->rowCount();
    if (rows != m_cards) {
        fail(tr("导入失败"), tr("数据文件数量需等于采集卡数量（ %1 / %2 ）").arg(rows).arg(m_cards));
        return false;
    }
    m_record.SetRecordValue(RecordKey::Name, name);
    m_record.SetRecordValue(RecordKey::Remark, ui->plainTextEdit_note->toPlainText());
    m_record.SetRecordValue(RecordKey::Bit, ui->comboBox_bitwide->currentData().toInt());
    m_record.SetRecordValue(RecordKey::StartTime, name);
    m_record.SetRecordValue(RecordKey::Duration, ui->lineEdit_duration_time->text().toUInt());
    uint size = 0;
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row)
        size += ui->tableWidget->item(row, SizeColumn)->data(Qt::UserRole).toUInt();
    m_record.SetRecordValue(RecordKey::Size, size);
    // Sizes are counted in whole MiB per file: smaller files would make a record of empty data.
    if (size == 0) {
        fail(tr("导入失败"), tr("数据文件小于 1 MB，无法导入"));
        return false;
    }
    if (quint64(size) >= freeMiB) {
        fail(tr("导入失败"), tr("硬盘剩余空间不足"));
        return false;
    }

    const uint perCard = size / uint(m_cards);
    if (perCard % 2 != 0) {
        const int answer =
            StandardMessageBox::ask(this, QMessageBox::Warning, tr("保存失败"),
                                    tr("每块采集卡的数据大小不能为奇数（MB），需要处理成偶数，截断末尾还是末尾补零？"),
                                    {StandardMessageBox::Button(tr("截断末尾"), QMessageBox::AcceptRole),
                                     StandardMessageBox::Button(tr("末尾补零"), QMessageBox::AcceptRole),
                                     StandardMessageBox::Button(tr("取消"), QMessageBox::RejectRole)},
                                    0);
        if (answer == 0 && perCard == 1) {
            fail(tr("保存失败"), tr("截断末尾后数据文件为空，请选择末尾补零"));
            return false;
        }
        if (answer == 0)
            m_record.SetRecordValue(RecordKey::Size, (perCard - 1) * uint(m_cards));
        else if (answer == 1)
            m_record.SetRecordValue(RecordKey::Size, (perCard + 1) * uint(m_cards));
        else
            return false;
    }

    const int maxBands = (currentBitIsSingle() || ui->checkBox_singlechannel->isChecked()) ? m_cards : m_channels;
    QVector<int> entries(maxBands, 0);
    int count = 0;
    for (int card = 0; card < m_cards; ++card) {
        int row = -1;
        for (int r = 0; r < rows; ++r) {
            if (rowCard(r) == card) {
                row = r;
                break;
            }
        }
        if (row < 0) {
            fail(tr("保存失败"), tr("每个文件必须对应不同的采集卡"));
            return false;
        }
        for (int slot = 0; slot < m_bandsPerFile; ++slot) {
            QComboBox* combo = bandCombo(row, slot);
            if (!combo || !combo->isEnabled())
                continue;
            if (count == maxBands) {
                fail(tr("保存失败"), tr("频点数大于当前支持通道数"));
                return false;
            }
            entries[count++] = combo->currentData().toInt();
        }
    }
    m_record.SetRecordValue(RecordKey::Available, true);
    m_record.SetRecordValue(RecordKey::FreqNum, maxBands);
    for (int i = 1; i <= maxBands; ++i)
        m_record.setSectionValue(RecordKey::freqSection(i), RecordKey::Num, entries[i - 1]);
    RecordBands::name(m_record, ProtocolManager::instance()->freqBands);
    m_record.BuildIndex();
    return true;
}

void RecordImport::on_pushButton_add_clicked()
{
    if (m_copy.isRunning() || !CheckRecordParam())
        return;
    RecordEx job = m_record;
    job.BuildIndex();
    const quint64 size = job.RecordValue(RecordKey::Size, 0).toULongLong();
    const quint64 bytes = size * quint64(kMiB);
    LocalRecordStore::setImportedCounters(job, m_cards, bytes);
    // Shown or not by the instrument's capability, whether the window is on screen or not.
    if (!ui->lineEdit_bandwidth->isHidden())
        job.SetRecordValue(RecordKey::Bandwidth, ui->lineEdit_bandwidth->text().toUInt());
    else
        job.removeSectionKey(RecordKey::RecordSection, RecordKey::Bandwidth);
    job.BuildIndex();

    QStringList files;
    for (int k = 0; k < m_cards; ++k)
        files << QString();
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        const int card = rowCard(row);
        if (card >= 0 && card < files.size())
            files[card] = ui->tableWidget->item(row, PathColumn)->text();
    }

    ui->BackgroundWidget->setEnabled(false);
    const int answer = StandardMessageBox::ask(this, QMessageBox::Information, tr("导入确认"),
                                               tr("导入记录将复制数据至本地存储目录，是否在导入后删除原始文件？"),
                                               {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}, 0);
    if (answer != 0 && answer != 1) {
        ui->BackgroundWidget->setEnabled(true);
        resumeAutomaticName();
        return;
    }
    m_copy.setDeleteSources(answer == 0);
    m_copy.setRecord(job);
    m_copy.setFiles(files);
    m_copy.setStore(LocalRecordStore::baseFolder(), LocalRecordStore::currentDeviceFolder());
    m_copy.start(QThread::InheritPriority);
}

void RecordImport::ProcessUpdate(int percent)
{
    ui->progressBar->setValue(percent);
}

void RecordImport::CopyResult(bool success)
{
    if (success) {
        QString text = tr("导入记录文件成功");
        const QStringList kept = m_copy.keptSources();
        if (!kept.isEmpty())
            text += QLatin1Char('\n') + tr("以下原始文件超出记录大小，未全部导入，已保留：") + QLatin1Char('\n')
                  + kept.join(QLatin1Char('\n'));
        StandardMessageBox::ask(this, QMessageBox::Information, tr("添加成功！"), text, {QMessageBox::Ok});
        ResetAndClose();
    } else {
        StandardMessageBox::ask(this, QMessageBox::Critical, tr("添加失败！"), tr("导入记录文件失败"),
                                {QMessageBox::Ok});
    }
    ui->BackgroundWidget->setEnabled(true);
    resumeAutomaticName();
}

void RecordImport::ResetAndClose()
{
    ClearFileTable();
    close();
    ui->progressBar->setValue(0);
    WindowPresenter::present(BackupList::instance());
}

void RecordImport::on_toolButton_clicked()
{
    ResetAndClose();
}

void RecordImport::on_pushButton_cancel_clicked()
{
    ResetAndClose();
}

void RecordImport::mousePressEvent(QMouseEvent* event)
{
    m_frame.press(event);
    QWidget::mousePressEvent(event);
}

void RecordImport::mouseMoveEvent(QMouseEvent* event)
{
    m_frame.move(event);
    QWidget::mouseMoveEvent(event);
}

void RecordImport::mouseReleaseEvent(QMouseEvent* event)
{
    m_frame.release(event);
    QWidget::mouseReleaseEvent(event);
}
