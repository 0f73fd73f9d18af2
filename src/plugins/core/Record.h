#pragma once

#include "core_global.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// The binary description of one record as the instrument exchanges it (record information
// reply, plain download request). Stream form, little-endian, offsets from its start:
//
//   0 name u32 | 4 start time u32 | 8 duration u32 | 12 size u32 | 16 available u8 |
//   17 type i8 | 18 bit i8 | 19 band count n u32 | 23 n x i32 band id |
//   23+4n remark length L i32 | 27+4n L bytes of UTF-8 remark, no terminator
//
// Name 0x11223344, start 1, duration 2, size 3, available, type 1, bit 2, bands {7}, remark "ab":
//   44 33 22 11 01 00 00 00 02 00 00 00 03 00 00 00 01 01 02 01 00 00 00 07 00 00 00
//   02 00 00 00 61 62
class CORE_EXPORT Record
{
public:
    quint32 Name = 0;      // epoch seconds of its start
    quint32 StartTime = 0; // collection start, epoch seconds
    quint32 Duration = 0;
    quint32 Size = 0;
    bool Available = false;
    qint8 Type = 0;
    qint8 Bit = 0;
    QList<int> Bands;        // frequency-band identifiers, one per channel
    qint32 RemarkLength = 0; // UTF-8 byte length of Remark; set by Serialize
    QString Remark;

    // Writes the stream form and stores the remark's byte length in RemarkLength.
    QByteArray Serialize();

    // Reads the stream form over this record. Fields past the end of the bytes read as 0; a band
    // count that the bytes cannot hold gives no bands. A remark is taken only when its length is
    // not 0, is cut at its first zero byte, and never reaches past the bytes given; with length 0
    // the remark is left as it was.
    void Deserialize(const char* data, int size);
    void Deserialize(const QByteArray& bytes) { Deserialize(bytes.constData(), bytes.size()); }
};

Q_DECLARE_METATYPE(Record)
