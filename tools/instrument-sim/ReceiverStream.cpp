#include "ReceiverStream.h"

#include "ReceiverRelayPeer.h"

#include <QDateTime>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kGpsEpoch = 315964800; // 1980-01-06 in Unix seconds
constexpr qint64 kLeapSeconds = 18;

// Plain decimals: the parsers read '-', digits and one '.', never an exponent.
QByteArray num(double v, int decimals)
{
    return QByteArray::number(v, 'f', decimals);
}

QByteArray joined(const QList<QByteArray>& fields)
{
    QByteArray out;
    for (int i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        out += fields.at(i);
    }
    return out;
}

QByteArray minutes(double degrees, int degreeDigits)
{
    const int whole = int(degrees);
    const double m = (degrees - whole) * 60.0;
    return QByteArray::number(whole).rightJustified(degreeDigits, '0') + num(m, 5).rightJustified(8, '0');
}

struct GnssTime
{
    qint64 week;
    double secondsOfWeek;
};

GnssTime gpsTime(qint64 msecs)
{
    const qint64 ms = msecs - kGpsEpoch * 1000 + kLeapSeconds * 1000;
    return {ms / 604800000, double(ms % 604800000) / 1000.0};
}

// The header fields of a log: port, time status, clock status, week, milliseconds of week and four
// receiver words.
QByteArray logHeader(const QByteArray& name, const GnssTime& t)
{
    return name + ",1,F,S," + QByteArray::number(t.week) + ',' + QByteArray::number(qint64(t.secondsOfWeek * 1000))
         + ",0,0,0,18;";
}

double orbitPhase(int prn)
{
    return double((quint32(prn) * 2654435761u) % 10000u) / 10000.0 * 2.0 * M_PI - M_PI;
}

QByteArray gpsLike(int prn, const GnssTime& t, bool beidou)
{
    const double toe = std::floor(t.secondsOfWeek / 7200.0) * 7200.0;
    const int iode = (prn * 7 + int(toe / 7200.0)) % 256;
    QList<QByteArray> f;
    f << QByteArray::number(prn) << num(toe - 18.0, 3) << "0" << QByteArray::number(iode) << QByteArray::number(iode)
      << QByteArray::number(t.week) << QByteArray::number(t.week) << num(toe, 3)
      << num(beidou ? 27906100.0 + prn * 11.5 : 26560000.0 + prn * 37.5, 6) << num(4.5e-9 + prn * 1e-11, 18)
      << num(orbitPhase(prn), 12) << num(0.004 + prn * 0.00031, 12) << num(orbitPhase(prn + 40) / 2.0, 12)
      << num(-1.2e-6, 15) << num(8.1e-6, 15) << num(210.5 + prn, 6) << num(-35.0 + prn, 6) << num(5.6e-8, 15)
      << num(-1.1e-7, 15) << num(0.9599 + prn * 0.0001, 12) << num(1.8e-10, 18) << num(orbitPhase(prn + 80), 12)
      << num(-8.1e-9, 18) << QByteArray::number(iode);
    if (beidou) {
        f << num(toe, 3) << num(-5.8e-9, 15) << num(-2.3e-9, 15) << num(toe, 3);
    } else {
        f << num(toe, 3) << num(-1.1e-8, 15) << num(toe, 3);
    }
    f << num(1.2e-5 * (prn % 5 - 2), 15) << num(-3.4e-12, 18) << "0.0"
      << "1" << num(beidou ? 1.3e-4 : 1.4585e-4, 12) << "2.0";
    return joined(f);
}

