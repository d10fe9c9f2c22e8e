// The native ad view policy on views of its own in a window: which asset a
// tap clicks (the badge's icon and text, hidden views, the background,
// media views of video ads and their video clicks), the publisher's
// reporting switches, the impression at once or through a monitor, the
// AdChoices corner and the order under the overlay, the signal
// dictionaries, the interaction corrections and their log, recognizers
// taken over and handed back, and simultaneous recognition.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "LogCapture.h"
#include "NativeViewTesting.h"
#include "ads/foundation/DZLogger.h"
#include "ads/native/DZAdChoicesView.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAdAttributionView.h"
#include "ads/native/DZNativeAdTapGestureRecognizer.h"
#include "ads/native/DZPushTransitionView.h"
#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"
#include "core/Console.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

namespace {

using ads::DZNativeAdViewPolicy;
using adwebtesting::drainMainQueue;
using gfx::Rect;
using namespace nativeviewtesting;

core::Value rect(double x, double y, double width, double height, const char* relativeTo) {
    return core::Dictionary{
        {"x", x}, {"y", y}, {"width", width}, {"height", height}, {"relative_to", relativeTo}};
}

class DZNativeAdViewPolicyTest : public testing::Test {
protected:
    void SetUp() override {
        window->makeKeyAndVisible();
        window->addSubview(adView);
        for (const std::shared_ptr<ui::View>& view :
             std::vector<std::shared_ptr<ui::View>>{headline, body, icon})
            adView->addSubview(view);
        adView->addSubview(media);
        adView->addSubview(container);
        container->addSubview(badge);
        badge->iconView()->setFrame({40, 0, 20, 20});
        badge->textView()->setFrame({0, 0, 40, 20});
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(
            DZNativeAdViewPolicy::kIndiscriminateRecognitionKey);
        EXPECT_TRUE(drainMainQueue());
    }
    // A policy of the app's own ad view, or of an SDK view.
    std::shared_ptr<DZNativeAdViewPolicy> makePolicy(bool ownedByPublisher = true) {
        auto policy =
            DZNativeAdViewPolicy::create(adView, "2009", "2010", "2099", ownedByPublisher);
        policy->setDelegate(recorder);
        return policy;
    }
    DZNativeAdViewPolicy::AssetViews allAssets() const {
        return {{"2001", headline},
                {"2003", icon},
                {"2004", body},
                {"2011", media},
                {"2012", container}};
    }
    // Taps at a window point through the policy's own action.
    static void tap(DZNativeAdViewPolicy& policy, gfx::Point where) {
        LocatedGesture gesture;
        gesture.where = where;
        policy.handleTap(gesture);
    }

