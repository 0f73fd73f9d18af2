#include "UM98X_960Handler.h"

#include "NmeaRecordFill.h"

#include <QDebug>
#include <QMetaEnum>
#include <QSaveFile>
#include <QTimer>
#include <QtEndian>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace Ns {
namespace Skyvane {

namespace {

using Fill = NmeaRecordFill;

// Where one log field lands in a packed record: offset and type.
struct Slot
{
    int field;
    int offset;
    char kind; // 'b' uint8, 'c' char, 'w' uint16, 'i' int32, 'd' double
};

#define FIELD_AT(field, type, member, kind)                                                                            \
    Slot                                                                                                               \
    {                                                                                                                  \
        field, int(offsetof(UM98X_960Handler::type, member)), kind                                                     \
    }

const Slot kHeaderSlots[] = {
    {1, 2, 'b'},  {2, 3, 'c'},  {3, 4, 'c'},  {4, 5, 'w'},  {5, 7, 'i'},
    {6, 11, 'i'}, {7, 15, 'b'}, {8, 16, 'b'}, {9, 17, 'w'},
};

// Fields 0 to 23 are the same in the GPS and the BeiDou (B1I/B2I) logs.
#define KEPLER_SLOTS(T)                                                                                                \
    FIELD_AT(0, T, prn, 'i'), FIELD_AT(1, T, tow, 'd'), FIELD_AT(2, T, health, 'i'), FIELD_AT(3, T, iode1, 'i'),       \
        FIELD_AT(4, T, iode2, 'i'), FIELD_AT(5, T, week, 'i'), FIELD_AT(6, T, zWeek, 'i'), FIELD_AT(7, T, toe, 'd'),   \
        FIELD_AT(8, T, a, 'd'), FIELD_AT(9, T, deltaN, 'd'), FIELD_AT(10, T, m0, 'd'), FIELD_AT(11, T, e, 'd'),        \
        FIELD_AT(12, T, omega, 'd'), FIELD_AT(13, T, cuc, 'd'), FIELD_AT(14, T, cus, 'd'), FIELD_AT(15, T, crc, 'd'),  \
        FIELD_AT(16, T, crs, 'd'), FIELD_AT(17, T, cic, 'd'), FIELD_AT(18, T, cis, 'd'), FIELD_AT(19, T, i0, 'd'),     \
        FIELD_AT(20, T, iDot, 'd'), FIELD_AT(21, T, omega0, 'd'), FIELD_AT(22, T, omegaDot, 'd'),                      \
        FIELD_AT(23, T, iodc, 'i')

// In field order, so that a place written twice keeps the later field.
const Slot kGpsSlots[] = {
    KEPLER_SLOTS(GPSEPH),           FIELD_AT(24, GPSEPH, toc, 'd'), FIELD_AT(25, GPSEPH, tgd, 'd'),
    FIELD_AT(26, GPSEPH, toc, 'd'), FIELD_AT(27, GPSEPH, af0, 'd'), FIELD_AT(28, GPSEPH, af1, 'd'),
    FIELD_AT(29, GPSEPH, af2, 'd'), FIELD_AT(30, GPSEPH, as, 'i'),  FIELD_AT(31, GPSEPH, n, 'd'),
    FIELD_AT(32, GPSEPH, ura, 'd'),
};

const Slot kBdsSlots[] = {
    KEPLER_SLOTS(BDSEPH),
    FIELD_AT(24, BDSEPH, toc, 'd'),
    FIELD_AT(25, BDSEPH, tgd1, 'd'),
    FIELD_AT(26, BDSEPH, tgd2, 'd'),
    FIELD_AT(27, BDSEPH, toc, 'd'),
    FIELD_AT(28, BDSEPH, af0, 'd'),
    FIELD_AT(29, BDSEPH, af1, 'd'),
    FIELD_AT(30, BDSEPH, af2, 'd'),
    FIELD_AT(31, BDSEPH, as, 'i'),
    FIELD_AT(32, BDSEPH, n, 'd'),
    FIELD_AT(33, BDSEPH, ura, 'd'),
};

const Slot kBd3Slots[] = {
    FIELD_AT(0, BD3EPH, prn, 'b'),
    FIELD_AT(1, BD3EPH, health, 'b'),
    FIELD_AT(2, BD3EPH, satType, 'b'),
    FIELD_AT(3, BD3EPH, sismai, 'b'),
    FIELD_AT(4, BD3EPH, iode, 'w'),
    FIELD_AT(5, BD3EPH, iodc, 'w'),
    FIELD_AT(6, BD3EPH, week, 'w'),
    FIELD_AT(7, BD3EPH, zWeek, 'w'),
    FIELD_AT(8, BD3EPH, tow, 'd'),
    FIELD_AT(9, BD3EPH, toe, 'd'),
    FIELD_AT(10, BD3EPH, deltaA, 'd'),
    FIELD_AT(11, BD3EPH, aDot, 'd'),
    FIELD_AT(12, BD3EPH, deltaN, 'd'),
    FIELD_AT(13, BD3EPH, deltaNDot, 'd'),
    FIELD_AT(14, BD3EPH, m0, 'd'),
    FIELD_AT(15, BD3EPH, e, 'd'),
    FIELD_AT(16, BD3EPH, omega, 'd'),
    FIELD_AT(17, BD3EPH, cuc, 'd'),
    FIELD_AT(18, BD3EPH, cus, 'd'),
    FIELD_AT(19, BD3EPH, crc, 'd'),
    FIELD_AT(20, BD3EPH, crs, 'd'),
    FIELD_AT(21, BD3EPH, cic, 'd'),
    FIELD_AT(22, BD3EPH, cis, 'd'),
    FIELD_AT(23, BD3EPH, i0, 'd'),
    FIELD_AT(24, BD3EPH, iDot, 'd'),
    FIELD_AT(25, BD3EPH, omega0, 'd'),
    FIELD_AT(26, BD3EPH, omegaDot, 'd'),
    FIELD_AT(27, BD3EPH, toc, 'd'),
    FIELD_AT(28, BD3EPH, tgdB1Cp, 'd'),
    FIELD_AT(29, BD3EPH, tgdB2ap, 'd'),
    FIELD_AT(30, BD3EPH, tgdB2bI, 'd'),
    FIELD_AT(31, BD3EPH, tgdB2bQ, 'd'),
    FIELD_AT(32, BD3EPH, iscB2ad, 'd'),
    FIELD_AT(33, BD3EPH, iscB1Cd, 'd'),
    FIELD_AT(34, BD3EPH, af0, 'd'),
    FIELD_AT(35, BD3EPH, af1, 'd'),
    FIELD_AT(36, BD3EPH, af2, 'd'),
    FIELD_AT(37, BD3EPH, top, 'i'),
    FIELD_AT(38, BD3EPH, sisaiOe, 'w'),
    FIELD_AT(39, BD3EPH, sisaiOcb, 'w'),
    FIELD_AT(40, BD3EPH, sisaiOc1, 'w'),
    FIELD_AT(41, BD3EPH, sisaiOc2, 'w'),
    FIELD_AT(42, BD3EPH, frequencyType, 'i'),
    FIELD_AT(43, BD3EPH, extra1, 'i'),
    FIELD_AT(44, BD3EPH, extra2, 'i'),
};

const Slot kGloSlots[] = {
    {0, 19, 'w'},   {1, 21, 'w'},   {2, 23, 'b'},   {3, 24, 'b'},   {4, 25, 'w'},   {5, 27, 'i'},
    {6, 31, 'i'},   {7, 35, 'w'},   {8, 37, 'b'},   {9, 38, 'b'},   {10, 39, 'i'},  {11, 43, 'i'},
    {12, 47, 'd'},  {13, 55, 'd'},  {14, 63, 'd'},  {15, 71, 'd'},  {16, 79, 'd'},  {17, 87, 'd'},
    {18, 95, 'd'},  {19, 103, 'd'}, {20, 111, 'd'}, {21, 119, 'd'}, {22, 127, 'd'}, {23, 135, 'd'},
    {24, 143, 'i'}, {25, 147, 'i'}, {26, 151, 'i'}, {27, 155, 'i'}, {28, 159, 'i'},
};

const Slot kGalSlots[] = {
    {0, 19, 'i'},   {1, 23, 'i'},   {2, 27, 'i'},   {3, 31, 'b'},   {4, 32, 'b'},   {5, 33, 'b'},   {6, 34, 'b'},
    {7, 35, 'b'},   {8, 36, 'b'},   {9, 37, 'b'},   {10, 38, 'b'},  {11, 39, 'i'},  {12, 43, 'i'},  {13, 47, 'd'},
    {14, 55, 'd'},  {15, 63, 'd'},  {16, 71, 'd'},  {17, 79, 'd'},  {18, 87, 'd'},  {19, 95, 'd'},  {20, 103, 'd'},
    {21, 111, 'd'}, {22, 119, 'd'}, {23, 127, 'd'}, {24, 135, 'd'}, {25, 143, 'd'}, {26, 151, 'd'}, {27, 159, 'd'},
    {28, 167, 'i'}, {29, 171, 'd'}, {30, 179, 'd'}, {31, 187, 'd'}, {32, 195, 'i'}, {33, 199, 'd'}, {34, 207, 'd'},
    {35, 215, 'd'}, {36, 223, 'd'}, {37, 231, 'd'},
};

#undef KEPLER_SLOTS
#undef FIELD_AT

static_assert(sizeof(UM98X_960Handler::GGA) == 44, "GGA layout");
static_assert(sizeof(UM98X_960Handler::RMC) == 42, "RMC layout");
static_assert(sizeof(UM98X_960Handler::GSV) == 24, "GSV layout");
static_assert(sizeof(UM98X_960Handler::LogHeader) == 19, "log header layout");
static_assert(sizeof(UM98X_960Handler::GPSEPH) == 243, "GPSEPH layout");
static_assert(sizeof(UM98X_960Handler::BDSEPH) == 251, "BDSEPH layout");
static_assert(sizeof(UM98X_960Handler::BD3EPH) == 287, "BD3EPH layout");
static_assert(sizeof(UM98X_960Handler::GLOEPH) == 163, "GLOEPH layout");
static_assert(sizeof(UM98X_960Handler::GALEPH) == 239, "GALEPH layout");
static_assert(offsetof(UM98X_960Handler::GPSEPH, ura) == 235, "GPSEPH layout");
static_assert(offsetof(UM98X_960Handler::BDSEPH, as) == 231, "BDSEPH layout");
static_assert(offsetof(UM98X_960Handler::BD3EPH, top) == 263, "BD3EPH layout");

void put(char* record, const Slot& slot, double v, char c)
{
    char* at = record + slot.offset;
    switch (slot.kind) {
    case 'b':
        *reinterpret_cast<quint8*>(at) = Fill::toInteger<quint8>(v);
        break;
    case 'c':
        *at = c;
        break;
    case 'w':
        qToLittleEndian<quint16>(Fill::toInteger<quint16>(v), at);
        break;
    case 'i':
        qToLittleEndian<qint32>(Fill::toInteger<qint32>(v), at);
        break;
    case 'd': {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        qToLittleEndian<quint64>(bits, at);
        break;
    }
    }
}

struct LogFields
{
    const QByteArray& buffer;
    const SentenceScanner::Result& r;

