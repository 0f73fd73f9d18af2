#include "Extend518.h"

#include "ExtendEphemerisExport.h"
#include "ExtendReplyText.h"
#include "PanelFit.h"
#include "RecordText.h"
#include "UdpNetworkThread.h"
#include "ui_Extend518.h"

#include <DialogSeam.h>
#include <MessageDialog.h>
#include <StandardMessageBox.h>

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>

#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QMessageBox>
#include <QRegularExpression>
#include <QShowEvent>
#include <QStandardItemModel>

namespace {
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

} // namespace

QString Extend518::ephemerisDir()
{
    return AppPaths::applicationDir() + QStringLiteral("/../Ephemeris");
}

Extend518::Extend518(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Extend518)
    , m_held([this](int code) { return m_link.reason(COST(code)); })
{
    ui->setupUi(this);
    m_fit = new PanelFit(this, ui->verticalLayout_panel, ui->PanelArea, ui->verticalLayout_main);
    qRegisterMetaType<COST>("COST");

    m_model = new QStandardItemModel;
    // The number the instrument names a record by; 记录名 is its local time on every other page.
    m_model->setHorizontalHeaderLabels({tr("记录编号"), tr("记录时间")});
    ui->tableView->setModel(m_model);
    ui->tableView->setColumnWidth(0, 200);
    ui->tableView->setColumnWidth(1, 200);
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setSelectionMode(QAbstractItemView::SingleSelection);

    m_thread = new UdpNetworkThread;
    m_thread->start();
    connect(this, &Extend518::udp_open, m_thread, &UdpNetworkThread::open, Qt::BlockingQueuedConnection);
    connect(this, &Extend518::udp_close, m_thread, &UdpNetworkThread::close, Qt::BlockingQueuedConnection);
    connect(this, &Extend518::udp_send, m_thread, &UdpNetworkThread::send);
    connect(m_thread, &UdpNetworkThread::recv, this, &Extend518::recv, Qt::DirectConnection);
    connect(this, &Extend518::PostCmdResult, this, &Extend518::HandleCmdResult, Qt::QueuedConnection);
    connect(&m_link, &ExtendRequests::frameOut, this, [this](const QByteArray& frame) {
        qDebug().noquote() << "MakeFrame" << frame.toHex(' ').toUpper();
        emit udp_send(frame);
    });
    connect(&m_link, &ExtendRequests::shown, this, &Extend518::showReply);
    connect(&m_link, &ExtendRequests::recordGone, this, &Extend518::forgetRecord);
    connect(&m_link, &ExtendRequests::openChanged, this, &Extend518::holdControls);
    connect(&m_link, &ExtendRequests::told, this, [this](const ExtendRequests::Word& w) {
        showBox(w.kind == ExtendRequests::Word::Critical  ? Box::Critical
                : w.kind == ExtendRequests::Word::Warning ? Box::Warning
                                                          : Box::Information,
                w.title, w.text);
    });

    m_recordNameTimer.setInterval(1000);
    connect(&m_recordNameTimer, &QTimer::timeout, this, &Extend518::recordNameTimerEvent);
    ui->checkBox->setChecked(true);
    // A bound panel follows the instrument when the link moves to another address.
    connect(ProtocolManager::instance(), &ProtocolManager::InstrumentAddressChanged, this, [this] {
        if (m_thread->isBound())
            bindNow();
    });
}

Extend518::~Extend518()
{
    // The socket thread is stopped before the panel goes, so that nothing it emits reaches a
    // destroyed panel and the port is released.
    disconnect(m_thread, nullptr, this, nullptr);
    delete m_thread;
    ui->tableView->setModel(nullptr);
    delete m_model;
    delete ui;
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
    switch (kind) {
    // Most of these report the instrument's replies: they must not hold the panel in a modal loop.
    case Box::Information:
        StandardMessageBox::tell(this, QMessageBox::Information, title, text);
        break;
    case Box::Warning:
        StandardMessageBox::tell(this, QMessageBox::Warning, title, text);
        break;
    case Box::Critical:
        StandardMessageBox::tell(this, QMessageBox::Critical, title, text);
        break;
    case Box::Question:
        // The panel asks only before deleting records.
        return MessageDialog::ConfirmDestructive(title, text, int(MessageDialog::MessageType::Warning))
                 ? QMessageBox::Yes
                 : QMessageBox::No;
    }
    return QMessageBox::Ok;
}

