// Memory of one banner: the public banner view with its ad from the local
// ad server over HTTPS, shown in a window, with the SDK core page loaded
// (and whatever else the SDK makes for it: the ping web view), against the
// bare engine (bench_bare_web) showing the same ad HTML in the same run.
//
//   BM_BannerFootprint   after the ad arrived and two seconds passed: PSS of
//                        this process and everything it started (pss_mb),
//                        the engine's web and network processes
//                        (web_processes, network_processes), and the bare
//                        program's figures (bare_pss_mb, ...); both taken
//                        while both run, the display server left out
//
// The summary prints the ratio (goal: at most 1.3x, with at most 2 web
// processes and 1 network process). This process also runs the local ad
// server, which the bare program does not need.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <sstream>
#include <vector>

#include "BarePeer.h"
#include "LocalAdServer.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "core/RunLoop.h"
#include "ui/DeviceProfile.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace {

constexpr double kLimit = 30;

class Delegate : public ads::DZBannerViewDelegate {
public:
    void adViewDidReceiveAd(ads::DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(ads::DZBannerView&, const ads::DZRequestError&) override {
        ++failed;
    }
    int received = 0;
    int failed = 0;
};

struct Process {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string name;
};

// This process and its descendants, but for the bare program's.
std::vector<Process> processTree() {
    std::vector<Process> all;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string number = entry.path().filename().string();
        if (number.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        Process process{pid_t(std::stol(number)), 0, line.substr(open + 1, close - open - 1)};
        rest >> state >> process.parent;
        all.push_back(std::move(process));
    }
    std::vector<Process> tree{{getpid(), 0, "self"}};
    for (size_t i = 0; i < tree.size(); ++i)
        for (const auto& process : all)
            if (process.parent == tree[i].pid && process.name != "bench_bare_web")
                tree.push_back(process);
    return tree;
}

double pssMegabytes(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string name;
    while (rollup >> name) {
        if (name == "Pss:") {
            double kilobytes = 0;
            rollup >> kilobytes;
            return kilobytes / 1024;
        }
        rollup.ignore(1 << 16, '\n');
    }
    return 0;
}

// With VANTOR_BENCH_VERBOSE: this process's largest mappings by PSS.
void printLargestMappings() {
    std::ifstream smaps("/proc/self/smaps");
    std::vector<std::pair<double, std::string>> mappings;
    std::string line, name;
    while (std::getline(smaps, line)) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
            line.find('-') < 17) {
            const size_t path = line.find('/');
            const size_t bracket = line.find('[');
            name = path != std::string::npos      ? line.substr(path)
                   : bracket != std::string::npos ? line.substr(bracket)
                                                  : "[anonymous]";
        } else if (line.rfind("Pss:", 0) == 0) {
            mappings.emplace_back(std::stod(line.substr(4)) / 1024, name);
        }
    }
    std::map<std::string, double> byName;
    for (const auto& [megabytes, mapping] : mappings) byName[mapping] += megabytes;
    std::vector<std::pair<double, std::string>> sorted;
    for (const auto& [mapping, megabytes] : byName) sorted.emplace_back(megabytes, mapping);
    std::sort(sorted.rbegin(), sorted.rend());
    for (size_t i = 0; i < std::min<size_t>(15, sorted.size()); ++i)
        std::fprintf(stderr, "  %7.1f MB  %s\n", sorted[i].first, sorted[i].second.c_str());
}

struct Figures {
    double pss = 0;
    double barePss = 0;
    int web = 0;
    int network = 0;
};
Figures figures;

void BM_BannerFootprint(benchmark::State& state) {
    auto& server = benchsupport::localAdServer();
    const auto delegate = std::make_shared<Delegate>();
    const auto controller = std::make_shared<ui::ViewController>();
    const auto core = ads::DZSDKCoreController::create();
    const auto banner = ads::DZBannerView::createWithAdSize(ads::kDZAdSizeBanner);
    const auto window = std::make_shared<ui::Window>();
    if (!banner) {
        state.SkipWithError("no banner view");
        return;
    }
    banner->setDelegate(delegate);
    banner->setRootViewController(controller);
    banner->setAdUnitID("bench/footprint");
    banner->slot()->setSDKCoreController(core);
    banner->setFrame({0, 100, 320, 50});
    window->addSubview(banner);
    for (auto _ : state) {
        banner->loadRequest(std::make_shared<ads::DZRequest>());
        if (!core::RunLoop::main().runUntil(
                [&] { return delegate->received + delegate->failed > 0; }, kLimit) ||
            delegate->failed) {
            state.SkipWithError("the banner did not load");
            return;
        }
        // What settles after the ad: impression, pings, the engine's caches.
        (void)core::RunLoop::main().runUntil([] { return false; }, 2.0);
    }
    // Measured while the bare program shows its page, so that the two share
    // the libraries' pages alike.
    const std::string file = std::filesystem::temp_directory_path() /
                             ("vantor-bench-ad-" + std::to_string(getpid()) + ".html");
    std::ofstream(file) << server.adHTML();
    const auto bare = benchsupport::runBarePeer(
        {"page", file, server.baseURL() + "/", "2"},
        std::max(1.0, ui::DeviceProfile::current().scale), [] {
            figures = {};
            for (const auto& process : processTree()) {
                // The display server (started here when there is none) is
                // not the app's, nor counted for the bare program.
                if (process.name == "Xvfb") continue;
                figures.pss += pssMegabytes(process.pid);
                figures.web += process.name.starts_with("WebKitWebProces");
                figures.network += process.name.starts_with("WebKitNetworkPr");
                if (std::getenv("VANTOR_BENCH_VERBOSE"))
                    std::fprintf(stderr, "%-16s %7.1f MB\n", process.name.c_str(),
                                 pssMegabytes(process.pid));
            }
            if (std::getenv("VANTOR_BENCH_VERBOSE")) printLargestMappings();
        });
    std::filesystem::remove(file);
    state.counters["pss_mb"] = figures.pss;
    state.counters["web_processes"] = figures.web;
    state.counters["network_processes"] = figures.network;
    if (bare.empty()) {
        state.SkipWithError("bench_bare_web failed");
        return;
    }
    figures.barePss = bare.at("pss_mb");
    state.counters["bare_pss_mb"] = figures.barePss;
    state.counters["bare_web_processes"] = bare.at("web_processes");
    state.counters["bare_network_processes"] = bare.at("network_processes");
    state.counters["ratio"] = figures.pss / figures.barePss;
}
BENCHMARK(BM_BannerFootprint)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nAgainst the bare engine (same run):\n");
    benchsupport::printRatio("PSS of the tree, MB (banner + core page)", figures.pss,
                             figures.barePss, 1.3, "at most");
    std::printf("%-44s %d web, %d network (goal: at most 2 and 1)\n", "engine processes",
                figures.web, figures.network);
    return 0;
}
