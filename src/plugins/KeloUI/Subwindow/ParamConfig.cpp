#include "ParamConfig.h"
#include "ui_ParamConfig.h"

#include "CalibrationReply.h"

#include "MessageDialog.h"
#include "StyleSheetLoader.h"

#include <ConfigSetting.h>
#include <ProtocolManager.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QDataStream>
#include <QDebug>
#include <QIntValidator>
#include <QLineEdit>
#include <QMouseEvent>
#include <QNetworkInterface>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QUdpSocket>

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
    , ui(new Ui::ParamConfig)
{
    ui->setupUi(this);
    m_frame.setDragArea(ui->widget_top);
    // Return in the access code field logs in, as a click on 登录 does.
    connect(ui->ManagerMM, &QLineEdit::returnPressed, ui->pbn_DL, &QPushButton::click);
    attenuation = {ui->hSlider_AttenuationAdjust, ui->spinBox_AttenuationAdjust};
    rxClk = {ui->hSlider_RxClk, ui->spinBox_RxClk};
    rxDelay = {ui->hSlider_RxDelay, ui->spinBox_RxDelay};
    txClk = {ui->hSlider_TxClk, ui->spinBox_TxClk};
    txDelay = {ui->hSlider_TxDelay, ui->spinBox_TxDelay};
    phase = {ui->hSlider_Phase, ui->spinBox_Phase};
    gain = {ui->hSlider_Gain, ui->spinBox_Gain};
    iOff = {ui->hSlider_IOff, ui->spinBox_IOff};
    qOff = {ui->hSlider_QOff, ui->spinBox_QOff};
    for (const Pair& p : {rxClk, rxDelay, txClk, txDelay, phase, gain, iOff, qOff, attenuation})
        m_blockList << p.slider << p.spin;
    AttenuationTable.fill(0);
    m_queryTimer = new QTimer(this);
    m_queryTimer->setSingleShot(true);
    connect(m_queryTimer, &QTimer::timeout, this, &ParamConfig::queryUnanswered);
    InitUI();
    InitUdpSocket();
    // A start without an instrument is offline from the first frame, as after a drop.
    if (!ProtocolManager::instance()->isConnected())
        onLinkState(false);
}

ParamConfig::~ParamConfig()
{
    if (m_socket) {
        m_socket->close();
        m_socket->abort();
        m_socket->deleteLater();
    }
    delete ui;
}

void ParamConfig::InitUI()
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    LoadStyleSheet(QStringLiteral("silvery.css"));
    ui->txt_AttenuationInterval->setValidator(new QIntValidator(0, 99999, ui->txt_AttenuationInterval));
    ProtocolManager* protocol = ProtocolManager::instance();
    connect(protocol, &ProtocolManager::UpdateDeviceInfo, this, &ParamConfig::slot_GetDeviceInfo);
    connect(protocol, &ProtocolManager::GetDeviceSettingsFinished, this, &ParamConfig::slot_GetDeviceSettingsFinished);
    connect(protocol, &ProtocolManager::NetSuccess, this, [this](bool up) { onLinkState(up); });
    m_deviceIp = GetDeviceIP();
    ui->lineEdit_boardIP->setText(m_deviceIp);
    ui->lineEdit_boardIP_9009->setText(m_deviceIp);
    // The fields follow the instrument when the link moves, except one the user typed over.
    connect(protocol, &ProtocolManager::InstrumentAddressChanged, this, [this] {
        const QString before = m_deviceIp;
        m_deviceIp = GetDeviceIP();
        for (QLineEdit* field : {ui->lineEdit_boardIP, ui->lineEdit_boardIP_9009}) {
            if (field->text() == before)
                field->setText(m_deviceIp);
        }
    });
}

void ParamConfig::LoadStyleSheet(const QString& name)
{
    StyleSheetLoader::apply(this, name);
}