void Extend518::refusedNotIdle()
{
    showBox(Box::Warning, tr("执行失败"), tr("当前不为空闲状态，请手动同步状态确认空闲后操作"));
}

// ---------------------------------------------------------------- transport

void Extend518::recv(QByteArray data)
{
    // Socket thread: only the cutter is touched here; decoding is queued to the GUI thread.
    const QList<ExtendReplyCutter::Reply> replies = m_cutter.append(data);
    for (const ExtendReplyCutter::Reply& r : replies)
        emit PostCmdResult(COST(r.code), r.payload);
}

void Extend518::holdControls()
{
    const QList<QPair<QWidget*, COST>> controls = {
        {ui->pushButton_netcheck, COST_GetStatus},
        {ui->pushButton_playback, COST_Playback},
        {ui->pushButton_transport, COST_Playback},
        {ui->pushButton_stoptp, COST_Playback},
        {ui->pushButton_record, COST_Record},
        {ui->pushButton_stoprecord, COST_Record},
        {ui->pushButton_volume, COST_GetVolume},
        {ui->pushButton_getrecord, COST_GetRecords},
        {ui->pushButton_delete, COST_DeleteRecord},
        {ui->pushButton_devicecheck, COST_DeviceCheck},
        {ui->pushButton, COST_SetIp},
        {ui->pushButton_delete_2, COST_Format},
        {ui->pushButton_pulse, COST_GetPulse},
        {ui->pushButton_leapsecond, COST_GetLeapSecond},
        {ui->pushButton_setpulse, COST_SetPulse},
        {ui->pushButton_eph_composite, COST_GetEphComposite},
        {ui->pushButton_eph_civil, COST_GetEphCivil},
        {ui->pushButton_eph_military, COST_GetEphMilitary},
    };
    m_held.release();
    // A control the run state keeps off stays off, and the state's own word lets it go.
    for (const auto& c : controls)
        m_held.hold(c.first, c.second);
}

void Extend518::forgetRecord(quint32 name)
{
    bool removed = false;
    for (int row = m_model->rowCount() - 1; row >= 0; --row) {
        if (m_model->index(row, 0).data(Qt::UserRole + 1).toUInt() == name) {
            m_model->removeRow(row);
            removed = true;
        }
    }
    bool ok = false;
    const int count = ui->label_recordcount->text().toInt(&ok);
    if (removed && ok && count > 0)
        ui->label_recordcount->setText(QString::number(count - 1));
}

void Extend518::bindNow()
{
    const ushort local = ui->lineEdit_localport->text().toUShort();
    const ushort remote = ui->lineEdit_remoteport->text().toUShort();
    const QString address = ProtocolManager::instance()->instrumentAddress();
    // What went out on the old socket is never answered on the new one.
    m_link.cut();
    emit udp_open(local, address, remote);
    ui->pushButton_bind->setText(tr("取消绑定"));
}

