#include <DeviceReportDecoder.h>

#include <QtTest>

namespace {
// Little-endian writers for hand-made payloads, independent of the decoder.
void u8(QByteArray& b, quint8 v)
{
    b.append(char(v));
}
void u16(QByteArray& b, quint16 v)
{
    u8(b, v & 0xFF);
    u8(b, v >> 8);
}
void u32(QByteArray& b, quint32 v)
{
    u16(b, v & 0xFFFF);
    u16(b, v >> 16);
}

const uchar* bytes(const QByteArray& b)
{
    return reinterpret_cast<const uchar*>(b.constData());
}

// Device information with N boards: board i has software version i+1.i+2.0x0102.-1, hardware
// 0x11223344 + i and FPGA version -1.5.0x7FFF.i.
QByteArray deviceInfoPayload(quint8 boards, const QByteArray& id18, quint8 autoTime)
{
    QByteArray b;
    u8(b, 4); // channels
    u8(b, 1);
    u8(b, 0xFE); // 1, -2
    u16(b, 0x0304);
    u32(b, 0x05060708);
    u8(b, boards);
    for (quint8 i = 0; i < boards; ++i) {
        u8(b, i + 1);
        u8(b, i + 2);
        u16(b, 0x0102);
        u32(b, 0xFFFFFFFF);
        u32(b, 0x11223344 + i);
        u8(b, 0xFF);
        u8(b, 5);
        u16(b, 0x7FFF);
        u32(b, i);
    }
    u32(b, 2097152);
    u32(b, 1048576);
    u32(b, 0xCAFEBABE);
    Q_ASSERT(id18.size() == 18);
    b.append(id18);
    u8(b, autoTime);
    return b;
}
} // namespace

