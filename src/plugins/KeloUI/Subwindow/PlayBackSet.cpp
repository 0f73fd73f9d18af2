#include "PlayBackSet.h"
#include "RecordText.h"
#include "RecordValueCaption.h"
#include "RunCommandReplies.h"
#include "ValueText.h"
#include "ui_PlayBackSet.h"

#include "MessageDialog.h"
#include "SliderRange.h"
#include "TimeSeletor.h"

#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <ReplyWords.h>
#include <RunStatus.h>
#include <WindowPresenter.h>

#include <QDateTime>
#include <QDebug>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStandardItemModel>

#include <cmath>
#include <limits>
#include <utility>

namespace {
const QString kNameFormat = QStringLiteral("yyyyMMddhhmmss");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
constexpr uint kStopReplyLoop = 4294967295u; // the loop value of an unrequested stop reply

void showError(const QString& title, const QString& text)
{
    MessageDialog::ShowMessage(title, text, int(MessageDialog::MessageType::Error));
}

QString duration(uint seconds)
{
    return RecordAssist::GetRecordTimeString(seconds);
}

uint recordUInt(const RecordEx& record, const QString& key)
{
    return record.RecordValue(key, 0).toUInt();
}

bool isPlayable(const RecordEx& record)
{
    // The text form holds "true"/"false" or a number; QVariant reads both.
    return record.RecordValue(RecordKey::Available, false).toBool() && recordUInt(record, RecordKey::Size) != 0;
}

int channelCount()
{
    return ProtocolManager::instance()->deviceInfo().ChannelNum;
}
} // namespace

PlayBackSet::PlayBackSet(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::PlayBackSet)
{
    qRegisterMetaType<FindRecordMsg>("FindRecordMsg");
    qRegisterMetaType<SyncDeviceState>("SyncDeviceState");
    qRegisterMetaType<SystemState>("SystemState");
    ui->setupUi(this);
    RunCommandReplies::Texts texts;
    texts.startCode = ControlStartPlayback;
    texts.stopCode = ControlStopPlayback;
    texts.startTitle = tr("启动回放");
    // The stop button reads 停止回放 too; a message titled with it names what stopped.
    texts.stopTitle = tr("停止回放", "message title");
    texts.startFailed = tr("启动回放失败");
    texts.stopFailed = tr("停止回放失败");
    texts.lateStarted = tr("设备在响应超时后已开始回放");
    texts.lateStopped = tr("设备在响应超时后已停止回放");
    texts.lateStartRefused = QT_TRANSLATE_NOOP("FileLogger", "启动回放：设备在超时后报告失败");
    texts.lateStopRefused = QT_TRANSLATE_NOOP("FileLogger", "停止回放：设备在超时后报告失败");
    texts.running = {SystemState::Playback};
    texts.stateNames = {{SystemState::Playback, tr("回放中")}, {SystemState::Idle, tr("空闲中")}};
    texts.otherState = tr("其他工作状态");
    m_replies = std::make_unique<RunCommandReplies>(
        this, texts, [this] { SetIdleUi(); }, [this] { SetPlayingUi(); });
    InitUI();
    InitTableHeader();
}

PlayBackSet::~PlayBackSet()
{
    delete ui;
}

