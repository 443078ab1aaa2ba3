#pragma once

#include "platform/apperror.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <functional>
#include <optional>

// Appends printed tickets to the day's archive file, data/<year>/<month>/<day>.dat
// beside the executable, in Windows-1250 with CR LF lines, and seals each in
// the day's seal file beside it; the archive browser reads the same files
// back and checks them against their seals.
//
// Folders and files that cannot be created or opened are the operator's
// business: each is reported through showError and printing goes on without
// the archive. A failure once the file is open (writing, flushing to disk,
// closing) would leave a half-written ticket, so it is thrown instead and
// must end the print action.
class ArchiveWriteError : public AppError {
public:
    using AppError::AppError;
};

// One append to a day's file: the file's length before it and the bytes it
// adds after that length.
struct AppendRecord {
    QString file;
    qint64 lengthBefore = 0;
    QByteArray bytes;
    qint64 lengthAfter() const { return lengthBefore + bytes.size(); }
};

// What a print appends: the ticket to the day's file and, after it, the
// ticket's seal line to the day's seal file (archive/archiveseal.h). No seal
// for a day's file that is no regular file, or when the seal file cannot be
// opened or read: the ticket is then archived without one.
struct ArchiveAppend {
    AppendRecord day;
    std::optional<AppendRecord> seal;
};

// Called once the appends' bytes are known and before the first of them is
// written, so that a crash part-way can be undone: it must have the record
// on disk when it returns.
using AppendJournal = std::function<void(const ArchiveAppend&)>;

// Returns true when the ticket reached the file; the day is the print's date.
// A file that already holds 128 bytes or more gets the lines without the
// first one, so the column titles (or the header's first line) appear once at
// the top of a day. A file that ends part-way through a line (another
// program's write, or one torn before this program undid its own) first gets
// a line end, so that no two tickets are ever glued into one line. The seal
// line follows the ticket, each written and synced in turn; when either write
// fails, both files go back to their lengths before and ArchiveWriteError is
// thrown.
bool appendToArchive(const QStringList& lines, const QDateTime& printed,
                     const AppendJournal& journal = {});

// What of an append is in its file now. Only bytes that are exactly the
// append's own count as its: whatever another program wrote after them is
// never taken for part of it.
enum class AppendFound {
    Nothing,      // the file is not longer than before, or other bytes follow its old end
    Part,         // the file ends part-way through the append
    Whole,        // the file ends right after the append
    WholeAndMore, // the whole append, then bytes someone else wrote
    PartAndMore,  // part of the append, then bytes someone else wrote
};

struct UndoResult {
    AppendFound found = AppendFound::Nothing;
    bool cut = false; // the file is back at its length before the append, on disk
    QString failure;  // the system's reason when the file could not be read or cut
};

// Cuts the file back to its length before the append when it ends with the
// append or part of it, and with nothing after. Bytes someone else appended
// are never cut: then the file is left as it is and `found` says why.
UndoResult undoAppend(const AppendRecord& record);

struct ArchiveUndo {
    UndoResult day;
    UndoResult seal;
    // Nothing of either append is left in its file.
    bool gone() const;
};
// Undoes a print's appends, the ticket first. Its seal line goes with it;
// when the ticket stays whole because another program wrote after it, the
// seal line stays too (it vouches for bytes that stay), unless it is torn.
// When the ticket could not be cut, the seal line is left for the next try.
ArchiveUndo undoArchiveAppend(const ArchiveAppend& append);

// Fault seam for the steps after the day's file exists, which root cannot be
// made to fail through permissions. The hook returns an errno value to fail
// that step with, or 0 to let it run.
enum class ArchiveStep { Open, Write, Sync, Close, SealOpen, SealWrite, SealSync, SealClose };
using ArchiveFaultHook = std::function<int(ArchiveStep)>;
ArchiveFaultHook setArchiveFaultHook(ArchiveFaultHook hook); // returns the previous hook
