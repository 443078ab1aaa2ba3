// Archive browser speed and memory on generated archives of one year (about
// 175,000 lines) and five years, with `cat` and `grep -c -i` over the same
// files for scale. Targets for a year: load under 250 ms and 150 MB of peak
// memory, with the check of the seals costing at most a quarter more than a
// load without it; a search that finds nothing under 30 ms, opening the
// window and drawing the first screen under 100 ms, exporting the loaded rows
// to a CSV file well under a second; five years should cost about five times
// as much.
//
// The archive, sealed, is written once to $TMPDIR/weigh-archive-bench-sealed
// and reused.
// Run: build/bench/archive/archive_bench
#include "archive/archivecsv.h"
#include "archive/archivegrid.h"
#include "archive/archiveloader.h"
#include "archive/archivesearch.h"
#include "archive/unit4.h"
#include "platform/clock.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "tools/archive-gen/archivegen.h"

#include "bench/support/benchsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const QDate kLastDay(2026, 12, 7);
constexpr int kMaxDays = 5 * 365;
const QString kNowhere = QStringLiteral("nenalezeno");

QDate firstDay(int days) {
    return kLastDay.addDays(1 - days);
}

// The archive beside a pretend executable in a fixed scratch folder, made
// once: five years take a while to generate.
void prepareArchive() {
    const QString dir = QDir::tempPath() + QStringLiteral("/weigh-archive-bench-sealed");
    paths::setExecutableFilePath(dir + QStringLiteral("/vaznilistek"));
    const QString done = dir + QStringLiteral("/complete");
    if (QFileInfo::exists(done))
        return;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QString reason;
    if (writeGeneratedArchive(firstDay(kMaxDays), kMaxDays, 40, 1, true, reason) < 0)
        qFatal("cannot write the archive: %s", qPrintable(reason));
    QFile(done).open(QIODevice::WriteOnly);
}

std::vector<QByteArray> dayFiles(int days) {
    std::vector<QByteArray> files;
    for (QDate d = firstDay(days); d <= kLastDay; d = d.addDays(1))
        files.push_back(QFile::encodeName(paths::archiveFile(d)));
    return files;
}

// Peak memory is measured from a reset of the kernel's high-water mark.
qint64 statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Freed heap goes back to the system first, so that a load's growth shows.
void resetPeakMemory() {
    malloc_trim(0);
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Second argument: 1 checks the seals as the browser does, 0 leaves them.
void BM_Load(benchmark::State& state) {
    const int days = int(state.range(0));
    const SealChecking checking = state.range(1) ? SealChecking::On : SealChecking::Off;
    qint64 growthKiB = 0;
    qint64 peakKiB = 0;
    int rows = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const qint64 before = statusKiB("VmRSS:");
        const auto start = Clock::now();
        ArchiveLoad load = loadArchiveRange(firstDay(days), kLastDay, checking);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        peakKiB = std::max(peakKiB, statusKiB("VmHWM:"));
        growthKiB = std::max(growthKiB, statusKiB("VmHWM:") - before);
        rows = load.table.rowCount();
        if (!load.seals.empty())
            state.SkipWithError("the generated archive does not pass its seals");
        benchmark::DoNotOptimize(load);
    }
    state.counters["rows"] = rows;
    // The whole process (Qt included) at its highest, and what the load added.
    state.counters["peak_MB"] = double(peakKiB) / 1024.0;
    state.counters["load_MB"] = double(growthKiB) / 1024.0;
}
BENCHMARK(BM_Load)
    ->ArgsProduct({{365, kMaxDays}, {0, 1}})
    ->ArgNames({"days", "seals"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SearchFindingNothing(benchmark::State& state) {
    const ArchiveLoad load = loadArchiveRange(firstDay(int(state.range(0))), kLastDay);
    ArchiveSearch search;
    search.text = kNowhere;
    for (auto _ : state)
        if (findArchiveRow(load.table, 1, search, conventions().language) != -1)
            state.SkipWithError("found what is not there");
    state.counters["rows"] = load.table.rowCount();
}
BENCHMARK(BM_SearchFindingNothing)->Arg(365)->Arg(kMaxDays)->Unit(benchmark::kMillisecond);

// What the export button costs once the operator has named the file: the
// rows turned into CSV and the file replaced (written, synced, renamed).
void BM_ExportCsv(benchmark::State& state) {
    const ArchiveLoad load = loadArchiveRange(firstDay(int(state.range(0))), kLastDay);
    const QString path = QDir::tempPath() + QStringLiteral("/weigh-archive-bench-export.csv");
    QString message;
    for (auto _ : state)
        if (!writeArchiveCsv(load.table, path, message))
            state.SkipWithError(message.toUtf8().constData());
    state.counters["rows"] = load.table.rowCount();
    state.counters["file_MB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    QFile::remove(path);
}
BENCHMARK(BM_ExportCsv)->Arg(365)->Arg(kMaxDays)->Unit(benchmark::kMillisecond)->UseRealTime();

// From creating the window to its first screen drawn, with the range's
// rows already loaded (the load is measured above): what the window itself
// adds to a load.
void BM_OpenWindowFirstScreen(benchmark::State& state) {
    const ArchiveLoad load = loadArchiveRange(firstDay(int(state.range(0))), kLastDay);
    for (auto _ : state) {
        ArchiveTable rows = load.table;
        const auto start = Clock::now();
        {
            TForm4 form;
            form.show();
            form.showLoaded(std::move(rows));
            benchmark::DoNotOptimize(form.grab());
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        }
    }
}
BENCHMARK(BM_OpenWindowFirstScreen)
    ->Arg(365)
    ->Arg(kMaxDays)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// What the operator waits for: the window opened, the first date moved back
// over the range, the rows loaded and drawn.
void BM_OpenWindowLoadRange(benchmark::State& state) {
    for (auto _ : state) {
        TForm4 form;
        form.show();
        form.DateTimePicker1->setDate(firstDay(int(state.range(0))));
        benchmark::DoNotOptimize(form.grab());
        state.counters["rows"] = form.StringGrid1->rowCount();
    }
}
BENCHMARK(BM_OpenWindowLoadRange)->Arg(365)->Arg(kMaxDays)->Unit(benchmark::kMillisecond);

// The same files through standard tools, as a yardstick.
void runTool(benchmark::State& state, std::vector<QByteArray> args) {
    const std::vector<QByteArray> files = dayFiles(int(state.range(0)));
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
            state.SkipWithError("the tool failed");
    }
    posix_spawn_file_actions_destroy(&actions);
}

void BM_Cat(benchmark::State& state) {
    runTool(state, {"cat"});
}
BENCHMARK(BM_Cat)->Arg(365)->Arg(kMaxDays)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrepCountIgnoreCase(benchmark::State& state) {
    runTool(state, {"grep", "-c", "-i", kNowhere.toUtf8()});
}
BENCHMARK(BM_GrepCountIgnoreCase)
    ->Arg(365)
    ->Arg(kMaxDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setConventions(LocaleConventions::czech());
    setMessageSink([](MessageKind, const QString&) {});
    clock_::setNow([] { return QDateTime(kLastDay, QTime(21, 5, 9)); });
    prepareArchive();
    return runBenchmarks(argc, argv);
}
