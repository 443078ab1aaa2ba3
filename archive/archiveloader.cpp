#include "archive/archiveloader.h"

#include "platform/paths.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace {

struct DayFile {
    QString path;
    qint64 size = 0;
};

// Only a name that leads nowhere is a day without tickets; anything else in
// the file's place (a folder, a dangling access) is something the operator
// should hear about when it is read.
std::vector<DayFile> existingDayFiles(const QDate& first, const QDate& last) {
    std::vector<DayFile> files;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        DayFile file{paths::archiveFile(day)};
        struct stat st {};
        if (::stat(QFile::encodeName(file.path).constData(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                continue;
        } else if (S_ISREG(st.st_mode)) {
            file.size = st.st_size;
        }
        files.push_back(std::move(file));
    }
    return files;
}

QString failure(const QString& path, const QString& reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral(" (") + reason + QLatin1Char(')');
}

} // namespace

ArchiveLoad loadArchiveRange(const QDate& first, const QDate& last) {
    ArchiveLoad load;
    if (!first.isValid() || !last.isValid())
        return load;
    const std::vector<DayFile> files = existingDayFiles(first, last);
    qint64 total = 0;
    for (const DayFile& file : files)
        total += file.size;
    load.table.reserveForFileBytes(total);
    QByteArray bytes;
    for (const DayFile& file : files) {
        QString reason;
        if (!wholefile::read(file.path, bytes, reason)) {
            load.failures.append(failure(file.path, reason));
            continue;
        }
        if (!appendArchiveFile(load.table, bytes)) {
            load.failures.append(
                failure(file.path, QStringLiteral("rozsah je pro prohlížení příliš velký")));
            break;
        }
    }
    return load;
}

QString archiveFailureMessage(const QStringList& failures) {
    // A damaged month must not bring up a box taller than the screen.
    constexpr qsizetype kListed = 10;
    QString text = QStringLiteral("Nelze přečíst archivní soubor:\n") +
                   failures.first(std::min(kListed, failures.size())).join(QLatin1Char('\n'));
    if (failures.size() > kListed)
        text += QStringLiteral("\n… a další (%1)").arg(failures.size() - kListed);
    return text;
}
