#pragma once
// The vantor tool's MRAID shot: over the featured feed it shows a banner of
// the local ad server's MRAID compliance unit (buttons that expand, resize,
// open and close, and a list of every MRAID event the page hears), waits
// until the page is ready, taps its Expand button and writes
// mraid-expanded.png of the expanded ad. It reads the PNG back and checks
// that the creative fills the screen with the SDK's close button over it,
// closes the ad with that button, and checks that the page went from
// "default" to "expanded" and back, as it reported to the server. It prints
// what it found and takes the banner away again.
//
// Main thread, on the tool's clock, after the app has launched. The app
// itself shows no MRAID ad: only the tool asks for one.

#include <filesystem>
#include <memory>

namespace app {
class AppDelegate;
}

namespace fixtures {
class AdServer;
class AppClock;
}  // namespace fixtures

namespace tools {

// The compliance page's colours (fixtures/ads/creatives/mraid-compliance.css).
inline constexpr unsigned kMRAIDComplianceBackground = 0x264653;
inline constexpr unsigned kMRAIDComplianceExpandButton = 0xe76f51;

// Whether the PNG was written, every check held and the ad closed.
[[nodiscard]] bool shootMRAIDExpanded(const std::shared_ptr<app::AppDelegate>& delegate,
                                      fixtures::AdServer& server, fixtures::AppClock& clock,
                                      const std::filesystem::path& out);

}  // namespace tools
