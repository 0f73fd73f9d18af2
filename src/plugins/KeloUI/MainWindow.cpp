#include "MainWindow.h"

#include "BootScreen.h"
#include "DeviceAbout.h"
#include "DebugConsole.h"
#include "FramelessHelper.h"
#include "MaskWidget.h"
#include "PlaceholderPage.h"
#include "StyleSheetLoader.h"
#include "UiFonts.h"
#include "ui_MainWindow.h"

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QGroupBox>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QThread>
#include <QTranslator>

#include <cmath>

namespace {
constexpr int kNoMaximum = 16777215;

int scaled(int v, double factor)
{
    return int(v * factor);
}

QWidget* widgetProperty(QObject* button)
{
    return button ? button->property("widget").value<QWidget*>() : nullptr;
}
} // namespace

QString MainWindow::selectedStyle()
{
    return QStringLiteral("background-color:qlineargradient(spread:pad,x1:0,y1:0,x2:1,y2:0,stop:0 #DEE5EB,"
                          "stop:0.1 #DEE5EB,stop:1 #F5F5F5);color:black;");
}

QString MainWindow::normalStyle()
{
    return QStringLiteral("background-color:qlineargradient(spread:pad,x1:0,y1:0,x2:1,y2:0,stop:0 #DEE5EB,"
                          "stop:1 #DEE5EB);color:black;");
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    UiFonts::installSubstitutes();
    QApplication::setFont(QFont(QStringLiteral("Source Han Sans SC")));
    ui->setupUi(this);
    qDebug() << "MainWindow::MainWindow(QWidget*)" << QThread::currentThreadId();

    ConfigSetting* config = ConfigSetting::instance();
    loadTranslations();
    DebugConsole::install(config->GetInit(QStringLiteral("Debug"), QStringLiteral("EnableConsole")).toBool());

    BootScreen* boot = BootScreen::instance();
    boot->show();
    // The boot screen outlives this window (the host deletes the window at shut-down), so the
    // connection must end with the window, not with the screen.
    connect(boot, &BootScreen::SkipWaitingConnect, this, &MainWindow::OnSkipWaitingConnect, Qt::DirectConnection);

    ui->tbn_stylesheet->hide();
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    ui->widget_top->show();

    if (config->deviceType == QLatin1String("TRANS")) {
        setWindowTitle(tr("转发器控制软件"));
        ui->label_main->setText(tr("转发器控制软件"));
    } else {
        setWindowTitle(tr("采集回放仪上位机控制软件"));
    }
    setMouseTracking(true);

    Frame = std::make_unique<FramelessHelper>(this, FramelessHelper::MainWindowFrame);
    Frame->setDragArea(ui->widget_top);
    Frame->setReleaseHandler([this] { storeGeometry(); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        ScaleFactor = screen->logicalDotsPerInch() / 96.0;

    Init();
    restoreGeometry();

    ui->widget_bottom->setMaximumHeight(scaled(ui->widget_bottom->maximumHeight(), ScaleFactor));
    ui->widget_top->setMaximumHeight(scaled(ui->widget_top->maximumHeight(), ScaleFactor));
    ui->navbar_widget->setMinimumWidth(scaled(ui->navbar_widget->maximumWidth(), ScaleFactor));
    const int navWidth = ui->navbar_widget->minimumWidth();
    for (int i = 0; i < ui->navbar_layout->count(); ++i) {
        QWidget* w = ui->navbar_layout->itemAt(i)->widget();
        if (!w)
            continue;
        w->setMinimumWidth(navWidth);
        QFont f = w->font();
        f.setFamily(QStringLiteral("Source Han Sans SC"));
        w->setFont(f);
        w->setStyleSheet(widgetProperty(w) && widgetProperty(w) == PageStack->currentWidget() ? selectedStyle()
                                                                                              : normalStyle());
    }
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::loadTranslations()
{
    if (!ConfigSetting::instance()->isEnglish)
        return;
    const QDir dir(AppPaths::applicationDir() + QStringLiteral("/translations/"));
    const QStringList files = dir.entryList({QStringLiteral("english_*.qm")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        auto* translator = new QTranslator(this);
        if (translator->load(dir.absoluteFilePath(name))) {
            QCoreApplication::installTranslator(translator);
            Translators << translator;
        } else {
            delete translator;
        }
    }
    if (!files.isEmpty())
        ui->retranslateUi(this);
}

void MainWindow::Init()
{
    InitPages();
    RunTimeTimer.setInterval(1000);
    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));
    connect(this, &MainWindow::PrintSystemLog, FileLogger::instance(), &FileLogger::slot_LogMessage);
    for (int i = 0; i < ui->navbar_layout->count(); ++i) {
        auto* button = qobject_cast<QAbstractButton*>(ui->navbar_layout->itemAt(i)->widget());
        if (button && button != ui->pbn_ParaCalib)
            connect(button, &QAbstractButton::clicked, this, &MainWindow::OnControlButtonClicked);
    }
    FileLogger::LogMessage(FileLogger::Info, QStringLiteral("主界面启动成功"));
}

void MainWindow::InitPages()
{
    PageStack = new QStackedWidget;
    PageStack->setObjectName(QStringLiteral("PageStack"));
    PlaybackPage = new PlaceholderPage(tr("回放设置"), QStringLiteral("PlayBackSet"));
    CollectPage = new PlaceholderPage(tr("采集设置"), QStringLiteral("CollectSet"));
    RecordManagerPage = new PlaceholderPage(tr("记录管理"), QStringLiteral("RecordManager"));
    DeviceAboutPage = new DeviceAbout(nullptr);
    CalibrationWindow = new PlaceholderPage(tr("参数校准"), QStringLiteral("ParamConfig"));

    for (QWidget* w : {PlaybackPage, CollectPage, RecordManagerPage, DeviceAboutPage, CalibrationWindow})
        ScaleWidget(w, ScaleFactor);

    MaskDialogNames = QStringList{QStringLiteral("BackupList"), QStringLiteral("TimeSeletor"),
                                  QStringLiteral("MessageDialog"), QStringLiteral("RecordImport")};

    ui->pbn_collectSet->setProperty("widget", QVariant::fromValue<QWidget*>(CollectPage));
    ui->pbn_playbackSet->setProperty("widget", QVariant::fromValue<QWidget*>(PlaybackPage));
    ui->pbn_recordmanager->setProperty("widget", QVariant::fromValue<QWidget*>(RecordManagerPage));
    ui->pbn_systemSet->setProperty("widget", QVariant::fromValue<QWidget*>(DeviceAboutPage));

    ui->SubLayout->addWidget(PageStack);
    PageStack->addWidget(CollectPage);
    PageStack->addWidget(PlaybackPage);
    PageStack->addWidget(RecordManagerPage);
    PageStack->addWidget(DeviceAboutPage);
    PageStack->setCurrentWidget(CollectPage);

    applyVariant();

    MaskWidget::instance()->setMainWidget(this);
    MaskWidget::instance()->setDialogNames(MaskDialogNames);

}

void MainWindow::hideButton(QWidget* button)
{
    button->hide();
    button->setEnabled(false);
}

void MainWindow::applyVariant()
{
    ConfigSetting* config = ConfigSetting::instance();
    const QString mode = config->configMode;
    if (mode == QLatin1String("CPCI")) {
        ui->pbn_extend->setText(tr("DB9数据"));
        ExtendPanel = new PlaceholderPage(tr("DB9数据"), QStringLiteral("CPCIDB9"));
    } else if (mode == QLatin1String("518")) {
        ui->pbn_extend->setText(tr("接口协议"));
        ExtendPanel = new PlaceholderPage(tr("接口协议"), QStringLiteral("Extend518"));
        hideButton(ui->pbn_eph);
    } else if (mode == QLatin1String("SCENE")) {
        ui->pbn_extend->setText(tr("场景管理"));
        ExtendPanel = new PlaceholderPage(tr("场景管理"), QStringLiteral("SceneManagerForm"));
        hideButton(ui->pbn_eph);
    } else if (mode == QLatin1String("PLAYBACK")) {
        hideButton(ui->pbn_collectSet);
        hideButton(ui->pbn_eph);
        hideButton(ui->pbn_extend);
        CollectPage->setEnabled(false);
        CollectPage->hide();
        PageStack->setCurrentWidget(PlaybackPage);
    } else {
        hideButton(ui->pbn_eph);
        hideButton(ui->pbn_extend);
    }

    const bool transponder = config->deviceType == QLatin1String("TRANS");
    if (transponder) {
        PlaybackPage->setEnabled(false);
        PlaybackPage->hide();
        RecordManagerPage->setEnabled(false);
        RecordManagerPage->hide();
        ui->pbn_collectSet->setText(tr("转发设置"));
        CollectPage->setWindowTitle(tr("转发设置"));
        hideButton(ui->pbn_recordmanager);
        hideButton(ui->pbn_playbackSet);
    }

    const QString receiver =
        config->GetInit(QStringLiteral("ExtendedOptions"), QStringLiteral("receiver")).toString().toLower();
    const bool hideReceiver = transponder ? receiver != QLatin1String("true") : receiver == QLatin1String("false");
    if (hideReceiver) {
        hideButton(ui->pbn_cn0);
        hideButton(ui->pbn_starSpace);
    }
}

QRect MainWindow::RestoredGeometry(const QSize& stored, const QPoint& position, bool havePosition,
                                   const QRect& screen, double scale)
{
    const int sw = screen.width();
    const int sh = screen.height();
    const int w = stored.isValid() ? stored.width() : kDesignWidth;
    const int h = stored.isValid() ? stored.height() : kDesignHeight;
    int x = position.x();
    int y = position.y();
    if (!havePosition) {
        // First start: centre the window on the screen.
        x = (sw - int(std::lround(w * scale))) / 2;
        y = (sh - int(std::lround(h * scale))) / 2;
    }
    if (x > sw - 1)
        x = sw - w;
    if (y > sh - 1)
        y = sh - h;
    x = qMax(0, x);
    y = qMax(0, y);
    int ws = int(std::lround(w * scale));
    int hs = int(std::lround(h * scale));
    if (ws > sw) {
        ws = sw;
        x = 0;
    }
    if (hs > sh) {
        hs = sh;
        y = 0;
    }
    return QRect(x, y, ws, hs);
}

void MainWindow::restoreGeometry()
{
    ConfigSetting* config = ConfigSetting::instance();
    const QVariant size = config->GetInit(QStringLiteral("WindowSize"), QStringLiteral("Size"));
    const QVariant pos = config->GetInit(QStringLiteral("WindowSize"), QStringLiteral("Position"));
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect s = screen ? screen->geometry() : QRect(0, 0, kDesignWidth, kDesignHeight);
    const QRect g = RestoredGeometry(size.toSize(), pos.toPoint(), pos.isValid(), s, ScaleFactor);
    move(g.topLeft());
    resize(g.size());
}

void MainWindow::storeGeometry()
{
    ConfigSetting* config = ConfigSetting::instance();
    config->SetInit(QStringLiteral("WindowSize"), QStringLiteral("Position"), pos());
    // Stored in 96 dots-per-inch units, so a restore on another screen scales it again.
    const QSize size(int(std::lround(width() / ScaleFactor)), int(std::lround(height() / ScaleFactor)));
    config->SetInit(QStringLiteral("WindowSize"), QStringLiteral("Size"), size);
}

void MainWindow::ScaleWidget(QWidget* widget, double factor)
{
    const QList<QWidget*> children = widget->findChildren<QWidget*>();
    for (QWidget* w : children) {
        const QMetaObject* mo = w->metaObject();
        if (mo == &QLabel::staticMetaObject || mo == &QPushButton::staticMetaObject
            || mo == &QWidget::staticMetaObject) {
            if (w->minimumWidth() != 0)
                w->setMinimumWidth(scaled(w->minimumWidth(), factor));
            if (w->minimumHeight() != 0)
                w->setMinimumHeight(scaled(w->minimumHeight(), factor));
            if (w->maximumWidth() < kNoMaximum)
                w->setMaximumWidth(scaled(w->maximumWidth(), factor));
            if (w->maximumHeight() <= kNoMaximum - 1)
                w->setMaximumHeight(scaled(w->maximumHeight(), factor));
        } else if (mo == &QGroupBox::staticMetaObject && w->layout()) {
            QLayout* layout = w->layout();
            QMargins m = layout->contentsMargins();
            if (qobject_cast<QGridLayout*>(layout)) {
                m.setTop(int(std::ceil(m.top() * factor)));
                layout->setContentsMargins(m);
            } else {
                layout->setContentsMargins(int(std::ceil(m.left() * factor)), int(std::ceil(m.top() * factor)),
                                           int(std::ceil(m.right() * factor)), int(std::ceil(m.bottom() * factor)));
            }
        }
    }
}

void MainWindow::styleNavigation(QWidget* selected)
{
    for (int i = 0; i < ui->navbar_layout->count(); ++i) {
        QWidget* w = ui->navbar_layout->itemAt(i)->widget();
        if (w)
            w->setStyleSheet(w == selected ? selectedStyle() : normalStyle());
    }
}

void MainWindow::OnControlButtonClicked()
{
    auto* button = qobject_cast<QWidget*>(sender());
    if (QWidget* page = widgetProperty(button))
        PageStack->setCurrentWidget(page);
    styleNavigation(button);
    CalibClickCount = 0;
}

void MainWindow::OnNavBarCurrentitemChanged(int index, QString item)
{
    Q_UNUSED(index)
    QWidget* current = PageStack->currentWidget();
    for (int i = 0; i < PageStack->count(); ++i) {
        QWidget* page = PageStack->widget(i);
        if (page != current && page->windowTitle() == item)
            PageStack->setCurrentWidget(page);
    }
}

void MainWindow::OnSkipWaitingConnect()
{
    show();
}

void MainWindow::on_tbn_min_clicked()
{
    showMinimized();
}

void MainWindow::on_tbn_close_clicked()
{
    close();
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    Frame->press(event);
    QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    Frame->move(event);
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    Frame->release(event);
    QMainWindow::mouseReleaseEvent(event);
}
