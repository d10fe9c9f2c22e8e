#pragma once
// Shared by the tests of the ad page's message handlers: a banner slot whose
// delegate's opener and ad view the handlers act on, full-screen
// controllers for the ad view, and the status-bar orientation set for one
// test.

#include <memory>
#include <string>
#include <vector>

#include "AdWebTesting.h"
#include "DMSGTesting.h"
#include "DeviceSignalsTesting.h"
#include "RecordingOpener.h"
#include "SlotTesting.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/dmsg/DZDMSGHandler.h"
#include "ads/web/view/DZAdView.h"
#include "ui/DeviceProfile.h"

namespace handlertesting {

using adwebtesting::callsStartingWith;
using adwebtesting::drainMainQueue;
using adwebtesting::waitFor;
using dmsgtesting::message;

// A page that keeps every message the SDK sends it in window.received, as
// {name, argument} objects.
inline const std::string kRecordingPage =
    "<html><body><script>window.received = [];"
    "window.DUZO_ReceiveMessage = function (name, argument) {"
    " window.received.push({name: name, argument: argument}); };</script></body></html>";

// The messages of that name the page in the ad view received, oldest first.
[[nodiscard]] inline std::vector<core::Value> received(ads::DZAdView& adView,
                                                       const std::string& name) {
    const core::Value all = adwebtesting::evaluate(*adView.webView(), "window.received || []");
    std::vector<core::Value> found;
    if (const core::Array* list = all.array())
        for (const core::Value& entry : *list)
            if (entry["name"] == core::Value(name)) found.push_back(entry["argument"]);
    return found;
}

// A slot owner that also records app events ("<name> <info or ->"), the
// impressions and clicks it is told of, and the audio categories it is
// asked about (answering `allowsCategories`).
class HandlerOwner : public slottesting::RecordingOwner {
public:
    std::vector<std::string> appEvents;
    std::vector<std::string> slotEvents;
    std::vector<std::string> categoriesAsked;
    bool allowsCategories = true;

    void didReceiveAppEvent(ads::DZSlot&, const std::string& name,
                            const std::optional<std::string>& info) override {
        appEvents.push_back(name + " " + info.value_or("-"));
    }
    void slotDidRecordImpression(ads::DZSlot&) override { slotEvents.emplace_back("impression"); }
    void slotDidRecordClick(ads::DZSlot&) override { slotEvents.emplace_back("click"); }
    bool shouldChangeAudioSessionCategoryTo(ads::DZSlot&, const std::string& category) override {
        categoriesAsked.push_back(category);
        return allowsCategories;
    }
};

// The handler of class T in the delegate's list; nullptr when none.
template <typename T>
[[nodiscard]] std::shared_ptr<T> handlerOf(const ads::DZAdViewDelegate& delegate) {
    for (const auto& handler : delegate.DMSGHandlers())
        if (auto found = std::dynamic_pointer_cast<T>(handler)) return found;
    return nullptr;
}

// A banner slot with its owner; the opener acts for the slot's ad view as a
// navigation of it would have set up.
class SlotPage {
public:
    SlotPage() {
        slot = slottesting::bannerSlot(*owner);
        if (!slot) return;
        opener = slot->adViewDelegate()->opener();
        opener->setAdView(slot->adView());
        ads::DZCallLog::clear();
    }
    [[nodiscard]] const std::shared_ptr<ads::DZAdView>& adView() const { return slot->adView(); }
    // Shows the ad view in a full-screen controller, as a navigation would
    // tell the opener.
    std::shared_ptr<ads::DZAdAppViewController> presentFullScreen() {
        auto controller = std::make_shared<ads::DZAdAppViewController>();
        adView()->setViewController(controller);
        opener->setViewController(controller);
        return controller;
    }
    // Shows kRecordingPage (or the given HTML) as the slot's ad; false when
    // it does not load.
    [[nodiscard]] bool load(const std::string& html = kRecordingPage) {
        const size_t before = owner->outcomes();
        slot->loadRequest(slottesting::requestWithExtras({{"_ad", slottesting::inlineAd(html)}}));
        return waitFor([&] { return owner->outcomes() > before; }) && owner->finished > 0;
    }
    // Offers the message to the handler with this page's ad view.
    bool send(ads::DZDMSGHandler& handler, std::string name, core::Dictionary parameters = {}) {
        return handler.handleNotification(message(std::move(name), std::move(parameters)),
                                          adView());
    }

    // An opener that only records what it is asked for, acting for the
    // same slot and ad view as the slot's own.
    [[nodiscard]] std::shared_ptr<openertesting::RecordingOpener> recordingOpener() const {
        auto recording = std::make_shared<openertesting::RecordingOpener>();
        recording->setAdView(opener->adView());
        recording->setSlot(opener->slot());
        recording->setVideoReportingSlot(opener->videoReportingSlot());
        recording->setAdViewSlot(opener->adViewSlot());
        recording->setViewController(opener->viewController());
        return recording;
    }

    std::shared_ptr<HandlerOwner> owner = std::make_shared<HandlerOwner>();
    std::shared_ptr<ads::DZSlot> slot;
    std::shared_ptr<ads::DZOpener> opener;
};

// The device profile in the given interface orientation for one test.
class OrientationScope {
public:
    explicit OrientationScope(long orientation) : profile_(turned(orientation)) {}

private:
    static ui::DeviceProfile turned(long orientation) {
        ui::DeviceProfile profile = ui::DeviceProfile::current();
        profile.interfaceOrientation = orientation;
        return profile;
    }
    testsupport::DeviceProfileOverride profile_;
};

// The call-log entries of the opener's operations (its checks left out).
[[nodiscard]] inline std::vector<std::string> openerCalls() {
    std::vector<std::string> calls;
    for (auto& call : callsStartingWith("DZOpener."))
        if (call != "DZOpener.shouldPerformOpenAction") calls.push_back(std::move(call));
    return calls;
}

}  // namespace handlertesting
