#include "archive/archiveloader.h"

#include "platform/localeconventions.h"
#include "platform/paths.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

struct DayFile {
    QDate day;
    QString path;
    qint64 size = 0;
    bool missing = false; // only its seal file is there
};

bool nothingAt(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) != 0 &&
           (errno == ENOENT || errno == ENOTDIR);
}

// Only a name that leads nowhere is a day without tickets; anything else in
// the file's place (a folder, a dangling access) is something the operator
// should hear about when it is read. A day whose file is gone while its seal
// file is there lost its tickets.
std::vector<DayFile> existingDayFiles(const QDate& first, const QDate& last, bool seals) {
    std::vector<DayFile> files;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        DayFile file{day, paths::archiveFile(day)};
        struct stat st {};
        if (::stat(QFile::encodeName(file.path).constData(), &st) != 0) {
            file.missing = errno == ENOENT || errno == ENOTDIR;
            if (file.missing && (!seals || nothingAt(paths::sealFileOf(file.path))))
                continue;
        } else if (S_ISREG(st.st_mode)) {
            file.size = st.st_size;
        }
        files.push_back(std::move(file));
    }
    return files;
}

// A day's seal check, as the load keeps it until the rows are marked.
struct DayCheck {
    DaySealReport report;
    qsizetype changedLine = -1; // the line of the day where the changed ticket begins
};

std::optional<DayCheck> checkDay(const DayFile& file, QByteArrayView bytes) {
    std::optional<DaySealReport> report = checkArchiveDay(file.day, bytes, !file.missing);
    if (!report || report->clean())
        return std::nullopt;
    DayCheck day{std::move(*report)};
    if (day.report.check.changed)
        day.changedLine = archiveLineAt(bytes, day.report.check.changedFrom);
    return day;
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QStringList findingLines(const DaySealReport& r) {
    const LocaleConventions& lc = conventions();
    const QString day = lc.formatDate(r.day);
    const SealCheck& c = r.check;
    QStringList lines;
    if (!r.unreadable.isEmpty())
        lines << QStringLiteral("%1: soubor pečetí %2 nelze přečíst (%3).")
                     .arg(day, native(r.sealFile), r.unreadable);
    if (c.changed && r.dayMissing)
        lines << QStringLiteral("%1: soubor dne %2 chybí, ačkoli k němu jsou pečetě (první "
                                "zapečetěný lístek byl vytištěn v %3).")
                     .arg(day, native(r.dayFile), lc.formatTime(c.changed->printedTime));
    else if (c.changed)
        lines << QStringLiteral("%1: lístek vytištěný v %2 neodpovídá pečeti, byl po tisku "
                                "změněn. Jeho řádky a řádky po něm jsou červené.")
                     .arg(day, lc.formatTime(c.changed->printedTime));
    if (c.unsealedBytes > 0 && c.unsealedAfter)
        lines << QStringLiteral("%1: řádky za lístkem vytištěným v %2 nejsou zapečetěné (%3 B).")
                     .arg(day, lc.formatTime(c.unsealedAfter->printedTime))
                     .arg(c.unsealedBytes);
    else if (c.unsealedBytes > 0)
        lines << QStringLiteral("%1: %2 B od bajtu %3 není zapečetěno.")
                     .arg(day)
                     .arg(c.unsealedBytes)
                     .arg(c.unsealedFrom);
    if (!c.damaged.empty()) {
        QStringList numbers;
        for (const int n : c.damaged)
            numbers << QString::number(n);
        lines << QStringLiteral("%1: soubor pečetí %2 je poškozený (řádek %3); tyto pečetě nelze "
                                "ověřit.")
                     .arg(day, native(r.sealFile), numbers.join(QStringLiteral(", ")));
    }
    return lines;
}

// The title, then the first lines, one a line, and how many more there were:
// a damaged month must not bring up a box taller than the screen.
QString listed(const QString& title, const QStringList& lines) {
    constexpr qsizetype kListed = 10;
    QString text = title + QLatin1Char('\n') +
                   lines.first(std::min(kListed, lines.size())).join(QLatin1Char('\n'));
    if (lines.size() > kListed)
        text += QStringLiteral("\n… a další (%1)").arg(lines.size() - kListed);
    return text;
}

QString failure(const QString& path, const QString& reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral(" (") + reason + QLatin1Char(')');
}

} // namespace

ArchiveLoad loadArchiveRange(const QDate& first, const QDate& last, SealChecking checking) {
    ArchiveLoad load;
    if (!first.isValid() || !last.isValid())
        return load;
    const bool seals = checking == SealChecking::On;
    const std::vector<DayFile> files = existingDayFiles(first, last, seals);
    qint64 total = 0;
    for (const DayFile& file : files)
        total += file.size;
    load.table.reserveForFileBytes(total);
    QByteArray bytes;
    for (const DayFile& file : files) {
        if (file.missing) {
            if (std::optional<DayCheck> day = checkDay(file, {}))
                load.seals.push_back(std::move(day->report));
            continue;
        }
        QString reason;
        if (!wholefile::read(file.path, bytes, reason)) {
            load.failures.append(failure(file.path, reason));
            continue;
        }
        // The same bytes make the rows and are checked: one read, one pass
        // of the hash.
        std::optional<DayCheck> day;
        if (seals)
            day = checkDay(file, bytes);
        const int firstRow = load.table.lastRow();
        const bool whole = appendArchiveFile(load.table, bytes);
        if (day) {
            if (day->changedLine >= 0)
                load.table.markChanged(firstRow + int(day->changedLine), load.table.lastRow());
            load.seals.push_back(std::move(day->report));
        }
        if (!whole) {
            load.failures.append(
                failure(file.path, QStringLiteral("rozsah je pro prohlížení příliš velký")));
            break;
        }
    }
    return load;
}

QString sealReportMessage(const std::vector<DaySealReport>& reports) {
    QStringList lines;
    for (const DaySealReport& report : reports)
        lines << findingLines(report);
    return listed(QStringLiteral("Kontrola pečetí archivu:"), lines);
}

QString archiveFailureMessage(const QStringList& failures) {
    return listed(QStringLiteral("Nelze přečíst archivní soubor:"), failures);
}
