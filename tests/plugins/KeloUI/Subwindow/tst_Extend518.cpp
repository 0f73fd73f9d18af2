#include <UiTestSupport.h>

#include <ConfigSetting.h>
#include <ExtProtocolDevice.h>
#include <Extend518.h>
#include <TestTime.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <ctime>
#include <memory>

using UiTest::child;

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A B3I record of 210 bytes for satellite `sat`, with its sequence number and mean anomaly.
QByteArray b3i(quint16 sat, quint8 seq, const char* meanAnomaly = "3F E0 00 00 00 00 00 00")
{
    QByteArray r(210, '\0');
    r[0] = char(0xC4);
    r[1] = char(seq);
    r[2] = char(sat >> 8);
    r[3] = char(sat & 0xFF);
    r.replace(4, 2, hex("03 84"));
    r.replace(10, 8, hex(meanAnomaly));
    r.replace(206, 4, hex("00 00 00 01"));
    return r;
}
} // namespace

// The extension panel against the simulated instrument's extension port on loopback.
class tst_Extend518 : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<ExtProtocolDevice> m_dev;
    std::unique_ptr<Extend518> m_panel;
    std::unique_ptr<UiTest::DialogRecorder> m_dialogs;
    int m_answer = QMessageBox::Yes;
    // Chooses the export's output file from the dialog's caption and folder; none: cancelled.
    std::function<QString(const QString& caption, const QString& directory)> m_saveAs;

    // The panel's boxes and its questions, in order.
    QList<DialogSeam::Request> boxes() const
    {
        QList<DialogSeam::Request> out;
        for (const auto& r : m_dialogs->requests)
            if (r.kind == DialogSeam::Request::Box || r.destructive)
                out << r;
        return out;
    }
    static Extend518::Box::Kind kind(const DialogSeam::Request& box)
    {
        if (box.destructive)
            return Extend518::Box::Question;
        if (box.icon == QMessageBox::Critical)
            return Extend518::Box::Critical;
        return box.icon == QMessageBox::Warning ? Extend518::Box::Warning : Extend518::Box::Information;
    }

    void click(const char* name) { QTest::mouseClick(child<QPushButton>(*m_panel, name), Qt::LeftButton); }
    QString text(const char* label) { return child<QLabel>(*m_panel, label)->text(); }

    // Waits until the instrument has taken `count` requests in all.
    bool waitRequests(int count)
    {
        QSignalSpy spy(m_dev.get(), &ExtProtocolDevice::requestReceived);
        while (m_dev->requests().size() < count) {
            if (!spy.wait(TestTime::ms(10000)))
                return false;
        }
        return true;
    }
    bool waitBoxes(int count)
    {
        return QTest::qWaitFor([&] { return boxes().size() >= count; }, 10000);
    }
    QList<int> codes() const
    {
        QList<int> out;
        for (const auto& r : m_dev->requests())
            out << r.code;
        return out;
    }
    // Asks the state and waits until the panel has shown it.
    void synchronise()
    {
        const int before = boxes().size();
        click("pushButton_netcheck");
        QVERIFY(waitBoxes(before + 1));
        QCOMPARE(boxes().last().text, QStringLiteral("通信成功"));
    }
    void refreshRecords()
    {
        const int before = m_dev->requests().size();
        click("pushButton_getrecord");
        QVERIFY(waitRequests(before + 1));
        QTRY_COMPARE_WITH_TIMEOUT(m_panel->recordModel()->rowCount(), m_dev->records.size(), TestTime::ms(10000));
    }
    // A reply handed to the decoder as the cutter would.
    void deliver(COST code, const QByteArray& payload)
    {
        emit m_panel->PostCmdResult(code, payload);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        m_app = std::make_unique<TestAppDir>();
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkIp, "127.0.0.1");
        m_dialogs = std::make_unique<UiTest::DialogRecorder>();
        m_dialogs->respond = [this](const DialogSeam::Request& r) -> DialogSeam::Answer {
            if (r.kind == DialogSeam::Request::SaveFile)
                return m_saveAs ? m_saveAs(r.title, r.directory) : QString();
            return kind(r) == Extend518::Box::Question && m_answer == QMessageBox::No ? 1 : 0;
        };
    }
    void cleanupTestCase() { m_dialogs.reset(); }

    void init()
    {
        m_dialogs->requests.clear();
        m_saveAs = nullptr;
        m_answer = QMessageBox::Yes;
        m_dev = std::make_unique<ExtProtocolDevice>();
        QVERIFY(m_dev->listen(QHostAddress::LocalHost, 0));
        m_panel = std::make_unique<Extend518>();
        child<QLineEdit>(*m_panel, "lineEdit_localport")->setText("0");
        child<QLineEdit>(*m_panel, "lineEdit_remoteport")->setText(QString::number(m_dev->port()));
        m_panel->show();
        QVERIFY(m_panel->isBound());
    }
    void cleanup()
    {
        m_panel.reset();
        m_dev.reset();
    }

    void bindsWhenShownAndTogglesWithItsButton()
    {
        auto* bind = child<QPushButton>(*m_panel, "pushButton_bind");
        QCOMPARE(bind->text(), QStringLiteral("取消绑定"));
        QCOMPARE(m_panel->windowTitle(), QStringLiteral("扩展协议"));
        // Before any reply, every value not yet known reads the same, none blank.
        for (const char* value : {"label_status", "label_check", "label_free", "label_total", "label_recordcount"})
            QCOMPARE(text(value), QStringLiteral("--"));
        click("pushButton_bind");
        QVERIFY(!m_panel->isBound());
        QCOMPARE(bind->text(), QStringLiteral("绑定"));
        // Unbound, a request goes nowhere.
        QSignalSpy sent(m_panel.get(), &Extend518::udp_send);
        click("pushButton_netcheck");
        QCOMPARE(sent.count(), 1);
        click("pushButton_bind");
        QVERIFY(m_panel->isBound());
        QCOMPARE(bind->text(), QStringLiteral("取消绑定"));
        click("pushButton_volume");
        QVERIFY(waitRequests(1));
        QCOMPARE(m_dev->requests().first().code, quint8(19));
    }

    void requestsAsTheyGoOnTheWire_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("state") << "netcheck" << hex("10 02 00 10 02");
        QTest::newRow("capacity") << "volume" << hex("10 02 13 23 02");
        QTest::newRow("forwarding start") << "transport" << hex("10 02 11 11 FF 00 00 00 00 20 14");
        QTest::newRow("collection stop") << "stoprecord" << hex("10 02 12 00 00 00 00 00 22 02");
        QTest::newRow("power slider at 60") << "slider" << hex("10 02 17 3C 27 3E");
        QTest::newRow("pulse count 300 cut to a byte") << "pulse" << hex("10 02 21 05 2C 5D 07");
        QTest::newRow("pulse set, count 300 in two bytes")
            << "setpulse" << hex("10 02 23 00 00 00 00 00 00 03 E8 01 2C 47 07");
    }
    void requestsAsTheyGoOnTheWire()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, frame);
        child<QLineEdit>(*m_panel, "lineEdit_pulse_width")->setText("1000");
        child<QLineEdit>(*m_panel, "lineEdit_pulse_count")->setText("300");
        child<QLineEdit>(*m_panel, "lineEdit_pulse_time")->setText("5");
        if (action == "slider")
            child<QSlider>(*m_panel, "horizontalSlider_power")->setValue(60);
        else
            click(qPrintable("pushButton_" + action));
        QVERIFY(waitRequests(1));
        QCOMPARE(m_dev->requests().first().raw.toHex(' '), frame.toHex(' '));
        if (action == "slider") {
            QCOMPARE(text("label_power_attenuation"), QStringLiteral("60 dB"));
            QCOMPARE(m_dev->power, quint8(60));
        }
    }

    void stateReports_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("recordButton");
        QTest::newRow("idle") << 1 << "空闲中" << true;
        QTest::newRow("collecting") << 2 << "采集中" << false;
        QTest::newRow("playing back") << 3 << "回放中" << false;
        QTest::newRow("forwarding") << 4 << "转发中" << false;
        QTest::newRow("mode 0 is stored, display kept") << 0 << "--" << true;
        QTest::newRow("mode 5 is stored, display kept") << 5 << "--" << true;
    }
    void stateReports()
    {
        QFETCH(int, mode);
        QFETCH(QString, label);
        QFETCH(bool, recordButton); // inside the record group, which playback and forwarding disable
        m_dev->mode = qint8(mode);
        synchronise();
        QCOMPARE(m_panel->deviceMode(), mode);
        QCOMPARE(text("label_status"), label);
        QCOMPARE(child<QPushButton>(*m_panel, "pushButton_record")->isEnabled(), recordButton);
        const bool busy = mode >= 2 && mode <= 4;
        QCOMPARE(child<QPushButton>(*m_panel, "pushButton_playback")->isEnabled(), !busy);
        QCOMPARE(child<QPushButton>(*m_panel, "pushButton_stoptp")->isEnabled(), mode != 2);
        QCOMPARE(child<QWidget>(*m_panel, "groupBox_record")->isEnabled(), mode != 3 && mode != 4);
    }

    void transportFaultsStillDeliverTheReply_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("split reply") << 0;
        QTest::newRow("garbage before the reply") << 1;
        QTest::newRow("two replies in one datagram") << 2;
        QTest::newRow("bad checksum is not checked") << 3;
    }
    void transportFaultsStillDeliverTheReply()
    {
        QFETCH(int, fault);
        auto& f = m_dev->faults();
        f.split = fault == 0;
        f.garbage = fault == 1 ? hex("AA 55 10 00 02") : QByteArray();
        f.coalesce = fault == 2;
        f.badChecksum = fault == 3;
        m_dev->faultWord = 5;
        m_dev->mode = 1;
        click("pushButton_devicecheck");
        QTRY_COMPARE_WITH_TIMEOUT(text("label_check"), QStringLiteral("射频异常;校准异常;"), TestTime::ms(10000));
        if (fault == 2) {
            // The state report that rode along is decoded too.
            QVERIFY(waitBoxes(1));
            QCOMPARE(text("label_status"), QStringLiteral("空闲中"));
        }
    }

    void collectionStartsAndStops()
    {
        auto* name = child<QLineEdit>(*m_panel, "lineEdit_recordname");
        auto* box = child<QCheckBox>(*m_panel, "checkBox");
        QVERIFY(box->isChecked());
        QVERIFY(!name->isEnabled());
        box->setChecked(false);
        name->setText("1754823552"); // 68 98 7B 80
        click("pushButton_record");
        QVERIFY(waitBoxes(1));
        QCOMPARE(m_dev->requests().first().payload.toHex(' '), QByteArray("ff 68 98 7b 80"));
        QCOMPARE(boxes().last().text, QStringLiteral("启动采集成功，记录名:1754823552"));
        QCOMPARE(m_panel->deviceMode(), 2);
        QCOMPARE(text("label_status"), QStringLiteral("采集中"));
        QVERIFY(!child<QPushButton>(*m_panel, "pushButton_record")->isEnabled());
        QVERIFY(child<QPushButton>(*m_panel, "pushButton_stoprecord")->isEnabled());

        click("pushButton_stoprecord");
        QVERIFY(waitBoxes(2));
        QCOMPARE(boxes().last().text, QStringLiteral("停止采集成功"));
        // After the box: the record list, then the capacity.
        QVERIFY(waitRequests(4));
        QCOMPARE(codes(), (QList<int>{18, 18, 20, 19}));
        QTRY_COMPARE_WITH_TIMEOUT(text("label_total"), QStringLiteral("3.000 TB"), TestTime::ms(10000));
        QCOMPARE(text("label_free"), QStringLiteral("1.500 GB"));
        QCOMPARE(m_panel->recordModel()->rowCount(), 1);
        QCOMPARE(m_panel->recordModel()->item(0, 1)->text(), QStringLiteral("20250810105912"));
        QCOMPARE(text("label_status"), QStringLiteral("空闲中"));
    }

    void collectionNamesAreChecked()
    {
        m_dev->records = {1700000000u};
        refreshRecords();
        child<QCheckBox>(*m_panel, "checkBox")->setChecked(false);
        QSignalSpy sent(m_panel.get(), &Extend518::udp_send);
        child<QLineEdit>(*m_panel, "lineEdit_recordname")->setText("1700000000");
        click("pushButton_record");
        QCOMPARE(boxes().last().text, QStringLiteral("记录编号重复"));
        QCOMPARE(kind(boxes().last()), Extend518::Box::Critical);
        child<QLineEdit>(*m_panel, "lineEdit_recordname")->setText("0");
        click("pushButton_record");
        QCOMPARE(boxes().last().text, QStringLiteral("记录编号不能等于 0"));
        QCOMPARE(sent.count(), 0);
    }

    void recordNameAndTimeFollowEachOther()
    {
        auto* name = child<QLineEdit>(*m_panel, "lineEdit_recordname");
        auto* time = child<QLineEdit>(*m_panel, "lineEdit_recordtime");
        auto* box = child<QCheckBox>(*m_panel, "checkBox");
        const QString lastName = name->text();
        const QString lastTime = time->text();
        QVERIFY(!lastName.isEmpty());
        box->setChecked(false);
        QVERIFY(name->isEnabled());
        QVERIFY(time->isEnabled());
        QCOMPARE(name->text(), lastName);
        QCOMPARE(time->text(), lastTime);

        name->clear();
        QTest::keyClicks(name, "0123");
        QCOMPARE(name->text(), QStringLiteral("123"));
        QCOMPARE(time->text(), QStringLiteral("19700101000203"));
        // A whole new time (as pasted) right after: the name follows it.
        time->setText("20240101000000");
        QCOMPARE(name->text(), QStringLiteral("1704067200"));
        time->setText("2024-01-01");
        QCOMPARE(name->text(), QStringLiteral("4294967295"));
        name->setText("1704067200");
        QCOMPARE(time->text(), QStringLiteral("20240101000000"));

        box->setChecked(true);
        QVERIFY(!name->isEnabled());
        QVERIFY(qAbs(qint64(name->text().toUInt()) - QDateTime::currentSecsSinceEpoch()) < 5);
    }

    void playbackForwardingAndStop()
    {
        m_dev->records = {1700000000u, 1700000600u};
        synchronise();
        refreshRecords();
        QCOMPARE(m_panel->recordModel()->item(1, 0)->text(), QStringLiteral("1700000600"));
        QCOMPARE(m_panel->recordModel()->item(1, 1)->text(), QStringLiteral("20231114222320"));
        QCOMPARE(m_panel->recordModel()->item(1, 0)->data(Qt::UserRole + 1).toUInt(), 1700000600u);
        QVERIFY(m_panel->recordModel()->item(1, 0)->isCheckable());
        QCOMPARE(text("label_recordcount"), QStringLiteral("2"));

        QSignalSpy sent(m_panel.get(), &Extend518::udp_send);
        // "停止" in idle sends nothing.
        click("pushButton_stoptp");
        QCOMPARE(sent.count(), 0);
        click("pushButton_playback");
        QCOMPARE(boxes().last().text, QStringLiteral("未选择需要回放的记录"));
        QCOMPARE(sent.count(), 0);

        auto* table = child<QTableView>(*m_panel, "tableView");
        table->setCurrentIndex(m_panel->recordModel()->index(1, 0));
        const int before = boxes().size();
        click("pushButton_playback");
        QVERIFY(waitBoxes(before + 1));
        QCOMPARE(boxes().last().text, QStringLiteral("启动回放成功，记录名:1700000600"));
        QCOMPARE(m_panel->deviceMode(), 3);
        click("pushButton_stoptp");
        QVERIFY(waitBoxes(before + 2));
        QCOMPARE(boxes().last().text, QStringLiteral("停止回放成功"));
        click("pushButton_transport");
        QVERIFY(waitBoxes(before + 3));
        QCOMPARE(boxes().last().text, QStringLiteral("启动转发成功"));
        QCOMPARE(text("label_status"), QStringLiteral("转发中"));
        click("pushButton_stoptp");
        QVERIFY(waitBoxes(before + 4));
        QCOMPARE(boxes().last().text, QStringLiteral("停止转发成功"));
        QList<QByteArray> payloads;
        for (const auto& r : m_dev->requests())
            if (r.code == 17)
                payloads << r.payload.toHex(' ');
        QCOMPARE(payloads, (QList<QByteArray>{"aa ff 65 53 f3 58", "aa 00 00 00 00 00", "11 ff 00 00 00 00",
                                              "11 00 00 00 00 00"}));
    }

    void unknownResultsAreReported_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::newRow("playback result 01") << 17 << hex("AA 01 00 00 00 00") << "回放错误"
                                            << "未知的回放响应结果";
        QTest::newRow("forwarding result 05") << 17 << hex("11 05 00 00 00 00") << "转发错误"
                                              << "未知的转发响应结果";
        QTest::newRow("kind 22 whatever the result") << 17 << hex("22 FF 00 00 00 00") << "转发回放错误"
                                                     << "未知的设备模式";
        QTest::newRow("collection result 07") << 18 << hex("07 00 00 00 00") << "采集错误"
                                              << "未知的采集响应结果";
        QTest::newRow("command error") << 193 << hex("17") << "命令执行失败"
                                       << "命令执行错误";
    }
    void unknownResultsAreReported()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, payload);
        QFETCH(QString, title);
        QFETCH(QString, message);
        m_dev->mode = 1;
        synchronise();
        deliver(COST(code), payload);
        QVERIFY(waitBoxes(2));
        QCOMPARE(kind(boxes().last()), Extend518::Box::Critical);
        QCOMPARE(boxes().last().title, title);
        QCOMPARE(boxes().last().text, message);
        QCOMPARE(m_panel->deviceMode(), 1);
        QCOMPARE(text("label_status"), QStringLiteral("空闲中"));
    }

    void recordListsOfEveryCount()
    {
        m_dev->records = {5u, 6u, 7u};
        refreshRecords();
        m_dev->records.clear();
        click("pushButton_getrecord");
        QTRY_COMPARE_WITH_TIMEOUT(m_panel->recordModel()->rowCount(), 0, TestTime::ms(10000));
        QCOMPARE(text("label_recordcount"), QStringLiteral("0"));
        deliver(COST_GetRecords, hex("00 00 00 01 00 00 00 09"));
        QCOMPARE(m_panel->recordModel()->rowCount(), 1);
        deliver(COST_GetRecords, hex("FF FF FF FE"));
        QCOMPARE(m_panel->recordModel()->rowCount(), 0);
        QCOMPARE(text("label_recordcount"), QStringLiteral("-2"));
        // More names announced than carried: only those carried become rows.
        deliver(COST_GetRecords, hex("00 00 00 05 00 00 00 01 00 00 00 02"));
        QCOMPARE(m_panel->recordModel()->rowCount(), 2);
        QCOMPARE(text("label_recordcount"), QStringLiteral("5"));
        // Short payloads of fixed-size replies are not read.
        deliver(COST_GetVolume, hex("00 00 04"));
        deliver(COST_GetPulse, hex("0F"));
        QCOMPARE(text("label_free"), QStringLiteral("--"));
        QCOMPARE(text("label_p_leap"), QString());
    }

    void deleteRuns_data()
    {
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<int>("missing"); // record the instrument no longer has, -1 none
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<quint32>>("left");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("refreshed");
        // of the first delete: its answer "lost", "error" or "late"; "checking": lost, and the
        // lists too until the next press; "check lost": lost with the lists, then they come; "cut";
        // "stale list": a list asked before the run answers after it, as the refresh's answer
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("next"); // the last box after a second press, on the first row left
        QTest::newRow("list reply lost: the run is told at the list's own time-out")
            << QList<int>{0, 2} << -1 << int(QMessageBox::Yes) << QList<quint32>{11} << "获取记录超时" << true
            << QString() << QString();
        // Each delete whose answer is lost is told by the list asked at once; the next goes then.
        QTest::newRow("answer lost: the list tells it, and the next goes")
            << QList<int>{0, 2} << -1 << int(QMessageBox::Yes) << QList<quint32>{11} << "删除成功，记录数:1" << false
            << "lost" << QString();
        QTest::newRow("command error ends the run, the next delete goes through")
            << QList<int>{} << -1 << int(QMessageBox::Yes) << QList<quint32>{11, 12} << "命令执行错误\n记录 11 未删除"
            << false << "error"
            << "删除成功，记录数:2";
        // The list asked at once tells it; the late answer after it is a stray, and the next
        // delete is told by its own answer.
        QTest::newRow("late answer after its check: not told again, the next delete is its own")
            << QList<int>{} << -1 << int(QMessageBox::Yes) << QList<quint32>{12} << "删除成功，记录数:2" << false
            << "late"
            << "删除成功，记录数:1";
        // 11's request never reached the instrument. While its check waits no delete goes out:
        // a press from elsewhere is told why, and the list tells 11 once it comes.
        QTest::newRow("a delete pressed while one is checked: not sent, told why")
            << QList<int>{} << -1 << int(QMessageBox::Yes) << QList<quint32>{12}
            << "未能获取记录列表，以下请求的结果未知：\n删除记录 11" << false << "checking"
            << "设备未及时应答，已重新获取记录列表：\n11 仍在设备上";
        // The list of the check is lost too: told unknown once, the list asked again until it
        // comes, and the next delete is told by its own answer.
        QTest::newRow("check unanswered: told unknown, asked again until a list comes")
            << QList<int>{} << -1 << int(QMessageBox::Yes) << QList<quint32>{12}
            << "未能获取记录列表，以下请求的结果未知：\n删除记录 11" << false << "check lost"
            << "设备未及时应答，已重新获取记录列表：\n11 已删除";
        QTest::newRow("check unanswered in a run: told unknown with the records not sent")
            << QList<int>{0, 2} << -1 << int(QMessageBox::Yes) << QList<quint32>{12}
            << "未能获取记录列表，以下请求的结果未知：\n删除记录 10\n以下记录未发送：\n12" << false << "check lost"
            << "设备未及时应答，已重新获取记录列表：\n10 已删除";
        QTest::newRow("link dropped while a delete waits: told unknown, the rest unsent")
            << QList<int>{0, 2} << -1 << int(QMessageBox::Yes) << QList<quint32>{11, 12}
            << "删除记录 10：连接已断开，结果未知\n其余 1 条记录未删除" << false << "cut" << QString();
        QTest::newRow("a list older than the delete is asked again, not shown")
            << QList<int>{} << -1 << int(QMessageBox::Yes) << QList<quint32>{10, 12} << "删除成功，记录数:2" << false
            << "stale list" << QString();
        QTest::newRow("two checked, confirmed") << QList<int>{0, 2} << -1 << int(QMessageBox::Yes) << QList<quint32>{11}
                                                << "删除成功，记录数:1" << true << QString() << QString();
        QTest::newRow("second of three fails")
            << QList<int>{0, 1, 2} << 1 << int(QMessageBox::Yes) << QList<quint32>{12} << "选择的记录有误，请刷新后重试"
            << false << QString() << QString();
        QTest::newRow("question answered no")
            << QList<int>{1} << -1 << int(QMessageBox::No) << QList<quint32>{10, 11, 12}
            << "是否确认删除选中的 1 条记录？" << false << QString() << QString();
        QTest::newRow("none checked takes the current row")
            << QList<int>{} << -1 << int(QMessageBox::Yes) << QList<quint32>{10, 12} << "删除成功，记录数:2" << true
            << QString() << QString();
        QTest::newRow("current row, question answered no")
            << QList<int>{} << -1 << int(QMessageBox::No) << QList<quint32>{10, 11, 12} << "是否确认删除记录 11？"
            << false << QString() << QString();
    }
    void deleteRuns()
    {
        QFETCH(QList<int>, checked);
        QFETCH(int, missing);
        QFETCH(int, answer);
        QFETCH(QList<quint32>, left);
        QFETCH(QString, message);
        QFETCH(bool, refreshed);
        QFETCH(QString, fault);
        QFETCH(QString, next);
        m_dev->records = {10u, 11u, 12u};
        synchronise();
        refreshRecords();
        for (int row : checked)
            m_panel->recordModel()->item(row, 0)->setCheckState(Qt::Checked);
        child<QTableView>(*m_panel, "tableView")->setCurrentIndex(m_panel->recordModel()->index(1, 0));
        if (missing >= 0)
            m_dev->records.removeAll(quint32(10 + missing));
        m_answer = answer;
        const bool listLost = message == "获取记录超时";
        if (listLost) {
            // The capacity answers, the list does not: the list's own wait tells, at its time.
            m_dev->faults().silentCodes = {quint8(COST_GetRecords)};
            m_panel->setReplyTimeout(TestTime::ms(300));
        }
        auto& f = m_dev->faults();
        if (fault == "lost" || fault == "cut")
            f.silentCodes = {quint8(COST_DeleteRecord)};
        else if (fault == "checking" || fault == "check lost")
            f.silentCodes = {quint8(COST_DeleteRecord), quint8(COST_GetRecords)};
        else if (fault == "error")
            f.errorCodes = {quint8(COST_DeleteRecord)};
        else if (fault == "late")
            f.holdUntilNext[quint8(COST_DeleteRecord)] = 1;
        else if (fault == "stale list")
            f.holdUntilNext[quint8(COST_GetRecords)] = 1;
        if (!fault.isEmpty())
            m_panel->setReplyTimeout(TestTime::ms(fault == "cut" ? 3000 : 300));
        if (fault == "stale list") {
            click("pushButton_getrecord");
            QTRY_COMPARE(boxes().last().text, QStringLiteral("获取记录超时"));
        }
        if (fault == "cut")
            QTimer::singleShot(TestTime::ms(100), m_panel.get(), [this] { click("pushButton_bind"); });
        const int before = m_dev->requests().size();
        click("pushButton_delete");
        // A run that deleted everything says so with the count the panel shows.
        QTRY_COMPARE(boxes().last().text, message);
        if (listLost) {
            QCOMPARE(boxes().at(boxes().size() - 2).text, QStringLiteral("删除成功"));
            QCOMPARE(text("label_free").isEmpty(), false);
            QCOMPARE(m_dev->records, left);
            // The confirmed records left the list without it.
            QCOMPARE(m_panel->recordModel()->rowCount(), 1);
            QCOMPARE(m_panel->recordModel()->item(0, 0)->text(), QStringLiteral("11"));
            QCOMPARE(text("label_recordcount"), QStringLiteral("1"));
            return;
        }
        if (fault == "lost" || fault == "late" || fault.contains("check"))
            QVERIFY(QTest::qWaitFor(
                [&] {
                    for (const auto& b : boxes())
                        if (b.text.startsWith(QStringLiteral("删除记录超时\n记录 1")))
                            return b.text.contains(QStringLiteral("未得到设备应答，正在重新获取记录列表核对"));
                    return false;
                },
                0));
        if (!next.isEmpty()) {
            // The run is over: the next press deletes the first row left, answered as its own.
            f.errorCodes.clear();
            if (fault == "checking") {
                m_dev->records = {11u, 12u};
                auto* button = child<QPushButton>(*m_panel, "pushButton_delete");
                QVERIFY(!button->isEnabled());
                QCOMPARE(button->toolTip(), QStringLiteral("正在核对…"));
                QVERIFY(!m_panel->sendDeleteRecord(12));
                QCOMPARE(boxes().last().text, QStringLiteral("上一次请求尚未结束（正在核对…），本次未发送"));
                QCOMPARE(m_dev->records, (QList<quint32>{11, 12}));
            }
            if (fault.contains("check")) {
                // The lists come back: the check asked again tells the delete, once.
                const int told = boxes().size();
                f.silentCodes.clear();
                QTRY_COMPARE(boxes().last().text, next);
                QCOMPARE(boxes().size(), told + 1);
                QTRY_VERIFY(child<QPushButton>(*m_panel, "pushButton_delete")->isEnabled());
                child<QTableView>(*m_panel, "tableView")->setCurrentIndex(m_panel->recordModel()->index(0, 0));
                click("pushButton_delete");
                QTRY_COMPARE(boxes().last().text, QStringLiteral("删除成功，记录数:%1").arg(left.size()));
                QCOMPARE(boxes().size(), told + 3); // the question, then the result
                QCOMPARE(m_dev->records, left);
                return;
            }
            child<QTableView>(*m_panel, "tableView")->setCurrentIndex(m_panel->recordModel()->index(0, 0));
            click("pushButton_delete");
            QTRY_COMPARE(boxes().last().text, next);
            for (const auto& b : boxes())
                QVERIFY(!b.text.contains(QStringLiteral("设备在超时后")));
            QCOMPARE(m_panel->recordModel()->rowCount(), left.size());
            QCOMPARE(m_dev->records, left);
            return;
        }
        if (fault == "cut") {
            QVERIFY(!m_panel->isBound());
            QCOMPARE(boxes().last().title, QStringLiteral("连接已断开"));
            QCOMPARE(m_panel->recordModel()->rowCount(), 3);
            return;
        }
        if (fault == "lost" || fault == "stale list") {
            // The check's list (the fresh one) shows what the instrument holds.
            QTRY_COMPARE(m_panel->recordModel()->rowCount(), left.size());
            QCOMPARE(m_dev->records, left);
            return;
        }
        if (refreshed) {
            QVERIFY(waitRequests(before + checked.size() + (checked.isEmpty() ? 1 : 0) + 2));
            QCOMPARE(codes().mid(codes().size() - 2), (QList<int>{20, 19}));
            QCOMPARE(text("label_recordcount"), QString::number(left.size()));
        }
        QCOMPARE(m_dev->records, left);
        if (!refreshed)
            QVERIFY(!codes().mid(before).contains(20));
    }

    void refusedUnlessIdle_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("delete") << "pushButton_delete";
        QTest::newRow("delete all") << "pushButton_delete_2";
        QTest::newRow("address change") << "pushButton";
    }
    void refusedUnlessIdle()
    {
        QFETCH(QString, button);
        // No state reported yet: mode 0.
        QSignalSpy sent(m_panel.get(), &Extend518::udp_send);
        child<QLineEdit>(*m_panel, "txt_IP")->setText("10.0.0.7");
        click(qPrintable(button));
        QCOMPARE(boxes().size(), 1);
        QCOMPARE(boxes().last().title, QStringLiteral("执行失败"));
        QCOMPARE(boxes().last().text, QStringLiteral("当前不为空闲状态，请手动同步状态确认空闲后操作"));
        QCOMPARE(sent.count(), 0);
    }

    void deleteAllThenRefresh_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("confirmed") << int(QMessageBox::Yes);
        QTest::newRow("question answered no") << int(QMessageBox::No);
    }
    void deleteAllThenRefresh()
    {
        QFETCH(int, answer);
        m_answer = answer;
        m_dev->records = {1u, 2u};
        synchronise();
        QSignalSpy sent(m_panel.get(), &Extend518::udp_send);
        click("pushButton_delete_2");
        // Until the panel's list came, the question does not guess a count.
        QCOMPARE(
            boxes().at(1).text,
            QStringLiteral(
                "是否确认清空设备上的所有记录？\n设备上的记录条数未知（记录列表尚未获取），将全部删除，无法恢复。\n"
                "电脑上的本地记录副本不受影响。"));
        if (answer == QMessageBox::No) {
            QCOMPARE(sent.count(), 0);
            return;
        }
        QVERIFY(waitBoxes(3));
        QCOMPARE(boxes().last().text, QStringLiteral("格式化成功"));
        QVERIFY(waitRequests(4));
        QCOMPARE(codes(), (QList<int>{0, 25, 20, 19}));
        QVERIFY(m_dev->records.isEmpty());
    }

    void addressChange()
    {
        synchronise();
        auto* ip = child<QLineEdit>(*m_panel, "txt_IP");
        ip->setText("10.0.0.256");
        click("pushButton");
        QCOMPARE(boxes().last().text, QStringLiteral("IP不合法"));
        ip->setText("10.0.0.7");
        click("pushButton");
        QCOMPARE(child<QLineEdit>(*m_panel, "txt_NetMask")->text(), QStringLiteral("255.255.255.0"));
        QCOMPARE(child<QLineEdit>(*m_panel, "txt_Gateway")->text(), QStringLiteral("10.0.0.1"));
        QVERIFY(waitBoxes(3));
        QCOMPARE(boxes().last().text,
                 QStringLiteral("修改IP成功，设备重启后生效。\n本软件不能重启设备：请给设备断电后重新上电。"));
        QCOMPARE(m_dev->requests().last().raw.toHex(' '),
                 hex("10 02 18 0A 00 00 07 FF FF FF 00 0A 00 00 01 31 15").toHex(' '));
        // A mask that is no address goes out as 0.
        child<QLineEdit>(*m_panel, "txt_NetMask")->setText("mask");
        click("pushButton");
        QVERIFY(waitRequests(3));
        QCOMPARE(m_dev->mask, 0u);
        QCOMPARE(m_dev->gateway, 0x0A000001u);
    }

    void timingAndLeapSecond()
    {
        m_dev->timing = hex("0F 03 84 00 01 E2 40 19 0C 03 07 05 09 00 00 00 0F 19 0C 03 07 05 0A 00 00 27 10");
        m_dev->leap = hex("00 12 FF FF 19 08 01 00 00 03 E8");
        click("pushButton_pulse");
        QTRY_COMPARE_WITH_TIMEOUT(text("label_p_leap"), QStringLiteral("负闰秒"), TestTime::ms(10000));
        QCOMPARE(text("label_p_bdweek"), QStringLiteral("900"));
        QCOMPARE(text("label_p_bdsec"), QStringLiteral("123456"));
        QCOMPARE(text("label_p_utc_date"), QStringLiteral("25-12-03"));
        QCOMPARE(text("label_p_utc_time"), QStringLiteral("7:05:09"));
        QCOMPARE(text("label_p_utc_day_sec"), QStringLiteral("1.5"));
        QCOMPARE(text("label_p_utc_time_2"), QStringLiteral("7:05:10"));
        QCOMPARE(text("label_p_utc_day_sec_2"), QStringLiteral("1000.0"));
        click("pushButton_leapsecond");
        QTRY_COMPARE_WITH_TIMEOUT(text("label_l_current"), QStringLiteral("18"), TestTime::ms(10000));
        QCOMPARE(text("label_l_next"), QStringLiteral("-1"));
        QCOMPARE(text("label_l_utc_date"), QStringLiteral("25-08-01"));
        QCOMPARE(text("label_l_sec"), QStringLiteral("1000"));
        child<QLineEdit>(*m_panel, "lineEdit_pulse_width")->setText("20");
        child<QLineEdit>(*m_panel, "lineEdit_pulse_count")->setText("3");
        click("pushButton_setpulse");
        QVERIFY(waitBoxes(1));
        QCOMPARE(boxes().last().title, QStringLiteral("设置成功"));
        QCOMPARE(boxes().last().text, QStringLiteral("对时脉冲设置成功\n宽度:20 个数:3"));
    }

    void ephemerisSetsMergeBySatellite()
    {
        auto* combo = child<QComboBox>(*m_panel, "comboBox_civil");
        auto* view = child<QPlainTextEdit>(*m_panel, "plainTextEdit_eph_civil");
        m_dev->b3i = {b3i(3, 1), b3i(1, 2), b3i(2, 3)};
        click("pushButton_eph_civil");
        QTRY_COMPARE_WITH_TIMEOUT(combo->count(), 3, TestTime::ms(10000));
        QCOMPARE(combo->itemText(0), QStringLiteral("1"));
        QCOMPARE(combo->itemText(2), QStringLiteral("3"));
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(view->toPlainText().startsWith(QStringLiteral(
            "星历数据标识0xC4(BDs) = 0xc4\n预装星历序号(本次发送的是第几个星历) = 2\n卫星号 = 1\n周数 = 900\n")));
        QVERIFY(view->toPlainText().contains(QStringLiteral("平均近点角 = 0.5000000000\n")));
        QVERIFY(view->toPlainText().endsWith(QStringLiteral("0为无效；1为有效 = 1\n")));
        combo->setCurrentIndex(2);
        QVERIFY(view->toPlainText().contains(QStringLiteral("卫星号 = 3\n")));

        // A later set of eight (two replies) replaces satellite 1 and adds the others.
        m_dev->b3i.clear();
        for (quint16 s = 1; s <= 8; ++s)
            m_dev->b3i << b3i(s, quint8(s), s == 1 ? "3F F0 00 00 00 00 00 00" : "3F E0 00 00 00 00 00 00");
        click("pushButton_eph_civil");
        QTRY_COMPARE_WITH_TIMEOUT(combo->count(), 8, TestTime::ms(10000));
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(view->toPlainText().contains(QStringLiteral("平均近点角 = 1.0000000000\n")));

        // A count above 63 is dropped; a count with no record refills and selects the first.
        combo->setCurrentIndex(4);
        deliver(COST_GetEphCivil, QByteArray(1, char(64)) + b3i(20, 1));
        QCOMPARE(combo->count(), 8);
        QCOMPARE(combo->currentIndex(), 4);
        deliver(COST_GetEphCivil, QByteArray(1, char(3)));
        QCOMPARE(combo->count(), 8);
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(view->toPlainText().contains(QStringLiteral("卫星号 = 1\n")));

        click("pushButton_eph_civil_clean");
        QCOMPARE(combo->count(), 0);
        QVERIFY(view->toPlainText().isEmpty());
    }

    void militaryAndCompositeViews()
    {
        QByteArray r(233, '\0');
        r[0] = char(0xC4);
        r[3] = 30;
        m_dev->b3a = {r};
        click("pushButton_eph_military");
        auto* combo = child<QComboBox>(*m_panel, "comboBox_military");
        QTRY_COMPARE_WITH_TIMEOUT(combo->count(), 1, TestTime::ms(10000));
        QCOMPARE(combo->itemData(0).toUInt(), 30u);
        QVERIFY(child<QPlainTextEdit>(*m_panel, "plainTextEdit_eph_military")
                    ->toPlainText()
                    .contains(QStringLiteral("卫星号 = 30\n")));
        // The civil tab is untouched.
        QCOMPARE(child<QComboBox>(*m_panel, "comboBox_civil")->count(), 0);

        m_dev->composite[1] = 7;
        click("pushButton_eph_composite");
        auto* composite = child<QPlainTextEdit>(*m_panel, "plainTextEdit_eph_composite");
        QTRY_VERIFY_WITH_TIMEOUT(composite->toPlainText().contains(QStringLiteral("预装星历数目 = 7\n")),
                                 TestTime::ms(10000));
        m_dev->composite[1] = 8;
        click("pushButton_eph_composite");
        QTRY_VERIFY_WITH_TIMEOUT(composite->toPlainText().contains(QStringLiteral("预装星历数目 = 8\n")),
                                 TestTime::ms(10000));
        QVERIFY(!composite->toPlainText().contains(QStringLiteral("预装星历数目 = 7\n")));
    }

    void silentInstrumentTimesOut_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("silentCode"); // -1: the instrument answers nothing
        QTest::newRow("state") << "pushButton_netcheck"
                               << "通信超时，获取状态失败" << -1;
        QTest::newRow("self-check") << "pushButton_devicecheck"
                                    << "自检超时" << -1;
        QTest::newRow("record list") << "pushButton_getrecord"
                                     << "获取记录超时" << -1;
        QTest::newRow("B3A ephemerides") << "pushButton_eph_military"
                                         << "获取星历数据超时" << -1;
        QTest::newRow("timing pulse") << "pushButton_pulse"
                                      << "对时脉冲超时" << -1;
        // A setting has nothing that names its outcome: one more wait in quiet, then unknown.
        QTest::newRow("timing pulse setting") << "pushButton_setpulse"
                                              << "对时脉冲设置：设备未应答，结果未知" << -1;
        // A start is checked by the state at once; that too is silent, and the start is unknown.
        QTest::newRow("collection start, its check lost")
            << "pushButton_record"
            << "采集超时|未能获取设备状态，以下请求的结果未知：\n采集" << -1;
        // Only the start's answer is lost: the state asked at once tells it, once.
        QTest::newRow("collection start, settled by the state")
            << "pushButton_record"
            << "采集超时|设备未及时应答，已查询设备状态：采集中" << int(COST_Record);
    }
    void silentInstrumentTimesOut()
    {
        QFETCH(QString, button);
        QFETCH(QString, message);
        QFETCH(int, silentCode);
        if (silentCode < 0)
            m_dev->faults().silent = true;
        else
            m_dev->faults().silentCodes = {quint8(silentCode)};
        m_panel->setReplyTimeout(TestTime::ms(100));
        click(qPrintable(button));
        // Each box in turn, and no other.
        const QStringList texts = message.split('|');
        QVERIFY(waitBoxes(texts.size()));
        QCOMPARE(kind(boxes().last()), silentCode < 0 ? Extend518::Box::Warning : Extend518::Box::Information);
        QCOMPARE(boxes().first().title, QStringLiteral("命令超时"));
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(boxes().at(i).text, texts.at(i));
        // While its kind is open its control is held, with the reason beside it.
        auto* control = child<QPushButton>(*m_panel, qPrintable(button));
        if (texts.size() > 1 && silentCode < 0) {
            QVERIFY(!control->isEnabled());
            QCOMPARE(control->toolTip(), QStringLiteral("正在核对…"));
        }
        QTest::qWait(TestTime::ms(300));
        QCOMPARE(boxes().size(), texts.size());
    }

    // ---- raw ephemeris files and their text exports

    void savedSetsGrowReplyByReplyAndExport()
    {
        QFile::remove(Extend518::ephemerisDir() + "/eph_b3i.dat");
        child<QCheckBox>(*m_panel, "checkBox_eph_civil_save")->setChecked(true);
        for (quint16 s = 1; s <= 14; ++s)
            m_dev->b3i << b3i(s, quint8(s));
        click("pushButton_eph_civil");
        QTRY_COMPARE_WITH_TIMEOUT(child<QComboBox>(*m_panel, "comboBox_civil")->count(), 14, TestTime::ms(10000));
        const QString path = Extend518::ephemerisDir() + "/eph_b3i.dat";
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(path).size(), qint64(3 + 14 * 210), TestTime::ms(10000));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray raw = f.readAll();
        f.close();
        // Blocks of 1261, 1261 and 421 bytes, each starting with the count of the whole set.
        QCOMPARE(quint8(raw[0]), quint8(14));
        QCOMPARE(quint8(raw[1261]), quint8(14));
        QCOMPARE(quint8(raw[2522]), quint8(14));
        QCOMPARE(raw.mid(1 + 1261 + 210, 210), b3i(8, 8));

        const QString out = m_app->root() + "/b3i.txt";
        QString caption;
        m_saveAs = [&](const QString& c, const QString&) {
            caption = c;
            return out;
        };
        click("pushButton_eph_civil_trans");
        m_saveAs = nullptr;
        QCOMPARE(caption, QStringLiteral("选择转换后文件输出位置(B3I)"));
        QFile text(out);
        QVERIFY(text.open(QIODevice::ReadOnly));
        const QString exported = QString::fromLocal8Bit(text.readAll());
        QCOMPARE(exported.count(QStringLiteral("//================================单颗卫星星历\r\n")), 14);
        QVERIFY(exported.startsWith(QStringLiteral(
            "//"
            "================================单颗卫星星历\r\n0xC4\t\t$星历数据标志\r\n1\t\t$星历序号\r\n1\t\t$svid\r\n"
            "900\t\t$week\r\n")));
        QVERIFY(exported.contains(QStringLiteral("5.000000000000000e-01\t\t$m0\r\n")));
        QVERIFY(exported.contains(QStringLiteral("14\t\t$svid\r\n")));
        QVERIFY(exported.indexOf(QStringLiteral("13\t\t$svid")) < exported.indexOf(QStringLiteral("14\t\t$svid")));
        QVERIFY(exported.endsWith(QStringLiteral("1\t\t$星历有效\r\n")));

        // A new request: its first reply starts the file afresh although the count is the same.
        // Replies are counted after the decoder has run on each (it was connected first).
        int decoded = 0;
        QObject context;
        connect(
            m_panel.get(), &Extend518::PostCmdResult, &context, [&] { ++decoded; }, Qt::QueuedConnection);
        click("pushButton_eph_civil");
        QVERIFY(QTest::qWaitFor([&] { return decoded >= 3; }, TestTime::ms(10000)));
        QCOMPARE(QFileInfo(path).size(), qint64(3 + 14 * 210));
    }

    void savingFollowsItsCheckBox()
    {
        const QString path = Extend518::ephemerisDir() + "/eph_b3a.dat";
        QDir().mkpath(Extend518::ephemerisDir());
        QByteArray old(1 + 233, '\0');
        old[0] = 1;
        old[1 + 3] = 40;
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(old);
        }
        QByteArray r(233, '\0');
        r[3] = 7;
        m_dev->b3a = {r, r, r, r, r};
        QVERIFY(!child<QCheckBox>(*m_panel, "checkBox_eph_military_save")->isChecked());
        click("pushButton_eph_military");
        QTRY_COMPARE_WITH_TIMEOUT(child<QComboBox>(*m_panel, "comboBox_military")->count(), 1, TestTime::ms(10000));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        f.close();

        // Still exported as it is on disk.
        const QString out = m_app->root() + "/b3a.txt";
        m_saveAs = [&](const QString&, const QString&) { return out; };
        click("plainTextEdit_eph_military_trans");
        m_saveAs = nullptr;
        QFile text(out);
        QVERIFY(text.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromLocal8Bit(text.readAll()).contains(QStringLiteral("\r\n40\t$svid\r\n")));

        child<QCheckBox>(*m_panel, "checkBox_eph_military_save")->setChecked(true);
        click("pushButton_eph_military");
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(path).size(), qint64(1 + 5 * 233), TestTime::ms(10000));
    }

    void exportRefusals_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("file"); // content of the raw file; null: no file
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("exported"); // null: nothing written
        QTest::newRow("missing file") << "plainTextEdit_eph_military_trans" << QByteArray() << false << "导出失败(B3A)"
                                      << "无原始星历数据失败，导出失败" << QString();
        QTest::newRow("cancelled dialog")
            << "pushButton_eph_civil_trans" << QByteArray(1, '\1') << true << "导出失败(B3I)"
            << "保存文件失败，导出失败" << QString();
        QTest::newRow("set of none exports an empty text")
            << "pushButton_eph_civil_trans" << QByteArray(1, '\0') << false << QString() << QString() << "";
        QTest::newRow("short composite file")
            << "pushButton_eph_composite_trans" << QByteArray(100, '\0') << false << "导出失败(综合星历)"
            << "无原始星历数据失败，导出失败" << QString();
    }
    void exportRefusals()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, file);
        QFETCH(bool, cancel);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, exported);
        const QString name = button.contains("composite") ? "eph_composite.dat"
                           : button.contains("civil")     ? "eph_b3i.dat"
                                                          : "eph_b3a.dat";
        const QString path = Extend518::ephemerisDir() + "/" + name;
        QFile::remove(path);
        if (!file.isNull()) {
            QDir().mkpath(Extend518::ephemerisDir());
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(file);
        }
        const QString out = m_app->root() + "/export.txt";
        QFile::remove(out);
        int asked = 0;
        m_saveAs = [&](const QString&, const QString&) {
            ++asked;
            return cancel ? QString() : out;
        };
        click(qPrintable(button));
        m_saveAs = nullptr;
        if (message.isEmpty()) {
            QVERIFY(boxes().isEmpty());
        } else {
            QCOMPARE(boxes().size(), 1);
            QCOMPARE(kind(boxes().last()), Extend518::Box::Critical);
            QCOMPARE(boxes().last().title, title);
            QCOMPARE(boxes().last().text, message);
        }
        QCOMPARE(asked, file.isNull() || file.size() == 100 ? 0 : 1);
        QCOMPARE(QFile::exists(out), !exported.isNull());
        if (!exported.isNull())
            QCOMPARE(QFileInfo(out).size(), qint64(exported.size()));
    }

    void truncatedSetExportsItsWholeRecords()
    {
        // Three announced, two and a half there.
        QByteArray raw(1, char(3));
        raw += b3i(5, 1) + b3i(6, 2) + b3i(7, 3).left(100);
        QDir().mkpath(Extend518::ephemerisDir());
        QFile f(Extend518::ephemerisDir() + "/eph_b3i.dat");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(raw);
        f.close();
        const QString out = m_app->root() + "/short.txt";
        m_saveAs = [&](const QString&, const QString&) { return out; };
        click("pushButton_eph_civil_trans");
        m_saveAs = nullptr;
        QFile text(out);
        QVERIFY(text.open(QIODevice::ReadOnly));
        const QString exported = QString::fromLocal8Bit(text.readAll());
        QCOMPARE(exported.count(QStringLiteral("$svid")), 2);
        QVERIFY(exported.contains(QStringLiteral("6\t\t$svid")));
    }

    void compositeSavedAndExported()
    {
        QByteArray block(117, '\0');
        block[0] = char(0xCC);
        block.replace(22, 8, hex("40 4D F3 33 33 33 33 33")); // 59.9 s
        block.replace(34, 8, hex("3F F0 00 00 00 00 00 00")); // 1 rad
        block.replace(50, 8, hex("40 59 00 00 00 00 00 00")); // 100 m
        m_dev->composite = block;
        QVERIFY(child<QCheckBox>(*m_panel, "checkBox_eph_composite_save")->isChecked());
        click("pushButton_eph_composite");
        QTRY_VERIFY_WITH_TIMEOUT(
            !child<QPlainTextEdit>(*m_panel, "plainTextEdit_eph_composite")->toPlainText().isEmpty(),
            TestTime::ms(10000));
        QFile saved(Extend518::ephemerisDir() + "/eph_composite.dat");
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), block);
        saved.close();
        const QString out = m_app->root() + "/composite.txt";
        m_saveAs = [&](const QString&, const QString& dir) { return dir.endsWith("/../Ephemeris/") ? out : QString(); };
        click("pushButton_eph_composite_trans");
        m_saveAs = nullptr;
        QFile text(out);
        QVERIFY(text.open(QIODevice::ReadOnly));
        const QString exported = QString::fromLocal8Bit(text.readAll());
        QVERIFY(exported.startsWith(QStringLiteral("//"
                                                   "********************************星历综合数*************************"
                                                   "*******\r\n0xCC\t\t$星历数据标志\r\n")));
        QVERIFY(exported.contains(QStringLiteral("\r\n59\t$UTC秒\r\n")));
        QVERIFY(exported.contains(QStringLiteral("\r\n1.000000000000000\t$纬度 rad\r\n")));
        QVERIFY(exported.contains(QStringLiteral("\r\n100.00000\t$高度 m\r\n")));
        QVERIFY(exported.contains(QStringLiteral(
            "\r\n================================BD UTC电离层参数================================\r\n")));
        QCOMPARE(exported.count(QStringLiteral("\r\n")), 47);
    }

    void deleteWithoutAnswerFails()
    {
        m_dev->records = {10u};
        synchronise();
        refreshRecords();
        child<QTableView>(*m_panel, "tableView")->setCurrentIndex(m_panel->recordModel()->index(0, 0));
        m_dev->faults().silent = true;
        m_panel->setReplyTimeout(TestTime::ms(100));
        const int before = boxes().size();
        click("pushButton_delete");
        // Told as unanswered, once: not as a wrong selection; then that its check got no list.
        // The press does not wait for it.
        QTRY_COMPARE(boxes().size(), before + 3);
        QCOMPARE(boxes().at(before + 1).title, QStringLiteral("命令超时"));
        QCOMPARE(boxes().at(before + 1).text,
                 QStringLiteral("删除记录超时\n记录 10 未得到设备应答，正在重新获取记录列表核对"));
        QCOMPARE(boxes().last().text, QStringLiteral("未能获取记录列表，以下请求的结果未知：\n删除记录 10"));
    }
};

QTEST_MAIN(tst_Extend518)
#include "tst_Extend518.moc"
