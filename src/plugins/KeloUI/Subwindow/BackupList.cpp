#include "BackupList.h"

#include "RecordBands.h"
#include "SizeText.h"
#include "ValueText.h"
#include "ui_BackupList.h"

#include "RecordImport.h"
#include "RecordText.h"

#include <FolderOpener.h>
#include <MessageDialog.h>
#include <StandardMessageBox.h>
#include <StyleSheetLoader.h>
#include <WindowPresenter.h>

#include <ConfigSetting.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <UpDownLoadAssist.h>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QStandardItemModel>
#include <QTableView>

#include <algorithm>

namespace {
const QString kRecordData = QStringLiteral("RecordData");
constexpr quint64 kMiB = 1024 * 1024;

QString dataSavePath()
{
    return ConfigSetting::instance()->GetInit(ConfigKey::DataSavePath).toString();
}

QDir::Filters folderFilter()
{
    return QDir::Dirs | QDir::Readable | QDir::NoDotAndDotDot;
}

constexpr int kSizeRole = Qt::UserRole + 1;

// A size cell reads as text and sorts by its number of megabytes.
class SizeItem : public QStandardItem
{
public:
    using QStandardItem::QStandardItem;
    bool operator<(const QStandardItem& other) const override
    {
        return data(kSizeRole).toULongLong() < other.data(kSizeRole).toULongLong();
    }
};
} // namespace

DeviceInfo BackupList::s_deviceInfo;

BackupList* BackupList::instance()
{
    static BackupList* list = new BackupList(nullptr);
    return list;
}

BackupList::BackupList(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::BackupList)
    , m_frame(this, FramelessHelper::PlainWindow)
{
    ui->setupUi(this);
    ui->label_9->setPixmap(
        QPixmap(QStringLiteral(":/icon/icon/Lumen.png")).scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_frame.setDragArea(ui->widget_top);
    // A frameless window has no title bar to close it from the keyboard: Escape does what its close button does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, ui->toolButton,
            &QAbstractButton::click);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    initModel();
    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));
    fitRows(12);
    connect(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceInfo, this, &BackupList::slot_getDeviceInfo);
    connect(ProtocolManager::instance(), &ProtocolManager::NetSuccess, this, [this] { showLinkState(); });
    ui->label_BackupPath->setText(dataSavePath());
    showLinkState();
}

BackupList::~BackupList()
{
    ui->tabel_local->setModel(nullptr);
    delete m_selection;
    delete m_model;
    delete ui;
}

void BackupList::initModel()
{
    m_model = new QStandardItemModel();
    m_selection = new QItemSelectionModel(m_model);
    initTableHeader(0);
    ui->tabel_local->setModel(m_model);
    ui->tabel_local->setSelectionModel(m_selection);
    ui->tabel_local->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tabel_local->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tabel_local->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->tabel_local->setSortingEnabled(true);
    ui->tabel_local->horizontalHeader()->setDefaultAlignment(Qt::AlignHCenter);
    ui->tabel_local->horizontalHeader()->setStretchLastSection(true);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &BackupList::slot_SelectionData);
}

void BackupList::fitRows(int rows)
{
    QTableView* table = ui->tabel_local;
    ensurePolished();
    table->ensurePolished();
    // The table takes whatever height the rest of the window leaves.
    const int rest = layout()->sizeHint().height() - table->sizeHint().height();
    const int wanted = table->horizontalHeader()->sizeHint().height()
                     + rows * table->verticalHeader()->defaultSectionSize()
                     + table->horizontalScrollBar()->sizeHint().height() + 2 * table->frameWidth();
    resize(width(), qMax(height(), rest + wanted));
}

void BackupList::initTableHeader(int n)
{
    m_model->setColumnCount(0);
    const int bands = n > 0 ? n : int(ProtocolManager::instance()->deviceInfo().ChannelNum);
    QStringList labels{tr("本地文件名"), tr("设备记录名"),  tr("开始时间"), tr("采集时长"),
                       tr("大小"),       tr("位宽（Bit）"), tr("是否可用")};
    for (int i = 1; i <= bands; ++i)
        labels << tr("频段%1").arg(i);
    labels << tr("备注") << tr("上传进度") << tr("下载进度");
    m_model->setHorizontalHeaderLabels(labels);
}

