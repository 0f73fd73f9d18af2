#include <QMemorySectionSetting.h>
#include <RecordEx.h>

#include <QtTest>

namespace {
const char* const kDefaultText = "[LocalData]\n"
                                 "\n"
                                 "[Record]\n"
                                 "Name=0\n"
                                 "StartTime=0\n"
                                 "Duration=0\n"
                                 "Size=0\n"
                                 "Available=0\n"
                                 "Type=0\n"
                                 "Bit=0\n"
                                 "TrigMode=0\n"
                                 "Remark=\n"
                                 "Cnt=0\n"
                                 "Bandwidth=0\n"
                                 "SampleRate=0\n"
                                 "FreqNum=0\n"
                                 "\n";
} // namespace

class tst_RecordEx : public QObject
{
    Q_OBJECT

private slots:
    void defaults()
    {
        RecordEx r;
        QCOMPARE(r.toString(), QString::fromLatin1(kDefaultText));
        QCOMPARE(r.RecordValue("Name").toString(), QStringLiteral("0"));
        QCOMPARE(r.RecordValue("Name").toUInt(), 0u);
        QCOMPARE(r.RecordValue("Remark", "x").toString(), QString());
        QCOMPARE(r.RecordValue("DownloadName", 0).toUInt(), 0u);
        QVERIFY(!r.RecordValue("DownloadName").isValid());
        QCOMPARE(r.LocalValue("SingleTransSize", 7).toInt(), 7);
        QCOMPARE(r.keyCollisionMode(), QMemorySetting::COLLISION_REPLACE);
        QVERIFY(!r.parent());

        r.SetRecordValue("Name", 1700000000u);
        r.SetRecordValue("Remark", QStringLiteral("外场测试"));
        r.SetRecordValue("DownloadName", 1700000123u);
        QCOMPARE(r.RecordValue("Name").toUInt(), 1700000000u);
        QCOMPARE(r.allKeys("Record").first(), QStringLiteral("Name"));
        QCOMPARE(r.allKeys("Record").last(), QStringLiteral("DownloadName"));
        QCOMPARE(r.getSectionValue("Record", "Remark").toString(), QStringLiteral("外场测试"));

        r.InitDefaults();
        QCOMPARE(r.toString(), QString::fromLatin1(kDefaultText));
    }

    void parsedTextGainsLocalData()
    {
        RecordEx r;
        r.parseBufferContent(QStringLiteral("[Record]\nName=42\nTrigMode=3\nCnt=9\nSampleRate=40000000\n"));
        r.BuildIndex();
        QCOMPARE(r.toString(), QStringLiteral("[LocalData]\n\n[Record]\nName=42\nTrigMode=3\nCnt=9\n"
                                              "SampleRate=40000000\n\n"));
        QCOMPARE(r.RecordValue("Name").toUInt(), 42u);
        QCOMPARE(r.RecordValue("Duration", "missing").toString(), QStringLiteral("missing"));

        RecordEx fromLocal;
        fromLocal.parseBufferContent(QStringLiteral("[LocalData]\nSingleTransSize=2\n"));
        fromLocal.BuildIndex();
        QVERIFY(fromLocal.existSection("Record"));
        QCOMPARE(fromLocal.LocalValue("SingleTransSize").toInt(), 2);
    }

    void copyIsIndependent()
    {
        RecordEx src;
        src.SetRecordValue("Name", 5u);
        src.setSectionValue("Card0", "UploadNum", 3);
        src.setSectionValue("LocalData", "NumOfBoards", 1);

        RecordEx copy(src);
        QCOMPARE(copy.toString(), src.toString());
        copy.SetRecordValue("Name", 6u);
        copy.setSectionValue("LocalData", "NumOfBoards", 2);
        QCOMPARE(copy.RecordValue("Name").toUInt(), 6u);
        QCOMPARE(copy.LocalValue("NumOfBoards").toInt(), 2);
        QCOMPARE(src.RecordValue("Name").toUInt(), 5u);
        QCOMPARE(src.LocalValue("NumOfBoards").toInt(), 1);

        RecordEx assigned;
        assigned = src;
        QCOMPARE(assigned.toString(), src.toString());
        assigned.SetRecordValue("Size", 100u);
        QCOMPARE(src.RecordValue("Size").toUInt(), 0u);

        // Assigning a bare store (an instrument reply, say) rebuilds both sections.
        const QMemorySetting reply(QStringLiteral("[Record]\nName=9\n[Card0]\nExtra=x\n"),
                                   QMemorySetting::COLLISION_REPLACE);
        assigned = reply;
        QCOMPARE(assigned.toString(), QStringLiteral("[Card0]\nExtra=x\n\n[LocalData]\n\n[Record]\nName=9\n\n"));
        assigned.SetRecordValue("Name", 10u);
        QCOMPARE(assigned.RecordValue("Name").toUInt(), 10u);

        const QVariant v = QVariant::fromValue(src);
        QCOMPARE(v.value<RecordEx>().toString(), src.toString());
    }

