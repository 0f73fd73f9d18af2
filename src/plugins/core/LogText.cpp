#include "LogText.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
// A placeholder as QString::arg reads it: '%', an optional 'L', one or two digits. Returns its
// number and sets `length`, or returns -1.
int placeholderAt(const QString& text, int i, int& length)
{
    if (text.at(i) != QLatin1Char('%'))
        return -1;
    int j = i + 1;
    if (j < text.size() && text.at(j) == QLatin1Char('L'))
        ++j;
    if (j >= text.size() || !text.at(j).isDigit() || text.at(j).unicode() > '9')
        return -1;
    int number = text.at(j).unicode() - '0';
    ++j;
    if (j < text.size() && text.at(j).isDigit() && text.at(j).unicode() <= '9') {
        number = number * 10 + (text.at(j).unicode() - '0');
        ++j;
    }
    length = j - i;
    return number;
}

QVector<int> placeholderNumbers(const QString& text)
{
    QVector<int> numbers;
    int length = 0;
    for (int i = 0; i < text.size(); ++i) {
        const int n = placeholderAt(text, i, length);
        if (n >= 0 && !numbers.contains(n))
            numbers << n;
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}
} // namespace

LogText::LogText(const char* source)
    : LogText(kContext, source)
{}

LogText::LogText(const char* context, const char* source)
    : m_context(context)
    , m_text(QString::fromUtf8(source))
    , m_translatable(true)
{}

LogText LogText::verbatim(const QString& text)
{
    LogText t;
    t.m_text = text;
    return t;
}

LogText& LogText::arg(const LogText& a)
{
    m_args << a;
    return *this;
}

LogText& LogText::arg(const QString& a)
{
    m_args << verbatim(a);
    return *this;
}

bool LogText::operator==(const LogText& other) const
{
    return m_context == other.m_context && m_text == other.m_text && m_translatable == other.m_translatable
        && m_args == other.m_args;
}

QString LogText::render(bool translate) const
{
    QString text = m_text;
    if (translate && m_translatable)
        text = QCoreApplication::translate(m_context.constData(), m_text.toUtf8().constData());
    if (m_args.isEmpty())
        return text;
    // Numbered by the source, so that a translation that reorders its placeholders still gets
    // each argument in its place.
    const QVector<int> numbers = placeholderNumbers(m_text);
    QString out;
    out.reserve(text.size());
    int length = 0;
    for (int i = 0; i < text.size(); ++i) {
        const int n = placeholderAt(text, i, length);
        const int k = n >= 0 ? numbers.indexOf(n) : -1;
        if (k < 0 || k >= m_args.size()) {
            out += text.at(i);
            continue;
        }
        out += m_args.at(k).render(translate);
        i += length - 1;
    }
    return out;
}
