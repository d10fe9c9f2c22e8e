// The yardstick of the web benchmarks: the browser engine used directly,
// with none of our layers, and the settings our web views use (an ephemeral
// context, the sandbox on, hardware acceleration off, a view of the given
// size in an offscreen window). It runs on the display named by DISPLAY
// (the benchmarks start it on their own headless one) and prints one line
// of "name=value" fields for the benchmark that started it to read.
// "--scale S" first draws the page at S device pixels per CSS pixel, as our
// views do at the device's scale (a 320x50 view is then 320S x 50S pixels).
//
//   bench_bare_web page FILE BASE [SECONDS]
//       shows FILE's HTML at base URL BASE in a 320x50 view, waits for the
//       load and SECONDS (default 2) more, then prints the PSS of its
//       process tree (pss_mb) and how many web and network processes the
//       engine runs (web_processes, network_processes); then it stays, the
//       page shown, until its standard input closes (so that whoever
//       measures its own tree meanwhile shares the libraries' pages with it
//       as it shared them with that process)
//   bench_bare_web load URL COUNT
//       loads URL once, then COUNT times, and prints the median load call
//       to finished (load_ms)
//   bench_bare_web snapshot URL COUNT
//       loads URL, then takes COUNT snapshots of the visible region and
//       prints their median (snapshot_ms)
//   bench_bare_web live FILE SECONDS
//       shows FILE's HTML in a 320x50 view; after a second of warming up,
//       for SECONDS: the engine's paints of the window per second
//       (updates_per_s) and the CPU of this process and of its web process
//       as a share of one core (app_cpu_pct, web_cpu_pct, app_web_cpu_pct)

#include <gtk/gtk.h>
#include <sys/resource.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double scale = 1;

struct Process {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string name;
    double cpuSeconds = 0;
};

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
        Process process;
        process.pid = pid_t(std::stol(number));
        process.name = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 4) process.parent = pid_t(std::stol(field));
            if (i == 14 || i == 15) ticks += std::stod(field);
        }
        process.cpuSeconds = ticks / double(sysconf(_SC_CLK_TCK));
        all.push_back(std::move(process));
    }
    std::vector<Process> tree;
    std::vector<pid_t> parents{getpid()};
    for (size_t i = 0; i < parents.size(); ++i) {
        for (const auto& process : all) {
            if (process.parent != parents[i]) continue;
            parents.push_back(process.pid);
            tree.push_back(process);
        }
    }
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

double ownCPUSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double webCPUSeconds() {
    double seconds = 0;
    for (const auto& process : processTree())
        if (process.name.starts_with("WebKitWebProces")) seconds += process.cpuSeconds;
    return seconds;
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Page {
    GtkWidget* window = nullptr;
    WebKitWebView* view = nullptr;
    int finished = 0;
    bool failed = false;
    long paints = 0;
};

Page makePage(int width, int height) {
    Page page;
    WebKitWebContext* context = webkit_web_context_new_ephemeral();
    webkit_web_context_set_sandbox_enabled(context, TRUE);
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    page.view = WEBKIT_WEB_VIEW(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
    g_object_unref(settings);
    page.window = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(page.window), GTK_WIDGET(page.view));
    webkit_web_view_set_zoom_level(page.view, scale);
    gtk_widget_set_size_request(GTK_WIDGET(page.view), int(width * scale), int(height * scale));
    gtk_widget_show_all(page.window);
    return page;
}

void watch(Page& page) {
    g_signal_connect(page.view, "load-changed",
                     G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                         if (event == WEBKIT_LOAD_FINISHED) ++static_cast<Page*>(data)->finished;
                     }),
                     &page);
    g_signal_connect(page.view, "load-failed",
                     G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar*, GError*,
                                    gpointer data) -> gboolean {
                         static_cast<Page*>(data)->failed = true;
                         return FALSE;
                     }),
                     &page);
    g_signal_connect(page.window, "damage-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) -> gboolean {
                         ++static_cast<Page*>(data)->paints;
                         return FALSE;
                     }),
                     &page);
}

template <typename Predicate>
bool spinUntil(Predicate done, double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        g_main_context_iteration(nullptr, TRUE);
    }
    return true;
}

void spinFor(double seconds) {
    bool over = false;
    g_timeout_add(guint(seconds * 1000), +[](gpointer data) -> gboolean {
        *static_cast<bool*>(data) = true;
        return G_SOURCE_REMOVE;
    }, &over);
    while (!over) g_main_context_iteration(nullptr, TRUE);
}

