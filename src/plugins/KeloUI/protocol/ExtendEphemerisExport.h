#pragma once

#include "keloui_global.h"

#include "ExtendProtocol.h"

#include <QByteArray>
#include <QString>

// The annotated text exports of the extension panel's raw ephemeris files.
//   eph_composite.dat  the 117-byte composite block as received (first byte 0xCC)
//   eph_b3i.dat        blocks of one count byte c and up to six 210-byte records, c repeated at
//                      the start of every block: record i at 1 + 1261 x (i / 6) + 210 x (i % 6)
//   eph_b3a.dat        the same with 233-byte records and blocks of 1399 bytes
// Each exported line is "value<TAB>$name\r\n"; a record set starts with a line of 32 "=".
// Records the file does not hold whole are left out, never read past the end.
class KELOUI_EXPORT ExtendEphemerisExport
{
public:
    static constexpr int kCompositeSize = ExtendProtocol::kCompositeSize;

    // Empty when the file is shorter than the composite block.
    static QString compositeText(const QByteArray& file);
    static QString b3iText(const QByteArray& file);
    static QString b3aText(const QByteArray& file);
    // Whole records of a set file (count byte first) that an export would list.
    static int recordsIn(const QByteArray& file, int recordSize);
};
