#include "SystemSet2.h"
#include "ui_SystemSet2.h"

#include "BootScreen.h"
#include "DialogSeam.h"
#include "MessageDialog.h"
#include "RecordText.h"
#include "SizeText.h"
#include "ValueText.h"

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ConfigWords.h>
#include <DevConfigCodec.h>
#include <FolderOpener.h>
#include <LastWords.h>
#include <ProtocolManager.h>
#include <ReplyWords.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <ntpserver.h>

#include <RecordAssist.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHostAddress>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTimer>
#include <QtEndian>

namespace {
// The reads the person may ask for (SystemSet2::askRead).
constexpr int kDelayRead = 0;
constexpr int kDopplerRead = 1;

QVariant setting(const ConfigKey& key)
{
    return ConfigSetting::instance()->GetInit(key);
}

void store(const ConfigKey& key, const QVariant& value)
{
    ConfigSetting::instance()->SetInit(key, value);
}

// Item data roles of a custom band row: its name and its centre frequency in Hz.
constexpr int kBandNameRole = 528;
constexpr int kBandFreqRole = 529;
constexpr int kMaxCustomBands = 10;
constexpr quint32 kCustomFreqMin = 200000000u;
constexpr quint32 kCustomFreqMax = 4200000000u;

// Hz as MHz in the shortest form that is still exact: 62500000 is "62.5 MHz", 30720000
// "30.72 MHz", 125000000 "125 MHz". Six significant digits would round 1234567890 Hz.
QString megahertzNumber(uint hertz)
{
    return QString::number(hertz / 1000000.0, 'f', QLocale::FloatingPointShortest);
}
QString megahertzText(uint hertz)
{
    return QStringLiteral("%1 MHz").arg(megahertzNumber(hertz));
}

// The control address from its texts: a host address with decimal parts ("010.001.001.001" is
// 10.1.1.1, where the socket layer would read the leading zero as octal) and a port of 1 to
// 65535. `ipText` becomes the decimal form; false when either text is no such value.
bool controlAddress(QString& ipText, const QString& portText, QString* host, quint16* port)
{
    if (BootScreen::isValidAddress(ipText))
        ipText = BootScreen::normalisedAddress(ipText);
    QHostAddress address;
    bool numberOk = false;
    const uint number = portText.toUInt(&numberOk);
    if (!address.setAddress(ipText) || !numberOk || number == 0 || number > 65535)
        return false;
    *host = address.toString();
    *port = quint16(number);
    return true;
}
} // namespace

namespace {
// Shows what Core words for an outcome; nothing where it tells nothing.
void showWord(const ConfigWords::Told& told)
{
    static const int types[] = {0, int(MessageDialog::MessageType::Information),
                                int(MessageDialog::MessageType::Warning), int(MessageDialog::MessageType::Error)};
    if (!told.isEmpty())
        MessageDialog::ShowMessage(told.title, told.text, types[told.tone]);
}
} // namespace

SystemSet2::SystemSet2(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::SystemSet2)
{
    ui->setupUi(this);
    // Before the instrument reported its boards the note says the same rule without the count.
    ui->label_ip_tip->setText(ConfigSetting::instance()->isCpci()
                                  ? tr("注：设置IP前，请先确保所设IP的地址未被占用，否则设备无法启动")
                                  : ValueText::ipNote(-1));
    // Kept on each tab, so that a tab taken out can come back with its title.
    for (int i = 0; i < ui->tabWidget_function->count(); ++i)
        ui->tabWidget_function->widget(i)->setProperty("tabTitle", ui->tabWidget_function->tabText(i));
    ConfigSetting* config = ConfigSetting::instance();
    m_transportMode = setting(ConfigKey::TransportMode).toUInt();

    if (config->isTransponder()) {
        // A transponder keeps no records of its own.
        ui->groupBox_disk->setEnabled(false);
        ui->groupBox_disk->hide();
        ui->groupBox_savepath->setEnabled(false);
        ui->groupBox_savepath->hide();
    } else {
        ui->lineEdit_transpondDelay->setValidator(new QIntValidator(0, 120000, ui->lineEdit_transpondDelay));
    }

    ui->lineEdit_IP->setText(setting(ConfigKey::NetworkIp).toString());
    ui->lineEdit_Port->setText(setting(ConfigKey::NetworkPort).toString());
    ui->txt_CurrentPath->setText(setting(ConfigKey::DataSavePath).toString());
    m_customModel = new QStandardItemModel(ui->listView_cst);
    ui->listView_cst->setModel(m_customModel);

    ProtocolManager* protocol = ProtocolManager::instance();
    connect(BootScreen::instance(), &BootScreen::ChangeConnectIP, this, &SystemSet2::slot_ChangeConnectIP);
    connect(this, &SystemSet2::PrintSystemLog, FileLogger::instance(), &FileLogger::slot_LogMessage);
    connect(protocol, &ProtocolManager::UpdateDeviceInfo, this, &SystemSet2::slot_update_device_info);
    connect(protocol, &ProtocolManager::SetIPSuccess, this, &SystemSet2::slot_SetIPSuccess);
    connect(protocol, &ProtocolManager::ReceivedDiskVolume, this, &SystemSet2::slot_core_ReceivedDiskVolume);
    // Queued: the record pages have emptied their tables when the person reads the result.
    connect(protocol, &ProtocolManager::DeleteAllRecordSuccess, this, &SystemSet2::onClearAllResult,
            Qt::QueuedConnection);
    // Direct: a card's answer belongs to its round before the round's end can be told.
    connect(protocol, &ProtocolManager::DeviceCheckResult, this, &SystemSet2::slot_core_device_check,
            Qt::DirectConnection);
    // Direct, as the services emit in this thread; the page is the context so that a page that
    // goes before the services leaves no handler behind.
    connect(
        protocol, &ProtocolManager::UpdateTranspondDelay, this,
        [this](int v) { ui->lineEdit_transpondDelay->setText(QString::number(v)); }, Qt::DirectConnection);
    // A Doppler shift is signed; the device configuration holds its 32 bits unsigned.
    connect(
        protocol, &ProtocolManager::UpdateDopplerValue, this,
        [this](int v) { ui->lineEdit_transpondDoppler->setText(QString::number(v)); }, Qt::DirectConnection);
    connect(
        protocol, &ProtocolManager::UpdateBandwidth, this, [this](uint v) { selectBandwidth(v); },
        Qt::DirectConnection);
    connect(
        protocol, &ProtocolManager::UpdateMGCValue, this, [this](int v) { ui->spb_mgc->setValue(v); },
        Qt::DirectConnection);
    connect(
        protocol, &ProtocolManager::UpdateMGCStatus, this,
        [this](bool on) { (on ? ui->radioButton_mgc : ui->radioButton_agc)->setChecked(true); }, Qt::DirectConnection);
    connect(
        protocol, &ProtocolManager::UpdateFeedSwitchStatus, this,
        [this](bool on) { ui->checkBox_feedswitch->setChecked(on); }, Qt::DirectConnection);
    connect(
        protocol, &ProtocolManager::NetSuccess, this, [this](bool up) { onLinkState(up); }, Qt::DirectConnection);
    // How many records the instrument listed last since the link came up, for the clear-all
    // question; unknown again once the link drops.
    connect(protocol, &ProtocolManager::RecordListMsg, this,
            [this](const GetRecordListMsg& list) { m_listedRecords = int(list.Count); });
    connect(protocol, &ProtocolManager::NetSuccess, this, [this](bool up) {
        if (!up)
            m_listedRecords = -1;
    });
    connect(
        protocol, &ProtocolManager::ConnectFailed, this, [this] { onConnectFailed(); }, Qt::DirectConnection);
    connect(
        RunStatus::instance(), &RunStatus::GlobalChangeState, this, [this](SystemState state) { onRunState(state); },
        Qt::DirectConnection);

    connect(ui->radioButton_mgc, &QRadioButton::toggled, this, [this] { updateHeldButtons(); });
    updateHeldButtons();
    // The system's first connection, with the configured address.
    ui->pbn_connect->click();
    showLinkState();
    StartNtpServer();
    connect(protocol, &ProtocolManager::GetDeviceSettingsFinished, this, &SystemSet2::UpdateFunctionTabs,
            Qt::DirectConnection);
}

