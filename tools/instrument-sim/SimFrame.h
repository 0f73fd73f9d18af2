#pragma once

#include <QByteArray>
#include <QtGlobal>

// The instrument's side of the control-link framing, written apart from the PC's so that a
// misreading on one side is not mirrored on the other.
//
//   CC AA BB FF | ver 01 | source | target | card | seq lo hi | type | cmd | len (u32 LE) |
//   payload | CRC-32/MPEG-2 of all before it (u32 LE)
//
// e.g. the heartbeat reply "accepted, source 5": CC AA BB FF 01 00 02 00 00 00 01 01 04 00 00 00
// 01 05 00 00, then the four CRC bytes.
struct SimFrame
{
    quint8 version = 1;
    quint8 source = 0;
    quint8 target = 2;
    quint8 card = 0;
    quint16 sequence = 0;
    quint8 type = 0;
    quint8 cmd = 0;
    QByteArray payload;
    bool crcGood = true;

    QByteArray encode() const;

    // Bitwise CRC-32/MPEG-2 (poly 0x04C11DB7, init 0xFFFFFFFF, no reflection, no final XOR).
    static quint32 crc(const QByteArray& bytes);
};

// Cuts request frames from the bytes the PC sends. A front that is not the magic is skipped
// byte by byte, so the simulator notices (and logs) rather than stalls.
class SimFrameReader
{
public:
    static constexpr quint32 kMaxPayload = 1u << 24;

    void append(const QByteArray& bytes) { m_data.append(bytes); }
    // True when a whole frame was taken into `frame`.
    bool next(SimFrame& frame);
    int skippedBytes() const { return m_skipped; }

private:
    QByteArray m_data;
    int m_skipped = 0;
};
