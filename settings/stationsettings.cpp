#include "settings/stationsettings.h"

#include "settings/inifile.h"

#include <algorithm>

namespace {

const QString kCom = QStringLiteral("COM");
const QString kPopis = QStringLiteral("popis");
const QString kZobrazeni = QStringLiteral("zobrazeni");
const QString kTabulka = QStringLiteral("tabulka");
const QString kTabulka2 = QStringLiteral("tabulka2");
const QString kTisk = QStringLiteral("Tisk");
const QString kHeaderKey = QStringLiteral("ZahlaviText");
const QString kFooterKey = QStringLiteral("ZapatiText");

QString widthKey(int column) {
    return QStringLiteral("sirka") + QString::number(column);
}

// The stored text, and whether the key is there at all: the main window and
// the dialog default a missing text differently.
QString readStored(const IniFile& ini, const QString& key, bool& present) {
    present = ini.hasKey(kZobrazeni, key);
    return present ? ini.readString(kZobrazeni, key, QString()) : QString();
}

QSize atLeast(QSize size, QSize minimum) {
    return size.expandedTo(minimum);
}

} // namespace

StationSettings readStationSettings(const IniFile& ini) {
    StationSettings s;
    s.port = ini.readInteger(kCom, QStringLiteral("port"), 1);
    s.device = ini.readString(kCom, QStringLiteral("device"), QString());
    s.timeout = ini.readInteger(kCom, QStringLiteral("timeout"), 5);
    s.descriptionLength = ini.readInteger(kPopis, QStringLiteral("delka"), 14);
    s.showTime = ini.readBool(kZobrazeni, QStringLiteral("datum"), false);
    s.showDescription = ini.readBool(kZobrazeni, QStringLiteral("popis"), false);
    s.unit = ini.readString(kZobrazeni, QStringLiteral("jednotky"), QStringLiteral("kg"));
    s.learnWords = ini.readBool(kZobrazeni, QStringLiteral("plovouciHelp"), false);
    s.liveWeight = ini.readBool(kZobrazeni, QStringLiteral("stalyPrijem"), false);
    s.period = ini.readInteger(kZobrazeni, QStringLiteral("perioda"), 0);
    s.saveOnPrint = ini.readBool(kZobrazeni, QStringLiteral("PrintSave"), false);
    s.keepUnprinted = ini.readBool(kZobrazeni, QStringLiteral("save"), false);
    s.sequenceNumbers = ini.readBool(kZobrazeni, QStringLiteral("poradCislo"), true);
    s.settledOnly = ini.readBool(kZobrazeni, QStringLiteral("jenUstalene"), false);
    s.header = ini.readBool(kZobrazeni, QStringLiteral("Zahlavi"), false);
    s.footer = ini.readBool(kZobrazeni, QStringLiteral("Zapati"), false);
    s.headerStored = readStored(ini, kHeaderKey, s.headerStoredPresent);
    s.footerStored = readStored(ini, kFooterKey, s.footerStoredPresent);
    for (int c = 0; c < int(s.columnWidths.size()); ++c)
        s.columnWidths[size_t(c)] =
            ini.readInteger(kTabulka, widthKey(c), StationSettings::kWidthNotStored);
    s.windowSize = QSize(ini.readInteger(kTabulka, QStringLiteral("celkem"), 370),
                         ini.readInteger(kTabulka, QStringLiteral("celkemVyska"), 600));
    s.previewSize = readPreviewSize(ini);
    return clampSettings(s);
}

StationSettings clampSettings(StationSettings s) {
    s.descriptionLength = descriptionLimitFor(s.descriptionLength);
    s.windowSize = atLeast(s.windowSize, kMinimumWindow);
    s.previewSize = atLeast(s.previewSize, kMinimumPreview);
    s.timeout = std::max(0, s.timeout);
    return s;
}

int descriptionLimitFor(int length) {
    return length < 1 ? 0 : std::min(length, kMaximumDescriptionLength);
}

QSize clampToScreen(QSize size, QSize minimum, QSize available) {
    if (available.isEmpty())
        return size;
    return size.boundedTo(available).expandedTo(minimum.boundedTo(available));
}

