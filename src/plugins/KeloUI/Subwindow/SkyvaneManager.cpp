#include "SkyvaneManager.h"

#include "ReceiverCNR.h"
#include "ReceiverEphemeris.h"

#include <ConfigSetting.h>
#include <ReceiverDataTransportManager.h>
#include <ReceiverHandlerBase.h>

#include <QDate>
#include <QDebug>
#include <QJsonObject>
#include <QPointer>
#include <QQmlEngine>
#include <QtQml>

using Ns::Skyvane::ReceiverHandlerBase;

namespace {
struct SystemRow
{
    int code;
    int index;
    const char* name;
    const char* color;
};
struct BandRow
{
    int system; // display-system index
    int signal;
    const char* name;
    const char* color;
};
struct VariantTables
{
    QList<SystemRow> systems;
    QList<BandRow> bands;
};

// One colour per signal in every chart and variant; a band that joins signals takes its first
// one's. A system shown with one signal alone takes that signal's colour, so that its sky plot
// and its bars agree; GPS is its L1C/A.
const char kB1I[] = "red";
const char kB1C[] = "orange";
const char kB1A[] = "pink";
const char kB2a[] = "teal";
const char kB3I[] = "lightblue";
const char kB3Q[] = "blue";
const char kB3A[] = "green";
const char kL1CA[] = "purple";
const char kBds[] = "red";

VariantTables tablesFor(const QString& variant)
{
    if (ConfigSetting::isCpci(variant))
        return {{{1, 0, "BDS", kBds}, {0, 1, "GPS", kL1CA}},
                {{0, 1, "B1I/B1A", kB1I}, {0, 3, "B1C", kB1C}, {0, 8, "B3I/B3A/B3Q", kB3I}, {1, 1, "L1C/A", kL1CA}}};
    if (ConfigSetting::is518(variant))
        return {{{0, 0, "BDS", kB3I}}, {{0, 1, "B3I", kB3I}}};
    if (ConfigSetting::isLeo(variant))
        return {{{0, 0, "BDS", kBds}}, {{0, 1, "B3I", kB3I}, {0, 4, "B1C", kB1C}, {0, 5, "B2a", kB2a}}};
    return {{{1, 0, "BDS", kBds}, {0, 1, "GPS", kL1CA}},
            {{0, 1, "B1I", kB1I},
             {0, 3, "B1C", kB1C},
             {0, 4, "B1A", kB1A},
             {0, 8, "B3I", kB3I},
             {0, 9, "B3Q", kB3Q},
             {0, 10, "B3A", kB3A},
             {1, 1, "L1C/A", kL1CA}}};
}

// The manager QML sees. A singleton registered with qmlRegisterSingletonInstance serves one
// engine only, and each of the two views has its own; a provider serves every engine.
QPointer<SkyvaneManager>& qmlManager()
{
    static QPointer<SkyvaneManager> manager;
    return manager;
}

QObject* provideManager(QQmlEngine* engine, QJSEngine*)
{
    SkyvaneManager* m = qmlManager().data();
    if (m)
        engine->setObjectOwnership(m, QQmlEngine::CppOwnership);
    return m;
}

QString letter(char c)
{
    return c ? QString(QChar::fromLatin1(c)) : QString();
}

QString degreesText(double value, char direction)
{
    return QStringLiteral("%1, %2").arg(SkyvaneManager::nmeaDegrees(value), 0, 'f', 8).arg(letter(direction));
}
} // namespace

