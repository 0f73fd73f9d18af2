#include "SystemSet2.h"

#include "BootScreen.h"
#include "MessageDialog.h"

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <ntpserver.h>

#include <RecordAssist.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHostAddress>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QSpinBox>
#include <QStandardItemModel>
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

// Item data roles of a custom band row: its name and its centre frequency in Hz.
constexpr int kBandNameRole = 528;
constexpr int kBandFreqRole = 529;
constexpr int kMaxCustomBands = 10;
constexpr quint32 kCustomFreqMin = 200000000u;
constexpr quint32 kCustomFreqMax = 4200000000u;
const QString kDevConfigGroup = QStringLiteral("devConfig");

QLabel* makeLabel(const QString& text, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QLineEdit* makeEdit(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

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

    if (config->isTransponder()) {
        // A transponder keeps no records of its own.
        groupBox_disk->setEnabled(false);
        groupBox_disk->hide();
        groupBox_savepath->setEnabled(false);
        groupBox_savepath->hide();
    } else {
        lineEdit_transpondDelay->setValidator(new QIntValidator(0, 120000, lineEdit_transpondDelay));
    }

    lineEdit_IP->setText(setting(kGroupNetwork, QStringLiteral("IP")).toString());
    lineEdit_Port->setText(setting(kGroupNetwork, QStringLiteral("Port")).toString());
    txt_CurrentPath->setText(setting(QStringLiteral("DataSave"), QStringLiteral("path")).toString());
    m_customModel = new QStandardItemModel(listView_cst);
    listView_cst->setModel(m_customModel);

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
    connect(protocol, &ProtocolManager::UpdateTranspondDelay, this,
            [this](int v) { lineEdit_transpondDelay->setText(QString::number(v)); }, Qt::DirectConnection);
    // A Doppler shift is signed; the device configuration holds its 32 bits unsigned.
    connect(protocol, &ProtocolManager::UpdateDopplerValue, this,
            [this](int v) { lineEdit_transpondDoppler->setText(QString::number(v)); }, Qt::DirectConnection);
    connect(protocol, &ProtocolManager::UpdateBandwidth, this, [this](uint v) { selectBandwidth(v); },
            Qt::DirectConnection);
    connect(protocol, &ProtocolManager::UpdateMGCValue, this, [this](int v) { spb_mgc->setValue(v); },
            Qt::DirectConnection);
    connect(protocol, &ProtocolManager::UpdateMGCStatus, this,
            [this](bool on) { (on ? radioButton_mgc : radioButton_agc)->setChecked(true); }, Qt::DirectConnection);
    connect(protocol, &ProtocolManager::UpdateFeedSwitchStatus, this,
            [this](bool on) { checkBox_feedswitch->setChecked(on); }, Qt::DirectConnection);
    connect(protocol, &ProtocolManager::NetSuccess, this, [this](bool up) { onLinkState(up); },
            Qt::DirectConnection);
    connect(protocol, &ProtocolManager::ConnectFailed, this, [this] { onConnectFailed(); }, Qt::DirectConnection);
    connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this,
            [this](SystemState state) { onRunState(state); }, Qt::DirectConnection);

    // The system's first connection, with the configured address.
    pbn_connect->click();
    StartNtpServer();
    connect(protocol, &ProtocolManager::GetDeviceSettingsFinished, this, &SystemSet2::UpdateFunctionTabs,
            Qt::DirectConnection);
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
    // A row of its own: beside the capacities it widened the page by the width of the figures.
    ptn_clear = makeButton(tr("清空所有记录"), QStringLiteral("ptn_clear"), groupBox_disk);
    grid->addWidget(ptn_clear, 2, 1, Qt::AlignRight);
    return groupBox_disk;
}

QTabWidget* SystemSet2::buildFunctionTabs()
{
    tabWidget_function = new QTabWidget(this);
    tabWidget_function->setObjectName(QStringLiteral("tabWidget_function"));
    buildTranspondTab();
    buildBandwidthTab();
    buildGainTab();
    buildFeedSwitchTab();
    buildOutputFrequencyTab();
    buildPulseTab();
    buildCustomFrequencyTab();
    tabWidget_function->setCurrentWidget(tab_pulse);
    return tabWidget_function;
}

