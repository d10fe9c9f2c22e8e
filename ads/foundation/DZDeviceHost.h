#pragma once
// What DZDevice asks of the SDK's application object and the running app:
// the main window, its orientations, the bundle's facts and the store
// metadata. platform() answers from ui::Application and the main bundle;
// tests pass a double of their own to DZDevice::create. Main thread for the
// window and orientation questions, any thread for the rest.

#include <memory>
#include <optional>
#include <string>

#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ads {

class DZDeviceHost {
public:
    virtual ~DZDeviceHost() = default;

    // The standardized frame size of the main window; none without one.
    [[nodiscard]] virtual std::optional<gfx::Size> mainWindowSize() const = 0;
    // Orientation bit masks (bit n = orientation n): the main window's, as
    // its delegate answers, and the application's for the main window.
    [[nodiscard]] virtual unsigned long mainWindowSupportedInterfaceOrientations() const = 0;
    [[nodiscard]] virtual unsigned long supportedInterfaceOrientationsForMainWindow() const = 0;
    // The store metadata dictionary, empty when it cannot be read.
    [[nodiscard]] virtual core::Value iTunesMetadata() const = 0;
    [[nodiscard]] virtual core::Value infoDictionary() const = 0;
    // "CFBundleVersion"; none when missing.
    [[nodiscard]] virtual std::optional<std::string> version() const = 0;
    [[nodiscard]] virtual std::string mainBundleIdentifier() const = 0;
    // A file whose presence marks a device whose system was opened up.
    [[nodiscard]] virtual std::string jailbreakMarkerPath() const = 0;

    [[nodiscard]] static std::shared_ptr<DZDeviceHost> platform();
};

}  // namespace ads
