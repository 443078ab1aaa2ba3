#pragma once

#include "settings/stationsettings.h"

#include <QString>
#include <QStringList>
#include <array>

// What the settings dialog's OK decides, as plain values: computed from the
// dialog's controls here, written to the settings file by the dialog and
// applied to the running windows by the main window's apply function.

// The controls' values at the moment OK is pressed, the spin fields already
// read by their own rules (see spinFieldValue): the settings as the file
// will hold them (keys the dialog does not offer keep their stored values),
// and the memos' lines and the word list.
struct SettingsDialogValues {
    StationSettings settings;
    QStringList headerLines;
    QStringList footerLines;
    QStringList words;
};

struct SettingsChange {
    // Everything the file holds after OK; keys the dialog does not offer keep
    // the values they had.
    StationSettings settings;
    // Ticket grid columns 1 (time) and 2 (description): the stored width, or
    // -1 for a hidden column.
    int timeColumnWidth = -1;
    int descriptionColumnWidth = -1;
    int previewWidth = 0;
    // The automatic write timer: 0 stops it.
    int timerInterval = 0;
    // The description combo box's items.
    QStringList words;
    // The texts printed above and below the ticket, lines ended by CR LF;
    // empty when switched off.
    QString headerText;
    QString footerText;

    friend bool operator==(const SettingsChange&, const SettingsChange&) = default;
};

// shownTimeWidth and shownDescriptionWidth are the widths a shown column
// takes (dialogShownWidth).
SettingsChange settingsChangeFrom(const SettingsDialogValues& values, int shownTimeWidth,
                                  int shownDescriptionWidth);

// The automatic write timer's interval for a period in seconds: 0 (off) for
// a period below 1, and a period beyond what a timer can count (about 24
// days) waits as long as it can instead of wrapping round.
int timerIntervalFor(int periodSeconds);

// The preview window is as wide as a printed line: 25 characters of sequence
// number and weight, 13 for the time, the description's length and 5.
int previewWidthFor(int timeColumnWidth, int descriptionColumnWidth, int descriptionLength);

// The main window fits its grid: every column's width (a hidden one counts
// as -1) and 20.
int mainWindowWidthFor(const std::array<int, 4>& widths);

// A spin field's whole number from its text: blanks around it are ignored;
// anything that is not a whole number reads as the field's least value (1
// for the port, 0 for a field without limits); the value is kept within
// [minimum, maximum].
int spinFieldValue(const QString& text, int minimum, int maximum);

// The header or footer text as printing takes it: the memo's lines, each
// followed by CR LF, without one leading "."; empty when switched off.
QString printedTextFor(bool on, const QStringList& lines);
