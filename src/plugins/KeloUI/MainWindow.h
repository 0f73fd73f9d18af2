#pragma once

#include "keloui_global.h"

#include <DeviceInfo.h>
#include <FileLogger.h>
#include <HeartMsg.h>
#include <QMemorySetting.h>
#include <SyncDeviceState.h>
#include <SystemState.h>

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace Ui {
class MainWindow;
}
class FramelessHelper;
class QLabel;
class QScrollArea;
class QStackedWidget;
class SkyvaneManager;

// The one top-level window: top bar, navigation column, page area and status bar. It is built
// hidden at start-up and shown when the boot screen reports that waiting is over.
class KELOUI_EXPORT MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 1037;
    static constexpr int kDesignHeight = 706;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QStackedWidget* pageStack() const { return PageStack; }
    QScrollArea* pageArea() const { return PageArea; }
    QWidget* extendPanel() const { return ExtendPanel; }
    QWidget* calibrationWindow() const { return CalibrationWindow; }
    double scaleFactor() const { return ScaleFactor; }
    SkyvaneManager* receiverManager() const { return ReceiverManager; }
    // The English translation files installed, empty when the language is Chinese or none exist.
    int installedTranslations() const { return Translators.size(); }

    // Scales the fixed sizes of the labels, buttons and plain widgets below `widget` and the
    // top margins of its group boxes by `factor`, so a form keeps its proportions on a denser
    // screen.
    static void ScaleWidget(QWidget* widget, double factor);
    // Where the window opens: the stored size (in 96 dots-per-inch units) scaled by `scale`
    // and the stored position, the whole window kept within `screen` (the available area of
    // the screen it opens on). An invalid size is the designer's; an absent position centres
    // the window.
    static QRect RestoredGeometry(const QSize& stored, const QPoint& position, bool havePosition, const QRect& screen,
                                  double scale);

    // "hh:mm:ss" of a count of seconds; the hours are not wrapped at a day.
    static QString TimeText(quint32 seconds);
    // The run-state text of the status bar, empty for a value outside the list.
    static QString StateText(SystemState state);
    // The same text untranslated, for log lines (the log file keeps the source language).
    static const char* StateSource(SystemState state);

    static QString selectedStyle();
    static QString normalStyle();

signals:
    void PrintSystemLog(FileLogger::LogType logtype, QString msg);

public slots:
    void OnNavBarCurrentitemChanged(int index, QString item);
    void OnControlButtonClicked();
    void OnSkipWaitingConnect();

    void slot_SyncDeviceState(SyncDeviceState value);
    void slot_HeartBeatTimeout(uchar count);
    void slot_NetworkConnectState(bool isSuccess);
    void slot_HeartBeatMsg(HeartMsg msg);
    void slot_HeartBeatMsgEx(const QMemorySetting& msg);
    void slot_statechange(SystemState state);
    void slot_errorstop(QString err);
    // The record list of the instrument is complete.
    void OnRecordListReady();

private slots:
    void on_tbn_min_clicked();
    void on_tbn_close_clicked();
    void on_pbn_ParaCalib_clicked();
    void on_pbn_extend_clicked();
    void on_pbn_cn0_clicked();
    void on_pbn_eph_clicked();
    void on_pbn_starSpace_clicked();
    void receiver_close();
    void OnSkinChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void presentBesideNavigation(QWidget* window);
    void loadTranslations();
    static void loadQtChinese();
    void Init();
    void InitPages();
    void applyVariant();
    void restoreGeometry();
    void keepOnScreen();
    void markNavigation(QWidget* button, bool selected);
    void storeGeometry();
    void styleNavigation(QWidget* selected);
    // Marks the button of the page on screen and no other.
    void markCurrentPage();
    void hideButton(QWidget* button);
    void InitSkinMenu();
    void ConnectServices();
    void OnUpdateDeviceInfo(const DeviceInfo& info);
    void OnDeviceSettingsFinished();
    void OnProgressUpdate(quint32 progress, quint32 times);
    void UpdateRunTime();
    void RequestInitStep(quint8 step);
    void RequestRecordList();
    void QueryDeviceState();
    void StopCurrentWork();
    // Shows a status-bar text in the colour of a fault, or in the skin's own.
    static void ShowFault(QLabel* label, bool fault);
    void ReportChangeDuringDrop(SystemState held, SystemState reported);
    // The line above the pages that says, while the link is down, why what needs the instrument
    // is off and whether the link is being retried.
    // The look of a link that is down, whether it never came up or dropped.
    void ShowLinkDown();
    static QString ClockSourceText(bool external);
    void ReserveClockSourceWidth();
    void ShowOfflineNotice();
    // Notes a command of the person's that the link took down before the instrument confirmed it.
    void NoteUnconfirmed(uchar type, uchar cmd, const QByteArray& request);

    Ui::MainWindow* ui;
    SystemState RunState = SystemState::Idle;
    quint8 InitStep = 0;
    quint8 LinkPhase = 0;
    quint32 HeartBeatTimeoutCount = 0;
    // The sequence has fetched the record list on this run of the window; a reconnection then
    // fetches only the configuration and the state.
    bool RecordListFetched = false;
    // While the link is down the run state is unknown: the status bar says so, and the first
    // state report after the return is compared with the state held when the link dropped.
    bool LinkDown = false;
    bool AwaitingStateAfterDrop = false;
    SystemState StateAtDrop = SystemState::Idle;
    bool RecordListSinceDrop = false;
    // What the dropped link left unconfirmed, told once with the drop.
    QStringList Unconfirmed;
    QWidget* PlaybackPage = nullptr;
    QWidget* CollectPage = nullptr;
    QWidget* RecordManagerPage = nullptr;
    QWidget* DeviceAboutPage = nullptr;
    QWidget* CalibrationWindow = nullptr;
    QWidget* ExtendPanel = nullptr;
    SkyvaneManager* ReceiverManager = nullptr;
    QStackedWidget* PageStack = nullptr;
    QScrollArea* PageArea = nullptr;
    QLabel* OfflineNotice = nullptr;
    QTimer RunTimeTimer;
    quint32 ElapsedSeconds = 0;
    // The clock shows a collection's or playback's progress: a state report of that run leaves it.
    bool ClockFollowsProgress = false;
    QStringList MaskDialogNames;
    int CalibClickCount = 0;
    std::unique_ptr<FramelessHelper> Frame;
    double ScaleFactor = 1.0;
    QList<QObject*> Translators;
    // Pages the link gates: those the variant left usable. The device information page is not
    // among them, as it holds the connect button.
    QList<QWidget*> LinkGatedPages;
};
