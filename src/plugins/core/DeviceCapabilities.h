#pragma once

#include "core_global.h"

#include <QMap>
#include <QString>
#include <QVariant>

// What the instrument offers, by the capability keys of its device-configuration store.
enum class DevConfigFeature : quint16 {
    CustomFrequency = 0x100,
    SerialPort = 0x101,
    Transpond = 0x102,
    Doppler = 0x103,
    Bandwidth = 0x104,
    SampleRate = 0x105,
    GainControl = 0x106,
    FeedSwitch = 0x107,
    Spectrum = 0x108,
    LowPower = 0x109,
    ProtocolEx = 0x10a,
};

// The current setting of each offered feature, by its value key.
enum class DevConfigValue : quint16 {
    TranspondDelay = 0x200,
    Doppler = 0x201,
    Bandwidth = 0x202,
    BandwidthList = 0x203,
    SampleRate = 0x204,
    SampleRateList = 0x205,
    BindBandwidth = 0x206,
    MGCMode = 0x207,
    MGC = 0x208,
    FeedSwitch = 0x209,
    LowPowerSwitch = 0x20a,
};

// The two process-wide tables of capabilities and cached device values. Their entries are
// fixed at load (flags false, values invalid); only the flags and the values change. Written
// in the GUI thread only.
class CORE_EXPORT DeviceCapabilities
{
public:
    struct Feature
    {
        QString key;
        bool enabled = false;
    };
    struct Value
    {
        QString key;
        QVariant value;
    };
    // How a value's text is read, and the type it is cached as.
    enum class Kind { Int, UInt, Bool, List };

    static QMap<quint16, Feature>& featureFlags();
    static QMap<quint16, Value>& deviceValues();

    static bool enabled(DevConfigFeature code);
    static void setEnabled(DevConfigFeature code, bool on);
    static QString key(DevConfigFeature code);
    static QString key(DevConfigValue code);
    static QVariant value(DevConfigValue code);
    static void setValue(DevConfigValue code, const QVariant& value);
    static Kind kind(DevConfigValue code);
    // The value's text read as its kind.
    static QVariant fromText(DevConfigValue code, const QString& text);
    // The value keys fetched for the capabilities that are on, in fetch order.
    static QList<DevConfigValue> fetchedValues();

    // Link down: every flag false, every value invalid.
    static void clear();
};
