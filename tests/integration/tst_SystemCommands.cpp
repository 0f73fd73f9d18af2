#include <ConfigSetting.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <RunStatus.h>
#include <SystemHandler.h>
#include <TcpConnect.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QDateTime>
#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <memory>

using LinkTest::waitCount;

class tst_SystemCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_app = LinkTest::appWithLog(); }
    void init() { QVERIFY(LinkTest::startSim(m_sim, m_pm)); }
    void cleanup()
    {
        m_pm.reset();
        m_sim.reset();
    }

    void firstFrameIsHeartbeatThenPeriodic()
    {
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        QSignalSpy requests(m_sim.get(), &InstrumentSim::requestReceived);
        QVERIFY(!m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QCOMPARE(net.at(0).at(0).toBool(), true);
        QVERIFY(waitCount(requests, 3));
        const auto& log = m_sim->requests();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(int(log.at(i).type), 1);
            QCOMPARE(int(log.at(i).cmd), 1);
            QCOMPARE(log.at(i).payload, QByteArray(1, '\x01'));
            QVERIFY(log.at(i).crcGood);
        }
        // The frame built while the link was down used sequence 0.
        QCOMPARE(int(log.at(0).sequence), 1);
        QCOMPARE(int(log.at(1).sequence), 2);
    }

    void withheldRepliesDropAndReopenLink()
    {
        m_sim->faults().skipHeartbeats = -1;
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        QSignalSpy missed(m_pm.get(), &ProtocolManager::HeartBeatTimeout);
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_sim->port());
        QVERIFY(waitCount(net, 3));
        QCOMPARE(net.at(1).at(0).toBool(), false);
        QCOMPARE(net.at(2).at(0).toBool(), true);
        QCOMPARE(missed.at(2).at(0).value<uchar>(), uchar(3));
        QVERIFY(m_sim->connectionCount() >= 2);
    }

    // Each heartbeat unanswered for a second is one miss; the third closes the link. Timed at
    // the instrument's own period, since that is where the user waits.
    void heartbeatMissesCountOncePerSecond_data()
    {
        QTest::addColumn<int>("withheld");
        QTest::addColumn<bool>("drops");
        QTest::newRow("two unanswered heartbeats are two misses and keep the link") << 2 << false;
        QTest::newRow("a silent instrument is dropped after three misses, not six seconds") << -1 << true;
    }
    void heartbeatMissesCountOncePerSecond()
    {
        QFETCH(int, withheld);
        QFETCH(bool, drops);
        m_pm->setHeartbeatInterval(TestTime::ms(ProtocolManager::kHeartbeatIntervalMs));
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy replies(m_pm.get(), &ProtocolManager::HeartBeatMsg);
        QVERIFY(waitCount(replies, 1));
        QElapsedTimer clock;
        clock.start();
        QList<qint64> misses;
        qint64 dropped = -1;
        connect(m_pm.get(), &ProtocolManager::HeartBeatTimeout, this, [&] { misses << clock.elapsed(); });
        connect(m_pm.get(), &ProtocolManager::NetSuccess, this, [&](bool up) {
            if (!up && dropped < 0)
                dropped = clock.elapsed();
        });
        QSignalSpy missed(m_pm.get(), &ProtocolManager::HeartBeatTimeout);
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        // From the reply just seen on, the next heartbeats go unanswered.
        m_sim->faults().skipHeartbeats = withheld;
        if (!drops) {
            QVERIFY(waitCount(missed, 2));
            const int answered = replies.count();
            QVERIFY(waitCount(replies, answered + 3));
            QCOMPARE(net.count(), 0);
            QCOMPARE(missed.count(), 2);
            QCOMPARE(missed.at(1).at(0).value<uchar>(), uchar(2));
            return;
        }
        QVERIFY(waitCount(net, 1));
        QCOMPARE(net.at(0).at(0).toBool(), false);
        QCOMPARE(missed.count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(missed.at(i).at(0).value<uchar>(), uchar(i + 1));
        // The first miss a second after the first unanswered heartbeat, then one a second: the
        // link goes between three and four seconds after the last reply (seconds of the
        // heartbeat's clock, at the test time scale).
        QVERIFY2(misses.at(2) - misses.at(0) < TestTime::ms(3000),
                 qPrintable(
                     QStringLiteral("misses at %1, %2, %3 ms").arg(misses.at(0)).arg(misses.at(1)).arg(misses.at(2))));
        QVERIFY2(dropped >= TestTime::ms(2500) && dropped <= TestTime::ms(5500),
                 qPrintable(QStringLiteral("dropped %1 ms after the last reply").arg(dropped)));
    }

    void refusedInstrumentIsRetriedUntilItListens()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        m_sim->setRefusing(true);
        m_sim->closeConnection();
        QVERIFY(waitCount(net, 1));
        QCOMPARE(net.at(0).at(0).toBool(), false);
        QVERIFY(!m_pm->isConnected());
        QVERIFY(!net.wait(400)); // refused attempts, no edge
        m_sim->setRefusing(false);
        QVERIFY(waitCount(net, 2));
        QCOMPARE(net.at(1).at(0).toBool(), true);
        QTRY_COMPARE(m_sim->connectionCount(), 2); // the simulator counts the accept on its own event, maybe after ours
    }

    void sourceIdFromHeartbeatInLaterFrames()
    {
        m_sim->profile().sourceId = 0x33;
        QSignalSpy requests(m_sim.get(), &InstrumentSim::requestReceived);
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QTRY_COMPARE(int(ProtocolManager::SourceMod), 0x33);
        const int seen = m_sim->requests().size();
        QVERIFY(waitCount(requests, seen + 1));
        QCOMPARE(int(m_sim->requests().last().source), 0x33);
        QCOMPARE(int(m_sim->requests().first().source), 0);
    }

    void requestPayloads()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy ip(m_pm.get(), &ProtocolManager::SetIPSuccess);
        QSignalSpy band(m_pm.get(), &ProtocolManager::SetCustomFreq);
        QSignalSpy autoTime(m_pm.get(), &ProtocolManager::SetAutoTimeResult);
        QSignalSpy time(m_pm.get(), &ProtocolManager::TimeRequestResult);
        m_pm->SetIPCmd(QStringLiteral("127.0.0.9"), QStringLiteral("255.255.255.0"), QStringLiteral("127.0.0.1"));
        m_pm->SetCustomFreqCmd(0x0102, 1575420000u);
        m_pm->AutoSetTimeCmd(true);
        m_pm->SetTime(0x01020304u);
        m_pm->DeviceUpdate(0x103, QStringLiteral("zynq"));
        QVERIFY(waitCount(time, 1));
        QCOMPARE(ip.at(0).at(0).toBool(), true);
        QCOMPARE(band.at(0).at(0).value<uchar>(), uchar(1));
        QCOMPARE(autoTime.at(0).at(0).toBool(), true);
        QCOMPARE(time.at(0).at(0).toBool(), true);
        QCOMPARE(time.at(0).at(1).toUInt(), 0x01020304u);
        QTRY_COMPARE(m_sim->profile().lastUpdateText, QByteArray("zynq"));

        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::SetIP).at(0).payload,
                 QByteArray::fromHex("0900007F"
                                     "00FFFFFF"
                                     "0100007F"));
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::SetCustomFreq).at(0).payload,
                 QByteArray::fromHex("02"
                                     "6000E75D"));
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::AutoSetTime).at(0).payload,
                 QByteArray::fromHex("01"));
        QCOMPARE(LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::SetTime).at(0).payload,
                 QByteArray::fromHex("04030201"));
        QCOMPARE(int(LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::DeviceUpdate).at(0).card), 3);
        QVERIFY(m_pm->requestedAutoTime());
    }

    void replies_data()
    {
        QTest::addColumn<int>("split");
        QTest::newRow("plain") << 0;
        QTest::newRow("replies split into single bytes") << 1;
        QTest::newRow("replies coalesced") << 2;
        QTest::newRow("bad crc is not checked on receipt") << 3;
    }
    void replies()
    {
        QFETCH(int, split);
        m_sim->faults().splitBytes = split == 1;
        m_sim->faults().coalesce = split == 2 ? 3 : 0;
        m_sim->faults().badCrc = split == 3;
        m_sim->profile().progress = 42;
        m_sim->profile().progressTimes = 7;
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy progress(m_pm.get(), &ProtocolManager::ProgressUpdate);
        QSignalSpy check(m_pm.get(), &ProtocolManager::DeviceCheckResult);
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::Progress, Target_Dev::Device));
        m_pm->DeviceCheck();
        QVERIFY(waitCount(check, 2));
        QVERIFY(waitCount(progress, 1));
        QCOMPARE(progress.at(0).at(0).toUInt(), 42u);
        QCOMPARE(progress.at(0).at(1).toUInt(), 7u);
        QCOMPARE(check.at(0).at(0).value<uchar>(), uchar(1));
        QCOMPARE(check.at(0).at(1).toUInt(), 0u);
        QCOMPARE(check.at(1).at(0).value<uchar>(), uchar(2));
        QCOMPARE(check.at(1).at(1).toUInt(), 0x20u);
    }

    void deviceReportsDecodeToProfile()
    {
        m_sim->profile().identifier = "KELO SIM";
        m_sim->profile().autoTime = true;
        m_sim->profile().charging = 0;
        m_sim->profile().power = 93;
        QSignalSpy heart(m_pm.get(), &ProtocolManager::HeartBeatMsg);
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy info(m_pm.get(), &ProtocolManager::UpdateDeviceInfo);
        QSignalSpy disks(m_pm.get(), &ProtocolManager::ReceivedDiskVolume);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DiskVolume, Target_Dev::Device));
        m_pm->GetServerPluginVersion();
        QVERIFY(waitCount(info, 1));
        QVERIFY(waitCount(disks, 1));
        QVERIFY(waitCount(heart, 1));

        const HeartMsg h = heart.at(0).at(0).value<HeartMsg>();
        QCOMPARE(int(h.Accepted), 1);
        QCOMPARE(int(h.SourceId), 7);
        QCOMPARE(int(h.Charging), 0);
        QCOMPARE(int(h.Power), 93);

        const DeviceInfo d = info.at(0).at(0).value<DeviceInfo>();
        QCOMPARE(int(d.ChannelNum), 4);
        QCOMPARE(QList<int>({d.SoftMajor, d.SoftMinor, d.SoftBuild, d.SoftRevision}), QList<int>({1, 2, 3, 4}));
        QCOMPARE(int(d.BoardNum), 2);
        QCOMPARE(d.Boards.size(), 2);
        QCOMPARE(int(d.Boards.at(1).SoftRevision), 10);
        QCOMPARE(d.TotalCapacity, 4096u);
        QCOMPARE(QByteArray(d.DeviceId), QByteArray("KELO SIM"));
        QVERIFY(d.AutoSetTime);
        QVERIFY(m_pm->requestedAutoTime());
        QCOMPARE(QByteArray(m_pm->deviceInfo().DeviceId), QByteArray("KELO SIM"));

        const auto volumes = disks.at(0).at(0).value<QList<DiskVolume>>();
        QCOMPARE(volumes.size(), 2);
        QCOMPARE(volumes.at(0).Total, 953869u);
        QCOMPARE(volumes.at(1).Free, 100u);
        QCOMPARE(m_pm->diskVolumes().size(), 2);

        QStringList info_lines;
        QTRY_VERIFY([&] {
            info_lines.clear();
            for (const auto& args : log)
                info_lines << args.at(1).toString();
            return info_lines.join('\n').contains(QStringLiteral("插件版本信息[playback 1.1.0]"));
        }());
        const QString all = info_lines.join('\n');
        QVERIFY(all.contains(QStringLiteral("获取硬盘容量信息成功[数量:2][512000 MB/953869 MB][100 MB/953869 MB]")));
        QVERIFY(all.contains(QStringLiteral("查询服务端插件版本信息[插件数量:2]")));
        QVERIFY(all.contains(QStringLiteral("插件版本信息[record 1.0.3]")));
    }

    void channelOverrideReplacesReportedCount()
    {
        ConfigSetting::instance()->SetInit(ConfigKey::DebugEnableChannel, 2);
        m_pm = std::make_unique<ProtocolManager>();
        ConfigSetting::instance()->SetInit(ConfigKey::DebugEnableChannel, 0);
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy info(m_pm.get(), &ProtocolManager::UpdateDeviceInfo);
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(waitCount(info, 1));
        QCOMPARE(int(info.at(0).at(0).value<DeviceInfo>().ChannelNum), 2);
        QCOMPARE(int(m_pm->deviceChannelCount()), 4);
    }

    void deviceStateReachesRunStatus()
    {
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
        m_sim->profile().state = 3;
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy state(m_pm.get(), &ProtocolManager::UpdateDeviceState);
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device));
        QVERIFY(waitCount(state, 1));
        QCOMPARE(int(state.at(0).at(0).value<SyncDeviceState>().State), 3);
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Playback);
        QCOMPARE(global.count(), 1);

        // While a Collect command awaits its reply, reports are dropped, the answer to a state
        // query too: it tells what ran before the command.
        m_pm->setReplyWaitForTest(TestTime::ms(3000));
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StartRecord);
        m_sim->profile().state = 5;
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device));
        QTRY_VERIFY(!m_pm->isOpen(Msg_Type::System, Msg_Cmd::DeviceState));
        QCOMPARE(state.count(), 1);
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::DeviceStateReport,
                             m_sim->system().deviceStatePayload());
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::HeartBeat, m_sim->system().heartbeatPayload());
        QSignalSpy heart(m_pm.get(), &ProtocolManager::HeartBeatMsg);
        QVERIFY(waitCount(heart, 1));
        QCOMPARE(state.count(), 1);
        // Its wait over, the instrument is asked what it runs, and that report is applied.
        QVERIFY(waitCount(state, 2, TestTime::ms(10000)));
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Uploading);
        RunStatus::instance()->slot_GlobalStatus(SystemState::Idle);
    }

    void customBandReportFillsTable()
    {
        m_sim->profile().customFreqs = {1561098000u, 1268520000u};
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy freqs(m_pm.get(), &ProtocolManager::SearchCustomFreq);
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::SearchCustomFreq, m_sim->system().customFreqPayload());
        QVERIFY(waitCount(freqs, 1));
        QCOMPARE(freqs.at(0).at(0).value<CustomFreqHZ>().Freqs, (QList<uint>{1561098000u, 1268520000u}));
        const auto bands = m_pm->customBands();
        QCOMPARE(bands.size(), 2);
        QCOMPARE(bands.value(0).name, QStringLiteral("自定义1"));
        QCOMPARE(bands.value(1).name, QStringLiteral("自定义2"));
        QCOMPARE(bands.value(1).frequency, 1268520000u);
    }

    void shortRepliesAreDroppedWithLogLine()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        m_sim->faults().shortByOne = true;
        QSignalSpy progress(m_pm.get(), &ProtocolManager::ProgressUpdate);
        QSignalSpy check(m_pm.get(), &ProtocolManager::DeviceCheckResult);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QSignalSpy info(m_pm.get(), &ProtocolManager::UpdateDeviceInfo);
        QSignalSpy state(m_pm.get(), &ProtocolManager::UpdateDeviceState);
        m_sim->profile().state = 3;
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::Progress, Target_Dev::Device));
        m_pm->DeviceCheck();
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device));
        QTRY_COMPARE(LinkTest::logTexts(log, FileLogger::Error).size(), 5);
        QCOMPARE(progress.count(), 0);
        QCOMPARE(check.count(), 0);
        QCOMPARE(info.count(), 0);
        QCOMPARE(state.count(), 0);
        QVERIFY(
            LinkTest::logTexts(log, FileLogger::Error).at(0).contains(QStringLiteral("[类型:1][指令:7][长度:7/8]")));
    }

    void instrumentInitiatedReports()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy ask(m_pm.get(), &ProtocolManager::RecvAskTimeout);
        QSignalSpy reset(m_pm.get(), &ProtocolManager::ResetStateResult);
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::AskTimeout,
                             QByteArray("  [card 1] [dma] timeout \0tail", 30));
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::ResetState, QByteArray(1, '\x01'));
        QVERIFY(waitCount(ask, 1));
        QCOMPARE(ask.at(0).at(0).toString(), QStringLiteral("  [card 1] [dma] timeout "));
        QCOMPARE(m_pm->lastErrorText(), QStringLiteral("终端应答错误:\n] timeout"));

        // The instrument asks for the clock; the PC answers with its own a moment later.
        const uint before = uint(QDateTime::currentSecsSinceEpoch());
        LinkTest::sendReport(*m_sim, Msg_Type::System, Msg_Cmd::SetTime, QByteArray(4, '\0'));
        QTRY_VERIFY(!LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::SetTime).isEmpty());
        const QByteArray t = LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::SetTime).at(0).payload;
        QCOMPARE(t.size(), 4);
        const uint sent =
            uint(uchar(t[0])) | uint(uchar(t[1])) << 8 | uint(uchar(t[2])) << 16 | uint(uchar(t[3])) << 24;
        QVERIFY(sent >= before && sent <= before + 5);
        // Nothing here asked for a state reset, so its result, which came before, did nothing.
        QCOMPARE(reset.count(), 0);
    }

    void lyingLengthIsClearedByReconnect()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        QSignalSpy progress(m_pm.get(), &ProtocolManager::ProgressUpdate);
        m_sim->faults().lyingLength = 1000;
        m_sim->faults().skipHeartbeats = -1;
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::Progress, Target_Dev::Device));
        QTRY_VERIFY(!LinkTest::requestsOf(*m_sim, Msg_Type::System, Msg_Cmd::Progress).isEmpty());
        m_sim->faults() = InstrumentSim::Faults();
        m_sim->closeConnection();
        QVERIFY(waitCount(net, 2));
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::Progress, Target_Dev::Device));
        QVERIFY(waitCount(progress, 1));
        QCOMPARE(progress.count(), 1);
    }

    void sendsNothingWhileDown()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
        QSignalSpy gone(m_sim.get(), &InstrumentSim::clientDisconnected);
        QVERIFY(m_pm->DisConnectTcp());
        // Frames sent before the link went are all read once the simulator sees it go.
        QVERIFY(waitCount(gone, 1));
        const int before = m_sim->requests().size();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceState, Target_Dev::Device));
        m_pm->SetTime(1);
        m_pm->DeviceCheck();
        QVERIFY(clock.elapsed() < 1000);
        QSignalSpy requests(m_sim.get(), &InstrumentSim::requestReceived);
        QVERIFY(!requests.wait(300));
        QCOMPARE(m_sim->requests().size(), before);
    }

private:
    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<ProtocolManager> m_pm;
};

QTEST_GUILESS_MAIN(tst_SystemCommands)
#include "tst_SystemCommands.moc"
