#include <DataWriter.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using Kelo::Core::DataWriter;

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray pattern(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xFF);
    return data;
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}
} // namespace

class tst_DataWriter : public QObject
{
    Q_OBJECT

private slots:
    void partsOfASeries_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("blocks");
        // Expected part sizes in order: part 1, part 2, ...
        QTest::addColumn<QList<qint64>>("sizes");
        QTest::newRow("limit 10, blocks of 4") << qint64(10) << 4 << 7 << QList<qint64>{12, 12, 4};
        QTest::newRow("part exactly at the limit") << qint64(12) << 4 << 6 << QList<qint64>{12, 12};
        QTest::newRow("limit of one byte") << qint64(1) << 3 << 3 << QList<qint64>{3, 3, 3};
        QTest::newRow("block larger than the limit") << qint64(5) << 64 << 2 << QList<qint64>{64, 64};
        QTest::newRow("never reaches the limit") << qint64(1000) << 10 << 5 << QList<qint64>{50};
    }

    void partsOfASeries()
    {
        QFETCH(qint64, limit);
        QFETCH(int, block);
        QFETCH(int, blocks);
        QFETCH(QList<qint64>, sizes);
        QTemporaryDir tmp;
        const QString out = tmp.path() + QStringLiteral("/out");
        const QByteArray data = pattern(block * blocks);
        {
            DataWriter writer(limit);
            QVERIFY(writer.setFileName(out + QStringLiteral("/log.dat")));
            for (int i = 0; i < blocks; ++i)
                writer.write(data.mid(i * block, block));
        }
        QStringList expectedNames;
        if (sizes.size() == 1)
            expectedNames << QStringLiteral("log.dat");
        else
            for (int i = 1; i <= sizes.size(); ++i)
                expectedNames << QStringLiteral("log Part%1.dat").arg(i);
        QCOMPARE(entries(out), expectedNames);

        // Concatenate the parts in their order and let cmp compare them with the data written.
        const QString joined = tmp.path() + QStringLiteral("/joined");
        const QString original = tmp.path() + QStringLiteral("/original");
        QFile j(joined), o(original);
        QVERIFY(j.open(QIODevice::WriteOnly) && o.open(QIODevice::WriteOnly));
        for (int i = 0; i < expectedNames.size(); ++i) {
            const QByteArray part = readAll(out + QLatin1Char('/') + expectedNames[i]);
            QCOMPARE(qint64(part.size()), sizes[i]);
            j.write(part);
        }
        o.write(data);
        j.close();
        o.close();
        QCOMPARE(QProcess::execute(QStringLiteral("cmp"), {joined, original}), 0);
    }

    void defaultLimit()
    {
        QCOMPARE(DataWriter(0).sizeLimit(), Q_INT64_C(1099511627776));
        QCOMPARE(DataWriter().sizeLimit(), Q_INT64_C(1099511627776));
        QCOMPARE(DataWriter(7).sizeLimit(), qint64(7));
        QCOMPARE(DataWriter::staticMetaObject.className(), "Kelo::Core::DataWriter");
    }

    void createsMissingFolders()
    {
        QTemporaryDir tmp;
        DataWriter writer(100);
        writer.setFileName(tmp.path() + QStringLiteral("/a/b/c/x.bin"));
        writer.write("abc");
        QCOMPARE(readAll(tmp.path() + QStringLiteral("/a/b/c/x.bin")), QByteArray("abc"));
    }

    void unusableNamesWriteNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("suffix only") << QStringLiteral("dir/.dat");
        QTest::newRow("folder only") << QStringLiteral("dir/");
    }

    void unusableNamesWriteNothing()
    {
        QFETCH(QString, name);
        QTemporaryDir tmp;
        const QString full = name.isEmpty() ? name : tmp.path() + QLatin1Char('/') + name;
        DataWriter writer(10);
        writer.setFileName(full);
        QVERIFY(writer.currentFile() == nullptr);
        writer.write("data");
        QVERIFY(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void sameNameStillRestarts()
    {
        QTemporaryDir tmp;
        const QString name = tmp.path() + QStringLiteral("/s.dat");
        DataWriter writer(1000);
        QVERIFY(writer.setFileName(name));
        writer.write("one");
        QVERIFY(writer.currentFile()->isOpen());
        QVERIFY(!writer.setFileName(name));
        // The open part was closed and forgotten; a new object on the same name appends.
        QVERIFY(!writer.currentFile()->isOpen());
        writer.write("two");
        QCOMPARE(readAll(name), QByteArray("onetwo"));
    }

    void newNameAfterSplitStartsNewSeries()
    {
        QTemporaryDir tmp;
        DataWriter writer(4);
        writer.setFileName(tmp.path() + QStringLiteral("/first.dat"));
        writer.write("1234");
        writer.write("5678"); // goes to "first Part2.dat"
        writer.write("abcd");
        QVERIFY(writer.currentFile() != nullptr); // splits: the object now names part 4, closed
        QVERIFY(writer.setFileName(tmp.path() + QStringLiteral("/second.dat")));
        writer.write("wxyz");
        QCOMPARE(readAll(tmp.path() + QStringLiteral("/second.dat")), QByteArray("wxyz"));
        QCOMPARE(entries(tmp.path()),
                 (QStringList{"first Part1.dat", "first Part2.dat", "first Part3.dat", "second.dat"}));
    }

    void closeThenWriteAppendsToTheSamePart()
    {
        QTemporaryDir tmp;
        const QString name = tmp.path() + QStringLiteral("/c.dat");
        DataWriter writer(100);
        writer.setFileName(name);
        writer.write("ab");
        writer.close();
        writer.write("cd");
        QCOMPARE(readAll(name), QByteArray("abcd"));
    }

    void dotsAndPartInFolderNamesAreLeftAlone()
    {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QStringLiteral("/Part7.v2");
        DataWriter writer(2);
        writer.setFileName(dir + QStringLiteral("/stream"));
        writer.write("aa");
        writer.write("bb");
        writer.write("cc");
        QCOMPARE(entries(dir), (QStringList{"stream Part1", "stream Part2", "stream Part3"}));
        QCOMPARE(readAll(dir + QStringLiteral("/stream Part3")), QByteArray("cc"));
    }

    void partThatCannotBeOpenedLosesOnlyThatWrite_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::newRow("limit above the folder's size") << qint64(1 << 20);
        QTest::newRow("limit below the folder's size") << qint64(16);
    }

    void partThatCannotBeOpenedLosesOnlyThatWrite()
    {
        QFETCH(qint64, limit);
        QTemporaryDir tmp;
        const QString name = tmp.path() + QStringLiteral("/busy.dat");
        QVERIFY(QDir().mkpath(name)); // a folder where the file should be
        DataWriter writer(limit);
        writer.setFileName(name);
        writer.write("lost");
        writer.write("lost too");
        QVERIFY(QFileInfo(name).isDir()); // not renamed as a part
        QCOMPARE(entries(tmp.path()), QStringList());
        QVERIFY(QDir().rmdir(name));
        writer.write("kept");
        QCOMPARE(readAll(name), QByteArray("kept"));
    }
};

QTEST_GUILESS_MAIN(tst_DataWriter)
#include "tst_DataWriter.moc"
