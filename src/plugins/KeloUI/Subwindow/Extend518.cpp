#include "Extend518.h"

#include "ExtendEphemerisExport.h"
#include "ExtendReplyText.h"
#include "UdpNetworkThread.h"

#include <AppPaths.h>
#include <ConfigSetting.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QSlider>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {
Extend518::BoxResponder& boxResponder()
{
    static Extend518::BoxResponder responder;
    return responder;
}

Extend518::SaveFileChooser& saveFileChooser()
{
    static Extend518::SaveFileChooser chooser;
    return chooser;
}

const char kCompositeFile[] = "eph_composite.dat";
const char kCivilFile[] = "eph_b3i.dat";
const char kMilitaryFile[] = "eph_b3a.dat";

const char kIpPattern[] = "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}"
                          "(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b";

bool isIpv4Text(const QString& text)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(QString::fromLatin1(kIpPattern)));
    return re.match(text).hasMatch();
}

quint32 ipv4Value(const QString& text)
{
    return isIpv4Text(text) ? QHostAddress(text).toIPv4Address() : 0;
}

QString localTimeText(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds)).toString(QStringLiteral("yyyyMMddhhmmss"));
}

quint32 be32(const QByteArray& d, int at)
{
    return quint32(ExtendProtocol::readBE(d, at, 4));
}

// The fixed payload size of each decoded reply; a shorter one is not read.
int replySize(COST code)
{
    switch (code) {
    case COST_GetStatus:
    case COST_CmdError:
        return 1;
    case COST_Playback:
        return 6;
    case COST_Record:
        return 5;
    case COST_GetVolume:
        return 8;
    case COST_GetRecords:
    case COST_DeleteRecord:
    case COST_DeviceCheck:
        return 4;
    case COST_GetPulse:
        return 27;
    case COST_GetLeapSecond:
        return 11;
    case COST_SetPulse:
        return 10;
    case COST_GetEphComposite:
        return ExtendReplyText::kCompositeSize;
    case COST_GetEphCivil:
    case COST_GetEphMilitary:
        return 1;
    default:
        return 0;
    }
}
} // namespace

void Extend518::setBoxResponder(BoxResponder responder)
{
    boxResponder() = std::move(responder);
}

void Extend518::setSaveFileChooser(SaveFileChooser chooser)
{
    saveFileChooser() = std::move(chooser);
}

QString Extend518::ephemerisDir()
{
    return AppPaths::applicationDir() + QStringLiteral("/../Ephemeris");
}

Extend518::Extend518(QWidget* parent)
    : QWidget(parent)
{
    m_replyTimer.setSingleShot(true);
    buildForm();
    qRegisterMetaType<COST>("COST");
    setWindowTitle(tr("扩展协议"));

    m_model = new QStandardItemModel;
    m_model->setHorizontalHeaderLabels({tr("记录名"), tr("记录时间")});
    tableView->setModel(m_model);
    tableView->setColumnWidth(0, 200);
    tableView->setColumnWidth(1, 200);
    tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView->setSelectionMode(QAbstractItemView::SingleSelection);

    m_thread = new UdpNetworkThread;
    m_thread->start();
    connect(this, &Extend518::udp_open, m_thread, &UdpNetworkThread::open, Qt::BlockingQueuedConnection);
    connect(this, &Extend518::udp_close, m_thread, &UdpNetworkThread::close, Qt::BlockingQueuedConnection);
    connect(this, &Extend518::udp_send, m_thread, &UdpNetworkThread::send);
    connect(m_thread, &UdpNetworkThread::recv, this, &Extend518::recv, Qt::DirectConnection);
    connect(this, &Extend518::PostCmdResult, this, &Extend518::HandleCmdResult, Qt::QueuedConnection);
    connect(&m_replyTimer, &QTimer::timeout, this, &Extend518::CmdTimeout);

    m_recordNameTimer.setInterval(1000);
    connect(&m_recordNameTimer, &QTimer::timeout, this, &Extend518::recordNameTimerEvent);
    checkBox->setChecked(true);
    connect(&m_replyTimer, &QTimer::timeout, &m_deleteLoop, &QEventLoop::quit);
}

Extend518::~Extend518()
{
    // The socket thread is stopped before the panel goes, so that nothing it emits reaches a
    // destroyed panel and the port is released.
    disconnect(m_thread, nullptr, this, nullptr);
    delete m_thread;
    tableView->setModel(nullptr);
    delete m_model;
}

