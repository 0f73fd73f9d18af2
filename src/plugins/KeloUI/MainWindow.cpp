#include "MainWindow.h"

#include "BootScreen.h"
#include "CPCIDB9.h"
#include "CollectSet.h"
#include "DebugConsole.h"
#include "DeviceAbout.h"
#include "Extend518.h"
#include "FramelessHelper.h"
#include "MaskWidget.h"
#include "MessageDialog.h"
#include "ParamConfig.h"
#include "PlaceholderPage.h"
#include "PlayBackSet.h"
#include "ReceiverCNR.h"
#include "ReceiverEphemeris.h"
#include "ReceiverStar.h"
#include "RecordManager.h"
#include "SceneManagerForm.h"
#include "SkyvaneManager.h"
#include "StyleSheetLoader.h"
#include "SystemSet2.h"
#include "UiFonts.h"
#include "WindowPlacement.h"
#include "WindowPresenter.h"
#include "ui_MainWindow.h"

#include <AppPaths.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <ReceiverDataTransportManager.h>
#include <RecordAssist.h>
#include <RecordCheck.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <UpDownLoadAssist.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QThread>
#include <QToolButton>
#include <QTranslator>

#include <cmath>

namespace {
constexpr int kNoMaximum = 16777215;

bool receiverWindowShown()
{
    return ReceiverCNR::Instance()->isVisible() || ReceiverEphemeris::Instance()->isVisible()
        || ReceiverStar::Instance()->isVisible();
}

int scaled(int v, double factor)
{
    return int(v * factor);
}

QWidget* widgetProperty(QObject* button)
{
    return button ? button->property("widget").value<QWidget*>() : nullptr;
}

struct Skin
{
    const char* text;
    const char* file;
};
// Menu order of the skin button.
const Skin kSkins[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "蓝色"), "blue.css"},
    {QT_TRANSLATE_NOOP("MainWindow", "深蓝"), "darkblue.css"},
    {QT_TRANSLATE_NOOP("MainWindow", "黑色"), "black.css"},
    {QT_TRANSLATE_NOOP("MainWindow", "黑色扁平"), "flatblack.css"},
    {QT_TRANSLATE_NOOP("MainWindow", "深黑"), "darkblack.css"},
    {QT_TRANSLATE_NOOP("MainWindow", "PS黑色"), "psblack.css"},
    {QT_TRANSLATE_NOOP("MainWindow", "银色"), "silvery.css"},
    {QT_TRANSLATE_NOOP("MainWindow", "白色扁平"), "flatwhite.css"},
};
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
    DebugConsole::install(config->GetInit(ConfigKey::DebugEnableConsole).toBool());

    BootScreen* boot = BootScreen::instance();
    boot->show();
    // The boot screen outlives this window (the host deletes the window at shut-down), so the
    // connection must end with the window, not with the screen.
    connect(boot, &BootScreen::SkipWaitingConnect, this, &MainWindow::OnSkipWaitingConnect, Qt::DirectConnection);

    ui->tbn_stylesheet->hide();
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    ui->widget_top->show();

    if (config->isTransponder()) {
        setWindowTitle(tr("转发器控制软件"));
        ui->label_main->setText(tr("转发器控制软件"));
    } else {
        // The task bar names the window as its own title bar does.
        setWindowTitle(ui->label_main->text());
    }
    setMouseTracking(true);

    // One manager per process, however many main windows a process builds: the receiver
    // windows it binds to the relay are process-wide as well.
    static SkyvaneManager* receiverManager = new SkyvaneManager;
    ReceiverManager = receiverManager;
    ReceiverDataTransportManager::Instance();

    WindowPlacement::install(this);

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
        markNavigation(w, widgetProperty(w) && widgetProperty(w) == PageStack->currentWidget());
    }
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::loadTranslations()
{
    if (!ConfigSetting::instance()->isEnglish) {
        loadQtChinese();
        return;
    }
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

void MainWindow::loadQtChinese()
{
    // Qt's own dialogs (file dialog, standard buttons and message boxes) speak the language of
    // the pages. One translator serves the process, however many windows it builds.
    static QTranslator* qtChinese = nullptr;
    if (qtChinese)
        return;
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QStringList dirs{AppPaths::applicationDir() + QStringLiteral("/translations"),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath)};
    for (const QString& dir : dirs) {
        if (translator->load(QStringLiteral("qt_zh_CN"), dir)) {
            QCoreApplication::installTranslator(translator);
            qtChinese = translator;
            return;
        }
    }
    qDebug() << "Qt的中文翻译未找到" << dirs;
    delete translator;
}

