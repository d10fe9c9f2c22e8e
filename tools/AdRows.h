#pragma once
// The vantor tool's shot of the featured feed's banner rows: it shows the
// featured feed, brings its first banner row on screen, lets the banners
// that rows displayed load from the local ad server (the app's unit is the
// server's "demo" scenario) and make their impressions, and writes
// featured-ad-rows.png. It then reads the PNG back and checks that the
// first banner row shows the demo banner's two colours, and that the ad
// server's log holds the core page and, per banner shown, one ad request and
// one impression. It prints what it found.
//
// Main thread, on the tool's clock, after the app has launched.

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

// The demo banner's colours (fixtures/ads/creatives/demo.css), 0xRRGGBB.
inline constexpr unsigned kDemoBannerTop = 0xe4572e;
inline constexpr unsigned kDemoBannerBottom = 0x17bebb;

// Whether the PNG was written and every check held.
[[nodiscard]] bool shootFeaturedAdRows(const std::shared_ptr<app::AppDelegate>& delegate,
                                       fixtures::AdServer& server, fixtures::AppClock& clock,
                                       const std::filesystem::path& out);

}  // namespace tools