void Extend518::buildForm()
{
    setObjectName(QStringLiteral("Extend518"));
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text);
        named(b, name);
        return b;
    };
    auto label = [&](const char* name, const QString& text) {
        auto* l = new QLabel(text);
        named(l, name);
        return l;
    };
    auto edit = [&](const char* name, const QString& text = QString()) {
        auto* e = new QLineEdit(text);
        named(e, name);
        return e;
    };

    auto* root = new QVBoxLayout(this);

    // Link and device state.
    auto* top = new QGridLayout;
    lineEdit_localport = edit("lineEdit_localport", QStringLiteral("8000"));
    lineEdit_remoteport = edit("lineEdit_remoteport", QStringLiteral("8001"));
    pushButton_bind = button("pushButton_bind", tr("绑定"));
    top->addWidget(new QLabel(tr("本机端口")), 0, 0);
    top->addWidget(lineEdit_localport, 0, 1);
    top->addWidget(new QLabel(tr("目的端口")), 0, 2);
    top->addWidget(lineEdit_remoteport, 0, 3);
    top->addWidget(pushButton_bind, 0, 4);
    label_status = label("label_status", tr("未获取"));
    pushButton_netcheck = button("pushButton_netcheck", tr("同步状态（通信测试）"));
    label_check = label("label_check", tr("未自检"));
    pushButton_devicecheck = button("pushButton_devicecheck", tr("自检"));
    top->addWidget(new QLabel(tr("设备状态")), 1, 0);
    top->addWidget(label_status, 1, 1);
    top->addWidget(pushButton_netcheck, 1, 2);
    top->addWidget(new QLabel(tr("自检结果")), 1, 3);
    top->addWidget(label_check, 1, 4);
    top->addWidget(pushButton_devicecheck, 1, 5);
    label_free = label("label_free", QString());
    label_total = label("label_total", QString());
    label_recordcount = label("label_recordcount", QString());
    pushButton_volume = button("pushButton_volume", tr("刷新容量"));
    pushButton_getrecord = button("pushButton_getrecord", tr("刷新记录"));
    top->addWidget(new QLabel(tr("剩余容量")), 2, 0);
    top->addWidget(label_free, 2, 1);
    top->addWidget(new QLabel(tr("总容量")), 2, 2);
    top->addWidget(label_total, 2, 3);
    top->addWidget(pushButton_volume, 2, 4);
    top->addWidget(new QLabel(tr("记录数")), 3, 0);
    top->addWidget(label_recordcount, 3, 1);
    top->addWidget(pushButton_getrecord, 3, 4);
    root->addLayout(top);

    // Records and what can be done with them.
    auto* middle = new QHBoxLayout;
    tableView = new QTableView;
    named(tableView, "tableView");
    tableView->setMinimumWidth(420);
    middle->addWidget(tableView, 1);
    auto* actions = new QVBoxLayout;
    pushButton_delete = button("pushButton_delete", tr("删除"));
    pushButton_playback = button("pushButton_playback", tr("回放"));
    pushButton_transport = button("pushButton_transport", tr("转发"));
    pushButton_stoptp = button("pushButton_stoptp", tr("停止"));
    pushButton_delete_2 = button("pushButton_delete_2", tr("删除全部记录"));
    for (QWidget* w : {static_cast<QWidget*>(pushButton_delete), static_cast<QWidget*>(pushButton_playback),
                       static_cast<QWidget*>(pushButton_transport), static_cast<QWidget*>(pushButton_stoptp),
                       static_cast<QWidget*>(pushButton_delete_2)})
        actions->addWidget(w);
    auto* power = new QHBoxLayout;
    power->addWidget(new QLabel(tr("功率衰减")));
    horizontalSlider_power = new QSlider(Qt::Horizontal);
    named(horizontalSlider_power, "horizontalSlider_power");
    horizontalSlider_power->setRange(0, 60);
    power->addWidget(horizontalSlider_power);
    label_power_attenuation = label("label_power_attenuation", QStringLiteral("0 dB"));
    power->addWidget(label_power_attenuation);
    actions->addLayout(power);

    groupBox_record = new QGroupBox(tr("记录采集"));
    named(groupBox_record, "groupBox_record");
    auto* recordForm = new QGridLayout(groupBox_record);
    lineEdit_recordname = edit("lineEdit_recordname");
    lineEdit_recordtime = edit("lineEdit_recordtime");
    checkBox = new QCheckBox(tr("当前时间"));
    named(checkBox, "checkBox");
    pushButton_record = button("pushButton_record", tr("启动采集"));
    pushButton_stoprecord = button("pushButton_stoprecord", tr("停止采集"));
    recordForm->addWidget(new QLabel(tr("记录名")), 0, 0);
    recordForm->addWidget(lineEdit_recordname, 0, 1);
    recordForm->addWidget(new QLabel(tr("记录时间")), 1, 0);
    recordForm->addWidget(lineEdit_recordtime, 1, 1);
    recordForm->addWidget(checkBox, 2, 0, 1, 2);
    recordForm->addWidget(pushButton_record, 3, 0);
    recordForm->addWidget(pushButton_stoprecord, 3, 1);
    actions->addWidget(groupBox_record);
    actions->addStretch();
    middle->addLayout(actions);
    root->addLayout(middle, 1);

    tabWidget = new QTabWidget;
    named(tabWidget, "tabWidget");

    // Timing pulses.
    auto* pulsePage = new QWidget;
    auto* pulseLayout = new QHBoxLayout(pulsePage);
    auto* pulseForm = new QFormLayout;
    lineEdit_pulse_width = edit("lineEdit_pulse_width");
    lineEdit_pulse_count = edit("lineEdit_pulse_count");
    lineEdit_pulse_time = edit("lineEdit_pulse_time");
    pulseForm->addRow(tr("秒脉冲宽度(ms）"), lineEdit_pulse_width);
    pulseForm->addRow(tr("秒脉冲个数"), lineEdit_pulse_count);
    pulseForm->addRow(tr("秒脉冲等待时间(s)"), lineEdit_pulse_time);
    pushButton_setpulse = button("pushButton_setpulse", tr("设置秒脉冲"));
    pushButton_pulse = button("pushButton_pulse", tr("发送秒脉冲"));
    pulseForm->addRow(pushButton_setpulse, pushButton_pulse);
    pulseLayout->addLayout(pulseForm);
    auto* timing = new QGroupBox(tr("对时辅助数据"));
    auto* timingForm = new QFormLayout(timing);
    label_p_leap = label("label_p_leap", QString());
    label_p_bdweek = label("label_p_bdweek", QString());
    label_p_bdsec = label("label_p_bdsec", QString());
    label_p_utc_date = label("label_p_utc_date", QString());
    label_p_utc_time = label("label_p_utc_time", QString());
    label_p_utc_day_sec = label("label_p_utc_day_sec", QString());
    label_p_utc_date_2 = label("label_p_utc_date_2", QString());
    label_p_utc_time_2 = label("label_p_utc_time_2", QString());
    label_p_utc_day_sec_2 = label("label_p_utc_day_sec_2", QString());
    timingForm->addRow(tr("闰秒标志"), label_p_leap);
    timingForm->addRow(tr("北斗周"), label_p_bdweek);
    timingForm->addRow(tr("北斗周内秒"), label_p_bdsec);
    timingForm->addRow(tr("UTC日期"), label_p_utc_date);
    timingForm->addRow(tr("UTC时间"), label_p_utc_time);
    timingForm->addRow(tr("UTC天秒(ms)"), label_p_utc_day_sec);
    timingForm->addRow(tr("第二个脉冲UTC日期"), label_p_utc_date_2);
    timingForm->addRow(tr("第二个脉冲UTC时间"), label_p_utc_time_2);
    timingForm->addRow(tr("第二个脉冲UTC天秒(ms)"), label_p_utc_day_sec_2);
    pulseLayout->addWidget(timing, 1);
    tabWidget->addTab(pulsePage, tr("对时脉冲"));

    // Ephemerides.
    auto* ephTabs = new QTabWidget;
    auto* compositePage = new QWidget;
    auto* compositeLayout = new QVBoxLayout(compositePage);
    auto* compositeBar = new QHBoxLayout;
    pushButton_eph_composite = button("pushButton_eph_composite", tr("更新星历"));
    checkBox_eph_composite_save = new QCheckBox(tr("存储原始数据"));
    named(checkBox_eph_composite_save, "checkBox_eph_composite_save");
    checkBox_eph_composite_save->setChecked(true);
    pushButton_eph_composite_trans = button("pushButton_eph_composite_trans", tr("转换格式并导出"));
    compositeBar->addWidget(pushButton_eph_composite);
    compositeBar->addWidget(checkBox_eph_composite_save);
    compositeBar->addStretch();
    compositeBar->addWidget(pushButton_eph_composite_trans);
    plainTextEdit_eph_composite = new QPlainTextEdit;
    named(plainTextEdit_eph_composite, "plainTextEdit_eph_composite");
    plainTextEdit_eph_composite->setReadOnly(true);
    compositeLayout->addLayout(compositeBar);
    compositeLayout->addWidget(plainTextEdit_eph_composite);
    ephTabs->addTab(compositePage, tr("综合星历"));

    auto setPage = [&](const char* update, const char* save, const char* clean, const char* combo, const char* trans,
                       const char* view, QPushButton*& updateButton, QCheckBox*& saveBox, QPushButton*& cleanButton,
                       QComboBox*& comboBox, QPushButton*& transButton, QPlainTextEdit*& textView) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        auto* bar = new QHBoxLayout;
        updateButton = button(update, tr("更新并合并星历"));
        saveBox = new QCheckBox(tr("存储原始数据"));
        named(saveBox, save);
        cleanButton = button(clean, tr("清空缓存"));
        comboBox = new QComboBox;
        named(comboBox, combo);
        comboBox->setMinimumWidth(80);
        transButton = button(trans, tr("转换格式并导出"));
        bar->addWidget(updateButton);
        bar->addWidget(saveBox);
        bar->addWidget(cleanButton);
        bar->addWidget(new QLabel(tr("卫星号")));
        bar->addWidget(comboBox);
        bar->addStretch();
        bar->addWidget(transButton);
        textView = new QPlainTextEdit;
        named(textView, view);
        textView->setReadOnly(true);
        layout->addLayout(bar);
        layout->addWidget(textView);
        return page;
    };
    ephTabs->addTab(setPage("pushButton_eph_civil", "checkBox_eph_civil_save", "pushButton_eph_civil_clean",
                            "comboBox_civil", "pushButton_eph_civil_trans", "plainTextEdit_eph_civil",
                            pushButton_eph_civil, checkBox_eph_civil_save, pushButton_eph_civil_clean, comboBox_civil,
                            pushButton_eph_civil_trans, plainTextEdit_eph_civil),
                    tr("B3I星历"));
    ephTabs->addTab(setPage("pushButton_eph_military", "checkBox_eph_military_save", "pushButton_eph_military_clean",
                            "comboBox_military", "plainTextEdit_eph_military_trans", "plainTextEdit_eph_military",
                            pushButton_eph_military, checkBox_eph_military_save, pushButton_eph_military_clean,
                            comboBox_military, plainTextEdit_eph_military_trans, plainTextEdit_eph_military),
                    tr("B3A星历"));
    tabWidget->addTab(ephTabs, tr("星历数据"));

    // Leap second.
    auto* leapPage = new QWidget;
    auto* leapForm = new QFormLayout(leapPage);
    pushButton_leapsecond = button("pushButton_leapsecond", tr("获取闰秒标识"));
    label_l_current = label("label_l_current", QString());
    label_l_next = label("label_l_next", QString());
    label_l_utc_date = label("label_l_utc_date", QString());
    label_l_sec = label("label_l_sec", QString());
    leapForm->addRow(pushButton_leapsecond);
    leapForm->addRow(tr("当前闰秒"), label_l_current);
    leapForm->addRow(tr("下次闰秒"), label_l_next);
    leapForm->addRow(tr("UTC日期"), label_l_utc_date);
    leapForm->addRow(tr("UTC天秒(ms)"), label_l_sec);
    tabWidget->addTab(leapPage, tr("闰秒标识"));

    // Instrument address.
    auto* ipPage = new QWidget;
    auto* ipForm = new QFormLayout(ipPage);
    txt_IP = edit("txt_IP");
    txt_NetMask = edit("txt_NetMask");
    txt_Gateway = edit("txt_Gateway");
    pushButton = button("pushButton", tr("修改"));
    ipForm->addRow(tr("IP地址："), txt_IP);
    ipForm->addRow(tr("子网掩码："), txt_NetMask);
    ipForm->addRow(tr("网关："), txt_Gateway);
    ipForm->addRow(pushButton);
    tabWidget->addTab(ipPage, tr("IP设置"));

    root->addWidget(tabWidget, 1);
    resize(1000, 860);
    QMetaObject::connectSlotsByName(this);
}

