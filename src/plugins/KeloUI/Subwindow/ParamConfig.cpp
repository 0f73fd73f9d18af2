#include "ParamConfig.h"

#include "CalibrationReply.h"

#include "StyleSheetLoader.h"

#include <ConfigSetting.h>
#include <ProtocolManager.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QDataStream>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QUdpSocket>
#include <QVBoxLayout>

#include <climits>
#include <memory>
#include <vector>

const QString ParamConfig::kAccessCode = QStringLiteral("8305162749");

namespace {
// Shared by every window of the process, like the card's view of one PC.
quint16 g_sequence = 0;
bool g_queryPending = false;
bool g_deviceReady = false;
quint16 g_localPort = ParamConfig::kCardPort;
quint16 g_cardPort = ParamConfig::kCardPort;

QDataStream& le(QDataStream& s)
{
    s.setByteOrder(QDataStream::LittleEndian);
    return s;
}

QPushButton* button(const QString& text, const QString& name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QLineEdit* edit(const QString& name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QComboBox* combo(const QString& name, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    return c;
}

QSlider* slider(const QString& name, int min, int max, QWidget* parent)
{
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setRange(min, max);
    return s;
}
} // namespace

void ParamConfig::setPortsForTest(quint16 localPort, quint16 cardPort)
{
    g_localPort = localPort;
    g_cardPort = cardPort;
}

quint16 ParamConfig::calibrationSequence()
{
    return g_sequence;
}

void ParamConfig::setCalibrationSequenceForTest(quint16 value)
{
    g_sequence = value;
}

bool ParamConfig::queryPending()
{
    return g_queryPending;
}

void ParamConfig::resetSharedStateForTest()
{
    g_sequence = 0;
    g_queryPending = false;
    g_deviceReady = false;
}

ParamConfig::ParamConfig(QWidget* parent)
    : QWidget(parent)
{
    buildForm();
    AttenuationTable.fill(0);
    setWindowTitle(tr("设备信号质量校准"));
    for (QWidget* w : std::initializer_list<QWidget*>{pbt_search, groupBox_Attenuation, groupBox_Calibration,
                                                       txt_AttenuationInterval, groupBox_DeviceControl})
        w->setEnabled(false);
    stackedWidget->setCurrentIndex(0);
    InitUI();
    InitUdpSocket();
}

ParamConfig::~ParamConfig()
{
    if (m_socket) {
        m_socket->close();
        m_socket->abort();
        m_socket->deleteLater();
    }
}

void ParamConfig::buildForm()
{
    setObjectName(QStringLiteral("ParamConfig"));
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    // The window itself is translucent; the panel behind the controls paints the background.
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("widget_background"));
    panel->setAutoFillBackground(true);
    window->addWidget(panel);
    auto* outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 0, 0, 0);
    widget_top = new QWidget(panel);
    widget_top->setObjectName(QStringLiteral("widget_top"));
    widget_top->setMinimumHeight(36);
    auto* top = new QHBoxLayout(widget_top);
    top->addWidget(new QLabel(tr("参数配置面板"), widget_top));
    top->addStretch();
    pbn_close = button(QStringLiteral("╳"), QStringLiteral("pbn_close"), widget_top);
    top->addWidget(pbn_close);
    outer->addWidget(widget_top);
    stackedWidget = new QStackedWidget(panel);
    stackedWidget->setObjectName(QStringLiteral("stackedWidget"));
    stackedWidget->addWidget(buildLoginPage());
    stackedWidget->addWidget(buildCalibrationPage());
    stackedWidget->addWidget(buildAd9009Page());
    outer->addWidget(stackedWidget, 1);
    lb_Tips = new QLabel(tr("设备未初始化"), panel);
    lb_Tips->setObjectName(QStringLiteral("lb_Tips"));
    outer->addWidget(lb_Tips);
    QMetaObject::connectSlotsByName(this);
}

