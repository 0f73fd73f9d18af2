#pragma once

#include <MsgHeader.h>
#include <TestTime.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

// The instrument end of a control link for builder tests: it accepts one connection on
// 127.0.0.1 and cuts what arrives into frames by the u32 length at offset 12. Its CRC is a
// bitwise one of its own, so a fault in the Core's table-driven CRC is not mirrored here.
class FramePeer
{
public:
    struct Frame
    {
        quint8 target = 0;
        quint8 card = 0;
        quint16 sequence = 0;
        quint8 type = 0;
        quint8 cmd = 0;
        QByteArray payload;
        QByteArray bytes;
        bool crcGood = false;
    };

    static quint32 crc(const QByteArray& bytes)
    {
        quint32 c = 0xFFFFFFFFu;
        for (char ch : bytes) {
            c ^= quint32(quint8(ch)) << 24;
            for (int i = 0; i < 8; ++i)
                c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        }
        return c;
    }

    // A whole frame composed from the header table: magic, version 1, source, target, card,
    // sequence, type, command, payload length, payload, CRC.
    static QByteArray compose(Msg_Type type, Msg_Cmd cmd, const QByteArray& payload, quint16 sequence, quint8 card = 0,
                              quint8 target = 2, quint8 source = 0)
    {
        QByteArray f = QByteArray::fromHex("CCAABBFF01");
        f += char(source);
        f += char(target);
        f += char(card);
        f += char(sequence & 0xFF);
        f += char(sequence >> 8);
        f += char(quint8(type));
        f += char(quint8(cmd));
        const quint32 n = quint32(payload.size());
        for (int i = 0; i < 4; ++i)
            f += char((n >> (8 * i)) & 0xFF);
        f += payload;
        const quint32 c = crc(f);
        for (int i = 0; i < 4; ++i)
            f += char((c >> (8 * i)) & 0xFF);
        return f;
    }

    // A reply as the PC receives it; the receive path does not look at the CRC.
    static QByteArray reply(Msg_Type type, Msg_Cmd cmd, const QByteArray& payload)
    {
        return compose(type, cmd, payload, 0);
    }

    bool listen() { return server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return server.serverPort(); }

    bool waitConnected(int timeout = TestTime::ms(10000))
    {
        if (!socket) {
            QSignalSpy spy(&server, &QTcpServer::newConnection);
            if (!server.hasPendingConnections() && !spy.wait(timeout))
                return false;
            socket = server.nextPendingConnection();
        }
        return socket != nullptr;
    }

    // Waits until a frame of the type arrives that was not taken before, and takes it; heartbeats
    // and other types received meanwhile are kept in `frames`.
    bool next(Msg_Type type, Frame& out, int timeout = TestTime::ms(10000))
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            for (int i = 0; i < frames.size(); ++i) {
                if (frames.at(i).type == quint8(type)) {
                    out = frames.at(i);
                    frames.removeAt(i);
                    return true;
                }
            }
            if (!socket || clock.elapsed() >= timeout)
                return false;
            QSignalSpy spy(socket, &QTcpSocket::readyRead);
            if (socket->bytesAvailable() == 0 && !spy.wait(int(timeout - clock.elapsed())))
                return false;
            drain();
        }
    }

    // Everything of a type that arrived until now.
    QList<Frame> takeAll(Msg_Type type)
    {
        if (socket)
            drain();
        QList<Frame> out;
        for (int i = 0; i < frames.size();) {
            if (frames.at(i).type == quint8(type))
                out << frames.takeAt(i);
            else
                ++i;
        }
        return out;
    }

    void send(const QByteArray& bytes)
    {
        socket->write(bytes);
        socket->flush();
    }

    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QList<Frame> frames;

private:
    void drain()
    {
        m_pending += socket->readAll();
        while (m_pending.size() >= 16) {
            const auto* p = reinterpret_cast<const uchar*>(m_pending.constData());
            const quint32 n = quint32(p[12]) | quint32(p[13]) << 8 | quint32(p[14]) << 16 | quint32(p[15]) << 24;
            const int total = int(n) + 20;
            if (m_pending.size() < total)
                break;
            Frame f;
            f.bytes = m_pending.left(total);
            f.target = p[6];
            f.card = p[7];
            f.sequence = quint16(p[8] | p[9] << 8);
            f.type = p[10];
            f.cmd = p[11];
            f.payload = m_pending.mid(16, int(n));
            const QByteArray tail = f.bytes.right(4);
            const quint32 got = quint32(quint8(tail[0])) | quint32(quint8(tail[1])) << 8
                              | quint32(quint8(tail[2])) << 16 | quint32(quint8(tail[3])) << 24;
            f.crcGood = got == crc(f.bytes.left(total - 4));
            frames << f;
            m_pending.remove(0, total);
        }
    }

    QByteArray m_pending;
};