QByteArray Extend518::MakeFrame(COST code, const QByteArray& payload)
{
    const QByteArray frame = ExtendProtocol::makeFrame(code, payload);
    qDebug().noquote() << "MakeFrame" << frame.toHex(' ').toUpper();
    return frame;
}

quint16 Extend518::checkSum16(const char* data, int length)
{
    return ExtendProtocol::checkSum16(data, length);
}

bool Extend518::isBound() const
{
    return m_thread->isBound();
}

quint16 Extend518::boundPort() const
{
    return m_thread->localPort();
}

int Extend518::showBox(Box::Kind kind, const QString& title, const QString& text)
{
    if (boxResponder()) {
        Box box;
        box.kind = kind;
        box.title = title;
        box.text = text;
        return boxResponder()(box);
    }
    switch (kind) {
    case Box::Information:
        return QMessageBox::information(this, title, text);
    case Box::Warning:
        return QMessageBox::warning(this, title, text);
    case Box::Critical:
        return QMessageBox::critical(this, title, text);
    case Box::Question:
        return QMessageBox::warning(this, title, text, QMessageBox::Yes | QMessageBox::No);
    }
    return QMessageBox::Ok;
}

void Extend518::refusedNotIdle()
{
    showBox(Box::Warning, QStringLiteral("执行失败"), QStringLiteral("当前不为空闲状态，请手动同步状态确认空闲后操作"));
}