QWidget* SystemSet2::newTab(const QString& name, const QString& title)
{
    auto* tab = new QWidget(tabWidget_function);
    tab->setObjectName(name);
    // Kept on the tab, so that a tab taken out can come back with its title.
    tab->setProperty("tabTitle", title);
    tabWidget_function->addTab(tab, title);
    return tab;
}

QWidget* SystemSet2::buildTranspondTab()
{
    tab_transpond = newTab(QStringLiteral("tab_transpond"), tr("转发时延"));
    auto* layout = new QVBoxLayout(tab_transpond);
    widget_transpond = new QWidget(tab_transpond);
    widget_transpond->setObjectName(QStringLiteral("widget_transpond"));
    auto* row = new QHBoxLayout(widget_transpond);
    lineEdit_transpondDelay = makeEdit(QStringLiteral("lineEdit_transpondDelay"), widget_transpond);
    label_transpondDelay = makeLabel(QStringLiteral("( ns )"), QStringLiteral("label_transpondDelay"), widget_transpond);
    pushButton_readtrans = makeButton(tr("读取"), QStringLiteral("pushButton_readtrans"), widget_transpond);
    pushButton_settrans = makeButton(tr("设置"), QStringLiteral("pushButton_settrans"), widget_transpond);
    row->addWidget(lineEdit_transpondDelay, 1);
    row->addWidget(label_transpondDelay);
    row->addWidget(pushButton_readtrans);
    row->addWidget(pushButton_settrans);
    layout->addWidget(widget_transpond);

    auto* doppler = new QGroupBox(tr("多普勒参数"), tab_transpond);
    doppler->setObjectName(QStringLiteral("widget_doppler"));
    widget_doppler = doppler;
    auto* dopplerRow = new QHBoxLayout(widget_doppler);
    lineEdit_transpondDoppler = makeEdit(QStringLiteral("lineEdit_transpondDoppler"), widget_doppler);
    pushButton_readdoppler = makeButton(tr("读取"), QStringLiteral("pushButton_readdoppler"), widget_doppler);
    pushButton_setdoppler = makeButton(tr("设置"), QStringLiteral("pushButton_setdoppler"), widget_doppler);
    dopplerRow->addWidget(lineEdit_transpondDoppler, 1);
    dopplerRow->addWidget(new QLabel(QStringLiteral("( Hz )"), widget_doppler));
    dopplerRow->addWidget(pushButton_readdoppler);
    dopplerRow->addWidget(pushButton_setdoppler);
    layout->addWidget(widget_doppler);
    layout->addStretch();
    return tab_transpond;
}

QWidget* SystemSet2::buildBandwidthTab()
{
    tab_bandwidth = newTab(QStringLiteral("tab_bandwidth"), tr("带宽设置"));
    auto* layout = new QVBoxLayout(tab_bandwidth);
    auto* row = new QHBoxLayout;
    comboBox_bandwidth = new QComboBox(tab_bandwidth);
    comboBox_bandwidth->setObjectName(QStringLiteral("comboBox_bandwidth"));
    pushButton_bandwidth = makeButton(tr("设置"), QStringLiteral("pushButton_bandwidth"), tab_bandwidth);
    row->addWidget(comboBox_bandwidth, 1);
    row->addWidget(pushButton_bandwidth);
    layout->addLayout(row);
    widget_bindSampleRate = new QWidget(tab_bandwidth);
    widget_bindSampleRate->setObjectName(QStringLiteral("widget_bindSampleRate"));
    auto* rateRow = new QHBoxLayout(widget_bindSampleRate);
    rateRow->addWidget(new QLabel(tr("采样率："), widget_bindSampleRate));
    label_bindSampleRate = makeLabel(QStringLiteral("--"), QStringLiteral("label_bindSampleRate"), widget_bindSampleRate);
    rateRow->addWidget(label_bindSampleRate, 1);
    layout->addWidget(widget_bindSampleRate);
    layout->addStretch();
    return tab_bandwidth;
}