    int headerCount() const { return r.firstAfterSemicolon; }
    int dataCount() const { return r.fields.size() - r.firstAfterSemicolon; }
    const SentenceScanner::Field& header(int k) const { return r.fields[k - 1]; }
    const SentenceScanner::Field& data(int k) const { return r.fields[r.firstAfterSemicolon + k]; }
    double value(const SentenceScanner::Field& f) const
    {
        return SentenceScanner::number(buffer.constData() + f.begin, f.length);
    }
    char character(const SentenceScanner::Field& f) const
    {
        return SentenceScanner::character(buffer.constData() + f.begin, f.length);
    }
    double dataValue(int k) const { return k < dataCount() ? value(data(k)) : 0.0; }

    void fillHeader(char* record) const
    {
        for (const Slot& s : kHeaderSlots) {
            if (s.field <= headerCount())
                put(record, s, value(header(s.field)), character(header(s.field)));
        }
    }
    template<size_t N> void fillData(char* record, const Slot (&table)[N]) const
    {
        for (const Slot& s : table) {
            if (s.field < dataCount())
                put(record, s, value(data(s.field)), character(data(s.field)));
        }
    }
};

void putDouble(std::vector<char>& image, int offset, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    qToLittleEndian<quint64>(bits, image.data() + offset);
}

bool writeWhole(const QString& name, const std::vector<char>& image)
{
    // Written beside and renamed over the old file, so a failed write never leaves a
    // truncated table in its place.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(image.data(), qint64(image.size())) != qint64(image.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString fieldText(const QByteArray& buffer, const SentenceScanner::Result& r)
{
    if (r.fields.isEmpty())
        return QString();
    const SentenceScanner::Field& f = r.fields.last();
    return QString::fromLatin1(buffer.constData() + f.begin, f.length);
}

} // namespace

UM98X_960Handler::UM98X_960Handler(QObject* parent)
    : ReceiverHandlerBase(parent)
{
    m_parse.store(true);
    qRegisterMetaType<SatelliteSystemSymbol>("SatelliteSystemSymbol");
    qRegisterMetaType<RMC>("RMC");
    qRegisterMetaType<GGA>("GGA");
    qRegisterMetaType<GSV>("GSV");
    qRegisterMetaType<BD3EPH>("BD3EPH");
    qRegisterMetaType<BDSEPH>("BDSEPH");
    qRegisterMetaType<GPSEPH>("GPSEPH");
    qRegisterMetaType<GLOEPH>("GLOEPH");
    qRegisterMetaType<GALEPH>("GALEPH");

    using std::placeholders::_1;
    setcustomcmd(QStringLiteral("**GGA"), 35, std::bind(&UM98X_960Handler::GGAHandler, this, _1));
    setcustomcmd(QStringLiteral("**GSV"), 25, std::bind(&UM98X_960Handler::GSVHandler, this, _1));
    setcustomcmd(QStringLiteral("**RMC"), 35, std::bind(&UM98X_960Handler::RMCHandler, this, _1));
    setcustomcmd(QStringLiteral("BD3EPHA"), 35, std::bind(&UM98X_960Handler::BD3EPHHandler, this, _1));
    setcustomcmd(QStringLiteral("BDSEPHA"), 35, std::bind(&UM98X_960Handler::BDSEPHHandler, this, _1));
    setcustomcmd(QStringLiteral("GPSEPHA"), 35, std::bind(&UM98X_960Handler::GPSEPHHandler, this, _1));
    setcustomcmd(QStringLiteral("GLOEPHA"), 35, std::bind(&UM98X_960Handler::GLOEPHHandler, this, _1));
    setcustomcmd(QStringLiteral("GALEPHA"), 35, std::bind(&UM98X_960Handler::GALEPHHandler, this, _1));

    createTimer(200, &UM98X_960Handler::timeoutEvent, &UM98X_960Handler::startGSVTimer,
                &UM98X_960Handler::stopGSVTimer);
}

UM98X_960Handler::~UM98X_960Handler()
{
    qDebug().noquote() << QString::fromLatin1(Q_FUNC_INFO) + QStringLiteral("析构了");
    releaseTimer();
}

void UM98X_960Handler::setDumpFilesEnabled(bool enabled)
{
    QMutexLocker locker(&m_lock);
    m_dumpFiles = enabled;
}

void UM98X_960Handler::DataReceived(QByteArray data)
{
    ParseData(data);
}

void UM98X_960Handler::ParseData(const QByteArray& data)
{
    QMutexLocker locker(&m_lock);
    if (GSVTimeoutClean())
        emit gsvDataChanged(GNSS, m_gsv);
    m_loop.feed(data, m_parse);
    if (!m_timerRequested && m_pendingGsvSystem >= 0 && m_pendingGsvSystem <= 3) {
        m_timerRequested = true;
        emit startGSVTimer();
    }
}

UM98X_960Handler::SatelliteSystemSymbol UM98X_960Handler::talker(const QByteArray& buffer)
{
    if (buffer.size() < 3)
        return SatelliteSystemSymbol(-1);
    if (buffer.at(1) != 'G')
        return SatelliteSystemSymbol(-1);
    switch (buffer.at(2)) {
    case 'P':
        return GPS;
    case 'B':
        return BDS;
    case 'L':
        return GLONASS;
    case 'A':
        return Galileo;
    case 'Q':
        return QZSS;
    case 'N':
        return GNSS;
    default:
        return SatelliteSystemSymbol(-1);
    }
}

void UM98X_960Handler::reportHeaderLength(const char* pattern, const SentenceScanner::Result& r) const
{
    Q_UNUSED(pattern)
    qDebug() << "解析错误" << 0 << "Exception" << int(std::strlen(pattern)) << "Caused" << r.headerLength;
}

void UM98X_960Handler::reportChecksum(const char* pattern, const QByteArray& buffer,
                                      const SentenceScanner::Result& r) const
{
    const int length = qMin(buffer.size(), r.consumed + 1);
    qDebug() << pattern << "校验错误" << 2 << "Exception" << QString::number(r.computed, 16) << "Caused"
             << QString::number(r.received, 16) << "Source" << fieldText(buffer, r) << "ParseText"
             << QString::fromLatin1(buffer.constData(), length);
}

bool UM98X_960Handler::acceptSentence(const QByteArray& buffer, const char* pattern, SentenceScanner::Result& r) const
{
    r = SentenceScanner::scan(buffer, pattern, SentenceScanner::Check::Xor);
    if (r.badHeaderLength)
        reportHeaderLength(pattern, r);
    if (!r.complete || !r.hasChecksum || r.overlong)
        return false;
    if (!r.checksumOk) {
        reportChecksum(pattern, buffer, r);
        return false;
    }
    return true;
}

int UM98X_960Handler::GGAHandler(const QByteArray& buffer)
{
    SentenceScanner::Result r;
    if (acceptSentence(buffer, "$**GGA", r)) {
        // Filled into a copy so a rejected sentence never leaves half a record behind.
        GGA next = m_gga;
        NmeaRecordFill::gga(next, buffer, r);
        m_gga = next;
        emit ggaDataChanged(talker(buffer), m_gga);
    }
    return r.consumed;
}

int UM98X_960Handler::RMCHandler(const QByteArray& buffer)
{
    SentenceScanner::Result r;
    if (acceptSentence(buffer, "$**RMC", r)) {
        RMC next = m_rmc;
        NmeaRecordFill::rmc(next, buffer, r);
        m_rmc = next;
        emit rmcDataChanged(talker(buffer), m_rmc);
    }
    return r.consumed;
}

int UM98X_960Handler::GSVHandler(const QByteArray& buffer)
{
    static const char pattern[] = "$**GSV";
    if (buffer.size() < 7)
        return 0;
    const SentenceScanner::Result r = SentenceScanner::scan(buffer, pattern, SentenceScanner::Check::Xor);
    if (r.consumed < 0)
        return r.consumed;
    if (r.badHeaderLength) {
        reportHeaderLength(pattern, r);
        return r.consumed;
    }
    const int system = talker(buffer);
    const qint64 t = now();
    if (m_pendingGsvSystem >= 0 && m_pendingGsvSystem <= 3 && m_pendingGsvSystem != system && !m_gsvReleased) {
        m_gsvReleased = true;
        qDebug() << "发送上次GSV GSVHandler"
                 << "last" << m_pendingGsvSystem << "current" << system << t;
        emit gsvDataChanged(SatelliteSystemSymbol(m_pendingGsvSystem), m_gsv);
    }
    m_pendingGsvSystem = system;

    if (!r.complete || !r.hasChecksum || r.overlong)
        return r.consumed;
    if (!r.checksumOk) {
        reportChecksum(pattern, buffer, r);
        return r.consumed;
    }

    GSV record;
    record.sentences = Fill::toInteger<quint8>(Fill::value(buffer, r, 1));
    record.number = Fill::toInteger<quint8>(Fill::value(buffer, r, 2));
    record.inView = Fill::toInteger<quint8>(Fill::value(buffer, r, 3));
    const int carried = qBound(0, int(record.inView) - 4 * (int(record.number) - 1), 4);
    for (int k = 0; k < carried; ++k) {
        SatelliteData& s = record.satellites[k];
        s.prn = Fill::toInteger<quint8>(Fill::value(buffer, r, 4 + 4 * k));
        s.elevation = Fill::toInteger<quint8>(Fill::value(buffer, r, 5 + 4 * k));
        s.azimuth = Fill::toInteger<quint16>(Fill::value(buffer, r, 6 + 4 * k));
        s.cn0 = Fill::toInteger<quint8>(Fill::value(buffer, r, 7 + 4 * k));
    }
    // Sentences before NMEA 4.10 carry no signal identifier: they count as all signals (0).
    record.signalId = Fill::toInteger<quint8>(Fill::value(buffer, r, 4 + 4 * carried));

    if (system < 0 || system > 3 || record.inView == 0)
        return r.consumed;

    m_gsvTimes[system].insert(record.signalId, t);
    QList<GSV>& list = m_gsv[system][record.signalId];
    if (record.number == 1)
        list.clear();
    // 255 satellites fill 64 sentences; more without a new first sentence is not one set.
    if (list.size() < 64)
        list.append(record);
    if (4 * list.size() >= int(record.inView)) {
        m_gsvReleased = false;
        m_lastGsvFlush = t;
    }
    return r.consumed;
}

bool UM98X_960Handler::GSVTimeoutClean()
{
    const qint64 t = now();
    bool removed = false;
    for (int system = 0; system < 4; ++system) {
        auto& times = m_gsvTimes[system];
        for (auto it = times.begin(); it != times.end();) {
            if (t - it.value() >= 3000) {
                if (m_gsv[system].remove(it.key()) > 0)
                    removed = true;
                it = times.erase(it);
            } else {
                ++it;
            }
        }
    }
    if (removed)
        qDebug() << Q_FUNC_INFO << "存在过期GSV数据";
    return removed;
}

void UM98X_960Handler::timeoutEvent()
{
    if (!m_lock.tryLock()) {
        qDebug() << Q_FUNC_INFO << "锁失败";
        return;
    }
    const bool cleaned = GSVTimeoutClean();
    const qint64 t = now();
    const bool pending = m_pendingGsvSystem >= 0 && m_pendingGsvSystem <= 3;
    if (pending && !m_gsvReleased && t - m_lastGsvFlush > 200) {
        m_gsvReleased = true;
        qDebug() << "发送上次GSV timeoutEvent" << m_pendingGsvSystem;
        emit gsvDataChanged(SatelliteSystemSymbol(m_pendingGsvSystem), m_gsv);
    }
    if (cleaned) {
        m_gsvReleased = false;
        m_lastGsvFlush = t;
    } else if (!pending && !m_gsvReleased && t - m_lastGsvFlush > 1000) {
        qDebug() << "清除GSV";
        m_gsvReleased = true;
        emit gsvDataChanged(GNSS, m_gsv);
    }
    bool allEmpty = true;
    for (const auto& times : m_gsvTimes)
        allEmpty = allEmpty && times.isEmpty();
    if (allEmpty) {
        m_pendingGsvSystem = -1;
        m_timerRequested = false;
        emit stopGSVTimer();
        if (cleaned) {
            qDebug() << "清除GSV out";
            m_gsvReleased = true;
            emit gsvDataChanged(GNSS, m_gsv);
        }
        qDebug() << "GSV Timer Released";
    }
    m_lock.unlock();
}

quint32 UM98X_960Handler::crc_update(unsigned char* data, int length)
{
    if (!data || length <= 0)
        return 0;
    return SentenceScanner::crc32(data, length);
}

int UM98X_960Handler::logHandler(const QByteArray& buffer, LogKind kind)
{
    static const char* const patterns[] = {"#GPSEPHA", "#BDSEPHA", "#BD3EPHA", "#GLOEPHA", "#GALEPHA"};
    const char* pattern = patterns[int(kind)];
    const SentenceScanner::Result r = SentenceScanner::scan(buffer, pattern, SentenceScanner::Check::Crc32);
    if (r.badHeaderLength) {
        qDebug() << "解析错误" << 0 << "Exception" << 8 << "Caused" << r.headerLength;
        return r.consumed;
    }
    if (!r.complete || !r.hasChecksum || r.overlong)
        return r.consumed;
    if (!r.checksumOk) {
        reportChecksum(pattern, buffer, r);
        return r.consumed;
    }
    // A log without the ';' that ends its header carries no ephemeris.
    if (r.firstAfterSemicolon < 0)
        return r.consumed;

    const LogFields fields{buffer, r};
    const double number = fields.dataValue(0);
    auto inRange = [number](double low, double high) { return number >= low && number <= high; };

    switch (kind) {
    case LogKind::GPS: {
        if (!inRange(1, 32))
            return r.consumed;
        GPSEPH e;
        fields.fillHeader(reinterpret_cast<char*>(&e));
        fields.fillData(reinterpret_cast<char*>(&e), kGpsSlots);
        m_gpsEph.insert(static_cast<unsigned char>(e.prn), e);
        emit ephDataGPSChanged(m_gpsEph);
        break;
    }
    case LogKind::BDS: {
        if (!inRange(1, 63))
            return r.consumed;
        BDSEPH e;
        fields.fillHeader(reinterpret_cast<char*>(&e));
        fields.fillData(reinterpret_cast<char*>(&e), kBdsSlots);
        m_bdsEph.insert(static_cast<unsigned char>(e.prn), e);
        if (m_dumpFiles)
            SaveBDSphToFile();
        qDebug() << "BDS星历解析成功";
        emit ephDataBDSChanged(m_bdsEph);
        break;
    }
    case LogKind::BD3: {
        if (!inRange(1, 63))
            return r.consumed;
        BD3EPH e;
        fields.fillHeader(reinterpret_cast<char*>(&e));
        fields.fillData(reinterpret_cast<char*>(&e), kBd3Slots);
        m_bd3Eph.insert(e.prn, e);
        if (m_dumpFiles)
            SaveBD3phToFile();
        qDebug() << "BD3星历解析成功";
        emit ephDataBD3Changed(m_bd3Eph);
        break;
    }
    case LogKind::GLO: {
        GLOEPH e;
        fields.fillHeader(reinterpret_cast<char*>(&e));
        fields.fillData(reinterpret_cast<char*>(&e), kGloSlots);
        m_gloEph.insert(static_cast<unsigned char>(e.slot + 37), e);
        emit ephDataGLOChanged(m_gloEph);
        break;
    }
    case LogKind::GAL: {
        if (!inRange(1, 36))
            return r.consumed;
        GALEPH e;
        fields.fillHeader(reinterpret_cast<char*>(&e));
        fields.fillData(reinterpret_cast<char*>(&e), kGalSlots);
        m_galEph.insert(static_cast<unsigned char>(e.prn), e);
        emit ephDataGALChanged(m_galEph);
        break;
    }
    }
    return r.consumed;
}

int UM98X_960Handler::GPSEPHHandler(const QByteArray& buffer)
{
    return logHandler(buffer, LogKind::GPS);
}

int UM98X_960Handler::BDSEPHHandler(const QByteArray& buffer)
{
    return logHandler(buffer, LogKind::BDS);
}

int UM98X_960Handler::BD3EPHHandler(const QByteArray& buffer)
{
    return logHandler(buffer, LogKind::BD3);
}

int UM98X_960Handler::GLOEPHHandler(const QByteArray& buffer)
{
    return logHandler(buffer, LogKind::GLO);
}

int UM98X_960Handler::GALEPHHandler(const QByteArray& buffer)
{
    return logHandler(buffer, LogKind::GAL);
}

void UM98X_960Handler::clearnEphData(SatelliteSystemSymbol system)
{
    QMutexLocker locker(&m_lock);
    switch (system) {
    case GPS:
        m_gpsEph.clear();
        break;
    case BDS:
        m_bdsEph.clear();
        m_bd3Eph.clear();
        break;
    case GLONASS:
        m_gloEph.clear();
        break;
    case Galileo:
        m_galEph.clear();
        break;
    case GNSS:
        m_gpsEph.clear();
        m_bdsEph.clear();
        m_bd3Eph.clear();
        m_gloEph.clear();
        m_galEph.clear();
        break;
    default:
        break;
    }
}

bool UM98X_960Handler::SaveBDSphToFile()
{
    constexpr int kSlot = 432;
    std::vector<char> image(40 * kSlot, '\0');
    for (int prn = 1; prn <= 40; ++prn) {
        const auto it = m_bdsEph.constFind(static_cast<unsigned char>(prn));
        if (it == m_bdsEph.constEnd())
            continue;
        const BDSEPH& e = it.value();
        const int base = (prn - 1) * kSlot;
        const double values[] = {e.toe, e.toc,   double(e.week), e.m0,  e.e,      std::sqrt(e.a), e.omega0,
                                 e.i0,  e.omega, e.iDot,         e.crs, e.deltaN, e.omegaDot,     e.crc,
                                 e.cuc, e.cus,   e.cic,          e.cis, e.af0,    e.af1,          e.af2};
        for (size_t k = 0; k < sizeof values / sizeof values[0]; ++k)
            putDouble(image, base + int(8 * k), values[k]);
    }
    if (!writeWhole(QStringLiteral("BD2_40_16eph.dat"), image))
        return false;
    qDebug() << "BD216参数星历存储到文件成功";
    return true;
}

bool UM98X_960Handler::SaveBD3phToFile()
{
    constexpr int kSlot = 264;
    std::vector<char> image(40 * kSlot, '\0');
    for (int prn = 1; prn <= 40; ++prn) {
        const auto it = m_bd3Eph.constFind(static_cast<unsigned char>(prn));
        if (it == m_bd3Eph.constEnd())
            continue;
        const BD3EPH& e = it.value();
        const int base = (prn - 1) * kSlot;
        const double values[] = {e.toe,      e.deltaA, e.aDot, e.deltaN, e.deltaNDot, e.m0,  e.e,   e.omega, e.omega0,
                                 e.omegaDot, e.i0,     e.iDot, e.cis,    e.cic,       e.crs, e.crc, e.cus,   e.cuc};
        for (size_t k = 0; k < sizeof values / sizeof values[0]; ++k)
            putDouble(image, base + int(8 * k), values[k]);
        putDouble(image, base + 232, e.af0);
        putDouble(image, base + 240, e.af1);
        putDouble(image, base + 248, e.af2);
        qToLittleEndian<quint32>(quint32(e.iode), image.data() + base + 256);
        qToLittleEndian<quint32>(quint32(e.iodc), image.data() + base + 260);
    }
    if (!writeWhole(QStringLiteral("BD3_40_18eph.dat"), image))
        return false;
    qDebug() << "BD318参数星历存储到文件成功";
    return true;
}

// Data fields of SATSINFOA: satellite count, then per satellite its number, the count of
// tracked frequencies and per frequency the system, the frequency code and the C/N0:
//   #SATSINFOA,h1,...,h9;2,5,2,0,0,45,0,17,41,21,1,4,0,44*crc\r\n
int UM98X_960Handler::SATSINFOAHandler(const QByteArray& buffer)
{
    static const char pattern[] = "#SATSINFOA";
    const SentenceScanner::Result r = SentenceScanner::scan(buffer, pattern, SentenceScanner::Check::Crc32);
    if (r.badHeaderLength) {
        qDebug() << "解析错误" << 0 << "Exception" << 10 << "Caused" << r.headerLength;
        return r.consumed;
    }
    if (!r.complete || !r.hasChecksum || r.overlong || (r.hasChecksum && !r.checksumOk)) {
        if (r.complete && r.hasChecksum && !r.checksumOk)
            reportChecksum(pattern, buffer, r);
        return r.consumed;
    }
    if (r.firstAfterSemicolon < 0)
        return r.consumed;

    const LogFields fields{buffer, r};
    const int available = fields.dataCount();
    QVector<SatelliteInfo> list;
    int at = 1;
    const qint64 satellites = SentenceScanner::integerPart(fields.dataValue(0));
    // Every count is checked against the fields that remain before anything is reserved.
    if (satellites < 0 || satellites > (available - 1) / 2)
        return r.consumed;
    for (qint64 s = 0; s < satellites; ++s) {
        if (at + 2 > available)
            return r.consumed;
        SatelliteInfo info;
        info.prn = int(SentenceScanner::integerPart(fields.dataValue(at)));
        const qint64 count = SentenceScanner::integerPart(fields.dataValue(at + 1));
        at += 2;
        if (count < 0 || count > (available - at) / 3)
            return r.consumed;
        info.frequencyCount = int(count);
        for (qint64 f = 0; f < count; ++f) {
            SatelliteFrequency freq;
            freq.system = GnssSystem(NmeaRecordFill::toInteger<qint32>(fields.dataValue(at)));
            freq.frequency = NmeaRecordFill::toInteger<qint32>(fields.dataValue(at + 1));
            freq.cn0 = NmeaRecordFill::toInteger<qint32>(fields.dataValue(at + 2));
            info.frequencies.append(freq);
            at += 3;
        }
        list.append(info);
    }

    LogHeader header;
    fields.fillHeader(reinterpret_cast<char*>(&header));
    header.field6 = 0;
    m_satInfoHeader = header;
    m_satInfo = list;

    const QMetaEnum systems = QMetaEnum::fromType<GnssSystem>();
    for (const SatelliteInfo& info : qAsConst(m_satInfo)) {
        std::printf("PRN:%d FrequentCount:%d\n", info.prn, info.frequencyCount);
        for (const SatelliteFrequency& f : info.frequencies) {
            const char* system = systems.valueToKey(int(f.system));
            const char* frequency = nullptr;
            switch (f.system) {
            case GnssSystem::GPS:
                frequency = QMetaEnum::fromType<GPSFrequency>().valueToKey(f.frequency);
                break;
            case GnssSystem::GLONASS:
                frequency = QMetaEnum::fromType<GLONASSFrequency>().valueToKey(f.frequency);
                break;
            case GnssSystem::GAL:
                frequency = QMetaEnum::fromType<GALFrequency>().valueToKey(f.frequency);
                break;
            case GnssSystem::BDS:
                frequency = QMetaEnum::fromType<BDSFrequency>().valueToKey(f.frequency);
                break;
            default:
                frequency = "Others";
                break;
            }
            std::printf("%s ", system ? system : "Unknown");
            std::printf("%s ", frequency ? frequency : "Unknown");
            std::printf("SNR:%d\n", f.cn0);
        }
        std::printf("\n\n");
    }
    std::fflush(stdout);
    return r.consumed;
}

UM98X_960Handler::LogHeader UM98X_960Handler::satelliteInfoHeader()
{
    QMutexLocker locker(&m_lock);
    return m_satInfoHeader;
}

QVector<UM98X_960Handler::SatelliteInfo> UM98X_960Handler::satelliteInfo()
{
    QMutexLocker locker(&m_lock);
    return m_satInfo;
}

} // namespace Skyvane
} // namespace Ns