void MainWindow::Init()
{
    InitPages();
    RunTimeTimer.setInterval(1000);
    connect(&RunTimeTimer, &QTimer::timeout, this, [this] { UpdateRunTime(); });
    // A clock that stopped with the link is greyed on every skin.
    ui->label_DurationTime->setStyleSheet(QStringLiteral("QLabel:disabled { color: rgb(150, 150, 150); }"));
    InitSkinMenu();
    connect(ReceiverCNR::Instance(), &ReceiverCNR::closed, this, &MainWindow::receiver_close, Qt::QueuedConnection);
    connect(ReceiverEphemeris::Instance(), &ReceiverEphemeris::closed, this, &MainWindow::receiver_close,
            Qt::QueuedConnection);
    connect(ReceiverStar::Instance(), &ReceiverStar::closed, this, &MainWindow::receiver_close, Qt::QueuedConnection);
    ConnectServices();
    // A start without an instrument is offline from the first frame, as after a drop.
    if (!ProtocolManager::instance()->isConnected())
        ShowLinkDown();
    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));
    ReserveClockSourceWidth();
    connect(this, &MainWindow::PrintSystemLog, FileLogger::instance(), &FileLogger::slot_LogMessage);
    for (int i = 0; i < ui->navbar_layout->count(); ++i) {
        auto* button = qobject_cast<QAbstractButton*>(ui->navbar_layout->itemAt(i)->widget());
        if (button && button != ui->pbn_ParaCalib)
            connect(button, &QAbstractButton::clicked, this, &MainWindow::OnControlButtonClicked);
    }
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "主界面启动成功"));
}

void MainWindow::InitPages()
{
    PageStack = new QStackedWidget;
    PageStack->setObjectName(QStringLiteral("PageStack"));
    PlaybackPage = new PlayBackSet(PageStack);
    CollectPage = new CollectSet(nullptr);
    RecordManagerPage = new RecordManager(nullptr);
    DeviceAboutPage = new DeviceAbout(nullptr);
    CalibrationWindow = new ParamConfig(nullptr);

    for (QWidget* w : {PlaybackPage, CollectPage, RecordManagerPage, DeviceAboutPage, CalibrationWindow})
        ScaleWidget(w, ScaleFactor);

    MaskDialogNames = QStringList{QStringLiteral("BackupList"), QStringLiteral("TimeSeletor"),
                                  QStringLiteral("MessageDialog"), QStringLiteral("RecordImport")};

    ui->pbn_collectSet->setProperty("widget", QVariant::fromValue<QWidget*>(CollectPage));
    ui->pbn_playbackSet->setProperty("widget", QVariant::fromValue<QWidget*>(PlaybackPage));
    ui->pbn_recordmanager->setProperty("widget", QVariant::fromValue<QWidget*>(RecordManagerPage));
    ui->pbn_systemSet->setProperty("widget", QVariant::fromValue<QWidget*>(DeviceAboutPage));

    // The pages scroll inside the window rather than widen it past the screen, and a page that
    // grows (another tab, a record with more bands) does not resize the window under the mouse.
    PageArea = new QScrollArea;
    PageArea->setObjectName(QStringLiteral("PageArea"));
    PageArea->setFrameShape(QFrame::NoFrame);
    PageArea->setWidgetResizable(true);
    PageArea->setWidget(PageStack);
    PageArea->viewport()->setAutoFillBackground(false);
    PageStack->setAutoFillBackground(false);
    ui->SubLayout->addWidget(PageArea);
    // In the top bar, where it takes none of the pages' height.
    OfflineNotice = ui->label_offline;
    OfflineNotice->hide();
    PageStack->addWidget(CollectPage);
    PageStack->addWidget(PlaybackPage);
    PageStack->addWidget(RecordManagerPage);
    PageStack->addWidget(DeviceAboutPage);
    PageStack->setCurrentWidget(CollectPage);

    applyVariant();

    MaskWidget::instance()->setMainWidget(this);
    MaskWidget::instance()->setDialogNames(MaskDialogNames);

    // The record manager gates its own buttons: its local record list stays open offline.
    for (QWidget* page : {CollectPage, PlaybackPage})
        if (page->isEnabled())
            LinkGatedPages << page;
}

void MainWindow::hideButton(QWidget* button)
{
    button->hide();
    button->setEnabled(false);
}