void PlayBackSet::InitUI()
{
    ProgressPoll = new QTimer(this);
    ProgressPoll->setInterval(kProgressPollMs);

    // Only whole records on all channels are played from here: the interval and the channel
    // choice stay hidden.
    ui->groupBox_Interval->hide();
    ui->label_AttenChannel->hide();
    ui->spb_AttenChannel->hide();
    ui->checkBox_AllChannel->hide();
    ui->horizontalSpacer_attenChannel->changeSize(0, 10);
    ui->checkBox_AllChannel->setChecked(true);
    ui->spb_AttenChannel->setEnabled(false);
    ui->tbn_startplayback->setEnabled(false);
    ui->tbn_stopplayback->setEnabled(false);
    ui->progressBar->setValue(0);

    ProtocolManager* protocol = ProtocolManager::instance();
    RecordAssist* records = RecordAssist::instance();
    RunStatus* status = RunStatus::instance();
    connect(records, &RecordAssist::RecordListReady, this, &PlayBackSet::slot_RecordListReady);
    connect(this, &PlayBackSet::ChangeState, status, &RunStatus::slot_RunStateChange);
    connect(status, &RunStatus::GlobalChangeState, this, &PlayBackSet::slot_ChangeState);
    connect(this, &PlayBackSet::PrintSystemLog, FileLogger::instance(), &FileLogger::slot_LogMessage);
    connect(protocol, &ProtocolManager::GetDeviceSettingsFinished, this, [this] { InitTableHeader(); });
    connect(protocol, &ProtocolManager::ControlResult, this, &PlayBackSet::slot_ControlResult);
    connect(protocol, &ProtocolManager::ProgressUpdate, this, &PlayBackSet::slot_UpdateProgress);
    connect(protocol, &ProtocolManager::DeleteAllRecordSuccess, this, [this](bool ok) {
        if (ok)
            onDeleteAllRecords();
    });
    connect(protocol, &ProtocolManager::NetSuccess, this, [this](bool up) { onLinkState(up); });
    connect(ProgressPoll, &QTimer::timeout, this, [this] { onProgressPoll(); });
    connect(protocol, &ProtocolManager::UpdateDeviceState, this, &PlayBackSet::slot_SyncDeviceState);
    connect(protocol, &ProtocolManager::AttenuationPowerChanged, this,
            [this](uchar channel, uint power) { onAttenuationReport(channel, power); });

    RecordModel = new QStandardItemModel(this);
    SelectionModel = new QItemSelectionModel(RecordModel, this);
    QTableView* table = ui->tableView_freq;
    table->setModel(RecordModel);
    table->setSelectionModel(SelectionModel);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSortingEnabled(true);
    connect(SelectionModel, &QItemSelectionModel::selectionChanged, this, &PlayBackSet::slot_selectionChanged);

    const ConfigSetting* config = ConfigSetting::instance();
    if (!config->isCpci()) {
        ui->groupBox_channelOutput->hide();
        ui->groupBox_channelOutput->setEnabled(false);
    } else {
        // These units have output channels and no trigger choice.
        ui->groupBox_triggleMode->setEnabled(false);
        ui->groupBox_triggleMode->hide();
    }
    if (!config->isFbs()) {
        ui->tbn_timeplayback->hide();
        ui->tbn_timeplayback->setEnabled(false);
        ui->horizontalSpacer_timeplayback->changeSize(0, 0);
    }

    InitIntervalSlider();
    // Nothing can be started before the first state change or report says what the unit does.
    SetWaitingUi();
}

void PlayBackSet::InitIntervalSlider()
{
    IntervalSlider = new SliderRange;
    ui->gridLayout_sliderRange->addWidget(IntervalSlider);
    IntervalSlider->setShowText(false);
    IntervalSlider->setSliderStyle(SliderRange::SliderStyle_Circle);
    IntervalSlider->setSliderPercent(SliderRange::SliderPercent_0_1);
    IntervalSlider->setUsedColor(QColor(178, 182, 185));
    IntervalSlider->setFreeColor(QColor(225, 228, 230));
    IntervalSlider->setBorderColor(QColor(178, 182, 185));
    IntervalSlider->setSliderColor(QColor(50, 50, 50));
    IntervalSlider->setRange(0, 0);
    IntervalSlider->setLeftValue(0);
    IntervalSlider->setRightValue(0);
    connect(IntervalSlider, &SliderRange::valueChanged, this,
            [this](int left, int right) { onIntervalChanged(left, right); });
}

// ---- layouts ----------------------------------------------------------------------------------

void PlayBackSet::SetIdleUi()
{
    ui->tableView_freq->setEnabled(true);
    ui->groupBox_playback->setEnabled(true);
    ui->groupBox_times->setEnabled(true);
    ui->groupBox_triggleMode->setEnabled(true);
    if (ui->groupBox_channelOutput->isVisible())
        ui->groupBox_channelOutput->setEnabled(true);
    ui->groupBox_channelAttenuation->setEnabled(true);
    ui->groupBox_Interval->setEnabled(true);
    ui->tbn_startplayback->setEnabled(true);
    ui->tbn_startplayback->setText(tr("开始回放"));
    ui->tbn_stopplayback->setEnabled(false);
    ui->tbn_timeplayback->setEnabled(true);
    holdOpen();
}

