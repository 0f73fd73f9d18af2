#include "RecordHandler.h"

#include "InstrumentSim.h"
#include "SimBytes.h"

#include <QDateTime>
#include <QTimer>

using SimBytes::get;
using SimBytes::put;

namespace {
enum Cmd : quint8 {
    RecordList = 1,
    DeleteAll = 2,
    Info = 3,
    Delete = 4,
    Note = 5,
    InfoEx = 0x13,
};
} // namespace

void RecordHandler::takeSpace(qint64 mib)
{
    DeviceProfile& p = m_sim.profile();
    auto moved = [](quint32 free, quint32 total, qint64 amount) {
        return quint32(qBound<qint64>(0, qint64(free) - amount, qint64(total)));
    };
    // Each card holds its share of every record.
    const qint64 share = p.boards.isEmpty() ? 0 : mib / p.boards.size();
    for (DeviceProfile::Board& b : p.boards)
        b.diskFreeMb = moved(b.diskFreeMb, b.diskTotalMb, share);
    p.values[1] = moved(p.values[1], p.values[0], mib);
}

void RecordHandler::deleteAll(const SimFrame& request)
{
    qint64 held = 0;
    for (const SimRecord& r : qAsConst(m_records))
        held += r.size;
    m_records.clear();
    takeSpace(-held);
    m_sim.reply(request, DeleteAll, QByteArray(1, '\x01'));
}

void RecordHandler::seed(int n, quint32 firstName)
{
    m_records.clear();
    for (int i = 0; i < n; ++i) {
        SimRecord r;
        r.name = firstName + quint32(60 * i);
        r.startTime = r.name;
        r.duration = 30 + quint32(i);
        r.size = 2 * quint32(i + 1);
        r.bands = {1 + i % 3, 4};
        r.remark = QStringLiteral("record %1").arg(i);
        r.bandwidth = 20 + quint32(i);
        m_records << r;
    }
}

void RecordHandler::add(const SimRecord& r)
{
    if (SimRecord* old = find(r.name)) {
        const quint32 stamp = old->stamp + 1;
        takeSpace(qint64(r.size) - qint64(old->size));
        *old = r;
        old->stamp = stamp;
        return;
    }
    takeSpace(r.size);
    m_records << r;
}

quint32 RecordHandler::sizeMiB(const SimRecord& r, int cards)
{
    const quint64 bytes =
        quint64(r.duration) * quint64(r.bands.size()) * r.sampleRate * quint64(qMax<int>(1, r.bit)) / 8;
    const quint64 unit = 2 * quint64(qMax(1, cards));
    const quint64 mib = (bytes + (1u << 20) - 1) >> 20;
    return quint32(qMin<quint64>((mib + unit - 1) / unit * unit, 0xFFFFFFFFull / unit * unit));
}

void RecordHandler::change(quint32 name)
{
    if (SimRecord* r = find(name)) {
        ++r->stamp;
        r->remark += QStringLiteral(" (edited)");
        r->bandwidth += 1000;
    }
}

RecordHandler::SimRecord* RecordHandler::find(quint32 name)
{
    for (SimRecord& r : m_records)
        if (r.name == name)
            return &r;
    return nullptr;
}

QByteArray RecordHandler::streamForm(const SimRecord& r)
{
    QByteArray out;
    put(out, r.name, 4);
    put(out, r.startTime, 4);
    put(out, r.duration, 4);
    put(out, r.size, 4);
    put(out, r.available ? 1 : 0, 1);
    put(out, quint8(r.type), 1);
    put(out, quint8(r.bit), 1);
    put(out, quint32(r.bands.size()), 4);
    for (int b : r.bands)
        put(out, quint32(b), 4);
    const QByteArray remark = r.remark.toUtf8();
    put(out, quint32(remark.size()), 4);
    out += remark;
    return out;
}

