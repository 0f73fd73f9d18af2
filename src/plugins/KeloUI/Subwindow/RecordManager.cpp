#include "RecordManager.h"

#include "RecordBands.h"
#include "RecordText.h"
#include "RecordValueCaption.h"

#include "BackupList.h"
#include "MessageDialog.h"
#include "SizeText.h"
#include "ValueText.h"
#include "ui_RecordManager.h"

#include <ConfigSetting.h>
#include <FileLogger.h>
#include <LastWords.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <ReplyWords.h>
#include <RunStatus.h>
#include <UpDownLoadAssist.h>
#include <WindowPresenter.h>

#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTimer>
#include <QtEndian>

#include <utility>

namespace {
constexpr int kError = int(MessageDialog::MessageType::Error);
constexpr int kWarning = int(MessageDialog::MessageType::Warning);
constexpr int kInformation = int(MessageDialog::MessageType::Information);

bool isTransferStart(quint8 cmd)
{
    return Msg_Cmd(cmd) == Msg_Cmd::StartUpload || Msg_Cmd(cmd) == Msg_Cmd::StartDownload
        || Msg_Cmd(cmd) == Msg_Cmd::StartDownloadRecordEx;
}
constexpr int kQuestion = int(MessageDialog::MessageType::Question);
constexpr quint64 kMiB = 1024 * 1024;

QString startText(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds)).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// In the table and the detail panel alike: 1024 MB is "1024 MB", 1025 MB "1.001 GB".
QString sizeText(quint64 megabytes)
{
    return SizeText::amount(megabytes, SizeText::Unit::MB);
}

QString megaText(quint64 hertz)
{
    return QString::number(double(hertz) / 1000000.0, 'g', 6);
}

bool isLeo()
{
    return ConfigSetting::instance()->isLeo();
}

quint32 recordName(const RecordEx& r)
{
    return r.RecordValue(RecordKey::Name, 0).toUInt();
}

bool dataPathExists()
{
    const QString path = ConfigSetting::instance()->GetInit(ConfigKey::DataSavePath).toString();
    return !path.isEmpty() && QDir(path).exists();
}

void warnDataPath()
{
    MessageDialog::ShowMessage(QObject::tr("本地记录存储路径不存在"),
                               QObject::tr("数据本地储存文件夹不存在!\n请手动前往【系统设置】界面修改【数据保存路径】"),
                               kWarning);
}

void warnInvalidRecord()
{
    MessageDialog::ShowMessage(QObject::tr("无效"), QObject::tr("当前数据无效!\n请选择一条有效数据后重试。"), kWarning);
}

void warnNotSent(const QString& title)
{
    MessageDialog::ShowMessage(title, ReplyWords::notSent(), kError);
}
} // namespace

RecordManager::RecordManager(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::RecordManager)
{
    ui->setupUi(this);
    // Created here first: the page is the first user of both services.
    RecordAssist* records = RecordAssist::instance();
    UpDownLoadAssist* transfer = UpDownLoadAssist::instance();
    ProtocolManager* pm = ProtocolManager::instance();

    BackupList* backups = BackupList::instance();
    m_backupList = backups;
    backups->hide();
    // The bar is off behind the list however the list was reached (its button, or back from import).
    backups->installEventFilter(this);
    connect(
        backups, &BackupList::closed, this, [this] { onBackupListClosed(); }, Qt::DirectConnection);
    connect(
        backups, &BackupList::StartingDownload, this, [this] { onStartingDownload(); }, Qt::DirectConnection);
    backups->setDownloadOwner(replyOwner());

    InitTable();
    InitTableHeader();
    // Wide enough for any speed, so that the figures do not push the progress bar about.
    ui->label_speed->setMinimumWidth(ui->label_speed->fontMetrics().horizontalAdvance(speedText(99999.99))
                                     + 2 * ui->label_speed->margin() + 4);
    ui->label_speed->setText(speedText(0.0));

    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &RecordManager::slot_selectionChanged);
    connect(pm, &ProtocolManager::DeleteAllRecordSuccess, this, &RecordManager::slot_DeleteAllRecordSuccess);
    connect(pm, &ProtocolManager::DeleteRecordSuccess, this, &RecordManager::slot_DeleteRecordSuccess);
    connect(pm, &ProtocolManager::ChangeRecordNoteSuccess, this, &RecordManager::slot_ChangeRecordNoteSuccess);
    // The page is the context of its handlers, so that none outlives it.
    connect(
        pm, &ProtocolManager::GetDeviceSettingsFinished, this, [this] { InitTableHeader(); }, Qt::DirectConnection);
    connect(records, &RecordAssist::RecordListReady, this, &RecordManager::slot_RecordListReady);
    connect(records, &RecordAssist::GetRecordError, this, &RecordManager::slot_GetRecordError);
    connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this, &RecordManager::slot_ChangeState);
    connect(pm, &ProtocolManager::UpdateDeviceState, this, &RecordManager::slot_SyncDeviceState);
    connect(pm, &ProtocolManager::AckUploadingOrDownloading, this, &RecordManager::slot_up_down_load_heartbeat);
    connect(pm, &ProtocolManager::StartUploadRecord, this, &RecordManager::slot_Started_upload);
    connect(UpDownLoadAssist::instance(), &UpDownLoadAssist::StartRefused, this, &RecordManager::onStartRefused);
    connect(pm, &ProtocolManager::StartDownlaodRecord, this, &RecordManager::slot_Started_download);
    connect(
        pm, &ProtocolManager::NetSuccess, this, [this](bool up) { onLinkState(up); }, Qt::DirectConnection);

    connect(transfer, &UpDownLoadAssist::Transport_UpdateProgress, this,
            &RecordManager::slot_Upload_Dwonload_UpdateProgress);
    // The last blocks are in; 100 % follows only once the cards are proved to have sent no more.
    connect(transfer, &UpDownLoadAssist::Transport_EndWait, this,
            [this] { ui->lab_status->setText(tr("正在确认采集卡发送完毕")); });
    connect(transfer, &UpDownLoadAssist::UploadCannotBeProved, this, &RecordManager::onCannotBeProved);
    // A start without an instrument is offline from the first frame, as after a drop.
    if (!pm->isConnected()) {
        setOfflineBar();
        ui->lab_status->setText(tr("设备未连接：刷新、删除、修改备注和上传在连接后可用"));
    }
}

RecordManager::~RecordManager()
{
    delete ui;
}

void RecordManager::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
}

bool RecordManager::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_backupList && event->type() == QEvent::Show)
        ui->widget_control->setEnabled(false);
    return QWidget::eventFilter(watched, event);
}

QString RecordManager::speedText(double megabytesPerSecond)
{
    return tr("%1M/s").arg(QString::number(megabytesPerSecond, 'f', 2));
}

// ---- table ---------------------------------------------------------------------------------

