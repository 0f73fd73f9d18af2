#include <UiTestSupport.h>

#include <ExtendProtocol.h>
#include <ExtendReplyCutter.h>
#include <ExtendReplyText.h>
#include <TestTime.h>
#include <UdpNetworkThread.h>

#include <QUdpSocket>
#include <QtTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray pad(QByteArray head, int size, char fill = '\x5A')
{
    return head.leftJustified(size, fill);
}

using Replies = QList<QPair<int, QByteArray>>;
} // namespace

Q_DECLARE_METATYPE(Replies)

// Frames, checksum and the cutting of replies out of datagrams, with the socket thread that
// carries them over loopback.
class tst_ExtendProtocol : public QObject
{
    Q_OBJECT

private slots:
    void framesCarryTheFoldedWordSum_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("state request, no payload") << 0 << QByteArray() << hex("10 02 00 10 02");
        QTest::newRow("capacity request, odd length") << 19 << QByteArray() << hex("10 02 13 23 02");
        QTest::newRow("address change folds a carry") << 24 << hex("C0 A8 01 0A FF FF FF 00 C0 A8 01 01")
                                                      << hex("10 02 18 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 85 84");
        QTest::newRow("forwarding start") << 17 << hex("11 FF 00 00 00 00") << hex("10 02 11 11 FF 00 00 00 00 20 14");
        QTest::newRow("pulse width and count")
            << 35 << hex("00 00 00 00 00 00 03 E8 01 2C") << hex("10 02 23 00 00 00 00 00 00 03 E8 01 2C 47 07");
    }
    void framesCarryTheFoldedWordSum()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, frame);
        QCOMPARE(ExtendProtocol::makeFrame(quint8(code), payload).toHex(' '), frame.toHex(' '));
    }

    void checksumOfPlainBuffers()
    {
        QCOMPARE(ExtendProtocol::checkSum16(nullptr, 0), quint16(0));
        QCOMPARE(ExtendProtocol::checkSum16("\x10", 0), quint16(0));
        QCOMPARE(ExtendProtocol::checkSum16("\x10\x02\x13", 3), quint16(0x0223));
        // Sixty-six thousand words of FF FF: the sum passes 32 bits unless it is folded on the way.
        const QByteArray ones(132000, '\xFF');
        QCOMPARE(ExtendProtocol::checkSum16(ones.constData(), ones.size()), quint16(0xFFFF));
    }

    void payloadsAreBigEndian()
    {
        QCOMPARE(ExtendProtocol::playbackPayload(0xAA, 0xFF, 0x68987B80u), hex("AA FF 68 98 7B 80"));
        QCOMPARE(ExtendProtocol::recordPayload(0x00, 0), hex("00 00 00 00 00"));
        QCOMPARE(ExtendProtocol::setIpPayload(0xC0A8010Au, 0xFFFFFF00u, 0xC0A80101u),
                 hex("C0 A8 01 0A FF FF FF 00 C0 A8 01 01"));
        QCOMPARE(ExtendProtocol::setPulsePayload(1000, 300), hex("00 00 00 00 00 00 03 E8 01 2C"));
        QCOMPARE(ExtendProtocol::readBE(hex("01 02"), 1, 2), quint64(0));
        QCOMPARE(ExtendProtocol::readDouble(hex("3F E0 00 00 00 00 00 00"), 0), 0.5);
    }

    void cutter_data()
    {
        QTest::addColumn<QList<QByteArray>>("datagrams");
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<int>("left");

        const QByteArray state = hex("10 02 00 01 10 03");
        const QByteArray check = hex("10 02 16 00 00 00 05 2B 02");
        QTest::newRow("state report") << QList<QByteArray>{state} << Replies{{0, hex("01")}} << 0;
        QTest::newRow("two replies in one datagram")
            << QList<QByteArray>{state + check} << Replies{{0, hex("01")}, {22, hex("00 00 00 05")}} << 0;
        QTest::newRow("reply split over two datagrams")
            << QList<QByteArray>{check.left(4), check.mid(4)} << Replies{{22, hex("00 00 00 05")}} << 0;
        QTest::newRow("split inside checksum")
            << QList<QByteArray>{check.left(8), check.mid(8)} << Replies{{22, hex("00 00 00 05")}} << 0;
        QTest::newRow("garbage before sync")
            << QList<QByteArray>{hex("AA 55 10 10") + state} << Replies{{0, hex("01")}} << 0;
        QTest::newRow("no sync pair empties the buffer") << QList<QByteArray>{hex("AA 55 02 10")} << Replies{} << 0;
        QTest::newRow("sync pair split across datagrams is lost")
            << QList<QByteArray>{hex("AA 10"), hex("02 00 01 10 03")} << Replies{} << 0;
        QTest::newRow("code without length rule loses five bytes")
            << QList<QByteArray>{hex("10 02 17 3C 27 3E") + state} << Replies{{0, hex("01")}} << 0;
        QTest::newRow("short head waits") << QList<QByteArray>{hex("10 02 00 01")} << Replies{} << 4;
        QTest::newRow("record list of none")
            << QList<QByteArray>{hex("10 02 14 00 00 00 00 24 02")} << Replies{{20, hex("00 00 00 00")}} << 0;
        QTest::newRow("record list of three")
            << QList<QByteArray>{hex("10 02 14 00 00 00 03 00 00 00 01 00 00 00 02 00 00 00 03 00 00")}
            << Replies{{20, hex("00 00 00 03 00 00 00 01 00 00 00 02 00 00 00 03")}} << 0;
        QTest::newRow("record list count read once nine bytes are in")
            << QList<QByteArray>{hex("10 02 14 00 00 00"), hex("01 00 00"), hex("00 07 00 00")}
            << Replies{{20, hex("00 00 00 01 00 00 00 07")}} << 0;
        QTest::newRow("impossible record count gives way to the next reply")
            << QList<QByteArray>{hex("10 02 14 FF FF FF FF 00 00") + state} << Replies{{0, hex("01")}} << 0;
        // 65 536 names would take 262 153 bytes, more than one datagram holds.
        QTest::newRow("record count beyond one datagram gives way to the next reply")
            << QList<QByteArray>{hex("10 02 14 00 01 00 00 00 00") + state} << Replies{{0, hex("01")}} << 0;
        QTest::newRow("capacity waits for its last byte")
            << QList<QByteArray>{hex("10 02 13 00 00 04 00 00 00 08 00 00")} << Replies{} << 12;
        QTest::newRow("all records deleted, no payload")
            << QList<QByteArray>{hex("10 02 19 29 02")} << Replies{{25, QByteArray()}} << 0;
        QTest::newRow("ephemeris status byte")
            << QList<QByteArray>{hex("10 02 41 F0 00 00")} << Replies{{65, hex("F0")}} << 0;
        QTest::newRow("ephemeris status waits for its byte")
            << QList<QByteArray>{hex("10 02 42 F0 00")} << Replies{} << 5;

        // B3I set of two: 6 + 2 x 210 = 426 bytes, here arriving one byte short, then complete.
        const QByteArray two = pad(hex("10 02 41 02"), 426);
        QTest::newRow("ephemeris set of two waits for 426 bytes")
            << QList<QByteArray>{two.left(425)} << Replies{} << 425;
        QTest::newRow("ephemeris set of two")
            << QList<QByteArray>{two.left(425), two.mid(425)} << Replies{{65, two.mid(3, 421)}} << 0;
        // Ten announced, six whole records buffered: 6 + 6 x 210 = 1266 bytes, payload 1261.
        const QByteArray ten = pad(hex("10 02 41 0A"), 1266);
        QTest::newRow("large ephemeris set cut after the whole records")
            << QList<QByteArray>{ten} << Replies{{65, ten.mid(3, 1261)}} << 0;
        const QByteArray ragged = pad(hex("10 02 42 08"), 6 + 233 + 100);
        // The partial record behind the cut holds no sync pair, so it is dropped.
        QTest::newRow("large B3A set leaves a partial record out")
            << QList<QByteArray>{ragged} << Replies{{66, ragged.mid(3, 234)}} << 0;
    }
    void cutter()
    {
        QFETCH(QList<QByteArray>, datagrams);
        QFETCH(Replies, replies);
        QFETCH(int, left);
        ExtendReplyCutter cutter;
        Replies got;
        for (const QByteArray& d : datagrams) {
            for (const auto& r : cutter.append(d))
                got.append({r.code, r.payload});
        }
        QCOMPARE(got.size(), replies.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].first, replies[i].first);
            QCOMPARE(got[i].second.toHex(' '), replies[i].second.toHex(' '));
        }
        QCOMPARE(cutter.pending(), left);
    }

    void stalledFrames_data()
    {
        QTest::addColumn<QList<QByteArray>>("datagrams");
        QTest::addColumn<QList<qint64>>("times"); // when each datagram arrives, in ms
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<int>("left");

        const QByteArray state = hex("10 02 00 01 10 03");
        const QByteArray check = hex("10 02 16 00 00 00 05 2B 02");
        // A garbled count of 1000 names: 4009 bytes announced, a few sent.
        const QByteArray garbled = hex("10 02 14 00 00 03 E8 00 00 00 07");
        QTest::newRow("reply split within the stall time is kept")
            << QList<QByteArray>{check.left(4), check.mid(4)} << QList<qint64>{0, 999}
            << Replies{{22, hex("00 00 00 05")}} << 0;
        QTest::newRow("stalled frame gives way to the next reply")
            << QList<QByteArray>{garbled, state} << QList<qint64>{0, 1000} << Replies{{0, hex("01")}} << 0;
        QTest::newRow("replies held behind a stalled frame come out when it is dropped")
            << QList<QByteArray>{garbled, state, check} << QList<qint64>{0, 500, 1500}
            << Replies{{0, hex("01")}, {22, hex("00 00 00 05")}} << 0;
        QTest::newRow("a frame that gets bytes but never completes is still dropped")
            << QList<QByteArray>{garbled, hex("00 00 00 08"), hex("00 00 00 09"), state}
            << QList<qint64>{0, 600, 1200, 1300} << Replies{{0, hex("01")}} << 0;
        QTest::newRow("a whole reply in a datagram of its own ends a false count at once")
            << QList<QByteArray>{garbled, check, state} << QList<qint64>{0, 10, 20}
            << Replies{{22, hex("00 00 00 05")}, {0, hex("01")}} << 0;
        QTest::newRow("each new frame start has its own stall time")
            << QList<QByteArray>{state, check.left(4), check.mid(4)} << QList<qint64>{0, 900, 1800}
            << Replies{{0, hex("01")}, {22, hex("00 00 00 05")}} << 0;
    }
    void stalledFrames()
    {
        QFETCH(QList<QByteArray>, datagrams);
        QFETCH(QList<qint64>, times);
        QFETCH(Replies, replies);
        QFETCH(int, left);
        ExtendReplyCutter cutter;
        Replies got;
        for (int i = 0; i < datagrams.size(); ++i) {
            for (const auto& r : cutter.append(datagrams.at(i), times.at(i)))
                got.append({r.code, r.payload});
        }
        QCOMPARE(got.size(), replies.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].first, replies[i].first);
            QCOMPARE(got[i].second.toHex(' '), replies[i].second.toHex(' '));
        }
        QCOMPARE(cutter.pending(), left);
    }

    void cutterKeepsUpWithManyRepliesInOneBuffer()
    {
        // One datagram of a thousand state reports: all come out, in order, nothing left.
        QByteArray many;
        for (int i = 0; i < 1000; ++i)
            many += ExtendProtocol::makeFrame(0, QByteArray(1, char(i % 5)));
        ExtendReplyCutter cutter;
        const auto out = cutter.append(many);
        QCOMPARE(out.size(), 1000);
        QCOMPARE(out.at(999).payload, QByteArray(1, char(999 % 5)));
        QCOMPARE(cutter.pending(), 0);
    }

    void replyTexts_data()
    {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("expected");
        // Written as every size in the program.
        QTest::newRow("1023 MB") << ExtendReplyText::capacity(1023) << "1023 MB";
        QTest::newRow("1024 MB stays MB") << ExtendReplyText::capacity(1024) << "1024 MB";
        QTest::newRow("1025 MB is a GB") << ExtendReplyText::capacity(1025) << "1.001 GB";
        QTest::newRow("1536 MB") << ExtendReplyText::capacity(1536) << "1.500 GB";
        QTest::newRow("1024 x 1024 MB is a TB") << ExtendReplyText::capacity(1024 * 1024) << "1.000 TB";
        QTest::newRow("2^31 MB stays in TB") << ExtendReplyText::capacity(0x80000000u) << "2048.000 TB";
        QTest::newRow("self-check clean") << ExtendReplyText::selfCheck(0) << "设备正常";
        QTest::newRow("self-check bits 0 and 2") << ExtendReplyText::selfCheck(5) << "射频异常;校准异常;";
        QTest::newRow("self-check all four")
            << ExtendReplyText::selfCheck(15) << "射频异常;硬盘异常;校准异常;锁相环异常;";
        QTest::newRow("self-check high bit only") << ExtendReplyText::selfCheck(256) << "";
        QTest::newRow("leap none") << ExtendReplyText::leapFlag(0x00) << "未发生闰秒";
        QTest::newRow("leap positive") << ExtendReplyText::leapFlag(0xF0) << "正闰秒";
        QTest::newRow("leap negative") << ExtendReplyText::leapFlag(0x0F) << "负闰秒";
        QTest::newRow("leap unknown") << ExtendReplyText::leapFlag(0x01) << "--";
        QTest::newRow("date") << ExtendReplyText::triple(25, 8, 1, '-') << "25-08-01";
        QTest::newRow("time") << ExtendReplyText::triple(7, 5, 9, ':') << "7:05:09";
    }
    void replyTexts()
    {
        QFETCH(QString, got);
        QFETCH(QString, expected);
        QCOMPARE(got, expected);
    }

    // What the extension panel shows, in the English interface.
    void replyTextsInEnglish_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("self-check clean") << 0 << 0u << "Device OK";
        QTest::newRow("self-check bits 0 and 2") << 0 << 5u << "RF fault;Calibration fault;";
        QTest::newRow("leap positive") << 1 << 0xF0u << "Positive leap second";
        QTest::newRow("leap unknown") << 1 << 0x01u << "--";
        QTest::newRow("composite ephemeris")
            << 2 << 3u << "Ephemeris data ID 0xCC (BDS) = 0xcc\nPreloaded ephemerides = 3\n";
    }
    void replyTextsInEnglish()
    {
        QFETCH(int, kind);
        QFETCH(quint32, value);
        QFETCH(QString, expected);
        UiTest::EnglishTranslations english;
        if (kind == 0) {
            QCOMPARE(ExtendReplyText::selfCheck(value), expected);
        } else if (kind == 1) {
            QCOMPARE(ExtendReplyText::leapFlag(quint8(value)), expected);
        } else {
            QByteArray block(ExtendReplyText::kCompositeSize, '\0');
            block[0] = char(0xCC);
            block[1] = char(value);
            QVERIFY(ExtendReplyText::composite(block).startsWith(expected));
        }
    }

    void compositeBlockText()
    {
        QByteArray b(117, '\0');
        b[0] = char(0xCC);
        b[1] = 3;
        b.replace(2, 4, hex("00 00 07 E9"));              // year 2025
        b.replace(22, 8, hex("40 4E 00 00 00 00 00 00")); // second 60.0
        b[58] = char(0xFE);                               // -2 satellites, signed
        b[63] = char(0xFF);                               // alpha0 = -1 x 2^-30
        b[67] = 3;                                        // beta0 = 3 x 2^11
        b.replace(75, 2, hex("00 10"));                   // B3A alpha1 = 16 / 8
        b[80] = 8;                                        // alpha5 = 8 x -1/8
        b.replace(101, 2, hex("00 02"));                  // t_ot = 2 x 4096
        b.replace(109, 2, hex("FF FF"));                  // delta_tls -1
        b.replace(113, 4, hex("00 00 00 01"));
        const QString text = ExtendReplyText::composite(b);
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 44); // 43 fields and the empty tail
        QCOMPARE(lines[0], QStringLiteral("星历数据标识0xCC(BDs) = 0xcc"));
        QCOMPARE(lines[1], QStringLiteral("预装星历数目 = 3"));
        QCOMPARE(lines[2], QStringLiteral("UTC时间年 = 2025"));
        QCOMPARE(lines[7], QStringLiteral("UTC时间秒 = 60.0000000000"));
        QCOMPARE(lines[12], QStringLiteral("BD卫星数量 = -2"));
        QCOMPARE(lines[14], QStringLiteral("电离层参数a0 = -0.0000"));
        QCOMPARE(lines[18], QStringLiteral("电离层参数b0 = 6144.0000"));
        QCOMPARE(lines[23], QStringLiteral("电离层参数a1 = 2.00000000"));
        QCOMPARE(lines[27], QStringLiteral("电离层参数a5 = -1.00000000"));
        QCOMPARE(lines[36], QStringLiteral("UTC参数t_ot = 8192.0000"));
        QCOMPARE(lines[40], QStringLiteral("UTC参数delta_tls = -1"));
        QCOMPARE(lines[42], QStringLiteral("UTC参数有效（1为有效，0为无效） = 1"));
        QVERIFY(ExtendReplyText::composite(b.left(116)).isEmpty());
    }

    void b3aRecordText()
    {
        QByteArray r(233, '\0');
        r[0] = char(0xC4);
        r[1] = 2;
        r.replace(2, 2, hex("00 1D"));  // satellite 29
        r[4] = 4;                       // IGSO
        r.replace(21, 2, hex("03 84")); // week 900
        r.replace(189, 4, hex("FF FF FF FF"));
        r.replace(229, 4, hex("00 00 00 01"));
        const QStringList lines = ExtendReplyText::b3aRecord(r).split('\n');
        QCOMPARE(lines.size(), 38);
        QCOMPARE(lines[2], QStringLiteral("卫星号 = 29"));
        QCOMPARE(lines[3], QStringLiteral("1-GEO 2-MEO 4-IGSO = 4"));
        QCOMPARE(lines[6], QStringLiteral("周数 = 900"));
        QCOMPARE(lines[30], QStringLiteral("星历参考时间 = 4294967295"));
        QCOMPARE(lines[36], QStringLiteral("星历有效(0为无效；1为有效) = 1"));
    }

    void socketThreadCarriesDatagrams()
    {
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress(QHostAddress::LocalHost), 0));
        UdpNetworkThread thread;
        thread.start();
        // recv comes from the socket thread; it is collected here, in the test's thread.
        QList<QByteArray> received;
        QObject context;
        connect(
            &thread, &UdpNetworkThread::recv, &context, [&](const QByteArray& d) { received << d; },
            Qt::QueuedConnection);
        auto open = [&](ushort local) {
            QMetaObject::invokeMethod(&thread, "open", Qt::BlockingQueuedConnection, Q_ARG(ushort, local),
                                      Q_ARG(QString, QStringLiteral("127.0.0.1")), Q_ARG(ushort, peer.localPort()));
        };
        auto send = [&](const QByteArray& d) {
            QMetaObject::invokeMethod(&thread, "send", Qt::QueuedConnection, Q_ARG(QByteArray, d));
        };

        // Not bound yet: the datagram is dropped, and the next one (after binding) is the first to arrive.
        send("dropped");
        open(0);
        QVERIFY(thread.isBound());
        QVERIFY(thread.localPort() != 0);
        send("first");
        QVERIFY(peer.waitForReadyRead(10000));
        QByteArray d(int(peer.pendingDatagramSize()), '\0');
        QHostAddress from;
        quint16 fromPort = 0;
        peer.readDatagram(d.data(), d.size(), &from, &fromPort);
        QCOMPARE(d, QByteArray("first"));
        QCOMPARE(fromPort, thread.localPort());

        // Three datagrams back: one recv each, in order.
        for (const char* s : {"a", "bb", "ccc"})
            peer.writeDatagram(QByteArray(s), QHostAddress::LocalHost, thread.localPort());
        QVERIFY(QTest::qWaitFor([&] { return received.size() >= 3; }, TestTime::ms(10000)));
        QCOMPARE(received, (QList<QByteArray>{"a", "bb", "ccc"}));

        QMetaObject::invokeMethod(&thread, "close", Qt::BlockingQueuedConnection);
        QVERIFY(!thread.isBound());
        // A port held exclusively elsewhere cannot be bound.
        QUdpSocket blocker;
        QVERIFY(blocker.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
        open(blocker.localPort());
        QVERIFY(!thread.isBound());
    }
};

QTEST_GUILESS_MAIN(tst_ExtendProtocol)
#include "tst_ExtendProtocol.moc"
