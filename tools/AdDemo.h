#pragma once
// The vantor tool's offline ad run (--ad-demo): one banner-kind slot asks
// the local ad server's core page for its ad URL, fetches and shows the ad
// in a window of the device's screen, makes its impression, and after its
// click delay takes a scripted tap on the ad. The run prints the slot's
// states as it sees them change, every request the server logged (the
// impression and click pings among them) and what the click opened, and
// writes a PNG of the window showing the ad.
//
// Main thread, on the tool's clock; the SDK must already reach the server
// (its ad server host and trusted authority set).

#include <filesystem>

namespace fixtures {
class AdServer;
class AppClock;
}  // namespace fixtures

namespace tools {

// Whether the ad showed, made one impression and one click ping, and its
// PNG was written.
[[nodiscard]] bool runAdDemo(fixtures::AdServer& server, fixtures::AppClock& clock,
                             const std::filesystem::path& out);

}  // namespace tools