SkyvaneManager::SkyvaneManager(QObject* parent)
    : QObject(parent)
{
    initializeQmlData();

    const ConfigSetting* config = ConfigSetting::instance();
    m_tx518 = config->is518() || config->isLeo();
    if (m_tx518) {
        auto* p = new TX518;
        m_parser = p;
        connect(p, &TX518::ggaDataChanged, this, &SkyvaneManager::tx518_ggaDataChanged, Qt::DirectConnection);
        connect(p, &TX518::egsvDataChanged, this, &SkyvaneManager::tx518_egsvDataChanged, Qt::DirectConnection);
        connect(p, &TX518::rmcDataChanged, this, &SkyvaneManager::tx518_rmcDataChanged, Qt::DirectConnection);
    } else {
        auto* p = new UM98X;
        m_parser = p;
        connect(p, &UM98X::ggaDataChanged, this, &SkyvaneManager::um98x_ggaDataChanged, Qt::DirectConnection);
        connect(p, &UM98X::gsvDataChanged, this, &SkyvaneManager::um98x_gsvDataChanged, Qt::DirectConnection);
        connect(p, &UM98X::rmcDataChanged, this, &SkyvaneManager::um98x_rmcDataChanged, Qt::DirectConnection);
        connect(p, &UM98X::ephDataBD3Changed, this, &SkyvaneManager::um98x_ephDataBD3Changed, Qt::DirectConnection);
        connect(p, &UM98X::ephDataBDSChanged, this, &SkyvaneManager::um98x_ephDataBDSChanged, Qt::DirectConnection);
        connect(p, &UM98X::ephDataGPSChanged, this, &SkyvaneManager::um98x_ephDataGPSChanged, Qt::DirectConnection);
        connect(p, &UM98X::ephDataGLOChanged, this, &SkyvaneManager::um98x_ephDataGLOChanged, Qt::DirectConnection);
        connect(p, &UM98X::ephDataGALChanged, this, &SkyvaneManager::um98x_ephDataGALChanged, Qt::DirectConnection);

        ReceiverEphemeris* eph = ReceiverEphemeris::Instance();
        connect(eph, &ReceiverEphemeris::updateEph, this, &SkyvaneManager::clearnAndResend, Qt::QueuedConnection);
        connect(this, &SkyvaneManager::UpdateEphMap, eph, &ReceiverEphemeris::ephMapUpdate);
        connect(ReceiverDataTransportManager::Instance(), &ReceiverDataTransportManager::transport_status_change, eph,
                &ReceiverEphemeris::StatusChange);
        eph->setEphemerisSource(&m_bd3Eph, &m_gpsEph, m_ephLocks);
    }

    ReceiverCNR* cnr = ReceiverCNR::Instance();
    ReceiverDataTransportManager* relay = ReceiverDataTransportManager::Instance();
    connect(cnr, &ReceiverCNR::cmdSend, relay, &ReceiverDataTransportManager::SendDataToReceiver, Qt::QueuedConnection);
    connect(cnr, &ReceiverCNR::SetReceiverOutputStatus, this, &SkyvaneManager::dataTransportControl,
            Qt::QueuedConnection);
    connect(this, &SkyvaneManager::UpdateInfo, cnr, &ReceiverCNR::UpdateInfo);
    connect(relay, &ReceiverDataTransportManager::ReceiverDataTransport, this, &SkyvaneManager::dataReceived,
            Qt::DirectConnection);
    connect(relay, &ReceiverDataTransportManager::transport_status_change, cnr, &ReceiverCNR::StatusChange);
    // Direct, as the bytes are: the rows of a receiver that went are dropped before the next
    // receiver's first sentence is parsed.
    connect(relay, &ReceiverDataTransportManager::transport_status_change, this, &SkyvaneManager::relayStatusChanged,
            Qt::DirectConnection);
    cnr->setInfoSource(&m_infoRows, &m_infoLock);
}

SkyvaneManager::~SkyvaneManager()
{
    // The relay outlives this manager; no block may reach the parser while it goes.
    disconnect(ReceiverDataTransportManager::Instance(), nullptr, this, nullptr);
    if (m_parser) {
        m_parser->disconnect(this);
        delete m_parser;
        m_parser = nullptr;
    }
    // The windows outlive this manager as well: they must not read its members after it.
    ReceiverCNR::Instance()->clearInfoSource(&m_infoRows);
    if (!m_tx518)
        ReceiverEphemeris::Instance()->clearEphemerisSource(&m_gpsEph);
    if (qmlManager() == this)
        qmlManager() = nullptr;
}

