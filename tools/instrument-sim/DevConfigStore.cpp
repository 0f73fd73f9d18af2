#include "DevConfigStore.h"

#include "InstrumentSim.h"

#include <QDataStream>

namespace {
constexpr quint8 kDevConfig = 12;

void band(QMap<QString, QString>& v, int n, const QString& name, const QString& freq, const QString& channels,
          const QString& bits, const QString& custom)
{
    const QString p = QStringLiteral("Freq%1/").arg(n);
    v[p + "FreqName"] = name;
    v[p + "Freq"] = freq;
    v[p + "Channel"] = channels;
    v[p + "Bit"] = bits;
    v[p + "Custom"] = custom;
}

void bit(QMap<QString, QString>& v, int n, const QString& width, const QString& name, const QString& single)
{
    const QString p = QStringLiteral("Bit%1/").arg(n);
    v[p + "Bit"] = width;
    v[p + "BitName"] = name;
    v[p + "Single"] = single;
}

void capabilities(QMap<QString, QString>& v, std::initializer_list<const char*> on)
{
    for (const char* key :
         {"Config/CustomFreqEnable", "Extension/SerialPortRecord", "Transponder/TranspondEnable",
          "Transponder/DopplerEnable", "Bandwidth/BandwidthEnable", "SampleRate/SampleRateEnable", "MGC/MGCEnable",
          "FBPS/FBPSEnable", "Spectrum/SpectrumEnable", "LowPowMode/LPMEnable", "Config/ProtocolEx"})
        v[QString::fromLatin1(key)] = QStringLiteral("false");
    for (const char* key : on)
        v[QString::fromLatin1(key)] = QStringLiteral("true");
}

QDataStream& le(QDataStream& s)
{
    s.setByteOrder(QDataStream::LittleEndian);
    return s;
}
} // namespace

void DevConfigStore::load(Profile profile)
{
    values.clear();
    m_held.clear();
    QMap<QString, QString>& v = values;
    switch (profile) {
    case Profile::Standard: {
        capabilities(v, {"Config/CustomFreqEnable", "Extension/SerialPortRecord", "Transponder/TranspondEnable",
                         "Transponder/DopplerEnable", "Bandwidth/BandwidthEnable", "SampleRate/SampleRateEnable",
                         "MGC/MGCEnable", "FBPS/FBPSEnable", "Spectrum/SpectrumEnable", "LowPowMode/LPMEnable",
                         "Config/ProtocolEx"});
        // Every band on every channel at every width, so each channel row starts on a band of its
        // own and a change of bit width never leaves two rows on one band.
        const struct
        {
            const char* name;
            const char* hz;
        } bands[] = {{"GPS L1", "1575420000"},      {"BDS B1I", "1561098000"}, {"GLONASS G1", "1602000000"},
                     {"Galileo E5b", "1207140000"}, {"GPS L2", "1227600000"},  {"GPS L5", "1176450000"},
                     {"BDS B3I", "1268520000"}};
        int n = 0;
        for (const auto& b : bands) {
            band(v, ++n, QString::fromLatin1(b.name), QString::fromLatin1(b.hz), "1,2,3,4", "2,4,8,16", "false");
            v[QStringLiteral("Freq%1/GainOffset").arg(n)] = "0";
            v[QStringLiteral("Freq%1/PlaybackOffset").arg(n)] = "0";
        }
        band(v, ++n, QStringLiteral("自定义1"), "1191795000", "1,2,3,4", "2,4,8,16", "true");
        v[QStringLiteral("Freq%1/GainOffset").arg(n)] = "0";
        v[QStringLiteral("Freq%1/PlaybackOffset").arg(n)] = "0";
        v["Config/FreqNum"] = QString::number(n);
        v["Config/BitNum"] = "4";
        bit(v, 0, "2", "2bit", "false");
        bit(v, 1, "4", "4bit", "false");
        bit(v, 2, "8", "8bit", "false");
        bit(v, 3, "16", "16bit", "true"); // one band on two channels
        v["Transponder/TranspondDelay"] = "1500";
        v["Transponder/Doppler"] = "0";
        // Hz, entry k of the sample rates belonging to entry k of the bandwidths.
        v["Bandwidth/Bandwidth"] = "40000000";
        v["Bandwidth/BandwidthList"] = "20000000,40000000,62500000,125000000";
        v["SampleRate/SampleRate"] = "62500000";
        v["SampleRate/SampleRateList"] = "31250000,62500000,125000000,250000000";
        v["SampleRate/BindBandwidth"] = "true";
        v["MGC/MGCMode"] = "false";
        v["MGC/MGC"] = "-12";
        v["FBPS/FBPS"] = "false";
        v["LowPowMode/LPMSwitch"] = "false";
        break;
    }
    case Profile::FullFeatured:
        capabilities(v, {"Config/CustomFreqEnable", "Extension/SerialPortRecord", "Transponder/TranspondEnable",
                         "Transponder/DopplerEnable", "Bandwidth/BandwidthEnable", "SampleRate/SampleRateEnable",
                         "MGC/MGCEnable", "FBPS/FBPSEnable", "Spectrum/SpectrumEnable", "LowPowMode/LPMEnable",
                         "Config/ProtocolEx"});
        v["Config/FreqNum"] = "3";
        v["Config/BitNum"] = "3";
        band(v, 1, "BDS B1I", "1561098000", "1,2", "2,4,8", "false");
        band(v, 2, "GPS L1", "1575420000", "0", "16", " TRUE ");
        band(v, 3, QStringLiteral("自定义1"), "1268520000", "", "1", "true");
        bit(v, 0, "2", "2bit", "true");
        bit(v, 1, "4", "4bit", "True");
        bit(v, 2, "8", "8bit", "false");
        v["Transponder/TranspondDelay"] = "1500";
        v["Transponder/Doppler"] = "4294967000";
        v["Bandwidth/Bandwidth"] = "40";
        v["Bandwidth/BandwidthList"] = "10,20,,40";
        v["SampleRate/SampleRate"] = "62500000";
        v["SampleRate/SampleRateList"] = "31250000,62500000";
        v["SampleRate/BindBandwidth"] = "TRUE";
        v["MGC/MGCMode"] = "true";
        v["MGC/MGC"] = "-12";
        v["FBPS/FBPS"] = "false";
        v["LowPowMode/LPMSwitch"] = "false";
        break;
    case Profile::Transponder:
        capabilities(v, {"Transponder/TranspondEnable", "Transponder/DopplerEnable"});
        v["Config/FreqNum"] = "2";
        v["Config/BitNum"] = "1";
        band(v, 1, "GPS L1", "1575420000", "1", "4", "false");
        band(v, 2, "BDS B3I", "1268520000", "2,3", "2,16", "false");
        bit(v, 0, "4", "4bit", "true");
        v["Transponder/TranspondDelay"] = "250";
        v["Transponder/Doppler"] = "1200";
        break;
    case Profile::NoRateControl:
        capabilities(v, {"MGC/MGCEnable", "Spectrum/SpectrumEnable"});
        v["Config/FreqNum"] = "2";
        v["Config/BitNum"] = "2";
        band(v, 1, "GPS L1", "1575420000", "1,2,3,4", "2,4", "false");
        band(v, 2, "GLO G1", "1602000000", "5", "8", "false");
        bit(v, 0, "2", "2bit", "false");
        bit(v, 1, "2", "2bit-b", "true");
        v["MGC/MGCMode"] = "false";
        v["MGC/MGC"] = "3";
        // Held but not offered: the PC must not read it.
        v["SampleRate/SampleRate"] = "99";
        break;
    }
}

