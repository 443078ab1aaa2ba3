#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <string>
#include <utility>
#include <vector>

// The rows of the archive grid as loaded from archive files, kept as the
// files' own Windows-1250 bytes in one block: a year of tickets is a few
// hundred thousand rows, and one string per cell would cost several times
// the text itself in memory and in load time. Text is decoded only for the
// cells on screen.
//
// Each row has four cells. Every cell is stored followed by ";", so a row's
// bytes are its search text with all four columns chosen. The grid always
// ends with one empty row after the loaded lines, so rowCount() is the
// number of lines + 1, and a table with nothing loaded has that single row.
class ArchiveTable {
public:
    static constexpr int kColumns = 4;

    int rowCount() const { return int(m_ends.size() / kColumns) + 1; }
    int lastRow() const { return rowCount() - 1; }
    bool isEmpty() const { return m_ends.empty(); }

    QByteArrayView cell(int row, int column) const;
    QString cellText(int row, int column) const; // decoded from Windows-1250

    // Appends one line of an archive file (without its line break) as the
    // row before the trailing empty row: the line is cut at every "\t\t",
    // left to right; an empty part keeps its column as a single space; parts
    // after the fourth are dropped; an empty line fills no cell. Returns
    // false, adding nothing, when the table cannot hold more text.
    bool appendLine(QByteArrayView line);

    // Room for about this much file text, so that a long load touches its
    // memory once instead of copying it at every growth.
    void reserveForFileBytes(qsizetype bytes);
    void clear();

    // Rows of tickets changed after they were sealed, from `first` up to
    // (not including) `end`; spans are marked in ascending order. A few spans
    // a load, so a changed year costs nothing per row.
    void markChanged(int first, int end);
    bool changed(int row) const;
    qsizetype textBytes() const { return qsizetype(m_text.size()); }

    // The most text one table holds (offsets are 32-bit to keep rows small).
    static constexpr qsizetype kMaxTextBytes = 0xFFFFFFF0;

private:
    qsizetype cellStart(int row, int column) const;

    std::string m_text;          // cells, each followed by ';'
    std::vector<quint32> m_ends; // per row and cell: where its ';' stands
    std::vector<std::pair<int, int>> m_changed;
};

// Appends the lines of one archive file's bytes to the table. A line ends at
// CR, LF or CR LF; a last line without a break counts, and a final break adds
// no empty line. Returns false when the table filled up part-way.
bool appendArchiveFile(ArchiveTable& table, QByteArrayView bytes);

// Which of the lines that appendArchiveFile makes of `bytes` holds the byte
// at `offset`, counted from 0: the number of line ends before it.
qsizetype archiveLineAt(QByteArrayView bytes, qsizetype offset);

// How a cell of the archive grid is filled: rows whose column 0 holds
// "Celkem" (a ticket's totals) yellow, else those holding "Dne" (its date
// line) aqua, both case-sensitive anywhere in column 0; the title row and
// all other rows keep the grid's own colours.
enum class ArchiveRowFill { Normal, Yellow, Aqua };
ArchiveRowFill archiveRowFill(int row, QByteArrayView column0);
