#include <FrameBuffer.h>

#include <QtTest>

namespace {
// Frames written out from the header table: magic CC AA BB FF, version, source, target, card,
// sequence (2), type, command, length (4), payload, CRC field (4). The CRC field is left as
// filler where the receive path does not look at it.
QByteArray frame(uchar type, uchar cmd, const QByteArray& payload, uchar seq = 0)
{
    QByteArray f = QByteArray::fromHex("CCAABBFF01000200");
    f += char(seq);
    f += char(0);
    f += char(type);
    f += char(cmd);
    const int n = payload.size();
    f += char(n & 0xFF);
    f += char((n >> 8) & 0xFF);
    f += char((n >> 16) & 0xFF);
    f += char((n >> 24) & 0xFF);
    f += payload;
    f += QByteArray::fromHex("DEADBEEF");
    return f;
}

QList<QByteArray> drain(FrameBuffer& buffer, FrameBuffer::Next* last = nullptr)
{
    QList<QByteArray> frames;
    QByteArray f;
    FrameBuffer::Next next;
    while ((next = buffer.takeFrame(f)) == FrameBuffer::Next::Frame)
        frames << f;
    if (last)
        *last = next;
    return frames;
}

const QByteArray kHeartbeat = QByteArray::fromHex("CCAABBFF01000200000001010100000001"
                                                  "8A5C29E1");
} // namespace

using ChunkList = QList<QByteArray>;
using FrameList = QList<QByteArray>;

class tst_FrameBuffer : public QObject
{
    Q_OBJECT

private slots:
    void reassembly_data()
    {
        QTest::addColumn<ChunkList>("chunks");
        QTest::addColumn<FrameList>("expected");
        QTest::addColumn<int>("pendingAfter");

        const QByteArray a = frame(1, 1, QByteArray::fromHex("01050000"));
        const QByteArray b = frame(1, 4, QByteArray(41, 'x'), 1);
        const QByteArray empty = frame(2, 1, QByteArray(), 2);

        QTest::newRow("one whole frame") << ChunkList{a} << FrameList{a} << 0;
        QTest::newRow("frame without payload") << ChunkList{empty} << FrameList{empty} << 0;
        QTest::newRow("two frames in one chunk") << ChunkList{a + b} << FrameList{a, b} << 0;
        QTest::newRow("frame and half of the next") << ChunkList{a + b.left(10)} << FrameList{a} << 10;
        QTest::newRow("half completed by next chunk") << ChunkList{a + b.left(30), b.mid(30)} << FrameList{a, b} << 0;
        QTest::newRow("fewer than four bytes wait") << ChunkList{a.left(3)} << FrameList{} << 3;
        QTest::newRow("header cut short waits") << ChunkList{a.left(15)} << FrameList{} << 15;
        QTest::newRow("split inside checksum") << ChunkList{a.left(a.size() - 2), a.right(2)} << FrameList{a} << 0;
        QTest::newRow("garbage before magic empties even a good frame behind it")
            << ChunkList{QByteArray("xy") + a} << FrameList{} << 0;
        QTest::newRow("garbage after a frame is dropped with it")
            << ChunkList{a + QByteArray("junkjunk")} << FrameList{a} << 0;
        QTest::newRow("stream resumes after garbage was dropped")
            << ChunkList{QByteArray("zzzz"), a} << FrameList{a} << 0;
        QTest::newRow("three frames one byte at a time") << [&] {
            ChunkList c;
            for (char ch : a + empty + b)
                c << QByteArray(1, ch);
            return c;
        }() << FrameList{a, empty, b} << 0;
    }
    void reassembly()
    {
        QFETCH(ChunkList, chunks);
        QFETCH(FrameList, expected);
        QFETCH(int, pendingAfter);
        FrameBuffer buffer;
        FrameList got;
        for (const QByteArray& c : chunks) {
            buffer.append(c);
            got += drain(buffer);
        }
        QCOMPARE(got, expected);
        QCOMPARE(buffer.pending(), pendingAfter);
    }

    void splitAtEveryBytePosition()
    {
        const QByteArray a = frame(1, 8, QByteArray::fromHex("0300000000"));
        const QByteArray b = frame(3, 1, QByteArray(1, '\x01'), 9);
        const QByteArray stream = a + b;
        for (int cut = 0; cut <= stream.size(); ++cut) {
            FrameBuffer buffer;
            buffer.append(stream.left(cut));
            FrameList got = drain(buffer);
            buffer.append(stream.mid(cut));
            got += drain(buffer);
            QCOMPARE(got, (FrameList{a, b}));
            QCOMPARE(buffer.pending(), 0);
        }
    }

