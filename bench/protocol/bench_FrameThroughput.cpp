// Record transfers run the CRC over megabytes, and one chunk may carry thousands of frames; both
// must stay linear. Prints QtTest's figures; compare MB/s against the link's rate.
#include <Crc32Mpeg2.h>
#include <FrameBuffer.h>
#include <ProtocolManager.h>

#include <QtTest>

class bench_FrameThroughput : public QObject
{
    Q_OBJECT

private slots:
    void crcOverOneBlock()
    {
        const QByteArray block(2 * 1024 * 1024, '\x5A'); // one record-transfer block
        quint32 crc = 0;
        QBENCHMARK {
            crc ^= Crc32Mpeg2::compute(reinterpret_cast<const uchar*>(block.constData()), size_t(block.size()));
        }
        QVERIFY(crc != 1);
    }

    void cutManySmallFramesFromOneChunk_data()
    {
        QTest::addColumn<int>("frames");
        QTest::newRow("1000 frames") << 1000;
        QTest::newRow("100000 frames") << 100000;
    }
    void cutManySmallFramesFromOneChunk()
    {
        QFETCH(int, frames);
        QByteArray frame = ProtocolManager::MsgHead(Target_Dev::Device, 0, 0, Msg_Type::System, Msg_Cmd::Progress, 8);
        frame += QByteArray(8, '\x01');
        frame += ProtocolManager::U32toByte(
            ProtocolManager::crc32Mpeg2(reinterpret_cast<const uchar*>(frame.constData()), uint(frame.size())));
        QByteArray chunk;
        for (int i = 0; i < frames; ++i)
            chunk += frame;
        int taken = 0;
        QBENCHMARK {
            FrameBuffer buffer;
            buffer.append(chunk);
            QByteArray f;
            while (buffer.takeFrame(f) == FrameBuffer::Next::Frame)
                ++taken;
        }
        QVERIFY(taken >= frames);
    }
};

QTEST_GUILESS_MAIN(bench_FrameThroughput)
#include "bench_FrameThroughput.moc"