QWidget* SystemSet2::buildGainTab()
{
    tab_gainpower = newTab(QStringLiteral("tab_gainpower"), tr("增益控制"));
    auto* grid = new QGridLayout(tab_gainpower);
    radioButton_agc = new QRadioButton(QStringLiteral("AGC"), tab_gainpower);
    radioButton_agc->setObjectName(QStringLiteral("radioButton_agc"));
    radioButton_agc->setChecked(true);
    radioButton_mgc = new QRadioButton(QStringLiteral("MGC"), tab_gainpower);
    radioButton_mgc->setObjectName(QStringLiteral("radioButton_mgc"));
    grid->addWidget(radioButton_agc, 0, 0);
    grid->addWidget(radioButton_mgc, 0, 1);
    grid->addWidget(new QLabel(tr("MGC 功率控制"), tab_gainpower), 1, 0);
    spb_mgc = new QSpinBox(tab_gainpower);
    spb_mgc->setObjectName(QStringLiteral("spb_mgc"));
    spb_mgc->setRange(0, 70);
    grid->addWidget(spb_mgc, 1, 1);
    pushButton_mgc = makeButton(tr("设置"), QStringLiteral("pushButton_mgc"), tab_gainpower);
    grid->addWidget(pushButton_mgc, 1, 2);
    grid->setRowStretch(2, 1);
    return tab_gainpower;
}

QWidget* SystemSet2::buildFeedSwitchTab()
{
    tab_feedswitch = newTab(QStringLiteral("tab_feedswitch"), tr("馈电开关"));
    auto* layout = new QVBoxLayout(tab_feedswitch);
    checkBox_feedswitch = new QCheckBox(tr("打开馈电"), tab_feedswitch);
    checkBox_feedswitch->setObjectName(QStringLiteral("checkBox_feedswitch"));
    layout->addWidget(checkBox_feedswitch);
    layout->addStretch();
    return tab_feedswitch;
}

QWidget* SystemSet2::buildOutputFrequencyTab()
{
    tab_useroutputfrequency = newTab(QStringLiteral("tab_useroutputfrequency"), tr("输出频点"));
    auto* layout = new QVBoxLayout(tab_useroutputfrequency);
    auto* row = new QHBoxLayout;
    comboBox_output_freq = new QComboBox(tab_useroutputfrequency);
    comboBox_output_freq->setObjectName(QStringLiteral("comboBox_output_freq"));
    pushButton_setOutput = makeButton(tr("设置"), QStringLiteral("pushButton_setOutput"), tab_useroutputfrequency);
    row->addWidget(comboBox_output_freq, 1);
    row->addWidget(pushButton_setOutput);
    layout->addLayout(row);
    layout->addStretch();
    return tab_useroutputfrequency;
}

QWidget* SystemSet2::buildPulseTab()
{
    tab_pulse = newTab(QStringLiteral("tab_pulse"), tr("对时脉冲"));
    auto* grid = new QGridLayout(tab_pulse);
    grid->addWidget(new QLabel(tr("脉冲时间"), tab_pulse), 0, 0);
    lineEdit_pulse_width = makeEdit(QStringLiteral("lineEdit_pulse_width"), tab_pulse);
    grid->addWidget(lineEdit_pulse_width, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("ms"), tab_pulse), 0, 2);
    grid->addWidget(new QLabel(tr("脉冲个数"), tab_pulse), 1, 0);
    lineEdit_pulse_count = makeEdit(QStringLiteral("lineEdit_pulse_count"), tab_pulse);
    grid->addWidget(lineEdit_pulse_count, 1, 1);
    auto* buttons = new QHBoxLayout;
    pushButton_pulse_get = makeButton(tr("读取"), QStringLiteral("pushButton_pulse_get"), tab_pulse);
    pushButton_pulse_set = makeButton(tr("设置"), QStringLiteral("pushButton_pulse_set"), tab_pulse);
    pushButton_pulse_request = makeButton(tr("发送对时脉冲请求"), QStringLiteral("pushButton_pulse_request"), tab_pulse);
    buttons->addStretch();
    buttons->addWidget(pushButton_pulse_get);
    buttons->addWidget(pushButton_pulse_set);
    buttons->addWidget(pushButton_pulse_request);
    grid->addLayout(buttons, 2, 0, 1, 3);
    grid->setRowStretch(3, 1);
    return tab_pulse;
}

