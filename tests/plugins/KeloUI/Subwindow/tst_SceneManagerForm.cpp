#include <UiTestSupport.h>

#include <CollectSet.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>
#include <SceneManagerForm.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

Q_DECLARE_METATYPE(QVector<quint32>)

class tst_SceneManagerForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<CollectSet> m_collect;
    std::unique_ptr<SceneManagerForm> m_form;
    QTemporaryDir m_files;
    std::unique_ptr<UiTest::DialogRecorder> m_dialogs;
    QString m_answer;
    int m_boxAnswer = 0; // the button index a question box gets

    // The boxes shown, as "critical|title|text" or "information|title|text".
    QStringList messages() const
    {
        QStringList out;
        for (const auto& r : m_dialogs->of(DialogSeam::Request::Box))
            out << QStringLiteral("%1|%2|%3")
                       .arg(r.icon == QMessageBox::Critical ? "critical" : "information", r.title, r.text);
        return out;
    }

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    QString shown(const QString& name) const
    {
        auto* l = m_form->findChild<QLabel*>(name);
        return l ? l->text() : QStringLiteral("<missing>");
    }
    QString writeScene(const QString& name, const QString& text)
    {
        const QString path = m_files.path() + QLatin1Char('/') + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text.toUtf8());
        return path;
    }