SystemSet2::~SystemSet2()
{
    delete ui;
}

void SystemSet2::StartNtpServer()
{
    // One for the process, never freed: the instrument takes its clock from it.
    static ntpserver* const server = new ntpserver(nullptr);
    m_ntp = server;
}

bool SystemSet2::IsValidIP(const QString& text)
{
    static const QRegularExpression re(
        QRegularExpression::anchoredPattern(QStringLiteral("\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}"
                                                           "(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b")));
    return re.match(text).hasMatch();
}

void SystemSet2::on_pbn_connect_clicked()
{
    ui->pbn_connect->setEnabled(false);
    ProtocolManager* protocol = ProtocolManager::instance();
    if (ui->pbn_connect->text() == tr("连接")) {
        QString ipText = ui->lineEdit_IP->text();
        QString host;
        quint16 port = 0;
        if (!controlAddress(ipText, ui->lineEdit_Port->text(), &host, &port)) {
            showAddressError();
            ui->pbn_connect->setEnabled(true);
            return;
        }
        protocol->ConnectTcp(host, port);
        // Stored in the decimal form the link uses, so a later reconnection goes to the same place.
        store(ConfigKey::NetworkIp, ipText);
        store(ConfigKey::NetworkPort, ui->lineEdit_Port->text());
        m_failedAttempts = 0;
        showLinkState();
    } else if (ui->pbn_connect->text() == tr("断开")) {
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "手动断开连接"));
        protocol->DisConnectTcp();
    }
    // The link-state handler enables the button again, or a failed attempt (onConnectFailed).
}

void SystemSet2::showAddressError()
{
    MessageDialog::ShowMessage(tr("错误"), tr("请输入正确的IP地址或端口号！"), int(MessageDialog::MessageType::Error));
}

void SystemSet2::onConnectFailed()
{
    if (ProtocolManager::instance()->isConnected())
        return;
    // The link thread goes on retrying, but the user may have typed an address that will never
    // answer: the button must let them correct it.
    ui->pbn_connect->setEnabled(true);
    // Logged once per run of failures; the line beside the button counts them.
    if (m_failedAttempts++ == 0)
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "连接设备 %1 失败，每 %2 秒自动重试"), linkTarget(),
                               TcpConnect::kReconnectIntervalMs / 1000);
    showLinkState();
}

QString SystemSet2::linkTarget() const
{
    return QStringLiteral("%1:%2").arg(ProtocolManager::instance()->instrumentAddress(),
                                       setting(ConfigKey::NetworkPort).toString());
}

void SystemSet2::showLinkState()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    const bool up = protocol->isConnected();
    ui->pushButton_stateCheck->setEnabled(up);
    // Never reached or lost alike: the instrument's settings wait for the link, and the line
    // below says what the link is doing.
    ui->tabWidget_function->setEnabled(up);
    updateHeldButtons();
    ui->label_linkState->setVisible(!up);
    if (up) {
        ui->label_linkState->clear();
        return;
    }
    const int seconds = TcpConnect::kReconnectIntervalMs / 1000;
    QString doing;
    if (!protocol->link()->isRunning())
        doing = tr("已断开连接，按“连接”重新连接。");
    else if (m_failedAttempts > 0)
        doing = tr("连接 %1 失败（%2 次），每 %3 秒自动重试。").arg(linkTarget()).arg(m_failedAttempts).arg(seconds);
    else
        doing = tr("正在连接 %1 …").arg(linkTarget());
    // What waits for the link is greyed and named in the title bar's notice; one more line here
    // would make the page scroll at 768 px.
    ui->label_linkState->setText(doing);
}

