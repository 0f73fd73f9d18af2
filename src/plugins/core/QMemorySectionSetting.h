#pragma once

#include "QMemorySetting.h"
#include "core_global.h"

#include <QObject>

// The handle QMemorySetting::operator[] returns for one section: handle["Key"] reads the key's
// text (an empty text when missing, without creating the key) and, assigned, writes it.
//
//   store["Card0"]["UploadNum"] = 12;           // writes "12"
//   quint64 n = store["Card0"]["UploadNum"].toULongLong();
//
// The handle finds its section by name on every access, so a section removed or renamed behind
// its back is never touched through a stale position; a write simply recreates it. A handle whose
// section is still without keys when it goes removes the section, so a read leaves no trace.
class CORE_EXPORT QMemorySectionSetting : public QObject
{
public:
    QMemorySectionSetting(QMemorySetting* owner, QMemorySetting::SectionMap::iterator section, QStringList* values);
    QMemorySectionSetting(const QMemorySectionSetting& other);
    QMemorySectionSetting& operator=(const QMemorySectionSetting& other);
    ~QMemorySectionSetting() override;

    QMemorySetting::ValueProxy& operator[](const QString& key);
    QMemorySetting::ValueProxy& operator[](const QString& key) const;

    void setKeyValue(const QString& key, QVariant value);

    QString sectionName() const { return m_section; }

private:
    void bindProxy();

    mutable QMemorySetting::ValueProxy m_proxy;
    QMemorySetting* m_owner = nullptr;
    QString m_section;
};