QByteArray bd3(int prn, const GnssTime& gps)
{
    // BeiDou time runs 14 s behind GPS time and counts weeks from 2006.
    const GnssTime t{gps.week - 1356, gps.secondsOfWeek - 14.0};
    const double toe = std::floor(t.secondsOfWeek / 3600.0) * 3600.0;
    QList<QByteArray> f;
    f << QByteArray::number(prn) << "0"
      << "3"
      << "0" << QByteArray::number((prn * 5 + int(toe / 3600.0)) % 256)
      << QByteArray::number((prn * 5 + int(toe / 3600.0)) % 256) << QByteArray::number(t.week)
      << QByteArray::number(t.week) << num(toe - 30.0, 3) << num(toe, 3) << num(-5200.0 + prn * 3.0, 6)
      << num(0.0012, 12) << num(3.9e-9, 18) << num(1.0e-14, 18) << num(orbitPhase(prn), 12)
      << num(0.0006 + prn * 0.00002, 12) << num(orbitPhase(prn + 40) / 2.0, 12) << num(-2.1e-6, 15) << num(9.3e-6, 15)
      << num(180.2, 6) << num(-40.7, 6) << num(3.1e-8, 15) << num(-6.5e-8, 15) << num(0.9634, 12) << num(2.2e-10, 18)
      << num(orbitPhase(prn + 80), 12) << num(-6.9e-9, 18) << num(toe, 3) << num(4.1e-9, 15) << num(-1.2e-9, 15)
      << num(2.7e-9, 15) << num(2.9e-9, 15) << num(1.0e-10, 15) << num(2.0e-10, 15) << num(-4.6e-4, 15)
      << num(1.1e-11, 18) << "0.0" << QByteArray::number(qint64(toe) - 300) << "0"
      << "0"
      << "0"
      << "0"
      << "1"
      << "0"
      << "0";
    return joined(f);
}

QByteArray glonass(int slot, const GnssTime& t)
{
    QList<QByteArray> f;
    f << QByteArray::number(slot) << QByteArray::number(slot + 7) << "0"
      << "0" << QByteArray::number(t.week) << QByteArray::number(qint64(t.secondsOfWeek * 1000)) << "0"
      << QByteArray::number(slot % 14) << "0"
      << "0" << QByteArray::number(qint64(t.secondsOfWeek) % 86400) << "0";
    const double a = orbitPhase(slot);
    for (double v : {19100000.0 * std::cos(a), 19100000.0 * std::sin(a), 3200000.0, -2100.0 * std::sin(a),
                     2100.0 * std::cos(a), 1500.0, 0.0, 0.0, 0.0, -1.2e-4, 1.8e-12, 0.0})
        f << num(v, v > 1.0 || v < -1.0 ? 6 : 18);
    f << "3"
      << "0"
      << "0"
      << "0"
      << "0";
    return joined(f);
}

QByteArray galileo(int prn, const GnssTime& t)
{
    const double toe = std::floor(t.secondsOfWeek / 600.0) * 600.0;
    QList<QByteArray> f;
    f << QByteArray::number(prn) << "0"
      << "0";
    for (int i = 0; i < 8; ++i)
        f << "0";
    f << QByteArray::number((prn * 3 + int(toe / 600.0)) % 1024) << QByteArray::number(t.week - 1024);
    for (double v :
         {toe, 29600000.0 + prn * 5.0, 3.1e-9, orbitPhase(prn), 0.0002 + prn * 0.00001, orbitPhase(prn + 40) / 2.0,
          -1.5e-6, 7.7e-6, 230.0, -20.0, 2.2e-8, -4.1e-8, 0.9774, 1.1e-10, orbitPhase(prn + 80)})
        f << num(v, v > 1.0 || v < -1.0 ? 6 : 18);
    f << QByteArray::number(qint64(toe));
    for (double v : {-5.6e-9, 6.1e-4, -7.0e-12})
        f << num(v, 18);
    f << "0";
    for (double v : {2.1e-9, 2.3e-9, 0.0, 0.0, 0.0})
        f << num(v, 18);
    return joined(f);
}
} // namespace

ReceiverStream::ReceiverStream(ReceiverRelayPeer& relay, QObject* parent)
    : QObject(parent)
    , m_relay(relay)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &ReceiverStream::tick);
    connect(&relay, &ReceiverRelayPeer::connected, this, &ReceiverStream::onConnected);
    connect(&relay, &ReceiverRelayPeer::dataReceived, this, &ReceiverStream::onData);
}

void ReceiverStream::setLive(bool on)
{
    m_live = on;
    if (!on)
        m_timer.stop();
    else if (m_relay.openConnections() > 0)
        onConnected();
}

