#include <CommandTest.h>
#include <FileLogger.h>
#include <FramePeer.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>

#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <functional>
#include <memory>

using Call = std::function<void(ProtocolManager&)>;
Q_DECLARE_METATYPE(Call)

class tst_RecordCommands : public CommandTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = LinkTest::appWithLog();
        qRegisterMetaType<GetRecordListMsg>();
        qRegisterMetaType<RecordEx>();
    }

    void requests_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("record information") << Call([](ProtocolManager& pm) { pm.FindRecordInfoCmd(0x65A2A8C0); }) << 3
                                            << QByteArray::fromHex("C0A8A265");
        QTest::newRow("extended record information")
            << Call([](ProtocolManager& pm) { pm.FindRecordExInfoCmd(7); }) << 0x13 << QByteArray::fromHex("07000000");
        QTest::newRow("delete") << Call([](ProtocolManager& pm) { pm.DeleteRecordInfoCmd(0x01020304); }) << 4
                                << QByteArray::fromHex("04030201");
        QTest::newRow("note as utf-8 to the end")
            << Call([](ProtocolManager& pm) { pm.ChangeRecordNoteCmd(2, QStringLiteral("天线A")); }) << 5
            << QByteArray::fromHex("02000000"
                                   "E5A4A9E7BABF41");
        QTest::newRow("empty note") << Call([](ProtocolManager& pm) { pm.ChangeRecordNoteCmd(2, QString()); }) << 5
                                    << QByteArray::fromHex("02000000");
        QTest::newRow("frequency parameter") << Call([](ProtocolManager& pm) {
            Freq_Num f;
            for (int i = 0; i < 4; ++i)
                f.Data[i] = quint8(0xA0 + i);
            pm.GetFreqParameterCmd(0x11, f, 0x22);
        }) << 10 << QByteArray::fromHex("11A0A1A2A322");
        QTest::newRow("calibration block as it lies") << Call([](ProtocolManager& pm) {
            CalibrationData d;
            for (int i = 0; i < 7; ++i)
                d.Data[i] = quint8(i + 1);
            pm.ParamCalibrationCmd(Msg_Cmd(0x21), d);
        }) << 0x21 << QByteArray::fromHex("01020304050607");
        QByteArray table(246, '\0');
        for (int i = 0; i < 246; ++i)
            table[i] = char(i);
        QTest::newRow("attenuation table as it lies") << Call([](ProtocolManager& pm) {
            AttenuationData d;
            for (int i = 0; i < 246; ++i)
                d.Data[i] = quint8(i);
            pm.ParamCalibrationCmd(Msg_Cmd(0x22), d);
        }) << 0x22 << table;
    }
    void requests()
    {
        QFETCH(Call, call);
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QVERIFY(requestSent(Msg_Type::RecordedManager, [&] { call(*m_pm); }));
        QCOMPARE(m_sent.bytes, FramePeer::compose(Msg_Type::RecordedManager, Msg_Cmd(cmd), payload, m_sent.sequence));
    }

    void requestsWhileDownAreDroppedButLogged()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_pm->DeleteRecordInfoCmd(42);
        m_pm->ChangeRecordNoteCmd(42, QStringLiteral("n"));
        m_pm->FindRecordInfoCmd(42);
        const QStringList info = LinkTest::logTexts(log, FileLogger::Info);
        QCOMPARE(info.size(), 2);
        // The log names the record by its number and its name.
        QVERIFY(info.at(0).endsWith(QStringLiteral("发送删除记录指令:42 (%1)").arg(RecordCheck::nameText(42))));
        QVERIFY(info.at(1).endsWith(
            QStringLiteral("发送修改记录备注指令:42 (%1) 修改内容:n").arg(RecordCheck::nameText(42))));
        // Three sequence numbers were used up.
        QCOMPARE(m_pm->MakeFrame(Msg_Type::System, Msg_Cmd::DeviceInfo).mid(8, 2), QByteArray::fromHex("0300"));
    }

    void recordList_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("emitted");
        QTest::addColumn<int>("count");
        const QByteArray two = u32(2) + u32(5) + u32(1) + u32(6) + u32(9);
        QTest::newRow("two entries") << two << 1 << 2;
        QTest::newRow("one byte short") << two.left(19) << 0 << 0;
        QTest::newRow("one byte long") << two + 'x' << 0 << 0;
        QTest::newRow("empty list") << u32(0) << 1 << 0;
        QTest::newRow("no count") << QByteArray("\x01\x00", 2) << 0 << 0;
        QTest::newRow("count that wraps to the length") << u32(0x20000000) + u32(1) << 0 << 0;
    }
    void recordList()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, emitted);
        QFETCH(int, count);
        QSignalSpy spy(m_pm.get(), &ProtocolManager::RecordListMsg);
        m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::RecordList);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd::RecordList, payload));
        QCOMPARE(spy.count(), emitted);
        if (emitted == 0)
            return;
        const auto list = spy.at(0).at(0).value<GetRecordListMsg>();
        QCOMPARE(int(list.Count), count);
        QCOMPARE(list.Records.size(), count);
        if (count == 2) {
            QCOMPARE(list.Records.at(0).Name, 5u);
            QCOMPARE(list.Records.at(0).ChangeStamp, 1u);
            QCOMPARE(list.Records.at(1).Name, 6u);
            QCOMPARE(list.Records.at(1).ChangeStamp, 9u);
        }
    }

    void resultBytes_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("value");
        QTest::newRow("delete all yes") << 2 << QByteArray("\x05", 1) << 1;
        QTest::newRow("delete all no") << 2 << QByteArray("\x00", 1) << 0;
        QTest::newRow("delete not found") << 4 << QByteArray("\x02", 1) << 2;
        QTest::newRow("delete ok") << 4 << QByteArray("\x00", 1) << 0;
        QTest::newRow("note failed") << 5 << QByteArray("\x01", 1) << 1;
        QTest::newRow("delete without payload") << 4 << QByteArray() << -1;
        QTest::newRow("unknown command") << 9 << QByteArray("\x01", 1) << -1;
    }
    void resultBytes()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QFETCH(int, value);
        QSignalSpy all(m_pm.get(), &ProtocolManager::DeleteAllRecordSuccess);
        QSignalSpy del(m_pm.get(), &ProtocolManager::DeleteRecordSuccess);
        QSignalSpy note(m_pm.get(), &ProtocolManager::ChangeRecordNoteSuccess);
        m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd(cmd));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd(cmd), payload));
        QCOMPARE(all.count() + del.count() + note.count(), value < 0 ? 0 : 1);
        if (value < 0)
            return;
        if (cmd == 2)
            QCOMPARE(all.at(0).at(0).toBool(), value != 0);
        else
            QCOMPARE(int((cmd == 4 ? del : note).at(0).at(0).value<uchar>()), value);
    }

    void recordInformation()
    {
        QSignalSpy spy(m_pm.get(), &ProtocolManager::QueryRecordInfo);
        const QByteArray form = u32(1704110400) + u32(1704110401) + u32(60) + u32(2048)
                              + QByteArray::fromHex("01"
                                                    "02"
                                                    "04")
                              + u32(3) + u32(11) + u32(12) + u32(13) + u32(5) + QByteArray("day 1");
        m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo, u32(1704110400));
        m_pm->slot_tcp_dataRecv(
            FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo, QByteArray(1, '\0') + form));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(int(spy.at(0).at(0).value<uchar>()), 0);
        const auto r = spy.at(0).at(1).value<RecordEx>();
        QCOMPARE(r.RecordValue("Name").toUInt(), 1704110400u);
        QCOMPARE(r.RecordValue("StartTime").toUInt(), 1704110401u);
        QCOMPARE(r.RecordValue("Duration").toUInt(), 60u);
        QCOMPARE(r.RecordValue("Size").toUInt(), 2048u);
        QCOMPARE(r.RecordValue("Available").toBool(), true);
        QCOMPARE(r.RecordValue("Type").toInt(), 2);
        QCOMPARE(r.RecordValue("Bit").toInt(), 4);
        QCOMPARE(r.RecordValue("FreqNum").toInt(), 3);
        QCOMPARE(r.RecordValue("Remark").toString(), QStringLiteral("day 1"));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(r.getSectionValue(QStringLiteral("Freq%1").arg(i), "Num").toUInt(), uint(10 + i));
        QVERIFY(!r.existSection("Freq4"));
    }

    void recordInformationNotFoundKeepsDefaults()
    {
        QSignalSpy spy(m_pm.get(), &ProtocolManager::QueryRecordInfo);
        const QByteArray form =
            u32(77) + u32(1) + u32(2) + u32(3) + QByteArray::fromHex("010203") + u32(1) + u32(4) + u32(0);
        m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo);
        m_pm->slot_tcp_dataRecv(
            FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo, QByteArray(1, '\x02') + form));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(int(spy.at(0).at(0).value<uchar>()), 2);
        QCOMPARE(spy.at(0).at(1).value<RecordEx>().toByteArray(), RecordEx().toByteArray());
    }

    void recordInformationWithoutPayloadIsIgnored()
    {
        QSignalSpy spy(m_pm.get(), &ProtocolManager::QueryRecordInfo);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd::FindRecordInfo, QByteArray()));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd::FindRecordExInfo, QByteArray()));
        QCOMPARE(spy.count(), 0);
    }

    void extendedInformation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("expectedName");
        QTest::addColumn<QString>("expectedStart");
        QTest::newRow("stamps become epoch seconds") << "20240101-120000"
                                                     << "20240101-120001"
                                                     << "1704110400"
                                                     << "1704110401";
        QTest::newRow("digits stay") << "1704110400"
                                     << "5"
                                     << "1704110400"
                                     << "5";
        QTest::newRow("unparsable stamp stays") << "2024-xx"
                                                << "1"
                                                << "2024-xx"
                                                << "1";
    }
    void extendedInformation()
    {
        QFETCH(QString, name);
        QFETCH(QString, start);
        QFETCH(QString, expectedName);
        QFETCH(QString, expectedStart);
        QSignalSpy spy(m_pm.get(), &ProtocolManager::QueryRecordInfo);
        const QString text =
            QStringLiteral("[LocalData]\nSingleTransSize=2\n\n[Record]\nName=%1\nStartTime=%2\nBandwidth=20\n\n")
                .arg(name, start);
        m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::FindRecordExInfo, u32(1704110400));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd::FindRecordExInfo,
                                                 QByteArray(1, '\0') + text.toUtf8()));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(int(spy.at(0).at(0).value<uchar>()), 0);
        const auto r = spy.at(0).at(1).value<RecordEx>();
        QCOMPARE(r.RecordValue("Name").toString(), expectedName);
        QCOMPARE(r.RecordValue("StartTime").toString(), expectedStart);
        QCOMPARE(r.RecordValue("Bandwidth").toUInt(), 20u);
        QCOMPARE(r.LocalValue("SingleTransSize").toUInt(), 2u);
    }

    void extendedInformationFailure()
    {
        QSignalSpy spy(m_pm.get(), &ProtocolManager::QueryRecordInfo);
        m_pm->expectReplyForTest(Msg_Type::RecordedManager, Msg_Cmd::FindRecordExInfo);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::RecordedManager, Msg_Cmd::FindRecordExInfo,
                                                 QByteArray("\x01[Record]\nName=9\n", 18)));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(int(spy.at(0).at(0).value<uchar>()), 1);
        QCOMPARE(spy.at(0).at(1).value<RecordEx>().RecordValue("Name").toUInt(), 0u);
    }
};

QTEST_GUILESS_MAIN(tst_RecordCommands)
#include "tst_RecordCommands.moc"
