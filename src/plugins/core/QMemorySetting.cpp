#include "QMemorySetting.h"

#include "QMemorySectionSetting.h"

#include <QRegularExpression>

#include <iterator>

namespace {
// Only these four are stripped: QString::trimmed would also eat other blanks (an ideographic
// space at the end of a Chinese remark, say) that belong to the value.
bool isTrimmed(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t');
}

QString trimmed(const QString& text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && isTrimmed(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString escapeValue(QString value)
{
    value.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    value.replace(QLatin1Char('['), QLatin1String("\\["));
    value.replace(QLatin1Char(']'), QLatin1String("\\]"));
    return value;
}

QString unescapeValue(QString value)
{
    value.replace(QLatin1String("\\n"), QLatin1String("\n"));
    value.replace(QLatin1String("\\["), QLatin1String("["));
    value.replace(QLatin1String("\\]"), QLatin1String("]"));
    return value;
}

const QRegularExpression& headerPattern()
{
    // \w is ASCII here (no Unicode properties), so "[记录]" is not a header.
    static const QRegularExpression pattern(QStringLiteral("\\[([\\w%-]+)\\]"));
    return pattern;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// ValueProxy

QMemorySetting::ValueProxy::ValueProxy(const ValueProxy& other)
    : QVariant(other)
    , m_key(other.m_key)
{}

QMemorySetting::ValueProxy& QMemorySetting::ValueProxy::operator=(const QVariant& value)
{
    if (m_setter)
        m_setter(m_key, QVariant(value));
    QVariant::operator=(value);
    return *this;
}

QMemorySetting::ValueProxy& QMemorySetting::ValueProxy::operator=(const ValueProxy& other)
{
    if (this == &other)
        return *this;
    return *this = static_cast<const QVariant&>(other);
}

QMemorySetting::ValueProxy::~ValueProxy() = default;

// ---------------------------------------------------------------------------------------------
// Construction

QMemorySetting::QMemorySetting(KEY_COLLISION_MODE mode, QObject* parent)
    : QObject(parent)
    , m_mode(mode)
{}

QMemorySetting::QMemorySetting(const QString& text, KEY_COLLISION_MODE mode, QObject* parent)
    : QMemorySetting(mode, parent)
{
    parseBufferContent(text);
}

QMemorySetting::QMemorySetting(const QByteArray& bytes, KEY_COLLISION_MODE mode, QObject* parent)
    : QMemorySetting(mode, parent)
{
    parseBufferContent(bytes);
}

QMemorySetting::QMemorySetting(const char* data, int size, KEY_COLLISION_MODE mode, QObject* parent)
    : QMemorySetting(mode, parent)
{
    parseBufferContent(data, size);
}

QMemorySetting::QMemorySetting(const QMemorySetting& other)
    : QObject(nullptr)
    , m_mode(COLLISION_REPLACE)
{
    copyFrom(other);
}

QMemorySetting& QMemorySetting::operator=(const QMemorySetting& other)
{
    if (this != &other) {
        clearAll();
        copyFrom(other);
    }
    return *this;
}

QMemorySetting::~QMemorySetting()
{
    clearAll();
}

void QMemorySetting::copyFrom(const QMemorySetting& other)
{
    // Both maps are in name order, so appending value lists in walk order keeps them parallel.
    int i = 0;
    for (auto it = other.m_sections.cbegin(); it != other.m_sections.cend(); ++it, ++i) {
        m_sections.insert(it.key(), new QStringList(*it.value()));
        m_values.append(new QStringList(*other.m_values.at(i)));
    }
}

void QMemorySetting::SetKeyCollisionMode(KEY_COLLISION_MODE mode)
{
    m_mode = mode;
}

// ---------------------------------------------------------------------------------------------
// Text form

QString QMemorySetting::toString() const
{
    QString out;
    int i = 0;
    for (auto it = m_sections.cbegin(); it != m_sections.cend(); ++it, ++i) {
        out += QLatin1Char('[') + it.key() + QLatin1String("]\n");
        const QStringList& keys = *it.value();
        const QStringList& values = *m_values.at(i);
        for (int j = 0; j < keys.size(); ++j) {
            // Concatenated rather than "%1=%2".arg(): a key holding "%1" must come out as it is.
            out += keys.at(j) + QLatin1Char('=') + escapeValue(values.at(j)) + QLatin1Char('\n');
        }
        out += QLatin1Char('\n');
    }
    return out;
}

QByteArray QMemorySetting::toByteArray() const
{
    return toString().toUtf8();
}

void QMemorySetting::parseBufferContent(const QString& text)
{
    clearAll();

    const QStringList lines = trimmed(text).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    QStringList* keys = nullptr;
    QStringList* values = nullptr;
    for (const QString& raw : lines) {
        const QString line = trimmed(raw);
        if (line.startsWith(QLatin1Char('#')))
            continue;

        const QRegularExpressionMatch header = headerPattern().match(line);
        if (header.hasMatch()) {
            const SectionMap::iterator pos = sectionPosition(header.captured(1));
            keys = pos.value();
            values = valueListAt(pos);
            continue;
        }
        if (!keys)
            continue;

        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = trimmed(line.left(eq));
        const QString value = unescapeValue(trimmed(line.mid(eq + 1)));

        const int j = keys->indexOf(key);
        if (j < 0) {
            keys->append(key);
            values->append(value);
        } else if (m_mode == COLLISION_REPLACE) {
            (*values)[j] = value;
        } else if (m_mode == COLLISION_APPEND) {
            (*values)[j] += QLatin1Char('\n') + value;
        }
    }
}

void QMemorySetting::parseBufferContent(const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    const int size = nul < 0 ? bytes.size() : nul;
    parseBufferContent(QString::fromUtf8(bytes.constData(), size));
}

void QMemorySetting::parseBufferContent(const char* data, int size)
{
    if (!data) {
        parseBufferContent(QString());
        return;
    }
    parseBufferContent(size < 0 ? QByteArray(data) : QByteArray(data, size));
}

// ---------------------------------------------------------------------------------------------
// Whole-section operations

QMemorySetting::SectionMap::iterator QMemorySetting::sectionPosition(const QString& section) const
{
    SectionMap::iterator pos = m_sections.find(section);
    if (pos != m_sections.end())
        return pos;
    pos = m_sections.insert(section, new QStringList);
    m_values.insert(int(std::distance(m_sections.begin(), pos)), new QStringList);
    return pos;
}

QStringList* QMemorySetting::valueListAt(SectionMap::iterator position) const
{
    return m_values.at(int(std::distance(m_sections.begin(), position)));
}

void QMemorySetting::removeSectionAt(SectionMap::iterator position) const
{
    if (m_currentValues && m_current == position)
        m_currentValues = nullptr;
    const int i = int(std::distance(m_sections.begin(), position));
    delete position.value();
    delete m_values.takeAt(i);
    m_sections.erase(position);
    ++m_generation;
}

void QMemorySetting::removeSectionIfEmpty(const QString& section) const
{
    const SectionMap::iterator pos = m_sections.find(section);
    if (pos != m_sections.end() && pos.value()->isEmpty())
        removeSectionAt(pos);
}

QStringList QMemorySetting::allSections() const
{
    return m_sections.keys();
}

bool QMemorySetting::existSection(const QString& section) const
{
    return m_sections.contains(section);
}

QStringList QMemorySetting::allKeys(const QString& section) const
{
    const auto pos = m_sections.constFind(section);
    return pos == m_sections.cend() ? QStringList() : *pos.value();
}

bool QMemorySetting::existSectionKey(const QString& section, const QString& key) const
{
    const auto pos = m_sections.constFind(section);
    return pos != m_sections.cend() && pos.value()->contains(key);
}

QVariant QMemorySetting::getSectionValue(const QString& section, const QString& key, const QVariant& defaultValue) const
{
    const SectionMap::iterator pos = m_sections.find(section);
    if (pos == m_sections.end())
        return defaultValue;
    const int j = pos.value()->indexOf(key);
    if (j < 0)
        return defaultValue;
    return QVariant(valueListAt(pos)->at(j));
}

void QMemorySetting::storeKeyValue(QStringList* keys, QStringList* values, const QString& key, const QString& value)
{
    const int j = keys->indexOf(key);
    if (j < 0) {
        keys->append(key);
        values->append(value);
    } else {
        (*values)[j] = value;
    }
}

void QMemorySetting::setSectionValue(const QString& section, const QString& key, QVariant value)
{
    const SectionMap::iterator pos = sectionPosition(section);
    storeKeyValue(pos.value(), valueListAt(pos), key, value.toString());
}

bool QMemorySetting::removeSectionKey(const QString& section, const QString& key)
{
    const SectionMap::iterator pos = m_sections.find(section);
    if (pos == m_sections.end())
        return false;
    const int j = pos.value()->indexOf(key);
    if (j < 0)
        return false;
    pos.value()->removeAt(j);
    valueListAt(pos)->removeAt(j);
    if (pos.value()->isEmpty())
        removeSectionAt(pos);
    return true;
}

bool QMemorySetting::renameSectionKey(const QString& section, const QString& oldKey, const QString& newKey)
{
    const SectionMap::iterator pos = m_sections.find(section);
    if (pos == m_sections.end())
        return false;
    return renameKeyIn(pos.value(), valueListAt(pos), oldKey, newKey);
}

bool QMemorySetting::renameSection(const QString& oldName, const QString& newName)
{
    const SectionMap::iterator pos = m_sections.find(oldName);
    if (pos == m_sections.end() || m_sections.contains(newName))
        return false;
    if (m_currentValues && m_current == pos)
        m_currentValues = nullptr;
    QStringList* keys = pos.value();
    QStringList* values = m_values.takeAt(int(std::distance(m_sections.begin(), pos)));
    m_sections.erase(pos);
    const SectionMap::iterator moved = m_sections.insert(newName, keys);
    m_values.insert(int(std::distance(m_sections.begin(), moved)), values);
    ++m_generation;
    return true;
}

bool QMemorySetting::removeSection(const QString& section)
{
    const SectionMap::iterator pos = m_sections.find(section);
    if (pos == m_sections.end())
        return false;
    removeSectionAt(pos);
    return true;
}

void QMemorySetting::enumerateSection(std::function<void(QString)> callback)
{
    // Over a copy of the names, so a callback that changes the store cannot break the walk.
    const QStringList names = m_sections.keys();
    for (const QString& name : names)
        callback(name);
}

void QMemorySetting::enumerateSectionKey(const QString& section, std::function<void(QString)> callback)
{
    const QStringList keys = allKeys(section);
    for (const QString& key : keys)
        callback(key);
}

void QMemorySetting::clearAll()
{
    qDeleteAll(m_sections);
    qDeleteAll(m_values);
    m_sections.clear();
    m_values.clear();
    m_currentValues = nullptr;
    ++m_generation;
}

// ---------------------------------------------------------------------------------------------
// Current section

void QMemorySetting::beginSection(const QString& section) const
{
    endSection();
    m_current = sectionPosition(section);
    m_currentValues = valueListAt(m_current);
}

void QMemorySetting::endSection() const
{
    if (!m_currentValues)
        return;
    if (m_current.value()->isEmpty())
        removeSectionAt(m_current);
    m_currentValues = nullptr;
}

QVariant QMemorySetting::getValue(const QString& key, const QVariant& defaultValue) const
{
    if (!m_currentValues)
        return defaultValue;
    const int j = m_current.value()->indexOf(key);
    return j < 0 ? defaultValue : QVariant(m_currentValues->at(j));
}

bool QMemorySetting::existKey(const QString& key) const
{
    return m_currentValues && m_current.value()->contains(key);
}

void QMemorySetting::setValue(const QString& key, QVariant value)
{
    if (!m_currentValues)
        return;
    storeKeyValue(m_current.value(), m_currentValues, key, value.toString());
}

bool QMemorySetting::removeKey(const QString& key)
{
    if (!m_currentValues)
        return false;
    const int j = m_current.value()->indexOf(key);
    if (j < 0)
        return false;
    m_current.value()->removeAt(j);
    m_currentValues->removeAt(j);
    return true;
}

bool QMemorySetting::renameKey(const QString& oldKey, const QString& newKey)
{
    if (!m_currentValues)
        return false;
    return renameKeyIn(m_current.value(), m_currentValues, oldKey, newKey);
}

bool QMemorySetting::renameKeyIn(QStringList* keys, QStringList* values, const QString& oldKey, const QString& newKey)
{
    const int from = keys->indexOf(oldKey);
    if (from < 0)
        return false;
    // Renaming onto itself would otherwise merge the key into itself and lose it.
    if (oldKey == newKey)
        return true;
    const int to = keys->indexOf(newKey);
    if (to < 0) {
        (*keys)[from] = newKey;
        return true;
    }
    (*values)[to] = values->at(from);
    keys->removeAt(from);
    values->removeAt(from);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Section handles

QMemorySectionSetting QMemorySetting::operator[](const QString& section)
{
    const SectionMap::iterator pos = sectionPosition(section);
    return QMemorySectionSetting(this, pos, valueListAt(pos));
}

QMemorySectionSetting QMemorySetting::operator[](const QString& section) const
{
    const SectionMap::iterator pos = sectionPosition(section);
    return QMemorySectionSetting(const_cast<QMemorySetting*>(this), pos, valueListAt(pos));
}
