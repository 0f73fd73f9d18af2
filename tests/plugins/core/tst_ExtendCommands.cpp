#include <CommandTest.h>
#include <DeviceCapabilities.h>
#include <FileLogger.h>
#include <FramePeer.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>

#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

using Call = std::function<void(ProtocolManager&)>;
Q_DECLARE_METATYPE(Call)

class tst_ExtendCommands : public CommandTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_app = LinkTest::appWithLog();
        qRegisterMetaType<ConfigParam>();
        // The signal names these typedefs; a spy records them only once they are known by name.
        qRegisterMetaType<uint8_t>("uint8_t");
        qRegisterMetaType<uint16_t>("uint16_t");
        qRegisterMetaType<uint32_t>("uint32_t");
    }

    void requests_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("relay on") << Call([](ProtocolManager& pm) {
            ReceiverDataTrans r;
            r.On = 1;
            r.Address = 0x7F000001;
            r.Port = 9000;
            pm.ReceiverDataTransCmd(r);
        }) << 1 << QByteArray::fromHex("01000100007F2823");
        QTest::newRow("relay off") << Call([](ProtocolManager& pm) { pm.ReceiverDataTransCmd(ReceiverDataTrans()); })
                                   << 1 << QByteArray(8, '\0');
        QTest::newRow("output channel") << Call([](ProtocolManager& pm) { pm.SetOutputChannel(2, true); }) << 2
                                        << QByteArray::fromHex("0201");
        QTest::newRow("record bandwidth query") << Call([](ProtocolManager& pm) { pm.GetRecordBandwidth(0x65A2A8C0); })
                                                << 2 << QByteArray::fromHex("C0A8A265");
        QTest::newRow("output frequency")
            << Call([](ProtocolManager& pm) { pm.SetOutputFrequent(3); }) << 3 << QByteArray::fromHex("03");
        QTest::newRow("pulse setting") << Call([](ProtocolManager& pm) { pm.SetPulseSetting(1000, 2); }) << 3
                                       << QByteArray::fromHex("E8030000"
                                                              "02000000");
        QTest::newRow("record bandwidth shares command and length")
            << Call([](ProtocolManager& pm) { pm.SetRecordBandwidth(7, 40); }) << 3
            << QByteArray::fromHex("07000000"
                                   "28000000");
        QTest::newRow("pulse request") << Call([](ProtocolManager& pm) { pm.SendPulseRequest(); }) << 4 << QByteArray();
        QTest::newRow("frequency data request is the same frame")
            << Call([](ProtocolManager& pm) { pm.GetFrequencyData(); }) << 4 << QByteArray();
        QTest::newRow("input channel") << Call([](ProtocolManager& pm) { pm.SetInputChannel(1, 0); }) << 4
                                       << QByteArray::fromHex("0100");
        QTest::newRow("spectrum on") << Call([](ProtocolManager& pm) { pm.SetFrequencyData(true, 0x0102); }) << 5
                                     << QByteArray::fromHex("0102010000");
        QTest::newRow("spectrum off") << Call([](ProtocolManager& pm) { pm.SetFrequencyData(false, 9); }) << 5
                                      << QByteArray::fromHex("0009000000");
        QTest::newRow("amplifier keeps the low 24 bits")
            << Call([](ProtocolManager& pm) { pm.SetPowerAmplifierAttenuation(0x01A2B3C4); }) << 6
            << QByteArray::fromHex("C4B3A2");
    }
    void requests()
    {
        QFETCH(Call, call);
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QVERIFY(requestSent(Msg_Type::Extend, [&] { call(*m_pm); }));
        QCOMPARE(m_sent.bytes, FramePeer::compose(Msg_Type::Extend, Msg_Cmd(cmd), payload, m_sent.sequence));
    }

    void bandwidthNameKeptWhileDown()
    {
        m_pm->GetRecordBandwidth(1234);
        QCOMPARE(m_pm->lastRecordBandwidthName(), 1234u);
    }

    void recordBandwidthReply_data()
    {
        QTest::addColumn<bool>("capability");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("emitted");
        QTest::newRow("reported") << true << QByteArray::fromHex("28000000") << true;
        QTest::newRow("capability off") << false << QByteArray::fromHex("28000000") << false;
        QTest::newRow("short") << true << QByteArray::fromHex("280000") << false;
        QTest::newRow("output channel length") << true << QByteArray::fromHex("0201") << false;
    }
    void recordBandwidthReply()
    {
        QFETCH(bool, capability);
        QFETCH(QByteArray, payload);
        QFETCH(bool, emitted);
        DeviceCapabilities::setEnabled(DevConfigFeature::Bandwidth, capability);
        // Whatever record the instrument meant, the answer goes to the last one asked for.
        m_pm->GetRecordBandwidth(77);
        QSignalSpy spy(m_pm.get(), &ProtocolManager::UpdateRecordBandwidth);
        m_pm->expectReplyForTest(Msg_Type::Extend, Msg_Cmd::RecordBandwidth);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Extend, Msg_Cmd::RecordBandwidth, payload));
        DeviceCapabilities::clear();
        QCOMPARE(spy.count(), emitted ? 1 : 0);
        if (!emitted)
            return;
        QCOMPARE(spy.at(0).at(0).toUInt(), 77u);
        QCOMPARE(spy.at(0).at(1).toUInt(), 40u);
        QCOMPARE(m_pm->lastRecordBandwidth(), 40u);
    }

    void frequencyControlReplies_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("update");
        QTest::addColumn<int>("result");
        QTest::newRow("band update") << 4
                                     << QByteArray::fromHex("01"
                                                            "05000000"
                                                            "3412")
                                     << 1 << 0;
        QTest::newRow("band update short") << 4
                                           << QByteArray::fromHex("01"
                                                                  "05000000"
                                                                  "34")
                                           << 0 << 0;
        QTest::newRow("band update long") << 4
                                          << QByteArray::fromHex("01"
                                                                 "05000000"
                                                                 "341200")
                                          << 0 << 0;
        QTest::newRow("spectrum port") << 5 << QByteArray::fromHex("3412") << 0 << 1;
        QTest::newRow("spectrum port short") << 5 << QByteArray::fromHex("34") << 0 << 0;
    }
    void frequencyControlReplies()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QFETCH(int, update);
        QFETCH(int, result);
        QSignalSpy u(m_pm.get(), &ProtocolManager::FrequencyControlUpdate);
        QSignalSpy r(m_pm.get(), &ProtocolManager::FrequencyControlResult);
        m_pm->expectReplyForTest(Msg_Type::Extend, Msg_Cmd(cmd));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Extend, Msg_Cmd(cmd), payload));
        QCOMPARE(u.count(), update);
        QCOMPARE(r.count(), result);
        if (update) {
            QCOMPARE(u.at(0).at(0).toBool(), true);
            QCOMPARE(u.at(0).at(1).toUInt(), 5u);
            QCOMPARE(u.at(0).at(2).value<ushort>(), ushort(0x1234));
        }
        if (result)
            QCOMPARE(r.at(0).at(0).value<ushort>(), ushort(0x1234));
    }

    void amplifierReplies_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("set");
        QTest::newRow("status") << QByteArray::fromHex("09"
                                                       "010203"
                                                       "0500")
                                << 1 << 0;
        QTest::newRow("set ok") << QByteArray::fromHex("01") << 0 << 1;
        QTest::newRow("set failed") << QByteArray::fromHex("00") << 0 << 1;
        QTest::newRow("five bytes") << QByteArray::fromHex("0901020305") << 0 << 0;
    }
    void amplifierReplies()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, status);
        QFETCH(int, set);
        QSignalSpy s(m_pm.get(), &ProtocolManager::PowerAmplifierStatusUpdate);
        QSignalSpy r(m_pm.get(), &ProtocolManager::PowerAmplifierSetResult);
        m_pm->expectReplyForTest(Msg_Type::Extend, Msg_Cmd::PowerAmplifier);
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Extend, Msg_Cmd::PowerAmplifier, payload));
        QCOMPARE(s.count(), status);
        QCOMPARE(r.count(), set);
        if (status) {
            QCOMPARE(int(s.at(0).at(0).value<uint8_t>()), 9);
            QCOMPARE(s.at(0).at(1).value<uint32_t>(), 0x030201u);
            QCOMPARE(int(s.at(0).at(2).value<uint16_t>()), 5);
        }
        if (set)
            QCOMPARE(r.at(0).at(0).toBool(), payload.at(0) != 0);
    }

    void configParam_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("emitted");
        QTest::newRow("twelve bytes") << 10
                                      << QByteArray::fromHex("05000000"
                                                             "01020304"
                                                             "0A0B0C0D")
                                      << true;
        QTest::newRow("eleven bytes ignored") << 10
                                              << QByteArray::fromHex("05000000"
                                                                     "01020304"
                                                                     "0A0B0C")
                                              << false;
        QTest::newRow("empty ignored") << 10 << QByteArray() << false;
        QTest::newRow("other command") << 9
                                       << QByteArray::fromHex("05000000"
                                                              "01020304"
                                                              "0A0B0C0D")
                                       << false;
    }
    void configParam()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QFETCH(bool, emitted);
        QSignalSpy spy(m_pm.get(), &ProtocolManager::GetConfigParam);
        m_pm->expectReplyForTest(Msg_Type::Config, Msg_Cmd(cmd));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::Config, Msg_Cmd(cmd), payload));
        QCOMPARE(spy.count(), emitted ? 1 : 0);
        if (!emitted)
            return;
        const auto p = spy.at(0).at(0).value<ConfigParam>();
        QCOMPARE(p.AttenuationAdjust, 5u);
        QCOMPARE(int(p.RxClk()), 1);
        QCOMPARE(int(p.RxDelay()), 2);
        QCOMPARE(int(p.TxClk()), 3);
        QCOMPARE(int(p.TxDelay()), 4);
        QCOMPARE(int(p.Phase()), 10);
        QCOMPARE(int(p.Gain()), 11);
        QCOMPARE(int(p.IOff()), 12);
        QCOMPARE(int(p.QOff()), 13);
    }
};

QTEST_GUILESS_MAIN(tst_ExtendCommands)
#include "tst_ExtendCommands.moc"
