// vantor: runs the app headless on a device profile and writes what it
// shows as PNG images, one per page of the tab container, plus one after
// each scripted touch; or, with --window, runs it in a desktop window that a
// person drives with the mouse and keyboard.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Tour.h"
#include "ads/core/app/DZMobileAds.h"
#include "app/AppDelegate.h"
#include "app/services/AppConfiguration.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "core/URL.h"
#include "display/DesktopWindow.h"
#include "fixtures/AppClock.h"
#include "fixtures/LocalServices.h"
#include "gfx/Fonts.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/TouchInjector.h"

namespace {

const char* kUsage = R"(usage: vantor [options]
       vantor --window [--device NAME] [--language TAG] [--home DIR]

Launches the app headless, lets it settle and writes a PNG of every page of
the tab container (and one after each scripted touch) into a folder.

With --window the app runs in a desktop window instead (it needs a display):
the device's screen at its scale, shrunk to fit. The left mouse button is a
finger (click to tap, drag to scroll, release while moving to fling), the
wheel scrolls what is under the pointer and with ctrl zooms it, typing and
Return go to the search bar, Backspace deletes, Escape goes back. Closing the
window ends the app as the platform does (will-terminate, stores saved).

The app talks to local stand-ins of the photo and quote services started
inside the process, unless VANTOR_PHOTO_API (with VANTOR_PHOTO_WEB,
VANTOR_QUOTE_URL and optionally the access token VANTOR_PHOTO_TOKEN) names
other services.

options:
  --device NAME     device profile from resources/devices (default: phone;
                    also phone-x, pad)
  --language TAG    the preferred language, such as en or zh-Hans-CN
                    (default: the process locale)
  --out DIR         output folder (default: out/shots)
  --tap X,Y         tap at the point (in points) before the page shots;
                    may be repeated
  --drag X1,Y1:X2,Y2
                    drag from the first point to the second; may be repeated
  --no-tour         only the pages, not the walk through the feeds (explore
                    after its first page, a refresh and a load-more; featured
                    with its banner rows; favourites; a search; the photo
                    viewer downloading, done, zoomed, with a quote; the
                    favourites after adding it)
  --home DIR        the app's home folder (stored feeds, favourites, caches);
                    default: a new empty one, removed at exit
  --window          run in a desktop window until it is closed; --out,
                    --tap, --drag and --no-tour belong to the headless run
  --help            show this text
)";

struct Step {
    enum class Kind { Tap, Drag } kind;
    gfx::Point from;
    gfx::Point to;
};

struct Options {
    std::string device;
    std::string language;
    std::string out = "out/shots";
    std::string home;
    bool tour = true;
    bool window = false;
    bool headlessOnly = false;  // an option of the headless run was given
    std::vector<Step> steps;
};

bool parsePoint(const std::string& text, gfx::Point& point) {
    double x = 0, y = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%lf,%lf%c", &x, &y, &extra) != 2) return false;
    point = {x, y};
    return true;
}

// Returns false (with a message) for bad arguments.
bool parse(int argc, char** argv, Options& options, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        if (arg == "--no-tour") {
            options.tour = false;
            options.headlessOnly = true;
            continue;
        }
        if (arg == "--window") {
            options.window = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "vantor: %s needs a value\n", arg.c_str());
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--device") {
            options.device = value;
        } else if (arg == "--language") {
            options.language = value;
        } else if (arg == "--out") {
            options.out = value;
            options.headlessOnly = true;
        } else if (arg == "--home") {
            options.home = value;
        } else if (arg == "--tap") {
            Step step{Step::Kind::Tap, {}, {}};
            if (!parsePoint(value, step.from)) {
                std::fprintf(stderr, "vantor: --tap wants X,Y, not '%s'\n", value.c_str());
                return false;
            }
            options.steps.push_back(step);
            options.headlessOnly = true;
        } else if (arg == "--drag") {
            Step step{Step::Kind::Drag, {}, {}};
            const auto colon = value.find(':');
            if (colon == std::string::npos || !parsePoint(value.substr(0, colon), step.from) ||
                !parsePoint(value.substr(colon + 1), step.to)) {
                std::fprintf(stderr, "vantor: --drag wants X1,Y1:X2,Y2, not '%s'\n", value.c_str());
                return false;
            }
            options.steps.push_back(step);
            options.headlessOnly = true;
        } else {
            std::fprintf(stderr, "vantor: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    if (options.window && options.headlessOnly) {
        std::fprintf(stderr, "vantor: --out, --tap, --drag and --no-tour are not for --window\n");
        return false;
    }
    return true;
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

void removeHome(const std::filesystem::path& temporaryHome) {
    if (temporaryHome.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(temporaryHome, ignored);
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
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    if (!parse(argc, argv, options, help)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    // A fresh app home unless one is named: every run starts as a first launch.
    std::filesystem::path temporaryHome;
    if (options.home.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantor-home-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("vantor: cannot make a home folder");
            return 1;
        }
        temporaryHome = options.home = pattern;
    }
    setenv("VANTOR_HOME", options.home.c_str(), 1);

    core::RunLoop::bindMainToCurrentThread();
    if (!options.language.empty()) setenv("LANGUAGE", options.language.c_str(), 1);

    std::string error;
    if (!gfx::Fonts::configure(core::Bundle::main()->resourcePath(), &error))
        std::fprintf(stderr, "vantor: fonts: %s\n", error.c_str());
    if (!options.device.empty() && !ui::DeviceProfile::select(options.device)) {
        std::fprintf(stderr, "vantor: no device profile named '%s'\n", options.device.c_str());
        return 2;
    }

    const std::filesystem::path out = options.out;
    if (!options.window) {
        if (auto made =
                core::FileManager::createDirectory(out.string(), true, core::Visibility::everyone);
            !made) {
            std::fprintf(stderr, "vantor: %s\n", made.error().c_str());
            return 1;
        }
    }

    // The embedded default: the local services, for as long as the app runs.
    std::unique_ptr<fixtures::LocalServices> services;
    if (!std::getenv("VANTOR_PHOTO_API")) {
        services = std::make_unique<fixtures::LocalServices>();
        app::AppConfiguration::set(
            {services->photoAPIBase(), services->photoWebBase(), services->quoteURL()});
        std::printf("vantor: local photo service at %s\n", services->photoAPIBase().c_str());
    }

    // The ad SDK starts itself once the app has launched.
    ads::DZMobileAds::registerForLaunch();
    auto delegate = std::make_shared<app::AppDelegate>();
    if (options.window) {
        ui::Application::shared().launch(delegate);
        const int status = showWindow(delegate);
        removeHome(temporaryHome);
        return status;
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
        const Step& step = options.steps[i];
        if (step.kind == Step::Kind::Tap)
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

    if (options.tour) {
        tools::Tour tour(delegate, clock, [&](const std::filesystem::path& name) {
            return shoot(*window, out / name);
        });
        tour.setOutputFolder(out);
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
        expected += 14;  // with the save sheet, the shared image and the about page
    }

    ui::Application::shared().terminate();
    removeHome(temporaryHome);
    std::printf("vantor: wrote %zu images\n", written);
    return written == expected ? 0 : 1;
}
