#include <DevConfigCodec.h>
#include <FileLogger.h>
#include <FramePeer.h>
#include <HeartMsg.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <memory>

namespace {
// A reply frame written out from the header table (magic, version 1, source 0, target 2, card 0,
// sequence, type, command, u32 length, payload) with the CRC field as given.
QByteArray frame(uchar type, uchar cmd, const QByteArray& payload, const QByteArray& crc = QByteArray(4, '\0'))
{
    QByteArray f = QByteArray::fromHex("CCAABBFF010002000000");
    f += char(type);
    f += char(cmd);
    const int n = payload.size();
    f += char(n & 0xFF);
    f += char((n >> 8) & 0xFF);
    f += char((n >> 16) & 0xFF);
    f += char((n >> 24) & 0xFF);
    return f + payload + crc.left(4);
}

QByteArray heartbeatReply(uchar source)
{
    return frame(1, 1, QByteArray("\x01", 1) + char(source) + QByteArray(2, '\0'));
}
} // namespace

class tst_ProtocolManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_app = LinkTest::appWithLog(); }
    void init()
    {
        ProtocolManager::SourceMod = 0;
        m_pm = std::make_unique<ProtocolManager>();
        // Whatever an earlier case left half-received is not this case's concern.
        m_pm->slot_tcp_connectionChange(false);
    }
    void cleanup() { m_pm.reset(); }

    void builtFrames_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("source");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("heartbeat") << 1 << 1 << QByteArray("\x01") << 0
                                   << QByteArray::fromHex("CCAABBFF010002000000010101000000"
                                                          "01"
                                                          "8A5C29E1");
        QTest::newRow("extended heartbeat") << 1 << 0x81 << QByteArray() << 0
                                            << QByteArray::fromHex("CCAABBFF010002000000018100000000"
                                                                   "2CB5445C");
        QTest::newRow("source id in byte five")
            << 1 << 4 << QByteArray() << 5 << QByteArray::fromHex("CCAABBFF010502000000010400000000");
    }
    void builtFrames()
    {
        QFETCH(int, type);
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QFETCH(int, source);
        QFETCH(QByteArray, expected);
        ProtocolManager::SourceMod = quint8(source);
        const QByteArray f = m_pm->MakeFrame(Msg_Type(type), Msg_Cmd(cmd), payload);
        QCOMPARE(f.left(expected.size()), expected);
        QCOMPARE(f.size(), 20 + payload.size());
    }

    void headerBuilders()
    {
        QCOMPARE(ProtocolManager::U32toByte(0x11223344u), QByteArray::fromHex("44332211"));
        QCOMPARE(ProtocolManager::U16toByte(0xA1B2), QByteArray::fromHex("B2A1"));
        QCOMPARE(ProtocolManager::MsgHeadToTerminal(0, 0x0102, Msg_Type::UploadDownload, Msg_Cmd(2), 4),
                 QByteArray::fromHex("CCAABBFF010003000201040204000000"));
        QCOMPARE(ProtocolManager::MsgHead(Target_Dev::Device, 3, 7, Msg_Type::UploadDownload, Msg_Cmd::StopUpload, 0),
                 QByteArray::fromHex("CCAABBFF010002030700040300000000"));
    }

    void sequenceWrapsAfter65536Frames()
    {
        const QByteArray first = m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo);
        QCOMPARE(first.mid(8, 2), QByteArray::fromHex("0000"));
        QCOMPARE(m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo).mid(8, 2), QByteArray::fromHex("0100"));
        for (int i = 2; i < 65535; ++i)
            m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo);
        QCOMPARE(m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo).mid(8, 2), QByteArray::fromHex("FFFF"));
        QCOMPARE(m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo), first);
    }

    void sendWhileDownFailsAndUsesSequence()
    {
        QVERIFY(!m_pm->isConnected());
        QVERIFY(!m_pm->SendCmd(Msg_Type::System, Msg_Cmd::DeviceInfo, Target_Dev::Device));
        QCOMPARE(m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo).mid(8, 2), QByteArray::fromHex("0100"));
    }

    // The heartbeat reply's source id shows which frames were dispatched.
    void dispatch_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("source");
        QTest::newRow("whole reply") << QList<QByteArray>{heartbeatReply(5)} << 5;
        QTest::newRow("two replies in one chunk, last wins")
            << QList<QByteArray>{heartbeatReply(5) + heartbeatReply(6)} << 6;
        QTest::newRow("unknown type consumed") << QList<QByteArray>{frame(7, 1, "abc") + heartbeatReply(8)} << 8;
        QTest::newRow("config command other than ten consumed")
            << QList<QByteArray>{frame(5, 9, "abc") + heartbeatReply(9)} << 9;
        QTest::newRow("type zero consumed") << QList<QByteArray>{frame(0, 1, "") + heartbeatReply(4)} << 4;
        QTest::newRow("garbage in front drops the reply")
            << QList<QByteArray>{QByteArray("\x00", 1) + heartbeatReply(5)} << 0;
        QTest::newRow("reply split in two")
            << QList<QByteArray>{heartbeatReply(3).left(7), heartbeatReply(3).mid(7)} << 3;
        QTest::newRow("not accepted keeps source")
            << QList<QByteArray>{frame(1, 1, QByteArray::fromHex("00050000"))} << 0;
        QTest::newRow("bad crc still dispatched")
            << QList<QByteArray>{frame(1, 1, QByteArray::fromHex("01070000"), "\x12\x34\x56\x78")} << 7;
    }
    void dispatch()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, source);
        for (const QByteArray& c : chunks)
            m_pm->slot_tcp_dataRecv(c);
        QCOMPARE(int(ProtocolManager::SourceMod), source);
    }

    // What a person asked the instrument to do stays open after its wait ran out, and no second
    // one of its kind goes out meanwhile: a late answer is its own, a repeat is nobody's, and the
    // next request answered at once is told as its own. A kind whose check asks a question (the
    // run state, the record list) is settled by that check's answer alone, even one that comes
    // past the query's wait: an answer of its kind during the check is nobody's.
    void lateAnswerGoesToTheExpiredRequest_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("checkLate"); // the state query that checks goes past its time
        const QByteArray yes(1, '\x01'), zero(1, '\0');
        QTest::newRow("delete record") << 2 << 4 << zero << false;
        QTest::newRow("change note") << 2 << 5 << zero << false;
        QTest::newRow("clear all") << 2 << 2 << yes << false;
        QTest::newRow("network change, bare result") << 1 << 6 << yes << false;
        QTest::newRow("custom band") << 1 << 10 << yes << false;
        QTest::newRow("automatic time") << 1 << 3 << yes << false;
        QTest::newRow("start collection refused") << 3 << 1 << zero << false;
        QTest::newRow("stop collection") << 3 << 2 << yes << false;
        QTest::newRow("start playback") << 3 << 3 << yes << false;
        QTest::newRow("stop playback") << 3 << 4 << yes << false;
        QTest::newRow("start upload refused") << 4 << 1 << yes << false;
        QTest::newRow("start download") << 4 << 4 << yes << false;
        QTest::newRow("start download, text record") << 4 << 0x14 << yes << false;
        QTest::newRow("stop upload") << 4 << 3 << yes << false;
        QTest::newRow("stop download") << 4 << 6 << yes << false;
        // The store's answers name no request either: a get's carries one value per key asked.
        QTest::newRow("device configuration get") << 1 << 12 << QByteArray::fromHex("0001000000020000003100") << false;
        QTest::newRow("device configuration set")
            << 1 << int(ProtocolManager::DevConfigWrite) << QByteArray::fromHex("0101000000") << false;
        // A failed check leaves the kind in doubt; the check's own late report, alone, settles it.
        QTest::newRow("start collection, its check answered late") << 3 << 1 << yes << true;
        QTest::newRow("stop playback, its check answered late") << 3 << 4 << zero << true;
    }

    void lateAnswerGoesToTheExpiredRequest()
    {
        QFETCH(int, type);
        QFETCH(int, cmd);
        QFETCH(QByteArray, answer);
        QFETCH(bool, checkLate);
        QStringList told;
        const auto owner = [&](const char* name) {
            return ReplyOwner(this, [this, &told, name](const ReplyNotice& n) {
                const char* what[] = {"in time",    "late",    "timed out", "malformed", "settled",
                                      "check lost", "unknown", "cut",       "corrected"};
                told << QStringLiteral("%1 %2").arg(name, what[int(n.outcome)]);
                // Past its wait, it stays open as long as the test needs: the quiet wait is the
                // wait of its kind.
                if (n.outcome == ReplyOutcome::TimedOut) {
                    m_pm->setReplyWaitForTest(TestTime::ms(60000));
                    m_pm->setClearWaitForTest(TestTime::ms(60000));
                    m_pm->setConfigWaitForTest(TestTime::ms(60000));
                }
            });
        };
        const Msg_Type t = Msg_Type(type);
        const Msg_Cmd c = Msg_Cmd(cmd);
        const bool several = m_pm->ruleOf(quint8(type), quint8(cmd)).several;
        // A write of the store is a kind of its own in the table; on the wire it is command 12.
        const bool store = t == Msg_Type::System && (c == Msg_Cmd::DevConfig || c == ProtocolManager::DevConfigWrite);
        const uchar wire = store ? uchar(Msg_Cmd::DevConfig) : uchar(cmd);
        // What a request of the store sent: one key asked, as the answer carries one value.
        const auto sent = [&](const char* name) {
            return !store                  ? QByteArray(name)
                 : c == Msg_Cmd::DevConfig ? DevConfigCodec::getRequest("devConfig", {"MGC/MGC"})
                                           : DevConfigCodec::setRequest("devConfig", {"MGC/MGC"}, {name});
        };
        const OpenRequests::Check check = m_pm->ruleOf(quint8(type), quint8(cmd)).check;
        const bool byCheck = check == OpenRequests::Check::RunState || check == OpenRequests::Check::RecordList;
        // The check's question (the state query, the record-list service's list) is answered.
        const auto answerTheCheck = [&] {
            if (check == OpenRequests::Check::RunState) {
                m_pm->expectReplyForTest(Msg_Type::System, Msg_Cmd::DeviceState);
                m_pm->slot_tcp_dataRecv(frame(1, 8, QByteArray(5, '\0')));
            } else {
                m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::RecordList);
                m_pm->slot_tcp_dataRecv(frame(2, 1, QByteArray(4, '\0')));
                m_pm->recordListIn({});
            }
        };
        m_pm->setReplyWaitForTest(TestTime::ms(20));
        m_pm->setClearWaitForTest(TestTime::ms(20));
        m_pm->setConfigWaitForTest(TestTime::ms(20));
        m_pm->expectReplyForTest(t, c, sent("first"), owner("first"));
        QTRY_COMPARE_WITH_TIMEOUT(told, QStringList{"first timed out"}, TestTime::ms(5000));
        // Alone, the late answer is its own; during a check, the check's answer decides.
        m_pm->slot_tcp_dataRecv(frame(uchar(type), wire, answer));
        if (byCheck) {
            QCOMPARE(told, QStringList{"first timed out"});
            answerTheCheck();
        }
        QCOMPARE(told.last(), byCheck ? QStringLiteral("first settled") : QStringLiteral("first late"));
        m_pm->setReplyWaitForTest(TestTime::ms(20));
        m_pm->setClearWaitForTest(TestTime::ms(20));
        m_pm->setConfigWaitForTest(TestTime::ms(20));
        m_pm->expectReplyForTest(t, c, sent("second"), owner("second"));
        QTRY_COMPARE_WITH_TIMEOUT(told.last(), QStringLiteral("second timed out"), TestTime::ms(5000));
        // One open at a time: a third of the kind is not sent while the second is open; where the
        // answers name their card, it is, and the answer still takes the oldest.
        QCOMPARE(m_pm->expectReplyForTest(t, c, sent("third"), owner("third")) != 0, several);
        QVERIFY(m_pm->isOpen(t, c));
        told.clear();
        if (checkLate) {
            // Its check goes past its time: the report in its quiet wait is still its own.
            m_pm->setStateWaitForTest(TestTime::ms(20));
            m_pm->expectReplyForTest(Msg_Type::System, Msg_Cmd::DeviceState);
            // The quiet wait after its own follows the wait set now: the report comes in it.
            m_pm->setStateWaitForTest(TestTime::ms(60000));
            QTRY_VERIFY_WITH_TIMEOUT(!m_pm->isAwaiting(Msg_Type::System, Msg_Cmd::DeviceState), TestTime::ms(5000));
            m_pm->slot_tcp_dataRecv(frame(1, 8, QByteArray(5, '\0')));
            QCOMPARE(told, QStringList{"second settled"});
            m_pm->setStateWaitForTest(TestTime::ms(ProtocolManager::kReplyWaitMs));
        } else {
            m_pm->slot_tcp_dataRecv(frame(uchar(type), wire, answer));
            if (byCheck) {
                QVERIFY(told.isEmpty());
                answerTheCheck();
            }
            QCOMPARE(told, QStringList{byCheck ? "second settled" : "second late"});
        }
        // A further answer (a repeat, a stray) is nobody's.
        if (!several)
            m_pm->slot_tcp_dataRecv(frame(uchar(type), wire, answer));
        QCOMPARE(told.size(), 1);
        if (several) {
            m_pm->slot_tcp_dataRecv(frame(uchar(type), wire, answer));
            QCOMPARE(told.last(), QStringLiteral("third in time"));
        }
        QVERIFY(!m_pm->isOpen(t, c));
        m_pm->expectReplyForTest(t, c, sent("fourth"), owner("fourth"));
        m_pm->slot_tcp_dataRecv(frame(uchar(type), wire, answer));
        QCOMPARE(told.last(), QStringLiteral("fourth in time"));
        QVERIFY(!m_pm->isOpen(t, c));
    }

    // A request whose owner is gone (its page closed) still settles by its kind's rule: the kind
    // is free again, and nobody is told.
    // A link drop ends every open request, whatever its stage, and tells each owner it was cut.
    void linkDropTellsEveryOwnerCut()
    {
        QStringList told;
        const auto owner = [&](const char* name) {
            return ReplyOwner(this, [&told, name](const ReplyNotice& n) {
                told << QStringLiteral("%1 %2").arg(name).arg(n.outcome == ReplyOutcome::Cut ? "cut" : "other");
            });
        };
        m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo, QByteArray(4, '\x01'),
                                 owner("delete"));
        m_pm->expectReplyForTest(Msg_Type::Collect, Msg_Cmd::StartRecord, QByteArray(), owner("start"));
        m_pm->slot_tcp_connectionChange(false);
        QCOMPARE(told, QStringList({"delete cut", "start cut"}));
        QVERIFY(!m_pm->isOpen(Msg_Type::RecordedManager, Msg_Cmd::DeleteRecordInfo));
        QVERIFY(!m_pm->isOpen(Msg_Type::Collect, Msg_Cmd::StartRecord));
    }

    void settlesWithoutItsOwner_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<int>("checkType"); // the check's question, 0 for a quiet kind
        QTest::addColumn<int>("checkCmd");
        QTest::addColumn<QByteArray>("checkAnswer");
        QTest::addColumn<QByteArray>("late"); // its own answer before it settles, empty for none
        QTest::newRow("network change, by quiet") << 1 << 6 << 0 << 0 << QByteArray() << QByteArray();
        QTest::newRow("custom band, by quiet") << 1 << 10 << 0 << 0 << QByteArray() << QByteArray();
        QTest::newRow("record delete, by the record list") << 2 << 4 << 2 << 1 << QByteArray(4, '\0') << QByteArray();
        // An idle report, whole: one too short to read settles nothing.
        QTest::newRow("start collection, by the run state") << 3 << 1 << 1 << 8 << QByteArray(5, '\0') << QByteArray();
        // The kind stays closed for the late answer: it is not told as the next request's.
        QTest::newRow("network change, answered in its quiet wait")
            << 1 << 6 << 0 << 0 << QByteArray() << QByteArray(1, '\x01');
        QTest::newRow("start collection, answered during its check: the check settles it")
            << 3 << 1 << 1 << 8 << QByteArray(5, '\0') << QByteArray(1, '\x01');
    }
    void settlesWithoutItsOwner()
    {
        QFETCH(int, type);
        QFETCH(int, cmd);
        QFETCH(int, checkType);
        QFETCH(int, checkCmd);
        QFETCH(QByteArray, checkAnswer);
        QFETCH(QByteArray, late);
        const Msg_Type t = Msg_Type(type);
        const Msg_Cmd c = Msg_Cmd(cmd);
        m_pm->setHeartbeatInterval(TestTime::ms(60000));
        std::unique_ptr<FramePeer> peer;
        QVERIFY(LinkTest::connectLink(*m_pm, peer));
        QSignalSpy listAsked(m_pm.get(), &ProtocolManager::RecordCheckNeeded);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        // A late answer comes in what follows the wait: the wait runs out at once, the rest lasts.
        m_pm->setReplyWaitForTest(late.isEmpty() ? TestTime::ms(20) : 0);
        int told = 0;
        auto* page = new QObject;
        QVERIFY(m_pm->expectReplyForTest(t, c, QByteArray(4, '\x01'),
                                         ReplyOwner(page, [&told](const ReplyNotice&) { ++told; }))
                != 0);
        delete page;
        m_pm->setReplyWaitForTest(TestTime::ms(late.isEmpty() ? 20 : 60000));
        const QString expired = QStringLiteral("设备未在时限内应答[类型:%1][指令:%2]").arg(type).arg(cmd);
        QVERIFY(LinkTest::waitFor(
            log, [&] { return !LinkTest::logMessages(log, FileLogger::Warning).filter(expired).isEmpty(); }));
        QCOMPARE(m_pm->isChecking(t, c), checkType != 0);
        // The check's question goes out with nobody to hear it: its answer settles all the same.
        if (checkType == 1) {
            FramePeer::Frame f;
            do
                QVERIFY(peer->next(Msg_Type::System, f));
            while (f.cmd != quint8(Msg_Cmd::DeviceState));
        } else if (checkType != 0) {
            // The record-list service asks it; this stands in for it.
            QCOMPARE(listAsked.count(), 1);
            m_pm->expectReplyForTest(Msg_Type(checkType), Msg_Cmd(checkCmd));
        }
        if (!late.isEmpty()) {
            QCOMPARE(m_pm->expectReplyForTest(t, c), quint64(0));
            m_pm->slot_tcp_dataRecv(frame(uchar(type), uchar(cmd), late));
            // In its quiet wait its own answer ends it; during its check, only the check's does.
            QCOMPARE(m_pm->isOpen(t, c), checkType != 0);
        }
        if (checkType != 0)
            m_pm->slot_tcp_dataRecv(frame(uchar(checkType), uchar(checkCmd), checkAnswer));
        // A record list settles once the record-list service has its descriptions too. A delete it
        // shows done is handed back as gone: a list asked before it must not show the record again.
        if (Msg_Type(checkType) == Msg_Type::RecordedManager)
            QCOMPARE(m_pm->recordListIn({}), QList<quint32>{0x01010101u});
        QTRY_VERIFY_WITH_TIMEOUT(!m_pm->isOpen(t, c), TestTime::ms(5000));
        QCOMPARE(told, 0);
        QVERIFY(m_pm->expectReplyForTest(t, c) != 0);
    }

    void extendedHeartbeatReplyReadsBatteryText()
    {
        ProtocolManager::SourceMod = 4;
        QSignalSpy ex(m_pm.get(), &ProtocolManager::HeartBeatMsgEx);
        QSignalSpy plain(m_pm.get(), &ProtocolManager::HeartBeatMsg);
        QStringList order;
        connect(m_pm.get(), &ProtocolManager::HeartBeatMsgEx, this, [&] { order << "ex"; });
        connect(m_pm.get(), &ProtocolManager::HeartBeatMsg, this, [&] { order << "plain"; });
        m_pm->slot_tcp_dataRecv(frame(1, 0x81, "[Battery]\nCharging=true\nPower=300\n\n[Disk]\nFree=1\n\n"));
        QCOMPARE(order, (QStringList{"ex", "plain"}));
        const HeartMsg h = plain.at(0).at(0).value<HeartMsg>();
        QCOMPARE(int(h.Accepted), 1);
        QCOMPARE(int(h.SourceId), 4);
        QCOMPARE(int(h.Charging), 1);
        QCOMPARE(int(h.Power), 300 & 0xFF);
        QCOMPARE(int(ProtocolManager::SourceMod), 4);

        m_pm->slot_tcp_dataRecv(frame(1, 0x81, "[Other]\nX=1\n\n"));
        const HeartMsg none = plain.at(1).at(0).value<HeartMsg>();
        QCOMPARE(int(none.Charging), 0);
        QCOMPARE(int(none.Power), 0);
    }

    void shortHeartbeatReplyLeavesBatteryZero()
    {
        QSignalSpy plain(m_pm.get(), &ProtocolManager::HeartBeatMsg);
        m_pm->slot_tcp_dataRecv(frame(1, 1, QByteArray::fromHex("0105")));
        QCOMPARE(plain.count(), 1);
        const HeartMsg h = plain.at(0).at(0).value<HeartMsg>();
        QCOMPARE(int(h.SourceId), 5);
        QCOMPARE(int(h.Charging), 0);
        QCOMPARE(int(h.Power), 0);
        QCOMPARE(int(ProtocolManager::SourceMod), 5);
    }

    void linkEdgesDropHalfFrames_data()
    {
        QTest::addColumn<bool>("edge");
        QTest::newRow("link down") << false;
        QTest::newRow("link up") << true;
    }
    void linkEdgesDropHalfFrames()
    {
        QFETCH(bool, edge);
        m_pm->slot_tcp_dataRecv(heartbeatReply(5).left(10));
        m_pm->slot_tcp_connectionChange(edge);
        m_pm->slot_tcp_dataRecv(heartbeatReply(6));
        QCOMPARE(int(ProtocolManager::SourceMod), 6);
    }

    void oversizedLengthIsLoggedAndDropped()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_pm->slot_tcp_dataRecv(QByteArray::fromHex("CCAABBFF0100020000000101FFFFFF7F") + QByteArray(100, 'x'));
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.at(0).at(0).value<FileLogger::LogType>(), FileLogger::Error);
        // The next frame starts on a clean buffer.
        m_pm->slot_tcp_dataRecv(heartbeatReply(2));
        QCOMPARE(int(ProtocolManager::SourceMod), 2);
    }

    void dataCheckerTakesOnlyGoodFrames()
    {
        QByteArray good = heartbeatReply(9).left(20);
        good += ProtocolManager::U32toByte(
            ProtocolManager::crc32Mpeg2(reinterpret_cast<const uchar*>(good.constData()), 20));
        const QByteArray bad = heartbeatReply(4);
        m_pm->DataChecker(QByteArray("noise") + bad);
        QCOMPARE(int(ProtocolManager::SourceMod), 0);
        m_pm->DataChecker(QByteArray("noise") + bad + good);
        QCOMPARE(int(ProtocolManager::SourceMod), 9);
    }

    void qmlUiChoice_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("qml");
        QTest::newRow("no ui") << QStringList{"Core", "Skyvane"} << false;
        QTest::newRow("widgets ui") << QStringList{"Core", "KeloUI"} << false;
        QTest::newRow("qml ui") << QStringList{"Core", "KeloUI_Qml"} << true;
        QTest::newRow("first of both decides") << QStringList{"KeloUI_Qml", "KeloUI"} << true;
        QTest::newRow("widgets first") << QStringList{"KeloUI", "KeloUI_Qml"} << false;
        QTest::newRow("case matters") << QStringList{"keloui_qml"} << false;
    }
    void qmlUiChoice()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, qml);
        QCOMPARE(ProtocolManager::findsQmlUi(names), qml);
    }

    void addressText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("instrument address") << "192.168.1.10" << 0xC0A8010Au;
        QTest::newRow("ten net") << "10.0.0.1" << 0x0A000001u;
        QTest::newRow("three parts") << "10.0.1" << 0u;
        QTest::newRow("five parts") << "a.b.c.d.e" << 0u;
        QTest::newRow("letters read as zero") << "a.b.c.d" << 0u;
        QTest::newRow("empty parts kept") << "1..2." << 0x01000200u;
    }
    void addressText()
    {
        QFETCH(QString, text);
        QFETCH(uint, value);
        QCOMPARE(ProtocolManager::ipString2Int(text), value);
    }

    void addressFromNumber()
    {
        QCOMPARE(ProtocolManager::ipInt2String(0xC0A8010Au), QStringLiteral("192.168.1.10"));
        QCOMPARE(ProtocolManager::ipInt2String(0), QStringLiteral("0.0.0.0"));
    }

    void localAddressWhileDown()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        QCOMPARE(m_pm->GetLocalIpAddress(), QString());
        QCOMPARE(log.count(), 1);
        QVERIFY(log.at(0).at(1).toString().endsWith(QStringLiteral("设备未连接，获取本地IP失败")));
    }

private:
    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<ProtocolManager> m_pm;
};

QTEST_GUILESS_MAIN(tst_ProtocolManager)
#include "tst_ProtocolManager.moc"
