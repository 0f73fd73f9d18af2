#include <Record.h>

#include <QtTest>

class tst_Record : public QObject
{
    Q_OBJECT

private slots:
    void writes_data()
    {
        QTest::addColumn<QList<int>>("bands");
        QTest::addColumn<QString>("remark");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("remarkLength");
        const QByteArray fixed = QByteArray::fromHex("44332211"
                                                     "01000000"
                                                     "02000000"
                                                     "03000000"
                                                     "01"
                                                     "FE"
                                                     "02");
        QTest::newRow("one band, ascii remark") << QList<int>{7} << QStringLiteral("ab")
                                                << fixed
                                                       + QByteArray::fromHex("01000000"
                                                                             "07000000"
                                                                             "02000000"
                                                                             "6162")
                                                << 2;
        QTest::newRow("empty remark writes length 0 and no bytes") << QList<int>{1, 2} << QString()
                                                                   << fixed
                                                                          + QByteArray::fromHex("02000000"
                                                                                                "01000000"
                                                                                                "02000000"
                                                                                                "00000000")
                                                                   << 0;
        QTest::newRow("no bands") << QList<int>{} << QStringLiteral("x")
                                  << fixed
                                         + QByteArray::fromHex("00000000"
                                                               "01000000"
                                                               "78")
                                  << 1;
        QTest::newRow("remark length counts utf-8 bytes") << QList<int>{} << QStringLiteral("备注")
                                                          << fixed
                                                                 + QByteArray::fromHex("00000000"
                                                                                       "06000000"
                                                                                       "E5A487E6B3A8")
                                                          << 6;
    }
    void writes()
    {
        QFETCH(QList<int>, bands);
        QFETCH(QString, remark);
        QFETCH(QByteArray, expected);
        QFETCH(int, remarkLength);
        Record r;
        r.Name = 0x11223344;
        r.StartTime = 1;
        r.Duration = 2;
        r.Size = 3;
        r.Available = true;
        r.Type = -2;
        r.Bit = 2;
        r.Bands = bands;
        r.Remark = remark;
        QCOMPARE(r.Serialize(), expected);
        QCOMPARE(r.RemarkLength, remarkLength);
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("bands");
        QTest::addColumn<QString>("remark");
        const QByteArray fixed = QByteArray::fromHex("05000000"
                                                     "06000000"
                                                     "07000000"
                                                     "08000000"
                                                     "01"
                                                     "03"
                                                     "04");
        QTest::newRow("whole") << fixed
                                      + QByteArray::fromHex("02000000"
                                                            "0B000000"
                                                            "0C000000"
                                                            "03000000"
                                                            "616263")
                               << QList<int>{11, 12} << QStringLiteral("abc");
        QTest::newRow("zero byte cuts remark") << fixed
                                                      + QByteArray::fromHex("00000000"
                                                                            "04000000"
                                                                            "61006263")
                                               << QList<int>{} << QStringLiteral("a");
        QTest::newRow("length 0 keeps old remark") << fixed
                                                          + QByteArray::fromHex("00000000"
                                                                                "00000000")
                                                   << QList<int>{} << QStringLiteral("old");
        QTest::newRow("band count past the end gives no bands") << fixed
                                                                       + QByteArray::fromHex("FFFFFFFF"
                                                                                             "01000000")
                                                                << QList<int>{} << QStringLiteral("old");
        QTest::newRow("stream ends inside bands") << fixed
                                                         + QByteArray::fromHex("03000000"
                                                                               "01000000"
                                                                               "02000000")
                                                  << QList<int>{} << QStringLiteral("old");
        QTest::newRow("remark longer than the bytes left") << fixed
                                                                  + QByteArray::fromHex("00000000"
                                                                                        "FFFFFF7F"
                                                                                        "6869")
                                                           << QList<int>{} << QStringLiteral("hi");
        QTest::newRow("negative remark length reads nothing") << fixed
                                                                     + QByteArray::fromHex("00000000"
                                                                                           "FEFFFFFF"
                                                                                           "6869")
                                                              << QList<int>{} << QString();
    }
    void reads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, bands);
        QFETCH(QString, remark);
        Record r;
        r.Remark = QStringLiteral("old");
        r.Bands = {99};
        r.Deserialize(bytes);
        QCOMPARE(r.Name, 5u);
        QCOMPARE(r.StartTime, 6u);
        QCOMPARE(r.Duration, 7u);
        QCOMPARE(r.Size, 8u);
        QCOMPARE(r.Available, true);
        QCOMPARE(int(r.Type), 3);
        QCOMPARE(int(r.Bit), 4);
        QCOMPARE(r.Bands, bands);
        QCOMPARE(r.Remark, remark);
    }

    void shortStreamReadsZeros()
    {
        Record r;
        r.Name = 9;
        r.Deserialize(QByteArray::fromHex("0100"));
        QCOMPARE(r.Name, 0u);
        QCOMPARE(r.Size, 0u);
        QVERIFY(r.Bands.isEmpty());
    }

    void roundTrip()
    {
        Record a;
        a.Name = 1704110400;
        a.Bands = {1, 5, 9};
        a.Remark = QStringLiteral("户外 test");
        Record b;
        b.Deserialize(a.Serialize());
        QCOMPARE(b.Name, a.Name);
        QCOMPARE(b.Bands, a.Bands);
        QCOMPARE(b.Remark, a.Remark);
        QCOMPARE(b.RemarkLength, a.RemarkLength);
    }
};

QTEST_GUILESS_MAIN(tst_Record)
#include "tst_Record.moc"
