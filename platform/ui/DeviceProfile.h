#pragma once
// The device the app believes it runs on: screen bounds and scale, system
// name and version, safe-area insets, status-bar height, phone or pad.
// Profiles are JSON files in the bundle's "devices" folder; the default is a
// 375x667-point phone at scale 2. Tests and the tool select another with
// DeviceProfile::select(name) before the app starts.

#include <memory>
#include <optional>
#include <string>

#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ui {

enum class UserInterfaceIdiom { Phone, Pad };

struct DeviceProfile {
    std::string name;  // file name without ".json"
    gfx::Size screenSize{375, 667};
    double scale = 2;
    std::string systemName = "iOS";
    std::string systemVersion = "12.4";
    UserInterfaceIdiom idiom = UserInterfaceIdiom::Phone;
    gfx::EdgeInsets safeAreaInsets;  // portrait
    double statusBarHeight = 20;
    // The whole file, for the facts other modules read from it.
    core::Value raw;

    [[nodiscard]] gfx::Rect screenBounds() const { return {{0, 0}, screenSize}; }
    // Compares systemVersion with major.minor.patch.
    [[nodiscard]] bool isSystemVersionAtLeast(int major, int minor = 0, int patch = 0) const;

    // The profile in use (the default one until select() succeeds).
    [[nodiscard]] static const DeviceProfile& current();
    // Loads "<resources>/devices/<name>.json" and makes it current; false
    // (and the current profile unchanged) when missing or malformed.
    [[nodiscard]] static bool select(const std::string& name);
    [[nodiscard]] static std::optional<DeviceProfile> fromValue(const core::Value& value);
};

}  // namespace ui
