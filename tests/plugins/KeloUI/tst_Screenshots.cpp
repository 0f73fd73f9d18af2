#include <UiTestSupport.h>

#include <BootScreen.h>
#include <CPCIDB9.h>
#include <ConfigSetting.h>
#include <Extend518.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <MainWindow.h>
#include <MaskWidget.h>
#include <MessageDialog.h>
#include <OutputPowerAtten.h>
#include <ParamConfig.h>
#include <PlayBackSet.h>
#include <ProtocolManager.h>
#include <RecordAssist.h>
#include <RecordManager.h>
#include <SceneManagerForm.h>
#include <StyleSheetLoader.h>
#include <SystemSet2.h>
#include <TestTime.h>
#include <TimeSeletor.h>
#include <Tumbler.h>
#include <TumblerDateTime.h>
#include <UiFonts.h>
#include <WindowPlacement.h>

#include <DeviceAbout.h>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include <CollectSet.h>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStandardItemModel>
#include <QTcpServer>
#include <QTextEdit>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <memory>
#include <utility>

// Pictures of what a person sees, written to <build>/test-output. Under a real display
// (xvfb-run with QT_QPA_PLATFORM=xcb) the whole screen is captured as well.
class tst_Screenshots : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    UiTest::Screenshots m_shots;
    UiTest::RealDialogs m_real; // the pictures show the messages themselves

    // Pictures of each message as it comes up, answered one after another.
    void captureMessages(const QString& name, int count)
    {
        for (int i = 1; i <= count; ++i) {
            QWidget* dialog = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((dialog = UiTest::visibleWindows("MessageDialog").value(0)) != nullptr,
                                     TestTime::ms(10000));
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QCoreApplication::processEvents();
            QVERIFY(UiTest::hasManyColours(
                m_shots.captureTranslated(dialog, count == 1 ? name : QStringLiteral("%1-%2").arg(name).arg(i))));
            QPointer<QWidget> guard(dialog);
            dialog->findChild<QDialogButtonBox*>("buttonBox")->buttons().first()->click();
            QTRY_VERIFY(guard.isNull());
        }
        QTRY_VERIFY(UiTest::visibleWindows("MessageDialog").isEmpty());
    }

    void openMainWindow(MainWindow& w)
    {
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    }