void SystemSet2::onLinkState(bool up)
{
    if (up) {
        ui->lineEdit_IP->setText(setting(ConfigKey::NetworkIp).toString());
        ui->pbn_connect->setText(tr("断开"));
        m_failedAttempts = 0;
    } else {
        ui->pbn_connect->setText(tr("连接"));
        m_settingsLoaded = false;
        // The figures were the instrument's before the drop; the records may change meanwhile.
        ui->label_TotalMemory->setText(tr("未连接设备"));
        ui->label_SurplusMemory->setText(tr("未连接设备"));
        // The program's own rounds are cut without a word; the person's were told what came.
        m_checks.clear();
        // Nothing asked on the lost link is answered; the main window names what went unconfirmed.
    }
    showLinkState();
    ui->pbn_connect->setEnabled(true);
}

void SystemSet2::slot_ChangeConnectIP()
{
    // The stored port is checked as the connect button checks it: cut to 16 bits, 70000 would
    // connect to 4464. A refused address leaves the running link alone.
    QString ipText = setting(ConfigKey::NetworkIp).toString();
    QString host;
    quint16 port = 0;
    if (!controlAddress(ipText, setting(ConfigKey::NetworkPort).toString(), &host, &port)) {
        showAddressError();
        return;
    }
    ProtocolManager* protocol = ProtocolManager::instance();
    protocol->DisConnectTcp();
    protocol->ConnectTcp(host, port);
    m_failedAttempts = 0;
    showLinkState();
}

void SystemSet2::on_ptn_SetDeviceIP_clicked()
{
    const QString ip = ui->txt_IP->text();
    const QString mask = ui->txt_NetMask->text();
    const QString gateway = ui->txt_Gateway->text();
    for (QLineEdit* field : {ui->txt_IP, ui->txt_NetMask, ui->txt_Gateway}) {
        if (!IsValidIP(field->text())) {
            field->setStyleSheet(QStringLiteral("border-color:#F50000;"));
            field->setToolTip(tr("IP不合法"));
            return;
        }
        field->setStyleSheet(QStringLiteral("border-color:#B2B6B9;"));
        field->setToolTip(QString());
    }
    const QString held = ProtocolManager::instance()->openReason(Msg_Type::System, Msg_Cmd::SetIP);
    if (!held.isEmpty()) {
        // A press that came another way than the held button: say why nothing goes out.
        MessageDialog::ShowMessage(tr("修改设备IP"), ReplyWords::refusedWhileOpen(held),
                                   int(MessageDialog::MessageType::Warning));
        return;
    }
    store(ConfigKey::NewNetworkIp, ip);
    store(ConfigKey::NewNetworkNetMask, mask);
    store(ConfigKey::NewNetworkGateway, gateway);
    if (!ProtocolManager::instance()->SetIPCmd(ip, mask, gateway, replyOwner()))
        MessageDialog::ShowMessage(tr("修改设备IP失败"), tr("网络发送失败，设备地址的配置未更改"),
                                   int(MessageDialog::MessageType::Error));
    updateHeldButtons();
}

void SystemSet2::updateHeldButtons()
{
    const SystemState state = RunStatus::CurrentStatus();
    const ProtocolManager* protocol = ProtocolManager::instance();
    const bool usable = protocol->isConnected() && (state == SystemState::Error || state == SystemState::Idle);
    const auto hold = [&](QPushButton* button, Msg_Type type, Msg_Cmd cmd) {
        const QString held = protocol->openReason(type, cmd);
        button->setEnabled(usable && held.isEmpty());
        button->setToolTip(held);
    };
    hold(ui->ptn_SetDeviceIP, Msg_Type::System, Msg_Cmd::SetIP);
    hold(ui->ptn_clear, Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord);
    // A write of the device configuration waits for its answer before the next may go.
    const QString writing = protocol->openReason(Msg_Type::System, ProtocolManager::DevConfigWrite);
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui->pushButton_settrans, ui->pushButton_setdoppler, ui->pushButton_bandwidth, ui->radioButton_agc,
             ui->radioButton_mgc, ui->pushButton_mgc, ui->checkBox_feedswitch, ui->pushButton_cst_save}) {
        control->setEnabled(writing.isEmpty());
        control->setToolTip(writing);
    }
    // The power is the manual mode's: under AGC there is nothing to set.
    const bool manual = ui->radioButton_mgc->isChecked();
    ui->spb_mgc->setEnabled(manual);
    if (writing.isEmpty() && !manual) {
        ui->pushButton_mgc->setEnabled(false);
        ui->pushButton_mgc->setToolTip(tr("AGC 模式下功率由设备自动控制"));
    }
}

void SystemSet2::takeAddress(const QString& address)
{
    // The running link keeps its address; the next connection takes the new one.
    store(ConfigKey::NetworkIp, BootScreen::normalisedAddress(address));
    ui->lineEdit_IP->setText(setting(ConfigKey::NetworkIp).toString());
}

void SystemSet2::slot_SetIPSuccess(bool ok, const QString& address)
{
    updateHeldButtons();
    // The address is the one the answered request sent, whatever the fields hold now.
    if (!ok)
        return; // the status log reports the failure
    if (!IsValidIP(address)) {
        FileLogger::LogMessage(FileLogger::Warning,
                               QT_TRANSLATE_NOOP("FileLogger", "修改设备IP结果无对应请求，已忽略"));
        return;
    }
    takeAddress(address);
    MessageDialog::ShowMessage(tr("提示"), tr("修改设备IP成功，重启设备后生效"),
                               int(MessageDialog::MessageType::Information));
}

QString SystemSet2::SelectSavePath()
{
    const QString caption = tr("请选择数据保存位置");
    const QString start = AppPaths::applicationDir();
    const QString chosen = DialogSeam::existingDirectory(this, caption, start);
    if (!chosen.isEmpty()) {
        store(ConfigKey::DataSavePath, chosen);
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "修改文件保存路径成功，Path:%1"),
                               chosen);
        return chosen;
    }
    const QString stored = setting(ConfigKey::DataSavePath).toString();
    if (!stored.isEmpty() && QDir(stored).exists())
        return stored;
    store(ConfigKey::DataSavePath, start);
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "文件保存路径修改为默认路径，Path:%1"),
                           start);
    return start;
}

