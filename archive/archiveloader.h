#pragma once

#include "archive/archiveseal.h"
#include "archive/archivetable.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

// Loading the archive files of a range of days into the archive grid's rows.
struct ArchiveLoad {
    ArchiveTable table;
    // One operator-readable line per archive file that exists but could not
    // be read (a folder in its place, a read error); the other days load.
    QStringList failures;
    // The days whose seals found something; the rows of their changed
    // tickets are marked in the table.
    std::vector<DaySealReport> seals;
};

// Checking the seals is what the program does; the benchmark measures a load
// without it.
enum class SealChecking { On, Off };

// Whole days from `first` to `last`, inclusive and ascending; none when
// `first` is after `last`. A day without a file is skipped silently, unless
// it has a seal file: then its tickets are missing and that is reported. The
// files are only read, never opened for writing. Each day with a seal file
// is checked from the same bytes its rows are made of; its rows from the
// first changed ticket to the day's end are marked.
ArchiveLoad loadArchiveRange(const QDate& first, const QDate& last,
                             SealChecking checking = SealChecking::On);

// The operator's message for the failures of a load: the first ten files,
// one a line, and how many more there were.
QString archiveFailureMessage(const QStringList& failures);

// The operator's message for what the seals found, one line a finding, the
// first ten days and how many more there were.
QString sealReportMessage(const std::vector<DaySealReport>& reports);
