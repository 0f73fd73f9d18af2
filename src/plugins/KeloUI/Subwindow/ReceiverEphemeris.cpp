#include "ReceiverEphemeris.h"

#include "ui_ReceiverEphemeris.h"

#include "PanelFit.h"
#include "SkyvaneManager.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QScreen>
#include <QTimer>

#include <cstring>
#include <utility>

namespace {
constexpr int kFirstFieldOffset = 19;

int tableEnd(const QVector<ReceiverEphemeris::Field>& table)
{
    int end = kFirstFieldOffset;
    for (const auto& f : table)
        end += f.size;
    return end;
}
} // namespace

// The labels are marked for the translator here and translated where the window shows them.
const QVector<ReceiverEphemeris::Field>& ReceiverEphemeris::gpsFields()
{
    static const QVector<Field> table = {
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "卫星 PRN 编号")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Tow 子帧 1 的时间标识(s)")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "卫星健康状态")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "IODE 星历数据 1 龄期")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "IODE2 星历数据 2 龄期")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "GPS周计数")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "GPS周Z计数周期(TOE周)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Toe 星历参考时刻(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "A 轨道长半轴(m)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "DeltaN 平均角速度的改正值(rad/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "M0 Toe时间的平近点角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "e 偏心率")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "ω 近地点幅角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cuc 纬度幅角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cus 纬度幅角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Crc 轨道半径(m)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Crs 轨道半径(m)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cic 轨道倾角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cis 轨道倾角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "i0参考时时刻轨道倾角")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "iDot 轨道倾角变化率(rad/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Ω0 升交点赤经(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "ΩDot 升交点赤经变化率(rad/s)")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "IODC 时钟数据龄")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Toc 卫星钟差参考时间(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Tgd 群延迟(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "af0 卫星钟差参数(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "af1 卫星钟漂参数(s/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "af2 卫星钟漂变化率参数(s/s^2)")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "反欺骗")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "改正平均角速度(rad/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "URA 用户距离精度(m^2)")},
    };
    return table;
}

const QVector<ReceiverEphemeris::Field>& ReceiverEphemeris::bd3Fields()
{
    static const QVector<Field> table = {
        {1, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "卫星 PRN 编号")},
        {1, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "卫星健康状态")},
        {1, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "卫星类别")},
        {1, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "空间信号监测精度")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B1C/B2A 星历数据龄期(IODE)")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B1C/B2A 时钟数据龄期(IODC)")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "北斗周计数")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "北斗周Z计数周期(TOE周)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Tow 子帧 1 的时间标识(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Toe 星历参考时刻(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "DeltaA 长半轴偏差(m)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "长半轴变化率(m/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "DeltaN 平均角速度计算差(rad/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "平均角速度变化率(rad/s^2)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "M0 参考时刻的平近点角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "e 偏心率")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "ω 近地点幅角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cuc 纬度幅角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cus 纬度幅角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Crc 轨道半径(m)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Crs 轨道半径(m)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cic 轨道倾角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Cis 轨道倾角(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "i0参考时时刻轨道倾角")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "iDot 轨道倾角变化率(rad/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Ω0 升交点赤经(rad)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "ΩDot 升交点赤经变化率(rad/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "Toc 卫星钟差参考时间(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B1C导频分量时延差(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B2A导频分量时延差(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B2b I支路时延差(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B2b Q支路时延差(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B2A数据相对导频时延修正(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "B1C数据相对导频时延修正(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "af0 卫星钟差参数(s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "af1 卫星钟漂参数(s/s)")},
        {8, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "af2 卫星钟漂变化率参数(s/s^2)")},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "iTop数据预测的周内时刻")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "SISAIoe 卫星轨道的切向和法向精度指数")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "SISAIocb 卫星轨道的径向及卫星钟固定偏差精度指数")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "SISAIoc1 卫星钟频偏精度指数")},
        {2, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "SISAIoc2 卫星钟频漂精度指数")},
        {4, true, ""},
        {4, true, ""},
        {4, false, QT_TRANSLATE_NOOP("ReceiverEphemeris", "频点类型")},
    };
    return table;
}

QString ReceiverEphemeris::fieldText(const char* record, int offset, int size)
{
    switch (size) {
    case 1:
        return QString::number(quint8(record[offset]));
    case 2: {
        quint16 v;
        std::memcpy(&v, record + offset, sizeof v);
        return QString::number(v);
    }
    case 4: {
        quint32 v;
        std::memcpy(&v, record + offset, sizeof v);
        return QString::number(v);
    }
    case 8: {
        double v;
        std::memcpy(&v, record + offset, sizeof v);
        return QString::number(v, 'g', 6);
    }
    default:
        return QString();
    }
}

ReceiverEphemeris* ReceiverEphemeris::Instance()
{
    static ReceiverEphemeris* window = new ReceiverEphemeris;
    return window;
}

