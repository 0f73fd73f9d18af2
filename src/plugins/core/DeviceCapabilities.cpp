#include "DeviceCapabilities.h"

#include "DevConfigCodec.h"

namespace {
QMap<quint16, DeviceCapabilities::Feature> makeFeatures()
{
    const std::pair<DevConfigFeature, const char*> entries[] = {
        {DevConfigFeature::CustomFrequency, "Config/CustomFreqEnable"},
        {DevConfigFeature::SerialPort, "Extension/SerialPortRecord"},
        {DevConfigFeature::Transpond, "Transponder/TranspondEnable"},
        {DevConfigFeature::Doppler, "Transponder/DopplerEnable"},
        {DevConfigFeature::Bandwidth, "Bandwidth/BandwidthEnable"},
        {DevConfigFeature::SampleRate, "SampleRate/SampleRateEnable"},
        {DevConfigFeature::GainControl, "MGC/MGCEnable"},
        {DevConfigFeature::FeedSwitch, "FBPS/FBPSEnable"},
        {DevConfigFeature::Spectrum, "Spectrum/SpectrumEnable"},
        {DevConfigFeature::LowPower, "LowPowMode/LPMEnable"},
        {DevConfigFeature::ProtocolEx, "Config/ProtocolEx"},
    };
    QMap<quint16, DeviceCapabilities::Feature> map;
    for (const auto& e : entries)
        map.insert(quint16(e.first), {QString::fromLatin1(e.second), false});
    return map;
}

QMap<quint16, DeviceCapabilities::Value> makeValues()
{
    const std::pair<DevConfigValue, const char*> entries[] = {
        {DevConfigValue::TranspondDelay, "Transponder/TranspondDelay"},
        {DevConfigValue::Doppler, "Transponder/Doppler"},
        {DevConfigValue::Bandwidth, "Bandwidth/Bandwidth"},
        {DevConfigValue::BandwidthList, "Bandwidth/BandwidthList"},
        {DevConfigValue::SampleRate, "SampleRate/SampleRate"},
        {DevConfigValue::SampleRateList, "SampleRate/SampleRateList"},
        {DevConfigValue::BindBandwidth, "SampleRate/BindBandwidth"},
        {DevConfigValue::MGCMode, "MGC/MGCMode"},
        {DevConfigValue::MGC, "MGC/MGC"},
        {DevConfigValue::FeedSwitch, "FBPS/FBPS"},
        {DevConfigValue::LowPowerSwitch, "LowPowMode/LPMSwitch"},
    };
    QMap<quint16, DeviceCapabilities::Value> map;
    for (const auto& e : entries)
        map.insert(quint16(e.first), {QString::fromLatin1(e.second), QVariant()});
    return map;
}
} // namespace

QMap<quint16, DeviceCapabilities::Feature>& DeviceCapabilities::featureFlags()
{
    static QMap<quint16, Feature> table = makeFeatures();
    return table;
}

QMap<quint16, DeviceCapabilities::Value>& DeviceCapabilities::deviceValues()
{
    static QMap<quint16, Value> table = makeValues();
    return table;
}

bool DeviceCapabilities::enabled(DevConfigFeature code)
{
    return featureFlags().value(quint16(code)).enabled;
}

void DeviceCapabilities::setEnabled(DevConfigFeature code, bool on)
{
    auto it = featureFlags().find(quint16(code));
    if (it != featureFlags().end())
        it->enabled = on;
}

QString DeviceCapabilities::key(DevConfigFeature code)
{
    return featureFlags().value(quint16(code)).key;
}

QString DeviceCapabilities::key(DevConfigValue code)
{
    return deviceValues().value(quint16(code)).key;
}

QVariant DeviceCapabilities::value(DevConfigValue code)
{
    return deviceValues().value(quint16(code)).value;
}

void DeviceCapabilities::setValue(DevConfigValue code, const QVariant& value)
{
    auto it = deviceValues().find(quint16(code));
    if (it != deviceValues().end())
        it->value = value;
}

DeviceCapabilities::Kind DeviceCapabilities::kind(DevConfigValue code)
{
    switch (code) {
    case DevConfigValue::TranspondDelay:
    case DevConfigValue::MGC:
        return Kind::Int;
    case DevConfigValue::Doppler:
    case DevConfigValue::Bandwidth:
    case DevConfigValue::SampleRate:
        return Kind::UInt;
    case DevConfigValue::BandwidthList:
    case DevConfigValue::SampleRateList:
        return Kind::List;
    case DevConfigValue::BindBandwidth:
    case DevConfigValue::MGCMode:
    case DevConfigValue::FeedSwitch:
    case DevConfigValue::LowPowerSwitch:
        return Kind::Bool;
    }
    return Kind::Int;
}

QVariant DeviceCapabilities::fromText(DevConfigValue code, const QString& text)
{
    switch (kind(code)) {
    case Kind::Int:
        return DevConfigCodec::readInt(text);
    case Kind::UInt:
        // A Doppler shift is signed: its 32 bits may be stored in either form.
        if (code == DevConfigValue::Doppler && text.trimmed().startsWith(QLatin1Char('-')))
            return quint32(DevConfigCodec::readInt(text));
        return DevConfigCodec::readUInt(text);
    case Kind::Bool:
        return DevConfigCodec::readBool(text);
    case Kind::List:
        return DevConfigCodec::readList(text);
    }
    return QVariant();
}

QList<DevConfigValue> DeviceCapabilities::fetchedValues()
{
    // The instrument's order, not the codes' order: the Doppler value comes late.
    const std::pair<DevConfigFeature, QList<DevConfigValue>> order[] = {
        {DevConfigFeature::Transpond, {DevConfigValue::TranspondDelay}},
        {DevConfigFeature::Bandwidth, {DevConfigValue::Bandwidth, DevConfigValue::BandwidthList}},
        {DevConfigFeature::SampleRate,
         {DevConfigValue::SampleRate, DevConfigValue::SampleRateList, DevConfigValue::BindBandwidth}},
        {DevConfigFeature::GainControl, {DevConfigValue::MGCMode, DevConfigValue::MGC}},
        {DevConfigFeature::FeedSwitch, {DevConfigValue::FeedSwitch}},
        {DevConfigFeature::Doppler, {DevConfigValue::Doppler}},
        {DevConfigFeature::LowPower, {DevConfigValue::LowPowerSwitch}},
    };
    QList<DevConfigValue> out;
    for (const auto& entry : order)
        if (enabled(entry.first))
            out += entry.second;
    return out;
}

void DeviceCapabilities::clear()
{
    for (auto& f : featureFlags())
        f.enabled = false;
    for (auto& v : deviceValues())
        v.value = QVariant();
}
