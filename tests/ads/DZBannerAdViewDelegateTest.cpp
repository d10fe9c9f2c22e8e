// The slot's ad view delegate turning page loads into slot states, and the
// opener's auto-click protection.

#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "SlotTesting.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/presentation/click/DZOpener.h"
#include "store/URLOpener.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"
#include "ads/web/dmsg/DZAdAppDMSGHandler.h"
#include "ads/web/dmsg/DZAdRefreshDMSGHandler.h"
#include "ads/web/dmsg/DZAnalyticsDMSGHandler.h"
#include "ads/web/dmsg/DZAppEventDMSGHandler.h"
#include "ads/web/dmsg/DZCSIDMSGHandler.h"
#include "ads/web/dmsg/DZDefaultDMSGHandler.h"
#include "ads/web/dmsg/DZDelayPageCloseDMSGHandler.h"
#include "ads/web/dmsg/DZDelayPageLoadDMSGHandler.h"
#include "ads/web/dmsg/DZMRAIDDMSGHandler.h"
#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"
#include "ads/web/dmsg/DZOpenerDMSGHandler.h"
#include "ads/web/dmsg/DZOrientationDMSGHandler.h"
#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandler.h"
#include "ads/web/dmsg/DZVideoMetadataDMSGHandler.h"
#include "ads/web/dmsg/DZVideoPlayerDMSGHandler.h"
#include "ads/web/view/DZAdView.h"

#include <typeindex>

namespace {

using namespace slottesting;
using ads::DZSlot;

TEST(DZBannerAdViewDelegateTest, PageLoadsCountOnlyInTheirStates) {
    const auto owner = std::make_shared<RecordingOwner>();
    const auto slot = bannerSlot(*owner);
    ASSERT_TRUE(slot);
    const auto& delegate = slot->adViewDelegate();
    ASSERT_EQ(slot->adView()->delegate(), delegate);
    const ads::Error pageError = ads::DZErrorWithCode(ads::kDZErrorTimeout);

    // A finished page outside rendering makes nothing valid.
    delegate->adViewDidFinishLoad(*slot->adView());
    EXPECT_EQ(owner->finished, 0);
    EXPECT_EQ(slot->state(), DZSlot::kIdle);

    // A failed page before the ad is valid fails the load as a network error...
    slot->setState(DZSlot::kRendering);
    delegate->didFailLoadWithError(*slot->adView(), pageError);
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorNetworkError);
    EXPECT_EQ(slot->state(), DZSlot::kFailed);
    // ...and is ignored once it is.
    slot->setState(DZSlot::kValidAd);
    delegate->didFailLoadWithError(*slot->adView(), pageError);
    EXPECT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(slot->state(), DZSlot::kValidAd);

    // Content sizes reach the owner only for an ad with a size to keep.
    delegate->contentSizeDidChange(*slot->adView(), {320, 70});
    EXPECT_TRUE(owner->contentSizes.empty());
    slot->adView()->setAdResponseSize({300, 250});
    delegate->contentSizeDidChange(*slot->adView(), {320, 70});
    EXPECT_EQ(owner->contentSizes, (std::vector<gfx::Size>{gfx::Size{320, 250}}));
}

TEST(DZBannerAdViewDelegateTest, EveryPageMessageHasOneHandlerAskedInItsPlace) {
    const auto owner = std::make_shared<RecordingOwner>();
    const auto slot = bannerSlot(*owner);
    ASSERT_TRUE(slot);
    const auto& handlers = slot->adViewDelegate()->DMSGHandlers();
    // The handlers in the order they are asked, the banner's own last, with
    // the messages each takes. Handlers of other kinds may sit between them.
    const std::vector<std::pair<std::type_index, std::vector<std::string>>> expected = {
        {typeid(ads::DZOpenerDMSGHandler), {"click", "open", "fetchAppStore"}},
        {typeid(ads::DZDefaultDMSGHandler),
         {"httpTrack", "log", "touch", "vibrate", "canOpenURLs", "close"}},
        {typeid(ads::DZMRAIDDMSGHandler), {"mraid", "mraidLoaded"}},
        {typeid(ads::DZVideoPlayerDMSGHandler), {"video", "precache"}},
        {typeid(ads::DZRewardBasedVideoAdDMSGHandler), {"reward"}},
        {typeid(ads::DZOrientationDMSGHandler), {"forceOrientation"}},
        {typeid(ads::DZVideoMetadataDMSGHandler), {"videoMeta"}},
        {typeid(ads::DZAdRefreshDMSGHandler), {"refresh"}},
        {typeid(ads::DZNativeAdVideoClickDMSGHandler), {"videoClicked"}},
        {typeid(ads::DZAnalyticsDMSGHandler), {"logScionEvent"}},
        {typeid(ads::DZDelayPageCloseDMSGHandler), {"delayPageClosed"}},
        {typeid(ads::DZCSIDMSGHandler), {"instrument"}},
        {typeid(ads::DZAppEventDMSGHandler), {"appEvent"}},
        {typeid(ads::DZAdAppDMSGHandler), {"customClose", "setInterstitialProperties"}},
        {typeid(ads::DZDelayPageLoadDMSGHandler), {"delayPageLoaded"}},
    };
    size_t previous = 0;
    for (const auto& [type, messages] : expected) {
        SCOPED_TRACE(type.name());
        for (const std::string& name : messages) {
            SCOPED_TRACE(name);
            std::vector<size_t> takers;
            for (size_t i = 0; i < handlers.size(); ++i) {
                const auto* table = handlers[i]->actionBlockDictionary();
                if (table && table->contains(name)) takers.push_back(i);
            }
            ASSERT_EQ(takers.size(), 1u);
            const ads::DZDMSGHandler& taker = *handlers[takers[0]];
            EXPECT_EQ(std::type_index(typeid(taker)), type);
            EXPECT_GE(takers[0], previous);
            previous = takers[0];
        }
        ++previous;
    }
}

TEST(DZOpenerTest, AutoClickProtectionRefusesOpensOfAnUntouchedAd) {
    ads::DZOpener opener;
    EXPECT_TRUE(opener.shouldPerformOpenAction());
    opener.setAutoClickProtection(std::make_shared<ads::DZAutoClickProtection>(false));
    EXPECT_TRUE(opener.shouldPerformOpenAction());

    const auto protection = std::make_shared<ads::DZAutoClickProtection>(true);
    // Its report goes to a core controller without a page.
    protection->setSDKCoreController(ads::DZSDKCoreController::create(
        [](const ads::DZWebViewConfiguration&) { return nullptr; }));
    opener.setAutoClickProtection(protection);
    const auto adView = ads::DZAdView::create({0, 0, 320, 50});
    ASSERT_TRUE(adView);
    opener.setAdView(adView);
    opener.setNavigationRequest(core::URLRequest(*core::URL::create("https://land.test/x")));
    store::URLOpener::shared().clearForTesting();
    store::URLOpener::shared().setHandler("myapp", [](const core::URL&) { return true; });
    EXPECT_FALSE(opener.shouldPerformOpenAction());
    opener.openApp(*core::URL::create("myapp://offer"));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
    EXPECT_FALSE(opener.didOpenAnotherApplication());
    // A person's finger on the ad.
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    window->addSubview(adView);
    ui::TouchInjector(*window).tap({160, 25});
    EXPECT_TRUE(adView->touched());
    EXPECT_TRUE(opener.shouldPerformOpenAction());
    opener.openApp(*core::URL::create("myapp://offer"));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(store::URLOpener::shared().openedURLs().size(), 1u);
    store::URLOpener::shared().clearForTesting();
}

}  // namespace