ReceiverEphemeris::ReceiverEphemeris(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ReceiverEphemeris)
{
    // The tables walk the records field by field; they must cover each record exactly.
    Q_ASSERT(tableEnd(gpsFields()) == int(sizeof(GPSEPH)));
    Q_ASSERT(tableEnd(bd3Fields()) == int(sizeof(BD3EPH)));
    ui->setupUi(this);
    setWindowTitle(tr("星历数据"));

    const struct
    {
        int sysid;
        QWidget* tab;
    } tabs[] = {{1, ui->tab}, {0, ui->tab_2}};
    for (const auto& t : tabs) {
        auto* grid = new QGridLayout;
        grid->setSpacing(5);
        qobject_cast<QBoxLayout*>(t.tab->layout())->addLayout(grid);
        const QVector<Field>& table = fields(t.sysid);
        QVector<QLineEdit*>& edits = m_edits[t.sysid];
        edits.fill(nullptr, table.size());
        for (int i = 0; i < table.size(); ++i) {
            if (table[i].hidden)
                continue;
            auto* label = new QLabel(tr(table[i].label), t.tab);
            label->setObjectName(QStringLiteral("fieldCaption"));
            grid->addWidget(label, (i % 10) * 2, i / 10);
            auto* edit = new QLineEdit(t.tab);
            edit->setReadOnly(true);
            grid->addWidget(edit, (i % 10) * 2 + 1, i / 10);
            edits[i] = edit;
        }
    }
    // The fields need more than a laptop screen: they scroll inside a window that fits it.
    m_fit = new PanelFit(this, ui->verticalLayout, ui->PanelArea, ui->verticalLayout_contents);
    // A field need only be as wide as a value (a font's widest glyph would make it wider).
    for (const QVector<QLineEdit*>& edits : m_edits)
        for (QLineEdit* edit : edits)
            if (edit)
                edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-0.00000e-00"))
                                      + edit->sizeHint().height() / 2);
    ensurePolished();
    measure();
    resize(sizeHint());
}

// The window opens as wide as the fields with each caption on one line; only where the screen is
// narrower do the captions wrap, so that the columns fit across it, and the window is as tall as
// they then are. (The tab widget keeps the size
// of its pages from before they changed until it is told, and a hidden tab's layout is worked out
// again only when asked.)
void ReceiverEphemeris::measure()
{
    const auto captions = ui->tabWidget->findChildren<QLabel*>(QStringLiteral("fieldCaption"));
    const auto relaid = [this] {
        for (QWidget* tab : {ui->tab, ui->tab_2})
            tab->layout()->activate();
        ui->tabWidget->updateGeometry();
    };
    for (QLabel* label : captions)
        label->setWordWrap(false);
    relaid();
    m_natural = ui->PanelContents->minimumSizeHint();
    const QScreen* screen = WindowPlacement::screenFor(this);
    if (!screen || m_natural.width() <= WindowPlacement::room(this, screen).width())
        return;
    for (QLabel* label : captions)
        label->setWordWrap(true);
    relaid();
    if (ui->PanelContents->hasHeightForWidth())
        m_natural.setHeight(qMax(m_natural.height(), ui->PanelContents->heightForWidth(m_natural.width())));
}

void ReceiverEphemeris::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The fonts are final only now: the first time, the window takes the size they need.
    if (std::exchange(m_measured, true))
        return;
    measure();
    resize(sizeHint());
}

QSize ReceiverEphemeris::sizeHint() const
{
    // The fields and, below them, the status line.
    return m_natural + QSize(0, ui->verticalLayout->spacing() + ui->label_status->sizeHint().height());
}

QSize ReceiverEphemeris::minimumSizeHint() const
{
    return m_fit ? m_fit->leastSize().expandedTo(QWidget::minimumSizeHint()) : QWidget::minimumSizeHint();
}

ReceiverEphemeris::~ReceiverEphemeris()
{
    delete ui;
}

void ReceiverEphemeris::setEphemerisSource(const QMap<unsigned char, BD3EPH>* bd3,
                                           const QMap<unsigned char, GPSEPH>* gps, QMutex* locks)
{
    m_bd3 = bd3;
    m_gps = gps;
    m_locks = locks;
}

void ReceiverEphemeris::clearEphemerisSource(const QMap<unsigned char, GPSEPH>* gps)
{
    if (m_gps != gps)
        return;
    m_bd3 = nullptr;
    m_gps = nullptr;
    m_locks = nullptr;
}

QComboBox* ReceiverEphemeris::combo(int sysid) const
{
    return sysid == 1 ? ui->comboBox_bds : ui->comboBox_gps;
}

QPushButton* ReceiverEphemeris::button(int sysid) const
{
    return sysid == 1 ? ui->pushButton_bds_clear : ui->pushButton_gps_clear;
}

