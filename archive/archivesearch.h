#pragma once

#include "archive/archivetable.h"

#include <QLocale>
#include <QString>
#include <array>

// Finding a text in the loaded archive rows. A row's text is, for each chosen
// column in column order, the cell's text followed by ";", so a search text
// holding ";" can match across the end of one cell into the next, but never
// across rows. Rows 1 to the last row are searched (row 0 is the title row),
// starting next to the current row and moving away from it, without wrapping
// around.
struct ArchiveSearch {
    QString text;
    bool upward = false;
    bool matchCase = false;
    std::array<bool, ArchiveTable::kColumns> columns{true, true, true, true};
};

// Returns the first matching row, or -1 when there is none (also for an
// empty search text). Without matchCase, the text and the rows are compared
// upper-cased by the language's rules, accented letters included.
//
// The archive holds only Windows-1250 characters, so upper-casing is one
// table over the 256 byte values built from `language`; a search text
// character that Windows-1250 cannot hold matches nothing.
int findArchiveRow(const ArchiveTable& table, int currentRow, const ArchiveSearch& search,
                   const QLocale& language);
