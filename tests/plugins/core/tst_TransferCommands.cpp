#include <CommandTest.h>
#include <FileLogger.h>
#include <FramePeer.h>
#include <LinkTest.h>
#include <ProtocolManager.h>
#include <TestAppDir.h>

#include <QSignalSpy>
#include <QtTest>
#include <QueuedSignalSpy.h>

#include <functional>
#include <memory>

using Call = std::function<void(ProtocolManager&)>;
Q_DECLARE_METATYPE(Call)

namespace {
Record sampleRecord()
{
    Record r;
    r.Name = 0x65A2A8C0;
    r.StartTime = 0x65A2A8C1;
    r.Duration = 30;
    r.Size = 4;
    r.Available = true;
    r.Type = 1;
    r.Bit = 8;
    r.Bands = {3, 4};
    return r;
}
// sampleRecord() as the download start carries it: the Record stream form, little-endian.
const QByteArray kSampleRecordBytes = QByteArray::fromHex("C0A8A265"
                                                          "C1A8A265"
                                                          "1E000000"
                                                          "04000000"
                                                          "01"
                                                          "01"
                                                          "08"
                                                          "02000000"
                                                          "03000000"
                                                          "04000000"
                                                          "00000000");
} // namespace

class tst_TransferCommands : public CommandTest
{
    Q_OBJECT

private slots:
    void initTestCase() { m_app = LinkTest::appWithLog(); }

