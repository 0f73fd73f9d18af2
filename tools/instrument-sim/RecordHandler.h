#pragma once

#include "MessageHandler.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Message type 2: the instrument's record catalogue. Tests seed it, change records (which moves
// their change stamp) and turn on the faults below; the list, information, delete and note
// commands are answered from it.
class RecordHandler : public MessageHandler
{
public:
    struct SimRecord
    {
        quint32 name = 0;
        quint32 startTime = 0;
        quint32 duration = 0;
        quint32 size = 0;
        bool available = true;
        qint8 type = 0;
        qint8 bit = 8;
        QList<int> bands;
        QString remark;
        quint32 stamp = 1;
        quint32 bandwidth = 20;
        quint32 sampleRate = 0; // Hz; 0 leaves it out of the extended description
    };

    struct Faults
    {
        bool silentList = false;       // record-list requests stay unanswered
        int silentQueries = 0;         // withhold the next k information replies; negative: all
        bool failQueries = false;      // information replies carry result 2 (not found)
        bool duplicateQueries = false; // every information reply is sent twice
        // Every information reply is followed, in the same write, by the record's bandwidth
        // reply (type 6, command 2) once more: a late copy of an answer already given.
        bool bandwidthAgain = false;
        int silentDeletes = 0; // apply the next k deletes without replying; negative: all
        int silentNotes = 0;   // apply the next k note changes without replying; negative: all
        // Every information reply is preceded by one for another record of the catalogue, as if
        // a query of someone else were answered first.
        bool otherRecordFirst = false;
        // Delete-all takes this long, as clearing disks does: the records, the disk space they
        // held and the reply wait for it, while other requests are answered meanwhile.
        int deleteAllMs = 0;
    };

    using MessageHandler::MessageHandler;

    quint8 type() const override { return 2; }
    void handle(const SimFrame& request) override;

    // n records named from `firstName` on, one a minute, with bands and a remark each.
    void seed(int n, quint32 firstName = 1704110400);
    // Adds a record, or replaces the one of the same name (its change stamp moves on). The disks'
    // free figures give up the record's size; a delete gives it back.
    void add(const SimRecord& r);
    // The size in MiB of the samples of a record: duration x bands x sample rate x bit width,
    // rounded up to whole 2 MiB blocks on every card, so every card carries whole blocks.
    static quint32 sizeMiB(const SimRecord& r, int cards);
    // Moves the change stamp and the remark, as an edit on the instrument does.
    void change(quint32 name);
    SimRecord* find(quint32 name);

    QList<SimRecord>& records() { return m_records; }
    Faults& faults() { return m_faults; }

    // The stream form of the binary record description.
    static QByteArray streamForm(const SimRecord& r);
    // The settings text of the extended description; the name goes as "yyyyMMdd-hhmmss" UTC.
    static QByteArray textForm(const SimRecord& r, int cards = 2);

private:
    // Empties the catalogue, gives its space back to the boards' disks and answers the request.
    void deleteAll(const SimFrame& request);
    // Moves mib of the disks' free space to records (negative: back), shared by the cards.
    void takeSpace(qint64 mib);

    QList<SimRecord> m_records;
    Faults m_faults;
};
