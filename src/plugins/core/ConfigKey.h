#pragma once

#include <QString>

// One value of the PC configuration file "KeloConfig.ini", named by its group and key as
// ConfigSetting takes them. Every key the system reads or writes has its one name here; an empty
// group is the file's [General] section. The spellings are what stored files hold.
struct ConfigKey
{
    QString group;
    QString key;

    // [Network]: the instrument's control address; [NewNetwork]: the address last sent to it.
    static const ConfigKey NetworkIp;
    static const ConfigKey NetworkPort;
    static const ConfigKey NewNetworkIp;
    static const ConfigKey NewNetworkNetMask;
    static const ConfigKey NewNetworkGateway;

    // [DataSave]: the base folder of the local record store.
    static const ConfigKey DataSavePath;

    // [ExtendedOptions]: the variant of the instrument and of the pages.
    static const ConfigKey ConfigMode;
    static const ConfigKey DeviceType;
    static const ConfigKey Receiver;
    static const ConfigKey ShowMode;
    static const ConfigKey TransportMode;

    // [Debug]: switches for the bench, none written by the program.
    static const ConfigKey DebugEnableChannel;
    static const ConfigKey DebugOldDownloadName;
    static const ConfigKey DebugEnableConsole;
    static const ConfigKey DebugLoopRecord;
    static const ConfigKey DebugRandomAttenuation;
    static const ConfigKey DebugSingleChannel;
    static const ConfigKey DebugSameRecord;

    // [WindowSize]: the main window's geometry.
    static const ConfigKey WindowPosition;
    static const ConfigKey WindowSize;

    // [General]
    static const ConfigKey Language;
    static const ConfigKey BuildVersion;
    static const ConfigKey ShowFullVersion;
};

inline const ConfigKey ConfigKey::NetworkIp{QStringLiteral("Network"), QStringLiteral("IP")};
inline const ConfigKey ConfigKey::NetworkPort{QStringLiteral("Network"), QStringLiteral("Port")};
inline const ConfigKey ConfigKey::NewNetworkIp{QStringLiteral("NewNetwork"), QStringLiteral("IP")};
inline const ConfigKey ConfigKey::NewNetworkNetMask{QStringLiteral("NewNetwork"), QStringLiteral("NetMask")};
inline const ConfigKey ConfigKey::NewNetworkGateway{QStringLiteral("NewNetwork"), QStringLiteral("Gateway")};

inline const ConfigKey ConfigKey::DataSavePath{QStringLiteral("DataSave"), QStringLiteral("path")};

inline const ConfigKey ConfigKey::ConfigMode{QStringLiteral("ExtendedOptions"), QStringLiteral("configMode")};
inline const ConfigKey ConfigKey::DeviceType{QStringLiteral("ExtendedOptions"), QStringLiteral("deviceType")};
inline const ConfigKey ConfigKey::Receiver{QStringLiteral("ExtendedOptions"), QStringLiteral("receiver")};
inline const ConfigKey ConfigKey::ShowMode{QStringLiteral("ExtendedOptions"), QStringLiteral("showMode")};
inline const ConfigKey ConfigKey::TransportMode{QStringLiteral("ExtendedOptions"), QStringLiteral("transportMode")};

inline const ConfigKey ConfigKey::DebugEnableChannel{QStringLiteral("Debug"), QStringLiteral("EnableChannel")};
inline const ConfigKey ConfigKey::DebugOldDownloadName{QStringLiteral("Debug"), QStringLiteral("OldDownloadName")};
inline const ConfigKey ConfigKey::DebugEnableConsole{QStringLiteral("Debug"), QStringLiteral("EnableConsole")};
inline const ConfigKey ConfigKey::DebugLoopRecord{QStringLiteral("Debug"), QStringLiteral("LoopRecord")};
inline const ConfigKey ConfigKey::DebugRandomAttenuation{QStringLiteral("Debug"), QStringLiteral("RandomAttenuation")};
inline const ConfigKey ConfigKey::DebugSingleChannel{QStringLiteral("Debug"), QStringLiteral("SingleChannel")};
inline const ConfigKey ConfigKey::DebugSameRecord{QStringLiteral("Debug"), QStringLiteral("SameRecord")};

inline const ConfigKey ConfigKey::WindowPosition{QStringLiteral("WindowSize"), QStringLiteral("Position")};
inline const ConfigKey ConfigKey::WindowSize{QStringLiteral("WindowSize"), QStringLiteral("Size")};

inline const ConfigKey ConfigKey::Language{QString(), QStringLiteral("Language")};
inline const ConfigKey ConfigKey::BuildVersion{QString(), QStringLiteral("BuildVersion")};
inline const ConfigKey ConfigKey::ShowFullVersion{QString(), QStringLiteral("showFullVersion")};
