#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

// Shared pieces of the benchmark programs.

// Latency figures of a run of readings as benchmark counters, in
// milliseconds: median, 99th percentile and the worst, plus readings lost.
inline double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto i = std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

inline void reportLatency(benchmark::State& state, const std::vector<double>& micros, int lost) {
    if (micros.empty()) {
        state.SkipWithError("no reading reached the label");
        return;
    }
    state.counters["p50_ms"] = percentile(micros, 0.50) / 1000.0;
    state.counters["p99_ms"] = percentile(micros, 0.99) / 1000.0;
    state.counters["max_ms"] = percentile(micros, 1.0) / 1000.0;
    state.counters["lost"] = lost;
}

// The end of every Qt benchmark program's main, once its application object
// exists.
inline int runBenchmarks(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
