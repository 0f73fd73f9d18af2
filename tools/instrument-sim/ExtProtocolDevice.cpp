#include "ExtProtocolDevice.h"

#include <QUdpSocket>

namespace {
void putBE(QByteArray& out, quint64 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

quint64 getBE(const QByteArray& in, int at, int bytes)
{
    if (at < 0 || in.size() < at + bytes)
        return 0;
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(in.at(at + i));
    return v;
}

bool isLoopback(const QHostAddress& a)
{
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? (v4 >> 24) == 127 : a.isLoopback();
}
} // namespace

ExtProtocolDevice::ExtProtocolDevice(QObject* parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
{
    qRegisterMetaType<ExtProtocolDevice::Request>();
    timing = QByteArray(27, '\0');
    leap = QByteArray(11, '\0');
    composite = QByteArray(117, '\0');
    composite[0] = char(0xCC);
    connect(m_socket, &QUdpSocket::readyRead, this, &ExtProtocolDevice::onReadyRead);

    m_handlers[0] = [this](const Request&) { reply(0, QByteArray(1, char(mode))); };
    m_handlers[17] = [this](const Request& r) {
        const quint8 kind = quint8(getBE(r.payload, 0, 1));
        const quint8 action = quint8(getBE(r.payload, 1, 1));
        const quint32 name = quint32(getBE(r.payload, 2, 4));
        if (action == 0xFF)
            mode = kind == 0xAA ? 3 : 4;
        else
            mode = 1;
        QByteArray p;
        p.append(char(kind));
        p.append(char(action));
        putBE(p, name, 4);
        reply(17, p);
    };
    m_handlers[18] = [this](const Request& r) {
        const quint8 action = quint8(getBE(r.payload, 0, 1));
        const quint32 name = quint32(getBE(r.payload, 1, 4));
        if (action == 0xFF) {
            mode = 2;
            records.append(name);
        } else {
            mode = 1;
        }
        QByteArray p;
        p.append(char(action));
        putBE(p, name, 4);
        reply(18, p);
    };
    m_handlers[19] = [this](const Request&) {
        QByteArray p;
        putBE(p, freeMB, 4);
        putBE(p, totalMB, 4);
        reply(19, p);
    };
    m_handlers[20] = [this](const Request&) {
        QByteArray p;
        putBE(p, quint32(records.size()), 4);
        for (quint32 n : records)
            putBE(p, n, 4);
        reply(20, p);
    };
    m_handlers[21] = [this](const Request& r) {
        const quint32 name = quint32(getBE(r.payload, 0, 4));
        // An unknown record is answered with the name 0, which the PC takes as a failure.
        QByteArray p;
        putBE(p, records.removeAll(name) > 0 ? name : 0, 4);
        reply(21, p);
    };
    m_handlers[22] = [this](const Request&) {
        QByteArray p;
        putBE(p, faultWord, 4);
        reply(22, p);
    };
    // Attenuation is taken without an answer, as the instrument does.
    m_handlers[23] = [this](const Request& r) { power = quint8(getBE(r.payload, 0, 1)); };
    m_handlers[24] = [this](const Request& r) {
        ip = quint32(getBE(r.payload, 0, 4));
        mask = quint32(getBE(r.payload, 4, 4));
        gateway = quint32(getBE(r.payload, 8, 4));
        reply(24, r.payload.left(12).leftJustified(12, '\0'));
    };
    m_handlers[25] = [this](const Request&) {
        records.clear();
        reply(25, QByteArray());
    };
    m_handlers[33] = [this](const Request&) { reply(33, timing.leftJustified(27, '\0', true)); };
    m_handlers[34] = [this](const Request&) { reply(34, leap.leftJustified(11, '\0', true)); };
    m_handlers[35] = [this](const Request& r) {
        pulseWidth = getBE(r.payload, 0, 8);
        pulseCount = quint16(getBE(r.payload, 8, 2));
        QByteArray p;
        putBE(p, pulseWidth, 8);
        putBE(p, pulseCount, 2);
        reply(35, p);
    };
    m_handlers[49] = [this](const Request&) { reply(49, composite.leftJustified(117, '\0', true)); };
    m_handlers[65] = [this](const Request&) { sendEphemeris(65, b3i); };
    m_handlers[66] = [this](const Request&) { sendEphemeris(66, b3a); };
}

ExtProtocolDevice::~ExtProtocolDevice() = default;

bool ExtProtocolDevice::listen(const QHostAddress& address, quint16 port)
{
    if (!isLoopback(address))
        return false;
    return m_socket->bind(address, port);
}

quint16 ExtProtocolDevice::port() const
{
    return m_socket->localPort();
}

quint16 ExtProtocolDevice::checksum(const QByteArray& bytes)
{
    quint32 sum = 0;
    int i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        sum += quint8(bytes[i]) | (quint32(quint8(bytes[i + 1])) << 8);
    if (i < bytes.size())
        sum += quint8(bytes[i]);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(sum);
}

QByteArray ExtProtocolDevice::frame(quint8 code, const QByteArray& payload)
{
    QByteArray f;
    f.append(char(0x10));
    f.append(char(0x02));
    f.append(char(code));
    f.append(payload);
    const quint16 sum = checksum(f);
    f.append(char(sum & 0xFF));
    f.append(char(sum >> 8));
    return f;
}

void ExtProtocolDevice::onReadyRead()
{
    while (m_socket->hasPendingDatagrams()) {
        QByteArray d(int(qMax<qint64>(0, m_socket->pendingDatagramSize())), '\0');
        QHostAddress from;
        quint16 fromPort = 0;
        const qint64 got = m_socket->readDatagram(d.data(), d.size(), &from, &fromPort);
        if (got < 0)
            break;
        d.resize(int(got));
        if (!isLoopback(from))
            continue;
        m_peer = from;
        m_peerPort = fromPort;
        // The PC sends one whole frame per datagram.
        if (d.size() < 5 || quint8(d[0]) != 0x10 || quint8(d[1]) != 0x02)
            continue;
        Request r;
        r.code = quint8(d[2]);
        r.payload = d.mid(3, d.size() - 5);
        r.raw = d;
        const quint16 sum = checksum(d.left(d.size() - 2));
        r.checksumGood = quint8(d[d.size() - 2]) == (sum & 0xFF) && quint8(d[d.size() - 1]) == (sum >> 8);
        m_requests.append(r);
        handle(r);
        emit requestReceived(r);
    }
}

void ExtProtocolDevice::handle(const Request& r)
{
    if (!r.checksumGood)
        return;
    auto it = m_handlers.find(r.code);
    if (it == m_handlers.end())
        return;
    if (m_faults.errorCodes.contains(r.code))
        reply(193, QByteArray(1, char(r.code)));
    else
        it->second(r);
    if (!m_out.isEmpty() && m_faults.coalesce) {
        // A state report rides along with the answer in the same datagram.
        m_out.append(frame(0, QByteArray(1, char(mode))));
    }
    if (!m_out.isEmpty()) {
        write(m_out);
        m_out.clear();
    }
}

void ExtProtocolDevice::reply(quint8 code, const QByteArray& payload)
{
    if (m_faults.silent || m_faults.silentCodes.contains(code))
        return;
    QByteArray f = frame(code, payload);
    if (m_faults.badChecksum)
        f[f.size() - 1] = char(f[f.size() - 1] ^ 0x5A);
    f.prepend(m_faults.garbage);
    int& hold = m_faults.holdUntilNext[code];
    if (hold > 0) {
        --hold;
        m_held[code] << f;
        return;
    }
    for (const QByteArray& late : m_held.take(code))
        m_out.append(late);
    m_out.append(f);
}

void ExtProtocolDevice::write(const QByteArray& bytes)
{
    if (m_peerPort == 0)
        return;
    if (m_faults.split && bytes.size() > 1) {
        const int half = bytes.size() / 2;
        m_socket->writeDatagram(bytes.left(half), m_peer, m_peerPort);
        m_socket->writeDatagram(bytes.mid(half), m_peer, m_peerPort);
        return;
    }
    m_socket->writeDatagram(bytes, m_peer, m_peerPort);
}

void ExtProtocolDevice::sendRaw(const QByteArray& datagram)
{
    if (m_peerPort != 0)
        m_socket->writeDatagram(datagram, m_peer, m_peerPort);
}

void ExtProtocolDevice::sendEphemeris(quint8 code, const QList<QByteArray>& set)
{
    const int recordSize = code == 65 ? 210 : 233;
    const quint8 count = quint8(qMin(set.size(), 63));
    // Up to six records fit one reply; a larger set goes out six records a datagram, each
    // carrying the count of the whole set.
    int at = 0;
    do {
        QByteArray p(1, char(count));
        for (int k = 0; k < 6 && at < count; ++k, ++at)
            p.append(set.at(at).leftJustified(recordSize, '\0', true));
        reply(code, p);
        if (!m_out.isEmpty()) {
            write(m_out);
            m_out.clear();
        }
    } while (at < count);
}
