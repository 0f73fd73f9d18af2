#include <UploadProof.h>

#include <QtTest>

namespace {
constexpr qint64 kBlock = 2 * 1024 * 1024;
constexpr int kTimeoutMs = 3000;
} // namespace

// Each row is one run of a card's upload as the channel feeds it. A letter is a block taken with
// that content (asked for, unless a request is owed already); upper and lower case of a letter
// share a fingerprint but differ whole, and a block of the disk "?" has no fingerprint. "ask" is a
// request sent and not yet answered, "+de" whole blocks that came unasked, "+N" N bytes, "qMS" the
// card quiet that long since its last byte, "close" its close, "stop", "timeout" and "fail" why
// the run asks for nothing more, "overdue" the wait for the stream's end given up, "limitN" a
// file that holds only N blocks of the run, "unreadable" a file that cannot be read back.
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
        // Unasked whole blocks / how many of them the repeats found explain.
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("why");

        QTest::newRow("blocks all different, then quiet") << ""
                                                          << "abcd q3750" << 4 << 4 << true << false << "0/0"
                                                          << "";
        QTest::newRow("fingerprints alike, blocks different") << ""
                                                              << "aAbB q3750" << 4 << 4 << true << false << "0/0"
                                                              << "";
        QTest::newRow("resumed at the end") << "ab"
                                            << "" << 2 << 0 << true << false << "0/0"
                                            << "";
        QTest::newRow("equal blocks on the disk only") << "aab"
                                                       << "cd q3750" << 5 << 2 << true << false << "0/0"
                                                       << "";
        // Nothing of a run counts before its stream has ended: quiet for a time-out and a quarter.
        QTest::newRow("last block in, card not yet quiet") << ""
                                                           << "abcd" << 4 << 0 << false << true << "0/0"
                                                           << "未静默 3750 ms 即结束，本次上传的 4 个数据块无法确认";
        QTest::newRow("blocks all different, quiet wait 5 % short") << ""
                                                                    << "abcd q3562" << 4 << 0 << false << true << "0/0"
                                                                    << "未静默 3750 ms";
        // A stop asks for nothing more; the wait for the stream's end goes on.
        QTest::newRow("blocks all different, stopped in the quiet wait")
            << ""
            << "abcd stop" << 4 << 0 << false << true << "0/0"
            << "未静默 3750 ms";
        QTest::newRow("blocks all different, stopped in the quiet wait, then quiet")
            << ""
            << "abcd stop q3750" << 4 << 4 << true << false << "0/0"
            << "";
        // Or by its close: the connection keeps order, a surplus would have come before it.
        QTest::newRow("blocks all different, closed after the last") << ""
                                                                     << "abcd close" << 4 << 4 << true << false << "0/0"
                                                                     << "";
        // A stream of exactly the blocks asked for holds no surplus, equal blocks or not.
        QTest::newRow("equal pair, then quiet for the time-out") << ""
                                                                 << "abbc q3750" << 4 << 4 << true << false << "0/0"
                                                                 << "";
        QTest::newRow("quiet wait 5 % short") << ""
                                              << "abbc q2853" << 4 << 0 << false << true << "0/0"
                                              << "未静默";
        QTest::newRow("quiet for the time-out only") << ""
                                                     << "abbc q3000" << 4 << 0 << false << true << "0/0"
                                                     << "未静默";
        QTest::newRow("constant samples, quiet after the last") << ""
                                                                << "aaaa q3750" << 4 << 4 << true << false << "0/0"
                                                                << "";
        // A surplus answer read as the next block, then the displaced last answer unasked.
        QTest::newRow("block before again, last answer within the time-out")
            << ""
            << "abbc +d q3750" << 4 << 2 << false << false << "1/1"
            << "数据块 2 与数据块 1 相同，数据块 2 起未经确认";
        QTest::newRow("block again on the last") << ""
                                                 << "abcc +d q3750" << 4 << 3 << false << false << "1/1"
                                                 << "数据块 3 与数据块 2 相同";
        QTest::newRow("block answered twice, then the next") << ""
                                                             << "abccd +e q3750" << 5 << 3 << false << false << "1/1"
                                                             << "数据块 3 起";
        QTest::newRow("two repeats in a run") << ""
                                              << "abbcdd +ef q3750" << 6 << 2 << false << false << "2/2"
                                              << "数据块 2 起";
        // Equal to a block of the run that is not its neighbour: the earlier copy may be a block
        // sent ahead, so the run goes back to it.
        QTest::newRow("stale older block") << ""
                                           << "abcdce +f q3750" << 6 << 2 << false << false << "1/1"
                                           << "数据块 4 与数据块 2 相同，数据块 2 起未经确认";
        QTest::newRow("block 5 sent ahead of block 4") << ""
                                                       << "abcdfefg +h q3750" << 8 << 4 << false << false << "1/1"
                                                       << "数据块 6 与数据块 4 相同，数据块 4 起未经确认";
        QTest::newRow("block sent ahead, the one asked for unasked after it")
            << ""
            << "abcdf +e q3750" << 6 << 0 << false << false << "1/0"
            << "与此前的数据块都不同";
        QTest::newRow("fingerprints alike, then a real repeat") << ""
                                                                << "aAa +x q3750" << 3 << 0 << false << false << "1/1"
                                                                << "数据块 2 与数据块 0 相同";
        // Compared with the disk: the resume's first answer is the block before the resume point.
        QTest::newRow("resume answered first with the block before it")
            << "abcd"
            << "defg +h q3750" << 8 << 0 << false << false << "1/1"
            << "数据块 4 与数据块 3 相同，数据块 4 起未经确认";
        QTest::newRow("resume answered first with an older block")
            << "abcd"
            << "befg +h q3750" << 8 << 0 << false << false << "1/1"
            << "数据块 4 与数据块 1 相同";
        QTest::newRow("resume inside a stretch answered first with the block before it")
            << "aa"
            << "aa +b q3750" << 4 << 1 << false << false << "1/1"
            << "数据块 2 与数据块 1 相同，数据块 3 起未经确认";
        // Whose fingerprint is unknown (a data file that cannot be read back): it may be what any
        // block repeats, so only an exact stream stands over it.
        QTest::newRow("disk block of unknown fingerprint") << "a?cd"
                                                           << "ef q3750" << 6 << 2 << true << false << "0/0"
                                                           << "";
        QTest::newRow("disk block of unknown fingerprint, a surplus explained later")
            << "a?cd"
            << "bfgh +h q3750" << 8 << 0 << false << false << "1/1"
            << "无法比较";
        QTest::newRow("stale block of unknown fingerprint, one ahead, last block twice")
            << "a?cd"
            << "befg +hh q3750" << 8 << 0 << false << false << "2/1"
            << "与此前的数据块都不同";
        // Any other end after a repeat rolls back to it, once the stream has ended.
        QTest::newRow("repeat, then a late block") << ""
                                                   << "abbcd ask timeout q3750" << 8 << 2 << false << false << "0/0"
                                                   << "数据块 2 起";
        QTest::newRow("repeat, then a late block, card never quiet")
            << ""
            << "abbcd ask timeout" << 8 << 0 << false << true << "0/0"
            << "未静默";
        QTest::newRow("repeat, then a stop in the quiet wait, then quiet")
            << ""
            << "abbc stop q3750" << 4 << 4 << true << false << "0/0"
            << "";
        QTest::newRow("repeat, then a close after the last") << ""
                                                             << "abbc close" << 4 << 4 << true << false << "0/0"
                                                             << "";
        QTest::newRow("repeat, then the file fails")
            << ""
            << "abbc ask limit3 fail q3750" << 6 << 2 << false << false << "0/0"
            << "数据块 2 起";
        // A shift inside equal blocks writes the same bytes: only the stretch's last block goes.
        QTest::newRow("surplus inside equal blocks") << ""
                                                     << "aaabcd +e q3750" << 6 << 2 << false << false << "1/1"
                                                     << "数据块 1 与数据块 0 相同，数据块 2 起未经确认";
        QTest::newRow("two surplus blocks inside equal blocks")
            << ""
            << "aaabc +de q3750" << 5 << 1 << false << false << "2/2"
            << "数据块 1 起";
        QTest::newRow("constant samples answered once too often") << ""
                                                                  << "aaaa +a q3750" << 4 << 4 << true << false << "1/1"
                                                                  << "";
        QTest::newRow("constant samples closing after the last block")
            << ""
            << "aaaa close" << 4 << 4 << true << false << "0/0"
            << "";
        QTest::newRow("constant samples resumed, closing after the last block")
            << "aa"
            << "aa close" << 4 << 2 << true << false << "0/0"
            << "";
        QTest::newRow("constant samples cut before the last block")
            << ""
            << "aaa ask close" << 5 << 2 << false << false << "0/0"
            << "数据块 2 起";
        QTest::newRow("constant samples stopped in the quiet wait, then quiet")
            << ""
            << "aaaa stop q3750" << 4 << 4 << true << false << "0/0"
            << "";
        // Unasked bytes that are not whole blocks: a fragment may have shifted the whole run.
        QTest::newRow("fragment with a block") << ""
                                               << "ab +1000 q3750" << 5 << 0 << false << false << "0/0"
                                               << "收到未请求的数据 1000 字节，不是整块，本次上传的 2 个数据块无法确认";
        QTest::newRow("fragment before equal blocks, shown at the end")
            << ""
            << "aXYzz +1000 q3750" << 5 << 0 << false << false << "0/0"
            << "收到未请求的数据 1000 字节";
        QTest::newRow("fragment in the quiet wait") << ""
                                                    << "abbc +1000 q3750" << 4 << 0 << false << false << "0/0"
                                                    << "不是整块";
        QTest::newRow("fragment after a whole surplus") << ""
                                                        << "abbc +d +1000 q3750" << 4 << 0 << false << false << "1/1"
                                                        << "不是整块";
        QTest::newRow("fragment found by a stop") << ""
                                                  << "abcd +1000 stop" << 4 << 0 << false << true << "0/0"
                                                  << "不是整块";
        QTest::newRow("fragment, the quiet wait still running")
            << ""
            << "abcd +1000 q1000" << 4 << 0 << false << true << "0/0"
            << "不是整块";
        // Fragments that add up to a block on the stream's boundary make a block of mixed bytes.
        QTest::newRow("fragments adding up to a block")
            << ""
            << "abX +1000 +2096152 q3750" << 5 << 0 << false << false << "1/0"
            << "与此前的数据块都不同";
        QTest::newRow("more unasked than the wait takes")
            << ""
            << "abcd +abcdabcdabcdabcdd fail" << 4 << 0 << false << false << "17/17"
            << "超过 16 块";
        // Unasked whole blocks that no repeat explains: the surplus may be anywhere.
        QTest::newRow("last block answered twice") << ""
                                                   << "abcd +d q3750" << 4 << 4 << true << false << "1/1"
                                                   << "";
        QTest::newRow("middle block answered twice") << ""
                                                     << "ab +b q3750" << 4 << 2 << false << false << "1/1"
                                                     << "";
        QTest::newRow("block of another record before the last")
            << ""
            << "abcx +d q3750" << 4 << 0 << false << false << "1/0"
            << "收到未请求的整块数据 1 块，重复的数据块只说明其中 0 块，其余与此前的数据块都不同，本次上传的 4 "
               "个数据块无法确认";
        QTest::newRow("stale block before block 0 of a fresh start")
            << ""
            << "zabc +d close" << 4 << 0 << false << false << "1/0"
            << "与此前的数据块都不同";
        QTest::newRow("surplus without a repeat in the middle") << ""
                                                                << "ab +x q3750" << 4 << 0 << false << false << "1/0"
                                                                << "与此前的数据块都不同";
        // One answer ahead after a block that equals nothing (an empty one, or another record's),
        // with a repeat elsewhere: the repeat explains one surplus block, not every one.
        QTest::newRow("empty block for block 4, one ahead, last block twice")
            << ""
            << "abcdxefg +hh q3750" << 8 << 0 << false << false << "2/1"
            << "与此前的数据块都不同";
        QTest::newRow("empty block before block 0, one ahead, last block twice")
            << ""
            << "xabcdefg +hh q3750" << 8 << 0 << false << false << "2/1"
            << "与此前的数据块都不同";
        QTest::newRow("empty block for block 4, one ahead, block 5 twice")
            << ""
            << "abcdxeff +gh q3750" << 8 << 0 << false << false << "2/1"
            << "其余与此前的数据块都不同";
        QTest::newRow("two empty blocks for block 4, two ahead")
            << ""
            << "abcdxxef +gh q3750" << 8 << 0 << false << false << "2/1"
            << "其余与此前的数据块都不同";
        // Ends other than the stream's own: the answer owed to the last request is taken, and
        // what comes after it is unasked.
        QTest::newRow("late block") << ""
                                    << "abc ask timeout q3750" << 6 << 3 << false << false << "0/0"
                                    << "";
        QTest::newRow("late block, card never quiet") << ""
                                                      << "abc ask timeout" << 6 << 0 << false << true << "0/0"
                                                      << "未静默";
        QTest::newRow("late block answered in the wait, then a block ahead")
            << ""
            << "abcdxefg ask timeout h +i q3750" << 12 << 0 << false << false << "1/0"
            << "与此前的数据块都不同";
        // Kept 2 before: a stop that is not followed to the stream's end keeps nothing of the run.
        QTest::newRow("stop with blocks to go") << ""
                                                << "ab ask stop" << 4 << 0 << false << true << "0/0"
                                                << "未静默";
        QTest::newRow("stop with blocks to go, then quiet") << ""
                                                            << "ab ask stop q3750" << 4 << 2 << false << false << "0/0"
                                                            << "";
        QTest::newRow("stop with blocks to go, the answer owed, then quiet")
            << ""
            << "abcdefgh ask stop i q3750" << 12 << 9 << false << false << "0/0"
            << "";
        QTest::newRow("stop after an empty block, one ahead")
            << ""
            << "abcdxefg ask stop h +i q3750" << 12 << 0 << false << false << "1/0"
            << "与此前的数据块都不同";
        QTest::newRow("stop after a foreign block before block 0, one ahead")
            << ""
            << "xabcdefg ask stop h +i close" << 12 << 0 << false << false << "1/0"
            << "与此前的数据块都不同";
        QTest::newRow("card sending past the bound of the wait")
            << ""
            << "abcd +1000 overdue" << 4 << 0 << false << false << "0/0"
            << "不是整块";
        QTest::newRow("answer owed trickling past the bound of the wait")
            << ""
            << "ab ask stop overdue" << 4 << 0 << false << false << "0/0"
            << "采集卡在 6000 ms 后仍在发送数据，传输未能结束，本次上传的 2 个数据块无法确认";
        QTest::newRow("card closed with blocks to go") << ""
                                                       << "ab ask close" << 4 << 2 << false << false << "0/0"
                                                       << "";
        QTest::newRow("file holds fewer blocks than taken")
            << ""
            << "abc ask limit1 fail q3750" << 4 << 1 << false << false << "0/0"
            << "";
        QTest::newRow("file cannot be read back") << ""
                                                  << "abcd close unreadable" << 5 << 0 << false << false << "0/0"
                                                  << "数据文件无法读回，本次上传的 4 个数据块无法确认";
    }
    void verdictOfARun()
    {
        QFETCH(QString, disk);
        QFETCH(QString, run);
        QFETCH(int, count);
        QFETCH(int, kept);
        QFETCH(bool, complete);
        QFETCH(bool, waits);
        QFETCH(QString, balance);
        QFETCH(QString, why);
        const int first = disk.size();
        // What the PC saw in order: the disk, the run's blocks, the unasked blocks.
        QString content = disk;
        const auto fingerprint = [](QChar c) {
            return c == QLatin1Char('?') ? UploadProof::kUnknown : UploadProof::Fingerprint(c.toLower().unicode());
        };
        QVector<UploadProof::Fingerprint> onDisk;
        for (const QChar c : disk)
            onDisk << fingerprint(c);
        UploadProof proof(quint64(first), quint64(count), kBlock, kTimeoutMs, onDisk);
        QVector<UploadProof::Fingerprint> taken;
        qint64 unaskedBytes = 0;
        const auto resolve = [&] {
            proof.resolve(taken, [&](quint64 a, quint64 b) { return content.at(int(a)) == content.at(int(b)); });
        };
        for (const QString& token : run.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (token.startsWith(QLatin1Char('+'))) {
                const QString what = token.mid(1);
                bool bytes = false;
                const qint64 n = what.toLongLong(&bytes);
                // Cut on the stream's block boundaries as the channel cuts them; bytes of no
                // block the card holds stand for a block of mixed bytes, "#".
                for (const QChar c : bytes ? QString() : what) {
                    proof.unasked(kBlock);
                    proof.unaskedBlock(fingerprint(c));
                    content.append(c);
                    unaskedBytes += kBlock;
                }
                if (bytes) {
                    proof.unasked(n);
                    for (qint64 b = unaskedBytes / kBlock; b < (unaskedBytes + n) / kBlock; ++b) {
                        proof.unaskedBlock(fingerprint(QLatin1Char('#')));
                        content.append(QLatin1Char('#'));
                    }
                    unaskedBytes += n;
                }
            } else if (token.startsWith(QLatin1Char('q'))) {
                proof.quietFor(token.mid(1).toLongLong());
            } else if (token.startsWith(QStringLiteral("limit"))) {
                proof.keepAtMost(token.mid(5).toULongLong());
            } else if (token == QLatin1String("ask")) {
                proof.blockAsked();
            } else if (token == QLatin1String("overdue")) {
                proof.end(UploadProof::End::Overdue);
            } else if (token == QLatin1String("unreadable")) {
                proof.resolveUnreadable();
            } else if (token == QLatin1String("close") || token == QLatin1String("stop")
                       || token == QLatin1String("timeout") || token == QLatin1String("fail")) {
                proof.end(token == QLatin1String("close")  ? UploadProof::End::Closed
                          : token == QLatin1String("stop") ? UploadProof::End::Stopped
                          : token == QLatin1String("fail") ? UploadProof::End::Failed
                                                           : UploadProof::End::TimedOut);
            } else {
                for (const QChar c : token) {
                    content.append(c);
                    taken << fingerprint(c);
                    proof.blockTaken();
                }
            }
        }
        // The channel looks at the stream once it has ended.
        resolve();
        QCOMPARE(proof.waitsForQuiet(), waits);
        QCOMPARE(QStringLiteral("%1/%2").arg(proof.unaskedBlocks()).arg(proof.explained()), balance);
        QCOMPARE(int(proof.kept()), kept);
        QCOMPARE(proof.complete(), complete);
        if (why.isEmpty())
            QCOMPARE(proof.shortfall().toString(), QString());
        else
            QVERIFY2(proof.shortfall().toString().contains(why), qPrintable(proof.shortfall().toString()));
    }

    void fingerprintSeesEveryByte()
    {
        // Blocks alike in their first and last 4 KiB (a quiet band, a zero head) still differ.
        QByteArray a(int(kBlock), 'x');
        const UploadProof::Fingerprint same = UploadProof::fingerprint(a.constData(), a.size());
        QVERIFY(same != UploadProof::kUnknown);
        for (const int at : {0, 7, int(kBlock) / 2 + 3, int(kBlock) - 1}) {
            QByteArray b = a;
            QCOMPARE(UploadProof::fingerprint(b.constData(), b.size()), same);
            b[at] = 'y';
            QVERIFY2(UploadProof::fingerprint(b.constData(), b.size()) != same, qPrintable(QString::number(at)));
        }
        // Two words swapped, and a block one byte shorter.
        QByteArray swapped = a;
        swapped.replace(64, 8, "12345678");
        QByteArray other = a;
        other.replace(72, 8, "12345678");
        QVERIFY(UploadProof::fingerprint(swapped.constData(), swapped.size())
                != UploadProof::fingerprint(other.constData(), other.size()));
        QVERIFY(UploadProof::fingerprint(a.constData(), a.size() - 1) != same);
    }
};

QTEST_GUILESS_MAIN(tst_UploadProof)
#include "tst_UploadProof.moc"