void RecordManager::InitTable()
{
    if (RecordAssist::instance()->Records.isEmpty()) {
        ui->ptn_Delete->setEnabled(false);
        ui->ptn_Upload->setEnabled(false);
    }
    m_model = new QStandardItemModel(this);
    m_selection = new QItemSelectionModel(m_model, this);
    ui->tabel_Device->setModel(m_model);
    // setModel made a selection model of its own; the page's replaces it.
    QItemSelectionModel* automatic = ui->tabel_Device->selectionModel();
    ui->tabel_Device->setSelectionModel(m_selection);
    delete automatic;

    QHeaderView* header = ui->tabel_Device->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    header->setStretchLastSection(true);
    ui->tabel_Device->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->tabel_Device->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tabel_Device->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tabel_Device->setSortingEnabled(true);
}

void RecordManager::InitTableHeader()
{
    ProtocolManager* pm = ProtocolManager::instance();
    m_model->setColumnCount(0);
    QStringList labels{tr("记录名"), tr("开始时间"), tr("采集时长"), tr("文件大小"), tr("位宽")};
    if (pm->IsBandwidthEnable())
        labels << tr("带宽");
    if (pm->IsSampleRateEnable())
        labels << tr("采样率");
    RecordValueCaption::apply(pm, ui->label_ext, ui->label_ext_data);
    if (recordName(m_current) == 0)
        ui->label_ext_data->setText(RecordValueCaption::noValues(pm));
    labels << tr("是否可用");
    const int channels = pm->deviceInfo().ChannelNum;
    for (int c = 1; c <= channels; ++c)
        labels << tr("频段%1").arg(c);
    labels << tr("备注");
    m_model->setHorizontalHeaderLabels(labels);
    // Emptying the columns blanked every row, names included: the records shown are laid out
    // again, or a blank row would stand for a record of no name.
    if (m_model->rowCount() > 0)
        showRows(m_shown);
}

void RecordManager::slot_RecordListReady()
{
    qDebug() << "记录管理界面收到记录列表更新,更新中....";
    m_shown = RecordAssist::instance()->Records;
    qDebug() << "记录管理界面获取记录数" << m_shown.size();
    showRows(m_shown);
    m_listFromBeforeDrop = false;
    UpdateButtonState();
    // A held result waits for the last list of a row of them.
    if (!changing() && !RecordAssist::instance()->searchFollows() && !std::exchange(m_statusHeld, false))
        ui->lab_status->setText(tr("刷新记录列表成功"));
    qDebug() << "记录管理界面记录列表更新完成";
}

void RecordManager::showRows(const QList<RecordEx>& list)
{
    ProtocolManager* pm = ProtocolManager::instance();
    // Clearing the selection first lets the detail handler remember what was shown.
    m_selection->clearSelection();
    m_model->removeRows(0, m_model->rowCount());
    const bool bandwidth = pm->IsBandwidthEnable();
    const bool sampleRate = pm->IsSampleRateEnable();
    const bool leo = isLeo();
    const int channels = pm->deviceInfo().ChannelNum;
    int matched = -1;
    for (int i = 0; i < list.size(); ++i) {
        const RecordEx& r = list.at(i);
        const quint32 name = recordName(r);
        const int row = m_model->rowCount();
        m_model->insertRow(row);
        int col = 0;
        auto put = [&](const QString& text) { m_model->setData(m_model->index(row, col++), text, Qt::EditRole); };

        m_model->setData(m_model->index(row, 0), name, Qt::UserRole);
        put(RecordText::name(name));
        put(startText(r.RecordValue(RecordKey::StartTime, 0).toUInt()));
        put(RecordAssist::GetRecordTimeString(r.RecordValue(RecordKey::Duration, 0).toUInt()));
        if (matched < 0 && m_rememberedName != 0 && name == m_rememberedName) {
            m_current = r;
            matched = i;
        }
        put(sizeText(r.RecordValue(RecordKey::Size, 0).toULongLong()));
        put(RecordText::bitWidth(r.RecordValue(RecordKey::Bit, 0).toInt(), leo));
        if (bandwidth)
            put(megaText(r.RecordValue(RecordKey::Bandwidth, 0).toULongLong()) + QStringLiteral(" MHz"));
        if (sampleRate)
            put(megaText(r.RecordValue(RecordKey::SampleRate, 0).toULongLong()) + QStringLiteral(" MSPS"));
        put(r.RecordValue(RecordKey::Available, 0).toBool() ? tr("可用") : tr("不可用"));
        const int bands = r.RecordValue(RecordKey::FreqNum, 0).toInt();
        for (int c = 0; c < channels; ++c) {
            if (c >= bands) {
                put(ValueText::none());
                continue;
            }
            const uint id = r.getSectionValue(RecordKey::freqSection(c + 1), RecordKey::Num, 0).toUInt();
            const auto band = pm->freqBands.constFind(id);
            if (band == pm->freqBands.constEnd())
                put(tr("不支持的频段:%1").arg(id));
            else
                put((band->custom ? QStringLiteral("*") : QString()) + band->name);
        }
        put(r.RecordValue(RecordKey::Remark).toString());
    }

    // Names and times are read whole, not cut off.
    ui->tabel_Device->resizeColumnsToContents();
    if (matched >= 0) {
        ui->tabel_Device->selectRow(matched);
    } else {
        m_current.InitDefaults();
    }
    m_rememberedName = 0;
}

void RecordManager::slot_GetRecordError(int code)
{
    QString text;
    switch (code) {
    case 0:
        text = tr("刷新失败:网络错误");
        break;
    case 1:
        text = tr("刷新失败:操作超时");
        break;
    case 2:
        text = tr("刷新失败:记录异常");
        break;
    default:
        break;
    }
    // A change being checked by the list is told by the check, what is unknown included.
    const ProtocolManager* pm = ProtocolManager::instance();
    const bool checking = pm->isChecking(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo)
                       || pm->isChecking(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote)
                       || pm->isChecking(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord);
    if (!checking)
        MessageDialog::ShowMessage(tr("刷新记录列表失败"), text, kError);
    if (!checking && !changing() && !std::exchange(m_statusHeld, false))
        ui->lab_status->setText(text);
    UpdateButtonState();
}

// ---- check of changes in doubt -------------------------------------------------------------

void RecordManager::showFinding(const ReplyNotice& n)
{
    // The person was told the change is being checked, for want of an answer or for one too short
    // to read: the list fetched since says what became of it, or could not be fetched.
    if (n.outcome == ReplyOutcome::CheckLost) {
        // The list is asked again; until it is in, the line says the check failed. The records
        // of a sequence after this one stay unsent: what became of this one is not known.
        const QString text = RecordCheck::told(n.finding) + RecordCheck::unsent(unsentDeletes());
        m_deleteQueue.clear();
        ui->lab_status->setText(tr("核对记录失败"));
        MessageDialog::ShowMessage(tr("核对记录失败"), text, kWarning);
        return;
    }
    ui->lab_status->setText(n.finding.text);
    MessageDialog::ShowMessage(Msg_Cmd(n.cmd) == Msg_Cmd::ChangeRecordNote ? tr("修改记录备注") : tr("删除记录"),
                               RecordCheck::told(n.finding, n.unreadable), kInformation);
    // Done or still there, this record is told: the next of a sequence goes.
    deleteNextAfter(n.cmd);
    if (ProtocolManager::instance()->isConnected())
        UpdateButtonState();
}

