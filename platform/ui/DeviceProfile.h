#pragma once
// The device the app believes it runs on: screen bounds and scale, system
// name and version, safe-area insets, status-bar height, phone or pad, model
// and machine code, languages and locale, advertising identifier, carrier,
// radio, audio facts and what the device can open or do.
// Profiles are JSON files in the bundle's "devices" folder; the default is a
// 375x667-point phone at scale 2. Tests and the tool select another with
// DeviceProfile::select(name) before the app starts, or make a profile of
// their own current with overrideForTesting(). Languages and locale come
// from the environment unless the profile names them. Any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ui {

// Unspecified stands for any other kind of device; profile files name only
// "phone" and "pad", tests make others with overrideForTesting().
enum class UserInterfaceIdiom { Phone, Pad, Unspecified };

// One output of the current audio route: its port type (AudioSession's
// port constants) and its name, which a port may lack.
struct AudioPort {
    std::string type;
    std::optional<std::string> name;
    friend bool operator==(const AudioPort&, const AudioPort&) = default;
};

// What the device's audio system reports before the app changes anything.
struct AudioFacts {
    float outputVolume = 1.0f;
    std::vector<AudioPort> route{{"Speaker", "Speaker"}};
    std::string category = "SoloAmbient";
    std::string mode = "Default";
    std::uint64_t categoryOptions = 0;
    bool otherAudioPlaying = false;
    bool secondaryAudioShouldBeSilenced = false;
    // The ring/silent switch is set to silent: sound of the ambient
    // categories is not heard ("silentMode").
    bool silentMode = false;
};

struct CarrierFacts {
    std::string name;
    std::string mobileCountryCode;
    std::string mobileNetworkCode;
    std::string isoCountryCode;
};

struct DeviceProfile {
    // Posted by whoever turns the device, on the main thread, without object.
    static constexpr const char* StatusBarOrientationDidChangeNotification =
        "StatusBarOrientationDidChange";

    std::string name;  // file name without ".json"
    gfx::Size screenSize{375, 667};
    double scale = 2;
    std::string systemName = "iOS";
    std::string systemVersion = "12.4";
    UserInterfaceIdiom idiom = UserInterfaceIdiom::Phone;
    gfx::EdgeInsets safeAreaInsets;  // portrait
    double statusBarHeight = 20;
    std::string model = "phone";
    std::string machine = "phone9,1";
    // Preferred languages as BCP 47 tags, most preferred first.
    std::vector<std::string> languages;
    std::string localeIdentifier = "en_US";
    std::string advertisingIdentifier;
    bool advertisingTrackingEnabled = true;
    // The "network" section: "wifi", "cellular" or "none"; radio access
    // technology (empty without a cellular radio); carrier codes.
    std::string networkConnection = "wifi";
    std::string radioTechnology;
    CarrierFacts carrier;
    AudioFacts audio;
    // 1 portrait, 2 upside down, 3 landscape right, 4 landscape left.
    long interfaceOrientation = 1;
    // URL schemes some installed app handles ("http", "tel", ...).
    std::vector<std::string> openableSchemes;
    bool canSendText = true;
    bool canMakePayments = true;
    // The whole file, for the facts other modules read from it.
    core::Value raw;

    [[nodiscard]] gfx::Rect screenBounds() const { return {{0, 0}, screenSize}; }
    // Compares systemVersion with major.minor.patch.
    [[nodiscard]] bool isSystemVersionAtLeast(int major, int minor = 0, int patch = 0) const;
    [[nodiscard]] bool canOpenScheme(std::string_view scheme) const;

    // The profile in use (the default one until select() succeeds).
    [[nodiscard]] static const DeviceProfile& current();
    // Loads "<resources>/devices/<name>.json" and makes it current; false
    // (and the current profile unchanged) when missing or malformed.
    [[nodiscard]] static bool select(const std::string& name);
    // Makes the given profile current until the next select() or override.
    static void overrideForTesting(DeviceProfile profile);
    // Makes a copy of the current profile in the given orientation current:
    // the screen's width and height swap when it turns between portrait and
    // landscape. Application::rotateInterface calls it.
    static void setInterfaceOrientation(long orientation);
    [[nodiscard]] static std::optional<DeviceProfile> fromValue(const core::Value& value);
    // The locale of the environment (LC_ALL, LC_MESSAGES, LANG) without
    // encoding or modifier, "en_US" when none is set or it is "C"/"POSIX".
    [[nodiscard]] static std::string environmentLocale();
};

}  // namespace ui
