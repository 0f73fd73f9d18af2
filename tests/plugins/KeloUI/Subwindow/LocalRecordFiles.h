#pragma once

// Records of the local store written as the PC keeps them, for the page tests (header only).

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

namespace LocalRecordFiles {

constexpr qint64 kMiB = 1024 * 1024;

struct StoredRecord
{
    quint32 name = 0;
    quint32 startTime = 0;
    quint32 duration = 0;
    quint32 sizeMiB = 0;
    int bit = 8;
    QList<int> bands;
    QStringList bandNames; // as the copy names its bands; missing or empty entries write no name
    QString remark;
    int blockMiB = 2;
    // Bytes of each card's data file; a negative entry writes no file for that card.
    QList<qint64> cardBytes;
    qint64 downloaded = 0;  // per card, as stored
    quint32 nameInFile = 0; // 0: the name
    quint32 downloadName = 0;
};

// The information file in its text form, keys as the store writes them.
inline QByteArray informationText(const StoredRecord& s)
{
    QByteArray t;
    for (int i = 0; i < s.cardBytes.size(); ++i) {
        t += "[Card" + QByteArray::number(i) + "]\n";
        t += "UploadNum=0\nDownloadNum=0\n";
        t += "UploadSize=" + QByteArray::number(qMax<qint64>(0, s.cardBytes[i])) + "\n";
        t += "DownloadSize=" + QByteArray::number(s.downloaded) + "\n\n";
    }
    for (int i = 0; i < s.bands.size(); ++i)
        t += "[Freq" + QByteArray::number(i + 1) + "]\n"
           + (s.bandNames.value(i).isEmpty() ? QByteArray() : "FreqName=" + s.bandNames.value(i).toUtf8() + "\n")
           + "Num=" + QByteArray::number(s.bands[i]) + "\n\n";
    t += "[LocalData]\nSingleTransSize=" + QByteArray::number(s.blockMiB)
       + "\nNumOfBoards=" + QByteArray::number(s.cardBytes.size()) + "\nTotalUploadedSize=0\nTotalDownoadedSize=0\n\n";
    t += "[Record]\nName=" + QByteArray::number(s.nameInFile ? s.nameInFile : s.name)
       + "\nStartTime=" + QByteArray::number(s.startTime) + "\nDuration=" + QByteArray::number(s.duration)
       + "\nSize=" + QByteArray::number(s.sizeMiB) + "\nAvailable=1\nType=0\nBit=" + QByteArray::number(s.bit)
       + "\nTrigMode=0\nRemark=" + s.remark.toUtf8()
       + "\nCnt=0\nBandwidth=0\nSampleRate=0\nFreqNum=" + QByteArray::number(s.bands.size()) + "\n"
       + (s.downloadName ? "DownloadName=" + QByteArray::number(s.downloadName) + "\n\n" : QByteArray("\n"));
    return t;
}

// <recordData>/<name>/<name>.wdi and sparse data files of the given sizes.
inline bool write(const QString& recordData, const StoredRecord& s)
{
    const QString folder = recordData + QLatin1Char('/') + QString::number(s.name);
    if (!QDir().mkpath(folder))
        return false;
    QFile info(folder + QStringLiteral("/%1.wdi").arg(s.name));
    if (!info.open(QIODevice::WriteOnly | QIODevice::Truncate) || info.write(informationText(s)) < 0)
        return false;
    info.close();
    for (int i = 0; i < s.cardBytes.size(); ++i) {
        if (s.cardBytes[i] < 0)
            continue;
        QFile data(folder + QStringLiteral("/%1_%2.wdd").arg(s.name).arg(i));
        if (!data.open(QIODevice::WriteOnly | QIODevice::Truncate) || !data.resize(s.cardBytes[i]))
            return false;
    }
    return true;
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file below a folder, relative to it, sorted.
inline QStringList tree(const QString& root)
{
    QStringList out;
    QDir dir(root);
    const auto entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& e : entries) {
        if (e.isDir()) {
            out << e.fileName() + QLatin1Char('/');
            for (const QString& sub : tree(e.filePath()))
                out << e.fileName() + QLatin1Char('/') + sub;
        } else {
            out << e.fileName();
        }
    }
    return out;
}

} // namespace LocalRecordFiles
