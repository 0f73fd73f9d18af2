#include <ReceiverSentences.h>

#include <UM98X_960Handler.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstring>

using Ns::Skyvane::UM98X_960Handler;
using H = UM98X_960Handler;

namespace {

// BDSEPHA data fields 0..33 of one satellite; field k holds a value unique to (prn, k).
QByteArrayList bdsFields(int prn)
{
    QByteArrayList f;
    for (int k = 0; k < 34; ++k)
        f << QByteArray::number(prn * 100 + k) + ".25";
    f[0] = QByteArray::number(prn);
    f[5] = QByteArray::number(800 + prn);                       // week, an integer field
    f[8] = QByteArray::number(prn * 1000000.0 + 42.25, 'f', 2); // A, so that sqrt(A) is exact enough
    return f;
}

QByteArrayList bd3Fields(int prn, int iode)
{
    QByteArrayList f;
    for (int k = 0; k < 45; ++k)
        f << QByteArray::number(prn * 100 + k) + ".5";
    f[0] = QByteArray::number(prn);
    for (int k = 1; k <= 7; ++k)
        f[k] = QByteArray::number(k);
    f[4] = QByteArray::number(iode);
    f[5] = QByteArray::number(40000 + prn);
    return f;
}

QByteArray log(const QByteArray& name, const QByteArrayList& fields)
{
    return Sentence::log(name + ",97,COM1,FINE,2068,346038000,0,3,250,1;" + fields.join(','));
}

QByteArray fileBytes(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void putDouble(QByteArray& image, int offset, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    char le[8];
    qToLittleEndian(bits, le);
    image.replace(offset, 8, le, 8);
}

void putWord(QByteArray& image, int offset, quint32 v)
{
    char le[4];
    qToLittleEndian(v, le);
    image.replace(offset, 4, le, 4);
}

// The 432-byte slot from its table: 21 doubles taken from the log's data fields, then zeros.
QByteArray bdsSlot(const QByteArrayList& f)
{
    QByteArray slot(432, '\0');
    auto d = [&](int field) { return f.at(field).toDouble(); };
    const double values[] = {d(7), d(27), d(5),  d(10), d(11), std::sqrt(d(8)), d(21), d(19), d(12), d(20), d(16),
                             d(9), d(22), d(15), d(13), d(14), d(17),           d(18), d(28), d(29), d(30)};
    for (int i = 0; i < 21; ++i)
        putDouble(slot, 8 * i, values[i]);
    return slot;
}

QByteArray bd3Slot(const QByteArrayList& f)
{
    QByteArray slot(264, '\0');
    auto d = [&](int field) { return f.at(field).toDouble(); };
    const double values[] = {d(9),  d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(25),
                             d(26), d(23), d(24), d(22), d(21), d(20), d(19), d(18), d(17)};
    for (int i = 0; i < 18; ++i)
        putDouble(slot, 8 * i, values[i]);
    putDouble(slot, 232, d(34));
    putDouble(slot, 240, d(35));
    putDouble(slot, 248, d(36));
    putWord(slot, 256, f.at(4).toUInt());
    putWord(slot, 260, f.at(5).toUInt());
    return slot;
}

} // namespace

class tst_BeidouDumpFiles : public QObject
{
    Q_OBJECT

    QString m_previous;
    QScopedPointer<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_previous = QDir::currentPath();
        m_dir.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }
    void cleanup() { QDir::setCurrent(m_previous); }

    void bdsFileHoldsSlotsOneAndForty()
    {
        H parser;
        const QByteArrayList one = bdsFields(1);
        const QByteArrayList forty = bdsFields(40);
        parser.ParseData(log("BDSEPHA", one));
        parser.ParseData(log("BDSEPHA", forty));
        const QByteArray file = fileBytes("BD2_40_16eph.dat");
        QCOMPARE(file.size(), 17280);
        QByteArray expected(17280, '\0');
        expected.replace(0, 432, bdsSlot(one));
        expected.replace(39 * 432, 432, bdsSlot(forty));
        QCOMPARE(file.toHex(), expected.toHex());
    }

    void bd3FileWidensIodes()
    {
        H parser;
        const QByteArrayList f = bd3Fields(19, 65535);
        parser.ParseData(log("BD3EPHA", f));
        const QByteArray file = fileBytes("BD3_40_18eph.dat");
        QCOMPARE(file.size(), 10560);
        QByteArray expected(10560, '\0');
        expected.replace(18 * 264, 264, bd3Slot(f));
        QCOMPARE(file.toHex(), expected.toHex());
        QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 18 * 264 + 256), 65535u);
    }

    void fileWrittenBeforeSignal()
    {
        H parser;
        qint64 sizeAtSignal = -1;
        connect(&parser, &H::ephDataBDSChanged, this, [&] { sizeAtSignal = QFile("BD2_40_16eph.dat").size(); });
        parser.ParseData(log("BDSEPHA", bdsFields(3)));
        QCOMPARE(sizeAtSignal, qint64(17280));
    }

    void satelliteAboveFortyChangesNoFile()
    {
        H parser;
        parser.ParseData(log("BDSEPHA", bdsFields(2)) + log("BD3EPHA", bd3Fields(2, 1)));
        const QByteArray bds = fileBytes("BD2_40_16eph.dat");
        const QByteArray bd3 = fileBytes("BD3_40_18eph.dat");
        QSignalSpy spy(&parser, &H::ephDataBDSChanged);
        parser.ParseData(log("BDSEPHA", bdsFields(45)) + log("BD3EPHA", bd3Fields(45, 1)));
        QCOMPARE(spy.count(), 1); // stored in the map all the same
        QCOMPARE(fileBytes("BD2_40_16eph.dat"), bds);
        QCOMPARE(fileBytes("BD3_40_18eph.dat"), bd3);
    }

    void clearingKeepsFilesUntilNextLog()
    {
        H parser;
        parser.ParseData(log("BDSEPHA", bdsFields(4)));
        const QByteArray before = fileBytes("BD2_40_16eph.dat");
        parser.clearnEphData(H::BDS);
        QCOMPARE(fileBytes("BD2_40_16eph.dat"), before);
        const QByteArrayList five = bdsFields(5);
        parser.ParseData(log("BDSEPHA", five));
        QByteArray expected(17280, '\0');
        expected.replace(4 * 432, 432, bdsSlot(five));
        QCOMPARE(fileBytes("BD2_40_16eph.dat").toHex(), expected.toHex());
    }

    void unwritableFileLeavesMapAndSignal()
    {
        // A directory in the file's place cannot be replaced; the log is still stored.
        QVERIFY(QDir().mkdir("BD2_40_16eph.dat"));
        H parser;
        QSignalSpy spy(&parser, &H::ephDataBDSChanged);
        parser.ParseData(log("BDSEPHA", bdsFields(6)));
        QCOMPARE(spy.count(), 1);
        QVERIFY(QFileInfo("BD2_40_16eph.dat").isDir());
        QCOMPARE(QDir().entryList(QDir::Files), QStringList{}); // no temporary left behind
    }
};

QTEST_GUILESS_MAIN(tst_BeidouDumpFiles)
#include "tst_BeidouDumpFiles.moc"