QWidget* ParamConfig::buildLoginPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page_login"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(tr("管理员密码"), page), 0, 0);
    ManagerMM = edit(QStringLiteral("ManagerMM"), page);
    ManagerMM->setEchoMode(QLineEdit::Password);
    grid->addWidget(ManagerMM, 0, 1);
    pbn_DL = button(tr("登录"), QStringLiteral("pbn_DL"), page);
    grid->addWidget(pbn_DL, 0, 2);
    grid->setRowStretch(1, 1);
    return page;
}

ParamConfig::Pair ParamConfig::addPair(QGridLayout* grid, int row, const QString& caption, const QString& name,
                                       int max, QWidget* parent)
{
    Pair p;
    grid->addWidget(new QLabel(caption, parent), row, 0);
    p.slider = slider(QStringLiteral("hSlider_") + name, 0, max, parent);
    p.spin = new QSpinBox(parent);
    p.spin->setObjectName(QStringLiteral("spinBox_") + name);
    p.spin->setRange(0, max);
    grid->addWidget(p.slider, row, 1);
    grid->addWidget(p.spin, row, 2);
    m_blockList << p.slider << p.spin;
    return p;
}

QWidget* ParamConfig::buildCalibrationPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page_9361"));
    auto* layout = new QVBoxLayout(page);
    auto* address = new QHBoxLayout;
    address->addWidget(new QLabel(tr("采集卡IP："), page));
    lineEdit_boardIP = edit(QStringLiteral("lineEdit_boardIP"), page);
    address->addWidget(lineEdit_boardIP, 1);
    pbt_search = button(tr("查询"), QStringLiteral("pbt_search"), page);
    pbn_SavePara = button(tr("保存参数"), QStringLiteral("pbn_SavePara"), page);
    address->addWidget(pbt_search);
    address->addWidget(pbn_SavePara);
    layout->addLayout(address);

    groupBox_DeviceControl = new QGroupBox(tr("通道/频段/位宽"), page);
    groupBox_DeviceControl->setObjectName(QStringLiteral("groupBox_DeviceControl"));
    auto* control = new QGridLayout(groupBox_DeviceControl);
    control->addWidget(new QLabel(tr("通   道："), groupBox_DeviceControl), 0, 0);
    cbx_Channel = combo(QStringLiteral("cbx_Channel"), groupBox_DeviceControl);
    cbx_Channel->addItems({QStringLiteral("1"), QStringLiteral("2")});
    control->addWidget(cbx_Channel, 0, 1);
    control->addWidget(new QLabel(tr("位    宽："), groupBox_DeviceControl), 0, 2);
    cbx_bitwide = combo(QStringLiteral("cbx_bitwide"), groupBox_DeviceControl);
    control->addWidget(cbx_bitwide, 0, 3);
    control->addWidget(new QLabel(tr("频    点："), groupBox_DeviceControl), 0, 4);
    cbx_freq = combo(QStringLiteral("cbx_freq"), groupBox_DeviceControl);
    control->addWidget(cbx_freq, 0, 5);
    layout->addWidget(groupBox_DeviceControl);

    groupBox_Attenuation = new QGroupBox(tr("衰减校准"), page);
    groupBox_Attenuation->setObjectName(QStringLiteral("groupBox_Attenuation"));
    auto* atten = new QGridLayout(groupBox_Attenuation);
    atten->addWidget(new QLabel(tr("衰 减 值："), groupBox_Attenuation), 0, 0);
    spinBox_AttenuationNum = new QSpinBox(groupBox_Attenuation);
    spinBox_AttenuationNum->setObjectName(QStringLiteral("spinBox_AttenuationNum"));
    spinBox_AttenuationNum->setRange(0, 60);
    atten->addWidget(spinBox_AttenuationNum, 0, 1);
    atten->addWidget(new QLabel(tr("衰减值间隔："), groupBox_Attenuation), 0, 2);
    txt_AttenuationInterval = edit(QStringLiteral("txt_AttenuationInterval"), page);
    txt_AttenuationInterval->setText(QStringLiteral("1000"));
    txt_AttenuationInterval->setPlaceholderText(QStringLiteral("1500"));
    atten->addWidget(txt_AttenuationInterval, 0, 3);
    atten->addWidget(new QLabel(tr("衰减补偿值："), groupBox_Attenuation), 1, 0);
    attenuation.slider = slider(QStringLiteral("hSlider_AttenuationAdjust"), 0, 100000, groupBox_Attenuation);
    attenuation.slider->setSingleStep(100);
    attenuation.spin = new QSpinBox(groupBox_Attenuation);
    attenuation.spin->setObjectName(QStringLiteral("spinBox_AttenuationAdjust"));
    attenuation.spin->setRange(0, 100000);
    attenuation.spin->setSingleStep(10);
    atten->addWidget(attenuation.slider, 1, 1, 1, 2);
    atten->addWidget(attenuation.spin, 1, 3);
    layout->addWidget(groupBox_Attenuation);

    groupBox_Calibration = new QGroupBox(tr("参数设置"), page);
    groupBox_Calibration->setObjectName(QStringLiteral("groupBox_Calibration"));
    auto* cal = new QGridLayout(groupBox_Calibration);
    rxClk = addPair(cal, 0, QStringLiteral("RX_CLK"), QStringLiteral("RxClk"), 15, groupBox_Calibration);
    rxDelay = addPair(cal, 1, QStringLiteral("RX_Delay"), QStringLiteral("RxDelay"), 15, groupBox_Calibration);
    txClk = addPair(cal, 2, QStringLiteral("TX_CLK"), QStringLiteral("TxClk"), 15, groupBox_Calibration);
    txDelay = addPair(cal, 3, QStringLiteral("TX_Delay"), QStringLiteral("TxDelay"), 15, groupBox_Calibration);
    phase = addPair(cal, 4, QStringLiteral("Phase"), QStringLiteral("Phase"), 255, groupBox_Calibration);
    gain = addPair(cal, 5, QStringLiteral("Gain"), QStringLiteral("Gain"), 255, groupBox_Calibration);
    iOff = addPair(cal, 6, QStringLiteral("IOff"), QStringLiteral("IOff"), 255, groupBox_Calibration);
    qOff = addPair(cal, 7, QStringLiteral("QOff"), QStringLiteral("QOff"), 255, groupBox_Calibration);
    layout->addWidget(groupBox_Calibration);
    m_blockList << attenuation.slider << attenuation.spin;
    return page;
}

