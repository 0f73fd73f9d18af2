#include "ReceiverCNR.h"

#include <ConfigSetting.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopWidget>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QQuickWidget>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char kGreyStyle[] = "background-color:grey;color:white;";
const char kWhiteStyle[] = "background-color:white;color:black;";
// The receiver sends its fix at least once a second; as long without a word means it stopped.
constexpr int kStaleAfterMs = 3000;

bool shortResetVariant()
{
    const ConfigSetting* config = ConfigSetting::instance();
    return config->is518() || config->isLeo();
}
} // namespace

ReceiverCNR* ReceiverCNR::Instance()
{
    static ReceiverCNR* window = new ReceiverCNR;
    return window;
}

ReceiverCNR::ReceiverCNR(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ReceiverCNR"));
    resize(668, 417);
    setWindowTitle(tr("监测数据"));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(available.width() * 3 / 4, available.height() * 3 / 4);
    }
    m_shortReset = shortResetVariant();

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->setColumnStretch(0, 10);
    grid->setColumnStretch(1, 2);

    m_chart = new QQuickWidget(this);
    m_chart->setObjectName(QStringLiteral("chartView"));
    m_chart->setResizeMode(QQuickWidget::SizeRootObjectToView);
    grid->addWidget(m_chart, 0, 0);

    m_baseWidget = new QWidget(this);
    m_baseWidget->setObjectName(QStringLiteral("baseWidget"));
    m_baseWidget->setAttribute(Qt::WA_StyledBackground, true);
    m_baseWidget->setStyleSheet(QStringLiteral("#baseWidget{background-color:#FFFFFF;border-radius:5px;margin: 8px;}"));
    m_baseWidget->setContentsMargins(10, 10, 10, 10);
    grid->addWidget(m_baseWidget, 0, 1);

    auto* form = new QFormLayout(m_baseWidget);
    const QString labels[kRows] = {tr("UTC日期"),
                                   tr("UTC时间"),
                                   tr("GPS状态"),
                                   tr("纬度(°)"),
                                   tr("经度(°)"),
                                   m_shortReset ? tr("高度(m)") : tr("海拔高度(m)"),
                                   m_shortReset ? tr("高程异常(CGS2000)(m)") : tr("椭球相对高度(m)"),
                                   tr("参与解算卫星数"),
                                   tr("HDOP"),
                                   tr("差分龄期(s)"),
                                   tr("差分基站ID"),
                                   tr("地面速率(m/s)"),
                                   tr("地面航向(°)"),
                                   tr("磁偏角(°)"),
                                   tr("定位模式"),
                                   tr("定位状态")};
    for (int row = 0; row < kRows; ++row) {
        auto* value = new QLabel(tr("无信息"), m_baseWidget);
        value->setObjectName(QStringLiteral("value_%1").arg(row));
        value->setStyleSheet(QLatin1String(kGreyStyle));
        value->setAlignment(Qt::AlignCenter);
        value->setFixedHeight(20);
        value->setMinimumWidth(160);
        value->setMaximumWidth(200);
        m_values[row] = value;
        form->addRow(labels[row], value);
    }

    m_appendNewline = new QCheckBox(tr("末尾添加\\r\\n"), m_baseWidget);
    m_appendNewline->setObjectName(QStringLiteral("checkBox_newline"));
    m_appendNewline->setChecked(true);
    form->addRow(tr("指令控制"), m_appendNewline);

    m_command = new QLineEdit(m_baseWidget);
    m_command->setObjectName(QStringLiteral("lineEdit_command"));
    form->addRow(m_command);

    auto* send = new QPushButton(tr("发送"), m_baseWidget);
    send->setObjectName(QStringLiteral("pbn_send"));
    auto* warm = new QPushButton(m_shortReset ? tr("复位") : tr("热启动"), m_baseWidget);
    warm->setObjectName(QStringLiteral("pbn_warmStart"));
    auto* cold = new QPushButton(tr("冷启动"), m_baseWidget);
    cold->setObjectName(QStringLiteral("pbn_coldStart"));
    m_outputButton = new QPushButton(tr("打开输出"), m_baseWidget);
    m_outputButton->setObjectName(QStringLiteral("pbn_output"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(send);
    buttons->addWidget(warm);
    buttons->addWidget(cold);
    form->addRow(buttons);
    form->addRow(m_outputButton);
    if (m_shortReset)
        cold->hide();

    connect(send, &QPushButton::clicked, this, &ReceiverCNR::onSend);
    connect(m_command, &QLineEdit::returnPressed, this, &ReceiverCNR::onSend);
    connect(warm, &QPushButton::clicked, this, &ReceiverCNR::onWarmStart);
    connect(cold, &QPushButton::clicked, this, [this] { emit cmdSend(QStringLiteral("RESET ALL\r\n")); });
    connect(m_outputButton, &QPushButton::clicked, this, [this] { emit SetReceiverOutputStatus(!m_outputOn); });

    m_staleTimer = new QTimer(this);
    m_staleTimer->setSingleShot(true);
    m_staleTimer->setInterval(kStaleAfterMs);
    connect(m_staleTimer, &QTimer::timeout, this, &ReceiverCNR::markNotCurrent);
}

void ReceiverCNR::setInfoSource(QMap<int, QString>* rows, QMutex* lock)
{
    m_infoRows = rows;
    m_infoLock = lock;
}

void ReceiverCNR::clearInfoSource(const QMap<int, QString>* rows)
{
    if (m_infoRows != rows)
        return;
    m_infoRows = nullptr;
    m_infoLock = nullptr;
}

QLabel* ReceiverCNR::valueLabel(int row) const
{
    return row >= 0 && row < kRows ? m_values[row] : nullptr;
}

void ReceiverCNR::setInfoText(int panel, int row, const QString& text, const QString& style)
{
    if (panel != 0)
        return;
    QLabel* label = valueLabel(row);
    if (!label)
        return;
    label->setText(text);
    label->setStyleSheet(style);
}

void ReceiverCNR::onSend()
{
    QString text = m_command->text();
    if (text.isEmpty())
        return;
    if (m_appendNewline->isChecked())
        text += QStringLiteral("\r\n");
    emit cmdSend(text);
}

void ReceiverCNR::onWarmStart()
{
    emit cmdSend(m_shortReset ? QStringLiteral("KVRN RESET\r\n") : QStringLiteral("RESET\r\n"));
}

void ReceiverCNR::StatusChange(bool connected)
{
    m_outputOn = connected;
    m_outputButton->setText(connected ? tr("关闭输出") : tr("打开输出"));
}

void ReceiverCNR::UpdateInfo()
{
    if (!m_infoRows || !m_infoLock)
        return;
    // A busy lock skips this refresh; the next one shows the newer state.
    if (!m_infoLock->tryLock(100))
        return;
    bool live = false;
    for (int row = 0; row < kRows; ++row) {
        const auto it = m_infoRows->constFind(row);
        // A row the manager does not hold (yet, or no more since its receiver went) has nothing.
        if (it == m_infoRows->constEnd()) {
            setInfoText(0, row, tr("无信息"), QLatin1String(kGreyStyle));
        } else if (it.value().isEmpty()) {
            setInfoText(0, row, tr("无数据"), QLatin1String(kGreyStyle));
        } else {
            setInfoText(0, row, it.value(), QLatin1String(kWhiteStyle));
            live = true;
        }
    }
    m_infoLock->unlock();
    if (live)
        m_staleTimer->start();
    else
        m_staleTimer->stop();
}

void ReceiverCNR::markNotCurrent()
{
    // The receiver went quiet: its last values stay readable but no longer look live.
    for (QLabel* value : m_values)
        value->setStyleSheet(QLatin1String(kGreyStyle));
}

void ReceiverCNR::showEvent(QShowEvent* event)
{
    // The chart is compiled when first needed: the window is built at start-up, when the
    // main window has more urgent work, and many sessions never open it.
    if (m_chart->source().isEmpty())
        m_chart->setSource(QUrl(QStringLiteral("qrc:/qml/StaticCNR.qml")));
    QWidget::showEvent(event);
}

void ReceiverCNR::closeEvent(QCloseEvent* event)
{
    emit closed();
    QWidget::closeEvent(event);
}

QByteArray ReceiverCNR::HexStringToBytes(const QString& text)
{
    auto digit = [](QChar c) {
        const ushort u = c.unicode();
        if (u >= '0' && u <= '9')
            return int(u - '0');
        if (u >= 'a' && u <= 'f')
            return int(u - 'a' + 10);
        if (u >= 'A' && u <= 'F')
            return int(u - 'A' + 10);
        return 0;
    };
    QByteArray out;
    int pending = -1;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ')) {
            if (pending >= 0)
                out.append(char(pending));
            pending = -1;
            continue;
        }
        const int d = digit(c);
        if (pending < 0) {
            pending = d;
        } else {
            out.append(char(pending * 16 + d));
            pending = -1;
        }
    }
    return out;
}