QWidget* SystemSet2::buildCustomFrequencyTab()
{
    tab_customfrequency = newTab(QStringLiteral("tab_customfrequency"), tr("自定义频段"));
    // The list sits above the fields rather than beside them: the page then leaves the device
    // information page's status log enough width for a log line on one row.
    auto* grid = new QGridLayout(tab_customfrequency);
    grid->addWidget(new QLabel(tr("已添加的频段"), tab_customfrequency), 0, 0);
    label_cst_count = makeLabel(QStringLiteral("0 / 10"), QStringLiteral("label_cst_count"), tab_customfrequency);
    grid->addWidget(label_cst_count, 0, 1, Qt::AlignRight);
    listView_cst = new QListView(tab_customfrequency);
    listView_cst->setObjectName(QStringLiteral("listView_cst"));
    listView_cst->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->addWidget(listView_cst, 1, 0, 1, 2);
    grid->addWidget(new QLabel(tr("频段名称："), tab_customfrequency), 2, 0);
    lineEdit_cst_name = makeEdit(QStringLiteral("lineEdit_cst_name"), tab_customfrequency);
    grid->addWidget(lineEdit_cst_name, 2, 1);
    grid->addWidget(new QLabel(tr("中心频率(Hz)："), tab_customfrequency), 3, 0);
    lineEdit_cst_freq = makeEdit(QStringLiteral("lineEdit_cst_freq"), tab_customfrequency);
    grid->addWidget(lineEdit_cst_freq, 3, 1);
    auto* buttons = new QHBoxLayout;
    pushButton_cst_add = makeButton(tr("添加"), QStringLiteral("pushButton_cst_add"), tab_customfrequency);
    pushButton_cst_del = makeButton(tr("删除最后"), QStringLiteral("pushButton_cst_del"), tab_customfrequency);
    pushButton_cst_cancel = makeButton(tr("还原"), QStringLiteral("pushButton_cst_cancel"), tab_customfrequency);
    pushButton_cst_save = makeButton(tr("保存修改"), QStringLiteral("pushButton_cst_save"), tab_customfrequency);
    for (QPushButton* b : {pushButton_cst_add, pushButton_cst_del, pushButton_cst_cancel, pushButton_cst_save})
        buttons->addWidget(b);
    grid->addLayout(buttons, 4, 0, 1, 2);
    label_cst_info = makeLabel(QString(), QStringLiteral("label_cst_info"), tab_customfrequency);
    label_cst_info->setStyleSheet(QStringLiteral("color: rgb(255, 17, 17);"));
    label_cst_info->setWordWrap(true);
    grid->addWidget(label_cst_info, 5, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    return tab_customfrequency;
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
        QString ipText = lineEdit_IP->text();
        QString host;
        quint16 port = 0;
        if (!controlAddress(ipText, lineEdit_Port->text(), &host, &port)) {
            showAddressError();
            pbn_connect->setEnabled(true);
            return;
        }
        protocol->ConnectTcp(host, port);
        // Stored in the decimal form the link uses, so a later reconnection goes to the same place.
        store(kGroupNetwork, QStringLiteral("IP"), ipText);
        store(kGroupNetwork, QStringLiteral("Port"), lineEdit_Port->text());
    } else if (pbn_connect->text() == tr("断开")) {
        FileLogger::LogMessage(FileLogger::Info, QStringLiteral("手动断开连接"));
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
    // The link thread goes on retrying, but the user may have typed an address that will never
    // answer: the button must let them correct it.
    if (!ProtocolManager::instance()->isConnected())
        pbn_connect->setEnabled(true);
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
    // The stored port is checked as the connect button checks it: cut to 16 bits, 70000 would
    // connect to 4464. A refused address leaves the running link alone.
    QString ipText = setting(kGroupNetwork, QStringLiteral("IP")).toString();
    QString host;
    quint16 port = 0;
    if (!controlAddress(ipText, setting(kGroupNetwork, QStringLiteral("Port")).toString(), &host, &port)) {
        showAddressError();
        return;
    }
    ProtocolManager* protocol = ProtocolManager::instance();
    protocol->DisConnectTcp();
    protocol->ConnectTcp(host, port);
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
    pushButton_cst_save->setEnabled(usable);
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
    if (ConfigSetting::instance()->isTransponder() && error == 0x2) {
        // A transponder has no disk of its own: a disk fault alone is no fault there.
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        return;
    }
    MessageDialog::ShowMessage(title, text, int(MessageDialog::MessageType::Error));
}

// ---- RF and transponder parameters ----------------------------------------------------------

void SystemSet2::showTab(QWidget* tab, bool present)
{
    const int at = tabWidget_function->indexOf(tab);
    if (!present && at >= 0)
        tabWidget_function->removeTab(at);
    else if (present && at < 0)
        tabWidget_function->addTab(tab, tab->property("tabTitle").toString());
}

void SystemSet2::UpdateFunctionTabs()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    const ConfigSetting* config = ConfigSetting::instance();

    const bool bandwidth = protocol->IsBandwidthEnable();
    showTab(tab_bandwidth, bandwidth);
    if (bandwidth) {
        comboBox_bandwidth->clear();
        const QStringList list = protocol->GetBandwidthList();
        for (const QString& entry : list) {
            const uint hertz = entry.toUInt();
            comboBox_bandwidth->addItem(megahertzText(hertz), hertz);
        }
        selectBandwidth(protocol->GetBandwidth(false));
        disconnect(comboBox_bandwidth, QOverload<int>::of(&QComboBox::currentIndexChanged), nullptr, nullptr);
        if (protocol->IsSampleRateEnable() && protocol->IsSampleRateBindBandwidth()) {
            widget_bindSampleRate->show();
            QList<uint> rates;
            for (const QString& entry : protocol->GetSampleRateList())
                rates << entry.toUInt();
            const auto showRate = [this, rates](int index) {
                // -1 while the list is cleared, or a rate list shorter than the bandwidths.
                if (index >= 0 && index < rates.size())
                    label_bindSampleRate->setText(
                        QStringLiteral("%1 MSPS").arg(megahertzNumber(rates.at(index))));
            };
            connect(comboBox_bandwidth, QOverload<int>::of(&QComboBox::currentIndexChanged), this, showRate);
            showRate(comboBox_bandwidth->currentIndex());
        } else {
            widget_bindSampleRate->hide();
        }
    }

    const bool transpond = protocol->IsTranspondEnable();
    showTab(tab_transpond, transpond);
    if (transpond)
        lineEdit_transpondDelay->setText(QString::number(protocol->GetTranspondDelay(false)));

    if (!protocol->IsDopplerEnable()) {
        widget_doppler->hide();
        widget_doppler->setEnabled(false);
    } else {
        lineEdit_transpondDoppler->setText(QString::number(qint32(protocol->GetDopplerValue(false))));
    }

    showTab(tab_gainpower, protocol->IsGainControlEnable());
    showTab(tab_feedswitch, protocol->IsFeedSwtichControlEnable());
    showTab(tab_customfrequency, protocol->IsCustomFrequencyEnable());

    if (config->isCpci()) {
        comboBox_output_freq->clear();
        comboBox_output_freq->addItem(QStringLiteral("L1"), 1);
        comboBox_output_freq->addItem(QStringLiteral("B1I"), 2);
        comboBox_output_freq->addItem(QStringLiteral("B1C"), 3);
        comboBox_output_freq->addItem(QStringLiteral("B3A/B3I"), 4);
        label_ip_tip->setText(tr("注：设置IP前，请先确保所设IP的地址未被占用，否则设备无法启动"));
        pushButton_stateCheck->hide();
        showTab(tab_transpond, false);
    } else {
        showTab(tab_useroutputfrequency, false);
        // The instrument takes one address per board after its own.
        label_ip_tip->setText(tr("注：设置IP前，请先确保所设IP开始 %1 个IP地址未被占用，否则设备无法启动")
                                  .arg(int(protocol->deviceInfo().BoardNum) + 1));
    }
    if (config->isLeo())
        showTab(tab_transpond, false);
    if (config->is518())
        pushButton_pulse_get->hide();
    else
        showTab(tab_pulse, false);

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

void SystemSet2::on_pushButton_readtrans_clicked()
{
    ProtocolManager::instance()->GetTranspondDelay(true);
}

void SystemSet2::on_pushButton_settrans_clicked()
{
    // The number typed goes as it is, whatever unit the display uses; no number is 0.
    ProtocolManager::instance()->SetTranspondDelay(int(lineEdit_transpondDelay->text().toUInt()));
}

void SystemSet2::on_pushButton_readdoppler_clicked()
{
    ProtocolManager::instance()->GetDopplerValue(true);
}

void SystemSet2::on_pushButton_setdoppler_clicked()
{
    // Signed as shown; the unsigned form of the same 32 bits is taken too. No number is 0.
    const QString text = lineEdit_transpondDoppler->text().trimmed();
    bool isSigned = false;
    const qint32 value = text.toInt(&isSigned);
    ProtocolManager::instance()->SetDopplerValue(isSigned ? quint32(value) : text.toUInt());
}

void SystemSet2::selectBandwidth(uint hertz)
{
    // By value: no item then stays current for a bandwidth the instrument does not use.
    comboBox_bandwidth->setCurrentIndex(comboBox_bandwidth->findData(hertz));
}

void SystemSet2::on_pushButton_bandwidth_clicked()
{
    // Nothing selected (the instrument's bandwidth is not in its list): nothing to write.
    if (comboBox_bandwidth->currentIndex() < 0)
        return;
    ProtocolManager::instance()->SetBandwidth(comboBox_bandwidth->currentData().toUInt());
}

void SystemSet2::on_radioButton_agc_clicked()
{
    ProtocolManager::instance()->SetMGCStatus(radioButton_mgc->isChecked());
}

void SystemSet2::on_radioButton_mgc_clicked()
{
    ProtocolManager::instance()->SetMGCStatus(radioButton_mgc->isChecked());
}

void SystemSet2::on_pushButton_mgc_clicked()
{
    ProtocolManager::instance()->SetMGCValue(spb_mgc->value());
}

void SystemSet2::on_checkBox_feedswitch_clicked(bool checked)
{
    ProtocolManager::instance()->SetFeedSwitchStatus(checked);
}

void SystemSet2::on_pushButton_setOutput_clicked()
{
    ProtocolManager::instance()->SetOutputFrequent(uchar(comboBox_output_freq->currentData().toUInt()));
}

void SystemSet2::on_pushButton_pulse_set_clicked()
{
    const uint width = lineEdit_pulse_width->text().toUInt();
    if (width > 1000) {
        MessageDialog::ShowMessage(tr("对时脉冲设置失败"), tr("秒脉冲等待时间范围需在 [0,1000] 内"),
                                   int(MessageDialog::MessageType::Warning));
        return;
    }
    ProtocolManager::instance()->SetPulseSetting(width, lineEdit_pulse_count->text().toUInt());
}

void SystemSet2::on_pushButton_pulse_request_clicked()
{
    ProtocolManager::instance()->SendPulseRequest();
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
    label_transpondDelay->setText(QStringLiteral("( %1 %2 )").arg(QString::number(value, 'f', 2), unit));
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
    label_cst_count->setText(QStringLiteral("%1 / %2").arg(m_customModel->rowCount()).arg(kMaxCustomBands));
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
    label_cst_info->clear();
    const quint32 hertz = lineEdit_cst_freq->text().toUInt();
    const QString name = lineEdit_cst_name->text().trimmed();
    static const QRegularExpression forbidden(QStringLiteral("[\\*#&\\^\\%]+"));
    if (forbidden.match(name).hasMatch()) {
        label_cst_info->setText(tr("名称不能包含* # & ^ % 字符"));
        return;
    }
    if (hertz < kCustomFreqMin || hertz > kCustomFreqMax) {
        label_cst_info->setText(tr("频段范围为 200MHz ~ 4.2GHz"));
        return;
    }
    if (name.isEmpty()) {
        label_cst_info->setText(tr("请检查输入的频段名称与中心频率是否有效"));
        return;
    }
    if (m_customModel->rowCount() >= kMaxCustomBands) {
        label_cst_info->setText(tr("最大自定义频段数量为 10 个"));
        return;
    }
    for (int row = 0; row < m_customModel->rowCount(); ++row) {
        const QStandardItem* item = m_customModel->item(row);
        if (item->data(kBandFreqRole).toUInt() == hertz || item->data(kBandNameRole).toString() == name) {
            label_cst_info->setText(tr("已存在同名/同中心频率的频段，添加失败"));
            return;
        }
    }
    m_customModel->appendRow(customBandRow(name, hertz));
    updateCustomCount();
    label_cst_info->setText(tr("保存修改后生效"));
}

void SystemSet2::on_pushButton_cst_del_clicked()
{
    label_cst_info->clear();
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
                label_cst_info->setText(tr("存在该频段采集的记录，请先删除记录"));
                return;
            }
        }
    }
    m_customModel->removeRow(last);
    updateCustomCount();
    label_cst_info->setText(tr("保存修改后生效"));
}

