#include <CardDataChannel.h>
#include <DeviceCapabilities.h>
#include <FileLogger.h>
#include <InstrumentSim.h>
#include <LinkTest.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>
#include <RecordHandler.h>
#include <RunStatus.h>
#include <TcpConnect.h>
#include <TcpTransportThread.h>
#include <TestAppDir.h>
#include <TestTime.h>
#include <TransferHandler.h>
#include <UpDownLoadAssist.h>
#include <UploadProof.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <csignal>
#include <memory>

#include <sys/resource.h>

using LinkTest::waitCount;
using CardFaults = QMap<int, CardDataChannel::Faults>;
Q_DECLARE_METATYPE(CardDataChannel::Faults)

namespace {
constexpr quint32 kName = 1700000000;
constexpr int kCards = 3;
constexpr quint32 kBlocks = 20;
constexpr qint64 kBlockBytes = 2 * 1024 * 1024;
constexpr qint64 kCardBytes = kBlocks * kBlockBytes;

// 3 cards x 20 blocks of 2 MiB: Size 120 MiB.
RecordEx freshRecord(int blockMiB = 2, quint32 blocks = kBlocks, int cards = kCards)
{
    RecordEx r;
    r.SetRecordValue(QStringLiteral("Name"), kName);
    r.SetRecordValue(QStringLiteral("Size"), int(blocks) * blockMiB * cards);
    r.SetRecordValue(QStringLiteral("Bit"), 8);
    r.SetRecordValue(QStringLiteral("FreqNum"), 1);
    r.setSectionValue(QStringLiteral("Freq1"), QStringLiteral("Num"), 3);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("SingleTransSize"), blockMiB);
    r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("NumOfBoards"), cards);
    for (int i = 0; i < cards; ++i) {
        for (const char* key : {"UploadNum", "DownloadNum", "UploadSize", "DownloadSize"})
            r.setSectionValue(QStringLiteral("Card%1").arg(i), QLatin1String(key), 0);
    }
    r.BuildIndex();
    return r;
}

// The channels' time-out and the link's reply wait at the test time scale, and shares of them: a
// fault a row times against one keeps its place before or after it under any scale.
int ofTimeout(int numerator, int denominator = 1)
{
    return TestTime::ms(TcpTransportThread::kTimeoutMs) * numerator / denominator;
}
int ofReplyWait(int numerator, int denominator = 1)
{
    return TestTime::ms(ProtocolManager::kReplyWaitMs) * numerator / denominator;
}

QList<int> states(const QSignalSpy& spy)
{
    QList<int> out;
    for (const auto& args : spy)
        out << int(args.at(0).value<SystemState>());
    return out;
}
} // namespace