void SkyvaneManager::initializeQmlData()
{
    const VariantTables t = tablesFor(ConfigSetting::instance()->configMode);
    for (const SystemRow& s : t.systems)
        m_systemTable.insert(s.code, SystemEntry{s.index, QString::fromUtf8(s.name), QString::fromUtf8(s.color)});
    for (const BandRow& b : t.bands)
        m_bandTables[b.system].insert(b.signal, BandEntry{0, QString::fromUtf8(b.name), QString::fromUtf8(b.color)});
    for (int i = 0; i < 4; ++i)
        m_bandTableOfSystem[i] = &m_bandTables[i];

    for (int i = 0; i < m_systemTable.size() && i < 4; ++i) {
        QMap<int, BandEntry>& bands = *m_bandTableOfSystem[i];
        if (bands.isEmpty())
            continue;
        QJsonArray array;
        for (auto it = bands.begin(); it != bands.end(); ++it) {
            it->column = array.size();
            array.append(QJsonObject{{QStringLiteral("name"), it->name},
                                     {QStringLiteral("color"), it->color},
                                     {QStringLiteral("visible"), true},
                                     {QStringLiteral("enable"), true}});
        }
        m_bandData.append(array);
    }

    QMap<int, SystemEntry> byIndex;
    for (const SystemEntry& s : qAsConst(m_systemTable))
        byIndex.insert(s.index, s);
    for (const SystemEntry& s : qAsConst(byIndex))
        m_systemData.append(QJsonObject{{QStringLiteral("name"), s.name},
                                        {QStringLiteral("color"), s.color},
                                        {QStringLiteral("visible"), true},
                                        {QStringLiteral("enable"), true}});

    static const int registered =
        qmlRegisterSingletonType<SkyvaneManager>("Cpp.SkyvaneManager", 1, 0, "GnssManager", provideManager);
    Q_UNUSED(registered)
    qmlManager() = this;
}

QMap<int, QString> SkyvaneManager::infoRows()
{
    QMutexLocker lock(&m_infoLock);
    return m_infoRows;
}

QMap<unsigned char, SkyvaneManager::GPSEPH> SkyvaneManager::gpsEphemerides()
{
    QMutexLocker lock(&m_ephLocks[0]);
    return m_gpsEph;
}

QMap<unsigned char, SkyvaneManager::BD3EPH> SkyvaneManager::bd3Ephemerides()
{
    QMutexLocker lock(&m_ephLocks[1]);
    return m_bd3Eph;
}

// ---- relay and receiver commands ----------------------------------------------------------

void SkyvaneManager::dataReceived(const QByteArray& data)
{
    m_parser->ParseData(data);
}

void SkyvaneManager::dataTransportControl(bool on)
{
    if (on) {
        m_parser->StartParse();
        ReceiverDataTransportManager::Instance()->RestartReceiverDataTrans();
    } else {
        m_parser->StopParse();
        ReceiverDataTransportManager::Instance()->StopReceiverDataTrans();
    }
}

void SkyvaneManager::relayStatusChanged(bool connected)
{
    if (connected)
        return;
    {
        QMutexLocker lock(&m_infoLock);
        if (m_infoRows.isEmpty())
            return;
        m_infoRows.clear();
    }
    emit UpdateInfo();
}

void SkyvaneManager::clearnAndResend(int sysid)
{
    ReceiverDataTransportManager* relay = ReceiverDataTransportManager::Instance();
    if (m_tx518)
        return; // that receiver sends no ephemeris logs
    auto* p = static_cast<UM98X*>(m_parser);
    const QStringList commands = ephemerisRequest(sysid);
    for (const QString& command : commands)
        relay->SendDataToReceiver(command);
    if (sysid == 0)
        p->clearnEphData(UM98X::GPS);
    else if (sysid == 1)
        p->clearnEphData(UM98X::BDS);
}

