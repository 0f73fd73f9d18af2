#include <DevConfigCodec.h>

#include <QtTest>

namespace {
const uchar* bytes(const QByteArray& b)
{
    return reinterpret_cast<const uchar*>(b.constData());
}
} // namespace

class tst_DevConfigCodec : public QObject
{
    Q_OBJECT

private slots:
    void requests()
    {
        // "devConfig" is 9 UTF-16 units (0x12 bytes), "Config/FreqNum" 14 (0x1C bytes).
        const QByteArray group = QByteArray::fromHex("12000000 6400 6500 7600 4300 6F00 6E00 6600 6900 6700");
        const QByteArray key =
            QByteArray::fromHex("1C000000 4300 6F00 6E00 6600 6900 6700 2F00 4600 7200 6500 7100 4E00 7500 6D00");
        QCOMPARE(DevConfigCodec::getRequest("devConfig", {"Config/FreqNum"}),
                 QByteArray::fromHex("00") + group + QByteArray::fromHex("01000000") + key);
        QCOMPARE(DevConfigCodec::setRequest("devConfig", {"Config/FreqNum"}, {QStringLiteral("频")}),
                 QByteArray::fromHex("01") + group + QByteArray::fromHex("01000000") + key
                     + QByteArray::fromHex("01000000 02000000 9198"));
        QCOMPARE(DevConfigCodec::getRequest(QString(), {}), QByteArray::fromHex("00 FFFFFFFF 00000000"));
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("isGet");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("result");
        QTest::newRow("get with two values") << QByteArray::fromHex("00 02000000 02000000 3300 FFFFFFFF") << true
                                             << true << QStringList{"3", QString()} << 0;
        QTest::newRow("get of exactly five bytes")
            << QByteArray::fromHex("00 00000000") << true << true << QStringList{} << 0;
        QTest::newRow("get of op alone") << QByteArray::fromHex("00") << true << true << QStringList{} << 0;
        QTest::newRow("get, five bytes with a count")
            << QByteArray::fromHex("00 05000000") << true << true << QStringList{} << 0;
        QTest::newRow("get with lying count")
            << QByteArray::fromHex("00 03000000 02000000 3300") << false << true << QStringList{} << 0;
        QTest::newRow("get with huge count")
            << QByteArray::fromHex("00 FFFFFF7F 00000000") << false << true << QStringList{} << 0;
        QTest::newRow("get text beyond payload")
            << QByteArray::fromHex("00 01000000 08000000 3300") << false << true << QStringList{} << 0;
        QTest::newRow("set stored") << QByteArray::fromHex("01 01000000") << true << false << QStringList{} << 1;
        QTest::newRow("set refused") << QByteArray::fromHex("01 00000000") << true << false << QStringList{} << 0;
        QTest::newRow("set with other op") << QByteArray::fromHex("FF 02000000") << true << false << QStringList{} << 2;
        QTest::newRow("set short by one") << QByteArray::fromHex("01 010000") << false << false << QStringList{} << 0;
        QTest::newRow("empty payload") << QByteArray() << false << true << QStringList{} << 0;
    }
    void replies()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, accepted);
        QFETCH(bool, isGet);
        QFETCH(QStringList, values);
        QFETCH(int, result);
        DevConfigCodec::Reply reply;
        LogText why;
        QCOMPARE(DevConfigCodec::decodeReply(bytes(payload), uint(payload.size()), &reply, &why), accepted);
        QCOMPARE(reply.isGet(), isGet);
        QCOMPARE(why.isEmpty(), accepted);
        if (!accepted)
            return;
        QCOMPARE(reply.values, values);
        if (!values.isEmpty())
            QCOMPARE(reply.values.at(1).isNull(), true);
        QCOMPARE(reply.result, result);
    }

    void text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<int>("asInt");
        QTest::addColumn<uint>("asUInt");
        QTest::newRow("true") << "true" << true << 0 << 0u;
        QTest::newRow("TRUE with spaces") << " TRUE " << true << 0 << 0u;
        QTest::newRow("false") << "false" << false << 0 << 0u;
        QTest::newRow("one is not true") << "1" << false << 1 << 1u;
        QTest::newRow("negative") << "-12" << false << -12 << 0u;
        QTest::newRow("above int range") << "4294967000" << false << 0 << 4294967000u;
        QTest::newRow("not a number") << "abc" << false << 0 << 0u;
        QTest::newRow("empty") << "" << false << 0 << 0u;
    }
    void text()
    {
        QFETCH(QString, text);
        QFETCH(bool, asBool);
        QFETCH(int, asInt);
        QFETCH(uint, asUInt);
        QCOMPARE(DevConfigCodec::readBool(text), asBool);
        QCOMPARE(DevConfigCodec::readInt(text), asInt);
        QCOMPARE(DevConfigCodec::readUInt(text), asUInt);
    }

    void lists()
    {
        QCOMPARE(DevConfigCodec::readList("10,20,,40"), (QStringList{"10", "20", "40"}));
        QCOMPARE(DevConfigCodec::readList(""), QStringList{});
        QCOMPARE(DevConfigCodec::readList(",,"), QStringList{});
    }

    void bandMask_data()
    {
        QTest::addColumn<QString>("channels");
        QTest::addColumn<QString>("widths");
        QTest::addColumn<int>("mask");
        QTest::newRow("nothing listed") << ""
                                        << "" << 0xFF;
        QTest::newRow("channel 0 keeps all channels") << "0"
                                                      << "2" << 0xF1;
        QTest::newRow("channels 2,3") << "2,3"
                                      << "" << 0x6F;
        QTest::newRow("channel 5 sets nothing") << "5"
                                                << "" << 0x0F;
        QTest::newRow("channels with spaces") << "1, 4"
                                              << "" << 0x9F;
        QTest::newRow("widths 2,16") << ""
                                     << "2,16" << 0xF9;
        QTest::newRow("width 1 sets none") << ""
                                           << "1" << 0xF0;
        QTest::newRow("all widths, one channel") << "1"
                                                 << "2,4,8,16" << 0x1F;
        QTest::newRow("first channel not a number") << "x,2"
                                                    << "" << 0xFF;
        QTest::newRow("empty first width") << ""
                                           << ",4" << 0xFF;
    }
    void bandMask()
    {
        QFETCH(QString, channels);
        QFETCH(QString, widths);
        QFETCH(int, mask);
        QCOMPARE(int(DevConfigCodec::bandMask(channels, widths)), mask);
    }
};

QTEST_GUILESS_MAIN(tst_DevConfigCodec)
#include "tst_DevConfigCodec.moc"