void RecordManager::showCorrection(const QString& text)
{
    // The table already shows the list that says otherwise.
    ui->lab_status->setText(text);
    MessageDialog::ShowMessage(LastWords::title(), text, kWarning);
}

bool RecordManager::deleteNextAfter(quint8 cmd)
{
    if (Msg_Cmd(cmd) != Msg_Cmd::DeleteRecordInfo || m_deleteQueue.isEmpty())
        return false;
    ui->lab_status->setText(tr("连续删除中，剩余:%1").arg(m_deleteQueue.size()));
    sendNextDelete();
    return true;
}

// ---- detail panel --------------------------------------------------------------------------

bool RecordManager::singleSelection() const
{
    return ui->tabel_Device->selectionMode() == QAbstractItemView::SingleSelection;
}

void RecordManager::slot_selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    Q_UNUSED(deselected)
    const QModelIndexList rows = m_selection->selectedRows(0);
    if (rows.size() == 1 && singleSelection()) {
        // A change that only deselected leaves no index of its own: the remaining row is the one.
        const int row = selected.indexes().isEmpty() ? rows.first().row() : selected.indexes().first().row();
        const quint32 name = m_model->index(row, 0).data(Qt::UserRole).toUInt();
        const QList<RecordEx>& list = RecordAssist::instance()->Records;
        for (const RecordEx& r : list) {
            if (recordName(r) == name) {
                m_current = r;
                showRecord(m_current);
                return;
            }
        }
        // A row the list behind the table no longer holds (a drop during a search emptied it):
        // no description, rather than the one of the row chosen before.
        m_current.InitDefaults();
        resetDetailPanel();
        return;
    }
    m_rememberedName = recordName(m_current);
    m_current.InitDefaults();
    resetDetailPanel();
}

void RecordManager::showRecord(const RecordEx& r)
{
    ProtocolManager* pm = ProtocolManager::instance();
    ui->label_recordname->setText(RecordText::name(recordName(r)));
    const int bit = r.RecordValue(RecordKey::Bit, 0).toInt();
    ui->label_Bitwide->setText(isLeo() ? QStringLiteral("%1(I & Q) Bit").arg(2 * bit)
                                       : QStringLiteral("%1 Bit").arg(bit));
    ui->label_collectTime->setText(startText(r.RecordValue(RecordKey::StartTime, 0).toUInt()));
    ui->label_durationTime->setText(RecordAssist::GetRecordTimeString(r.RecordValue(RecordKey::Duration, 0).toUInt()));

    QString ext;
    if (pm->IsBandwidthEnable())
        ext += megaText(r.RecordValue(RecordKey::Bandwidth, 0).toULongLong()) + QStringLiteral(" MHz");
    if (pm->IsSampleRateEnable()) {
        if (!ext.isEmpty())
            ext += QLatin1Char('\n');
        ext += megaText(r.RecordValue(RecordKey::SampleRate, 0).toULongLong()) + QStringLiteral(" MSPS");
    }
    if (!ext.isEmpty())
        ui->label_ext_data->setText(ext);

    ui->label_fileSize->setText(sizeText(r.RecordValue(RecordKey::Size, 0).toULongLong()));

    const int channels = pm->deviceInfo().ChannelNum;
    const int bands = r.RecordValue(RecordKey::FreqNum, 0).toInt();
    QStringList lines;
    for (int c = 0; c < channels; ++c) {
        if (c >= bands) {
            lines << QStringLiteral("[%1] %2").arg(c + 1).arg(ValueText::none());
            continue;
        }
        const uint id = r.getSectionValue(RecordKey::freqSection(c + 1), RecordKey::Num, 0).toUInt();
        const auto band = pm->freqBands.constFind(id);
        if (band == pm->freqBands.constEnd())
            lines << tr("[%2] 不支持的频段:%1").arg(id).arg(c + 1);
        else
            lines << QStringLiteral("[%1] %2").arg(c + 1).arg((band->custom ? QStringLiteral("*") : QString())
                                                              + band->name);
    }
    ui->label_freqPoints->setText(lines.join(QLatin1Char('\n')));
    ui->text_Remake->setPlainText(r.RecordValue(RecordKey::Remark).toString());
}

void RecordManager::resetDetailPanel()
{
    // One mark for every value, rather than zeros that read as values.
    for (QLabel* value : {ui->label_recordname, ui->label_Bitwide, ui->label_collectTime, ui->label_durationTime,
                          ui->label_fileSize, ui->label_freqPoints})
        value->setText(RecordText::noValue());
    ui->label_ext_data->setText(RecordValueCaption::noValues(ProtocolManager::instance()));
    ui->text_Remake->clear();
}

// ---- button layouts ------------------------------------------------------------------------

void RecordManager::setBar(bool refresh, bool remove, bool note, bool mode, bool upload, bool download)
{
    ui->widget_control->setEnabled(true);
    for (QWidget* button :
         {ui->ptn_Refresh, ui->ptn_Delete, ui->ptn_changenote, ui->ptn_selectmode, ui->ptn_Upload, ui->ptn_download})
        button->setToolTip(QString());
    ui->ptn_Refresh->setEnabled(refresh);
    ui->ptn_Delete->setEnabled(remove);
    ui->ptn_changenote->setEnabled(note);
    ui->ptn_selectmode->setEnabled(mode);
    ui->ptn_Upload->setEnabled(upload);
    ui->ptn_download->setEnabled(download);
    ui->ptn_Refresh->setText(tr("刷新"));
}

void RecordManager::UpdateButtonState()
{
    if (!ProtocolManager::instance()->isConnected()) {
        setOfflineBar();
        return;
    }
    const bool single = singleSelection();
    setBar(true, true, single, true, single, single);
    // A change of a kind still open holds its button, with the reason: its answer could not be
    // told from the next one's.
    for (const auto& held : {qMakePair(ui->ptn_Delete, Msg_Cmd::DeleteRecordInfo),
                             qMakePair(ui->ptn_changenote, Msg_Cmd::ChangeRecordNote)}) {
        const QString reason = ProtocolManager::instance()->openReason(Msg_Type::RecordedManager, held.second);
        held.first->setToolTip(reason);
        if (!reason.isEmpty())
            held.first->setEnabled(false);
    }
    // The button says what a press does, not the mode it leaves.
    ui->ptn_selectmode->setText(single ? tr("切换到多选") : tr("切换到单选"));
    ui->ptn_Upload->setText(tr("上传"));
    ui->ptn_download->setText(tr("本地记录管理"));
}

void RecordManager::setOfflineBar()
{
    setBar(false, false, false, false, false, true);
    // The same reason on each button, whether the link never came up or dropped.
    for (QWidget* button : {ui->ptn_Refresh, ui->ptn_Delete, ui->ptn_changenote, ui->ptn_selectmode, ui->ptn_Upload})
        button->setToolTip(tr("设备未连接"));
    ui->ptn_Upload->setText(tr("上传"));
    ui->ptn_download->setText(tr("本地记录管理"));
}

void RecordManager::SetUploadButtons()
{
    setBar(false, false, false, false, true, false);
    ui->ptn_Upload->setText(tr("停止上传"));
    ui->ptn_download->setText(tr("本地记录管理"));
}

