#include "SentenceLoop.h"

#include <cstring>

namespace Ns {
namespace Skyvane {

void SentenceLoop::setCommand(const QString& key, int minLength, const Handler& handler)
{
    const auto it = m_commands.find(key.trimmed());
    if (it != m_commands.end()) {
        if (handler) {
            it->minLength = minLength;
            it->handler = handler;
        } else {
            m_commands.erase(it);
        }
        return;
    }
    if (!handler)
        return;
    Command command;
    command.minLength = minLength;
    command.handler = handler;
    command.pattern = key.toLatin1();
    m_commands.insert(key, command);
}

void SentenceLoop::clear()
{
    m_buffer.clear();
    m_offset = 0;
    // The waiting handler belongs to the dropped bytes; keeping it would hand the first
    // sentence after a restart to the wrong handler.
    m_pending = Handler();
}

int SentenceLoop::findComma(int from) const
{
    return m_buffer.indexOf(',', from);
}

const SentenceLoop::Command* SentenceLoop::match(const char* name, int length) const
{
    for (auto it = m_commands.cbegin(); it != m_commands.cend(); ++it) {
        const QByteArray& pattern = it->pattern;
        if (pattern.size() != length)
            continue;
        bool same = true;
        for (int i = 0; i < length && same; ++i)
            same = pattern.at(i) == '*' || pattern.at(i) == name[i];
        if (same)
            return &it.value();
    }
    return nullptr;
}

void SentenceLoop::compact()
{
    if (m_offset > 0) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
}

void SentenceLoop::feed(const QByteArray& data, const std::atomic<bool>& parsing)
{
    m_buffer.append(data);
    int comma = findComma(m_offset);

    for (;;) {
        if (!parsing.load()) {
            clear();
            return;
        }
        const int avail = m_buffer.size() - m_offset;
        if (avail < 7 || comma < 0)
            break;
        const char* p = m_buffer.constData() + m_offset;
        const int rel = comma - m_offset;

        if (p[0] != '$' && p[0] != '#') {
            int start = -1;
            for (int i = 1; i <= rel; ++i) {
                if (p[i] == '$' || p[i] == '#') {
                    start = i;
                    break;
                }
            }
            m_pending = Handler();
            if (start > 0) {
                m_offset += start;
            } else {
                m_offset = comma + 1;
                comma = findComma(m_offset);
            }
            continue;
        }

        // A fragment ended by a line end before the comma ("$GP\r\n$GPGGA,", or a bare "#\n")
        // is cut off at its line end, so the sentence behind it keeps its start character.
        if (rel >= 2) {
            int cut = 0;
            for (int q = 1; q < rel; ++q) {
                if (p[q] == '\r') {
                    cut = q + 1 + (p[q + 1] == '\n' ? 1 : 0);
                    break;
                }
                if (p[q] == '\n') {
                    cut = q + 1;
                    break;
                }
            }
            if (cut > 0) {
                m_pending = Handler();
                m_offset += cut;
                if (comma < m_offset)
                    comma = findComma(m_offset);
                continue;
            }
        }

        const QByteArray view = QByteArray::fromRawData(p, avail);
        int result;
        if (m_pending) {
            const Handler handler = std::move(m_pending);
            m_pending = Handler();
            result = handler(view);
        } else {
            const char* name = p + 1;
            const void* zero = std::memchr(name, '\0', static_cast<size_t>(rel - 1));
            const int nameLength = zero ? int(static_cast<const char*>(zero) - name) : rel - 1;
            const Command* command = match(name, nameLength);
            if (!command) {
                m_offset = comma + 1;
                comma = findComma(m_offset);
                continue;
            }
            if (avail < command->minLength) {
                m_pending = command->handler;
                break;
            }
            const Handler handler = command->handler;
            result = handler(view);
        }

        if (result > 0) {
            m_offset += qMin(result + 1, avail);
        } else if (result < 0) {
            m_offset = comma + 1;
        } else {
            break;
        }
        comma = findComma(m_offset);
    }

    compact();
    // Without a comma nothing is ever cut; a long comma-less stretch is noise. Keep only a
    // possible sentence start at its end.
    if (comma < 0 && m_buffer.size() > kMaxNameless) {
        const int start = qMax(m_buffer.lastIndexOf('$'), m_buffer.lastIndexOf('#'));
        if (start > 0 && m_buffer.size() - start <= kMaxNameless)
            m_buffer.remove(0, start);
        else
            m_buffer.clear();
        m_pending = Handler();
    }
}

} // namespace Skyvane
} // namespace Ns
