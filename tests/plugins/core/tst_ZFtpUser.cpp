#include <FtpListParser.h>
#include <FtpReplyParser.h>
#include <FtpTestServer.h>
#include <NetSocket.h>
#include <TestAppDir.h>
#include <TestTime.h>
#include <ZFtpUser.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <arpa/inet.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {
using Reply = QPair<int, QString>;

QByteArray randomBytes(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator gen(size);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>(gen.bounded(256));
    return data;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Hands out `data` in chunks of `chunk` bytes; each chunk lives until the next call.
ZFtpUser::ChunkSupplier chunksOf(const QByteArray& data, int chunk)
{
    auto current = std::make_shared<QByteArray>();
    return [data, chunk, current](int64_t sent, char** buffer, uint32_t* length) {
        *current = data.mid(static_cast<int>(sent), chunk);
        *buffer = current->isEmpty() ? nullptr : current->data();
        *length = static_cast<uint32_t>(current->size());
    };
}

// Runs blocking client calls on a thread of their own while this thread serves a scripted peer.
bool runOnWorker(const std::function<void()>& body)
{
    std::unique_ptr<QThread> worker(QThread::create(body));
    QueuedSignalSpy done(worker.get(), &QThread::finished);
    worker->start();
    const bool ok = done.wait(60000);
    worker->wait();
    return ok;
}

// An FTP peer that answers each command line with a scripted reply, sending every reply in the
// pieces given (a short timer apart, so they tend to arrive in separate reads).
class ScriptedPeer
{
public:
    ScriptedPeer()
    {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            control = server.nextPendingConnection();
            QObject::connect(control, &QTcpSocket::readyRead, [this] { onCommands(); });
            sendPieces(greeting);
        });
        server.listen(QHostAddress::LocalHost, 0);
    }

    void sendPieces(const QList<QByteArray>& pieces)
    {
        int delay = 0;
        for (const QByteArray& piece : pieces) {
            QTimer::singleShot(delay, control, [this, piece] {
                control->write(piece);
                control->flush();
            });
            delay += 20;
        }
    }

    void onCommands()
    {
        pending += control->readAll();
        int end;
        while ((end = pending.indexOf("\r\n")) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 2);
            received << line;
            const QByteArray verb = line.split(' ').first();
            if (handlers.contains(verb))
                handlers[verb](line);
            else
                sendPieces(replies.value(verb, {"502 Not implemented\r\n"}));
        }
    }

    QTcpServer server;
    QTcpSocket* control = nullptr;
    QList<QByteArray> greeting{"220 Ready\r\n"};
    QMap<QByteArray, QList<QByteArray>> replies{{"USER", {"331 Password\r\n"}},
                                                {"PASS", {"230 In\r\n"}},
                                                {"SYST", {"215 UNIX Type: L8\r\n"}},
                                                {"TYPE", {"200 Type set\r\n"}}};
    QMap<QByteArray, std::function<void(const QByteArray&)>> handlers;
    QList<QByteArray> received;
    QByteArray pending;
};

// A data listener for the scripted peer; its PASV reply names it.
class DataListener
{
public:
    DataListener() { server.listen(QHostAddress::LocalHost, 0); }
    QByteArray pasvReply() const
    {
        const quint16 p = server.serverPort();
        return QByteArray("227 Entering Passive Mode (127,0,0,1,") + QByteArray::number(p >> 8) + ','
             + QByteArray::number(p & 0xff) + ").\r\n";
    }
    QTcpServer server;
};
} // namespace

// The real server of the test row; the test skips where vsftpd cannot run.
#define START_REAL_SERVER(var, root, readOnly)                                                                         \
    FtpTestServer var(root, serverOptions(readOnly));                                                                  \
    if (!var.unavailableReason().isEmpty())                                                                            \
        QSKIP(qPrintable(var.unavailableReason()));                                                                    \
    QVERIFY(var.isRunning())

Q_DECLARE_METATYPE(FtpTestServer::Kind)

