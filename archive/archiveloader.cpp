#include "archive/archiveloader.h"

#include "platform/paths.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {

// Only a name that leads nowhere is a day without tickets; anything else in
// the file's place (a folder, a dangling access) is something the operator
// should hear about.
bool dayFileMissing(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) != 0 &&
           (errno == ENOENT || errno == ENOTDIR);
}

QString failure(const QString& path, const QString& reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral(" (") + reason + QLatin1Char(')');
}

} // namespace

ArchiveLoad loadArchiveRange(const QDate& first, const QDate& last) {
    ArchiveLoad load;
    if (!first.isValid() || !last.isValid())
        return load;
    QByteArray bytes;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        const QString path = paths::archiveFile(day);
        if (dayFileMissing(path))
            continue;
        QString reason;
        if (!wholefile::read(path, bytes, reason)) {
            load.failures.append(failure(path, reason));
            continue;
        }
        if (!appendArchiveFile(load.table, bytes)) {
            load.failures.append(
                failure(path, QStringLiteral("rozsah je pro prohlížení příliš velký")));
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
