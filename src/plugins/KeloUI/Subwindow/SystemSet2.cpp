#include "SystemSet2.h"

#include "BootScreen.h"
#include "MessageDialog.h"

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <ntpserver.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {
SystemSet2::DirectoryChooser g_chooser;
SystemSet2::InformationBox g_informationBox;

const QString kGroupNetwork = QStringLiteral("Network");
const QString kGroupNewNetwork = QStringLiteral("NewNetwork");

QVariant setting(const QString& group, const QString& key)
{
    return ConfigSetting::instance()->GetInit(group, key);
}

void store(const QString& group, const QString& key, const QVariant& value)
{
    ConfigSetting::instance()->SetInit(group, key, value);
}

QLabel* notBuiltNotice(QWidget* parent)
{
    auto* label = new QLabel(QObject::tr("此功能尚未实现"), parent);
    label->setObjectName(QStringLiteral("label_notBuilt"));
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
    return label;
}

QLineEdit* addRow(QGridLayout* grid, int row, const QString& caption, const QString& name, QWidget* parent)
{
    grid->addWidget(new QLabel(caption, parent), row, 0);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    grid->addWidget(edit, row, 1);
    return edit;
}

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}
} // namespace

void SystemSet2::setDirectoryChooser(DirectoryChooser chooser)
{
    g_chooser = std::move(chooser);
}

void SystemSet2::setInformationBox(InformationBox box)
{
    g_informationBox = std::move(box);
}

SystemSet2::SystemSet2(QWidget* parent)
    : QWidget(parent)
{
    setupForm();
    ConfigSetting* config = ConfigSetting::instance();
    m_transportMode = setting(QStringLiteral("ExtendedOptions"), QStringLiteral("transportMode")).toUInt();

    if (config->deviceType == QLatin1String("TRANS")) {
        // A transponder keeps no records of its own.
        groupBox_disk->setEnabled(false);
        groupBox_disk->hide();
        groupBox_savepath->setEnabled(false);
        groupBox_savepath->hide();
    }

    lineEdit_IP->setText(setting(kGroupNetwork, QStringLiteral("IP")).toString());
    lineEdit_Port->setText(setting(kGroupNetwork, QStringLiteral("Port")).toString());
    txt_CurrentPath->setText(setting(QStringLiteral("DataSave"), QStringLiteral("path")).toString());

    ProtocolManager* protocol = ProtocolManager::instance();
    connect(BootScreen::instance(), &BootScreen::ChangeConnectIP, this, &SystemSet2::slot_ChangeConnectIP);
    connect(this, &SystemSet2::PrintSystemLog, FileLogger::instance(), &FileLogger::slot_LogMessage);
    connect(protocol, &ProtocolManager::UpdateDeviceInfo, this, &SystemSet2::slot_update_device_info);
    connect(protocol, &ProtocolManager::SetIPSuccess, this, &SystemSet2::slot_SetIPSuccess);
    connect(protocol, &ProtocolManager::ReceivedDiskVolume, this, &SystemSet2::slot_core_ReceivedDiskVolume);
    // Queued: one message per board, each shown after the reply that carried it was parsed.
    connect(protocol, &ProtocolManager::DeviceCheckResult, this, &SystemSet2::slot_core_device_check,
            Qt::QueuedConnection);
    // Direct, as the services emit in this thread; the page is the context so that a page that
    // goes before the services leaves no handler behind.
    connect(protocol, &ProtocolManager::NetSuccess, this, [this](bool up) { onLinkState(up); },
            Qt::DirectConnection);
    connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this,
            [this](SystemState state) { onRunState(state); }, Qt::DirectConnection);

    // The system's first connection, with the configured address.
    pbn_connect->click();
    StartNtpServer();
}

void SystemSet2::setupForm()
{
    setObjectName(QStringLiteral("SystemSet2"));
    setWindowTitle(tr("系统设置"));
    auto* grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("gridLayout"));
    auto* left = new QVBoxLayout;
    left->addWidget(buildNetworkGroup());
    left->addWidget(buildSetIpGroup());
    left->addWidget(buildSavePathGroup());
    left->addWidget(buildDiskGroup());
    left->addStretch();
    grid->addLayout(left, 0, 0);
    grid->addWidget(buildFunctionTabs(), 0, 1);
    grid->setColumnStretch(1, 1);
    QMetaObject::connectSlotsByName(this);
}