QString ParamConfig::GetDeviceIP()
{
    const QStringList parts = ProtocolManager::instance()->instrumentAddress().split(QLatin1Char('.'));
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

quint16 ParamConfig::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

bool ParamConfig::fromOwnSocket(const QHostAddress& sender, quint16 port) const
{
    if (port != m_socket->localPort())
        return false;
    bool v4 = false;
    const QHostAddress plain(sender.toIPv4Address(&v4));
    const QHostAddress from = v4 ? plain : sender;
    return from.isLoopback() || QNetworkInterface::allAddresses().contains(from);
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
    bool any = false;
    while (m_socket->hasPendingDatagrams()) {
        QByteArray in(int(qMax<qint64>(0, m_socket->pendingDatagramSize())), '\0');
        QHostAddress sender;
        quint16 port = 0;
        const qint64 n = m_socket->readDatagram(in.data(), in.size(), &sender, &port);
        in.resize(int(qMax<qint64>(0, n)));
        // The window's own frame, come back because the card address is the PC's, is no answer.
        if (fromOwnSocket(sender, port)) {
            qDebug() << "ParamConfig: own datagram dropped" << sender.toString() << port;
            continue;
        }
        datagram = in;
        any = true;
    }
    // Only the last datagram of a burst counts: it is the card's latest word.
    if (any)
        AnalysisCmd(datagram);
}

void ParamConfig::AnalysisCmd(QByteArray datagram)
{
    qDebug() << "ParamConfig::AnalysisCmd" << datagram.toHex(' ');
    const CalibrationReply reply = CalibrationReply::decode(datagram);
    if (reply.kind == CalibrationReply::Parameters) {
        g_queryPending = false;
        m_queryTimer->stop();
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
        m_queryTimer->stop();
        BaseOffset = reply.baseOffset;
        for (int k = 0; k < kSteps; ++k)
            AttenuationTable[size_t(k)] = reply.table[size_t(k)];
        ui->horizontalSlider_9009_val->setValue(int(qMin<quint32>(BaseOffset, quint32(INT_MAX))));
        ui->horizontalSlider_9009_AD->setValue(
            AttenuationTable[size_t(ui->horizontalSlider_9009_attenuation->value())]);
    } else if (CalibrationReply::isRequestFrame(datagram)) {
        qDebug() << "ParamConfig: a request frame is no reply, dropped";
    } else if (datagram.size() >= 12 && quint8(datagram.at(10)) == 5) {
        qDebug() << "ParamConfig: short or unknown reply dropped" << datagram.size();
    }
}

void ParamConfig::slot_GetDeviceInfo(DeviceInfo)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui->pbt_search, ui->groupBox_Attenuation, ui->groupBox_Calibration,
                                         ui->txt_AttenuationInterval, ui->groupBox_DeviceControl})
        w->setEnabled(true);
    g_deviceReady = true;
    // The instrument answered, not a card: only a card's own reply to a query proves the card.
    ui->lb_Tips->setText(tr("已取得设备信息，采集卡尚未应答"));
}

void ParamConfig::onLinkState(bool up)
{
    // The card belongs to the instrument the link went to: with the link down nothing on the
    // pages would reach anyone or say so.
    ui->page_9361->setEnabled(up);
    ui->page_9009->setEnabled(up);
    if (up) {
        ui->lb_Tips->setText(g_deviceReady ? tr("设备已重新连接") : tr("设备未初始化"));
        return;
    }
    // A query on its way is not answered now; its time-out would only hide the reason.
    g_queryPending = false;
    m_queryTimer->stop();
    ui->lb_Tips->setText(tr("设备未连接，校准在连接后可用"));
}

void ParamConfig::slot_GetDeviceSettingsFinished()
{
    for (QComboBox* c : {ui->cbx_bitwide, ui->cbx_freq, ui->cbx_bitwide_9009, ui->cbx_freq_9009})
        c->clear();
    ProtocolManager* protocol = ProtocolManager::instance();
    for (auto it = protocol->freqBands.cbegin(); it != protocol->freqBands.cend(); ++it) {
        ui->cbx_freq->addItem(it->name, it.key());
        ui->cbx_freq_9009->addItem(it->name, it.key());
    }
    for (auto it = protocol->bitNames.cbegin(); it != protocol->bitNames.cend(); ++it) {
        ui->cbx_bitwide->addItem(it.value(), uint(it.key()));
        ui->cbx_bitwide_9009->addItem(it.value(), uint(it.key()));
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
    le(s) << qint8(ui->cbx_Channel->currentIndex()) << qint32(ui->cbx_freq->currentData().toUInt())
          << qint8(ui->cbx_bitwide->currentData().toUInt()) << qint8(ui->spinBox_AttenuationNum->value());
    return out;
}

QByteArray ParamConfig::selectionPrefix9009() const
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    le(s) << qint32(ui->cbx_freq_9009->currentData().toUInt()) << qint8(ui->cbx_bitwide_9009->currentData().toUInt());
    return out;
}