QByteArray RecordHandler::textForm(const SimRecord& r, int cards)
{
    QString text = QStringLiteral("[LocalData]\nSingleTransSize=2\nNumOfBoards=%1\n\n[Record]\n").arg(cards);
    text += QStringLiteral("Name=%1\n").arg(QDateTime::fromSecsSinceEpoch(r.name, Qt::UTC).toString("yyyyMMdd-hhmmss"));
    text += QStringLiteral("StartTime=%1\nDuration=%2\nSize=%3\nAvailable=%4\nType=%5\nBit=%6\nRemark=%7\n")
                .arg(r.startTime)
                .arg(r.duration)
                .arg(r.size)
                .arg(r.available ? 1 : 0)
                .arg(r.type)
                .arg(r.bit)
                .arg(r.remark);
    text += QStringLiteral("Bandwidth=%1\n").arg(r.bandwidth);
    if (r.sampleRate != 0)
        text += QStringLiteral("SampleRate=%1\n").arg(r.sampleRate);
    text += QStringLiteral("FreqNum=%1\n\n").arg(r.bands.size());
    for (int i = 0; i < r.bands.size(); ++i)
        text += QStringLiteral("[Freq%1]\nNum=%2\n\n").arg(i + 1).arg(r.bands.at(i));
    return text.toUtf8();
}

void RecordHandler::handle(const SimFrame& request)
{
    const quint32 name = get(request.payload, 0, 4);
    switch (request.cmd) {
    case RecordList: {
        if (m_faults.silentList)
            return;
        QByteArray out;
        put(out, quint32(m_records.size()), 4);
        for (const SimRecord& r : qAsConst(m_records)) {
            put(out, r.name, 4);
            put(out, r.stamp, 4);
        }
        m_sim.reply(request, RecordList, out);
        break;
    }
    case DeleteAll:
        if (m_faults.deleteAllMs > 0)
            QTimer::singleShot(m_faults.deleteAllMs, &m_sim, [this, request] { deleteAll(request); });
        else
            deleteAll(request);
        break;
    case Info:
    case InfoEx: {
        if (m_faults.silentQueries != 0) {
            if (m_faults.silentQueries > 0)
                --m_faults.silentQueries;
            return;
        }
        const SimRecord* r = find(name);
        QByteArray out;
        if (!r || m_faults.failQueries)
            out = QByteArray(1, '\x02');
        else
            out = QByteArray(1, '\0')
                + (request.cmd == Info ? streamForm(*r) : textForm(*r, m_sim.profile().boards.size()));
        if (m_faults.otherRecordFirst) {
            for (const SimRecord& other : qAsConst(m_records))
                if (other.name != name) {
                    m_sim.reply(request, request.cmd,
                                QByteArray(1, '\0') + (request.cmd == Info ? streamForm(other) : textForm(other)));
                    break;
                }
        }
        m_sim.reply(request, request.cmd, out);
        if (m_faults.duplicateQueries)
            m_sim.reply(request, request.cmd, out);
        if (m_faults.bandwidthAgain && r) {
            QByteArray bandwidth;
            put(bandwidth, r->bandwidth, 4);
            m_sim.sendReport(6, 2, bandwidth);
        }
        break;
    }
    case Delete: {
        const int before = m_records.size();
        for (int i = 0; i < m_records.size(); ++i)
            if (m_records.at(i).name == name) {
                takeSpace(-qint64(m_records.at(i).size));
                m_records.removeAt(i--);
            }
        if (m_faults.silentDeletes != 0) {
            if (m_faults.silentDeletes > 0)
                --m_faults.silentDeletes;
            return;
        }
        m_sim.reply(request, Delete, QByteArray(1, m_records.size() < before ? '\0' : '\x02'));
        break;
    }
    case Note: {
        SimRecord* r = find(name);
        if (r) {
            r->remark = QString::fromUtf8(request.payload.mid(4));
            ++r->stamp;
        }
        if (m_faults.silentNotes != 0) {
            if (m_faults.silentNotes > 0)
                --m_faults.silentNotes;
            return;
        }
        m_sim.reply(request, Note, QByteArray(1, r ? '\0' : '\x02'));
        break;
    }
    default:
        break;
    }
}
