#include "DeviceAbout.h"

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
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

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

QLabel* valueLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
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
        QString soft = tr("软件版本:VA.%1.%2.%3")
                           .arg(quint8(b.SoftMajor))
                           .arg(quint8(b.SoftMinor))
                           .arg(two(quint16(b.SoftBuild)));
        QString fpga = QStringLiteral("FPGA:VA.%1.%2.%3")
                           .arg(quint8(b.FpgaMajor), 0, 16)
                           .arg(quint8(b.FpgaMinor), 0, 16)
                           .arg(two(quint16(b.FpgaBuild), 16));
        if (full) {
            soft += QStringLiteral(".%1").arg(quint32(b.SoftRevision));
            fpga += QStringLiteral(".%1").arg(quint32(b.FpgaRevision), 0, 16);
        }
        text += tr("[采集卡 %1]").arg(number) + QStringLiteral("\r\n")
                + tr("硬件版本:V%1.%2").arg(hw & 0xFFFF, 0, 16).arg(hw >> 16, 0, 16) + QStringLiteral("\r\n")
                + soft + QStringLiteral("\r\n") + fpga + QStringLiteral("\r\n\r\n");
    }
    return text;
}

DeviceAbout::DeviceAbout(QWidget* parent)
    : QWidget(parent)
{
    setupForm();
    m_log = new SystemLog(nullptr);
    gridLayout_runlog->addWidget(m_log);
    // Its constructor makes the system's first connection.
    m_systemSet = new SystemSet2(nullptr);
    gridLayout_systemset2->addWidget(m_systemSet);

    connect(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceInfo, this,
            &DeviceAbout::slot_update_device_info);

    const QString buildDate = GetBuildVersion();
    m_fullVersion = ConfigSetting::instance()->GetInit(QString(), QStringLiteral("showFullVersion")).toBool();
    qDebug() << "showFullVersion" << (m_fullVersion ? "true" : "false");
    label_Pc_Version->setText(pcVersionText(buildDate, m_fullVersion));

    auto* drop = new SimpleDropEvent(lineEdit_update_file, this, [](QObject* owner, const QStringList& paths) {
        if (!paths.isEmpty())
            static_cast<DeviceAbout*>(owner)->CheckUpdateFile(paths.first());
    });
    lineEdit_update_file->setAcceptDrops(true);
    lineEdit_update_file->installEventFilter(drop);
    auto* mouse = new SimpleMouseEvent(this, [](QObject* owner, const QMouseEvent& event) {
        static_cast<DeviceAbout*>(owner)->QueryServerPluginVersion(event);
    });
    mouse->setParent(label_controlver);
    label_controlver->installEventFilter(mouse);

    UpdateTransport* update = UpdateTransport::instance();
    connect(update, &UpdateTransport::ftpTransportResult, this, &DeviceAbout::UpdateTransportResult);
    connect(update, &UpdateTransport::ftpTransportProgress, this, &DeviceAbout::UpdateTransportProgress);

    groupBox_update->setEnabled(false);
    groupBox_update->hide();
}

DeviceAbout::~DeviceAbout() = default;

void DeviceAbout::setupForm()
{
    setObjectName(QStringLiteral("DeviceAbout"));
    setWindowTitle(tr("系统设置"));
    auto* grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("gridLayout"));

    auto* left = new QVBoxLayout;
    left->addWidget(buildAboutGroup());
    left->addWidget(buildUpdateGroup());
    auto* logGroup = new QGroupBox(tr("系统日志"), this);
    logGroup->setObjectName(QStringLiteral("groupBox_4"));
    gridLayout_runlog = new QGridLayout(logGroup);
    gridLayout_runlog->setObjectName(QStringLiteral("gridLayout_runlog"));
    left->addWidget(logGroup, 1);
    grid->addLayout(left, 0, 0);

    auto* setGroup = new QGroupBox(tr("系统设置"), this);
    setGroup->setObjectName(QStringLiteral("groupBox_3"));
    gridLayout_systemset2 = new QGridLayout(setGroup);
    gridLayout_systemset2->setObjectName(QStringLiteral("gridLayout_systemset2"));
    grid->addWidget(setGroup, 0, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    QMetaObject::connectSlotsByName(this);
}

QGroupBox* DeviceAbout::buildAboutGroup()
{
    auto* group = new QGroupBox(tr("关于"), this);
    group->setObjectName(QStringLiteral("groupBox_2"));
    auto* grid = new QGridLayout(group);
    const QString none = QStringLiteral("——");
    grid->addWidget(new QLabel(tr("SN  编  号："), group), 0, 0);
    label_DeviceSN = valueLabel(QStringLiteral("label_DeviceSN"), none, group);
    grid->addWidget(label_DeviceSN, 0, 1);
    label_controlver = new QLabel(tr("控制卡版本："), group);
    label_controlver->setObjectName(QStringLiteral("label_controlver"));
    grid->addWidget(label_controlver, 1, 0);
    label_Soft_Version = valueLabel(QStringLiteral("label_Soft_Version"), none, group);
    grid->addWidget(label_Soft_Version, 1, 1);
    grid->addWidget(new QLabel(tr("通   道   数："), group), 2, 0);
    label_BoardCount = valueLabel(QStringLiteral("label_BoardCount"), none, group);
    grid->addWidget(label_BoardCount, 2, 1);
    grid->addWidget(new QLabel(tr("采集卡版本："), group), 3, 0);
    pushButton_showHardVer = new QPushButton(tr("点击显示"), group);
    pushButton_showHardVer->setObjectName(QStringLiteral("pushButton_showHardVer"));
    grid->addWidget(pushButton_showHardVer, 3, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(tr("上位机版本："), group), 4, 0);
    label_Pc_Version = valueLabel(QStringLiteral("label_Pc_Version"), none, group);
    grid->addWidget(label_Pc_Version, 4, 1);
    grid->setColumnStretch(1, 1);
    return group;
}

