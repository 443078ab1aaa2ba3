#pragma once

#include "platform/apperror.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class TicketGrid;

// The unprinted-rows file carries the whole ticket grid, column-title and
// totals rows included, from one run to the next: the column count and the
// row count as tagged integers, then every cell as a short string, column by
// column (all rows of column 0, then all rows of column 1, ...).
//
// Tagged integer: tag 0x02 + 1 byte, 0x03 + 2 bytes or 0x04 + 4 bytes, little
// endian two's complement, always the shortest form that holds the value.
// Short string: a length byte N and N Windows-1250 bytes; a longer text keeps
// its first 255 bytes.

QByteArray encodeUnprintedRows(const TicketGrid& grid);
QByteArray encodeTaggedInteger(qint32 value);

// Replaces the file atomically, so that a crash, a kill or a full disk during
// the save leaves the previously saved ticket intact. Throws AppError naming
// the path and the system's reason.
void saveUnprintedRows(const TicketGrid& grid, const QString& path);

// A file that cannot be read or is damaged.
class UnprintedRowsReadError : public AppError {
public:
    using AppError::AppError;
};

// Every row of the file was loaded, but some weight cells of body rows are no
// numbers; they are left out of the weight sum and named in the message.
class UnprintedRowsWeightError : public UnprintedRowsReadError {
public:
    using UnprintedRowsReadError::UnprintedRowsReadError;
};

// Loads the file into the grid: column count, row count, weighingCount = rows
// − 2, then each cell, and every non-empty weight cell of a body row is added
// to weightSum (expected to be 0 on entry).
//
// The grid always has 4 columns, so another column count, a row count below 2
// or above 100,002, a row count that the rest of the file cannot hold (each
// cell takes at least its length byte) and a file above 16 MB mean a damaged
// file: UnprintedRowsReadError is thrown before the grid is touched, so no
// file can make the load hold more than some tens of megabytes. Once the row count is set, all
// cells are cleared and read in order; a file that ends early or holds a text that is cut short
// throws UnprintedRowsReadError with the cells read so far kept. After any failure the grid stays
// consistent: 4 columns, at least 2 rows, weighingCount == rowCount − 2, and weightSum is the sum
// of the weight cells read so far.
//
// A damaged or unreadable file is first renamed to its kept copy (see
// keepDamagedUnprintedRows), since the next save would replace the only copy
// of the rows that could not be read; the message then names the copy, or
// says that it could not be made and why.
//
// A weight cell that is not a number (for example a ticket saved under a
// different decimal separator) does not stop the load: the cell keeps its
// text, adds nothing to the sum, and once every cell is read
// UnprintedRowsWeightError tells the operator which rows the sum leaves out.
// `unit` is the unit name written after the weights: it is not part of the
// number (the "3" of "m3").
void loadUnprintedRows(const QString& path, TicketGrid& grid, const QString& unit = {});

// Where a damaged file is kept: "<path>.poskozeny-2026-12-08-0305", and from
// the second copy of the same minute on "-2", "-3", ... added.
QString damagedCopyPath(const QString& path, const QDateTime& when, int attempt);

// Renames the file to the first damaged-copy name of the clock's minute that
// is still free. False, with the system's reason, when that cannot be done.
bool keepDamagedUnprintedRows(const QString& path, QString& keptPath, QString& reason);