QStringList SkyvaneManager::ephemerisRequest(int sysid)
{
    if (sysid == 0)
        return {QStringLiteral("GPSEPHA ONCHANGED\r\n")};
    if (sysid == 1)
        return {QStringLiteral("BD3EPHA ONCHANGED\r\n"), QStringLiteral("BDSEPHA ONCHANGED\r\n")};
    return {};
}

// ---- display texts ------------------------------------------------------------------------
// The status texts stay in the receiver's own words in the rows (Chinese, as the tables give
// them) and are marked for the translation file; the window translates them as it shows them.

QString SkyvaneManager::shownText(int row, const QString& text)
{
    if (row != kFixQualityRow && row != kModeRow && row != kNavigationStatusRow)
        return text;
    return tr(text.toUtf8().constData());
}

double SkyvaneManager::nmeaDegrees(double value)
{
    const qint64 d = qint64(value) / 100;
    return double(d) + (value - 100.0 * double(d)) / 60.0;
}

QString SkyvaneManager::um98xFixQualityText(int quality)
{
    static const char* const texts[] = {QT_TR_NOOP("定位无效/不可用"),
                                        QT_TR_NOOP("单点定位"),
                                        QT_TR_NOOP("差分定位"),
                                        QT_TR_NOOP("GPS PPS模式"),
                                        "RTK Int",
                                        "RTK Float",
                                        QT_TR_NOOP("惯导模式"),
                                        QT_TR_NOOP("手动输入模式"),
                                        QT_TR_NOOP("模拟器模式")};
    return quality >= 0 && quality <= 8 ? QString::fromUtf8(texts[quality]) : QString();
}

QString SkyvaneManager::tx518FixQualityText(int quality)
{
    static const char* const texts[] = {
        // Its receiver tracks BeiDou alone: GPS's service names would mislead.
        QT_TR_NOOP("定位无效/不可用"), QT_TR_NOOP("单点定位"),     QT_TR_NOOP("差分定位"),
        QT_TR_NOOP("PPS模式"),         QT_TR_NOOP("固定解"),       QT_TR_NOOP("浮点解"),
        QT_TR_NOOP("估算模式"),        QT_TR_NOOP("手动输入模式"), QT_TR_NOOP("PPP模式")};
    return quality >= 0 && quality <= 8 ? QString::fromUtf8(texts[quality]) : QString();
}

QString SkyvaneManager::um98xModeText(char mode)
{
    switch (mode) {
    case 'A':
        return QString::fromUtf8(QT_TR_NOOP("自主模式"));
    case 'D':
        return QString::fromUtf8(QT_TR_NOOP("差分模式"));
    case 'E':
        return QString::fromUtf8(QT_TR_NOOP("惯导模式"));
    case 'F':
        return QStringLiteral("RTK Float");
    case 'M':
        return QString::fromUtf8(QT_TR_NOOP("手动输入模式"));
    case 'N':
        return QString::fromUtf8(QT_TR_NOOP("无定位"));
    case 'P':
        return QString::fromUtf8(QT_TR_NOOP("高精度模式"));
    case 'R':
        return QStringLiteral("RTK Int");
    case 'S':
        return QString::fromUtf8(QT_TR_NOOP("模拟器模式"));
    case 'V':
        return QString::fromUtf8(QT_TR_NOOP("模式无效"));
    default:
        return QString();
    }
}