    // The default profile's screen is 375 x 667; the ad view sits at y 100.
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>();
    std::shared_ptr<ui::View> adView = std::make_shared<ui::View>(Rect(0, 100, 300, 250));
    std::shared_ptr<ui::Label> headline = std::make_shared<ui::Label>(Rect(10, 10, 200, 30));
    std::shared_ptr<ui::Label> body = std::make_shared<ui::Label>(Rect(10, 10, 200, 60));
    std::shared_ptr<ui::ImageView> icon = std::make_shared<ui::ImageView>(Rect(220, 10, 60, 60));
    std::shared_ptr<ads::DZMediaView> media = ads::DZMediaView::create({10, 80, 280, 120});
    std::shared_ptr<ui::View> container = std::make_shared<ui::View>(Rect(240, 210, 60, 40));
    std::shared_ptr<ads::DZNativeAdAttributionView> badge =
        ads::DZNativeAdAttributionView::create({0, 10, 60, 20});
    std::shared_ptr<RecordingPolicyDelegate> recorder = std::make_shared<RecordingPolicyDelegate>();
};

TEST_F(DZNativeAdViewPolicyTest, TapsClickTheVisibleAssetUnderTheFingerOrTheBackground) {
    const auto policy = makePolicy();
    policy->setAssetViews(allAssets());
    const auto ad = std::make_shared<RecordingNativeAd>();
    policy->setNativeAd(ad);

    // The app's own badge in its AdChoices container: icon and text.
    tap(*policy, {285, 325});
    ASSERT_EQ(ad->clicks.size(), 1u);
    EXPECT_EQ(ad->clicks[0].assetName, "2009");
    EXPECT_EQ(ad->clicks[0].view.get(), static_cast<ui::View*>(badge->iconView().get()));
    EXPECT_EQ(policy->adChoicesContentView(), badge);
    tap(*policy, {245, 325});
    ASSERT_EQ(ad->clicks.size(), 2u);
    EXPECT_EQ(ad->clicks[1].assetName, "2010");
    EXPECT_EQ(ad->clicks[1].view.get(), static_cast<ui::View*>(badge->textView().get()));

    // The headline lies over the body; hidden, the body takes the tap.
    tap(*policy, {20, 115});
    ASSERT_FALSE(ad->clicks.empty());
    EXPECT_EQ(ad->clicks.back().assetName, "2001");
    headline->setHidden(true);
    tap(*policy, {20, 115});
    EXPECT_EQ(ad->clicks.back().assetName, "2004");
    EXPECT_EQ(ad->clicks.back().view, body);
    body->setHidden(true);
    tap(*policy, {20, 115});
    EXPECT_EQ(ad->clicks.back().assetName, "2099");
    EXPECT_EQ(ad->clicks.back().view, adView);
    const core::Dictionary& environment = ad->clicks.back().environment;
    EXPECT_EQ(environment["click_signal"],
              core::Value(core::Dictionary{
                  {"asset_id", "2099"},
                  {"click_point",
                   core::Dictionary{{"x", 20.0}, {"y", 15.0}, {"relative_to", "ad_view"}}}}));
    EXPECT_TRUE(environment["ad_view_signal"].dictionary());
    EXPECT_TRUE(environment["asset_view_signal"]["2003"].dictionary());

    // A hidden badge is no target: the container's area is background.
    badge->setHidden(true);
    tap(*policy, {285, 325});
    ASSERT_FALSE(ad->clicks.empty());
    EXPECT_EQ(ad->clicks.back().assetName, "2099");
    // The recorded ad view holds the policy, which holds the ad.
    ad->clicks.clear();
}

TEST_F(DZNativeAdViewPolicyTest, VideoAdsClickTheirMediaOnlyThroughTheVideoClick) {
    const auto policy = makePolicy();
    policy->setAssetViews(allAssets());
    const auto content = std::make_shared<PlainMediaContent>();
    content->view = std::make_shared<ui::View>(Rect(0, 0, 280, 120));
    PageVideo video(true);
    const auto ad = std::make_shared<RecordingNativeAd>();
    ad->media = content;
    ad->video = video.controller;
    policy->setNativeAd(ad);

    tap(*policy, {50, 200});
    EXPECT_TRUE(ad->clicks.empty()) << "the media view of a video ad takes no tap";

    // The video's own click, from the content's view, at the converted point.
    core::NotificationCenter::defaultCenter().post(
        ads::DZNativeAdVideoClickDMSGHandler::kVideoClickNotification, content->view.get(),
        core::Dictionary{{"touchX", "12.5"}, {"touchY", "8"}});
    ASSERT_EQ(ad->clicks.size(), 1u);
    EXPECT_EQ(ad->clicks[0].assetName, "2011");
    EXPECT_EQ(ad->clicks[0].view, media);
    EXPECT_EQ(ad->clicks[0].environment["click_signal"]["click_point"],
              core::Value(core::Dictionary{{"x", 22.5}, {"y", 188.0}, {"relative_to", "ad_view"}}));
    // Values that give no number count as 0; other objects' clicks are not ours.
    core::NotificationCenter::defaultCenter().post(
        ads::DZNativeAdVideoClickDMSGHandler::kVideoClickNotification, content->view.get(),
        core::Dictionary{{"touchX", "left"}});
    ASSERT_EQ(ad->clicks.size(), 2u);
    EXPECT_EQ(ad->clicks[1].environment["click_signal"]["click_point"]["x"], core::Value(10.0));
    core::NotificationCenter::defaultCenter().post(
        ads::DZNativeAdVideoClickDMSGHandler::kVideoClickNotification, adView.get(),
        core::Dictionary{});
    EXPECT_EQ(ad->clicks.size(), 2u);

    // An ad without video clicks its media view like any asset, and the
    // previous ad's video clicks are no longer heard.
    const auto still = std::make_shared<RecordingNativeAd>();
    policy->setNativeAd(still);
    tap(*policy, {50, 200});
    ASSERT_EQ(still->clicks.size(), 1u);
    EXPECT_EQ(still->clicks[0].assetName, "2011");
    core::NotificationCenter::defaultCenter().post(
        ads::DZNativeAdVideoClickDMSGHandler::kVideoClickNotification, content->view.get(),
        core::Dictionary{});
    EXPECT_EQ(ad->clicks.size() + still->clicks.size(), 3u);
}

TEST_F(DZNativeAdViewPolicyTest, AdsThePublisherReportsForAreLeftAlone) {
    const auto policy = makePolicy();
    policy->setAssetViews(allAssets());
    const auto ad = std::make_shared<RecordingNativeAd>(core::Dictionary{
        {"allow_pub_event_reporting",
         core::Dictionary{{"click_reporting", true}, {"impression_reporting", true}}}});
    policy->setNativeAd(ad);
    ASSERT_TRUE(drainMainQueue());
    tap(*policy, {20, 115});
    policy->adViewDidLayoutSubviews();
    EXPECT_TRUE(ad->clicks.empty());
    EXPECT_TRUE(ad->impressions.empty());
    EXPECT_FALSE(policy->impressionMonitor());
    EXPECT_TRUE(recorder->events.empty()) << "never tracked";
}

TEST_F(DZNativeAdViewPolicyTest, VisibleAdViewsRecordAtOnceOthersThroughAMonitor) {
    const auto policy = makePolicy();
    policy->setAssetViews(allAssets());
    const auto ad = std::make_shared<RecordingNativeAd>();
    policy->setNativeAd(ad);
    EXPECT_TRUE(ad->impressions.empty()) << "tracking waits for a later turn";
    ASSERT_TRUE(drainMainQueue());
    ASSERT_EQ(ad->impressions.size(), 1u);
    EXPECT_FALSE(policy->impressionMonitor());
    EXPECT_EQ(ad->impressions[0]["ad_view_signal"]["frame"], rect(0, 100, 300, 250, "window"));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"begin"});
    policy->adViewDidLayoutSubviews();
    EXPECT_EQ(ad->impressions.size(), 1u);

    // Below the screen: a visibility monitor waits, and the first layout on
    // screen records the impression and drops it.
    const auto later = std::make_shared<RecordingNativeAd>();
    adView->setFrame({0, 900, 300, 250});
    policy->setNativeAd(later);
    ASSERT_GT(recorder->events.size(), 2u);
    EXPECT_EQ(recorder->events[2], "unload test-views");
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(later->impressions.empty());
    ASSERT_TRUE(policy->impressionMonitor());
    EXPECT_EQ(policy->impressionMonitor()->impressionDefinition(), 1);
    const auto monitor = policy->impressionMonitor();
    policy->adViewDidLayoutSubviews();
    EXPECT_EQ(policy->impressionMonitor(), monitor) << "one monitor at a time";
    adView->setFrame({0, 100, 300, 250});
    policy->adViewDidLayoutSubviews();
    EXPECT_EQ(later->impressions.size(), 1u);
    EXPECT_FALSE(policy->impressionMonitor());
}

