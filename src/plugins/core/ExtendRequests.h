#pragma once

#include "core_global.h"

#include "ExtendProtocol.h"
#include "GoneRecords.h"
#include "OpenRequests.h"
#include "RecordCheck.h"
#include "ReplyOwner.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

// The extension link's requests: its table of open requests (one of a kind at a time, as the
// control link's), the checks that settle a request whose wait ran out (the run state, the
// record list), the runs of record deletes, and what the person is told of each outcome. The
// panel hands it the replies as they are cut and puts on its socket what it sends; it shows the
// replies it is given (`shown`) and the words it is told (`told`), nothing else.
class CORE_EXPORT ExtendRequests : public QObject
{
    Q_OBJECT
public:
    // Who sends a request: a press (told why when one of its kind is still open), or the link
    // itself after a change or for a check of what ran out of its wait.
    enum class Sender { Press, Link };
    struct Word
    {
        enum Kind { Information, Warning, Critical };
        Kind kind = Information;
        QString title;
        QString text;
    };

    explicit ExtendRequests(QObject* parent = nullptr);

    // What settles a request of this code whose wait ran out, and how long it waits.
    static OpenRequests::Rule ruleOf(quint8 code, int waitMs);
    // The run state as the panel names it; empty for a mode the instrument does not have.
    static QString stateWord(int mode);

    // The wait of every request (3000 ms in use).
    void setReplyTimeout(int ms) { m_waitMs = ms; }
    // Sends the request and opens it in the table; its place there, 0 when one of its kind is
    // still open (a press is told why).
    quint64 send(COST code, const QByteArray& payload, Sender sender = Sender::Press);
    // Why a control that sends this code is held; empty while nothing of it is open.
    QString reason(COST code) const { return m_open.reason(kType, code); }
    // The code of the request sent last (COST_GetStatus before any).
    COST pendingCode() const { return m_pendingCode; }

    // A whole reply as cut from the socket.
    void answer(COST code, const QByteArray& payload);
    // After a change of the records: the list and the capacity, asked anew.
    void refreshRecords();
    // Deletes these records one after the other, each sent once the one before is settled; a
    // run stops at the first that fails. False when the first did not go out (one of its kind
    // is open, or a run is under way).
    bool deleteRecords(const QList<quint32>& names);
    bool isDeleting() const { return m_run.active; }
    // The socket the requests went out on is closed or moved: every one open is cut.
    void cut();

signals:
    // A frame to put on the socket.
    void frameOut(const QByteArray& frame);
    // A reply the panel shows as it comes (a state report, a list, a capacity, ...).
    void shown(COST code, const QByteArray& payload);
    // The instrument confirmed this record gone: it leaves the list at once.
    void recordGone(quint32 name);
    // Something for the person.
    void told(const ExtendRequests::Word& word);
    // What is open changed: the controls that send it are held or let go.
    void openChanged();

private:
    static constexpr quint8 kType = 0; // this link's kinds in the table
    // How the wait of a delete of a run ended.
    enum class Deleted { Waiting, Done, Refused, Kept, Unknown, Failed, Held, Cut };

    void say(Word::Kind kind, const QString& title, const QString& text);
    OpenRequests::Taken take(COST code, const OpenRequests::Match& match = OpenRequests::Match());
    void askCheck(OpenRequests::Check check);
    void settle(OpenRequests::Check check, const OpenRequests::Request& question, const QByteArray& reply);
    void tell(ReplyOutcome outcome, const OpenRequests::Request& request, const QByteArray& reply = QByteArray());
    void timedOut(const OpenRequests::Request& request);
    QString requestName(const OpenRequests::Request& request) const;
    static RecordCheck::Doubt doubtOf(const OpenRequests::Request& request);
    void onCommandError();
    void onDeleteAnswer(const QByteArray& payload);
    void onRecordList(const QByteArray& payload);
    void onState(const QByteArray& payload);
    void deleted(quint64 request, Deleted outcome);
    void nextDelete();
    void endRun();

    int m_waitMs = 3000;
    OpenRequests m_open;
    COST m_pendingCode = COST_GetStatus;
    GoneRecords m_gone;
    bool m_deletedUntold = false; // a run deleted everything: the next list tells it
    struct Run
    {
        bool active = false;
        QList<quint32> names;
        int deleted = 0;
        QStringList kept;    // its check showed it still there
        quint64 request = 0; // the delete waited for
        quint32 name = 0;
        Deleted outcome = Deleted::Waiting;
    } m_run;
};

Q_DECLARE_METATYPE(ExtendRequests::Word)
