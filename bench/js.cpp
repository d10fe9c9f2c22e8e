// The JavaScript context's costs that the SDK pays, each counted whole.
//
//   first context          printed before the runs: the first context of the
//                          process (the engine's own start-up included) made
//                          and released, timed once
//   BM_JSContextLifetime   a context with its timers and console installed,
//                          then released
//   BM_JSEvaluate100KB     a fresh context, one evaluation of a generated
//                          100 KB script of many small functions and a loop
//                          that calls every one of them, and the release

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "core/RunLoop.h"
#include "web/JSContext.h"

namespace {

constexpr size_t kScriptBytes = 100 * 1024;

std::string generatedScript() {
    std::string script;
    size_t count = 0;
    while (script.size() < kScriptBytes - 300) {
        const std::string n = std::to_string(count++);
        script.append("function step").append(n).append("(x) { var y = x * ").append(n);
        script.append(" + 1; if (y % 3 === 0) { y = y / 3; } return (y + '").append(n);
        script.append("').length; }\n");
    }
    // Every function, called through the global object by its name.
    script.append("var total = 0;\nfor (var round = 0; round < 3; round++) {\n");
    script.append("  for (var i = 0; i < ").append(std::to_string(count)).append("; i++) {\n");
    script.append("    total += this['step' + i](i + round);\n  }\n}\ntotal;\n");
    return script;
}

void BM_JSContextLifetime(benchmark::State& state) {
    for (auto _ : state) {
        auto context = web::JSContext::create();
        benchmark::DoNotOptimize(context.get());
        context.reset();
    }
}
BENCHMARK(BM_JSContextLifetime)->Unit(benchmark::kMicrosecond);

void BM_JSEvaluate100KB(benchmark::State& state) {
    const std::string script = generatedScript();
    for (auto _ : state) {
        auto context = web::JSContext::create();
        const auto result = context->evaluate(script, "generated.js");
        if (!result.ok()) {
            state.SkipWithError(result.exception()->description().c_str());
            break;
        }
        context.reset();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script.size()));
}
BENCHMARK(BM_JSEvaluate100KB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    const auto start = std::chrono::steady_clock::now();
    {
        auto first = web::JSContext::create();
        benchmark::DoNotOptimize(first.get());
    }
    const std::chrono::duration<double, std::milli> first =
        std::chrono::steady_clock::now() - start;
    std::printf("first context of the process, made and released: %.2f ms\n", first.count());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
