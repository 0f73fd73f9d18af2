#include "DataWriter.h"

#include <QDir>
#include <QFileInfo>

namespace Kelo {
namespace Core {

DataWriter::DataWriter(qint64 sizeLimit)
    : QObject(nullptr)
    , m_sizeLimit(sizeLimit == 0 ? kDefaultSizeLimit : sizeLimit)
{}

DataWriter::~DataWriter()
{
    close();
}

bool DataWriter::setFileName(const QString& name)
{
    const bool changed = name != m_fileName;
    m_fileName = name;
    m_splitCount = 0;
    close();
    // A part object left closed after a split belongs to the old series; keeping it would send
    // the next write there instead of to the new name.
    m_file.reset();
    return changed;
}

void DataWriter::write(const QByteArray& data)
{
    QFile* f = currentFile();
    if (!f)
        return;
    if (!f->isOpen() && !f->open(QIODevice::ReadWrite | QIODevice::Append))
        return;
    f->write(data);
    f->flush();
}

QFile* DataWriter::currentFile()
{
    if (m_fileName.isEmpty() || QFileInfo(m_fileName).baseName().isEmpty())
        return nullptr;
    if (!m_file) {
        QDir().mkpath(QFileInfo(m_fileName).absolutePath());
        m_file.reset(new QFile(m_fileName));
    }
    // Only a real file is split: a folder in the way must never be renamed as a part.
    const bool isFile = m_file->isOpen() || QFileInfo(m_file->fileName()).isFile();
    if (isFile && m_file->size() >= m_sizeLimit)
        splitFile(m_file.get());
    return m_file.get();
}

void DataWriter::close()
{
    if (m_file && m_file->isOpen()) {
        m_file->close();
        m_file.reset();
    }
}

// The part number goes into the file name itself, before its last suffix, so a dot or the
// word "Part" in a folder name is never touched.
QString DataWriter::partPath(int number) const
{
    const QFileInfo info(m_fileName);
    const QString name = info.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString numbered = dot < 0 ? name + QStringLiteral(" Part%1").arg(number)
                                     : name.left(dot) + QStringLiteral(" Part%1").arg(number) + name.mid(dot);
    const int slash = m_fileName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? numbered : m_fileName.left(slash + 1) + numbered;
}

void DataWriter::splitFile(QFile* file)
{
    if (!file)
        return;
    file->flush();
    file->close();
    if (m_splitCount == 0)
        file->rename(partPath(1));
    ++m_splitCount;
    file->setFileName(partPath(m_splitCount + 1));
}

} // namespace Core
} // namespace Kelo
