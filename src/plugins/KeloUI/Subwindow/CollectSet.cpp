#include "CollectSet.h"

#include "ui_CollectSet.h"

#include "MessageDialog.h"
#include "ReceiverCNR.h"
#include "RunCommandReplies.h"
#include "TimeSeletor.h"

#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <ReplyWords.h>
#include <RunStatus.h>
#include <WindowPresenter.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpacerItem>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <cstdlib>
#include <utility>

namespace {
constexpr int kRoleBandId = Qt::UserRole;         // 256
constexpr int kRoleCentreFreq = Qt::UserRole + 1; // 257
constexpr int kRoleCustom = Qt::UserRole + 2;     // 258
const char* const kInner = "inner";
const char* const kRowNumber = "rowNumber";
const char* const kMarker = "reportMarker";

ProtocolManager* pm()
{
    return ProtocolManager::instance();
}

SystemState runState()
{
    return RunStatus::CurrentStatus();
}

bool isCollectingOrForwarding()
{
    const SystemState s = runState();
    return s == SystemState::Collecting || s == SystemState::Forwarding;
}

QString mhz(double hertz)
{
    return QString::number(hertz / 1e6, 'g', 6);
}

QString centreFrequencyText(uint hertz)
{
    return QObject::tr("(中心频率: %1 MHz)").arg(QString::number(hertz / 1e6, 'f', 3));
}

QFont rowFont()
{
    return QFont(QStringLiteral("Source Han Sans SC"), 12);
}

const ConfigSetting* configSetting()
{
    return ConfigSetting::instance();
}
} // namespace

CollectSet::CollectSet(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::CollectSet)
{
    m_recordNameClock = new QTimer(this);
    m_channelLayout = new QGridLayout;
    ui->setupUi(this);
    RunCommandReplies::Texts texts;
    texts.startCode = ControlStartRecord;
    texts.stopCode = ControlStopRecord;
    texts.startTitle = tr("启动采集/转发");
    texts.stopTitle = tr("停止采集/转发");
    texts.startFailed = tr("启动采集/转发失败");
    texts.stopFailed = tr("停止采集/转发失败");
    texts.lateStarted = tr("设备在响应超时后已开始采集/转发");
    texts.lateStopped = tr("设备在响应超时后已停止采集/转发");
    texts.lateStartRefused = QT_TRANSLATE_NOOP("FileLogger", "启动采集/转发：设备在超时后报告失败");
    texts.lateStopRefused = QT_TRANSLATE_NOOP("FileLogger", "停止采集/转发：设备在超时后报告失败");
    texts.running = {SystemState::Collecting, SystemState::Forwarding};
    texts.stateNames = {{SystemState::Forwarding, tr("转发中")},
                        {SystemState::Collecting, tr("采集中")},
                        {SystemState::Idle, tr("空闲中")}};
    texts.otherState = tr("其他工作状态");
    m_replies = std::make_unique<RunCommandReplies>(
        this, texts, [this] { applyIdleLayout(); }, [this] { applyBusyLayout(); });

    ConfigSetting* config = ConfigSetting::instance();
    m_showMode = config->GetInit(ConfigKey::ShowMode).toString();
    m_transportMode = config->GetInit(ConfigKey::TransportMode).toUInt();

    setupPage();
    setupDebugGroup();

    ProtocolManager* protocol = pm();
    connect(protocol, &ProtocolManager::GetDeviceSettingsFinished, this, &CollectSet::slot_GetDeviceSettingsFinished);
    connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this, &CollectSet::slot_ChangeState);
    connect(this, &CollectSet::PrintSystemLog, FileLogger::instance(), &FileLogger::slot_LogMessage);
    connect(protocol, &ProtocolManager::UpdateDeviceState, this, &CollectSet::slot_SyncDeviceState);
    connect(protocol, &ProtocolManager::ProgressUpdate, this, &CollectSet::slot_UpdateProgress);
    connect(protocol, &ProtocolManager::ControlResult, this, &CollectSet::slot_ControlResult);
    connect(protocol, &ProtocolManager::NetSuccess, this, &CollectSet::onLinkState, Qt::DirectConnection);
    connect(protocol, &ProtocolManager::UpdateBandwidth, this, &CollectSet::slot_UpdateBandwidth);
    m_progressPoll = new QTimer(this);
    m_progressPoll->setInterval(kProgressPollMs);
    m_stopEnableTimer = new QTimer(this);
    m_stopEnableTimer->setInterval(kStopEnableDelayMs);
    // Once per run: a repeating one would enable 停止 again after a link loss, before the state
    // report says whether the run still goes.
    m_stopEnableTimer->setSingleShot(true);
    connect(m_progressPoll, &QTimer::timeout, this, &CollectSet::onProgressPoll, Qt::DirectConnection);
    connect(m_stopEnableTimer, &QTimer::timeout, this, &CollectSet::onStopEnable, Qt::DirectConnection);
    connect(protocol, &ProtocolManager::AttenuationPowerChanged, this, &CollectSet::onAttenuationChanged);

    if (!ui->radiobtn_TimingMode->isChecked()) {
        m_startTime = 0;
        m_stopTime = 0;
    }
    ui->gpb_StartMode->hide();
    applyDisabledLayout();
}

CollectSet::~CollectSet()
{
    delete ui;
}

void CollectSet::setStopEnableDelayForTest(int ms)
{
    m_stopEnableTimer->setInterval(ms);
}

