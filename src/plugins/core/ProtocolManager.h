#pragma once

#include "core_global.h"

#include "CustomFreqHZ.h"
#include "DeviceCapabilities.h"
#include "DeviceInfo.h"
#include "DiskVolume.h"
#include "FileLogger.h"
#include "FreqBand.h"
#include "HeartMsg.h"
#include "LastWords.h"
#include "MsgHeader.h"
#include "OpenRequests.h"
#include "QMemorySetting.h"
#include "RecordEx.h"
#include "SyncDeviceState.h"
#include "SystemState.h"

#include "AttenuationData.h"
#include "CalibrationData.h"
#include "ConfigParam.h"
#include "Freq_Num.h"
#include "GetRecordListMsg.h"
#include "ReceiverDataTrans.h"
#include "Record.h"
#include "RecordParam.h"
#include "ReplyOwner.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <functional>

class FrameBuffer;
class QTimer;
class TcpConnect;

// The endpoint of the command protocol to the instrument. It owns the control link, keeps it
// alive with a heartbeat (one at link-up, then one a second; three unanswered in a row close
// and re-open the link), builds every command frame (format in MsgHeader.h), cuts the received
// byte stream into frames, hands each to the parser of its message type and turns replies into
// signals. Everything but the static frame helpers runs in the thread that owns the object.
//
// Every send is gated on the link: while it is down nothing is handed to the link thread, a
// builder with a bool result returns false and one without a result does nothing (its sequence
// number is used up all the same).
//
// A reply that answers something this PC asked for (a set command, a calibration, a self-check,
// a record query or change, a transfer start or stop and its heartbeat answers, ...) acts only
// while that request is open, and a set result acts with the values the PC sent; any other such
// reply is logged at warning with its type and command and dropped. The rule of every kind (its
// wait, what settles it after the wait, whether several may be open) is `ruleOf`, kept by the
// table of open requests (OpenRequests.h): one request of a kind is open at a time, so a reply
// that names nothing is that request's own; one that names what it answers (a record, a card's
// self-check) takes the oldest that asked for it. Whoever sent a request may give it an owner,
// which is told what became of it (ReplyOwner.h). A request of a kind that is open is not sent:
// the send returns false. After its wait a start or stop is checked at once by the run state, a
// record change by the record list (RecordCheckNeeded), a transfer start by its card's
// connection; set commands are settled by quiet. A record change nobody here asked for emits
// RecordsChangedUnasked instead, so that the list is fetched again; a start or stop nobody here
// asked for makes the PC ask the run state (the one exception: a playback that ended by itself
// reports so with its position). Heartbeat replies, the instrument's own requests and reports,
// device information, disk volume, progress and output attenuation act whoever asked, since the
// instrument may be driven from elsewhere.
class CORE_EXPORT ProtocolManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int kHeartbeatIntervalMs = 1000;
    static constexpr int kHeartbeatMissLimit = 3;
    // How long a request waits for the reply that confirms it: as long as the pages wait, and
    // for a record query as long as the record-list search keeps asking (two of its periods).
    static constexpr int kReplyWaitMs = 5000;
    static constexpr int kRecordReplyWaitMs = 6000;
    // Clearing every record empties the instrument's disks, which takes longer than an answer.
    static constexpr int kClearWaitMs = 60000;

    // Public so that tests can run a fresh manager; the system uses instance().
    explicit ProtocolManager(QObject* parent = nullptr);
    ~ProtocolManager() override;

    static ProtocolManager* instance();

    // The source byte of every header; assigned by the instrument in its heartbeat reply.
    static std::atomic<quint8> SourceMod;

    // Frame helpers without state of their own (the header builders read SourceMod), safe to
    // call from any thread.
    static QByteArray U32toByte(uint value);
    static QByteArray U16toByte(ushort value);
    static QByteArray MsgHead(Target_Dev target, uchar card, ushort sequence, Msg_Type type, Msg_Cmd cmd, uint length);
    static QByteArray MsgHeadToTerminal(uchar card, ushort sequence, Msg_Type type, Msg_Cmd cmd, uint length);
    static uint crc32Mpeg2(const uchar* data, uint length);
    static bool CrcCheck(const uchar* data, uint length, uint crc);
    static void SendCmdOK(bool ok);
    // Dotted IPv4 text to a number, first part most significant; 0 unless there are four parts.
    static uint ipString2Int(QString text);
    static QString ipInt2String(uint address);

    // Header, payload and CRC with the next sequence number; nothing is sent.
    QByteArray MakeFrame(Msg_Type type, Msg_Cmd cmd, const QByteArray& payload = QByteArray(), uchar card = 0,
                         Target_Dev target = Target_Dev::Device);
    // Hands a whole frame to the link thread while the link is up; true when bytes went out.
    bool SendFrame(const QByteArray& frame);
    bool SendCmd(Msg_Type type, Msg_Cmd cmd, Target_Dev target, const ReplyOwner& owner = ReplyOwner());

    // Cuts and dispatches every whole frame at the front of the buffer.
    void ParseMsg(FrameBuffer& buffer);
    // Dispatches one frame by its type; the frame (16 + length + 4 bytes) must lie whole in memory.
    void ParseMsg(const MsgHeader* frame);
    // Dispatches every frame of the bytes whose CRC matches; the receive path does not use it.
    void DataChecker(QByteArray data);

    void ConnectTcp(QString host, quint16 port);
    // The instrument's address: where the control link was last told to go, or the configured
    // one before the first connection. Everything else that talks to the instrument (firmware
    // upload, the side panels) sends there, so it follows the link; InstrumentAddressChanged
    // announces a move.
    QString instrumentAddress() const;
    bool DisConnectTcp();
    QString GetLocalIpAddress();
    void HeartBeatCmd();
    bool isConnected() const { return m_connected; }

    // The first of "KeloUI" and "KeloUI_Qml" in the host's plug-in order decides whether the
    // user interface is the QML one; that one keeps its own source id.
    static bool findsQmlUi(const QStringList& pluginNames);
    bool isQmlUi() const { return m_qmlUi; }

    // Test seams: the link object, and heartbeat periods shorter than the instrument's.
    TcpConnect* link() const { return m_link; }
    void setHeartbeatInterval(int milliseconds);

    // System requests. Each takes a sequence number and goes out only while the link is up.
    void SetTime(uint secondsSinceEpoch);
    void AutoSetTimeCmd(bool on);
    // True when the request went out and waits for its result.
    bool SetIPCmd(QString address, QString netmask, QString gateway, const ReplyOwner& owner = ReplyOwner());
    void SetCustomFreqCmd(ushort band, uint hertz);
    // An automatic check (one the program makes on its own) is told apart in its results.
    // The round's place in the order of sending (`ReplyNotice::seq`), 0 when it was not sent.
    quint64 DeviceCheck(bool automatic = false, const ReplyOwner& owner = ReplyOwner());
    // The kind travels in the header's card byte, the text in the PC's 8-bit encoding.
    void DeviceUpdate(int kind, QString text);
    void GetServerPluginVersion();

    // A configuration file on an FTP server. Stored as Base64 text of its AES-128 ciphertext
    // when encrypted, as the plain text otherwise; a fetch always decodes the body as Base64.
    // Each call holds the calling thread in a local event loop for at most kFtpIniTimeoutMs and
    // returns true when the transfer finished without a network error. The port is 21 but
    // for tests.
    static constexpr int kFtpIniTimeoutMs = 3000;
    static bool GetFtpIniFile(QString host, QString user, QString password, QString path, QString& content,
                              bool encrypted, quint16 port = 21);
    static bool SetFtpIniFile(QString host, QString user, QString password, QString path, QString& content,
                              bool encrypted, quint16 port = 21);
    // The AES-128 key of those files: MD5 of the program's passphrase.
    static QByteArray ftpIniKey();

    struct CustomBand
    {
        QString name;
        uint frequency = 0;
    };
    // Rebuilt from each custom-frequency report: index to "自定义<n>" and its frequency.
    QHash<int, CustomBand> customBands() const { return m_customBands; }
    // What the instrument last reported.
    DeviceInfo deviceInfo() const { return m_deviceInfo; }
    quint8 deviceChannelCount() const { return m_deviceChannelCount; }
    QList<DiskVolume> diskVolumes() const { return m_diskVolumes; }
    // The formatted text of the last terminal-reply error.
    QString lastErrorText() const { return m_lastErrorText; }
    bool requestedAutoTime() const { return m_requestedAutoTime; }

    // ---- RecordedManager requests (record list and delete-all go out through SendCmd) ------
    // Each takes a sequence number and goes out only while the link is up.
    void FindRecordInfoCmd(uint name);
    void FindRecordExInfoCmd(uint name);
    // These two return true when the request went out and waits for its result.
    bool DeleteRecordInfoCmd(uint name, const ReplyOwner& owner = ReplyOwner());
    bool ChangeRecordNoteCmd(uint name, QString note, const ReplyOwner& owner = ReplyOwner());
    void GetFreqParameterCmd(uchar first, Freq_Num freq, uchar third);
    void ParamCalibrationCmd(Msg_Cmd cmd, CalibrationData data);
    void ParamCalibrationCmd(Msg_Cmd cmd, AttenuationData data);

    // ---- Collect requests ----------------------------------------------------------------
    // The start and stop requests return whether the frame was handed to the link (never while
    // one of their kind is open). One that goes unconfirmed is checked by the run state.
    bool StartRecordCmd(RecordParam param, const ReplyOwner& owner = ReplyOwner());
    bool StopRecordCmd(bool stop, const ReplyOwner& owner = ReplyOwner());
    bool StartPlaybackCmd(uint name, uint loops, uint startPosition, uint duration, bool externalTrigger,
                          uint startTime, uint reserved, const ReplyOwner& owner = ReplyOwner());
    bool StopPlaybackCmd(const ReplyOwner& owner = ReplyOwner());
    // Channel 255 means every output channel.
    void SetAttenuationPower(uchar channel, uint power);
    // True when every channel of the last start-collection request forwards and none records.
    bool isForwardingMode() const { return m_forwardingMode; }

    // ---- UploadDownload requests (card counted from 1, in the header's card byte) ----------
    void StartUploadCmd(int card, uint name, uint firstBlock, uint pcAddress, ushort pcPort, uint blockSize,
                        const ReplyOwner& owner = ReplyOwner());
    void StopUpload(int card, const ReplyOwner& owner = ReplyOwner());
    void StartDownloadCmd(int card, uint name, uint blockSize, bool freshStart, uint pcAddress, ushort pcPort,
                          Record record, const ReplyOwner& owner = ReplyOwner());
    void StartDownloadRecordExCmd(int card, uint name, uint blockSize, bool freshStart, uint pcAddress, ushort pcPort,
                                  const RecordEx& record, const ReplyOwner& owner = ReplyOwner());
    void StopDownload(int card, const ReplyOwner& owner = ReplyOwner());

    // ---- Extend requests -----------------------------------------------------------------
    void ReceiverDataTransCmd(ReceiverDataTrans relay);
    void SetOutputChannel(uchar channel, bool on);
    void GetRecordBandwidth(uint name);
    void SetOutputFrequent(uchar index);
    void SetPulseSetting(uint secondPulseWait, uint second);
    void SetRecordBandwidth(uint name, uint bandwidth);
    void SendPulseRequest();
    void GetFrequencyData();
    void SetInputChannel(uchar first, uchar second);
    void SetFrequencyData(bool enable, uint freqId);
    // Only the low 24 bits travel.
    void SetPowerAmplifierAttenuation(uint attenuation);
    uint lastRecordBandwidthName() const { return m_recordBandwidthName; }
    uint lastRecordBandwidth() const { return m_recordBandwidth; }

    // ---- device-configuration store (System command 12) ----------------------------------
    // A get and a set of the store are requests of the table, each a kind of its own (a reply's
    // op says which it answers; a set is `DevConfigWrite` in the table). A second of a kind is
    // not sent while the first is open: false. Past its wait a request stays open one more wait
    // in quiet, so that a late answer is its own and never fills a later request's values; a
    // get's answer that does not carry one value per key asked answers nothing (Malformed).
    // The owner is told the outcome; `configValues` and `configStored` read its answer.
    static constexpr int kConfigWaitMs = 5000;
    static constexpr Msg_Cmd DevConfigWrite = Msg_Cmd(0x80 | quint8(Msg_Cmd::DevConfig));
    bool GetDevConfig(const QString& group, const QStringList& keys, const ReplyOwner& owner = ReplyOwner());
    bool SetDevConfig(const QString& group, const QStringList& keys, const QStringList& values,
                      const ReplyOwner& owner = ReplyOwner());
    static QStringList configValues(const ReplyNotice& notice);
    static bool configStored(const ReplyNotice& notice);
    // Empties the band and bit-width tables and fetches them, with the capability flags and
    // device values, after the caller has returned; GetDeviceSettingsFinished tells the end.
    void GetDeviceConfigSettingData();
    // Test seam: a shorter wait than the instrument needs.
    void setConfigWaitForTest(int milliseconds) { m_configWaitMs = milliseconds; }
    // Test seam: how long a request other than a record query waits for its reply.
    void setReplyWaitForTest(int milliseconds) { m_replyWaitMs = milliseconds; }
    // How long a request of this type and command waits for its reply.
    int replyWaitMs(Msg_Type type, Msg_Cmd cmd) const;
    // The rule of every kind of request: its wait, what settles it after the wait, and whether
    // several may be open.
    OpenRequests::Rule ruleOf(quint8 type, quint8 cmd) const;
    // Test seam: how long a state query, the check of the starts and stops, waits.
    void setStateWaitForTest(int milliseconds) { m_stateWaitMs = milliseconds; }
    // Test seam: how long clearing every record may take.
    void setClearWaitForTest(int milliseconds) { m_clearWaitMs = milliseconds; }
    // Test seam: how long a record-list request waits (the search's patience).
    void setListWaitForTest(int milliseconds) { m_listWaitMs = milliseconds; }
    // A request of this type and command waits for its reply and its time has not run out.
    bool isAwaiting(Msg_Type type, Msg_Cmd cmd) const;
    // A request of this type and command is open (in its wait, or past it and not settled): the
    // next one of its kind is not sent. The pages hold their controls on this.
    bool isOpen(Msg_Type type, Msg_Cmd cmd) const;
    // A request of this kind ran out of its wait and waits for its check's answer.
    bool isChecking(Msg_Type type, Msg_Cmd cmd) const { return m_open.isChecking(quint8(type), quint8(cmd)); }
    // Why a control that sends this kind is held: "等待设备应答…", "正在核对…", or empty.
    QString openReason(Msg_Type type, Msg_Cmd cmd) const;
    // The owner of request `seq` checked it by itself (a card's connection): it is settled.
    void settle(quint64 seq);
    // The record-list service has the list asked for a record check, descriptions included: the
    // record changes it settles are judged by it (RecordCheck) and their owners told the finding.
    // Returns the records it shows deleted.
    QList<quint32> recordListIn(const QList<RecordEx>& records);
    // That list's descriptions did not all come: the changes it was to settle are unknown for now
    // and checked again.
    void recordListFailed();
    // Test seam: a request of this kind is open, as if just sent with this payload; 0 when one of
    // its kind is open already.
    quint64 expectReplyForTest(Msg_Type type, Msg_Cmd cmd, const QByteArray& sent = QByteArray(),
                               const ReplyOwner& owner = ReplyOwner())
    {
        quint64 seq = 0;
        m_open.open(quint8(type), quint8(cmd), sent, owner, &seq);
        return seq;
    }

    QMap<uint, FreqBand> freqBands; // by band number, 1 to "Config/FreqNum"
    QMap<uchar, QString> bitNames;  // display name of each bit-width value
    QVector<uchar> singleBits;      // the bit-width values marked single

    // ---- capability flags and cached device values ----------------------------------------
    // The getters with a refresh argument answer from the cache at once and, when asked,
    // re-read the one value in the background (its Update signal follows, where it has one).
    bool IsCustomFrequencyEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::CustomFrequency); }
    bool IsSerialPortEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::SerialPort); }
    bool IsTranspondEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::Transpond); }
    bool IsDopplerEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::Doppler); }
    bool IsBandwidthEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::Bandwidth); }
    bool IsSampleRateEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::SampleRate); }
    bool IsGainControlEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::GainControl); }
    bool IsFeedSwtichControlEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::FeedSwitch); }
    bool IsFrequencyEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::Spectrum); }
    bool IsLowPowerEnable() const { return DeviceCapabilities::enabled(DevConfigFeature::LowPower); }
    bool UseProtocolEx() const { return DeviceCapabilities::enabled(DevConfigFeature::ProtocolEx); }

    int GetTranspondDelay(bool refresh = false);
    uint GetDopplerValue(bool refresh = false);
    uint GetBandwidth(bool refresh = false);
    QStringList GetBandwidthList();
    uint GetSampleRate(bool refresh = false);
    QStringList GetSampleRateList();
    bool IsSampleRateBindBandwidth();
    bool GetMGCStatus(bool refresh = false);
    int GetMGCValue(bool refresh = false);
    bool GetFeedSwitchStatus(bool refresh = false);
    bool GetLowPowerStatus();
    // Reads one value again. Reads wait their turn: one get of the store is open at a time, and
    // the reads asked meanwhile go out together in the next one. The value lands in the cache
    // (its Update signal follows, where it has one) before the owner is told. A read without an
    // owner that goes unanswered is asked again until the instrument answers or the link drops.
    void readDeviceValue(DevConfigValue code, const ReplyOwner& owner = ReplyOwner());

    // Each writes one value and returns whether the request went out (not while a set of the
    // store is open, nor while the link is down). Once the instrument says stored, in time or
    // late, the cache holds the value and its Update signal follows where the table has one,
    // before the owner is told.
    bool SetTranspondDelay(int delay, const ReplyOwner& owner = ReplyOwner());
    bool SetDopplerValue(uint value, const ReplyOwner& owner = ReplyOwner());
    bool SetBandwidth(uint bandwidth, const ReplyOwner& owner = ReplyOwner());
    bool SetSampleRate(uint sampleRate, const ReplyOwner& owner = ReplyOwner());
    bool SetMGCStatus(bool on, const ReplyOwner& owner = ReplyOwner());
    bool SetMGCValue(int value, const ReplyOwner& owner = ReplyOwner());
    bool SetFeedSwitchStatus(bool on, const ReplyOwner& owner = ReplyOwner());
    // Stored, the switch is read back.
    bool SetLowPowerStatus(bool on, const ReplyOwner& owner = ReplyOwner());

