#pragma once

#include "skyvane_global.h"

#include <QByteArray>
#include <QVarLengthArray>

namespace Ns {
namespace Skyvane {

// Cuts one sentence or log at the head of a receive buffer into its fields and checks it.
//
// Framing: start character, header, separator, fields, '*', checksum, CR LF.
//   NMEA:  $GPGGA,...,M,,*76\r\n   checksum = XOR of the bytes between '$' and '*', in hex.
//   Logs:  #GPSEPHA,h1,...,h9;d0,...,dn*crc32hex\r\n   checksum = CRC-32 (reflected,
//          polynomial 0xEDB88320, initial value 0, no final inversion) of the bytes between
//          '#' and '*', in hex. The ';' ends the header fields.
// ',' and ';' separate fields, '*' starts the checksum.
//
// A sentence is only ever reported complete at CR LF with every checksum digit in hand; a
// buffer that ends inside the fields, the checksum or between CR and LF is "wait".
class SKYVANE_EXPORT SentenceScanner
{
public:
    enum class Check { Xor, Crc32 };

    struct Field
    {
        int begin = 0;
        int length = 0;
    };

    struct Result
    {
        // The consumed-length answer for the loop (see SentenceLoop).
        int consumed = 0;
        // CR LF reached: the fields below are the whole sentence.
        bool complete = false;
        // A header byte differed from the pattern (consumed is then -1).
        bool headerMismatch = false;
        // The header had the pattern's bytes but another length.
        bool badHeaderLength = false;
        int headerLength = 0;
        bool hasChecksum = false;
        bool checksumOk = false;
        // A field longer than kMaxField: the sentence is not trusted.
        bool overlong = false;
        quint32 computed = 0;
        quint32 received = 0;
        int checksumBegin = 0;
        int checksumLength = 0;
        // Index into fields of the first field after the first ';', or -1.
        int firstAfterSemicolon = -1;
        // fields[k] is field k + 1 of the sentence (field 0 is the header).
        QVarLengthArray<Field, 64> fields;
    };

    // Longer than any sentence a receiver sends; a head sentence that grows past it without a
    // line end is dropped rather than waited on.
    static constexpr int kMaxSentence = 8192;
    static constexpr int kMaxField = 40;

    // `pattern` is the expected header ('*' matches any byte). With `strictHeader` a header
    // longer than the pattern is a mismatch; otherwise only its length is reported.
    static Result scan(const QByteArray& buffer, const char* pattern, Check check, bool strictHeader = false);

    // The value of a numeric field: optional '-', digits, optional '.' and fraction digits,
    // optional decimal exponent. Other characters count as digits worth their code minus 48,
    // as the receiver's own readers take them. Empty is 0.
    static double number(const char* text, int length);
    // The integer part of a value, saturated to 64 bits (0 for not-a-number).
    static qint64 integerPart(double value);
    static char character(const char* text, int length) { return length > 0 ? text[0] : '\0'; }

    static quint32 crc32(const unsigned char* data, int length);
};

} // namespace Skyvane
} // namespace Ns