private slots:
    void cleanup() { m_shots.verifyNothingClipped(); }

    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        m_shots.setUp(*m_app);
        WindowPlacement::install(nullptr);
        UiTest::stageThemes(*m_app);
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkPort, probe.serverPort());
        ConfigSetting::instance()->configMode = "CPCI";
    }

    void chineseTextsUseAnInstalledCjkFont()
    {
        UiFonts::installSubstitutes();
        QVERIFY2(!UiFonts::substitute().isEmpty(), "no CJK font installed");
        QLabel label(QStringLiteral("采集回放仪控制软件"));
        label.setFont(QFont(QStringLiteral("微软雅黑"), 12));
        QVERIFY2(QFontInfo(label.font()).family().contains("CJK"), qPrintable(QFontInfo(label.font()).family()));
    }

    void bootScreenThenMainWindowThenDialog()
    {
        MainWindow w;
        BootScreen* boot = BootScreen::instance();
        QVERIFY(boot->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(boot));
        QVERIFY(UiTest::hasManyColours(m_shots.capture(boot, "boot-screen")));
        // The address page, the longest address whole: the field does not scroll its start away.
        boot->findChild<QToolButton*>("pbn_setIP")->click();
        auto* field = boot->findChild<QLineEdit*>("lineEdit_IP");
        const QString ip = field->text();
        field->setText(QStringLiteral("255.255.255.255"));
        QVERIFY(UiTest::hasManyColours(m_shots.capture(boot, "boot-screen-address")));
        const auto cursorX = [field] { return field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(); };
        const int end = cursorX();
        field->setCursorPosition(0);
        field->repaint();
        QCOMPARE(end - cursorX(), field->fontMetrics().horizontalAdvance(field->text()));
        field->setText(ip);

        boot->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "main-window")));

        QImage withDialog;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = UiTest::visibleWindows("MessageDialog").value(0);
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QVERIFY(MaskWidget::instance()->isVisible());
            (void)QTest::qWaitFor([&] { return dialog->isActiveWindow(); }, 3000); // the focus shows once active
            withDialog = m_shots.captureTranslated(dialog, "exit-question");
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        auto text = [](const char* source) { return QCoreApplication::translate("MainWindow", source); };
        QCOMPARE(MessageDialog::QuestionSafe(text("退出"), text("设备处于非空闲状态，是否停止后退出?"), 4,
                                             {text("停止并退出"), text("不停止退出"), text("取消")}, 2),
                 2);
        QVERIFY(UiTest::hasManyColours(withDialog));
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    void mainWindowOnEveryPage()
    {
        MainWindow w;
        openMainWindow(w);
        for (const char* name : {"pbn_collectSet", "pbn_playbackSet", "pbn_recordmanager", "pbn_systemSet"}) {
            QTest::mouseClick(w.findChild<QToolButton*>(name), Qt::LeftButton);
            QCoreApplication::processEvents();
            QVERIFY(UiTest::hasManyColours(
                m_shots.capture(&w, QStringLiteral("page-") + w.pageStack()->currentWidget()->objectName())));
        }
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    // The longest texts the pages show, each whole in its dialog.
    void messagesWithTheirLongestTexts()
    {
        MainWindow w;
        openMainWindow(w);
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_systemSet"), Qt::LeftButton);
        auto* about = qobject_cast<DeviceAbout*>(w.pageStack()->currentWidget());
        QVERIFY(about);
        // A self-check with every fault on four boards: one message.
        SelfCheckReport check(4);
        for (int card = 1; card <= 4; ++card)
            check.add(card, 7);
        about->GetSystemSet2()->tellCheck(check);
        captureMessages(QStringLiteral("message-self-check"), 1);
        QTimer::singleShot(0, [this] {
            QWidget* dialog = UiTest::visibleWindows("MessageDialog").value(0);
            QVERIFY(dialog && QTest::qWaitForWindowExposed(dialog));
            (void)QTest::qWaitFor([&] { return dialog->isActiveWindow(); }, 3000); // the focus shows once active
            m_shots.capture(dialog, "question-clear-all");
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        QVERIFY(QMetaObject::invokeMethod(about->GetSystemSet2(), "on_ptn_clear_clicked"));

        DeviceInfo info;
        info.ChannelNum = 4;
        for (int i = 0; i < 4; ++i) {
            DeviceBoardInfo b;
            b.SoftMajor = 1;
            b.SoftMinor = 2;
            b.SoftBuild = qint16(3 + i);
            b.HardwareVersion = 0x00020001;
            b.FpgaMajor = 1;
            b.FpgaMinor = 0x2;
            b.FpgaBuild = 0x1a;
            info.Boards << b;
        }
        info.BoardNum = 4;
        about->slot_update_device_info(info);
        about->findChild<QPushButton*>("pushButton_showHardVer")->click();
        captureMessages(QStringLiteral("message-card-versions"), 1);
        // No program opens folders: 打开路径 says so, with the path.
        QDesktopServices::setUrlHandler("file", this, "noSuchSlot");
        about->GetSystemSet2()->findChild<QLineEdit*>("txt_CurrentPath")->setText(m_app->root());
        about->GetSystemSet2()->findChild<QPushButton*>("pbn_OpenPath")->click();
        captureMessages(QStringLiteral("message-open-folder"), 1);
        QDesktopServices::unsetUrlHandler("file");

        QTest::mouseClick(w.findChild<QToolButton*>("pbn_recordmanager"), Qt::LeftButton);
        auto* records = qobject_cast<RecordManager*>(w.pageStack()->currentWidget());
        QVERIFY(records);
        const QVariant path = ConfigSetting::instance()->GetInit(ConfigKey::DataSavePath);
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, m_app->root() + "/no-such-folder");
        QVERIFY(QMetaObject::invokeMethod(records, "on_ptn_Upload_clicked"));
        captureMessages(QStringLiteral("message-data-path"), 1);
        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, path);

        // Uploading again over a complete local copy: what the question says of the copy, and the
        // notice when the link then drops.
        auto page = [](const char* source) { return QCoreApplication::translate("RecordManager", source); };
        const QString name = QStringLiteral("20231114221320");
        QTimer::singleShot(0, [this] {
            QWidget* dialog = UiTest::visibleWindows("MessageDialog").value(0);
            QVERIFY(dialog && QTest::qWaitForWindowExposed(dialog));
            (void)QTest::qWaitFor([&] { return dialog->isActiveWindow(); }, 3000);
            QVERIFY(UiTest::hasManyColours(m_shots.captureTranslated(dialog, "question-upload-again")));
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(MessageDialog::QuestionSafe(page("上传确认"),
                                             page("记录 %1 已完成上传，是否重新上传?").arg(name) + QLatin1Char('\n')
                                                 + page("重新上传的数据先另存，全部传完后才替换本地现有的完整副本；"
                                                        "未传完或被停止时，现有副本保持不变、仍可使用。"),
                                             4, {page("是"), page("否")}, 1),
                 1);
        const LogText reason = LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡%1：%2"))
                                   .arg(2)
                                   .arg(LogText(QT_TRANSLATE_NOOP("FileLogger", "采集卡断开")));
        MessageDialog::ShowMessage(page("传输错误"),
                                   page("上传数据错误，上传已终止!") + QLatin1Char('\n') + reason.translated()
                                       + QLatin1Char('\n')
                                       + page("记录 %1 本地原有的完整副本保持不变，仍可使用。").arg(name),
                                   1);
        captureMessages(QStringLiteral("message-upload-again-failed"), 1);
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    // Qt's own file dialog, as the update page opens it, speaks the pages' language.
    void fileDialogInChinese()
    {
        MainWindow w;
        openMainWindow(w);
        QFileDialog dialog(&w, QStringLiteral("选择一个更新ZIP包"), m_app->root(), QStringLiteral("ZIP压缩包(*.zip)"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCoreApplication::processEvents();
        auto* box = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(box);
        // In English the pages leave Qt's own texts in English.
        if (m_shots.language.isEmpty())
            QCOMPARE(box->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
        else
            QVERIFY(!box->button(QDialogButtonBox::Cancel)->text().contains(QStringLiteral("取消")));
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&dialog, QStringLiteral("file-dialog"))));
        dialog.close();
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    void deviceInformationPageWithItsLog()
    {
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_systemSet"), Qt::LeftButton);
        QCOMPARE(w.pageStack()->currentWidget()->objectName(), QStringLiteral("DeviceAbout"));
        FileLogger::LogMessage(FileLogger::Info, QStringLiteral("获取设备信息"));
        FileLogger::LogMessage(FileLogger::Warning, QStringLiteral("心跳回包注册状态失败"));
        FileLogger::LogMessage(FileLogger::Error, QStringLiteral("<b>不是标记</b> 网络发送失败"));
        FileLogger::LogMessage(FileLogger::Debug, QStringLiteral("调试信息"));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "device-information")));
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    void recordManagerWithRecordsAndAnUpload()
    {
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_recordmanager"), Qt::LeftButton);
        auto* page = qobject_cast<RecordManager*>(w.pageStack()->currentWidget());
        QVERIFY(page);
        ProtocolManager* pm = ProtocolManager::instance();
        pm->freqBands.insert(1, FreqBand{QStringLiteral("GPS_L1"), 1575420000, 0xFF, false});
        pm->freqBands.insert(2, FreqBand{QStringLiteral("BDS_B1I"), 1561098000, 0xFF, false});
        pm->freqBands.insert(9, FreqBand{QStringLiteral("自定义1"), 1600000000, 0xFF, true});
        QList<RecordEx>& list = RecordAssist::instance()->Records;
        list.clear();
        for (int i = 0; i < 6; ++i) {
            RecordEx r;
            r.SetRecordValue("Name", 1704110400u + 3600u * uint(i));
            r.SetRecordValue("StartTime", 1704110400u + 3600u * uint(i));
            r.SetRecordValue("Duration", 95 + 600 * i);
            r.SetRecordValue("Size", 700 + 900 * i);
            r.SetRecordValue("Available", i != 3);
            r.SetRecordValue("Bit", i % 2 ? 4 : 8);
            r.SetRecordValue("FreqNum", 1 + i % 2);
            r.setSectionValue("Freq1", "Num", 1);
            r.setSectionValue("Freq2", "Num", i == 5 ? 9 : 2);
            r.SetRecordValue("Remark", QStringLiteral("外场测试 %1").arg(i + 1));
            r.BuildIndex();
            list << r;
        }
        page->slot_RecordListReady();
        page->findChild<QTableView*>("tabel_Device")->selectRow(5);
        page->slot_Upload_Dwonload_UpdateProgress(42, 87.25);
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "record-manager")));
        QVERIFY(QMetaObject::invokeMethod(page, "on_ptn_changenote_clicked"));
        auto* note = w.findChild<MessageDialog*>();
        QVERIFY(note && QTest::qWaitForWindowExposed(note));
        QVERIFY(UiTest::hasManyColours(m_shots.capture(note, "record-note")));
        note->reject();
        // The delete questions name the records as the list shows them; Return answers no.
        for (const char* shot : {"question-delete-one", "question-delete-several"}) {
            if (QByteArray(shot).endsWith("several")) {
                page->findChild<QPushButton*>("ptn_selectmode")->click();
                for (int row = 0; row < list.size(); ++row)
                    page->findChild<QTableView*>("tabel_Device")->selectRow(row);
            }
            QTimer::singleShot(0, [this, shot] {
                QWidget* dialog = UiTest::visibleWindows("MessageDialog").value(0);
                QVERIFY(dialog && QTest::qWaitForWindowExposed(dialog));
                (void)QTest::qWaitFor([&] { return dialog->isActiveWindow(); }, 3000);
                QVERIFY(UiTest::hasManyColours(m_shots.captureTranslated(dialog, shot)));
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
            });
            QVERIFY(QMetaObject::invokeMethod(page, "on_ptn_Delete_clicked"));
        }
        list.clear();
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    void runningCollectionWithItsElapsedTime()
    {
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // As if the instrument were connected and reported the run.
        w.slot_NetworkConnectState(true);
        w.slot_statechange(SystemState::Collecting);
        // The collection page's progress poll carries the elapsed time.
        emit ProtocolManager::instance()->ProgressUpdate(3725, 0);
        QCOMPARE(w.findChild<QLabel*>("label_global_status")->text(),
                 QCoreApplication::translate("MainWindow", "采集中"));
        QCOMPARE(w.findChild<QLabel*>("label_DurationTime")->text(), QStringLiteral("01:02:05"));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "collecting")));
        w.slot_NetworkConnectState(false);
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "collecting-link-lost")));
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    void collectionPageAfterTheStartUpSequence()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* page = qobject_cast<CollectSet*>(w.pageStack()->currentWidget());
        QVERIFY(page);
        ProtocolManager* pm = ProtocolManager::instance();
        QSignalSpy state(pm, &ProtocolManager::UpdateDeviceState);
        pm->ConnectTcp(QStringLiteral("127.0.0.1"), sim.port());
        QVERIFY(UiTest::waitCount(state, 1, TestTime::ms(20000)));
        QTRY_VERIFY_WITH_TIMEOUT(page->findChild<QComboBox*>("cbx_band4"), TestTime::ms(10000));
        QTRY_VERIFY_WITH_TIMEOUT(page->findChild<QToolButton*>("ptn_StartCollect")->isEnabled(), TestTime::ms(10000));
        page->findChild<QTextEdit*>("txt_Note")->setPlainText(QStringLiteral("楼顶天线，晴"));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "collection-page")));
        QSignalSpy link(pm, &ProtocolManager::NetSuccess);
        pm->DisConnectTcp();
        UiTest::waitCount(link, 1);
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    // The system settings page on its own against the simulated instrument, one picture per tab.
    void systemSettingsPageTabs()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        ConfigSetting* c = ConfigSetting::instance();
        const QVariant port = c->GetInit(ConfigKey::NetworkPort);
        c->SetInit(ConfigKey::NetworkPort, sim.port());
        c->configMode = "518";
        sim.profile().boards[0].diskTotalMb = 2097152;
        sim.profile().boards[0].diskFreeMb = 1048576;
        sim.profile().devConfig.values["Bandwidth/BandwidthList"] = "20000000,40000000,62500000";
        sim.profile().devConfig.values["Bandwidth/Bandwidth"] = "62500000";
        sim.profile().devConfig.values["SampleRate/SampleRateList"] = "25000000,50000000,75000000";
        QSignalSpy link(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        SystemSet2 page;
        StyleSheetLoader::apply(&page, QStringLiteral("silvery.css"));
        QVERIFY(UiTest::waitCount(link, 1));
        QSignalSpy done(ProtocolManager::instance(), &ProtocolManager::GetDeviceSettingsFinished);
        QSignalSpy volume(ProtocolManager::instance(), &ProtocolManager::ReceivedDiskVolume);
        ProtocolManager::instance()->GetDeviceConfigSettingData();
        QVERIFY(UiTest::waitCount(done, 1));
        // No shorter than the page stands in the main window on a 768 px screen.
        page.resize(1100, 640);
        QSignalSpy feed(ProtocolManager::instance(), &ProtocolManager::UpdateFeedSwitchStatus);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        // The last value that showing the page reads back.
        QVERIFY(UiTest::waitCount(volume, 1));
        QVERIFY(UiTest::waitCount(feed, 2));
        auto* tabs = page.findChild<QTabWidget*>("tabWidget_function");
        QVERIFY(tabs && tabs->count() >= 5);
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            QVERIFY(UiTest::hasManyColours(
                m_shots.capture(&page, QStringLiteral("system-settings-") + tabs->widget(i)->objectName())));
        }
        // A write answered past its wait: the write buttons are held meanwhile, and the answer is
        // told as its own once it came.
        tabs->setCurrentWidget(page.findChild<QWidget*>("tab_transpond"));
        ProtocolManager::instance()->setConfigWaitForTest(TestTime::ms(500));
        sim.faults().lateMs[quint16(quint8(Msg_Type::System) << 8 | quint8(Msg_Cmd::DevConfig))] = TestTime::ms(800);
        page.findChild<QLineEdit*>("lineEdit_transpondDelay")->setText("1500");
        page.findChild<QPushButton*>("pushButton_settrans")->click();
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&page, "system-settings-write-held")));
        captureMessages(QStringLiteral("message-write-late"), 1);
        sim.faults().lateMs.clear();
        ProtocolManager::instance()->setConfigWaitForTest(ProtocolManager::kConfigWaitMs);
        // A network change that cannot be sent says so.
        QSignalSpy down(ProtocolManager::instance(), &ProtocolManager::NetSuccess);
        ProtocolManager::instance()->DisConnectTcp();
        UiTest::waitCount(down, 1);
        page.findChild<QLineEdit*>("txt_IP")->setText("192.168.1.10");
        page.findChild<QLineEdit*>("txt_NetMask")->setText("255.255.255.0");
        page.findChild<QLineEdit*>("txt_Gateway")->setText("192.168.1.1");
        page.on_ptn_SetDeviceIP_clicked();
        captureMessages(QStringLiteral("message-set-ip-unsent"), 1);
        page.close();
        c->SetInit(ConfigKey::NetworkPort, port);
        c->configMode = "CPCI";
    }

    // The calibration window after the access code, on both of its pages.
    void calibrationWindowPages()
    {
        ParamConfig::setPortsForTest(0, 9);
        for (const char* variant : {"CPCI", "LEO"}) {
            ConfigSetting::instance()->configMode = variant;
            ParamConfig window;
            emit ProtocolManager::instance()->UpdateDeviceInfo(DeviceInfo());
            window.findChild<QLineEdit*>("ManagerMM")->setText(ParamConfig::kAccessCode);
            window.findChild<QPushButton*>("pbn_DL")->click();
            window.resize(760, 620);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCoreApplication::processEvents();
            QVERIFY(UiTest::hasManyColours(
                m_shots.capture(&window, QStringLiteral("calibration-") + QLatin1String(variant))));
        }
        ConfigSetting::instance()->configMode = "CPCI";
        ParamConfig::setPortsForTest(ParamConfig::kCardPort, ParamConfig::kCardPort);
    }

    void outputAttenuationWindow()
    {
        OutputPowerAtten* w = OutputPowerAtten::Instance();
        w->resize(380, 190);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(w, QStringLiteral("output-attenuation"))));
        w->close();
    }

    void sceneManagerBeforeAndAfterTheDeviceIsKnown()
    {
        InstrumentSim sim(InstrumentSim::Preset::Test);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        CollectSet collect;
        SceneManagerForm form(&collect);
        StyleSheetLoader::apply(&form, QStringLiteral("silvery.css"));
        form.resize(560, 380);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.captureTranslated(&form, QStringLiteral("scene-manager"))));
        // A row per channel once the instrument is known.
        QVERIFY(UiTest::connectTo(sim, UiTest::DeviceInfo | UiTest::Settings));
        QTRY_VERIFY(form.findChild<QLabel*>("label_show_freq_4"));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.captureTranslated(&form, QStringLiteral("scene-manager-connected"))));
        UiTest::disconnect();
    }

    void timeSelectorOverTheMainWindow()
    {
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TimeSeletor* selector = TimeSeletor::instance();
        selector->show();
        QVERIFY(QTest::qWaitForWindowExposed(selector));
        QVERIFY(MaskWidget::instance()->isVisible());
        // A drag left displaced by a few pixels shows how the drum moves.
        Tumbler* minutes = selector->dateTimeTumbler()->tumbler(4);
        const QPoint middle = minutes->rect().center();
        QTest::mousePress(minutes, Qt::LeftButton, {}, middle);
        QMouseEvent move(QEvent::MouseMove, middle + QPoint(0, 6), minutes->mapToGlobal(middle + QPoint(0, 6)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(minutes, &move);
        QTest::mouseRelease(minutes, Qt::LeftButton, {}, middle + QPoint(0, 6));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(selector, "time-selector")));
        selector->close();
        QVERIFY(!MaskWidget::instance()->isVisible());
        delete w.extendPanel();
        delete w.calibrationWindow();
    }

    void extensionPanelWithItsReplies()
    {
        UiTest::DialogRecorder dialogs;
        Extend518 panel;
        panel.findChild<QLineEdit*>("lineEdit_localport")->setText("0");
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        auto reply = [&](COST code, const char* hexPayload) {
            emit panel.PostCmdResult(code, QByteArray::fromHex(hexPayload));
        };
        reply(COST_GetStatus, "01");
        reply(COST_GetVolume, "0000060000300000");
        reply(COST_GetRecords, "00000003655392406553f358655a2a00");
        reply(COST_DeviceCheck, "00000005");
        reply(COST_GetPulse, "0f038400 01e240190c03070509 0000000f190c0307050a00002710");
        QTRY_COMPARE(panel.recordModel()->rowCount(), 3);
        panel.recordModel()->item(1, 0)->setCheckState(Qt::Checked);
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&panel, "extension-panel")));
    }

    void extensionPanelMessage()
    {
        Extend518 panel;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        emit panel.PostCmdResult(COST_SetIp, QByteArray());
        captureMessages(QStringLiteral("extension-panel-message"), 1);
    }

    void db9PanelWithAFrame()
    {
        CPCIDB9::setListenPort(0);
        CPCIDB9 panel;
        CPCIDB9::setListenPort(CPCIDB9::kPort);
        QTRY_VERIFY(panel.boundPort() != 0);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QByteArray f = QByteArray::fromHex(
            "55AA52B2 07 00 03 02 03 00 8403 40E2010000000000 01800F00 00F00100 0C00 01 80A0D845 FF3F9CFE A0860100"
            "190C03 0574C05C 0000000000 04 0A2D 0B28 0C30 0D22 0E1E 0F29 102B 1127 1226 1325 1424 3F20 01 00 01 9600");
        int sum = 0;
        for (int i = 2; i <= 84; ++i)
            sum += quint8(f[i]);
        f.append(char(sum & 0xFF));
        QCOMPARE(f.size(), 86);
        QUdpSocket sender;
        sender.writeDatagram(f, QHostAddress::LocalHost, panel.boundPort());
        QTRY_COMPARE_WITH_TIMEOUT(panel.findChild<QLabel*>("label_bdWeek")->text(), QStringLiteral("900"),
                                  TestTime::ms(10000));
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.captureTranslated(&panel, "db9-panel")));
    }

    void playbackPageWithASelectedRecord()
    {
        MainWindow w;
        BootScreen::instance()->close();
        w.OnSkipWaitingConnect();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.findChild<QToolButton*>("pbn_playbackSet"), Qt::LeftButton);
        auto* page = qobject_cast<PlayBackSet*>(w.pageStack()->currentWidget());
        QVERIFY(page);
        auto& records = RecordAssist::instance()->Records;
        records.clear();
        for (int i = 0; i < 6; ++i) {
            RecordEx r;
            r.SetRecordValue("Name", 1704110400u + 3725u * uint(i));
            r.SetRecordValue("StartTime", 1704110400u + 3725u * uint(i));
            r.SetRecordValue("Duration", 3725u - 100u * uint(i));
            r.SetRecordValue("Size", 2048);
            r.SetRecordValue("Available", 1);
            r.SetRecordValue("Bit", 8);
            r.SetRecordValue("Remark", QStringLiteral("外场记录 %1").arg(i + 1));
            records << r;
        }
        page->slot_RecordListReady();
        page->slot_SyncDeviceState(SyncDeviceState{1, 0, {}, {}, {}});
        page->findChild<QTableView*>("tableView_freq")->selectRow(2);
        QCOMPARE(page->selectedRecord(), 1704110400u + 2u * 3725u);
        QVERIFY(!page->findChild<QToolButton*>("tbn_stopplayback")->isEnabled());
        QCoreApplication::processEvents();
        QVERIFY(UiTest::hasManyColours(m_shots.capture(&w, "playback")));
        records.clear();
        delete w.extendPanel();
        delete w.calibrationWindow();
    }
};

QTEST_MAIN(tst_Screenshots)
#include "tst_Screenshots.moc"