private slots:
    void initTestCase()
    {
        // A write past the file-size limit then fails with an error instead of ending the test.
        std::signal(SIGXFSZ, SIG_IGN);
        m_app = std::make_unique<TestAppDir>();
        pm()->setHeartbeatInterval(TestTime::ms(100));
        pm()->link()->setReconnectInterval(TestTime::ms(100));
        m_dialogs = std::make_unique<UiTest::DialogRecorder>();
        m_dialogs->respond = [this](const DialogSeam::Request& r) -> DialogSeam::Answer {
            if (r.isFileDialog())
                return m_answer;
            return r.kind == DialogSeam::Request::Box ? m_boxAnswer : 0;
        };
    }
    void init()
    {
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        m_dialogs->requests.clear();
        m_answer.clear();
        m_boxAnswer = 0;
    }
    void cleanup()
    {
        m_form.reset();
        m_collect.reset();
        UiTest::disconnect();
        m_sim.reset();
        ConfigSetting::instance()->SetInit(ConfigKey::TransportMode, 0);
    }

    void beforeTheDeviceIsKnownOnlyTheFirstRowShows()
    {
        m_collect = std::make_unique<CollectSet>();
        m_form = std::make_unique<SceneManagerForm>(m_collect.get());
        QCOMPARE(m_form->windowTitle(), QStringLiteral("场景管理"));
        QVERIFY(QDir(m_form->sceneFolder()).exists());
        QCOMPARE(m_form->sceneFolder(), QDir(m_app->binDir() + "/../TransScene").absolutePath());
        QCOMPARE(shown("label_show_freq_1"), QStringLiteral("--"));
        QCOMPARE(shown("label_show_freq_2"), QStringLiteral("<missing>"));
        QCOMPARE(shown("label_show_file"), QStringLiteral("（无）"));
        // No program takes the folder: a box says so, and where the folder is.
        QDesktopServices::setUrlHandler("file", this, "noSuchSlot");
        m_form->findChild<QPushButton*>("pushButton")->click();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(m_dialogs->texts(), QStringList("没有可以打开文件夹的程序。文件夹位于：\n" + m_form->sceneFolder()));
    }

    void rowsPerChannelAndTheCurrentValues_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("delay");
        QTest::addColumn<QString>("shownDelay");
        QTest::addColumn<QString>("doppler");
        QTest::addColumn<QString>("shownDoppler");
        QTest::newRow("steps of 100/6 ns") << 1 << "60"
                                           << "1.00 μs"
                                           << "1200"
                                           << "1200 Hz";
        QTest::newRow("nanoseconds") << 0 << "999"
                                     << "999.00 ns"
                                     << "1200"
                                     << "1200 Hz";
        QTest::newRow("to milliseconds") << 0 << "2500000"
                                         << "2.50 ms"
                                         << "1200"
                                         << "1200 Hz";
        QTest::newRow("negative Doppler shift") << 0 << "999"
                                                << "999.00 ns"
                                                << "4294967000"
                                                << "-296 Hz";
    }
    void rowsPerChannelAndTheCurrentValues()
    {
        QFETCH(int, mode);
        QFETCH(QString, delay);
        QFETCH(QString, shownDelay);
        QFETCH(QString, doppler);
        QFETCH(QString, shownDoppler);
        ConfigSetting::instance()->SetInit(ConfigKey::TransportMode, mode);
        m_sim->profile().devConfig.values["Transponder/TranspondDelay"] = delay;
        m_sim->profile().devConfig.values["Transponder/Doppler"] = doppler;
        m_collect = std::make_unique<CollectSet>();
        m_form = std::make_unique<SceneManagerForm>(m_collect.get());
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo | UiTest::Settings));
        QCOMPARE(shown("label_savePath"), m_form->sceneFolder());
        // The simulator has four channels.
        QCOMPARE(shown("label_freq_4"), QStringLiteral("频段4："));
        QCOMPARE(shown("label_show_freq_5"), QStringLiteral("<missing>"));
        QVector<quint32> bands;
        int bit = 0, atten = 0;
        m_collect->getSceneConfig(&bands, &bit, &atten);
        QCOMPARE(m_form->currentValues().bands, bands);
        for (int i = 1; i <= 4; ++i) {
            // A band the table does not hold shows its number.
            QString expected = QStringLiteral("--");
            if (i <= bands.size())
                expected = pm()->freqBands.contains(bands.at(i - 1)) ? pm()->freqBands.value(bands.at(i - 1)).name
                                                                     : QString::number(bands.at(i - 1));
            QCOMPARE(shown(QStringLiteral("label_show_freq_%1").arg(i)), expected);
        }
        QCOMPARE(shown("label_show_bit"), pm()->bitNames.value(uchar(bit)));
        QCOMPARE(shown("label_show_atten"), QStringLiteral("%1 dB").arg(atten));
        QCOMPARE(shown("label_show_delay"), shownDelay);
        QCOMPARE(shown("label_show_dpl"), shownDoppler);
        QCOMPARE(shown("label_show_file"), QStringLiteral("(无)"));
        // A second configuration fetch builds no second set of rows.
        QSignalSpy settings(pm(), &ProtocolManager::GetDeviceSettingsFinished);
        pm()->GetDeviceConfigSettingData();
        QVERIFY(UiTest::waitCount(settings, 1));
        QCOMPARE(m_form->findChildren<QLabel*>(QRegularExpression("^label_show_freq_\\d+$")).size(), 4);
    }

    void savingWritesTheSceneAndKeepsItsPathWhileNothingChanges()
    {
        m_sim->profile().devConfig.values["Transponder/TranspondDelay"] = "250";
        m_sim->profile().devConfig.values["Transponder/Doppler"] = "77";
        m_collect = std::make_unique<CollectSet>();
        m_form = std::make_unique<SceneManagerForm>(m_collect.get());
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo | UiTest::Settings));
        m_answer = m_files.path() + "/scene one.ini";
        m_form->findChild<QPushButton*>("pushButton_save")->click();
        QCOMPARE(messages(), QStringList{"information|保存成功|" + m_answer});
        const SceneManagerForm::Values v = m_form->currentValues();
        QSettings file(m_answer, QSettings::IniFormat);
        QCOMPARE(file.value("Freq/Count").toInt(), v.bands.size());
        for (int i = 0; i < v.bands.size(); ++i)
            QCOMPARE(file.value(QStringLiteral("Freq/Freq%1").arg(i + 1)).toUInt(), v.bands.at(i));
        QCOMPARE(file.value("Bit/value").toInt(), v.bit);
        QCOMPARE(file.value("Trans/delay").toString(), QStringLiteral("250"));
        QCOMPARE(file.value("Trans/doppler").toString(), QStringLiteral("77"));
        QCOMPARE(file.value("Attenuation/value").toInt(), v.atten);
        QCOMPARE(shown("label_show_file"), m_answer);
        m_form->show();
        QCOMPARE(shown("label_show_file"), m_answer);
        m_form->hide();
        m_form->show();
        QCOMPARE(shown("label_show_file"), m_answer);

        // Saved below a plain file, where nothing can be written: refused, the scene stays.
        m_dialogs->requests.clear();
        m_answer = writeScene("plain", "x") + "/scene.ini";
        m_form->findChild<QPushButton*>("pushButton_save")->click();
        QCOMPARE(messages(), QStringList{"critical|保存失败|请检查是否有权限"});
        QCOMPARE(m_form->scenePath(), m_files.path() + "/scene one.ini");

        // Over a scene file that cannot be written (here: the file-size limit is reached): the
        // file keeps the old scene and the failure is shown.
        m_dialogs->requests.clear();
        const QByteArray old = "[Bit]\nvalue=2\n";
        m_answer = writeScene("old scene.ini", QString::fromLatin1(old));
        struct rlimit was
        {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &was), 0);
        struct rlimit tiny = was;
        tiny.rlim_cur = 16;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        m_form->findChild<QPushButton*>("pushButton_save")->click();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &was), 0);
        QCOMPARE(messages(), QStringList{"critical|保存失败|请检查是否有权限"});
        QCOMPARE(m_form->scenePath(), m_files.path() + "/scene one.ini");
        QFile kept(m_answer);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), old);

        // A name typed without the extension gets it, so that loading lists the scene.
        m_dialogs->requests.clear();
        m_answer = m_files.path() + "/scene1";
        m_form->findChild<QPushButton*>("pushButton_save")->click();
        QCOMPARE(messages(), QStringList{"information|保存成功|" + m_answer + ".ini"});
        QVERIFY(QFile::exists(m_answer + ".ini") && !QFile::exists(m_answer));

        // Typed again over another scene of that name: asked, and "no" keeps that scene.
        m_dialogs->requests.clear();
        writeScene("scene1.ini", "[Bit]\nvalue=2\n");
        m_boxAnswer = 1;
        m_form->findChild<QPushButton*>("pushButton_save")->click();
        QCOMPARE(m_dialogs->of(DialogSeam::Request::Box).size(), 1);
        QFile other(m_answer + ".ini");
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("[Bit]\nvalue=2\n"));
    }

    void loadingAScene_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QVector<quint32>>("bands");
        QTest::newRow("count 2 with only the first band")
            << "[Freq]\nCount=2\nFreq1=2\n[Bit]\nvalue=4\n[Trans]\ndelay=321\ndoppler=654\n[Attenuation]\nvalue=7\n"
            << true << QVector<quint32>{2, 0};
        QTest::newRow("no bit code") << "[Freq]\nCount=1\nFreq1=1\n[Trans]\ndelay=1\n" << false << QVector<quint32>{};
        QTest::newRow("no bands") << "[Freq]\nCount=0\n[Bit]\nvalue=4\n" << false << QVector<quint32>{};
        QTest::newRow("bit code no number") << "[Freq]\nCount=1\nFreq1=1\n[Bit]\nvalue=four\n"
                                            << false << QVector<quint32>{};
    }
    void loadingAScene()
    {
        QFETCH(QString, text);
        QFETCH(bool, taken);
        QFETCH(QVector<quint32>, bands);
        m_collect = std::make_unique<CollectSet>();
        m_form = std::make_unique<SceneManagerForm>(m_collect.get());
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo | UiTest::Settings));
        const SceneManagerForm::Values before = m_form->currentValues();
        m_answer = writeScene("load.ini", text);
        m_form->findChild<QPushButton*>("pushButton_read")->click();
        if (!taken) {
            QCOMPARE(messages(), QStringList{"critical|读取失败|文件信息有误"});
            QVERIFY(m_form->currentValues() == before);
            QVERIFY(m_form->scenePath().isEmpty());
            return;
        }
        QVERIFY(messages().isEmpty());
        QCOMPARE(m_form->currentValues().bands, bands);
        // The Doppler shift is written once the delay's write has its answer.
        QTRY_COMPARE(m_sim->profile().devConfig.values.value("Transponder/TranspondDelay"), QStringLiteral("321"));
        QTRY_COMPARE(m_sim->profile().devConfig.values.value("Transponder/Doppler"), QStringLiteral("654"));
        QCOMPARE(shown("label_show_file"), m_answer);
        QCOMPARE(shown("label_show_delay"), QStringLiteral("321.00 ns"));
        QCOMPARE(shown("label_show_atten"), QStringLiteral("7 dB"));
        // Band 0 is offered by no channel list: at the next display the page differs.
        m_form->show();
        QCOMPARE(shown("label_show_file"), QStringLiteral("(已修改，需重新读取)") + m_answer);
        m_form->hide();
        m_form->show();
        QCOMPARE(shown("label_show_file"), QStringLiteral("(无)"));
    }

    void anImplausibleBandCountIsBounded()
    {
        m_collect = std::make_unique<CollectSet>();
        m_form = std::make_unique<SceneManagerForm>(m_collect.get());
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo | UiTest::Settings));
        m_answer = writeScene("huge.ini", "[Freq]\nCount=4000000000\nFreq1=1\n[Bit]\nvalue=2\n");
        m_form->findChild<QPushButton*>("pushButton_read")->click();
        QCOMPARE(m_form->currentValues().bands.size(), SceneManagerForm::kMaxBands);
        QCOMPARE(m_form->currentValues().bands.first(), 1u);
    }

    void cancelledDialogsChangeNothing()
    {
        m_collect = std::make_unique<CollectSet>();
        m_form = std::make_unique<SceneManagerForm>(m_collect.get());
        QVERIFY(UiTest::connectTo(*m_sim, UiTest::DeviceInfo | UiTest::Settings));
        m_answer.clear();
        m_form->findChild<QPushButton*>("pushButton_read")->click();
        m_form->findChild<QPushButton*>("pushButton_save")->click();
        QVERIFY(messages().isEmpty());
        QVERIFY(m_form->scenePath().isEmpty());
        QCOMPARE(shown("label_show_file"), QStringLiteral("(无)"));
    }
};

QTEST_MAIN(tst_SceneManagerForm)
#include "tst_SceneManagerForm.moc"
