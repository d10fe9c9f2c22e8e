#pragma once
// Shared by the tests of a slot's Live View and MRAID events: a slot of its
// own with a core controller of its own, shown in a window, loading inline
// ads from the local ad server's origin on the manual clock, and reads of
// what its ad page and its lent core page received.

#include <string>
#include <vector>

#include "SDKCoreTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/web/view/DZAdView.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace slotliveviewtesting {

using adwebtesting::waitFor;

// A page that keeps each Live View sample and each message it is sent.
inline const std::string kMeasuringPage =
    "<html><body><p>ad</p><script>window.samples = []; window.received = [];"
    "window.DUZO_updateLiveView = function (state) { window.samples.push(state); };"
    "window.DUZO_ReceiveMessage = function (name, argument) {"
    " window.received.push({name: name, argument: argument}); };</script></body></html>";

// An owner that also says where its banner is in the interface and hears
// of MRAID ads.
class PlacingOwner : public slottesting::RecordingOwner {
public:
    std::optional<gfx::Rect> interfaceFrame;
    int MRAIDLoads = 0;
    std::optional<gfx::Rect> frameInInterface() const override { return interfaceFrame; }
    void slotDidLoadMRAIDAd(ads::DZSlot&) override { ++MRAIDLoads; }
};

class SlotLiveViewTest : public sdkcoretesting::SDKCoreTest {
protected:
    static constexpr const char* kPagePath = "/test/slot/page";

    void SetUp() override {
        SDKCoreTest::SetUp();
        ui::Application::shared().becomeActive();
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        if (slot && slot->adView()) slot->adView()->removeFromSuperview();
        slot.reset();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        SDKCoreTest::TearDown();
        ui::Application::shared().resetForTesting();
    }

    // An inline banner ad of html on the server's origin; with displayed,
    // its impression waits until the ad is seen.
    core::Dictionary adOf(const std::string& html, bool displayed = false) const {
        core::Dictionary ad{{"ad_html", html}, {"ad_base_url", server.urlString(kPagePath)}};
        if (displayed) ad.set("use_displayed_impression", true);
        return ad;
    }
    // A 320x50 banner slot whose controller is this test's own, its ad view
    // at y 100 of the window when inWindow; false when the ad does not load.
    [[nodiscard]] bool show(const core::Dictionary& ad, bool inWindow = true) {
        owner->sizes = std::vector<ads::DZAdSize>{ads::kDZAdSizeBanner};
        slot = slottesting::bannerSlot(*owner);
        if (!slot) return false;
        slot->setSDKCoreController(controller ? controller : makeController());
        // tick() moves the clock a sampling interval at each look, far faster
        // than a lent page loads in real time: no load deadline here.
        controller->setSDKCoreWebViewLoadTimeout(kNoLoadDeadline);
        slot->adView()->setFrame({0, 100, 320, 50});
        if (inWindow) window->addSubview(slot->adView());
        slot->loadRequest(slottesting::requestWithExtras({{"_ad", ad}}));
        return waitFor([&] { return owner->outcomes() > 0; }) &&
               slot->state() == ads::DZSlot::kValidAd;
    }
    // The value of a script in the slot's ad page.
    [[nodiscard]] core::Value adPage(const std::string& script) const {
        return adwebtesting::evaluate(*slot->adView()->webView(), script);
    }
    // Waits until every script sent to the ad page so far has run there.
    [[nodiscard]] bool adPageScriptsRan() {
        const core::Value mark(++marks_);
        slot->adView()->executeJavaScriptAsynchronouslyFromString(
            "window.mark = " + std::to_string(marks_) + ";");
        return waitFor([&] { return adPage("window.mark") == mark; });
    }
    // The samples the ad page received, oldest first.
    [[nodiscard]] std::vector<core::Value> adPageSamples() const {
        return list(adPage("window.samples || []"));
    }
    // The samples the lent core page received, oldest first.
    [[nodiscard]] static std::vector<core::Value>
    corePageSamples(const std::shared_ptr<ads::DZSDKCoreWebView>& webView) {
        return list(adwebtesting::evaluate(*webView->adView()->webView(),
                                           "(window.DUZO_log || []).filter(function (e) {"
                                           " return e.name === 'DUZO_updateLiveView'; })"
                                           ".map(function (e) { return e.argument; })"));
    }
    // The one unit of a sample.
    [[nodiscard]] static core::Value unit(const core::Value& sample) {
        const core::Array* units = sample["units"].array();
        return units && units->size() == 1 ? units->front() : core::Value();
    }
    [[nodiscard]] static std::vector<core::Value> list(const core::Value& value) {
        return value.array() ? *value.array() : std::vector<core::Value>{};
    }
    // Moves the clock on by one sampling interval of the controller.
    void tick() { clock.advance(controller->liveViewSamplingInterval()); }

    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<PlacingOwner> owner = std::make_shared<PlacingOwner>();
    std::shared_ptr<ads::DZSlot> slot;

private:
    int marks_ = 0;
};

}  // namespace slotliveviewtesting
