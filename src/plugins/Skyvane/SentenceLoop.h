#pragma once

#include "skyvane_global.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <atomic>
#include <functional>

namespace Ns {
namespace Skyvane {

// The receive buffer, command table and cutting loop shared by the receiver parsers.
//
// A receiver stream is a mix of NMEA sentences and ASCII logs:
//   $GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n
//   #GPSEPHA,97,COM1,FINE,2068,346038000,-18,3,250,65535;5,345600.0*43f1b305\r\n (truncated log)
// Each starts with '$' or '#', and its name runs up to the first comma. The name picks a
// command-table entry ('*' in a key stands for any one character); the entry's handler gets
// the buffer from the sentence's first byte on and answers with the consumed-length result:
//   n > 0  the sentence ends at index n (its line feed); n + 1 bytes are consumed;
//   0      the sentence is not complete yet; wait for more bytes;
//   n < 0  the sentence is malformed; it is dropped through its first comma.
// Bytes before a '$' or '#', and sentences no key matches, are dropped through their first
// comma. Consumed bytes are skipped with a read offset and removed once per call.
class SKYVANE_EXPORT SentenceLoop
{
public:
    using Handler = std::function<int(const QByteArray&)>;

    struct Command
    {
        int minLength = 0;
        Handler handler;
        QByteArray pattern; // the key in bytes, for matching
    };

    // Longest stretch the loop keeps without a comma; a sentence name is never this long.
    static constexpr int kMaxNameless = 8192;

    // Adds, replaces or removes a table entry (an empty handler removes).
    void setCommand(const QString& key, int minLength, const Handler& handler);
    const QMap<QString, Command>& commands() const { return m_commands; }

    // Appends the bytes and cuts as many sentences as are complete. The flag is read at each
    // pass: once it is off, the buffer is emptied instead.
    void feed(const QByteArray& data, const std::atomic<bool>& parsing);
    // Drops the buffered bytes and the handler waiting on them.
    void clear();

    int bufferedBytes() const { return m_buffer.size() - m_offset; }
    bool hasPendingHandler() const { return static_cast<bool>(m_pending); }

private:
    int findComma(int from) const;
    const Command* match(const char* name, int length) const;
    void compact();

    QByteArray m_buffer;
    int m_offset = 0;
    Handler m_pending;
    QMap<QString, Command> m_commands;
};

} // namespace Skyvane
} // namespace Ns
