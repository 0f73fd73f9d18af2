#include "Db9Sender.h"

#include "SimBytes.h"

#include <QDateTime>
#include <QUdpSocket>

using SimBytes::put;

Db9Sender::Db9Sender(QObject* parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &Db9Sender::tick);
}

Db9Sender::~Db9Sender() = default;

void Db9Sender::start(quint16 port, const QHostAddress& to)
{
    if (port == 0) {
        stop();
        return;
    }
    // The simulator runs beside the PC: it never sends off the machine.
    m_to = to.isLoopback() ? to : QHostAddress(QHostAddress::LocalHost);
    m_port = port;
    m_timer.start();
    tick();
}

void Db9Sender::stop()
{
    m_timer.stop();
}

void Db9Sender::tick()
{
    m_socket->writeDatagram(frame(QDateTime::currentMSecsSinceEpoch()), m_to, m_port);
    ++m_sent;
}

QByteArray Db9Sender::frame(qint64 msecs)
{
    QByteArray f;
    f += QByteArray::fromHex("55AA52B2");
    f += QByteArray::fromHex("03000201"); // software version 1.2.3
    f += QByteArray::fromHex("0300");     // timing and satellite numbers valid
    // BeiDou time: 2006-01-01 00:00:00 UTC, 4 leap seconds behind UTC since.
    const qint64 bdt = (msecs / 1000) - 1136073600 + 4;
    put(f, quint32(bdt / 604800), 2);
    const quint64 sow = quint64(bdt % 604800);
    put(f, quint32(sow), 4);
    put(f, quint32(sow >> 32), 4);

    QList<SkyModel::Satellite> b3;
    for (const SkyModel::Satellite& s : SkyModel().visible(msecs)) {
        if (s.system == SkyModel::Bds && s.prn <= 64)
            b3 << s;
    }
    quint16 words[4] = {0, 0, 0, 0};
    for (const SkyModel::Satellite& s : b3)
        words[(s.prn - 1) / 16] |= quint16(0x8000u >> ((s.prn - 1) % 16));
    for (quint16 w : words)
        put(f, w, 2);
    put(f, quint32(b3.size()), 2);
    f += char(1); // position valid
    put(f, quint32(qint32(qRound64(SkyModel::kLongitude * 1e7))), 4);
    put(f, quint32(qint32(qRound64(SkyModel::kLatitude * 1e7))), 4);
    put(f, quint32(qint32(qRound64(SkyModel::kAltitude * 1e4))), 4);
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    f += char(utc.date().year() - 2000);
    f += char(utc.date().month());
    f += char(utc.date().day());
    const quint32 tod = quint32(qint64(utc.time().msecsSinceStartOfDay()) * 25); // 40 us steps
    for (int i = 3; i >= 0; --i)
        f += char((tod >> (8 * i)) & 0xFF);
    f += QByteArray(5, '\0');
    f += char(4); // B3A/B3I
    for (int i = 0; i < 12; ++i) {
        f += char(i < b3.size() ? b3.at(i).prn : 0);
        f += char(i < b3.size() ? b3.at(i).cn0 - 2 : 0);
    }
    f += char(1);
    f += char(1);
    f += char(1); // self-check passed
    put(f, quint32(qBound(100, 2800 / qMax(1, int(b3.size())), 999)), 2);
    quint8 sum = 0;
    for (int i = 2; i < f.size(); ++i)
        sum = quint8(sum + quint8(f.at(i)));
    f += char(sum);
    return f;
}
