#pragma once

#include "core_global.h"

#include <QByteArray>

// Cuts the block requests a card sends during a download out of its channel's byte stream.
// A request is 24 bytes with the block number as u32 LE at byte 16; the header and CRC are not
// checked. Requests split over reads, or several in one read, are cut alike. Block 7:
//   CC AA BB FF 01 00 02 00 00 00 04 02 04 00 00 00 | 07 00 00 00 | crc
class CORE_EXPORT BlockRequestCutter
{
public:
    static constexpr int kRequestSize = 24;

    void append(const QByteArray& bytes);
    // Takes the block number of the next whole request; false when no whole request is left.
    bool next(quint32& block);
    // Bytes of a request not yet whole.
    int pending() const { return m_buffer.size() - m_offset; }

private:
    QByteArray m_buffer;
    int m_offset = 0;
};