void CollectSet::setupPage()
{
    ui->txt_recordName->setEnabled(false);
    applyDisabledLayout();
    ui->stackedWidget_feature_1->setCurrentWidget(ui->page_bit);

    if (configSetting()->isTransponder()) {
        ui->groupBox_recordParm->setTitle(tr("转发参数"));
        ui->gpb_SyncMode->setEnabled(false);
        ui->gpb_SyncMode->hide();
        ui->label_recordtitle->setText(tr("当前时间："));
        if (configSetting()->isCheat()) {
            ui->stackedWidget_feature_1->setCurrentWidget(ui->page_forward);
            connect(pm(), &ProtocolManager::UpdateTranspondDelay, this, &CollectSet::onTranspondDelay);
        }
    }

    ui->widget_sampleinfo->hide();
    ui->widget_sampleinfo->setEnabled(false);

    if (configSetting()->isCpci()) {
        ui->gpb_SyncMode->setEnabled(false);
        ui->gpb_SyncMode->hide();
    } else {
        ui->groupBox_channelOutput->setEnabled(false);
        ui->stackedWidget_feature_2->hide();
    }

    ui->groupBox_channelAttenuation->hide();
    ui->groupBox_channelAttenuation->setEnabled(false);

    m_recordNameClock->setInterval(1000);
    connect(m_recordNameClock, &QTimer::timeout, this, &CollectSet::recordNameTimerEvent);
    m_recordNameClock->start();
    recordNameTimerEvent();

    ui->txt_Note->setStyleSheet(QStringLiteral("border-radius:10px"));
    ui->txt_Note->setContextMenuPolicy(Qt::NoContextMenu);
    m_channelLayout->setContentsMargins(0, 0, 0, 0);
    ui->freqwidget->setLayout(m_channelLayout);
    ui->freqwidget->setContentsMargins(0, 0, 0, 0);
}

void CollectSet::setupDebugGroup()
{
    ConfigSetting* config = ConfigSetting::instance();
    const bool loop = config->GetInit(ConfigKey::DebugLoopRecord).toBool();
    const bool random = config->GetInit(ConfigKey::DebugRandomAttenuation).toBool();
    ui->groupBox_debug->setVisible(loop || random);
    ui->groupBox_debug->setEnabled(loop || random);

    if (loop) {
        m_loopTestTimer.setInterval(1000);
        connect(&m_loopTestTimer, &QTimer::timeout, this, &CollectSet::onLoopTest);
    } else {
        ui->groupBox_recordtest->hide();
        ui->groupBox_recordtest->setEnabled(false);
    }
    if (random) {
        connect(&m_randomAttenuationTimer, &QTimer::timeout, this, &CollectSet::onRandomAttenuation);
    } else {
        ui->groupBox_attenuationtest->hide();
        ui->groupBox_attenuationtest->setEnabled(false);
    }
}

// ---- layouts by run state ---------------------------------------------------------------------

void CollectSet::applyIdleLayout()
{
    restoreSelections();
    ui->cbx_bitwidth->setEnabled(true);
    ui->groupBox_channelAttenuation->setEnabled(true);
    if (!ui->stackedWidget_feature_2->isHidden() && ui->stackedWidget_feature_2->currentWidget() == ui->page_output)
        ui->groupBox_channelOutput->setEnabled(true);
    else
        ui->checkBox_serialrecord->setEnabled(currentBitWidth() > 7);
    ui->gpb_SyncMode->setEnabled(true);
    ui->gpb_StartMode->setEnabled(true);
    ui->ptn_StartCollect->setEnabled(true);
    ui->ptn_StartCollect->setText(tr("开始"));
    ui->ptn_StopCollect->setEnabled(false);
    m_stopUnlocked = false;
    m_runName = 0;
    ui->freqwidget->setEnabled(true);
    ui->txt_Note->setReadOnly(false);
    holdOpen();
}

void CollectSet::holdOpen()
{
    if (!m_replies)
        return;
    m_replies->hold(ui->ptn_StartCollect, ControlStartRecord);
    m_replies->hold(ui->ptn_StopCollect, ControlStopRecord);
}

void CollectSet::applyBusyLayout()
{
    ui->cbx_bitwidth->setEnabled(false);
    ui->groupBox_channelAttenuation->setEnabled(true);
    if (!ui->stackedWidget_feature_2->isHidden() && ui->stackedWidget_feature_2->currentWidget() == ui->page_output)
        ui->groupBox_channelOutput->setEnabled(true);
    else
        ui->checkBox_serialrecord->setEnabled(false);
    ui->gpb_SyncMode->setEnabled(false);
    ui->gpb_StartMode->setEnabled(false);
    ui->ptn_StartCollect->setEnabled(false);
    ui->ptn_StopCollect->setEnabled(true);
    ui->freqwidget->setEnabled(false);
    ui->txt_Note->setReadOnly(true);

    // A collection cannot be stopped in its first seconds; a forwarding run can. Once unlocked
    // it stays so for the run: a state report of the same run (some instruments send one every
    // second) locks nothing again, nor puts the unlock off.
    if (runState() != SystemState::Forwarding && !m_stopUnlocked) {
        ui->ptn_StopCollect->setEnabled(false);
        if (!m_stopEnableTimer->isActive())
            m_stopEnableTimer->start();
    }
    holdOpen();
}

void CollectSet::unlockStop()
{
    m_stopEnableTimer->stop();
    m_stopUnlocked = true;
    ui->ptn_StopCollect->setEnabled(true);
    holdOpen();
}

void CollectSet::applyDisabledLayout()
{
    ui->cbx_bitwidth->setEnabled(false);
    ui->groupBox_channelAttenuation->setEnabled(false);
    if (!ui->stackedWidget_feature_2->isHidden() && ui->stackedWidget_feature_2->currentWidget() == ui->page_output)
        ui->groupBox_channelOutput->setEnabled(false);
    ui->checkBox_serialrecord->setEnabled(false);
    ui->gpb_SyncMode->setEnabled(false);
    ui->gpb_StartMode->setEnabled(false);
    ui->ptn_StartCollect->setEnabled(false);
    ui->ptn_StopCollect->setEnabled(false);
    ui->freqwidget->setEnabled(false);
    ui->txt_Note->setReadOnly(true);
}

// ---- run state, progress, link ----------------------------------------------------------------

void CollectSet::recordNameTimerEvent()
{
    m_recordNameTime = QDateTime::currentDateTime();
    ui->txt_recordName->setText(m_recordNameTime.toString(QStringLiteral("yyyyMMddhhmmss")));
    m_param.RecordName = quint32(m_recordNameTime.toSecsSinceEpoch());
}