class tst_RecordTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = LinkTest::appWithLog();
        // Writes beyond a file-size limit fail instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        qRegisterMetaType<SystemState>();
        qRegisterMetaType<DeviceInfo>();
    }
    void init()
    {
        ProtocolManager::SourceMod = 0;
        LinkTest::resetRunState();
        QDir(LocalRecordStore::baseFolder() + QStringLiteral("/KELO-SIM01")).removeRecursively();
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        m_transfer = m_sim->handler<TransferHandler>();
        QVERIFY(m_transfer);
        m_transfer->blocksPerCard = kBlocks;
        m_pm = std::make_unique<ProtocolManager>();
        m_pm->link()->setReconnectInterval(TestTime::ms(100));
        QSignalSpy net(m_pm.get(), &ProtocolManager::NetSuccess);
        m_pm->ConnectTcp(QStringLiteral("127.0.0.1"), m_sim->port());
        QVERIFY(waitCount(net, 1));
        QSignalSpy info(m_pm.get(), &ProtocolManager::UpdateDeviceInfo);
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(waitCount(info, 1));
        m_assist = std::make_unique<UpDownLoadAssist>(m_pm.get());
        TestTime::scaleTransferClocks(*m_pm, *m_assist);
        m_assist->setHeartbeatTimingForTest(TestTime::ms(50), TestTime::ms(UpDownLoadAssist::kHeartbeatTimeoutMs));
        m_folder = LocalRecordStore::recordFolderPath(QStringLiteral("KELO-SIM01"), kName);
    }
    void cleanup()
    {
        m_assist.reset();
        m_pm.reset();
        m_sim.reset();
        LinkTest::resetRunState();
    }

    void uploadOfThreeCardsIsByteExact_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("startDelay");
        QTest::addColumn<bool>("constant");
        QTest::addColumn<bool>("close");
        QTest::newRow("cards answering at once") << 0 << 0 << false << false;
        QTest::newRow("a card answering after 300 ms") << TestTime::ms(300) << 0 << false << false;
        // Past the channels' time-out, within the wait for the instrument's answer.
        QTest::newRow("start accepted at 0.8 of the reply wait") << 0 << ofReplyWait(4, 5) << false << false;
        // Every block like the one before: each card's last counts after a time-out of quiet.
        QTest::newRow("cards of constant samples") << 0 << 0 << true << false;
        // Or when the card then closes: a shift among equal blocks would have written the same.
        QTest::newRow("cards of constant samples closing after the last block") << 0 << 0 << true << true;
    }
    void uploadOfThreeCardsIsByteExact()
    {
        QFETCH(int, delay);
        QFETCH(int, startDelay);
        QFETCH(bool, constant);
        QFETCH(bool, close);
        m_transfer->cardFaults[1].answerDelayMs = delay;
        m_transfer->startReplyDelayMs = startDelay;
        for (int card = 1; card <= kCards; ++card) {
            m_transfer->cardFaults[card].constantFrom = constant ? 0 : -1;
            m_transfer->cardFaults[card].closeAfterLast = close;
        }
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QVERIFY(runUpload(freshRecord()));
        QVERIFY(!hasLine(log, FileLogger::Error, QStringLiteral("传输初始化失败")));
        QCOMPARE(states(global), (QList<int>{5, 1}));
        for (int card = 1; card <= kCards; ++card) {
            QCOMPARE(m_transfer->channel(card)->firstRequested(), 0u);
            QCOMPARE(m_transfer->channel(card)->badRequests(), 0);
        }
        verifyFilesExact(kBlocks, kCards, m_transfer->cardFaults);
        progress.flush();
        QVERIFY(!hasIncompleteReport(progress));
        QCOMPARE(progress.last().at(0).toInt(), 100);
        const QMemorySetting info = storedInformation();
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), kCards * kCardBytes);
        for (int i = 0; i < kCards; ++i) {
            QCOMPARE(info.getSectionValue(QStringLiteral("Card%1").arg(i), "UploadNum").toUInt(), kBlocks);
            QCOMPARE(info.getSectionValue(QStringLiteral("Card%1").arg(i), "UploadSize").toLongLong(), kCardBytes);
        }
        QCOMPARE(int(m_assist->GetLastMethod()), 1);
    }

    void cutUploadResumesAtTheBlockReached_data()
    {
        QTest::addColumn<int>("partial");
        QTest::addColumn<int>("crash");
        QTest::newRow("cut on a block boundary") << 0 << 0;
        QTest::newRow("cut inside block 7") << int(kBlockBytes / 2 + 3) << 0;
        // As a crash mid-write leaves them: file and counters both 1000 bytes into block 7.
        QTest::newRow("file and counters inside block 7") << 0 << 1000;
    }
    void cutUploadResumesAtTheBlockReached()
    {
        QFETCH(int, partial);
        QFETCH(int, crash);
        CardDataChannel::Faults cut;
        cut.cutAfterBlocks = 7;
        cut.cutPartialBytes = partial;
        m_transfer->cardFaults[2] = cut;
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(runUpload(freshRecord()));
        QVERIFY(hasIncompleteReport(progress));
        QMemorySetting info = storedInformation();
        QCOMPARE(info.getSectionValue("Card1", "UploadNum").toUInt(), 7u);
        QCOMPARE(info.getSectionValue("Card1", "UploadSize").toLongLong(), 7 * kBlockBytes);
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), 2 * kCardBytes + 7 * kBlockBytes);
        QCOMPARE(QFileInfo(dataFile(1)).size(), 7 * kBlockBytes);

        m_transfer->cardFaults.clear();
        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        if (crash > 0) {
            QFile file(dataFile(1));
            QVERIFY(file.open(QIODevice::Append));
            file.write(CardDataChannel::block(kName, 1, 7, 2).left(crash));
            file.close();
            resumed.setSectionValue(QStringLiteral("Card1"), QStringLiteral("UploadSize"), 7 * kBlockBytes + crash);
            resumed.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("TotalUploadedSize"),
                                    2 * kCardBytes + 7 * kBlockBytes + crash);
        }
        progress.clear();
        QVERIFY(runUpload(resumed));
        progress.flush();
        QVERIFY(!hasIncompleteReport(progress));
        info = storedInformation();
        QCOMPARE(info.getSectionValue("Card1", "UploadSize").toLongLong(), kCardBytes);
        QCOMPARE(info.getSectionValue("Card1", "UploadNum").toUInt(), kBlocks);
        QCOMPARE(m_transfer->starts().last().card, quint8(3));
        QCOMPARE(m_transfer->starts().at(4).firstBlock, 7u);
        QCOMPARE(m_transfer->channel(2)->firstRequested(), 7u);
        verifyFilesExact();
        info = storedInformation();
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), kCards * kCardBytes);
    }

    void surplusBlockNeverLandsInACompleteFile_data()
    {
        QTest::addColumn<CardDataChannel::Faults>("faults");
        QTest::addColumn<int>("cards");
        // The run goes on from this block of card 1, over a file exact up to it.
        QTest::addColumn<quint32>("from");
        // The block card 1 resumes from, read as the next block: nothing from there on counts.
        // Or from: bytes that are not a whole block void the run (a block too many that comes
        // before the next request, on a busy machine, may show as bytes beyond the block read
        // before all of it is there). kBlocks: after the last block it may come too late to touch
        // the file, or whole and unasked, never reaching it.
        QTest::addColumn<quint32>("resumeAt");
        const int last = int(kBlocks - 1);
        const auto surplus = [](int unasked, int delay, int slowBlock = -1, int slowMs = 0) {
            CardDataChannel::Faults f;
            f.repeatUnasked = unasked;
            f.answerDelayMs = TestTime::ms(delay);
            f.slowBlock = slowBlock;
            f.slowAnswerMs = slowMs;
            return f;
        };
        QTest::newRow("last block answered twice") << surplus(last, 0) << kCards << 0u << kBlocks;
        QTest::newRow("middle block again with the next") << surplus(9, 0) << kCards << 0u << 10u;
        // The answer to the last request is the surplus.
        QTest::newRow("slow card, block near the end again") << surplus(last - 2, 300) << kCards << 0u << kBlocks - 2;
        // That answer comes well after the card's usual pace, or just inside the time-out.
        QTest::newRow("one card: block 1 again, last answer at half the time-out")
            << surplus(1, 150, last, ofTimeout(1, 2)) << 1 << 0u << 2u;
        QTest::newRow("one of two cards: block 1 again, last answer at 0.27 of the time-out")
            << surplus(1, 150, last, ofTimeout(8, 30)) << 2 << 0u << 2u;
        QTest::newRow("block 1 again, last answer at 0.95 of the time-out")
            << surplus(1, 40, last, ofTimeout(95, 100)) << 1 << 0u << 2u;
        // Then a block late by the time-out drops the card: nothing from the repeat on stays.
        QTest::newRow("block 3 again, then a late block") << surplus(3, 150, 8, ofTimeout(7, 3)) << kCards << 0u << 4u;
        // Equal to a block of an earlier run, on the disk.
        CardDataChannel::Faults early = surplus(-1, 40);
        early.firstAnswerBlockBefore = true;
        QTest::newRow("resume answered first with the block before it") << early << kCards << 4u << 4u;
        // Equal to no neighbour: the earlier copy may be a block sent ahead, the run goes back to it.
        CardDataChannel::Faults stale = surplus(-1, 40);
        stale.staleBefore = 4;
        stale.staleBlock = 2;
        QTest::newRow("block 2 again before block 4") << stale << kCards << 0u << 2u;
        // The fragment shifts every block after it; the equal blocks after it prove nothing.
        CardDataChannel::Faults stray = surplus(-1, 0);
        stray.strayBefore = 1;
        stray.strayBytes = 1000;
        stray.constantFrom = 2;
        QTest::newRow("1000 stray bytes before equal blocks") << stray << kCards << 0u << 0u;
        // A surplus that equals nothing before it may be anywhere: the run is void.
        for (const int before : {0, 4, int(kBlocks)}) {
            CardDataChannel::Faults foreign = surplus(-1, 0);
            foreign.foreignBefore = before;
            QTest::addRow("block of another record before block %d", before) << foreign << kCards << 0u << 0u;
        }
        // Taken for block 4, the copy of block 5 is the earlier copy the run goes back to; seen
        // unasked, with no repeat, it voids the run.
        CardDataChannel::Faults ahead = surplus(-1, 40);
        ahead.aheadOf = 4;
        QTest::newRow("block 5 sent ahead of block 4") << ahead << kCards << 0u << 4u;
        // Stray bytes, every answer written in two pieces.
        CardDataChannel::Faults split = surplus(-1, 0);
        split.strayBefore = 0;
        split.strayBytes = 100;
        split.splitAnswerMs = TestTime::ms(100);
        QTest::newRow("100 stray bytes before block 0, answers in two pieces") << split << 1 << 0u << 0u;
        split.strayBefore = 4;
        split.strayBytes = int(kBlockBytes / 2);
        QTest::newRow("half a block of stray bytes before block 4, answers in two pieces") << split << 1 << 0u << 0u;
        // The rest of a block of stray bytes comes a third of a time-out after the answer.
        CardDataChannel::Faults pieces = surplus(-1, 0);
        pieces.strayBefore = 2;
        pieces.strayBytes = 1000;
        pieces.strayRestMs = ofTimeout(1, 3);
        QTest::newRow("fragments that add up to a block") << pieces << 1 << 0u << 0u;
        // Equal blocks inside the record and a close after the last answer: the close proves it.
        CardDataChannel::Faults equal = surplus(-1, 0);
        equal.equalAt = 6;
        equal.equalTo = 5;
        equal.closeAfterLast = true;
        QTest::newRow("closing after the last block over equal blocks") << equal << kCards << 0u << kBlocks;
    }
    void surplusBlockNeverLandsInACompleteFile() { uploadWithSurplusThenResume(); }

    // Split from the table above, which the test's time limit for one function would not cover.
    void surplusThatNoRepeatExplainsVoidsTheRun_data()
    {
        QTest::addColumn<CardDataChannel::Faults>("faults");
        QTest::addColumn<int>("cards");
        QTest::addColumn<quint32>("from");
        QTest::addColumn<quint32>("resumeAt");
        // An extra block that equals nothing, then one answer ahead to the end, the last block
        // twice: that repeat explains one surplus block, not both; the run is void.
        CardDataChannel::Faults oneAhead;
        oneAhead.aheadFrom = 4;
        oneAhead.aheadLastTwice = true;
        QTest::newRow("empty block for block 4, one ahead, last block twice") << oneAhead << kCards << 0u << 0u;
        QTest::newRow("one card of four: empty block for block 4, one ahead") << oneAhead << 4 << 0u << 0u;
        oneAhead.aheadFrom = 0;
        oneAhead.aheadForeign = true;
        QTest::newRow("block of another record before any block, one ahead") << oneAhead << kCards << 0u << 0u;
        // A byte every two thirds of a time-out after the last block: the card is never quiet,
        // and its end is given up two time-outs on.
        CardDataChannel::Faults trickle;
        trickle.trickleMs = ofTimeout(2, 3);
        QTest::newRow("a byte now and then after the last block") << trickle << 1 << 0u << 0u;
    }
    void surplusThatNoRepeatExplainsVoidsTheRun() { uploadWithSurplusThenResume(); }

    void fingerprintFileIsBelievedOnlyWhenItIsTheDataFiles_data()
    {
        // Card 1 resumes at block 4 over a file exact up to it; its fingerprint file is as the row
        // leaves it.
        QTest::addColumn<QString>("wdf");
        // The card sends block 1 again: before its first answer (then it is one ahead, and sends
        // its last block twice), or before the answer to block 8.
        QTest::addColumn<int>("staleBefore");
        QTest::addColumn<quint32>("resumeAt");
        const QStringList kinds{"kept", "missing", "one entry", "random", "another record", "zeros", "a folder"};
        for (const QString& kind : kinds)
            QTest::addRow("%s; block 1 again first", qPrintable(kind)) << kind << 4 << 4u;
        QTest::newRow("kept; block 1 again before block 8") << "kept" << 8 << 8u;
        QTest::newRow("missing; block 1 again before block 8") << "missing" << 8 << 8u;
    }
    void fingerprintFileIsBelievedOnlyWhenItIsTheDataFiles()
    {
        QFETCH(QString, wdf);
        QFETCH(int, staleBefore);
        QFETCH(quint32, resumeAt);
        constexpr quint32 from = 4;
        QVERIFY(QDir().mkpath(m_folder));
        writeCardData(dataFile(0), 0, 2, from);
        const QString prints = TcpTransportThread::fingerprintFilePath(dataFile(0));
        QVector<quint64> entries;
        for (quint32 n = 0; n < from; ++n) {
            const QByteArray b = CardDataChannel::block(kName, 0, n, 2);
            entries << UploadProof::fingerprint(b.constData(), b.size());
        }
        const QByteArray kept = LocalRecordStore::fingerprintFileBytes(kName, 0, kBlockBytes, entries);
        QByteArray bytes = kept;
        if (wdf == QLatin1String("one entry"))
            bytes = LocalRecordStore::fingerprintFileBytes(kName, 0, kBlockBytes, entries.mid(0, 1));
        else if (wdf == QLatin1String("random"))
            for (char& c : bytes)
                c = char(QRandomGenerator::global()->bounded(256));
        else if (wdf == QLatin1String("another record"))
            bytes = LocalRecordStore::fingerprintFileBytes(kName + 1, 0, kBlockBytes, entries);
        else if (wdf == QLatin1String("zeros"))
            bytes.fill('\0');
        if (wdf == QLatin1String("a folder")) {
            QVERIFY(QDir().mkpath(prints + QStringLiteral("/x")));
        } else if (wdf != QLatin1String("missing")) {
            QFile out(prints);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(bytes), qint64(bytes.size()));
        }
        CardDataChannel::Faults stale;
        stale.staleBefore = staleBefore;
        stale.staleBlock = 1;
        stale.answerDelayMs = TestTime::ms(40);
        if (staleBefore == int(from))
            stale.answerTwice = int(kBlocks - 1);
        m_transfer->cardFaults[1] = stale;
        RecordEx record = freshRecord();
        record.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadNum"), from);
        record.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadSize"), from * kBlockBytes);
        const int rebuilt = logText().count(QStringLiteral("传输通道 1 的指纹文件不可用"));
        QVERIFY(runUpload(record));
        // The stale block is known for what it is, whatever the file beside the data said; a file
        // that is the data file's own is read, not made again.
        QCOMPARE(storedInformation().getSectionValue("Card0", "UploadNum").toUInt(), resumeAt);
        QCOMPARE(logText().count(QStringLiteral("传输通道 1 的指纹文件不可用")), rebuilt + (wdf == "kept" ? 0 : 1));
        verifyFilesAtCounters(kCards);
        // Kept for every block of the file, those of the runs before included.
        QVector<quint64> now;
        QVERIFY(LocalRecordStore::readFingerprintFile(prints, kName, 0, kBlockBytes, resumeAt, &now));
        QCOMPARE(now.mid(0, int(from)), entries);

        m_transfer->cardFaults.clear();
        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        verifyFilesExact();
        QVERIFY(LocalRecordStore::readFingerprintFile(prints, kName, 0, kBlockBytes, kBlocks, &now));
        QCOMPARE(now.mid(0, int(from)), entries);
    }

    void stopFollowsTheCardsStreamToItsEnd_data()
    {
        QTest::addColumn<int>("aheadFrom");
        QTest::addColumn<bool>("foreign");
        // Card 1 in step keeps every block it took, the answer owed to the last request included.
        QTest::newRow("card in step") << -1 << false;
        // One answer ahead, the block after its last taken one shows unasked: the run is void.
        QTest::newRow("empty block before any block, one ahead") << 0 << false;
        QTest::newRow("block of another record for block 4, one ahead") << 4 << true;
    }
    void stopFollowsTheCardsStreamToItsEnd()
    {
        QFETCH(int, aheadFrom);
        QFETCH(bool, foreign);
        CardDataChannel::Faults f;
        f.aheadFrom = aheadFrom;
        f.aheadForeign = foreign;
        // Slow enough that the PC has asked for the next block before the one after the extra comes.
        f.answerDelayMs = TestTime::ms(200);
        m_transfer->cardFaults[1] = f;
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(m_assist->StartUploadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0));
        const auto counted = [this] {
            return m_assist->currentRecord().getSectionValue(QStringLiteral("Card0"), "UploadNum").toUInt();
        };
        // On a busy machine the block after the extra may already show unasked, and end the card.
        const auto ended = [this] { return m_transfer->channel(1) && m_transfer->channel(1)->finished(); };
        QTRY_VERIFY_WITH_TIMEOUT(counted() >= 8 || (aheadFrom >= 0 && ended()), 30000);
        const quint32 atStop = counted();
        if (atStop >= 8) {
            m_assist->StopUploadCmdFromUI();
            // The stop returns at once; the channels follow their cards' streams to the end.
            QCOMPARE(int(m_assist->GetLastMethod()), 5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, 30000);
        progress.flush();
        const quint32 kept = storedInformation().getSectionValue("Card0", "UploadNum").toUInt();
        if (aheadFrom < 0) {
            QVERIFY2(kept >= atStop && kept < kBlocks, qPrintable(QString::number(kept)));
            QVERIFY(!hasIncompleteReport(progress));
        } else {
            QCOMPARE(kept, 0u);
            QVERIFY(hasIncompleteReport(progress));
            QVERIFY(logText().contains(QStringLiteral("与此前的数据块都不同")));
        }
        verifyFilesAtCounters(kCards, m_transfer->cardFaults);
        m_transfer->cardFaults.clear();
        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        verifyFilesExact();
    }

    void cardThatCannotBeProvedIsToldAlsoWhenNoByteStays()
    {
        // One card whose every run is void: no byte stays, and its record folder goes; the second
        // press still says that pressing again will not help.
        CardDataChannel::Faults f;
        f.strayBefore = 0;
        f.strayBytes = 1000;
        m_transfer->cardFaults[1] = f;
        QSignalSpy stuck(m_assist.get(), &UpDownLoadAssist::UploadCannotBeProved);
        for (int press = 1; press <= 2; ++press) {
            QVERIFY(runUpload(freshRecord(2, kBlocks, 1)));
            QVERIFY(logText().contains(
                QStringLiteral("记录%1未收到任何数据，未保留本地记录").arg(RecordCheck::logName(kName))));
            QVERIFY(!QFileInfo::exists(m_folder));
            QCOMPARE(stuck.count(), press - 1);
        }
        QCOMPARE(stuck.last().at(0).value<QVector<int>>(), QVector<int>{0});
        // Without the fault the next press runs, and nothing more is said.
        m_transfer->cardFaults.clear();
        QVERIFY(runUpload(freshRecord(2, kBlocks, 1)));
        QCOMPARE(stuck.count(), 1);
        verifyFilesExact(kBlocks, 1);
    }

    void cardThatRollsBackWhereItDidBeforeIsToldOnce()
    {
        // Card 1 answers every resume first with the block before it: each press rolls back to
        // the same block for the same reason, and the second says that pressing will not help.
        QVERIFY(QDir().mkpath(m_folder));
        writeCardData(dataFile(0), 0, 2, 4);
        RecordEx record = freshRecord();
        record.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadNum"), 4);
        record.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadSize"), 4 * kBlockBytes);
        CardDataChannel::Faults early;
        early.firstAnswerBlockBefore = true;
        early.answerDelayMs = TestTime::ms(40);
        m_transfer->cardFaults[1] = early;
        QSignalSpy stuck(m_assist.get(), &UpDownLoadAssist::UploadCannotBeProved);
        for (int press = 1; press <= 3; ++press) {
            RecordEx stored = record;
            if (press > 1)
                QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, stored));
            QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
            QVERIFY(runUpload(stored));
            progress.flush();
            QCOMPARE(storedInformation().getSectionValue("Card0", "UploadNum").toUInt(), 4u);
            // Told on the second press and every one after it, each time once, and as what it
            // is, not as an error of the data as well.
            QCOMPARE(stuck.count(), press - 1);
            QCOMPARE(hasIncompleteReport(progress), press == 1);
            verifyFilesAtCounters(kCards);
        }
        QCOMPARE(stuck.last().at(0).value<QVector<int>>(), QVector<int>{0});
        QVERIFY(stuck.last().at(1).value<QVector<LogText>>().value(0).toString().contains(
            QStringLiteral("数据块 4 与数据块 3 相同")));
        // Without the fault the next press moves it on, and nothing more is said.
        m_transfer->cardFaults.clear();
        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        QCOMPARE(stuck.count(), 2);
        verifyFilesExact();
        QVERIFY(!storedInformation().allKeys(QStringLiteral("Card0")).contains(QStringLiteral("UploadRollBack")));
    }

    void stopInTheWaitAfterARepeatedBlockKeepsTheBlocksBeforeIt_data()
    {
        QTest::addColumn<int>("stray");
        QTest::addColumn<quint32>("kept");
        // The stop does not end the wait: the late answer shows unasked, explained by the repeat.
        QTest::newRow("the late answer unasked in the wait") << 0 << 1u;
        // Bytes that are not a block, found by the stop: a fault, which the page must hear of.
        QTest::newRow("stray bytes in the wait") << 1000 << 0u;
    }
    void stopInTheWaitAfterARepeatedBlockKeepsTheBlocksBeforeIt()
    {
        // Each card sends block 0 again, read as block 1, the last; its answer to the request
        // for block 1 would come most of a time-out later, and the stop comes first.
        QFETCH(int, stray);
        QFETCH(quint32, kept);
        CardDataChannel::Faults shifted;
        shifted.repeatUnasked = 0;
        shifted.slowBlock = 1;
        shifted.slowAnswerMs = ofTimeout(5, 6);
        shifted.strayBefore = stray > 0 ? 1 : -1;
        shifted.strayBytes = stray;
        for (int card = 1; card <= kCards; ++card)
            m_transfer->cardFaults[card] = shifted;
        m_transfer->blocksPerCard = 2;
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        // Stands for the record page: in this thread, so that a report sent from another one
        // arrives queued, as it does there.
        QObject page;
        QList<int> methodAtReport;
        connect(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress, &page, [&](int value, double) {
            if (value == -1)
                methodAtReport << m_assist->GetLastMethod();
        });
        QVERIFY(m_assist->StartUploadCmdFromUI(freshRecord(2, 2), QStringLiteral("127.0.0.1"), 0));
        const auto counted = [this](int card) {
            return m_assist->currentRecord().getSectionValue(QStringLiteral("Card%1").arg(card), "UploadNum").toUInt();
        };
        QTRY_VERIFY_WITH_TIMEOUT(counted(0) == 2 && counted(1) == 2 && counted(2) == 2, TestTime::ms(20000));
        // Everything the cards sent so far has reached the PC (the late answer waits in their outbox).
        // The PC may have both blocks before a card even heard the request for block 1, which
        // its stray bytes go out before.
        const auto allSent = [this] {
            for (int card = 1; card <= kCards; ++card) {
                const CardDataChannel* channel = m_transfer->channel(card);
                if (!channel->requests().contains(1) || channel->unsentBytes() > 0)
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(allSent(), TestTime::ms(20000));
        m_assist->StopUploadCmdFromUI();
        // The stop returns at once; the page follows the channels' ends.
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(20000));
        QCoreApplication::processEvents();
        progress.flush();
        for (const auto& args : progress)
            QVERIFY(args.at(0).toInt() < 100);
        // A surplus found after the stop is a fault: heard once, while the page still shows the upload.
        QCOMPARE(methodAtReport, QList<int>{5});
        // Every card keeps the block before the repeat, in its counters and in its file; after
        // stray bytes, none of the run.
        for (int card = 0; card < kCards; ++card)
            QCOMPARE(counted(card), kept);
        m_transfer->cardFaults.clear();
        RecordEx resumed = freshRecord(2, 2);
        if (kept == 0) {
            // Nothing of the record is left on the PC: no record of empty files stays behind.
            QVERIFY(!QFileInfo::exists(m_folder));
        } else {
            verifyFilesAtCounters(kCards);
            QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        }
        QVERIFY(runUpload(resumed));
        verifyFilesExact(2);
    }

    void lateBlockEndsTheCardAtItsLastWholeBlock_data()
    {
        QTest::addColumn<QString>("behaviour");
        QTest::addColumn<int>("partial");
        QTest::addColumn<quint32>("late");
        // The late answer is still taken while the card's stream is followed to its end (a time-out
        // and a quarter of quiet after its last byte); the resume goes on after it.
        QTest::addColumn<quint32>("resumeAt");
        const int half = int(kBlockBytes / 2 + 3);
        // However the card goes on later (answering a repeat or not), nothing more of the block
        // comes within the time-out.
        QTest::newRow("no byte of block 4 in time") << QStringLiteral("late") << 0 << 4u << 4u;
        QTest::newRow("half of block 4 in time") << QStringLiteral("late") << half << 4u << 4u;
        QTest::newRow("first block of the connection late") << QStringLiteral("late") << 0 << 0u << 0u;
        // A slow card answering every request in order; its others take 300 ms (at the scale).
        QTest::newRow("block 4 answered at 1.1 of the time-out")
            << QStringLiteral("slow") << ofTimeout(11, 10) << 4u << 5u;
        QTest::newRow("block 4 answered after two time-outs") << QStringLiteral("slow") << ofTimeout(7, 3) << 4u << 4u;
    }
    void lateBlockEndsTheCardAtItsLastWholeBlock()
    {
        // The late block is never asked for again on that connection, which may still carry the
        // first answer: the card ends there and the resume asks for it on a new one. The
        // channel's own time-out: a shorter one would also strike the other cards' blocks on a
        // busy machine.
        QFETCH(QString, behaviour);
        QFETCH(int, partial);
        QFETCH(quint32, late);
        QFETCH(quint32, resumeAt);
        CardDataChannel::Faults f;
        if (behaviour == QLatin1String("slow")) {
            f.slowBlock = int(late);
            f.slowAnswerMs = partial;
            f.answerDelayMs = TestTime::ms(300);
        } else {
            f.lateAnswer = int(late);
            f.latePartialBytes = partial;
        }
        m_transfer->cardFaults[2] = f;
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(runUpload(freshRecord()));
        QVERIFY(hasIncompleteReport(progress));
        const QMemorySetting info = storedInformation();
        // An answer that comes just inside the end wait may still miss it on a slow machine.
        const quint32 counted = info.getSectionValue("Card1", "UploadNum").toUInt();
        QVERIFY2(counted == resumeAt || counted == late, qPrintable(QString::number(counted)));
        resumeAt = counted;
        QVERIFY(
            logText().contains(QStringLiteral("传输通道 2 数据块 %1 未按时收全，已断开该采集卡，续传从数据块 %2 开始")
                                   .arg(late)
                                   .arg(resumeAt)));
        QCOMPARE(info.getSectionValue("Card1", "UploadSize").toLongLong(), resumeAt * kBlockBytes);
        QCOMPARE(info.getSectionValue("Card1", "UploadNum").toUInt(), resumeAt);
        QCOMPARE(QFileInfo(dataFile(1)).size(), resumeAt * kBlockBytes);
        QCOMPARE(m_transfer->channel(2)->requests().size(), int(late) + 1);

        m_transfer->cardFaults.clear();
        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        QCOMPARE(m_transfer->channel(2)->firstRequested(), resumeAt);
        verifyFilesExact();
    }

    void writeErrorEndsTheUploadAtTheLastWholeBlock()
    {
        // A file-size limit makes every data file refuse the write of block 5 after half of it.
        struct rlimit old
        {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        struct rlimit small = old;
        small.rlim_cur = rlim_t(5 * kBlockBytes + kBlockBytes / 2);
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool ended = runUpload(freshRecord());
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY(ended);
        QCOMPARE(states(global), (QList<int>{5, 1}));
        QVERIFY(hasIncompleteReport(progress));
        QVERIFY(logText().contains(QStringLiteral("传输通道 1 写入数据文件失败")));
        QMemorySetting info = storedInformation();
        for (int i = 0; i < kCards; ++i) {
            QCOMPARE(info.getSectionValue(QStringLiteral("Card%1").arg(i), "UploadNum").toUInt(), 5u);
            QCOMPARE(info.getSectionValue(QStringLiteral("Card%1").arg(i), "UploadSize").toLongLong(), 5 * kBlockBytes);
            QCOMPARE(QFileInfo(dataFile(i)).size(), 5 * kBlockBytes);
        }
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), kCards * 5 * kBlockBytes);

        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        verifyFilesExact();
    }

    void cutDownloadResumesAtTheBlockReached_data()
    {
        QTest::addColumn<int>("blockMiB");
        QTest::addColumn<quint32>("blocks");
        QTest::addColumn<quint32>("cutAt");
        // What the card reads of the next block before it drops off; -1 closes after the last
        // block, -2 closes in order and later resets (-4: after the time-out), -3 skips block 0.
        QTest::addColumn<int>("inside");
        QTest::addColumn<quint32>("counted");
        // The card has block 6 whole but never asked for block 7: it never counts, since the
        // card's next run asks past it; that run sets the card back to a fresh start.
        QTest::newRow("cut on a block boundary") << 2 << kBlocks << 7u << 0 << 6u;
        // Blocks larger than the socket buffers of both sides, so part of the last block is still
        // with the PC when the card drops off.
        QTest::newRow("cut inside the last block") << 16 << 2u << 1u << 8 * 1024 * 1024 << 1u;
        // The kernel takes the whole of a 2 MiB block at once: it left the socket, yet the card
        // lacks its tail.
        QTest::newRow("cut after the first byte of the last block") << 2 << 2u << 1u << 1 << 1u;
        QTest::newRow("cut 1604 bytes short of the end") << 2 << 2u << 1u << 2095548 << 1u;
        QTest::newRow("cut 5 bytes short of the end") << 2 << 2u << 1u << int(kBlockBytes - 5) << 1u;
        // Closed in order after taking the last block whole, without asking past the end: only
        // that request shows the card has it.
        QTest::newRow("closed after the last block") << 2 << 2u << 2u << -1 << 1u;
        // Its stack took the last block, it closed its sending side, then reset with it unread.
        QTest::newRow("closed in order, then reset") << 2 << 2u << 1u << -2 << 1u;
        QTest::newRow("closed in order, reset past the time-out") << 2 << 2u << 1u << -4 << 1u;
        QTest::newRow("fresh start asking for block 1") << 2 << 2u << 1u << -3 << 0u;
    }
    void cutDownloadResumesAtTheBlockReached()
    {
        QFETCH(int, blockMiB);
        QFETCH(quint32, blocks);
        QFETCH(quint32, cutAt);
        QFETCH(int, inside);
        QFETCH(quint32, counted);
        const qint64 blockBytes = qint64(blockMiB) << 20;
        const qint64 cardBytes = blocks * blockBytes;
        m_transfer->blocksPerCard = blocks;
        writeLocalFiles(blockMiB, blocks);
        const QString received = m_app->root() + QStringLiteral("/received");
        QDir(received).removeRecursively();
        QVERIFY(QDir().mkpath(received));
        m_transfer->receivedFolder = received;
        CardDataChannel::Faults cut;
        cut.cutAfterBlocks = inside < 0 ? -1 : int(cutAt);
        cut.cutInsideBlock = qMax(0, inside);
        cut.closeAfterLast = inside == -1;
        cut.resetAfterHalfCloseMs = inside == -2 ? ofTimeout(1, 2) : inside == -4 ? ofTimeout(7, 6) : 0;
        cut.skipFirstBlock = inside == -3;
        m_transfer->cardFaults[2] = cut;
        CardDataChannel::Faults twice;
        twice.answerTwice = int(qMin<quint32>(4, blocks - 1));
        m_transfer->cardFaults[3] = twice;
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(runDownload(freshRecord(blockMiB, blocks)));
        QCOMPARE(states(global), (QList<int>{6, 1}));
        QCOMPARE(hasIncompleteReport(progress), counted < blocks);
        QCOMPARE(m_transfer->channel(2)->nextBlock(), cutAt);
        for (int card = 1; card <= kCards; ++card)
            QCOMPARE(m_transfer->channel(card)->badBytes(), 0u);
        QCOMPARE(m_transfer->channel(3)->nextBlock(), blocks);
        QMemorySetting info = storedInformation();
        QCOMPARE(info.getSectionValue("Card1", "DownloadNum").toUInt(), counted);
        QCOMPARE(info.getSectionValue("Card1", "DownloadSize").toLongLong(), counted * blockBytes);
        QCOMPARE(info.getSectionValue("LocalData", "TotalDownoadedSize").toLongLong(),
                 2 * cardBytes + counted * blockBytes);
        // The repeated request re-sent the held block without counting it again.
        QCOMPARE(info.getSectionValue("Card2", "DownloadSize").toLongLong(), cardBytes);

        m_transfer->cardFaults.clear();
        // The local store takes back only records of 2 MiB blocks; others go on from the
        // coordinator's copy, which holds what the file was written from.
        RecordEx resumed = m_assist->currentRecord();
        if (blockMiB == 2)
            QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        const int secondRun = m_transfer->starts().size();
        QVERIFY(runDownload(resumed));
        QVERIFY(startOf(2, secondRun));
        QCOMPARE(startOf(2, secondRun)->freshStart, counted == 0);
        QCOMPARE(m_transfer->channel(2)->firstRequested(), counted == 0 ? 0u : cutAt);
        const bool again = cutAt > counted && counted > 0;
        if (again) {
            QVERIFY(logText().contains(QStringLiteral("传输通道 2 采集卡请求数据块 %1，但数据块 %2 未曾发送，下载失败，"
                                                      "该采集卡下次从头下载")
                                           .arg(cutAt)
                                           .arg(counted)));
            QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
            const int thirdRun = m_transfer->starts().size();
            QVERIFY(runDownload(resumed));
            QVERIFY(startOf(2, thirdRun));
            QCOMPARE(startOf(2, thirdRun)->freshStart, true);
        }
        QCOMPARE(m_transfer->starts().size(), again ? 9 : 6);
        QCOMPARE(m_transfer->channel(2)->nextBlock(), blocks);
        QCOMPARE(m_transfer->channel(2)->badBytes(), 0u);
        info = storedInformation();
        QCOMPARE(info.getSectionValue("LocalData", "TotalDownoadedSize").toLongLong(), kCards * cardBytes);
        for (int card = 0; card < kCards; ++card)
            compareFiles(dataFile(card), received + QStringLiteral("/card%1.bin").arg(card));
    }

    void downloadSendsOnlyWhatTheFileHolds_data()
    {
        // Card 2's local file, cut once its channel had checked it.
        QTest::addColumn<qint64>("held");
        QTest::newRow("3.5 of 4 blocks") << 7 * kBlockBytes / 2;
        QTest::newRow("1.5 of 4 blocks") << 3 * kBlockBytes / 2;
        QTest::newRow("2 of 4 blocks") << 2 * kBlockBytes;
    }
    void downloadSendsOnlyWhatTheFileHolds()
    {
        QFETCH(qint64, held);
        constexpr quint32 blocks = 4;
        m_transfer->blocksPerCard = blocks;
        writeLocalFiles(2, blocks);
        // The card connects a while after the start; by then its file is short.
        m_transfer->cardReplyDelayMs[2] = ofTimeout(1, 10);
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(m_assist->StartDownloadCmdFromUI(freshRecord(2, blocks), QStringLiteral("127.0.0.1"), 0));
        QVERIFY(QFile(dataFile(1)).resize(held));
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(60000));
        QVERIFY(hasIncompleteReport(progress));
        const quint32 whole = quint32(held / kBlockBytes);
        for (int card = 1; card <= kCards; ++card)
            QCOMPARE(m_transfer->channel(card)->badBytes(), 0u);
        // It asked for the block the file holds only in part (or not at all), and got nothing.
        QCOMPARE(m_transfer->channel(2)->nextBlock(), whole);
        QMemorySetting info = storedInformation();
        QCOMPARE(info.getSectionValue("Card1", "DownloadNum").toUInt(), whole);
        QCOMPARE(info.getSectionValue("Card1", "DownloadSize").toLongLong(), whole * kBlockBytes);
        QCOMPARE(info.getSectionValue("Card0", "DownloadNum").toUInt(), blocks);
        QVERIFY(logText().contains(
            QStringLiteral("传输通道 2 数据文件只有 %1 字节，数据块 %2 不完整，未发送").arg(held).arg(whole)));
        QVERIFY(m_assist->failureReason().toString().startsWith(QStringLiteral("采集卡2：数据文件只有")));
    }

    void reuploadBesideACompleteCopy_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("card 2 cut after block 7") << "cut";
        QTest::newRow("stopped by the person") << "stop";
        QTest::newRow("complete") << "complete";
        // The new data is not the record's: the good copy stays.
        QTest::newRow("card 2 one answer ahead after an empty block") << "ahead";
    }
    void reuploadBesideACompleteCopy()
    {
        QFETCH(QString, end);
        // A complete local copy, of bytes the new upload does not carry.
        RecordEx copy = freshRecord();
        QVERIFY(QDir().mkpath(m_folder));
        for (int card = 0; card < kCards; ++card) {
            QFile data(dataFile(card));
            QVERIFY(data.open(QIODevice::WriteOnly) && data.resize(kCardBytes));
            copy.setSectionValue(QStringLiteral("Card%1").arg(card), "UploadSize", kCardBytes);
        }
        copy.setSectionValue("LocalData", "TotalUploadedSize", kCards * kCardBytes);
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile(QStringLiteral("KELO-SIM01"), copy));
        const QByteArray copyInfo = readAllOf(m_folder + QStringLiteral("/%1.wdi").arg(kName));
        RecordEx fresh = freshRecord();
        QVERIFY(LocalRecordStore::prepareStaging(QStringLiteral("KELO-SIM01"), fresh));
        CardDataChannel::Faults fault;
        if (end == "cut")
            fault.cutAfterBlocks = 7;
        if (end == "stop")
            fault.silentAfterBlocks = 2;
        if (end == "ahead") {
            fault.aheadFrom = 4;
            fault.aheadLastTwice = true;
        }
        m_transfer->cardFaults[2] = fault;
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(m_assist->StartUploadCmdFromUI(fresh, QStringLiteral("127.0.0.1"), 0, ReplyOwner(), true));
        if (end == "stop") {
            QTRY_VERIFY_WITH_TIMEOUT(m_transfer->channel(2) && m_transfer->channel(2)->blocksMoved() == 2,
                                     TestTime::ms(20000));
            m_assist->StopUploadCmdFromUI();
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(60000));
        QVERIFY(!QFileInfo::exists(LocalRecordStore::stagingFolderPath(QStringLiteral("KELO-SIM01"), kName)));
        QCOMPARE(hasIncompleteReport(progress), end == "cut" || end == "ahead");
        if (end == "complete") {
            QCOMPARE(m_assist->lastLocalCopy(), UpDownLoadAssist::LocalCopy::Replaced);
            verifyFilesExact();
            QCOMPARE(storedInformation().getSectionValue("LocalData", "TotalUploadedSize").toLongLong(),
                     kCards * kCardBytes);
            return;
        }
        // The copy is whole, as it was, and still counts complete.
        QCOMPARE(m_assist->lastLocalCopy(), UpDownLoadAssist::LocalCopy::Kept);
        QCOMPARE(readAllOf(m_folder + QStringLiteral("/%1.wdi").arg(kName)), copyInfo);
        for (int card = 0; card < kCards; ++card) {
            QFile data(dataFile(card));
            QVERIFY(data.open(QIODevice::ReadOnly));
            QCOMPARE(data.size(), kCardBytes);
            QCOMPARE(data.read(4096), QByteArray(4096, '\0'));
        }
        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, back));
        QCOMPARE(back.LocalValue("TotalUploadedSize").toLongLong(), kCards * kCardBytes);
    }

    void silentCardEndsIncompleteAndResumes()
    {
        // Short enough to keep the test quick, long enough that the other cards' blocks, still
        // flowing on a busy machine, never strike out.
        TcpTransportThread::setTimeoutForTest(ofTimeout(1, 3));
        CardDataChannel::Faults silent;
        silent.silentAfterBlocks = 0;
        m_transfer->cardFaults[1] = silent;
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(runUpload(freshRecord()));
        QVERIFY(hasIncompleteReport(progress));
        QVERIFY(logText().contains(QStringLiteral("传输初始化失败")));
        QMemorySetting info = storedInformation();
        QCOMPARE(info.getSectionValue("Card0", "UploadNum").toUInt(), 0u);
        QCOMPARE(info.getSectionValue("Card1", "UploadNum").toUInt(), kBlocks);
        QCOMPARE(RunStatus::CurrentStatus(), SystemState::Idle);

        // The resume must run whole: with the shortened time-out a loaded machine ends it early.
        TcpTransportThread::setTimeoutForTest(ofTimeout(1));
        m_transfer->cardFaults.clear();
        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        verifyFilesExact();
    }

    // Like the instrument, the default simulator carries the record's blocks: its size over the
    // block size over the cards; a download it took whole becomes one of its records.
    void blocksFollowTheRecordBothWays()
    {
        m_transfer->blocksPerCard = 0;
        m_transfer->blocksFromRecord = true;
        auto& boards = m_sim->profile().boards;
        while (boards.size() < kCards)
            boards << boards.first();
        RecordHandler::SimRecord onDevice;
        onDevice.name = kName;
        onDevice.size = 120;
        onDevice.bands = {3};
        auto* records = m_sim->handler<RecordHandler>();
        records->add(onDevice);
        QVERIFY(runUpload(freshRecord()));
        verifyFilesExact();
        QCOMPARE(storedInformation().getSectionValue("LocalData", "TotalUploadedSize").toLongLong(),
                 kCards * kCardBytes);

        records->records().clear();
        QVERIFY(runDownload(freshRecord()));
        for (int card = 1; card <= kCards; ++card) {
            QCOMPARE(m_transfer->channel(card)->nextBlock(), kBlocks);
            QCOMPARE(m_transfer->channel(card)->badBytes(), 0u);
        }
        const RecordHandler::SimRecord* taken = records->find(kName);
        QVERIFY(taken);
        QCOMPARE(taken->size, 120u);
        QCOMPARE(taken->bands, QList<int>{3});
        QCOMPARE(int(taken->bit), 8);
    }

    void refusedStartEndsIdle_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        // What each card is told as at the first refusal: the cards not heard from are unknown.
        QTest::addColumn<QVector<int>>("told");
        constexpr int kUnknown = UpDownLoadAssist::kStartAwaited;
        QTest::newRow("failed") << 1 << QStringLiteral("启动上传失败") << QVector<int>{1, kUnknown, kUnknown};
        QTest::newRow("record not found")
            << 2 << QStringLiteral("启动上传失败，未找到记录") << QVector<int>{2, kUnknown, kUnknown};
        // -1: an instrument that sizes uploads by its catalogue, which lacks the record.
        QTest::newRow("record not in the catalogue")
            << -1 << QStringLiteral("启动上传失败，未找到记录") << QVector<int>{2, kUnknown, kUnknown};
        // -2: cards 1 and 3 accept, card 2 lacks the record.
        QTest::newRow("card 2 alone refuses: the others stop at once")
            << -2 << QStringLiteral("启动上传失败，未找到记录，采集卡2") << QVector<int>{0, 2, kUnknown};
        // -3: card 1's answer lost, card 2's refusal after card 3's acceptance, which is
        // credited to card 1: the cards that connected say whose the refusal is.
        QTest::newRow("card 1's answer lost, card 2 refuses after card 3: card 2 named")
            << -3 << QStringLiteral("启动上传失败，未找到记录，采集卡2") << QVector<int>{0, 2, 0};
        // -4: a download whose card 2 refuses.
        QTest::newRow("download: card 2 alone refuses, the others stop at once")
            << -4 << QStringLiteral("启动下载失败，采集卡2") << QVector<int>{0, 1, kUnknown};
    }
    void refusedStartEndsIdle()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        QFETCH(QVector<int>, told);
        const bool partly = result <= -2;
        const bool upload = result != -4;
        // Partly refused, the channels keep their own time-out: the stop must not wait for it.
        if (!partly)
            TcpTransportThread::setTimeoutForTest(TestTime::ms(100));
        if (result == -1)
            m_transfer->blocksFromRecord = true;
        else if (upload && partly)
            m_transfer->cardUploadResults[2] = 2;
        else if (!upload)
            m_transfer->cardDownloadAccepted[2] = false;
        else
            m_transfer->uploadResult = quint8(result);
        if (result == -3) {
            QVERIFY(m_sim->setKindFault(QStringLiteral("unanswered:4:1")));
            m_transfer->cardReplyDelayMs[2] = ofReplyWait(1, 10);
            m_pm->setReplyWaitForTest(ofReplyWait(1, 5));
        }
        // A download sends what the store holds; slow cards, so that it still runs at the refusal.
        if (!upload) {
            writeLocalFiles(2, kBlocks);
            CardDataChannel::Faults slow;
            slow.silentAfterBlocks = 1;
            for (int card = 1; card <= kCards; ++card)
                m_transfer->cardFaults[card] = slow;
        }
        const auto start = [this, upload] {
            return upload ? m_assist->StartUploadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0)
                          : m_assist->StartDownloadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0);
        };
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QSignalSpy refused(m_assist.get(), &UpDownLoadAssist::StartRefused);
        // What the PC holds of each card when it says idle: nothing is written after.
        QList<qint64> atIdle;
        connect(m_assist.get(), &UpDownLoadAssist::UpdateSystemStatus, this, [&](SystemState s) {
            if (s == SystemState::Idle && atIdle.isEmpty())
                for (int card = 0; card < kCards; ++card)
                    atIdle << QFileInfo(dataFile(card)).size();
        });
        const int timeouts = logText().count(QStringLiteral("传输初始化失败"));
        QVERIFY(start());
        QVERIFY(waitCount(refused, 1));
        QCOMPARE(refused.first().at(0).value<uchar>(), uchar(upload ? 5 : 6));
        // A card not heard from that had connected by then accepted.
        const QVector<int> cards = refused.first().at(1).value<QVector<int>>();
        QCOMPARE(cards.size(), told.size());
        for (int i = 0; i < cards.size(); ++i)
            QVERIFY2(cards.at(i) == told.at(i) || (told.at(i) == UpDownLoadAssist::kStartAwaited && cards.at(i) == 0),
                     qPrintable(QStringLiteral("card %1 told as %2").arg(i + 1).arg(cards.at(i))));
        // The stop it made follows the channels' ends; the start is told once.
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(20000));
        QCOMPARE(states(global), partly ? (QList<int>{upload ? 5 : 6, 1}) : QList<int>{});
        QVERIFY(logText().contains(message));
        // An upload refused before any block moved leaves no record of empty files behind.
        // (The cards stopped at once may have moved a block or none.)
        if (!upload || !partly)
            QCOMPARE(QFile::exists(m_folder + QStringLiteral("/%1.wdi").arg(kName)), !upload);
        if (!partly) {
            QCOMPARE(m_transfer->channelCount(), 0);
            return;
        }
        QCOMPARE(atIdle.size(), kCards);
        // Four heartbeat rounds later, past the channels' own time-out.
        QSignalSpy beats(m_pm.get(), &ProtocolManager::HeartBeatMsg);
        QVERIFY(waitCount(beats, 4));
        // The cards that accepted were told to stop by name, before their channels could time out.
        QList<int> stopped;
        for (const auto& request : m_sim->requests())
            if (request.type == 4 && request.cmd == (upload ? 3 : 6))
                stopped << request.card;
        QVERIFY(stopped.contains(1) && stopped.contains(3));
        QCOMPARE(logText().count(QStringLiteral("传输初始化失败")), timeouts);
        for (int card = 0; card < kCards; ++card)
            QCOMPARE(QFileInfo(dataFile(card)).size(), atIdle.at(card));
        // The next transfer goes out at once and runs.
        m_transfer->cardUploadResults.clear();
        m_transfer->cardDownloadAccepted.clear();
        m_transfer->cardReplyDelayMs.clear();
        QVERIFY(start());
        QVERIFY(waitCount(global, 3));
        QCOMPARE(states(global).at(2), upload ? 5 : 6);
        m_assist->StopTransport(false);
        // The stop returns at once; its end reaches the handler above while its locals live.
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(20000));
        // The refused start's later answers never told it again over the transfer that ran.
        QCOMPARE(refused.count(), 1);
    }

    // A start answer lost or late: each answer after a lost one is credited to the card before,
    // and a card whose start runs out of time is checked by whether it connects, once; the kind
    // is in step again for the next upload.
    void startAnswerInDoubtIsCheckedByTheCardsConnecting_data()
    {
        QTest::addColumn<QString>("fault"); // on the start of an upload (4:1) or a download (4:4)
        QTest::addColumn<int>("refusing");  // the card that refuses, or 0
        QTest::addColumn<QVector<int>>("report");
        QTest::addColumn<int>("checked"); // cards found connected by their check
        const QVector<int> second{0, UpDownLoadAssist::kStartNotConnected, 0};
        // Three times the reply wait late.
        const QString lateUpload = QStringLiteral("late:4:1:%1").arg(TestTime::ms(900));
        const QString lateDownload = QStringLiteral("late:4:4:%1").arg(TestTime::ms(900));
        QTest::newRow("every card accepts: the upload runs") << "unanswered:4:1" << 0 << QVector<int>{} << 1;
        QTest::newRow("every answer late: each card checked, the upload runs")
            << lateUpload << 0 << QVector<int>{} << kCards;
        QTest::newRow("card 2 refuses unseen: told as not connected, the others run")
            << lateUpload << 2 << second << kCards - 1;
        QTest::newRow("download: card 1's answer lost, the download runs")
            << "unanswered:4:4" << 0 << QVector<int>{} << 1;
        QTest::newRow("download: card 2 refuses unseen: told as not connected, the others run")
            << lateDownload << 2 << second << kCards - 1;
    }
    void startAnswerInDoubtIsCheckedByTheCardsConnecting()
    {
        QFETCH(QString, fault);
        QFETCH(int, refusing);
        QFETCH(QVector<int>, report);
        QFETCH(int, checked);
        const bool up = fault.section(QLatin1Char(':'), 2, 2) == QLatin1String("1");
        const Msg_Cmd cmd = up ? Msg_Cmd::StartUpload : Msg_Cmd::StartDownload;
        const int running = up ? 5 : 6;
        TcpTransportThread::setTimeoutForTest(TestTime::ms(400));
        m_pm->setReplyWaitForTest(TestTime::ms(300));
        // Slow cards, so that the transfer still runs when the checks are in.
        CardDataChannel::Faults slow;
        slow.answerDelayMs = TestTime::ms(100);
        if (!up) {
            writeLocalFiles(2, kBlocks);
            slow.silentAfterBlocks = 1;
        }
        for (int card = 1; card <= kCards; ++card)
            m_transfer->cardFaults[card] = slow;
        const auto transfer = [this, up] {
            QVERIFY(up ? m_assist->StartUploadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0)
                       : m_assist->StartDownloadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0));
        };
        const auto idle = [this, cmd] {
            QTRY_VERIFY_WITH_TIMEOUT(!m_pm->isAwaiting(Msg_Type::UploadDownload, cmd), TestTime::ms(10000));
            m_assist->StopTransport(false);
            QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(20000));
        };
        const QString kind = up ? QStringLiteral("上传") : QStringLiteral("下载");
        const QString connected = QStringLiteral("已连接：设备接受了%1启动").arg(kind);
        const QString dropped = QStringLiteral("已丢弃[类型:4][指令:%1]").arg(int(cmd));
        const int connectedBefore = logText().count(connected);
        const int droppedBefore = logText().count(dropped);
        QVERIFY(m_sim->setKindFault(fault));
        if (refusing != 0 && up)
            m_transfer->cardUploadResults[refusing] = 2;
        else if (refusing != 0)
            m_transfer->cardDownloadAccepted[refusing] = false;
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QSignalSpy refused(m_assist.get(), &UpDownLoadAssist::StartRefused);
        transfer();
        QTRY_VERIFY_WITH_TIMEOUT(states(global).contains(running), TestTime::ms(10000));
        if (!report.isEmpty()) {
            // Its channel gives up on it after the reply wait and a time-out.
            QVERIFY(waitCount(refused, 1, TestTime::ms(20000)));
            QCOMPARE(refused.first().at(1).value<QVector<int>>(), report);
            QVERIFY(logText().contains(QStringLiteral("采集卡%1未连接：设备未接受%2启动").arg(refusing).arg(kind)));
        }
        QTRY_COMPARE_WITH_TIMEOUT(logText().count(connected), connectedBefore + checked, TestTime::ms(10000));
        // Answers that come after their cards were checked answer nothing.
        if (fault.startsWith(QLatin1String("late")))
            QTRY_COMPARE_WITH_TIMEOUT(logText().count(dropped), droppedBefore + kCards, TestTime::ms(10000));
        idle();
        QVERIFY(!m_pm->isOpen(Msg_Type::UploadDownload, cmd));

        // In step: the next transfer's answers are its own, with no further check.
        m_sim->faults().lateMs.clear();
        m_transfer->cardUploadResults.clear();
        m_transfer->cardDownloadAccepted.clear();
        global.clear();
        transfer();
        QTRY_VERIFY_WITH_TIMEOUT(states(global).contains(running), TestTime::ms(10000));
        idle();
        QCOMPARE(logText().count(connected), connectedBefore + checked);
        QCOMPARE(refused.size(), report.isEmpty() ? 0 : 1);
    }

    void strayRefusalLeavesATransferEveryCardAcceptedRunning()
    {
        // Card 1's answer lost: cards 2 and 3's are credited to cards 1 and 2, and a stray
        // refusal that comes once card 3 moves blocks is credited to card 3.
        QVERIFY(m_sim->setKindFault(QStringLiteral("unanswered:4:1")));
        for (int card = 1; card <= kCards; ++card)
            m_transfer->cardFaults[card].answerDelayMs = ofTimeout(1, 20);
        QSignalSpy refused(m_assist.get(), &UpDownLoadAssist::StartRefused);
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QVERIFY(m_assist->StartUploadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0));
        QTRY_VERIFY_WITH_TIMEOUT(m_transfer->channel(kCards) && m_transfer->channel(kCards)->nextBlock() > 0,
                                 TestTime::ms(10000));
        QVERIFY(m_pm->isAwaiting(Msg_Type::UploadDownload, Msg_Cmd::StartUpload));
        m_sim->sendReport(4, 1, QByteArray(1, '\x02'));
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(60000));
        QCOMPARE(refused.size(), 0);
        QCOMPARE(states(global), (QList<int>{5, 1}));
        verifyFilesExact(kBlocks, kCards, m_transfer->cardFaults);
        QVERIFY(logText().contains(QStringLiteral("上传启动：1个失败应答不属于任何采集卡，已忽略")));
    }

    void startRefusedWhileRunningOrWithoutCards()
    {
        RecordEx none = freshRecord();
        none.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("NumOfBoards"), 0);
        QVERIFY(!m_assist->StartUploadCmdFromUI(none, QStringLiteral("127.0.0.1"), 0));
        QVERIFY(
            logText().contains(QStringLiteral("记录%1的采集卡数量0无效，无法传输").arg(RecordCheck::logName(kName))));
        QCOMPARE(int(m_assist->GetLastMethod()), 1);

        CardDataChannel::Faults silent;
        silent.silentAfterBlocks = 0;
        for (int card = 1; card <= kCards; ++card)
            m_transfer->cardFaults[card] = silent;
        QVERIFY(m_assist->StartUploadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0));
        QVERIFY(!m_assist->StartDownloadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0));
        QVERIFY(logText().contains(QStringLiteral("正在传输记录，拒绝新的下载请求")));
        QCOMPARE(int(m_assist->GetLastMethod()), 5);
        QTRY_COMPARE_WITH_TIMEOUT(m_transfer->starts().size(), kCards, TestTime::ms(20000));
        m_assist->StopUploadCmdFromUI();
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(20000));
    }

    void startThatCannotSetUpLeavesEverythingAsItWas_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("why");
        QTest::addColumn<qint64>("fileBytes"); // of each local data file; -1: none
        // No local data to send: every channel fails to open its file.
        QTest::newRow("download of a record not in the store") << false << "127.0.0.1"
                                                               << "无法打开数据文件，" << qint64(-1);
        // An address of no interface of the PC: every channel fails to listen.
        QTest::newRow("upload on an address the PC does not have") << true << "192.0.2.1"
                                                                   << "无法监听（" << qint64(-1);
        // A byte short, as a crash or a full disk leaves a file: nothing it lacks may go out.
        QTest::newRow("download of data files a byte short")
            << false << "127.0.0.1"
            << QStringLiteral("数据文件只有 %1 字节，应有 %2 字节，无法下载，").arg(kCardBytes - 1).arg(kCardBytes)
            << kCardBytes - 1;
    }
    void startThatCannotSetUpLeavesEverythingAsItWas()
    {
        QFETCH(bool, upload);
        QFETCH(QString, address);
        QFETCH(QString, why);
        QFETCH(qint64, fileBytes);
        if (fileBytes >= 0) {
            QVERIFY(QDir().mkpath(m_folder));
            for (int card = 0; card < kCards; ++card) {
                QFile data(dataFile(card));
                QVERIFY(data.open(QIODevice::WriteOnly) && data.resize(fileBytes));
            }
        }
        // With the bandwidth capability a transfer that ended sends the record's bandwidth back.
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, true);
        QVERIFY(m_pm->IsBandwidthEnable());
        QSignalSpy status(m_assist.get(), &UpDownLoadAssist::UpdateSystemStatus);
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        const bool started = upload ? m_assist->StartUploadCmdFromUI(freshRecord(), address, 0)
                                    : m_assist->StartDownloadCmdFromUI(freshRecord(), address, 0);
        QVERIFY(!started);
        QCOMPARE(int(m_assist->GetLastMethod()), 1);
        QCOMPARE(m_assist->lastStartRefusal(), fileBytes >= 0 ? UpDownLoadAssist::StartRefusal::DataShort
                                                              : UpDownLoadAssist::StartRefusal::ChannelsFailed);
        QVERIFY(hasLine(log, FileLogger::Error, QStringLiteral("传输初始化失败")));
        // Every channel says why.
        for (int card = 1; card <= kCards; ++card)
            QVERIFY(logText().contains(QStringLiteral("传输通道 %1 %2").arg(card).arg(why)));
        // A request sent would arrive behind this heartbeat's reply.
        QSignalSpy beat(m_pm.get(), &ProtocolManager::UpdateDeviceInfo);
        QVERIFY(m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QVERIFY(waitCount(beat, 1));
        for (const auto& r : m_sim->requests())
            QVERIFY2(r.type != quint8(Msg_Type::UploadDownload)
                         && !(r.type == quint8(Msg_Type::Extend) && r.cmd == quint8(Msg_Cmd::OutputSetting)),
                     qPrintable(QStringLiteral("request %1/%2").arg(r.type).arg(r.cmd)));
        QVERIFY(status.isEmpty());
        QVERIFY(progress.isEmpty());
        QCOMPARE(QFileInfo::exists(m_folder), fileBytes >= 0);
        QDir(m_folder).removeRecursively();

        // Nothing is left behind that would hold up the next transfer.
        m_transfer->silentStarts = true;
        QVERIFY(m_assist->StartUploadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0));
        QTRY_COMPARE_WITH_TIMEOUT(m_transfer->starts().size(), kCards, TestTime::ms(20000));
        m_assist->StopUploadCmdFromUI();
        QTRY_COMPARE_WITH_TIMEOUT(int(m_assist->GetLastMethod()), 1, TestTime::ms(20000));
        QVERIFY(logText().contains(QStringLiteral("传输通道 3 采集卡未连接即被停止，续传从数据块 0 开始")));
        // Stopped before any block moved: no record of empty files to be listed unusable.
        QVERIFY(!QFileInfo::exists(m_folder));
    }

    void downloadStartCarriesTheStoredRecord()
    {
        // The description as the local record list reads it back from the store.
        RecordEx r = freshRecord();
        r.SetRecordValue(QStringLiteral("StartTime"), 1700000005u);
        r.SetRecordValue(QStringLiteral("Duration"), 96u);
        r.SetRecordValue(QStringLiteral("Available"), true);
        r.SetRecordValue(QStringLiteral("Type"), 1);
        r.SetRecordValue(QStringLiteral("FreqNum"), 2);
        r.setSectionValue(QStringLiteral("Freq2"), QStringLiteral("Num"), 0x104);
        r.SetRecordValue(QStringLiteral("Remark"), QStringLiteral("外场1"));
        r.BuildIndex();
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile(QStringLiteral("KELO-SIM01"), r));
        for (int card = 0; card < kCards; ++card) {
            QFile data(dataFile(card));
            QVERIFY(data.open(QIODevice::WriteOnly) && data.resize(kCardBytes));
        }
        RecordEx stored;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, stored));

        m_transfer->silentStarts = true;
        QVERIFY(m_assist->StartDownloadCmdFromUI(stored, QStringLiteral("127.0.0.1"), 0));
        QTRY_COMPARE_WITH_TIMEOUT(m_transfer->starts().size(), kCards, TestTime::ms(20000));
        m_assist->StopDownloadCmdFromUI();
        // name, start time, duration, size (MiB), available, type, bit, 2 bands, remark length, remark
        const QByteArray expected = QByteArray::fromHex("00f15365"
                                                        "05f15365"
                                                        "60000000"
                                                        "78000000"
                                                        "01"
                                                        "01"
                                                        "08"
                                                        "02000000"
                                                        "03000000"
                                                        "04010000"
                                                        "07000000")
                                  + QByteArray("\xe5\xa4\x96\xe5\x9c\xba"
                                               "1");
        for (const auto& start : m_transfer->starts()) {
            QCOMPARE(start.cmd, quint8(4));
            QCOMPARE(start.record.toHex(), expected.toHex());
        }
    }

    void threeMissedHeartbeatsStopAndSaveCounters()
    {
        CardDataChannel::Faults stall;
        stall.silentAfterBlocks = 5;
        for (int card = 1; card <= kCards; ++card)
            m_transfer->cardFaults[card] = stall;
        m_assist->setHeartbeatTimingForTest(TestTime::ms(50), TestTime::ms(100));
        QSignalSpy global(RunStatus::instance(), &RunStatus::GlobalChangeState);
        QVERIFY(m_assist->StartUploadCmdFromUI(freshRecord(), QStringLiteral("127.0.0.1"), 0));
        QVERIFY(waitCount(global, 1));
        // Heartbeats are answered until every card has stalled; then three go unanswered.
        for (int card = 1; card <= kCards; ++card)
            QTRY_COMPARE_WITH_TIMEOUT(m_transfer->channel(card)->blocksMoved(), 5u, TestTime::ms(20000));
        QTRY_VERIFY_WITH_TIMEOUT(m_transfer->ackTimes().size() >= 2, TestTime::ms(20000));
        m_transfer->silentAcks = true;
        QVERIFY(waitCount(global, 2));
        QCOMPARE(states(global), (QList<int>{5, 1}));
        QCOMPARE(int(m_assist->GetLastMethod()), 1);
        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("设备未回应上传下载心跳，超时重试：1")));
        QVERIFY(log.contains(QStringLiteral("设备未回应上传下载心跳，超时重试：2")));
        QVERIFY(log.contains(QStringLiteral("设备未回应上传下载心跳，中断上传下载")));
        const QMemorySetting info = storedInformation();
        for (int i = 0; i < kCards; ++i)
            QCOMPARE(info.getSectionValue(QStringLiteral("Card%1").arg(i), "UploadNum").toUInt(), 5u);
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), kCards * 5 * kBlockBytes);

        // The resume keeps the fixture's heartbeat time-out, so a slow reply does not end it early.
        m_assist->setHeartbeatTimingForTest(TestTime::ms(50), TestTime::ms(UpDownLoadAssist::kHeartbeatTimeoutMs));
        m_transfer->cardFaults.clear();
        m_transfer->silentAcks = false;
        RecordEx resumed;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        verifyFilesExact();
    }

