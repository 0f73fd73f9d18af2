#pragma once

#include "DeviceInfo.h"
#include "LogText.h"
#include "RecordEx.h"
#include "core_global.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class QFile;

// The PC's copies of the instrument's records:
//
//   <base>/<device identifier>/RecordData/<id>/<id>.wdi       record information
//                                             /<id>_<card>.wdd raw data of card 0, 1, ...
//                                             /<id>.wdd        card 0 of records that lack <id>_0.wdd
//                                             /<id>.ini        side file of old records ([Extend] Bandwidth)
//                                             /<id>_<card>.wdf fingerprints of a data file's whole blocks
//
// <base> is "DataSave"/"path" of the configuration, or the application directory when empty; it
// is never created here. The device identifier comes from the instrument and every name below
// the base goes through safePathComponent, so no peer text can lead outside the base folder.
//
// "<id>.wdi" is the UTF-8 text form of the record's RecordEx, or in records of earlier versions a
// little-endian binary layout (N bands, remark of L bytes, per-card lists of A, B, C, D entries):
//
//   0 u32 name as first stored    4 u32 start time    8 u32 duration    12 u32 size (MiB)
//   16 u8 available               17 u8 bit width     18 u32 N          22 N x i32 band ids
//   22+4N u32 L                   26+4N L bytes remark (UTF-8, up to a NUL)
//   26+4N+L u32 record id         30+4N+L u32 block size (MiB)
//   34+4N+L i64 total uploaded    42+4N+L i64 total downloaded
//   50+4N+L u32 A, A x i64 bytes uploaded per card;   u32 B, B x i64 bytes downloaded per card;
//           u32 C, C x i64 blocks uploaded per card;  u32 D, D x i64 blocks downloaded per card;
//           u32 number of cards                        (70 + 4N + L + 8(A+B+C+D) bytes)
//
// e.g. record 1700000000 (00 f1 53 65), no bands, no remark, block size 2, no lists, one card:
//   00 f1 53 65 | 00 f1 53 65 | 0a 00 00 00 | 04 00 00 00 | 01 | 10 | 00 00 00 00 | 00 00 00 00 |
//   00 f1 53 65 | 02 00 00 00 | 0 x 8 | 0 x 8 | 0 x 4 | 0 x 4 | 0 x 4 | 0 x 4 | 01 00 00 00
//
// "<id>_<card>.wdf" (card 0 of "<id>.wdd": "<id>.wdf") beside an uploaded data file holds the
// fingerprints (UploadProof::fingerprint) of the data file's whole blocks, so that a resume can
// tell a block sent again from a new one without reading the file back. All numbers are
// little-endian; N is the number of entries:
//
//   0 4 bytes "KWDF"      4 u32 record id      8 u32 card (from 0)      12 u32 block size (bytes)
//   16 u32 N              20 N x u64 the fingerprints of blocks 0 .. N - 1
//   20+8N u32 CRC-32/MPEG-2 of the 20 + 8N bytes before it              (24 + 8N bytes)
//
// e.g. record 1700000000, card 1, 2 MiB blocks, no entries:
//   4b 57 44 46 | 00 f1 53 65 | 01 00 00 00 | 00 00 20 00 | 00 00 00 00 | ad bd 9e 27
//
// An entry of 0 is a block whose fingerprint was not known when the file was written (a
// fingerprint is never 0): a file with one before the resume point is not believed either.
//
// A fingerprint file is believed only when it is whole, unchanged (its CRC), of the same record,
// card and block size, and names exactly the data file's whole blocks; otherwise the fingerprints
// are made again from the data file.
//
// Records are always moved in 2 MiB blocks; a record with another block size is not accepted.
//
// The transfer counters of a description ("LocalData" block size, card count and totals; per card
// UploadSize/UploadNum/DownloadSize/DownloadNum) are set only here and by the transfer channels,
// so that every page prepares a transfer the way a resume reads it back.
class CORE_EXPORT LocalRecordStore
{
public:
    static constexpr int kBlockMiB = 2;
    static constexpr qint64 kBlockBytes = qint64(kBlockMiB) * 1024 * 1024;
    // Card counts come from files and the instrument reports them in one byte.
    static constexpr int kMaxCards = 255;

    // One folder or file name made from peer text: path separators, the characters Windows
    // refuses in names and control characters become "_", and "." or ".." becomes "_" or "__".
    // An empty text stays empty.
    static QString safePathComponent(const QString& name);

    // The device identifier bytes as the instrument sends them: Latin-1 up to the first NUL.
    static QString deviceFolderName(const QByteArray& identifier);
    static QString deviceFolderName(const DeviceInfo& info);

    // The folder name of the instrument as last reported to ProtocolManager. ProtocolManager
    // belongs to the GUI thread: a worker thread captures the name there and passes it in.
    static QString currentDeviceFolder();

    static QString baseFolder();
    // <base>/<device>/RecordData/<id>, whether it exists or not.
    static QString recordFolderPath(const QString& deviceId, quint32 id);
    static QString recordFolderPath(quint32 id) { return recordFolderPath(currentDeviceFolder(), id); }

    // The data file of one card in a record folder: "<id>_<card>.wdd"; for card 0 only, an
    // existing "<id>.wdd" when "<id>_0.wdd" is missing. A file to be created gets the first name.
    static QString dataFilePath(const QString& recordFolder, quint32 id, int card);
    // Opens the data file for reading and writing without Append, so that a seek decides where a
    // resumed write lands. A missing file is created only when create is set.
    static bool openDataFile(QFile& file, bool create);