void PlayBackSet::holdOpen()
{
    if (!m_replies)
        return;
    m_replies->hold(ui->tbn_startplayback, ControlStartPlayback);
    m_replies->hold(ui->tbn_timeplayback, ControlStartPlayback);
    m_replies->hold(ui->tbn_stopplayback, ControlStopPlayback);
}

void PlayBackSet::SetPlayingUi()
{
    ui->tableView_freq->setEnabled(false);
    ui->groupBox_playback->setEnabled(true);
    ui->groupBox_times->setEnabled(false);
    ui->groupBox_triggleMode->setEnabled(false);
    if (ui->groupBox_channelOutput->isVisible())
        ui->groupBox_channelOutput->setEnabled(true);
    ui->groupBox_channelAttenuation->setEnabled(true);
    ui->groupBox_Interval->setEnabled(false);
    ui->tbn_startplayback->setEnabled(false);
    ui->tbn_stopplayback->setEnabled(true);
    ui->tbn_timeplayback->setEnabled(false);
    holdOpen();
}

void PlayBackSet::SetWaitingUi()
{
    ui->tableView_freq->setEnabled(false);
    ui->groupBox_playback->setEnabled(false);
}

// ---- run state, start and stop ----------------------------------------------------------------

void PlayBackSet::slot_ChangeState(SystemState state)
{
    qDebug() << "回放同步状态"
             << "全局 slot_ChangeState" << int(state);
    switch (state) {
    case SystemState::Idle:
        ProgressPoll->stop();
        SetIdleUi();
        break;
    case SystemState::Playback:
        if (!ProgressPoll->isActive())
            ProgressPoll->start();
        SetPlayingUi();
        break;
    default:
        ProgressPoll->stop();
        SetWaitingUi();
        break;
    }
}

void PlayBackSet::takeStartParameters()
{
    StartRecord = SelectedRecord;
    ExternalTrigger = !ui->radiobtn_SyncInside->isChecked();
    StartLoopTimes = ui->rdb_nolimit->isChecked() ? 0u : uint(ui->spb_loopTimes->value());
    StartPosition = uint(intervalLeft());
    StartDuration = uint(intervalRight() - intervalLeft());
    if (ui->groupBox_channelOutput->isEnabled() && ui->groupBox_channelOutput->isVisible()) {
        ProtocolManager* protocol = ProtocolManager::instance();
        protocol->SetOutputChannel(1, ui->checkBox_output_1->isChecked());
        protocol->SetOutputChannel(2, ui->checkBox_output_2->isChecked());
    }
}

bool PlayBackSet::sendStart(const QString& buttonText, uint startTime)
{
    if (m_replies->refused(ControlStartPlayback))
        return false;
    takeStartParameters();
    ui->tbn_startplayback->setText(buttonText);
    SetWaitingUi();
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "发送回放信号,等待设备响应"));
    if (ProtocolManager::instance()->StartPlaybackCmd(StartRecord, StartLoopTimes, StartPosition, StartDuration,
                                                      ExternalTrigger, startTime, 0, replyOwner()))
        return true;
    SetIdleUi();
    // Only a failed hand-off lands here; the service's last error text belongs to some earlier
    // reply, so the user is told what did fail.
    showError(tr("启动失败"), ReplyWords::notSent());
    return false;
}

void PlayBackSet::on_tbn_startplayback_clicked()
{
    if (SelectedRecord == 0) {
        showError(tr("错误"), tr("请选择一条记录进行回放"));
        return;
    }
    const SystemState state = RunStatus::CurrentStatus();
    if (state == SystemState::Idle) {
        if (!sendStart(tr("准备中..."), 0))
            return;
        qDebug() << "/****************************  启动回放  **********************************/";
        qDebug() << "      回放记录名：" << StartRecord;
        qDebug() << "      循环次数：" << StartLoopTimes;
        qDebug() << "      回放开始位置：" << StartPosition;
        qDebug() << "      回放持续时间：" << StartDuration;
        qDebug() << "      触发模式：" << (ExternalTrigger ? "true" : "false");
        qDebug() << "/**************************************************************************/";
    } else if (state == SystemState::Playback) {
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "设备已在回放状态中"));
    }
    ui->tableView_freq->setEnabled(false);
}