// ---------------------------------------------------------------- transport

void Extend518::recv(QByteArray data)
{
    // Socket thread: only the cutter is touched here; decoding is queued to the GUI thread.
    const QList<ExtendReplyCutter::Reply> replies = m_cutter.append(data);
    for (const ExtendReplyCutter::Reply& r : replies)
        emit PostCmdResult(COST(r.code), r.payload);
}

void Extend518::send(COST code, const QByteArray& payload)
{
    m_replyTimer.start(m_replyTimeoutMs);
    m_pendingCode = code;
    emit udp_send(MakeFrame(code, payload));
}

void Extend518::CmdTimeout()
{
    QString text;
    switch (m_pendingCode) {
    case COST_GetStatus:
        text = QStringLiteral("通信超时，获取状态失败");
        break;
    case COST_Playback:
        text = QStringLiteral("转发/回放超时");
        break;
    case COST_Record:
        text = QStringLiteral("采集超时");
        break;
    case COST_GetVolume:
        text = QStringLiteral("获取硬盘容量超时");
        break;
    case COST_GetRecords:
        text = QStringLiteral("获取记录超时");
        break;
    case COST_DeleteRecord:
        text = QStringLiteral("删除记录超时");
        break;
    case COST_DeviceCheck:
        text = QStringLiteral("自检超时");
        break;
    case COST_GetPulse:
        text = QStringLiteral("对时脉冲超时");
        break;
    case COST_GetEphComposite:
    case COST_GetEphCivil:
    case COST_GetEphMilitary:
        text = QStringLiteral("获取星历数据超时");
        break;
    default:
        return;
    }
    showBox(Box::Warning, QStringLiteral("命令超时"), text);
}

void Extend518::bindNow()
{
    const ushort local = lineEdit_localport->text().toUShort();
    const ushort remote = lineEdit_remoteport->text().toUShort();
    const QString address = ConfigSetting::instance()->GetInit(QStringLiteral("Network"), QStringLiteral("IP")).toString();
    emit udp_open(local, address, remote);
    pushButton_bind->setText(tr("取消绑定"));
}

void Extend518::on_pushButton_bind_clicked()
{
    if (pushButton_bind->text() != tr("绑定")) {
        emit udp_close();
        pushButton_bind->setText(tr("绑定"));
        return;
    }
    bindNow();
}

void Extend518::showEvent(QShowEvent* event)
{
    if (!m_thread->isBound())
        bindNow();
    event->accept();
}

// ---------------------------------------------------------------- requests

void Extend518::sendGetStatus() { send(COST_GetStatus, QByteArray()); }

void Extend518::sendPlaybackCmd(unsigned char kind, unsigned char action, unsigned int name)
{
    send(COST_Playback, ExtendProtocol::playbackPayload(kind, action, name));
}

void Extend518::sendRecordCmd(unsigned char action, unsigned int name)
{
    send(COST_Record, ExtendProtocol::recordPayload(action, name));
}

void Extend518::sendGetVolume() { send(COST_GetVolume, QByteArray()); }
void Extend518::sendGetRecords() { send(COST_GetRecords, QByteArray()); }

bool Extend518::sendDeleteRecord(unsigned int name)
{
    m_replyTimer.start(m_replyTimeoutMs);
    const QByteArray payload = ExtendProtocol::namePayload(name);
    m_deleteResult = 0;
    m_pendingCode = COST_DeleteRecord;
    emit udp_send(MakeFrame(COST_DeleteRecord, payload));
    m_deleteLoop.exec();
    return m_deleteResult == name;
}

void Extend518::sendDeviceCheck() { send(COST_DeviceCheck, QByteArray()); }
void Extend518::sendSetPower(unsigned char value) { send(COST_SetPower, QByteArray(1, char(value))); }

void Extend518::sendSetIp(unsigned int ip, unsigned int mask, unsigned int gateway)
{
    send(COST_SetIp, ExtendProtocol::setIpPayload(ip, mask, gateway));
}

void Extend518::sendFormat() { send(COST_Format, QByteArray()); }

void Extend518::sendGetPulse(unsigned char wait, unsigned char count)
{
    send(COST_GetPulse, ExtendProtocol::getPulsePayload(wait, count));
}

void Extend518::sendGetLeapSecond() { send(COST_GetLeapSecond, QByteArray()); }

void Extend518::sendSetPulse(unsigned long long width, unsigned short count)
{
    send(COST_SetPulse, ExtendProtocol::setPulsePayload(width, count));
}

