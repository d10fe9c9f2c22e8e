#include "ads/foundation/DZOrientation.h"

#include <mutex>

#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr std::uint64_t kLandscape =
    kDZOrientationMaskLandscapeRight | kDZOrientationMaskLandscapeLeft;
constexpr std::uint64_t kPortrait =
    kDZOrientationMaskPortrait | kDZOrientationMaskPortraitUpsideDown;

std::mutex& providerMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<bool()>& splitScreenProvider() {
    static auto& provider = *new std::function<bool()>;  // read from any thread until the end
    return provider;
}

}  // namespace

std::uint64_t DZInterfaceOrientationMaskFromString(std::optional<std::string_view> text) {
    if (!text) return 0;
    if (*text == "any") return kPortrait | kLandscape;
    if (*text == "portrait") return kPortrait;
    if (*text == "landscape") return kLandscape;
    return 0;
}

std::uint64_t DZInterfaceOrientationMaskForOrientation(long orientation) {
    if (orientation < 0 || orientation > 63) return 0;
    return std::uint64_t{1} << orientation;
}

bool DZOrientationMaskContainsOrientation(std::uint64_t mask, long orientation) {
    return (mask & DZInterfaceOrientationMaskForOrientation(orientation)) != 0;
}

bool DZOrientationMaskHasPortraitAndLandscape(std::uint64_t mask) {
    return (mask & kLandscape) != 0 && (mask & kPortrait) != 0;
}

std::optional<std::string> DZOrientationCodeForOrientation(long orientation) {
    if (orientation == 1 || orientation == 2) return "p";
    if (orientation == 3 || orientation == 4) return "l";
    return std::nullopt;
}

std::optional<std::string> DZOrientationCodeForMask(std::uint64_t mask) {
    if (mask & kLandscape) return (mask & kPortrait) ? "any" : "l";
    if (mask & kDZOrientationMaskPortrait) return "p";
    return std::nullopt;
}

bool DZIsSplitScreenEnabled() {
    std::function<bool()> provider;
    {
        const std::lock_guard lock(providerMutex());
        provider = splitScreenProvider();
    }
    return provider && provider();
}

void DZSetSplitScreenProvider(std::function<bool()> provider) {
    const std::lock_guard lock(providerMutex());
    splitScreenProvider() = std::move(provider);
}

bool DZViewControllerOnlySupportsApplicationOrientation() {
    return core::UserDefaults::standard()->boolForKey(
        "/dozuza/ads/view_controller_only_supports_application_orientation");
}

}  // namespace ads