    void statedLengthBounds_data()
    {
        QTest::addColumn<quint32>("length");
        QTest::addColumn<int>("outcome");
        QTest::newRow("largest accepted length waits") << FrameBuffer::kMaxPayload << int(FrameBuffer::Next::NeedMore);
        QTest::newRow("one beyond the bound") << FrameBuffer::kMaxPayload + 1 << int(FrameBuffer::Next::Oversized);
        QTest::newRow("length that overflows the total") << 0xFFFFFFFFu << int(FrameBuffer::Next::Oversized);
        QTest::newRow("length that wraps to a small total") << 0xFFFFFFEDu << int(FrameBuffer::Next::Oversized);
    }
    void statedLengthBounds()
    {
        QFETCH(quint32, length);
        QFETCH(int, outcome);
        QByteArray head = QByteArray::fromHex("CCAABBFF0100020000000101");
        for (int i = 0; i < 4; ++i)
            head += char((length >> (8 * i)) & 0xFF);
        FrameBuffer buffer;
        buffer.append(head + QByteArray(64, '\0'));
        QByteArray f;
        QCOMPARE(int(buffer.takeFrame(f)), outcome);
        QCOMPARE(buffer.pending(), outcome == int(FrameBuffer::Next::Oversized) ? 0 : 80);
    }

    void clearDropsHalfFrame()
    {
        const QByteArray a = frame(1, 1, QByteArray::fromHex("01050000"));
        FrameBuffer buffer;
        buffer.append(a.left(9));
        QVERIFY(drain(buffer).isEmpty());
        buffer.clear();
        buffer.append(a);
        QCOMPARE(drain(buffer), FrameList{a});
    }

    // A handler may feed the buffer again while it runs (a nested event loop); the frame it got
    // is its own copy and the frames after it come out in order.
    void appendWhileAFrameIsHandled()
    {
        const QByteArray a = frame(1, 1, "a");
        const QByteArray b = frame(1, 2, "bb");
        const QByteArray c = frame(1, 3, "ccc");
        FrameBuffer buffer;
        buffer.append(a + b.left(5));
        QByteArray first;
        QCOMPARE(buffer.takeFrame(first), FrameBuffer::Next::Frame);
        buffer.append(b.mid(5) + c);
        QCOMPARE(first, a);
        QCOMPARE(drain(buffer), (FrameList{b, c}));
    }

    void manyFramesInOneChunk()
    {
        QByteArray chunk;
        for (int i = 0; i < 20000; ++i)
            chunk += frame(1, 7, QByteArray(8, char(i)), uchar(i));
        FrameBuffer buffer;
        buffer.append(chunk);
        const FrameList got = drain(buffer);
        QCOMPARE(got.size(), 20000);
        QCOMPARE(got.last(), frame(1, 7, QByteArray(8, char(19999)), uchar(19999)));
    }

    void scanValidFrames_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<FrameList>("expected");
        const QByteArray good = kHeartbeat;
        QByteArray bad = good;
        bad[bad.size() - 1] = char(bad.at(bad.size() - 1) ^ 0x01);
        QTest::newRow("good frame") << good << FrameList{good};
        QTest::newRow("bad crc skipped") << bad << FrameList{};
        QTest::newRow("garbage before good frame found") << QByteArray("\x01\x02\xCC\xAA", 4) + good << FrameList{good};
        QTest::newRow("bad then good") << bad + good << FrameList{good};
        QTest::newRow("good frame cut short") << good.left(good.size() - 1) << FrameList{};
        QTest::newRow("magic with header cut short") << good.left(10) << FrameList{};
        QTest::newRow("huge length skips past the end")
            << QByteArray::fromHex("CCAABBFF0100020000000101FFFFFFFF") + good << FrameList{};
    }
    void scanValidFrames()
    {
        QFETCH(QByteArray, data);
        QFETCH(FrameList, expected);
        FrameList got;
        const int n = FrameBuffer::scanValidFrames(data, [&](const uchar* f, quint32 total) {
            got << QByteArray(reinterpret_cast<const char*>(f), int(total));
        });
        QCOMPARE(got, expected);
        QCOMPARE(n, expected.size());
    }
};

QTEST_GUILESS_MAIN(tst_FrameBuffer)
#include "tst_FrameBuffer.moc"