void PlayBackSet::on_tbn_timeplayback_clicked()
{
    if (SelectedRecord == 0) {
        showError(tr("错误"), tr("请选择一条记录进行回放"));
        return;
    }
    const SystemState state = RunStatus::CurrentStatus();
    if (state == SystemState::Idle) {
        // The selector drops the connection when it hides, chosen or not.
        TimeSeletor* selector = TimeSeletor::instance();
        connect(selector, &TimeSeletor::SetDateTime, this, &PlayBackSet::slot_time_playback_confrim);
        selector->currentMode = 0;
        WindowPresenter::present(selector);
    } else if (state == SystemState::Playback) {
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "设备已在回放状态中"));
    }
    // The table stays disabled when the selector is closed without a choice; the next layout
    // change enables it again.
    ui->tableView_freq->setEnabled(false);
}

void PlayBackSet::slot_time_playback_confrim(uint dateTime, uchar currentMode)
{
    Q_UNUSED(currentMode)
    if (RunStatus::CurrentStatus() != SystemState::Idle || SelectedRecord == 0)
        return;
    sendStart(tr("等待中..."), dateTime);
}

void PlayBackSet::on_tbn_stopplayback_clicked()
{
    if (RunStatus::CurrentStatus() != SystemState::Playback) {
        ui->tableView_freq->setEnabled(true);
        return;
    }
    if (m_replies->refused(ControlStopPlayback))
        return;
    SetWaitingUi();
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "发送停止信号,等待设备响应"));
    if (!ProtocolManager::instance()->StopPlaybackCmd(replyOwner())) {
        SetPlayingUi();
        showError(tr("停止回放失败"), tr("停止回放失败，请重试"));
        return;
    }
    // The playback group stays disabled until the reply.
    ui->tableView_freq->setEnabled(true);
}

void PlayBackSet::slot_ControlResult(uchar type, bool success)
{
    // Another page's command, such as a collection, neither answers nor ends this page's wait.
    if (type != ControlStartPlayback && type != ControlStopPlayback)
        return;
    if (success) {
        if (type == ControlStartPlayback) {
            // A started playback takes the attenuation that the page shows.
            on_spb_AttenPower_valueChanged(ui->spb_AttenPower->value());
            SetPlayingUi();
        } else if (type == ControlStopPlayback) {
            SetIdleUi();
        }
    } else if (type == ControlStartPlayback) {
        SetIdleUi();
        showError(tr("启动回放失败"), tr("设备上报失败"));
    } else if (type == ControlStopPlayback) {
        SetPlayingUi();
        showError(tr("停止回放失败"), tr("设备上报失败"));
    }
}

ReplyOwner PlayBackSet::replyOwner()
{
    return m_replies->owner();
}

quint8 PlayBackSet::pendingControlCode() const
{
    return m_replies->pending();
}

// ---- progress and device state ----------------------------------------------------------------

void PlayBackSet::onProgressPoll()
{
    if (RunStatus::CurrentStatus() != SystemState::Playback) {
        ProgressPoll->stop();
        return;
    }
    ProtocolManager::instance()->SendCmd(Msg_Type::System, Msg_Cmd::Progress, Target_Dev::Device);
}

void PlayBackSet::slot_UpdateProgress(uint position, uint loopTimes)
{
    if (RunStatus::CurrentStatus() != SystemState::Playback)
        return;
    if (PlaybackTotal != 0) {
        const double percent = std::trunc(double(position) / double(PlaybackTotal) * 100.0);
        // A position past the total would be dropped by the bar and leave it behind.
        ui->progressBar->setValue(int(qBound(0.0, percent, 100.0)));
    }
    if (loopTimes >= 1 && loopTimes <= kStopReplyLoop - 1)
        ui->tbn_startplayback->setText(tr("第%1次回放").arg(loopTimes));
}

