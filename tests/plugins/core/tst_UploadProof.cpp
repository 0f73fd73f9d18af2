#include <UploadProof.h>

#include <QtTest>

namespace {
constexpr qint64 kBlock = 2 * 1024 * 1024;
constexpr int kTimeoutMs = 3000;
} // namespace

// Each row is one run of a card's upload as the channel feeds it. A letter is a block taken with
// that content; upper and lower case of a letter share a fingerprint but differ whole. "+B",
// "+2B" or "+N" are bytes that came unasked (whole blocks or N bytes), "qMS" the card quiet that
// long since its last byte, "close", "stop", "timeout" and "fail" the run's end, "limitN" a file
// that holds only N blocks of the run, "unreadable" a file that cannot be read back.
class tst_UploadProof : public QObject
{
    Q_OBJECT

private slots:
    void verdictOfARun_data()
    {
        QTest::addColumn<QString>("disk");
        QTest::addColumn<QString>("run");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("kept");
        QTest::addColumn<bool>("complete");
        // Whether the channel is left waiting for quiet at the end of the row.
        QTest::addColumn<bool>("waits");
        QTest::addColumn<QString>("why");

        QTest::newRow("blocks all different") << ""
                                              << "abcd" << 4 << 4 << true << false << "";
        QTest::newRow("fingerprints alike, blocks different") << ""
                                                              << "aAbB" << 4 << 4 << true << false << "";
        QTest::newRow("resumed at the end") << "ab"
                                            << "" << 2 << 0 << true << false << "";
        QTest::newRow("equal blocks on the disk only") << "aab"
                                                       << "cd" << 5 << 2 << true << false << "";
        // A repeat proves its last block only by a whole time-out of quiet.
        QTest::newRow("equal pair, then quiet for the time-out") << ""
                                                                 << "abbc q3750" << 4 << 4 << true << false << "";
        // Never shorter than the time-out, and a quarter more for the card's clock.
        QTest::newRow("quiet wait 5 % short") << ""
                                              << "abbc q2853" << 4 << 2 << false << true << "数据块 2 与数据块 1 相同";
        QTest::newRow("quiet for the time-out only") << ""
                                                     << "abbc q3000" << 4 << 2 << false << true << "数据块 2 起";
        QTest::newRow("constant samples, quiet after the last") << ""
                                                                << "aaaa q3750" << 4 << 4 << true << false << "";
        // A surplus answer read as the next block, then the displaced last answer unasked.
        QTest::newRow("block before again, last answer within the time-out")
            << ""
            << "abbc +B q3750" << 4 << 2 << false << false << "数据块 2 与数据块 1 相同，数据块 2 起未经确认";
        QTest::newRow("block again on the last")
            << ""
            << "abcc +B q3750" << 4 << 3 << false << false << "数据块 3 与数据块 2 相同";
        QTest::newRow("block sent ahead, then again") << ""
                                                      << "abccd +B q3750" << 5 << 3 << false << false << "数据块 3 起";
        QTest::newRow("two repeats in a run") << ""
                                              << "abbcdd +2B q3750" << 6 << 2 << false << false << "数据块 2 起";
        QTest::newRow("stale older block")
            << ""
            << "abcdce +B q3750" << 6 << 4 << false << false << "数据块 4 与数据块 2 相同，数据块 4 起未经确认";
        QTest::newRow("fingerprints alike, then a real repeat")
            << ""
            << "aAa +B q3750" << 3 << 2 << false << false << "数据块 2 与数据块 0 相同";
        // Compared with the disk: the resume's first answer is the block before the resume point.
        QTest::newRow("resume answered first with the block before it")
            << "abcd"
            << "defg +B q3750" << 8 << 0 << false << false << "数据块 4 与数据块 3 相同，数据块 4 起未经确认";
        QTest::newRow("resume inside a stretch answered first with the block before it")
            << "aa"
            << "aa +B q3750" << 4 << 1 << false << false << "数据块 2 与数据块 1 相同，数据块 3 起未经确认";
        // Any other end after a repeat rolls back to it.
        QTest::newRow("repeat, then a late block") << ""
                                                   << "abbcd timeout" << 8 << 2 << false << false << "数据块 2 起";
        QTest::newRow("repeat, then a stop in the quiet wait")
            << ""
            << "abbc stop" << 4 << 2 << false << false << "数据块 2 起";
        QTest::newRow("repeat, then a close in the quiet wait")
            << ""
            << "abbc close" << 4 << 2 << false << false << "数据块 2 起";
        QTest::newRow("repeat, then the file fails") << ""
                                                     << "abbc limit3 fail" << 6 << 2 << false << false << "数据块 2 起";
        // A shift inside equal blocks writes the same bytes: only the stretch's last block goes.
        QTest::newRow("surplus inside equal blocks")
            << ""
            << "aaabcd +B q3750" << 6 << 2 << false << false << "数据块 1 与数据块 0 相同，数据块 2 起未经确认";
        QTest::newRow("two surplus blocks inside equal blocks")
            << ""
            << "aaabc +2B q3750" << 5 << 1 << false << false << "数据块 1 起";
        QTest::newRow("constant samples closing after the last block") << ""
                                                                       << "aaaa close" << 4 << 4 << true << false << "";
        QTest::newRow("constant samples resumed, closing after the last block")
            << "aa"
            << "aa close" << 4 << 2 << true << false << "";
        QTest::newRow("constant samples cut before the last block")
            << ""
            << "aaa close" << 5 << 2 << false << false << "数据块 2 起";
        QTest::newRow("constant samples stopped in the quiet wait")
            << ""
            << "aaaa stop" << 4 << 3 << false << false << "数据块 3 起";
        // Unasked bytes that are not whole blocks: a fragment may have shifted the whole run.
        QTest::newRow("fragment with a block") << ""
                                               << "ab +1000 q3750" << 5 << 0 << false << false
                                               << "收到未请求的数据 1000 字节，不是整块，本次上传的 2 个数据块无法确认";
        QTest::newRow("fragment before equal blocks, shown at the end")
            << ""
            << "aXYzz +1000 q3750" << 5 << 0 << false << false << "收到未请求的数据 1000 字节";
        QTest::newRow("fragment in the quiet wait") << ""
                                                    << "abbc +1000 q3750" << 4 << 0 << false << false << "不是整块";
        QTest::newRow("fragment after a whole surplus")
            << ""
            << "abbc +B +1000 q3750" << 4 << 0 << false << false << "不是整块";
        QTest::newRow("fragment found by a stop") << ""
                                                  << "abcd +1000 stop" << 4 << 0 << false << false << "不是整块";
        QTest::newRow("fragment, the quiet wait still running")
            << ""
            << "abcd +1000 q1000" << 4 << 0 << false << true << "不是整块";
        // Whole blocks unasked with no repeat never reached the file.
        QTest::newRow("last block answered twice") << ""
                                                   << "abcd +B q3750" << 4 << 4 << true << false << "";
        QTest::newRow("middle block answered twice") << ""
                                                     << "ab +B q3750" << 4 << 2 << false << false << "";
        // Ends with nothing wrong found keep what was taken.
        QTest::newRow("late block") << ""
                                    << "abc timeout" << 6 << 3 << false << false << "";
        QTest::newRow("stop with blocks to go") << ""
                                                << "ab stop" << 4 << 2 << false << false << "";
        QTest::newRow("card closed with blocks to go") << ""
                                                       << "ab close" << 4 << 2 << false << false << "";
        QTest::newRow("file holds fewer blocks than taken") << ""
                                                            << "abc limit1 fail" << 4 << 1 << false << false << "";
        QTest::newRow("file cannot be read back")
            << ""
            << "abcd unreadable" << 5 << 0 << false << false << "数据文件无法读回，本次上传的 4 个数据块无法确认";
    }
    void verdictOfARun()
    {
        QFETCH(QString, disk);
        QFETCH(QString, run);
        QFETCH(int, count);
        QFETCH(int, kept);
        QFETCH(bool, complete);
        QFETCH(bool, waits);
        QFETCH(QString, why);
        const int first = disk.size();
        QString content = disk;
        UploadProof proof(quint64(first), quint64(count), kBlock, kTimeoutMs);
        const auto fingerprint = [](QChar c) { return UploadProof::Fingerprint(c.toLower().unicode()); };
        const auto resolve = [&] {
            proof.resolve([&](quint64 b) { return fingerprint(content.at(int(b))); },
                          [&](quint64 a, quint64 b) { return content.at(int(a)) == content.at(int(b)); });
        };
        for (const QString& token : run.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (token.startsWith(QLatin1Char('+'))) {
                const QString n = token.mid(1);
                proof.unasked(n.endsWith(QLatin1Char('B')) ? qMax(1, n.chopped(1).toInt()) * kBlock : n.toLongLong());
            } else if (token.startsWith(QLatin1Char('q'))) {
                resolve();
                proof.quietFor(token.mid(1).toLongLong());
            } else if (token.startsWith(QStringLiteral("limit"))) {
                proof.keepAtMost(token.mid(5).toULongLong());
            } else if (token == QLatin1String("unreadable")) {
                proof.resolveUnreadable();
            } else if (token == QLatin1String("close") || token == QLatin1String("stop")
                       || token == QLatin1String("timeout") || token == QLatin1String("fail")) {
                resolve();
                proof.end(token == QLatin1String("close")  ? UploadProof::End::Closed
                          : token == QLatin1String("stop") ? UploadProof::End::Stopped
                          : token == QLatin1String("fail") ? UploadProof::End::Failed
                                                           : UploadProof::End::TimedOut);
            } else {
                for (const QChar c : token) {
                    content.append(c);
                    proof.blockTaken(fingerprint(c));
                }
                // The channel compares once every block is in.
                if (proof.allTaken())
                    resolve();
            }
        }
        resolve();
        QCOMPARE(proof.waitsForQuiet(), waits);
        QCOMPARE(int(proof.kept()), kept);
        QCOMPARE(proof.complete(), complete);
        if (why.isEmpty())
            QCOMPARE(proof.shortfall().toString(), QString());
        else
            QVERIFY2(proof.shortfall().toString().contains(why), qPrintable(proof.shortfall().toString()));
    }

    void fingerprintSeesHeadAndTail()
    {
        QByteArray a(int(kBlock), 'x');
        QByteArray b = a;
        const UploadProof::Fingerprint same = UploadProof::fingerprint(a.constData(), a.size());
        QCOMPARE(UploadProof::fingerprint(b.constData(), b.size()), same);
        b[int(kBlock) - 1] = 'y';
        QVERIFY(UploadProof::fingerprint(b.constData(), b.size()) != same);
        b = a;
        b[7] = 'y';
        QVERIFY(UploadProof::fingerprint(b.constData(), b.size()) != same);
        // What a file gives back: the two samples read apart.
        QCOMPARE(UploadProof::fingerprint(a.constData(), a.constData() + kBlock - UploadProof::kSampleBytes,
                                          UploadProof::kSampleBytes),
                 same);
    }
};

QTEST_GUILESS_MAIN(tst_UploadProof)
#include "tst_UploadProof.moc"
