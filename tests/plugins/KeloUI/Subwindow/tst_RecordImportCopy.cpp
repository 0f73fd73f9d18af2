#include "LocalRecordFiles.h"

#include <UiTestSupport.h>

#include <QMemorySetting.h>
#include <RecordEx.h>
#include <RecordImportCopy.h>

#include <QtTest>

#include <memory>

using LocalRecordFiles::kMiB;

namespace {
// Bytes that differ at every offset within a few MiB, so a shifted or repeated chunk shows.
QByteArray pattern(qint64 length, int seed)
{
    QByteArray out(int(length), Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i)
        out[int(i)] = char((i * 131 + i / 4093 + seed * 7) & 0xFF);
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
} // namespace

class tst_RecordImportCopy : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    QString m_base;
    QString m_sources;

    QString recordData(const QString& device = QStringLiteral("DEV1")) const
    {
        return m_base + QLatin1Char('/') + device + QStringLiteral("/RecordData");
    }
    static RecordEx description(quint32 name, quint32 sizeMiB)
    {
        RecordEx r;
        r.SetRecordValue(QStringLiteral("Name"), name);
        r.SetRecordValue(QStringLiteral("StartTime"), name);
        r.SetRecordValue(QStringLiteral("Size"), sizeMiB);
        r.BuildIndex();
        return r;
    }
    // Runs one job to its end; the result, and the progress values seen.
    static bool run(RecordImportCopy& job, QList<int>* progress = nullptr)
    {
        QueuedSignalSpy result(&job, &RecordImportCopy::CopyResult);
        QueuedSignalSpy update(&job, &RecordImportCopy::ProcessUpdate);
        job.start();
        if (!UiTest::waitCount(result, 1, 60000))
            return false;
        job.wait();
        if (progress) {
            for (const auto& args : update)
                *progress << args.at(0).toInt();
        }
        return result.first().at(0).toBool();
    }
    QString source(const QString& name) const { return m_sources + QLatin1Char('/') + name; }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        m_base = m_app->root() + QStringLiteral("/data");
        m_sources = m_app->root() + QStringLiteral("/sources");
    }
    void init()
    {
        QDir(m_base).removeRecursively();
        QDir(m_sources).removeRecursively();
        QVERIFY(QDir().mkpath(m_base));
        QVERIFY(QDir().mkpath(m_sources));
    }

    void informationFileIsTheDescriptionUnderTheNextFreeName()
    {
        QVERIFY(QDir().mkpath(recordData() + QStringLiteral("/1700000000")));
        QVERIFY(QDir().mkpath(recordData() + QStringLiteral("/1700000001")));
        QVERIFY(writeFile(source("a.dat"), QByteArray(10, 'a')));
        RecordEx r;
        r.InitDefaults();
        r.SetRecordValue(QStringLiteral("Name"), 1700000000u);
        r.SetRecordValue(QStringLiteral("StartTime"), 1700000000u);
        r.SetRecordValue(QStringLiteral("Size"), 2);
        r.SetRecordValue(QStringLiteral("Remark"), QStringLiteral("天线[1]"));
        r.setSectionValue(QStringLiteral("LocalData"), QStringLiteral("NumOfBoards"), 1);
        r.BuildIndex();
        RecordImportCopy job;
        job.setRecord(r);
        job.setFiles({source("a.dat")});
        job.setStore(m_base, QStringLiteral("DEV1"));
        QVERIFY(run(job));

        const QString folder = recordData() + QStringLiteral("/1700000002");
        QCOMPARE(job.recordFolder(), folder);
        // Readable by others, as the folders an upload makes, not private as it was while built.
        QVERIFY(QFileInfo(folder).permissions().testFlag(QFileDevice::ReadOther));
        QCOMPARE(LocalRecordFiles::readAll(folder + QStringLiteral("/1700000002.wdi")),
                 QByteArray("[LocalData]\nNumOfBoards=1\n\n"
                            "[Record]\nName=1700000002\nStartTime=1700000000\nDuration=0\nSize=2\nAvailable=0\n"
                            "Type=0\nBit=0\nTrigMode=0\nRemark=天线\\[1\\]\nCnt=0\nBandwidth=0\nSampleRate=0\n"
                            "FreqNum=0\n\n"));
        // The two folders that were there are untouched, and nothing else appeared.
        QCOMPARE(LocalRecordFiles::tree(recordData()),
                 (QStringList{"1700000000/", "1700000001/", "1700000002/", "1700000002/1700000002.wdi",
                              "1700000002/1700000002_0.wdd"}));
    }

    void eachCardFileHoldsExactlyItsShare_data()
    {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("second");
        // Size 4 over two files: 2 MiB per card.
        QTest::newRow("empty source gives zeros") << 0ll << 2 * kMiB;
        QTest::newRow("longer source is cut") << 5 * kMiB + 7 << 2 * kMiB;
        QTest::newRow("shorter source is padded") << kMiB + 3 << 2 * kMiB - 1;
        QTest::newRow("exact") << 2 * kMiB << 2 * kMiB;
    }
    void eachCardFileHoldsExactlyItsShare()
    {
        QFETCH(qint64, first);
        QFETCH(qint64, second);
        const QByteArray a = pattern(first, 1);
        const QByteArray b = pattern(second, 2);
        QVERIFY(writeFile(source("a.dat"), a));
        QVERIFY(writeFile(source("b.dat"), b));
        RecordImportCopy job;
        job.setRecord(description(1700000100, 4));
        job.setFiles({source("a.dat"), source("b.dat")});
        job.setStore(m_base, QStringLiteral("DEV1"));
        QVERIFY(run(job));
        const qint64 p = 2 * kMiB;
        int k = 0;
        for (const QByteArray& src : {a, b}) {
            const QByteArray out =
                LocalRecordFiles::readAll(recordData() + QStringLiteral("/1700000100/1700000100_%1.wdd").arg(k++));
            QCOMPARE(qint64(out.size()), p);
            const int kept = int(qMin<qint64>(p, src.size()));
            QVERIFY(out.left(kept) == src.left(kept));
            QVERIFY(out.mid(kept) == QByteArray(int(p) - kept, '\0'));
        }
        QVERIFY(QFile::exists(source("a.dat")));
        QVERIFY(QFile::exists(source("b.dat")));
    }

    void twoFilesHoldHalfTheSizeEach()
    {
        QFile big(source("big.dat"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(15 * kMiB));
        big.close();
        QVERIFY(writeFile(source("small.dat"), QByteArray(100, 'x')));
        RecordImportCopy job;
        job.setRecord(description(1700000200, 20));
        job.setFiles({source("big.dat"), source("small.dat")});
        job.setStore(m_base, QStringLiteral("DEV1"));
        QVERIFY(run(job));
        for (int k = 0; k < 2; ++k) {
            QCOMPARE(QFileInfo(recordData() + QStringLiteral("/1700000200/1700000200_%1.wdd").arg(k)).size(),
                     10 * kMiB);
        }
    }

    void progressRisesPerChunkAndPerFile_data()
    {
        QTest::addColumn<QList<qint64>>("sources");
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("expected");
        // 10 MiB in chunks of 4, 4 and 2 MiB.
        QTest::newRow("one file") << QList<qint64>{10 * kMiB} << 10 << QList<int>{0, 40, 80, 100, 100, 100};
        QTest::newRow("two files of one chunk")
            << QList<qint64>{4 * kMiB, 4 * kMiB} << 8 << QList<int>{0, 50, 50, 100, 100, 100};
        QTest::newRow("empty second file") << QList<qint64>{2 * kMiB, 0} << 4 << QList<int>{0, 50, 50, 100, 100};
    }
    void progressRisesPerChunkAndPerFile()
    {
        QFETCH(QList<qint64>, sources);
        QFETCH(int, size);
        QFETCH(QList<int>, expected);
        QStringList files;
        for (int i = 0; i < sources.size(); ++i) {
            files << source(QStringLiteral("%1.dat").arg(i));
            QFile f(files.last());
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(sources[i]));
        }
        RecordImportCopy job;
        job.setRecord(description(1700000300, quint32(size)));
        job.setFiles(files);
        job.setStore(m_base, QStringLiteral("DEV1"));
        QList<int> progress;
        QVERIFY(run(job, &progress));
        QCOMPARE(progress, expected);
    }

    void sourcesAreDeletedOnlyWhenAskedAndDone_data()
    {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<QStringList>("kept");
        // Size 2 over two files: 1 MiB per card.
        QTest::newRow("sources within their share") << qint64(10) << QStringList{};
        QTest::newRow("source cut at its share stays") << kMiB + 1 << QStringList{"a.dat"};
    }
    void sourcesAreDeletedOnlyWhenAskedAndDone()
    {
        QFETCH(qint64, first);
        QFETCH(QStringList, kept);
        const QByteArray a = pattern(first, 5);
        QVERIFY(writeFile(source("a.dat"), a));
        QVERIFY(writeFile(source("b.dat"), QByteArray(10, 'b')));
        RecordImportCopy job;
        job.setRecord(description(1700000400, 2));
        job.setFiles({source("a.dat"), source("b.dat")});
        job.setStore(m_base, QStringLiteral("DEV1"));
        job.setDeleteSources(true);
        QVERIFY(run(job));
        QStringList left;
        for (const QString& name : {QStringLiteral("a.dat"), QStringLiteral("b.dat")}) {
            if (QFile::exists(source(name)))
                left << name;
        }
        QCOMPARE(left, kept);
        QStringList keptPaths;
        for (const QString& name : kept)
            keptPaths << source(name);
        QCOMPARE(job.keptSources(), keptPaths);
        if (!kept.isEmpty())
            QVERIFY(LocalRecordFiles::readAll(source("a.dat")) == a);
        QVERIFY(QFile::exists(recordData() + QStringLiteral("/1700000400/1700000400_1.wdd")));
    }

    void failedCopyLeavesStoreAndSourcesAsTheyWere_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("device");
        QTest::addColumn<quint32>("size");
        QTest::newRow("second source missing") << "missing.dat"
                                               << "DEV1" << 8u;
        QTest::newRow("second source is a folder") << "folder"
                                                   << "DEV1" << 8u;
        QTest::newRow("no device and no store folder") << "b.dat"
                                                       << "" << 8u;
        // Nothing of the sources would be in the record.
        QTest::newRow("record of size 0") << "b.dat"
                                          << "DEV1" << 0u;
    }
    void failedCopyLeavesStoreAndSourcesAsTheyWere()
    {
        QFETCH(QString, second);
        QFETCH(QString, device);
        QFETCH(quint32, size);
        QVERIFY(writeFile(source("a.dat"), pattern(3 * kMiB, 3)));
        QVERIFY(writeFile(source("b.dat"), pattern(3 * kMiB, 4)));
        QVERIFY(QDir().mkpath(source("folder")));
        // An existing record, which must stay as it is.
        LocalRecordFiles::StoredRecord old;
        old.name = 1700000500;
        old.cardBytes = {kMiB};
        QVERIFY(LocalRecordFiles::write(recordData(QStringLiteral("DEV1")), old));
        if (device.isEmpty())
            QVERIFY(
                QDir(m_base + QStringLiteral("/DEV1")).rename(QStringLiteral("RecordData"), QStringLiteral("Kept")));
        const QStringList before = LocalRecordFiles::tree(m_base);
        const QStringList sourcesBefore = LocalRecordFiles::tree(m_sources);

        RecordImportCopy job;
        job.setRecord(description(1700000500, size));
        job.setFiles({source("a.dat"), source(second)});
        job.setStore(m_base, device);
        job.setDeleteSources(true);
        QVERIFY(!run(job));
        QCOMPARE(LocalRecordFiles::tree(m_base), before);
        QCOMPARE(LocalRecordFiles::tree(m_sources), sourcesBefore);
        QVERIFY(job.recordFolder().isEmpty());
    }

    void storeFolderIsFoundOrMadeSafely_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("folder");
        QTest::newRow("identifier with path characters") << "../../x:y"
                                                         << ".._.._x_y";
        QTest::newRow("no identifier takes the first store") << ""
                                                             << "BBB";
    }
    void storeFolderIsFoundOrMadeSafely()
    {
        QFETCH(QString, device);
        QFETCH(QString, folder);
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/AAA")));
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/BBB/RecordData")));
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/CCC/RecordData")));
        QVERIFY(writeFile(source("a.dat"), QByteArray(10, 'a')));
        RecordImportCopy job;
        job.setRecord(description(1700000600, 2));
        job.setFiles({source("a.dat")});
        job.setStore(m_base, device);
        QVERIFY(run(job));
        QCOMPARE(job.recordFolder(), m_base + QLatin1Char('/') + folder + QStringLiteral("/RecordData/1700000600"));
        QVERIFY(!QFileInfo::exists(m_app->root() + QStringLiteral("/x_y")));
    }

    void stoppedCopyRemovesWhatItWrote()
    {
        QFile big(source("big.dat"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(1024 * kMiB));
        big.close();
        QVERIFY(QDir().mkpath(recordData()));
        auto job = std::make_unique<RecordImportCopy>();
        job->setRecord(description(1700000700, 1024));
        job->setFiles({source("big.dat")});
        job->setStore(m_base, QStringLiteral("DEV1"));
        QueuedSignalSpy update(job.get(), &RecordImportCopy::ProcessUpdate);
        job->start();
        QVERIFY(UiTest::waitCount(update, 2));
        job.reset(); // the window goes while a copy runs
        QCOMPARE(LocalRecordFiles::tree(recordData()), QStringList());
    }
};

QTEST_MAIN(tst_RecordImportCopy)
#include "tst_RecordImportCopy.moc"
