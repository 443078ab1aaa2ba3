// Ticket output and print-frame decoding against the serial line's pace: at
// 9600 bit/s (10 bits a character) one byte takes about 1.04 ms, so an
// 18-byte item frame takes about 18.75 ms to arrive.
#include "archive/archiveseal.h"
#include "link/printframe.h"
#include "output/archivewriter.h"
#include "output/tickettext.h"
#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/version.h"
#include "platform/wholefile.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(21, 5, 9));
const QString kg = QStringLiteral("kg");

TicketGrid ticketOf(int rows) {
    TicketGrid grid;
    grid.setColumnWidth(TicketGrid::Time, 85);
    grid.setColumnWidth(TicketGrid::Description, 130);
    grid.writeCaptions();
    grid.reset(TicketGrid::TotalsWriter::StartUp, kNow, kg);
    for (int i = 1; i <= rows; ++i) {
        const int row = grid.addWeighing(QString::number(i), QStringLiteral("12:34:56"),
                                         QStringLiteral("%1,500 kg").arg(i),
                                         TicketGrid::TotalsWriter::Weighing, kNow, kg);
        grid.setCell(TicketGrid::Description, row, QStringLiteral("štěrk 16/32"));
    }
    return grid;
}

void BM_BuildTicketText(benchmark::State& state) {
    const TicketGrid grid = ticketOf(int(state.range(0)));
    TicketLayoutOptions options;
    options.header = QStringLiteral("Štěrkovna Úvaly\r\nTel. 123 456 789\r\n");
    for (auto _ : state)
        benchmark::DoNotOptimize(buildTicketText(grid, options, kNow));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildTicketText)->Arg(1000)->Unit(benchmark::kMillisecond);

// Each iteration appends to a fresh day file, fsync included.
void BM_AppendToArchive(benchmark::State& state) {
    ScratchExecutableDir dir;
    setMessageSink([](MessageKind, const QString&) {});
    const QStringList lines = buildTicketText(ticketOf(int(state.range(0))), {}, kNow);
    int day = 0;
    for (auto _ : state) {
        const QDateTime printed(QDate(2000, 1, 1).addDays(day++), QTime(8, 0));
        if (!appendToArchive(lines, printed))
            state.SkipWithError("archive not written");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendToArchive)->Arg(1000)->Unit(benchmark::kMillisecond);

// What sealing adds to a print's archive append: a ticket of 20 weighings
// appended to a day that already holds about `day_KB` of sealed tickets,
// with its seal line (seal:1; the day's run read back and hashed, the line
// written and synced) and without one (seal:0, the seal file refused as an
// unwritable one is: only the ticket is written and synced). Each iteration
// starts from the same day again.
void BM_AppendSealed(benchmark::State& state) {
    ScratchExecutableDir dir;
    setMessageSink([](MessageKind, const QString&) {});
    const QStringList lines = buildTicketText(ticketOf(20), {}, kNow);
    QByteArray ticket;
    for (const QString& line : lines)
        ticket += cp1250::encode(line) + "\r\n";
    QByteArray day;
    while (day.size() < state.range(0) * 1024)
        day += ticket;
    SealHasher hasher;
    hasher.add(day);
    const QByteArray seals = encodeSealLine(
        {0, day.size(), hasher.digest(), kNow.date(), kNow.time(), programVersion()});
    const QString dayFile = paths::archiveFile(kNow.date());
    QDir().mkpath(QFileInfo(dayFile).path());
    if (!state.range(1))
        setArchiveFaultHook(
            [](ArchiveStep step) { return step == ArchiveStep::SealOpen ? EACCES : 0; });
    for (auto _ : state) {
        // On disk already, as earlier prints left them.
        QString reason;
        if (!wholefile::replace(dayFile, day, reason) ||
            !wholefile::replace(paths::archiveSealFile(kNow.date()), seals, reason))
            state.SkipWithError(reason.toUtf8().constData());
        const auto start = std::chrono::steady_clock::now();
        if (!appendToArchive(lines, kNow))
            state.SkipWithError("archive not written");
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    setArchiveFaultHook({});
}
BENCHMARK(BM_AppendSealed)
    ->ArgsProduct({{100, 1024}, {0, 1}})
    ->ArgNames({"day_KB", "seal"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// 10,000 item frames, one per delivery as they arrive from the line: each is
// held at its delivery and released when the line has gone quiet.
void BM_DecodePrintFrames(benchmark::State& state) {
    QStringList frames;
    for (int i = 0; i < 10000; ++i)
        frames.append(QStringLiteral("%1, %2.25 kg").arg(i % 1000, 3).arg(i % 100, 3) +
                      QStringLiteral("  \r\n"));
    if (frames[0].size() != 18) {
        state.SkipWithError("bench frame is not 18 characters");
        return;
    }
    for (auto _ : state) {
        QString buffer;
        int decoded = 0;
        for (const QString& f : frames) {
            buffer += f;
            decoded += int(takePrintFrames(buffer, kg, QLatin1Char(','), false).size());
            decoded += int(takePrintFrames(buffer, kg, QLatin1Char(','), true).size());
        }
        if (decoded != frames.size())
            state.SkipWithError("frames lost");
    }
    state.SetItemsProcessed(state.iterations() * frames.size());
}
BENCHMARK(BM_DecodePrintFrames)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