bool loadURL(Page& page, const char* url) {
    const int before = page.finished;
    webkit_web_view_load_uri(page.view, url);
    return spinUntil([&] { return page.finished > before; }, 30) && !page.failed;
}

bool loadHTML(Page& page, const std::string& html, const char* base) {
    const int before = page.finished;
    webkit_web_view_load_html(page.view, html.c_str(), base);
    return spinUntil([&] { return page.finished > before; }, 30) && !page.failed;
}

int showPage(const char* file, const char* base, double settle) {
    Page page = makePage(320, 50);
    watch(page);
    if (!loadHTML(page, readFile(file), base)) return 1;
    spinFor(settle);
    double pss = pssMegabytes(getpid());
    int web = 0;
    int network = 0;
    if (std::getenv("VANTOR_BENCH_VERBOSE"))
        std::fprintf(stderr, "bare %-16s %7.1f MB\n", "self", pssMegabytes(getpid()));
    for (const auto& process : processTree()) {
        // The display server is not the program's (and ours counts none).
        if (process.name == "Xvfb") continue;
        pss += pssMegabytes(process.pid);
        if (std::getenv("VANTOR_BENCH_VERBOSE"))
            std::fprintf(stderr, "bare %-16s %7.1f MB\n", process.name.c_str(),
                         pssMegabytes(process.pid));
        web += process.name.starts_with("WebKitWebProces");
        network += process.name.starts_with("WebKitNetworkPr");
    }
    std::printf("pss_mb=%.1f web_processes=%d network_processes=%d\n", pss, web, network);
    std::fflush(stdout);
    char ignored[64];
    while (read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
    }
    return 0;
}

int timeLoads(const char* url, int count) {
    Page page = makePage(320, 50);
    watch(page);
    if (!loadURL(page, url)) return 1;
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        if (!loadURL(page, url)) return 1;
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("load_ms=%.3f\n", median(times));
    return 0;
}

int timeSnapshots(const char* url, int count) {
    Page page = makePage(320, 50);
    watch(page);
    if (!loadURL(page, url)) return 1;
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        bool taken = false;
        const auto start = Clock::now();
        webkit_web_view_get_snapshot(
            page.view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
            +[](GObject* view, GAsyncResult* result, gpointer data) {
                cairo_surface_t* surface =
                    webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
                if (surface) cairo_surface_destroy(surface);
                *static_cast<bool*>(data) = true;
            },
            &taken);
        if (!spinUntil([&] { return taken; }, 30)) return 1;
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("snapshot_ms=%.3f\n", median(times));
    return 0;
}

int measureLive(const char* file, double seconds) {
    Page page = makePage(320, 50);
    watch(page);
    if (!loadHTML(page, readFile(file), "http://localhost/")) return 1;
    spinFor(1.0);
    const long paints = page.paints;
    const double app = ownCPUSeconds();
    const double web = webCPUSeconds();
    const auto start = Clock::now();
    spinFor(seconds);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double appPct = (ownCPUSeconds() - app) / elapsed * 100;
    const double webPct = (webCPUSeconds() - web) / elapsed * 100;
    std::printf("updates_per_s=%.2f app_cpu_pct=%.3f web_cpu_pct=%.3f app_web_cpu_pct=%.3f\n",
                double(page.paints - paints) / elapsed, appPct, webPct, appPct + webPct);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "bench_bare_web: no display\n");
        return 1;
    }
    g_object_set(gtk_settings_get_default(), "gtk-xft-dpi", 96 * 1024, nullptr);
    if (argc > 2 && std::string(argv[1]) == "--scale") {
        scale = std::max(1.0, std::atof(argv[2]));
        argv += 2;
        argc -= 2;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "page" && argc >= 4) return showPage(argv[2], argv[3], argc > 4 ? std::atof(argv[4]) : 2);
    if (mode == "load" && argc == 4) return timeLoads(argv[2], std::atoi(argv[3]));
    if (mode == "snapshot" && argc == 4) return timeSnapshots(argv[2], std::atoi(argv[3]));
    if (mode == "live" && argc == 4) return measureLive(argv[2], std::atof(argv[3]));
    std::fprintf(stderr, "usage: bench_bare_web [--scale S] page FILE BASE [SECONDS] | load URL COUNT | "
                         "snapshot URL COUNT | live FILE SECONDS\n");
    return 2;
}
