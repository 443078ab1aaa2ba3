#include "tools/archive-gen/archivegen.h"

#include "archive/archiveseal.h"
#include "output/tickettext.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/version.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <random>

namespace {

const QString kUnit = QStringLiteral("kg");

const std::array<QString, 10> kDescriptions{
    QStringLiteral("štěrk 16/32"),   QStringLiteral("písek praný"), QStringLiteral("beton C25/30"),
    QStringLiteral("Novák - odvoz"), QStringLiteral("ŽULA"),        QStringLiteral("zemina"),
    QStringLiteral("suť cihelná"),   QStringLiteral("dřevo"),       QStringLiteral("Šrot"),
    QStringLiteral("kámen lomový")};

const std::array<QString, 3> kHeaders{QStringLiteral("Štěrkovna Úvaly s.r.o.\r\nTel. 123 456 789"),
                                      QStringLiteral("Kamenolom Dnešice\r\nVážní lístek\r\n"),
                                      QStringLiteral("ZD Mělník\t\tváha 2")};

const std::array<QString, 2> kFooters{QStringLiteral("Děkujeme za návštěvu."),
                                      QStringLiteral("Převzal:\t\tPodpis:\r\n")};

QStringList ticket(const QDateTime& now, std::mt19937& rng) {
    auto chance = [&rng](int percent) { return int(rng() % 100) < percent; };
    TicketGrid grid;
    grid.setColumnWidth(TicketGrid::Time, chance(70) ? 85 : TicketGrid::kHidden);
    grid.setColumnWidth(TicketGrid::Description, chance(70) ? 130 : TicketGrid::kHidden);
    grid.writeCaptions();
    grid.reset(TicketGrid::TotalsWriter::StartUp, now, kUnit);
    const int weighings = 4 + int(rng() % 10);
    for (int i = 0; i < weighings; ++i) {
        const QDateTime at = now.addSecs(-60 * (weighings - i));
        const QString weight = QStringLiteral("%1 kg").arg(1000 + 10 * int(rng() % 3000));
        const int row = grid.addWeighing(QString::number(grid.lastRow()),
                                         at.time().toString(QStringLiteral("HH:mm:ss")), weight,
                                         TicketGrid::TotalsWriter::Weighing, at, kUnit);
        grid.setCell(TicketGrid::Description, row, kDescriptions[rng() % kDescriptions.size()]);
    }
    TicketLayoutOptions options;
    options.sequenceNumbers = chance(80);
    if (chance(50))
        options.header = kHeaders[rng() % kHeaders.size()];
    if (chance(40))
        options.footer = kFooters[rng() % kFooters.size()];
    return buildTicketText(grid, options, now);
}

void appendTicket(QByteArray& file, const QStringList& lines) {
    for (qsizetype i = file.size() >= 128 ? 1 : 0; i < lines.size(); ++i)
        file += cp1250::encode(lines.at(i)) + "\r\n";
}

bool replaceFile(const QString& path, const QByteArray& bytes, QString& reason) {
    if (!QDir().mkpath(QFileInfo(path).path())) {
        reason = QStringLiteral("cannot create the folder of ") + path;
        return false;
    }
    if (!wholefile::replace(path, bytes, reason)) {
        reason = path + QStringLiteral(": ") + reason;
        return false;
    }
    return true;
}

} // namespace

QDateTime generatedPrintTime(const QDate& date, int ticket) {
    return QDateTime(date, QTime(6, 0).addSecs(ticket * 15 * 60 + 7));
}

std::vector<QStringList> generatedTickets(const QDate& date, int tickets, unsigned seed) {
    std::mt19937 rng(seed ^ unsigned(date.toJulianDay()));
    std::vector<QStringList> day;
    for (int i = 0; i < tickets; ++i)
        day.push_back(ticket(generatedPrintTime(date, i), rng));
    return day;
}

QByteArray archiveDayBytes(const std::vector<QStringList>& tickets) {
    QByteArray file;
    for (const QStringList& lines : tickets)
        appendTicket(file, lines);
    return file;
}

QByteArray archiveDaySeals(const std::vector<QStringList>& tickets, const QDate& date) {
    QByteArray file;
    QByteArray seals;
    SealHasher hasher;
    for (size_t i = 0; i < tickets.size(); ++i) {
        const qsizetype before = file.size();
        appendTicket(file, tickets[i]);
        hasher.add(QByteArrayView(file).sliced(before));
        const QDateTime printed = generatedPrintTime(date, int(i));
        seals += encodeSealLine(
            {0, file.size(), hasher.digest(), printed.date(), printed.time(), programVersion()});
    }
    return seals;
}

qint64 writeGeneratedArchive(const QDate& first, int days, int ticketsPerDay, unsigned seed,
                             bool sealed, QString& reason) {
    qint64 lines = 0;
    for (int d = 0; d < days; ++d) {
        const QDate date = first.addDays(d);
        const std::vector<QStringList> tickets = generatedTickets(date, ticketsPerDay, seed);
        const QByteArray bytes = archiveDayBytes(tickets);
        if (!replaceFile(paths::archiveFile(date), bytes, reason) ||
            (sealed &&
             !replaceFile(paths::archiveSealFile(date), archiveDaySeals(tickets, date), reason)))
            return -1;
        lines += bytes.count("\r\n");
    }
    return lines;
}
