#pragma once

#include <QString>

// Header and footer texts are stored on one line of the settings file: each
// line break as the two characters "\n", behind one leading "." that keeps
// leading blanks from being trimmed away.

// The text for printing: every "\n" becomes CR LF and one leading "." is
// dropped (one only, so "..x" keeps a dot).
QString decodeStoredTextForPrinting(const QString& stored);
