#include <Crc32Mpeg2.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

namespace {
const uchar* bytes(const QByteArray& a)
{
    return reinterpret_cast<const uchar*>(a.constData());
}

// The bit-at-a-time definition, kept apart from the table-driven code under test.
quint32 bitwise(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : data) {
        crc ^= quint32(uchar(c)) << 24;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}
} // namespace

class tst_Crc32Mpeg2 : public QObject
{
    Q_OBJECT

private slots:
    void knownValues_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<uint>("crc");
        QTest::newRow("no bytes") << QByteArray() << 0xFFFFFFFFu;
        QTest::newRow("check string") << QByteArray("123456789") << 0x0376E6E7u;
        QTest::newRow("heartbeat request") << QByteArray::fromHex("CCAABBFF01000200000001010100000001") << 0xE1295C8Au;
        QTest::newRow("extended heartbeat request")
            << QByteArray::fromHex("CCAABBFF010002000000018100000000") << 0x5C44B52Cu;
    }
    void knownValues()
    {
        QFETCH(QByteArray, data);
        QFETCH(uint, crc);
        QCOMPARE(ProtocolManager::crc32Mpeg2(bytes(data), uint(data.size())), crc);
        QVERIFY(ProtocolManager::CrcCheck(bytes(data), uint(data.size()), crc));
        QVERIFY(!ProtocolManager::CrcCheck(bytes(data), uint(data.size()), crc ^ 1u));
    }

    void emptyInputOnlyMatchesInitialValue()
    {
        QVERIFY(ProtocolManager::CrcCheck(nullptr, 0, 0xFFFFFFFFu));
        QVERIFY(!ProtocolManager::CrcCheck(nullptr, 0, 0));
    }

    // Every length up to a few slices, so each tail length meets each slice count.
    void tablesAgreeWithBitwiseDefinition()
    {
        QRandomGenerator rng(12345);
        for (int length = 0; length < 70; ++length) {
            QByteArray data(length, Qt::Uninitialized);
            for (char& c : data)
                c = char(rng.bounded(256));
            QCOMPARE(Crc32Mpeg2::compute(bytes(data), size_t(length)), bitwise(data));
        }
    }

    void updateContinuesAcrossPieces()
    {
        const QByteArray data("The quick brown fox jumps over the lazy dog");
        for (int cut = 0; cut <= data.size(); ++cut) {
            const quint32 head = Crc32Mpeg2::compute(bytes(data), size_t(cut));
            const quint32 whole = Crc32Mpeg2::update(head, bytes(data) + cut, size_t(data.size() - cut));
            QCOMPARE(whole, Crc32Mpeg2::compute(bytes(data), size_t(data.size())));
        }
    }

    // Debian's crcmod is an implementation of its own; both must agree on random buffers.
    void randomBuffersAgreeWithCrcmod()
    {
        TestAppDir dir;
        QRandomGenerator rng(20261208);
        QVector<QByteArray> buffers;
        QByteArray input;
        for (int i = 0; i < 3000; ++i) {
            QByteArray b(int(rng.bounded(i < 100 ? 16 : 2048)), Qt::Uninitialized);
            for (char& c : b)
                c = char(rng.bounded(256));
            buffers << b;
            input += b.toHex() + '\n';
        }
        const QString script = QStringLiteral("import sys, crcmod.predefined\n"
                                              "f = crcmod.predefined.mkCrcFun('crc-32-mpeg')\n"
                                              "for line in sys.stdin:\n"
                                              "    print('%08x' % f(bytes.fromhex(line.strip())))\n");
        QProcess py;
        py.start(TestAppDir::python(), {QStringLiteral("-c"), script});
        QVERIFY(py.waitForStarted());
        py.write(input);
        py.closeWriteChannel();
        QVERIFY(py.waitForFinished(60000));
        QCOMPARE(py.exitCode(), 0);
        const QList<QByteArray> lines = py.readAllStandardOutput().split('\n');
        QVERIFY(lines.size() >= buffers.size());
        for (int i = 0; i < buffers.size(); ++i) {
            const uint expected = lines.at(i).toUInt(nullptr, 16);
            const uint got = ProtocolManager::crc32Mpeg2(bytes(buffers.at(i)), uint(buffers.at(i).size()));
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("buffer %1 (%2 bytes): %3 != %4")
                                     .arg(i)
                                     .arg(buffers.at(i).size())
                                     .arg(got, 8, 16)
                                     .arg(expected, 8, 16)));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Crc32Mpeg2)
#include "tst_Crc32Mpeg2.moc"
