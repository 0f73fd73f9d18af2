#include "QMemorySectionSetting.h"

QMemorySectionSetting::QMemorySectionSetting(QMemorySetting* owner, QMemorySetting::SectionMap::iterator section,
                                             QStringList* values)
    : QObject(nullptr)
    , m_owner(owner)
    , m_section(section.key())
{
    Q_UNUSED(values);
    bindProxy();
}

QMemorySectionSetting::QMemorySectionSetting(const QMemorySectionSetting& other)
    : QObject(nullptr)
    , m_owner(other.m_owner)
    , m_section(other.m_section)
{
    bindProxy();
}

QMemorySectionSetting& QMemorySectionSetting::operator=(const QMemorySectionSetting& other)
{
    if (this != &other) {
        if (m_owner && other.m_section != m_section)
            m_owner->removeSectionIfEmpty(m_section);
        m_owner = other.m_owner;
        m_section = other.m_section;
        bindProxy();
    }
    return *this;
}

QMemorySectionSetting::~QMemorySectionSetting()
{
    if (m_owner)
        m_owner->removeSectionIfEmpty(m_section);
}

void QMemorySectionSetting::bindProxy()
{
    m_proxy.m_key.clear();
    static_cast<QVariant&>(m_proxy) = QVariant();
    using namespace std::placeholders;
    m_proxy.m_setter = std::bind(&QMemorySectionSetting::setKeyValue, this, _1, _2);
}

QMemorySetting::ValueProxy& QMemorySectionSetting::operator[](const QString& key)
{
    m_proxy.m_key = key;
    static_cast<QVariant&>(m_proxy) = m_owner->getSectionValue(m_section, key, QString());
    return m_proxy;
}

QMemorySetting::ValueProxy& QMemorySectionSetting::operator[](const QString& key) const
{
    m_proxy.m_key = key;
    static_cast<QVariant&>(m_proxy) = m_owner->getSectionValue(m_section, key, QString());
    return m_proxy;
}

void QMemorySectionSetting::setKeyValue(const QString& key, QVariant value)
{
    m_owner->setSectionValue(m_section, key, value);
}
