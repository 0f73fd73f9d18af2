#include <CommandTest.h>
#include <ConfigSetting.h>
#include <FileLogger.h>
#include <FramePeer.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <functional>
#include <memory>

using Call = std::function<bool(ProtocolManager&)>;
Q_DECLARE_METATYPE(Call)

namespace {
RecordChannel channel(quint8 band, bool forward, bool record)
{
    RecordChannel c;
    c.BandId = band;
    c.Forward = forward ? 1 : 0;
    c.Record = record ? 1 : 0;
    return c;
}

RecordParam param(const QList<RecordChannel>& channels, quint8 count, const QString& note = QString())
{
    RecordParam p;
    p.RecordName = 0x65A2A8C0;
    p.SerialPortRecord = 1;
    p.BitWidth = 8;
    p.ExternalTrigger = 1;
    p.TimedStop = 0x01020304;
    p.TimedStart = 0x0A0B0C0D;
    p.ChannelNum = count;
    p.Channels = channels;
    p.Note = note;
    return p;
}
// param()'s fields ahead of the channel count, as the collection start carries them.
const QByteArray kParamHead = QByteArray::fromHex("C0A8A265"
                                                  "01"
                                                  "08"
                                                  "01"
                                                  "04030201"
                                                  "0D0C0B0A");

// The control code of the start or stop that waits in the reply table, or none.
int awaitedCode(const ProtocolManager& pm)
{
    for (int cmd = 1; cmd <= 4; ++cmd)
        if (pm.isAwaiting(Msg_Type::Collect, Msg_Cmd(cmd)))
            return cmd + 1;
    return ControlNone;
}
} // namespace

