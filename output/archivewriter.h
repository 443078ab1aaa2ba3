#pragma once

#include "platform/apperror.h"

#include <QDate>
#include <QStringList>
#include <functional>

// Appends printed tickets to the day's archive file, data/<year>/<month>/<day>.dat
// beside the executable, in Windows-1250 with CR LF lines; the archive browser
// reads the same files back.
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

// Returns true when the ticket reached the file. A file that already holds
// 128 bytes or more gets the lines without the first one, so the column
// titles (or the header's first line) appear once at the top of a day.
bool appendToArchive(const QStringList& lines, const QDate& date);

// Fault seam for the steps after the day's file exists, which root cannot be
// made to fail through permissions. The hook returns an errno value to fail
// that step with, or 0 to let it run.
enum class ArchiveStep { Open, Write, Sync, Close };
using ArchiveFaultHook = std::function<int(ArchiveStep)>;
ArchiveFaultHook setArchiveFaultHook(ArchiveFaultHook hook); // returns the previous hook
