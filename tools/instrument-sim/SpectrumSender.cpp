#include "SpectrumSender.h"

#include <QTimer>
#include <QUdpSocket>

#include <cmath>

SpectrumSender::SpectrumSender(QObject* parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
    , m_timer(new QTimer(this))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(1);
    connect(m_timer, &QTimer::timeout, this, &SpectrumSender::tick);
    QByteArray d(kDatagramSize, '\0');
    for (int i = 0; i < kBins; ++i)
        d[4 + 4 * i] = '\x01';
    m_datagram = d;
}

SpectrumSender::~SpectrumSender() = default;

void SpectrumSender::setDatagram(const QByteArray& bytes)
{
    m_datagram = bytes;
    m_counting = false;
    m_shaped = false;
}

QByteArray SpectrumSender::countingDatagram(quint32 sequence)
{
    QByteArray d(kDatagramSize, '\0');
    const quint32 value = sequence + 1;
    for (int i = 0; i < kBins; ++i)
        for (int b = 0; b < 4; ++b)
            d[4 + 4 * i + b] = char((value >> (8 * b)) & 0xFF);
    return d;
}

QByteArray SpectrumSender::shapedDatagram(quint32 sequence)
{
    QByteArray d(kDatagramSize, '\0');
    const double binMHz = 60.0 / kBins;
    quint32 noise = sequence * 2654435761u + 1u;
    for (int i = 0; i < kBins; ++i) {
        // Upper half first: bin i is i bins above the centre; then the lower half from -30 MHz.
        const double offset = i < kBins / 2 ? i * binMHz : (i - kBins) * binMHz;
        const double edge = qAbs(offset) - 20.0;
        const double gainDb = edge <= 0 ? 15.0 + 0.5 * std::sin(offset) : qMax(0.0, 15.0 - 6.0 * edge);
        noise = noise * 1664525u + 1013904223u;
        const double jitter = 0.7 + 0.6 * double(noise >> 8) / double(1u << 24);
        const quint32 value = quint32(100.0 * std::pow(10.0, gainDb / 10.0) * jitter);
        for (int b = 0; b < 4; ++b)
            d[4 + 4 * i + b] = char((value >> (8 * b)) & 0xFF);
    }
    return d;
}

void SpectrumSender::start(const QHostAddress& pc, quint16 port)
{
    m_port = port;
    m_target = (pc.toIPv4Address() >> 24) == 127 ? pc : QHostAddress(QHostAddress::LocalHost);
    m_sent = 0;
    m_clock.start();
    m_timer->start();
}

void SpectrumSender::stop()
{
    m_timer->stop();
}

bool SpectrumSender::isRunning() const
{
    return m_timer->isActive();
}

void SpectrumSender::tick()
{
    // Paced by the clock, not by the tick count: ticks come late under load and the rate holds.
    qint64 due = m_clock.nsecsElapsed() * m_rate / 1000000000;
    if (m_limit > 0)
        due = qMin(due, m_limit);
    while (m_sent < due) {
        const QByteArray d = m_counting ? countingDatagram(quint32(m_sent))
                           : m_shaped   ? shapedDatagram(quint32(m_sent))
                                        : m_datagram;
        m_socket->writeDatagram(d, m_target, m_port);
        ++m_sent;
    }
    if (m_limit > 0 && m_sent >= m_limit) {
        m_timer->stop();
        emit finished();
    }
}