void ReceiverStream::onConnected()
{
    if (!m_live)
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // The TX518 writes no ephemeris logs.
    m_relay.send(epoch(now, m_receiver) + (m_receiver == Receiver::Um98x ? ephemerides(now) : QByteArray()));
    m_timer.start();
}

void ReceiverStream::onData(const QByteArray& data)
{
    if (!m_live)
        return;
    // Commands are lines; a log asked for by name is sent at once, as the receiver does for
    // "ONCHANGED" when it holds the ephemeris already.
    m_commands += data;
    QList<QByteArray> asked;
    int end;
    while ((end = m_commands.indexOf('\n')) >= 0) {
        const QByteArray line = m_commands.left(end).trimmed().toUpper();
        m_commands.remove(0, end + 1);
        const QByteArray name = line.split(' ').value(0);
        if (name.endsWith("EPHA"))
            asked << name;
    }
    if (m_commands.size() > 4096)
        m_commands.clear();
    if (!asked.isEmpty() && m_receiver == Receiver::Um98x) {
        const QByteArray logs = ephemerides(QDateTime::currentMSecsSinceEpoch(), asked);
        if (!logs.isEmpty())
            m_relay.send(logs);
    }
}

void ReceiverStream::tick()
{
    if (!m_live || m_relay.openConnections() == 0) {
        m_timer.stop();
        return;
    }
    m_relay.send(epoch(QDateTime::currentMSecsSinceEpoch(), m_receiver));
}

QByteArray ReceiverStream::sentence(const QByteArray& body)
{
    quint8 x = 0;
    for (char c : body)
        x ^= quint8(c);
    return '$' + body + '*' + QByteArray::number(x, 16).toUpper().rightJustified(2, '0') + "\r\n";
}

