#include <ConfigSetting.h>
#include <Crc32Mpeg2.h>
#include <FileLogger.h>
#include <LocalRecordStore.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {
const quint32 kId = 1700000000; // 00 f1 53 65

// Little-endian fields appended by hand, straight from the old file layout.
struct Bytes
{
    QByteArray data;
    Bytes& u8(quint8 v)
    {
        data.append(char(v));
        return *this;
    }
    Bytes& u32(quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            data.append(char((v >> (8 * i)) & 0xff));
        return *this;
    }
    Bytes& i64(qint64 v)
    {
        const quint64 u = quint64(v);
        for (int i = 0; i < 8; ++i)
            data.append(char((u >> (8 * i)) & 0xff));
        return *this;
    }
    Bytes& raw(const QByteArray& b)
    {
        data.append(b);
        return *this;
    }
};

// The 70-byte old file of the store's header comment, with no bands, remark or lists.
QByteArray minimalOldFile(quint32 first, quint32 id)
{
    return Bytes()
        .u32(first)
        .u32(10)
        .u32(4)
        .u32(0)
        .u8(1)
        .u8(16)
        .u32(0)
        .u32(0)
        .u32(id)
        .u32(2)
        .i64(0)
        .i64(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(1)
        .data;
}

// Three bands, a remark cut by a NUL, two cards each way.
QByteArray fullOldFile()
{
    const QByteArray remark = QByteArray("老记录") + '\0' + "tail";
    return Bytes()
        .u32(kId)
        .u32(1699999990)
        .u32(120)
        .u32(8)
        .u8(1)
        .u8(8)
        .u32(3)
        .u32(1)
        .u32(12)
        .u32(0xffffffff) // band ids, the last one as i32 -1
        .u32(quint32(remark.size()))
        .raw(remark)
        .u32(kId)
        .u32(2)
        .i64(6291456)
        .i64(2097152)
        .u32(2)
        .i64(4194304)
        .i64(2097152) // uploaded bytes per card
        .u32(1)
        .i64(2097152) // downloaded bytes per card
        .u32(2)
        .i64(2)
        .i64(1) // uploaded blocks
        .u32(1)
        .i64(1) // downloaded blocks
        .u32(2)
        .data;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(data), qint64(data.size()));
}

void makeSizedFile(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(f.resize(size));
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool logged(const QList<QList<QVariant>>& spy, FileLogger::LogType type, const QString& text)
{
    for (const QList<QVariant>& call : spy) {
        if (call.at(0).value<FileLogger::LogType>() == type && call.at(1).toString().contains(text))
            return true;
    }
    return false;
}

// A fresh application directory with the data path set to <root>/data.
struct Store
{
    TestAppDir app;
    QString base;

    explicit Store(bool setDataPath = true)
    {
        ConfigSetting::instance()->InitConfig();
        base = app.root() + QStringLiteral("/data");
        QDir().mkpath(base);
        if (setDataPath)
            ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, base);
    }
    QString folder(const QString& device, quint32 id) const
    {
        return base + "/" + device + "/RecordData/" + QString::number(id);
    }
};

RecordEx storedRecord(quint32 id, int cards)
{
    RecordEx r;
    r.SetRecordValue("Name", id);
    r.SetRecordValue("StartTime", id - 5);
    r.SetRecordValue("Remark", QStringLiteral("外场 [A] 测试"));
    r.SetRecordValue("FreqNum", 1);
    r.setSectionValue("Freq1", "Num", 3);
    r.setSectionValue("LocalData", "SingleTransSize", 2);
    r.setSectionValue("LocalData", "NumOfBoards", cards);
    for (int i = 0; i < cards; ++i) {
        r.setSectionValue(QStringLiteral("Card%1").arg(i), "UploadSize", 0);
        r.setSectionValue(QStringLiteral("Card%1").arg(i), "DownloadSize", 0);
    }
    return r;
}
} // namespace