void MainWindow::applyVariant()
{
    ConfigSetting* config = ConfigSetting::instance();
    if (config->isCpci()) {
        ui->pbn_extend->setText(tr("DB9数据"));
        ExtendPanel = new CPCIDB9(nullptr);
    } else if (config->is518()) {
        ui->pbn_extend->setText(tr("扩展协议"));
        ExtendPanel = new Extend518(nullptr);
        hideButton(ui->pbn_eph);
    } else if (config->isScene()) {
        ui->pbn_extend->setText(tr("场景管理"));
        ExtendPanel = new SceneManagerForm(qobject_cast<CollectSet*>(CollectPage), nullptr);
        hideButton(ui->pbn_eph);
    } else if (config->isPlaybackOnly()) {
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

    const bool transponder = config->isTransponder();
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

    const QString receiver = config->GetInit(ConfigKey::Receiver).toString().toLower();
    const bool hideReceiver = transponder ? receiver != QLatin1String("true") : receiver == QLatin1String("false");
    if (hideReceiver) {
        hideButton(ui->pbn_cn0);
        hideButton(ui->pbn_starSpace);
    }
}

QRect MainWindow::RestoredGeometry(const QSize& stored, const QPoint& position, bool havePosition, const QRect& screen,
                                   double scale)
{
    const int w = stored.isValid() ? stored.width() : kDesignWidth;
    const int h = stored.isValid() ? stored.height() : kDesignHeight;
    // The whole window on the screen it opens on (it has no frame of the window system); on the
    // first start centred.
    const QSize size(int(std::lround(w * scale)), int(std::lround(h * scale)));
    return WindowPlacement::place(size, position, havePosition, screen, screen);
}

void MainWindow::restoreGeometry()
{
    ConfigSetting* config = ConfigSetting::instance();
    const QVariant size = config->GetInit(ConfigKey::WindowSize);
    const QVariant pos = config->GetInit(ConfigKey::WindowPosition);
    const bool havePosition = pos.isValid() && pos.canConvert<QPoint>();
    QScreen* screen = havePosition ? WindowPlacement::screenAt(pos.toPoint()) : QGuiApplication::primaryScreen();
    const QRect s = screen ? screen->availableGeometry() : QRect(0, 0, kDesignWidth, kDesignHeight);
    QSize stored = size.toSize();
    if (!stored.isValid()) {
        // First start: large enough for the widest page where the screen allows it.
        const QSize chrome = minimumSizeHint() - PageArea->minimumSizeHint();
        const QSize pages = chrome + PageStack->minimumSizeHint();
        stored = QSize(kDesignWidth, kDesignHeight)
                     .expandedTo(QSize(int(std::ceil(pages.width() / ScaleFactor)),
                                       int(std::ceil(pages.height() / ScaleFactor))));
    }
    const QRect g = RestoredGeometry(stored, pos.toPoint(), havePosition, s, ScaleFactor);
    move(g.topLeft());
    resize(g.size());
}

void MainWindow::keepOnScreen()
{
    QScreen* screen = WindowPlacement::screenAt(geometry().center());
    if (!screen)
        return;
    const QRect s = screen->availableGeometry();
    const QRect g =
        RestoredGeometry(QSize(int(std::lround(width() / ScaleFactor)), int(std::lround(height() / ScaleFactor))),
                         pos(), true, s, ScaleFactor);
    if (g.size() != size())
        resize(g.size());
    if (g.topLeft() != pos())
        move(g.topLeft());
}

void MainWindow::storeGeometry()
{
    ConfigSetting* config = ConfigSetting::instance();
    config->SetInit(ConfigKey::WindowPosition, pos());
    // Stored in 96 dots-per-inch units, so a restore on another screen scales it again.
    const QSize size(int(std::lround(width() / ScaleFactor)), int(std::lround(height() / ScaleFactor)));
    config->SetInit(ConfigKey::WindowSize, size);
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
            markNavigation(w, w == selected);
    }
}

void MainWindow::markCurrentPage()
{
    for (int i = 0; i < ui->navbar_layout->count(); ++i) {
        QWidget* w = ui->navbar_layout->itemAt(i)->widget();
        if (w)
            markNavigation(w, widgetProperty(w) && widgetProperty(w) == PageStack->currentWidget());
    }
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // A window opened from the bar (receiver, extension panel) marks its button while it is in
    // front; once the main window is back in front the mark goes back to the page it shows.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        markCurrentPage();
}