QGroupBox* SystemSet2::buildNetworkGroup()
{
    groupBox_network = new QGroupBox(tr("控制连接设置"), this);
    groupBox_network->setObjectName(QStringLiteral("groupBox_network"));
    auto* grid = new QGridLayout(groupBox_network);
    lineEdit_IP = addRow(grid, 0, tr("设 备 IP："), QStringLiteral("lineEdit_IP"), groupBox_network);
    lineEdit_Port = addRow(grid, 1, tr("端 口 号："), QStringLiteral("lineEdit_Port"), groupBox_network);
    pbn_connect = makeButton(tr("连接"), QStringLiteral("pbn_connect"), groupBox_network);
    pushButton_stateCheck = makeButton(tr("设备自检"), QStringLiteral("pushButton_stateCheck"), groupBox_network);
    grid->addWidget(pbn_connect, 0, 2);
    grid->addWidget(pushButton_stateCheck, 1, 2);
    return groupBox_network;
}

QGroupBox* SystemSet2::buildSetIpGroup()
{
    groupBox_SetIP = new QGroupBox(tr("设备网络修改"), this);
    groupBox_SetIP->setObjectName(QStringLiteral("groupBox_SetIP"));
    auto* grid = new QGridLayout(groupBox_SetIP);
    txt_IP = addRow(grid, 0, tr("IP  地  址："), QStringLiteral("txt_IP"), groupBox_SetIP);
    txt_NetMask = addRow(grid, 1, tr("子网掩码："), QStringLiteral("txt_NetMask"), groupBox_SetIP);
    txt_Gateway = addRow(grid, 2, tr("网      关："), QStringLiteral("txt_Gateway"), groupBox_SetIP);
    ptn_SetDeviceIP = makeButton(tr("设置"), QStringLiteral("ptn_SetDeviceIP"), groupBox_SetIP);
    grid->addWidget(ptn_SetDeviceIP, 2, 2);
    label_ip_tip = new QLabel(tr("注：设置IP前，请先确保所设IP的后三个以上IP地址未被占用，否则设备无法启动"), groupBox_SetIP);
    label_ip_tip->setObjectName(QStringLiteral("label_ip_tip"));
    label_ip_tip->setStyleSheet(QStringLiteral("color: rgb(255, 17, 17);"));
    label_ip_tip->setWordWrap(true);
    grid->addWidget(label_ip_tip, 3, 0, 1, 3);
    return groupBox_SetIP;
}

QGroupBox* SystemSet2::buildSavePathGroup()
{
    groupBox_savepath = new QGroupBox(tr("数据保存路径"), this);
    groupBox_savepath->setObjectName(QStringLiteral("groupBox_savepath"));
    auto* grid = new QGridLayout(groupBox_savepath);
    txt_CurrentPath = addRow(grid, 0, tr("当前路径："), QStringLiteral("txt_CurrentPath"), groupBox_savepath);
    txt_CurrentPath->setReadOnly(true);
    txt_CurrentPath->setDragEnabled(false);
    pbn_ChangePath = makeButton(tr("修改路径"), QStringLiteral("pbn_ChangePath"), groupBox_savepath);
    pbn_OpenPath = makeButton(tr("打开路径"), QStringLiteral("pbn_OpenPath"), groupBox_savepath);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pbn_ChangePath);
    buttons->addWidget(pbn_OpenPath);
    grid->addLayout(buttons, 1, 0, 1, 2);
    return groupBox_savepath;
}

QGroupBox* SystemSet2::buildDiskGroup()
{
    groupBox_disk = new QGroupBox(tr("设备硬盘设置"), this);
    groupBox_disk->setObjectName(QStringLiteral("groupBox_disk"));
    auto* grid = new QGridLayout(groupBox_disk);
    const auto valueLabel = [this](const QString& name) {
        auto* label = new QLabel(tr("未连接设备"), groupBox_disk);
        label->setObjectName(name);
        return label;
    };
    grid->addWidget(new QLabel(tr("存储容量："), groupBox_disk), 0, 0);
    label_TotalMemory = valueLabel(QStringLiteral("label_TotalMemory"));
    grid->addWidget(label_TotalMemory, 0, 1);
    grid->addWidget(new QLabel(tr("剩余容量："), groupBox_disk), 1, 0);
    label_SurplusMemory = valueLabel(QStringLiteral("label_SurplusMemory"));
    grid->addWidget(label_SurplusMemory, 1, 1);
    grid->setColumnStretch(1, 1);
    ptn_clear = makeButton(tr("清空所有记录"), QStringLiteral("ptn_clear"), groupBox_disk);
    grid->addWidget(ptn_clear, 1, 2);
    return groupBox_disk;
}

