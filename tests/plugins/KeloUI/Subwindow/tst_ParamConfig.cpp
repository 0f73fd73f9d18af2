#include <UiTestSupport.h>

#include <CalibrationCard.h>
#include <ConfigSetting.h>
#include <ParamConfig.h>
#include <ProtocolManager.h>
#include <SimBytes.h>
#include <SimFrame.h>
#include <TestTime.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

using UiTest::child;

class tst_ParamConfig : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<CalibrationCard> m_card;
    std::unique_ptr<ParamConfig> m_window;

    QSlider* slider(const char* name) const { return child<QSlider>(*m_window, name); }
    QSpinBox* spin(const char* name) const { return child<QSpinBox>(*m_window, name); }
    // Waits until the card holds n datagrams.
    bool received(int n)
    {
        QSignalSpy spy(m_card.get(), &CalibrationCard::datagramReceived);
        QElapsedTimer clock;
        clock.start();
        while (m_card->received().size() < n && clock.elapsed() < 10000)
            spy.wait(200);
        return m_card->received().size() >= n;
    }
    // True when no datagram beyond the n held reaches the card while a query makes a round trip.
    bool nothingMoreThan(int n)
    {
        CalibrationCard probe;
        probe.listen(QHostAddress::LocalHost, 0);
        QUdpSocket s;
        s.writeDatagram("x", QHostAddress::LocalHost, probe.port());
        QSignalSpy spy(&probe, &CalibrationCard::datagramReceived);
        spy.wait(5000);
        QCoreApplication::processEvents();
        return m_card->received().size() == n;
    }
    void deviceReady()
    {
        ProtocolManager* pm = ProtocolManager::instance();
        pm->freqBands.clear();
        pm->freqBands.insert(1, FreqBand{QStringLiteral("GPS L1"), 1575420000, 0xFF, false});
        pm->freqBands.insert(2, FreqBand{QStringLiteral("BDS B1I"), 1561098000, 0xFF, false});
        pm->bitNames.clear();
        pm->bitNames.insert(2, QStringLiteral("2bit"));
        pm->bitNames.insert(4, QStringLiteral("4bit"));
        // As the link brings them: first up, then the instrument's answers.
        emit pm->NetSuccess(true);
        emit pm->UpdateDeviceInfo(DeviceInfo());
        emit pm->GetDeviceSettingsFinished();
    }
    // Band 2, bit code 4 and the given channel index and step, as the window selects them.
    void select(int channel, int step)
    {
        child<QComboBox>(*m_window, "cbx_Channel")->setCurrentIndex(channel);
        child<QComboBox>(*m_window, "cbx_freq")->setCurrentIndex(1);
        child<QComboBox>(*m_window, "cbx_bitwide")->setCurrentIndex(1);
        const QSignalBlocker quiet(spin("spinBox_AttenuationNum"));
        spin("spinBox_AttenuationNum")->setValue(step);
    }
    static QByteArray header(quint16 sequence, quint8 cmd, quint32 length)
    {
        QByteArray h = QByteArray::fromHex("ccaabbff"
                                           "01");
        h.append(char(ProtocolManager::SourceMod.load()));
        h.append(char(3)).append(char(0));
        SimBytes::put(h, sequence, 2);
        h.append(char(5)).append(char(cmd));
        SimBytes::put(h, length, 4);
        return h;
    }
    static QByteArray reply(quint8 type, quint8 cmd, const QByteArray& data)
    {
        QByteArray f = CalibrationCard::replyFrame(type, cmd, data);
        f[10] = char(type);
        return f;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
    }
    void init()
    {
        m_card = std::make_unique<CalibrationCard>();
        QVERIFY(m_card->listen(QHostAddress::LocalHost, 0));
        ParamConfig::setPortsForTest(0, m_card->port());
        ParamConfig::resetSharedStateForTest();
        ConfigSetting::instance()->configMode = "CPCI";
        m_window = std::make_unique<ParamConfig>();
        QVERIFY(m_window->isBound());
    }
    void cleanup()
    {
        m_window.reset();
        m_card.reset();
    }

    void construction()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("设备信号质量校准"));
        QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(child<QStackedWidget>(*m_window, "stackedWidget")->currentIndex(), 0);
        // Started without an instrument: off with the reason, as after a drop.
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("设备未连接，校准在连接后可用"));
        for (const char* name : {"page_9361", "page_9009"})
            QVERIFY2(!child<QWidget>(*m_window, name)->isEnabled(), name);
        QCOMPARE(child<QLineEdit>(*m_window, "lineEdit_boardIP")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(child<QLineEdit>(*m_window, "lineEdit_boardIP_9009")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(child<QLineEdit>(*m_window, "txt_AttenuationInterval")->text(), QStringLiteral("1000"));
        for (const char* name : {"pbt_search", "groupBox_Attenuation", "groupBox_Calibration",
                                 "txt_AttenuationInterval", "groupBox_DeviceControl"})
            QVERIFY2(!child<QWidget>(*m_window, name)->isEnabled(), name);
        for (qint32 v : m_window->attenuationTable())
            QCOMPARE(v, 0);
        deviceReady();
        QVERIFY(child<QWidget>(*m_window, "groupBox_Calibration")->isEnabled());
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("已取得设备信息，采集卡尚未应答"));
        // A second fetch of the configuration replaces the items rather than adding to them.
        emit ProtocolManager::instance()->GetDeviceSettingsFinished();
        for (const char* name : {"cbx_freq", "cbx_freq_9009"}) {
            auto* c = child<QComboBox>(*m_window, name);
            QCOMPARE(c->count(), 2);
            QCOMPARE(c->itemText(1), QStringLiteral("BDS B1I"));
            QCOMPARE(c->itemData(1).toUInt(), 2u);
        }
        for (const char* name : {"cbx_bitwide", "cbx_bitwide_9009"}) {
            auto* c = child<QComboBox>(*m_window, name);
            QCOMPARE(c->count(), 2);
            QCOMPARE(c->itemData(1).toUInt(), 4u);
        }
    }

    void queryFrameByteExactAndTheSequenceCounts()
    {
        deviceReady();
        select(0, 0);
        child<QPushButton>(*m_window, "pbt_search")->click();
        QVERIFY(received(1));
        const CalibrationCard::Datagram d = m_card->received().at(0);
        QCOMPARE(d.bytes.size(), 27);
        QByteArray expected = header(0, 10, 7)
                            + QByteArray::fromHex("00"
                                                  "02000000"
                                                  "04"
                                                  "00");
        SimBytes::put(expected, SimFrame::crc(expected), 4);
        QCOMPARE(d.bytes.toHex(' '), expected.toHex(' '));
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("查询AD配置"));
        QVERIFY(received(1));
        // A step change queries again, with the next sequence number; so does the other page.
        spin("spinBox_AttenuationNum")->setValue(7);
        QVERIFY(received(2));
        QCOMPARE(m_card->received().at(1).sequence, quint16(1));
        QCOMPARE(m_card->received().at(1).payload.toHex(' '), QByteArray("00 02 00 00 00 04 07"));
        child<QComboBox>(*m_window, "cbx_freq_9009")->setCurrentIndex(1);
        child<QComboBox>(*m_window, "cbx_bitwide_9009")->setCurrentIndex(1);
        child<QPushButton>(*m_window, "pbn_9009_query")->click();
        QVERIFY(received(3));
        const CalibrationCard::Datagram q = m_card->received().at(2);
        QCOMPARE(q.sequence, quint16(2));
        QCOMPARE(q.cmd, quint8(16));
        QCOMPARE(q.bytes.size(), 25);
        QCOMPARE(q.payload.toHex(' '), QByteArray("02 00 00 00 04"));
        QVERIFY(q.crcGood);
        QCOMPARE(ParamConfig::calibrationSequence(), quint16(3));

        ParamConfig::setCalibrationSequenceForTest(65535);
        child<QPushButton>(*m_window, "pbn_9009_set")->click();
        child<QPushButton>(*m_window, "pbn_9009_set")->click();
        QVERIFY(received(5));
        QCOMPARE(m_card->received().at(3).sequence, quint16(65535));
        QCOMPARE(m_card->received().at(4).sequence, quint16(0));
    }

    void controlsSendTheirCommands_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("value_bytes");
        QTest::addColumn<QString>("status");
        QTest::newRow("attenuation") << "AttenuationAdjust" << 5000 << 1 << QByteArray::fromHex("88130000")
                                     << "衰减值:5000dBm";
        QTest::newRow("rx clock with rx delay 15") << "RxClk" << 15 << 2 << QByteArray::fromHex("ff00") << "RxClk:15";
        QTest::newRow("rx delay with rx clock 15")
            << "RxDelay" << 15 << 3 << QByteArray::fromHex("ff00") << "RxDelay:15";
        QTest::newRow("tx clock") << "TxClk" << 2 << 4 << QByteArray::fromHex("2000") << "TxClk:2";
        QTest::newRow("tx delay") << "TxDelay" << 9 << 5 << QByteArray::fromHex("0900") << "TxDelay:9";
        QTest::newRow("phase") << "Phase" << 200 << 6 << QByteArray::fromHex("c8") << "Phase:200";
        QTest::newRow("gain") << "Gain" << 255 << 7 << QByteArray::fromHex("ff") << "Gain:255";
        QTest::newRow("i offset") << "IOff" << 1 << 8 << QByteArray::fromHex("01") << "IOff:1";
        QTest::newRow("q offset") << "QOff" << 128 << 9 << QByteArray::fromHex("80") << "QOff:128";
    }
    void controlsSendTheirCommands()
    {
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(int, cmd);
        QFETCH(QByteArray, value_bytes);
        QFETCH(QString, status);
        deviceReady();
        select(1, 3);
        // The other half of a clock/delay pair, set quietly.
        if (cmd == 2 || cmd == 3) {
            const QSignalBlocker a(slider("hSlider_RxClk")), b(slider("hSlider_RxDelay"));
            slider(cmd == 2 ? "hSlider_RxDelay" : "hSlider_RxClk")->setValue(15);
        }
        // Typed into the spin box, the value travels through the slider.
        spin(qPrintable("spinBox_" + control))->setValue(value);
        QCOMPARE(slider(qPrintable("hSlider_" + control))->value(), value);
        QVERIFY(received(1));
        const CalibrationCard::Datagram d = m_card->received().at(0);
        QCOMPARE(int(d.cmd), cmd);
        QCOMPARE(int(d.target), 3);
        QCOMPARE(d.payload.toHex(' '), (QByteArray::fromHex("01"
                                                            "02000000"
                                                            "04"
                                                            "03")
                                        + value_bytes)
                                           .toHex(' '));
        QCOMPARE(d.length, quint32(d.payload.size()));
        QVERIFY(d.crcGood);
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), status);
        QVERIFY(nothingMoreThan(1));
    }

    void beforeTheDeviceIsKnownAStepChangeSendsNothing()
    {
        spin("spinBox_AttenuationNum")->setValue(4);
        QVERIFY(nothingMoreThan(0));
        deviceReady();
        spin("spinBox_AttenuationNum")->setValue(5);
        QVERIFY(received(1));
        QCOMPARE(m_card->received().at(0).cmd, quint8(10));
    }

    void aPendingQueryHoldsTheSlidersBack_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("the card answers") << true;
        QTest::newRow("no card answers: the query times out") << false;
    }
    void aPendingQueryHoldsTheSlidersBack()
    {
        QFETCH(bool, answered);
        UiTest::DialogRecorder dialogs;
        deviceReady();
        select(0, 0);
        m_card->silent = true;
        child<QPushButton>(*m_window, "pbt_search")->click();
        QVERIFY(received(1));
        QVERIFY(ParamConfig::queryPending());
        slider("hSlider_Phase")->setValue(9);
        QCOMPARE(spin("spinBox_Phase")->value(), 9);
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("查询AD配置"));
        // Save and the AD9009 buttons are not held back.
        child<QPushButton>(*m_window, "pbn_9009_set")->click();
        QVERIFY(received(2));
        QVERIFY(nothingMoreThan(2));
        // The answer releases them, or the end of the wait, which says so.
        if (answered)
            m_card->sendToPc(CalibrationCard::replyFrame(5, 10, m_card->parameters));
        QTRY_VERIFY_WITH_TIMEOUT(!ParamConfig::queryPending(), ParamConfig::kQueryWaitMs + TestTime::ms(10000));
        QCOMPARE(dialogs.of(DialogSeam::Request::Show).size(), answered ? 0 : 1);
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text() == QStringLiteral("查询超时，采集卡无应答"), !answered);
        slider("hSlider_Phase")->setValue(10);
        QVERIFY(received(3));
        QCOMPARE(m_card->received().at(2).cmd, quint8(6));
    }

    void whileTheLinkIsDownThePagesAreOffAndSaySo_data()
    {
        QTest::addColumn<bool>("known");
        QTest::newRow("device known before the drop") << true;
        QTest::newRow("device not yet known") << false;
    }
    void whileTheLinkIsDownThePagesAreOffAndSaySo()
    {
        QFETCH(bool, known);
        ProtocolManager* pm = ProtocolManager::instance();
        auto* tips = child<QLabel>(*m_window, "lb_Tips");
        if (known) {
            deviceReady();
            m_card->silent = true;
            child<QPushButton>(*m_window, "pbt_search")->click();
            QVERIFY(received(1));
        }
        emit pm->NetSuccess(false);
        for (const char* name : {"page_9361", "page_9009"})
            QVERIFY2(!child<QWidget>(*m_window, name)->isEnabled(), name);
        QCOMPARE(tips->text(), QStringLiteral("设备未连接，校准在连接后可用"));
        // No answer comes on a dropped link: the query no longer holds the sliders back.
        QVERIFY(!ParamConfig::queryPending());
        emit pm->NetSuccess(true);
        for (const char* name : {"page_9361", "page_9009"})
            QVERIFY2(child<QWidget>(*m_window, name)->isEnabled(), name);
        QCOMPARE(tips->text(), known ? QStringLiteral("设备已重新连接") : QStringLiteral("设备未初始化"));
        QCOMPARE(child<QWidget>(*m_window, "groupBox_Calibration")->isEnabled(), known);
    }

    void theParameterReplyIsShownAndSendsNothingBack()
    {
        deviceReady();
        select(0, 0);
        child<QPushButton>(*m_window, "pbt_search")->click();
        // e8 03 00 00: 1000; 3a: RxClk 3, RxDelay 10; 5c: TxClk 5, TxDelay 12; Phase 0x10,
        // Gain 0x20, QOff 0x80 (128, not -128), IOff 0x40.
        QTRY_COMPARE(spin("spinBox_AttenuationAdjust")->value(), 1000);
        const QList<QPair<const char*, int>> shown{{"AttenuationAdjust", 1000},
                                                   {"RxClk", 3},
                                                   {"RxDelay", 10},
                                                   {"TxClk", 5},
                                                   {"TxDelay", 12},
                                                   {"Phase", 16},
                                                   {"Gain", 32},
                                                   {"QOff", 128},
                                                   {"IOff", 64}};
        for (const auto& p : shown) {
            QCOMPARE(spin(qPrintable(QStringLiteral("spinBox_") + p.first))->value(), p.second);
            QCOMPARE(slider(qPrintable(QStringLiteral("hSlider_") + p.first))->value(), p.second);
        }
        QVERIFY(!ParamConfig::queryPending());
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("查询AD配置"));
        QCOMPARE(m_window->attenuationTable()[0], 0);
        QVERIFY(nothingMoreThan(1));
    }

    void repliesThatAreNotTakenChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        const QByteArray params = QByteArray::fromHex("10270000"
                                                      "ff"
                                                      "ff"
                                                      "01"
                                                      "01"
                                                      "01"
                                                      "01");
        QTest::newRow("type 5, command 11") << reply(5, 11, params);
        QTest::newRow("type 1, command 10") << reply(1, 10, params);
        QByteArray lying = reply(5, 10, params);
        lying[12] = char(40);
        QTest::newRow("length beyond the datagram") << lying;
        QTest::newRow("shorter than a header") << QByteArray::fromHex("ccaabbff0100010000000505");
        // The table is read from offset 17 whatever the length says: 265 bytes are needed.
        QTest::newRow("table reply of 264 bytes") << reply(5, 16, QByteArray(248, '\x01')).left(264);
        // A query of the window come back, from wherever: long enough to read as a reply.
        QByteArray query = header(3, 10, 10) + params;
        SimBytes::put(query, SimFrame::crc(query), 4);
        QTest::newRow("a request frame") << query;
    }
    void repliesThatAreNotTakenChangeNothing()
    {
        QFETCH(QByteArray, datagram);
        deviceReady();
        m_card->silent = true;
        child<QPushButton>(*m_window, "pbt_search")->click();
        QVERIFY(received(1));
        // Handed to the parser directly: over the socket a later good reply of the same burst
        // would hide whether this one was refused.
        m_window->AnalysisCmd(datagram);
        QVERIFY(ParamConfig::queryPending());
        QCOMPARE(spin("spinBox_AttenuationAdjust")->value(), 0);
        QCOMPARE(spin("spinBox_RxClk")->value(), 0);
        QCOMPARE(m_window->baseOffset(), 0u);
        QCOMPARE(m_window->attenuationTable()[0], 0);
        // A sound reply is taken.
        QByteArray table = QByteArray::fromHex("07000000"
                                               "01000000");
        table.append(QByteArray(240, '\0'));
        m_window->AnalysisCmd(CalibrationCard::replyFrame(5, 16, table));
        QVERIFY(!ParamConfig::queryPending());
        QCOMPARE(m_window->baseOffset(), 7u);
        QCOMPARE(m_window->attenuationTable()[0], 1);
    }

    void theWindowsOwnDatagramsAreNoAnswer()
    {
        // The card address is the PC's own, where the window itself listens (the simulator on
        // loopback without a card): what comes back is the window's own query.
        UiTest::DialogRecorder dialogs;
        ParamConfig::setPortsForTest(0, m_window->localPort());
        deviceReady();
        select(0, 0);
        auto* tips = child<QLabel>(*m_window, "lb_Tips");
        child<QPushButton>(*m_window, "pbt_search")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!ParamConfig::queryPending(), ParamConfig::kQueryWaitMs + TestTime::ms(10000));
        QCOMPARE(tips->text(), QStringLiteral("查询超时，采集卡无应答"));
        QCOMPARE(dialogs.of(DialogSeam::Request::Show).size(), 1);
        for (const char* name : {"spinBox_AttenuationAdjust", "spinBox_Phase", "spinBox_Gain", "spinBox_IOff"})
            QVERIFY2(spin(name)->value() == 0, name);
        // A save is sent, never told as saved.
        child<QPushButton>(*m_window, "pbn_SavePara")->click();
        QCOMPARE(tips->text(), QStringLiteral("保存参数已发送，采集卡不回复确认"));
        QVERIFY(!tips->text().contains(QStringLiteral("!!")));
    }

    void onlyTheLastReplyOfABurstIsApplied()
    {
        deviceReady();
        m_card->silent = true;
        child<QPushButton>(*m_window, "pbt_search")->click();
        QVERIFY(received(1));
        m_card->sendToPc(CalibrationCard::replyFrame(5, 10,
                                                     QByteArray::fromHex("64000000"
                                                                         "11"
                                                                         "11"
                                                                         "01"
                                                                         "01"
                                                                         "01"
                                                                         "01")));
        m_card->sendToPc(CalibrationCard::replyFrame(5, 10,
                                                     QByteArray::fromHex("c8000000"
                                                                         "22"
                                                                         "22"
                                                                         "02"
                                                                         "02"
                                                                         "02"
                                                                         "02")));
        QTRY_VERIFY(!ParamConfig::queryPending());
        QCOMPARE(spin("spinBox_AttenuationAdjust")->value(), 200);
        QCOMPARE(spin("spinBox_RxClk")->value(), 2);
    }

    void attenuationEqualToTheTableSendsNothing()
    {
        deviceReady();
        select(0, 0);
        // Table entry 0 is 0: moving the slider to 0 from elsewhere sends nothing.
        {
            const QSignalBlocker quiet(slider("hSlider_AttenuationAdjust"));
            slider("hSlider_AttenuationAdjust")->setValue(300);
        }
        slider("hSlider_AttenuationAdjust")->setValue(0);
        QCOMPARE(spin("spinBox_AttenuationAdjust")->value(), 0);
        QVERIFY(nothingMoreThan(0));
    }

    void saveFillsTheTableFromTheStep_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QList<int>>("tail");
        QTest::newRow("step 58, interval 1000") << 58 << "1000" << QList<int>{5000, 6000, 7000};
        QTest::newRow("step 60 changes only 60") << 60 << "1000" << QList<int>{5000};
        QTest::newRow("empty interval counts 0") << 59 << "" << QList<int>{5000, 5000};
    }
    void saveFillsTheTableFromTheStep()
    {
        QFETCH(int, step);
        QFETCH(QString, interval);
        QFETCH(QList<int>, tail);
        deviceReady();
        select(0, step);
        child<QLineEdit>(*m_window, "txt_AttenuationInterval")->setText(interval);
        {
            const QSignalBlocker quiet(slider("hSlider_AttenuationAdjust"));
            slider("hSlider_AttenuationAdjust")->setValue(5000);
        }
        child<QPushButton>(*m_window, "pbn_SavePara")->click();
        QVERIFY(received(1));
        const CalibrationCard::Datagram d = m_card->received().at(0);
        QCOMPARE(d.cmd, quint8(11));
        QCOMPARE(d.length, 251u);
        QCOMPARE(d.payload.left(7).toHex(' '),
                 QByteArray("00 02 00 00 00 04 ") + QByteArray::number(step, 16).rightJustified(2, '0'));
        for (int k = 0; k < 61; ++k) {
            const int expected = k < step ? 0 : tail.at(k - step);
            QCOMPARE(int(qint32(SimBytes::get(d.payload, 7 + 4 * k, 4))), expected);
            QCOMPARE(m_window->attenuationTable()[size_t(k)], expected);
        }
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("保存参数已发送，采集卡不回复确认"));
    }

    void accessCodeAndVariantChooseThePage_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("page");
        QTest::newRow("calibration page") << "CPCI"
                                          << "8305162749" << 1;
        QTest::newRow("AD9009 page for LEO") << "LEO"
                                             << "8305162749" << 2;
        QTest::newRow("variant is case-sensitive") << "leo"
                                                   << "8305162749" << 1;
        QTest::newRow("wrong code") << "LEO"
                                    << "8305162748" << 0;
        QTest::newRow("code with a blank") << "CPCI"
                                           << "8305162749 " << 0;
    }
    void accessCodeAndVariantChooseThePage()
    {
        QFETCH(QString, variant);
        QFETCH(QString, code);
        QFETCH(int, page);
        UiTest::DialogRecorder dialogs;
        ConfigSetting::instance()->configMode = variant;
        child<QLineEdit>(*m_window, "ManagerMM")->setText(code);
        child<QPushButton>(*m_window, "pbn_DL")->click();
        auto* pages = child<QStackedWidget>(*m_window, "stackedWidget");
        QCOMPARE(pages->currentIndex(), page);
        // A wrong code says so.
        QCOMPARE(dialogs.of(DialogSeam::Request::Show).size(), page == 0 ? 1 : 0);
        QCOMPARE(child<QLineEdit>(*m_window, "ManagerMM")->text(), code);
        m_window->show();
        child<QPushButton>(*m_window, "pbn_close")->click();
        QVERIFY(!m_window->isVisible());
        QCOMPARE(pages->currentIndex(), 0);
        // The code is not left behind for the next person at the window.
        QVERIFY(child<QLineEdit>(*m_window, "ManagerMM")->text().isEmpty());
    }

    void ad9009ReplyAndSetButtons()
    {
        ConfigSetting::instance()->configMode = "LEO";
        deviceReady();
        child<QComboBox>(*m_window, "cbx_freq_9009")->setCurrentIndex(1);
        child<QComboBox>(*m_window, "cbx_bitwide_9009")->setCurrentIndex(1);
        // Not on the AD9009 page: the choices send nothing by themselves.
        QVERIFY(nothingMoreThan(0));
        child<QLineEdit>(*m_window, "ManagerMM")->setText(ParamConfig::kAccessCode);
        child<QPushButton>(*m_window, "pbn_DL")->click();
        auto* attenuationStep = child<QSlider>(*m_window, "horizontalSlider_9009_attenuation");
        attenuationStep->setValue(2);
        QCOMPARE(child<QLabel>(*m_window, "label_9009_attenuation")->text(), QStringLiteral("2"));
        // base 60000 (above the slider's end), step 0: 20000, step 2: -12000.
        QByteArray table;
        SimBytes::put(table, 60000, 4);
        SimBytes::put(table, 20000, 4);
        SimBytes::put(table, 5, 4);
        SimBytes::put(table, quint32(-12000), 4);
        table.append(QByteArray(248 - table.size(), '\0'));
        m_card->table = table;
        child<QComboBox>(*m_window, "cbx_freq_9009")->setCurrentIndex(0);
        QVERIFY(received(1));
        QCOMPARE(m_card->received().at(0).cmd, quint8(16));
        QCOMPARE(m_card->received().at(0).payload.toHex(' '), QByteArray("01 00 00 00 04"));
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("查询AD9009配置"));
        QTRY_COMPARE(m_window->baseOffset(), 60000u);
        QCOMPARE(m_window->attenuationTable()[0], 20000);
        QCOMPARE(m_window->attenuationTable()[2], -12000);
        QCOMPARE(child<QSlider>(*m_window, "horizontalSlider_9009_val")->value(), 50000);
        QCOMPARE(child<QLineEdit>(*m_window, "lineEdit_9009_offset")->text(), QStringLiteral("50000"));
        QCOMPARE(child<QSlider>(*m_window, "horizontalSlider_9009_AD")->value(), -10000);
        QCOMPARE(child<QLineEdit>(*m_window, "lineEdit_9009_AD")->text(), QStringLiteral("-10000"));

        m_card->clear();
        child<QPushButton>(*m_window, "pbn_9009_set")->click();
        QVERIFY(received(1));
        QCOMPARE(m_card->received().at(0).cmd, quint8(17));
        QCOMPARE(m_card->received().at(0).payload.toHex(' '), QByteArray("01 00 00 00 04 50 c3 00 00"));
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("基础偏移参数 50000 已发送"));
        // A typed compensation goes to the slider and, on set, into the table and to the card.
        child<QLineEdit>(*m_window, "lineEdit_9009_AD")->setText("-250");
        QCOMPARE(child<QSlider>(*m_window, "horizontalSlider_9009_AD")->value(), -250);
        child<QPushButton>(*m_window, "pbn_9009_set_2")->click();
        QVERIFY(received(2));
        QCOMPARE(m_card->received().at(1).cmd, quint8(18));
        QCOMPARE(m_card->received().at(1).payload.toHex(' '), QByteArray("01 00 00 00 04 02 06 ff ff ff"));
        QCOMPARE(child<QLabel>(*m_window, "lb_Tips")->text(), QStringLiteral("衰减值 2 的AD衰减补偿 -250 已发送"));
        QCOMPARE(m_window->attenuationTable()[2], -250);
        attenuationStep->setValue(0);
        QCOMPARE(child<QLineEdit>(*m_window, "lineEdit_9009_AD")->text(), QStringLiteral("10000"));
    }

    void framelessEdgesAndDragging()
    {
        m_window->resize(600, 500);
        m_window->move(100, 100);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const int W = m_window->width() - 1;
        const int H = m_window->height() - 1;
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, QPoint(W, H));
        QCOMPARE(m_window->cursor().shape(), Qt::SizeFDiagCursor);
        QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, QPoint(W, H));
        QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);

        m_window->setCursor(Qt::CrossCursor);
        const QSize size = m_window->size();
        const QPoint at = m_window->pos();
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, QPoint(3, 100));
        QCOMPARE(m_window->cursor().shape(), Qt::CrossCursor);
        QMouseEvent move(QEvent::MouseMove, QPoint(40, 130), m_window->mapToGlobal(QPoint(40, 130)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window.get(), &move);
        QCOMPARE(m_window->size(), size);
        QCOMPARE(m_window->pos(), at);
        QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, QPoint(40, 130));
    }

    void cardAddressFollowsTheLinkUnlessTypedOver()
    {
        child<QLineEdit>(*m_window, "lineEdit_boardIP_9009")->setText("127.0.0.7");
        ProtocolManager* pm = ProtocolManager::instance();
        pm->ConnectTcp("127.0.0.5", 1);
        pm->DisConnectTcp();
        QCOMPARE(child<QLineEdit>(*m_window, "lineEdit_boardIP")->text(), QStringLiteral("127.0.0.5"));
        QCOMPARE(child<QLineEdit>(*m_window, "lineEdit_boardIP_9009")->text(), QStringLiteral("127.0.0.7"));
        pm->ConnectTcp("127.0.0.1", 1);
        pm->DisConnectTcp();
    }
};

QTEST_MAIN(tst_ParamConfig)
#include "tst_ParamConfig.moc"