void RecordManager::SetDownloadButtons()
{
    setBar(false, false, false, false, false, true);
    ui->ptn_Upload->setText(tr("上传"));
    ui->ptn_download->setText(tr("停止下载"));
}

void RecordManager::on_ptn_selectmode_clicked()
{
    m_selection->clearSelection();
    ui->tabel_Device->setSelectionMode(singleSelection() ? QAbstractItemView::MultiSelection
                                                         : QAbstractItemView::SingleSelection);
    UpdateButtonState();
}

// ---- link and device state -----------------------------------------------------------------

void RecordManager::onLinkState(bool up)
{
    // The link's return alone does not give the bar back: the next state report or refresh does.
    // Until then the instrument's state is unknown, so the local list waits for it too.
    if (up) {
        ui->widget_control->setEnabled(false);
        if (m_listFromBeforeDrop)
            ui->lab_status->setText(tr("设备已重新连接：列表为断开前的记录，按“刷新”取得设备当前的记录"));
        return;
    }
    setOfflineBar();
    // Nothing asked on the lost link is answered; the main window names what went unconfirmed.
    endWait();
    // What the table shows is the instrument's list as it was; the next list fetched replaces
    // this line.
    m_statusHeld = false;
    m_listFromBeforeDrop = true;
    ui->lab_status->setText(tr("设备未连接：列表为断开前的记录，刷新、删除、修改备注和上传在连接恢复后可用"));
}

void RecordManager::slot_SyncDeviceState(SyncDeviceState state_info)
{
    if (state_info.State == quint8(SystemState::Idle))
        UpdateButtonState();
    else
        ui->widget_control->setEnabled(false);
}

// ---- refresh, delete, remark ---------------------------------------------------------------

void RecordManager::on_ptn_Refresh_clicked()
{
    ui->widget_control->setEnabled(false);
    m_statusHeld = false;
    ui->lab_status->setText(tr("正在刷新数据"));
    RecordAssist::instance()->SeachRecord();
    qDebug() << "发送刷新数据";
}

void RecordManager::warnNothingChosen()
{
    ui->lab_status->setText(tr("删除失败:未选择记录"));
    if (singleSelection())
        MessageDialog::ShowMessage(tr("未选择记录"), tr("单选模式下尚未选择任何记录。\n请点选要删除的记录后重试。"),
                                   kWarning);
    else
        MessageDialog::ShowMessage(tr("未选择记录"), tr("多选模式下尚未选择任何记录。\n请点选要删除的记录后重试。"),
                                   kWarning);
}

bool RecordManager::changing() const
{
    const ProtocolManager* pm = ProtocolManager::instance();
    return !m_deleteQueue.isEmpty() || pm->isAwaiting(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo)
        || pm->isAwaiting(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote);
}

quint32 RecordManager::pendingOperation() const
{
    const ProtocolManager* pm = ProtocolManager::instance();
    if (pm->isAwaiting(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo))
        return PendingDelete;
    if (pm->isAwaiting(Msg_Type::RecordedManager, Msg_Cmd::ChangeRecordNote))
        return PendingNote;
    if (m_preparing == quint8(SystemState::Uploading))
        return PendingUpload;
    if (m_preparing == quint8(SystemState::Downloading))
        return PendingDownload;
    return PendingNone;
}

QVector<quint32> RecordManager::deleteQueue() const
{
    QVector<quint32> names;
    for (const QueuedDelete& d : m_deleteQueue)
        names << d.name;
    return names;
}

QStringList RecordManager::unsentDeletes() const
{
    QStringList shown;
    for (const QueuedDelete& d : m_deleteQueue)
        shown << d.shown;
    return shown;
}

bool RecordManager::refusedWhileOpen(uchar cmd, const QString& title)
{
    const QString reason = ProtocolManager::instance()->openReason(Msg_Type::RecordedManager, Msg_Cmd(cmd));
    if (reason.isEmpty())
        return false;
    // A press that came another way than the held button: say why nothing goes out.
    MessageDialog::ShowMessage(title, ReplyWords::refusedWhileOpen(reason), kWarning);
    return true;
}

void RecordManager::on_ptn_Delete_clicked()
{
    if (refusedWhileOpen(uchar(Msg_Cmd::DeleteRecordInfo), tr("删除记录")))
        return;
    // The rows the person highlighted, named as the table shows them, whatever the record list
    // behind the table holds now (a drop during a search empties it while the rows stay).
    const QModelIndexList rows = m_selection->selectedRows(0);
    if (rows.isEmpty()) {
        warnNothingChosen();
        return;
    }
    // The names are taken at the press: the list may be fetched again, and its rows move, while
    // the question is open. What the person confirms is what is deleted.
    QVector<QueuedDelete> chosen;
    for (const QModelIndex& index : rows)
        chosen << QueuedDelete{index.data(Qt::UserRole).toUInt(), index.data(Qt::DisplayRole).toString()};
    QStringList listed;
    for (const QueuedDelete& d : qAsConst(chosen))
        listed << d.shown;
    ui->widget_control->setEnabled(false);
    // A recording is a measurement that cannot be taken again: one record asks as several do.
    const QString question = chosen.size() == 1
                               ? tr("是否确认删除记录 %1？").arg(listed.first())
                               : tr("是否确认删除选择的 %1 条记录？\n%2").arg(chosen.size()).arg(listed.join('\n'));
    if (!MessageDialog::ConfirmDestructive(tr("删除确认"), question, kQuestion)) {
        ui->lab_status->setText(tr("取消删除操作"));
        UpdateButtonState();
        return;
    }
    m_statusHeld = false;
    m_deleteQueue = chosen;
    if (chosen.size() == 1)
        ui->lab_status->setText(tr("已发送删除指令:%1").arg(listed.first()));
    else
        ui->lab_status->setText(tr("连续删除中，剩余:%1").arg(m_deleteQueue.size()));
    sendNextDelete();
}

void RecordManager::sendNextDelete()
{
    const quint32 name = m_deleteQueue.takeFirst().name;
    m_deleting = name;
    if (ProtocolManager::instance()->DeleteRecordInfoCmd(name, replyOwner())) {
        // 删除 is held from now on, showing why; the rest of the bar is the layout's.
        UpdateButtonState();
        return;
    }
    endWait();
    ui->lab_status->setText(tr("删除失败:网络发送失败"));
    warnNotSent(tr("删除记录失败"));
    if (ProtocolManager::instance()->isConnected())
        UpdateButtonState();
}

