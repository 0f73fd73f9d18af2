#include <CollectHandler.h>
#include <ExtendHandler.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <RecordHandler.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <TestAppDir.h>
#include <TestTime.h>
#include <TransferHandler.h>

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using LinkTest::waitCount;

namespace {
RecordChannel channel(quint8 band, bool forward, bool record)
{
    RecordChannel c;
    c.BandId = band;
    c.Forward = forward ? 1 : 0;
    c.Record = record ? 1 : 0;
    return c;
}

RecordParam collection(const QList<RecordChannel>& channels)
{
    RecordParam p;
    p.RecordName = 1704110400;
    p.BitWidth = 8;
    p.ChannelNum = quint8(channels.size());
    p.Channels = channels;
    p.Note = QStringLiteral("bench");
    return p;
}
} // namespace

class tst_RecordCollectCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = LinkTest::appWithLog();
        qRegisterMetaType<GetRecordListMsg>();
        qRegisterMetaType<RecordEx>();
        qRegisterMetaType<SystemState>();
    }
    void init()
    {
        ProtocolManager::SourceMod = 0;
        LinkTest::resetRunState();
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        m_records = m_sim->handler<RecordHandler>();
        m_collect = m_sim->handler<CollectHandler>();
        QVERIFY(m_records && m_collect);
        m_pm = std::make_unique<ProtocolManager>();
        m_pm->link()->setReconnectInterval(TestTime::ms(100));
        QVERIFY(LinkTest::connectLink(*m_pm, *m_sim));
    }
    void cleanup()
    {
        m_pm.reset();
        m_sim.reset();
    }

    void catalogueListedAndQueried()
    {
        m_records->seed(50);
        m_records->change(m_records->records().at(7).name);
        QSignalSpy list(m_pm.get(), &ProtocolManager::RecordListMsg);
        QVERIFY(m_pm->SendCmd(Msg_Type::RecordedManager, Msg_Cmd::RecordList, Target_Dev::Device));
        QVERIFY(waitCount(list, 1));
        const auto msg = list.at(0).at(0).value<GetRecordListMsg>();
        QCOMPARE(int(msg.Count), 50);
        QCOMPARE(msg.Records.size(), 50);
        QCOMPARE(msg.Records.at(7).ChangeStamp, 2u);
        QCOMPARE(msg.Records.at(8).Name, m_records->records().at(8).name);

        QSignalSpy info(m_pm.get(), &ProtocolManager::QueryRecordInfo);
        const auto& r = m_records->records().at(3);
        m_pm->FindRecordInfoCmd(r.name);
        m_pm->FindRecordExInfoCmd(r.name);
        QVERIFY(waitCount(info, 2));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(int(info.at(i).at(0).value<uchar>()), 0);
            const auto d = info.at(i).at(1).value<RecordEx>();
            QCOMPARE(d.RecordValue("Name").toUInt(), r.name);
            QCOMPARE(d.RecordValue("Remark").toString(), r.remark);
            QCOMPARE(d.RecordValue("FreqNum").toInt(), 2);
            QCOMPARE(d.getSectionValue("Freq1", "Num").toInt(), r.bands.at(0));
        }
        m_pm->FindRecordInfoCmd(12345);
        QVERIFY(waitCount(info, 3));
        QCOMPARE(int(info.at(2).at(0).value<uchar>()), 2);
    }

    void deleteAnnotateAndDeleteAll()
    {
        m_records->seed(3);
        const quint32 first = m_records->records().at(0).name;
        QSignalSpy del(m_pm.get(), &ProtocolManager::DeleteRecordSuccess);
        QSignalSpy note(m_pm.get(), &ProtocolManager::ChangeRecordNoteSuccess);
        QSignalSpy all(m_pm.get(), &ProtocolManager::DeleteAllRecordSuccess);
        m_pm->ChangeRecordNoteCmd(m_records->records().at(1).name, QStringLiteral("屋顶天线"));
        QVERIFY(waitCount(note, 1));
        QCOMPARE(int(note.at(0).at(0).value<uchar>()), 0);
        QCOMPARE(m_records->records().at(1).remark, QStringLiteral("屋顶天线"));
        QVERIFY(m_pm->DeleteRecordInfoCmd(first));
        // One open at a time: the second goes out once the first is answered.
        QVERIFY(!m_pm->DeleteRecordInfoCmd(first));
        QVERIFY(waitCount(del, 1));
        QVERIFY(m_pm->DeleteRecordInfoCmd(first));
        QVERIFY(waitCount(del, 2));
        QCOMPARE(int(del.at(0).at(0).value<uchar>()), 0);
        QCOMPARE(int(del.at(1).at(0).value<uchar>()), 2);
        QVERIFY(m_pm->SendCmd(Msg_Type::RecordedManager, Msg_Cmd::DeleteAllRecord, Target_Dev::Device));
        QVERIFY(waitCount(all, 1));
        QCOMPARE(all.at(0).at(0).toBool(), true);
        QVERIFY(m_records->records().isEmpty());
    }

    void collectionStartsAndStops_data()
    {
        QTest::addColumn<QList<RecordChannel>>("channels");
        QTest::addColumn<int>("state");
        QTest::newRow("recording") << QList<RecordChannel>{channel(1, true, true), channel(4, false, true)} << 2;
        QTest::newRow("forwarding only") << QList<RecordChannel>{channel(1, true, false), channel(4, true, false)} << 4;
    }
    void collectionStartsAndStops()
    {
        QFETCH(QList<RecordChannel>, channels);
        QFETCH(int, state);
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QVERIFY(m_pm->StartRecordCmd(collection(channels)));
        QVERIFY(waitCount(control, 1));
        QCOMPARE(int(control.at(0).at(0).value<uchar>()), 2);
        QCOMPARE(control.at(0).at(1).toBool(), true);
        QCOMPARE(global.count(), 1);
        QCOMPARE(int(global.at(0).at(0).value<SystemState>()), state);
        QCOMPARE(int(m_sim->profile().state), state);
        QVERIFY(m_collect->lastStart().endsWith("bench"));

        QVERIFY(m_pm->StopRecordCmd(true));
        QVERIFY(waitCount(control, 2));
        QCOMPARE(int(control.at(1).at(0).value<uchar>()), 3);
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QCOMPARE(global.count(), 2);
    }

    void refusedStartTakesTheFailurePath()
    {
        m_collect->faults().refuse = true;
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QVERIFY(m_pm->StartRecordCmd(collection({channel(1, false, true)})));
        QVERIFY(waitCount(control, 1));
        QCOMPARE(control.at(0).at(1).toBool(), false);
        QCOMPARE(global.count(), 0);
        QCOMPARE(m_pm->lastErrorText(), QStringLiteral("设备回应失败"));
        QVERIFY(!m_pm->isAwaiting(Msg_Type::Collect, Msg_Cmd::StartRecord));
    }

    void instrumentStopIsReported()
    {
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QSignalSpy stop(m_pm.get(), &ProtocolManager::ErrorStopMsg);
        QVERIFY(m_pm->StartRecordCmd(collection({channel(1, false, true)})));
        QVERIFY(waitCount(control, 1));
        m_collect->errorStop(1);
        QVERIFY(waitCount(stop, 1));
        QCOMPARE(stop.at(0).at(0).toString(), QStringLiteral("主动停止错误(1) 硬盘空间不足"));
        QCOMPARE(control.count(), 1);
    }

    void playbackRunsAndEndsByItself()
    {
        m_records->seed(2);
        m_collect->faults().endPlaybackOnOwn = true;
        m_collect->progressTimer().setInterval(TestTime::ms(5));
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QSignalSpy progress(m_pm.get(), &ProtocolManager::ProgressUpdate);
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QVERIFY(m_pm->StartPlaybackCmd(m_records->records().at(1).name, 1, 0, 100, false, 0, 0));
        QVERIFY(waitCount(control, 1));
        QCOMPARE(int(control.at(0).at(0).value<uchar>()), 4);
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Playback);
        // The progress query reads the running state.
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::Progress, Target_Dev::Device));
        QVERIFY(waitCount(progress, 1));
        QVERIFY(progress.at(0).at(1).toUInt() != 0xFFFFFFFFu);
        // The end is the instrument's report, no answer to a stop of this PC.
        QVERIFY(waitCount(global, 2));
        QCOMPARE(control.count(), 1);
        QCOMPARE(progress.last().at(0).toUInt(), 100u);
        QCOMPARE(progress.last().at(1).toUInt(), 0xFFFFFFFFu);
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
        QCOMPARE(global.count(), 2);
    }

    void playbackOfAnUnknownRecordFails()
    {
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QVERIFY(m_pm->StartPlaybackCmd(99, 1, 0, 100, false, 0, 0));
        QVERIFY(waitCount(control, 1));
        QCOMPARE(control.at(0).at(1).toBool(), false);
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);
    }

    void silentInstrumentLeavesTheStopAwaited()
    {
        m_collect->faults().silent = true;
        QSignalSpy control(m_pm.get(), &ProtocolManager::ControlResult);
        QVERIFY(m_pm->StopPlaybackCmd());
        QVERIFY(!control.wait(300));
        QVERIFY(m_pm->isAwaiting(Msg_Type::Collect, Msg_Cmd::StopPlayback));
    }

    void uploadAndDownloadStarts_data()
    {
        QTest::addColumn<int>("busyState");
        QTest::addColumn<int>("uploadResult");
        QTest::addColumn<int>("expectedUpload");
        QTest::addColumn<bool>("expectedDownload");
        QTest::newRow("accepted") << 1 << 0 << 0 << true;
        QTest::newRow("record not found") << 1 << 2 << 2 << true;
        QTest::newRow("busy collecting") << 2 << 0 << 1 << false;
    }
    void uploadAndDownloadStarts()
    {
        QFETCH(int, busyState);
        QFETCH(int, uploadResult);
        QFETCH(int, expectedUpload);
        QFETCH(bool, expectedDownload);
        auto* transfer = m_sim->handler<TransferHandler>();
        m_sim->profile().state = quint8(busyState);
        transfer->uploadResult = quint8(uploadResult);
        QSignalSpy up(m_pm.get(), &ProtocolManager::StartUploadRecord);
        QSignalSpy down(m_pm.get(), &ProtocolManager::StartDownlaodRecord);
        m_pm->StartUploadCmd(2, 1704110400, 5, ProtocolManager::ipString2Int("127.0.0.1"), 6002, 2);
        Record r;
        r.Name = 1704110400;
        m_pm->StartDownloadCmd(1, 1704110400, 2, true, ProtocolManager::ipString2Int("127.0.0.1"), 6001, r);
        QVERIFY(waitCount(up, 1));
        QVERIFY(waitCount(down, 1));
        QCOMPARE(int(up.at(0).at(0).value<uchar>()), expectedUpload);
        QCOMPARE(down.at(0).at(0).toBool(), expectedDownload);
        QCOMPARE(transfer->starts().size(), 2);
        QCOMPARE(int(transfer->starts().at(0).card), 2);
        QCOMPARE(transfer->starts().at(0).firstBlock, 5u);
        QCOMPARE(transfer->starts().at(0).port, quint16(6002));
        QCOMPARE(transfer->starts().at(1).address, 0x7F000001u);
        QCOMPARE(transfer->starts().at(1).record.size(), 27);
    }

    void transferHeartbeatAcknowledged()
    {
        auto* transfer = m_sim->handler<TransferHandler>();
        QSignalSpy ack(m_pm.get(), &ProtocolManager::AckUploadingOrDownloading);
        QVERIFY(m_pm->SendCmd(Msg_Type::UploadDownload, Msg_Cmd::UploadingAck, Target_Dev::Device));
        QVERIFY(m_pm->SendCmd(Msg_Type::UploadDownload, Msg_Cmd::DownloadingAck, Target_Dev::Device));
        QVERIFY(waitCount(ack, 2));
        QCOMPARE(transfer->ackTimes().size(), 2);
        QVERIFY(transfer->ackTimes().at(1) >= transfer->ackTimes().at(0));
    }

    void spectrumSwitchAndCalibration()
    {
        auto* extend = m_sim->handler<ExtendHandler>();
        QSignalSpy result(m_pm.get(), &ProtocolManager::FrequencyControlResult);
        QSignalSpy update(m_pm.get(), &ProtocolManager::FrequencyControlUpdate);
        QSignalSpy amp(m_pm.get(), &ProtocolManager::PowerAmplifierSetResult);
        QSignalSpy config(m_pm.get(), &ProtocolManager::GetConfigParam);
        m_pm->SetFrequencyData(true, 3);
        m_pm->GetFrequencyData();
        m_pm->SetPowerAmplifierAttenuation(0x01A2B3C4);
        QVERIFY(m_pm->SendCmd(Msg_Type::Config, Msg_Cmd::QueryConfigParam, Target_Dev::Device));
        QVERIFY(waitCount(config, 1));
        QCOMPARE(result.count(), 1);
        QCOMPARE(result.at(0).at(0).value<ushort>(), ushort(7000));
        QCOMPARE(update.count(), 1);
        QCOMPARE(update.at(0).at(1).toUInt(), 3u);
        QCOMPARE(amp.count(), 1);
        QCOMPARE(extend->amplifier, 0xA2B3C4u);
        QCOMPARE(int(config.at(0).at(0).value<ConfigParam>().QOff()), 13);
        ReceiverDataTrans relay;
        relay.On = 1;
        relay.Address = ProtocolManager::ipString2Int("127.0.0.1");
        relay.Port = 9100;
        QSignalSpy requests(m_sim.get(), &InstrumentSim::requestReceived);
        m_pm->ReceiverDataTransCmd(relay);
        while (!extend->relayOn && requests.wait(5000)) {}
        QVERIFY(extend->relayOn);
        QCOMPARE(extend->relayPort, quint16(9100));
    }

private:
    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<ProtocolManager> m_pm;
    RecordHandler* m_records = nullptr;
    CollectHandler* m_collect = nullptr;
};

QTEST_GUILESS_MAIN(tst_RecordCollectCommands)
#include "tst_RecordCollectCommands.moc"
