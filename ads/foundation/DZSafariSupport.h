#pragma once
// The in-app browser as the SDK reaches it: the platform's browser class,
// and whether a URL may open in it: its scheme, lowercased, must be in the
// server's list "/dozuza/ads/dzads:safariviewcontroller_supported_schemes"
// (["http", "https"] when the user defaults hold no such list). The class
// test runs on any thread; browsers are made on the main thread.

#include <memory>
#include <optional>
#include <string_view>

#include "core/URL.h"

namespace ui {
class ViewController;
}  // namespace ui

namespace ads {

inline constexpr std::string_view kDZSafariSupportedSchemesKey =
    "/dozuza/ads/dzads:safariviewcontroller_supported_schemes";

// A view controller class found by name: its name and how to make one for
// a URL (nullptr for a URL it cannot show).
struct DZViewControllerClass {
    std::string_view name;
    std::shared_ptr<ui::ViewController> (*create)(const core::URL& url);
};

// The class named "SFSafariViewController" when the platform has it (here
// always: platform/store's in-app browser), else nullopt.
[[nodiscard]] std::optional<DZViewControllerClass> DZSafariViewControllerClass();

[[nodiscard]] bool DZSafariViewControllerSupportsURL(const std::optional<core::URL>& url);

}  // namespace ads