void ParamConfig::on_pbt_search_clicked()
{
    g_queryPending = true;
    SendCalibrationCmd(ui->lineEdit_boardIP->text(), int(Msg_Type::Config), int(Msg_Cmd::QueryConfigParam),
                       selectionPrefix());
    ui->lb_Tips->setText(tr("查询AD配置"));
    m_queryTimer->start(kQueryWaitMs);
}

void ParamConfig::queryUnanswered()
{
    if (!g_queryPending)
        return;
    // Without an answer the sliders would stay held back for good, sending nothing and saying
    // nothing.
    g_queryPending = false;
    ui->lb_Tips->setText(tr("查询超时，采集卡无应答"));
    MessageDialog::ShowMessage(tr("查询失败"),
                               tr("%1 秒内没有采集卡应答查询，请检查采集卡IP和网络").arg(kQueryWaitMs / 1000),
                               int(MessageDialog::MessageType::Error));
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
    SendCalibrationCmd(ui->lineEdit_boardIP->text(), int(Msg_Type::Config), cmd, selectionPrefix() + value);
    ui->lb_Tips->setText(status);
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
    if (AttenuationTable[size_t(ui->spinBox_AttenuationNum->value())] == value)
        return;
    sendSliderCommand(int(Msg_Cmd::AttenuationAdjust), i32(value), tr("衰减值:%1dBm").arg(value));
}

void ParamConfig::on_hSlider_RxClk_valueChanged(int value)
{
    rxClk.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::RxClk), i16(value * 16 + rxDelay.slider->value()),
                      QStringLiteral("RxClk:%1").arg(value));
}

void ParamConfig::on_hSlider_RxDelay_valueChanged(int value)
{
    rxDelay.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::RxDelay), i16(rxClk.slider->value() * 16 + value),
                      QStringLiteral("RxDelay:%1").arg(value));
}

void ParamConfig::on_hSlider_TxClk_valueChanged(int value)
{
    txClk.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::TxClk), i16(value * 16 + txDelay.slider->value()),
                      QStringLiteral("TxClk:%1").arg(value));
}