QString SkyvaneManager::tx518ModeText(char mode)
{
    switch (mode) {
    case 'A':
        return QString::fromUtf8(QT_TR_NOOP("自主模式"));
    case 'D':
        return QString::fromUtf8(QT_TR_NOOP("差分模式"));
    case 'E':
        return QString::fromUtf8(QT_TR_NOOP("估算模式"));
    case 'M':
        return QString::fromUtf8(QT_TR_NOOP("手动输入模式"));
    case 'N':
        return QString::fromUtf8(QT_TR_NOOP("数据无效"));
    case 'P':
        return QString::fromUtf8(QT_TR_NOOP("PPP模式"));
    case 'S':
        return QString::fromUtf8(QT_TR_NOOP("模拟器模式"));
    default:
        return QString();
    }
}

QString SkyvaneManager::um98xNavigationStatusText(char status)
{
    switch (status) {
    case 'S':
        return QString::fromUtf8(QT_TR_NOOP("安全"));
    case 'C':
        return QString::fromUtf8(QT_TR_NOOP("注意"));
    case 'U':
        return QString::fromUtf8(QT_TR_NOOP("危险"));
    default:
        return QString();
    }
}

QString SkyvaneManager::tx518NavigationStatusText(char status)
{
    switch (status) {
    case 'S':
        return QString::fromUtf8(QT_TR_NOOP("安全"));
    case 'C':
        return QString::fromUtf8(QT_TR_NOOP("警告"));
    case 'U':
        return QString::fromUtf8(QT_TR_NOOP("不安全"));
    case 'V':
        return QString::fromUtf8(QT_TR_NOOP("航行状态无效"));
    default:
        return QString();
    }
}

void SkyvaneManager::applyGga(const Gga& g, const QString& qualityText)
{
    const bool differential = g.quality == 2;
    const QString texts[] = {
        qualityText,
        degreesText(g.latitude, g.latitudeDirection),
        degreesText(g.longitude, g.longitudeDirection),
        QString::number(g.altitude, 'f', 4),
        QString::number(g.separation, 'f', 4),
        QString::number(g.satellitesUsed),
        QString::number(g.hdop, 'f', 1),
        differential ? QString::number(g.differentialAge, 'f', 1) : QString(),
        differential ? QStringLiteral("%1").arg(g.differentialStation, 4, 10, QLatin1Char('0')) : QString(),
    };
    {
        QMutexLocker lock(&m_infoLock);
        for (int row = 2; row <= 10; ++row)
            m_infoRows.insert(row, texts[row - 2]);
    }
    emit UpdateInfo();
}

QStringList SkyvaneManager::utcDateTimeTexts(double utcTime, int date)
{
    int day = date / 10000;
    int month = (date / 100) % 100;
    int year = 2000 + date % 100;
    const qint64 t = qint64(utcTime);
    qint64 hours = t / 10000;
    qint64 minutes = (t / 100) % 100;
    const double seconds = utcTime - double(hours * 10000 + minutes * 100);

    // The receiver's time is kept as a float, which rounds 23:59:59.995 up to "235960"; shown
    // to hundredths, 59.996 s would read 60.00 too. A whole minute of seconds goes on into the
    // minute, the hour and the day.
    qint64 centis = qRound64(seconds * 100);
    minutes += centis / 6000;
    centis %= 6000;
    hours += minutes / 60;
    minutes %= 60;
    const qint64 days = hours / 24;
    hours %= 24;
    if (days > 0) {
        const QDate next = QDate(year, month, day).addDays(days);
        if (next.isValid()) {
            year = next.year();
            month = next.month();
            day = next.day();
        }
    }

    const QLatin1Char zero('0');
    return {
        QStringLiteral("%1/%2/%3").arg(year, 4, 10, zero).arg(month, 2, 10, zero).arg(day, 2, 10, zero),
        QStringLiteral("%1:%2:%3.%4")
            .arg(hours, 2, 10, zero)
            .arg(minutes, 2, 10, zero)
            .arg(centis / 100, 2, 10, zero)
            .arg(centis % 100, 2, 10, zero),
    };
}