void RecordManager::slot_DeleteRecordSuccess(uchar result)
{
    // Only this page deletes records, and only the answer in time to its request comes here.
    QString text;
    // Shown in the interface's language, logged as written.
    const auto tell = [&text](FileLogger::LogType level, const char* source) {
        text = tr(source);
        FileLogger::LogMessage(level, LogText("RecordManager", source));
    };
    switch (result) {
    case 0:
        tell(FileLogger::Info, QT_TR_NOOP("删除记录成功"));
        break;
    case 1:
        tell(FileLogger::Error, QT_TR_NOOP("删除记录失败"));
        break;
    case 2:
        tell(FileLogger::Error, QT_TR_NOOP("未找到指定记录"));
        break;
    default:
        break;
    }
    // A list asked for before this answer may still come: it must not show the record again.
    if (result == 0 || result == 2)
        RecordAssist::instance()->recordsGone({m_deleting});
    // A record already gone is what was asked; any other failure ends the sequence.
    if (result != 0 && result != 2 && !m_deleteQueue.isEmpty()) {
        text = tr("%1，其余 %2 条记录未删除").arg(text).arg(m_deleteQueue.size());
        m_deleteQueue.clear();
    }
    ui->lab_status->setText(text);
    if (!m_deleteQueue.isEmpty()) {
        ui->lab_status->setText(tr("连续删除中，剩余:%1").arg(m_deleteQueue.size()));
        sendNextDelete();
        return;
    }
    // The refresh that follows leaves the result on the status line.
    m_statusHeld = true;
    RecordAssist::instance()->SeachRecord();
}

void RecordManager::slot_DeleteAllRecordSuccess(bool result)
{
    // A refused clearing left the records where they were: so does the table.
    if (!result) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "清空记录失败"));
        return;
    }
    m_selection->clearSelection();
    m_model->removeRows(0, m_model->rowCount());
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "数据清空成功"));
}

void RecordManager::on_ptn_changenote_clicked()
{
    if (refusedWhileOpen(uchar(Msg_Cmd::ChangeRecordNote), tr("修改记录备注")))
        return;
    const quint32 name = recordName(m_current);
    if (name == 0) {
        warnInvalidRecord();
        return;
    }
    ui->widget_control->setEnabled(false);
    auto* dialog = MessageDialog::TextEditor(tr("修改记录备注"), tr("请编辑备注信息"),
                                             m_current.RecordValue(RecordKey::Remark).toString(), this);
    connect(dialog, &QDialog::finished, this,
            [this, dialog, name](int result) { onNoteDialogFinished(dialog, name, result); });
    dialog->open();
}

void RecordManager::onNoteDialogFinished(MessageDialog* dialog, quint32 name, int result)
{
    if (result == QDialog::Accepted) {
        if (!ProtocolManager::instance()->ChangeRecordNoteCmd(name, dialog->editedText(), replyOwner()))
            warnNotSent(tr("修改备注失败"));
        // 修改备注 is held while its change is open, showing why.
        if (ProtocolManager::instance()->isConnected())
            UpdateButtonState();
    } else {
        UpdateButtonState();
    }
    dialog->deleteLater();
}

void RecordManager::slot_ChangeRecordNoteSuccess(uchar result)
{
    // Only the answer in time to this page's change comes here.
    RecordAssist::instance()->SeachRecord();
    QString text;
    // Shown in the interface's language, logged as written.
    const auto tell = [&text](FileLogger::LogType level, const char* source) {
        text = tr(source);
        FileLogger::LogMessage(level, LogText("RecordManager", source));
    };
    switch (result) {
    case 0:
        tell(FileLogger::Info, QT_TR_NOOP("修改备注成功"));
        break;
    case 1:
        tell(FileLogger::Error, QT_TR_NOOP("修改备注失败"));
        break;
    case 2:
        tell(FileLogger::Error, QT_TR_NOOP("未找到指定记录，请刷新后重试"));
        break;
    default:
        break;
    }
    ui->lab_status->setText(text);
}

ReplyOwner RecordManager::replyOwner()
{
    return ReplyOwner(this, [this](const ReplyNotice& n) {
        const bool records = Msg_Type(n.type) == Msg_Type::RecordedManager;
        if (n.outcome == ReplyOutcome::TimedOut)
            onReplyTimedOut(n.type, n.cmd);
        else if (n.outcome == ReplyOutcome::Late)
            onLateReply(n.type, n.cmd, n.request, n.reply);
        else if (n.outcome == ReplyOutcome::Malformed && records)
            onRecordChangeMalformed(n);
        else if ((n.outcome == ReplyOutcome::Settled || n.outcome == ReplyOutcome::CheckLost) && records)
            showFinding(n);
        else if (n.outcome == ReplyOutcome::Corrected)
            showCorrection(n.finding.text);
    });
}

void RecordManager::onRecordChangeMalformed(const ReplyNotice& notice)
{
    // An answer that came for this change and says nothing readable: it failed, by name, and
    // the list checks what the instrument did.
    const RecordCheck::Doubt d = RecordCheck::ofRequest(notice.cmd, notice.request);
    const bool remark = d.change == RecordCheck::Change::Remark;
    // The log keeps the line as written; the person reads it in the interface's language.
    const char* source =
        remark ? QT_TR_NOOP("修改记录备注 %1 失败：设备应答不完整") : QT_TR_NOOP("删除记录 %1 失败：设备应答不完整");
    const QString text = LogText("RecordManager", source).arg(RecordText::name(d.name)).translated();
    FileLogger::LogMessage(FileLogger::Error, LogText("RecordManager", source).arg(RecordCheck::logName(d.name)));
    ui->lab_status->setText(text);
    m_statusHeld = true;
    QString shown = text;
    if (!m_deleteQueue.isEmpty())
        shown += QLatin1Char('\n') + tr("正在核对，其余 %1 条记录在核对后删除").arg(m_deleteQueue.size());
    else
        endWait();
    MessageDialog::ShowMessage(remark ? tr("修改备注失败") : tr("删除记录失败"), shown, kWarning);
}

void RecordManager::onReplyTimedOut(uchar type, uchar cmd)
{
    // Only the wait of this page's own commands: the table tells which went unanswered.
    QString title;
    const bool records = Msg_Type(type) == Msg_Type::RecordedManager;
    if (Msg_Type(type) == Msg_Type::UploadDownload && isTransferStart(cmd)) {
        // Not yet a failure: the coordinator checks each such card by whether it connects, and
        // the start's report (or its state) says how it went. A transfer already over has
        // nothing left to check.
        m_startTimedOut = true;
        if (UpDownLoadAssist::instance()->GetLastMethod() != quint8(SystemState::Idle))
            ui->lab_status->setText(tr("设备未及时应答，正在核对各采集卡是否连接"));
        return;
    }
    if (records && Msg_Cmd(cmd) == Msg_Cmd::DeleteRecordInfo)
        title = tr("删除记录");
    else if (records && Msg_Cmd(cmd) == Msg_Cmd::ChangeRecordNote)
        title = tr("修改记录备注");
    else
        return;
    // Not yet a failure: the list fetched now, or its own late answer, tells how it went.
    QString text = ReplyWords::timedOut();
    // The list fetched now says what became of it; the rest of a sequence goes after.
    if (!m_deleteQueue.isEmpty())
        text += QLatin1Char('\n') + tr("正在核对，其余 %1 条记录在核对后删除").arg(m_deleteQueue.size());
    else
        endWait();
    // The line said the change was sent: it now says it is being checked.
    ui->lab_status->setText(tr("%1：%2").arg(title, ReplyWords::timedOut()));
    MessageDialog::ShowMessage(title, text, kWarning);
    UpdateButtonState();
}

