#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

#include <memory>

namespace Kelo {
namespace Core {

// Appends blocks to a file and, once the file has reached the size limit, goes on in a new
// part: for "dir/base.ext" the first part is written as dir/base.ext, renamed to
// "dir/base Part1.ext" at the first split, and the later parts are "dir/base Part2.ext" and
// on. The limit is checked before each write, so a part may exceed it by up to one block.
// Example with limit 10 and blocks of 4 bytes: three blocks go to base.ext (12 bytes), which
// then becomes "base Part1.ext", and the fourth block starts "base Part2.ext".
class DataWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kDefaultSizeLimit = Q_INT64_C(1) << 40;

    // A limit of 0 selects the default of 1 TiB.
    explicit DataWriter(qint64 sizeLimit = 0);
    ~DataWriter() override;

    // Starts a new series; true when the name differs from the previous one.
    bool setFileName(const QString& name);
    void write(const QByteArray& data);
    // The part the next write goes to; null when the file name is unusable.
    QFile* currentFile();
    void close();
    void splitFile(QFile* file);

    qint64 sizeLimit() const { return m_sizeLimit; }

private:
    QString partPath(int number) const;

    QString m_fileName;
    int m_splitCount = 0;
    std::unique_ptr<QFile> m_file;
    qint64 m_sizeLimit;
};

} // namespace Core
} // namespace Kelo
