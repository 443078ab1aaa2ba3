#pragma once

#include "output/archivewriter.h"
#include "platform/messages.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

class TicketGrid;

// A print cannot reach the printer and the disk in one step, so after a crash
// the next start must be able to tell how far it got. The print journal is a
// small file beside the unprinted-rows file that names the ticket being
// printed and its stage; each change of it is synced before the step it
// announces. The next start reads it together with the ticket that the
// unprinted-rows file still holds:
//
// 1. No job had gone out: the print is undone. The ticket comes back as
//    unprinted, and whatever the archive append wrote of it is cut off the
//    day file and the seal file again (the appends' own bytes only, see
//    undoArchiveAppend).
// 2. A job was going out: the ticket may have been printed. It comes back
//    only if the operator, told so, chooses to keep its rows; kept rows are
//    known to be archived, so printing them again does not archive them twice.
// 3. The printing service took the job: the ticket does not come back.
// A ticket whose print failed stays on screen known to be archived, and the
// journal keeps that across a restart while the ticket is unchanged.
//
// The journal speaks only of the ticket it names: the unprinted-rows file
// must hold that ticket's rows, or be the very file that was there when the
// print began (a write refused just before the print leaves an older one).
// Once the emptied ticket is on disk the journal is removed; one left over by
// a crash in between names rows that the file no longer holds and is ignored.

// The body rows of a ticket as the unprinted-rows file stores them, hashed:
// the grid being printed and the same grid read back from the file give the
// same value. The totals row is left out, since every start writes it anew.
QByteArray ticketFingerprint(const TicketGrid& grid);

// Which file is at a path: an atomic replace makes a new one.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const QString& path);

struct PrintRecord {
    enum class Stage {
        NotSent, // no job has gone out
        Sending, // a job is going out
        Sent,    // the printing service took a job
    };
    Stage stage = Stage::NotSent;
    QByteArray ticket; // ticketFingerprint()
    FileStamp rowsFile;
    QDateTime when;
    int weighings = 0;
    bool archived = false; // the day file holds the whole ticket
    // The appends a crash before any job undoes.
    std::optional<ArchiveAppend> append;
};

QByteArray encodePrintRecord(const PrintRecord& record);
// Empty when the bytes are no record this program wrote.
std::optional<PrintRecord> decodePrintRecord(const QByteArray& bytes);

// What a start does with the ticket it read back.
struct StartPlan {
    enum class Ticket { Restore, Ask, StartEmpty };
    Ticket ticket = Ticket::Restore;
    bool undoAppend = false;
    bool archived = false; // the ticket restored or kept is in the archive already
};
// `holds`: the unprinted-rows file holds the record's ticket; `empty`: that
// ticket has no weighings, so there is nothing to ask about or to protect.
StartPlan planStart(const PrintRecord& record, bool holds, bool empty);

// The question for a ticket that may have been printed.
Question restoreQuestion(const PrintRecord& record);

// Named moments of a print, for tests that end the program at each.
enum class PrintPoint {
    Begun,       // nothing of the print is on disk yet
    Recorded,    // the journal holds the appends about to be written
    Appended,    // the ticket and its seal are in the archive, no job yet
    JobStarting, // the journal says a job is going out
    JobTaken,    // the printing service took the job
    Settled,     // the emptied ticket is on disk, the journal not yet removed
};
using PrintPointHook = std::function<void(PrintPoint)>;
PrintPointHook setPrintPointHook(PrintPointHook hook); // returns the previous hook

class PrintJournal {
public:
    // An empty path keeps no journal.
    PrintJournal(QString path, QString rowsPath);

    // ---- a print, in this order ----
    void begin(const QByteArray& ticket, int weighings, const QDateTime& when, bool archived);
    // Writes the record with the appends; the archive writer calls it before
    // the first byte. A record that cannot be written leaves the appends
    // unprotected, never undone.
    void appending(const ArchiveAppend& append);
    void appended();
    // After an append that threw: whatever the writer could not cut back
    // stays recorded for the next start or the next append.
    void appendFailed();
    // Around each job. A job whose stage cannot be recorded still goes out,
    // unless an older record would then cut a printed ticket out of the
    // archive; then AppError is thrown and the job does not go out.
    void jobStarting();
    void jobFinished(bool taken);
    // The print action failed: the ticket stays, known to be archived.
    void printFailed();
    // The emptied ticket is on disk, or the printed one off it: the journal goes.
    void finish();

    bool active() const { return m_active; }
    // What the next start will do with a printed ticket that could not be
    // taken off the disk (the system's reason given), in the operator's words.
    QString strandedTicketText(const QString& reason) const;
    // A failure to write or remove the journal, once for a run of failures;
    // empty when there is none to tell.
    QString takeFailure();

    // ---- at start ----
    struct Start {
        StartPlan plan;
        PrintRecord record;
        QByteArray archivedTicket; // the restored ticket is already in the archive
    };
    // Reads the journal, undoes an append no job followed, and says what to do
    // with the ticket read from the unprinted-rows file (`restoring`: the
    // ticket will be shown; `rowsFile`: that file as it was before reading).
    Start recover(const TicketGrid& loaded, const FileStamp& rowsFile, bool restoring);
    // The ticket of that print stays on screen (the operator chose to keep a
    // ticket that may have been printed, or no job had gone out): the
    // journal remembers only whether it is archived.
    void keep(PrintRecord record);

private:
    bool write(const PrintRecord& record);
    bool remove();
    void noteFailure(const QString& reason);
    void settlePending();
    static void tellUndo(const ArchiveAppend& append, const ArchiveUndo& undo);

    QString m_path;
    QString m_rowsPath;
    bool m_active = false;
    bool m_sent = false;
    PrintRecord m_current;
    std::optional<PrintRecord> m_disk; // what the journal file holds
    std::optional<ArchiveAppend> m_pending;
    bool m_failing = false;
    QString m_untold;
};