QTabWidget* SystemSet2::buildFunctionTabs()
{
    tabWidget_function = new QTabWidget(this);
    tabWidget_function->setObjectName(QStringLiteral("tabWidget_function"));
    auto* tab = new QWidget(tabWidget_function);
    tab->setObjectName(QStringLiteral("tab_pulse"));
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(notBuiltNotice(tab));
    tabWidget_function->addTab(tab, tr("射频与转发参数"));
    tabWidget_function->setCurrentWidget(tab);
    return tabWidget_function;
}

void SystemSet2::StartNtpServer()
{
    // One for the process, never freed: the instrument takes its clock from it.
    static ntpserver* const server = new ntpserver(nullptr);
    m_ntp = server;
}

bool SystemSet2::IsValidIP(const QString& text)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}"
                       "(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b")));
    return re.match(text).hasMatch();
}

void SystemSet2::on_pbn_connect_clicked()
{
    pbn_connect->setEnabled(false);
    ProtocolManager* protocol = ProtocolManager::instance();
    if (pbn_connect->text() == tr("连接")) {
        // Address parts are decimal: "010.001.001.001" is 10.1.1.1, where the socket layer
        // would read the leading zero as octal.
        QString ipText = lineEdit_IP->text();
        if (BootScreen::isValidAddress(ipText))
            ipText = BootScreen::normalisedAddress(ipText);
        QHostAddress address;
        const bool addressOk = address.setAddress(ipText);
        bool numberOk = false;
        const uint port = lineEdit_Port->text().toUInt(&numberOk);
        if (!addressOk || !numberOk || port == 0 || port > 65535) {
            MessageDialog::ShowMessage(tr("错误"), tr("请输入正确的IP地址或端口号！"),
                                       int(MessageDialog::MessageType::Error));
            pbn_connect->setEnabled(true);
            return;
        }
        protocol->ConnectTcp(address.toString(), quint16(port));
        // Stored in the decimal form the link uses, so a later reconnection goes to the same place.
        store(kGroupNetwork, QStringLiteral("IP"), ipText);
        store(kGroupNetwork, QStringLiteral("Port"), lineEdit_Port->text());
    } else if (pbn_connect->text() == tr("断开")) {
        FileLogger::LogMessage(FileLogger::Info, QStringLiteral("手动断开连接"));
        protocol->DisConnectTcp();
    }
    // The link-state handler enables the button again.
}

void SystemSet2::onLinkState(bool up)
{
    if (up) {
        lineEdit_IP->setText(setting(kGroupNetwork, QStringLiteral("IP")).toString());
        pbn_connect->setText(tr("断开"));
        tabWidget_function->setEnabled(true);
    } else {
        pbn_connect->setText(tr("连接"));
        tabWidget_function->setEnabled(false);
        m_settingsLoaded = false;
    }
    pbn_connect->setEnabled(true);
}

void SystemSet2::slot_ChangeConnectIP()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    protocol->DisConnectTcp();
    protocol->ConnectTcp(setting(kGroupNetwork, QStringLiteral("IP")).toString(),
                         quint16(setting(kGroupNetwork, QStringLiteral("Port")).toUInt()));
}

void SystemSet2::on_ptn_SetDeviceIP_clicked()
{
    const QString ip = txt_IP->text();
    const QString mask = txt_NetMask->text();
    const QString gateway = txt_Gateway->text();
    for (QLineEdit* field : {txt_IP, txt_NetMask, txt_Gateway}) {
        if (!IsValidIP(field->text())) {
            field->setStyleSheet(QStringLiteral("border-color:#F50000;"));
            field->setToolTip(tr("IP不合法"));
            return;
        }
        field->setStyleSheet(QStringLiteral("border-color:#B2B6B9;"));
        field->setToolTip(QString());
    }
    store(kGroupNewNetwork, QStringLiteral("IP"), ip);
    store(kGroupNewNetwork, QStringLiteral("NetMask"), mask);
    store(kGroupNewNetwork, QStringLiteral("Gateway"), gateway);
    ProtocolManager::instance()->SetIPCmd(ip, mask, gateway);
}

void SystemSet2::slot_SetIPSuccess(bool ok)
{
    if (!ok)
        return; // the status log reports the failure
    const QString title = tr("提示");
    const QString text = tr("修改设备IP成功，重启设备后生效");
    if (g_informationBox)
        g_informationBox(this, title, text);
    else
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    // The running link keeps its address; the next connection takes the new one.
    QString address = setting(kGroupNewNetwork, QStringLiteral("IP")).toString();
    if (BootScreen::isValidAddress(address))
        address = BootScreen::normalisedAddress(address);
    store(kGroupNetwork, QStringLiteral("IP"), address);
    lineEdit_IP->setText(setting(kGroupNetwork, QStringLiteral("IP")).toString());
}

