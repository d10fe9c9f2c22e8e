// vantor: runs the app headless on a device profile and writes what it
// shows as PNG images, one per page of the tab container, plus one after
// each scripted touch; or, with --window, runs it in a desktop window that a
// person drives with the mouse and keyboard; or, with --ad-demo, shows one
// banner from the local ad server (AdDemo).

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "AdDemo.h"
#include "AdInterstitial.h"
#include "AdMRAID.h"
#include "AdNative.h"
#include "AdRows.h"
#include "ConsoleFile.h"
#include "Tour.h"
#include "VantorOptions.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/foundation/DZServerHosts.h"
#include "app/AppDelegate.h"
#include "app/services/AppConfiguration.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/OffMachineRequests.h"
#include "core/RunLoop.h"
#include "core/URL.h"
#include "core/URLSessionConfiguration.h"
#include "display/DesktopWindow.h"
#include "fixtures/AdServer.h"
#include "fixtures/AppClock.h"
#include "fixtures/LocalServices.h"
#include "fixtures/TestCertificates.h"
#include "gfx/Fonts.h"
#include "media/AudioOutput.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/TouchInjector.h"
#include "web/proxy/ProxyGuards.h"

namespace {

// Seconds of real time the run waits for the SDK's launch requests.
constexpr double kAdServerWait = 10;

const char* const kUsage =
#include "VantorUsage.inc"
    ;

// One line on stderr; the exit status of a command line that cannot run.
int refuse(const std::string& reason) {
    std::fprintf(stderr, "vantor: %s\n", reason.c_str());
    return 2;
}

bool shoot(ui::Window& window, const std::filesystem::path& path) {
    if (!ui::Renderer::writePNG(window, path.string())) return false;
    std::printf("  %s\n", path.string().c_str());
    std::fflush(stdout);
    return true;
}

std::string slug(const std::string& title, size_t index) {
    std::string out;
    for (unsigned char c : title) {
        if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
    }
    return "page-" + std::to_string(index + 1) + (out.empty() ? "" : "-" + out) + ".png";
}

// The app's home: the one named; for the desktop window the one it keeps
// from run to run (tools::desktopHome); else a new empty one (every headless
// run then starts as a first launch) that is removed at exit unless kept.
class Home {
public:
    Home() = default;
    Home(const Home&) = delete;
    Home& operator=(const Home&) = delete;
    ~Home() {
        if (temporary_ && !keep_) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }

    // The reason when the home cannot be used.
    std::optional<std::string> prepare(const std::string& named, bool window) {
        if (!named.empty()) {
            path_ = named;
            return tools::prepareHome(named);
        }
        if (window) {
            path_ = tools::desktopHome();
            return tools::prepareHome(path_, "the window's home");
        }
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantor-home-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return std::string("cannot make a home folder: ") + std::strerror(errno);
        path_ = pattern;
        temporary_ = true;
        return std::nullopt;
    }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] bool temporary() const { return temporary_; }
    void keep() { keep_ = true; }

private:
    std::string path_;
    bool temporary_ = false;
    bool keep_ = false;
};

// The embedded default keeps to this machine: every request the app and
// the SDK send through the URL layer to a host elsewhere is named at once
// on the terminal, and counted for the summary at the end.
void watchOffMachineRequests() {
    core::OffMachineRequests::watch([](const std::string& host) {
        std::printf("vantor: a request left this machine for %s\n", host.c_str());
        std::fflush(stdout);
    });
}

void reportOffMachineRequests() {
    if (!core::OffMachineRequests::watching()) return;
    const auto hosts = core::OffMachineRequests::hosts();
    std::string named;
    for (const auto& [host, count] : hosts)
        named += (named.empty() ? "" : ", ") + host + " " + std::to_string(count);
    std::printf("vantor: requests off this machine: %zu%s\n", core::OffMachineRequests::count(),
                named.empty() ? "" : (" (" + named + ")").c_str());
}