void DevConfigStore::handle(InstrumentSim& sim, const SimFrame& request)
{
    QDataStream in(request.payload);
    le(in);
    qint8 op = 0;
    QString group;
    QStringList keys;
    in >> op >> group >> keys;
    if (op == 0) {
        ++gets;
        if (faults.silentGets)
            return;
        QStringList out;
        for (const QString& key : keys)
            out << values.value(key);
        for (int i = 0; i < faults.dropValues && !out.isEmpty(); ++i)
            out.removeLast();
        QByteArray payload;
        QDataStream s(&payload, QIODevice::WriteOnly);
        le(s) << qint8(0) << out;
        if (faults.lyingCount) {
            const quint32 claimed = quint32(out.size() + 1);
            for (int i = 0; i < 4; ++i)
                payload[1 + i] = char((claimed >> (8 * i)) & 0xFF);
        }
        if (faults.holdGets)
            m_held.append({request, payload});
        else
            sim.reply(request, kDevConfig, payload);
        return;
    }
    ++sets;
    QStringList given;
    in >> given;
    if (faults.silentSets)
        return;
    const bool stored = !faults.refuseSets && in.status() == QDataStream::Ok && given.size() == keys.size();
    if (stored)
        for (int i = 0; i < keys.size(); ++i)
            values[keys.at(i)] = given.at(i);
    QByteArray payload;
    QDataStream s(&payload, QIODevice::WriteOnly);
    le(s) << qint8(1);
    if (!faults.shortSetReply)
        s << qint32(stored ? 1 : 0);
    sim.reply(request, kDevConfig, payload);
}

void DevConfigStore::releaseHeldGets(InstrumentSim& sim)
{
    const QList<Held> held = m_held;
    m_held.clear();
    for (const Held& h : held)
        sim.reply(h.request, kDevConfig, h.payload);
}
