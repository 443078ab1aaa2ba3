#pragma once

#include <QString>
#include <QStringList>

// The learned description words and their file "popis.dat": Windows-1250
// text, one entry per line.

// Every line becomes an entry, empty lines included. A line ends at CR, LF or
// CR LF; a last line without a line end counts; a zero byte ends the reading.
// Throws AppError when the file exists but cannot be read.
QStringList readWordListFile(const QString& path);

// Each entry followed by CR LF, replacing the file atomically. Throws AppError
// "Cannot create file \"<path>\". <system's reason>".
void writeWordListFile(const QString& path, const QStringList& words);

// The index of the first entry equal to the text ignoring letter case, by the
// language's upper-casing (conventions().language), or −1.
int findWord(const QStringList& list, const QString& text);

// Where the text goes in a list sorted case-insensitively by the language's
// collation (Czech: "ch" after "h", "č" after "c"): after every entry that
// does not sort after it.
int sortedInsertPosition(const QStringList& list, const QString& text);

// Adds the text at its sorted place when it is not empty and no entry matches
// it; returns whether it was added, that is whether the file must be saved.
bool learnWord(QStringList& list, const QString& text);
