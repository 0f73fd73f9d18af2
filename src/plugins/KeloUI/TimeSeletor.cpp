#include "TimeSeletor.h"

#include "FramelessHelper.h"
#include "StandardMessageBox.h"
#include "StyleSheetLoader.h"
#include "TumblerDateTime.h"
#include "ui_TimeSeletor.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

TimeSeletor* TimeSeletor::instance()
{
    static TimeSeletor* dialog = new TimeSeletor;
    return dialog;
}

TimeSeletor::TimeSeletor(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::TimeSeletor)
{
    ui->setupUi(this);
    // The task bar and window switcher name the window as its top bar does.
    setWindowTitle(ui->label_2->text());
    ui->label->setPixmap(
        QPixmap(QStringLiteral(":/icon/icon/Lumen.png")).scaled(26, 26, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setWindowModality(Qt::ApplicationModal);
    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));

    m_tumbler = new TumblerDateTime(this);
    ui->mainLyout->addWidget(m_tumbler);

    m_frame = std::make_unique<FramelessHelper>(this, FramelessHelper::PlainWindow);
    m_frame->setDragArea(ui->widget_top);

    // Without a window frame nothing places the window; open it in the middle of the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TimeSeletor::~TimeSeletor()
{
    delete ui;
}

void TimeSeletor::showEvent(QShowEvent* event)
{
    qint64 t = TumblerDateTime::now().toSecsSinceEpoch() + kPresetLeadSeconds;
    t = t / 10 * 10;
    m_tumbler->setDateTimeT(uint(t));
    QWidget::showEvent(event);
}

void TimeSeletor::hideEvent(QHideEvent* event)
{
    disconnect(this, &TimeSeletor::SetDateTime, nullptr, nullptr);
    QWidget::hideEvent(event);
}

void TimeSeletor::on_pbn_SetTime_clicked()
{
    const QDateTime shown = m_tumbler->getDateTime();
    const uint chosen = shown.toTime_t();
    const uint now = TumblerDateTime::now().toTime_t();
    // A local time that does not exist (skipped by a daylight-saving change) reads as invalid,
    // whose seconds would pass as the far future.
    if (!shown.isValid() || now + kMinimumLeadSeconds > chosen) {
        const QString title = tr("设置时间失败");
        const QString text = tr("所设时间需大于当前时间10秒以上!<br>请重新设置");
        StandardMessageBox::ask(this, QMessageBox::Warning, title, text, {QMessageBox::Ok});
        return;
    }
    qDebug() << "void TimeSeletor::on_pbn_SetTime_clicked()" << shown;
    emit SetDateTime(chosen, currentMode);
    close();
}

void TimeSeletor::on_tbn_close_clicked()
{
    close();
}

void TimeSeletor::on_pbn_clearTime_clicked()
{
    m_tumbler->setCurrentDateTime();
}

void TimeSeletor::mousePressEvent(QMouseEvent* event)
{
    m_frame->press(event);
    QWidget::mousePressEvent(event);
}

void TimeSeletor::mouseMoveEvent(QMouseEvent* event)
{
    m_frame->move(event);
    QWidget::mouseMoveEvent(event);
}

void TimeSeletor::mouseReleaseEvent(QMouseEvent* event)
{
    m_frame->release(event);
    QWidget::mouseReleaseEvent(event);
}
