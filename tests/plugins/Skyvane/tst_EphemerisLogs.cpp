#include <ReceiverSentences.h>

#include <UM98X_960Handler.h>

#include <QDir>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>

#include <zlib.h>

using Ns::Skyvane::UM98X_960Handler;
using H = UM98X_960Handler;

namespace {

// Where each data field lands, from the record tables: (field, offset, type).
struct Place
{
    int field;
    int offset;
    char type; // 'b' uint8, 'w' uint16, 'i' int32, 'd' double
};

const QVector<Place> kGpsPlaces = {
    {0, 19, 'i'},   {1, 23, 'd'},   {2, 31, 'i'},   {3, 35, 'i'},   {4, 39, 'i'},   {5, 43, 'i'},   {6, 47, 'i'},
    {7, 51, 'd'},   {8, 59, 'd'},   {9, 67, 'd'},   {10, 75, 'd'},  {11, 83, 'd'},  {12, 91, 'd'},  {13, 99, 'd'},
    {14, 107, 'd'}, {15, 115, 'd'}, {16, 123, 'd'}, {17, 131, 'd'}, {18, 139, 'd'}, {19, 147, 'd'}, {20, 155, 'd'},
    {21, 163, 'd'}, {22, 171, 'd'}, {23, 179, 'i'}, {26, 183, 'd'}, {25, 191, 'd'}, {27, 199, 'd'}, {28, 207, 'd'},
    {29, 215, 'd'}, {30, 223, 'i'}, {31, 227, 'd'}, {32, 235, 'd'},
};
const QVector<Place> kBdsTail = {
    {27, 183, 'd'}, {25, 191, 'd'}, {26, 199, 'd'}, {28, 207, 'd'}, {29, 215, 'd'},
    {30, 223, 'd'}, {31, 231, 'i'}, {32, 235, 'd'}, {33, 243, 'd'},
};
QVector<Place> bdsPlaces()
{
    QVector<Place> p = kGpsPlaces.mid(0, 24);
    return p + kBdsTail;
}
QVector<Place> bd3Places()
{
    QVector<Place> p = {{0, 19, 'b'}, {1, 20, 'b'}, {2, 21, 'b'}, {3, 22, 'b'},
                        {4, 23, 'w'}, {5, 25, 'w'}, {6, 27, 'w'}, {7, 29, 'w'}};
    for (int f = 8; f <= 36; ++f)
        p << Place{f, 31 + 8 * (f - 8), 'd'};
    p << Place{37, 263, 'i'} << Place{38, 267, 'w'} << Place{39, 269, 'w'} << Place{40, 271, 'w'} << Place{41, 273, 'w'}
      << Place{42, 275, 'i'} << Place{43, 279, 'i'} << Place{44, 283, 'i'};
    return p;
}

// Broadcast-like values: integers where the table has integers, plain decimals elsewhere.
QByteArrayList fieldValues(const QVector<Place>& places, int count, int prn)
{
    QByteArrayList v;
    for (int f = 0; f < count; ++f)
        v << QByteArray::number(f);
    v[0] = QByteArray::number(prn);
    const QByteArrayList doubles = {
        "345600.0",      "26560370.93310654", "0.00000000420624378", "1.2345678901", "0.0123456789",
        "-0.9876543210", "0.0000012",         "-0.0000034",          "212.5",        "-45.25",
        "0.00000011",    "-0.00000022",       "0.9712345678",        "0.0000000001", "1.0123456789",
        "-0.0000000081", "352800.0",          "-0.0000000107"};
    int k = 0;
    for (const Place& p : places) {
        if (p.type == 'd' && p.field != 0)
            v[p.field] = doubles[k++ % doubles.size()];
    }
    return v;
}

const QByteArray kHeader = "97,COM1,FINE,2068,346038000,-18,3,250,65535";

QByteArray makeLog(const QByteArray& name, const QByteArrayList& values, const QByteArray& header = kHeader)
{
    return Sentence::log(name + "," + header + ";" + values.join(','));
}

QByteArrayList repeated(int count, const QByteArray& value)
{
    QByteArrayList list;
    for (int i = 0; i < count; ++i)
        list << value;
    return list;
}

template<typename T> QByteArray bytesOf(const T& record)
{
    return QByteArray(reinterpret_cast<const char*>(&record), int(sizeof record));
}

void checkPlaces(const QByteArray& record, const QVector<Place>& places, const QByteArrayList& values)
{
    for (const Place& p : places) {
        const char* at = record.constData() + p.offset;
        const QByteArray& text = values.at(p.field);
        const QString where = QStringLiteral("field %1 at %2").arg(p.field).arg(p.offset);
        switch (p.type) {
        case 'b':
            QVERIFY2(quint8(*at) == quint8(text.toInt()), qPrintable(where));
            break;
        case 'w':
            QVERIFY2(qFromLittleEndian<quint16>(at) == quint16(text.toInt()), qPrintable(where));
            break;
        case 'i':
            QVERIFY2(qFromLittleEndian<qint32>(at) == text.toInt(), qPrintable(where));
            break;
        case 'd': {
            const quint64 bits = qFromLittleEndian<quint64>(at);
            double d;
            std::memcpy(&d, &bits, sizeof d);
            QVERIFY2(d == text.toDouble(), qPrintable(where + " " + QString::number(d, 'g', 17) + " " + text));
            break;
        }
        }
    }
}

void checkHeader(const QByteArray& record)
{
    // "97,COM1,FINE,2068,346038000,-18,3,250,65535" into bytes 2 to 18; 0 and 1 stay zero.
    QCOMPARE(record.left(19).toHex(), QByteArray("0000"
                                                 "61"
                                                 "43"
                                                 "46"
                                                 "1408"
                                                 "f01ea014"
                                                 "eeffffff"
                                                 "03"
                                                 "fa"
                                                 "ffff"));
}

struct Stored
{
    QList<QMap<unsigned char, H::GPSEPH>> gps;
    QList<QMap<unsigned char, H::BDSEPH>> bds;
    QList<QMap<unsigned char, H::BD3EPH>> bd3;
    QList<QMap<unsigned char, H::GLOEPH>> glo;
    QList<QMap<unsigned char, H::GALEPH>> gal;
    explicit Stored(H& p)
    {
        QObject::connect(&p, &H::ephDataGPSChanged, [this](const QMap<unsigned char, H::GPSEPH>& m) { gps << m; });
        QObject::connect(&p, &H::ephDataBDSChanged, [this](const QMap<unsigned char, H::BDSEPH>& m) { bds << m; });
        QObject::connect(&p, &H::ephDataBD3Changed, [this](const QMap<unsigned char, H::BD3EPH>& m) { bd3 << m; });
        QObject::connect(&p, &H::ephDataGLOChanged, [this](const QMap<unsigned char, H::GLOEPH>& m) { glo << m; });
        QObject::connect(&p, &H::ephDataGALChanged, [this](const QMap<unsigned char, H::GALEPH>& m) { gal << m; });
    }
    int total() const { return gps.size() + bds.size() + bd3.size() + glo.size() + gal.size(); }
};

} // namespace

