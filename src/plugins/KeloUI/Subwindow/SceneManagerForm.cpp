#include "SceneManagerForm.h"
#include "ui_SceneManagerForm.h"

#include "CollectSet.h"

#include <DialogSeam.h>
#include <FolderOpener.h>
#include <StandardMessageBox.h>

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>

#include <QDebug>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QSettings>
#include <QShowEvent>

namespace {
const QString kSuffix = QStringLiteral("ini");

quint32 readUInt(const QSettings& s, const QString& key)
{
    // A missing key or a text that is no number reads as 0.
    return s.value(key).toString().toUInt();
}

QLabel* label(const QString& text, const QString& name, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}
} // namespace

SceneManagerForm::SceneManagerForm(CollectSet* collectSet, QWidget* parent)
    : QWidget(parent)
    , m_collect(collectSet)
    , ui(new Ui::SceneManagerForm)
{
    ui->setupUi(this);
    m_transportMode = ConfigSetting::instance()->GetInit(ConfigKey::TransportMode).toUInt();
    connect(ProtocolManager::instance(), &ProtocolManager::GetDeviceSettingsFinished, this, &SceneManagerForm::initUI);
    m_folder = QDir(QDir(AppPaths::applicationDir() + QStringLiteral("/../TransScene")).absolutePath());
    if (!m_folder.exists())
        m_folder.mkpath(m_folder.absolutePath());
    initUI();
}

SceneManagerForm::~SceneManagerForm()
{
    delete ui;
}

void SceneManagerForm::initUI()
{
    const int channels = ProtocolManager::instance()->deviceInfo().ChannelNum;
    if (channels == 0)
        return;
    ui->label_savePath->setText(m_folder.absolutePath());
    // Rows once per channel count reached: a second run only adds what is missing.
    QLabel* previous = findChild<QLabel*>(QStringLiteral("label_show_freq_1"));
    for (int i = 2; i <= channels; ++i) {
        auto* existing = findChild<QLabel*>(QStringLiteral("label_show_freq_%1").arg(i));
        if (existing) {
            previous = existing;
            continue;
        }
        int row = 0;
        QFormLayout::ItemRole role;
        ui->formLayout->getWidgetPosition(previous, &row, &role);
        QWidget* box = ui->formLayout->parentWidget();
        auto* value = label(QStringLiteral("--"), QStringLiteral("label_show_freq_%1").arg(i), box);
        ui->formLayout->insertRow(row + 1, label(tr("频段%1：").arg(i), QStringLiteral("label_freq_%1").arg(i), box),
                                  value);
        previous = value;
    }
    m_channels = qMax(m_channels, channels);
    m_initialised = true;
    readCurrentConfig();
    updateShowInfo();
}

void SceneManagerForm::readCurrentConfig()
{
    if (m_collect)
        m_collect->getSceneConfig(&m_current.bands, &m_current.bit, &m_current.atten);
    ProtocolManager* protocol = ProtocolManager::instance();
    m_current.delay = quint32(protocol->GetTranspondDelay(false));
    m_current.doppler = protocol->GetDopplerValue(false);
}

void SceneManagerForm::updateShowInfo()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    for (int i = 1; i <= m_channels; ++i) {
        auto* shown = findChild<QLabel*>(QStringLiteral("label_show_freq_%1").arg(i));
        if (!shown)
            continue;
        if (i <= m_current.bands.size()) {
            const quint32 band = m_current.bands.at(i - 1);
            shown->setText(protocol->freqBands.contains(band) ? protocol->freqBands.value(band).name
                                                              : QString::number(band));
        } else {
            shown->setText(QStringLiteral("--"));
        }
    }
    const uchar bit = uchar(m_current.bit);
    ui->label_show_bit->setText(m_current.bit >= 0 && m_current.bit < 256 && protocol->bitNames.contains(bit)
                                    ? protocol->bitNames.value(bit)
                                    : QString::number(m_current.bit) + QStringLiteral(" bit"));
    ui->label_show_atten->setText(QString::number(m_current.atten) + QStringLiteral(" dB"));
    double v = m_current.delay;
    if (m_transportMode == 1)
        v = m_current.delay * 100.0 / 6.0;
    QString unit = QStringLiteral("ns");
    if (v >= 1000) {
        v /= 1000;
        unit = QStringLiteral("μs");
        if (v >= 1000) {
            v /= 1000;
            unit = QStringLiteral("ms");
        }
    }
    ui->label_show_delay->setText(QStringLiteral("%1 %2").arg(QString::number(v, 'f', 2), unit));
    // The file keeps the Doppler shift's 32 bits unsigned; the shift itself is signed.
    ui->label_show_dpl->setText(QString::number(qint32(m_current.doppler)) + QStringLiteral(" Hz"));
    if (m_scenePath.isEmpty()) {
        ui->label_show_file->setText(tr("(无)"));
    } else if (m_current == m_reference) {
        ui->label_show_file->setText(m_scenePath);
    } else {
        ui->label_show_file->setText(tr("(已修改，需重新读取)") + m_scenePath);
        m_scenePath.clear();
    }
}

void SceneManagerForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_initialised)
        return;
    if (!m_scenePath.isEmpty())
        m_reference = m_current;
    readCurrentConfig();
    updateShowInfo();
}

void SceneManagerForm::on_pushButton_clicked()
{
    FolderOpener::open(this, m_folder.absolutePath());
}

QString SceneManagerForm::startLocation() const
{
    return m_scenePath.isEmpty() ? m_folder.absolutePath() : m_scenePath;
}

QString SceneManagerForm::filter()
{
    return tr("配置文件(*.ini);;");
}

void SceneManagerForm::message(bool critical, const QString& title, const QString& text)
{
    // Through the common message queue, so the main window dims behind it as behind any other.
    StandardMessageBox::tell(this, critical ? QMessageBox::Critical : QMessageBox::Information, title, text);
}

void SceneManagerForm::on_pushButton_read_clicked()
{
    const QString path = DialogSeam::openFileName(this, tr("选择要读取的场景配置文件"), startLocation(), filter());
    if (path.isEmpty())
        return;
    QSettings file(path, QSettings::IniFormat);
    Values read;
    // The count comes from the file; no more bands are read than any page could hold.
    const quint32 count = qMin<quint32>(readUInt(file, QStringLiteral("Freq/Count")), kMaxBands);
    for (quint32 i = 1; i <= count; ++i)
        read.bands << readUInt(file, QStringLiteral("Freq/Freq%1").arg(i));
    read.bit = int(readUInt(file, QStringLiteral("Bit/value")));
    read.delay = readUInt(file, QStringLiteral("Trans/delay"));
    read.doppler = readUInt(file, QStringLiteral("Trans/doppler"));
    read.atten = int(readUInt(file, QStringLiteral("Attenuation/value")));
    if (read.bit == 0 || read.bands.isEmpty()) {
        message(true, tr("读取失败"), tr("文件信息有误"));
        return;
    }
    m_current = read;
    // One write of the device configuration is open at a time: the Doppler shift follows once the
    // delay's has ended.
    const quint32 doppler = read.doppler;
    ProtocolManager::instance()->SetTranspondDelay(int(read.delay), ReplyOwner(this, [doppler](const ReplyNotice& n) {
                                                       if (n.outcome != ReplyOutcome::TimedOut
                                                           && n.outcome != ReplyOutcome::Cut)
                                                           ProtocolManager::instance()->SetDopplerValue(doppler);
                                                   }));
    if (m_collect)
        m_collect->applySceneConfig(read.bands, read.bit, read.atten);
    m_scenePath = path;
    m_reference = m_current;
    updateShowInfo();
}

void SceneManagerForm::on_pushButton_save_clicked()
{
    QString path = DialogSeam::saveFileName(this, tr("选择保存场景配置路径"), startLocation(), filter());
    if (path.isEmpty())
        return;
    // The dialog offers "*.ini" but does not add it everywhere; loading lists scenes by it.
    if (QFileInfo(path).suffix().compare(kSuffix, Qt::CaseInsensitive) != 0) {
        path += QLatin1Char('.') + kSuffix;
        // The dialog asked about the name as typed, not about the scene this name now covers.
        if (QFileInfo::exists(path)
            && StandardMessageBox::ask(this, QMessageBox::Question, tr("保存场景"),
                                       tr("%1 已存在，是否覆盖?").arg(QDir::toNativeSeparators(path)),
                                       {QMessageBox::Yes, QMessageBox::No}, 1, 1)
                   != 0)
            return;
    }
    qDebug() << Q_FUNC_INFO << path;
    bool saved = false;
    {
        QSettings file(path, QSettings::IniFormat);
        file.setValue(QStringLiteral("Freq/Count"), m_current.bands.size());
        for (int i = 0; i < m_current.bands.size(); ++i)
            file.setValue(QStringLiteral("Freq/Freq%1").arg(i + 1), m_current.bands.at(i));
        file.setValue(QStringLiteral("Bit/value"), m_current.bit);
        file.setValue(QStringLiteral("Trans/delay"), m_current.delay);
        file.setValue(QStringLiteral("Trans/doppler"), m_current.doppler);
        file.setValue(QStringLiteral("Attenuation/value"), m_current.atten);
        file.sync();
        // A file that exists may still hold the old scene: only the status tells a failed write.
        saved = file.status() == QSettings::NoError;
    }
    if (saved && QFileInfo::exists(path)) {
        m_scenePath = path;
        m_reference = m_current;
        updateShowInfo();
        message(false, tr("保存成功"), path);
    } else {
        message(true, tr("保存失败"), tr("请检查是否有权限"));
    }
}
