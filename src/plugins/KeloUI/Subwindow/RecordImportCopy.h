#pragma once

#include "keloui_global.h"

#include <RecordEx.h>

#include <QString>
#include <QStringList>
#include <QThread>

// Copies the sample files of an import into a new record of the local record store:
//
//   <base>/<device>/RecordData/<name>/<name>.wdi        the record description, text form
//                                    /<name>_<k>.wdd     card k's file, cut or zero-padded to
//                                                        Size / files MiB
//
// The name is the description's Name, or the next free number above it. The record is built in
// a hidden folder beside the records and renamed to its name only when every byte is written,
// so a failed or stopped copy leaves the store as it was. Source files are deleted, when asked,
// only after that, and only those whose every byte is in the record.
//
// The owner sets the job while the thread is idle; the thread touches nothing else of the
// program, and reports by signals (queued to the owner).
class KELOUI_EXPORT RecordImportCopy : public QThread
{
    Q_OBJECT
public:
    static constexpr qint64 kBufferBytes = 4 * 1024 * 1024;

    explicit RecordImportCopy(QObject* parent = nullptr);
    // Stops a running copy (it cleans up as on a failure) and waits for the thread.
    ~RecordImportCopy() override;

    void setRecord(const RecordEx& record) { m_record = record; }
    // After a job: the description as stored, with the name it was stored under.
    RecordEx record() const { return m_record; }
    void setDeleteSources(bool on) { m_deleteSources = on; }
    bool deleteSources() const { return m_deleteSources; }
    // Position k is the file of card k.
    void setFiles(const QStringList& files) { m_files = files; }
    QStringList files() const { return m_files; }
    // Where the store is: the base folder and the device folder's name (empty: the first folder
    // of the base that holds "RecordData"). Taken by the owner, since both belong to its thread.
    void setStore(const QString& base, const QString& deviceFolder)
    {
        m_base = base;
        m_device = deviceFolder;
    }
    // The record folder the last successful job made.
    QString recordFolder() const { return m_recordFolder; }
    // Sources of the last job that were to be deleted but were cut, so not all their bytes are
    // in the record; they are left in place.
    QStringList keptSources() const { return m_kept; }

signals:
    void CopyResult(bool success);
    void ProcessUpdate(int percent);

protected:
    void run() override;

private:
    bool copyJob();
    QString findRecordData() const;
    bool copyFile(const QString& source, const QString& target, qint64 perCard, int k, int count, QByteArray& buffer);

    RecordEx m_record;
    bool m_deleteSources = false;
    QStringList m_files;
    QString m_base;
    QString m_device;
    QString m_recordFolder;
    QStringList m_kept;
};
