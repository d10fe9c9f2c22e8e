// The notification center with many registrations, and CSI timings ending
// in a row under one key, as a mediation waterfall of failing networks
// leaves them while timing reports are on.
//
//   BM_AddAndRemoveAmong/N          a block registration added and removed
//                                   by its token among 2N others (N blocks,
//                                   N observer objects)
//   BM_ObserverAddAndRemoveAmong/N  the same for an observer object, removed
//                                   by its address
//   BM_PostAmong/N                  a post that one of N registrations hears
//   BM_TimingsEndedUnderOneKey/N    N timings started and ended under one
//                                   key in a recorder, then read back once
//
// Adding and removing should cost nearly the same at any N; a post looks at
// every registration; N ended timings should take time in proportion to N.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "ads/foundation/DZCSITimeRecorder.h"
#include "core/NotificationCenter.h"

namespace {

using core::Notification;
using core::NotificationCenter;

// A center with N block registrations and N observer objects with theirs,
// none of which hears "n"; made once for each N, as making it is not what
// is measured.
struct Crowd {
    explicit Crowd(int64_t count) {
        for (int64_t i = 0; i < count; ++i) {
            (void)center.addObserver("other", nullptr, nullptr, [](const Notification&) {});
            auto observer = std::make_shared<int>(0);
            center.addObserver(observer, "other", nullptr, [](const Notification&) {});
            observers.push_back(std::move(observer));
        }
    }
    NotificationCenter center;
    std::vector<std::shared_ptr<int>> observers;
};

NotificationCenter& crowdedCenter(int64_t count) {
    static std::map<int64_t, std::unique_ptr<Crowd>> crowds;
    auto& crowd = crowds[count];
    if (!crowd) crowd = std::make_unique<Crowd>(count);
    return crowd->center;
}

void BM_AddAndRemoveAmong(benchmark::State& state) {
    NotificationCenter& center = crowdedCenter(state.range(0));
    for (auto _ : state) {
        center.removeObserver(
            center.addObserver("n", nullptr, nullptr, [](const Notification&) {}));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ObserverAddAndRemoveAmong(benchmark::State& state) {
    NotificationCenter& center = crowdedCenter(state.range(0));
    const auto observer = std::make_shared<int>(0);
    for (auto _ : state) {
        center.addObserver(observer, "n", nullptr, [](const Notification&) {});
        center.removeObserver(static_cast<const void*>(observer.get()));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PostAmong(benchmark::State& state) {
    NotificationCenter& center = crowdedCenter(state.range(0));
    int heard = 0;
    const auto token =
        center.addObserver("n", nullptr, nullptr, [&heard](const Notification&) { ++heard; });
    for (auto _ : state) center.post("n");
    center.removeObserver(token);
    benchmark::DoNotOptimize(heard);
    state.SetItemsProcessed(state.iterations());
}

void BM_TimingsEndedUnderOneKey(benchmark::State& state) {
    const int64_t count = state.range(0);
    for (auto _ : state) {
        const auto recorder = ads::DZCSITimeRecorder::create("load_med");
        for (int64_t i = 0; i < count; ++i) {
            recorder->startTimingVariableWithName("mlf");
            benchmark::DoNotOptimize(recorder->durationAfterEndTimingVariableWithName("mlf"));
        }
        if (recorder->completedVariables().size() != static_cast<size_t>(count))
            state.SkipWithError("a completed timing was lost");
    }
    state.SetItemsProcessed(state.iterations() * count);
}

}  // namespace

BENCHMARK(BM_AddAndRemoveAmong)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ObserverAddAndRemoveAmong)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_PostAmong)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_TimingsEndedUnderOneKey)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
