#pragma once
// Shared set-up of the device and audio signal tests: a device profile made
// current for one test, and a host double for DZDevice.

#include <optional>
#include <string>

#include "ads/foundation/DZDeviceHost.h"
#include "core/JSON.h"
#include "ui/AudioSession.h"
#include "ui/DeviceProfile.h"

namespace testsupport {

// Makes a profile current for the scope's lifetime and puts the previous one
// back afterwards; the shared audio session starts from the profile.
class DeviceProfileOverride {
public:
    explicit DeviceProfileOverride(ui::DeviceProfile profile)
        : previous_(ui::DeviceProfile::current()) {
        ui::DeviceProfile::overrideForTesting(std::move(profile));
        ui::AudioSession::shared().resetForTesting();
    }
    // A profile read from JSON text; an unreadable one fails the test at use.
    explicit DeviceProfileOverride(std::string_view json) : DeviceProfileOverride(fromJSON(json)) {}
    ~DeviceProfileOverride() {
        ui::DeviceProfile::overrideForTesting(previous_);
        ui::AudioSession::shared().resetForTesting();
    }
    DeviceProfileOverride(const DeviceProfileOverride&) = delete;
    DeviceProfileOverride& operator=(const DeviceProfileOverride&) = delete;

    static ui::DeviceProfile fromJSON(std::string_view json) {
        const auto value = core::JSON::parse(json);
        auto profile = value ? ui::DeviceProfile::fromValue(*value) : std::nullopt;
        if (profile) return *profile;
        ui::DeviceProfile unreadable;
        unreadable.name = "unreadable";
        return unreadable;
    }

private:
    ui::DeviceProfile previous_;
};

class FakeDeviceHost : public ads::DZDeviceHost {
public:
    std::optional<gfx::Size> windowSize = gfx::Size{320, 568};
    unsigned long mainWindowOrientations = 1UL << 1;
    unsigned long applicationOrientations = 1UL << 1;
    core::Value metadata = core::Dictionary();
    core::Value info = core::Dictionary();
    std::optional<std::string> appVersion = "7.1";
    std::string bundleIdentifier = "com.example.golden";
    std::string markerPath = "/nonexistent/vantor-marker";

    std::optional<gfx::Size> mainWindowSize() const override { return windowSize; }
    unsigned long mainWindowSupportedInterfaceOrientations() const override {
        return mainWindowOrientations;
    }
    unsigned long supportedInterfaceOrientationsForMainWindow() const override {
        return applicationOrientations;
    }
    core::Value iTunesMetadata() const override { return metadata; }
    core::Value infoDictionary() const override { return info; }
    std::optional<std::string> version() const override { return appVersion; }
    std::string mainBundleIdentifier() const override { return bundleIdentifier; }
    std::string jailbreakMarkerPath() const override { return markerPath; }
};

}  // namespace testsupport
