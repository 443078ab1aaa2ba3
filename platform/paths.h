#pragma once

#include <QDate>
#include <QString>

// Files the program keeps beside its executable. Tests point the executable
// path at a temporary folder so that nothing touches the build tree.
namespace paths {

QString executableFilePath();
void setExecutableFilePath(const QString& path); // empty: back to the real one
QString executableDir();                         // with a trailing "/"

// The executable's path with its extension replaced (or added).
QString withExtension(const QString& filePath, const QString& extension);

QString settingsFile();      // <executable>.ini
QString unprintedRowsFile(); // <executable>.tmp
QString printJournalFile();  // <executable>.tisk, beside it
QString archiveRoot();       // <executable dir>/data/
// data/<year>/<month>/<day>.dat, numbers without leading zeros.
QString archiveFile(const QDate& date);
// The day's seal file beside it, data/<year>/<month>/<day>.pec.
QString archiveSealFile(const QDate& date);
QString sealFileOf(const QString& archiveFile);

} // namespace paths