public slots:
    void slot_heartbeat_timer();
    void slot_heartbeat_timeout_timer();
    void slot_tcp_connectionChange(bool connected);
    void slot_tcp_dataRecv(const QByteArray& data);

signals:
    void NetSuccess(bool connected);
    void InstrumentAddressChanged(const QString& address);
    void PrintSystemLog(FileLogger::LogType type, QString text);
    void ErrorStopMsg(QString text);
    void UpdateDeviceState(SyncDeviceState state);
    // The result of a network change, with the instrument address its request sent.
    void SetIPSuccess(bool ok, QString address);
    void RecvAskTimeout(QString text);
    void ResetStateResult(bool ok);
    void DeleteAllRecordSuccess(bool ok);
    void DeleteRecordSuccess(uchar result);
    void ChangeRecordNoteSuccess(uchar result);
    void StateChange(SystemState state);
    void UpdateDeviceInfo(DeviceInfo info);
    void HeartBeatMsg(HeartMsg msg);
    void HeartBeatMsgEx(const QMemorySetting& status);
    void HeartBeatTimeout(uchar missed);
    void SetCustomFreq(uchar result);
    void SearchCustomFreq(CustomFreqHZ freqs);
    void QueryRecordInfo(uchar result, RecordEx data);
    void ProgressUpdate(uint progress, uint times);
    void StartUploadRecord(uchar result);
    void StartDownlaodRecord(bool ok);
    void StopUploadRecord();
    void StopDownloadRecord();
    void AckUploadingOrDownloading();
    void openSpectrumData(bool on);
    void FinallyProgress(uint progress);
    void AttenuationPowerChanged(uchar channelNum, uint Atten_Power);
    void SetAutoTimeResult(bool ok);
    void TimeRequestResult(bool ok, uint time);
    void ReceivedDiskVolume(QList<DiskVolume> diskVolume);
    void ReceivedConfigValueList(QStringList vlist);
    void GetDeviceSettingsFinished();
    void ControlResult(uchar type, bool success);
    // `card` as the instrument sends it; `automatic`: the program asked on its own, not the person.
    void DeviceCheckResult(uchar card, uint error, bool automatic);
    void UpdateTranspondDelay(int delay);
    void UpdateDopplerValue(int value);
    void UpdateFeedSwitchStatus(bool status);
    void UpdateMGCValue(int value);
    void UpdateMGCStatus(bool status);
    void UpdateBandwidth(uint bandwidth);
    void UpdateRecordBandwidth(uint name, uint bandwidth);
    void FrequencyControlUpdate(bool enable, uint freqId, ushort udpPort);
    void FrequencyControlResult(ushort udpPort);
    void PowerAmplifierStatusUpdate(uint8_t channel, uint32_t attenuation, uint16_t value);
    void PowerAmplifierSetResult(bool ok);
    void RecordListMsg(GetRecordListMsg list);
    void GetConfigParam(ConfigParam param);
    // A connection attempt of the link ended without a connection; the link goes on retrying.
    void ConnectFailed();
    // The instrument reported a change of its records (delete, delete all, note) that this PC
    // did not ask for: its own copy of the list is no longer to be trusted.
    void RecordsChangedUnasked();
    // A record change ran out of its wait: the record list, with descriptions, is to be fetched;
    // its answer settles the change.
    void RecordCheckNeeded();
    // A request of this type and command still waited when the link dropped: it will never be
    // confirmed. Emitted for each, before NetSuccess(false).
    void ReplyCut(uchar type, uchar cmd, QByteArray request);