    // Reads "<id>.wdi" (either form) and, for old records, "<id>.ini"; accepts the record only
    // when its name is the id (text form) or not 0, and its block size is 2 MiB, and then brings
    // the per-card counters and totals in line with the data files on disk.
    static bool ParseRecordInformationFromFile(const QString& deviceId, quint32 id, RecordEx& record);
    static bool ParseRecordInformationFromFile(quint32 id, RecordEx& record)
    {
        return ParseRecordInformationFromFile(currentDeviceFolder(), id, record);
    }
    // Stores the text form as "<id>.wdi", creating the folders below the base. The file is
    // replaced atomically: on any failure the previous file stays and false is returned.
    static bool WriteRecordInfoToFile(const QString& deviceId, const RecordEx& record);
    static bool WriteRecordInfoToFile(const RecordEx& record)
    {
        return WriteRecordInfoToFile(currentDeviceFolder(), record);
    }

    // A card whose data file holds fewer bytes than the record gives it (size x 1 MiB / cards);
    // held is -1 when the file is missing.
    struct DataShortfall
    {
        int card = 0;
        qint64 held = 0;
        qint64 needed = 0;
    };
    // The cards of the record whose data files on disk are short: a download of such a record
    // would send what the file does not hold.
    static QVector<DataShortfall> dataShortfalls(const QString& deviceId, const RecordEx& record);

    // A new upload of a record whose local copy is complete goes beside it, into a hidden folder
    // next to the record folders (never listed: its name is not a record id), and replaces the
    // copy only once it is complete:
    //   <base>/<device>/RecordData/.upload-<id>/   the new <id>.wdi and data files
    static QString stagingFolderPath(const QString& deviceId, quint32 id);
    // Empties (or makes) the staging folder of the record and stores its bookkeeping there.
    static bool prepareStaging(const QString& deviceId, const RecordEx& record);
    // Stores the text form as "<id>.wdi" in the given folder, atomically.
    static bool WriteRecordInfoToFolder(const QString& folder, const RecordEx& record);
    // The staged upload takes the record folder's place; on any failure the record folder stays
    // as it was, the staging folder is left for discardStaging, and why says what failed.
    static bool replaceWithStaging(const QString& deviceId, quint32 id, QString* why = nullptr);
    static void discardStaging(const QString& deviceId, quint32 id);
    // Removes the record folder when it holds nothing of the record: only its "<id>.wdi" and
    // data files of no bytes (an upload stopped before any block moved) and their fingerprints.
    // True when removed.
    static bool removeIfEmpty(const QString& deviceId, quint32 id);

    // New bookkeeping for a record moved over cards cards: nothing moved either way.
    static void resetTransferCounters(RecordEx& record, int cards);
    // The bookkeeping of a record whose data files were made on the PC: bytes in all, an equal
    // share per card, uploaded whole.
    static void setImportedCounters(RecordEx& record, int cards, quint64 bytes);
    // An upload that starts again at the first byte of every card.
    static void restartUpload(RecordEx& record, int cards);
    // Each card's upload goes on at its first block not yet whole.
    static void setUploadResumeBlocks(RecordEx& record, int cards);
    // A download that starts at block 0 of every card.
    static void restartDownload(RecordEx& record);
    // The total of one direction from the cards' counters, as a transfer leaves it.
    static void sumTransferCounters(RecordEx& record, bool upload);

    // The fingerprint file's bytes, and its entries when it is the one of that record, card and
    // block size, whole and unchanged, with `blocks` entries (false otherwise).
    static QByteArray fingerprintFileBytes(quint32 id, int card, qint64 blockBytes, const QVector<quint64>& entries);
    static bool readFingerprintFile(const QString& path, quint32 id, int card, qint64 blockBytes, quint64 blocks,
                                    QVector<quint64>* entries);
    // Replaced atomically; false when it could not be written.
    static bool writeFingerprintFile(const QString& path, quint32 id, int card, qint64 blockBytes,
                                     const QVector<quint64>& entries);

    // The roll-back marks of a record's cards ("Card<i>"/"UploadRollBack"), kept beside the record
    // folders (<base>/<device>/RecordData/.marks-<id>) for a record whose folder goes because
    // its upload kept no byte, and put back into the description of its next upload.
    static QString rollBackKey();
    static void keepRollBackMarks(const QString& deviceId, const RecordEx& record);
    static void restoreRollBackMarks(const QString& deviceId, RecordEx& record);
    static void dropRollBackMarks(const QString& deviceId, quint32 id);

    // A replacement of the record folder cut short (the program ended between its steps) leaves
    // "<RecordData>/.replaced-<id>": with no record folder it holds the complete copy, which goes
    // back in place; beside a record folder it is the replaced copy, which goes. What was done is
    // logged, and returned for the person (None when nothing was left over or it could not be
    // dealt with).
    enum class Leftover { None, CopyRestored, OldCopyRemoved };
    static Leftover settleLeftoverReplacement(const QString& deviceId, quint32 id);

    static bool IsOldFormatRecordInfoFile(quint32 id, const QByteArray& content);
    // Fields beyond the end of the content read as 0 and lists as empty, and so does everything
    // after them; counts are checked against the bytes that remain before anything is read.
    static void ParseOldFormatRecordInfoFile(const QByteArray& content, RecordEx& record);
};