void CollectSet::slot_ChangeState(SystemState state)
{
    switch (state) {
    case SystemState::Collecting:
        m_recordNameClock->stop();
        pm()->SendCmd(Msg_Type::System, Msg_Cmd(7), Target_Dev::Device);
        if (!m_progressPoll->isActive())
            m_progressPoll->start();
        if (m_forwarding && configSetting()->isCpci())
            showReceiverOutput();
        break;
    case SystemState::Idle:
        recordNameTimerEvent();
        m_recordNameClock->start();
        m_progressPoll->stop();
        applyIdleLayout();
        break;
    case SystemState::Forwarding:
        m_progressPoll->stop();
        applyBusyLayout();
        ui->ptn_StartCollect->setText(tr("转发中"));
        m_recordNameClock->stop();
        unlockStop();
        break;
    default:
        ui->ptn_StartCollect->setText(tr("不可用"));
        applyDisabledLayout();
        m_recordNameClock->start();
        m_progressPoll->stop();
        break;
    }
}

void CollectSet::onProgressPoll()
{
    if (runState() == SystemState::Collecting)
        pm()->SendCmd(Msg_Type::System, Msg_Cmd(7), Target_Dev::Device);
    else
        m_progressPoll->stop();
}

void CollectSet::onStopEnable()
{
    if (isCollectingOrForwarding())
        unlockStop();
    holdOpen();
}

void CollectSet::slot_UpdateProgress(uint progress, uint times)
{
    Q_UNUSED(times);
    if (runState() != SystemState::Collecting)
        return;
    ui->ptn_StartCollect->setEnabled(false);
    ui->ptn_StartCollect->setText(RecordAssist::GetRecordTimeString(progress));
    ui->ptn_StartCollect->setProperty("time", progress);
    if (progress >= 6 && m_stopEnableTimer->isActive())
        unlockStop();
}

void CollectSet::onLinkState(bool up)
{
    // The state report that follows a reconnection enables the page again.
    if (up)
        return;
    // Nothing asked on the lost link is answered; the main window names what went unconfirmed.
    m_progressPoll->stop();
    m_stopEnableTimer->stop();
    // Back on the link, the state report says whether the run goes on; its progress unlocks again.
    m_stopUnlocked = false;
    applyDisabledLayout();
}

// ---- start, stop, replies ---------------------------------------------------------------------

void CollectSet::on_ptn_StartCollect_clicked()
{
    if (m_replies->refused(ControlStartRecord))
        return;
    if (runState() != SystemState::Idle) {
        MessageDialog::ShowMessage(tr("采集"), tr("当前处于其他工作状态，采集不可用!!"), 2);
        return;
    }
    if (m_rowWidgets.isEmpty()) {
        MessageDialog::ShowMessage(tr("提示"), tr("无可用通道!"), 3);
        return;
    }
    if (!buildRecordParam())
        return;

    ProtocolManager* protocol = pm();
    if (ui->stackedWidget_feature_2->currentWidget() == ui->page_output && ui->groupBox_channelOutput->isEnabled()) {
        protocol->SetOutputChannel(1, ui->checkBox_output_1->isChecked());
        protocol->SetOutputChannel(2, ui->checkBox_output_2->isChecked());
    }
    ui->ptn_StartCollect->setText(tr("等待中"));
    applyDisabledLayout();
    if (configSetting()->isTransponder() && configSetting()->isCheat())
        protocol->SetTranspondDelay(int(ui->lineEdit_forward->text().toUInt()));

    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "发送开始采集指令，等待设备响应"));
    if (!protocol->StartRecordCmd(m_param, replyOwner())) {
        MessageDialog::ShowMessage(tr("启动失败"), ReplyWords::notSent(), 1);
        applyIdleLayout();
    }
}

void CollectSet::on_ptn_StopCollect_clicked()
{
    if (!isCollectingOrForwarding() || m_replies->refused(ControlStopRecord))
        return;
    applyDisabledLayout();
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "已发送停止采集/转发指令，等待设备响应"));
    if (!pm()->StopRecordCmd(true, replyOwner())) {
        applyBusyLayout();
        MessageDialog::ShowMessage(tr("停止失败"), tr("停止采集/转发失败，请重试"), 1);
    }
}

void CollectSet::slot_ControlResult(uchar type, bool success)
{
    // Another page's command, such as playback, neither answers nor ends this page's wait.
    if (type != ControlStartRecord && type != ControlStopRecord)
        return;
    if (success) {
        if (type == ControlStartRecord) {
            applyBusyLayout();
            if (ui->groupBox_channelAttenuation->isEnabled() && ui->groupBox_channelAttenuation->isVisibleTo(this))
                pm()->SetAttenuationPower(255, uint(ui->spb_AttenPower->value()));
        } else if (type == ControlStopRecord) {
            applyIdleLayout();
        }
    } else if (type == ControlStartRecord) {
        applyIdleLayout();
        MessageDialog::ShowMessage(tr("启动采集/转发失败"), tr("设备上报失败"), 1);
    } else if (type == ControlStopRecord) {
        applyBusyLayout();
        MessageDialog::ShowMessage(tr("停止采集/转发失败"), tr("设备上报失败"), 1);
    }
}

quint8 CollectSet::pendingControlCode() const
{
    return m_replies->pending();
}

ReplyOwner CollectSet::replyOwner()
{
    return m_replies->owner();
}

// ---- restoring from a state report -------------------------------------------------------------

QString CollectSet::timeButtonText(quint32 seconds)
{
    if (seconds == 0)
        return tr("未设置");
    return QDateTime::fromSecsSinceEpoch(qint64(seconds)).toString(Qt::TextDate);
}

