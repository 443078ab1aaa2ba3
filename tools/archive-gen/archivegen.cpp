#include "tools/archive-gen/archivegen.h"

#include "output/tickettext.h"
#include "platform/codepage.h"
#include "platform/paths.h"
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

} // namespace

std::vector<QStringList> generatedTickets(const QDate& date, int tickets, unsigned seed) {
    std::mt19937 rng(seed ^ unsigned(date.toJulianDay()));
    std::vector<QStringList> day;
    for (int i = 0; i < tickets; ++i)
        day.push_back(ticket(QDateTime(date, QTime(6, 0).addSecs(i * 15 * 60 + 7)), rng));
    return day;
}

QByteArray archiveDayBytes(const std::vector<QStringList>& tickets) {
    QByteArray file;
    for (const QStringList& lines : tickets) {
        for (qsizetype i = file.size() >= 128 ? 1 : 0; i < lines.size(); ++i)
            file += cp1250::encode(lines.at(i)) + "\r\n";
    }
    return file;
}

qint64 writeGeneratedArchive(const QDate& first, int days, int ticketsPerDay, unsigned seed,
                             QString& reason) {
    qint64 lines = 0;
    for (int d = 0; d < days; ++d) {
        const QDate date = first.addDays(d);
        const QByteArray bytes = archiveDayBytes(generatedTickets(date, ticketsPerDay, seed));
        const QString path = paths::archiveFile(date);
        if (!QDir().mkpath(QFileInfo(path).path())) {
            reason = QStringLiteral("cannot create the folder of ") + path;
            return -1;
        }
        if (!wholefile::replace(path, bytes, reason)) {
            reason = path + QStringLiteral(": ") + reason;
            return -1;
        }
        lines += bytes.count("\r\n");
    }
    return lines;
}
