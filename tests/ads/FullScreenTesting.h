#pragma once
// Shared by the full-screen presentation tests: a launched app whose
// delegate allows every orientation, a key window with a publisher's root
// controller, a manual clock, the portrait device profile restored after
// each test, and a banner slot with its recording owner.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AdWebTesting.h"
#include "DeviceSignalsTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace fullscreentesting {

using adwebtesting::drainMainQueue;
using adwebtesting::waitFor;

// The messages of that name the page in the ad view received, oldest first
// (pages of fixtures::FullScreenCreative and the like keep them).
[[nodiscard]] inline std::vector<core::Value> received(ads::DZAdView& adView,
                                                       const std::string& name) {
    const core::Value all = adwebtesting::evaluate(*adView.webView(), "window.received || []");
    std::vector<core::Value> found;
    if (const core::Array* list = all.array())
        for (const core::Value& entry : *list)
            if (name.empty() || entry["name"] == core::Value(name)) found.push_back(entry);
    return found;
}

// The names of every message the page received, oldest first.
[[nodiscard]] inline std::vector<std::string> receivedNames(ads::DZAdView& adView) {
    std::vector<std::string> names;
    for (const core::Value& entry : received(adView, ""))
        if (const std::string* name = entry["name"].string()) names.push_back(*name);
    return names;
}

class AllOrientationsDelegate : public ui::ApplicationDelegate {
public:
    std::shared_ptr<ui::Window> mainWindow;
    bool didFinishLaunching(ui::Application&) override { return true; }
    std::shared_ptr<ui::Window> window() const override { return mainWindow; }
    std::optional<unsigned long> supportedInterfaceOrientationsForWindow(ui::Application&,
                                                                         const ui::Window*) override {
        return 30;
    }
};

// Counts the episode notifications posted with any object.
class EpisodeNotifications {
public:
    EpisodeNotifications() {
        auto& center = core::NotificationCenter::defaultCenter();
        willPresentToken_ = center.addObserver(ads::DZSlot::kWillPresentFullScreenNotification,
                                               nullptr, nullptr,
                                               [this](const core::Notification&) { ++willPresent; });
        didDismissToken_ = center.addObserver(ads::DZSlot::kDidDismissFullScreenNotification,
                                              nullptr, nullptr,
                                              [this](const core::Notification&) { ++didDismiss; });
    }
    ~EpisodeNotifications() {
        core::NotificationCenter::defaultCenter().removeObserver(willPresentToken_);
        core::NotificationCenter::defaultCenter().removeObserver(didDismissToken_);
    }
    int willPresent = 0;
    int didDismiss = 0;

private:
    core::NotificationCenter::Token willPresentToken_;
    core::NotificationCenter::Token didDismissToken_;
};

class FullScreenTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        ads::DZApplication::resetForTesting();
        delegate = std::make_shared<AllOrientationsDelegate>();
        window = std::make_shared<ui::Window>();
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        delegate->mainWindow = window;
        ASSERT_TRUE(ui::Application::shared().launch(delegate));
        window->makeKeyAndVisible();
        slot = slottesting::bannerSlot(*owner);
        ASSERT_TRUE(slot);
        ads::DZCallLog::clear();
    }
    void TearDown() override {
        window.reset();
        root.reset();
        ASSERT_TRUE(drainMainQueue());
        ui::Application::shared().resetForTesting();
        ads::DZApplication::resetForTesting();
    }
    // Lets an animated transition (0.3 s on the clock) and what follows it run.
    void settle(double seconds = 0.5) {
        clock.advance(seconds);
        ASSERT_TRUE(drainMainQueue());
        ASSERT_TRUE(drainMainQueue());
    }
    // Shows the slot's ad (kRecordingPage or the HTML given) so that the
    // slot has a current ad; false when it does not load.
    [[nodiscard]] bool loadAd(const std::string& html) {
        const size_t before = owner->outcomes();
        slot->loadRequest(slottesting::requestWithExtras({{"_ad", slottesting::inlineAd(html)}}));
        return waitFor([&] { return owner->outcomes() > before; }) && owner->finished > 0;
    }

    testsupport::DeviceProfileOverride profile{ui::DeviceProfile::current()};
    testsupport::ManualClockScope clock;
    std::shared_ptr<AllOrientationsDelegate> delegate;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<slottesting::RecordingOwner> owner =
        std::make_shared<slottesting::RecordingOwner>();
    std::shared_ptr<ads::DZSlot> slot;
};

}  // namespace fullscreentesting