void Extend518::sendGetEphComposite()
{
    m_saveComposite = checkBox_eph_composite_save->isChecked();
    send(COST_GetEphComposite, QByteArray());
}

void Extend518::sendGetEphCivil()
{
    m_saveCivil = checkBox_eph_civil_save->isChecked();
    m_civilCount = 0;
    send(COST_GetEphCivil, QByteArray());
}

void Extend518::sendGetEphMilitary()
{
    m_saveMilitary = checkBox_eph_military_save->isChecked();
    m_militaryCount = 0;
    send(COST_GetEphMilitary, QByteArray());
}

// ---------------------------------------------------------------- state display

void Extend518::setStateIdle()
{
    label_status->setText(tr("空闲中"));
    for (QWidget* w : {pushButton_getrecord, pushButton_delete, pushButton_playback, pushButton_transport, pushButton_stoptp})
        w->setEnabled(true);
    groupBox_record->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(lineEdit_recordname), static_cast<QWidget*>(lineEdit_recordtime),
                       static_cast<QWidget*>(checkBox), static_cast<QWidget*>(pushButton_record)})
        w->setEnabled(true);
    checkBox->setChecked(false);
}

void Extend518::setStateCollecting()
{
    label_status->setText(tr("采集中"));
    for (QWidget* w : {pushButton_getrecord, pushButton_delete, pushButton_playback, pushButton_transport, pushButton_stoptp})
        w->setEnabled(false);
    groupBox_record->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(lineEdit_recordname), static_cast<QWidget*>(lineEdit_recordtime),
                       static_cast<QWidget*>(checkBox), static_cast<QWidget*>(pushButton_record)})
        w->setEnabled(false);
}

void Extend518::setStatePlayback()
{
    label_status->setText(tr("回放中"));
    for (QWidget* w : {pushButton_getrecord, pushButton_delete, pushButton_playback, pushButton_transport})
        w->setEnabled(false);
    pushButton_stoptp->setEnabled(true);
    groupBox_record->setEnabled(false);
}

void Extend518::setStateForwarding()
{
    label_status->setText(tr("转发中"));
    for (QWidget* w : {pushButton_getrecord, pushButton_delete, pushButton_playback, pushButton_transport})
        w->setEnabled(false);
    pushButton_stoptp->setEnabled(true);
    groupBox_record->setEnabled(false);
}

// ---------------------------------------------------------------- record name and time

void Extend518::writeMarked(QLineEdit* edit, bool& mark, const QString& text)
{
    if (edit->text() == text)
        return;
    mark = true;
    edit->setText(text);
}

void Extend518::recordNameTimerEvent()
{
    const QDateTime now = QDateTime::currentDateTime();
    writeMarked(lineEdit_recordtime, m_timeMark, now.toString(QStringLiteral("yyyyMMddhhmmss")));
    writeMarked(lineEdit_recordname, m_nameMark, QString::number(quint32(now.toSecsSinceEpoch())));
}

void Extend518::on_checkBox_stateChanged(int arg1)
{
    if (arg1 != Qt::Unchecked) {
        recordNameTimerEvent();
        m_recordNameTimer.start();
        lineEdit_recordname->setEnabled(false);
        lineEdit_recordtime->setEnabled(false);
    } else {
        m_recordNameTimer.stop();
        lineEdit_recordname->setEnabled(true);
        lineEdit_recordtime->setEnabled(true);
    }
}

void Extend518::on_lineEdit_recordname_textChanged(const QString& arg1)
{
    if (m_nameMark) {
        m_nameMark = false;
        return;
    }
    const quint32 name = arg1.toUInt();
    writeMarked(lineEdit_recordtime, m_timeMark, localTimeText(name));
    writeMarked(lineEdit_recordname, m_nameMark, QString::number(name));
}

void Extend518::on_lineEdit_recordtime_textChanged(const QString& arg1)
{
    if (m_timeMark) {
        m_timeMark = false;
        return;
    }
    const QDateTime t = QDateTime::fromString(arg1, QStringLiteral("yyyyMMddhhmmss"));
    quint32 name = 0xFFFFFFFFu;
    if (t.isValid()) {
        const qint64 s = t.toSecsSinceEpoch();
        if (s >= 0 && s < qint64(0xFFFFFFFFu))
            name = quint32(s);
    }
    writeMarked(lineEdit_recordname, m_nameMark, QString::number(name));
}

// ---------------------------------------------------------------- actions

void Extend518::on_pushButton_record_clicked()
{
    if (checkBox->isChecked())
        checkBox->setChecked(false);
    const quint32 name = lineEdit_recordname->text().toUInt();
    if (name == 0) {
        showBox(Box::Critical, QString(), QStringLiteral("记录名不能等于 0"));
        return;
    }
    const QString text = QString::number(name);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QStandardItem* item = m_model->item(row, 0);
        if (item && item->text() == text) {
            showBox(Box::Critical, QString(), QStringLiteral("记录名重复"));
            return;
        }
    }
    sendRecordCmd(0xFF, name);
}

void Extend518::on_pushButton_stoprecord_clicked()
{
    sendRecordCmd(0x00, 0);
}

void Extend518::on_pushButton_playback_clicked()
{
    const QModelIndex current = tableView->currentIndex();
    if (!current.isValid()) {
        showBox(Box::Warning, QString(), QStringLiteral("未选择需要回放的记录"));
        return;
    }
    const quint32 name = m_model->index(current.row(), 0).data(Qt::UserRole + 1).toUInt();
    if (name == 0) {
        showBox(Box::Critical, QString(), QStringLiteral("选择的记录有误，请刷新后重试"));
        return;
    }
    sendPlaybackCmd(0xAA, 0xFF, name);
}

void Extend518::on_pushButton_transport_clicked()
{
    sendPlaybackCmd(0x11, 0xFF, 0);
}