namespace {
FtpTestServer::Options serverOptions(bool readOnly)
{
    QFETCH_GLOBAL(FtpTestServer::Kind, kind);
    FtpTestServer::Options o;
    o.kind = kind;
    o.readOnly = readOnly;
    return o;
}

ZFtpUser* loggedIn(ZFtpUser& ftp, const FtpTestServer& server)
{
    ftp.SetServer("127.0.0.1", server.port());
    ftp.SetLogin(server.user().toUtf8().constData(), server.password().toUtf8().constData());
    return ftp.Connect() ? &ftp : nullptr;
}

bool makeFile(const QString& path, const QByteArray& data = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}
} // namespace

class tst_ZFtpUser : public QObject
{
    Q_OBJECT

private slots:
    // Every test runs against both real servers; those without a server simply run twice.
    void initTestCase_data()
    {
        QTest::addColumn<FtpTestServer::Kind>("kind");
        QTest::newRow("pyftpdlib") << FtpTestServer::Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << FtpTestServer::Kind::Vsftpd;
    }

    void replyLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<Reply>>("expected");
        QTest::newRow("two-line greeting")
            << QList<QByteArray>{"220-Hello\r\n220 Ready\r\n"} << QList<Reply>{{220, "Ready"}};
        QTest::newRow("code alone is no reply")
            << QList<QByteArray>{"226\r\n230 Logged in\r\n"} << QList<Reply>{{230, "Logged in"}};
        QTest::newRow("split inside the code")
            << QList<QByteArray>{"2", "20 Ready\r\n"} << QList<Reply>{{220, "Ready"}};
        QTest::newRow("split between cr and lf")
            << QList<QByteArray>{"220 Ready\r", "\n"} << QList<Reply>{{220, "Ready"}};
        QTest::newRow("split after the code's space")
            << QList<QByteArray>{"150 ", "Opening\r\n"} << QList<Reply>{{150, "Opening"}};
        QTest::newRow("multi-line split across reads")
            << QList<QByteArray>{"230-Wel", "come\r\n  rules\r\n23", "0 Logged in\r\n"}
            << QList<Reply>{{230, "Logged in"}};
        QTest::newRow("code-like line inside a multi-line reply")
            << QList<QByteArray>{"211-Features:\r\n200 not the end\r\n MDTM\r\n211 End\r\n"}
            << QList<Reply>{{211, "End"}};
        QTest::newRow("two replies in one read")
            << QList<QByteArray>{"150 Opening\r\n226 Done\r\n"} << QList<Reply>{{150, "Opening"}, {226, "Done"}};
        QTest::newRow("bare line feed") << QList<QByteArray>{"200 ok\n"} << QList<Reply>{{200, "ok"}};
        QTest::newRow("empty text") << QList<QByteArray>{"226 \r\n"} << QList<Reply>{{226, ""}};
        QTest::newRow("garbage before the reply")
            << QList<QByteArray>{"hello\r\n\r\n-\r\n331 Need password\r\n"} << QList<Reply>{{331, "Need password"}};
    }

    void replyLines()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<Reply>, expected);
        FtpReplyParser parser;
        int code = 0;
        std::string text;
        for (int i = 0; i + 1 < chunks.size(); ++i) {
            parser.append(chunks[i].constData(), static_cast<size_t>(chunks[i].size()));
            QCOMPARE(parser.take(code, text), 0); // no reply from a part of a line
        }
        parser.append(chunks.last().constData(), static_cast<size_t>(chunks.last().size()));
        QList<Reply> got;
        while (parser.take(code, text) == 1)
            got << Reply(code, QString::fromStdString(text));
        QCOMPARE(got, expected);
        QCOMPARE(parser.take(code, text), 0);
    }

    void overlongReplyLineIsAnError()
    {
        FtpReplyParser parser;
        const QByteArray junk(int(FtpReplyParser::kMaxPending) + 10, 'x');
        parser.append(junk.constData(), static_cast<size_t>(junk.size()));
        int code = 0;
        std::string text;
        QCOMPARE(parser.take(code, text), -1);
    }

    void listing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("format");
        // name|size|year since 1900|month 0-11|day|hour|minute per entry
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("unix directory with a space, time of day")
            << QByteArray("drwxr-xr-x 2 root root 4096 Jan 5 10:22 my dir\r\n") << true << 1
            << QStringList{"my dir|-1|126|0|5|10|22"};
        QTest::newRow("unix file with a year, numeric month")
            << QByteArray("-rw-r--r--   1 ftp  ftp   123456789012 3 17 2021 a.zip\r\n") << true << 1
            << QStringList{"a.zip|123456789012|121|2|17|0|0"};
        QTest::newRow("unix total line first, month name any case")
            << QByteArray("total 12\r\n-rw-r--r-- 1 u g 17 mAR 3 2021 b\r\nlrwxrwxrwx 1 u g 4 Dec 31 23:59 l -> t\r\n")
            << true << 1 << QStringList{"b|17|121|2|3|0|0", "l -> t|4|126|11|31|23|59|link l"};
        QTest::newRow("dos directory in the evening") << QByteArray("01-05-24  10:22PM  <DIR>  update\r\n") << true << 0
                                                      << QStringList{"update|-1|124|0|5|22|22"};
        QTest::newRow("dos noon and midnight")
            << QByteArray("12-31-99  12:30PM  10  noon.txt\r\n02-01-25  12:05AM  7  night file\r\n") << true << 0
            << QStringList{"noon.txt|10|99|11|31|12|30", "night file|7|125|1|1|0|5"};
        QTest::newRow("empty lines skipped") << QByteArray("\r\n\n-rw-r--r-- 1 u g 1 Feb 2 2020 x\r\n\r\n") << true << 1
                                             << QStringList{"x|1|120|1|2|0|0"};
        QTest::newRow("last line without a line end still counts")
            << QByteArray("-rw-r--r-- 1 u g 1 Feb 2 2020 x") << true << 1 << QStringList{"x|1|120|1|2|0|0"};
        QTest::newRow("unknown first character")
            << QByteArray("Xrw-r--r-- 1 u g 1 Feb 2 2020 x\r\n") << false << -1 << QStringList{};
        QTest::newRow("line without a name stops the parse, earlier entries stay")
            << QByteArray("-rw-r--r-- 1 u g 1 Feb 2 2020 x\r\n-rw-r--r-- 1 u g 1 Feb 2 2020\r\n"
                          "-rw-r--r-- 1 u g 1 Feb 2 2020 y\r\n")
            << false << 1 << QStringList{"x|1|120|1|2|0|0"};
        QTest::newRow("bad month name") << QByteArray("-rw-r--r-- 1 u g 1 Foo 2 2020 x\r\n") << false << 1
                                        << QStringList{};
        QTest::newRow("dos size not a number")
            << QByteArray("01-05-24  10:22PM  12a  f\r\n") << false << 0 << QStringList{};
    }

    void listing()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(int, format);
        QFETCH(QStringList, entries);
        std::tm now{};
        now.tm_year = 126; // 2026
        now.tm_mon = 11;
        now.tm_mday = 8;
        std::list<FtpListEntry> got;
        int detected = -1;
        QCOMPARE(FtpListParser::parse(text.constData(), static_cast<size_t>(text.size()), got, detected, now), ok);
        QCOMPARE(detected, format);
        QStringList described;
        for (const FtpListEntry& e : got)
            described << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                                 .arg(QString::fromStdString(e.name))
                                 .arg(e.size)
                                 .arg(e.time.tm_year)
                                 .arg(e.time.tm_mon)
                                 .arg(e.time.tm_mday)
                                 .arg(e.time.tm_hour)
                                 .arg(e.time.tm_min)
                             + (e.link ? QStringLiteral("|link %1").arg(QString::fromStdString(e.linkName()))
                                       : QString());
        QCOMPARE(described, entries);
    }

    void everyOperationAgainstARealServer()
    {
        TestAppDir app;
        START_REAL_SERVER(server, app.root() + "/ftp", false);
        ZFtpUser ftp;
        QVERIFY(loggedIn(ftp, server));
        QCOMPARE(ftp.LoginState(), int(ZFtpUser::LoggedIn));
        QCOMPARE(ftp.Pwd(), std::string("/"));

        // Store creates the missing folders on its way.
        const QByteArray data = randomBytes(3 * 65535 + 1234);
        QVERIFY(ftp.Stor("/opt/update/pkg.bin", chunksOf(data, 65535)));
        QCOMPARE(readFile(server.root() + "/opt/update/pkg.bin"), data);
        QCOMPARE(ftp.Pwd(), std::string("/opt/update"));

        // One-buffer mode and an empty file.
        QByteArray small("hello ftp");
        QVERIFY(ftp.StorBuffer("small.txt", [&small](char** b, uint32_t* n) {
            *b = small.data();
            *n = static_cast<uint32_t>(small.size());
        }));
        QCOMPARE(readFile(server.root() + "/opt/update/small.txt"), small);
        QVERIFY(ftp.Stor("empty", chunksOf(QByteArray(), 10)));
        QCOMPARE(readFile(server.root() + "/opt/update/empty"), QByteArray());

        // Retrieve streams it back.
        QByteArray back;
        uint64_t moved = 0;
        ftp.SetSpeedCallback([&moved](uint32_t bytes, int64_t) { moved += bytes; });
        QVERIFY(ftp.Retr("pkg.bin", [&back](const char* d, uint32_t n, uint32_t) { back.append(d, int(n)); }));
        QCOMPARE(back, data);
        QCOMPARE(moved, uint64_t(data.size()));
        ftp.SetSpeedCallback(nullptr);
        QVERIFY(!ftp.Retr("no-such-file", [](const char*, uint32_t, uint32_t) {}));

        // Swap mode with a small buffer of the consumer's.
        QByteArray swapped;
        char mine[1000];
        QVERIFY(ftp.RetrSwap("pkg.bin", [&](char* d, uint32_t n, uint32_t* size) {
            swapped.append(d, int(n));
            *size = sizeof mine;
            return mine;
        }));
        QCOMPARE(swapped, data);

        QDir().mkpath(server.root() + "/opt/update/sub dir");
        server.handOver();
        std::list<FtpListEntry>* list = nullptr;
        QVERIFY(ftp.GetList(&list));
        QVERIFY(list);
        QMap<QString, qint64> sizes;
        for (const FtpListEntry& e : *list)
            sizes[QString::fromStdString(e.name)] = e.size;
        QCOMPARE(sizes, (QMap<QString, qint64>{
                            {"pkg.bin", data.size()}, {"small.txt", small.size()}, {"empty", 0}, {"sub dir", -1}}));

        std::string opt = "/opt";
        QVERIFY(ftp.Cwd(opt));
        QCOMPARE(opt, std::string("/opt/"));
        QCOMPARE(ftp.Pwd(), std::string("/opt"));

        QVERIFY(ftp.Dele("/opt/update/small.txt"));
        QVERIFY(!QFile::exists(server.root() + "/opt/update/small.txt"));
        QVERIFY(!ftp.Dele("/opt/update/small.txt"));
        QVERIFY(!ftp.Dele("/no/such/dir/file"));

        QVERIFY(ftp.Mkd("/a/b/c"));
        QVERIFY(QFileInfo(server.root() + "/a/b/c").isDir());
        QVERIFY(ftp.RemoveDir("/opt"));
        QVERIFY(!QFileInfo::exists(server.root() + "/opt"));
        QVERIFY(QFileInfo(server.root() + "/a/b/c").isDir());

        // pyftpdlib refuses the option, vsftpd is always in UTF-8 and refuses only to leave it:
        // the state follows each answer.
        const bool vsftpd = server.kind() == FtpTestServer::Kind::Vsftpd;
        QCOMPARE(ftp.OptsUtf8(true), vsftpd);
        QCOMPARE(ftp.IsUtf8(), vsftpd);
        QVERIFY(!ftp.OptsUtf8(false));
        QVERIFY(ftp.IsUtf8());
        ftp.Close();
        QCOMPARE(ftp.Pwd(), std::string());
        QVERIFY(ftp.Connect()); // again after Close
        QVERIFY(QFileInfo(server.root() + "/a/b/c").isDir());
        QVERIFY(ftp.RemoveDir("a/b"));
        QVERIFY(!QFileInfo::exists(server.root() + "/a/b"));
    }

    void refusedLogins_data()
    {
        // An empty user stands for the server's own user.
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << ""
                                        << "wrong";
        QTest::newRow("unknown user") << "nobody"
                                      << "secret";
        QTest::newRow("empty password sends the user name") << ""
                                                            << "";
    }

    void refusedLogins()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        TestAppDir app;
        START_REAL_SERVER(server, app.root() + "/ftp", false);
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", server.port());
        ftp.SetLogin((user.isEmpty() ? server.user() : user).toUtf8().constData(), password.toUtf8().constData());
        QVERIFY(!ftp.Connect());
        QCOMPARE(ftp.LoginState(), int(ZFtpUser::LoginRefused));
        // Nothing works without a connection.
        QVERIFY(!ftp.Stor("x", chunksOf("abc", 2)));
        QVERIFY(!ftp.List());
    }

    void readOnlyServerRefusesStore()
    {
        TestAppDir app;
        START_REAL_SERVER(server, app.root() + "/ftp", true);
        ZFtpUser ftp;
        QVERIFY(loggedIn(ftp, server));
        QVERIFY(!ftp.Stor("/pkg.zip", chunksOf(randomBytes(1000), 100)));
        QVERIFY(!QFileInfo::exists(server.root() + "/pkg.zip"));
        QVERIFY(!ftp.Mkd("/newdir"));
        // The connection stays usable after the refusal.
        QVERIFY(ftp.List());
        QVERIFY(ftp.Entries().empty());
    }

    void missingServerFailsConnect()
    {
        // A port that was just free: nothing listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", port);
        QVERIFY(!ftp.Connect());
        QCOMPARE(ftp.LoginState(), int(ZFtpUser::NotLoggedIn));
        QVERIFY(!ftp.SetServerIp("not an address"));
    }

    void silentServerTimesOut()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", silent.serverPort());
        ftp.SetReplyTimeout(TestTime::ms(300));
        bool connected = true;
        int reply = -5;
        QVERIFY(runOnWorker([&] { connected = ftp.Connect(); }));
        QVERIFY(!connected);
        QCOMPARE(ftp.LoginState(), int(ZFtpUser::NotLoggedIn));
        reply = ftp.ReadReply();
        QCOMPARE(reply, -1); // no socket is left open
    }

    void splitAndMultiLineRepliesFromARawPeer()
    {
        ScriptedPeer peer;
        QVERIFY(peer.server.isListening());
        peer.greeting = {"220-Hel", "lo\r\n  more\r\n22", "0 Ready\r\n"};
        peer.replies["USER"] = {"33", "1 Password required\r", "\n"};
        peer.replies["PASS"] = {"230-Welcome\r\n", "230 Logged in\r\n"};
        peer.replies["PWD"] = {"257 \"/home/f", "tp\" is the current directory\r\n"};
        peer.replies["CWD"] = {"250 ok\r\n"};
        peer.replies["PASV"] = {"227 Entering Passive Mode (192,168,1,10,19,137).\r\n"};
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", peer.server.serverPort());
        ftp.SetLogin("root", "");
        bool connected = false;
        std::string pwd;
        std::string cwdPath = "/opt";
        bool cwd = false;
        bool pasv = false;
        sockaddr_in data{};
        QVERIFY(runOnWorker([&] {
            connected = ftp.Connect();
            pwd = ftp.Pwd();
            cwd = ftp.Cwd(cwdPath);
            pasv = ftp.Pasv();
            data = ftp.DataAddress();
        }));
        QVERIFY(connected);
        QCOMPARE(pwd, std::string("/home/ftp"));
        QVERIFY(cwd);
        QCOMPARE(cwdPath, std::string("/opt/"));
        QVERIFY(pasv);
        char text[INET_ADDRSTRLEN];
        QCOMPARE(QString(inet_ntop(AF_INET, &data.sin_addr, text, sizeof text)), QString("192.168.1.10"));
        QCOMPARE(int(ntohs(data.sin_port)), 19 * 256 + 137);
        QCOMPARE(peer.received, (QList<QByteArray>{"USER root", "PASS root", "SYST", "PWD", "CWD /opt/", "PASV"}));
    }

    void pwdAndPasvOddities_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("pwd");
        QTest::newRow("apostrophe belongs to the name")
            << QByteArray("257 \"/victim/it's\" is current\r\n") << "/victim/it's";
        QTest::newRow("doubled quote is one quote")
            << QByteArray("257 \"/say \"\"hi\"\"\" is current\r\n") << "/say \"hi\"";
        QTest::newRow("doubled quote at the end") << QByteArray("257 \"/a\"\"\" here\r\n") << "/a\"";
        QTest::newRow("text before the first quote") << QByteArray("257 dir is \"/x\"\r\n") << "/x";
        QTest::newRow("apostrophes do not quote") << QByteArray("257 '/x y' here\r\n") << "";
        QTest::newRow("no closing quote") << QByteArray("257 \"/home\r\n") << "";
        QTest::newRow("no quotes") << QByteArray("257 /home\r\n") << "";
        QTest::newRow("refused") << QByteArray("550 no\r\n") << "";
    }

    void pwdAndPasvOddities()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, pwd);
        ScriptedPeer peer;
        peer.replies["PWD"] = {reply};
        peer.replies["PASV"] = {"227 Entering Passive Mode 127,0,0,1,4,1\r\n"};
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", peer.server.serverPort());
        std::string got = "unset";
        bool pasv = true;
        QVERIFY(runOnWorker([&] {
            if (ftp.Connect()) {
                got = ftp.Pwd();
                pasv = ftp.Pasv();
            }
        }));
        QCOMPARE(QString::fromStdString(got), pwd);
        QVERIFY(!pasv); // a PASV text without '(' names no address
    }

    void storeEndsEarlyWhenThePeerClosesTheDataConnection_data()
    {
        QTest::addColumn<bool>("closeEarly");
        QTest::addColumn<bool>("expected");
        QTest::newRow("peer reads everything") << false << true;
        QTest::newRow("peer closes early but still answers 226") << true << false;
    }

    void storeEndsEarlyWhenThePeerClosesTheDataConnection()
    {
        QFETCH(bool, closeEarly);
        QFETCH(bool, expected);
        ScriptedPeer peer;
        DataListener listener;
        QVERIFY(listener.server.isListening());
        peer.replies["PASV"] = {listener.pasvReply()};
        peer.replies["CWD"] = {"250 ok\r\n"};
        qint64 receivedBytes = 0;
        peer.handlers["STOR"] = [&](const QByteArray&) { peer.sendPieces({"150 Opening\r\n"}); };
        QObject::connect(&listener.server, &QTcpServer::newConnection, [&] {
            QTcpSocket* data = listener.server.nextPendingConnection();
            QObject::connect(data, &QTcpSocket::readyRead, [&, data] {
                receivedBytes += data->readAll().size();
                if (closeEarly && data->state() == QAbstractSocket::ConnectedState)
                    data->abort(); // unread bytes make this a reset
            });
            QObject::connect(data, &QTcpSocket::disconnected, [&, data] {
                if (data->isOpen())
                    receivedBytes += data->readAll().size();
                peer.sendPieces({"226 Transfer complete.\r\n"});
            });
        });
        // Far more than the socket buffers hold, so the client is still sending when the peer goes.
        const qint64 total = closeEarly ? qint64(256) << 20 : qint64(8) << 20;
        auto chunk = std::make_shared<QByteArray>(1 << 20, 'k');
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", peer.server.serverPort());
        bool stored = !expected;
        QVERIFY(runOnWorker([&] {
            if (ftp.Connect())
                stored = ftp.Stor("/up.bin", [&](int64_t sent, char** b, uint32_t* n) {
                    *b = sent < total ? chunk->data() : nullptr;
                    *n = sent < total ? static_cast<uint32_t>(chunk->size()) : 0;
                });
        }));
        QCOMPARE(stored, expected);
        if (!closeEarly)
            QCOMPARE(receivedBytes, total);
        QVERIFY(peer.received.contains("STOR up.bin"));
    }

    void callerAbortStopsATransfer()
    {
        ScriptedPeer peer;
        DataListener listener;
        peer.replies["PASV"] = {listener.pasvReply()};
        peer.replies["CWD"] = {"250 ok\r\n"};
        peer.replies["STOR"] = {"150 Opening\r\n"};
        // The peer reads slowly enough to never finish: it only drains what arrives.
        QObject::connect(&listener.server, &QTcpServer::newConnection, [&] {
            QTcpSocket* data = listener.server.nextPendingConnection();
            QObject::connect(data, &QTcpSocket::readyRead, [data] { data->readAll(); });
        });
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", peer.server.serverPort());
        ftp.SetReplyTimeout(TestTime::ms(200));
        ZFtpUser::AbortFlag flag{true};
        auto chunk = std::make_shared<QByteArray>(65536, 'a');
        int calls = 0;
        bool stored = true;
        QVERIFY(runOnWorker([&] {
            if (ftp.Connect())
                stored = ftp.Stor(
                    "up.bin",
                    [&](int64_t, char** b, uint32_t* n) {
                        if (++calls == 20)
                            flag.store(false); // the user pressed stop
                        *b = chunk->data();
                        *n = static_cast<uint32_t>(chunk->size());
                    },
                    &flag);
        }));
        QVERIFY(!stored);
        QVERIFY(calls >= 20);
    }

    void passiveModeOffFailsTransfers()
    {
        TestAppDir app;
        START_REAL_SERVER(server, app.root() + "/ftp", false);
        ZFtpUser ftp;
        QVERIFY(loggedIn(ftp, server));
        ftp.SetPassiveMode(false);
        QVERIFY(!ftp.Stor("a", chunksOf("abc", 3)));
        QVERIFY(!ftp.List());
        ftp.SetPassiveMode(true);
        QVERIFY(ftp.Stor("a", chunksOf("abc", 3)));
        QCOMPARE(readFile(server.root() + "/a"), QByteArray("abc"));
    }

    void lineBreaksInNamesAreRefused()
    {
        TestAppDir app;
        START_REAL_SERVER(server, app.root() + "/ftp", false);
        QFile victim(server.root() + "/keep");
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.close();
        server.handOver();
        ZFtpUser ftp;
        QVERIFY(loggedIn(ftp, server));
        QVERIFY(!ftp.Dele("x\r\nDELE keep"));
        QVERIFY(QFileInfo::exists(server.root() + "/keep"));
        QVERIFY(ftp.Dele("/keep"));
    }

    void removeDirTakesItsFolderWhole_data()
    {
        // Folder to remove, then what lies in it ("name" a file, "name/" a folder, "!name/" a
        // folder that can be entered but not read, "name@target" a symbolic link), then what lies
        // beside it and must stay, and whether the folder goes (or all of it stays).
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("inside");
        QTest::addColumn<QStringList>("beside");
        QTest::addColumn<bool>("goes");
        QTest::newRow("apostrophe in the name, sibling named up to it")
            << "/victim/it's" << QStringList{"a.txt", "sub/", "sub/b.txt"} << QStringList{"/victim/it/keep.txt"}
            << true;
        QTest::newRow("double quote in the name, sent doubled by the server")
            << "/victim/say \"hi\"" << QStringList{"a.txt"} << QStringList{"/victim/say/keep.txt"} << true;
        QTest::newRow("symbolic links are removed, their targets stay")
            << "/victim/links" << QStringList{"f.txt", "to-dir@../target", "to-file@../target/t.txt"}
            << QStringList{"/victim/target/t.txt"} << true;
        QTest::newRow("hidden entries go too")
            << "/victim/dots" << QStringList{".hidden", ".config/", ".config/x", "plain"}
            << QStringList{"/victim/other/keep"} << true;
        QTest::newRow("unreadable subfolder listed empty, nothing goes")
            << "/victim/mixed" << QStringList{"a.txt", "open/", "open/b.txt", "!locked/", "locked/c.txt"}
            << QStringList{"/victim/other/keep"} << false;
        QTest::newRow("link whose name holds an arrow beside a file of its first part, nothing goes")
            << "/victim/arrow" << QStringList{"lnk", "lnk -> fake@fake"} << QStringList{"/victim/other/keep"} << false;
    }

    void removeDirTakesItsFolderWhole()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, inside);
        QFETCH(QStringList, beside);
        QFETCH(bool, goes);
        TestAppDir app;
        START_REAL_SERVER(server, app.root() + "/ftp", false);
        const QString base = server.root() + folder;
        QVERIFY(QDir().mkpath(base));
        QStringList locked;
        for (const QString& entry : inside) {
            if (entry.startsWith('!')) {
                locked << base + '/' + entry.mid(1);
                QVERIFY(QDir().mkpath(locked.last()));
                // pyftpdlib serves as the test's own user, and root reads any folder.
                goes = goes || (server.kind() == FtpTestServer::Kind::Pyftpdlib && geteuid() == 0);
            } else if (entry.endsWith('/'))
                QVERIFY(QDir().mkpath(base + '/' + entry));
            else if (entry.contains('@'))
                QVERIFY(QFile::link(entry.section('@', 1), base + '/' + entry.section('@', 0, 0)));
            else
                QVERIFY(makeFile(base + '/' + entry));
        }
        for (const QString& keep : beside)
            QVERIFY(makeFile(server.root() + keep, "kept"));
        for (const QString& dir : qAsConst(locked))
            QVERIFY(
                QFile::setPermissions(dir, QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
        server.handOver();
        ZFtpUser ftp;
        QVERIFY(loggedIn(ftp, server));
        const bool removed = ftp.RemoveDir(folder.toStdString());
        for (const QString& dir : qAsConst(locked))
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(removed, goes);
        for (const QString& entry : inside) {
            const QFileInfo left(base + '/' + entry.section('@', 0, 0).remove('!'));
            QVERIFY2(goes != (left.exists() || left.isSymLink()), qPrintable(left.filePath()));
        }
        QCOMPARE(QFileInfo::exists(base), !goes);
        QVERIFY(!QFileInfo(base).isSymLink());
        for (const QString& keep : beside)
            QCOMPARE(readFile(server.root() + keep), QByteArray("kept"));
    }

    void removalThatCannotFinishDeletesNothing()
    {
        // The top folder lists a file and a folder; the folder cannot be entered.
        ScriptedPeer peer;
        DataListener listener;
        QVERIFY(listener.server.isListening());
        peer.replies["PASV"] = {listener.pasvReply()};
        QByteArray cwd = "/";
        peer.handlers["CWD"] = [&](const QByteArray& line) {
            const QByteArray path = line.mid(4);
            const bool ok = path == "/" || path == "top" || path == "/top/";
            if (ok)
                cwd = path == "top" ? "/top" : path;
            peer.sendPieces({ok ? "250 ok\r\n" : "550 Permission denied.\r\n"});
        };
        peer.replies["PWD"] = {"257 \"/top\" is the current directory\r\n"};
        peer.handlers["LIST"] = [](const QByteArray&) {}; // answered when the data connection comes
        QObject::connect(&listener.server, &QTcpServer::newConnection, [&] {
            QTcpSocket* data = listener.server.nextPendingConnection();
            peer.sendPieces({"150 Here it comes\r\n"});
            data->write("-rw-r--r-- 1 u g 3 Jan 1 2020 f.txt\r\ndrwxr-xr-x 2 u g 4096 Jan 1 2020 locked\r\n");
            data->disconnectFromHost();
            QObject::connect(data, &QTcpSocket::disconnected, [&] { peer.sendPieces({"226 Done\r\n"}); });
        });
        ZFtpUser ftp;
        ftp.SetServer("127.0.0.1", peer.server.serverPort());
        bool removed = true;
        QVERIFY(runOnWorker([&] {
            if (ftp.Connect())
                removed = ftp.RemoveDir("/top");
        }));
        QVERIFY(!removed);
        QVERIFY2(peer.received.contains("CWD /top/locked/"), peer.received.join(" | ").constData());
        for (const QByteArray& line : qAsConst(peer.received))
            QVERIFY2(!line.startsWith("DELE") && !line.startsWith("RMD"), line.constData());
    }
};

QTEST_GUILESS_MAIN(tst_ZFtpUser)
#include "tst_ZFtpUser.moc"