void Extend518::on_pushButton_bind_clicked()
{
    if (ui->pushButton_bind->text() != tr("绑定")) {
        emit udp_close();
        m_link.cut();
        ui->pushButton_bind->setText(tr("绑定"));
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

QSize Extend518::minimumSizeHint() const
{
    return m_fit ? m_fit->leastSize().expandedTo(QWidget::minimumSizeHint()) : QWidget::minimumSizeHint();
}

// ---------------------------------------------------------------- requests

void Extend518::sendGetStatus()
{
    m_link.send(COST_GetStatus, QByteArray());
}

void Extend518::sendPlaybackCmd(unsigned char kind, unsigned char action, unsigned int name)
{
    m_link.send(COST_Playback, ExtendProtocol::playbackPayload(kind, action, name));
}

void Extend518::sendRecordCmd(unsigned char action, unsigned int name)
{
    m_link.send(COST_Record, ExtendProtocol::recordPayload(action, name));
}

void Extend518::sendGetVolume()
{
    m_link.send(COST_GetVolume, QByteArray());
}
void Extend518::sendGetRecords()
{
    m_link.send(COST_GetRecords, QByteArray());
}

bool Extend518::sendDeleteRecord(unsigned int name)
{
    // Its answer, its time-out, a command error or a cut link tells it, through the link.
    return m_link.deleteRecords({name});
}

void Extend518::sendDeviceCheck()
{
    m_link.send(COST_DeviceCheck, QByteArray());
}
void Extend518::sendSetPower(unsigned char value)
{
    m_link.send(COST_SetPower, QByteArray(1, char(value)));
}

void Extend518::sendSetIp(unsigned int ip, unsigned int mask, unsigned int gateway)
{
    m_link.send(COST_SetIp, ExtendProtocol::setIpPayload(ip, mask, gateway));
}

void Extend518::sendFormat()
{
    m_link.send(COST_Format, QByteArray());
}

void Extend518::sendGetPulse(unsigned char wait, unsigned char count)
{
    m_link.send(COST_GetPulse, ExtendProtocol::getPulsePayload(wait, count));
}

void Extend518::sendGetLeapSecond()
{
    m_link.send(COST_GetLeapSecond, QByteArray());
}

void Extend518::sendSetPulse(unsigned long long width, unsigned short count)
{
    m_link.send(COST_SetPulse, ExtendProtocol::setPulsePayload(width, count));
}

void Extend518::sendGetEphComposite()
{
    m_saveComposite = ui->checkBox_eph_composite_save->isChecked();
    m_link.send(COST_GetEphComposite, QByteArray());
}

void Extend518::sendGetEphCivil()
{
    m_saveCivil = ui->checkBox_eph_civil_save->isChecked();
    m_civilCount = 0;
    m_link.send(COST_GetEphCivil, QByteArray());
}

void Extend518::sendGetEphMilitary()
{
    m_saveMilitary = ui->checkBox_eph_military_save->isChecked();
    m_militaryCount = 0;
    m_link.send(COST_GetEphMilitary, QByteArray());
}

// ---------------------------------------------------------------- state display

void Extend518::setStateIdle()
{
    m_held.releaseAll();
    ui->label_status->setText(ExtendRequests::stateWord(int(SystemState::Idle)));
    for (QWidget* w : {ui->pushButton_getrecord, ui->pushButton_delete, ui->pushButton_playback,
                       ui->pushButton_transport, ui->pushButton_stoptp})
        w->setEnabled(true);
    ui->groupBox_record->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(ui->lineEdit_recordname), static_cast<QWidget*>(ui->lineEdit_recordtime),
                       static_cast<QWidget*>(ui->checkBox), static_cast<QWidget*>(ui->pushButton_record)})
        w->setEnabled(true);
    ui->checkBox->setChecked(false);
    holdControls();
}

void Extend518::setStateCollecting()
{
    m_held.releaseAll();
    ui->label_status->setText(ExtendRequests::stateWord(int(SystemState::Collecting)));
    for (QWidget* w : {ui->pushButton_getrecord, ui->pushButton_delete, ui->pushButton_playback,
                       ui->pushButton_transport, ui->pushButton_stoptp})
        w->setEnabled(false);
    ui->groupBox_record->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(ui->lineEdit_recordname), static_cast<QWidget*>(ui->lineEdit_recordtime),
                       static_cast<QWidget*>(ui->checkBox), static_cast<QWidget*>(ui->pushButton_record)})
        w->setEnabled(false);
    holdControls();
}

void Extend518::setStatePlayback()
{
    m_held.releaseAll();
    ui->label_status->setText(ExtendRequests::stateWord(int(SystemState::Playback)));
    for (QWidget* w :
         {ui->pushButton_getrecord, ui->pushButton_delete, ui->pushButton_playback, ui->pushButton_transport})
        w->setEnabled(false);
    ui->pushButton_stoptp->setEnabled(true);
    ui->groupBox_record->setEnabled(false);
    holdControls();
}

void Extend518::setStateForwarding()
{
    m_held.releaseAll();
    ui->label_status->setText(ExtendRequests::stateWord(int(SystemState::Forwarding)));
    for (QWidget* w :
         {ui->pushButton_getrecord, ui->pushButton_delete, ui->pushButton_playback, ui->pushButton_transport})
        w->setEnabled(false);
    ui->pushButton_stoptp->setEnabled(true);
    ui->groupBox_record->setEnabled(false);
    holdControls();
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
    writeMarked(ui->lineEdit_recordtime, m_timeMark, now.toString(QStringLiteral("yyyyMMddhhmmss")));
    writeMarked(ui->lineEdit_recordname, m_nameMark, QString::number(quint32(now.toSecsSinceEpoch())));
}