    void requests_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<int>("card");
        QTest::addColumn<QByteArray>("payload");
        // 127.0.0.1 as ipString2Int gives it: 0x7F000001.
        QTest::newRow("start upload, card 2 from block 5")
            << Call([](ProtocolManager& pm) { pm.StartUploadCmd(2, 0x65A2A8C0, 5, 0x7F000001, 6002, 4); }) << 1 << 2
            << QByteArray::fromHex("C0A8A265"
                                   "04000000"
                                   "05000000"
                                   "0100007F"
                                   "7217");
        QTest::newRow("stop upload") << Call([](ProtocolManager& pm) { pm.StopUpload(3); }) << 3 << 3 << QByteArray();
        QTest::newRow("start download with the binary record") << Call([](ProtocolManager& pm) {
            pm.StartDownloadCmd(1, 0x65A2A8C0, 2, true, 0x7F000001, 6001, sampleRecord());
        }) << 4 << 1
                                                               << QByteArray::fromHex("C0A8A265"
                                                                                      "02000000"
                                                                                      "01"
                                                                                      "0100007F"
                                                                                      "7117")
                                                                      + kSampleRecordBytes;
        QTest::newRow("resumed download")
            << Call([](ProtocolManager& pm) { pm.StartDownloadCmd(2, 7, 2, false, 0x7F000001, 1, sampleRecord()); })
            << 4 << 2
            << QByteArray::fromHex("07000000"
                                   "02000000"
                                   "00"
                                   "0100007F"
                                   "0100")
                   + kSampleRecordBytes;
        QTest::newRow("start download with the text description") << Call([](ProtocolManager& pm) {
            RecordEx r;
            r.InitDefaults();
            r.clearAll();
            r.setSectionValue("Record", "Name", 7);
            pm.StartDownloadRecordExCmd(1, 7, 2, true, 0x7F000001, 6001, r);
        }) << 0x14 << 1
                                                                  << QByteArray::fromHex("07000000"
                                                                                         "02000000"
                                                                                         "01"
                                                                                         "0100007F"
                                                                                         "7117")
                                                                         + QByteArray("[Record]\nName=7\n\n");
        QTest::newRow("stop download") << Call([](ProtocolManager& pm) { pm.StopDownload(1); }) << 6 << 1
                                       << QByteArray();
    }
    void requests()
    {
        QFETCH(Call, call);
        QFETCH(int, cmd);
        QFETCH(int, card);
        QFETCH(QByteArray, payload);
        QVERIFY(requestSent(Msg_Type::UploadDownload, [&] { call(*m_pm); }));
        QCOMPARE(m_sent.bytes,
                 FramePeer::compose(Msg_Type::UploadDownload, Msg_Cmd(cmd), payload, m_sent.sequence, quint8(card)));
    }

    void heartbeatsAreHeaderOnly()
    {
        QVERIFY(LinkTest::connectLink(*m_pm, m_peer));
        QVERIFY(m_pm->SendCmd(Msg_Type::UploadDownload, Msg_Cmd::UploadingAck, Target_Dev::Device));
        FramePeer::Frame f;
        QVERIFY(m_peer->next(Msg_Type::UploadDownload, f));
        QCOMPARE(f.bytes,
                 FramePeer::compose(Msg_Type::UploadDownload, Msg_Cmd::UploadingAck, QByteArray(), f.sequence));
    }

    void logLines()
    {
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        // Link down: the upload line is only written for a frame handed over, the download line always.
        m_pm->StartUploadCmd(2, 5, 1, 0, 6002, 2);
        m_pm->StartDownloadCmd(2, 5, 2, true, 0, 6003, sampleRecord());
        const QString when = QDateTime::fromSecsSinceEpoch(5).toString("yyyyMMddhhmmss");
        QCOMPARE(LinkTest::logMessages(log, FileLogger::Info),
                 QStringList{QStringLiteral("记录下载[Card:2 Port:6003][5 (%1) , 2]").arg(when)});
        log.clear();
        QVERIFY(LinkTest::connectLink(*m_pm, m_peer));
        m_pm->StartUploadCmd(2, 5, 1, 0, 6002, 2);
        QVERIFY(LinkTest::logMessages(log, FileLogger::Info)
                    .contains(QStringLiteral("记录上传[Card:2 Port:6002][5 (%1) , 1 * 2]").arg(when)));
    }

    void replies_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("error");
        QTest::newRow("upload accepted") << 1 << QByteArray("\x00", 1) << "startUpload" << 0 << QString();
        QTest::newRow("upload refused") << 1 << QByteArray("\x01", 1) << "startUpload" << 1 << QString();
        QTest::newRow("upload record not found") << 1 << QByteArray("\x02", 1) << "startUpload" << 2 << QString();
        QTest::newRow("upload stopped") << 3 << QByteArray("\x01", 1) << "stopUpload" << 0 << QString();
        QTest::newRow("upload stop failed") << 3 << QByteArray("\x00", 1) << "" << 0 << QStringLiteral("停止上传失败");
        QTest::newRow("download accepted") << 4 << QByteArray("\x01", 1) << "startDownload" << 1 << QString();
        QTest::newRow("download refused") << 4 << QByteArray("\x00", 1) << "startDownload" << 0 << QString();
        QTest::newRow("text download accepted") << 0x14 << QByteArray("\x03", 1) << "startDownload" << 1 << QString();
        QTest::newRow("download stopped") << 6 << QByteArray("\x01", 1) << "stopDownload" << 0 << QString();
        QTest::newRow("download stop failed")
            << 6 << QByteArray("\x00", 1) << "" << 0 << QStringLiteral("停止下载失败");
        QTest::newRow("uploading ack") << 7 << QByteArray("\x01", 1) << "ack" << 0 << QString();
        QTest::newRow("downloading ack") << 8 << QByteArray("\x01", 1) << "ack" << 0 << QString();
        QTest::newRow("bad ack") << 8 << QByteArray("\x00", 1) << "" << 0 << QStringLiteral("正在上传/下载回包错误");
        // It came for the start that waits, and says nothing: that start failed, named.
        QTest::newRow("no result byte") << 1 << QByteArray() << "" << 0
                                        << QStringLiteral("设备应答不完整，请求失败[类型:4][指令:1][长度:0]");
        QTest::newRow("command 21") << 21 << QByteArray("\x01", 1) << "" << 0 << QString();
    }
    void replies()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, payload);
        QFETCH(QString, signal);
        QFETCH(int, value);
        QFETCH(QString, error);
        QSignalSpy startUpload(m_pm.get(), &ProtocolManager::StartUploadRecord);
        QSignalSpy stopUpload(m_pm.get(), &ProtocolManager::StopUploadRecord);
        QSignalSpy startDownload(m_pm.get(), &ProtocolManager::StartDownlaodRecord);
        QSignalSpy stopDownload(m_pm.get(), &ProtocolManager::StopDownloadRecord);
        QSignalSpy ack(m_pm.get(), &ProtocolManager::AckUploadingOrDownloading);
        QueuedSignalSpy log(FileLogger::instance(), &FileLogger::MessageLogged);
        m_pm->expectReplyForTest(Msg_Type::UploadDownload, Msg_Cmd(cmd));
        m_pm->slot_tcp_dataRecv(FramePeer::reply(Msg_Type::UploadDownload, Msg_Cmd(cmd), payload));
        const QMap<QString, QSignalSpy*> spies{{"startUpload", &startUpload},
                                               {"stopUpload", &stopUpload},
                                               {"startDownload", &startDownload},
                                               {"stopDownload", &stopDownload},
                                               {"ack", &ack}};
        for (auto it = spies.begin(); it != spies.end(); ++it)
            QCOMPARE(it.value()->count(), it.key() == signal ? 1 : 0);
        if (signal == "startUpload")
            QCOMPARE(int(startUpload.at(0).at(0).value<uchar>()), value);
        if (signal == "startDownload")
            QCOMPARE(startDownload.at(0).at(0).toBool(), value != 0);
        QCOMPARE(LinkTest::logMessages(log, FileLogger::Error), error.isEmpty() ? QStringList() : QStringList{error});
    }
};

QTEST_GUILESS_MAIN(tst_TransferCommands)
#include "tst_TransferCommands.moc"