TEST_F(DZNativeAdViewPolicyTest, SDKViewsOutsideAnyViewAreNotTrackedButOwnViewsAre) {
    adView->removeFromSuperview();
    const auto sdkView = DZNativeAdViewPolicy::create(adView, "2009", "2010", "2099", false);
    const auto ad = std::make_shared<RecordingNativeAd>();
    sdkView->setNativeAd(ad);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_FALSE(sdkView->impressionMonitor());

    const auto own = makePolicy();
    own->setNativeAd(ad);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(own->impressionMonitor()) << "an app's view is watched wherever it is";
    EXPECT_TRUE(ad->impressions.empty());
}

TEST_F(DZNativeAdViewPolicyTest, AdChoicesSitInTheirCornerRightUnderTheOverlay) {
    const auto policy = makePolicy(false);
    const auto first = std::make_shared<RecordingNativeAd>(core::Dictionary{}, 2);
    first->choices = std::make_shared<ui::View>(Rect(0, 0, 40, 15));
    first->overlay = ads::DZOverlayView::create();
    policy->setNativeAd(first);
    EXPECT_EQ(policy->adChoicesViewCorner(), 2);
    ASSERT_EQ(policy->adChoicesViewConstraints().size(), 2u);
    const auto bottom = policy->adChoicesViewConstraints()[0];
    const auto right = policy->adChoicesViewConstraints()[1];
    EXPECT_EQ(bottom->attribute(), ui::LayoutAttribute::Bottom);
    EXPECT_EQ(bottom->toAttribute(), ui::LayoutAttribute::Bottom);
    EXPECT_EQ(right->attribute(), ui::LayoutAttribute::Right);
    EXPECT_EQ(right->item(), first->choices);
    EXPECT_EQ(right->toItem(), adView);
    EXPECT_FALSE(first->choices->translatesAutoresizingMaskIntoConstraints());
    adView->layoutIfNeeded();
    EXPECT_EQ(first->choices->frame(), Rect(260, 235, 40, 15));
    const auto& subviews = adView->subviews();
    ASSERT_GE(subviews.size(), 2u);
    EXPECT_EQ(subviews.back(), first->overlay);
    EXPECT_EQ(subviews[subviews.size() - 2], first->choices);
    adView->layoutIfNeeded();
    EXPECT_EQ(first->overlay->frame(), Rect(0, 0, 300, 250)) << "the overlay fills the ad view";

    // A view the app adds later goes back beneath both.
    const auto late = std::make_shared<ui::View>(Rect(0, 0, 10, 10));
    adView->addSubview(late);
    policy->adViewDidLayoutSubviews();
    ASSERT_GE(adView->subviews().size(), 2u);
    EXPECT_EQ(adView->subviews().back(), first->overlay);
    EXPECT_EQ(adView->subviews()[adView->subviews().size() - 2], first->choices);

    // Another ad in corner 1: the old view and its constraints go first.
    const auto second = std::make_shared<RecordingNativeAd>(core::Dictionary{}, 1);
    second->choices = std::make_shared<ui::View>(Rect(0, 0, 40, 15));
    policy->setNativeAd(second);
    EXPECT_FALSE(first->choices->superview());
    EXPECT_FALSE(first->overlay->superview());
    for (const auto& constraint : adView->constraints()) {
        EXPECT_NE(constraint.get(), bottom.get());
        EXPECT_NE(constraint.get(), right.get());
    }
    ASSERT_EQ(policy->adChoicesViewConstraints().size(), 2u);
    EXPECT_EQ(policy->adChoicesViewConstraints()[0]->attribute(), ui::LayoutAttribute::Top);
    EXPECT_EQ(policy->adChoicesViewConstraints()[1]->attribute(), ui::LayoutAttribute::Left);
    ASSERT_FALSE(adView->subviews().empty());
    EXPECT_EQ(adView->subviews().back(), second->choices) << "topmost without an overlay";
}