void Extend518::on_checkBox_stateChanged(int arg1)
{
    if (arg1 != Qt::Unchecked) {
        recordNameTimerEvent();
        m_recordNameTimer.start();
        ui->lineEdit_recordname->setEnabled(false);
        ui->lineEdit_recordtime->setEnabled(false);
    } else {
        m_recordNameTimer.stop();
        ui->lineEdit_recordname->setEnabled(true);
        ui->lineEdit_recordtime->setEnabled(true);
    }
}

void Extend518::on_lineEdit_recordname_textChanged(const QString& arg1)
{
    if (m_nameMark) {
        m_nameMark = false;
        return;
    }
    const quint32 name = arg1.toUInt();
    writeMarked(ui->lineEdit_recordtime, m_timeMark, ExtendReplyText::recordTime(name));
    writeMarked(ui->lineEdit_recordname, m_nameMark, QString::number(name));
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
    writeMarked(ui->lineEdit_recordname, m_nameMark, QString::number(name));
}

// ---------------------------------------------------------------- actions

void Extend518::on_pushButton_record_clicked()
{
    if (ui->checkBox->isChecked())
        ui->checkBox->setChecked(false);
    const quint32 name = ui->lineEdit_recordname->text().toUInt();
    if (name == 0) {
        showBox(Box::Critical, tr("无效"), tr("记录编号不能等于 0"));
        return;
    }
    const QString text = QString::number(name);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QStandardItem* item = m_model->item(row, 0);
        if (item && item->text() == text) {
            showBox(Box::Critical, tr("无效"), tr("记录编号重复"));
            return;
        }
    }
    sendRecordCmd(ExtendProtocol::RunStart, name);
}

void Extend518::on_pushButton_stoprecord_clicked()
{
    sendRecordCmd(ExtendProtocol::RunStop, 0);
}

void Extend518::on_pushButton_playback_clicked()
{
    const QModelIndex current = ui->tableView->currentIndex();
    if (!current.isValid()) {
        showBox(Box::Warning, tr("无效"), tr("未选择需要回放的记录"));
        return;
    }
    const quint32 name = m_model->index(current.row(), 0).data(Qt::UserRole + 1).toUInt();
    if (name == 0) {
        showBox(Box::Critical, tr("回放失败"), tr("选择的记录有误，请刷新后重试"));
        return;
    }
    sendPlaybackCmd(ExtendProtocol::RunPlayback, ExtendProtocol::RunStart, name);
}

void Extend518::on_pushButton_transport_clicked()
{
    sendPlaybackCmd(ExtendProtocol::RunForwarding, ExtendProtocol::RunStart, 0);
}

void Extend518::on_pushButton_stoptp_clicked()
{
    if (inMode(SystemState::Playback))
        sendPlaybackCmd(ExtendProtocol::RunPlayback, ExtendProtocol::RunStop, 0);
    else if (inMode(SystemState::Forwarding))
        sendPlaybackCmd(ExtendProtocol::RunForwarding, ExtendProtocol::RunStop, 0);
}

void Extend518::on_pushButton_delete_clicked()
{
    // One run at a time: a second press meanwhile is not a second run.
    if (m_link.isDeleting())
        return;
    if (!inMode(SystemState::Idle)) {
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
        const int answer =
            showBox(Box::Question, tr("删除确认"), tr("是否确认删除选中的 %1 条记录？").arg(names.size()));
        if (answer != QMessageBox::Yes)
            return;
    } else {
        const QModelIndex current = ui->tableView->currentIndex();
        if (!current.isValid()) {
            showBox(Box::Warning, tr("无效"), tr("未选择需要删除的记录"));
            return;
        }
        names << m_model->index(current.row(), 0).data(Qt::UserRole + 1).toUInt();
        // One record is a measurement as much as several: a stray click must not delete it.
        if (showBox(Box::Question, tr("删除确认"), tr("是否确认删除记录 %1？").arg(names.first())) != QMessageBox::Yes)
            return;
    }

    m_link.deleteRecords(names);
}

void Extend518::on_pushButton_delete_2_clicked()
{
    if (!inMode(SystemState::Idle)) {
        refusedNotIdle();
        return;
    }
    // The settings page's question before the same act, in its words.
    bool listed = false;
    const int count = ui->label_recordcount->text().toInt(&listed);
    if (showBox(Box::Question, QCoreApplication::translate("SystemSet2", "清空所有记录"),
                RecordText::clearAllQuestion(listed ? count : -1))
        != QMessageBox::Yes)
        return;
    sendFormat();
}

