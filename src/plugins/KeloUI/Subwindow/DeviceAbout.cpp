#include "DeviceAbout.h"
#include "ui_DeviceAbout.h"

#include "DialogSeam.h"
#include "MessageDialog.h"
#include "SimpleDropEvent.h"
#include "SimpleMouseEvent.h"
#include "SystemLog.h"
#include "SystemSet2.h"

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <UpdateTransport.h>

#include <QDebug>
#include <QFileInfo>
#include <QLocale>
#include <QMouseEvent>

namespace {
constexpr int kError = int(MessageDialog::MessageType::Error);
constexpr int kWarning = int(MessageDialog::MessageType::Warning);
constexpr int kInformation = int(MessageDialog::MessageType::Information);

bool isZipPath(const QString& path)
{
    return !path.isEmpty() && path.toLower().endsWith(QLatin1String(".zip")) && QFileInfo(path).isFile();
}

QString two(quint32 v, int base = 10)
{
    return QStringLiteral("%1").arg(v, 2, base, QLatin1Char('0'));
}
} // namespace

QDate DeviceAbout::parseBuildDate(const char* compilerDate)
{
    QString text = QString::fromLatin1(compilerDate);
    // A day below 10 comes padded with a blank ("Aug  1 2025").
    text.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    return QLocale(QLocale::English).toDate(text, QStringLiteral("MMM dd yyyy"));
}

QString DeviceAbout::GetBuildVersion()
{
    static const QString version = parseBuildDate(__DATE__).toString(QStringLiteral("yyyyMMdd"));
    return version;
}

QDateTime DeviceAbout::GetBuildDateTime()
{
    QString text = QString::fromLatin1(__DATE__);
    text.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    text += QString::fromLatin1(__TIME__);
    return QLocale(QLocale::English).toDateTime(text, QStringLiteral("MMM dd yyyyhh:mm:ss"));
}

QString DeviceAbout::softwareVersionText(const DeviceInfo& info, bool full)
{
    const QString base = QStringLiteral("VA.%1.%2.%3")
                             .arg(quint8(info.SoftMajor))
                             .arg(quint8(info.SoftMinor))
                             .arg(two(quint16(info.SoftBuild)));
    return full ? base + QStringLiteral(".%1").arg(quint32(info.SoftRevision)) : base;
}

QString DeviceAbout::pcVersionText(const QString& buildDate, bool full)
{
    const QString base = QStringLiteral("VB.%1.%2.%3").arg(1).arg(2).arg(two(11));
    return full ? base + QLatin1Char('.') + buildDate : base;
}

QString DeviceAbout::cardVersionText(const DeviceInfo& info, bool full)
{
    QString text;
    int number = 0;
    for (const DeviceBoardInfo& b : info.Boards) {
        ++number;
        const quint32 hw = quint32(b.HardwareVersion);
        QString soft =
            tr("软件版本:VA.%1.%2.%3").arg(quint8(b.SoftMajor)).arg(quint8(b.SoftMinor)).arg(two(quint16(b.SoftBuild)));
        QString fpga = QStringLiteral("FPGA:VA.%1.%2.%3")
                           .arg(quint8(b.FpgaMajor), 0, 16)
                           .arg(quint8(b.FpgaMinor), 0, 16)
                           .arg(two(quint16(b.FpgaBuild), 16));
        if (full) {
            soft += QStringLiteral(".%1").arg(quint32(b.SoftRevision));
            fpga += QStringLiteral(".%1").arg(quint32(b.FpgaRevision), 0, 16);
        }
        text += tr("[采集卡 %1]").arg(number) + QStringLiteral("\r\n")
              + tr("硬件版本:V%1.%2").arg(hw & 0xFFFF, 0, 16).arg(hw >> 16, 0, 16) + QStringLiteral("\r\n") + soft
              + QStringLiteral("\r\n") + fpga + QStringLiteral("\r\n\r\n");
    }
    return text;
}

DeviceAbout::DeviceAbout(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::DeviceAbout)
{
    ui->setupUi(this);
    m_log = new SystemLog(nullptr);
    ui->gridLayout_runlog->addWidget(m_log);
    // Its constructor makes the system's first connection.
    m_systemSet = new SystemSet2(nullptr);
    ui->gridLayout_systemset2->addWidget(m_systemSet);

    connect(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceInfo, this,
            &DeviceAbout::slot_update_device_info);

    const QString buildDate = GetBuildVersion();
    m_fullVersion = ConfigSetting::instance()->GetInit(ConfigKey::ShowFullVersion).toBool();
    qDebug() << "showFullVersion" << (m_fullVersion ? "true" : "false");
    ui->label_Pc_Version->setText(pcVersionText(buildDate, m_fullVersion));

    auto* drop = new SimpleDropEvent(ui->lineEdit_update_file, this, [](QObject* owner, const QStringList& paths) {
        if (!paths.isEmpty())
            static_cast<DeviceAbout*>(owner)->CheckUpdateFile(paths.first());
    });
    ui->lineEdit_update_file->setAcceptDrops(true);
    ui->lineEdit_update_file->installEventFilter(drop);
    auto* mouse = new SimpleMouseEvent(this, [](QObject* owner, const QMouseEvent& event) {
        static_cast<DeviceAbout*>(owner)->QueryServerPluginVersion(event);
    });
    mouse->setParent(ui->label_controlver);
    ui->label_controlver->installEventFilter(mouse);

    UpdateTransport* update = UpdateTransport::instance();
    connect(update, &UpdateTransport::ftpTransportResult, this, &DeviceAbout::UpdateTransportResult);
    connect(update, &UpdateTransport::ftpTransportProgress, this, &DeviceAbout::UpdateTransportProgress);

    ui->groupBox_update->hide();
}