TEST_F(DZNativeAdViewPolicyTest, EachCornerPinsAdChoicesToItsOwnEdges) {
    const auto policy = makePolicy(false);
    EXPECT_EQ(policy->adChoicesViewCorner(), 0) << "top right until an ad says otherwise";
    using ui::LayoutAttribute;
    struct Case {
        std::int64_t corner;
        std::vector<LayoutAttribute> edges;
        Rect frame;
    };
    const Case cases[] = {
        {0, {LayoutAttribute::Top, LayoutAttribute::Right}, Rect(260, 0, 40, 15)},
        {1, {LayoutAttribute::Top, LayoutAttribute::Left}, Rect(0, 0, 40, 15)},
        {2, {LayoutAttribute::Bottom, LayoutAttribute::Right}, Rect(260, 235, 40, 15)},
        {3, {LayoutAttribute::Bottom, LayoutAttribute::Left}, Rect(0, 235, 40, 15)},
        {4, {}, Rect(7, 9, 40, 15)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.corner);
        const auto ad = std::make_shared<RecordingNativeAd>(core::Dictionary{}, c.corner);
        ad->choices = std::make_shared<ui::View>(Rect(7, 9, 40, 15));
        policy->setNativeAd(ad);
        EXPECT_EQ(policy->adChoicesViewCorner(), c.corner);
        std::vector<LayoutAttribute> edges;
        for (const auto& constraint : policy->adChoicesViewConstraints()) {
            EXPECT_EQ(constraint->toAttribute(), constraint->attribute());
            EXPECT_EQ(constraint->toItem(), adView);
            edges.push_back(constraint->attribute());
        }
        EXPECT_EQ(edges, c.edges);
        adView->layoutIfNeeded();
        EXPECT_EQ(ad->choices->frame(), c.frame);
        EXPECT_EQ(ad->choices->superview(), adView);
    }
}

