// Web views on the browser engine, against a loopback server.
//
//   BM_WebFirstViewReady      the process's first view made and its first
//                             page finished (runs once: the engine's start)
//   BM_WebSmallAdPage/WK|UI   a small ad page (a script, two images) from
//                             load to finished, in one view per kind
//   BM_WebHundredResources    a page of 100 small images, each named anew in
//                             every round so nothing comes from a cache,
//                             from load to finished: a "UI"-kind view (its
//                             loads through the app's proxy) and a "WK"-kind
//                             one in turn, 15 rounds each; the summary
//                             prints the ratio of their medians
//   BM_WebPageMarkSeal        the page mark of one request sealed, as the web
//                             process extension does for each request of a
//                             "UI"-kind page
//   BM_WebPageMarkOpen        and opened, as the proxy does
//   BM_WebEvaluateRoundTrip   a script evaluated and its result back
//   BM_WebSnapshot            a snapshot of a loaded page
//   BM_WebTenViews/related    ten views loading one page, sharing one web
//   BM_WebTenViews/separate   process or each with its own: time, and PSS
//                             over the process tree (counter pss_mb)
//   BM_WebIdle                2 s of the idle main loop (run()) with a loaded
//                             page: CPU time of the process tree, Xvfb's
//                             included (counter cpu_ms)
//   BM_WebLiveBanner          a 320x50 banner animating (a CSS animation and
//                             a canvas drawn on every animation frame) in
//                             the app's window shown in a desktop window
//                             (on the display the engine uses), 3 s: the
//                             banner's pictures reaching the renderer per
//                             second (updates_per_s), the window's frames
//                             per second, and CPU as a share of one core:
//                             the app and its web process together
//                             (app_web_cpu_pct), each alone, and the rest of
//                             the tree (the engine's network process, Xvfb)
//   BM_WebLiveIdle            the same window with a page that does not
//                             change, 3 s: the same counters
//
// Against the bare engine (bench_bare_web: the engine used directly with
// the same settings), in the same run, the summary printing each ratio:
//   BM_WebVersusBare/load     the small ad page in a "WK"-kind view, median
//   BM_WebVersusBare/snapshot of 20 loads (snapshots), and the bare
//                             program's median of 20; five rounds taken in
//                             turn, the medians of the rounds compared
//   BM_BareLiveBanner         the bare program showing the live banner:
//                             updates_per_s and app_web_cpu_pct, compared
//                             with BM_WebLiveBanner's

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>
#include <sstream>

#include "BarePeer.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "display/DesktopWindow.h"
#include "fixtures/LoopbackServer.h"
#include "gfx/Canvas.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Window.h"
#include "web/PageMark.h"
#include "web/WebView.h"

