#include "BootScreen.h"

#include "FramelessHelper.h"
#include "StyleSheetLoader.h"
#include "ui_BootScreen.h"

#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <TcpConnect.h>

#include <QApplication>
#include <QLineEdit>
#include <QRegExp>
#include <QScreen>

#include <cmath>

namespace {
// Counts presses of the settings button over the whole run; never reset.
int g_skipCount = 0;
} // namespace

BootScreen* BootScreen::instance()
{
    static BootScreen* screen = new BootScreen;
    return screen;
}

BootScreen::BootScreen(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::BootScreen)
{
    ui->setupUi(this);
    // The task bar and window switcher name the window as its top bar does.
    setWindowTitle(ui->label->text());
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    ui->stackedWidget->setCurrentIndex(0);

    ui->lineEdit_IP->setText(ProtocolManager::instance()->instrumentAddress());
    connect(ProtocolManager::instance(), &ProtocolManager::NetSuccess, this, &BootScreen::NetworkChange);
    connect(ProtocolManager::instance(), &ProtocolManager::ConnectFailed, this, [this] { onConnectFailed(); });

    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));
    fitAddressField();

    double factor = 1.0;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen)
        factor = screen->logicalDotsPerInch() / 96.0;
    resize(
        QSize(int(std::lround(width() * factor)), int(std::lround(height() * factor))).expandedTo(minimumSizeHint()));
    // Without a window frame nothing places the window; open it in the middle of the screen.
    if (screen)
        move(screen->geometry().center() - rect().center());

    m_frame = std::make_unique<FramelessHelper>(this, FramelessHelper::PlainWindow);
    m_frame->setDragArea(ui->widget_top);
}

BootScreen::~BootScreen()
{
    delete ui;
}

void BootScreen::fitAddressField()
{
    // The longest address whole, beside labels that run longer in English than in Chinese. The
    // field's own hint is the style's room around 17 'x'; the same room goes around the address.
    QLineEdit* field = ui->lineEdit_IP;
    field->ensurePolished();
    const QFontMetrics metrics(field->font());
    const int room = field->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
    field->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("255.255.255.255")) + qMax(0, room) + 2);
}

bool BootScreen::isValidAddress(const QString& text)
{
    static const QRegExp pattern(
        QStringLiteral(
            "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b"),
        Qt::CaseSensitive, QRegExp::RegExp);
    return pattern.exactMatch(text);
}

QString BootScreen::normalisedAddress(const QString& text)
{
    // "010.001.000.009" is meant as decimal; stored as typed, a resolver that reads a leading
    // zero as octal would connect to 8.1.0.9.
    QStringList parts = text.split(QLatin1Char('.'));
    for (QString& part : parts)
        part = QString::number(part.toInt(nullptr, 10));
    return parts.join(QLatin1Char('.'));
}

void BootScreen::NetworkChange(bool isSuccess)
{
    if (!isSuccess)
        return;
    close();
    emit SkipWaitingConnect();
}

void BootScreen::onConnectFailed()
{
    // The waiting page would otherwise look the same whether the instrument answers or not.
    ++m_failedAttempts;
    ui->label_5->setText(
        tr("连接中...") + QLatin1Char('\n')
        + tr("连接失败（%1 次），每 %2 秒自动重试").arg(m_failedAttempts).arg(TcpConnect::kReconnectIntervalMs / 1000));
}

void BootScreen::on_pbn_setIP_clicked()
{
    ui->stackedWidget->setCurrentIndex(1);
    if (g_skipCount == kSkipPresses) {
        close();
        emit SkipWaitingConnect();
    }
    ++g_skipCount;
}

void BootScreen::on_pbn_close_clicked()
{
    QApplication::closeAllWindows();
}

void BootScreen::on_pbn_ChangeIP_clicked()
{
    const QString text = ui->lineEdit_IP->text();
    if (!isValidAddress(text)) {
        ui->lineEdit_IP->setStyleSheet(QStringLiteral("border:1px solid #f50000"));
        ui->lineEdit_IP->setToolTip(tr("IP不合法"));
        return;
    }
    ConfigSetting::instance()->SetInit(ConfigKey::NetworkIp, normalisedAddress(text));
    emit ChangeConnectIP();
    ui->stackedWidget->setCurrentIndex(0);
}

void BootScreen::mousePressEvent(QMouseEvent* event)
{
    m_frame->press(event);
    QMainWindow::mousePressEvent(event);
}

void BootScreen::mouseMoveEvent(QMouseEvent* event)
{
    m_frame->move(event);
    QMainWindow::mouseMoveEvent(event);
}

void BootScreen::mouseReleaseEvent(QMouseEvent* event)
{
    m_frame->release(event);
    QMainWindow::mouseReleaseEvent(event);
}