void SkyvaneManager::applyRmc(const Rmc& r, int speedDecimals, const QString& modeText, const QString& statusText)
{
    const QStringList when = utcDateTimeTexts(r.utcTime, r.date);
    const int rows[] = {0, 1, 3, 4, 11, 12, 13, 14, 15};
    const QString texts[] = {
        when.at(0),
        when.at(1),
        degreesText(r.latitude, r.latitudeDirection),
        degreesText(r.longitude, r.longitudeDirection),
        QString::number(r.speed * 0.5144, 'f', speedDecimals),
        QString::number(r.course, 'f', 1),
        QStringLiteral("%1, %2").arg(r.variation, 0, 'f', 1).arg(letter(r.variationDirection)),
        modeText,
        statusText,
    };
    {
        QMutexLocker lock(&m_infoLock);
        for (int i = 0; i < 9; ++i)
            m_infoRows.insert(rows[i], texts[i]);
    }
    emit UpdateInfo();
}

template<class In, class Out> static void fillGga(const In& in, Out& g)
{
    g.quality = in.fixQuality;
    g.latitude = in.latitude;
    g.latitudeDirection = in.latitudeDirection;
    g.longitude = in.longitude;
    g.longitudeDirection = in.longitudeDirection;
    g.altitude = in.altitude;
    g.separation = in.geoidSeparation;
    g.satellitesUsed = in.satellitesUsed;
    g.hdop = in.hdop;
    g.differentialAge = in.differentialAge;
    g.differentialStation = in.differentialStation;
}

template<class R, class Out> static void fillRmc(const R& in, Out& r)
{
    r.utcTime = in.utcTime;
    r.date = in.date;
    r.latitude = in.latitude;
    r.latitudeDirection = in.latitudeDirection;
    r.longitude = in.longitude;
    r.longitudeDirection = in.longitudeDirection;
    r.speed = in.speed;
    r.course = in.course;
    r.variation = in.magneticVariation;
    r.variationDirection = in.variationDirection;
    r.mode = in.mode;
    r.navigationStatus = in.navigationStatus;
}

void SkyvaneManager::um98x_ggaDataChanged(UM98X::SatelliteSystemSymbol, const UM98X::GGA& info)
{
    Gga g;
    fillGga(info, g);
    applyGga(g, um98xFixQualityText(g.quality));
}

void SkyvaneManager::tx518_ggaDataChanged(TX518::SatelliteSystemID, const TX518::GGA& info)
{
    Gga g;
    fillGga(info, g);
    applyGga(g, tx518FixQualityText(g.quality));
}

void SkyvaneManager::um98x_rmcDataChanged(UM98X::SatelliteSystemSymbol, const UM98X::RMC& info)
{
    Rmc r;
    fillRmc(info, r);
    applyRmc(r, 1, um98xModeText(r.mode), um98xNavigationStatusText(r.navigationStatus));
}

void SkyvaneManager::tx518_rmcDataChanged(TX518::SatelliteSystemID, const TX518::RMC& info)
{
    Rmc r;
    fillRmc(info, r);
    applyRmc(r, 3, tx518ModeText(r.mode), tx518NavigationStatusText(r.navigationStatus));
}

// ---- satellite lists ----------------------------------------------------------------------

void SkyvaneManager::publishSystem(int code, const QMap<unsigned char, QList<Satellite>>& bySignal)
{
    const auto sys = m_systemTable.constFind(code);
    if (sys == m_systemTable.constEnd())
        return;
    const int s = sys->index;
    const QMap<int, BandEntry>& bands = *m_bandTableOfSystem[s];
    const int n = bands.size();

    QMap<int, QJsonObject> satellites;
    for (auto it = bySignal.constBegin(); it != bySignal.constEnd(); ++it) {
        const auto band = bands.constFind(int(it.key()));
        if (band == bands.constEnd())
            continue;
        const int k = band->column;
        for (const Satellite& sat : it.value()) {
            auto entry = satellites.find(sat.prn);
            if (entry == satellites.end()) {
                QJsonArray zeros;
                for (int i = 0; i < n; ++i)
                    zeros.append(0);
                entry = satellites.insert(sat.prn, QJsonObject{{QStringLiteral("prn"), sat.prn},
                                                               {QStringLiteral("cnr"), zeros},
                                                               {QStringLiteral("elv"), sat.elevation},
                                                               {QStringLiteral("azi"), sat.azimuth}});
            }
            QJsonArray cnr = entry->value(QStringLiteral("cnr")).toArray();
            cnr[k] = sat.cnr;
            entry->insert(QStringLiteral("cnr"), cnr);
        }
    }
    QJsonArray list;
    for (const QJsonObject& o : qAsConst(satellites))
        list.append(o);
    emit UpdateStarInfo(s, list);
}