void RecordManager::onLateReply(uchar type, uchar cmd, const QByteArray& request, const QByteArray& reply)
{
    // A clearing is the settings page's own; its late success has the list fetched again.
    if (Msg_Type(type) != Msg_Type::RecordedManager || reply.isEmpty())
        return;
    if (request.size() < 4)
        return;
    const QString name = RecordText::name(qFromLittleEndian<quint32>(request.constData()));
    const bool done = reply.at(0) == 0;
    if (done && Msg_Cmd(cmd) == Msg_Cmd::DeleteRecordInfo)
        RecordAssist::instance()->recordsGone({qFromLittleEndian<quint32>(request.constData())});
    QString title;
    const char* source = nullptr;
    if (Msg_Cmd(cmd) == Msg_Cmd::DeleteRecordInfo) {
        title = tr("删除记录");
        source = done ? QT_TR_NOOP("删除记录 %1：设备在超时后确认已删除")
                      : QT_TR_NOOP("删除记录 %1：设备在超时后报告未删除");
    } else if (Msg_Cmd(cmd) == Msg_Cmd::ChangeRecordNote) {
        title = tr("修改记录备注");
        source = done ? QT_TR_NOOP("修改记录备注 %1：设备在超时后确认已修改")
                      : QT_TR_NOOP("修改记录备注 %1：设备在超时后报告未修改");
    } else {
        return;
    }
    const QString text = LogText("RecordManager", source).arg(name).translated();
    // The person was told it is being checked: its own answer tells how it went, once, and the
    // list is fetched again to show it.
    FileLogger::LogMessage(
        done ? FileLogger::Info : FileLogger::Warning,
        LogText("RecordManager", source).arg(RecordCheck::logName(qFromLittleEndian<quint32>(request.constData()))));
    const bool sequence = Msg_Cmd(cmd) == Msg_Cmd::DeleteRecordInfo && !m_deleteQueue.isEmpty();
    QString shown = text;
    if (!done && sequence) {
        // A refusal ends a sequence, late as in time.
        shown = tr("%1，其余 %2 条记录未删除").arg(text).arg(m_deleteQueue.size());
        m_deleteQueue.clear();
    }
    ui->lab_status->setText(shown);
    m_statusHeld = true;
    MessageDialog::ShowMessage(title, shown, done ? kInformation : kWarning);
    if (!deleteNextAfter(cmd) && !changing())
        RecordAssist::instance()->SeachRecord();
}

void RecordManager::endWait(bool transferStart)
{
    const quint8 preparing = std::exchange(m_preparing, quint8(0));
    m_deleteQueue.clear();
    // Channels that wait for a transfer the instrument never confirmed would refuse the next one.
    if (!transferStart && preparing == 0)
        return;
    const uchar method = UpDownLoadAssist::instance()->GetLastMethod();
    if (method == quint8(SystemState::Uploading))
        UpDownLoadAssist::instance()->StopUploadCmdFromUI();
    else if (method == quint8(SystemState::Downloading))
        UpDownLoadAssist::instance()->StopDownloadCmdFromUI();
}

// ---- transfers -----------------------------------------------------------------------------

bool RecordManager::prepareUpload(quint32 name, RecordEx& info)
{
    const int cards = ProtocolManager::instance()->deviceInfo().Boards.size();
    // Without a card count a rebuilt bookkeeping would overwrite the counters of an earlier,
    // unfinished upload with nothing.
    if (cards <= 0) {
        UpdateButtonState();
        MessageDialog::ShowMessage(tr("上传记录失败"), tr("未获取到采集卡信息，请刷新设备信息后重试"), kWarning);
        return false;
    }
    // A replacement cut short is settled before the copy is read: moved aside, the copy would look
    // never uploaded, and the fresh record folder of a new upload would cost it.
    switch (LocalRecordStore::settleLeftoverReplacement(LocalRecordStore::currentDeviceFolder(), name)) {
    case LocalRecordStore::Leftover::CopyRestored:
        m_leftoverText = tr("记录 %1 上次替换本地副本时被中断，原来的完整副本已恢复。").arg(RecordText::name(name));
        break;
    case LocalRecordStore::Leftover::OldCopyRemoved:
        m_leftoverText =
            tr("记录 %1 上次替换本地副本时被中断，当时替换已完成，留下的旧副本已删除。").arg(RecordText::name(name));
        break;
    case LocalRecordStore::Leftover::None:
        break;
    }
    const bool fromFile = LocalRecordStore::ParseRecordInformationFromFile(name, info)
                       && info.LocalValue(RecordKey::NumOfBoards, 0).toInt() == cards
                       && info.LocalValue(RecordKey::SingleTransSize, 0).toInt() > 0;
    if (!fromFile) {
        info = m_current;
        LocalRecordStore::resetTransferCounters(info, cards);
    }
    // The copy names its bands itself, for the local list without an instrument.
    RecordBands::name(info, ProtocolManager::instance()->freqBands);

    const quint64 size = info.RecordValue(RecordKey::Size, 0).toULongLong() * kMiB;
    const quint64 done = info.LocalValue(RecordKey::TotalUploadedSize, 0).toULongLong();
    bool restart = false;
    if (done != 0 && done < size) {
        // No throws the partial data away: Return and Escape keep it.
        const int answer = MessageDialog::QuestionSafe(
            tr("上传确认"), RecordText::resumeQuestion(RecordText::name(name), done, size), kQuestion,
            {MessageDialog::buttonText(QDialogButtonBox::Yes), MessageDialog::buttonText(QDialogButtonBox::No)}, 0);
        restart = answer == 1;
    } else if (done >= size) {
        // The new data goes beside the copy and replaces it only once complete; no, the safe
        // answer, takes Return all the same.
        m_replacingCopy = fromFile && size > 0;
        m_replacingName = name;
        // The PC's own bookkeeping of a whole copy is not a guess.
        QString text = m_replacingCopy ? tr("记录 %1 已完成上传，是否重新上传?").arg(RecordText::name(name))
                                       : tr("记录 %1 可能已完成上传，是否重新上传?").arg(RecordText::name(name));
        if (m_replacingCopy)
            text += QLatin1Char('\n')
                  + tr("重新上传的数据先另存，全部传完后才替换本地现有的完整副本；"
                       "未传完或被停止时，现有副本保持不变、仍可使用。");
        const int answer = MessageDialog::QuestionSafe(tr("上传确认"), text, kQuestion, {tr("是"), tr("否")}, 1);
        if (answer != 0) {
            m_replacingCopy = false;
            UpdateButtonState();
            return false;
        }
        restart = true;
    }
    if (restart)
        LocalRecordStore::restartUpload(info, cards);
    LocalRecordStore::setUploadResumeBlocks(info, cards);
    // The bookkeeping is on disk before anything is asked of the instrument, or nothing is asked.
    const bool written = m_replacingCopy
                           ? LocalRecordStore::prepareStaging(LocalRecordStore::currentDeviceFolder(), info)
                           : LocalRecordStore::WriteRecordInfoToFile(info);
    if (!written) {
        m_replacingCopy = false;
        UpdateButtonState();
        MessageDialog::ShowMessage(tr("上传记录失败"), tr("记录信息文件写入失败"), kError);
        return false;
    }
    return true;
}

