#pragma once

#include "QMemorySetting.h"

#include <QMap>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QVariant>

// The description of one record as the PC handles it. Its text form is the payload of the
// extended record commands and the record information file "<id>.wdi" of the local store, so
// the section and key names below are file keys that stored records rely on; spellings are
// kept exactly, "TotalDownoadedSize" included.
//
//   [Record]     Name StartTime Duration Size Available Type Bit TrigMode Remark Cnt Bandwidth
//                SampleRate FreqNum, and DownloadName while a download under another name runs
//   [Freq<n>]    Num, and FreqName once the band's name is known   one per band, n = 1 .. FreqNum
//   [LocalData]  SingleTransSize (MiB) NumOfBoards TotalUploadedSize TotalDownoadedSize
//   [Card<i>]    UploadNum DownloadNum UploadSize DownloadSize     one per card, i = 0 ..
//
// A default description is written as
//
//   [LocalData]\n\n[Record]\nName=0\nStartTime=0\nDuration=0\nSize=0\nAvailable=0\nType=0\n
//   Bit=0\nTrigMode=0\nRemark=\nCnt=0\nBandwidth=0\nSampleRate=0\nFreqNum=0\n\n
//
// Everything is defined here so that the user interface compiles it into itself and links only
// against QMemorySetting.

// The section and key names above, one name each for every reader and writer of a description.
namespace RecordKey {
inline const QString RecordSection = QStringLiteral("Record");
inline const QString LocalSection = QStringLiteral("LocalData");
inline QString freqSection(int n)
{
    return QStringLiteral("Freq%1").arg(n);
}
inline QString cardSection(int i)
{
    return QStringLiteral("Card%1").arg(i);
}

// [Record]
inline const QString Name = QStringLiteral("Name");
inline const QString StartTime = QStringLiteral("StartTime");
inline const QString Duration = QStringLiteral("Duration");
inline const QString Size = QStringLiteral("Size");
inline const QString Available = QStringLiteral("Available");
inline const QString Type = QStringLiteral("Type");
inline const QString Bit = QStringLiteral("Bit");
inline const QString TrigMode = QStringLiteral("TrigMode");
inline const QString Remark = QStringLiteral("Remark");
inline const QString Cnt = QStringLiteral("Cnt");
inline const QString Bandwidth = QStringLiteral("Bandwidth");
inline const QString SampleRate = QStringLiteral("SampleRate");
inline const QString FreqNum = QStringLiteral("FreqNum");
inline const QString DownloadName = QStringLiteral("DownloadName");

// [Freq<n>]
inline const QString Num = QStringLiteral("Num");
// The band's name as the instrument called it when the record reached the PC.
inline const QString FreqName = QStringLiteral("FreqName");

// [LocalData]
inline const QString SingleTransSize = QStringLiteral("SingleTransSize");
inline const QString NumOfBoards = QStringLiteral("NumOfBoards");
inline const QString TotalUploadedSize = QStringLiteral("TotalUploadedSize");
inline const QString TotalDownloadedSize = QStringLiteral("TotalDownoadedSize"); // spelt so in stored files

// [Card<i>]
inline const QString UploadNum = QStringLiteral("UploadNum");
inline const QString DownloadNum = QStringLiteral("DownloadNum");
inline const QString UploadSize = QStringLiteral("UploadSize");
inline const QString DownloadSize = QStringLiteral("DownloadSize");
} // namespace RecordKey

class RecordEx : public QMemorySetting
{
public:
    RecordEx()
        : QMemorySetting(QMemorySetting::COLLISION_REPLACE, nullptr)
    {
        InitDefaults();
    }

    RecordEx(const RecordEx& other)
        : QMemorySetting(other)
    {
        BuildIndex();
    }

    RecordEx& operator=(const RecordEx& other)
    {
        QMemorySetting::operator=(other);
        BuildIndex();
        return *this;
    }

    RecordEx& operator=(const QMemorySetting& other)
    {
        QMemorySetting::operator=(other);
        BuildIndex();
        return *this;
    }

    ~RecordEx() override { m_index.clear(); }

    void InitDefaults()
    {
        clearAll();
        beginSection(RecordKey::RecordSection);
        setValue(RecordKey::Name, 0);
        setValue(RecordKey::StartTime, 0);
        setValue(RecordKey::Duration, 0);
        setValue(RecordKey::Size, 0);
        setValue(RecordKey::Available, 0);
        setValue(RecordKey::Type, 0);
        setValue(RecordKey::Bit, 0);
        setValue(RecordKey::TrigMode, 0);
        setValue(RecordKey::Remark, QString());
        setValue(RecordKey::Cnt, 0);
        setValue(RecordKey::Bandwidth, 0);
        setValue(RecordKey::SampleRate, 0);
        setValue(RecordKey::FreqNum, 0);
        endSection();
        BuildIndex();
    }

    // Makes sure "Record" and "LocalData" stand and caches where they are.
    void BuildIndex()
    {
        m_index.clear();
        for (const QString& name : {RecordKey::RecordSection, RecordKey::LocalSection}) {
            const SectionMap::iterator pos = sectionPosition(name);
            m_index.insert(name, qMakePair(pos, valueListAt(pos)));
        }
        m_indexGeneration = sectionLayoutGeneration();
    }

    void SetRecordValue(const QString& key, QVariant value)
    {
        // A section removed or renamed since the last index would leave the cache pointing at
        // freed lists: rebuild rather than trust it.
        if (!indexValid())
            BuildIndex();
        const IndexEntry entry = m_index.value(RecordKey::RecordSection);
        QStringList* keys = entry.first.value();
        QStringList* values = entry.second;
        const QString text = value.toString();
        const int j = keys->indexOf(key);
        if (j < 0) {
            keys->append(key);
            values->append(text);
        } else {
            (*values)[j] = text;
        }
    }

    QVariant RecordValue(const QString& key, const QVariant& defaultValue = QVariant()) const
    {
        return cachedValue(RecordKey::RecordSection, key, defaultValue);
    }

    QVariant LocalValue(const QString& key, const QVariant& defaultValue = QVariant()) const
    {
        return cachedValue(RecordKey::LocalSection, key, defaultValue);
    }

private:
    using IndexEntry = QPair<SectionMap::iterator, QStringList*>;

    bool indexValid() const { return m_index.size() == 2 && m_indexGeneration == sectionLayoutGeneration(); }

    QVariant cachedValue(const QString& section, const QString& key, const QVariant& defaultValue) const
    {
        if (!indexValid())
            return getSectionValue(section, key, defaultValue);
        const IndexEntry entry = m_index.value(section);
        const int j = entry.first.value()->indexOf(key);
        return j < 0 ? defaultValue : QVariant(entry.second->at(j));
    }

    QMap<QString, IndexEntry> m_index;
    quint64 m_indexGeneration = 0;
};

Q_DECLARE_METATYPE(RecordEx)