void Extend518::on_pushButton_clicked()
{
    if (!inMode(SystemState::Idle)) {
        refusedNotIdle();
        return;
    }
    const QString ip = ui->txt_IP->text();
    if (!isIpv4Text(ip)) {
        showBox(Box::Warning, tr("执行失败"), tr("IP不合法"));
        return;
    }
    if (ui->txt_NetMask->text().isEmpty())
        ui->txt_NetMask->setText(QStringLiteral("255.255.255.0"));
    if (ui->txt_Gateway->text().isEmpty())
        ui->txt_Gateway->setText(ip.left(ip.lastIndexOf(QLatin1Char('.')) + 1) + QLatin1Char('1'));
    const quint32 address = ipv4Value(ip);
    const quint32 mask = ipv4Value(ui->txt_NetMask->text());
    const quint32 gateway = ipv4Value(ui->txt_Gateway->text());
    qDebug().noquote() << ip << ui->txt_NetMask->text() << ui->txt_Gateway->text();
    sendSetIp(address, mask, gateway);
}

void Extend518::on_horizontalSlider_power_valueChanged(int value)
{
    ui->label_power_attenuation->setText(QStringLiteral("%1 dB").arg(value));
    sendSetPower(quint8(value));
}

void Extend518::on_pushButton_pulse_clicked()
{
    const quint16 wait = ui->lineEdit_pulse_time->text().toUShort();
    const quint16 count = ui->lineEdit_pulse_count->text().toUShort();
    sendGetPulse(quint8(wait & 0xFF), quint8(count & 0xFF));
}

void Extend518::on_pushButton_setpulse_clicked()
{
    sendSetPulse(ui->lineEdit_pulse_width->text().toULongLong(), ui->lineEdit_pulse_count->text().toUShort());
}

void Extend518::on_pushButton_devicecheck_clicked()
{
    sendDeviceCheck();
}
void Extend518::on_pushButton_volume_clicked()
{
    sendGetVolume();
}
void Extend518::on_pushButton_netcheck_clicked()
{
    sendGetStatus();
}
void Extend518::on_pushButton_getrecord_clicked()
{
    sendGetRecords();
}
void Extend518::on_pushButton_leapsecond_clicked()
{
    sendGetLeapSecond();
}
void Extend518::on_pushButton_eph_composite_clicked()
{
    sendGetEphComposite();
}
void Extend518::on_pushButton_eph_civil_clicked()
{
    sendGetEphCivil();
}
void Extend518::on_pushButton_eph_military_clicked()
{
    sendGetEphMilitary();
}

void Extend518::on_pushButton_eph_civil_clean_clicked()
{
    m_civil.clear();
    ui->comboBox_civil->clear();
    ui->plainTextEdit_eph_civil->clear();
}

void Extend518::on_pushButton_eph_military_clean_clicked()
{
    m_military.clear();
    ui->comboBox_military->clear();
    ui->plainTextEdit_eph_military->clear();
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
    showSatellite(ui->comboBox_civil, m_civilMark, m_civil, ui->plainTextEdit_eph_civil, index);
}