const QVector<ReceiverEphemeris::Field>& ReceiverEphemeris::fields(int sysid) const
{
    return sysid == 1 ? bd3Fields() : gpsFields();
}

QLineEdit* ReceiverEphemeris::fieldEdit(int sysid, int index) const
{
    if (sysid != 0 && sysid != 1)
        return nullptr;
    return m_edits[sysid].value(index, nullptr);
}

bool ReceiverEphemeris::copyRecord(int sysid, int prn, QByteArray* record)
{
    if (!m_locks || prn < 0 || prn > 255)
        return false;
    QMutexLocker lock(&m_locks[sysid]);
    const auto key = static_cast<unsigned char>(prn);
    if (sysid == 0 && m_gps && m_gps->contains(key)) {
        const GPSEPH e = m_gps->value(key);
        *record = QByteArray(reinterpret_cast<const char*>(&e), int(sizeof e));
        return true;
    }
    if (sysid == 1 && m_bd3 && m_bd3->contains(key)) {
        const BD3EPH e = m_bd3->value(key);
        *record = QByteArray(reinterpret_cast<const char*>(&e), int(sizeof e));
        return true;
    }
    return false;
}

void ReceiverEphemeris::showRecord(int sysid, const QByteArray& record)
{
    const QVector<Field>& table = fields(sysid);
    const bool have = record.size() >= tableEnd(table);
    int offset = kFirstFieldOffset;
    for (int i = 0; i < table.size(); ++i) {
        if (QLineEdit* edit = m_edits[sysid].at(i))
            edit->setText(have ? fieldText(record.constData(), offset, table[i].size) : QString());
        offset += table[i].size;
    }
}

void ReceiverEphemeris::ShowEphemeris(int sysid, int prn)
{
    if (sysid != 0 && sysid != 1)
        return;
    QByteArray record;
    copyRecord(sysid, prn, &record);
    showRecord(sysid, record);
}

void ReceiverEphemeris::ephMapUpdate(int sysid)
{
    if (sysid != 0 && sysid != 1)
        return;
    QList<unsigned char> prns;
    QByteArray first;
    if (m_locks) {
        // The list and the first record come from one look at the map.
        QMutexLocker lock(&m_locks[sysid]);
        if (sysid == 0 && m_gps) {
            prns = m_gps->keys();
            if (!prns.isEmpty()) {
                const GPSEPH e = m_gps->constBegin().value();
                first = QByteArray(reinterpret_cast<const char*>(&e), int(sizeof e));
            }
        } else if (sysid == 1 && m_bd3) {
            prns = m_bd3->keys();
            if (!prns.isEmpty()) {
                const BD3EPH e = m_bd3->constBegin().value();
                first = QByteArray(reinterpret_cast<const char*>(&e), int(sizeof e));
            }
        }
    }
    QComboBox* box = combo(sysid);
    {
        const QSignalBlocker block(box);
        box->clear();
        for (unsigned char prn : qAsConst(prns))
            box->addItem(QString::number(prn), int(prn));
        box->setCurrentIndex(prns.isEmpty() ? -1 : 0);
    }
    showRecord(sysid, first);
    button(sysid)->setEnabled(true);
}

void ReceiverEphemeris::on_comboBox_bds_currentIndexChanged(int index)
{
    if (index < 0)
        showRecord(1, QByteArray());
    else
        ShowEphemeris(1, ui->comboBox_bds->currentData().toInt());
}

void ReceiverEphemeris::on_comboBox_gps_currentIndexChanged(int index)
{
    if (index < 0)
        showRecord(0, QByteArray());
    else
        ShowEphemeris(0, ui->comboBox_gps->currentData().toInt());
}

void ReceiverEphemeris::askForUpdate(int sysid)
{
    // Asked of a relay without its receiver, the request would be lost and the list emptied.
    if (!m_receiverConnected) {
        ui->label_status->setText(tr("未发送：接收机未连接，请在“监测数据”中点击“打开输出”"));
        return;
    }
    QPushButton* b = button(sysid);
    b->setEnabled(false);
    emit updateEph(sysid);
    QStringList commands = SkyvaneManager::ephemerisRequest(sysid);
    for (QString& c : commands)
        c = c.trimmed();
    ui->label_status->setText(tr("已发送：%1").arg(commands.join(QStringLiteral(", "))));
    QTimer::singleShot(1000, b, [b] { b->setEnabled(true); });
}

void ReceiverEphemeris::StatusChange(bool connected)
{
    m_receiverConnected = connected;
}

void ReceiverEphemeris::on_pushButton_bds_clear_clicked()
{
    askForUpdate(1);
}

void ReceiverEphemeris::on_pushButton_gps_clear_clicked()
{
    askForUpdate(0);
}

void ReceiverEphemeris::closeEvent(QCloseEvent* event)
{
    emit closed();
    QWidget::closeEvent(event);
}
