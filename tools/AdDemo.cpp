#include "AdDemo.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/web/view/DZAdView.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"
#include "fixtures/AppClock.h"
#include "store/URLOpener.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Label.h"
#include "ui/Renderer.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace tools {

namespace {

constexpr const char* kAdUnitID = "vantor-demo-banner";
// Real-time limits of the network waits, during which the clock stands:
// the web process's work does not count as work under way for the tool's
// clock, which would otherwise run out every time-out before the page
// answers.
constexpr double kLoadLimit = 30;
constexpr double kPingLimit = 10;
// Past the ad view delegate's click delay after the load.
constexpr double kTapDelay = 0.2;
// Ad requests carry long queries: the log shows their start.
constexpr size_t kQueryShown = 72;

const char* stateName(std::int64_t state) {
    static const char* const names[] = {
        "idle",
        "core page failed",
        "requesting the ad URL",
        "ad URL received",
        "fetching",
        "rendering",
        "valid ad",
        "failed",
        "invalidated",
    };
    return state >= 0 && state <= 8 ? names[state] : "unknown";
}

// The slot's owner: a 320x50 banner that hears how its loads end and its
// clicks.
class DemoOwner : public ads::DZSlotDelegate, public ads::DZSlotAdLoadDelegate {
public:
    std::optional<std::string> failure;
    bool finished = false;
    int clicks = 0;

    ads::DZSlotDelegateKind slotDelegateKind() const override {
        return ads::DZSlotDelegateKind::banner;
    }
    std::optional<std::vector<ads::DZBoxedValue>> validAdSizes() const override {
        return std::vector<ads::DZBoxedValue>{ads::DZAdSizeBoxedValue(ads::kDZAdSizeBanner)};
    }
    void slotDidReceiveAdClick(ads::DZSlot&) override { ++clicks; }
    void slotFinishedLoadingAdContent(ads::DZSlot&) override { finished = true; }
    void didFailToLoadAdContentWithError(ads::DZSlot&, const ads::Error& error) override {
        failure = error.message;
    }
};

void say(const std::string& line) {
    std::printf("vantor: %s\n", line.c_str());
    std::fflush(stdout);
}

// Prints each state the slot is seen in; false when it never leaves the
// load (no outcome within the limit).
bool followLoad(ads::DZSlot& slot, const DemoOwner& owner) {
    std::int64_t shown = -1;
    const auto report = [&] {
        if (slot.state() == shown) return;
        shown = slot.state();
        say("  slot state " + std::to_string(shown) + " (" + stateName(shown) + ")");
    };
    report();
    const bool ended = core::RunLoop::main().runUntil(
        [&] {
            report();
            return owner.finished || owner.failure.has_value();
        },
        kLoadLimit);
    report();
    return ended;
}

size_t hits(const fixtures::AdServer& server, const char* path) {
    return server.requestsTo(path).size();
}

}  // namespace

bool runAdDemo(fixtures::AdServer& server, fixtures::AppClock& clock,
               const std::filesystem::path& out) {
    ui::Application::shared().becomeActive();
    const gfx::Size screen = ui::DeviceProfile::current().screenSize;
    auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, screen.width, screen.height));
    window->setBackgroundColor(gfx::Color::white());
    auto title = std::make_shared<ui::Label>(gfx::Rect(16, 60, screen.width - 32, 30));
    title->setText("Banner from the local ad server");
    window->addSubview(title);
    window->makeKeyAndVisible();

    const gfx::Size banner = ads::kDZAdSizeBanner.size;
    const gfx::Rect frame((screen.width - banner.width) / 2, 100, banner.width, banner.height);
    const auto slot = ads::DZSlot::create(frame);
    if (!slot) {
        say("the ad view cannot be made (no web view)");
        return false;
    }
    const auto owner = std::make_shared<DemoOwner>();
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(owner);
    slot->setAdType(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeBanner), false);
    slot->setAdUnitID(kAdUnitID);
    window->addSubview(slot->adView());

    say("loading one banner (" + std::string(kAdUnitID) + ") from " + server.secureBaseURL());
    slot->loadRequest(std::make_shared<ads::DZRequest>());
    const bool ended = followLoad(*slot, *owner);
    bool ok = ended && owner->finished && slot->state() == ads::DZSlot::kValidAd;
    if (!ok) {
        say("the banner did not load" + (owner->failure ? ": " + *owner->failure : std::string()));
    }

    if (ok) {
        (void)core::RunLoop::main().runUntil(
            [&] { return hits(server, fixtures::AdServer::kImpressionPath) > 0; }, kPingLimit);
        if (!web::WebView::awaitSnapshots(kPingLimit)) say("the ad's picture is late");
        const std::filesystem::path shot = out / "ad-banner.png";
        if (ui::Renderer::writePNG(*window, shot.string())) {
            say("  " + shot.string());
        } else {
            say("cannot write " + shot.string());
            ok = false;
        }

        clock.advance(kTapDelay);
        say("tapping the ad");
        ui::TouchInjector(*window).tap(
            slot->adView()->convertRectTo(slot->adView()->bounds(), nullptr).center());
        (void)core::RunLoop::main().runUntil(
            [&] { return hits(server, fixtures::AdServer::kClickPath) > 0 && owner->clicks > 0; },
            kPingLimit);
        for (const core::URL& url : store::URLOpener::shared().openedURLs())
            say("  the click opened " + url.absoluteString());
    }

    say("the ad server's log:");
    for (const auto& request : server.requests()) {
        std::string query = request.rawQuery;
        if (query.size() > kQueryShown) query = query.substr(0, kQueryShown) + "...";
        say("  " + request.method + " " + request.path + (query.empty() ? "" : "?" + query));
    }
    const size_t impressions = hits(server, fixtures::AdServer::kImpressionPath);
    const size_t clicks = hits(server, fixtures::AdServer::kClickPath);
    say("impression pings: " + std::to_string(impressions) +
        ", click pings: " + std::to_string(clicks));
    slot->adView()->removeFromSuperview();
    return ok && impressions == 1 && clicks == 1 && owner->clicks == 1;
}

}  // namespace tools
