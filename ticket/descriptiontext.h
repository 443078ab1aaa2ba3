#pragma once

#include <QString>

// What an operator's edit of a description may leave in the field. Tabs and
// line breaks become blanks (they would split archive lines and word list
// entries); a character Windows-1250 cannot store refuses the whole edit, so
// that what the operator sees is what is stored; and an edit that grows the
// text past the limit keeps only as much of the inserted text as fits. Text
// that was already longer than the limit (an older setting, the word list)
// is never cut by the limit, only kept from growing.
struct DescriptionEdit {
    QString text;
    int cursor = 0;
};
DescriptionEdit vetDescriptionEdit(const QString& before, const QString& after, int cursor,
                                   int limit);

// Every description the ticket takes, typed, pasted or read back from a
// file: tabs and line breaks become blanks.
QString cleanDescription(QString text);

// Whether a key's text counts as a typed character for the typing limit:
// printable characters and Backspace, but not Delete (which X11 delivers as
// the character 0x7F).
bool isTypedCharacter(const QString& keyText);
