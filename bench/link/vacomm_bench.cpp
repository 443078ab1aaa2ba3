// Serial channel speed: how soon a reading written at the far end of the line
// shows in the weight label, and what an open port costs while the line is
// quiet. Targets: p99 latency under 2 ms; under 10 ms CPU in 10 quiet seconds.

#include "link/vacomm.h"
#include "link/weightframe.h"
#include "platform/codepage.h"
#include "tools/indicator-sim/frames.h"
#include "tools/indicator-sim/ptypair.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include "bench/support/benchsupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

void configure(TVaComm& comm, const PtyPair& pty) {
    comm.setPortNum(1);
    comm.setDevicePath(pty.slavePath());
    comm.setBaudrate(br9600);
    comm.setMonitorEvents(ceAll);
}

double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Bytes written to the pseudo-terminal's master until the label shows them,
// through the event thread, the hand-over, ReadText, cp1250 and the decoder,
// with the GUI thread asleep in its event loop as in the program.
void BM_ReadingToWeightLabel(benchmark::State& state) {
    PtyPair pty;
    TVaComm comm;
    configure(comm, pty);
    QLabel label;
    WeightDisplay display;
    QString buffer;
    QString expected;
    QEventLoop* waiting = nullptr;
    const QString unit = QStringLiteral("kg");
    comm.OnRxChar = [&](QObject*, int) {
        buffer += cp1250::decode(comm.ReadText());
        decodeWeightFrame(buffer, unit, display);
        label.setText(display.label);
        if (waiting != nullptr && label.text() == expected)
            waiting->quit();
    };
    comm.Open();

    const int readings = int(state.range(0));
    std::vector<double> micros;
    micros.reserve(std::size_t(readings));
    int lost = 0;
    for (auto _ : state) {
        for (int i = 0; i < readings; ++i) {
            indicator::Reading r;
            r.weight = 1.0 + i / 1000.0;
            const QByteArray frame = indicator::liveFrame(r, 0);
            expected = QString::number(r.weight, 'f', 3).replace('.', ',') + QStringLiteral(" kg");
            QEventLoop loop;
            waiting = &loop;
            QTimer guard;
            guard.setSingleShot(true);
            QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
            guard.start(2000);
            const auto t0 = std::chrono::steady_clock::now();
            pty.write(frame);
            loop.exec();
            const auto t1 = std::chrono::steady_clock::now();
            waiting = nullptr;
            if (label.text() != expected) {
                ++lost;
                continue;
            }
            micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
    }
    reportLatency(state, micros, lost);
}
BENCHMARK(BM_ReadingToWeightLabel)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The whole process, GUI thread and both channel threads, with the port open
// and nothing arriving.
void BM_QuietOpenPortCpu(benchmark::State& state) {
    PtyPair pty;
    TVaComm comm;
    configure(comm, pty);
    comm.OnRxChar = [&](QObject*, int) { comm.ReadText(); };
    comm.Open();
    double cpu = 0.0;
    for (auto _ : state) {
        const double before = processCpuMs();
        QEventLoop quiet;
        QTimer::singleShot(int(state.range(0)), Qt::PreciseTimer, &quiet, &QEventLoop::quit);
        quiet.exec();
        cpu = processCpuMs() - before;
    }
    state.counters["cpu_ms"] = cpu;
}
BENCHMARK(BM_QuietOpenPortCpu)
    ->Arg(10000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
