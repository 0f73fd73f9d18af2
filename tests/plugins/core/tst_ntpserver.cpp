#include <ntpserver.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtEndian>
#include <QtTest>

#include <cstdio>

namespace {
// A client request as ntpdate would send it: version 3, mode 3, a transmit timestamp at 40.
QByteArray clientRequest(quint8 firstByte, quint32 seconds, quint32 fraction)
{
    QByteArray r(48, '\0');
    r[0] = char(firstByte);
    r[5] = char(0x01); // root delay and dispersion bytes that the reply keeps
    r[6] = char(0x02);
    r[7] = char(0x03);
    r[9] = char(0x04);
    r[10] = char(0x05);
    r[11] = char(0x06);
    r[12] = 'L';
    r[13] = 'O';
    r[14] = 'C';
    r[15] = 'L';
    uchar stamp[8];
    qToBigEndian(seconds, stamp);
    qToBigEndian(fraction, stamp + 4);
    r.replace(40, 8, reinterpret_cast<const char*>(stamp), 8);
    return r;
}

qint64 nowNtpMs()
{
    return QDateTime::currentMSecsSinceEpoch() + Q_INT64_C(2208988800000);
}

qint64 timestampMs(const QByteArray& reply, int offset)
{
    return ntpserver::byte64ToMillionSecond(reply.mid(offset, 8));
}

// Runs inside a fresh network namespace (see realClients): the server on its standard port
// 123 of a loopback that nothing else uses, and each client command in turn. Prints one JSON
// line per client.
int serveForClients(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ntpserver server(nullptr);
    if (!server.isBound()) {
        std::fprintf(stdout, "{\"error\":\"bind\"}\n");
        return 2;
    }
    QStringList commands;
    for (int i = 2; i < argc; ++i)
        commands << QString::fromLocal8Bit(argv[i]);
    QProcess client;
    int next = 0;
    auto startNext = [&] {
        if (next >= commands.size()) {
            app.quit();
            return;
        }
        client.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commands[next]});
    };
    QObject::connect(&client, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     [&](int code, QProcess::ExitStatus) {
                         QJsonObject o;
                         o["command"] = commands[next];
                         o["exit"] = code;
                         o["stdout"] = QString::fromLocal8Bit(client.readAllStandardOutput());
                         o["stderr"] = QString::fromLocal8Bit(client.readAllStandardError());
                         std::fprintf(stdout, "%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
                         std::fflush(stdout);
                         ++next;
                         startNext();
                     });
    QObject::connect(&client, &QProcess::errorOccurred, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            app.exit(3);
    });
    QTimer::singleShot(0, startNext);
    return app.exec();
}
} // namespace

class tst_ntpserver : public QObject
{
    Q_OBJECT

private:
    // Sends one datagram to the server and returns the reply, or an empty array when none came.
    QByteArray ask(ntpserver& server, QUdpSocket& client, const QByteArray& request)
    {
        QSignalSpy ready(&client, &QUdpSocket::readyRead);
        client.writeDatagram(request, QHostAddress::LocalHost, server.localPort());
        if (!ready.wait(3000))
            return {};
        return client.receiveDatagram().data();
    }

private slots:
    void initTestCase() { qRegisterMetaType<QAbstractSocket::SocketError>(); }

    void answersAClientRequest_data()
    {
        QTest::addColumn<int>("firstByte");
        QTest::newRow("version 3 client") << 0x1B;
        QTest::newRow("version 4 client, unsynchronised") << 0xE3;
        QTest::newRow("version 1 client") << 0x0B;
    }