void BackupList::slot_getDeviceInfo(DeviceInfo device_info)
{
    s_deviceInfo = device_info;
}

void BackupList::slot_SelectionData(const QItemSelection& selected, const QItemSelection& deselected)
{
    Q_UNUSED(deselected)
    if (selected.isEmpty()) {
        m_selectedId = 0;
        return;
    }
    const int row = m_selection->currentIndex().row();
    m_selectedId = m_model->data(m_model->index(row, 0), Qt::EditRole).toUInt();
}

QString BackupList::bitText(const RecordEx& record, const QString& configMode)
{
    const int bit = record.RecordValue(RecordKey::Bit, 0).toInt();
    return ConfigSetting::isLeo(configMode) ? RecordText::iqBitWidth(bit) : QString::number(bit);
}

QString BackupList::progressText(quint64 transferred, quint64 sizeMiB)
{
    // A record of size 0 has nothing left to move.
    const double percent = sizeMiB == 0 ? 0.0 : double(transferred) * 100.0 / double(sizeMiB * kMiB);
    return QString::number(percent, 'f', 2) + QLatin1Char('%');
}

bool BackupList::isComplete(const RecordEx& record)
{
    const quint64 uploaded = record.LocalValue(RecordKey::TotalUploadedSize, 0).toULongLong();
    const quint64 size = record.RecordValue(RecordKey::Size, 0).toULongLong();
    return uploaded >= size * kMiB;
}

QStringList BackupList::bandTexts(const RecordEx& record, int n)
{
    const QMap<uint, FreqBand>& table = ProtocolManager::instance()->freqBands;
    const int freqNum = record.RecordValue(RecordKey::FreqNum, 0).toInt();
    QStringList cells;
    for (int i = 1; i <= n; ++i) {
        if (i > freqNum) {
            cells << ValueText::none();
            continue;
        }
        cells << RecordBands::text(record, i, table);
    }
    return cells;
}

