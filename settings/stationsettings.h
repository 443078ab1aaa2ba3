#pragma once

#include <QSize>
#include <QString>
#include <array>

class IniFile;

// Everything the station keeps in its settings file, as one plain value.
// This is the only code that spells a section or key name; windows read and
// write the file through the functions below, each in the order of keys its
// handler has always used, so files written by older versions read the same.
struct StationSettings {
    // [COM]
    int port = 1;
    QString device;  // a device path that overrides the port number
    int timeout = 5; // seconds without a reading before the line counts as silent; 0 off

    // [popis]
    int descriptionLength = 14; // delka

    // [zobrazeni]
    bool showTime = false;        // datum
    bool showDescription = false; // popis
    QString unit = QStringLiteral("kg");
    bool learnWords = false; // plovouciHelp: word-list mode
    bool liveWeight = false; // stalyPrijem
    int period = 0;          // perioda, seconds of the automatic write
    bool saveOnPrint = false;
    bool keepUnprinted = false; // save
    bool sequenceNumbers = true;
    // jenUstalene: live-weight mode books only a reading the indicator
    // reports as stable. Not in the dialog; set in the file.
    bool settledOnly = false;
    bool header = false;
    bool footer = false;
    // The stored (encoded) header and footer texts; empty when the key is missing.
    QString headerStored;
    QString footerStored;
    bool headerStoredPresent = false;
    bool footerStoredPresent = false;

    // [tabulka]
    static constexpr int kWidthNotStored = 165;
    std::array<int, 4> columnWidths{kWidthNotStored, kWidthNotStored, kWidthNotStored,
                                    kWidthNotStored};
    QSize windowSize{370, 600};

    // [Tisk]
    QSize previewSize{320, 490};

    friend bool operator==(const StationSettings&, const StationSettings&) = default;
};

// Every key with its default, as the main window reads them at start-up.
// Values no window can use are brought within sense here (see clampSettings).
StationSettings readStationSettings(const IniFile& ini);

// Sizes and lengths that would lock the operator out or exhaust memory are
// clamped: window sizes to at least kMinimumWindow, description lengths to at
// most kMaximumDescriptionLength (the longest cell the unprinted-rows file
// keeps); every length below 1 means "no limit" and reads as 0. What a person
// can set by dragging or typing sensible numbers is left exactly as it is.
inline constexpr QSize kMinimumWindow{120, 100};
inline constexpr QSize kMinimumPreview{120, 100};
inline constexpr int kMaximumDescriptionLength = 255;
StationSettings clampSettings(StationSettings settings);
// A description length as the ticket takes it, by the rule above.
int descriptionLimitFor(int length);
// At most the screen's available area; a null size leaves the value as it is.
QSize clampToScreen(QSize size, QSize minimum, QSize available);

// The closing steps: shown column widths (hidden ones keep their stored
// value), then the window size.
void writeClosingSettings(IniFile& ini, const std::array<int, 4>& widths, QSize windowSize);

// The settings dialog's OK writes in two steps with the word list saved in
// between; a failed write throws and stops the rest.
void writeDialogSettingsFirst(IniFile& ini, const StationSettings& s);
void writeDialogSettingsSecond(IniFile& ini, const StationSettings& s);

// The dialog shows the stored header and footer with its own defaults.
QString dialogHeaderStored(const StationSettings& s);
QString dialogFooterStored(const StationSettings& s);

// The dialog's widths for a column it shows: the stored one, else 85 and 130.
int dialogShownWidth(const IniFile& ini, int column);

// The preview window's size.
QSize readPreviewSize(const IniFile& ini);
void writePreviewSize(IniFile& ini, QSize size);

// The archive browser's column widths and size.
struct ArchiveWindowSettings {
    std::array<int, 4> columnWidths{200, 150, 250, 150};
    QSize size{800, 600};
};
ArchiveWindowSettings readArchiveWindowSettings(const IniFile& ini);
void writeArchiveWindowSettings(IniFile& ini, const ArchiveWindowSettings& s);