void ParamConfig::on_hSlider_TxDelay_valueChanged(int value)
{
    txDelay.spin->setValue(value);
    sendSliderCommand(int(Msg_Cmd::TxDelay), i16(txClk.slider->value() * 16 + value),
                      QStringLiteral("TxDelay:%1").arg(value));
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

void ParamConfig::on_spinBox_AttenuationAdjust_valueChanged(int v)
{
    spinToSlider(attenuation.spin, attenuation.slider, v);
}
void ParamConfig::on_spinBox_RxClk_valueChanged(int v)
{
    spinToSlider(rxClk.spin, rxClk.slider, v);
}
void ParamConfig::on_spinBox_RxDelay_valueChanged(int v)
{
    spinToSlider(rxDelay.spin, rxDelay.slider, v);
}
void ParamConfig::on_spinBox_TxClk_valueChanged(int v)
{
    spinToSlider(txClk.spin, txClk.slider, v);
}
void ParamConfig::on_spinBox_TxDelay_valueChanged(int v)
{
    spinToSlider(txDelay.spin, txDelay.slider, v);
}
void ParamConfig::on_spinBox_Phase_valueChanged(int v)
{
    spinToSlider(phase.spin, phase.slider, v);
}
void ParamConfig::on_spinBox_Gain_valueChanged(int v)
{
    spinToSlider(gain.spin, gain.slider, v);
}
void ParamConfig::on_spinBox_IOff_valueChanged(int v)
{
    spinToSlider(iOff.spin, iOff.slider, v);
}
void ParamConfig::on_spinBox_QOff_valueChanged(int v)
{
    spinToSlider(qOff.spin, qOff.slider, v);
}

void ParamConfig::UpdateAttenuationTable()
{
    const int s = ui->spinBox_AttenuationNum->value();
    const qint32 interval = ui->txt_AttenuationInterval->text().toInt();
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
    SendCalibrationCmd(ui->lineEdit_boardIP->text(), int(Msg_Type::Config), int(Msg_Cmd::SavePara), payload);
    ui->lb_Tips->setText(tr("保存参数已发送，采集卡不回复确认"));
}

void ParamConfig::on_pbn_DL_clicked()
{
    if (ui->ManagerMM->text() != kAccessCode) {
        MessageDialog::ShowMessage(tr("登录失败"), tr("管理员密码错误"), int(MessageDialog::MessageType::Warning));
        return;
    }
    ui->stackedWidget->setCurrentIndex(ConfigSetting::instance()->isLeo() ? 2 : 1);
}

void ParamConfig::on_pbn_close_clicked()
{
    close();
}

void ParamConfig::closeEvent(QCloseEvent* event)
{
    // The access code is asked again at the next showing, and is not left in the field.
    ui->stackedWidget->setCurrentIndex(0);
    ui->ManagerMM->clear();
    event->accept();
}

// ---- AD9009 page ----------------------------------------------------------------------------

void ParamConfig::on_horizontalSlider_9009_attenuation_valueChanged(int index)
{
    ui->label_9009_attenuation->setText(QString::number(index));
    ui->horizontalSlider_9009_AD->setValue(AttenuationTable[size_t(qBound(0, index, kSteps - 1))]);
}

void ParamConfig::on_horizontalSlider_9009_AD_valueChanged(int value)
{
    const QSignalBlocker mirror(ui->lineEdit_9009_AD);
    ui->lineEdit_9009_AD->setText(QString::number(value));
}

void ParamConfig::on_lineEdit_9009_AD_textChanged(const QString& text)
{
    const QSignalBlocker mirror(ui->horizontalSlider_9009_AD);
    ui->horizontalSlider_9009_AD->setValue(text.toInt());
}

void ParamConfig::on_horizontalSlider_9009_val_valueChanged(int value)
{
    const QSignalBlocker mirror(ui->lineEdit_9009_offset);
    ui->lineEdit_9009_offset->setText(QString::number(value));
}

void ParamConfig::on_lineEdit_9009_offset_textChanged(const QString& text)
{
    const QSignalBlocker mirror(ui->horizontalSlider_9009_val);
    ui->horizontalSlider_9009_val->setValue(int(qMin<uint>(text.toUInt(), uint(INT_MAX))));
}

void ParamConfig::query9009()
{
    g_queryPending = true;
    SendCalibrationCmd(ui->lineEdit_boardIP_9009->text(), int(Msg_Type::Config), int(Msg_Cmd::Query9009),
                       selectionPrefix9009());
    ui->lb_Tips->setText(tr("查询AD9009配置"));
    m_queryTimer->start(kQueryWaitMs);
}

void ParamConfig::on_pbn_9009_query_clicked()
{
    query9009();
}

void ParamConfig::on_cbx_bitwide_9009_currentIndexChanged(int)
{
    if (ui->stackedWidget->currentIndex() == 2)
        query9009();
}

void ParamConfig::on_cbx_freq_9009_currentIndexChanged(int)
{
    if (ui->stackedWidget->currentIndex() == 2)
        query9009();
}

void ParamConfig::on_pbn_9009_set_clicked()
{
    SendCalibrationCmd(ui->lineEdit_boardIP_9009->text(), int(Msg_Type::Config), int(Msg_Cmd::Set9009),
                       selectionPrefix9009() + i32(ui->horizontalSlider_9009_val->value()));
    ui->lb_Tips->setText(tr("基础偏移参数 %1 已发送").arg(ui->horizontalSlider_9009_val->value()));
}

void ParamConfig::on_pbn_9009_set_2_clicked()
{
    const quint8 step = quint8(ui->horizontalSlider_9009_attenuation->value());
    AttenuationTable[size_t(qMin<int>(step, kSteps - 1))] = ui->horizontalSlider_9009_AD->value();
    SendCalibrationCmd(ui->lineEdit_boardIP_9009->text(), int(Msg_Type::Config), int(Msg_Cmd::Set9009Second),
                       selectionPrefix9009() + i8(step) + i32(AttenuationTable[size_t(qMin<int>(step, kSteps - 1))]));
    ui->lb_Tips->setText(
        tr("衰减值 %1 的AD衰减补偿 %2 已发送").arg(step).arg(AttenuationTable[size_t(qMin<int>(step, kSteps - 1))]));
}

void ParamConfig::mousePressEvent(QMouseEvent* event)
{
    m_frame.press(event);
    QWidget::mousePressEvent(event);
}

void ParamConfig::mouseMoveEvent(QMouseEvent* event)
{
    m_frame.move(event);
    QWidget::mouseMoveEvent(event);
}

void ParamConfig::mouseReleaseEvent(QMouseEvent* event)
{
    m_frame.release(event);
    QWidget::mouseReleaseEvent(event);
}