void BackupList::appendRow(const RecordEx& record, int bands)
{
    const uint name = record.RecordValue(RecordKey::Name, 0).toUInt();
    const uint start = record.RecordValue(RecordKey::StartTime, 0).toUInt();
    const uint duration = record.RecordValue(RecordKey::Duration, 0).toUInt();
    const uint size = record.RecordValue(RecordKey::Size, 0).toUInt();
    const quint64 up = record.LocalValue(RecordKey::TotalUploadedSize, 0).toULongLong();
    const quint64 down = record.LocalValue(RecordKey::TotalDownloadedSize, 0).toULongLong();

    QList<QStandardItem*> row;
    auto cell = [&row](const QVariant& value) {
        auto* item = new QStandardItem;
        item->setData(value, Qt::EditRole);
        row << item;
    };
    cell(name);
    cell(QDateTime::fromSecsSinceEpoch(name).toString(QStringLiteral("yyyyMMddhhmmss")));
    cell(QDateTime::fromSecsSinceEpoch(start).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    cell(RecordAssist::GetRecordTimeString(duration));
    // Shown as every size is, sorted by the number.
    auto* sizeItem = new SizeItem(SizeText::amount(size, SizeText::Unit::MB));
    sizeItem->setData(size, kSizeRole);
    row << sizeItem;
    cell(bitText(record, ConfigSetting::instance()->configMode));
    cell(isComplete(record) ? tr("可用") : tr("不可用"));
    for (const QString& band : bandTexts(record, bands))
        cell(band);
    cell(record.RecordValue(RecordKey::Remark).toString());
    cell(progressText(up, size));
    cell(progressText(down, size));
    m_model->appendRow(row);
}

void BackupList::on_tbn_refresh_clicked()
{
    ui->lab_state->setText(tr("正在搜索备份文件"));
    m_model->removeRows(0, m_model->rowCount());
    initTableHeader(0);
    searchBackupRecords();
}

void BackupList::searchBackupRecords()
{
    if (!refreshRecords(m_records))
        return;
    if (m_records.isEmpty()) {
        ui->lab_state->setText(tr("未找到备份记录"));
        return;
    }
    int bands = int(ProtocolManager::instance()->deviceInfo().ChannelNum);
    if (bands == 0) {
        for (const RecordEx& r : qAsConst(m_records))
            bands = qMax(bands, r.RecordValue(RecordKey::FreqNum, 0).toInt());
        initTableHeader(bands);
    }
    m_model->removeRows(0, m_model->rowCount());
    // Rows go in in load order; a sorted view would scatter them while they are added.
    const bool sorting = ui->tabel_local->isSortingEnabled();
    ui->tabel_local->setSortingEnabled(false);
    for (const RecordEx& r : qAsConst(m_records))
        appendRow(r, bands);
    ui->tabel_local->setSortingEnabled(sorting);
    // Times and names are read whole, not cut to a fixed width.
    ui->tabel_local->resizeColumnsToContents();
    ui->lab_state->setText(tr("本地记录查找完毕"));
}

bool BackupList::refreshRecords(QList<RecordEx>& records)
{
    records.clear();
    m_deviceFolder.clear();
    m_deviceName.clear();
    const QString base = LocalRecordStore::baseFolder();
    QDir dir(base);
    const QString identifier = LocalRecordStore::deviceFolderName(s_deviceInfo);
    QString device;
    if (identifier.isEmpty()) {
        // Not connected since start: take the first folder that holds a record store.
        const QStringList folders = dir.exists() ? dir.entryList(folderFilter(), QDir::Name) : QStringList();
        for (const QString& f : folders) {
            if (QFileInfo(dir.filePath(f + QLatin1Char('/') + kRecordData)).isDir()) {
                device = f;
                break;
            }
        }
        if (device.isEmpty() || !dir.cd(device)) {
            ui->lab_state->setText(tr("刷新失败，请连接设备后重试"));
            return false;
        }
    } else {
        // The identifier comes from the instrument: it names one folder and nothing else.
        device = LocalRecordStore::safePathComponent(identifier);
        if (!dir.exists(device))
            dir.mkdir(device);
        if (!dir.cd(device)) {
            ui->lab_state->setText(tr("刷新失败，请连接设备后重试"));
            return false;
        }
        if (!dir.exists(kRecordData))
            dir.mkdir(kRecordData);
    }
    ui->label_BackupPath->setText(QDir::toNativeSeparators(dir.path()));
    if (!dir.cd(kRecordData)) {
        ui->lab_state->setText(tr("刷新失败，请连接设备后重试"));
        return false;
    }
    m_deviceFolder = QDir(base).filePath(device);
    m_deviceName = device;

    const QStringList folders = dir.entryList(folderFilter(), QDir::Name);
    for (const QString& f : folders) {
        bool ok = false;
        const uint id = f.toUInt(&ok, 10);
        // toUInt takes "+5" and " 5"; only the plain decimal form names a record folder.
        if (!ok || QString::number(id) != f)
            continue;
        RecordEx record;
        // Read from the folder listed here, so the rows and the files they name agree.
        if (LocalRecordStore::ParseRecordInformationFromFile(device, id, record))
            records.append(record);
    }
    qDebug() << "local records found:" << records.size();
    return true;
}

QString BackupList::recordDataPath() const
{
    return m_deviceFolder.isEmpty() ? QString() : m_deviceFolder + QLatin1Char('/') + kRecordData;
}

void BackupList::showLinkState()
{
    // The PC's own copies stay within reach offline; only sending one needs the instrument.
    const bool up = ProtocolManager::instance()->isConnected();
    ui->pbt_ok->setEnabled(up);
    const QString reason = up ? QString() : tr("设备未连接，无法下载");
    ui->lab_downloadReason->setText(reason);
    ui->pbt_ok->setToolTip(reason);
}

void BackupList::on_tbn_deleteRecord_clicked()
{
    if (m_selectedId == 0) {
        MessageDialog::ShowMessage(tr("未选择记录"), tr("尚未选择任何本地记录。\n请点选要删除的记录后重试。"),
                                   int(MessageDialog::MessageType::Warning));
        return;
    }
    // Named as the list shows it: the instrument's record name and the local folder's number.
    const QString deviceName = QDateTime::fromSecsSinceEpoch(m_selectedId).toString(QStringLiteral("yyyyMMddhhmmss"));
    if (!MessageDialog::ConfirmDestructive(
            tr("删除确认"), tr("是否删除本地记录？\n设备记录名：%1\n本地文件名：%2").arg(deviceName).arg(m_selectedId),
            int(MessageDialog::MessageType::Question)))
        return;
    // Only the folder the list was read from, and in it only the folder of that one record.
    const QString path = recordDataPath();
    if (path.isEmpty() || m_selectedId == 0)
        return;
    QDir dir(path);
    const QString name = QString::number(m_selectedId);
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& f : folders) {
        if (f != name)
            continue;
        QDir record(dir.filePath(f));
        if (record.removeRecursively())
            on_tbn_refresh_clicked();
        else
            qWarning() << "record folder not removed:" << record.path();
    }
}