void SystemSet2::on_pbn_ChangePath_clicked()
{
    ui->txt_CurrentPath->setText(SelectSavePath());
}

void SystemSet2::on_pbn_OpenPath_clicked()
{
    FolderOpener::open(this, ui->txt_CurrentPath->text());
}

void SystemSet2::onRunState(SystemState state)
{
    const bool usable = state == SystemState::Error || state == SystemState::Idle;
    updateHeldButtons();
    ui->pbn_ChangePath->setEnabled(usable);
    ui->pushButton_cst_save->setEnabled(usable);
}

namespace {
// As every size: 2047 MB is "1.999 GB".
QString capacityText(quint32 megabytes)
{
    return SizeText::amount(megabytes, SizeText::Unit::MB);
}
} // namespace

void SystemSet2::slot_update_device_info(DeviceInfo info)
{
    ui->label_TotalMemory->setText(capacityText(info.TotalCapacity));
    ui->label_SurplusMemory->setText(capacityText(info.SurplusCapacity));
}

void SystemSet2::slot_update_availab_capacity(uint32_t surplusCapacity)
{
    ui->label_SurplusMemory->setText(capacityText(surplusCapacity));
}

void SystemSet2::slot_core_ReceivedDiskVolume(QList<DiskVolume> diskVolume)
{
    // Figures joined by a slash would read as free over total: with several disks each is named,
    // one a line, so that the column holds them in either language.
    QStringList totals;
    QStringList frees;
    for (int i = 0; i < diskVolume.size(); ++i) {
        const DiskVolume& v = diskVolume.at(i);
        if (diskVolume.size() == 1) {
            totals << capacityText(v.Total);
            frees << capacityText(v.Free);
        } else {
            totals << tr("硬盘%1：%2").arg(i + 1).arg(capacityText(v.Total));
            frees << tr("硬盘%1：%2").arg(i + 1).arg(capacityText(v.Free));
        }
    }
    ui->label_TotalMemory->setText(totals.join(QLatin1Char('\n')));
    ui->label_SurplusMemory->setText(frees.join(QLatin1Char('\n')));
}

void SystemSet2::on_ptn_clear_clicked()
{
    const QString held = ProtocolManager::instance()->openReason(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord);
    if (!held.isEmpty()) {
        // A press that came another way than the held button: say why nothing goes out.
        MessageDialog::ShowMessage(tr("清空所有记录"), ReplyWords::refusedWhileOpen(held),
                                   int(MessageDialog::MessageType::Warning));
        return;
    }
    if (!MessageDialog::ConfirmDestructive(tr("清空所有记录"), RecordText::clearAllQuestion(m_listedRecords),
                                           int(MessageDialog::MessageType::Warning)))
        return;
    // The capacity is asked for once the instrument says the clearing is over: asked at once, an
    // instrument still clearing its disks would give the figures from before. The clearing waits
    // as long as emptying disks may take.
    ProtocolManager::instance()->SendCmd(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord, Target_Dev::Device,
                                         replyOwner());
    updateHeldButtons();
}

void SystemSet2::onClearAllResult(bool cleared)
{
    // Only the answer to this page's clearing, in its time, is passed on as a result.
    updateHeldButtons();
    if (cleared)
        endClearAll(tr("清空所有记录"), tr("数据清空成功"), int(MessageDialog::MessageType::Information));
    else
        endClearAll(tr("清空所有记录"), tr("清空记录失败"), int(MessageDialog::MessageType::Error));
}

void SystemSet2::endClearAll(const QString& title, const QString& text, int type)
{
    // Whatever the answer, some records may be gone: the figures are asked for again.
    ProtocolManager::instance()->SendCmd(Msg_Type::System, Msg_Cmd::DiskVolume, Target_Dev::Device);
    MessageDialog::ShowMessage(title, text, type);
}

void SystemSet2::on_pushButton_stateCheck_clicked()
{
    deviceCheck(false);
}

void SystemSet2::deviceCheck(bool automatic)
{
    ProtocolManager* protocol = ProtocolManager::instance();
    const quint64 seq = protocol->DeviceCheck(automatic, replyOwner());
    if (seq != 0)
        m_checks << CheckRound{seq,
                               SelfCheckReport(int(protocol->deviceInfo().BoardNum),
                                               ConfigSetting::instance()->isTransponder(), automatic),
                               false};
}

void SystemSet2::endCheck(quint64 seq, bool cut)
{
    for (int i = 0; i < m_checks.size(); ++i) {
        if (m_checks.at(i).seq != seq)
            continue;
        const CheckRound round = m_checks.takeAt(i);
        // A drop is named by the main window; what came before it is told all the same.
        if (!round.told && !(cut && round.report.answered() == 0))
            tellCheck(round.report);
        return;
    }
}

void SystemSet2::tellCheck(const SelfCheckReport& report)
{
    if (report.answered() == 0) {
        if (!report.automatic())
            MessageDialog::ShowMessage(tr("设备自检失败"), tr("设备响应超时"),
                                       int(MessageDialog::MessageType::Warning));
        return;
    }
    if (!report.tells())
        return;
    const SelfCheckReport::Verdict verdict = report.verdict();
    const MessageDialog::MessageType type =
        verdict == SelfCheckReport::Verdict::Fault     ? MessageDialog::MessageType::Error
        : verdict == SelfCheckReport::Verdict::Missing ? MessageDialog::MessageType::Warning
                                                       : MessageDialog::MessageType::Information;
    MessageDialog::ShowMessage(tr("自检结果"), report.text(), int(type));
}

