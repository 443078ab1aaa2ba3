#pragma once

#include "ticket/ticketgrid.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The ticket as fixed-width text: the form in which it is previewed, printed
// and archived. The archive browser splits archived lines at "\t\t" again, so
// the field separators and the padding are a file format, not decoration.
struct TicketLayoutOptions {
    bool sequenceNumbers = true;
    int descriptionWidth = 14;
    QString header; // lines ended by CR LF (also a lone CR or LF); empty: none
    QString footer;
};

QStringList buildTicketText(const TicketGrid& grid, const TicketLayoutOptions& options,
                            const QDateTime& now);

// A text of n characters padded to width w with w - n + 1 spaces, so a field
// is one character wider than its width; a longer text is kept whole.
QString padRight(const QString& text, int width);
QString padLeft(const QString& text, int width);

// A header or footer as ticket lines: every line break starts a new line, so
// a trailing break leaves one empty line after the text.
QStringList splitTextBlock(const QString& text);