void CollectSet::slot_SyncDeviceState(SyncDeviceState state_info)
{
    const SystemState state = static_cast<SystemState>(state_info.State);
    m_replies->stateReported(state);
    const bool running = state == SystemState::Collecting || state == SystemState::Forwarding;
    if (!running) {
        recordNameTimerEvent();
        m_recordNameClock->start();
        if (state == SystemState::Idle)
            applyIdleLayout();
        else
            applyDisabledLayout();
        return;
    }

    const RecordParam& run = state_info.Collect;
    m_recordNameClock->stop();
    // A run of another name with no idle report between (started from the extension panel or
    // another PC) is locked in its first seconds as its own.
    if (m_runName != 0 && run.RecordName != m_runName)
        m_stopUnlocked = false;
    m_runName = run.RecordName;
    applyBusyLayout();
    ui->txt_recordName->setText(
        QDateTime::fromSecsSinceEpoch(qint64(run.RecordName)).toString(QStringLiteral("yyyyMMddhhmmss")));
    ui->txt_Note->setPlainText(run.Note);

    const int width = run.BitWidth;
    if (!selectByData(ui->cbx_bitwidth, width, Qt::UserRole)) {
        const auto& names = pm()->bitNames;
        const uchar code = uchar(run.BitWidth);
        showUnlisted(ui->cbx_bitwidth, names.contains(code) ? names.value(code) : QStringLiteral("%1Bit").arg(width));
    }

    // The run's entries belong to the band lists the page uses for that bit width: every list,
    // or every second one for a two-channel width.
    const bool single = isSingleWidth(width);
    const int step = single ? 2 : 1;
    m_forwarding = false;
    m_forwardOnly = false;
    for (int i = 0; i < m_bandLists.size(); ++i) {
        QComboBox* list = m_bandLists.at(i);
        const int entry = i % step == 0 ? i / step : -1;
        if (entry >= 0 && entry < run.Channels.size()) {
            const RecordChannel& c = run.Channels.at(entry);
            const int found = list->findData(uint(c.BandId), Qt::UserRole);
            if (found >= 0) {
                markInner(list, true);
                list->setEditable(false);
                list->setCurrentIndex(found);
            } else {
                const auto& bands = pm()->freqBands;
                showUnlisted(list,
                             bands.contains(c.BandId) ? bands.value(c.BandId).name : tr("未知的频段:%1").arg(c.BandId));
            }
            if (c.Forward) {
                m_forwarding = true;
                if (!c.Record)
                    m_forwardOnly = true;
            } else {
                m_forwardOnly = false;
            }
        }
        if (i < m_rowWidgets.size())
            m_rowWidgets.at(i)->setVisible(!(single && i % 2 == 1));
    }

    if (m_recordForwardBoxes.size() == 2) {
        if (m_forwardOnly) {
            m_recordForwardBoxes.at(0)->setChecked(false);
            m_recordForwardBoxes.at(1)->setChecked(true);
        } else {
            m_recordForwardBoxes.at(0)->setChecked(true);
            m_recordForwardBoxes.at(1)->setChecked(m_forwarding);
        }
    }
    if (m_forwarding) {
        ui->groupBox_channelAttenuation->show();
        if (configSetting()->isCpci())
            showReceiverOutput();
    }

    const bool external = run.ExternalTrigger != 0;
    ui->radiobtn_Outside->setChecked(external);
    ui->radiobtn_Inside->setChecked(!external);

    // Both times are absolute epoch seconds, as the page sends them.
    ui->gpb_RecordTimingSet->setEnabled(run.TimedStart != 0 || run.TimedStop != 0);
    ui->pbn_StartTime->setText(timeButtonText(run.TimedStart));
    ui->pbn_StopTime->setText(timeButtonText(run.TimedStop));

    if (!m_progressPoll->isActive())
        m_progressPoll->start();

    ui->checkBox_serialrecord->setChecked(pm()->IsSerialPortEnable() && run.SerialPortRecord != 0);
}

// ---- channel rows -----------------------------------------------------------------------------

bool CollectSet::isSingleWidth(int bitWidth) const
{
    return pm()->singleBits.contains(uchar(bitWidth));
}

int CollectSet::currentBitWidth() const
{
    return ui->cbx_bitwidth->currentData().toInt();
}

void CollectSet::markInner(QComboBox* list, bool on)
{
    list->setProperty(kInner, on);
}

bool CollectSet::selectByData(QComboBox* list, const QVariant& data, int role)
{
    const int index = list->findData(data, role);
    if (index < 0)
        return false;
    list->setEditable(false);
    list->setCurrentIndex(index);
    return true;
}

void CollectSet::restoreSelections()
{
    // A reported run may have shown a bit width or band that the lists do not hold, with no
    // item current. Once the page is open for a new start, every list shows one of its items
    // again, chosen as the rebuild chooses them; an empty list shows nothing.
    QComboBox* widths = ui->cbx_bitwidth;
    if (widths->currentIndex() < 0) {
        widths->setEditable(false);
        if (widths->count() > 0)
            widths->setCurrentIndex(0);
    }
    for (int i = 0; i < m_bandLists.size(); ++i) {
        QComboBox* list = m_bandLists.at(i);
        if (list->currentIndex() >= 0)
            continue;
        list->setEditable(false);
        if (list->count() == 0)
            continue;
        markInner(list, true); // not the user's choice: no same-band warning for it
        list->setCurrentIndex(list->count() > i ? i : 0);
    }
}

void CollectSet::showUnlisted(QComboBox* list, const QString& text)
{
    // A read-only edit shows the text; no item is current, so nothing unlisted is ever sent.
    list->setEditable(true);
    list->lineEdit()->setReadOnly(true);
    list->setCurrentIndex(-1);
    list->setEditText(text);
}

void CollectSet::removeChannelControls()
{
    // Deletion is deferred: a band list's own handler may be on the stack in a dialog's loop.
    auto discard = [](QWidget* w) {
        w->hide();
        w->setParent(nullptr);
        w->deleteLater();
    };
    for (QCheckBox* box : qAsConst(m_recordForwardBoxes))
        discard(box);
    if (m_recordForwardWidget)
        discard(m_recordForwardWidget);
    for (QComboBox* list : qAsConst(m_bandLists))
        disconnect(list, nullptr, this, nullptr);
    while (QLayoutItem* item = m_channelLayout->takeAt(0))
        delete item;
    for (QWidget* row : qAsConst(m_rowWidgets))
        discard(row);
    m_recordForwardBoxes.clear();
    m_recordForwardWidget = nullptr;
    m_bandLists.clear();
    m_rowWidgets.clear();
}