TEST_F(DZNativeAdViewPolicyTest, AdsThatAllowItRenderAdChoicesInTheAppsContainer) {
    const auto policy = makePolicy(false);
    const auto choicesView = ads::DZAdChoicesView::create({200, 0, 100, 30});
    adView->addSubview(choicesView);
    policy->setAssetViews({{"2012", choicesView}});
    const auto ad = std::make_shared<RecordingNativeAd>(
        core::Dictionary{{"attribution", core::Dictionary{{"allow_pub_rendering", true}}}});
    ad->choices = std::make_shared<ui::View>(Rect(0, 0, 40, 15));
    policy->setNativeAd(ad);
    EXPECT_EQ(choicesView->adChoicesContentView(), ad->choices);
    EXPECT_EQ(ad->choices->superview(), choicesView);
    EXPECT_TRUE(policy->adChoicesViewConstraints().empty());

    // Not allowed: the SDK places it in the ad view instead.
    const auto other = std::make_shared<RecordingNativeAd>();
    other->choices = std::make_shared<ui::View>(Rect(0, 0, 40, 15));
    policy->setNativeAd(other);
    EXPECT_EQ(other->choices->superview(), adView);
    EXPECT_EQ(policy->adChoicesViewConstraints().size(), 2u);
}

TEST_F(DZNativeAdViewPolicyTest, SignalDictionariesDescribeTheLayout) {
    const auto scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 375, 400));
    scroll->setContentSize({375, 2000});
    window->addSubview(scroll);
    scroll->addSubview(adView);
    headline->setBackgroundColor(gfx::Color{1, 0, 0, 0.5});
    headline->setFont(gfx::Font::system(13.5));
    headline->setTextColor(gfx::Color{0, 0, 1, 1});
    headline->setText("Install");
    icon->setBackgroundColor(gfx::Color{0, 1, 0, 1});
    body->setFrame({10, 500, 100, 20});  // below the scroll view's bounds

    const auto policy = makePolicy(false);
    policy->setAssetViews(allAssets());
    const auto ad = std::make_shared<RecordingNativeAd>();
    ad->choices = badge;
    policy->setNativeAd(ad);
    const core::Dictionary signals = policy->nativeAdSignalDictionary();

    EXPECT_EQ(signals["ad_view_signal"],
              core::Value(core::Dictionary{{"frame", rect(0, 100, 300, 250, "window")}}));
    const core::Value& assets = signals["asset_view_signal"];
    EXPECT_EQ(assets["2001"],
              core::Value(core::Dictionary{{"frame", rect(10, 10, 200, 30, "ad_view")},
                                           {"background_color", 0xFF00007FLL},
                                           {"visible_bounds", rect(0, 0, 200, 30, "self")},
                                           {"font_size", "13.5"},
                                           {"text_color", 0x0000FFFFLL},
                                           {"text", "Install"}}));
    EXPECT_TRUE(assets["2003"]["background_color"].isNull()) << "image views tell no colour";
    EXPECT_EQ(assets["2004"]["visible_bounds"], rect(10, 500, 0, 0, "ad_view"));
    EXPECT_TRUE(assets["2012"].isNull()) << "the AdChoices container is no asset of its own";
    EXPECT_TRUE(assets["2009"]["frame"].dictionary()) << "the badge's icon";
    EXPECT_TRUE(assets["2010"]["frame"].dictionary()) << "the badge's text";
    EXPECT_EQ(signals["scroll_view_signal"],
              core::Value(core::Dictionary{
                  {"contained_in_scroll_view", 1},
                  {"scroll_view_size", core::Dictionary{{"width", 375.0}, {"height", 400.0}}},
                  {"content_size", core::Dictionary{{"width", 375.0}, {"height", 2000.0}}}}));

    // Outside a scroll view, only the flag; no view or no name, nothing.
    window->addSubview(adView);
    EXPECT_EQ(policy->nativeAdSignalDictionary()["scroll_view_signal"],
              core::Value(core::Dictionary{{"contained_in_scroll_view", 0}}));
    EXPECT_TRUE(
        DZNativeAdViewPolicy::signalDictionaryWithAssetView(nullptr, "2001", adView).empty());
    EXPECT_TRUE(
        DZNativeAdViewPolicy::signalDictionaryWithAssetView(body, std::nullopt, adView).empty());
}

