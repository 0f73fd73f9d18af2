#include <LastWords.h>
#include <MsgHeader.h>
#include <SystemState.h>

#include <QtTest>

#include <ctime>

namespace {
// Records a, b, c: 2024-01-01 12:00:00 UTC, then one a minute.
quint32 nameOf(QChar letter)
{
    return 1704110400u + 60u * quint32(letter.unicode() - 'a');
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}
} // namespace

// Each row is a script of steps, then the corrections told (" | " between them, "-" none).
// Words told (the owner told the person), by the request's letter and what was read:
//   d0a d1a d2a     delete of a answered in time: 0 deleted, 1 refused, 2 not found
//   dYa dNa         delete of a settled by its check's list: done, still there
//   r1a=x rNa=x     remark x of a refused in time, settled as not changed
//   c1 c0 cN        clearing answered done, refused; settled as records still there
//   s0a sNa s1a     collection start of record a refused, settled idle, started
//   p0a             playback start of a refused
//   t1 tY           collection stop answered done, settled idle
//   ~d0a            a word with nobody to tell keeps nothing
// Sent: >da >ra (a delete, a remark of a), >c (a clearing), >s >p (a collection, playback start)
// Seen: L:ab L:a=x,b  a list asked after the words (with remarks)   ^L:ab  one asked before
//       C:a P:a I     a report: collecting a, playing a, idle        ^C:a   one asked before
//   !  the link drops
class tst_LastWords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void aWordContradictedIsToldOnce_data()
    {
        QTest::addColumn<QString>("script");
        const QString stillA = "记录 20240101120000 仍在设备上（此前告知已删除）";
        const QString goneA = "记录 20240101120000 已不在设备上（此前告知仍在设备上）";
        QTest::newRow("deleted, listed after: told once") << "L:ab d0a L:ab L:ab | " + stillA;
        QTest::newRow("not found, listed after") << "L:ab d2a L:ab | " + stillA;
        QTest::newRow("deleted, gone: nothing") << "L:ab d0a L:b | -";
        QTest::newRow("deleted, a list asked before the word: nothing") << "L:ab d0a ^L:ab L:b | -";
        QTest::newRow("checked deleted, listed after") << "dYa L:a | " + stillA;
        QTest::newRow("refused, gone later") << "L:ab d1a L:b | " + goneA;
        QTest::newRow("checked still there, gone later") << "dNa L:ab L:b L:b | " + goneA;
        QTest::newRow("still there, deleted again: the new request's word only") << "dNa >da L:b | -";
        QTest::newRow("still there, another record deleted: still kept") << "dNa >db L:c | " + goneA;
        QTest::newRow("nobody told: nothing kept") << "~d0a L:a | -";
        QTest::newRow("remark not changed, changed after")
            << "rNa=x L:a=x | 记录 20240101120000 的备注已修改（此前告知未修改）";
        QTest::newRow("remark refused, listed unchanged: nothing") << "r1a=x L:a=y,b | -";
        QTest::newRow("cleared, a record of before listed")
            << "L:ab >c c1 L:bc | 设备上仍有此前的记录（此前告知已清空所有记录）：\n20240101120100";
        QTest::newRow("cleared, only new records listed: nothing") << "L:ab >c c1 L:c | -";
        QTest::newRow("clearing refused, emptied later")
            << "L:ab >c c0 L:c | 设备上此前的 2 条记录已全部清除（此前告知仍在设备上）";
        QTest::newRow("clearing checked: records still there, emptied later")
            << "L:ab >c L:a cN L: | 设备上此前的 1 条记录已全部清除（此前告知仍在设备上）";
        QTest::newRow("clearing still there, each deleted by the person: nothing") << "L:ab c0 >da >db L: | -";
        QTest::newRow("start refused, its run reported")
            << "s0a C:a | 采集/转发正在进行：记录 20240101120000（此前告知未启动）";
        QTest::newRow("start checked idle, its run reported after")
            << "sNa C:a | 采集/转发正在进行：记录 20240101120000（此前告知未启动）";
        QTest::newRow("start refused, a report asked before: nothing") << "s0a ^C:a I | -";
        QTest::newRow("start refused, another run reported: nothing") << "s0a C:b | -";
        QTest::newRow("start refused, started again: nothing") << "s0a >s C:a | -";
        QTest::newRow("playback start refused, the record played")
            << "p0a P:a | 回放正在进行：记录 20240101120000（此前告知未启动）";
        QTest::newRow("playback refused, a collection of that name: nothing") << "p0a C:a | -";
        QTest::newRow("stopped, still running")
            << "s1a t1 C:a C:a | 设备仍在采集/转发：记录 20240101120000（此前告知已停止）";
        QTest::newRow("stop checked idle, running after")
            << "C:b tY C:b | 设备仍在采集/转发：记录 20240101120100（此前告知已停止）";
        QTest::newRow("stopped, idle after: nothing") << "s1a t1 I C:a | -";
        QTest::newRow("a stop of no run known keeps nothing") << "t1 C:a | -";
        QTest::newRow("the link drops: nothing kept") << "L:ab d0a s0a ! L:ab C:a | -";
    }
    void aWordContradictedIsToldOnce()
    {
        QFETCH(QString, script);
        LastWords words;
        QObject page;
        const ReplyOwner owner(&page, [](const ReplyNotice&) {});
        QStringList told;
        quint64 seq = 1;
        const auto take = [&](const QList<LastWords::Correction>& corrections) {
            for (const LastWords::Correction& c : corrections) {
                QCOMPARE(c.notice.outcome, ReplyOutcome::Corrected);
                QVERIFY(c.owner.isAlive());
                told << c.notice.finding.text;
            }
        };
        for (QString step : script.section(" | ", 0, 0).split(' ')) {
            ++seq;
            const bool before = step.startsWith('^');
            if (before)
                step.remove(0, 1);
            if (step == "!") {
                words.clear();
            } else if (step.startsWith("L:")) {
                QList<RecordEx> records;
                for (const QString& item : step.mid(2).split(',', Qt::SkipEmptyParts)) {
                    for (int i = 0; i < item.section('=', 0, 0).size(); ++i) {
                        RecordEx r;
                        r.SetRecordValue(RecordKey::Name, nameOf(item.at(i)));
                        r.SetRecordValue(RecordKey::Remark, item.section('=', 1));
                        r.BuildIndex();
                        records << r;
                    }
                }
                take(words.listed(records, before ? 0 : seq));
            } else if (step == "I" || step.startsWith("C:") || step.startsWith("P:")) {
                SyncDeviceState state;
                state.State = quint8(step == "I"             ? SystemState::Idle
                                     : step.startsWith("C:") ? SystemState::Collecting
                                                             : SystemState::Playback);
                if (step != "I")
                    (step.startsWith('C') ? state.Collect.RecordName : state.Playback.RecordName) = nameOf(step.at(2));
                take(words.reported(state, before ? 0 : seq));
            } else if (step.startsWith('>')) {
                const QChar what = step.at(1);
                const Msg_Type type =
                    what == 'd' || what == 'r' || what == 'c' ? Msg_Type::RecordedManager : Msg_Type::Collect;
                const Msg_Cmd cmd = what == 'd' ? Msg_Cmd::DeleteRecordInfo
                                  : what == 'r' ? Msg_Cmd::ChangeRecordNote
                                  : what == 'c' ? Msg_Cmd::DeleteAllRecord
                                  : what == 's' ? Msg_Cmd::StartRecord
                                                : Msg_Cmd::StartPlayback;
                words.sent(quint8(type), quint8(cmd), step.size() > 2 ? le32(nameOf(step.at(2))) : QByteArray());
            } else {
                const bool nobody = step.startsWith('~');
                if (nobody)
                    step.remove(0, 1);
                const QChar kind = step.at(0), how = step.at(1);
                ReplyNotice n;
                n.outcome = how == 'Y' || how == 'N' ? ReplyOutcome::Settled : ReplyOutcome::InTime;
                const bool record = kind == 'd' || kind == 'r' || kind == 'c';
                n.type = quint8(record ? Msg_Type::RecordedManager : Msg_Type::Collect);
                n.cmd = quint8(kind == 'd'   ? Msg_Cmd::DeleteRecordInfo
                               : kind == 'r' ? Msg_Cmd::ChangeRecordNote
                               : kind == 'c' ? Msg_Cmd::DeleteAllRecord
                               : kind == 's' ? Msg_Cmd::StartRecord
                               : kind == 'p' ? Msg_Cmd::StartPlayback
                                             : Msg_Cmd::StopRecord);
                if (step.size() > 2)
                    n.request = le32(nameOf(step.at(2))) + step.section('=', 1).toUtf8();
                if (n.outcome == ReplyOutcome::InTime)
                    n.reply = QByteArray(1, char(how.digitValue()));
                else if (record)
                    n.finding.done = how == 'Y';
                else
                    n.reply = QByteArray::fromHex("0100000000"); // an idle report
                words.told(n, nobody ? ReplyOwner() : owner, seq);
            }
        }
        QCOMPARE(told.isEmpty() ? QStringLiteral("-") : told.join(QStringLiteral(" | ")), script.section(" | ", 1));
    }
};

QTEST_GUILESS_MAIN(tst_LastWords)
#include "tst_LastWords.moc"
