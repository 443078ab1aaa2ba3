#include "settings/settingschange.h"

#include "settings/storedtext.h"

#include <algorithm>
#include <climits>

SettingsChange settingsChangeFrom(const SettingsDialogValues& v, int shownTimeWidth,
                                  int shownDescriptionWidth) {
    SettingsChange change;
    StationSettings& s = change.settings;
    s = v.settings;
    s.headerStored = encodeTextForStorage(v.headerLines);
    s.footerStored = encodeTextForStorage(v.footerLines);
    s.headerStoredPresent = s.footerStoredPresent = true;
    // The length is stored as every reader takes it back (at most the
    // longest cell the unprinted-rows file keeps; below 1 no limit).
    s = clampSettings(s);

    change.timeColumnWidth = s.showTime ? shownTimeWidth : -1;
    change.descriptionColumnWidth = s.showDescription ? shownDescriptionWidth : -1;
    change.previewWidth =
        previewWidthFor(change.timeColumnWidth, change.descriptionColumnWidth, s.descriptionLength);
    change.timerInterval = timerIntervalFor(s.period);
    change.words = v.words;
    change.headerText = printedTextFor(s.header, v.headerLines);
    change.footerText = printedTextFor(s.footer, v.footerLines);
    return change;
}

int timerIntervalFor(int periodSeconds) {
    const long long interval = 1000LL * periodSeconds;
    return interval > 0 ? int(std::min<long long>(interval, INT_MAX)) : 0;
}

int previewWidthFor(int timeColumnWidth, int descriptionColumnWidth, int descriptionLength) {
    const int time = timeColumnWidth > 0 ? 13 : 0;
    const int description = descriptionColumnWidth > 0 ? descriptionLength + 5 : 0;
    return 13 * (25 + time + description);
}

int mainWindowWidthFor(const std::array<int, 4>& widths) {
    long long sum = 20;
    for (int w : widths)
        sum += w;
    return int(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

int spinFieldValue(const QString& text, int minimum, int maximum) {
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::clamp(0, minimum, maximum);
    return int(std::clamp<long long>(value, minimum, maximum));
}

QString printedTextFor(bool on, const QStringList& lines) {
    if (!on)
        return {};
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    if (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
    return text;
}