DeviceAbout::~DeviceAbout()
{
    delete ui;
}

void DeviceAbout::slot_update_device_info(DeviceInfo device_info)
{
    const DeviceInfo last = ProtocolManager::instance()->deviceInfo();
    ui->label_DeviceSN->setText(QString::fromLatin1(last.DeviceId, int(qstrnlen(last.DeviceId, sizeof last.DeviceId))));
    ui->label_Soft_Version->setText(softwareVersionText(device_info, m_fullVersion));
    ui->label_BoardCount->setText(QString::number(device_info.ChannelNum));
    m_cardVersions = cardVersionText(device_info, m_fullVersion);
}

void DeviceAbout::on_pushButton_showHardVer_clicked()
{
    // Nothing reported yet: say why rather than show an empty box.
    QString text = m_cardVersions;
    if (text.isEmpty())
        text = ProtocolManager::instance()->isConnected() ? tr("设备尚未上报采集卡版本")
                                                          : tr("设备未连接，尚无采集卡版本信息");
    // The blank line after the last card would only add an empty band above the button.
    MessageDialog::ShowMessage(tr("硬件版本信息"), text.trimmed(), kInformation);
}

void DeviceAbout::QueryServerPluginVersion(const QMouseEvent& event)
{
    if (event.type() != QEvent::MouseButtonDblClick || event.button() != Qt::LeftButton)
        return;
    // Offline the request would go nowhere: say so rather than do nothing.
    if (!ProtocolManager::instance()->isConnected()) {
        MessageDialog::ShowMessage(tr("插件版本"), tr("设备未连接，无法查询插件版本"), kWarning);
        return;
    }
    qDebug() << "查询服务端插件版本";
    ProtocolManager::instance()->GetServerPluginVersion();
}

void DeviceAbout::on_pushButton_update_browser_file_clicked()
{
    const QString name =
        DialogSeam::openFileName(this, tr("选择一个更新ZIP包"), AppPaths::applicationDir(), tr("ZIP压缩包(*.zip)"));
    if (isZipPath(name))
        CheckUpdateFile(name);
}

void DeviceAbout::warnInvalidPackage()
{
    MessageDialog::ShowMessage(tr("无效的更新包"), tr("请选择正确ZIP格式的更新包"), kWarning);
}

void DeviceAbout::CheckUpdateFile(QString path)
{
    if (!isZipPath(path)) {
        warnInvalidPackage();
        ui->lineEdit_update_file->clear();
        return;
    }
    ui->lineEdit_update_file->setText(path);
    ShowUpdatePackageInfo();
}

void DeviceAbout::ShowUpdatePackageInfo()
{
    UpdateTransport* update = UpdateTransport::instance();
    if (!update->SetUpdateFile(ui->lineEdit_update_file->text())) {
        warnInvalidPackage();
        ui->pushButton_update->setEnabled(false);
        return;
    }
    const QString script = update->getHaveShell() ? QString() : tr("(无脚本)");
    switch (update->getFileType()) {
    case 1:
        ui->label_updatetype->setText(tr("控制卡更新包%1").arg(script));
        break;
    case 2:
        ui->label_updatetype->setText(tr("前面板更新包%1").arg(script));
        break;
    case 3:
        ui->label_updatetype->setText(tr("采集卡更新包%1").arg(script));
        break;
    default:
        break;
    }
    ui->pushButton_update->setEnabled(true);
}

void DeviceAbout::on_pushButton_update_clicked()
{
    if (!QFileInfo(ui->lineEdit_update_file->text()).isFile()) {
        MessageDialog::ShowMessage(tr("无效的更新包"), tr("打开更新ZIP包失败"), kError);
        return;
    }
    if (!UpdateTransport::instance()->UploadUpdateFile()) {
        MessageDialog::ShowMessage(tr("上传结果"), tr("发送更新包失败"), kError);
        return;
    }
    // One upload at a time: the button comes back with the result.
    ui->pushButton_update->setEnabled(false);
}

void DeviceAbout::UpdateTransportProgress(qint64 bytesSent, qint64 bytesTotal)
{
    if (bytesTotal <= 0)
        return;
    ui->progressBar->setValue(int(bytesSent * 100 / bytesTotal));
}

void DeviceAbout::UpdateTransportResult(bool ret)
{
    ui->pushButton_update->setEnabled(true);
    if (ret)
        MessageDialog::ShowMessage(tr("上传结果"), tr("发送更新包成功，等待设备更新"), kInformation);
    else
        MessageDialog::ShowMessage(tr("上传结果"), tr("发送更新包失败"), kError);
}