QWidget* ParamConfig::buildAd9009Page()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page_9009"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(tr("采集卡IP："), page), 0, 0);
    lineEdit_boardIP_9009 = edit(QStringLiteral("lineEdit_boardIP_9009"), page);
    grid->addWidget(lineEdit_boardIP_9009, 0, 1, 1, 2);
    pbn_9009_query = button(tr("查询"), QStringLiteral("pbn_9009_query"), page);
    grid->addWidget(pbn_9009_query, 0, 3);
    grid->addWidget(new QLabel(tr("位    宽："), page), 1, 0);
    cbx_bitwide_9009 = combo(QStringLiteral("cbx_bitwide_9009"), page);
    grid->addWidget(cbx_bitwide_9009, 1, 1);
    grid->addWidget(new QLabel(tr("频    点："), page), 1, 2);
    cbx_freq_9009 = combo(QStringLiteral("cbx_freq_9009"), page);
    grid->addWidget(cbx_freq_9009, 1, 3);
    grid->addWidget(new QLabel(tr("基础偏移参数"), page), 2, 0);
    horizontalSlider_9009_val = slider(QStringLiteral("horizontalSlider_9009_val"), 0, 50000, page);
    grid->addWidget(horizontalSlider_9009_val, 2, 1);
    grid->addWidget(new QLabel(tr("当前值"), page), 2, 2);
    lineEdit_9009_offset = edit(QStringLiteral("lineEdit_9009_offset"), page);
    lineEdit_9009_offset->setText(QStringLiteral("0"));
    grid->addWidget(lineEdit_9009_offset, 2, 3);
    pbn_9009_set = button(tr("设置"), QStringLiteral("pbn_9009_set"), page);
    grid->addWidget(pbn_9009_set, 2, 4);
    grid->addWidget(new QLabel(tr("衰减值"), page), 3, 0);
    horizontalSlider_9009_attenuation = slider(QStringLiteral("horizontalSlider_9009_attenuation"), 0, 60, page);
    grid->addWidget(horizontalSlider_9009_attenuation, 3, 1);
    label_9009_attenuation = new QLabel(QStringLiteral("0"), page);
    label_9009_attenuation->setObjectName(QStringLiteral("label_9009_attenuation"));
    grid->addWidget(label_9009_attenuation, 3, 3);
    grid->addWidget(new QLabel(tr("AD衰减补偿"), page), 4, 0);
    horizontalSlider_9009_AD = slider(QStringLiteral("horizontalSlider_9009_AD"), -10000, 10000, page);
    grid->addWidget(horizontalSlider_9009_AD, 4, 1);
    grid->addWidget(new QLabel(tr("当前值"), page), 4, 2);
    lineEdit_9009_AD = edit(QStringLiteral("lineEdit_9009_AD"), page);
    lineEdit_9009_AD->setText(QStringLiteral("0"));
    grid->addWidget(lineEdit_9009_AD, 4, 3);
    pbn_9009_set_2 = button(tr("设置"), QStringLiteral("pbn_9009_set_2"), page);
    grid->addWidget(pbn_9009_set_2, 4, 4);
    grid->setRowStretch(5, 1);
    return page;
}