    void answersAClientRequest()
    {
        QFETCH(int, firstByte);
        QTest::ignoreMessage(QtDebugMsg, "NTP服务端绑定成功");
        ntpserver server(0, nullptr);
        QVERIFY(server.isBound());
        QVERIFY(server.localPort() != 0);
        QUdpSocket client;
        QVERIFY(client.bind(QHostAddress(QHostAddress::LocalHost), 0));

        const QByteArray request = clientRequest(quint8(firstByte), 0xDEADBEEFu, 0x80000000u);
        const qint64 before = nowNtpMs();
        const QByteArray reply = ask(server, client, request);
        const qint64 after = nowNtpMs();
        QCOMPARE(reply.size(), 48);
        QCOMPARE(reply.left(4), QByteArray::fromHex("1c0204e9"));
        // Root delay and dispersion: first byte cleared, the rest as the request had them.
        QCOMPARE(reply.mid(4, 8), QByteArray::fromHex("0001020300040506"));
        QCOMPARE(reply.mid(12, 4), QByteArray("LOCL"));
        QCOMPARE(reply.mid(24, 8), QByteArray::fromHex("deadbeef80000000"));
        QCOMPARE(reply.mid(16, 8), reply.mid(40, 8));
        const qint64 received = timestampMs(reply, 32);
        const qint64 sent = timestampMs(reply, 40);
        QVERIFY(received <= sent);
        // Both lie between the moments around the exchange (1 ms of rounding either side).
        QVERIFY2(received >= before - 1 && sent <= after + 1,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(before).arg(received).arg(sent).arg(after)));
    }

    void dropsWhatIsNotAClientRequest_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("sizeMessage");
        const QByteArray good = clientRequest(0x1B, 1, 2);
        QTest::newRow("47 bytes") << good.left(47) << true;
        QTest::newRow("49 bytes") << good + QByteArray(1, '\0') << true;
        QTest::newRow("68 bytes with a MAC") << good + QByteArray(20, 'm') << true;
        QTest::newRow("one byte") << QByteArray(1, '\x1b') << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("mode 0") << clientRequest(0x18, 1, 2) << false;
        QTest::newRow("mode 1 symmetric active") << clientRequest(0x19, 1, 2) << false;
        QTest::newRow("mode 2 symmetric passive") << clientRequest(0x1A, 1, 2) << false;
        QTest::newRow("mode 4 server") << clientRequest(0x24, 1, 2) << false;
        QTest::newRow("mode 5 broadcast") << clientRequest(0x1D, 1, 2) << false;
        QTest::newRow("mode 6 control") << clientRequest(0x16, 1, 2) << false;
        QTest::newRow("mode 7 private") << clientRequest(0x17, 1, 2) << false;
    }

    void dropsWhatIsNotAClientRequest()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, sizeMessage);
        QTest::ignoreMessage(QtDebugMsg, "NTP服务端绑定成功");
        if (sizeMessage)
            QTest::ignoreMessage(QtDebugMsg, "包大小不对");
        ntpserver server(0, nullptr);
        QUdpSocket client;
        QVERIFY(client.bind(QHostAddress(QHostAddress::LocalHost), 0));
        // The bad datagram goes first, then a good one: the only reply must be the good one's.
        client.writeDatagram(datagram, QHostAddress::LocalHost, server.localPort());
        const QByteArray reply = ask(server, client, clientRequest(0x1B, 0x11223344u, 0x55667788u));
        QCOMPARE(reply.size(), 48);
        QCOMPARE(reply.mid(24, 8), QByteArray::fromHex("1122334455667788"));
        QVERIFY(!client.hasPendingDatagrams());
    }

    void answersEveryRequestOfABurst()
    {
        QTest::ignoreMessage(QtDebugMsg, "NTP服务端绑定成功");
        ntpserver server(0, nullptr);
        QUdpSocket client;
        QVERIFY(client.bind(QHostAddress(QHostAddress::LocalHost), 0));
        constexpr int kCount = 50;
        for (int i = 0; i < kCount; ++i)
            client.writeDatagram(clientRequest(0x1B, quint32(i), 0), QHostAddress::LocalHost, server.localPort());
        QSet<quint32> seen;
        while (seen.size() < kCount) {
            if (!client.hasPendingDatagrams()) {
                QSignalSpy ready(&client, &QUdpSocket::readyRead);
                if (!client.hasPendingDatagrams() && !ready.wait(3000))
                    break;
            }
            while (client.hasPendingDatagrams())
                seen.insert(ntpserver::byteToUInt32(client.receiveDatagram().data().mid(24, 4)));
        }
        QCOMPARE(seen.size(), kCount);
    }

    void portTakenLeavesServerInert()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
        QTest::ignoreMessage(QtDebugMsg, "NTP服务端绑定端口失败");
        ntpserver server(holder.localPort(), nullptr);
        QVERIFY(!server.isBound());
    }

    void conversions_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("u32");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("four bytes") << QByteArray::fromHex("01020304") << qint64(0x01020304)
                                    << qint64(0x01020304) * 1000;
        QTest::newRow("three bytes") << QByteArray::fromHex("010203") << qint64(0) << qint64(0);
        QTest::newRow("half a second") << QByteArray::fromHex("0000000a80000000") << qint64(0) << qint64(10500);
        QTest::newRow("largest fraction") << QByteArray::fromHex("00000001ffffffff") << qint64(0) << qint64(1999);
        QTest::newRow("seconds only") << QByteArray::fromHex("00000002") << qint64(2) << qint64(2000);
        QTest::newRow("empty") << QByteArray() << qint64(0) << qint64(0);
    }

    void conversions()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, u32);
        QFETCH(qint64, ms);
        QCOMPARE(qint64(ntpserver::byteToUInt32(bytes)), u32);
        QCOMPARE(ntpserver::byte64ToMillionSecond(bytes), ms);
    }

    void timestampRoundTrip()
    {
        // 2024-05-06 13:07:09.250 UTC: 3923989629 (0xE9E3547D) s since 1900, fraction 0.25 * 2^32.
        const qint64 ms = Q_INT64_C(3923989629250);
        QCOMPARE(ntpserver::millisecondsToTimestamp(ms), QByteArray::fromHex("e9e3547d40000000"));
        QCOMPARE(ntpserver::byte64ToMillionSecond(ntpserver::millisecondsToTimestamp(ms)), ms);
    }

    // Debian's ntpdate and ntpdig query the server on port 123 and accept its time, whatever
    // the PC's time zone.
    void realClients_data()
    {
        QTest::addColumn<QString>("tz");
        QTest::newRow("UTC") << "UTC";
        QTest::newRow("Asia/Shanghai") << "Asia/Shanghai";
        QTest::newRow("America/New_York") << "America/New_York";
    }

    void realClients()
    {
        QFETCH(QString, tz);
        if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rn"), QStringLiteral("true")}) != 0)
            QSKIP("no user network namespaces here: port 123 cannot be given to the test");
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TZ"), tz);
        run.setProcessEnvironment(env);
        // A private network namespace: its loopback is the only interface and port 123 is free.
        run.start(QStringLiteral("unshare"),
                  {QStringLiteral("-rn"), QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                   QStringLiteral("PATH=$PATH:/usr/sbin:/sbin; export PATH; ip link set lo up && exec \"$0\" \"$@\""),
                   QCoreApplication::applicationFilePath(), QStringLiteral("--serve-ntp-for"),
                   QStringLiteral("ntpdate -q 127.0.0.1"), QStringLiteral("ntpdig -j -t 2 127.0.0.1")});
        QVERIFY(run.waitForFinished(60000));
        const QByteArray err = run.readAllStandardError();
        QCOMPARE(run.exitCode(), 0);
        const QList<QByteArray> lines = run.readAllStandardOutput().split('\n');
        QStringList outputs;
        for (const QByteArray& line : lines) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.isEmpty())
                continue;
            QVERIFY2(o["exit"].toInt() == 0,
                     qPrintable(o["command"].toString() + ": " + o["stderr"].toString() + o["stdout"].toString()));
            outputs << o["stdout"].toString();
        }
        QCOMPARE(outputs.size(), 2);
        // ntpdate: "2026-12-08 22:40:01.123456 (+0000) +0.000123 +/- 0.000250 127.0.0.1 s2 no-leap"
        const QStringList words = outputs[0].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY2(words.size() > 3, qPrintable(outputs[0]));
        // The offset is only known to within the error bound the client prints (half the round
        // trip), which grows when a busy machine delays the exchange.
        const double dateOffset = words[3].toDouble();
        const double dateBound = words.size() > 5 ? words[5].toDouble() : 0.0;
        QVERIFY2(qAbs(dateOffset) < 0.1 + dateBound, qPrintable(outputs[0]));
        QVERIFY2(outputs[0].contains(QLatin1String(" s2 ")), qPrintable(outputs[0]));
        // ntpdig -j: one JSON object with the offset in seconds and the stratum.
        const QJsonObject dig = QJsonDocument::fromJson(outputs[1].toUtf8()).object();
        QVERIFY2(dig.contains("offset"), qPrintable(outputs[1]));
        // ntpdig prints no error bound; ntpdate's check above holds the precision, this one
        // catches a wrong epoch, time zone or fraction.
        QVERIFY2(qAbs(dig["offset"].toDouble()) < 1.0 + dateBound, qPrintable(outputs[1]));
        QCOMPARE(dig["stratum"].toInt(), 2);
        Q_UNUSED(err);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--serve-ntp-for") == 0)
        return serveForClients(argc, argv);
    QCoreApplication app(argc, argv);
    tst_ntpserver test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ntpserver.moc"
