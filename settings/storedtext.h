#pragma once

#include <QString>
#include <QStringList>

// Header and footer texts are stored on one line of the settings file: each
// line break as the two characters "\n", behind one leading "." that keeps
// leading blanks from being trimmed away.

// The text for printing: every "\n" becomes CR LF and one leading "." is
// dropped (one only, so "..x" keeps a dot).
QString decodeStoredTextForPrinting(const QString& stored);

// The stored value for a memo's lines: "." and then every line followed by
// the two characters "\n" (the lines A and B give ".A\nB\n").
QString encodeTextForStorage(const QStringList& lines);

// The lines a memo shows for a stored value: every "\n" is a line break and
// one leading "." is dropped; no empty line follows a final break.
QStringList decodeStoredTextForDialog(const QString& stored);

// A memo's lines from its plain text, without the empty line after a final
// break, as the lines are counted for storing and printing.
QStringList memoLines(const QString& plainText);