void CollectSet::buildRecordForwardWidget()
{
    // Parentless until placed, as the channel rows are.
    m_recordForwardWidget = new QWidget;
    m_recordForwardWidget->setObjectName(QStringLiteral("widget_recordForward"));
    auto* forward = new QCheckBox(tr("转发"));
    forward->setObjectName(QStringLiteral("checkBox_forward"));
    auto* record = new QCheckBox(tr("采集"));
    record->setObjectName(QStringLiteral("checkBox_record"));
    forward->setFont(rowFont());
    record->setFont(rowFont());
    record->setChecked(true);
    auto* layout = new QHBoxLayout(m_recordForwardWidget);
    layout->addWidget(forward);
    layout->addItem(new QSpacerItem(10, 10));
    layout->addWidget(record);
    layout->addItem(new QSpacerItem(10, 10));
    m_recordForwardBoxes << record << forward;
    m_channelLayout->addWidget(m_recordForwardWidget, 0, 0);
}

void CollectSet::buildChannelRow(int channel)
{
    // Built without a parent and placed whole afterwards: a widget born inside the disabled row
    // area reports its state from QWidget's constructor, before it is a list or a label, and
    // the accessibility bridge would keep it as a plain unnamed widget from then on.
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("widget_channel%1").arg(channel + 1));
    auto* number = new QLabel;
    number->setObjectName(QStringLiteral("frequencyNumberText"));
    auto* value = new QLabel(QStringLiteral("--"));
    value->setObjectName(QStringLiteral("frequencyValue"));
    number->setFont(rowFont());
    value->setFont(rowFont());
    auto* list = new QComboBox;
    list->setObjectName(QStringLiteral("cbx_band%1").arg(channel + 1));
    list->setFont(rowFont());
    number->setBuddy(list);

    auto* layout = new QVBoxLayout(row);
    layout->setSpacing(10);
    auto* head = new QHBoxLayout;
    head->setContentsMargins(0, 0, 0, 0);
    head->setSpacing(10);
    head->addWidget(number);
    head->addWidget(value);
    head->addStretch();
    layout->addLayout(head);
    layout->addWidget(list);
    m_bandLists << list;
    m_rowWidgets << row;
    numberRow(channel, channel + 1);
}

void CollectSet::numberRow(int row, int number)
{
    auto* label = m_rowWidgets.at(row)->findChild<QLabel*>(QStringLiteral("frequencyNumberText"));
    label->setText(tr("频段%1：").arg(number));
    // Messages name the list by the number the user reads beside it.
    label->setProperty(kRowNumber, number);
}

int CollectSet::rowNumber(int row) const
{
    return m_rowWidgets.at(row)
        ->findChild<QLabel*>(QStringLiteral("frequencyNumberText"))
        ->property(kRowNumber)
        .toInt();
}

void CollectSet::fillBandList(QComboBox* list, int channel, int bitWidth)
{
    const QVariant remembered = list->currentIndex() >= 0 ? list->currentData(kRoleBandId) : QVariant();
    list->setEditable(false);
    list->clear();
    auto* model = qobject_cast<QStandardItemModel*>(list->model());
    const auto& bands = pm()->freqBands;
    const uint widthBits = uint(bitWidth) >> 1;
    for (auto it = bands.cbegin(); it != bands.cend(); ++it) {
        const uint mask = it->mask;
        if (channel >= 4 || !(mask & (1u << (4 + channel))) || !(mask & widthBits))
            continue;
        markInner(list, true);
        // One item with every role at once, so the change handler sees it whole.
        auto* item = new QStandardItem(it->custom ? QStringLiteral("*") + it->name : it->name);
        item->setData(it.key(), kRoleBandId);
        item->setData(it->freq, kRoleCentreFreq);
        item->setData(it->custom, kRoleCustom);
        model->appendRow(item);
    }
    if (remembered.isValid()) {
        const int index = list->findData(remembered, kRoleBandId);
        if (index >= 0)
            list->setCurrentIndex(index);
    }
}

void CollectSet::showCentreFrequency(int row)
{
    if (row < 0 || row >= m_rowWidgets.size())
        return;
    auto* label = m_rowWidgets.at(row)->findChild<QLabel*>(QStringLiteral("frequencyValue"));
    QComboBox* list = m_bandLists.at(row);
    // A list the filter left empty has no frequency to show.
    label->setText(list->currentIndex() < 0 ? QStringLiteral("--")
                                            : centreFrequencyText(list->currentData(kRoleCentreFreq).toUInt()));
}

