// A banner from the local ad server whose page sends, in one turn, a
// tracking ping, a vibration, a question about openable URLs, an app event
// and an MRAID resize: each reaches its handler through the slot's ad view
// delegate, in the order sent.

#include <gtest/gtest.h>

#include "HandlerTesting.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "ads/presentation/click/DZMRAIDResizeOverlayPresenter.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/net/DZPinger.h"
#include "fixtures/AdServer.h"
#include "fixtures/MessagesCreative.h"
#include "ui/Application.h"
#include "ui/SystemSoundPlayer.h"
#include "ui/Window.h"

namespace {

using namespace handlertesting;
using fixtures::MessagesCreative;

// What had happened when the app event arrived.
struct Snapshot {
    std::vector<ui::SystemSoundID> sounds;
    bool tracked = false;
    bool resized = false;
};

class SnapshotOwner : public HandlerOwner {
public:
    std::function<Snapshot()> take;
    std::vector<Snapshot> atAppEvents;

    void didReceiveAppEvent(ads::DZSlot& slot, const std::string& name,
                            const std::optional<std::string>& info) override {
        HandlerOwner::didReceiveAppEvent(slot, name, info);
        atAppEvents.push_back(take());
    }
};

TEST(DZAdPageMessagesService, MessagesSentInOneTurnAreHandledInOrder) {
    core::UserDefaults::standard()->setBool(std::string(ads::DZPinger::kEnableWebViewPingsKey),
                                            false);
    ui::SystemSoundPlayer::resetForTesting();
    fixtures::AdServer server;
    const auto owner = std::make_shared<SnapshotOwner>();
    const auto pinger = ads::DZPinger::sharedInstance();
    // The resize shows the ad view resized over this window's screen.
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    const auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    // The resized ad is laid over the window by its presenter, not presented.
    std::shared_ptr<ads::DZSlot> slot;
    const auto resized = [&] {
        const auto adView = slot ? slot->adView() : nullptr;
        const auto shown =
            adView ? std::dynamic_pointer_cast<ads::DZViewController>(adView->viewController())
                   : nullptr;
        return shown && shown->view()->window() &&
               std::dynamic_pointer_cast<ads::DZMRAIDResizeOverlayPresenter>(shown->presenter());
    };
    owner->take = [&] {
        return Snapshot{ui::SystemSoundPlayer::playedSounds(),
                        !server.requestsTo(MessagesCreative::kTrackPath).empty() ||
                            pinger->pingsInFlight() > 0,
                        resized()};
    };
    slot = slottesting::bannerSlot(*owner);
    ASSERT_TRUE(slot);
    // Shown in a banner's place in the window, whose coordinates the
    // resize's offset is given in.
    const auto place = std::make_shared<ui::View>(gfx::Rect(0, 100, 320, 50));
    window->addSubview(place);
    slot->adView()->setFrame({0, 0, 320, 50});
    place->addSubview(slot->adView());
    const auto placement = std::make_shared<int>(0);
    slot->setPlacement(placement);
    ads::DZCallLog::clear();
    // An ad URL of the request turns MRAID substitution on; it goes back after.
    const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
    const bool substituting = interceptor->enabled();

    slot->loadRequest(slottesting::requestWithExtras(
        {{"_requestUrl", server.urlString(fixtures::AdServer::kMessagesCreativePath)}}));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    ASSERT_EQ(owner->finished, 1);
    slot->adView()->executeJavaScriptAsynchronouslyFromString("sendAll()");
    ASSERT_TRUE(waitFor([&] {
        return resized() &&
               !received(*slot->adView(), "openableURLs").empty() &&
               !server.requestsTo(MessagesCreative::kTrackPath).empty();
    }));

    // The ping reached the server.
    const auto tracks = server.requestsTo(MessagesCreative::kTrackPath);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].rawQuery, MessagesCreative::kTrackQuery);
    EXPECT_EQ(ui::SystemSoundPlayer::playedSounds(), std::vector<ui::SystemSoundID>{4095});
    const core::Dictionary openable{{MessagesCreative::kOpenableURL, true},
                                    {MessagesCreative::kUndeclaredURL, false},
                                    {MessagesCreative::kNotAURL, false}};
    EXPECT_EQ(received(*slot->adView(), "openableURLs"), std::vector<core::Value>{openable});
    EXPECT_EQ(owner->appEvents,
              std::vector<std::string>{std::string(MessagesCreative::kAppEventName) + " " +
                                       MessagesCreative::kAppEventInfo});
    ASSERT_TRUE(waitFor([&] { return !received(*slot->adView(), "onSizeChanged").empty(); }));
    const core::Value size = received(*slot->adView(), "onSizeChanged")[0];
    EXPECT_EQ(size["width"], core::Value(300));
    EXPECT_EQ(size["height"], core::Value(250));

    // The ping and the vibration came before the app event, the resize after.
    ASSERT_EQ(owner->atAppEvents.size(), 1u);
    const Snapshot& atEvent = owner->atAppEvents[0];
    EXPECT_TRUE(atEvent.tracked);
    EXPECT_EQ(atEvent.sounds, std::vector<ui::SystemSoundID>{4095});
    EXPECT_FALSE(atEvent.resized);

    interceptor->setEnabled(substituting);
    EXPECT_TRUE(waitFor([&] { return pinger->pingsInFlight() == 0; }));
    core::UserDefaults::standard()->removeObjectForKey(ads::DZPinger::kEnableWebViewPingsKey);
    ui::Application::shared().resetForTesting();
}

}  // namespace
