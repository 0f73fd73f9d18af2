#include <TestAppDir.h>
#include <ZipReader.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {
void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a producer program in `dir`; false when it isn't there or fails.
bool run(const QString& dir, const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return false;
    p.write(input);
    p.closeWriteChannel();
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The payload files every producer packs: a kind entry, a script, a folder with a file.
void makePayload(const QString& dir)
{
    writeFile(dir + "/control", QByteArray(5000, 'c') + "end");
    writeFile(dir + "/update.sh", "#!/bin/sh\necho update\n");
    writeFile(dir + "/docs/readme.txt", "read me\n");
}

QStringList describe(const std::list<ZipEntry>& entries)
{
    QStringList out;
    for (const ZipEntry& e : entries)
        out << QString::fromStdString(e.name) + (e.isDirectory ? "|dir" : "|file");
    return out;
}

bool list(const QString& path, std::list<ZipEntry>& entries, std::string* error = nullptr)
{
    ZipReader reader(path.toLocal8Bit().toStdString());
    const bool ok = reader.ListEntries(entries);
    if (error)
        *error = reader.ErrorText();
    return ok;
}

void putU16(QByteArray& b, int at, quint16 v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

void putU32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

// A stored archive with the one file "control" holding "hello", written out from the record
// tables: local header, data, central directory header, end of central directory.
QByteArray handMadeArchive(const QByteArray& comment = {})
{
    const QByteArray local = QByteArray::fromHex("504b0304"
                                                 "0a00"
                                                 "0000"
                                                 "0000"
                                                 "00000000"
                                                 "86a61036"
                                                 "05000000"
                                                 "05000000"
                                                 "0700"
                                                 "0000")
                           + "control" + "hello";
    const QByteArray central = QByteArray::fromHex("504b0102"
                                                   "1e03"
                                                   "0a00"
                                                   "0000"
                                                   "0000"
                                                   "00000000"
                                                   "86a61036"
                                                   "05000000"
                                                   "05000000"
                                                   "0700"
                                                   "0000"
                                                   "0000"
                                                   "0000"
                                                   "0000"
                                                   "0000a481"
                                                   "00000000")
                             + "control";
    QByteArray end = QByteArray::fromHex("504b0506"
                                         "0000"
                                         "0000"
                                         "0100"
                                         "0100"
                                         "35000000"
                                         "2a000000"
                                         "0000");
    putU16(end, 20, quint16(comment.size()));
    return local + central + end + comment;
}
} // namespace

class tst_ZipReader : public QObject
{
    Q_OBJECT

private slots:
    void handMadeArchive_data()
    {
        QTest::addColumn<QByteArray>("comment");
        QTest::newRow("no comment") << QByteArray();
        QTest::newRow("with comment") << QByteArray("firmware 1.2");
    }

    void handMadeArchive()
    {
        QFETCH(QByteArray, comment);
        TestAppDir app;
        const QString path = app.root() + "/hand.zip";
        const QByteArray bytes = ::handMadeArchive(comment);
        QCOMPARE(bytes.size(), 30 + 7 + 5 + 46 + 7 + 22 + comment.size());
        writeFile(path, bytes);
        std::list<ZipEntry> entries;
        QVERIFY(list(path, entries));
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries.front().name, std::string("control"));
        QCOMPARE(entries.front().compressedSize, uint64_t(5));
        QCOMPARE(entries.front().uncompressedSize, uint64_t(5));
        QVERIFY(!entries.front().isDirectory);
        // Our archive is one that a real unpacker accepts.
        QVERIFY(run(app.root(), "unzip", {"-tq", path}));
    }

    void producers_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        const QStringList files{"control", "update.sh", "docs/", "docs/readme.txt"};
        QTest::newRow("info-zip stored") << "zip" << (QStringList{"-q", "-0", "-r", "out.zip"} + files.mid(0, 3))
                                         << QByteArray();
        QTest::newRow("info-zip deflated")
            << "zip" << (QStringList{"-q", "-9", "-r", "out.zip"} + files.mid(0, 3)) << QByteArray();
        QTest::newRow("info-zip with comment")
            << "zip" << (QStringList{"-q", "-z", "-r", "out.zip"} + files.mid(0, 3)) << QByteArray("release notes\n");
        QTest::newRow("info-zip zip64") << "zip" << (QStringList{"-q", "-fz", "-r", "out.zip"} + files.mid(0, 3))
                                        << QByteArray();
        const QString py = QStringLiteral("import sys, zipfile\n"
                                          "mode = sys.argv[1]\n"
                                          "c = zipfile.ZIP_DEFLATED if mode == 'deflated' else zipfile.ZIP_STORED\n"
                                          "with zipfile.ZipFile('out.zip', 'w', compression=c) as z:\n"
                                          "    for n in ['control', 'update.sh', 'docs/', 'docs/readme.txt']:\n"
                                          "        if n.endswith('/'):\n"
                                          "            z.writestr(zipfile.ZipInfo(n), b'')\n"
                                          "        elif mode == 'zip64':\n"
                                          "            with z.open(n, 'w', force_zip64=True) as f:\n"
                                          "                f.write(open(n, 'rb').read())\n"
                                          "        else:\n"
                                          "            z.write(n)\n"
                                          "    if mode == 'comment':\n"
                                          "        z.comment = b'made by python'\n");
        for (const char* mode : {"stored", "deflated", "comment", "zip64"})
            QTest::newRow(qPrintable(QStringLiteral("python %1").arg(mode)))
                << TestAppDir::python() << QStringList{"-c", py, mode} << QByteArray();
    }

    void producers()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        TestAppDir app;
        const QString dir = app.root() + "/pack";
        makePayload(dir);
        QVERIFY2(run(dir, program, args, input), qPrintable(program));
        std::list<ZipEntry> entries;
        std::string error;
        QVERIFY2(list(dir + "/out.zip", entries, &error), error.c_str());
        QCOMPARE(describe(entries),
                 (QStringList{"control|file", "update.sh|file", "docs/|dir", "docs/readme.txt|file"}));
        QCOMPARE(entries.front().uncompressedSize, uint64_t(5003));
        if (program == "zip" && args.contains("-0"))
            QCOMPARE(entries.front().compressedSize, uint64_t(5003));
        if (args.contains("deflated") || args.contains("-9"))
            QVERIFY(entries.front().compressedSize < 5003);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = ::handMadeArchive("note");
        QTest::newRow("cut inside the local header") << good.left(20);
        QTest::newRow("cut inside the name") << good.left(33);
        QTest::newRow("cut inside the data") << good.left(40);
        QTest::newRow("cut inside the central header") << good.left(60);
        QTest::newRow("cut inside the end record") << good.left(good.size() - 10);
        QTest::newRow("cut inside the archive comment") << good.left(good.size() - 2);
        QByteArray hostileName = good;
        putU16(hostileName, 26, 0xffff);
        QTest::newRow("name length past the end") << hostileName;
        QByteArray hostileSize = good;
        putU32(hostileSize, 18, 0xfffffff0u);
        QTest::newRow("compressed size past the end") << hostileSize;
        QByteArray zip64WithoutField = good;
        putU32(zip64WithoutField, 18, 0xffffffffu);
        QTest::newRow("zip64 size without its field") << zip64WithoutField;
        QByteArray hostileComment = good;
        putU16(hostileComment, good.size() - 4 - 2, 0xffff);
        QTest::newRow("comment length past the end") << hostileComment;
        QTest::newRow("bytes after the end record") << good + "junk";
        QTest::newRow("not a zip at all") << QByteArray("This is a text file, not an archive.\n");
        QByteArray descriptor = good;
        putU16(descriptor, 6, 0x0008);
        putU32(descriptor, 18, 0);
        putU32(descriptor, 22, 0);
        QTest::newRow("sizes deferred to a data descriptor") << descriptor;
    }

    void refused()
    {
        QFETCH(QByteArray, bytes);
        TestAppDir app;
        const QString path = app.root() + "/bad.zip";
        writeFile(path, bytes);
        std::list<ZipEntry> entries;
        std::string error;
        QVERIFY(!list(path, entries, &error));
        QVERIFY(!error.empty());
    }

    void everyPrefixOfARealArchiveIsReadSafely()
    {
        TestAppDir app;
        const QString dir = app.root() + "/pack";
        makePayload(dir);
        QVERIFY(run(dir, "zip", {"-q", "-z", "-r", "out.zip", "control", "update.sh", "docs/"}, "c\n"));
        const QByteArray whole = readFile(dir + "/out.zip");
        QVERIFY(whole.size() > 100);
        int accepted = 0;
        for (int n = 1; n < whole.size(); ++n) {
            writeFile(dir + "/cut.zip", whole.left(n));
            std::list<ZipEntry> entries;
            if (list(dir + "/cut.zip", entries))
                ++accepted; // only a cut that falls exactly between two records
            for (const ZipEntry& e : entries)
                QVERIFY(e.compressedSize <= uint64_t(n));
        }
        // Records end at: each local entry, each central header, the end record's comment.
        QVERIFY2(accepted <= 10, qPrintable(QString::number(accepted)));
    }

    void pythonStreamingArchiveIsRefusedWithAMessage()
    {
        TestAppDir app;
        const QString dir = app.root() + "/pack";
        makePayload(dir);
        // Written to an unseekable stream, the sizes follow the data in a descriptor.
        const QString py =
            QStringLiteral("import sys, zipfile\n"
                           "class Stream:\n"
                           "    def __init__(self, f): self.f = f\n"
                           "    def write(self, b): return self.f.write(b)\n"
                           "    def flush(self): self.f.flush()\n"
                           "with zipfile.ZipFile(Stream(sys.stdout.buffer), 'w', zipfile.ZIP_DEFLATED) as z:\n"
                           "    z.write('control')\n");
        QProcess p;
        p.setWorkingDirectory(dir);
        p.setStandardOutputFile(dir + "/stream.zip");
        p.start(TestAppDir::python(), {"-c", py});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        std::list<ZipEntry> entries;
        std::string error;
        QVERIFY(!list(dir + "/stream.zip", entries, &error));
        QVERIFY(!error.empty());
    }

    void emptyMissingAndUnnamed()
    {
        TestAppDir app;
        writeFile(app.root() + "/empty.zip", QByteArray());
        std::list<ZipEntry> entries;
        QVERIFY(list(app.root() + "/empty.zip", entries));
        QVERIFY(entries.empty());
        std::string error;
        QVERIFY(!list(app.root() + "/missing.zip", entries, &error));
        QVERIFY(!error.empty());
        QVERIFY(!list(QString(), entries, &error));
    }

    void entryNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QByteArray nul = ::handMadeArchive();
        nul[30 + 4] = '\0'; // "cont\0ol"
        QTest::newRow("name ends at its first NUL") << nul << "cont";
        // A local header whose name is 0 bytes long, its data, and an end record.
        const QByteArray unnamed = QByteArray::fromHex("504b0304"
                                                       "0a00"
                                                       "0000"
                                                       "0000"
                                                       "00000000"
                                                       "86a61036"
                                                       "05000000"
                                                       "05000000"
                                                       "0000"
                                                       "0000")
                                 + "hello"
                                 + QByteArray::fromHex("504b0506"
                                                       "0000"
                                                       "0000"
                                                       "0100"
                                                       "0100"
                                                       "00000000"
                                                       "23000000"
                                                       "0000");
        QTest::newRow("entry without a name") << unnamed << "";
    }

    void entryNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        TestAppDir app;
        writeFile(app.root() + "/names.zip", bytes);
        std::list<ZipEntry> entries;
        QVERIFY(list(app.root() + "/names.zip", entries));
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(QString::fromStdString(entries.front().name), name);
        QVERIFY(!entries.front().isDirectory);
    }
};

QTEST_GUILESS_MAIN(tst_ZipReader)
#include "tst_ZipReader.moc"