ReplyOwner SystemSet2::replyOwner()
{
    return ReplyOwner(this, [this](const ReplyNotice& n) {
        const bool ip = Msg_Type(n.type) == Msg_Type::System && Msg_Cmd(n.cmd) == Msg_Cmd::SetIP;
        const bool clear = Msg_Type(n.type) == Msg_Type::RecordedManager && Msg_Cmd(n.cmd) == Msg_Cmd::DeleteAllRecord;
        const bool check = Msg_Type(n.type) == Msg_Type::System && Msg_Cmd(n.cmd) == Msg_Cmd::DeviceCheck;
        if (n.outcome == ReplyOutcome::CheckLost && clear)
            MessageDialog::ShowMessage(tr("核对记录失败"), RecordCheck::told(n.finding),
                                       int(MessageDialog::MessageType::Warning));
        else if (n.outcome == ReplyOutcome::Malformed && clear)
            endClearAll(tr("清空记录失败"), tr("设备应答不完整"), int(MessageDialog::MessageType::Warning));
        else if (n.outcome == ReplyOutcome::Settled && clear)
            // Told it is being checked, then settled by a record list: what that list shows, and
            // the figures it left.
            endClearAll(tr("清空所有记录"), RecordCheck::told(n.finding, n.unreadable),
                        int(MessageDialog::MessageType::Information));
        else if (n.outcome == ReplyOutcome::Corrected && clear)
            endClearAll(LastWords::title(), n.finding.text, int(MessageDialog::MessageType::Warning));
        else if (check && (n.outcome == ReplyOutcome::TimedOut || n.outcome == ReplyOutcome::Cut))
            endCheck(n.seq, n.outcome == ReplyOutcome::Cut);
        else if (n.outcome == ReplyOutcome::TimedOut)
            onReplyTimedOut(n.type, n.cmd);
        else if (n.outcome == ReplyOutcome::Late)
            onLateReply(n.type, n.cmd, n.request, n.reply);
        else if (ip && n.request.size() >= 4)
            showWord(ConfigWords::networkChange(
                n, ProtocolManager::ipInt2String(qFromLittleEndian<quint32>(n.request.constData()))));
        if (ip || clear)
            updateHeldButtons();
    });
}

void SystemSet2::onReplyTimedOut(uchar type, uchar cmd)
{
    // No request has a timer of its own here: the reply table says when the wait is over.
    if (Msg_Type(type) == Msg_Type::RecordedManager && Msg_Cmd(cmd) == Msg_Cmd::DeleteAllRecord) {
        // Not yet a failure: the record list fetched now, or its own late answer, tells.
        endClearAll(tr("清空所有记录"), ReplyWords::timedOut(), int(MessageDialog::MessageType::Warning));
        return;
    }
    // A network change is not yet a failure: its answer may still come in the quiet wait after.
}

void SystemSet2::onLateReply(uchar type, uchar cmd, const QByteArray& request, const QByteArray& reply)
{
    const bool ok = !reply.isEmpty() && reply.at(0) != 0;
    if (Msg_Type(type) == Msg_Type::RecordedManager && Msg_Cmd(cmd) == Msg_Cmd::DeleteAllRecord) {
        // Told it is being checked: what the instrument did after all, and the figures it left.
        if (ok)
            endClearAll(tr("清空所有记录"), tr("设备在超时后确认已清空所有记录"),
                        int(MessageDialog::MessageType::Information));
        else
            endClearAll(tr("清空所有记录"), tr("设备在超时后报告清空记录失败"), int(MessageDialog::MessageType::Error));
        return;
    }
    if (Msg_Type(type) != Msg_Type::System || Msg_Cmd(cmd) != Msg_Cmd::SetIP || request.size() < 4)
        return;
    // The address of the request it answers, which the person was told had no answer.
    const QString address = ProtocolManager::ipInt2String(qFromLittleEndian<quint32>(request.constData()));
    if (!ok) {
        FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "修改设备IP失败（超时后应答）：%1"),
                               address);
        MessageDialog::ShowMessage(tr("修改设备IP失败"),
                                   tr("设备在超时后拒绝了地址 %1，设备地址的配置未更改").arg(address),
                                   int(MessageDialog::MessageType::Warning));
        return;
    }
    takeAddress(address);
    MessageDialog::ShowMessage(tr("提示"), tr("设备在超时后接受了地址 %1，重启设备后生效").arg(address),
                               int(MessageDialog::MessageType::Information));
}

void SystemSet2::slot_core_device_check(uchar card, uint error, bool automatic)
{
    Q_UNUSED(automatic) // the round it answers says whose it is
    if (ConfigSetting::instance()->isTransponder() && error == 0x2)
        // A transponder has no disk of its own: a disk fault alone is no fault there.
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
    // As the protocol takes it: the oldest round open that this card has not answered yet.
    for (CheckRound& round : m_checks) {
        if (!round.report.add(int(card), error))
            continue;
        if (round.report.complete() && !round.told) {
            round.told = true;
            // Told once the reply that made it whole has been read.
            QMetaObject::invokeMethod(
                this, [this, report = round.report] { tellCheck(report); }, Qt::QueuedConnection);
        }
        return;
    }
}

// ---- RF and transponder parameters ----------------------------------------------------------

void SystemSet2::showTab(QWidget* tab, bool present)
{
    const int at = ui->tabWidget_function->indexOf(tab);
    if (!present && at >= 0)
        ui->tabWidget_function->removeTab(at);
    else if (present && at < 0)
        ui->tabWidget_function->addTab(tab, tab->property("tabTitle").toString());
}

