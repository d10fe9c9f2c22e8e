#include "ui/DeviceProfile.h"

#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/JSON.h"
#include "ui/DeviceProfileFacts.h"

namespace ui {

namespace {

// The same facts as resources/devices/phone.json, so that the app runs
// before (or without) a bundle.
constexpr std::string_view kDefaultProfile = R"({
    "name": "phone",
    "model": "phone",
    "machine": "phone9,1",
    "screen": {"width": 375, "height": 667, "scale": 2},
    "system": {"name": "iOS", "version": "12.4"},
    "idiom": "phone",
    "safeArea": {"top": 0, "left": 0, "bottom": 0, "right": 0},
    "statusBarHeight": 20,
    "memoryMegabytes": 2048,
    "processorCount": 4,
    "advertising": {"identifier": "6D92078A-8246-4BA4-AE5B-76104861E7DC", "trackingEnabled": true},
    "network": {"connection": "wifi", "radioAccessTechnology": "LTE",
                "carrier": {"name": "Vantor Mobile", "mobileCountryCode": "310",
                            "mobileNetworkCode": "260", "isoCountryCode": "us"}},
    "audio": {"volume": 0.5, "route": [{"type": "Speaker", "name": "Speaker"}],
              "category": "SoloAmbient", "mode": "Default", "categoryOptions": 0,
              "otherAudioPlaying": false, "secondaryAudioShouldBeSilenced": false},
    "interfaceOrientation": 1,
    "openableSchemes": ["http", "https", "tel", "sms", "mailto", "itms-books"],
    "canSendText": true,
    "canMakePayments": true
})";

// Every profile ever made current stays alive, so references handed out by
// current() never dangle while another thread selects.
struct Profiles {
    std::mutex mutex;
    std::deque<DeviceProfile> all;
    std::atomic<const DeviceProfile*> current{nullptr};
};

Profiles& profiles() {
    static Profiles* const shared = [] {
        auto* made = new Profiles;
        made->all.push_back(*DeviceProfile::fromValue(*core::JSON::parse(kDefaultProfile)));
        made->current = &made->all.back();
        return made;
    }();
    return *shared;
}

// A number at key, or fallback when absent; nullopt when present but not a
// number at least `minimum`.
std::optional<double> number(const core::Value& parent, std::string_view key, double fallback,
                             double minimum) {
    const core::Value& value = parent[key];
    if (value.isNull()) return fallback;
    if (!value.isNumber() || value.doubleValue() < minimum) return std::nullopt;
    return value.doubleValue();
}

std::optional<std::string> text(const core::Value& parent, std::string_view key,
                                std::string fallback) {
    const core::Value& value = parent[key];
    if (value.isNull()) return fallback;
    if (!value.isString()) return std::nullopt;
    return *value.string();
}

// A dictionary at key, or an empty one when absent; nullptr when present but
// not a dictionary.
const core::Value* section(const core::Value& parent, std::string_view key) {
    static const core::Value empty{core::Dictionary()};
    const core::Value& value = parent[key];
    if (value.isNull()) return &empty;
    return value.isDictionary() ? &value : nullptr;
}

}  // namespace

