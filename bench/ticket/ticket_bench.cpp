#include "platform/localeconventions.h"
#include "ticket/ticketgrid.h"
#include "ticket/ticketkeeper.h"
#include "ticket/unprintedrows.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));
const QString kUnit = QStringLiteral("kg");

TicketGrid ticketWithRows(int rows) {
    TicketGrid grid;
    grid.writeCaptions();
    grid.writeTotals(TicketGrid::TotalsWriter::StartUp, kNow, kUnit);
    while (grid.rowCount() < rows)
        grid.addWeighing(QString::number(grid.lastRow()), QStringLiteral("10:00:00"),
                         QStringLiteral("1234,5 kg"), TicketGrid::TotalsWriter::Weighing, kNow,
                         kUnit);
    return grid;
}

// The time of one weighing when the ticket already holds the given number of
// rows. Each iteration drops the row it added again, so that every weighing
// meets a grid of the same size; dropping a row costs the same at any size.
void addWeighingAtRow(benchmark::State& state) {
    setConventions(LocaleConventions::czech());
    TicketGrid grid = ticketWithRows(int(state.range(0)));
    const QString sequence = QStringLiteral("17");
    const QString time = QStringLiteral("10:00:00");
    const QString weight = QStringLiteral("1234,5 kg");
    for (auto _ : state) {
        benchmark::DoNotOptimize(grid.addWeighing(sequence, time, weight,
                                                  TicketGrid::TotalsWriter::Weighing, kNow, kUnit));
        grid.setRowCount(grid.rowCount() - 1);
        --grid.weighingCount;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(addWeighingAtRow)->Arg(10)->Arg(10000);

void loadUnprintedRowsFile(benchmark::State& state) {
    setConventions(LocaleConventions::czech());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vaznilistek.tmp"));
    saveUnprintedRows(ticketWithRows(int(state.range(0))), path);
    for (auto _ : state) {
        TicketGrid grid;
        loadUnprintedRows(path, grid);
        benchmark::DoNotOptimize(grid.weightSum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(loadUnprintedRowsFile)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The write that follows every change of the ticket (atomic replace, file and
// folder synced), which the OK action waits for. Times are spread, as disks
// are, so the 99th percentile is reported beside the mean.
void keepTicketAfterAChange(benchmark::State& state) {
    setConventions(LocaleConventions::czech());
    QTemporaryDir dir;
    TicketKeeper keeper(dir.filePath(QStringLiteral("vaznilistek.tmp")));
    const TicketGrid grid = ticketWithRows(int(state.range(0)));
    quint64 revision = 0;
    for (auto _ : state)
        keeper.keep(grid, ++revision);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(keepTicketAfterAChange)
    ->Arg(10)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(200)
    ->Iterations(1)
    ->ComputeStatistics("p99",
                        [](const std::vector<double>& v) {
                            std::vector<double> sorted = v;
                            std::sort(sorted.begin(), sorted.end());
                            return sorted[size_t(double(sorted.size() - 1) * 0.99)];
                        })
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
