#pragma once

#include "core_global.h"

#include "LogText.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The payloads of System command 12, the instrument's device-configuration store, and the way
// its text values are read. Payloads are little-endian Qt streams: a QString is a u32 byte
// count and UTF-16LE code units (0xFFFFFFFF for a null text), a QStringList a u32 count and
// that many QStrings.
//
// Get request: i8 op 0, QString group, QStringList keys. "devConfig" and ("Config/FreqNum"):
//   00 | 12000000 6400 6500 7600 4300 6F00 6E00 6600 6900 6700 |
//   01000000 1C000000 4300 6F00 6E00 6600 6900 6700 2F00 4600 7200 6500 7100 4E00 7500 6D00
// Set request: i8 op 1, QString group, QStringList keys, QStringList values (one per key).
// Get reply: i8 op 0, then, only when the payload is longer than 5 bytes, QStringList values:
//   00 | 01000000 02000000 3300  -> ("3")
// Set reply: i8 op (not 0), i32 result (non-zero: stored).
//   01 | 01000000  -> stored
//
// The values the PC uses all lie in the group "devConfig". Tables are read as runs of keys in
// this order, a band n from 1 to FreqNum and a bit width n from 0 to BitNum - 1:
//   Config/FreqNum Config/BitNum                                 table sizes
//   Freq<n>/FreqName Freq<n>/Freq Freq<n>/Channel Freq<n>/Bit    a band; Freq<n>/Custom follows
//                                                                when custom bands are on
//   Bit<n>/Bit Bit<n>/BitName Bit<n>/Single                      a bit width
//   Freq<n>/GainOffset Freq<n>/PlaybackOffset                    a band's spectrum offsets
// A custom band is written as Freq<n>/FreqName Freq<n>/Freq Freq<n>/Custom = name, Hz, "true".
class CORE_EXPORT DevConfigCodec
{
public:
    struct Reply
    {
        qint8 op = 0;
        QStringList values; // get reply
        qint32 result = 0;  // set reply
        bool isGet() const { return op == 0; }
    };

    static QString group();
    static QString freqNumKey();
    static QString bitNumKey();
    static QStringList bandKeys(int n, bool custom);
    static QStringList bitKeys(int n);
    static QStringList offsetKeys(int n);
    static QStringList customBandKeys(int n);
    static QStringList customBandValues(const QString& name, uint hertz);

    static QByteArray getRequest(const QString& group, const QStringList& keys);
    static QByteArray setRequest(const QString& group, const QStringList& keys, const QStringList& values);
    // False, with the reason in *error, for an empty payload, a set reply without its result or
    // a value list whose counts do not fit the payload; *reply is then left alone except op.
    static bool decodeReply(const uchar* data, uint length, Reply* reply, LogText* error = nullptr);
    // The number of keys a get request of ours asks for; -1 for bytes that are not one.
    static int keyCount(const QByteArray& getRequest);
    // What an answer says: the values of a get reply (empty when it is none), whether a set
    // reply says stored.
    static QStringList valuesIn(const QByteArray& reply);
    static bool storedIn(const QByteArray& reply);

    // "true" after lower-casing and trimming.
    static bool readBool(const QString& text);
    // Decimal; 0 when the text does not parse.
    static int readInt(const QString& text);
    static uint readUInt(const QString& text);
    // Split at ',' with empty parts dropped.
    static QStringList readList(const QString& text);
    // The band mask from the channel list and the bit-width list of a band.
    static quint8 bandMask(const QString& channels, const QString& widths);
};
