// Checks the sealed days of a station's archive against their seal files,
// for an administrator's nightly job:
//   archive-check [--from YYYY-MM-DD] [--to YYYY-MM-DD] [FOLDER]
// FOLDER is the station folder; the archive is its data/ subfolder. Without
// one, the tool built here checks the current folder, and the packaged
// command (vaznilistek-archive-check) the station folder found from its own
// place, as the starter finds it (/usr/bin -> /opt/vaznilistek), so that an
// unpacked copy checks its own. Every day found there is checked, or those
// from --from to --to (either may be left out). Days without a seal file are
// not sealed and are skipped.
//
// Prints nothing and exits 0 when every sealed day is as sealed. Otherwise
// prints one line for each day that needs a look, and exits 1:
//   <date> CHANGED from the ticket printed at <time> (byte <n> of <file>)
//   <date> CHANGED day file missing, first sealed ticket printed at <time> (<file>)
//   <date> UNSEALED <n> bytes from byte <m>, after the ticket printed at <time> (<file>)
//   <date> DAMAGED-SEAL line <n>[, <n>...] (<seal file>)
//   <date> UNREADABLE <reason> (<file>)
// with several findings of one day on its one line, separated by "; ".
// Dates are yyyy-mm-dd, times hh:mm:ss, words English and fixed, so that the
// lines can be searched for. Exits 2 on a wrong command line or a folder
// without an archive.
#include "archive/archiveseal.h"
#include "platform/apperror.h"
#include "platform/paths.h"
#include "platform/wholefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <set>

namespace {

QByteArray name() {
    return QFileInfo(QCoreApplication::arguments().value(0)).fileName().toLocal8Bit();
}

int usage() {
    std::fprintf(stderr, "usage: %s [--from YYYY-MM-DD] [--to YYYY-MM-DD] [FOLDER]\n",
                 name().constData());
    return 2;
}

QString defaultFolder() {
#ifdef WEIGH_STATION_FROM_TOOL
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral(WEIGH_STATION_FROM_TOOL));
#else
    return QStringLiteral(".");
#endif
}

// The days that have a day file or a seal file under the archive root, named
// as the program names them (no leading zeros).
std::set<QDate> archiveDays() {
    std::set<QDate> days;
    const QRegularExpression number(QStringLiteral("^[1-9][0-9]*$"));
    const QRegularExpression dayFile(QStringLiteral("^([1-9][0-9]?)\\.(dat|pec)$"));
    const QDir root(paths::archiveRoot());
    for (const QString& year : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!number.match(year).hasMatch())
            continue;
        const QDir yearDir(root.filePath(year));
        for (const QString& month : yearDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (!number.match(month).hasMatch())
                continue;
            for (const QString& name : QDir(yearDir.filePath(month)).entryList(QDir::Files)) {
                const QRegularExpressionMatch m = dayFile.match(name);
                const QDate day(year.toInt(), month.toInt(), m.captured(1).toInt());
                if (m.hasMatch() && day.isValid())
                    days.insert(day);
            }
        }
    }
    return days;
}

QString time(const SealLine& line) {
    return line.printedTime.toString(QStringLiteral("HH:mm:ss"));
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QStringList findings(const DaySealReport& r) {
    const SealCheck& c = r.check;
    QStringList out;
    if (!r.unreadable.isEmpty())
        out << QStringLiteral("UNREADABLE %1 (%2)").arg(r.unreadable, native(r.sealFile));
    if (c.changed && r.dayMissing)
        out << QStringLiteral("CHANGED day file missing, first sealed ticket printed at %1 (%2)")
                   .arg(time(*c.changed), native(r.dayFile));
    else if (c.changed)
        out << QStringLiteral("CHANGED from the ticket printed at %1 (byte %2 of %3)")
                   .arg(time(*c.changed))
                   .arg(c.changedFrom)
                   .arg(native(r.dayFile));
    if (c.unsealedBytes > 0)
        out << QStringLiteral("UNSEALED %1 bytes from byte %2, after the ticket printed at %3 (%4)")
                   .arg(c.unsealedBytes)
                   .arg(c.unsealedFrom)
                   .arg(c.unsealedAfter ? time(*c.unsealedAfter) : QStringLiteral("?"),
                        native(r.dayFile));
    if (!c.damaged.empty()) {
        QStringList numbers;
        for (const int n : c.damaged)
            numbers << QString::number(n);
        out << QStringLiteral("DAMAGED-SEAL line %1 (%2)")
                   .arg(numbers.join(QStringLiteral(", ")), native(r.sealFile));
    }
    return out;
}

void print(const QDate& day, const QStringList& found) {
    std::printf("%s %s\n", qPrintable(day.toString(Qt::ISODate)),
                found.join(QStringLiteral("; ")).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString folder = defaultFolder();
    QDate from;
    QDate to;
    const QStringList args = app.arguments();
    bool folderGiven = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            if (i + 1 >= args.size())
                return usage();
            const QDate day = QDate::fromString(args.at(++i), Qt::ISODate);
            if (!day.isValid())
                return usage();
            (arg == QLatin1String("--from") ? from : to) = day;
        } else if (!arg.startsWith(QLatin1Char('-')) && !folderGiven) {
            folder = arg;
            folderGiven = true;
        } else {
            return usage();
        }
    }
    paths::setExecutableFilePath(QDir(folder).absoluteFilePath(QStringLiteral("vaznilistek")));
    if (!QFileInfo(paths::archiveRoot()).isDir()) {
        std::fprintf(stderr, "%s: no archive folder %s\n", name().constData(),
                     qPrintable(native(paths::archiveRoot())));
        return 2;
    }

    bool any = false;
    try {
        for (const QDate& day : archiveDays()) {
            if ((from.isValid() && day < from) || (to.isValid() && day > to))
                continue;
            const QString path = paths::archiveFile(day);
            const bool exists = QFileInfo::exists(path);
            QByteArray bytes;
            QString reason;
            if (exists && !wholefile::read(path, bytes, reason)) {
                print(day, {QStringLiteral("UNREADABLE %1 (%2)").arg(reason, native(path))});
                any = true;
                continue;
            }
            const std::optional<DaySealReport> report = checkArchiveDay(day, bytes, exists);
            if (report && !report->clean()) {
                print(day, findings(*report));
                any = true;
            }
        }
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s: %s\n", name().constData(), e.message().toLocal8Bit().constData());
        return 2;
    }
    return any ? 1 : 0;
}