void BackupList::on_toolButton_clicked()
{
    close();
}

void BackupList::on_pushButton_clicked()
{
    // The folder the list shows; before a refresh found one, where it would be made.
    QString path = recordDataPath();
    if (path.isEmpty()) {
        path = LocalRecordStore::baseFolder() + QLatin1Char('/')
             + LocalRecordStore::safePathComponent(LocalRecordStore::currentDeviceFolder()) + QLatin1Char('/')
             + kRecordData;
    }
    FolderOpener::open(this, path);
}

void BackupList::on_pushButton_import_clicked()
{
    close();
    WindowPresenter::present(RecordImport::Instance());
}

bool BackupList::mayBeOnInstrument(uint name) const
{
    // Only a list fetched whole since the link came up, and not being fetched again, can tell
    // that the instrument lacks the record.
    const RecordAssist* assist = RecordAssist::instance();
    if (!assist->isReady() || assist->isSearching())
        return true;
    return std::any_of(assist->Records.cbegin(), assist->Records.cend(),
                       [name](const RecordEx& r) { return r.RecordValue(RecordKey::Name, 0).toUInt() == name; });
}

bool BackupList::passesChannelCheck(const RecordEx& record)
{
    const int channels = int(ProtocolManager::instance()->deviceInfo().ChannelNum);
    const int bands = record.RecordValue(RecordKey::FreqNum, 0).toInt();
    if (channels < bands) {
        const int answer =
            StandardMessageBox::ask(this, QMessageBox::Warning, tr("下载"),
                                    tr("当前记录包含通道大于设备通道，若继续下载将丢弃超出设备通道数的频点"),
                                    {StandardMessageBox::Button(tr("继续下载"), QMessageBox::AcceptRole),
                                     StandardMessageBox::Button(tr("取消"), QMessageBox::RejectRole)},
                                    0);
        return answer == 0;
    }
    if (channels == bands)
        return true;
    const bool singleChannel = ConfigSetting::instance()->GetInit(ConfigKey::DebugSingleChannel).toBool();
    const uchar bit = uchar(record.RecordValue(RecordKey::Bit, 0).toInt());
    const bool singleBit = ProtocolManager::instance()->singleBits.contains(bit);
    const int half = (channels + 1) / 2;
    if ((singleChannel || singleBit) && bands >= half)
        return true;
    StandardMessageBox::ask(this, QMessageBox::Warning, tr("下载"), tr("选择的记录不满足设备设备通道数，无法下载"),
                            {QMessageBox::Ok});
    return false;
}