void CollectSet::slot_GetDeviceSettingsFinished()
{
    ProtocolManager* protocol = pm();
    ui->label_cst_note->setVisible(protocol->IsCustomFrequencyEnable());

    ui->cbx_bitwidth->setEditable(false);
    ui->cbx_bitwidth->clear();
    for (auto it = protocol->bitNames.cbegin(); it != protocol->bitNames.cend(); ++it)
        ui->cbx_bitwidth->addItem(it.value(), int(it.key()));

    removeChannelControls();

    const int channels = protocol->deviceInfo().ChannelNum;
    ui->spb_AttenChannel->setRange(1, channels);
    m_channelAttenuations.resize(channels);

    ui->txt_ChannelCnt->setText(tr("通道数:%1").arg(channels));
    ui->txt_FreqCnt->setText(tr("频段数:") + QString::number(protocol->freqBands.size()));

    if (protocol->IsTranspondEnable()) {
        buildRecordForwardWidget();
        if (configSetting()->isTransponder()) {
            QCheckBox* record = m_recordForwardBoxes.at(0);
            QCheckBox* forward = m_recordForwardBoxes.at(1);
            record->hide();
            record->setEnabled(false);
            record->setChecked(false);
            forward->setChecked(true);
            forward->setEnabled(false);
        }
        ui->groupBox_channelAttenuation->show();
        ui->groupBox_channelAttenuation->setEnabled(true);
    } else {
        ui->groupBox_channelAttenuation->hide();
        ui->groupBox_channelAttenuation->setEnabled(false);
    }

    const int width = currentBitWidth();
    const int firstRow = m_recordForwardWidget ? 1 : 0;
    for (int i = 0; i < channels; ++i) {
        buildChannelRow(i);
        QComboBox* list = m_bandLists.last();
        // Rows lie below the record/forward widget when there is one.
        m_channelLayout->addWidget(m_rowWidgets.last(), firstRow + i, 0);
        fillBandList(list, i, width);
        markInner(list, false);
        list->setCurrentIndex(list->count() > i ? i : 0);
        showCentreFrequency(i);
        connect(list, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &CollectSet::slot_ComboBox_FrequencyChange);
    }
    m_channelLayout->addItem(new QSpacerItem(10, 10, QSizePolicy::Minimum, QSizePolicy::Expanding), firstRow + channels,
                             0);

    updateSampleInfo();

    // The delay field starts from the instrument's stored delay: a start sends the field, and an
    // empty one would overwrite that delay with 0.
    if (configSetting()->isTransponder() && configSetting()->isCheat() && protocol->IsTranspondEnable())
        onTranspondDelay(protocol->GetTranspondDelay(false));

    if (protocol->IsSerialPortEnable()) {
        ui->checkBox_serialrecord->setEnabled(width > 7);
        ui->stackedWidget_feature_2->setCurrentWidget(ui->page_com);
    } else if (configSetting()->isCpci()) {
        ui->groupBox_channelOutput->setEnabled(true);
        ui->stackedWidget_feature_2->setCurrentWidget(ui->page_output);
    } else {
        ui->stackedWidget_feature_2->hide();
        return;
    }
    ui->stackedWidget_feature_2->show();
}

void CollectSet::updateSampleInfo()
{
    ProtocolManager* protocol = pm();
    QWidget* info = ui->widget_sampleinfo;
    const QList<QWidget*> bandLabels{ui->label_bandtext, ui->label_bandwidth, ui->label_bandunit};
    const QList<QWidget*> rateLabels{ui->label_ratetext, ui->label_SampleRate, ui->label_rateunit};
    auto showAll = [](const QList<QWidget*>& labels, bool on) {
        for (QWidget* w : labels)
            w->setVisible(on);
    };

    if (protocol->IsBandwidthEnable() || protocol->IsSampleRateEnable()) {
        info->show();
        info->setEnabled(true);
        showAll(bandLabels, protocol->IsBandwidthEnable());
        if (protocol->IsBandwidthEnable())
            ui->label_bandwidth->setText(mhz(protocol->GetBandwidth(false)));
        showAll(rateLabels, protocol->IsSampleRateEnable());
        if (protocol->IsSampleRateEnable()) {
            if (protocol->IsSampleRateBindBandwidth()) {
                // The rate bound to the bandwidth sits at the bandwidth's place in its list.
                const int at = protocol->GetBandwidthList().indexOf(QString::number(protocol->GetBandwidth(false)));
                const QStringList rates = protocol->GetSampleRateList();
                ui->label_SampleRate->setText(at >= 0 && at < rates.size() ? mhz(rates.at(at).toUInt())
                                                                           : QStringLiteral("--"));
            } else {
                ui->label_SampleRate->setText(mhz(protocol->GetSampleRate(false)));
            }
        }
    } else if (m_showMode.isEmpty() && !configSetting()->isFbs()) {
        info->hide();
        info->setEnabled(false);
    } else {
        info->show();
        info->setEnabled(true);
        if (m_showMode == QLatin1String("SampleRate")) {
            ui->label_SampleRate->setText(QStringLiteral("60"));
            showAll(bandLabels, false);
        } else {
            showAll(bandLabels, true);
        }
    }
}

void CollectSet::on_cbx_bitwidth_currentIndexChanged(int index)
{
    if (index < 0)
        return; // the list is being emptied
    auto* list = qobject_cast<QComboBox*>(sender());
    const int width = (list ? list : ui->cbx_bitwidth)->currentData().toInt();
    const bool single = isSingleWidth(width);
    ProtocolManager* protocol = pm();

    if (protocol->IsSerialPortEnable() && ui->stackedWidget_feature_2->currentWidget() == ui->page_com
        && !isCollectingOrForwarding())
        ui->checkBox_serialrecord->setEnabled(width > 7);

    const int channels = protocol->deviceInfo().ChannelNum;
    if (!m_bandLists.isEmpty() && channels != 0) {
        for (int i = 0; i < m_bandLists.size(); ++i) {
            fillBandList(m_bandLists.at(i), i, width);
            showCentreFrequency(i);
            if (i % 2 == 1) {
                m_rowWidgets.at(i)->setVisible(!single);
                if (i + 1 < m_rowWidgets.size())
                    numberRow(i + 1, single ? (i + 1) / 2 + 1 : i + 2);
            }
        }
    }

    ui->txt_ChannelCnt->setText(tr("通道数:%1").arg(single ? (channels + 1) / 2 : channels));

    if (configSetting()->isFbs() || m_showMode == QLatin1String("9009")) {
        const uint bandwidth = protocol->GetBandwidth(false);
        if (!single)
            slot_UpdateBandwidth(bandwidth);
        else if (quint32(bandwidth - 200000000u) < 1000000u)
            slot_UpdateBandwidth(100000000u);
    }
}

void CollectSet::slot_ComboBox_FrequencyChange(int text)
{
    Q_UNUSED(text);
    auto* list = qobject_cast<QComboBox*>(sender());
    const int row = m_bandLists.indexOf(list);
    if (row < 0)
        return;
    showCentreFrequency(row);
    if (list->currentIndex() < 0)
        return; // emptied for a refill: no band to compare
    if (list->property(kInner).toBool()) {
        markInner(list, false);
        return;
    }
    const int band = list->currentData(kRoleBandId).toInt();
    for (QComboBox* other : qAsConst(m_bandLists)) {
        if (other == list || !other->isVisibleTo(this))
            continue;
        if (other->currentData(kRoleBandId).toInt() == band) {
            MessageDialog::ShowMessage(tr("无效"), tr("不可多通道选择同一频段"), 2);
            return;
        }
    }
}

