#pragma once
// The vantor tool's native ad shot: it loads an app install ad of the local
// ad server's showcase unit (an icon, a picture and an attribution badge)
// through a DZAdLoader, lays it out in a DZNativeAppInstallAdView of its
// own over the current page (icon, headline, stars, body, store and price,
// the picture in a media view, the call to action; the view policy puts
// the badge in its corner), waits for the impression to reach the server
// and writes native-ad.png. It reads the PNG back and checks that the
// headline is drawn, that the media view shows the picture and that the
// badge's colour fills the ad view's top right corner, prints what it
// found, and takes the ad view away again.
//
// Main thread, on the tool's clock, after the app has launched. The app
// itself shows no native ad: only the tool asks for one.

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

// Whether the PNG was written and every check held.
[[nodiscard]] bool shootNativeAd(const std::shared_ptr<app::AppDelegate>& delegate,
                                 fixtures::AdServer& server, fixtures::AppClock& clock,
                                 const std::filesystem::path& out);

}  // namespace tools