void BackupList::on_pbt_ok_clicked()
{
    if (m_selectedId == 0) {
        StandardMessageBox::ask(this, QMessageBox::Warning, tr("下载"), tr("未选择需要下载的记录"), {QMessageBox::Ok});
        return;
    }
    const auto found = std::find_if(m_records.cbegin(), m_records.cend(), [this](const RecordEx& r) {
        return r.RecordValue(RecordKey::Name, 0).toUInt() == m_selectedId;
    });
    if (found == m_records.cend()) {
        StandardMessageBox::ask(this, QMessageBox::Warning, tr("下载"), tr("选择的记录有误，请刷新后重新选择"),
                                {QMessageBox::Ok});
        return;
    }
    RecordEx record = *found;
    if (!passesChannelCheck(record))
        return;
    // The files are looked at now, not as the list found them: a download sends only what they hold.
    const QVector<LocalRecordStore::DataShortfall> shortfalls = LocalRecordStore::dataShortfalls(m_deviceName, record);
    if (!isComplete(record) || !shortfalls.isEmpty()) {
        ui->lab_state->setText(tr("启动下载失败"));
        QStringList lines{tr("当前记录本地数据不完整，无法下载!!!")};
        for (const LocalRecordStore::DataShortfall& s : shortfalls)
            lines << (s.held < 0 ? tr("采集卡 %1：数据文件不存在").arg(s.card + 1)
                                 : tr("采集卡 %1：数据文件只有 %2 字节，应有 %3 字节")
                                       .arg(s.card + 1)
                                       .arg(s.held)
                                       .arg(s.needed));
        StandardMessageBox::ask(this, QMessageBox::Warning, tr("下载"), lines.join(QLatin1Char('\n')),
                                {QMessageBox::Ok});
        return;
    }

    const uint name = record.RecordValue(RecordKey::Name, 0).toUInt();
    if (mayBeOnInstrument(name)) {
        // Asked when it is ready to go: the new name is the moment of the answer.
        const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
        const QString start = QDateTime::fromSecsSinceEpoch(record.RecordValue(RecordKey::StartTime, 0).toUInt())
                                  .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        // Said as certain only when the instrument's list was read whole since the link came up.
        const RecordAssist* assist = RecordAssist::instance();
        const bool listed = assist->isReady() && !assist->isSearching();
        const QString held = listed ? tr("设备上已有该记录，可选择作为新记录下载。")
                                    : tr("设备记录列表尚未获取，设备上可能已有该记录，可选择作为新记录下载。");
        const int answer = MessageDialog::QuestionSafe(
            tr("下载确认"),
            held + QLatin1Char('\n')
                + tr("新记录的记录名为当前时间（约 %1），开始时间仍为原记录的 %2；原记录不受影响。是否下载？")
                      .arg(when, start),
            int(MessageDialog::MessageType::Question), {tr("作为新记录下载"), tr("取消下载")}, 1);
        if (answer != 0)
            return;
        record.SetRecordValue(RecordKey::DownloadName, uint(QDateTime::currentSecsSinceEpoch()));
    } else {
        // A plain download goes under the record's own number, whatever an earlier one used.
        record.removeSectionKey(RecordKey::RecordSection, RecordKey::DownloadName);
    }
    // Every download from here starts at block 0 of every card.
    LocalRecordStore::restartDownload(record);

    LocalRecordStore::WriteRecordInfoToFile(m_deviceName, record);
    emit StartingDownload();
    UpDownLoadAssist::instance()->StartDownloadCmdFromUI(record, ProtocolManager::instance()->GetLocalIpAddress(), 0,
                                                         m_downloadOwner);
    close();
}

void BackupList::mousePressEvent(QMouseEvent* event)
{
    m_frame.press(event);
    QWidget::mousePressEvent(event);
}

void BackupList::mouseReleaseEvent(QMouseEvent* event)
{
    m_frame.release(event);
    QWidget::mouseReleaseEvent(event);
}

void BackupList::mouseMoveEvent(QMouseEvent* event)
{
    m_frame.move(event);
    QWidget::mouseMoveEvent(event);
}

void BackupList::closeEvent(QCloseEvent* event)
{
    emit closed();
    QWidget::closeEvent(event);
}

void BackupList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showLinkState();
    on_tbn_refresh_clicked();
}