void CollectSet::slot_UpdateBandwidth(uint value)
{
    ui->label_bandwidth->setText(mhz(value));
    ProtocolManager* protocol = pm();
    if (protocol->IsSampleRateEnable() && protocol->IsSampleRateBindBandwidth()) {
        const int at = protocol->GetBandwidthList().indexOf(QString::number(value));
        const QStringList rates = protocol->GetSampleRateList();
        if (at < 0 || at >= rates.size())
            ui->label_SampleRate->setText(QStringLiteral("--"));
        else
            ui->label_SampleRate->setText(mhz(rates.at(at).toUInt()));
    }
}

// ---- collection parameters, timed start, loop test --------------------------------------------

bool CollectSet::buildRecordParam()
{
    m_param.Channels.clear();
    // Only what the lists show selected is sent; nothing stands in for a missing selection.
    if (ui->cbx_bitwidth->currentIndex() < 0) {
        MessageDialog::ShowMessage(tr("无效"), tr("未选择位宽"), 2);
        return false;
    }
    const int width = currentBitWidth();
    m_param.BitWidth = qint8(width);
    const int step = isSingleWidth(width) ? 2 : 1;
    m_forwarding = false;
    m_forwardOnly = false;
    QString generated;

    for (int j = 0; j < m_bandLists.size(); j += step) {
        QComboBox* list = m_bandLists.at(j);
        if (list->currentIndex() < 0) {
            MessageDialog::ShowMessage(tr("无效"), tr("频段%1未选择").arg(rowNumber(j)), 2);
            return false;
        }
        const uint band = list->currentData(kRoleBandId).toUInt();
        const uint freq = list->currentData(kRoleCentreFreq).toUInt();
        const bool custom = list->currentData(kRoleCustom).toBool();
        if (custom) {
            if (generated.isEmpty())
                generated = tr("[此注释由系统生成]\n");
            generated += tr("<频段%3>自定义频段ID: %1 中心频率: %2\n").arg(band).arg(freq).arg(j + 1);
        }

        RecordChannel entry;
        entry.BandId = quint8(band & 0xFF);
        if (m_recordForwardBoxes.size() != 2) {
            entry.Forward = 0;
            entry.Record = 1;
            m_forwardOnly = false;
        } else {
            entry.Record = m_recordForwardBoxes.at(0)->isChecked() ? 1 : 0;
            entry.Forward = m_recordForwardBoxes.at(1)->isChecked() ? 1 : 0;
            if (entry.Forward) {
                m_forwarding = true;
                if (!entry.Record)
                    m_forwardOnly = true;
            } else {
                m_forwardOnly = false;
            }
        }

        if (!ConfigSetting::instance()->GetInit(ConfigKey::DebugSameRecord).toBool()) {
            for (const RecordChannel& taken : qAsConst(m_param.Channels)) {
                if (taken.BandId == entry.BandId) {
                    MessageDialog::ShowMessage(tr("无效"), tr("不可多通道选择同一频段"), 2);
                    return false;
                }
            }
        }
        m_param.Channels << entry;
    }
    m_param.ChannelNum = quint8(m_param.Channels.size());

    QString note = ui->txt_Note->toPlainText();
    const int nul = note.indexOf(QChar(0));
    if (nul >= 0)
        note.truncate(nul);
    if (!generated.isEmpty()) {
        if (!note.isEmpty())
            note += QLatin1Char('\n');
        note += generated;
    }
    m_param.Note = note;

    m_param.ExternalTrigger = ui->radiobtn_Inside->isChecked() ? 0 : 1;
    m_param.SerialPortRecord =
        pm()->IsSerialPortEnable() && ui->checkBox_serialrecord->isEnabled() && ui->checkBox_serialrecord->isChecked()
            ? 1
            : 0;
    m_param.TimedStart = m_startTime;
    m_param.TimedStop = m_stopTime;

    if (ui->radiobtn_TimingMode->isChecked() && quint32(m_stopTime - m_startTime) <= 4) {
        MessageDialog::ShowMessage(
            tr("提示"), tr("启动采集失败\n当前定时采集时长低于") + QString::number(5) + QStringLiteral("S"), 1);
        return false;
    }
    return true;
}

void CollectSet::showReceiverOutput()
{
    // A forwarding run of this variant relays the receiver's output: its window shows it.
    ReceiverCNR* window = ReceiverCNR::Instance();
    WindowPresenter::present(window);
    emit window->SetReceiverOutputStatus(true);
}

void CollectSet::chooseTime(quint8 mode)
{
    // The selector drops its receivers on every hide, so each showing connects anew.
    TimeSeletor* selector = TimeSeletor::instance();
    connect(selector, &TimeSeletor::SetDateTime, this, &CollectSet::slot_SetTimingTime);
    selector->currentMode = mode;
    WindowPresenter::present(selector);
}

void CollectSet::on_pbn_StartTime_clicked()
{
    chooseTime(0);
}

void CollectSet::on_pbn_StopTime_clicked()
{
    chooseTime(1);
}

