#include "TX518Handler.h"

#include "NmeaRecordFill.h"

#include <QDebug>
#include <QTimer>

#include <cmath>

namespace Ns {
namespace Skyvane {

namespace {

using Fill = NmeaRecordFill;

static_assert(sizeof(TX518Handler::GGA) == 44, "GGA layout");
static_assert(sizeof(TX518Handler::RMC) == 42, "RMC layout");
static_assert(sizeof(TX518Handler::GSV) == 27, "GSV layout");
static_assert(sizeof(TX518Handler::SatelliteData) == 6, "SatelliteData layout");

// EGSVA numbers: digits and the letters a-f/A-F count in a decimal accumulation, a '.' makes
// the following digits add unscaled, '-' makes the following digits count negative. The
// arithmetic wraps in 64 bits, so any text has a value.
quint64 egsvaNumber(const char* s, int n)
{
    quint64 value = 0;
    bool fraction = false;
    bool negative = false;
    for (int i = 0; i < n; ++i) {
        const char c = s[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (c == '.') {
            fraction = true;
        } else if (c == '-') {
            negative = true;
        } else if (digit >= 0) {
            const quint64 d = negative ? quint64(0) - quint64(digit) : quint64(digit);
            value = fraction ? value + d : value * 10u + d;
        }
    }
    return value;
}

} // namespace

TX518Handler::TX518Handler(QObject* parent)
    : ReceiverHandlerBase(parent)
{
    m_parse.store(true);
    qRegisterMetaType<SatelliteSystemID>("SatelliteSystemID");
    qRegisterMetaType<SatelliteSystemID>("TX518Handler::SatelliteSystemID");
    qRegisterMetaType<RMC>("RMC");
    qRegisterMetaType<GGA>("GGA");
    qRegisterMetaType<GSV>("GSV");

    using std::placeholders::_1;
    setcustomcmd(QStringLiteral("**GGA"), 35, std::bind(&TX518Handler::GGAHandler, this, _1));
    setcustomcmd(QStringLiteral("**RMC"), 35, std::bind(&TX518Handler::RMCHandler, this, _1));
    setcustomcmd(QStringLiteral("EGSVA"), 35, std::bind(&TX518Handler::EGSVAHandler, this, _1));

    createTimer(1000, &TX518Handler::timeoutEvent, &TX518Handler::startGSVTimer, &TX518Handler::stopGSVTimer);
}

TX518Handler::~TX518Handler()
{
    qDebug().noquote() << QString::fromLatin1(Q_FUNC_INFO) + QStringLiteral("析构了");
    releaseTimer();
}

void TX518Handler::DataReceived(QByteArray data)
{
    ParseData(data);
}

void TX518Handler::ParseData(const QByteArray& data)
{
    QMutexLocker locker(&m_lock);
    m_loop.feed(data, m_parse);
}

int TX518Handler::talker(const QByteArray& buffer)
{
    if (buffer.size() < 3)
        return 255;
    const char a = buffer.at(1);
    const char b = buffer.at(2);
    if (a == 'B' && b == 'D')
        return 0;
    if (a == 'G') {
        switch (b) {
        case 'P':
            return 1;
        case 'L':
            return 2;
        case 'A':
            return 3;
        default:
            break;
        }
    }
    return 255;
}

namespace {

void reportChecksum(const char* pattern, int state, const QByteArray& buffer, const SentenceScanner::Result& r)
{
    const int length = qMin(buffer.size(), r.consumed + 1);
    qDebug() << pattern << "校验错误" << state << "Exception" << QString::number(r.computed, 16) << "Caused"
             << QString::number(r.received, 16) << "Source"
             << QString::fromLatin1(buffer.constData() + r.checksumBegin, r.checksumLength) << "ParseText"
             << QString::fromLatin1(buffer.constData(), length);
}

} // namespace

bool TX518Handler::acceptSentence(const QByteArray& buffer, const char* pattern, SentenceScanner::Result& r)
{
    r = SentenceScanner::scan(buffer, pattern, SentenceScanner::Check::Xor);
    if (r.badHeaderLength)
        qDebug() << "解析错误" << 0 << "Exception" << 6 << "Caused" << r.headerLength;
    if (!r.complete || !r.hasChecksum || r.overlong)
        return false;
    if (!r.checksumOk) {
        reportChecksum(pattern, 2, buffer, r);
        return false;
    }
    return true;
}

int TX518Handler::GGAHandler(const QByteArray& buffer)
{
    SentenceScanner::Result r;
    if (acceptSentence(buffer, "$**GGA", r)) {
        GGA next = m_gga;
        Fill::gga(next, buffer, r);
        m_gga = next;
        emit ggaDataChanged(SatelliteSystemID(talker(buffer)), m_gga);
    }
    return r.consumed;
}

int TX518Handler::RMCHandler(const QByteArray& buffer)
{
    SentenceScanner::Result r;
    if (acceptSentence(buffer, "$**RMC", r)) {
        RMC next = m_rmc;
        Fill::rmc(next, buffer, r);
        m_rmc = next;
        emit rmcDataChanged(SatelliteSystemID(talker(buffer)), m_rmc);
    }
    return r.consumed;
}

int TX518Handler::EGSVAHandler(const QByteArray& buffer)
{
    static const char pattern[] = "$EGSVA";
    if (buffer.size() < 7)
        return 0;
    // The timer runs from the first sentence on and is not restarted by later ones, so a
    // steady flow of one system cannot keep a silent system from being forgotten.
    if (!m_timerRequested) {
        m_timerRequested = true;
        emit startGSVTimer();
    }
    const SentenceScanner::Result r = SentenceScanner::scan(buffer, pattern, SentenceScanner::Check::Xor, true);
    if (r.headerMismatch) {
        qDebug() << "$EGSVA"
                 << "头错误";
        return r.consumed;
    }
    if (r.badHeaderLength) {
        qDebug() << "解析错误" << 0 << "Exception" << 6 << "Caused" << r.headerLength;
        return r.consumed;
    }
    if (!r.complete || !r.hasChecksum || r.overlong)
        return r.consumed;
    if (!r.checksumOk) {
        reportChecksum(pattern, 5, buffer, r);
        return r.consumed;
    }
    // A sentence without its system field says nothing about any system.
    if (r.fields.isEmpty())
        return r.consumed;

    const char* p = buffer.constData();
    auto number = [&](int index) {
        const SentenceScanner::Field& f = r.fields[index];
        return egsvaNumber(p + f.begin, f.length);
    };
    const quint8 system = quint8(number(0));
    if (system > 3)
        return r.consumed;

    SatelliteMap map;
    const int count = r.fields.size();
    for (int at = 2; at + 4 <= count;) {
        SatelliteData satellite;
        satellite.prn = quint8(number(at));
        satellite.elevation = quint8(number(at + 1));
        satellite.azimuth = quint16(number(at + 2));
        int pairs = quint8(number(at + 3));
        at += 4;
        for (; pairs > 0 && at + 2 <= count; --pairs, at += 2) {
            satellite.cn0 = quint16(number(at + 1));
            map[quint8(number(at))].append(satellite);
        }
        if (pairs > 0)
            break; // the sentence ended inside this satellite's pairs
    }
    m_satellites[system] = map;
    m_updateTimes[system] = now();
    emit egsvDataChanged(SatelliteSystemID(system), m_satellites);
    return r.consumed;
}

int TX518Handler::GSVHandler(const QByteArray& buffer)
{
    if (buffer.size() < 7)
        return 0;
    const int system = talker(buffer);
    SentenceScanner::Result r;
    if (!acceptSentence(buffer, "$**GSV", r))
        return r.consumed;
    GSV record;
    record.sentences = Fill::toInteger<quint8>(Fill::value(buffer, r, 1));
    record.number = Fill::toInteger<quint8>(Fill::value(buffer, r, 2));
    record.inView = Fill::toInteger<quint8>(Fill::value(buffer, r, 3));
    const int carried = qBound(0, int(record.inView) - 4 * (int(record.number) - 1), 4);
    for (int k = 0; k < carried; ++k) {
        GsvSatellite& s = record.satellites[k];
        s.prn = Fill::toInteger<quint8>(Fill::value(buffer, r, 4 + 4 * k));
        s.elevation = Fill::toInteger<quint8>(Fill::value(buffer, r, 5 + 4 * k));
        s.azimuth = Fill::toInteger<quint16>(Fill::value(buffer, r, 6 + 4 * k));
        s.cn0 = Fill::toInteger<qint16>(std::round(Fill::value(buffer, r, 7 + 4 * k) * 10.0));
    }
    if (system > 3 || record.inView == 0)
        return r.consumed;
    if (record.number == 1)
        m_gsv.clear();
    if (m_gsv.size() < 64)
        m_gsv.append(record);
    if (record.number == record.sentences)
        emit gsvDataChanged(SatelliteSystemID(system), m_gsv);
    return r.consumed;
}

void TX518Handler::timeoutEvent()
{
    if (!m_lock.tryLock()) {
        qDebug() << Q_FUNC_INFO << "锁失败";
        return;
    }
    const qint64 t = now();
    bool fresh = false;
    for (int system = 0; system < 4; ++system) {
        if (m_updateTimes[system] == 0)
            continue;
        if (t - m_updateTimes[system] < 3000) {
            fresh = true;
            continue;
        }
        m_updateTimes[system] = 0;
        m_satellites[system].clear();
        emit egsvDataChanged(SatelliteSystemID(system), m_satellites);
    }
    if (!fresh && m_timerRequested) {
        m_timerRequested = false;
        emit stopGSVTimer();
    }
    m_lock.unlock();
}

} // namespace Skyvane
} // namespace Ns
