// Reading request heads of 1, 2 and 4 MiB as the engine proxy's connections
// do: the bytes come in reads of 1 KiB, each appended to what is buffered
// and handed to the connection's head reader. Two shapes: a long query (one
// line that ends last) and fields of 8 KiB. After the runs it prints, for
// each shape, the time of the 2 and 4 MiB heads against the 1 MiB one:
// reading that never looks at a byte again takes 2x and 4x; one that read
// the whole unfinished head again on each read would take 4x and 16x.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "web/proxy/ProxyHead.h"

namespace {

constexpr size_t kMiB = size_t(1) << 20;
constexpr size_t kReadBytes = 1024;

// A head of about bytes, under kMostHeadBytes: one long query, or fields of
// 8 KiB each (under kMostHeadFields).
std::string headOf(bool query, size_t bytes) {
    bytes = std::min(bytes, web::proxy::kMostHeadBytes - 1024);
    std::string head;
    if (query) {
        head = "GET http://h/q?" + std::string(bytes, 'q') + " HTTP/1.1\r\nHost: h\r\n\r\n";
    } else {
        head = "GET http://h/ HTTP/1.1\r\n";
        const std::string field = "X-Field: " + std::string(8192 - 11, 'f') + "\r\n";
        while (head.size() + field.size() < bytes) head += field;
        head += "\r\n";
    }
    return head;
}

void readHead(benchmark::State& state) {
    const bool query = state.range(0) == 0;
    const std::string head = headOf(query, size_t(state.range(1)) * kMiB);
    // One buffer for every run, as a connection keeps its own: the time is
    // the reading's, not the allocator's.
    std::string buffered;
    buffered.reserve(head.size());
    for (auto _ : state) {
        web::proxy::HeadReader reader;
        buffered.clear();
        web::proxy::HeadParse parse;
        for (size_t at = 0; at < head.size() && !parse.head && parse.refusal == 0;
             at += kReadBytes) {
            buffered.append(head, at, kReadBytes);
            parse = reader.read(buffered);
        }
        if (!parse.head) state.SkipWithError("no head");
        benchmark::DoNotOptimize(parse);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * head.size()));
}
BENCHMARK(readHead)
    ->ArgNames({"fields", "MiB"})
    ->ArgsProduct({{0, 1}, {1, 2, 4}})
    ->Unit(benchmark::kMillisecond);

// Console output as usual, and each run's CPU time kept for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const {
        for (const char* shape : {"0", "1"}) {
            const auto time = [&](int mebibytes) {
                const auto found = times_.find("readHead/fields:" + std::string(shape) +
                                               "/MiB:" + std::to_string(mebibytes));
                return found == times_.end() ? 0.0 : found->second;
            };
            if (time(1) <= 0) continue;
            std::printf("%s: 2 MiB take %.2fx the time of 1 MiB, 4 MiB %.2fx (linear: 2x, 4x)\n",
                        std::string(shape) == "0" ? "a long query" : "fields of 8 KiB",
                        time(2) / time(1), time(4) / time(1));
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