void CollectSet::slot_SetTimingTime(uint datetime, uchar currentMode)
{
    QPushButton* button = currentMode == 0 ? ui->pbn_StartTime : ui->pbn_StopTime;
    quint32& time = currentMode == 0 ? m_startTime : m_stopTime;
    if (datetime == 0) {
        button->setText(tr("未设置"));
        time = 0;
    } else {
        button->setText(
            QDateTime::fromSecsSinceEpoch(qint64(datetime)).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        time = datetime;
    }
}

void CollectSet::on_radiobtn_TimingMode_clicked(bool checked)
{
    ui->gpb_RecordTimingSet->setEnabled(checked);
}

void CollectSet::on_radiobtn_NormalMode_clicked(bool checked)
{
    ui->gpb_RecordTimingSet->setEnabled(!checked);
    slot_SetTimingTime(0, 0);
    slot_SetTimingTime(0, 1);
}

void CollectSet::onLoopTest()
{
    const SystemState state = runState();
    if (state == SystemState::Collecting) {
        const uint elapsed = ui->ptn_StartCollect->property("time").toUInt();
        if (elapsed >= ui->lineEdit_test_time->text().toUInt() && ui->ptn_StopCollect->isEnabled())
            on_ptn_StopCollect_clicked();
    } else if (state == SystemState::Idle && ui->ptn_StartCollect->isEnabled()) {
        on_ptn_StartCollect_clicked();
    }
}

void CollectSet::on_pushButton_test_start_clicked()
{
    m_loopTestTimer.start();
}

void CollectSet::on_pushButton_test_stop_clicked()
{
    m_loopTestTimer.stop();
}

// ---- output channels, attenuation, forwarding delay, scene values ------------------------------

void CollectSet::on_checkBox_output_1_clicked()
{
    pm()->SetOutputChannel(1, ui->checkBox_output_1->isChecked());
}

void CollectSet::on_checkBox_output_2_clicked()
{
    pm()->SetOutputChannel(2, ui->checkBox_output_2->isChecked());
}

void CollectSet::on_checkBox_AllChannel_stateChanged(int state)
{
    ui->spb_AttenChannel->setEnabled(state == 0);
}

void CollectSet::on_hSlider_AttenPower_valueChanged(int value)
{
    if (ui->spb_AttenPower->value() != value)
        ui->spb_AttenPower->setValue(value);
}

void CollectSet::on_spb_AttenPower_valueChanged(int value)
{
    if (ui->hSlider_AttenPower->value() != value)
        ui->hSlider_AttenPower->setValue(value);
    if (ui->spb_AttenPower->property(kMarker).toInt() != kReportMarker) {
        if (ui->checkBox_AllChannel->isChecked()) {
            pm()->SetAttenuationPower(255, uint(value));
            m_channelAttenuations.fill(value);
        } else {
            const int c = ui->spb_AttenChannel->value();
            pm()->SetAttenuationPower(uchar(c - 1), uint(value));
            if (c >= 1 && c <= m_channelAttenuations.size())
                m_channelAttenuations[c - 1] = value;
        }
    }
    ui->spb_AttenPower->setProperty(kMarker, QVariant());
}

void CollectSet::on_spb_AttenChannel_valueChanged(int channel)
{
    ui->spb_AttenPower->setProperty(kMarker, QVariant());
    if (channel >= 1 && channel <= m_channelAttenuations.size())
        ui->spb_AttenPower->setValue(m_channelAttenuations.at(channel - 1));
}

void CollectSet::onAttenuationChanged(uchar channel, uint power)
{
    const int channels = m_channelAttenuations.size();
    if (channel == 255) {
        m_channelAttenuations.fill(int(power));
        ui->checkBox_AllChannel->setChecked(true);
    } else if (channel < channels) {
        m_channelAttenuations[channel] = int(power);
        ui->checkBox_AllChannel->setChecked(false);
        if (ui->spb_AttenChannel->value() != channel + 1)
            return;
    } else {
        return;
    }
    ui->spb_AttenPower->setProperty(kMarker, kReportMarker);
    ui->spb_AttenPower->setValue(int(power));
    // Also when the value was already shown: a marker left behind would swallow the user's next change.
    ui->spb_AttenPower->setProperty(kMarker, QVariant());
}

void CollectSet::on_lineEdit_forward_textChanged(const QString& text)
{
    double value = 0;
    QString unit = QStringLiteral("ns");
    if (m_transportMode == 0)
        value = text.toInt();
    else if (m_transportMode == 1)
        value = text.toInt() * 100.0 / 6;
    if ((m_transportMode == 0 || m_transportMode == 1) && value >= 1000) {
        if (value / 1000 >= 1000) {
            value /= 1e6;
            unit = QStringLiteral("ms");
        } else {
            value /= 1000;
            unit = QStringLiteral("μs");
        }
    }
    ui->label_forward_value->setText(QStringLiteral("( %1 %2 )").arg(QString::number(value, 'f', 2), unit));
}

void CollectSet::onTranspondDelay(int delay)
{
    ui->lineEdit_forward->setText(QString::number(delay));
}

void CollectSet::getSceneConfig(QVector<quint32>* bands, int* bitWidth, int* attenuation)
{
    const int width = currentBitWidth();
    m_param.BitWidth = qint8(width);
    if (bitWidth)
        *bitWidth = width;
    const int step = isSingleWidth(width) ? 2 : 1;
    if (bands) {
        bands->clear();
        for (int j = 0; j < m_bandLists.size(); j += step)
            bands->append(m_bandLists.at(j)->currentData(kRoleBandId).toUInt());
    }
    if (attenuation)
        *attenuation = ui->spb_AttenPower->value();
}

void CollectSet::applySceneConfig(const QVector<quint32>& bands, int bitWidth, int attenuation)
{
    selectByData(ui->cbx_bitwidth, bitWidth, Qt::UserRole);
    const int step = isSingleWidth(bitWidth) ? 2 : 1;
    for (int j = 0, k = 0; j < m_bandLists.size() && k < bands.size(); j += step, ++k)
        selectByData(m_bandLists.at(j), bands.at(k), kRoleBandId);
    ui->spb_AttenPower->setValue(attenuation);
}

void CollectSet::onRandomAttenuation()
{
    if (pm()->isConnected())
        ui->spb_AttenPower->setValue(std::rand() % 60);
}

void CollectSet::on_pushButton_test_start_2_clicked()
{
    m_randomAttenuationTimer.setInterval(int(ui->lineEdit_test_atten_speed->text().toUInt()));
    m_randomAttenuationTimer.start();
}

void CollectSet::on_pushButton_test_stop_2_clicked()
{
    m_randomAttenuationTimer.stop();
}