void PlayBackSet::slot_SyncDeviceState(SyncDeviceState state_info)
{
    const PlaybackParam& play = state_info.Playback;
    qDebug() << "void PlayBackSet::slot_SyncDeviceState(SyncDeviceState)"
             << "同步信息！!!!!!!!!" << play.Duration << PlayableRecords.size();
    const SystemState state = SystemState(state_info.State);
    m_replies->stateReported(state);
    if (state == SystemState::Playback) {
        SetPlayingUi();
        PlaybackTotal = play.Duration;
        if (const RecordEx* record = playableRecord(play.RecordName)) {
            const uint recordDuration = recordUInt(*record, RecordKey::Duration);
            if (PlaybackTotal == 0)
                PlaybackTotal = recordDuration;
            showRecordDetails(*record, play.RecordName);
            // The labels show the reported part of the record. The slider is left alone: it
            // holds what the next start from here sends, the whole selected record, and a
            // hidden part of some other record must not become that.
            const quint64 end = quint64(play.StartPosition) + PlaybackTotal;
            const auto clip = [](quint64 v) { return int(qMin<quint64>(v, quint64(std::numeric_limits<int>::max()))); };
            onIntervalChanged(clip(play.StartPosition), clip(end));
            ui->label_durationTime->setText(duration(recordDuration));
        }
        ui->radiobtn_SyncOutside->setChecked(play.TriggerMode == 1);
        ui->radiobtn_SyncInside->setChecked(play.TriggerMode != 1);
        if (play.LoopCount != 0) {
            qDebug() << "计次回放" << play.LoopCount;
            ui->rdb_nolimit->setChecked(false);
            ui->spb_loopTimes->setValue(int(qMin<quint32>(play.LoopCount, quint32(ui->spb_loopTimes->maximum()))));
            ui->spb_loopTimes->setEnabled(true);
        } else {
            qDebug() << "循环回放";
            ui->rdb_nolimit->setChecked(true);
            ui->spb_loopTimes->setValue(0);
            ui->spb_loopTimes->setEnabled(false);
        }
        if (!ProgressPoll->isActive())
            ProgressPoll->start();
    } else if (state == SystemState::Idle) {
        SetIdleUi();
    } else {
        SetWaitingUi();
    }
}

void PlayBackSet::onLinkState(bool up)
{
    // The state report that follows a connection sets the layout.
    if (up)
        return;
    // Nothing asked on the lost link is answered; the main window names what went unconfirmed.
    ProgressPoll->stop();
    SetWaitingUi();
}

void PlayBackSet::on_rdb_nolimit_clicked(bool checked)
{
    ui->spb_loopTimes->setValue(checked ? 0 : 1);
    ui->spb_loopTimes->setEnabled(!checked);
}

// ---- record table and details -----------------------------------------------------------------

QString PlayBackSet::recordTimeText(quint32 seconds, const QString& format)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds)).toString(format);
}

QString PlayBackSet::bitText(const RecordEx& record)
{
    return RecordText::bitWidth(recordUInt(record, RecordKey::Bit), ConfigSetting::instance()->isLeo());
}

QString PlayBackSet::bandwidthText(const RecordEx& record)
{
    return QStringLiteral("%1 MHz").arg(double(recordUInt(record, RecordKey::Bandwidth)) / 1000000.0);
}

QString PlayBackSet::sampleRateText(const RecordEx& record)
{
    return QStringLiteral("%1 MSPS").arg(double(recordUInt(record, RecordKey::SampleRate)) / 1000000.0);
}

QString PlayBackSet::bandCellText(const RecordEx& record, int channel)
{
    if (channel - 1 >= int(recordUInt(record, RecordKey::FreqNum)))
        return ValueText::none();
    const uint id = record.getSectionValue(RecordKey::freqSection(channel), RecordKey::Num, 0).toUInt();
    const auto& bands = ProtocolManager::instance()->freqBands;
    const auto found = bands.constFind(id);
    if (found == bands.constEnd())
        return tr("不支持的频段:%1").arg(id);
    return found->custom ? QStringLiteral("*") + found->name : found->name;
}