void Extend518::on_pushButton_stoptp_clicked()
{
    if (m_deviceMode == 3)
        sendPlaybackCmd(0xAA, 0x00, 0);
    else if (m_deviceMode == 4)
        sendPlaybackCmd(0x11, 0x00, 0);
}

void Extend518::on_pushButton_delete_clicked()
{
    // The run waits in a nested loop; a second press meanwhile would share its delete result.
    if (m_deleting)
        return;
    if (m_deviceMode != 1) {
        refusedNotIdle();
        return;
    }
    QList<quint32> names;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex first = m_model->index(row, 0);
        bool ok = false;
        const int state = first.data(Qt::CheckStateRole).toInt(&ok);
        if (ok && state == Qt::Checked)
            names << first.data(Qt::UserRole + 1).toUInt();
    }
    if (!names.isEmpty()) {
        const int answer = showBox(Box::Question, QStringLiteral("删除确认"),
                                   QStringLiteral("是否要删除选中的 %1 条记录").arg(names.size()));
        if (answer != QMessageBox::Yes)
            return;
    } else {
        const QModelIndex current = tableView->currentIndex();
        if (!current.isValid()) {
            showBox(Box::Warning, QString(), QStringLiteral("未选择需要删除的记录"));
            return;
        }
        names << m_model->index(current.row(), 0).data(Qt::UserRole + 1).toUInt();
    }

    m_deleting = true;
    bool complete = true;
    for (quint32 name : names) {
        if (name == 0 || !sendDeleteRecord(name)) {
            complete = false;
            break;
        }
    }
    m_deleting = false;
    if (!complete) {
        showBox(Box::Critical, QString(), QStringLiteral("选择的记录有误，请刷新后重试"));
        return;
    }
    showBox(Box::Information, QStringLiteral("删除成功"), QStringLiteral("删除成功，记录数:%1").arg(names.size()));
    sendGetRecords();
    sendGetVolume();
}

void Extend518::on_pushButton_delete_2_clicked()
{
    if (m_deviceMode != 1) {
        refusedNotIdle();
        return;
    }
    sendFormat();
}

void Extend518::on_pushButton_clicked()
{
    if (m_deviceMode != 1) {
        refusedNotIdle();
        return;
    }
    const QString ip = txt_IP->text();
    if (!isIpv4Text(ip)) {
        showBox(Box::Warning, QStringLiteral("执行失败"), QStringLiteral("IP不合法"));
        return;
    }
    if (txt_NetMask->text().isEmpty())
        txt_NetMask->setText(QStringLiteral("255.255.255.0"));
    if (txt_Gateway->text().isEmpty())
        txt_Gateway->setText(ip.left(ip.lastIndexOf(QLatin1Char('.')) + 1) + QLatin1Char('1'));
    const quint32 address = ipv4Value(ip);
    const quint32 mask = ipv4Value(txt_NetMask->text());
    const quint32 gateway = ipv4Value(txt_Gateway->text());
    qDebug().noquote() << ip << txt_NetMask->text() << txt_Gateway->text();
    sendSetIp(address, mask, gateway);
}

void Extend518::on_horizontalSlider_power_valueChanged(int value)
{
    label_power_attenuation->setText(QStringLiteral("%1 dB").arg(value));
    sendSetPower(quint8(value));
}

void Extend518::on_pushButton_pulse_clicked()
{
    const quint16 wait = lineEdit_pulse_time->text().toUShort();
    const quint16 count = lineEdit_pulse_count->text().toUShort();
    sendGetPulse(quint8(wait & 0xFF), quint8(count & 0xFF));
}

void Extend518::on_pushButton_setpulse_clicked()
{
    sendSetPulse(lineEdit_pulse_width->text().toULongLong(), lineEdit_pulse_count->text().toUShort());
}

void Extend518::on_pushButton_devicecheck_clicked() { sendDeviceCheck(); }
void Extend518::on_pushButton_volume_clicked() { sendGetVolume(); }
void Extend518::on_pushButton_netcheck_clicked() { sendGetStatus(); }
void Extend518::on_pushButton_getrecord_clicked() { sendGetRecords(); }
void Extend518::on_pushButton_leapsecond_clicked() { sendGetLeapSecond(); }
void Extend518::on_pushButton_eph_composite_clicked() { sendGetEphComposite(); }
void Extend518::on_pushButton_eph_civil_clicked() { sendGetEphCivil(); }
void Extend518::on_pushButton_eph_military_clicked() { sendGetEphMilitary(); }

void Extend518::on_pushButton_eph_civil_clean_clicked()
{
    m_civil.clear();
    comboBox_civil->clear();
    plainTextEdit_eph_civil->clear();
}

void Extend518::on_pushButton_eph_military_clean_clicked()
{
    m_military.clear();
    comboBox_military->clear();
    plainTextEdit_eph_military->clear();
}

void Extend518::showSatellite(QComboBox* box, bool mark, const QMap<qint8, QString>& map, QPlainTextEdit* view,
                              int index)
{
    if (index == -1 || mark) {
        view->clear();
        return;
    }
    const qint8 key = qint8(quint8(box->itemData(index, Qt::UserRole).toUInt() & 0xFF));
    const auto it = map.constFind(key);
    if (it == map.constEnd())
        view->clear();
    else
        view->setPlainText(it.value());
}

void Extend518::on_comboBox_civil_currentIndexChanged(int index)
{
    showSatellite(comboBox_civil, m_civilMark, m_civil, plainTextEdit_eph_civil, index);
}

void Extend518::on_comboBox_military_currentIndexChanged(int index)
{
    showSatellite(comboBox_military, m_militaryMark, m_military, plainTextEdit_eph_military, index);
}

// ---------------------------------------------------------------- replies

void Extend518::fillSatellites(QComboBox* box, bool& mark, const QMap<qint8, QString>& map)
{
    mark = true;
    box->clear();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        box->addItem(QString::number(int(it.key())), QVariant(uint(quint8(it.key()))));
    mark = false;
    box->setCurrentIndex(0);
}

