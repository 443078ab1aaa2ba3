#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// Realistic archive days for benchmarks and tests: tickets laid out by the
// program's own ticket text, with the settings a station changes now and
// then mixed in (sequence numbers, time and description columns, header and
// footer texts, some with a typed "\t\t" or a "Dne" in them), appended by the
// archive writer's rule that a file of 128 bytes or more gets each ticket
// without its first line.

// The ticket texts printed on one day; the same date and seed give the same
// tickets. Ticket i is printed at generatedPrintTime(date, i), every quarter
// of an hour from 6:00:07 on.
std::vector<QStringList> generatedTickets(const QDate& date, int tickets, unsigned seed);
QDateTime generatedPrintTime(const QDate& date, int ticket);

// A day's archive file as the writer leaves it after appending `tickets`.
QByteArray archiveDayBytes(const std::vector<QStringList>& tickets);
// Its seal file, one seal line a ticket as the writer seals it.
QByteArray archiveDaySeals(const std::vector<QStringList>& tickets, const QDate& date);

// Writes `days` days from `first` on into the archive beside the executable
// path (paths::archiveFile), replacing existing files, with their seal files
// when `sealed`. Returns the number of lines written, or -1 with the reason
// when a file cannot be written.
qint64 writeGeneratedArchive(const QDate& first, int days, int ticketsPerDay, unsigned seed,
                             bool sealed, QString& reason);