void SystemSet2::UpdateFunctionTabs()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    const ConfigSetting* config = ConfigSetting::instance();

    const bool bandwidth = protocol->IsBandwidthEnable();
    showTab(ui->tab_bandwidth, bandwidth);
    if (bandwidth) {
        ui->comboBox_bandwidth->clear();
        const QStringList list = protocol->GetBandwidthList();
        for (const QString& entry : list) {
            const uint hertz = entry.toUInt();
            ui->comboBox_bandwidth->addItem(megahertzText(hertz), hertz);
        }
        selectBandwidth(protocol->GetBandwidth(false));
        disconnect(ui->comboBox_bandwidth, QOverload<int>::of(&QComboBox::currentIndexChanged), nullptr, nullptr);
        if (protocol->IsSampleRateEnable() && protocol->IsSampleRateBindBandwidth()) {
            ui->widget_bindSampleRate->show();
            QList<uint> rates;
            for (const QString& entry : protocol->GetSampleRateList())
                rates << entry.toUInt();
            const auto showRate = [this, rates](int index) {
                // -1 while the list is cleared, or a rate list shorter than the bandwidths.
                if (index >= 0 && index < rates.size())
                    ui->label_bindSampleRate->setText(QStringLiteral("%1 MSPS").arg(megahertzNumber(rates.at(index))));
            };
            connect(ui->comboBox_bandwidth, QOverload<int>::of(&QComboBox::currentIndexChanged), this, showRate);
            showRate(ui->comboBox_bandwidth->currentIndex());
        } else {
            ui->widget_bindSampleRate->hide();
        }
    }

    const bool transpond = protocol->IsTranspondEnable();
    showTab(ui->tab_transpond, transpond);
    if (transpond)
        ui->lineEdit_transpondDelay->setText(QString::number(protocol->GetTranspondDelay(false)));

    if (!protocol->IsDopplerEnable()) {
        ui->widget_doppler->hide();
        ui->widget_doppler->setEnabled(false);
    } else {
        ui->lineEdit_transpondDoppler->setText(QString::number(qint32(protocol->GetDopplerValue(false))));
    }

    showTab(ui->tab_gainpower, protocol->IsGainControlEnable());
    showTab(ui->tab_feedswitch, protocol->IsFeedSwtichControlEnable());
    showTab(ui->tab_customfrequency, protocol->IsCustomFrequencyEnable());

    if (config->isCpci()) {
        ui->comboBox_output_freq->clear();
        ui->comboBox_output_freq->addItem(QStringLiteral("L1"), 1);
        ui->comboBox_output_freq->addItem(QStringLiteral("B1I"), 2);
        ui->comboBox_output_freq->addItem(QStringLiteral("B1C"), 3);
        ui->comboBox_output_freq->addItem(QStringLiteral("B3A/B3I"), 4);
        ui->label_ip_tip->setText(tr("注：设置IP前，请先确保所设IP的地址未被占用，否则设备无法启动"));
        ui->pushButton_stateCheck->hide();
        showTab(ui->tab_transpond, false);
    } else {
        showTab(ui->tab_useroutputfrequency, false);
        ui->label_ip_tip->setText(ValueText::ipNote(int(protocol->deviceInfo().BoardNum)));
    }
    if (config->isLeo())
        showTab(ui->tab_transpond, false);
    if (config->is518())
        ui->pushButton_pulse_get->hide();
    else
        showTab(ui->tab_pulse, false);

    m_settingsLoaded = true;
    QShowEvent fresh;
    showEvent(&fresh);
}

void SystemSet2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshValues();
}

void SystemSet2::refreshValues()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    if (!protocol->isConnected() || !m_settingsLoaded)
        return;
    protocol->SendCmd(Msg_Type::System, Msg_Cmd::DiskVolume, Target_Dev::Device);
    if (protocol->IsBandwidthEnable())
        protocol->GetBandwidth(true);
    if (protocol->IsDopplerEnable())
        protocol->GetDopplerValue(true);
    if (protocol->IsTranspondEnable())
        protocol->GetTranspondDelay(true);
    if (protocol->IsGainControlEnable()) {
        protocol->GetMGCValue(true);
        protocol->GetMGCStatus(true);
    }
    if (protocol->IsFeedSwtichControlEnable())
        protocol->GetFeedSwitchStatus(true);
    if (protocol->IsCustomFrequencyEnable())
        RefreshCustomFreqList();
}

void SystemSet2::writeAndTell(const QString& what, const QString& value,
                              const std::function<bool(const ReplyOwner&)>& write)
{
    // One write waits for its answer at a time: a press while one is open sends nothing, and says
    // so rather than reporting the instrument's silence.
    const QString held = ProtocolManager::instance()->openReason(Msg_Type::System, ProtocolManager::DevConfigWrite);
    if (!held.isEmpty()) {
        showWord(ConfigWords::writeRefused(what));
        return;
    }
    const bool sent = write(ReplyOwner(this, [this, what, value](const ReplyNotice& n) {
        showWord(ConfigWords::write(n, ProtocolManager::configStored(n), what, value));
        updateHeldButtons();
    }));
    if (!sent)
        showWord(ConfigWords::writeNotSent(what));
    updateHeldButtons();
}

void SystemSet2::askRead(int which, const QString& what, DevConfigValue code)
{
    if (m_readsAsked.contains(which)) {
        showWord(ConfigWords::readRefused(what));
        return;
    }
    m_readsAsked.insert(which);
    // The field shows the value as it comes (UpdateTranspondDelay, UpdateDopplerValue); the person
    // hears once what became of the read, when that is known.
    ProtocolManager::instance()->readDeviceValue(
        code, ReplyOwner(this, [this, which, what](const ReplyNotice& n) {
            if (n.outcome == ReplyOutcome::TimedOut)
                return; // its own answer may still come in the quiet wait
            m_readsAsked.remove(which);
            showWord(ConfigWords::read(n, what,
                                       which == kDelayRead ? ui->lineEdit_transpondDelay->text()
                                                           : ui->lineEdit_transpondDoppler->text()));
        }));
}

void SystemSet2::on_pushButton_readtrans_clicked()
{
    askRead(kDelayRead, tr("转发时延"), DevConfigValue::TranspondDelay);
}

void SystemSet2::on_pushButton_settrans_clicked()
{
    // The number typed goes as it is, whatever unit the display uses; no number is 0.
    const int delay = int(ui->lineEdit_transpondDelay->text().toUInt());
    writeAndTell(tr("转发时延"), QString::number(delay), [delay](const ReplyOwner& owner) {
        return ProtocolManager::instance()->SetTranspondDelay(delay, owner);
    });
}

void SystemSet2::on_pushButton_readdoppler_clicked()
{
    askRead(kDopplerRead, tr("多普勒参数"), DevConfigValue::Doppler);
}