QString PlayBackSet::bandLines(const RecordEx& record)
{
    QStringList lines;
    const int channels = channelCount();
    const auto& bands = ProtocolManager::instance()->freqBands;
    for (int c = 1; c <= channels; ++c) {
        if (c - 1 >= int(recordUInt(record, RecordKey::FreqNum))) {
            lines << QStringLiteral("[%1] %2").arg(c).arg(ValueText::none());
            continue;
        }
        const uint id = record.getSectionValue(RecordKey::freqSection(c), RecordKey::Num, 0).toUInt();
        if (bands.contains(id))
            lines << QStringLiteral("[%1] %2").arg(c).arg(bandCellText(record, c));
        else
            lines << tr("[%2] 不支持的频段:%1").arg(id).arg(c);
    }
    return lines.join(QLatin1Char('\n'));
}

QString PlayBackSet::capabilityText(const RecordEx& record)
{
    ProtocolManager* protocol = ProtocolManager::instance();
    QString text;
    if (protocol->IsBandwidthEnable())
        text = bandwidthText(record);
    if (protocol->IsSampleRateEnable()) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += sampleRateText(record);
    }
    return text;
}

void PlayBackSet::InitTableHeader()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    const quint32 chosen = SelectedRecord;
    RecordModel->setColumnCount(0);
    QStringList labels{tr("记录名"), tr("开始时间"), tr("采集时长"), tr("位宽")};
    if (protocol->IsBandwidthEnable())
        labels << tr("带宽");
    if (protocol->IsSampleRateEnable())
        labels << tr("采样率");
    for (int c = 1; c <= channelCount(); ++c)
        labels << tr("频段%1").arg(c);
    labels << tr("备注");
    RecordModel->setHorizontalHeaderLabels(labels);
    // Emptying the columns blanked every row, names included: the records shown are laid out
    // again, the chosen one still chosen, or a blank row would stand for a record of no name.
    if (RecordModel->rowCount() > 0) {
        RecordModel->removeRows(0, RecordModel->rowCount());
        fillRows();
        ui->tableView_freq->resizeColumnsToContents();
        const int row = chosen != 0 ? rowOfRecord(chosen) : -1;
        if (row >= 0)
            SelectionModel->select(RecordModel->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    RecordValueCaption::apply(protocol, ui->label_ext, ui->label_ext_data);
    if (SelectedRecord == 0)
        ui->label_ext_data->setText(RecordValueCaption::noValues(protocol));

    // A chosen record shows one band line per channel: the room is there from the start, so
    // the controls below stay under the pointer when the details fill in.
    const QFontMetrics metrics(ui->txt_freqPoint->font());
    const QMargins margins = ui->txt_freqPoint->contentsMargins();
    ui->txt_freqPoint->setMinimumHeight(metrics.lineSpacing() * qMax(1, channelCount()) + margins.top()
                                        + margins.bottom() + 2 * ui->txt_freqPoint->margin());
}

// One mark for every value while no record is chosen, rather than zeros that read as values.
void PlayBackSet::clearDetails()
{
    for (QLabel* value :
         {ui->label_recordname, ui->txt_freqPoint, ui->label_bitwide, ui->label_collectTime, ui->label_durationTime})
        value->setText(RecordText::noValue());
    ui->label_ext_data->setText(RecordValueCaption::noValues(ProtocolManager::instance()));
}

void PlayBackSet::fillRows()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    const bool bandwidth = protocol->IsBandwidthEnable();
    const bool sampleRate = protocol->IsSampleRateEnable();
    const int channels = channelCount();
    for (const RecordEx& record : qAsConst(PlayableRecords)) {
        const quint32 name = recordUInt(record, RecordKey::Name);
        const int row = RecordModel->rowCount();
        RecordModel->insertRow(row);
        int column = 0;
        auto cell = [&](const QString& text) {
            RecordModel->setData(RecordModel->index(row, column++), text, Qt::EditRole);
        };
        cell(recordTimeText(name, kNameFormat));
        RecordModel->setData(RecordModel->index(row, 0), name, Qt::UserRole);
        cell(recordTimeText(recordUInt(record, RecordKey::StartTime), kTimeFormat));
        cell(duration(recordUInt(record, RecordKey::Duration)));
        cell(bitText(record));
        if (bandwidth)
            cell(bandwidthText(record));
        if (sampleRate)
            cell(sampleRateText(record));
        for (int c = 1; c <= channels; ++c)
            cell(bandCellText(record, c));
        cell(record.RecordValue(RecordKey::Remark, QString()).toString());
    }
}