class tst_DeviceReportDecoder : public QObject
{
    Q_OBJECT

private slots:
    void heartMsg_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("full reply") << QByteArray::fromHex("01050164") << QByteArray::fromHex("01050164");
        QTest::newRow("two bytes leave battery zero") << QByteArray::fromHex("0105") << QByteArray::fromHex("01050000");
        QTest::newRow("empty payload") << QByteArray() << QByteArray::fromHex("00000000");
        QTest::newRow("longer payload takes four")
            << QByteArray::fromHex("0102030405") << QByteArray::fromHex("01020304");
    }
    void heartMsg()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, record);
        const HeartMsg m = DeviceReportDecoder::decodeHeartMsg(bytes(payload), uint(payload.size()));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&m), sizeof m), record);
    }

    void extendedHeartMsg_data()
    {
        QTest::addColumn<QVariant>("charging");
        QTest::addColumn<QVariant>("power");
        QTest::addColumn<int>("expectCharging");
        QTest::addColumn<int>("expectPower");
        QTest::newRow("charging true") << QVariant("true") << QVariant("87") << 1 << 87;
        QTest::newRow("charging 1") << QVariant("1") << QVariant("0") << 1 << 0;
        QTest::newRow("charging false") << QVariant("False") << QVariant("100") << 0 << 100;
        QTest::newRow("power cut to 8 bits") << QVariant("0") << QVariant("300") << 0 << 44;
        QTest::newRow("no battery section") << QVariant() << QVariant() << 0 << 0;
        QTest::newRow("power not a number") << QVariant("true") << QVariant("full") << 1 << 0;
    }
    void extendedHeartMsg()
    {
        QFETCH(QVariant, charging);
        QFETCH(QVariant, power);
        QFETCH(int, expectCharging);
        QFETCH(int, expectPower);
        const HeartMsg m = DeviceReportDecoder::extendedHeartMsg(7, charging, power);
        QCOMPARE(int(m.Accepted), 1);
        QCOMPARE(int(m.SourceId), 7);
        QCOMPARE(int(m.Charging), expectCharging);
        QCOMPARE(int(m.Power), expectPower);
    }

    void deviceInfoFields()
    {
        const QByteArray p = deviceInfoPayload(2, QByteArray("KL-7 X").append(12, ' '), 1);
        QCOMPARE(p.size(), 81);
        DeviceInfo info;
        QVERIFY(DeviceReportDecoder::decodeDeviceInfo(bytes(p), uint(p.size()), &info));
        QCOMPARE(int(info.ChannelNum), 4);
        QCOMPARE(int(info.SoftMajor), 1);
        QCOMPARE(int(info.SoftMinor), -2);
        QCOMPARE(int(info.SoftBuild), 0x0304);
        QCOMPARE(info.SoftRevision, 0x05060708);
        QCOMPARE(int(info.BoardNum), 2);
        QCOMPARE(info.Boards.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const DeviceBoardInfo& b = info.Boards[i];
            QCOMPARE(int(b.SoftMajor), i + 1);
            QCOMPARE(int(b.SoftMinor), i + 2);
            QCOMPARE(int(b.SoftBuild), 0x0102);
            QCOMPARE(b.SoftRevision, -1);
            QCOMPARE(b.HardwareVersion, 0x11223344 + i);
            QCOMPARE(int(b.FpgaMajor), -1);
            QCOMPARE(int(b.FpgaMinor), 5);
            QCOMPARE(int(b.FpgaBuild), 0x7FFF);
            QCOMPARE(b.FpgaRevision, i);
        }
        QCOMPARE(info.TotalCapacity, 2097152u);
        QCOMPARE(info.SurplusCapacity, 1048576u);
        QCOMPARE(info.Reserved, 0xCAFEBABEu);
        QCOMPARE(QByteArray(info.DeviceId), QByteArray("KL-7 X"));
        QVERIFY(info.AutoSetTime);
    }

    void deviceInfoWithoutBoards()
    {
        // 41 bytes: the three values at 10, the identifier at 22, automatic time at 40.
        const QByteArray p = QByteArray::fromHex("04 01 02 03 00 04 00 00 00 00"
                                                 "00 10 00 00 00 08 00 00 09 00 00 00"
                                                 "4B 4C 30 31 20 20 20 20 20 20 20 20 20 20 20 20 20 20"
                                                 "02");
        QCOMPARE(p.size(), 41);
        DeviceInfo info;
        QVERIFY(DeviceReportDecoder::decodeDeviceInfo(bytes(p), uint(p.size()), &info));
        QCOMPARE(int(info.ChannelNum), 4);
        QCOMPARE(int(info.SoftBuild), 3);
        QCOMPARE(info.SoftRevision, 4);
        QCOMPARE(int(info.BoardNum), 0);
        QVERIFY(info.Boards.isEmpty());
        QCOMPARE(info.TotalCapacity, 4096u);
        QCOMPARE(info.SurplusCapacity, 2048u);
        QCOMPARE(info.Reserved, 9u);
        QCOMPARE(QByteArray(info.DeviceId), QByteArray("KL01"));
        QVERIFY(info.AutoSetTime);
    }

    void deviceIdentifier_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("four letters and spaces") << QByteArray("ABCD").append(14, ' ') << QByteArray("ABCD");
        QTest::newRow("inner space kept") << QByteArray("A B").append(15, '\0') << QByteArray("A B");
        QTest::newRow("only spaces") << QByteArray(18, ' ') << QByteArray();
        QTest::newRow("mixed zero and space tail")
            << QByteArray("XY", 2).append(" \0 \0", 4).append(12, ' ') << QByteArray("XY");
        QTest::newRow("full 18 characters") << QByteArray("ABCDEFGHIJKLMNOPQR") << QByteArray("ABCDEFGHIJKLMNOPQR");
        QTest::newRow("zero inside keeps the tail") << QByteArray("AB\0CD", 5).append(13, ' ') << QByteArray("AB");
    }
    void deviceIdentifier()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, text);
        const QByteArray p = deviceInfoPayload(0, field, 0);
        DeviceInfo info;
        QVERIFY(DeviceReportDecoder::decodeDeviceInfo(bytes(p), uint(p.size()), &info));
        QCOMPARE(QByteArray(info.DeviceId), text);
        QCOMPARE(info.DeviceId[18], '\0');
        QVERIFY(!info.AutoSetTime);
    }

    void deviceInfoRefused_data()
    {
        QTest::addColumn<QByteArray>("payload");
        const QByteArray none = deviceInfoPayload(0, QByteArray(18, 'x'), 1);
        const QByteArray two = deviceInfoPayload(2, QByteArray(18, 'x'), 1);
        QTest::newRow("no boards, short by one") << none.left(40);
        QTest::newRow("two boards, short by one") << two.left(80);
        QTest::newRow("board count missing") << none.left(9);
        QTest::newRow("empty") << QByteArray();
        QByteArray lying = none;
        lying[9] = char(255);
        QTest::newRow("lying board count") << lying;
        QByteArray three = two;
        three[9] = 3;
        QTest::newRow("count one above the boards sent") << three;
    }
    void deviceInfoRefused()
    {
        QFETCH(QByteArray, payload);
        DeviceInfo info;
        info.ChannelNum = 99;
        LogText why;
        QVERIFY(!DeviceReportDecoder::decodeDeviceInfo(bytes(payload), uint(payload.size()), &info, &why));
        QCOMPARE(int(info.ChannelNum), 99);
        QVERIFY(why.toString().contains(QStringLiteral("设备信息长度错误")));
    }

    void deviceInfoLongerPayload()
    {
        QByteArray p = deviceInfoPayload(1, QByteArray("ID").append(16, '\0'), 1);
        p.append("trailing");
        DeviceInfo info;
        QVERIFY(DeviceReportDecoder::decodeDeviceInfo(bytes(p), uint(p.size()), &info));
        QCOMPARE(info.Boards.size(), 1);
        QCOMPARE(QByteArray(info.DeviceId), QByteArray("ID"));
    }

    void diskVolumes_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("count");
        const QByteArray two = QByteArray::fromHex("00002000 00001000 00040000 00000000");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("seven bytes") << two.left(7) << 0;
        QTest::newRow("one entry") << two.left(8) << 1;
        QTest::newRow("two entries") << two << 2;
        QTest::newRow("remainder dropped") << two + QByteArray::fromHex("01020304") << 2;
    }
    void diskVolumes()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, count);
        const QList<DiskVolume> list = DeviceReportDecoder::decodeDiskVolumes(bytes(payload), uint(payload.size()));
        QCOMPARE(list.size(), count);
        if (count >= 1) {
            QCOMPARE(list[0].Total, 2097152u);
            QCOMPARE(list[0].Free, 1048576u);
        }
        if (count >= 2) {
            QCOMPARE(list[1].Total, 1024u);
            QCOMPARE(list[1].Free, 0u);
        }
    }

    void stateWithoutBlock_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("state");
        QTest::newRow("uploading") << QByteArray::fromHex("053C000000") << 5;
        QTest::newRow("idle with trailing bytes")
            << QByteArray::fromHex("013C000000 0102030405060708090A0B0C0D0E0F1011") << 1;
        QTest::newRow("unknown state 200") << QByteArray::fromHex("C83C000000") << 200;
    }
    void stateWithoutBlock()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, state);
        SyncDeviceState st;
        QVERIFY(DeviceReportDecoder::decodeSyncDeviceState(bytes(payload), uint(payload.size()), &st));
        QCOMPARE(int(st.State), state);
        QCOMPARE(st.Value, 60u);
        QCOMPARE(st.Collect.RecordName, 0u);
        QVERIFY(st.Collect.Channels.isEmpty());
        QVERIFY(st.Collect.Note.isEmpty());
        QCOMPARE(st.Playback.RecordName, 0u);
        QCOMPARE(st.Playback.Duration, 0u);
        for (quint32 v : st.Regenerate)
            QCOMPARE(v, 0u);
    }

    void stateCollecting_data()
    {
        QTest::addColumn<quint8>("state");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<QString>("note");
        QTest::newRow("collecting, note to the end") << quint8(2) << QByteArray("采集 1") << QStringLiteral("采集 1");
        QTest::newRow("forwarding, note cut at zero")
            << quint8(4) << QByteArray("fwd\0junk", 8) << QStringLiteral("fwd");
        QTest::newRow("collecting, no note") << quint8(2) << QByteArray() << QString();
    }
    void stateCollecting()
    {
        QFETCH(quint8, state);
        QFETCH(QByteArray, tail);
        QFETCH(QString, note);
        QByteArray p;
        u8(p, state);
        u32(p, 125);
        u32(p, 1700000000);
        u8(p, 1);
        u8(p, 0xFE);
        u8(p, 1);
        u32(p, 1700003600);
        u32(p, 1700000100);
        u8(p, 2);
        p.append(QByteArray::fromHex("03000101 07000001"));
        p.append(tail);
        SyncDeviceState st;
        QVERIFY(DeviceReportDecoder::decodeSyncDeviceState(bytes(p), uint(p.size()), &st));
        QCOMPARE(int(st.State), int(state));
        QCOMPARE(st.Value, 125u);
        const RecordParam& c = st.Collect;
        QCOMPARE(c.RecordName, 1700000000u);
        QCOMPARE(int(c.SerialPortRecord), 1);
        QCOMPARE(int(c.BitWidth), -2);
        QCOMPARE(int(c.ExternalTrigger), 1);
        QCOMPARE(c.TimedStop, 1700003600u);
        QCOMPARE(c.TimedStart, 1700000100u);
        QCOMPARE(int(c.ChannelNum), 2);
        QCOMPARE(c.Channels.size(), 2);
        QCOMPARE(int(c.Channels[0].BandId), 3);
        QCOMPARE(int(c.Channels[0].Forward), 1);
        QCOMPARE(int(c.Channels[0].Record), 1);
        QCOMPARE(int(c.Channels[1].BandId), 7);
        QCOMPARE(int(c.Channels[1].Forward), 0);
        QCOMPARE(int(c.Channels[1].Record), 1);
        QCOMPARE(c.Note, note);
        QCOMPARE(st.Playback.RecordName, 0u);
    }

    void statePlaybackAndRegenerating()
    {
        const QByteArray play = QByteArray::fromHex("03 0A000000 01000000 02000000 03000000 04000000 01");
        SyncDeviceState st;
        QVERIFY(DeviceReportDecoder::decodeSyncDeviceState(bytes(play), uint(play.size()), &st));
        QCOMPARE(int(st.State), 3);
        QCOMPARE(st.Value, 10u);
        QCOMPARE(st.Playback.RecordName, 1u);
        QCOMPARE(st.Playback.LoopCount, 2u);
        QCOMPARE(st.Playback.StartPosition, 3u);
        QCOMPARE(st.Playback.Duration, 4u);
        QCOMPARE(int(st.Playback.TriggerMode), 1);
        QCOMPARE(st.Playback.StartTime, 0u);
        QCOMPARE(st.Playback.Reserved, 0u);
        QVERIFY(st.Collect.Channels.isEmpty());

        const QByteArray regen = QByteArray::fromHex("07 00000000 11000000 22000000 33000000 44000000");
        SyncDeviceState rg;
        QVERIFY(DeviceReportDecoder::decodeSyncDeviceState(bytes(regen), uint(regen.size()), &rg));
        QCOMPARE(rg.Regenerate[0], 0x11u);
        QCOMPARE(rg.Regenerate[3], 0x44u);
        QCOMPARE(rg.Playback.RecordName, 0u);
    }

    void stateRefused_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QByteArray collect =
            QByteArray::fromHex("02 00000000 01000000 00 08 00 00000000 00000000 02 01000001 02000001");
        QTest::newRow("header short by one") << QByteArray::fromHex("05000000");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("collection block short by one") << collect.left(20);
        QTest::newRow("channel entry cut") << collect.left(28);
        QByteArray lying = collect;
        lying[20] = char(200);
        QTest::newRow("lying channel count") << lying;
        QTest::newRow("playback block short by one")
            << QByteArray::fromHex("03 00000000 01000000 02000000 03000000 04000000");
        QTest::newRow("regeneration block short by one")
            << QByteArray::fromHex("07 00000000 01000000 02000000 03000000 040000");
    }
    void stateRefused()
    {
        QFETCH(QByteArray, payload);
        SyncDeviceState st;
        st.State = 42;
        LogText why;
        QVERIFY(!DeviceReportDecoder::decodeSyncDeviceState(bytes(payload), uint(payload.size()), &st, &why));
        QCOMPARE(int(st.State), 42);
        QVERIFY(why.toString().contains(QStringLiteral("设备状态长度错误")));
    }

    void customFreq()
    {
        const QByteArray p = QByteArray::fromHex("02 40420F00 80841E00");
        CustomFreqHZ f;
        QVERIFY(DeviceReportDecoder::decodeCustomFreq(bytes(p), uint(p.size()), &f));
        QCOMPARE(int(f.Count), 2);
        QCOMPARE(f.Freqs, (QList<uint>{1000000u, 2000000u}));

        const QByteArray none = QByteArray::fromHex("00");
        QVERIFY(DeviceReportDecoder::decodeCustomFreq(bytes(none), 1, &f));
        QCOMPARE(int(f.Count), 0);
        QVERIFY(f.Freqs.isEmpty());
    }

    void customFreqRefused_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short by one") << QByteArray::fromHex("02 40420F00 80841E");
        QTest::newRow("lying count") << QByteArray::fromHex("FF 40420F00");
    }
    void customFreqRefused()
    {
        QFETCH(QByteArray, payload);
        CustomFreqHZ f;
        f.Count = 9;
        QVERIFY(!DeviceReportDecoder::decodeCustomFreq(bytes(payload), uint(payload.size()), &f));
        QCOMPARE(int(f.Count), 9);
    }

    void stringList()
    {
        // ("V1.2", null, "") as a little-endian QDataStream would write it.
        const QByteArray p = QByteArray::fromHex("03000000 08000000 5600 3100 2E00 3200 FFFFFFFF 00000000");
        QStringList list;
        QVERIFY(DeviceReportDecoder::decodeStringList(bytes(p), uint(p.size()), &list));
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0], QStringLiteral("V1.2"));
        QVERIFY(list[1].isNull());
        QVERIFY(!list[2].isNull());
        QVERIFY(list[2].isEmpty());

        const QByteArray chinese = QByteArray::fromHex("01000000 04000000 D263 F64E");
        QVERIFY(DeviceReportDecoder::decodeStringList(bytes(chinese), uint(chinese.size()), &list));
        QCOMPARE(list, QStringList{QStringLiteral("插件")});
    }

    void stringListRefused_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("count cut") << QByteArray::fromHex("010000");
        QTest::newRow("lying count") << QByteArray::fromHex("FFFFFF0F 02000000 4100");
        QTest::newRow("count one above the texts") << QByteArray::fromHex("02000000 02000000 4100");
        QTest::newRow("text length beyond payload") << QByteArray::fromHex("01000000 00010000 4100");
        QTest::newRow("odd text length") << QByteArray::fromHex("01000000 03000000 410042");
        QTest::newRow("text short by one") << QByteArray::fromHex("01000000 04000000 410042");
    }
    void stringListRefused()
    {
        QFETCH(QByteArray, payload);
        QStringList list{QStringLiteral("kept")};
        LogText why;
        QVERIFY(!DeviceReportDecoder::decodeStringList(bytes(payload), uint(payload.size()), &list, &why));
        QCOMPARE(list, QStringList{QStringLiteral("kept")});
        QVERIFY(!why.isEmpty());
    }

    // The same bytes read back through Qt's own reader, so our decoder agrees with the format.
    void stringListMatchesQDataStream()
    {
        const QStringList texts{QStringLiteral("Srv 1.0"), QString(), QStringLiteral("回放插件 2.3"), QString("")};
        QByteArray p;
        QDataStream out(&p, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        out << texts;
        QStringList list;
        QVERIFY(DeviceReportDecoder::decodeStringList(bytes(p), uint(p.size()), &list));
        QCOMPARE(list, texts);
        QVERIFY(list[1].isNull());
    }
};

QTEST_GUILESS_MAIN(tst_DeviceReportDecoder)
#include "tst_DeviceReportDecoder.moc"