void ParamConfig::InitUI()
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    LoadStyleSheet(QStringLiteral("silvery.css"));
    txt_AttenuationInterval->setValidator(new QIntValidator(0, 99999, txt_AttenuationInterval));
    ProtocolManager* protocol = ProtocolManager::instance();
    connect(protocol, &ProtocolManager::UpdateDeviceInfo, this, &ParamConfig::slot_GetDeviceInfo);
    connect(protocol, &ProtocolManager::GetDeviceSettingsFinished, this, &ParamConfig::slot_GetDeviceSettingsFinished);
    lineEdit_boardIP->setText(GetDeviceIP());
    lineEdit_boardIP_9009->setText(GetDeviceIP());
}

void ParamConfig::LoadStyleSheet(const QString& name)
{
    StyleSheetLoader::apply(this, name);
}

QString ParamConfig::GetDeviceIP()
{
    const QStringList parts = ConfigSetting::instance()->GetInit(QStringLiteral("Network"), QStringLiteral("IP"))
                                  .toString()
                                  .split(QLatin1Char('.'));
    // An address of fewer than four parts is shown as it is stored.
    if (parts.size() < 4)
        return parts.join(QLatin1Char('.'));
    return QStringLiteral("%1.%2.%3.%4").arg(parts.at(0), parts.at(1), parts.at(2), parts.at(3));
}

void ParamConfig::InitUdpSocket()
{
    m_socket = new QUdpSocket;
    if (!m_socket->bind(QHostAddress::Any, g_localPort)) {
        qDebug() << "绑定端口号失败" << __FILE__ << __LINE__;
        return;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &ParamConfig::slot_Udp_Socket_readyRead);
}

bool ParamConfig::isBound() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}

void ParamConfig::SendCalibrationCmd(QString ip, int type, int cmd, QByteArray payload)
{
    QByteArray frame = ProtocolManager::MsgHead(Target_Dev::Terminal, 0, g_sequence, Msg_Type(quint8(type)),
                                                Msg_Cmd(quint8(cmd)), uint(payload.size()));
    frame += payload;
    frame += ProtocolManager::U32toByte(
        ProtocolManager::crc32Mpeg2(reinterpret_cast<const uchar*>(frame.constData()), uint(frame.size())));
    m_socket->writeDatagram(frame, QHostAddress(ip), g_cardPort);
    ++g_sequence;
    qDebug() << "校准参数发送完成:" << type << frame.toHex(' ').toUpper();
}

