#pragma once

#include "archive/archivetable.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// The loaded archive rows for a spreadsheet. Accountants open the file in a
// spreadsheet set up for Czech, which reads ";" as the field separator and
// "," as the decimal mark, and takes a file for UTF-8 only when it begins
// with a byte-order mark. So the file is:
//   1. the UTF-8 byte-order mark, then one line per loaded row (the title row
//      first, the trailing empty row left out), each ended by CR LF;
//   2. every row four fields, separated by ";";
//   3. each field the cell's text in UTF-8, blanks and tabs of the archive's
//      padding cut from both ends, nothing else changed (decimal commas and
//      units stay as the ticket printed them);
//   4. a field holding ";", a double quote, CR or LF put in double quotes,
//      its double quotes doubled (RFC 4180); every other field bare.
QByteArray archiveCsv(const ArchiveTable& table);

// Writes archiveCsv(table) to `path`, replacing any file there in one step,
// so that a failed export leaves the old file as it was and never a part of
// the new one. False, with the operator's message, on failure.
bool writeArchiveCsv(const ArchiveTable& table, const QString& path, QString& message);

// The name the save dialog offers for the rows of these days.
QString archiveCsvFileName(const QDate& first, const QDate& last);