TEST_F(DZNativeAdViewPolicyTest, AssetViewsGetTheInteractionTheyNeedAndTheLogSaysSo) {
    adtesting::LogCapture console;
    headline->setUserInteractionEnabled(true);
    media->setUserInteractionEnabled(false);
    icon->setUserInteractionEnabled(false);
    const auto policy = makePolicy();
    EXPECT_TRUE(adView->isUserInteractionEnabled());
    policy->setAssetViews({{"2001", headline}, {"2003", icon}, {"2011", media}});
    EXPECT_FALSE(headline->isUserInteractionEnabled());
    EXPECT_TRUE(media->isUserInteractionEnabled());
    ads::DZLogger::sharedInstance().waitForLogging();
    const auto lines = console.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("<Dozuza> User interactions must be disabled on the asset view to "
                             "enable click handling.\nuserInteractionEnabled has been set to NO "
                             "on <Label: ",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[1].rfind("<Dozuza> User interactions must be enabled on the DZMediaView view "
                             "to enable media interaction.\nuserInteractionEnabled has been set "
                             "to YES on <DZMediaView: ",
                             0),
              0u)
        << lines[1];

    // One outlet replaced: the old view leaves the map, the same view again
    // changes nothing.
    std::weak_ptr<ui::View> outlet = headline;
    const auto replacement = std::make_shared<ui::Label>(Rect(0, 0, 10, 10));
    policy->replaceAssetWithName("2001", replacement, &outlet);
    EXPECT_EQ(outlet.lock(), replacement);
    EXPECT_FALSE(policy->assetNameForView(headline.get()));
    EXPECT_EQ(policy->assetNameForView(replacement.get()), "2001");
    policy->replaceAssetWithName("2001", replacement, &outlet);
    EXPECT_EQ(policy->assetViewAssetNames().size(), 3u);
    policy->replaceAssetWithName("2012", container, nullptr);
    EXPECT_FALSE(policy->assetNameForView(container.get()));
}

TEST_F(DZNativeAdViewPolicyTest, ANewPolicyTakesTheViewOverAndUnregisteringHandsItBack) {
    auto first = makePolicy();
    const std::weak_ptr<DZNativeAdViewPolicy> firstAlive = first;
    ASSERT_EQ(adView->gestureRecognizers().size(), 2u);
    EXPECT_EQ(first->singleTap()->nativeAdViewPolicy(), first);
    first.reset();
    EXPECT_FALSE(firstAlive.expired()) << "the tap recognizer keeps its policy";

    const auto second = makePolicy();
    ASSERT_EQ(adView->gestureRecognizers().size(), 2u) << "the first one's recognizers left";
    EXPECT_EQ(adView->gestureRecognizers()[0], second->singleTap());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(firstAlive.expired());

    // Both recognizers of the ad view may work together; others may not,
    // unless the server says every one may.
    const auto& tap = *second->singleTap();
    const auto& touch = *second->touchGestureRecognizer();
    EXPECT_TRUE(second->shouldRecognizeSimultaneouslyWithGestureRecognizer(tap, touch));
    const auto elsewhere = std::make_shared<ui::TapGestureRecognizer>();
    headline->addGestureRecognizer(elsewhere);
    EXPECT_FALSE(second->shouldRecognizeSimultaneouslyWithGestureRecognizer(tap, *elsewhere));
    core::UserDefaults::standard()->setObject(
        std::string(DZNativeAdViewPolicy::kIndiscriminateRecognitionKey), "true");
    EXPECT_TRUE(second->shouldRecognizeSimultaneouslyWithGestureRecognizer(tap, *elsewhere));

    // Unregistering: the recognizers leave now, the impression monitor on
    // the next turn.
    adView->setFrame({0, 900, 300, 250});
    second->setNativeAd(std::make_shared<RecordingNativeAd>());
    ASSERT_TRUE(drainMainQueue());
    ASSERT_TRUE(second->impressionMonitor());
    second->unregisterAdView();
    EXPECT_TRUE(adView->gestureRecognizers().empty());
    EXPECT_TRUE(second->impressionMonitor());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_FALSE(second->impressionMonitor());
    EXPECT_FALSE(DZNativeAdViewPolicy::create(nullptr, "2009", "2010", "2099", true));
    EXPECT_FALSE(DZNativeAdViewPolicy::create(adView, "2009", std::nullopt, "2099", true));
}

}  // namespace