QGroupBox* DeviceAbout::buildUpdateGroup()
{
    groupBox_update = new QGroupBox(tr("更新"), this);
    groupBox_update->setObjectName(QStringLiteral("groupBox_update"));
    auto* grid = new QGridLayout(groupBox_update);
    grid->addWidget(new QLabel(tr("选择更新zip包"), groupBox_update), 0, 0);
    lineEdit_update_file = new QLineEdit(groupBox_update);
    lineEdit_update_file->setObjectName(QStringLiteral("lineEdit_update_file"));
    lineEdit_update_file->setReadOnly(true);
    lineEdit_update_file->setPlaceholderText(tr("(拖动或浏览选择文件)"));
    grid->addWidget(lineEdit_update_file, 0, 1);
    pushButton_update_browser_file = new QPushButton(tr("浏览文件"), groupBox_update);
    pushButton_update_browser_file->setObjectName(QStringLiteral("pushButton_update_browser_file"));
    grid->addWidget(pushButton_update_browser_file, 0, 2);
    grid->addWidget(new QLabel(tr("类型"), groupBox_update), 1, 0);
    label_updatetype = valueLabel(QStringLiteral("label_updatetype"), tr("未选择"), groupBox_update);
    grid->addWidget(label_updatetype, 1, 1);
    grid->addWidget(new QLabel(tr("上传进度"), groupBox_update), 2, 0);
    progressBar = new QProgressBar(groupBox_update);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setValue(0);
    grid->addWidget(progressBar, 2, 1);
    pushButton_update = new QPushButton(tr("发送更新"), groupBox_update);
    pushButton_update->setObjectName(QStringLiteral("pushButton_update"));
    pushButton_update->setEnabled(false);
    grid->addWidget(pushButton_update, 2, 2);
    return groupBox_update;
}

void DeviceAbout::slot_update_device_info(DeviceInfo device_info)
{
    const DeviceInfo last = ProtocolManager::instance()->deviceInfo();
    label_DeviceSN->setText(QString::fromLatin1(last.DeviceId, int(qstrnlen(last.DeviceId, sizeof last.DeviceId))));
    label_Soft_Version->setText(softwareVersionText(device_info, m_fullVersion));
    label_BoardCount->setText(QString::number(device_info.ChannelNum));
    m_cardVersions = cardVersionText(device_info, m_fullVersion);
}

void DeviceAbout::on_pushButton_showHardVer_clicked()
{
    MessageDialog::ShowMessage(tr("硬件版本信息"), m_cardVersions, kInformation);
}

void DeviceAbout::QueryServerPluginVersion(const QMouseEvent& event)
{
    if (event.type() != QEvent::MouseButtonDblClick || event.button() != Qt::LeftButton)
        return;
    qDebug() << "查询服务端插件版本";
    ProtocolManager::instance()->GetServerPluginVersion();
}

void DeviceAbout::on_pushButton_update_browser_file_clicked()
{
    const QString name = QFileDialog::getOpenFileName(this, tr("选择一个更新ZIP包"), AppPaths::applicationDir(),
                                                      tr("ZIP压缩包(*.zip)"));
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
        lineEdit_update_file->clear();
        return;
    }
    lineEdit_update_file->setText(path);
    ShowUpdatePackageInfo();
}

void DeviceAbout::ShowUpdatePackageInfo()
{
    UpdateTransport* update = UpdateTransport::instance();
    if (!update->SetUpdateFile(lineEdit_update_file->text())) {
        warnInvalidPackage();
        pushButton_update->setEnabled(false);
        return;
    }
    const QString script = update->getHaveShell() ? QString() : tr("(无脚本)");
    switch (update->getFileType()) {
    case 1:
        label_updatetype->setText(tr("控制卡更新包%1").arg(script));
        break;
    case 2:
        label_updatetype->setText(tr("前面板更新包%1").arg(script));
        break;
    case 3:
        label_updatetype->setText(tr("采集卡更新包%1").arg(script));
        break;
    default:
        break;
    }
    pushButton_update->setEnabled(true);
}

void DeviceAbout::on_pushButton_update_clicked()
{
    if (!QFileInfo(lineEdit_update_file->text()).isFile()) {
        MessageDialog::ShowMessage(tr("无效的更新包"), tr("打开更新ZIP包失败"), kError);
        return;
    }
    if (!UpdateTransport::instance()->UploadUpdateFile()) {
        MessageDialog::ShowMessage(tr("上传结果"), tr("发送更新包失败"), kError);
        return;
    }
    // One upload at a time: the button comes back with the result.
    pushButton_update->setEnabled(false);
}

void DeviceAbout::UpdateTransportProgress(qint64 bytesSent, qint64 bytesTotal)
{
    if (bytesTotal <= 0)
        return;
    progressBar->setValue(int(bytesSent * 100 / bytesTotal));
}

void DeviceAbout::UpdateTransportResult(bool ret)
{
    pushButton_update->setEnabled(true);
    if (ret)
        MessageDialog::ShowMessage(tr("上传结果"), tr("发送更新包成功，等待设备更新"), kInformation);
    else
        MessageDialog::ShowMessage(tr("上传结果"), tr("发送更新包失败"), kError);
}