void Extend518::on_comboBox_military_currentIndexChanged(int index)
{
    showSatellite(ui->comboBox_military, m_militaryMark, m_military, ui->plainTextEdit_eph_military, index);
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

void Extend518::showEphemerisSet(COST code, const ExtendProtocol::EphemerisSet& set)
{
    if (set.count > 63)
        return;
    saveSet(code, set);
    const bool civil = code == COST_GetEphCivil;
    QMap<qint8, QString>& map = civil ? m_civil : m_military;
    for (const ExtendProtocol::EphemerisRecord& r : set.records)
        map.insert(r.satellite, civil ? ExtendReplyText::b3iRecord(r.bytes) : ExtendReplyText::b3aRecord(r.bytes));
    if (civil) {
        fillSatellites(ui->comboBox_civil, m_civilMark, m_civil);
        on_comboBox_civil_currentIndexChanged(0);
    } else {
        fillSatellites(ui->comboBox_military, m_militaryMark, m_military);
        on_comboBox_military_currentIndexChanged(0);
    }
}

void Extend518::showPlayback(const ExtendProtocol::RunReply& reply)
{
    if (reply.kind == ExtendProtocol::RunPlayback) {
        if (reply.result == ExtendProtocol::RunStart) {
            setMode(SystemState::Playback);
            setStatePlayback();
            showBox(Box::Information, tr("提示"), tr("启动回放成功，记录名:%1").arg(reply.name));
        } else if (reply.result == ExtendProtocol::RunStop) {
            setMode(SystemState::Idle);
            setStateIdle();
            showBox(Box::Information, tr("提示"), tr("停止回放成功"));
        } else {
            showBox(Box::Critical, tr("回放错误"), tr("未知的回放响应结果"));
        }
    } else if (reply.kind == ExtendProtocol::RunForwarding) {
        if (reply.result == ExtendProtocol::RunStart) {
            setMode(SystemState::Forwarding);
            setStateForwarding();
            showBox(Box::Information, tr("提示"), tr("启动转发成功"));
        } else if (reply.result == ExtendProtocol::RunStop) {
            setMode(SystemState::Idle);
            setStateIdle();
            showBox(Box::Information, tr("提示"), tr("停止转发成功"));
        } else {
            showBox(Box::Critical, tr("转发错误"), tr("未知的转发响应结果"));
        }
    } else {
        showBox(Box::Critical, tr("转发回放错误"), tr("未知的设备模式"));
    }
}

void Extend518::showRecord(const ExtendProtocol::RecordReply& reply)
{
    if (reply.result == ExtendProtocol::RunStart) {
        setMode(SystemState::Collecting);
        setStateCollecting();
        showBox(Box::Information, tr("提示"), tr("启动采集成功，记录名:%1").arg(reply.name));
    } else if (reply.result == ExtendProtocol::RunStop) {
        setMode(SystemState::Idle);
        setStateIdle();
        showBox(Box::Information, tr("提示"), tr("停止采集成功"));
        m_link.refreshRecords();
    } else {
        showBox(Box::Critical, tr("采集错误"), tr("未知的采集响应结果"));
    }
}

void Extend518::showRecordList(const ExtendProtocol::RecordList& list)
{
    m_model->removeRows(0, m_model->rowCount());
    ui->label_recordcount->setText(QString::number(list.count));
    for (quint32 name : list.names) {
        auto* first = new QStandardItem(QString::number(name));
        first->setData(name, Qt::UserRole + 1);
        first->setCheckable(true);
        first->setData(0, Qt::CheckStateRole);
        first->setEditable(false);
        auto* second = new QStandardItem(ExtendReplyText::recordTime(name));
        second->setEditable(false);
        m_model->appendRow({first, second});
    }
}

void Extend518::showState(const QByteArray& data)
{
    m_deviceMode = ExtendProtocol::deviceMode(data);
    switch (SystemState(m_deviceMode)) {
    case SystemState::Idle:
        setStateIdle();
        break;
    case SystemState::Collecting:
        setStateCollecting();
        break;
    case SystemState::Playback:
        setStatePlayback();
        break;
    case SystemState::Forwarding:
        setStateForwarding();
        break;
    default:
        break;
    }
}

void Extend518::HandleCmdResult(COST cmd, QByteArray data)
{
    m_link.answer(cmd, data);
}

void Extend518::showReply(COST cmd, const QByteArray& data)
{
    switch (cmd) {
    case COST_GetStatus:
        showState(data);
        break;
    case COST_GetRecords:
        showRecordList(ExtendProtocol::recordList(data));
        break;
    case COST_Playback:
        showPlayback(ExtendProtocol::playbackReply(data));
        break;
    case COST_Record:
        showRecord(ExtendProtocol::recordReply(data));
        break;
    case COST_GetVolume: {
        const ExtendProtocol::Capacity c = ExtendProtocol::capacity(data);
        ui->label_free->setText(ExtendReplyText::capacity(c.freeMegabytes));
        ui->label_total->setText(ExtendReplyText::capacity(c.totalMegabytes));
        break;
    }
    case COST_DeviceCheck:
        ui->label_check->setText(ExtendReplyText::selfCheck(ExtendProtocol::faultWord(data)));
        break;
    case COST_GetPulse: {
        const ExtendReplyText::TimingText t = ExtendReplyText::timing(ExtendProtocol::timing(data));
        ui->label_p_leap->setText(t.leap);
        ui->label_p_bdweek->setText(t.week);
        ui->label_p_bdsec->setText(t.secondOfWeek);
        ui->label_p_utc_date->setText(t.date);
        ui->label_p_utc_time->setText(t.time);
        ui->label_p_utc_day_sec->setText(t.timeOfDay);
        ui->label_p_utc_date_2->setText(t.date2);
        ui->label_p_utc_time_2->setText(t.time2);
        ui->label_p_utc_day_sec_2->setText(t.timeOfDay2);
        break;
    }
    case COST_GetLeapSecond: {
        qDebug() << "跳秒数据";
        const ExtendReplyText::LeapSecondText l = ExtendReplyText::leapSecond(ExtendProtocol::leapSecond(data));
        ui->label_l_current->setText(l.current);
        ui->label_l_next->setText(l.next);
        ui->label_l_utc_date->setText(l.date);
        ui->label_l_sec->setText(l.timeOfDay);
        break;
    }
    case COST_GetEphComposite:
        saveComposite(data);
        ui->plainTextEdit_eph_composite->setPlainText(ExtendReplyText::composite(data));
        break;
    case COST_GetEphCivil:
    case COST_GetEphMilitary:
        showEphemerisSet(cmd, ExtendProtocol::ephemerisSet(cmd, data));
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

void Extend518::saveSet(COST code, const ExtendProtocol::EphemerisSet& set)
{
    const bool civil = code == COST_GetEphCivil;
    if (!(civil ? m_saveCivil : m_saveMilitary))
        return;
    int& remembered = civil ? m_civilCount : m_militaryCount;
    const QDir dir(ephemerisDir());
    if (!dir.exists())
        QDir().mkpath(dir.path());
    QFile file(dir.absoluteFilePath(QLatin1String(civil ? kCivilFile : kMilitaryFile)));
    const int c = qint8(set.count);
    // The first reply of a set starts the file; the others of the same set add a block each.
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append;
    if (remembered == 0 || remembered != c) {
        remembered = c;
        mode = QIODevice::WriteOnly | QIODevice::Truncate;
    }
    if (!file.open(mode))
        return;
    // The block as received: the count byte, then the whole records.
    QByteArray block(1, char(set.count));
    for (const ExtendProtocol::EphemerisRecord& r : set.records)
        block += r.bytes;
    file.write(block);
}

void Extend518::exportFile(const QString& fileName, const QString& title, const QString& caption,
                           QString (*build)(const QByteArray&))
{
    const QString path = AppPaths::applicationDir() + QStringLiteral("/../Ephemeris/") + fileName;
    if (!QFile::exists(path)) {
        showBox(Box::Critical, title, tr("无原始星历数据失败，导出失败"));
        return;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        showBox(Box::Critical, title, tr("打开文件失败，导出失败"));
        return;
    }
    const QByteArray raw = in.readAll();
    in.close();
    // A composite file too short for its block holds no usable data.
    if (build == &ExtendEphemerisExport::compositeText && raw.size() < ExtendEphemerisExport::kCompositeSize) {
        showBox(Box::Critical, title, tr("无原始星历数据失败，导出失败"));
        return;
    }
    const QString text = build(raw);
    const QString start = AppPaths::applicationDir() + QStringLiteral("/../Ephemeris/");
    const QString target = DialogSeam::saveFileName(this, caption, start);
    QFile out(target);
    if (target.isEmpty() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        showBox(Box::Critical, title, tr("保存文件失败，导出失败"));
        return;
    }
    out.write(text.toLocal8Bit());
}

void Extend518::on_pushButton_eph_composite_trans_clicked()
{
    exportFile(QLatin1String(kCompositeFile), tr("导出失败(综合星历)"), tr("选择转换后文件输出位置(综合星历)"),
               &ExtendEphemerisExport::compositeText);
}

void Extend518::on_pushButton_eph_civil_trans_clicked()
{
    exportFile(QLatin1String(kCivilFile), tr("导出失败(B3I)"), tr("选择转换后文件输出位置(B3I)"),
               &ExtendEphemerisExport::b3iText);
}

void Extend518::on_plainTextEdit_eph_military_trans_clicked()
{
    exportFile(QLatin1String(kMilitaryFile), tr("导出失败(B3A)"), tr("选择转换后文件输出位置(B3A)"),
               &ExtendEphemerisExport::b3aText);
}