void SystemSet2::on_pushButton_cst_save_clicked()
{
    tab_customfrequency->setEnabled(false);
    ProtocolManager* protocol = ProtocolManager::instance();
    int builtin = 0;
    for (const FreqBand& band : qAsConst(protocol->freqBands)) {
        if (!band.custom)
            ++builtin;
    }
    const int n = qMin(m_customModel->rowCount(), kMaxCustomBands);
    // The custom bands always follow the built-in ones.
    QStringList keys{QStringLiteral("Config/FreqNum")};
    QStringList values{QString::number(builtin + n)};
    QString summary;
    for (int j = 1; j <= n; ++j) {
        const QStandardItem* item = m_customModel->item(j - 1);
        const int k = builtin + j;
        const QString section = QStringLiteral("Freq%1/").arg(k);
        const QString hertz = QString::number(item->data(kBandFreqRole).toUInt());
        keys << section + QStringLiteral("FreqName") << section + QStringLiteral("Freq")
             << section + QStringLiteral("Custom");
        values << item->data(kBandNameRole).toString() << hertz << QStringLiteral("true");
        summary += QStringLiteral("Freq%1: %2\n").arg(k).arg(hertz);
    }
    if (protocol->SetDevConfig(kDevConfigGroup, keys, values)) {
        label_cst_info->setText(tr("已有保存的修改，待重启设备和软件!"));
        FileLogger::LogMessage(FileLogger::Info, QStringLiteral("自定义频段保存修改成功 ") + summary);
        // Further edits wait for the restart that takes the new bands in.
        MessageDialog::ShowMessage(tr("保存成功"), tr("自定义频段保存修改成功，请重启设备和控制软件！！！"),
                                   int(MessageDialog::MessageType::Information));
        return;
    }
    FileLogger::LogMessage(FileLogger::Error, QStringLiteral("自定义频段保存修改失败 ") + summary);
    MessageDialog::ShowMessage(tr("保存失败"), tr("自定义频段保存修改失败，请重试"),
                               int(MessageDialog::MessageType::Error));
    tab_customfrequency->setEnabled(true);
}