void MainWindow::markNavigation(QWidget* button, bool selected)
{
    button->setStyleSheet(selected ? selectedStyle() : normalStyle());
    // The two gradients differ too little to be seen; the themes also mark the selected
    // button by this property.
    button->setProperty("selected", selected);
    button->style()->unpolish(button);
    button->style()->polish(button);
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

void MainWindow::presentBesideNavigation(QWidget* window)
{
    // The first time it opens beside the navigation, never over it, so that the pages stay
    // within reach; later where the person left it.
    if (!window->isVisible() && !window->testAttribute(Qt::WA_Moved) && isVisible()) {
        if (QScreen* screen = WindowPlacement::screenFor(this)) {
            const QRect nav(ui->navbar_widget->mapToGlobal(QPoint(0, 0)), ui->navbar_widget->size());
            const QRect r = WindowPlacement::beside(nav, window->size(), screen->availableGeometry(),
                                                    WindowPlacement::frameOf(window));
            if (r.isValid())
                window->setGeometry(r);
        }
    }
    WindowPresenter::present(window);
}

void MainWindow::on_pbn_cn0_clicked()
{
    ReceiverDataTransportManager::Instance()->RestartReceiverDataTrans();
    presentBesideNavigation(ReceiverCNR::Instance());
}

void MainWindow::on_pbn_eph_clicked()
{
    ReceiverDataTransportManager::Instance()->RestartReceiverDataTrans();
    WindowPresenter::present(ReceiverEphemeris::Instance());
}

void MainWindow::on_pbn_starSpace_clicked()
{
    ReceiverDataTransportManager::Instance()->RestartReceiverDataTrans();
    presentBesideNavigation(ReceiverStar::Instance());
}

void MainWindow::receiver_close()
{
    if (receiverWindowShown())
        return;
    ReceiverDataTransportManager::Instance()->StopReceiverDataTrans();
}

void MainWindow::OnSkipWaitingConnect()
{
    ShowOfflineNotice();
    keepOnScreen();
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

QString MainWindow::TimeText(quint32 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString MainWindow::StateText(SystemState state)
{
    const char* source = StateSource(state);
    return source ? tr(source) : QString();
}

const char* MainWindow::StateSource(SystemState state)
{
    switch (state) {
    case SystemState::Error:
        return QT_TR_NOOP("错误");
    case SystemState::Idle:
        return QT_TR_NOOP("空闲中");
    case SystemState::Collecting:
        return QT_TR_NOOP("采集中");
    case SystemState::Playback:
        return QT_TR_NOOP("回放中");
    case SystemState::Forwarding:
        return QT_TR_NOOP("转发中");
    case SystemState::Uploading:
        return QT_TR_NOOP("上传中");
    case SystemState::Downloading:
        return QT_TR_NOOP("下载中");
    case SystemState::Regenerating:
        return QT_TR_NOOP("再生中");
    }
    return nullptr;
}

void MainWindow::ConnectServices()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this, &MainWindow::slot_statechange);
    connect(protocol, &ProtocolManager::UpdateDeviceState, this, &MainWindow::slot_SyncDeviceState);
    connect(protocol, &ProtocolManager::NetSuccess, this, &MainWindow::slot_NetworkConnectState);
    // A link closed by hand and connected again retries from then on.
    connect(protocol, &ProtocolManager::ConnectFailed, this, [this] { ShowOfflineNotice(); });
    connect(protocol, &ProtocolManager::HeartBeatMsg, this, &MainWindow::slot_HeartBeatMsg);
    connect(protocol, &ProtocolManager::HeartBeatMsgEx, this, &MainWindow::slot_HeartBeatMsgEx);
    connect(protocol, &ProtocolManager::HeartBeatTimeout, this, &MainWindow::slot_HeartBeatTimeout);
    connect(RecordAssist::instance(), &RecordAssist::RecordListReady, this, &MainWindow::OnRecordListReady);
    // The window is deleted before the services, so each handler checks it is still there.
    QPointer<MainWindow> self(this);
    connect(
        protocol, &ProtocolManager::UpdateDeviceInfo, protocol,
        [self](DeviceInfo info) {
            if (self)
                self->OnUpdateDeviceInfo(info);
        },
        Qt::DirectConnection);
    connect(
        protocol, &ProtocolManager::GetDeviceSettingsFinished, protocol,
        [self] {
            if (self)
                self->OnDeviceSettingsFinished();
        },
        Qt::DirectConnection);
    connect(
        protocol, &ProtocolManager::ProgressUpdate, protocol,
        [self](uint progress, uint times) {
            if (self)
                self->OnProgressUpdate(progress, times);
        },
        Qt::DirectConnection);
    connect(protocol, &ProtocolManager::ErrorStopMsg, this, &MainWindow::slot_errorstop);
    connect(
        protocol, &ProtocolManager::ReplyCut, protocol,
        [self](uchar type, uchar cmd, const QByteArray& request) {
            if (self)
                self->NoteUnconfirmed(type, cmd, request);
        },
        Qt::DirectConnection);
}

void MainWindow::NoteUnconfirmed(uchar type, uchar cmd, const QByteArray& request)
{
    QString what;
    QStringList unsent;
    switch (Msg_Type(type)) {
    case Msg_Type::Collect: {
        const QString names[] = {tr("启动采集/转发"), tr("停止采集/转发"), tr("启动回放"), tr("停止回放")};
        if (cmd >= 1 && cmd <= 4)
            what = names[cmd - 1];
        break;
    }
    case Msg_Type::RecordedManager:
        // The record changes are named as their checks name them.
        if (Msg_Cmd(cmd) == Msg_Cmd::DeleteRecordInfo || Msg_Cmd(cmd) == Msg_Cmd::ChangeRecordNote
            || Msg_Cmd(cmd) == Msg_Cmd::DeleteAllRecord)
            what = RecordCheck::unknown(RecordCheck::ofRequest(cmd, request)).text;
        // The rest of the deletes the person confirmed never went out: not done either.
        if (Msg_Cmd(cmd) == Msg_Cmd::DeleteRecordInfo)
            if (const auto* records = qobject_cast<RecordManager*>(RecordManagerPage))
                for (const QString& name : records->unsentDeletes())
                    unsent << tr("删除记录 %1（未发送）").arg(name);
        break;
    case Msg_Type::UploadDownload:
        if (Msg_Cmd(cmd) == Msg_Cmd::StartUpload)
            what = tr("启动上传");
        else if (Msg_Cmd(cmd) == Msg_Cmd::StartDownload || Msg_Cmd(cmd) == Msg_Cmd::StartDownloadRecordEx)
            what = tr("启动下载");
        else if (Msg_Cmd(cmd) == Msg_Cmd::StopUpload)
            what = tr("停止上传");
        else if (Msg_Cmd(cmd) == Msg_Cmd::StopDownload)
            what = tr("停止下载");
        break;
    case Msg_Type::System:
        if (Msg_Cmd(cmd) == Msg_Cmd::SetIP)
            what = tr("修改设备IP");
        else if (Msg_Cmd(cmd) == Msg_Cmd::DeviceCheck)
            what = tr("设备自检");
        else if (cmd == quint8(ProtocolManager::DevConfigWrite))
            what = tr("设备参数设置");
        break;
    default:
        break;
    }
    // Requests the program makes on its own (list, queries, heartbeats) are none of the person's.
    for (const QString& w : QStringList(what) + unsent) {
        if (!w.isEmpty() && !Unconfirmed.contains(w))
            Unconfirmed << w;
    }
}

void MainWindow::slot_NetworkConnectState(bool isSuccess)
{
    qDebug() << "网络连接状态" << (isSuccess ? "true" : "false");
    if (isSuccess) {
        LinkDown = false;
        ShowFault(ui->label_global_status, false);
        ShowFault(ui->label_SystemStatus, false);
        ui->label_global_status->setText(tr("初始化中"));
        ui->label_SystemStatus->setText(tr("设备连接成功，初始化中...."));
        for (QWidget* page : LinkGatedPages)
            page->setEnabled(true);
        ShowOfflineNotice();
        // The relay went down with the link; a receiver window left open shows live data again
        // without waiting for its button.
        if (receiverWindowShown())
            ReceiverDataTransportManager::Instance()->RestartReceiverDataTrans();
        return;
    }
    RunTimeTimer.stop();
    // Only a state the instrument reported can have ended meanwhile; a second drop before the
    // next report keeps the state of the first.
    if (LinkPhase == 3 && !AwaitingStateAfterDrop) {
        AwaitingStateAfterDrop = true;
        StateAtDrop = RunState;
        RecordListSinceDrop = false;
    }
    LinkPhase = 0;
    ShowLinkDown();
    // Said once for the drop: each page ended its wait without a word of its own.
    if (!Unconfirmed.isEmpty())
        MessageDialog::ShowMessage(tr("连接断开"),
                                   tr("连接断开，以下操作未得到设备确认:\n%1").arg(Unconfirmed.join(QLatin1Char('\n'))),
                                   int(MessageDialog::MessageType::Warning));
    Unconfirmed.clear();
    // The relay's server waits for an instrument that is gone; a receiver button restarts it.
    if (!ui->pbn_cn0->isHidden() || !ui->pbn_starSpace->isHidden())
        ReceiverDataTransportManager::Instance()->StopReceiverDataTrans();
}

void MainWindow::ShowLinkDown()
{
    LinkDown = true;
    // Never reached and lost look the same: what ran may have ended since, the state is unknown
    // and the clock stopped.
    ui->label_global_status->setText(tr("未连接"));
    ShowFault(ui->label_global_status, true);
    ui->label_SystemStatus->setText(tr("设备未连接"));
    ShowFault(ui->label_SystemStatus, true);
    ui->label_DurationTime->setEnabled(false);
    // Nothing on these pages can reach the instrument until the link is up.
    for (QWidget* page : LinkGatedPages)
        page->setEnabled(false);
    ShowOfflineNotice();
}

void MainWindow::ShowOfflineNotice()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    const bool up = protocol->isConnected();
    OfflineNotice->setVisible(!up);
    if (up)
        return;
    if (protocol->link()->isRunning())
        OfflineNotice->setText(tr("设备未连接：需要设备的功能已停用，正在自动重连（每 %1 秒一次）")
                                   .arg(TcpConnect::kReconnectIntervalMs / 1000));
    else
        OfflineNotice->setText(tr("设备未连接：需要设备的功能已停用。连接已手动断开，请在“系统设置”中按“连接”"));
}