class tst_EphemerisLogs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_previous;

private slots:
    void initTestCase()
    {
        // The BeiDou logs write their dump files into the current directory.
        m_previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(m_previous); }

    void crcMatchesZlib_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("check string") << QByteArray("123456789");
        QTest::newRow("one zero byte") << QByteArray(1, '\0');
        QTest::newRow("log body") << QByteArray("GPSEPHA,97,COM1,FINE,2068,346038000,-18,3,250,65535;5,345600.0");
        QByteArray random(4096, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
        QTest::newRow("random block") << random;
    }
    void crcMatchesZlib()
    {
        QFETCH(QByteArray, data);
        // zlib's crc32 inverts on both ends; the receiver's CRC does neither.
        const uLong z = crc32(0xFFFFFFFFul, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()));
        QCOMPARE(H::crc_update(reinterpret_cast<unsigned char*>(data.data()), data.size()), quint32(~z));
    }
    void crcOfNothingIsZero()
    {
        unsigned char b = 0x55;
        QCOMPARE(H::crc_update(&b, 0), 0u);
        QCOMPARE(H::crc_update(&b, -3), 0u);
        // The register starts at 0 with no final inversion: CRC("123456789") is not 0xCBF43926.
        QByteArray check("123456789");
        QCOMPARE(H::crc_update(reinterpret_cast<unsigned char*>(check.data()), check.size()), 0x2DFD2D88u);
    }

    void gpsLogLandsFieldByField()
    {
        H parser;
        Stored s(parser);
        const QByteArrayList values = fieldValues(kGpsPlaces, 33, 5);
        parser.ParseData(makeLog("GPSEPHA", values));
        QCOMPARE(s.gps.size(), 1);
        QCOMPARE(s.gps.first().keys(), QList<unsigned char>{5});
        const QByteArray record = bytesOf(s.gps.first().value(5));
        QCOMPARE(record.size(), 243);
        checkHeader(record);
        checkPlaces(record, kGpsPlaces, values);

        QByteArrayList second = values;
        second[1] = "349200.0";
        parser.ParseData(makeLog("GPSEPHA", second));
        QCOMPARE(s.gps.size(), 2);
        QCOMPARE(s.gps.last().size(), 1);
        QCOMPARE(+s.gps.last().value(5).tow, 349200.0);
    }

    void beidouLogsLandFieldByField()
    {
        H parser;
        Stored s(parser);
        const QVector<Place> bds = bdsPlaces();
        const QByteArrayList bdsValues = fieldValues(bds, 34, 7);
        parser.ParseData(makeLog("BDSEPHA", bdsValues));
        QCOMPARE(s.bds.size(), 1);
        const QByteArray bdsRecord = bytesOf(s.bds.first().value(7));
        QCOMPARE(bdsRecord.size(), 251);
        checkHeader(bdsRecord);
        checkPlaces(bdsRecord, bds, bdsValues);

        const QVector<Place> bd3 = bd3Places();
        QByteArrayList bd3Values = fieldValues(bd3, 45, 30);
        bd3Values[4] = "65535";
        parser.ParseData(makeLog("BD3EPHA", bd3Values));
        QCOMPARE(s.bd3.size(), 1);
        const QByteArray bd3Record = bytesOf(s.bd3.first().value(30));
        QCOMPARE(bd3Record.size(), 287);
        checkPlaces(bd3Record, bd3, bd3Values);
    }

    void glonassAndGalileoByPosition()
    {
        H parser;
        Stored s(parser);
        QByteArrayList glo;
        for (int f = 0; f < 29; ++f)
            glo << QByteArray::number(f + 100);
        glo[0] = "1";
        glo[12] = "-14371.6303711";
        glo[28] = "-7";
        parser.ParseData(makeLog("GLOEPHA", glo));
        QCOMPARE(s.glo.size(), 1);
        QCOMPARE(s.glo.first().keys(), QList<unsigned char>{38});
        const QByteArray g = bytesOf(s.glo.first().value(38));
        QCOMPARE(g.size(), 163);
        checkPlaces(g,
                    {{0, 19, 'w'},
                     {2, 23, 'b'},
                     {5, 27, 'i'},
                     {7, 35, 'w'},
                     {9, 38, 'b'},
                     {11, 43, 'i'},
                     {12, 47, 'd'},
                     {23, 135, 'd'},
                     {24, 143, 'i'},
                     {28, 159, 'i'}},
                    glo);

        QByteArrayList gal;
        for (int f = 0; f < 38; ++f)
            gal << QByteArray::number(f + 1);
        gal[0] = "36";
        gal[37] = "0.000000000000532907051820075";
        parser.ParseData(makeLog("GALEPHA", gal));
        QCOMPARE(s.gal.size(), 1);
        const QByteArray a = bytesOf(s.gal.first().value(36));
        QCOMPARE(a.size(), 239);
        checkPlaces(a,
                    {{0, 19, 'i'},
                     {2, 27, 'i'},
                     {3, 31, 'b'},
                     {10, 38, 'b'},
                     {12, 43, 'i'},
                     {13, 47, 'd'},
                     {27, 159, 'd'},
                     {28, 167, 'i'},
                     {31, 187, 'd'},
                     {32, 195, 'i'},
                     {37, 231, 'd'}},
                    gal);
    }

    void rejected_data()
    {
        QTest::addColumn<QByteArray>("log");
        const QByteArrayList gps33 = fieldValues(kGpsPlaces, 33, 33);
        QTest::newRow("GPS satellite 33") << makeLog("GPSEPHA", gps33);
        QTest::newRow("GPS satellite 0") << makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 0));
        QTest::newRow("BD3 satellite 257 would wrap to 1") << makeLog("BD3EPHA", fieldValues(bd3Places(), 45, 257));
        QByteArrayList gal = repeated(38, "1");
        gal[0] = "37";
        QTest::newRow("Galileo satellite 37") << makeLog("GALEPHA", gal);
        QByteArray wrongLast = makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 5));
        const int last = wrongLast.size() - 3;
        wrongLast[last] = wrongLast.at(last) == '0' ? '1' : '0';
        QTest::newRow("last CRC digit wrong") << wrongLast;
        QByteArray noStar = makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 5));
        noStar.truncate(noStar.indexOf('*'));
        QTest::newRow("no CRC") << noStar + "\r\n";
        QTest::newRow("no header end") << Sentence::log("GPSEPHA,1,2,3,4,5,6,7,8,9,5,6,7");
    }
    void rejected()
    {
        QFETCH(QByteArray, log);
        H parser;
        Stored s(parser);
        parser.ParseData(log);
        QCOMPARE(s.total(), 0);
        // The rejected log is consumed whole: a good one right behind it is stored.
        parser.ParseData(makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 9)));
        QCOMPARE(s.gps.size(), 1);
        QCOMPARE(s.gps.first().keys(), QList<unsigned char>{9});
    }

    void everySplitStoresSameLogs()
    {
        QByteArray stream = makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 3)) + "$GPVTG,1,2*00\r\n"
                          + makeLog("GLOEPHA", repeated(29, "2")) + makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 4));
        H whole;
        whole.setDumpFilesEnabled(false);
        Stored expected(whole);
        whole.ParseData(stream);
        QCOMPARE(expected.total(), 3);
        for (int split = 1; split < stream.size(); ++split) {
            H parser;
            Stored s(parser);
            parser.ParseData(stream.left(split));
            parser.ParseData(stream.mid(split));
            QVERIFY2(s.gps.size() == 2 && s.glo.size() == 1, qPrintable(QString::number(split)));
            QCOMPARE(bytesOf(s.gps.last().value(4)), bytesOf(expected.gps.last().value(4)));
            QCOMPARE(bytesOf(s.gps.last().value(3)), bytesOf(expected.gps.last().value(3)));
        }
    }

    void clearBySystem()
    {
        H parser;
        Stored s(parser);
        const QByteArray gps = makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 5));
        const QByteArray bds = makeLog("BDSEPHA", fieldValues(bdsPlaces(), 34, 6));
        const QByteArray bd3 = makeLog("BD3EPHA", fieldValues(bd3Places(), 45, 7));
        parser.ParseData(gps + bds + bd3);
        parser.clearnEphData(H::QZSS);
        parser.clearnEphData(H::BDS);
        QCOMPARE(s.total(), 3); // clearing emits nothing
        parser.ParseData(makeLog("GPSEPHA", fieldValues(kGpsPlaces, 33, 8))
                         + makeLog("BDSEPHA", fieldValues(bdsPlaces(), 34, 9))
                         + makeLog("BD3EPHA", fieldValues(bd3Places(), 45, 10)));
        QCOMPARE(s.gps.last().keys(), (QList<unsigned char>{5, 8}));
        QCOMPARE(s.bds.last().keys(), QList<unsigned char>{9});
        QCOMPARE(s.bd3.last().keys(), QList<unsigned char>{10});
        parser.clearnEphData(H::GNSS);
        parser.ParseData(gps);
        QCOMPARE(s.gps.last().keys(), QList<unsigned char>{5});
    }

    void satelliteInformationLog()
    {
        H parser;
        parser.setcustomcmd("SATSINFOA", 35, [&parser](const QByteArray& b) { return parser.SATSINFOAHandler(b); });
        parser.ParseData(Sentence::log("SATSINFOA," + kHeader + ";2,5,2,0,0,45,0,17,41,21,1,4,21,44"));
        const QVector<H::SatelliteInfo> info = parser.satelliteInfo();
        QCOMPARE(info.size(), 2);
        QCOMPARE(info[0].prn, 5);
        QCOMPARE(info[0].frequencyCount, 2);
        QCOMPARE(int(info[0].frequencies[1].frequency), 17);
        QCOMPARE(info[0].frequencies[1].cn0, 41);
        QCOMPARE(info[1].frequencies[0].system, H::GnssSystem::BDS);
        QCOMPARE(info[1].frequencies[0].cn0, 44);
        const H::LogHeader header = parser.satelliteInfoHeader();
        QCOMPARE(int(header.field4), 2068);
        QCOMPARE(int(header.field6), 0); // not kept

        // Counts larger than the fields that follow are refused, the last good list stays.
        parser.ParseData(Sentence::log("SATSINFOA," + kHeader + ";200,5,99,0,0,45"));
        QCOMPARE(parser.satelliteInfo().size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_EphemerisLogs)
#include "tst_EphemerisLogs.moc"