void writeClosingSettings(IniFile& ini, const std::array<int, 4>& widths, QSize windowSize) {
    for (int c = 0; c < int(widths.size()); ++c)
        if (widths[size_t(c)] >= 0)
            ini.writeInteger(kTabulka, widthKey(c), widths[size_t(c)]);
    ini.writeInteger(kTabulka, QStringLiteral("celkem"), windowSize.width());
    ini.writeInteger(kTabulka, QStringLiteral("celkemVyska"), windowSize.height());
}

void writeDialogSettingsFirst(IniFile& ini, const StationSettings& s) {
    ini.writeInteger(kCom, QStringLiteral("port"), s.port);
    ini.writeBool(kZobrazeni, QStringLiteral("datum"), s.showTime);
    ini.writeBool(kZobrazeni, QStringLiteral("popis"), s.showDescription);
    ini.writeBool(kZobrazeni, QStringLiteral("plovouciHelp"), s.learnWords);
    ini.writeString(kZobrazeni, QStringLiteral("jednotky"), s.unit);
    ini.writeInteger(kPopis, QStringLiteral("delka"), s.descriptionLength);
}

void writeDialogSettingsSecond(IniFile& ini, const StationSettings& s) {
    ini.writeBool(kZobrazeni, QStringLiteral("stalyPrijem"), s.liveWeight);
    ini.writeInteger(kZobrazeni, QStringLiteral("perioda"), s.period);
    ini.writeBool(kZobrazeni, QStringLiteral("poradCislo"), s.sequenceNumbers);
    ini.writeBool(kZobrazeni, QStringLiteral("Zahlavi"), s.header);
    ini.writeBool(kZobrazeni, QStringLiteral("save"), s.keepUnprinted);
    ini.writeBool(kZobrazeni, QStringLiteral("PrintSave"), s.saveOnPrint);
    ini.writeString(kZobrazeni, kHeaderKey, s.headerStored);
    ini.writeBool(kZobrazeni, QStringLiteral("Zapati"), s.footer);
    ini.writeString(kZobrazeni, kFooterKey, s.footerStored);
}

QString dialogHeaderStored(const StationSettings& s) {
    return s.headerStoredPresent ? s.headerStored : QStringLiteral("Záhlaví");
}

QString dialogFooterStored(const StationSettings& s) {
    return s.footerStoredPresent ? s.footerStored : QStringLiteral("Zápati");
}

int dialogShownWidth(const IniFile& ini, int column) {
    return ini.readInteger(kTabulka, widthKey(column), column == 1 ? 85 : 130);
}

QSize readPreviewSize(const IniFile& ini) {
    const QSize size(ini.readInteger(kTisk, QStringLiteral("sirka"), 320),
                     ini.readInteger(kTisk, QStringLiteral("vyska"), 490));
    return atLeast(size, kMinimumPreview);
}

void writePreviewSize(IniFile& ini, QSize size) {
    ini.writeInteger(kTisk, QStringLiteral("sirka"), size.width());
    ini.writeInteger(kTisk, QStringLiteral("vyska"), size.height());
}

ArchiveWindowSettings readArchiveWindowSettings(const IniFile& ini) {
    ArchiveWindowSettings s;
    for (int c = 0; c < int(s.columnWidths.size()); ++c)
        s.columnWidths[size_t(c)] =
            ini.readInteger(kTabulka2, widthKey(c), s.columnWidths[size_t(c)]);
    s.size = QSize(ini.readInteger(kTabulka2, QStringLiteral("celkemSirka"), 800),
                   ini.readInteger(kTabulka2, QStringLiteral("celkemVyska"), 600));
    return s;
}

void writeArchiveWindowSettings(IniFile& ini, const ArchiveWindowSettings& s) {
    for (int c = 0; c < int(s.columnWidths.size()); ++c)
        ini.writeInteger(kTabulka2, widthKey(c), s.columnWidths[size_t(c)]);
    ini.writeInteger(kTabulka2, QStringLiteral("celkemVyska"), s.size.height());
    ini.writeInteger(kTabulka2, QStringLiteral("celkemSirka"), s.size.width());
}