class tst_CollectCommands : public CommandTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = LinkTest::appWithLog();
        qRegisterMetaType<SystemState>();
    }
    void init()
    {
        CommandTest::init();
        LinkTest::resetRunState();
    }

    void requests_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("code");
        QTest::newRow("start collection, two channels and a note") << Call([](ProtocolManager& pm) {
            return pm.StartRecordCmd(param({channel(3, false, true), channel(9, true, true)}, 2, "站点A"));
        }) << 1
                                                                   << kParamHead
                                                                          + QByteArray::fromHex("02"
                                                                                                "03000001"
                                                                                                "09000101"
                                                                                                "E7AB99E782B941")
                                                                   << 2;
        QTest::newRow("start collection, count above the list gets fillers")
            << Call([](ProtocolManager& pm) { return pm.StartRecordCmd(param({channel(5, true, false)}, 3)); }) << 1
            << kParamHead
                   + QByteArray::fromHex("03"
                                         "05000100"
                                         "00000100"
                                         "00000100")
            << 2;
        QTest::newRow("start collection, count below the list writes every entry")
            << Call([](ProtocolManager& pm) {
                   return pm.StartRecordCmd(param({channel(1, false, true), channel(2, false, true)}, 1));
               })
            << 1
            << kParamHead
                   + QByteArray::fromHex("01"
                                         "01000001"
                                         "02000001")
            << 2;
        QTest::newRow("stop collection") << Call([](ProtocolManager& pm) { return pm.StopRecordCmd(true); }) << 2
                                         << QByteArray::fromHex("01") << 3;
        QTest::newRow("start playback") << Call([](ProtocolManager& pm) {
            return pm.StartPlaybackCmd(0x65A2A8C0, 3, 10, 600, true, 0x11223344, 0);
        }) << 3
                                        << QByteArray::fromHex("C0A8A265"
                                                               "03000000"
                                                               "0A000000"
                                                               "58020000"
                                                               "01"
                                                               "44332211"
                                                               "00000000")
                                        << 4;
        QTest::newRow("stop playback") << Call([](ProtocolManager& pm) { return pm.StopPlaybackCmd(); }) << 4
                                       << QByteArray() << 5;
        QTest::newRow("output attenuation leaves the control code") << Call([](ProtocolManager& pm) {
            pm.SetAttenuationPower(255, 0x01020304);
            return true;
        }) << 5 << QByteArray::fromHex("FF04030201") << 1;
    }
    void requests()
    {
        QFETCH(Call, call);
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QFETCH(int, code);
        bool accepted = false;
        QVERIFY(requestSent(Msg_Type::Collect, [&] { accepted = call(*m_pm); }));
        QVERIFY(accepted);
        QCOMPARE(awaitedCode(*m_pm), code);
        QCOMPARE(m_sent.bytes, FramePeer::compose(Msg_Type::Collect, Msg_Cmd(cmd), payload, m_sent.sequence));
    }

    void channelOverrideSendsTheDeviceCount()
    {
        ConfigSetting::instance()->SetInit(ConfigKey::DebugEnableChannel, 2);
        m_pm = std::make_unique<ProtocolManager>();
        ConfigSetting::instance()->SetInit(ConfigKey::DebugEnableChannel, 0);
        // Device information: four channels, no boards.
        m_pm->slot_tcp_dataRecv(
            FramePeer::reply(Msg_Type::System, Msg_Cmd::DeviceInfo, QByteArray(1, '\x04') + QByteArray(40, '\0')));
        QVERIFY(LinkTest::connectLink(*m_pm, m_peer));
        QVERIFY(m_pm->StartRecordCmd(param({channel(3, true, false), channel(6, true, false)}, 2)));
        FramePeer::Frame f;
        QVERIFY(m_peer->next(Msg_Type::Collect, f));
        QCOMPARE(f.payload, kParamHead
                                + QByteArray::fromHex("04"
                                                      "03000100"
                                                      "06000100"
                                                      "00000100"
                                                      "00000100"));
    }

    void sendWhileDownFails_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("error");
        QTest::newRow("start collection")
            << Call([](ProtocolManager& pm) { return pm.StartRecordCmd(param({channel(1, false, true)}, 1)); })
            << QStringLiteral("启动采集失败：网络发送失败");
        QTest::newRow("stop collection") << Call([](ProtocolManager& pm) { return pm.StopRecordCmd(true); })
                                         << QStringLiteral("停止采集失败：网络发送失败");
        QTest::newRow("start playback") << Call([](ProtocolManager& pm) {
            return pm.StartPlaybackCmd(1, 0, 0, 0, false, 0, 0);
        }) << QStringLiteral("启动回放失败：网络发送失败");
        QTest::newRow("stop playback") << Call([](ProtocolManager& pm) { return pm.StopPlaybackCmd(); })
                                       << QStringLiteral("停止回放失败：网络发送失败");
    }
    void sendWhileDownFails()
    {
        QFETCH(Call, call);
        QFETCH(QString, error);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy result(m_pm.get(), &ProtocolManager::ControlResult);
        QVERIFY(!call(*m_pm));
        QCOMPARE(awaitedCode(*m_pm), int(ControlNone));
        QCOMPARE(LinkTest::logMessages(log, FileLogger::Error), QStringList{error});
        QCOMPARE(result.count(), 0);
    }

    void replies_data()
    {
        QTest::addColumn<QList<RecordChannel>>("channels");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("line");
        const QList<RecordChannel> recording{channel(1, true, false), channel(2, true, true)};
        const QList<RecordChannel> forwarding{channel(1, true, false), channel(2, true, false)};
        QTest::newRow("collection started") << recording << 1 << 1 << 1 << 2 << QStringLiteral("启动采集成功");
        QTest::newRow("forwarding started") << forwarding << 1 << 1 << 1 << 4 << QStringLiteral("启动转发成功");
        QTest::newRow("any nonzero byte is success")
            << forwarding << 1 << 1 << 0x80 << 4 << QStringLiteral("启动转发成功");
        QTest::newRow("collection refused") << recording << 1 << 1 << 0 << 1 << QStringLiteral("启动采集失败");
        QTest::newRow("forwarding refused") << forwarding << 1 << 1 << 0 << 1 << QStringLiteral("启动转发失败");
        // A second start refused while collecting stops nothing: the run goes on.
        QTest::newRow("start refused while collecting keeps the run")
            << recording << 2 << 1 << 0 << 2 << QStringLiteral("启动采集失败");
        QTest::newRow("collection stopped") << recording << 2 << 2 << 1 << 1 << QStringLiteral("停止采集/转发成功");
        QTest::newRow("stop refused keeps state")
            << recording << 2 << 2 << 0 << 2 << QStringLiteral("停止采集/转发失败");
        QTest::newRow("playback started") << recording << 1 << 3 << 1 << 3 << QStringLiteral("启动回放成功");
        QTest::newRow("playback refused") << recording << 1 << 3 << 0 << 1 << QStringLiteral("启动回放失败");
        QTest::newRow("playback stopped") << recording << 3 << 4 << 1 << 1 << QStringLiteral("停止回放成功");
        // Idle -> collecting -> playback: the state before playback is collecting.
        QTest::newRow("stop playback refused returns to the previous state")
            << recording << 3 << 4 << 0 << 2 << QStringLiteral("停止回放失败");
    }
    void replies()
    {
        QFETCH(QList<RecordChannel>, channels);
        QFETCH(int, before);
        QFETCH(int, cmd);
        QFETCH(int, result);
        QFETCH(int, state);
        QFETCH(QString, line);
        if (before == 3)
            RunStatus::instance()->slot_GlobalStatus(SystemState::Collecting);
        RunStatus::instance()->slot_GlobalStatus(SystemState(before));
        // Built while the link is down: the send fails, the forwarding flag is set all the same.
        m_pm->StartRecordCmd(param(channels, quint8(channels.size())));
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd(cmd));

        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QSignalSpy changes(m_pm.get(), &ProtocolManager::StateChange);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd(cmd), QByteArray(1, char(result))));
        QCOMPARE(awaitedCode(*m_pm), int(ControlNone));
        QCOMPARE(control.count(), 1);
        QCOMPARE(int(control.at(0).at(0).value<uchar>()), cmd + 1);
        QCOMPARE(control.at(0).at(1).toBool(), result != 0);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(int(changes.at(0).at(0).value<SystemState>()), state);
        QCOMPARE(int(RunStatus::CurrentStatus()), state);
        QCOMPARE(LinkTest::logMessages(log, result != 0 ? FileLogger::Info : FileLogger::Error), QStringList{line});
        QCOMPARE(m_pm->lastErrorText().isEmpty(), result != 0);
    }

    void startAnnouncesTheGlobalStateOnce()
    {
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QList<QString> order;
        connect(m_pm.get(), &ProtocolManager::ControlResult, this, [&] { order << "control"; });
        connect(RunStatus::instance(), &RunStatus::GlobalChangeState, this, [&] { order << "global"; });
        m_pm->StartRecordCmd(param({channel(1, false, true)}, 1));
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StartRecord);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd::StartRecord, QByteArray(1, '\x01')));
        QCOMPARE(global.count(), 1);
        QCOMPARE(int(global.at(0).at(0).value<SystemState>()), 2);
        QCOMPARE(order, (QList<QString>{"control", "global"}));
        // The same state again changes nothing globally.
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StartRecord);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd::StartRecord, QByteArray(1, '\x01')));
        QCOMPARE(global.count(), 1);
        disconnect(RunStatus::instance(), nullptr, this, nullptr);
    }

    void failureDefaultsErrorTextOnlyWhenEmpty()
    {
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StartPlayback);
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StartRecord);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd::StartPlayback, QByteArray(1, '\0')));
        QCOMPARE(m_pm->lastErrorText(), QStringLiteral("设备回应失败"));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::System, Msg_Cmd::AskTimeout, QByteArray("[card 1] lost")));
        const QString terminal = m_pm->lastErrorText();
        QVERIFY(terminal != QStringLiteral("设备回应失败"));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd::StartRecord, QByteArray(1, '\0')));
        QCOMPARE(m_pm->lastErrorText(), terminal);
    }

    void playbackEndingByItself_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("progress");
        QTest::addColumn<QStringList>("order"); // of the signals
        QTest::newRow("ended by the instrument")
            << 1 << QByteArray::fromHex("012C010000") << true << QStringList{"progress", "state"};
        QTest::newRow("our stop pending")
            << 5 << QByteArray::fromHex("012C010000") << false << QStringList{"control", "state"};
        // Without a stop of ours waiting these are no answer to anything: the state is asked for.
        QTest::newRow("short reply carries no progress") << 1 << QByteArray::fromHex("01") << false << QStringList{};
        QTest::newRow("failed stop carries no progress")
            << 1 << QByteArray::fromHex("002C010000") << false << QStringList{};
    }
    void playbackEndingByItself()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, payload);
        QFETCH(bool, progress);
        QFETCH(QStringList, order);
        if (code == ControlStopPlayback)
            m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StopPlayback);
        QStringList seen;
        QSignalSpy spy(m_pm.get(), &ProtocolManager::ProgressUpdate);
        connect(m_pm.get(), &ProtocolManager::ProgressUpdate, this, [&] { seen << "progress"; });
        connect(m_pm.get(), &ProtocolManager::ControlResult, this, [&] { seen << "control"; });
        connect(m_pm.get(), &ProtocolManager::StateChange, this, [&] { seen << "state"; });
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd::StopPlayback, payload));
        QCOMPARE(spy.count(), progress ? 1 : 0);
        QCOMPARE(seen, order);
        if (progress) {
            QCOMPARE(spy.at(0).at(0).toUInt(), 300u);
            QCOMPARE(spy.at(0).at(1).toUInt(), 0xFFFFFFFFu);
        }
    }

    // Each start and stop waits in the reply table: its result acts while it waits; once its wait
    // ran out (told once to its owner, no longer awaited) its check decides: the same result acts
    // on nothing and tells nothing (it may be a repeat).
    void startsAndStopsActOnlyWhileTheyWait_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<bool>("expired");
        const char* names[] = {"start collection", "stop collection", "start playback", "stop playback"};
        for (int cmd = 1; cmd <= 4; ++cmd) {
            QTest::addRow("%s, answered while it waits", names[cmd - 1]) << cmd << false;
            QTest::addRow("%s, answered after its wait", names[cmd - 1]) << cmd << true;
        }
    }
    void startsAndStopsActOnlyWhileTheyWait()
    {
        QFETCH(int, cmd);
        QFETCH(bool, expired);
        m_pm->setReplyWaitForTest(TestTime::ms(expired ? 20 : 60000));
        QList<ReplyOutcome> told;
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd(cmd), QByteArray(),
                                 ReplyOwner(this, [&](const ReplyNotice& n) { told << n.outcome; }));
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QSignalSpy changes(m_pm.get(), &ProtocolManager::StateChange);
        if (expired) {
            QTRY_VERIFY_WITH_TIMEOUT(!told.isEmpty(), TestTime::ms(5000));
            QCOMPARE(awaitedCode(*m_pm), int(ControlNone));
        }
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd(cmd), QByteArray(1, '\x01')));
        QCOMPARE(told, QList<ReplyOutcome>{expired ? ReplyOutcome::TimedOut : ReplyOutcome::InTime});
        QCOMPARE(m_pm->isChecking(Msg_Type::Collect, Msg_Cmd(cmd)), expired);
        QCOMPARE(control.size() + changes.size(), expired ? 0 : 2);
        QCOMPARE(awaitedCode(*m_pm), int(ControlNone));
    }

    void errorStop_data()
    {
        QTest::addColumn<quint32>("reason");
        QTest::addColumn<QString>("message");
        QTest::newRow("disk full") << 1u << QStringLiteral("主动停止错误(1) 硬盘空间不足");
        QTest::newRow("loop storage") << 2u << QStringLiteral("主动停止错误(2) 循环存储失败");
        QTest::newRow("no rf") << 3u << QStringLiteral("主动停止错误(3) 无射频数据，启动失败");
        QTest::newRow("other") << 9u << QStringLiteral("主动停止错误(9) 其他错误");
    }
    void errorStop()
    {
        QFETCH(quint32, reason);
        QFETCH(QString, message);
        RunStatus::instance()->slot_GlobalStatus(SystemState::Collecting);
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StopRecord);
        QSignalSpy stop(m_pm.get(), &ProtocolManager::ErrorStopMsg);
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd::ErrorStop, u32(reason)));
        QCOMPARE(stop.count(), 1);
        QCOMPARE(stop.at(0).at(0).toString(), message);
        QCOMPARE(LinkTest::logMessages(log, FileLogger::Error), QStringList{message});
        QCOMPARE(control.count(), 0);
        QCOMPARE(awaitedCode(*m_pm), int(ControlStopRecord));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Collecting);
    }

    void attenuationReply_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("emitted");
        QTest::newRow("five bytes") << QByteArray::fromHex("0210000000") << true;
        QTest::newRow("four bytes") << QByteArray::fromHex("02100000") << false;
        QTest::newRow("six bytes") << QByteArray::fromHex("021000000000") << false;
    }
    void attenuationReply()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, emitted);
        QSignalSpy spy(m_pm.get(), &ProtocolManager::AttenuationPowerChanged);
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd::AttenuationPower, payload));
        QCOMPARE(spy.count(), emitted ? 1 : 0);
        QCOMPARE(control.count(), 0);
        if (emitted) {
            QCOMPARE(int(spy.at(0).at(0).value<uchar>()), 2);
            QCOMPARE(spy.at(0).at(1).toUInt(), 16u);
        }
    }

    void ignoredReplies_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("settles"); // the waiting start: an unreadable answer fails it
        QTest::newRow("command 0") << 0 << QByteArray(1, '\x01') << false;
        QTest::newRow("command 6") << 6 << QByteArray(1, '\x01') << false;
        QTest::newRow("command 8") << 8 << QByteArray(1, '\x01') << false;
        QTest::newRow("start without result byte") << 1 << QByteArray() << true;
        QTest::newRow("error stop without reason") << 7 << QByteArray::fromHex("010000") << false;
    }
    void ignoredReplies()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QFETCH(bool, settles);
        QList<ReplyOutcome> told;
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StartRecord, QByteArray(),
                                 ReplyOwner(this, [&](const ReplyNotice& n) { told << n.outcome; }));
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QSignalSpy changes(m_pm.get(), &ProtocolManager::StateChange);
        QSignalSpy stop(m_pm.get(), &ProtocolManager::ErrorStopMsg);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Collect, Msg_Cmd(cmd), payload));
        QCOMPARE(control.count() + changes.count() + stop.count(), 0);
        QCOMPARE(awaitedCode(*m_pm), settles ? int(ControlNone) : int(ControlStartRecord));
        QCOMPARE(told, settles ? QList<ReplyOutcome>{ReplyOutcome::Malformed} : QList<ReplyOutcome>{});
    }

    void attenuationWhileDownSendsNothing()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_pm->SetAttenuationPower(1, 5);
        QCOMPARE(log.count(), 0);
        QCOMPARE(awaitedCode(*m_pm), int(ControlNone));
    }
};

QTEST_GUILESS_MAIN(tst_CollectCommands)
#include "tst_CollectCommands.moc"
