// The slot's ad view delegate turning page loads into slot states, and the
// opener's auto-click protection.

#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "SlotTesting.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/presentation/DZOpener.h"
#include "ads/web/view/DZAdView.h"

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
    ads::DZCallLog::clear();
    EXPECT_FALSE(opener.shouldPerformOpenAction());
    EXPECT_EQ(adwebtesting::callsStartingWith("DZOpener.autoClickAttempt"),
              std::vector<std::string>{"DZOpener.autoClickAttempt https://land.test/x"});
    adView->setTouched(true);
    EXPECT_TRUE(opener.shouldPerformOpenAction());
}

}  // namespace
