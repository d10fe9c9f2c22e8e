// Web views on the browser engine, against a loopback server.
//
//   BM_WebFirstViewReady      the process's first view made and its first
//                             page finished (runs once: the engine's start)
//   BM_WebSmallAdPage/WK|UI   a small ad page (a script, two images) from
//                             load to finished, in one view per kind
//   BM_WebEvaluateRoundTrip   a script evaluated and its result back
//   BM_WebSnapshot            a snapshot of a loaded page
//   BM_WebTenViews/related    ten views loading one page, sharing one web
//   BM_WebTenViews/separate   process or each with its own: time, and PSS
//                             over the process tree (counter pss_mb)
//   BM_WebIdle                2 s of the idle main loop (run()) with a loaded
//                             page: CPU time of the process tree, Xvfb's
//                             included (counter cpu_ms)

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "fixtures/LoopbackServer.h"
#include "gfx/Canvas.h"
#include "web/WebView.h"

namespace {

constexpr double kLimit = 30;

class Delegate : public web::WebViewDelegate {
public:
    void didFinishLoad(web::WebView&) override { ++ends; }
    void didFailLoad(web::WebView&, const web::LoadError&) override {
        ++ends;
        ++failures;
    }
    int ends = 0;
    int failures = 0;
};

fixtures::LoopbackServer& server() {
    static auto* instance = [] {
        auto* made = new fixtures::LoopbackServer;
        const auto png = gfx::Image::draw({40, 40}, 1, [](gfx::Canvas& canvas) {
                             canvas.fillRect({0, 0, 40, 40}, {0.9, 0.2, 0.1, 1});
                         })->encodePng();
        const std::string image(png.begin(), png.end());
        made->on("GET", "/ad.html", [](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text(
                "<html><body style='margin:0'><div id=ad><img src='/a.png'><img src='/b.png'>"
                "</div><script src='/ad.js'></script></body></html>",
                200, "text/html");
        });
        made->on("GET", "/ad.js", [](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text(
                "document.getElementById('ad').dataset.ready = '1';", 200, "text/javascript");
        });
        for (const char* path : {"/a.png", "/b.png"}) {
            made->on("GET", path, [image](const fixtures::LoopbackRequest&) {
                return fixtures::LoopbackResponse::bytes(image, "image/png");
            });
        }
        return made;
    }();
    return *instance;
}

bool run(const std::function<bool()>& until) {
    return core::RunLoop::main().runUntil(until, kLimit);
}

bool load(web::WebView& view, Delegate& delegate) {
    const int before = delegate.ends;
    view.loadRequest(core::URLRequest(server().url("/ad.html")));
    return run([&] { return delegate.ends > before; }) && delegate.failures == 0;
}

std::shared_ptr<web::WebView> makeView(web::WebViewConfiguration configuration,
                                       const std::shared_ptr<Delegate>& delegate) {
    auto view = web::WebView::create({0, 0, 320, 50}, std::move(configuration));
    if (view) view->setDelegate(delegate);
    return view;
}

// This process and its descendants.
std::vector<pid_t> processTree() {
    std::vector<pid_t> tree{getpid()};
    for (size_t i = 0; i < tree.size(); ++i) {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            if (!std::getline(stat, line)) continue;
            const size_t close = line.rfind(')');
            if (close == std::string::npos) continue;
            std::istringstream rest(line.substr(close + 2));
            char state = 0;
            pid_t parent = 0;
            rest >> state >> parent;
            if (parent == tree[i])
                tree.push_back(pid_t(std::stoi(entry.path().filename().string())));
        }
    }
    return tree;
}

double pssMegabytes() {
    double kilobytes = 0;
    for (const pid_t pid : processTree()) {
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        std::string name;
        double value = 0;
        std::string unit;
        while (rollup >> name) {
            if (name == "Pss:") {
                rollup >> value >> unit;
                kilobytes += value;
                break;
            }
            rollup.ignore(1 << 16, '\n');
        }
    }
    return kilobytes / 1024;
}

// CPU time of this process (precise) and of the others given (in clock
// ticks), in milliseconds.
double cpuMilliseconds(const std::vector<pid_t>& others) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double milliseconds = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                          (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    double ticks = 0;
    for (const pid_t pid : others) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14 || i == 15) ticks += std::stod(field);
        }
    }
    return milliseconds + ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