    void available_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("value");
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("false") << "false" << false;
        QTest::newRow("true") << "true" << true;
    }

    void available()
    {
        QFETCH(QString, text);
        QFETCH(bool, value);
        RecordEx r;
        r.parseBufferContent("[Record]\nName=1\nAvailable=" + text + "\n");
        r.BuildIndex();
        QCOMPARE(r.RecordValue("Available").toBool(), value);
        r.SetRecordValue("Available", value);
        QCOMPARE(r.RecordValue("Available").toString(), value ? QStringLiteral("true") : QStringLiteral("false"));
    }

    void bandsAndCardsInNameOrder()
    {
        RecordEx r;
        r.SetRecordValue("Name", 1700000000u);
        r.SetRecordValue("FreqNum", 3);
        const quint32 bands[] = {1, 12, 7};
        for (int j = 1; j <= 3; ++j)
            r[QStringLiteral("Freq%1").arg(j)]["Num"] = bands[j - 1];
        r.setSectionValue("LocalData", "SingleTransSize", 2);
        r.setSectionValue("LocalData", "NumOfBoards", 2);
        r.setSectionValue("LocalData", "TotalUploadedSize", Q_UINT64_C(6291456));
        r.setSectionValue("LocalData", "TotalDownoadedSize", 0);
        for (int i = 0; i < 2; ++i) {
            QMemorySectionSetting card = r[QStringLiteral("Card%1").arg(i)];
            card["UploadNum"] = i + 1;
            card["DownloadNum"] = 0;
            card["UploadSize"] = quint64(i + 1) * 2097152;
            card["DownloadSize"] = 0;
        }
        QCOMPARE(
            r.toString(),
            QStringLiteral(
                "[Card0]\nUploadNum=1\nDownloadNum=0\nUploadSize=2097152\nDownloadSize=0\n\n"
                "[Card1]\nUploadNum=2\nDownloadNum=0\nUploadSize=4194304\nDownloadSize=0\n\n"
                "[Freq1]\nNum=1\n\n[Freq2]\nNum=12\n\n[Freq3]\nNum=7\n\n"
                "[LocalData]\nSingleTransSize=2\nNumOfBoards=2\nTotalUploadedSize=6291456\nTotalDownoadedSize=0\n\n"
                "[Record]\nName=1700000000\nStartTime=0\nDuration=0\nSize=0\nAvailable=0\nType=0\nBit=0\n"
                "TrigMode=0\nRemark=\nCnt=0\nBandwidth=0\nSampleRate=0\nFreqNum=3\n\n"));

        RecordEx back;
        back.parseBufferContent(r.toByteArray());
        back.BuildIndex();
        QCOMPARE(back.toString(), r.toString());
        QCOMPARE(back.LocalValue("TotalUploadedSize").toULongLong(), Q_UINT64_C(6291456));
    }

    void cacheSurvivesSectionRemoval()
    {
        RecordEx r;
        r.setSectionValue("LocalData", "NumOfBoards", 1);
        QVERIFY(r.removeSection("Record"));
        QVERIFY(r.removeSection("LocalData"));
        QCOMPARE(r.RecordValue("Name", "gone").toString(), QStringLiteral("gone"));
        QCOMPARE(r.LocalValue("NumOfBoards", -1).toInt(), -1);
        r.SetRecordValue("Name", 8u); // rebuilds its index instead of writing into freed lists
        QCOMPARE(r.getSectionValue("Record", "Name").toUInt(), 8u);
        QVERIFY(r.existSection("LocalData"));

        QVERIFY(r.renameSection("Record", "Old"));
        r.SetRecordValue("Name", 9u);
        QCOMPARE(r.getSectionValue("Old", "Name").toUInt(), 8u);
        QCOMPARE(r.RecordValue("Name").toUInt(), 9u);

        r.clearAll();
        r.SetRecordValue("Name", 10u);
        QCOMPARE(r.toString(), QStringLiteral("[LocalData]\n\n[Record]\nName=10\n\n"));
    }
};

QTEST_GUILESS_MAIN(tst_RecordEx)
#include "tst_RecordEx.moc"