private:
    // Hands the frame to the link unless one of its kind is open; once it went out, it is open.
    bool sendAwaited(Msg_Type type, Msg_Cmd cmd, const QByteArray& payload, uchar card = 0,
                     const ReplyOwner& owner = ReplyOwner());
    bool sendOpen(Msg_Type type, Msg_Cmd cmd, const QByteArray& frame, const QByteArray& payload,
                  const ReplyOwner& owner);
    // True when a request of this reply's kind was open and matched and the reply can be read (it
    // is taken, and its owner told InTime); otherwise the caller drops the reply.
    bool asked(Msg_Type type, uchar cmd, QByteArray* sent = nullptr,
               const OpenRequests::Match& match = OpenRequests::Match(), bool malformed = false);
    // Takes what the reply answers and tells the owner: in time, late, or malformed when the
    // reply is too short for its fields (it then names nothing). None is logged as unasked.
    OpenRequests::Taken answer(Msg_Type type, uchar cmd, const OpenRequests::Match& match = OpenRequests::Match(),
                               bool malformed = false, bool logUnasked = true);
    void notify(ReplyOutcome outcome, const OpenRequests::Request& request, const QByteArray& reply = QByteArray(),
                const RecordCheck::Finding& finding = RecordCheck::Finding(), bool unreadable = false);
    // A request a check could not settle is told so; a record change with the change it names.
    void notifyCheckLost(const OpenRequests::Request& request);
    // Tells the owners what was decided, once the frame being parsed is done with.
    void flushNotices();
    // Tells each owner that a later list or report shows otherwise than it said.
    void tellCorrections(const QList<LastWords::Correction>& corrections);
    // The first byte of a self-check round says who asked: the program itself, or the person.
    static bool automaticCheck(const QByteArray& round);
    // True when any request of this reply's kind is open; otherwise the reply is logged as unasked.
    bool waiting(Msg_Type type, uchar cmd);
    void replyExpired(const OpenRequests::Request& request);
    void replyUnknown(const OpenRequests::Request& request);
    void askCheck(OpenRequests::Check check);
    static void dropUnasked(Msg_Type type, uchar cmd);
    void ParseSystemCmd(uchar cmd, const uchar* payload, uint length);
    void heartbeatAnswered();
    void sendSystem(Msg_Cmd cmd, const QByteArray& payload = QByteArray(), uchar card = 0);
    // False, with a log line, when a reply is shorter than the fields it is read by.
    static bool hasLength(Msg_Type type, uchar cmd, uint length, uint needed);
    void parseTimeReply(const uchar* payload, uint length);
    void parseAskTimeout(const uchar* payload, uint length);
    void parseDeviceInfo(const uchar* payload, uint length);
    void parseDiskVolume(const uchar* payload, uint length);
    // `askedAt`: the place of the query it answers, or of the next request for a report sent
    // unasked.
    void parseDeviceState(const uchar* payload, uint length, quint64 askedAt);
    void parseCustomFreq(const uchar* payload, uint length);
    void parsePluginVersions(const uchar* payload, uint length);
    void ParseRecordedManagerCmd(uchar cmd, const uchar* payload, uint length);
    void ParseCollectCmd(uchar cmd, const uchar* payload, uint length);
    // The common path of the four start/stop requests: hand-off, wait and log lines.
    // `what` is marked QT_TRANSLATE_NOOP("FileLogger", ...): it names the command in the log.
    bool sendControl(Msg_Cmd cmd, const QByteArray& payload, const char* what, const ReplyOwner& owner);
    // A start or stop of collection or playback waits in its time.
    bool controlAwaited() const;
    // Asks the instrument what it runs, unless a query is open: the check of the starts and stops.
    void askState();
    void defaultErrorText();
    void ParseUploadDownloadCmd(uchar cmd, const uchar* payload, uint length);
    void sendStartDownload(Msg_Cmd cmd, int card, uint name, uint blockSize, bool freshStart, uint pcAddress,
                           ushort pcPort, const QByteArray& record, const ReplyOwner& owner);
    void ParseConfigCmd(uchar cmd, const uchar* payload, uint length);
    void ParseExtendCmd(uchar cmd, const uchar* payload, uint length);
    // Called on the way down, before NetSuccess(false): capability flags and cached device
    // values of the device configuration become false or invalid here.
    void resetDeviceCapabilities();

    // Device-configuration store and cached device values.
    void parseDevConfigReply(const uchar* payload, uint length);
    bool sendConfig(Msg_Cmd kind, const QByteArray& payload, const ReplyOwner& owner);
    // One stage of the fetch: its get, and `next` with the values once they are in.
    bool fetchStage(int stage, const QStringList& keys, const std::function<void(const QStringList&)>& next);
    void fetchFailed(int stage);
    void readDeviceConfig();
    void readDeviceValuesStage(int freqNum, int bitNum);
    void readBandsStage(int freqNum, int bitNum);
    bool readDeviceBandsAndBits(QStringList values, int freqNum, int bitNum);
    bool writeDeviceValue(DevConfigValue code, const QString& text, const QVariant& value, bool announce,
                          const ReplyOwner& owner);
    struct ValueRead
    {
        DevConfigValue code;
        ReplyOwner owner;
    };
    // Sends the reads asked, in one get, once none is open.
    void sendValueReads();
    // The link is down: the reads asked are told they are cut.
    void dropValueReads();
    void valuesRead(const QList<ValueRead>& reads, const QList<DevConfigValue>& codes, const ReplyNotice& notice);
    void announceDeviceValue(DevConfigValue code);

    OpenRequests m_open{[this](quint8 type, quint8 cmd) { return ruleOf(type, cmd); }};
    LastWords m_lastWords;         // what the owners told of each change, until the link drops
    QList<ValueRead> m_valueReads; // asked, not sent yet
    QTimer* m_valueReadTimer = nullptr;
    int m_configWaitMs = kConfigWaitMs;
    int m_replyWaitMs = kReplyWaitMs;
    int m_stateWaitMs = kReplyWaitMs;
    int m_clearWaitMs = kClearWaitMs;
    int m_listWaitMs = kRecordReplyWaitMs;
    QByteArray m_replyBytes; // the payload of the frame being parsed
    // The place of the record list, answered in time, whose descriptions the record check waits for.
    quint64 m_listAnsweredAt = 0;
    // Record changes answered unreadably and checked by the list, by their place.
    QSet<quint64> m_unreadable;
    struct Notice
    {
        ReplyOwner owner;
        ReplyNotice notice;
    };
    QList<Notice> m_notices; // told once the frame being parsed is done with
    int m_parsing = 0;

    ushort m_sequence = 0;
    quint8 m_deviceChannelCount = 0;
    quint8 m_channelOverride = 0;
    TcpConnect* m_link = nullptr;
    QHostAddress m_localAddress;
    bool m_connected = false;
    bool m_closedHere = false;   // DisConnectTcp until the link's next change arrives
    QString m_instrumentAddress; // empty until the first ConnectTcp
    bool m_qmlUi = false;
    QTimer* m_heartbeatTimer = nullptr;
    QTimer* m_heartbeatTimeoutTimer = nullptr;
    quint8 m_missedHeartbeats = 0;
    bool m_extendedHeartbeat = false;
    QMemorySetting m_heartbeatStatus{QMemorySetting::COLLISION_REPLACE};
    QHash<int, CustomBand> m_customBands;
    DeviceInfo m_deviceInfo;
    QList<DiskVolume> m_diskVolumes;
    QString m_lastErrorText;
    bool m_requestedAutoTime = false;
    bool m_forwardingMode = false;
    uint m_recordBandwidthName = 0;
    uint m_recordBandwidth = 0;
};