void ParamConfig::slot_Udp_Socket_readyRead()
{
    QByteArray datagram;
    while (m_socket->hasPendingDatagrams()) {
        datagram.resize(int(qMax<qint64>(0, m_socket->pendingDatagramSize())));
        QHostAddress sender;
        quint16 port = 0;
        const qint64 n = m_socket->readDatagram(datagram.data(), datagram.size(), &sender, &port);
        datagram.resize(int(qMax<qint64>(0, n)));
    }
    // Only the last datagram of a burst counts: it is the card's latest word.
    AnalysisCmd(datagram);
}

void ParamConfig::AnalysisCmd(QByteArray datagram)
{
    qDebug() << "ParamConfig::AnalysisCmd" << datagram.toHex(' ');
    const CalibrationReply reply = CalibrationReply::decode(datagram);
    if (reply.kind == CalibrationReply::Parameters) {
        g_queryPending = false;
        std::vector<std::unique_ptr<QSignalBlocker>> blockers;
        for (QWidget* w : qAsConst(m_blockList))
            blockers.push_back(std::make_unique<QSignalBlocker>(w));
        const auto set = [](const Pair& p, int v) {
            p.spin->setValue(v);
            p.slider->setValue(v);
        };
        set(attenuation, reply.attenuation);
        set(rxClk, reply.rxClk);
        set(rxDelay, reply.rxDelay);
        set(txClk, reply.txClk);
        set(txDelay, reply.txDelay);
        set(phase, reply.phase);
        set(gain, reply.gain);
        set(qOff, reply.qOff);
        set(iOff, reply.iOff);
    } else if (reply.kind == CalibrationReply::AdTable) {
        g_queryPending = false;
        BaseOffset = reply.baseOffset;
        for (int k = 0; k < kSteps; ++k)
            AttenuationTable[size_t(k)] = reply.table[size_t(k)];
        horizontalSlider_9009_val->setValue(int(qMin<quint32>(BaseOffset, quint32(INT_MAX))));
        horizontalSlider_9009_AD->setValue(AttenuationTable[size_t(horizontalSlider_9009_attenuation->value())]);
    } else if (datagram.size() >= 12 && quint8(datagram.at(10)) == 5) {
        qDebug() << "ParamConfig: short or unknown reply dropped" << datagram.size();
    }
}

void ParamConfig::slot_GetDeviceInfo(DeviceInfo)
{
    for (QWidget* w : std::initializer_list<QWidget*>{pbt_search, groupBox_Attenuation, groupBox_Calibration,
                                                       txt_AttenuationInterval, groupBox_DeviceControl})
        w->setEnabled(true);
    g_deviceReady = true;
    lb_Tips->setText(tr("设备初始化成功!!"));
}

void ParamConfig::slot_GetDeviceSettingsFinished()
{
    for (QComboBox* c : {cbx_bitwide, cbx_freq, cbx_bitwide_9009, cbx_freq_9009})
        c->clear();
    ProtocolManager* protocol = ProtocolManager::instance();
    for (auto it = protocol->freqBands.cbegin(); it != protocol->freqBands.cend(); ++it) {
        cbx_freq->addItem(it->name, it.key());
        cbx_freq_9009->addItem(it->name, it.key());
    }
    for (auto it = protocol->bitNames.cbegin(); it != protocol->bitNames.cend(); ++it) {
        cbx_bitwide->addItem(it.value(), uint(it.key()));
        cbx_bitwide_9009->addItem(it.value(), uint(it.key()));
    }
}