void Extend518::showEphemerisSet(COST code, const QByteArray& data)
{
    const bool civil = code == COST_GetEphCivil;
    const int recordSize = civil ? ExtendReplyText::kB3ISize : ExtendReplyText::kB3ASize;
    const quint8 count = quint8(data.at(0));
    if (count > 63)
        return;
    saveSet(code, data);
    QMap<qint8, QString>& map = civil ? m_civil : m_military;
    const int records = (data.size() - 1) / recordSize;
    for (int k = 0; k < records; ++k) {
        const QByteArray record = data.mid(1 + k * recordSize, recordSize);
        const qint8 key = qint8(quint8(record.at(3)));
        map.insert(key, civil ? ExtendReplyText::b3iRecord(record) : ExtendReplyText::b3aRecord(record));
    }
    if (civil) {
        fillSatellites(comboBox_civil, m_civilMark, m_civil);
        on_comboBox_civil_currentIndexChanged(0);
    } else {
        fillSatellites(comboBox_military, m_militaryMark, m_military);
        on_comboBox_military_currentIndexChanged(0);
    }
}

void Extend518::HandleCmdResult(COST cmd, QByteArray data)
{
    m_replyTimer.stop();
    // The cutter hands over whole replies; a payload shorter than its layout is not read.
    if (data.size() < replySize(cmd))
        return;

    switch (cmd) {
    case COST_GetStatus: {
        m_deviceMode = qint8(quint8(data.at(0)));
        switch (m_deviceMode) {
        case 1:
            setStateIdle();
            break;
        case 2:
            setStateCollecting();
            break;
        case 3:
            setStatePlayback();
            break;
        case 4:
            setStateForwarding();
            break;
        default:
            break;
        }
        showBox(Box::Information, QString(), QStringLiteral("通信成功"));
        break;
    }
    case COST_Playback: {
        const quint8 kind = quint8(data.at(0));
        const quint8 result = quint8(data.at(1));
        const quint32 name = be32(data, 2);
        if (kind == 0xAA) {
            if (result == 0xFF) {
                m_deviceMode = 3;
                setStatePlayback();
                showBox(Box::Information, QString(), QStringLiteral("启动回放成功，记录名:%1").arg(name));
            } else if (result == 0x00) {
                m_deviceMode = 1;
                setStateIdle();
                showBox(Box::Information, QString(), QStringLiteral("停止回放成功"));
            } else {
                showBox(Box::Critical, QStringLiteral("回放错误"), QStringLiteral("未知的回放响应结果"));
            }
        } else if (kind == 0x11) {
            if (result == 0xFF) {
                m_deviceMode = 4;
                setStateForwarding();
                showBox(Box::Information, QString(), QStringLiteral("启动转发成功"));
            } else if (result == 0x00) {
                m_deviceMode = 1;
                setStateIdle();
                showBox(Box::Information, QString(), QStringLiteral("停止转发成功"));
            } else {
                showBox(Box::Critical, QStringLiteral("转发错误"), QStringLiteral("未知的转发响应结果"));
            }
        } else {
            showBox(Box::Critical, QStringLiteral("转发回放错误"), QStringLiteral("未知的设备模式"));
        }
        break;
    }
    case COST_Record: {
        const quint8 result = quint8(data.at(0));
        const quint32 name = be32(data, 1);
        if (result == 0xFF) {
            m_deviceMode = 2;
            setStateCollecting();
            showBox(Box::Information, QString(), QStringLiteral("启动采集成功，记录名:%1").arg(name));
        } else if (result == 0x00) {
            m_deviceMode = 1;
            setStateIdle();
            showBox(Box::Information, QString(), QStringLiteral("停止采集成功"));
            sendGetRecords();
            sendGetVolume();
        } else {
            showBox(Box::Critical, QStringLiteral("采集错误"), QStringLiteral("未知的采集响应结果"));
        }
        break;
    }
    case COST_GetVolume:
        label_free->setText(ExtendReplyText::capacity(be32(data, 0)));
        label_total->setText(ExtendReplyText::capacity(be32(data, 4)));
        break;
    case COST_GetRecords: {
        m_model->removeRows(0, m_model->rowCount());
        const qint32 n = qint32(be32(data, 0));
        label_recordcount->setText(QString::number(n));
        if (n < 1)
            break;
        // Never more rows than the reply carries names.
        const int rows = int(qMin<qint64>(n, (data.size() - 4) / 4));
        for (int k = 0; k < rows; ++k) {
            const quint32 name = be32(data, 4 + 4 * k);
            auto* first = new QStandardItem(QString::number(name));
            first->setData(name, Qt::UserRole + 1);
            first->setCheckable(true);
            first->setData(0, Qt::CheckStateRole);
            first->setEditable(false);
            auto* second = new QStandardItem(localTimeText(name));
            second->setEditable(false);
            m_model->appendRow({first, second});
        }
        break;
    }
    case COST_DeleteRecord:
        m_deleteResult = be32(data, 0);
        m_deleteLoop.exit(0);
        break;
    case COST_DeviceCheck:
        label_check->setText(ExtendReplyText::selfCheck(be32(data, 0)));
        break;
    case COST_SetIp:
        showBox(Box::Information, QString(), QStringLiteral("修改IP成功，请重启设备"));
        break;
    case COST_Format:
        showBox(Box::Information, QString(), QStringLiteral("格式化成功"));
        sendGetRecords();
        sendGetVolume();
        break;
    case COST_GetPulse: {
        auto u8 = [&](int at) { return quint32(quint8(data.at(at))); };
        label_p_leap->setText(ExtendReplyText::leapFlag(quint8(u8(0))));
        label_p_bdweek->setText(QString::number(ExtendProtocol::readBE(data, 1, 2)));
        label_p_bdsec->setText(QString::number(be32(data, 3)));
        label_p_utc_date->setText(ExtendReplyText::triple(u8(7), u8(8), u8(9), QLatin1Char('-')));
        label_p_utc_time->setText(ExtendReplyText::triple(u8(10), u8(11), u8(12), QLatin1Char(':')));
        label_p_utc_day_sec->setText(QString::number(be32(data, 13) * 0.1, 'f', 1));
        label_p_utc_date_2->setText(ExtendReplyText::triple(u8(17), u8(18), u8(19), QLatin1Char('-')));
        label_p_utc_time_2->setText(ExtendReplyText::triple(u8(20), u8(21), u8(22), QLatin1Char(':')));
        label_p_utc_day_sec_2->setText(QString::number(be32(data, 23) * 0.1, 'f', 1));
        break;
    }
    case COST_GetLeapSecond: {
        qDebug() << "跳秒数据";
        label_l_current->setText(QString::number(qint16(quint16(ExtendProtocol::readBE(data, 0, 2)))));
        label_l_next->setText(QString::number(qint16(quint16(ExtendProtocol::readBE(data, 2, 2)))));
        label_l_utc_date->setText(ExtendReplyText::triple(quint8(data.at(4)), quint8(data.at(5)), quint8(data.at(6)),
                                                          QLatin1Char('-')));
        label_l_sec->setText(QString::number(be32(data, 7)));
        break;
    }
    case COST_SetPulse:
        showBox(Box::Information, QStringLiteral("设置成功"),
                QStringLiteral("对时脉冲设置成功\n宽度:%1 个数:%2")
                    .arg(ExtendProtocol::readBE(data, 0, 8))
                    .arg(ExtendProtocol::readBE(data, 8, 2)));
        break;
    case COST_GetEphComposite:
        saveComposite(data);
        plainTextEdit_eph_composite->setPlainText(ExtendReplyText::composite(data));
        break;
    case COST_GetEphCivil:
    case COST_GetEphMilitary:
        showEphemerisSet(cmd, data);
        break;
    case COST_CmdError:
        showBox(Box::Critical, QStringLiteral("命令执行失败"), QStringLiteral("命令执行错误"));
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- ephemeris files

void Extend518::saveComposite(const QByteArray& data)
{
    // Failures to save are silent: the reply is shown all the same.
    if (!m_saveComposite)
        return;
    const QDir dir(ephemerisDir());
    if (!dir.exists())
        QDir().mkpath(dir.path());
    QFile file(dir.absoluteFilePath(QLatin1String(kCompositeFile)));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data.left(ExtendReplyText::kCompositeSize));
}

void Extend518::saveSet(COST code, const QByteArray& data)
{
    const bool civil = code == COST_GetEphCivil;
    if (!(civil ? m_saveCivil : m_saveMilitary))
        return;
    const int recordSize = civil ? ExtendReplyText::kB3ISize : ExtendReplyText::kB3ASize;
    int& remembered = civil ? m_civilCount : m_militaryCount;
    const QDir dir(ephemerisDir());
    if (!dir.exists())
        QDir().mkpath(dir.path());
    QFile file(dir.absoluteFilePath(QLatin1String(civil ? kCivilFile : kMilitaryFile)));
    const int c = qint8(quint8(data.at(0)));
    // The first reply of a set starts the file; the others of the same set add a block each.
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append;
    if (remembered == 0 || remembered != c) {
        remembered = c;
        mode = QIODevice::WriteOnly | QIODevice::Truncate;
    }
    if (!file.open(mode))
        return;
    const int records = (data.size() - 1) / recordSize;
    file.write(data.left(1 + records * recordSize));
}

void Extend518::exportFile(const QString& fileName, const QString& title, const QString& caption,
                           QString (*build)(const QByteArray&))
{
    const QString path = AppPaths::applicationDir() + QStringLiteral("/../Ephemeris/") + fileName;
    if (!QFile::exists(path)) {
        showBox(Box::Critical, title, QStringLiteral("无原始星历数据失败，导出失败"));
        return;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        showBox(Box::Critical, title, QStringLiteral("打开文件失败，导出失败"));
        return;
    }
    const QByteArray raw = in.readAll();
    in.close();
    // A composite file too short for its block holds no usable data.
    if (build == &ExtendEphemerisExport::compositeText && raw.size() < ExtendEphemerisExport::kCompositeSize) {
        showBox(Box::Critical, title, QStringLiteral("无原始星历数据失败，导出失败"));
        return;
    }
    const QString text = build(raw);
    const QString start = AppPaths::applicationDir() + QStringLiteral("/../Ephemeris/");
    const QString target = saveFileChooser() ? saveFileChooser()(caption, start)
                                             : QFileDialog::getSaveFileName(this, caption, start);
    QFile out(target);
    if (target.isEmpty() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        showBox(Box::Critical, title, QStringLiteral("保存文件失败，导出失败"));
        return;
    }
    out.write(text.toLocal8Bit());
}

void Extend518::on_pushButton_eph_composite_trans_clicked()
{
    exportFile(QLatin1String(kCompositeFile), QStringLiteral("导出失败(综合星历)"),
               QStringLiteral("选择转换后文件输出位置(综合星历)"), &ExtendEphemerisExport::compositeText);
}

void Extend518::on_pushButton_eph_civil_trans_clicked()
{
    exportFile(QLatin1String(kCivilFile), QStringLiteral("导出失败(B3I)"), QStringLiteral("选择转换后文件输出位置(B3I)"),
               &ExtendEphemerisExport::b3iText);
}

void Extend518::on_plainTextEdit_eph_military_trans_clicked()
{
    exportFile(QLatin1String(kMilitaryFile), QStringLiteral("导出失败(B3A)"), QStringLiteral("选择转换后文件输出位置(B3A)"),
               &ExtendEphemerisExport::b3aText);
}