void SystemSet2::on_pushButton_setdoppler_clicked()
{
    // Signed as shown; the unsigned form of the same 32 bits is taken too. No number is 0.
    const QString text = ui->lineEdit_transpondDoppler->text().trimmed();
    bool isSigned = false;
    const qint32 value = text.toInt(&isSigned);
    const quint32 bits = isSigned ? quint32(value) : text.toUInt();
    writeAndTell(tr("多普勒参数"), QString::number(qint32(bits)),
                 [bits](const ReplyOwner& owner) { return ProtocolManager::instance()->SetDopplerValue(bits, owner); });
}

void SystemSet2::selectBandwidth(uint hertz)
{
    // By value: no item then stays current for a bandwidth the instrument does not use.
    ui->comboBox_bandwidth->setCurrentIndex(ui->comboBox_bandwidth->findData(hertz));
}

void SystemSet2::on_pushButton_bandwidth_clicked()
{
    // Nothing selected (the instrument's bandwidth is not in its list): nothing to write.
    if (ui->comboBox_bandwidth->currentIndex() < 0)
        return;
    const uint hertz = ui->comboBox_bandwidth->currentData().toUInt();
    writeAndTell(tr("带宽"), ui->comboBox_bandwidth->currentText(),
                 [hertz](const ReplyOwner& owner) { return ProtocolManager::instance()->SetBandwidth(hertz, owner); });
}

void SystemSet2::on_radioButton_agc_clicked()
{
    const bool manual = ui->radioButton_mgc->isChecked();
    writeAndTell(
        tr("增益模式"), manual ? QStringLiteral("MGC") : QStringLiteral("AGC"),
        [manual](const ReplyOwner& owner) { return ProtocolManager::instance()->SetMGCStatus(manual, owner); });
}

void SystemSet2::on_radioButton_mgc_clicked()
{
    on_radioButton_agc_clicked();
}

void SystemSet2::on_pushButton_mgc_clicked()
{
    if (!ui->radioButton_mgc->isChecked())
        return;
    const int value = ui->spb_mgc->value();
    writeAndTell(tr("MGC 功率"), QString::number(value),
                 [value](const ReplyOwner& owner) { return ProtocolManager::instance()->SetMGCValue(value, owner); });
}

void SystemSet2::on_checkBox_feedswitch_clicked(bool checked)
{
    writeAndTell(tr("馈电开关"), checked ? tr("打开") : tr("关闭"), [checked](const ReplyOwner& owner) {
        return ProtocolManager::instance()->SetFeedSwitchStatus(checked, owner);
    });
}

void SystemSet2::on_pushButton_setOutput_clicked()
{
    // No frequency to choose (the list comes with the instrument's configuration): nothing goes.
    if (ui->comboBox_output_freq->currentIndex() < 0)
        return;
    // The instrument does not answer this one: the person is told it went out, no more.
    ProtocolManager::instance()->SetOutputFrequent(uchar(ui->comboBox_output_freq->currentData().toUInt()));
    MessageDialog::ShowMessage(tr("已发送"),
                               tr("输出频点 %1 已发送，设备不回复结果").arg(ui->comboBox_output_freq->currentText()),
                               int(MessageDialog::MessageType::Information));
}

void SystemSet2::on_pushButton_pulse_set_clicked()
{
    const uint width = ui->lineEdit_pulse_width->text().toUInt();
    if (width > 1000) {
        MessageDialog::ShowMessage(tr("对时脉冲设置失败"), tr("秒脉冲等待时间范围需在 [0,1000] 内"),
                                   int(MessageDialog::MessageType::Warning));
        return;
    }
    ProtocolManager::instance()->SetPulseSetting(width, ui->lineEdit_pulse_count->text().toUInt());
    MessageDialog::ShowMessage(tr("已发送"), tr("对时脉冲设置已发送，设备不回复结果"),
                               int(MessageDialog::MessageType::Information));
}

void SystemSet2::on_pushButton_pulse_request_clicked()
{
    ProtocolManager::instance()->SendPulseRequest();
    MessageDialog::ShowMessage(tr("已发送"), tr("对时脉冲请求已发送"), int(MessageDialog::MessageType::Information));
}

void SystemSet2::on_lineEdit_transpondDelay_textChanged(const QString& text)
{
    QString unit = QStringLiteral("ns");
    double value = 0;
    if (m_transportMode == 0 || m_transportMode == 1) {
        value = text.toInt();
        if (m_transportMode == 1)
            value = value * 100.0 / 6.0; // the field counts steps of 100/6 ns
        if (value >= 1000) {
            value /= 1000;
            if (value >= 1000) {
                value /= 1000;
                unit = QStringLiteral("ms");
            } else {
                unit = QStringLiteral("μs");
            }
        }
    }
    ui->label_transpondDelay->setText(QStringLiteral("( %1 %2 )").arg(QString::number(value, 'f', 2), unit));
}

// ---- custom frequency bands ------------------------------------------------------------------

namespace {
QStandardItem* customBandRow(const QString& name, quint32 hertz)
{
    auto* item = new QStandardItem(QStringLiteral("%1(%2)").arg(name).arg(hertz));
    item->setData(name, kBandNameRole);
    item->setData(hertz, kBandFreqRole);
    item->setEditable(false);
    return item;
}
} // namespace

void SystemSet2::updateCustomCount()
{
    ui->label_cst_count->setText(QStringLiteral("%1 / %2").arg(m_customModel->rowCount()).arg(kMaxCustomBands));
}

void SystemSet2::RefreshCustomFreqList()
{
    m_customModel->clear();
    const QMap<uint, FreqBand>& bands = ProtocolManager::instance()->freqBands;
    for (auto it = bands.cbegin(); it != bands.cend(); ++it) {
        if (it->custom)
            m_customModel->appendRow(customBandRow(it->name, it->freq));
    }
    updateCustomCount();
}

void SystemSet2::on_pushButton_cst_cancel_clicked()
{
    RefreshCustomFreqList();
}

