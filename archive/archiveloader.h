#pragma once

#include "archive/archivetable.h"

#include <QDate>
#include <QString>
#include <QStringList>

// Loading the archive files of a range of days into the archive grid's rows.
struct ArchiveLoad {
    ArchiveTable table;
    // One operator-readable line per archive file that exists but could not
    // be read (a folder in its place, a read error); the other days load.
    QStringList failures;
};

// Whole days from `first` to `last`, inclusive and ascending; none when
// `first` is after `last`. A day without a file is skipped silently. The
// files are only read, never opened for writing.
ArchiveLoad loadArchiveRange(const QDate& first, const QDate& last);

// The operator's message for the failures of a load: the first ten files,
// one a line, and how many more there were.
QString archiveFailureMessage(const QStringList& failures);
