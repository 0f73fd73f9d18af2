#pragma once

#include <QtGlobal>

// The control-link frame: a 16-byte header, N payload bytes, then the CRC-32/MPEG-2 of header and
// payload (u32). Every multi-byte field is little-endian; a frame is N + 20 bytes.
//
//  offset  width  field
//   0      u32    magic 0xFFBBAACC           (wire: CC AA BB FF)
//   4      u8     version, always 1
//   5      u8     source id (ProtocolManager::SourceMod)
//   6      u8     target (Target_Dev)
//   7      u8     card or port byte
//   8      u16    sequence number
//  10      u8     message type (Msg_Type)
//  11      u8     command within the type (Msg_Cmd)
//  12      u32    payload length N
//
// The plain heartbeat request (source 0, sequence 0, System/1, payload 01) is the 21 bytes
//   CC AA BB FF 01 00 02 00 00 00 01 01 01 00 00 00 | 01 | 8A 5C 29 E1
#pragma pack(push, 1)
struct MsgHeader
{
    quint32 magic;
    quint8 version;
    quint8 source;
    quint8 target;
    quint8 card;
    quint16 sequence;
    quint8 type;
    quint8 cmd;
    quint32 length;

    static constexpr quint32 kMagic = 0xFFBBAACCu;
    static constexpr quint8 kVersion = 1;
    static constexpr int kSize = 16;
    static constexpr int kCrcSize = 4;
};
#pragma pack(pop)
static_assert(sizeof(MsgHeader) == MsgHeader::kSize, "the frame header is 16 packed bytes");

enum class Target_Dev : quint8 {
    Device = 2,   // the instrument
    Terminal = 3, // a collection card, on the transfer channels
};

enum class Msg_Type : quint8 {
    System = 1,
    RecordedManager = 2,
    Collect = 3,
    UploadDownload = 4,
    Config = 5,
    Extend = 6,
};

// Commands are numbered within their message type, so values repeat across the groups below.
enum class Msg_Cmd : quint8 {
    // System
    HeartBeat = 1,
    SetTime = 2,
    AutoSetTime = 3,
    DeviceInfo = 4,
    DiskVolume = 5,
    SetIP = 6,
    Progress = 7,
    DeviceState = 8,
    DeviceStateReport = 9,
    SetCustomFreq = 10,
    SearchCustomFreq = 11,
    DevConfig = 12,
    AskTimeout = 13,
    ResetState = 14,
    DeviceCheck = 15,
    DeviceUpdate = 16,
    ServerPluginVersion = 17,
    HeartBeatEx = 0x81,

    // RecordedManager
    RecordList = 1,
    DeleteAllRecord = 2,
    FindRecordInfo = 3,
    DeleteRecordInfo = 4,
    ChangeRecordNote = 5,
    GetFreqParameter = 10,
    FindRecordExInfo = 0x13,

    // Collect
    StartRecord = 1,
    StopRecord = 2,
    StartPlayback = 3,
    StopPlayback = 4,
    AttenuationPower = 5,
    ErrorStop = 7,

    // UploadDownload
    StartUpload = 1,
    StopUpload = 3,
    StartDownload = 4,
    StopDownload = 6,
    UploadingAck = 7,
    DownloadingAck = 8,
    StartDownloadRecordEx = 0x14,

    // Config (calibration)
    AttenuationAdjust = 1,
    RxClk = 2,
    RxDelay = 3,
    TxClk = 4,
    TxDelay = 5,
    Phase = 6,
    Gain = 7,
    IOff = 8,
    QOff = 9,
    QueryConfigParam = 10,
    SavePara = 11,
    Query9009 = 16,
    Set9009 = 17,
    Set9009Second = 18,

    // Extend
    ReceiverDataTrans = 1,
    RecordBandwidth = 2,
    OutputSetting = 3,
    FrequencyControl = 4,
    FrequencyData = 5,
    PowerAmplifier = 6,
};

// The Collect command whose reply is awaited: its command number plus 1, and the first argument of
// ProtocolManager::ControlResult. Pages and the manager hold it as a byte.
enum Control_Code : quint8 {
    ControlNone = 1,
    ControlStartRecord = 2,
    ControlStopRecord = 3,
    ControlStartPlayback = 4,
    ControlStopPlayback = 5,
};
