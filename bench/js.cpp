// The JavaScript context's two costs that the SDK pays up front.
//
//   BM_JSContextCreate     a context with its timers and console installed,
//                          then released
//   BM_JSEvaluate100KB     one evaluation, in a fresh context each time, of
//                          a generated 100 KB script: many small functions
//                          and a loop calling them

#include <benchmark/benchmark.h>

#include <string>

#include "core/RunLoop.h"
#include "web/JSContext.h"

namespace {

constexpr size_t kScriptBytes = 100 * 1024;

std::string generatedScript() {
    std::string script;
    size_t count = 0;
    while (script.size() < kScriptBytes - 200) {
        const std::string n = std::to_string(count++);
        script.append("function step").append(n).append("(x) { var y = x * ").append(n);
        script.append(" + 1; if (y % 3 === 0) { y = y / 3; } return (y + '").append(n);
        script.append("').length; }\n");
    }
    script.append("var total = 0;\nfor (var i = 0; i < 1000; i++) {\n");
    script.append("  total += step0(i) + step").append(std::to_string(count - 1)).append("(i);\n");
    script.append("}\ntotal;\n");
    return script;
}

void BM_JSContextCreate(benchmark::State& state) {
    for (auto _ : state) {
        auto context = web::JSContext::create();
        benchmark::DoNotOptimize(context.get());
    }
}
BENCHMARK(BM_JSContextCreate)->Unit(benchmark::kMicrosecond);

void BM_JSEvaluate100KB(benchmark::State& state) {
    const std::string script = generatedScript();
    for (auto _ : state) {
        state.PauseTiming();
        auto context = web::JSContext::create();
        state.ResumeTiming();
        const auto result = context->evaluate(script, "generated.js");
        if (!result.ok()) {
            state.SkipWithError(result.exception()->description().c_str());
            break;
        }
        state.PauseTiming();
        context.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script.size()));
}
BENCHMARK(BM_JSEvaluate100KB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
