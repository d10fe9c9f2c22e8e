#pragma once
// Percentiles of repeated benchmark runs, for ComputeStatistics, and the
// set-up of a benchmark timed as repeated single loads.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace benchsupport {

// The value at the fraction (0..1) of the sorted values, nearest rank.
inline double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = size_t(fraction * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline double p95(const std::vector<double>& values) {
    return percentile(values, 0.95);
}

// One load per repetition, in milliseconds of real time; only the
// aggregates and the p95 are reported. For Apply().
template <int Repetitions>
void repeatedLoads(benchmark::internal::Benchmark* run) {
    run->Iterations(1)
        ->Repetitions(Repetitions)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("p95", p95)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace benchsupport