quint32 ReceiverStream::crc32(const QByteArray& bytes)
{
    quint32 crc = 0;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

QByteArray ReceiverStream::log(const QByteArray& body)
{
    return '#' + body + '*' + QByteArray::number(crc32(body), 16).rightJustified(8, '0') + "\r\n";
}

ReceiverStream::Receiver ReceiverStream::receiverOf(const QString& variant)
{
    if (variant == QLatin1String("518"))
        return Receiver::Tx518B3i;
    if (variant == QLatin1String("LEO"))
        return Receiver::Tx518Leo;
    return Receiver::Um98x;
}

QByteArray ReceiverStream::epoch(qint64 msecs, Receiver receiver)
{
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    const QByteArray time = utc.toString(QStringLiteral("hhmmss")).toLatin1() + '.'
                          + QByteArray::number((msecs % 1000) / 10).rightJustified(2, '0');
    const bool tx518 = receiver != Receiver::Um98x;
    QList<SkyModel::Satellite> sky = SkyModel().visible(msecs);
    if (tx518) // a BeiDou receiver
        sky.erase(std::remove_if(sky.begin(), sky.end(),
                                 [](const SkyModel::Satellite& s) { return s.system != SkyModel::Bds; }),
                  sky.end());
    // A few centimetres of wander, as a static receiver shows.
    const double wander = std::sin(double(msecs) / 7000.0) * 2e-7;
    const QByteArray lat = minutes(SkyModel::kLatitude + wander, 2);
    const QByteArray lon = minutes(SkyModel::kLongitude - wander, 3);
    // The fix uses the satellites above a 10 degree mask.
    int used = 0;
    for (const SkyModel::Satellite& s : sky)
        used += s.elevation >= 10.0;
    const double hdop = qBound(0.5, 12.0 / qMax(1, used), 9.9);

    const QByteArray talker = tx518 ? "BD" : "GN";
    QByteArray out;
    out += sentence(talker + "GGA," + time + ',' + lat + ",N," + lon + ",E,1,"
                    + QByteArray::number(used).rightJustified(2, '0') + ',' + num(hdop, 1) + ','
                    + num(SkyModel::kAltitude + wander * 1e6, 1) + ",M," + num(SkyModel::kGeoidSeparation, 1) + ",M,,");
    out += sentence(talker + "RMC," + time + ",A," + lat + ",N," + lon + ",E,0.012,0.00,"
                    + utc.toString(QStringLiteral("ddMMyy")).toLatin1() + ",7.2,W,A,S");

    if (tx518) {
        // One EGSVA for BeiDou (system 0), ratios in tenths: B1C a little above B3I, B2a above that.
        QByteArray body = "EGSVA,0," + QByteArray::number(sky.size());
        for (const SkyModel::Satellite& s : sky) {
            QList<int> carried{1};
            if (receiver == Receiver::Tx518Leo && s.prn >= 19)
                carried << 4 << 5;
            body += ',' + QByteArray::number(s.prn) + ',' + QByteArray::number(qRound(s.elevation)) + ','
                  + QByteArray::number(qRound(s.azimuth) % 360) + ',' + QByteArray::number(carried.size());
            for (int signal : qAsConst(carried)) {
                const int tenths = (s.cn0 + (signal == 4 ? 1 : signal == 5 ? 2 : 0)) * 10 + (s.prn * 3 + signal) % 10;
                body += ',' + QByteArray::number(signal) + ',' + QByteArray::number(tenths);
            }
        }
        out += sentence(body);
        return out;
    }

    // GSV sets: talker, system, signal identifier, and whether only BeiDou-3 carries the signal.
    const struct
    {
        const char* talker;
        SkyModel::System system;
        int signal;
        bool bds3Only;
    } sets[] = {{"GP", SkyModel::Gps, 1, false},     {"GB", SkyModel::Bds, 1, false},
                {"GB", SkyModel::Bds, 3, true},      {"GB", SkyModel::Bds, 8, false},
                {"GL", SkyModel::Glonass, 1, false}, {"GA", SkyModel::Galileo, 7, false}};
    for (const auto& set : sets) {
        QList<SkyModel::Satellite> sats;
        for (const SkyModel::Satellite& s : sky) {
            if (s.system == set.system && (!set.bds3Only || s.prn >= 19))
                sats << s;
        }
        const int count = qMin(int(sats.size()), 36);
        const int sentences = (count + 3) / 4;
        for (int n = 0; n < sentences; ++n) {
            QByteArray body = QByteArray(set.talker) + "GSV," + QByteArray::number(sentences) + ','
                            + QByteArray::number(n + 1) + ',' + QByteArray::number(count).rightJustified(2, '0');
            for (int k = 4 * n; k < qMin(count, 4 * n + 4); ++k) {
                const SkyModel::Satellite& s = sats.at(k);
                // B3I sits a little lower than B1I, B1C a little higher.
                const int cn0 = s.cn0 + (set.signal == 8 ? -2 : set.signal == 3 ? 1 : 0);
                body += ',' + QByteArray::number(s.prn).rightJustified(2, '0') + ','
                      + QByteArray::number(qRound(s.elevation)).rightJustified(2, '0') + ','
                      + QByteArray::number(qRound(s.azimuth) % 360).rightJustified(3, '0') + ','
                      + QByteArray::number(cn0).rightJustified(2, '0');
            }
            body += ',' + QByteArray::number(set.signal);
            out += sentence(body);
        }
    }
    return out;
}

QByteArray ReceiverStream::ephemerides(qint64 msecs, const QList<QByteArray>& names)
{
    const auto wanted = [&names](const char* name) { return names.isEmpty() || names.contains(QByteArray(name)); };
    const GnssTime t = gpsTime(msecs);
    QByteArray out;
    for (const SkyModel::Satellite& s : SkyModel().visible(msecs)) {
        switch (s.system) {
        case SkyModel::Gps:
            if (wanted("GPSEPHA"))
                out += log(logHeader("GPSEPHA", t) + gpsLike(s.prn, t, false));
            break;
        case SkyModel::Bds:
            if (wanted("BDSEPHA"))
                out += log(logHeader("BDSEPHA", t) + gpsLike(s.prn, t, true));
            if (s.prn >= 19 && wanted("BD3EPHA"))
                out += log(logHeader("BD3EPHA", t) + bd3(s.prn, t));
            break;
        case SkyModel::Glonass:
            if (wanted("GLOEPHA"))
                out += log(logHeader("GLOEPHA", t) + glonass(s.prn, t));
            break;
        case SkyModel::Galileo:
            if (wanted("GALEPHA"))
                out += log(logHeader("GALEPHA", t) + galileo(s.prn, t));
            break;
        }
    }
    return out;
}