private:
    bool runUpload(const RecordEx& record) { return run(record, true); }
    bool runDownload(const RecordEx& record) { return run(record, false); }

    // The start request a card got in a run that began with start request number from; a run
    // that ends early may leave the rest of its requests still on the way.
    const TransferHandler::Start* startOf(quint8 card, int from) const
    {
        const auto& starts = m_transfer->starts();
        for (int i = from; i < starts.size(); ++i) {
            if (starts.at(i).card == card)
                return &starts.at(i);
        }
        return nullptr;
    }

    // A row of the surplus tables: card 1 with its faults, then again without them.
    void uploadWithSurplusThenResume()
    {
        // Answers carry no block number: a surplus block is read as the next one asked for.
        QFETCH(CardDataChannel::Faults, faults);
        QFETCH(int, cards);
        QFETCH(quint32, from);
        QFETCH(quint32, resumeAt);
        m_transfer->cardFaults[1] = faults;
        RecordEx record = freshRecord(2, kBlocks, cards);
        if (from > 0) {
            QVERIFY(QDir().mkpath(m_folder));
            writeCardData(dataFile(0), 0, 2, from);
            record.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadNum"), from);
            record.setSectionValue(QStringLiteral("Card0"), QStringLiteral("UploadSize"), from * kBlockBytes);
        }
        QueuedSignalSpy progress(m_assist.get(), &UpDownLoadAssist::Transport_UpdateProgress);
        QVERIFY(runUpload(record));
        progress.flush();
        const QMemorySetting info = storedInformation();
        const quint32 counted = info.getSectionValue("Card0", "UploadNum").toUInt();
        QVERIFY2(counted == from || counted == resumeAt, qPrintable(QString::number(counted)));
        QCOMPARE(hasIncompleteReport(progress), counted < kBlocks);
        if (counted < kBlocks)
            QVERIFY(logText().contains(QStringLiteral("续传从数据块 %1 开始").arg(counted)));
        // A run voided whole keeps nothing, and leaves no record of empty files behind.
        const bool kept = QFileInfo::exists(m_folder);
        QVERIFY(kept || counted == 0);
        if (kept)
            verifyFilesAtCounters(cards, m_transfer->cardFaults);

        // The same card's data, without its faults.
        CardDataChannel::Faults data;
        data.constantFrom = faults.constantFrom;
        data.equalAt = faults.equalAt;
        data.equalTo = faults.equalTo;
        m_transfer->cardFaults.clear();
        m_transfer->cardFaults[1] = data;
        RecordEx resumed = freshRecord(2, kBlocks, cards);
        if (kept)
            QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(QStringLiteral("KELO-SIM01"), kName, resumed));
        QVERIFY(runUpload(resumed));
        verifyFilesExact(kBlocks, cards, m_transfer->cardFaults);
    }

    bool run(const RecordEx& record, bool upload)
    {
        QSignalSpy status(m_assist.get(), &UpDownLoadAssist::UpdateSystemStatus);
        const bool started = upload ? m_assist->StartUploadCmdFromUI(record, QStringLiteral("127.0.0.1"), 0)
                                    : m_assist->StartDownloadCmdFromUI(record, QStringLiteral("127.0.0.1"), 0);
        if (!started)
            return false;
        // Started (5 or 6, once per card's reply), then idle again.
        QElapsedTimer clock;
        clock.start();
        while (m_assist->GetLastMethod() != 1 && clock.elapsed() < TestTime::ms(60000))
            status.wait(1000);
        return !status.isEmpty() && int(status.last().at(0).value<SystemState>()) == 1
            && m_assist->GetLastMethod() == 1;
    }

    static bool hasLine(const QList<QList<QVariant>>& log, FileLogger::LogType type, const QString& text)
    {
        for (const auto& args : log) {
            if (args.at(0).value<FileLogger::LogType>() == type && args.at(1).toString().endsWith(text))
                return true;
        }
        return false;
    }

    static bool hasIncompleteReport(const QList<QList<QVariant>>& progress)
    {
        for (const auto& args : progress) {
            if (args.at(0).toInt() == -1 && args.at(1).toDouble() == 0.0)
                return true;
        }
        return false;
    }

    QString dataFile(int card) const { return m_folder + QStringLiteral("/%1_%2.wdd").arg(kName).arg(card); }

    // The simulator's data of each card (by the card faults that shape it), written out and
    // compared by cmp.
    void verifyFilesExact(quint32 blocks = kBlocks, int cards = kCards, const CardFaults& faults = {})
    {
        for (int card = 0; card < cards; ++card)
            verifyFile(card, blocks, faults.value(card + 1));
    }

    void verifyFile(int card, quint32 blocks, const CardDataChannel::Faults& faults = {})
    {
        const QString expected = m_app->root() + QStringLiteral("/expected_%1.bin").arg(card);
        writeCardData(expected, card, 2, blocks, faults);
        compareFiles(expected, dataFile(card));
        QFile::remove(expected);
    }

    // Each card's file holds exactly the whole blocks its counters name.
    void verifyFilesAtCounters(int cards, const CardFaults& faults = {})
    {
        const QMemorySetting info = storedInformation();
        qint64 total = 0;
        for (int card = 0; card < cards; ++card) {
            const QString section = QStringLiteral("Card%1").arg(card);
            const quint32 blocks = info.getSectionValue(section, "UploadNum").toUInt();
            QCOMPARE(info.getSectionValue(section, "UploadSize").toLongLong(), blocks * kBlockBytes);
            verifyFile(card, blocks, faults.value(card + 1));
            total += blocks * kBlockBytes;
        }
        QCOMPARE(info.getSectionValue("LocalData", "TotalUploadedSize").toLongLong(), total);
    }

    static void compareFiles(const QString& a, const QString& b)
    {
        QProcess cmp;
        cmp.start(QStringLiteral("cmp"), {a, b});
        QVERIFY(cmp.waitForFinished(30000));
        QVERIFY2(cmp.exitCode() == 0, qPrintable(QString::fromLocal8Bit(cmp.readAllStandardOutput())));
    }

    static void writeCardData(const QString& path, int card, int blockMiB = 2, quint32 blocks = kBlocks,
                              const CardDataChannel::Faults& faults = {})
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (quint32 n = 0; n < blocks; ++n)
            QCOMPARE(out.write(CardDataChannel::blockOf(kName, card, n, quint32(blockMiB), faults)), qint64(blockMiB)
                                                                                                         << 20);
    }

    void writeLocalFiles(int blockMiB, quint32 blocks)
    {
        QVERIFY(QDir().mkpath(m_folder));
        for (int card = 0; card < kCards; ++card)
            writeCardData(dataFile(card), card, blockMiB, blocks);
    }

    QMemorySetting storedInformation() const
    {
        QFile file(m_folder + QStringLiteral("/%1.wdi").arg(kName));
        if (!file.open(QIODevice::ReadOnly))
            return QMemorySetting();
        return QMemorySetting(file.readAll());
    }

    static QByteArray readAllOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QString logText()
    {
        QFile file(FileLogger::instance()->currentFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;
    std::unique_ptr<ProtocolManager> m_pm;
    std::unique_ptr<UpDownLoadAssist> m_assist;
    TransferHandler* m_transfer = nullptr;
    QString m_folder;
};

QTEST_GUILESS_MAIN(tst_RecordTransfer)
#include "tst_RecordTransfer.moc"