void MainWindow::slot_HeartBeatTimeout(uchar count)
{
    HeartBeatTimeoutCount = count;
}

void MainWindow::slot_HeartBeatMsg(HeartMsg msg)
{
    if (msg.Accepted == 0) {
        FileLogger::LogMessage(FileLogger::Warning, QT_TRANSLATE_NOOP("FileLogger", "心跳回包注册状态失败"));
        // A refused registration is no successful connection.
        ui->label_SystemStatus->setText(tr("设备未接受心跳注册"));
        return;
    } else if (HeartBeatTimeoutCount != 0 && InitStep > 1 && LinkPhase == 0) {
        // The link was dropped for missed heartbeats and is back. The way down cleared the
        // device configuration (capability flags, cached values, the extended heartbeat), so
        // it is fetched again before the state; the record list only if it never arrived.
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "重连设备成功"));
        HeartBeatTimeoutCount = 0;
        InitStep = 1;
        LinkPhase = 1;
        RequestInitStep(InitStep);
    } else if (HeartBeatTimeoutCount != 0 && LinkPhase >= 2) {
        // Missed heartbeats on a link that stayed up: the configuration still holds, the
        // state may have changed meanwhile.
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "重连设备成功"));
        LinkPhase = 2;
        HeartBeatTimeoutCount = 0;
        QueryDeviceState();
    } else {
        HeartBeatTimeoutCount = 0;
        if (LinkPhase == 0) {
            // The first accepted reply only arms the sequence.
            InitStep = 0;
            LinkPhase = 1;
            RecordListFetched = false;
            return;
        }
        // A miss in the middle of the sequence lands here too: the step it was on is asked for
        // again.
        if (LinkPhase == 1) {
            quint8 step = InitStep;
            RequestInitStep(step);
            // A reply handled inside the request may already have moved the sequence on.
            while (LinkPhase == 1 && InitStep > step && InitStep < 3) {
                step = InitStep;
                RequestInitStep(step);
            }
        } else if (LinkPhase == 2) {
            QueryDeviceState();
        }
    }
    ui->label_SystemStatus->setText(tr("设备连接成功"));
}

