#pragma once
// The vantor tool's interstitial shot: over the featured feed it loads a
// DZInterstitial of the local ad server's demo interstitial unit through
// the SDK's public entry (create, loadRequest, presentFromRootViewController
// on the window's root controller), waits until the page has heard "onshow"
// and the impression reached the server, and writes interstitial.png. It
// reads the PNG back and checks that the creative's colour fills the screen
// and that the close button (white on dark) is drawn over it, then closes
// the ad by tapping that button and checks that it went away and that the
// page heard "onhide" after "onshow". It prints what it found.
//
// Main thread, on the tool's clock, after the app has launched. The app
// itself shows no interstitial: only the tool asks for one.

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

// The demo interstitial's colours (fixtures/ads/creatives/demo-interstitial.html).
inline constexpr unsigned kDemoInterstitialBackground = 0x5f0f40;
inline constexpr unsigned kDemoInterstitialBand = 0xfb8b24;

// Whether the PNG was written, every check held and the ad closed.
[[nodiscard]] bool shootInterstitial(const std::shared_ptr<app::AppDelegate>& delegate,
                                     fixtures::AdServer& server, fixtures::AppClock& clock,
                                     const std::filesystem::path& out);

}  // namespace tools