void SystemSet2::on_pushButton_cst_add_clicked()
{
    ui->label_cst_info->clear();
    const quint32 hertz = ui->lineEdit_cst_freq->text().toUInt();
    const QString name = ui->lineEdit_cst_name->text().trimmed();
    static const QRegularExpression forbidden(QStringLiteral("[\\*#&\\^\\%]+"));
    if (forbidden.match(name).hasMatch()) {
        ui->label_cst_info->setText(tr("名称不能包含* # & ^ % 字符"));
        return;
    }
    if (hertz < kCustomFreqMin || hertz > kCustomFreqMax) {
        ui->label_cst_info->setText(tr("频段范围为 200MHz ~ 4.2GHz"));
        return;
    }
    if (name.isEmpty()) {
        ui->label_cst_info->setText(tr("请检查输入的频段名称与中心频率是否有效"));
        return;
    }
    if (m_customModel->rowCount() >= kMaxCustomBands) {
        ui->label_cst_info->setText(tr("最大自定义频段数量为 10 个"));
        return;
    }
    for (int row = 0; row < m_customModel->rowCount(); ++row) {
        const QStandardItem* item = m_customModel->item(row);
        if (item->data(kBandFreqRole).toUInt() == hertz || item->data(kBandNameRole).toString() == name) {
            ui->label_cst_info->setText(tr("已存在同名/同中心频率的频段，添加失败"));
            return;
        }
    }
    m_customModel->appendRow(customBandRow(name, hertz));
    updateCustomCount();
    ui->label_cst_info->setText(tr("保存修改后生效"));
}

void SystemSet2::on_pushButton_cst_del_clicked()
{
    ui->label_cst_info->clear();
    const int last = m_customModel->rowCount() - 1;
    if (last < 0)
        return;
    const quint32 hertz = m_customModel->item(last)->data(kBandFreqRole).toUInt();
    // A record names its bands by band number; the band numbers of this frequency are those of
    // the saved custom bands that carry it. The frequency itself is matched too.
    QList<uint> ids{hertz};
    const QMap<uint, FreqBand>& bands = ProtocolManager::instance()->freqBands;
    for (auto it = bands.cbegin(); it != bands.cend(); ++it) {
        if (it->custom && it->freq == hertz)
            ids << it.key();
    }
    for (const RecordEx& record : RecordAssist::instance()->Records) {
        // Each band has a section of its own, so no count above the sections is real.
        const uint count = qMin(record.getSectionValue(RecordKey::RecordSection, RecordKey::FreqNum, 0).toUInt(),
                                uint(record.allSections().size()));
        for (uint i = count; i >= 1; --i) {
            const uint band = record.getSectionValue(RecordKey::freqSection(i), RecordKey::Num, 0).toUInt();
            if (ids.contains(band)) {
                ui->label_cst_info->setText(tr("存在该频段采集的记录，请先删除记录"));
                return;
            }
        }
    }
    m_customModel->removeRow(last);
    updateCustomCount();
    ui->label_cst_info->setText(tr("保存修改后生效"));
}

void SystemSet2::on_pushButton_cst_save_clicked()
{
    ui->tab_customfrequency->setEnabled(false);
    ProtocolManager* protocol = ProtocolManager::instance();
    int builtin = 0;
    for (const FreqBand& band : qAsConst(protocol->freqBands)) {
        if (!band.custom)
            ++builtin;
    }
    const int n = qMin(m_customModel->rowCount(), kMaxCustomBands);
    // The custom bands always follow the built-in ones.
    QStringList keys{DevConfigCodec::freqNumKey()};
    QStringList values{QString::number(builtin + n)};
    QString summary;
    for (int j = 1; j <= n; ++j) {
        const QStandardItem* item = m_customModel->item(j - 1);
        const int k = builtin + j;
        const uint hertz = item->data(kBandFreqRole).toUInt();
        keys << DevConfigCodec::customBandKeys(k);
        values << DevConfigCodec::customBandValues(item->data(kBandNameRole).toString(), hertz);
        summary += QStringLiteral("Freq%1: %2\n").arg(k).arg(hertz);
    }
    const bool sent = protocol->SetDevConfig(
        DevConfigCodec::group(), keys, values, ReplyOwner(this, [this, summary](const ReplyNotice& n) {
            updateHeldButtons();
            if (n.outcome == ReplyOutcome::TimedOut || n.outcome == ReplyOutcome::Cut) {
                if (n.outcome == ReplyOutcome::Cut)
                    ui->tab_customfrequency->setEnabled(true);
                return; // past its wait it stays open in quiet; a link drop is named by the main window
            }
            const bool late = n.outcome == ReplyOutcome::Late;
            if ((n.outcome == ReplyOutcome::InTime || late) && ProtocolManager::configStored(n)) {
                ui->label_cst_info->setText(tr("已有保存的修改，待重启设备和软件!"));
                FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "自定义频段保存修改成功 %1"),
                                       summary);
                // Further edits wait for the restart that takes the new bands in.
                MessageDialog::ShowMessage(tr("保存成功"),
                                           tr("自定义频段保存修改成功，设备和控制软件都重启后生效。\n"
                                              "本软件不能重启设备：请给设备断电后重新上电，再重新启动本软件。"),
                                           int(MessageDialog::MessageType::Information));
                return;
            }
            FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "自定义频段保存修改失败 %1"),
                                   summary);
            if (n.outcome == ReplyOutcome::Unknown || n.outcome == ReplyOutcome::Malformed)
                MessageDialog::ShowMessage(tr("保存结果未知"), tr("设备未应答，无法确定自定义频段是否已保存，请重试"),
                                           int(MessageDialog::MessageType::Warning));
            else
                MessageDialog::ShowMessage(tr("保存失败"), tr("自定义频段保存修改失败，请重试"),
                                           int(MessageDialog::MessageType::Error));
            ui->tab_customfrequency->setEnabled(true);
        }));
    updateHeldButtons();
    if (sent)
        return;
    FileLogger::LogMessage(FileLogger::Error, QT_TRANSLATE_NOOP("FileLogger", "自定义频段保存修改失败 %1"), summary);
    MessageDialog::ShowMessage(tr("保存失败"), tr("自定义频段保存修改未发送，请重试"),
                               int(MessageDialog::MessageType::Error));
    ui->tab_customfrequency->setEnabled(true);
}