void RecordManager::on_ptn_Upload_clicked()
{
    ui->widget_control->setEnabled(false);
    RecordEx info;
    const SystemState state = RunStatus::CurrentStatus();
    if (state == SystemState::Uploading) {
        if (strayClick()) {
            SetUploadButtons();
            return;
        }
        UpDownLoadAssist::instance()->StopUploadCmdFromUI();
        return;
    }
    if (state != SystemState::Idle) {
        MessageDialog::ShowMessage(tr("执行失败"), tr("设备状态不为空闲状态"), kWarning);
        UpdateButtonState();
        return;
    }
    if (!dataPathExists()) {
        warnDataPath();
        UpdateButtonState();
        return;
    }
    const quint32 name = recordName(m_current);
    if (name == 0) {
        UpdateButtonState();
        warnInvalidRecord();
        return;
    }
    m_replacingCopy = false;
    if (!prepareUpload(name, info))
        return;

    prepareTransferDisplay();
    m_preparing = quint8(SystemState::Uploading);
    m_startFailureShown = false;
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "正在启动上传"));
    const QString ip = ProtocolManager::instance()->GetLocalIpAddress();
    m_startTimedOut = false;
    if (!UpDownLoadAssist::instance()->StartUploadCmdFromUI(info, ip, 0, replyOwner(), m_replacingCopy)) {
        // Nothing went to the instrument: say why now rather than after the reply time-out.
        m_preparing = 0;
        m_replacingCopy = false;
        const UpDownLoadAssist::StartRefusal why = UpDownLoadAssist::instance()->lastStartRefusal();
        MessageDialog::ShowMessage(tr("上传记录失败"),
                                   why == UpDownLoadAssist::StartRefusal::Busy
                                       ? tr("上一次传输尚未结束，请待其结束后再试")
                                       : tr("传输初始化失败"),
                                   kError);
        UpdateButtonState();
        return;
    }
    ui->ptn_Upload->setText(tr("准备中..."));
}

void RecordManager::on_ptn_download_clicked()
{
    ui->widget_control->setEnabled(false);
    // Offline the list opens whatever state the instrument was last in: it sends nothing.
    const bool online = ProtocolManager::instance()->isConnected();
    const SystemState state = RunStatus::CurrentStatus();
    if (online && state == SystemState::Downloading) {
        if (strayClick()) {
            SetDownloadButtons();
            return;
        }
        UpDownLoadAssist::instance()->StopDownloadCmdFromUI();
        return;
    }
    if (online && state != SystemState::Idle)
        return;
    if (!dataPathExists()) {
        warnDataPath();
        UpdateButtonState();
        return;
    }
    // The bar stays off while the list is open; its closing or a download gives it back.
    WindowPresenter::present(m_backupList);
}

void RecordManager::onBackupListClosed()
{
    // A download the list has just asked for is still waiting for its start reply: the bar
    // comes back with that reply or its time-out, not with the closing. One whose channels did
    // not come up asked the instrument nothing, so nothing will answer it.
    if (m_preparing == quint8(SystemState::Downloading)) {
        if (UpDownLoadAssist::instance()->GetLastMethod() == quint8(SystemState::Downloading))
            return;
        m_preparing = 0;
        const UpDownLoadAssist::StartRefusal why = UpDownLoadAssist::instance()->lastStartRefusal();
        MessageDialog::ShowMessage(tr("下载记录失败"),
                                   why == UpDownLoadAssist::StartRefusal::Busy
                                       ? tr("上一次传输尚未结束，请待其结束后再试")
                                   : why == UpDownLoadAssist::StartRefusal::DataShort ? tr("本地数据文件不完整，未下载")
                                                                                      : tr("传输初始化失败"),
                                   kError);
    }
    if (RunStatus::CurrentStatus() == SystemState::Idle || !ProtocolManager::instance()->isConnected())
        UpdateButtonState();
}

void RecordManager::onStartingDownload()
{
    prepareTransferDisplay();
    m_preparing = quint8(SystemState::Downloading);
    m_startFailureShown = false;
    m_startTimedOut = false;
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "正在启动下载"));
    ui->ptn_download->setText(tr("准备中..."));
}

void RecordManager::slot_Started_upload(uchar result)
{
    onStartAnswered(SystemState::Uploading, result == 0);
}

void RecordManager::slot_Started_download(bool accepted)
{
    onStartAnswered(SystemState::Downloading, accepted);
}

void RecordManager::onStartAnswered(SystemState method, bool accepted)
{
    if (m_preparing == quint8(method))
        m_preparing = 0;
    if (accepted) {
        // Each card answers; one that answers after the transfer was stopped must not bring back
        // a stop button for a transfer that no longer runs.
        if (UpDownLoadAssist::instance()->GetLastMethod() != quint8(method))
            return;
        const bool upload = method == SystemState::Uploading;
        ui->lab_status->setText(upload ? tr("启动上传成功，上传中...") : tr("启动下载成功，下载中..."));
        if (upload)
            SetUploadButtons();
        else
            SetDownloadButtons();
        return;
    }
    // One message for the start, naming every card, once every card has answered.
    UpdateButtonState();
}

void RecordManager::onCannotBeProved(const QVector<int>& cards, const QVector<LogText>& reasons)
{
    QStringList lines;
    for (int i = 0; i < cards.size() && i < reasons.size(); ++i)
        lines << tr("采集卡 %1：%2").arg(cards.at(i) + 1).arg(reasons.at(i).translated());
    lines << tr("这两次上传都在同一处回退，再次上传也不会有进展；已收到的数据保留在本地，请检查采集卡后再上传。");
    MessageDialog::ShowMessage(tr("上传数据无法确认"), lines.join(QLatin1Char('\n')), kError);
}