void PlayBackSet::slot_RecordListReady()
{
    // Removing the rows clears the selection; the selected name is kept for below whether or
    // not the selection model reports the removal.
    if (SelectedRecord != 0)
        PreviousSelection = SelectedRecord;
    RecordModel->removeRows(0, RecordModel->rowCount());
    SelectedRecord = 0;
    ui->lab_startTime->setText(QStringLiteral("00:00:00"));
    ui->lab_stopTime->setText(QStringLiteral("00:00:00"));
    ui->lab_playbackTime->setText(QStringLiteral("%1S").arg(0));
    clearDetails();
    PlayableRecords.clear();

    bool reselect = false;
    for (const RecordEx& record : qAsConst(RecordAssist::instance()->Records)) {
        if (!isPlayable(record))
            continue;
        PlayableRecords << record;
        if (!reselect && PreviousSelection != 0 && recordUInt(record, RecordKey::Name) == PreviousSelection) {
            CurrentRecord = record;
            reselect = true;
        }
    }
    fillRows();

    // Names and times are long; the remark takes what is left.
    ui->tableView_freq->resizeColumnsToContents();
    if (reselect) {
        // Selected through the model, as the table may be disabled meanwhile.
        const QModelIndex index = RecordModel->index(rowOfRecord(PreviousSelection), 0);
        SelectionModel->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        SelectionModel->clearSelection();
        CurrentRecord.InitDefaults();
    }
    PreviousSelection = 0;
    ui->tbn_stopplayback->setEnabled(false);
    ui->tbn_startplayback->setEnabled(true);
}

int PlayBackSet::rowOfRecord(quint32 name) const
{
    for (int row = 0; row < RecordModel->rowCount(); ++row)
        if (RecordModel->index(row, 0).data(Qt::UserRole).toUInt() == name)
            return row;
    return -1;
}

const RecordEx* PlayBackSet::playableRecord(quint32 name) const
{
    for (const RecordEx& record : PlayableRecords)
        if (recordUInt(record, RecordKey::Name) == name)
            return &record;
    return nullptr;
}

void PlayBackSet::slot_selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    Q_UNUSED(deselected)
    const int firstRow = selected.isEmpty() ? -1 : selected.indexes().value(0).row();
    qDebug() << "slot_SelectionData" << (selected.isEmpty() ? "true" : "false") << selected.size() << firstRow;
    if (selected.isEmpty()) {
        PreviousSelection = SelectedRecord;
        SelectedRecord = 0;
        ui->lab_startTime->setText(QStringLiteral("00:00:00"));
        ui->lab_stopTime->setText(QStringLiteral("00:00:00"));
        ui->lab_playbackTime->setText(QStringLiteral("%1S").arg(0));
        clearDetails();
        return;
    }

    SelectedRecord = 0;
    const quint32 name = RecordModel->index(firstRow, 0).data(Qt::UserRole).toUInt();
    const RecordEx* record = name != 0 ? playableRecord(name) : nullptr;
    if (!record)
        return;
    CurrentRecord = *record;
    SelectedRecord = name;

    PlaybackTotal = recordUInt(CurrentRecord, RecordKey::Duration);
    setInterval(0, PlaybackTotal, PlaybackTotal);
    ui->label_recordname->setText(recordTimeText(name, kNameFormat));
    ui->lab_startTime->setText(QStringLiteral("00:00:00"));
    ui->lab_stopTime->setText(duration(PlaybackTotal));
    ui->lab_playbackTime->setText(QStringLiteral("%1S").arg(PlaybackTotal));
    showRecordDetails(CurrentRecord, recordUInt(CurrentRecord, RecordKey::StartTime));
    ui->label_durationTime->setText(duration(recordUInt(CurrentRecord, RecordKey::Duration)));
    const QString capabilities = capabilityText(CurrentRecord);
    if (!capabilities.isEmpty())
        ui->label_ext_data->setText(capabilities);
}