void MainWindow::RequestInitStep(quint8 step)
{
    switch (step) {
    case 0:
        qDebug() << "获取设备信息";
        FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "获取设备信息"));
        ui->label_global_status->setText(tr("获取设备信息"));
        ProtocolManager::instance()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device);
        break;
    case 1:
        qDebug() << "获取配置项";
        ui->label_global_status->setText(tr("获取配置项"));
        ProtocolManager::instance()->GetDeviceConfigSettingData();
        break;
    case 2:
        qDebug() << "获取记录列表";
        ui->label_global_status->setText(tr("获取记录列表"));
        RequestRecordList();
        break;
    default:
        break;
    }
}

void MainWindow::RequestRecordList()
{
    // RecordListReady moves the sequence on; a failed search is repeated on the next heartbeat.
    RecordAssist::instance()->SeachRecord();
}

void MainWindow::QueryDeviceState()
{
    FileLogger::LogMessage(FileLogger::Info, QT_TRANSLATE_NOOP("FileLogger", "同步设备状态"));
    ui->label_global_status->setText(tr("同步设备状态"));
    ProtocolManager::instance()->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device);
}

void MainWindow::OnUpdateDeviceInfo(const DeviceInfo& info)
{
    if (InitStep != 0 || LinkPhase != 1)
        return;
    InitStep = 1;
    ui->label_SN->setText(QString::fromLatin1(info.DeviceId, int(qstrnlen(info.DeviceId, sizeof info.DeviceId))));
    ui->label_global_status->setText(tr("获取配置项"));
    ProtocolManager::instance()->GetDeviceConfigSettingData();
}

void MainWindow::OnDeviceSettingsFinished()
{
    if (InitStep != 1 || LinkPhase != 1)
        return;
    InitStep = 2;
    if (ConfigSetting::instance()->isTransponder()) {
        LinkPhase = 2;
        QueryDeviceState();
    } else if (RecordListFetched) {
        // A reconnection: the list from before the drop stands.
        InitStep = 3;
        LinkPhase = 2;
        QueryDeviceState();
    } else {
        ui->label_global_status->setText(tr("获取记录列表"));
        RequestRecordList();
    }
}

void MainWindow::OnRecordListReady()
{
    RecordListSinceDrop = true;
    if (InitStep != 2 || LinkPhase != 1)
        return;
    LinkPhase = 2;
    InitStep = 3;
    RecordListFetched = true;
    QueryDeviceState();
}