QString SystemSet2::SelectSavePath()
{
    const QString caption = tr("请选择数据保存位置");
    const QString start = AppPaths::applicationDir();
    const QString chosen = g_chooser ? g_chooser(this, caption, start)
                                     : QFileDialog::getExistingDirectory(this, caption, start, QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) {
        store(QStringLiteral("DataSave"), QStringLiteral("path"), chosen);
        emit PrintSystemLog(FileLogger::Info, tr("修改文件保存路径成功，Path:") + chosen);
        return chosen;
    }
    const QString stored = setting(QStringLiteral("DataSave"), QStringLiteral("path")).toString();
    if (!stored.isEmpty() && QDir(stored).exists())
        return stored;
    store(QStringLiteral("DataSave"), QStringLiteral("path"), start);
    emit PrintSystemLog(FileLogger::Info, tr("文件保存路径修改为默认路径，Path:") + start);
    return start;
}

void SystemSet2::on_pbn_ChangePath_clicked()
{
    txt_CurrentPath->setText(SelectSavePath());
}

void SystemSet2::on_pbn_OpenPath_clicked()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(txt_CurrentPath->text()));
}

void SystemSet2::onRunState(SystemState state)
{
    const bool usable = state == SystemState::Error || state == SystemState::Idle;
    ptn_clear->setEnabled(usable);
    ptn_SetDeviceIP->setEnabled(usable);
    pbn_ChangePath->setEnabled(usable);
}

namespace {
// Megabytes as whole gigabytes, rounded down: 2047 MB is "1GB".
QString capacityText(quint32 megabytes)
{
    return QString::number(megabytes >> 10) + QStringLiteral("GB");
}
} // namespace

void SystemSet2::slot_update_device_info(DeviceInfo info)
{
    label_TotalMemory->setText(capacityText(info.TotalCapacity));
    label_SurplusMemory->setText(capacityText(info.SurplusCapacity));
}

void SystemSet2::slot_update_availab_capacity(uint32_t surplusCapacity)
{
    label_SurplusMemory->setText(capacityText(surplusCapacity));
}

void SystemSet2::slot_core_ReceivedDiskVolume(QList<DiskVolume> diskVolume)
{
    QString totals;
    QString frees;
    for (const DiskVolume& v : diskVolume) {
        if (!totals.isEmpty())
            totals += QStringLiteral(" / ");
        totals += capacityText(v.Total);
        if (!frees.isEmpty())
            frees += QStringLiteral(" / ");
        frees += capacityText(v.Free);
    }
    label_TotalMemory->setText(totals);
    label_SurplusMemory->setText(frees);
}

void SystemSet2::on_ptn_clear_clicked()
{
    const int answer = MessageDialog::Question(tr("警告"), tr("是否确认清空所有数据!"),
                                               int(MessageDialog::MessageType::Warning), tr("确认"), tr("取消"));
    if (answer != 0)
        return;
    ProtocolManager* protocol = ProtocolManager::instance();
    protocol->SendCmd(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord, Target_Dev::Device);
    // The capacity is asked for at once; its reply follows the delete's.
    protocol->SendCmd(Msg_Type::System, Msg_Cmd::DiskVolume, Target_Dev::Device);
}

void SystemSet2::on_pushButton_stateCheck_clicked()
{
    ProtocolManager::instance()->DeviceCheck();
}

void SystemSet2::slot_core_device_check(uchar card, uint error)
{
    const QString title = tr("自检结果");
    if (error == 0) {
        MessageDialog::ShowMessage(title, tr("[板卡 %1]设备自检正常").arg(card),
                                   int(MessageDialog::MessageType::Information));
        return;
    }
    QString text = tr("[板卡 %1]").arg(card);
    const QString faults[] = {tr("射频模块故障"), tr("硬盘故障"), tr("无校准文件")};
    for (int bit = 0; bit < 3; ++bit) {
        if (error & (1u << bit))
            text += QLatin1Char('\n') + faults[bit];
    }
    if (ConfigSetting::instance()->deviceType == QLatin1String("TRANS") && error == 0x2) {
        // A transponder has no disk of its own: a disk fault alone is no fault there.
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        return;
    }
    MessageDialog::ShowMessage(title, text, int(MessageDialog::MessageType::Error));
}
