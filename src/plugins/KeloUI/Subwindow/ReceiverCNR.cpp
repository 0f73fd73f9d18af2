#include "ReceiverCNR.h"

#include "ui_ReceiverCNR.h"

#include "SkyvaneManager.h"
#include "ValueText.h"

#include <ConfigSetting.h>
#include <ProtocolManager.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMutex>
#include <QQuickItem>
#include <QScreen>
#include <QTimer>

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
    , ui(new Ui::ReceiverCNR)
{
    ui->setupUi(this);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(available.width() * 3 / 4, available.height() * 3 / 4);
    }
    // The panel paints its own rounded background inside a margin the form cannot give it.
    ui->baseWidget->setAttribute(Qt::WA_StyledBackground, true);
    ui->baseWidget->setContentsMargins(10, 10, 10, 10);
    for (int row = 0; row < kRows; ++row)
        m_values[row] = findChild<QLabel*>(QStringLiteral("value_%1").arg(row));

    m_shortReset = shortResetVariant();
    if (m_shortReset) {
        // The receiver of these variants tracks BeiDou alone.
        ui->label_2->setText(tr("BDS状态"));
        ui->label_5->setText(tr("高度(m)"));
        ui->label_6->setText(tr("高程异常(CGS2000)(m)"));
        ui->pbn_warmStart->setText(tr("复位"));
        ui->pbn_coldStart->hide();
    }

    m_staleTimer = new QTimer(this);
    m_staleTimer->setSingleShot(true);
    m_staleTimer->setInterval(kStaleAfterMs);
    connect(m_staleTimer, &QTimer::timeout, this, &ReceiverCNR::markNotCurrent);
}

ReceiverCNR::~ReceiverCNR()
{
    delete ui;
}

QQuickWidget* ReceiverCNR::chartView() const
{
    return ui->chartView;
}

void ReceiverCNR::setInfoSource(const QMap<int, QString>* rows, QMutex* lock)
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

void ReceiverCNR::on_pbn_send_clicked()
{
    QString text = ui->lineEdit_command->text();
    if (text.isEmpty()) {
        showCommandStatus(tr("未发送：指令为空"));
        return;
    }
    if (ui->checkBox_newline->isChecked())
        text += QStringLiteral("\r\n");
    sendCommand(text);
}

void ReceiverCNR::sendCommand(const QString& command)
{
    // A relay without its receiver drops what it is handed.
    if (!m_outputOn) {
        showCommandStatus(tr("未发送：接收机未连接"));
        return;
    }
    emit cmdSend(command);
    // The line end shows as the check box names it.
    QString shown = command;
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    showCommandStatus(tr("已发送：%1").arg(shown));
}

void ReceiverCNR::showCommandStatus(const QString& text)
{
    // One line under the buttons, where the panel has no room for more; a long command is cut
    // at the panel's edge and shows whole in the tool tip.
    ui->label_commandStatus->setText(text);
    ui->label_commandStatus->setToolTip(text);
}

void ReceiverCNR::on_lineEdit_command_returnPressed()
{
    on_pbn_send_clicked();
}

void ReceiverCNR::on_pbn_warmStart_clicked()
{
    sendCommand(m_shortReset ? QStringLiteral("KVRN RESET\r\n") : QStringLiteral("RESET\r\n"));
}

void ReceiverCNR::on_pbn_coldStart_clicked()
{
    sendCommand(QStringLiteral("RESET ALL\r\n"));
}

void ReceiverCNR::on_pbn_output_clicked()
{
    // Without the link the instrument cannot be told where to send; the main window opens the
    // output once the link is back with this window shown.
    if (!m_outputOn && !ProtocolManager::instance()->isConnected())
        showCommandStatus(tr("设备未连接：输出在连接恢复后自动打开"));
    emit SetReceiverOutputStatus(!m_outputOn);
}

void ReceiverCNR::StatusChange(bool connected)
{
    m_outputOn = connected;
    ui->pbn_output->setText(connected ? tr("关闭输出") : tr("打开输出"));
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
            setInfoText(0, row, ValueText::none(), QLatin1String(kGreyStyle));
        } else if (it.value().isEmpty()) {
            setInfoText(0, row, ValueText::none(), QLatin1String(kGreyStyle));
        } else {
            setInfoText(0, row, SkyvaneManager::shownText(row, it.value()), QLatin1String(kWhiteStyle));
            live = true;
        }
    }
    m_infoLock->unlock();
    showChartCurrent(live);
    if (live)
        m_staleTimer->start();
    else
        m_staleTimer->stop();
}

void ReceiverCNR::showChartCurrent(bool current)
{
    m_chartCurrent = current;
    if (QQuickItem* chart = ui->chartView->rootObject())
        chart->setProperty("current", current);
}

void ReceiverCNR::markNotCurrent()
{
    // The receiver went quiet: its last values stay readable but no longer look live.
    for (QLabel* value : m_values)
        value->setStyleSheet(QLatin1String(kGreyStyle));
    showChartCurrent(false);
}

void ReceiverCNR::showEvent(QShowEvent* event)
{
    // The chart is compiled when first needed: the window is built at start-up, when the
    // main window has more urgent work, and many sessions never open it.
    if (ui->chartView->source().isEmpty())
        ui->chartView->setSource(QUrl(QStringLiteral("qrc:/qml/StaticCNR.qml")));
    showChartCurrent(m_chartCurrent);
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
