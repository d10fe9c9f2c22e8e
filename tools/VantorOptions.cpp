#include "VantorOptions.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ads/foundation/DZServerHosts.h"
#include "app/services/LocalizableHelper.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/UserDefaults.h"
#include "store/ActivityViewController.h"
#include "store/MailComposeViewController.h"
#include "store/PhotoAlbum.h"
#include "store/URLOpener.h"

namespace tools {

namespace {

const char* const kValueOptions[] = {"--device", "--language", "--out", "--home", "--tap", "--drag"};

bool takesValue(const std::string& option) {
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), option) !=
           std::end(kValueOptions);
}

std::optional<gfx::Point> parsePoint(const std::string& text) {
    double x = 0, y = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%lf,%lf%c", &x, &y, &extra) != 2) return std::nullopt;
    if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
    return gfx::Point{x, y};
}

std::optional<Step> parseStep(const std::string& option, const std::string& value) {
    Step step;
    step.text = value;
    if (option == "--tap") {
        const auto point = parsePoint(value);
        if (!point) return std::nullopt;
        step.from = *point;
        return step;
    }
    step.kind = Step::Kind::Drag;
    const auto colon = value.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto from = parsePoint(value.substr(0, colon));
    const auto to = parsePoint(value.substr(colon + 1));
    if (!from || !to) return std::nullopt;
    step.from = *from;
    step.to = *to;
    return step;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> deviceNames(const std::string& resourcesPath) {
    std::vector<std::string> names;
    const auto entries = core::FileManager::contentsOfDirectory(resourcesPath + "/devices");
    if (!entries) return names;
    for (const auto& entry : entries.value()) {
        if (entry.size() > 5 && entry.ends_with(".json")) names.push_back(entry.substr(0, entry.size() - 5));
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool onScreen(gfx::Point point, gfx::Size screen) {
    return point.x >= 0 && point.y >= 0 && point.x < screen.width && point.y < screen.height;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string* error) {
    const auto fail = [error](std::string reason) -> std::optional<Options> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    Options options;
    bool headlessOnly = false;  // an option of the headless run was given
    bool pagesOnly = false;     // an option of the page shots was given
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg == "--no-tour") {
            options.tour = false;
            headlessOnly = pagesOnly = true;
            continue;
        }
        if (arg == "--window") {
            options.window = true;
            continue;
        }
        if (arg == "--ad-demo") {
            options.adDemo = true;
            continue;
        }
        if (arg == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (!takesValue(arg)) {
            if (!arg.starts_with("-")) return fail("unexpected argument '" + arg + "'");
            return fail("unknown option " + arg);
        }
        // The next option is no value: "--device --out x" lacks the device.
        if (i + 1 >= arguments.size() || arguments[i + 1].empty() ||
            arguments[i + 1].starts_with("--")) {
            return fail(arg + " needs a value");
        }
        const std::string& value = arguments[++i];
        if (arg == "--device") {
            options.device = value;
        } else if (arg == "--language") {
            options.language = value;
        } else if (arg == "--out") {
            options.out = value;
            headlessOnly = true;
        } else if (arg == "--home") {
            options.home = value;
        } else {
            const auto step = parseStep(arg, value);
            if (!step) {
                const char* form = arg == "--tap" ? "X,Y" : "X1,Y1:X2,Y2";
                return fail(arg + " wants " + form + " in points (finite numbers), not '" + value +
                            "'");
            }
            options.steps.push_back(*step);
            headlessOnly = pagesOnly = true;
        }
    }
    if (options.window && options.adDemo) return fail("--ad-demo is not for --window");
    if (options.window && headlessOnly)
        return fail("--out, --tap, --drag and --no-tour are not for --window");
    if (options.adDemo && pagesOnly)
        return fail("--tap, --drag and --no-tour are not for --ad-demo");
    return options;
}

std::optional<std::string> checkResources(const std::string& path) {
    if (path.empty() || !core::FileManager::isDirectory(path))
        return "no resources folder at '" + path + "'";
    for (const char* required : {"Info.json", "en.lproj/Localizable.strings"}) {
        if (!core::FileManager::fileExists(path + "/" + required))
            return "'" + path + "' holds no app resources (no " + required + ")";
    }
    return std::nullopt;
}

std::optional<std::string> checkLanguage(const std::string& language,
                                         const core::Bundle& resources) {
    const std::string tag = core::UserDefaults::languageTag(language);
    if (app::LocalizableHelper::languageFolder(tag, resources)) return std::nullopt;
    if (lowerCase(tag.substr(0, tag.find('-'))) == "en") return std::nullopt;
    const std::string named = tag == language ? "'" + language + "'"
                                              : "'" + language + "' (" + tag + ")";
    return "the app has no strings in " + named + "; --language takes one of: " +
           joined(resources.localizations()) + " (with a region, or zh, zh-CN, zh-SG)";
}

std::optional<std::string> checkDevice(const std::string& name, const std::string& resourcesPath) {
    const std::vector<std::string> names = deviceNames(resourcesPath);
    if (std::find(names.begin(), names.end(), name) != names.end()) return std::nullopt;
    return "no device profile named '" + name + "'; there are: " + joined(names);
}

std::optional<std::string> prepareHome(const std::string& path, const std::string& what) {
    if (core::FileManager::fileExists(path) && !core::FileManager::isDirectory(path))
        return what + " '" + path + "' is not a folder";
    if (!core::FileManager::isDirectory(path)) {
        if (auto made = core::FileManager::createDirectory(path, true); !made)
            return what + " '" + path + "' cannot be made: " + made.error();
    }
    // Permission bits do not tell for every user (root) or file system: try.
    std::string probe = (std::filesystem::path(path) / ".vantor-write-check-XXXXXX").string();
    const int descriptor = ::mkstemp(probe.data());
    if (descriptor < 0)
        return what + " '" + path + "' is not writable: no file can be made in it (" +
               std::strerror(errno) + ")";
    ::close(descriptor);
    ::unlink(probe.c_str());
    return std::nullopt;
}

std::optional<std::string> checkSteps(const std::vector<Step>& steps, gfx::Size screen,
                                      const std::string& deviceName) {
    for (const Step& step : steps) {
        const bool tap = step.kind == Step::Kind::Tap;
        if (onScreen(step.from, screen) && (tap || onScreen(step.to, screen))) continue;
        return std::string(tap ? "--tap " : "--drag ") + step.text + " is off the " + deviceName +
               "'s screen of " + number(screen.width) + "x" + number(screen.height) + " points";
    }
    return std::nullopt;
}

std::string desktopHome() {
    const char* data = std::getenv("XDG_DATA_HOME");
    // Relative values are invalid by the XDG rules and ignored.
    if (data && data[0] == '/') return (std::filesystem::path(data) / "vantor").string();
    std::string user;
    if (const char* home = std::getenv("HOME"); home && *home) {
        user = home;
    } else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
        user = entry->pw_dir;
    }
    return (std::filesystem::path(user) / ".local/share/vantor").string();
}

void applyDesktopHandoffs(const Options& options) {
    store::URLOpener::shared().setLaunchesSystemOpener(options.window);
    store::PhotoAlbum::setFolderOverride(
        options.window ? store::PhotoAlbum::desktopPicturesFolder() : std::string());
    store::MailComposeViewController::setHandsToDesktopMailClient(options.window);
    store::ActivityViewController::setPerformsOnDesktop(options.window);
}

void pointSDKHostsAt(const std::string& host) {
    for (const auto set :
         {&ads::DZServerHosts::setAdServerHost, &ads::DZServerHosts::setStaticHost,
          &ads::DZServerHosts::setMediationHost, &ads::DZServerHosts::setReportingHost})
        set(host);
}

}  // namespace tools