void ParamConfig::slot_GetFreqPointConfigParam(ConfigParam param)
{
    attenuation.slider->setValue(int(param.AttenuationAdjust));
    gain.slider->setValue(param.Gain());
    iOff.slider->setValue(param.IOff());
    qOff.slider->setValue(param.QOff());
    phase.slider->setValue(param.Phase());
    rxClk.slider->setValue(param.RxClk());
    txClk.slider->setValue(param.TxClk());
    rxDelay.slider->setValue(param.RxDelay());
    txDelay.slider->setValue(param.TxDelay());
}

QByteArray ParamConfig::selectionPrefix() const
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    le(s) << qint8(cbx_Channel->currentIndex()) << qint32(cbx_freq->currentData().toUInt())
          << qint8(cbx_bitwide->currentData().toUInt()) << qint8(spinBox_AttenuationNum->value());
    return out;
}

QByteArray ParamConfig::selectionPrefix9009() const
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    le(s) << qint32(cbx_freq_9009->currentData().toUInt()) << qint8(cbx_bitwide_9009->currentData().toUInt());
    return out;
}

void ParamConfig::on_pbt_search_clicked()
{
    g_queryPending = true;
    SendCalibrationCmd(lineEdit_boardIP->text(), int(Msg_Type::Config), int(Msg_Cmd::QueryConfigParam),
                       selectionPrefix());
    lb_Tips->setText(tr("查询AD配置"));
}

void ParamConfig::on_spinBox_AttenuationNum_valueChanged(int)
{
    if (g_deviceReady)
        on_pbt_search_clicked();
}

void ParamConfig::sendSliderCommand(int cmd, QByteArray value, const QString& status)
{
    // While a query waits for its answer, a move is the card's old value coming in, not the user.
    if (g_queryPending)
        return;
    SendCalibrationCmd(lineEdit_boardIP->text(), int(Msg_Type::Config), cmd, selectionPrefix() + value);
    lb_Tips->setText(status);
}

namespace {
QByteArray i8(int v)
{
    return QByteArray(1, char(quint8(v)));
}

QByteArray i16(int v)
{
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}

QByteArray i32(qint32 v)
{
    return ProtocolManager::U32toByte(quint32(v));
}
} // namespace

void ParamConfig::on_hSlider_AttenuationAdjust_valueChanged(int value)
{
    attenuation.spin->setValue(value);
    if (AttenuationTable[size_t(spinBox_AttenuationNum->value())] == value)
        return;
    sendSliderCommand(int(Msg_Cmd::AttenuationAdjust), i32(value), tr("衰减值:%1dBm").arg(value));
}

void ParamConfig::on_hSlider_RxClk_valueChanged(int value)
{
    rxClk.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::RxClk), i16(value * 16 + rxDelay.slider->value()), QStringLiteral("RxClk:%1").arg(value));
}

void ParamConfig::on_hSlider_RxDelay_valueChanged(int value)
{
    rxDelay.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::RxDelay), i16(rxClk.slider->value() * 16 + value), QStringLiteral("RxDelay:%1").arg(value));
}

void ParamConfig::on_hSlider_TxClk_valueChanged(int value)
{
    txClk.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::TxClk), i16(value * 16 + txDelay.slider->value()), QStringLiteral("TxClk:%1").arg(value));
}

void ParamConfig::on_hSlider_TxDelay_valueChanged(int value)
{
    txDelay.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::TxDelay), i16(txClk.slider->value() * 16 + value), QStringLiteral("TxDelay:%1").arg(value));
}

void ParamConfig::on_hSlider_Phase_valueChanged(int value)
{
    phase.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::Phase), i8(value), QStringLiteral("Phase:%1").arg(value));
}

void ParamConfig::on_hSlider_Gain_valueChanged(int value)
{
    gain.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::Gain), i8(value), QStringLiteral("Gain:%1").arg(value));
}

void ParamConfig::on_hSlider_IOff_valueChanged(int value)
{
    iOff.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::IOff), i8(value), QStringLiteral("IOff:%1").arg(value));
}

void ParamConfig::on_hSlider_QOff_valueChanged(int value)
{
    qOff.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::QOff), i8(value), QStringLiteral("QOff:%1").arg(value));
}

