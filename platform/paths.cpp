#include "platform/paths.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace paths {
namespace {
QString& overridePath() {
    static QString p;
    return p;
}
} // namespace

QString executableFilePath() {
    if (!overridePath().isEmpty())
        return overridePath();
    return QCoreApplication::applicationFilePath();
}

void setExecutableFilePath(const QString& path) {
    overridePath() = path;
}

QString executableDir() {
    QString dir = QFileInfo(executableFilePath()).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString withExtension(const QString& filePath, const QString& extension) {
    const qsizetype slash = filePath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = filePath.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1) // a leading dot names a hidden file, not an extension
        return filePath.left(dot) + extension;
    return filePath + extension;
}

QString settingsFile() {
    return withExtension(executableFilePath(), QStringLiteral(".ini"));
}

QString unprintedRowsFile() {
    return withExtension(executableFilePath(), QStringLiteral(".tmp"));
}

QString printJournalFile() {
    return withExtension(executableFilePath(), QStringLiteral(".tisk"));
}

QString archiveRoot() {
    return executableDir() + QStringLiteral("data/");
}

QString archiveFile(const QDate& date) {
    return archiveRoot() +
           QStringLiteral("%1/%2/%3.dat").arg(date.year()).arg(date.month()).arg(date.day());
}

QString archiveSealFile(const QDate& date) {
    return sealFileOf(archiveFile(date));
}

QString sealFileOf(const QString& archiveFile) {
    return withExtension(archiveFile, QStringLiteral(".pec"));
}

} // namespace paths