void RecordManager::onStartRefused(uchar method, const QVector<int>& answers)
{
    m_preparing = 0;
    if (std::exchange(m_startFailureShown, true))
        return;
    const bool upload = method == quint8(SystemState::Uploading);
    // A card that refused stops the others; one that only did not connect leaves them running.
    const bool refused = answers.contains(1) || answers.contains(2);
    const bool silent = !refused && m_startTimedOut;
    // Every card answered, and one that accepted never connected.
    const bool unconnected = !refused && answers.contains(UpDownLoadAssist::kStartNeverConnected)
                          && !answers.contains(UpDownLoadAssist::kStartNotConnected);
    // Told at the refusal, while the cards that accepted are being stopped: none of them runs on.
    const bool running = !refused && UpDownLoadAssist::instance()->GetLastMethod() == method;
    QStringList lines{refused       ? tr("设备上报失败")
                      : unconnected ? tr("设备已接受启动，但采集卡未连接")
                      : silent      ? tr("设备响应超时，已按各采集卡是否连接核对")
                                    : tr("设备应答无法确认，已按各采集卡是否连接核对")};
    for (int i = 0; i < answers.size(); ++i) {
        const int card = i + 1;
        switch (answers.at(i)) {
        case 0:
            // The other cards may have moved all their blocks by the time the last card is told.
            lines << (refused    ? tr("采集卡 %1：已接受，已通知其停止").arg(card)
                      : !running ? tr("采集卡 %1：已连接").arg(card)
                      : upload   ? tr("采集卡 %1：已连接，上传中").arg(card)
                                 : tr("采集卡 %1：已连接，下载中").arg(card));
            break;
        case UpDownLoadAssist::kStartNotConnected:
            lines << (upload ? tr("采集卡 %1：未连接，未上传").arg(card) : tr("采集卡 %1：未连接，未下载").arg(card));
            break;
        case UpDownLoadAssist::kStartNeverConnected:
            lines << (upload ? tr("采集卡 %1：已接受启动，但未连接，未上传").arg(card)
                             : tr("采集卡 %1：已接受启动，但未连接，未下载").arg(card));
            break;
        case 1:
            lines << tr("采集卡 %1：启动失败").arg(card);
            break;
        case 2:
            lines << tr("采集卡 %1：未找到记录").arg(card);
            break;
        case UpDownLoadAssist::kStartAwaited:
            lines << tr("采集卡 %1：尚未应答，结果未知").arg(card);
            break;
        default:
            lines << tr("采集卡 %1：未应答").arg(card);
            break;
        }
    }
    const QString title = refused ? (upload ? tr("启动上传失败") : tr("启动下载失败"))
                                  : (upload ? tr("上传记录失败") : tr("下载记录失败"));
    // No card ran: the state never changed, so nothing else replaces the status of the check.
    if (!running && !answers.contains(0)) {
        ui->lab_status->setText(title);
        m_statusHeld = true;
    }
    MessageDialog::ShowMessage(title, lines.join(QLatin1Char('\n')), kWarning);
    if (UpDownLoadAssist::instance()->GetLastMethod() != method)
        UpdateButtonState();
}

void RecordManager::slot_up_down_load_heartbeat()
{
    const SystemState state = RunStatus::CurrentStatus();
    // A start confirmed by its cards connecting had no answer to end its preparing.
    if (m_preparing == quint8(state))
        m_preparing = 0;
    if (state == SystemState::Uploading) {
        // Every block is in: the line keeps saying what the end waits for.
        ui->lab_status->setText(UpDownLoadAssist::instance()->inEndWait() ? tr("正在确认采集卡发送完毕")
                                                                          : tr("启动上传成功，上传中..."));
        SetUploadButtons();
    } else if (state == SystemState::Downloading) {
        ui->lab_status->setText(tr("启动下载成功，下载中..."));
        SetDownloadButtons();
    }
}

void RecordManager::slot_Upload_Dwonload_UpdateProgress(int progress, double speed)
{
    // A transfer with an error stays failed until the next one is prepared: every card that
    // ends incomplete reports it, and the other cards' progress may still reach 100 after it.
    const bool failed = m_lastProgress == -1;
    if (progress == -1) {
        const uchar method = UpDownLoadAssist::instance()->GetLastMethod();
        // The reason found goes with the notice: a full disk says so.
        const LogText reason = UpDownLoadAssist::instance()->failureReason();
        const QString why = reason.isEmpty() ? QString() : QLatin1Char('\n') + reason.translated();
        if (!failed && method == 5)
            MessageDialog::ShowMessage(
                tr("传输错误"), tr("上传数据错误，上传已终止!") + why + keptCopyText() + takeLeftoverText(), kError);
        else if (!failed && method == 6)
            MessageDialog::ShowMessage(tr("传输错误"), tr("下载数据错误，下载已终止!") + why, kError);
        m_lastProgress = -1;
    } else if (!failed) {
        ui->progressBar->setValue(progress);
        m_lastProgress = progress;
    }
    ui->label_speed->setText(speedText(speed));
}

void RecordManager::prepareTransferDisplay()
{
    ui->progressBar->setValue(0);
    ui->progressBar->setFormat(QStringLiteral("%p%"));
    m_lastProgress = 0;
    ui->label_speed->setText(speedText(0.0));
    // A double click on the start button would stop the transfer with its second click, which
    // lands on the stop button the first one brings.
    m_startClick.start();
}

bool RecordManager::strayClick() const
{
    return m_startClick.isValid() && m_startClick.elapsed() < QApplication::doubleClickInterval();
}

void RecordManager::endTransferDisplay()
{
    // Nothing moves any more: no speed, and a bar short of the end says it did not finish.
    ui->label_speed->setText(speedText(0.0));
    if (m_lastProgress != 100)
        ui->progressBar->setFormat(tr("%p%（未完成）"));
}

QString RecordManager::takeLeftoverText()
{
    const QString text = std::exchange(m_leftoverText, QString());
    return text.isEmpty() ? text : QLatin1Char('\n') + text;
}

QString RecordManager::keptCopyText() const
{
    if (!m_replacingCopy)
        return QString();
    return QLatin1Char('\n')
         + tr("记录 %1 本地原有的完整副本保持不变，仍可使用。").arg(RecordText::name(m_replacingName));
}

void RecordManager::slot_ChangeState(SystemState state)
{
    if (state == SystemState::Idle) {
        const SystemState previous = RunStatus::instance()->LastStatus();
        if (previous == SystemState::Uploading || previous == SystemState::Downloading)
            endTransferDisplay();
        if (previous == SystemState::Uploading) {
            // Only a whole upload says so; any other end says the mode was left.
            ui->lab_status->setText(m_lastProgress == 100 ? tr("上传完成") : tr("已退出上传模式"));
            m_statusHeld = true; // the refresh that follows leaves it
            const bool replaced =
                UpDownLoadAssist::instance()->lastLocalCopy() == UpDownLoadAssist::LocalCopy::Replaced;
            if (m_lastProgress == 100) {
                window()->raise();
                window()->activateWindow();
                MessageDialog::ShowMessage(
                    tr("上传结果"),
                    (replaced ? tr("上传完成!") + QLatin1Char('\n') + tr("已替换本地原有的副本。") : tr("上传完成!"))
                        + takeLeftoverText(),
                    kInformation);
            } else if (m_replacingCopy && m_lastProgress != -1) {
                // Stopped: the failure notice, when there was one, said it already.
                ui->lab_status->setText(tr("重新上传已停止，本地原有的完整副本保持不变"));
                MessageDialog::ShowMessage(tr("上传结果"), tr("重新上传已停止。") + keptCopyText() + takeLeftoverText(),
                                           kInformation);
            }
            m_replacingCopy = false;
        } else if (previous == SystemState::Downloading) {
            ui->lab_status->setText(tr("已退出下载模式"));
            m_statusHeld = true;
            if (m_lastProgress == 100) {
                window()->raise();
                window()->activateWindow();
                MessageDialog::ShowMessage(tr("下载结果"), tr("下载完成!"), kInformation);
            }
        }
        if (previous == SystemState::Idle || !ProtocolManager::instance()->isConnected()) {
            UpdateButtonState();
            return;
        }
        if (!ConfigSetting::instance()->isTransponder())
            QTimer::singleShot(1, this, [] { RecordAssist::instance()->SeachRecord(); });
        return;
    }
    ui->widget_control->setEnabled(false);
    const SystemState previous = RunStatus::instance()->LastStatus();
    if (previous == SystemState::Uploading)
        SetUploadButtons();
    else if (previous == SystemState::Downloading)
        SetDownloadButtons();
}
