#pragma once

#include "core_global.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QMemorySectionSetting;

// An INI-like store of named sections, each an ordered list of key/value texts, kept in memory.
// It is the payload of several instrument commands and the record information file, so its text
// form is fixed:
//
//   "[" section "]\n", then key "=" value "\n" per key, then "\n" after the section.
//
// Sections come out in name order (QString ordinal order: Card1, Card10, Card2, LocalData, Record),
// keys in the order they were first added. In a value a line feed is written as the two characters
// "\n", "[" as "\[" and "]" as "\]"; nothing else is escaped. A store with section Record holding
// Name=5 and Remark=a[1], plus an empty section LocalData, is written as
//
//   5b 4c 6f 63 61 6c 44 61 74 61 5d 0a 0a                  "[LocalData]\n\n"
//   5b 52 65 63 6f 72 64 5d 0a                              "[Record]\n"
//   4e 61 6d 65 3d 35 0a                                    "Name=5\n"
//   52 65 6d 61 72 6b 3d 61 5c 5b 31 5c 5d 0a 0a            "Remark=a\[1\]\n\n"
//
// and the byte form is that text in UTF-8. Every value is stored as text (QVariant::toString) and
// read back as a QString variant. There is no lock: a store belongs to one thread at a time, and
// even the const beginSection/endSection change it.
class CORE_EXPORT QMemorySetting : public QObject
{
    Q_OBJECT
public:
    // What the parser does with a key that occurs twice in one section; any value other than
    // REPLACE and APPEND keeps the first value.
    enum KEY_COLLISION_MODE : int {
        COLLISION_REPLACE = 0,
        COLLISION_KEEP = 1,
        COLLISION_APPEND = 2,
    };

    // A QVariant that writes back into its section when assigned. A copy carries the value and
    // the key but not the write-back, so it can never reach a section handle that has gone.
    class CORE_EXPORT ValueProxy : public QVariant
    {
    public:
        using Setter = std::function<void(const QString&, QVariant)>;

        ValueProxy() = default;
        ValueProxy(const ValueProxy& other);
        ValueProxy& operator=(const QVariant& value);
        // Assigning one proxy to another assigns the value, as `a["x"] = b["y"]` reads.
        ValueProxy& operator=(const ValueProxy& other);
        ~ValueProxy();

        QString key() const { return m_key; }

    private:
        friend class QMemorySectionSetting;

        QString m_key;
        Setter m_setter;
    };

    using SectionMap = QMap<QString, QStringList*>;

    QMemorySetting(KEY_COLLISION_MODE mode = COLLISION_REPLACE, QObject* parent = nullptr);
    explicit QMemorySetting(const QString& text, KEY_COLLISION_MODE mode = COLLISION_REPLACE,
                            QObject* parent = nullptr);
    explicit QMemorySetting(const QByteArray& bytes, KEY_COLLISION_MODE mode = COLLISION_REPLACE,
                            QObject* parent = nullptr);
    QMemorySetting(const char* data, int size, KEY_COLLISION_MODE mode = COLLISION_REPLACE, QObject* parent = nullptr);
    // A copy has no parent and parses in COLLISION_REPLACE, whatever the source has.
    QMemorySetting(const QMemorySetting& other);
    // Replaces the content only; collision mode and parent stay.
    QMemorySetting& operator=(const QMemorySetting& other);
    ~QMemorySetting() override;

    void SetKeyCollisionMode(KEY_COLLISION_MODE mode);
    KEY_COLLISION_MODE keyCollisionMode() const { return m_mode; }

    QString toString() const;
    QByteArray toByteArray() const;

    void parseBufferContent(const QString& text);
    // Decoded as UTF-8 up to the first NUL byte.
    void parseBufferContent(const QByteArray& bytes);
    // A negative size means up to the terminating NUL.
    void parseBufferContent(const char* data, int size);

    QStringList allSections() const;
    bool existSection(const QString& section) const;
    QStringList allKeys(const QString& section) const;
    bool existSectionKey(const QString& section, const QString& key) const;
    QVariant getSectionValue(const QString& section, const QString& key,
                             const QVariant& defaultValue = QVariant()) const;
    void setSectionValue(const QString& section, const QString& key, QVariant value);
    bool removeSectionKey(const QString& section, const QString& key);
    bool renameSectionKey(const QString& section, const QString& oldKey, const QString& newKey);
    bool renameSection(const QString& oldName, const QString& newName);
    bool removeSection(const QString& section);
    void enumerateSection(std::function<void(QString)> callback);
    void enumerateSectionKey(const QString& section, std::function<void(QString)> callback);
    void clearAll();

    // One section at a time: beginSection makes it current (creating it empty), endSection
    // drops it again when it got no key.
    void beginSection(const QString& section) const;
    void endSection() const;
    QVariant getValue(const QString& key, const QVariant& defaultValue = QVariant()) const;
    bool existKey(const QString& key) const;
    void setValue(const QString& key, QVariant value);
    bool removeKey(const QString& key);
    bool renameKey(const QString& oldKey, const QString& newKey);

    // Both forms create the section when it is missing; the handle removes it again on
    // destruction when it is still without keys.
    QMemorySectionSetting operator[](const QString& section);
    QMemorySectionSetting operator[](const QString& section) const;

protected:
    // Position of a section, created empty at its place in name order when missing.
    SectionMap::iterator sectionPosition(const QString& section) const;
    // The value list that belongs to the section at that position.
    QStringList* valueListAt(SectionMap::iterator position) const;
    // Changes whenever a section is removed or renamed, which invalidates section positions
    // held outside the store.
    quint64 sectionLayoutGeneration() const { return m_generation; }

private:
    friend class QMemorySectionSetting;

    static void storeKeyValue(QStringList* keys, QStringList* values, const QString& key, const QString& value);
    void copyFrom(const QMemorySetting& other);
    void removeSectionAt(SectionMap::iterator position) const;
    void removeSectionIfEmpty(const QString& section) const;
    bool renameKeyIn(QStringList* keys, QStringList* values, const QString& oldKey, const QString& newKey);

    mutable SectionMap m_sections;
    mutable QList<QStringList*> m_values;
    KEY_COLLISION_MODE m_mode = COLLISION_REPLACE;
    mutable SectionMap::iterator m_current;
    mutable QStringList* m_currentValues = nullptr;
    mutable quint64 m_generation = 0;
};