class tst_LocalRecordStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<FileLogger::LogType>();
        // A write past the file-size limit must fail with EFBIG, not kill the test.
        std::signal(SIGXFSZ, SIG_IGN);
    }

    void safePathComponent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        QTest::newRow("parent and slash") << "../x"
                                          << ".._x";
        QTest::newRow("slash alone") << "/"
                                     << "_";
        QTest::newRow("backslash") << "a\\b"
                                   << "a_b";
        QTest::newRow("dot") << "."
                             << "_";
        QTest::newRow("dot dot") << ".."
                                 << "__";
        QTest::newRow("control characters") << QString("a\x01\tb\x7f") << "a__b_";
        QTest::newRow("drive colon") << "C:x"
                                     << "C_x";
        QTest::newRow("windows reserved") << "a*b?c\"d<e>f|g"
                                          << "a_b_c_d_e_f_g";
        QTest::newRow("plain identifier kept") << "KL-2024 A.01"
                                               << "KL-2024 A.01";
        QTest::newRow("chinese kept") << "设备一"
                                      << "设备一";
        QTest::newRow("three dots kept") << "..."
                                         << "...";
        QTest::newRow("empty") << ""
                               << "";
    }

    void safePathComponent()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(LocalRecordStore::safePathComponent(name), safe);
    }

    void deviceFolderName()
    {
        QCOMPARE(LocalRecordStore::deviceFolderName(QByteArray("KL01\0\0junk", 10)), QStringLiteral("KL01"));
        QCOMPARE(LocalRecordStore::deviceFolderName(QByteArray("A\xe9", 2)), QString::fromUtf8("Aé"));
        QCOMPARE(LocalRecordStore::deviceFolderName(QByteArray()), QString());

        DeviceInfo info;
        std::memcpy(info.DeviceId, "KL 01\0\0\0\0\0\0\0\0\0\0\0\0\0", sizeof info.DeviceId);
        QCOMPARE(LocalRecordStore::deviceFolderName(info), QStringLiteral("KL 01"));
        std::memset(info.DeviceId, 'A', sizeof info.DeviceId); // no terminator: stops at the end
        QCOMPARE(LocalRecordStore::deviceFolderName(info), QString(19, QLatin1Char('A')));
    }

    void hostileDeviceStaysInside_data()
    {
        QTest::addColumn<QString>("device");
        QTest::newRow("parent") << "../x";
        QTest::newRow("root") << "/";
        QTest::newRow("backslash") << "a\\b";
        QTest::newRow("dot dot") << "..";
        QTest::newRow("deep parent") << "../../../../tmp/escape";
        QTest::newRow("absolute") << "/etc/kelo";
        QTest::newRow("inner parent") << "x/../../y";
    }

    void hostileDeviceStaysInside()
    {
        QFETCH(QString, device);
        Store s;
        const QString base = QFileInfo(s.base).canonicalFilePath();
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile(device, storedRecord(kId, 1)));
        const QString folder = LocalRecordStore::recordFolderPath(device, kId);
        const QString file = QFileInfo(folder + "/1700000000.wdi").canonicalFilePath();
        QVERIFY2(!file.isEmpty(), qPrintable(folder));
        QVERIFY2(file.startsWith(base + "/"), qPrintable(file));
        QCOMPARE(QDir(base).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(device, kId, back));
        QCOMPARE(back.RecordValue("Name").toUInt(), kId);
        // The data file of a card lands in the same folder.
        QVERIFY(LocalRecordStore::dataFilePath(folder, kId, 1).startsWith(s.base + "/"));
    }

    void storeFollowsReportedDevice()
    {
        Store s;
        // A device information reply (System 4) without boards, composed by hand: 16-byte header,
        // 41-byte payload whose identifier at offset 22 is "../evil" padded with blanks, CRC.
        QByteArray payload(41, '\0');
        payload[0] = 4;
        payload.replace(22, 18, QByteArray("../evil").leftJustified(18, ' '));
        Bytes frame;
        frame.u32(0xFFBBAACC).u8(1).u8(0).u8(2).u8(0).u8(0).u8(0).u8(1).u8(4).u32(quint32(payload.size())).raw(payload);
        frame.u32(
            Crc32Mpeg2::compute(reinterpret_cast<const uchar*>(frame.data.constData()), size_t(frame.data.size())));
        QSignalSpy info(ProtocolManager::instance(), &ProtocolManager::UpdateDeviceInfo);
        ProtocolManager::instance()->slot_tcp_dataRecv(frame.data);
        QCOMPARE(info.count(), 1);
        QCOMPARE(LocalRecordStore::currentDeviceFolder(), QStringLiteral("../evil"));

        QVERIFY(LocalRecordStore::WriteRecordInfoToFile(storedRecord(kId, 0)));
        QVERIFY(QFileInfo::exists(s.base + "/.._evil/RecordData/1700000000/1700000000.wdi"));
        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile(kId, back));
        QCOMPARE(LocalRecordStore::recordFolderPath(kId), s.base + "/.._evil/RecordData/1700000000");
    }

    void writeThenReadText()
    {
        Store s;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        RecordEx r = storedRecord(kId, 2);
        r.setSectionValue("Card0", "UploadSize", 2097152);
        r.setSectionValue("Card0", "Vendor", "kept"); // extra keys survive
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", r));
        QVERIFY(logged(log, FileLogger::Info, QStringLiteral("更新记录信息文件成功")));

        const QString folder = s.folder("KL01", kId);
        QCOMPARE(readFile(folder + "/1700000000.wdi"), r.toByteArray());
        makeSizedFile(folder + "/1700000000_0.wdd", 2097152);

        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, back));
        QCOMPARE(back.RecordValue("Remark").toString(), QStringLiteral("外场 [A] 测试"));
        QCOMPARE(back.getSectionValue("Card0", "Vendor").toString(), QStringLiteral("kept"));
        QCOMPARE(back.getSectionValue("Card0", "UploadNum").toULongLong(), Q_UINT64_C(1));
        QCOMPARE(back.getSectionValue("Card1", "UploadSize").toLongLong(), Q_INT64_C(0));
        QCOMPARE(back.LocalValue("TotalUploadedSize").toULongLong(), Q_UINT64_C(2097152));

        // Stored again, the description reads back unchanged.
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", back));
        RecordEx again;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, again));
        QCOMPARE(again.toString(), back.toString());
    }

    void emptyDataPathUsesApplicationDir()
    {
        Store s(false);
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", storedRecord(kId, 0)));
        QVERIFY(QFileInfo::exists(s.app.binDir() + "/KL01/RecordData/1700000000/1700000000.wdi"));
        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, back));
    }

    void emptyDeviceIdentifier()
    {
        Store s;
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile(QString(), storedRecord(kId, 0)));
        QVERIFY(QFileInfo::exists(s.base + "/RecordData/1700000000/1700000000.wdi"));
        RecordEx back;
        QVERIFY(!LocalRecordStore::ParseRecordInformationFromFile(QString(), kId, back));
    }

    void readerFolders()
    {
        Store s;
        RecordEx r;
        QVERIFY(!LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, r));
        QDir(s.base).mkdir("KL01");
        QVERIFY(!LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, r));
        QVERIFY(QFileInfo(s.base + "/KL01/RecordData").isDir()); // made on the way, nothing else
        QDir().mkpath(s.folder("KL01", kId));
        QVERIFY(!LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, r)); // no .wdi
        QCOMPARE(r.toString(), RecordEx().toString());
    }

    void writeFailureKeepsGoodFile()
    {
        Store s;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        const RecordEx good = storedRecord(kId, 1);
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", good));
        const QString path = s.folder("KL01", kId) + "/1700000000.wdi";
        const QByteArray before = readFile(path);
        QVERIFY(!before.isEmpty());

        RecordEx big = good;
        big.SetRecordValue("Remark", QString(256 * 1024, QLatin1Char('x')));
        log.clear();

        struct rlimit old
        {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        struct rlimit small = old;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool ok = LocalRecordStore::WriteRecordInfoToFile("KL01", big);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);

        QVERIFY(!ok);
        QVERIFY(logged(log, FileLogger::Error, QStringLiteral("更新记录信息文件失败")));
        QVERIFY(!logged(log, FileLogger::Info, QStringLiteral("更新记录信息文件成功")));
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(s.folder("KL01", kId)).entryList(QDir::Files), QStringList{"1700000000.wdi"});
    }

    void writeFailureWithoutFolders()
    {
        Store s;
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        writeFile(s.base + "/KL01", "a file where the device folder belongs");
        QVERIFY(!LocalRecordStore::WriteRecordInfoToFile("KL01", storedRecord(kId, 1)));
        QVERIFY(logged(log, FileLogger::Error, QStringLiteral("更新记录信息文件失败")));

        ConfigSetting::instance()->SetInit(ConfigKey::DataSavePath, s.base + "/missing");
        log.clear();
        QVERIFY(!LocalRecordStore::WriteRecordInfoToFile("KL01", storedRecord(kId, 1)));
        QVERIFY(logged(log, FileLogger::Error, QStringLiteral("更新记录信息文件失败")));
        QVERIFY(!QFileInfo::exists(s.base + "/missing")); // the base folder is never created
    }

    void textRules_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("type");
        const QByteArray local = "[LocalData]\nSingleTransSize=2\nNumOfBoards=0\n";
        QTest::newRow("serial port read as type")
            << QByteArray("[Record]\nName=1700000000\nSerialPort=3\n" + local) << true << "3";
        QTest::newRow("serial port after type wins")
            << QByteArray("[Record]\nName=1700000000\nType=1\nSerialPort=5\n" + local) << true << "5";
        QTest::newRow("other name not taken")
            << QByteArray("[Record]\nName=1700000001\nType=4\n" + local) << false << "0";
        QTest::newRow("block size 4 rejected")
            << QByteArray("[Record]\nName=1700000000\nType=4\n[LocalData]\nSingleTransSize=4\n") << false << "4";
        QTest::newRow("block size missing rejected")
            << QByteArray("[Record]\nName=1700000000\nType=4\n") << false << "4";
        QTest::newRow("crlf text") << QByteArray(
            "[Record]\r\nName=1700000000\r\nType=2\r\n[LocalData]\r\nSingleTransSize=2\r\n")
                                   << true << "2";
        QTest::newRow("card count beyond any instrument")
            << QByteArray("[Record]\nName=1700000000\nType=1\n[LocalData]\nSingleTransSize=2\nNumOfBoards=2000000000\n")
            << false << "1";
    }

    void textRules()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, accepted);
        QFETCH(QString, type);
        Store s;
        writeFile(s.folder("KL01", kId) + "/1700000000.wdi", text);
        RecordEx r;
        QCOMPARE(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, r), accepted);
        QCOMPARE(r.RecordValue("Type").toString(), type);
        QVERIFY(!r.existSectionKey("Record", "SerialPort"));
    }

    void nameZeroNeverAccepted()
    {
        Store s;
        RecordEx r = storedRecord(0, 0);
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", r));
        QVERIFY(QFileInfo::exists(s.folder("KL01", 0) + "/0.wdi"));
        RecordEx back;
        QVERIFY(!LocalRecordStore::ParseRecordInformationFromFile("KL01", 0, back));
    }

    void countersFollowDataFiles_data()
    {
        QTest::addColumn<qint64>("fileSize"); // -1: no data file
        QTest::addColumn<qint64>("storedUpload");
        QTest::addColumn<qint64>("storedDownload");
        QTest::addColumn<qint64>("upload");
        QTest::addColumn<qint64>("uploadNum");
        QTest::addColumn<qint64>("download");
        QTest::addColumn<qint64>("downloadNum");
        // The record is 8 MiB over the two cards: a file under 4 MiB cannot be downloaded.
        QTest::addColumn<bool>("shortFile");
        QTest::newRow("file shorter than stored")
            << 4194305LL << 5000000LL << 0LL << 4194305LL << 2LL << 0LL << 0LL << false;
        QTest::newRow("stored shorter than file")
            << 4194305LL << 3000000LL << 0LL << 3000000LL << 1LL << 0LL << 0LL << false;
        QTest::newRow("download kept") << 8388608LL << 8388608LL << 6291457LL << 8388608LL << 4LL << 6291457LL << 3LL
                                       << false;
        QTest::newRow("no data file") << -1LL << 5000000LL << 4194304LL << 0LL << 0LL << 0LL << 0LL << true;
        QTest::newRow("negative stored sizes") << 4194304LL << -5LL << -7LL << 0LL << 0LL << 0LL << 0LL << false;
        QTest::newRow("empty file") << 0LL << 2097152LL << 0LL << 0LL << 0LL << 0LL << 0LL << true;
        // 3.5 of its 4 MiB, as a crash or a full disk leaves it.
        QTest::newRow("file short of its share")
            << 3670016LL << 4194304LL << 0LL << 3670016LL << 1LL << 0LL << 0LL << true;
    }

    void countersFollowDataFiles()
    {
        QFETCH(qint64, fileSize);
        QFETCH(qint64, storedUpload);
        QFETCH(qint64, storedDownload);
        QFETCH(qint64, upload);
        QFETCH(qint64, uploadNum);
        QFETCH(qint64, download);
        QFETCH(qint64, downloadNum);
        QFETCH(bool, shortFile);
        Store s;
        RecordEx r = storedRecord(kId, 2);
        r.SetRecordValue("Size", 8);
        for (const char* card : {"Card0", "Card1"}) {
            r.setSectionValue(card, "UploadSize", storedUpload);
            r.setSectionValue(card, "DownloadSize", storedDownload);
            r.setSectionValue(card, "UploadNum", 999);
        }
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", r));
        const QString folder = s.folder("KL01", kId);
        if (fileSize >= 0) {
            makeSizedFile(folder + "/1700000000_0.wdd", fileSize);
            makeSizedFile(folder + "/1700000000_1.wdd", fileSize);
        }
        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, back));
        for (const char* card : {"Card0", "Card1"}) {
            QCOMPARE(back.getSectionValue(card, "UploadSize").toLongLong(), upload);
            QCOMPARE(back.getSectionValue(card, "UploadNum").toLongLong(), uploadNum);
            QCOMPARE(back.getSectionValue(card, "DownloadSize").toLongLong(), download);
            QCOMPARE(back.getSectionValue(card, "DownloadNum").toLongLong(), downloadNum);
        }
        QCOMPARE(back.LocalValue("TotalUploadedSize").toLongLong(), 2 * upload);
        QCOMPARE(back.LocalValue("TotalDownoadedSize").toLongLong(), 2 * download);
        // Reading changes no file.
        QCOMPARE(readFile(folder + "/1700000000.wdi"), r.toByteArray());
        const auto shortfalls = LocalRecordStore::dataShortfalls("KL01", back);
        QCOMPARE(shortfalls.size(), shortFile ? 2 : 0);
        for (const auto& sf : shortfalls) {
            QCOMPARE(sf.held, fileSize);
            QCOMPARE(sf.needed, 4194304LL);
        }
    }

    void stagedUploadReplacesTheCopyOnlyWhenWhole()
    {
        Store s;
        const QString folder = s.folder("KL01", kId);
        const QString staging = LocalRecordStore::stagingFolderPath("KL01", kId);
        QCOMPARE(QFileInfo(staging).dir().path(), QFileInfo(folder).dir().path());
        RecordEx copy = storedRecord(kId, 1);
        copy.SetRecordValue("Remark", QStringLiteral("副本"));
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", copy));
        makeSizedFile(folder + "/1700000000_0.wdd", 100);
        RecordEx fresh = storedRecord(kId, 1);

        // Dropped: the copy is as it was, and nothing of the attempt is left.
        QVERIFY(LocalRecordStore::prepareStaging("KL01", fresh));
        QCOMPARE(readFile(staging + "/1700000000.wdi"), fresh.toByteArray());
        makeSizedFile(staging + "/1700000000_0.wdd", 7);
        LocalRecordStore::discardStaging("KL01", kId);
        QVERIFY(!QFileInfo::exists(staging));
        QCOMPARE(readFile(folder + "/1700000000.wdi"), copy.toByteArray());
        QCOMPARE(QFileInfo(folder + "/1700000000_0.wdd").size(), 100);

        // Taken: the staged files stand in the record folder, and neither folder of the move is left.
        QVERIFY(LocalRecordStore::prepareStaging("KL01", fresh));
        makeSizedFile(staging + "/1700000000_0.wdd", 7);
        QVERIFY(LocalRecordStore::replaceWithStaging("KL01", kId));
        QCOMPARE(readFile(folder + "/1700000000.wdi"), fresh.toByteArray());
        QCOMPARE(QFileInfo(folder + "/1700000000_0.wdd").size(), 7);
        QCOMPARE(QDir(QFileInfo(folder).dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"1700000000"});

        // With nothing staged the copy stays.
        QString why;
        QVERIFY(!LocalRecordStore::replaceWithStaging("KL01", kId, &why));
        QCOMPARE(why, staging);
        QCOMPARE(QFileInfo(folder + "/1700000000_0.wdd").size(), 7);
    }

    void replacementCutShortIsSettledAtTheNextAttempt_data()
    {
        // Where the program ended: after the copy was moved aside, or after the new data took its
        // place. Either way the complete copy stays and the leftover goes.
        QTest::addColumn<bool>("newInPlace");
        QTest::newRow("copy moved aside, nothing in its place") << false;
        QTest::newRow("new data in place, the old copy left") << true;
    }
    void replacementCutShortIsSettledAtTheNextAttempt()
    {
        QFETCH(bool, newInPlace);
        Store s;
        const QString folder = s.folder("KL01", kId);
        const QString leftover = QFileInfo(folder).dir().filePath(QStringLiteral(".replaced-%1").arg(kId));
        RecordEx copy = storedRecord(kId, 1);
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", copy));
        makeSizedFile(folder + "/1700000000_0.wdd", 100);
        QVERIFY(QDir().rename(folder, leftover));
        if (newInPlace) {
            QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", copy));
            makeSizedFile(folder + "/1700000000_0.wdd", 7);
        }
        // The next re-upload starts, and replaces the copy once complete.
        RecordEx fresh = storedRecord(kId, 1);
        QVERIFY(LocalRecordStore::prepareStaging("KL01", fresh));
        QVERIFY(!QFileInfo::exists(leftover));
        QCOMPARE(QFileInfo(folder + "/1700000000_0.wdd").size(), newInPlace ? 7 : 100);
        QCOMPARE(LocalRecordStore::settleLeftoverReplacement("KL01", kId), LocalRecordStore::Leftover::None);
        makeSizedFile(LocalRecordStore::stagingFolderPath("KL01", kId) + "/1700000000_0.wdd", 9);
        QVERIFY(QDir().mkpath(leftover + "/x"));
        QVERIFY(LocalRecordStore::replaceWithStaging("KL01", kId));
        QCOMPARE(QFileInfo(folder + "/1700000000_0.wdd").size(), 9);
        QCOMPARE(QDir(QFileInfo(folder).dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"1700000000"});
    }

    void emptyRecordIsNotLeftBehind_data()
    {
        QTest::addColumn<QStringList>("files"); // name=size in the record folder
        QTest::addColumn<bool>("removed");
        QTest::newRow("information and empty data files")
            << QStringList{"1700000000_0.wdd=0", "1700000000_1.wdd=0"} << true;
        QTest::newRow("a data file with bytes") << QStringList{"1700000000_0.wdd=0", "1700000000_1.wdd=1"} << false;
        QTest::newRow("empty data files and their fingerprints")
            << QStringList{"1700000000_0.wdd=0", "1700000000_0.wdf=0", "1700000000_1.wdf=8"} << true;
        QTest::newRow("a side file") << QStringList{"1700000000_0.wdd=0", "1700000000.ini=0"} << false;
    }

    void emptyRecordIsNotLeftBehind()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, removed);
        Store s;
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", storedRecord(kId, 2)));
        const QString folder = s.folder("KL01", kId);
        for (const QString& f : files)
            makeSizedFile(folder + "/" + f.section('=', 0, 0), f.section('=', 1).toLongLong());
        QCOMPARE(LocalRecordStore::removeIfEmpty("KL01", kId), removed);
        QCOMPARE(QFileInfo::exists(folder), !removed);
    }

    void singleDataFileForCardZeroOnly()
    {
        Store s;
        RecordEx r = storedRecord(kId, 2);
        r.setSectionValue("Card0", "UploadSize", 4194304);
        r.setSectionValue("Card1", "UploadSize", 4194304);
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", r));
        const QString folder = s.folder("KL01", kId);
        makeSizedFile(folder + "/1700000000.wdd", 4194304);
        QCOMPARE(LocalRecordStore::dataFilePath(folder, kId, 0), folder + "/1700000000.wdd");
        QCOMPARE(LocalRecordStore::dataFilePath(folder, kId, 1), folder + "/1700000000_1.wdd");

        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, back));
        QCOMPARE(back.getSectionValue("Card0", "UploadNum").toInt(), 2);
        QCOMPARE(back.getSectionValue("Card1", "UploadSize").toInt(), 0);

        // Once the per-card file exists it is the one used.
        makeSizedFile(folder + "/1700000000_0.wdd", 2097152);
        QCOMPARE(LocalRecordStore::dataFilePath(folder, kId, 0), folder + "/1700000000_0.wdd");
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, back));
        QCOMPARE(back.getSectionValue("Card0", "UploadNum").toInt(), 1);
    }

    void noCardsLeavesCardSections()
    {
        Store s;
        RecordEx r = storedRecord(kId, 0);
        r.setSectionValue("Card0", "UploadSize", 77);
        r.setSectionValue("LocalData", "TotalUploadedSize", 77);
        QVERIFY(LocalRecordStore::WriteRecordInfoToFile("KL01", r));
        RecordEx back;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, back));
        QCOMPARE(back.getSectionValue("Card0", "UploadSize").toInt(), 77);
        QCOMPARE(back.LocalValue("TotalUploadedSize").toInt(), 0);
        QCOMPARE(back.LocalValue("TotalDownoadedSize").toInt(), 0);
    }

    void formatTest_data()
    {
        QTest::addColumn<quint32>("id");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("old");
        QTest::newRow("first name is the id") << kId << minimalOldFile(kId, kId) << true;
        QTest::newRow("text begins [Rec for 1667584603")
            << 1667584603u << QByteArray("[Record]\nName=1667584603\n") << true;
        QTest::newRow("text with [Record]") << kId << QByteArray("[Record]\nName=1700000000\n") << false;
        QTest::newRow("70 bytes with another first name") << kId << minimalOldFile(1, kId) << false;
        QTest::newRow("three bytes") << quint32(0x00535a) << QByteArray("Z S", 3) << false;
        QTest::newRow("empty") << 0u << QByteArray() << false;
        QTest::newRow("longer, id field matches") << kId << QByteArray(minimalOldFile(1, kId) + "x") << true;
        QTest::newRow("longer, id field differs") << kId << QByteArray(minimalOldFile(1, 5) + "x") << false;
        QTest::newRow("longer, band count past the end")
            << kId << Bytes().u32(1).raw(QByteArray(14, 0)).u32(0x40000000).raw(QByteArray(60, 0)).data << false;
        QTest::newRow("longer, remark length past the end")
            << kId << Bytes().u32(1).raw(QByteArray(14, 0)).u32(0).u32(0xfffffff0).raw(QByteArray(60, 0)).data << false;
    }

    void formatTest()
    {
        QFETCH(quint32, id);
        QFETCH(QByteArray, content);
        QFETCH(bool, old);
        QCOMPARE(LocalRecordStore::IsOldFormatRecordInfoFile(id, content), old);
    }

    void oldFormatDecoded()
    {
        RecordEx r;
        LocalRecordStore::ParseOldFormatRecordInfoFile(fullOldFile(), r);
        QCOMPARE(r.toString(),
                 QStringLiteral(
                     "[Card0]\nUploadSize=4194304\nUploadNum=2\nDownloadSize=2097152\nDownloadNum=1\n\n"
                     "[Card1]\nUploadSize=2097152\nUploadNum=1\n\n"
                     "[Freq1]\nNum=1\n\n[Freq2]\nNum=12\n\n[Freq3]\nNum=4294967295\n\n"
                     "[LocalData]\nSingleTransSize=2\nTotalUploadedSize=6291456\nTotalDownoadedSize="
                     "2097152\nNumOfBoards=2\n\n"
                     "[Record]\nName=1700000000\nStartTime=1699999990\nDuration=120\nSize=8\nAvailable=true\nType=0\n"
                     "Bit=8\nTrigMode=0\nRemark=老记录\nCnt=0\nBandwidth=0\nSampleRate=0\nFreqNum=3\n\n"));

        RecordEx minimal;
        LocalRecordStore::ParseOldFormatRecordInfoFile(minimalOldFile(kId, kId), minimal);
        QCOMPARE(minimal.RecordValue("Available").toBool(), true);
        QCOMPARE(minimal.RecordValue("Bit").toInt(), 16);
        QCOMPARE(minimal.RecordValue("StartTime").toUInt(), 10u);
        QCOMPARE(minimal.LocalValue("NumOfBoards").toInt(), 1);
        QVERIFY(!minimal.existSection("Card0"));
    }

    void oldFormatThroughTheReader()
    {
        Store s;
        const QString folder = s.folder("KL01", kId);
        writeFile(folder + "/1700000000.wdi", fullOldFile());
        writeFile(folder + "/1700000000.ini", "[Extend]\nBandwidth=40000000\n");
        makeSizedFile(folder + "/1700000000_0.wdd", 3145728);
        RecordEx r;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, r));
        QCOMPARE(r.RecordValue("Bandwidth").toUInt(), 40000000u);
        QCOMPARE(r.RecordValue("Remark").toString(), QStringLiteral("老记录"));
        QCOMPARE(r.getSectionValue("Card0", "UploadSize").toLongLong(), Q_INT64_C(3145728));
        QCOMPARE(r.getSectionValue("Card0", "UploadNum").toLongLong(), Q_INT64_C(1));
        QCOMPARE(r.getSectionValue("Card1", "UploadSize").toLongLong(), Q_INT64_C(0));
        QCOMPARE(r.LocalValue("TotalUploadedSize").toLongLong(), Q_INT64_C(3145728));
        QCOMPARE(r.LocalValue("TotalDownoadedSize").toLongLong(), Q_INT64_C(2097152));

        // Without a side file the bandwidth stays as it was.
        QFile::remove(folder + "/1700000000.ini");
        RecordEx noSide;
        QVERIFY(LocalRecordStore::ParseRecordInformationFromFile("KL01", kId, noSide));
        QCOMPARE(noSide.RecordValue("Bandwidth").toUInt(), 0u);
    }

    void oldFormatTruncatedAnywhere()
    {
        // Every prefix of a valid file decodes without reading past its end; a field that does
        // not fit, and all after it, read as 0.
        const QByteArray full = fullOldFile();
        for (int n = 0; n <= full.size(); ++n) {
            RecordEx r;
            LocalRecordStore::ParseOldFormatRecordInfoFile(full.left(n), r);
            const bool complete = n == full.size();
            QCOMPARE(r.LocalValue("NumOfBoards").toInt(), complete ? 2 : 0);
            QVERIFY(r.RecordValue("FreqNum").toInt() == 0 || n >= 34);
        }
        RecordEx cut;
        LocalRecordStore::ParseOldFormatRecordInfoFile(full.left(20), cut);
        QCOMPARE(cut.RecordValue("Duration").toUInt(), 120u);
        QCOMPARE(cut.RecordValue("Bit").toInt(), 8);
        QCOMPARE(cut.RecordValue("Name").toUInt(), 0u);
    }

    void oldFormatLyingCounts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("remark");
        QTest::addColumn<int>("freqNum");
        QTest::addColumn<quint32>("name");
        QTest::newRow("band count past the end")
            << Bytes().u32(kId).u32(0).u32(0).u32(0).u8(0).u8(0).u32(0xffffffff).u32(0).u32(0).u32(kId).data << "" << 0
            << 0u;
        QTest::newRow("remark length past the end")
            << Bytes().u32(kId).u32(0).u32(0).u32(0).u8(0).u8(0).u32(0).u32(1000).raw("abc").u32(kId).data << "" << 0
            << 0u;
        QTest::newRow("list count past the end") << Bytes()
                                                        .u32(kId)
                                                        .u32(0)
                                                        .u32(0)
                                                        .u32(0)
                                                        .u8(0)
                                                        .u8(0)
                                                        .u32(0)
                                                        .u32(2)
                                                        .raw("ok")
                                                        .u32(kId)
                                                        .u32(2)
                                                        .i64(0)
                                                        .i64(0)
                                                        .u32(0x7fffffff)
                                                        .i64(1)
                                                        .data
                                                 << "ok" << 0 << kId;
    }

    void oldFormatLyingCounts()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, remark);
        QFETCH(int, freqNum);
        QFETCH(quint32, name);
        RecordEx r;
        LocalRecordStore::ParseOldFormatRecordInfoFile(content, r);
        QCOMPARE(r.RecordValue("Remark").toString(), remark);
        QCOMPARE(r.RecordValue("FreqNum").toInt(), freqNum);
        QCOMPARE(r.RecordValue("Name").toUInt(), name);
        QVERIFY(!r.existSection("Card0"));
        QVERIFY(!r.existSection("Freq1"));
    }

    void openDataFileModes()
    {
        Store s;
        const QString path = s.base + "/d.wdd";
        QFile missing(path);
        QVERIFY(!LocalRecordStore::openDataFile(missing, false));
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(LocalRecordStore::openDataFile(missing, true));
        QCOMPARE(missing.write("0123456789"), qint64(10));
        missing.close();

        // An existing file is not opened for appending: a seek decides where the bytes land.
        QFile existing(path);
        QVERIFY(LocalRecordStore::openDataFile(existing, false));
        QVERIFY(!(existing.openMode() & QIODevice::Append));
        QVERIFY(existing.seek(4));
        QCOMPARE(existing.write("ab"), qint64(2));
        existing.close();
        QCOMPARE(readFile(path), QByteArray("0123ab6789"));
    }
};

QTEST_GUILESS_MAIN(tst_LocalRecordStore)
#include "tst_LocalRecordStore.moc"