void BM_WebFirstViewReady(benchmark::State& state) {
    for (auto _ : state) {
        const auto delegate = std::make_shared<Delegate>();
        const auto view = makeView({}, delegate);
        if (!view) {
            state.SkipWithError("no web view");
            break;
        }
        view->loadHTMLString("<p>ready</p>", std::nullopt);
        if (!run([&] { return delegate->ends > 0; })) state.SkipWithError("not loaded");
    }
}
BENCHMARK(BM_WebFirstViewReady)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WebSmallAdPage(benchmark::State& state, web::WebViewConfiguration::Kind kind) {
    web::WebViewConfiguration configuration;
    configuration.kind = kind;
    const auto delegate = std::make_shared<Delegate>();
    const auto view = makeView(configuration, delegate);
    if (!view || !load(*view, *delegate)) {
        state.SkipWithError("cannot load the page");
        return;
    }
    for (auto _ : state) {
        if (!load(*view, *delegate)) {
            state.SkipWithError("load failed");
            break;
        }
    }
}
BENCHMARK_CAPTURE(BM_WebSmallAdPage, WK, web::WebViewConfiguration::Kind::WK)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WebSmallAdPage, UI, web::WebViewConfiguration::Kind::UI)
    ->Unit(benchmark::kMillisecond);

void BM_WebEvaluateRoundTrip(benchmark::State& state) {
    const auto delegate = std::make_shared<Delegate>();
    const auto view = makeView({}, delegate);
    if (!view || !load(*view, *delegate)) {
        state.SkipWithError("cannot load the page");
        return;
    }
    for (auto _ : state) {
        bool answered = false;
        view->evaluateJavaScript("document.getElementById('ad').dataset.ready",
                                 [&](web::JSResult) { answered = true; });
        if (!run([&] { return answered; })) state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_WebEvaluateRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_WebSnapshot(benchmark::State& state) {
    const auto delegate = std::make_shared<Delegate>();
    const auto view = makeView({}, delegate);
    if (!view || !load(*view, *delegate)) {
        state.SkipWithError("cannot load the page");
        return;
    }
    for (auto _ : state) {
        bool taken = false;
        view->takeSnapshot([&](gfx::ImagePtr) { taken = true; });
        if (!run([&] { return taken; })) state.SkipWithError("no snapshot");
    }
}
BENCHMARK(BM_WebSnapshot)->Unit(benchmark::kMillisecond);

void BM_WebTenViews(benchmark::State& state) {
    const bool related = state.range(0) != 0;
    double pss = 0;
    for (auto _ : state) {
        const auto delegate = std::make_shared<Delegate>();
        std::vector<std::shared_ptr<web::WebView>> views;
        for (int i = 0; i < 10; ++i) {
            web::WebViewConfiguration configuration;
            if (related && !views.empty()) configuration.relatedView = views.front();
            views.push_back(makeView(configuration, delegate));
            if (!views.back()) break;
            views.back()->loadRequest(core::URLRequest(server().url("/ad.html")));
        }
        if (views.size() != 10 || !views.back() || !run([&] { return delegate->ends == 10; })) {
            state.SkipWithError("views did not load");
            break;
        }
        state.PauseTiming();
        pss = pssMegabytes();
        views.clear();
        // Let the engine end the web processes before the next round.
        (void)core::RunLoop::main().runUntil([] { return false; }, 0.5);
        state.ResumeTiming();
    }
    state.counters["pss_mb"] = pss;
}
BENCHMARK(BM_WebTenViews)
    ->ArgName("related")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_WebIdle(benchmark::State& state) {
    const auto delegate = std::make_shared<Delegate>();
    const auto view = makeView({}, delegate);
    if (!view || !load(*view, *delegate)) {
        state.SkipWithError("cannot load the page");
        return;
    }
    double cpu = 0;
    for (auto _ : state) {
        std::vector<pid_t> others = processTree();
        others.erase(others.begin());  // this process, measured precisely
        const double before = cpuMilliseconds(others);
        // run() sleeps until its stop: no predicate polling of its own.
        core::Timer::schedule(core::RunLoop::main(), 2.0, false,
                              [](core::Timer&) { core::RunLoop::main().stop(); });
        core::RunLoop::main().run();
        cpu = cpuMilliseconds(others) - before;
    }
    state.counters["cpu_ms"] = cpu;
}
BENCHMARK(BM_WebIdle)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