void ParamConfig::spinToSlider(QSpinBox*, QSlider* s, int value)
{
    if (s->value() != value)
        s->setValue(value);
}

void ParamConfig::on_spinBox_AttenuationAdjust_valueChanged(int v) { spinToSlider(attenuation.spin, attenuation.slider, v); }
void ParamConfig::on_spinBox_RxClk_valueChanged(int v) { spinToSlider(rxClk.spin, rxClk.slider, v); }
void ParamConfig::on_spinBox_RxDelay_valueChanged(int v) { spinToSlider(rxDelay.spin, rxDelay.slider, v); }
void ParamConfig::on_spinBox_TxClk_valueChanged(int v) { spinToSlider(txClk.spin, txClk.slider, v); }
void ParamConfig::on_spinBox_TxDelay_valueChanged(int v) { spinToSlider(txDelay.spin, txDelay.slider, v); }
void ParamConfig::on_spinBox_Phase_valueChanged(int v) { spinToSlider(phase.spin, phase.slider, v); }
void ParamConfig::on_spinBox_Gain_valueChanged(int v) { spinToSlider(gain.spin, gain.slider, v); }
void ParamConfig::on_spinBox_IOff_valueChanged(int v) { spinToSlider(iOff.spin, iOff.slider, v); }
void ParamConfig::on_spinBox_QOff_valueChanged(int v) { spinToSlider(qOff.spin, qOff.slider, v); }

void ParamConfig::UpdateAttenuationTable()
{
    const int s = spinBox_AttenuationNum->value();
    const qint32 interval = txt_AttenuationInterval->text().toInt();
    for (int k = s; k < kSteps; ++k) {
        AttenuationTable[size_t(k)] = k == s ? attenuation.slider->value() : AttenuationTable[size_t(k - 1)] + interval;
        qDebug() << "Atten" << k << AttenuationTable[size_t(k)];
    }
}

void ParamConfig::on_pbn_SavePara_clicked()
{
    QByteArray payload = selectionPrefix();
    UpdateAttenuationTable();
    for (qint32 v : AttenuationTable)
        payload += i32(v);
    SendCalibrationCmd(lineEdit_boardIP->text(), int(Msg_Type::Config), int(Msg_Cmd::SavePara), payload);
    lb_Tips->setText(tr("保存参数!!"));
}

void ParamConfig::on_pbn_DL_clicked()
{
    if (ManagerMM->text() != kAccessCode)
        return;
    stackedWidget->setCurrentIndex(ConfigSetting::instance()->isLeo() ? 2 : 1);
}

void ParamConfig::on_pbn_close_clicked()
{
    close();
}

void ParamConfig::closeEvent(QCloseEvent* event)
{
    // The access code is asked again at the next showing.
    stackedWidget->setCurrentIndex(0);
    event->accept();
}

// ---- AD9009 page ----------------------------------------------------------------------------

void ParamConfig::on_horizontalSlider_9009_attenuation_valueChanged(int index)
{
    label_9009_attenuation->setText(QString::number(index));
    horizontalSlider_9009_AD->setValue(AttenuationTable[size_t(qBound(0, index, kSteps - 1))]);
}

void ParamConfig::on_horizontalSlider_9009_AD_valueChanged(int value)
{
    const QSignalBlocker mirror(lineEdit_9009_AD);
    lineEdit_9009_AD->setText(QString::number(value));
}

void ParamConfig::on_lineEdit_9009_AD_textChanged(const QString& text)
{
    const QSignalBlocker mirror(horizontalSlider_9009_AD);
    horizontalSlider_9009_AD->setValue(text.toInt());
}

void ParamConfig::on_horizontalSlider_9009_val_valueChanged(int value)
{
    const QSignalBlocker mirror(lineEdit_9009_offset);
    lineEdit_9009_offset->setText(QString::number(value));
}