void PlayBackSet::showRecordDetails(const RecordEx& record, quint32 collectTime)
{
    ui->label_recordname->setText(recordTimeText(recordUInt(record, RecordKey::Name), kNameFormat));
    ui->txt_freqPoint->setText(bandLines(record));
    ui->label_bitwide->setText(bitText(record));
    ui->label_collectTime->setText(recordTimeText(collectTime, kTimeFormat));
}

void PlayBackSet::onDeleteAllRecords()
{
    // The playable copies stay until the next refill.
    RecordModel->removeRows(0, RecordModel->rowCount());
}

// ---- interval ---------------------------------------------------------------------------------

int PlayBackSet::intervalLeft() const
{
    return IntervalSlider->getLeftValue();
}

int PlayBackSet::intervalRight() const
{
    return IntervalSlider->getRightValue();
}

void PlayBackSet::setInterval(uint start, uint end, uint total)
{
    // The slider holds ints; no record comes near their end.
    const auto clip = [](uint v) { return int(qMin<uint>(v, uint(std::numeric_limits<int>::max()))); };
    IntervalSlider->setRange(0, clip(total));
    if (start == 0) {
        IntervalSlider->setLeftValue(0);
        IntervalSlider->setRightValue(clip(end));
    } else {
        IntervalSlider->setCurrentRange(clip(start), clip(end));
    }
}

void PlayBackSet::onIntervalChanged(int left, int right)
{
    ui->lab_startTime->setText(duration(uint(left)));
    ui->lab_stopTime->setText(duration(uint(right)));
    ui->lab_playbackTime->setText(QStringLiteral("%1S").arg(right - left));
}

// ---- output channels and attenuation ----------------------------------------------------------

// The mark lives in a property rather than in the object's user-data slot: that slot owns and
// deletes what it holds, which a bare number is not.
void PlayBackSet::mark(QObject* control)
{
    control->setProperty(kReportMarkProperty, kReportMark);
}

void PlayBackSet::clearMark(QObject* control)
{
    control->setProperty(kReportMarkProperty, QVariant());
}

bool PlayBackSet::isMarked(const QObject* control)
{
    return control && control->property(kReportMarkProperty).toInt() == kReportMark;
}

bool PlayBackSet::takeMark(QObject* control)
{
    if (!isMarked(control))
        return false;
    clearMark(control);
    return true;
}

void PlayBackSet::on_checkBox_output_1_clicked()
{
    ProtocolManager::instance()->SetOutputChannel(1, ui->checkBox_output_1->isChecked());
}

void PlayBackSet::on_checkBox_output_2_clicked()
{
    ProtocolManager::instance()->SetOutputChannel(2, ui->checkBox_output_2->isChecked());
}

void PlayBackSet::on_checkBox_AllChannel_clicked(bool checked)
{
    ui->spb_AttenChannel->setEnabled(!checked);
}

void PlayBackSet::on_spb_AttenPower_valueChanged(int value)
{
    if (takeMark(sender()))
        return;
    ui->hSlider_AttenPower->setValue(value);
    const uchar channel = ui->checkBox_AllChannel->isChecked() ? uchar(255) : uchar(ui->spb_AttenChannel->value());
    ProtocolManager::instance()->SetAttenuationPower(channel, uint(value));
}

void PlayBackSet::on_hSlider_AttenPower_valueChanged(int value)
{
    if (takeMark(sender()))
        return;
    // The spin box's own change sends the command.
    ui->spb_AttenPower->setValue(value);
}

void PlayBackSet::onAttenuationReport(uchar channel, uint power)
{
    Q_UNUSED(channel)
    const int value = int(qMin<uint>(power, uint(ui->spb_AttenPower->maximum())));
    // A control already at the value emits nothing and would keep its mark, swallowing the
    // user's next change: the marks are cleared again after each set.
    mark(ui->spb_AttenPower);
    ui->spb_AttenPower->setValue(value);
    clearMark(ui->spb_AttenPower);
    mark(ui->hSlider_AttenPower);
    ui->hSlider_AttenPower->setValue(value);
    clearMark(ui->hSlider_AttenPower);
}