std::optional<DeviceProfile> DeviceProfile::fromValue(const core::Value& value) {
    if (!value.isDictionary()) return std::nullopt;
    const core::Value& screen = value["screen"];
    const core::Value* system = section(value, "system");
    const core::Value* safeArea = section(value, "safeArea");
    if (!screen.isDictionary() || !system || !safeArea) return std::nullopt;

    const auto width = number(screen, "width", 0, 1);
    const auto height = number(screen, "height", 0, 1);
    const auto scale = number(screen, "scale", 2, 1);
    const auto top = number(*safeArea, "top", 0, 0);
    const auto left = number(*safeArea, "left", 0, 0);
    const auto bottom = number(*safeArea, "bottom", 0, 0);
    const auto right = number(*safeArea, "right", 0, 0);
    const auto statusBar = number(value, "statusBarHeight", 20, 0);
    const auto name = text(value, "name", "");
    const auto systemName = text(*system, "name", "iOS");
    const auto systemVersion = text(*system, "version", "12.4");
    const auto idiom = text(value, "idiom", "phone");
    if (!width || !height || !scale || !top || !left || !bottom || !right || !statusBar || !name ||
        !systemName || !systemVersion || !idiom) {
        return std::nullopt;
    }
    // Width and height have no default: absent reads as 0.
    if (*width < 1 || *height < 1) return std::nullopt;
    if (*idiom != "phone" && *idiom != "pad") return std::nullopt;
    if (*top + *bottom >= *height || *left + *right >= *width) return std::nullopt;

    DeviceProfile profile;
    profile.name = *name;
    profile.screenSize = {*width, *height};
    profile.scale = *scale;
    profile.systemName = *systemName;
    profile.systemVersion = *systemVersion;
    profile.idiom = *idiom == "pad" ? UserInterfaceIdiom::Pad : UserInterfaceIdiom::Phone;
    profile.safeAreaInsets = {*top, *left, *bottom, *right};
    profile.statusBarHeight = *statusBar;
    profile.raw = value;
    if (!detail::readSignalFacts(value, profile)) return std::nullopt;
    return profile;
}

const DeviceProfile& DeviceProfile::current() {
    return *profiles().current.load();
}

bool DeviceProfile::select(const std::string& name) {
    const auto fail = [&name](std::string_view why) {
        core::Console::log("DeviceProfile: cannot select '" + name + "': " + std::string(why));
        return false;
    };
    if (name.empty() || name.find('/') != std::string::npos) return fail("not a profile name");
    const auto path = core::Bundle::main()->pathForResource(name, "json", "devices");
    if (!path) return fail("no such profile");
    const auto contents = core::FileManager::readFile(*path);
    if (!contents) return fail(contents.error());
    core::JSONError error;
    const auto value = core::JSON::parse(contents.value(), {}, &error);
    if (!value) return fail(error.message);
    auto profile = fromValue(*value);
    if (!profile) return fail("malformed profile");
    profile->name = name;

    Profiles& shared = profiles();
    std::lock_guard lock(shared.mutex);
    shared.all.push_back(std::move(*profile));
    shared.current = &shared.all.back();
    return true;
}

void DeviceProfile::overrideForTesting(DeviceProfile profile) {
    Profiles& shared = profiles();
    std::lock_guard lock(shared.mutex);
    shared.all.push_back(std::move(profile));
    shared.current = &shared.all.back();
}

void DeviceProfile::setInterfaceOrientation(long orientation) {
    Profiles& shared = profiles();
    std::lock_guard lock(shared.mutex);
    DeviceProfile turned = *shared.current.load();
    const auto landscape = [](long o) { return o == 3 || o == 4; };
    if (landscape(turned.interfaceOrientation) != landscape(orientation)) {
        turned.screenSize = {turned.screenSize.height, turned.screenSize.width};
    }
    turned.interfaceOrientation = orientation;
    shared.all.push_back(std::move(turned));
    shared.current = &shared.all.back();
}

bool DeviceProfile::canOpenScheme(std::string_view scheme) const {
    for (const std::string& known : openableSchemes) {
        if (known.size() != scheme.size()) continue;
        bool same = true;
        for (size_t i = 0; i < known.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(known[i])) ==
                   std::tolower(static_cast<unsigned char>(scheme[i]));
        }
        if (same) return true;
    }
    return false;
}

std::string DeviceProfile::environmentLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* set = std::getenv(variable);
        if (!set || !*set) continue;
        std::string locale(set);
        locale = locale.substr(0, locale.find_first_of(".@"));
        if (locale.empty() || locale == "C" || locale == "POSIX") return "en_US";
        return locale;
    }
    return "en_US";
}

bool DeviceProfile::isSystemVersionAtLeast(int major, int minor, int patch) const {
    std::array<int, 3> have{0, 0, 0};
    const char* cursor = systemVersion.data();
    const char* const end = cursor + systemVersion.size();
    for (int& part : have) {
        const auto [next, error] = std::from_chars(cursor, end, part);
        if (error != std::errc() || next == end || *next != '.') break;
        cursor = next + 1;
    }
    return have >= std::array<int, 3>{major, minor, patch};
}

}  // namespace ui