namespace {

constexpr double kLimit = 30;

// What the summary compares, filled by the runs.
struct Figures {
    double loadMs = 0, bareLoadMs = 0;
    double snapshotMs = 0, bareSnapshotMs = 0;
    double liveUpdates = 0, liveCPU = 0, bareLiveUpdates = 0, bareLiveCPU = 0;
    double hundredUIMs = 0, hundredWKMs = 0;
};
Figures figures;

// Our views draw at the device's scale: so does the bare program.
double deviceScale() {
    return std::max(1.0, ui::DeviceProfile::current().scale);
}

double medianOf(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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
        // 100 images, named by their query.
        made->on("GET", "/hundred.html", [](const fixtures::LoopbackRequest& request) {
            std::string html = "<html><body style='margin:0'>";
            for (int i = 0; i < 100; ++i) {
                html += "<img width=4 height=4 src='/small.png?" + request.rawQuery + "-" +
                        std::to_string(i) + "'>";
            }
            return fixtures::LoopbackResponse::text(html + "</body></html>", 200, "text/html");
        });
        for (const char* path : {"/a.png", "/b.png", "/small.png"}) {
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

void BM_WebHundredResources(benchmark::State& state) {
    using Kind = web::WebViewConfiguration::Kind;
    std::map<Kind, std::vector<double>> times;
    std::map<Kind, std::shared_ptr<web::WebView>> views;
    const auto delegate = std::make_shared<Delegate>();
    for (const Kind kind : {Kind::UI, Kind::WK}) {
        web::WebViewConfiguration configuration;
        configuration.kind = kind;
        views[kind] = makeView(configuration, delegate);
        if (!views[kind]) {
            state.SkipWithError("no web view");
            return;
        }
    }
    int round = 0;
    const auto loadOnce = [&](Kind kind) {
        const int before = delegate->ends;
        const auto start = std::chrono::steady_clock::now();
        views[kind]->loadRequest(
            core::URLRequest(server().url("/hundred.html?r" + std::to_string(++round))));
        if (!run([&] { return delegate->ends > before; }) || delegate->failures > 0) return false;
        times[kind].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        return true;
    };
    for (auto _ : state) {
        // A first load of each starts its processes and connections.
        for (const Kind kind : {Kind::UI, Kind::WK}) {
            if (!loadOnce(kind)) {
                state.SkipWithError("the page did not load");
                return;
            }
        }
        times.clear();
        for (int i = 0; i < 15; ++i) {
            for (const Kind kind : {Kind::UI, Kind::WK}) {
                if (!loadOnce(kind)) {
                    state.SkipWithError("the page did not load");
                    return;
                }
            }
        }
    }
    figures.hundredUIMs = medianOf(times[Kind::UI]);
    figures.hundredWKMs = medianOf(times[Kind::WK]);
    state.counters["ui_ms"] = figures.hundredUIMs;
    state.counters["wk_ms"] = figures.hundredWKMs;
}
BENCHMARK(BM_WebHundredResources)->Iterations(1)->Unit(benchmark::kMillisecond);

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

// Rounds taken in turn: ours (a "WK"-kind view: the median of 20), then
// the bare program's (its own median of 20).
void BM_WebVersusBare(benchmark::State& state, bool snapshots) {
    web::WebViewConfiguration configuration;
    configuration.kind = web::WebViewConfiguration::Kind::WK;
    const auto delegate = std::make_shared<Delegate>();
    const auto view = makeView(configuration, delegate);
    if (!view || !load(*view, *delegate)) {
        state.SkipWithError("cannot load the page");
        return;
    }
    const std::string url = server().url("/ad.html").absoluteString();
    std::vector<double> ours, bare;
    for (auto _ : state) {
        std::vector<double> times;
        for (int i = 0; i < 20; ++i) {
            const auto start = std::chrono::steady_clock::now();
            bool done = false;
            if (snapshots) {
                view->takeSnapshot([&](gfx::ImagePtr) { done = true; });
                done = run([&] { return done; });
            } else {
                done = load(*view, *delegate);
            }
            if (!done) {
                state.SkipWithError("a load or snapshot failed");
                return;
            }
            times.push_back(std::chrono::duration<double, std::milli>(
                                std::chrono::steady_clock::now() - start)
                                .count());
        }
        ours.push_back(medianOf(times));
        const auto peer = benchsupport::runBarePeer({snapshots ? "snapshot" : "load", url, "20"},
                                                     deviceScale());
        const char* field = snapshots ? "snapshot_ms" : "load_ms";
        if (!peer.count(field)) {
            state.SkipWithError("bench_bare_web failed");
            return;
        }
        bare.push_back(peer.at(field));
    }
    state.counters["ours_ms"] = medianOf(ours);
    state.counters["bare_ms"] = medianOf(bare);
    state.counters["ratio"] = medianOf(ours) / medianOf(bare);
    (snapshots ? figures.snapshotMs : figures.loadMs) = medianOf(ours);
    (snapshots ? figures.bareSnapshotMs : figures.bareLoadMs) = medianOf(bare);
}
BENCHMARK_CAPTURE(BM_WebVersusBare, load, false)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WebVersusBare, snapshot, true)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_WebTenViews(benchmark::State& state) {
    const bool related = state.range(0) != 0;
    double pss = 0;
    for (auto _ : state) {
        const auto delegate = std::make_shared<Delegate>();
        std::vector<std::shared_ptr<web::WebView>> views;
        for (int i = 0; i < 10; ++i) {
            web::WebViewConfiguration configuration;
            if (related && !views.empty()) configuration.relatedView = views.front();
            configuration.ownWebProcess = !related;
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

// CPU seconds of a process: its own (precise) for this one, else from
// /proc in clock ticks.
double cpuSeconds(pid_t pid) {
    if (pid == getpid()) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stod(field);
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

std::string commandOf(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// CPU seconds by part: this process, the engine's web processes, the rest
// of the tree (taken once, before the measured span: walking /proc costs
// more than the idle app does).
struct CPUShares {
    double app = 0;
    double web = 0;
    double rest = 0;
};

CPUShares cpuShares(const std::vector<pid_t>& tree) {
    CPUShares shares;
    for (const pid_t pid : tree) {
        const double seconds = cpuSeconds(pid);
        if (pid == getpid())
            shares.app += seconds;
        else if (commandOf(pid).rfind("WebKitWebProces", 0) == 0)
            shares.web += seconds;
        else
            shares.rest += seconds;
    }
    return shares;
}

struct LiveFigures {
    double updates = 0;
    double cpu = 0;
};
LiveFigures lastLive;

// A page in the app's window (the device's screen) shown in a desktop
// window, measured for `seconds` after a second of warming up.
void measureInWindow(benchmark::State& state, const std::string& html, double seconds) {
    const auto delegate = std::make_shared<Delegate>();
    const auto view = makeView({}, delegate);
    if (!view) {
        state.SkipWithError("no web view");
        return;
    }
    const auto window = std::make_shared<ui::Window>();
    window->setBackgroundColor(gfx::Color::white());
    view->setFrame({(window->bounds().size.width - 320) / 2, 100, 320, 50});
    window->addSubview(view);
    std::string error;
    auto desktop = display::DesktopWindow::create(window, "bench", &error);
    if (!desktop) {
        state.SkipWithError(("no desktop window: " + error).c_str());
        return;
    }
    view->loadHTMLString(html, std::nullopt);
    if (!run([&] { return delegate->ends > 0; })) {
        state.SkipWithError("not loaded");
        return;
    }
    double updates = 0, frames = 0;
    CPUShares used;
    for (auto _ : state) {
        // One run of the window, as the app runs: a second to warm up, then
        // the measured span.
        CPUShares before;
        std::vector<pid_t> tree;
        std::uint64_t pictures = 0;
        size_t framesBefore = 0;
        auto start = std::chrono::steady_clock::now();
        const auto begin = core::Timer::schedule(core::RunLoop::main(), 1.0, false,
                                                 [&](core::Timer&) {
                                                     tree = processTree();
                                                     before = cpuShares(tree);
                                                     pictures = view->pictureCount();
                                                     framesBefore = desktop->frameCount();
                                                     start = std::chrono::steady_clock::now();
                                                 });
        const auto end = core::Timer::schedule(
            core::RunLoop::main(), 1.0 + seconds, false, [&](core::Timer&) {
                const double elapsed =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                        .count();
                const CPUShares after = cpuShares(tree);
                updates = double(view->pictureCount() - pictures) / elapsed;
                frames = double(desktop->frameCount() - framesBefore) / elapsed;
                used = {(after.app - before.app) / elapsed * 100,
                        (after.web - before.web) / elapsed * 100,
                        (after.rest - before.rest) / elapsed * 100};
                ui::Application::shared().terminate();
            });
        desktop->run();
    }
    state.counters["updates_per_s"] = updates;
    state.counters["frames_per_s"] = frames;
    state.counters["app_web_cpu_pct"] = used.app + used.web;
    state.counters["app_cpu_pct"] = used.app;
    state.counters["web_cpu_pct"] = used.web;
    state.counters["rest_cpu_pct"] = used.rest;
    lastLive = {updates, used.app + used.web};
}

constexpr const char* kBanner = R"(<html><head><style>
body { margin: 0; width: 320px; height: 50px; overflow: hidden; background: #12324a }
#chip { position: absolute; top: 10px; left: 0; width: 30px; height: 30px; border-radius: 15px;
        background: #fc0; animation: slide 1.5s ease-in-out infinite alternate }
@keyframes slide { from { transform: translateX(0) } to { transform: translateX(280px) } }
canvas { position: absolute; left: 0; top: 0 }
</style></head><body><canvas id=strip width=320 height=50></canvas><div id=chip></div>
<script>
const strip = document.getElementById('strip').getContext('2d');
function frame(time) {
  strip.clearRect(0, 0, 320, 50);
  strip.fillStyle = 'hsl(' + Math.floor(time / 10) % 360 + ', 80%, 55%)';
  strip.fillRect(Math.floor(time / 8) % 320, 0, 40, 50);
  requestAnimationFrame(frame);
}
requestAnimationFrame(frame);
</script></body></html>)";

// The figures of one request of a page on another host.
struct MarkedRequest {
    web::protocol::PageMarkSeal seal{"00112233445566778899aabbccddeeff"};
    const std::string document = "https://ads.example.test/creative/page.html?id=1234567890";
    const std::string url = "https://cdn.example.test/assets/images/banner-320x50.png?v=42";
};

void BM_WebPageMarkSeal(benchmark::State& state) {
    MarkedRequest request;
    for (auto _ : state)
        benchmark::DoNotOptimize(request.seal.seal(7, request.document, "GET", request.url));
}
BENCHMARK(BM_WebPageMarkSeal)->Unit(benchmark::kNanosecond);

void BM_WebPageMarkOpen(benchmark::State& state) {
    MarkedRequest request;
    const std::string value = request.seal.seal(7, request.document, "GET", request.url);
    for (auto _ : state) benchmark::DoNotOptimize(request.seal.open(value, "GET", request.url));
}
BENCHMARK(BM_WebPageMarkOpen)->Unit(benchmark::kNanosecond);

void BM_WebLiveBanner(benchmark::State& state) {
    measureInWindow(state, kBanner, 3.0);
    figures.liveUpdates = lastLive.updates;
    figures.liveCPU = lastLive.cpu;
}
BENCHMARK(BM_WebLiveBanner)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_BareLiveBanner(benchmark::State& state) {
    const std::string file = std::filesystem::temp_directory_path() /
                             ("vantor-bench-banner-" + std::to_string(getpid()) + ".html");
    std::ofstream(file) << kBanner;
    std::map<std::string, double> bare;
    for (auto _ : state) bare = benchsupport::runBarePeer({"live", file, "3"}, deviceScale());
    std::filesystem::remove(file);
    if (bare.empty()) {
        state.SkipWithError("bench_bare_web failed");
        return;
    }
    for (const auto& [name, value] : bare) state.counters[name] = value;
    figures.bareLiveUpdates = bare["updates_per_s"];
    figures.bareLiveCPU = bare["app_web_cpu_pct"];
}
BENCHMARK(BM_BareLiveBanner)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WebLiveIdle(benchmark::State& state) {
    measureInWindow(state,
                    "<html><body style='margin:0; background:#12324a; color:white'>"
                    "<p>An ad that does not move</p></body></html>",
                    3.0);
}
BENCHMARK(BM_WebLiveIdle)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nThe two kinds (same run):\n");
    benchsupport::printRatio("100 resources, UI-kind vs WK, ms (median)", figures.hundredUIMs,
                             figures.hundredWKMs, 1.3, "at most");
    std::printf("\nAgainst the bare engine (same run):\n");
    benchsupport::printRatio("WK-kind page load, ms (median)", figures.loadMs,
                             figures.bareLoadMs, 1.2, "at most");
    benchsupport::printRatio("WK-kind snapshot, ms (median)", figures.snapshotMs,
                             figures.bareSnapshotMs, 1.2, "at most");
    benchsupport::printRatio("live banner, CPU % of a core (app + web)", figures.liveCPU,
                             figures.bareLiveCPU, 1.15, "at most");
    std::printf("%-44s %8.2f vs %8.2f  (goal: at least 55 updates/s)\n", "live banner, updates/s",
                figures.liveUpdates, figures.bareLiveUpdates);
    return 0;
}