void MainWindow::slot_SyncDeviceState(SyncDeviceState value)
{
    // A report the instrument sends on its own during the sequence is shown, but only the answer
    // awaited at the end of the sequence ends it: taken earlier, it would leave the device
    // information, configuration and record list unasked.
    if (LinkPhase == 2)
        LinkPhase = 3;
    RunTimeTimer.stop();
    ui->label_DurationTime->setEnabled(true);
    if (AwaitingStateAfterDrop) {
        AwaitingStateAfterDrop = false;
        if (SystemState(value.State) != StateAtDrop)
            ReportChangeDuringDrop(StateAtDrop, SystemState(value.State));
    }
    qDebug() << "收到设备状态同步上报";
    ui->label_SystemStatus->setText(tr("同步设备状态成功"));
    const auto state = SystemState(value.State);
    // Collection and playback time comes from the progress replies; an instrument that reports
    // its state every second would otherwise set the clock to the report's value between them.
    const bool progressRun = state == SystemState::Collecting || state == SystemState::Playback;
    if (!(progressRun && ClockFollowsProgress))
        ui->label_DurationTime->setText(TimeText(value.Value));
    switch (state) {
    case SystemState::Idle:
    case SystemState::Collecting:
    case SystemState::Playback:
        ui->label_global_status->setText(StateText(state));
        break;
    case SystemState::Forwarding:
        ui->label_global_status->setText(StateText(state));
        ElapsedSeconds = value.Value;
        RunTimeTimer.start();
        break;
    case SystemState::Uploading:
    case SystemState::Downloading:
        ui->label_global_status->setText(StateText(state));
        ElapsedSeconds = 0;
        RunTimeTimer.start();
        break;
    default:
        break;
    }
}

void MainWindow::slot_statechange(SystemState state)
{
    RunTimeTimer.stop();
    RunState = state;
    ClockFollowsProgress = false;
    // A change the PC made itself while the link is down says nothing of the instrument.
    if (LinkDown)
        return;
    ShowFault(ui->label_global_status, false);
    const bool transponder = ConfigSetting::instance()->isTransponder();
    switch (state) {
    case SystemState::Error:
        if (transponder) {
            static_cast<DeviceAbout*>(DeviceAboutPage)->GetSystemSet2()->deviceCheck(true);
            ui->label_global_status->setText(QString());
        } else {
            ShowFault(ui->label_global_status, true);
            ui->label_global_status->setText(StateText(state));
        }
        break;
    case SystemState::Forwarding:
    case SystemState::Uploading:
    case SystemState::Downloading:
        ui->label_global_status->setText(StateText(state));
        ElapsedSeconds = 0;
        RunTimeTimer.start();
        break;
    default:
        ui->label_global_status->setText(StateText(state));
        break;
    }
}

void MainWindow::ShowFault(QLabel* label, bool fault)
{
    // The label's own sheet outranks the skin's colour for it.
    label->setStyleSheet(fault ? QStringLiteral("color: rgb(230, 20, 20);") : QString());
}

void MainWindow::ReportChangeDuringDrop(SystemState held, SystemState reported)
{
    const char* run = nullptr;
    switch (held) {
    case SystemState::Collecting:
        run = QT_TR_NOOP("采集");
        break;
    case SystemState::Playback:
        run = QT_TR_NOOP("回放");
        break;
    case SystemState::Forwarding:
        run = QT_TR_NOOP("转发");
        break;
    case SystemState::Uploading:
        run = QT_TR_NOOP("上传");
        break;
    case SystemState::Downloading:
        run = QT_TR_NOOP("下载");
        break;
    case SystemState::Regenerating:
        run = QT_TR_NOOP("再生");
        break;
    default:
        break;
    }
    const char* state = StateSource(reported);
    const LogText text = run ? LogText("MainWindow", QT_TR_NOOP("连接断开期间%1已结束")).arg(LogText("MainWindow", run))
                             : LogText("MainWindow", QT_TR_NOOP("连接断开期间设备状态已变为%1"))
                                   .arg(state ? LogText("MainWindow", state) : LogText());
    // A transfer is this PC's own: its end was told when it ended here, with its reason, and the
    // record manager fetched the list after it. A second notice would tell it again.
    const bool transfer = held == SystemState::Uploading || held == SystemState::Downloading;
    if (transfer && UpDownLoadAssist::instance()->GetLastMethod() == quint8(SystemState::Idle)) {
        FileLogger::LogMessage(FileLogger::Info, text);
        return;
    }
    FileLogger::LogMessage(FileLogger::Warning, text);
    // Shown once the link is back: the title says so.
    MessageDialog::ShowMessage(tr("连接已恢复"), text.translated(), int(MessageDialog::MessageType::Warning));
    // What ended may have left a record, or removed one; the list from before the drop is stale.
    if (!ConfigSetting::instance()->isTransponder() && !RecordListSinceDrop)
        RecordAssist::instance()->SeachRecord();
}

void MainWindow::UpdateRunTime()
{
    qDebug() << ElapsedSeconds;
    ++ElapsedSeconds;
    ui->label_DurationTime->setText(TimeText(ElapsedSeconds));
}