void SkyvaneManager::um98x_gsvDataChanged(UM98X::SatelliteSystemSymbol gnssType, const UM98X::GsvSet* info)
{
    static const char* const names[] = {"GPS", "BDS", "GLONASS", "Galileo", "QZSS", "GNSS"};
    const int type = int(gnssType);
    qDebug() << "GSV数据" << (type >= 0 && type <= 5 ? names[type] : "?");
    if (!info)
        return;
    int first = type;
    int last = type;
    if (type == UM98X::GNSS) {
        first = 0;
        last = 3;
    }
    if (first < 0 || last > 3)
        return;
    for (int c = first; c <= last; ++c) {
        if (!m_systemTable.contains(c))
            continue;
        QMap<unsigned char, QList<Satellite>> bySignal;
        for (auto it = info[c].constBegin(); it != info[c].constEnd(); ++it) {
            QList<Satellite>& out = bySignal[it.key()];
            for (const UM98X::GSV& g : it.value()) {
                const int count = qMin(4, int(g.inView) - 4 * (int(g.number) - 1));
                for (int i = 0; i < count; ++i) {
                    const UM98X::SatelliteData& d = g.satellites[i];
                    out.append(Satellite{int(d.prn), int(d.elevation), int(d.azimuth), int(d.cn0)});
                }
            }
        }
        publishSystem(c, bySignal);
    }
}

void SkyvaneManager::tx518_egsvDataChanged(TX518::SatelliteSystemID gnssType, const TX518::SatelliteMap* info)
{
    const int c = int(gnssType);
    if (!info || c < 0 || c > 3 || !m_systemTable.contains(c))
        return;
    QMap<unsigned char, QList<Satellite>> bySignal;
    for (auto it = info[c].constBegin(); it != info[c].constEnd(); ++it) {
        QList<Satellite>& out = bySignal[it.key()];
        for (const TX518::SatelliteData& d : it.value())
            out.append(Satellite{int(d.prn), int(d.elevation), int(d.azimuth), int(d.cn0) / 10});
    }
    publishSystem(c, bySignal);
}

// ---- ephemerides --------------------------------------------------------------------------

void SkyvaneManager::um98x_ephDataGPSChanged(const QMap<unsigned char, GPSEPH>& eph)
{
    {
        QMutexLocker lock(&m_ephLocks[0]);
        if (!m_gpsEph.isSharedWith(eph))
            m_gpsEph = eph;
    }
    emit UpdateEphMap(0);
}

void SkyvaneManager::um98x_ephDataBD3Changed(const QMap<unsigned char, BD3EPH>& eph)
{
    {
        QMutexLocker lock(&m_ephLocks[1]);
        if (!m_bd3Eph.isSharedWith(eph))
            m_bd3Eph = eph;
    }
    emit UpdateEphMap(1);
}

void SkyvaneManager::um98x_ephDataBDSChanged(const QMap<unsigned char, UM98X::BDSEPH>&) {}
void SkyvaneManager::um98x_ephDataGLOChanged(const QMap<unsigned char, UM98X::GLOEPH>&) {}
void SkyvaneManager::um98x_ephDataGALChanged(const QMap<unsigned char, UM98X::GALEPH>&) {}