void ParamConfig::on_lineEdit_9009_offset_textChanged(const QString& text)
{
    const QSignalBlocker mirror(horizontalSlider_9009_val);
    horizontalSlider_9009_val->setValue(int(qMin<uint>(text.toUInt(), uint(INT_MAX))));
}

void ParamConfig::query9009()
{
    g_queryPending = true;
    SendCalibrationCmd(lineEdit_boardIP_9009->text(), int(Msg_Type::Config), int(Msg_Cmd::Query9009),
                       selectionPrefix9009());
    lb_Tips->setText(tr("查询AD9009配置"));
}

void ParamConfig::on_pbn_9009_query_clicked()
{
    query9009();
}

void ParamConfig::on_cbx_bitwide_9009_currentIndexChanged(int)
{
    if (stackedWidget->currentIndex() == 2)
        query9009();
}

void ParamConfig::on_cbx_freq_9009_currentIndexChanged(int)
{
    if (stackedWidget->currentIndex() == 2)
        query9009();
}

void ParamConfig::on_pbn_9009_set_clicked()
{
    SendCalibrationCmd(lineEdit_boardIP_9009->text(), int(Msg_Type::Config), int(Msg_Cmd::Set9009),
                       selectionPrefix9009() + i32(horizontalSlider_9009_val->value()));
}

void ParamConfig::on_pbn_9009_set_2_clicked()
{
    const quint8 step = quint8(horizontalSlider_9009_attenuation->value());
    AttenuationTable[size_t(qMin<int>(step, kSteps - 1))] = horizontalSlider_9009_AD->value();
    SendCalibrationCmd(lineEdit_boardIP_9009->text(), int(Msg_Type::Config), int(Msg_Cmd::Set9009Second),
                       selectionPrefix9009() + i8(step) + i32(AttenuationTable[size_t(qMin<int>(step, kSteps - 1))]));
}

// ---- frameless window -------------------------------------------------------------------------

void ParamConfig::mousePressEvent(QMouseEvent* event)
{
    m_lastGlobal = event->globalPos();
    m_windowAtPress = pos();
    const int x = event->pos().x();
    const int y = event->pos().y();
    const int W = width() - 1;
    const int H = height() - 1;
    if (x >= W - 5 && x <= W + 7 && y >= H - 5 && y <= H + 7) {
        m_edge = 5;
        setCursor(Qt::SizeFDiagCursor);
    } else if (x >= -6 && x <= 6 && y >= 0 && y <= H + 1) {
        m_edge = 3;
    } else if (y >= -6 && y <= 6 && x >= 0 && x <= W + 1) {
        m_edge = 1;
    } else if (x >= W - 5 && x <= W + 7 && y >= 0 && y <= H + 1) {
        m_edge = 4;
        setCursor(Qt::SizeHorCursor);
    } else if (y >= H - 5 && y <= H + 7 && x >= -6 && x <= W + 1) {
        m_edge = 2;
        setCursor(Qt::SizeVerCursor);
    } else {
        m_edge = 0;
        setCursor(Qt::ArrowCursor);
    }
    if (QRect(QPoint(0, 0), widget_top->size()).contains(event->pos()))
        m_dragging = true;
    QWidget::mousePressEvent(event);
}

void ParamConfig::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint delta = event->globalPos() - m_lastGlobal;
    switch (m_edge) {
    case 0:
        if (m_dragging)
            move(pos() + delta);
        break;
    case 4:
        resize(width() + delta.x(), height());
        break;
    case 5:
        resize(width() + delta.x(), height() + delta.y());
        break;
    case 2:
        resize(width(), height() + delta.y());
        break;
    default:
        break; // the top and left edges do not resize
    }
    m_lastGlobal = event->globalPos();
    QWidget::mouseMoveEvent(event);
}

void ParamConfig::mouseReleaseEvent(QMouseEvent* event)
{
    m_lastGlobal = event->globalPos();
    m_dragging = false;
    setCursor(Qt::ArrowCursor);
    QWidget::mouseReleaseEvent(event);
}