void MainWindow::OnProgressUpdate(quint32 progress, quint32 times)
{
    Q_UNUSED(times)
    ui->label_DurationTime->setText(TimeText(progress));
    ClockFollowsProgress = RunState == SystemState::Collecting || RunState == SystemState::Playback;
}

void MainWindow::slot_HeartBeatMsgEx(const QMemorySetting& msg)
{
    if (!msg.existSection(QStringLiteral("Time")))
        return;
    const bool external = msg.getSectionValue(QStringLiteral("Time"), QStringLiteral("Source")).toBool();
    ui->label_statusBar->setText(ClockSourceText(external));
}

QString MainWindow::ClockSourceText(bool external)
{
    return tr("时钟源：%1").arg(external ? tr("外部时钟") : tr("内部时钟"));
}

void MainWindow::ReserveClockSourceWidth()
{
    // The first report of the clock source comes with the link: its room is kept from the start,
    // so the items beside it do not move when it arrives.
    ui->label_statusBar->ensurePolished();
    const QFontMetrics metrics(ui->label_statusBar->font());
    const int widest =
        qMax(metrics.horizontalAdvance(ClockSourceText(true)), metrics.horizontalAdvance(ClockSourceText(false)));
    ui->label_statusBar->setMinimumWidth(widest + 2 * ui->label_statusBar->margin() + 4);
}

void MainWindow::slot_errorstop(QString err)
{
    MessageDialog::ShowMessage(tr("设备主动停止"), err, int(MessageDialog::MessageType::Error));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (RunState == SystemState::Error || RunState == SystemState::Idle) {
        event->accept();
        QCoreApplication::exit(0);
        return;
    }
    // Stopping ends a run that cannot be taken up again: no Return or Escape meant for something
    // else answers it, only a click or Space on its button.
    const QString question = tr("设备处于非空闲状态，是否停止后退出?");
    // The run may end while the question is open: the question goes with it.
    constexpr int kRunEnded = -100;
    const QMetaObject::Connection watch =
        connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this, [question](SystemState state) {
            if (state == SystemState::Idle || state == SystemState::Error)
                MessageDialog::Withdraw(question, kRunEnded);
        });
    const int answer = MessageDialog::QuestionSafe(tr("退出"), question, int(MessageDialog::MessageType::Question),
                                                   {tr("停止并退出"), tr("不停止退出"), tr("取消")}, 2);
    disconnect(watch);
    if (answer == kRunEnded) {
        // Nothing is left to stop: only whether to quit is still open.
        const int quit =
            MessageDialog::QuestionSafe(tr("退出"), tr("设备已空闲（运行在询问期间已结束），是否退出?"),
                                        int(MessageDialog::MessageType::Question), {tr("退出"), tr("取消")}, 1);
        if (quit == 0) {
            event->accept();
            QCoreApplication::exit(0);
            return;
        }
        event->ignore();
        return;
    }
    if (answer == 0)
        StopCurrentWork();
    if (answer == 0 || answer == 1) {
        event->accept();
        QCoreApplication::exit(0);
        return;
    }
    event->ignore();
}

void MainWindow::StopCurrentWork()
{
    ProtocolManager* protocol = ProtocolManager::instance();
    switch (RunState) {
    case SystemState::Collecting:
    case SystemState::Forwarding:
        protocol->StopRecordCmd(true);
        break;
    case SystemState::Playback:
        protocol->StopPlaybackCmd();
        break;
    case SystemState::Uploading:
        UpDownLoadAssist::instance()->StopUploadCmdFromUI();
        break;
    case SystemState::Downloading:
        UpDownLoadAssist::instance()->StopDownloadCmdFromUI();
        break;
    default:
        break;
    }
}

void MainWindow::InitSkinMenu()
{
    ui->tbn_stylesheet->setPopupMode(QToolButton::InstantPopup);
    for (const Skin& skin : kSkins) {
        auto* action = new QAction(tr(skin.text), this);
        ui->tbn_stylesheet->addAction(action);
        connect(action, &QAction::triggered, this, &MainWindow::OnSkinChanged);
    }
}

void MainWindow::OnSkinChanged()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    for (const Skin& skin : kSkins) {
        if (action->text() == tr(skin.text)) {
            StyleSheetLoader::apply(this, QString::fromLatin1(skin.file));
            return;
        }
    }
}

void MainWindow::on_pbn_ParaCalib_clicked()
{
    // The five clicks keep the window from opening by chance; once open, one brings it back.
    if (CalibrationWindow->isVisible() || ++CalibClickCount > 4) {
        WindowPresenter::present(CalibrationWindow);
        CalibClickCount = 0;
    }
}

void MainWindow::on_pbn_extend_clicked()
{
    if (ExtendPanel)
        WindowPresenter::present(ExtendPanel);
}