// Shows the launched app in a desktop window until the window is closed,
// which terminates the app.
int showWindow(const std::shared_ptr<app::AppDelegate>& delegate) {
    std::string error;
    auto window = display::DesktopWindow::create(delegate->window(), "Vantor", &error);
    if (!window) {
        std::fprintf(stderr, "vantor: %s\n", error.c_str());
        ui::Application::shared().terminate();
        return 1;
    }
    const display::WindowFit& fit = window->fit();
    std::printf("vantor: window %dx%d pixels, %g pixels per point\n", fit.pixelWidth,
                fit.pixelHeight, fit.pixelsPerPoint);
    std::fflush(stdout);
    window->run();
    std::printf("vantor: window closed after %zu frames\n", window->frameCount());
    reportOffMachineRequests();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Room for the descriptors a browser engine and its pages take.
    (void)web::proxy::Descriptors::raiseLimit();
    std::string reason;
    const auto parsed = tools::parseOptions({argv + 1, argv + argc}, &reason);
    if (!parsed) return refuse(reason + " (vantor --help lists the options)");
    const tools::Options& options = *parsed;
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    // Every check runs before the app launches: a bad option ends the run
    // with its reason instead of a run that quietly does something else.
    const std::string resources = core::Bundle::mainResourcesPath();
    if (auto problem = tools::checkResources(resources)) {
        const char* named = std::getenv("VANTOR_RESOURCES");
        return refuse(named && *named ? "VANTOR_RESOURCES: " + *problem : *problem);
    }
    Home home;
    if (auto problem = home.prepare(options.home, options.window)) return refuse(*problem);
    setenv("VANTOR_HOME", home.path().c_str(), 1);
    // The app's console lines go to its home; the terminal keeps the tool's.
    const std::string consoleLog = (std::filesystem::path(home.path()) / "console.log").string();
    if (!options.verbose) {
        if (auto problem = tools::sendConsoleToFile(consoleLog)) return refuse(*problem);
    }

    core::RunLoop::bindMainToCurrentThread();
    if (!options.language.empty()) {
        if (auto problem = tools::checkLanguage(options.language, *core::Bundle::main()))
            return refuse(*problem);
        setenv("LANGUAGE", options.language.c_str(), 1);
    }

    std::string error;
    if (!gfx::Fonts::configure(core::Bundle::main()->resourcePath(), &error))
        std::fprintf(stderr, "vantor: fonts: %s\n", error.c_str());
    if (!options.device.empty()) {
        if (auto problem = tools::checkDevice(options.device, resources)) return refuse(*problem);
        if (!ui::DeviceProfile::select(options.device))
            return refuse("the device profile '" + options.device + "' cannot be read");
    }
    const ui::DeviceProfile& device = ui::DeviceProfile::current();
    if (auto problem = tools::checkSteps(options.steps, device.screenSize,
                                         device.name.empty() ? "phone" : device.name))
        return refuse(*problem);

    // The ad demo's and the outside photo service's headless runs get an ad
    // server of their own (core page, app settings, ads, pings) over HTTPS,
    // its authority trusted before any web view or URL session exists. The
    // default run starts the local services below, whose ad server answers
    // the SDK instead, in the desktop window too.
    const bool localServices = !std::getenv("VANTOR_PHOTO_API");
    std::optional<fixtures::AdServer> adServer;
    if (!options.window && (options.adDemo || !localServices)) {
        adServer.emplace();
        setenv(core::kTrustedCertificatesFileVariable,
               fixtures::TestCertificates::shared().authorityFile().c_str(), 1);
        ads::DZServerHosts::setAdServerHost("127.0.0.1:" +
                                            std::to_string(adServer->server().securePort()));
        std::printf("vantor: local ad server at %s\n", adServer->secureBaseURL().c_str());
    }

    // Nobody hears the headless run: no sound device is opened, and the
    // sound of videos is left undecoded. The window plays it on the
    // desktop's sound server.
    if (!options.window) media::AudioOutput::shared().setDeviceFactory(nullptr, "headless run");

    const std::filesystem::path out = options.out;
    if (!options.window) {
        if (auto made =
                core::FileManager::createDirectory(out.string(), true, core::Visibility::everyone);
            !made)
            return refuse("--out: " + made.error());
    }

    if (options.adDemo) {
        fixtures::AppClock clock;
        const bool shown = tools::runAdDemo(*adServer, clock, out);
        ui::Application::shared().terminate();
        std::printf("vantor: the ad demo %s\n", shown ? "worked" : "failed");
        if (!shown) home.keep();
        if (!options.verbose && !(home.temporary() && shown))
            std::printf("vantor: the app's console is in %s\n", consoleLog.c_str());
        return shown ? 0 : 1;
    }

    // The embedded default: the local services, for as long as the app runs.
    std::unique_ptr<fixtures::LocalServices> services;
    if (localServices) {
        std::string scenarioError;
        services = fixtures::LocalServices::start(&scenarioError);
        if (!services) {
            std::fprintf(stderr, "vantor: the local ad server cannot start: %s\n",
                         scenarioError.c_str());
            return 1;
        }
        // Its photo URLs outlast the run (favourites, stored feeds): the same
        // origin every time, routed to this run's ports.
        services->useStableOrigin();
        app::AppConfiguration::set(
            {services->photoAPIBase(), services->photoWebBase(), services->quoteURL()});
        std::printf("vantor: local photo service at %s (127.0.0.1, ports %d and %d for https)\n",
                    services->photoAPIBase().c_str(), services->photos().server().port(),
                    services->photos().server().securePort());
        // The ad SDK asks the local ad server, whose authority it trusts.
        setenv(core::kTrustedCertificatesFileVariable,
               fixtures::LocalServices::trustedCertificatesFile().c_str(), 1);
        // Every host of the SDK's is the local ad server's; its settings
        // name it for the rest (conversions, timing and bad-ad reports).
        tools::pointSDKHostsAt(services->adServerHost());
        std::printf("vantor: local ad server at %s\n", services->ads().secureBaseURL().c_str());
        watchOffMachineRequests();
    }

    // The ad SDK starts itself once the app has launched.
    ads::DZMobileAds::registerForLaunch();
    auto delegate = std::make_shared<app::AppDelegate>();
    tools::applyDesktopHandoffs(options);
    if (options.window) {
        std::printf("vantor: the app's home is %s\n", home.path().c_str());
        ui::Application::shared().launch(delegate);
        return showWindow(delegate);
    }
    // The headless run moves the app's own clock instead of waiting.
    fixtures::AppClock clock;
    ui::Application::shared().launch(delegate);
    clock.wait(0.6);

    std::shared_ptr<ui::Window> window = delegate->window();
    ui::TouchInjector touches(*window);
    std::printf("vantor: writing to %s\n", out.string().c_str());

    size_t written = 0;
    for (size_t i = 0; i < options.steps.size(); ++i) {
        const tools::Step& step = options.steps[i];
        if (step.kind == tools::Step::Kind::Tap)
            touches.tap(step.from);
        else
            touches.drag(step.from, step.to);
        clock.wait(0.6);
        written += shoot(*window, out / ("step-" + std::to_string(i + 1) + ".png"));
    }

    const auto& pages = delegate->qzTabVc()->viewCtrls();
    const auto& buttons = delegate->qzTabVc()->tabView()->titleButtons();
    for (size_t i = 0; i < pages.size() && i < buttons.size(); ++i) {
        const gfx::Rect title = buttons[i]->convertRectTo(buttons[i]->bounds(), nullptr);
        touches.tap(title.center());
        clock.wait(0.8);
        written += shoot(*window, out / slug(pages[i]->title(), i));
    }
    size_t expected = options.steps.size() + pages.size();
    // The ad server the SDK asks: the local services' or the plain one.
    fixtures::AdServer& sdkServer = services ? services->ads() : *adServer;
    // featured-ad-rows.png: the tour's, or a shot of its own without it.
    const auto adRowsShot = [&] {
        return tools::shootFeaturedAdRows(delegate, sdkServer, clock, out);
    };
    if (services && !options.tour) {
        written += adRowsShot() ? 1 : 0;
        ++expected;
    }

    if (options.tour) {
        tools::Tour tour(delegate, clock, [&](const std::filesystem::path& name) {
            return shoot(*window, out / name);
        });
        tour.setOutputFolder(out);
        if (services) tour.setAdRowsShot(adRowsShot);
        // The viewer's full image stops after its first quarter until the
        // downloading shot is taken.
        const auto gate = fixtures::ResponseGate::make();
        if (services)
            tour.setSlowDownload(
                [&services, gate](const std::string& fullUrl) {
                    if (const auto url = core::URL::create(fullUrl))
                        services->photos().setFailure(
                            url->path(), fixtures::PhotoFailure::heldAfterPart(gate, 4), 2);
                },
                [gate] { gate->release(); });
        written += tour.run();
        expected += 15;  // with the fade-in, the save sheet, the shared image and the about page
        // The tour ends with the tip purchase, which the SDK reports to the
        // ad server its settings name: the local one.
        if (services) {
            const bool reported = core::RunLoop::main().runUntil(
                [&] { return !sdkServer.requestsTo(fixtures::CorePage::kConversionPath).empty(); },
                kAdServerWait);
            std::printf("vantor: the tip purchase's conversion ping %s the local ad server\n",
                        reported ? "reached" : "did not reach");
        }
    }
    // interstitial.png: the demo interstitial over the featured feed, last
    // so that no shot before it changes.
    if (services) {
        written += tools::shootInterstitial(delegate, sdkServer, clock, out) ? 1 : 0;
        ++expected;
        // native-ad.png: an app install ad in a layout of the tool's own.
        written += tools::shootNativeAd(delegate, sdkServer, clock, out) ? 1 : 0;
        ++expected;
        // mraid-expanded.png: the MRAID compliance banner, expanded by a tap.
        written += tools::shootMRAIDExpanded(delegate, sdkServer, clock, out) ? 1 : 0;
        ++expected;
    }

    // The SDK's launch asks the ad server for its app settings once its
    // core page has loaded, which a short run may not have waited for.
    (void)core::RunLoop::main().runUntil(
        [&] { return !sdkServer.requestsTo(fixtures::CorePage::kAppSettingsPath).empty(); },
        kAdServerWait);
    ui::Application::shared().terminate();
    std::printf("vantor: wrote %zu images\n", written);
    std::string sdkRequests;
    for (const auto& request : sdkServer.requests())
        if (sdkRequests.find(request.path) == std::string::npos)
            sdkRequests += (sdkRequests.empty() ? "" : ", ") + request.path;
    std::printf("vantor: the ad SDK asked the local ad server for: %s\n",
                sdkRequests.empty() ? "nothing" : sdkRequests.c_str());
    for (const auto& line : sdkServer.logLines())
        std::printf("vantor: the ad server noted: %s\n", line.c_str());
    reportOffMachineRequests();
    const bool complete = written == expected;
    if (!complete) home.keep();
    if (!options.verbose && !(home.temporary() && complete))
        std::printf("vantor: the app's console is in %s\n", consoleLog.c_str());
    return complete ? 0 : 1;
}
